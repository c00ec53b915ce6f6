// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/trackfilter.h"

#include "catalogue/genres.h"
#include "catalogue/sidebyside.h"
#include "catalogue/trackinfo.h"
#include "platform/textconv.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

constexpr std::array<unsigned char, 256> MakeAsciiFold() {
    std::array<unsigned char, 256> aFold{};
    for (unsigned n = 0; n < 256; ++n) {
        aFold[n] = static_cast<unsigned char>(n >= 'A' && n <= 'Z' ? n + ('a' - 'A') : n);
    }
    return aFold;
}

constexpr std::array<unsigned char, 256> s_aAsciiFold = MakeAsciiFold();

bool IsAscii(std::string_view strText) {
    const char* p = strText.data();
    const char* pEnd = p + strText.size();
    for (; pEnd - p >= 8; p += 8) {
        std::uint64_t nChunk = 0;
        std::memcpy(&nChunk, p, sizeof nChunk);
        if ((nChunk & 0x8080808080808080ULL) != 0) {
            return false;
        }
    }
    for (; p < pEnd; ++p) {
        if ((static_cast<unsigned char>(*p) & 0x80) != 0) {
            return false;
        }
    }
    return true;
}

// Where each of a text's fields ends, in bytes from its start.
using CFieldEnds = std::array<std::uint32_t, 6>;

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether an occurrence at nPos of nLength bytes lies within one field, not across two.
bool WithinOneField(std::size_t nPos, std::size_t nLength, const CFieldEnds& aEnds,
                    std::size_t nFields) {
    std::size_t nField = 0;
    while (nField + 1 < nFields && aEnds[nField] <= nPos) {
        ++nField;
    }
    return nPos + nLength <= aEnds[nField];
}

// Most texts are plain ASCII, whose folding is a table look-up and never changes a length. Only
// the bytes that may begin the word are looked at closer.
bool ContainsAscii(std::string_view strText, std::string_view strWord, const CFieldEnds& aEnds,
                   std::size_t nFields) {
    const std::size_t nWord = strWord.size();
    if (nWord > strText.size()) {
        return false;
    }
    const auto* pText = reinterpret_cast<const unsigned char*>(strText.data());
    const auto* pWord = reinterpret_cast<const unsigned char*>(strWord.data());
    const unsigned char cFirst = pWord[0];
    // A folded letter is small: or-ing 0x20 makes its capital equal to it, and nothing else.
    const unsigned char nMask = IsAsciiLetter(cFirst) ? 0x20 : 0x00;
    const std::size_t nLast = strText.size() - nWord;
    for (std::size_t i = 0; i <= nLast; ++i) {
        if ((pText[i] | nMask) != cFirst) {
            continue;
        }
        std::size_t j = 1;
        while (j < nWord && s_aAsciiFold[pText[i + j]] == pWord[j]) {
            ++j;
        }
        if (j == nWord && WithinOneField(i, nWord, aEnds, nFields)) {
            return true;
        }
    }
    return false;
}

// One code point from p, whose length is stored in nLength; a byte that starts no valid UTF-8
// sequence stands for U+FFFD, as the list shows it.
char32_t DecodeAt(const unsigned char* p, std::size_t nLeft, std::size_t& nLength) {
    const unsigned char c = p[0];
    nLength = 1;
    if (c < 0x80) {
        return c;
    }
    std::size_t nNeed = 0;
    char32_t nCode = 0;
    char32_t nMin = 0;
    if ((c & 0xE0) == 0xC0) {
        nNeed = 1, nCode = c & 0x1F, nMin = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        nNeed = 2, nCode = c & 0x0F, nMin = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        nNeed = 3, nCode = c & 0x07, nMin = 0x10000;
    } else {
        return REPLACEMENT;
    }
    if (nNeed >= nLeft) {
        return REPLACEMENT;
    }
    for (std::size_t i = 1; i <= nNeed; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return REPLACEMENT;
        }
        nCode = (nCode << 6) | (p[i] & 0x3F);
    }
    if (nCode < nMin || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
        return REPLACEMENT;
    }
    nLength = nNeed + 1;
    return nCode;
}

