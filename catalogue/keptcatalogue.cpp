// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/keptcatalogue.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/keptindex.h"
#include "catalogue/posixio.h"
#include "catalogue/sharedtext.h"
#include "catalogue/sidebyside.h"
#include "catalogue/threadstarter.h"
#include "catalogue/trackinfo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace {

// "TBKC" and a byte that no text file starts with.
constexpr std::string_view MAGIC("TBKC\x1A\0\0\0", 8);
constexpr std::string_view FILE_SUFFIX = ".catalogue";
constexpr std::string_view TEMP_MARK = ".catalogue.tmp-";
// Magic, version, checksum of what comes before the parts: the options, the counts and the table
// of parts, which holds each part's own checksum.
constexpr std::size_t HEADER_SIZE = MAGIC.size() + 4 + 4;
// A part's size and checksum.
constexpr std::size_t PART_ENTRY_SIZE = 4 + 4;
// Decoding threads beyond this many gain little: the records' memory is the bound.
constexpr std::size_t MOST_DECODERS = 8;

// A record takes at least its location flag, three bytes, five numbers and six text lengths: a
// count beyond what the bytes left can hold is refused before anything is made for it.
constexpr std::size_t MIN_RECORD_SIZE = 1 + 3 + 5 + 6;

constexpr unsigned char HAS_TAG = 1;
constexpr unsigned char WAS_READ = 2;

class CByteWriter {
public:
    void Fixed32(std::uint32_t nValue) {
        for (int i = 0; i < 4; ++i) {
            m_str += static_cast<char>((nValue >> (8 * i)) & 0xFF);
        }
    }
    void Unsigned(std::uint64_t nValue) {
        while (nValue >= 0x80) {
            m_str += static_cast<char>((nValue & 0x7F) | 0x80);
            nValue >>= 7;
        }
        m_str += static_cast<char>(nValue);
    }
    // Zigzag, so that small negative values stay short.
    void Signed(std::int64_t nValue) {
        Unsigned((static_cast<std::uint64_t>(nValue) << 1) ^
                 static_cast<std::uint64_t>(nValue >> 63));
    }
    void Byte(unsigned char nValue) { m_str += static_cast<char>(nValue); }
    void Text(std::string_view str) {
        Unsigned(str.size());
        m_str += str;
    }
    std::string& Bytes() { return m_str; }

private:
    std::string m_str;
};

// Every read checks what is left: a file cut short or made up fails, it never reads beyond.
class CByteReader {
public:
    explicit CByteReader(std::string_view str) : m_str(str) {}

