// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagcodec.h"

#include "catalogue/tagtext.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>
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

constexpr std::string_view s_strReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

const iconv_t s_cdInvalid = reinterpret_cast<iconv_t>(-1);

bool EqualsIgnoringCase(std::string_view str1, std::string_view str2) {
    return str1.size() == str2.size() && strncasecmp(str1.data(), str2.data(), str1.size()) == 0;
}

// Every listed code page stores ASCII as ASCII, so such texts need no conversion.
bool IsAscii(std::string_view str) {
    return std::all_of(str.begin(), str.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Converts the whole input through cd. A sequence that cannot be converted becomes U+FFFD when
// bReplace is set, its first byte skipped, and ends the conversion with nothing otherwise.
// Every pass of the loop consumes input or makes room, so no input can make it spin.
std::optional<std::string> Convert(iconv_t cd, std::string_view strIn, bool bReplace) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* pIn = const_cast<char*>(strIn.data()); // iconv takes char** but does not write
    std::size_t nIn = strIn.size();
    std::string strOut;
    std::size_t nDone = 0;
    while (nIn > 0) {
        // a byte of these code pages never takes more than three bytes of UTF-8
        strOut.resize(nDone + nIn * 3 + 8);
        char* pOut = strOut.data() + nDone;
        std::size_t nOut = strOut.size() - nDone;
        const std::size_t nResult = iconv(cd, &pIn, &nIn, &pOut, &nOut);
        nDone = static_cast<std::size_t>(pOut - strOut.data());
        if (nResult != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (!bReplace) {
            return std::nullopt;
        }
        strOut.resize(nDone);
        strOut += s_strReplacement;
        nDone = strOut.size();
        ++pIn;
        --nIn;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    strOut.resize(nDone);
    return strOut;
}

// The length of the first nCount characters of a valid UTF-8 text (all of it if it has fewer).
std::size_t Utf8PrefixLength(std::string_view strText, std::size_t nCount) {
    std::size_t nLength = 0;
    for (; nLength < strText.size(); ++nLength) {
        const bool bStartsCharacter = (static_cast<unsigned char>(strText[nLength]) & 0xC0) != 0x80;
        if (bStartsCharacter && nCount-- == 0) {
            break;
        }
    }
    return nLength;
}

// A valid UTF-8 text without its last character.
std::string_view DropLastCharacter(std::string_view strText) {
    std::size_t nLength = strText.size();
    while (nLength > 0 && (static_cast<unsigned char>(strText[--nLength]) & 0xC0) == 0x80) {
    }
    return strText.substr(0, nLength);
}

void FillField(std::string_view strBytes, unsigned char* pField, std::size_t nWidth) {
    // A zero byte would end the field early when read back.
    std::replace_copy(strBytes.begin(), strBytes.end(), pField, '\0', ' ');
    std::memset(pField + strBytes.size(), ' ', nWidth - strBytes.size());
}

} // namespace

// One code page and its two conversions. An iconv descriptor keeps state between calls, so the
// copies of a codec used by several threads take turns; each conversion starts from a reset state.
class CTagCodec::CCodePage {
public:
    static std::shared_ptr<const CCodePage> Open(const std::string& strName,
                                                 const char* szIconvName);
    ~CCodePage();
    CCodePage(const CCodePage&) = delete;
    CCodePage& operator=(const CCodePage&) = delete;

    const std::string& GetName() const { return m_strName; }
    std::string Decode(std::string_view strBytes) const;
    std::optional<std::string> Encode(std::string_view strText) const;

private:
    CCodePage(std::string strName, iconv_t cdDecode, iconv_t cdEncode)
        : m_strName(std::move(strName)), m_cdDecode(cdDecode), m_cdEncode(cdEncode) {}

    const std::string m_strName;
    mutable std::mutex m_mutex;
    const iconv_t m_cdDecode; // used under m_mutex only
    const iconv_t m_cdEncode; // used under m_mutex only
};

std::shared_ptr<const CTagCodec::CCodePage> CTagCodec::CCodePage::Open(const std::string& strName,
                                                                       const char* szIconvName) {
    const iconv_t cdDecode = iconv_open("UTF-8", szIconvName);
    if (cdDecode == s_cdInvalid) {
        return nullptr;
    }
    const iconv_t cdEncode = iconv_open(szIconvName, "UTF-8");
    if (cdEncode == s_cdInvalid) {
        iconv_close(cdDecode);
        return nullptr;
    }
    return std::shared_ptr<const CCodePage>(new CCodePage(strName, cdDecode, cdEncode));
}

CTagCodec::CCodePage::~CCodePage() {
    iconv_close(m_cdDecode);
    iconv_close(m_cdEncode);
}

std::string CTagCodec::CCodePage::Decode(std::string_view strBytes) const {
    if (IsAscii(strBytes)) {
        return std::string(strBytes);
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    return *Convert(m_cdDecode, strBytes, true);
}

std::optional<std::string> CTagCodec::CCodePage::Encode(std::string_view strText) const {
    if (!IsValidUtf8(strText)) {
        return std::nullopt;
    }
    if (IsAscii(strText)) {
        return std::string(strText);
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    return Convert(m_cdEncode, strText, false);
}

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
    if (oBytes && oBytes->size() > nWidth) {
        // every character takes at least one byte, so no more than nWidth of them can fit
        std::string_view strKept = strText.substr(0, Utf8PrefixLength(strText, nWidth));
        oBytes = m_pCodePage->Encode(strKept);
        while (oBytes && oBytes->size() > nWidth) {
            strKept = DropLastCharacter(strKept);
            oBytes = m_pCodePage->Encode(strKept);
        }
    }
    if (!oBytes) {
        return false;
    }
    FillField(*oBytes, pField, nWidth);
    return true;
}
