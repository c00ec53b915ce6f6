// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Generates a deterministic synthetic MP3 library for scan benchmarks and manual testing.
//
//   make_library [--seed S] [--force] N OUTDIR
//
// Creates N MP3 files as OUTDIR/<Artist>/<Album>/NN - <Title>.mp3 together with some files
// that a scan must skip (cover.jpg, notes.txt). The same N and seed always give byte-identical
// output, so benchmark numbers from different machines and days are comparable.
//
// Every MP3 is three silent MPEG-1 Layer III frames, usually followed by an ID3v1 or ID3v1.1 tag.
// The tags deliberately carry the awkward cases found in real collections: Windows-1252 and UTF-8
// text, CJK titles cut off by the 30-byte fields, NUL- and space-padded fields, 30-byte comments
// without terminator, two-digit and empty years, genre 255 and files without any tag.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr const char* kMarkerPrefix = ".make_library-";
constexpr const char* kIncompleteMarker = ".make_library-incomplete";

// Caps N so a typo cannot fill the disk; ten million files are already ~14 GB.
constexpr std::uint64_t kMaxFiles = 10'000'000;

[[noreturn]] void fail(const std::string& what, int err) {
    std::fprintf(stderr, "make_library: %s: %s\n", what.c_str(), std::strerror(err));
    std::exit(1);
}

[[noreturn]] void failMessage(const std::string& message) {
    std::fprintf(stderr, "make_library: %s\n", message.c_str());
    std::exit(1);
}

// std::uniform_int_distribution and friends are implementation-defined, so the same seed would
// produce different libraries with libstdc++ and libc++. std::mt19937_64 itself is fully
// specified; everything on top of it is done here.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : engine_(seed) {}

    // Uniform in [0, n). Rejection sampling removes the modulo bias.
    std::uint64_t below(std::uint64_t n) {
        if (n <= 1)
            return 0;
        const std::uint64_t threshold = (0 - n) % n; // 2^64 mod n
        for (;;) {
            const std::uint64_t r = engine_();
            if (r >= threshold)
                return r % n;
        }
    }

    int between(int lo, int hi) { // inclusive
        return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo) + 1));
    }

    // True with probability perTenThousand / 10000.
    bool chance(unsigned perTenThousand) { return below(10000) < perTenThousand; }

    template <typename T, std::size_t Size> const T& pick(const T (&items)[Size]) {
        return items[below(Size)];
    }

private:
    std::mt19937_64 engine_;
};

// ---------------------------------------------------------------------------------------------
// Vocabulary. All text is kept as UTF-8 and only converted when a tag is written, so file and
// folder names are always valid UTF-8 while the tag bytes follow the encoding of the "tagger".

const char* const kAdjectives[] = {
    "Silver",  "Broken",  "Electric", "Velvet",  "Midnight", "Golden",   "Hollow",   "Crimson",
    "Quiet",   "Paper",   "Neon",     "Wild",    "Lonely",   "Northern", "Burning",  "Frozen",
    "Distant", "Little",  "Secret",   "Empty",   "Restless", "Painted",  "Sleeping", "Iron",
    "Glass",   "Purple",  "Savage",   "Gentle",  "Lucky",    "Stray",    "Hidden",   "Copper",
    "Amber",   "Scarlet", "Faded",    "Western", "Static",   "Sunken",   "Brave",    "Cosmic",
    "Tired",   "Happy",   "Modern",   "Ancient", "Falling",  "Rising",   "Weird",    "Bitter",
};

const char* const kNouns[] = {
    "Lanterns", "Wolves",     "Harbour",  "Machines", "Rivers",  "Echoes",  "Pilots",    "Owls",
    "Sparrows", "Satellites", "Horses",   "Mirrors",  "Gardens", "Engines", "Ghosts",    "Tides",
    "Foxes",    "Kings",      "Stones",   "Clouds",   "Comets",  "Shadows", "Strangers", "Bells",
    "Saints",   "Thieves",    "Dreamers", "Islands",  "Towers",  "Sailors", "Orchids",   "Monsters",
    "Radios",   "Captains",   "Deserts",  "Giants",   "Parades", "Lights",  "Waves",     "Suns",
};

