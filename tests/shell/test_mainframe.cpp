// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/mp3propertysheet.h"
#include "catalogue/docview.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "panes/leftview.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "panes/viewhints.h"
#include "platform/icons.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/addressbox.h"
#include "shell/filterbox.h"
#include "shell/mainframe.h"
#include "shell/statuspanes.h"
#include "shell/trackcommands.h"
#include "tests/support/fakefileops.h"
#include "tests/support/fakes.h"
#include "tests/support/fakeshell.h"
#include "tests/support/lockedlibrary.h"
#include "tests/support/programrun.h"
#include "tests/support/scanwait.h"
#include "tests/support/testfiles.h"
#include "tests/support/writewait.h"

#include "platform/handoffwatch.h"
#include "shell/busyanimation.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QString SettingsFile() {
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
           QStringLiteral("/Quillon Softs/Tunebrowse.conf");
}

void PressOk(QWidget& dialog) {
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

QString Q(const std::string& str) {
    return QString::fromStdString(str);
}

class MainFrame : public ::testing::Test {
protected:
    MainFrame() {
        QFile::remove(SettingsFile());
        WriteBytes(m_library.Path() / "a.mp3", Audio(1000) + MakeTag("One", "Zoe", "", "", "", 17));
        WriteBytes(m_library.Path() / "b.mp3", Audio(2000) + MakeTag("Two", "adam", "", "", "", 8));
        WriteBytes(m_library.Path() / "Sub" / "c.mp3", Audio(3000) + MakeTag("Three", "Zoe"));
        CSettingsStore().WriteString(CUserSettings::SECTION_MP3, "FilePath", m_library.Str());
    }
    ~MainFrame() override { QFile::remove(SettingsFile()); }

    // A window as the program makes it at start: settings loaded, start folder scanned.
    std::unique_ptr<CMainFrame> OpenWindow() {
        m_settings = CUserSettings();
        m_settings.LoadSettings(m_store);
        auto pFrame = std::make_unique<CMainFrame>(m_settings, m_store, m_seams);
        pFrame->show();
        pFrame->StartUp(nullptr);
        EXPECT_TRUE(WaitForFolder(*pFrame));
        return pFrame;
    }

    static void SelectFirstRow(CMainFrame& frame) {
        auto* pDetails = frame.GetRightPane()->findChild<QTableView*>();
        pDetails->selectionModel()->select(pDetails->model()->index(0, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    CTempDir m_library;
    CSettingsStore m_store;
    CUserSettings m_settings;
    CRecordingMessages m_messages;
    CScriptedModals m_modals;
    SFrameSeams m_seams{nullptr, nullptr, &m_messages, &m_modals};
};

} // namespace

TEST_F(MainFrame, StartsOnTheStoredFolderWithItsCatalogue) {
    const auto pFrame = OpenWindow();
    EXPECT_EQ(pFrame->windowTitle(), Q(m_library.Str()) + " - Tunebrowse");
    EXPECT_EQ(pFrame->GetDocument().GetTracks()->size(), 3u);
    EXPECT_EQ(pFrame->GetStatusPanes()->GetPaneText(0), Q(m_library.Str()));
    EXPECT_EQ(pFrame->GetStatusPanes()->GetPaneText(3), "3 file(s)");
    EXPECT_FALSE(pFrame->GetAnimation()->IsRunning());
    EXPECT_EQ(pFrame->GetAddressBox()->currentText(), Q(m_library.Str()));
    EXPECT_EQ(pFrame->GetActiveView(), pFrame->GetLeftPane());
    EXPECT_EQ(pFrame->GetRightPane()->GetDisplayStyle(), CListViewEx::EDisplayStyle::Details);
}

TEST_F(MainFrame, WindowPlacementAndBarsSurviveARestart) {
    // The stored rectangle is the outer one, frame included.
    {
        const auto pFrame = OpenWindow();
        EXPECT_EQ(pFrame->frameGeometry(), QRect(50, 50, 600, 400));
        pFrame->GetAction(ID_VIEW_LABELS)->trigger();
        pFrame->GetAction(ID_VIEW_GENRE)->trigger();
        const QSize frameExtra = pFrame->frameGeometry().size() - pFrame->size();
        // Within the offscreen screen: a rectangle that fits comes back unchanged.
        pFrame->resize(QSize(700, 500) - frameExtra);
        pFrame->move(10, 20);
        pFrame->close();
    }
    const auto pFrame = OpenWindow();
    EXPECT_EQ(m_settings.m_nWindowWidth, 700);
    EXPECT_EQ(m_settings.m_nWindowTop, 20);
    EXPECT_EQ(pFrame->frameGeometry(), QRect(10, 20, 700, 500));
    EXPECT_EQ(m_settings.m_bShowLabels, 0);
    EXPECT_EQ(pFrame->GetToolBar()->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(pFrame->GetViewType(), 1);
    EXPECT_TRUE(pFrame->GetAction(ID_VIEW_GENRE)->isChecked());
}

// Columns never changed store nothing, and follow the font at the next start; the header's menu
// and a resize are stored when the window closes.
TEST_F(MainFrame, ColumnsChangedThroughTheHeaderSurviveARestart) {
    {
        const auto pFrame = OpenWindow();
        pFrame->close();
    }
    EXPECT_FALSE(m_store.HasValue(CUserSettings::SECTION_USER, "ColumnWidths"));
    {
        const auto pFrame = OpenWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pFrame.get()));
        QHeaderView* pHeader = pFrame->GetRightPane()->GetDetailsView()->horizontalHeader();
        m_modals.OnMenu([](QMenu& menu, const QPoint&) { return menu.actions().back(); });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                pHeader->viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(pHeader->viewport(), &event);
        EXPECT_TRUE(m_modals.Done());
        pHeader->resizeSection(CTrackListModel::COL_TITLE, 211);
        pFrame->close();
    }
    const auto pFrame = OpenWindow();
    const QHeaderView* pHeader = pFrame->GetRightPane()->GetDetailsView()->horizontalHeader();
    EXPECT_FALSE(pHeader->isSectionHidden(CTrackListModel::COL_TRACK));
    EXPECT_EQ(pHeader->sectionSize(CTrackListModel::COL_TITLE), 211);
    EXPECT_EQ(m_settings.m_strHiddenColumns, "");
}

TEST_F(MainFrame, AddressHistoryKeepsFiveAcrossARestart) {
    std::vector<QString> arrFolders;
    {
        const auto pFrame = OpenWindow();
        for (int i = 0; i < 6; ++i) {
            arrFolders.push_back(Q(m_library.Str()) + "/Sub" + QString::number(i));
            std::filesystem::create_directories(arrFolders.back().toStdString());
            pFrame->OnAddressEnter(arrFolders.back() + "/"); // one trailing "/" is dropped
            EXPECT_TRUE(WaitForFolder(*pFrame));
        }
        EXPECT_EQ(pFrame->GetAddressBox()->count(), 7);
        EXPECT_EQ(pFrame->GetAddressBox()->itemText(0), arrFolders[5]);
        EXPECT_EQ(pFrame->windowTitle(), arrFolders[5] + " - Tunebrowse");
        pFrame->close();
    }
    const auto pFrame = OpenWindow();
    CAddressBox* pBox = pFrame->GetAddressBox();
    // The start folder is the folder scanned last, already in the history: selected, not added.
    ASSERT_EQ(pBox->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pBox->itemText(i), arrFolders[5 - i]);
    }
    EXPECT_EQ(pBox->currentIndex(), 0);
}

TEST_F(MainFrame, AddressTestAndNormalisation) {
    const auto pFrame = OpenWindow();
    CAddressBox* pBox = pFrame->GetAddressBox();
    CHintLog recorder;
    pFrame->GetDocument().AddView(&recorder);

    // a file is no folder: nothing changes
    for (const char* pszTyped : {"/a.mp3", "/missing"}) {
        pFrame->OnAddressEnter(Q(m_library.Str()) + pszTyped);
        EXPECT_TRUE(WaitForFolder(*pFrame));
    }
    EXPECT_EQ(m_messages.m_arrTexts.size(), 2);
    EXPECT_EQ(pBox->count(), 1);
    EXPECT_TRUE(recorder.m_arrHints.empty());

    // the same path is found, not added; in other letter case it is another folder; a long path
    // is kept whole
    const std::string strLong = m_library.Str() + '/' + std::string(300, 'x');
    const struct {
        std::string strPath;
        int nCount;
    } aAdded[] = {
        {m_library.Str(), 1}, {Q(m_library.Str()).toUpper().toStdString(), 2}, {strLong, 3}};
    for (const auto& c : aAdded) {
        pFrame->AddAddress(c.strPath);
        EXPECT_EQ(pBox->count(), c.nCount) << c.strPath;
        EXPECT_EQ(pBox->currentText(), Q(c.strPath));
    }
    pBox->removeItem(0);
    pBox->removeItem(0);

    // the root is a mount point: a drive item "/"
    pFrame->AddAddress(std::string());
    EXPECT_EQ(pBox->itemText(0), "/");
    EXPECT_TRUE(pBox->itemData(0, CAddressBox::ROLE_DRIVE).toBool());
    EXPECT_FALSE(pBox->itemData(1, CAddressBox::ROLE_DRIVE).toBool());

    // picking an item rescans it, even the folder shown
    pFrame->OnAddressSelected(QByteArray::fromStdString(m_library.Str()));
    EXPECT_EQ(recorder.m_arrHints,
              (std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_SHOW_TRACKS, HINT_REBUILD_END}));
    pFrame->GetDocument().RemoveView(&recorder);
}

