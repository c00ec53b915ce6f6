// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// Corrects what Qt tells assistive tools about two kinds of controls, for the whole program:
// - a combo box that shows its placeholder text while nothing is chosen speaks that text as its
//   name and value (Qt says nothing then);
// - a tool button of an exclusive action group is a radio button, checked or not (Qt calls it a
//   check box, so a screen reader does not know that choosing one drops the others).
// Call it once a QApplication exists, before the controls are first shown; more calls do nothing.
void InstallAccessibleInterfaces();
