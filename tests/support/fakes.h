// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// What the tests put in place of the program around the part they test. The catalogue's fakes
// need no Qt, so that the catalogue's tests build without it; the rest come with Qt.

#include "catalogue/cataloguehost.h"
#include "catalogue/docview.h"
#include "catalogue/genres.h"
#include "catalogue/tagblock.h"
#include "catalogue/threadstarter.h"
#include "catalogue/trackinfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// The program around the document, as the tests see it: a pattern they choose, and a record of
// the folders remembered, of the wait cursor's depth and of the progress reports, the scan
// stopped at the report the test names.
class CFakeCatalogueHost final : public CCatalogueHost {
public:
    std::string GetFileExt() const override { return m_strPattern; }
    void WriteFilePath(const std::string& strFolder) override { m_arrWritten.push_back(strFolder); }
    void BeginWaitCursor() override { ++m_nWaitDepth; }
    void EndWaitCursor() override { --m_nWaitDepth; }
    bool OnScanProgress(std::size_t nFiles) override {
        m_arrProgress.push_back(nFiles);
        m_arrProgressTimes.push_back(std::chrono::steady_clock::now());
        return m_arrProgress.size() < m_nStopAtCall;
    }
    // The longest time between two reports, or between a report and the time given.
    std::chrono::steady_clock::duration
    LongestProgressGap(std::chrono::steady_clock::time_point tStart,
                       std::chrono::steady_clock::time_point tEnd) const {
        std::chrono::steady_clock::duration tLongest{};
        for (const auto tReport : m_arrProgressTimes) {
            tLongest = std::max(tLongest, tReport - tStart);
            tStart = tReport;
        }
        return std::max(tLongest, tEnd - tStart);
    }

    std::string m_strPattern = "*.mp3";
    std::size_t m_nStopAtCall = SIZE_MAX;
    std::vector<std::string> m_arrWritten;
    std::vector<std::size_t> m_arrProgress;
    std::vector<std::chrono::steady_clock::time_point> m_arrProgressTimes;
    int m_nWaitDepth = 0;
};

// Threads as a process at its limit gets them: the first nAllowed start, the others are refused.
class CThreadQuota final : public CThreadStarter {
public:
    explicit CThreadQuota(std::size_t nAllowed) : m_nAllowed(nAllowed) {}

    std::thread Start(std::function<void()> fnRun) override {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nStarted == m_nAllowed) {
            ++m_nRefused;
            return {};
        }
        std::thread thread = CThreadStarter::Start(std::move(fnRun));
        m_nStarted += thread.joinable() ? 1 : 0;
        return thread;
    }
    std::size_t Started() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_nStarted;
    }
    std::size_t Refused() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_nRefused;
    }

private:
    const std::size_t m_nAllowed;
    mutable std::mutex m_mutex;
    std::size_t m_nStarted = 0;
    std::size_t m_nRefused = 0;
};

// A view of the document that keeps the hints it is sent, in order, with the list each came with.
// The calls other threads hand to the document's thread, run when the test says: a window's event
// loop in small. It must outlive what posts to it.
class CCallQueue {
public:
    std::function<void(std::function<void()>)> Poster() {
        return [this](std::function<void()> fnCall) {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_arrCalls.push_back(std::move(fnCall));
            }
            m_cvPosted.notify_all();
        };
    }

    // Runs the calls posted, waiting for more, until fnDone holds; false after 30 s.
    bool RunUntil(const std::function<bool()>& fnDone) {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!fnDone()) {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_cvPosted.wait_until(lock, tEnd, [this] { return !m_arrCalls.empty(); })) {
                return false;
            }
            lock.unlock();
            RunPosted();
        }
        return true;
    }

    // Until a call waits to be run; false after 30 s.
    bool WaitForPosted() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cvPosted.wait_for(lock, std::chrono::seconds(30),
                                   [this] { return !m_arrCalls.empty(); });
    }

    // Runs what was posted until now.
    void RunPosted() {
        std::vector<std::function<void()>> arrCalls;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            arrCalls.swap(m_arrCalls);
        }
        for (const std::function<void()>& fnCall : arrCalls) {
            fnCall();
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cvPosted;
    std::vector<std::function<void()>> m_arrCalls;
};

class CHintLog final : public CDocView {
public:
    void OnUpdate(CDocView*, EHint eHint, CTrackList* pTracks) override {
        m_arrHints.push_back(eHint);
        m_arrLists.push_back(pTracks);
    }

    std::vector<EHint> m_arrHints;
    std::vector<CTrackList*> m_arrLists;
};

struct CFields {
    std::string strFile;
    std::string strTitle;
    std::string strArtist;
    std::string strAlbum;
    std::string strLocation = "/music";
    std::int64_t nSize = 0;
    std::string strYear;
    int nGenre = GENRE_NONE;
    std::string strComment;
    int nTrack = 0; // ID3v1.1 track number; 0 for none
};