const char* const kFirstNames[] = {
    "Anna",   "Ben",    "Clara", "David",  "Eva",   "Frank", "Grace",  "Henry", "Iris", "Jack",
    "Kate",   "Leo",    "Maya",  "Nina",   "Oscar", "Paul",  "Quinn",  "Rosa",  "Sam",  "Tom",
    "Ursula", "Victor", "Wendy", "Xavier", "Yara",  "Zoe",   "Marcus", "Lena",  "Hugo", "Ines",
};

const char* const kLastNames[] = {
    "Walker", "Harper", "Stone",  "Reed",      "Fisher", "Hale",   "Morgan", "Blake",  "Carter",
    "Dunn",   "Ellis",  "Frost",  "Gray",      "Hayes",  "Irving", "Jensen", "Keller", "Lowe",
    "Mills",  "Nash",   "Olsen",  "Porter",    "Quint",  "Rhodes", "Shaw",   "Turner", "Vance",
    "Wilde",  "Young",  "Zimmer", "Lindqvist", "Okafor", "Tanaka", "Moreau", "Novak",
};

const char* const kTitleWords[] = {
    "Love",  "Night",  "Song",   "Home",    "Road",   "Summer", "Rain",   "Fire",    "Heart",
    "Dance", "Dream",  "Light",  "Morning", "City",   "Blue",   "Gone",   "Forever", "Tonight",
    "Ocean", "Window", "Letter", "Train",   "Winter", "Sky",    "Time",   "River",   "Angel",
    "Run",   "Stay",   "Again",  "Falling", "Radio",  "Hands",  "Shadow", "Sunday",  "Gold",
};

// Texts that break naive code: a path separator, shell and wildcard characters, brackets.
const char* const kOddWords[] = {
    "Either/Or", "Why?", "Rock & Roll", "(Reprise)", "[Live]",
    "#9",        "100%", "It's",        "Star*",     "A/B Side",
};

// Windows-1252 representable. Covers é (0xE9), è (0xE8), ü (0xFC), ß (0xDF) and the
// 0x80..0x9F range that differs from ISO 8859-1 (’ 0x92, … 0x85, € 0x80, – 0x96).
const char* const kAccentedWords[] = {
    "Café",    "Crème",   "Hélène", "Müller", "Brücke",   "Señor",      "Garçon",
    "Lumière", "Été",     "Rêve",   "Naïve",  "Straße",   "Mañana",     "Corazón",
    "Noël",    "Déjà Vu", "Zoë",    "Renée",  "Über",     "Fräulein",   "Øresund",
    "Don’t",   "Wait…",   "5 €",    "Côte",   "Jalapeño", "Smørrebrød", "Sí – No",
};

// UTF-8 only. Three bytes per character, so a 30-byte field holds at most ten of them and the
// generator regularly has to cut a title; the cut must stay on a character boundary.
const char* const kCjkWords[] = {
    "東京", "夜明け", "桜", "音楽", "雨の日", "月光", "風", "夢", "서울", "사랑", "花火", "青い空",
};

const char* const kAlbumSuffixes[] = {
    " (Deluxe Edition)", " Vol. 2", " (Remastered)", " EP", " Live", " (Bonus Tracks)",
};

const char* const kComments[] = {
    "Ripped with care", "Great track!",     "www.example.org",
    "Bought on vinyl",  "Track 1 of a set", "Encoded by hand",
};

// Exactly 30 characters: fills the whole v1.0 comment field, so there is no terminator and byte
// 125 is not zero (which must not be mistaken for a v1.1 track number).
const char* const kFullComment = "This comment fills all thirty.";