    bool Fixed32(std::uint32_t& nValue) {
        if (m_str.size() < 4) {
            return false;
        }
        nValue = 0;
        for (int i = 0; i < 4; ++i) {
            nValue |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_str[i])) << (8 * i);
        }
        m_str.remove_prefix(4);
        return true;
    }
    bool Unsigned(std::uint64_t& nValue) {
        nValue = 0;
        for (int nShift = 0; nShift < 64; nShift += 7) {
            if (m_str.empty()) {
                return false;
            }
            const auto nByte = static_cast<unsigned char>(m_str.front());
            m_str.remove_prefix(1);
            nValue |= static_cast<std::uint64_t>(nByte & 0x7F) << nShift;
            if ((nByte & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }
    bool Signed(std::int64_t& nValue) {
        std::uint64_t nZigzag;
        if (!Unsigned(nZigzag)) {
            return false;
        }
        nValue = static_cast<std::int64_t>(nZigzag >> 1) ^ -static_cast<std::int64_t>(nZigzag & 1);
        return true;
    }
    bool Byte(unsigned char& nValue) {
        if (m_str.empty()) {
            return false;
        }
        nValue = static_cast<unsigned char>(m_str.front());
        m_str.remove_prefix(1);
        return true;
    }
    bool Text(std::string_view& str) {
        std::uint64_t nSize;
        if (!Unsigned(nSize) || nSize > m_str.size()) {
            return false;
        }
        str = m_str.substr(0, nSize);
        m_str.remove_prefix(nSize);
        return true;
    }
    bool IsAtEnd() const { return m_str.empty(); }
    std::size_t Left() const { return m_str.size(); }

private:
    std::string_view m_str;
};

std::uint32_t Checksum(std::string_view strBody) {
    return static_cast<std::uint32_t>(crc32_z(
        crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(strBody.data()), strBody.size()));
}

void WriteOptions(CByteWriter& writer, const SKeptOptions& options) {
    for (const std::string* pText :
         {&options.strFolder, &options.strPattern, &options.strCodec, &options.strUndefined}) {
        writer.Text(*pText);
    }
}

bool HasOptions(CByteReader& reader, const SKeptOptions& options) {
    for (const std::string* pText :
         {&options.strFolder, &options.strPattern, &options.strCodec, &options.strUndefined}) {
        std::string_view strText;
        if (!reader.Text(strText) || strText != *pText) {
            return false;
        }
    }
    return true;
}

void WriteTrack(CByteWriter& writer, const CTrackInfo& track) {
    const SFileIdentity identity = track.GetIdentity();
    writer.Byte(static_cast<unsigned char>((track.HasTag() ? HAS_TAG : 0) |
                                           (track.WasRead() ? WAS_READ : 0)));
    writer.Byte(track.GetGenre());
    writer.Byte(static_cast<unsigned char>(track.GetTrack()));
    writer.Unsigned(identity.m_nDevice);
    writer.Unsigned(identity.m_nInode);
    writer.Signed(identity.m_nFileSize);
    writer.Signed(track.GetStamp().m_nModified);
    writer.Signed(track.GetStamp().m_nChanged);
    for (const std::string_view strText : {track.GetFileName(), track.GetTitle(), track.GetArtist(),
                                           track.GetAlbum(), track.GetYear(), track.GetComment()}) {
        writer.Text(strText);
    }
}

// A record as the file holds it; its texts view the file's bytes.
struct SKeptRecord {
    unsigned char nFlags;
    unsigned char nGenre;
    unsigned char nTrack;
    SKnownFile file;
    std::array<std::string_view, 6> arrTexts;
};

bool ReadTrack(CByteReader& reader, SKeptRecord& record) {
    std::uint64_t nDevice;
    std::uint64_t nInode;
    if (!reader.Byte(record.nFlags) || !reader.Byte(record.nGenre) || !reader.Byte(record.nTrack) ||
        !reader.Unsigned(nDevice) || !reader.Unsigned(nInode) ||
        !reader.Signed(record.file.m_identity.m_nFileSize) ||
        !reader.Signed(record.file.m_stamp.m_nModified) ||
        !reader.Signed(record.file.m_stamp.m_nChanged)) {
        return false;
    }
    for (std::string_view& strText : record.arrTexts) {
        if (!reader.Text(strText)) {
            return false;
        }
    }
    // Earlier versions kept the device number whole: folded, it is what a look at the file gives.
    record.file.m_identity.m_nDevice = SFileIdentity::DeviceOf(nDevice);
    record.file.m_identity.m_nInode = static_cast<ino_t>(nInode);
    return true;
}

// Records are kept in parts that each begin with a location and hold a checksum of their own,
// so that threads decode them side by side and each checks what it decodes.
struct SKeptPart {
    std::string_view strBytes;
    std::uint32_t nChecksum = 0;
    std::uint64_t nRecords = 0;
};

struct SKeptLayout {
    std::int64_t nReadSince = 0;
    std::uint64_t nCount = 0;
    std::vector<SKeptPart> arrParts;
};

// The header of a file Encode made for the same options, its checksum and its table of parts
// checked: the parts' sizes must add up to the rest of the file exactly.
bool ReadLayout(std::string_view strBytes, const SKeptOptions& options, SKeptLayout& layout) {
    CByteReader reader(strBytes.substr(std::min(strBytes.size(), MAGIC.size())));
    std::uint32_t nVersion;
    std::uint32_t nChecksum;
    std::uint64_t nPartRecords;
    std::uint64_t nParts;
    if (strBytes.substr(0, MAGIC.size()) != MAGIC || !reader.Fixed32(nVersion) ||
        nVersion != CKeptCatalogue::VERSION || !reader.Fixed32(nChecksum) ||
        !HasOptions(reader, options) || !reader.Signed(layout.nReadSince) ||
        !reader.Unsigned(layout.nCount) || !reader.Unsigned(nPartRecords) ||
        !reader.Unsigned(nParts) || nPartRecords == 0 ||
        nParts != (layout.nCount == 0 ? 0 : (layout.nCount - 1) / nPartRecords + 1) ||
        nParts > reader.Left() / PART_ENTRY_SIZE) {
        return false;
    }
    const std::size_t nPartsBegin = strBytes.size() - reader.Left() + nParts * PART_ENTRY_SIZE;
    if (Checksum(strBytes.substr(HEADER_SIZE, nPartsBegin - HEADER_SIZE)) != nChecksum ||
        layout.nCount > (strBytes.size() - nPartsBegin) / MIN_RECORD_SIZE) {
        return false;
    }
    layout.arrParts.resize(nParts);
    std::string_view strLeft = strBytes.substr(nPartsBegin);
    for (std::uint64_t i = 0; i < nParts; ++i) {
        SKeptPart& part = layout.arrParts[i];
        std::uint32_t nSize;
        if (!reader.Fixed32(nSize) || !reader.Fixed32(part.nChecksum) || nSize > strLeft.size()) {
            return false;
        }
        part.strBytes = strLeft.substr(0, nSize);
        strLeft.remove_prefix(nSize);
        part.nRecords = std::min(nPartRecords, layout.nCount - i * nPartRecords);
    }
    return strLeft.empty();
}

// fnRecord(strLocation, bNewLocation, record) for each record of the part, in order; false when
// the part is damaged, with some records perhaps given already.
template <class TFnRecord> bool DecodePart(const SKeptPart& part, TFnRecord&& fnRecord) {
    if (Checksum(part.strBytes) != part.nChecksum) {
        return false;
    }
    CByteReader reader(part.strBytes);
    std::string_view strLocation;
    SKeptRecord record;
    for (std::uint64_t i = 0; i < part.nRecords; ++i) {
        // A record gives its location only where it differs from the one before.
        unsigned char nNewLocation;
        if (!reader.Byte(nNewLocation) || (i == 0 && nNewLocation == 0)) {
            return false;
        }
        if (nNewLocation != 0 && !reader.Text(strLocation)) {
            return false;
        }
        if (!ReadTrack(reader, record)) {
            return false;
        }
        fnRecord(strLocation, nNewLocation != 0, record);
    }
    return reader.IsAtEnd();
}

// Each store gets the records of its parts, made anew; the records of one folder share its
// location.
template <class TStore>
bool DecodeParts(const SKeptPart* pBegin, const SKeptPart* pEnd, TStore& store) {
    CSharedText location;
    for (const SKeptPart* pPart = pBegin; pPart != pEnd; ++pPart) {
        const bool bDecoded = DecodePart(*pPart, [&store, &location](std::string_view strLocation,
                                                                     bool bNewLocation,
                                                                     const SKeptRecord& record) {
            if (bNewLocation) {
                location = CSharedText(std::string(strLocation));
            }
            store.emplace_back(location, record.arrTexts, record.file, record.nGenre, record.nTrack,
                               (record.nFlags & HAS_TAG) != 0, (record.nFlags & WAS_READ) != 0);
        });
        if (!bDecoded) {
            return false;
        }
    }
    return true;
}

// The parts shared out among the stores by their records, store i taking its share after
// those of the stores before it.
bool DecodeSideBySide(const SKeptLayout& layout, std::vector<std::deque<CTrackInfo>>& arrStores,
                      std::size_t nThreads, CThreadStarter& starter) {
    const std::vector<SKeptPart>& arrParts = layout.arrParts;
    const std::size_t nStores = std::max<std::size_t>(1, std::min(nThreads, arrParts.size()));
    arrStores.assign(nStores, {});
    std::vector<char> arrDecoded(nStores, 0); // not vector<bool>: each thread writes its own
    RunInParts(starter, nStores, [&](std::size_t nStore) {
        const SKeptPart* pParts = arrParts.data();
        arrDecoded[nStore] =
            DecodeParts(pParts + nStore * arrParts.size() / nStores,
                        pParts + (nStore + 1) * arrParts.size() / nStores, arrStores[nStore]);
    });
    if (std::find(arrDecoded.begin(), arrDecoded.end(), 0) != arrDecoded.end()) {
        arrStores.clear();
        return false;
    }
    return true;
}

// The bytes of a kept file, mapped rather than copied; unmapped with the last owner.
std::shared_ptr<const char> MapFile(const std::string& strPath, std::size_t& nSize) {
    const CFileDescriptor fd(::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        return nullptr;
    }
    nSize = static_cast<std::size_t>(st.st_size);
    void* pMapped = ::mmap(nullptr, nSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.Get(), 0);
    if (pMapped == MAP_FAILED) {
        return nullptr;
    }
    return std::shared_ptr<const char>(
        static_cast<const char*>(pMapped),
        [nSize](const char* pBytes) { ::munmap(const_cast<char*>(pBytes), nSize); });
}

} // namespace

std::string CKeptCatalogue::FolderFor(const char* pszCacheHome, const char* pszHome) {
    // A relative value is to be ignored, as the base directory rules say.
    if (pszCacheHome && pszCacheHome[0] == '/') {
        return std::string(pszCacheHome) + "/tunebrowse";
    }
    if (pszHome && pszHome[0] == '/') {
        return std::string(pszHome) + "/.cache/tunebrowse";
    }
    return std::string();
}

// FNV-1a over the path's bytes; the path itself is inside the file, so that two folders whose
// hashes meet only replace each other's catalogue.
std::string CKeptCatalogue::FileName(const std::string& strFolder) {
    std::uint64_t nHash = 14695981039346656037ULL;
    for (const char c : strFolder) {
        nHash = (nHash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string strName(16, '0');
    for (int i = 15; i >= 0; --i, nHash >>= 4) {
        strName[static_cast<std::size_t>(i)] = DIGITS[nHash & 0xF];
    }
    return strName + std::string(FILE_SUFFIX);
}

bool CKeptCatalogue::IsKeptFileName(std::string_view strName) {
    const std::size_t nAt = strName.find('.');
    const std::string_view strHash = strName.substr(0, nAt);
    const std::string_view strRest = nAt == std::string_view::npos ? "" : strName.substr(nAt);
    const bool bHash = strHash.size() == 16 &&
                       strHash.find_first_not_of("0123456789abcdef") == std::string_view::npos;
    return bHash && (strRest == FILE_SUFFIX || strRest.substr(0, TEMP_MARK.size()) == TEMP_MARK);
}

// A part at a time: the whole file of a million records would take 150 MB more while it is
// written. The head, whose table tells the parts' sizes and checksums, goes in last.
bool CKeptCatalogue::Encode(const SKeptOptions& options, std::int64_t nReadSince,
                            const CTrackList& arrTracks, const FnPut& fnPut,
                            const std::atomic<bool>* pStop, std::size_t nPartRecords) {
    constexpr std::size_t STOP_LOOK_EVERY = 4096;
    nPartRecords = std::max<std::size_t>(nPartRecords, 1);
    const std::size_t nParts = (arrTracks.size() + nPartRecords - 1) / nPartRecords;
    CByteWriter head;
    std::string& strHead = head.Bytes();
    strHead.append(MAGIC);
    head.Fixed32(VERSION);
    head.Fixed32(0); // the checksum, once the table is known
    WriteOptions(head, options);
    head.Signed(nReadSince);
    head.Unsigned(arrTracks.size());
    head.Unsigned(nPartRecords);
    head.Unsigned(nParts);
    const std::size_t nTableAt = strHead.size();
    strHead.append(nParts * PART_ENTRY_SIZE, '\0');
    const auto PutFixed32 = [&strHead](std::size_t nAt, std::uint32_t nValue) {
        for (std::size_t i = 0; i < 4; ++i) {
            strHead[nAt + i] = static_cast<char>((nValue >> (8 * i)) & 0xFF);
        }
    };
    std::uint64_t nPartAt = strHead.size();
    CByteWriter writer;
    std::string& strPart = writer.Bytes();
    for (std::size_t nPart = 0; nPart < nParts; ++nPart) {
        strPart.clear();
        const std::string* pLocation = nullptr; // each part begins with its location
        const std::size_t nEnd = std::min(arrTracks.size(), (nPart + 1) * nPartRecords);
        for (std::size_t nTrack = nPart * nPartRecords; nTrack < nEnd; ++nTrack) {
            if (pStop != nullptr && nTrack % STOP_LOOK_EVERY == 0 && pStop->load()) {
                return false;
            }
            const CTrackInfo* pTrack = arrTracks[nTrack];
            const bool bNewLocation = !pLocation || *pLocation != pTrack->GetLocation();
            writer.Byte(bNewLocation ? 1 : 0);
            if (bNewLocation) {
                pLocation = &pTrack->GetLocation();
                writer.Text(*pLocation);
            }
            WriteTrack(writer, *pTrack);
        }
        if (strPart.size() > UINT32_MAX) {
            return false; // a part's size is kept in four bytes
        }
        if (!fnPut(strPart, nPartAt)) {
            return false;
        }
        const std::size_t nEntryAt = nTableAt + nPart * PART_ENTRY_SIZE;
        PutFixed32(nEntryAt, static_cast<std::uint32_t>(strPart.size()));
        PutFixed32(nEntryAt + 4, Checksum(strPart));
        nPartAt += strPart.size();
    }
    PutFixed32(HEADER_SIZE - 4, Checksum(std::string_view(strHead).substr(HEADER_SIZE)));
    return fnPut(strHead, 0);
}

std::string CKeptCatalogue::Encode(const SKeptOptions& options, std::int64_t nReadSince,
                                   const CTrackList& arrTracks, const std::atomic<bool>* pStop,
                                   std::size_t nPartRecords) {
    std::string strBytes;
    const auto fnPut = [&strBytes](std::string_view strPiece, std::uint64_t nAt) {
        const auto nFrom = static_cast<std::size_t>(nAt);
        strBytes.resize(std::max(strBytes.size(), nFrom + strPiece.size()));
        strBytes.replace(nFrom, strPiece.size(), strPiece);
        return true;
    };
    if (!Encode(options, nReadSince, arrTracks, fnPut, pStop, nPartRecords)) {
        return {};
    }
    return strBytes;
}

bool CKeptCatalogue::Decode(std::string_view strBytes, const SKeptOptions& options,
                            std::vector<CTrackInfo>& arrRecords, std::int64_t& nReadSince) {
    arrRecords.clear();
    SKeptLayout layout;
    if (!ReadLayout(strBytes, options, layout)) {
        return false;
    }
    arrRecords.reserve(layout.nCount);
    if (!DecodeParts(layout.arrParts.data(), layout.arrParts.data() + layout.arrParts.size(),
                     arrRecords)) {
        arrRecords.clear();
        return false;
    }
    nReadSince = layout.nReadSince;
    return true;
}

bool CKeptCatalogue::Store(CFileOps& ops, const std::string& strCacheFolder,
                           const std::string& strName, const std::string& strBytes) {
    return Store(ops, strCacheFolder, strName,
                 [&strBytes](const FnPut& fnPut) { return fnPut(strBytes, 0); });
}

bool CKeptCatalogue::Store(CFileOps& ops, const std::string& strCacheFolder,
                           const std::string& strName, const FnFill& fnFill) {
    if (strCacheFolder.empty()) {
        return false;
    }
    // Each part made in turn, for the user alone: the catalogue tells what the user keeps where.
    for (std::size_t nAt = strCacheFolder.find('/', 1);; nAt = strCacheFolder.find('/', nAt + 1)) {
        const std::string strPart = strCacheFolder.substr(0, nAt);
        if (::mkdir(strPart.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (nAt == std::string::npos) {
            break;
        }
    }
    // A name of its own, so that two windows writing at once do not write into one file.
    std::random_device random;
    const std::string strTemp = strCacheFolder + '/' +
                                strName.substr(0, strName.size() - FILE_SUFFIX.size()) +
                                std::string(TEMP_MARK) + std::to_string(random());
    CFileDescriptor fd(ops.CreateAt(AT_FDCWD, strTemp.c_str(), 0600));
    if (!fd.IsValid()) {
        return false;
    }
    const FnPut fnPut = [&fd, &ops](std::string_view strPiece, std::uint64_t nAt) {
        return WriteAllAt(fd.Get(), strPiece.data(), strPiece.size(), static_cast<off_t>(nAt),
                          ops) == 0;
    };
    const bool bWritten = fnFill(fnPut) && ops.Fsync(fd.Get()) == 0 && ops.Close(fd.Release()) == 0;
    if (!bWritten || ops.Rename(strTemp.c_str(), (strCacheFolder + '/' + strName).c_str()) != 0) {
        if (fd.IsValid()) {
            ops.Close(fd.Release());
        }
        ops.Unlink(strTemp.c_str());
        return false;
    }
    return true;
}

std::string CKeptCatalogue::ReadFile(const std::string& strPath) {
    const CFileDescriptor fd(::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::string();
    }
    std::string strBytes(static_cast<std::size_t>(st.st_size), '\0');
    CFileOps ops;
    const ssize_t nRead = ReadAt(fd.Get(), strBytes.data(), strBytes.size(), 0, ops);
    strBytes.resize(nRead > 0 ? static_cast<std::size_t>(nRead) : 0);
    return strBytes;
}

bool CKeptCatalogue::Load(const std::string& strPath, const SKeptOptions& options, SKeptLoad& load,
                          std::size_t nThreads, CThreadStarter& starter) {
    load = SKeptLoad();
    std::size_t nSize = 0;
    std::shared_ptr<const char> pBytes = MapFile(strPath, nSize);
    SKeptLayout layout;
    if (!pBytes || !ReadLayout(std::string_view(pBytes.get(), nSize), options, layout)) {
        return false;
    }
    if (nThreads == 0) {
        nThreads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, MOST_DECODERS);
    }
    if (!DecodeSideBySide(layout, load.arrStores, nThreads, starter)) {
        return false;
    }
    load.nReadSince = layout.nReadSince;
    load.pBytes = std::move(pBytes);
    load.nSize = nSize;
    load.options = options;
    return true;
}

std::shared_ptr<const CKeptIndex> CKeptCatalogue::IndexAside(const SKeptLoad& load,
                                                             std::int64_t nTrustedBefore,
                                                             CThreadStarter& starter) {
    const auto fnFill = [pBytes = load.pBytes, nSize = load.nSize,
                         options = load.options](CKeptIndex& index) {
        SKeptLayout layout;
        if (!pBytes || !ReadLayout(std::string_view(pBytes.get(), nSize), options, layout)) {
            return;
        }
        index.Reserve(layout.nCount);
        for (const SKeptPart& part : layout.arrParts) {
            // Load has decoded every part: none fails here.
            (void)DecodePart(
                part, [&index](std::string_view strLocation, bool, const SKeptRecord& record) {
                    index.Add(strLocation, record.arrTexts[0], record.file,
                              (record.nFlags & WAS_READ) != 0);
                });
        }
    };
    return CKeptIndex::FillAside(nTrustedBefore, fnFill, starter);
}

void CKeptCatalogue::RemoveAll(const std::string& strCacheFolder) {
    DIR* pDir = strCacheFolder.empty() ? nullptr : ::opendir(strCacheFolder.c_str());
    if (!pDir) {
        return;
    }
    std::vector<std::string> arrNames;
    while (const dirent* pEntry = ::readdir(pDir)) {
        if (IsKeptFileName(pEntry->d_name)) {
            arrNames.emplace_back(pEntry->d_name);
        }
    }
    ::closedir(pDir);
    for (const std::string& strName : arrNames) {
        ::unlink((strCacheFolder + '/' + strName).c_str());
    }
}
