// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/trackinfo.h"
#include "catalogue/tracklist.h"
#include "panes/itemroles.h"
#include "panes/trackfilter.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// The rows of the track list: one per record of the list being shown that the filter lets
// through, kept in display order. The model holds plain pointers into the document; it must be
// emptied before the document deletes its records.
class CTrackListModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTrackListModel)

public:
    // Columns in their first display order. Their sort keys (CTrackSort::ESortKey) differ from
    // their positions (ColumnSortKey). The numbers are stored in the settings (column widths,
    // order and hidden columns): do not renumber, add at the end.
    enum EColumn : int {
        COL_FILE,
        COL_TITLE,
        COL_ALBUM,
        COL_LOCATION,
        COL_SIZE,
        COL_ARTIST,
        COL_DATE,
        COL_GENRE,
        COL_COMMENT,
        COL_TRACK,
        COLUMN_COUNT
    };

    // The CTrackInfo* of a row, in any column.
    static constexpr int TrackRole = Qt::UserRole + 1;

    explicit CTrackListModel(QObject* pParent = nullptr);
    ~CTrackListModel() override;

    // Replaces every row by the records of pTracks (none when null) that the filter lets
    // through, ordered by nSortKey. With bMatch false the filter is not applied: no row shows
    // until AdoptFilter brings the rows it lets through, matched elsewhere.
    void Fill(const CTrackList* pTracks, int nSortKey, bool bMatch = true);
    // Takes in the records added at the end of the list last filled, each in its sorted place
    // (after the rows that compare equal); rows that were there keep their selection.
    void TakeAdded();
    // The records show their files anew: their rows are repainted where they are, neither sorted
    // nor filtered again until the next fill.
    void RefreshTracks(const CTrackList& arrChanged);
    // Shows only the rows the filter lets through. Selected rows that stay keep their selection.
    void SetFilter(CTrackFilter filter);
    bool IsFiltered() const { return !m_filter.IsEmpty(); }
    const CTrackFilter& GetFilter() const { return m_filter; }
    // False from a Fill that did not match to the next AdoptFilter.
    bool IsMatched() const { return m_bMatched; }

    // SetFilter in two steps, for a match made on another thread. The rows a filter must test:
    // those of the current or a kept filter it narrows, or the whole list; none (null) when it is
    // empty or a kept filter holds its rows already.
    const CTrackList* RowsToTest(const CTrackFilter& filter) const;
    // Shows the rows filter lets through: arrPassed, those of RowsToTest(filter) or of the whole
    // list that passed, unless a kept filter holds them.
    void AdoptFilter(CTrackFilter filter, CTrackList arrPassed);
    // Every row of the list in display order, the filter aside.
    const CTrackList& GetAllRows() const { return *m_pAll; }
    // The same rows for another thread to read as they are now: a later change of the rows
    // leaves these alone.
    std::shared_ptr<const CTrackList> ShareAllRows();
    // Changes whenever rows come, go or move: rows matched on an earlier version do not fit.
    unsigned GetRowsVersion() const { return m_nRowsVersion; }
    // Changes whenever rows come or go, but not when they only move: what is said of the rows
    // as a whole (their count and size) holds while it stays.
    unsigned GetRowSetVersion() const { return m_nRowSetVersion; }
    // The rows shown, in display order: those the filter lets through.
    const CTrackList& GetShownRows() const { return Rows(); }
    // Every row of the list, the filter aside.
    int GetTotalCount() const { return static_cast<int>(m_pAll->size()); }
    // Empties the model, dropping every pointer into the document.
    void Clear();
    // Reorders the rows; rows that compare equal keep their relative order.
    void Sort(int nSortKey);
    // Sort in two steps, for a sort made on another thread: the rows in the order of a key, made
    // from copies of GetAllRows and GetShownRows (filtered only), and where each row shown went;
    // null when pStop stopped the sort.
    struct SSortedRows {
        CTrackList arrAll;
        CTrackList arrShown;
        std::vector<int> arrNewRow; // of each row shown before
    };
    static std::shared_ptr<SSortedRows> SortedRows(const CTrackList& arrAll,
                                                   const CTrackList* pShown, int nSortKey,
                                                   const std::atomic<bool>* pStop = nullptr);
    // Shows rows sorted from the rows as they are now (the same rows version).
    void AdoptSorted(int nSortKey, SSortedRows sorted);
    // The key the rows are in order of.
    int GetSortKey() const { return m_nSortKey; }

    // The "ColumnAlignment" setting: 1 centres the middle columns, anything else leaves them left.
    void SetColumnAlignment(int nAlignment);
    int GetColumnAlignment() const { return m_nColumnAlignment; }

    CTrackInfo* GetTrack(int nRow) const;

    static int ColumnSortKey(int nColumn);
    // The column a key sorts, or -1 for a key that sorts nothing.
    static int SortKeyColumn(int nSortKey);
    // Width of a column at the font the list was first laid out for, in pixels.
    static int DefaultColumnWidth(int nColumn);
    // Whether the column starts hidden.
    static bool IsHiddenByDefault(int nColumn);
    // The widest text a column of fixed form shows (a size, a year, a number), for laying it
    // out; empty for the columns of free text.
    static QString WidestValue(int nColumn);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation eOrientation,
                        int nRole = Qt::DisplayRole) const override;

private:
    static QString CellText(const CTrackInfo& track, int nColumn);
    Qt::Alignment ColumnAlignment(int nColumn) const;
    const CTrackList& Rows() const { return IsFiltered() ? m_arrShown : *m_pAll; }
    // The rows to change: a copy when another thread still reads them.
    CTrackList& MutableAll();
    // No rows, to fill: in the memory of the rows before when no other thread reads them.
    CTrackList& EmptiedAll();
    // Moves the persistent indexes from the rows of arrOld to the same records in Rows().
    void MovePersistentIndexes(const CTrackList& arrOld);
    // Puts the sorted arrNew into arrRows; returns for each where it went, in its order.
    std::vector<std::size_t> MergeSorted(CTrackList& arrRows, const CTrackList& arrNew) const;
    void InsertShown(const CTrackList& arrNew);

    // Every row in display order. At a million rows, a copy into new memory takes the window
    // 20-50 ms: the rows are shared with the sort thread rather than copied, and their memory is
    // kept from one list to the next.
    std::shared_ptr<CTrackList> m_pAll = std::make_shared<CTrackList>();
    // Once shared, the rows are never changed in place again, however soon the other thread is
    // done with them.
    bool m_bAllShared = false;
    CTrackList m_arrShown; // the filtered rows of *m_pAll, in its order; unused unfiltered
    CTrackFilter m_filter;
    // The list filled from and how much of it the rows took: a scan only adds at its end.
    const CTrackList* m_pSource = nullptr;
    std::size_t m_nTaken = 0;
    int m_nSortKey = 0;
    // The filters the current one narrowed, widest first, with their rows: taking typed letters
    // back finds the rows ready.
    struct SFilterStep {
        CTrackFilter m_filter;
        CTrackList m_arrRows;
    };
    static constexpr std::size_t MAX_FILTER_STEPS = 32;
    // Rows' memory kept beyond twice the rows of the list filled.
    static constexpr std::size_t KEPT_SPARE_ROWS = 65536;
    std::vector<SFilterStep> m_arrSteps;
    bool m_bMatched = true;
    unsigned m_nRowsVersion = 0;
    unsigned m_nRowSetVersion = 0;
    int m_nColumnAlignment = 0;
    QIcon m_iconNote;
    QString m_strTitles[COLUMN_COUNT];
};

Q_DECLARE_METATYPE(CTrackInfo*)
