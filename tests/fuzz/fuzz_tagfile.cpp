// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The tag readers, ID3v1 and the ID3v2 frames used, on whole files of any content and length.
#include "catalogue/id3v1tag.h"
#include "catalogue/id3v2frames.h"
#include "catalogue/id3v2tag.h"
#include "catalogue/posixio.h"
#include "catalogue/tagblock.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"
#include "catalogue/utf8.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// One file reused by every input: a fuzzer runs millions of them.
const std::string& FilePath() {
    static const std::string s_strPath = [] {
        const char* pszTemp = std::getenv("TMPDIR");
        std::string strTemplate = std::string(pszTemp ? pszTemp : "/tmp") + "/tbfuzz-XXXXXX";
        const char* pszFolder = ::mkdtemp(strTemplate.data());
        FUZZ_CHECK(pszFolder != nullptr);
        return std::string(pszFolder) + "/input.mp3";
    }();
    return s_strPath;
}

// Text bound for an ID3v1 field: UTF-8 without control characters.
void CheckCopiedText(const std::optional<std::string>& strText) {
    if (!strText) {
        return;
    }
    FUZZ_CHECK(IsValidUtf8(*strText));
    for (const char c : *strText) {
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
}

// Whatever an ID3v2 tag claims, what is handed to TagLib is bounded, a refused tag gives nothing,
// and the texts it gives are clean.
void CheckId3v2(const std::string& strPath, const std::uint8_t* pData, std::size_t nSize) {
    const CId3v2Frames frames =
        CId3v2Frames::Parse(std::string_view(reinterpret_cast<const char*>(pData), nSize));
    FUZZ_CHECK(frames.m_strTag.size() <= CId3v2Frames::MAX_KEPT_BYTES + 20);
    FUZZ_CHECK(!frames.m_bRefused || frames.m_strTag.empty());
    CFileOps ops;
    const CId3v2Tag tag = CId3v2Tag::Read(strPath, ops);
    FUZZ_CHECK(tag.m_nVersion == frames.m_nVersion && tag.m_bRefused == frames.m_bRefused);
    const STagChanges changes = tag.ToChanges(CTagCodec());
    FUZZ_CHECK(!tag.m_bRefused || changes.IsEmpty());
    for (const auto* pText : {&changes.m_strTitle, &changes.m_strArtist, &changes.m_strAlbum,
                              &changes.m_strYear, &changes.m_strComment}) {
        CheckCopiedText(*pText);
    }
}

void CheckFields(const CTrackInfo& track) {
    for (const auto& strField : {track.GetTitle(), track.GetArtist(), track.GetAlbum(),
                                 track.GetYear(), track.GetComment()}) {
        FUZZ_CHECK(IsValidUtf8(strField));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const std::string& strPath = FilePath();
    {
        const int nFd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        FUZZ_CHECK(nFd >= 0);
        FUZZ_CHECK(nSize == 0 || ::write(nFd, pData, nSize) == static_cast<ssize_t>(nSize));
        ::close(nFd);
    }
    const CTagBlock block = CTagBlock::Read(-1, strPath.c_str());
    const bool bLongEnough = nSize >= CId3v1Tag::SIZE;
    FUZZ_CHECK(block.m_bRead == bLongEnough);
    FUZZ_CHECK(block.GetAudioSize() == (bLongEnough ? static_cast<std::int64_t>(nSize - 128) : 0));
    FUZZ_CHECK(block.m_identity.m_nFileSize == static_cast<std::int64_t>(nSize));
    const bool bMarker = bLongEnough && std::memcmp(pData + nSize - 128, "TAG", 3) == 0;
    FUZZ_CHECK(block.HasTag() == bMarker);
    if (bLongEnough) {
        FUZZ_CHECK(std::memcmp(block.m_bytes.data(), pData + nSize - 128, 128) == 0);
    }

    const std::size_t nSlash = strPath.rfind('/');
    const CTrackInfo track(strPath.substr(0, nSlash), strPath.substr(nSlash + 1));
    FUZZ_CHECK(track.HasTag() == bMarker);
    FUZZ_CHECK(track.GetSize() == block.GetAudioSize());
    CheckFields(track);
    CheckId3v2(strPath, pData, nSize);

    // Parsing straight from the bytes, without a file: whatever a tag holds, writing its fields
    // back gives 128 bytes that read as the same fields.
    if (bLongEnough) {
        const CId3v1Tag tag = CId3v1Tag::Parse(block.m_bytes);
        const CId3v1Tag::CBytes again = tag.Format();
        FUZZ_CHECK(CId3v1Tag::HasMarker(again.data()));
        const CId3v1Tag reread = CId3v1Tag::Parse(again);
        FUZZ_CHECK(reread.m_strTitle == tag.m_strTitle);
        FUZZ_CHECK(reread.m_strArtist == tag.m_strArtist);
        FUZZ_CHECK(reread.m_strAlbum == tag.m_strAlbum);
        FUZZ_CHECK(reread.m_strYear == tag.m_strYear);
        FUZZ_CHECK(reread.m_strComment == tag.m_strComment);
        FUZZ_CHECK(reread.m_nGenre == tag.m_nGenre);

        // An edit of the year alone leaves every other byte of any tag as it was, the track
        // number included.
        STagChanges changes;
        changes.m_strYear = tag.m_strTitle;
        const std::optional<CId3v1Tag::CBytes> edited = changes.ApplyTo(block.m_bytes, CTagCodec());
        FUZZ_CHECK(edited.has_value());
        for (std::size_t i = 0; i < CId3v1Tag::SIZE; ++i) {
            const bool bYear = i >= CId3v1Tag::YEAR && i < CId3v1Tag::YEAR + CId3v1Tag::YEAR_WIDTH;
            FUZZ_CHECK(bYear || (*edited)[i] == block.m_bytes[i]);
        }
        FUZZ_CHECK(STagChanges().ApplyTo(block.m_bytes, CTagCodec()) == block.m_bytes);
    }
    return 0;
}
