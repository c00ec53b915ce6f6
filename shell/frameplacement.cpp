// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/frameplacement.h"

#include <algorithm>

namespace {

// Too small to use, or not a size at all: the size a new user gets.
constexpr int MIN_WIDTH = 200;
constexpr int MIN_HEIGHT = 150;
constexpr int DEFAULT_WIDTH = 600;
constexpr int DEFAULT_HEIGHT = 400;

int FitSpan(int nStart, int nLength, int nAreaStart, int nAreaLength) {
    return std::clamp(nStart, nAreaStart, nAreaStart + nAreaLength - nLength);
}

} // namespace

QRect CFramePlacement::Fit(const QRect& rectStored, const QRect& rectAvailable) {
    if (rectAvailable.isEmpty() || rectAvailable.contains(rectStored)) {
        return rectStored;
    }
    int nWidth = rectStored.width() < MIN_WIDTH ? DEFAULT_WIDTH : rectStored.width();
    int nHeight = rectStored.height() < MIN_HEIGHT ? DEFAULT_HEIGHT : rectStored.height();
    nWidth = std::min(nWidth, rectAvailable.width());
    nHeight = std::min(nHeight, rectAvailable.height());
    return QRect(FitSpan(rectStored.left(), nWidth, rectAvailable.left(), rectAvailable.width()),
                 FitSpan(rectStored.top(), nHeight, rectAvailable.top(), rectAvailable.height()),
                 nWidth, nHeight);
}
