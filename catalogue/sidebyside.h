// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/threadstarter.h"

#include <cstddef>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

namespace SideBySide {

// Threads are waited for even when the caller's part throws: a thread never joined ends the
// process.
struct SJoinAll {
    std::vector<std::thread>& arrThreads;
    ~SJoinAll() {
        for (std::thread& thread : arrThreads) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }
};

} // namespace SideBySide

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
    std::vector<std::size_t> arrHere;
    arrHere.reserve(nParts);
    std::vector<std::thread> arrThreads;
    arrThreads.reserve(nParts);
    {
        const SideBySide::SJoinAll join{arrThreads};
        for (std::size_t nPart = 1; nPart < nParts; ++nPart) {
            std::thread thread = starter.Start([&runPart, nPart] { runPart(nPart); });
            if (thread.joinable()) {
                arrThreads.push_back(std::move(thread));
            } else {
                arrHere.push_back(nPart);
            }
        }
        if (nParts > 0) {
            runPart(0);
        }
        for (const std::size_t nPart : arrHere) {
            runPart(nPart);
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
