// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/id3v1tag.h"

#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"

#include <cstring>

bool CId3v1Tag::HasMarker(const unsigned char* pBytes) {
    return std::memcmp(pBytes, "TAG", 3) == 0;
}

CId3v1Tag::CBytes CId3v1Tag::Blank() {
    CId3v1Tag tag;
    tag.m_nGenre = GENRE_UNSET;
    return tag.Format();
}

int CId3v1Tag::TrackOf(const CBytes& bytes) {
    return bytes[TRACK_MARK] == 0 ? bytes[TRACK] : 0;
}

CId3v1Tag CId3v1Tag::Parse(const CBytes& bytes) {
    CId3v1Tag tag;
    tag.m_strTitle = ReadTagText(&bytes[TITLE], TEXT_WIDTH);
    tag.m_strArtist = ReadTagText(&bytes[ARTIST], TEXT_WIDTH);
    tag.m_strAlbum = ReadTagText(&bytes[ALBUM], TEXT_WIDTH);
    tag.m_strYear = ReadTagText(&bytes[YEAR], YEAR_WIDTH);
    tag.m_strComment = ReadTagText(&bytes[COMMENT], TEXT_WIDTH);
    tag.m_nGenre = bytes[GENRE];
    return tag;
}

std::array<std::string_view, 5> CId3v1Tag::ParseTexts(const CBytes& bytes,
                                                      std::array<std::string, 5>& arrDecoded,
                                                      const CTagCodec& codec) {
    return {codec.ReadField(&bytes[TITLE], TEXT_WIDTH, arrDecoded[0]),
            codec.ReadField(&bytes[ARTIST], TEXT_WIDTH, arrDecoded[1]),
            codec.ReadField(&bytes[ALBUM], TEXT_WIDTH, arrDecoded[2]),
            codec.ReadField(&bytes[YEAR], YEAR_WIDTH, arrDecoded[3]),
            codec.ReadField(&bytes[COMMENT], TEXT_WIDTH, arrDecoded[4])};
}

CId3v1Tag::CBytes CId3v1Tag::Format() const {
    CBytes bytes{};
    std::memcpy(bytes.data(), "TAG", 3);
    WriteTagText(m_strTitle, &bytes[TITLE], TEXT_WIDTH);
    WriteTagText(m_strArtist, &bytes[ARTIST], TEXT_WIDTH);
    WriteTagText(m_strAlbum, &bytes[ALBUM], TEXT_WIDTH);
    WriteTagText(m_strYear, &bytes[YEAR], YEAR_WIDTH);
    WriteTagText(m_strComment, &bytes[COMMENT], TEXT_WIDTH);
    bytes[GENRE] = m_nGenre;
    return bytes;
}
