// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagfieldrules.h"

#include "catalogue/genres.h"
#include "catalogue/id3v1tag.h"
#include "catalogue/tagcodec.h"
#include "catalogue/wildcard.h"
#include "res/strings.h"

namespace {

// A whole number from nMin to nMax, nothing else.
std::optional<int> ParseNumber(const std::string& strText, int nMin, int nMax) {
    if (strText.empty() || strText.size() > 3 ||
        strText.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int nValue = std::stoi(strText);
    if (nValue < nMin || nValue > nMax) {
        return std::nullopt;
    }
    return nValue;
}

struct SField {
    const char* pszName;
    std::optional<std::string> STagChanges::*pText;
    std::size_t nWidth;
};

const SField s_aTextFields[] = {
    {"title", &STagChanges::m_strTitle, CId3v1Tag::TEXT_WIDTH},
    {"artist", &STagChanges::m_strArtist, CId3v1Tag::TEXT_WIDTH},
    {"album", &STagChanges::m_strAlbum, CId3v1Tag::TEXT_WIDTH},
    {"year", &STagChanges::m_strYear, CId3v1Tag::YEAR_WIDTH},
    {"comment", &STagChanges::m_strComment, CId3v1Tag::TEXT_WIDTH},
};

} // namespace

std::string SFieldRefusal::Text() const {
    switch (eWhy) {
    case EWhy::NotATrack:
        return "track: '" + strValue + "' is no number from 1 to 255";
    case EWhy::NotAGenre:
        return "genre: '" + strValue + "' is neither a number from 0 to 255 nor a genre name";
    case EWhy::NotStorable:
        return strField + ": '" + strValue + "' has characters that " + strCodec + " cannot store";
    case EWhy::TooWide:
        return strField + ": " + std::to_string(nBytes) + " bytes in " + strCodec +
               ", over the field's " + std::to_string(nWidth);
    case EWhy::CommentBesideTrack:
        return "comment: " + std::to_string(nBytes) + " bytes in " + strCodec + ", over the " +
               std::to_string(nWidth) + " a track number leaves it";
    case EWhy::UnknownField:
        break;
    }
    return "unknown field '" + strField + "' (title, artist, album, year, comment, track, genre)";
}

bool CTagFieldRules::Assign(std::string_view strField, const std::string& strValue,
                            STagChanges& changes, std::string& strError) {
    SFieldRefusal refusal;
    if (Assign(strField, strValue, changes, refusal)) {
        return true;
    }
    strError = refusal.Text();
    return false;
}

bool CTagFieldRules::Assign(std::string_view strField, const std::string& strValue,
                            STagChanges& changes, SFieldRefusal& refusal) {
    using EWhy = SFieldRefusal::EWhy;
    for (const SField& field : s_aTextFields) {
        if (strField == field.pszName) {
            const bool bNoName = strField == "artist" && IsArtistPlaceholder(strValue);
            changes.*field.pText = bNoName ? std::string() : strValue;
            return true;
        }
    }
    if (strField == "track") {
        // An empty value takes the track number away; 0 is no track number to write.
        const std::optional<int> nTrack = strValue.empty() ? 0 : ParseTrack(strValue);
        if (!nTrack) {
            refusal = {EWhy::NotATrack, "track", strValue, 0, 0, {}};
            return false;
        }
        changes.m_nTrack = nTrack;
        return true;
    }
    if (strField == "genre") {
        changes.m_nGenre = ParseGenre(strValue);
        if (!changes.m_nGenre) {
            refusal = {EWhy::NotAGenre, "genre", strValue, 0, 0, {}};
            return false;
        }
        return true;
    }
    refusal = {EWhy::UnknownField, std::string(strField), strValue, 0, 0, {}};
    return false;
}

std::optional<int> CTagFieldRules::ParseTrack(const std::string& strText) {
    return ParseNumber(strText, 1, 255);
}

std::optional<unsigned char> CTagFieldRules::ParseGenre(const std::string& strText) {
    if (const std::optional<int> nGenre = ParseNumber(strText, 0, 255)) {
        return static_cast<unsigned char>(*nGenre);
    }
    // The names hold neither '*' nor '?': as patterns they match themselves alone, in any
    // letter case, with the scan's own case folding.
    for (int nGenre = 0; nGenre < GENRE_NONE; ++nGenre) {
        if (MatchWildcard(g_szGenreNames[nGenre], strText)) {
            return static_cast<unsigned char>(nGenre);
        }
    }
    return std::nullopt;
}

bool CTagFieldRules::IsArtistPlaceholder(std::string_view strArtist) {
    return strArtist == LoadString(IDS_UNDEFINED, ELanguage::English) ||
           strArtist == LoadString(IDS_UNDEFINED, ELanguage::French);
}

std::optional<SFieldRefusal> CTagFieldRules::WidthRefusal(const STagChanges& changes,
                                                          const CTagCodec& codec) {
    using EWhy = SFieldRefusal::EWhy;
    for (const SField& field : s_aTextFields) {
        const std::optional<std::string>& strText = changes.*field.pText;
        if (!strText) {
            continue;
        }
        const std::optional<std::string> strBytes = codec.Encode(*strText);
        if (!strBytes) {
            return SFieldRefusal{EWhy::NotStorable, field.pszName, *strText, 0, 0, codec.GetName()};
        }
        if (strBytes->size() > field.nWidth) {
            return SFieldRefusal{EWhy::TooWide,    field.pszName, *strText,
                                 strBytes->size(), field.nWidth,  codec.GetName()};
        }
    }
    // The editor's rule: a comment set beside a track number leaves it its two bytes.
    if (changes.SilentLoss(0, 0, codec) != ETagLoss::None) {
        return SFieldRefusal{EWhy::CommentBesideTrack,
                             "comment",
                             *changes.m_strComment,
                             codec.Encode(*changes.m_strComment)->size(),
                             CId3v1Tag::COMMENT_WITH_TRACK_WIDTH,
                             codec.GetName()};
    }
    return std::nullopt;
}

std::string CTagFieldRules::CheckWidths(const STagChanges& changes, const CTagCodec& codec) {
    const std::optional<SFieldRefusal> refusal = WidthRefusal(changes, codec);
    return refusal ? refusal->Text() : std::string();
}
