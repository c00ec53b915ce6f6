// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/backgroundthread.h"

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

void LowerThisThreadPriority() {
    // Linux gives each thread its own nice value, set through its thread id, and a new thread
    // starts with its creator's. Ten steps below the window still let a few dozen readers woken
    // by a cold disk keep it from its turn for 60 to 110 ms; at the lowest they took it 20 to
    // 50 ms, and the scan took no longer. A failure leaves the thread as it was.
    constexpr int LOWEST = 19;
    const auto nThread = static_cast<id_t>(::gettid());
    errno = 0;
    const int nNice = ::getpriority(PRIO_PROCESS, nThread);
    if (errno == 0 && nNice < LOWEST) {
        (void)::setpriority(PRIO_PROCESS, nThread, LOWEST);
    }
}
