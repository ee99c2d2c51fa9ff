#pragma once
// PaintedItem: one prop instance placed on the terrain. The action keeps the records in one array
// in the order of placement; the number shown to the user is the index + 1. The viewport draws
// them, edit mode changes them, scene creation turns them into scene objects. Presets do not
// hold them.
#include <QString>

#include <array>
#include <cstdint>

namespace orovista {

struct PaintedItem {
    std::int32_t id = 0;              ///< the number of items before this one was added
    float x = 0.0f, y = 0.0f, z = 0.0f;   ///< position, scene units, y up
    QString file;                     ///< the prop's ".pp2" file
    std::int32_t modelSlot = -1;      ///< the prop's compiled model in the viewport's model list
    std::int32_t xRot = 0, yRot = 0, zRot = 0;   ///< whole degrees, applied z, then x, then y
    float red = 1.0f, green = 1.0f, blue = 1.0f;   ///< tint of the chosen prop
    float scale = 100.0f;             ///< overall scale, percent
    float scaleX = 100.0f, scaleY = 100.0f, scaleZ = 100.0f;   ///< per-axis scale, percent
    float minX = 0.0f, minY = 0.0f, minZ = 0.0f;   ///< model bounds, model units, unscaled
    float maxX = 0.0f, maxY = 0.0f, maxZ = 0.0f;
    std::int32_t triangles = 0;       ///< triangles of the prop's model

    bool operator==(const PaintedItem &) const = default;
};

/// Scene units per model unit and percent of scale: 100 % draws a model unit 2.4384 units long.
inline constexpr float itemUnitScale = 0.024384f;

/// One face of the box drawn in place of an item's model while the user navigates.
struct ProxyFace {
    std::array<float, 3> normal;
    std::array<std::array<float, 3>, 4> corners;
};

/// The five faces of an item's proxy box, from the model bounds (model units, before the item's
/// scale): the top y = maxY, then z = minZ, x = maxX, z = maxZ and x = minX, each with one normal
/// for its corners. There is no bottom: the box stands on the terrain.
///
/// The side normals are those the preview has always lit its boxes with: (1, 0, 0) on z = minZ,
/// (0, 0, 1) on x = maxX, (−1, 0, 0) on z = maxZ and (0, 0, −1) on x = minX. They do not point
/// out of their faces, which only changes how a translucent box is shaded.
std::array<ProxyFace, 5> proxyBoxFaces(const PaintedItem &item);

}   // namespace orovista
