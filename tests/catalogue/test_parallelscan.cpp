// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Scans with tag readers on other threads must give exactly what a scan reading every file itself
// gives: the same records in the same order, the same groups, the same hints; and a stopped scan
// must leave a whole, smaller catalogue.
#include "catalogue/backgroundthread.h"
#include "catalogue/docview.h"
#include "catalogue/folderwalk.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "catalogue/scanjob.h"
#include "catalogue/tagreaderpool.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "hostiletree.h"
#include "tests/support/fakefileops.h"
#include "tests/support/fakes.h"
#include "tests/support/randomtree.h"
#include "tests/support/testfiles.h"
#include "tests/support/timescale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string Describe(const CTrackInfo& track) {
    return track.GetLocation() + "|" + std::string(track.GetFileName()) + "|" +
           std::to_string(track.GetSize()) + "|" + std::string(track.GetTitle()) + "|" +
           std::string(track.GetArtist()) + "|" + std::string(track.GetAlbum()) + "|" +
           std::string(track.GetYear()) + "|" + std::string(track.GetComment()) + "|" +
           std::to_string(track.GetGenre()) + "|" + (track.HasTag() ? "tag" : "none");
}

// Everything a view can see of a finished scan, as text: records in order, then every group
// with the positions of its records in the complete list.
struct SScanResult {
    std::vector<std::string> arrRecords;
    std::vector<std::string> arrGroups;
    std::vector<EHint> arrHints;
    std::vector<std::string> arrWritten;
    bool bStopped = false;
    bool bOneTextAFolder = false; // the records of a folder share its location
};

std::string GroupText(const std::string& strName, const CTrackList& arrTracks,
                      const CTrackList& arrAll) {
    std::string str = strName + ":";
    for (const CTrackInfo* pTrack : arrTracks) {
        str += ' ';
        str += std::to_string(std::find(arrAll.begin(), arrAll.end(), pTrack) - arrAll.begin());
    }
    return str;
}

SScanResult Scan(const std::string& strRoot, std::size_t nReaders, CFakeCatalogueHost& host,
                 CFileOps& ops) {
    CHintLog view;
    CTunebrDoc doc(host, ops);
    doc.AddView(&view);
    doc.SetReaderCount(nReaders);
    doc.ScanFolder(strRoot);
    SScanResult result;
    const CTrackList& arrAll = *doc.GetTracks();
    std::set<const std::string*> setTexts;
    std::set<std::string> setFolders;
    for (const CTrackInfo* pTrack : arrAll) {
        result.arrRecords.push_back(Describe(*pTrack));
        setTexts.insert(&pTrack->GetLocation());
        setFolders.insert(pTrack->GetLocation());
    }
    result.bOneTextAFolder = setTexts.size() == setFolders.size();
    for (const auto& pArtist : doc.GetArtists()) {
        result.arrGroups.push_back(GroupText(pArtist->GetName(), pArtist->m_arrTracks, arrAll));
    }
    for (const auto& pGenre : doc.GetGenres()) {
        result.arrGroups.push_back(GroupText(pGenre->GetName(), pGenre->m_arrTracks, arrAll));
        for (const auto& pArtist : pGenre->GetArtists()) {
            result.arrGroups.push_back(
                GroupText(" " + pArtist->GetName(), pArtist->m_arrTracks, arrAll));
        }
    }
    result.arrHints = view.m_arrHints;
    result.arrWritten = host.m_arrWritten;
    result.bStopped = doc.WasScanStopped();
    return result;
}

SScanResult Scan(const std::string& strRoot, std::size_t nReaders, CFileOps& ops) {
    CFakeCatalogueHost host;
    return Scan(strRoot, nReaders, host, ops);
}

SScanResult Scan(const std::string& strRoot, std::size_t nReaders) {
    CFileOps systemCalls;
    return Scan(strRoot, nReaders, systemCalls);
}

