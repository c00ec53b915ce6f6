// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// ID3v2 tags built byte by byte, read through the real reader, and the whole corpus read without a
// crash or a hang.
#include "catalogue/id3v2tag.h"
#include "catalogue/posixio.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"
#include "catalogue/utf8.h"
#include "tests/support/deflate.h"
#include "tests/support/processes.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <chrono>

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

TEST(Id3v2Tag, EachLayoutOfTagAndFramesIsRead) {
    const std::string strTitle = Id3v2Text(0, "Caf\xE9 \xFF"); // 0xFF: unsynchronised when asked
    const std::string strAlbum = Id3v2Frame(3, "TALB", Id3v2Text(0, "Album"));
    const std::string strFrames = Id3v2Frame(3, "TIT2", strTitle) + strAlbum;
    const std::string strFrames4 =
        Id3v2Frame(4, "TIT2", strTitle) + Id3v2Frame(4, "TALB", Id3v2Text(0, "Album"));
    const std::string strLong = Id3v2Text(0, std::string(299, 't'));
    const std::string strDeflated = Deflated(strTitle);
    const struct {
        const char* pszCase;
        std::string strTag;
        std::string strTitle; // "-": none
        const char* pszAlbum;
    } aCases[] = {
        {"2.3, the whole tag unsynchronised",
         Id3v2RawTag(3, 0x80, Unsynchronised(strFrames).size(), Unsynchronised(strFrames)),
         "Café ÿ", "Album"},
        {"2.4, one frame unsynchronised",
         Id3v2Tag(4, Id3v2RawFrame(4, "TIT2", Unsynchronised(strTitle).size(), 0x0002,
                                   Unsynchronised(strTitle)) +
                         Id3v2Frame(4, "TALB", Id3v2Text(0, "Album"))),
         "Café ÿ", "Album"},
        {"2.3 extended header",
         Id3v2RawTag(3, 0x40, 10 + strFrames.size(),
                     BigEndian(6, 4, false) + std::string(6, '\0') + strFrames),
         "Café ÿ", "Album"},
        {"2.4 extended header",
         Id3v2RawTag(4, 0x40, 6 + strFrames4.size(),
                     BigEndian(6, 4, true) + "\x01" + std::string(1, '\0') + strFrames4),
         "Café ÿ", "Album"},
        {"2.4 footer after frames without padding",
         Id3v2RawTag(4, 0x10, strFrames4.size(), strFrames4) + "3DI\x04" + std::string(2, '\0') +
             BigEndian(strFrames4.size(), 4, true),
         "Café ÿ", "Album"},
        // 300 bytes written as a plain number read as the syncsafe 172: only the plain size leads
        // to the next frame.
        {"2.4 frame sizes written as plain numbers",
         Id3v2Tag(4, Id3v2RawFrame(3, "TIT2", strLong.size(), 0, strLong) +
                         Id3v2Frame(4, "TALB", Id3v2Text(0, "Album"))),
         std::string(299, 't'), "Album"},
        {"2.3 holding 2.2 frame names",
         Id3v2Tag(3, Id3v2Frame(3, std::string("TT2\0", 4), strTitle) + strAlbum), "Café ÿ",
         "Album"},
        {"2.4 grouped frame with a data length",
         Id3v2Tag(4, Id3v2RawFrame(4, "TIT2", 5 + strTitle.size(), 0x0041,
                                   "g" + BigEndian(strTitle.size(), 4, true) + strTitle)),
         "Café ÿ", nullptr},
        {"2.3 encrypted title left out",
         Id3v2Tag(3, Id3v2RawFrame(3, "TIT2", 1 + strTitle.size(), 0x0040, "\x80" + strTitle) +
                         strAlbum),
         "-", "Album"},
        {"2.3 compressed title",
         Id3v2Tag(3, Id3v2RawFrame(3, "TIT2", 4 + strDeflated.size(), 0x0080,
                                   BigEndian(strTitle.size(), 4, false) + strDeflated)),
         "Café ÿ", nullptr},
        {"2.4 compressed title after its data length",
         Id3v2Tag(4, Id3v2RawFrame(4, "TIT2", 4 + strDeflated.size(), 0x0009,
                                   BigEndian(strTitle.size(), 4, true) + strDeflated)),
         "Café ÿ", nullptr},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        const CId3v2Tag tag = ReadTag(dir, c.strTag);
        EXPECT_FALSE(tag.m_bRefused);
        EXPECT_EQ(tag.m_strTitle.value_or("-"), c.strTitle);
        EXPECT_EQ(tag.m_strAlbum.value_or("-"), c.pszAlbum ? c.pszAlbum : "-");
    }
}

