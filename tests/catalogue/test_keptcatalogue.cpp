// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// A catalogue kept between runs and checked against the disk must end exactly as a fresh scan of
// the same tree, whatever changed in between, having read only what changed; its file must be
// refused whenever it is damaged or was made for other options.
#include "catalogue/hints.h"
#include "catalogue/keptcatalogue.h"
#include "catalogue/keptindex.h"
#include "catalogue/posixio.h"
#include "catalogue/scanjob.h"
#include "catalogue/tagcodec.h"
#include "catalogue/threadstarter.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "tests/support/fakefileops.h"
#include "tests/support/fakes.h"
#include "tests/support/randomtree.h"
#include "tests/support/testfiles.h"
#include "tests/support/treechanges.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Everything a record holds, the times included: a kept record must be the fresh one.
std::string Describe(const CTrackInfo& track) {
    const SFileIdentity id = track.GetIdentity();
    std::string str = track.GetLocation() + "|" + std::string(track.GetTextBlock()) + "|";
    for (const std::string_view strText : {track.GetFileName(), track.GetTitle(), track.GetArtist(),
                                           track.GetAlbum(), track.GetYear()}) {
        str += std::to_string(strText.size()) + ",";
    }
    for (const long long n :
         {static_cast<long long>(id.m_nDevice), static_cast<long long>(id.m_nInode),
          static_cast<long long>(id.m_nFileSize), static_cast<long long>(track.GetGenre()),
          static_cast<long long>(track.GetTrack()),
          static_cast<long long>(track.GetStamp().m_nModified),
          static_cast<long long>(track.GetStamp().m_nChanged)}) {
        str += std::to_string(n) + "|";
    }
    return str + (track.HasTag() ? "tag" : "none") + (track.WasRead() ? "|read" : "|unread");
}

// File operations that give inode numbers as a file server numbering files anew at each mount
// does; opens are counted as ever.
void ShiftInodes(CFakeFileOps& ops, ino_t nShift) {
    for (const EFileOp eOp : {EFileOp::Fstat, EFileOp::FstatAt}) {
        ops.Around(eOp, [nShift](SFileCall& call, const CFakeFileOps::FnGoOn& fnGoOn) {
            const ssize_t nResult = fnGoOn();
            call.pStat->st_ino += nResult == 0 && S_ISREG(call.pStat->st_mode) ? nShift : 0;
            return nResult;
        });
    }
}

struct SScanned {
    std::vector<CTrackInfo> arrRecords;
    std::vector<std::size_t> arrOrder;
    std::vector<std::pair<std::size_t, SFileIdentity>> arrRenumbered;
};

SScanned RunScan(const std::string& strRoot, const std::string& strPattern,
                 std::shared_ptr<const CKeptIndex> pKept, CFileOps& ops) {
    CScanJob job({strRoot, strPattern, CTagCodec(), 4, std::move(pKept)}, ops, [] {});
    SScanned scanned;
    while (!job.Take(scanned.arrRecords, scanned.arrOrder, scanned.arrRenumbered)) {
        (void)job.Wait(std::chrono::milliseconds(20));
    }
    return scanned;
}

std::vector<std::string> DescribeAll(const std::vector<CTrackInfo>& arrRecords) {
    std::vector<std::string> arr;
    for (const CTrackInfo& track : arrRecords) {
        arr.push_back(Describe(track));
    }
    return arr;
}

CTrackList Pointers(std::vector<CTrackInfo>& arrRecords) {
    CTrackList arrTracks;
    for (CTrackInfo& track : arrRecords) {
        arrTracks.push_back(&track);
    }
    return arrTracks;
}

SKeptOptions Options(const std::string& strRoot, const std::string& strPattern = "*.mp3",
                     const std::string& strCodec = "auto") {
    return {strRoot, strPattern, strCodec, "(undefined)"};
}

