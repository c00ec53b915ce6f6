// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/folders.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <vector>

namespace {

std::string NativeFolder(const std::string& strFolder) {
    return strFolder.empty() ? std::string("/") : strFolder;
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
    // Steps are taken out by name, bytes unchanged: a folder name need not be text.
    std::vector<std::string> arrSteps;
    std::size_t nStart = 0;
    while (nStart <= strPath.size()) {
        const std::size_t nEnd = std::min(strPath.find('/', nStart), strPath.size());
        const std::string strStep = strPath.substr(nStart, nEnd - nStart);
        if (strStep == "..") {
            if (!arrSteps.empty()) {
                arrSteps.pop_back();
            }
        } else if (!strStep.empty() && strStep != ".") {
            arrSteps.push_back(strStep);
        }
        nStart = nEnd + 1;
    }
    std::string strFolder;
    for (const std::string& strStep : arrSteps) {
        strFolder += '/' + strStep;
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

SMountPoint FindMountPoint(const std::string& strFolder) {
    const QString strPath = DisplayPath(NativeFolder(strFolder));
    const QStorageInfo storage(strPath);
    SMountPoint mount;
    mount.bIsMountPoint = storage.isValid() && QDir::cleanPath(storage.rootPath()) ==
                                                   QDir::cleanPath(QDir(strPath).absolutePath());
    if (mount.bIsMountPoint) {
        mount.strVolumeName = storage.name();
    }
    return mount;
}
