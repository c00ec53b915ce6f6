// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <Qt>

// Roles a model of the list may answer beyond Qt's own; the views read them, any model may leave
// them out.

// A Qt::TextElideMode, as an int: where a cell's text too wide for its column loses characters.
// Qt's option carries one mode for a whole view; a column may want its own.
constexpr int ELIDE_MODE_ROLE = Qt::UserRole + 16;
