// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/genres.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

class CTagCodec;

// The ID3v1 tag: the last 128 bytes of a file, when they begin with "TAG".
class CId3v1Tag {
public:
    static constexpr std::size_t SIZE = 128;
    using CBytes = std::array<unsigned char, SIZE>;

    std::string m_strTitle;
    std::string m_strArtist;
    std::string m_strAlbum;
    std::string m_strYear;
    std::string m_strComment;
    unsigned char m_nGenre = GENRE_NONE;

    // Offsets and widths of the fields in the 128 bytes.
    static constexpr std::size_t TITLE = 3, ARTIST = 33, ALBUM = 63, YEAR = 93, COMMENT = 97;
    static constexpr std::size_t TRACK_MARK = 125, TRACK = 126, GENRE = 127;
    static constexpr std::size_t TEXT_WIDTH = 30, YEAR_WIDTH = 4, COMMENT_WITH_TRACK_WIDTH = 28;

    // The marker is case-sensitive: "tag" or "TAg" is no tag.
    static bool HasMarker(const unsigned char* pBytes);
    // What a new tag starts from: the marker, empty texts, no genre.
    static CBytes Blank();
    // The ID3v1.1 track number (a zero byte at 125 and a non-zero one at 126), or 0.
    static int TrackOf(const CBytes& bytes);

    // Fields of a block whose marker was checked.
    static CId3v1Tag Parse(const CBytes& bytes);
    // Title, artist, album, year and comment as views into the block or into arrDecoded, for a
    // scan that must not allocate five strings per file.
    static std::array<std::string_view, 5>
    ParseTexts(const CBytes& bytes, std::array<std::string, 5>& arrDecoded, const CTagCodec& codec);

    // Exactly 128 bytes, every text cut to its field's width at a character boundary.
    CBytes Format() const;
};
