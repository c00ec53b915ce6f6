// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <filesystem>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Permission checks mean nothing to root: tests that need them run their checks in a child
// process as "nobody" when started as root, and as themselves otherwise.

inline bool IsRoot() {
    return ::geteuid() == 0;
}

// Opens the folder (a test's own temporary folder) to other users. Returns why the test must
// be skipped, or the empty text.
inline std::string AllowUnprivilegedAccess(const std::filesystem::path& folder) {
    if (IsRoot() && ::getpwnam("nobody") == nullptr) {
        return "running as root and there is no user nobody to drop to";
    }
    ::chmod(folder.c_str(), 0755);
    return std::string();
}

inline void ChownToUnprivileged(const std::filesystem::path& path) {
    if (const struct passwd* pUser = IsRoot() ? ::getpwnam("nobody") : nullptr) {
        ::lchown(path.c_str(), pUser->pw_uid, pUser->pw_gid);
    }
}

// The exit code of fnCheck run in a child process without privileges, 125 when the privileges
// could not be dropped, 126 when the child did not end normally.
inline int RunUnprivileged(const std::function<int()>& fnCheck) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (IsRoot()) {
            const struct passwd* pUser = ::getpwnam("nobody");
            if (pUser == nullptr || ::setgroups(0, nullptr) != 0 || ::setgid(pUser->pw_gid) != 0 ||
                ::setuid(pUser->pw_uid) != 0) {
                ::_exit(125);
            }
        }
        ::_exit(fnCheck());
    }
    int nStatus = 0;
    if (pid < 0 || ::waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus)) {
        return 126;
    }
    return WEXITSTATUS(nStatus);
}