enum class Flavour { Plain, Accented, Cjk };
enum class Encoding { Cp1252, Utf8 };

struct Artist {
    std::string name;
    Flavour flavour;
    Encoding encoding;
};

// ---------------------------------------------------------------------------------------------
// Text helpers

// Decodes one code point from valid UTF-8 (our own vocabulary only).
char32_t decodeUtf8(const std::string& s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
    char32_t cp = b0 & (0x3F >> extra);
    ++i;
    while (extra-- > 0 && i < s.size())
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

char toCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    switch (cp) {
    case 0x20AC:
        return static_cast<char>(0x80); // €
    case 0x2026:
        return static_cast<char>(0x85); // …
    case 0x2019:
        return static_cast<char>(0x92); // ’
    case 0x2013:
        return static_cast<char>(0x96); // –
    default:
        return '?';
    }
}

std::string encodeForTag(const std::string& utf8, Encoding encoding) {
    if (encoding == Encoding::Utf8)
        return utf8;
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();)
        out.push_back(toCp1252(decodeUtf8(utf8, i)));
    return out;
}

// Longest prefix of at most maxBytes that does not split a UTF-8 sequence. Only for UTF-8 text:
// Windows-1252 bytes such as 0x85 or 0x92 look like continuation bytes.
std::size_t utf8PrefixLength(const std::string& s, std::size_t maxBytes) {
    if (s.size() <= maxBytes)
        return s.size();
    std::size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

// File systems reject '/' and NUL, and a leading dot would hide the entry.
std::string safeName(const std::string& name) {
    std::string out = name.substr(0, utf8PrefixLength(name, 200));
    for (char& c : out) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    if (out.empty() || out[0] == '.')
        out.insert(out.begin(), '_');
    return out;
}

// ---------------------------------------------------------------------------------------------
// Name generation

std::string pickWord(Rng& rng, Flavour flavour, const std::string& plain) {
    switch (flavour) {
    case Flavour::Accented:
        return rng.chance(3500) ? rng.pick(kAccentedWords) : plain;
    case Flavour::Cjk:
        return rng.chance(7000) ? rng.pick(kCjkWords) : plain;
    case Flavour::Plain:
        break;
    }
    // Even "plain" collections have the odd accented title.
    return rng.chance(200) ? rng.pick(kAccentedWords) : plain;
}

std::string artistName(Rng& rng, Flavour flavour) {
    // Each word is drawn in its own statement: the operands of an overloaded '+' may be
    // evaluated in any order, which would make the output depend on the compiler.
    const auto word = [&](const auto& list) { return pickWord(rng, flavour, rng.pick(list)); };
    const auto shape = rng.below(100);
    if (shape < 60) {
        const std::string adj = word(kAdjectives);
        const std::string noun = word(kNouns);
        return (shape < 35 ? "The " : "") + adj + " " + noun;
    }
    const std::string first = word(kFirstNames);
    const std::string last = word(kLastNames);
    if (shape < 90)
        return first + " " + last;
    const std::string band = word(kNouns);
    return first + " " + last + " & the " + band;
}

std::string titleText(Rng& rng, Flavour flavour) {
    // Mostly short titles, but a tail of long ones that no longer fit the 30-byte field.
    const int words = rng.chance(1200) ? rng.between(5, 8) : rng.between(1, 4);
    std::string title;
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            title += ' ';
        const auto kind = rng.below(100);
        std::string word;
        if (kind < 3)
            word = rng.pick(kOddWords);
        else if (kind < 70)
            word = rng.pick(kTitleWords);
        else if (kind < 85)
            word = rng.pick(kAdjectives);
        else
            word = rng.pick(kNouns);
        title += pickWord(rng, flavour, word);
    }
    return title;
}

std::string albumName(Rng& rng, Flavour flavour) {
    std::string name = titleText(rng, flavour);
    if (rng.chance(1000))
        name += rng.pick(kAlbumSuffixes);
    return name;
}

