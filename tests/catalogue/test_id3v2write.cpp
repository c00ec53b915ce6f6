// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Edits that reach the ID3v2 tag too: read back with TagLib, every other frame and the audio
// compared, taken back by an undo, and never a half-written file.
#include "catalogue/fileexception.h"
#include "catalogue/posixio.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagwriter.h"
#include "catalogue/trackinfo.h"
#include "tests/support/fakefileops.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>

#include <cerrno>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Each frame of a tag, by TagLib, rendered: "ID" and its bytes, in tag order.
std::vector<std::pair<std::string, std::string>> FramesOf(const std::string& strFile) {
    TagLib::ByteVector bytes(strFile.data(), static_cast<unsigned int>(strFile.size()));
    TagLib::ByteVectorStream stream(bytes);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    std::vector<std::pair<std::string, std::string>> arrFrames;
    if (file.hasID3v2Tag()) {
        for (const TagLib::ID3v2::Frame* pFrame : file.ID3v2Tag()->frameList()) {
            const TagLib::ByteVector rendered = pFrame->render();
            arrFrames.emplace_back(std::string(pFrame->frameID().data(), 4),
                                   std::string(rendered.data(), rendered.size()));
        }
    }
    return arrFrames;
}

std::string TextOf(const std::string& strFile, const char* pszId) {
    TagLib::ByteVector bytes(strFile.data(), static_cast<unsigned int>(strFile.size()));
    TagLib::ByteVectorStream stream(bytes);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.hasID3v2Tag() || file.ID3v2Tag()->frameListMap()[pszId].isEmpty()) {
        return "(none)";
    }
    return file.ID3v2Tag()->frameListMap()[pszId].front()->toString().to8Bit(true);
}

// The tag's size as its header gives it, header included; 0 without a tag.
std::size_t TagLength(const std::string& strFile) {
    if (strFile.compare(0, 3, "ID3") != 0) {
        return 0;
    }
    std::size_t nSize = 0;
    for (int i = 6; i < 10; ++i) {
        nSize = (nSize << 7) | (static_cast<unsigned char>(strFile[i]) & 0x7F);
    }
    return 10 + nSize;
}

// The frames of nVersion a collector's file may hold beside the seven fields.
std::string OtherFrames(int nVersion) {
    return Id3v2Frame(nVersion, "TXXX", Id3v2Text(0, std::string("MOOD\0calm", 9))) +
           Id3v2Frame(nVersion, "COMM", Id3v2Text(0, Id3v2Comment("iTunNORM", " 0000 1234"))) +
           Id3v2Frame(nVersion, "PRIV", std::string("owner\0\x01\x02\xFF\x00\x7F", 11)) +
           Id3v2Frame(nVersion, "TPE2", Id3v2Text(1, Utf16(u"Orchestre \u00e9t\u00e9")));
}

std::string Tag(int nVersion, const std::string& strFrames, std::size_t nPadding) {
    return Id3v2RawTag(nVersion, 0, strFrames.size() + nPadding,
                       strFrames + std::string(nPadding, '\0'));
}

CTrackInfo TrackOf(const fs::path& path) {
    return CTrackInfo(path.parent_path().string(), path.filename().string());
}

std::size_t FolderEntries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

} // namespace

