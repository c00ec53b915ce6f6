// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

class QString;
class QWidget;

// What the user must know: a box captioned with the program's title, OK only, no icon.
void ShowMessage(QWidget* pParent, unsigned nStringId);
void ShowMessageText(QWidget* pParent, const QString& strText);

// The short warning sound of a refused input.
void Beep();
