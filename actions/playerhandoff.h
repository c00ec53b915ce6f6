// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tracklist.h"

#include <string>
#include <vector>

class CShellHandoff;
class CMessageSink;
class QWidget;

// What a command leaves for the user: a text of the string table, with the text for its "%1"
// where it has one (nothing is shown when the id is 0), and the program it started, to follow.
struct SHandoffResult {
    unsigned nMessageId = 0;
    std::string strDetail;
    int nPid = 0;
    bool bEnds = false; // the program hands the tracks over and ends: its failure always counts
    // The selected rows that are no file a player could take (a folder, a dangling link), by
    // full path: the others are handed over all the same.
    std::vector<std::string> arrNotFiles;
};

// The playlist Play hands over for several tracks to a player that takes one file: one line per
// track, its absolute path followed by CR LF, as the file system's bytes. A path holding a line
// break cannot be written as a line of its own; it is written as a file URI so that it stays one
// entry.
std::string MakePlaylistText(const CTrackList& arrTracks);
std::string MakePlaylistText(const std::vector<std::string>& arrPaths);

// Where the playlist went, or why it could not be written ("path: reason").
struct SPlaylistFile {
    std::string strPath;
    std::string strError; // empty once written
};

// The tracks' full paths, made absolute against the current folder: a relative one would be
// resolved by the player against its own folder, or the playlist's, and one starting with "-"
// read as an option.
std::vector<std::string> AbsolutePaths(const CTrackList& arrTracks);

// Replaces the playlist "~playlst.m3u" in the user's private folder: $XDG_RUNTIME_DIR when it is
// a folder of the user's own closed to everybody else, else the program's folder in the user's
// cache (made private if it must be created). Whatever else already lies at the playlist's place
// (a link, a FIFO, another user's file) is refused, never followed or written through.
SPlaylistFile WritePlaylist(const std::string& strText);

// Whether the paths, as file URIs, fit on one command line beside the environment.
bool FitsOneCommandLine(const std::vector<std::string>& arrPaths);

// The Play and Enqueue commands over the selected tracks, in the list's order. Only regular
// files are handed over; the other rows are named in the result. The playlist is written only
// when a player is to take it, and removed when the hand-off goes (with the program).
class CPlayerHandoff final {
public:
    explicit CPlayerHandoff(CShellHandoff& shell) : m_shell(shell) {}
    ~CPlayerHandoff();
    CPlayerHandoff(const CPlayerHandoff&) = delete;
    CPlayerHandoff& operator=(const CPlayerHandoff&) = delete;

    // Hands one file as itself, and several as themselves to a player that takes several files
    // at once, else as the playlist; so too, whatever the player, files beyond what one command
    // line holds. Without files nothing happens: a player given an empty playlist would empty
    // its own.
    SHandoffResult Play(const CTrackList& arrTracks);

    // Hands all the files over to the player's queue with one program, in their order; beyond
    // what one command line holds, the playlist.
    SHandoffResult Enqueue(const CTrackList& arrTracks);

private:
    // Writes the playlist of the paths, and keeps its path to remove it at the end.
    SPlaylistFile WritePlaylistOf(const std::vector<std::string>& arrPaths);

    CShellHandoff& m_shell;
    std::vector<std::string> m_arrPlaylists; // written, to be removed
};

// Shows the message of a result, if it has one, through messages.
void ShowHandoffResult(QWidget* pParent, CMessageSink& messages, const SHandoffResult& result);
