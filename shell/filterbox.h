// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QLineEdit>

// The filter field of the address bar. Escape empties it and hands the keyboard back to the
// list, the way search fields of file managers do.
class CFilterBox final : public QLineEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CFilterBox)

public:
    explicit CFilterBox(QWidget* pParent = nullptr);

Q_SIGNALS:
    // Escape was pressed: the text is gone already.
    void leaveRequested();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
};