TEST_F(MainFrame, EnterInTheFieldScansOnceAndEscapeRestoresTheText) {
    const auto pFrame = OpenWindow();
    CHintLog recorder;
    pFrame->GetDocument().AddView(&recorder);
    QLineEdit* pEdit = pFrame->GetAddressBox()->lineEdit();
    pEdit->setText(Q(m_library.Str()) + "/Sub");
    QTest::keyClick(pEdit, Qt::Key_Return);
    EXPECT_TRUE(WaitForFolder(*pFrame));
    EXPECT_EQ(
        std::count(recorder.m_arrHints.begin(), recorder.m_arrHints.end(), HINT_REBUILD_BEGIN), 1);
    EXPECT_EQ(pFrame->GetAddressBox()->count(), 2);
    EXPECT_EQ(pFrame->GetDocument().GetTracks()->size(), 1u);

    pEdit->setText(QStringLiteral("/typed/but/not/confirmed"));
    QTest::keyClick(pEdit, Qt::Key_Escape);
    EXPECT_EQ(pEdit->text(), Q(m_library.Str()) + "/Sub");
    pFrame->GetDocument().RemoveView(&recorder);
}

TEST_F(MainFrame, OrganisationCommandsSendTheRebuildHints) {
    const auto pFrame = OpenWindow();
    CHintLog recorder;
    pFrame->GetDocument().AddView(&recorder);
    pFrame->GetAction(ID_VIEW_ARTIST)->trigger(); // already by artist: nothing
    EXPECT_TRUE(recorder.m_arrHints.empty());
    EXPECT_TRUE(pFrame->GetAction(ID_VIEW_ARTIST)->isChecked());

    pFrame->GetAction(ID_VIEW_GENRE)->trigger();
    EXPECT_EQ(recorder.m_arrHints.front(), HINT_REBUILD_BEGIN);
    EXPECT_EQ(recorder.m_arrHints[1], HINT_BY_GENRE);
    EXPECT_EQ(recorder.m_arrHints.back(), HINT_REBUILD_END);
    EXPECT_TRUE(pFrame->GetAction(ID_VIEW_GENRE)->isChecked());
    EXPECT_FALSE(pFrame->GetAction(ID_VIEW_ARTIST)->isChecked());
    EXPECT_EQ(pFrame->GetStatusPanes()->GetOrganisationIconKind(), static_cast<int>(EIcon::Clef));
    EXPECT_EQ(pFrame->GetDocument().GetTracks()->size(), 3u); // not rescanned
    pFrame->GetDocument().RemoveView(&recorder);
}

TEST_F(MainFrame, StoredOrganisationOutOfRangeMarksNothing) {
    CSettingsStore().WriteInt(CUserSettings::SECTION_USER, "ViewType", 2);
    const auto pFrame = OpenWindow();
    EXPECT_FALSE(pFrame->GetAction(ID_VIEW_ARTIST)->isChecked());
    EXPECT_FALSE(pFrame->GetAction(ID_VIEW_GENRE)->isChecked());
    EXPECT_EQ(pFrame->GetStatusPanes()->GetOrganisationIconKind(), static_cast<int>(EIcon::Note));
    EXPECT_EQ(pFrame->GetLeftPane()->topLevelItem(0)->childCount(), 0);
}

TEST_F(MainFrame, DisplayStyleCommandsCarryRadioMarks) {
    const auto pFrame = OpenWindow();
    const struct {
        unsigned nId;
        CListViewEx::EDisplayStyle eStyle;
    } aCases[] = {{ID_VIEW_LARGEICON, CListViewEx::EDisplayStyle::LargeIcons},
                  {ID_VIEW_SMALLICON, CListViewEx::EDisplayStyle::SmallIcons},
                  {ID_VIEW_LIST, CListViewEx::EDisplayStyle::List},
                  {ID_VIEW_DETAILS, CListViewEx::EDisplayStyle::Details}};
    for (const auto& c : aCases) {
        pFrame->GetAction(c.nId)->trigger();
        EXPECT_EQ(pFrame->GetRightPane()->GetDisplayStyle(), c.eStyle);
        for (const auto& other : aCases) {
            EXPECT_EQ(pFrame->GetAction(other.nId)->isChecked(), other.nId == c.nId);
        }
    }
}

TEST_F(MainFrame, TrackCommandsFollowTheActivePaneAndTheSelection) {
    const auto pFrame = OpenWindow();
    const unsigned aTrackCommands[] = {ID_PLAY, ID_ENQUEUE, ID_PROPERTIES, ID_EDIT_COPY};
    auto expectEnabled = [&](bool bEnabled) {
        for (const unsigned nId : aTrackCommands) {
            EXPECT_EQ(pFrame->GetAction(nId)->isEnabled(), bEnabled) << nId;
        }
    };
    expectEnabled(false);
    SelectFirstRow(*pFrame); // a selection while the tree is active changes nothing
    expectEnabled(false);
    pFrame->SwitchPane();
    EXPECT_EQ(pFrame->GetActiveView(), pFrame->GetRightPane());
    expectEnabled(true);
    pFrame->GetAction(ID_PREV_PANE)->trigger();
    EXPECT_EQ(pFrame->GetActiveView(), pFrame->GetLeftPane());
    expectEnabled(false);
}

