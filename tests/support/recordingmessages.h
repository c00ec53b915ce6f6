// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "platform/messagesink.h"

#include <QString>
#include <QStringList>

// Keeps the texts that would have been shown, in order, and returns at once.
class CRecordingMessages final : public CMessageSink {
public:
    void Show(QWidget*, const QString& strText) override { m_arrTexts.push_back(strText); }

    QStringList m_arrTexts;
};
