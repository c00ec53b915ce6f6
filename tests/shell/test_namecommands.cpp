// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/nameformatdialog.h"
#include "catalogue/trackinfo.h"
#include "platform/settingsstore.h"
#include "tests/support/fakefileops.h"
#include "tests/support/testfiles.h"
#include "tests/support/trackcommandstest.h"
#include "tests/support/writewait.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

using EMode = CNameFormatDialog::EMode;

std::string Tagged(const std::string& strTitle, const std::string& strArtist, int nTrack) {
    return Audio(300) + MakeTag(strTitle, strArtist, "", "", WithTrack("", nTrack));
}

struct SRow {
    std::string strFile;
    std::string strResult;
    std::string strWhy; // with its mark when refused
    bool operator==(const SRow& other) const {
        return strFile == other.strFile && strResult == other.strResult && strWhy == other.strWhy;
    }
};

void PrintTo(const SRow& row, std::ostream* pOut) {
    *pOut << "{" << row.strFile << " | " << row.strResult << " | " << row.strWhy << "}";
}

// The preview of the format in the box, once it has come.
std::vector<SRow> PreviewOf(const CNameFormatDialog& dialog) {
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.IsPreviewPending(); }, 10000));
    const QTableWidget& table = *dialog.GetPreview();
    std::vector<SRow> arrRows;
    for (int nRow = 0; nRow < table.rowCount(); ++nRow) {
        auto text = [&](int nColumn) { return table.item(nRow, nColumn)->text().toStdString(); };
        arrRows.push_back({text(CNameFormatDialog::COL_FILE), text(CNameFormatDialog::COL_RESULT),
                           text(CNameFormatDialog::COL_WHY)});
    }
    return arrRows;
}

const std::string REFUSED = "\u2716 ";

class NameCommands : public CTrackCommandsTest {
protected:
    std::set<std::string> FilesInFolder() const {
        std::set<std::string> setNames;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
            setNames.insert(entry.path().filename().string());
        }
        return setNames;
    }
    std::set<std::string> RecordNames() {
        std::set<std::string> setNames;
        for (const CTrackInfo* pTrack : *m_doc.GetTracks()) {
            setNames.insert(std::string(pTrack->GetFileName()));
        }
        return setNames;
    }
    // Opens the command's dialog on the files, lets fnLook see it as first shown, then types the
    // format and presses OK; waits for the run the dialog started.
    template <class FLook>
    void RunDialog(void (CTrackCommands::*pfnCommand)(), const std::vector<std::string>& arrFiles,
                   const std::string& strFormat, FLook fnLook) {
        SelectFiles(arrFiles);
        m_modals.OnDialog<CNameFormatDialog>([&](CNameFormatDialog& dialog) {
            dialog.GetFormatBox()->setText(QString::fromStdString(strFormat));
            EXPECT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.IsPreviewPending(); }, 10000));
            fnLook(dialog);
            dialog.GetButtons()->button(QDialogButtonBox::Ok)->click();
        });
        (m_commands.*pfnCommand)();
        EXPECT_TRUE(WaitForWrite(&m_commands));
    }
    void Undo() {
        m_commands.OnUndo();
        EXPECT_TRUE(WaitForWrite(&m_commands));
    }
};

} // namespace

