// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagchanges.h"

#include <optional>
#include <string>

class CFileOps;
class CTagCodec;
class CTrackInfo;

// What a file's ID3v2 tag holds of the fields ID3v1 has, and which other tags the file carries.
// Devices that read only ID3v1 are common, so its fields can be filled from here. The ID3v2 tag
// itself is only ever read.
class CId3v2Tag {
public:
    // Reads the file's tag: versions 2.2 to 2.4, unsynchronisation, extended headers, compressed
    // frames, every text encoding. Only a regular file is opened; anything else gives an empty
    // result. Only the frames below are read, as far as the file holds them; a tag whose frames
    // would take more memory than any tag needs (CId3v2Frames) is refused: the result then says
    // so and has none of the fields.
    static CId3v2Tag Read(const std::string& strPath, CFileOps& ops);

    int m_nVersion = 0;      // 2, 3 or 4; 0 when the file has no ID3v2 tag
    bool m_bRefused = false; // the tag is hostile: nothing of it was read
    bool m_bHasApe = false;
    std::optional<std::string> m_strTitle;   // TIT2
    std::optional<std::string> m_strArtist;  // TPE1
    std::optional<std::string> m_strAlbum;   // TALB
    std::optional<std::string> m_strYear;    // the year of TDRC or TYER
    std::optional<std::string> m_strComment; // the first COMM frame
    std::optional<int> m_nTrack;             // the number of TRCK, 1 to 255
    // TCON by number, "(17)", or by a name of the genre table; nothing when no name matches.
    std::optional<unsigned char> m_nGenre;

    // Every field this tag has, as changes for the ID3v1 tag: texts cleaned (CleanCopiedText)
    // and cut at a character boundary to their field's width in the codec's bytes, the comment
    // to 28 bytes beside a track number. A text the codec cannot hold is left out.
    STagChanges ToChanges(const CTagCodec& codec) const;
};

// The text as a field of nWidth bytes gives it back once written in the codec: cut at a
// character boundary, trailing spaces gone. Nothing when the codec cannot hold the text.
std::optional<std::string> FitTagText(const std::string& strText, std::size_t nWidth,
                                      const CTagCodec& codec);

// The changes kept for the fields the record's tag leaves empty (all of them when the file has no
// ID3v1 tag): filling from another tag never overwrites what the file already says.
STagChanges OnlyEmptyFields(const STagChanges& changes, const CTrackInfo& track);
