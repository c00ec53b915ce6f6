// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/folders.h"

#include <QFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace {

std::string NativeFolder(const std::string& strFolder) {
    return strFolder.empty() ? std::string("/") : strFolder;
}

// The mount table writes space, TAB, line feed and backslash as octal escapes.
std::string UnescapeMountField(const std::string& strField) {
    std::string strOut;
    for (std::size_t i = 0; i < strField.size(); ++i) {
        const bool bOctal = strField[i] == '\\' && i + 3 < strField.size() &&
                            std::all_of(strField.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                        strField.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                                        [](char c) { return c >= '0' && c <= '7'; });
        if (bOctal) {
            strOut += static_cast<char>(std::stoi(strField.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            strOut += strField[i];
        }
    }
    return strOut;
}

// What is mounted exactly at the path (its source, such as /dev/sda1), the last mount there
// winning; nothing when no mount is there.
std::optional<std::string> MountSourceAt(const std::string& strPath) {
    std::ifstream table("/proc/self/mountinfo");
    std::optional<std::string> strSource;
    std::string strLine;
    while (std::getline(table, strLine)) {
        std::istringstream fields(strLine);
        std::string strId, strParent, strDevice, strRoot, strMountPoint;
        fields >> strId >> strParent >> strDevice >> strRoot >> strMountPoint;
        if (UnescapeMountField(strMountPoint) != strPath) {
            continue;
        }
        // Optional fields end with a lone "-", followed by the type and the source.
        std::string strField;
        while (fields >> strField && strField != "-") {
        }
        std::string strType, strFrom;
        fields >> strType >> strFrom;
        strSource = UnescapeMountField(strFrom);
    }
    return strSource;
}

// The label of the device, as /dev/disk/by-label names it with "\xHH" for unsafe bytes.
QString VolumeLabel(const std::string& strDevice) {
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(strDevice, error);
    if (error) {
        return {};
    }
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
        std::error_code linkError;
        if (std::filesystem::canonical(entry.path(), linkError) != device || linkError) {
            continue;
        }
        const std::string strName = entry.path().filename().string();
        QByteArray label;
        for (std::size_t i = 0; i < strName.size(); ++i) {
            const bool bHex = strName.compare(i, 2, "\\x") == 0 && i + 3 < strName.size() &&
                              std::isxdigit(static_cast<unsigned char>(strName[i + 2])) &&
                              std::isxdigit(static_cast<unsigned char>(strName[i + 3]));
            if (bHex) {
                label += static_cast<char>(std::stoi(strName.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else {
                label += strName[i];
            }
        }
        return QString::fromUtf8(label);
    }
    return {};
}

} // namespace

std::string ResolveFolder(const std::string& strTyped, const std::string& strBase,
                          const std::string& strHome) {
    std::string strPath = strTyped;
    if (strPath == "~" || strPath.rfind("~/", 0) == 0) {
        strPath.replace(0, 1, strHome);
    }
    if (strPath.empty() || strPath[0] != '/') {
        strPath = strBase + '/' + strPath;
    }
    // The steps are taken out by name, bytes unchanged: a folder name need not be text.
    std::string strFolder = std::filesystem::path(strPath).lexically_normal().native();
    while (!strFolder.empty() && strFolder.back() == '/') {
        strFolder.pop_back();
    }
    return strFolder;
}

int FolderError(const std::string& strFolder) {
    DIR* pDir = ::opendir(NativeFolder(strFolder).c_str());
    if (pDir == nullptr) {
        return errno != 0 ? errno : EIO;
    }
    ::closedir(pDir);
    return 0;
}

bool CanListFolder(const std::string& strFolder) {
    return FolderError(strFolder) == 0;
}

QString DisplayPath(const std::string& strFolder) {
    return QFile::decodeName(QByteArray::fromStdString(strFolder));
}

std::string PathOfDisplay(const QString& strText) {
    return QFile::encodeName(strText).toStdString();
}

// The mount table and the device links under /dev are read, never the folder itself: a share
// that stopped answering would hold the caller, which is the window's thread.
SMountPoint FindMountPoint(const std::string& strFolder) {
    SMountPoint mount;
    const std::optional<std::string> strSource = MountSourceAt(NativeFolder(strFolder));
    if (!strSource) {
        return mount;
    }
    mount.bIsMountPoint = true;
    mount.strVolumeName = VolumeLabel(*strSource);
    return mount;
}
