// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/listviewex.h"

#include "panes/fullrowdelegate.h"
#include "panes/itemroles.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStyleOptionFocusRect>
#include <QTableView>

#include <algorithm>

namespace {

constexpr int LARGE_ICON_SIZE = 32;
constexpr int SMALL_ICON_SIZE = 16;
// Cells of the icon styles. Fixed sizes keep a list of many thousand rows quick to lay out.
constexpr int LARGE_CELL_WIDTH = 100;
constexpr int LARGE_CELL_HEIGHT = 72;
constexpr int SMALL_ICON_CELL_WIDTH = 180;
constexpr int LIST_CELL_WIDTH = 220;

// Tells assistive tools about the row of index in the view, by its first cell: Qt's list view
// names the wrong cell of a model with several columns.
void ReportRow(QAbstractItemView* pView, QAccessible::Event eType, const QModelIndex& index) {
    if (!QAccessible::isActive() || !index.isValid()) {
        return;
    }
    QAccessibleInterface* pList = QAccessible::queryAccessibleInterface(pView);
    QAccessibleTableInterface* pTable = pList != nullptr ? pList->tableInterface() : nullptr;
    QAccessibleInterface* pCell = pTable != nullptr ? pTable->cellAt(index.row(), 0) : nullptr;
    if (pCell == nullptr) {
        return;
    }
    QAccessibleEvent event(pView, eType);
    event.setChild(pList->indexOfChild(pCell));
    QAccessible::updateAccessibility(&event);
}

void ReportSelection(QAbstractItemView* pView, const QItemSelection& selected,
                     const QItemSelection& deselected) {
    ReportRow(pView, QAccessible::SelectionAdd, selected.indexes().value(0));
    ReportRow(pView, QAccessible::SelectionRemove, deselected.indexes().value(0));
}

} // namespace

// Both views follow the one selection model, but a screen reader must hear of changes from the
// view on screen only, else it reads the hidden view's last word. Qt's own reports are skipped by
// calling QAbstractItemView's handlers directly.
class CListViewEx::CIconView final : public QListView {
public:
    explicit CIconView(QWidget* pParent) : QListView(pParent) {}

    bool m_bReports = false;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QAbstractItemView::currentChanged(current, previous);
        if (m_bReports) {
            ReportRow(this, QAccessible::Focus, current);
        }
    }
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override {
        if (m_bReports) {
            ReportSelection(this, selected, deselected);
        }
        QAbstractItemView::selectionChanged(selected, deselected);
    }
};

// Qt's own drawing, for the details view without full-row drawing: only the first column's
// label shows the selection and the focus, as an ordinary list does.
class CListViewEx::CFirstColumnDelegate final : public QStyledItemDelegate {
public:
    explicit CFirstColumnDelegate(QObject* pParent) : QStyledItemDelegate(pParent) {}

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cellOption = option;
        cellOption.state &= ~QStyle::State_HasFocus;
        const auto* pView = qobject_cast<const QAbstractItemView*>(option.widget);
        if (index.column() != 0) {
            cellOption.state &= ~QStyle::State_Selected;
            // The view may have drawn the row's highlight under every cell already.
            pPainter->fillRect(option.rect, option.palette.brush(QPalette::Base));
        } else if (pView != nullptr && pView->hasFocus() &&
                   pView->currentIndex().row() == index.row()) {
            cellOption.state |= QStyle::State_HasFocus;
        }
        QStyledItemDelegate::paint(pPainter, cellOption, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* pOption, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(pOption, index);
        CFullRowDelegate::TakeElideMode(pOption, index);
    }
};

