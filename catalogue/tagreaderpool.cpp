// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagreaderpool.h"

#include "catalogue/posixio.h"

#include <algorithm>
#include <sys/resource.h>
#include <utility>

// Readers that find their files in memory only compete for the processors, the walk's included:
// the pool starts with one reader less than there are processors, and adds readers only while
// reads wait for a disk.
CTagReaderPool::CTagReaderPool(std::size_t nMaxReaders, std::size_t nMaxPending)
    : m_nMaxReaders(nMaxReaders), m_nMaxPending(nMaxPending > 0 ? nMaxPending : 1) {
    const std::size_t nProcessors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t nStart = std::min(nMaxReaders, std::max<std::size_t>(nProcessors - 1, 1));
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_arrReaders.reserve(nMaxReaders);
    for (std::size_t i = 0; i < nStart; ++i) {
        m_arrReaders.emplace_back([this] { RunReader(); });
    }
}

CTagReaderPool::~CTagReaderPool() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    m_cvWork.notify_all();
    for (std::thread& reader : m_arrReaders) {
        reader.join();
    }
}

void CTagReaderPool::Read(STagRead& read) {
    if (read.bMayBeFile) {
        read.block = CTagBlock::Read(read.pFolder ? read.pFolder->Get() : -1, read.strName.c_str(),
                                     CFileOps::Current(), read.bListedAsFile);
    }
}

void CTagReaderPool::Submit(STagRead read) {
    const bool bInline = m_nMaxReaders == 0;
    if (bInline) {
        Read(read);
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

// Blocks the calling thread had to read from a disk so far: none when everything it read was in
// memory already.
long CTagReaderPool::BlocksReadByThisThread() {
    struct rusage usage {};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_inblock;
}

// A reader takes its share of the waiting reads at once, so that a deep queue costs one lock per
// batch rather than per file, while a shallow one still spreads over every reader.
void CTagReaderPool::RunReader() {
    std::vector<SSlot*> arrTaken;
    arrTaken.reserve(MAX_TAKE);
    long nBlocksSeen = BlocksReadByThisThread();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        while (!m_bStopping && Unbegun() == 0) {
            ++m_nIdleReaders;
            m_cvWork.wait(lock);
            --m_nIdleReaders;
        }
        if (m_bStopping) {
            return;
        }
        const std::size_t nShare = (Unbegun() + m_arrReaders.size() - 1) / m_arrReaders.size();
        arrTaken.clear();
        for (std::size_t i = 0; i < std::min(nShare, MAX_TAKE); ++i) {
            arrTaken.push_back(&m_arrSlots[m_nNextToBegin++]);
        }
        lock.unlock();
        const auto tStart = std::chrono::steady_clock::now();
        for (SSlot* pSlot : arrTaken) {
            Read(pSlot->read);
        }
        // Reads from memory are quick; only slower ones are worth asking the system about.
        bool bFromDisk = false;
        if (std::chrono::steady_clock::now() - tStart >= QUICK_READ * arrTaken.size()) {
            const long nBlocks = BlocksReadByThisThread();
            bFromDisk = nBlocks != nBlocksSeen;
            nBlocksSeen = nBlocks;
        }
        lock.lock();
        if (bFromDisk && !m_bStopping && m_arrReaders.size() < m_nMaxReaders) {
            m_arrReaders.emplace_back([this] { RunReader(); });
        }
        for (SSlot* pSlot : arrTaken) {
            pSlot->bDone = true;
        }
        m_nFinished += arrTaken.size();
        if (m_nWanted > 0 && IsTakeable()) {
            m_cvFinished.notify_one();
        }
    }
}
