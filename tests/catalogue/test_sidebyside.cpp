// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/sidebyside.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace {

enum EOutcome { BOTH_ON_TWO_THREADS = 20, BOTH_HERE = 21, WORK_LOST = 22 };

// In a child process: with the address space held to what it uses now, no thread's stack can be
// mapped, as when a process is at its limit of threads or memory.
EOutcome RunBoth(bool bNoRoomForAThread) {
    if (bNoRoomForAThread) {
        long nPages = 0;
        FILE* pFile = std::fopen("/proc/self/statm", "r");
        if (pFile == nullptr || std::fscanf(pFile, "%ld", &nPages) != 1) {
            std::_Exit(1);
        }
        std::fclose(pFile);
        const rlim_t nBytes = static_cast<rlim_t>(nPages * sysconf(_SC_PAGESIZE)) + (4 << 20);
        const struct rlimit limit = {nBytes, nBytes};
        setrlimit(RLIMIT_AS, &limit);
    }
    std::atomic<int> nDone{0};
    std::thread::id otherThread;
    RunSideBySide(
        [&] {
            otherThread = std::this_thread::get_id();
            nDone += 1;
        },
        [&] { nDone += 2; });
    if (nDone != 3) {
        return WORK_LOST;
    }
    return otherThread == std::this_thread::get_id() ? BOTH_HERE : BOTH_ON_TWO_THREADS;
}

} // namespace

TEST(SideBySide, BothPartsRunOnTwoThreadsOrElseHere) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* pszCase;
        bool bNoRoomForAThread;
        EOutcome eOutcome;
    } aCases[] = {
        {"threads to be had", false, BOTH_ON_TWO_THREADS},
        {"no room for a thread", true, BOTH_HERE},
    };
    for (const auto& c : aCases) {
#if defined(__SANITIZE_ADDRESS__)
        if (c.bNoRoomForAThread) {
            continue; // the sanitizer maps its shadow memory beyond any such limit
        }
#endif
        EXPECT_EXIT(std::exit(RunBoth(c.bNoRoomForAThread)), ::testing::ExitedWithCode(c.eOutcome),
                    "")
            << c.pszCase;
    }
}
