// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tracklist.h"

#include <string>

// One artist group: the records that share an artist text, in catalogue order. Not owned.
class CArtistEntry {
public:
    explicit CArtistEntry(std::string strName) : m_strName(std::move(strName)) {}

    const std::string& GetName() const { return m_strName; }
    void AddTrack(CTrackInfo* pTrack) { m_arrTracks.push_back(pTrack); }

    const std::string m_strName;
    CTrackList m_arrTracks;
};