TEST(Id3v2Tag, HostileTagsAreRefusedOrReadOnlyAsFarAsTheFileHoldsThem) {
    CFileOps systemCalls;
    // 128 KB that inflate to 128 MB: a parser that inflates it takes the memory of ten thousand
    // files' tags.
    const std::string strBomb = DeflatedRun(std::string(1, '\0'), 'A', std::size_t{128} << 20);
    const auto compressed = [](const char* pszId, std::size_t nDeclared,
                               const std::string& strData) {
        return Id3v2RawFrame(3, pszId, 4 + strData.size(), 0x0080,
                             BigEndian(nDeclared, 4, false) + strData);
    };
    const std::string strTitle = Id3v2Frame(3, "TIT2", Id3v2Text(0, "Kept title"));
    std::string strComments; // each within the cap for one frame, over it together
    for (int i = 0; i < 5; ++i) {
        const std::string strComment = Id3v2Text(0, Id3v2Comment("", std::string(900 << 10, 'c')));
        strComments += compressed("COMM", strComment.size(), Deflated(strComment));
    }
    const struct {
        const char* pszCase;
        std::string strTag;
        bool bRefused;
        const char* pszTitle;
    } aCases[] = {
        {"a compressed title that declares 2 GB",
         Id3v2Tag(3, compressed("TIT2", 0x7FFFFFFF, Deflated(Id3v2Text(0, "x")))), true, nullptr},
        {"a compressed title that declares 20 bytes and inflates to 128 MB",
         Id3v2Tag(3, compressed("TIT2", 20, strBomb)), true, nullptr},
        {"the same in 2.4, after its data length",
         Id3v2Tag(4, Id3v2RawFrame(4, "TIT2", 4 + strBomb.size(), 0x0009,
                                   BigEndian(20, 4, true) + strBomb)),
         true, nullptr},
        {"compressed comments of 900 KB each, 4.5 MB in all", Id3v2Tag(3, strTitle + strComments),
         true, nullptr},
        {"a bomb in a frame never read, after the title",
         Id3v2Tag(3, strTitle + compressed("PRIV", 20, strBomb)), false, "Kept title"},
        {"a first frame that claims 2 GB",
         Id3v2Tag(3, Id3v2RawFrame(3, "TIT2", 0x7FFFFFFF, 0, Id3v2Text(0, "Lost"))), false,
         nullptr},
        {"a tag that claims 256 MB of a small file", Id3v2RawTag(3, 0, 0x0FFFFFFF, strTitle), false,
         "Kept title"},
        {"a picture past the end of the file, after the title",
         Id3v2Tag(3, strTitle + Id3v2RawFrame(3, "APIC", 100 << 20, 0, "image/jpeg")), false,
         "Kept title"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        const std::string strPath = dir.Str() + "/hostile.mp3";
        WriteBytes(strPath, c.strTag + MpegFrames());
        // First in a child of capped memory: a read that takes hundreds of megabytes ends there.
        const int nExit = RunWithMemoryLimit(std::size_t{256} << 20, [&strPath] {
            CFileOps ops;
            CId3v2Tag::Read(strPath, ops);
            return 0;
        });
        ASSERT_EQ(nExit, 0) << "the read took more than 256 MB";
        const auto tStart = std::chrono::steady_clock::now();
        const CId3v2Tag tag = CId3v2Tag::Read(strPath, systemCalls);
        EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(2));
        EXPECT_NE(tag.m_nVersion, 0);
        EXPECT_EQ(tag.m_bRefused, c.bRefused);
        EXPECT_EQ(tag.m_strTitle.value_or("-"), c.pszTitle ? c.pszTitle : "-");
        if (c.bRefused) {
            EXPECT_TRUE(tag.ToChanges(CTagCodec()).IsEmpty());
        }
    }
}

TEST(Id3v2Tag, TextsCopiedToId3v1AreCleanedOfControlsAndInvalidBytes) {
    const struct {
        const char* pszCase;
        std::string strFrame;    // the title frame's content
        const char* pszExpected; // nullptr: whatever remains, clean
    } aCases[] = {
        {"tab", Id3v2Text(0, "Tab\there"), "Tab here"},
        {"line break", Id3v2Text(3, "Two\r\nlines"), "Two lines"},
        {"terminal escapes", Id3v2Text(0, "\x1B[31mRed\x07"), "[31mRed"},
        {"Windows-1252 in a Latin-1 frame", Id3v2Text(0, "Don\x92t"), "Don’t"},
        {"nothing but controls", Id3v2Text(0, "\x01\x02\x03"), "-"},
        {"a UTF-16 half pair",
         Id3v2Text(1, Utf16(u"A\xD800"
                            u"B")),
         nullptr},
        {"no UTF-8 in a UTF-8 frame", Id3v2Text(3, "Caf\xE9 cr\xE8me"), nullptr},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        const CId3v2Tag tag = ReadTag(dir, Id3v2Tag(3, Id3v2Frame(3, "TIT2", c.strFrame)));
        const std::string strTitle = tag.ToChanges(CTagCodec()).m_strTitle.value_or("-");
        if (c.pszExpected != nullptr) {
            EXPECT_EQ(strTitle, c.pszExpected);
        }
        EXPECT_TRUE(IsValidUtf8(strTitle)) << strTitle;
        EXPECT_TRUE(std::none_of(strTitle.begin(), strTitle.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F;
        })) << strTitle;
    }
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
