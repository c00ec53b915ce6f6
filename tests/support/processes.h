// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Work run in child processes, for what only separate processes show: locks held between
// programs, or a memory limit that must not bring the test itself down.

// The exit code of a child that did not end normally: a signal, an exception such as a failed
// allocation.
constexpr int CHILD_CRASHED = 126;

// Runs each function in a child process of its own; all of them start at the same moment, once
// every child is forked. The exit codes in order: what each function returned, CHILD_CRASHED for
// a child that did not end normally.
inline std::vector<int> RunAtOnce(const std::vector<std::function<int()>>& arrWork) {
    int aGo[2];
    if (::pipe(aGo) != 0) {
        return std::vector<int>(arrWork.size(), CHILD_CRASHED);
    }
    std::vector<pid_t> arrPids;
    for (const std::function<int()>& work : arrWork) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(aGo[1]);
            char c;
            while (::read(aGo[0], &c, 1) < 0) { // returns at the end of the pipe: the start
            }
            // Nothing may leave the child but its exit: an exception would go on to run the
            // rest of the test program in it.
            int nExit = CHILD_CRASHED;
            try {
                nExit = work();
            } catch (...) {
            }
            ::_exit(nExit);
        }
        arrPids.push_back(pid);
    }
    ::close(aGo[0]);
    ::close(aGo[1]);
    std::vector<int> arrExits;
    for (const pid_t pid : arrPids) {
        int nStatus = 0;
        const bool bNormal = pid > 0 && ::waitpid(pid, &nStatus, 0) == pid && WIFEXITED(nStatus);
        arrExits.push_back(bNormal ? WEXITSTATUS(nStatus) : CHILD_CRASHED);
    }
    return arrExits;
}

// AddressSanitizer reserves terabytes of address space at the start: no limit can be set there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool MEMORY_LIMITS_WORK = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool MEMORY_LIMITS_WORK = false;
#else
constexpr bool MEMORY_LIMITS_WORK = true;
#endif
#else
constexpr bool MEMORY_LIMITS_WORK = true;
#endif

// Runs the function in a child process whose address space may grow by at most nBytes beyond
// what it holds at the start (without a limit where MEMORY_LIMITS_WORK is false); its exit code,
// CHILD_CRASHED when it went over and was stopped.
inline int RunWithMemoryLimit(std::size_t nBytes, const std::function<int()>& work) {
    return RunAtOnce({[nBytes, &work] {
               if (!MEMORY_LIMITS_WORK) {
                   return work();
               }
               // The address space at the start, from the kernel's own count of the process's
               // pages.
               long nPages = 0;
               if (FILE* pFile = std::fopen("/proc/self/statm", "r")) {
                   if (std::fscanf(pFile, "%ld", &nPages) != 1) {
                       nPages = 0;
                   }
                   std::fclose(pFile);
               }
               const rlim_t nLimit = static_cast<rlim_t>(nPages) * ::sysconf(_SC_PAGESIZE) + nBytes;
               const struct rlimit limit = {nLimit, nLimit};
               if (nPages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) {
                   return CHILD_CRASHED - 1;
               }
               return work();
           }})
        .front();
}
