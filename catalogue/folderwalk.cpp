// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/folderwalk.h"

#include "catalogue/wildcard.h"

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

} // namespace

CFolderWalk::CFolderWalk(CSink& sink, std::string strPattern, std::size_t nReaders)
    : m_sink(sink), m_strPattern(std::move(strPattern)), m_nFoldersInFlight(FoldersInFlight()),
      m_pool(nReaders, READS_IN_FLIGHT) {
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

// Reads one folder: its matching entries become records, its sub-folders are kept to be
// walked after them.
void CFolderWalk::Enter(CSharedFd pFd, std::string strName) {
    struct stat st;
    if (::fstat(pFd->Get(), &st) != 0 || !m_setEntered.emplace(st.st_dev, st.st_ino).second) {
        return;
    }
    SFrame frame{std::move(pFd), std::move(strName), st.st_dev, st.st_ino, m_strPath.size(), {}, 0};
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

// The folder's entries sorted by name, byte for byte, so that a catalogue does not depend on
// the order a file system happens to list in.
// Read with getdents64 on the folder's own descriptor: no second descriptor, no extra
// system calls per folder.
std::vector<CFolderWalk::SEntry> CFolderWalk::ListEntries(int nFd) {
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

std::string_view CFolderWalk::OwnName(std::string_view strFolder) {
    const std::size_t nSlash = strFolder.rfind('/');
    return nSlash == std::string_view::npos ? strFolder : strFolder.substr(nSlash + 1);
}

// Links count as what they point to.
bool CFolderWalk::IsFolder(int nFd, const SEntry& entry) {
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
void CFolderWalk::QueueRead(const std::shared_ptr<const std::string>& pLocation,
                            const CSharedFd& pFolder, SEntry&& entry) {
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

bool CFolderWalk::IsLastPending(const CSharedFd& pFolder) const {
    return !m_arrPendingFolders.empty() && m_arrPendingFolders.back().first == pFolder.get();
}

// Records are made in the order the reads were queued, whatever order they finished in.
void CFolderWalk::FileFinished(std::chrono::milliseconds tWait, std::size_t nAtLeast) {
    m_arrFinished.clear();
    m_pool.TakeFinished(m_arrFinished, tWait, nAtLeast);
    for (STagRead& read : m_arrFinished) {
        if (--m_arrPendingFolders.front().second == 0) {
            m_arrPendingFolders.pop_front();
        }
        m_sink.OnFile(std::move(read));
    }
    ReportProgress();
}

// The count reported is of records filed: whatever has been read is filed first, so that
// the count keeps rising while the walk lists folders.
void CFolderWalk::ReportProgress() {
    const auto tNow = std::chrono::steady_clock::now();
    if (tNow - m_tLastProgress >= PROGRESS_INTERVAL) {
        m_tLastProgress = tNow;
        FileFinished(std::chrono::milliseconds(0), 1);
        if (!m_sink.OnProgress()) {
            m_bStopped = true;
        }
    }
}
