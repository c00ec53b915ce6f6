// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/mutex.h"
#include "catalogue/mutexlock.h"
#include "catalogue/threadsafety.h"
#include "catalogue/threadstarter.h"
#include "catalogue/workergroup.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

// Does jobs on a thread of its own, one at a time, for work that a newer request makes useless
// (matching a filter, sorting rows): a job posted stops the one in hand, whose result is never
// handed over. Where no thread can be started, a job is done at once on the caller's thread.
template <typename TJob, typename TResult> class CJobThread {
public:
    // Does a job; it may give up, returning null, once bStop turns true.
    using FnWork = std::function<std::shared_ptr<TResult>(TJob&, const std::atomic<bool>& bStop)>;
    // Called with each job's number and result on the thread that did it; never for a job stopped.
    using FnDone = std::function<void(std::uint64_t nJob, std::shared_ptr<TResult>)>;

    CJobThread(FnWork fnWork, FnDone fnDone, CThreadStarter& starter)
        : m_fnWork(std::move(fnWork)), m_fnDone(std::move(fnDone)),
          m_worker(1, starter, [this](std::size_t) { Run(); }) {}

    ~CJobThread() {
        {
            const CMutexLock lock(m_mutex);
            m_worker.Stop();
            m_bStop = true;
            m_pending.reset();
        }
        m_cvWork.notify_all();
    }
    CJobThread(const CJobThread&) = delete;
    CJobThread& operator=(const CJobThread&) = delete;

    // The job's number, greater than any before.
    std::uint64_t Post(TJob job) {
        CMutexLock lock(m_mutex);
        const std::uint64_t nJob = ++m_nLastJob;
        m_bStop = true;
        // Started with the first job, or a later one when none could be before.
        if (m_worker.SetActive(1) == 0) {
            // No thread to be had: the work is done here, only the caller waits for it. The
            // result is handed over all the same, as the caller awaits it.
            m_bStop = false;
            lock.Unlock();
            if (std::shared_ptr<TResult> pResult = m_fnWork(job, m_bStop)) {
                m_fnDone(nJob, std::move(pResult));
            }
            return nJob;
        }
        m_pending = std::move(job);
        m_nPending = nJob;
        m_cvWork.notify_one();
        return nJob;
    }

    // Stops the job in hand and forgets the one waiting; neither's result is handed over.
    void Stop() {
        const CMutexLock lock(m_mutex);
        m_pending.reset();
        m_bStop = true;
    }

    // The same, returning once the job in hand has given up: what it read is free again.
    void StopAndWait() {
        CMutexLock lock(m_mutex);
        m_pending.reset();
        m_bStop = true;
        while (m_bBusy) {
            lock.Wait(m_cvIdle);
        }
    }

private:
    void Run() {
        CMutexLock lock(m_mutex);
        for (;;) {
            while (!m_worker.IsStopping() && !m_pending.has_value()) {
                lock.Wait(m_cvWork);
            }
            if (m_worker.IsStopping()) {
                return;
            }
            std::optional<TJob> job = std::move(m_pending);
            m_pending.reset();
            const std::uint64_t nJob = m_nPending;
            m_bStop = false;
            m_bBusy = true;
            lock.Unlock();
            std::shared_ptr<TResult> pResult = m_fnWork(*job, m_bStop);
            job.reset();
            lock.Lock();
            m_bBusy = false;
            // Handed over under the lock: once StopAndWait returns, no result of a stopped job
            // comes.
            if (pResult && !m_bStop) {
                m_fnDone(nJob, std::move(pResult));
            }
            m_cvIdle.notify_all();
        }
    }

    const FnWork m_fnWork;
    const FnDone m_fnDone;
    CMutex m_mutex;
    std::condition_variable m_cvWork; // the thread waits for a job
    std::condition_variable m_cvIdle; // StopAndWait waits for the job in hand to give up
    std::optional<TJob> m_pending GUARDED_BY(m_mutex);
    std::uint64_t m_nPending GUARDED_BY(m_mutex) = 0;
    std::uint64_t m_nLastJob GUARDED_BY(m_mutex) = 0;
    bool m_bBusy GUARDED_BY(m_mutex) = false;
    std::atomic<bool> m_bStop{false}; // the job in hand is out of date
    // Last, so that the thread is gone before what it uses.
    CWorkerGroup m_worker GUARDED_BY(m_mutex);
};
