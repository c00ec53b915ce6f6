// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/genres.h"
#include "catalogue/tagblock.h"
#include "catalogue/trackinfo.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

struct CFields {
    std::string strFile;
    std::string strTitle;
    std::string strArtist;
    std::string strAlbum;
    std::string strLocation = "/music";
    std::int64_t nSize = 0;
    std::string strYear;
    int nGenre = GENRE_NONE;
    std::string strComment;
};

// Records in memory, with addresses that stay put while more are added.
class CTrackStore {
public:
    CTrackInfo* Add(const CFields& fields) {
        CTagBlock block;
        block.m_bRead = true;
        block.m_identity.m_nFileSize = fields.nSize + 128;
        CTrackInfo& track = m_store.emplace_back(
            std::make_shared<const std::string>(fields.strLocation), fields.strFile, block);
        track.SetTitle(fields.strTitle);
        track.SetArtist(fields.strArtist);
        track.SetAlbum(fields.strAlbum);
        track.SetYear(fields.strYear);
        track.SetGenre(static_cast<unsigned char>(fields.nGenre));
        track.SetComment(fields.strComment);
        return &track;
    }

private:
    std::deque<CTrackInfo> m_store;
};
