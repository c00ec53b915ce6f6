// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/handoffwatch.h"

#include <glib.h>

#include <algorithm>
#include <sys/wait.h>

namespace {

constexpr qint64 BUSY_AFTER_MS = 1000;
constexpr qint64 PLAYER_AFTER_MS = 5000;

} // namespace

CHandoffWatch::CHandoffWatch(QObject* pParent) : QObject(pParent) {
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CHandoffWatch::Update);
}

// Whatever still runs is the player or soon will be; it is left to run, and reaped by init once
// this program ends.
CHandoffWatch::~CHandoffWatch() {
    for (const SProgram& program : m_arrPrograms) {
        g_source_remove(program.nSource);
    }
}

void CHandoffWatch::Watch(int nPid, bool bEnds) {
    if (nPid <= 0) {
        return;
    }
    const guint nSource = g_child_watch_add(nPid, &CHandoffWatch::OnEnded, this);
    m_arrPrograms.push_back({nPid, m_clock.elapsed(), bEnds, nSource});
    Update();
}

void CHandoffWatch::OnEnded(int nPid, int nWaitStatus, void* pData) {
    static_cast<CHandoffWatch*>(pData)->Ended(nPid, nWaitStatus);
}

bool CHandoffWatch::IsHandoff(const SProgram& program, qint64 nNow) const {
    return program.bEnds || nNow - program.nStartMs < PLAYER_AFTER_MS;
}

// The state is settled before the signal goes out: a slot may open a dialog.
void CHandoffWatch::Ended(int nPid, int nWaitStatus) {
    const auto it = std::find_if(m_arrPrograms.begin(), m_arrPrograms.end(),
                                 [nPid](const SProgram& program) { return program.nPid == nPid; });
    if (it == m_arrPrograms.end()) {
        return;
    }
    const bool bFailed = IsHandoff(*it, m_clock.elapsed()) && WIFEXITED(nWaitStatus) &&
                         WEXITSTATUS(nWaitStatus) != 0;
    // GLib removes the source itself once its callback returns.
    m_arrPrograms.erase(it);
    Update();
    if (bFailed) {
        Q_EMIT handoffFailed(WEXITSTATUS(nWaitStatus));
    }
}

void CHandoffWatch::Update() {
    const qint64 nNow = m_clock.elapsed();
    bool bBusy = false;
    qint64 nNextMs = -1;
    const auto wakeAt = [&nNextMs](qint64 nAt) {
        nNextMs = nNextMs < 0 ? nAt : std::min(nNextMs, nAt);
    };
    for (const SProgram& program : m_arrPrograms) {
        if (!IsHandoff(program, nNow)) {
            continue;
        }
        const qint64 nAge = nNow - program.nStartMs;
        bBusy = bBusy || nAge >= BUSY_AFTER_MS;
        if (nAge < BUSY_AFTER_MS) {
            wakeAt(program.nStartMs + BUSY_AFTER_MS);
        } else if (!program.bEnds) {
            wakeAt(program.nStartMs + PLAYER_AFTER_MS);
        }
    }
    if (nNextMs >= 0) {
        m_timer.start(static_cast<int>(std::max<qint64>(nNextMs - nNow, 0)));
    } else {
        m_timer.stop();
    }
    if (bBusy != m_bBusy) {
        m_bBusy = bBusy;
        Q_EMIT busyChanged(m_bBusy);
    }
}
