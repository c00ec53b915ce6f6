// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagreaderpool.h"

#include "catalogue/backgroundthread.h"
#include "catalogue/mutexlock.h"
#include "catalogue/posixio.h"
#include "catalogue/waitgauge.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

// Readers that find their files in memory only compete for the processors, the walk's included:
// the pool starts with one reader less than there are processors, and adds readers only while
// reads wait.
CTagReaderPool::CTagReaderPool(std::size_t nMaxReaders, std::size_t nMaxPending, CFileOps& ops,
                               CThreadStarter& starter, const std::atomic<bool>* pStop)
    : m_nMaxPending(nMaxPending > 0 ? nMaxPending : 1), m_ops(ops), m_pStop(pStop),
      m_readers(nMaxReaders, starter, [this](std::size_t nIndex) { RunReader(nIndex); }) {
    const std::size_t nProcessors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t nFewest = std::min(nMaxReaders, std::max<std::size_t>(nProcessors - 1, 1));
    const CMutexLock lock(m_mutex);
    m_nFewest = m_readers.SetActive(nFewest);
    // Reads left to readers that never came would wait for ever.
    m_bInline = m_nFewest == 0;
}

CTagReaderPool::~CTagReaderPool() {
    {
        const CMutexLock lock(m_mutex);
        m_readers.Stop();
    }
    m_cvWork.notify_all();
    m_cvParked.notify_all();
}

void CTagReaderPool::Read(STagRead& read, CFileOps& ops) {
    if (!read.bMayBeFile) {
        return;
    }
    const int nAt = read.pFolder ? read.pFolder->Get() : -1;
    // A look costs a fraction of a read, and on a file server one round trip instead of three.
    struct stat st;
    if (read.pKnown && ops.FstatAt(nAt >= 0 ? nAt : AT_FDCWD, read.strName.c_str(), &st) == 0 &&
        read.pKnown->HasSameContent(st)) {
        read.bUnchanged = true;
        read.block.m_identity = SFileIdentity::Of(st);
        read.block.m_stamp = SFileStamp::Of(st);
        return;
    }
    read.block = CTagBlock::Read(nAt, read.strName.c_str(), ops, read.bListedAsFile);
}

void CTagReaderPool::Submit(STagRead read) {
    const bool bInline = m_bInline;
    if (bInline) {
        Read(read, m_ops);
    }
    const CFileDescriptor* const pFolder = read.pFolder.get();
    const CMutexLock lock(m_mutex);
    m_arrSlots.push_back({std::move(read), bInline});
    if (bInline) {
        ++m_nFinished;
        return;
    }
    const std::size_t nPlace = m_nHandedBack + m_arrSlots.size() - 1;
    if (m_arrRuns.empty() || m_arrRuns.back().pFolder != pFolder ||
        m_arrRuns.back().nEnd != nPlace) {
        m_arrRuns.push_back({pFolder, nPlace, nPlace});
    }
    ++m_arrRuns.back().nEnd;
    ++m_nUnbegun;
    if (m_nIdleReaders > 0 && Unbegun() >= WAKE_BATCH) {
        m_cvWork.notify_one();
    }
}

bool CTagReaderPool::IsFull() const {
    const CMutexLock lock(m_mutex);
    return m_arrSlots.size() >= m_nMaxPending;
}

bool CTagReaderPool::IsEmpty() const {
    const CMutexLock lock(m_mutex);
    return m_arrSlots.empty();
}

void CTagReaderPool::TakeFinished(std::vector<STagRead>& arrDone, std::chrono::milliseconds tWait,
                                  std::size_t nAtLeast) {
    CMutexLock lock(m_mutex);
    if (!m_arrSlots.empty() && tWait.count() > 0) {
        m_nWanted = std::min(std::max<std::size_t>(nAtLeast, 1), m_arrSlots.size());
        if (!IsTakeable()) {
            // Reads submitted below the wake-up batch may still wait for a reader.
            if (m_nIdleReaders > 0 && Unbegun() > 0) {
                m_cvWork.notify_all();
            }
            const auto tDeadline = std::chrono::steady_clock::now() + tWait;
            while (!IsTakeable() && lock.WaitUntil(m_cvFinished, tDeadline)) {
            }
        }
        m_nWanted = 0;
    }
    while (!m_arrSlots.empty() && m_arrSlots.front().bDone) {
        if (!m_arrSlots.front().bDropped) {
            arrDone.push_back(std::move(m_arrSlots.front().read));
        }
        m_arrSlots.pop_front();
        ++m_nHandedBack;
        --m_nFinished;
    }
}

