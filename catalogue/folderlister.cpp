// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/folderlister.h"

#include "catalogue/backgroundthread.h"
#include "catalogue/mutexlock.h"
#include "catalogue/waitgauge.h"

#include <fcntl.h>
#include <utility>

CFolderLister::CFolderLister(CFileOps& ops, std::string strPattern, std::size_t nMaxListers,
                             std::size_t nMaxAhead, CThreadStarter& starter,
                             const std::atomic<bool>* pStop)
    : m_ops(ops), m_strPattern(std::move(strPattern)), m_pStop(pStop), m_queue(nMaxAhead),
      m_listers(nMaxListers, starter, [this](std::size_t nIndex) { RunLister(nIndex); }) {
}

CFolderLister::~CFolderLister() {
    {
        const CMutexLock lock(m_mutex);
        m_listers.Stop();
        m_queue.Clear();
    }
    m_cvWork.notify_all();
    m_cvParked.notify_all();
}

CFolderLister::CNodePtr CFolderLister::QueueRoot(std::string strPath) {
    const CMutexLock lock(m_mutex);
    CNodePtr pRoot = m_queue.QueueRoot(std::move(strPath));
    Grow(); // the first lister
    m_cvWork.notify_one();
    return pRoot;
}

void CFolderLister::QueueChildren(const CNodePtr& pParent, const CSharedFd& pFd,
                                  const std::vector<std::string>& arrFolders, std::size_t nFirst,
                                  std::vector<CNodePtr>& arrChildren) {
    const CMutexLock lock(m_mutex);
    m_queue.QueueChildren(pParent, pFd, arrFolders, nFirst, arrChildren);
    m_cvWork.notify_all();
}

void CFolderLister::List(const CListingQueue::STask& task, std::vector<std::uint64_t>& arrBuffer,
                         SFolderListing& listing) const {
    const int nAt = task.pParent ? task.pParent->Get() : AT_FDCWD;
    ListFolder(m_ops, nAt, task.strName, m_strPattern, arrBuffer, listing);
}

bool CFolderLister::Take(const CNodePtr& pNode, SListing& listing,
                         std::chrono::milliseconds tWait) {
    CMutexLock lock(m_mutex);
    // Without a lister, no one else would ever list it.
    if (m_queue.IsQueued(pNode) && m_listers.GetStarted() == 0) {
        SFolderListing listed;
        List(m_queue.Begin(pNode), m_arrBuffer, listed);
        m_queue.Finish(pNode, std::move(listed), false);
    }
    if (!m_queue.IsListed(pNode)) {
        m_queue.SetWanted(pNode);
        m_cvWork.notify_all(); // a lister held back by the listings ahead may take it
        const auto tDeadline = std::chrono::steady_clock::now() + tWait;
        while (!m_queue.IsListed(pNode) && lock.WaitUntil(m_cvDone, tDeadline)) {
        }
        m_queue.SetWanted(nullptr);
        if (!m_queue.IsListed(pNode)) {
            return false;
        }
    }
    if (m_queue.Take(pNode, listing)) {
        m_cvWork.notify_one();
    }
    return true;
}

CFolderLister::CNodePtr CFolderLister::Unqueue(CNodePtr pNode) {
    const CMutexLock lock(m_mutex);
    return m_queue.Unqueue(std::move(pNode));
}

void CFolderLister::Release(std::vector<CNodePtr>& arrChildren) {
    const CMutexLock lock(m_mutex);
    if (m_queue.Release(arrChildren)) {
        m_cvWork.notify_one();
    }
}

std::size_t CFolderLister::GetMostListers() const {
    const CMutexLock lock(m_mutex);
    return m_listers.GetStarted();
}

// The listers there are go on alone when no more can be started.
void CFolderLister::Grow() {
    m_listers.Grow();
    m_cvParked.notify_all();
}

// A listing is made without the lock, so that the walk and the other listers go on; listers are
// added while listings wait, and given back while they come quick.
void CFolderLister::RunLister(std::size_t nIndex) {
    LowerThisThreadPriority();
    std::vector<std::uint64_t> arrBuffer(4096);
    CWaitGauge gauge;
    std::size_t nQuickInARow = 0;
    CMutexLock lock(m_mutex);
    for (;;) {
        while (!m_listers.IsStopping() &&
               (m_listers.IsParked(nIndex) || !m_queue.HasFolderToList() ||
                (m_pStop != nullptr && m_pStop->load()))) {
            lock.Wait(m_listers.IsParked(nIndex) ? m_cvParked : m_cvWork);
        }
        if (m_listers.IsStopping()) {
            return;
        }
        CListingQueue::STask task = m_queue.Next();
        lock.Unlock();
        gauge.Begin();
        SFolderListing listing;
        List(task, arrBuffer, listing);
        task.pParent.reset();
        const CWaitGauge::EVerdict verdict = gauge.End();
        lock.Lock();
        if (gauge.KeepsWaiting(verdict)) {
            Grow();
        }
        nQuickInARow = verdict == CWaitGauge::EVerdict::Quick ? nQuickInARow + 1 : 0;
        if (nQuickInARow >= QUICK_TO_SHRINK && m_listers.GetActive() > 1) {
            // Quick folders need no second lister.
            m_listers.Shrink(1);
            nQuickInARow = 0;
        }
        if (m_queue.Finish(task.pNode, std::move(listing), m_listers.GetActive() > 0)) {
            m_cvWork.notify_all();
        }
        if (m_queue.IsWanted(task.pNode)) {
            m_cvDone.notify_one();
        }
    }
}
