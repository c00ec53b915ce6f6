// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/tracklistmodel.h"

#include "catalogue/tracksort.h"
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
#include <unordered_set>
#include <utility>

namespace {

// One line per column, in display order. The widths are pixels at the font the list was laid
// out for; the view scales them to the font it has.
struct CColumnDef {
    unsigned nTitleId;
    int nWidth;
    int nSortKey;
    bool bFollowsSetting; // centred when "ColumnAlignment" is 1
    Qt::Alignment eOwn;   // otherwise
    bool bHidden;         // until the user shows it
};

constexpr CColumnDef COLUMNS[CTrackListModel::COLUMN_COUNT] = {
    {IDS_COL_FILE, 150, CTrackSort::KEY_FILE, false, Qt::AlignLeft, false},
    {IDS_COL_TITLE, 100, CTrackSort::KEY_TITLE, true, Qt::AlignLeft, false},
    {IDS_COL_ALBUM, 100, CTrackSort::KEY_ALBUM, true, Qt::AlignLeft, false},
    {IDS_COL_LOCATION, 150, CTrackSort::KEY_LOCATION, true, Qt::AlignLeft, false},
    {IDS_COL_SIZE, 65, CTrackSort::KEY_SIZE, false, Qt::AlignHCenter, false},
    {IDS_COL_ARTIST, 100, CTrackSort::KEY_ARTIST, true, Qt::AlignLeft, false},
    {IDS_COL_DATE, 50, CTrackSort::KEY_DATE, true, Qt::AlignLeft, false},
    {IDS_COL_GENRE, 100, CTrackSort::KEY_GENRE, true, Qt::AlignLeft, false},
    {IDS_COL_COMMENT, 150, CTrackSort::KEY_COMMENT, false, Qt::AlignLeft, false},
    {IDS_COL_TRACK, 40, CTrackSort::KEY_TRACK, false, Qt::AlignRight, true},
};

CTrackList Reordered(const CTrackList& arrRows, const std::vector<std::uint32_t>& arrOrder) {
    CTrackList arrSorted;
    arrSorted.reserve(arrOrder.size());
    for (const std::uint32_t nRow : arrOrder) {
        arrSorted.push_back(arrRows[nRow]);
    }
    return arrSorted;
}

// A cell is one line of text: a line break or a TAB in a field shows as a sign of its own, so that
// every row keeps one height and a text is measured as drawn, not by tab stops.
QString OneLine(const QString& strText) {
    static const QChar RETURN_SIGN(0x23CE);
    static const QChar TAB_SIGN(0x2192);
    const auto IsBreak = [](QChar ch) {
        return ch == u'\n' || ch == u'\r' || ch == u'\v' || ch == u'\f' || ch == QChar(0x85) ||
               ch == QChar(QChar::LineSeparator) || ch == QChar(QChar::ParagraphSeparator);
    };
    const auto itFirst = std::find_if(strText.begin(), strText.end(),
                                      [&](QChar ch) { return ch == u'\t' || IsBreak(ch); });
    if (itFirst == strText.end()) {
        return strText;
    }
    QString strLine;
    strLine.reserve(strText.size());
    for (qsizetype nAt = 0; nAt < strText.size(); ++nAt) {
        const QChar ch = strText[nAt];
        if (ch == u'\t') {
            strLine += TAB_SIGN;
        } else if (IsBreak(ch)) {
            strLine += RETURN_SIGN;
            // CR LF is one break.
            if (ch == u'\r' && nAt + 1 < strText.size() && strText[nAt + 1] == u'\n') {
                ++nAt;
            }
        } else {
            strLine += ch;
        }
    }
    return strLine;
}

} // namespace

