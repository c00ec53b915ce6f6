// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/commandline.h"

#include "catalogue/cataloguehost.h"
#include "catalogue/nameformat.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "panes/selectionstatus.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/renamecommand.h"
#include "shell/tagsetcommand.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the window's options keep the encoding chosen.
constexpr const char* TAG_ENCODING_SETTING = "TagEncoding";

#define LICENCE_NOTICE                                                                             \
    "License GPL-3.0-or-later: this is free software; you are free to change and redistribute "    \
    "it. There is NO WARRANTY, to the extent permitted by law."

constexpr const char* USAGE =
    "Usage: tunebrowse [FOLDER]\n"
    "       tunebrowse --list [--pattern PATTERN] [--encoding NAME] [FOLDER]\n"
    "       tunebrowse --tree [--by-genre] [--pattern PATTERN] [--encoding NAME] [FOLDER]\n"
    "       tunebrowse --set FIELD=VALUE [--set FIELD=VALUE ...] [OPTION...] FILE|FOLDER...\n"
    "       tunebrowse --set-from-id3v2 [OPTION...] FILE|FOLDER...\n"
    "       tunebrowse --rename FORMAT [OPTION...] FILE|FOLDER...\n"
    "       tunebrowse --tags-from-name FORMAT [OPTION...] FILE|FOLDER...\n"
    "  OPTION: --keep-times (not with --rename), --dry-run, --pattern PATTERN,\n"
    "  --encoding NAME, and with --set --also-id3v2\n";

constexpr const char* HELP =
    "Browse the MP3 files of a folder and its sub-folders by their ID3v1 tags.\n"
    "\n"
    "  FOLDER             open the window on FOLDER instead of the last folder scanned\n"
    "  --list             print one line per file, in scan order: file, title, album,\n"
    "                     location, size, artist, genre, year and comment, separated by\n"
    "                     TABs; a TAB, line feed, carriage return or backslash inside a\n"
    "                     field is written as \\t, \\n, \\r or \\\\\n"
    "  --tree             print the artist groups with their file counts and sizes\n"
    "  --by-genre         with --tree: print genres, then the artists of each genre\n"
    "  --pattern PATTERN  take the files matching PATTERN (* and ?, any letter case)\n"
    "                     instead of the stored pattern\n"
    "  --set FIELD=VALUE  write VALUE into the ID3v1 tag of each FILE; FIELD is title,\n"
    "                     artist, album, year, comment, track (1-255; empty removes it)\n"
    "                     or genre (a number or a name); the other fields keep their bytes\n"
    "  --set-from-id3v2   fill the empty ID3v1 fields of each FILE from its ID3v2 tag\n"
    "                     (texts cut to the fields' widths); the ID3v2 tag is not changed\n"
    "  --rename FORMAT    rename each FILE to FORMAT made of its ID3v1 fields: %t title,\n"
    "                     %a artist, %l album, %y year, %n track (two digits), %g genre,\n"
    "                     %c comment, %% a percent sign; the file keeps its extension\n"
    "                     and its folder; '/' and control characters become '_', a name\n"
    "                     too long is cut; an empty or unchanged name leaves the file\n"
    "                     alone; a name that exists, or that a file before takes, is\n"
    "                     never replaced: that file is named and keeps its name\n"
    "  --tags-from-name FORMAT\n"
    "                     write into each FILE's ID3v1 tag the fields found in its name\n"
    "                     (without the extension) by FORMAT, each placeholder once, as\n"
    "                     --set writes them; the text between placeholders must match;\n"
    "                     a field found empty is left alone; a name that does not match\n"
    "                     is named and skipped\n"
    "  FOLDER (with --set, --set-from-id3v2, --rename or --tags-from-name)\n"
    "                     every file of FOLDER and its sub-folders that the pattern\n"
    "                     matches; a FILE named is taken whatever the pattern\n"
    "  --keep-times       each file written keeps its modification time (also on when\n"
    "                     the window's option to keep file times is)\n"
    "  --dry-run          print for each file what would change (field: old -> new,\n"
    "                     or for --rename old -> new name) and change nothing; the exit\n"
    "                     status is the one of a real run\n"
    "  --also-id3v2       with --set: write the fields into each file's ID3v2 tag too,\n"
    "                     where it has one (what players show); its other frames and\n"
    "                     the audio keep their bytes; a file whose ID3v2 tag cannot be\n"
    "                     written is named and keeps both tags as they were\n"
    "  --encoding NAME    read and write tag texts in NAME instead of the stored choice:\n"
    "                     Automatic, Windows-1252, ISO-8859-1, ISO-8859-15, Windows-1250,\n"
    "                     Windows-1251, KOI8-R, Shift-JIS, GBK, Big5 or EUC-KR\n"
    "  --help             print this help\n"
    "  --version          print the version\n"
    "\n"
    "--list, --tree, --rename, --tags-from-name,\n"
    "--set and --set-from-id3v2 need no display and change no setting. A file that\n"
    "--rename or --tags-from-name refuses or cannot change is named and the others are\n"
    "still done (exit status 1).\n"
    "A value too wide for its field stops --set before any file is written (exit status\n"
    "2); a file that cannot be written is named and the others are still written (exit\n"
    "status 1), as is output that cannot be written (a reader that stops once it has what\n"
    "it wants ends it quietly). An empty FOLDER is refused (exit status 2). Without FOLDER\n"
    "--list and --tree scan the folder the window scanned last. Settings are kept in\n"
    "$XDG_CONFIG_HOME/Quillon Softs/Tunebrowse.conf (by default under ~/.config).\n";