struct SCheckCase {
    const char* pszName;
    std::function<void(STreeChanges&)> fnChange;
    SKeptOptions (*pfnNewOptions)(const std::string& strRoot);
    bool bTrustOldChanges = true; // the index trusts files changed before it was made
    ino_t nInodeShift = 0;        // the files are numbered anew after the kept scan
};

SKeptOptions SameOptions(const std::string& strRoot) {
    return Options(strRoot);
}

} // namespace

TEST(KeptCatalogue, CheckedAgainstTheDiskItEndsAsAFreshScanHavingReadOnlyWhatChanged) {
    const SCheckCase aCases[] = {
        {"nothing changed", [](STreeChanges&) {}, SameOptions},
        {"tags edited, times kept", [](STreeChanges& t) { t.EditKeepingTimes(40); }, SameOptions},
        {"files deleted", [](STreeChanges& t) { t.Delete(60); }, SameOptions},
        {"files added", [](STreeChanges& t) { t.Add(50); }, SameOptions},
        {"files renamed", [](STreeChanges& t) { t.Rename(40); }, SameOptions},
        {"folders moved", [](STreeChanges& t) { t.MoveFolders(4); }, SameOptions},
        {"everything at once",
         [](STreeChanges& t) {
             t.EditKeepingTimes(20);
             t.Delete(20);
             t.Add(20);
             t.Rename(20);
             t.MoveFolders(2);
         },
         SameOptions},
        {"another pattern", [](STreeChanges&) {},
         [](const std::string& strRoot) { return Options(strRoot, "*.MP3"); }},
        {"another encoding", [](STreeChanges&) {},
         [](const std::string& strRoot) { return Options(strRoot, "*.mp3", "windows-1252"); }},
        {"files changed since the kept reads began", [](STreeChanges& t) { t.Rename(5); },
         SameOptions, false},
        {"files numbered anew", [](STreeChanges&) {}, SameOptions, true, 1000000},
    };
    // One tree for every case, each changing it further: making thousands of files takes longer
    // than scanning them.
    CTempDir dir;
    MakeTree(dir.Path(), 7, 3000);
    unsigned nSeed = 7;
    for (const SCheckCase& c : aCases) {
        SCOPED_TRACE(c.pszName);
        ++nSeed;
        // The coarse clock that stamps change times must move on between the runs' steps.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        CFileOps ops;
        SScanned first = RunScan(dir.Str(), "*.mp3", nullptr, ops);
        const std::string strBytes =
            CKeptCatalogue::Encode(Options(dir.Str()), 1234, Pointers(first.arrRecords));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));

        STreeChanges changes{dir.Path(), std::mt19937(nSeed), {}};
        c.fnChange(changes);
        const SKeptOptions newOptions = c.pfnNewOptions(dir.Str());
        std::vector<CTrackInfo> arrKept;
        std::int64_t nReadSince = 0;
        const bool bSameOptions = newOptions.strPattern == "*.mp3" && newOptions.strCodec == "auto";
        ASSERT_EQ(CKeptCatalogue::Decode(strBytes, newOptions, arrKept, nReadSince), bSameOptions);
        if (bSameOptions) {
            EXPECT_EQ(nReadSince, 1234);
            EXPECT_EQ(DescribeAll(arrKept), DescribeAll(first.arrRecords));
        }

        const CTrackList arrKeptTracks = Pointers(arrKept);
        CFakeFileOps counting;
        ShiftInodes(counting, c.nInodeShift);
        const SScanned checked =
            RunScan(dir.Str(), newOptions.strPattern,
                    std::make_shared<CKeptIndex>(arrKeptTracks, c.bTrustOldChanges ? INT64_MAX : 0),
                    counting);
        CFakeFileOps plain;
        ShiftInodes(plain, c.nInodeShift);
        const SScanned fresh = RunScan(dir.Str(), newOptions.strPattern, nullptr, plain);
        for (const auto& [nKept, identity] : checked.arrRenumbered) {
            arrKept[nKept].SetIdentity(identity);
        }
        EXPECT_EQ(checked.arrRenumbered.empty(), c.nInodeShift == 0);

        std::vector<std::string> arrResult;
        std::set<std::string> setReused;
        std::size_t nRead = 0;
        for (const std::size_t nEntry : checked.arrOrder) {
            if (nEntry == CScanJob::READ_AGAIN) {
                ASSERT_LT(nRead, checked.arrRecords.size());
                arrResult.push_back(Describe(checked.arrRecords[nRead++]));
            } else {
                ASSERT_LT(nEntry, arrKept.size());
                arrResult.push_back(Describe(arrKept[nEntry]));
                setReused.insert(arrKept[nEntry].GetFullPath());
            }
        }
        EXPECT_EQ(nRead, checked.arrRecords.size());
        ASSERT_EQ(arrResult, DescribeAll(fresh.arrRecords));

        // Reused: the kept records that were read, whose path the changes left alone and still
        // holds a file of the catalogue; nothing else.
        std::set<std::string> setExpected;
        std::set<std::string> setFresh;
        for (const CTrackInfo& track : fresh.arrRecords) {
            setFresh.insert(track.GetFullPath());
        }
        for (const CTrackInfo& track : arrKept) {
            const std::string strPath = track.GetFullPath();
            if (c.bTrustOldChanges && track.WasRead() && setFresh.count(strPath) != 0 &&
                changes.setTouched.count(strPath) == 0) {
                setExpected.insert(strPath);
            }
        }
        EXPECT_EQ(setReused, setExpected);
        EXPECT_LE(counting.Calls(EFileOp::OpenAt), checked.arrRecords.size());
        if (std::string(c.pszName) == "nothing changed") {
            EXPECT_GT(setReused.size(), 1000u);
        }
    }
}

