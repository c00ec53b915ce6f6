// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/filterbox.h"

#include <QKeyEvent>
#include <QToolButton>

namespace {

constexpr int FILTER_WIDTH_CHARS = 22;
// The box lays its whole text out at every key, in time that grows with the text: a pasted
// megabyte, cut to the line edit's own limit, held the window tens of milliseconds per key. This
// many characters is more words than any row holds, and lays out in a few milliseconds.
constexpr int MAX_FILTER_CHARS = 8192;

} // namespace

CFilterBox::CFilterBox(QWidget* pParent) : QLineEdit(pParent) {
    setPlaceholderText(tr("Filter"));
    setAccessibleName(tr("Filter"));
    setToolTip(tr("Show only the tracks whose columns contain every typed word (Ctrl+F)"));
    setClearButtonEnabled(true);
    setMaxLength(MAX_FILTER_CHARS);
    // The clear button is a picture alone: a screen reader needs its words.
    for (QToolButton* pButton : findChildren<QToolButton*>()) {
        pButton->setAccessibleName(tr("Clear the filter"));
    }
    setFixedWidth(fontMetrics().averageCharWidth() * FILTER_WIDTH_CHARS);
}

void CFilterBox::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Escape && pEvent->modifiers() == Qt::NoModifier) {
        clear();
        Q_EMIT leaveRequested();
        return;
    }
    QLineEdit::keyPressEvent(pEvent);
}
