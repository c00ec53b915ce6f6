// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tunebrdoc.h"

#include "catalogue/backgroundthread.h"
#include "catalogue/cataloguehost.h"
#include "catalogue/docview.h"
#include "catalogue/folderwalk.h"
#include "catalogue/hints.h"
#include "catalogue/keptindex.h"
#include "catalogue/mutexlock.h"
#include "catalogue/posixio.h"
#include "catalogue/scanjob.h"
#include "catalogue/threadstarter.h"
#include "catalogue/trackinfo.h"
#include "res/strings.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

namespace {

std::int64_t WallClockNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

CTunebrDoc::CTunebrDoc(CCatalogueHost& host, CFileOps& ops) : m_host(host), m_fileOps(ops) {
}

// Scans that still read go on using the file operations they were given: those used by tests
// are gone after the document, so they are waited for. A scan stuck on a stalled file system is
// left to the process's end, which is then not held up for long.
CTunebrDoc::~CTunebrDoc() {
    m_pAlive.reset();
    LeaveScan();
    if (m_groupingFreer.joinable()) {
        m_groupingFreer.join();
    }
    WaitForKeptWrite();
    const auto tEnd = std::chrono::steady_clock::now() + LEFT_SCANS_WAIT;
    for (const std::unique_ptr<CScanJob>& pScan : m_arrLeftScans) {
        const auto tLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
            tEnd - std::chrono::steady_clock::now());
        if (!pScan->Wait(std::max(tLeft, std::chrono::milliseconds(0)))) {
            break;
        }
    }
    ClearCatalogue();
}

// The scan is not waited for: it may be stuck on a file system that stopped answering.
void CTunebrDoc::LeaveScan() {
    if (!m_pScan) {
        return;
    }
    m_arrLeftScans.erase(std::remove_if(m_arrLeftScans.begin(), m_arrLeftScans.end(),
                                        [](const std::unique_ptr<CScanJob>& pScan) {
                                            return pScan->Wait(std::chrono::milliseconds(0));
                                        }),
                         m_arrLeftScans.end());
    m_pScan->Stop();
    m_arrLeftScans.push_back(std::move(m_pScan));
}

void CTunebrDoc::ScanFolder(std::string strFolder) {
    StartScan(
        std::move(strFolder), [] {}, false);
    bool bEnded = false;
    while (!bEnded) {
        (void)m_pScan->Wait(CFolderWalk::PROGRESS_INTERVAL);
        bEnded = TakeScanned();
        // The caller waits anyway: the reads begun are still filed, as a prefix of the order.
        if (!bEnded && !m_host.OnScanProgress(m_arrTracks.size())) {
            m_pScan->Stop();
        }
    }
    // The last word before the views rebuild: the count of every record filed.
    (void)m_host.OnScanProgress(m_arrTracks.size());
    UpdateAllViews(nullptr, HINT_REBUILD_END);
}

void CTunebrDoc::BeginScan(std::string strFolder, std::function<void()> fnReady, bool bFromKept) {
    StartScan(std::move(strFolder), std::move(fnReady), bFromKept);
    // The views show the empty catalogue, which grows from now on.
    UpdateAllViews(nullptr, HINT_REBUILD_END);
}

void CTunebrDoc::StartScan(std::string strFolder, std::function<void()> fnReady, bool bFromKept) {
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    LeaveScan();
    if (!strFolder.empty() && strFolder.back() == '/') {
        strFolder.pop_back();
    }
    ClearCatalogue();
    m_bScanStopped = false;
    m_nUnopened = 0;
    m_strTitle = strFolder;
    m_nReadSince = WallClockNow();
    m_keptOptions = {strFolder, m_host.GetFileExt(), m_codec.GetName(), LoadString(IDS_UNDEFINED)};
    m_arrCheckOrder.clear();
    m_arrRenumbered.clear();
    m_arrScanned.clear(); // of a scan replaced before it was all filed
    m_nScannedFiled = 0;
    m_bFilingBehind = false;
    std::shared_ptr<const CKeptIndex> pKept;
    m_bChecking = bFromKept && ShowKept(pKept);
    SScanRequest request{strFolder, m_keptOptions.strPattern, m_codec, m_nReaders,
                         std::move(pKept)};
    m_pScan = std::make_unique<CScanJob>(std::move(request), m_fileOps, std::move(fnReady));
}