TEST_F(MainFrame, StatusTextsLeaveNullPanesAloneAndEmptyOnesCleared) {
    const auto pFrame = OpenWindow();
    CStatusPanes* pStatus = pFrame->GetStatusPanes();
    pFrame->SetStatusTexts({"Location", "Description", "Count", "Size"});
    EXPECT_TRUE(pStatus->HasDescriptionIcon());
    pFrame->SetStatusTexts(SStatusTexts());
    EXPECT_EQ(pStatus->GetPaneText(0), "Location");
    EXPECT_EQ(pStatus->GetPaneText(1), "");
    EXPECT_FALSE(pStatus->HasDescriptionIcon());
    EXPECT_EQ(pStatus->GetPaneText(3), "Count");
    EXPECT_EQ(pStatus->GetPaneText(4), "Size");
    pFrame->SetStatusTexts({"", "", "", ""});
    for (const int nPane : {0, 3, 4}) {
        EXPECT_EQ(pStatus->GetPaneText(nPane), "") << nPane;
    }
}

TEST_F(MainFrame, StatusBarStaysTrueAfterEveryChange) {
    // A tag whose artist is empty.
    WriteBytes(m_library.Path() / "d.mp3", Audio(400000) + MakeTag("Four", "", "", "", "", 8));
    const auto pFrame = OpenWindow();
    CStatusPanes* pStatus = pFrame->GetStatusPanes();
    CLeftView* pTree = pFrame->GetLeftPane();
    auto* pDetails = pFrame->GetRightPane()->findChild<QTableView*>();
    const auto selectNode = [pTree](const QString& strName) {
        QTreeWidgetItem* pRoot = pTree->topLevelItem(0);
        for (int i = 0; i < pRoot->childCount(); ++i) {
            if (pRoot->child(i)->text(0) == strName) {
                pTree->setCurrentItem(pRoot->child(i));
            }
        }
    };
    const auto selectFirstRow = [&] { SelectFirstRow(*pFrame); };
    const auto editYear = [&] {
        pDetails->selectAll();
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
            sheet.GetPage().GetEdit(ETagField::Year)->setText(QStringLiteral("1998"));
            PressOk(sheet);
        });
        pFrame->GetAction(ID_PROPERTIES)->trigger();
        EXPECT_TRUE(WaitForWrite(&pFrame->GetTrackCommands()));
    };
    const auto pressOkInOptions = [&] {
        selectFirstRow();
        m_modals.OnDialog<QDialog>([](QDialog& dialog) { PressOk(dialog); });
        pFrame->OnOptions();
        EXPECT_TRUE(WaitForFolder(*pFrame));
    };
    const struct {
        const char* pszStep;
        std::function<void()> fnDo;
        QString strPane0, strPane3, strPane4;
    } aSteps[] = {
        {"artist node", [&] { selectNode("Zoe"); }, "Zoe", "2 file(s)", "  0.0 MB"},
        {"artist without a name", [&] { selectNode("(no artist)"); }, "(no artist)", "1 file(s)",
         "  0.4 MB"},
        {"root", [&] { pTree->setCurrentItem(pTree->topLevelItem(0)); }, Q(m_library.Str()),
         "4 file(s)", "  0.4 MB"},
        {"one row", selectFirstRow, Q(m_library.Str()), "1 file selected", "  0.0 MB"},
        {"selection emptied", [&] { pDetails->clearSelection(); }, Q(m_library.Str()), "4 file(s)",
         "  0.4 MB"},
        {"options changed", pressOkInOptions, Q(m_library.Str()), "4 file(s)", "  0.4 MB"},
        {"tag edit", editYear, Q(m_library.Str()), "4 file(s)", "  0.4 MB"},
    };
    pFrame->SwitchPane();
    for (const auto& step : aSteps) {
        step.fnDo();
        EXPECT_EQ(pStatus->GetPaneText(0), step.strPane0) << step.pszStep;
        EXPECT_EQ(pStatus->GetPaneText(3), step.strPane3) << step.pszStep;
        EXPECT_EQ(pStatus->GetPaneText(4), step.strPane4) << step.pszStep;
    }
}

TEST_F(MainFrame, CommandPromptsAreStatusTipsAndToolTips) {
    const auto pFrame = OpenWindow();
    QAction* pPlay = pFrame->GetAction(ID_PLAY);
    EXPECT_EQ(pPlay->statusTip(), "Play the selected file");
    EXPECT_EQ(pPlay->toolTip(), "Play");
    EXPECT_EQ(pPlay->iconText(), "Play");
    EXPECT_EQ(pFrame->GetAction(ID_VIEW_ADDRESSBAR)->statusTip(), "Show or hide adress bar");
    EXPECT_EQ(pFrame->GetAction(ID_PROPERTIES)->iconText(), "Prop.");
}

