// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/stepjob.h"

#include "catalogue/mutex.h"
#include "catalogue/mutexlock.h"
#include "catalogue/threadsafety.h"

#include <atomic>
#include <condition_variable>
#include <utility>

struct CStepJob::SShared {
    std::size_t nSteps = 0;
    std::function<bool(std::size_t)> fnStep; // used on the job's thread only
    std::atomic<bool> bCancelRequested{false};
    mutable CMutex mutex;
    mutable std::condition_variable cvEnded;
    std::function<void()> fnReady GUARDED_BY(mutex); // emptied when the owner goes
    std::size_t nDone GUARDED_BY(mutex) = 0;
    bool bEnded GUARDED_BY(mutex) = false;
    bool bCancelled GUARDED_BY(mutex) = false; // steps were left undone on request
    bool bTold GUARDED_BY(mutex) = false;      // the owner was told and has not looked yet

    // The owner is told under the lock, so that it is never told once it has gone.
    void Tell() REQUIRES(mutex) {
        if (!bTold && fnReady) {
            bTold = true;
            fnReady();
        }
    }

    void StepDone() {
        const CMutexLock lock(mutex);
        ++nDone;
        Tell();
    }

    void End() {
        const CMutexLock lock(mutex);
        bEnded = true;
        bCancelled = nDone < nSteps && bCancelRequested;
        cvEnded.notify_all();
        bTold = false; // the end is always told
        Tell();
    }
};

CStepJob::CStepJob(std::size_t nSteps, std::function<bool(std::size_t)> fnStep,
                   std::function<void()> fnReady, CThreadStarter& starter)
    : m_nSteps(nSteps), m_pShared(std::make_shared<SShared>()),
      m_worker(
          1, starter, [pShared = m_pShared](std::size_t) { Run(pShared); },
          CWorkerGroup::EEnd::Abandon) {
    m_pShared->nSteps = nSteps;
    m_pShared->fnStep = std::move(fnStep);
    {
        const CMutexLock lock(m_pShared->mutex);
        m_pShared->fnReady = std::move(fnReady);
    }
    if (m_worker.SetActive(1) == 0) {
        // No thread to be had (a process limit, little memory): the steps run here.
        Run(m_pShared);
    }
}

CStepJob::~CStepJob() {
    Cancel();
    const CMutexLock lock(m_pShared->mutex);
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
    const CMutexLock lock(m_pShared->mutex);
    m_pShared->bTold = false;
    return {m_pShared->nDone, m_pShared->bEnded};
}

void CStepJob::Cancel() {
    m_pShared->bCancelRequested = true;
}

bool CStepJob::WasCancelled() const {
    const CMutexLock lock(m_pShared->mutex);
    return m_pShared->bCancelled;
}

bool CStepJob::Wait(std::chrono::milliseconds tLimit) const {
    const auto tDeadline = std::chrono::steady_clock::now() + tLimit;
    CMutexLock lock(m_pShared->mutex);
    while (!m_pShared->bEnded && lock.WaitUntil(m_pShared->cvEnded, tDeadline)) {
    }
    return m_pShared->bEnded;
}
