// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/scanjob.h"

#include "catalogue/backgroundthread.h"
#include "catalogue/folderwalk.h"
#include "catalogue/keptindex.h"
#include "catalogue/mutex.h"
#include "catalogue/mutexlock.h"
#include "catalogue/threadsafety.h"

#include <atomic>
#include <condition_variable>
#include <iterator>
#include <utility>

#include <pthread.h>

struct CScanJob::SShared {
    std::atomic<bool> bStopRequested{false};
    mutable CMutex mutex;
    mutable std::condition_variable cvEnded;
    std::function<void()> fnReady GUARDED_BY(mutex); // emptied when the owner goes
    std::vector<CTrackInfo> arrWaiting GUARDED_BY(mutex);
    std::vector<std::size_t> arrOrder GUARDED_BY(mutex); // only when checking a kept catalogue
    std::vector<std::pair<std::size_t, SFileIdentity>> arrRenumbered GUARDED_BY(mutex);
    bool bEnded GUARDED_BY(mutex) = false;
    bool bStopped GUARDED_BY(mutex) = false; // the walk ended early
    std::size_t nUnopened GUARDED_BY(mutex) = 0;

    // Hands records over; the owner is told only when the waiting list was empty, so that a
    // slow owner gets one call for many batches.
    // The owner is told under the lock, so that it is never told once it has gone.
    void Hand(std::vector<CTrackInfo>& arrRecords, std::vector<std::size_t>& arrFileOrder,
              std::vector<std::pair<std::size_t, SFileIdentity>>& arrFileRenumbered) {
        const CMutexLock lock(mutex);
        const bool bWasEmpty = arrWaiting.empty() && arrOrder.empty();
        Append(arrRecords, arrWaiting);
        Append(arrFileOrder, arrOrder);
        Append(arrFileRenumbered, arrRenumbered);
        if (bWasEmpty && fnReady) {
            fnReady();
        }
    }

    template <typename T> static void Append(std::vector<T>& arrFrom, std::vector<T>& arrTo) {
        if (arrTo.empty()) {
            arrTo.swap(arrFrom);
        } else {
            std::move(arrFrom.begin(), arrFrom.end(), std::back_inserter(arrTo));
        }
        arrFrom.clear();
    }

    void End(bool bWalkStopped, std::size_t nWalkUnopened) {
        const CMutexLock lock(mutex);
        bEnded = true;
        nUnopened = nWalkUnopened;
        bStopped = bWalkStopped || bStopRequested;
        cvEnded.notify_all();
        if (fnReady) {
            fnReady();
        }
    }
};

namespace {

// Makes the records on the scan's thread and hands them over at each progress report: the owner
// then takes a few thousand at a time rather than one. With a kept catalogue, files it still
// shows become its records' indexes instead.
class CBatchSink final : public CFolderWalk::CSink {
public:
    using CRenumbered = std::vector<std::pair<std::size_t, SFileIdentity>>;
    using CHand =
        std::function<void(std::vector<CTrackInfo>&, std::vector<std::size_t>&, CRenumbered&)>;

    CBatchSink(CHand fnHand, const std::atomic<bool>& bStop, const CTagCodec& codec,
               const CKeptIndex* pKept)
        : m_fnHand(std::move(fnHand)), m_bStop(bStop), m_codec(codec), m_pKept(pKept) {}

    void OnQueue(STagRead& read) override {
        if (m_pKept) {
            read.pKnown = m_pKept->Find(read.location.Get(), read.strName);
        }
    }
    void OnFile(STagRead&& read) override {
        if (read.bUnchanged) {
            const std::size_t nKept = m_pKept->IndexOf(read.pKnown);
            m_arrOrder.push_back(nKept);
            if (read.block.m_identity != read.pKnown->m_identity) {
                m_arrRenumbered.emplace_back(nKept, read.block.m_identity);
            }
            return;
        }
        m_arrBatch.emplace_back(std::move(read.location), std::move(read.strName), read.block,
                                m_codec);
        if (m_pKept) {
            m_arrOrder.push_back(CScanJob::READ_AGAIN);
        }
    }
    bool OnProgress() override {
        Flush();
        return !m_bStop;
    }
    const std::atomic<bool>* GetStopRequest() const override { return &m_bStop; }
    void Flush() {
        if (!m_arrBatch.empty() || !m_arrOrder.empty()) {
            m_fnHand(m_arrBatch, m_arrOrder, m_arrRenumbered);
        }
    }

private:
    CHand m_fnHand;
    const std::atomic<bool>& m_bStop;
    const CTagCodec& m_codec;
    const CKeptIndex* const m_pKept;
    std::vector<CTrackInfo> m_arrBatch;
    std::vector<std::size_t> m_arrOrder;
    CRenumbered m_arrRenumbered;
};

} // namespace

