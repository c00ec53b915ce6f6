// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QIcon>

// The program's pictures: the desktop theme's icon where one exists, our own SVG otherwise.
enum class EIcon {
    Note,   // a track
    Drive,  // a mount point
    Folder, // a folder
    Clef,   // a genre
    Face,   // an artist
    App,    // the program
    Play,
    Enqueue,
    Copy,
    Properties,
    LargeIcons,
    SmallIcons,
    List,
    Details,
};

QIcon LoadIcon(EIcon eIcon);
