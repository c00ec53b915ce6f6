// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/id3v1tag.h"

#include <cstddef>
#include <optional>
#include <string>

class CTagCodec;

// What an edit would take from a tag without setting it itself: the comment's last two bytes
// hold the ID3v1.1 track number, so the two can share them only when the comment fits in 28.
enum class ETagLoss {
    None,
    TrackNumber, // a comment of more than 28 bytes would be written over the track number
    CommentEnd,  // a track number would be written over a comment's 29th and 30th bytes
};

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
    // Whether a field gets a value: a text, a track number or a genre. Fields only emptied give
    // a file without a tag nothing to hold.
    bool SetsValue() const;

    // What writing the changes over a tag with this track number (0: none) and a comment of
    // this many bytes would lose that the changes do not set themselves: an edit that wants a
    // long comment must take the track number away, one that wants a track number must give a
    // comment that fits beside it. A comment the codec cannot encode loses nothing here: it is
    // refused as such.
    ETagLoss SilentLoss(int nTrack, std::size_t nCommentBytes, const CTagCodec& codec) const;
    // The same over a file's last 128 bytes; without the marker they are no tag.
    ETagLoss SilentLoss(const CId3v1Tag::CBytes& current, const CTagCodec& codec) const;
    // For a comment copied in rather than typed: cuts it at a character boundary to the 28 bytes
    // beside the track number the tag will hold (the changes' own, else nTrack), so that the
    // copy never takes that number's place. Nothing changes without a track number.
    void FitCommentBesideTrack(int nTrack, const CTagCodec& codec);

    // The tag after the edit: the current one (a blank tag for a file without one) with only the
    // fields set changed; a field emptied that reads empty already keeps its bytes. A comment
    // written whole in over 28 bytes takes the place of the track number; otherwise a track
    // number stays, or is set, behind a zero byte at offset 125 (SilentLoss tells beforehand).
    // Nothing when a text cannot be encoded.
    std::optional<CId3v1Tag::CBytes> ApplyTo(const CId3v1Tag::CBytes& current,
                                             const CTagCodec& codec) const;
};
