// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Scans with tag readers on other threads must give exactly what a scan reading every file itself
// gives: the same records in the same order, the same groups, the same hints; and a stopped scan
// must leave a whole, smaller catalogue.
#include "catalogue/cataloguehost.h"
#include "catalogue/docview.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>

namespace {

class CHost final : public CCatalogueHost {
public:
    std::string GetFileExt() const override { return "*.mp3"; }
    void WriteFilePath(const std::string& strFolder) override { m_arrWritten.push_back(strFolder); }
    bool OnScanProgress(std::size_t nFiles) override {
        m_arrProgress.push_back(nFiles);
        return m_arrProgress.size() < m_nStopAtCall;
    }

    std::size_t m_nStopAtCall = SIZE_MAX;
    std::vector<std::size_t> m_arrProgress;
    std::vector<std::string> m_arrWritten;
};

class CView final : public CDocView {
public:
    void OnUpdate(CDocView*, int nHint, CTrackList*) override { m_arrHints.push_back(nHint); }
    std::vector<int> m_arrHints;
};

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
    std::vector<int> arrHints;
    std::vector<std::string> arrWritten;
    bool bStopped = false;
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

SScanResult Scan(const std::string& strRoot, std::size_t nReaders, CHost& host) {
    CView view;
    CTunebrDoc doc(host);
    doc.AddView(&view);
    doc.SetReaderCount(nReaders);
    doc.ScanFolder(strRoot);
    SScanResult result;
    const CTrackList& arrAll = *doc.GetTracks();
    for (const CTrackInfo* pTrack : arrAll) {
        result.arrRecords.push_back(Describe(*pTrack));
    }
    for (const auto& pArtist : doc.GetArtists()) {
        result.arrGroups.push_back(GroupText(pArtist->GetName(), pArtist->m_arrTracks, arrAll));
    }
    for (const auto& pGenre : doc.GetGenres()) {
        result.arrGroups.push_back(GroupText(pGenre->GetName(), pGenre->m_arrTracks, arrAll));
        for (const auto& pArtist : pGenre->m_arrArtists) {
            result.arrGroups.push_back(
                GroupText(" " + pArtist->GetName(), pArtist->m_arrTracks, arrAll));
        }
    }
    result.arrHints = view.m_arrHints;
    result.arrWritten = host.m_arrWritten;
    result.bStopped = doc.WasScanStopped();
    return result;
}

SScanResult Scan(const std::string& strRoot, std::size_t nReaders) {
    CHost host;
    return Scan(strRoot, nReaders, host);
}

// A random tree of nested folders holding tagged, untagged, short and empty files, files the
// pattern does not take, folders named like files, and links.
void MakeTree(const std::filesystem::path& root, unsigned nSeed, int nFiles) {
    std::mt19937 rng(nSeed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<std::filesystem::path> arrFolders{root};
    for (int i = 0; i < nFiles; ++i) {
        if (pick(8) == 0) {
            arrFolders.push_back(arrFolders[pick(static_cast<int>(arrFolders.size()))] /
                                 ("d" + std::to_string(i)));
            std::filesystem::create_directories(arrFolders.back());
        }
        const std::filesystem::path& folder = arrFolders[pick(static_cast<int>(arrFolders.size()))];
        const std::string strName = "t" + std::to_string(pick(100000));
        const std::string strArtist = "Artist " + std::to_string(pick(7));
        switch (pick(10)) {
        case 0:
            WriteBytes(folder / (strName + ".mp3"), Audio(pick(128)));
            break;
        case 1:
            WriteBytes(folder / (strName + ".MP3"), Audio(500));
            break;
        case 2:
            WriteBytes(folder / (strName + ".txt"), Audio(300) + MakeTag("Not", strArtist));
            break;
        case 3:
            std::filesystem::create_directories(folder / (strName + ".mp3"));
            break;
        case 4:
            if (i > 0) {
                std::error_code ec;
                std::filesystem::create_symlink(root / "t-target.bin", folder / (strName + ".mp3"),
                                                ec);
            }
            break;
        default:
            WriteBytes(folder / (strName + ".mp3"),
                       Audio(200 + pick(900)) + MakeTag("Title " + strName, strArtist, "Album",
                                                        "1999", "",
                                                        static_cast<unsigned char>(pick(150))));
        }
    }
    WriteBytes(root / "t-target.bin", Audio(150) + MakeTag("Linked", "Artist 1"));
}

// Changes the tree when a chosen file is opened, after its folder was listed: the file vanishes,
// becomes a folder, or is replaced by one too short for a tag. Which file gets what depends on
// its name only, so that every scan, whatever its timing, meets the same changes.
class CRacingOps final : public CFileOps {
public:
    explicit CRacingOps(unsigned nSeed) : m_nSeed(nSeed) {}

    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        const std::size_t nHash = std::hash<std::string>()(pszPath) ^ m_nSeed;
        switch (nHash % 6) {
        case 0:
            ::unlinkat(nDirFd, pszPath, 0);
            break;
        case 1:
            if (::unlinkat(nDirFd, pszPath, 0) == 0) {
                ::mkdirat(nDirFd, pszPath, 0755);
            }
            break;
        case 2:
            if (::unlinkat(nDirFd, pszPath, 0) == 0) {
                WriteBytesAt(nDirFd, pszPath, Audio(50));
            }
            break;
        default:
            break;
        }
        return CFileOps::OpenAt(nDirFd, pszPath, nFlags);
    }

private:
    static void WriteBytesAt(int nDirFd, const char* pszName, const std::string& strBytes) {
        const int nFd = ::openat(nDirFd, pszName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (nFd >= 0) {
            (void)!::write(nFd, strBytes.data(), strBytes.size());
            ::close(nFd);
        }
    }

    const std::size_t m_nSeed;
};

// Every read takes a while, as on a slow disk.
class CSlowOps final : public CFileOps {
public:
    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return CFileOps::OpenAt(nDirFd, pszPath, nFlags);
    }
};

class COpsInPlace {
public:
    explicit COpsInPlace(CFileOps& ops) { CFileOps::Replace(&ops); }
    ~COpsInPlace() { CFileOps::Replace(nullptr); }
    COpsInPlace(const COpsInPlace&) = delete;
    COpsInPlace& operator=(const COpsInPlace&) = delete;
};

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
    EXPECT_EQ(sequential.arrHints, (std::vector<int>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
    for (const std::size_t nReaders : {1u, 2u, 3u, 8u, 32u}) {
        SCOPED_TRACE("readers: " + std::to_string(nReaders));
        ExpectSameScan(sequential, Scan(dir.Str(), nReaders));
    }
}

TEST(ParallelScan, FilesChangingDuringTheScanGiveTheSameCatalogueAsSequentially) {
    for (unsigned nSeed = 1; nSeed <= 6; ++nSeed) {
        SCOPED_TRACE("seed: " + std::to_string(nSeed));
        CRacingOps racingOps(nSeed);
        const COpsInPlace inPlace(racingOps);
        SScanResult sequential;
        {
            CTempDir dir;
            MakeTree(dir.Path(), nSeed, 600);
            sequential = Scan(dir.Str(), 0);
        }
        const std::size_t nReaders = 1 + nSeed % 4 * 3;
        CTempDir dir;
        MakeTree(dir.Path(), nSeed, 600);
        SScanResult parallel = Scan(dir.Str(), nReaders);
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

TEST(ParallelScan, StoppedScanKeepsTheFilesReadSoFarInOrderAndIndexed) {
    CTempDir dir;
    MakeTree(dir.Path(), 11, 800);
    const SScanResult whole = Scan(dir.Str(), 4);
    for (const std::size_t nReaders : {0u, 4u}) {
        SCOPED_TRACE("readers: " + std::to_string(nReaders));
        CSlowOps slowOps;
        const COpsInPlace inPlace(slowOps);
        CHost host;
        host.m_nStopAtCall = 2;
        const SScanResult stopped = Scan(dir.Str(), nReaders, host);

        EXPECT_TRUE(stopped.bStopped);
        EXPECT_FALSE(whole.bStopped);
        // Reads already begun are still filed, and reported, after the request.
        EXPECT_GE(host.m_arrProgress.size(), 2u);
        ASSERT_GE(stopped.arrRecords.size(), host.m_arrProgress.back());
        ASSERT_LT(stopped.arrRecords.size(), whole.arrRecords.size());
        EXPECT_TRUE(std::equal(stopped.arrRecords.begin(), stopped.arrRecords.end(),
                               whole.arrRecords.begin()));
        EXPECT_EQ(stopped.arrHints, (std::vector<int>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
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

TEST(ParallelScan, SlowReadsStillReportProgressAtLeastEveryTenthOfASecond) {
    CTempDir dir;
    MakeTree(dir.Path(), 3, 300);
    CSlowOps slowOps;
    const COpsInPlace inPlace(slowOps);
    for (const std::size_t nReaders : {0u, 2u}) {
        CHost host;
        const auto tStart = std::chrono::steady_clock::now();
        const SScanResult result = Scan(dir.Str(), nReaders, host);
        const auto tScan = std::chrono::steady_clock::now() - tStart;
        // At least one report for each full 100 ms the scan took, counts never going back.
        EXPECT_GE(host.m_arrProgress.size(),
                  static_cast<std::size_t>(tScan / std::chrono::milliseconds(100)));
        EXPECT_TRUE(std::is_sorted(host.m_arrProgress.begin(), host.m_arrProgress.end()));
        EXPECT_FALSE(result.bStopped);
    }
}
