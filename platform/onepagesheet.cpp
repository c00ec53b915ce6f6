// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/onepagesheet.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

QTabWidget* LayOutOnePageSheet(QDialog& dialog, QWidget* pPage, const QString& strTab) {
    auto* pTabs = new QTabWidget;
    pTabs->addTab(pPage, strTab);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(&dialog);
    pLayout->addWidget(pTabs);
    pLayout->addWidget(pButtons);
    return pTabs;
}
