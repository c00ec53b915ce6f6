// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/threadstarter.h"

#include <new>
#include <system_error>
#include <utility>

std::thread CThreadStarter::Start(std::function<void()> fnRun) {
    // The system refuses a thread with EAGAIN; the thread's own state may not find memory.
    try {
        return std::thread(std::move(fnRun));
    } catch (const std::system_error&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

CThreadStarter& CThreadStarter::Default() {
    static CThreadStarter s_starter;
    return s_starter;
}
