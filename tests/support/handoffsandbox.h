// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

// A desktop of the test's own for hand-offs through GIO: its MIME database, entries,
// associations, and programs that record how they were started. GIO reads the desktop once per
// process, so each request runs in a fresh start of the test program, with the sandbox's path in
// HANDOFF_SANDBOX_VARIABLE: the program then serves the request from the file "request" (the verb
// and its arguments, NUL-separated), writes its outcome as a number to "outcome", and ends.
constexpr char HANDOFF_SANDBOX_VARIABLE[] = "TUNEBR_TEST_HANDOFF_SANDBOX";

inline std::vector<std::string> SplitAt(const std::string& strText, char cSeparator) {
    std::vector<std::string> arrParts;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strText.find(cSeparator, nStart)) != std::string::npos;
         nStart = nEnd + 1) {
        arrParts.push_back(strText.substr(nStart, nEnd - nStart));
    }
    arrParts.push_back(strText.substr(nStart));
    return arrParts;
}

// One invocation of a fake program: its name, then its arguments.
using CCall = std::vector<std::string>;

class CHandoffSandbox : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* pszFolder : {"share", "data/applications", "config", "etc", "bin", "run",
                                      "cache", "home", "music"}) {
            std::filesystem::create_directories(Path(pszFolder));
        }
        std::filesystem::permissions(Path("run"), std::filesystem::perms::owner_all);
        // The system's MIME database, and none of its applications.
        std::filesystem::create_directory_symlink("/usr/share/mime", Path("share/mime"));
        WriteBytes(Path("config/mimeapps.list"), "[Default Applications]\n");
    }

    std::filesystem::path Path(const std::string& strRelative) const {
        return m_sandbox.Path() / strRelative;
    }

    // A program that records its name and arguments, one call per record, and prints
    // strOutput. A real player takes a varying while to pass a file on; the programs do so too
    // once told to.
    std::string AddProgram(const std::string& strName, const std::string& strOutput = "") {
        const std::filesystem::path program = Path("bin/" + strName);
        const std::string strRecord = "'" + Path("record").string() + "'";
        WriteBytes(program, std::string("#!/bin/sh\n") +
                                (m_bProgramsTakeTheirTime
                                     ? "sleep 0.0$(( $(od -An -N1 -tu1 /dev/urandom) % 10 ))\n"
                                     : "") +
                                "printf '%s\\0' \"${0##*/}\" \"$@\" >> " + strRecord + "\n" +
                                "printf '\\n' >> " + strRecord + "\n" + "printf '%s' '" +
                                strOutput + "'\n");
        std::filesystem::permissions(program, std::filesystem::perms(0755));
        return program.string();
    }

    void AddEntry(const std::string& strId, const std::string& strBody) {
        WriteBytes(Path("data/applications/" + strId),
                   "[Desktop Entry]\nType=Application\n" + strBody);
    }

    // The player of the tests: associated with MP3 files and M3U playlists, optionally with
    // further lines such as its desktop actions.
    void AddFakePlayer(const std::string& strExtra = "", const std::string& strFiles = "%F") {
        AddEntry("fakeplayer.desktop", "Name=Fake Player\nExec=" + AddProgram("fakeplayer") + " " +
                                           strFiles + "\nMimeType=audio/mpeg;audio/x-mpegurl;\n" +
                                           strExtra);
        SetDefaults("audio/mpeg=fakeplayer.desktop\naudio/x-mpegurl=fakeplayer.desktop\n");
    }

    void SetDefaults(const std::string& strLines) {
        WriteBytes(Path("config/mimeapps.list"), "[Default Applications]\n" + strLines);
    }

    std::string AddTrack(const std::string& strName) {
        const std::filesystem::path track = Path("music/" + strName);
        WriteBytes(track, Audio(2000) + MakeTag("Title", "Artist"));
        return track.string();
    }

    // Runs one request in a helper and returns its outcome.
    unsigned Run(const std::string& strVerb, const std::vector<std::string>& arrArgs) {
        std::string strRequest = strVerb;
        for (const std::string& strArg : arrArgs) {
            strRequest += '\0' + strArg;
        }
        WriteBytes(Path("request"), strRequest);
        std::filesystem::remove(Path("outcome"));

        std::vector<std::string> arrEnv;
        const std::vector<std::string> arrDropped = {
            "XDG_", "HOME=", "PATH=", "DISPLAY=", "WAYLAND_DISPLAY=", "DBUS_SESSION_BUS_ADDRESS="};
        for (char** ppszVar = environ; *ppszVar != nullptr; ++ppszVar) {
            const std::string strVar = *ppszVar;
            bool bDropped = false;
            for (const std::string& strPrefix : arrDropped) {
                bDropped = bDropped || strVar.rfind(strPrefix, 0) == 0;
            }
            if (!bDropped) {
                arrEnv.push_back(strVar);
            }
        }
        arrEnv.insert(arrEnv.end(),
                      {
                          std::string(HANDOFF_SANDBOX_VARIABLE) + '=' + m_sandbox.Str(),
                          "XDG_DATA_HOME=" + Path("data").string(),
                          "XDG_DATA_DIRS=" + Path("share").string(),
                          "XDG_CONFIG_HOME=" + Path("config").string(),
                          "XDG_CONFIG_DIRS=" + Path("etc").string(),
                          "XDG_RUNTIME_DIR=" + Path("run").string(),
                          "XDG_CACHE_HOME=" + Path("cache").string(),
                          "HOME=" + Path("home").string(),
                          "PATH=" + Path("bin").string() + ":/usr/bin:/bin",
                          "GIO_USE_VFS=local",
                      });
        std::vector<char*> arrEnvp;
        for (std::string& strVar : arrEnv) {
            arrEnvp.push_back(strVar.data());
        }
        arrEnvp.push_back(nullptr);
        std::string strSelf = std::filesystem::read_symlink("/proc/self/exe").string();
        char* arrArgv[] = {strSelf.data(), nullptr};

        pid_t pid = 0;
        if (::posix_spawn(&pid, strSelf.c_str(), nullptr, nullptr, arrArgv, arrEnvp.data()) != 0) {
            ADD_FAILURE() << "the helper did not start";
            return 0;
        }
        int nStatus = 0;
        const auto tDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (::waitpid(pid, &nStatus, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > tDeadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &nStatus, 0);
                ADD_FAILURE() << "the helper hung on " << strVerb;
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0)
            << "the helper failed on " << strVerb << " (status " << nStatus << ")";
        const std::string strOutcome = ReadBytes(Path("outcome"));
        EXPECT_FALSE(strOutcome.empty()) << "the helper gave no outcome for " << strVerb;
        return strOutcome.empty() ? 0u : static_cast<unsigned>(std::stoul(strOutcome));
    }

    std::vector<CCall> Calls() const {
        std::vector<CCall> arrCalls;
        const std::string strRecord = ReadBytes(Path("record"));
        std::size_t nStart = 0;
        for (std::size_t nEnd;
             (nEnd = strRecord.find(std::string("\0\n", 2), nStart)) != std::string::npos;
             nStart = nEnd + 2) {
            arrCalls.push_back(SplitAt(strRecord.substr(nStart, nEnd - nStart), '\0'));
        }
        return arrCalls;
    }

    // The programs start on their own time: waits until as many calls as expected arrived, and a
    // little longer for any unexpected one.
    std::vector<CCall> WaitForCalls(std::size_t nExpected) const {
        const auto tDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Calls().size() < nExpected && std::chrono::steady_clock::now() < tDeadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return Calls();
    }

    void ClearCalls() { std::filesystem::remove(Path("record")); }

    bool m_bProgramsTakeTheirTime = false;

private:
    CTempDir m_sandbox;
};
