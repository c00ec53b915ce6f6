// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/threadstarter.h"
#include "catalogue/workergroup.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

// Work done one step at a time on a thread of its own (a file written, a tag read), so that a
// file system that answers slowly, or not at all, never holds up the thread that owns the
// catalogue. A step is never cut short: a cancelled job ends after the step it is in. What a step
// makes it keeps where its owner finds it; the owner reads it once the step is counted done (the
// count is handed over under a lock, so the step's writes are seen whole). A job left behind
// keeps what it needs alive by itself and ends whenever the kernel lets it, or with the process.
class CStepJob {
public:
    struct SProgress {
        std::size_t nDone = 0; // the steps wholly done, from the first on
        bool bEnded = false;   // no step runs any more, nor will
    };

    // fnStep runs on the job's thread for steps 0, 1, ... nSteps - 1 in order, until it returns
    // false (the step failed in a way that ends the job) or the job is cancelled. fnReady is
    // called on the job's thread once steps are done since the owner last took the progress,
    // and when the job ends; it must only arrange for TakeProgress to be called. When no thread
    // can be had, every step runs on the caller's thread before the constructor returns.
    CStepJob(std::size_t nSteps, std::function<bool(std::size_t)> fnStep,
             std::function<void()> fnReady, CThreadStarter& starter = CThreadStarter::Default());
    // Cancels the job and leaves its thread to end on its own; fnReady is not called any more.
    ~CStepJob();
    CStepJob(const CStepJob&) = delete;
    CStepJob& operator=(const CStepJob&) = delete;

    std::size_t GetStepCount() const { return m_nSteps; }
    // The progress, which the job tells of again at its next step done.
    SProgress TakeProgress();
    // Asks the job to end after the step it is in.
    void Cancel();
    bool WasCancelled() const;
    // Waits at most tLimit for the job's thread to be done with its last step; true when it is.
    bool Wait(std::chrono::milliseconds tLimit) const;

private:
    struct SShared;

    static void Run(const std::shared_ptr<SShared>& pShared);

    std::size_t m_nSteps;
    std::shared_ptr<SShared> m_pShared;
    // Its worker keeps the shared state alive by itself, and is abandoned with the job.
    CWorkerGroup m_worker;
};