TEST(Id3v2Write, TheFieldsSetReachTheId3v2TagAndEverythingElseKeepsItsBytes) {
    const std::string strV1 = MakeTag("Old title", "Old artist", "", "1999", "", 17);
    const struct {
        const char* pszName;
        std::string strTag; // the ID3v2 tag before; empty: none
        STagChanges changes;
        std::map<std::string, std::string> mapTexts; // frame: text after ("(none)": removed)
        bool bGrows;            // the tag outgrows its room: the file is written anew
        const char* pszRefused; // in why the edit is refused; nothing is written then
    } aCases[] = {
        {"in its padding, 2.3",
         Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, "Old title")) + OtherFrames(3), 200),
         [] {
             STagChanges c;
             c.m_strTitle = "Caf\xC3\xA9 \xE2\x82\xAC";
             c.m_strYear = "2001";
             c.m_nGenre = 8;
             return c;
         }(),
         {{"TIT2", "Caf\xC3\xA9 \xE2\x82\xAC"}, {"TDRC", "2001"}, {"TCON", "Jazz"}},
         false,
         nullptr},
        {"track with its total, comment beside the player's, 2.4",
         Tag(4,
             Id3v2Frame(4, "TRCK", Id3v2Text(3, "3/12")) + OtherFrames(4) +
                 Id3v2Frame(4, "COMM", Id3v2Text(0, Id3v2Comment("", "old"))),
             100),
         [] {
             STagChanges c;
             c.m_nTrack = 5;
             c.m_strComment = "new";
             c.m_strArtist = "";
             return c;
         }(),
         {{"TRCK", "5/12"}, {"TPE1", "(none)"}},
         false,
         nullptr},
        {"past its room",
         Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, "Old")) + OtherFrames(3), 0),
         [] {
             STagChanges c;
             c.m_strTitle = "A title longer than the old one";
             c.m_strAlbum = "Album";
             return c;
         }(),
         {{"TIT2", "A title longer than the old one"}, {"TALB", "Album"}},
         true,
         nullptr},
        // A copy cut to ID3v1's width leaves the frame it came from whole.
        {"copied back",
         Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, std::string(40, 't'))) + OtherFrames(3), 0),
         [] {
             STagChanges c;
             c.m_strTitle = std::string(30, 't');
             return c;
         }(),
         {{"TIT2", std::string(40, 't')}},
         false,
         nullptr},
        {"no ID3v2 tag",
         "",
         [] {
             STagChanges c;
             c.m_strTitle = "New";
             return c;
         }(),
         {},
         false,
         nullptr},
        {"version 2.2",
         Id3v2Tag(2, Id3v2Frame(2, "TT2", Id3v2Text(0, "Old"))),
         [] {
             STagChanges c;
             c.m_strTitle = "New";
             return c;
         }(),
         {},
         false,
         "2.2"},
        {"unsynchronised",
         Id3v2RawTag(3, 0x80, 20,
                     Id3v2Frame(3, "TIT2", Id3v2Text(0, "Old")) + std::string(6, '\0')),
         [] {
             STagChanges c;
             c.m_strTitle = "New";
             return c;
         }(),
         {},
         false,
         "unsynchronised"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszName);
        CTempDir dir;
        const fs::path path = dir.Path() / "a.mp3";
        const std::string strAudio = MpegFrames();
        const std::string strBefore = c.strTag + strAudio + strV1;
        WriteBytes(path, strBefore);
        ::chmod(path.c_str(), 0640);
        struct stat stBefore {};
        ::stat(path.c_str(), &stBefore);

        CFileOps ops;
        CTagWriter::SOptions options;
        options.m_bAlsoId3v2 = true;
        options.m_bKeepTimes = true;
        const CTagWriter writer(ops, CTagCodec(), options);
        CTrackInfo track = TrackOf(path);
        const STagWriteResult result = track.WriteTag(c.changes, writer);
        const std::string strAfter = ReadBytes(path);
        if (c.pszRefused != nullptr) {
            EXPECT_EQ(result.m_eStatus, EWriteStatus::Id3v2NotWritten);
            EXPECT_NE(result.m_strWhyNot.find(c.pszRefused), std::string::npos)
                << result.m_strWhyNot;
            EXPECT_TRUE(strAfter == strBefore) << "a refused edit changed the file";
            continue;
        }
        ASSERT_EQ(result.m_eStatus, EWriteStatus::Written);
        const std::size_t nTag = TagLength(strAfter);
        EXPECT_EQ(nTag > c.strTag.size(), c.bGrows);
        // The audio between the tags, byte for byte; the ID3v1 tag as the edit makes it.
        ASSERT_EQ(strAfter.size(), nTag + strAudio.size() + 128);
        EXPECT_TRUE(strAfter.compare(nTag, strAudio.size(), strAudio) == 0);
        EXPECT_EQ(track.GetTitle(), c.changes.m_strTitle ? c.changes.m_strTitle->substr(0, 30)
                                                         : std::string("Old title"));
        for (const auto& [strId, strText] : c.mapTexts) {
            EXPECT_EQ(TextOf(strAfter, strId.c_str()), strText) << strId;
        }
        // Every other frame as TagLib reads it, in the same order.
        std::vector<std::pair<std::string, std::string>> arrOld = FramesOf(strBefore);
        std::vector<std::pair<std::string, std::string>> arrNew = FramesOf(strAfter);
        const auto isEdited = [&c](const std::pair<std::string, std::string>& frame) {
            return c.mapTexts.count(frame.first) != 0 ||
                   (frame.first == "COMM" && frame.second.find("iTunNORM") == std::string::npos);
        };
        arrOld.erase(std::remove_if(arrOld.begin(), arrOld.end(), isEdited), arrOld.end());
        arrNew.erase(std::remove_if(arrNew.begin(), arrNew.end(), isEdited), arrNew.end());
        EXPECT_EQ(arrNew, arrOld);
        if (c.strTag.empty()) {
            EXPECT_EQ(nTag, 0u) << "a file without an ID3v2 tag got one";
        }
        // Written anew or in place, the file keeps its mode, its time, and no copy stays.
        struct stat stAfter {};
        ::stat(path.c_str(), &stAfter);
        EXPECT_EQ(stAfter.st_ino != stBefore.st_ino, c.bGrows);
        EXPECT_EQ(stAfter.st_mode, stBefore.st_mode);
        EXPECT_EQ(stAfter.st_mtim.tv_sec, stBefore.st_mtim.tv_sec);
        EXPECT_EQ(stAfter.st_mtim.tv_nsec, stBefore.st_mtim.tv_nsec);
        EXPECT_EQ(FolderEntries(dir.Path()), 1u);
        EXPECT_EQ(track.GetIdentity(), SFileIdentity::Of(stAfter));

        // Undo takes both tags back, to the byte.
        ASSERT_TRUE(result.m_undo);
        EXPECT_EQ(writer.Undo(*result.m_undo).m_eStatus, EWriteStatus::Written);
        EXPECT_TRUE(ReadBytes(path) == strBefore) << "the undo left the file changed";
        EXPECT_EQ(FolderEntries(dir.Path()), 1u);
    }
}