// The details view. A table rather than a tree: Qt's tree view lays out every row again when rows
// are added, sorted or reset, tens of milliseconds at a million rows, where a table of rows of one
// height only counts them. Its cells are drawn by the delegates; the view adds what lies right of
// the last column and the focus frame, so that a selected row reads as one band up to the right
// edge.
class CListViewEx::CDetailsView final : public QTableView {
public:
    explicit CDetailsView(QWidget* pParent)
        : QTableView(pParent), m_pHeaderSelection(new QItemSelectionModel(nullptr, this)) {
        verticalHeader()->hide();
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setMinimumSectionSize(1);
        for (QHeaderView* pHeader : {horizontalHeader(), verticalHeader()}) {
            pHeader->setHighlightSections(false);
        }
        horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setShowGrid(false);
        setWordWrap(false);
        setCornerButtonEnabled(false);
        setTabKeyNavigation(false); // Tab leaves the list, as from any list
        UpdateRowHeight();
    }

    bool m_bFullRow = true;
    bool m_bReports = true;

    // The headers look at a selection of their own, always empty: Qt's header asks, for every
    // column it paints, whether all rows are selected, a walk over every row of a big list.
    void setSelectionModel(QItemSelectionModel* pSelection) override {
        QTableView::setSelectionModel(pSelection);
        if (m_pHeaderSelection->model() != model()) {
            m_pHeaderSelection->setModel(model());
        }
        horizontalHeader()->setSelectionModel(m_pHeaderSelection);
        verticalHeader()->setSelectionModel(m_pHeaderSelection);
    }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QAbstractItemView::currentChanged(current, previous);
        // The focus frame spans the row.
        for (const QModelIndex& index : {previous, current}) {
            if (index.isValid()) {
                viewport()->update(RowRect(index.row()));
            }
        }
        if (m_bReports) {
            ReportRow(this, QAccessible::Focus, current);
        }
    }
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override {
        QAbstractItemView::selectionChanged(selected, deselected);
        if (m_bReports) {
            ReportSelection(this, selected, deselected);
        }
    }

    // Keys move between rows, as in any list: Home and End to the first and last, Left and Right
    // scroll the columns.
    QModelIndex moveCursor(CursorAction eAction, Qt::KeyboardModifiers modifiers) override {
        switch (eAction) {
        case MoveHome:
        case MoveEnd:
            return QTableView::moveCursor(eAction, modifiers | Qt::ControlModifier);
        case MoveLeft:
        case MoveRight: {
            QScrollBar* pBar = horizontalScrollBar();
            pBar->setValue(pBar->value() +
                           (eAction == MoveRight ? pBar->singleStep() : -pBar->singleStep()));
            return currentIndex();
        }
        default:
            return QTableView::moveCursor(eAction, modifiers);
        }
    }

    // Typing a name finds it in the first column, whichever cell was clicked last.
    void keyboardSearch(const QString& strSearch) override {
        const QModelIndex current = currentIndex();
        if (current.isValid() && current.column() != 0) {
            selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                              QItemSelectionModel::NoUpdate);
        }
        QTableView::keyboardSearch(strSearch);
    }

    void paintEvent(QPaintEvent* pEvent) override {
        QTableView::paintEvent(pEvent);
        if (!m_bFullRow || model() == nullptr || model()->rowCount(rootIndex()) == 0) {
            return;
        }
        const QRect rcArea = pEvent->rect();
        // Only the rows in the area: below the last row there are none.
        const int nFirst = rowAt(rcArea.top());
        if (nFirst < 0) {
            return;
        }
        int nLast = rowAt(rcArea.bottom());
        if (nLast < 0) {
            nLast = model()->rowCount(rootIndex()) - 1;
        }
        QPainter painter(viewport());
        for (int nRow = nFirst; nRow <= nLast; ++nRow) {
            PaintRowEnds(&painter, nRow);
        }
    }

    // A selection change must also repaint the stretch right of the last column.
    QRegion visualRegionForSelection(const QItemSelection& selection) const override {
        QRegion wide;
        for (const QRect& rc : QTableView::visualRegionForSelection(selection)) {
            wide += QRect(0, rc.top(), std::max(viewport()->width(), rc.right() + 1), rc.height());
        }
        return wide;
    }

    // Selected rows change colours with the focus.
    void focusInEvent(QFocusEvent* pEvent) override {
        QTableView::focusInEvent(pEvent);
        viewport()->update();
    }
    void focusOutEvent(QFocusEvent* pEvent) override {
        QTableView::focusOutEvent(pEvent);
        viewport()->update();
    }
    void changeEvent(QEvent* pEvent) override {
        QTableView::changeEvent(pEvent);
        if (pEvent->type() == QEvent::FontChange) {
            UpdateRowHeight();
        }
    }