TEST(KeptCatalogue, FileDamagedForeignOrForOtherOptionsIsRefused) {
    CTempDir dir;
    WriteBytes(dir.Path() / "a" / "one.mp3", Audio(300) + MakeTag("One", "Artist", "Album"));
    WriteBytes(dir.Path() / "a" / "two.mp3", Audio(10));
    WriteBytes(dir.Path() / "b" / "three.mp3", Audio(400) + MakeTag("Three", "Other"));
    CFileOps ops;
    SScanned scanned = RunScan(dir.Str(), "*.mp3", nullptr, ops);
    ASSERT_EQ(scanned.arrRecords.size(), 3u);
    const SKeptOptions options = Options(dir.Str());
    // Two parts, [one, two] and [three], each checked on its own.
    const std::string strGood =
        CKeptCatalogue::Encode(options, 5, Pointers(scanned.arrRecords), nullptr, 2);
    // The first part begins with its new-location mark and its location's length, after the
    // table of the parts' sizes and checksums.
    const std::size_t nTable = strGood.find(dir.Str() + "/a") - 2 - 2 * 8;

    const auto Flipped = [&](std::size_t nAt) {
        std::string str = strGood;
        str[nAt] = static_cast<char>(str[nAt] ^ 0x20);
        return str;
    };
    const auto WithVersion = [&](std::uint32_t nVersion) {
        std::string str = strGood;
        str[8] = static_cast<char>(nVersion);
        return str;
    };
    struct SCase {
        const char* pszName;
        std::string strBytes;
        SKeptOptions options;
        bool bAccepted;
    };
    SKeptOptions otherFolder = options;
    otherFolder.strFolder += "x";
    SKeptOptions otherLanguage = options;
    otherLanguage.strUndefined = "(indéfini)";
    const SCase aCases[] = {
        {"as written", strGood, options, true},
        {"empty", "", options, false},
        {"cut short", strGood.substr(0, strGood.size() - 3), options, false},
        {"header only", strGood.substr(0, 16), options, false},
        {"a byte changed in a record of the last part", Flipped(strGood.size() - 5), options,
         false},
        {"a byte changed in a record of the first part", Flipped(strGood.find("one.mp3")), options,
         false},
        {"a part's size changed", Flipped(nTable), options, false},
        {"a part's checksum changed", Flipped(nTable + 4), options, false},
        {"a byte changed in the checksum", Flipped(13), options, false},
        {"foreign magic", Flipped(0), options, false},
        {"another version", WithVersion(CKeptCatalogue::VERSION + 1), options, false},
        {"bytes added", strGood + "x", options, false},
        {"another folder of the same hash", strGood, otherFolder, false},
        {"another language", strGood, otherLanguage, false},
    };
    for (const SCase& c : aCases) {
        SCOPED_TRACE(c.pszName);
        std::vector<CTrackInfo> arrRecords;
        std::int64_t nReadSince = 0;
        EXPECT_EQ(CKeptCatalogue::Decode(c.strBytes, c.options, arrRecords, nReadSince),
                  c.bAccepted);
        EXPECT_EQ(arrRecords.size(), c.bAccepted ? 3u : 0u);
        // Decoded side by side, each part by a thread of its own.
        WriteBytes(dir.Path() / "kept", c.strBytes);
        SKeptLoad load;
        EXPECT_EQ(CKeptCatalogue::Load(dir.Str() + "/kept", c.options, load, 2,
                                       CThreadStarter::Default()),
                  c.bAccepted);
        EXPECT_EQ(load.arrStores.size(), c.bAccepted ? 2u : 0u);
    }
}

