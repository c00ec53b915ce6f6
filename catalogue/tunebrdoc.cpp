// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tunebrdoc.h"

#include "catalogue/cataloguehost.h"
#include "catalogue/docview.h"
#include "catalogue/folderwalk.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"

#include <algorithm>
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

bool CTunebrDoc::ScanFolder(std::string strFolder) {
    UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    if (!strFolder.empty() && strFolder.back() == '/') {
        strFolder.pop_back();
    }
    ClearCatalogue();
    m_bScanStopped = false;
    m_strTitle = strFolder;
    AddFolder(strFolder, m_host.GetFileExt());
    FinishFiling();
    m_host.WriteFilePath(strFolder);
    UpdateAllViews(nullptr, HINT_REBUILD_END);
    return true;
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
    m_arrArtistsFiled.clear();
    m_arrGenresFiled.clear();
    m_pLastArtist = nullptr;
    m_pLastGenre = nullptr;
    // The records' texts lie scattered over memory: those of the records a few places on are
    // asked for while the current one is filed.
    constexpr std::size_t AHEAD = 8;
    for (std::size_t nTrack = 0; nTrack < m_arrTracks.size(); ++nTrack) {
        if (nTrack + AHEAD < m_arrTracks.size()) {
            __builtin_prefetch(m_arrTracks[nTrack + AHEAD]->GetArtist().data());
        }
        AddToArtistIndex(m_arrTracks[nTrack]);
        AddToGenreIndex(m_arrTracks[nTrack]);
    }
    FinishFiling();
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
    const auto it = m_mapArtists.find(strName);
    return it == m_mapArtists.end() ? nullptr : it->second;
}

CArtistEntry* CTunebrDoc::AddArtist(std::string strName) {
    CArtistEntry* pArtist =
        m_arrArtists.emplace_back(std::make_unique<CArtistEntry>(std::move(strName))).get();
    m_mapArtists.emplace(pArtist->GetName(), pArtist);
    return pArtist;
}

CGenreEntry* CTunebrDoc::FindGenre(std::string_view strName) const {
    const auto it = m_mapGenres.find(strName);
    return it == m_mapGenres.end() ? nullptr : it->second;
}

CGenreEntry* CTunebrDoc::AddGenre(std::string strName) {
    CGenreEntry* pGenre =
        m_arrGenres.emplace_back(std::make_unique<CGenreEntry>(std::move(strName))).get();
    m_mapGenres.emplace(pGenre->GetName(), pGenre);
    return pGenre;
}

// The files of an album follow one another in the catalogue: most records join the group the
// record before joined, which a comparison of two short texts finds without a lookup.
void CTunebrDoc::AddToArtistIndex(CTrackInfo* pTrack) {
    const std::string_view strArtist = pTrack->GetArtist();
    CArtistEntry* pArtist = m_pLastArtist != nullptr && m_pLastArtist->GetName() == strArtist
                                ? m_pLastArtist
                                : FindArtist(strArtist);
    if (pArtist == nullptr) {
        pArtist = AddArtist(std::string(strArtist));
    }
    if (pArtist->m_arrTracks.empty()) {
        m_arrArtistsFiled.push_back(pArtist);
    }
    pArtist->AddTrack(pTrack);
    m_pLastArtist = pArtist;
}

void CTunebrDoc::AddToGenreIndex(CTrackInfo* pTrack) {
    const std::string_view strGenre = pTrack->GetGenreName();
    CGenreEntry* pGenre = m_pLastGenre != nullptr && m_pLastGenre->GetName() == strGenre
                              ? m_pLastGenre
                              : FindGenre(strGenre);
    if (pGenre == nullptr) {
        pGenre = AddGenre(std::string(strGenre));
    }
    if (pGenre->m_arrTracks.empty()) {
        m_arrGenresFiled.push_back(pGenre);
    }
    pGenre->AddTrack(pTrack);
    m_pLastGenre = pGenre;
}

void CTunebrDoc::FinishFiling() {
    KeepFiledGroups(m_arrArtists, m_arrArtistsFiled, m_mapArtists);
    KeepFiledGroups(m_arrGenres, m_arrGenresFiled, m_mapGenres);
    for (const auto& pGenre : m_arrGenres) {
        pGenre->KeepFiled();
    }
    TrimIndex();
}

// The lists grew a record at a time; a large library would keep a third of them unused.
void CTunebrDoc::TrimIndex() {
    m_arrTracks.shrink_to_fit();
    for (const auto& pArtist : m_arrArtists) {
        pArtist->m_arrTracks.shrink_to_fit();
    }
    for (const auto& pGenre : m_arrGenres) {
        pGenre->m_arrTracks.shrink_to_fit();
        for (const auto& pArtist : pGenre->m_arrArtists) {
            pArtist->m_arrTracks.shrink_to_fit();
        }
    }
}

void CTunebrDoc::ClearArtists() {
    m_pLastArtist = nullptr;
    m_arrArtistsFiled.clear();
    m_mapArtists.clear();
    m_arrArtists.clear();
}

void CTunebrDoc::ClearGenres() {
    m_pLastGenre = nullptr;
    m_arrGenresFiled.clear();
    m_mapGenres.clear();
    m_arrGenres.clear();
}

void CTunebrDoc::ClearCatalogue() {
    m_arrTracks.clear();
    ClearGenres();
    ClearArtists();
    m_storeTracks.clear();
}
