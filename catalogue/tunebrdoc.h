// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/grouping.h"
#include "catalogue/hints.h"
#include "catalogue/jobthread.h"
#include "catalogue/keptcatalogue.h"
#include "catalogue/mutex.h"
#include "catalogue/tagblock.h"
#include "catalogue/tagcodec.h"
#include "catalogue/threadsafety.h"
#include "catalogue/tracklist.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

class CCatalogueHost;
class CDocView;
class CFileOps;
class CKeptIndex;
class CScanJob;
class CTrackInfo;

// The catalogue: every audio file found under one folder, grouped by artist and by genre.
// Views hold pointers into it from one HINT_REBUILD_END to the next HINT_REBUILD_BEGIN.
class CTunebrDoc {
public:
    // Scans list folders and read tags through ops.
    CTunebrDoc(CCatalogueHost& host, CFileOps& ops);
    ~CTunebrDoc();
    CTunebrDoc(const CTunebrDoc&) = delete;
    CTunebrDoc& operator=(const CTunebrDoc&) = delete;

    // Empties the catalogue and fills it from the folder and everything below it, returning
    // once it is whole. A scan the host stops keeps the files read until then, indexed and
    // announced like a whole one; it says so through WasScanStopped.
    void ScanFolder(std::string strFolder);
    bool WasScanStopped() const { return m_bScanStopped; }
    // Files and folders the last scan found and could not open.
    std::size_t GetUnopenedCount() const { return m_nUnopened; }

    // The same without waiting: the catalogue is emptied and announced rebuilt at once, and the
    // folder is read on a thread of its own, which calls fnReady (on that thread) whenever
    // records wait to be filed. FileScanned files them, a few thousand at a time (see
    // IsFilingBehind), on the caller's thread and tells the views (HINT_TRACKS_ADDED); it returns
    // true once the scan has ended, the index finished and the folder remembered. A scan begun
    // replaces the one running. With bFromKept, the folder's kept catalogue, when there is one for
    // the options of now, is shown at once instead, and the scan only checks it against the disk:
    // it reads the files new or changed since, and at its end the catalogue becomes what a fresh
    // scan would have given.
    void BeginScan(std::string strFolder, std::function<void()> fnReady, bool bFromKept = false);
    bool FileScanned();
    // Records handed over by the scan, or that may be, wait for the next FileScanned: the window
    // calls it again on the loop's next turn.
    bool IsFilingBehind() const;
    // Records a scan's batch files at most: the views take each batch too, and a large one
    // held the window over a tenth of a second while a cold scan kept the processors busy.
    static constexpr std::size_t FILING_TURN_RECORDS = 4096;
    void SetFilingTurn(std::size_t nRecords) { m_nFilingTurn = nRecords; }
    // Ends the running scan at once: the records it handed over are filed, the index finished
    // and the folder remembered; its threads are left to end on their own.
    void StopScan();
    bool IsScanning() const { return m_pScan != nullptr; }
    // The scan running checks a kept catalogue.
    bool IsChecking() const { return m_pScan != nullptr && m_bChecking; }

    // Where the catalogues of whole scans are kept for the next run, one file per folder; ""
    // keeps none. Those written before stay until the caller removes them.
    void SetKeptFolder(std::string strFolder) { m_strKeptFolder = std::move(strFolder); }
    // The last catalogue kept has reached its file, or failed to.
    void WaitForKeptWrite();

    // Called on a thread of the document's own after it freed much memory (the end of a scan,
    // groups replaced), to hand what the heap keeps free back to the system.
    void SetFreePagesReturn(std::function<void()> fnReturn) {
        m_fnReturnFreePages = std::move(fnReturn);
    }

    // Threads reading tags during a scan; with none the scan reads every file itself.
    void SetReaderCount(std::size_t nReaders) { m_nReaders = nReaders; }
    std::size_t GetReaderCount() const { return m_nReaders; }

    // How the next scans decode tag texts.
    void SetTagCodec(CTagCodec codec) { m_codec = std::move(codec); }
    const CTagCodec& GetTagCodec() const { return m_codec; }

    // Regroups the existing records, for instance after a tag edit changed an artist. A large
    // catalogue is regrouped aside (see RegroupAside): the views show the groups of before until
    // the new ones are whole.
    void RebuildIndex();
    // Hands a call to the document's own thread, from any thread.
    using FnPost = std::function<void(std::function<void()>)>;
    // Catalogues of nTracks records or more are regrouped on a thread of their own, which hands
    // the groups back through fnPost; without it every regrouping holds the caller.
    void RegroupAside(std::size_t nTracks, FnPost fnPost);
    bool IsRegrouping() const { return m_nRegroupJob != 0; }

    // Counts the times the records were freed and made anew: a pointer to a record taken while
    // the count stays the same still points at that record.
    std::size_t GetRebuildCount() const { return m_nRebuilds; }

    const std::string& GetTitle() const { return m_strTitle; }
    CTrackList* GetTracks() { return &m_arrTracks; }
    const CGrouping::Artists& GetArtists() const { return m_pGrouping->GetArtists(); }
    const std::vector<CArtistEntry*>& GetArtistsByName() const {
        return m_pGrouping->GetArtistsByName();
    }
    const CGrouping::Genres& GetGenres() const { return m_pGrouping->GetGenres(); }

    void AddView(CDocView* pView);
    void RemoveView(CDocView* pView);
    // Tells every view but the sender.
    void UpdateAllViews(CDocView* pSender, EHint eHint, CTrackList* pTracks = nullptr);

