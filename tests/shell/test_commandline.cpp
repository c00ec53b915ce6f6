// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/commandline.h"
#include "tests/support/deflate.h"
#include "tests/support/lockedlibrary.h"
#include "tests/support/programrun.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace {

struct SRun {
    int nExit = -1;
    std::string strOut;
    std::string strErr;
};

// Runs the real program with settings of its own, as a user would from a terminal.
SRun RunProgram(const QStringList& arrArgs, const QString& strConfigHome = QString()) {
    const QTemporaryDir configDir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"),
               strConfigHome.isEmpty() ? configDir.path() : strConfigHome);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TUNEBROWSE_EXE), arrArgs);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

QString Q(const std::string& str) {
    return QString::fromStdString(str);
}

// The genre byte of a tag the program makes: what every reader takes for "no genre".
constexpr unsigned char NEW_TAG_GENRE = 255;

} // namespace

TEST(CommandLine, ParsesModesAndRejectsMalformedInput) {
    using EMode = CCommandLine::EMode;
    const struct {
        std::vector<std::string> arrArgs;
        EMode eMode;
    } aCases[] = {
        {{}, EMode::Window},
        {{"/music"}, EMode::Window},
        {{"--list"}, EMode::List},
        {{"--list", "--pattern", "*.ogg", "/m"}, EMode::List},
        {{"--tree", "--by-genre", "/m"}, EMode::Tree},
        {{"--help"}, EMode::Help},
        {{"--list", "--version"}, EMode::Version},
        {{"--", "-folder-with-dash"}, EMode::Window},
        {{"--list", "--tree"}, EMode::Usage},
        {{"--by-genre", "/m"}, EMode::Usage},
        {{"--pattern", "*.mp3"}, EMode::Usage},
        {{"--list", "--pattern"}, EMode::Usage},
        {{"/a", "/b"}, EMode::Usage},
        {{"--frobnicate"}, EMode::Usage},
        {{"--set", "title=T", "a.mp3", "b.mp3"}, EMode::Set},
        {{"--set", "title=T"}, EMode::Usage},
        {{"--set", "title=T", "--list", "a.mp3"}, EMode::Usage},
        {{"--list", "--encoding", "koi8-r", "/m"}, EMode::List},
        {{"--list", "--encoding", "klingon", "/m"}, EMode::Usage},
        {{"--encoding", "Big5", "/m"}, EMode::Usage},
        {{"--list", ""}, EMode::Usage},
        {{"--tree", "--", ""}, EMode::Usage},
        {{""}, EMode::Usage},
        {{"--rename", "%n - %t", "/m", "a.mp3"}, EMode::Rename},
        {{"--tags-from-name", "%n - %t", "--dry-run", "/m"}, EMode::TagsFromName},
        {{"--rename", "%n"}, EMode::Usage},
        {{"--rename"}, EMode::Usage},
        {{"--rename", "%t", "--tags-from-name", "%t", "/m"}, EMode::Usage},
        {{"--rename", "%t", "--set", "title=T", "/m"}, EMode::Usage},
        {{"--rename", "%t", "--list", "/m"}, EMode::Usage},
        {{"--rename", "%t", "--also-id3v2", "/m"}, EMode::Usage},
        {{"--tags-from-name", "%t/%a", "/m"}, EMode::Usage},
    };
    for (const auto& c : aCases) {
        const CCommandLine cmd = CCommandLine::Parse(c.arrArgs);
        EXPECT_EQ(cmd.m_eMode, c.eMode) << ::testing::PrintToString(c.arrArgs);
        EXPECT_EQ(cmd.m_eMode == EMode::Usage, !cmd.m_strError.empty());
    }
    EXPECT_EQ(CCommandLine::Parse({"--", "-x"}).m_strFolder, "-x");
}

TEST(CommandLine, ListPrintsOneEscapedLinePerTrackInScanOrder) {
    CTempDir dir;
    WriteBytes(dir.Path() / "b.mp3",
               Audio(3500000) + MakeTag("Title", "Artist", "Album", "1999", "Comment", 8));
    WriteBytes(dir.Path() / "a.mp3", Audio(300));
    WriteBytes(dir.Path() / "Sub" / "tab\there.mp3", Audio(300));
    WriteBytes(dir.Path() / "cover.jpg", "x");
    const SRun run = RunProgram({QStringLiteral("--list"), Q(dir.Str())});
    ASSERT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_EQ(run.strOut, "a.mp3\t\t\t" + dir.Str() + "\t  0.0 MB\t<Undefined>\t<Undefined>\t\t\n" +
                              "b.mp3\tTitle\tAlbum\t" + dir.Str() +
                              "\t  3.5 MB\tArtist\tJazz\t1999\tComment\n" + "tab\\there.mp3\t\t\t" +
                              dir.Str() + "/Sub\t  0.0 MB\t<Undefined>\t<Undefined>\t\t\n");
}

TEST(CommandLine, TreeAndPatternAndFrenchTexts) {
    CTempDir dir;
    WriteBytes(dir.Path() / "1.mp3", Audio(1000128) + MakeTag("t", "Zed", "", "", "", 17));
    WriteBytes(dir.Path() / "2.mp3", Audio(2000128) + MakeTag("t", "Abe", "", "", "", 17));
    WriteBytes(dir.Path() / "3.MP3", Audio(128) + MakeTag("t", "Zed", "", "", "", 13));
    WriteBytes(dir.Path() / "4.ogg", Audio(128) + MakeTag("t", "Ogg", "", "", "", 13));

    const SRun byArtist = RunProgram({QStringLiteral("--tree"), Q(dir.Str())});
    ASSERT_EQ(byArtist.nExit, 0) << byArtist.strErr;
    EXPECT_EQ(byArtist.strOut, dir.Str() + "\t3 file(s)\t  3.0 MB\n" +
                                   "  Zed\t2 file(s)\t  1.0 MB\n  Abe\t1 file(s)\t  2.0 MB\n");

    const SRun byGenre =
        RunProgram({QStringLiteral("--tree"), QStringLiteral("--by-genre"), Q(dir.Str())});
    EXPECT_EQ(byGenre.strOut, dir.Str() + "\t3 file(s)\t  3.0 MB\n" +
                                  "  Rock\t2 file(s)\t  3.0 MB\n" +
                                  "    Zed\t1 file(s)\t  1.0 MB\n    Abe\t1 file(s)\t  2.0 MB\n" +
                                  "  Pop\t1 file(s)\t  0.0 MB\n    Zed\t1 file(s)\t  0.0 MB\n");

    const SRun ogg = RunProgram({QStringLiteral("--list"), QStringLiteral("--pattern"),
                                 QStringLiteral("*.OGG"), Q(dir.Str())});
    EXPECT_EQ(ogg.strOut.substr(0, 6), "4.ogg\t");

    QProcess french;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QTemporaryDir configDir;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir.path());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("fr_FR.UTF-8"));
    french.setProcessEnvironment(env);
    french.start(QStringLiteral(TUNEBROWSE_EXE), {QStringLiteral("--tree"), Q(dir.Str())});
    ASSERT_TRUE(french.waitForFinished(60000));
    EXPECT_EQ(
        french.readAllStandardOutput().toStdString().substr(dir.Str().size()),
        "\t3 morceau(x)\t  3.0 Mo\n  Zed\t2 morceau(x)\t  1.0 Mo\n  Abe\t1 morceau(x)\t  2.0 Mo\n");
}

