// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/trackfilter.h"

#include "catalogue/casefold.h"
#include "catalogue/genres.h"
#include "catalogue/sidebyside.h"
#include "catalogue/trackinfo.h"
#include "platform/textconv.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace {

// The texts of a record's columns: a word must lie within one of them, not across two.
std::array<std::string_view, 6> TextFields(const CTrackInfo& track) {
    return {track.GetFileName(), track.GetTitle(), track.GetArtist(),
            track.GetAlbum(),    track.GetYear(),  track.GetComment()};
}

// The characters a size text may hold, in the user's language and number format.
std::string SizeCharacters() {
    return FoldText(FormatSize(1234567890123LL) + FormatSize(0)) + "0123456789";
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
        if (m_pLocation != &track.GetLocation()) {
            m_pLocation = &track.GetLocation();
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
        const auto aFields = TextFields(track);
        if (std::any_of(aFields.begin(), aFields.end(), [&word](std::string_view strField) {
                return word.search.IsIn(strField);
            })) {
            return true;
        }
        return word.bMayBeSize && SizeMatches(nWord, track.GetSize());
    }

    bool LocationContains(std::size_t nWord) {
        std::uint32_t& nAnswer = m_arrLocationAnswers[nWord];
        if ((nAnswer & ~1U) != m_nLocationAnswers) {
            const SWord& word = m_filter.m_arrWords[nWord];
            nAnswer = m_nLocationAnswers | (word.search.IsIn(*m_pLocation) ? 1 : 0);
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
        std::vector<char> arrFound(m_filter.m_arrWords.size());
        for (std::size_t i = 0; i < arrFound.size(); ++i) {
            const SWord& word = m_filter.m_arrWords[i];
            arrFound[i] = word.bMayBeSize && word.search.IsIn(strSize);
        }
        return arrFound;
    }

    const CTrackFilter& m_filter;
    const std::string* m_pLocation = nullptr;
    // Per word: the location's answer in the low bit, above it the m_nLocationAnswers it was
    // given for; an answer for another location is asked again.
    std::vector<std::uint32_t> m_arrLocationAnswers;
    std::uint32_t m_nLocationAnswers = 0;
    std::unordered_map<std::int64_t, std::vector<char>> m_mapSizes; // per word, by tenth of MB
};

CTrackFilter::CTrackFilter(const QString& strText, const std::atomic<bool>* pStop) {
    const QStringList arrWords = strText.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const std::string strSizeChars = SizeCharacters();
    std::unordered_set<std::string> setSeen;
    for (const QString& strWord : arrWords) {
        if (pStop != nullptr && pStop->load(std::memory_order_relaxed)) {
            break;
        }
        SWord word{CFoldedSearch(ToStdString(strWord)), {}, false};
        const std::string& strFolded = word.search.GetFolded();
        if (!setSeen.insert(strFolded).second) {
            continue; // a pasted text repeats its words
        }
        for (unsigned nGenre = 0; nGenre < word.genres.size(); ++nGenre) {
            word.genres[nGenre] = word.search.IsIn(GenreName(static_cast<unsigned char>(nGenre)));
        }
        word.bMayBeSize = strFolded.find_first_not_of(strSizeChars) == std::string::npos;
        m_arrWords.push_back(std::move(word));
    }
    std::stable_sort(m_arrWords.begin(), m_arrWords.end(), [](const SWord& a, const SWord& b) {
        return a.search.GetFolded().size() > b.search.GetFolded().size();
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
                return word.search.GetFolded().find(old.search.GetFolded()) != std::string::npos;
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
                      other.m_arrWords.end(), [](const SWord& a, const SWord& b) {
                          return a.search.GetFolded() == b.search.GetFolded();
                      });
}
