// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/mp3propertysheet.h"
#include "actions/tagedit.h"
#include "actions/tagundohistory.h"
#include "actions/tagundorun.h"
#include "catalogue/cataloguehost.h"
#include "catalogue/docview.h"
#include "catalogue/fileexception.h"
#include "catalogue/hints.h"
#include "catalogue/id3v2tag.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "tests/support/deflate.h"
#include "tests/support/fakes.h"
#include "tests/support/testfiles.h"
#include "tests/support/writewait.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const QString TITLE_30 = QStringLiteral("Title: Enter no more than 30 characters.");
const QString WRITE_FAILED = QStringLiteral("Failed to create or modify ID3 tag !");
// The genre byte of a tag the editor makes: what every reader takes for "no genre".
constexpr unsigned char NEW_TAG_GENRE = 255;

QString InBytes(const char* pszField, int nLimit, int nBytes) {
    return QStringLiteral("The %1 field holds no more than %2 bytes, and its text takes %3: some "
                          "of its characters take more than one byte.")
        .arg(QString::fromUtf8(pszField))
        .arg(nLimit)
        .arg(nBytes);
}

// The parts of the message after a run that left files alone: the files not written with the
// reason, those written, each under a heading that counts them.
QString NotWritten(const QStringList& arrLines, qsizetype nFiles = -1) {
    return QStringLiteral("Not written, %1 file(s):\n").arg(nFiles < 0 ? arrLines.size() : nFiles) +
           arrLines.join(QLatin1Char('\n'));
}
QString Written(const QStringList& arrLines, qsizetype nFiles = -1) {
    return QStringLiteral("Written, %1 file(s):\n").arg(nFiles < 0 ? arrLines.size() : nFiles) +
           arrLines.join(QLatin1Char('\n'));
}
QString Summary(const QString& strNotWritten, const QString& strWritten = QString()) {
    return WRITE_FAILED + QStringLiteral("\n\n") + strNotWritten +
           (strWritten.isEmpty() ? QString() : QStringLiteral("\n\n") + strWritten);
}

std::string Repeat(const std::string& strUnit, int nCount) {
    std::string str;
    for (int i = 0; i < nCount; ++i) {
        str += strUnit;
    }
    return str;
}
// "é" fits Windows-1252 in one byte; "漢" does not and takes three bytes of UTF-8.
const std::string E_ACUTE = "\xC3\xA9";
const std::string KANJI = "\xE6\xBC\xA2";

SPageValues Values(std::string strTitle, std::string strArtist, std::string strAlbum,
                   std::string strYear, std::string strComment, int nGenre = GENRE_NONE) {
    SPageValues values;
    values.m_strTitle = std::move(strTitle);
    values.m_strArtist = std::move(strArtist);
    values.m_strAlbum = std::move(strAlbum);
    values.m_strYear = std::move(strYear);
    values.m_strComment = std::move(strComment);
    values.m_nGenre = nGenre;
    return values;
}

CTagWriter Writer(bool bKeepTimes = false, CTagCodec codec = CTagCodec()) {
    // The writer outlives this call; the system calls hold no state for tests to share.
    static CFileOps s_systemCalls;
    return CTagWriter(s_systemCalls, std::move(codec), bKeepTimes);
}

void ExpectValues(const SPageValues& actual, const SPageValues& expected,
                  const std::string& strCase) {
    EXPECT_EQ(actual.m_strTitle, expected.m_strTitle) << strCase;
    EXPECT_EQ(actual.m_strArtist, expected.m_strArtist) << strCase;
    EXPECT_EQ(actual.m_strAlbum, expected.m_strAlbum) << strCase;
    EXPECT_EQ(actual.m_strYear, expected.m_strYear) << strCase;
    EXPECT_EQ(actual.m_strComment, expected.m_strComment) << strCase;
    EXPECT_EQ(actual.m_nGenre, expected.m_nGenre) << strCase;
}

