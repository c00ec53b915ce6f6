// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <string>

class QSettings;

// The per-user settings store: organisation "Quillon Softs", application "Tunebrowse", one group
// per section, in a file under $XDG_CONFIG_HOME. Works without an application object.
//
// Values written are kept until Flush() (or the store's end) writes them all in one pass: the
// file is rewritten whole at every write, and a large one made each value cost seconds. A file
// that is there but is no readable regular file (a FIFO would block the first read for ever) is
// never opened: reads give the defaults and writes stay in memory.
class CSettingsStore {
public:
    CSettingsStore();
    ~CSettingsStore();
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    // A missing or unreadable value gives the default.
    int ReadInt(const char* pszSection, const char* pszName, int nDefault) const;
    std::string ReadString(const char* pszSection, const char* pszName,
                           const std::string& strDefault) const;
    bool HasValue(const char* pszSection, const char* pszName) const;
    // A file-system path, as the system's bytes even where they are not UTF-8.
    std::string ReadPath(const char* pszSection, const char* pszName,
                         const std::string& strDefault) const;

    void WriteInt(const char* pszSection, const char* pszName, int nValue);
    void WriteString(const char* pszSection, const char* pszName, const std::string& strValue);
    void WritePath(const char* pszSection, const char* pszName, const std::string& strPath);

    // Writes the values changed since the last flush, in one pass; nothing for an unusable file.
    void Flush();

    // False when the file exists but cannot be used; the path of the file, for the message.
    bool IsUsable() const { return m_pSettings != nullptr; }
    const QString& GetFileName() const { return m_strFile; }
    // What the user is told of an unusable file; empty for a usable one.
    QString GetProblemText() const;
    // Why the values are not written, for the user; empty while they are (and for an unusable
    // file, told by GetProblemText). Known from the start for a file or folder this user cannot
    // write, and from every flush.
    QString GetWriteProblemText() const { return m_strWriteProblem; }

private:
    QVariant Value(const char* pszSection, const char* pszName) const;
    void Write(const char* pszSection, const char* pszName, const QVariant& value);

    QString m_strFile;
    std::unique_ptr<QSettings> m_pSettings;
    QString m_strWriteProblem;
    // No home to keep the file in, or a link to a file of someone else: nothing is written.
    bool m_bWriteRefused = false;
    std::map<QString, QVariant> m_mapPending;
};
