// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genreentry.h"

#include "catalogue/trackinfo.h"

void CGenreEntry::AddTrack(CTrackInfo* pTrack) {
    m_arrTracks.push_back(pTrack);
    m_artistIndex.FindOrAdd(pTrack->GetArtist())->AddTrack(pTrack);
}
