// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/filerenamer.h"

#include "catalogue/posixio.h"
#include "catalogue/renameplan.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>

namespace {

bool CannotRefuseExisting(int nErrno) {
    return nErrno == EINVAL || nErrno == ENOSYS || nErrno == EOPNOTSUPP;
}

SRenameOutcome Outcome(ERenameResult eResult, int nErrno = 0) {
    return {eResult, nErrno};
}

SRenameOutcome FailureOf(int nErrno) {
    return Outcome(nErrno == EEXIST ? ERenameResult::Exists : ERenameResult::Failed, nErrno);
}

} // namespace

SRenameOutcome CFileRenamer::Rename(const SRenameStep& step) const {
    return Move(step, false);
}

SRenameOutcome CFileRenamer::Undo(const SRenameStep& step) const {
    return Move(step, true);
}

bool CFileRenamer::LeadsToStepFile(const char* pszPath, const SRenameStep& step) const {
    struct stat st;
    return m_ops.Lstat(pszPath, &st) == 0 && st.st_dev == step.m_nDevice &&
           st.st_ino == step.m_nInode;
}

SRenameOutcome CFileRenamer::Move(const SRenameStep& step, bool bBack) const {
    const std::string strFrom = bBack ? step.NewPath() : step.OldPath();
    const std::string strTo = bBack ? step.OldPath() : step.NewPath();
    if (!LeadsToStepFile(strFrom.c_str(), step)) {
        return Outcome(ERenameResult::Changed);
    }
    if (m_ops.RenameNoReplace(strFrom.c_str(), strTo.c_str()) == 0) {
        return Outcome(ERenameResult::Renamed);
    }
    if (!CannotRefuseExisting(errno)) {
        return FailureOf(errno);
    }
    if (m_ops.Link(strFrom.c_str(), strTo.c_str()) != 0) {
        return FailureOf(errno);
    }
    // The old name goes only while it still leads to the file now under both names: whatever
    // took its place meanwhile is not ours to remove. The file keeps a name whatever fails.
    if (!LeadsToStepFile(strFrom.c_str(), step)) {
        m_ops.Unlink(strTo.c_str());
        return Outcome(ERenameResult::Changed);
    }
    if (m_ops.Unlink(strFrom.c_str()) != 0) {
        const int nErrno = errno;
        m_ops.Unlink(strTo.c_str());
        return Outcome(ERenameResult::Failed, nErrno);
    }
    return Outcome(ERenameResult::Renamed);
}
