// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/tagedit.h"

#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"
#include "res/strings.h"

#include <algorithm>

namespace {

constexpr std::size_t EXTENSION_BYTES = 4;

constexpr ETagField s_aCheckOrder[] = {ETagField::Album, ETagField::Artist, ETagField::Comment,
                                       ETagField::Title, ETagField::Year,   ETagField::Track};

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

const std::string& FieldText(const SPageValues& values, ETagField eField) {
    switch (eField) {
    case ETagField::Album:
        return values.m_strAlbum;
    case ETagField::Artist:
        return values.m_strArtist;
    case ETagField::Comment:
        return values.m_strComment;
    case ETagField::Title:
        return values.m_strTitle;
    case ETagField::Track:
        return values.m_strTrack;
    case ETagField::Year:
        break;
    }
    return values.m_strYear;
}

// The placeholder stands for "no artist" in either language: it is never a name to store.
bool IsArtistPlaceholder(const std::string& strArtist) {
    return strArtist == LoadString(IDS_UNDEFINED, ELanguage::English) ||
           strArtist == LoadString(IDS_UNDEFINED, ELanguage::French);
}

// A text to write: with one file what differs from what was shown, with several what was filled
// in.
std::optional<std::string> ChangedText(const std::string& strBefore, const std::string& strAfter,
                                       bool bOneFile) {
    const bool bChanged = bOneFile ? strAfter != strBefore && !strAfter.empty() : !strAfter.empty();
    if (!bChanged) {
        return std::nullopt;
    }
    return strAfter;
}

std::optional<int> ChangedTrack(const std::string& strBefore, const std::string& strAfter,
                                bool bOneFile) {
    if (bOneFile && strAfter.empty() && !strBefore.empty()) {
        return 0; // the one file's number was wiped out on purpose
    }
    if (strAfter.empty() || (bOneFile && strAfter == strBefore)) {
        return std::nullopt;
    }
    return std::stoi(strAfter);
}

} // namespace

std::string TitleFromFileName(const std::string& strFileName) {
    if (strFileName.size() <= EXTENSION_BYTES) {
        return {};
    }
    std::string strTitle = strFileName.substr(0, strFileName.size() - EXTENSION_BYTES);
    if (IsValidUtf8(strTitle)) {
        return strTitle;
    }
    if (IsValidUtf8(strFileName)) {
        // The cut went through a character: drop what is left of it rather than reinterpret the
        // whole name in another character set.
        while (!strTitle.empty() && IsContinuationByte(strTitle.back())) {
            strTitle.pop_back();
        }
        if (!strTitle.empty()) {
            strTitle.pop_back();
        }
        return strTitle;
    }
    // A name in a legacy character set: the page and the tag need text, not raw bytes.
    return DecodeTagText(strTitle);
}

SPageValues InitialPageValues(const std::vector<CTrackInfo*>& arrSelected) {
    SPageValues values;
    if (arrSelected.size() != 1) {
        return values;
    }
    const CTrackInfo& track = *arrSelected.front();
    values.m_strTitle = track.GetTitle();
    if (values.m_strTitle.empty()) {
        values.m_strTitle = TitleFromFileName(std::string(track.GetFileName()));
        values.m_bTitleFromFileName = !values.m_strTitle.empty();
    }
    values.m_strArtist = track.GetArtist();
    values.m_strAlbum = track.GetAlbum();
    values.m_strYear = track.GetYear();
    values.m_strComment = track.GetComment();
    values.m_nGenre = track.GetGenre();
    if (track.GetTrack() != 0) {
        values.m_strTrack = std::to_string(track.GetTrack());
    }
    return values;
}

std::size_t FieldLimit(ETagField eField, const SPageValues& values) {
    switch (eField) {
    case ETagField::Year:
        return CId3v1Tag::YEAR_WIDTH;
    case ETagField::Track:
        return 3;
    case ETagField::Comment:
        return values.m_strTrack.empty() ? CId3v1Tag::TEXT_WIDTH
                                         : CId3v1Tag::COMMENT_WITH_TRACK_WIDTH;
    default:
        return CId3v1Tag::TEXT_WIDTH;
    }
}

