// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/filterworker.h"

#include <utility>

CFilterWorker::CFilterWorker(FnDone fnDone, CThreadStarter& starter)
    : m_fnDone(std::move(fnDone)), m_starter(starter) {
}

CFilterWorker::~CFilterWorker() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
        m_bStop = true;
        m_pending.reset();
    }
    m_cvWork.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::uint64_t CFilterWorker::Post(SJob job) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::uint64_t nJob = ++m_nLastJob;
    m_bStop = true;
    if (!m_thread.joinable()) {
        m_thread = m_starter.Start([this] { Run(); });
    }
    if (!m_thread.joinable()) {
        // No thread to be had: the work is done here, only the window waits for it. The result
        // is handed over all the same, as the caller awaits it.
        m_bStop = false;
        lock.unlock();
        if (std::shared_ptr<SResult> pResult = Match(job, nJob)) {
            m_fnDone(std::move(pResult));
        }
        return nJob;
    }
    m_pending = std::move(job);
    m_nPending = nJob;
    m_cvWork.notify_one();
    return nJob;
}

void CFilterWorker::Stop() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.reset();
    m_bStop = true;
}

void CFilterWorker::StopAndWait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_pending.reset();
    m_bStop = true;
    m_cvIdle.wait(lock, [this] { return !m_bBusy; });
}

std::shared_ptr<CFilterWorker::SResult> CFilterWorker::Match(SJob& job, std::uint64_t nJob) {
    auto pResult = std::make_shared<SResult>();
    pResult->nJob = nJob;
    pResult->filter = job.filter ? std::move(*job.filter) : CTrackFilter(job.strText, &m_bStop);
    if (m_bStop) {
        return nullptr;
    }
    pResult->arrPassed = pResult->filter.Apply(job.arrRows, &m_bStop, m_starter);
    return m_bStop ? nullptr : pResult;
}

void CFilterWorker::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cvWork.wait(lock, [this] { return m_bQuit || m_pending.has_value(); });
        if (m_bQuit) {
            return;
        }
        SJob job = std::move(*m_pending);
        m_pending.reset();
        const std::uint64_t nJob = m_nPending;
        m_bStop = false;
        m_bBusy = true;
        lock.unlock();
        std::shared_ptr<SResult> pResult = Match(job, nJob);
        job = SJob();
        lock.lock();
        m_bBusy = false;
        // Handed over under the lock: once StopAndWait returns, no result of a stopped job comes.
        if (pResult && !m_bStop) {
            m_fnDone(std::move(pResult));
        }
        m_cvIdle.notify_all();
    }
}
