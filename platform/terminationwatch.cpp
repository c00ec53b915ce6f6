// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/terminationwatch.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int WATCHED_SIGNALS[] = {SIGTERM, SIGHUP};

// A signal handler reaches nothing but what is static: the pipe's end it writes into, -1 while
// no watch lives.
std::atomic<int> s_nWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

extern "C" void OnTerminationSignal(int nSignal) {
    const int nSavedErrno = errno;
    const int nFd = s_nWriteEnd.load();
    if (nFd >= 0) {
        const char c = static_cast<char>(nSignal);
        (void)::write(nFd, &c, 1); // a full pipe already holds a request
    }
    errno = nSavedErrno;
}

void SetHandler(void (*pfnHandler)(int)) {
    struct sigaction action = {};
    action.sa_handler = pfnHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int nSignal : WATCHED_SIGNALS) {
        ::sigaction(nSignal, &action, nullptr);
    }
}

} // namespace

CTerminationWatch::CTerminationWatch(QObject* pParent) : QObject(pParent) {
    if (s_nWriteEnd.load() >= 0 || ::pipe2(m_aPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_aPipe[0] = m_aPipe[1] = -1;
        return;
    }
    m_pNotifier = new QSocketNotifier(m_aPipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CTerminationWatch::OnReadable);
    s_nWriteEnd.store(m_aPipe[1]);
    SetHandler(&OnTerminationSignal);
}

CTerminationWatch::~CTerminationWatch() {
    if (m_pNotifier == nullptr) {
        return;
    }
    SetHandler(SIG_DFL);
    s_nWriteEnd.store(-1);
    ::close(m_aPipe[0]);
    ::close(m_aPipe[1]);
}

void CTerminationWatch::OnReadable() {
    char aSignals[16];
    const ssize_t nRead = ::read(m_aPipe[0], aSignals, sizeof aSignals);
    for (ssize_t i = 0; i < nRead; ++i) {
        Q_EMIT terminationRequested(static_cast<unsigned char>(aSignals[i]));
    }
}