TEST_F(MainFrame, EveryCommandHasItsKeysAndItsMark) {
    const auto pFrame = OpenWindow();
    using K = QKeySequence;
    const struct {
        unsigned nId;
        QList<QKeySequence> arrKeys;
        bool bCheckable;
    } aCommands[] = {
        {ID_PLAY, {K(Qt::CTRL | Qt::Key_P)}, false},
        {ID_ENQUEUE, {K(Qt::CTRL | Qt::Key_E)}, false},
        {ID_EDIT_COPY, {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}, false},
        {ID_PROPERTIES, {K(Qt::CTRL | Qt::Key_Return), K(Qt::CTRL | Qt::Key_Enter)}, false},
        {ID_VIEW_ARTIST, {}, true},
        {ID_VIEW_GENRE, {}, true},
        {ID_VIEW_LARGEICON, {}, true},
        {ID_VIEW_DETAILS, {}, true},
        {ID_EDIT_UNDO, {K(K::Undo)}, false},
        {ID_APP_EXIT, {}, false},
        {ID_FILE_OPEN_FOLDER, {K(Qt::CTRL | Qt::Key_O)}, false},
        {ID_VIEW_REFRESH, {K(Qt::Key_F5)}, false},
        {ID_FOCUS_ADDRESS, {K(Qt::CTRL | Qt::Key_L), K(Qt::ALT | Qt::Key_D)}, false},
        {ID_FOCUS_FILTER, {K(K::Find)}, false},
        {ID_NEXT_PANE, {K(Qt::Key_F6)}, false},
        {ID_PREV_PANE, {K(Qt::SHIFT | Qt::Key_F6)}, false},
        {ID_VIEW_TOOLBAR, {}, true},
        {ID_VIEW_ADDRESSBAR, {}, true},
        {ID_VIEW_LABELS, {}, true},
        {ID_VIEW_STATUS_BAR, {}, true},
        {ID_VIEW_OPTIONS, {}, false},
        {ID_APP_ABOUT, {}, false},
    };
    for (const auto& c : aCommands) {
        const QAction* pAction = pFrame->GetAction(c.nId);
        ASSERT_NE(pAction, nullptr) << c.nId;
        QList<QKeySequence> arrKeys = pAction->shortcuts();
        arrKeys.removeAll(QKeySequence());
        EXPECT_EQ(arrKeys, c.arrKeys) << c.nId;
        EXPECT_EQ(pAction->isCheckable(), c.bCheckable) << c.nId;
        EXPECT_FALSE(pAction->text().isEmpty()) << c.nId;
    }
    // The status bar's mark hides and shows it, as the bars' marks do theirs.
    QAction* pStatus = pFrame->GetAction(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(pStatus->isChecked());
    pStatus->trigger();
    EXPECT_FALSE(pFrame->statusBar()->isVisible());
    EXPECT_FALSE(pStatus->isChecked());
    pStatus->trigger();
    EXPECT_TRUE(pFrame->statusBar()->isVisible());
    EXPECT_TRUE(pStatus->isChecked());
}

TEST_F(MainFrame, UndoComesFirstInTheEditMenuAndTakesBackTheLastEdit) {
    const std::string strOriginal = ReadBytes(m_library.Path() / "a.mp3");
    const auto pFrame = OpenWindow();
    QAction* pUndo = pFrame->GetAction(ID_EDIT_UNDO);
    ASSERT_NE(pUndo, nullptr);
    QMenu* pEdit = pFrame->menuBar()->actions().at(1)->menu();
    ASSERT_NE(pEdit, nullptr);
    EXPECT_EQ(pEdit->actions().front(), pUndo);
    EXPECT_EQ(pUndo->shortcut(), QKeySequence(QKeySequence::Undo));
    EXPECT_EQ(pUndo->statusTip(), "Take back the last tag edit");
    const auto expectUndo = [pUndo](bool bEnabled, const char* pszText) {
        EXPECT_EQ(pUndo->isEnabled(), bEnabled) << pszText;
        EXPECT_EQ(pUndo->text(), QString::fromUtf8(pszText));
    };
    expectUndo(false, "&Undo");

    pFrame->SwitchPane();
    pFrame->GetRightPane()->findChild<QTableView*>()->selectAll();
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        sheet.GetPage().GetEdit(ETagField::Year)->setText(QStringLiteral("1998"));
        PressOk(sheet);
    });
    pFrame->GetAction(ID_PROPERTIES)->trigger();
    EXPECT_TRUE(WaitForWrite(&pFrame->GetTrackCommands()));
    expectUndo(true, "&Undo tag edit of 3 files");
    EXPECT_NE(ReadBytes(m_library.Path() / "a.mp3"), strOriginal);

    pUndo->trigger();
    EXPECT_TRUE(WaitForWrite(&pFrame->GetTrackCommands()));
    expectUndo(false, "&Undo");
    EXPECT_EQ(ReadBytes(m_library.Path() / "a.mp3"), strOriginal);
    for (CTrackInfo* pTrack : *pFrame->GetDocument().GetTracks()) {
        EXPECT_EQ(pTrack->GetYear(), "") << pTrack->GetFileName();
    }
}

TEST_F(MainFrame, TagTextsAreReadInTheChosenEncodingFromTheStartAndAfterAChange) {
    // 0xC6 is a Cyrillic letter in Windows-1251 and a Latin one in Windows-1252.
    WriteBytes(m_library.Path() / "a.mp3", Audio(1000) + MakeTag("\xC6", "Zoe", "", "", "", 17));
    const auto titleOfA = [](CMainFrame& frame) {
        for (CTrackInfo* pTrack : *frame.GetDocument().GetTracks()) {
            if (pTrack->GetFileName() == "a.mp3") {
                return std::string(pTrack->GetTitle());
            }
        }
        return std::string("(missing)");
    };
    m_store.WriteString(CUserSettings::SECTION_USER, "TagEncoding", "Windows-1251");
    {
        const auto pFrame = OpenWindow();
        EXPECT_EQ(pFrame->GetDocument().GetTagCodec().GetName(), "Windows-1251");
        EXPECT_EQ(titleOfA(*pFrame), "\xD0\x96");
    }
    m_store.WriteString(CUserSettings::SECTION_USER, "TagEncoding", "no such code page");
    const auto pFrame = OpenWindow();
    EXPECT_EQ(pFrame->GetDocument().GetTagCodec().GetName(), "Automatic");
    EXPECT_EQ(titleOfA(*pFrame), "\xC3\x86");
    CHintLog recorder;
    pFrame->GetDocument().AddView(&recorder);
    for (const char* pszChoice : {"Windows-1251", "Windows-1251"}) {
        m_modals.OnDialog<QDialog>([pszChoice](QDialog& dialog) {
            auto* pEncoding = dialog.findChild<QComboBox*>();
            pEncoding->setCurrentIndex(pEncoding->findData(QString::fromUtf8(pszChoice)));
            PressOk(dialog);
        });
        pFrame->OnOptions();
        EXPECT_TRUE(WaitForFolder(*pFrame));
    }
    pFrame->GetDocument().RemoveView(&recorder);
    EXPECT_EQ(titleOfA(*pFrame), "\xD0\x96");
    // The folder was read again once: choosing the same encoding again reads nothing.
    EXPECT_EQ(
        std::count(recorder.m_arrHints.begin(), recorder.m_arrHints.end(), HINT_REBUILD_BEGIN), 1);
}

TEST_F(MainFrame, TypedAddressesAreResolvedAgainstTheFolderShown) {
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(m_library.Str()));
    const auto pFrame = OpenWindow();
    const std::string strLib = m_library.Str();
    const struct {
        const char* pszTyped;
        std::string strShown;   // the folder shown afterwards
        const char* pszMessage; // nullptr for none
    } aCases[] = {
        {"Sub", strLib + "/Sub", nullptr},
        {"..", strLib, nullptr},
        {"./Sub/../Sub//", strLib + "/Sub", nullptr},
        {"~", strLib, nullptr},
        {"~/Sub", strLib + "/Sub", nullptr},
        {"missing", strLib + "/Sub", "The folder \"%1/Sub/missing\" does not exist."},
        {"c.mp3", strLib + "/Sub", "\"%1/Sub/c.mp3\" is not a folder."},
    };
    for (const auto& c : aCases) {
        const int nCount = pFrame->GetAddressBox()->count();
        m_messages.m_arrTexts.clear();
        pFrame->OnAddressEnter(QString::fromUtf8(c.pszTyped));
        EXPECT_TRUE(WaitForFolder(*pFrame));
        EXPECT_EQ(pFrame->GetDocument().GetTitle(), c.strShown) << c.pszTyped;
        if (c.pszMessage == nullptr) {
            EXPECT_TRUE(m_messages.m_arrTexts.isEmpty()) << c.pszTyped;
        } else {
            EXPECT_EQ(m_messages.m_arrTexts,
                      QStringList{QString::fromUtf8(c.pszMessage).arg(Q(strLib))})
                << c.pszTyped;
            EXPECT_EQ(pFrame->GetAddressBox()->count(), nCount) << c.pszTyped;
        }
    }
    pFrame->close();
    // Stored whole and absolute: another start from another directory finds the same folder.
    EXPECT_EQ(m_store.ReadPath(CUserSettings::SECTION_MP3, "FilePath", ""), strLib + "/Sub");
    qputenv("HOME", home);
}