// Illegal characters, names taken by a file or by a file above, and a file whose tag gives no
// name: each shows why, only the free names are taken, the records follow, and Undo puts every
// name back.
TEST_F(NameCommands, RenamePreviewsRefusalsRenamesAndUndoes) {
    Lay({{"four.mp3", Tagged("Song", "Band", 1)},
         {"notag.mp3", Audio(300)},
         {"one.mp3", Tagged("Song", "Band", 1)},
         {"three.mp3", Tagged("Taken", "Band", 3)},
         {"two.mp3", Tagged("A/B", "Band", 2)},
         {"03 - Band - Taken.mp3", Audio(300)}});
    const std::vector<SRow> arrExpected = {
        {"four.mp3", "01 - Band - Song.mp3", ""},
        {"notag.mp3", "", "its tag leaves nothing of a name"},
        {"one.mp3", "01 - Band - Song.mp3", REFUSED + "a file above takes that name"},
        {"three.mp3", "03 - Band - Taken.mp3", REFUSED + "a file of that name exists"},
        {"two.mp3", "02 - Band - A_B.mp3", ""},
    };
    const std::set<std::string> setBefore = FilesInFolder();
    RunDialog(&CTrackCommands::OnRenameFromTags,
              {"four.mp3", "notag.mp3", "one.mp3", "three.mp3", "two.mp3"}, "%n - %a - %t",
              [&](CNameFormatDialog& dialog) { EXPECT_EQ(PreviewOf(dialog), arrExpected); });
    const std::set<std::string> setRenamed = {
        "01 - Band - Song.mp3", "notag.mp3", "one.mp3", "three.mp3", "02 - Band - A_B.mp3",
        "03 - Band - Taken.mp3"};
    EXPECT_EQ(FilesInFolder(), setRenamed);
    EXPECT_EQ(RecordNames(), setRenamed);
    EXPECT_TRUE(m_messages.m_arrTexts.isEmpty()) << m_messages.m_arrTexts.join("\n").toStdString();
    EXPECT_EQ(m_commands.GetUndoHistory().LastEditFileCount(), 2U);

    Undo();
    EXPECT_EQ(FilesInFolder(), setBefore);
    EXPECT_EQ(RecordNames(), setBefore);
    EXPECT_FALSE(m_commands.GetUndoHistory().CanUndo());
}

// A file moved or replaced since its rename, or whose old name another file took, keeps the
// name it has and is named to the user; the others are put back.
TEST_F(NameCommands, UndoOfRenamesSkipsAndNamesFilesChangedSince) {
    const struct {
        const char* pszCase;
        std::function<void(const std::filesystem::path&)> fnMeanwhile;
        std::set<std::string> setAfterUndo;
        std::string strNamed; // in the message; empty: no message
    } aCases[] = {
        {"nothing changed", [](const auto&) {}, {"x.mp3", "y.mp3"}, ""},
        {"one moved",
         [](const auto& dir) { std::filesystem::rename(dir / "Ex.mp3", dir / "moved.mp3"); },
         {"moved.mp3", "y.mp3"},
         "Ex.mp3: it was moved or replaced since"},
        {"one replaced",
         [](const auto& dir) {
             // The old file stays under another name, so that its inode cannot be reused.
             std::filesystem::create_hard_link(dir / "Ex.mp3", dir / "kept.mp3");
             std::filesystem::remove(dir / "Ex.mp3");
             WriteBytes(dir / "Ex.mp3", Audio(10));
         },
         {"Ex.mp3", "kept.mp3", "y.mp3"},
         "Ex.mp3: it was moved or replaced since"},
        {"old name taken",
         [](const auto& dir) { WriteBytes(dir / "x.mp3", Audio(10)); },
         {"Ex.mp3", "x.mp3", "y.mp3"},
         "Ex.mp3: a file of that name exists"},
    };
    for (const auto& c : aCases) {
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
            std::filesystem::remove(entry.path());
        }
        m_messages.m_arrTexts.clear();
        Lay({{"x.mp3", Tagged("Ex", "A", 1)}, {"y.mp3", Tagged("Why", "A", 2)}});
        RunDialog(&CTrackCommands::OnRenameFromTags, {"x.mp3", "y.mp3"}, "%t",
                  [](const CNameFormatDialog&) {});
        ASSERT_EQ(FilesInFolder(), (std::set<std::string>{"Ex.mp3", "Why.mp3"})) << c.pszCase;
        c.fnMeanwhile(m_dir.Path());
        Undo();
        EXPECT_EQ(FilesInFolder(), c.setAfterUndo) << c.pszCase;
        const QString strMessages = m_messages.m_arrTexts.join("\n");
        if (c.strNamed.empty()) {
            EXPECT_TRUE(strMessages.isEmpty()) << c.pszCase << ": " << strMessages.toStdString();
        } else {
            EXPECT_TRUE(strMessages.contains(QString::fromStdString(c.strNamed)))
                << c.pszCase << ": " << strMessages.toStdString();
        }
    }
}

