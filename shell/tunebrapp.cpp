#include "shell/tunebrapp.h"

#include "platform/icons.h"
#include "platform/textconv.h"
#include "res/strings.h"

CTunebrApp::CTunebrApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(LoadQString(IDS_APP_TITLE));
    setApplicationVersion(QStringLiteral(TUNEBR_VERSION));
    setWindowIcon(LoadIcon(EIcon::App));
}

void CTunebrApp::LoadSettings() {
    CUserSettings::LoadSettings(m_store);
}
