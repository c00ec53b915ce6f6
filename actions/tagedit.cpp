#include "actions/tagedit.h"

#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"

namespace {

constexpr std::size_t EXTENSION_BYTES = 4;

// Widths of the ID3v1 text fields: whatever passes the check is written whole.
constexpr std::size_t TEXT_FIELD_BYTES = 30;
constexpr std::size_t YEAR_FIELD_BYTES = 4;

constexpr ETagField s_aCheckOrder[] = {ETagField::Album, ETagField::Artist, ETagField::Comment,
                                       ETagField::Title, ETagField::Year};

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
    case ETagField::Year:
        break;
    }
    return values.m_strYear;
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
    }
    values.m_strArtist = track.GetArtist();
    values.m_strAlbum = track.GetAlbum();
    values.m_strYear = track.GetYear();
    values.m_strComment = track.GetComment();
    values.m_nGenre = track.GetGenre();
    return values;
}

std::size_t FieldLimit(ETagField eField) {
    return eField == ETagField::Year ? YEAR_FIELD_BYTES : TEXT_FIELD_BYTES;
}

std::optional<ETagField> FindOverlongField(const SPageValues& values) {
    for (const ETagField eField : s_aCheckOrder) {
        // The tag stores encoded bytes: a character outside Windows-1252 takes several of them.
        if (EncodeTagText(FieldText(values, eField)).size() > FieldLimit(eField)) {
            return eField;
        }
    }
    return std::nullopt;
}

void ApplyPageValues(const SPageValues& values, CTrackInfo& track) {
    if (!values.m_strTitle.empty()) {
        track.SetTitle(values.m_strTitle);
    }
    if (!values.m_strArtist.empty()) {
        track.SetArtist(values.m_strArtist);
    }
    if (!values.m_strAlbum.empty()) {
        track.SetAlbum(values.m_strAlbum);
    }
    if (!values.m_strYear.empty()) {
        track.SetYear(values.m_strYear);
    }
    if (!values.m_strComment.empty()) {
        track.SetComment(values.m_strComment);
    }
    if (values.m_nGenre != GENRE_NONE) {
        track.SetGenre(static_cast<unsigned char>(values.m_nGenre));
    }
}

STagWriteOutcome WriteSelectedTags(const SPageValues& values,
                                   const std::vector<CTrackInfo*>& arrSelected) {
    STagWriteOutcome outcome;
    for (CTrackInfo* pTrack : arrSelected) {
        ApplyPageValues(values, *pTrack);
        try {
            if (!pTrack->WriteTag()) {
                outcome.m_arrNotWritten.push_back(pTrack);
            }
        } catch (const CFileException& e) {
            // The disk itself refused (full, quota, I/O error): the next files would most likely
            // fail the same way, and the user must hear of it before anything else is touched.
            outcome.m_error = e;
            break;
        }
    }
    return outcome;
}

bool NeedsIndexRebuild(const SPageValues& before, const SPageValues& after, bool bByGenre) {
    return after.m_strArtist != before.m_strArtist ||
           (bByGenre && after.m_nGenre != before.m_nGenre);
}
