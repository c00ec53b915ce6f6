// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QString>

// Folder paths as the catalogue uses them: "/" separated, no trailing "/", and the empty path
// for the file system root.

// Whether the folder can be opened for listing: the test an address must pass before a scan.
bool CanListFolder(const QString& strFolder);

// The volume mounted exactly at the folder, if any.
struct SMountPoint {
    bool bIsMountPoint = false;
    QString strVolumeName; // empty when the volume has no name
};
SMountPoint FindMountPoint(const QString& strFolder);