    CArtistEntry* FindArtist(std::string_view strName) const;
    CArtistEntry* AddArtist(std::string strName);
    CGenreEntry* FindGenre(std::string_view strName) const;
    CGenreEntry* AddGenre(std::string strName);
    void AddToArtistIndex(CTrackInfo* pTrack) { m_pGrouping->FileByArtist(pTrack); }
    void AddToGenreIndex(CTrackInfo* pTrack) { m_pGrouping->FileByGenre(pTrack); }
    void ClearArtists() { m_pGrouping->ClearArtists(); }
    void ClearGenres() { m_pGrouping->ClearGenres(); }
    void ClearCatalogue();

private:
    class CScanSink;

    // The most readers: a file server answers as many requests at once as it is sent, and the
    // pool grows this far only while reads wait; see the scan and share benchmarks.
    static constexpr std::size_t DEFAULT_READERS = 64;

    void StartScan(std::string strFolder, std::function<void()> fnReady, bool bFromKept);
    bool ShowKept(std::shared_ptr<const CKeptIndex>& pKept);
    void EndCheck();
    void ApplyCheckInPlace();
    void ApplyCheckAsRebuild();
    void KeepCatalogue();
    // Returns once no other thread reads the records or their list: what the kept catalogue's
    // encoder and the regrouping had not finished is done again after the change.
    void StopReadingRecords();
    void StopKeeping();
    void StopRegrouping();
    void OnRegrouped(std::uint64_t nJob, std::shared_ptr<CGrouping> pGrouping);
    void FreeAside(std::shared_ptr<CGrouping> pGrouping);
    // Files what the scan has handed over, nMost records at most; true once it has ended.
    bool TakeScanned(std::size_t nMost = SIZE_MAX);
    void LeaveScan();
    void EndScan();
    void AddTrack(CTrackInfo&& track);
    // Ends filing records into the catalogue and the index: drops the groups left empty, orders
    // the others by their first record, and trims the lists.
    void FinishFiling();

    // In scan order. The kept catalogue's encoder and the regrouping read the list itself:
    // nothing changes it or its records before StopReadingRecords.
    CTrackList m_arrTracks;
    std::shared_ptr<CGrouping> m_pGrouping = std::make_shared<CGrouping>();

    // The records themselves; a deque keeps their addresses fixed while it grows.
    std::deque<CTrackInfo> m_storeTracks;
    // The records of a kept catalogue, as its threads decoded them.
    std::vector<std::deque<CTrackInfo>> m_arrKeptStores;

    CCatalogueHost& m_host;
    CFileOps& m_fileOps;
    std::string m_strTitle;
    std::size_t m_nReaders = DEFAULT_READERS;
    CTagCodec m_codec;
    bool m_bScanStopped = false;
    std::size_t m_nUnopened = 0;
    std::size_t m_nRebuilds = 0;
    std::unique_ptr<CScanJob> m_pScan; // while a scan runs
    // Scans stopped or replaced that may still be reading: waited for a moment at the end.
    std::vector<std::unique_ptr<CScanJob>> m_arrLeftScans;
    static constexpr std::chrono::milliseconds LEFT_SCANS_WAIT{500};
    std::vector<CTrackInfo> m_arrScanned; // taken from the scan, being filed
    std::size_t m_nScannedFiled = 0;      // of m_arrScanned, by a scan that is no check
    bool m_bFilingBehind = false;
    std::size_t m_nFilingTurn = FILING_TURN_RECORDS;
    // Reading files changed within this long before a kept read began may have missed the
    // change: the clocks that stamp files tick coarsely, and a file server's may run ahead.
    static constexpr std::int64_t UNTRUSTED_NANOSECONDS = 2000000000;
    std::string m_strKeptFolder;
    SKeptOptions m_keptOptions;    // of the running scan
    std::int64_t m_nReadSince = 0; // when the running scan began, on the wall clock
    bool m_bChecking = false;
    std::vector<std::size_t> m_arrCheckOrder; // a check's files: a kept index or READ_AGAIN
    std::vector<std::pair<std::size_t, SFileIdentity>> m_arrRenumbered;
    // The catalogue kept is encoded from the records on the writer's thread, which lets go of
    // them when told to stop.
    struct SKeeping {
        std::atomic<bool> bStop{false};
        CMutex mutex;
        std::condition_variable cvRead;
        bool bReading GUARDED_BY(mutex) = true;
        bool bEncoded GUARDED_BY(mutex) = false;
    };
    std::shared_ptr<SKeeping> m_pKeeping;
    bool m_bKeepAgain = false; // a change stopped the encoding: kept again once it is made
    std::thread m_keptWriter;
    std::vector<CDocView*> m_arrViews;
    using CRegrouper = CJobThread<const CTrackList*, CGrouping>;
    std::unique_ptr<CRegrouper> m_pRegrouper; // once RegroupAside is called
    std::size_t m_nRegroupAsideTracks = 0;
    std::uint64_t m_nRegroupJob = 0; // the regrouping awaited, or 0
    bool m_bRegroupAgain = false;    // a change stopped the regrouping: made again after it
    std::thread m_groupingFreer;     // frees the groups a regrouping replaced
    std::function<void()> m_fnReturnFreePages;
    // Calls posted to the document's thread do nothing once it is gone.
    std::shared_ptr<const bool> m_pAlive = std::make_shared<const bool>(true);
};