// Names that match give their fields, written as the editor writes; a name that does not match
// and a value a field refuses leave their files alone; Undo takes the fields back.
TEST_F(NameCommands, TagsFromNamesPreviewsWritesAndUndoes) {
    const struct {
        std::string strFile;
        std::string strResult;
        std::string strWhyStart; // the refusal's beginning; empty: written
        const char* pszTitle;    // after OK
        const char* pszArtist;
        int nTrack;
    } aCases[] = {
        // A name in the tags' code page rather than UTF-8.
        {"01 - \xE9t\xE9 - B.mp3", "Track: 01; Artist: été; Title: B", "", "B", "été", 1},
        {"02 - A - " + std::string(31, 'x') + ".mp3",
         "Track: 02; Artist: A; Title: " + std::string(31, 'x'),
         REFUSED + "a value is refused: Title: 31 bytes in ", "", "", 0},
        {"07 - Artist X - Title Y.mp3", "Track: 07; Artist: Artist X; Title: Title Y", "",
         "Title Y", "Artist X", 7},
        {"300 - A - B.mp3", "Track: 300; Artist: A; Title: B",
         REFUSED + "a value is refused: Track: \"300\" is no number from 1 to 255", "", "", 0},
        {"badname.mp3", "", REFUSED + "the name does not match the format", "", "", 0},
    };
    std::vector<std::pair<std::string, std::string>> arrFiles;
    std::vector<std::string> arrNames;
    for (const auto& c : aCases) {
        arrFiles.emplace_back(c.strFile, Audio(300));
        arrNames.emplace_back(c.strFile);
    }
    Lay(arrFiles);
    RunDialog(&CTrackCommands::OnTagsFromNames, arrNames, "%n - %a - %t",
              [&](const CNameFormatDialog& dialog) {
                  const std::vector<SRow> arrRows = PreviewOf(dialog);
                  ASSERT_EQ(arrRows.size(), std::size(aCases));
                  // In the list's order, which is the table's.
                  for (std::size_t i = 0; i < arrRows.size(); ++i) {
                      EXPECT_EQ(arrRows[i].strResult, aCases[i].strResult) << aCases[i].strFile;
                      EXPECT_EQ(arrRows[i].strWhy.rfind(aCases[i].strWhyStart, 0), 0U)
                          << aCases[i].strFile << ": " << arrRows[i].strWhy;
                      EXPECT_EQ(arrRows[i].strWhy.empty(), aCases[i].strWhyStart.empty());
                  }
              });
    for (const auto& c : aCases) {
        const CTrackInfo track(m_dir.Str(), c.strFile);
        EXPECT_EQ(track.GetTitle(), c.pszTitle) << c.strFile;
        EXPECT_EQ(track.HasTag() ? track.GetArtist() : "", c.pszArtist) << c.strFile;
        EXPECT_EQ(track.GetTrack(), c.nTrack) << c.strFile;
    }
    Undo();
    for (const auto& c : aCases) {
        EXPECT_EQ(ReadBytes(m_dir.Path() / c.strFile), Audio(300)) << c.strFile;
    }
}

