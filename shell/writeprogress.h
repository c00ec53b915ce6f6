// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QWidget>

class QProgressBar;
class QPushButton;

// The status bar's part while tags are written: files done of the total, and a Cancel that stops
// the run after the file it is writing.
class CWriteProgress final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWriteProgress)

public:
    explicit CWriteProgress(QWidget* pParent = nullptr);

    // Shows the bar from nothing done.
    void Begin(qulonglong nTotal);
    void SetDone(qulonglong nDone, qulonglong nTotal);
    QProgressBar* GetBar() const { return m_pBar; }
    QPushButton* GetCancelButton() const { return m_pCancel; }

Q_SIGNALS:
    void cancelRequested();

private:
    QProgressBar* m_pBar;
    QPushButton* m_pCancel;
};
