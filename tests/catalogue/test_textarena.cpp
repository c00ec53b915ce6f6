// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/textarena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool IsMapped(const char* pAt) {
    const auto nPage = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t nAt = reinterpret_cast<std::uintptr_t>(pAt) & ~(nPage - 1);
    return ::msync(reinterpret_cast<void*>(nAt), nPage, MS_ASYNC) == 0 || errno != ENOMEM;
}

// Each block filled with its own number's byte, so that overlapping blocks show.
void Fill(char* pBlock, std::size_t nBytes, std::size_t nNumber) {
    std::fill_n(pBlock, nBytes, static_cast<char>('a' + nNumber % 26));
}
bool Holds(const char* pBlock, std::size_t nBytes, std::size_t nNumber) {
    return std::string(pBlock, nBytes) ==
           std::string(nBytes, static_cast<char>('a' + nNumber % 26));
}

} // namespace

// Blocks cut on one thread and released on another keep their bytes until released, and their
// memory goes back to the system once the last of them is released and the thread that cut them
// has moved on, in whichever order the two happen.
TEST(TextArena, MemoryGoesBackOnceEveryBlockAndTheCuttingThreadHaveLetGo) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "blocks come from the heap under AddressSanitizer";
#endif
    struct {
        const char* pszName;
        std::size_t nBytes;  // of each block
        std::size_t nBlocks; // cut in a row by one thread
        bool bReleaseWhileCutting;
    } const aCases[] = {{"small blocks released after the thread ended", 100, 500, false},
                        {"small blocks released while the thread still cuts", 100, 500, true},
                        {"blocks over several chunks", 3000, 300, false},
                        {"blocks of a mapping of their own", 100000, 3, true},
                        {"blocks of a mapping of their own, thread ended", 100000, 3, false}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszName);
        std::vector<char*> arrBlocks;
        bool bCut = false;
        bool bReleased = false;
        std::mutex mutex;
        std::condition_variable cv;
        std::thread cutter([&] {
            for (std::size_t i = 0; i < c.nBlocks; ++i) {
                arrBlocks.push_back(TextArena::Allocate(c.nBytes));
                Fill(arrBlocks.back(), c.nBytes, i);
            }
            std::unique_lock<std::mutex> lock(mutex);
            bCut = true;
            cv.notify_all();
            cv.wait(lock, [&] { return bReleased || !c.bReleaseWhileCutting; });
        });
        {
            std::unique_lock<std::mutex> lock(mutex);
            cv.wait(lock, [&] { return bCut; });
        }
        if (!c.bReleaseWhileCutting) {
            cutter.join();
        }
        for (std::size_t i = 0; i < arrBlocks.size(); ++i) {
            EXPECT_TRUE(Holds(arrBlocks[i], c.nBytes, i)) << i;
        }
        const char* pLast = arrBlocks.back();
        arrBlocks.pop_back();
        for (const char* pBlock : arrBlocks) {
            TextArena::Release(pBlock);
        }
        EXPECT_TRUE(IsMapped(pLast));
        EXPECT_TRUE(Holds(pLast, c.nBytes, c.nBlocks - 1));
        TextArena::Release(pLast);
        if (c.bReleaseWhileCutting) {
            const bool bOwnMapping = c.nBytes > 50000;
            EXPECT_EQ(IsMapped(pLast), !bOwnMapping) << "the cutting thread still holds its chunk";
            {
                std::lock_guard<std::mutex> lock(mutex);
                bReleased = true;
            }
            cv.notify_all();
            cutter.join();
        }
        EXPECT_FALSE(IsMapped(pLast));
        for (const char* pBlock : arrBlocks) {
            EXPECT_FALSE(IsMapped(pBlock));
        }
    }
}

// Threads cutting blocks while releasing one another's: every block keeps its own bytes.
TEST(TextArena, ThreadsReleasingOneAnothersBlocksKeepEveryBlockIntact) {
    constexpr std::size_t THREADS = 4;
    constexpr std::size_t BLOCKS = 20000;
    std::vector<std::vector<char*>> arrCut(THREADS);
    std::vector<std::thread> arrThreads;
    std::atomic<std::size_t> nBad{0};
    for (std::size_t t = 0; t < THREADS; ++t) {
        arrThreads.emplace_back([&, t] {
            for (std::size_t i = 0; i < BLOCKS; ++i) {
                const std::size_t nBytes = 1 + (i * 7 + t) % 200;
                char* pBlock = TextArena::Allocate(nBytes);
                Fill(pBlock, nBytes, i + t);
                arrCut[t].push_back(pBlock);
            }
        });
    }
    for (std::thread& thread : arrThreads) {
        thread.join();
    }
    arrThreads.clear();
    for (std::size_t t = 0; t < THREADS; ++t) {
        // Each thread checks and releases the blocks of the next, while cutting more of its own.
        arrThreads.emplace_back([&, t] {
            const std::vector<char*>& arrOthers = arrCut[(t + 1) % THREADS];
            const std::size_t nOther = (t + 1) % THREADS;
            std::vector<char*> arrMore;
            for (std::size_t i = 0; i < arrOthers.size(); ++i) {
                const std::size_t nBytes = 1 + (i * 7 + nOther) % 200;
                if (!Holds(arrOthers[i], nBytes, i + nOther)) {
                    ++nBad;
                }
                TextArena::Release(arrOthers[i]);
                arrMore.push_back(TextArena::Allocate(64));
                Fill(arrMore.back(), 64, t);
            }
            for (const char* pBlock : arrMore) {
                if (!Holds(pBlock, 64, t)) {
                    ++nBad;
                }
                TextArena::Release(pBlock);
            }
        });
    }
    for (std::thread& thread : arrThreads) {
        thread.join();
    }
    EXPECT_EQ(nBad.load(), 0U);
}
