// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/folderwalk.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr int DIR_FLAGS = O_RDONLY | O_CLOEXEC | O_DIRECTORY | O_NOCTTY | O_NONBLOCK;
// Descriptors kept open below the current folder; deeper folders give theirs back and are
// reopened through ".." on the way up.
constexpr std::size_t OPEN_LEVELS = 16;
// Enough reads in flight to keep the readers fed while the walk waits for a cold folder
// listing. The reads of a folder keep it open, so the folders with pending reads are counted
// too: descriptors are a limited resource.
constexpr std::size_t READS_IN_FLIGHT = 4096;
constexpr std::size_t MAX_FOLDERS_IN_FLIGHT = 256;
// Reads a blocked walk waits for before it goes on: enough to spare it a wake-up per file,
// few enough that the readers are never left without work.
constexpr std::size_t FILE_BATCH = 256;
// Folders listed at once on a file server, and listed ahead of the walk, each holding its
// descriptor until the walk takes it.
constexpr std::size_t MAX_LISTERS = 16;
constexpr std::size_t MAX_LISTED_AHEAD = 64;

} // namespace

CFolderWalk::CFolderWalk(CSink& sink, std::string strPattern, std::size_t nReaders, CFileOps& ops,
                         CThreadStarter& starter)
    : m_sink(sink), m_strPattern(std::move(strPattern)), m_nFoldersInFlight(FoldersInFlight()),
      m_lister(ops, m_strPattern, nReaders > 0 ? MAX_LISTERS : 0,
               std::min(m_nFoldersInFlight, MAX_LISTED_AHEAD), starter, sink.GetStopRequest()),
      m_pool(ReadersFor(nReaders), READS_IN_FLIGHT, ops, starter, sink.GetStopRequest()) {
}

// Each reader holds a file open while it waits on it: with few descriptors, fewer readers, so
// that they, the folders and the program around the scan all find one.
std::size_t CFolderWalk::ReadersFor(std::size_t nReaders) {
    struct rlimit limit;
    if (nReaders == 0 || ::getrlimit(RLIMIT_NOFILE, &limit) != 0 ||
        limit.rlim_cur == RLIM_INFINITY) {
        return nReaders;
    }
    return std::clamp<std::size_t>(limit.rlim_cur / 8, 1, nReaders);
}

// An eighth of the process's descriptors at most, leaving the rest to the walk, the readers
// and the program around the scan.
std::size_t CFolderWalk::FoldersInFlight() {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return MAX_FOLDERS_IN_FLIGHT;
    }
    return std::clamp<std::size_t>(limit.rlim_cur / 8, 1, MAX_FOLDERS_IN_FLIGHT);
}