// Ctrl+O's dialog starts in the folder shown; the folder chosen is opened, and a dialog
// dismissed changes nothing.
TEST_F(MainFrame, CtrlOOpensTheFolderChosenInItsDialog) {
    const auto pFrame = OpenWindow();
    const std::string strLib = m_library.Str();
    const struct {
        const char* pszCase;
        std::optional<std::string> chosen; // none: the dialog is dismissed
        std::string strShown;
    } aCases[] = {
        {"a sub-folder chosen", strLib + "/Sub", strLib + "/Sub"},
        {"dismissed", std::nullopt, strLib + "/Sub"},
        {"the parent chosen", strLib, strLib},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        const std::string strBefore = pFrame->GetDocument().GetTitle();
        m_modals.OnDialog<QFileDialog>([&](QFileDialog& dialog) {
            EXPECT_EQ(dialog.directory().absolutePath(), Q(strBefore));
            if (!c.chosen) {
                dialog.reject();
                return;
            }
            dialog.selectFile(Q(*c.chosen));
            static_cast<QDialog&>(dialog).accept(); // as its Choose button does
        });
        // The window is active again once the dialog before it has gone, as on a desktop.
        pFrame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(pFrame.get()));
        QTest::keyClick(pFrame.get(), Qt::Key_O, Qt::ControlModifier);
        EXPECT_TRUE(m_modals.Done());
        EXPECT_TRUE(WaitForFolder(*pFrame));
        EXPECT_EQ(pFrame->GetDocument().GetTitle(), c.strShown);
    }
}

TEST_F(MainFrame, FolderNamesThatAreNotUtf8AreOpenedAndStoredAsTheirBytes) {
    const std::string strOdd = m_library.Str() + "/Caf\xE9";
    WriteBytes(std::filesystem::path(strOdd) / "d.mp3", Audio(500) + MakeTag("Four", "Zoe"));
    m_store.WritePath(CUserSettings::SECTION_MP3, "FilePath", strOdd);
    m_store.Flush();
    const struct {
        const char* pszWay;
        std::function<void(CMainFrame&)> fnOpen;
    } aWays[] = {
        {"settings", [](CMainFrame&) {}},
        {"command line", [&](CMainFrame& frame) { frame.StartUp(strOdd); }},
        {"address field",
         [](CMainFrame& frame) {
             // Enter on the text shown for the item opens the item's own bytes.
             frame.OnAddressEnter(frame.GetAddressBox()->currentText());
         }},
        {"history pick",
         [](CMainFrame& frame) {
             Q_EMIT frame.GetAddressBox()->activated(frame.GetAddressBox()->currentIndex());
         }},
    };
    for (const auto& way : aWays) {
        const auto pFrame = OpenWindow();
        way.fnOpen(*pFrame);
        EXPECT_TRUE(WaitForFolder(*pFrame));
        EXPECT_EQ(pFrame->GetDocument().GetTitle(), strOdd) << way.pszWay;
        EXPECT_EQ(pFrame->GetDocument().GetTracks()->size(), 1u) << way.pszWay;
        pFrame->close();
        EXPECT_EQ(m_store.ReadPath(CUserSettings::SECTION_MP3, "FilePath", ""), strOdd)
            << way.pszWay;
        EXPECT_EQ(m_store.ReadPath(CUserSettings::SECTION_USER, "Address0", ""), strOdd)
            << way.pszWay;
    }
}

TEST_F(MainFrame, TheFilePatternIsAnOptionAnEmptyOneIsRefusedAndAChangeRescans) {
    WriteBytes(m_library.Path() / "e.ogg", Audio(100));
    const auto pFrame = OpenWindow();
    ASSERT_EQ(pFrame->GetDocument().GetTracks()->size(), 3u);
    bool bRefused = false;
    m_modals.OnDialog<QDialog>([this, &bRefused](QDialog& dialog) {
        QLineEdit* pPattern = nullptr;
        for (QLineEdit* pEdit : dialog.findChildren<QLineEdit*>()) {
            if (pEdit->accessibleName() == "File pattern") {
                pPattern = pEdit;
            }
        }
        ASSERT_NE(pPattern, nullptr);
        EXPECT_EQ(pPattern->text(), "*.mp3");
        pPattern->setText(QStringLiteral("  "));
        PressOk(dialog);
        bRefused = m_messages.m_arrTexts == QStringList{"The file pattern cannot be empty."};
        EXPECT_TRUE(dialog.isVisible());
        pPattern->setText(QStringLiteral("*.OGG"));
        PressOk(dialog);
    });
    pFrame->OnOptions();
    EXPECT_TRUE(WaitForFolder(*pFrame));
    EXPECT_TRUE(bRefused);
    EXPECT_EQ(m_settings.m_strFileExt, "*.OGG");
    ASSERT_EQ(pFrame->GetDocument().GetTracks()->size(), 1u);
    EXPECT_EQ(pFrame->GetDocument().GetTracks()->front()->GetFileName(), "e.ogg");
    pFrame->close();
    EXPECT_EQ(CSettingsStore().ReadString(CUserSettings::SECTION_MP3, "FileExt", ""), "*.OGG");
}

TEST_F(MainFrame, AnUnusableSettingsFileIsNamedInTheStatusBarAndLeftAlone) {
    QFile::remove(SettingsFile());
    const QByteArray path = QFile::encodeName(SettingsFile());
    ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
    {
        CSettingsStore store;
        CUserSettings settings;
        settings.LoadSettings(store);
        CMainFrame frame(settings, store);
        frame.show();
        EXPECT_NE(frame.statusBar()->currentMessage().indexOf(SettingsFile()), -1);
        frame.close();
    }
    struct stat st;
    ASSERT_EQ(::stat(path.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ::unlink(path.constData());
}

TEST_F(MainFrame, TheMenuKeyAndShiftF10OpenTheListsMenuAtTheCurrentRowAndNothingInTheTree) {
    const auto pFrame = OpenWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pFrame.get()));
    const struct {
        unsigned nStyle; // 0 for the tree
        Qt::Key eKey;
        Qt::KeyboardModifiers eModifiers;
    } aCases[] = {
        {ID_VIEW_DETAILS, Qt::Key_Menu, Qt::NoModifier},
        {ID_VIEW_DETAILS, Qt::Key_F10, Qt::ShiftModifier},
        {ID_VIEW_LARGEICON, Qt::Key_Menu, Qt::NoModifier},
        {ID_VIEW_LIST, Qt::Key_F10, Qt::ShiftModifier},
        {0, Qt::Key_Menu, Qt::NoModifier},
        {0, Qt::Key_F10, Qt::ShiftModifier},
    };
    for (const auto& c : aCases) {
        QWidget* pTarget = pFrame->GetLeftPane();
        QRect rectCurrent;
        if (c.nStyle != 0) {
            pFrame->GetAction(c.nStyle)->trigger();
            QAbstractItemView* pView = pFrame->GetRightPane()->GetActiveView();
            pView->setCurrentIndex(pView->model()->index(1, 0));
            rectCurrent = QRect(pView->viewport()->mapToGlobal(QPoint(0, 0)),
                                pView->visualRect(pView->currentIndex()).size())
                              .translated(pView->visualRect(pView->currentIndex()).topLeft());
            pTarget = pView;
        }
        pTarget->setFocus();
        QPoint ptMenu(-1, -1);
        QStringList arrItems;
        if (c.nStyle != 0) { // the tree has no menu: a menu opened there fails the test
            m_modals.OnMenu([&](QMenu& menu, const QPoint& pt) -> QAction* {
                ptMenu = pt;
                for (const QAction* pAction : menu.actions()) {
                    arrItems.append(pAction->text());
                }
                return nullptr;
            });
        }
        QTest::keyClick(pTarget, c.eKey, c.eModifiers);
        EXPECT_TRUE(m_modals.Done()) << c.nStyle;
        if (c.nStyle == 0) {
            continue;
        }
        EXPECT_TRUE(arrItems.contains("&Play")) << c.nStyle;
        EXPECT_TRUE(rectCurrent.contains(ptMenu))
            << c.nStyle << " " << ptMenu.x() << "," << ptMenu.y();
        EXPECT_EQ(pFrame->GetActiveView(), pFrame->GetRightPane());
    }
}

