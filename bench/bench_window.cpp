// Whole-window figures on a library: time to the first complete paint with the list filled, a
// column sort, an organisation switch, and the peak resident memory of the process.
//   bench_window FOLDER [--start-only]     (settings are taken from $XDG_CONFIG_HOME: point it
//   somewhere empty)
#include "catalogue/hints.h"
#include "catalogue/tunebrdoc.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "shell/mainframe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <cstdio>
#include <sys/resource.h>

namespace {

double Milliseconds(QElapsedTimer& timer) {
    const double rMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return rMs;
}

long PeakResidentKilobytes() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer timer;
    timer.start();
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: bench_window FOLDER [--start-only]\n");
        return 2;
    }
    QApplication app(argc, argv);
    CSettingsStore store;
    CUserSettings settings;
    settings.LoadSettings(store);
    CMainFrame frame(settings, store);
    frame.resize(1000, 700);
    frame.show();
    const QString strFolder = QString::fromLocal8Bit(argv[1]);
    frame.StartUp(&strFolder);
    frame.grab(); // paints every visible widget, the list's rows included
    const double rStart = Milliseconds(timer);
    if (argc == 3) {
        std::printf("start to first paint %.0f ms\npeak resident %ld KB\n", rStart,
                    PeakResidentKilobytes());
        return 0;
    }

    CTunebrView* pList = frame.GetRightPane();
    pList->OnUpdate(nullptr, HINT_SHOW_TRACKS, frame.GetDocument().GetTracks());
    frame.grab();
    const double rFill = Milliseconds(timer);

    frame.GetRightPane()->OnColumnClick(1); // Title
    frame.grab();
    const double rSortTitle = Milliseconds(timer);
    frame.GetRightPane()->OnColumnClick(4); // Size
    frame.grab();
    const double rSortSize = Milliseconds(timer);

    frame.OnViewGenre();
    frame.grab();
    const double rGenre = Milliseconds(timer);
    frame.OnViewArtist();
    frame.grab();
    const double rArtist = Milliseconds(timer);

    std::printf("tracks %zu\nstart to first paint %.0f ms\nfill the list %.0f ms\n"
                "sort by title %.0f ms\n"
                "sort by size %.0f ms\nswitch to genres %.0f ms\nswitch to artists %.0f ms\n"
                "peak resident %ld KB\n",
                frame.GetRightPane()->GetTrackList() ? frame.GetRightPane()->GetTrackList()->size()
                                                     : 0,
                rStart, rFill, rSortTitle, rSortSize, rGenre, rArtist, PeakResidentKilobytes());
    frame.close();
    return 0;
}
