// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/settingsstore.h"

#include "platform/textconv.h"
#include "res/strings.h"

namespace {

QString Key(const char* pszSection, const char* pszName) {
    return QString::fromUtf8(pszSection) + QLatin1Char('/') + QString::fromUtf8(pszName);
}

} // namespace

CSettingsStore::CSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillon Softs"),
                 QString::fromUtf8(LoadString(IDS_APP_TITLE))) {
}

int CSettingsStore::ReadInt(const char* pszSection, const char* pszName, int nDefault) const {
    const QVariant value = m_settings.value(Key(pszSection, pszName));
    bool bOk = false;
    const int nValue = value.toInt(&bOk);
    return value.isValid() && bOk ? nValue : nDefault;
}

std::string CSettingsStore::ReadString(const char* pszSection, const char* pszName,
                                       const std::string& strDefault) const {
    const QVariant value = m_settings.value(Key(pszSection, pszName));
    return value.isValid() ? ToStdString(value.toString()) : strDefault;
}

void CSettingsStore::WriteInt(const char* pszSection, const char* pszName, int nValue) {
    m_settings.setValue(Key(pszSection, pszName), nValue);
    m_settings.sync();
}

void CSettingsStore::WriteString(const char* pszSection, const char* pszName,
                                 const std::string& strValue) {
    m_settings.setValue(Key(pszSection, pszName), ToQString(strValue));
    m_settings.sync();
}