// Files the folder's kept catalogue, when it was kept under the options of now, and gives the
// index its check looks files up in; a file that cannot be used is left to be replaced at the
// scan's end.
bool CTunebrDoc::ShowKept(std::shared_ptr<const CKeptIndex>& pKept) {
    if (m_strKeptFolder.empty()) {
        return false;
    }
    SKeptLoad load;
    if (!CKeptCatalogue::Load(m_strKeptFolder + '/' +
                                  CKeptCatalogue::FileName(m_keptOptions.strFolder),
                              m_keptOptions, load, 0, CThreadStarter::Default())) {
        return false;
    }
    m_arrKeptStores = std::move(load.arrStores);
    std::size_t nCount = 0;
    for (const std::deque<CTrackInfo>& store : m_arrKeptStores) {
        nCount += store.size();
    }
    m_arrTracks.reserve(nCount);
    for (std::deque<CTrackInfo>& store : m_arrKeptStores) {
        for (CTrackInfo& record : store) {
            m_arrTracks.push_back(&record);
        }
    }
    const std::atomic<bool> bNeverStop{false};
    m_pGrouping = CGrouping::Of(m_arrTracks, bNeverStop);
    pKept = CKeptCatalogue::IndexAside(load, load.nReadSince - UNTRUSTED_NANOSECONDS,
                                       CThreadStarter::Default());
    return true;
}

bool CTunebrDoc::FileScanned() {
    if (IsChecking()) {
        // The catalogue shown stays as it is until the check has seen every file.
        return TakeScanned();
    }
    const bool bEnded = TakeScanned(m_nFilingTurn);
    UpdateAllViews(nullptr, HINT_TRACKS_ADDED);
    return bEnded;
}

bool CTunebrDoc::IsFilingBehind() const {
    return !m_bChecking && m_bFilingBehind;
}

bool CTunebrDoc::TakeScanned(std::size_t nMost) {
    if (!m_pScan) {
        return true;
    }
    if (m_bChecking) {
        const bool bEnded = m_pScan->Take(m_arrScanned, m_arrCheckOrder, m_arrRenumbered);
        if (bEnded) {
            EndCheck();
        }
        return bEnded;
    }
    if (m_nScannedFiled == m_arrScanned.size()) {
        m_arrScanned.clear();
        m_nScannedFiled = 0;
    }
    // Records left from the turn before are filed before more are taken: taken on top of them,
    // the new ones moved them all into new memory.
    const bool bTake = m_arrScanned.empty() || nMost == SIZE_MAX;
    const bool bHandedAll = bTake && m_pScan->Take(m_arrScanned);
    const std::size_t nEnd =
        m_nScannedFiled + std::min(nMost, m_arrScanned.size() - m_nScannedFiled);
    if (nEnd > m_nScannedFiled) {
        StopRegrouping();
    }
    for (; m_nScannedFiled < nEnd; ++m_nScannedFiled) {
        AddTrack(std::move(m_arrScanned[m_nScannedFiled]));
    }
    // Not taken, more may wait in the scan.
    m_bFilingBehind = m_nScannedFiled < m_arrScanned.size() || !bTake;
    if (m_nScannedFiled < m_arrScanned.size()) {
        return false;
    }
    m_arrScanned.clear();
    m_nScannedFiled = 0;
    if (bHandedAll) {
        EndScan();
    }
    return bHandedAll;
}

void CTunebrDoc::EndScan() {
    m_bScanStopped = m_pScan->WasStopped();
    m_nUnopened = m_pScan->GetUnopenedCount();
    m_pScan.reset();
    FinishFiling();
    m_host.WriteFilePath(m_strTitle);
    if (!m_bScanStopped) {
        KeepCatalogue();
    }
    // What the batches and growing lists of a large scan left free; a small one leaves too
    // little to be worth a thread.
    constexpr std::size_t FREE_PAGES_TRACKS = 50000;
    if (m_arrTracks.size() >= FREE_PAGES_TRACKS) {
        FreeAside(nullptr);
    }
    if (m_bRegroupAgain) {
        RebuildIndex(); // a tag edit made during the scan
    }
}