// Records in memory, with addresses that stay put while more are added.
class CTrackStore {
public:
    CTrackInfo* Add(const CFields& fields) {
        CTagBlock block;
        block.m_bRead = true;
        block.m_identity.m_nFileSize = fields.nSize + 128;
        if (fields.nTrack != 0) {
            // Only a tag holds a track number: a blank one with the number, its texts set below.
            block.m_bytes = CId3v1Tag::Blank();
            block.m_bytes[CId3v1Tag::TRACK_MARK] = 0;
            block.m_bytes[CId3v1Tag::TRACK] = static_cast<unsigned char>(fields.nTrack);
        }
        CTrackInfo& track =
            m_store.emplace_back(CSharedText(fields.strLocation), fields.strFile, block);
        track.SetTitle(fields.strTitle);
        track.SetArtist(fields.strArtist);
        track.SetAlbum(fields.strAlbum);
        track.SetYear(fields.strYear);
        track.SetGenre(static_cast<unsigned char>(fields.nGenre));
        track.SetComment(fields.strComment);
        return &track;
    }

private:
    std::deque<CTrackInfo> m_store;
};

#ifdef QT_WIDGETS_LIB

#include "panes/panehost.h"
#include "platform/messagesink.h"
#include "platform/modalrunner.h"
#include "platform/textconv.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QPoint>
#include <QStringList>

#include <functional>

// The main window as the panes see it. What they asked of it goes in order into a log of lines
// ("status LOCATION|DESCRIPTION|COUNT|SIZE", "start", "stop"), its own or one the test
// shares with other recorders; each status is also kept as given, and the pane switches are
// counted.
class CFakePaneHost final : public CPaneHost {
public:
    CFakePaneHost() : m_log(m_ownLog) {}
    explicit CFakePaneHost(std::vector<std::string>& log) : m_log(log) {}
    CFakePaneHost(const CFakePaneHost&) = delete;
    CFakePaneHost& operator=(const CFakePaneHost&) = delete;

    void SetStatusTexts(const SStatusTexts& texts) override {
        m_arrStatus.push_back(texts);
        m_log.push_back(ToStdString("status " + texts.strLocation + '|' + texts.strDescription +
                                    '|' + texts.strCount + '|' + texts.strSize));
    }
    void StartAnimation() override { m_log.push_back("start"); }
    void StopAnimation() override { m_log.push_back("stop"); }
    void SwitchPane() override { ++m_nSwitches; }

    std::vector<SStatusTexts> m_arrStatus;
    int m_nSwitches = 0;

private:
    std::vector<std::string> m_ownLog;
    std::vector<std::string>& m_log;
};

// Keeps the texts that would have been shown, in order, and returns at once.
class CRecordingMessages final : public CMessageSink {
public:
    void Show(QWidget*, const QString& strText) override { m_arrTexts.push_back(strText); }

    QStringList m_arrTexts;
};

// Plays the user's part in the dialogs and menus that the code under test opens, one queued step
// each, in order. A dialog is shown and handed to its step, which closes it as a user would; one
// left open, as after a refused OK, goes on to the next step. A menu's step returns the item to
// choose, or nullptr to dismiss it. A window no step awaits, one of another kind, or a dialog the
// last step left open fails the test and is closed, so that a fault cannot hang it; steps never
// reached fail it when the runner goes.
class CScriptedModals final : public CModalRunner {
public:
    CScriptedModals() = default;
    CScriptedModals(const CScriptedModals&) = delete;
    CScriptedModals& operator=(const CScriptedModals&) = delete;
    ~CScriptedModals() override {
        EXPECT_TRUE(m_steps.empty()) << m_steps.size() << " awaited window(s) never opened";
    }

    template <class TDialog, class FAct> void OnDialog(FAct act) {
        m_steps.push_back({[act](QObject& window) {
                               auto* pDialog = qobject_cast<TDialog*>(&window);
                               if (pDialog != nullptr) {
                                   act(*pDialog);
                               }
                               return pDialog != nullptr;
                           },
                           nullptr});
    }
    // act(QMenu&, const QPoint& ptScreen) returns the item to choose.
    template <class FAct> void OnMenu(FAct act) {
        m_steps.push_back({[](QObject& window) { return qobject_cast<QMenu*>(&window) != nullptr; },
                           [act](QMenu& menu, const QPoint& pt) { return act(menu, pt); }});
    }
    bool Done() const { return m_steps.empty(); }

    int Exec(QDialog& dialog) override {
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        bool bTaken = TakeStep(dialog);
        while (bTaken && dialog.isVisible() && !m_steps.empty() && !m_steps.front().choose) {
            bTaken = TakeStep(dialog);
        }
        if (dialog.isVisible()) {
            if (bTaken) {
                ADD_FAILURE() << "left open: " << dialog.windowTitle().toStdString();
            }
            dialog.reject();
        }
        return dialog.result();
    }

    QAction* Exec(QMenu& menu, const QPoint& ptScreen) override {
        const std::function<QAction*(QMenu&, const QPoint&)> choose =
            m_steps.empty() ? nullptr : m_steps.front().choose;
        if (!TakeStep(menu)) {
            return nullptr;
        }
        QAction* pChosen = choose(menu, ptScreen);
        if (pChosen != nullptr) {
            pChosen->trigger();
        }
        return pChosen;
    }

private:
    struct SStep {
        std::function<bool(QObject&)> act; // false: not the awaited kind of window
        std::function<QAction*(QMenu&, const QPoint&)> choose;
    };

    bool TakeStep(QObject& window) {
        if (m_steps.empty()) {
            ADD_FAILURE() << "unexpected window: " << window.metaObject()->className();
            return false;
        }
        const SStep step = m_steps.front();
        m_steps.pop_front();
        if (!step.act(window)) {
            ADD_FAILURE() << "another window than awaited: " << window.metaObject()->className();
            return false;
        }
        return true;
    }

    std::deque<SStep> m_steps;
};

#endif
