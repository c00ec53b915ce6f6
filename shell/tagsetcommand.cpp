// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/tagsetcommand.h"

#include "catalogue/fileexception.h"
#include "catalogue/genres.h"
#include "catalogue/id3v2frames.h"
#include "catalogue/id3v2tag.h"
#include "catalogue/posixio.h"
#include "catalogue/tagwriter.h"
#include "catalogue/trackinfo.h"
#include "res/strings.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

// A whole number from nMin to nMax, nothing else.
std::optional<int> ParseNumber(const std::string& strText, int nMin, int nMax) {
    if (strText.empty() || strText.size() > 3 ||
        strText.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int nValue = std::stoi(strText);
    if (nValue < nMin || nValue > nMax) {
        return std::nullopt;
    }
    return nValue;
}

// By its number, or by its name in the table without regard to letter case.
std::optional<unsigned char> ParseGenre(const std::string& strText) {
    if (const std::optional<int> nGenre = ParseNumber(strText, 0, 255)) {
        return static_cast<unsigned char>(*nGenre);
    }
    const QString strWanted = QString::fromStdString(strText);
    for (int nGenre = 0; nGenre < GENRE_NONE; ++nGenre) {
        if (strWanted.compare(QString::fromUtf8(g_szGenreNames[nGenre]), Qt::CaseInsensitive) ==
            0) {
            return static_cast<unsigned char>(nGenre);
        }
    }
    return std::nullopt;
}

// The placeholder shown for files without an artist is no name to store.
std::string WithoutPlaceholder(const std::string& strArtist) {
    const bool bPlaceholder = strArtist == LoadString(IDS_UNDEFINED, ELanguage::English) ||
                              strArtist == LoadString(IDS_UNDEFINED, ELanguage::French);
    return bPlaceholder ? std::string() : strArtist;
}

struct SField {
    const char* pszName;
    std::optional<std::string> STagChanges::*pText;
    std::size_t nWidth;
};

const SField s_aTextFields[] = {
    {"title", &STagChanges::m_strTitle, CId3v1Tag::TEXT_WIDTH},
    {"artist", &STagChanges::m_strArtist, CId3v1Tag::TEXT_WIDTH},
    {"album", &STagChanges::m_strAlbum, CId3v1Tag::TEXT_WIDTH},
    {"year", &STagChanges::m_strYear, CId3v1Tag::YEAR_WIDTH},
    {"comment", &STagChanges::m_strComment, CId3v1Tag::TEXT_WIDTH},
};

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
    CTrackInfo track(std::make_shared<const std::string>(strFolder), strName, block,
                     writer.GetCodec());
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
    return CTrackInfo(std::make_shared<const std::string>(), std::string(), block, codec);
}

void AppendChange(std::string& strOut, const char* pszField, std::string_view strOld,
                  std::string_view strNew) {
    if (strOld != strNew) {
        strOut += std::string("  ") + pszField + ": '" + std::string(strOld) + "' \xE2\x86\x92 '" +
                  std::string(strNew) + "'\n";
    }
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
        const std::string strField = strSet.substr(0, nEquals);
        const std::string strValue = nEquals == std::string::npos ? "" : strSet.substr(nEquals + 1);
        if (nEquals == std::string::npos) {
            strError = "--set needs FIELD=VALUE, not '" + strSet + "'";
            return std::nullopt;
        }
        bool bKnown = false;
        for (const SField& field : s_aTextFields) {
            if (strField == field.pszName) {
                changes.*field.pText =
                    strField == "artist" ? WithoutPlaceholder(strValue) : strValue;
                bKnown = true;
            }
        }
        if (bKnown) {
            continue;
        }
        if (strField == "track") {
            // An empty value takes the track number away; 0 is no track number to write.
            changes.m_nTrack = strValue.empty() ? 0 : ParseNumber(strValue, 1, 255).value_or(-1);
            if (*changes.m_nTrack < 0) {
                strError = "track: '" + strValue + "' is no number from 1 to 255";
                return std::nullopt;
            }
        } else if (strField == "genre") {
            changes.m_nGenre = ParseGenre(strValue);
            if (!changes.m_nGenre) {
                strError = "genre: '" + strValue +
                           "' is neither a number from 0 to 255 nor a "
                           "genre name";
                return std::nullopt;
            }
        } else {
            strError = "unknown field '" + strField +
                       "' (title, artist, album, year, comment, track, genre)";
            return std::nullopt;
        }
    }
    return changes;
}

std::string CTagSetCommand::CheckWidths(const STagChanges& changes, const CTagCodec& codec) {
    for (const SField& field : s_aTextFields) {
        const std::optional<std::string>& strText = changes.*field.pText;
        if (!strText) {
            continue;
        }
        const std::optional<std::string> strBytes = codec.Encode(*strText);
        if (!strBytes) {
            return std::string(field.pszName) + ": '" + *strText + "' has characters that " +
                   codec.GetName() + " cannot store";
        }
        if (strBytes->size() > field.nWidth) {
            return std::string(field.pszName) + ": " + std::to_string(strBytes->size()) +
                   " bytes in " + codec.GetName() + ", over the field's " +
                   std::to_string(field.nWidth);
        }
    }
    // The editor's rule: a comment set beside a track number leaves it its two bytes.
    if (changes.SilentLoss(0, 0, codec) != ETagLoss::None) {
        return "comment: " + std::to_string(codec.Encode(*changes.m_strComment)->size()) +
               " bytes in " + codec.GetName() + ", over the 28 a track number leaves it";
    }
    return std::string();
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
    const std::string strRefusal = CheckWidths(changes, codec);
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
