// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/tagsetcommand.h"

#include "catalogue/fileexception.h"
#include "catalogue/genres.h"
#include "catalogue/id3v2frames.h"
#include "catalogue/id3v2tag.h"
#include "catalogue/nameformat.h"
#include "catalogue/posixio.h"
#include "catalogue/tagfieldrules.h"
#include "catalogue/tagwriter.h"
#include "catalogue/trackinfo.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace {

std::string Describe(EWriteStatus eStatus) {
    switch (eStatus) {
    case EWriteStatus::NotWritable:
        return "the file is read-only or may not be written";
    case EWriteStatus::ChangedSinceListed:
        return "not a regular file, or it changed while it was being written";
    case EWriteStatus::NotEncodable:
        return "a text has no bytes in the tag encoding";
    case EWriteStatus::Id3v2NotWritten:
    case EWriteStatus::Written:
    case EWriteStatus::Unchanged:
        break;
    }
    return std::string();
}

struct SFileOutcome {
    std::string strFailure; // empty when the file went as asked
    std::optional<STagWriteResult> result;
};

// Reads and writes one file.
SFileOutcome SetTags(const std::string& strPath, const CTagSetCommand::CChangesOf& changesOf,
                     const CTagWriter& writer, CFileOps& ops) {
    const std::size_t nSlash = strPath.rfind('/');
    const std::string strFolder = nSlash == std::string::npos ? "." : strPath.substr(0, nSlash);
    const std::string strName = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    struct stat st;
    if (::stat(strPath.c_str(), &st) != 0) {
        return {std::strerror(errno), std::nullopt};
    }
    if (!S_ISREG(st.st_mode)) {
        return {"not a regular file", std::nullopt};
    }
    const CTagBlock block = CTagBlock::Read(-1, strPath.c_str(), ops);
    CTrackInfo track(CSharedText(strFolder), strName, block, writer.GetCodec());
    std::string strWhyNot;
    const std::optional<STagChanges> changes = changesOf(track, strWhyNot);
    if (!changes) {
        return {strWhyNot, std::nullopt};
    }
    try {
        STagWriteResult result = track.WriteTag(*changes, writer);
        std::string strFailure = result.m_eStatus == EWriteStatus::Id3v2NotWritten
                                     ? result.m_strWhyNot + "; its ID3v1 tag was left alone too"
                                     : Describe(result.m_eStatus);
        return {std::move(strFailure), std::move(result)};
    } catch (const CFileException& e) {
        return {std::strerror(e.GetErrno()), std::nullopt};
    }
}

// A record of the file as the bytes given leave it; none: the file has no tag.
CTrackInfo TrackOf(const std::optional<CId3v1Tag::CBytes>& bytes, const CTagCodec& codec) {
    CTagBlock block;
    block.m_identity.m_nFileSize = static_cast<std::int64_t>(CId3v1Tag::SIZE);
    block.m_bRead = bytes.has_value();
    if (bytes) {
        block.m_bytes = *bytes;
    }
    return CTrackInfo(CSharedText(), std::string(), block, codec);
}

void AppendChange(std::string& strOut, const char* pszField, std::string_view strOld,
                  std::string_view strNew) {
    if (strOld != strNew) {
        strOut += std::string("  ") + pszField + ": '" + std::string(strOld) + "' \xE2\x86\x92 '" +
                  std::string(strNew) + "'\n";
    }
}

// The fields the format finds in the record's file name, or nothing with why not.
std::optional<STagChanges> ChangesFromName(const CNameFormat& format, const CTrackInfo& track,
                                           const CTagCodec& codec, std::string& strWhyNot) {
    const auto arrFound = format.MatchFileName(track.GetFileName(), codec);
    if (!arrFound) {
        strWhyNot = "its name does not match the format";
        return std::nullopt;
    }
    SFieldRefusal refusal;
    std::optional<STagChanges> changes = CNameFormat::ToFittingChanges(*arrFound, codec, refusal);
    if (!changes) {
        strWhyNot = refusal.Text();
    }
    return changes;
}

std::string TrackText(int nTrack) {
    return nTrack == 0 ? std::string() : std::to_string(nTrack);
}

} // namespace