// Makes `candidate` unique within `used` (compared by the name that ends up on disk).
std::string uniqueName(std::unordered_set<std::string>& used, std::string candidate) {
    if (used.insert(safeName(candidate)).second)
        return candidate;
    for (int i = 2;; ++i) {
        std::string numbered = candidate + " " + std::to_string(i);
        if (used.insert(safeName(numbered)).second)
            return numbered;
    }
}

// ---------------------------------------------------------------------------------------------
// File output

void writeAll(int fd, const struct iovec* iov, int count, const std::string& path) {
    std::vector<struct iovec> parts(iov, iov + count);
    std::size_t first = 0;
    while (first < parts.size()) {
        const ssize_t n =
            ::writev(fd, parts.data() + first, static_cast<int>(parts.size() - first));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("write " + path, errno);
        }
        auto left = static_cast<std::size_t>(n);
        while (first < parts.size() && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < parts.size()) {
            parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
}

void writeFile(const std::string& path, const struct iovec* iov, int count) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("create " + path, errno);
    writeAll(fd, iov, count, path);
    if (::close(fd) != 0)
        fail("close " + path, errno);
}

void writeFile(const std::string& path, const void* data, std::size_t size) {
    struct iovec iov = {const_cast<void*>(data), size};
    writeFile(path, &iov, 1);
}

void makeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        fail("mkdir " + path, errno);
}

void makeDirs(const std::string& path) {
    for (std::size_t pos = 1; pos < path.size(); ++pos) {
        if (path[pos] == '/')
            makeDir(path.substr(0, pos));
    }
    makeDir(path);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        fail("stat " + path, errno);
    if (!S_ISDIR(st.st_mode))
        failMessage(path + " exists and is not a directory");
}

// 128 kbit/s, 44.1 kHz, joint stereo, no padding: 144 * 128000 / 44100 = 417 bytes. All-zero
// side information and main data decode as silence.
constexpr std::size_t kFrameSize = 417;
constexpr std::size_t kFrameCount = 3;

std::vector<unsigned char> silentFrames() {
    std::vector<unsigned char> data(kFrameSize * kFrameCount, 0);
    for (std::size_t f = 0; f < kFrameCount; ++f) {
        unsigned char* h = data.data() + f * kFrameSize;
        h[0] = 0xFF;
        h[1] = 0xFB;
        h[2] = 0x90;
        h[3] = 0x64;
    }
    return data;
}

// A real, decodable 8x8 grey baseline JPEG: one block whose DC difference and AC coefficients are
// all zero, coded with one-symbol Huffman tables. Anything that previews covers gets a valid image.
const unsigned char kCoverJpeg[] = {
    0xFF, 0xD8,                                                             // SOI
    0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',  0x00, 0x01, 0x01, 0x00, // APP0 (JFIF 1.1)
    0x00, 0x01, 0x00, 0x01, 0x00, 0x00,                                     //
    0xFF, 0xDB, 0x00, 0x43, 0x00, // DQT, table 0, all ones
    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1, 1, 1,
    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1, 1, 1,
    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1, 1, 1,
    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1, 1, 1, //
    0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00, // SOF0 8x8 grey
    0xFF, 0xC4, 0x00, 0x14, 0x00, 1,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0,
    0,    0,    0,    0,    0,    0x00, // DHT DC
    0xFF, 0xC4, 0x00, 0x14, 0x10, 1,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0,
    0,    0,    0,    0,    0,    0x00,                         // DHT AC
    0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, // SOS
    0x3F,                                                       // DC "0", EOB "0", 1-bit padding
    0xFF, 0xD9,                                                 // EOI
};

struct Stats {
    std::uint64_t mp3 = 0;
    std::uint64_t tagged = 0;
    std::uint64_t v11 = 0;
    std::uint64_t other = 0;
    std::uint64_t folders = 0;
    std::uint64_t bytes = 0;
};

