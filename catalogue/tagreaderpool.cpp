// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagreaderpool.h"

#include "catalogue/backgroundthread.h"
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
                               CThreadStarter& starter)
    : m_nMaxReaders(nMaxReaders), m_nMaxPending(nMaxPending > 0 ? nMaxPending : 1), m_ops(ops),
      m_starter(starter) {
    const std::size_t nProcessors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t nFewest = std::min(nMaxReaders, std::max<std::size_t>(nProcessors - 1, 1));
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_arrReaders.reserve(nMaxReaders);
    while (m_arrReaders.size() < nFewest && StartReader()) {
    }
    m_nFewest = m_arrReaders.size();
    m_nActive = m_nFewest;
    // Reads left to readers that never came would wait for ever.
    m_bInline = m_arrReaders.empty();
}

CTagReaderPool::~CTagReaderPool() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    m_cvWork.notify_all();
    m_cvParked.notify_all();
    for (std::thread& reader : m_arrReaders) {
        reader.join();
    }
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
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_arrSlots.push_back({std::move(read), bInline});
    if (bInline) {
        ++m_nNextToBegin;
        ++m_nFinished;
    } else if (m_nIdleReaders > 0 && Unbegun() >= WAKE_BATCH) {
        m_cvWork.notify_one();
    }
}

bool CTagReaderPool::IsFull() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_arrSlots.size() >= m_nMaxPending;
}

bool CTagReaderPool::IsEmpty() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_arrSlots.empty();
}

void CTagReaderPool::TakeFinished(std::vector<STagRead>& arrDone, std::chrono::milliseconds tWait,
                                  std::size_t nAtLeast) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_arrSlots.empty() && tWait.count() > 0) {
        m_nWanted = std::min(std::max<std::size_t>(nAtLeast, 1), m_arrSlots.size());
        if (!IsTakeable()) {
            // Reads submitted below the wake-up batch may still wait for a reader.
            if (m_nIdleReaders > 0 && Unbegun() > 0) {
                m_cvWork.notify_all();
            }
            m_cvFinished.wait_for(lock, tWait, [this] { return IsTakeable(); });
        }
        m_nWanted = 0;
    }
    while (!m_arrSlots.empty() && m_arrSlots.front().bDone) {
        arrDone.push_back(std::move(m_arrSlots.front().read));
        m_arrSlots.pop_front();
        --m_nNextToBegin;
        --m_nFinished;
    }
}

void CTagReaderPool::CancelPending() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_arrSlots.resize(m_nNextToBegin);
}

std::size_t CTagReaderPool::GetActiveReaders() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_nActive;
}

std::size_t CTagReaderPool::GetMostReaders() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_arrReaders.size();
}

// Called with the lock held; false when no thread could be started.
bool CTagReaderPool::StartReader() {
    const std::size_t nIndex = m_arrReaders.size();
    std::thread reader = m_starter.Start([this, nIndex] { RunReader(nIndex); });
    if (!reader.joinable()) {
        return false;
    }
    m_arrReaders.push_back(std::move(reader)); // reserved: never throws
    return true;
}

// Doubling reaches a server's pace in a few reads; called with the lock held. The pool goes on
// with the readers it has when no more can be started.
void CTagReaderPool::Grow() {
    if (m_bStopping || m_nActive >= m_nMaxReaders) {
        return;
    }
    m_nActive = std::min(m_nMaxReaders, m_nActive * 2);
    while (m_arrReaders.size() < m_nActive) {
        if (!StartReader()) {
            m_nActive = m_arrReaders.size();
            break;
        }
    }
    m_cvParked.notify_all();
}

// A reader takes its share of the waiting reads at once, so that a deep queue costs one lock per
// batch rather than per file, while a shallow one still spreads over every reader.
void CTagReaderPool::RunReader(std::size_t nIndex) {
    LowerThisThreadPriority();
    std::vector<SSlot*> arrTaken;
    arrTaken.reserve(MAX_TAKE);
    CWaitGauge gauge;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        while (!m_bStopping && (nIndex >= m_nActive || Unbegun() == 0)) {
            if (nIndex >= m_nActive) {
                m_cvParked.wait(lock);
                continue;
            }
            ++m_nIdleReaders;
            m_cvWork.wait(lock);
            --m_nIdleReaders;
        }
        if (m_bStopping) {
            return;
        }
        // A grown pool waits on each read: one read at a time costs a lock per read, which is
        // nothing beside the wait, and leaves no batch of slow reads for a stopped scan to wait
        // for.
        const std::size_t nShare = (Unbegun() + m_nActive - 1) / m_nActive;
        const std::size_t nMost = m_nActive > m_nFewest ? 1 : MAX_TAKE;
        arrTaken.clear();
        for (std::size_t i = 0; i < std::min(nShare, nMost); ++i) {
            arrTaken.push_back(&m_arrSlots[m_nNextToBegin++]);
        }
        lock.unlock();
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
            const std::lock_guard<std::mutex> doneLock(m_mutex);
            if (bGrow) {
                Grow();
            }
            MarkDone(arrTaken, nMarked, i + 1);
        }
        lock.lock();
        if (bAllQuick && arrTaken.size() >= SHRINK_BATCH && m_nActive > m_nFewest) {
            --m_nActive;
        }
        MarkDone(arrTaken, nMarked, arrTaken.size());
    }
}

// Called with the lock held.
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
