// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QSettings>

#include <string>

// The per-user settings store: organisation "Quillon Softs", application "Tunebrowse", one group
// per section. On Linux it is a file under $XDG_CONFIG_HOME. Works without an application object.
class CSettingsStore {
public:
    CSettingsStore();

    // A missing or unreadable value gives the default.
    int ReadInt(const char* pszSection, const char* pszName, int nDefault) const;
    std::string ReadString(const char* pszSection, const char* pszName,
                           const std::string& strDefault) const;

    void WriteInt(const char* pszSection, const char* pszName, int nValue);
    void WriteString(const char* pszSection, const char* pszName, const std::string& strValue);

private:
    mutable QSettings m_settings;
};
