// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/trackinfo.h"

#include "catalogue/id3v1tag.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagwriter.h"
#include "res/strings.h"

#include <charconv>
#include <cstdio>
#include <cstring>

CTrackInfo::CTrackInfo(std::string strLocation, std::string strFileName)
    : CTrackInfo(CSharedText(strLocation), strFileName,
                 CTagBlock::Read(-1, (strLocation + '/' + strFileName).c_str())) {
}

CTrackInfo::CTrackInfo(CSharedText location, std::string strFileName, const CTagBlock& block)
    : CTrackInfo(std::move(location), std::move(strFileName), block, CTagCodec()) {
}

CTrackInfo::CTrackInfo(CSharedText location, std::string strFileName, const CTagBlock& block,
                       const CTagCodec& codec)
    : m_texts(ReadTag(strFileName, block, codec)), m_location(std::move(location)),
      m_nInode(block.m_identity.m_nInode), m_nFileSize(block.m_identity.m_nFileSize),
      m_stamp(block.m_stamp), m_nDevice(block.m_identity.m_nDevice),
      m_nGenre(block.HasTag() ? block.m_bytes[CId3v1Tag::GENRE] : GENRE_NONE),
      m_nTrack(block.HasTag() ? static_cast<unsigned char>(CId3v1Tag::TrackOf(block.m_bytes)) : 0),
      m_bHasTag(block.HasTag()), m_bRead(block.m_bRead) {
}

CTrackInfo::CTrackInfo(CSharedText location, const std::array<std::string_view, 6>& arrTexts,
                       const SKnownFile& file, unsigned char nGenre, unsigned char nTrack,
                       bool bHasTag, bool bRead)
    : m_texts({arrTexts[0], arrTexts[1], arrTexts[2], arrTexts[3], arrTexts[4], arrTexts[5]}),
      m_location(std::move(location)), m_nInode(file.m_identity.m_nInode),
      m_nFileSize(file.m_identity.m_nFileSize), m_stamp(file.m_stamp),
      m_nDevice(file.m_identity.m_nDevice), m_nGenre(nGenre), m_nTrack(nTrack), m_bHasTag(bHasTag),
      m_bRead(bRead) {
}

// A file without a tag keeps the defaults: empty texts, the placeholder artist, no genre.
CPackedTexts<CTrackInfo::TEXT_COUNT>
CTrackInfo::ReadTag(std::string_view strFileName, const CTagBlock& block, const CTagCodec& codec) {
    if (!block.HasTag()) {
        return {strFileName, {}, LoadString(IDS_UNDEFINED)};
    }
    std::array<std::string, 5> arrDecoded;
    const std::array<std::string_view, 5> arrTexts =
        CId3v1Tag::ParseTexts(block.m_bytes, arrDecoded, codec);
    return {strFileName, arrTexts[0], arrTexts[1], arrTexts[2], arrTexts[3], arrTexts[4]};
}

void CTrackInfo::SetIdentity(const SFileIdentity& identity) {
    m_nDevice = identity.m_nDevice;
    m_nInode = identity.m_nInode;
    m_nFileSize = identity.m_nFileSize;
}

STagWriteResult CTrackInfo::WriteTag(const STagChanges& changes, const CTagWriter& writer) {
    // Fields emptied in a file without a tag are empty already: a tag made only to hold them
    // would change the file for nothing. The file is still the one listed when its length is,
    // and a tag appended or taken away since would have changed the length.
    if (!m_bHasTag && !changes.SetsValue()) {
        STagWriteResult unchanged;
        unchanged.m_eStatus = EWriteStatus::Unchanged;
        return unchanged;
    }
    STagWriteResult result = writer.Write(GetFullPath(), GetIdentity(), changes);
    if (result.m_eStatus == EWriteStatus::Written || result.m_eStatus == EWriteStatus::Unchanged) {
        Refresh(result.m_block, writer.GetCodec());
    }
    return result;
}

void CTrackInfo::Refresh(const CTagBlock& block, const CTagCodec& codec) {
    *this = CTrackInfo(std::move(m_location), std::string(GetFileName()), block, codec);
}

std::string_view CTrackInfo::GetGenreName() const {
    return GenreName(m_nGenre);
}

std::string CTrackInfo::GetSizeText() const {
    return FormatSize(GetSize());
}

bool CTrackInfo::IsSameAs(const CTrackInfo& other) const {
    return GetTextBlock() == other.GetTextBlock() && GetFileName() == other.GetFileName() &&
           GetTitle() == other.GetTitle() && GetArtist() == other.GetArtist() &&
           GetAlbum() == other.GetAlbum() && GetYear() == other.GetYear() &&
           GetLocation() == other.GetLocation() && GetIdentity() == other.GetIdentity() &&
           m_stamp == other.m_stamp && m_nGenre == other.m_nGenre && m_nTrack == other.m_nTrack &&
           m_bHasTag == other.m_bHasTag && m_bRead == other.m_bRead;
}

std::string CTrackInfo::GetFullPath() const {
    std::string strPath = GetLocation();
    strPath += '/';
    strPath += GetFileName();
    return strPath;
}

std::string CTrackInfo::GetCopyText() const {
    const std::string strSize = GetSizeText();
    const std::string_view strGenre = GetGenreName();
    std::string strLine;
    for (const std::string_view strField :
         {GetFileName(), GetTitle(), GetAlbum(), std::string_view(GetLocation()),
          std::string_view(strSize), GetArtist(), std::string_view(strGenre), GetYear()}) {
        strLine += strField;
        strLine += '\t';
    }
    strLine += GetComment();
    strLine += "\r\n";
    return strLine;
}

// The table's "%5.1f" always with a point: the window runs under the user's C locale, and a size
// must read the same in the status bar, on the clipboard and in --list, in every language.
std::string FormatSize(std::int64_t nBytes) {
    char szNumber[32];
    const std::to_chars_result result =
        std::to_chars(szNumber, szNumber + sizeof szNumber, static_cast<double>(nBytes) * 0.000001,
                      std::chars_format::fixed, 1);
    std::string strNumber(szNumber, result.ptr);
    if (strNumber.size() < 5) {
        strNumber.insert(0, 5 - strNumber.size(), ' ');
    }
    std::string strText = LoadString(IDS_SIZE_FORMAT);
    constexpr const char* NUMBER = "%5.1f";
    const std::size_t nAt = strText.find(NUMBER);
    if (nAt != std::string::npos) {
        strText.replace(nAt, std::strlen(NUMBER), strNumber);
    }
    return strText;
}
