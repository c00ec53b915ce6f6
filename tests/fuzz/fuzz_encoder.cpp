// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The encoder of tag writes: any text into fields of any width, and whole tags.
#include "catalogue/id3v1tag.h"
#include "catalogue/tagtext.h"
#include "catalogue/utf8.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string TrimTrailingWhiteSpace(std::string str) {
    while (!str.empty() && std::strchr(" \t\n\v\f\r", str.back()) != nullptr) {
        str.pop_back();
    }
    return str;
}

// A text that fits its field comes back as it was, less trailing white space.
bool ReadsBack(const std::string& strText, const std::string& strRead, std::size_t nWidth) {
    const bool bFits = IsValidUtf8(strText) && strText.find('\0') == std::string::npos &&
                       EncodeTagText(strText).size() <= nWidth;
    return !bFits || strRead == TrimTrailingWhiteSpace(strText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    if (nSize == 0) {
        return 0;
    }
    // First byte: a field width; the rest: the text, then five texts for a whole tag.
    const std::size_t nWidth = pData[0] % 40;
    const std::string strText(reinterpret_cast<const char*>(pData + 1), nSize - 1);

    constexpr unsigned char GUARD = 0xA5;
    std::vector<unsigned char> arrField(nWidth + 8, GUARD);
    WriteTagText(strText, arrField.data(), nWidth);
    for (std::size_t i = 0; i < arrField.size(); ++i) {
        FUZZ_CHECK(i < nWidth ? arrField[i] != 0 : arrField[i] == GUARD);
    }
    const std::string strRead = ReadTagText(arrField.data(), nWidth);
    FUZZ_CHECK(ReadsBack(strText, strRead, nWidth));
    // A valid text that does not fit is cut between characters: what comes back begins it.
    if (IsValidUtf8(strText) && strText.find('\0') == std::string::npos) {
        FUZZ_CHECK(strText.compare(0, strRead.size(), strRead) == 0);
    }

    // Five texts separated by zero bytes, the genre last.
    CId3v1Tag tag;
    std::string* const apFields[] = {&tag.m_strTitle, &tag.m_strArtist, &tag.m_strAlbum,
                                     &tag.m_strYear, &tag.m_strComment};
    std::size_t nField = 0;
    for (std::size_t i = 1; i < nSize; ++i) {
        if (pData[i] == 0 && nField + 1 < std::size(apFields)) {
            ++nField;
        } else {
            *apFields[nField] += static_cast<char>(pData[i]);
        }
    }
    tag.m_nGenre = pData[nSize - 1];
    const CId3v1Tag::CBytes bytes = tag.Format();
    static_assert(sizeof bytes == 128);
    FUZZ_CHECK(CId3v1Tag::HasMarker(bytes.data()));
    FUZZ_CHECK(std::memchr(bytes.data(), 0, 127) == nullptr);
    FUZZ_CHECK(bytes[127] == tag.m_nGenre);
    const CId3v1Tag reread = CId3v1Tag::Parse(bytes);
    FUZZ_CHECK(ReadsBack(tag.m_strTitle, reread.m_strTitle, 30));
    FUZZ_CHECK(ReadsBack(tag.m_strArtist, reread.m_strArtist, 30));
    FUZZ_CHECK(ReadsBack(tag.m_strAlbum, reread.m_strAlbum, 30));
    FUZZ_CHECK(ReadsBack(tag.m_strYear, reread.m_strYear, 4));
    FUZZ_CHECK(ReadsBack(tag.m_strComment, reread.m_strComment, 30));
    return 0;
}
