// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genreentry.h"

#include "catalogue/trackinfo.h"

void CGenreEntry::AddTrack(CTrackInfo* pTrack) {
    m_arrTracks.push_back(pTrack);
    if (m_bArtistsMade) {
        m_artistIndex.GroupToFile(pTrack->GetArtist())->AddTrack(pTrack);
    }
}

void CGenreEntry::Empty() {
    m_arrTracks.clear();
    m_artistIndex.Clear();
    m_bArtistsMade = false;
}

void CGenreEntry::KeepFiled() {
    if (m_bArtistsMade) {
        m_artistIndex.KeepFiled();
    }
}

const CGenreEntry::Artists& CGenreEntry::GetArtists() const {
    if (!m_bArtistsMade) {
        for (CTrackInfo* pTrack : m_arrTracks) {
            m_artistIndex.GroupToFile(pTrack->GetArtist())->AddTrack(pTrack);
        }
        m_artistIndex.KeepFiled();
        m_bArtistsMade = true;
    }
    return m_arrArtists;
}

CArtistEntry* CGenreEntry::FindArtist(std::string_view strName) const {
    (void)GetArtists();
    return m_artistIndex.Find(strName);
}