namespace {

// Records of nFolders folders of nPerFolder files each, every field differing from record to
// record; folders and names in the order a scan gives them.
std::vector<CTrackInfo> MadeRecords(std::size_t nFolders, std::size_t nPerFolder) {
    std::vector<CTrackInfo> arrRecords;
    for (std::size_t nFolder = 0; nFolder < nFolders; ++nFolder) {
        const CSharedText location("/m/f" + std::to_string(nFolder));
        for (std::size_t nFile = 0; nFile < nPerFolder; ++nFile) {
            const std::size_t n = nFolder * nPerFolder + nFile;
            const std::string strName = "n" + std::to_string(nFile) + ".mp3";
            const std::string strArtist = "artist " + std::to_string(n % 7);
            const std::string strYear = std::to_string(1990 + n % 30);
            SKnownFile file;
            // Devices as Linux numbers them, the highest taking all four bytes a record keeps.
            const std::uint32_t aDevices[] = {1, 0xFFF103FF, 0xFFFFFFFF};
            file.m_identity = {aDevices[n % 3], static_cast<ino_t>(1000 + n),
                               static_cast<std::int64_t>(128 + n * 3)};
            file.m_stamp = {static_cast<std::int64_t>(n * 1000), static_cast<std::int64_t>(n)};
            arrRecords.emplace_back(
                location,
                std::array<std::string_view, 6>{strName, "title", strArtist, "", strYear, "c"},
                file, static_cast<unsigned char>(n % 150), static_cast<unsigned char>(n % 20),
                n % 3 != 0, n % 5 != 0);
        }
    }
    return arrRecords;
}

} // namespace

