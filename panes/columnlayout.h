// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string>
#include <vector>

class CUserSettings;
class QFontMetrics;
class QHeaderView;

// How the list's columns stand: each one's width, their order on screen, which are hidden. The
// first column (the file, with the row's icon) stays first and shown. Stored per user as texts
// of numbers; whatever of them is missing or makes no sense gives way to the defaults.
class CColumnLayout {
public:
    // Narrower or wider than this, a stored width is taken for damage.
    static constexpr int MIN_WIDTH = 8;
    static constexpr int MAX_WIDTH = 10000;

    // The first layout: the model's widths scaled from the font they were chosen for to
    // metrics' font, and never narrower than a fixed-form value (a size, a year) with the
    // delegate's margin, nor than the column's title (arrTitleWidths, by column).
    static CColumnLayout Defaults(const QFontMetrics& metrics,
                                  const std::vector<int>& arrTitleWidths);

    // The layout the settings hold, each part over the same part of defaults when it is missing
    // or odd: a width at a time; the order and the hidden columns as a whole.
    static CColumnLayout FromSettings(const CUserSettings& settings, const CColumnLayout& defaults);
    void StoreIn(CUserSettings& settings) const;

    // Gives the header this layout, its widths, order and hidden sections.
    void ApplyTo(QHeaderView& header) const;
    // The order the header shows, after the user moved a column.
    void TakeOrderFrom(const QHeaderView& header);

    bool operator==(const CColumnLayout& other) const {
        return m_arrWidths == other.m_arrWidths && m_arrOrder == other.m_arrOrder &&
               m_arrHidden == other.m_arrHidden;
    }

    std::vector<int> m_arrWidths; // by column, the width a hidden column comes back with
    std::vector<int> m_arrOrder;  // the columns from left to right, each once
    std::vector<bool> m_arrHidden;
};
