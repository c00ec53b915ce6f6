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

bool CTagFieldRules::Assign(std::string_view strField, const std::string& strValue,
                            STagChanges& changes, std::string& strError) {
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
            strError = "track: '" + strValue + "' is no number from 1 to 255";
            return false;
        }
        changes.m_nTrack = nTrack;
        return true;
    }
    if (strField == "genre") {
        changes.m_nGenre = ParseGenre(strValue);
        if (!changes.m_nGenre) {
            strError =
                "genre: '" + strValue + "' is neither a number from 0 to 255 nor a genre name";
            return false;
        }
        return true;
    }
    strError = "unknown field '" + std::string(strField) +
               "' (title, artist, album, year, comment, track, genre)";
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

std::string CTagFieldRules::CheckWidths(const STagChanges& changes, const CTagCodec& codec) {
    for (const SField& field : s_aTextFields) {
        const std::optional<std::string>& strText = changes.*field.pText;
        if (!strText) {
            continue;
        }
        const std::optional<std::string> strBytes = codec.Encode(*strText);
        if (!strBytes) {
            return std::string(field.pszName) + ": '" + *strText + "' has characters that " +
                   codec.GetName() + " cannot store";
        }
        if (strBytes->size() > field.nWidth) {
            return std::string(field.pszName) + ": " + std::to_string(strBytes->size()) +
                   " bytes in " + codec.GetName() + ", over the field's " +
                   std::to_string(field.nWidth);
        }
    }
    // The editor's rule: a comment set beside a track number leaves it its two bytes.
    if (changes.SilentLoss(0, 0, codec) != ETagLoss::None) {
        return "comment: " + std::to_string(codec.Encode(*changes.m_strComment)->size()) +
               " bytes in " + codec.GetName() + ", over the 28 a track number leaves it";
    }
    return std::string();
}
