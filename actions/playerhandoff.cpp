// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/playerhandoff.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "platform/messagesink.h"
#include "platform/privatefolder.h"
#include "platform/shellhandoff.h"
#include "platform/textconv.h"
#include "res/strings.h"

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

std::string ErrorText(const std::string& strWhat, int nError) {
    return strWhat + ": " + std::strerror(nError);
}

SHandoffResult ResultOf(const SHandoffStart& start, unsigned nRefusal) {
    return start.bStarted ? SHandoffResult{0, {}, start.nPid, start.bEnds}
                          : SHandoffResult{nRefusal, {}};
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
    const SPrivateFolder folder = OpenPrivateFolder(CACHE_FOLDER_NAME);
    const CFileDescriptor folderFd(folder.nFd);
    if (!folderFd.IsValid()) {
        playlist.strError = folder.strError;
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
        return start.bOneFileOnly ? SHandoffResult{IDS_PLAYS_ONE_ONLY, {}}
                                  : ResultOf(start, IDS_NO_ASSOCIATION);
    }
    return ResultOf(m_shell.Play({playlist.strPath}), IDS_NO_M3U);
}

SHandoffResult CPlayerHandoff::Enqueue(const CTrackList& arrTracks) const {
    if (arrTracks.empty()) {
        return {};
    }
    return ResultOf(m_shell.Enqueue(AbsolutePaths(arrTracks)), IDS_NO_ENQUEUE);
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
