// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/stepjob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Holds the steps at one number until let go, as a share that stopped answering would.
class CGate {
public:
    void Arrive(std::size_t nStep) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_nAt = nStep;
        m_cv.notify_all();
        m_cv.wait(lock, [this] { return m_bOpen; });
    }
    void WaitFor(std::size_t nStep) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this, nStep] { return m_nAt == nStep; });
    }
    void Open() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bOpen = true;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::size_t m_nAt = SIZE_MAX;
    bool m_bOpen = false;
};

// What a job's steps did, shared with them as an owner shares its results. An abandoned job's
// step ends while the test only watches the log's owners, which orders nothing: the steps run
// are kept under a lock of their own.
class CLog {
public:
    void Ran(std::size_t nStep) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_arrRun.push_back(nStep);
    }
    std::vector<std::size_t> Run() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrRun;
    }
    std::atomic<int> nTold{0};

private:
    mutable std::mutex m_mutex;
    std::vector<std::size_t> m_arrRun;
};

} // namespace

// However a job ends, the steps counted done are those that ran, in order, each whole.
TEST(StepJob, EndsAfterTheLastStepAFailedStepOrTheStepItWasCancelledIn) {
    const struct {
        const char* pszCase;
        std::size_t nFailAt; // SIZE_MAX: no step fails
        bool bCancelAt2;
        std::size_t nDone;
        bool bCancelled;
    } aCases[] = {
        {"every step", SIZE_MAX, false, 5, false},
        {"third step fails", 2, false, 3, false},
        {"cancelled during the third step", SIZE_MAX, true, 3, true},
        {"cancelled during the failing step", 2, true, 3, true},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        auto pLog = std::make_shared<CLog>();
        CGate gate;
        if (!c.bCancelAt2) {
            gate.Open();
        }
        CStepJob job(
            5,
            [pLog, &gate, nFailAt = c.nFailAt](std::size_t nStep) {
                if (nStep == 2) {
                    gate.Arrive(nStep);
                }
                pLog->Ran(nStep);
                return nStep != nFailAt;
            },
            [pLog] { ++pLog->nTold; });
        if (c.bCancelAt2) {
            gate.WaitFor(2);
            job.Cancel();
            gate.Open();
        }
        ASSERT_TRUE(job.Wait(5s));
        const CStepJob::SProgress progress = job.TakeProgress();
        EXPECT_TRUE(progress.bEnded);
        EXPECT_EQ(progress.nDone, c.nDone);
        EXPECT_EQ(job.WasCancelled(), c.bCancelled && c.nDone < 5);
        std::vector<std::size_t> arrExpected;
        for (std::size_t nStep = 0; nStep < c.nDone; ++nStep) {
            arrExpected.push_back(nStep);
        }
        EXPECT_EQ(pLog->Run(), arrExpected);
        EXPECT_GE(pLog->nTold.load(), 1);
    }
}

// A job left in a step that does not return is not waited for beyond the limit; its owner may
// go, and the step then ends with what it holds, untold.
TEST(StepJob, AnAbandonedJobEndsItsStepOnItsOwnAndTellsNoOne) {
    auto pLog = std::make_shared<CLog>();
    CGate gate;
    std::weak_ptr<CLog> pWeak = pLog;
    {
        CStepJob job(
            3,
            [pLog, &gate](std::size_t nStep) {
                gate.Arrive(nStep);
                pLog->Ran(nStep);
                return true;
            },
            [pLog] { ++pLog->nTold; });
        gate.WaitFor(0);
        const auto tStart = std::chrono::steady_clock::now();
        EXPECT_FALSE(job.Wait(50ms));
        EXPECT_LT(std::chrono::steady_clock::now() - tStart, 1s);
        EXPECT_EQ(job.TakeProgress().nDone, 0u);
    }
    const int nToldBefore = pLog->nTold;
    gate.Open();
    // The step goes on with the data it shares; the job's thread lets it go when it ends.
    for (int i = 0; i < 500 && pWeak.use_count() > 1; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(pWeak.use_count(), 1);
    EXPECT_EQ(pLog->Run(), std::vector<std::size_t>{0});
    EXPECT_EQ(pLog->nTold, nToldBefore);
}
