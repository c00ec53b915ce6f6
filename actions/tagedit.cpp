// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/tagedit.h"

#include "catalogue/id3v2tag.h"
#include "catalogue/tagfieldrules.h"
#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"
#include "catalogue/utf8.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t EXTENSION_BYTES = 4;

constexpr ETagField s_aCheckOrder[] = {ETagField::Album, ETagField::Artist, ETagField::Comment,
                                       ETagField::Title, ETagField::Year,   ETagField::Track};

} // namespace

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

std::string& FieldText(SPageValues& values, ETagField eField) {
    return const_cast<std::string&>(FieldText(std::as_const(values), eField));
}

std::optional<std::size_t> EncodedSize(const std::string& strText, const CTagCodec& codec) {
    const std::optional<std::string> strBytes = codec.Encode(strText);
    if (!strBytes) {
        return std::nullopt;
    }
    return strBytes->size();
}

bool IsArtistPlaceholder(const std::string& strArtist) {
    return CTagFieldRules::IsArtistPlaceholder(strArtist);
}

namespace {

// A text to write: what differs from what was shown. With several files an empty field stands
// for the values they do not share, so only the Clear action empties it there.
std::optional<std::string> ChangedText(const SPageValues& before, const SPageValues& after,
                                       ETagField eField, bool bOneFile) {
    if ((after.m_nCleared & FieldBit(eField)) != 0) {
        return std::string();
    }
    const std::string& strBefore = FieldText(before, eField);
    const std::string& strAfter = FieldText(after, eField);
    if (strAfter == strBefore || (strAfter.empty() && !bOneFile)) {
        return std::nullopt;
    }
    return strAfter;
}

// The bytes a record's comment takes in the codec of the write; a text it cannot encode counts
// as its UTF-8 bytes, so that a doubt refuses rather than cuts.
std::size_t CommentBytes(const std::string& strComment, const CTagCodec& codec) {
    return EncodedSize(strComment, codec).value_or(strComment.size());
}

void CountLoss(SEditLoss& loss, ETagLoss eLoss) {
    if (eLoss != ETagLoss::None) {
        loss.m_eLoss = eLoss;
        ++loss.m_nFiles;
    }
}

std::optional<int> ChangedTrack(const SPageValues& before, const SPageValues& after) {
    const std::string& strBefore = before.m_strTrack;
    const std::string& strAfter = after.m_strTrack;
    if ((after.m_nCleared & FieldBit(ETagField::Track)) != 0 ||
        (strAfter.empty() && !strBefore.empty())) {
        return 0; // the number shown was wiped out on purpose
    }
    if (strAfter.empty() || strAfter == strBefore) {
        return std::nullopt;
    }
    return std::stoi(strAfter);
}

// The value every record gives, or nothing when two differ.
template <class TValue, class FGet>
std::optional<TValue> SharedValue(const std::vector<CTrackInfo*>& arrSelected, FGet get) {
    const TValue first(get(*arrSelected.front()));
    for (const CTrackInfo* pTrack : arrSelected) {
        if (TValue(get(*pTrack)) != first) {
            return std::nullopt;
        }
    }
    return first;
}

SPageValues SharedPageValues(const std::vector<CTrackInfo*>& arrSelected) {
    SPageValues values;
    const auto text = [&](ETagField eField, std::string_view (CTrackInfo::*getter)() const) {
        const std::optional<std::string> strShared = SharedValue<std::string>(
            arrSelected, [getter](const CTrackInfo& track) { return (track.*getter)(); });
        if (strShared) {
            FieldText(values, eField) = *strShared;
        } else {
            values.m_nDifferent |= FieldBit(eField);
        }
    };
    text(ETagField::Title, &CTrackInfo::GetTitle);
    text(ETagField::Artist, &CTrackInfo::GetArtist);
    text(ETagField::Album, &CTrackInfo::GetAlbum);
    text(ETagField::Year, &CTrackInfo::GetYear);
    text(ETagField::Comment, &CTrackInfo::GetComment);
    const std::optional<int> nTrack =
        SharedValue<int>(arrSelected, [](const CTrackInfo& track) { return track.GetTrack(); });
    if (!nTrack) {
        values.m_nDifferent |= FieldBit(ETagField::Track);
    } else if (*nTrack != 0) {
        values.m_strTrack = std::to_string(*nTrack);
    }
    const std::optional<int> nGenre =
        SharedValue<int>(arrSelected, [](const CTrackInfo& track) { return track.GetGenre(); });
    values.m_nGenre = nGenre ? *nGenre : GENRE_NONE;
    return values;
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
        while (!strTitle.empty() && IsUtf8Continuation(strTitle.back())) {
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
    if (arrSelected.size() > 1) {
        return SharedPageValues(arrSelected);
    }
    if (arrSelected.empty()) {
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
        if (strBytes && strBytes->size() > FieldLimit(eField)) {
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
    return strTrack.empty() || CTagFieldRules::ParseTrack(strTrack).has_value();
}

STagChanges ChangesFromPage(const SPageValues& before, const SPageValues& after, bool bOneFile) {
    STagChanges changes;
    changes.m_strTitle = ChangedText(before, after, ETagField::Title, bOneFile);
    if (!changes.m_strTitle && after.m_bTitleFromFileName &&
        after.m_strTitle == before.m_strTitle && !after.m_strTitle.empty()) {
        changes.m_strTitle = after.m_strTitle;
    }
    changes.m_strArtist = ChangedText(before, after, ETagField::Artist, bOneFile);
    if (changes.m_strArtist && IsArtistPlaceholder(*changes.m_strArtist)) {
        changes.m_strArtist = std::string();
    }
    changes.m_strAlbum = ChangedText(before, after, ETagField::Album, bOneFile);
    changes.m_strYear = ChangedText(before, after, ETagField::Year, bOneFile);
    changes.m_strComment = ChangedText(before, after, ETagField::Comment, bOneFile);
    changes.m_nTrack = ChangedTrack(before, after);
    // "(unchanged)" is no genre to write, with one file as with several.
    const bool bGenreChosen = after.m_nGenre != before.m_nGenre && after.m_nGenre != GENRE_NONE;
    if (bGenreChosen && after.m_nGenre >= 0 && after.m_nGenre <= 255) {
        changes.m_nGenre = static_cast<unsigned char>(after.m_nGenre);
    }
    return changes;
}

SEditLoss FindSilentLoss(const STagChanges& changes, const std::vector<CTrackInfo*>& arrSelected,
                         const CTagCodec& codec) {
    SEditLoss loss;
    for (const CTrackInfo* pTrack : arrSelected) {
        const std::size_t nComment = CommentBytes(std::string(pTrack->GetComment()), codec);
        CountLoss(loss, changes.SilentLoss(pTrack->GetTrack(), nComment, codec));
    }
    return loss;
}

SEditLoss FindSilentLoss(const STagChanges& changes, const SPageValues& shown,
                         const CTagCodec& codec) {
    SEditLoss loss;
    const int nTrack = IsValidTrackText(shown.m_strTrack) && !shown.m_strTrack.empty()
                           ? std::stoi(shown.m_strTrack)
                           : 0;
    CountLoss(loss, changes.SilentLoss(nTrack, CommentBytes(shown.m_strComment, codec), codec));
    return loss;
}

STagChanges WithEmptyFieldsFilled(const STagChanges& changes, const STagChanges& fromId3v2,
                                  const CTrackInfo& track, const CTagCodec& codec) {
    const STagChanges fill = OnlyEmptyFields(fromId3v2, track);
    STagChanges merged = changes;
    const auto take = [](auto& value, const auto& fillValue) {
        if (!value) {
            value = fillValue;
        }
    };
    take(merged.m_strTitle, fill.m_strTitle);
    take(merged.m_strArtist, fill.m_strArtist);
    take(merged.m_strAlbum, fill.m_strAlbum);
    take(merged.m_strYear, fill.m_strYear);
    take(merged.m_strComment, fill.m_strComment);
    take(merged.m_nTrack, fill.m_nTrack);
    take(merged.m_nGenre, fill.m_nGenre);
    if (!changes.m_strComment) {
        merged.FitCommentBesideTrack(track.GetTrack(), codec);
    }
    return merged;
}

STagWriteOutcome WriteSelectedTags(const STagChanges& changes,
                                   const std::vector<CTrackInfo*>& arrSelected,
                                   const CTagWriter& writer) {
    return WriteSelectedTags([&changes](const CTrackInfo&) { return changes; }, arrSelected,
                             writer);
}

STagWriteOutcome WriteSelectedTags(const std::function<STagChanges(const CTrackInfo&)>& changesFor,
                                   const std::vector<CTrackInfo*>& arrSelected,
                                   const CTagWriter& writer) {
    STagWriteOutcome outcome;
    for (auto it = arrSelected.begin(); it != arrSelected.end(); ++it) {
        CTrackInfo* const pTrack = *it;
        STagFileWrite write = WriteOneFile(*pTrack, changesFor, writer);
        if (write.m_error) {
            outcome.m_error = std::move(write.m_error);
            outcome.m_arrNotTried.assign(it + 1, arrSelected.end());
            break;
        }
        if (!write.m_result) {
            continue;
        }
        AddToOutcome(outcome, pTrack, write);
        *pTrack = std::move(*write.m_after);
    }
    return outcome;
}

STagFileWrite WriteOneFile(const CTrackInfo& track,
                           const std::function<STagChanges(const CTrackInfo&)>& changesFor,
                           const CTagWriter& writer) {
    STagFileWrite write;
    try {
        const STagChanges changes = changesFor(track);
        if (!changes.IsEmpty()) {
            CTrackInfo& after = write.m_after.emplace(track);
            write.m_result = after.WriteTag(changes, writer);
        }
    } catch (const CFileException& e) {
        // The disk itself refused (full, quota, I/O error): the next files would most likely
        // fail the same way, and the user must hear of it before anything else is touched.
        write.m_error = e;
    }
    return write;
}

void AddToOutcome(STagWriteOutcome& outcome, CTrackInfo* pTrack, const STagFileWrite& write) {
    const STagWriteResult& result = *write.m_result;
    switch (result.m_eStatus) {
    case EWriteStatus::Written:
        outcome.m_arrWritten.push_back(pTrack);
        outcome.m_arrUndo.push_back(*result.m_undo);
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
    case EWriteStatus::Id3v2NotWritten:
        outcome.m_arrId3v2NotWritten.emplace_back(pTrack, result.m_strWhyNot);
        break;
    }
    outcome.m_bArtistChanged |= write.m_after->GetArtist() != pTrack->GetArtist();
    outcome.m_bGenreChanged |= write.m_after->GetGenre() != pTrack->GetGenre();
}

bool NeedsIndexRebuild(const STagWriteOutcome& outcome, bool bByGenre) {
    return outcome.m_bArtistChanged || (bByGenre && outcome.m_bGenreChanged);
}
