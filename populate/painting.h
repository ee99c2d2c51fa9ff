#pragma once
// Painting props onto the terrain: the rules that turn a point under the pointer into a new
// PaintedItem. Everything here is plain computation on the item records, the terrain mesh and the
// mask image; the viewport feeds it the depth pick and shows what came of it.
//
// An item takes a random rotation within ±A degrees on each axis (or about y only, or a y angle
// snapped to quarter turns), a random scale within ±R % of the base scale M, and an optional tilt
// towards the terrain's slope blended in by b (0 upright, 1 along the normal). A candidate closer
// than the minimum distance to any item placed before (positions compared with whole-number
// coordinates) is rejected. Random numbers come from the program's generator, drawn in a fixed
// order, so a seed gives the same scatter every time.
#include "populate/painteditem.h"
#include "terrain/terrainarrays.h"

#include <QImage>
#include <QString>

#include <vector>

struct GLMmodel;

namespace orovista {

/// The prop painting places, as the prop library chose it (an empty file means none).
struct PropChoice {
    QString file;
    int modelSlot = -1;
    float tint[3] = {1.0f, 1.0f, 1.0f};
    int triangles = 0;
    float bounds[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};   ///< min x, y, z, max x, y, z
};

/// The painting controls.
struct PaintSettings {
    int instances = 5;           ///< items per Shift-press
    int diameter = 10;           ///< side of the brush square, scene units
    int distance = 100;          ///< minimum distance between items, centimetres (0.01 scene units)
    int angleRandom = 0;         ///< A, degrees
    bool angleYOnly = false;
    bool angleYSnap = false;
    int scaleRandom = 0;         ///< R, percent
    int masterScale = 100;       ///< M, percent
    bool scaleYOnly = false;
    int blend = 20;              ///< tilt towards the terrain normal, percent
    bool maskInfluence = false;  ///< the mask image limits where items land
    bool itemStack = false;      ///< items may land on other items (they take the picked height)

    double minimumDistance() const { return distance * 0.01; }
    double tilt() const { return blend / 100.0; }
};

/// The point under the pointer, from a depth pick.
struct PaintPick {
    double x = 0.0, y = 0.0, z = 0.0;
    float depth = 1.0f;   ///< 1 or more: the background is under the pointer
};

/// True when a candidate at (x, y, z), each coordinate truncated to a whole number, lies closer
/// than `minimum` to an existing item.
bool tooNear(const std::vector<PaintedItem> &items, double x, double y, double z, double minimum);

/// True when the mask (with mask influence on) blocks the point fx, fz of the terrain's corner
/// frame: the mask pixel (trunc(W·fx/S), trunc(H·fz/S)) has red 0. Points off the image block.
bool maskBlocks(const QImage &mask, double fx, double fz, int terrainSize);

/// Appends an item of `prop` at (x, y, z) with the random rotation and scale of `settings`,
/// tilted by the terrain normal `n` (generated terrain rules, or the imported terrain's when
/// `customTerrain`). Returns the new item.
const PaintedItem &createItem(std::vector<PaintedItem> &items, double x, double y, double z, const float n[3],
                              const PaintSettings &settings, const PropChoice &prop, bool customTerrain);

/// Why a click placed nothing.
enum class PaintRefusal { None, Masked, OffTerrain, TooNear };
/// The status line's words for a refusal ("nothing placed: …"; empty for None).
QString paintRefusalText(PaintRefusal why);

/// One item at the picked point of a generated terrain; false when nothing was placed (masked,
/// background, off the terrain, too near another item), the reason then in @a why.
bool paintItem(std::vector<PaintedItem> &items, const PaintPick &pick, const TerrainArrays &mesh, int terrainSize,
               const QImage &mask, const PaintSettings &settings, const PropChoice &prop, PaintRefusal *why = nullptr);

/// One item at the picked point of an imported terrain. `pixel` is the drawn colour under the
/// pointer (0 … 1): with mask influence on, a dark pixel (all three ≤ 0.1) places nothing. The
/// item tilts by the smoothed normal of the model vertex nearest to the point.
bool paintItemOnCustomTerrain(std::vector<PaintedItem> &items, const PaintPick &pick, const float pixel[3],
                              const GLMmodel &model, const PaintSettings &settings, const PropChoice &prop,
                              PaintRefusal *why = nullptr);

/// How a scatter ended.
struct ScatterResult {
    enum Outcome { Done, CompletelyMasked, DistanceFailed } outcome = Done;
    int placed = 0;
    int failures = 0;
};

/// The Shift-press scatter on a generated terrain: `settings.instances` items at random inside
/// the brush square around the pick. Failed candidates (masked, off the terrain, background,
/// too near) are counted over the whole press; after 512 the scatter stops with the outcome
/// that tells why. Items placed before a stop stay.
ScatterResult paintItems(std::vector<PaintedItem> &items, const PaintPick &pick, const TerrainArrays &mesh,
                         int terrainSize, const QImage &mask, const PaintSettings &settings, const PropChoice &prop);

/// Puts every item over the terrain back onto its surface: x and z snap to the item's cell
/// corner, y is the height at its former place, rotations follow the normal blended by the
/// tilt. Items off the terrain stay as they are.
void repositionItems(std::vector<PaintedItem> &items, const TerrainArrays &mesh, int terrainSize, double tilt);

/// The ground under each item (NaN where an item is not over the terrain), taken before the
/// terrain is rebuilt, so that reseatItems can keep every item's height above the ground.
std::vector<float> groundUnderItems(const std::vector<PaintedItem> &items, const TerrainArrays &mesh, int terrainSize);
/// After a new terrain: each item that was over the old terrain and is over the new one keeps
/// its height above the ground (items standing on the surface stay on it, stacked or lifted
/// ones keep their offset). Others are left where they are.
void reseatItems(std::vector<PaintedItem> &items, const std::vector<float> &oldGround, const TerrainArrays &mesh,
                 int terrainSize);

/// The warnings of a scatter that stopped.
QString scatterWarning(ScatterResult::Outcome outcome);

}   // namespace orovista
