// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

struct SRenameStep;
class CFileOps;

enum class ERenameResult {
    Renamed,
    Exists,  // a file of the name it was to take is there: nothing was renamed
    Changed, // the name no longer leads to the file that was planned (moved or replaced)
    Failed,  // the file system refused (errno given)
};

struct SRenameOutcome {
    ERenameResult m_eResult = ERenameResult::Failed;
    int m_nErrno = 0;
};

// Renames files within their folder, never over another file: where the file system cannot
// refuse an existing name by itself, a second name is made (which fails on an existing one) and
// the first removed.
class CFileRenamer {
public:
    explicit CFileRenamer(CFileOps& ops) : m_ops(ops) {}

    // The step's old name to its new one, when the old name still leads to the planned file.
    SRenameOutcome Rename(const SRenameStep& step) const;
    // Takes a rename back, when the new name still leads to the file renamed.
    SRenameOutcome Undo(const SRenameStep& step) const;

private:
    SRenameOutcome Move(const SRenameStep& step, bool bBack) const;
    bool LeadsToStepFile(const char* pszPath, const SRenameStep& step) const;

    CFileOps& m_ops;
};
