// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/artistentry.h"
#include "catalogue/genreentry.h"
#include "catalogue/groupindex.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tracklist.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CCatalogueHost;
class CDocView;
class CFileOps;
class CTrackInfo;

// The catalogue: every audio file found under one folder, grouped by artist and by genre.
// Views hold pointers into it from one HINT_REBUILD_END to the next HINT_REBUILD_BEGIN.
class CTunebrDoc {
public:
    // Scans list folders and read tags through ops.
    CTunebrDoc(CCatalogueHost& host, CFileOps& ops);
    ~CTunebrDoc();
    CTunebrDoc(const CTunebrDoc&) = delete;
    CTunebrDoc& operator=(const CTunebrDoc&) = delete;

    // Empties the catalogue and fills it from the folder and everything below it. A scan the
    // host stops keeps the files read until then, indexed and announced like a whole one; it
    // says so through WasScanStopped.
    void ScanFolder(std::string strFolder);
    bool WasScanStopped() const { return m_bScanStopped; }

    // Threads reading tags during a scan; with none the scan reads every file itself.
    void SetReaderCount(std::size_t nReaders) { m_nReaders = nReaders; }
    std::size_t GetReaderCount() const { return m_nReaders; }

    // How the next scans decode tag texts.
    void SetTagCodec(CTagCodec codec) { m_codec = std::move(codec); }
    const CTagCodec& GetTagCodec() const { return m_codec; }

    // Regroups the existing records, for instance after a tag edit changed an artist.
    void RebuildIndex();

    const std::string& GetTitle() const { return m_strTitle; }
    CTrackList* GetTracks() { return &m_arrTracks; }
    const std::vector<std::unique_ptr<CArtistEntry>>& GetArtists() const { return m_arrArtists; }
    const std::vector<std::unique_ptr<CGenreEntry>>& GetGenres() const { return m_arrGenres; }

    void AddView(CDocView* pView);
    void RemoveView(CDocView* pView);
    // Tells every view but the sender.
    void UpdateAllViews(CDocView* pSender, int nHint, CTrackList* pTracks = nullptr);

    CArtistEntry* FindArtist(std::string_view strName) const;
    CArtistEntry* AddArtist(std::string strName);
    CGenreEntry* FindGenre(std::string_view strName) const;
    CGenreEntry* AddGenre(std::string strName);
    void AddToArtistIndex(CTrackInfo* pTrack);
    void AddToGenreIndex(CTrackInfo* pTrack);
    void ClearArtists();
    void ClearGenres();
    void ClearCatalogue();

private:
    class CScanSink;

    // The most readers: a file server answers as many requests at once as it is sent, and the
    // pool grows this far only while reads wait; see the scan and share benchmarks.
    static constexpr std::size_t DEFAULT_READERS = 64;

    void AddFolder(const std::string& strFolder, const std::string& strPattern);
    void AddTrack(CTrackInfo&& track);
    // Ends filing records into the index: drops the groups left empty, orders the others by their
    // first record, and trims the lists, calling fnBetweenSteps after each longer step.
    void FinishFiling(const std::function<void()>& fnBetweenSteps);
    void TrimIndex(const std::function<void()>& fnBetweenSteps);

    CTrackList m_arrTracks; // in scan order
    std::vector<std::unique_ptr<CArtistEntry>> m_arrArtists;
    std::vector<std::unique_ptr<CGenreEntry>> m_arrGenres;

    // The records themselves; a deque keeps their addresses fixed while it grows.
    std::deque<CTrackInfo> m_storeTracks;
    CGroupIndex<CArtistEntry> m_artistIndex{m_arrArtists};
    CGroupIndex<CGenreEntry> m_genreIndex{m_arrGenres};

    CCatalogueHost& m_host;
    CFileOps& m_fileOps;
    std::string m_strTitle;
    std::size_t m_nReaders = DEFAULT_READERS;
    CTagCodec m_codec;
    bool m_bScanStopped = false;
    std::vector<CDocView*> m_arrViews;
};