void ClickOk(CMp3PropertySheet& sheet) {
    sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

void ClickCancel(CMp3PropertySheet& sheet) {
    sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
}

QLineEdit* Edit(CMp3PropertySheet& sheet, ETagField eField) {
    return sheet.GetPage().GetEdit(eField);
}

void SetText(CMp3PropertySheet& sheet, ETagField eField, const std::string& strText) {
    Edit(sheet, eField)->setText(QString::fromStdString(strText));
}

// Files in a folder of their own, scanned into a document whose hints are recorded.
class TagEditSheet : public ::testing::Test {
protected:
    TagEditSheet() { m_doc.AddView(&m_log); }
    ~TagEditSheet() override { m_doc.RemoveView(&m_log); }

    void Add(const std::string& strName, const std::string& strBytes) {
        WriteBytes(m_dir.Path() / strName, strBytes);
    }
    std::string Bytes(const std::string& strName) const {
        return ReadBytes(m_dir.Path() / strName);
    }

    // The records of the named files, in the order given, as the list's selection would hold them.
    std::vector<CTrackInfo*> Scan(const std::vector<std::string>& arrNames) {
        m_doc.ScanFolder(m_dir.Str());
        m_log.m_arrHints.clear();
        std::vector<CTrackInfo*> arrSelected;
        for (const std::string& strName : arrNames) {
            for (CTrackInfo* pTrack : *m_doc.GetTracks()) {
                if (pTrack->GetFileName() == strName) {
                    arrSelected.push_back(pTrack);
                }
            }
        }
        EXPECT_EQ(arrSelected.size(), arrNames.size());
        return arrSelected;
    }

    STagRunContext Context(bool bByGenre = false, bool bAlsoId3v2 = false) {
        CTagWriter::SOptions options;
        options.m_bKeepTimes = m_bKeepTimes;
        options.m_bAlsoId3v2 = bAlsoId3v2;
        return {nullptr,
                m_messages,
                m_doc,
                m_history,
                CTagWriter(m_fileOps, CTagCodec(), options),
                bByGenre,
                [this] { ++m_nRefills; }};
    }

    // The editor as the Properties command runs it, its writes waited for.
    bool Run(const std::vector<CTrackInfo*>& arrSelected, bool bByGenre = false) {
        std::optional<CId3v2Tag> otherTags;
        if (arrSelected.size() == 1) {
            otherTags = CId3v2Tag::Read(arrSelected.front()->GetFullPath(), m_fileOps);
        }
        const std::optional<STagEdit> edit =
            RunTagEditor(nullptr, m_messages, m_modals, arrSelected, CTagCodec(),
                         otherTags ? &*otherTags : nullptr, m_bAlsoId3v2);
        EXPECT_TRUE(m_modals.Done()) << "a window the test expected never opened";
        if (!edit) {
            return false;
        }
        const std::unique_ptr<CTagEditRun> pRun =
            StartTagEdit(Context(bByGenre, edit->m_bAlsoId3v2.value_or(false)), arrSelected, *edit);
        EXPECT_TRUE(WaitForWrite(pRun.get()));
        return true;
    }

    int Rebuilds() const {
        return static_cast<int>(
            std::count(m_log.m_arrHints.begin(), m_log.m_arrHints.end(), HINT_REBUILD_BEGIN));
    }

    CTempDir m_dir;
    CFakeCatalogueHost m_host;
    CRecordingMessages m_messages;
    // A call left on a thread of its own may outlive the test: the process's own ops outlive it.
    CFileOps& m_fileOps = SystemFileOps();
    CTunebrDoc m_doc{m_host, m_fileOps};
    CHintLog m_log;
    CScriptedModals m_modals;
    CTagUndoHistory m_history;
    bool m_bKeepTimes = false;
    bool m_bAlsoId3v2 = false; // the editor's box as last left
    int m_nRefills = 0;
};

// The widgets that Tab reaches from pStart, in order, as the dialog would move the focus.
std::vector<QWidget*> TabSequence(QWidget* pWindow, QWidget* pStart, int nCount) {
    std::vector<QWidget*> arrWidgets{pStart};
    QWidget* pWidget = pStart;
    while (static_cast<int>(arrWidgets.size()) < nCount) {
        pWidget = pWidget->nextInFocusChain();
        if (pWidget == pStart) {
            break;
        }
        if ((pWidget->focusPolicy() & Qt::TabFocus) && pWidget->isVisibleTo(pWindow) &&
            pWidget->isEnabled()) {
            arrWidgets.push_back(pWidget);
        }
    }
    return arrWidgets;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Starting values

TEST(TagEditValues, OneFileShowsItsOwnFieldsAnyOtherCountStartsEmpty) {
    CTempDir dir;
    WriteBytes(dir.Path() / "Intro.mp3", Audio(300));
    WriteBytes(dir.Path() / "tagged.mp3",
               Audio(300) + MakeTag("Song", "Band", "Record", "1998", "Note", 17));
    WriteBytes(dir.Path() / "Track 01.mp3", Audio(300) + MakeTag("", "Band", "", "", "", 255));
    CTrackInfo intro(dir.Str(), "Intro.mp3");
    CTrackInfo tagged(dir.Str(), "tagged.mp3");
    CTrackInfo untitled(dir.Str(), "Track 01.mp3");

    const SPageValues empty = Values("", "", "", "", "", GENRE_NONE);
    const struct {
        const char* pszCase;
        std::vector<CTrackInfo*> arrSelected;
        SPageValues expected;
    } aCases[] = {
        {"untagged", {&intro}, Values("Intro", "<Undefined>", "", "", "", GENRE_NONE)},
        {"tagged", {&tagged}, Values("Song", "Band", "Record", "1998", "Note", 17)},
        {"no title, unnamed genre", {&untitled}, Values("Track 01", "Band", "", "", "", 255)},
        {"two files share the artist",
         {&tagged, &untitled},
         Values("", "Band", "", "", "", GENRE_NONE)},
        {"three files", {&intro, &tagged, &untitled}, empty},
        {"no file", {}, empty},
    };
    for (const auto& c : aCases) {
        ExpectValues(InitialPageValues(c.arrSelected), c.expected, c.pszCase);
    }
}

TEST(TagEditValues, TitleFromFileNameDropsFourBytesAndStaysReadableText) {
    const struct {
        std::string strName;
        std::string strTitle;
    } aCases[] = {
        {"Song.mp3", "Song"},
        {"x.mp3", "x"},
        {".mp3", ""},
        {"abc", ""},
        {"", ""},
        {"Caf" + E_ACUTE + ".mp3", "Caf" + E_ACUTE},
        // Nine bytes of UTF-8 lose four: the character cut in two goes as a whole.
        {KANJI + KANJI + KANJI, KANJI},
        // Names in a legacy character set become text.
        {"Caf\xE9.mp3", "Caf" + E_ACUTE},
        {"\x80.mp3", "\xE2\x82\xAC"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(TitleFromFileName(c.strName), c.strTitle) << c.strName;
    }
}

// ---------------------------------------------------------------------------------------------
// Checking on OK

TEST(TagEditValidation, ReportsTheFirstFieldWhoseEncodedTextExceedsItsTagField) {
    const std::string a30(30, 'a');
    const std::string a31(31, 'a');
    const std::string strEmoji = "\xF0\x9F\x8E\xB5"; // four bytes in any encoding
    const struct {
        const char* pszCase;
        SPageValues values;
        std::optional<ETagField> eExpected;
    } aCases[] = {
        {"empty", Values("", "", "", "", ""), std::nullopt},
        {"every field full", Values(a30, a30, a30, "1998", a30), std::nullopt},
        {"30 accented letters are 30 bytes", Values(Repeat(E_ACUTE, 30), "", "", "", ""),
         std::nullopt},
        {"30 euro signs are 30 bytes", Values("", "", "", "", Repeat("\xE2\x82\xAC", 30)),
         std::nullopt},
        {"10 kanji are 30 bytes", Values("", Repeat(KANJI, 10), "", "", ""), std::nullopt},
        {"11 kanji are 33 bytes", Values(Repeat(KANJI, 11), "", "", "", ""), ETagField::Title},
        {"8 symbols are 32 bytes", Values("", "", Repeat(strEmoji, 8), "", ""), ETagField::Album},
        {"31 letters", Values("", a31, "", "", ""), ETagField::Artist},
        {"four accented digits", Values("", "", "", Repeat(E_ACUTE, 4), ""), std::nullopt},
        {"five digits", Values("", "", "", "19999", ""), ETagField::Year},
        {"two kanji in the year", Values("", "", "", KANJI + KANJI, ""), ETagField::Year},
        {"all too long", Values(a31, a31, a31, "19999", a31), ETagField::Album},
        {"all but album", Values(a31, a31, "", "19999", a31), ETagField::Artist},
        {"comment before title", Values(a31, "", "", "19999", a31), ETagField::Comment},
        {"title before year", Values(a31, "", "", "19999", ""), ETagField::Title},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(FindOverlongField(c.values), c.eExpected) << c.pszCase;
    }
}

// ---------------------------------------------------------------------------------------------
// What the panes need afterwards

TEST(TagEditRefresh, RegroupsOnlyWhenTheArtistOrTheShownGenreChanged) {
    const SPageValues several = Values("", "", "", "", "", GENRE_NONE);
    const struct {
        const char* pszCase;
        SPageValues before;
        SPageValues after;
        bool bByGenre;
        bool bRebuild;
    } aCases[] = {
        {"nothing changed", Values("T", "Band", "", "", "", 17),
         Values("X", "Band", "", "", "", 17), true, false},
        {"artist case changed", Values("", "Band", "", "", "", 17),
         Values("", "band", "", "", "", 17), false, true},
        // With one file an emptied field is cleared: the file leaves its artist's group.
        {"artist emptied", Values("", "Band", "", "", "", 17), Values("", "", "", "", "", 17),
         false, true},
        {"genre changed, by artist", Values("", "Band", "", "", "", 17),
         Values("", "Band", "", "", "", 8), false, false},
        {"genre changed, by genre", Values("", "Band", "", "", "", 17),
         Values("", "Band", "", "", "", 8), true, true},
        {"several, year typed", several, Values("", "", "", "1998", "", GENRE_NONE), true, false},
        {"several, artist typed", several, Values("", "Band", "", "", "", GENRE_NONE), false, true},
        {"several, genre chosen, by genre", several, Values("", "", "", "", "", 8), true, true},
        {"several, genre chosen, by artist", several, Values("", "", "", "", "", 8), false, false},
    };
    for (const auto& c : aCases) {
        // Several files are tagged alike: the difference is the page's.
        const bool bOneFile = c.before.m_strArtist != "";
        const SPageValues& tagged = bOneFile ? c.before : Values("T", "Other", "", "", "", 17);
        CTempDir dir;
        std::vector<std::unique_ptr<CTrackInfo>> arrTracks;
        std::vector<CTrackInfo*> arrSelected;
        for (const char* pszName : {"a.mp3", "b.mp3"}) {
            WriteBytes(dir.Path() / pszName,
                       Audio(300) + MakeTag(tagged.m_strTitle, tagged.m_strArtist, "", "", "",
                                            static_cast<unsigned char>(tagged.m_nGenre)));
            arrTracks.push_back(std::make_unique<CTrackInfo>(dir.Str(), pszName));
            arrSelected.push_back(arrTracks.back().get());
            if (bOneFile) {
                break;
            }
        }
        const STagWriteOutcome outcome =
            WriteSelectedTags(ChangesFromPage(c.before, c.after, bOneFile), arrSelected, Writer());
        EXPECT_EQ(NeedsIndexRebuild(outcome, c.bByGenre), c.bRebuild) << c.pszCase;
    }
}

// ---------------------------------------------------------------------------------------------
// Writing the selected files

TEST(TagEditWrite, EveryFileIsWrittenWithOnlyTheFilledFieldsReplaced) {
    const std::string strA = Audio(300) + MakeTag("Song A", "Band A", "Rec A", "1990", "Re A", 17);
    const std::string strB = Audio(400) + MakeTag("Song B", "Band B", "Rec B", "1991", "Re B", 8);
    const std::string strC = Audio(500);
    // A file without a tag gets one only when something is written, its artist blank.
    const struct {
        const char* pszCase;
        SPageValues values;
        std::string strTagA, strTagB, strTagC;
    } aCases[] = {
        {"nothing filled", Values("", "", "", "", ""),
         MakeTag("Song A", "Band A", "Rec A", "1990", "Re A", 17),
         MakeTag("Song B", "Band B", "Rec B", "1991", "Re B", 8), ""},
        {"year only", Values("", "", "", "1998", ""),
         MakeTag("Song A", "Band A", "Rec A", "1998", "Re A", 17),
         MakeTag("Song B", "Band B", "Rec B", "1998", "Re B", 8),
         MakeTag("", "", "", "1998", "", NEW_TAG_GENRE)},
        {"genre 0", Values("", "", "", "", "", 0),
         MakeTag("Song A", "Band A", "Rec A", "1990", "Re A", 0),
         MakeTag("Song B", "Band B", "Rec B", "1991", "Re B", 0), MakeTag("", "", "", "", "", 0)},
        {"every text", Values("T", "Ar", "Al", "98", "C"), MakeTag("T", "Ar", "Al", "98", "C", 17),
         MakeTag("T", "Ar", "Al", "98", "C", 8),
         MakeTag("T", "Ar", "Al", "98", "C", NEW_TAG_GENRE)},
    };
    for (const auto& c : aCases) {
        CTempDir dir;
        WriteBytes(dir.Path() / "a.mp3", strA);
        WriteBytes(dir.Path() / "b.mp3", strB);
        WriteBytes(dir.Path() / "c.mp3", strC);
        CTrackInfo a(dir.Str(), "a.mp3");
        CTrackInfo b(dir.Str(), "b.mp3");
        CTrackInfo c3(dir.Str(), "c.mp3");

        const STagWriteOutcome outcome =
            WriteSelectedTags(ChangesFromPage({}, c.values, false), {&a, &b, &c3}, Writer());
        EXPECT_TRUE(outcome.m_arrNotWritten.empty()) << c.pszCase;
        EXPECT_FALSE(outcome.m_error.has_value()) << c.pszCase;
        EXPECT_EQ(ReadBytes(dir.Path() / "a.mp3"), Audio(300) + c.strTagA) << c.pszCase;
        EXPECT_EQ(ReadBytes(dir.Path() / "b.mp3"), Audio(400) + c.strTagB) << c.pszCase;
        EXPECT_EQ(ReadBytes(dir.Path() / "c.mp3"), Audio(500) + c.strTagC) << c.pszCase;
        EXPECT_EQ(outcome.m_arrUndo.size(), c.strTagC.empty() ? 0u : 3u) << c.pszCase;
    }
}

TEST(TagEditWrite, AFileThatCannotBeOpenedIsListedAndTheOthersAreWritten) {
    CTempDir dir;
    const std::string strLocked = Audio(300) + MakeTag("Locked", "Band", "", "", "", 17);
    WriteBytes(dir.Path() / "locked.mp3", strLocked);
    WriteBytes(dir.Path() / "open.mp3", Audio(300));
    WriteBytes(dir.Path() / "gone.mp3", Audio(300));
    fs::permissions(dir.Path() / "locked.mp3", fs::perms::owner_read | fs::perms::group_read);
    CTrackInfo locked(dir.Str(), "locked.mp3");
    CTrackInfo open(dir.Str(), "open.mp3");
    CTrackInfo gone(dir.Str(), "gone.mp3");
    fs::remove(dir.Path() / "gone.mp3");

    const STagWriteOutcome outcome =
        WriteSelectedTags(ChangesFromPage({}, Values("", "", "", "", "New"), false),
                          {&locked, &gone, &open}, Writer());
    EXPECT_EQ(outcome.m_arrNotWritten, (std::vector<CTrackInfo*>{&locked}));
    // A file gone since the scan must be read again: the user hears that it changed.
    EXPECT_EQ(outcome.m_arrChanged, (std::vector<CTrackInfo*>{&gone}));
    EXPECT_FALSE(outcome.m_error.has_value());
    EXPECT_EQ(ReadBytes(dir.Path() / "locked.mp3"), strLocked);
    EXPECT_FALSE(fs::exists(dir.Path() / "gone.mp3"));
    EXPECT_EQ(ReadBytes(dir.Path() / "open.mp3"),
              Audio(300) + MakeTag("", "", "", "", "New", NEW_TAG_GENRE));
    // The records show their files: what could not be written is not shown as if it were.
    EXPECT_EQ(locked.GetComment(), "");
    EXPECT_EQ(gone.GetComment(), "");
    EXPECT_EQ(open.GetComment(), "New");
}

TEST(TagEditWrite, AWriteErrorStopsTheRunAtThatFile) {
    CTempDir dir;
    const std::string strFirst = Audio(300) + MakeTag("One", "Band", "", "1990", "", 17);
    const std::string strFull = Audio(600);
    const std::string strLast = Audio(300) + MakeTag("Three", "Band", "", "1990", "", 17);
    WriteBytes(dir.Path() / "first.mp3", strFirst);
    WriteBytes(dir.Path() / "full.mp3", strFull);
    WriteBytes(dir.Path() / "last.mp3", strLast);
    CTrackInfo first(dir.Str(), "first.mp3");
    CTrackInfo full(dir.Str(), "full.mp3");
    CTrackInfo last(dir.Str(), "last.mp3");

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // No file may grow past 500 bytes: the first tag is overwritten in place, the second
        // must be appended at 600 and fails after its file was opened.
        ::signal(SIGXFSZ, SIG_IGN);
        const struct ::rlimit limit = {500, 500};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const STagWriteOutcome outcome =
            WriteSelectedTags(ChangesFromPage({}, Values("", "", "", "1998", ""), false),
                              {&first, &full, &last}, Writer());
        int nFaults = 0;
        nFaults |= outcome.m_error ? 0 : 1;
        nFaults |= outcome.m_error && outcome.m_error->GetPath() == full.GetFullPath() ? 0 : 2;
        nFaults |= outcome.m_error && outcome.m_error->GetErrno() == EFBIG ? 0 : 4;
        nFaults |= outcome.m_arrNotWritten.empty() ? 0 : 8;
        nFaults |= full.GetYear() == "" && outcome.m_arrUndo.size() == 1 ? 0 : 16;
        nFaults |= last.GetYear() == "1990" ? 0 : 32; // not even changed in memory
        ::_exit(nFaults);
    }
    int nStatus = 0;
    ASSERT_EQ(::waitpid(pid, &nStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0)
        << "bits: 1 no error, 2 path, 4 errno, 8 listed as "
           "unopenable, 16 failed record or undo not as its file, 32 next record touched";
    EXPECT_EQ(ReadBytes(dir.Path() / "first.mp3"),
              Audio(300) + MakeTag("One", "Band", "", "1998", "", 17));
    EXPECT_EQ(ReadBytes(dir.Path() / "full.mp3"), strFull);
    EXPECT_EQ(ReadBytes(dir.Path() / "last.mp3"), strLast);
}

// ---------------------------------------------------------------------------------------------
// The dialog

TEST(TagEditDialog, OnePageOfLabelledFieldsInReadingOrder) {
    CRecordingMessages messages;
    CScriptedModals modals;
    CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Properties"));
    const auto* pTabs = sheet.findChild<QTabWidget*>();
    ASSERT_NE(pTabs, nullptr);
    ASSERT_EQ(pTabs->count(), 1);
    EXPECT_EQ(pTabs->tabText(0), QStringLiteral("ID3 Tag"));
    EXPECT_EQ(pTabs->widget(0), &sheet.GetPage());
    const auto* pButtons = sheet.findChild<QDialogButtonBox*>();
    ASSERT_NE(pButtons, nullptr);
    EXPECT_EQ(pButtons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    // OK, Cancel, and "Copy from ID3v2", hidden until a file with such a tag is shown.
    EXPECT_EQ(sheet.findChildren<QPushButton*>().size(), 3);

    const struct {
        ETagField eField;
        const char* pszLabel;
        const char* pszName;
        int nMaxLength;
    } aFields[] = {
        {ETagField::Title, "&Title :", "Title", 30},
        {ETagField::Artist, "&Artist :", "Artist", 30},
        {ETagField::Album, "A&lbum :", "Album", 30},
        {ETagField::Year, "&Year :", "Year", 4},
        {ETagField::Comment, "Co&mment :", "Comment", 30},
        {ETagField::Track, "T&rack :", "Track", 3},
    };
    const QList<QLabel*> arrLabels = sheet.findChildren<QLabel*>();
    auto buddyOf = [&arrLabels](QWidget* pWidget) -> QString {
        for (const QLabel* pLabel : arrLabels) {
            if (pLabel->buddy() == pWidget) {
                return pLabel->text();
            }
        }
        return {};
    };
    for (const auto& f : aFields) {
        QLineEdit* pEdit = Edit(sheet, f.eField);
        EXPECT_EQ(buddyOf(pEdit), QString::fromUtf8(f.pszLabel)) << f.pszName;
        EXPECT_EQ(pEdit->accessibleName(), QString::fromUtf8(f.pszName));
        EXPECT_EQ(pEdit->maxLength(), f.nMaxLength) << f.pszName;
    }
    QComboBox* pGenre = sheet.GetPage().GetGenreBox();
    EXPECT_EQ(buddyOf(pGenre), QStringLiteral("&Genre :"));
    EXPECT_EQ(pGenre->accessibleName(), QStringLiteral("Genre"));

    // The narrow year and the genre share a row, below the album and above the comment.
    sheet.adjustSize();
    const auto rect = [](QWidget* p) { return QRect(p->mapTo(p->window(), QPoint()), p->size()); };
    const QRect year = rect(Edit(sheet, ETagField::Year));
    const QRect genre = rect(pGenre);
    EXPECT_TRUE(year.top() < genre.bottom() && genre.top() < year.bottom());
    EXPECT_LT(year.right(), genre.left());
    EXPECT_LT(rect(Edit(sheet, ETagField::Album)).bottom(), std::min(year.top(), genre.top()));
    EXPECT_GT(rect(Edit(sheet, ETagField::Comment)).top(), std::max(year.bottom(), genre.bottom()));
    EXPECT_LT(Edit(sheet, ETagField::Year)->width(), Edit(sheet, ETagField::Title)->width() / 2);
    // The track number sits between the year and the genre, as narrow.
    const QRect track = rect(Edit(sheet, ETagField::Track));
    EXPECT_TRUE(track.top() < year.bottom() && year.top() < track.bottom());
    EXPECT_LT(year.right(), track.left());
    EXPECT_LT(track.right(), genre.left());
    EXPECT_LE(track.width(), year.width());

    const std::vector<QWidget*> arrTabs = TabSequence(&sheet, Edit(sheet, ETagField::Title), 8);
    const std::vector<QWidget*> arrExpected = {
        Edit(sheet, ETagField::Title),  Edit(sheet, ETagField::Artist),
        Edit(sheet, ETagField::Album),  Edit(sheet, ETagField::Year),
        Edit(sheet, ETagField::Track),  pGenre,
        Edit(sheet, ETagField::Comment)};
    ASSERT_EQ(arrTabs.size(), 8u);
    EXPECT_TRUE(std::equal(arrExpected.begin(), arrExpected.end(), arrTabs.begin()));
    EXPECT_EQ(arrTabs[7]->parentWidget(), pButtons) << "the buttons follow the last field";
}

TEST(TagEditDialog, ANarrowFieldShowsASignThatFitsAndKeepsTheWordsForItsTip) {
    const QString DIFFERENT = QStringLiteral("(different values)");
    const QString CLEARED = QStringLiteral("(cleared in every file)");
    const struct {
        ETagField eField;
        bool bCleared;
        QString strWords;
    } aCases[] = {
        {ETagField::Title, false, DIFFERENT}, {ETagField::Title, true, CLEARED},
        {ETagField::Year, false, DIFFERENT},  {ETagField::Year, true, CLEARED},
        {ETagField::Track, false, DIFFERENT}, {ETagField::Track, true, CLEARED},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.strWords.toStdString() + " in field " +
                     std::to_string(static_cast<int>(c.eField)));
        CRecordingMessages messages;
        CScriptedModals modals;
        CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
        sheet.GetPage().m_nDifferent = ~0U;
        sheet.GetPage().LoadFields();
        if (c.bCleared) {
            sheet.GetPage().ClearField(c.eField);
        }
        sheet.adjustSize();
        QLineEdit* pEdit = Edit(sheet, c.eField);
        const QString strShown = pEdit->placeholderText();
        ASSERT_FALSE(strShown.isEmpty());
        // The room a line edit leaves its text: its contents less two pixels on each side.
        QStyleOptionFrame option;
        option.initFrom(pEdit);
        option.lineWidth =
            pEdit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, pEdit);
        const int nRoom =
            pEdit->style()->subElementRect(QStyle::SE_LineEditContents, &option, pEdit).width() - 4;
        EXPECT_LE(QFontMetrics(pEdit->font()).horizontalAdvance(strShown), nRoom)
            << strShown.toStdString();
        EXPECT_TRUE(strShown == c.strWords || pEdit->toolTip() == c.strWords)
            << pEdit->toolTip().toStdString();
    }
}

TEST(TagEditDialog, EachAltKeyOfTheEditorReachesOneControl) {
    CRecordingMessages messages;
    CScriptedModals modals;
    CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
    // Hidden controls count too: each is shown for some selections.
    std::map<QString, QStringList> mapByKey;
    const auto add = [&mapByKey](const QString& strText) {
        const QKeySequence key = QKeySequence::mnemonic(strText);
        if (!key.isEmpty()) {
            mapByKey[key.toString()].push_back(strText);
        }
    };
    for (const QLabel* pLabel : sheet.findChildren<QLabel*>()) {
        if (pLabel->buddy() != nullptr) {
            add(pLabel->text());
        }
    }
    for (const QAbstractButton* pButton : sheet.findChildren<QAbstractButton*>()) {
        add(pButton->text());
    }
    EXPECT_GE(mapByKey.size(), 9u);
    for (const auto& [strKey, arrTexts] : mapByKey) {
        EXPECT_EQ(arrTexts.size(), 1)
            << strKey.toStdString() << ": " << arrTexts.join(QStringLiteral(", ")).toStdString();
    }
}

TEST(TagEditDialog, GenreListIsSortedByNameWithTheEmptyEntryFirst) {
    CRecordingMessages messages;
    CScriptedModals modals;
    CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
    const QComboBox* pGenre = sheet.GetPage().GetGenreBox();
    EXPECT_FALSE(pGenre->isEditable());
    ASSERT_EQ(pGenre->count(), GENRE_COUNT);
    // The entry that leaves the genre as it is has words a screen reader can say.
    EXPECT_EQ(pGenre->itemText(0), QStringLiteral("(unchanged)"));
    EXPECT_EQ(pGenre->itemData(0).toInt(), GENRE_NONE);
    EXPECT_EQ(pGenre->placeholderText(), QStringLiteral("(unchanged)"));
    std::vector<bool> arrSeen(GENRE_COUNT, false);
    for (int i = 0; i < pGenre->count(); ++i) {
        const int nGenre = pGenre->itemData(i).toInt();
        ASSERT_TRUE(nGenre >= 0 && nGenre < GENRE_COUNT) << i;
        EXPECT_FALSE(arrSeen[nGenre]) << nGenre;
        arrSeen[nGenre] = true;
        if (i > 0) {
            EXPECT_EQ(pGenre->itemText(i), QString::fromUtf8(g_szGenreNames[nGenre])) << i;
        }
        if (i > 1) {
            EXPECT_LE(
                QString::compare(pGenre->itemText(i - 1), pGenre->itemText(i), Qt::CaseInsensitive),
                0)
                << i;
        }
    }
    EXPECT_EQ(pGenre->itemData(pGenre->findText(QStringLiteral("Jazz"))).toInt(), 8);
    EXPECT_EQ(pGenre->itemData(pGenre->findText(QStringLiteral("Blues"))).toInt(), 0);
}

TEST(TagEditDialog, LoadedGenreShowsOnlyWhenItHasAName) {
    const struct {
        int nGenre;
        QString strShown;
    } aCases[] = {{0, "Blues"}, {8, "Jazz"}, {147, "Synthpop"}, {148, ""}, {149, ""}, {255, ""}};
    for (const auto& c : aCases) {
        CRecordingMessages messages;
        CScriptedModals modals;
        CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
        sheet.GetPage().m_nGenre = c.nGenre;
        sheet.GetPage().LoadFields();
        const QComboBox* pGenre = sheet.GetPage().GetGenreBox();
        EXPECT_EQ(pGenre->currentIndex() >= 0, !c.strShown.isEmpty()) << c.nGenre;
        EXPECT_EQ(pGenre->currentText(), c.strShown) << c.nGenre;
        // Loading is no choice of the user's.
        EXPECT_EQ(sheet.GetPage().m_nGenre, c.nGenre);
    }
}

// ---------------------------------------------------------------------------------------------
// The whole command

TEST_F(TagEditSheet, UntaggedFileShowsItsNameAsTitleAndOkAppendsATag) {
    Add("Intro.mp3", Audio(300));
    const std::vector<CTrackInfo*> arrSelected = Scan({"Intro.mp3"});
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        EXPECT_EQ(Edit(sheet, ETagField::Title)->text(), QStringLiteral("Intro"));
        EXPECT_EQ(Edit(sheet, ETagField::Artist)->text(), QStringLiteral("<Undefined>"));
        EXPECT_EQ(Edit(sheet, ETagField::Album)->text(), QString());
        EXPECT_EQ(Edit(sheet, ETagField::Year)->text(), QString());
        EXPECT_EQ(Edit(sheet, ETagField::Comment)->text(), QString());
        EXPECT_EQ(sheet.GetPage().GetGenreBox()->currentIndex(), -1);
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected, true));
    // The placeholder shown for the missing artist is no name: the field stays blank.
    EXPECT_EQ(Bytes("Intro.mp3"), Audio(300) + MakeTag("Intro", "", "", "", "", NEW_TAG_GENRE));
    // The file left the placeholder artist's group for the blank one.
    EXPECT_EQ(arrSelected[0]->GetArtist(), "");
    EXPECT_EQ(m_nRefills, 0);
    EXPECT_EQ(Rebuilds(), 1);
}

