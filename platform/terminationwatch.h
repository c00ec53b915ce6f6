// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGHUP (a session ending, a "kill") into a signal of the event loop, so that
// the window closes as if the user had closed it and its settings are written. The handler only
// writes a byte into a pipe; all the work happens on the window's thread. One watch at a time.
class CTerminationWatch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTerminationWatch)

public:
    explicit CTerminationWatch(QObject* pParent = nullptr);
    ~CTerminationWatch() override;

    // False when the pipe or the handlers could not be set up: the signals keep their defaults.
    bool IsWatching() const { return m_pNotifier != nullptr; }

Q_SIGNALS:
    // The signal's number; sent once for each signal received.
    void terminationRequested(int nSignal);

private:
    void OnReadable();

    int m_aPipe[2] = {-1, -1};
    QSocketNotifier* m_pNotifier = nullptr;
};
