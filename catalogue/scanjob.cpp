// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/scanjob.h"

#include "catalogue/folderwalk.h"

#include <atomic>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include <pthread.h>

struct CScanJob::SShared {
    std::atomic<bool> bStopRequested{false};
    mutable std::mutex mutex;
    mutable std::condition_variable cvEnded;
    std::function<void()> fnReady;      // guarded by mutex; emptied when the owner goes
    std::vector<CTrackInfo> arrWaiting; // guarded by mutex
    bool bEnded = false;                // guarded by mutex
    bool bStopped = false;              // guarded by mutex: the walk ended early
    std::size_t nUnopened = 0;          // guarded by mutex

    // Hands records over; the owner is told only when the waiting list was empty, so that a
    // slow owner gets one call for many batches.
    // The owner is told under the lock, so that it is never told once it has gone.
    void Hand(std::vector<CTrackInfo>& arrRecords) {
        const std::lock_guard<std::mutex> lock(mutex);
        const bool bWasEmpty = arrWaiting.empty();
        if (bWasEmpty) {
            arrWaiting.swap(arrRecords);
        } else {
            std::move(arrRecords.begin(), arrRecords.end(), std::back_inserter(arrWaiting));
        }
        arrRecords.clear();
        if (bWasEmpty && fnReady) {
            fnReady();
        }
    }

    void End(bool bWalkStopped, std::size_t nWalkUnopened) {
        const std::lock_guard<std::mutex> lock(mutex);
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
// then takes a few thousand at a time rather than one.
class CBatchSink final : public CFolderWalk::CSink {
public:
    CBatchSink(std::function<void(std::vector<CTrackInfo>&)> fnHand, const std::atomic<bool>& bStop,
               const CTagCodec& codec)
        : m_fnHand(std::move(fnHand)), m_bStop(bStop), m_codec(codec) {}

    void OnFile(STagRead&& read) override {
        m_arrBatch.emplace_back(std::move(read.pLocation), std::move(read.strName), read.block,
                                m_codec);
    }
    bool OnProgress() override {
        Flush();
        return !m_bStop;
    }
    void Flush() {
        if (!m_arrBatch.empty()) {
            m_fnHand(m_arrBatch);
        }
    }

private:
    std::function<void(std::vector<CTrackInfo>&)> m_fnHand;
    const std::atomic<bool>& m_bStop;
    const CTagCodec& m_codec;
    std::vector<CTrackInfo> m_arrBatch;
};

} // namespace

CScanJob::CScanJob(SScanRequest request, CFileOps& ops, std::function<void()> fnReady)
    : m_pShared(std::make_shared<SShared>()) {
    m_pShared->fnReady = std::move(fnReady);
    try {
        // A copy of the request: the original stays for the fallback below.
        std::thread([pShared = m_pShared, request, &ops] { Run(pShared, request, ops); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the scan runs here, and the owner takes it whole.
        Run(m_pShared, request, ops);
    }
}

CScanJob::~CScanJob() {
    Stop();
    const std::lock_guard<std::mutex> lock(m_pShared->mutex);
    m_pShared->fnReady = nullptr;
}

void CScanJob::Run(const std::shared_ptr<SShared>& pShared, const SScanRequest& request,
                   CFileOps& ops) {
    // Named so that a look at the process (top -H, /proc) tells a scan still running.
    pthread_setname_np(pthread_self(), "folder-scan");
    bool bWalkStopped = false;
    std::size_t nUnopened = 0;
    {
        CBatchSink sink([&pShared](std::vector<CTrackInfo>& arrBatch) { pShared->Hand(arrBatch); },
                        pShared->bStopRequested, request.codec);
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
    const std::lock_guard<std::mutex> lock(m_pShared->mutex);
    if (arrRecords.empty()) {
        arrRecords.swap(m_pShared->arrWaiting);
    } else {
        std::move(m_pShared->arrWaiting.begin(), m_pShared->arrWaiting.end(),
                  std::back_inserter(arrRecords));
        m_pShared->arrWaiting.clear();
    }
    return m_pShared->bEnded;
}

void CScanJob::Stop() {
    m_pShared->bStopRequested = true;
}

bool CScanJob::WasStopped() const {
    const std::lock_guard<std::mutex> lock(m_pShared->mutex);
    return m_pShared->bStopped;
}

std::size_t CScanJob::GetUnopenedCount() const {
    const std::lock_guard<std::mutex> lock(m_pShared->mutex);
    return m_pShared->nUnopened;
}

bool CScanJob::Wait(std::chrono::milliseconds tLimit) const {
    std::unique_lock<std::mutex> lock(m_pShared->mutex);
    return m_pShared->cvEnded.wait_for(lock, tLimit, [this] { return m_pShared->bEnded; });
}