CTrackListModel::CTrackListModel(QObject* pParent)
    : QAbstractTableModel(pParent), m_iconNote(LoadIcon(EIcon::Note)) {
    for (int nColumn = 0; nColumn < COLUMN_COUNT; ++nColumn) {
        m_strTitles[nColumn] = LoadQString(COLUMNS[nColumn].nTitleId);
    }
    // Every change of the rows is announced: counting the announcements misses none.
    const auto countChange = [this] { ++m_nRowsVersion; };
    connect(this, &QAbstractItemModel::modelReset, this, countChange);
    connect(this, &QAbstractItemModel::layoutChanged, this, countChange);
    connect(this, &QAbstractItemModel::rowsInserted, this, countChange);
    connect(this, &QAbstractItemModel::rowsRemoved, this, countChange);
    connect(this, &QAbstractItemModel::rowsMoved, this, countChange);
    // A layout changes with the rows themselves where it is not a sort: see InsertShown and
    // AdoptFilter.
    const auto countSetChange = [this] { ++m_nRowSetVersion; };
    connect(this, &QAbstractItemModel::modelReset, this, countSetChange);
    connect(this, &QAbstractItemModel::rowsInserted, this, countSetChange);
    connect(this, &QAbstractItemModel::rowsRemoved, this, countSetChange);
}

CTrackListModel::~CTrackListModel() = default;

void CTrackListModel::Fill(const CTrackList* pTracks, int nSortKey, bool bMatch) {
    beginResetModel();
    m_pSource = pTracks;
    m_nTaken = pTracks != nullptr ? pTracks->size() : 0;
    m_nSortKey = nSortKey;
    CTrackList& arrAll = EmptiedAll();
    if (pTracks != nullptr) {
        if (CTrackSort::IsOrderingKey(nSortKey)) {
            arrAll = Reordered(*pTracks, CTrackSort::SortedOrder(*pTracks, nSortKey));
        } else {
            arrAll.assign(pTracks->begin(), pTracks->end());
        }
    }
    // The memory of a much longer list goes.
    if (arrAll.capacity() / 2 > arrAll.size() + KEPT_SPARE_ROWS) {
        arrAll.shrink_to_fit();
    }
    m_arrShown = IsFiltered() && bMatch ? m_filter.Apply(arrAll) : CTrackList();
    m_bMatched = bMatch || !IsFiltered();
    m_arrSteps.clear();
    endResetModel();
}

std::shared_ptr<const CTrackList> CTrackListModel::ShareAllRows() {
    m_bAllShared = true;
    return m_pAll;
}

CTrackList& CTrackListModel::MutableAll() {
    if (m_bAllShared) {
        m_pAll = std::make_shared<CTrackList>(*m_pAll);
        m_bAllShared = false;
    }
    return *m_pAll;
}

CTrackList& CTrackListModel::EmptiedAll() {
    if (m_bAllShared) {
        m_pAll = std::make_shared<CTrackList>();
        m_bAllShared = false;
    }
    m_pAll->clear();
    return *m_pAll;
}

void CTrackListModel::Clear() {
    beginResetModel();
    m_pSource = nullptr;
    m_nTaken = 0;
    EmptiedAll();
    m_arrShown.clear();
    m_arrShown.shrink_to_fit();
    m_arrSteps.clear();
    m_bMatched = true;
    endResetModel();
}

void CTrackListModel::Sort(int nSortKey) {
    if (!CTrackSort::IsOrderingKey(nSortKey) || m_pAll->size() < 2) {
        m_nSortKey = nSortKey;
        return;
    }
    AdoptSorted(nSortKey,
                std::move(*SortedRows(*m_pAll, IsFiltered() ? &m_arrShown : nullptr, nSortKey)));
}

