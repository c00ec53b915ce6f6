// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/fullrowdelegate.h"

#include "panes/itemroles.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace {

const QString ELLIPSIS = QStringLiteral("...");

bool IsSelected(const QStyleOptionViewItem& option) {
    return option.state.testFlag(QStyle::State_Selected);
}

} // namespace

CFullRowDelegate::CFullRowDelegate(QObject* pParent) : QStyledItemDelegate(pParent) {
}

CFullRowDelegate::~CFullRowDelegate() = default;

void CFullRowDelegate::paint(QPainter* pPainter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool bFirst = index.column() == 0;
    const bool bSelected = IsSelected(opt);
    const QPalette::ColorGroup eGroup = ColorGroup(opt);
    const QRect rcText = bFirst ? LabelRect(opt.rect) : opt.rect;

    pPainter->save();
    if (bFirst) {
        // Left of the label the row is never highlighted, whatever the view drew there.
        QStyleOptionViewItem plain = opt;
        plain.state &= ~QStyle::State_Selected;
        PaintBackground(pPainter, plain, QRect(opt.rect.topLeft(), rcText.bottomLeft()));
    }
    PaintBackground(pPainter, opt, rcText);
    if (bFirst && !opt.icon.isNull()) {
        const QRect rcIcon(opt.rect.left() + ICON_LEFT,
                           opt.rect.top() + (opt.rect.height() - ICON_SIZE) / 2, ICON_SIZE,
                           ICON_SIZE);
        const QIcon::Mode eMode = !opt.state.testFlag(QStyle::State_Enabled) ? QIcon::Disabled
                                  : bSelected                                ? QIcon::Selected
                                                                             : QIcon::Normal;
        opt.icon.paint(pPainter, rcIcon, Qt::AlignCenter, eMode);
    }
    if (!opt.text.isEmpty()) {
        const int nInset = bFirst ? FIRST_INSET : OTHER_INSET;
        const QString strShown =
            FitTextToWidth(opt.fontMetrics, opt.text, rcText.width(),
                           bFirst ? FIRST_MARGIN : OTHER_MARGIN, opt.textElideMode);
        // A shortened text reads from its start, whatever the column's alignment.
        const Qt::Alignment eHorizontal = bFirst || strShown != opt.text
                                              ? Qt::AlignLeft
                                              : opt.displayAlignment & Qt::AlignHorizontal_Mask;
        pPainter->setFont(opt.font);
        pPainter->setPen(
            opt.palette.color(eGroup, bSelected ? QPalette::HighlightedText : QPalette::Text));
        pPainter->drawText(
            rcText.adjusted(nInset, 0, -nInset, 0),
            int(eHorizontal | Qt::AlignVCenter) | Qt::TextSingleLine | Qt::TextDontClip, strShown);
    }
    pPainter->restore();
}

QSize CFullRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // The width at which paint() shows the text whole.
    const int nText = opt.text.isEmpty() ? 0 : opt.fontMetrics.horizontalAdvance(opt.text);
    const int nWidth =
        index.column() == 0 ? ICON_LEFT + ICON_SIZE + nText + FIRST_MARGIN : nText + OTHER_MARGIN;
    return {nWidth, RowHeight(opt.fontMetrics)};
}

int CFullRowDelegate::RowHeight(const QFontMetrics& metrics) {
    return std::max(ICON_SIZE, metrics.height()) + 2;
}

void CFullRowDelegate::TakeElideMode(QStyleOptionViewItem* pOption, const QModelIndex& index) {
    const QVariant elideMode = index.data(ELIDE_MODE_ROLE);
    if (elideMode.isValid()) {
        pOption->textElideMode = static_cast<Qt::TextElideMode>(elideMode.toInt());
    }
}

void CFullRowDelegate::initStyleOption(QStyleOptionViewItem* pOption,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(pOption, index);
    TakeElideMode(pOption, index);
}

QString CFullRowDelegate::FitTextToWidth(const QFontMetrics& metrics, const QString& strText,
                                         int nWidth, int nMargin, Qt::TextElideMode eMode) {
    if (strText.isEmpty() || metrics.horizontalAdvance(strText) + nMargin <= nWidth) {
        return strText;
    }
    const int nRoom = nWidth - nMargin - metrics.horizontalAdvance(ELLIPSIS);
    // Where each character starts, and the text's end: a cut never halves a surrogate pair.
    std::vector<qsizetype> arrBounds;
    for (qsizetype nAt = 0; nAt < strText.size(); ++nAt) {
        if (!(strText[nAt].isLowSurrogate() && nAt > 0 && strText[nAt - 1].isHighSurrogate())) {
            arrBounds.push_back(nAt);
        }
    }
    arrBounds.push_back(strText.size());
    const auto nChars = static_cast<qsizetype>(arrBounds.size()) - 1;
    // The text kept when nKept characters stay: its start, or its start and end around the
    // ellipsis, the start having the odd one.
    const auto Kept = [&](qsizetype nKept) {
        if (eMode != Qt::ElideMiddle) {
            return std::pair(strText.left(arrBounds[nKept]), QString());
        }
        return std::pair(strText.left(arrBounds[(nKept + 1) / 2]),
                         strText.mid(arrBounds[nChars - nKept / 2]));
    };
    // Keeping more is never narrower: the counts that fit come first. The first character stays
    // even when it does not fit.
    std::vector<qsizetype> arrCounts(static_cast<std::size_t>(std::max<qsizetype>(nChars - 1, 1)));
    std::iota(arrCounts.begin(), arrCounts.end(), 1);
    const auto itTooMany =
        std::partition_point(arrCounts.begin() + 1, arrCounts.end(), [&](qsizetype nKept) {
            const auto [strStart, strEnd] = Kept(nKept);
            return metrics.horizontalAdvance(strStart) + metrics.horizontalAdvance(strEnd) <= nRoom;
        });
    const auto [strStart, strEnd] = Kept(*(itTooMany - 1));
    return strStart + ELLIPSIS + strEnd;
}

QRect CFullRowDelegate::LabelRect(const QRect& rcCell) {
    return rcCell.adjusted(ICON_LEFT + ICON_SIZE, 0, 0, 0);
}

QPalette::ColorGroup CFullRowDelegate::ColorGroup(const QStyleOptionViewItem& option) {
    if (!option.state.testFlag(QStyle::State_Enabled)) {
        return QPalette::Disabled;
    }
    return option.widget != nullptr && option.widget->hasFocus() ? QPalette::Active
                                                                 : QPalette::Inactive;
}

void CFullRowDelegate::PaintBackground(QPainter* pPainter, const QStyleOptionViewItem& option,
                                       const QRect& rcArea) {
    pPainter->fillRect(rcArea, option.palette.brush(ColorGroup(option), IsSelected(option)
                                                                            ? QPalette::Highlight
                                                                            : QPalette::Base));
}