// The format last used comes back in the next dialog, through the settings; one that cannot
// serve the dialog's mode gives way to the default.
TEST(NameFormats, StoredFormatsServeOnlyWhereUsable) {
    const struct {
        const char* pszStored;
        EMode eMode;
        const char* pszShown;
    } aCases[] = {
        {"%a - %t", EMode::RenameFromTags, "%a - %t"},
        {"%a - %t", EMode::TagsFromNames, "%a - %t"},
        {"", EMode::RenameFromTags, CNameFormatDialog::DEFAULT_FORMAT},
        {"%q - %t", EMode::RenameFromTags, CNameFormatDialog::DEFAULT_FORMAT},
        {"%t %t", EMode::RenameFromTags, "%t %t"},
        {"%t %t", EMode::TagsFromNames, CNameFormatDialog::DEFAULT_FORMAT},
        {"%a/%t", EMode::TagsFromNames, CNameFormatDialog::DEFAULT_FORMAT},
        {"plain", EMode::TagsFromNames, CNameFormatDialog::DEFAULT_FORMAT},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(CNameFormatDialog::UsableFormat(c.eMode, c.pszStored), c.pszShown) << c.pszStored;
    }
}

TEST_F(NameCommands, TheFormatsUsedAreRememberedPerDialog) {
    Lay({{"x.mp3", Tagged("Ex", "A", 1)}});
    RunDialog(&CTrackCommands::OnRenameFromTags, {"x.mp3"}, "%t [%a]",
              [](const CNameFormatDialog&) {});
    RunDialog(&CTrackCommands::OnTagsFromNames, {"Ex [A].mp3"}, "%t [%a]",
              [](const CNameFormatDialog&) {});
    CUserSettings stored;
    stored.LoadSettings(CSettingsStore());
    EXPECT_EQ(stored.m_strRenameFormat, "%t [%a]");
    EXPECT_EQ(stored.m_strTagsFromNameFormat, "%t [%a]");
    // A window opened later shows them; the placeholder menu adds at the cursor.
    CTrackCommands later(m_view, m_doc, stored, m_shell, m_fileOps, m_messages, m_modals);
    m_modals.OnDialog<CNameFormatDialog>([](CNameFormatDialog& dialog) {
        EXPECT_EQ(dialog.GetFormatBox()->text(), "%t [%a]");
        dialog.GetFormatBox()->setCursorPosition(0);
        dialog.GetPlaceholderButton()->menu()->actions().at(0)->trigger(); // the track
        EXPECT_EQ(dialog.GetFormatBox()->text(), "%n%t [%a]");
        dialog.reject();
    });
    SelectFiles({"Ex [A].mp3"});
    later.OnRenameFromTags();
}

// The renames' preview looks at the folders elsewhere: a share that stops answering holds neither
// the dialog's opening nor a change of the format, and OK waits for the preview of the format
// shown.
TEST_F(NameCommands, ARenamePreviewNeverHoldsTheWindow) {
    Lay({{"one.mp3", Tagged("Song", "Band", 1)}});
    CFakeFileOps& ops = CFakeFileOps::Lasting(); // a preview left behind may use it after the test
    ops.HoldWhileStalled({EFileOp::OpenAt, EFileOp::Lstat});
    ops.SetStalled(true);
    CNameFormatDialog dialog(nullptr, CNameFormatDialog::EMode::RenameFromTags, *m_doc.GetTracks(),
                             m_doc.GetTagCodec(), ops, "%t");
    QPushButton* pOk = dialog.GetButtons()->button(QDialogButtonBox::Ok);
    for (const char* pszFormat : {"%t", "%a - %t"}) {
        SCOPED_TRACE(pszFormat);
        dialog.GetFormatBox()->setText(QString::fromUtf8(pszFormat));
        EXPECT_TRUE(QTest::qWaitFor([&ops] { return ops.IsAnyoneStalled(); }, 10000));
        EXPECT_TRUE(dialog.IsPreviewPending());
        EXPECT_FALSE(pOk->isEnabled());
    }
    ops.SetStalled(false);
    EXPECT_EQ(PreviewOf(dialog), (std::vector<SRow>{{"one.mp3", "Band - Song.mp3", ""}}));
    EXPECT_TRUE(pOk->isEnabled());
    ops.Reset();
}
