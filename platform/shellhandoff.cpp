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
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// How long an Enqueue waits for the program started by the previous one. Long enough for a
// player's command line to pass its file to the running instance; if it is still running after
// that, it has become the player itself and is not waited for.
constexpr std::chrono::milliseconds ENQUEUE_SETTLE_TIME{1000};

// Enough of a file's start for the content sniffers of the MIME database.
constexpr std::size_t SNIFF_BYTES = 4096;

// Players whose own command line adds files to the queue of the running instance. A player is
// recognised by the name of its executable or by the last part of its desktop id, both in lower
// case.
struct SKnownPlayer {
    const char* arrNames[2];
    const char* pszCompanion;  // a program run instead of the player, searched in PATH
    const char* arrOptions[2]; // placed before the file
    const char* pszJoined;     // an option the path is appended to, forming one argument
    char cSplitsAt;            // a character the player splits that argument at
};

constexpr SKnownPlayer s_arrKnownPlayers[] = {
    {{"vlc"}, nullptr, {"--one-instance", "--playlist-enqueue"}, nullptr, '\0'},
    {{"audacious"}, nullptr, {"-e"}, nullptr, '\0'},
    {{"strawberry"}, nullptr, {"-a"}, nullptr, '\0'},
    {{"clementine"}, nullptr, {"-a"}, nullptr, '\0'},
    {{"smplayer"}, nullptr, {"-add-to-playlist"}, nullptr, '\0'},
    {{"rhythmbox", "rhythmbox3"}, "rhythmbox-client", {"--enqueue"}, nullptr, '\0'},
    // Takes a comma-separated list: a path holding a comma would reach it as several files.
    {{"quodlibet"}, nullptr, {}, "--enqueue-files=", ','},
    {{"deadbeef"}, nullptr, {"--queue"}, nullptr, '\0'},
};

std::string Lower(std::string str) {
    for (char& c : str) {
        c = g_ascii_tolower(c);
    }
    return str;
}

