// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/usersettings.h"

#include "platform/settingsstore.h"
#include "platform/textconv.h"

#include <QFile>
#include <QStandardPaths>

#include <string>

void CUserSettings::LoadSettings(const CSettingsStore& store) {
    m_strFilePath = store.ReadPath(SECTION_MP3, "FilePath", DefaultFilePath());
    m_strFileExt = store.ReadString(SECTION_MP3, "FileExt", "*.mp3");
    m_bShowLabels = store.ReadInt(SECTION_USER, "ShowLabels", 1);
    m_nViewType = store.ReadInt(SECTION_USER, "ViewType", 0);
    for (int i = 0; i < ADDRESS_COUNT; ++i) {
        const std::string strName = "Address" + std::to_string(i);
        m_strAddress[i] = store.ReadPath(SECTION_USER, strName.c_str(), std::string());
    }
    m_nWindowWidth = store.ReadInt(SECTION_USER, "cx", 600);
    m_nWindowHeight = store.ReadInt(SECTION_USER, "cy", 400);
    m_nWindowLeft = store.ReadInt(SECTION_USER, "x", 50);
    m_nWindowTop = store.ReadInt(SECTION_USER, "y", 50);
    m_bFullRowSelection = store.ReadInt(SECTION_USER, "FullRowSelection", 0);
    m_nDoubleClickAction = store.ReadInt(SECTION_USER, "DoubleClickAction", 0);
    m_nColumnAlignment = store.ReadInt(SECTION_USER, "ColumnAlignment", 0);
    m_nSortingColumn = store.ReadInt(SECTION_USER, "SortingColumn", 0);
    m_bKeepFileTimes = store.ReadInt(SECTION_USER, "KeepFileTimes", 0);
    m_bAlsoWriteId3v2 = store.ReadInt(SECTION_USER, "AlsoWriteId3v2", 0);
    m_strTagEncoding = store.ReadString(SECTION_USER, "TagEncoding", "Automatic");
    m_bKeepCatalogue = store.ReadInt(SECTION_USER, "KeepCatalogue", 1);
    m_strColumnWidths = store.ReadString(SECTION_USER, "ColumnWidths", std::string());
    m_strColumnOrder = store.ReadString(SECTION_USER, "ColumnOrder", std::string());
    m_strRenameFormat = store.ReadString(SECTION_USER, "RenameFormat", std::string());
    m_strTagsFromNameFormat = store.ReadString(SECTION_USER, "TagsFromNameFormat", std::string());
    // An empty list says that no column is hidden; only a missing one gives the defaults.
    m_strHiddenColumns.reset();
    if (store.HasValue(SECTION_USER, "HiddenColumns")) {
        m_strHiddenColumns = store.ReadString(SECTION_USER, "HiddenColumns", std::string());
    }
}

void CUserSettings::GetFramePlacement(int& nWidth, int& nHeight, int& nLeft, int& nTop) const {
    nWidth = m_nWindowWidth;
    nHeight = m_nWindowHeight;
    nLeft = m_nWindowLeft;
    nTop = m_nWindowTop;
}

std::string CUserSettings::DefaultFilePath() {
    return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::MusicLocation))
        .toStdString();
}
