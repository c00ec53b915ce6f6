// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The window while tags are written on a slow share: the writes run on a thread of their own,
// the window keeps its loop, rows follow the files, a Cancel stops after the file being written,
// and a close lets that file finish without waiting on a share that stopped answering.
#include "actions/mp3propertysheet.h"
#include "actions/othertagsread.h"
#include "actions/tagwriterun.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/mainframe.h"
#include "shell/trackcommands.h"
#include "shell/writeprogress.h"
#include "tests/support/fakefileops.h"
#include "tests/support/fakes.h"
#include "tests/support/scanwait.h"
#include "tests/support/testfiles.h"
#include "tests/support/timescale.h"
#include "tests/support/writewait.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int FILES = 120;

// Every file's ID3v1 tag leaves the album empty, which its ID3v2 tag fills.
std::string Original(int nFile) {
    return Id3v2Tag(3, Id3v2Frame(3, "TALB", Id3v2Text(0, "V2 album"))) + Audio(300) +
           MakeTag("Title " + std::to_string(nFile), "Artist", "", "1990", "Note", 17);
}
std::string Edited(int nFile, const std::string& strYear, const std::string& strComment,
                   const std::string& strAlbum = "") {
    return Id3v2Tag(3, Id3v2Frame(3, "TALB", Id3v2Text(0, "V2 album"))) + Audio(300) +
           MakeTag("Title " + std::to_string(nFile), "Artist", strAlbum, strYear, strComment, 17);
}

// Records how the window's loop ran while a write went on.
struct SWindowLog {
    qint64 nLongestGap = 0;
    std::set<int> setRowsShowing; // rows showing the written value, at each tick of a write
    std::set<int> setBarValues;
    bool bWriteCommandEnabled = false; // Properties or Undo while a write ran
};

class TrackCommandsWriting : public ::testing::Test {
protected:
    TrackCommandsWriting() {
        ResetOps();
        for (int i = 0; i < FILES; ++i) {
            WriteBytes(File(i), Original(i));
        }
        CSettingsStore().WriteString(CUserSettings::SECTION_MP3, "FilePath", m_library.Str());
        m_settings.LoadSettings(m_store);
        m_pFrame = std::make_unique<CMainFrame>(
            m_settings, m_store, SFrameSeams{nullptr, &Ops(), &m_messages, &m_modals});
        m_pFrame->show();
        m_pFrame->StartUp(nullptr);
        EXPECT_TRUE(WaitForScan(m_pFrame->GetDocument()));
        m_pFrame->SwitchPane();
        m_pFrame->GetRightPane()->GetDetailsView()->selectAll();
    }
    ~TrackCommandsWriting() override {
        if (m_pFrame) {
            EXPECT_TRUE(WaitForWrite(&Commands()));
        }
        ResetOps();
    }

