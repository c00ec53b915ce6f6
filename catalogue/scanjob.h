// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagcodec.h"
#include "catalogue/threadstarter.h"
#include "catalogue/trackinfo.h"
#include "catalogue/workergroup.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFileOps;
class CKeptIndex;

// What one scan is asked to do.
struct SScanRequest {
    std::string strFolder; // the path the records get, "" for the root
    std::string strPattern;
    CTagCodec codec;
    std::size_t nReaders = 0; // none: the scan's own thread reads every file
    // A catalogue kept from an earlier run: the scan then checks it against the disk, and reads
    // only the files that are new or changed.
    std::shared_ptr<const CKeptIndex> pKept;
};

// One scan of a folder tree on a thread of its own, so that a file system that answers slowly,
// or not at all, never holds up the thread that owns the catalogue. Records come out in scan
// order, in batches the owner takes on its own thread. A stopped scan is not waited for: its
// thread may be blocked in the kernel on a stalled share; it keeps what it needs alive by
// itself and ends whenever the kernel lets it, or with the process.
class CScanJob {
public:
    // fnReady is called on the scan's thread when records start waiting to be taken, and when
    // the scan ends; it must only arrange for Take to be called. ops must stay until Wait says
    // the scan is done, or live as long as the process.
    CScanJob(SScanRequest request, CFileOps& ops, std::function<void()> fnReady,
             CThreadStarter& starter = CThreadStarter::Default());
    // Stops the scan and leaves its thread to end on its own; fnReady is not called any more.
    ~CScanJob();
    CScanJob(const CScanJob&) = delete;
    CScanJob& operator=(const CScanJob&) = delete;

    // Moves the records read since the last call to the end of arrRecords; true once the scan
    // has ended and every record was taken.
    bool Take(std::vector<CTrackInfo>& arrRecords);
    // The same for a check of a kept catalogue: arrOrder gets an entry for each file, in scan
    // order, either the index of the kept record that still shows it, or READ_AGAIN for the next
    // of the records read; arrRenumbered the kept records whose file unchanged now has another
    // device or inode number, with that identity.
    bool Take(std::vector<CTrackInfo>& arrRecords, std::vector<std::size_t>& arrOrder,
              std::vector<std::pair<std::size_t, SFileIdentity>>& arrRenumbered);
    static constexpr std::size_t READ_AGAIN = static_cast<std::size_t>(-1);
    // Asks the scan to stop: the reads already begun are still handed over, in order, so that
    // what was taken stays a prefix of the scan order.
    void Stop();
    bool WasStopped() const;
    // Files and folders the scan could not open, once it has ended.
    std::size_t GetUnopenedCount() const;
    // Waits at most tLimit for the scan's thread to be done with everything it was handed;
    // true when it is.
    bool Wait(std::chrono::milliseconds tLimit) const;

private:
    struct SShared;

    static void Run(const std::shared_ptr<SShared>& pShared, const SScanRequest& request,
                    CFileOps& ops);

    std::shared_ptr<SShared> m_pShared;
    // Its worker keeps the shared state and a copy of the request alive by itself, and is
    // abandoned with the job.
    CWorkerGroup m_worker;
};
