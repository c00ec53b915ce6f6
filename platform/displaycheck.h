// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string>

// Why no window can be opened, from the environment alone: empty when a display may be there.
// Asked before the application object is made, since Qt ends a process that has no display with
// an abort (and a core dump) instead of an error.
std::string NoDisplayReason();

// Makes a fatal message of Qt while the application object is made (a display that cannot be
// reached, a platform plugin missing) end the program with that message and status 1 rather
// than an abort; bOn false restores Qt's own handling.
void ExitOnStartFailure(bool bOn);