TEST(CommandLine, ErrorsHelpAndNoSettingsWritten) {
    const QTemporaryDir configDir;
    const SRun missing =
        RunProgram({QStringLiteral("--list"), QStringLiteral("/no/such/folder")}, configDir.path());
    EXPECT_EQ(missing.nExit, 1);
    EXPECT_NE(missing.strErr.find("/no/such/folder"), std::string::npos);
    EXPECT_TRUE(missing.strOut.empty());

    CTempDir dir;
    WriteBytes(dir.Path() / "file.txt", "x");
    EXPECT_EQ(RunProgram({QStringLiteral("--tree"), Q(dir.Str() + "/file.txt")}).nExit, 1);

    const SRun usage = RunProgram({QStringLiteral("--list"), QStringLiteral("--bogus")});
    EXPECT_EQ(usage.nExit, 2);
    EXPECT_NE(usage.strErr.find("Usage:"), std::string::npos);

    const SRun help = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.nExit, 0);
    EXPECT_NE(help.strOut.find("--pattern"), std::string::npos);
    EXPECT_EQ(
        RunProgram({QStringLiteral("--version")}).strOut,
        "tunebrowse 1.5.0\nLicense GPL-3.0-or-later: this is free software; you are free to "
        "change and redistribute it. There is NO WARRANTY, to the extent permitted by law.\n");

    const SRun list = RunProgram({QStringLiteral("--list"), Q(dir.Str())}, configDir.path());
    EXPECT_EQ(list.nExit, 0);
    EXPECT_TRUE(QDir(configDir.path()).isEmpty()) << "a listing must not write settings";
}

TEST(CommandLine, ListsTheCorpusOfRealFiles) {
    const std::string strCorpus = CORPUS_DIR;
    if (!std::filesystem::is_directory(strCorpus)) {
        GTEST_SKIP() << "no corpus";
    }
    const SRun run = RunProgram({QStringLiteral("--list"), Q(strCorpus)});
    ASSERT_EQ(run.nExit, 0);
    std::size_t nLines = 0;
    for (const char c : run.strOut) {
        nLines += c == '\n';
    }
    EXPECT_GT(nLines, 100u);
    EXPECT_NE(run.strOut.find("id3v1.mp3\tTitle\t?\t"), std::string::npos);
}

TEST(CommandLine, SetWritesOnlyTheFieldsGivenAndRefusesBeforeWriting) {
    // A UTF-8 title, a v1.1 track number behind the comment, the genre byte 17.
    std::string strTag = MakeTag("Caf\xC3\xA9", "Artist", "Album", "1999", "Comment", 17);
    strTag[125] = '\0';
    strTag[126] = '\x09';
    const std::string strAudio = Audio(700);
    const auto withTail = [&strTag](std::size_t nOffset, const std::string& strBytes) {
        std::string strNew = strTag;
        strNew.replace(nOffset, strBytes.size(), strBytes);
        return strNew;
    };
    const struct {
        QStringList arrArgs; // before the file names
        int nExit;
        std::string strTag; // the tag afterwards; the empty text: the file is unchanged
        const char* pszError;
    } aCases[] = {
        {{"--set", "year=2001"}, 0, withTail(93, "2001"), ""},
        {{"--set", "genre=Jazz", "--set", "track=12"},
         0,
         withTail(125, std::string("\0\x0C\x08", 3)),
         ""},
        {{"--set", "track="}, 0, withTail(125, "  "), ""},
        {{"--set", "artist=<Undefined>"}, 0, withTail(33, Padded("", 30)), ""},
        {{"--set", "artist=<Non d\u00e9fini>"}, 0, withTail(33, Padded("", 30)), ""},
        // A comment that needs the track number's bytes takes them only when asked to.
        {{"--set", "comment=" + QString(29, 'c')}, 2, "", "track"},
        {{"--set", "comment=" + QString(29, 'c'), "--set", "track="},
         0,
         withTail(97, QString(29, 'c').toStdString() + " "),
         ""},
        {{"--set", "comment=" + QString(29, 'c'), "--set", "track=3"}, 2, "", "comment"},
        {{"--set", "title=" + QString(31, 't')}, 2, "", "title"},
        {{"--set", "year=19999"}, 2, "", "year"},
        {{"--encoding", "Windows-1251", "--set", "album=Caf\u00e9"}, 2, "", "album"},
        {{"--encoding", "Windows-1251", "--set", "album=\u041a\u0438\u043d\u043e"},
         0,
         withTail(63, Padded("\xCA\xE8\xED\xEE", 30)),
         ""},
        {{"--set", "track=256"}, 2, "", "track"},
        {{"--set", "track=0"}, 2, "", "track"},
        {{"--set", "genre=Nonesuch"}, 2, "", "genre"},
        {{"--set", "mood=calm"}, 2, "", "mood"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.arrArgs.join(QLatin1Char(' ')).toStdString());
        CTempDir dir;
        WriteBytes(dir.Path() / "a.mp3", strAudio + strTag);
        WriteBytes(dir.Path() / "b.mp3", strAudio + strTag);
        const SRun run =
            RunProgram(c.arrArgs + QStringList{Q(dir.Str() + "/a.mp3"), Q(dir.Str() + "/b.mp3")});
        EXPECT_EQ(run.nExit, c.nExit) << run.strErr;
        EXPECT_NE(run.strErr.find(c.pszError), std::string::npos) << run.strErr;
        const std::string strExpected = c.strTag.empty() ? strTag : c.strTag;
        for (const char* pszName : {"a.mp3", "b.mp3"}) {
            const std::string strFile = ReadBytes(dir.Path() / pszName);
            ASSERT_EQ(strFile.size(), strAudio.size() + 128) << pszName;
            EXPECT_TRUE(strFile.compare(0, strAudio.size(), strAudio) == 0) << pszName;
            EXPECT_EQ(strFile.substr(strAudio.size()), strExpected) << pszName;
        }
    }
}

