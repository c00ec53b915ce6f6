// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/displaycheck.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

bool IsSet(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && *pszValue != '\0';
}

void ExitOnFatal(QtMsgType eType, const QMessageLogContext& context, const QString& strMessage) {
    if (eType != QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(eType, context, strMessage)));
        return;
    }
    std::fprintf(stderr, "tunebrowse: cannot open the window: %s\n", qPrintable(strMessage));
    std::_Exit(1);
}

} // namespace

// A platform chosen by the user is taken at its word, except the two that need a display's
// address to reach it.
std::string NoDisplayReason() {
    const char* pszPlatform = std::getenv("QT_QPA_PLATFORM");
    const std::string_view strPlatform = pszPlatform != nullptr ? pszPlatform : "";
    const bool bX11 = IsSet("DISPLAY");
    const bool bWayland = IsSet("WAYLAND_DISPLAY");
    const bool bMissing = strPlatform.empty()                     ? !bX11 && !bWayland
                          : strPlatform.substr(0, 3) == "xcb"     ? !bX11
                          : strPlatform.substr(0, 7) == "wayland" ? !bWayland
                                                                  : false;
    if (!bMissing) {
        return {};
    }
    return "no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
           "--list, --tree and --set work without one";
}

void ExitOnStartFailure(bool bOn) {
    qInstallMessageHandler(bOn ? ExitOnFatal : nullptr);
}