std::optional<STagChanges> CTagSetCommand::ParseAssignments(const std::vector<std::string>& arrSets,
                                                            std::string& strError) {
    STagChanges changes;
    for (const std::string& strSet : arrSets) {
        const std::size_t nEquals = strSet.find('=');
        if (nEquals == std::string::npos) {
            strError = "--set needs FIELD=VALUE, not '" + strSet + "'";
            return std::nullopt;
        }
        if (!CTagFieldRules::Assign(std::string_view(strSet).substr(0, nEquals),
                                    strSet.substr(nEquals + 1), changes, strError)) {
            return std::nullopt;
        }
    }
    return changes;
}

std::vector<std::string> CTagSetCommand::CheckLosses(const STagChanges& changes,
                                                     const std::vector<std::string>& arrFiles,
                                                     const CTagCodec& codec, CFileOps& ops) {
    std::vector<std::string> arrRefusals;
    // The two tags that have most to lose: one with a track number and a full 28-byte comment,
    // one without and a full 30-byte comment. Changes that lose nothing in either (most of
    // them: a title, a year) need no file read before the writes.
    using T = CId3v1Tag;
    if (changes.SilentLoss(1, T::COMMENT_WITH_TRACK_WIDTH, codec) == ETagLoss::None &&
        changes.SilentLoss(0, T::TEXT_WIDTH, codec) == ETagLoss::None) {
        return arrRefusals;
    }
    for (const std::string& strPath : arrFiles) {
        const CTagBlock block = CTagBlock::Read(-1, strPath.c_str(), ops);
        switch (changes.SilentLoss(block.m_bytes, codec)) {
        case ETagLoss::TrackNumber:
            arrRefusals.push_back("'" + strPath +
                                  "': the comment would replace its track number; add --set "
                                  "track= to take the track number away, or give a comment of "
                                  "28 bytes at most");
            break;
        case ETagLoss::CommentEnd:
            arrRefusals.push_back("'" + strPath +
                                  "': the track number would cut its comment of more than 28 "
                                  "bytes; add --set comment= with a comment of 28 bytes at "
                                  "most, or leave the track number out");
            break;
        case ETagLoss::None:
            break;
        }
    }
    return arrRefusals;
}

int CTagSetCommand::Run(const STagChanges& changes, const std::vector<std::string>& arrFiles,
                        const CTagCodec& codec, const SOptions& options, CFileOps& ops,
                        std::FILE* pOut, std::FILE* pErr) {
    const std::string strRefusal = CTagFieldRules::CheckWidths(changes, codec);
    if (!strRefusal.empty()) {
        std::fprintf(pErr, "tunebrowse: %s\n", strRefusal.c_str());
        return 2;
    }
    // Every file is looked at before the first is written: a refusal leaves them all as they
    // were, so that the same command, mended, can simply be run again.
    const std::vector<std::string> arrLosses = CheckLosses(changes, arrFiles, codec, ops);
    for (const std::string& strLoss : arrLosses) {
        std::fprintf(pErr, "tunebrowse: %s\n", strLoss.c_str());
    }
    if (!arrLosses.empty()) {
        return 2;
    }
    return WriteEach(
        arrFiles,
        [&changes](const CTrackInfo&, std::string&) { return std::optional<STagChanges>(changes); },
        codec, options, ops, pOut, pErr);
}

int CTagSetCommand::RunFromId3v2(const std::vector<std::string>& arrFiles, const CTagCodec& codec,
                                 const SOptions& options, CFileOps& ops, std::FILE* pOut,
                                 std::FILE* pErr) {
    return WriteEach(
        arrFiles,
        [&codec, &ops](const CTrackInfo& track, std::string& strWhyNot) {
            const CId3v2Tag other = CId3v2Tag::Read(track.GetFullPath(), ops);
            if (other.m_bRefused) {
                strWhyNot = "its ID3v2 tag was not read: a frame would take more than " +
                            std::to_string(CId3v2Frames::MAX_FRAME_BYTES >> 20) + " MiB (" +
                            std::to_string(CId3v2Frames::MAX_KEPT_BYTES >> 20) +
                            " MiB in all) once decompressed";
                return std::optional<STagChanges>();
            }
            STagChanges fill = OnlyEmptyFields(other.ToChanges(codec), track);
            fill.FitCommentBesideTrack(track.GetTrack(), codec);
            return std::optional<STagChanges>(fill);
        },
        codec, options, ops, pOut, pErr);
}

