// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class CFileOps;
class CNameFormat;
class CTagCodec;
struct SRenameStep;

// File names from tags on the command line: "--rename FORMAT", then files.
class CRenameCommand {
public:
    // Renames each file to the format made of its tag, within its folder, never over another
    // file. Exit code 0, or 1 when a file was refused, could not be read or renamed (each named
    // on pErr, the others still renamed). A dry run prints "old → new" for each file it would
    // rename, refuses what a real run would, with the same code, and renames nothing.
    static int Run(const CNameFormat& format, const std::vector<std::string>& arrFiles,
                   const CTagCodec& codec, bool bDryRun, CFileOps& ops, std::FILE* pOut,
                   std::FILE* pErr);

    // Why the plan refuses the step; empty when it does not.
    static std::string Refusal(const SRenameStep& step);
};