unsigned char* WriteUtf8(char32_t nCode, unsigned char* pOut) {
    if (nCode < 0x80) {
        *pOut++ = static_cast<unsigned char>(nCode);
    } else if (nCode < 0x800) {
        *pOut++ = static_cast<unsigned char>(0xC0 | (nCode >> 6));
        *pOut++ = static_cast<unsigned char>(0x80 | (nCode & 0x3F));
    } else if (nCode < 0x10000) {
        *pOut++ = static_cast<unsigned char>(0xE0 | (nCode >> 12));
        *pOut++ = static_cast<unsigned char>(0x80 | ((nCode >> 6) & 0x3F));
        *pOut++ = static_cast<unsigned char>(0x80 | (nCode & 0x3F));
    } else {
        *pOut++ = static_cast<unsigned char>(0xF0 | (nCode >> 18));
        *pOut++ = static_cast<unsigned char>(0x80 | ((nCode >> 12) & 0x3F));
        *pOut++ = static_cast<unsigned char>(0x80 | ((nCode >> 6) & 0x3F));
        *pOut++ = static_cast<unsigned char>(0x80 | (nCode & 0x3F));
    }
    return pOut;
}

// The folding of every code point of up to two UTF-8 bytes, the accented letters of most
// European languages, made once.
const std::array<char32_t, 0x800>& TwoByteFolds() {
    static const std::array<char32_t, 0x800> s_aFolds = [] {
        std::array<char32_t, 0x800> aFolds{};
        for (char32_t nCode = 0; nCode < 0x800; ++nCode) {
            aFolds[nCode] = QChar::toCaseFolded(nCode);
        }
        return aFolds;
    }();
    return s_aFolds;
}

void AppendFolded(std::string_view strText, std::string& strOut) {
    const std::array<char32_t, 0x800>& aFolds = TwoByteFolds();
    // A folded character takes at most half as many bytes again: write in place, cut after.
    const std::size_t nStart = strOut.size();
    strOut.resize(nStart + strText.size() * 3 / 2 + 4);
    auto* pOut = reinterpret_cast<unsigned char*>(strOut.data() + nStart);
    const auto* p = reinterpret_cast<const unsigned char*>(strText.data());
    const auto* pEnd = p + strText.size();
    while (p < pEnd) {
        if (*p < 0x80) {
            *pOut++ = s_aAsciiFold[*p++];
            continue;
        }
        std::size_t nLength = 1;
        const char32_t nCode = DecodeAt(p, static_cast<std::size_t>(pEnd - p), nLength);
        pOut = WriteUtf8(nCode < aFolds.size() ? aFolds[nCode] : QChar::toCaseFolded(nCode), pOut);
        p += nLength;
    }
    strOut.resize(static_cast<std::size_t>(reinterpret_cast<char*>(pOut) - strOut.data()));
}

// The characters beyond ASCII that fold to an ASCII one (the Kelvin sign, the long s), as UTF-8:
// only a text holding one of them needs folding for a word of plain ASCII.
const std::vector<std::string>& FoldingToAscii() {
    static const std::vector<std::string> s_arrTexts = [] {
        std::vector<std::string> arrTexts;
        for (char32_t nCode = 0x80; nCode < 0x10000; ++nCode) {
            if (QChar::toCaseFolded(nCode) < 0x80) {
                unsigned char aBytes[4];
                const unsigned char* pEnd = WriteUtf8(nCode, aBytes);
                arrTexts.emplace_back(reinterpret_cast<const char*>(aBytes),
                                      static_cast<std::size_t>(pEnd - aBytes));
            }
        }
        return arrTexts;
    }();
    return s_arrTexts;
}

