#include "plugin/screeninfo.h"

#include <QGuiApplication>
#include <QScreen>

namespace orovista::screen {

namespace {
std::optional<QSize> sizeOverride;
std::optional<int> depthOverride;
}   // namespace

QSize desktopSize()
{
    if (sizeOverride)
        return *sizeOverride;
    if (QScreen *s = QGuiApplication::primaryScreen())
        return s->virtualGeometry().size();
    return {1920, 1200};
}

int colourDepth()
{
    if (depthOverride)
        return *depthOverride;
    if (QScreen *s = QGuiApplication::primaryScreen())
        return s->depth();
    return 24;
}

void setDesktopSizeOverride(std::optional<QSize> size) { sizeOverride = size; }
void setColourDepthOverride(std::optional<int> depth) { depthOverride = depth; }

}   // namespace orovista::screen
