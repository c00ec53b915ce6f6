// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/messagebox.h"

#include "platform/textconv.h"
#include "res/strings.h"

#include <QApplication>
#include <QMessageBox>

void ShowMessage(QWidget* pParent, unsigned nStringId) {
    ShowMessageText(pParent, LoadQString(nStringId));
}

void ShowMessageText(QWidget* pParent, const QString& strText) {
    QMessageBox box(QMessageBox::NoIcon, LoadQString(IDS_APP_TITLE), strText, QMessageBox::Ok,
                    pParent);
    box.exec();
}

void Beep() {
    QApplication::beep();
}
