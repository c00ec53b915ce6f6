// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/fullrowdelegate.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

const QString ELLIPSIS = QStringLiteral("...");

bool IsSelected(const QStyleOptionViewItem& option) {
    return option.state.testFlag(QStyle::State_Selected);
}

// Length of the first character, in code units: a surrogate pair is never split.
qsizetype FirstCharLength(const QString& strText) {
    return strText.size() > 1 && strText[0].isHighSurrogate() && strText[1].isLowSurrogate() ? 2
                                                                                             : 1;
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
        const QString strShown = FitTextToWidth(opt.fontMetrics, opt.text, rcText.width(),
                                                bFirst ? FIRST_MARGIN : OTHER_MARGIN);
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
    const int nHeight = std::max(ICON_SIZE, opt.fontMetrics.height()) + 2;
    return {nWidth, nHeight};
}

QString CFullRowDelegate::FitTextToWidth(const QFontMetrics& metrics, const QString& strText,
                                         int nWidth, int nMargin) {
    if (strText.isEmpty() || metrics.horizontalAdvance(strText) + nMargin <= nWidth) {
        return strText;
    }
    const int nEllipsis = metrics.horizontalAdvance(ELLIPSIS);
    // The lengths a cut may leave, shortest first: never half of a surrogate pair, never less than
    // the first character, which stays even when it does not fit.
    std::vector<qsizetype> arrCuts{FirstCharLength(strText)};
    for (qsizetype nLength = arrCuts.front() + 1; nLength < strText.size(); ++nLength) {
        if (!(strText[nLength].isLowSurrogate() && strText[nLength - 1].isHighSurrogate())) {
            arrCuts.push_back(nLength);
        }
    }
    // A longer start is never narrower: the cuts that fit come first.
    const auto itTooLong =
        std::partition_point(arrCuts.begin() + 1, arrCuts.end(), [&](qsizetype nLength) {
            return metrics.horizontalAdvance(strText, static_cast<int>(nLength)) + nEllipsis +
                       nMargin <=
                   nWidth;
        });
    return strText.left(*(itTooLong - 1)) + ELLIPSIS;
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
