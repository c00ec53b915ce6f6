// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CTagCodec;
struct STagChanges;

// An edit of a file's ID3v2 tag that players show: the frames of the fields set (title TIT2,
// artist TPE1, album TALB, year TDRC or TYER, the comment without description COMM, track TRCK,
// genre TCON) are made anew by TagLib, and every other byte of the tag stays as it is: the frames
// of other fields, their order, flags and encodings, the header. TagLib never parses the whole
// tag: its rewrite would turn other frames into its own renderings (2.3 years into 2.4 dates,
// frames it drops in 2.3), and a hostile compressed frame would make it inflate gigabytes. An
// emptied text, a track number taken away or "no genre" removes the frame; a field that already
// reads as set keeps its frame's bytes.
class CId3v2Edit {
public:
    // The tag's size from its 10-byte header: header, frames, padding (and footer); nothing
    // when the bytes start no ID3v2 tag.
    static std::optional<std::size_t> TagSize(std::string_view strHeader);

    // The tag made from strTag (the file's whole tag, header included) with the changes. It has
    // the old tag's size when its frames fit in the old frames and padding (the file's audio
    // then stays where it is); otherwise it is larger, with room to grow. Nothing, with
    // strWhyNot, for a tag this edit cannot keep whole: version 2.2, unsynchronised, with an
    // extended header or a footer, frames that overrun the tag or bytes after them that are no
    // padding. The result equals strTag when nothing changes. A text that is the frame's own cut
    // to its ID3v1 field in the codec (copied from this tag) leaves the frame whole.
    static std::optional<std::string> Apply(std::string_view strTag, const STagChanges& changes,
                                            const CTagCodec& codec, std::string& strWhyNot);

    // The room a grown tag is given for later edits.
    static constexpr std::size_t GROWTH_PADDING = 2048;
};
