// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// ID3v2 tags built byte by byte, read through the real reader, and the whole corpus read without a
// crash or a hang.
#include "catalogue/id3v2tag.h"
#include "catalogue/posixio.h"
#include "catalogue/tagcodec.h"
#include "catalogue/trackinfo.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

CId3v2Tag ReadTag(const CTempDir& dir, const std::string& strBytes) {
    CFileOps systemCalls;
    WriteBytes(dir.Path() / "v2.mp3", strBytes + MpegFrames());
    return CId3v2Tag::Read(dir.Str() + "/v2.mp3", systemCalls);
}

} // namespace

TEST(Id3v2Tag, EachVersionAndTextEncodingGivesTheFields) {
    const struct {
        const char* pszCase;
        int nVersion;
        std::string strFrames;
        const char* pszTitle;
        const char* pszYear;
        const char* pszComment;
        int nTrack;
        int nGenre; // -1: none
    } aCases[] = {
        {"2.3 Latin-1", 3,
         Id3v2Frame(3, "TIT2", Id3v2Text(0, "Caf\xE9")) +
             Id3v2Frame(3, "TYER", Id3v2Text(0, "1999")) +
             Id3v2Frame(3, "COMM", Id3v2Text(0, Id3v2Comment("", "Nice"))) +
             Id3v2Frame(3, "TRCK", Id3v2Text(0, "3/12")) +
             Id3v2Frame(3, "TCON", Id3v2Text(0, "(17)")),
         "Café", "1999", "Nice", 3, 17},
        {"2.3 UTF-16", 3,
         Id3v2Frame(3, "TIT2", Id3v2Text(1, Utf16(u"\u65E5\u672C"))) +
             Id3v2Frame(3, "TCON", Id3v2Text(0, "Jazz")),
         "日本", nullptr, nullptr, 0, 8},
        {"2.4 UTF-8", 4,
         Id3v2Frame(4, "TIT2", Id3v2Text(3, "\xC3\x89t\xC3\xA9")) +
             Id3v2Frame(4, "TDRC", Id3v2Text(3, "2004-05-01")) +
             Id3v2Frame(4, "TCON", Id3v2Text(3, "21")) + Id3v2Frame(4, "TRCK", Id3v2Text(3, "300")),
         "Été", "2004", nullptr, 0, 21},
        {"2.2", 2,
         Id3v2Frame(2, "TT2", Id3v2Text(0, "Old")) + Id3v2Frame(2, "TCO", Id3v2Text(0, "(8)")) +
             Id3v2Frame(2, "TYE", Id3v2Text(0, "1987")),
         "Old", "1987", nullptr, 0, 8},
        {"player data before the comment", 3,
         Id3v2Frame(3, "COMM", Id3v2Text(0, Id3v2Comment("iTunNORM", " 0000 0001"))) +
             Id3v2Frame(3, "COMM", Id3v2Text(0, Id3v2Comment("", "Mine"))) +
             Id3v2Frame(3, "TCON", Id3v2Text(0, "Nonesuch")),
         nullptr, nullptr, "Mine", 0, -1},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        const CId3v2Tag tag = ReadTag(dir, Id3v2Tag(c.nVersion, c.strFrames));
        EXPECT_EQ(tag.m_nVersion, c.nVersion);
        EXPECT_EQ(tag.m_strTitle.value_or("-"), c.pszTitle ? c.pszTitle : "-");
        EXPECT_EQ(tag.m_strYear.value_or("-"), c.pszYear ? c.pszYear : "-");
        EXPECT_EQ(tag.m_strComment.value_or("-"), c.pszComment ? c.pszComment : "-");
        EXPECT_EQ(tag.m_nTrack.value_or(0), c.nTrack);
        EXPECT_EQ(tag.m_nGenre ? static_cast<int>(*tag.m_nGenre) : -1, c.nGenre);
    }
    CTempDir dir;
    const CId3v2Tag none = ReadTag(dir, "");
    EXPECT_EQ(none.m_nVersion, 0);
    EXPECT_FALSE(none.m_strTitle);
}

