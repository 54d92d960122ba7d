#pragma once

#include <QIcon>
#include <QString>

namespace quillon {

// An icon of the desktop's icon theme by its freedesktop name ("media-eject"), or the
// program's own drawing of it when the theme has none.
QIcon ThemeIcon(const QString& name);

// The program's icon (windows, the about window's picture).
QIcon ApplicationIcon();

// The images of the track list's "Track" header: all tracks ticked, or none.
QIcon TrackHeaderIcon(bool allTicked);

} // namespace quillon
