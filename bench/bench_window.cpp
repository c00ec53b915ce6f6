// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Whole-window figures on a library: time to the first complete paint with the list filled, the
// longest pause between two paints of the busy animation during the scan, list fill, every
// column's sort, tree build, organisation switches, a rebuild after an edit, and the peak
// resident memory of the process.
//   bench_window FOLDER [--start-only]     (settings are taken from $XDG_CONFIG_HOME: point it
//   somewhere empty)
//   bench_window FOLDER --kept            the start with the folder's kept catalogue (from a run
//   before, in $XDG_CACHE_HOME): time to its first complete paint, then to the check's end
//   bench_window FOLDER --enqueue N        the longest pause between paints while the first N
//   rows are enqueued to the desktop's default player, against the same time idle (window.sh
//   makes the desktop and its slow player)
//   bench_window --filter N                each keystroke in the filter box on a list of N rows
//   made in memory (texts partly accented), to its rows shown and repainted, against the fill of
//   the same list
//   bench_window --filter-paste N WORDS   a text of WORDS words pasted into the filter box on a
//   list of N rows, then keys typed at its end: the longest time the window's thread spent on
//   one event from each key to the list showing its rows
#include "bench/maketracks.h"
#include "catalogue/hints.h"
#include "catalogue/tagblock.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "panes/leftview.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "platform/heappolicy.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/busyanimation.h"
#include "shell/mainframe.h"
#include "shell/statuspanes.h"

#include "shell/filterbox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPixmap>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <utility>
#include <vector>

namespace {

double Milliseconds(QElapsedTimer& timer) {
    const double rMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return rMs;
}

// Times the paints of one widget, to find the longest time the window went without one.
class CPaintClock final : public QObject {
public:
    CPaintClock(const QElapsedTimer& clock, const QList<QWidget*>& arrWidgets) : m_clock(clock) {
        for (QWidget* pWidget : arrWidgets) {
            pWidget->installEventFilter(this);
        }
    }

    double LongestGapMs(std::int64_t nStart, std::int64_t nEnd) const {
        std::int64_t nLongest = 0;
        std::int64_t nPrevious = nStart;
        for (const std::int64_t nPaint : m_arrPaints) {
            if (nPaint > nStart && nPaint < nEnd) {
                nLongest = std::max(nLongest, nPaint - nPrevious);
                nPrevious = nPaint;
            }
        }
        return static_cast<double>(std::max(nLongest, nEnd - nPrevious)) / 1e6;
    }
    std::size_t Paints() const { return m_arrPaints.size(); }

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint) {
            m_arrPaints.push_back(m_clock.nsecsElapsed());
        }
        return false;
    }

private:
    const QElapsedTimer& m_clock;
    std::vector<std::int64_t> m_arrPaints;
};

// The time from its making to the moment the tree takes in its new root with all the nodes below
// it, before the root is selected and the list filled.
class CTreeBuildClock {
public:
    explicit CTreeBuildClock(const CLeftView& tree) {
        m_connection = QObject::connect(tree.model(), &QAbstractItemModel::rowsInserted, [this] {
            if (m_rMs < 0) {
                m_rMs = static_cast<double>(m_timer.nsecsElapsed()) / 1e6;
            }
        });
        m_timer.start();
    }
    ~CTreeBuildClock() { QObject::disconnect(m_connection); }
    CTreeBuildClock(const CTreeBuildClock&) = delete;
    CTreeBuildClock& operator=(const CTreeBuildClock&) = delete;
    double Ms() const { return m_rMs; }

private:
    QElapsedTimer m_timer;
    double m_rMs = -1;
    QMetaObject::Connection m_connection;
};

long PeakResidentKilobytes() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The longest time between two paints of the status bar over the next span, with a repaint asked
// for at every frame of a 60 Hz screen: a pause is time the event loop did not run.
double LongestPaintPauseMs(CMainFrame& frame, int nSpanMs, const std::function<void()>& fnStart) {
    QElapsedTimer clock;
    clock.start();
    CPaintClock paints(clock, {frame.GetStatusPanes()});
    QTimer frameTimer;
    QObject::connect(&frameTimer, &QTimer::timeout, [&frame] { frame.GetStatusPanes()->update(); });
    frameTimer.start(16);
    const std::int64_t nStart = clock.nsecsElapsed();
    fnStart();
    QEventLoop loop;
    QTimer::singleShot(nSpanMs, &loop, &QEventLoop::quit);
    loop.exec();
    return paints.LongestGapMs(nStart, clock.nsecsElapsed());
}