TEST(CommandLine, SetRefusesToLoseATrackNumberOrACommentEndItWasNotGivenAndWritesNoFile) {
    // A v1.1 tag: the comment in 28 bytes, a zero byte, the track number.
    const auto trackTag = [](const std::string& strComment, int nTrack) {
        std::string strTag = MakeTag("Song", "Band", "", "1999", "", 17);
        strTag.replace(97, 30, Padded(strComment, 28) + '\0' + static_cast<char>(nTrack));
        return strTag;
    };
    const std::string str30(30, 'c');
    const std::string str29(29, 'x');
    const std::string strLong = MakeTag("Song", "Band", "", "1999", str30, 17);
    const std::string strShort = MakeTag("Song", "Band", "", "1999", "Short", 17);
    const std::string strNine = trackTag("Comment", 9);
    const struct {
        QStringList arrArgs;
        std::string strTagA, strTagB; // the files' tags before; empty: no tag
        int nExit;
        std::string strAfterA, strAfterB; // empty: as before
        const char* pszError;             // in what stderr names
    } aCases[] = {
        {{"--set", "track=5"}, strLong, strNine, 2, "", "", "a.mp3': the track number"},
        {{"--set", "track=5", "--set", "comment=Short"},
         strLong,
         strNine,
         0,
         trackTag("Short", 5),
         trackTag("Short", 5),
         ""},
        {{"--set", Q("comment=" + str29)}, strShort, strNine, 2, "", "", "b.mp3': the comment"},
        {{"--set", Q("comment=" + str29), "--set", "track="},
         strShort,
         strNine,
         0,
         MakeTag("Song", "Band", "", "1999", str29, 17),
         MakeTag("Song", "Band", "", "1999", str29, 17),
         ""},
        {{"--set", "track=5"},
         "",
         strNine,
         0,
         // A new tag: blank texts, the track number, no genre.
         "TAG" + std::string(122, ' ') + std::string("\0\x05", 2) +
             static_cast<char>(NEW_TAG_GENRE),
         trackTag("Comment", 5),
         ""},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.arrArgs.join(QLatin1Char(' ')).toStdString());
        CTempDir dir;
        const std::string strAudio = Audio(700);
        WriteBytes(dir.Path() / "a.mp3", strAudio + c.strTagA);
        WriteBytes(dir.Path() / "b.mp3", strAudio + c.strTagB);
        const SRun run =
            RunProgram(c.arrArgs + QStringList{Q(dir.Str() + "/a.mp3"), Q(dir.Str() + "/b.mp3")});
        EXPECT_EQ(run.nExit, c.nExit) << run.strErr;
        EXPECT_NE(run.strErr.find(c.pszError), std::string::npos) << run.strErr;
        EXPECT_EQ(ReadBytes(dir.Path() / "a.mp3"),
                  strAudio + (c.strAfterA.empty() ? c.strTagA : c.strAfterA));
        EXPECT_EQ(ReadBytes(dir.Path() / "b.mp3"),
                  strAudio + (c.strAfterB.empty() ? c.strTagB : c.strAfterB));
    }
}

TEST(CommandLine, SetNamesTheFilesItCannotWriteAndWritesTheOthers) {
    CTempDir dir;
    WriteBytes(dir.Path() / "ok.mp3", Audio(300));
    WriteBytes(dir.Path() / "ro.mp3", Audio(300));
    std::filesystem::permissions(dir.Path() / "ro.mp3", std::filesystem::perms::owner_read);
    // A folder is taken for the files in it (none here); a FIFO is no file to write.
    std::filesystem::create_directory(dir.Path() / "folder.mp3");
    ASSERT_EQ(::mkfifo((dir.Path() / "fifo.mp3").c_str(), 0600), 0);
    const QTemporaryDir configDir;
    const SRun run =
        RunProgram({QStringLiteral("--set"), QStringLiteral("title=New"), Q(dir.Str() + "/ro.mp3"),
                    Q(dir.Str() + "/missing.mp3"), Q(dir.Str() + "/folder.mp3"),
                    Q(dir.Str() + "/fifo.mp3"), Q(dir.Str() + "/ok.mp3")},
                   configDir.path());
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strErr.find("folder.mp3"), std::string::npos) << run.strErr;
    for (const char* pszName : {"ro.mp3", "missing.mp3", "fifo.mp3"}) {
        EXPECT_NE(run.strErr.find(pszName), std::string::npos) << pszName;
    }
    EXPECT_EQ(run.strErr.find("ok.mp3"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir.Path() / "ro.mp3"), Audio(300));
    EXPECT_EQ(ReadBytes(dir.Path() / "ok.mp3"),
              Audio(300) + MakeTag("New", "", "", "", "", NEW_TAG_GENRE));
    EXPECT_TRUE(QDir(configDir.path()).isEmpty()) << "--set must not write settings";

    // The stored encoding is read unless --encoding overrides it.
    const QString strConf = configDir.path() + QStringLiteral("/Quillon Softs");
    QDir().mkpath(strConf);
    WriteBytes((strConf + QStringLiteral("/Tunebrowse.conf")).toStdString(),
               "[User%20settings]\nTagEncoding=KOI8-R\n");
    const SRun koi8 =
        RunProgram({QStringLiteral("--set"), QStringLiteral("artist=\u041a\u0438\u043d\u043e"),
                    Q(dir.Str() + "/ok.mp3")},
                   configDir.path());
    EXPECT_EQ(koi8.nExit, 0) << koi8.strErr;
    EXPECT_EQ(ReadBytes(dir.Path() / "ok.mp3"),
              Audio(300) + MakeTag("New", "\xEB\xC9\xCE\xCF", "", "", "", NEW_TAG_GENRE));
    const SRun listed = RunProgram({QStringLiteral("--list"), Q(dir.Str())}, configDir.path());
    EXPECT_NE(listed.strOut.find("\t\u041a\u0438\u043d\u043e\t"), std::string::npos)
        << listed.strOut;
}

