// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/displaycheck.h"
#include "platform/heappolicy.h"
#include "platform/terminationwatch.h"
#include "shell/commandline.h"
#include "shell/mainframe.h"
#include "shell/tunebrapp.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    ReturnLargeBlocksToSystem();
    const CCommandLine cmd = CCommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (cmd.m_eMode != CCommandLine::EMode::Window) {
        return cmd.RunWithoutWindow(stdout, stderr);
    }
    if (const std::string strNoDisplay = NoDisplayReason(); !strNoDisplay.empty()) {
        std::fprintf(stderr, "tunebrowse: %s\n", strNoDisplay.c_str());
        return 1;
    }
    ExitOnStartFailure(true);
    CTunebrApp app(argc, argv);
    ExitOnStartFailure(false);
    app.LoadSettings();
    CMainFrame frame(app, app.GetStore());
    // A session that ends or a "kill" closes the window as the user would: the settings are
    // written. Quitting also ends a dialog's loop, which would keep the process alive.
    const CTerminationWatch termination;
    QObject::connect(&termination, &CTerminationWatch::terminationRequested, &frame, [&frame] {
        frame.close();
        CTunebrApp::quit();
    });
    frame.show();
    frame.StartUp(cmd.m_strFolder);
    return CTunebrApp::exec();
}
