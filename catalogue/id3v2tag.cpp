// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/id3v2tag.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/genres.h"
#include "catalogue/id3v2frames.h"
#include "catalogue/posixio.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

namespace {

std::optional<std::string> FrameText(const TagLib::ID3v2::Tag& tag, const char* pszId) {
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()[pszId];
    if (frames.isEmpty()) {
        return std::nullopt;
    }
    std::string strText = frames.front()->toString().to8Bit(true);
    if (strText.empty()) {
        return std::nullopt;
    }
    return strText;
}

// The leading number of a text ("3/12", "(17)Rock", "2004-05-01"), if it has one.
std::optional<int> LeadingNumber(const std::string& strText, std::size_t nFrom = 0) {
    std::size_t nEnd = nFrom;
    while (nEnd < strText.size() && nEnd - nFrom < 4 &&
           std::isdigit(static_cast<unsigned char>(strText[nEnd]))) {
        ++nEnd;
    }
    if (nEnd == nFrom ||
        (nEnd < strText.size() && std::isdigit(static_cast<unsigned char>(strText[nEnd])))) {
        return std::nullopt;
    }
    return std::stoi(strText.substr(nFrom, nEnd - nFrom));
}

std::optional<unsigned char> GenreOf(const std::string& strText) {
    // ID3v2.3 writes a genre number in parentheses, ID3v2.4 the bare number.
    const bool bParenthesised = !strText.empty() && strText[0] == '(';
    if (const std::optional<int> nGenre = LeadingNumber(strText, bParenthesised ? 1 : 0)) {
        if (*nGenre < GENRE_NONE) {
            return static_cast<unsigned char>(*nGenre);
        }
        return std::nullopt;
    }
    for (int nGenre = 0; nGenre < GENRE_NONE; ++nGenre) {
        if (::strcasecmp(strText.c_str(), g_szGenreNames[nGenre]) == 0) {
            return static_cast<unsigned char>(nGenre);
        }
    }
    return std::nullopt;
}

std::optional<std::string> YearOf(const std::optional<std::string>& strDate) {
    if (!strDate || strDate->size() < 4) {
        return std::nullopt;
    }
    const std::optional<int> nYear = LeadingNumber(strDate->substr(0, 4));
    return nYear ? std::optional<std::string>(strDate->substr(0, 4)) : std::nullopt;
}

// The comment a person wrote: the first COMM frame without a description. Players store their
// own data (loudness, gapless playback) in described COMM frames, often first; those are no
// comment for a person to read, so one of them is taken only when nothing else is there.
std::optional<std::string> UserComment(const TagLib::ID3v2::Tag& tag) {
    const TagLib::ID3v2::CommentsFrame* pChosen = nullptr;
    for (const TagLib::ID3v2::Frame* pFrame : tag.frameListMap()["COMM"]) {
        const auto* pComment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(pFrame);
        if (pComment == nullptr || pComment->text().isEmpty()) {
            continue;
        }
        if (pComment->description().isEmpty()) {
            pChosen = pComment;
            break;
        }
        if (pChosen == nullptr && !pComment->description().startsWith("iTun")) {
            pChosen = pComment;
        }
    }
    if (pChosen == nullptr) {
        return std::nullopt;
    }
    return pChosen->text().to8Bit(true);
}

void TakeFields(const TagLib::ID3v2::Tag& tag, CId3v2Tag& result) {
    result.m_strTitle = FrameText(tag, "TIT2");
    result.m_strArtist = FrameText(tag, "TPE1");
    result.m_strAlbum = FrameText(tag, "TALB");
    // TagLib reads an ID3v2.3 year (TYER) as the ID3v2.4 recording time.
    result.m_strYear = YearOf(FrameText(tag, "TDRC"));
    if (!result.m_strYear) {
        result.m_strYear = YearOf(FrameText(tag, "TYER"));
    }
    result.m_strComment = UserComment(tag);
    if (const std::optional<std::string> strTrack = FrameText(tag, "TRCK")) {
        const std::optional<int> nTrack = LeadingNumber(*strTrack);
        if (nTrack && *nTrack >= 1 && *nTrack <= 255) {
            result.m_nTrack = nTrack;
        }
    }
    if (const std::optional<std::string> strGenre = FrameText(tag, "TCON")) {
        result.m_nGenre = GenreOf(*strGenre);
    }
}

// An APE tag ends with a footer just before the ID3v1 tag, or at the end of a file without one.
bool HasApeTag(int nFd, std::int64_t nFileSize, CFileOps& ops) {
    constexpr std::int64_t FOOTER = 32;
    constexpr std::int64_t TAIL = FOOTER + static_cast<std::int64_t>(CId3v1Tag::SIZE);
    char aTail[TAIL];
    const std::int64_t nTail = std::min(nFileSize, TAIL);
    if (nTail < FOOTER || ReadAt(nFd, aTail, nTail, nFileSize - nTail, ops) != nTail) {
        return false;
    }
    const bool bId3v1 = nTail >= static_cast<std::int64_t>(CId3v1Tag::SIZE) &&
                        CId3v1Tag::HasMarker(reinterpret_cast<const unsigned char*>(
                            aTail + nTail - CId3v1Tag::SIZE));
    const std::int64_t nFooter =
        nTail - FOOTER - (bId3v1 ? static_cast<std::int64_t>(CId3v1Tag::SIZE) : 0);
    return nFooter >= 0 && std::memcmp(aTail + nFooter, "APETAGEX", 8) == 0;
}

void Fit(const std::optional<std::string>& strText, std::size_t nWidth, const CTagCodec& codec,
         std::optional<std::string>& strOut) {
    // A text of nothing but control characters is no text: it leaves the field alone.
    const std::string strClean = strText ? CleanCopiedText(*strText) : std::string();
    if (!strClean.empty()) {
        strOut = FitTagText(strClean, nWidth, codec);
    }
}

} // namespace