TEST(CommandLine, SetFromId3v2FillsOnlyEmptyFieldsAndLeavesTheId3v2TagAlone) {
    CTempDir dir;
    const std::string strV2 = Id3v2Tag(4, Id3v2Frame(4, "TIT2", Id3v2Text(3, "V2 title")) +
                                              Id3v2Frame(4, "TPE1", Id3v2Text(3, "V2 artist")) +
                                              Id3v2Frame(4, "TCON", Id3v2Text(3, "Jazz")));
    const std::string strAudio = strV2 + MpegFrames();
    WriteBytes(dir.Path() / "none.mp3", strAudio);
    WriteBytes(dir.Path() / "own.mp3", strAudio + MakeTag("Own title", "", "", "", "", 17));
    WriteBytes(dir.Path() / "plain.mp3", Audio(400));
    const SRun run = RunProgram({QStringLiteral("--set-from-id3v2"), Q(dir.Str() + "/none.mp3"),
                                 Q(dir.Str() + "/own.mp3"), Q(dir.Str() + "/plain.mp3")});
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_EQ(ReadBytes(dir.Path() / "none.mp3"),
              strAudio + MakeTag("V2 title", "V2 artist", "", "", "", 8));
    EXPECT_EQ(ReadBytes(dir.Path() / "own.mp3"),
              strAudio + MakeTag("Own title", "V2 artist", "", "", "", 17));
    EXPECT_EQ(ReadBytes(dir.Path() / "plain.mp3"), Audio(400)); // nothing to fill: not written

    // A 30-byte comment copied into a file with a track number is cut to the 28 bytes beside it.
    const std::string strLongComment(30, 'n');
    const std::string strCommented =
        Id3v2Tag(4, Id3v2Frame(4, "COMM", Id3v2Text(3, Id3v2Comment("", strLongComment)))) +
        MpegFrames();
    std::string strTracked = MakeTag("Own", "", "", "", "", 17);
    strTracked.replace(125, 2, std::string("\0\x07", 2));
    WriteBytes(dir.Path() / "tracked.mp3", strCommented + strTracked);
    const SRun tracked =
        RunProgram({QStringLiteral("--set-from-id3v2"), Q(dir.Str() + "/tracked.mp3")});
    EXPECT_EQ(tracked.nExit, 0) << tracked.strErr;
    strTracked.replace(97, 28, strLongComment.substr(0, 28));
    EXPECT_EQ(ReadBytes(dir.Path() / "tracked.mp3"), strCommented + strTracked);
}

TEST(CommandLine, SetFromId3v2SkipsAHostileTagNamesItAndGoesOn) {
    CTempDir dir;
    const std::string strGood =
        Id3v2Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, "Good\ttitle"))) + MpegFrames();
    // A compressed title that declares 2 GB once inflated, beside a plain artist.
    const std::string strDeflated = Deflated(std::string("\0x", 2));
    const std::string strHostile =
        Id3v2Tag(3, Id3v2RawFrame(3, "TIT2", 4 + strDeflated.size(), 0x0080,
                                  BigEndian(0x7FFFFFFF, 4, false) + strDeflated) +
                        Id3v2Frame(3, "TPE1", Id3v2Text(0, "Hostile"))) +
        MpegFrames();
    WriteBytes(dir.Path() / "a.mp3", strGood);
    WriteBytes(dir.Path() / "hostile.mp3", strHostile);
    WriteBytes(dir.Path() / "c.mp3", strGood);
    const SRun run = RunProgram({QStringLiteral("--set-from-id3v2"), Q(dir.Str() + "/a.mp3"),
                                 Q(dir.Str() + "/hostile.mp3"), Q(dir.Str() + "/c.mp3")});
    EXPECT_EQ(run.nExit, 1);
    EXPECT_NE(run.strErr.find("hostile.mp3': its ID3v2 tag was not read"), std::string::npos)
        << run.strErr;
    EXPECT_EQ(run.strErr.find("a.mp3"), std::string::npos) << run.strErr;
    EXPECT_TRUE(ReadBytes(dir.Path() / "hostile.mp3") == strHostile) << "the hostile file changed";
    // The files around it are filled, the control character cleaned on the way.
    for (const char* pszName : {"a.mp3", "c.mp3"}) {
        const std::string strFile = ReadBytes(dir.Path() / pszName);
        ASSERT_EQ(strFile.size(), strGood.size() + 128) << pszName;
        EXPECT_TRUE(strFile.compare(0, strGood.size(), strGood) == 0) << pszName;
        EXPECT_EQ(strFile.substr(strGood.size()), MakeTag("Good title", "", "", "", "", 255))
            << pszName;
    }
}

TEST(CommandLine, ASettingsFileThatIsAFifoGivesTheDefaultsWithoutWaiting) {
    const QTemporaryDir configDir;
    const QString strFile = configDir.path() + QStringLiteral("/Quillon Softs/Tunebrowse.conf");
    ASSERT_TRUE(QDir().mkpath(configDir.path() + QStringLiteral("/Quillon Softs")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(strFile).constData(), 0600), 0);
    CTempDir dir;
    WriteBytes(dir.Path() / "a.mp3", Audio(100));
    const SRun list = RunProgram({QStringLiteral("--list"), Q(dir.Str())}, configDir.path());
    EXPECT_EQ(list.nExit, 0);
    EXPECT_EQ(list.strOut.rfind("a.mp3\t", 0), 0u);
    EXPECT_NE(list.strErr.find("Tunebrowse.conf"), std::string::npos);
    EXPECT_TRUE(QFileInfo(strFile).isFile() == false && QFileInfo::exists(strFile));
}

