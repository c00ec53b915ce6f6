// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// What a screen reader and a keyboard user meet: every control of the main window and of the
// dialogs has a name, and the dialogs' Tab order follows their layout.
#include "actions/mp3propertysheet.h"
#include "catalogue/genres.h"
#include "panes/leftview.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/aboutdlg.h"
#include "shell/addressbox.h"
#include "shell/mainframe.h"
#include "shell/optionsheet.h"
#include "shell/statuspanes.h"
#include "tests/support/fakes.h"
#include "tests/support/scanwait.h"
#include "tests/support/testfiles.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QtTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

QString StripMnemonic(QString strText) {
    strText.replace(QLatin1String("&&"), QLatin1String("\x01"));
    strText.remove(QLatin1Char('&'));
    strText.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return strText.trimmed();
}

bool IsInteractive(const QWidget* pWidget) {
    return qobject_cast<const QAbstractButton*>(pWidget) ||
           qobject_cast<const QLineEdit*>(pWidget) || qobject_cast<const QComboBox*>(pWidget) ||
           qobject_cast<const QAbstractItemView*>(pWidget) ||
           qobject_cast<const QAbstractSpinBox*>(pWidget);
}

// The name a screen reader has for the widget: its accessible name, else the text of a label
// that names it as its buddy, else its own caption (a button's text, a header's column titles).
QString SpokenName(const QWidget* pWidget, const QWidget& root) {
    if (!pWidget->accessibleName().trimmed().isEmpty()) {
        return pWidget->accessibleName().trimmed();
    }
    for (const QLabel* pLabel : root.findChildren<QLabel*>()) {
        if (pLabel->buddy() == pWidget && !StripMnemonic(pLabel->text()).isEmpty()) {
            return StripMnemonic(pLabel->text());
        }
    }
    if (const auto* pButton = qobject_cast<const QAbstractButton*>(pWidget)) {
        return StripMnemonic(pButton->text());
    }
    if (const auto* pTabs = qobject_cast<const QTabBar*>(pWidget)) {
        return StripMnemonic(pTabs->tabText(pTabs->currentIndex()));
    }
    if (const auto* pHeader = qobject_cast<const QHeaderView*>(pWidget)) {
        if (pHeader->model() != nullptr && pHeader->model()->columnCount() > 0) {
            return pHeader->model()->headerData(0, pHeader->orientation()).toString();
        }
    }
    return {};
}

struct SWalk {
    int nInteractive = 0;
    QStringList arrUnnamed;
};

// Qt's own inner parts (scroll-area viewports, the tool bar's overflow arrow, tab scrollers) are
// named by Qt for assistive tools and are left out; everything we create is checked.
SWalk WalkControls(const QWidget& root) {
    SWalk walk;
    for (const QWidget* pWidget : root.findChildren<QWidget*>()) {
        // Popups (a combo box's list) are windows of their own, named by Qt.
        if (!IsInteractive(pWidget) || pWidget->window() != root.window() ||
            pWidget->objectName().startsWith(QLatin1String("qt_"))) {
            continue;
        }
        // A combo box's edit field is announced as part of the box.
        if (qobject_cast<const QLineEdit*>(pWidget) &&
            qobject_cast<const QComboBox*>(pWidget->parentWidget()) &&
            !SpokenName(pWidget->parentWidget(), root).isEmpty()) {
            ++walk.nInteractive;
            continue;
        }
        ++walk.nInteractive;
        if (SpokenName(pWidget, root).isEmpty()) {
            walk.arrUnnamed.append(
                QString::fromLatin1(pWidget->metaObject()->className()) + QLatin1Char(' ') +
                pWidget->objectName() + QStringLiteral(" in ") +
                QString::fromLatin1(pWidget->parentWidget()->metaObject()->className()));
        }
    }
    return walk;
}

// The order in which Tab visits the dialog's controls, by their names, from the first one.
QStringList TabOrder(QWidget& dialog) {
    QStringList arrNames;
    QWidget* pStart = dialog.nextInFocusChain();
    QWidget* pWidget = pStart;
    do {
        // A widget with a focus proxy (the tab widget) hands the focus on: Tab stops once.
        if (pWidget->isVisibleTo(&dialog) && pWidget->isEnabled() && !pWidget->focusProxy() &&
            (pWidget->focusPolicy() & Qt::TabFocus) && pWidget->window() == &dialog) {
            arrNames.append(SpokenName(pWidget, dialog));
        }
        pWidget = pWidget->nextInFocusChain();
    } while (pWidget != pStart && arrNames.size() < 100);
    return arrNames;
}

