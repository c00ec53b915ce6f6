// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/messagebox.h"

#include "platform/messagesink.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QApplication>
#include <QMessageBox>

namespace {

class CMessageBoxes final : public CMessageSink {
public:
    void Show(QWidget* pParent, const QString& strText) override {
        QMessageBox box(QMessageBox::NoIcon, LoadQString(IDS_APP_TITLE), strText, QMessageBox::Ok,
                        pParent);
        box.exec();
    }
};

} // namespace

CMessageSink& SystemMessages() {
    static CMessageBoxes s_boxes;
    return s_boxes;
}

void Beep() {
    QApplication::beep();
}