// Scans for printing: the pattern is fixed and nothing is written to the settings.
class CListingHost final : public CCatalogueHost {
public:
    explicit CListingHost(std::string strPattern) : m_strPattern(std::move(strPattern)) {}
    std::string GetFileExt() const override { return m_strPattern; }
    void WriteFilePath(const std::string&) override {}
    bool OnScanProgress(std::size_t) override { return !m_fnProgress || m_fnProgress(); }

    // fnProgress returns false to stop the scan.
    void SetOnProgress(std::function<bool()> fnProgress) { m_fnProgress = std::move(fnProgress); }

private:
    std::string m_strPattern;
    std::function<bool()> m_fnProgress;
};

// Keeps one track on one line whatever its names hold.
void AppendEscaped(std::string& strOut, std::string_view strField) {
    std::size_t nStart = 0;
    for (std::size_t i = 0; i < strField.size(); ++i) {
        const char* pszEscape = nullptr;
        switch (strField[i]) {
        case '\t':
            pszEscape = "\\t";
            break;
        case '\n':
            pszEscape = "\\n";
            break;
        case '\r':
            pszEscape = "\\r";
            break;
        case '\\':
            pszEscape = "\\\\";
            break;
        default:
            continue;
        }
        strOut.append(strField.substr(nStart, i - nStart));
        strOut += pszEscape;
        nStart = i + 1;
    }
    strOut.append(strField.substr(nStart));
}

void AppendListLine(std::string& strOut, const CTrackInfo& track) {
    const std::string strSize = track.GetSizeText();
    const std::string_view strGenre = track.GetGenreName();
    const std::string_view arrFields[] = {
        track.GetFileName(), track.GetTitle(), track.GetAlbum(), track.GetLocation(), strSize,
        track.GetArtist(),   strGenre,         track.GetYear(),  track.GetComment()};
    for (std::size_t i = 0; i < std::size(arrFields); ++i) {
        if (i > 0) {
            strOut += '\t';
        }
        AppendEscaped(strOut, arrFields[i]);
    }
    strOut += '\n';
}

// The counts and sizes of the tree pane's nodes.
std::string GroupLine(int nIndent, const std::string& strName, const CTrackList& arrTracks) {
    const CSelectionStatus status = CSelectionStatus::DescribeShown(arrTracks);
    std::string strLine(static_cast<std::size_t>(nIndent), ' ');
    AppendEscaped(strLine, strName);
    return strLine + '\t' + status.m_strCount + '\t' + status.m_strSize + '\n';
}

// Writes the output with the system's own calls, so that it knows how much the reader took: a
// reader that closes the pipe once it has what it wants (head) ends the listing quietly, one
// that took nothing at all, a full disk or any other failure is an error the user must see.
class COutput {
public:
    explicit COutput(std::FILE* pOut) : m_nFd(::fileno(pOut)) { std::fflush(pOut); }

