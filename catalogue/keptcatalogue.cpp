// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/keptcatalogue.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// "TBKC" and a byte that no text file starts with.
constexpr std::string_view MAGIC("TBKC\x1A\0\0\0", 8);
constexpr std::string_view FILE_SUFFIX = ".catalogue";
constexpr std::string_view TEMP_MARK = ".catalogue.tmp-";
// Magic, version, checksum of everything after them.
constexpr std::size_t HEADER_SIZE = MAGIC.size() + 4 + 4;

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
    const SFileIdentity& identity = track.GetIdentity();
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

bool ReadTrack(CByteReader& reader, std::shared_ptr<const std::string> pLocation,
               std::vector<CTrackInfo>& arrRecords) {
    unsigned char nFlags;
    unsigned char nGenre;
    unsigned char nTrack;
    std::uint64_t nDevice;
    std::uint64_t nInode;
    SKnownFile file;
    std::array<std::string_view, 6> arrTexts;
    if (!reader.Byte(nFlags) || !reader.Byte(nGenre) || !reader.Byte(nTrack) ||
        !reader.Unsigned(nDevice) || !reader.Unsigned(nInode) ||
        !reader.Signed(file.m_identity.m_nFileSize) || !reader.Signed(file.m_stamp.m_nModified) ||
        !reader.Signed(file.m_stamp.m_nChanged)) {
        return false;
    }
    for (std::string_view& strText : arrTexts) {
        if (!reader.Text(strText)) {
            return false;
        }
    }
    file.m_identity.m_nDevice = static_cast<dev_t>(nDevice);
    file.m_identity.m_nInode = static_cast<ino_t>(nInode);
    arrRecords.emplace_back(std::move(pLocation), arrTexts, file, nGenre, nTrack,
                            (nFlags & HAS_TAG) != 0, (nFlags & WAS_READ) != 0);
    return true;
}

bool DecodeBody(CByteReader& reader, std::vector<CTrackInfo>& arrRecords) {
    std::uint64_t nCount;
    if (!reader.Unsigned(nCount) || nCount > reader.Left() / MIN_RECORD_SIZE) {
        return false;
    }
    arrRecords.reserve(nCount);
    std::shared_ptr<const std::string> pLocation;
    for (std::uint64_t i = 0; i < nCount; ++i) {
        // A record gives its location only where it differs from the one before.
        unsigned char nNewLocation;
        if (!reader.Byte(nNewLocation)) {
            return false;
        }
        if (nNewLocation != 0 || !pLocation) {
            std::string_view strLocation;
            if (!reader.Text(strLocation)) {
                return false;
            }
            pLocation = std::make_shared<const std::string>(strLocation);
        }
        if (!ReadTrack(reader, pLocation, arrRecords)) {
            return false;
        }
    }
    return reader.IsAtEnd();
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

std::string CKeptCatalogue::Encode(const SKeptOptions& options, std::int64_t nReadSince,
                                   const CTrackList& arrTracks, const std::atomic<bool>* pStop) {
    constexpr std::size_t STOP_LOOK_EVERY = 4096;
    CByteWriter writer;
    // Most records take less: the text grows once or not at all.
    constexpr std::size_t USUAL_RECORD_SIZE = 160;
    writer.Bytes().reserve(HEADER_SIZE + 256 + arrTracks.size() * USUAL_RECORD_SIZE);
    writer.Bytes().append(MAGIC);
    writer.Fixed32(VERSION);
    writer.Fixed32(0); // the checksum, once the rest is known
    WriteOptions(writer, options);
    writer.Signed(nReadSince);
    writer.Unsigned(arrTracks.size());
    const std::string* pLocation = nullptr;
    for (std::size_t nTrack = 0; nTrack < arrTracks.size(); ++nTrack) {
        if (pStop != nullptr && nTrack % STOP_LOOK_EVERY == 0 && pStop->load()) {
            return {};
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
    std::string& strBytes = writer.Bytes();
    const std::uint32_t nChecksum = Checksum(std::string_view(strBytes).substr(HEADER_SIZE));
    for (std::size_t i = 0; i < 4; ++i) {
        strBytes[HEADER_SIZE - 4 + i] = static_cast<char>((nChecksum >> (8 * i)) & 0xFF);
    }
    return strBytes;
}

bool CKeptCatalogue::Decode(std::string_view strBytes, const SKeptOptions& options,
                            std::vector<CTrackInfo>& arrRecords, std::int64_t& nReadSince) {
    arrRecords.clear();
    CByteReader reader(strBytes.substr(std::min(strBytes.size(), MAGIC.size())));
    std::uint32_t nVersion;
    std::uint32_t nChecksum;
    if (strBytes.substr(0, MAGIC.size()) != MAGIC || !reader.Fixed32(nVersion) ||
        nVersion != VERSION || !reader.Fixed32(nChecksum) ||
        Checksum(strBytes.substr(HEADER_SIZE)) != nChecksum) {
        return false;
    }
    if (!HasOptions(reader, options) || !reader.Signed(nReadSince) ||
        !DecodeBody(reader, arrRecords)) {
        arrRecords.clear();
        return false;
    }
    return true;
}

bool CKeptCatalogue::Store(CFileOps& ops, const std::string& strCacheFolder,
                           const std::string& strName, const std::string& strBytes) {
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
    const bool bWritten = WriteAllAt(fd.Get(), strBytes.data(), strBytes.size(), 0, ops) == 0 &&
                          ops.Fsync(fd.Get()) == 0 && ops.Close(fd.Release()) == 0;
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

bool CKeptCatalogue::Load(const std::string& strPath, const SKeptOptions& options,
                          std::vector<CTrackInfo>& arrRecords, std::int64_t& nReadSince) {
    arrRecords.clear();
    const CFileDescriptor fd(::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        return false;
    }
    const auto nSize = static_cast<std::size_t>(st.st_size);
    void* pMapped = ::mmap(nullptr, nSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.Get(), 0);
    if (pMapped == MAP_FAILED) {
        return false;
    }
    const bool bLoaded = Decode(std::string_view(static_cast<const char*>(pMapped), nSize), options,
                                arrRecords, nReadSince);
    ::munmap(pMapped, nSize);
    return bLoaded;
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
