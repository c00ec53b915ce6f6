// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/posixio.h"

#include <cerrno>
#include <functional>
#include <string>

// File operations for renames: as a file system that cannot refuse an existing name by itself
// (m_nNoReplaceErrno), and with a step of the test's own run just before the first rename or
// link, as another program acting between the plan and the rename.
class CRenameOps final : public CFileOps {
public:
    int m_nNoReplaceErrno = 0; // 0: the system's own renameat2
    std::function<void()> m_fnBeforeRename;
    int m_nRenames = 0; // renames and links tried

    int RenameNoReplace(const char* pszFrom, const char* pszTo) override {
        Before();
        if (m_nNoReplaceErrno != 0) {
            errno = m_nNoReplaceErrno;
            return -1;
        }
        return CFileOps::RenameNoReplace(pszFrom, pszTo);
    }
    int Link(const char* pszFrom, const char* pszTo) override {
        if (m_nNoReplaceErrno == 0) {
            Before();
        }
        return CFileOps::Link(pszFrom, pszTo);
    }

private:
    void Before() {
        ++m_nRenames;
        if (m_fnBeforeRename) {
            std::function<void()> fnOnce;
            fnOnce.swap(m_fnBeforeRename);
            fnOnce();
        }
    }
};
