// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/clipboardcopy.h"
#include "catalogue/trackinfo.h"
#include "tests/support/fakes.h"
#include "tests/support/testfiles.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

TEST(ClipboardCopy, LinesFollowTheGivenOrderWithNineFieldsEach) {
    CTempDir dir;
    WriteBytes(dir.Path() / "tagged.mp3",
               Audio(3500128) + MakeTag("Song", "Band", "Record", "2001", "Fine", 13));
    WriteBytes(dir.Path() / "plain.mp3", Audio(1000));
    CTrackInfo tagged(dir.Str(), "tagged.mp3");
    CTrackInfo plain(dir.Str(), "plain.mp3");

    const std::string strTagged =
        "tagged.mp3\tSong\tRecord\t" + dir.Str() + "\t  3.5 MB\tBand\tPop\t2001\tFine\r\n";
    const std::string strPlain =
        "plain.mp3\t\t\t" + dir.Str() + "\t  0.0 MB\t<Undefined>\t<Undefined>\t\t\r\n";
    EXPECT_EQ(CopyText({&plain, &tagged}), strPlain + strTagged);
    EXPECT_EQ(CopyText({&tagged, &plain}), strTagged + strPlain);
    EXPECT_EQ(CopyText({}), "");
}

TEST(ClipboardCopy, TheClipboardHoldsExactlyTheText) {
    CTempDir dir;
    WriteBytes(dir.Path() / "caf\xC3\xA9.mp3", Audio(200) + MakeTag("\xE9t\xE9", "A"));
    CTrackInfo track(dir.Str(), "caf\xC3\xA9.mp3");
    QGuiApplication::clipboard()->setText(QStringLiteral("earlier content"));
    CRecordingMessages messages;
    OnEditCopy(nullptr, messages, {&track});
    // The tag's Windows-1252 title and the UTF-8 file name both arrive as UTF-8.
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "caf\xC3\xA9.mp3\t\xC3\xA9t\xC3\xA9\t\t" + dir.Str() +
                  "\t  0.0 MB\tA\tOther\t\t\r\n");
    // The clipboard took the text: no failure is reported.
    EXPECT_TRUE(messages.m_arrTexts.isEmpty());
}
