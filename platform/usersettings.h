// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <array>
#include <optional>
#include <string>

class CSettingsStore;

// Every persistent user setting, as loaded at start. Readers use the members directly; the
// parts that own a setting's live state write it back.
class CUserSettings {
public:
    // Value names and sections in the store: do not rename, users' files depend on them.
    static constexpr const char* SECTION_MP3 = "MP3";
    static constexpr const char* SECTION_USER = "User settings";
    static constexpr int ADDRESS_COUNT = 5;

    // Reads every member, in this order, each with its default; values are taken as stored.
    void LoadSettings(const CSettingsStore& store);

    void GetFramePlacement(int& nWidth, int& nHeight, int& nLeft, int& nTop) const;

    // The folder a new user starts in.
    static std::string DefaultFilePath();

    // The numbers stored for ViewType and DoubleClickAction: do not renumber.
    enum EViewType : int { VIEW_BY_ARTIST = 0, VIEW_BY_GENRE = 1 };
    enum EDoubleClickAction : int {
        DOUBLE_CLICK_PLAYS = 0,
        DOUBLE_CLICK_ENQUEUES = 1,
        DOUBLE_CLICK_EDITS = 2
    };

    std::string m_strFilePath;
    std::string m_strFileExt;
    int m_bShowLabels = 0;
    int m_nViewType = 0;
    std::array<std::string, ADDRESS_COUNT> m_strAddress;
    int m_nWindowWidth = 0;
    int m_nWindowHeight = 0;
    int m_nWindowLeft = 0;
    int m_nWindowTop = 0;
    int m_bFullRowSelection = 0;
    int m_nDoubleClickAction = 0;
    int m_nColumnAlignment = 0;
    int m_nSortingColumn = 0;
    int m_bKeepFileTimes = 0;
    // The editor's "Also write to the ID3v2 tag", as last left.
    int m_bAlsoWriteId3v2 = 0;
    // One of the tag codecs' names; any other text stands for the automatic rule.
    std::string m_strTagEncoding;
    // The catalogue of the folder shown is kept in the user's cache between runs.
    int m_bKeepCatalogue = 1;
    // The list's columns as the user left them: numbers separated by commas, in the list's
    // column numbers (widths by column, the columns from left to right, the hidden ones). Empty,
    // or absent, until the user first changes them; the list makes sense of them.
    std::string m_strColumnWidths;
    std::string m_strColumnOrder;
    std::optional<std::string> m_strHiddenColumns;
    // The formats of the two name dialogs, as last used; the dialogs take their default for a
    // text they cannot use.
    std::string m_strRenameFormat;
    std::string m_strTagsFromNameFormat;
};