TEST_F(TagEditSheet, YearTypedForThreeFilesChangesOnlyTheYear) {
    Add("a.mp3", Audio(300) + MakeTag("Song A", "Band A", "Rec A", "1990", "Re A", 17));
    Add("b.mp3", Audio(300) + MakeTag("Song B", "Band B", "Rec B", "", "Re B", 8));
    Add("c.mp3", Audio(300) + MakeTag("Song C", "Band A", "", "77", "", 200));
    const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3", "b.mp3", "c.mp3"});
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        for (ETagField eField : {ETagField::Title, ETagField::Artist, ETagField::Album,
                                 ETagField::Year, ETagField::Comment}) {
            EXPECT_EQ(Edit(sheet, eField)->text(), QString());
        }
        EXPECT_EQ(sheet.GetPage().GetGenreBox()->currentIndex(), -1);
        // Typing stops at the field's width.
        QTest::keyClicks(Edit(sheet, ETagField::Year), QStringLiteral("19985"));
        EXPECT_EQ(Edit(sheet, ETagField::Year)->text(), QStringLiteral("1998"));
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected, true));
    EXPECT_EQ(Bytes("a.mp3"),
              Audio(300) + MakeTag("Song A", "Band A", "Rec A", "1998", "Re A", 17));
    EXPECT_EQ(Bytes("b.mp3"), Audio(300) + MakeTag("Song B", "Band B", "Rec B", "1998", "Re B", 8));
    EXPECT_EQ(Bytes("c.mp3"), Audio(300) + MakeTag("Song C", "Band A", "", "1998", "", 200));
    EXPECT_EQ(m_nRefills, 1);
    EXPECT_EQ(Rebuilds(), 0);
}