// A text of one or more fields as the filter compares it: as it is when plain ASCII (folded
// while compared), folded beforehand otherwise; with where each field ends either way.
class CComparedText {
public:
    void Reset(std::string_view strText, const CFieldEnds& aEnds, std::size_t nFields) {
        m_strText = strText;
        m_aEnds = aEnds;
        m_nFields = nFields;
        m_eState = IsAscii(strText) ? EState::Ascii : EState::Unknown;
        m_bFolded = false;
    }

    // arrKeys: for a word beyond ASCII, every character that folds to its first such one.
    bool Contains(const std::string& strWord, bool bAsciiWord,
                  const std::vector<std::string>& arrKeys) {
        if (m_eState == EState::Ascii) {
            return bAsciiWord && ContainsAscii(m_strText, strWord, m_aEnds, m_nFields);
        }
        // Bytes beyond ASCII are never equal to those of a word of plain ASCII.
        if (bAsciiWord && !HasFoldingToAscii()) {
            return ContainsAscii(m_strText, strWord, m_aEnds, m_nFields);
        }
        // Folding the whole text costs more than folding after each character that could begin
        // the word's first letter beyond ASCII; a text whose letters beyond ASCII may fold to
        // ASCII ones is folded.
        if (!bAsciiWord && !m_bFolded && !HasFoldingToAscii()) {
            return ContainsFromKeys(strWord, arrKeys);
        }
        Fold();
        const std::string_view strFolded(m_strFolded);
        for (std::size_t nPos = strFolded.find(strWord); nPos != std::string_view::npos;
             nPos = strFolded.find(strWord, nPos + 1)) {
            if (WithinOneField(nPos, strWord.size(), m_aFoldedEnds, m_nFields)) {
                return true;
            }
        }
        return false;
    }

private:
    enum class EState { Ascii, Unknown, Plain, Exotic, Folded };

    bool HasFoldingToAscii() {
        if (m_eState == EState::Unknown) {
            const std::vector<std::string>& arrExotic = FoldingToAscii();
            const bool bExotic =
                std::any_of(arrExotic.begin(), arrExotic.end(), [this](const std::string& str) {
                    return m_strText.find(str) != std::string_view::npos;
                });
            m_eState = bExotic ? EState::Exotic : EState::Plain;
        }
        return m_eState != EState::Plain;
    }

