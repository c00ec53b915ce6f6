// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tunebrdoc.h"

#include "catalogue/cataloguehost.h"
#include "catalogue/docview.h"
#include "catalogue/filedescriptor.h"
#include "catalogue/hints.h"
#include "catalogue/tagreaderpool.h"
#include "catalogue/trackinfo.h"
#include "catalogue/wildcard.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

// The depth-first walk of one scan. Folders are opened relative to their parent, so that paths
// of any length work, and each folder is entered once, so that link cycles end. The walk keeps
// its own stack instead of recursing and holds descriptors only for the folders nearest the
// current one, so that neither the thread's stack nor the process's descriptor limit bounds the
// depth of a tree.
class CTunebrDoc::CFolderWalk {
public:
    CFolderWalk(CTunebrDoc& doc, std::string strPattern)
        : m_doc(doc), m_strPattern(std::move(strPattern)), m_pool(doc.m_nReaders, READS_IN_FLIGHT) {
    }

    void Walk(const std::string& strFolder, const char* pszOpen) {
        CSharedFd pFd = Share(::open(pszOpen, DIR_FLAGS));
        if (!pFd->IsValid()) {
            return;
        }
        m_strPath = strFolder;
        Enter(std::move(pFd), std::string());
        while (!m_arrStack.empty() && !m_bStopped) {
            SFrame& frame = m_arrStack.back();
            if (frame.nNext == frame.arrFolders.size()) {
                Leave();
                continue;
            }
            const std::string& strName = frame.arrFolders[frame.nNext++];
            CSharedFd pChild = Share(::openat(frame.pFd->Get(), strName.c_str(), DIR_FLAGS));
            if (pChild->IsValid()) {
                m_strPath.resize(frame.nPathLength);
                m_strPath += '/';
                m_strPath += strName;
                Enter(std::move(pChild), strName);
            }
            ReportProgress();
        }
        // A stop keeps the reads begun, so that what is filed stays a prefix of the scan order.
        while (!m_pool.IsEmpty()) {
            if (m_bStopped) {
                m_pool.CancelPending();
            }
            FileFinished(PROGRESS_INTERVAL, READS_IN_FLIGHT);
        }
    }

    bool WasStopped() const { return m_bStopped; }

private:
    using CSharedFd = std::shared_ptr<const CFileDescriptor>;

    static constexpr int DIR_FLAGS = O_RDONLY | O_CLOEXEC | O_DIRECTORY | O_NOCTTY | O_NONBLOCK;
    // Descriptors kept open below the current folder; deeper folders give theirs back and are
    // reopened through ".." on the way up.
    static constexpr std::size_t OPEN_LEVELS = 16;
    // Enough reads in flight to keep the readers fed while the walk waits for a cold folder
    // listing. The reads of a folder keep it open, so the folders with pending reads are counted
    // too: descriptors are a limited resource.
    static constexpr std::size_t READS_IN_FLIGHT = 4096;
    static constexpr std::size_t MAX_FOLDERS_IN_FLIGHT = 256;
    // Reads a blocked walk waits for before it goes on: enough to spare it a wake-up per file,
    // few enough that the readers are never left without work.
    static constexpr std::size_t FILE_BATCH = 256;

