// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/tracklistmodel.h"

#include "catalogue/genres.h"
#include "platform/icons.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace {

// One line per column, in display order.
struct CColumnDef {
    unsigned nTitleId;
    int nWidth;
    int nSortKey;
    bool bFollowsSetting; // centred when "ColumnAlignment" is 1
    Qt::Alignment eOwn;   // otherwise
};

constexpr CColumnDef COLUMNS[CTrackListModel::COLUMN_COUNT] = {
    {IDS_COL_FILE, 150, CTrackListModel::KEY_FILE, false, Qt::AlignLeft},
    {IDS_COL_TITLE, 100, CTrackListModel::KEY_TITLE, true, Qt::AlignLeft},
    {IDS_COL_ALBUM, 100, CTrackListModel::KEY_ALBUM, true, Qt::AlignLeft},
    {IDS_COL_LOCATION, 150, CTrackListModel::KEY_LOCATION, true, Qt::AlignLeft},
    {IDS_COL_SIZE, 65, CTrackListModel::KEY_SIZE, false, Qt::AlignHCenter},
    {IDS_COL_ARTIST, 100, CTrackListModel::KEY_ARTIST, true, Qt::AlignLeft},
    {IDS_COL_DATE, 50, CTrackListModel::KEY_DATE, true, Qt::AlignLeft},
    {IDS_COL_GENRE, 100, CTrackListModel::KEY_GENRE, true, Qt::AlignLeft},
    {IDS_COL_COMMENT, 150, CTrackListModel::KEY_COMMENT, false, Qt::AlignLeft},
};

bool IsOrderingKey(int nSortKey) {
    // Written without abs(): a stored INT_MIN must not overflow.
    return nSortKey != 0 && nSortKey >= -CTrackListModel::KEY_COMMENT &&
           nSortKey <= CTrackListModel::KEY_COMMENT;
}

// The text a key compares; the genre key has none (it compares the genre's name).
std::optional<std::string_view> KeyText(const CTrackInfo& track, int nKey) {
    switch (nKey) {
    case CTrackListModel::KEY_FILE:
        return track.GetFileName();
    case CTrackListModel::KEY_ARTIST:
        return track.GetArtist();
    case CTrackListModel::KEY_TITLE:
        return track.GetTitle();
    case CTrackListModel::KEY_LOCATION:
        return std::string_view(track.GetLocation());
    case CTrackListModel::KEY_ALBUM:
        return track.GetAlbum();
    case CTrackListModel::KEY_DATE:
        return track.GetYear();
    case CTrackListModel::KEY_COMMENT:
        return track.GetComment();
    default:
        return std::nullopt;
    }
}

// Eight bytes of a text from nOffset, big-endian and padded with zeros: comparing two of these
// as numbers orders them as their bytes, unsigned.
std::uint64_t LoadBytes(std::string_view strText, std::size_t nOffset) {
    std::uint64_t nValue = 0;
    for (std::size_t i = nOffset; i < nOffset + sizeof nValue; ++i) {
        nValue <<= 8;
        if (i < strText.size()) {
            nValue |= static_cast<unsigned char>(strText[i]);
        }
    }
    return nValue;
}

constexpr std::size_t CHUNK_BYTES = 2 * sizeof(std::uint64_t);

// One row's key text, with the chunk of it being compared at hand.
struct CTextEntry {
    std::uint64_t nHigh = 0;
    std::uint64_t nLow = 0;
    std::string_view strText;
    std::uint32_t nTail = 0; // bytes from the chunk's start, CHUNK_BYTES + 1 for "and more"
    std::uint32_t nRun = 0;

    void LoadChunk(std::size_t nOffset) {
        nHigh = LoadBytes(strText, nOffset);
        nLow = LoadBytes(strText, nOffset + sizeof nHigh);
        nTail =
            strText.size() <= nOffset
                ? 0
                : static_cast<std::uint32_t>(std::min(strText.size() - nOffset, CHUNK_BYTES + 1));
    }
    bool SameChunk(const CTextEntry& other) const {
        return nHigh == other.nHigh && nLow == other.nLow && nTail == other.nTail;
    }
    // Within equal zero-padded chunks, a text that ends sooner is a start of the other.
    bool operator<(const CTextEntry& other) const {
        return std::tie(nHigh, nLow, nTail, nRun) <
               std::tie(other.nHigh, other.nLow, other.nTail, other.nRun);
    }
};

