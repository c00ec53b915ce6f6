// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagcodec.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class CFileOps;

// What the user asked for on the command line.
class CCommandLine {
public:
    enum class EMode {
        Window,
        List,
        Tree,
        Set,
        SetFromId3v2,
        Rename,
        TagsFromName,
        Help,
        Version,
        Usage
    };

    // Anything malformed gives EMode::Usage with m_strError set.
    static CCommandLine Parse(const std::vector<std::string>& arrArgs);

    // Runs the modes that need no display; returns the process exit code.
    int RunWithoutWindow(std::FILE* pOut, std::FILE* pErr) const;

    EMode m_eMode = EMode::Window;
    std::optional<std::string> m_strFolder;
    std::optional<std::string> m_strPattern;
    std::optional<std::string> m_strEncoding;
    std::vector<std::string> m_arrSets;  // FIELD=VALUE, in order
    std::vector<std::string> m_arrFiles; // the files --set writes or --rename renames
    // The name format of --rename or --tags-from-name.
    std::optional<std::string> m_strFormat;
    bool m_bRename = false;
    bool m_bFromId3v2 = false;
    bool m_bByGenre = false;
    bool m_bKeepTimes = false; // also on when the stored option says so
    bool m_bDryRun = false;
    bool m_bAlsoId3v2 = false;
    std::string m_strError;

private:
    CTagCodec Codec() const;
    int RunSet(CFileOps& ops, std::FILE* pOut, std::FILE* pErr) const;
    int RunNames(CFileOps& ops, std::FILE* pOut, std::FILE* pErr) const;
    // Whether the mode reads and changes the files named (or the files of the folders named).
    bool ChangesFiles() const;
    // The files named, each folder among them replaced by the files of its tree that the
    // pattern matches, in scan order.
    std::vector<std::string> FilesToSet(const std::string& strPattern, CFileOps& ops) const;
};
