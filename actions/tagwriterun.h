// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagwriter.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

class CMessageSink;
class CStepJob;
class CTagUndoHistory;
class CTunebrDoc;
class QWidget;

// What a run of writes works with on the window's thread.
struct STagRunContext {
    QWidget* pParent; // of the messages
    CMessageSink& messages;
    CTunebrDoc& doc;
    CTagUndoHistory& history;
    CTagWriter writer;
    // The tree groups by genre: a genre written may move tracks between its groups.
    bool bByGenre = false;
    // Shows the list anew when the edit moved no track between groups.
    std::function<void()> refreshList;
};

// One run of tag writes (an edit's OK, an undo) on a thread of its own, one file after the other,
// so that the window stays alive however slowly the files answer. The run's thread never touches
// the catalogue's records, which the window's thread may free meanwhile: it works on copies and
// paths, and the window's thread applies what it wrote in batches, to the records the run
// started with, and only while the catalogue still holds them (a scan started since reads the
// files anew). A cancelled run stops after the file it is writing: a tag is never left half
// written by it.
class CTagWriteRun : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTagWriteRun)

public:
    // Cancels the run and leaves its thread to end with the file it is in.
    ~CTagWriteRun() override;

    std::size_t GetFileCount() const { return m_nFiles; }
    // Files done so far, as the window last took them.
    std::size_t GetDoneCount() const { return m_nApplied; }
    // Until the last file's result was applied and reported.
    bool IsBusy() const { return !m_bFinished; }
    // Stops the run after the file it is writing; the files after it are left as they are.
    void Cancel();
    // Waits at most tLimit for the run's thread to end, cancelled or not; true when it has.
    // A share that stopped answering may hold the thread for ever: the wait is bounded.
    bool WaitForThread(std::chrono::milliseconds tLimit) const;

Q_SIGNALS:
    void progressed(qulonglong nDone, qulonglong nTotal);
    // The results are applied and the history holds what can be taken back; the report of
    // what went wrong comes after.
    void finished();

protected:
    CTagWriteRun(STagRunContext context, std::size_t nFiles);
    // fnStep writes the file of that number and returns false when the run must stop there; it
    // runs on the run's thread and must keep what it makes where ApplyDone finds it.
    void Start(std::function<bool(std::size_t)> fnStep);
    // The files from nFrom to nTo (excluded) were done; bApply: their records are still the
    // catalogue's, to be shown as their files are now.
    virtual void ApplyDone(std::size_t nFrom, std::size_t nTo, bool bApply) = 0;
    // Every file done was applied: nDone of them, the rest cancelled or not tried.
    virtual void Finish(std::size_t nDone, bool bApply) = 0;
    virtual void Report() = 0;

    const STagRunContext& Context() const { return m_context; }
    bool WasCancelled() const;

private:
    void OnReady();
    void TakeDone();
    // The records the run started with are still the catalogue's, and no scan is filing.
    bool MayApply() const;

    STagRunContext m_context;
    std::size_t m_nFiles;
    std::size_t m_nRebuildsAtStart;
    std::unique_ptr<CStepJob> m_pJob;
    std::size_t m_nApplied = 0;
    bool m_bFinished = false;
    // Gathers the files written between two batches: a local disk writes thousands a second.
    QTimer m_batchTimer;
    static constexpr int BATCH_INTERVAL = 50; // ms
};
