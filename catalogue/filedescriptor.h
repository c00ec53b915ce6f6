// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <unistd.h>

// Owns a POSIX file descriptor and closes it once.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int nFd = -1) : m_nFd(nFd) {}
    ~CFileDescriptor() { Reset(); }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    CFileDescriptor(CFileDescriptor&& other) noexcept : m_nFd(other.Release()) {}
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    int Get() const { return m_nFd; }
    bool IsValid() const { return m_nFd >= 0; }
    int Release() {
        const int nFd = m_nFd;
        m_nFd = -1;
        return nFd;
    }
    void Reset(int nFd = -1) {
        if (m_nFd >= 0) {
            ::close(m_nFd);
        }
        m_nFd = nFd;
    }

private:
    int m_nFd;
};