// Changes the tree when a chosen file is opened, after its folder was listed: the file vanishes,
// becomes a folder, or is replaced by one too short for a tag. Which file gets what depends on
// its name only, so that every scan, whatever its timing, meets the same changes.
void RaceOpens(CFakeFileOps& ops, unsigned nSeed) {
    ops.Before(EFileOp::OpenAt, [nSeed](const SFileCall& call) {
        const std::size_t nHash = std::hash<std::string>()(call.pszPath) ^ nSeed;
        switch (nHash % 6) {
        case 0:
            ::unlinkat(call.nFd, call.pszPath, 0);
            break;
        case 1:
            if (::unlinkat(call.nFd, call.pszPath, 0) == 0) {
                ::mkdirat(call.nFd, call.pszPath, 0755);
            }
            break;
        case 2:
            if (::unlinkat(call.nFd, call.pszPath, 0) == 0) {
                WriteBytesAt(call.nFd, call.pszPath, Audio(50));
            }
            break;
        default:
            break;
        }
    });
}

// Changes a folder just opened: it gains a file, a sub-folder moves to another name, or it gains
// a link back to the root, a cycle.
void ChangeFolder(int nFd, std::size_t nChoice, const std::string& strRoot) {
    switch (nChoice) {
    case 2: {
        const std::string strTag = Audio(300) + MakeTag("Added", "Artist 9");
        const int nFile = ::openat(nFd, "added.mp3", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (nFile >= 0) {
            (void)!::write(nFile, strTag.data(), strTag.size());
            ::close(nFile);
        }
        break;
    }
    case 3:
        (void)!::symlinkat(strRoot.c_str(), nFd, "loop");
        break;
    case 4:
        for (int i = 0; i < 3000; ++i) {
            const std::string strName = "d" + std::to_string(i);
            if (::renameat(nFd, strName.c_str(), nFd, ("zz-" + strName).c_str()) == 0) {
                break;
            }
        }
        break;
    default:
        break;
    }
}

// A file server seen through the seam: chosen folders and files answer slowly or with an error,
// and folders change at the moment they are opened, before they are listed. The root itself is
// left alone. Every choice depends on the name only, so that a scan listing folders ahead meets
// exactly the changes a sequential one meets.
void ActAsChangingShare(CFakeFileOps& ops, unsigned nSeed, const std::string& strRoot) {
    const auto pick = [nSeed](const SFileCall& call, std::size_t nChoices) {
        return (std::hash<std::string>()(call.pszPath) ^ nSeed) % nChoices;
    };
    const auto sleep = [](int nMilliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
    };
    ops.SetDelay(EFileOp::ListFolder, 1);
    ops.Around(EFileOp::OpenFolderAt, [=](SFileCall& call, const CFakeFileOps::FnGoOn& fnGoOn) {
        const std::size_t nChoice = call.pszPath[0] == '/' ? SIZE_MAX : pick(call, 9);
        if (nChoice == 1) {
            errno = EIO;
            return ssize_t{-1};
        }
        sleep(nChoice == 0 ? 3 : 0);
        const ssize_t nFd = fnGoOn();
        if (nFd >= 0) {
            ChangeFolder(static_cast<int>(nFd), nChoice, strRoot);
        }
        return nFd;
    });
    ops.Before(EFileOp::OpenAt, [=](const SFileCall& call) { sleep(pick(call, 5) == 0 ? 2 : 0); });
    ops.Fail(EFileOp::OpenAt, EIO, [=](const SFileCall& call) { return pick(call, 5) == 1; });
}

void ExpectSameScan(const SScanResult& sequential, const SScanResult& parallel) {
    EXPECT_EQ(parallel.arrRecords, sequential.arrRecords);
    EXPECT_EQ(parallel.arrGroups, sequential.arrGroups);
    EXPECT_EQ(parallel.arrHints, sequential.arrHints);
    EXPECT_EQ(parallel.arrWritten, sequential.arrWritten);
}

} // namespace

