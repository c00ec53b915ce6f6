// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagblock.h"
#include "catalogue/tagcodec.h"

#include <optional>
#include <string>

class CFileOps;
class CFileDescriptor;
struct STagChanges;

// One file's part of a written edit: enough to take it back while the file stays as the edit
// left it.
struct STagUndo {
    std::string m_strPath;
    SFileIdentity m_identity; // the file as the edit left it
    // The last 128 bytes the edit replaced; none when the edit appended the tag.
    std::optional<CId3v1Tag::CBytes> m_oldTag;
    CId3v1Tag::CBytes m_newTag;
    // The whole ID3v2 tag before and after, when the edit wrote it too.
    std::optional<std::string> m_strOldId3v2;
    std::optional<std::string> m_strNewId3v2;
};

enum class EWriteStatus {
    Written,
    Unchanged,   // the file held these bytes already: nothing was written
    NotWritable, // no permission, a read-only file or file system
    // The path no longer leads to the file that was listed (or, for an undo, the file no longer
    // ends with what the edit wrote): it must be read again.
    ChangedSinceListed,
    NotEncodable, // a text has no bytes in the chosen code page
    // The file's ID3v2 tag could not be written (m_strWhyNot), so its ID3v1 tag was not either:
    // the two never disagree by our doing.
    Id3v2NotWritten,
};

struct STagWriteResult {
    EWriteStatus m_eStatus = EWriteStatus::NotWritable;
    CTagBlock m_block;              // how the file ends now, when Written or Unchanged
    std::optional<STagUndo> m_undo; // when Written
    bool m_bTimesKept = true;       // false when the modification time could not be put back
    std::string m_strWhyNot;        // with Id3v2NotWritten
};

// Writes tag edits and takes them back. Every write goes to the file that was listed, and only
// to a regular file: the path is looked at and the opened descriptor checked before a byte is
// written, so that a link, a device or another file swapped in under the same name is left
// alone. From the read of the file's last 128 bytes to the end of the write the file is held
// under an advisory lock, so that another writer of ours (a second window, the command line)
// waits instead of writing over this edit with what it read before. Throws CFileException when a
// file was opened but could not be read or written to the end; what reached the file is then put
// back as far as possible.
class CTagWriter {
public:
    struct SOptions {
        bool m_bKeepTimes = false; // each file keeps its modification time
        // Everything up to the write (the look, the open for writing, the lock, the bytes
        // made), then nothing written: Write tells what it would have done.
        bool m_bDryRun = false;
        // The fields set go into the file's ID3v2 tag too, where it has one (CId3v2Edit); a file
        // without one gets none. When the tag outgrows its room, the file is written anew as a
        // copy beside it, renamed over it once complete, with the file's owner, group and mode
        // (and times when kept); a file with other names (hard links) is then left alone.
        bool m_bAlsoId3v2 = false;
    };

    CTagWriter(CFileOps& ops, CTagCodec codec, bool bKeepTimes);
    CTagWriter(CFileOps& ops, CTagCodec codec, const SOptions& options);

    const CTagCodec& GetCodec() const { return m_codec; }
    // The file operations every write goes through; reads for the edit go through them too.
    CFileOps& GetOps() const { return m_ops; }

    // In a dry run Written means the file would be written, with these bytes and this undo.
    STagWriteResult Write(const std::string& strPath, const SFileIdentity& listed,
                          const STagChanges& changes) const;
    STagWriteResult Undo(const STagUndo& undo) const;

private:
    struct SOpened;
    // What replaces the file's first and last bytes.
    struct SEnds {
        std::string strHead;
        std::size_t nOldHead = 0;
        std::string strTail;
        std::size_t nOldTail = 0;
    };

    SOpened Open(const std::string& strPath, const SFileIdentity& expected) const;
    std::optional<std::string> ReadId3v2(const SOpened& file) const;
    void WriteTail(const SOpened& file, bool bAppend, const CId3v1Tag::CBytes& bytes,
                   const CId3v1Tag::CBytes& previous) const;
    void WriteHead(const SOpened& file, const std::string& strHead,
                   const std::string& strPrevious) const;
    // The file written anew as a copy renamed over it; false with strWhyNot when it must not be.
    bool Rewrite(SOpened& file, const SEnds& ends, STagWriteResult& result) const;
    bool Finish(SOpened& file) const;

    CFileOps& m_ops;
    CTagCodec m_codec;
    SOptions m_options;
};
