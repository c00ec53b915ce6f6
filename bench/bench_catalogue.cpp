// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Micro-benchmarks of the catalogue: reading one tag, filing records into the index.
#include "catalogue/cataloguehost.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "catalogue/wildcard.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <set>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class CBenchHost final : public CCatalogueHost {
public:
    std::string GetFileExt() const override { return "*.mp3"; }
    void WriteFilePath(const std::string&) override {}
};

std::string Field(const std::string& strText, std::size_t nWidth) {
    std::string str = strText.substr(0, nWidth);
    str.resize(nWidth, ' ');
    return str;
}

// A folder of small tagged files with many artists, made once per process.
const fs::path& Library(int nFiles) {
    static const fs::path s_path = [nFiles] {
        const fs::path path =
            fs::temp_directory_path() / ("tunebrowse-bench-" + std::to_string(nFiles));
        if (!fs::exists(path / "done")) {
            fs::create_directories(path);
            for (int i = 0; i < nFiles; ++i) {
                const std::string strArtist =
                    "Artist " + std::to_string((i * 7919) % (nFiles / 50 + 1));
                const std::string strTag = "TAG" + Field("Title " + std::to_string(i), 30) +
                                           Field(strArtist, 30) + Field("Album", 30) +
                                           Field("1999", 4) + Field("", 30) +
                                           std::string(1, static_cast<char>(i % 148));
                std::ofstream(path / ("f" + std::to_string(i) + ".mp3"), std::ios::binary)
                    << std::string(418, '\0') << strTag;
            }
            std::ofstream(path / "done") << "";
        }
        return path;
    }();
    return s_path;
}

void BM_ReadTag(benchmark::State& state) {
    const fs::path& library = Library(1000);
    const std::string strLocation = library.string();
    int i = 0;
    for (auto _ : state) {
        CTrackInfo track(strLocation, "f" + std::to_string(i++ % 1000) + ".mp3");
        benchmark::DoNotOptimize(track.GetTitle().data());
    }
}
BENCHMARK(BM_ReadTag);

