// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/nameformat.h"

#include "catalogue/genres.h"
#include "catalogue/renameplan.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagfieldrules.h"
#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"
#include "catalogue/utf8.h"

#include <algorithm>
#include <cstdio>

namespace {

using EField = CNameFormat::EField;

const CNameFormat::SPlaceholder* FindPlaceholder(char cLetter) {
    const auto& arrAll = CNameFormat::Placeholders();
    const auto it = std::find_if(arrAll.begin(), arrAll.end(), [cLetter](const auto& placeholder) {
        return placeholder.cLetter == cLetter;
    });
    return it == arrAll.end() ? nullptr : &*it;
}

std::string TrackText(int nTrack) {
    if (nTrack == 0) {
        return std::string();
    }
    char szTrack[8];
    std::snprintf(szTrack, sizeof szTrack, "%02d", nTrack);
    return szTrack;
}

std::string FieldOf(const CTrackInfo& track, EField eField) {
    // A file without a tag shows a placeholder artist and no genre: neither is a name to give.
    if (!track.HasTag()) {
        return std::string();
    }
    switch (eField) {
    case EField::Title:
        return std::string(track.GetTitle());
    case EField::Artist:
        return std::string(track.GetArtist());
    case EField::Album:
        return std::string(track.GetAlbum());
    case EField::Year:
        return std::string(track.GetYear());
    case EField::Track:
        return TrackText(track.GetTrack());
    case EField::Genre:
        return track.GetGenre() < GENRE_NONE ? g_szGenreNames[track.GetGenre()] : "";
    case EField::Comment:
        return std::string(track.GetComment());
    }
    return std::string();
}

std::string_view Trimmed(std::string_view str) {
    const std::size_t nFirst = str.find_first_not_of(' ');
    if (nFirst == std::string_view::npos) {
        return std::string_view();
    }
    return str.substr(nFirst, str.find_last_not_of(' ') - nFirst + 1);
}

// How far a field may reach from nPos: a track takes digits only, three at most.
std::size_t FieldEnd(EField eField, std::string_view strStem, std::size_t nPos) {
    if (eField != EField::Track) {
        return strStem.size();
    }
    std::size_t nEnd = nPos;
    while (nEnd < strStem.size() && nEnd - nPos < 3 && strStem[nEnd] >= '0' &&
           strStem[nEnd] <= '9') {
        ++nEnd;
    }
    return nEnd;
}

} // namespace

const std::vector<CNameFormat::SPlaceholder>& CNameFormat::Placeholders() {
    static const std::vector<SPlaceholder> s_arrAll = {
        {'n', EField::Track, "track"},     {'a', EField::Artist, "artist"},
        {'t', EField::Title, "title"},     {'l', EField::Album, "album"},
        {'y', EField::Year, "year"},       {'g', EField::Genre, "genre"},
        {'c', EField::Comment, "comment"},
    };
    return s_arrAll;
}

std::optional<CNameFormat> CNameFormat::Parse(std::string_view strFormat, std::string& strError) {
    CNameFormat format;
    std::string strLiteral;
    for (std::size_t i = 0; i < strFormat.size(); ++i) {
        if (strFormat[i] != '%') {
            strLiteral += strFormat[i];
            continue;
        }
        if (i + 1 < strFormat.size() && strFormat[i + 1] == '%') {
            strLiteral += '%';
            ++i;
            continue;
        }
        const SPlaceholder* pPlaceholder =
            i + 1 < strFormat.size() ? FindPlaceholder(strFormat[i + 1]) : nullptr;
        if (!pPlaceholder) {
            strError = "'" + std::string(strFormat) +
                       "': '%' goes before t, a, l, y, n, g, c or another '%'";
            return std::nullopt;
        }
        if (!strLiteral.empty()) {
            format.m_arrPieces.push_back({std::move(strLiteral), std::nullopt});
            strLiteral.clear();
        }
        format.m_arrPieces.push_back({std::string(), pPlaceholder->eField});
        ++i;
    }
    if (!strLiteral.empty()) {
        format.m_arrPieces.push_back({std::move(strLiteral), std::nullopt});
    }
    return format;
}

std::string CNameFormat::CheckForMatching() const {
    std::vector<EField> arrSeen;
    for (const SPiece& piece : m_arrPieces) {
        if (!piece.eField) {
            if (piece.strLiteral.find('/') != std::string::npos) {
                return "a file name holds no '/'";
            }
            continue;
        }
        if (std::find(arrSeen.begin(), arrSeen.end(), *piece.eField) != arrSeen.end()) {
            return "each placeholder may be used once";
        }
        arrSeen.push_back(*piece.eField);
    }
    return arrSeen.empty() ? "it has no placeholder" : std::string();
}

