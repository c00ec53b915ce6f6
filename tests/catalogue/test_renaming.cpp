// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// File names from tags and tags from file names: formats, safe names, plans and renames, on
// real files in a folder of the test's own.
#include "catalogue/filerenamer.h"
#include "catalogue/nameformat.h"
#include "catalogue/renameplan.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagfieldrules.h"
#include "catalogue/trackinfo.h"
#include "tests/support/fakefileops.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <functional>
#include <map>
#include <optional>

namespace fs = std::filesystem;

namespace {

using EField = CNameFormat::EField;
using CFound = std::vector<std::pair<EField, std::string>>;

CNameFormat FormatOf(const std::string& strFormat) {
    std::string strError;
    const std::optional<CNameFormat> format = CNameFormat::Parse(strFormat, strError);
    EXPECT_TRUE(format) << strFormat << ": " << strError;
    return format.value_or(*CNameFormat::Parse("", strError));
}

// The file's record as a scan reads it.
CTrackInfo ReadTrack(const fs::path& path, const CTagCodec& codec) {
    return CTrackInfo(CSharedText(path.parent_path().string()), path.filename().string(),
                      CTagBlock::Read(-1, path.c_str()), codec);
}

// The names in the folder, with their contents.
std::map<std::string, std::string> FolderOf(const fs::path& folder) {
    std::map<std::string, std::string> mapFiles;
    for (const auto& entry : fs::directory_iterator(folder)) {
        mapFiles[entry.path().filename().string()] =
            entry.is_symlink() ? "->" + fs::read_symlink(entry).string() : ReadBytes(entry.path());
    }
    return mapFiles;
}

} // namespace

TEST(Renaming, ExpandsTheFormatFromTheTagAsReadFromTheFile) {
    const std::string strWin1251Title = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Привет" in Windows-1251
    const struct {
        const char* pszFormat;
        std::string strTag; // empty: the file has no tag
        const char* pszCodec;
        std::string strStem;
    } aCases[] = {
        {"%n - %a - %t", MakeTag("Song", "Band", "", "", WithTrack("", 7)), "Automatic",
         "07 - Band - Song"},
        {"%n - %t", MakeTag("Song", "Band", "", "", WithTrack("", 123)), "Automatic", "123 - Song"},
        {"%n - %t", MakeTag("Song", "Band"), "Automatic", " - Song"},
        {"%l (%y) %g: %c", MakeTag("", "", "Album", "1999", "Note", 8), "Automatic",
         "Album (1999) Jazz: Note"},
        {"[%g] %t", MakeTag("T", "A", "", "", "", 200), "Automatic", "[] T"},
        {"[%g]", MakeTag("T", "A", "", "", "", 200), "Automatic", ""},
        {"100%% %t", MakeTag("Caf\xE9", "A"), "Automatic", "100% Caf\xC3\xA9"},
        {"%t", MakeTag(strWin1251Title, "A"), "Windows-1251",
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        // Without a tag the record shows a placeholder artist: no name to give.
        {"%a%t%g%n", "", "Automatic", ""},
        {"%n - %a - %t", "", "Automatic", ""},
        {"%n - %a - %t", MakeTag("", "", "Album"), "Automatic", ""},
        {"%n - %a - %t", MakeTag("", "Band", "Album"), "Automatic", " - Band - "},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszFormat);
        CTempDir dir;
        WriteBytes(dir.Path() / "f.mp3", Audio(300) + c.strTag);
        const CTagCodec codec = *CTagCodec::FromName(c.pszCodec);
        EXPECT_EQ(FormatOf(c.pszFormat).Expand(ReadTrack(dir.Path() / "f.mp3", codec)), c.strStem);
    }
}

TEST(Renaming, RefusesFormatsItCannotUse) {
    const struct {
        const char* pszFormat;
        bool bParses;
        bool bMatchable;
    } aCases[] = {
        {"%n - %t", true, true},   {"%t%%", true, true},   {"%x", false, false},
        {"title %", false, false}, {"%", false, false},    {"plain", true, false},
        {"%t - %t", true, false},  {"%a/%t", true, false}, {"%%%n", true, true},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszFormat);
        std::string strError;
        const std::optional<CNameFormat> format = CNameFormat::Parse(c.pszFormat, strError);
        EXPECT_EQ(format.has_value(), c.bParses);
        EXPECT_EQ(strError.empty(), c.bParses);
        if (format) {
            EXPECT_EQ(format->CheckForMatching().empty(), c.bMatchable);
        }
    }
}