struct AlbumInfo {
    std::string name;
    std::string year; // "", two or four digits
    unsigned char genre;
};

// Lays out `text` in an ID3v1 field: cut to width (on a character boundary for UTF-8), then
// padded. Text of exactly `width` bytes gets no terminator, as the format allows.
void putField(unsigned char* field, std::size_t width, const std::string& text, Encoding encoding,
              unsigned char pad) {
    const std::string bytes = encodeForTag(text, encoding);
    const std::size_t n =
        encoding == Encoding::Utf8 ? utf8PrefixLength(bytes, width) : std::min(bytes.size(), width);
    std::memcpy(field, bytes.data(), n);
    std::memset(field + n, pad, width - n);
}

class Generator {
public:
    Generator(std::uint64_t seed, std::string outDir)
        : rng_(seed), outDir_(std::move(outDir)), frames_(silentFrames()) {}

    Stats run(std::uint64_t fileCount) {
        const std::vector<std::uint64_t> perArtist = artistFileCounts(fileCount);
        std::unordered_set<std::string> artistNames;
        for (std::uint64_t count : perArtist) {
            Artist artist = makeArtist(artistNames);
            writeArtist(artist, count);
        }
        return stats_;
    }

private:
    // Zipf-Mandelbrot shares (1 / (rank + 2)): a few artists own large parts of the collection,
    // most have a handful of tracks. Every artist gets at least one file.
    static std::vector<std::uint64_t> artistFileCounts(std::uint64_t fileCount) {
        std::uint64_t artists = std::max<std::uint64_t>(3, fileCount / 50);
        artists = std::min(artists, fileCount);
        std::vector<std::uint64_t> counts(artists, 1);
        if (artists == 0)
            return counts;
        double total = 0;
        for (std::uint64_t k = 0; k < artists; ++k)
            total += 1.0 / static_cast<double>(k + 2);
        const std::uint64_t rest = fileCount - artists;
        std::uint64_t assigned = 0;
        for (std::uint64_t k = 0; k < artists; ++k) {
            const auto share = static_cast<std::uint64_t>(static_cast<double>(rest) /
                                                          static_cast<double>(k + 2) / total);
            counts[k] += share;
            assigned += share;
        }
        // Rounding leftovers (fewer than `artists`) go to the most prolific artists.
        for (std::uint64_t k = 0; assigned < rest; k = (k + 1) % artists, ++assigned)
            ++counts[k];
        return counts;
    }

    Artist makeArtist(std::unordered_set<std::string>& used) {
        Artist artist;
        const auto roll = rng_.below(100);
        artist.flavour = roll < 80 ? Flavour::Plain : roll < 94 ? Flavour::Accented : Flavour::Cjk;
        // Older taggers wrote the Windows code page; CJK text is only possible as UTF-8.
        artist.encoding =
            artist.flavour != Flavour::Cjk && rng_.chance(7000) ? Encoding::Cp1252 : Encoding::Utf8;
        artist.name = uniqueName(used, artistName(rng_, artist.flavour));
        return artist;
    }

    void writeArtist(const Artist& artist, std::uint64_t fileCount) {
        const std::string artistDir = outDir_ + "/" + safeName(artist.name);
        makeDir(artistDir);
        ++stats_.folders;
        if (rng_.chance(500))
            writeNotes(artistDir, artist.name);

        // One to four albums, none of them empty.
        const auto albums = std::min<std::uint64_t>(1 + rng_.below(4), fileCount);
        std::vector<std::uint64_t> tracks(albums, 1);
        for (std::uint64_t i = albums; i < fileCount; ++i)
            ++tracks[rng_.below(albums)];

        std::unordered_set<std::string> albumNames;
        for (std::uint64_t a = 0; a < albums; ++a) {
            AlbumInfo album;
            album.name = uniqueName(albumNames, albumName(rng_, artist.flavour));
            const auto yearRoll = rng_.below(100);
            const int year = rng_.between(1955, 2024);
            if (yearRoll < 86)
                album.year = std::to_string(year);
            else if (yearRoll < 94)
                album.year.clear();
            else
                album.year = std::to_string(year).substr(2);
            album.genre = rng_.chance(300) ? 255 : static_cast<unsigned char>(rng_.below(148));
            writeAlbum(artist, artistDir, album, tracks[a]);
        }
    }

