// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

class CFileOps;

// What becomes of one file of a rename.
enum class ERenameVerdict {
    Rename,
    Same,        // the new name is the one it has: left alone
    NoName,      // nothing is left of the new name: left alone
    Exists,      // a file of the new name is there already: refused
    TakenBefore, // a file before it in the plan takes the new name: refused
    Missing,     // nothing of that name is there any more: refused
    Duplicate,   // the same file named twice: its first mention stands for it
};

// One file's rename within its folder: the folder never changes.
struct SRenameStep {
    std::string m_strFolder; // up to and with the last '/', or empty for the current folder
    std::string m_strOldName;
    std::string m_strNewName;
    // The entry renamed, so that a rename or its undo goes to it alone.
    dev_t m_nDevice = 0;
    ino_t m_nInode = 0;
    ERenameVerdict m_eVerdict = ERenameVerdict::Missing;

    std::string OldPath() const { return m_strFolder + m_strOldName; }
    std::string NewPath() const { return m_strFolder + m_strNewName; }
    // Whether the plan refuses it (as against leaving it alone).
    bool IsRefused() const;
};

// Turns wanted names into safe ones and decides, before anything is renamed, which renames may
// go: a name is never taken from a file that has it, nor given to two files.
class CRenamePlan {
public:
    struct SWanted {
        std::string strPath; // the file as named
        std::string strStem; // its new name without the extension
    };

    // The name's stem and extension (from its last '.', none for a name that only starts with
    // one).
    static std::pair<std::string_view, std::string_view> SplitExtension(std::string_view strName);

    // The stem made fit for a name, then the extension: '/', NUL and control characters become
    // '_', spaces at either end go, and the stem is cut at a character boundary so that the name
    // takes nMaxBytes at most. Empty when nothing is left of the stem, or the name would be "."
    // or "..".
    static std::string MakeName(std::string_view strStem, std::string_view strExtension,
                                std::size_t nMaxBytes);

    // The longest name the folder's file system takes, in bytes.
    static std::size_t NameMaxOf(const std::string& strFolder);

    // One step per wanted name, in order: the first of two files wanting one name has it.
    static std::vector<SRenameStep> Make(const std::vector<SWanted>& arrWanted, CFileOps& ops);
};