class TagEditGenreChoice : public TagEditSheet, public ::testing::WithParamInterface<bool> {};

TEST_P(TagEditGenreChoice, ChosenGenreRegroupsOnlyWhenTheTreeShowsGenres) {
    const bool bByGenre = GetParam();
    // Every file is tagged: a file's first tag would move it out of the "undefined" artist.
    Add("a.mp3", Audio(300) + MakeTag("A", "Band", "", "", "", 17));
    Add("b.mp3", Audio(300) + MakeTag("", "", "", "", "", GENRE_NONE));
    Add("c.mp3", Audio(300) + MakeTag("C", "Other", "", "", "", 255));
    const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3", "b.mp3", "c.mp3"});
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        QComboBox* pGenre = sheet.GetPage().GetGenreBox();
        pGenre->setCurrentIndex(pGenre->findText(QStringLiteral("Jazz")));
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected, bByGenre));
    EXPECT_EQ(Bytes("a.mp3"), Audio(300) + MakeTag("A", "Band", "", "", "", 8));
    EXPECT_EQ(Bytes("b.mp3"), Audio(300) + MakeTag("", "", "", "", "", 8));
    EXPECT_EQ(Bytes("c.mp3"), Audio(300) + MakeTag("C", "Other", "", "", "", 8));
    EXPECT_EQ(Rebuilds(), bByGenre ? 1 : 0);
    EXPECT_EQ(m_nRefills, bByGenre ? 0 : 1);
    if (bByGenre) {
        ASSERT_EQ(m_doc.GetGenres().size(), 1u);
        EXPECT_EQ(m_doc.GetGenres().front()->GetName(), "Jazz");
    }
}

INSTANTIATE_TEST_SUITE_P(TreeMode, TagEditGenreChoice, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "ByGenre" : "ByArtist";
                         });

TEST_F(TagEditSheet, EmptyGenreEntryLeavesEachFileItsGenre) {
    const struct {
        const char* pszCase;
        std::vector<std::string> arrNames;
    } aCases[] = {{"two files", {"a.mp3", "b.mp3"}}, {"one file", {"b.mp3"}}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        Add("a.mp3", Audio(300) + MakeTag("A", "Band", "", "", "", 17));
        Add("b.mp3", Audio(300) + MakeTag("B", "Band", "", "", "", 8));
        const std::vector<CTrackInfo*> arrSelected = Scan(c.arrNames);
        m_nRefills = 0;
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
            QComboBox* pGenre = sheet.GetPage().GetGenreBox();
            pGenre->setCurrentIndex(pGenre->findText(QStringLiteral("Jazz")));
            pGenre->setCurrentIndex(0);
            SetText(sheet, ETagField::Album, "Live");
            ClickOk(sheet);
        });
        EXPECT_TRUE(Run(arrSelected, true));
        if (c.arrNames.size() > 1) {
            EXPECT_EQ(Bytes("a.mp3"), Audio(300) + MakeTag("A", "Band", "Live", "", "", 17));
        }
        EXPECT_EQ(Bytes("b.mp3"), Audio(300) + MakeTag("B", "Band", "Live", "", "", 8));
        EXPECT_EQ(Rebuilds(), 0);
        EXPECT_EQ(m_nRefills, 1);
    }
}

TEST_F(TagEditSheet, EmptiedArtistIsClearedInOneFileAndLeftAsEachHasItInSeveral) {
    const std::string strA = Audio(300) + MakeTag("A", "Band", "", "", "", 17);
    const std::string strB = Audio(300) + MakeTag("B", "Band", "", "", "", 8);
    const struct {
        const char* pszCase;
        std::vector<std::string> arrNames;
        std::string strA; // a.mp3 afterwards
        int nRebuilds;
    } aCases[] = {
        // Several first: the history must be empty for it.
        {"two files", {"a.mp3", "b.mp3"}, strA, 0},
        {"one file", {"a.mp3"}, Audio(300) + MakeTag("A", "", "", "", "", 17), 1},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        Add("a.mp3", strA);
        Add("b.mp3", strB);
        const std::vector<CTrackInfo*> arrSelected = Scan(c.arrNames);
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
            EXPECT_EQ(Edit(sheet, ETagField::Artist)->text(), QStringLiteral("Band"));
            Edit(sheet, ETagField::Artist)->clear();
            ClickOk(sheet);
        });
        EXPECT_TRUE(Run(arrSelected, false));
        EXPECT_EQ(Bytes("a.mp3"), c.strA);
        EXPECT_EQ(Bytes("b.mp3"), strB);
        EXPECT_EQ(arrSelected[0]->GetArtist(), c.nRebuilds != 0 ? "" : "Band");
        EXPECT_EQ(Rebuilds(), c.nRebuilds);
        EXPECT_EQ(m_history.CanUndo(), c.nRebuilds != 0);
    }
}

TEST_F(TagEditSheet, ReadOnlyFileIsReportedOnceAndTheOtherIsWritten) {
    const std::string strLocked = Audio(300) + MakeTag("Locked", "Band", "", "", "", 17);
    Add("locked.mp3", strLocked);
    Add("open.mp3", Audio(300) + MakeTag("Open", "Band", "", "", "", 17));
    fs::permissions(m_dir.Path() / "locked.mp3", fs::perms::owner_read);
    const std::vector<CTrackInfo*> arrSelected = Scan({"locked.mp3", "open.mp3"});
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        SetText(sheet, ETagField::Comment, "New");
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected));
    EXPECT_EQ(m_messages.m_arrTexts,
              QStringList{Summary(
                  NotWritten({QString::fromStdString((m_dir.Path() / "locked.mp3").string()) +
                              " (read-only)"}),
                  Written({QString::fromStdString((m_dir.Path() / "open.mp3").string())}))});
    EXPECT_EQ(Bytes("locked.mp3"), strLocked);
    EXPECT_EQ(Bytes("open.mp3"), Audio(300) + MakeTag("Open", "Band", "", "", "New", 17));
    EXPECT_EQ(arrSelected[0]->GetComment(), "");
    EXPECT_EQ(arrSelected[1]->GetComment(), "New");
    EXPECT_EQ(m_history.LastEditFileCount(), 1u);
    EXPECT_EQ(m_nRefills, 1);
}

TEST_F(TagEditSheet, CancelWritesNothingAndChangesNoRecord) {
    const std::string strTagged = Audio(300) + MakeTag("Song", "Band", "Rec", "1990", "Re", 17);
    Add("a.mp3", strTagged);
    Add("b.mp3", Audio(300));
    for (const std::vector<std::string>& arrNames :
         {std::vector<std::string>{"a.mp3"}, std::vector<std::string>{"a.mp3", "b.mp3"}}) {
        const std::vector<CTrackInfo*> arrSelected = Scan(arrNames);
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
            SetText(sheet, ETagField::Title, "Other");
            SetText(sheet, ETagField::Artist, "Someone");
            SetText(sheet, ETagField::Year, "2000");
            QComboBox* pGenre = sheet.GetPage().GetGenreBox();
            pGenre->setCurrentIndex(pGenre->findText(QStringLiteral("Jazz")));
            ClickCancel(sheet);
        });
        EXPECT_FALSE(Run(arrSelected, true));
        EXPECT_EQ(Bytes("a.mp3"), strTagged);
        EXPECT_EQ(Bytes("b.mp3"), Audio(300));
        const CTrackInfo& a = *arrSelected[0];
        EXPECT_EQ(a.GetTitle(), "Song");
        EXPECT_EQ(a.GetArtist(), "Band");
        EXPECT_EQ(a.GetYear(), "1990");
        EXPECT_EQ(a.GetGenre(), 17);
        EXPECT_EQ(Rebuilds(), 0);
        EXPECT_EQ(m_nRefills, 0);
    }
}

TEST_F(TagEditSheet, OkIsRefusedOnTheFirstFieldTooLongForItsTagField) {
    Add("a.mp3", Audio(300) + MakeTag("Song", "Band", "", "", "", 17));
    const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3"});
    std::vector<ETagField> arrFocused;
    auto focusedField = [&arrFocused](CMp3PropertySheet& sheet) {
        for (ETagField eField : {ETagField::Title, ETagField::Artist, ETagField::Album,
                                 ETagField::Year, ETagField::Comment}) {
            if (sheet.focusWidget() == Edit(sheet, eField)) {
                arrFocused.push_back(eField);
            }
        }
    };
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        // Few enough characters for the edits, too many bytes for the tag.
        SetText(sheet, ETagField::Title, Repeat(KANJI, 11));
        SetText(sheet, ETagField::Comment, Repeat(KANJI, 11));
        SetText(sheet, ETagField::Year, KANJI + KANJI);
        ClickOk(sheet);
    });
    m_modals.OnDialog<CMp3PropertySheet>([&](CMp3PropertySheet& sheet) {
        focusedField(sheet);
        SetText(sheet, ETagField::Comment, Repeat(KANJI, 10));
        ClickOk(sheet);
    });
    m_modals.OnDialog<CMp3PropertySheet>([&](CMp3PropertySheet& sheet) {
        focusedField(sheet);
        SetText(sheet, ETagField::Title, Repeat(E_ACUTE, 30));
        ClickOk(sheet);
    });
    m_modals.OnDialog<CMp3PropertySheet>([&](CMp3PropertySheet& sheet) {
        focusedField(sheet);
        SetText(sheet, ETagField::Year, "1998");
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected));
    EXPECT_EQ(
        m_messages.m_arrTexts,
        (QStringList{InBytes("Comment", 30, 33), InBytes("Title", 30, 33), InBytes("Year", 4, 6)}));
    EXPECT_EQ(arrFocused,
              (std::vector<ETagField>{ETagField::Comment, ETagField::Title, ETagField::Year}));
    EXPECT_EQ(Bytes("a.mp3"), Audio(300) + MakeTag(std::string(30, '\xE9'), "Band", "", "1998",
                                                   Repeat(KANJI, 10), 17));
}

TEST_F(TagEditSheet, LongFileNameAsTitleMustBeShortenedBeforeOk) {
    const std::string strName = "A very long name of a live recording.mp3";
    const QString strTitle = QStringLiteral("A very long name of a live recording");
    Add(strName, Audio(300));
    const std::vector<CTrackInfo*> arrSelected = Scan({strName});
    m_modals.OnDialog<CMp3PropertySheet>([&strTitle](CMp3PropertySheet& sheet) {
        EXPECT_EQ(Edit(sheet, ETagField::Title)->text(), strTitle);
        ClickOk(sheet);
    });
    m_modals.OnDialog<CMp3PropertySheet>([&strTitle](CMp3PropertySheet& sheet) {
        EXPECT_EQ(sheet.focusWidget(), Edit(sheet, ETagField::Title));
        Edit(sheet, ETagField::Title)->setText(strTitle.left(30));
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected));
    EXPECT_EQ(m_messages.m_arrTexts, QStringList{TITLE_30});
    EXPECT_EQ(Bytes(strName),
              Audio(300) + MakeTag(strTitle.left(30).toStdString(), "", "", "", "", NEW_TAG_GENRE));
}

