// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/fileexception.h"
#include "catalogue/genres.h"
#include "catalogue/packedtexts.h"
#include "catalogue/sharedtext.h"
#include "catalogue/trackinfo.h"
#include "tests/support/testfiles.h"
#include "writetag.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

CTrackInfo MakeTrack(const CTempDir& dir, const std::string& strName, const std::string& strBytes) {
    WriteBytes(dir.Path() / strName, strBytes);
    return CTrackInfo(dir.Str(), strName);
}

} // namespace

TEST(TrackInfo, FileWithoutTagKeepsTheDefaults) {
    CTempDir dir;
    const CTrackInfo track = MakeTrack(dir, "a.mp3", Audio(4000128));
    EXPECT_FALSE(track.HasTag());
    EXPECT_EQ(track.GetTitle(), "");
    EXPECT_EQ(track.GetArtist(), "<Undefined>");
    EXPECT_EQ(track.GetAlbum(), "");
    EXPECT_EQ(track.GetYear(), "");
    EXPECT_EQ(track.GetComment(), "");
    EXPECT_EQ(track.GetGenre(), GENRE_NONE);
    EXPECT_EQ(track.GetGenreName(), "<Undefined>");
    EXPECT_EQ(track.GetSize(), 4000000);
    EXPECT_EQ(track.GetLocation(), dir.Str());
    EXPECT_EQ(track.GetFileName(), "a.mp3");
}

TEST(TrackInfo, ReadsEveryFieldOfATag) {
    CTempDir dir;
    const CTrackInfo track =
        MakeTrack(dir, "b.mp3", Audio(1000) + MakeTag("Title", "", "Album", "98", "Note", 255));
    EXPECT_TRUE(track.HasTag());
    EXPECT_EQ(track.GetTitle(), "Title");
    EXPECT_EQ(track.GetArtist(), ""); // a blank artist is not the placeholder
    EXPECT_EQ(track.GetAlbum(), "Album");
    EXPECT_EQ(track.GetYear(), "98");
    EXPECT_EQ(track.GetComment(), "Note");
    EXPECT_EQ(track.GetGenre(), 255);
    EXPECT_EQ(track.GetGenreName(), "<Undefined>");
    EXPECT_EQ(track.GetSize(), 1000);
}

TEST(TrackInfo, LowerCaseMarkerIsNoTag) {
    CTempDir dir;
    std::string strTag = MakeTag("Title", "Artist");
    strTag[2] = 'g';
    EXPECT_FALSE(MakeTrack(dir, "c.mp3", Audio(500) + strTag).HasTag());
}

TEST(TrackInfo, ShortUnreadableAndOddEntriesGetDefaultsAndSizeZero) {
    CTempDir dir;
    const CTrackInfo exact = MakeTrack(dir, "exact.mp3", Audio(128));
    EXPECT_EQ(exact.GetSize(), 0);
    EXPECT_EQ(exact.GetSizeText(), "  0.0 MB");
    EXPECT_EQ(MakeTrack(dir, "empty.mp3", "").GetSize(), 0);
    EXPECT_EQ(MakeTrack(dir, "short.mp3", "TAG").GetArtist(), "<Undefined>");
    EXPECT_EQ(CTrackInfo(dir.Str(), "missing.mp3").GetSize(), 0);

    fs::create_directory(dir.Path() / "folder.mp3");
    EXPECT_FALSE(CTrackInfo(dir.Str(), "folder.mp3").HasTag());

    // Opening a FIFO without a writer would block for ever.
    ASSERT_EQ(::mkfifo((dir.Path() / "pipe.mp3").c_str(), 0600), 0);
    const CTrackInfo pipe(dir.Str(), "pipe.mp3");
    EXPECT_EQ(pipe.GetSize(), 0);
    EXPECT_FALSE(pipe.HasTag());
}

