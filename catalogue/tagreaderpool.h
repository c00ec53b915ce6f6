// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/filedescriptor.h"
#include "catalogue/mutex.h"
#include "catalogue/sharedtext.h"
#include "catalogue/tagblock.h"
#include "catalogue/threadsafety.h"
#include "catalogue/threadstarter.h"
#include "catalogue/workergroup.h"

class CFileOps;

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// One file a scan wants read, and what was read of it.
struct STagRead {
    CSharedText location;                           // the folder's path, shared by its records
    std::shared_ptr<const CFileDescriptor> pFolder; // open on the folder while the read waits
    std::string strName;
    bool bMayBeFile = true;     // false: the listing says it is no file, so it is not opened
    bool bListedAsFile = false; // the listing says it is a regular file, not a link
    CTagBlock block;
    // The file as a kept catalogue last saw it, when it did: a look that finds it unchanged
    // stands for the read, which then is not made; block then holds only what the look found.
    const SKnownFile* pKnown = nullptr;
    bool bUnchanged = false;
};

// Reads tag blocks on a few threads, several files in flight, so that the latency of each read
// overlaps the others' and the walk's. Reads finish in any order; they are handed back in the
// order they were submitted. The pool sizes itself by the wait its readers see: it doubles while
// reads wait (a cold disk, a file server), up to nMaxReaders, and gives readers back one at a
// time while reads come from memory. While it is grown its readers take the files of the folders
// waiting in turn, one from each: some file servers answer the lookups of one folder one at a
// time, and the readers would otherwise all queue behind the same folder. A reader that cannot be
// started is done without: with none at all, the pool reads as it does without readers.
class CTagReaderPool {
public:
    // Without readers every read happens at once, inside Submit, on the calling thread. Once
    // *pStop is set, readers begin no more reads: on a share that stopped answering, each would
    // be one more thread stuck in the kernel.
    CTagReaderPool(std::size_t nMaxReaders, std::size_t nMaxPending, CFileOps& ops,
                   CThreadStarter& starter = CThreadStarter::Default(),
                   const std::atomic<bool>* pStop = nullptr);
    ~CTagReaderPool();
    CTagReaderPool(const CTagReaderPool&) = delete;
    CTagReaderPool& operator=(const CTagReaderPool&) = delete;

    void Submit(STagRead read);
    // True when as many reads are pending as the pool takes: hand some back before submitting.
    bool IsFull() const;
    bool IsEmpty() const;

    // Moves the finished reads at the front, in submission order, to the end of arrDone. Waits
    // at most tWait for the front read and nAtLeast reads in all to finish: handing reads back
    // in batches spares the threads a wake-up for every file.
    void TakeFinished(std::vector<STagRead>& arrDone, std::chrono::milliseconds tWait,
                      std::size_t nAtLeast = 1);

    // Forgets the reads from the first one no reader has begun on; those begun before it are
    // still handed back, those after it are waited for and dropped, so that what is handed back
    // stays a prefix of what was submitted.
    void CancelPending();

    static void Read(STagRead& read, CFileOps& ops);

    // Readers at work now, and the most there were: what the pool chose.
    std::size_t GetActiveReaders() const;
    std::size_t GetMostReaders() const;

private:
    struct SSlot {
        STagRead read;
        bool bDone = false;
        bool bDropped = false; // cancelled: not handed back
    };
    // Consecutive reads of one folder that no reader has begun, by their places in submission
    // order.
    struct SFolderRun {
        const CFileDescriptor* pFolder;
        std::size_t nNext;
        std::size_t nEnd;
    };

    // An idle reader is woken once this many reads wait, or when the caller waits for reads.
    static constexpr std::size_t WAKE_BATCH = 8;
    // Most reads one reader takes at once.
    static constexpr std::size_t MAX_TAKE = 16;
    // Quick reads in a batch that let the pool give a reader back.
    static constexpr std::size_t SHRINK_BATCH = 4;

    void RunReader(std::size_t nIndex);
    void TakeReads(std::vector<SSlot*>& arrTaken) REQUIRES(m_mutex);
    SSlot& Begin(std::size_t nRun) REQUIRES(m_mutex);
    SSlot& SlotAt(std::size_t nPlace) REQUIRES(m_mutex) {
        return m_arrSlots[nPlace - m_nHandedBack];
    }
    void MarkDone(const std::vector<SSlot*>& arrTaken, std::size_t& nMarked, std::size_t nEnd)
        REQUIRES(m_mutex);
    bool IsTakeable() const REQUIRES(m_mutex) {
        return m_arrSlots.front().bDone && m_nFinished >= m_nWanted;
    }
    std::size_t Unbegun() const REQUIRES(m_mutex) { return m_nUnbegun; }
    bool IsStopped() const { return m_pStop != nullptr && m_pStop->load(); }

    const std::size_t m_nMaxPending;
    CFileOps& m_ops;
    const std::atomic<bool>* const m_pStop;
    mutable CMutex m_mutex;
    bool m_bInline = false; // no readers, so Submit reads: set once, by the constructor
    std::size_t m_nFewest GUARDED_BY(m_mutex) = 0; // readers the pool never goes below
    std::condition_variable m_cvWork;              // readers wait for a read to begin
    std::condition_variable m_cvFinished;          // the caller waits for the front read to finish
    std::condition_variable m_cvParked;            // readers beyond the active ones wait for a grow
    // Slot addresses stay fixed while the deque grows at the back and shrinks at the front.
    // Readers fill the slots they took without the lock; a slot is theirs until marked done.
    std::deque<SSlot> m_arrSlots GUARDED_BY(m_mutex);
    std::size_t m_nHandedBack GUARDED_BY(m_mutex) = 0;    // the front slot's place
    std::deque<SFolderRun> m_arrRuns GUARDED_BY(m_mutex); // in submission order, none empty
    std::size_t m_nTurn GUARDED_BY(m_mutex) = 0;          // the run a grown pool takes from next
    std::size_t m_nUnbegun GUARDED_BY(m_mutex) = 0;
    std::size_t m_nFinished GUARDED_BY(m_mutex) = 0;    // done and not handed back yet
    std::size_t m_nIdleReaders GUARDED_BY(m_mutex) = 0; // active readers waiting for work
    // Finished reads the caller waits for; 0 when it does not wait.
    std::size_t m_nWanted GUARDED_BY(m_mutex) = 0;
    // Last, so that the readers are gone before what they use. Grows while reads wait; readers
    // given back stay parked.
    CWorkerGroup m_readers GUARDED_BY(m_mutex);
};
