// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/settingsstore.h"

#include "platform/textconv.h"
#include "res/strings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
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

enum class EWritable { Yes, No, NotOurs };

// Whether this user may write the file: a file there must be a regular file of this user's, or a
// link to one (a link to another's file would have us write into it); a file not there yet needs
// the nearest folder there to be one this user may write in.
EWritable Writability(const QString& strFile) {
    const QByteArray path = QFile::encodeName(strFile);
    struct stat st;
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (::stat(path.constData(), &st) != 0 || st.st_uid != ::geteuid()) {
            return EWritable::NotOurs;
        }
    }
    if (::stat(path.constData(), &st) == 0) {
        return ::access(path.constData(), W_OK) == 0 ? EWritable::Yes : EWritable::No;
    }
    QByteArray folder = path;
    while (!folder.isEmpty()) {
        folder.truncate(std::max<qsizetype>(folder.lastIndexOf('/'), 0));
        const QByteArray there = folder.isEmpty() ? QByteArray("/") : folder;
        if (::stat(there.constData(), &st) == 0) {
            return S_ISDIR(st.st_mode) && ::access(there.constData(), W_OK | X_OK) == 0
                       ? EWritable::Yes
                       : EWritable::No;
        }
    }
    return EWritable::No;
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
    if (!IsUsable()) {
        return;
    }
    // Without either, the file would land in /.config, which is no one's own.
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME") && qEnvironmentVariableIsEmpty("HOME")) {
        m_bWriteRefused = true;
        m_strWriteProblem = LoadQString(IDS_SETTINGS_NO_HOME);
        return;
    }
    const EWritable eWritable = Writability(m_strFile);
    m_bWriteRefused = eWritable == EWritable::NotOurs;
    if (eWritable != EWritable::Yes) {
        m_strWriteProblem = LoadQString(IDS_SETTINGS_NOT_WRITTEN).arg(m_strFile);
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

bool CSettingsStore::HasValue(const char* pszSection, const char* pszName) const {
    return Value(pszSection, pszName).isValid();
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

// Values that could not be written stay pending: a later flush, once the file can be written,
// writes them all.
void CSettingsStore::Flush() {
    if (m_pSettings == nullptr || m_bWriteRefused || m_mapPending.empty()) {
        return;
    }
    for (const auto& [strKey, value] : m_mapPending) {
        m_pSettings->setValue(strKey, value);
    }
    MakePrivate(m_strFile);
    m_pSettings->sync();
    if (m_pSettings->status() == QSettings::NoError) {
        m_mapPending.clear();
        m_strWriteProblem.clear();
        return;
    }
    m_strWriteProblem = LoadQString(IDS_SETTINGS_NOT_WRITTEN).arg(m_strFile);
}

QString CSettingsStore::GetProblemText() const {
    return IsUsable() ? QString() : LoadQString(IDS_SETTINGS_UNUSABLE).arg(m_strFile);
}