// Orders texts that agree on their first nOffset bytes, one chunk at a time: only rows that
// still tie read their next chunk.
void SortTexts(std::vector<CTextEntry>::iterator itFirst, std::vector<CTextEntry>::iterator itLast,
               std::size_t nOffset) {
    std::sort(itFirst, itLast);
    for (auto itRun = itFirst; itRun != itLast;) {
        auto itEnd = std::next(itRun);
        while (itEnd != itLast && itEnd->SameChunk(*itRun)) {
            ++itEnd;
        }
        if (itRun->nTail > CHUNK_BYTES && std::distance(itRun, itEnd) > 1) {
            for (auto it = itRun; it != itEnd; ++it) {
                it->LoadChunk(nOffset + CHUNK_BYTES);
            }
            SortTexts(itRun, itEnd, nOffset + CHUNK_BYTES);
        }
        itRun = itEnd;
    }
}

// For each row, the rank of its key text among the texts of all rows in byte order; equal texts
// share a rank.
std::vector<std::uint64_t> TextRanks(const std::vector<CTrackInfo*>& arrRows, int nKey) {
    // Reading a record costs more than comparing texts, as the records lie scattered over
    // memory: each is read once, its text copied into one block that the sort reads instead.
    // Neighbouring rows often share a text (the files of one folder, of one album): they are
    // sorted as one entry.
    struct CRun {
        std::size_t nFirstRow;
        std::size_t nOffset;
        std::size_t nLength;
    };
    std::string strTexts;
    std::vector<CRun> arrRuns;
    for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
        const std::string_view strText = *KeyText(*arrRows[nRow], nKey);
        if (!arrRuns.empty() &&
            std::string_view(strTexts).substr(arrRuns.back().nOffset) == strText) {
            continue;
        }
        arrRuns.push_back({nRow, strTexts.size(), strText.size()});
        strTexts += strText;
    }
    std::vector<CTextEntry> arrEntries(arrRuns.size());
    for (std::size_t nRun = 0; nRun < arrRuns.size(); ++nRun) {
        CTextEntry& entry = arrEntries[nRun];
        entry.strText =
            std::string_view(strTexts).substr(arrRuns[nRun].nOffset, arrRuns[nRun].nLength);
        entry.nRun = static_cast<std::uint32_t>(nRun);
        entry.LoadChunk(0);
    }
    SortTexts(arrEntries.begin(), arrEntries.end(), 0);

    std::vector<std::uint64_t> arrRanks(arrRows.size());
    std::uint64_t nRank = 0;
    for (std::size_t i = 0; i < arrEntries.size(); ++i) {
        if (i > 0 && arrEntries[i].strText != arrEntries[i - 1].strText) {
            ++nRank;
        }
        const std::size_t nRun = arrEntries[i].nRun;
        const std::size_t nEnd =
            nRun + 1 < arrRuns.size() ? arrRuns[nRun + 1].nFirstRow : arrRows.size();
        std::fill(arrRanks.begin() + static_cast<std::ptrdiff_t>(arrRuns[nRun].nFirstRow),
                  arrRanks.begin() + static_cast<std::ptrdiff_t>(nEnd), nRank);
    }
    return arrRanks;
}

// Ranks of the names of all 256 genre bytes in text order; equal names share a rank.
std::array<std::uint64_t, 256> GenreNameRanks() {
    std::array<std::string, 256> arrNames;
    std::array<int, 256> arrOrder;
    for (int nGenre = 0; nGenre < 256; ++nGenre) {
        arrNames[nGenre] = GenreName(static_cast<unsigned char>(nGenre));
        arrOrder[nGenre] = nGenre;
    }
    std::sort(arrOrder.begin(), arrOrder.end(), [&arrNames](int nFirst, int nSecond) {
        return arrNames[nFirst] < arrNames[nSecond];
    });
    std::array<std::uint64_t, 256> arrRanks{};
    std::uint64_t nRank = 0;
    for (std::size_t i = 0; i < arrOrder.size(); ++i) {
        if (i > 0 && arrNames[arrOrder[i]] != arrNames[arrOrder[i - 1]]) {
            ++nRank;
        }
        arrRanks[arrOrder[i]] = nRank;
    }
    return arrRanks;
}

