// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/tunebrview.h"

#include "catalogue/tracksort.h"
#include "catalogue/tunebrdoc.h"
#include "panes/panehost.h"
#include "panes/selectionstatus.h"
#include "panes/tracklistmodel.h"
#include "panes/viewhints.h"
#include "platform/textconv.h"
#include "platform/threadpost.h"
#include "platform/usersettings.h"
#include "res/strings.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QTableView>

#include <algorithm>
#include <utility>

namespace {

// Beyond these a filter is matched on the worker. Making a text into words, and the words into
// what a row is compared with, takes a while for a long text; testing takes a while for many rows.
constexpr qsizetype QUICK_TEXT_CHARS = 256;
constexpr std::size_t QUICK_ROWS = 20000;
// Beyond this many rows a sort is made on the sort thread: it takes longer than a frame.
constexpr std::size_t QUICK_SORT_ROWS = 50000;
constexpr int HINT_MARGIN = 8;

bool IsQuickFilter(const QString& strText, std::size_t nRows) {
    return strText.size() <= QUICK_TEXT_CHARS && nRows <= QUICK_ROWS;
}

} // namespace

CTunebrView::CTunebrView(CTunebrDoc& doc, CUserSettings& settings, CPaneHost& host,
                         QWidget* pParent)
    : CListViewEx(pParent), m_doc(doc), m_settings(settings), m_host(host),
      m_pModel(new CTrackListModel(this)), m_nSortKey(settings.m_nSortingColumn),
      m_bByGenre(settings.m_nViewType == CUserSettings::VIEW_BY_GENRE) {
    SetModel(m_pModel);

    QHeaderView* pHeader = GetDetailsView()->horizontalHeader();
    // Columns move by their titles; the file column, with the row's icon, stays first.
    pHeader->setSectionsMovable(true);
    pHeader->setFirstSectionMovable(false);
    m_columns = CColumnLayout::FromSettings(settings, DefaultColumns());
    m_columns.ApplyTo(*pHeader);
    // A stored layout is written back as shown, its odd parts mended.
    if (!settings.m_strColumnWidths.empty() || !settings.m_strColumnOrder.empty() ||
        settings.m_strHiddenColumns) {
        m_columns.StoreIn(m_settings);
    }
    // Connected once the layout is applied: only the user's changes are stored.
    connect(pHeader, &QHeaderView::sectionResized, this, &CTunebrView::OnColumnResized);
    connect(pHeader, &QHeaderView::sectionMoved, this, [this] {
        m_columns.TakeOrderFrom(*GetDetailsView()->horizontalHeader());
        m_columns.StoreIn(m_settings);
    });
    pHeader->setContextMenuPolicy(Qt::CustomContextMenu);
    // The point is the header's viewport's, as for any scroll area.
    connect(pHeader, &QWidget::customContextMenuRequested, this, [this](const QPoint& pt) {
        Q_EMIT columnMenuRequested(
            GetDetailsView()->horizontalHeader()->viewport()->mapToGlobal(pt));
    });
    connect(pHeader, &QHeaderView::sectionClicked, this, &CTunebrView::OnColumnClick);
    ShowSortIndicator();

    QItemSelectionModel* pSelection = GetSelectionModel();
    connect(pSelection, &QItemSelectionModel::selectionChanged, this,
            &CTunebrView::OnSelectionChanged);
    connect(pSelection, &QItemSelectionModel::currentChanged, this,
            &CTunebrView::OnSelectionChanged);

    // The result comes back through the event loop: the rows are changed on the window's thread
    // alone, and a result still queued when the view goes is dropped with it.
    m_pFilterWorker =
        std::make_unique<CFilterWorker>([this](std::shared_ptr<CFilterWorker::SResult> pResult) {
            PostToThreadOf(this, [this, pResult] { OnFilterMatched(*pResult); });
        });
    m_pSortThread = std::make_unique<CJobThread<SSortJob, CTrackListModel::SSortedRows>>(
        [](SSortJob& job, const std::atomic<bool>& bStop) {
            return CTrackListModel::SortedRows(*job.pAll, job.shown ? &*job.shown : nullptr,
                                               job.nSortKey, &bStop);
        },
        [this](std::uint64_t nJob, std::shared_ptr<CTrackListModel::SSortedRows> pSorted) {
            PostToThreadOf(this, [this, nJob, pSorted] { OnSorted(nJob, *pSorted); });
        },
        CThreadStarter::Default());

    // Over the rows, letting the pointer through to the views; shown only while there is no row.
    m_pEmptyHint = new QLabel(LoadQString(IDS_EMPTY_LIST_HINT), this);
    m_pEmptyHint->setAlignment(Qt::AlignCenter);
    m_pEmptyHint->setWordWrap(true);
    m_pEmptyHint->setTextFormat(Qt::PlainText);
    m_pEmptyHint->setForegroundRole(QPalette::PlaceholderText);
    m_pEmptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pEmptyHint->hide();

    m_doc.AddView(this);
}

