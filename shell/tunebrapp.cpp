// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/tunebrapp.h"

#include "platform/icons.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <clocale>
#include <cstdio>

CTunebrApp::CTunebrApp(int& argc, char** argv)
    : QApplication(argc, argv), m_translations(UserLanguage()) {
    // QApplication took the whole C locale from the environment; numbers printed or parsed
    // through the C library keep the point whatever the user's LC_NUMERIC.
    std::setlocale(LC_NUMERIC, "C");
    setApplicationName(LoadQString(IDS_APP_TITLE));
    setApplicationVersion(QStringLiteral(TUNEBR_VERSION));
    // Lets the desktop match the windows with the installed entry, its name and its icon.
    setDesktopFileName(QStringLiteral(TUNEBR_APP_ID));
    setWindowIcon(LoadIcon(EIcon::App));
}

void CTunebrApp::LoadSettings() {
    if (!m_store.IsUsable()) {
        std::fprintf(stderr, "tunebrowse: %s\n",
                     m_store.GetProblemText().toLocal8Bit().constData());
    }
    CUserSettings::LoadSettings(m_store);
}
