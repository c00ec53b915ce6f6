// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/columnlayout.h"

#include "panes/fullrowdelegate.h"
#include "panes/tracklistmodel.h"
#include "platform/usersettings.h"

#include <QFontMetrics>
#include <QHeaderView>

#include <algorithm>
#include <charconv>
#include <numeric>
#include <optional>
#include <string_view>

namespace {

constexpr int COLUMNS = CTrackListModel::COLUMN_COUNT;

// The widths were chosen for a font whose letters average 6 pixels, measured as dialog layouts
// measure them: the 52 letters' width halved, then over 26, rounded.
constexpr int REFERENCE_LETTER_WIDTH = 6;

int AverageLetterWidth(const QFontMetrics& metrics) {
    const int nLetters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return std::max(1, (nLetters / 26 + 1) / 2);
}

// Numbers separated by commas, spaces around them allowed; an item that is no number is none.
std::vector<std::optional<int>> ParseNumbers(std::string_view strText) {
    std::vector<std::optional<int>> arrNumbers;
    while (!strText.empty()) {
        const std::size_t nComma = strText.find(',');
        std::string_view strItem = strText.substr(0, nComma);
        strText =
            nComma == std::string_view::npos ? std::string_view() : strText.substr(nComma + 1);
        while (!strItem.empty() && strItem.front() == ' ') {
            strItem.remove_prefix(1);
        }
        while (!strItem.empty() && strItem.back() == ' ') {
            strItem.remove_suffix(1);
        }
        int nValue = 0;
        const auto [pEnd, eError] =
            std::from_chars(strItem.data(), strItem.data() + strItem.size(), nValue);
        const bool bNumber =
            !strItem.empty() && eError == std::errc() && pEnd == strItem.data() + strItem.size();
        arrNumbers.push_back(bNumber ? std::optional<int>(nValue) : std::nullopt);
    }
    return arrNumbers;
}

// The numbers of a list that must hold nothing else.
std::optional<std::vector<int>> ParseList(std::string_view strText) {
    std::vector<int> arrNumbers;
    for (const std::optional<int>& nNumber : ParseNumbers(strText)) {
        if (!nNumber) {
            return std::nullopt;
        }
        arrNumbers.push_back(*nNumber);
    }
    return arrNumbers;
}

std::string JoinNumbers(const std::vector<int>& arrNumbers) {
    std::string strText;
    for (const int nNumber : arrNumbers) {
        strText += (strText.empty() ? "" : ",") + std::to_string(nNumber);
    }
    return strText;
}

bool IsColumn(int nColumn) {
    return nColumn >= 0 && nColumn < COLUMNS;
}

// Every column once, the first one first. A layout stored by a later version may lack none of
// ours; one from an earlier version may lack columns added since: they go at the right end.
std::optional<std::vector<int>> ReadOrder(const std::string& strStored) {
    const std::optional<std::vector<int>> arrStored = ParseList(strStored);
    if (!arrStored || arrStored->empty() || arrStored->front() != 0) {
        return std::nullopt;
    }
    std::vector<int> arrOrder;
    std::vector<bool> arrSeen(COLUMNS, false);
    for (const int nColumn : *arrStored) {
        if (!IsColumn(nColumn) || arrSeen[nColumn]) {
            return std::nullopt;
        }
        arrSeen[nColumn] = true;
        arrOrder.push_back(nColumn);
    }
    for (int nColumn = 0; nColumn < COLUMNS; ++nColumn) {
        if (!arrSeen[nColumn]) {
            arrOrder.push_back(nColumn);
        }
    }
    return arrOrder;
}

std::optional<std::vector<bool>> ReadHidden(const std::string& strStored) {
    const std::optional<std::vector<int>> arrStored = ParseList(strStored);
    if (!arrStored) {
        return std::nullopt;
    }
    std::vector<bool> arrHidden(COLUMNS, false);
    for (const int nColumn : *arrStored) {
        if (!IsColumn(nColumn) || nColumn == 0) {
            return std::nullopt;
        }
        arrHidden[nColumn] = true;
    }
    return arrHidden;
}

} // namespace

