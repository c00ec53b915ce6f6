// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tracklist.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CFileOps;
class CKeptIndex;
class CThreadStarter;
class CTrackInfo;

// What the records of a scan depend on besides the files themselves: a kept catalogue made under
// other values is another's, and is not used.
struct SKeptOptions {
    std::string strFolder; // the folder scanned, as the records' locations begin
    std::string strPattern;
    std::string strCodec;     // the name of the tag texts' character set
    std::string strUndefined; // the artist of records without a tag, in the user's language
};

// A kept catalogue read by Load.
struct SKeptLoad {
    // The records in catalogue order, store after store: each decoding thread fills one.
    std::vector<std::deque<CTrackInfo>> arrStores;
    std::int64_t nReadSince = 0; // when the reads of the kept catalogue began
    // The file's bytes, which IndexAside reads again on a thread of its own.
    std::shared_ptr<const char> pBytes;
    std::size_t nSize = 0;
    SKeptOptions options;
};

// The catalogue of one folder kept between runs, in a file of its own in the user's cache
// folder, so that the next start shows it at once and only checks it against the disk. The file
// is a cache: one that cannot be read, or was written by another version or for other options,
// is ignored and later replaced; it is written whole to a temporary file and renamed over the
// old one, so that a reader never meets half of one.
class CKeptCatalogue {
public:
    // Bumped whenever the layout changes: older files are then ignored.
    static constexpr std::uint32_t VERSION = 2;
    // Records per part of the file: the parts are decoded side by side.
    static constexpr std::size_t PART_RECORDS = 16384;

    // $XDG_CACHE_HOME/tunebrowse, or ~/.cache/tunebrowse; "" when neither is known. The
    // environment's values are handed in.
    static std::string FolderFor(const char* pszCacheHome, const char* pszHome);
    // The file that keeps strFolder's catalogue: named by a hash of the path, so that any path,
    // however long or strange, gives a short plain name.
    static std::string FileName(const std::string& strFolder);
    static bool IsKeptFileName(std::string_view strName);

    // Puts a piece of the file at an offset; false when it could not.
    using FnPut = std::function<bool(std::string_view strPiece, std::uint64_t nAt)>;
    // The file's content: the options, the time the reads began (nanoseconds since the epoch;
    // files changed since then are not trusted later), then the records in catalogue order, in
    // parts of nPartRecords. Handed to fnPut a part at a time, the head last; false once
    // *pStop turns true (the records may change from then on) or a put fails.
    static bool Encode(const SKeptOptions& options, std::int64_t nReadSince,
                       const CTrackList& arrTracks, const FnPut& fnPut,
                       const std::atomic<bool>* pStop = nullptr,
                       std::size_t nPartRecords = PART_RECORDS);
    // The same content whole; empty once *pStop turns true.
    static std::string Encode(const SKeptOptions& options, std::int64_t nReadSince,
                              const CTrackList& arrTracks, const std::atomic<bool>* pStop = nullptr,
                              std::size_t nPartRecords = PART_RECORDS);
    // Records of a file Encode made for the same options; false, with arrRecords empty, for
    // anything else.
    static bool Decode(std::string_view strBytes, const SKeptOptions& options,
                       std::vector<CTrackInfo>& arrRecords, std::int64_t& nReadSince);

    // Writes strBytes as strName in strCacheFolder, made if need be (for the user alone): to a
    // temporary file, flushed to the disk, then renamed. False, with nothing left behind, when
    // any step fails.
    static bool Store(CFileOps& ops, const std::string& strCacheFolder, const std::string& strName,
                      const std::string& strBytes);
    // The same with the content put by fnFill, which says whether it put it all.
    using FnFill = std::function<bool(const FnPut& fnPut)>;
    static bool Store(CFileOps& ops, const std::string& strCacheFolder, const std::string& strName,
                      const FnFill& fnFill);
    // The file's bytes, "" when it cannot be read.
    static std::string ReadFile(const std::string& strPath);
    // Decode on the file's bytes, mapped rather than copied, its parts shared out among
    // nThreads threads (0: as many as the processors, within reason): a large catalogue shows
    // sooner. False, with nothing loaded, for a file Decode refuses.
    static bool Load(const std::string& strPath, const SKeptOptions& options, SKeptLoad& load,
                     std::size_t nThreads, CThreadStarter& starter);
    // The index that a check of load's records looks files up in, the same as one made from the
    // records, made from the file on a thread of its own while the records are shown.
    static std::shared_ptr<const CKeptIndex>
    IndexAside(const SKeptLoad& load, std::int64_t nTrustedBefore, CThreadStarter& starter);
    // Removes every kept catalogue in the folder, and what writes cut short left behind; nothing
    // else there.
    static void RemoveAll(const std::string& strCacheFolder);
};
