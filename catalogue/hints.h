// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// What the document and the panes tell each other. The values are shared by every view.
enum : int {
    HINT_SHOW_TRACKS = 0,     // adopt the given track list and refill
    HINT_REBUILD_BEGIN = 1,   // drop every pointer to records, groups and track lists
    HINT_REBUILD_END = 2,     // the catalogue is complete again
    HINT_BY_ARTIST = 3,       // organise by artist
    HINT_BY_GENRE = 4,        // organise by genre, then artist
    HINT_OPTIONS_CHANGED = 5, // the list options were changed
};
