// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// No Qt header may come into this file: GLib uses the name "signals", which Qt defines as a macro.
#include "platform/shellhandoff.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Enough of a file's start for the content sniffers of the MIME database.
constexpr std::size_t SNIFF_BYTES = 4096;

// How Play reaches a known player.
enum class EPlayRoute {
    // Its desktop entry, with all the files: the player plays the first, running or not.
    Entry,
    // Its desktop entry, one file at a time only: given several, it plays one of them alone.
    EntryOneFile,
    // Its own options (arrPlayOptions) before "--" and the files: they replace its list and the
    // first plays, running or not.
    Options,
    // Its companion program: emptied queue (pszPlayClear), the first file played through
    // pszPlayFirst, the rest enqueued.
    Companion,
    // The first file started through pszPlayFirst, alone, as the player itself when it is not
    // running yet; once the player answers the probe, the rest enqueued. The first start's
    // options are the Enqueue options' first.
    Chain,
    // One file through its entry, several chained: given several while running, it plays the
    // last.
    EntryOrChain,
};

// Players recognised by the name of the default entry's executable, with their own routes.
// Commands are built from that executable, never from the rest of the entry's Exec line, whose
// options (such as "--play-file") would take the files as their own values. Each row follows the
// player's --help and was tried with the player, running and not.
struct SKnownPlayer {
    const char* pszExecutable;
    const char* pszCompanion;  // a program run instead, beside the executable or in PATH
    const char* arrOptions[2]; // Enqueue: placed before the files; none: no Enqueue route
    bool bEndsOptions;         // takes "--" before the files
    EPlayRoute ePlay = EPlayRoute::Entry;
    const char* arrPlayOptions[2] = {};
    const char* pszPlayClear = nullptr;
    const char* pszPlayFirst = nullptr; // the option whose value is the first file
    bool bPlayUri = false;              // that value as a file URI
    // Chain: whether the player runs, asked the player itself with this option, or its D-Bus
    // name when it starts with "dbus:".
    const char* pszRunning = nullptr;
    // Chain: the further files go one per start as values of this option (the player takes one
    // file per start), else all at once after the Enqueue options.
    const char* pszEachFile = nullptr;
    // Chain, Play only: the option printing the player's queue, one file URI a line, and the
    // option taking each of them off it. The queue plays before any list, so what it held would
    // play between the first chosen track and the others.
    const char* pszQueued = nullptr;
    const char* pszUnqueue = nullptr;
};

constexpr SKnownPlayer s_arrKnownPlayers[] = {
    // Given several files while running, it plays each in turn and keeps the last playing.
    {"vlc",
     nullptr,
     {"--one-instance", "--playlist-enqueue"},
     true,
     EPlayRoute::EntryOrChain,
     {},
     nullptr,
     "",
     false,
     "dbus:org.mpris.MediaPlayer2.vlc"},
    // Its parser knows no "--".
    {"audacious", nullptr, {"-e"}, false},
    // Given files while running, both append them and keep the old track playing.
    {"strawberry", nullptr, {"-a"}, true, EPlayRoute::Options, {"--load", "--play"}},
    {"clementine", nullptr, {"-a"}, true, EPlayRoute::Options, {"--load", "--play"}},
    {"smplayer", nullptr, {"-add-to-playlist"}, false},
    // Given several files, it plays each in turn and keeps only the last.
    {"rhythmbox",
     "rhythmbox-client",
     {"--enqueue"},
     true,
     EPlayRoute::Companion,
     {},
     "--clear-queue",
     "--play-uri=",
     true},
    // Its entry hands "--play-file" a file URI, which it takes for a path relative to its folder;
    // "--run" starts it when it is not running yet, as the other players start on their own.
    // Each option counts once per start, and "--enqueue-files" given several files drops those
    // not yet in its library.
    {"quodlibet",
     nullptr,
     {"--run"},
     false,
     EPlayRoute::Chain,
     {},
     nullptr,
     "--play-file=",
     false,
     "--status",
     "--enqueue=",
     "--print-queue",
     "--unqueue="},
    {"deadbeef", nullptr, {"--queue"}, false},
    // Its own "--enqueue" reaches the running player (its MPRIS AddTrack answers but adds
    // nothing).
    {"celluloid", nullptr, {"--enqueue"}, false},
    {"parole", nullptr, {"-a"}, false},
    // Given several files, it plays only the last; it has no way to enqueue.
    {"lollypop", nullptr, {}, false, EPlayRoute::EntryOneFile},
};