TEST(Renaming, MakesSafeNamesCutAtACharacterBoundary) {
    const std::string strE = "\xC3\xA9"; // é, two bytes
    const struct {
        std::string strStem;
        const char* pszExt;
        std::size_t nMax;
        std::string strName;
    } aCases[] = {
        {"AC/DC - Back", ".mp3", NAME_MAX, "AC_DC - Back.mp3"},
        {std::string("a\0b", 3) + "\t\n\x7F" + "c", ".mp3", NAME_MAX, "a_b___c.mp3"},
        {"C1\xC2\x85here", ".mp3", NAME_MAX, "C1_here.mp3"},
        {"  spaced  ", ".MP3", NAME_MAX, "spaced.MP3"},
        {"", ".mp3", NAME_MAX, ""},
        {"   ", ".mp3", NAME_MAX, ""},
        {".", "", NAME_MAX, ""},
        {"..", "", NAME_MAX, ""},
        {"..", ".mp3", NAME_MAX, "...mp3"},
        // Cut to the room the extension leaves, never inside a character.
        {"abc" + strE + strE, ".mp3", 10, "abc" + strE + ".mp3"},
        {"abcd" + strE, ".mp3", 9, "abcd.mp3"},
        {std::string(300, 'x'), ".mp3", NAME_MAX, std::string(251, 'x') + ".mp3"},
        {"ab  cd", ".mp3", 7, "ab.mp3"},
        {"name", ".extension", 8, ""},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.strStem);
        const std::string strName = CRenamePlan::MakeName(c.strStem, c.pszExt, c.nMax);
        EXPECT_EQ(strName, c.strName);
        EXPECT_LE(strName.size(), c.nMax);
    }
    EXPECT_EQ(CRenamePlan::SplitExtension("a.b.mp3"),
              std::make_pair(std::string_view("a.b"), std::string_view(".mp3")));
    EXPECT_EQ(CRenamePlan::SplitExtension(".hidden"),
              std::make_pair(std::string_view(".hidden"), std::string_view()));
}

