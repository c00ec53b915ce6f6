// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/handoffwatch.h"

#include <algorithm>
#include <cerrno>
#include <sys/wait.h>

namespace {

constexpr qint64 BUSY_AFTER_MS = 1000;
constexpr qint64 PLAYER_AFTER_MS = 5000;
// Often enough for the busy state to show close to its second; players left running are only
// looked at for reaping.
constexpr int YOUNG_POLL_MS = 50;
constexpr int OLD_POLL_MS = 1000;

} // namespace

CHandoffWatch::CHandoffWatch(QObject* pParent) : QObject(pParent) {
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &CHandoffWatch::Poll);
}

// Whatever still runs is the player or soon will be; it is left to run, and reaped by init once
// this program ends.
CHandoffWatch::~CHandoffWatch() = default;

void CHandoffWatch::Watch(int nPid) {
    if (nPid <= 0) {
        return;
    }
    m_arrPrograms.push_back({nPid, m_clock.elapsed()});
    m_timer.start(YOUNG_POLL_MS);
}

bool CHandoffWatch::Reap(const SProgram& program, std::vector<int>& arrFailures) const {
    int nStatus = 0;
    pid_t nResult;
    do {
        nResult = ::waitpid(program.nPid, &nStatus, WNOHANG);
    } while (nResult < 0 && errno == EINTR);
    if (nResult == 0) {
        return false;
    }
    const bool bYoung = m_clock.elapsed() - program.nStartMs < PLAYER_AFTER_MS;
    if (nResult == program.nPid && bYoung && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) != 0) {
        arrFailures.push_back(WEXITSTATUS(nStatus));
    }
    return true;
}

// The state is settled before any signal goes out: a slot may open a dialog, whose event loop
// polls again.
void CHandoffWatch::Poll() {
    std::vector<int> arrFailures;
    m_arrPrograms.erase(std::remove_if(m_arrPrograms.begin(), m_arrPrograms.end(),
                                       [this, &arrFailures](const SProgram& program) {
                                           return Reap(program, arrFailures);
                                       }),
                        m_arrPrograms.end());
    const qint64 nNow = m_clock.elapsed();
    bool bBusy = false;
    bool bYoung = false;
    for (const SProgram& program : m_arrPrograms) {
        const qint64 nAge = nNow - program.nStartMs;
        bYoung = bYoung || nAge < PLAYER_AFTER_MS;
        bBusy = bBusy || (nAge >= BUSY_AFTER_MS && nAge < PLAYER_AFTER_MS);
    }
    if (m_arrPrograms.empty()) {
        m_timer.stop();
    } else {
        m_timer.setInterval(bYoung ? YOUNG_POLL_MS : OLD_POLL_MS);
    }
    const bool bBusyChanged = bBusy != m_bBusy;
    m_bBusy = bBusy;
    if (bBusyChanged) {
        emit busyChanged(m_bBusy);
    }
    for (const int nStatus : arrFailures) {
        emit handoffFailed(nStatus);
    }
}
