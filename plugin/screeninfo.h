#pragma once
// What the window needs to know of the desktop: its size (the whole virtual desktop) and colour
// depth. Tests set other values to lay the window out for another screen.
#include <QSize>
#include <optional>

namespace orovista::screen {

QSize desktopSize();
int colourDepth();

void setDesktopSizeOverride(std::optional<QSize> size);
void setColourDepthOverride(std::optional<int> depth);

}   // namespace orovista::screen
