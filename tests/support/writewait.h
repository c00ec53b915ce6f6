// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QDeadlineTimer>
#include <QTest>

// Handles the window's events, as its own loop would, until fnDone holds; false when it still
// does not after the time given.
template <class FDone> bool WaitUntil(FDone fnDone, int nTimeoutMs = 30000) {
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!fnDone()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(2);
    }
    return true;
}

// Until the run of tag writes (a CTagWriteRun), or everything the track commands started (the
// editor's opening and its writes), has ended and been reported; a null run has nothing to wait
// for.
template <class TWriter> bool WaitForWrite(const TWriter* pWriter, int nTimeoutMs = 30000) {
    return WaitUntil([pWriter] { return pWriter == nullptr || !pWriter->IsBusy(); }, nTimeoutMs);
}
