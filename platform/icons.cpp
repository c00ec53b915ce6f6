// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/icons.h"

#include <QString>

#include <cstddef>
#include <iterator>

namespace {

struct SIconSource {
    // Null where the desktop theme has no standard name, or where a theme's picture would not
    // match its neighbours: the four display styles, the genre, the artist, the program itself.
    const char* pszThemeName;
    const char* pszResource;
};

// Indexed by EIcon: keep both in the same order.
constexpr SIconSource ICON_SOURCES[] = {
    {"audio-x-generic", ":/icons/note.svg"},
    {"drive-harddisk", ":/icons/drive.svg"},
    {"folder", ":/icons/folder.svg"},
    {nullptr, ":/icons/clef.svg"},
    {nullptr, ":/icons/face.svg"},
    {nullptr, ":/icons/tunebrowse.svg"},
    {"media-playback-start", ":/icons/play.svg"},
    {nullptr, ":/icons/enqueue.svg"},
    {"edit-copy", ":/icons/copy.svg"},
    {"document-properties", ":/icons/properties.svg"},
    {nullptr, ":/icons/large-icons.svg"},
    {nullptr, ":/icons/small-icons.svg"},
    {nullptr, ":/icons/list.svg"},
    {nullptr, ":/icons/details.svg"},
};
static_assert(std::size(ICON_SOURCES) == static_cast<std::size_t>(EIcon::Details) + 1,
              "one source per EIcon value");

} // namespace

QIcon LoadIcon(EIcon eIcon) {
    const SIconSource& source = ICON_SOURCES[static_cast<std::size_t>(eIcon)];
    QIcon icon(QString::fromLatin1(source.pszResource));
    if (source.pszThemeName != nullptr) {
        icon = QIcon::fromTheme(QString::fromLatin1(source.pszThemeName), icon);
    }
    return icon;
}
