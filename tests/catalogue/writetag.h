// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/posixio.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagwriter.h"
#include "catalogue/trackinfo.h"

// A write through the real writer, with the automatic text rule unless a codec is given.
inline STagWriteResult WriteChanges(CTrackInfo& track, const STagChanges& changes, CFileOps& ops,
                                    bool bKeepTimes = false, const CTagCodec& codec = CTagCodec()) {
    return track.WriteTag(changes, CTagWriter(ops, codec, bKeepTimes));
}

// The same through the plain system calls.
inline STagWriteResult WriteChanges(CTrackInfo& track, const STagChanges& changes) {
    CFileOps systemCalls;
    return WriteChanges(track, changes, systemCalls);
}

inline bool IsWritten(const STagWriteResult& result) {
    return result.m_eStatus == EWriteStatus::Written;
}