TEST(TrackInfo, SizesAboveTwoGigabytesAreKept) {
    CTempDir dir;
    const fs::path path = dir.Path() / "big.mp3";
    WriteBytes(path, "");
    fs::resize_file(path, 3'000'000'128LL); // sparse: takes no room on disk
    const CTrackInfo track(dir.Str(), "big.mp3");
    EXPECT_EQ(track.GetSize(), 3'000'000'000LL);
    EXPECT_EQ(track.GetSizeText(), "3000.0 MB");
}

TEST(TrackInfo, FormatSizeInDecimalMegabytesWithAPointInEveryLocale) {
    const struct {
        std::int64_t nBytes;
        const char* pszText;
    } aCases[] = {{0, "  0.0 MB"},           {3456661, "  3.5 MB"},
                  {12345678, " 12.3 MB"},    {123456789, "123.5 MB"},
                  {1234567890, "1234.6 MB"}, {5'000'000'000LL, "5000.0 MB"}};
    CTempDir dir;
    const std::string strComma = MakeCommaLocale(dir);
    // The window runs under the user's numeric locale; a comma there must not reach the sizes.
    for (const std::string& strLocale : {std::string("C"), strComma}) {
        if (strLocale.empty() || std::setlocale(LC_NUMERIC, strLocale.c_str()) == nullptr) {
            ADD_FAILURE() << "no comma locale to test with";
            continue;
        }
        for (const auto& c : aCases) {
            EXPECT_EQ(FormatSize(c.nBytes), c.pszText) << strLocale;
        }
    }
    std::setlocale(LC_NUMERIC, "C");
}

TEST(TrackInfo, CopyTextHasNineFieldsWithGenreBeforeYear) {
    CTempDir dir;
    const CTrackInfo tagged =
        MakeTrack(dir, "t.mp3", Audio(3500000) + MakeTag("T", "A", "L", "1999", "C", 8));
    EXPECT_EQ(tagged.GetCopyText(),
              "t.mp3\tT\tL\t" + dir.Str() + "\t  3.5 MB\tA\tJazz\t1999\tC\r\n");
    const CTrackInfo untagged = MakeTrack(dir, "u.mp3", Audio(200));
    EXPECT_EQ(untagged.GetCopyText(),
              "u.mp3\t\t\t" + dir.Str() + "\t  0.0 MB\t<Undefined>\t<Undefined>\t\t\r\n");
}

TEST(TrackInfo, SettersDoNotCutAndRecordsAreIndependent) {
    CTempDir dir;
    CTrackInfo first = MakeTrack(dir, "s.mp3", Audio(300) + MakeTag("Old", "Artist"));
    const CTrackInfo second(dir.Str(), "s.mp3");
    first.SetTitle(std::string(40, 'x'));
    EXPECT_EQ(first.GetTitle().size(), 40u);
    EXPECT_EQ(second.GetTitle(), "Old");
}

// The texts of a record come back as they were set, whatever their lengths: the block keeps
// one-byte ends while the texts come to less than 254 bytes together, two-byte ends below 64 KB
// and four-byte ones beyond, and a change of one text moves the block between them.
TEST(PackedTexts, TextsComeBackAsSetAcrossTheLayouts) {
    using CTexts = CPackedTexts<6>;
    struct {
        const char* pszName;
        std::size_t nTotal; // one text makes up what the others leave to this
        bool bAlone;        // the others empty
    } const aCases[] = {{"all short", 30, false},
                        {"total just below 254 bytes", 253, false},
                        {"total at 254 bytes", 254, false},
                        {"one text of 255 bytes alone", 255, true},
                        {"total just below 64 KB", 0xFFFE, false},
                        {"total at 64 KB", 0xFFFF, false},
                        {"one text of 64 KB alone", 0xFFFF, true},
                        {"total above 64 KB", 70000, false},
                        {"all empty", 0, true}};
    for (const auto& c : aCases) {
        for (std::size_t nAt = 0; nAt < 6; ++nAt) {
            SCOPED_TRACE(std::string(c.pszName) + ", long text at " + std::to_string(nAt));
            std::array<std::string, 6> arrTexts = {"name.mp3", "", "Artist", "", "1999", "é"};
            if (c.bAlone) {
                arrTexts.fill("");
            }
            arrTexts[nAt].clear();
            std::size_t nOthers = 0;
            for (const std::string& strText : arrTexts) {
                nOthers += strText.size();
            }
            arrTexts[nAt] = std::string(c.nTotal - nOthers, static_cast<char>('a' + nAt));
            const CTexts texts = {arrTexts[0], arrTexts[1], arrTexts[2],
                                  arrTexts[3], arrTexts[4], arrTexts[5]};
            CTexts copy = texts;
            std::string strAll;
            for (std::size_t i = 0; i < 6; ++i) {
                EXPECT_EQ(texts.Get(i), arrTexts[i]) << i;
                EXPECT_EQ(copy.Get(i), arrTexts[i]) << i;
                strAll += arrTexts[i];
            }
            EXPECT_EQ(texts.GetAll(), strAll);
            // Through the other layout and back, each text set from a view into the block.
            const std::size_t nOther = (nAt + 1) % 6;
            copy.Set(nOther, std::string(80000, 'z'));
            copy.Set(nAt, copy.Get(nAt).substr(0, 3));
            copy.Set(nOther, copy.Get(nOther).substr(0, 2));
            EXPECT_EQ(copy.Get(nAt), arrTexts[nAt].substr(0, 3));
            EXPECT_EQ(copy.Get(nOther), "zz");
            for (std::size_t i = 0; i < 6; ++i) {
                if (i != nAt && i != nOther) {
                    EXPECT_EQ(copy.Get(i), arrTexts[i]) << i;
                }
            }
        }
    }
}

TEST(TrackInfoWrite, AppendsOnceThenOverwritesInPlace) {
    CTempDir dir;
    const std::string strAudio = Audio(5000);
    CTrackInfo track = MakeTrack(dir, "w.mp3", strAudio);
    STagChanges changes;
    changes.m_strTitle = "Song";
    changes.m_strArtist = "";
    changes.m_strYear = "1998";
    changes.m_nGenre = 17;
    ASSERT_TRUE(IsWritten(WriteChanges(track, changes)));
    EXPECT_TRUE(track.HasTag());
    EXPECT_EQ(track.GetSize(), 5000); // the record shows the file as it now is
    const std::string strExpected =
        "TAG" + Padded("Song", 30) + std::string(60, ' ') + "1998" + std::string(30, ' ') + "\x11";
    EXPECT_EQ(ReadBytes(dir.Path() / "w.mp3"), strAudio + strExpected);

    STagChanges other;
    other.m_strTitle = "Other";
    ASSERT_TRUE(IsWritten(WriteChanges(track, other)));
    EXPECT_EQ(track.GetTitle(), "Other");
    EXPECT_EQ(track.GetYear(), "1998");
    const std::string strAfter = ReadBytes(dir.Path() / "w.mp3");
    EXPECT_EQ(strAfter.size(), strAudio.size() + 128);
    EXPECT_EQ(strAfter.substr(0, strAudio.size()), strAudio);
    EXPECT_EQ(strAfter.substr(strAudio.size() + 3, 30), Padded("Other", 30));
}

TEST(TrackInfoWrite, ReplacesAnExistingTagAndKeepsTheTrackNumber) {
    CTempDir dir;
    std::string strTag = MakeTag("T", "A", "L", "2001", "", 3);
    strTag[125] = '\0';
    strTag[126] = '\x05';
    const std::string strAudio = Audio(777);
    CTrackInfo track = MakeTrack(dir, "v11.mp3", strAudio + strTag);
    EXPECT_EQ(track.GetTrack(), 5);
    STagChanges changes;
    changes.m_strComment = "New comment";
    ASSERT_TRUE(IsWritten(WriteChanges(track, changes)));
    const std::string strAfter = ReadBytes(dir.Path() / "v11.mp3");
    ASSERT_EQ(strAfter.size(), strAudio.size() + 128);
    EXPECT_EQ(strAfter.substr(0, strAudio.size()), strAudio);
    EXPECT_EQ(strAfter.substr(strAudio.size() + 97, 30), Padded("New comment", 28) + "\0\x05"s);
    EXPECT_EQ(track.GetTrack(), 5);
    EXPECT_EQ(track.GetComment(), "New comment");
}

TEST(TrackInfoWrite, LongFieldsNeverShiftTheLayout) {
    CTempDir dir;
    CTrackInfo track = MakeTrack(dir, "long.mp3", Audio(1000));
    STagChanges changes;
    changes.m_strTitle = std::string(50, 'T');
    changes.m_strArtist = std::string(31, 'A');
    changes.m_strYear = "123456";
    changes.m_nGenre = 9;
    ASSERT_TRUE(IsWritten(WriteChanges(track, changes)));
    const std::string strAfter = ReadBytes(dir.Path() / "long.mp3");
    ASSERT_EQ(strAfter.size(), 1128u);
    const CTrackInfo reread(dir.Str(), "long.mp3");
    EXPECT_EQ(reread.GetTitle(), std::string(30, 'T'));
    EXPECT_EQ(reread.GetArtist(), std::string(30, 'A'));
    EXPECT_EQ(reread.GetYear(), "1234");
    EXPECT_EQ(reread.GetGenreName(), "Metal");
}

TEST(TrackInfoWrite, LooksAtTheFileAsItIsNowNotAsItWasScanned) {
    CTempDir dir;
    const std::string strAudio = Audio(3000);
    STagChanges changes;
    changes.m_strYear = "2024";
    // Another program changed the title since the scan: the year alone changes, their title stays.
    CTrackInfo retitled = MakeTrack(dir, "t.mp3", strAudio + MakeTag("Old", "A", "", "1999"));
    WriteBytes(dir.Path() / "t.mp3", strAudio + MakeTag("Theirs", "A", "", "1999"));
    ASSERT_TRUE(IsWritten(WriteChanges(retitled, changes)));
    EXPECT_EQ(ReadBytes(dir.Path() / "t.mp3"), strAudio + MakeTag("Theirs", "A", "", "2024"));
    EXPECT_EQ(retitled.GetTitle(), "Theirs");

    // A tag removed or added since changes the file's length: it is no longer the file listed.
    CTrackInfo removed = MakeTrack(dir, "r.mp3", strAudio + MakeTag("T", "A"));
    WriteBytes(dir.Path() / "r.mp3", strAudio);
    EXPECT_EQ(WriteChanges(removed, changes).m_eStatus, EWriteStatus::ChangedSinceListed);
    EXPECT_EQ(ReadBytes(dir.Path() / "r.mp3"), strAudio);

    CTrackInfo added = MakeTrack(dir, "g.mp3", strAudio);
    WriteBytes(dir.Path() / "g.mp3", strAudio + MakeTag("X", "Y"));
    EXPECT_EQ(WriteChanges(added, changes).m_eStatus, EWriteStatus::ChangedSinceListed);
    EXPECT_EQ(ReadBytes(dir.Path() / "g.mp3"), strAudio + MakeTag("X", "Y"));
}

TEST(TrackInfoWrite, RefusesFilesItMayNotWriteAndLeavesThemAlone) {
    CTempDir dir;
    const std::string strBytes = Audio(400) + MakeTag("T", "A");
    STagChanges changes;
    changes.m_strTitle = "Changed";
    CTrackInfo readOnly = MakeTrack(dir, "ro.mp3", strBytes);
    fs::permissions(dir.Path() / "ro.mp3", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(WriteChanges(readOnly, changes).m_eStatus, EWriteStatus::NotWritable);
    EXPECT_EQ(ReadBytes(dir.Path() / "ro.mp3"), strBytes);
    EXPECT_EQ(readOnly.GetTitle(), "T"); // the record still shows the file

    CTrackInfo vanished = MakeTrack(dir, "gone.mp3", strBytes);
    fs::remove(dir.Path() / "gone.mp3");
    EXPECT_EQ(WriteChanges(vanished, changes).m_eStatus, EWriteStatus::ChangedSinceListed);
    EXPECT_FALSE(fs::exists(dir.Path() / "gone.mp3")); // never created

    fs::create_directory(dir.Path() / "dir.mp3");
    CTrackInfo folder(dir.Str(), "dir.mp3");
    EXPECT_EQ(WriteChanges(folder, changes).m_eStatus, EWriteStatus::ChangedSinceListed);
}

TEST(TrackInfoWrite, AnErrorAfterOpeningIsReportedWithThePath) {
    CTempDir dir;
    CTrackInfo track = MakeTrack(dir, "f.mp3", Audio(300));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The child may not grow any file past 300 bytes: the appended tag fails with EFBIG
        // after the open succeeded.
        ::signal(SIGXFSZ, SIG_IGN);
        const struct ::rlimit limit = {300, 300};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            STagChanges changes;
            changes.m_strTitle = "Grows";
            WriteChanges(track, changes);
        } catch (const CFileException& e) {
            ::_exit(e.GetPath() == track.GetFullPath() && e.GetErrno() == EFBIG ? 42 : 1);
        }
        ::_exit(2);
    }
    int nStatus = 0;
    ASSERT_EQ(::waitpid(pid, &nStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 42);
    EXPECT_EQ(ReadBytes(dir.Path() / "f.mp3"), Audio(300));
}

TEST(TrackInfo, EachSetterChangesItsFieldAloneAndCopiesAreIndependent) {
    CTempDir dir;
    WriteBytes(dir.Path() / "p.mp3", Audio(300) + MakeTag("Title", "Artist", "Album", "1999", "C"));
    CTrackInfo track(dir.Str(), "p.mp3");
    const CTrackInfo copy = track;
    track.SetAlbum("");
    track.SetTitle("A much longer title than the one before, " + std::string(60, 'x'));
    track.SetYear(track.GetTitle().substr(0, 4)); // a text taken from the record itself
    EXPECT_EQ(track.GetFileName(), "p.mp3");
    EXPECT_EQ(track.GetArtist(), "Artist");
    EXPECT_EQ(track.GetAlbum(), "");
    EXPECT_EQ(track.GetYear(), "A mu");
    EXPECT_EQ(track.GetComment(), "C");
    EXPECT_EQ(copy.GetTitle(), "Title");
    EXPECT_EQ(copy.GetAlbum(), "Album");
}

// A folder's records hold one text for its location however they were copied, moved or
// assigned, and it stays while any of them does: whichever goes first, on whatever thread.
TEST(TrackInfo, RecordsOfAFolderShareItsLocationUntilTheLastGoes) {
    const std::string strFolder = "/music/" + std::string(40, 'f'); // beyond a string's own room
    const struct {
        std::vector<std::size_t> arrDropped; // the records made below, in the order they go
        bool bThreads; // meanwhile each is copied and dropped on a thread of its own
    } aCases[] = {{{0, 1, 2, 3}, false}, {{3, 2, 1, 0}, false}, {{1, 3, 0, 2}, true}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.arrDropped[0]);
        std::vector<std::optional<CTrackInfo>> arrRecords(4);
        {
            const CSharedText location(strFolder); // a scan lets go of it after the folder
            arrRecords[0].emplace(location, "a.mp3", CTagBlock());
            arrRecords[1].emplace(location, "b.mp3", CTagBlock());
        }
        arrRecords[2].emplace(CSharedText("/elsewhere"), "c.mp3", CTagBlock());
        *arrRecords[2] = *arrRecords[1];
        CTrackInfo moved = *arrRecords[0];
        arrRecords[3].emplace(std::move(moved));
        std::atomic<int> nWrong{0};
        std::vector<std::thread> arrThreads;
        for (const std::optional<CTrackInfo>& record : arrRecords) {
            EXPECT_EQ(&record->GetLocation(), &arrRecords[0]->GetLocation());
            if (c.bThreads) {
                arrThreads.emplace_back([held = *record, &strFolder, &nWrong] {
                    for (int n = 0; n < 10000; ++n) {
                        nWrong += CTrackInfo(held).GetLocation() == strFolder ? 0 : 1;
                    }
                });
            }
        }
        for (const std::size_t nDropped : c.arrDropped) {
            arrRecords[nDropped].reset();
            for (const std::optional<CTrackInfo>& record : arrRecords) {
                nWrong += record && record->GetLocation() != strFolder ? 1 : 0;
            }
        }
        for (std::thread& thread : arrThreads) {
            thread.join();
        }
        EXPECT_EQ(nWrong, 0);
    }
}

// A record keeps the device a look at its file gives, made from the look or given anew: Linux's
// numbers whole, as kept catalogues hold them, and a wider one as every look folds it, still apart
// from the number without its high half.
TEST(TrackInfo, KeepsTheDeviceALookAtItsFileGives) {
    const struct {
        dev_t nDevice;
        bool bWhole;
    } aCases[] = {{makedev(8, 1), true},
                  {makedev(259, 0xFFFFF), true},
                  {0xFFFFFFFF, true},
                  {makedev(4096 + 8, 1), false}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.nDevice);
        struct stat st {};
        st.st_dev = c.nDevice;
        st.st_ino = 77;
        st.st_size = 1000;
        CTagBlock block;
        block.m_identity = SFileIdentity::Of(st);
        const CTrackInfo track(CSharedText("/m"), "a.mp3", block);
        CTrackInfo renumbered(CSharedText("/m"), "a.mp3", CTagBlock());
        renumbered.SetIdentity(SFileIdentity::Of(st));
        EXPECT_EQ(track.GetIdentity(), SFileIdentity::Of(st));
        EXPECT_EQ(renumbered.GetIdentity(), SFileIdentity::Of(st));
        st.st_dev &= 0xFFFFFFFF;
        EXPECT_EQ(track.GetIdentity() == SFileIdentity::Of(st), c.bWhole);
    }
}