CTunebrView::~CTunebrView() {
    m_pFilterWorker.reset();
    m_pSortThread.reset();
    m_doc.RemoveView(this);
    // The views and their selection outlive this part of the object while the widget base
    // tears them down.
    disconnect(GetSelectionModel(), nullptr, this, nullptr);
}

void CTunebrView::OnInitialUpdate() {
    OnUpdate(nullptr, HINT_OPTIONS_CHANGED, m_doc.GetTracks());
}

void CTunebrView::OnUpdate(CDocView* pSender, EHint eHint, CTrackList* pTracks) {
    (void)pSender;
    TakeUpdate(eHint, pTracks);
    UpdateEmptyHint();
}

// A folder that is missing or holds no file leaves an empty list: it says what to do instead.
// A scan's first files may take a while to come: no hint meanwhile.
void CTunebrView::UpdateEmptyHint() {
    const bool bEmpty =
        m_pTracks != nullptr && m_pModel->GetTotalCount() == 0 && !m_doc.IsScanning();
    if (bEmpty) {
        m_pEmptyHint->setGeometry(rect().adjusted(HINT_MARGIN, 0, -HINT_MARGIN, 0));
        m_pEmptyHint->raise();
    }
    m_pEmptyHint->setVisible(bEmpty);
}

bool CTunebrView::IsEmptyHintShown() const {
    return m_pEmptyHint->isVisibleTo(this);
}

void CTunebrView::resizeEvent(QResizeEvent* pEvent) {
    CListViewEx::resizeEvent(pEvent);
    m_pEmptyHint->setGeometry(rect().adjusted(HINT_MARGIN, 0, -HINT_MARGIN, 0));
}

void CTunebrView::TakeUpdate(EHint eHint, CTrackList* pTracks) {
    if (eHint == HINT_TRACKS_CHANGING) {
        BeginRecordChange();
        return;
    }
    if (eHint == HINT_TRACKS_CHANGED) {
        m_listSize.Forget();
        // The list stays, and its count and size with it: the rows of the records written show
        // their new fields, and so does the description of a selection among them.
        if (pTracks != nullptr && !pTracks->empty()) {
            m_pModel->RefreshTracks(*pTracks);
            if (HasSelection()) {
                OnSelectionChanged();
            }
        }
        EndRecordChange();
        return;
    }
    // Whatever the hint, the list or its records may have changed.
    m_listStatus.reset();
    if (eHint == HINT_REBUILD_BEGIN) {
        // The document is about to delete the records and lists the rows point at, and the
        // window repaints while it scans: the rows go now, not at the next fill. A match on
        // another thread lets go of the records first; the text is matched again on the list
        // the rebuild ends with.
        StopFilterMatch();
        StopSort();
        m_pTracks = nullptr;
        m_pModel->Clear();
        ReportSelectionState();
        m_bAwaitingRebuiltList = true;
        return;
    }
    bool bRefill = false;
    if (pTracks != nullptr) {
        if (!m_bAwaitingRebuiltList && pTracks != m_pTracks && !m_strFilter.isEmpty()) {
            m_strFilter.clear();
            m_strShownFilter.clear();
            m_nAwaitedMatch = 0;
            m_pFilterWorker->Stop();
            m_pModel->SetFilter(CTrackFilter());
            Q_EMIT filterCleared();
        }
        m_bAwaitingRebuiltList = false;
        m_pTracks = pTracks;
        bRefill = true;
    }
    switch (eHint) {
    case HINT_BY_ARTIST:
        m_bByGenre = false;
        break;
    case HINT_BY_GENRE:
        m_bByGenre = true;
        break;
    case HINT_OPTIONS_CHANGED:
        ApplyListOptions();
        bRefill = true;
        break;
    case HINT_TRACKS_ADDED:
        TakeAddedTracks();
        break;
    default:
        break;
    }
    if (bRefill) {
        FillList();
    }
}