void CTagReaderPool::CancelPending() {
    const CMutexLock lock(m_mutex);
    if (m_arrRuns.empty()) {
        return;
    }
    const std::size_t nEnd = m_nHandedBack + m_arrSlots.size();
    for (std::size_t nPlace = m_arrRuns.front().nNext; nPlace < nEnd; ++nPlace) {
        SlotAt(nPlace).bDropped = true;
    }
    for (const SFolderRun& run : m_arrRuns) {
        for (std::size_t nPlace = run.nNext; nPlace < run.nEnd; ++nPlace) {
            SlotAt(nPlace).bDone = true;
            ++m_nFinished;
        }
    }
    m_arrRuns.clear();
    m_nTurn = 0;
    m_nUnbegun = 0;
}

std::size_t CTagReaderPool::GetActiveReaders() const {
    const CMutexLock lock(m_mutex);
    return m_readers.GetActive();
}

std::size_t CTagReaderPool::GetMostReaders() const {
    const CMutexLock lock(m_mutex);
    return m_readers.GetStarted();
}

// A reader takes its share of the waiting reads at once, so that a deep queue costs one lock per
// batch rather than per file, while a shallow one still spreads over every reader.
void CTagReaderPool::RunReader(std::size_t nIndex) {
    LowerThisThreadPriority();
    std::vector<SSlot*> arrTaken;
    arrTaken.reserve(MAX_TAKE);
    CWaitGauge gauge;
    CMutexLock lock(m_mutex);
    for (;;) {
        // Stopped, the reads not begun wait for the walk to cancel them; a submit wakes the
        // reader again, to wait again.
        while (!m_readers.IsStopping() &&
               (m_readers.IsParked(nIndex) || Unbegun() == 0 || IsStopped())) {
            if (m_readers.IsParked(nIndex)) {
                lock.Wait(m_cvParked);
                continue;
            }
            ++m_nIdleReaders;
            lock.Wait(m_cvWork);
            --m_nIdleReaders;
        }
        if (m_readers.IsStopping()) {
            return;
        }
        arrTaken.clear();
        TakeReads(arrTaken);
        lock.Unlock();
        bool bAllQuick = true;
        std::size_t nMarked = 0; // reads of the batch already handed back as done
        for (std::size_t i = 0; i < arrTaken.size(); ++i) {
            gauge.Begin();
            Read(arrTaken[i]->read, m_ops);
            const CWaitGauge::EVerdict verdict = gauge.End();
            if (verdict == CWaitGauge::EVerdict::Quick) {
                continue;
            }
            // A slow read is handed back at once: the walk files in order, and a batch of slow
            // reads would hold the front of the queue, and the running count, for its whole time.
            bAllQuick = false;
            const bool bGrow = gauge.KeepsWaiting(verdict);
            const CMutexLock doneLock(m_mutex);
            if (bGrow && m_readers.Grow() > 0) {
                m_cvParked.notify_all();
            }
            MarkDone(arrTaken, nMarked, i + 1);
        }
        lock.Lock();
        if (bAllQuick && arrTaken.size() >= SHRINK_BATCH) {
            m_readers.Shrink(m_nFewest);
        }
        MarkDone(arrTaken, nMarked, arrTaken.size());
    }
}

// A grown pool waits on each read: one read at a time costs a lock per read, which is nothing
// beside the wait, and leaves no batch of slow reads for a stopped scan to wait for. Its readers
// take from each folder in turn; the others take the front reads, in order.
void CTagReaderPool::TakeReads(std::vector<SSlot*>& arrTaken) {
    const std::size_t nActive = m_readers.GetActive();
    if (nActive > m_nFewest) {
        if (m_nTurn >= m_arrRuns.size()) {
            m_nTurn = 0;
        }
        const std::size_t nRuns = m_arrRuns.size();
        arrTaken.push_back(&Begin(m_nTurn));
        m_nTurn += m_arrRuns.size() == nRuns ? 1 : 0;
        return;
    }
    const std::size_t nShare = (Unbegun() + nActive - 1) / nActive;
    for (std::size_t i = 0; i < std::min(nShare, MAX_TAKE); ++i) {
        arrTaken.push_back(&Begin(0));
    }
}

CTagReaderPool::SSlot& CTagReaderPool::Begin(std::size_t nRun) {
    SFolderRun& run = m_arrRuns[nRun];
    SSlot& slot = SlotAt(run.nNext++);
    --m_nUnbegun;
    if (run.nNext == run.nEnd) {
        m_arrRuns.erase(m_arrRuns.begin() + static_cast<std::ptrdiff_t>(nRun));
        m_nTurn -= m_nTurn > nRun ? 1 : 0;
    }
    return slot;
}

void CTagReaderPool::MarkDone(const std::vector<SSlot*>& arrTaken, std::size_t& nMarked,
                              std::size_t nEnd) {
    for (; nMarked < nEnd; ++nMarked) {
        arrTaken[nMarked]->bDone = true;
        ++m_nFinished;
    }
    if (m_nWanted > 0 && IsTakeable()) {
        m_cvFinished.notify_one();
    }
}
