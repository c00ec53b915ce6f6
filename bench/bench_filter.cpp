// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Google Benchmark of the filter box's matching on a list made in memory (texts partly
// accented): a filter made from a text and applied to every row, on the calling thread alone and
// with the threads there are.
//   bench_filter [--benchmark_filter=...]
#include "bench/maketracks.h"
#include "catalogue/threadstarter.h"
#include "panes/trackfilter.h"

#include <QString>

#include <benchmark/benchmark.h>

#include <deque>

namespace {

constexpr std::size_t ROWS = 100000;

// No thread can be started: the rows are matched on the caller's.
class CNoThreads final : public CThreadStarter {
public:
    std::thread Start(std::function<void()>) override { return {}; }
};

const CTrackList& Rows() {
    static const std::deque<CTrackInfo> s_tracks = MakeTracks(ROWS);
    static const CTrackList s_arrRows = [] {
        CTrackList arrRows;
        for (const CTrackInfo& track : s_tracks) {
            arrRows.push_back(const_cast<CTrackInfo*>(&track));
        }
        return arrRows;
    }();
    return s_arrRows;
}

// The texts typed in the window's benchmark, and a few words pasted.
const char* const s_apTexts[] = {"l",
                                 "lo",
                                 "love",
                                 "é",
                                 "été",
                                 "ÉTÉ 19",
                                 "zqx",
                                 "mb",
                                 "kAr",
                                 "cœur k",
                                 "love night rain été moon garçon"};

void Apply(benchmark::State& state, CThreadStarter& starter) {
    const CTrackList& arrRows = Rows();
    const QString strText = QString::fromUtf8(s_apTexts[state.range(0)]);
    std::size_t nPassed = 0;
    for (auto _ : state) {
        const CTrackFilter filter(strText);
        nPassed = filter.Apply(arrRows, nullptr, starter).size();
        benchmark::DoNotOptimize(nPassed);
    }
    state.SetLabel(std::string(s_apTexts[state.range(0)]) + ": " + std::to_string(nPassed));
}

void BM_FilterOneThread(benchmark::State& state) {
    CNoThreads starter;
    Apply(state, starter);
}

void BM_FilterThreads(benchmark::State& state) {
    Apply(state, CThreadStarter::Default());
}

} // namespace

BENCHMARK(BM_FilterOneThread)
    ->DenseRange(0, std::size(s_apTexts) - 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterThreads)->DenseRange(0, std::size(s_apTexts) - 1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