// A filter slow to match on the new rows is matched on the worker; no row shows meanwhile, as
// the rows shown before may be gone.
void CTunebrView::FillList() {
    const std::size_t nRows = m_pTracks != nullptr ? m_pTracks->size() : 0;
    const bool bQuick = IsQuickFilter(m_strShownFilter, nRows);
    // Many rows show in the list's own order until their sort comes.
    StopSort();
    const bool bQuickSort = nRows <= QUICK_SORT_ROWS;
    m_pModel->Fill(m_pTracks, bQuickSort ? m_nSortKey : CTrackSort::KEY_NONE, bQuick);
    if (!bQuickSort) {
        SortRows();
    }
    // A reset drops the selection without a signal.
    OnSelectionChanged();
    MatchFilter();
    if (IsFiltered()) {
        ShowStatus();
    }
}

// The rows grow while a scan runs; the selection stays, and so does its description.
void CTunebrView::TakeAddedTracks() {
    // A match under way was given the rows as they were: it is begun again on them all.
    const bool bAwaitingMatch = m_nAwaitedMatch != 0;
    m_pModel->TakeAdded();
    if (bAwaitingMatch) {
        MatchFilter();
    }
    if (!HasSelection()) {
        OnSelectionChanged();
    }
    if (IsFiltered()) {
        ShowStatus();
    }
}

void CTunebrView::SetFilterText(const QString& strText) {
    if (strText == m_strFilter) {
        return;
    }
    m_strFilter = strText;
    MatchFilter();
}

// Brings the rows shown to m_strFilter: at once while that is quick, otherwise through the
// worker. Either way an older match still running is of no use any more.
void CTunebrView::MatchFilter() {
    if (m_nAwaitedMatch != 0) {
        m_pFilterWorker->Stop();
        m_nAwaitedMatch = 0;
    }
    m_bMatchDeferred = false;
    if (m_pModel->IsMatched() && m_strShownFilter == m_strFilter) {
        return;
    }
    if (m_nRecordChanges > 0) {
        m_bMatchDeferred = true;
        return;
    }
    CFilterWorker::SJob job;
    if (m_strFilter.size() > QUICK_TEXT_CHARS) {
        job.strText = m_strFilter;
        job.arrRows = m_pModel->GetAllRows();
    } else {
        CTrackFilter filter(m_strFilter);
        if (m_pModel->IsMatched() && filter == m_pModel->GetFilter()) {
            m_strShownFilter = m_strFilter; // a space typed or taken off: the same words
            return;
        }
        const CTrackList* pRows = m_pModel->RowsToTest(filter);
        if (pRows == nullptr || IsQuickFilter(m_strFilter, pRows->size())) {
            CTrackList arrPassed = pRows != nullptr ? filter.Apply(*pRows) : CTrackList();
            ShowFiltered(std::move(filter), std::move(arrPassed));
            return;
        }
        job.filter = std::move(filter);
        job.arrRows = *pRows;
    }
    m_nAwaitedRowsVersion = m_pModel->GetRowsVersion();
    m_nAwaitedMatch = m_pFilterWorker->Post(std::move(job));
}

void CTunebrView::OnFilterMatched(CFilterWorker::SResult& result) {
    if (result.nJob != m_nAwaitedMatch) {
        return; // of a text since replaced, or of rows since gone
    }
    m_nAwaitedMatch = 0;
    if (m_pModel->GetRowsVersion() != m_nAwaitedRowsVersion) {
        MatchFilter(); // rows came, went or moved meanwhile
        return;
    }
    ShowFiltered(std::move(result.filter), std::move(result.arrPassed));
}

void CTunebrView::ShowFiltered(CTrackFilter filter, CTrackList arrPassed) {
    m_pModel->AdoptFilter(std::move(filter), std::move(arrPassed));
    m_strShownFilter = m_strFilter;
    OnSelectionChanged();
    ShowStatus();
}

// Whatever the worker was given is dropped; it has let go of the records on return.
void CTunebrView::StopFilterMatch() {
    m_pFilterWorker->StopAndWait();
    m_nAwaitedMatch = 0;
}

void CTunebrView::BeginRecordChange() {
    if (m_nRecordChanges++ == 0) {
        m_bMatchDeferred = m_nAwaitedMatch != 0;
        StopFilterMatch();
        m_bSortDeferred = m_bSortDeferred || m_nAwaitedSort != 0;
        StopSort();
    }
}

void CTunebrView::EndRecordChange() {
    if (--m_nRecordChanges != 0) {
        return;
    }
    if (m_bMatchDeferred) {
        MatchFilter();
    }
    if (m_bSortDeferred) {
        SortRows();
    }
}

