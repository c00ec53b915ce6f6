// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string>
#include <vector>

class CMessageSink;
class CTrackInfo;
class QWidget;

// The clipboard text of the selected tracks: one line per track in list order, nine fields
// separated by TABs, each line ending in CR LF. Fields are copied as they are.
std::string CopyText(const std::vector<CTrackInfo*>& arrTracks);

// Puts the text on the clipboard; tells the user through messages when the clipboard did not take
// it.
void OnEditCopy(QWidget* pParent, CMessageSink& messages,
                const std::vector<CTrackInfo*>& arrTracks);
