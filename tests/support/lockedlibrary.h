// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "tests/support/programrun.h"
#include "tests/support/testfiles.h"

#include <filesystem>
#include <functional>
#include <vector>

// A library some of whose files and folders the system refuses to open: a.mp3 and locked.mp3,
// tagged by "Ann", and Locked/inside.mp3, untagged.
inline void WriteLockableLibrary(const std::filesystem::path& root) {
    WriteBytes(root / "a.mp3", Audio(300) + MakeTag("Song", "Ann"));
    WriteBytes(root / "locked.mp3", Audio(300) + MakeTag("Hidden", "Ann"));
    WriteBytes(root / "Locked" / "inside.mp3", Audio(300));
}

// The run fnRun makes with the entries arrLocked below root at mode 000, given back afterwards.
inline SProgramRun RunWithLocked(const std::filesystem::path& root,
                                 const std::vector<const char*>& arrLocked,
                                 const std::function<SProgramRun()>& fnRun) {
    namespace fs = std::filesystem;
    for (const char* pszLocked : arrLocked) {
        fs::permissions(root / pszLocked, fs::perms::none);
    }
    SProgramRun run = fnRun();
    for (const char* pszLocked : arrLocked) {
        fs::permissions(root / pszLocked, fs::perms(0755));
    }
    return run;
}
