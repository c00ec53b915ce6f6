// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/backgroundthread.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

void LowerThisThreadPriority() {
    // Linux gives each thread its own nice value, set through its thread id. Relative to the
    // current value, so that a program started with a low priority never gains one; a failure
    // leaves the thread as it was.
    constexpr int LOWER_BY = 10;
    constexpr int LOWEST = 19;
    const auto nThread = static_cast<id_t>(::gettid());
    errno = 0;
    const int nNice = ::getpriority(PRIO_PROCESS, nThread);
    if (errno == 0) {
        (void)::setpriority(PRIO_PROCESS, nThread, std::min(nNice + LOWER_BY, LOWEST));
    }
}
