// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/hints.h"
#include "catalogue/tracklist.h"

// A view of the catalogue document: told of every change through OnUpdate.
class CDocView {
public:
    virtual ~CDocView() = default;

    // pSender is the view that caused the update (never told of it), or null for the document.
    virtual void OnUpdate(CDocView* pSender, EHint eHint, CTrackList* pTracks) = 0;
};