    // False once the output is closed or failed: there is no point going on.
    bool Write(std::string_view strText) {
        while (!strText.empty() && IsOpen()) {
            const ssize_t nWritten = ::write(m_nFd, strText.data(), strText.size());
            if (nWritten > 0) {
                m_nWritten += static_cast<std::uint64_t>(nWritten);
                strText.remove_prefix(static_cast<std::size_t>(nWritten));
            } else if (nWritten < 0 && errno == EINTR) {
                continue;
            } else {
                m_nError = nWritten < 0 ? errno : EIO;
                m_bTaken = m_nError == EPIPE && ReaderTookSome();
            }
        }
        return IsOpen();
    }
    bool IsOpen() const { return m_nError == 0; }

    // The exit status; the failure, if any, is told on pErr.
    int Finish(std::FILE* pErr) const {
        if (m_nError == 0 || (m_nError == EPIPE && m_bTaken)) {
            return 0;
        }
        std::fprintf(pErr, "tunebrowse: cannot write the output: %s\n", std::strerror(m_nError));
        return 1;
    }

private:
    // A pipe's reader gone keeps what it left unread in the pipe: bytes the pipe accepted are not
    // bytes read, and a reader that died before reading any took nothing.
    bool ReaderTookSome() const {
        struct stat st {};
        int nUnread = 0;
        if (::fstat(m_nFd, &st) == 0 && S_ISFIFO(st.st_mode) &&
            ::ioctl(m_nFd, FIONREAD, &nUnread) == 0 && nUnread >= 0) {
            return m_nWritten > static_cast<std::uint64_t>(nUnread);
        }
        return m_nWritten > 0;
    }

    int m_nFd;
    int m_nError = 0;
    std::uint64_t m_nWritten = 0;
    bool m_bTaken = false;
};

// Prints the tracks of a list as they come: records are only ever appended to a catalogue
// during a scan, so what is printed stays valid.
class CListPrinter {
public:
    explicit CListPrinter(COutput& out) : m_out(out) {}

    // False once the output failed.
    bool PrintNew(const CTrackList& arrTracks) {
        for (; m_nPrinted < arrTracks.size() && m_out.IsOpen(); ++m_nPrinted) {
            AppendListLine(m_strBuffer, *arrTracks[m_nPrinted]);
            if (m_strBuffer.size() > (1u << 16)) {
                Flush();
            }
        }
        return m_out.IsOpen();
    }

    void Flush() {
        m_out.Write(m_strBuffer);
        m_strBuffer.clear();
    }

private:
    COutput& m_out;
    std::string m_strBuffer;
    std::size_t m_nPrinted = 0;
};

void PrintTree(CTunebrDoc& doc, bool bByGenre, COutput& out) {
    std::string strBuffer = GroupLine(0, doc.GetTitle(), *doc.GetTracks());
    if (bByGenre) {
        for (const auto& pGenre : doc.GetGenres()) {
            strBuffer += GroupLine(2, pGenre->GetName(), pGenre->m_arrTracks);
            for (const auto& pArtist : pGenre->GetArtists()) {
                strBuffer += GroupLine(4, pArtist->GetName(), pArtist->m_arrTracks);
            }
        }
    } else {
        for (const auto& pArtist : doc.GetArtists()) {
            strBuffer += GroupLine(2, pArtist->GetName(), pArtist->m_arrTracks);
        }
    }
    out.Write(strBuffer);
}

} // namespace

