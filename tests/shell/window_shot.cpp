// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Draws the main window on a folder into a PNG, for the documentation and for checking the window
// under a dark palette or a large scale by eye:
//   window_shot OUT.png FOLDER [--dark] [--points=N] [--as-read] [--filter=TEXT]
//                       [--no-selection] [--print-status]
// QT_SCALE_FACTOR=2 doubles the scale; --points=N sets the desktop font's size. The settings are
// the caller's (point XDG_CONFIG_HOME at a scratch folder). --dark uses the Fusion style with a
// dark palette, as a dark desktop theme would. --as-read draws the window as the folder's reading
// left it, before a node or a row is chosen (with the status bar's notices, if any). --filter
// types TEXT in the filter box before the rows are selected, so that the status bar counts the
// rows a filter lets through; --no-selection leaves the rows unselected, so that it counts them.
// --print-status writes the status bar's notice on stdout, for tests of the program as it runs.
#include "panes/leftview.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "shell/filterbox.h"
#include "shell/mainframe.h"
#include "shell/translations.h"
#include "tests/support/scanwait.h"

#include <QApplication>
#include <QPalette>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTableView>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

QPalette DarkPalette() {
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2b);
    const QColor base(0x1e, 0x1e, 0x1e);
    const QColor text(0xe8, 0xe8, 0xe8);
    const QColor disabled(0x80, 0x80, 0x80);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Light, QColor(0x3c, 0x3c, 0x3c));
    palette.setColor(QPalette::Midlight, QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::Mid, QColor(0x24, 0x24, 0x24));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x7a, 0xb7, 0xff));
    for (const QPalette::ColorRole eRole :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, eRole, disabled);
    }
    return palette;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_shot OUT.png FOLDER [--dark] [--points=N] [--as-read] "
                             "[--filter=TEXT] [--no-selection] [--print-status]\n");
        return 2;
    }
    bool bDark = false;
    bool bAsRead = false;
    bool bSelect = true;
    bool bPrintStatus = false;
    int nPoints = 0;
    QString strFilter;
    for (int i = 3; i < argc; ++i) {
        bDark = bDark || std::strcmp(argv[i], "--dark") == 0;
        bAsRead = bAsRead || std::strcmp(argv[i], "--as-read") == 0;
        bSelect = bSelect && std::strcmp(argv[i], "--no-selection") != 0;
        bPrintStatus = bPrintStatus || std::strcmp(argv[i], "--print-status") == 0;
        if (std::strncmp(argv[i], "--points=", 9) == 0) {
            nPoints = std::atoi(argv[i] + 9);
        }
        if (std::strncmp(argv[i], "--filter=", 9) == 0) {
            strFilter = QString::fromLocal8Bit(argv[i] + 9);
        }
    }
    QApplication app(argc, argv);
    // The menus and every tr() text in the user's language, as the program shows them.
    const CTranslations translations(UserLanguage());
    if (nPoints > 0) {
        QFont font = QApplication::font();
        font.setPointSize(nPoints);
        QApplication::setFont(font);
    }
    if (bDark) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
    }
    CSettingsStore store;
    store.WriteString(CUserSettings::SECTION_MP3, "FilePath", argv[2]);
    store.WriteInt(CUserSettings::SECTION_USER, "FullRowSelection", 1);
    CUserSettings settings;
    settings.LoadSettings(store);
    CMainFrame frame(settings, store);
    frame.resize(1000, 600);
    frame.show();
    frame.StartUp(nullptr);
    if (!WaitForFolder(frame)) {
        return 1;
    }
    // An artist chosen in the tree and two rows selected in the list, as a user would see it while
    // working.
    auto* pTree = frame.GetLeftPane();
    QTreeWidgetItem* pRoot = pTree->topLevelItem(0);
    if (!bAsRead && pRoot != nullptr && pRoot->childCount() > 1) {
        pTree->setCurrentItem(pRoot->child(1));
        if (!strFilter.isEmpty()) {
            frame.GetFilterBox()->setText(strFilter);
            QApplication::processEvents();
        }
        QTableView* pList = frame.GetRightPane()->GetDetailsView();
        for (const int nRow : bSelect ? std::vector<int>{2, 3} : std::vector<int>()) {
            pList->selectionModel()->select(pList->model()->index(nRow, 0),
                                            QItemSelectionModel::Select |
                                                QItemSelectionModel::Rows);
        }
    }
    if (!bAsRead) {
        frame.SwitchPane(); // to the list, which makes its commands available
    }
    QApplication::processEvents();
    const bool bSaved = frame.grab().save(QString::fromLocal8Bit(argv[1]));
    if (bPrintStatus) {
        std::printf("%s\n", frame.statusBar()->currentMessage().toUtf8().constData());
    }
    return bSaved ? 0 : 1;
}
