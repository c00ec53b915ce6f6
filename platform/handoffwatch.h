// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

// Follows the programs that hand-offs started, from the event loop, never by waiting on them.
// Such a program usually passes the files to the running player and ends; one still running
// after a second is shown as busy, and one still running after a few seconds has become the
// player itself: it is no longer shown, and only reaped when it ends.
class CHandoffWatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CHandoffWatch)

public:
    explicit CHandoffWatch(QObject* pParent = nullptr);
    ~CHandoffWatch() override;

    // Takes a child process of this program to follow and to reap; 0 is ignored.
    void Watch(int nPid);
    bool IsBusy() const { return m_bBusy; }

signals:
    void busyChanged(bool bBusy);
    // A hand-off program ended with an error before it could have become the player: the
    // player did not take the files.
    void handoffFailed(int nExitStatus);

private:
    struct SProgram {
        int nPid;
        qint64 nStartMs;
    };

    void Poll();
    // Whether the program ended; the exit status of a failure is added to the list.
    bool Reap(const SProgram& program, std::vector<int>& arrFailures) const;

    QElapsedTimer m_clock;
    QTimer m_timer;
    std::vector<SProgram> m_arrPrograms;
    bool m_bBusy = false;
};