// The rows' new order under an ordering key: arrOrder[new row] = old row. The same order as a
// stable sort with CompareTracks, reached by sorting one number per row: for many rows, reading
// records scattered over memory at every comparison costs more than the sort itself.
std::vector<std::uint32_t> SortedOrder(const std::vector<CTrackInfo*>& arrRows, int nSortKey) {
    struct CEntry {
        std::uint64_t nValue; // in the order of the positive key
        std::uint32_t nRow;
    };
    const int nKey = nSortKey < 0 ? -nSortKey : nSortKey;
    std::vector<CEntry> arrEntries(arrRows.size());
    if (nKey == CTrackListModel::KEY_SIZE) {
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            // Largest first for the positive key; the flipped sign bit keeps the signed order.
            const auto nSize = static_cast<std::uint64_t>(arrRows[nRow]->GetSize());
            arrEntries[nRow] = {~(nSize ^ (1ULL << 63)), static_cast<std::uint32_t>(nRow)};
        }
    } else if (nKey == CTrackListModel::KEY_GENRE) {
        const std::array<std::uint64_t, 256> arrGenreRanks = GenreNameRanks();
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            arrEntries[nRow] = {arrGenreRanks[arrRows[nRow]->GetGenre()],
                                static_cast<std::uint32_t>(nRow)};
        }
    } else {
        const std::vector<std::uint64_t> arrRanks = TextRanks(arrRows, nKey);
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            arrEntries[nRow] = {arrRanks[nRow], static_cast<std::uint32_t>(nRow)};
        }
    }
    // Ties keep the list's order in both directions: that makes the sort stable.
    const bool bReverse = nSortKey < 0;
    std::sort(arrEntries.begin(), arrEntries.end(),
              [bReverse](const CEntry& first, const CEntry& second) {
                  if (first.nValue != second.nValue) {
                      return bReverse ? first.nValue > second.nValue : first.nValue < second.nValue;
                  }
                  return first.nRow < second.nRow;
              });
    std::vector<std::uint32_t> arrOrder(arrEntries.size());
    for (std::size_t i = 0; i < arrEntries.size(); ++i) {
        arrOrder[i] = arrEntries[i].nRow;
    }
    return arrOrder;
}

CTrackList Reordered(const CTrackList& arrRows, const std::vector<std::uint32_t>& arrOrder) {
    CTrackList arrSorted;
    arrSorted.reserve(arrOrder.size());
    for (const std::uint32_t nRow : arrOrder) {
        arrSorted.push_back(arrRows[nRow]);
    }
    return arrSorted;
}

} // namespace

CTrackListModel::CTrackListModel(QObject* pParent)
    : QAbstractTableModel(pParent), m_iconNote(LoadIcon(EIcon::Note)) {
    for (int nColumn = 0; nColumn < COLUMN_COUNT; ++nColumn) {
        m_strTitles[nColumn] = LoadQString(COLUMNS[nColumn].nTitleId);
    }
}

CTrackListModel::~CTrackListModel() = default;

void CTrackListModel::Fill(const CTrackList* pTracks, int nSortKey) {
    beginResetModel();
    m_arrAll.clear();
    if (pTracks != nullptr) {
        if (IsOrderingKey(nSortKey)) {
            m_arrAll = Reordered(*pTracks, SortedOrder(*pTracks, nSortKey));
        } else {
            m_arrAll.assign(pTracks->begin(), pTracks->end());
        }
    }
    m_arrShown = IsFiltered() ? m_filter.Apply(m_arrAll) : CTrackList();
    m_arrSteps.clear();
    endResetModel();
}

void CTrackListModel::Clear() {
    beginResetModel();
    m_arrAll.clear();
    m_arrAll.shrink_to_fit();
    m_arrShown.clear();
    m_arrShown.shrink_to_fit();
    m_arrSteps.clear();
    endResetModel();
}

