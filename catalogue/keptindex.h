// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/mutex.h"
#include "catalogue/tagblock.h"
#include "catalogue/threadsafety.h"
#include "catalogue/tracklist.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

class CThreadStarter;
class CTrackInfo;

// What a check of a kept catalogue against the disk looks up for each file it lists: the file
// as the kept record saw it, found by its folder and name. It copies what it needs of the
// records, so that the check reads it on its own thread while the window's thread changes the
// records themselves.
class CKeptIndex {
public:
    // Records whose file changed at or after nTrustedBefore (nanoseconds since the epoch) are
    // read again whatever they look like: a change in the same tick of the clock as the read
    // leaves the times as they were.
    CKeptIndex(const CTrackList& arrRecords, std::int64_t nTrustedBefore);
    // Waits for a filling begun by FillAside: it reads into this index.
    ~CKeptIndex();
    CKeptIndex(const CKeptIndex&) = delete;
    CKeptIndex& operator=(const CKeptIndex&) = delete;

    // An index that fnFill fills, through Add, on a thread of its own, so that a large catalogue
    // is shown without waiting for its index: Find waits until the filling has ended. Where no
    // thread can be started, fnFill runs on the caller's.
    static std::shared_ptr<const CKeptIndex> FillAside(std::int64_t nTrustedBefore,
                                                       std::function<void(CKeptIndex&)> fnFill,
                                                       CThreadStarter& starter);

    // Room for nRecords records, so that a large index is not copied as it grows.
    void Reserve(std::size_t nRecords);
    // The next record, in catalogue order: the records of a folder follow one another.
    void Add(std::string_view strLocation, std::string_view strName, const SKnownFile& file,
             bool bRead);

    // The file at position nIndex of the records, or null when it is not there or must be read
    // again.
    const SKnownFile* Find(const std::string& strLocation, std::string_view strName) const;
    std::size_t IndexOf(const SKnownFile* pFile) const {
        return static_cast<std::size_t>(pFile - m_arrFiles.data());
    }
    std::size_t GetCount() const;

private:
    explicit CKeptIndex(std::int64_t nTrustedBefore);
    std::string_view NameAt(std::size_t nIndex) const;
    void WaitFilled() const;
    void EndFilling();

    const std::int64_t m_nTrustedBefore;
    std::vector<SKnownFile> m_arrFiles;
    std::vector<bool> m_arrTrusted;
    std::string m_strNames;                 // the file names end to end
    std::vector<std::size_t> m_arrNameEnds; // where each ends in m_strNames
    // Each folder's records follow one another, in name order, as a scan makes them.
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> m_mapFolders;
    // The folder Add files into, its first record's position.
    std::pair<std::string, std::size_t> m_folder;

    // Set once the filling has ended; everything above is read only after it.
    std::atomic<bool> m_bFilled{true};
    mutable CMutex m_mutex;
    mutable std::condition_variable m_cvFilled;
    std::thread m_filler;
};
