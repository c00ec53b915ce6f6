// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/tunebrapp.h"

#include "platform/icons.h"
#include "platform/textconv.h"
#include "res/strings.h"

CTunebrApp::CTunebrApp(int& argc, char** argv)
    : QApplication(argc, argv), m_translations(UserLanguage()) {
    setApplicationName(LoadQString(IDS_APP_TITLE));
    setApplicationVersion(QStringLiteral(TUNEBR_VERSION));
    // Lets the desktop match the windows with the installed entry, its name and its icon.
    setDesktopFileName(QStringLiteral(TUNEBR_APP_ID));
    setWindowIcon(LoadIcon(EIcon::App));
}

void CTunebrApp::LoadSettings() {
    CUserSettings::LoadSettings(m_store);
}
