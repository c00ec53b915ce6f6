// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Tag writes under failing file operations, as an unprivileged user, and on random records.
#include "catalogue/fileexception.h"
#include "catalogue/posixio.h"
#include "catalogue/tagtext.h"
#include "catalogue/trackinfo.h"
#include "catalogue/utf8.h"
#include "tests/support/fakefileops.h"
#include "tests/support/processes.h"
#include "tests/support/testfiles.h"
#include "unprivileged.h"
#include "writetag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum class EFault {
    Open,          // the open itself
    Lock,          // the file system has no locks
    Fstat,         // the look at the opened file
    CheckRead,     // reading what the file ends with
    ShortCheck,    // the file shrank under the read
    Write,         // the first write fails outright
    ShortWrite,    // part of the tag reaches the file, then the write fails
    ShortAndStuck, // as ShortWrite, and putting things back fails as well
    Close,         // the tag is written but closing reports an error
};

// Makes the one step a case names fail; every other call goes to the system.
void InjectFault(CFakeFileOps& ops, EFault eFault, int nErrno) {
    switch (eFault) {
    case EFault::Open:
        ops.Fail(EFileOp::OpenAt, nErrno);
        break;
    case EFault::Lock:
        ops.Fail(EFileOp::LockForWrite, nErrno);
        break;
    case EFault::Fstat:
        ops.Fail(EFileOp::Fstat, nErrno);
        break;
    case EFault::CheckRead:
        ops.Fail(EFileOp::Pread, nErrno);
        break;
    case EFault::ShortCheck:
        ops.Around(EFileOp::Pread,
                   [](SFileCall&, const CFakeFileOps::FnGoOn&) { return ssize_t{0}; });
        break;
    case EFault::Write:
        ops.Fail(EFileOp::Pwrite, nErrno);
        break;
    case EFault::ShortWrite:
    case EFault::ShortAndStuck: {
        const bool bStuck = eFault == EFault::ShortAndStuck;
        ops.Fail(EFileOp::Pwrite, nErrno, [bStuck](const SFileCall& call) {
            return call.nCall == 2 || (bStuck && call.nCall > 2);
        });
        ops.Shorten(EFileOp::Pwrite, 50);
        if (bStuck) {
            ops.Fail(EFileOp::Ftruncate, nErrno);
        }
        break;
    }
    case EFault::Close:
        ops.Around(EFileOp::Close, [nErrno](SFileCall&, const CFakeFileOps::FnGoOn& fnGoOn) {
            fnGoOn();
            errno = nErrno;
            return ssize_t{-1};
        });
        break;
    }
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> setNames;
    for (const auto& entry : fs::directory_iterator(folder)) {
        setNames.insert(entry.path().filename().string());
    }
    return setNames;
}

} // namespace

TEST(TagWriteFaults, EveryFaultIsReportedAndLeavesTheAudioAndLengthAlone) {
    enum class EOutcome { Written, False, Throws };
    enum class EFile { Unchanged, NewTag, NoTagAtEnd, MixedTag };
    const struct {
        EFault eFault;
        int nErrno;
        EOutcome eOutcome;
        EFile eWithTag;    // what a file that had a tag holds afterwards
        EFile eWithoutTag; // what a file without tag holds afterwards
    } aCases[] = {
        {EFault::Open, EACCES, EOutcome::False, EFile::Unchanged, EFile::Unchanged},
        // The lock only orders our own writers: without it the file is written as before.
        {EFault::Lock, ENOLCK, EOutcome::Written, EFile::NewTag, EFile::NewTag},
        {EFault::Fstat, EIO, EOutcome::Throws, EFile::Unchanged, EFile::Unchanged},
        {EFault::CheckRead, EIO, EOutcome::Throws, EFile::Unchanged, EFile::Unchanged},
        {EFault::ShortCheck, 0, EOutcome::Throws, EFile::Unchanged, EFile::Unchanged},
        {EFault::Write, ENOSPC, EOutcome::Throws, EFile::Unchanged, EFile::Unchanged},
        {EFault::Write, EIO, EOutcome::Throws, EFile::Unchanged, EFile::Unchanged},
        {EFault::ShortWrite, ENOSPC, EOutcome::Throws, EFile::Unchanged, EFile::Unchanged},
        {EFault::ShortWrite, EIO, EOutcome::Throws, EFile::Unchanged, EFile::Unchanged},
        // When undoing fails too, the file holds half of each tag, or bytes that no reader takes
        // for a tag: never half a tag that the caller was not told of.
        {EFault::ShortAndStuck, EIO, EOutcome::Throws, EFile::MixedTag, EFile::NoTagAtEnd},
        {EFault::Close, EIO, EOutcome::Throws, EFile::NewTag, EFile::NewTag},
    };
    const std::string strAudio = Audio(3000);
    const std::string strOldTag = MakeTag("Old title", "Old artist", "", "1990", "", 3);
    for (const auto& c : aCases) {
        for (const bool bHadTag : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "fault " << static_cast<int>(c.eFault) << " errno "
                                              << c.nErrno << (bHadTag ? " tagged" : " untagged"));
            CTempDir dir;
            const std::string strBefore = strAudio + (bHadTag ? strOldTag : "");
            WriteBytes(dir.Path() / "t.mp3", strBefore);
            WriteBytes(dir.Path() / "other.mp3", strBefore);
            CTrackInfo track(dir.Str(), "t.mp3");
            STagChanges changes;
            changes.m_strTitle = "New title";
            changes.m_nGenre = 17;
            const std::set<std::string> setBefore = Listing(dir.Path());

            bool bResult = true;
            int nErrno = -1;
            {
                CFakeFileOps ops;
                InjectFault(ops, c.eFault, c.nErrno);
                try {
                    bResult = IsWritten(WriteChanges(track, changes, ops));
                } catch (const CFileException& e) {
                    nErrno = e.GetErrno();
                    EXPECT_EQ(e.GetPath(), track.GetFullPath());
                }
            }
            if (c.eOutcome != EOutcome::Throws) {
                EXPECT_EQ(bResult, c.eOutcome == EOutcome::Written);
                EXPECT_EQ(nErrno, -1);
            } else {
                EXPECT_EQ(nErrno, c.nErrno == 0 ? EIO : c.nErrno);
            }

            const std::string strAfter = ReadBytes(dir.Path() / "t.mp3");
            EXPECT_EQ(Listing(dir.Path()), setBefore);
            EXPECT_EQ(ReadBytes(dir.Path() / "other.mp3"), strBefore);
            ASSERT_GE(strAfter.size(), strAudio.size());
            EXPECT_EQ(strAfter.substr(0, strAudio.size()), strAudio);
            const std::string strTail = strAfter.substr(strAfter.size() - 128);
            const std::string strNewTag =
                MakeTag("New title", "Old artist", "", "1990", "", 17).substr(0, 3) +
                Padded("New title", 30);
            switch (bHadTag ? c.eWithTag : c.eWithoutTag) {
            case EFile::Unchanged:
                EXPECT_EQ(strAfter, strBefore);
                break;
            case EFile::NewTag:
                EXPECT_EQ(strAfter.size(), strAudio.size() + 128);
                EXPECT_EQ(strTail.substr(0, 33), strNewTag);
                break;
            case EFile::NoTagAtEnd:
                EXPECT_NE(strTail.substr(0, 3), "TAG");
                EXPECT_FALSE(CTrackInfo(dir.Str(), "t.mp3").HasTag());
                break;
            case EFile::MixedTag:
                EXPECT_EQ(strAfter.size(), strBefore.size());
                EXPECT_EQ(strTail.substr(0, 33), strNewTag);         // the first bytes written
                EXPECT_EQ(strTail.substr(53), strOldTag.substr(53)); // the old bytes after them
                break;
            }
        }
    }
}

