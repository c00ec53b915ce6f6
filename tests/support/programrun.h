// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Runs a program with its output going where a test wants it, as a shell would arrange: what
// QProcess cannot do (a full disk, a reader gone, few descriptors).

enum class EOutputTo {
    Pipe,       // read whole
    FirstLine,  // the reader closes the pipe after the first line, as head does
    ClosedPipe, // a pipe whose reader is gone before anything is written
    UnreadPipe, // the reader goes once output has come, having read none of it
    FullDisk,   // /dev/full
};

struct SProgramRun {
    int nExit = -1; // 128 plus the signal's number when a signal ended it
    std::string strOut;
    std::string strErr;
};

// Exit status of a run that was to obey file modes but could not: started as root without the
// right to give up root's overriding of them.
constexpr int RUN_NOT_BOUND_BY_MODES = 125;

// The program runs with settings of its own (strConfigHome), no display, SIGPIPE as a shell
// leaves it, and, when nMaxFiles is not 0, that many descriptors at most. With bObeyModes, a
// program started as root is bound by file modes as any user is (tests run as root in CI).
inline SProgramRun RunProgramWithOutput(const std::vector<std::string>& arrArgs, EOutputTo eTo,
                                        const std::string& strConfigHome, rlim_t nMaxFiles = 0,
                                        bool bObeyModes = false) {
    SProgramRun run;
    int aOut[2];
    int aErr[2];
    if (::pipe2(aOut, O_CLOEXEC) != 0 || ::pipe2(aErr, O_CLOEXEC) != 0) {
        return run;
    }
    if (eTo == EOutputTo::ClosedPipe) {
        ::close(aOut[0]);
        aOut[0] = -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nOut = eTo == EOutputTo::FullDisk ? ::open("/dev/full", O_WRONLY) : aOut[1];
        ::dup2(nOut, STDOUT_FILENO);
        ::dup2(aErr[1], STDERR_FILENO);
        ::signal(SIGPIPE, SIG_DFL);
        ::setenv("XDG_CONFIG_HOME", strConfigHome.c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (strConfigHome + "/cache").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        if (nMaxFiles != 0) {
            const struct rlimit limit = {nMaxFiles, nMaxFiles};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        // Root's capabilities after exec are those left in the bounding set.
        if (bObeyModes && ::geteuid() == 0 &&
            (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
             ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0)) {
            ::_exit(RUN_NOT_BOUND_BY_MODES);
        }
        std::vector<char*> arrArgv;
        for (const std::string& strArg : arrArgs) {
            arrArgv.push_back(const_cast<char*>(strArg.c_str()));
        }
        arrArgv.push_back(nullptr);
        ::execv(arrArgv.front(), arrArgv.data());
        ::_exit(127);
    }
    ::close(aOut[1]);
    ::close(aErr[1]);
    // Both pipes at once, so that neither fills while the other is read.
    struct pollfd aPoll[2] = {{aOut[0], POLLIN, 0}, {aErr[0], POLLIN, 0}};
    std::string* arrInto[2] = {&run.strOut, &run.strErr};
    while (aPoll[0].fd >= 0 || aPoll[1].fd >= 0) {
        if (::poll(aPoll, 2, -1) < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (aPoll[i].fd < 0 || aPoll[i].revents == 0) {
                continue;
            }
            if (i == 0 && eTo == EOutputTo::UnreadPipe) {
                ::close(aPoll[i].fd);
                aPoll[i].fd = -1;
                continue;
            }
            char aBuffer[65536];
            const ssize_t nRead = ::read(aPoll[i].fd, aBuffer, sizeof aBuffer);
            if (nRead > 0) {
                arrInto[i]->append(aBuffer, static_cast<std::size_t>(nRead));
            }
            const bool bHeadDone =
                i == 0 && eTo == EOutputTo::FirstLine && run.strOut.find('\n') != std::string::npos;
            if (nRead <= 0 || bHeadDone) {
                ::close(aPoll[i].fd);
                aPoll[i].fd = -1;
            }
        }
    }
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    run.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    return run;
}
