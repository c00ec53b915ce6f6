// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/othertagsread.h"

#include "catalogue/stepjob.h"
#include "platform/threadpost.h"

#include <QApplication>
#include <QProgressDialog>

#include <utility>

COtherTagsRead::COtherTagsRead(QWidget* pParent, std::string strPath, CFileOps& ops,
                               std::function<void(std::optional<CId3v2Tag>)> fnDone)
    : m_pParent(pParent), m_fnDone(std::move(fnDone)), m_pTag(std::make_shared<CId3v2Tag>()) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_dialogTimer.setSingleShot(true);
    connect(&m_dialogTimer, &QTimer::timeout, this, &COtherTagsRead::ShowDialog);
    m_dialogTimer.start(DIALOG_DELAY);
    m_pJob = std::make_unique<CStepJob>(
        1,
        [pTag = m_pTag, strPath = std::move(strPath), &ops](std::size_t) {
            *pTag = CId3v2Tag::Read(strPath, ops);
            return true;
        },
        [this] {
            // On the reader's thread, under the job's lock: never once this object has gone.
            PostToThreadOf(this, [this] { OnReady(); });
        });
}

COtherTagsRead::~COtherTagsRead() {
    if (m_bBusy) {
        QApplication::restoreOverrideCursor();
    }
    delete m_pDialog;
}

QProgressDialog* COtherTagsRead::GetProgressDialog() const {
    return m_pDialog;
}

void COtherTagsRead::OnReady() {
    if (m_bBusy && m_pJob->TakeProgress().bEnded) {
        // The job has ended: its thread no longer writes the tag.
        End(std::move(*m_pTag));
    }
}

void COtherTagsRead::Cancel() {
    if (m_bBusy) {
        m_pJob->Cancel();
        End(std::nullopt);
    }
}

void COtherTagsRead::ShowDialog() {
    if (!m_bBusy) {
        return;
    }
    m_pDialog =
        new QProgressDialog(tr("Reading the file's tags..."), tr("Cancel"), 0, 0, m_pParent);
    // Not modal: the window stays free, to be closed too, while the share does not answer.
    m_pDialog->setWindowModality(Qt::NonModal);
    m_pDialog->setMinimumDuration(0);
    m_pDialog->setAutoClose(false);
    m_pDialog->setAutoReset(false);
    connect(m_pDialog, &QProgressDialog::canceled, this, &COtherTagsRead::Cancel);
    m_pDialog->show();
}

void COtherTagsRead::End(std::optional<CId3v2Tag> tag) {
    m_bBusy = false;
    m_dialogTimer.stop();
    QApplication::restoreOverrideCursor();
    if (m_pDialog) {
        m_pDialog->disconnect(this);
        m_pDialog->hide();
        m_pDialog->deleteLater();
    }
    m_fnDone(std::move(tag));
}