CScanJob::CScanJob(SScanRequest request, CFileOps& ops, std::function<void()> fnReady,
                   CThreadStarter& starter)
    : m_pShared(std::make_shared<SShared>()),
      m_worker(
          1, starter,
          [pShared = m_pShared, request, &ops](std::size_t) {
              // Named so that a look at the process (top -H, /proc) tells a scan still running.
              pthread_setname_np(pthread_self(), "folder-scan");
              // The walk makes the records of a million files: at the window's priority it took
              // half the processors whenever the window wanted them, and a paint waited a tenth
              // of a second.
              LowerThisThreadPriority();
              Run(pShared, request, ops);
          },
          CWorkerGroup::EEnd::Abandon) {
    {
        const CMutexLock lock(m_pShared->mutex);
        m_pShared->fnReady = std::move(fnReady);
    }
    if (m_worker.SetActive(1) == 0) {
        // No thread to be had: the scan runs here, and the owner takes it whole.
        Run(m_pShared, request, ops);
    }
}

CScanJob::~CScanJob() {
    Stop();
    const CMutexLock lock(m_pShared->mutex);
    m_pShared->fnReady = nullptr;
}

void CScanJob::Run(const std::shared_ptr<SShared>& pShared, const SScanRequest& request,
                   CFileOps& ops) {
    bool bWalkStopped = false;
    std::size_t nUnopened = 0;
    {
        CBatchSink sink(
            [&pShared](std::vector<CTrackInfo>& arrBatch, std::vector<std::size_t>& arrOrder,
                       CBatchSink::CRenumbered& arrRenumbered) {
                pShared->Hand(arrBatch, arrOrder, arrRenumbered);
            },
            pShared->bStopRequested, request.codec, request.pKept.get());
        // The empty path stands for the root: its files get the empty location.
        const std::string strOpen = request.strFolder.empty() ? "/" : request.strFolder;
        CFolderWalk walk(sink, request.strPattern, request.nReaders, ops);
        walk.Walk(request.strFolder, strOpen.c_str());
        sink.Flush();
        bWalkStopped = walk.WasStopped();
        nUnopened = walk.GetUnopenedCount();
    }
    pShared->End(bWalkStopped, nUnopened);
}

bool CScanJob::Take(std::vector<CTrackInfo>& arrRecords) {
    const CMutexLock lock(m_pShared->mutex);
    SShared::Append(m_pShared->arrWaiting, arrRecords);
    return m_pShared->bEnded;
}

bool CScanJob::Take(std::vector<CTrackInfo>& arrRecords, std::vector<std::size_t>& arrOrder,
                    std::vector<std::pair<std::size_t, SFileIdentity>>& arrRenumbered) {
    const CMutexLock lock(m_pShared->mutex);
    SShared::Append(m_pShared->arrWaiting, arrRecords);
    SShared::Append(m_pShared->arrOrder, arrOrder);
    SShared::Append(m_pShared->arrRenumbered, arrRenumbered);
    return m_pShared->bEnded;
}

void CScanJob::Stop() {
    m_pShared->bStopRequested = true;
}

bool CScanJob::WasStopped() const {
    const CMutexLock lock(m_pShared->mutex);
    return m_pShared->bStopped;
}

std::size_t CScanJob::GetUnopenedCount() const {
    const CMutexLock lock(m_pShared->mutex);
    return m_pShared->nUnopened;
}

bool CScanJob::Wait(std::chrono::milliseconds tLimit) const {
    const auto tDeadline = std::chrono::steady_clock::now() + tLimit;
    CMutexLock lock(m_pShared->mutex);
    while (!m_pShared->bEnded && lock.WaitUntil(m_pShared->cvEnded, tDeadline)) {
    }
    return m_pShared->bEnded;
}
