// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QWidget>

class CFullRowDelegate;
class QAbstractItemModel;
class QAbstractItemView;
class QItemSelectionModel;
class QKeyEvent;
class QListView;
class QStackedLayout;
class QStyledItemDelegate;
class QTableView;

// A list of rows shown in one of four display styles. The details style is a table whose
// selected rows are highlighted across every column up to the right edge; the three icon styles
// share one icon view. Both views show the same model through one selection model, so switching
// styles keeps the selection and the current row.
class CListViewEx : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CListViewEx)

public:
    enum class EDisplayStyle { LargeIcons, SmallIcons, List, Details };

    explicit CListViewEx(QWidget* pParent = nullptr);
    ~CListViewEx() override;

    // The model stays the caller's; the views only show it.
    void SetModel(QAbstractItemModel* pModel);

    void SetDisplayStyle(EDisplayStyle eStyle);
    EDisplayStyle GetDisplayStyle() const { return m_eStyle; }

    // True when the drawing changed. Off, the details view draws with Qt's own delegate and
    // shows the selection in the first column only.
    bool SetFullRowSelect(bool bFullRowSelect);
    bool IsFullRowSelect() const { return m_bFullRowSelect; }

    QItemSelectionModel* GetSelectionModel() const;
    QTableView* GetDetailsView() const;
    QListView* GetIconView() const;
    // The view of the current display style.
    QAbstractItemView* GetActiveView() const;
    // Whether the keyboard focus is in this list (in either view).
    bool HasFocusWithin() const;

protected:
    // Keys pressed in either view come here first. Return true when handled: the view then does
    // not see the key, and neither does Qt's focus chain (Tab).
    virtual bool OnViewKeyPress(QKeyEvent* pEvent);
    // A double click anywhere in the current view, on a row or on empty space; the view's own
    // handling follows.
    virtual void OnViewDoubleClick() {}
    // The right mouse button, or the Menu key or Shift+F10 at the current row: the menu is to
    // open at this screen position.
    virtual void OnViewContextMenu(const QPoint& ptScreen) { (void)ptScreen; }

    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    class CDetailsView;
    class CFirstColumnDelegate;
    class CIconView;

    void ApplyIconStyle(EDisplayStyle eStyle);
    static QPoint CurrentItemPoint(const QAbstractItemView* pView);

    CDetailsView* m_pDetails;
    CIconView* m_pIcons;
    QStackedLayout* m_pStack;
    CFullRowDelegate* m_pFullRowDelegate;
    CFirstColumnDelegate* m_pPlainDelegate;
    EDisplayStyle m_eStyle = EDisplayStyle::Details;
    bool m_bFullRowSelect = true;
};