std::optional<ETagField> FindOverlongField(const SPageValues& values, const CTagCodec& codec) {
    for (const ETagField eField : s_aCheckOrder) {
        // The tag stores encoded bytes: a character may take several of them.
        const std::optional<std::string> strBytes = codec.Encode(FieldText(values, eField));
        if (strBytes && strBytes->size() > FieldLimit(eField, values)) {
            return eField;
        }
    }
    return std::nullopt;
}

std::optional<ETagField> FindUnencodableField(const SPageValues& values, const CTagCodec& codec) {
    for (const ETagField eField : s_aCheckOrder) {
        if (!codec.Encode(FieldText(values, eField))) {
            return eField;
        }
    }
    return std::nullopt;
}

bool IsValidTrackText(const std::string& strTrack) {
    if (strTrack.empty()) {
        return true;
    }
    if (strTrack.size() > 3 || !std::all_of(strTrack.begin(), strTrack.end(),
                                            [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const int nTrack = std::stoi(strTrack);
    return nTrack >= 1 && nTrack <= 255;
}

STagChanges ChangesFromPage(const SPageValues& before, const SPageValues& after, bool bOneFile) {
    STagChanges changes;
    changes.m_strTitle = ChangedText(before.m_strTitle, after.m_strTitle, bOneFile);
    if (!changes.m_strTitle && after.m_bTitleFromFileName &&
        after.m_strTitle == before.m_strTitle && !after.m_strTitle.empty()) {
        changes.m_strTitle = after.m_strTitle;
    }
    changes.m_strArtist = ChangedText(before.m_strArtist, after.m_strArtist, bOneFile);
    if (changes.m_strArtist && IsArtistPlaceholder(*changes.m_strArtist)) {
        changes.m_strArtist = std::string();
    }
    changes.m_strAlbum = ChangedText(before.m_strAlbum, after.m_strAlbum, bOneFile);
    changes.m_strYear = ChangedText(before.m_strYear, after.m_strYear, bOneFile);
    changes.m_strComment = ChangedText(before.m_strComment, after.m_strComment, bOneFile);
    changes.m_nTrack = ChangedTrack(before.m_strTrack, after.m_strTrack, bOneFile);
    const bool bGenreChosen =
        bOneFile ? after.m_nGenre != before.m_nGenre : after.m_nGenre != GENRE_NONE;
    if (bGenreChosen && after.m_nGenre >= 0 && after.m_nGenre <= 255) {
        changes.m_nGenre = static_cast<unsigned char>(after.m_nGenre);
    }
    return changes;
}

STagWriteOutcome WriteSelectedTags(const STagChanges& changes,
                                   const std::vector<CTrackInfo*>& arrSelected,
                                   const CTagWriter& writer) {
    STagWriteOutcome outcome;
    for (CTrackInfo* pTrack : arrSelected) {
        const std::string strArtist(pTrack->GetArtist());
        const unsigned char nGenre = pTrack->GetGenre();
        try {
            STagWriteResult result = pTrack->WriteTag(changes, writer);
            switch (result.m_eStatus) {
            case EWriteStatus::Written:
                outcome.m_arrUndo.push_back(std::move(*result.m_undo));
                if (!result.m_bTimesKept) {
                    outcome.m_arrTimesNotKept.push_back(pTrack);
                }
                break;
            case EWriteStatus::Unchanged:
                break;
            case EWriteStatus::ChangedSinceListed:
                outcome.m_arrChanged.push_back(pTrack);
                break;
            case EWriteStatus::NotWritable:
            case EWriteStatus::NotEncodable:
                outcome.m_arrNotWritten.push_back(pTrack);
                break;
            }
        } catch (const CFileException& e) {
            // The disk itself refused (full, quota, I/O error): the next files would most likely
            // fail the same way, and the user must hear of it before anything else is touched.
            outcome.m_error = e;
            break;
        }
        outcome.m_bArtistChanged |= pTrack->GetArtist() != strArtist;
        outcome.m_bGenreChanged |= pTrack->GetGenre() != nGenre;
    }
    return outcome;
}

bool NeedsIndexRebuild(const STagWriteOutcome& outcome, bool bByGenre) {
    return outcome.m_bArtistChanged || (bByGenre && outcome.m_bGenreChanged);
}