TEST(TagEditReport, OneMessageNamesWhatWasNotWrittenWithWhyAndWhatWasThenOnePerTimeNotKept) {
    CTrackInfo a("/nowhere", "a.mp3");
    CTrackInfo b("/nowhere", "b.mp3");
    CTrackInfo changed("/music", "swapped.mp3");
    CTrackInfo owned("/shared", "theirs.mp3");
    CTrackInfo after("/music", "after.mp3");
    STagWriteOutcome outcome;
    outcome.m_arrWritten = {&owned};
    outcome.m_arrNotWritten = {&a, &b};
    outcome.m_arrChanged = {&changed};
    outcome.m_arrTimesNotKept = {&owned};
    // A file name may hold what looks like a placeholder of the message.
    outcome.m_error.emplace("/music/100%2 live.mp3", ENOSPC);
    outcome.m_arrNotTried = {&after};

    CRecordingMessages messages;
    ReportTagWrites(nullptr, messages, outcome);
    EXPECT_EQ(
        messages.m_arrTexts,
        (QStringList{Summary(NotWritten({"/nowhere/a.mp3 (read-only)", "/nowhere/b.mp3 (read-only)",
                                         "/music/swapped.mp3 (vanished)",
                                         "/music/100%2 live.mp3 (" +
                                             QString::fromUtf8(std::strerror(ENOSPC)) + ")",
                                         "/music/after.mp3 (not tried after that error)"}),
                             Written({"/shared/theirs.mp3"})),
                     QStringLiteral("The modification time of /shared/theirs.mp3 could not be "
                                    "kept: only the file's owner may set it.")}));
}

