// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/mutex.h"
#include "catalogue/threadsafety.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// Holds a CMutex for its scope, and may let go of it for a while (work done without the lock,
// a wait). Waits return at any wake-up, spurious ones included: callers loop on their condition,
// written in the function that holds the lock so that the check sees what it reads.
class SCOPED_CAPABILITY CMutexLock {
public:
    explicit CMutexLock(CMutex& mutex) ACQUIRE(mutex) : m_lock(mutex.m_mutex) {}
    ~CMutexLock() RELEASE() {}
    CMutexLock(const CMutexLock&) = delete;
    CMutexLock& operator=(const CMutexLock&) = delete;

    void Unlock() RELEASE() { m_lock.unlock(); }
    void Lock() ACQUIRE() { m_lock.lock(); }

    void Wait(std::condition_variable& cv) { cv.wait(m_lock); }
    // False once tDeadline has passed.
    bool WaitUntil(std::condition_variable& cv, std::chrono::steady_clock::time_point tDeadline) {
        return cv.wait_until(m_lock, tDeadline) == std::cv_status::no_timeout;
    }

private:
    std::unique_lock<std::mutex> m_lock;
};
