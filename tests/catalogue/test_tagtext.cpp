// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genres.h"
#include "catalogue/id3v1tag.h"
#include "catalogue/tagtext.h"
#include "catalogue/wildcard.h"
#include "res/strings.h"
#include "testfiles.h"

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
    // bytes the code page leaves undefined keep their own code point
    EXPECT_EQ(DecodeTagText("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    // overlong forms and surrogates are not UTF-8
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));
    EXPECT_FALSE(IsValidUtf8("abc\xE6\x9D"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xB5"));
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

TEST(Strings, LanguageFollowsTheFirstSetLocaleVariable) {
    EXPECT_EQ(LanguageFromLocale("fr_FR.UTF-8", "en_US", "en_US"), ELanguage::French);
    EXPECT_EQ(LanguageFromLocale("C", "fr_FR", "fr_FR"), ELanguage::English);
    EXPECT_EQ(LanguageFromLocale("", "fr_CA", "en_US"), ELanguage::French);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "fr_BE.UTF-8"), ELanguage::French);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, nullptr), ELanguage::English);
    EXPECT_STREQ(LoadString(IDS_SIZE_FORMAT, ELanguage::French), "%5.1f Mo");
    EXPECT_STREQ(LoadString(1, ELanguage::English), "");
}

// Every text takes its values as %1, %2, ... (QString::arg, FormatString); only the size keeps its
// number format.
TEST(Strings, PlaceholdersAreNumberedInBothLanguages) {
    for (const unsigned nId : StringIds()) {
        for (const ELanguage eLanguage : {ELanguage::English, ELanguage::French}) {
            std::string strText = LoadString(nId, eLanguage);
            if (nId == IDS_SIZE_FORMAT) {
                strText.erase(strText.find("%5.1f"), 5);
            }
            for (std::size_t nAt = strText.find('%'); nAt != std::string::npos;
                 nAt = strText.find('%', nAt + 2)) {
                EXPECT_TRUE(nAt + 1 < strText.size() && strText[nAt + 1] >= '1' &&
                            strText[nAt + 1] <= '9')
                    << nId << ": " << strText;
            }
        }
    }
    const struct {
        unsigned nId;
        std::string strArg;
        const char* pszExpected;
    } aCases[] = {
        {IDS_NODE_FILES, "0", "0 file(s)"},
        {IDS_NODE_FILES, "123456", "123456 file(s)"},
        {IDS_FILES_SELECTED, "%1", "%1 files selected"}, // an argument is not read again
        {IDS_SCANNING, "", "Reading:  file(s)"},
        {IDS_APP_TITLE, "x", "Tunebrowse"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(FormatString(c.nId, c.strArg), c.pszExpected) << c.nId;
    }
}

TEST(Wildcard, MatchesLikeTheFileSystemSearchWithEveryLetterFolded) {
    const struct {
        std::string strPattern;
        std::string strName;
        bool bMatch;
    } aCases[] = {
        {"*.mp3", "song.mp3", true},
        {"*.mp3", "SONG.MP3", true},
        {"*.mp3", "song.mp3.jpg", false},
        {"*.mp3", ".mp3", true},
        {"*.mp3", "song.mp", false},
        {"?.mp3", "a.mp3", true},
        {"?.mp3", "ab.mp3", false},
        {"?.mp3", "\xC3\xA9.mp3", true},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbYcZ", false},
        {"*a*a*a*a*b", std::string(3000, 'a'), false},
        {"**.MP3", "x.mp3", true},
        {"song.mp3", "SoNg.Mp3", true},
        // every letter of UTF-8 names, in both directions
        {"\xC3\xA9*", "\xC3\x89t\xC3\xA9.mp3", true}, // é* / Été.mp3
        {"\xC3\x80B?", "\xC3\xA0b\xC3\xA7", true},    // ÀB? / àbç
        {"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE*", "\xD0\xBA\xD0\xB8\xD0\xBD\xD0\xBE.mp3",
         true},                          // Кино* / кино.mp3
        {"*\xCF\x82", "\xCE\xA3", true}, // ς / Σ fold alike
        {"\xC3\xA9*", "e.mp3", false},
        // names that are not UTF-8 compare byte by byte, ASCII letters folded
        {"\xC3\xA9*", "\xC9t\xE9.mp3", false},
        {"\xE9*.MP3", "\xE9t\xE9.mp3", true},
        {"\xC9*", "\xE9t\xE9.mp3", false},
        {"*\xC3\xA9", std::string(3000, 'a') + "\xC3\x89", true},
        {"*a*a*a*a*\xC3\xA9", std::string(3000, 'A'), false},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(MatchWildcard(c.strPattern, c.strName), c.bMatch)
            << c.strPattern << " / " << c.strName.substr(0, 20);
    }
}
