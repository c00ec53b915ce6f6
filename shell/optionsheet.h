// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagcodec.h"

#include <QDialog>

#include <string>

class CMessageSink;
class CModalRunner;
class CSettingsStore;
class CUserSettings;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

// The page "List options": the double-click action, row selection, column alignment, the tag
// options and the file pattern. The sheet reads and sets its controls; nothing mirrors them.
class COptionPage1 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(COptionPage1)

public:
    explicit COptionPage1(QWidget* pParent = nullptr);

    // The radio buttons' ids are the values the settings store: Play 0, Enqueue 1, Properties 2;
    // left 0, centre 1.
    QButtonGroup* m_pAction = nullptr;
    QCheckBox* m_pFullRow = nullptr;
    QButtonGroup* m_pAlignment = nullptr;
    QCheckBox* m_pKeepTimes = nullptr;
    QComboBox* m_pEncoding = nullptr;
    QLineEdit* m_pPattern = nullptr;
    QCheckBox* m_pKeepCatalogue = nullptr;
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
    static bool RunOptions(QWidget* pParent, CMessageSink& messages, CModalRunner& modals,
                           CUserSettings& settings, CSettingsStore& store);

    // The controls as the settings stand; a value out of range sets no button of its group.
    static void LoadOptions(const CUserSettings& settings, COptionPage1& page);
    // What OK does to the settings; a group without a set button leaves its value as it is.
    static void StoreOptions(const COptionPage1& page, CUserSettings& settings,
                             CSettingsStore& store);

    // The codec a stored encoding name stands for: an unknown name is the automatic rule.
    static CTagCodec TagCodecOf(const std::string& strName);

    // OK with an empty file pattern is refused: a scan would find nothing.
    void accept() override;

private:
    CMessageSink& m_messages;
    COptionPage1* m_pPage = nullptr;
};