TEST(KeptCatalogue, DecodedSideBySideItGivesTheRecordsOfOneDecodeInOrder) {
    struct SCase {
        const char* pszName;
        std::size_t nFolders;
        std::size_t nPerFolder;
        std::size_t nPartRecords;
        std::size_t nThreads;
        std::size_t nThreadsAllowed; // beyond these, no thread can be started
        std::size_t nStores;         // that the records are decoded into
    };
    const SCase aCases[] = {
        {"no record", 0, 0, 4, 4, 8, 1},
        {"one record", 1, 1, 4, 4, 8, 1},
        {"one part", 3, 5, 16, 4, 8, 1},
        {"parts splitting folders, one thread", 9, 5, 7, 1, 8, 1},
        {"parts splitting folders, three threads", 9, 5, 7, 3, 8, 3},
        {"more threads than parts", 4, 5, 7, 10, 16, 3},
        {"a record per part", 5, 4, 1, 6, 8, 6},
        {"no thread to be had", 9, 5, 7, 3, 0, 3},
    };
    CTempDir dir;
    const SKeptOptions options = Options("/m");
    for (const SCase& c : aCases) {
        SCOPED_TRACE(c.pszName);
        std::vector<CTrackInfo> arrRecords = MadeRecords(c.nFolders, c.nPerFolder);
        const std::string strBytes =
            CKeptCatalogue::Encode(options, 77, Pointers(arrRecords), nullptr, c.nPartRecords);
        std::vector<CTrackInfo> arrDecoded;
        std::int64_t nReadSince = 0;
        ASSERT_TRUE(CKeptCatalogue::Decode(strBytes, options, arrDecoded, nReadSince));
        EXPECT_EQ(DescribeAll(arrDecoded), DescribeAll(arrRecords));

        WriteBytes(dir.Path() / "kept", strBytes);
        CThreadQuota quota(c.nThreadsAllowed);
        SKeptLoad load;
        ASSERT_TRUE(CKeptCatalogue::Load(dir.Str() + "/kept", options, load, c.nThreads, quota));
        EXPECT_EQ(load.nReadSince, 77);
        EXPECT_EQ(load.arrStores.size(), c.nStores);
        std::vector<std::string> arrLoaded;
        for (const std::deque<CTrackInfo>& store : load.arrStores) {
            for (const CTrackInfo& track : store) {
                arrLoaded.push_back(Describe(track));
            }
        }
        EXPECT_EQ(arrLoaded, DescribeAll(arrRecords));
    }
}

TEST(KeptCatalogue, IndexMadeAsideFromTheFileFindsWhatTheIndexOfItsRecordsFinds) {
    struct SCase {
        const char* pszName;
        std::int64_t nTrustedBefore;
        std::size_t nThreadsAllowed;
    };
    const SCase aCases[] = {
        {"every change trusted", INT64_MAX, 8},
        {"recent changes read again", 20, 8},
        {"no thread to be had", 20, 0},
    };
    CTempDir dir;
    const SKeptOptions options = Options("/m");
    std::vector<CTrackInfo> arrRecords = MadeRecords(6, 5);
    const CTrackList arrTracks = Pointers(arrRecords);
    WriteBytes(dir.Path() / "kept", CKeptCatalogue::Encode(options, 77, arrTracks, nullptr, 4));
    // Every file kept, a name and a folder that are not, a name of another folder.
    std::vector<std::pair<std::string, std::string>> arrLooks;
    for (const CTrackInfo& track : arrRecords) {
        arrLooks.emplace_back(track.GetLocation(), std::string(track.GetFileName()));
    }
    arrLooks.emplace_back("/m/f1", "n9.mp3");
    arrLooks.emplace_back("/m/f9", "n1.mp3");
    arrLooks.emplace_back("/m", "n1.mp3");
    for (const SCase& c : aCases) {
        SCOPED_TRACE(c.pszName);
        SKeptLoad load;
        ASSERT_TRUE(
            CKeptCatalogue::Load(dir.Str() + "/kept", options, load, 2, CThreadStarter::Default()));
        CThreadQuota quota(c.nThreadsAllowed);
        const std::shared_ptr<const CKeptIndex> pAside =
            CKeptCatalogue::IndexAside(load, c.nTrustedBefore, quota);
        load = SKeptLoad(); // the index keeps what it reads
        const CKeptIndex ofRecords(arrTracks, c.nTrustedBefore);
        std::size_t nFound = 0;
        for (const auto& [strLocation, strName] : arrLooks) {
            SCOPED_TRACE(strLocation + "/" + strName);
            const SKnownFile* pExpected = ofRecords.Find(strLocation, strName);
            const SKnownFile* pFound = pAside->Find(strLocation, strName);
            ASSERT_EQ(pFound != nullptr, pExpected != nullptr);
            if (pFound != nullptr) {
                EXPECT_EQ(pAside->IndexOf(pFound), ofRecords.IndexOf(pExpected));
                EXPECT_EQ(pFound->m_identity, pExpected->m_identity);
                EXPECT_EQ(pFound->m_stamp, pExpected->m_stamp);
                ++nFound;
            }
        }
        EXPECT_EQ(pAside->GetCount(), arrRecords.size());
        // The records never read, and with the recent ones those changed since, are looked at
        // again.
        EXPECT_EQ(nFound, c.nTrustedBefore == INT64_MAX ? 24u : 16u);
    }
}

