// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "shell/translations.h"

#include <QApplication>

// The one application object: the Qt application and the user's settings, loaded once at start.
class CTunebrApp final : public QApplication, public CUserSettings {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTunebrApp)

public:
    CTunebrApp(int& argc, char** argv);

    void LoadSettings();
    CSettingsStore& GetStore() { return m_store; }

private:
    CSettingsStore m_store;
    CTranslations m_translations;
};