// Everything that takes time is done here, on the thread that sorts: at a million rows, even
// putting the rows in their new places means a million reads scattered over memory.
std::shared_ptr<CTrackListModel::SSortedRows>
CTrackListModel::SortedRows(const CTrackList& arrAll, const CTrackList* pShown, int nSortKey,
                            const std::atomic<bool>* pStop) {
    const auto IsStopped = [pStop] { return pStop != nullptr && pStop->load(); };
    const std::vector<std::uint32_t> arrAllOrder = CTrackSort::SortedOrder(arrAll, nSortKey, pStop);
    // A stable sort of the filtered rows gives them in the order of the whole list sorted.
    const std::vector<std::uint32_t> arrShownOrder =
        pShown != nullptr && !IsStopped() ? CTrackSort::SortedOrder(*pShown, nSortKey, pStop)
                                          : std::vector<std::uint32_t>();
    if (IsStopped()) {
        return nullptr;
    }
    auto pSorted = std::make_shared<SSortedRows>();
    pSorted->arrAll = Reordered(arrAll, arrAllOrder);
    if (pShown != nullptr) {
        pSorted->arrShown = Reordered(*pShown, arrShownOrder);
    }
    const std::vector<std::uint32_t>& arrOrder = pShown != nullptr ? arrShownOrder : arrAllOrder;
    pSorted->arrNewRow.resize(arrOrder.size());
    for (std::size_t nNew = 0; nNew < arrOrder.size(); ++nNew) {
        pSorted->arrNewRow[arrOrder[nNew]] = static_cast<int>(nNew);
    }
    return pSorted;
}