void CTrackListModel::Sort(int nSortKey) {
    if (!IsOrderingKey(nSortKey) || m_arrAll.size() < 2) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    // The selection and the current row are persistent indexes: they follow their records. A
    // stable sort of the filtered rows gives them in the order of the whole list sorted.
    if (IsFiltered()) {
        m_arrAll = Reordered(m_arrAll, SortedOrder(m_arrAll, nSortKey));
        m_arrSteps.clear();
    }
    CTrackList& arrRows = IsFiltered() ? m_arrShown : m_arrAll;
    const std::vector<std::uint32_t> arrOrder = SortedOrder(arrRows, nSortKey);
    std::vector<int> arrNewRow(arrRows.size());
    for (std::size_t nNew = 0; nNew < arrOrder.size(); ++nNew) {
        arrNewRow[arrOrder[nNew]] = static_cast<int>(nNew);
    }
    arrRows = Reordered(arrRows, arrOrder);

    const QModelIndexList arrFrom = persistentIndexList();
    QModelIndexList arrTo;
    arrTo.reserve(arrFrom.size());
    for (const QModelIndex& index : arrFrom) {
        arrTo.append(createIndex(arrNewRow[index.row()], index.column()));
    }
    changePersistentIndexList(arrFrom, arrTo);

    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CTrackListModel::SetFilter(CTrackFilter filter) {
    if (filter == m_filter) {
        return; // a space typed or taken off: the same words
    }
    emit layoutAboutToBeChanged();
    const bool bWasFiltered = IsFiltered();
    const CTrackList arrOldShown = std::move(m_arrShown);
    const CTrackList& arrOld = bWasFiltered ? arrOldShown : m_arrAll;
    // A longer text lets fewer rows through: only the rows shown need testing, and they are kept
    // for when the text is taken back.
    if (bWasFiltered && filter.Narrows(m_filter)) {
        m_arrSteps.push_back({m_filter, arrOldShown});
        if (m_arrSteps.size() > MAX_FILTER_STEPS) {
            m_arrSteps.erase(m_arrSteps.begin());
        }
    }
    while (!m_arrSteps.empty() && !filter.Narrows(m_arrSteps.back().m_filter)) {
        m_arrSteps.pop_back();
    }
    if (!m_arrSteps.empty() && m_arrSteps.back().m_filter == filter) {
        m_arrShown = std::move(m_arrSteps.back().m_arrRows);
        m_arrSteps.pop_back();
    } else if (!filter.IsEmpty()) {
        m_arrShown = filter.Apply(m_arrSteps.empty() ? m_arrAll : m_arrSteps.back().m_arrRows);
    }
    m_filter = std::move(filter);
    MovePersistentIndexes(arrOld);
    emit layoutChanged();
}

void CTrackListModel::MovePersistentIndexes(const CTrackList& arrOld) {
    const QModelIndexList arrFrom = persistentIndexList();
    if (arrFrom.isEmpty()) {
        return;
    }
    // Both lists keep the whole list's order: one walk along it pairs their rows.
    const CTrackList& arrNew = Rows();
    std::vector<int> arrNewRow(arrOld.size(), -1);
    std::size_t nOld = 0;
    std::size_t nNew = 0;
    for (const CTrackInfo* pTrack : m_arrAll) {
        const bool bInOld = nOld < arrOld.size() && arrOld[nOld] == pTrack;
        const bool bInNew = nNew < arrNew.size() && arrNew[nNew] == pTrack;
        if (bInOld) {
            arrNewRow[nOld++] = bInNew ? static_cast<int>(nNew) : -1;
        }
        nNew += bInNew ? 1 : 0;
    }
    QModelIndexList arrTo;
    arrTo.reserve(arrFrom.size());
    for (const QModelIndex& index : arrFrom) {
        const int nRow = static_cast<std::size_t>(index.row()) < arrNewRow.size()
                             ? arrNewRow[static_cast<std::size_t>(index.row())]
                             : -1;
        arrTo.append(nRow < 0 ? QModelIndex() : createIndex(nRow, index.column()));
    }
    changePersistentIndexList(arrFrom, arrTo);
}

void CTrackListModel::SetColumnAlignment(int nAlignment) {
    if (nAlignment == m_nColumnAlignment) {
        return;
    }
    m_nColumnAlignment = nAlignment;
    emit headerDataChanged(Qt::Horizontal, 0, COLUMN_COUNT - 1);
    if (!Rows().empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, COLUMN_COUNT - 1),
                         {Qt::TextAlignmentRole});
    }
}

CTrackInfo* CTrackListModel::GetTrack(int nRow) const {
    if (nRow < 0 || static_cast<std::size_t>(nRow) >= Rows().size()) {
        return nullptr;
    }
    return Rows()[static_cast<std::size_t>(nRow)];
}

