// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/filterworker.h"

#include <utility>

CFilterWorker::CFilterWorker(FnDone fnDone, CThreadStarter& starter)
    : m_thread([&starter](SJob& job,
                          const std::atomic<bool>& bStop) { return Match(job, bStop, starter); },
               [fnDone = std::move(fnDone)](std::uint64_t nJob, std::shared_ptr<SResult> pResult) {
                   pResult->nJob = nJob;
                   fnDone(std::move(pResult));
               },
               starter) {
}

std::shared_ptr<CFilterWorker::SResult>
CFilterWorker::Match(SJob& job, const std::atomic<bool>& bStop, CThreadStarter& starter) {
    auto pResult = std::make_shared<SResult>();
    pResult->filter = job.filter ? std::move(*job.filter) : CTrackFilter(job.strText, &bStop);
    if (bStop) {
        return nullptr;
    }
    pResult->arrPassed = pResult->filter.Apply(job.arrRows, &bStop, starter);
    return bStop ? nullptr : pResult;
}
