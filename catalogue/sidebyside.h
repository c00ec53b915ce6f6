// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/threadstarter.h"
#include "catalogue/workergroup.h"

#include <cstddef>
#include <exception>
#include <utility>
#include <vector>

// Runs fnPart(0) to fnPart(nParts - 1) and returns once all are done: the first on the caller's
// thread, each other on a thread of its own where one can be started, or else on the caller's
// after the first. Every part runs whatever another throws; the first part's exception, by part
// number, is thrown here once all are done.
template <typename TPart>
void RunInParts(CThreadStarter& starter, std::size_t nParts, const TPart& fnPart) {
    std::vector<std::exception_ptr> arrErrors(nParts);
    const auto runPart = [&fnPart, &arrErrors](std::size_t nPart) {
        try {
            fnPart(nPart);
        } catch (...) {
            arrErrors[nPart] = std::current_exception();
        }
    };
    {
        // Its threads are waited for when it goes, whatever the parts here throw.
        CWorkerGroup others(nParts > 0 ? nParts - 1 : 0, starter,
                            [&runPart](std::size_t nIndex) { runPart(nIndex + 1); });
        const std::size_t nOthers = others.SetActive(nParts > 0 ? nParts - 1 : 0);
        for (std::size_t nPart = 0; nPart < nParts; ++nPart) {
            if (nPart == 0 || nPart > nOthers) {
                runPart(nPart);
            }
        }
    }
    for (const std::exception_ptr& pError : arrErrors) {
        if (pError) {
            std::rethrow_exception(pError);
        }
    }
}

// Runs fnOther on a thread of its own while fnHere runs on the caller's, and returns once both
// are done. Where no thread can be started (the process is at its limit of threads or memory),
// both run on the caller's, one after the other: the work is only slower, never lost.
template <typename TOther, typename THere>
void RunSideBySide(CThreadStarter& starter, TOther&& fnOther, THere&& fnHere) {
    RunInParts(starter, 2, [&fnOther, &fnHere](std::size_t nPart) {
        if (nPart == 0) {
            fnHere();
        } else {
            fnOther();
        }
    });
}

template <typename TOther, typename THere> void RunSideBySide(TOther&& fnOther, THere&& fnHere) {
    RunSideBySide(CThreadStarter::Default(), fnOther, fnHere);
}
