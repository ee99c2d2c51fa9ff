#include "populate/painteditem.h"

namespace orovista {

std::array<ProxyFace, 5> proxyBoxFaces(const PaintedItem &i)
{
    const float x0 = i.minX, y0 = i.minY, z0 = i.minZ, x1 = i.maxX, y1 = i.maxY, z1 = i.maxZ;
    return {{
        {{0.0f, 1.0f, 0.0f}, {{{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}}}},
        {{1.0f, 0.0f, 0.0f}, {{{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}}},
        {{0.0f, 0.0f, 1.0f}, {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}}},
        {{-1.0f, 0.0f, 0.0f}, {{{x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, {x0, y0, z1}}}},
        {{0.0f, 0.0f, -1.0f}, {{{x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}, {x0, y0, z0}}}},
    }};
}

}   // namespace orovista