// A check stopped keeps the kept catalogue as it was shown; one that ended makes it what a scan
// would have read, changing as little as it can.
void CTunebrDoc::EndCheck() {
    m_bScanStopped = m_pScan->WasStopped();
    m_nUnopened = m_pScan->GetUnopenedCount();
    m_pScan.reset();
    m_bChecking = false;
    if (!m_bScanStopped) {
        StopReadingRecords();
        // No view shows a file's number: only the kept file must learn it.
        for (const auto& [nKept, identity] : m_arrRenumbered) {
            m_arrTracks[nKept]->SetIdentity(identity);
        }
        bool bSamePaths = m_arrCheckOrder.size() == m_arrTracks.size();
        bool bSameRecords = bSamePaths;
        std::size_t nRead = 0;
        for (std::size_t i = 0; i < m_arrCheckOrder.size() && bSamePaths; ++i) {
            if (m_arrCheckOrder[i] != CScanJob::READ_AGAIN) {
                bSamePaths = m_arrCheckOrder[i] == i;
                continue;
            }
            // Files the check reads whatever they look like (too short, unreadable, changed
            // just before the kept reads) mostly read as they were.
            const CTrackInfo& read = m_arrScanned[nRead++];
            bSamePaths = read.GetFileName() == m_arrTracks[i]->GetFileName() &&
                         read.GetLocation() == m_arrTracks[i]->GetLocation();
            bSameRecords = bSameRecords && read.IsSameAs(*m_arrTracks[i]);
        }
        // A check that found nothing new leaves the file as it is: it still holds this catalogue,
        // and the time its reads began, earlier, trusts fewer files.
        if (!bSamePaths) {
            ApplyCheckAsRebuild();
            KeepCatalogue();
        } else if (!bSameRecords) {
            ApplyCheckInPlace();
            KeepCatalogue();
        } else if (!m_arrRenumbered.empty()) {
            KeepCatalogue();
        }
    }
    m_arrScanned.clear();
    m_arrCheckOrder.clear();
    m_arrRenumbered.clear();
    m_host.WriteFilePath(m_strTitle);
}

// The same files, some read again: their records change where they are, as after a tag edit.
void CTunebrDoc::ApplyCheckInPlace() {
    UpdateAllViews(nullptr, HINT_TRACKS_CHANGING);
    CTrackList arrChanged;
    std::size_t nRead = 0;
    for (std::size_t i = 0; i < m_arrCheckOrder.size(); ++i) {
        if (m_arrCheckOrder[i] != CScanJob::READ_AGAIN) {
            continue;
        }
        CTrackInfo& read = m_arrScanned[nRead++];
        if (!read.IsSameAs(*m_arrTracks[i])) {
            *m_arrTracks[i] = std::move(read);
            arrChanged.push_back(m_arrTracks[i]);
        }
    }
    UpdateAllViews(nullptr, HINT_TRACKS_CHANGED, &arrChanged);
    RebuildIndex();
}

// Files came or went: the records still good are moved, not read, into the new catalogue.
void CTunebrDoc::ApplyCheckAsRebuild() {
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    std::deque<CTrackInfo> storeKept;
    storeKept.swap(m_storeTracks);
    std::vector<std::deque<CTrackInfo>> arrKeptStores;
    arrKeptStores.swap(m_arrKeptStores);
    CTrackList arrKept;
    arrKept.swap(m_arrTracks);
    ClearCatalogue();
    std::size_t nRead = 0;
    for (const std::size_t nEntry : m_arrCheckOrder) {
        AddTrack(
            std::move(nEntry == CScanJob::READ_AGAIN ? m_arrScanned[nRead++] : *arrKept[nEntry]));
    }
    FinishFiling();
    UpdateAllViews(nullptr, HINT_REBUILD_END);
}