    // An eighth of the process's descriptors at most, leaving the rest to the walk, the readers
    // and the program around the scan.
    static std::size_t FoldersInFlight() {
        struct rlimit limit;
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
            return MAX_FOLDERS_IN_FLIGHT;
        }
        return std::clamp<std::size_t>(limit.rlim_cur / 8, 1, MAX_FOLDERS_IN_FLIGHT);
    }
    static constexpr std::chrono::milliseconds PROGRESS_INTERVAL{20};

    struct SEntry {
        std::string strName;
        unsigned char nType;
    };

    struct SFrame {
        CSharedFd pFd; // closed while the walk is more than OPEN_LEVELS deeper
        std::string strName;
        dev_t nDevice;
        ino_t nInode;
        std::size_t nPathLength;
        std::vector<std::string> arrFolders; // sub-folders to walk, in name order
        std::size_t nNext = 0;
    };

    static CSharedFd Share(int nFd) { return std::make_shared<const CFileDescriptor>(nFd); }

    // Reads one folder: its matching entries become records, its sub-folders are kept to be
    // walked after them.
    void Enter(CSharedFd pFd, std::string strName) {
        struct stat st;
        if (::fstat(pFd->Get(), &st) != 0 || !m_setEntered.emplace(st.st_dev, st.st_ino).second) {
            return;
        }
        SFrame frame{
            std::move(pFd), std::move(strName), st.st_dev, st.st_ino, m_strPath.size(), {}, 0};
        std::vector<SEntry> arrEntries = ListEntries(frame.pFd->Get());
        const std::string_view strOwnName = OwnName(m_strPath);
        for (const SEntry& entry : arrEntries) {
            if (entry.strName != strOwnName && IsFolder(frame.pFd->Get(), entry)) {
                frame.arrFolders.push_back(entry.strName);
            }
        }
        std::shared_ptr<const std::string> pLocation;
        for (SEntry& entry : arrEntries) {
            if (MatchWildcard(m_strPattern, entry.strName)) {
                if (!pLocation) {
                    pLocation = std::make_shared<const std::string>(m_strPath);
                }
                QueueRead(pLocation, frame.pFd, std::move(entry));
            }
        }
        if (m_arrStack.size() > OPEN_LEVELS) {
            m_arrStack[m_arrStack.size() - OPEN_LEVELS].pFd.reset();
        }
        m_arrStack.push_back(std::move(frame));
    }

    void Leave() {
        const CSharedFd pChild = std::move(m_arrStack.back().pFd);
        m_arrStack.pop_back();
        if (m_arrStack.empty() || IsOpen(m_arrStack.back())) {
            return;
        }
        SFrame& parent = m_arrStack.back();
        if (pChild && pChild->IsValid()) {
            parent.pFd = Share(::openat(pChild->Get(), "..", DIR_FLAGS));
        }
        // ".." leads elsewhere when the child was entered through a link: then the folder is
        // reopened by its names from the nearest folder still open.
        if (!IsFrame(parent.pFd, parent)) {
            parent.pFd = ReopenByNames(m_arrStack.size() - 1);
        }
        if (!IsFrame(parent.pFd, parent)) {
            // The tree changed under the walk: what is left of this folder cannot be reached.
            parent.pFd.reset();
            parent.nNext = parent.arrFolders.size();
        }
    }

    static bool IsOpen(const SFrame& frame) { return frame.pFd && frame.pFd->IsValid(); }

    CSharedFd ReopenByNames(std::size_t nIndex) const {
        std::size_t nOpen = nIndex;
        while (nOpen > 0 && !IsOpen(m_arrStack[nOpen])) {
            --nOpen;
        }
        if (!IsOpen(m_arrStack[nOpen])) {
            return nullptr;
        }
        CFileDescriptor fd(::fcntl(m_arrStack[nOpen].pFd->Get(), F_DUPFD_CLOEXEC, 0));
        for (std::size_t i = nOpen + 1; i <= nIndex && fd.IsValid(); ++i) {
            fd.Reset(::openat(fd.Get(), m_arrStack[i].strName.c_str(), DIR_FLAGS));
        }
        return Share(fd.Release());
    }

    static bool IsFrame(const CSharedFd& pFd, const SFrame& frame) {
        struct stat st;
        return pFd && pFd->IsValid() && ::fstat(pFd->Get(), &st) == 0 &&
               st.st_dev == frame.nDevice && st.st_ino == frame.nInode;
    }

    // The folder's entries sorted by name, byte for byte, so that a catalogue does not depend on
    // the order a file system happens to list in.
    // Read with getdents64 on the folder's own descriptor: no second descriptor, no extra
    // system calls per folder.
    std::vector<SEntry> ListEntries(int nFd) {
        std::vector<SEntry> arrEntries;
        for (;;) {
            const ssize_t nBytes = ::getdents64(nFd, m_arrDirBuffer.data(),
                                                m_arrDirBuffer.size() * sizeof(m_arrDirBuffer[0]));
            if (nBytes <= 0) {
                break;
            }
            const char* pBytes = reinterpret_cast<const char*>(m_arrDirBuffer.data());
            for (ssize_t nPos = 0; nPos < nBytes;) {
                const auto* pEntry = reinterpret_cast<const struct dirent64*>(pBytes + nPos);
                const std::string_view strName(pEntry->d_name);
                if (strName != "." && strName != "..") {
                    arrEntries.push_back({std::string(strName), pEntry->d_type});
                }
                nPos += pEntry->d_reclen;
            }
        }
        std::sort(arrEntries.begin(), arrEntries.end(),
                  [](const SEntry& a, const SEntry& b) { return a.strName < b.strName; });
        return arrEntries;
    }

    static std::string_view OwnName(std::string_view strFolder) {
        const std::size_t nSlash = strFolder.rfind('/');
        return nSlash == std::string_view::npos ? strFolder : strFolder.substr(nSlash + 1);
    }

    // Links count as what they point to.
    static bool IsFolder(int nFd, const SEntry& entry) {
        if (entry.nType == DT_DIR) {
            return true;
        }
        if (entry.nType != DT_LNK && entry.nType != DT_UNKNOWN) {
            return false;
        }
        struct stat st;
        return ::fstatat(nFd, entry.strName.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
    }

    // Only what may be a regular file is opened: a matching folder, FIFO, socket or device gets
    // a record with the defaults.
    void QueueRead(const std::shared_ptr<const std::string>& pLocation, const CSharedFd& pFolder,
                   SEntry&& entry) {
        while (m_pool.IsFull() ||
               (!IsLastPending(pFolder) && m_arrPendingFolders.size() >= m_nFoldersInFlight)) {
            FileFinished(PROGRESS_INTERVAL, FILE_BATCH);
        }
        // Filing may have taken the folder's earlier reads off the list.
        if (!IsLastPending(pFolder)) {
            m_arrPendingFolders.emplace_back(pFolder.get(), 0);
        }
        ++m_arrPendingFolders.back().second;
        const bool bMayBeFile =
            entry.nType == DT_REG || entry.nType == DT_LNK || entry.nType == DT_UNKNOWN;
        m_pool.Submit(
            {pLocation, pFolder, std::move(entry.strName), bMayBeFile, entry.nType == DT_REG, {}});
    }

    bool IsLastPending(const CSharedFd& pFolder) const {
        return !m_arrPendingFolders.empty() && m_arrPendingFolders.back().first == pFolder.get();
    }

    // Records are made in the order the reads were queued, whatever order they finished in.
    void FileFinished(std::chrono::milliseconds tWait, std::size_t nAtLeast) {
        m_arrFinished.clear();
        m_pool.TakeFinished(m_arrFinished, tWait, nAtLeast);
        for (STagRead& read : m_arrFinished) {
            if (--m_arrPendingFolders.front().second == 0) {
                m_arrPendingFolders.pop_front();
            }
            m_doc.AddTrack(CTrackInfo(std::move(read.pLocation), std::move(read.strName),
                                      read.block, m_doc.m_codec));
        }
        ReportProgress();
    }

    // The count reported is of records filed: whatever has been read is filed first, so that
    // the count keeps rising while the walk lists folders.
    void ReportProgress() {
        const auto tNow = std::chrono::steady_clock::now();
        if (tNow - m_tLastProgress >= PROGRESS_INTERVAL) {
            m_tLastProgress = tNow;
            FileFinished(std::chrono::milliseconds(0), 1);
            if (!m_doc.m_host.OnScanProgress(m_doc.m_arrTracks.size())) {
                m_bStopped = true;
            }
        }
    }

    CTunebrDoc& m_doc;
    const std::string m_strPattern;
    std::set<std::pair<dev_t, ino_t>> m_setEntered;
    std::vector<SFrame> m_arrStack;
    std::string m_strPath; // of the folder being read
    std::vector<std::uint64_t> m_arrDirBuffer = std::vector<std::uint64_t>(4096); // 32 KB, aligned
    std::chrono::steady_clock::time_point m_tLastProgress = std::chrono::steady_clock::now();
    bool m_bStopped = false;
    std::vector<STagRead> m_arrFinished;
    // Folders with reads pending, in queue order, with the number of their reads; each read keeps
    // its folder alive, and with it the key here.
    std::deque<std::pair<const CFileDescriptor*, std::size_t>> m_arrPendingFolders;
    const std::size_t m_nFoldersInFlight = FoldersInFlight();
    // Last, so that its readers are gone before the folders they read from are closed.
    CTagReaderPool m_pool;
};

