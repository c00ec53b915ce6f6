// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <array>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One character set of tag bytes and its two conversions to and from UTF-8, as iconv knows it.
// A code page of one byte per character is read into tables once and converts without iconv or
// a lock; any other takes turns on one pair of iconv descriptors, each conversion from a reset
// state. Either may be used from several threads at once.
//
// In Windows-1252 the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// stand for the C1 control of their own number, as Windows converts them: every byte sequence
// then decodes and encodes back to itself, so a tag read through it and written back keeps its
// bytes. In every other code page an undefined byte reads as U+FFFD.
class CCodePage {
public:
    // The code page iconv knows as szIconvName, or nothing when it knows no such code page.
    static std::shared_ptr<const CCodePage> Open(const std::string& strName,
                                                 const char* szIconvName);
    // The code page of the automatic rule, opened once.
    static const CCodePage& Windows1252();

    ~CCodePage();
    CCodePage(const CCodePage&) = delete;
    CCodePage& operator=(const CCodePage&) = delete;

    const std::string& GetName() const { return m_strName; }
    // Bytes that the code page does not define become U+FFFD.
    std::string Decode(std::string_view strBytes) const;
    // The bytes that store the whole text; nothing when it is not UTF-8 or one of its characters
    // has none in the code page.
    std::optional<std::string> Encode(std::string_view strText) const;

private:
    CCodePage(std::string strName, iconv_t cdDecode, iconv_t cdEncode);
    // Fills the tables when every byte is a character of its own.
    void ReadSingleBytes(bool bUndefinedKeepTheirNumber);
    bool IsSingleByte() const { return !m_arrEncode.empty(); }

    const std::string m_strName;
    const iconv_t m_cdDecode; // used under m_mutex only
    const iconv_t m_cdEncode; // used under m_mutex only
    mutable std::mutex m_mutex;
    // One byte per character: what each byte stands for, and the reverse by code point.
    std::array<char32_t, 256> m_aDecode{};
    std::vector<std::pair<char32_t, unsigned char>> m_arrEncode;
};
