// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/posixio.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

// The system's file operations, but failing the opens of names that start with "denied"
// (EACCES), "gone" (ENOENT) or "io" (EIO), as a share refusing them would; with m_nDelayMs, every
// read waits that long, so that readers pile up holding their files.
class CRefusingOps final : public CFileOps {
public:
    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        return Refuse(pszPath) ? -1 : CFileOps::OpenAt(nDirFd, pszPath, nFlags);
    }
    ssize_t Pread(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nDelayMs));
        return CFileOps::Pread(nFd, pBuffer, nCount, nOffset);
    }
    int OpenFolderAt(int nDirFd, const char* pszPath) override {
        return Refuse(pszPath) ? -1 : CFileOps::OpenFolderAt(nDirFd, pszPath);
    }

    int m_nDelayMs = 0;

private:
    static bool Refuse(const char* pszPath) {
        const std::string strName = pszPath;
        errno = strName.rfind("gone", 0) == 0 ? ENOENT : strName.rfind("io", 0) == 0 ? EIO : EACCES;
        return strName.rfind("denied", 0) == 0 || strName.rfind("gone", 0) == 0 ||
               strName.rfind("io", 0) == 0;
    }
};