// Encoded and written on a thread of its own, so that neither a large catalogue nor the disk's
// flush holds the window. What changes or frees records first stops the encoding (StopKeeping).
void CTunebrDoc::KeepCatalogue() {
    StopKeeping();
    WaitForKeptWrite();
    m_bKeepAgain = false;
    if (m_strKeptFolder.empty()) {
        return;
    }
    auto pKeeping = std::make_shared<SKeeping>();
    m_pKeeping = pKeeping;
    auto fnKeep = [pKeeping, options = m_keptOptions, nReadSince = m_nReadSince,
                   pTracks = &m_arrTracks, strFolder = m_strKeptFolder,
                   strName = CKeptCatalogue::FileName(m_keptOptions.strFolder)] {
        // The records are read while a part is encoded, never while a part is written: a
        // change waits for the encoding of one part at most, not for the disk.
        const auto SetReading = [&pKeeping](bool bReading, bool bEncoded = false) {
            {
                const CMutexLock lock(pKeeping->mutex);
                if (bReading && pKeeping->bStop) {
                    return false;
                }
                pKeeping->bReading = bReading;
                pKeeping->bEncoded = pKeeping->bEncoded || bEncoded;
            }
            pKeeping->cvRead.notify_all();
            return true;
        };
        const auto fnFill = [&](const CKeptCatalogue::FnPut& fnPut) {
            const auto fnPutUnread = [&](std::string_view strPiece, std::uint64_t nAt) {
                SetReading(false);
                const bool bPut = fnPut(strPiece, nAt);
                return SetReading(true) && bPut;
            };
            const bool bEncoded = CKeptCatalogue::Encode(options, nReadSince, *pTracks, fnPutUnread,
                                                         &pKeeping->bStop);
            // A failed write is not made again after a change; a stopped encoding is.
            SetReading(false, bEncoded || !pKeeping->bStop);
            return bEncoded;
        };
        (void)CKeptCatalogue::Store(SystemFileOps(), strFolder, strName, fnFill);
        // A cache folder that cannot be made: nothing was read, and a retry would fail alike.
        SetReading(false, !pKeeping->bStop);
    };
    try {
        m_keptWriter = std::thread([fnKeep] {
            LowerThisThreadPriority(); // below the sorts a user starts meanwhile
            fnKeep();
        });
    } catch (const std::system_error&) {
        fnKeep(); // no thread to be had: the window waits this once
    }
}

// Returns once the encoding no longer reads records. Stopped before its end, it is made again
// after the change (the file written before stays meanwhile: the next start checks it anyway).
void CTunebrDoc::StopReadingRecords() {
    StopKeeping();
    StopRegrouping();
}

void CTunebrDoc::StopKeeping() {
    if (!m_pKeeping) {
        return;
    }
    SKeeping& keeping = *m_pKeeping;
    keeping.bStop = true;
    {
        CMutexLock lock(keeping.mutex);
        while (keeping.bReading) {
            lock.Wait(keeping.cvRead);
        }
        m_bKeepAgain = m_bKeepAgain || !keeping.bEncoded;
    }
    m_pKeeping.reset();
}

void CTunebrDoc::WaitForKeptWrite() {
    if (m_keptWriter.joinable()) {
        m_keptWriter.join();
    }
}

// What was handed over is filed; what the scan's threads still read is left to them.
void CTunebrDoc::StopScan() {
    if (!m_pScan) {
        return;
    }
    m_pScan->Stop();
    if (!TakeScanned()) {
        LeaveScan();
        m_bScanStopped = true;
        if (m_bChecking) {
            m_bChecking = false;
            m_arrScanned.clear();
            m_arrCheckOrder.clear();
            m_arrRenumbered.clear();
        } else {
            FinishFiling();
        }
        m_host.WriteFilePath(m_strTitle);
    }
    UpdateAllViews(nullptr, HINT_TRACKS_ADDED);
}

void CTunebrDoc::AddTrack(CTrackInfo&& track) {
    CTrackInfo* pTrack = &m_storeTracks.emplace_back(std::move(track));
    m_arrTracks.push_back(pTrack);
    AddToArtistIndex(pTrack);
    AddToGenreIndex(pTrack);
}

void CTunebrDoc::RebuildIndex() {
    StopRegrouping();
    m_bRegroupAgain = false;
    if (m_pRegrouper && m_arrTracks.size() >= m_nRegroupAsideTracks) {
        m_nRegroupJob = m_pRegrouper->Post(&m_arrTracks);
        return;
    }
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    const std::atomic<bool> bNeverStop{false};
    (void)m_pGrouping->Refile(m_arrTracks, bNeverStop);
    m_pGrouping->FinishFiling();
    UpdateAllViews(nullptr, HINT_REBUILD_END);
}

