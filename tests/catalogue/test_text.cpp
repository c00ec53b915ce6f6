// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/casefold.h"
#include "catalogue/foldedsearch.h"
#include "catalogue/tagcodec.h"
#include "catalogue/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char32_t R = 0xFFFD;

std::vector<char32_t> Decoded(std::string_view str) {
    std::vector<char32_t> arrCodes;
    for (std::size_t nPos = 0; nPos < str.size();) {
        arrCodes.push_back(DecodeUtf8(str, nPos));
    }
    return arrCodes;
}

int Sign(int n) {
    return (n > 0) - (n < 0);
}

} // namespace

TEST(Utf8, EachCharacterDecodesAndAnythingElseIsOneReplacementPerByte) {
    const struct {
        std::string strBytes;
        std::vector<char32_t> arrCodes;
        bool bValid;
        bool bAscii;
    } aCases[] = {
        {"", {}, true, true},
        {"a\x7F", {'a', 0x7F}, true, true},
        {"0123456789abcdef",
         {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'},
         true,
         true},
        {"0123456789abcdef\xC3\xA9",
         {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f', 0xE9},
         true,
         false},
        {"\xC2\x80\xDF\xBF", {0x80, 0x7FF}, true, false},
        {"\xE6\x9D\xB1\xEF\xBF\xBF", {0x6771, 0xFFFF}, true, false},
        {"\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF", {0x1F3B5, 0x10FFFF}, true, false},
        {"\xC0\xAF", {R, R}, false, false},                   // overlong
        {"\xE0\x9F\xBF", {R, R, R}, false, false},            // overlong in three bytes
        {"\xED\xA0\x80", {R, R, R}, false, false},            // a surrogate
        {"\xF4\x90\x80\x80", {R, R, R, R}, false, false},     // past U+10FFFF
        {"abc\xE6\x9D", {'a', 'b', 'c', R, R}, false, false}, // cut short
        {"\x80x\xFF", {R, 'x', R}, false, false},             // no lead byte, no byte of UTF-8
        {"Caf\xE9", {'C', 'a', 'f', R}, false, false},        // Windows-1252
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(Decoded(c.strBytes), c.arrCodes) << c.strBytes;
        EXPECT_EQ(IsValidUtf8(c.strBytes), c.bValid) << c.strBytes;
        EXPECT_EQ(IsAscii(c.strBytes), c.bAscii) << c.strBytes;
        if (c.bValid) {
            std::string strEncoded;
            for (const char32_t nCode : c.arrCodes) {
                AppendUtf8(strEncoded, nCode);
            }
            EXPECT_EQ(strEncoded, c.strBytes);
        }
    }
}

TEST(Utf8, ACutNeverSplitsACharacter) {
    const struct {
        std::string strText;
        std::size_t nWidth;
        std::size_t nCut;
    } aCases[] = {
        {"", 3, 0},
        {"abc", 2, 2},
        {"ab", 10, 2},
        {"a\xC3\xA9", 2, 1},
        {"a\xC3\xA9", 3, 3},
        {"\xE6\x9D\xB1\xE6\x9D\xB1", 5, 3},
        {"\xF0\x9F\x8E\xB5", 3, 0},
        {"\xE9\xE9\xE9", 2, 2}, // a byte that begins no character is one
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(Utf8CutLength(c.strText, c.nWidth), c.nCut) << c.strText << " " << c.nWidth;
    }
}

TEST(CaseFold, EveryLetterFoldsToOneCharacterAndNamesOrderByTheirFoldedCharacters) {
    const struct {
        std::string strText;
        std::string strFolded;
    } aFolds[] = {
        {"ABC xyz 09 @[`{", "abc xyz 09 @[`{"},
        {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"},               // ÉTÉ
        {"\xCE\xA3\xCE\x91\xCF\x82", "\xCF\x83\xCE\xB1\xCF\x83"}, // ΣΑς
        {"STRA\xE1\xBA\x9E"
         "E",
         "stra\xC3\x9F"
         "e"}, // capital sharp s
        {"MAR\xE2\x84\xAA"
         "ET \xC5\xBFun",
         "market sun"},                           // Kelvin sign, long s
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"}, // beyond the first plane
        {"\xC4\xB0", "\xC4\xB0"},                 // İ folds to two
        {"Caf\xE9", "caf\xEF\xBF\xBD"},
    };
    for (const auto& c : aFolds) {
        EXPECT_EQ(FoldText(c.strText), c.strFolded) << c.strText;
    }

    const struct {
        std::string str1;
        std::string str2;
        int nSign;
    } aOrders[] = {
        {"abc", "ABC", 0},
        {"\xCE\xA3", "\xCF\x82", 0}, // Σ, ς
        {"a", "B", -1},
        {"b", "A", 1},
        {"", "a", -1},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89S", -1},
        {"Z", "\xC3\xA9", -1},       // code point order beyond letter case
        {"\xE9", "\xEF\xBF\xBD", 0}, // a byte that begins nothing counts as U+FFFD
    };
    for (const auto& c : aOrders) {
        EXPECT_EQ(Sign(CompareFolded(c.str1, c.str2)), c.nSign) << c.str1 << " / " << c.str2;
        EXPECT_EQ(Sign(CompareFolded(c.str2, c.str1)), -c.nSign) << c.str2 << " / " << c.str1;
    }

    const struct {
        char32_t nFolded;
        std::vector<char32_t> arrFrom;
    } aFrom[] = {
        {'k', {'K', 'k', 0x212A}},    {'1', {'1'}},
        {0xE9, {0xC9, 0xE9}},         {0x3C3, {0x3A3, 0x3C2, 0x3C3}},
        {0xE5, {0xC5, 0xE5, 0x212B}}, // Angstrom sign
    };
    for (const auto& c : aFrom) {
        std::vector<char32_t> arrFrom = CharactersFoldingTo(c.nFolded);
        EXPECT_EQ(arrFrom.front(), c.nFolded);
        std::sort(arrFrom.begin(), arrFrom.end());
        EXPECT_EQ(arrFrom, c.arrFrom) << static_cast<unsigned>(c.nFolded);
    }
}

TEST(FoldedSearch, FindsTheWordAtAnyCharacterOfTheTextWhateverItsCase) {
    const struct {
        std::string strWord;
        std::string strText;
        bool bFound;
    } aCases[] = {
        {"", "", true},
        {"", "x", true},
        {"x", "", false},
        {"ab", "a", false},
        {"love", "I LOVE you", true},
        {"LOVE", "glove", true},
        {"lovr", "love", false},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89 INDIEN", true}, // été / ÉTÉ INDIEN
        {"l\xC3\xA9"
         "e",
         "BR\xC3\x9BL\xC3\x89"
         "E",
         true},                                                  // lée / BRÛLÉE
        {"\xC3\xA9\xC3\xA9", "\xC3\xA9 \xC3\xA9\xC3\xA9", true}, // after a first that fails
        {"1\xC3\xA9", "\xC3\xA9 1\xC3\x89", true},               // 1é / é 1É
        {"x\xC3\xA9", "\xC3\xA9\xC3\xA9", false},                // not after half of é
        {"K\xC3\xA9", "\xE2\x84\xAA\xC3\x89", true},             // ké / Kelvin sign, É
        {"\xC3\xA9"
         "f",
         "f\xC3\xA9", false},
        {"STRA\xE1\xBA\x9E"
         "E",
         "Stra\xC3\x9F"
         "e",
         true}, // capital sharp s
        {"market",
         "mar\xE2\x84\xAA"
         "et",
         true},                      // Kelvin sign
        {"k", "\xE2\x84\xAA", true}, // one character, 3 bytes
        {"kk", "\xE2\x84\xAA", false},
        {"SUN", "\xC5\xBFun", true},                                                // long s
        {"\xCF\x83", "\xCE\x9F\xCE\x94\xCE\x9F\xCF\x82", true},                     // σ / ΟΔΟς
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", true}, // 日本 / 日本語
        {"\xE6\x9C\xAC\xE6\x97\xA5", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", false},
        {"caf\xC3\xA9", "caf\xE9", false},      // a byte that is no UTF-8 is not é
        {"\xEF\xBF\xBD", "caf\xE9", true},      // but stands for U+FFFD
        {"\xEF\xBF\xBD", "caf\xC3\xA9", false}, // the end of a character begins none
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(CFoldedSearch(c.strWord).IsIn(c.strText), c.bFound)
            << c.strWord << " / " << c.strText;
    }
}

// Stored tags read in Windows-1252 and written back keep their bytes, whichever rule reads them.
TEST(CodePage, TheBytesWindows1252LeavesUndefinedKeepTheirNumberBothWays) {
    const std::string strBytes = "a\x81\x8D\x8F\x90\x9D"
                                 "b";
    const std::string strText = "a\u0081\u008D\u008F\u0090\u009D"
                                "b";
    for (const char* pszCodec : {"Automatic", "Windows-1252", "ISO-8859-1"}) {
        const std::optional<CTagCodec> oCodec = CTagCodec::FromName(pszCodec);
        ASSERT_TRUE(oCodec) << pszCodec;
        EXPECT_EQ(oCodec->Decode(strBytes), strText) << pszCodec;
        EXPECT_EQ(oCodec->Encode(strText), strBytes) << pszCodec;
    }
}