TEST_F(TagEditSheet, WriteErrorIsReportedAndThePanesStillShowTheEditedRecords) {
    Add("first.mp3", Audio(300) + MakeTag("One", "Band", "", "", "", 17));
    Add("full.mp3", Audio(600));
    Add("last.mp3", Audio(300) + MakeTag("Three", "Band", "", "", "", 17));
    const std::vector<CTrackInfo*> arrSelected = Scan({"first.mp3", "full.mp3", "last.mp3"});

    // The file size limit must not reach the test program itself, and a GUI cannot be forked
    // safely: the editor runs in a fresh process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto runLimited = [&] {
        // No file may grow past 500 bytes: the first tag is overwritten in place, the second
        // must be appended at 600 and fails after its file was opened.
        ::signal(SIGXFSZ, SIG_IGN);
        const struct ::rlimit limit = {500, 500};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
            SetText(sheet, ETagField::Year, "1998");
            ClickOk(sheet);
        });
        const bool bOk = Run(arrSelected);
        const QString strExpected =
            Summary(NotWritten({QString::fromStdString(arrSelected[1]->GetFullPath()) + " (" +
                                    QString::fromUtf8(std::strerror(EFBIG)) + ")",
                                QString::fromStdString(arrSelected[2]->GetFullPath()) +
                                    " (not tried after that error)"}),
                    Written({QString::fromStdString(arrSelected[0]->GetFullPath())}));
        std::string strFaults;
        if (!bOk || !m_modals.Done()) {
            strFaults += "[the editor did not finish as OK] ";
        }
        if (m_messages.m_arrTexts != QStringList{strExpected}) {
            strFaults += "[messages: " + m_messages.m_arrTexts.join('|').toStdString() + "] ";
        }
        if (m_nRefills != 1) {
            strFaults += "[the list was not refilled] ";
        }
        if (Bytes("first.mp3") != Audio(300) + MakeTag("One", "Band", "", "1998", "", 17)) {
            strFaults += "[first file not written] ";
        }
        if (Bytes("full.mp3") != Audio(600)) {
            strFaults += "[failing file changed] ";
        }
        if (Bytes("last.mp3") != Audio(300) + MakeTag("Three", "Band", "", "", "", 17) ||
            arrSelected[2]->GetYear() != "") {
            strFaults += "[file after the error touched] ";
        }
        std::fputs(strFaults.c_str(), stderr);
        ::_exit(strFaults.empty() ? 0 : 1);
    };
    // A failure shows the faults the child wrote among its output.
    EXPECT_EXIT(runLimited(), ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------------------------
// What OK writes, the track number and taking edits back

namespace {

// A v1.1 tag built by hand: a 28-byte comment, a zero byte, the track number.
std::string MakeTrackTag(const std::string& strTitle, const std::string& strArtist,
                         const std::string& strYear, const std::string& strComment, int nTrack,
                         unsigned char nGenre) {
    return "TAG" + Padded(strTitle, 30) + Padded(strArtist, 30) + Padded("", 30) +
           Padded(strYear, 4) + Padded(strComment, 28) + std::string(1, '\0') +
           std::string(1, static_cast<char>(nTrack)) + std::string(1, static_cast<char>(nGenre));
}

SPageValues WithTrack(SPageValues values, std::string strTrack) {
    values.m_strTrack = std::move(strTrack);
    return values;
}

SPageValues FromFileName(SPageValues values) {
    values.m_bTitleFromFileName = true;
    return values;
}

std::string Describe(const STagChanges& changes) {
    std::string str;
    const auto add = [&str](const char* pszName, const std::optional<std::string>& strValue) {
        if (strValue) {
            str += std::string(pszName) + "=" + *strValue + ";";
        }
    };
    add("title", changes.m_strTitle);
    add("artist", changes.m_strArtist);
    add("album", changes.m_strAlbum);
    add("year", changes.m_strYear);
    add("comment", changes.m_strComment);
    if (changes.m_nTrack) {
        str += "track=" + std::to_string(*changes.m_nTrack) + ";";
    }
    if (changes.m_nGenre) {
        str += "genre=" + std::to_string(*changes.m_nGenre) + ";";
    }
    return str;
}

struct timespec ModificationTime(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mtim;
}

void SetModificationTime(const fs::path& path, std::time_t nSeconds) {
    const struct timespec aTimes[2] = {{nSeconds, 0}, {nSeconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), aTimes, 0);
}

} // namespace

TEST(TagEditChanges, OnlyWhatTheUserChangedOrFilledInIsWritten) {
    const SPageValues tagged = WithTrack(Values("Song", "Band", "Rec", "1990", "Note", 17), "7");
    const SPageValues untagged = FromFileName(Values("Intro", "<Undefined>", "", "", ""));
    const SPageValues several = Values("", "", "", "", "");
    const std::string strFrench = "<Non d" + E_ACUTE + "fini>";
    const struct {
        const char* pszCase;
        SPageValues before;
        SPageValues after;
        bool bOneFile;
        std::string strExpected;
    } aCases[] = {
        {"one file, nothing changed", tagged, tagged, true, ""},
        {"one file, title changed", tagged,
         WithTrack(Values("New", "Band", "Rec", "1990", "Note", 17), "7"), true, "title=New;"},
        {"one file, emptied texts are cleared", tagged,
         WithTrack(Values("Song", "", "Rec", "", "Note", 17), "7"), true, "artist=;year=;"},
        {"one file, (unchanged) genre entry chosen", tagged,
         WithTrack(Values("Song", "Band", "Rec", "1990", "Note", GENRE_NONE), "7"), true, ""},
        {"one file, genre chosen", tagged,
         WithTrack(Values("Song", "Band", "Rec", "1990", "Note", 8), "7"), true, "genre=8;"},
        {"title from the file name counts as typed", untagged, untagged, true, "title=Intro;"},
        {"title from the file name edited", untagged,
         FromFileName(Values("Other", "<Undefined>", "", "", "")), true, "title=Other;"},
        {"English placeholder typed", tagged,
         WithTrack(Values("Song", "<Undefined>", "Rec", "1990", "Note", 17), "7"), true,
         "artist=;"},
        {"French placeholder typed", tagged,
         WithTrack(Values("Song", strFrench, "Rec", "1990", "Note", 17), "7"), true, "artist=;"},
        {"track cleared", tagged, Values("Song", "Band", "Rec", "1990", "Note", 17), true,
         "track=0;"},
        {"track set", Values("Song", "", "", "", "", 17),
         WithTrack(Values("Song", "", "", "", "", 17), "12"), true, "track=12;"},
        {"several, nothing filled", several, several, false, ""},
        {"several, year and genre", several, Values("", "", "", "1998", "", 8), false,
         "year=1998;genre=8;"},
        {"several, track", several, WithTrack(several, "3"), false, "track=3;"},
        {"several, placeholder typed", several, Values("", strFrench, "", "", ""), false,
         "artist=;"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(Describe(ChangesFromPage(c.before, c.after, c.bOneFile)), c.strExpected)
            << c.pszCase;
    }
}

TEST(TagEditChanges, ACommentFilledFromId3v2LeavesTheTrackNumberItsBytes) {
    CTempDir dir;
    WriteBytes(dir.Path() / "tracked.mp3", Audio(300) + MakeTrackTag("T", "Band", "", "", 7, 17));
    WriteBytes(dir.Path() / "plain.mp3", Audio(300) + MakeTag("P", "Band", "", "", "", 17));
    CTrackInfo tracked(dir.Str(), "tracked.mp3");
    CTrackInfo plain(dir.Str(), "plain.mp3");
    STagChanges fromId3v2;
    fromId3v2.m_strComment = std::string(30, 'n');
    const auto page = [](std::optional<std::string> strComment, std::optional<int> nTrack) {
        STagChanges changes;
        changes.m_strComment = std::move(strComment);
        changes.m_nTrack = nTrack;
        return changes;
    };
    const struct {
        const char* pszCase;
        const CTrackInfo* pTrack;
        STagChanges changes;
        std::string strExpected;
    } aCases[] = {
        {"beside the file's track number", &tracked, page(std::nullopt, std::nullopt),
         "comment=" + std::string(28, 'n') + ";"},
        {"no track number", &plain, page(std::nullopt, std::nullopt),
         "comment=" + std::string(30, 'n') + ";"},
        {"track number cleared on the page", &tracked, page(std::nullopt, 0),
         "comment=" + std::string(30, 'n') + ";track=0;"},
        {"comment typed on the page", &tracked, page("Mine", std::nullopt), "comment=Mine;"},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(Describe(WithEmptyFieldsFilled(c.changes, fromId3v2, *c.pTrack, CTagCodec())),
                  c.strExpected)
            << c.pszCase;
    }
}

TEST(TagEditDialog, OkRefusesABadTrackThenAnUnstorableTextThenAnOverlongOne) {
    const std::string strCyrillic = "\xD0\x96"; // one byte in Windows-1251, two in UTF-8
    const QString TRACK_INVALID =
        QStringLiteral("The track number must be a number from 1 to 255, or empty.");
    const struct {
        const char* pszCase;
        const char* pszCodec;
        std::string strTitle, strArtist, strComment, strTrack;
        QString strMessage; // empty: accepted
        ETagField eFocused;
    } aCases[] = {
        {"track 0", "Automatic", "", "", "", "0", TRACK_INVALID, ETagField::Track},
        {"track 256", "Automatic", "", "", "", "256", TRACK_INVALID, ETagField::Track},
        {"track before encoding", "Windows-1251", E_ACUTE, "", "", "999", TRACK_INVALID,
         ETagField::Track},
        {"accent in Windows-1251", "Windows-1251", "Caf" + E_ACUTE, "", "", "",
         QStringLiteral("The Title field holds characters that Windows-1251 cannot store."),
         ETagField::Title},
        {"Cyrillic in Windows-1252", "Windows-1252", "", strCyrillic, "", "",
         QStringLiteral("The Artist field holds characters that Windows-1252 cannot store."),
         ETagField::Artist},
        {"30 Cyrillic letters fit Windows-1251", "Windows-1251", Repeat(strCyrillic, 30), "", "",
         "", QString(), ETagField::Title},
        {"30 Cyrillic letters are 60 bytes of UTF-8", "Automatic", Repeat(strCyrillic, 30), "", "",
         "", InBytes("Title", 30, 60), ETagField::Title},
        {"29-byte comment beside a track", "Automatic", "", "", std::string(29, 'c'), "5",
         QStringLiteral("A track number takes the comment's last two bytes, and this comment "
                        "needs them. Shorten the Comment field to 28 bytes, or leave the Track "
                        "field empty."),
         ETagField::Track},
        {"31-byte comment beside a track", "Automatic", "", "", std::string(31, 'c'), "5",
         QStringLiteral("Comment: Enter no more than 30 characters."), ETagField::Comment},
        {"28-byte comment beside a track", "Automatic", "", "", std::string(28, 'c'), "255",
         QString(), ETagField::Title},
        {"30-byte comment without a track", "Automatic", "", "", std::string(30, 'c'), "",
         QString(), ETagField::Title},
    };
    for (const auto& c : aCases) {
        CRecordingMessages messages;
        CScriptedModals modals;
        CMp3PropertySheet sheet(nullptr, *CTagCodec::FromName(c.pszCodec), messages, modals);
        sheet.GetPage().m_strComment = c.strComment; // shown whole, whatever the limit
        sheet.GetPage().LoadFields();
        sheet.show();
        SetText(sheet, ETagField::Title, c.strTitle);
        SetText(sheet, ETagField::Artist, c.strArtist);
        SetText(sheet, ETagField::Track, c.strTrack);
        sheet.accept();
        if (c.strMessage.isEmpty()) {
            EXPECT_EQ(sheet.result(), QDialog::Accepted) << c.pszCase;
            EXPECT_TRUE(messages.m_arrTexts.isEmpty()) << c.pszCase;
            continue;
        }
        EXPECT_EQ(messages.m_arrTexts, QStringList{c.strMessage}) << c.pszCase;
        EXPECT_NE(sheet.result(), QDialog::Accepted) << c.pszCase;
        EXPECT_EQ(sheet.focusWidget(), Edit(sheet, c.eFocused)) << c.pszCase;
        EXPECT_EQ(Edit(sheet, c.eFocused)->selectedText(), Edit(sheet, c.eFocused)->text())
            << c.pszCase;
    }
}

TEST(TagEditDialog, TheCommentLeavesTwoBytesToATrackNumberAndTheTrackTakesDigitsOnly) {
    CRecordingMessages messages;
    CScriptedModals modals;
    CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
    sheet.GetPage().LoadFields();
    QLineEdit* pComment = Edit(sheet, ETagField::Comment);
    QLineEdit* pTrack = Edit(sheet, ETagField::Track);
    EXPECT_EQ(pComment->maxLength(), 30);
    QTest::keyClicks(pTrack, QStringLiteral("1x2"));
    EXPECT_EQ(pTrack->text(), QStringLiteral("12"));
    EXPECT_EQ(pComment->maxLength(), 28);
    pTrack->clear();
    EXPECT_EQ(pComment->maxLength(), 30);
    // A comment already longer is never cut by typing a track number: OK says so instead.
    pComment->setText(QString(30, QLatin1Char('c')));
    QTest::keyClicks(pTrack, QStringLiteral("3"));
    EXPECT_EQ(pComment->text().size(), 30);
}

TEST_F(TagEditSheet, YearAloneChangesOnlyTheYearBytes) {
    const std::string strTitle = "Caf" + E_ACUTE + " noir";
    Add("a.mp3", Audio(300) + MakeTrackTag(strTitle, "Band", "1990", "Live", 7, 17));
    const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3"});
    m_modals.OnDialog<CMp3PropertySheet>([&strTitle](CMp3PropertySheet& sheet) {
        EXPECT_EQ(Edit(sheet, ETagField::Title)->text(), QString::fromStdString(strTitle));
        EXPECT_EQ(Edit(sheet, ETagField::Track)->text(), QStringLiteral("7"));
        EXPECT_EQ(Edit(sheet, ETagField::Comment)->maxLength(), 28);
        SetText(sheet, ETagField::Year, "1998");
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected));
    EXPECT_EQ(Bytes("a.mp3"), Audio(300) + MakeTrackTag(strTitle, "Band", "1998", "Live", 7, 17));
    EXPECT_EQ(arrSelected[0]->GetTrack(), 7);
}

TEST_F(TagEditSheet, TrackNumberIsSetAndTakenAway) {
    Add("a.mp3", Audio(300) + MakeTag("Song", "Band", "", "", "Note", 17));
    const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3"});
    for (const char* pszTrack : {"12", ""}) {
        m_modals.OnDialog<CMp3PropertySheet>([pszTrack](CMp3PropertySheet& sheet) {
            SetText(sheet, ETagField::Track, pszTrack);
            ClickOk(sheet);
        });
        EXPECT_TRUE(Run(arrSelected));
    }
    // Without a number the tag is a plain one again, its comment 30 bytes wide.
    EXPECT_EQ(Bytes("a.mp3"), Audio(300) + MakeTag("Song", "Band", "", "", "Note", 17));
    EXPECT_EQ(arrSelected[0]->GetTrack(), 0);
    EXPECT_EQ(m_history.LastEditFileCount(), 1u);
}

TEST_F(TagEditSheet, AnEditNeverSilentlyTakesATrackNumberOrTheEndOfAComment) {
    const std::string strTrack = Audio(300) + MakeTrackTag("T", "Band", "1990", "Note", 7, 17);
    const std::string strLong =
        Audio(300) + MakeTag("L", "Band", "", "1990", std::string(30, 'c'), 17);
    const std::string strPlain = Audio(300) + MakeTag("P", "Band", "", "1990", "Short", 17);
    const std::string str29(29, 'x');
    const auto typeComment = [](const std::string& strText) {
        return [strText](CMp3PropertySheet& sheet) { SetText(sheet, ETagField::Comment, strText); };
    };
    const auto typeTrack = [](const char* pszTrack) {
        return [pszTrack](CMp3PropertySheet& sheet) { SetText(sheet, ETagField::Track, pszTrack); };
    };
    const struct {
        const char* pszCase;
        std::vector<std::string> arrNames;
        std::function<void(CMp3PropertySheet&)> edit;
        QString strRefusal; // empty: OK is taken at once
        ETagField eFocused;
        std::function<void(CMp3PropertySheet&)> mend; // then OK again
        std::map<std::string, std::string> mapAfter;
    } aCases[] = {
        {"one file, track emptied for a long comment",
         {"track.mp3"},
         [&](CMp3PropertySheet& sheet) {
             SetText(sheet, ETagField::Track, "");
             SetText(sheet, ETagField::Comment, str29);
         },
         QString(),
         ETagField::Comment,
         nullptr,
         {{"track.mp3", Audio(300) + MakeTag("T", "Band", "", "1990", str29, 17)}}},
        {"one file, track typed beside a 30-byte comment",
         {"long.mp3"},
         typeTrack("5"),
         QStringLiteral("A track number takes the comment's last two bytes, and this comment "
                        "needs them. Shorten the Comment field to 28 bytes, or leave the Track "
                        "field empty."),
         ETagField::Track,
         typeComment("Short"),
         {{"long.mp3", Audio(300) + MakeTrackTag("L", "Band", "1990", "Short", 5, 17)}}},
        {"several, track typed where one comment needs its bytes",
         {"track.mp3", "long.mp3"},
         typeTrack("5"),
         QStringLiteral("A track number takes the comment's last two bytes, and the comments of 1 "
                        "of the selected files need them. Type a text of 28 bytes at most in the "
                        "Comment field, or leave the Track field empty."),
         ETagField::Track,
         typeComment("Short"),
         {{"track.mp3", Audio(300) + MakeTrackTag("T", "Band", "1990", "Short", 5, 17)},
          {"long.mp3", Audio(300) + MakeTrackTag("L", "Band", "1990", "Short", 5, 17)}}},
        {"several, long comment typed where one file has a track number",
         {"track.mp3", "plain.mp3"},
         typeComment(str29),
         QStringLiteral("A comment of more than 28 bytes would take the place of the track number "
                        "in 1 of the selected files. Shorten the Comment field to 28 bytes, or "
                        "clear the Track field in every file to take the track numbers away."),
         ETagField::Comment,
         [](CMp3PropertySheet& sheet) { sheet.GetPage().ClearField(ETagField::Track); },
         {{"track.mp3", Audio(300) + MakeTag("T", "Band", "", "1990", str29, 17)},
          {"plain.mp3", Audio(300) + MakeTag("P", "Band", "", "1990", str29, 17)}}},
        {"several, nothing to lose",
         {"plain.mp3", "long.mp3"},
         [](CMp3PropertySheet& sheet) { SetText(sheet, ETagField::Year, "2001"); },
         QString(),
         ETagField::Year,
         nullptr,
         {{"plain.mp3", Audio(300) + MakeTag("P", "Band", "", "2001", "Short", 17)},
          {"long.mp3", Audio(300) + MakeTag("L", "Band", "", "2001", std::string(30, 'c'), 17)}}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        Add("track.mp3", strTrack);
        Add("long.mp3", strLong);
        Add("plain.mp3", strPlain);
        const std::vector<CTrackInfo*> arrSelected = Scan(c.arrNames);
        m_messages.m_arrTexts.clear();
        m_modals.OnDialog<CMp3PropertySheet>([&c](CMp3PropertySheet& sheet) {
            c.edit(sheet);
            ClickOk(sheet);
        });
        if (!c.strRefusal.isEmpty()) {
            m_modals.OnDialog<CMp3PropertySheet>([&](CMp3PropertySheet& sheet) {
                EXPECT_EQ(m_messages.m_arrTexts, QStringList{c.strRefusal});
                EXPECT_EQ(sheet.focusWidget(), Edit(sheet, c.eFocused));
                for (const auto& [strName, strAfter] : c.mapAfter) {
                    EXPECT_NE(Bytes(strName), strAfter) << "written before the refusal was mended";
                }
                c.mend(sheet);
                ClickOk(sheet);
            });
        }
        EXPECT_TRUE(Run(arrSelected));
        for (const auto& [strName, strAfter] : c.mapAfter) {
            EXPECT_EQ(Bytes(strName), strAfter) << strName;
        }
        EXPECT_EQ(m_messages.m_arrTexts,
                  c.strRefusal.isEmpty() ? QStringList() : QStringList{c.strRefusal});
    }
}

TEST_F(TagEditSheet, ClearingAFieldChangesOnlyTheFilesWhereItHoldsSomething) {
    // Some taggers pad an empty field with zero bytes: it reads empty all the same.
    std::string strZeroed = MakeTag("Z", "Band", "", "1990", "", 17);
    std::fill(strZeroed.begin() + 97, strZeroed.begin() + 127, '\0');
    const struct {
        const char* pszName;
        std::string strBefore;
        std::string strAfter;
    } aFiles[] = {
        {"bare.mp3", Audio(300), Audio(300)},
        {"zeroed.mp3", Audio(300) + strZeroed, Audio(300) + strZeroed},
        {"noted.mp3", Audio(300) + MakeTag("N", "Band", "", "1990", "Note", 17),
         Audio(300) + MakeTag("N", "Band", "", "1990", "", 17)},
    };
    std::vector<std::string> arrNames;
    for (const auto& f : aFiles) {
        Add(f.pszName, f.strBefore);
        SetModificationTime(m_dir.Path() / f.pszName, 1000000000);
        arrNames.push_back(f.pszName);
    }
    const std::vector<CTrackInfo*> arrSelected = Scan(arrNames);
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        sheet.GetPage().ClearField(ETagField::Comment);
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected));
    for (const auto& f : aFiles) {
        const bool bChanged = f.strAfter != f.strBefore;
        EXPECT_EQ(Bytes(f.pszName), f.strAfter) << f.pszName;
        EXPECT_EQ(ModificationTime(m_dir.Path() / f.pszName).tv_sec != 1000000000, bChanged)
            << f.pszName;
    }
    EXPECT_EQ(m_history.LastEditFileCount(), 1u);
    EXPECT_FALSE(arrSelected[0]->HasTag());
}

TEST_F(TagEditSheet, PlaceholderArtistIsNeverWrittenInEitherLanguage) {
    for (const std::string& strShown : {std::string("<Undefined>"), "<Non d" + E_ACUTE + "fini>"}) {
        Add("Intro.mp3", Audio(300));
        const std::vector<CTrackInfo*> arrSelected = Scan({"Intro.mp3"});
        m_modals.OnDialog<CMp3PropertySheet>([&strShown](CMp3PropertySheet& sheet) {
            SetText(sheet, ETagField::Artist, strShown);
            ClickOk(sheet);
        });
        EXPECT_TRUE(Run(arrSelected));
        EXPECT_EQ(Bytes("Intro.mp3"), Audio(300) + MakeTag("Intro", "", "", "", "", NEW_TAG_GENRE))
            << strShown;
    }
}

TEST_F(TagEditSheet, OkWithNothingChangedWritesNothing) {
    const std::string strTagged = Audio(300) + MakeTag("Song", "Band", "", "1990", "", 17);
    Add("a.mp3", strTagged);
    Add("b.mp3", Audio(300));
    SetModificationTime(m_dir.Path() / "a.mp3", 1000000000);
    SetModificationTime(m_dir.Path() / "b.mp3", 1000000000);
    for (const std::vector<std::string>& arrNames :
         {std::vector<std::string>{"a.mp3"}, std::vector<std::string>{"a.mp3", "b.mp3"}}) {
        const std::vector<CTrackInfo*> arrSelected = Scan(arrNames);
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) { ClickOk(sheet); });
        EXPECT_TRUE(Run(arrSelected));
        EXPECT_EQ(Bytes("a.mp3"), strTagged);
        EXPECT_EQ(Bytes("b.mp3"), Audio(300));
        for (const char* pszName : {"a.mp3", "b.mp3"}) {
            EXPECT_EQ(ModificationTime(m_dir.Path() / pszName).tv_sec, 1000000000) << pszName;
        }
        EXPECT_FALSE(m_history.CanUndo());
    }
}

