// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// No Qt header may come into this file: GLib uses the name "signals", which Qt defines as a macro.
#include "platform/privatefolder.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder only its owner, this user, can enter.
bool IsPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

SPrivateFolder OpenRuntimeFolder() {
    SPrivateFolder folder;
    const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
    if (pszRuntime == nullptr || pszRuntime[0] != '/') {
        return folder;
    }
    const int nFd = ::open(pszRuntime, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (nFd >= 0 && ::fstat(nFd, &st) == 0 && IsPrivateFolder(st)) {
        folder.nFd = nFd;
        folder.strPath = pszRuntime;
    } else if (nFd >= 0) {
        ::close(nFd);
    }
    return folder;
}

// GLib's own lookup keeps the first answer for the life of the process; this one follows the
// variable as it is now.
std::string CacheBase() {
    if (const char* pszCache = std::getenv("XDG_CACHE_HOME");
        pszCache != nullptr && pszCache[0] == '/') {
        return pszCache;
    }
    const char* pszHome = std::getenv("HOME");
    const std::string strHome =
        pszHome != nullptr && pszHome[0] == '/' ? pszHome : g_get_home_dir();
    return strHome.empty() || strHome.front() != '/' ? "" : strHome + "/.cache";
}

SPrivateFolder OpenCacheFolder(const std::string& strName) {
    SPrivateFolder folder;
    std::string strBase = CacheBase();
    if (strBase.empty()) {
        folder.strPath = strName;
        folder.nError = ENOENT;
        return folder;
    }
    while (strBase.size() > 1 && strBase.back() == '/') {
        strBase.pop_back();
    }
    folder.strPath = strBase + '/' + strName;
    if (g_mkdir_with_parents(folder.strPath.c_str(), 0700) != 0) {
        folder.nError = errno;
        return folder;
    }
    const int nFd = ::open(folder.strPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (nFd < 0 || ::fstat(nFd, &st) != 0) {
        folder.nError = errno;
    } else if (st.st_uid != ::geteuid() || (!IsPrivateFolder(st) && ::fchmod(nFd, 0700) != 0)) {
        // A folder of ours left open to others (an older umask, a copied home) is closed
        // again; one of another user is not ours to use.
        folder.nError = EPERM;
    } else {
        folder.nFd = nFd;
        return folder;
    }
    if (nFd >= 0) {
        ::close(nFd);
    }
    return folder;
}

} // namespace

SPrivateFolder OpenPrivateFolder(const std::string& strName) {
    SPrivateFolder folder = OpenRuntimeFolder();
    return folder.nFd >= 0 ? folder : OpenCacheFolder(strName);
}