TEST(ParallelScan, AnyNumberOfReadersGivesTheSequentialCatalogue) {
    CTempDir dir;
    MakeTree(dir.Path(), 7, 3000);
    const SScanResult sequential = Scan(dir.Str(), 0);
    ASSERT_GT(sequential.arrRecords.size(), 2000u);
    EXPECT_EQ(sequential.arrHints, (std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
    EXPECT_TRUE(sequential.bOneTextAFolder);
    for (const std::size_t nReaders : {1u, 2u, 3u, 8u, 32u}) {
        SCOPED_TRACE("readers: " + std::to_string(nReaders));
        const SScanResult parallel = Scan(dir.Str(), nReaders);
        ExpectSameScan(sequential, parallel);
        EXPECT_TRUE(parallel.bOneTextAFolder);
    }
}

TEST(ParallelScan, FilesChangingDuringTheScanGiveTheSameCatalogueAsSequentially) {
    for (unsigned nSeed = 1; nSeed <= 6; ++nSeed) {
        SCOPED_TRACE("seed: " + std::to_string(nSeed));
        CFakeFileOps racingOps;
        RaceOpens(racingOps, nSeed);
        SScanResult sequential;
        {
            CTempDir dir;
            MakeTree(dir.Path(), nSeed, 600);
            sequential = Scan(dir.Str(), 0, racingOps);
        }
        const std::size_t nReaders = 1 + nSeed % 4 * 3;
        CTempDir dir;
        MakeTree(dir.Path(), nSeed, 600);
        SScanResult parallel = Scan(dir.Str(), nReaders, racingOps);
        // Both scans ran in folders of different names.
        for (SScanResult* pResult : {&sequential, &parallel}) {
            for (std::string& strRecord : pResult->arrRecords) {
                strRecord = strRecord.substr(strRecord.find("tbtest-") + 13);
            }
        }
        EXPECT_EQ(parallel.arrRecords, sequential.arrRecords);
        EXPECT_EQ(parallel.arrGroups, sequential.arrGroups);
        EXPECT_EQ(parallel.arrHints, sequential.arrHints);
        // The changes did happen: files went missing, became folders or lost their tags.
        const std::size_t nUnread =
            std::count_if(parallel.arrRecords.begin(), parallel.arrRecords.end(),
                          [](const std::string& str) { return str.find("|0|") != str.npos; });
        EXPECT_GT(nUnread, parallel.arrRecords.size() / 3);
    }
}

namespace {

// Without the tree's own name in the records, so that scans of copies in other folders compare.
SScanResult WithoutRoot(SScanResult result) {
    for (std::string& strRecord : result.arrRecords) {
        strRecord = strRecord.substr(strRecord.find("tbtest-") + 13);
    }
    return result;
}

} // namespace

TEST(ParallelScan, SlowChangingShareGivesTheSequentialCatalogueWhateverIsListedAhead) {
    std::size_t nAdded = 0;
    for (unsigned nSeed = 1; nSeed <= 3; ++nSeed) {
        SCOPED_TRACE("seed: " + std::to_string(nSeed));
        SScanResult sequential;
        {
            CTempDir dir;
            MakeTree(dir.Path(), nSeed, 500);
            CFakeFileOps ops;
            ActAsChangingShare(ops, nSeed, dir.Str());
            sequential = WithoutRoot(Scan(dir.Str(), 0, ops));
        }
        ASSERT_GT(sequential.arrRecords.size(), 100u);
        for (const std::size_t nReaders : {1u, 4u, 64u}) {
            SCOPED_TRACE("readers: " + std::to_string(nReaders));
            CTempDir dir;
            MakeTree(dir.Path(), nSeed, 500);
            CFakeFileOps ops;
            ActAsChangingShare(ops, nSeed, dir.Str());
            const SScanResult parallel = WithoutRoot(Scan(dir.Str(), nReaders, ops));
            EXPECT_EQ(parallel.arrRecords, sequential.arrRecords);
            EXPECT_EQ(parallel.arrGroups, sequential.arrGroups);
            EXPECT_EQ(parallel.arrHints, sequential.arrHints);
        }
        // The changes did happen: files were added to folders.
        nAdded +=
            std::count_if(sequential.arrRecords.begin(), sequential.arrRecords.end(),
                          [](const std::string& str) { return str.find("added.mp3") != str.npos; });
    }
    EXPECT_GE(nAdded, 4u);
}

// Reads that wait (here on the seam, as on a server) grow the pool; reads from memory leave it
// as it started, even reads that take processor time while the readers idle between them.
TEST(ParallelScan, ReaderPoolGrowsOnlyWhileReadsWait) {
    CTempDir dir;
    constexpr int FILES = 400;
    for (int i = 0; i < FILES; ++i) {
        WriteBytes(dir.Path() / ("t" + std::to_string(i) + ".mp3"), Audio(200) + MakeTag("T", "A"));
    }
    CFileOps fastOps;
    CFakeFileOps slowOps; // as on a slow disk
    slowOps.SetDelay(EFileOp::OpenAt, 2);
    CFakeFileOps busyOps; // work from memory above the gauge's threshold
    busyOps.Before(EFileOp::OpenAt, [](const SFileCall&) {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::microseconds(400);
        while (std::chrono::steady_clock::now() < tEnd) {
        }
    });
    const struct {
        const char* pszName;
        CFileOps* pOps;
        int nPauseMs; // the caller takes each read and pauses before the next: readers idle
        bool bGrows;
    } aCases[] = {{"reads from memory", &fastOps, 0, false},
                  {"slow reads", &slowOps, 0, true},
                  {"busy reads, idle readers", &busyOps, 2, false}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszName);
        CTagReaderPool pool(64, 4096, *c.pOps);
        const CFileDescriptor folder(::open(dir.Str().c_str(), O_RDONLY | O_DIRECTORY));
        auto pFolder = std::make_shared<const CFileDescriptor>(::dup(folder.Get()));
        const CSharedText location(dir.Str());
        std::vector<STagRead> arrDone;
        const int nFiles = c.nPauseMs > 0 ? FILES / 8 : FILES;
        for (int i = 0; i < nFiles; ++i) {
            pool.Submit({location, pFolder, "t" + std::to_string(i) + ".mp3", true, true, {}});
            if (c.nPauseMs > 0) {
                while (arrDone.size() <= static_cast<std::size_t>(i)) {
                    pool.TakeFinished(arrDone, std::chrono::milliseconds(100));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(c.nPauseMs));
            }
        }
        while (arrDone.size() < static_cast<std::size_t>(nFiles)) {
            pool.TakeFinished(arrDone, std::chrono::milliseconds(100), nFiles);
        }
        for (int i = 0; i < nFiles; ++i) {
            ASSERT_EQ(arrDone[i].strName, "t" + std::to_string(i) + ".mp3");
            EXPECT_TRUE(arrDone[i].block.HasTag());
        }
        if (c.bGrows) {
            EXPECT_GE(pool.GetMostReaders(), 16u);
        } else {
            EXPECT_LE(pool.GetMostReaders(), 4u);
        }
    }
}

// Some file servers answer the lookups of one folder one at a time: a grown pool spreads its
// readers over the folders waiting rather than queueing them all behind the first, and still puts
// every reader on a folder that is alone.
TEST(ParallelScan, GrownReaderPoolTakesFromEachWaitingFolderInTurn) {
    const struct {
        const char* pszName;
        int nFolders;
        int nFiles;          // each folder's
        bool bFolderAtATime; // the server answers a folder's lookups one at a time
        std::size_t nLeastFolders;
        int nLeastReads;
    } aCases[] = {{"folders looked up one file at a time", 8, 100, true, 6, 6},
                  {"one folder looked up many files at once", 1, 400, false, 1, 16}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszName);
        CTempDir dir;
        std::vector<std::shared_ptr<const CFileDescriptor>> arrFolders;
        std::map<int, std::mutex> mapTurns; // by folder descriptor
        for (int nFolder = 0; nFolder < c.nFolders; ++nFolder) {
            const auto folder = dir.Path() / std::to_string(nFolder);
            for (int i = 0; i < c.nFiles; ++i) {
                WriteBytes(folder / (std::to_string(i) + ".mp3"), Audio(200) + MakeTag("T", "A"));
            }
            arrFolders.push_back(std::make_shared<const CFileDescriptor>(
                ::open(folder.c_str(), O_RDONLY | O_DIRECTORY)));
            mapTurns[arrFolders.back()->Get()];
        }
        std::mutex inFlightMutex;
        std::map<int, int> mapInFlight; // reads begun and not ended, by folder descriptor
        std::size_t nMostFolders = 0;
        int nReads = 0;
        int nMostReads = 0;
        CFakeFileOps ops;
        ops.Around(EFileOp::OpenAt, [&](SFileCall& call, const CFakeFileOps::FnGoOn& fnGoOn) {
            const auto count = [&](int nStep) {
                const std::lock_guard<std::mutex> lock(inFlightMutex);
                nReads += nStep;
                if ((mapInFlight[call.nFd] += nStep) == 0) {
                    mapInFlight.erase(call.nFd);
                }
                nMostFolders = std::max(nMostFolders, mapInFlight.size());
                nMostReads = std::max(nMostReads, nReads);
            };
            count(1);
            std::unique_lock<std::mutex> turn(mapTurns.at(call.nFd), std::defer_lock);
            if (c.bFolderAtATime) {
                turn.lock();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const ssize_t nResult = fnGoOn();
            count(-1);
            return nResult;
        });
        CTagReaderPool pool(64, 4096, ops);
        std::vector<std::string> arrSubmitted;
        for (const auto& pFolder : arrFolders) {
            for (int i = 0; i < c.nFiles; ++i) {
                arrSubmitted.push_back(std::to_string(pFolder->Get()) + "/" + std::to_string(i));
                pool.Submit({CSharedText(""), pFolder, std::to_string(i) + ".mp3", true, true, {}});
            }
        }
        std::vector<STagRead> arrDone;
        while (arrDone.size() < arrSubmitted.size()) {
            pool.TakeFinished(arrDone, std::chrono::milliseconds(100), arrSubmitted.size());
        }
        std::vector<std::string> arrHanded;
        for (const STagRead& read : arrDone) {
            arrHanded.push_back(std::to_string(read.pFolder->Get()) + "/" +
                                read.strName.substr(0, read.strName.find('.')));
            EXPECT_TRUE(read.block.HasTag());
        }
        EXPECT_EQ(arrHanded, arrSubmitted);
        EXPECT_GE(nMostFolders, c.nLeastFolders);
        EXPECT_GE(nMostReads, c.nLeastReads);
    }
}

// The files a walk hands over, as paths, in order, whether a tag was read in each, and its
// progress reports.
class CPathSink final : public CFolderWalk::CSink {
public:
    void OnFile(STagRead&& read) override {
        std::this_thread::sleep_for(m_tFilingTime);
        m_arrPaths.push_back(read.location.Get() + "/" + read.strName);
        m_arrTagged.push_back(read.block.HasTag());
    }
    bool OnProgress() override { return m_host.OnScanProgress(m_arrPaths.size()); }

    std::chrono::milliseconds m_tFilingTime{0}; // of each file
    CFakeCatalogueHost m_host;
    std::vector<std::string> m_arrPaths;
    std::vector<bool> m_arrTagged;
};

// Asks for the stop at the first file, then files it slowly, as a busy window would.
class CStoppingSink final : public CFolderWalk::CSink {
public:
    explicit CStoppingSink(std::atomic<bool>& bStop) : m_bStop(bStop) {}
    void OnFile(STagRead&&) override {
        if (!m_bStop.exchange(true)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    }
    bool OnProgress() override { return !m_bStop; }
    const std::atomic<bool>* GetStopRequest() const override { return &m_bStop; }

private:
    std::atomic<bool>& m_bStop;
};

// Folders that answer at once need no more than the one lister; folders that keep it waiting
// bring more in. Either way the files come in the sequential order.
TEST(ParallelScan, ListersStartOnlyWhileListingsWaitAndKeepTheWalkOrder) {
    CTempDir dir;
    MakeTree(dir.Path(), 5, 600);
    CFileOps fastOps;
    CFakeFileOps slowOps; // as on a file server
    slowOps.SetDelay(EFileOp::OpenFolderAt, 15);
    CPathSink sequential;
    CFolderWalk(sequential, "*.mp3", 0, fastOps).Walk(dir.Str(), dir.Str().c_str());
    ASSERT_GT(sequential.m_arrPaths.size(), 300u);
    const struct {
        CFileOps* pOps;
        bool bListersStart;
    } aCases[] = {{&fastOps, false}, {&slowOps, true}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.bListersStart ? "slow folders" : "quick folders");
        CPathSink sink;
        CFolderWalk walk(sink, "*.mp3", 8, *c.pOps);
        walk.Walk(dir.Str(), dir.Str().c_str());
        EXPECT_EQ(sink.m_arrPaths, sequential.m_arrPaths);
        if (c.bListersStart) {
            EXPECT_GE(walk.GetMostListers(), 2u);
        } else {
            // A busy machine may block a quick listing now and then, never for long.
            EXPECT_LE(walk.GetMostListers(), 1u);
        }
    }
}

// A process at its limit of threads: the walk asks for readers and listers, gets some or none,
// and does the rest itself. It ends, and with the sequential walk's files in its order.
TEST(ParallelScan, ThreadsThatCannotStartLeaveTheirWorkToTheOthers) {
    CTempDir dir;
    MakeTree(dir.Path(), 9, 500);
    CFileOps fastOps;
    CPathSink sequential;
    CFolderWalk(sequential, "*.mp3", 0, fastOps).Walk(dir.Str(), dir.Str().c_str());
    ASSERT_GT(sequential.m_arrPaths.size(), 300u);
    CFakeFileOps slowFiles;
    slowFiles.SetDelay(EFileOp::OpenAt, 2);
    CFakeFileOps slowFolders;
    slowFolders.SetDelay(EFileOp::OpenFolderAt, 15);
    const struct {
        std::size_t nAllowed;
        CFileOps* pOps;
    } aCases[] = {{0, &fastOps},     {0, &slowFolders}, {1, &slowFiles},
                  {1, &slowFolders}, {3, &slowFiles},   {3, &slowFolders}};
    for (const auto& c : aCases) {
        SCOPED_TRACE("threads allowed: " + std::to_string(c.nAllowed) +
                     (c.pOps == &slowFiles     ? ", slow files"
                      : c.pOps == &slowFolders ? ", slow folders"
                                               : ""));
        CThreadQuota quota(c.nAllowed);
        CPathSink sink;
        CFolderWalk walk(sink, "*.mp3", 8, *c.pOps, quota);
        walk.Walk(dir.Str(), dir.Str().c_str());
        EXPECT_EQ(sink.m_arrPaths, sequential.m_arrPaths);
        EXPECT_EQ(sink.m_arrTagged, sequential.m_arrTagged);
        EXPECT_GT(quota.Refused(), 0u);
        EXPECT_EQ(quota.Started(), walk.GetMostReaders() + walk.GetMostListers());
        EXPECT_LE(quota.Started(), c.nAllowed);
    }
}

TEST(ParallelScan, FilingManyFinishedReadsStillReportsProgress) {
    CTempDir dir;
    MakeTree(dir.Path(), 5, 400);
    CFileOps ops;
    CPathSink sequential;
    CFolderWalk(sequential, "*.mp3", 0, ops).Walk(dir.Str(), dir.Str().c_str());
    // Files that take long to file, as when thousands finished reading at once on a busy machine.
    CPathSink sink;
    sink.m_tFilingTime = std::chrono::milliseconds(2);
    const auto tStart = std::chrono::steady_clock::now();
    CFolderWalk(sink, "*.mp3", 4, ops).Walk(dir.Str(), dir.Str().c_str());
    const auto tGap = sink.m_host.LongestProgressGap(tStart, std::chrono::steady_clock::now());
    EXPECT_EQ(sink.m_arrPaths, sequential.m_arrPaths);
    // Over 250 files at 2 ms each: filed in one go they would leave half a second without.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(tGap).count(),
              300 * PACE_SCALE);
}

