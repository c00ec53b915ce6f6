// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// What the document tells its views. A type of its own, so that no other number passes for a
// hint; open, so that the views add hints of their own (panes/viewhints.h) after these. The
// numbers are the views' only: nothing stores them.
enum class EHint : int {};

constexpr EHint HINT_SHOW_TRACKS{0};   // adopt the given track list and refill
constexpr EHint HINT_REBUILD_BEGIN{1}; // drop every pointer to records, groups and track lists
constexpr EHint HINT_REBUILD_END{2};   // the catalogue is complete again
// A running scan filed more records: every list and group only grew at its end, and new groups
// came at the end of the index's lists.
constexpr EHint HINT_TRACKS_ADDED{6};
// The given records show their files anew (a tag written): their rows are to be repainted; no
// list or group changed.
constexpr EHint HINT_TRACKS_CHANGED{7};
// Records are about to be replaced in place; HINT_TRACKS_CHANGED follows, with those that were.
// Whatever reads records elsewhere stops until then.
constexpr EHint HINT_TRACKS_CHANGING{8};