    void writeAlbum(const Artist& artist, const std::string& artistDir, const AlbumInfo& album,
                    std::uint64_t trackCount) {
        const std::string albumDir = artistDir + "/" + safeName(album.name);
        makeDir(albumDir);
        ++stats_.folders;
        if (rng_.chance(3000)) {
            writeFile(albumDir + "/cover.jpg", kCoverJpeg, sizeof kCoverJpeg);
            ++stats_.other;
            stats_.bytes += sizeof kCoverJpeg;
        }
        if (rng_.chance(300))
            writeNotes(albumDir, album.name);
        for (std::uint64_t t = 1; t <= trackCount; ++t)
            writeTrack(artist, albumDir, album, t);
    }

    void writeTrack(const Artist& artist, const std::string& albumDir, const AlbumInfo& album,
                    std::uint64_t track) {
        const std::string title = titleText(rng_, artist.flavour);
        const bool hasTag = !rng_.chance(500);
        const bool v11 = hasTag && rng_.chance(526); // ~5 % of all files
        const bool upperExt = rng_.chance(200);
        const unsigned char pad = rng_.chance(1000) ? '\0' : ' ';
        const auto commentRoll = rng_.below(100);

        char number[24];
        std::snprintf(number, sizeof number, "%02" PRIu64 " - ", track);
        const std::string path =
            albumDir + "/" + safeName(number + title + (upperExt ? ".MP3" : ".mp3"));

        unsigned char tag[128];
        struct iovec iov[2] = {{frames_.data(), frames_.size()}, {tag, sizeof tag}};
        int parts = 1;
        if (hasTag) {
            std::memcpy(tag, "TAG", 3);
            putField(tag + 3, 30, title, artist.encoding, pad);
            putField(tag + 33, 30, artist.name, artist.encoding, pad);
            putField(tag + 63, 30, album.name, artist.encoding, pad);
            putField(tag + 93, 4, album.year, Encoding::Utf8, pad);
            std::string comment;
            if (commentRoll >= 96)
                comment = kFullComment;
            else if (commentRoll >= 70)
                comment = rng_.pick(kComments);
            if (v11) {
                putField(tag + 97, 28, comment, artist.encoding, pad);
                tag[125] = 0;
                tag[126] = static_cast<unsigned char>((track - 1) % 255 + 1);
                ++stats_.v11;
            } else {
                putField(tag + 97, 30, comment, artist.encoding, pad);
            }
            tag[127] = album.genre;
            parts = 2;
            ++stats_.tagged;
        }
        writeFile(path, iov, parts);
        ++stats_.mp3;
        stats_.bytes += frames_.size() + (hasTag ? sizeof tag : 0);
    }

    void writeNotes(const std::string& dir, const std::string& about) {
        const std::string text = "Notes about " + about + "\nNothing to see here.\n";
        writeFile(dir + "/notes.txt", text.data(), text.size());
        ++stats_.other;
        stats_.bytes += text.size();
    }

    Rng rng_;
    std::string outDir_;
    std::vector<unsigned char> frames_;
    Stats stats_;
};

// ---------------------------------------------------------------------------------------------
// Output directory bookkeeping

int removeEntry(const char* path, const struct stat*, int type, struct FTW*) {
    const int rc = type == FTW_DP ? ::rmdir(path) : ::unlink(path);
    if (rc != 0)
        fail(std::string("remove ") + path, errno);
    return 0;
}