TEST_F(MainFrame, ViewMenuMarksFollowTheBarsWhoeverHidesThem) {
    const auto pFrame = OpenWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pFrame.get()));
    const struct {
        QToolBar* pBar;
        unsigned nId;
    } aBars[] = {{pFrame->GetToolBar(), ID_VIEW_TOOLBAR},
                 {pFrame->GetAddressBar(), ID_VIEW_ADDRESSBAR}};
    for (const auto& bar : aBars) {
        QAction* pView = pFrame->GetAction(bar.nId);
        // The entry of Qt's own menu of the bars, as a right click on a bar shows it.
        std::unique_ptr<QMenu> pBarsMenu(pFrame->createPopupMenu());
        QAction* pQtEntry = bar.pBar->toggleViewAction();
        ASSERT_TRUE(pBarsMenu->actions().contains(pQtEntry));
        pQtEntry->trigger();
        EXPECT_FALSE(bar.pBar->isVisible()) << bar.nId;
        EXPECT_FALSE(pView->isChecked()) << bar.nId;
        // The next click on the View entry shows the bar again instead of appearing to do nothing.
        pView->trigger();
        EXPECT_TRUE(bar.pBar->isVisible()) << bar.nId;
        EXPECT_TRUE(pView->isChecked()) << bar.nId;
        pQtEntry->trigger();
    }
}

TEST_F(MainFrame, FilterBoxNarrowsTheListAndSurvivesARescanButNotAnotherNode) {
    const auto pFrame = OpenWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pFrame.get()));
    CFilterBox* pFilter = pFrame->GetFilterBox();
    EXPECT_EQ(pFilter->placeholderText(), "Filter");
    QTest::keyClick(pFrame.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(pFilter->hasFocus());
    QTest::keyClicks(pFilter, "ZOE");
    QAbstractItemModel* pModel = pFrame->GetRightPane()->GetDetailsView()->model();
    EXPECT_EQ(pModel->rowCount(), 2);
    EXPECT_EQ(pFrame->GetStatusPanes()->GetPaneText(3), "2 of 3 file(s)");

    // A rescan rebuilds the tree, whose root describes itself last: the count stays the list's.
    pFrame->GetAction(ID_VIEW_REFRESH)->trigger();
    EXPECT_TRUE(WaitForFolder(*pFrame));
    EXPECT_EQ(pFilter->text(), "ZOE");
    EXPECT_EQ(pModel->rowCount(), 2);
    EXPECT_EQ(pFrame->GetStatusPanes()->GetPaneText(3), "2 of 3 file(s)");

    QTest::keyClick(pFilter, Qt::Key_Escape);
    EXPECT_TRUE(pFilter->text().isEmpty());
    EXPECT_EQ(pModel->rowCount(), 3);
    EXPECT_TRUE(pFrame->GetRightPane()->HasFocusWithin());
    EXPECT_EQ(pFrame->GetActiveView(), pFrame->GetRightPane());
    EXPECT_EQ(pFrame->GetStatusPanes()->GetPaneText(3), "3 file(s)");

    // Another node of the tree.
    pFilter->setText("zoe");
    CLeftView* pTree = pFrame->GetLeftPane();
    pTree->setCurrentItem(pTree->topLevelItem(0)->child(0));
    EXPECT_TRUE(pFilter->text().isEmpty());
    EXPECT_FALSE(pFrame->GetRightPane()->IsFiltered());
}

