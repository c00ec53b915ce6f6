// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

class CMessageSink;

// The sink that shows what the user must know in a box captioned with the program's title, OK
// only, no icon. The parts that report are handed it (or a test's recording one); none shows a box
// of its own.
CMessageSink& SystemMessages();

// The short warning sound of a refused input.
void Beep();
