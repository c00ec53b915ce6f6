// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The tag reader on whole files of any content and length.
#include "catalogue/id3v1tag.h"
#include "catalogue/tagblock.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
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
