// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tracklist.h"

#include <string>

class CShellHandoff;
class QWidget;

// What a command leaves for the user: a text of the string table, with the text for its "%1"
// where it has one. Nothing is shown when the id is 0.
struct SHandoffResult {
    unsigned nMessageId = 0;
    std::string strDetail;
};

// The playlist Play hands over for any number of tracks but one: one line per track, its full
// path followed by CR LF, as the file system's bytes. A path holding a line break cannot be
// written as a line of its own; it is written as a file URI so that it stays one entry.
std::string MakePlaylistText(const CTrackList& arrTracks);

// Where the playlist went, or why it could not be written ("path: reason").
struct SPlaylistFile {
    std::string strPath;
    std::string strError; // empty once written
};

// Replaces the playlist "~playlst.m3u" in the user's private folder: $XDG_RUNTIME_DIR when it is
// a folder of the user's own closed to everybody else, else the program's folder in the user's
// cache (made private if it must be created). Whatever else already lies at the playlist's place
// (a link, a FIFO, another user's file) is refused, never followed or written through.
SPlaylistFile WritePlaylist(const std::string& strText);

// The Play and Enqueue commands over the selected tracks, in the list's order.
class CPlayerHandoff final {
public:
    explicit CPlayerHandoff(CShellHandoff& shell) : m_shell(shell) {}

    // Writes the playlist, then hands one track as itself and any other number of tracks as the
    // playlist. Without a playlist nothing is handed over.
    SHandoffResult Play(const CTrackList& arrTracks) const;

    // Hands the tracks over one by one and stops at the first the player refuses.
    SHandoffResult Enqueue(const CTrackList& arrTracks) const;

private:
    CShellHandoff& m_shell;
};

// Shows the message of a result, if it has one, in a box owned by the parent.
void ShowHandoffResult(QWidget* pParent, const SHandoffResult& result);
