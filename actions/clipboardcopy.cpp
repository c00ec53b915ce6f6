// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/clipboardcopy.h"

#include "catalogue/trackinfo.h"
#include "platform/messagesink.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QClipboard>
#include <QGuiApplication>

std::string CopyText(const std::vector<CTrackInfo*>& arrTracks) {
    std::string strText;
    for (const CTrackInfo* pTrack : arrTracks) {
        strText += pTrack->GetCopyText();
    }
    return strText;
}

void OnEditCopy(QWidget* pParent, CMessageSink& messages,
                const std::vector<CTrackInfo*>& arrTracks) {
    const QString strText = ToQString(CopyText(arrTracks));
    QClipboard* pClipboard = QGuiApplication::clipboard();
    pClipboard->setText(strText);
    // Another program may hold the clipboard: then it does not have our text, and the user must
    // not believe it does.
    if (pClipboard->text() != strText) {
        messages.Show(pParent, LoadQString(IDS_CLIPBOARD_FAILED));
    }
}