void CTunebrView::SortRows() {
    StopSort();
    m_bSortDeferred = false;
    if (!CTrackSort::IsOrderingKey(m_nSortKey) ||
        static_cast<std::size_t>(m_pModel->GetTotalCount()) <= QUICK_SORT_ROWS) {
        m_pModel->Sort(m_nSortKey);
        return;
    }
    if (m_nRecordChanges > 0) {
        m_bSortDeferred = true;
        return;
    }
    SSortJob job;
    job.nSortKey = m_nSortKey;
    job.pAll = m_pModel->ShareAllRows();
    if (m_pModel->IsFiltered()) {
        job.shown = m_pModel->GetShownRows();
    }
    m_nAwaitedSortRowsVersion = m_pModel->GetRowsVersion();
    m_nAwaitedSort = m_pSortThread->Post(std::move(job));
    if (m_nAwaitedSort != 0) {
        GetDetailsView()->viewport()->setCursor(Qt::BusyCursor);
    }
}

void CTunebrView::OnSorted(std::uint64_t nJob, CTrackListModel::SSortedRows& sorted) {
    if (nJob != m_nAwaitedSort) {
        return; // of a key since replaced, or of rows since gone
    }
    StopSort();
    if (m_pModel->GetRowsVersion() != m_nAwaitedSortRowsVersion) {
        SortRows(); // rows came, went or moved meanwhile
        return;
    }
    m_pModel->AdoptSorted(m_nSortKey, std::move(sorted));
}

// Whatever the sort thread was given is dropped; it has let go of the records on return.
void CTunebrView::StopSort() {
    if (m_nAwaitedSort == 0) {
        return;
    }
    m_pSortThread->StopAndWait();
    m_nAwaitedSort = 0;
    GetDetailsView()->viewport()->unsetCursor();
}

bool CTunebrView::IsFiltered() const {
    return m_pModel->IsFiltered();
}

QString CTunebrView::GetFilterCountText() const {
    if (!IsFiltered()) {
        return {};
    }
    return ToQString(FormatString(IDS_FILTER_COUNT, FormatCount(m_pModel->rowCount()),
                                  FormatCount(m_pModel->GetTotalCount())));
}

SStatusTexts CTunebrView::GetStatusTexts() const {
    SStatusTexts texts;
    texts.strDescription = QStringLiteral("");
    if (m_pTracks == nullptr) {
        return texts; // between a rebuild's begin and end there is no list to describe
    }
    const CTrackList arrSelected = GetSelectedTracks();
    const bool bFiltered = IsFiltered();
    // The rows shown change with every key typed in the filter box, and with every batch of a
    // scan: the description of a list without selection is kept for the rows it was made of.
    const std::pair<unsigned, bool> shownRows(m_pModel->GetRowSetVersion(), bFiltered);
    if (arrSelected.empty() && (!m_listStatus || m_listStatusRows != shownRows)) {
        const auto nTotal = static_cast<std::size_t>(m_pModel->GetTotalCount());
        // Unfiltered, the rows are the list's first records in some order.
        m_listStatus =
            bFiltered
                ? CSelectionStatus::DescribeList(m_pModel->GetShownRows(), nTotal, bFiltered, {})
                : CSelectionStatus::DescribeShown(nTotal, m_listSize.Of(*m_pTracks, nTotal));
        m_listStatusRows = shownRows;
    }
    const CSelectionStatus status =
        arrSelected.empty() ? *m_listStatus
                            : CSelectionStatus::DescribeList({}, 0, bFiltered, arrSelected);
    texts.strDescription = ToQString(status.m_strDescription);
    texts.strCount = ToQString(status.m_strCount);
    texts.strSize = ToQString(status.m_strSize);
    return texts;
}

// The description, count and size panes: whatever changed, the selection, the rows shown or the
// filter, they are made again from what the list shows and selects now.
void CTunebrView::ShowStatus() {
    m_host.SetStatusTexts(GetStatusTexts());
}

void CTunebrView::OnColumnClick(int nColumn) {
    const int nKey = CTrackListModel::ColumnSortKey(nColumn);
    if (nKey == CTrackSort::KEY_NONE) {
        return;
    }
    if (m_nSortKey == nKey || m_nSortKey == -nKey) {
        m_nSortKey = -m_nSortKey;
    } else {
        m_nSortKey = nKey;
    }
    SortRows();
    m_settings.m_nSortingColumn = m_nSortKey;
    ShowSortIndicator();
}

CTrackList CTunebrView::GetSelectedTracks() const {
    std::vector<int> arrRows;
    for (const QItemSelectionRange& range : GetSelectionModel()->selection()) {
        for (int nRow = range.top(); nRow <= range.bottom(); ++nRow) {
            arrRows.push_back(nRow);
        }
    }
    std::sort(arrRows.begin(), arrRows.end());
    arrRows.erase(std::unique(arrRows.begin(), arrRows.end()), arrRows.end());

    CTrackList arrTracks;
    arrTracks.reserve(arrRows.size());
    for (const int nRow : arrRows) {
        if (CTrackInfo* pTrack = m_pModel->GetTrack(nRow)) {
            arrTracks.push_back(pTrack);
        }
    }
    return arrTracks;
}

