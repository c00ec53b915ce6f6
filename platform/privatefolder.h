// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string>

// A folder of this user's that no other user can enter, open, so that files are made relative
// to the descriptor and nothing can swap the folder between the check and the write. The caller
// owns the descriptor.
struct SPrivateFolder {
    int nFd = -1;
    std::string strPath;
    int nError = 0; // when no folder could be had: the errno, strPath the folder tried
};

// $XDG_RUNTIME_DIR when it is a folder of the user's own closed to everybody else, else the
// folder strName in the user's cache, made if missing and closed again if it was left open.
// The variables are read at every call: the playlist must follow the session it is made in.
SPrivateFolder OpenPrivateFolder(const std::string& strName);
