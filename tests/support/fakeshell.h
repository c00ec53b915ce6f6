// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "platform/shellhandoff.h"

#include <spawn.h>
#include <string>
#include <vector>

extern char** environ;

// Records one line per call; a call of several files lists them after one another.
class CFakeShell final : public CShellHandoff {
public:
    bool TakesSeveralFiles(const std::string&) override { return true; }
    SHandoffStart Play(const std::vector<std::string>& arrPaths) override {
        return Record("play", arrPaths);
    }
    SHandoffStart Enqueue(const std::vector<std::string>& arrPaths) override {
        return Record("enqueue", arrPaths);
    }
    bool Open(const std::string& strUrl) override {
        m_arrCalls.push_back("open " + strUrl);
        return true;
    }
    std::vector<std::string> m_arrCalls;
    // A program to start for every call, standing for the player's command.
    std::vector<std::string> m_arrProgram;

private:
    SHandoffStart Record(const char* pszVerb, const std::vector<std::string>& arrPaths) {
        std::string strCall = pszVerb;
        for (const std::string& strPath : arrPaths) {
            strCall += ' ' + strPath;
        }
        m_arrCalls.push_back(strCall);
        if (m_arrProgram.empty()) {
            return {true, 0};
        }
        std::vector<char*> arrArgv;
        for (std::string& strArg : m_arrProgram) {
            arrArgv.push_back(strArg.data());
        }
        arrArgv.push_back(nullptr);
        pid_t pid = 0;
        const bool bStarted =
            ::posix_spawn(&pid, arrArgv[0], nullptr, nullptr, arrArgv.data(), environ) == 0;
        return {bStarted, bStarted ? pid : 0};
    }
};
