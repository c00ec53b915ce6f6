// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/listingqueue.h"
#include "catalogue/mutex.h"
#include "catalogue/threadsafety.h"
#include "catalogue/threadstarter.h"
#include "catalogue/workergroup.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CFileOps;

// Lists the folders of a scan ahead of its walk, several at once, on threads of its own: on a
// file server every open and every listing is a round trip, and a walk that lists one folder at
// a time leaves the readers waiting. The order and the limits are the queue's; this class adds
// the listers. The walk lists nothing itself, so that a folder of tens of thousands of files
// never holds it up (it waits a bounded time and may report progress): one lister runs from the
// start, and listers double while their listings wait, up to nMaxListers. Listers that cannot
// be started are done without; with none at all, the walk lists each folder itself.
class CFolderLister {
public:
    using CSharedFd = CListingQueue::CSharedFd;
    using CNodePtr = CListingQueue::CNodePtr;
    using SEntry = SFolderListing::SEntry;
    using SListing = CListingQueue::SListing;

    // With nMaxListers 0 every folder is listed when the walk takes it.
    // Once *pStop is set, listers begin no more listings.
    CFolderLister(CFileOps& ops, std::string strPattern, std::size_t nMaxListers,
                  std::size_t nMaxAhead, CThreadStarter& starter = CThreadStarter::Default(),
                  const std::atomic<bool>* pStop = nullptr);
    ~CFolderLister();
    CFolderLister(const CFolderLister&) = delete;
    CFolderLister& operator=(const CFolderLister&) = delete;

    // As the queue's.
    CNodePtr QueueRoot(std::string strPath);
    void QueueChildren(const CNodePtr& pParent, const CSharedFd& pFd,
                       const std::vector<std::string>& arrFolders, std::size_t nFirst,
                       std::vector<CNodePtr>& arrChildren);
    // Moves the folder's listing to listing once it is ready, waiting at most tWait for a lister
    // (without listers the folder is listed at once on the calling thread). False when the wait
    // ran out.
    bool Take(const CNodePtr& pNode, SListing& listing, std::chrono::milliseconds tWait);
    CNodePtr Unqueue(CNodePtr pNode);
    void Release(std::vector<CNodePtr>& arrChildren);

    // Listers at work, the most there were.
    std::size_t GetMostListers() const;

private:
    // Quick listings in a row after which a lister stops.
    static constexpr std::size_t QUICK_TO_SHRINK = 8;

    void List(const CListingQueue::STask& task, std::vector<std::uint64_t>& arrBuffer,
              SFolderListing& listing) const;
    void Grow() REQUIRES(m_mutex);
    void RunLister(std::size_t nIndex);

    CFileOps& m_ops;
    const std::string m_strPattern;
    const std::atomic<bool>* const m_pStop;
    std::vector<std::uint64_t> m_arrBuffer = std::vector<std::uint64_t>(4096); // the walk's
    mutable CMutex m_mutex;
    std::condition_variable m_cvWork;   // listers wait for a folder to list
    std::condition_variable m_cvParked; // listers beyond the active ones wait for a grow
    std::condition_variable m_cvDone;   // the walk waits for the folder it wants
    CListingQueue m_queue GUARDED_BY(m_mutex);
    // Last, so that the listers are gone before what they use.
    CWorkerGroup m_listers GUARDED_BY(m_mutex);
};