CColumnLayout CColumnLayout::Defaults(const QFontMetrics& metrics,
                                      const std::vector<int>& arrTitleWidths) {
    const int nLetter = AverageLetterWidth(metrics);
    CColumnLayout layout;
    for (int nColumn = 0; nColumn < COLUMNS; ++nColumn) {
        const int nScaled =
            (CTrackListModel::DefaultColumnWidth(nColumn) * nLetter + REFERENCE_LETTER_WIDTH / 2) /
            REFERENCE_LETTER_WIDTH;
        const QString strWidest = CTrackListModel::WidestValue(nColumn);
        const int nValue = strWidest.isEmpty() ? 0
                                               : metrics.horizontalAdvance(strWidest) +
                                                     CFullRowDelegate::OTHER_MARGIN;
        const int nTitle = static_cast<std::size_t>(nColumn) < arrTitleWidths.size()
                               ? arrTitleWidths[static_cast<std::size_t>(nColumn)]
                               : 0;
        layout.m_arrWidths.push_back(std::max({nScaled, nValue, nTitle}));
        layout.m_arrHidden.push_back(CTrackListModel::IsHiddenByDefault(nColumn));
    }
    layout.m_arrOrder.resize(COLUMNS);
    std::iota(layout.m_arrOrder.begin(), layout.m_arrOrder.end(), 0);
    return layout;
}

CColumnLayout CColumnLayout::FromSettings(const CUserSettings& settings,
                                          const CColumnLayout& defaults) {
    CColumnLayout layout = defaults;
    const std::vector<std::optional<int>> arrWidths = ParseNumbers(settings.m_strColumnWidths);
    for (std::size_t nColumn = 0; nColumn < std::min<std::size_t>(arrWidths.size(), COLUMNS);
         ++nColumn) {
        const std::optional<int> nWidth = arrWidths[nColumn];
        if (nWidth && *nWidth >= MIN_WIDTH && *nWidth <= MAX_WIDTH) {
            layout.m_arrWidths[nColumn] = *nWidth;
        }
    }
    layout.m_arrOrder = ReadOrder(settings.m_strColumnOrder).value_or(defaults.m_arrOrder);
    if (settings.m_strHiddenColumns) {
        layout.m_arrHidden =
            ReadHidden(*settings.m_strHiddenColumns).value_or(defaults.m_arrHidden);
    }
    return layout;
}

void CColumnLayout::StoreIn(CUserSettings& settings) const {
    std::vector<int> arrHidden;
    for (int nColumn = 0; nColumn < COLUMNS; ++nColumn) {
        if (m_arrHidden[nColumn]) {
            arrHidden.push_back(nColumn);
        }
    }
    settings.m_strColumnWidths = JoinNumbers(m_arrWidths);
    settings.m_strColumnOrder = JoinNumbers(m_arrOrder);
    settings.m_strHiddenColumns = JoinNumbers(arrHidden);
}

void CColumnLayout::ApplyTo(QHeaderView& header) const {
    for (int nColumn = 0; nColumn < std::min(COLUMNS, header.count()); ++nColumn) {
        header.resizeSection(nColumn, m_arrWidths[nColumn]);
        header.setSectionHidden(nColumn, m_arrHidden[nColumn]);
    }
    for (int nVisual = 0; nVisual < std::min(COLUMNS, header.count()); ++nVisual) {
        header.moveSection(header.visualIndex(m_arrOrder[nVisual]), nVisual);
    }
}

void CColumnLayout::TakeOrderFrom(const QHeaderView& header) {
    for (int nVisual = 0; nVisual < std::min(COLUMNS, header.count()); ++nVisual) {
        m_arrOrder[nVisual] = header.logicalIndex(nVisual);
    }
}