TEST(Id3v2Tag, TextsAreCutAtCharacterBoundariesInTheBytesThatWillBeWritten) {
    const std::string strCjk = "日本語のタイトルです。長い名前"; // 15 characters
    const struct {
        const char* pszCodec;
        std::string strText;
        std::size_t nWidth;
        std::string strExpected;
    } aCases[] = {
        {"Automatic", std::string(40, 'x'), 30, std::string(30, 'x')},
        {"Automatic", "Caf\xC3\xA9 " + std::string(27, 'y'), 30, "Café " + std::string(25, 'y')},
        // Three bytes each in UTF-8: ten characters fill thirty bytes.
        {"Automatic", strCjk, 30, strCjk.substr(0, 30)},
        // Two bytes each in Shift-JIS: all fifteen fit, fourteen in 29 bytes.
        {"Shift-JIS", strCjk, 30, strCjk},
        {"Shift-JIS", strCjk, 29, strCjk.substr(0, 42)},
        {"Windows-1252", "Caf\xC3\xA9", 4, "Café"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(::testing::Message() << c.pszCodec << " " << c.nWidth);
        const std::optional<CTagCodec> codec = CTagCodec::FromName(c.pszCodec);
        ASSERT_TRUE(codec);
        EXPECT_EQ(FitTagText(c.strText, c.nWidth, *codec).value_or("<none>"), c.strExpected);
    }
    EXPECT_FALSE(FitTagText(strCjk, 30, *CTagCodec::FromName("Windows-1252")));
}

TEST(Id3v2Tag, FillingTakesOnlyTheFieldsTheId3v1TagLeavesEmpty) {
    CFileOps systemCalls;
    CTempDir dir;
    const std::string strFrames = Id3v2Frame(3, "TIT2", Id3v2Text(0, "From v2")) +
                                  Id3v2Frame(3, "TPE1", Id3v2Text(0, "V2 artist")) +
                                  Id3v2Frame(3, "TRCK", Id3v2Text(0, "7")) +
                                  Id3v2Frame(3, "TCON", Id3v2Text(0, "(17)"));
    const std::string strV2 = Id3v2Tag(3, strFrames);
    // Tagged: a title and a genre of its own, no artist, no track.
    WriteBytes(dir.Path() / "tagged.mp3", strV2 + MpegFrames() + MakeTag("Own", "", "", "", "", 8));
    WriteBytes(dir.Path() / "untagged.mp3", strV2 + MpegFrames());
    for (const char* pszName : {"tagged.mp3", "untagged.mp3"}) {
        SCOPED_TRACE(pszName);
        const CTrackInfo track(dir.Str(), pszName);
        const CId3v2Tag tag = CId3v2Tag::Read(track.GetFullPath(), systemCalls);
        const STagChanges changes = OnlyEmptyFields(tag.ToChanges(CTagCodec()), track);
        const bool bTagged = track.HasTag();
        EXPECT_EQ(changes.m_strTitle.has_value(), !bTagged);
        EXPECT_EQ(changes.m_strArtist.value_or("-"), "V2 artist");
        EXPECT_EQ(changes.m_nTrack.value_or(0), 7);
        EXPECT_EQ(changes.m_nGenre.has_value(), !bTagged);
    }
}

TEST(Id3v2Tag, EveryCorpusFileIsReadWithoutACrash) {
    CFileOps systemCalls;
    const fs::path corpus = CORPUS_DIR;
    if (!fs::is_directory(corpus)) {
        GTEST_SKIP() << "no corpus";
    }
    std::size_t nFiles = 0;
    std::size_t nWithId3v2 = 0;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (entry.is_regular_file() && entry.path().extension() == ".mp3") {
            const CId3v2Tag tag = CId3v2Tag::Read(entry.path().string(), systemCalls);
            tag.ToChanges(CTagCodec());
            ++nFiles;
            nWithId3v2 += tag.m_nVersion != 0;
        }
    }
    EXPECT_GT(nFiles, 100u);
    EXPECT_GT(nWithId3v2, 30u);
    const CId3v2Tag unicode =
        CId3v2Tag::Read((corpus / "mp3agic" / "v23unicodetags.mp3").string(), systemCalls);
    EXPECT_EQ(unicode.m_nVersion, 3);
    EXPECT_EQ(unicode.m_strTitle.value_or(""), "中文");
    EXPECT_EQ(unicode.m_strArtist.value_or(""), "γειά σου");
    EXPECT_EQ(unicode.m_strAlbum.value_or(""), "こんにちは");
}