std::string CNameFormat::Expand(const CTrackInfo& track) const {
    std::string strStem;
    bool bAnyField = false;
    bool bAnyText = false;
    for (const SPiece& piece : m_arrPieces) {
        if (piece.eField) {
            const std::string strField = FieldOf(track, *piece.eField);
            bAnyField = true;
            bAnyText = bAnyText || !strField.empty();
            strStem += strField;
        } else {
            strStem += piece.strLiteral;
        }
    }
    // Separators alone ("-  -.mp3") would name every untagged file alike.
    return bAnyField && !bAnyText ? std::string() : strStem;
}

std::optional<std::vector<std::pair<EField, std::string>>>
CNameFormat::Match(std::string_view strStem) const {
    std::vector<std::pair<EField, std::string>> arrFound;
    // Where matching the rest failed once, it fails again: remembering it keeps the search
    // within pieces × positions steps, whatever the stem.
    std::vector<bool> arrFailed((m_arrPieces.size() + 1) * (strStem.size() + 1), false);
    if (!MatchFrom(0, strStem, 0, arrFound, arrFailed)) {
        return std::nullopt;
    }
    return arrFound;
}

bool CNameFormat::MatchFrom(std::size_t nPiece, std::string_view strStem, std::size_t nPos,
                            std::vector<std::pair<EField, std::string>>& arrFound,
                            std::vector<bool>& arrFailed) const {
    if (nPiece == m_arrPieces.size()) {
        return nPos == strStem.size();
    }
    const std::size_t nMemo = nPiece * (strStem.size() + 1) + nPos;
    if (arrFailed[nMemo]) {
        return false;
    }
    const SPiece& piece = m_arrPieces[nPiece];
    if (!piece.eField) {
        if (strStem.substr(nPos, piece.strLiteral.size()) == piece.strLiteral &&
            MatchFrom(nPiece + 1, strStem, nPos + piece.strLiteral.size(), arrFound, arrFailed)) {
            return true;
        }
    } else {
        const std::size_t nLast = FieldEnd(*piece.eField, strStem, nPos);
        // A track takes every digit it can, any other field as little as it can.
        const bool bLongest = nPiece + 1 == m_arrPieces.size() || *piece.eField == EField::Track;
        for (std::size_t n = 0; n <= nLast - nPos; ++n) {
            const std::size_t nEnd = bLongest ? nLast - n : nPos + n;
            arrFound.emplace_back(*piece.eField,
                                  std::string(Trimmed(strStem.substr(nPos, nEnd - nPos))));
            if (MatchFrom(nPiece + 1, strStem, nEnd, arrFound, arrFailed)) {
                return true;
            }
            arrFound.pop_back();
        }
    }
    arrFailed[nMemo] = true;
    return false;
}

std::optional<STagChanges>
CNameFormat::ToChanges(const std::vector<std::pair<EField, std::string>>& arrFound,
                       SFieldRefusal& refusal) {
    STagChanges changes;
    for (const auto& [eField, strText] : arrFound) {
        if (strText.empty()) {
            continue;
        }
        const auto& arrAll = Placeholders();
        const auto it =
            std::find_if(arrAll.begin(), arrAll.end(),
                         [eField = eField](const auto& p) { return p.eField == eField; });
        if (!CTagFieldRules::Assign(it->pszFieldName, strText, changes, refusal)) {
            return std::nullopt;
        }
    }
    return changes;
}

std::optional<std::vector<std::pair<EField, std::string>>>
CNameFormat::MatchFileName(std::string_view strFileName, const CTagCodec& codec) const {
    const std::string_view strStem = CRenamePlan::SplitExtension(strFileName).first;
    return Match(IsValidUtf8(strStem) ? std::string(strStem) : codec.Decode(strStem));
}

std::optional<STagChanges>
CNameFormat::ToFittingChanges(const std::vector<std::pair<EField, std::string>>& arrFound,
                              const CTagCodec& codec, SFieldRefusal& refusal) {
    std::optional<STagChanges> changes = ToChanges(arrFound, refusal);
    if (!changes) {
        return std::nullopt;
    }
    if (std::optional<SFieldRefusal> tooWide = CTagFieldRules::WidthRefusal(*changes, codec)) {
        refusal = std::move(*tooWide);
        return std::nullopt;
    }
    return changes;
}