// Deletes everything below `dir` (not `dir` itself) without following symlinks or leaving the
// file system.
void clearDirectory(const std::string& dir, const std::vector<std::string>& entries) {
    for (const std::string& name : entries) {
        const std::string path = dir + "/" + name;
        if (::nftw(path.c_str(), removeEntry, 32, FTW_DEPTH | FTW_PHYS | FTW_MOUNT) != 0)
            fail("remove " + path, errno);
    }
}

std::vector<std::string> listDirectory(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        fail("open " + dir, errno);
    std::vector<std::string> names;
    errno = 0;
    while (const struct dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
        errno = 0;
    }
    if (errno != 0)
        fail("read " + dir, errno);
    ::closedir(d);
    return names;
}

bool parseNumber(const char* text, std::uint64_t& value) {
    if (!*text || *text == '-' || *text == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    value = v;
    return true;
}

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: make_library [--seed S] [--force] N OUTDIR\n"
                 "  Creates N MP3 files under OUTDIR/<Artist>/<Album>/. Does nothing if OUTDIR\n"
                 "  already holds the library for this N and seed, unless --force is given.\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t seed = 1;
    bool force = false;
    std::vector<const char*> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed") {
            if (++i >= argc || !parseNumber(argv[i], seed))
                usage();
        } else if (arg.rfind("--seed=", 0) == 0) {
            if (!parseNumber(argv[i] + 7, seed))
                usage();
        } else if (arg == "--force") {
            force = true;
        } else if (arg == "-h" || arg == "--help") {
            usage();
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage();
        } else {
            positional.push_back(argv[i]);
        }
    }
    std::uint64_t count = 0;
    if (positional.size() != 2 || !parseNumber(positional[0], count))
        usage();
    if (count > kMaxFiles)
        failMessage("N must not exceed " + std::to_string(kMaxFiles));

    std::string outDir = positional[1];
    while (outDir.size() > 1 && outDir.back() == '/')
        outDir.pop_back();
    if (outDir.empty())
        usage();

    makeDirs(outDir);
    const std::string marker = kMarkerPrefix + std::to_string(count) + "-" + std::to_string(seed);
    const std::vector<std::string> existing = listDirectory(outDir);
    const bool upToDate =
        std::find(existing.begin(), existing.end(), marker) != existing.end() &&
        std::find(existing.begin(), existing.end(), kIncompleteMarker) == existing.end();
    if (upToDate && !force) {
        std::printf("make_library: %s already holds %" PRIu64 " files for seed %" PRIu64 "\n",
                    outDir.c_str(), count, seed);
        return 0;
    }
    if (!existing.empty()) {
        // Only ever delete a tree this tool wrote (it carries a marker, possibly the one of an
        // interrupted run); anything else might be somebody's real music.
        const bool ours = std::any_of(existing.begin(), existing.end(), [](const std::string& n) {
            return n.rfind(kMarkerPrefix, 0) == 0;
        });
        if (!ours)
            failMessage(outDir + " is not empty and was not created by make_library; "
                                 "refusing to touch it");
        clearDirectory(outDir, existing);
    }

    const auto started = std::chrono::steady_clock::now();
    const std::string incomplete = outDir + "/" + kIncompleteMarker;
    writeFile(incomplete, "", 0);

    const Stats stats = Generator(seed, outDir).run(count);

    const std::string note =
        "make_library seed=" + std::to_string(seed) + " files=" + std::to_string(count) + "\n";
    writeFile(outDir + "/" + marker, note.data(), note.size());
    if (::unlink(incomplete.c_str()) != 0)
        fail("remove " + incomplete, errno);

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("make_library: %" PRIu64 " mp3 files (%" PRIu64 " tagged, %" PRIu64
                " ID3v1.1), %" PRIu64 " other files, %" PRIu64 " folders, %" PRIu64
                " bytes in %.1f s -> %s\n",
                stats.mp3, stats.tagged, stats.v11, stats.other, stats.folders, stats.bytes,
                seconds, outDir.c_str());
    return 0;
}
