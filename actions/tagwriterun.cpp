// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/tagwriterun.h"

#include "catalogue/stepjob.h"
#include "catalogue/tunebrdoc.h"
#include "platform/threadpost.h"

#include <utility>

CTagWriteRun::CTagWriteRun(STagRunContext context, std::size_t nFiles)
    : m_context(std::move(context)), m_nFiles(nFiles),
      m_nRebuildsAtStart(m_context.doc.GetRebuildCount()) {
    m_batchTimer.setSingleShot(true);
    connect(&m_batchTimer, &QTimer::timeout, this, &CTagWriteRun::TakeDone);
}

CTagWriteRun::~CTagWriteRun() = default;

void CTagWriteRun::Start(std::function<bool(std::size_t)> fnStep) {
    m_pJob = std::make_unique<CStepJob>(m_nFiles, std::move(fnStep), [this] {
        // On the run's thread: the job calls this under its lock, and never once it has gone.
        PostToThreadOf(this, [this] { OnReady(); });
    });
}

void CTagWriteRun::Cancel() {
    if (m_pJob) {
        m_pJob->Cancel();
    }
}

bool CTagWriteRun::WaitForThread(std::chrono::milliseconds tLimit) const {
    return !m_pJob || m_pJob->Wait(tLimit);
}

bool CTagWriteRun::WasCancelled() const {
    return m_pJob && m_pJob->WasCancelled();
}

// The first files are shown at once; later ones are gathered for a while, so that each batch is
// worth the views' work.
void CTagWriteRun::OnReady() {
    if (!m_batchTimer.isActive() && !m_bFinished) {
        m_batchTimer.start(m_nApplied == 0 ? 0 : BATCH_INTERVAL);
    }
}

void CTagWriteRun::TakeDone() {
    if (m_bFinished) {
        return;
    }
    const CStepJob::SProgress progress = m_pJob->TakeProgress();
    const bool bApply = MayApply();
    if (progress.nDone > m_nApplied) {
        ApplyDone(m_nApplied, progress.nDone, bApply);
        m_nApplied = progress.nDone;
        Q_EMIT progressed(m_nApplied, m_nFiles);
    }
    if (!progress.bEnded) {
        return;
    }
    Finish(m_nApplied, bApply);
    m_bFinished = true;
    Q_EMIT finished();
    Report();
}

bool CTagWriteRun::MayApply() const {
    return m_context.doc.GetRebuildCount() == m_nRebuildsAtStart && !m_context.doc.IsScanning();
}
