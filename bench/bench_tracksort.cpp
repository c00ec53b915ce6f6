// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The list's sort alone, on records made in memory as a large library's (albums of twelve files in
// folders of their own, a few thousand artists), in scan order or scattered as after another
// sort: CTrackSort::SortedOrder against the plain way, std::stable_sort on each row's key read
// once. The plain way is the yardstick: the faster path is worth its code only while it wins.
//   bench_tracksort [--benchmark_filter=...]
// With TUNEBR_BENCH_LIBRARY set to a folder (one made by make_library, say), the records are that
// folder's, scanned once, and the lists as long as the folder allows.
#include "bench/maketracks.h"
#include "catalogue/cataloguehost.h"
#include "catalogue/posixio.h"
#include "catalogue/tagblock.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tracksort.h"
#include "catalogue/tunebrdoc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

class CBenchHost final : public CCatalogueHost {
public:
    std::string GetFileExt() const override { return "*.mp3"; }
    void WriteFilePath(const std::string&) override {}
};

// The records of the largest list asked for, made or scanned once; smaller lists take its first
// rows.
struct SLibrary {
    std::deque<CTrackInfo> m_tracks;
    CBenchHost m_host;
    CFileOps m_fileOps;
    std::unique_ptr<CTunebrDoc> m_pDoc;
    CTrackList m_arrScanOrder;
    CTrackList m_arrScattered;
};

const SLibrary& Library() {
    static const SLibrary* const s_pLibrary = [] {
        auto* pLibrary = new SLibrary; // lives as long as the process
        const char* pszFolder = std::getenv("TUNEBR_BENCH_LIBRARY");
        if (pszFolder != nullptr) {
            pLibrary->m_pDoc = std::make_unique<CTunebrDoc>(pLibrary->m_host, pLibrary->m_fileOps);
            pLibrary->m_pDoc->ScanFolder(pszFolder);
            pLibrary->m_arrScanOrder = *pLibrary->m_pDoc->GetTracks();
        } else {
            pLibrary->m_tracks = MakeTracks(1000000, true);
            for (CTrackInfo& track : pLibrary->m_tracks) {
                pLibrary->m_arrScanOrder.push_back(&track);
            }
        }
        pLibrary->m_arrScattered = pLibrary->m_arrScanOrder;
        std::shuffle(pLibrary->m_arrScattered.begin(), pLibrary->m_arrScattered.end(),
                     std::mt19937(2));
        return pLibrary;
    }();
    return *s_pLibrary;
}

CTrackList Rows(const benchmark::State& state) {
    const SLibrary& library = Library();
    const CTrackList& arrAll =
        state.range(2) != 0 ? library.m_arrScattered : library.m_arrScanOrder;
    return CTrackList(
        arrAll.begin(),
        arrAll.begin() +
            std::min<std::int64_t>(state.range(1), static_cast<std::int64_t>(arrAll.size())));
}

// The plain way: each row's key read once, then a stable sort of the keys.
std::vector<std::uint32_t> StableSortOnKeys(const CTrackList& arrRows, int nSortKey) {
    const int nKey = std::abs(nSortKey);
    const bool bReverse = nSortKey < 0;
    struct SEntry {
        std::string_view strText;
        std::int64_t nSize;
        std::uint32_t nRow;
    };
    std::vector<SEntry> arrEntries(arrRows.size());
    for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
        const CTrackInfo& track = *arrRows[nRow];
        std::string_view strText;
        switch (nKey) {
        case CTrackSort::KEY_FILE:
            strText = track.GetFileName();
            break;
        case CTrackSort::KEY_ARTIST:
            strText = track.GetArtist();
            break;
        case CTrackSort::KEY_TITLE:
            strText = track.GetTitle();
            break;
        case CTrackSort::KEY_LOCATION:
            strText = track.GetLocation();
            break;
        case CTrackSort::KEY_ALBUM:
            strText = track.GetAlbum();
            break;
        case CTrackSort::KEY_GENRE:
            strText = track.GetGenreName();
            break;
        case CTrackSort::KEY_DATE:
            strText = track.GetYear();
            break;
        case CTrackSort::KEY_COMMENT:
            strText = track.GetComment();
            break;
        default:
            break;
        }
        arrEntries[nRow] = {strText, track.GetSize(), static_cast<std::uint32_t>(nRow)};
    }
    std::stable_sort(
        arrEntries.begin(), arrEntries.end(),
        [nKey, bReverse](const SEntry& first, const SEntry& second) {
            if (nKey == CTrackSort::KEY_SIZE) {
                return bReverse ? first.nSize < second.nSize : first.nSize > second.nSize;
            }
            return bReverse ? second.strText < first.strText : first.strText < second.strText;
        });
    std::vector<std::uint32_t> arrOrder(arrEntries.size());
    for (std::size_t i = 0; i < arrEntries.size(); ++i) {
        arrOrder[i] = arrEntries[i].nRow;
    }
    return arrOrder;
}

void SetLabel(benchmark::State& state) {
    state.SetLabel(state.range(2) != 0 ? "scattered" : "scan order");
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

// Arguments: sort key, rows, scattered.
void BM_SortedOrder(benchmark::State& state) {
    const CTrackList arrRows = Rows(state);
    const int nKey = static_cast<int>(state.range(0));
    if (CTrackSort::SortedOrder(arrRows, nKey) != StableSortOnKeys(arrRows, nKey)) {
        state.SkipWithError("the two sorts disagree");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(CTrackSort::SortedOrder(arrRows, nKey).data());
    }
    SetLabel(state);
}

void BM_StableSortOnKeys(benchmark::State& state) {
    const CTrackList arrRows = Rows(state);
    const int nKey = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(StableSortOnKeys(arrRows, nKey).data());
    }
    SetLabel(state);
}

void Arguments(benchmark::internal::Benchmark* pBench) {
    for (int nKey = CTrackSort::KEY_FILE; nKey <= CTrackSort::KEY_COMMENT; ++nKey) {
        for (const int nRows : {100000, 1000000}) {
            for (const int nScattered : {0, 1}) {
                pBench->Args({nKey, nRows, nScattered});
            }
        }
    }
    pBench->ArgNames({"key", "rows", "scattered"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SortedOrder)->Apply(Arguments);
BENCHMARK(BM_StableSortOnKeys)->Apply(Arguments);

} // namespace

BENCHMARK_MAIN();