    // The word's bytes before its first letter beyond ASCII are compared, folded, with the bytes
    // before each key found; the rest is compared one folded character at a time.
    bool ContainsFromKeys(const std::string& strWord,
                          const std::vector<std::string>& arrKeys) const {
        const std::size_t nKeyAt = static_cast<std::size_t>(
            std::find_if(strWord.begin(), strWord.end(),
                         [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) -
            strWord.begin());
        std::size_t nKeyLength = 1;
        DecodeAt(reinterpret_cast<const unsigned char*>(strWord.data()) + nKeyAt,
                 strWord.size() - nKeyAt, nKeyLength);
        const auto matchesAt = [&](std::size_t nPos, std::size_t nKeySize) {
            if (nPos < nKeyAt) {
                return false;
            }
            const std::size_t nStart = nPos - nKeyAt;
            const std::size_t nEnd = MatchFoldedRest(strWord, nKeyAt + nKeyLength, nPos + nKeySize);
            return nEnd != std::string_view::npos &&
                   std::equal(strWord.begin(), strWord.begin() + static_cast<long>(nKeyAt),
                              m_strText.begin() + static_cast<long>(nStart),
                              [](char w, char t) {
                                  return s_aAsciiFold[static_cast<unsigned char>(t)] ==
                                         static_cast<unsigned char>(w);
                              }) &&
                   WithinOneField(nStart, nEnd - nStart, m_aEnds, m_nFields);
        };
        // The cases of a letter mostly share their first byte: one scan then finds them all.
        const char cLead = arrKeys.front().front();
        if (std::all_of(arrKeys.begin(), arrKeys.end(),
                        [cLead](const std::string& strKey) { return strKey.front() == cLead; })) {
            const char* pText = m_strText.data();
            const char* pEnd = pText + m_strText.size();
            for (const char* p = pText;
                 (p = static_cast<const char*>(
                      std::memchr(p, cLead, static_cast<std::size_t>(pEnd - p)))) != nullptr;
                 ++p) {
                const auto nPos = static_cast<std::size_t>(p - pText);
                for (const std::string& strKey : arrKeys) {
                    if (m_strText.compare(nPos, strKey.size(), strKey) == 0 &&
                        matchesAt(nPos, strKey.size())) {
                        return true;
                    }
                }
            }
            return false;
        }
        for (const std::string& strKey : arrKeys) {
            for (std::size_t nPos = m_strText.find(strKey); nPos != std::string_view::npos;
                 nPos = m_strText.find(strKey, nPos + 1)) {
                if (matchesAt(nPos, strKey.size())) {
                    return true;
                }
            }
        }
        return false;
    }

    // Where the text's match of the folded word's bytes from nWordAt ends, when the text from
    // nTextAt folds to them; npos otherwise.
    std::size_t MatchFoldedRest(const std::string& strWord, std::size_t nWordAt,
                                std::size_t nTextAt) const {
        const std::array<char32_t, 0x800>& aFolds = TwoByteFolds();
        const auto* pText = reinterpret_cast<const unsigned char*>(m_strText.data());
        while (nWordAt < strWord.size()) {
            if (nTextAt >= m_strText.size()) {
                return std::string_view::npos;
            }
            std::size_t nLength = 1;
            const char32_t nCode = DecodeAt(pText + nTextAt, m_strText.size() - nTextAt, nLength);
            unsigned char aFolded[4];
            const unsigned char* pEnd = WriteUtf8(
                nCode < aFolds.size() ? aFolds[nCode] : QChar::toCaseFolded(nCode), aFolded);
            const auto nFolded = static_cast<std::size_t>(pEnd - aFolded);
            if (strWord.compare(nWordAt, nFolded, reinterpret_cast<const char*>(aFolded),
                                nFolded) != 0) {
                return std::string_view::npos;
            }
            nWordAt += nFolded;
            nTextAt += nLength;
        }
        return nTextAt;
    }

    void Fold() {
        if (m_bFolded) {
            return;
        }
        m_strFolded.clear();
        std::uint32_t nStart = 0;
        for (std::size_t i = 0; i < m_nFields; ++i) {
            AppendFolded(m_strText.substr(nStart, m_aEnds[i] - nStart), m_strFolded);
            nStart = m_aEnds[i];
            m_aFoldedEnds[i] = static_cast<std::uint32_t>(m_strFolded.size());
        }
        m_bFolded = true;
    }

    std::string_view m_strText;
    CFieldEnds m_aEnds{};
    CFieldEnds m_aFoldedEnds{};
    std::size_t m_nFields = 0;
    EState m_eState = EState::Ascii;
    bool m_bFolded = false;
    std::string m_strFolded;
};

CFieldEnds OneField(std::string_view strText) {
    CFieldEnds aEnds{};
    aEnds[0] = static_cast<std::uint32_t>(strText.size());
    return aEnds;
}

CFieldEnds FieldEnds(const CTrackInfo& track) {
    const char* pStart = track.GetTextBlock().data();
    const auto end = [pStart](std::string_view strField) {
        return static_cast<std::uint32_t>(strField.data() + strField.size() - pStart);
    };
    return {end(track.GetFileName()), end(track.GetTitle()), end(track.GetArtist()),
            end(track.GetAlbum()),    end(track.GetYear()),  end(track.GetComment())};
}

// The characters of the first plane beyond ASCII that fold to another, by what they fold to: made
// once, rather than the whole plane walked for every word.
const std::unordered_map<char32_t, std::vector<char32_t>>& FoldedFrom() {
    static const std::unordered_map<char32_t, std::vector<char32_t>> s_mapFrom = [] {
        std::unordered_map<char32_t, std::vector<char32_t>> mapFrom;
        const std::array<char32_t, 0x800>& aFolds = TwoByteFolds();
        for (char32_t nCode = 0x80; nCode <= 0xFFFF; ++nCode) {
            if (nCode == 0xD800) {
                nCode = 0xE000; // no surrogates in UTF-8
            }
            const char32_t nFolded =
                nCode < aFolds.size() ? aFolds[nCode] : QChar::toCaseFolded(nCode);
            if (nFolded != nCode) {
                mapFrom[nFolded].push_back(nCode);
            }
        }
        return mapFrom;
    }();
    return s_mapFrom;
}

// Every character, as UTF-8, that folds to the first character beyond ASCII of a folded word.
std::vector<std::string> KeysOf(const std::string& strFolded) {
    const auto* p = reinterpret_cast<const unsigned char*>(strFolded.data());
    std::size_t nLeft = strFolded.size();
    while (nLeft > 0 && *p < 0x80) {
        ++p;
        --nLeft;
    }
    std::size_t nLength = 1;
    const char32_t nFirst = DecodeAt(p, nLeft, nLength);
    std::vector<char32_t> arrCodes{nFirst};
    if (nFirst <= 0xFFFF) {
        const auto& mapFrom = FoldedFrom();
        const auto it = mapFrom.find(nFirst);
        if (it != mapFrom.end()) {
            arrCodes.insert(arrCodes.end(), it->second.begin(), it->second.end());
        }
    } else {
        // Case pairs never leave their plane.
        const char32_t nPlane = nFirst & ~char32_t(0xFFFF);
        for (char32_t nCode = nPlane; nCode <= nPlane + 0xFFFF; ++nCode) {
            if (nCode != nFirst && QChar::toCaseFolded(nCode) == nFirst) {
                arrCodes.push_back(nCode);
            }
        }
    }
    std::vector<std::string> arrKeys;
    for (const char32_t nCode : arrCodes) {
        unsigned char aBytes[4];
        const unsigned char* pEnd = WriteUtf8(nCode, aBytes);
        arrKeys.emplace_back(reinterpret_cast<const char*>(aBytes),
                             static_cast<std::size_t>(pEnd - aBytes));
    }
    return arrKeys;
}

// The characters a size text may hold, in the user's language and number format.
std::string SizeCharacters() {
    std::string strChars = CTrackFilter::Fold(FormatSize(1234567890123LL) + FormatSize(0));
    strChars += "0123456789";
    return strChars;
}

} // namespace

