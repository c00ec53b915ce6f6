// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

// Follows the programs that hand-offs started, from the event loop, never by waiting on them:
// the end of each is a GLib child watch, which reaps it. A program that only hands the files
// over is followed until it ends, however late; one that may become the player itself counts as
// the player after a few seconds, and its end is no longer the hand-off's. Either is shown as
// busy from its first second as long as it counts as a hand-off.
class CHandoffWatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CHandoffWatch)

public:
    explicit CHandoffWatch(QObject* pParent = nullptr);
    ~CHandoffWatch() override;

    // Takes a child process of this program to follow and to reap; 0 is ignored. bEnds: the
    // program never becomes the player.
    void Watch(int nPid, bool bEnds = false);
    bool IsBusy() const { return m_bBusy; }

Q_SIGNALS:
    void busyChanged(bool bBusy);
    // A hand-off program ended with an error before it could have become the player: the
    // player did not take the files.
    void handoffFailed(int nExitStatus);

private:
    struct SProgram {
        int nPid;
        qint64 nStartMs;
        bool bEnds;
        unsigned nSource; // the GLib child watch
    };

    static void OnEnded(int nPid, int nWaitStatus, void* pData);
    void Ended(int nPid, int nWaitStatus);
    bool IsHandoff(const SProgram& program, qint64 nNow) const;
    // Settles the busy state and schedules its next change.
    void Update();

    QElapsedTimer m_clock;
    QTimer m_timer;
    std::vector<SProgram> m_arrPrograms;
    bool m_bBusy = false;
};
