// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

class QString;
class QWidget;

// Where what the user must know is shown. The parts that report are handed one, so that tests
// can read the texts without a modal box to close.
class CMessageSink {
public:
    virtual ~CMessageSink() = default;

    // Returns once the user has seen the text.
    virtual void Show(QWidget* pParent, const QString& strText) = 0;
};