TEST(Renaming, FindsTheFieldsOfANameOrSaysItDoesNotMatch) {
    const struct {
        const char* pszFormat;
        const char* pszStem;
        std::optional<CFound> found;
    } aCases[] = {
        {"%n - %a - %t", "01 - Band - Song",
         CFound{{EField::Track, "01"}, {EField::Artist, "Band"}, {EField::Title, "Song"}}},
        // The shortest artist: the rest of the dashes belong to the title.
        {"%a - %t", "A - B - C", CFound{{EField::Artist, "A"}, {EField::Title, "B - C"}}},
        // A track is digits only, so that it can stand right before another field.
        {"%n%t", "12Song", CFound{{EField::Track, "12"}, {EField::Title, "Song"}}},
        {"%n%t", "Song", CFound{{EField::Track, ""}, {EField::Title, "Song"}}},
        {"%n. %t", "Intro. Song", std::nullopt},
        {"%a-%t", " Band - Song ", CFound{{EField::Artist, "Band"}, {EField::Title, "Song"}}},
        {"(%y) %l", "(1999) Album", CFound{{EField::Year, "1999"}, {EField::Album, "Album"}}},
        {"(%y) %l", "1999 Album", std::nullopt},
        {"%t [live]", "Song [LIVE]", std::nullopt},
        {"%t 100%%", "Song 100%", CFound{{EField::Title, "Song"}}},
        {"%g - %c", "Jazz - ", CFound{{EField::Genre, "Jazz"}, {EField::Comment, ""}}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(std::string(c.pszFormat) + " / " + c.pszStem);
        EXPECT_EQ(FormatOf(c.pszFormat).Match(c.pszStem), c.found);
    }
    // Many fields against a long name that almost matches: the search stays short.
    const std::string strLong(250, 'x');
    EXPECT_FALSE(FormatOf("%t-%a-%l-%c-%y").Match(strLong + "-x-x"));
}

TEST(Renaming, TakesFieldValuesByTheSetRules) {
    const struct {
        const char* pszField;
        const char* pszValue;
        bool bTaken;
        STagChanges expected;
    } aCases[] = {
        {"track", "7", true,
         [] {
             STagChanges c;
             c.m_nTrack = 7;
             return c;
         }()},
        {"track", "255", true,
         [] {
             STagChanges c;
             c.m_nTrack = 255;
             return c;
         }()},
        {"track", "", true,
         [] {
             STagChanges c;
             c.m_nTrack = 0;
             return c;
         }()},
        {"track", "0", false, {}},
        {"track", "256", false, {}},
        {"track", "+1", false, {}},
        {"genre", "jAzZ", true,
         [] {
             STagChanges c;
             c.m_nGenre = 8;
             return c;
         }()},
        {"genre", "147", true,
         [] {
             STagChanges c;
             c.m_nGenre = 147;
             return c;
         }()},
        {"genre", "Jazzy", false, {}},
        {"genre", "Ja?z", false, {}},
        {"artist", "<Undefined>", true,
         [] {
             STagChanges c;
             c.m_strArtist = "";
             return c;
         }()},
        {"artist", "<Non défini>", true,
         [] {
             STagChanges c;
             c.m_strArtist = "";
             return c;
         }()},
        {"title", "T", true,
         [] {
             STagChanges c;
             c.m_strTitle = "T";
             return c;
         }()},
        {"band", "T", false, {}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(std::string(c.pszField) + "=" + c.pszValue);
        STagChanges changes;
        std::string strError;
        EXPECT_EQ(CTagFieldRules::Assign(c.pszField, c.pszValue, changes, strError), c.bTaken);
        EXPECT_EQ(strError.empty(), c.bTaken);
        if (c.bTaken) {
            EXPECT_EQ(changes.m_nTrack, c.expected.m_nTrack);
            EXPECT_EQ(changes.m_nGenre, c.expected.m_nGenre);
            EXPECT_EQ(changes.m_strArtist, c.expected.m_strArtist);
            EXPECT_EQ(changes.m_strTitle, c.expected.m_strTitle);
        }
    }
}

TEST(Renaming, PlansNeverTakingANameThatExistsOrThatAnotherFileTakesFirst) {
    using V = ERenameVerdict;
    const struct {
        const char* pszCase;
        std::vector<std::pair<std::string, std::string>> arrWanted; // file, new stem
        std::vector<std::pair<V, std::string>> arrPlanned;          // verdict, new name
    } aCases[] = {
        {"plain",
         {{"a.mp3", "New"}, {"b.MP3", "Other"}},
         {{V::Rename, "New.mp3"}, {V::Rename, "Other.MP3"}}},
        {"a name that exists",
         {{"a.mp3", "b"}, {"b.mp3", "c"}},
         {{V::Exists, "b.mp3"}, {V::Rename, "c.mp3"}}},
        {"two files for one name",
         {{"a.mp3", "x"}, {"b.mp3", "x"}},
         {{V::Rename, "x.mp3"}, {V::TakenBefore, "x.mp3"}}},
        {"same extension only",
         {{"a.mp3", "x"}, {"b.ogg", "x"}},
         {{V::Rename, "x.mp3"}, {V::Rename, "x.ogg"}}},
        {"unchanged and empty",
         {{"a.mp3", "a"}, {"b.mp3", " "}},
         {{V::Same, "a.mp3"}, {V::NoName, ""}}},
        {"a dangling link holds its name", {{"a.mp3", "link"}}, {{V::Exists, "link.mp3"}}},
        {"the same file twice",
         {{"a.mp3", "x"}, {"./a.mp3", "y"}},
         {{V::Rename, "x.mp3"}, {V::Duplicate, ""}}},
        {"gone", {{"gone.mp3", "x"}}, {{V::Missing, ""}}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        for (const char* pszName : {"a.mp3", "b.mp3", "b.MP3", "b.ogg"}) {
            WriteBytes(dir.Path() / pszName, pszName);
        }
        fs::create_symlink(dir.Path() / "nowhere", dir.Path() / "link.mp3");
        std::vector<CRenamePlan::SWanted> arrWanted;
        for (const auto& [strFile, strStem] : c.arrWanted) {
            arrWanted.push_back({(dir.Path() / strFile).string(), strStem});
        }
        CFileOps ops;
        const std::map<std::string, std::string> mapBefore = FolderOf(dir.Path());
        const std::vector<SRenameStep> arrSteps = CRenamePlan::Make(arrWanted, ops);
        ASSERT_EQ(arrSteps.size(), c.arrPlanned.size());
        for (std::size_t i = 0; i < arrSteps.size(); ++i) {
            EXPECT_EQ(arrSteps[i].m_eVerdict, c.arrPlanned[i].first) << i;
            if (arrSteps[i].m_eVerdict != V::Duplicate && arrSteps[i].m_eVerdict != V::Missing) {
                EXPECT_EQ(arrSteps[i].m_strNewName, c.arrPlanned[i].second) << i;
                EXPECT_EQ(arrSteps[i].m_strFolder, dir.Str() + "/");
            }
        }
        EXPECT_EQ(FolderOf(dir.Path()), mapBefore) << "a plan renames nothing";
    }
}

TEST(Renaming, RenamesAndUndoesWithoutEverReplacingAFile) {
    enum class EMeddle { None, TargetAppears, SourceReplaced, SourceMoved };
    const struct {
        const char* pszCase;
        int nNoReplaceErrno; // a file system without renameat2's promise
        EMeddle eMeddle;     // what another program does just before the rename
        bool bUndo;          // the meddling comes before the undo instead
        ERenameResult eResult;
        std::map<std::string, std::string> mapAfter;
    } aCases[] = {
        {"plain", 0, EMeddle::None, false, ERenameResult::Renamed, {{"new.mp3", "A"}}},
        {"through a second name",
         EINVAL,
         EMeddle::None,
         false,
         ERenameResult::Renamed,
         {{"new.mp3", "A"}}},
        {"no renameat2 at all",
         ENOSYS,
         EMeddle::None,
         false,
         ERenameResult::Renamed,
         {{"new.mp3", "A"}}},
        {"a file takes the name meanwhile",
         0,
         EMeddle::TargetAppears,
         false,
         ERenameResult::Exists,
         {{"old.mp3", "A"}, {"new.mp3", "other"}}},
        {"the same through a second name",
         EINVAL,
         EMeddle::TargetAppears,
         false,
         ERenameResult::Exists,
         {{"old.mp3", "A"}, {"new.mp3", "other"}}},
        {"the file was replaced",
         0,
         EMeddle::SourceReplaced,
         false,
         ERenameResult::Changed,
         {{"old.mp3", "other"}}},
        {"the file was moved",
         0,
         EMeddle::SourceMoved,
         false,
         ERenameResult::Changed,
         {{"moved.mp3", "A"}}},
        {"undo", 0, EMeddle::None, true, ERenameResult::Renamed, {{"old.mp3", "A"}}},
        {"undo after the old name was taken",
         0,
         EMeddle::TargetAppears,
         true,
         ERenameResult::Exists,
         {{"new.mp3", "A"}, {"old.mp3", "other"}}},
        {"undo after the file was moved",
         0,
         EMeddle::SourceMoved,
         true,
         ERenameResult::Changed,
         {{"moved.mp3", "A"}}},
        {"undo after it was replaced",
         EINVAL,
         EMeddle::SourceReplaced,
         true,
         ERenameResult::Changed,
         {{"new.mp3", "other"}}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        CTempDir elsewhere;
        WriteBytes(dir.Path() / "old.mp3", "A");
        CFakeFileOps ops;
        std::vector<SRenameStep> arrSteps =
            CRenamePlan::Make({{(dir.Path() / "old.mp3").string(), "new"}}, ops);
        ASSERT_EQ(arrSteps.at(0).m_eVerdict, ERenameVerdict::Rename);
        const SRenameStep& step = arrSteps[0];
        const CFileRenamer renamer(ops);
        if (c.bUndo) {
            ASSERT_EQ(renamer.Rename(step).m_eResult, ERenameResult::Renamed);
        }
        // The name the file has when the meddling comes, and the one it is to take.
        const fs::path from = dir.Path() / (c.bUndo ? "new.mp3" : "old.mp3");
        const fs::path to = dir.Path() / (c.bUndo ? "old.mp3" : "new.mp3");
        // Another program acting between the plan and the rename: just before the first rename
        // or link tried.
        std::function<void()> fnMeddle = [&] {
            switch (c.eMeddle) {
            case EMeddle::TargetAppears:
                WriteBytes(to, "other");
                break;
            case EMeddle::SourceReplaced:
                // Kept elsewhere, so that the new file cannot get the freed inode number.
                fs::rename(from, elsewhere.Path() / "kept.mp3");
                WriteBytes(from, "other");
                break;
            case EMeddle::SourceMoved:
                fs::rename(from, dir.Path() / "moved.mp3");
                break;
            case EMeddle::None:
                break;
            }
        };
        for (const EFileOp eOp : {EFileOp::RenameNoReplace, EFileOp::Link}) {
            ops.Before(eOp, [&fnMeddle](const SFileCall&) {
                std::function<void()> fnOnce;
                fnOnce.swap(fnMeddle);
                if (fnOnce) {
                    fnOnce();
                }
            });
        }
        // As a file system that cannot refuse an existing name by itself.
        if (c.nNoReplaceErrno != 0) {
            ops.Fail(EFileOp::RenameNoReplace, c.nNoReplaceErrno);
        }
        // The meddling that must be seen before the rename is done by then.
        if (c.eMeddle == EMeddle::SourceReplaced || c.eMeddle == EMeddle::SourceMoved) {
            fnMeddle();
        }
        const SRenameOutcome outcome = c.bUndo ? renamer.Undo(step) : renamer.Rename(step);
        EXPECT_EQ(outcome.m_eResult, c.eResult) << std::strerror(outcome.m_nErrno);
        EXPECT_EQ(FolderOf(dir.Path()), c.mapAfter);
    }
}
