// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/jobthread.h"
#include "catalogue/threadstarter.h"
#include "catalogue/tracklist.h"
#include "panes/trackfilter.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

// Matches filters on a thread of its own, so that a long text or a long list never holds the
// window. It works on one job at a time: a new job stops the one in hand, whose result is never
// handed over. Where no thread can be started, a job is matched at once on the caller's.
class CFilterWorker {
public:
    struct SJob {
        QString strText; // made into the filter on the worker, unless a filter is given
        std::optional<CTrackFilter> filter;
        CTrackList arrRows; // to test, in display order; a copy, as the list changes meanwhile
    };
    struct SResult {
        std::uint64_t nJob = 0;
        CTrackFilter filter;
        CTrackList arrPassed;
    };
    // Called with each job's result on the thread that matched it; never for a job stopped.
    using FnDone = std::function<void(std::shared_ptr<SResult>)>;

    explicit CFilterWorker(FnDone fnDone, CThreadStarter& starter = CThreadStarter::Default());
    CFilterWorker(const CFilterWorker&) = delete;
    CFilterWorker& operator=(const CFilterWorker&) = delete;

    // The job's number, greater than any before.
    std::uint64_t Post(SJob job) { return m_thread.Post(std::move(job)); }
    // Stops the job in hand and forgets the one waiting; neither's result is handed over.
    void Stop() { m_thread.Stop(); }
    // The same, returning once no job reads the records: after a row at most.
    void StopAndWait() { m_thread.StopAndWait(); }

private:
    static std::shared_ptr<SResult> Match(SJob& job, const std::atomic<bool>& bStop,
                                          CThreadStarter& starter);

    CJobThread<SJob, SResult> m_thread;
};