    // A job left behind on a stall may use it after its test.
    static CFakeFileOps& Ops() { return CFakeFileOps::Lasting(); }
    // Back to the system's calls, noting the path of each write begun; a stall holds opens and
    // looks at names.
    static void ResetOps() {
        Ops().Reset();
        Ops().Record(EFileOp::Pwrite);
        Ops().HoldWhileStalled({EFileOp::OpenAt, EFileOp::Lstat});
    }
    CTrackCommands& Commands() { return m_pFrame->GetTrackCommands(); }
    // As a user does once the editor has closed: the window is active again, Escape reaches it.
    // Windows closed before are gone, as the main loop has deleted them by then.
    void PressEscape() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_pFrame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
        QTest::keyClick(m_pFrame->windowHandle(), Qt::Key_Escape);
    }
    std::filesystem::path File(int nFile) const {
        return m_library.Path() / ("d" + std::to_string(nFile % 4)) /
               ("t" + std::to_string(nFile) + ".mp3");
    }
    // The file numbers in the order of the rows selected, which the writes follow.
    std::vector<int> SelectionOrder() const {
        std::vector<int> arrOrder;
        for (const CTrackInfo* pTrack : m_pFrame->GetRightPane()->GetSelectedTracks()) {
            const std::string strName(pTrack->GetFileName());
            arrOrder.push_back(std::stoi(strName.substr(1)));
        }
        return arrOrder;
    }

    // Opens the editor on the selection and acts on it; the write it starts is left running.
    void Edit(const std::function<void(CMp3PropertySheet&)>& act) {
        m_modals.OnDialog<CMp3PropertySheet>([act](CMp3PropertySheet& sheet) {
            act(sheet);
            sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        m_pFrame->GetAction(ID_PROPERTIES)->trigger();
    }
    static void TypeYear(CMp3PropertySheet& sheet) {
        sheet.GetPage().GetEdit(ETagField::Year)->setText(QStringLiteral("1998"));
    }

    // Starts a write and lets the window run until it ends, logging what it shows of column
    // nColumn.
    SWindowLog RunWrite(const std::function<void()>& fnStart, int nColumn,
                        const QString& strWritten) {
        SWindowLog log;
        QElapsedTimer clock;
        clock.start();
        qint64 nLast = 0;
        const QAbstractItemModel* pModel = m_pFrame->GetRightPane()->GetDetailsView()->model();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            log.nLongestGap = std::max(log.nLongestGap, clock.elapsed() - nLast);
            nLast = clock.elapsed();
            if (!Commands().IsBusy()) {
                return;
            }
            int nShowing = 0;
            for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
                nShowing += pModel->index(nRow, nColumn).data().toString() == strWritten ? 1 : 0;
            }
            log.setRowsShowing.insert(nShowing);
            if (m_pFrame->GetWriteProgress()->isVisible()) {
                log.setBarValues.insert(m_pFrame->GetWriteProgress()->GetBar()->value());
            }
            log.bWriteCommandEnabled = log.bWriteCommandEnabled ||
                                       m_pFrame->GetAction(ID_PROPERTIES)->isEnabled() ||
                                       m_pFrame->GetAction(ID_EDIT_UNDO)->isEnabled();
        });
        tick.start(10);
        fnStart();
        EXPECT_TRUE(WaitForWrite(&Commands()));
        return log;
    }

    void ExpectFiles(const std::function<std::string(int)>& fnExpected,
                     const std::string& strCase) const {
        for (int i = 0; i < FILES; ++i) {
            EXPECT_EQ(ReadBytes(File(i)), fnExpected(i)) << strCase << ": file " << i;
        }
    }

    CTempDir m_library;
    CSettingsStore m_store;
    CUserSettings m_settings;
    CRecordingMessages m_messages;
    CScriptedModals m_modals;
    std::unique_ptr<CMainFrame> m_pFrame;
};

// "Not written, 3 file(s):" and its lines as the summary names them, the first 20 and a count.
QString Named(const char* pszHeading, const QStringList& arrLines) {
    QStringList arrShown = arrLines.mid(0, 20);
    if (arrLines.size() > 20) {
        arrShown.push_back(QStringLiteral("... and %1 more file(s).").arg(arrLines.size() - 20));
    }
    return QString::fromUtf8(pszHeading).arg(arrLines.size()) + '\n' + arrShown.join('\n');
}

} // namespace

