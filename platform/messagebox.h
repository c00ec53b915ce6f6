// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

class CMessageSink;
class QString;
class QWidget;

// What the user must know: a box captioned with the program's title, OK only, no icon.
void ShowMessage(QWidget* pParent, unsigned nStringId);
void ShowMessageText(QWidget* pParent, const QString& strText);

// The sink that shows those boxes.
CMessageSink& SystemMessages();

// The short warning sound of a refused input.
void Beep();