TEST(TagWriteFaults, ShortWritesThatGoOnSucceedCompletely) {
    // Writes that take a few bytes at a time are normal (signals, pipes, some file systems).
    CFakeFileOps slowOps;
    slowOps.Shorten(EFileOp::Pwrite, 7);
    CTempDir dir;
    WriteBytes(dir.Path() / "s.mp3", Audio(500));
    CTrackInfo track(dir.Str(), "s.mp3");
    STagChanges changes;
    changes.m_strTitle = "Slow";
    EXPECT_TRUE(IsWritten(WriteChanges(track, changes, slowOps)));
    // A new tag holds what was entered: never the placeholder shown for a missing artist, and
    // 255 for its genre, which every reader takes for "no genre".
    EXPECT_EQ(ReadBytes(dir.Path() / "s.mp3"), Audio(500) + MakeTag("Slow", "", "", "", "", 255));
}

TEST(TagWriteFaults, ReadOnlyFileForAnUnprivilegedUserIsRefusedAndUnchanged) {
    CTempDir dir;
    const std::string strBytes = Audio(400) + MakeTag("T", "A");
    WriteBytes(dir.Path() / "theirs.mp3", strBytes); // owned by whoever runs the test, 0644
    WriteBytes(dir.Path() / "mine.mp3", strBytes);
    fs::permissions(dir.Path() / "mine.mp3",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string strSkip = AllowUnprivilegedAccess(dir.Path());
    if (!strSkip.empty()) {
        GTEST_SKIP() << strSkip;
    }
    ChownToUnprivileged(dir.Path() / "mine.mp3");
    // Only root can hand a file to another user: otherwise "theirs" is ours and writable.
    const bool bTheirs = IsRoot();
    const int nResult = RunUnprivileged([&dir, bTheirs] {
        CTrackInfo theirs(dir.Str(), "theirs.mp3");
        CTrackInfo mine(dir.Str(), "mine.mp3");
        STagChanges changes;
        changes.m_strTitle = "Changed";
        const auto refused = [&changes](CTrackInfo& track) {
            return WriteChanges(track, changes).m_eStatus == EWriteStatus::NotWritable;
        };
        const bool bRefused = refused(mine) && (!bTheirs || refused(theirs));
        return bRefused && mine.GetTitle() == "T" ? 0 : 1;
    });
    EXPECT_EQ(nResult, 0);
    EXPECT_EQ(ReadBytes(dir.Path() / "theirs.mp3"), strBytes);
    EXPECT_EQ(ReadBytes(dir.Path() / "mine.mp3"), strBytes);
}

namespace {

// A random text of up to nMaxLength characters from ASCII, Latin-1 and CJK.
std::string RandomText(std::mt19937& rng, int nMaxLength = 40) {
    std::uniform_int_distribution<int> length(0, nMaxLength);
    std::uniform_int_distribution<int> kind(0, 9);
    std::string strText;
    for (int i = length(rng); i > 0; --i) {
        const int nKind = kind(rng);
        char32_t cp;
        if (nKind < 5) {
            cp = std::uniform_int_distribution<char32_t>(0x20, 0x7E)(rng);
        } else if (nKind < 8) {
            cp = std::uniform_int_distribution<char32_t>(0xA0, 0xFF)(rng);
        } else {
            cp = std::uniform_int_distribution<char32_t>(0x4E00, 0x9FFF)(rng);
        }
        if (cp < 0x80) {
            strText += static_cast<char>(cp);
        } else if (cp < 0x800) {
            strText += static_cast<char>(0xC0 | (cp >> 6));
            strText += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            strText += static_cast<char>(0xE0 | (cp >> 12));
            strText += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            strText += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return strText;
}

std::vector<std::string> Characters(const std::string& strUtf8) {
    std::vector<std::string> arrChars;
    for (std::size_t i = 0; i < strUtf8.size();) {
        const auto b = static_cast<unsigned char>(strUtf8[i]);
        const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
        arrChars.push_back(strUtf8.substr(i, n));
        i += n;
    }
    return arrChars;
}

// What a field of nWidth bytes gives back: the longest run of whole characters that fits, one
// byte per character when every character has a Windows-1252 byte (unless those bytes would
// themselves read as UTF-8), the UTF-8 bytes otherwise; then trailing spaces go.
std::string ExpectedField(const std::string& strText, std::size_t nWidth) {
    const std::vector<std::string> arrChars = Characters(strText);
    std::string strSingle;
    bool bSingleByte = true;
    for (std::size_t i = 0; i < arrChars.size() && bSingleByte; ++i) {
        const std::string& strChar = arrChars[i];
        bSingleByte = strChar.size() == 1 || (strChar.size() == 2 && strChar[0] <= '\xC3');
        if (i < nWidth && bSingleByte) {
            strSingle += strChar.size() == 1
                             ? strChar[0]
                             : static_cast<char>(((strChar[0] & 0x03) << 6) | (strChar[1] & 0x3F));
        }
    }
    std::string strExpected;
    const bool bHigh = std::any_of(strSingle.begin(), strSingle.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (bSingleByte && !(bHigh && IsValidUtf8(strSingle))) {
        for (std::size_t i = 0; i < arrChars.size() && i < nWidth; ++i) {
            strExpected += arrChars[i];
        }
    } else {
        for (const std::string& strChar : arrChars) {
            if (strExpected.size() + strChar.size() > nWidth) {
                break;
            }
            strExpected += strChar;
        }
    }
    while (!strExpected.empty() && strExpected.back() == ' ') {
        strExpected.pop_back();
    }
    return strExpected;
}

} // namespace

TEST(TagWriteProperty, RandomRecordsReadBackCutAtCharacterBoundaries) {
    std::mt19937 rng(20240605);
    CTempDir dir;
    for (int nRound = 0; nRound < 150; ++nRound) {
        const std::string strAudio = Audio(std::uniform_int_distribution<std::size_t>(0, 700)(rng));
        const std::string strName = "p" + std::to_string(nRound) + ".mp3";
        WriteBytes(dir.Path() / strName, strAudio);
        CTrackInfo track(dir.Str(), strName);
        for (int nWrite = 0; nWrite < 3; ++nWrite) {
            const std::string aTexts[5] = {RandomText(rng), RandomText(rng), RandomText(rng),
                                           RandomText(rng, 6), RandomText(rng)};
            const auto nGenre =
                static_cast<unsigned char>(std::uniform_int_distribution<int>(0, 255)(rng));
            STagChanges changes;
            changes.m_strTitle = aTexts[0];
            changes.m_strArtist = aTexts[1];
            changes.m_strAlbum = aTexts[2];
            changes.m_strYear = aTexts[3];
            changes.m_strComment = aTexts[4];
            changes.m_nGenre = nGenre;
            const EWriteStatus eStatus = WriteChanges(track, changes).m_eStatus;
            ASSERT_TRUE(eStatus == EWriteStatus::Written || eStatus == EWriteStatus::Unchanged);

            const std::string strFile = ReadBytes(dir.Path() / strName);
            ASSERT_EQ(strFile.size(), strAudio.size() + 128) << "round " << nRound;
            EXPECT_EQ(strFile.substr(0, strAudio.size()), strAudio);
            const CTrackInfo reread(dir.Str(), strName);
            ASSERT_TRUE(reread.HasTag());
            EXPECT_EQ(std::string(reread.GetTitle()), ExpectedField(aTexts[0], 30)) << aTexts[0];
            EXPECT_EQ(std::string(reread.GetArtist()), ExpectedField(aTexts[1], 30)) << aTexts[1];
            EXPECT_EQ(std::string(reread.GetAlbum()), ExpectedField(aTexts[2], 30)) << aTexts[2];
            EXPECT_EQ(std::string(reread.GetYear()), ExpectedField(aTexts[3], 4)) << aTexts[3];
            EXPECT_EQ(std::string(reread.GetComment()), ExpectedField(aTexts[4], 30)) << aTexts[4];
            EXPECT_EQ(reread.GetGenre(), nGenre);
        }
    }
}

namespace {

// Where each field lies in the 128 bytes, and a random value for it.
struct SFieldSpan {
    std::size_t nBegin;
    std::size_t nEnd;
};

std::string RandomTagBytes(std::mt19937& rng) {
    std::string strTag = "TAG";
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 3; i < 128; ++i) {
        strTag += static_cast<char>(byte(rng));
    }
    if (byte(rng) % 2 == 0) { // half of them ID3v1.1, with a track number
        strTag[125] = '\0';
        strTag[126] = static_cast<char>(1 + byte(rng) % 255);
    }
    return strTag;
}

} // namespace

TEST(TagWriteProperty, RandomEditsChangeExactlyTheBytesOfTheFieldsEdited) {
    std::mt19937 rng(20261207);
    CTempDir dir;
    std::uniform_int_distribution<int> coin(0, 1);
    for (int nRound = 0; nRound < 300; ++nRound) {
        const std::string strAudio = Audio(200 + nRound);
        const std::string strOld = RandomTagBytes(rng);
        const std::string strName = "e" + std::to_string(nRound) + ".mp3";
        WriteBytes(dir.Path() / strName, strAudio + strOld);
        CTrackInfo track(dir.Str(), strName);
        const bool bHadTrack = strOld[125] == '\0' && strOld[126] != '\0';

        STagChanges changes;
        std::vector<SFieldSpan> arrEdited;
        const auto maybe = [&](std::optional<std::string>& strField, SFieldSpan span, int nMax) {
            if (coin(rng)) {
                strField = RandomText(rng, nMax);
                arrEdited.push_back(span);
            }
        };
        maybe(changes.m_strTitle, {3, 33}, 40);
        maybe(changes.m_strArtist, {33, 63}, 40);
        maybe(changes.m_strAlbum, {63, 93}, 40);
        maybe(changes.m_strYear, {93, 97}, 6);
        maybe(changes.m_strComment, {97, 125}, 20);
        if (coin(rng)) {
            changes.m_nGenre = static_cast<unsigned char>(rng() % 256);
            arrEdited.push_back({127, 128});
        }
        bool bTrackEdited = false;
        if (coin(rng)) {
            changes.m_nTrack = static_cast<int>(rng() % 256); // 0 takes it away
            bTrackEdited = true;
        }
        WriteChanges(track, changes);
        const bool bLongComment =
            changes.m_strComment && EncodeTagText(*changes.m_strComment).size() > 28;

        const std::string strFile = ReadBytes(dir.Path() / strName);
        ASSERT_EQ(strFile.size(), strAudio.size() + 128) << "round " << nRound;
        ASSERT_EQ(strFile.substr(0, strAudio.size()), strAudio);
        const std::string strNew = strFile.substr(strAudio.size());
        for (std::size_t i = 0; i < 128; ++i) {
            const bool bInEdited =
                std::any_of(arrEdited.begin(), arrEdited.end(), [i](const SFieldSpan& span) {
                    return i >= span.nBegin && i < span.nEnd;
                });
            const bool bTrackByte = i == 125 || i == 126;
            // The comment's last two bytes belong to it when there is no track number, or when
            // it needs them and the edit sets no track number.
            const bool bCommentTail =
                bTrackByte && changes.m_strComment && !bTrackEdited && (!bHadTrack || bLongComment);
            if (bInEdited || bCommentTail || (bTrackByte && bTrackEdited)) {
                continue;
            }
            EXPECT_EQ(strNew[i], strOld[i]) << "round " << nRound << " byte " << i;
        }
        const int nExpectedTrack = bTrackEdited                 ? *changes.m_nTrack
                                   : bHadTrack && !bLongComment ? strOld[126] & 0xFF
                                                                : 0;
        EXPECT_EQ(track.GetTrack(), nExpectedTrack) << "round " << nRound;
        if (changes.m_strTitle) {
            EXPECT_EQ(std::string(track.GetTitle()), ExpectedField(*changes.m_strTitle, 30));
        }
    }
}

TEST(TagWriteIdentity, OnlyTheFileListedIsWrittenWhateverTheNameLeadsToNow) {
    enum class ESwap { None, SymlinkToOther, HardLinkToOther, LinkToDevice, Folder, Fifo, Removed };
    const struct {
        ESwap eSwap;
        EWriteStatus eExpected;
        bool bOpened; // whether the write may open the path at all
    } aCases[] = {
        {ESwap::None, EWriteStatus::Written, true},
        {ESwap::SymlinkToOther, EWriteStatus::ChangedSinceListed, false},
        {ESwap::HardLinkToOther, EWriteStatus::ChangedSinceListed, false},
        {ESwap::LinkToDevice, EWriteStatus::ChangedSinceListed, false},
        {ESwap::Folder, EWriteStatus::ChangedSinceListed, false},
        {ESwap::Fifo, EWriteStatus::ChangedSinceListed, false},
        {ESwap::Removed, EWriteStatus::ChangedSinceListed, false},
    };
    const std::string strBytes = Audio(600) + MakeTag("Mine", "A");
    const std::string strOther = Audio(600) + MakeTag("Other", "B");
    for (const auto& c : aCases) {
        SCOPED_TRACE(static_cast<int>(c.eSwap));
        CTempDir dir;
        const fs::path path = dir.Path() / "a.mp3";
        const fs::path other = dir.Path() / "other.mp3";
        WriteBytes(path, strBytes);
        WriteBytes(other, strOther);
        CTrackInfo track(dir.Str(), "a.mp3");
        if (c.eSwap != ESwap::None) {
            fs::remove(path);
        }
        switch (c.eSwap) {
        case ESwap::SymlinkToOther:
            fs::create_symlink(other, path);
            break;
        case ESwap::HardLinkToOther:
            fs::create_hard_link(other, path);
            break;
        case ESwap::LinkToDevice:
            fs::create_symlink("/dev/null", path);
            break;
        case ESwap::Folder:
            fs::create_directory(path);
            break;
        case ESwap::Fifo:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case ESwap::None:
        case ESwap::Removed:
            break;
        }
        STagChanges changes;
        changes.m_strTitle = "New";
        CFakeFileOps ops;
        EXPECT_EQ(WriteChanges(track, changes, ops).m_eStatus, c.eExpected);
        EXPECT_EQ(ops.Calls(EFileOp::OpenAt) > 0, c.bOpened);
        EXPECT_EQ(ReadBytes(other), strOther);
        if (c.eExpected == EWriteStatus::Written) {
            EXPECT_EQ(ReadBytes(path), Audio(600) + MakeTag("New", "A"));
        }
    }
}

TEST(TagWriteIdentity, ALibraryOfLinksStaysEditableAndScansOpenOnlyRegularFiles) {
    CTempDir dir;
    WriteBytes(dir.Path() / "store" / "real.mp3", Audio(300) + MakeTag("Real", "A"));
    fs::create_symlink(dir.Path() / "store" / "real.mp3", dir.Path() / "link.mp3");
    CTrackInfo linked(dir.Str(), "link.mp3");
    STagChanges changes;
    changes.m_strAlbum = "Through the link";
    ASSERT_TRUE(IsWritten(WriteChanges(linked, changes)));
    EXPECT_EQ(ReadBytes(dir.Path() / "store" / "real.mp3"),
              Audio(300) + MakeTag("Real", "A", "Through the link"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.mp3"));

    // A name that leads to a device, a FIFO or a folder is looked at, never opened.
    fs::create_symlink("/dev/ptmx", dir.Path() / "pty.mp3");
    ASSERT_EQ(::mkfifo((dir.Path() / "fifo.mp3").c_str(), 0600), 0);
    fs::create_directory(dir.Path() / "folder.mp3");
    for (const char* pszName : {"pty.mp3", "fifo.mp3", "folder.mp3"}) {
        CFakeFileOps ops;
        const CTagBlock block = CTagBlock::Read(-1, (dir.Path() / pszName).c_str(), ops);
        EXPECT_EQ(ops.Calls(EFileOp::OpenAt), 0u) << pszName;
        EXPECT_FALSE(block.m_identity.IsFile()) << pszName;
    }
}

TEST(TagWriteUndo, TakesBackEachKindOfEditUnlessTheFileChangedSince) {
    CFileOps systemCalls;
    enum class EAfter { Nothing, Retagged, Grown };
    const struct {
        bool bHadTag;
        EAfter eAfter;
        EWriteStatus eUndo;
    } aCases[] = {
        {true, EAfter::Nothing, EWriteStatus::Written},
        {false, EAfter::Nothing, EWriteStatus::Written}, // the appended tag goes again
        {true, EAfter::Retagged, EWriteStatus::ChangedSinceListed},
        {false, EAfter::Grown, EWriteStatus::ChangedSinceListed},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(::testing::Message() << c.bHadTag << " " << static_cast<int>(c.eAfter));
        CTempDir dir;
        const fs::path path = dir.Path() / "u.mp3";
        const std::string strBefore = Audio(1000) + (c.bHadTag ? MakeTag("Before", "A") : "");
        WriteBytes(path, strBefore);
        CTrackInfo track(dir.Str(), "u.mp3");
        STagChanges changes;
        changes.m_strTitle = "After";
        const STagWriteResult written = WriteChanges(track, changes);
        ASSERT_TRUE(IsWritten(written));
        std::string strLater = ReadBytes(path);
        if (c.eAfter == EAfter::Retagged) {
            strLater.replace(strLater.size() - 125, 5, "Later");
            WriteBytes(path, strLater);
        } else if (c.eAfter == EAfter::Grown) {
            strLater += "more";
            WriteBytes(path, strLater);
        }
        const CTagWriter writer(systemCalls, CTagCodec(), false);
        const STagWriteResult undone = writer.Undo(*written.m_undo);
        EXPECT_EQ(undone.m_eStatus, c.eUndo);
        EXPECT_EQ(ReadBytes(path), c.eUndo == EWriteStatus::Written ? strBefore : strLater);
        if (c.eUndo == EWriteStatus::Written) {
            track.Refresh(undone.m_block, CTagCodec());
            EXPECT_EQ(track.GetTitle(), c.bHadTag ? "Before" : "");
            EXPECT_EQ(track.GetSize(), c.bHadTag ? 1000 : 1000 - 128);
        }
    }
}

namespace {

// A v1.1 tag built by hand: the comment in 28 bytes, a zero byte, the track number.
std::string TrackTag(const std::string& strComment, int nTrack) {
    std::string strTag = MakeTag("Song", "Band", "", "1999", "", 17);
    strTag.replace(97, 30, Padded(strComment, 28) + '\0' + static_cast<char>(nTrack));
    return strTag;
}

// A field that a writer sets to a new value each round, and how it reads back.
struct SRoundField {
    void (*pSet)(STagChanges& changes, int nRound);
    std::string (*pGet)(const CTrackInfo& track);
};

const SRoundField s_title = {[](STagChanges& changes, int nRound) {
                                 changes.m_strTitle = "Title " + std::to_string(nRound);
                             },
                             [](const CTrackInfo& track) { return std::string(track.GetTitle()); }};
const SRoundField s_artist = {
    [](STagChanges& changes, int nRound) {
        changes.m_strArtist = "Artist " + std::to_string(nRound);
    },
    [](const CTrackInfo& track) { return std::string(track.GetArtist()); }};
const SRoundField s_album = {[](STagChanges& changes, int nRound) {
                                 changes.m_strAlbum = "Album " + std::to_string(nRound);
                             },
                             [](const CTrackInfo& track) { return std::string(track.GetAlbum()); }};
const SRoundField s_comment = {
    [](STagChanges& changes, int nRound) {
        changes.m_strComment = "Note " + std::to_string(nRound);
    },
    [](const CTrackInfo& track) { return std::string(track.GetComment()); }};
const SRoundField s_track = {
    [](STagChanges& changes, int nRound) { changes.m_nTrack = nRound + 1; },
    [](const CTrackInfo& track) { return std::to_string(track.GetTrack()); }};
const SRoundField s_genre = {
    [](STagChanges& changes, int nRound) { changes.m_nGenre = static_cast<unsigned char>(nRound); },
    [](const CTrackInfo& track) { return std::to_string(track.GetGenre()); }};
const SRoundField s_year = {
    [](STagChanges& changes, int nRound) { changes.m_strYear = std::to_string(2000 + nRound); },
    [](const CTrackInfo& track) { return std::string(track.GetYear()); }};

std::string ValueOfRound(const SRoundField& field, int nRound, const std::string& strFolder,
                         const std::string& strName) {
    CTrackInfo track(strFolder, strName);
    STagChanges changes;
    field.pSet(changes, nRound);
    CFileOps systemCalls;
    track.WriteTag(changes, CTagWriter(systemCalls, CTagCodec(), false));
    return field.pGet(track);
}

// Writes the field into each file, round after round, each edit taken back at once when asked;
// the number of writes that failed.
int WriteRounds(const std::string& strFolder, const std::vector<std::string>& arrNames,
                const SRoundField& field, int nRounds, bool bUndo) {
    // Waits after every read, as a share does: a writer that read a file's end before another wrote
    // it would then write what it read over the other's edit, had it not waited for the other.
    CFakeFileOps ops;
    ops.Around(EFileOp::Pread, [](SFileCall&, const CFakeFileOps::FnGoOn& fnGoOn) {
        const ssize_t nRead = fnGoOn();
        ::usleep(1000);
        return nRead;
    });
    const CTagWriter writer(ops, CTagCodec(), false);
    int nFailed = 0;
    for (const std::string& strName : arrNames) {
        for (int nRound = 0; nRound < nRounds; ++nRound) {
            CTrackInfo track(strFolder, strName); // listed anew, as each command line does
            STagChanges changes;
            field.pSet(changes, nRound);
            try {
                const STagWriteResult result = track.WriteTag(changes, writer);
                if (bUndo && result.m_undo) {
                    writer.Undo(*result.m_undo);
                }
            } catch (const CFileException&) {
                ++nFailed;
            }
        }
    }
    return nFailed;
}

} // namespace

TEST(TagWriteClears, EmptyingWhatReadsEmptyAlreadyChangesNoByteAndNoTime) {
    // Some taggers pad an empty field with zero bytes: it reads empty all the same.
    std::string strZeroed = MakeTag("Song", "", "", "1999", "", 17);
    std::fill(strZeroed.begin() + 33, strZeroed.begin() + 63, '\0');
    std::fill(strZeroed.begin() + 97, strZeroed.begin() + 127, '\0');
    const auto changesOf = [](std::optional<std::string> strArtist,
                              std::optional<std::string> strComment, std::optional<int> nTrack) {
        STagChanges changes;
        changes.m_strArtist = std::move(strArtist);
        changes.m_strComment = std::move(strComment);
        changes.m_nTrack = nTrack;
        return changes;
    };
    const struct {
        const char* pszCase;
        std::string strTag; // the file's tag before; empty: none
        STagChanges changes;
        std::string strAfter; // empty: the file as it was, its time too
    } aCases[] = {
        {"no tag, fields emptied", "", changesOf("", "", 0), ""},
        {"zero-padded fields emptied", strZeroed, changesOf("", "", std::nullopt), ""},
        {"space-padded fields emptied", MakeTag("Song", "", "", "1999", "", 17),
         changesOf("", "", 0), ""},
        {"an artist emptied", MakeTag("Song", "Band", "", "1999", "", 17),
         changesOf("", "", std::nullopt), MakeTag("Song", "", "", "1999", "", 17)},
        // The comment is empty already, the track number is not.
        {"empty comment and track emptied", TrackTag("", 7), changesOf(std::nullopt, "", 0),
         MakeTag("Song", "Band", "", "1999", "", 17)},
        {"no tag, a value beside the emptied fields", "", changesOf("Band", "", 0),
         MakeTag("", "Band", "", "", "", 255)},
    };
    CFileOps systemCalls;
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        const fs::path path = dir.Path() / "c.mp3";
        const std::string strBefore = Audio(400) + c.strTag;
        WriteBytes(path, strBefore);
        const struct timespec aOld[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), aOld, 0), 0);
        CTrackInfo track(dir.Str(), "c.mp3");
        const STagWriteResult result = WriteChanges(track, c.changes, systemCalls);
        EXPECT_EQ(result.m_eStatus,
                  c.strAfter.empty() ? EWriteStatus::Unchanged : EWriteStatus::Written);
        EXPECT_EQ(ReadBytes(path), c.strAfter.empty() ? strBefore : Audio(400) + c.strAfter);
        struct stat st {};
        ::stat(path.c_str(), &st);
        EXPECT_EQ(st.st_mtim.tv_sec == 1000000000, c.strAfter.empty());
    }
}

TEST(TagChangesLoss, ATrackNumberAndALongCommentNeverTakeEachOthersBytesUnasked) {
    const std::string str28(28, 'c');
    const std::string str29(29, 'c');
    const std::string str30(30, 'c');
    const std::string strKanji = "\xE6\xBC\xA2"; // three bytes of UTF-8
    std::string str10Kanji;
    for (int i = 0; i < 10; ++i) {
        str10Kanji += strKanji;
    }
    const auto changesOf = [](std::optional<std::string> strComment, std::optional<int> nTrack) {
        STagChanges changes;
        changes.m_strComment = std::move(strComment);
        changes.m_nTrack = nTrack;
        return changes;
    };
    const std::string strTrack7 = TrackTag("Note", 7);
    const struct {
        const char* pszCase;
        std::string strTag; // the 128 bytes the file ends with
        STagChanges changes;
        ETagLoss eExpected;
    } aCases[] = {
        {"long comment over a track", strTrack7, changesOf(str29, std::nullopt),
         ETagLoss::TrackNumber},
        {"long comment, track taken away", strTrack7, changesOf(str29, 0), ETagLoss::None},
        {"28 bytes beside the track", strTrack7, changesOf(str28, std::nullopt), ETagLoss::None},
        {"10 kanji are 30 bytes", strTrack7, changesOf(str10Kanji, std::nullopt),
         ETagLoss::TrackNumber},
        {"long comment beside a new track", strTrack7, changesOf(str29, 3), ETagLoss::CommentEnd},
        {"track over a 30-byte comment", MakeTag("S", "B", "", "", str30, 17),
         changesOf(std::nullopt, 5), ETagLoss::CommentEnd},
        {"track over a 29-byte comment", MakeTag("S", "B", "", "", str29, 17),
         changesOf(std::nullopt, 5), ETagLoss::CommentEnd},
        {"track beside 28 bytes and spaces", MakeTag("S", "B", "", "", str28, 17),
         changesOf(std::nullopt, 5), ETagLoss::None},
        {"track with a comment that fits", MakeTag("S", "B", "", "", str30, 17),
         changesOf("Short", 5), ETagLoss::None},
        {"track removed beside a long comment", MakeTag("S", "B", "", "", str30, 17),
         changesOf(std::nullopt, 0), ETagLoss::None},
        {"long comment where there is no track", MakeTag("S", "B", "", "", "x", 17),
         changesOf(str30, std::nullopt), ETagLoss::None},
        {"no tag at all", Audio(128), changesOf(std::nullopt, 5), ETagLoss::None},
        {"no tag, long comment", Audio(128), changesOf(str30, std::nullopt), ETagLoss::None},
    };
    for (const auto& c : aCases) {
        CId3v1Tag::CBytes bytes{};
        std::copy(c.strTag.begin(), c.strTag.end(), bytes.begin());
        EXPECT_EQ(c.changes.SilentLoss(bytes, CTagCodec()), c.eExpected) << c.pszCase;
        if (c.eExpected == ETagLoss::None || !CId3v1Tag::HasMarker(bytes.data())) {
            continue;
        }
        // What the loss names is what the bytes would lose.
        const CId3v1Tag::CBytes after = *c.changes.ApplyTo(bytes, CTagCodec());
        const int nTrackWanted =
            c.changes.m_nTrack ? *c.changes.m_nTrack : CId3v1Tag::TrackOf(bytes);
        if (c.eExpected == ETagLoss::TrackNumber) {
            EXPECT_NE(CId3v1Tag::TrackOf(after), nTrackWanted) << c.pszCase;
        } else {
            EXPECT_LT(TagFieldBytes(&after[CId3v1Tag::COMMENT], 30).size(), 29u) << c.pszCase;
        }
    }
}

TEST(TagWriteLock, TwoWritersOfOursOnTheSameFilesKeepEachOthersEdits) {
    const struct {
        const char* pszCase;
        const SRoundField& first;
        const SRoundField& second;
        bool bTagged;
        bool bSecondUndoes; // the second writer takes each of its edits back
    } aCases[] = {
        {"title and artist", s_title, s_artist, true, false},
        {"comment and track", s_comment, s_track, true, false},
        // The writer that waited finds the tag the other appended.
        {"genre and year, files without a tag", s_genre, s_year, false, false},
        // An undo writes back all 128 bytes it replaced: never over another's edit since.
        {"an edit beside edits taken back", s_album, s_title, true, true},
    };
    constexpr int ROUNDS = 8;
    const std::string strAudio = Audio(2000);
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CTempDir dir;
        std::vector<std::string> arrNames;
        for (int i = 0; i < 6; ++i) {
            arrNames.push_back("h" + std::to_string(i) + ".mp3");
            WriteBytes(dir.Path() / arrNames.back(),
                       strAudio +
                           (c.bTagged ? MakeTag("Old", "Old", "Old", "1980", "Old", 3) : ""));
        }
        const std::vector<int> arrExits = RunAtOnce({
            [&] { return WriteRounds(dir.Str(), arrNames, c.first, ROUNDS, false); },
            [&] { return WriteRounds(dir.Str(), arrNames, c.second, ROUNDS, c.bSecondUndoes); },
        });
        EXPECT_EQ(arrExits, (std::vector<int>{0, 0}));

        // What each writer's last edit reads back as, from a file of its own.
        WriteBytes(dir.Path() / "expected.mp3", strAudio + MakeTag("", ""));
        const std::string strFirst = ValueOfRound(c.first, ROUNDS - 1, dir.Str(), "expected.mp3");
        const std::string strSecond = ValueOfRound(c.second, ROUNDS - 1, dir.Str(), "expected.mp3");
        for (const std::string& strName : arrNames) {
            const std::string strFile = ReadBytes(dir.Path() / strName);
            ASSERT_EQ(strFile.size(), strAudio.size() + 128) << strName;
            EXPECT_EQ(strFile.substr(0, strAudio.size()), strAudio) << strName;
            const CTrackInfo track(dir.Str(), strName);
            EXPECT_EQ(c.first.pGet(track), strFirst) << strName;
            if (!c.bSecondUndoes) {
                EXPECT_EQ(c.second.pGet(track), strSecond) << strName;
            }
        }
    }
}

TEST(TagWriteTimes, KeptOnRequestAndUntouchedWhenNothingChanges) {
    CFileOps systemCalls;
    const struct timespec tOld = {1000000000, 0};
    const auto setOld = [&tOld](const fs::path& path) {
        const struct timespec aTimes[2] = {tOld, tOld};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), aTimes, 0), 0);
    };
    const auto mtime = [](const fs::path& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mtim.tv_sec;
    };
    const struct {
        bool bKeep;
        bool bSameValue; // the edit sets what the file holds already
        bool bTimeKept;
    } aCases[] = {{true, false, true}, {false, false, false}, {false, true, true}};
    for (const auto& c : aCases) {
        CTempDir dir;
        const fs::path path = dir.Path() / "m.mp3";
        WriteBytes(path, Audio(500) + MakeTag("Same", "A"));
        setOld(path);
        CTrackInfo track(dir.Str(), "m.mp3");
        STagChanges changes;
        changes.m_strTitle = c.bSameValue ? "Same" : "Different";
        const STagWriteResult result = WriteChanges(track, changes, systemCalls, c.bKeep);
        EXPECT_EQ(result.m_eStatus, c.bSameValue ? EWriteStatus::Unchanged : EWriteStatus::Written);
        EXPECT_EQ(mtime(path) == tOld.tv_sec, c.bTimeKept) << c.bKeep << c.bSameValue;
        if (c.bKeep) {
            setOld(path);
            const CTagWriter writer(systemCalls, CTagCodec(), true);
            ASSERT_EQ(writer.Undo(*result.m_undo).m_eStatus, EWriteStatus::Written);
            EXPECT_EQ(mtime(path), tOld.tv_sec);
        }
    }
}

