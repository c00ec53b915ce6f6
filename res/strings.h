// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string>
#include <vector>

// The program's own texts, in English and French, keyed by their numeric ids.
// These ids are shared with the menus and commands: do not renumber them.

enum class ELanguage { English, French };

enum : unsigned {
    IDS_PROPERTIES = 102,
    IDS_COL_FILE = 103,
    IDS_COL_LOCATION = 104,
    IDS_COL_TITLE = 105,
    IDS_COL_ARTIST = 106,
    IDS_COL_ALBUM = 107,
    IDS_COL_DATE = 108,
    IDS_COL_GENRE = 109,
    IDS_COL_COMMENT = 110,
    IDS_UNDEFINED = 111,
    IDS_ADDRESS = 112,
    IDS_BTN_PLAY = 113,
    IDS_BTN_ENQUEUE = 114,
    IDS_BTN_PROPERTIES = 115,
    IDS_BTN_LARGE = 116,
    IDS_BTN_SMALL = 117,
    IDS_BTN_LIST = 118,
    IDS_BTN_DETAIL = 119,
    IDS_COL_SIZE = 122,
    IDS_CLIPBOARD_FAILED = 123,
    IDS_BTN_COPY = 125,
    IDS_TAG_WRITE_FAILED = 126,
    IDS_APP_TITLE = 128,
    IDS_NODE_FILES = 129,
    IDS_FILES_SELECTED = 130,
    IDS_SIZE_FORMAT = 131,
    IDS_ONE_FILE_SELECTED = 132,
    IDS_NO_ENQUEUE = 133,
    IDS_NO_M3U = 134,
    IDS_NO_ASSOCIATION = 135,
    IDS_OPTIONS = 136,

    ID_PLAY = 32771,
    ID_ENQUEUE = 32772,
    ID_PROPERTIES = 32773,
    ID_VIEW_ARTIST = 32778,
    ID_VIEW_GENRE = 32779,
    ID_VIEW_ADDRESSBAR = 32783,
    ID_VIEW_LABELS = 32784,
    ID_VIEW_OPTIONS = 32786,
    IDS_IDLE_MESSAGE = 57345,
    ID_EDIT_COPY = 57634,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_VIEW_SMALLICON = 59408,
    ID_VIEW_LARGEICON = 59409,
    ID_VIEW_LIST = 59410,
    ID_VIEW_DETAILS = 59411,
    IDS_FIELD_TOO_LONG = 61715,

    // Texts of ours that the original tables lack.
    IDS_PLAYLIST_FAILED = 2001,
    IDS_FILE_ERROR = 2002,
    IDS_SCAN_STOPPED = 2003,
    IDS_SCANNING = 2004,
    IDS_ABOUT_INFO = 2005,
    IDS_OPEN_FOLDER_TITLE = 2006,
    IDS_TREE_PANE = 2007,
    IDS_LIST_PANE = 2008,
    ID_FILE_OPEN_FOLDER = 2010,
    ID_VIEW_REFRESH = 2011,
    ID_FOCUS_ADDRESS = 2012,
    IDS_CHANGED_SINCE_LISTED = 2013,
    IDS_UNDO = 2014,
    IDS_UNDO_ONE_FILE = 2015,
    IDS_UNDO_FILES = 2016,
    IDS_UNDO_SKIPPED = 2017,
    IDS_OPT_KEEP_TIMES = 2018,
    IDS_OPT_ENCODING = 2019,
    IDS_ENCODING_AUTOMATIC = 2020,
    IDS_FIELD_NOT_ENCODABLE = 2021,
    IDS_TRACK_INVALID = 2022,
    IDS_COL_TRACK = 2023,
    IDS_TIMES_NOT_KEPT = 2024,
    IDS_COL_YEAR = 2025,
    IDS_HANDING_OVER = 2100,
    IDS_HANDOFF_FAILED = 2101,
    IDS_PLAYS_ONE_ONLY = 2102,
    IDS_NOT_FILES = 2310,
    IDS_NOT_OPENED = 2311,
    IDS_GENRE_UNCHANGED = 2150,
    IDS_BY_ARTIST = 2151,
    IDS_ADDRESS_TIP = 2153,
    IDS_BY_GENRE = 2152,
    IDS_FOLDER_MISSING = 2160,
    IDS_NOT_A_FOLDER = 2161,
    IDS_FOLDER_UNREADABLE = 2162,
    IDS_SETTINGS_UNUSABLE = 2163,
    IDS_OPT_PATTERN = 2164,
    IDS_PATTERN_EMPTY = 2165,
    IDS_FILTER_COUNT = 2200,
    ID_FOCUS_FILTER = 2201,
    IDS_NO_ARTIST = 2210,
    IDS_EMPTY_LIST_HINT = 2410,
    IDS_SETTINGS_NOT_WRITTEN = 2411,
    IDS_SETTINGS_NO_HOME = 2412,
    ID_RENAME_FROM_TAGS = 2420,
    ID_TAGS_FROM_NAMES = 2421,
    IDS_UNDO_RENAME_ONE_FILE = 2422,
    IDS_UNDO_RENAME_FILES = 2423,
};

// French when the first set of LC_ALL, LC_MESSAGES and LANG begins with "fr"; English otherwise.
ELanguage LanguageFromLocale(const char* pszLcAll, const char* pszLcMessages, const char* pszLang);

// The user's language, decided once per process from the environment.
ELanguage UserLanguage();

// UTF-8 text of a string id; the empty text for an unknown id.
const char* LoadString(unsigned nId, ELanguage eLanguage);
const char* LoadString(unsigned nId);

// The text of a string id in the user's language with every "%1" replaced by strArg, as
// QString::arg does for the Qt layers: the table has one placeholder convention.
std::string FormatString(unsigned nId, const std::string& strArg);
// The same with "%1" and "%2".
std::string FormatString(unsigned nId, const std::string& strArg1, const std::string& strArg2);

// A count with its digits grouped in threes as the language writes it: "2,000" in English,
// "2 000" (a narrow no-break space) in French. Every count the user reads goes through it, so
// that no text groups them otherwise.
std::string FormatCount(unsigned long long nCount, ELanguage eLanguage);
std::string FormatCount(unsigned long long nCount);

// Every id of the table, in ascending order.
std::vector<unsigned> StringIds();
