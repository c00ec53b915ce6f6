// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/hints.h"

// What the views tell each other through the document, after the document's own hints.
constexpr EHint HINT_BY_ARTIST{3};       // organise by artist
constexpr EHint HINT_BY_GENRE{4};        // organise by genre, then artist
constexpr EHint HINT_OPTIONS_CHANGED{5}; // the list options were changed
