// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <stdexcept>
#include <string>

// What the user reads of a failed file operation: the path, then the system's reason.
std::string ErrorText(const std::string& strPath, int nErrno);

// A file that was opened could not be read or written to the end: the caller must hear of it.
class CFileException : public std::runtime_error {
public:
    CFileException(std::string strPath, int nErrno);

    const std::string& GetPath() const { return m_strPath; }
    int GetErrno() const { return m_nErrno; }

private:
    std::string m_strPath;
    int m_nErrno;
};
