// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CFileOps;

// The frames of an ID3v2 tag that hold what an ID3v1 tag has (title, artist, album, year,
// comment, track number, genre), taken out of the tag before a parser sees it. A parser handed a
// whole tag parses, and inflates, every frame in it whatever it declares: a compressed frame of a
// few hundred kilobytes can inflate to hundreds of megabytes. Here only the frames read are kept,
// each size is checked against what holds it, and a compressed frame is inflated here under a cap
// or not at all; what is handed on is a plain ID3v2.3 tag of those frames, which no parser can
// make larger than it is. A tag or frame that claims more bytes than the file holds (files cut
// short are common) is read as far as the file goes, frame by whole frame.
class CId3v2Frames {
public:
    // No title or comment needs a megabyte; a tag that claims more is hostile or broken.
    static constexpr std::size_t MAX_FRAME_BYTES = std::size_t{1} << 20;
    static constexpr std::size_t MAX_KEPT_BYTES = std::size_t{4} << 20;

    // The tag at the start of the opened file of nFileSize bytes, read through ops.
    static CId3v2Frames Read(int nFd, std::int64_t nFileSize, CFileOps& ops);
    // The same from the file's first bytes: its whole tag, or all the file has of it.
    static CId3v2Frames Parse(std::string_view strStart);

    int m_nVersion = 0; // 2, 3 or 4; 0 when the file starts with no ID3v2 tag
    // A frame read would hold more than MAX_FRAME_BYTES, or all of them more than
    // MAX_KEPT_BYTES, once inflated: the tag is hostile and none of it is read.
    bool m_bRefused = false;
    // An ID3v2.3 tag of the frames kept: no unsynchronisation, compression, encryption or
    // extended header. Empty when none was kept or the tag was refused.
    std::string m_strTag;
};
