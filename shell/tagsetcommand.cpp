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
    case EWriteStatus::Written:
    case EWriteStatus::Unchanged:
        break;
    }
    return std::string();
}

// Reads and writes one file; the empty text when it went well, otherwise why not.
std::string SetTags(const std::string& strPath, const CTagSetCommand::CChangesOf& changesOf,
                    const CTagWriter& writer, CFileOps& ops) {
    const std::size_t nSlash = strPath.rfind('/');
    const std::string strFolder = nSlash == std::string::npos ? "." : strPath.substr(0, nSlash);
    const std::string strName = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    struct stat st;
    if (::stat(strPath.c_str(), &st) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return "not a regular file";
    }
    const CTagBlock block = CTagBlock::Read(-1, strPath.c_str(), ops);
    CTrackInfo track(std::make_shared<const std::string>(strFolder), strName, block,
                     writer.GetCodec());
    std::string strWhyNot;
    const std::optional<STagChanges> changes = changesOf(track, strWhyNot);
    if (!changes) {
        return strWhyNot;
    }
    try {
        return Describe(track.WriteTag(*changes, writer).m_eStatus);
    } catch (const CFileException& e) {
        return std::strerror(e.GetErrno());
    }
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
                        const CTagCodec& codec, CFileOps& ops, std::FILE* pErr) {
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
        codec, ops, pErr);
}

int CTagSetCommand::RunFromId3v2(const std::vector<std::string>& arrFiles, const CTagCodec& codec,
                                 CFileOps& ops, std::FILE* pErr) {
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
        codec, ops, pErr);
}

int CTagSetCommand::WriteEach(const std::vector<std::string>& arrFiles, const CChangesOf& changesOf,
                              const CTagCodec& codec, CFileOps& ops, std::FILE* pErr) {
    const CTagWriter writer(ops, codec, false);
    int nExit = 0;
    for (const std::string& strPath : arrFiles) {
        const std::string strFailure = SetTags(strPath, changesOf, writer, ops);
        if (!strFailure.empty()) {
            std::fprintf(pErr, "tunebrowse: cannot write '%s': %s\n", strPath.c_str(),
                         strFailure.c_str());
            nExit = 1;
        }
    }
    return nExit;
}
