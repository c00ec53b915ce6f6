// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"

class CFileOps;
class CTrackInfo;

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Tag edits from the command line: "--set FIELD=VALUE" for each field, then files. The write
// rules are the editor's: only the fields given change, the artist placeholder is never
// written, and every value is checked against its field's width before any file is touched.
class CTagSetCommand {
public:
    // The changes for one file, or nothing with why the file is left alone.
    using CChangesOf =
        std::function<std::optional<STagChanges>(const CTrackInfo&, std::string& strWhyNot)>;

    // The changes of the FIELD=VALUE texts, or nothing with strError set.
    static std::optional<STagChanges> ParseAssignments(const std::vector<std::string>& arrSets,
                                                       std::string& strError);
    // Why a value does not fit its field in the codec's bytes, or the empty text when all fit;
    // a comment set beside a track number has 28 bytes.
    static std::string CheckWidths(const STagChanges& changes, const CTagCodec& codec);
    // Why each file would lose its track number or its comment's end to the changes without
    // the command asking for it (STagChanges::SilentLoss); empty when none would. Files that
    // cannot be read are left to the write to report.
    static std::vector<std::string> CheckLosses(const STagChanges& changes,
                                                const std::vector<std::string>& arrFiles,
                                                const CTagCodec& codec, CFileOps& ops);

    // Writes the changes to each file through ops; exit code 0, 1 when a file could not be
    // written (named on pErr, the others are still written), 2 when the values are refused or
    // a file would lose a field the command does not set: then no file is written.
    static int Run(const STagChanges& changes, const std::vector<std::string>& arrFiles,
                   const CTagCodec& codec, CFileOps& ops, std::FILE* pErr);

    // Fills each file's empty ID3v1 fields from its own ID3v2 tag, with the same write rules and
    // exit codes. A file whose ID3v2 tag is refused as hostile is named on pErr and left alone;
    // the others are still filled.
    static int RunFromId3v2(const std::vector<std::string>& arrFiles, const CTagCodec& codec,
                            CFileOps& ops, std::FILE* pErr);

private:
    static int WriteEach(const std::vector<std::string>& arrFiles, const CChangesOf& changesOf,
                         const CTagCodec& codec, CFileOps& ops, std::FILE* pErr);
};