// Every combination of node, filter (off, on, cleared after the selection) and selection (none
// after one was taken back, one, two): the count and size panes tell what the list shows, or
// what is selected in it, never the node's whole list while a filter hides part of it.
TEST_F(MainFrame, StatusBarDescribesWhatTheListShowsAndSelects) {
    WriteBytes(m_library.Path() / "d.mp3", Audio(1200000) + MakeTag("Far Four", "Zoe"));
    WriteBytes(m_library.Path() / "e.mp3", Audio(3400000) + MakeTag("Five", "adam"));
    WriteBytes(m_library.Path() / "f.mp3", Audio(500000) + MakeTag("Far Six", "Zoe"));
    WriteBytes(m_library.Path() / "g.mp3", Audio(2000000) + MakeTag("Seven", "Zoe"));
    const auto pFrame = OpenWindow();
    CLeftView* pTree = pFrame->GetLeftPane();
    CTunebrView* pList = pFrame->GetRightPane();
    QItemSelectionModel* pSelection = pList->GetSelectionModel();
    const auto select = [&](const char* pszTitle) {
        for (int nRow = 0; nRow < pList->GetModel()->rowCount(); ++nRow) {
            if (pList->GetModel()->GetTrack(nRow)->GetTitle() == pszTitle) {
                pSelection->select(pList->GetModel()->index(nRow, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
    };
    const struct {
        QString strLabel;
        QTreeWidgetItem* pNode;
        QString strWholeCount, strWholeSize, strFilteredCount;
    } aNodes[] = {
        {Q(m_library.Str()), pTree->topLevelItem(0), "7 file(s)", "  7.1 MB", "2 of 7 file(s)"},
        {"Zoe", pTree->topLevelItem(0)->child(1), "5 file(s)", "  3.7 MB", "2 of 5 file(s)"},
    };
    const QString strFilteredSize = "  1.7 MB"; // Far Four and Far Six
    enum EFilter { Off, On, Cleared };
    const struct {
        const char* pszName;
        std::vector<const char*> arrTitles; // selected, in this order
        QString strDescription, strCount, strSize;
    } aSelections[] = {
        {"none", {}, "", "", ""},
        {"one", {"Far Six"}, "Zoe - Far Six [ Other ]", "1 file selected", "  0.5 MB"},
        {"several", {"Far Four", "Far Six"}, "", "2 files selected", "  1.7 MB"},
    };
    ASSERT_EQ(aNodes[1].pNode->text(0), "Zoe");
    for (const auto& node : aNodes) {
        for (const EFilter eFilter : {Off, On, Cleared}) {
            for (const auto& selection : aSelections) {
                SCOPED_TRACE(node.strLabel.toStdString() + ", filter " + std::to_string(eFilter) +
                             ", selection " + selection.pszName);
                pFrame->GetFilterBox()->clear();
                pTree->setCurrentItem(pTree->topLevelItem(0)->child(0));
                pTree->setCurrentItem(node.pNode);
                if (eFilter != Off) {
                    pFrame->GetFilterBox()->setText("far");
                }
                if (selection.arrTitles.empty()) {
                    select("Far Six");
                    pSelection->clearSelection();
                }
                for (const char* pszTitle : selection.arrTitles) {
                    select(pszTitle);
                }
                if (eFilter == Cleared) {
                    pFrame->GetFilterBox()->clear();
                }
                const bool bSelected = !selection.arrTitles.empty();
                const bool bFiltered = eFilter == On;
                const CStatusPanes* pStatus = pFrame->GetStatusPanes();
                EXPECT_EQ(pStatus->GetPaneText(0), node.strLabel);
                EXPECT_EQ(pStatus->GetPaneText(1), selection.strDescription);
                EXPECT_EQ(pStatus->GetPaneText(3), bSelected   ? selection.strCount
                                                   : bFiltered ? node.strFilteredCount
                                                               : node.strWholeCount);
                EXPECT_EQ(pStatus->GetPaneText(4), bSelected   ? selection.strSize
                                                   : bFiltered ? strFilteredSize
                                                               : node.strWholeSize);
            }
        }
    }
}

// A command's prompt covers the panes while the pointer is on it; it goes when the pointer
// leaves the window and when the dialog the command opened closes. Other messages stay.
TEST_F(MainFrame, ACommandPromptGoesWithThePointerOrTheDialog) {
    const auto pFrame = OpenWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pFrame.get()));
    QAction* pAbout = pFrame->GetAction(ID_APP_ABOUT);
    QAction* pPlay = pFrame->GetAction(ID_PLAY);
    const auto leave = [&] {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(pFrame.get(), &event);
    };
    const struct {
        const char* pszName;
        QAction* pAction;
        QWidget* pShownFrom; // the button or the menu bar the pointer is on
        std::function<void()> fnThen;
    } aCases[] = {
        {"pointer leaves a button", pPlay, pFrame->GetToolBar()->widgetForAction(pPlay), leave},
        {"About chosen in the menu", pAbout, pFrame->menuBar(),
         [&] {
             m_modals.OnDialog<QDialog>([](QDialog& dialog) { dialog.reject(); });
             pAbout->trigger();
         }},
    };
    for (const auto& c : aCases) {
        c.pAction->showStatusText(c.pShownFrom);
        EXPECT_EQ(pFrame->statusBar()->currentMessage(), c.pAction->statusTip()) << c.pszName;
        c.fnThen();
        QTest::qWait(20);
        EXPECT_EQ(pFrame->statusBar()->currentMessage(), "") << c.pszName;
    }
    pFrame->statusBar()->showMessage("A notice");
    leave();
    EXPECT_EQ(pFrame->statusBar()->currentMessage(), "A notice");
}

// "Handing the tracks to the player..." is read whole at any font and a narrow window; a path
// gives its width back.
TEST_F(MainFrame, TheBusyTextIsNeverCut) {
    const auto pFrame = OpenWindow();
    CStatusPanes* pStatus = pFrame->GetStatusPanes();
    CHandoffWatch& watch = pFrame->GetTrackCommands().GetHandoffWatch();
    const QFont fontBefore = pFrame->font();
    for (const int nPoints : {9, 11, 14}) {
        for (const int nWidth : {600, 420}) {
            QFont font = fontBefore;
            font.setPointSize(nPoints);
            pFrame->setFont(font);
            pFrame->resize(nWidth, 400);
            Q_EMIT watch.busyChanged(true);
            pStatus->layout()->activate();
            EXPECT_EQ(pStatus->GetPaneText(0), LoadQString(IDS_HANDING_OVER));
            EXPECT_TRUE(pStatus->IsPaneTextWhole(0)) << nPoints << " pt, " << nWidth << " px";
            Q_EMIT watch.busyChanged(false);
            EXPECT_EQ(pStatus->GetPaneText(0), Q(m_library.Str()));
        }
    }
    pFrame->setFont(fontBefore);
}

// A folder that is missing or holds no file says in the list what to do; so does a folder named
// at start that does not exist, in the window as well as on stderr.
TEST_F(MainFrame, AnEmptyListSaysHowToOpenAFolder) {
    CTempDir empty;
    const std::string strMissing = m_library.Str() + "/missing";
    const struct {
        const char* pszName;
        std::optional<std::string> strNamed; // on the command line
        std::string strStored;               // the start folder
        bool bHint;
        QStringList arrMessages;
    } aCases[] = {
        {"folder with files", std::nullopt, m_library.Str(), false, {}},
        {"missing start folder", std::nullopt, strMissing, true, {}},
        {"folder without a file", std::nullopt, empty.Str(), true, {}},
        {"missing folder named at start",
         strMissing,
         m_library.Str(),
         false,
         {"The folder \"" + Q(strMissing) + "\" does not exist."}},
    };
    for (const auto& c : aCases) {
        CSettingsStore().WriteString(CUserSettings::SECTION_MP3, "FilePath", c.strStored);
        m_settings = CUserSettings();
        m_settings.LoadSettings(m_store);
        m_messages.m_arrTexts.clear();
        CMainFrame frame(m_settings, m_store,
                         SFrameSeams{nullptr, nullptr, &m_messages, &m_modals});
        frame.show();
        frame.StartUp(c.strNamed);
        ASSERT_TRUE(WaitWhile([&] { return frame.IsOpeningFolder(); }));
        QTest::qWait(10);
        EXPECT_EQ(frame.GetRightPane()->IsEmptyHintShown(), c.bHint) << c.pszName;
        EXPECT_EQ(m_messages.m_arrTexts, c.arrMessages) << c.pszName;
        frame.close();
    }
    EXPECT_EQ(LoadQString(IDS_EMPTY_LIST_HINT), "Type a folder in the address box or press Ctrl+O");
}

// The start folder, the history and the sort reach the file at the end of every scan, not only
// when the window closes: a session that ends or a crash loses nothing read.
TEST_F(MainFrame, EveryScanWritesTheFolderHistoryAndSort) {
    const auto pFrame = OpenWindow();
    pFrame->GetRightPane()->OnColumnClick(0);
    const std::string strSub = m_library.Str() + "/Sub";
    pFrame->OnAddressEnter(Q(strSub));
    ASSERT_TRUE(WaitForFolder(*pFrame));
    const CSettingsStore file; // what another process would read now
    EXPECT_EQ(file.ReadPath(CUserSettings::SECTION_MP3, "FilePath", ""), strSub);
    EXPECT_EQ(file.ReadPath(CUserSettings::SECTION_USER, "Address0", ""), strSub);
    EXPECT_EQ(file.ReadPath(CUserSettings::SECTION_USER, "Address1", ""), m_library.Str());
    EXPECT_EQ(file.ReadInt(CUserSettings::SECTION_USER, "SortingColumn", 99),
              m_settings.m_nSortingColumn);
    EXPECT_TRUE(m_messages.m_arrTexts.isEmpty());
}

// Settings that cannot be written are told once, in the window, however many scans follow: here
// the file is a link to another user's file, which is never written through.
TEST_F(MainFrame, SettingsThatCannotBeWrittenAreToldOnce) {
    CTempDir other;
    std::string strTarget = "/etc/passwd"; // root's, for a test that is not run by root
    if (::geteuid() == 0) {
        strTarget = other.Str() + "/theirs.conf";
        WriteBytes(strTarget, "[MP3]\nFilePath=/theirs\n");
        ASSERT_EQ(::chown(strTarget.c_str(), 65534, 65534), 0);
    }
    const std::string strBefore = ReadBytes(strTarget);
    QFile::remove(SettingsFile());
    ASSERT_TRUE(QFile::link(QString::fromStdString(strTarget), SettingsFile()));
    {
        CSettingsStore store;
        CUserSettings settings;
        settings.LoadSettings(store);
        CMainFrame frame(settings, store, SFrameSeams{nullptr, nullptr, &m_messages, &m_modals});
        frame.show();
        frame.StartUp(std::optional<std::string>(m_library.Str()));
        ASSERT_TRUE(WaitForFolder(frame));
        frame.OpenAddress(m_library.Str() + "/Sub");
        ASSERT_TRUE(WaitForFolder(frame));
        QTest::qWait(10);
        ASSERT_EQ(m_messages.m_arrTexts.size(), 1);
        EXPECT_NE(m_messages.m_arrTexts.front().indexOf(SettingsFile()), -1);
        frame.close();
    }
    EXPECT_EQ(m_messages.m_arrTexts.size(), 1);
    EXPECT_EQ(ReadBytes(strTarget), strBefore);
    EXPECT_TRUE(QFileInfo(SettingsFile()).isSymLink());
    QFile::remove(SettingsFile());
}

// What a scan could not open is counted in the status bar when it ends, and the count goes with
// the next folder read whole.
TEST_F(MainFrame, WhatCannotBeOpenedIsCountedInTheStatusBarUntilTheNextFolder) {
    for (const char* pszName : {"denied.mp3", "io.mp3", "deniedFolder/d.mp3", "gone.mp3"}) {
        WriteBytes(m_library.Path() / pszName, Audio(500));
    }
    // Enough for a count grouped as the panes group theirs, whatever another locale would do.
    for (int i = 0; i < 1000; ++i) {
        WriteBytes(m_library.Path() / "Many" / ("denied" + std::to_string(i) + ".mp3"), "");
    }
    const QLocale localeBefore;
    QLocale::setDefault(QLocale(QLocale::German));
    CFakeFileOps ops;
    RefuseOpensByName(ops);
    m_seams.pFileOps = &ops;
    const auto pFrame = OpenWindow();
    const struct {
        const char* pszFolder; // below the library
        const char* pszMessage;
        std::size_t nTracks;
    } aCases[] = {
        // An unreadable file stays listed; a folder's files are missing; a name gone is no fault.
        {"", "1,003 file(s) or folder(s) could not be opened", 1006},
        {"Sub", "", 1},
        {"Many", "1,000 file(s) or folder(s) could not be opened", 1000},
        {"", "1,003 file(s) or folder(s) could not be opened", 1006},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszFolder);
        pFrame->OpenAddress((m_library.Path() / c.pszFolder).string());
        ASSERT_TRUE(WaitForFolder(*pFrame));
        QTest::qWait(100);
        EXPECT_EQ(pFrame->GetDocument().GetTracks()->size(), c.nTracks);
        EXPECT_EQ(pFrame->statusBar()->currentMessage(), c.pszMessage);
    }
    EXPECT_TRUE(m_messages.m_arrTexts.isEmpty());
    // It covers the panes only until they have something new to tell.
    pFrame->SwitchPane();
    SelectFirstRow(*pFrame);
    EXPECT_EQ(pFrame->statusBar()->currentMessage(), "");
    EXPECT_EQ(pFrame->GetStatusPanes()->GetPaneText(3), "1 file selected");
    QLocale::setDefault(localeBefore);
}

// The same count from the window run as a program on files and folders the system itself refuses
// (mode 000, obeyed also when the tests run as root), at the first reading and at the next, which
// starts from the kept catalogue.
TEST(MainFrameProgram, WhatTheSystemRefusesToOpenIsCountedInTheStatusBar) {
    namespace fs = std::filesystem;
    CTempDir dir;
    const fs::path root = dir.Path() / "music";
    WriteLockableLibrary(root);
    const struct {
        const char* pszCase;
        std::vector<const char*> arrLocked; // below the folder read
        std::string strNotice;
    } aCases[] = {
        {"nothing locked", {}, ""},
        {"a file", {"locked.mp3"}, "1 file(s) or folder(s) could not be opened"},
        {"a file and a folder",
         {"locked.mp3", "Locked"},
         "2 file(s) or folder(s) could not be opened"},
    };
    for (const auto& c : aCases) {
        const QTemporaryDir configDir;
        for (const char* pszRun : {"first run", "kept catalogue"}) {
            SCOPED_TRACE(std::string(c.pszCase) + ", " + pszRun);
            const SProgramRun run = RunWithLocked(root, c.arrLocked, [&] {
                return RunProgramWithOutput({WINDOW_SHOT_EXE, (dir.Path() / "shot.png").string(),
                                             root.string(), "--as-read", "--print-status"},
                                            EOutputTo::Pipe, configDir.path().toStdString(), 0,
                                            true);
            });
            if (run.nExit == RUN_NOT_BOUND_BY_MODES) {
                GTEST_SKIP() << "root here cannot give up reading every file";
            }
            EXPECT_EQ(run.nExit, 0) << run.strErr;
            EXPECT_EQ(run.strOut, c.strNotice + "\n") << run.strErr;
        }
    }
}

// Rows that are no regular file (a folder named like a track, a link to nothing) stay out of
// Play and Enqueue, which take the others; the status bar names them.
TEST_F(MainFrame, PlayAndEnqueueNameTheRowsThatAreNoFileInTheStatusBar) {
    std::filesystem::create_directory(m_library.Path() / "folder.mp3");
    std::filesystem::create_symlink(m_library.Path() / "nowhere",
                                    m_library.Path() / "dangling.mp3");
    CFakeShell shell;
    m_seams.pShell = &shell;
    const auto pFrame = OpenWindow();
    pFrame->SwitchPane();
    auto* pDetails = pFrame->GetRightPane()->findChild<QTableView*>();
    ASSERT_EQ(pDetails->model()->rowCount(), 5);
    const std::string strFiles = " " + (m_library.Path() / "a.mp3").string() + " " +
                                 (m_library.Path() / "b.mp3").string() + " " +
                                 (m_library.Path() / "Sub" / "c.mp3").string();
    const struct {
        unsigned nId;
        const char* pszVerb;
    } aCases[] = {{ID_PLAY, "play"}, {ID_ENQUEUE, "enqueue"}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszVerb);
        shell.m_arrCalls.clear();
        pFrame->statusBar()->clearMessage();
        pDetails->selectAll();
        pFrame->GetAction(c.nId)->trigger();
        ASSERT_EQ(shell.m_arrCalls.size(), 1u);
        // The list's order is its sort's: every file, whatever its place.
        QStringList arrArgs = Q(shell.m_arrCalls.front()).split(' ');
        QStringList arrExpected = Q(c.pszVerb + strFiles).split(' ');
        std::sort(arrArgs.begin() + 1, arrArgs.end());
        std::sort(arrExpected.begin() + 1, arrExpected.end());
        EXPECT_EQ(arrArgs, arrExpected);
        const QString strMessage = pFrame->statusBar()->currentMessage();
        EXPECT_TRUE(strMessage.startsWith("Not handed to the player, as no file: "))
            << strMessage.toStdString();
        EXPECT_TRUE(strMessage.contains("folder.mp3") && strMessage.contains("dangling.mp3"))
            << strMessage.toStdString();
        QTest::qWait(100);
        EXPECT_EQ(pFrame->statusBar()->currentMessage(), strMessage);
    }
}