TEST(ParallelScan, StoppedScanKeepsTheFilesReadSoFarInOrderAndIndexed) {
    CTempDir dir;
    MakeTree(dir.Path(), 11, 800);
    const SScanResult whole = Scan(dir.Str(), 4);
    CFakeFileOps slowFiles;
    slowFiles.SetDelay(EFileOp::OpenAt, 2);
    CFakeFileOps slowFolders;
    slowFolders.SetDelay(EFileOp::OpenFolderAt, 15);
    const struct {
        std::size_t nReaders;
        CFileOps* pOps;
    } aCases[] = {{0, &slowFiles}, {4, &slowFiles}, {0, &slowFolders}, {4, &slowFolders}};
    for (const auto& c : aCases) {
        const std::size_t nReaders = c.nReaders;
        SCOPED_TRACE("readers: " + std::to_string(nReaders) +
                     (c.pOps == &slowFiles ? ", slow files" : ", slow folders"));
        CFakeCatalogueHost host;
        host.m_nStopAtCall = 2;
        const SScanResult stopped = Scan(dir.Str(), nReaders, host, *c.pOps);

        EXPECT_TRUE(stopped.bStopped);
        EXPECT_FALSE(whole.bStopped);
        // Reads already begun are still filed, and reported, after the request.
        EXPECT_GE(host.m_arrProgress.size(), 2u);
        ASSERT_GE(stopped.arrRecords.size(), host.m_arrProgress.back());
        ASSERT_LT(stopped.arrRecords.size(), whole.arrRecords.size());
        EXPECT_TRUE(std::equal(stopped.arrRecords.begin(), stopped.arrRecords.end(),
                               whole.arrRecords.begin()));
        EXPECT_EQ(stopped.arrHints, (std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
        EXPECT_EQ(stopped.arrWritten, std::vector<std::string>{dir.Str()});
        // Every record kept is in exactly one artist group and one genre group.
        std::size_t nGrouped = 0;
        for (const std::string& strGroup : stopped.arrGroups) {
            if (strGroup[0] != ' ') {
                nGrouped += std::count(strGroup.begin() + strGroup.find(':'), strGroup.end(), ' ');
            }
        }
        EXPECT_EQ(nGrouped, 2 * stopped.arrRecords.size());
    }
}

// A walk held up by its filing (the window busy, a share stalled under the walk) is stopped
// meanwhile: the readers and listers look at the request and begin nothing more, instead of
// going on through every file and folder queued ahead.
TEST(ParallelScan, AStopRequestEndsTheReadsAndListingsAheadOfTheWalk) {
    CTempDir dir;
    MakeTree(dir.Path(), 5, 3000);
    const struct {
        const char* pszWhat;
        EFileOp eOp;
        int nDelayMs;
        int nMost; // 4 readers taking up to 16 reads each; up to 16 listers, a folder each
    } aCases[] = {{"reads", EFileOp::OpenAt, 1, 64}, {"listings", EFileOp::OpenFolderAt, 3, 16}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        std::atomic<bool> bStop{false};
        std::atomic<int> nBegunAfterStop{0};
        CFakeFileOps ops;
        ops.SetDelay(c.eOp, c.nDelayMs);
        ops.Before(c.eOp, [&](const SFileCall&) { nBegunAfterStop += bStop ? 1 : 0; });
        CStoppingSink sink(bStop);
        CFolderWalk walk(sink, "*.mp3", 4, ops);
        walk.Walk(dir.Str(), dir.Str().c_str());
        EXPECT_TRUE(walk.WasStopped());
        // At most what each reader or lister had taken when the request came.
        EXPECT_LE(nBegunAfterStop, c.nMost);
    }
}

// The window repaints at each report: slow reads, or a listing that takes long, must not hold
// the walk between reports. Without readers the walk does all the work itself and reads are
// all it can interleave.
TEST(ParallelScan, SlowReadsAndListingsStillLetTheWalkReportProgress) {
    CTempDir dir;
    MakeTree(dir.Path(), 3, 300);
    CFakeFileOps slowReads;
    slowReads.SetDelay(EFileOp::OpenAt, 2);
    // A folder listing that takes long, as a folder of tens of thousands of files on a slow share.
    CFakeFileOps slowListings;
    slowListings.SetDelay(EFileOp::ListFolder, 200);
    const struct {
        std::size_t nReaders;
        CFileOps* pOps;
    } aCases[] = {{0, &slowReads}, {2, &slowReads}, {2, &slowListings}};
    for (const auto& c : aCases) {
        SCOPED_TRACE("readers: " + std::to_string(c.nReaders) +
                     (c.pOps == &slowReads ? ", slow reads" : ", slow listings"));
        CFakeCatalogueHost host;
        const auto tStart = std::chrono::steady_clock::now();
        const SScanResult result = Scan(dir.Str(), c.nReaders, host, *c.pOps);
        const auto tEnd = std::chrono::steady_clock::now();
        // Reports come every 20 ms or so; a listing holding the walk would leave 400 ms without.
        const auto tGap = host.LongestProgressGap(tStart, tEnd);
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(tGap).count(),
                  300 * PACE_SCALE);
        EXPECT_TRUE(std::is_sorted(host.m_arrProgress.begin(), host.m_arrProgress.end()));
        EXPECT_FALSE(result.bStopped);
    }
}

namespace {

int ThreadNice() {
    errno = 0;
    const int nNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    return errno == 0 ? nNice : -100;
}

} // namespace

// Readers and listers give way to the walk's thread at the lowest priority, however they were
// started, and the rest of the program keeps its own.
TEST(ParallelScan, ScanThreadsRunBelowTheProgramsPriority) {
    constexpr int LOWEST = 19;
    const int nProgram = ThreadNice();
    ASSERT_LT(nProgram, LOWEST) << "the tests run at the lowest priority already";
    CTempDir dir;
    MakeTree(dir.Path(), 5, 200);
    // The priority of every thread but the walk's that lists a folder or opens a file.
    std::mutex mutex;
    std::set<int> setNice;
    CFakeFileOps ops;
    for (const EFileOp eOp : {EFileOp::OpenAt, EFileOp::ListFolder}) {
        ops.Before(eOp, [&, walk = std::this_thread::get_id()](const SFileCall&) {
            if (std::this_thread::get_id() != walk) {
                const std::lock_guard<std::mutex> lock(mutex);
                setNice.insert(ThreadNice());
            }
        });
    }
    CPathSink sink;
    CFolderWalk(sink, "*.mp3", 4, ops).Walk(dir.Str(), dir.Str().c_str());
    EXPECT_EQ(setNice, std::set<int>{LOWEST});

    // A scan's own thread, which makes the records, gives way to the window too; without
    // readers it opens every file itself.
    setNice.clear();
    std::atomic<int> nScanThread{-100};
    {
        SScanRequest request;
        request.strFolder = dir.Str();
        request.strPattern = "*.mp3";
        CScanJob job(std::move(request), ops, [&nScanThread] { nScanThread = ThreadNice(); });
        ASSERT_TRUE(job.Wait(std::chrono::seconds(60)));
    }
    EXPECT_EQ(nScanThread, LOWEST);
    EXPECT_EQ(setNice, std::set<int>{LOWEST});

    // Given no thread, a scan runs on its caller's, the window's, which keeps its priority.
    {
        CThreadQuota noThread(0);
        SScanRequest request;
        request.strFolder = dir.Str();
        request.strPattern = "*.mp3";
        CScanJob job(
            std::move(request), ops, [] {}, noThread);
        ASSERT_TRUE(job.Wait(std::chrono::seconds(60)));
    }
    EXPECT_EQ(ThreadNice(), nProgram);

    // A new thread starts with its creator's nice: a worker started by a worker is low already.
    const struct {
        const char* pszName;
        int nStart;     // the thread's nice before it is lowered
        int nLowerings; // how often it is lowered
        int nExpected;
    } aCases[] = {
        {"lowered once", nProgram, 1, LOWEST},
        {"lowered twice", nProgram, 2, LOWEST},
        {"started by a worker", LOWEST, 1, LOWEST},
        {"started a little low", nProgram + 5, 1, LOWEST},
    };
    for (const auto& c : aCases) {
        int nAfter = -100;
        std::thread([&] {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), c.nStart);
            for (int i = 0; i < c.nLowerings; ++i) {
                LowerThisThreadPriority();
            }
            nAfter = ThreadNice();
        }).join();
        EXPECT_EQ(nAfter, c.nExpected) << c.pszName;
    }
    EXPECT_EQ(ThreadNice(), nProgram);
}
