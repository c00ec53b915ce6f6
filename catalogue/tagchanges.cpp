// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagchanges.h"

#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"

#include <cstring>

namespace {

// Emptying a field that reads empty already would only rewrite its padding.
bool IsNeedless(const std::optional<std::string>& strText, const unsigned char* pField,
                std::size_t nWidth) {
    return !strText || (strText->empty() && TagFieldBytes(pField, nWidth).empty());
}

bool WriteText(const std::optional<std::string>& strText, const CTagCodec& codec,
               unsigned char* pField, std::size_t nWidth) {
    return IsNeedless(strText, pField, nWidth) || codec.WriteField(*strText, pField, nWidth);
}

bool HasText(const std::optional<std::string>& strText) {
    return strText && !strText->empty();
}

} // namespace

bool STagChanges::IsEmpty() const {
    return !m_strTitle && !m_strArtist && !m_strAlbum && !m_strYear && !m_strComment && !m_nTrack &&
           !m_nGenre;
}

bool STagChanges::SetsValue() const {
    return HasText(m_strTitle) || HasText(m_strArtist) || HasText(m_strAlbum) ||
           HasText(m_strYear) || HasText(m_strComment) || (m_nTrack && *m_nTrack != 0) ||
           m_nGenre.has_value();
}

ETagLoss STagChanges::SilentLoss(int nTrack, std::size_t nCommentBytes,
                                 const CTagCodec& codec) const {
    std::size_t nCommentAfter = nCommentBytes;
    if (m_strComment) {
        const std::optional<std::string> strEncoded = codec.Encode(*m_strComment);
        if (!strEncoded) {
            return ETagLoss::None;
        }
        nCommentAfter = strEncoded->size();
    }
    const int nTrackAfter = m_nTrack ? *m_nTrack : nTrack;
    if (nTrackAfter == 0 || nCommentAfter <= CId3v1Tag::COMMENT_WITH_TRACK_WIDTH) {
        return ETagLoss::None;
    }
    // A track number the edit sets cuts whichever comment it lands on; otherwise the long
    // comment is the edit's, and the file's track number would give way to it.
    return m_nTrack ? ETagLoss::CommentEnd : ETagLoss::TrackNumber;
}

ETagLoss STagChanges::SilentLoss(const CId3v1Tag::CBytes& current, const CTagCodec& codec) const {
    using T = CId3v1Tag;
    if (!T::HasMarker(current.data())) {
        return SilentLoss(0, 0, codec);
    }
    return SilentLoss(T::TrackOf(current),
                      TagFieldBytes(&current[T::COMMENT], T::TEXT_WIDTH).size(), codec);
}

void STagChanges::FitCommentBesideTrack(int nTrack, const CTagCodec& codec) {
    using T = CId3v1Tag;
    if (!m_strComment || (m_nTrack ? *m_nTrack : nTrack) == 0) {
        return;
    }
    const std::optional<std::string> strEncoded = codec.Encode(*m_strComment);
    if (!strEncoded || strEncoded->size() <= T::COMMENT_WITH_TRACK_WIDTH) {
        return;
    }
    unsigned char aField[T::COMMENT_WITH_TRACK_WIDTH];
    codec.WriteField(*m_strComment, aField, sizeof aField);
    std::string strDecoded;
    m_strComment = std::string(codec.ReadField(aField, sizeof aField, strDecoded));
}

std::optional<CId3v1Tag::CBytes> STagChanges::ApplyTo(const CId3v1Tag::CBytes& current,
                                                      const CTagCodec& codec) const {
    using T = CId3v1Tag;
    T::CBytes bytes = current;
    if (!WriteText(m_strTitle, codec, &bytes[T::TITLE], T::TEXT_WIDTH) ||
        !WriteText(m_strArtist, codec, &bytes[T::ARTIST], T::TEXT_WIDTH) ||
        !WriteText(m_strAlbum, codec, &bytes[T::ALBUM], T::TEXT_WIDTH) ||
        !WriteText(m_strYear, codec, &bytes[T::YEAR], T::YEAR_WIDTH)) {
        return std::nullopt;
    }
    int nTrack = m_nTrack ? *m_nTrack : T::TrackOf(current);
    const bool bComment = !IsNeedless(m_strComment, &current[T::COMMENT], T::TEXT_WIDTH);
    if (bComment) {
        const std::optional<std::string> strEncoded = codec.Encode(*m_strComment);
        if (!strEncoded) {
            return std::nullopt;
        }
        // The track number gives way only to a comment that needs its two bytes, and only when
        // the edit does not set one itself.
        if (!m_nTrack && strEncoded->size() > T::COMMENT_WITH_TRACK_WIDTH) {
            nTrack = 0;
        }
        const std::size_t nWidth = nTrack != 0 ? T::COMMENT_WITH_TRACK_WIDTH : T::TEXT_WIDTH;
        codec.WriteField(*m_strComment, &bytes[T::COMMENT], nWidth);
    }
    if (nTrack != 0) {
        bytes[T::TRACK_MARK] = 0;
        bytes[T::TRACK] = static_cast<unsigned char>(nTrack);
    } else if (T::TrackOf(current) != 0 && !bComment) {
        // Spaces end the comment as the zero did, so its text reads the same without the track.
        bytes[T::TRACK_MARK] = ' ';
        bytes[T::TRACK] = ' ';
    }
    if (m_nGenre) {
        bytes[T::GENRE] = *m_nGenre;
    }
    return bytes;
}
