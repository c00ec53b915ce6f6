// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// "43 61 66 E9" as the four bytes it names.
std::string Bytes(const std::string& strHex) {
    std::istringstream in(strHex);
    std::string strBytes;
    unsigned int nByte = 0;
    while (in >> std::hex >> nByte) {
        strBytes += static_cast<char>(nByte);
    }
    return strBytes;
}

CTagCodec Codec(const char* pszName) {
    const std::optional<CTagCodec> oCodec = CTagCodec::FromName(pszName);
    EXPECT_TRUE(oCodec) << pszName;
    return oCodec.value_or(CTagCodec());
}

const unsigned char* Field(const std::string& strBytes) {
    return reinterpret_cast<const unsigned char*>(strBytes.data());
}

// The field after writing the text into one filled with '#'.
std::string WriteField(const CTagCodec& codec, const std::string& strText, std::size_t nWidth,
                       bool bWritten = true) {
    std::string strField(nWidth, '#');
    EXPECT_EQ(codec.WriteField(strText, reinterpret_cast<unsigned char*>(strField.data()), nWidth),
              bWritten)
        << codec.GetName() << ": " << strText;
    return strField;
}

std::string Repeat(const std::string& str, int nCount) {
    std::string strAll;
    for (int i = 0; i < nCount; ++i) {
        strAll += str;
    }
    return strAll;
}

} // namespace

TEST(TagCodec, EachCodePageDecodesItsBytesAndEncodesThemBack) {
    const struct {
        const char* pszCodePage;
        std::string strText;
        std::string strBytes;
    } aCases[] = {
        {"Windows-1252", "Caf\u00e9 \u201cq\u201d", Bytes("43 61 66 E9 20 93 71 94")},
        {"ISO-8859-1", "M\u00fcller", Bytes("4D FC 6C 6C 65 72")},
        {"ISO-8859-15", "\u20ac5", Bytes("A4 35")},
        {"Windows-1250", "P\u0159\u00edli\u0161 \u017c\u00f3\u0142\u0107",
         Bytes("50 F8 ED 6C 69 9A 20 BF F3 B3 E6")},
        {"Windows-1251", "\u041f\u0440\u0438\u0432\u0435\u0442", Bytes("CF F0 E8 E2 E5 F2")},
        {"KOI8-R", "\u041f\u0440\u0438\u0432\u0435\u0442", Bytes("F0 D2 C9 D7 C5 D4")},
        {"Shift-JIS", "\u30b5\u30f3\u30d7\u30eb", Bytes("83 54 83 93 83 76 83 8B")},
        // a half-width katakana takes one byte
        {"Shift-JIS", "\uff71x", Bytes("B1 78")},
        {"GBK", "\u4e2d\u6587", Bytes("D6 D0 CE C4")},
        // a second byte in the ASCII range is still part of its character
        {"Big5", "\u4e2d\u6587\u6b4c\u66f2", Bytes("A4 A4 A4 E5 BA 71 A6 B1")},
        {"EUC-KR", "\ud55c\uad6d\uc5b4", Bytes("C7 D1 B1 B9 BE EE")},
    };
    for (const auto& c : aCases) {
        const CTagCodec codec = Codec(c.pszCodePage);
        EXPECT_EQ(codec.Decode(c.strBytes), c.strText) << c.pszCodePage;
        EXPECT_EQ(codec.Encode(c.strText), c.strBytes) << c.pszCodePage;
        std::string strDecoded;
        const std::string strField = c.strBytes + std::string(3, '\0') + "junk";
        EXPECT_EQ(codec.ReadField(Field(strField), strField.size(), strDecoded), c.strText)
            << c.pszCodePage;
        EXPECT_EQ(WriteField(codec, c.strText, c.strBytes.size() + 2), c.strBytes + "  ")
            << c.pszCodePage;
    }
}

