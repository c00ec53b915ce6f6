// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/fileexception.h"

#include <cstring>

std::string ErrorText(const std::string& strPath, int nErrno) {
    return strPath + ": " + std::strerror(nErrno);
}

CFileException::CFileException(std::string strPath, int nErrno)
    : std::runtime_error(ErrorText(strPath, nErrno)), m_strPath(std::move(strPath)),
      m_nErrno(nErrno) {
}