// One pass over a list: folds each row's texts at most once for all the words, and keeps the
// answers for the last folder met, since the rows of one folder share their location text and
// mostly lie together. A word is looked for in a location only when a row needs it: most rows
// fail at their first words, and a long text has thousands.
class CTrackFilter::CMatcher {
public:
    explicit CMatcher(const CTrackFilter& filter)
        : m_filter(filter), m_arrLocationAnswers(filter.m_arrWords.size()) {}

    bool Matches(const CTrackInfo& track) {
        m_bTextsRead = false;
        if (m_pLocation != &track.GetLocation()) {
            m_pLocation = &track.GetLocation();
            m_location.Reset(*m_pLocation, OneField(*m_pLocation), 1);
            m_nLocationAnswers += 2;
        }
        for (std::size_t i = 0; i < m_filter.m_arrWords.size(); ++i) {
            if (!MatchesWord(i, track)) {
                return false;
            }
        }
        return true;
    }

private:
    bool MatchesWord(std::size_t nWord, const CTrackInfo& track) {
        const SWord& word = m_filter.m_arrWords[nWord];
        if (word.genres.test(track.GetGenre()) || LocationContains(nWord)) {
            return true;
        }
        if (!m_bTextsRead) {
            m_texts.Reset(track.GetTextBlock(), FieldEnds(track), 6);
            m_bTextsRead = true;
        }
        if (m_texts.Contains(word.strFolded, word.bAscii, word.arrKeys)) {
            return true;
        }
        return word.bMayBeSize && SizeMatches(nWord, track.GetSize());
    }

