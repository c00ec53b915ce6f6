// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagcodec.h"

#include <QDialog>

#include <string>

class CMessageSink;
class CSettingsStore;
class CUserSettings;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

// The page "List options": one int per button, 0 clear and 1 set, and the name of the tag
// encoding, exchanged with the controls.
class COptionPage1 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(COptionPage1)

public:
    explicit COptionPage1(QWidget* pParent = nullptr);

    // Members to buttons when the page opens, buttons to members on OK.
    void LoadButtons();
    void SaveButtons();

    int m_bFullRow = 0;
    int m_bAlignLeft = 0;
    int m_bAlignCenter = 0;
    int m_bActionPlay = 0;
    int m_bActionEnqueue = 0;
    int m_bActionProperties = 0;
    int m_bKeepTimes = 0;
    std::string m_strEncoding; // one of CTagCodec::Names()
    std::string m_strPattern;  // the scan's file pattern, never empty

    QCheckBox* m_pFullRow = nullptr;
    QRadioButton* m_pAlignLeft = nullptr;
    QRadioButton* m_pAlignCenter = nullptr;
    QRadioButton* m_pActionPlay = nullptr;
    QRadioButton* m_pActionEnqueue = nullptr;
    QRadioButton* m_pActionProperties = nullptr;
    QCheckBox* m_pKeepTimes = nullptr;
    QComboBox* m_pEncoding = nullptr;
    QLineEdit* m_pPattern = nullptr;
};

// The options dialog: the list and tag options of the settings, written at once on OK.
class COptionSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(COptionSheet)

public:
    // A refused OK is explained through messages.
    explicit COptionSheet(CMessageSink& messages, QWidget* pParent = nullptr);

    COptionPage1& GetPage() { return *m_pPage; }

    // Runs the dialog on the settings; true when the user left it with OK and the values were
    // stored, so that the views must apply them.
    static bool RunOptions(QWidget* pParent, CMessageSink& messages, CUserSettings& settings,
                           CSettingsStore& store);

    // What OK does to the settings; a group without a set button leaves its value as it is.
    static void StoreOptions(const COptionPage1& page, CUserSettings& settings,
                             CSettingsStore& store);
    static void LoadOptions(const CUserSettings& settings, COptionPage1& page);

    // The codec a stored encoding name stands for: an unknown name is the automatic rule.
    static CTagCodec TagCodecOf(const std::string& strName);

    // OK with an empty file pattern is refused: a scan would find nothing.
    void accept() override;

private:
    CMessageSink& m_messages;
    COptionPage1* m_pPage = nullptr;
};
