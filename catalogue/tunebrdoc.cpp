// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tunebrdoc.h"

#include "catalogue/cataloguehost.h"
#include "catalogue/docview.h"
#include "catalogue/folderwalk.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "catalogue/sidebyside.h"
#include "catalogue/trackinfo.h"

#include <algorithm>
#include <thread>
#include <utility>

// Files the walk's records as they come and passes the host's answer on.
class CTunebrDoc::CScanSink final : public CFolderWalk::CSink {
public:
    explicit CScanSink(CTunebrDoc& doc) : m_doc(doc) {}

    void OnFile(STagRead&& read) override {
        m_doc.AddTrack(CTrackInfo(std::move(read.pLocation), std::move(read.strName), read.block,
                                  m_doc.m_codec));
    }
    bool OnProgress() override { return m_doc.m_host.OnScanProgress(m_doc.m_arrTracks.size()); }

private:
    CTunebrDoc& m_doc;
};

CTunebrDoc::CTunebrDoc(CCatalogueHost& host, CFileOps& ops) : m_host(host), m_fileOps(ops) {
}

CTunebrDoc::~CTunebrDoc() {
    ClearCatalogue();
}

void CTunebrDoc::ScanFolder(std::string strFolder) {
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    if (!strFolder.empty() && strFolder.back() == '/') {
        strFolder.pop_back();
    }
    ClearCatalogue();
    m_bScanStopped = false;
    m_strTitle = strFolder;
    AddFolder(strFolder, m_host.GetFileExt());
    // Ending the filing of a large catalogue takes a while, and so does the views' rebuild that
    // follows: the window gets a report, and with it a paint, between the steps. The files are
    // all read by now, so a stop asked for here has nothing left to stop.
    FinishFiling([this] { (void)m_host.OnScanProgress(m_arrTracks.size()); });
    m_host.WriteFilePath(strFolder);
    UpdateAllViews(nullptr, HINT_REBUILD_END);
}

void CTunebrDoc::AddFolder(const std::string& strFolder, const std::string& strPattern) {
    m_host.BeginWaitCursor();
    // The empty path stands for the root: its files get the empty location.
    const std::string strOpen = strFolder.empty() ? "/" : strFolder;
    try {
        CScanSink sink(*this);
        CFolderWalk walk(sink, strPattern, m_nReaders, m_fileOps);
        walk.Walk(strFolder, strOpen.c_str());
        m_bScanStopped = walk.WasStopped();
    } catch (...) {
        m_host.EndWaitCursor();
        throw;
    }
    m_host.EndWaitCursor();
}

void CTunebrDoc::AddTrack(CTrackInfo&& track) {
    CTrackInfo* pTrack = &m_storeTracks.emplace_back(std::move(track));
    m_arrTracks.push_back(pTrack);
    AddToArtistIndex(pTrack);
    AddToGenreIndex(pTrack);
}

void CTunebrDoc::RebuildIndex() {
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    // The groups stay, emptied, with their names and keys: a rebuild after an edit makes and
    // frees only the groups the edit made or emptied. Making and freeing them all took a large
    // catalogue's rebuild longer than filing the records.
    for (const auto& pArtist : m_arrArtists) {
        pArtist->m_arrTracks.clear();
    }
    for (const auto& pGenre : m_arrGenres) {
        pGenre->Empty();
    }
    m_artistIndex.StartFiling();
    m_genreIndex.StartFiling();
    // The records' texts lie scattered over memory: those of the records a few places on are
    // asked for while the current one is filed.
    constexpr std::size_t AHEAD = 8;
    const auto FileInto = [this](void (CTunebrDoc::*pfnAdd)(CTrackInfo*)) {
        for (std::size_t nTrack = 0; nTrack < m_arrTracks.size(); ++nTrack) {
            if (nTrack + AHEAD < m_arrTracks.size()) {
                m_arrTracks[nTrack + AHEAD]->PrefetchTexts();
            }
            (this->*pfnAdd)(m_arrTracks[nTrack]);
        }
    };
    // The artist index and the genre index share nothing but the records they read: on a large
    // catalogue each is filed by a thread of its own.
    constexpr std::size_t PARALLEL_TRACKS = 50000;
    if (m_arrTracks.size() >= PARALLEL_TRACKS && std::thread::hardware_concurrency() >= 2) {
        RunSideBySide([&] { FileInto(&CTunebrDoc::AddToGenreIndex); },
                      [&] { FileInto(&CTunebrDoc::AddToArtistIndex); });
    } else {
        FileInto(&CTunebrDoc::AddToArtistIndex);
        FileInto(&CTunebrDoc::AddToGenreIndex);
    }
    FinishFiling([] {});
    UpdateAllViews(nullptr, HINT_REBUILD_END);
}