TEST_F(TagEditSheet, FileSwappedForALinkAfterTheScanIsLeftAloneAndNamed) {
    const std::string strOther = Audio(300) + MakeTag("Other", "Someone", "", "1970", "", 8);
    Add("a.mp3", Audio(300) + MakeTag("Song", "Band", "", "1990", "", 17));
    Add("other.mp3", strOther);
    const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3"});
    fs::remove(m_dir.Path() / "a.mp3");
    fs::create_symlink(m_dir.Path() / "other.mp3", m_dir.Path() / "a.mp3");
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        SetText(sheet, ETagField::Year, "1998");
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrSelected));
    EXPECT_EQ(
        m_messages.m_arrTexts,
        QStringList{Summary(NotWritten({QString::fromStdString((m_dir.Path() / "a.mp3").string()) +
                                        " (changed since listed)"}))});
    EXPECT_EQ(Bytes("other.mp3"), strOther);
    EXPECT_FALSE(m_history.CanUndo());
}

TEST_F(TagEditSheet, ModificationTimeIsKeptOnlyWhenTheOptionSaysSo) {
    for (const bool bKeep : {true, false}) {
        Add("a.mp3", Audio(300) + MakeTag("Song", "Band", "", "1990", "", 17));
        SetModificationTime(m_dir.Path() / "a.mp3", 1000000000);
        const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3"});
        m_bKeepTimes = bKeep;
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
            SetText(sheet, ETagField::Year, "1998");
            ClickOk(sheet);
        });
        EXPECT_TRUE(Run(arrSelected));
        EXPECT_EQ(Bytes("a.mp3"), Audio(300) + MakeTag("Song", "Band", "", "1998", "", 17));
        EXPECT_EQ(ModificationTime(m_dir.Path() / "a.mp3").tv_sec == 1000000000, bKeep) << bKeep;
    }
}

TEST_F(TagEditSheet, UndoPutsBackEveryFileTheEditLeftAsItWas) {
    const std::string strA = Audio(300) + MakeTrackTag("A", "Band", "1990", "Re", 3, 17);
    const std::string strB = Audio(400) + MakeTag("B", "Other", "", "", "", 8);
    const std::string strBare = Audio(500);
    const struct {
        const char* pszCase;
        std::vector<std::string> arrNames;
        bool bTamperLast; // another program changes the last file after the edit
    } aCases[] = {
        {"one file", {"a.mp3"}, false},
        {"several files", {"a.mp3", "b.mp3", "bare.mp3"}, false},
        {"appended tag", {"bare.mp3"}, false},
        {"a file changed since the edit", {"a.mp3", "b.mp3"}, true},
    };
    for (const auto& c : aCases) {
        Add("a.mp3", strA);
        Add("b.mp3", strB);
        Add("bare.mp3", strBare);
        std::vector<CTrackInfo*> arrSelected = Scan(c.arrNames);
        m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
            SetText(sheet, ETagField::Artist, "New");
            ClickOk(sheet);
        });
        EXPECT_TRUE(Run(arrSelected));
        ASSERT_EQ(m_history.LastEditFileCount(), c.arrNames.size()) << c.pszCase;
        std::string strTampered;
        if (c.bTamperLast) {
            strTampered = Bytes(c.arrNames.back());
            strTampered.replace(strTampered.size() - 128 + 93, 4, "2001");
            Add(c.arrNames.back(), strTampered);
        }
        // The folder read again: the records are new, found by their paths.
        Scan(c.arrNames);
        m_messages.m_arrTexts.clear();
        const auto pUndo = std::make_unique<CTagUndoRun>(Context());
        EXPECT_TRUE(WaitForWrite(pUndo.get())) << c.pszCase;
        EXPECT_TRUE(m_modals.Done()) << c.pszCase;
        EXPECT_FALSE(m_history.CanUndo()) << c.pszCase;
        EXPECT_EQ(Rebuilds(), 1) << c.pszCase;
        const std::map<std::string, std::string> mapOriginal = {
            {"a.mp3", strA}, {"b.mp3", strB}, {"bare.mp3", strBare}};
        for (const std::string& strName : c.arrNames) {
            const bool bTampered = c.bTamperLast && strName == c.arrNames.back();
            EXPECT_EQ(Bytes(strName), bTampered ? strTampered : mapOriginal.at(strName))
                << c.pszCase << " " << strName;
        }
        for (CTrackInfo* pTrack : *m_doc.GetTracks()) {
            const bool bTampered = c.bTamperLast && pTrack->GetFileName() == c.arrNames.back();
            EXPECT_EQ(pTrack->GetArtist() == "New", bTampered)
                << c.pszCase << " " << pTrack->GetFileName();
        }
        const QStringList arrExpected =
            c.bTamperLast
                ? QStringList{QStringLiteral("These files have changed since the edit "
                                             "and were left as they are:\n") +
                              QString::fromStdString((m_dir.Path() / c.arrNames.back()).string())}
                : QStringList{};
        EXPECT_EQ(m_messages.m_arrTexts, arrExpected) << c.pszCase;
    }
}

TEST(TagUndoHistory, KeepsTheLastFiftyEditsAndNamesTheFilesOfTheLast) {
    CTagUndoHistory history;
    EXPECT_EQ(UndoCommandText(history), QStringLiteral("&Undo"));
    history.Push({});
    EXPECT_FALSE(history.CanUndo()) << "an edit that wrote nothing";
    for (std::size_t nFiles = 1; nFiles <= 60; ++nFiles) {
        history.Push(std::vector<STagUndo>(nFiles));
    }
    EXPECT_EQ(UndoCommandText(history), QStringLiteral("&Undo tag edit of 60 files"));
    // Undoing entries of vanished files skips them and forgets the edit.
    std::size_t nUndone = 0;
    while (history.CanUndo()) {
        const std::size_t nFiles = history.LastEditFileCount();
        EXPECT_EQ(history.UndoLast(Writer()).m_arrSkipped.size(), nFiles);
        ++nUndone;
    }
    EXPECT_EQ(nUndone, CTagUndoHistory::MAX_EDITS);
    history.Push(std::vector<STagUndo>(1));
    EXPECT_EQ(UndoCommandText(history), QStringLiteral("&Undo tag edit of 1 file"));
}

// ---------------------------------------------------------------------------------------------
// Several files, cleared fields, byte counts, ID3v2

TEST(TagEditChanges, SharedValuesLeftAsShownChangeNothingAndClearedFieldsEmptyEveryFile) {
    SPageValues shared = WithTrack(Values("", "Band", "Rec", "", "", 17), "3");
    shared.m_nDifferent = FieldBit(ETagField::Title) | FieldBit(ETagField::Year);
    const auto cleared = [](SPageValues values, unsigned nFields) {
        values.m_nCleared = nFields;
        return values;
    };
    const struct {
        const char* pszCase;
        SPageValues after;
        std::string strExpected;
    } aCases[] = {
        {"all left as shown", shared, ""},
        {"shared artist emptied stays", WithTrack(Values("", "", "Rec", "", "", 17), "3"), ""},
        {"different title typed", WithTrack(Values("T", "Band", "Rec", "", "", 17), "3"),
         "title=T;"},
        {"shared album changed", WithTrack(Values("", "Band", "New", "", "", 17), "3"),
         "album=New;"},
        {"comment cleared", cleared(shared, FieldBit(ETagField::Comment)), "comment=;"},
        {"artist and track cleared",
         cleared(shared, FieldBit(ETagField::Artist) | FieldBit(ETagField::Track)),
         "artist=;track=0;"},
        {"empty genre entry keeps the shared genre",
         WithTrack(Values("", "Band", "Rec", "", "", GENRE_NONE), "3"), ""},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(Describe(ChangesFromPage(shared, c.after, false)), c.strExpected) << c.pszCase;
    }
}

TEST(TagEditDialog, EachTextShowsTheBytesItTakesInTheCodecOfTheWrite) {
    const std::string strKanji = "\xE6\x97\xA5"; // three bytes in UTF-8, none in Windows-1252
    const struct {
        const char* pszCodec;
        ETagField eField;
        std::string strText;
        std::string strTrack;
        const char* pszExpected;
    } aCases[] = {
        {"Windows-1252", ETagField::Title, "Caf" + E_ACUTE, "", "4/30"},
        // The automatic rule writes UTF-8 where Windows-1252 cannot hold the text.
        {"Automatic", ETagField::Title, "Caf" + E_ACUTE + strKanji, "", "8/30"},
        {"Automatic", ETagField::Artist, Repeat(strKanji, 4), "", "12/30"},
        {"Windows-1252", ETagField::Artist, strKanji, "", "?/30"},
        {"Automatic", ETagField::Album, Repeat(E_ACUTE, 3), "", "3/30"},
        {"Automatic", ETagField::Comment, "abc", "7", "3/28"},
        // The placeholder shown for a missing artist is never written: it takes no bytes.
        {"Automatic", ETagField::Artist, "<Undefined>", "", "0/30"},
        {"ISO-8859-1", ETagField::Year, "1998", "", "4/4"},
    };
    for (const auto& c : aCases) {
        CRecordingMessages messages;
        CScriptedModals modals;
        CMp3PropertySheet sheet(nullptr, *CTagCodec::FromName(c.pszCodec), messages, modals);
        SetText(sheet, ETagField::Track, c.strTrack);
        SetText(sheet, c.eField, c.strText);
        EXPECT_EQ(sheet.GetPage().GetByteCountText(c.eField), c.pszExpected)
            << c.pszCodec << " " << c.strText;
    }
}

