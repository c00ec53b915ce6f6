// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

class QAction;
class QDialog;
class QMenu;
class QPoint;

// Runs the modal windows that wait for the user: dialogs and pop-up menus. The parts that open
// one are handed a runner, so that tests can play the user's part at once, without a nested
// event loop to reach with timers.
class CModalRunner {
public:
    virtual ~CModalRunner() = default;

    // Returns the dialog's result once the user has closed it.
    virtual int Exec(QDialog& dialog) = 0;
    // Returns the item the user chose, already triggered, or nullptr when the menu was dismissed.
    virtual QAction* Exec(QMenu& menu, const QPoint& ptScreen) = 0;
};

// The runner that shows the windows to the user and waits in their own event loops.
CModalRunner& SystemModals();
