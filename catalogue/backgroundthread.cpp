// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/backgroundthread.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

void LowerThisThreadPriority() {
    // Linux gives each thread its own nice value, set through its thread id, and a new thread
    // starts with its creator's: a worker started by another worker is already low. The aim is
    // the program's own value (its first thread's) lowered, never the current one lowered again;
    // and a thread already lower, as in a program started low, never gains priority. A failure
    // leaves the thread as it was.
    constexpr int LOWER_BY = 10;
    constexpr int LOWEST = 19;
    const auto nThread = static_cast<id_t>(::gettid());
    errno = 0;
    const int nProgram = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    const int nNice = ::getpriority(PRIO_PROCESS, nThread);
    if (errno != 0) {
        return;
    }
    const int nWanted = std::max(nNice, std::min(nProgram + LOWER_BY, LOWEST));
    if (nWanted != nNice) {
        (void)::setpriority(PRIO_PROCESS, nThread, nWanted);
    }
}
