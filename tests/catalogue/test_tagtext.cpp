// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genres.h"
#include "catalogue/id3v1tag.h"
#include "catalogue/tagtext.h"
#include "res/strings.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ReadField(const std::string& strBytes) {
    return ReadTagText(reinterpret_cast<const unsigned char*>(strBytes.data()), strBytes.size());
}

std::string WriteField(const std::string& strText, std::size_t nWidth) {
    std::string strField(nWidth, '#');
    WriteTagText(strText, reinterpret_cast<unsigned char*>(strField.data()), nWidth);
    return strField;
}

} // namespace

TEST(TagText, FieldRuleCutsAtZeroAndTrimsOnlyTrailingWhiteSpace) {
    const struct {
        std::string strBytes;
        std::string strText;
    } aCases[] = {
        {"Song" + std::string(26, ' '), "Song"},
        {std::string(30, ' '), ""},
        {"  Song" + std::string(24, ' '), "  Song"},
        {std::string("Abc\0xyz", 7) + std::string(23, 'q'), "Abc"},
        {std::string(30, 'L'), std::string(30, 'L')},
        {"Tab\t\n\v\f\r " + std::string(21, ' '), "Tab"},
        {std::string("\0Hidden", 7) + std::string(23, ' '), ""},
        // an ID3v1.1 track number behind a zero byte is not part of the comment
        {"Comment" + std::string(21, ' ') + std::string("\0\x07", 2), "Comment"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(ReadField(c.strBytes), c.strText) << c.strBytes;
    }
}

TEST(TagText, DecodesValidUtf8AsItIsAndAnythingElseAsWindows1252) {
    EXPECT_EQ(DecodeTagText("Beyonc\xC3\xA9"), "Beyonc\xC3\xA9");
    EXPECT_EQ(DecodeTagText("\xE6\x9D\xB1\xE4\xBA\xAC"), "\xE6\x9D\xB1\xE4\xBA\xAC");
    EXPECT_EQ(DecodeTagText("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(DecodeTagText("\x80uro \x93q\x94"), "\xE2\x82\xAC"
                                                  "uro \xE2\x80\x9Cq\xE2\x80\x9D");
}

TEST(TagText, WritesWindows1252WhereEveryCharacterFitsAndUtf8Otherwise) {
    EXPECT_EQ(WriteField("Caf\xC3\xA9", 6), "Caf\xE9  ");
    EXPECT_EQ(WriteField("\xE2\x82\xAC", 2), "\x80 ");
    EXPECT_EQ(WriteField("\xE6\x9D\xB1 x", 6), "\xE6\x9D\xB1 x ");
    // Windows-1252 bytes that would read back as other UTF-8 characters are written as UTF-8
    EXPECT_EQ(WriteField("\xC3\x83\xC2\xA9", 5), "\xC3\x83\xC2\xA9 ");
    EXPECT_EQ(ReadField(WriteField("\xC3\x83\xC2\xA9", 5)), "\xC3\x83\xC2\xA9");
}

TEST(TagText, CutsLongTextsAtACharacterBoundary) {
    EXPECT_EQ(WriteField(std::string(40, 'x'), 30), std::string(30, 'x'));
    // ten CJK characters take 30 bytes; an eleventh does not fit and is not split
    std::string strCjk;
    for (int i = 0; i < 11; ++i) {
        strCjk += "\xE6\x9D\xB1";
    }
    EXPECT_EQ(WriteField(strCjk, 30), strCjk.substr(0, 30));
    EXPECT_EQ(WriteField("ab" + strCjk, 30), "ab" + strCjk.substr(0, 27) + " ");
    EXPECT_EQ(EncodeTagText(strCjk).size(), 33u);
    EXPECT_EQ(EncodeTagText("Caf\xC3\xA9").size(), 4u);
    // a zero byte inside a text would end the field early
    EXPECT_EQ(WriteField(std::string("a\0b", 3), 4), "a b ");
}

TEST(TagText, CopiedTextLosesControlsAndInvalidBytes) {
    const struct {
        std::string strIn;
        std::string strOut;
    } aCases[] = {
        {"Plain, kept  as is", "Plain, kept  as is"},
        {"One\r\n\ttwo", "One two"},                                    // a run is one space
        {std::string("\0Hidden\0", 8), "Hidden"},                       // spaces at the ends go
        {"Don\xC2\x92t \xC2\x80 5", "Don\xE2\x80\x99t \xE2\x82\xAC 5"}, // Windows-1252 meant
        {"a\xC2\x81z", "a z"},                                          // C1 with no such byte
        {"Caf\xE9 ok", "Caf? ok"},                                      // no UTF-8
        {"\xED\xA0\x80x", "???x"},                                      // an encoded half pair
        {"line\xE2\x80\xA8sep", "line sep"},
        {"\x1B[2J\x7F", "[2J"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(CleanCopiedText(c.strIn), c.strOut) << c.strIn;
    }
}

TEST(Id3v1Tag, FormatIsExactly128BytesInTheFixedLayout) {
    CId3v1Tag tag;
    tag.m_strTitle = "Song";
    tag.m_strYear = "1998";
    tag.m_nGenre = 17;
    const CId3v1Tag::CBytes bytes = tag.Format();
    const std::string strBytes(bytes.begin(), bytes.end());
    EXPECT_EQ(strBytes, "TAG" + Padded("Song", 30) + std::string(60, ' ') + "1998" +
                            std::string(30, ' ') + "\x11");

    tag.m_strYear = "98";
    tag.m_strTitle = std::string(45, 'T');
    tag.m_strArtist = std::string(31, 'A');
    tag.m_nGenre = 0;
    const CId3v1Tag::CBytes cut = tag.Format();
    EXPECT_EQ(std::string(cut.begin() + 3, cut.begin() + 33), std::string(30, 'T'));
    EXPECT_EQ(std::string(cut.begin() + 33, cut.begin() + 63), std::string(30, 'A'));
    EXPECT_EQ(std::string(cut.begin() + 93, cut.begin() + 97), "98  ");
    EXPECT_EQ(cut[127], 0);
}

TEST(Id3v1Tag, MarkerIsCaseSensitive) {
    EXPECT_TRUE(CId3v1Tag::HasMarker(reinterpret_cast<const unsigned char*>("TAG")));
    EXPECT_FALSE(CId3v1Tag::HasMarker(reinterpret_cast<const unsigned char*>("tag")));
    EXPECT_FALSE(CId3v1Tag::HasMarker(reinterpret_cast<const unsigned char*>("TAg")));
}

TEST(Genres, NamesAndTheUndefinedRange) {
    EXPECT_EQ(GenreName(0), "Blues");
    EXPECT_EQ(GenreName(17), "Rock");
    EXPECT_EQ(GenreName(147), "Synthpop");
    EXPECT_EQ(GenreName(148), "<Undefined>");
    EXPECT_EQ(GenreName(255), "<Undefined>");
    EXPECT_STREQ(g_szGenreNames[GENRE_NONE], "");
    EXPECT_STREQ(LoadString(IDS_UNDEFINED, ELanguage::French), "<Non défini>");
}