private:
    // Every row is as high as the delegate's, whatever a cell holds: a line break or a tall
    // character never makes a row, or all of them, higher.
    void UpdateRowHeight() {
        verticalHeader()->setDefaultSectionSize(CFullRowDelegate::RowHeight(fontMetrics()));
    }

    // Where the last column shown ends.
    int ColumnsRight() const {
        int nRight = 0;
        for (int nColumn = 0; nColumn < horizontalHeader()->count(); ++nColumn) {
            if (!isColumnHidden(nColumn)) {
                nRight = std::max(nRight, columnViewportPosition(nColumn) + columnWidth(nColumn));
            }
        }
        return nRight;
    }

    QRect RowRect(int nRow) const {
        return {0, rowViewportPosition(nRow), viewport()->width(), rowHeight(nRow)};
    }

    // The row's highlight past its last column and, on the current row, the focus frame from
    // the first label to the right edge.
    void PaintRowEnds(QPainter* pPainter, int nRow) const {
        const QModelIndex first = model()->index(nRow, 0, rootIndex());
        const bool bSelected = selectionModel() != nullptr && selectionModel()->isSelected(first);
        const bool bFocusRow = hasFocus() && currentIndex().isValid() &&
                               currentIndex().row() == nRow &&
                               currentIndex().parent() == first.parent();
        if (!bSelected && !bFocusRow) {
            return;
        }
        QStyleOptionViewItem rowOption;
        initViewItemOption(&rowOption);
        rowOption.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        if (bSelected) {
            rowOption.state |= QStyle::State_Selected;
        }
        const QRect rcRow = RowRect(nRow);
        const int nRowRight = ColumnsRight();
        if (bSelected && nRowRight < rcRow.right() + 1) {
            CFullRowDelegate::PaintBackground(
                pPainter, rowOption,
                QRect(nRowRight, rcRow.top(), rcRow.right() + 1 - nRowRight, rcRow.height()));
        }
        if (bFocusRow) {
            const QRect rcFirst(columnViewportPosition(0), rcRow.top(), columnWidth(0),
                                rcRow.height());
            const int nLeft = isColumnHidden(0) ? 0 : CFullRowDelegate::LabelRect(rcFirst).left();
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = QRect(nLeft, rcRow.top(), std::max(nRowRight, rcRow.right() + 1) - nLeft,
                               rcRow.height());
            focus.state |= QStyle::State_KeyboardFocusChange;
            focus.backgroundColor =
                palette().color(CFullRowDelegate::ColorGroup(rowOption),
                                bSelected ? QPalette::Highlight : QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, pPainter, this);
        }
    }

    QItemSelectionModel* m_pHeaderSelection;
};

