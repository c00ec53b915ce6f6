// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QRect>

// The window's outer rectangle as stored, made to fit the screen it opens on: a size larger than
// the screen's free area shrinks to it, a rectangle reaching past an edge moves inside. A stored
// rectangle that fits is kept as it is, so that stored values come back unchanged.
class CFramePlacement final {
public:
    static QRect Fit(const QRect& rectStored, const QRect& rectAvailable);
};