CCommandLine CCommandLine::Parse(const std::vector<std::string>& arrArgs) {
    CCommandLine cmd;
    auto fail = [&cmd](std::string strError) {
        cmd.m_eMode = EMode::Usage;
        cmd.m_strError = std::move(strError);
        return cmd;
    };
    for (std::size_t i = 0; i < arrArgs.size(); ++i) {
        const std::string& strArg = arrArgs[i];
        if (strArg == "--help" || strArg == "-h") {
            cmd.m_eMode = EMode::Help;
            return cmd;
        }
        if (strArg == "--version") {
            cmd.m_eMode = EMode::Version;
            return cmd;
        }
        if (strArg == "--list" || strArg == "--tree") {
            const EMode eMode = strArg == "--list" ? EMode::List : EMode::Tree;
            if (cmd.m_eMode != EMode::Window && cmd.m_eMode != eMode) {
                return fail("--list and --tree exclude each other");
            }
            cmd.m_eMode = eMode;
        } else if (strArg == "--set" || strArg == "--encoding") {
            if (i + 1 >= arrArgs.size()) {
                return fail(strArg + " needs a value");
            }
            if (strArg == "--set") {
                cmd.m_arrSets.push_back(arrArgs[++i]);
            } else {
                cmd.m_strEncoding = arrArgs[++i];
            }
        } else if (strArg == "--set-from-id3v2") {
            cmd.m_bFromId3v2 = true;
        } else if (strArg == "--rename" || strArg == "--tags-from-name") {
            if (i + 1 >= arrArgs.size()) {
                return fail(strArg + " needs a format");
            }
            if (cmd.m_strFormat) {
                return fail("--rename and --tags-from-name exclude each other");
            }
            cmd.m_bRename = strArg == "--rename";
            cmd.m_strFormat = arrArgs[++i];
        } else if (strArg == "--by-genre") {
            cmd.m_bByGenre = true;
        } else if (strArg == "--keep-times") {
            cmd.m_bKeepTimes = true;
        } else if (strArg == "--dry-run") {
            cmd.m_bDryRun = true;
        } else if (strArg == "--also-id3v2") {
            cmd.m_bAlsoId3v2 = true;
        } else if (strArg == "--pattern") {
            if (i + 1 >= arrArgs.size()) {
                return fail("--pattern needs a pattern");
            }
            cmd.m_strPattern = arrArgs[++i];
        } else if (strArg == "--") {
            cmd.m_arrFiles.insert(cmd.m_arrFiles.end(), arrArgs.begin() + i + 1, arrArgs.end());
            break;
        } else if (!strArg.empty() && strArg[0] == '-') {
            return fail("unknown option " + strArg);
        } else {
            cmd.m_arrFiles.push_back(strArg);
        }
    }
    if (!cmd.m_arrSets.empty() || cmd.m_bFromId3v2 || cmd.m_strFormat) {
        const char* pszOption = cmd.m_strFormat ? (cmd.m_bRename ? "--rename" : "--tags-from-name")
                                : cmd.m_bFromId3v2 ? "--set-from-id3v2"
                                                   : "--set";
        const int nWrites =
            int(!cmd.m_arrSets.empty()) + int(cmd.m_bFromId3v2) + int(cmd.m_strFormat.has_value());
        if (cmd.m_eMode != EMode::Window || nWrites > 1) {
            return fail(std::string(pszOption) + " goes with files alone");
        }
        if (cmd.m_arrFiles.empty()) {
            return fail(std::string(pszOption) + " needs at least one file");
        }
        if (cmd.m_strFormat) {
            std::string strError;
            const std::optional<CNameFormat> format =
                CNameFormat::Parse(*cmd.m_strFormat, strError);
            if (format && !cmd.m_bRename) {
                strError = format->CheckForMatching();
            }
            if (!format || !strError.empty()) {
                return fail(std::string(pszOption) + " '" + *cmd.m_strFormat + "': " + strError);
            }
            cmd.m_eMode = cmd.m_bRename ? EMode::Rename : EMode::TagsFromName;
        } else {
            cmd.m_eMode = cmd.m_bFromId3v2 ? EMode::SetFromId3v2 : EMode::Set;
        }
    } else {
        if (cmd.m_arrFiles.size() > 1) {
            return fail("one folder at most");
        }
        if (!cmd.m_arrFiles.empty()) {
            // An unset variable in a script, most likely: it must not become a scan of "/".
            if (cmd.m_arrFiles.front().empty()) {
                return fail("the folder name is empty");
            }
            cmd.m_strFolder = cmd.m_arrFiles.front();
            cmd.m_arrFiles.clear();
        }
    }
    if (cmd.m_strEncoding) {
        if (cmd.m_eMode == EMode::Window) {
            return fail("--encoding goes with --list, --tree, --set, --rename or "
                        "--tags-from-name");
        }
        if (!CTagCodec::FromName(*cmd.m_strEncoding)) {
            return fail("unknown encoding " + *cmd.m_strEncoding);
        }
    }
    if (cmd.m_bByGenre && cmd.m_eMode != EMode::Tree) {
        return fail("--by-genre goes with --tree");
    }
    const bool bSets = cmd.m_eMode == EMode::Set || cmd.m_eMode == EMode::SetFromId3v2 ||
                       cmd.m_eMode == EMode::TagsFromName;
    if (cmd.m_strPattern && cmd.m_eMode != EMode::List && cmd.m_eMode != EMode::Tree &&
        !cmd.ChangesFiles()) {
        return fail("--pattern goes with --list, --tree or a mode that changes files");
    }
    // Filling from the ID3v2 tag writes back nothing but its own texts, cut to ID3v1's widths.
    if (cmd.m_bAlsoId3v2 && cmd.m_eMode != EMode::Set) {
        return fail("--also-id3v2 goes with --set");
    }
    // A rename leaves the file's bytes and times as they are.
    if (cmd.m_bKeepTimes && !bSets) {
        return fail("--keep-times goes with --set, --set-from-id3v2 or --tags-from-name");
    }
    if (cmd.m_bDryRun && !cmd.ChangesFiles()) {
        return fail("--dry-run goes with --set, --set-from-id3v2, --rename or --tags-from-name");
    }
    return cmd;
}

