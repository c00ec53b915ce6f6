// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/folders.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <dirent.h>

namespace {

QString NativeFolder(const QString& strFolder) {
    return strFolder.isEmpty() ? QStringLiteral("/") : strFolder;
}

} // namespace

bool CanListFolder(const QString& strFolder) {
    DIR* pDir = ::opendir(QFile::encodeName(NativeFolder(strFolder)).constData());
    if (pDir == nullptr) {
        return false;
    }
    ::closedir(pDir);
    return true;
}

SMountPoint FindMountPoint(const QString& strFolder) {
    const QString strPath = NativeFolder(strFolder);
    const QStorageInfo storage(strPath);
    SMountPoint mount;
    mount.bIsMountPoint = storage.isValid() && QDir::cleanPath(storage.rootPath()) ==
                                                   QDir::cleanPath(QDir(strPath).absolutePath());
    if (mount.bIsMountPoint) {
        mount.strVolumeName = storage.name();
    }
    return mount;
}