int CTrackListModel::CompareTracks(const CTrackInfo* pFirst, const CTrackInfo* pSecond,
                                   int nSortKey) {
    if (!IsOrderingKey(nSortKey)) {
        return 0;
    }
    const int nDirection = nSortKey < 0 ? -1 : 1;
    const int nKey = nSortKey < 0 ? -nSortKey : nSortKey;
    if (nKey == KEY_SIZE) {
        // A positive key puts the largest file first, the reverse of the text keys.
        if (pFirst->GetSize() < pSecond->GetSize()) {
            return nDirection;
        }
        if (pFirst->GetSize() > pSecond->GetSize()) {
            return -nDirection;
        }
        return 0;
    }
    // std::string compares bytes as unsigned char: case-sensitive, no collation. The genre key
    // compares the genre's name, so that the column reads in order, not its number.
    const int nOrder = nKey == KEY_GENRE
                           ? pFirst->GetGenreName().compare(pSecond->GetGenreName())
                           : KeyText(*pFirst, nKey)->compare(*KeyText(*pSecond, nKey));
    if (nOrder < 0) {
        return -nDirection;
    }
    if (nOrder > 0) {
        return nDirection;
    }
    return 0;
}

int CTrackListModel::ColumnSortKey(int nColumn) {
    if (nColumn < 0 || nColumn >= COLUMN_COUNT) {
        return KEY_NONE;
    }
    return COLUMNS[nColumn].nSortKey;
}

int CTrackListModel::SortKeyColumn(int nSortKey) {
    if (!IsOrderingKey(nSortKey)) {
        return -1;
    }
    const int nKey = nSortKey < 0 ? -nSortKey : nSortKey;
    for (int nColumn = 0; nColumn < COLUMN_COUNT; ++nColumn) {
        if (COLUMNS[nColumn].nSortKey == nKey) {
            return nColumn;
        }
    }
    return -1;
}

int CTrackListModel::DefaultColumnWidth(int nColumn) {
    if (nColumn < 0 || nColumn >= COLUMN_COUNT) {
        return 0;
    }
    return COLUMNS[nColumn].nWidth;
}

int CTrackListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Rows().size());
}

int CTrackListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant CTrackListModel::data(const QModelIndex& index, int nRole) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    CTrackInfo* pTrack = Rows()[static_cast<std::size_t>(index.row())];
    switch (nRole) {
    case Qt::DisplayRole:
        // Converted here rather than at fill time: only the rows on screen pay for it.
        switch (index.column()) {
        case COL_FILE:
            return ToQString(pTrack->GetFileName());
        case COL_TITLE:
            return ToQString(pTrack->GetTitle());
        case COL_ALBUM:
            return ToQString(pTrack->GetAlbum());
        case COL_LOCATION:
            return ToQString(pTrack->GetLocation());
        case COL_SIZE:
            return ToQString(pTrack->GetSizeText());
        case COL_ARTIST:
            return ToQString(pTrack->GetArtist());
        case COL_DATE:
            return ToQString(pTrack->GetYear());
        case COL_GENRE:
            return ToQString(pTrack->GetGenreName());
        case COL_COMMENT:
            return ToQString(pTrack->GetComment());
        default:
            return {};
        }
    case Qt::DecorationRole:
        return index.column() == COL_FILE ? QVariant(m_iconNote) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()));
    case TrackRole:
        return QVariant::fromValue(pTrack);
    default:
        return {};
    }
}

QVariant CTrackListModel::headerData(int nSection, Qt::Orientation eOrientation, int nRole) const {
    if (eOrientation != Qt::Horizontal || nSection < 0 || nSection >= COLUMN_COUNT) {
        return QAbstractTableModel::headerData(nSection, eOrientation, nRole);
    }
    switch (nRole) {
    case Qt::DisplayRole:
        return m_strTitles[nSection];
    case Qt::TextAlignmentRole:
        // A column's alignment holds for its title too.
        return QVariant::fromValue(ColumnAlignment(nSection));
    default:
        return {};
    }
}

Qt::Alignment CTrackListModel::ColumnAlignment(int nColumn) const {
    const CColumnDef& column = COLUMNS[nColumn];
    // Values other than 0 and 1 are never written by the program; they read as 0.
    const Qt::Alignment eHorizontal =
        column.bFollowsSetting && m_nColumnAlignment == 1 ? Qt::AlignHCenter : column.eOwn;
    return eHorizontal | Qt::AlignVCenter;
}
