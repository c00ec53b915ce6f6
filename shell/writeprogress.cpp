// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/writeprogress.h"

#include "platform/textconv.h"
#include "res/strings.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>

#include <limits>

namespace {

// A bar counts in int: a larger run is shown in proportion.
int BarValue(qulonglong nValue, qulonglong nTotal) {
    constexpr qulonglong MAX = std::numeric_limits<int>::max();
    return static_cast<int>(nTotal <= MAX ? nValue : nValue / (nTotal / MAX + 1));
}

} // namespace

CWriteProgress::CWriteProgress(QWidget* pParent)
    : QWidget(pParent), m_pBar(new QProgressBar), m_pCancel(new QPushButton(tr("Cancel"))) {
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    m_pBar->setAccessibleName(tr("Writing tags"));
    m_pBar->setMinimumWidth(160);
    m_pCancel->setAccessibleDescription(tr("Stops writing tags after the file being written"));
    m_pCancel->setAutoDefault(false);
    pLayout->addWidget(m_pBar);
    pLayout->addWidget(m_pCancel);
    connect(m_pCancel, &QPushButton::clicked, this, &CWriteProgress::cancelRequested);
}

void CWriteProgress::Begin(qulonglong nTotal) {
    m_pCancel->setEnabled(true);
    SetDone(0, nTotal);
}

void CWriteProgress::SetDone(qulonglong nDone, qulonglong nTotal) {
    m_pBar->setMaximum(BarValue(nTotal, nTotal));
    m_pBar->setValue(BarValue(nDone, nTotal));
    m_pBar->setFormat(
        tr("%1 of %2 file(s)").arg(ToQString(FormatCount(nDone)), ToQString(FormatCount(nTotal))));
}