TEST(KeptCatalogue, StoreReplacesTheFileWholeOrLeavesTheOldOneAndNothingElse) {
    CTempDir dir;
    const std::string strCache = dir.Str() + "/cache/tunebrowse";
    const std::string strName = CKeptCatalogue::FileName("/music");
    CFileOps ops;
    ASSERT_TRUE(CKeptCatalogue::Store(ops, strCache, strName, "old"));
    EXPECT_EQ(fs::status(strCache).permissions() & fs::perms::all, fs::perms::owner_all);
    // Writes through the seam fail at one step, or at none. The content is put in pieces, the
    // head last, as the encoder puts it.
    const auto fnFill = [](const CKeptCatalogue::FnPut& fnPut) {
        return fnPut("w", 2) && fnPut("ne", 0);
    };
    const struct {
        const char* pszStep;
        EFileOp eOp;
        std::size_t nCall;
    } aSteps[] = {{"none", EFileOp::Count, 0},         {"create", EFileOp::CreateAt, 1},
                  {"first piece", EFileOp::Pwrite, 1}, {"head", EFileOp::Pwrite, 2},
                  {"flush", EFileOp::Fsync, 1},        {"rename", EFileOp::Rename, 1}};
    for (const auto& step : aSteps) {
        SCOPED_TRACE(step.pszStep);
        CFakeFileOps failing;
        if (step.nCall > 0) {
            failing.Fail(step.eOp, ENOSPC,
                         [&step](const SFileCall& call) { return call.nCall == step.nCall; });
        }
        const bool bStored = CKeptCatalogue::Store(failing, strCache, strName, fnFill);
        EXPECT_EQ(bStored, step.nCall == 0);
        EXPECT_EQ(CKeptCatalogue::ReadFile(strCache + "/" + strName), bStored ? "new" : "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(strCache), fs::directory_iterator()), 1);
        ASSERT_TRUE(CKeptCatalogue::Store(ops, strCache, strName, "old"));
    }
    WriteBytes(fs::path(strCache) / "notes.txt", "the user's");
    WriteBytes(fs::path(strCache) / (strName.substr(0, 16) + ".catalogue.tmp-123"), "left over");
    ASSERT_TRUE(CKeptCatalogue::Store(ops, strCache, CKeptCatalogue::FileName("/other"), "x"));
    CKeptCatalogue::RemoveAll(strCache);
    std::set<std::string> setLeft;
    for (const auto& entry : fs::directory_iterator(strCache)) {
        setLeft.insert(entry.path().filename().string());
    }
    EXPECT_EQ(setLeft, std::set<std::string>{"notes.txt"});
}

TEST(KeptCatalogue, LivesInTheUsersCacheFolderUnderANameOfItsOwnPerFolder) {
    EXPECT_EQ(CKeptCatalogue::FolderFor("/c", "/h"), "/c/tunebrowse");
    EXPECT_EQ(CKeptCatalogue::FolderFor(nullptr, "/h"), "/h/.cache/tunebrowse");
    EXPECT_EQ(CKeptCatalogue::FolderFor("relative", "/h"), "/h/.cache/tunebrowse");
    EXPECT_EQ(CKeptCatalogue::FolderFor("", nullptr), "");
    std::set<std::string> setNames;
    for (const char* pszFolder : {"", "/", "/music", "/music/", "/Music", "/a/very/long/path"}) {
        const std::string strName = CKeptCatalogue::FileName(pszFolder);
        EXPECT_TRUE(CKeptCatalogue::IsKeptFileName(strName)) << strName;
        setNames.insert(strName);
    }
    EXPECT_EQ(setNames.size(), 6u);
    EXPECT_FALSE(CKeptCatalogue::IsKeptFileName("0123456789abcdef.txt"));
    EXPECT_FALSE(CKeptCatalogue::IsKeptFileName("settings.conf"));
}

namespace {

struct SDocCase {
    const char* pszName;
    std::function<void(STreeChanges&)> fnChange;
    std::vector<EHint> arrHints; // what the views are told once the check has read every file
    bool bRecordsStay;           // the records not read again keep their addresses
};

std::vector<std::string> DescribeAll(const CTrackList& arrTracks) {
    std::vector<std::string> arr;
    for (const CTrackInfo* pTrack : arrTracks) {
        arr.push_back(Describe(*pTrack));
    }
    return arr;
}

} // namespace

TEST(KeptCatalogue, TheDocumentShowsItAtOnceAndChangesNoMoreThanTheCheckFound) {
    const SDocCase aCases[] = {
        {"nothing changed", [](STreeChanges&) {}, {}, true},
        {"tags edited, times kept",
         [](STreeChanges& t) { t.EditKeepingTimes(3); },
         {HINT_TRACKS_CHANGING, HINT_TRACKS_CHANGED, HINT_REBUILD_BEGIN, HINT_REBUILD_END},
         true},
        {"files added and deleted",
         [](STreeChanges& t) {
             t.Add(3);
             t.Delete(3);
         },
         {HINT_REBUILD_BEGIN, HINT_REBUILD_END},
         false},
    };
    CTempDir dir;
    CTempDir cache;
    MakeTree(dir.Path(), 3, 400);
    // Files changed shortly before a scan began are read again by the check whatever their
    // times say: these are old enough to be trusted.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    unsigned nSeed = 3;
    for (const SDocCase& c : aCases) {
        SCOPED_TRACE(c.pszName);
        CFakeCatalogueHost host;
        CTunebrDoc kept(host, SystemFileOps());
        kept.SetKeptFolder(cache.Str());
        kept.ScanFolder(dir.Str());
        kept.WaitForKeptWrite();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        STreeChanges changes{dir.Path(), std::mt19937(++nSeed), {}};
        c.fnChange(changes);

        CTunebrDoc doc(host, SystemFileOps());
        doc.SetKeptFolder(cache.Str());
        CHintLog view;
        doc.AddView(&view);
        doc.BeginScan(
            dir.Str(), [] {}, true);
        ASSERT_TRUE(doc.IsChecking());
        EXPECT_EQ(DescribeAll(*doc.GetTracks()), DescribeAll(*kept.GetTracks()));
        const CTrackList arrShown = *doc.GetTracks();
        const std::size_t nRebuilds = doc.GetRebuildCount();
        view.m_arrHints.clear();
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!doc.FileScanned() && std::chrono::steady_clock::now() < tEnd) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_FALSE(doc.IsScanning());
        EXPECT_EQ(view.m_arrHints, c.arrHints);
        EXPECT_EQ(doc.GetRebuildCount() == nRebuilds, c.bRecordsStay);
        if (c.bRecordsStay) {
            EXPECT_EQ(*doc.GetTracks(), arrShown);
        }
        CTunebrDoc fresh(host, SystemFileOps());
        fresh.ScanFolder(dir.Str());
        EXPECT_EQ(DescribeAll(*doc.GetTracks()), DescribeAll(*fresh.GetTracks()));
        doc.RemoveView(&view);
    }
}