int BenchEnqueue(CMainFrame& frame, int nRows) {
    QTableView* pDetails = frame.GetRightPane()->GetDetailsView();
    QAbstractItemModel* pModel = pDetails->model();
    nRows = std::min(nRows, pModel->rowCount());
    frame.SwitchPane();
    pDetails->selectionModel()->select(
        QItemSelection(pModel->index(0, 0), pModel->index(nRows - 1, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const double rIdle = LongestPaintPauseMs(frame, 3000, [] {});
    const double rEnqueue =
        LongestPaintPauseMs(frame, 3000, [&frame] { frame.GetAction(ID_ENQUEUE)->trigger(); });
    std::printf("enqueue of %d files: longest pause between paints %.0f ms, idle %.0f ms, "
                "ratio %.2f\n",
                nRows, rEnqueue, rIdle, rIdle > 0 ? rEnqueue / rIdle : 0.0);
    return 0;
}

// Times every event the window's thread handles from the event loop, events sent from inside one
// counting as part of it: the longest is the longest time the window could not answer.
class CTimedApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* pReceiver, QEvent* pEvent) override {
        if (m_nDepth++ > 0) {
            const bool bResult = QApplication::notify(pReceiver, pEvent);
            --m_nDepth;
            return bResult;
        }
        QElapsedTimer timer;
        timer.start();
        const char* pszReceiver = pReceiver->metaObject()->className();
        const bool bResult = QApplication::notify(pReceiver, pEvent);
        --m_nDepth;
        const double rMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (rMs > m_rLongestMs) {
            m_rLongestMs = rMs;
            m_strLongestReceiver = std::string(pszReceiver) + ", event type " +
                                   std::to_string(static_cast<int>(pEvent->type()));
        }
        return bResult;
    }

    // The longest event since the last call.
    double TakeLongestMs() { return std::exchange(m_rLongestMs, 0.0); }
    // The class of the object that received it (a timer, the window, a view) and the event's type.
    const char* LongestReceiver() const { return m_strLongestReceiver.c_str(); }

private:
    int m_nDepth = 0;
    double m_rLongestMs = 0;
    std::string m_strLongestReceiver;
};

// Words as a user might paste them: the list's own words, names and plain words, some accented.
QString PastedText(std::size_t nWords) {
    static const char* const s_apWords[] = {"love", "Night", "été",     "cœur", "rain", "blue",
                                            "the",  "Fire",  "rivière", "moon", "and",  "garçon"};
    static const char* const s_apSyllables[] = {"ka", "lo", "mi", "ra", "ne", "so",
                                                "tu", "vé", "da", "ri", "bo", "zé"};
    std::mt19937 random(2);
    const auto pick = [&random](std::size_t nCount) {
        return std::uniform_int_distribution<std::size_t>(0, nCount - 1)(random);
    };
    std::string strText;
    for (std::size_t n = 0; n < nWords; ++n) {
        if (pick(2) == 0) {
            strText += s_apWords[pick(std::size(s_apWords))];
        } else {
            for (std::size_t i = 0, nCount = 2 + pick(3); i < nCount; ++i) {
                strText += s_apSyllables[pick(std::size(s_apSyllables))];
            }
        }
        strText += n % 17 == 16 ? "\n" : " ";
    }
    return QString::fromUtf8(strText.c_str());
}

// Events are handled until the list shows the rows of the filter box's text; the thread sleeps
// while it waits, as the window's does.
void WaitForFilter(const CTunebrView& list) {
    QCoreApplication::processEvents();
    while (list.IsFilterPending()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

int BenchFilterPaste(CTimedApplication& app, CMainFrame& frame, std::size_t nTracks,
                     std::size_t nWords) {
    std::deque<CTrackInfo> tracks = MakeTracks(nTracks);
    CTrackList arrList;
    for (CTrackInfo& track : tracks) {
        arrList.push_back(&track);
    }
    CTunebrView* pList = frame.GetRightPane();
    pList->OnUpdate(nullptr, HINT_SHOW_TRACKS, &arrList);
    CFilterBox* pFilter = frame.GetFilterBox();
    pFilter->setFocus();
    QApplication::clipboard()->setText(PastedText(nWords));
    WaitForFilter(*pList);
    app.TakeLongestMs();

    // Pasted, a word typed after it and taken back, the whole text replaced by a letter, then
    // pasted over it again.
    const struct {
        const char* pszName;
        int nKey;
        Qt::KeyboardModifiers eModifiers;
        const char* pszText;
    } aKeys[] = {{"Ctrl+V", Qt::Key_V, Qt::ControlModifier, ""},
                 {"space", Qt::Key_Space, Qt::NoModifier, " "},
                 {"l", Qt::Key_L, Qt::NoModifier, "l"},
                 {"o", Qt::Key_O, Qt::NoModifier, "o"},
                 {"BS", Qt::Key_Backspace, Qt::NoModifier, ""},
                 {"BS", Qt::Key_Backspace, Qt::NoModifier, ""},
                 {"Ctrl+A", Qt::Key_A, Qt::ControlModifier, ""},
                 {"x", Qt::Key_X, Qt::NoModifier, "x"},
                 {"Ctrl+A", Qt::Key_A, Qt::ControlModifier, ""},
                 {"Ctrl+V", Qt::Key_V, Qt::ControlModifier, ""}};
    double rSlowest = 0;
    QElapsedTimer timer;
    for (const auto& k : aKeys) {
        const QString strText = QString::fromUtf8(k.pszText);
        timer.start();
        for (const QEvent::Type eType : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QCoreApplication::postEvent(pFilter,
                                        new QKeyEvent(eType, k.nKey, k.eModifiers, strText));
        }
        WaitForFilter(*pList);
        const double rTotal = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        const double rLongest = app.TakeLongestMs();
        rSlowest = std::max(rSlowest, rLongest);
        std::printf("key %-6s -> %6lld chars %7d rows: longest event %7.1f ms, rows shown after "
                    "%7.1f ms\n",
                    k.pszName, static_cast<long long>(pFilter->text().size()),
                    pList->GetModel()->rowCount(), rLongest, rTotal);
    }
    std::printf("pasted %zu words on %zu rows: the window's thread held at most %.1f ms per key\n",
                nWords, nTracks, rSlowest);
    pList->OnUpdate(nullptr, HINT_REBUILD_BEGIN, nullptr);
    return 0;
}

int BenchFilter(CTimedApplication& app, CMainFrame& frame, std::size_t nTracks) {
    std::deque<CTrackInfo> tracks = MakeTracks(nTracks);
    CTrackList arrList;
    for (CTrackInfo& track : tracks) {
        arrList.push_back(&track);
    }
    CTunebrView* pList = frame.GetRightPane();
    QWidget* pViewport = pList->GetDetailsView()->viewport();
    QElapsedTimer timer;
    timer.start();
    pList->OnUpdate(nullptr, HINT_SHOW_TRACKS, &arrList);
    pViewport->repaint();
    const double rFill = Milliseconds(timer);
    std::printf("rows %zu, fill the list %.1f ms\n", nTracks, rFill);

    CFilterBox* pFilter = frame.GetFilterBox();
    pFilter->setFocus();
    // Typed, taken back, a word that matches nothing, a second word, then all erased.
    const char* const apKeys[] = {"l",  "o",  "v", "e", "\b", "\b", "\b", "\b", "é",
                                  "t",  "é",  " ", "1", "9",  "\b", "\b", "\b", "\b",
                                  "\b", "\b", "z", "q", "x",  "\b", "\b", "\b"};
    std::vector<double> arrTimes;
    double rLongestHeld = 0;
    app.TakeLongestMs();
    for (const char* pszKey : apKeys) {
        const bool bBack = pszKey[0] == '\b';
        QKeyEvent press(QEvent::KeyPress, bBack ? Qt::Key_Backspace : 0, Qt::NoModifier,
                        bBack ? QString() : QString::fromUtf8(pszKey));
        timer.restart();
        QApplication::sendEvent(pFilter, &press);
        WaitForFilter(*pList);
        pViewport->repaint();
        const double rMs = Milliseconds(timer);
        const double rHeld = app.TakeLongestMs();
        arrTimes.push_back(rMs);
        rLongestHeld = std::max(rLongestHeld, rHeld);
        std::printf("key %-4s -> %-8s %7d rows %6.1f ms, longest event %6.1f ms\n",
                    bBack ? "BS" : pszKey, qPrintable(pFilter->text()),
                    pList->GetModel()->rowCount(), rMs, rHeld);
    }
    std::sort(arrTimes.begin(), arrTimes.end());
    std::printf("filter keystroke on %zu rows: median %.1f ms, slowest %.1f ms, slowest against "
                "the fill %.2f\n",
                nTracks, arrTimes[arrTimes.size() / 2], arrTimes.back(),
                rFill > 0 ? arrTimes.back() / rFill : 0.0);
    std::printf("the window's thread held at most %.1f ms per key\n", rLongestHeld);
    pList->OnUpdate(nullptr, HINT_REBUILD_BEGIN, nullptr);
    return 0;
}

// The kept catalogue is on screen before the check has read anything; the check then runs in the
// window's own loop, as in the program.
int BenchKeptStart(CTimedApplication& app, CMainFrame& frame, QElapsedTimer& timer) {
    CTunebrDoc& doc = frame.GetDocument();
    double rFirstPaint = -1;
    app.TakeLongestMs();
    while (frame.IsOpeningFolder()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (rFirstPaint < 0 && doc.IsChecking() &&
            frame.GetRightPane()->GetModel()->rowCount() > 0) {
            frame.grab();
            rFirstPaint = Milliseconds(timer);
        }
    }
    const double rCheck = Milliseconds(timer);
    if (rFirstPaint < 0) {
        std::fprintf(stderr, "bench_window: no kept catalogue was shown\n");
        return 1;
    }
    std::printf("tracks %zu\nstart to first paint with the kept catalogue %.0f ms\n"
                "check of the kept catalogue %.0f ms\n"
                "start to the check's end %.0f ms\n"
                "longest event of the window during the check %.1f ms\n",
                doc.GetTracks()->size(), rFirstPaint, rCheck, rFirstPaint + rCheck,
                app.TakeLongestMs());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ReturnLargeBlocksToSystem(); // as the program's main does
    QElapsedTimer timer;
    timer.start();
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: bench_window FOLDER [--start-only | --kept | --enqueue N]\n"
                             "       bench_window --filter N\n"
                             "       bench_window --filter-paste N WORDS\n");
        return 2;
    }
    CTimedApplication app(argc, argv);
    CSettingsStore store;
    CUserSettings settings;
    settings.LoadSettings(store);
    CMainFrame frame(settings, store);
    frame.resize(1000, 700);
    frame.show();
    if (argc == 3 && std::string(argv[1]) == "--filter") {
        return BenchFilter(app, frame, static_cast<std::size_t>(std::atoll(argv[2])));
    }
    if (argc == 4 && std::string(argv[1]) == "--filter-paste") {
        return BenchFilterPaste(app, frame, static_cast<std::size_t>(std::atoll(argv[2])),
                                static_cast<std::size_t>(std::atoll(argv[3])));
    }
    QElapsedTimer clock;
    CPaintClock animationPaints(clock, {frame.GetAnimation()});
    // The running count is in the status bar's first pane.
    CPaintClock countPaints(clock, frame.GetStatusPanes()->findChildren<QWidget*>());
    const QString strFolder = QString::fromLocal8Bit(argv[1]);
    CTunebrDoc& doc = frame.GetDocument();
    clock.start();
    frame.StartUp(&strFolder);
    if (argc == 3 && std::string(argv[2]) == "--kept") {
        return BenchKeptStart(app, frame, timer);
    }
    // The window's own loop runs the scan's batches, as in the program; the thread sleeps while
    // it waits for them.
    app.TakeLongestMs();
    std::int64_t nFirstRows = -1;
    while (frame.IsOpeningFolder()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (nFirstRows < 0 && frame.GetRightPane()->GetModel()->rowCount() > 0) {
            nFirstRows = clock.nsecsElapsed();
        }
    }
    const std::string strLongestReceiver = app.LongestReceiver();
    const double rLongestEvent = app.TakeLongestMs();
    const std::int64_t nScanEnd = clock.nsecsElapsed();
    frame.grab(); // paints every visible widget, the list's rows included
    const double rStart = Milliseconds(timer);
    std::printf("tracks %zu\nstart to first paint %.0f ms\n"
                "first rows on screen %.0f ms\n"
                "longest event of the window during the scan %.1f ms (to a %s)\n"
                "longest time without an animation frame during the scan %.0f ms (%zu frames)\n"
                "longest time without a status bar paint during the scan %.0f ms (%zu paints)\n",
                doc.GetTracks()->size(), rStart, static_cast<double>(nFirstRows) / 1e6,
                rLongestEvent, strLongestReceiver.c_str(),
                animationPaints.LongestGapMs(0, nScanEnd), animationPaints.Paints(),
                countPaints.LongestGapMs(0, nScanEnd), countPaints.Paints());
    if (argc == 4) {
        return BenchEnqueue(frame, std::atoi(argv[3]));
    }
    if (argc == 3) {
        std::printf("peak resident %ld KB\n", PeakResidentKilobytes());
        return 0;
    }

    CTunebrView* pList = frame.GetRightPane();
    CLeftView& tree = *frame.GetLeftPane();
    // The window's own loop runs until the rows are in order and painted; a sort of many rows
    // comes from another thread. The longest time the window's thread was held on the way, the
    // call itself included.
    double rLongestHeld = 0;
    const auto untilOrdered = [&](const std::function<void()>& fnChange) {
        app.TakeLongestMs();
        QElapsedTimer call;
        call.start();
        fnChange();
        double rHeld = Milliseconds(call);
        while (pList->IsSortPending() || tree.IsBuildPending() || doc.IsRegrouping()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        rHeld = std::max(rHeld, app.TakeLongestMs());
        frame.grab();
        rLongestHeld = std::max(rLongestHeld, rHeld);
        return rHeld;
    };
    untilOrdered([&] { pList->OnUpdate(nullptr, HINT_SHOW_TRACKS, doc.GetTracks()); });
    std::printf("fill the list %.0f ms, peak so far %ld KB\n", Milliseconds(timer),
                PeakResidentKilobytes());

    double rSlowestSort = 0;
    for (int nColumn = 0; nColumn < 9; ++nColumn) {
        const double rHeld = untilOrdered([&] { pList->OnColumnClick(nColumn); });
        const double rSort = Milliseconds(timer);
        std::printf("sort by column %d %.0f ms, window held %.1f ms, peak so far %ld KB\n", nColumn,
                    rSort, rHeld, PeakResidentKilobytes());
        rSlowestSort = std::max(rSlowestSort, rSort);
    }
    std::printf("slowest sort %.0f ms\n", rSlowestSort);

    const auto untilRebuilt = [&](const char* pszWhat, const std::function<void()>& fnChange) {
        const CTreeBuildClock treeClock(tree);
        const double rHeld = untilOrdered(fnChange);
        std::printf("%s %.0f ms (tree %.0f ms), window held %.1f ms (the longest event to a %s), "
                    "peak so far %ld KB\n",
                    pszWhat, Milliseconds(timer), treeClock.Ms(), rHeld, app.LongestReceiver(),
                    PeakResidentKilobytes());
    };
    untilRebuilt("switch to genres", [&frame] { frame.OnViewGenre(); });
    untilRebuilt("switch to artists", [&frame] { frame.OnViewArtist(); });
    // What follows a tag edit that changed an artist or a genre.
    untilRebuilt("rebuild after an edit", [&doc] { doc.RebuildIndex(); });
    std::printf("artists %zu\n", doc.GetArtists().size());
    std::printf("the window's thread held at most %.1f ms through the sorts, switches and "
                "rebuild\n",
                rLongestHeld);
    std::printf("peak resident %ld KB\n", PeakResidentKilobytes());
    frame.close();
    return 0;
}
