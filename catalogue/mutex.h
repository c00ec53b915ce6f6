// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/threadsafety.h"

#include <mutex>

class CMutexLock;

// A std::mutex that clang's lock checks know as one: libstdc++'s own carries no annotations.
// It is locked only through CMutexLock, which also waits on condition variables.
class CAPABILITY("mutex") CMutex {
public:
    CMutex() = default;
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

private:
    friend class CMutexLock;
    std::mutex m_mutex;
};
