// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/playerhandoff.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/fileexception.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "platform/messagesink.h"
#include "platform/privatefolder.h"
#include "platform/shellhandoff.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char PLAYLIST_NAME[] = "~playlst.m3u";
constexpr char CACHE_FOLDER_NAME[] = "tunebrowse";
constexpr char LINE_END[] = "\r\n";

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

namespace {

// The paths of the rows a player can take, and the others apart. A link counts as what it leads
// to.
std::vector<std::string> PlayablePaths(const CTrackList& arrTracks,
                                       std::vector<std::string>& arrNotFiles) {
    std::vector<std::string> arrPlayable;
    for (std::string& strPath : AbsolutePaths(arrTracks)) {
        struct stat st;
        const bool bFile = ::stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        (bFile ? arrPlayable : arrNotFiles).push_back(std::move(strPath));
    }
    return arrPlayable;
}

// The result of a start, with the message for a refusal.
SHandoffResult Started(const SHandoffStart& start, unsigned nRefused, SHandoffResult result) {
    if (start.bStarted) {
        result.nPid = start.nPid;
        result.bEnds = start.bEnds;
    } else {
        result.nMessageId = nRefused;
    }
    return result;
}

} // namespace

std::string MakePlaylistText(const CTrackList& arrTracks) {
    return MakePlaylistText(AbsolutePaths(arrTracks));
}

std::string MakePlaylistText(const std::vector<std::string>& arrPaths) {
    std::string strText;
    for (const std::string& strPath : arrPaths) {
        // A line break inside a name would otherwise split it into entries the user never
        // chose, and M3U has no escape for it.
        strText += strPath.find_first_of("\r\n") == std::string::npos ? strPath : FileUri(strPath);
        strText += LINE_END;
    }
    return strText;
}

SPlaylistFile WritePlaylist(const std::string& strText) {
    SPlaylistFile playlist;
    const SPrivateFolder folder = OpenPrivateFolder(CACHE_FOLDER_NAME);
    const CFileDescriptor folderFd(folder.nFd);
    if (!folderFd.IsValid()) {
        playlist.strError = ErrorText(folder.strPath, folder.nError);
        return playlist;
    }
    playlist.strPath = folder.strPath + '/' + PLAYLIST_NAME;

    // Not truncated on opening: what lies there must first prove to be our own plain file. A FIFO
    // must not block the opening either.
    CFileDescriptor fd(::openat(folderFd.Get(), PLAYLIST_NAME,
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

// The arguments and environment of a new program share one limit; what a player adds of its
// own (its name, options, a shell's script) is kept room for. Paths are counted as URIs with
// every byte escaped, the longest form a hand-off gives them.
bool FitsOneCommandLine(const std::vector<std::string>& arrPaths) {
    constexpr std::size_t OWN_ARGUMENTS = 16 * 1024;
    const long nLimit = ::sysconf(_SC_ARG_MAX);
    std::size_t nUsed = OWN_ARGUMENTS;
    for (char** ppszVariable = environ; *ppszVariable != nullptr; ++ppszVariable) {
        nUsed += std::strlen(*ppszVariable) + 1 + sizeof(char*);
    }
    for (const std::string& strPath : arrPaths) {
        nUsed += 3 * strPath.size() + sizeof("file://") + sizeof(char*);
    }
    return nLimit <= 0 || nUsed <= static_cast<std::size_t>(nLimit);
}

CPlayerHandoff::~CPlayerHandoff() {
    for (const std::string& strPath : m_arrPlaylists) {
        ::unlink(strPath.c_str());
    }
}

SPlaylistFile CPlayerHandoff::WritePlaylistOf(const std::vector<std::string>& arrPaths) {
    SPlaylistFile playlist = WritePlaylist(MakePlaylistText(arrPaths));
    if (playlist.strError.empty() && std::find(m_arrPlaylists.begin(), m_arrPlaylists.end(),
                                               playlist.strPath) == m_arrPlaylists.end()) {
        m_arrPlaylists.push_back(playlist.strPath);
    }
    return playlist;
}

SHandoffResult CPlayerHandoff::Play(const CTrackList& arrTracks) {
    SHandoffResult result;
    const std::vector<std::string> arrPaths = PlayablePaths(arrTracks, result.arrNotFiles);
    if (arrPaths.empty()) {
        return result;
    }
    if (arrPaths.size() == 1 ||
        (FitsOneCommandLine(arrPaths) && m_shell.TakesSeveralFiles(arrPaths.front()))) {
        const SHandoffStart start = m_shell.Play(arrPaths);
        if (start.bOneFileOnly) {
            result.nMessageId = IDS_PLAYS_ONE_ONLY;
            return result;
        }
        return Started(start, IDS_NO_ASSOCIATION, std::move(result));
    }
    const SPlaylistFile playlist = WritePlaylistOf(arrPaths);
    if (!playlist.strError.empty()) {
        result.nMessageId = IDS_PLAYLIST_FAILED;
        result.strDetail = playlist.strError;
        return result;
    }
    return Started(m_shell.Play({playlist.strPath}), IDS_NO_M3U, std::move(result));
}

SHandoffResult CPlayerHandoff::Enqueue(const CTrackList& arrTracks) {
    SHandoffResult result;
    const std::vector<std::string> arrPaths = PlayablePaths(arrTracks, result.arrNotFiles);
    if (arrPaths.empty()) {
        return result;
    }
    if (FitsOneCommandLine(arrPaths)) {
        return Started(m_shell.Enqueue(arrPaths), IDS_NO_ENQUEUE, std::move(result));
    }
    const SPlaylistFile playlist = WritePlaylistOf(arrPaths);
    if (!playlist.strError.empty()) {
        result.nMessageId = IDS_PLAYLIST_FAILED;
        result.strDetail = playlist.strError;
        return result;
    }
    return Started(m_shell.Enqueue({playlist.strPath}), IDS_NO_ENQUEUE, std::move(result));
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