namespace {

// A settings file of the window's, as its options dialog leaves it.
QString StoredSettings(const QTemporaryDir& configDir, const std::string& strLines) {
    const QString strFolder = configDir.path() + QStringLiteral("/Quillon Softs");
    QDir().mkpath(strFolder);
    WriteBytes((strFolder + QStringLiteral("/Tunebrowse.conf")).toStdString(), strLines);
    return configDir.path();
}

// A file's modification time, to the nanosecond.
std::pair<time_t, long> ModTime(const std::filesystem::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

void SetModTime(const std::filesystem::path& path, time_t nSeconds) {
    const struct timespec aTimes[2] = {{nSeconds, 0}, {nSeconds, 123}};
    ::utimensat(AT_FDCWD, path.c_str(), aTimes, 0);
}

} // namespace

TEST(CommandLine, SetTakesFoldersByThePatternFilesByNameAndADryRunWritesNothing) {
    const std::string strOld = MakeTag("Old", "Band", "", "1999", "", 17);
    const std::string strNew = MakeTag("New", "Band", "", "1999", "", 17);
    const std::string strMade = MakeTag("New", "", "", "", "", NEW_TAG_GENRE);
    const std::string strAudio = Audio(500);
    // The files before, in the folder's tree; "ro" is read-only.
    const std::map<std::string, std::string> mapBefore = {
        {"a.mp3", strAudio + strOld},
        {"Sub/b.MP3", strAudio},
        {"Sub/c.ogg", strAudio + strOld},
        {"Sub/Deep/ro.mp3", strAudio + strOld},
    };
    const struct {
        QStringList arrArgs; // "@" stands for the folder
        int nExit;
        std::map<std::string, std::string> mapAfter; // the files that change
        std::string strOut;                          // "@" stands for the folder
        const char* pszError;
    } aCases[] = {
        {{"--set", "title=New", "@"},
         1,
         {{"a.mp3", strAudio + strNew}, {"Sub/b.MP3", strAudio + strMade}},
         "",
         "ro.mp3"},
        {{"--set", "title=New", "--pattern", "*.OGG", "@"},
         0,
         {{"Sub/c.ogg", strAudio + strNew}},
         "",
         ""},
        // Named, a file is taken whatever the pattern.
        {{"--set", "title=New", "@/Sub/c.ogg", "@/a.mp3"},
         0,
         {{"Sub/c.ogg", strAudio + strNew}, {"a.mp3", strAudio + strNew}},
         "",
         ""},
        {{"--dry-run", "--set", "title=New", "--set", "genre=Jazz", "@/a.mp3", "@/Sub/b.MP3"},
         0,
         {},
         "@/a.mp3\n  title: 'Old' \xE2\x86\x92 'New'\n  genre: 'Rock' \xE2\x86\x92 'Jazz'\n"
         "@/Sub/b.MP3: a new tag\n  title: '' \xE2\x86\x92 'New'\n"
         "  genre: '<Undefined>' \xE2\x86\x92 'Jazz'\n",
         ""},
        {{"--set", "year=1999", "--dry-run", "@/a.mp3"}, 0, {}, "@/a.mp3: nothing to change\n", ""},
        // What a real run would refuse or fail at, a dry run does too, with the same status.
        {{"--set", "title=New", "--dry-run", "@"},
         1,
         {},
         "@/a.mp3\n  title: 'Old' \xE2\x86\x92 'New'\n@/Sub/b.MP3: a new tag\n"
         "  title: '' \xE2\x86\x92 'New'\n",
         "ro.mp3"},
        {{"--set", "title=" + QString(31, 't'), "--dry-run", "@"}, 2, {}, "", "title"},
        {{"--set-from-id3v2", "--dry-run", "@"},
         1,
         {},
         "@/a.mp3: nothing to change\n"
         "@/Sub/b.MP3: nothing to change\n",
         "ro.mp3"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.arrArgs.join(QLatin1Char(' ')).toStdString());
        CTempDir dir;
        for (const auto& [strName, strBytes] : mapBefore) {
            WriteBytes(dir.Path() / strName, strBytes);
        }
        std::filesystem::permissions(dir.Path() / "Sub/Deep/ro.mp3",
                                     std::filesystem::perms::owner_read);
        QStringList arrArgs = c.arrArgs;
        arrArgs.replaceInStrings(QStringLiteral("@"), Q(dir.Str()));
        const SRun run = RunProgram(arrArgs);
        EXPECT_EQ(run.nExit, c.nExit) << run.strErr;
        EXPECT_NE(run.strErr.find(c.pszError), std::string::npos) << run.strErr;
        EXPECT_EQ(run.strOut, QString::fromStdString(c.strOut)
                                  .replace(QStringLiteral("@"), Q(dir.Str()))
                                  .toStdString());
        for (const auto& [strName, strBytes] : mapBefore) {
            const auto it = c.mapAfter.find(strName);
            EXPECT_TRUE(ReadBytes(dir.Path() / strName) ==
                        (it == c.mapAfter.end() ? strBytes : it->second))
                << strName;
        }
    }
}

TEST(CommandLine, SetKeepsModificationTimesWhenAskedOrWhenTheWindowsOptionSaysSo) {
    const struct {
        QStringList arrArgs;
        const char* pszStored; // the settings file's lines
        bool bKept;
    } aCases[] = {
        {{"--set", "title=New"}, "", false},
        {{"--set", "title=New", "--keep-times"}, "", true},
        {{"--set", "title=New"}, "[User%20settings]\nKeepFileTimes=1\n", true},
        {{"--set", "title=New"}, "[User%20settings]\nKeepFileTimes=0\n", false},
        {{"--set-from-id3v2", "--keep-times"}, "", true},
    };
    const std::string strV2 =
        Id3v2Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, "New"))) + MpegFrames();
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.arrArgs.join(QLatin1Char(' ')).toStdString() + " / " + c.pszStored);
        CTempDir dir;
        const QTemporaryDir configDir;
        WriteBytes(dir.Path() / "a.mp3", strV2);
        SetModTime(dir.Path() / "a.mp3", 1000000000);
        const std::pair<time_t, long> before = ModTime(dir.Path() / "a.mp3");
        const SRun run = RunProgram(c.arrArgs + QStringList{Q(dir.Str() + "/a.mp3")},
                                    StoredSettings(configDir, c.pszStored));
        EXPECT_EQ(run.nExit, 0) << run.strErr;
        EXPECT_EQ(ReadBytes(dir.Path() / "a.mp3"),
                  strV2 + MakeTag("New", "", "", "", "", NEW_TAG_GENRE));
        EXPECT_EQ(ModTime(dir.Path() / "a.mp3") == before, c.bKept);
    }
}

TEST(CommandLine, HelpNamesEveryOptionOfTheUsageLines) {
    const SRun help = RunProgram({QStringLiteral("--help")});
    const std::string strUsage = help.strOut.substr(0, help.strOut.find("\n\n"));
    for (const char* pszOption : {"--encoding", "--keep-times", "--dry-run", "--pattern",
                                  "--set-from-id3v2", "--rename", "--tags-from-name"}) {
        EXPECT_NE(strUsage.find(pszOption), std::string::npos) << pszOption;
    }
    EXPECT_NE(help.strOut.find("--set and --set-from-id3v2 need no display"), std::string::npos);
    const struct {
        std::vector<std::string> arrArgs;
        bool bUsage;
    } aCases[] = {
        {{"--keep-times", "--set", "title=T", "a.mp3"}, false},
        {{"--dry-run", "--set-from-id3v2", "/m"}, false},
        {{"--set-from-id3v2", "--pattern", "*.ogg", "/m"}, false},
        {{"--keep-times", "--list"}, true},
        {{"--dry-run", "/m"}, true},
        {{"--pattern", "*.ogg", "/m"}, true},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(CCommandLine::Parse(c.arrArgs).m_eMode == CCommandLine::EMode::Usage, c.bUsage)
            << ::testing::PrintToString(c.arrArgs);
    }
}

