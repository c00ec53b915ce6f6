// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/fileexception.h"

#include <cstring>

CFileException::CFileException(std::string strPath, int nErrno)
    : std::runtime_error(strPath + ": " + std::strerror(nErrno)), m_strPath(std::move(strPath)),
      m_nErrno(nErrno) {
}
