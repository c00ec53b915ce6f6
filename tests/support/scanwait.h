// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tunebrdoc.h"

#include <QDeadlineTimer>
#include <QTest>

// Handles the window's events, as its own loop would, until the scan the document runs has
// ended; false when it is still running after the time given.
inline bool WaitForScan(const CTunebrDoc& doc, int nTimeoutMs = 30000) {
    const QDeadlineTimer deadline(nTimeoutMs);
    while (doc.IsScanning()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(2);
    }
    return true;
}