TEST(TagEditReport, ManyFailuresNameTheFirstTwentyAndCountTheRest) {
    std::deque<CTrackInfo> tracks;
    STagWriteOutcome outcome;
    QStringList arrNamed;
    for (int i = 0; i < 25; ++i) {
        const std::string strName = "f" + std::to_string(i) + ".mp3";
        outcome.m_arrNotWritten.push_back(&tracks.emplace_back("/nowhere", strName));
        if (i < 20) {
            arrNamed.push_back(QString::fromStdString("/nowhere/" + strName + " (read-only)"));
        }
    }
    arrNamed.push_back(QStringLiteral("... and 5 more file(s)."));
    QStringList arrWritten;
    for (int i = 0; i < 22; ++i) {
        const std::string strName = "w" + std::to_string(i) + ".mp3";
        outcome.m_arrWritten.push_back(&tracks.emplace_back("/music", strName));
        if (i < 20) {
            arrWritten.push_back(QString::fromStdString("/music/" + strName));
        }
    }
    arrWritten.push_back(QStringLiteral("... and 2 more file(s)."));
    CRecordingMessages messages;
    ReportTagWrites(nullptr, messages, outcome);
    EXPECT_EQ(messages.m_arrTexts,
              QStringList{Summary(NotWritten(arrNamed, 25), Written(arrWritten, 22))});
}

TEST_F(TagEditSheet, SeveralFilesShowWhatTheyShareAndClearAFieldInEveryFile) {
    const auto chooseFromMenu = [this](QLineEdit& edit, bool bChoose) {
        m_modals.OnMenu([bChoose](QMenu& menu, const QPoint&) -> QAction* {
            for (QAction* pItem : menu.actions()) {
                if (pItem->text() == "C&lear in Every File") {
                    EXPECT_EQ(pItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
                    return bChoose ? pItem : nullptr;
                }
            }
            ADD_FAILURE() << "the field's menu offers no clearing";
            return nullptr;
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                edit.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&edit, &event);
    };
    const struct {
        const char* pszWay;
        std::function<void(QLineEdit&)> clear;
        bool bCleared;
    } aWays[] = {
        {"Ctrl+Delete",
         [](QLineEdit& edit) {
             edit.setFocus();
             QTest::keyClick(&edit, Qt::Key_Delete, Qt::ControlModifier);
         },
         true},
        {"its menu", [&](QLineEdit& edit) { chooseFromMenu(edit, true); }, true},
        {"its menu, dismissed", [&](QLineEdit& edit) { chooseFromMenu(edit, false); }, false},
    };
    for (const auto& way : aWays) {
        SCOPED_TRACE(way.pszWay);
        Add("a.mp3", Audio(300) + MakeTag("One", "Band", "Rec", "1990", "old", 17));
        Add("b.mp3", Audio(300) + MakeTag("Two", "Band", "Rec", "1991", "note", 17));
        const std::vector<CTrackInfo*> arrSelected = Scan({"a.mp3", "b.mp3"});
        m_modals.OnDialog<CMp3PropertySheet>([&way](CMp3PropertySheet& sheet) {
            EXPECT_EQ(Edit(sheet, ETagField::Artist)->text(), "Band");
            EXPECT_EQ(Edit(sheet, ETagField::Title)->text(), "");
            EXPECT_EQ(Edit(sheet, ETagField::Title)->placeholderText(), "(different values)");
            QLineEdit* pComment = Edit(sheet, ETagField::Comment);
            way.clear(*pComment);
            EXPECT_EQ(pComment->placeholderText(),
                      way.bCleared ? "(cleared in every file)" : "(different values)");
            ClickOk(sheet);
        });
        EXPECT_TRUE(Run(arrSelected));
        EXPECT_EQ(Bytes("a.mp3"), Audio(300) + MakeTag("One", "Band", "Rec", "1990",
                                                       way.bCleared ? "" : "old", 17));
        EXPECT_EQ(Bytes("b.mp3"), Audio(300) + MakeTag("Two", "Band", "Rec", "1991",
                                                       way.bCleared ? "" : "note", 17));
    }
}

TEST_F(TagEditSheet, CopyFromId3v2FillsThePageAndFillingEmptyFieldsKeepsEachFilesOwn) {
    const std::string strV2 =
        Id3v2Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(3, "Long title " + Repeat(E_ACUTE, 25))) +
                        Id3v2Frame(3, "TPE1", Id3v2Text(0, "Artist2")) +
                        Id3v2Frame(3, "TCON", Id3v2Text(0, "(17)")));
    Add("one.mp3", strV2 + Audio(300));
    Add("tagged.mp3", strV2 + Audio(300) + MakeTag("Mine", "", "", "", "", 8));
    const std::vector<CTrackInfo*> arrOne = Scan({"one.mp3"});
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        CMp3PropertyPage1& page = sheet.GetPage();
        EXPECT_EQ(page.GetOtherTagsLabel()->text(), "Also has an ID3v2.3 tag");
        page.GetCopyButton()->click();
        // Cut to 30 bytes of Windows-1252, the automatic rule's choice for these letters.
        EXPECT_EQ(Edit(sheet, ETagField::Title)->text().toStdString(),
                  "Long title " + Repeat(E_ACUTE, 19));
        EXPECT_EQ(Edit(sheet, ETagField::Artist)->text(), "Artist2");
        EXPECT_EQ(page.GetGenreBox()->currentData().toInt(), 17);
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrOne));
    EXPECT_EQ(arrOne[0]->GetArtist(), "Artist2");
    EXPECT_EQ(arrOne[0]->GetGenre(), 17);

    // Several files: only the fields each file leaves empty are filled.
    const std::vector<CTrackInfo*> arrBoth = Scan({"one.mp3", "tagged.mp3"});
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        ASSERT_TRUE(sheet.GetPage().GetFillCheckBox()->isVisibleTo(&sheet));
        sheet.GetPage().GetFillCheckBox()->setChecked(true);
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(arrBoth));
    EXPECT_EQ(arrBoth[1]->GetTitle(), "Mine");
    EXPECT_EQ(arrBoth[1]->GetArtist(), "Artist2");
    EXPECT_EQ(arrBoth[1]->GetGenre(), 8);
}

TEST_F(TagEditSheet, AHostileId3v2TagIsNamedAndFillsNothing) {
    // A compressed title that declares 2 GB once inflated, beside a plain artist.
    const std::string strDeflated = Deflated(std::string("\0x", 2));
    const std::string strHostile =
        Id3v2Tag(3, Id3v2RawFrame(3, "TIT2", 4 + strDeflated.size(), 0x0080,
                                  BigEndian(0x7FFFFFFF, 4, false) + strDeflated) +
                        Id3v2Frame(3, "TPE1", Id3v2Text(0, "Hostile"))) +
        Audio(300);
    Add("hostile.mp3", strHostile);
    Add("plain.mp3", Audio(300));
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        CMp3PropertyPage1& page = sheet.GetPage();
        EXPECT_EQ(page.GetOtherTagsLabel()->text(), "Has an ID3v2.3 tag that was not read: it "
                                                    "would take more memory than any tag needs");
        EXPECT_FALSE(page.GetCopyButton()->isVisibleTo(&sheet));
        ClickCancel(sheet);
    });
    EXPECT_FALSE(Run(Scan({"hostile.mp3"})));

    // Several files: what the user typed is written to both, nothing of the hostile tag, and the
    // file is named.
    m_modals.OnDialog<CMp3PropertySheet>([](CMp3PropertySheet& sheet) {
        sheet.GetPage().GetFillCheckBox()->setChecked(true);
        SetText(sheet, ETagField::Album, "Typed");
        ClickOk(sheet);
    });
    EXPECT_TRUE(Run(Scan({"hostile.mp3", "plain.mp3"})));
    EXPECT_TRUE(Bytes("hostile.mp3") == strHostile + MakeTag("", "", "Typed", "", "", 255));
    EXPECT_EQ(Bytes("plain.mp3"), Audio(300) + MakeTag("", "", "Typed", "", "", 255));
    ASSERT_EQ(m_messages.m_arrTexts.size(), 1);
    EXPECT_TRUE(m_messages.m_arrTexts[0].contains(QStringLiteral("hostile.mp3")));
    EXPECT_FALSE(m_messages.m_arrTexts[0].contains(QStringLiteral("plain.mp3")));
}

TEST_F(TagEditSheet, CorpusFilesGoThroughCopyFromId3v2) {
    CFileOps systemCalls;
    const fs::path corpus = CORPUS_DIR;
    if (!fs::is_directory(corpus)) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    int nCopied = 0;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (nCopied == 8 || entry.path().extension() != ".mp3") {
            continue;
        }
        const CId3v2Tag tag = CId3v2Tag::Read(entry.path().string(), systemCalls);
        if (tag.m_nVersion == 0) {
            continue;
        }
        CRecordingMessages messages;
        CScriptedModals modals;
        CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
        sheet.GetPage().SetOtherTags(tag);
        sheet.GetPage().CopyFromId3v2();
        sheet.GetPage().SaveFields();
        EXPECT_FALSE(FindOverlongField(sheet.GetPage())) << entry.path();
        ++nCopied;
    }
    EXPECT_GT(nCopied, 0);
}

TEST_F(TagEditSheet, AlsoWritingTheId3v2TagReachesOnlyFilesThatHaveOneAndUndoTakesBothBack) {
    const std::string strV2 = Id3v2Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, "Old")) +
                                              Id3v2Frame(3, "TPE1", Id3v2Text(0, "Band")));
    const std::map<std::string, std::string> mapFiles = {
        {"v2.mp3", strV2 + MpegFrames() + MakeTag("Old", "Band", "", "", "", 17)},
        {"plain.mp3", Audio(400) + MakeTag("Old", "Band", "", "", "", 17)},
    };
    const struct {
        const char* pszCase;
        std::vector<std::string> arrNames;
        bool bRemembered; // the box as last left
        bool bShown;
        bool bCheck; // the box as OK finds it
    } aCases[] = {
        {"one file with an ID3v2 tag", {"v2.mp3"}, true, true, true},
        {"the box unchecked", {"v2.mp3"}, true, true, false},
        {"one file without", {"plain.mp3"}, true, false, true},
        {"several files", {"plain.mp3", "v2.mp3"}, false, true, true},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        for (const auto& [strName, strBytes] : mapFiles) {
            Add(strName, strBytes);
        }
        m_bAlsoId3v2 = c.bRemembered;
        const std::vector<CTrackInfo*> arrSelected = Scan(c.arrNames);
        m_modals.OnDialog<CMp3PropertySheet>([&c](CMp3PropertySheet& sheet) {
            QCheckBox* pBox = sheet.GetPage().GetAlsoId3v2Box();
            EXPECT_EQ(pBox->isVisibleTo(&sheet), c.bShown);
            EXPECT_EQ(pBox->isChecked(), c.bRemembered);
            pBox->setChecked(c.bCheck);
            SetText(sheet, ETagField::Title, "New");
            ClickOk(sheet);
        });
        ASSERT_TRUE(Run(arrSelected));
        const bool bWritesV2 = c.bShown && c.bCheck;
        EXPECT_EQ(CId3v2Tag::Read((m_dir.Path() / "v2.mp3").string(), m_fileOps).m_strTitle,
                  bWritesV2 && c.arrNames.back() == "v2.mp3" ? "New" : "Old");
        for (const std::string& strName : c.arrNames) {
            const std::string strAfter = Bytes(strName);
            EXPECT_EQ(strAfter.substr(strAfter.size() - 128),
                      MakeTag("New", "Band", "", "", "", 17))
                << strName;
        }
        EXPECT_EQ(Bytes("plain.mp3").rfind("ID3", 0), std::string::npos);
        const auto pUndo = std::make_unique<CTagUndoRun>(Context());
        EXPECT_TRUE(WaitForWrite(pUndo.get()));
        for (const auto& [strName, strBytes] : mapFiles) {
            EXPECT_TRUE(Bytes(strName) == strBytes) << strName << " is not as it was";
        }
    }
}