CTunebrDoc::CTunebrDoc(CCatalogueHost& host) : m_host(host) {
}

CTunebrDoc::~CTunebrDoc() {
    ClearCatalogue();
}

bool CTunebrDoc::ScanFolder(std::string strFolder) {
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    if (!strFolder.empty() && strFolder.back() == '/') {
        strFolder.pop_back();
    }
    ClearCatalogue();
    m_bScanStopped = false;
    m_strTitle = strFolder;
    AddFolder(strFolder, m_host.GetFileExt());
    TrimIndex();
    m_host.WriteFilePath(strFolder);
    UpdateAllViews(nullptr, HINT_REBUILD_END);
    return true;
}

void CTunebrDoc::AddFolder(const std::string& strFolder, const std::string& strPattern) {
    m_host.BeginWaitCursor();
    // The empty path stands for the root: its files get the empty location.
    const std::string strOpen = strFolder.empty() ? "/" : strFolder;
    try {
        CFolderWalk walk(*this, strPattern);
        walk.Walk(strFolder, strOpen.c_str());
        m_bScanStopped = walk.WasStopped();
    } catch (...) {
        m_host.EndWaitCursor();
        throw;
    }
    m_host.EndWaitCursor();
}

void CTunebrDoc::AddTrack(CTrackInfo&& track) {
    CTrackInfo* pTrack = &m_storeTracks.emplace_back(std::move(track));
    m_arrTracks.push_back(pTrack);
    AddToArtistIndex(pTrack);
    AddToGenreIndex(pTrack);
}

