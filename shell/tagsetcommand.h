// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"

class CFileOps;
class CNameFormat;
class CTrackInfo;
struct STagWriteResult;

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
    struct SOptions {
        bool m_bKeepTimes = false; // each file keeps its modification time
        // Each file is looked at as for a write, what would change is printed, nothing written.
        bool m_bDryRun = false;
        bool m_bAlsoId3v2 = false; // the fields set go into each file's ID3v2 tag too
    };

    // The changes for one file, or nothing with why the file is left alone.
    using CChangesOf =
        std::function<std::optional<STagChanges>(const CTrackInfo&, std::string& strWhyNot)>;

    // The changes of the FIELD=VALUE texts, or nothing with strError set.
    static std::optional<STagChanges> ParseAssignments(const std::vector<std::string>& arrSets,
                                                       std::string& strError);
    // Why each file would lose its track number or its comment's end to the changes without
    // the command asking for it (STagChanges::SilentLoss); empty when none would. Files that
    // cannot be read are left to the write to report.
    static std::vector<std::string> CheckLosses(const STagChanges& changes,
                                                const std::vector<std::string>& arrFiles,
                                                const CTagCodec& codec, CFileOps& ops);

    // Writes the changes to each file through ops; exit code 0, 1 when a file could not be
    // written or could not keep its time when asked to (named on pErr, the others are still
    // written), 2 when the values are refused or a file would lose a field the command does not
    // set: then no file is written. A dry run gives the same codes and prints on pOut, per file,
    // each field that would change.
    static int Run(const STagChanges& changes, const std::vector<std::string>& arrFiles,
                   const CTagCodec& codec, const SOptions& options, CFileOps& ops, std::FILE* pOut,
                   std::FILE* pErr);

    // Fills each file's empty ID3v1 fields from its own ID3v2 tag, with the same write rules and
    // exit codes. A file whose ID3v2 tag is refused as hostile is named on pErr and left alone;
    // the others are still filled.
    static int RunFromId3v2(const std::vector<std::string>& arrFiles, const CTagCodec& codec,
                            const SOptions& options, CFileOps& ops, std::FILE* pOut,
                            std::FILE* pErr);

    // Writes into each file's tag the fields found in its name without the extension (a name
    // that is not UTF-8 is read in the codec's code page), under the same rules and exit codes
    // as Run, except that a name that does not match, a value refused or a field that would be
    // lost only skip that file (named on pErr, exit code 1): each file has values of its own.
    static int RunFromNames(const CNameFormat& format, const std::vector<std::string>& arrFiles,
                            const CTagCodec& codec, const SOptions& options, CFileOps& ops,
                            std::FILE* pOut, std::FILE* pErr);

    // What a dry run prints for one file: its path, then each field whose shown value the write
    // changes, as "  field: 'old' → 'new'".
    static std::string DescribeChange(const std::string& strPath, const STagWriteResult& result,
                                      const CTagCodec& codec);

private:
    static int WriteEach(const std::vector<std::string>& arrFiles, const CChangesOf& changesOf,
                         const CTagCodec& codec, const SOptions& options, CFileOps& ops,
                         std::FILE* pOut, std::FILE* pErr);
};
