// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/filedescriptor.h"
#include "catalogue/threadstarter.h"
#include "catalogue/waitgauge.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

class CFileOps;

// Lists the folders of a scan ahead of its walk, several at once, on threads of its own: on a
// file server every open and every listing is a round trip, and a walk that lists one folder at
// a time leaves the readers waiting. Folders are listed earliest in walk order first (pre-order,
// names sorted), and what a lister finds below a folder is queued in turn. The walk takes each
// listing in its own order and decides alone what it enters, so the catalogue does not depend
// on which folder was listed when. Listings done ahead hold a descriptor each; there are never
// more than nMaxAhead of them. The walk lists nothing itself, so that a folder of tens of
// thousands of files never holds it up (it waits a bounded time and may report progress): one
// lister runs from the start, and listers double while their listings wait, up to nMaxListers.
// Listers that cannot be started are done without; with none at all, the walk lists each folder
// itself, as without listers.
class CFolderLister {
public:
    using CSharedFd = std::shared_ptr<const CFileDescriptor>;
    class CNode;
    using CNodePtr = std::shared_ptr<CNode>;

    struct SEntry {
        std::string strName;
        unsigned char nType; // as the folder lists it: DT_REG, DT_LNK, DT_UNKNOWN...
    };

    struct SListing {
        CSharedFd pFd;  // null when the folder could not be opened
        int nError = 0; // errno of the open that failed
        dev_t nDevice = 0;
        ino_t nInode = 0;
        std::vector<SEntry> arrFiles;        // the entries the pattern takes, in name order
        std::vector<std::string> arrFolders; // the sub-folders, in name order; links count
        std::vector<CNodePtr> arrChildren;   // their listings, when queued already
    };

    // With nMaxListers 0 every folder is listed when the walk takes it.
    CFolderLister(CFileOps& ops, std::string strPattern, std::size_t nMaxListers,
                  std::size_t nMaxAhead, CThreadStarter& starter = CThreadStarter::Default());
    ~CFolderLister();
    CFolderLister(const CFolderLister&) = delete;
    CFolderLister& operator=(const CFolderLister&) = delete;

    // The scan's first folder, opened by its path.
    CNodePtr QueueRoot(std::string strPath);
    // Queues the sub-folders arrFolders[nFirst...] of the folder pParent, open as pFd, that have
    // no node in arrChildren yet.
    void QueueChildren(const CNodePtr& pParent, const CSharedFd& pFd,
                       const std::vector<std::string>& arrFolders, std::size_t nFirst,
                       std::vector<CNodePtr>& arrChildren);
    // Moves the folder's listing to listing once it is ready, waiting at most tWait for a lister
    // (without listers the folder is listed at once on the calling thread). False when the wait
    // ran out.
    bool Take(const CNodePtr& pNode, SListing& listing, std::chrono::milliseconds tWait);
    // A queued folder no lister began is forgotten, so that it no longer keeps its parent open:
    // null then, otherwise the node.
    CNodePtr Unqueue(CNodePtr pNode);
    // Gives back what was listed below a folder the walk does not enter.
    void Release(std::vector<CNodePtr>& arrChildren);

    // Listers at work, the most there were.
    std::size_t GetMostListers() const;

private:
    struct SKeyLess {
        bool operator()(const CNodePtr& a, const CNodePtr& b) const;
    };

    // Quick listings in a row after which a lister stops.
    static constexpr std::size_t QUICK_TO_SHRINK = 8;

    void List(CNode& node, std::vector<std::uint64_t>& arrBuffer) const;
    CWaitGauge::EVerdict ListUnlocked(CNode& node, std::vector<std::uint64_t>& arrBuffer,
                                      CWaitGauge& gauge, std::unique_lock<std::mutex>& lock);
    void Finish(const CNodePtr& pNode);
    void Queue(const CNodePtr& pParent, const CSharedFd& pFd, const std::string& strName,
               std::size_t nIndex, CNodePtr& pChild);
    void MarkTaken(CNode& node);
    bool IsWantedQueued() const;
    bool HasFolderToList() const;
    void Grow();
    void RunLister(std::size_t nIndex);

    CFileOps& m_ops;
    CThreadStarter& m_starter;
    const std::string m_strPattern;
    const std::size_t m_nMaxListers;
    const std::size_t m_nMaxAhead;
    std::vector<std::uint64_t> m_arrBuffer = std::vector<std::uint64_t>(4096); // the walk's
    mutable std::mutex m_mutex;
    std::condition_variable m_cvWork;   // listers wait for a folder to list
    std::condition_variable m_cvParked; // listers beyond the active ones wait for a grow
    std::condition_variable m_cvDone;   // the walk waits for m_pWanted
    std::set<CNodePtr, SKeyLess> m_setQueued;
    CNodePtr m_pWanted;       // the folder the walk waits for
    std::size_t m_nAhead = 0; // listed or being listed by listers and not taken yet
    std::size_t m_nActive = 0;
    bool m_bStopping = false;
    std::vector<std::thread> m_arrListers;
};
