// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/workergroup.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// Steps: G grows, S shrinks to one, X stops; after each, the workers at work. Each thread started
// runs its index once, whatever the group was told after.
TEST(WorkerGroup, GrowsShrinksAndDegradesToTheThreadsThereAre) {
    const struct {
        const char* pszCase;
        std::size_t nMost;
        std::size_t nAllowed;
        const char* pszSteps;
        std::vector<std::size_t> arrActive;
    } aCases[] = {
        {"doubles up to its most", 5, SIZE_MAX, "GGGG", {1, 2, 4, 5}},
        {"refused threads leave fewer", 8, 3, "GGG", {1, 2, 3}},
        {"no thread to be had", 4, 0, "GG", {0, 0}},
        {"shrinks to one, grows back on the parked", 4, SIZE_MAX, "GGSSG", {1, 2, 1, 1, 2}},
        {"a stopped group starts none", 4, SIZE_MAX, "XG", {0, 0}},
        {"none allowed at all", 0, SIZE_MAX, "G", {0}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CThreadQuota quota(c.nAllowed);
        std::mutex mutex;
        std::multiset<std::size_t> setRan;
        std::size_t nMostActive = 0;
        {
            CWorkerGroup group(c.nMost, quota, [&](std::size_t nIndex) {
                const std::lock_guard<std::mutex> lock(mutex);
                setRan.insert(nIndex);
            });
            std::vector<std::size_t> arrActive;
            for (const char* pStep = c.pszSteps; *pStep != '\0'; ++pStep) {
                if (*pStep == 'G') {
                    const std::size_t nGrown = group.Grow();
                    EXPECT_EQ(nGrown, group.GetActive());
                } else if (*pStep == 'S') {
                    group.Shrink(1);
                } else {
                    group.Stop();
                }
                arrActive.push_back(group.GetActive());
                nMostActive = std::max(nMostActive, group.GetActive());
            }
            EXPECT_EQ(arrActive, c.arrActive);
            EXPECT_EQ(group.GetStarted(), quota.Started());
            EXPECT_EQ(group.GetStarted(), nMostActive);
        }
        std::multiset<std::size_t> setExpected;
        for (std::size_t i = 0; i < quota.Started(); ++i) {
            setExpected.insert(i);
        }
        EXPECT_EQ(setRan, setExpected);
    }
}