int CTagSetCommand::RunFromNames(const CNameFormat& format,
                                 const std::vector<std::string>& arrFiles, const CTagCodec& codec,
                                 const SOptions& options, CFileOps& ops, std::FILE* pOut,
                                 std::FILE* pErr) {
    return WriteEach(
        arrFiles,
        [&format, &codec, &ops](const CTrackInfo& track, std::string& strWhyNot) {
            std::optional<STagChanges> changes = ChangesFromName(format, track, codec, strWhyNot);
            if (!changes) {
                return changes;
            }
            const CTagBlock block = CTagBlock::Read(-1, track.GetFullPath().c_str(), ops);
            switch (changes->SilentLoss(block.m_bytes, codec)) {
            case ETagLoss::TrackNumber:
                strWhyNot = "the comment in its name would replace its track number";
                return std::optional<STagChanges>();
            case ETagLoss::CommentEnd:
                strWhyNot = "the track number in its name would cut its comment of more than 28 "
                            "bytes";
                return std::optional<STagChanges>();
            case ETagLoss::None:
                break;
            }
            return changes;
        },
        codec, options, ops, pOut, pErr);
}

std::string CTagSetCommand::DescribeChange(const std::string& strPath,
                                           const STagWriteResult& result, const CTagCodec& codec) {
    if (result.m_eStatus != EWriteStatus::Written || !result.m_undo) {
        return strPath + ": nothing to change\n";
    }
    const CTrackInfo before = TrackOf(result.m_undo->m_oldTag, codec);
    const CTrackInfo after = TrackOf(result.m_undo->m_newTag, codec);
    std::string strOut = strPath + (before.HasTag() ? "\n" : ": a new tag\n");
    AppendChange(strOut, "title", before.GetTitle(), after.GetTitle());
    // A file without a tag shows a placeholder for its artist, which is no text it holds.
    AppendChange(strOut, "artist", before.HasTag() ? before.GetArtist() : std::string_view(),
                 after.GetArtist());
    AppendChange(strOut, "album", before.GetAlbum(), after.GetAlbum());
    AppendChange(strOut, "year", before.GetYear(), after.GetYear());
    AppendChange(strOut, "comment", before.GetComment(), after.GetComment());
    AppendChange(strOut, "track", TrackText(before.GetTrack()), TrackText(after.GetTrack()));
    AppendChange(strOut, "genre", before.GetGenreName(), after.GetGenreName());
    if (result.m_undo->m_strNewId3v2) {
        strOut += "  (in its ID3v2 tag too)\n";
    }
    return strOut;
}

int CTagSetCommand::WriteEach(const std::vector<std::string>& arrFiles, const CChangesOf& changesOf,
                              const CTagCodec& codec, const SOptions& options, CFileOps& ops,
                              std::FILE* pOut, std::FILE* pErr) {
    CTagWriter::SOptions writeOptions;
    writeOptions.m_bKeepTimes = options.m_bKeepTimes;
    writeOptions.m_bDryRun = options.m_bDryRun;
    writeOptions.m_bAlsoId3v2 = options.m_bAlsoId3v2;
    const CTagWriter writer(ops, codec, writeOptions);
    int nExit = 0;
    for (const std::string& strPath : arrFiles) {
        const SFileOutcome outcome = SetTags(strPath, changesOf, writer, ops);
        if (!outcome.strFailure.empty()) {
            std::fprintf(pErr, "tunebrowse: cannot write '%s': %s\n", strPath.c_str(),
                         outcome.strFailure.c_str());
            nExit = 1;
            continue;
        }
        if (options.m_bDryRun) {
            const std::string strChange = outcome.result
                                              ? DescribeChange(strPath, *outcome.result, codec)
                                              : strPath + ": nothing to change\n";
            std::fputs(strChange.c_str(), pOut);
        } else if (outcome.result && !outcome.result->m_bTimesKept) {
            std::fprintf(pErr,
                         "tunebrowse: '%s' was written, but its modification time could not be "
                         "kept (only its owner may set it)\n",
                         strPath.c_str());
            nExit = 1;
        }
    }
    return nExit;
}
