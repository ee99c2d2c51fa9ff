#pragma once
// The painted props as a list an engine or a script reads: one JSON file beside the terrain.
//
//   { "terrain": NAME, "units": "metres", "axes": "...", "baseHeight": 0,
//     "rotationOrder": "YXZ", "count": N,
//     "instances": [ { "prop": "Runtime/.../pine.pp2", "name": "pine",
//                      "position": [x, y, z], "rotation": [x°, y°, z°], "scale": [sx, sy, sz] }, ... ] }
//
// Positions are in metres in the terrain OBJ's frame: y up, the terrain centred on the origin, its
// rows along +z and columns along +x, heights as the mesh has them (add baseHeight for an elevation
// model's datum). Rotations are whole degrees about the prop's own axes, turned y first, then x,
// then z (the preview's and the host's order). Scale is per axis, 1 for the prop's own size. The
// prop is its file as the content library names it (relative to the library where it lies in one).
#include "populate/painteditem.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace orovista {

namespace files {
class Batch;
}

/// The instance list of items as JSON; libraries: the content library folders, to name props by.
QByteArray instanceList(const std::vector<PaintedItem> &items, const QString &terrain, double baseHeight,
                        const QStringList &libraries);

}   // namespace orovista