CListViewEx::CListViewEx(QWidget* pParent)
    : QWidget(pParent), m_pDetails(new CDetailsView(this)), m_pIcons(new CIconView(this)),
      m_pStack(new QStackedLayout(this)), m_pFullRowDelegate(new CFullRowDelegate(this)),
      m_pPlainDelegate(new CFirstColumnDelegate(this)) {
    m_pDetails->setSortingEnabled(false); // the owner sorts, by its own keys
    m_pDetails->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pDetails->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pDetails->setItemDelegate(m_pFullRowDelegate);
    m_pDetails->horizontalHeader()->setSectionsClickable(true);
    m_pDetails->horizontalHeader()->setSectionsMovable(false);
    m_pDetails->horizontalHeader()->setStretchLastSection(false);

    // Rows, not cells, are selected in every style: the views share the selection.
    m_pIcons->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pIcons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pIcons->setUniformItemSizes(true);
    m_pIcons->setResizeMode(QListView::Adjust);
    m_pIcons->setMovement(QListView::Static);

    for (QAbstractItemView* pView :
         {static_cast<QAbstractItemView*>(m_pDetails), static_cast<QAbstractItemView*>(m_pIcons)}) {
        pView->installEventFilter(this);
        pView->viewport()->installEventFilter(this);
    }

    // Qt's button in the table's corner selects every row; it is hidden with the row numbers,
    // but assistive tools still list it.
    if (auto* pCorner = m_pDetails->findChild<QAbstractButton*>()) {
        pCorner->setAccessibleName(tr("Select all rows"));
    }

    m_pStack->setContentsMargins(0, 0, 0, 0);
    m_pStack->addWidget(m_pDetails);
    m_pStack->addWidget(m_pIcons);
    m_pStack->setCurrentWidget(m_pDetails);
    setFocusProxy(m_pDetails);
}

CListViewEx::~CListViewEx() = default;

void CListViewEx::SetModel(QAbstractItemModel* pModel) {
    QItemSelectionModel* pOldDetails = m_pDetails->selectionModel();
    QItemSelectionModel* pOldIcons = m_pIcons->selectionModel();
    m_pDetails->setModel(pModel);
    m_pIcons->setModel(pModel);
    QItemSelectionModel* pOwnIcons = m_pIcons->selectionModel();
    m_pIcons->setSelectionModel(m_pDetails->selectionModel());
    // Views never delete a selection model they have been given up: the replaced ones go here.
    for (QItemSelectionModel* pReplaced : {pOldDetails, pOldIcons, pOwnIcons}) {
        if (pReplaced != nullptr && pReplaced != m_pDetails->selectionModel()) {
            pReplaced->deleteLater();
        }
    }
}

void CListViewEx::SetDisplayStyle(EDisplayStyle eStyle) {
    const bool bHadFocus = HasFocusWithin();
    m_eStyle = eStyle;
    QAbstractItemView* pView = m_pDetails;
    if (eStyle != EDisplayStyle::Details) {
        ApplyIconStyle(eStyle);
        pView = m_pIcons;
    }
    m_pDetails->m_bReports = pView == m_pDetails;
    m_pIcons->m_bReports = pView == m_pIcons;
    m_pStack->setCurrentWidget(pView);
    setFocusProxy(pView);
    if (bHadFocus) {
        pView->setFocus();
        // The view's own focus names the list; the reader is to go on with the current row.
        ReportRow(pView, QAccessible::Focus, pView->currentIndex());
    }
    if (pView->currentIndex().isValid()) {
        pView->scrollTo(pView->currentIndex());
    }
}

bool CListViewEx::SetFullRowSelect(bool bFullRowSelect) {
    if (bFullRowSelect == m_bFullRowSelect) {
        return false;
    }
    m_bFullRowSelect = bFullRowSelect;
    m_pDetails->m_bFullRow = bFullRowSelect;
    m_pDetails->setItemDelegate(
        bFullRowSelect ? static_cast<QStyledItemDelegate*>(m_pFullRowDelegate) : m_pPlainDelegate);
    m_pDetails->viewport()->update();
    return true;
}

QItemSelectionModel* CListViewEx::GetSelectionModel() const {
    return m_pDetails->selectionModel();
}

QTableView* CListViewEx::GetDetailsView() const {
    return m_pDetails;
}

QListView* CListViewEx::GetIconView() const {
    return m_pIcons;
}

QAbstractItemView* CListViewEx::GetActiveView() const {
    if (m_eStyle == EDisplayStyle::Details) {
        return m_pDetails;
    }
    return m_pIcons;
}