bool ContainsEnqueue(const char* pszText) {
    return pszText != nullptr && Lower(pszText).find("enqueue") != std::string::npos;
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

GAppInfo* DefaultAppFor(const char* pszContentType) {
    return g_app_info_get_default_for_type(pszContentType, FALSE);
}

void StorePid(GDesktopAppInfo*, GPid pid, gpointer pData) {
    *static_cast<GPid*>(pData) = pid;
}

// Starts a desktop entry with one file and tells which process it started (0 when the entry was
// reached another way, such as D-Bus activation).
bool LaunchWithFile(GAppInfo* pApp, const std::string& strPath, GPid* pPid) {
    g_autoptr(GFile) pFile = g_file_new_for_path(strPath.c_str());
    if (pPid != nullptr && G_IS_DESKTOP_APP_INFO(pApp)) {
        g_autofree gchar* pszUri = g_file_get_uri(pFile);
        GList* pUris = g_list_append(nullptr, pszUri);
        const GSpawnFlags eFlags =
            static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
        const gboolean bStarted = g_desktop_app_info_launch_uris_as_manager(
            G_DESKTOP_APP_INFO(pApp), pUris, nullptr, eFlags, nullptr, nullptr, StorePid, pPid,
            nullptr);
        g_list_free(pUris);
        return bStarted;
    }
    GList* pFiles = g_list_append(nullptr, pFile);
    const gboolean bStarted = g_app_info_launch(pApp, pFiles, nullptr, nullptr);
    g_list_free(pFiles);
    return bStarted;
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

const SKnownPlayer* FindKnownPlayer(GAppInfo* pApp) {
    std::vector<std::string> arrNames;
    if (const char* pszExecutable = g_app_info_get_executable(pApp)) {
        g_autofree gchar* pszBase = g_path_get_basename(pszExecutable);
        arrNames.push_back(Lower(pszBase));
    }
    if (const char* pszId = g_app_info_get_id(pApp)) {
        std::string strId = Lower(pszId);
        const std::string strSuffix = ".desktop";
        if (strId.size() > strSuffix.size() &&
            strId.compare(strId.size() - strSuffix.size(), strSuffix.size(), strSuffix) == 0) {
            strId.resize(strId.size() - strSuffix.size());
        }
        arrNames.push_back(strId.substr(strId.rfind('.') + 1));
    }
    for (const SKnownPlayer& player : s_arrKnownPlayers) {
        for (const char* pszKnown : player.arrNames) {
            for (const std::string& strName : arrNames) {
                if (pszKnown != nullptr && strName == pszKnown) {
                    return &player;
                }
            }
        }
    }
    return nullptr;
}

bool IsFileFieldCode(const std::string& strToken) {
    return strToken == "%f" || strToken == "%F" || strToken == "%u" || strToken == "%U";
}

// An argument of an Exec line without its field codes ("%%" stands for "%").
std::string WithoutFieldCodes(const std::string& strToken) {
    std::string strArg;
    for (std::size_t i = 0; i < strToken.size(); ++i) {
        if (strToken[i] != '%') {
            strArg += strToken[i];
        } else if (i + 1 < strToken.size() && strToken[++i] == '%') {
            strArg += '%';
        }
    }
    return strArg;
}

// The argument vector that enqueues the file with a known player: the player's own command line
// from its entry, with the option and the file where the entry puts its files.
bool MakeEnqueueArgs(const SKnownPlayer& player, GAppInfo* pApp, const std::string& strPath,
                     std::vector<std::string>& arrArgs) {
    std::vector<std::string> arrFileArgs;
    for (const char* pszOption : player.arrOptions) {
        if (pszOption != nullptr) {
            arrFileArgs.emplace_back(pszOption);
        }
    }
    if (player.pszJoined != nullptr) {
        if (player.cSplitsAt != '\0' && strPath.find(player.cSplitsAt) != std::string::npos) {
            return false;
        }
        arrFileArgs.push_back(player.pszJoined + strPath);
    } else {
        arrFileArgs.push_back(strPath);
    }

    if (player.pszCompanion != nullptr) {
        arrArgs.assign(1, player.pszCompanion);
        arrArgs.insert(arrArgs.end(), arrFileArgs.begin(), arrFileArgs.end());
        return true;
    }

    const char* pszExec = g_app_info_get_commandline(pApp);
    g_auto(GStrv) ppszTokens = nullptr;
    if (pszExec == nullptr || !g_shell_parse_argv(pszExec, nullptr, &ppszTokens, nullptr)) {
        return false;
    }
    bool bPlaced = false;
    for (gchar** ppszToken = ppszTokens; *ppszToken != nullptr; ++ppszToken) {
        const std::string strToken = *ppszToken;
        if (IsFileFieldCode(strToken)) {
            if (!bPlaced) {
                // A sandbox launcher marks its forwarded files ("@@u %U @@"): the options stay
                // outside the marks.
                auto itFileArgs = arrArgs.end();
                if (!arrArgs.empty() && (arrArgs.back() == "@@u" || arrArgs.back() == "@@")) {
                    --itFileArgs;
                }
                arrArgs.insert(itFileArgs, arrFileArgs.begin(), arrFileArgs.end() - 1);
                arrArgs.push_back(arrFileArgs.back());
                bPlaced = true;
            }
            continue;
        }
        std::string strArg = WithoutFieldCodes(strToken);
        if (!strArg.empty() || strToken.empty()) {
            arrArgs.push_back(std::move(strArg));
        }
    }
    if (!bPlaced) {
        arrArgs.insert(arrArgs.end(), arrFileArgs.begin(), arrFileArgs.end());
    }
    return !arrArgs.empty();
}

bool Spawn(const std::vector<std::string>& arrArgs, GPid* pPid) {
    std::vector<gchar*> arrArgv;
    for (const std::string& strArg : arrArgs) {
        arrArgv.push_back(const_cast<gchar*>(strArg.c_str()));
    }
    arrArgv.push_back(nullptr);
    const GSpawnFlags eFlags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
    return g_spawn_async(nullptr, arrArgv.data(), nullptr, eFlags, nullptr, nullptr, pPid, nullptr);
}

bool MentionsEnqueue(GAppInfo* pApp) {
    if (ContainsEnqueue(g_app_info_get_id(pApp)) || ContainsEnqueue(g_app_info_get_name(pApp))) {
        return true;
    }
    if (!G_IS_DESKTOP_APP_INFO(pApp)) {
        return false;
    }
    g_autofree gchar* pszName =
        g_desktop_app_info_get_string(G_DESKTOP_APP_INFO(pApp), G_KEY_FILE_DESKTOP_KEY_NAME);
    return ContainsEnqueue(pszName);
}

// Whether the entry handles the type: by the types it declares itself, or by an association of
// the desktop's database. The database alone would not do: it only knows the entries its tools
// have indexed, and an entry written by hand into the user's folder is often not.
bool HandlesType(GAppInfo* pApp, const char* pszContentType, GList* pAssociated) {
    for (const char* const* ppszType = g_app_info_get_supported_types(pApp);
         ppszType != nullptr && *ppszType != nullptr; ++ppszType) {
        if (g_content_type_is_a(pszContentType, *ppszType)) {
            return true;
        }
    }
    for (GList* pItem = pAssociated; pItem != nullptr; pItem = pItem->next) {
        if (g_app_info_equal(pApp, static_cast<GAppInfo*>(pItem->data))) {
            return true;
        }
    }
    return false;
}

// An installed entry meant for enqueueing that handles the type. Such entries are usually kept
// off the menus (NoDisplay), so all entries are looked at, not only the ones shown.
GAppInfo* FindEnqueueEntry(const char* pszContentType) {
    GList* pAssociated = g_app_info_get_all_for_type(pszContentType);
    GList* pApps = g_app_info_get_all();
    GAppInfo* pFound = nullptr;
    for (GList* pItem = pApps; pItem != nullptr && pFound == nullptr; pItem = pItem->next) {
        auto* pApp = static_cast<GAppInfo*>(pItem->data);
        if (MentionsEnqueue(pApp) && HandlesType(pApp, pszContentType, pAssociated)) {
            pFound = G_APP_INFO(g_object_ref(pApp));
        }
    }
    g_list_free_full(pApps, g_object_unref);
    g_list_free_full(pAssociated, g_object_unref);
    return pFound;
}

void ClosePid(GPid pid, gint, gpointer) {
    g_spawn_close_pid(pid);
}

} // namespace

CGioShellHandoff::~CGioShellHandoff() {
    if (m_nEnqueuePid > 0 && ::waitpid(m_nEnqueuePid, nullptr, WNOHANG) == 0) {
        ReapLater();
    }
}

bool CGioShellHandoff::Play(const std::string& strPath) {
    if (!IsRegularFile(strPath)) {
        return false;
    }
    g_autofree gchar* pszType = GuessContentType(strPath);
    g_autoptr(GAppInfo) pApp = DefaultAppFor(pszType);
    return pApp != nullptr && LaunchWithFile(pApp, strPath, nullptr);
}

bool CGioShellHandoff::Enqueue(const std::string& strPath) {
    SettlePreviousEnqueue();
    return StartEnqueue(strPath);
}

bool CGioShellHandoff::StartEnqueue(const std::string& strPath) {
    if (!IsRegularFile(strPath)) {
        return false;
    }
    g_autofree gchar* pszType = GuessContentType(strPath);
    g_autoptr(GAppInfo) pDefault = DefaultAppFor(pszType);
    GPid pid = 0;
    bool bStarted = false;

    g_autoptr(GAppInfo) pAction = nullptr;
    const SKnownPlayer* pKnown = nullptr;
    if (pDefault != nullptr && G_IS_DESKTOP_APP_INFO(pDefault)) {
        pAction = EnqueueActionOf(G_DESKTOP_APP_INFO(pDefault));
    }
    if (pDefault != nullptr && pAction == nullptr) {
        pKnown = FindKnownPlayer(pDefault);
    }
    if (pAction != nullptr) {
        bStarted = LaunchWithFile(pAction, strPath, &pid);
    } else if (pKnown != nullptr) {
        std::vector<std::string> arrArgs;
        bStarted = MakeEnqueueArgs(*pKnown, pDefault, strPath, arrArgs) && Spawn(arrArgs, &pid);
    } else {
        g_autoptr(GAppInfo) pEntry = FindEnqueueEntry(pszType);
        bStarted = pEntry != nullptr && LaunchWithFile(pEntry, strPath, &pid);
    }

    if (bStarted && pid > 0) {
        m_nEnqueuePid = pid;
        m_tEnqueueStart = std::chrono::steady_clock::now();
    }
    return bStarted;
}

bool CGioShellHandoff::Open(const std::string& strUrl) {
    return g_app_info_launch_default_for_uri(strUrl.c_str(), nullptr, nullptr);
}

void CGioShellHandoff::SettlePreviousEnqueue() {
    if (m_nEnqueuePid <= 0) {
        return;
    }
    const auto tDeadline = m_tEnqueueStart + ENQUEUE_SETTLE_TIME;
    for (;;) {
        const pid_t nResult = ::waitpid(m_nEnqueuePid, nullptr, WNOHANG);
        if (nResult == m_nEnqueuePid || (nResult < 0 && errno != EINTR)) {
            m_nEnqueuePid = 0;
            return;
        }
        if (std::chrono::steady_clock::now() >= tDeadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ReapLater();
}

// The program outlived the wait: the main loop collects it whenever it ends.
void CGioShellHandoff::ReapLater() {
    g_child_watch_add(m_nEnqueuePid, ClosePid, nullptr);
    m_nEnqueuePid = 0;
}

CShellHandoff& SystemShellHandoff() {
    static CGioShellHandoff s_handoff;
    return s_handoff;
}