void CTunebrDoc::RegroupAside(std::size_t nTracks, FnPost fnPost) {
    StopRegrouping();
    m_nRegroupAsideTracks = nTracks;
    auto fnDone = [this, fnPost = std::move(fnPost), pAlive = std::weak_ptr<const bool>(m_pAlive)](
                      std::uint64_t nJob, std::shared_ptr<CGrouping> pGrouping) {
        fnPost([this, pAlive, nJob, pGrouping = std::move(pGrouping)]() mutable {
            if (pAlive.lock()) {
                OnRegrouped(nJob, std::move(pGrouping));
            }
        });
    };
    m_pRegrouper = std::make_unique<CRegrouper>(
        [](const CTrackList* pTracks, const std::atomic<bool>& bStop) {
            return std::shared_ptr<CGrouping>(CGrouping::Of(*pTracks, bStop));
        },
        std::move(fnDone), CThreadStarter::Default());
}

// The groups of before go with the views' last look at them.
void CTunebrDoc::OnRegrouped(std::uint64_t nJob, std::shared_ptr<CGrouping> pGrouping) {
    if (nJob != m_nRegroupJob) {
        return; // stopped since, or replaced
    }
    m_nRegroupJob = 0;
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    m_pGrouping.swap(pGrouping);
    UpdateAllViews(nullptr, HINT_REBUILD_END);
    FreeAside(std::move(pGrouping));
}

// Freeing the groups of a million records took the window tens of milliseconds.
void CTunebrDoc::FreeAside(std::shared_ptr<CGrouping> pGrouping) {
    if (m_groupingFreer.joinable()) {
        m_groupingFreer.join();
    }
    // Where no thread starts, the groups go here, with the call that could not be made.
    m_groupingFreer = CThreadStarter::Default().Start(
        [pGrouping = std::move(pGrouping), fnReturn = m_fnReturnFreePages]() mutable {
            LowerThisThreadPriority(); // the window paints the new groups meanwhile
            pGrouping.reset();
            if (fnReturn) {
                fnReturn();
            }
        });
}

void CTunebrDoc::StopRegrouping() {
    if (m_nRegroupJob == 0) {
        return;
    }
    m_pRegrouper->StopAndWait();
    m_nRegroupJob = 0;
    m_bRegroupAgain = true;
}

void CTunebrDoc::AddView(CDocView* pView) {
    m_arrViews.push_back(pView);
}

void CTunebrDoc::RemoveView(CDocView* pView) {
    m_arrViews.erase(std::remove(m_arrViews.begin(), m_arrViews.end(), pView), m_arrViews.end());
}

void CTunebrDoc::UpdateAllViews(CDocView* pSender, EHint eHint, CTrackList* pTracks) {
    if (eHint == HINT_TRACKS_CHANGING) {
        StopReadingRecords();
    }
    for (std::size_t i = 0; i < m_arrViews.size(); ++i) {
        if (m_arrViews[i] != pSender) {
            m_arrViews[i]->OnUpdate(pSender, eHint, pTracks);
        }
    }
    // A scan under way keeps and regroups what it reads at its end.
    if (eHint == HINT_TRACKS_CHANGED && !m_pScan) {
        if (m_bRegroupAgain) {
            RebuildIndex();
        }
        if (m_bKeepAgain) {
            KeepCatalogue();
        }
    }
}

CArtistEntry* CTunebrDoc::FindArtist(std::string_view strName) const {
    return m_pGrouping->FindArtist(strName);
}

CArtistEntry* CTunebrDoc::AddArtist(std::string strName) {
    return m_pGrouping->AddArtist(std::move(strName));
}

CGenreEntry* CTunebrDoc::FindGenre(std::string_view strName) const {
    return m_pGrouping->FindGenre(strName);
}

CGenreEntry* CTunebrDoc::AddGenre(std::string strName) {
    return m_pGrouping->AddGenre(std::move(strName));
}

void CTunebrDoc::FinishFiling() {
    TrimTrackList(m_arrTracks);
    m_pGrouping->FinishFiling();
}

void CTunebrDoc::ClearCatalogue() {
    StopReadingRecords();
    m_bKeepAgain = false; // what was to be kept or regrouped is gone
    m_bRegroupAgain = false;
    ++m_nRebuilds;
    m_arrTracks.clear();
    ClearGenres();
    ClearArtists();
    m_storeTracks.clear();
    m_arrKeptStores.clear();
}
