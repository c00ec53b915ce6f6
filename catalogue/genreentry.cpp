// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genreentry.h"

#include "catalogue/trackinfo.h"

void CGenreEntry::AddTrack(CTrackInfo* pTrack) {
    m_arrTracks.push_back(pTrack);
    m_artistIndex.GroupToFile(pTrack->GetArtist())->AddTrack(pTrack);
}

void CGenreEntry::Empty() {
    m_arrTracks.clear();
    for (const auto& pArtist : m_arrArtists) {
        pArtist->m_arrTracks.clear();
    }
    m_artistIndex.StartFiling();
}

void CGenreEntry::KeepFiled() {
    m_artistIndex.KeepFiled();
}