class Accessibility : public ::testing::Test {
protected:
    Accessibility() {
        WriteBytes(m_library.Path() / "a.mp3", Audio(1000) + MakeTag("One", "Zoe"));
        CSettingsStore().WriteString(CUserSettings::SECTION_MP3, "FilePath", m_library.Str());
        m_settings.LoadSettings(m_store);
    }

    CTempDir m_library;
    CSettingsStore m_store;
    CUserSettings m_settings;
};

} // namespace

TEST(AccessibilityWalk, ReportsAControlWithoutAName) {
    QWidget root;
    auto* pNamed = new QLineEdit(&root);
    auto* pLabel = new QLabel(QStringLiteral("&Title :"), &root);
    pLabel->setBuddy(pNamed);
    new QLineEdit(&root);
    auto* pList = new QListView(&root);
    pList->setObjectName(QStringLiteral("bare"));
    const SWalk walk = WalkControls(root);
    EXPECT_EQ(walk.nInteractive, 3);
    EXPECT_EQ(walk.arrUnnamed.size(), 2) << walk.arrUnnamed.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(SpokenName(pNamed, root), QStringLiteral("Title :"));
}

TEST_F(Accessibility, EveryControlOfTheMainWindowHasAName) {
    CMainFrame frame(m_settings, m_store);
    frame.show();
    frame.StartUp(nullptr);
    EXPECT_TRUE(WaitForFolder(frame));
    const SWalk walk = WalkControls(frame);
    EXPECT_TRUE(walk.arrUnnamed.isEmpty()) << walk.arrUnnamed.join(QLatin1Char('\n')).toStdString();
    // Ten buttons, the address box, the tree, the two list views and the header.
    EXPECT_GE(walk.nInteractive, 15);

    // Buttons drawn as pictures alone are named as their tool tips name them.
    for (const unsigned nId :
         {ID_PLAY, ID_ENQUEUE, ID_EDIT_COPY, ID_PROPERTIES, ID_VIEW_ARTIST, ID_VIEW_GENRE,
          ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS}) {
        const QWidget* pButton = frame.GetToolBar()->widgetForAction(frame.GetAction(nId));
        ASSERT_NE(pButton, nullptr) << nId;
        EXPECT_FALSE(pButton->accessibleName().isEmpty()) << nId;
        EXPECT_EQ(pButton->accessibleName(), frame.GetAction(nId)->toolTip()) << nId;
    }
    EXPECT_EQ(frame.GetAddressBox()->accessibleName(), QStringLiteral("Address"));
    EXPECT_EQ(frame.GetLeftPane()->accessibleName(), QStringLiteral("Folder tree"));
    EXPECT_EQ(frame.GetRightPane()->GetDetailsView()->accessibleName(),
              QStringLiteral("Track list"));
    EXPECT_EQ(frame.GetRightPane()->GetIconView()->accessibleName(), QStringLiteral("Track list"));
}

