// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/playerhandoff.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "platform/messagesink.h"
#include "platform/shellhandoff.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char PLAYLIST_NAME[] = "~playlst.m3u";
constexpr char CACHE_FOLDER_NAME[] = "tunebrowse";
constexpr char LINE_END[] = "\r\n";

std::string ErrorText(const std::string& strWhat, int nError) {
    return strWhat + ": " + std::strerror(nError);
}

std::string FileUri(const std::string& strPath) {
    static const char s_szHex[] = "0123456789ABCDEF";
    std::string strUri = "file://";
    for (const char c : strPath) {
        const auto n = static_cast<unsigned char>(c);
        if ((n >= 'A' && n <= 'Z') || (n >= 'a' && n <= 'z') || (n >= '0' && n <= '9') ||
            std::strchr("/-._~", n) != nullptr) {
            strUri += c;
        } else {
            strUri += '%';
            strUri += s_szHex[n >> 4];
            strUri += s_szHex[n & 0x0F];
        }
    }
    return strUri;
}

// A folder only its owner, this user, can enter.
bool IsPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

// The folder itself is opened and checked, and the playlist is then opened relative to it, so
// that nothing can swap the folder between the check and the write.
struct SFolder {
    CFileDescriptor fd;
    std::string strPath;
    std::string strError;
};