// Every kind of run: the window's loop keeps turning, the rows show each file as it is written,
// the bar counts, and no second write can start; the files end as the run leaves them.
TEST_F(TrackCommandsWriting, TheWindowRunsOnAndTheRowsFollowTheFilesWritten) {
    const auto fnEdited = [this] {
        Edit(TypeYear);
        EXPECT_TRUE(WaitForWrite(&Commands()));
    };
    const struct {
        const char* pszCase;
        std::function<void()> fnBefore; // what the files go through first, if anything
        std::function<void()> fnStart;
        int nColumn;
        QString strWritten;
        std::function<std::string(int)> fnExpected;
    } aCases[] = {
        {"year typed", nullptr, [this] { Edit(TypeYear); }, CTrackListModel::COL_DATE, "1998",
         [](int i) { return Edited(i, "1998", "Note"); }},
        {"comment cleared in every file", nullptr,
         [this] {
             Edit([](CMp3PropertySheet& sheet) { sheet.GetPage().ClearField(ETagField::Comment); });
         },
         CTrackListModel::COL_COMMENT, "", [](int i) { return Edited(i, "1990", ""); }},
        {"empty fields filled from each file's ID3v2 tag", nullptr,
         [this] {
             Edit([](CMp3PropertySheet& sheet) {
                 sheet.GetPage().GetFillCheckBox()->setChecked(true);
             });
         },
         CTrackListModel::COL_ALBUM, "V2 album",
         [](int i) { return Edited(i, "1990", "Note", "V2 album"); }},
        {"undo of the last edit", fnEdited,
         [this] { m_pFrame->GetAction(ID_EDIT_UNDO)->trigger(); }, CTrackListModel::COL_DATE,
         "1990", [](int i) { return Original(i); }},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        for (int i = 0; i < FILES; ++i) {
            WriteBytes(File(i), Original(i));
        }
        m_pFrame->GetAction(ID_VIEW_REFRESH)->trigger();
        ASSERT_TRUE(WaitForScan(m_pFrame->GetDocument()));
        m_pFrame->GetRightPane()->GetDetailsView()->selectAll();
        if (c.fnBefore) {
            c.fnBefore();
        }
        Ops().SetDelay(EFileOp::Pwrite, 3);
        const SWindowLog log = RunWrite(c.fnStart, c.nColumn, c.strWritten);
        Ops().SetDelay(EFileOp::Pwrite, 0);

        EXPECT_LT(log.nLongestGap, 200 * PACE_SCALE) << "the window stood still";
        // Some rows showed the new value while others still showed the old one.
        EXPECT_GE(std::count_if(log.setRowsShowing.begin(), log.setRowsShowing.end(),
                                [](int n) { return n > 0 && n < FILES; }),
                  2);
        EXPECT_GE(std::count_if(log.setBarValues.begin(), log.setBarValues.end(),
                                [](int n) { return n > 0 && n < FILES; }),
                  2);
        EXPECT_FALSE(log.bWriteCommandEnabled);
        EXPECT_FALSE(m_pFrame->GetWriteProgress()->isVisible());
        m_pFrame->GetRightPane()->GetDetailsView()->selectAll(); // the list was filled anew
        EXPECT_TRUE(m_pFrame->GetAction(ID_PROPERTIES)->isEnabled());
        EXPECT_EQ(m_messages.m_arrTexts, QStringList());
        ExpectFiles(c.fnExpected, c.pszCase);
        const CTrackListModel* pModel = m_pFrame->GetRightPane()->GetModel();
        ASSERT_EQ(pModel->rowCount(), FILES);
        for (int nRow = 0; nRow < FILES; ++nRow) {
            EXPECT_EQ(pModel->index(nRow, c.nColumn).data().toString(), c.strWritten) << nRow;
        }
    }
}

