// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <chrono>
#include <string>

// Hands files and addresses to the applications the desktop associates with them. The program
// never asks which player is installed: the desktop's associations decide. Every call starts a
// program and returns; none waits for the player to finish.
class CShellHandoff {
public:
    virtual ~CShellHandoff() = default;

    // Starts the default application of the file's content type with the file (a playlist is a
    // file like any other). False when nothing is associated or the start failed.
    virtual bool Play(const std::string& strPath) = 0;

    // Asks the default application of the file's content type to add the file to its play queue.
    // False when that application offers no known way to do so, or the start failed.
    virtual bool Enqueue(const std::string& strPath) = 0;

    // Opens an address in the application the desktop associates with its scheme.
    virtual bool Open(const std::string& strUrl) = 0;

protected:
    CShellHandoff() = default;
    CShellHandoff(const CShellHandoff&) = default;
    CShellHandoff& operator=(const CShellHandoff&) = default;
};

// The hand-off through GIO's application database (desktop entries and mimeapps.list).
class CGioShellHandoff final : public CShellHandoff {
public:
    CGioShellHandoff() = default;
    ~CGioShellHandoff() override;
    CGioShellHandoff(const CGioShellHandoff&) = delete;
    CGioShellHandoff& operator=(const CGioShellHandoff&) = delete;

    bool Play(const std::string& strPath) override;
    bool Enqueue(const std::string& strPath) override;
    bool Open(const std::string& strUrl) override;

private:
    bool StartEnqueue(const std::string& strPath);
    void SettlePreviousEnqueue();
    void ReapLater();

    // The last program started by Enqueue. Each such program passes one file to the player and
    // usually ends at once; letting it end before the next one starts keeps the queue in the
    // order of the selection, which concurrent starts would not.
    int m_nEnqueuePid = 0;
    std::chrono::steady_clock::time_point m_tEnqueueStart;
};

// The hand-off the program itself uses, alive as long as the program.
CShellHandoff& SystemShellHandoff();
