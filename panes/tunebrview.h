// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/docview.h"
#include "catalogue/jobthread.h"
#include "catalogue/tracklist.h"
#include "panes/columnlayout.h"
#include "panes/filterworker.h"
#include "panes/listviewex.h"
#include "panes/panehost.h"
#include "panes/runningsize.h"
#include "panes/selectionstatus.h"
#include "panes/tracklistmodel.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class CPaneHost;
class QLabel;
class QMenu;
class CTunebrDoc;
class CUserSettings;

// The list pane: one row per track of the list chosen in the tree pane (or the whole
// catalogue), sortable by any column, with its selection described in the status bar.
class CTunebrView final : public CListViewEx, public CDocView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTunebrView)

public:
    // Registers with the document for its whole life.
    CTunebrView(CTunebrDoc& doc, CUserSettings& settings, CPaneHost& host,
                QWidget* pParent = nullptr);
    ~CTunebrView() override;

    // Shows the document's complete list with the current list options.
    void OnInitialUpdate();
    void OnUpdate(CDocView* pSender, EHint eHint, CTrackList* pTracks) override;

    // Rows from m_pTracks, in the order of m_nSortKey.
    void FillList();
    // A click on a column title: sorts by that column, the other way round on a second click.
    // Many rows are sorted on another thread: they keep their order until the new one comes.
    void OnColumnClick(int nColumn);
    // From a sort asked for to the rows in its order.
    bool IsSortPending() const { return m_nAwaitedSort != 0 || m_bSortDeferred; }

    // Shows only the rows whose columns hold every word of the text. The filter stays while the
    // list is refilled (a tag edit, a rescan) and goes when another list is chosen. A long text,
    // or a long list, is matched on another thread: the rows of the previous text stay until
    // its rows come, and a newer text stops the match.
    void SetFilterText(const QString& strText);
    const QString& GetFilterText() const { return m_strFilter; }
    bool IsFiltered() const;
    // From a text given to the moment its rows show.
    bool IsFilterPending() const { return m_nAwaitedMatch != 0 || m_bMatchDeferred; }
    // "12 of 3,000 file(s)" while a filter is active, empty otherwise: of the rows shown.
    QString GetFilterCountText() const;
    // The description, count and size panes for what the list shows and selects; all null while
    // the list has no list (during a rebuild).
    SStatusTexts GetStatusTexts() const;

    // Records change outside a rebuild (a tag edit, an undo) only while one of these lives: no
    // match reads them on another thread meanwhile, and the filter text is matched once it goes.
    class CRecordChange {
    public:
        explicit CRecordChange(CTunebrView& view) : m_view(view) { m_view.BeginRecordChange(); }
        ~CRecordChange() { m_view.EndRecordChange(); }
        CRecordChange(const CRecordChange&) = delete;
        CRecordChange& operator=(const CRecordChange&) = delete;

    private:
        CTunebrView& m_view;
    };

    // One checkable item per column, ticked while it is shown; choosing one shows or hides it.
    // The file column stays. The menu must not outlive the view.
    void FillColumnMenu(QMenu& menu);
    void SetColumnShown(int nColumn, bool bShown);
    // The columns' widths, order and hidden ones, as the user left them.
    const CColumnLayout& GetColumnLayout() const { return m_columns; }

    // The selected records from the top row down, as shown.
    CTrackList GetSelectedTracks() const;
    bool HasSelection() const;

    int GetSortKey() const { return m_nSortKey; }
    // The organisation last announced: a track edit that changes the grouping field needs a
    // rebuild of the index.
    bool IsByGenre() const { return m_bByGenre; }
    CTrackList* GetTrackList() const { return m_pTracks; }
    CTrackListModel* GetModel() const { return m_pModel; }
    // The text over an empty list that tells how to open a folder.
    bool IsEmptyHintShown() const;

Q_SIGNALS:
    // Whether any row is selected; sent when that changes. Play, Enqueue, Properties and Copy
    // are enabled exactly while it is true.
    void selectionStateChanged(bool bHasSelection);
    // Enter (repeats included) or a double click: the configured list action is to run.
    void doubleClickActionRequested();
    // The list's context menu is to open at this screen position.
    void contextMenuRequested(const QPoint& ptScreen);
    // Another list was chosen and the filter dropped: the filter box must show it.
    void filterCleared();
    // The columns' menu (FillColumnMenu) is to open at this screen position.
    void columnMenuRequested(const QPoint& ptScreen);

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
    bool OnViewKeyPress(QKeyEvent* pEvent) override;
    void OnViewDoubleClick() override { Q_EMIT doubleClickActionRequested(); }
    void OnViewContextMenu(const QPoint& ptScreen) override {
        Q_EMIT contextMenuRequested(ptScreen);
    }

private:
    CColumnLayout DefaultColumns() const;
    void OnColumnResized(int nColumn, int nOldWidth, int nNewWidth);
    void TakeUpdate(EHint eHint, CTrackList* pTracks);
    void UpdateEmptyHint();
    void ApplyListOptions();
    void TakeAddedTracks();
    void ShowSortIndicator();
    void OnSelectionChanged();
    void ReportSelectionState();
    void ShowStatus();
    void MatchFilter();
    void OnFilterMatched(CFilterWorker::SResult& result);
    void ShowFiltered(CTrackFilter filter, CTrackList arrPassed);
    void StopFilterMatch();
    // Brings the rows to m_nSortKey: at once while that is quick, otherwise on the sort thread.
    void SortRows();
    void OnSorted(std::uint64_t nJob, CTrackListModel::SSortedRows& sorted);
    void StopSort();
    void BeginRecordChange();
    void EndRecordChange();

    CTunebrDoc& m_doc;
    CUserSettings& m_settings;
    CPaneHost& m_host;
    CTrackListModel* m_pModel;
    CColumnLayout m_columns;
    QLabel* m_pEmptyHint = nullptr;

    int m_nSortKey;
    bool m_bByGenre;
    CTrackList* m_pTracks = nullptr; // the document's or an index entry's; never ours
    // What the status bar says of the whole list while nothing is selected: the filter box asks
    // for it at every key, and a million records are slow to walk.
    mutable std::optional<CSelectionStatus> m_listStatus;
    mutable CRunningSize m_listSize;                    // of m_pTracks
    mutable std::pair<unsigned, bool> m_listStatusRows; // the rows' version, filtered or not
    bool m_bHadSelection = false;
    QString m_strFilter;
    QString m_strShownFilter; // the text the rows shown were matched with
    std::unique_ptr<CFilterWorker> m_pFilterWorker;
    std::uint64_t m_nAwaitedMatch = 0;  // the worker's job for m_strFilter; 0 when none
    unsigned m_nAwaitedRowsVersion = 0; // of the model's rows the job was given
    // The rows to sort, copied as the list changes meanwhile; the shown ones when filtered.
    struct SSortJob {
        int nSortKey = 0;
        std::shared_ptr<const CTrackList> pAll;
        std::optional<CTrackList> shown;
    };
    std::unique_ptr<CJobThread<SSortJob, CTrackListModel::SSortedRows>> m_pSortThread;
    std::uint64_t m_nAwaitedSort = 0;       // the sort thread's job for m_nSortKey; 0 when none
    unsigned m_nAwaitedSortRowsVersion = 0; // of the model's rows the job was given
    int m_nRecordChanges = 0;
    bool m_bMatchDeferred = false; // a match waits for the records' change to end
    bool m_bSortDeferred = false;  // so does a sort
    // From a rebuild's start to the list it ends with: that list replaces the one filtered, it
    // is not another one chosen.
    bool m_bAwaitingRebuiltList = false;
};