// A Cancel (the status bar's button, or Escape as for a scan) lets the file being written finish
// and leaves the files after it as they were, byte for byte; the message names both; what was
// written, and only that, can be taken back.
TEST_F(TrackCommandsWriting, CancelHalfwayStopsAfterTheFileBeingWritten) {
    const QString strStopped =
        QStringLiteral("The edit was stopped before every file was written.");
    const struct {
        const char* pszCase;
        bool bUndo; // cancel the undo of a whole edit rather than the edit
        bool bEscape;
    } aCases[] = {
        {"edit, Cancel", false, false}, {"edit, Escape", false, true}, {"undo", true, true}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        for (int i = 0; i < FILES; ++i) {
            WriteBytes(File(i), Original(i));
        }
        m_pFrame->GetAction(ID_VIEW_REFRESH)->trigger();
        ASSERT_TRUE(WaitForScan(m_pFrame->GetDocument()));
        m_pFrame->GetRightPane()->GetDetailsView()->selectAll();
        const std::vector<int> arrOrder = SelectionOrder();
        ASSERT_EQ(arrOrder.size(), static_cast<std::size_t>(FILES));
        m_messages.m_arrTexts.clear();
        if (c.bUndo) {
            Edit(TypeYear);
            ASSERT_TRUE(WaitForWrite(&Commands()));
            Ops().SetDelay(EFileOp::Pwrite, 3);
            m_pFrame->GetAction(ID_EDIT_UNDO)->trigger();
        } else {
            Ops().SetDelay(EFileOp::Pwrite, 3);
            Edit(TypeYear);
        }
        ASSERT_TRUE(WaitUntil([this] { return Commands().GetWriteRun()->GetDoneCount() >= 30; }));
        if (c.bEscape) {
            EXPECT_EQ(m_pFrame->GetStopAction()->text(), "S&top Writing Tags");
            PressEscape();
        } else {
            m_pFrame->GetWriteProgress()->GetCancelButton()->click();
        }
        ASSERT_TRUE(WaitForWrite(&Commands()));
        Ops().SetDelay(EFileOp::Pwrite, 0);
        EXPECT_FALSE(m_pFrame->GetStopAction()->isEnabled());

        // The edit writes from the top row down, the undo from the bottom up.
        const std::size_t nDone = Commands().GetWriteRun()->GetDoneCount();
        EXPECT_GE(nDone, 30u);
        EXPECT_LT(nDone, static_cast<std::size_t>(FILES) - 10);
        QStringList arrWritten, arrCancelled;
        for (std::size_t nRow = 0; nRow < arrOrder.size(); ++nRow) {
            const int nFile = arrOrder[nRow];
            const bool bEdited = c.bUndo ? nRow < arrOrder.size() - nDone : nRow < nDone;
            EXPECT_EQ(ReadBytes(File(nFile)),
                      bEdited ? Edited(nFile, "1998", "Note") : Original(nFile))
                << "row " << nRow;
            const QString strPath = QString::fromStdString(File(nFile).string());
            if (bEdited) {
                arrWritten.push_back(strPath);
            } else {
                arrCancelled.push_back(strPath + " (cancelled)");
            }
        }
        const QString strUndoLeft = QStringLiteral("&Undo tag edit of %1 files");
        if (c.bUndo) {
            EXPECT_EQ(m_messages.m_arrTexts,
                      QStringList{QStringLiteral("The undo was stopped before %1 file(s): Undo "
                                                 "takes them back.")
                                      .arg(FILES - nDone)});
            EXPECT_EQ(m_pFrame->GetAction(ID_EDIT_UNDO)->text(), strUndoLeft.arg(FILES - nDone));
        } else {
            EXPECT_EQ(m_messages.m_arrTexts,
                      QStringList{strStopped + "\n\n" +
                                  Named("Not written, %1 file(s):", arrCancelled) + "\n\n" +
                                  Named("Written, %1 file(s):", arrWritten)});
            EXPECT_EQ(m_pFrame->GetAction(ID_EDIT_UNDO)->text(), strUndoLeft.arg(nDone));
        }
        m_pFrame->GetAction(ID_EDIT_UNDO)->trigger();
        ASSERT_TRUE(WaitForWrite(&Commands()));
        ExpectFiles(Original, "after the undo");
        for (const CTrackInfo* pTrack : *m_pFrame->GetDocument().GetTracks()) {
            EXPECT_EQ(pTrack->GetYear(), "1990") << pTrack->GetFileName();
        }
    }
}