TEST(CommandLine, AlsoId3v2WritesBothTagsOrNeitherAndLeavesFilesWithoutOneWithout) {
    const std::string strAudio = MpegFrames();
    const std::string strV1 = MakeTag("Old", "Band", "", "", "", 17);
    const std::string strV23 = Id3v2Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, "Old")) +
                                               Id3v2Frame(3, "PRIV", std::string("x\0\x01", 3)));
    const std::string strV22 = Id3v2Tag(2, Id3v2Frame(2, "TT2", Id3v2Text(0, "Old")));
    // The same tag, its title frame made anew in its place, the padding shrunk by its growth.
    const std::string strTitle = Id3v2Frame(3, "TIT2", Id3v2Text(0, "New title"));
    const std::string strV23After =
        Id3v2RawTag(3, 0, strV23.size() - 10,
                    strTitle + Id3v2Frame(3, "PRIV", std::string("x\0\x01", 3)) +
                        std::string(strV23.size() - 10 - strTitle.size() - 13, '\0'));
    const std::string strV1After = MakeTag("New title", "Band", "", "", "", 17);
    const struct {
        std::string strBefore;
        std::string strAfter; // empty: unchanged
        int nExit;
    } aCases[] = {
        {strV23 + strAudio + strV1, strV23After + strAudio + strV1After, 0},
        {strAudio + strV1, strAudio + strV1After, 0},
        {strV22 + strAudio + strV1, "", 1},
    };
    for (const auto& c : aCases) {
        CTempDir dir;
        WriteBytes(dir.Path() / "a.mp3", c.strBefore);
        const SRun run = RunProgram({QStringLiteral("--set"), QStringLiteral("title=New title"),
                                     QStringLiteral("--also-id3v2"), Q(dir.Str() + "/a.mp3")});
        EXPECT_EQ(run.nExit, c.nExit) << run.strErr;
        EXPECT_TRUE(ReadBytes(dir.Path() / "a.mp3") ==
                    (c.strAfter.empty() ? c.strBefore : c.strAfter))
            << run.strErr;
        if (c.nExit != 0) {
            EXPECT_NE(run.strErr.find("version 2.2"), std::string::npos) << run.strErr;
            EXPECT_NE(run.strErr.find("ID3v1 tag was left alone"), std::string::npos);
        }
    }
    EXPECT_EQ(CCommandLine::Parse({"--set-from-id3v2", "--also-id3v2", "a.mp3"}).m_eMode,
              CCommandLine::EMode::Usage);
}

TEST(CommandLine, OutputThatCannotBeWrittenIsAnErrorUnlessTheReaderHadWhatItWanted) {
    CTempDir dir;
    // More than a pipe holds, so that a reader that stops early is noticed.
    for (int i = 0; i < 1500; ++i) {
        WriteBytes(dir.Path() / (std::string(100, 'n') + std::to_string(i) + ".mp3"), Audio(10));
    }
    const QTemporaryDir configDir;
    const std::string strExe = TUNEBROWSE_EXE;
    const struct {
        const char* pszMode;
        EOutputTo eTo;
        int nExit;
        const char* pszError; // in the message, or nullptr for none
    } aCases[] = {
        {"--list", EOutputTo::FullDisk, 1, "No space left on device"},
        {"--tree", EOutputTo::FullDisk, 1, "No space left on device"},
        {"--list", EOutputTo::ClosedPipe, 1, "Broken pipe"},
        {"--tree", EOutputTo::ClosedPipe, 1, "Broken pipe"},
        {"--list", EOutputTo::UnreadPipe, 1, "Broken pipe"},
        {"--list", EOutputTo::FirstLine, 0, nullptr},
        {"--list", EOutputTo::Pipe, 0, nullptr},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(std::string(c.pszMode) + " " + std::to_string(static_cast<int>(c.eTo)));
        const SProgramRun run = RunProgramWithOutput({strExe, c.pszMode, dir.Str()}, c.eTo,
                                                     configDir.path().toStdString());
        EXPECT_EQ(run.nExit, c.nExit);
        if (c.pszError != nullptr) {
            EXPECT_NE(run.strErr.find(c.pszError), std::string::npos) << run.strErr;
        } else {
            EXPECT_EQ(run.strErr, "");
        }
    }
    const SRun empty = RunProgram({QStringLiteral("--list"), QString()});
    EXPECT_EQ(empty.nExit, 2);
    EXPECT_NE(empty.strErr.find("empty"), std::string::npos);
    EXPECT_EQ(empty.strOut, "");
}