TEST(Id3v2Write, AFailedRewriteLeavesTheFileWholeAndNoCopyBehind) {
    enum class EStep { Copy, Fsync, Rename };
    const std::string strBefore = Tag(4, Id3v2Frame(4, "TIT2", Id3v2Text(0, "Old")), 0) +
                                  MpegFrames() + MakeTag("Old", "", "", "", "", 17);
    const struct {
        EStep eStep;
        int nErrno;
    } aCases[] = {{EStep::Copy, ENOSPC}, {EStep::Fsync, EIO}, {EStep::Rename, EXDEV}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.nErrno);
        CTempDir dir;
        const fs::path path = dir.Path() / "a.mp3";
        WriteBytes(path, strBefore);
        CFakeFileOps ops;
        int nCopyFd = -1;
        switch (c.eStep) {
        case EStep::Copy: // the copy's first bytes are written, not the rest
            ops.Around(EFileOp::CreateAt, [&](SFileCall&, const CFakeFileOps::FnGoOn& fnGoOn) {
                nCopyFd = static_cast<int>(fnGoOn());
                return ssize_t{nCopyFd};
            });
            ops.Fail(EFileOp::Pwrite, c.nErrno, [&](const SFileCall& call) {
                return call.nFd == nCopyFd && call.nOffset > 0;
            });
            break;
        case EStep::Fsync:
            ops.Fail(EFileOp::Fsync, c.nErrno);
            break;
        case EStep::Rename:
            ops.Fail(EFileOp::Rename, c.nErrno);
            break;
        }
        CTagWriter::SOptions options;
        options.m_bAlsoId3v2 = true;
        CTrackInfo track = TrackOf(path);
        STagChanges changes;
        changes.m_strTitle = "Longer than the old title";
        try {
            track.WriteTag(changes, CTagWriter(ops, CTagCodec(), options));
            ADD_FAILURE() << "the failure was not reported";
        } catch (const CFileException& e) {
            EXPECT_EQ(e.GetErrno(), c.nErrno);
            EXPECT_EQ(e.GetPath(), path.string());
        }
        EXPECT_TRUE(ReadBytes(path) == strBefore) << "the file changed";
        EXPECT_EQ(FolderEntries(dir.Path()), 1u) << "a copy was left behind";
    }
}

TEST(Id3v2Write, AFileWithOtherNamesIsNotWrittenAnewAndKeepsBothTags) {
    CTempDir dir;
    const fs::path path = dir.Path() / "a.mp3";
    const std::string strBefore =
        Tag(3, Id3v2Frame(3, "TIT2", Id3v2Text(0, "Old")), 0) + MpegFrames();
    WriteBytes(path, strBefore);
    fs::create_hard_link(path, dir.Path() / "b.mp3");
    CFileOps ops;
    CTagWriter::SOptions options;
    options.m_bAlsoId3v2 = true;
    CTrackInfo track = TrackOf(path);
    STagChanges changes;
    changes.m_strTitle = "Longer than the old title";
    const STagWriteResult result = track.WriteTag(changes, CTagWriter(ops, CTagCodec(), options));
    EXPECT_EQ(result.m_eStatus, EWriteStatus::Id3v2NotWritten);
    EXPECT_NE(result.m_strWhyNot.find("hard links"), std::string::npos);
    EXPECT_TRUE(ReadBytes(path) == strBefore);
}