// A close during a write lets the file being written finish, leaves the others as they are, and
// ends at once; a share that stopped answering holds the close for a moment only.
TEST_F(TrackCommandsWriting, ACloseLetsTheFileBeingWrittenFinish) {
    const struct {
        const char* pszCase;
        bool bStall;
        int nLimitMs;
    } aCases[] = {{"share answering slowly", false, 800}, {"share stalled", true, 1500}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        // No tag yet: the tag is appended, body and marker in two writes a quit could split.
        const auto fnBare = [](int) { return Audio(300); };
        const auto fnTagged = [](int) { return Audio(300) + MakeTag("", "", "", "1998", "", 255); };
        for (int i = 0; i < FILES; ++i) {
            WriteBytes(File(i), fnBare(i));
        }
        if (!m_pFrame) {
            m_pFrame = std::make_unique<CMainFrame>(
                m_settings, m_store, SFrameSeams{nullptr, &Ops(), &m_messages, &m_modals});
            m_pFrame->show();
            m_pFrame->StartUp(nullptr);
            m_pFrame->SwitchPane();
        } else {
            m_pFrame->GetAction(ID_VIEW_REFRESH)->trigger();
        }
        ASSERT_TRUE(WaitForScan(m_pFrame->GetDocument()));
        m_pFrame->GetRightPane()->GetDetailsView()->selectAll();
        Ops().SetDelay(EFileOp::Pwrite, 60);
        Edit(TypeYear);
        // In the middle of a file: its first write begun, its second not; a stall then holds
        // the second.
        ASSERT_TRUE(WaitUntil([] {
            const std::size_t nWrites = Ops().GetRecorded().size();
            return nWrites >= 5 && nWrites % 2 == 1;
        }));
        const std::string strInWrite = Ops().GetRecorded().back();
        if (c.bStall) {
            Ops().HoldWhileStalled({EFileOp::Pwrite}); // writes too
        }
        Ops().SetStalled(c.bStall);

        QElapsedTimer clock;
        clock.start();
        m_pFrame->close();
        m_pFrame.reset();
        EXPECT_LT(clock.elapsed(), c.nLimitMs);
        EXPECT_EQ(m_store.ReadPath(CUserSettings::SECTION_MP3, "FilePath", ""), m_library.Str());
        Ops().SetStalled(false); // the thread left behind finishes its file, and no other
        const auto fnWritten = [&] {
            int nWritten = 0;
            for (int i = 0; i < FILES; ++i) {
                const std::string strBytes = ReadBytes(File(i));
                if (strBytes != fnBare(i) && strBytes != fnTagged(i)) {
                    return -1;
                }
                nWritten += strBytes == fnTagged(i) ? 1 : 0;
            }
            return nWritten;
        };
        EXPECT_TRUE(WaitUntil([&] { return ReadBytes(strInWrite) == fnTagged(0); }, 3000));
        QTest::qWait(200);
        const std::size_t nWrites = Ops().GetRecorded().size();
        EXPECT_EQ(fnWritten(), static_cast<int>(nWrites / 2)) << "a tag half written";
        EXPECT_LT(nWrites, static_cast<std::size_t>(2 * FILES));
        ResetOps();
    }
}

// The editor opens once the file's other tags are read off the window's thread; a read that
// takes its time shows a dialog whose Cancel gives up on it, and Escape does so from the start.
TEST_F(TrackCommandsWriting, TheEditorOpensWhenTheFileIsReadOrNotAtAllIfCancelled) {
    enum class ECancel { None, Dialog, Escape };
    const struct {
        const char* pszCase;
        bool bStall;
        ECancel eCancel;
    } aCases[] = {
        {"file answering", false, ECancel::None},
        {"share stalled, Cancel", true, ECancel::Dialog},
        {"share stalled, Escape at once", true, ECancel::Escape},
        {"share stalled, then answering", true, ECancel::None},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        QTableView* pDetails = m_pFrame->GetRightPane()->GetDetailsView();
        pDetails->clearSelection();
        pDetails->selectionModel()->select(pDetails->model()->index(0, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        bool bOpened = false;
        const bool bCancel = c.eCancel != ECancel::None;
        if (!bCancel) {
            m_modals.OnDialog<CMp3PropertySheet>([&bOpened](CMp3PropertySheet& sheet) {
                bOpened = true;
                EXPECT_EQ(sheet.GetPage().GetOtherTagsLabel()->text(), "Also has an ID3v2.3 tag");
                sheet.reject();
            });
        }
        int nTicks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&nTicks] { ++nTicks; });
        tick.start(10);
        Ops().SetStalled(c.bStall);
        m_pFrame->GetAction(ID_PROPERTIES)->trigger();
        EXPECT_FALSE(m_pFrame->GetAction(ID_PROPERTIES)->isEnabled());
        if (c.eCancel == ECancel::Escape) {
            EXPECT_EQ(m_pFrame->GetStopAction()->text(), "S&top Reading Tags");
            PressEscape();
        } else if (c.bStall) {
            const QCursor* pCursor = QApplication::overrideCursor();
            EXPECT_TRUE(pCursor != nullptr && pCursor->shape() == Qt::BusyCursor);
            QProgressDialog* pDialog = nullptr;
            ASSERT_TRUE(WaitUntil([&] {
                const COtherTagsRead* pRead = Commands().GetOtherTagsRead();
                pDialog = pRead != nullptr ? pRead->GetProgressDialog() : nullptr;
                return pDialog != nullptr && pDialog->isVisible();
            }));
            EXPECT_GE(nTicks, 20) << "the window stood still while the file did not answer";
            if (bCancel) {
                pDialog->findChild<QPushButton*>()->click();
            } else {
                Ops().SetStalled(false);
            }
        }
        ASSERT_TRUE(WaitForWrite(&Commands()));
        EXPECT_EQ(bOpened, !bCancel);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(m_pFrame->GetAction(ID_PROPERTIES)->isEnabled());
        Ops().SetStalled(false);
    }
}