// Files and folders that cannot be opened (mode 000 here) are counted on stderr and make the
// status 1; the rest is listed, an unreadable file with what its name and size tell.
TEST(CommandLine, WhatCannotBeOpenedIsCountedOnStderrWithStatusOne) {
    namespace fs = std::filesystem;
    CTempDir dir;
    const fs::path root = dir.Path() / "music";
    WriteLockableLibrary(root);
    WriteBytes(root / "Open" / "Locked" / "deeper.mp3", Audio(300));
    const QTemporaryDir configDir;
    const std::string strLineA = "a.mp3\tSong\t\t" + root.string() + "\t  0.0 MB\tAnn\t";
    const std::string strLineLocked =
        "locked.mp3\t\t\t" + root.string() + "\t  0.0 MB\t<Undefined>";
    const struct {
        const char* pszCase;
        std::vector<const char*> arrLocked; // below the scanned folder; "." is the folder itself
        int nExit;
        const char* pszCount;               // in the message; nullptr: no message
        std::vector<std::string> arrStarts; // the lines listed, by their start
    } aCases[] = {
        {"nothing locked",
         {},
         0,
         nullptr,
         {strLineA, "inside.mp3\t", "deeper.mp3\t", "locked.mp3\tHidden"}},
        {"a file",
         {"locked.mp3"},
         1,
         "1 file(s) or folder(s) could not be opened",
         {strLineA, "inside.mp3\t", "deeper.mp3\t", strLineLocked}},
        {"a file and two folders",
         {"locked.mp3", "Locked", "Open/Locked"},
         1,
         "3 file(s) or folder(s) could not be opened",
         {strLineA, strLineLocked}},
        {"the folder itself", {"."}, 1, "1 file(s) or folder(s) could not be opened", {}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        const SProgramRun run = RunWithLocked(root, c.arrLocked, [&] {
            return RunProgramWithOutput({TUNEBROWSE_EXE, "--list", root.string()}, EOutputTo::Pipe,
                                        configDir.path().toStdString(), 0, true);
        });
        if (run.nExit == RUN_NOT_BOUND_BY_MODES) {
            GTEST_SKIP() << "root here cannot give up reading every file";
        }
        EXPECT_EQ(run.nExit, c.nExit);
        EXPECT_EQ(run.strErr, c.pszCount ? "tunebrowse: " + std::string(c.pszCount) + "\n" : "");
        std::vector<std::string> arrLines;
        for (std::size_t n = 0, nEnd; (nEnd = run.strOut.find('\n', n)) != std::string::npos;
             n = nEnd + 1) {
            arrLines.push_back(run.strOut.substr(n, nEnd - n));
        }
        std::sort(arrLines.begin(), arrLines.end());
        ASSERT_EQ(arrLines.size(), c.arrStarts.size()) << run.strOut;
        std::vector<std::string> arrStarts = c.arrStarts;
        std::sort(arrStarts.begin(), arrStarts.end());
        for (std::size_t i = 0; i < arrLines.size(); ++i) {
            EXPECT_EQ(arrLines[i].rfind(arrStarts[i], 0), 0u) << arrLines[i];
        }
    }
}

// Without a display the window cannot open: a message and status 1, never an abort.
TEST(CommandLine, WithoutADisplayTheWindowSaysSoAndEndsWithStatusOne) {
    const struct {
        const char* pszPlatform; // nullptr: not set
        const char* pszDisplay;
    } aCases[] = {
        {nullptr, nullptr},
        {"xcb", nullptr},
        {"wayland", nullptr},
        {"xcb", ":4711"}, // a display no server answers for
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(std::string(c.pszPlatform ? c.pszPlatform : "-") + " " +
                     (c.pszDisplay ? c.pszDisplay : "-"));
        const QTemporaryDir configDir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir.path());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (c.pszPlatform != nullptr) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromUtf8(c.pszPlatform));
        }
        if (c.pszDisplay != nullptr) {
            env.insert(QStringLiteral("DISPLAY"), QString::fromUtf8(c.pszDisplay));
        }
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TUNEBROWSE_EXE), {});
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "no abort, no core dump";
        EXPECT_EQ(process.exitCode(), 1);
        const std::string strErr = process.readAllStandardError().toStdString();
        EXPECT_NE(strErr.find("tunebrowse: "), std::string::npos) << strErr;
        EXPECT_NE(strErr.find("display"), std::string::npos) << strErr;
    }
}

namespace {

// The run's exit status and output, and each text its errors must hold.
void ExpectRun(const SRun& run, int nExit, const std::string& strOut,
               const std::vector<const char*>& arrErrors) {
    EXPECT_EQ(run.nExit, nExit) << run.strErr;
    EXPECT_EQ(run.strOut, strOut);
    for (const char* pszError : arrErrors) {
        EXPECT_NE(run.strErr.find(pszError), std::string::npos) << run.strErr;
    }
}

// Runs the program on a fresh copy of the files, "@" in the arguments and the output standing
// for the folder; gives the run and the folder's files after it.
std::pair<SRun, std::map<std::string, std::string>>
RunOnFiles(const std::map<std::string, std::string>& mapBefore, QStringList arrArgs) {
    CTempDir dir;
    for (const auto& [strName, strBytes] : mapBefore) {
        WriteBytes(dir.Path() / strName, strBytes);
    }
    arrArgs.replaceInStrings(QStringLiteral("@"), Q(dir.Str()));
    SRun run = RunProgram(arrArgs);
    run.strOut = QString::fromStdString(run.strOut).replace(Q(dir.Str()), "@").toStdString();
    std::map<std::string, std::string> mapAfter;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        mapAfter[entry.path().filename().string()] = ReadBytes(entry.path());
    }
    return {run, mapAfter};
}

} // namespace