TEST_F(Accessibility, EveryFieldOfTheDialogsHasANameAndTabFollowsTheLayout) {
    CRecordingMessages messages;
    CScriptedModals modals;
    const struct {
        const char* pszDialog;
        std::function<std::unique_ptr<QDialog>()> make;
        QStringList arrTabOrder;
    } aDialogs[] = {
        {"options",
         [&messages] { return std::make_unique<COptionSheet>(messages); },
         {QStringLiteral("List options"), QStringLiteral("Play"), QStringLiteral("Enqueue"),
          QStringLiteral("Properties"), QStringLiteral("Full row selection"),
          QStringLiteral("Left justify"), QStringLiteral("Center"),
          QStringLiteral("Keep the files' modification times"), QStringLiteral("Tag text encoding"),
          QStringLiteral("File pattern"), QStringLiteral("Keep the catalogue between runs"),
          QStringLiteral("OK"), QStringLiteral("Cancel")}},
        {"about",
         [] {
             return std::make_unique<CAboutDlg>([](const std::string&) {},
                                                QStringLiteral("https://home.test/"));
         },
         {QStringLiteral("OK"), QStringLiteral("https://home.test/")}},
        {"tag editor",
         [&messages, &modals] {
             return std::make_unique<CMp3PropertySheet>(nullptr, CTagCodec(), messages, modals);
         },
         {QStringLiteral("ID3 Tag"), QStringLiteral("Title"), QStringLiteral("Artist"),
          QStringLiteral("Album"), QStringLiteral("Year"), QStringLiteral("Track"),
          QStringLiteral("Genre"), QStringLiteral("Comment"), QStringLiteral("OK"),
          QStringLiteral("Cancel")}},
    };
    for (const auto& dialog : aDialogs) {
        const std::unique_ptr<QDialog> pDialog = dialog.make();
        pDialog->show();
        const SWalk walk = WalkControls(*pDialog);
        EXPECT_TRUE(walk.arrUnnamed.isEmpty())
            << dialog.pszDialog << ": " << walk.arrUnnamed.join(QLatin1Char('\n')).toStdString();
        EXPECT_GE(walk.nInteractive, 2) << dialog.pszDialog;
        EXPECT_EQ(TabOrder(*pDialog), dialog.arrTabOrder)
            << dialog.pszDialog << ": "
            << TabOrder(*pDialog).join(QStringLiteral(", ")).toStdString();
    }
}

// The keys of the address box are found in the View menu and its tip, the organisation icon of
// the status bar has a name.
TEST_F(Accessibility, HiddenKeysAndPicturesAreNamed) {
    CMainFrame frame(m_settings, m_store);
    frame.show();
    frame.StartUp(nullptr);
    EXPECT_TRUE(WaitForFolder(frame));
    QAction* pGoTo = frame.GetAction(ID_FOCUS_ADDRESS);
    ASSERT_NE(pGoTo, nullptr);
    EXPECT_EQ(pGoTo->shortcuts(), QList<QKeySequence>({QKeySequence(Qt::CTRL | Qt::Key_L),
                                                       QKeySequence(Qt::ALT | Qt::Key_D)}));
    bool bInViewMenu = false;
    for (const QAction* pMenu : frame.menuBar()->actions()) {
        bInViewMenu |=
            pMenu->text() == QStringLiteral("&View") && pMenu->menu()->actions().contains(pGoTo);
    }
    EXPECT_TRUE(bInViewMenu);
    EXPECT_TRUE(frame.GetAddressBox()->toolTip().contains(QStringLiteral("Ctrl+L")));
    EXPECT_TRUE(frame.GetAddressBox()->toolTip().contains(QStringLiteral("Alt+D")));

    const struct {
        unsigned nView;
        QString strName;
    } aModes[] = {{ID_VIEW_GENRE, QStringLiteral("Organised by genre and artist")},
                  {ID_VIEW_ARTIST, QStringLiteral("Organised by artist")}};
    for (const auto& mode : aModes) {
        frame.GetAction(mode.nView)->trigger();
        QStringList arrNames;
        for (const QLabel* pLabel : frame.GetStatusPanes()->findChildren<QLabel*>()) {
            if (!pLabel->pixmap().isNull()) {
                arrNames << pLabel->accessibleName();
            }
        }
        EXPECT_TRUE(arrNames.contains(mode.strName))
            << arrNames.join(QLatin1Char(',')).toStdString();
    }
}