// The starts of a chained Play, as a shell's positional parameters: the program, its probe, the
// option of the first start and its file, the option of each further file (empty: the further
// parameters are one command of the program), the options listing and emptying the player's
// queue (empty: left alone). Bounded by time, whatever a probe takes: a player that never answers
// ends the hand-off with an error.
constexpr char CHAIN_SCRIPT[] = R"sh(p=$0 probe=$1 start=$2 first=$3 each=$4 queued=$5 unqueue=$6
shift 6
running() {
    case $probe in
    dbus:*)
        set -- "${probe#dbus:}"
        { timeout 5 gdbus call --session --dest org.freedesktop.DBus \
            --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner "$1" ||
          timeout 5 dbus-send --session --print-reply --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "string:$1"; } 2>/dev/null |
            grep -q true ;;
    *) timeout 5 "$p" "$probe" >/dev/null 2>&1 ;;
    esac
}
if running; then
    "$p" "$start" "$first" || exit
else
    "$p" "$start" "$first" &
    end=$(($(date +%s) + 30))
    until running; do
        [ "$(date +%s)" -lt "$end" ] || exit 124
        sleep 0.2
    done
fi
if [ -n "$queued" ]; then
    q=$(timeout 10 "$p" "$queued") || exit
    printf '%s\n' "$q" | while IFS= read -r f; do
        [ -z "$f" ] || "$p" "$unqueue$f" || exit
    done || exit
fi
[ $# -gt 0 ] || exit 0
[ -n "$each" ] || exec "$p" "$@"
for f; do "$p" "$each$f" || exit; done)sh";

std::string Lower(const char* psz) {
    g_autofree gchar* pszLower = g_ascii_strdown(psz, -1);
    return pszLower;
}