void CTunebrDoc::RebuildIndex() {
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    ClearArtists();
    ClearGenres();
    for (CTrackInfo* pTrack : m_arrTracks) {
        AddToArtistIndex(pTrack);
        AddToGenreIndex(pTrack);
    }
    TrimIndex();
    UpdateAllViews(nullptr, HINT_REBUILD_END);
}

void CTunebrDoc::AddView(CDocView* pView) {
    m_arrViews.push_back(pView);
}

void CTunebrDoc::RemoveView(CDocView* pView) {
    m_arrViews.erase(std::remove(m_arrViews.begin(), m_arrViews.end(), pView), m_arrViews.end());
}

void CTunebrDoc::UpdateAllViews(CDocView* pSender, int nHint, CTrackList* pTracks) {
    for (std::size_t i = 0; i < m_arrViews.size(); ++i) {
        if (m_arrViews[i] != pSender) {
            m_arrViews[i]->OnUpdate(pSender, nHint, pTracks);
        }
    }
}

CArtistEntry* CTunebrDoc::FindArtist(std::string_view strName) const {
    const auto it = m_mapArtists.find(strName);
    return it == m_mapArtists.end() ? nullptr : it->second;
}

CArtistEntry* CTunebrDoc::AddArtist(std::string strName) {
    CArtistEntry* pArtist =
        m_arrArtists.emplace_back(std::make_unique<CArtistEntry>(std::move(strName))).get();
    m_mapArtists.emplace(pArtist->GetName(), pArtist);
    return pArtist;
}

CGenreEntry* CTunebrDoc::FindGenre(std::string_view strName) const {
    const auto it = m_mapGenres.find(strName);
    return it == m_mapGenres.end() ? nullptr : it->second;
}

CGenreEntry* CTunebrDoc::AddGenre(std::string strName) {
    CGenreEntry* pGenre =
        m_arrGenres.emplace_back(std::make_unique<CGenreEntry>(std::move(strName))).get();
    m_mapGenres.emplace(pGenre->GetName(), pGenre);
    return pGenre;
}

void CTunebrDoc::AddToArtistIndex(CTrackInfo* pTrack) {
    const std::string_view strArtist = pTrack->GetArtist();
    CArtistEntry* pArtist = FindArtist(strArtist);
    if (pArtist == nullptr) {
        pArtist = AddArtist(std::string(strArtist));
    }
    pArtist->AddTrack(pTrack);
}

void CTunebrDoc::AddToGenreIndex(CTrackInfo* pTrack) {
    const std::string_view strGenre = pTrack->GetGenreName();
    CGenreEntry* pGenre = FindGenre(strGenre);
    if (pGenre == nullptr) {
        pGenre = AddGenre(std::string(strGenre));
    }
    pGenre->AddTrack(pTrack);
}

// The lists grew a record at a time; a large library would keep a third of them unused.
void CTunebrDoc::TrimIndex() {
    m_arrTracks.shrink_to_fit();
    for (const auto& pArtist : m_arrArtists) {
        pArtist->m_arrTracks.shrink_to_fit();
    }
    for (const auto& pGenre : m_arrGenres) {
        pGenre->m_arrTracks.shrink_to_fit();
        for (const auto& pArtist : pGenre->m_arrArtists) {
            pArtist->m_arrTracks.shrink_to_fit();
        }
    }
}

void CTunebrDoc::ClearArtists() {
    m_mapArtists.clear();
    m_arrArtists.clear();
}

void CTunebrDoc::ClearGenres() {
    m_mapGenres.clear();
    m_arrGenres.clear();
}

void CTunebrDoc::ClearCatalogue() {
    m_arrTracks.clear();
    ClearGenres();
    ClearArtists();
    m_storeTracks.clear();
}
