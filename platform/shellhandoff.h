// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string>
#include <vector>

// What a hand-off started: whether it did, and the process to watch (0 when the program was
// reached another way, such as D-Bus activation, or when there is nothing to watch).
struct SHandoffStart {
    bool bStarted = false;
    int nPid = 0;
    // The process only hands the files over and ends, however long that takes; otherwise it may
    // become the player itself.
    bool bEnds = false;
    // Not started: the player plays one file of several alone, and has no other way to take them.
    bool bOneFileOnly = false;
};

// Hands files and addresses to the applications the desktop associates with them. The program
// never asks which player is installed: the desktop's associations decide. Every call starts one
// program and returns at once; none waits for that program or the player.
class CShellHandoff {
public:
    virtual ~CShellHandoff() = default;

    // Whether the default application of the file's content type opens several files given on
    // one command line as they are.
    virtual bool TakesSeveralFiles(const std::string& strPath) = 0;

    // Has the default application of the first file's content type play the first file, with
    // the others after it in their order, whether it runs already or not (a playlist is a file
    // like any other). Not started when that application would play something else. Paths are
    // absolute.
    virtual SHandoffStart Play(const std::vector<std::string>& arrPaths) = 0;

    // Asks the default application of the first file's content type to add the files, in their
    // order, to its play queue, with one program. Not started when that application offers no
    // way of its own to do so. Paths are absolute.
    virtual SHandoffStart Enqueue(const std::vector<std::string>& arrPaths) = 0;

    // Opens an address in the application the desktop associates with its scheme.
    virtual bool Open(const std::string& strUrl) = 0;

protected:
    CShellHandoff() = default;
    CShellHandoff(const CShellHandoff&) = default;
    CShellHandoff& operator=(const CShellHandoff&) = default;
};

// The hand-off through GIO's application database (desktop entries and mimeapps.list). The
// processes it reports are its caller's to reap.
class CGioShellHandoff final : public CShellHandoff {
public:
    CGioShellHandoff() = default;

    bool TakesSeveralFiles(const std::string& strPath) override;
    SHandoffStart Play(const std::vector<std::string>& arrPaths) override;
    SHandoffStart Enqueue(const std::vector<std::string>& arrPaths) override;
    bool Open(const std::string& strUrl) override;
};

// The file URI of an absolute path, every byte that URIs do not allow escaped; the path itself
// when it is not absolute.
std::string FileUri(const std::string& strPath);

// The hand-off the program itself uses, alive as long as the program.
CShellHandoff& SystemShellHandoff();