TEST(TagCodec, AsciiFieldsAreReadWithoutACopy) {
    const std::string strField = "Plain title \t  ";
    for (const char* pszName : {"Automatic", "Windows-1251", "Shift-JIS", "Big5"}) {
        std::string strDecoded;
        const std::string_view strText =
            Codec(pszName).ReadField(Field(strField), strField.size(), strDecoded);
        EXPECT_EQ(strText, "Plain title") << pszName;
        EXPECT_EQ(strText.data(), strField.data()) << pszName;
    }
}

TEST(TagCodec, UndefinedBytesBecomeReplacementCharacters) {
    const std::string strFffd = "\uFFFD";
    const struct {
        const char* pszCodePage;
        std::string strBytes;
        std::string strText;
    } aCases[] = {
        {"Windows-1251", Bytes("98 98"), strFffd + strFffd},
        // a lead byte without its second byte, at the end and before a space
        {"Shift-JIS", Bytes("61 62 83"), "ab" + strFffd},
        {"Shift-JIS", Bytes("83 20 78 83 54"), strFffd + " x\u30b5"},
        {"Shift-JIS", Bytes("A0 FD"), strFffd + strFffd},
        {"GBK", Bytes("FF D6 D0"), strFffd + "\u4e2d"},
        {"EUC-KR", Bytes("C7 41"), strFffd + "A"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(Codec(c.pszCodePage).Decode(c.strBytes), c.strText) << c.pszCodePage;
    }
}

TEST(TagCodec, TextsTheCodePageCannotHoldAreNeitherEncodedNorWritten) {
    const struct {
        const char* pszCodePage;
        std::string strText;
    } aCases[] = {
        {"ISO-8859-1", "5 \u20ac"},
        {"Windows-1252", "\u041f\u0440\u0438"},
        {"KOI8-R", "Caf\u00e9"},
        {"Shift-JIS", "ok \ud55c ok"},
        {"GBK", "\U0001F3B5"},
        {"Big5", "\ud55c"},
        {"EUC-KR", "\U0001F3B5"},
        // not UTF-8 at all
        {"Windows-1252", "Caf\xE9"},
        {"Shift-JIS", "\xE3\x82"},
    };
    for (const auto& c : aCases) {
        const CTagCodec codec = Codec(c.pszCodePage);
        EXPECT_EQ(codec.Encode(c.strText), std::nullopt) << c.pszCodePage << ": " << c.strText;
        EXPECT_EQ(WriteField(codec, c.strText, 30, false), std::string(30, '#'));
    }
}

TEST(TagCodec, WriteFieldCutsAtACharacterBoundaryAndNeverWritesAZeroByte) {
    const std::string strSa = Bytes("83 54"); // サ in Shift-JIS
    const struct {
        const char* pszCodePage;
        std::string strText;
        std::size_t nWidth;
        std::string strField;
    } aCases[] = {
        {"Shift-JIS", Repeat("\u30b5", 16), 30, Repeat(strSa, 15)},
        {"Shift-JIS", Repeat("\u30b5", 16), 29, Repeat(strSa, 14) + " "},
        {"Shift-JIS", "a" + Repeat("\u30b5", 16), 30, "a" + Repeat(strSa, 14) + " "},
        {"Shift-JIS", "\uff71" + Repeat("\u30b5", 16), 30, Bytes("B1") + Repeat(strSa, 14) + " "},
        {"Windows-1251", Repeat("\u0416", 40), 30, Repeat(Bytes("C6"), 30)},
        {"Windows-1252", std::string("A\0B", 3), 5, "A B  "},
        {"Windows-1252", "", 3, "   "},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(WriteField(Codec(c.pszCodePage), c.strText, c.nWidth), c.strField)
            << c.pszCodePage << " " << c.nWidth;
    }
}

TEST(TagCodec, TheAutomaticRuleIsTheOneOfTagTexts) {
    const std::string aTexts[] = {"Beyonc\u00e9",        "Caf\xE9",
                                  "\u6771\u4eac \u20ac", Bytes("C3 83 C2 A9"),
                                  Repeat("\u6771", 11),  "  Song \r\n"};
    const CTagCodec codec;
    EXPECT_TRUE(codec.IsAutomatic());
    for (const std::string& strText : aTexts) {
        std::string strField = strText;
        strField.resize(30, '\0');
        std::string strDecoded;
        EXPECT_EQ(codec.ReadField(Field(strField), 30, strDecoded),
                  ReadTagText(Field(strField), 30));
        EXPECT_EQ(codec.Decode(strText), DecodeTagText(strText));
        EXPECT_EQ(codec.Encode(strText), EncodeTagText(strText));
        std::string strExpected(30, '#');
        WriteTagText(strText, reinterpret_cast<unsigned char*>(strExpected.data()), 30);
        EXPECT_EQ(WriteField(codec, strText, 30), strExpected);
    }
}

TEST(TagCodec, NamesAreFoundWithoutRegardToLetterCase) {
    const std::vector<std::string>& arrNames = CTagCodec::Names();
    ASSERT_EQ(arrNames.size(), 11u);
    EXPECT_EQ(arrNames.front(), "Automatic");
    for (const std::string& strName : arrNames) {
        const std::optional<CTagCodec> oCodec = CTagCodec::FromName(strName);
        ASSERT_TRUE(oCodec) << strName;
        EXPECT_EQ(oCodec->GetName(), strName);
        EXPECT_EQ(oCodec->IsAutomatic(), strName == "Automatic");
    }
    const struct {
        const char* pszName;
        const char* pszFound; // null when the name names nothing
    } aCases[] = {
        {"auto", "Automatic"},      {"AUTOMATIC", "Automatic"}, {"shift-jis", "Shift-JIS"},
        {"SJIS", "Shift-JIS"},      {"koi8-r", "KOI8-R"},       {"Latin1", "ISO-8859-1"},
        {"cp1252", "Windows-1252"}, {"big5", "Big5"},           {"", nullptr},
        {"UTF-8", nullptr},         {"Windows-125", nullptr},   {"Shift-JIS ", nullptr},
    };
    for (const auto& c : aCases) {
        const std::optional<CTagCodec> oCodec = CTagCodec::FromName(c.pszName);
        ASSERT_EQ(oCodec.has_value(), c.pszFound != nullptr) << c.pszName;
        if (oCodec) {
            EXPECT_EQ(oCodec->GetName(), c.pszFound);
        }
    }
}

TEST(TagCodec, CopiesOfOneCodecDecodeOnSeveralThreadsAtOnce) {
    const CTagCodec codec = Codec("Shift-JIS");
    const std::string strBytes = Bytes("83 54 83 93 83 76 83 8B 82 CC 83 5E 83 43 83 67 83 8B");
    const std::string strText = "\u30b5\u30f3\u30d7\u30eb\u306e\u30bf\u30a4\u30c8\u30eb";
    std::vector<int> arrWrong(4, 0);
    std::vector<std::thread> arrThreads;
    for (int& nWrong : arrWrong) {
        arrThreads.emplace_back([codec, &strBytes, &strText, &nWrong] {
            for (int i = 0; i < 500; ++i) {
                nWrong += codec.Decode(strBytes) != strText;
            }
        });
    }
    for (std::thread& thread : arrThreads) {
        thread.join();
    }
    EXPECT_EQ(arrWrong, std::vector<int>(4, 0));
}

TEST(TagCodec, ReadsAShiftJisTagWrittenByAnotherProgram) {
    const std::filesystem::path path =
        std::filesystem::path(CORPUS_DIR) / "dhowden-tag" / "sample_ms932_v1.mp3";
    if (!std::filesystem::is_regular_file(path)) {
        GTEST_SKIP() << "no corpus file " << path;
    }
    std::ifstream in(path, std::ios::binary);
    in.seekg(-128, std::ios::end);
    std::string strTag(128, '\0');
    ASSERT_TRUE(in.read(strTag.data(), 128));
    ASSERT_EQ(strTag.substr(0, 3), "TAG");
    std::string strDecoded;
    EXPECT_EQ(Codec("Shift-JIS").ReadField(Field(strTag) + 3, 30, strDecoded),
              "\u30b5\u30f3\u30d7\u30eb\u306e\u30bf\u30a4\u30c8\u30eb");
}
