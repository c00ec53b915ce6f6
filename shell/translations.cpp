// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

CTranslations::CTranslations(ELanguage eLanguage) {
    if (eLanguage != ELanguage::French) {
        return;
    }
    Install(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    // Installed last, so asked first.
    Install(QStringLiteral("tunebrowse_fr"), QStringLiteral(":/i18n"));
}

CTranslations::~CTranslations() {
    for (const auto& pTranslator : m_arrTranslators) {
        QCoreApplication::removeTranslator(pTranslator.get());
    }
}

// A missing file leaves those texts in English.
void CTranslations::Install(const QString& strName, const QString& strFolder) {
    auto pTranslator = std::make_unique<QTranslator>();
    if (pTranslator->load(strName, strFolder) &&
        QCoreApplication::installTranslator(pTranslator.get())) {
        m_arrTranslators.push_back(std::move(pTranslator));
    }
}
