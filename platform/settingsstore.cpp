// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/settingsstore.h"

#include "platform/textconv.h"
#include "res/strings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Key(const char* pszSection, const char* pszName) {
    return QString::fromUtf8(pszSection) + QLatin1Char('/') + QString::fromUtf8(pszName);
}

// A file not there yet is usable: it is made at the first flush. Anything there must be a regular
// file this user can read; the look never opens a FIFO or a device for reading.
bool IsUsableFile(const QString& strFile) {
    const QByteArray path = QFile::encodeName(strFile);
    struct stat st;
    if (::stat(path.constData(), &st) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISREG(st.st_mode)) {
        return false;
    }
    const int nFd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0) {
        return false;
    }
    ::close(nFd);
    return true;
}

// The file holds the history of the folders the user opened: no one else may read it. Made
// private before the first write, so that it is never readable by others even for a moment; the
// rewrites keep the mode of the file they replace. A file of another owner is left as it is.
void MakePrivate(const QString& strFile) {
    const QByteArray path = QFile::encodeName(strFile);
    const QByteArray folder = QFile::encodeName(QFileInfo(strFile).path());
    ::mkdir(folder.constData(), 0700);
    const int nFd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (nFd < 0) {
        return;
    }
    struct stat st;
    if (::fstat(nFd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0) {
        ::fchmod(nFd, st.st_mode & 0700);
    }
    ::close(nFd);
}

bool IsUtf8(const std::string& strBytes) {
    const QByteArray bytes = QByteArray::fromStdString(strBytes);
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

CSettingsStore::CSettingsStore()
    : m_strFile(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/Quillon Softs/") + QString::fromUtf8(LoadString(IDS_APP_TITLE)) +
                QStringLiteral(".conf")) {
    if (IsUsableFile(m_strFile)) {
        m_pSettings = std::make_unique<QSettings>(m_strFile, QSettings::IniFormat);
    }
}

CSettingsStore::~CSettingsStore() {
    Flush();
}

QVariant CSettingsStore::Value(const char* pszSection, const char* pszName) const {
    const QString strKey = Key(pszSection, pszName);
    const auto it = m_mapPending.find(strKey);
    if (it != m_mapPending.end()) {
        return it->second;
    }
    return m_pSettings != nullptr ? m_pSettings->value(strKey) : QVariant();
}

int CSettingsStore::ReadInt(const char* pszSection, const char* pszName, int nDefault) const {
    const QVariant value = Value(pszSection, pszName);
    bool bOk = false;
    const int nValue = value.toInt(&bOk);
    return value.isValid() && bOk ? nValue : nDefault;
}

std::string CSettingsStore::ReadString(const char* pszSection, const char* pszName,
                                       const std::string& strDefault) const {
    const QVariant value = Value(pszSection, pszName);
    return value.isValid() ? ToStdString(value.toString()) : strDefault;
}

std::string CSettingsStore::ReadPath(const char* pszSection, const char* pszName,
                                     const std::string& strDefault) const {
    const QVariant value = Value(pszSection, pszName);
    if (!value.isValid()) {
        return strDefault;
    }
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray().toStdString()
                                                   : ToStdString(value.toString());
}

void CSettingsStore::Write(const char* pszSection, const char* pszName, const QVariant& value) {
    m_mapPending[Key(pszSection, pszName)] = value;
}

void CSettingsStore::WriteInt(const char* pszSection, const char* pszName, int nValue) {
    Write(pszSection, pszName, nValue);
}

void CSettingsStore::WriteString(const char* pszSection, const char* pszName,
                                 const std::string& strValue) {
    Write(pszSection, pszName, ToQString(strValue));
}

// A path that is text is stored as text, as always; other bytes as a byte array, which the file
// keeps exactly.
void CSettingsStore::WritePath(const char* pszSection, const char* pszName,
                               const std::string& strPath) {
    Write(pszSection, pszName,
          IsUtf8(strPath) ? QVariant(ToQString(strPath))
                          : QVariant(QByteArray::fromStdString(strPath)));
}

void CSettingsStore::Flush() {
    if (m_pSettings == nullptr || m_mapPending.empty()) {
        return;
    }
    for (const auto& [strKey, value] : m_mapPending) {
        m_pSettings->setValue(strKey, value);
    }
    m_mapPending.clear();
    MakePrivate(m_strFile);
    m_pSettings->sync();
}

QString CSettingsStore::GetProblemText() const {
    return IsUsable() ? QString() : LoadQString(IDS_SETTINGS_UNUSABLE).arg(m_strFile);
}
