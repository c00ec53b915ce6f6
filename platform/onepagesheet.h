// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

class QDialog;
class QString;
class QTabWidget;
class QWidget;

// Lays a dialog out as a sheet of one page: the page in a tab of its own, OK and Cancel below,
// which accept and reject the dialog. There is no Apply: changes take effect on OK only. Returns
// the tabs, which the dialog owns.
QTabWidget* LayOutOnePageSheet(QDialog& dialog, QWidget* pPage, const QString& strTab);