// A folder read again during a write replaces the records the write started with: the write
// goes on to the files, and leaves the new catalogue to what the scan read.
TEST_F(TrackCommandsWriting, AScanDuringAWriteIsAllowedAndTheNewRecordsAreLeftAlone) {
    Ops().SetDelay(EFileOp::Pwrite, 3);
    Edit(TypeYear);
    ASSERT_TRUE(WaitUntil([this] { return Commands().GetWriteRun()->GetDoneCount() >= 20; }));
    EXPECT_TRUE(m_pFrame->GetAction(ID_VIEW_REFRESH)->isEnabled());
    m_pFrame->GetAction(ID_VIEW_REFRESH)->trigger();
    ASSERT_TRUE(WaitForWrite(&Commands()));
    ASSERT_TRUE(WaitForScan(m_pFrame->GetDocument()));
    Ops().SetDelay(EFileOp::Pwrite, 0);
    ExpectFiles([](int i) { return Edited(i, "1998", "Note"); }, "written");
    EXPECT_EQ(m_pFrame->GetDocument().GetTracks()->size(), static_cast<std::size_t>(FILES));
    EXPECT_EQ(m_pFrame->GetAction(ID_EDIT_UNDO)->text(), "&Undo tag edit of 120 files");
    m_pFrame->GetAction(ID_VIEW_REFRESH)->trigger();
    ASSERT_TRUE(WaitForScan(m_pFrame->GetDocument()));
    for (const CTrackInfo* pTrack : *m_pFrame->GetDocument().GetTracks()) {
        EXPECT_EQ(pTrack->GetYear(), "1998") << pTrack->GetFileName();
    }
}

// The editor's "Also write to the ID3v2 tag" box opens as the user last left it, and that choice
// is stored for the next start.
TEST_F(TrackCommandsWriting, TheAlsoId3v2BoxOpensAsLastLeftAndIsStored) {
    QTableView* pDetails = m_pFrame->GetRightPane()->GetDetailsView();
    const auto selectFirst = [pDetails] {
        pDetails->clearSelection();
        pDetails->selectionModel()->select(pDetails->model()->index(0, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    for (const bool bChecked : {true, false}) {
        SCOPED_TRACE(bChecked);
        selectFirst();
        Edit([bChecked](CMp3PropertySheet& sheet) {
            TypeYear(sheet);
            sheet.GetPage().GetAlsoId3v2Box()->setChecked(bChecked);
        });
        ASSERT_TRUE(WaitForWrite(&Commands()));
        EXPECT_EQ(CSettingsStore().ReadInt(CUserSettings::SECTION_USER, "AlsoWriteId3v2", -1),
                  bChecked ? 1 : 0);
        std::optional<bool> opened;
        m_modals.OnDialog<CMp3PropertySheet>([&opened](CMp3PropertySheet& sheet) {
            opened = sheet.GetPage().GetAlsoId3v2Box()->isChecked();
            sheet.reject();
        });
        selectFirst();
        m_pFrame->GetAction(ID_PROPERTIES)->trigger();
        ASSERT_TRUE(WaitForWrite(&Commands()));
        EXPECT_EQ(opened, std::optional<bool>(bChecked));
    }
}
