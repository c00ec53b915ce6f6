// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagcodec.h"

#include "catalogue/codepage.h"
#include "catalogue/tagtext.h"
#include "catalogue/utf8.h"

#include <strings.h>
#include <utility>

namespace {

struct SCodePageName {
    const char* szName;
    const char* szIconvName;
};

// Shift-JIS as Windows writes it: tags in that character set come mostly from Windows programs.
constexpr SCodePageName s_aCodePages[] = {{"Windows-1252", "WINDOWS-1252"},
                                          {"ISO-8859-1", "ISO-8859-1"},
                                          {"ISO-8859-15", "ISO-8859-15"},
                                          {"Windows-1250", "WINDOWS-1250"},
                                          {"Windows-1251", "WINDOWS-1251"},
                                          {"KOI8-R", "KOI8-R"},
                                          {"Shift-JIS", "CP932"},
                                          {"GBK", "GBK"},
                                          {"Big5", "BIG5"},
                                          {"EUC-KR", "EUC-KR"}};

constexpr const char* s_szAutomatic = "Automatic";

struct SAlias {
    const char* szAlias;
    const char* szName;
};

constexpr SAlias s_aAliases[] = {{"auto", s_szAutomatic},    {"cp1252", "Windows-1252"},
                                 {"cp1250", "Windows-1250"}, {"cp1251", "Windows-1251"},
                                 {"latin1", "ISO-8859-1"},   {"latin9", "ISO-8859-15"},
                                 {"sjis", "Shift-JIS"},      {"cp932", "Shift-JIS"}};

bool EqualsIgnoringCase(std::string_view str1, std::string_view str2) {
    return str1.size() == str2.size() && strncasecmp(str1.data(), str2.data(), str1.size()) == 0;
}

} // namespace

CTagCodec::CTagCodec() = default;

CTagCodec::CTagCodec(std::shared_ptr<const CCodePage> pCodePage)
    : m_pCodePage(std::move(pCodePage)) {
}

const std::vector<std::string>& CTagCodec::Names() {
    static const std::vector<std::string> s_arrNames = [] {
        std::vector<std::string> arrNames{s_szAutomatic};
        for (const auto& codePage : s_aCodePages) {
            arrNames.emplace_back(codePage.szName);
        }
        return arrNames;
    }();
    return s_arrNames;
}

std::optional<CTagCodec> CTagCodec::FromName(std::string_view strName) {
    for (const auto& alias : s_aAliases) {
        if (EqualsIgnoringCase(strName, alias.szAlias)) {
            strName = alias.szName;
        }
    }
    if (EqualsIgnoringCase(strName, s_szAutomatic)) {
        return CTagCodec();
    }
    for (const auto& codePage : s_aCodePages) {
        if (EqualsIgnoringCase(strName, codePage.szName)) {
            auto pCodePage = CCodePage::Open(codePage.szName, codePage.szIconvName);
            if (!pCodePage) {
                return std::nullopt;
            }
            return CTagCodec(std::move(pCodePage));
        }
    }
    return std::nullopt;
}

const std::string& CTagCodec::GetName() const {
    return m_pCodePage ? m_pCodePage->GetName() : Names().front();
}

std::string_view CTagCodec::ReadField(const unsigned char* pField, std::size_t nWidth,
                                      std::string& strDecoded) const {
    if (!m_pCodePage) {
        return ReadTagTextView(pField, nWidth, strDecoded);
    }
    const std::string_view strBytes = TagFieldBytes(pField, nWidth);
    if (IsAscii(strBytes)) {
        return strBytes;
    }
    strDecoded = m_pCodePage->Decode(strBytes);
    return strDecoded;
}

std::string CTagCodec::Decode(std::string_view strBytes) const {
    return m_pCodePage ? m_pCodePage->Decode(strBytes) : DecodeTagText(strBytes);
}

std::optional<std::string> CTagCodec::Encode(std::string_view strText) const {
    if (!m_pCodePage) {
        return EncodeTagText(strText);
    }
    return m_pCodePage->Encode(strText);
}

bool CTagCodec::WriteField(std::string_view strText, unsigned char* pField,
                           std::size_t nWidth) const {
    if (!m_pCodePage) {
        WriteTagText(strText, pField, nWidth);
        return true;
    }
    std::optional<std::string> oBytes = m_pCodePage->Encode(strText);
    if (!oBytes) {
        return false;
    }
    if (oBytes->size() > nWidth) {
        // Character by character, as far as they fit: none of these code pages keeps a state
        // between characters.
        oBytes->clear();
        for (std::size_t nPos = 0; nPos < strText.size();) {
            const std::size_t nStart = nPos;
            DecodeUtf8(strText, nPos);
            const std::optional<std::string> oCharacter =
                m_pCodePage->Encode(strText.substr(nStart, nPos - nStart));
            if (!oCharacter || oBytes->size() + oCharacter->size() > nWidth) {
                break;
            }
            *oBytes += *oCharacter;
        }
    }
    FillTagField(*oBytes, pField, nWidth);
    return true;
}