void BM_ScanFolder(benchmark::State& state) {
    const fs::path& library = Library(1000);
    CBenchHost host;
    CFileOps fileOps;
    CTunebrDoc doc(host, fileOps);
    for (auto _ : state) {
        doc.ScanFolder(library.string());
        benchmark::DoNotOptimize(doc.GetTracks()->size());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ScanFolder)->Unit(benchmark::kMillisecond);

std::string BenchLibrary() {
    const char* pszLibrary = std::getenv("TUNEBR_BENCH_LIBRARY");
    return pszLibrary != nullptr ? pszLibrary : Library(1000).string();
}

// A whole library from the page cache, with 0 (reads on the walking thread) to 16 readers. The
// library is TUNEBR_BENCH_LIBRARY (for instance one made by make_library) or 1,000 small files.
void BM_ScanLibrary(benchmark::State& state) {
    const std::string strLibrary = BenchLibrary();
    CBenchHost host;
    CFileOps fileOps;
    CTunebrDoc doc(host, fileOps);
    doc.SetReaderCount(static_cast<std::size_t>(state.range(0)));
    doc.ScanFolder(strLibrary);
    const std::size_t nFiles = doc.GetTracks()->size();
    for (auto _ : state) {
        doc.ScanFolder(strLibrary);
        benchmark::DoNotOptimize(doc.GetTracks()->size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(nFiles));
}
BENCHMARK(BM_ScanLibrary)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

bool DropCaches() {
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3\n";
    drop.flush();
    return drop.good();
}

// The same with the page, dentry and inode caches dropped before every scan, as after a reboot
// or on a disk just plugged in. Needs root.
void BM_ScanLibraryCold(benchmark::State& state) {
    const std::string strLibrary = BenchLibrary();
    CBenchHost host;
    CFileOps fileOps;
    CTunebrDoc doc(host, fileOps);
    doc.SetReaderCount(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        if (!DropCaches()) {
            state.SkipWithError("cannot drop the caches (needs root)");
            break;
        }
        state.ResumeTiming();
        doc.ScanFolder(strLibrary);
        benchmark::DoNotOptimize(doc.GetTracks()->size());
    }
    state.SetItemsProcessed(state.iterations() *
                            static_cast<std::int64_t>(doc.GetTracks()->size()));
}
BENCHMARK(BM_ScanLibraryCold)
    ->Arg(0)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Arg(16)
    ->Arg(32)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Index of 100,000 or 1,000,000 records with about 2,000 artists, as in a large library.
void BM_RebuildIndex(benchmark::State& state) {
    const fs::path& library = Library(1000);
    CBenchHost host;
    CFileOps fileOps;
    CTunebrDoc doc(host, fileOps);
    doc.ScanFolder(library.string());
    // Spread the 1,000 records' artists over the records of a library a hundred or a thousand
    // times larger.
    const auto nRecords = static_cast<std::size_t>(state.range(0));
    CTrackList& arrTracks = *doc.GetTracks();
    std::vector<CTrackInfo> arrCopies;
    arrCopies.reserve(nRecords);
    for (std::size_t i = 0; i < nRecords; ++i) {
        arrCopies.push_back(*arrTracks[i % arrTracks.size()]);
        arrCopies.back().SetArtist("Artist " + std::to_string((i * 7919) % 2000));
    }
    arrTracks.clear();
    for (CTrackInfo& track : arrCopies) {
        arrTracks.push_back(&track);
    }
    for (auto _ : state) {
        doc.RebuildIndex();
        benchmark::DoNotOptimize(doc.GetArtists().size());
    }
    arrTracks.clear();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RebuildIndex)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Heap bytes a scanned library takes per track, beyond the bytes of the track's own texts (file
// name, tag fields, folder): the records, the complete list and the group lists. The library is
// TUNEBR_BENCH_LIBRARY or 1,000 small files.
void BM_MemoryPerTrack(benchmark::State& state) {
    const std::string strLibrary = BenchLibrary();
    CBenchHost host;
    std::size_t nTracks = 0;
    double rHeapBytes = 0;
    double rTextBytes = 0;
    for (auto _ : state) {
        const std::size_t nBefore = ::mallinfo2().uordblks;
        CFileOps fileOps;
        CTunebrDoc doc(host, fileOps);
        doc.ScanFolder(strLibrary);
        rHeapBytes = static_cast<double>(::mallinfo2().uordblks - nBefore);
        nTracks = doc.GetTracks()->size();
        std::set<const std::string*> setFolders;
        rTextBytes = 0;
        for (const CTrackInfo* pTrack : *doc.GetTracks()) {
            rTextBytes +=
                static_cast<double>(pTrack->GetFileName().size() + pTrack->GetTitle().size() +
                                    pTrack->GetArtist().size() + pTrack->GetAlbum().size() +
                                    pTrack->GetYear().size() + pTrack->GetComment().size());
            if (setFolders.insert(&pTrack->GetLocation()).second) {
                rTextBytes += static_cast<double>(pTrack->GetLocation().size());
            }
        }
    }
    const double rTracks = static_cast<double>(nTracks);
    state.counters["tracks"] = rTracks;
    state.counters["heap_per_track"] = rHeapBytes / rTracks;
    state.counters["text_per_track"] = rTextBytes / rTracks;
    state.counters["beyond_text_per_track"] = (rHeapBytes - rTextBytes) / rTracks;
}
BENCHMARK(BM_MemoryPerTrack)->Iterations(1)->Unit(benchmark::kMillisecond);

// Matching stays linear in the name for patterns a backtracking matcher would explode on; the
// plain pattern of every scan is the yardstick.
void BM_MatchWildcard(benchmark::State& state) {
    const bool bPathological = state.range(0) != 0;
    const std::string strPattern = bPathological ? "*a*a*a*a*a*a*a*b" : "*.mp3";
    const std::string strName = bPathological ? std::string(255, 'a') : "07 - Some Title.mp3";
    for (auto _ : state) {
        benchmark::DoNotOptimize(MatchWildcard(strPattern, strName));
    }
    state.SetLabel(bPathological ? "*a*a*a*a*a*a*a*b on 255 a's" : "*.mp3 on a usual name");
}
BENCHMARK(BM_MatchWildcard)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