bool IsRegularFile(const std::string& strPath) {
    struct stat st;
    return ::stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The start of a regular file. Opened without blocking, so a FIFO under an audio name cannot
// hang the program.
std::string ReadHead(const std::string& strPath) {
    const int nFd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (nFd < 0) {
        return {};
    }
    std::string strHead;
    struct stat st;
    if (::fstat(nFd, &st) == 0 && S_ISREG(st.st_mode)) {
        strHead.resize(SNIFF_BYTES);
        ssize_t nRead;
        do {
            nRead = ::read(nFd, strHead.data(), strHead.size());
        } while (nRead < 0 && errno == EINTR);
        strHead.resize(nRead > 0 ? static_cast<std::size_t>(nRead) : 0);
    }
    ::close(nFd);
    return strHead;
}

// The content type from the name, and from the data where the name leaves a doubt (".m3u" is
// claimed by two types; a configured pattern may match names without any extension).
gchar* GuessContentType(const std::string& strPath) {
    gboolean bUncertain = FALSE;
    gchar* pszType = g_content_type_guess(strPath.c_str(), nullptr, 0, &bUncertain);
    if (!bUncertain) {
        return pszType;
    }
    const std::string strHead = ReadHead(strPath);
    if (strHead.empty()) {
        return pszType;
    }
    g_free(pszType);
    return g_content_type_guess(strPath.c_str(), reinterpret_cast<const guchar*>(strHead.data()),
                                strHead.size(), nullptr);
}

GAppInfo* DefaultAppFor(const std::string& strPath) {
    g_autofree gchar* pszType = GuessContentType(strPath);
    return g_app_info_get_default_for_type(pszType, FALSE);
}

void StorePid(GDesktopAppInfo*, GPid pid, gpointer pData) {
    auto* pStart = static_cast<SHandoffStart*>(pData);
    if (pStart->nPid == 0) {
        pStart->nPid = pid;
    }
}

// Starts a desktop entry with the files, in their order.
SHandoffStart LaunchWithFiles(GAppInfo* pApp, const std::vector<std::string>& arrPaths) {
    SHandoffStart start;
    std::vector<gchar*> arrUris;
    GList* pUris = nullptr;
    for (const std::string& strPath : arrPaths) {
        g_autoptr(GFile) pFile = g_file_new_for_path(strPath.c_str());
        arrUris.push_back(g_file_get_uri(pFile));
        pUris = g_list_prepend(pUris, arrUris.back());
    }
    pUris = g_list_reverse(pUris);
    if (G_IS_DESKTOP_APP_INFO(pApp)) {
        const GSpawnFlags eFlags =
            static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
        start.bStarted = g_desktop_app_info_launch_uris_as_manager(
            G_DESKTOP_APP_INFO(pApp), pUris, nullptr, eFlags, nullptr, nullptr, StorePid, &start,
            nullptr);
    } else {
        start.bStarted = g_app_info_launch_uris(pApp, pUris, nullptr, nullptr);
    }
    g_list_free(pUris);
    for (gchar* pszUri : arrUris) {
        g_free(pszUri);
    }
    return start;
}

// A desktop action named "Enqueue" of the entry, as an application of its own: actions are
// started without files, so the action's command line is taken into a new entry that accepts
// them.
GAppInfo* EnqueueActionOf(GDesktopAppInfo* pApp) {
    const char* pszFileName = g_desktop_app_info_get_filename(pApp);
    if (pszFileName == nullptr) {
        return nullptr;
    }
    g_autoptr(GKeyFile) pEntry = g_key_file_new();
    if (!g_key_file_load_from_file(pEntry, pszFileName, G_KEY_FILE_NONE, nullptr)) {
        return nullptr;
    }
    for (const gchar* const* ppszAction = g_desktop_app_info_list_actions(pApp);
         ppszAction != nullptr && *ppszAction != nullptr; ++ppszAction) {
        const std::string strGroup = std::string("Desktop Action ") + *ppszAction;
        // The untranslated name: the user's language must not decide whether the action counts.
        g_autofree gchar* pszName =
            g_key_file_get_string(pEntry, strGroup.c_str(), G_KEY_FILE_DESKTOP_KEY_NAME, nullptr);
        if (Lower(*ppszAction) != "enqueue" &&
            (pszName == nullptr || Lower(pszName) != "enqueue")) {
            continue;
        }
        g_autofree gchar* pszExec =
            g_key_file_get_string(pEntry, strGroup.c_str(), G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
        if (pszExec == nullptr) {
            continue;
        }
        g_autoptr(GKeyFile) pAction = g_key_file_new();
        const char* pszGroup = G_KEY_FILE_DESKTOP_GROUP;
        g_key_file_set_string(pAction, pszGroup, G_KEY_FILE_DESKTOP_KEY_TYPE,
                              G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
        g_key_file_set_string(pAction, pszGroup, G_KEY_FILE_DESKTOP_KEY_NAME,
                              pszName != nullptr ? pszName : *ppszAction);
        g_key_file_set_string(pAction, pszGroup, G_KEY_FILE_DESKTOP_KEY_EXEC, pszExec);
        g_autofree gchar* pszFolder =
            g_key_file_get_string(pEntry, pszGroup, G_KEY_FILE_DESKTOP_KEY_PATH, nullptr);
        if (pszFolder != nullptr) {
            g_key_file_set_string(pAction, pszGroup, G_KEY_FILE_DESKTOP_KEY_PATH, pszFolder);
        }
        GDesktopAppInfo* pActionApp = g_desktop_app_info_new_from_keyfile(pAction);
        if (pActionApp != nullptr) {
            return G_APP_INFO(pActionApp);
        }
    }
    return nullptr;
}

std::string BaseName(const char* pszPath) {
    g_autofree gchar* pszBase = g_path_get_basename(pszPath);
    return pszBase;
}

const SKnownPlayer* FindKnownPlayer(GAppInfo* pApp) {
    const char* pszExecutable = g_app_info_get_executable(pApp);
    if (pszExecutable == nullptr) {
        return nullptr;
    }
    const std::string strName = Lower(BaseName(pszExecutable).c_str());
    for (const SKnownPlayer& player : s_arrKnownPlayers) {
        if (strName == player.pszExecutable) {
            return &player;
        }
    }
    return nullptr;
}

// The program of a known player's command: its companion beside the executable named by an
// absolute path, else the executable itself as the entry names it.
std::string ProgramOf(const SKnownPlayer& player, GAppInfo* pApp) {
    const std::string strExecutable = g_app_info_get_executable(pApp);
    if (player.pszCompanion == nullptr) {
        return strExecutable;
    }
    if (strExecutable.find('/') == std::string::npos) {
        return player.pszCompanion;
    }
    g_autofree gchar* pszFolder = g_path_get_dirname(strExecutable.c_str());
    return std::string(pszFolder) + '/' + player.pszCompanion;
}

void AddOptions(std::vector<std::string>& arrArgs, const char* const (&arrOptions)[2],
                bool bEndsOptions) {
    for (const char* pszOption : arrOptions) {
        if (pszOption != nullptr) {
            arrArgs.emplace_back(pszOption);
        }
    }
    if (bEndsOptions) {
        arrArgs.emplace_back("--");
    }
}

// The argument vector of a chained Play, or of an Enqueue one file per start.
std::vector<std::string> MakeChainCommand(const SKnownPlayer& player, const std::string& strProgram,
                                          const std::vector<std::string>& arrPaths, bool bPlay) {
    const char* pszFirst = bPlay ? player.pszPlayFirst : player.pszEachFile;
    std::vector<std::string> arrArgs = {"/bin/sh",
                                        "-c",
                                        CHAIN_SCRIPT,
                                        strProgram,
                                        player.pszRunning,
                                        player.arrOptions[0],
                                        pszFirst + arrPaths.front(),
                                        player.pszEachFile != nullptr ? player.pszEachFile : "",
                                        bPlay && player.pszQueued ? player.pszQueued : "",
                                        bPlay && player.pszUnqueue ? player.pszUnqueue : ""};
    if (arrPaths.size() > 1 && player.pszEachFile == nullptr) {
        AddOptions(arrArgs, player.arrOptions, player.bEndsOptions);
    }
    arrArgs.insert(arrArgs.end(), arrPaths.begin() + 1, arrPaths.end());
    return arrArgs;
}

// The argument vector that enqueues the files to a known player.
std::vector<std::string> MakeEnqueueCommand(const SKnownPlayer& player, GAppInfo* pApp,
                                            const std::vector<std::string>& arrPaths) {
    const std::string strProgram = ProgramOf(player, pApp);
    if (player.pszEachFile != nullptr) {
        return MakeChainCommand(player, strProgram, arrPaths, false);
    }
    std::vector<std::string> arrArgs = {strProgram};
    AddOptions(arrArgs, player.arrOptions, player.bEndsOptions);
    arrArgs.insert(arrArgs.end(), arrPaths.begin(), arrPaths.end());
    return arrArgs;
}

// The argument vector of a known player's Play through its own options or companion: the files
// replacing its list, or the first played through the player's option and the rest enqueued.
std::vector<std::string> MakePlayCommand(const SKnownPlayer& player, GAppInfo* pApp,
                                         const std::vector<std::string>& arrPaths) {
    const std::string strProgram = ProgramOf(player, pApp);
    std::vector<std::string> arrArgs = {strProgram};
    if (player.ePlay == EPlayRoute::Options) {
        AddOptions(arrArgs, player.arrPlayOptions, true);
        arrArgs.insert(arrArgs.end(), arrPaths.begin(), arrPaths.end());
        return arrArgs;
    }
    if (player.pszPlayClear != nullptr) {
        arrArgs.emplace_back(player.pszPlayClear);
    }
    const std::string& strFirst = arrPaths.front();
    arrArgs.push_back(player.pszPlayFirst + (player.bPlayUri ? FileUri(strFirst) : strFirst));
    if (arrPaths.size() > 1) {
        AddOptions(arrArgs, player.arrOptions, player.bEndsOptions);
        arrArgs.insert(arrArgs.end(), arrPaths.begin() + 1, arrPaths.end());
    }
    return arrArgs;
}

SHandoffStart Spawn(const std::vector<std::string>& arrArgs, bool bEnds) {
    std::vector<gchar*> arrArgv;
    for (const std::string& strArg : arrArgs) {
        arrArgv.push_back(const_cast<gchar*>(strArg.c_str()));
    }
    arrArgv.push_back(nullptr);
    const GSpawnFlags eFlags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
    SHandoffStart start;
    GPid pid = 0;
    start.bStarted =
        g_spawn_async(nullptr, arrArgv.data(), nullptr, eFlags, nullptr, nullptr, &pid, nullptr);
    start.nPid = start.bStarted ? pid : 0;
    start.bEnds = bEnds;
    return start;
}

// Whether the entry's command line takes any number of files in one start ("%F", "%U"); with
// "%f" or "%u" GIO starts one program per file, and the player gets them in any order.
bool ExecTakesSeveralFiles(GAppInfo* pApp) {
    const char* pszExec = g_app_info_get_commandline(pApp);
    g_auto(GStrv) ppszTokens = nullptr;
    if (pszExec == nullptr || !g_shell_parse_argv(pszExec, nullptr, &ppszTokens, nullptr)) {
        return false;
    }
    for (gchar** ppszToken = ppszTokens; *ppszToken != nullptr; ++ppszToken) {
        if (std::strcmp(*ppszToken, "%F") == 0 || std::strcmp(*ppszToken, "%U") == 0) {
            return true;
        }
    }
    return false;
}

bool AllRegularFiles(const std::vector<std::string>& arrPaths) {
    for (const std::string& strPath : arrPaths) {
        if (!IsRegularFile(strPath)) {
            return false;
        }
    }
    return !arrPaths.empty();
}

} // namespace

std::string FileUri(const std::string& strPath) {
    g_autofree gchar* pszUri = g_filename_to_uri(strPath.c_str(), nullptr, nullptr);
    return pszUri != nullptr ? pszUri : strPath;
}

bool CGioShellHandoff::TakesSeveralFiles(const std::string& strPath) {
    g_autoptr(GAppInfo) pApp = DefaultAppFor(strPath);
    if (pApp == nullptr) {
        return false;
    }
    // A player that plays only one of several files refuses them itself, with its own message:
    // a playlist would fare no better.
    const SKnownPlayer* pKnown = FindKnownPlayer(pApp);
    return pKnown != nullptr && pKnown->ePlay != EPlayRoute::Entry ? true
                                                                   : ExecTakesSeveralFiles(pApp);
}

SHandoffStart CGioShellHandoff::Play(const std::vector<std::string>& arrPaths) {
    if (!AllRegularFiles(arrPaths)) {
        return {};
    }
    g_autoptr(GAppInfo) pApp = DefaultAppFor(arrPaths.front());
    if (pApp == nullptr) {
        return {};
    }
    const SKnownPlayer* pKnown = FindKnownPlayer(pApp);
    const EPlayRoute eRoute = pKnown != nullptr ? pKnown->ePlay : EPlayRoute::Entry;
    const bool bOne = arrPaths.size() == 1;
    switch (eRoute) {
    case EPlayRoute::EntryOneFile:
        if (!bOne) {
            SHandoffStart refused;
            refused.bOneFileOnly = true;
            return refused;
        }
        return LaunchWithFiles(pApp, arrPaths);
    case EPlayRoute::Options:
        return Spawn(MakePlayCommand(*pKnown, pApp, arrPaths), false);
    // Its entry mishandles even one file.
    case EPlayRoute::Companion:
        return Spawn(MakePlayCommand(*pKnown, pApp, arrPaths), true);
    case EPlayRoute::Chain:
    case EPlayRoute::EntryOrChain:
        if (!bOne || eRoute == EPlayRoute::Chain) {
            return Spawn(MakeChainCommand(*pKnown, ProgramOf(*pKnown, pApp), arrPaths, true), true);
        }
        break;
    case EPlayRoute::Entry:
        break;
    }
    if (bOne || ExecTakesSeveralFiles(pApp)) {
        return LaunchWithFiles(pApp, arrPaths);
    }
    return {};
}

// Only routes of the default application itself: an entry of another player that happens to
// handle the type would start that player instead.
SHandoffStart CGioShellHandoff::Enqueue(const std::vector<std::string>& arrPaths) {
    if (!AllRegularFiles(arrPaths)) {
        return {};
    }
    g_autoptr(GAppInfo) pDefault = DefaultAppFor(arrPaths.front());
    if (pDefault == nullptr) {
        return {};
    }
    if (G_IS_DESKTOP_APP_INFO(pDefault)) {
        if (g_autoptr(GAppInfo) pAction = EnqueueActionOf(G_DESKTOP_APP_INFO(pDefault))) {
            return LaunchWithFiles(pAction, arrPaths);
        }
    }
    const SKnownPlayer* pKnown = FindKnownPlayer(pDefault);
    if (pKnown == nullptr || pKnown->arrOptions[0] == nullptr) {
        return {};
    }
    // A companion, or a chain, hands the files over and ends; the player itself may become
    // the player when it was not running.
    const bool bEnds = pKnown->pszCompanion != nullptr || pKnown->pszEachFile != nullptr;
    return Spawn(MakeEnqueueCommand(*pKnown, pDefault, arrPaths), bEnds);
}

bool CGioShellHandoff::Open(const std::string& strUrl) {
    return g_app_info_launch_default_for_uri(strUrl.c_str(), nullptr, nullptr);
}

CShellHandoff& SystemShellHandoff() {
    static CGioShellHandoff s_handoff;
    return s_handoff;
}
