// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagchanges.h"
#include "catalogue/tagfieldrules.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CTagCodec;
class CTrackInfo;

// A pattern of file names made of tag fields: "%n - %a - %t" names a file "07 - Artist -
// Title". It makes a name's stem from a record's fields, or finds the fields in a stem.
class CNameFormat {
public:
    enum class EField { Title, Artist, Album, Year, Track, Genre, Comment };

    struct SPlaceholder {
        char cLetter;
        EField eField;
        const char* pszFieldName; // as --set names the field
    };
    // Every placeholder, in the order offered to the user; "%%" stands for a percent sign.
    static const std::vector<SPlaceholder>& Placeholders();

    // Nothing, with strError, for a '%' followed by no placeholder letter.
    static std::optional<CNameFormat> Parse(std::string_view strFormat, std::string& strError);

    // Why the format cannot be matched against names, or the empty text: it needs a placeholder,
    // each at most once (a field found twice could disagree with itself), and no '/', which no
    // name holds.
    std::string CheckForMatching() const;

    // The stem made from the record's fields: the track as two digits (none: empty), the genre's
    // name (none: empty). A file without a tag has only empty fields; when every field the
    // format uses is empty, so is the stem.
    std::string Expand(const CTrackInfo& track) const;

    // The texts of the fields found in the stem, spaces at either end removed, in the format's
    // order; nothing when the stem does not match. Literal text must match exactly; a track is
    // up to three digits, as many as fit; where any other field could end in several places it
    // takes the shortest text (the last field takes the rest).
    std::optional<std::vector<std::pair<EField, std::string>>>
    Match(std::string_view strStem) const;

    // The fields found in a file name without its extension; a name that is not UTF-8 is read in
    // the codec's code page.
    std::optional<std::vector<std::pair<EField, std::string>>>
    MatchFileName(std::string_view strFileName, const CTagCodec& codec) const;

    // The changes the fields found make, under the --set rules (CTagFieldRules); a field found
    // empty is left as the file has it. Nothing, with why, when a value is refused.
    static std::optional<STagChanges>
    ToChanges(const std::vector<std::pair<EField, std::string>>& arrFound, SFieldRefusal& refusal);
    // The same, also refused when a value does not fit its field in the codec's bytes.
    static std::optional<STagChanges>
    ToFittingChanges(const std::vector<std::pair<EField, std::string>>& arrFound,
                     const CTagCodec& codec, SFieldRefusal& refusal);

private:
    struct SPiece {
        std::string strLiteral; // when no field
        std::optional<EField> eField;
    };

    bool MatchFrom(std::size_t nPiece, std::string_view strStem, std::size_t nPos,
                   std::vector<std::pair<EField, std::string>>& arrFound,
                   std::vector<bool>& arrFailed) const;

    std::vector<SPiece> m_arrPieces;
};
