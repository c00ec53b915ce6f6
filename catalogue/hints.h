// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// What the document tells its views. The values are shared by every view; the views' own hints
// (panes/viewhints.h) follow these.
enum : int {
    HINT_SHOW_TRACKS = 0,   // adopt the given track list and refill
    HINT_REBUILD_BEGIN = 1, // drop every pointer to records, groups and track lists
    HINT_REBUILD_END = 2,   // the catalogue is complete again
    // A running scan filed more records: every list and group only grew at its end, and new
    // groups came at the end of the index's lists.
    HINT_TRACKS_ADDED = 6,
    // The given records show their files anew (a tag written): their rows are to be repainted;
    // no list or group changed.
    HINT_TRACKS_CHANGED = 7,
    // Records are about to be replaced in place; HINT_TRACKS_CHANGED follows, with those that
    // were. Whatever reads records elsewhere stops until then.
    HINT_TRACKS_CHANGING = 8,
};