    bool LocationContains(std::size_t nWord) {
        std::uint32_t& nAnswer = m_arrLocationAnswers[nWord];
        if ((nAnswer & ~1U) != m_nLocationAnswers) {
            const SWord& word = m_filter.m_arrWords[nWord];
            nAnswer = m_nLocationAnswers |
                      (m_location.Contains(word.strFolded, word.bAscii, word.arrKeys) ? 1 : 0);
        }
        return (nAnswer & 1) != 0;
    }

    // Sizes show in tenths of megabytes: rows of the same tenth share their text, which is made
    // and compared with every word once. A size close to halfway between two tenths is formatted
    // alone, lest its rounding differ.
    bool SizeMatches(std::size_t nWord, std::int64_t nSize) {
        constexpr std::int64_t TENTH = 100000;
        constexpr std::int64_t MARGIN = 16;
        const std::int64_t nRest = nSize % TENTH;
        if (nSize < 0 || (nRest > TENTH / 2 - MARGIN && nRest < TENTH / 2 + MARGIN)) {
            return CompareSize(nSize)[nWord] != 0;
        }
        const std::int64_t nKey = nSize / TENTH + (nRest > TENTH / 2 ? 1 : 0);
        auto it = m_mapSizes.find(nKey);
        if (it == m_mapSizes.end()) {
            it = m_mapSizes.emplace(nKey, CompareSize(nSize)).first;
        }
        return it->second[nWord] != 0;
    }

    std::vector<char> CompareSize(std::int64_t nSize) {
        const std::string strSize = FormatSize(nSize);
        CComparedText size;
        size.Reset(strSize, OneField(strSize), 1);
        std::vector<char> arrFound(m_filter.m_arrWords.size());
        for (std::size_t i = 0; i < arrFound.size(); ++i) {
            const SWord& word = m_filter.m_arrWords[i];
            arrFound[i] =
                word.bMayBeSize && size.Contains(word.strFolded, word.bAscii, word.arrKeys);
        }
        return arrFound;
    }

    const CTrackFilter& m_filter;
    CComparedText m_texts;
    bool m_bTextsRead = false;
    const std::string* m_pLocation = nullptr;
    CComparedText m_location;
    // Per word: the location's answer in the low bit, above it the m_nLocationAnswers it was
    // given for; an answer for another location is asked again.
    std::vector<std::uint32_t> m_arrLocationAnswers;
    std::uint32_t m_nLocationAnswers = 0;
    std::unordered_map<std::int64_t, std::vector<char>> m_mapSizes; // per word, by tenth of MB
};

CTrackFilter::CTrackFilter(const QString& strText, const std::atomic<bool>* pStop) {
    const QStringList arrWords = strText.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const std::string strSizeChars = SizeCharacters();
    std::array<std::string, 256> aGenres;
    std::size_t nLongestGenre = 0;
    for (unsigned nGenre = 0; nGenre < aGenres.size(); ++nGenre) {
        aGenres[nGenre] = Fold(GenreName(static_cast<unsigned char>(nGenre)));
        nLongestGenre = std::max(nLongestGenre, aGenres[nGenre].size());
    }
    std::unordered_set<std::string> setSeen;
    for (const QString& strWord : arrWords) {
        if (pStop != nullptr && pStop->load(std::memory_order_relaxed)) {
            break;
        }
        SWord word;
        word.strFolded = Fold(ToStdString(strWord));
        if (!setSeen.insert(word.strFolded).second) {
            continue; // a pasted text repeats its words
        }
        if (word.strFolded.size() <= nLongestGenre) {
            for (unsigned nGenre = 0; nGenre < aGenres.size(); ++nGenre) {
                word.genres[nGenre] = aGenres[nGenre].find(word.strFolded) != std::string::npos;
            }
        }
        word.bAscii = IsAscii(word.strFolded);
        if (!word.bAscii) {
            word.arrKeys = KeysOf(word.strFolded);
        }
        word.bMayBeSize = word.strFolded.find_first_not_of(strSizeChars) == std::string::npos;
        m_arrWords.push_back(std::move(word));
    }
    std::stable_sort(m_arrWords.begin(), m_arrWords.end(), [](const SWord& a, const SWord& b) {
        return a.strFolded.size() > b.strFolded.size();
    });
}