TEST(CommandLine, RenameNamesFilesFromTheirTagsAndNeverReplacesAFile) {
    const std::string strAudio = Audio(300);
    auto accents = [](int nCount) {
        std::string str;
        for (int i = 0; i < nCount; ++i) {
            str += "\xC3\xA9";
        }
        return str;
    };
    const std::map<std::string, std::string> mapBefore = {
        {"1.mp3", strAudio + MakeTag("Alpha", "Band", "", "", WithTrack("", 1))},
        {"2.mp3", strAudio + MakeTag("Alpha", "Band", "", "", WithTrack("", 1))},
        {"3.mp3", strAudio + MakeTag("AC/DC\tLive", "Band", "", "", WithTrack("", 3))},
        {"4.MP3", strAudio},
        {"5.mp3", strAudio + MakeTag("Here", "Band", "", "", WithTrack("", 5))},
        {"05 - Band - Here.mp3", "kept"},
        {"long.mp2", strAudio + MakeTag(accents(15), "")},
        // A name in Windows-1252 bytes, a tag in Windows-1251 ("Мир").
        {"Caf\xE9.ogg", strAudio + MakeTag("\xCC\xE8\xF0", "")},
    };
    // The files after: each new name with the file it was, the others as they were.
    auto after = [&mapBefore](const std::map<std::string, std::string>& mapRenamed) {
        std::map<std::string, std::string> mapAfter = mapBefore;
        for (const auto& [strNew, strOld] : mapRenamed) {
            mapAfter.erase(strOld);
        }
        for (const auto& [strNew, strOld] : mapRenamed) {
            mapAfter[strNew] = mapBefore.at(strOld);
        }
        return mapAfter;
    };
    const std::string strArrow = " \xE2\x86\x92 ";
    const struct {
        QStringList arrArgs;
        int nExit;
        std::map<std::string, std::string> mapRenamed; // new name, old name
        std::string strOut;
        std::vector<const char*> arrErrors; // each named on stderr
    } aCases[] = {
        // 2.mp3 wants the name 1.mp3 takes, 5.mp3 one that exists; 4.MP3 has no tag.
        {{"--rename", "%n - %a - %t", "@"},
         1,
         {{"01 - Band - Alpha.mp3", "1.mp3"}, {"03 - Band - AC_DC_Live.mp3", "3.mp3"}},
         "",
         {"2.mp3", "a file before it takes that name", "5.mp3", "a file of that name exists"}},
        {{"--dry-run", "--rename", "%n - %a - %t", "@"},
         1,
         {},
         "@/1.mp3" + strArrow + "@/01 - Band - Alpha.mp3\n@/3.mp3" + strArrow +
             "@/03 - Band - AC_DC_Live.mp3\n",
         {"2.mp3", "5.mp3"}},
        // Named twice, a file is renamed once; a name unchanged or empty is no failure.
        {{"--rename", "%t", "@/1.mp3", "@/1.mp3", "@/5.mp3"},
         0,
         {{"Alpha.mp3", "1.mp3"}, {"Here.mp3", "5.mp3"}},
         "",
         {}},
        {{"--rename", "%n", "@/4.MP3", "@/1.mp3", "@/05 - Band - Here.mp3"},
         0,
         {{"01.mp3", "1.mp3"}},
         "",
         {}},
        // Too long a name is cut between characters: 125 of the 135 "é", then the extension.
        {{"--rename", "%t%t%t%t%t%t%t%t%t", "@/long.mp2"},
         0,
         {{accents(125) + ".mp2", "long.mp2"}},
         "",
         {}},
        // Tags read in the code page chosen give UTF-8 names, whatever the old name's bytes.
        {{"--rename", "%t", "--encoding", "Windows-1251", "--pattern", "*.ogg", "@"},
         0,
         {{"\xD0\x9C\xD0\xB8\xD1\x80.ogg", "Caf\xE9.ogg"}},
         "",
         {}},
        {{"--rename", "%t", "@/missing.mp3", "@/1.mp3"},
         1,
         {{"Alpha.mp3", "1.mp3"}},
         "",
         {"missing.mp3"}},
        {{"--rename", "%q", "@"}, 2, {}, "", {"'%' goes before"}},
        {{"--rename", "%t", "--keep-times", "@"}, 2, {}, "", {"--keep-times"}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.arrArgs.join(QLatin1Char(' ')).toStdString());
        const auto [run, mapAfter] = RunOnFiles(mapBefore, c.arrArgs);
        ExpectRun(run, c.nExit, c.strOut, c.arrErrors);
        EXPECT_EQ(mapAfter, after(c.mapRenamed));
    }
}

TEST(CommandLine, TagsFromNameWritesTheFieldsFoundUnderTheSetRules) {
    const std::string strAudio = Audio(300);
    const std::string strOld = MakeTag("Old", "Someone", "Album", "1999", "Note", 17);
    const std::map<std::string, std::string> mapBefore = {
        {"01 - Band - Song.mp3", strAudio + strOld},
        {"02 - Other - Title.mp3", strAudio},
        {"Intro.mp3", strAudio + strOld},
        {"00 - Band - Zero.mp3", strAudio + strOld},
        {"03 - Band - " + std::string(31, 't') + ".mp3", strAudio + strOld},
        // Windows-1252 bytes, read as such since they are no UTF-8.
        {"07 - Caf\xE9 - Song.mp3", strAudio + strOld},
        {"08 - \xD0\x9C\xD0\xB8\xD1\x80 - Song.ogg", strAudio + strOld},
        {"Long comment that does not fit.mp2",
         strAudio + MakeTag("T", "A", "", "", WithTrack("", 4))},
    };
    const std::string strArrow = " \xE2\x86\x92 ";
    const struct {
        QStringList arrArgs;
        int nExit;
        std::map<std::string, std::string> mapChanged; // file, bytes after
        std::string strOut;
        std::vector<const char*> arrErrors;
    } aCases[] = {
        {{"--tags-from-name", "%n - %a - %t", "@"},
         1,
         {{"01 - Band - Song.mp3",
           strAudio + MakeTag("Song", "Band", "Album", "1999", WithTrack("Note", 1), 17)},
          {"02 - Other - Title.mp3",
           strAudio + MakeTag("Title", "Other", "", "", WithTrack("", 2), 255)},
          {"07 - Caf\xE9 - Song.mp3",
           strAudio + MakeTag("Song", "Caf\xE9", "Album", "1999", WithTrack("Note", 7), 17)}},
         "",
         {"Intro.mp3", "does not match", "00 - Band - Zero.mp3", "track: '00'", "title: 31 bytes"}},
        {{"--dry-run", "--tags-from-name", "%n - %a - %t", "@/01 - Band - Song.mp3"},
         0,
         {},
         "@/01 - Band - Song.mp3\n  title: 'Old'" + strArrow + "'Song'\n  artist: 'Someone'" +
             strArrow + "'Band'\n  track: ''" + strArrow + "'1'\n",
         {}},
        // Texts go into the tag in the code page chosen, or the file is named and skipped.
        {{"--tags-from-name", "%n - %a - %t", "--encoding", "Windows-1251", "--pattern", "*.ogg",
          "@"},
         0,
         {{"08 - \xD0\x9C\xD0\xB8\xD1\x80 - Song.ogg",
           strAudio + MakeTag("Song", "\xCC\xE8\xF0", "Album", "1999", WithTrack("Note", 8), 17)}},
         "",
         {}},
        {{"--tags-from-name", "%n - %a - %t", "--encoding", "ISO-8859-1", "--pattern", "*.ogg",
          "@"},
         1,
         {},
         "",
         {"cannot store"}},
        // A comment found that would take the place of the file's track number.
        {{"--tags-from-name", "%c", "@/Long comment that does not fit.mp2"},
         1,
         {},
         "",
         {"would replace its track number"}},
        {{"--tags-from-name", "%t - %t", "@"}, 2, {}, "", {"once"}},
        {{"--tags-from-name", "plain", "@"}, 2, {}, "", {"no placeholder"}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.arrArgs.join(QLatin1Char(' ')).toStdString());
        const auto [run, mapAfter] = RunOnFiles(mapBefore, c.arrArgs);
        ExpectRun(run, c.nExit, c.strOut, c.arrErrors);
        std::map<std::string, std::string> mapExpected = mapBefore;
        for (const auto& [strName, strBytes] : c.mapChanged) {
            mapExpected[strName] = strBytes;
        }
        for (const auto& [strName, strBytes] : mapExpected) {
            EXPECT_TRUE(mapAfter.at(strName) == strBytes) << strName;
        }
    }
}
