// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/filedescriptor.h"
#include "catalogue/folderlister.h"
#include "catalogue/tagreaderpool.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

// The depth-first walk of one scan. Folders are opened relative to their parent, so that paths
// of any length work, and each folder is entered once, so that link cycles end. The walk keeps
// its own stack instead of recursing and holds descriptors only for the folders nearest the
// current one, so that neither the thread's stack nor the process's descriptor limit bounds the
// depth of a tree. Files come out in scan order: pre-order, names sorted byte for byte, a
// folder's files before its sub-folders. Folders are listed ahead and files read on other
// threads; the walk itself only puts what they found in that order.
class CFolderWalk {
public:
    // Where the files go, and who may stop the walk.
    class CSink {
    public:
        virtual ~CSink() = default;
        virtual void OnFile(STagRead&& read) = 0;
        // Called on the walk's thread for each file before it is queued for reading; the sink
        // may say what it knows of the file (pKnown).
        virtual void OnQueue(STagRead& read) { (void)read; }
        // Asked every PROGRESS_INTERVAL or so; false stops the walk.
        virtual bool OnProgress() = 0;
        // Set when OnProgress is about to say false: the readers and listers look at it
        // meanwhile, and begin nothing more.
        virtual const std::atomic<bool>* GetStopRequest() const { return nullptr; }
    };

    static constexpr std::chrono::milliseconds PROGRESS_INTERVAL{20};

    // With no readers everything happens on the calling thread, one step after the other; so it
    // does, in part or in whole, when the threads asked for cannot be started.
    CFolderWalk(CSink& sink, std::string strPattern, std::size_t nReaders, CFileOps& ops,
                CThreadStarter& starter = CThreadStarter::Default());
    CFolderWalk(const CFolderWalk&) = delete;
    CFolderWalk& operator=(const CFolderWalk&) = delete;

    // strFolder is the path the records get; pszOpen the one opened.
    void Walk(const std::string& strFolder, const char* pszOpen);
    bool WasStopped() const { return m_bStopped; }

    // What the pools chose: the most readers and listers at work at once.
    std::size_t GetMostReaders() const { return m_pool.GetMostReaders(); }
    std::size_t GetMostListers() const { return m_lister.GetMostListers(); }
    // Files and folders that were there but could not be opened (no permission, no descriptor
    // left, an I/O error): their files are missing or keep the defaults, and the user is told.
    std::size_t GetUnopenedCount() const { return m_nUnopened; }

private:
    using CSharedFd = std::shared_ptr<const CFileDescriptor>;
    using CNodePtr = CFolderLister::CNodePtr;
    using SEntry = CFolderLister::SEntry;

    struct SFrame {
        CSharedFd pFd; // closed while the walk is more than OPEN_LEVELS deeper
        std::string strName;
        dev_t nDevice;
        ino_t nInode;
        std::size_t nPathLength;
        std::vector<std::string> arrFolders; // sub-folders to walk, in name order
        std::size_t nNext = 0;
        CNodePtr pNode;                    // where the folder stands in walk order
        std::vector<CNodePtr> arrChildren; // the sub-folders' listings, null until queued
    };

    static std::size_t FoldersInFlight();
    static std::size_t ReadersFor(std::size_t nReaders);
    // A file or folder gone since it was listed, or a folder turned into a file, has changed
    // under the walk: nothing failed to open.
    static bool IsUnopened(int nError) {
        return nError != 0 && nError != ENOENT && nError != ENOTDIR;
    }
    static CSharedFd Share(int nFd) { return std::make_shared<const CFileDescriptor>(nFd); }
    static bool IsOpen(const SFrame& frame) { return frame.pFd && frame.pFd->IsValid(); }
    static bool IsFrame(const CSharedFd& pFd, const SFrame& frame);

    bool TakeListing(const CNodePtr& pNode, CFolderLister::SListing& listing);
    void Enter(const CNodePtr& pNode, CFolderLister::SListing&& listing, std::string strName);
    void CloseDeepFolder(SFrame& frame);
    void Leave();
    CSharedFd ReopenByNames(std::size_t nIndex) const;
    void QueueRead(const CSharedText& location, const CSharedFd& pFolder, SEntry&& entry);
    bool IsLastPending(const CSharedFd& pFolder) const;
    void FileFinished(std::chrono::milliseconds tWait, std::size_t nAtLeast);
    void FileReads(std::chrono::milliseconds tWait, std::size_t nAtLeast);
    void ReportProgress();
    bool IsReportDue() const;
    void ReportIfDue();

    CSink& m_sink;
    const std::string m_strPattern;
    std::set<std::pair<dev_t, ino_t>> m_setEntered;
    std::vector<SFrame> m_arrStack;
    std::string m_strPath; // of the folder being read
    std::chrono::steady_clock::time_point m_tLastProgress = std::chrono::steady_clock::now();
    bool m_bStopped = false;
    std::size_t m_nUnopened = 0;
    std::vector<STagRead> m_arrFinished;
    // Folders with reads pending, in queue order, with the number of their reads; each read keeps
    // its folder alive, and with it the key here.
    std::deque<std::pair<const CFileDescriptor*, std::size_t>> m_arrPendingFolders;
    const std::size_t m_nFoldersInFlight;
    // After the stack, so that its listers are gone before the folders they list from.
    CFolderLister m_lister;
    // Last, so that its readers are gone before the folders they read from are closed.
    CTagReaderPool m_pool;
};