void CTrackListModel::AdoptSorted(int nSortKey, SSortedRows sorted) {
    if (sorted.arrAll.size() != m_pAll->size() ||
        (IsFiltered() && sorted.arrShown.size() != m_arrShown.size())) {
        return; // rows sorted from other rows
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_nSortKey = nSortKey;
    EmptiedAll() = std::move(sorted.arrAll);
    if (IsFiltered()) {
        m_arrShown = std::move(sorted.arrShown);
        m_arrSteps.clear();
    }
    // The selection and the current row are persistent indexes: they follow their records.
    const QModelIndexList arrFrom = persistentIndexList();
    QModelIndexList arrTo;
    arrTo.reserve(arrFrom.size());
    for (const QModelIndex& index : arrFrom) {
        arrTo.append(
            createIndex(sorted.arrNewRow[static_cast<std::size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(arrFrom, arrTo);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CTrackListModel::TakeAdded() {
    if (m_pSource == nullptr || m_pSource->size() <= m_nTaken) {
        return;
    }
    CTrackList arrNew(m_pSource->begin() + static_cast<std::ptrdiff_t>(m_nTaken), m_pSource->end());
    m_nTaken = m_pSource->size();
    // The narrowing steps hold rows of the list as it was.
    m_arrSteps.clear();
    if (CTrackSort::IsOrderingKey(m_nSortKey)) {
        arrNew = Reordered(arrNew, CTrackSort::SortedOrder(arrNew, m_nSortKey));
    }
    if (!IsFiltered()) {
        InsertShown(arrNew);
        return;
    }
    (void)MergeSorted(MutableAll(), arrNew);
    // Rows matched elsewhere come with AdoptFilter, from the whole list.
    if (m_bMatched) {
        InsertShown(m_filter.Apply(arrNew));
    }
}

// Rows added below the last one are an insertion the views take cheaply and that keeps what is
// on screen; rows put between others move the rows after them.
void CTrackListModel::InsertShown(const CTrackList& arrNew) {
    if (arrNew.empty()) {
        return;
    }
    CTrackList& arrRows = IsFiltered() ? m_arrShown : MutableAll();
    const std::size_t nOld = arrRows.size();
    const bool bAtEnd = !CTrackSort::IsOrderingKey(m_nSortKey) || nOld == 0 ||
                        CTrackSort::CompareTracks(arrNew.front(), arrRows.back(), m_nSortKey) >= 0;
    if (bAtEnd) {
        beginInsertRows({}, static_cast<int>(nOld), static_cast<int>(nOld + arrNew.size() - 1));
        arrRows.insert(arrRows.end(), arrNew.begin(), arrNew.end());
        endInsertRows();
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<std::size_t> arrPlaces = MergeSorted(arrRows, arrNew);
    // An old row moves down by the number of new rows put before it.
    std::vector<int> arrNewRow(nOld);
    std::size_t nBefore = 0;
    for (std::size_t nRow = 0; nRow < nOld; ++nRow) {
        while (nBefore < arrPlaces.size() && arrPlaces[nBefore] <= nRow + nBefore) {
            ++nBefore;
        }
        arrNewRow[nRow] = static_cast<int>(nRow + nBefore);
    }
    const QModelIndexList arrFrom = persistentIndexList();
    QModelIndexList arrTo;
    arrTo.reserve(arrFrom.size());
    for (const QModelIndex& index : arrFrom) {
        arrTo.append(createIndex(arrNewRow[static_cast<std::size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(arrFrom, arrTo);
    ++m_nRowSetVersion;
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// Each new record goes after the rows it compares equal to, as a stable sort of the whole list
// would put it: it came later. A binary search per new record, then one pass that moves runs.
std::vector<std::size_t> CTrackListModel::MergeSorted(CTrackList& arrRows,
                                                      const CTrackList& arrNew) const {
    std::vector<std::size_t> arrPlaces;
    arrPlaces.reserve(arrNew.size());
    const bool bOrdered = CTrackSort::IsOrderingKey(m_nSortKey);
    CTrackList arrMerged;
    arrMerged.reserve(arrRows.size() + arrNew.size());
    auto itFrom = arrRows.begin();
    for (CTrackInfo* pNew : arrNew) {
        const auto itAfter =
            bOrdered ? std::upper_bound(itFrom, arrRows.end(), pNew,
                                        [this](const CTrackInfo* pValue, const CTrackInfo* pRow) {
                                            return CTrackSort::CompareTracks(pValue, pRow,
                                                                             m_nSortKey) < 0;
                                        })
                     : arrRows.end();
        arrMerged.insert(arrMerged.end(), itFrom, itAfter);
        itFrom = itAfter;
        arrPlaces.push_back(arrMerged.size());
        arrMerged.push_back(pNew);
    }
    arrMerged.insert(arrMerged.end(), itFrom, arrRows.end());
    arrRows = std::move(arrMerged);
    return arrPlaces;
}

void CTrackListModel::RefreshTracks(const CTrackList& arrChanged) {
    if (arrChanged.empty()) {
        return;
    }
    const std::unordered_set<const CTrackInfo*> setChanged(arrChanged.begin(), arrChanged.end());
    const CTrackList& arrRows = Rows();
    std::size_t nFirst = arrRows.size();
    std::size_t nLast = 0;
    for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
        if (setChanged.count(arrRows[nRow]) != 0) {
            nFirst = std::min(nFirst, nRow);
            nLast = nRow;
        }
    }
    // One range: the views repaint only what of it is on screen.
    if (nFirst <= nLast) {
        Q_EMIT dataChanged(index(static_cast<int>(nFirst), 0),
                           index(static_cast<int>(nLast), COLUMN_COUNT - 1));
    }
}

void CTrackListModel::SetFilter(CTrackFilter filter) {
    if (filter == m_filter && m_bMatched) {
        return; // a space typed or taken off: the same words
    }
    const CTrackList* pRows = RowsToTest(filter);
    CTrackList arrPassed = pRows != nullptr ? filter.Apply(*pRows) : CTrackList();
    AdoptFilter(std::move(filter), std::move(arrPassed));
}

// A longer text lets fewer rows through: only the rows shown need testing, and they are kept for
// when the text is taken back.
const CTrackList* CTrackListModel::RowsToTest(const CTrackFilter& filter) const {
    if (filter.IsEmpty()) {
        return nullptr;
    }
    if (!m_bMatched) {
        return m_pAll.get();
    }
    if (IsFiltered() && filter.Narrows(m_filter)) {
        return &m_arrShown;
    }
    for (auto it = m_arrSteps.rbegin(); it != m_arrSteps.rend(); ++it) {
        if (filter.Narrows(it->m_filter)) {
            return it->m_filter == filter ? nullptr : &it->m_arrRows;
        }
    }
    return m_pAll.get();
}

void CTrackListModel::AdoptFilter(CTrackFilter filter, CTrackList arrPassed) {
    Q_EMIT layoutAboutToBeChanged();
    const bool bWasFiltered = IsFiltered();
    const CTrackList arrOldShown = std::move(m_arrShown);
    const CTrackList& arrOld = bWasFiltered ? arrOldShown : *m_pAll;
    // Rows filled unmatched, or matched again for the same words, make no step.
    if (m_bMatched && bWasFiltered && !(filter == m_filter) && filter.Narrows(m_filter)) {
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
        m_arrShown = std::move(arrPassed);
    }
    m_filter = std::move(filter);
    m_bMatched = true;
    MovePersistentIndexes(arrOld);
    ++m_nRowSetVersion;
    Q_EMIT layoutChanged();
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
    for (const CTrackInfo* pTrack : *m_pAll) {
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
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, COLUMN_COUNT - 1);
    if (!Rows().empty()) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, COLUMN_COUNT - 1),
                           {Qt::TextAlignmentRole});
    }
}

CTrackInfo* CTrackListModel::GetTrack(int nRow) const {
    if (nRow < 0 || static_cast<std::size_t>(nRow) >= Rows().size()) {
        return nullptr;
    }
    return Rows()[static_cast<std::size_t>(nRow)];
}

int CTrackListModel::ColumnSortKey(int nColumn) {
    if (nColumn < 0 || nColumn >= COLUMN_COUNT) {
        return CTrackSort::KEY_NONE;
    }
    return COLUMNS[nColumn].nSortKey;
}

int CTrackListModel::SortKeyColumn(int nSortKey) {
    if (!CTrackSort::IsOrderingKey(nSortKey)) {
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

bool CTrackListModel::IsHiddenByDefault(int nColumn) {
    return nColumn >= 0 && nColumn < COLUMN_COUNT && COLUMNS[nColumn].bHidden;
}

QString CTrackListModel::WidestValue(int nColumn) {
    switch (nColumn) {
    case COL_SIZE:
        return ToQString(FormatSize(9999900000LL));
    case COL_DATE:
        return QStringLiteral("8888");
    case COL_TRACK:
        return QStringLiteral("888");
    default:
        return {};
    }
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
        return OneLine(CellText(*pTrack, index.column()));
    case Qt::DecorationRole:
        return index.column() == COL_FILE ? QVariant(m_iconNote) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()));
    case ELIDE_MODE_ROLE:
        // A path tells files apart by its last folders as much as by its first.
        return static_cast<int>(index.column() == COL_LOCATION ? Qt::ElideMiddle : Qt::ElideRight);
    case TrackRole:
        return QVariant::fromValue(pTrack);
    default:
        return {};
    }
}

// Converted when asked rather than at fill time: only the rows on screen pay for it.
QString CTrackListModel::CellText(const CTrackInfo& track, int nColumn) {
    switch (nColumn) {
    case COL_FILE:
        return ToQString(track.GetFileName());
    case COL_TITLE:
        return ToQString(track.GetTitle());
    case COL_ALBUM:
        return ToQString(track.GetAlbum());
    case COL_LOCATION:
        return ToQString(track.GetLocation());
    case COL_SIZE:
        return ToQString(track.GetSizeText());
    case COL_ARTIST:
        return ToQString(track.GetArtist());
    case COL_DATE:
        return ToQString(track.GetYear());
    case COL_GENRE:
        return ToQString(track.GetGenreName());
    case COL_COMMENT:
        return ToQString(track.GetComment());
    case COL_TRACK:
        return track.GetTrack() != 0 ? QString::number(track.GetTrack()) : QString();
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
