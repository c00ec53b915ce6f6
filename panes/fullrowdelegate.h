// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QPalette>
#include <QStyledItemDelegate>

class QFontMetrics;

// Paints the cells of the details view so that a selected row reads as one band: every cell in
// the highlight colours, texts too wide for their column cut short with "..." (at their end, or
// where the option's elide mode says). The view paints
// what lies right of the last column and the focus frame (CListViewEx).
class CFullRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CFullRowDelegate)

public:
    static constexpr int ICON_SIZE = 16;
    static constexpr int ICON_LEFT = 2;     // from the first cell's left edge
    static constexpr int FIRST_INSET = 2;   // text inside the first column's label, each side
    static constexpr int FIRST_MARGIN = 4;  // room the first column's text must leave
    static constexpr int OTHER_INSET = 6;   // text inside the other cells, each side
    static constexpr int OTHER_MARGIN = 12; // room the other cells' texts must leave

    explicit CFullRowDelegate(QObject* pParent = nullptr);
    ~CFullRowDelegate() override;

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The text when it fits nWidth with nMargin to spare; otherwise its longest start that fits
    // with "..." appended, and never less than its first character with "...". Elided in the
    // middle, the characters kept are shared between the start and the end, the start keeping
    // the odd one.
    static QString FitTextToWidth(const QFontMetrics& metrics, const QString& strText, int nWidth,
                                  int nMargin, Qt::TextElideMode eMode = Qt::ElideRight);

    // The height of every row of the details view: an icon or a line of text.
    static int RowHeight(const QFontMetrics& metrics);
    // Where the text of a cell too wide for its column loses characters: the model may say, per
    // cell, in ELIDE_MODE_ROLE.
    static void TakeElideMode(QStyleOptionViewItem* pOption, const QModelIndex& index);

    // The part of the first column's cell right of the icon: where a row's highlight begins.
    static QRect LabelRect(const QRect& rcCell);
    // Highlight colours while the view has the keyboard focus, their inactive shades otherwise.
    static QPalette::ColorGroup ColorGroup(const QStyleOptionViewItem& option);
    // The background of a cell or of the row's stretch past the last column.
    static void PaintBackground(QPainter* pPainter, const QStyleOptionViewItem& option,
                                const QRect& rcArea);

protected:
    void initStyleOption(QStyleOptionViewItem* pOption, const QModelIndex& index) const override;
};
