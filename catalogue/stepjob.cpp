// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/stepjob.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

struct CStepJob::SShared {
    std::size_t nSteps = 0;
    std::function<bool(std::size_t)> fnStep; // used on the job's thread only
    std::atomic<bool> bCancelRequested{false};
    mutable std::mutex mutex;
    mutable std::condition_variable cvEnded;
    std::function<void()> fnReady; // guarded by mutex; emptied when the owner goes
    std::size_t nDone = 0;         // guarded by mutex
    bool bEnded = false;           // guarded by mutex
    bool bCancelled = false;       // guarded by mutex: steps were left undone on request
    bool bTold = false;            // guarded by mutex: the owner was told and has not looked yet

    // The owner is told under the lock, so that it is never told once it has gone.
    void Tell() {
        if (!bTold && fnReady) {
            bTold = true;
            fnReady();
        }
    }

    void StepDone() {
        const std::lock_guard<std::mutex> lock(mutex);
        ++nDone;
        Tell();
    }

    void End() {
        const std::lock_guard<std::mutex> lock(mutex);
        bEnded = true;
        bCancelled = nDone < nSteps && bCancelRequested;
        cvEnded.notify_all();
        bTold = false; // the end is always told
        Tell();
    }
};

CStepJob::CStepJob(std::size_t nSteps, std::function<bool(std::size_t)> fnStep,
                   std::function<void()> fnReady)
    : m_nSteps(nSteps), m_pShared(std::make_shared<SShared>()) {
    m_pShared->nSteps = nSteps;
    m_pShared->fnStep = std::move(fnStep);
    m_pShared->fnReady = std::move(fnReady);
    try {
        std::thread([pShared = m_pShared] { Run(pShared); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, little memory): the steps run here.
        Run(m_pShared);
    }
}

CStepJob::~CStepJob() {
    Cancel();
    const std::lock_guard<std::mutex> lock(m_pShared->mutex);
    m_pShared->fnReady = nullptr;
}

void CStepJob::Run(const std::shared_ptr<SShared>& pShared) {
    for (std::size_t nStep = 0; nStep < pShared->nSteps && !pShared->bCancelRequested; ++nStep) {
        const bool bGoOn = pShared->fnStep(nStep);
        pShared->StepDone();
        if (!bGoOn) {
            break;
        }
    }
    // What the steps hold (copies of records, a writer) goes with the job's thread.
    pShared->fnStep = nullptr;
    pShared->End();
}

CStepJob::SProgress CStepJob::TakeProgress() {
    const std::lock_guard<std::mutex> lock(m_pShared->mutex);
    m_pShared->bTold = false;
    return {m_pShared->nDone, m_pShared->bEnded};
}

void CStepJob::Cancel() {
    m_pShared->bCancelRequested = true;
}

bool CStepJob::WasCancelled() const {
    const std::lock_guard<std::mutex> lock(m_pShared->mutex);
    return m_pShared->bCancelled;
}

bool CStepJob::Wait(std::chrono::milliseconds tLimit) const {
    std::unique_lock<std::mutex> lock(m_pShared->mutex);
    return m_pShared->cvEnded.wait_for(lock, tLimit, [this] { return m_pShared->bEnded; });
}
