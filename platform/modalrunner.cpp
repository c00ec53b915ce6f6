// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/modalrunner.h"

#include <QDialog>
#include <QMenu>

namespace {

class CSystemModals final : public CModalRunner {
public:
    int Exec(QDialog& dialog) override { return dialog.exec(); }
    QAction* Exec(QMenu& menu, const QPoint& ptScreen) override { return menu.exec(ptScreen); }
};

} // namespace

CModalRunner& SystemModals() {
    static CSystemModals s_modals;
    return s_modals;
}
