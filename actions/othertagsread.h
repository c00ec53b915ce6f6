// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/id3v2tag.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class CFileOps;
class CStepJob;
class QProgressDialog;
class QWidget;

// Reads the other tags of the one file the editor is about to show, off the window's thread: a
// file on a share that stopped answering must not hold the window. The busy cursor shows from
// the start; a read that takes longer than a moment gets a small dialog whose Cancel (or Escape)
// gives up on it, leaving the reader to the kernel. The editor opens when the read is done.
class COtherTagsRead final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(COtherTagsRead)

public:
    // fnDone is called once, on this thread, with the tags read, or with none when the user gave
    // up; it may not delete this object (deleteLater may).
    COtherTagsRead(QWidget* pParent, std::string strPath, CFileOps& ops,
                   std::function<void(std::optional<CId3v2Tag>)> fnDone);
    // Gives up on a read still running, without a word.
    ~COtherTagsRead() override;

    bool IsBusy() const { return m_bBusy; }
    void Cancel();
    // The dialog offering to cancel, once shown.
    QProgressDialog* GetProgressDialog() const;

    // How long a read goes without a dialog: a local file is read well before.
    static constexpr int DIALOG_DELAY = 300; // ms

private:
    void OnReady();
    void ShowDialog();
    void End(std::optional<CId3v2Tag> tag);

    QPointer<QWidget> m_pParent;
    std::function<void(std::optional<CId3v2Tag>)> m_fnDone;
    std::shared_ptr<CId3v2Tag> m_pTag; // filled on the reader's thread
    std::unique_ptr<CStepJob> m_pJob;
    QTimer m_dialogTimer;
    QPointer<QProgressDialog> m_pDialog;
    bool m_bBusy = true;
};
