// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagchanges.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class CTagCodec;

// Why a field's value is refused: the text the command line prints, and its parts, for a window
// to say it in its own language.
struct SFieldRefusal {
    enum class EWhy {
        UnknownField,       // strField names no field
        NotATrack,          // strValue is no number from 1 to 255
        NotAGenre,          // strValue is neither a number from 0 to 255 nor a genre's name
        NotStorable,        // strValue has characters strCodec cannot store
        TooWide,            // nBytes in strCodec, over the field's nWidth
        CommentBesideTrack, // a comment of nBytes beside a track number, over its nWidth
    };
    EWhy eWhy = EWhy::UnknownField;
    std::string strField;
    std::string strValue;
    std::size_t nBytes = 0;
    std::size_t nWidth = 0;
    std::string strCodec;

    std::string Text() const;
};

// How a text given for a tag field becomes a change, and whether the change fits: the rules
// every caller that sets fields from text (the command line, names of files) shares, so that
// the same value is taken or refused the same way wherever it comes from.
class CTagFieldRules {
public:
    // Sets the field named (title, artist, album, year, comment, track, genre) from its text;
    // false with why when the name or the value is refused. An empty track takes the track
    // number away; the artist placeholder is stored as no artist.
    static bool Assign(std::string_view strField, const std::string& strValue, STagChanges& changes,
                       SFieldRefusal& refusal);
    static bool Assign(std::string_view strField, const std::string& strValue, STagChanges& changes,
                       std::string& strError);

    // A whole number from 1 to 255, nothing else.
    static std::optional<int> ParseTrack(const std::string& strText);
    // By its number (0 to 255), or by its name in the table without regard to letter case.
    static std::optional<unsigned char> ParseGenre(const std::string& strText);
    // The text shown for a missing artist, in either language: never a name to store.
    static bool IsArtistPlaceholder(std::string_view strArtist);

    // Why a value does not fit its field in the codec's bytes, or nothing when all fit; a
    // comment set beside a track number has 28 bytes.
    static std::optional<SFieldRefusal> WidthRefusal(const STagChanges& changes,
                                                     const CTagCodec& codec);
    // The same as a text, empty when all fit.
    static std::string CheckWidths(const STagChanges& changes, const CTagCodec& codec);
};