int CCommandLine::RunWithoutWindow(std::FILE* pOut, std::FILE* pErr) const {
    CFileOps fileOps;
    switch (m_eMode) {
    case EMode::Help:
        std::fputs(USAGE, pOut);
        std::fputs("\n", pOut);
        std::fputs(HELP, pOut);
        return 0;
    case EMode::Version:
        std::fputs("tunebrowse " TUNEBR_VERSION "\n" LICENCE_NOTICE "\n", pOut);
        return 0;
    case EMode::Usage:
        std::fprintf(pErr, "tunebrowse: %s\n%s", m_strError.c_str(), USAGE);
        return 2;
    case EMode::Window:
        return 2;
    case EMode::Set:
    case EMode::SetFromId3v2:
        return RunSet(fileOps, pOut, pErr);
    case EMode::Rename:
    case EMode::TagsFromName:
        return RunNames(fileOps, pOut, pErr);
    case EMode::List:
    case EMode::Tree:
        break;
    }
    CUserSettings settings;
    const CSettingsStore store;
    if (!store.IsUsable()) {
        std::fprintf(pErr, "tunebrowse: %s\n", store.GetProblemText().toLocal8Bit().constData());
    }
    settings.LoadSettings(store);
    const std::string strFolder = m_strFolder.value_or(settings.m_strFilePath);
    struct stat st;
    if (::stat(strFolder.empty() ? "/" : strFolder.c_str(), &st) != 0) {
        std::fprintf(pErr, "tunebrowse: cannot scan '%s': %s\n", strFolder.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (!S_ISDIR(st.st_mode)) {
        std::fprintf(pErr, "tunebrowse: cannot scan '%s': not a folder\n", strFolder.c_str());
        return 1;
    }
    CListingHost host(m_strPattern.value_or(settings.m_strFileExt));
    CTunebrDoc doc(host, fileOps);
    doc.SetTagCodec(Codec());
    // A closed pipe is told by write's error, not by a signal that ends the program unheard.
    std::signal(SIGPIPE, SIG_IGN);
    COutput out(pOut);
    if (m_eMode == EMode::List) {
        // Lines are printed while the scan waits for its readers; a failed output stops it.
        CListPrinter printer(out);
        host.SetOnProgress([&printer, &doc] { return printer.PrintNew(*doc.GetTracks()); });
        doc.ScanFolder(strFolder);
        if (printer.PrintNew(*doc.GetTracks())) {
            printer.Flush();
        }
    } else {
        doc.ScanFolder(strFolder);
        PrintTree(doc, m_bByGenre, out);
    }
    const std::size_t nUnopened = doc.GetUnopenedCount();
    if (nUnopened > 0) {
        std::string strText = LoadString(IDS_NOT_OPENED);
        strText.replace(strText.find("%1"), 2, std::to_string(nUnopened));
        std::fprintf(pErr, "tunebrowse: %s\n", strText.c_str());
    }
    // A listing with holes is no success: a script reading it must be able to tell, as with
    // find(1) meeting a folder it cannot read.
    const int nStatus = out.Finish(pErr);
    return nStatus == 0 && nUnopened > 0 ? 1 : nStatus;
}

// The chosen encoding: --encoding, or the one stored, or the automatic rule when the stored
// name is unknown.
CTagCodec CCommandLine::Codec() const {
    const std::string strName = m_strEncoding.value_or(CSettingsStore().ReadString(
        CUserSettings::SECTION_USER, TAG_ENCODING_SETTING, std::string()));
    return CTagCodec::FromName(strName).value_or(CTagCodec());
}

int CCommandLine::RunSet(CFileOps& ops, std::FILE* pOut, std::FILE* pErr) const {
    std::optional<STagChanges> changes;
    if (m_eMode == EMode::Set) {
        std::string strError;
        changes = CTagSetCommand::ParseAssignments(m_arrSets, strError);
        if (!changes) {
            std::fprintf(pErr, "tunebrowse: %s\n", strError.c_str());
            return 2;
        }
    }
    // The window's stored options, read as it reads them and never written.
    CUserSettings settings;
    settings.LoadSettings(CSettingsStore());
    CTagSetCommand::SOptions options;
    options.m_bKeepTimes = m_bKeepTimes || settings.m_bKeepFileTimes != 0;
    options.m_bDryRun = m_bDryRun;
    options.m_bAlsoId3v2 = m_bAlsoId3v2;
    const std::vector<std::string> arrFiles =
        FilesToSet(m_strPattern.value_or(settings.m_strFileExt), ops);
    const CTagCodec codec = Codec();
    const int nExit = changes
                          ? CTagSetCommand::Run(*changes, arrFiles, codec, options, ops, pOut, pErr)
                          : CTagSetCommand::RunFromId3v2(arrFiles, codec, options, ops, pOut, pErr);
    return std::fflush(pOut) == 0 ? nExit : std::max(nExit, 1);
}

bool CCommandLine::ChangesFiles() const {
    return m_eMode == EMode::Set || m_eMode == EMode::SetFromId3v2 || m_eMode == EMode::Rename ||
           m_eMode == EMode::TagsFromName;
}

int CCommandLine::RunNames(CFileOps& ops, std::FILE* pOut, std::FILE* pErr) const {
    std::string strError;
    const std::optional<CNameFormat> format = CNameFormat::Parse(*m_strFormat, strError);
    CUserSettings settings;
    settings.LoadSettings(CSettingsStore());
    const std::vector<std::string> arrFiles =
        FilesToSet(m_strPattern.value_or(settings.m_strFileExt), ops);
    int nExit = 0;
    if (m_eMode == EMode::Rename) {
        nExit = CRenameCommand::Run(*format, arrFiles, Codec(), m_bDryRun, ops, pOut, pErr);
    } else {
        CTagSetCommand::SOptions options;
        options.m_bKeepTimes = m_bKeepTimes || settings.m_bKeepFileTimes != 0;
        options.m_bDryRun = m_bDryRun;
        nExit = CTagSetCommand::RunFromNames(*format, arrFiles, Codec(), options, ops, pOut, pErr);
    }
    return std::fflush(pOut) == 0 ? nExit : std::max(nExit, 1);
}

std::vector<std::string> CCommandLine::FilesToSet(const std::string& strPattern,
                                                  CFileOps& ops) const {
    std::vector<std::string> arrFiles;
    for (const std::string& strArg : m_arrFiles) {
        struct stat st;
        if (::stat(strArg.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            arrFiles.push_back(strArg); // a file, or what its write will name as missing
            continue;
        }
        // The window's own walk: the same files, in the same order, as a scan lists.
        CListingHost host(strPattern);
        CTunebrDoc doc(host, ops);
        doc.ScanFolder(strArg);
        for (const auto& pTrack : *doc.GetTracks()) {
            arrFiles.push_back(pTrack->GetFullPath());
        }
    }
    return arrFiles;
}