bool CTunebrView::HasSelection() const {
    return GetSelectionModel()->hasSelection();
}

bool CTunebrView::OnViewKeyPress(QKeyEvent* pEvent) {
    const bool bTab = pEvent->key() == Qt::Key_Tab || pEvent->key() == Qt::Key_Backtab;
    if (bTab && !(pEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        m_host.SwitchPane();
        return true;
    }
    // Ctrl+Enter never gets here: it is the Properties shortcut of the window.
    const bool bEnter = pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter;
    if (bEnter && !(pEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        Q_EMIT doubleClickActionRequested();
        return false;
    }
    return CListViewEx::OnViewKeyPress(pEvent);
}

// The widths at the list's font, each wide enough for its title with a sort arrow beside it.
CColumnLayout CTunebrView::DefaultColumns() const {
    QHeaderView* pHeader = GetDetailsView()->horizontalHeader();
    const bool bIndicator = pHeader->isSortIndicatorShown();
    pHeader->setSortIndicatorShown(true);
    std::vector<int> arrTitleWidths;
    for (int nColumn = 0; nColumn < CTrackListModel::COLUMN_COUNT; ++nColumn) {
        arrTitleWidths.push_back(pHeader->sectionSizeHint(nColumn));
    }
    pHeader->setSortIndicatorShown(bIndicator);
    return CColumnLayout::Defaults(GetDetailsView()->fontMetrics(), arrTitleWidths);
}

void CTunebrView::OnColumnResized(int nColumn, int nOldWidth, int nNewWidth) {
    (void)nOldWidth;
    // Hiding a column makes it 0 wide; it comes back as wide as it was.
    if (nNewWidth <= 0 || nColumn < 0 || nColumn >= CTrackListModel::COLUMN_COUNT) {
        return;
    }
    m_columns.m_arrWidths[static_cast<std::size_t>(nColumn)] = nNewWidth;
    m_columns.StoreIn(m_settings);
}

void CTunebrView::SetColumnShown(int nColumn, bool bShown) {
    if (nColumn <= 0 || nColumn >= CTrackListModel::COLUMN_COUNT) {
        return; // the file column stays
    }
    m_columns.m_arrHidden[static_cast<std::size_t>(nColumn)] = !bShown;
    GetDetailsView()->horizontalHeader()->setSectionHidden(nColumn, !bShown);
    m_columns.StoreIn(m_settings);
}

void CTunebrView::FillColumnMenu(QMenu& menu) {
    for (int nColumn = 0; nColumn < CTrackListModel::COLUMN_COUNT; ++nColumn) {
        QAction* pAction = menu.addAction(m_pModel->headerData(nColumn, Qt::Horizontal).toString());
        pAction->setCheckable(true);
        pAction->setChecked(!m_columns.m_arrHidden[static_cast<std::size_t>(nColumn)]);
        pAction->setEnabled(nColumn != CTrackListModel::COL_FILE);
        connect(pAction, &QAction::toggled, this,
                [this, nColumn](bool bChecked) { SetColumnShown(nColumn, bChecked); });
    }
}

void CTunebrView::ApplyListOptions() {
    SetFullRowSelect(m_settings.m_bFullRowSelection != 0);
    m_pModel->SetColumnAlignment(m_settings.m_nColumnAlignment);
}

void CTunebrView::ShowSortIndicator() {
    QHeaderView* pHeader = GetDetailsView()->horizontalHeader();
    const int nColumn = CTrackListModel::SortKeyColumn(m_nSortKey);
    if (nColumn < 0) {
        pHeader->setSortIndicatorShown(false);
        return;
    }
    // The arrow shows the order on screen: a positive size key puts the largest file first.
    const bool bAscendingKey = m_nSortKey > 0;
    const bool bAscending = nColumn == CTrackListModel::COL_SIZE ? !bAscendingKey : bAscendingKey;
    pHeader->setSortIndicator(nColumn, bAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    pHeader->setSortIndicatorShown(true);
}

void CTunebrView::OnSelectionChanged() {
    ShowStatus();
    ReportSelectionState();
}

void CTunebrView::ReportSelectionState() {
    const bool bHasSelection = HasSelection();
    if (bHasSelection != m_bHadSelection) {
        m_bHadSelection = bHasSelection;
        Q_EMIT selectionStateChanged(bHasSelection);
    }
}
