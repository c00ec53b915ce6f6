// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/backgroundthread.h"
#include "catalogue/folderwalk.h"
#include "catalogue/posixio.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

int ThreadNice() {
    errno = 0;
    const int nNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    return errno == 0 ? nNice : -100;
}

// Notes the priority of every thread but the walk's that lists a folder or opens a file.
class CPriorityOps final : public CFileOps {
public:
    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        Note();
        return CFileOps::OpenAt(nDirFd, pszPath, nFlags);
    }
    ssize_t ListFolder(int nFd, void* pBuffer, std::size_t nSize) override {
        Note();
        return CFileOps::ListFolder(nFd, pBuffer, nSize);
    }

    const std::thread::id m_walk = std::this_thread::get_id();
    std::mutex m_mutex;
    std::set<int> m_setNice;

private:
    void Note() {
        if (std::this_thread::get_id() != m_walk) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_setNice.insert(ThreadNice());
        }
    }
};

class CNoSink final : public CFolderWalk::CSink {
public:
    void OnFile(STagRead&&) override {}
    bool OnProgress() override { return true; }
};

} // namespace

TEST(BackgroundThread, ReadersAndListersOfAScanGiveWay) {
    CTempDir dir;
    for (int i = 0; i < 40; ++i) {
        WriteBytes(dir.Path() / ("d" + std::to_string(i % 4)) / ("t" + std::to_string(i) + ".mp3"),
                   Audio(200) + MakeTag("Title", "Artist"));
    }
    CPriorityOps ops;
    CNoSink sink;
    CFolderWalk(sink, "*.mp3", 4, ops).Walk(dir.Str(), dir.Str().c_str());
    EXPECT_EQ(ops.m_setNice, std::set<int>{ThreadNice() + 10});
}

// The thread that calls it gives way, by ten steps of nice and never past the lowest priority;
// the rest of the program keeps its own.
TEST(BackgroundThread, LowersOnlyTheCallingThreadAndNeverRaisesIt) {
    const int nProgram = ThreadNice();
    ASSERT_LE(nProgram, 4) << "the tests run at a low priority already";
    const struct {
        int nStart;
        int nExpected;
    } aCases[] = {{nProgram, nProgram + 10}, {nProgram + 5, nProgram + 15}, {15, 19}, {19, 19}};
    for (const auto& c : aCases) {
        SCOPED_TRACE("started at nice " + std::to_string(c.nStart));
        int nStarted = -100;
        int nAfter = -100;
        std::thread([&] {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), c.nStart);
            nStarted = ThreadNice();
            LowerThisThreadPriority();
            nAfter = ThreadNice();
        }).join();
        ASSERT_EQ(nStarted, c.nStart);
        EXPECT_EQ(nAfter, c.nExpected);
        EXPECT_EQ(ThreadNice(), nProgram);
    }
}
