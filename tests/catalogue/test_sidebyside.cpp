// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/sidebyside.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// Every part runs once, on the threads that could be started or else on the caller's, and what a
// part throws reaches the caller once all are done, from whichever thread it ran on.
TEST(SideBySide, EveryPartRunsOnceWithTheThreadsThereAre) {
    const struct {
        std::size_t nParts;
        std::size_t nThreads;
        std::size_t nThrowing; // the part that throws, or nParts for none
    } aCases[] = {{1, SIZE_MAX, 1}, {4, SIZE_MAX, 4}, {4, 1, 4}, {4, 0, 4},
                  {4, SIZE_MAX, 2}, {4, 0, 3},        {4, 2, 0}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(std::to_string(c.nParts) + " parts, " + std::to_string(c.nThreads) +
                     " threads allowed, part " + std::to_string(c.nThrowing) + " throws");
        CThreadQuota quota(c.nThreads);
        std::vector<std::atomic<int>> arrRuns(c.nParts);
        std::atomic<std::size_t> nOnCaller{0};
        const std::thread::id caller = std::this_thread::get_id();
        const auto run = [&] {
            RunInParts(quota, c.nParts, [&](std::size_t nPart) {
                ++arrRuns[nPart];
                nOnCaller += std::this_thread::get_id() == caller ? 1 : 0;
                if (nPart == c.nThrowing) {
                    throw std::runtime_error("part");
                }
            });
        };
        if (c.nThrowing < c.nParts) {
            EXPECT_THROW(run(), std::runtime_error);
        } else {
            EXPECT_NO_THROW(run());
        }
        for (const std::atomic<int>& nRuns : arrRuns) {
            EXPECT_EQ(nRuns, 1);
        }
        EXPECT_EQ(nOnCaller, c.nParts - quota.Started());
        EXPECT_EQ(quota.Started(), std::min(c.nParts - 1, c.nThreads));
    }
}
