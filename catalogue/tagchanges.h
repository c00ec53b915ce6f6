// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/id3v1tag.h"

#include <optional>
#include <string>

class CTagCodec;

// What one tag edit sets. A field without a value keeps the bytes the file holds when the edit
// is written, whatever was read at scan time: another program's change to it survives.
struct STagChanges {
    std::optional<std::string> m_strTitle;
    std::optional<std::string> m_strArtist;
    std::optional<std::string> m_strAlbum;
    std::optional<std::string> m_strYear;
    std::optional<std::string> m_strComment;
    std::optional<int> m_nTrack; // 1 to 255; 0 takes the track number away
    std::optional<unsigned char> m_nGenre;

    bool IsEmpty() const;

    // The tag after the edit: the current one (a blank tag for a file without one) with only the
    // fields set changed. A comment written whole in over 28 bytes takes the place of the track
    // number; otherwise a track number stays, or is set, behind a zero byte at offset 125.
    // Nothing when a text cannot be encoded.
    std::optional<CId3v1Tag::CBytes> ApplyTo(const CId3v1Tag::CBytes& current,
                                             const CTagCodec& codec) const;
};