std::optional<std::string> FitTagText(const std::string& strText, std::size_t nWidth,
                                      const CTagCodec& codec) {
    std::array<unsigned char, CId3v1Tag::TEXT_WIDTH> field{};
    if (nWidth > field.size() || !codec.WriteField(strText, field.data(), nWidth)) {
        return std::nullopt;
    }
    std::string strDecoded;
    return std::string(codec.ReadField(field.data(), nWidth, strDecoded));
}

CId3v2Tag CId3v2Tag::Read(const std::string& strPath, CFileOps& ops) {
    CId3v2Tag result;
    // A look first, so that a FIFO or a device is never opened; then the descriptor is checked.
    struct stat st;
    if (ops.FstatAt(AT_FDCWD, strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return result;
    }
    CFileDescriptor fd(
        ops.OpenAt(AT_FDCWD, strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.IsValid() || ops.Fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return result;
    }
    result.m_bHasApe = HasApeTag(fd.Get(), st.st_size, ops);
    const CId3v2Frames frames = CId3v2Frames::Read(fd.Get(), st.st_size, ops);
    result.m_nVersion = frames.m_nVersion;
    result.m_bRefused = frames.m_bRefused;
    if (frames.m_strTag.empty()) {
        return result;
    }
    // TagLib parses only the frames taken out, as one plain tag: it never sees the file's own.
    TagLib::ByteVector bytes(frames.m_strTag.data(),
                             static_cast<unsigned int>(frames.m_strTag.size()));
    TagLib::ByteVectorStream stream(bytes);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (file.isValid() && file.hasID3v2Tag()) {
        TakeFields(*file.ID3v2Tag(), result);
    }
    return result;
}

STagChanges CId3v2Tag::ToChanges(const CTagCodec& codec) const {
    STagChanges changes;
    Fit(m_strTitle, CId3v1Tag::TEXT_WIDTH, codec, changes.m_strTitle);
    Fit(m_strArtist, CId3v1Tag::TEXT_WIDTH, codec, changes.m_strArtist);
    Fit(m_strAlbum, CId3v1Tag::TEXT_WIDTH, codec, changes.m_strAlbum);
    Fit(m_strYear, CId3v1Tag::YEAR_WIDTH, codec, changes.m_strYear);
    Fit(m_strComment, m_nTrack ? CId3v1Tag::COMMENT_WITH_TRACK_WIDTH : CId3v1Tag::TEXT_WIDTH, codec,
        changes.m_strComment);
    changes.m_nTrack = m_nTrack;
    changes.m_nGenre = m_nGenre;
    return changes;
}

STagChanges OnlyEmptyFields(const STagChanges& changes, const CTrackInfo& track) {
    if (!track.HasTag()) {
        return changes;
    }
    STagChanges kept;
    const auto keep = [](const std::optional<std::string>& strNew, std::string_view strOwn,
                         std::optional<std::string>& strOut) {
        if (strOwn.empty()) {
            strOut = strNew;
        }
    };
    keep(changes.m_strTitle, track.GetTitle(), kept.m_strTitle);
    keep(changes.m_strArtist, track.GetArtist(), kept.m_strArtist);
    keep(changes.m_strAlbum, track.GetAlbum(), kept.m_strAlbum);
    keep(changes.m_strYear, track.GetYear(), kept.m_strYear);
    keep(changes.m_strComment, track.GetComment(), kept.m_strComment);
    // A track number takes the comment's last two bytes: never from a comment that may need them.
    const std::size_t nComment =
        kept.m_strComment ? kept.m_strComment->size() : track.GetComment().size();
    if (track.GetTrack() == 0 && nComment <= CId3v1Tag::COMMENT_WITH_TRACK_WIDTH) {
        kept.m_nTrack = changes.m_nTrack;
    }
    if (track.GetGenre() >= GENRE_NONE) {
        kept.m_nGenre = changes.m_nGenre;
    }
    return kept;
}
