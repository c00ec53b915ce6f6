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

// Players whose own command line adds files to the queue of the running instance, recognised by
// the name of the default entry's executable. The command is built from that executable, never
// from the rest of the entry's Exec line, whose options (such as "--play-file") would take the
// files as their own values. Each row follows the player's --help and was tried with the player.
struct SKnownPlayer {
    const char* pszExecutable;
    const char* pszCompanion;  // a program run instead, beside the executable or in PATH
    const char* arrOptions[2]; // placed before the files
    bool bEndsOptions;         // takes "--" before the files
    // Play goes through the player's own option for the first file, the rest being enqueued,
    // where its entry would not keep several files: emptied queue first, then the first file as
    // the option's value, as a file URI where the option wants one.
    const char* pszPlayClear = nullptr;
    const char* pszPlayFirst = nullptr;
    bool bPlayUri = false;
    // Takes one file per start: the first start may become the player itself, so the others
    // wait until the player answers pszRunning, then follow one by one as pszEachFile values.
    const char* pszRunning = nullptr;
    const char* pszEachFile = nullptr;
};

constexpr SKnownPlayer s_arrKnownPlayers[] = {
    {"vlc", nullptr, {"--one-instance", "--playlist-enqueue"}, true},
    // Its parser knows no "--".
    {"audacious", nullptr, {"-e"}, false},
    {"strawberry", nullptr, {"-a"}, true},
    {"clementine", nullptr, {"-a"}, true},
    {"smplayer", nullptr, {"-add-to-playlist"}, false},
    // Given several files, it plays each in turn and keeps only the last.
    {"rhythmbox", "rhythmbox-client", {"--enqueue"}, true, "--clear-queue", "--play-uri=", true},
    // Its entry hands "--play-file" a file URI, which it takes for a path relative to its folder;
    // "--run" starts it when it is not running yet, as the other players start on their own.
    // Each option counts once per start, and "--enqueue-files" given several files drops those
    // not yet in its library.
    {"quodlibet",
     nullptr,
     {"--run"},
     false,
     nullptr,
     "--play-file=",
     false,
     "--status",
     "--enqueue="},
    {"deadbeef", nullptr, {"--queue"}, false},
};

// The starts of a player that takes one file per start, in order, as a shell's positional
// parameters: the program, the option it answers once running, the option of each further file,
// the option that starts it, the first start's file option, then the further files. Bounded:
// a player that never answers ends the hand-off with an error after half a minute.
constexpr char CHAIN_SCRIPT[] = R"(p=$0 running=$1 each=$2 start=$3 first=$4
shift 4
if "$p" "$running" >/dev/null 2>&1; then
    "$p" "$start" "$first" || exit
else
    "$p" "$start" "$first" &
    i=0
    until "$p" "$running" >/dev/null 2>&1; do
        i=$((i + 1))
        [ "$i" -le 150 ] || exit 1
        sleep 0.2
    done
fi
for f; do "$p" "$each$f" || exit; done)";

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

// The argument vector of the player's starts that take one file each, chained by a shell.
std::vector<std::string> MakeChainCommand(const SKnownPlayer& player, const std::string& strProgram,
                                          const std::vector<std::string>& arrPaths, bool bPlay) {
    std::vector<std::string> arrArgs = {
        "/bin/sh",           "-c", CHAIN_SCRIPT, strProgram, player.pszRunning, player.pszEachFile,
        player.arrOptions[0]};
    arrArgs.push_back((bPlay ? player.pszPlayFirst : player.pszEachFile) + arrPaths.front());
    arrArgs.insert(arrArgs.end(), arrPaths.begin() + 1, arrPaths.end());
    return arrArgs;
}

// The argument vector that hands the files to a known player: enqueued, or for Play the first
// played through the player's option and the rest enqueued.
std::vector<std::string> MakeKnownCommand(const SKnownPlayer& player, GAppInfo* pApp,
                                          const std::vector<std::string>& arrPaths, bool bPlay) {
    const std::string strProgram = ProgramOf(player, pApp);
    if (player.pszEachFile != nullptr) {
        return MakeChainCommand(player, strProgram, arrPaths, bPlay);
    }
    std::vector<std::string> arrArgs = {strProgram};
    auto itQueued = arrPaths.begin();
    if (bPlay) {
        if (player.pszPlayClear != nullptr) {
            arrArgs.emplace_back(player.pszPlayClear);
        }
        arrArgs.push_back(player.pszPlayFirst + (player.bPlayUri ? FileUri(*itQueued) : *itQueued));
        ++itQueued;
        if (itQueued == arrPaths.end()) {
            return arrArgs;
        }
    }
    for (const char* pszOption : player.arrOptions) {
        if (pszOption != nullptr) {
            arrArgs.emplace_back(pszOption);
        }
    }
    if (player.bEndsOptions) {
        arrArgs.emplace_back("--");
    }
    arrArgs.insert(arrArgs.end(), itQueued, arrPaths.end());
    return arrArgs;
}

SHandoffStart Spawn(const std::vector<std::string>& arrArgs) {
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
    const SKnownPlayer* pKnown = FindKnownPlayer(pApp);
    return pKnown != nullptr && pKnown->pszPlayFirst != nullptr ? true
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
    // Even one file goes through the player's own option, as its entry mishandles files.
    if (const SKnownPlayer* pKnown = FindKnownPlayer(pApp);
        pKnown != nullptr && pKnown->pszPlayFirst != nullptr) {
        return Spawn(MakeKnownCommand(*pKnown, pApp, arrPaths, true));
    }
    if (arrPaths.size() == 1) {
        return LaunchWithFiles(pApp, arrPaths);
    }
    return ExecTakesSeveralFiles(pApp) ? LaunchWithFiles(pApp, arrPaths) : SHandoffStart{};
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
    return pKnown != nullptr ? Spawn(MakeKnownCommand(*pKnown, pDefault, arrPaths, false))
                             : SHandoffStart{};
}

bool CGioShellHandoff::Open(const std::string& strUrl) {
    return g_app_info_launch_default_for_uri(strUrl.c_str(), nullptr, nullptr);
}

CShellHandoff& SystemShellHandoff() {
    static CGioShellHandoff s_handoff;
    return s_handoff;
}
