// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QString>

#include <string>

// Folder paths as the catalogue uses them: the bytes the system gave, "/" separated, no trailing
// "/", and the empty path for the file system root. They become text only to be shown.

// The folder a typed address names: "~" and "~/..." under strHome, any other relative path under
// strBase (the folder shown), with "." and ".." steps and doubled "/" taken out.
std::string ResolveFolder(const std::string& strTyped, const std::string& strBase,
                          const std::string& strHome);

// 0 when the folder can be opened for listing (the test an address must pass before a scan),
// else the errno of the attempt.
int FolderError(const std::string& strFolder);
bool CanListFolder(const std::string& strFolder);

// A path as the user reads it: names that are not UTF-8 show their bytes as best they can.
QString DisplayPath(const std::string& strFolder);
std::string PathOfDisplay(const QString& strText);

// The volume mounted exactly at the folder, if any.
struct SMountPoint {
    bool bIsMountPoint = false;
    QString strVolumeName; // empty when the volume has no name
};
SMountPoint FindMountPoint(const std::string& strFolder);