// The genre box says what it holds, the entry that leaves the genre alone included: also while no
// entry is chosen (index -1, where it shows its placeholder), and as its name, which is what a
// screen reader on Linux speaks for a combo box.
TEST(AccessibilityGenre, TheGenreBoxSpeaksItsValue) {
    CRecordingMessages messages;
    CScriptedModals modals;
    CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
    sheet.GetPage().m_nGenre = GENRE_NONE;
    sheet.GetPage().LoadFields();
    sheet.show();
    QComboBox* pGenre = sheet.GetPage().GetGenreBox();
    QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pGenre);
    ASSERT_NE(pInterface, nullptr);
    EXPECT_EQ(pInterface->role(), QAccessible::ComboBox);
    const struct {
        const char* pszCase;
        std::function<void()> choose;
        int nIndex; // -1: nothing chosen, the genre left as it is
        QString strSpoken;
    } aCases[] = {
        {"loaded without a genre", [] {}, -1, QStringLiteral("(unchanged)")},
        {"the unchanged entry", [pGenre] { pGenre->setCurrentIndex(pGenre->findData(GENRE_NONE)); },
         0, QStringLiteral("(unchanged)")},
        {"Jazz", [pGenre] { pGenre->setCurrentIndex(pGenre->findData(8)); }, pGenre->findData(8),
         QStringLiteral("Jazz")},
        {"loaded with an unnamed genre",
         [&sheet] {
             sheet.GetPage().m_nGenre = 200;
             sheet.GetPage().LoadFields();
         },
         -1, QStringLiteral("(unchanged)")},
        {"loaded with Blues",
         [&sheet] {
             sheet.GetPage().m_nGenre = 0;
             sheet.GetPage().LoadFields();
         },
         pGenre->findData(0), QStringLiteral("Blues")},
    };
    for (const auto& c : aCases) {
        c.choose();
        EXPECT_EQ(pGenre->currentIndex(), c.nIndex) << c.pszCase;
        EXPECT_EQ(pInterface->text(QAccessible::Value), c.strSpoken) << c.pszCase;
        EXPECT_EQ(pInterface->text(QAccessible::Name), c.strSpoken) << c.pszCase;
    }
    // The popup list is its child, as with Qt's own interface, and the label names the box.
    ASSERT_EQ(pInterface->childCount(), 1);
    EXPECT_EQ(pInterface->child(0)->object(), pGenre->view());
    EXPECT_EQ(pInterface->indexOfChild(pInterface->child(0)), 0);
    const auto labels = pInterface->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front().first->text(QAccessible::Name), QStringLiteral("Genre :"));
    EXPECT_TRUE(pInterface->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::showMenuAction()));
}

// The four display styles are one choice: radio buttons of which the one of the list's style is
// checked, whichever way the style was chosen. The organisation buttons are another, of which
// none may be checked.
TEST_F(Accessibility, TheDisplayStyleButtonsAreOneGroupOfRadioButtons) {
    CMainFrame frame(m_settings, m_store);
    frame.show();
    frame.StartUp(nullptr);
    EXPECT_TRUE(WaitForFolder(frame));
    const unsigned aStyles[] = {ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST,
                                ID_VIEW_DETAILS};
    const auto checked = [&frame](std::initializer_list<unsigned> arrIds) {
        QList<unsigned> arrChecked;
        for (const unsigned nId : arrIds) {
            QAccessibleInterface* pButton = QAccessible::queryAccessibleInterface(
                frame.GetToolBar()->widgetForAction(frame.GetAction(nId)));
            EXPECT_EQ(pButton->role(), QAccessible::RadioButton) << nId;
            EXPECT_TRUE(pButton->state().checkable) << nId;
            EXPECT_EQ(pButton->text(QAccessible::Name), frame.GetAction(nId)->toolTip()) << nId;
            if (pButton->state().checked) {
                arrChecked << nId;
            }
        }
        return arrChecked;
    };
    EXPECT_EQ(checked({ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS}),
              QList<unsigned>{ID_VIEW_DETAILS});
    // By the buttons' own press action, as an assistive tool presses them.
    for (const unsigned nId : aStyles) {
        QAccessibleInterface* pButton = QAccessible::queryAccessibleInterface(
            frame.GetToolBar()->widgetForAction(frame.GetAction(nId)));
        pButton->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(checked({ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS}),
                  QList<unsigned>{nId});
    }
    // By the View menu: the same action.
    frame.GetAction(ID_VIEW_SMALLICON)->trigger();
    EXPECT_EQ(checked({ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS}),
              QList<unsigned>{ID_VIEW_SMALLICON});
    frame.GetAction(ID_VIEW_GENRE)->trigger();
    EXPECT_EQ(checked({ID_VIEW_ARTIST, ID_VIEW_GENRE}), QList<unsigned>{ID_VIEW_GENRE});
    // Buttons of no exclusive group stay what Qt makes them.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(
                  frame.GetToolBar()->widgetForAction(frame.GetAction(ID_PLAY)))
                  ->role(),
              QAccessible::Button);
}
