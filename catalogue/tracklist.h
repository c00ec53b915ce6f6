// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <vector>

class CTrackInfo;

// The complete list of a scan and every group's list: pointers to records the document owns.
using CTrackList = std::vector<CTrackInfo*>;