void CTunebrDoc::AddView(CDocView* pView) {
    m_arrViews.push_back(pView);
}

void CTunebrDoc::RemoveView(CDocView* pView) {
    m_arrViews.erase(std::remove(m_arrViews.begin(), m_arrViews.end(), pView), m_arrViews.end());
}

void CTunebrDoc::UpdateAllViews(CDocView* pSender, int nHint, CTrackList* pTracks) {
    for (std::size_t i = 0; i < m_arrViews.size(); ++i) {
        if (m_arrViews[i] != pSender) {
            m_arrViews[i]->OnUpdate(pSender, nHint, pTracks);
        }
    }
}

CArtistEntry* CTunebrDoc::FindArtist(std::string_view strName) const {
    return m_artistIndex.Find(strName);
}

CArtistEntry* CTunebrDoc::AddArtist(std::string strName) {
    return m_artistIndex.Add(std::move(strName));
}

CGenreEntry* CTunebrDoc::FindGenre(std::string_view strName) const {
    return m_genreIndex.Find(strName);
}

CGenreEntry* CTunebrDoc::AddGenre(std::string strName) {
    return m_genreIndex.Add(std::move(strName));
}

// The files of an album follow one another in the catalogue: most records join the group the
// record before joined, which a comparison of two short texts finds without a lookup.
void CTunebrDoc::AddToArtistIndex(CTrackInfo* pTrack) {
    m_artistIndex.GroupToFile(pTrack->GetArtist())->AddTrack(pTrack);
}

void CTunebrDoc::AddToGenreIndex(CTrackInfo* pTrack) {
    m_genreIndex.GroupToFile(pTrack->GetGenreName())->AddTrack(pTrack);
}

void CTunebrDoc::FinishFiling(const std::function<void()>& fnBetweenSteps) {
    m_artistIndex.KeepFiled();
    m_genreIndex.KeepFiled();
    for (const auto& pGenre : m_arrGenres) {
        pGenre->KeepFiled();
    }
    TrimIndex(fnBetweenSteps);
}

// The lists grew a record at a time; a large library would keep a third of them unused.
void CTunebrDoc::TrimIndex(const std::function<void()>& fnBetweenSteps) {
    m_arrTracks.shrink_to_fit();
    fnBetweenSteps();
    for (const auto& pArtist : m_arrArtists) {
        pArtist->m_arrTracks.shrink_to_fit();
    }
    fnBetweenSteps();
    for (const auto& pGenre : m_arrGenres) {
        pGenre->m_arrTracks.shrink_to_fit();
        for (const auto& pArtist : pGenre->m_arrArtists) {
            pArtist->m_arrTracks.shrink_to_fit();
        }
    }
    fnBetweenSteps();
}

void CTunebrDoc::ClearArtists() {
    m_artistIndex.Clear();
}

void CTunebrDoc::ClearGenres() {
    m_genreIndex.Clear();
}

void CTunebrDoc::ClearCatalogue() {
    m_arrTracks.clear();
    ClearGenres();
    ClearArtists();
    m_storeTracks.clear();
}