TEST(TagWriteCodec, AFixedCodePageWritesItsBytesAndRefusesWhatItCannotHold) {
    CFileOps systemCalls;
    const struct {
        const char* pszCodePage;
        const char* pszText;
        const char* pszBytes; // nullptr: the text has no bytes in the code page
    } aCases[] = {
        {"Windows-1251", "Кино", "\xCA\xE8\xED\xEE"},
        {"KOI8-R", "Кино", "\xEB\xC9\xCE\xCF"},
        {"Shift-JIS", "サンプル", "\x83\x54\x83\x93\x83\x76\x83\x8B"},
        {"Windows-1252", "Café", "Caf\xE9"},
        {"ISO-8859-1", "€", nullptr},
        {"Windows-1251", "Café", nullptr},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCodePage);
        const std::optional<CTagCodec> codec = CTagCodec::FromName(c.pszCodePage);
        ASSERT_TRUE(codec);
        CTempDir dir;
        const std::string strBefore = Audio(300) + MakeTag("Old", "A");
        WriteBytes(dir.Path() / "c.mp3", strBefore);
        CTrackInfo track(dir.Str(), "c.mp3");
        STagChanges changes;
        changes.m_strArtist = c.pszText;
        const STagWriteResult result = WriteChanges(track, changes, systemCalls, false, *codec);
        if (c.pszBytes == nullptr) {
            EXPECT_EQ(result.m_eStatus, EWriteStatus::NotEncodable);
            EXPECT_EQ(ReadBytes(dir.Path() / "c.mp3"), strBefore);
            continue;
        }
        ASSERT_TRUE(IsWritten(result));
        EXPECT_EQ(ReadBytes(dir.Path() / "c.mp3"), Audio(300) + MakeTag("Old", c.pszBytes));
        EXPECT_EQ(track.GetArtist(), c.pszText); // read back through the same code page
    }
}