SFolder OpenRuntimeFolder() {
    SFolder folder;
    const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
    if (pszRuntime == nullptr || pszRuntime[0] != '/') {
        return folder;
    }
    CFileDescriptor fd(::open(pszRuntime, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (fd.IsValid() && ::fstat(fd.Get(), &st) == 0 && IsPrivateFolder(st)) {
        folder.fd = std::move(fd);
        folder.strPath = pszRuntime;
    }
    return folder;
}

std::string HomeFolder() {
    if (const char* pszHome = std::getenv("HOME"); pszHome != nullptr && pszHome[0] == '/') {
        return pszHome;
    }
    const struct passwd* pUser = ::getpwuid(::geteuid());
    return pUser != nullptr && pUser->pw_dir != nullptr ? pUser->pw_dir : "";
}

// Creates the missing folders of an absolute path, each closed to other users.
int MakeFolders(const std::string& strPath) {
    for (std::size_t nSlash = strPath.find('/', 1);; nSlash = strPath.find('/', nSlash + 1)) {
        const std::string strPart = strPath.substr(0, nSlash);
        if (::mkdir(strPart.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
        if (nSlash == std::string::npos) {
            return 0;
        }
    }
}

SFolder OpenCacheFolder() {
    SFolder folder;
    const char* pszCache = std::getenv("XDG_CACHE_HOME");
    std::string strBase = pszCache != nullptr && pszCache[0] == '/' ? pszCache : "";
    if (strBase.empty()) {
        const std::string strHome = HomeFolder();
        if (strHome.empty()) {
            folder.strError = ErrorText(PLAYLIST_NAME, ENOENT);
            return folder;
        }
        strBase = strHome + "/.cache";
    }
    while (strBase.size() > 1 && strBase.back() == '/') {
        strBase.pop_back();
    }
    folder.strPath = strBase + '/' + CACHE_FOLDER_NAME;
    if (const int nError = MakeFolders(folder.strPath)) {
        folder.strError = ErrorText(folder.strPath, nError);
        return folder;
    }
    folder.fd.Reset(
        ::open(folder.strPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!folder.fd.IsValid() || ::fstat(folder.fd.Get(), &st) != 0) {
        folder.strError = ErrorText(folder.strPath, errno);
        return folder;
    }
    // A folder of ours left open to others (an older umask, a copied home) is closed again;
    // one of another user is not ours to use.
    if (st.st_uid != ::geteuid() ||
        (!IsPrivateFolder(st) && ::fchmod(folder.fd.Get(), 0700) != 0)) {
        folder.strError = ErrorText(folder.strPath, EPERM);
    }
    return folder;
}

} // namespace

std::vector<std::string> AbsolutePaths(const CTrackList& arrTracks) {
    std::vector<std::string> arrPaths;
    arrPaths.reserve(arrTracks.size());
    for (const CTrackInfo* pTrack : arrTracks) {
        std::string strPath = pTrack->GetFullPath();
        if (strPath.empty() || strPath.front() != '/') {
            // Without a current folder the path at least cannot pass for an option.
            std::error_code error;
            const std::filesystem::path folder = std::filesystem::current_path(error);
            strPath = error ? "./" + strPath : (folder / strPath).string();
        }
        arrPaths.push_back(std::move(strPath));
    }
    return arrPaths;
}

std::string MakePlaylistText(const CTrackList& arrTracks) {
    std::string strText;
    for (const std::string& strPath : AbsolutePaths(arrTracks)) {
        // A line break inside a name would otherwise split it into entries the user never
        // chose, and M3U has no escape for it.
        strText += strPath.find_first_of("\r\n") == std::string::npos ? strPath : FileUri(strPath);
        strText += LINE_END;
    }
    return strText;
}

SPlaylistFile WritePlaylist(const std::string& strText) {
    SPlaylistFile playlist;
    SFolder folder = OpenRuntimeFolder();
    if (!folder.fd.IsValid()) {
        folder = OpenCacheFolder();
    }
    if (!folder.strError.empty()) {
        playlist.strError = folder.strError;
        return playlist;
    }
    playlist.strPath = folder.strPath + '/' + PLAYLIST_NAME;

    // Not truncated on opening: what lies there must first prove to be our own plain file. A FIFO
    // must not block the opening either.
    CFileDescriptor fd(::openat(folder.fd.Get(), PLAYLIST_NAME,
                                O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY,
                                0600));
    if (!fd.IsValid()) {
        // A link (ELOOP) or a FIFO or socket (ENXIO) occupies the place.
        playlist.strError =
            ErrorText(playlist.strPath, errno == ELOOP || errno == ENXIO ? EEXIST : errno);
        return playlist;
    }
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) {
        playlist.strError = ErrorText(playlist.strPath, errno);
        return playlist;
    }
    // A second name for the file is a hard link planted to have another file overwritten.
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        playlist.strError = ErrorText(playlist.strPath, EEXIST);
        return playlist;
    }
    if (::ftruncate(fd.Get(), 0) != 0) {
        playlist.strError = ErrorText(playlist.strPath, errno);
        return playlist;
    }
    // The playlist is written with the plain system calls, as it is opened and checked above.
    CFileOps systemCalls;
    if (const int nError = WriteAllAt(fd.Get(), strText.data(), strText.size(), 0, systemCalls)) {
        playlist.strError = ErrorText(playlist.strPath, nError);
        return playlist;
    }
    // The player opens the playlist as soon as it starts: it must be complete by then, and a
    // failing close (a full disk on a network folder) means it is not.
    if (::close(fd.Release()) != 0 && errno != EINTR) {
        playlist.strError = ErrorText(playlist.strPath, errno);
    }
    return playlist;
}

SHandoffResult CPlayerHandoff::Play(const CTrackList& arrTracks) const {
    if (arrTracks.empty()) {
        return {};
    }
    const SPlaylistFile playlist = WritePlaylist(MakePlaylistText(arrTracks));
    if (!playlist.strError.empty()) {
        return {IDS_PLAYLIST_FAILED, playlist.strError};
    }
    const std::vector<std::string> arrPaths = AbsolutePaths(arrTracks);
    if (arrPaths.size() == 1 || m_shell.TakesSeveralFiles(arrPaths.front())) {
        const SHandoffStart start = m_shell.Play(arrPaths);
        return start.bStarted ? SHandoffResult{0, {}, start.nPid}
                              : SHandoffResult{IDS_NO_ASSOCIATION, {}};
    }
    const SHandoffStart start = m_shell.Play({playlist.strPath});
    return start.bStarted ? SHandoffResult{0, {}, start.nPid} : SHandoffResult{IDS_NO_M3U, {}};
}

SHandoffResult CPlayerHandoff::Enqueue(const CTrackList& arrTracks) const {
    if (arrTracks.empty()) {
        return {};
    }
    const SHandoffStart start = m_shell.Enqueue(AbsolutePaths(arrTracks));
    return start.bStarted ? SHandoffResult{0, {}, start.nPid} : SHandoffResult{IDS_NO_ENQUEUE, {}};
}

void ShowHandoffResult(QWidget* pParent, CMessageSink& messages, const SHandoffResult& result) {
    if (result.nMessageId == 0) {
        return;
    }
    if (result.strDetail.empty()) {
        messages.Show(pParent, LoadQString(result.nMessageId));
    } else {
        messages.Show(pParent, LoadQString(result.nMessageId).arg(ToQString(result.strDetail)));
    }
}
