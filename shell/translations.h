// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "res/strings.h"

#include <QTranslator>

#include <memory>
#include <vector>

// Makes tr() answer in the given language while this object lives: our own texts (compiled into
// the program) and Qt's, which name the buttons of its standard dialogs. English needs nothing.
// Build it before the first window: texts already set stay as they are.
class CTranslations final {
public:
    explicit CTranslations(ELanguage eLanguage);
    ~CTranslations();
    CTranslations(const CTranslations&) = delete;
    CTranslations& operator=(const CTranslations&) = delete;

    // How many translation files were found and installed.
    std::size_t GetCount() const { return m_arrTranslators.size(); }

private:
    void Install(const QString& strName, const QString& strFolder);

    std::vector<std::unique_ptr<QTranslator>> m_arrTranslators;
};
