// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genreentry.h"

#include "catalogue/trackinfo.h"

void CGenreEntry::AddTrack(CTrackInfo* pTrack) {
    m_arrTracks.push_back(pTrack);
    const std::string_view strArtist = pTrack->GetArtist();
    // As in the document's index, the record before most often joined the same artist.
    CArtistEntry* pArtist = m_pLastArtist != nullptr && m_pLastArtist->GetName() == strArtist
                                ? m_pLastArtist
                                : FindArtist(strArtist);
    if (pArtist == nullptr) {
        pArtist = AddArtist(std::string(strArtist));
    }
    if (pArtist->m_arrTracks.empty()) {
        m_arrFiled.push_back(pArtist);
    }
    pArtist->AddTrack(pTrack);
    m_pLastArtist = pArtist;
}

void CGenreEntry::Empty() {
    m_arrTracks.clear();
    for (const auto& pArtist : m_arrArtists) {
        pArtist->m_arrTracks.clear();
    }
    m_pLastArtist = nullptr;
    m_arrFiled.clear();
}

void CGenreEntry::KeepFiled() {
    KeepFiledGroups(m_arrArtists, m_arrFiled, m_mapArtists);
}

CArtistEntry* CGenreEntry::FindArtist(std::string_view strName) const {
    const auto it = m_mapArtists.find(strName);
    return it == m_mapArtists.end() ? nullptr : it->second;
}

CArtistEntry* CGenreEntry::AddArtist(std::string strName) {
    CArtistEntry* pArtist =
        m_arrArtists.emplace_back(std::make_unique<CArtistEntry>(std::move(strName))).get();
    m_mapArtists.emplace(pArtist->GetName(), pArtist);
    return pArtist;
}