bool CListViewEx::HasFocusWithin() const {
    const QWidget* pFocus = QApplication::focusWidget();
    return pFocus != nullptr && (pFocus == this || isAncestorOf(pFocus));
}

bool CListViewEx::OnViewKeyPress(QKeyEvent* pEvent) {
    (void)pEvent;
    return false;
}

bool CListViewEx::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const bool bView = pWatched == m_pDetails || pWatched == m_pIcons;
    if (pEvent->type() == QEvent::KeyPress && bView) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        const bool bMenuKey =
            (pKey->key() == Qt::Key_Menu && pKey->modifiers() == Qt::NoModifier) ||
            (pKey->key() == Qt::Key_F10 && pKey->modifiers() == Qt::ShiftModifier);
        if (bMenuKey) {
            OnViewContextMenu(CurrentItemPoint(static_cast<QAbstractItemView*>(pWatched)));
            return true;
        }
        if (OnViewKeyPress(static_cast<QKeyEvent*>(pEvent))) {
            return true;
        }
    }
    // The keys above open the menu; some platforms also send a context menu event for the Menu
    // key, which must neither open it twice nor reach the window's own menu of the tool bars.
    if (bView && pEvent->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(pEvent)->reason() == QContextMenuEvent::Keyboard) {
        return true;
    }
    const bool bViewport = pWatched == m_pDetails->viewport() || pWatched == m_pIcons->viewport();
    if (bViewport && pEvent->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(pEvent)->button() == Qt::LeftButton) {
        OnViewDoubleClick();
    } else if (bViewport && pEvent->type() == QEvent::ContextMenu) {
        OnViewContextMenu(static_cast<QContextMenuEvent*>(pEvent)->globalPos());
        return true;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

// The middle of the current row's first cell, where a menu from the keyboard opens; the top left
// corner of the list when there is no current row.
QPoint CListViewEx::CurrentItemPoint(const QAbstractItemView* pView) {
    const QModelIndex current = pView->currentIndex();
    const QRect rect = current.isValid() ? pView->visualRect(current.siblingAtColumn(0)) : QRect();
    const QPoint pt =
        rect.isValid() && pView->viewport()->rect().intersects(rect) ? rect.center() : QPoint(0, 0);
    return pView->viewport()->mapToGlobal(pt);
}

void CListViewEx::ApplyIconStyle(EDisplayStyle eStyle) {
    const int nRowHeight = std::max(SMALL_ICON_SIZE, fontMetrics().height()) + 4;
    // setViewMode() resets flow, wrapping and movement: set it first.
    if (eStyle == EDisplayStyle::LargeIcons) {
        m_pIcons->setViewMode(QListView::IconMode);
        m_pIcons->setIconSize(QSize(LARGE_ICON_SIZE, LARGE_ICON_SIZE));
        m_pIcons->setFlow(QListView::LeftToRight);
        m_pIcons->setGridSize(QSize(LARGE_CELL_WIDTH, LARGE_CELL_HEIGHT));
        m_pIcons->setWordWrap(true);
    } else {
        m_pIcons->setViewMode(QListView::ListMode);
        m_pIcons->setIconSize(QSize(SMALL_ICON_SIZE, SMALL_ICON_SIZE));
        m_pIcons->setFlow(eStyle == EDisplayStyle::SmallIcons ? QListView::LeftToRight
                                                              : QListView::TopToBottom);
        m_pIcons->setGridSize(
            QSize(eStyle == EDisplayStyle::SmallIcons ? SMALL_ICON_CELL_WIDTH : LIST_CELL_WIDTH,
                  nRowHeight));
        m_pIcons->setWordWrap(false);
    }
    m_pIcons->setWrapping(true);
    m_pIcons->setMovement(QListView::Static);
    m_pIcons->setResizeMode(QListView::Adjust);
}