void CFolderWalk::Walk(const std::string& strFolder, const char* pszOpen) {
    m_strPath = strFolder;
    const CNodePtr pRoot = m_lister.QueueRoot(pszOpen);
    CFolderLister::SListing listing;
    if (!TakeListing(pRoot, listing)) {
        return;
    }
    Enter(pRoot, std::move(listing), std::string());
    while (!m_arrStack.empty() && !m_bStopped) {
        SFrame& frame = m_arrStack.back();
        if (frame.nNext == frame.arrFolders.size()) {
            Leave();
            continue;
        }
        if (!frame.arrChildren[frame.nNext]) {
            m_lister.QueueChildren(frame.pNode, frame.pFd, frame.arrFolders, frame.nNext,
                                   frame.arrChildren);
        }
        const std::size_t nPathLength = frame.nPathLength;
        std::string strName = frame.arrFolders[frame.nNext];
        const CNodePtr pChild = std::move(frame.arrChildren[frame.nNext++]);
        if (!TakeListing(pChild, listing)) {
            break;
        }
        m_strPath.resize(nPathLength);
        m_strPath += '/';
        m_strPath += strName;
        Enter(pChild, std::move(listing), std::move(strName));
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

// Files what was read while the folder is listed elsewhere, and answers a stop.
bool CFolderWalk::TakeListing(const CNodePtr& pNode, CFolderLister::SListing& listing) {
    while (!m_lister.Take(pNode, listing, PROGRESS_INTERVAL)) {
        ReportProgress();
        if (m_bStopped) {
            return false;
        }
    }
    return true;
}

// Takes one folder in: its matching entries become records, its sub-folders are kept to be
// walked after them. A folder met before (through a link) or gone is given back.
void CFolderWalk::Enter(const CNodePtr& pNode, CFolderLister::SListing&& listing,
                        std::string strName) {
    m_nUnopened += !listing.pFd && IsUnopened(listing.nError) ? 1 : 0;
    if (!listing.pFd || !m_setEntered.emplace(listing.nDevice, listing.nInode).second) {
        m_lister.Release(listing.arrChildren);
        return;
    }
    SFrame frame{listing.pFd,
                 std::move(strName),
                 listing.nDevice,
                 listing.nInode,
                 m_strPath.size(),
                 std::move(listing.arrFolders),
                 0,
                 pNode,
                 std::move(listing.arrChildren)};
    frame.arrChildren.resize(frame.arrFolders.size());
    if (!listing.arrFiles.empty()) {
        const CSharedText location(m_strPath);
        for (SEntry& entry : listing.arrFiles) {
            QueueRead(location, frame.pFd, std::move(entry));
        }
    }
    if (m_arrStack.size() > OPEN_LEVELS) {
        CloseDeepFolder(m_arrStack[m_arrStack.size() - OPEN_LEVELS]);
    }
    m_arrStack.push_back(std::move(frame));
}

// Sub-folders queued and not begun would keep the folder open: they are queued again once it is
// reopened.
void CFolderWalk::CloseDeepFolder(SFrame& frame) {
    frame.pFd.reset();
    for (std::size_t i = frame.nNext; i < frame.arrChildren.size(); ++i) {
        frame.arrChildren[i] = m_lister.Unqueue(std::move(frame.arrChildren[i]));
    }
}

void CFolderWalk::Leave() {
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

CFolderWalk::CSharedFd CFolderWalk::ReopenByNames(std::size_t nIndex) const {
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

bool CFolderWalk::IsFrame(const CSharedFd& pFd, const SFrame& frame) {
    struct stat st;
    return pFd && pFd->IsValid() && ::fstat(pFd->Get(), &st) == 0 && st.st_dev == frame.nDevice &&
           st.st_ino == frame.nInode;
}

// Only what may be a regular file is opened: a matching folder, FIFO, socket or device gets
// a record with the defaults.
void CFolderWalk::QueueRead(const CSharedText& location, const CSharedFd& pFolder, SEntry&& entry) {
    // Stopped, the readers begin nothing more, and the front read may be one of those.
    while (m_pool.IsFull() ||
           (!IsLastPending(pFolder) && m_arrPendingFolders.size() >= m_nFoldersInFlight)) {
        if (m_bStopped) {
            return;
        }
        FileFinished(PROGRESS_INTERVAL, FILE_BATCH);
    }
    // Filing may have taken the folder's earlier reads off the list.
    if (!IsLastPending(pFolder)) {
        m_arrPendingFolders.emplace_back(pFolder.get(), 0);
    }
    ++m_arrPendingFolders.back().second;
    const bool bMayBeFile =
        entry.nType == DT_REG || entry.nType == DT_LNK || entry.nType == DT_UNKNOWN;
    STagRead read{location, pFolder, std::move(entry.strName), bMayBeFile, entry.nType == DT_REG,
                  {}};
    m_sink.OnQueue(read);
    m_pool.Submit(std::move(read));
}

bool CFolderWalk::IsLastPending(const CSharedFd& pFolder) const {
    return !m_arrPendingFolders.empty() && m_arrPendingFolders.back().first == pFolder.get();
}

// Records are made in the order the reads were queued, whatever order they finished in. Filing
// thousands of them takes a while: reports go on meanwhile.
void CFolderWalk::FileFinished(std::chrono::milliseconds tWait, std::size_t nAtLeast) {
    FileReads(tWait, nAtLeast);
    ReportProgress();
}

void CFolderWalk::FileReads(std::chrono::milliseconds tWait, std::size_t nAtLeast) {
    constexpr std::size_t FILED_BETWEEN_CLOCK_READS = 32;
    m_arrFinished.clear();
    m_pool.TakeFinished(m_arrFinished, tWait, nAtLeast);
    for (std::size_t i = 0; i < m_arrFinished.size(); ++i) {
        if (--m_arrPendingFolders.front().second == 0) {
            m_arrPendingFolders.pop_front();
        }
        m_nUnopened += IsUnopened(m_arrFinished[i].block.m_nOpenError) ? 1 : 0;
        m_sink.OnFile(std::move(m_arrFinished[i]));
        if ((i + 1) % FILED_BETWEEN_CLOCK_READS == 0) {
            ReportIfDue();
        }
    }
}

// The count reported is of records filed: whatever has been read is filed first, so that
// the count keeps rising while the walk lists folders.
void CFolderWalk::ReportProgress() {
    if (IsReportDue()) {
        FileReads(std::chrono::milliseconds(0), 1);
        ReportIfDue();
    }
}

bool CFolderWalk::IsReportDue() const {
    return std::chrono::steady_clock::now() - m_tLastProgress >= PROGRESS_INTERVAL;
}

void CFolderWalk::ReportIfDue() {
    if (IsReportDue()) {
        m_tLastProgress = std::chrono::steady_clock::now();
        if (!m_sink.OnProgress()) {
            m_bStopped = true;
        }
    }
}