bool CTrackFilter::Matches(const CTrackInfo& track) const {
    return CMatcher(*this).Matches(track);
}

bool CTrackFilter::Narrows(const CTrackFilter& previous) const {
    // Every word is compared with every other: beyond this the rows are tested again instead,
    // which gives them all the same.
    constexpr std::size_t MAX_WORD_PAIRS = 1 << 14;
    if (m_arrWords.size() * previous.m_arrWords.size() > MAX_WORD_PAIRS) {
        return false;
    }
    return std::all_of(
        previous.m_arrWords.begin(), previous.m_arrWords.end(), [this](const SWord& old) {
            return std::any_of(m_arrWords.begin(), m_arrWords.end(), [&old](const SWord& word) {
                return word.strFolded.find(old.strFolded) != std::string::npos;
            });
        });
}

CTrackList CTrackFilter::Apply(const CTrackList& arrRows, const std::atomic<bool>* pStop,
                               CThreadStarter& starter) const {
    if (IsEmpty()) {
        return arrRows;
    }
    // Long lists are cut in parts tested side by side, each keeping its rows' order.
    constexpr std::size_t MIN_PART_ROWS = 10000;
    constexpr std::size_t RECORD_AHEAD = 16;
    constexpr std::size_t TEXT_AHEAD = 8;
    const std::size_t nParts =
        std::max<std::size_t>(1, std::min<std::size_t>(std::thread::hardware_concurrency(),
                                                       arrRows.size() / MIN_PART_ROWS));
    const std::size_t nPartRows = (arrRows.size() + nParts - 1) / nParts;
    std::vector<CTrackList> arrParts(nParts);
    RunInParts(starter, nParts, [&](std::size_t nPart) {
        CMatcher matcher(*this);
        CTrackList& arrPassed = arrParts[nPart];
        const std::size_t nEnd = std::min(arrRows.size(), (nPart + 1) * nPartRows);
        for (std::size_t i = nPart * nPartRows; i < nEnd; ++i) {
            // One row takes a few words' search at most: a stop is seen at once.
            if (pStop != nullptr && pStop->load(std::memory_order_relaxed)) {
                break;
            }
            // The rows' records and texts lie all over the heap, and waiting for them is most of
            // the work: both are asked for ahead, the text once its record has come.
            if (i + RECORD_AHEAD < nEnd) {
                __builtin_prefetch(arrRows[i + RECORD_AHEAD]);
            }
            if (i + TEXT_AHEAD < nEnd) {
                arrRows[i + TEXT_AHEAD]->PrefetchTexts();
            }
            if (matcher.Matches(*arrRows[i])) {
                arrPassed.push_back(arrRows[i]);
            }
        }
    });
    CTrackList arrPassed = std::move(arrParts[0]);
    for (std::size_t nPart = 1; nPart < nParts; ++nPart) {
        arrPassed.insert(arrPassed.end(), arrParts[nPart].begin(), arrParts[nPart].end());
    }
    return arrPassed;
}

bool CTrackFilter::operator==(const CTrackFilter& other) const {
    return std::equal(m_arrWords.begin(), m_arrWords.end(), other.m_arrWords.begin(),
                      other.m_arrWords.end(),
                      [](const SWord& a, const SWord& b) { return a.strFolded == b.strFolded; });
}

std::string CTrackFilter::Fold(std::string_view strText) {
    std::string strFolded;
    AppendFolded(strText, strFolded);
    return strFolded;
}
