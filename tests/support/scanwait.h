// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tunebrdoc.h"

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

// Handles the window's events, as its own loop would, while fnBusy holds; false when it still
// holds after the time given.
inline bool WaitWhile(const std::function<bool()>& fnBusy, int nTimeoutMs = 30000) {
    const QDeadlineTimer deadline(nTimeoutMs);
    while (fnBusy()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(2);
    }
    return true;
}

// Until the scan the document runs has ended.
inline bool WaitForScan(const CTunebrDoc& doc, int nTimeoutMs = 30000) {
    return WaitWhile([&doc] { return doc.IsScanning(); }, nTimeoutMs);
}

// Until the folder a window was asked to open has been looked at and read.
template <typename TWindow> bool WaitForFolder(const TWindow& window, int nTimeoutMs = 30000) {
    return WaitWhile([&window] { return window.IsOpeningFolder(); }, nTimeoutMs);
}
