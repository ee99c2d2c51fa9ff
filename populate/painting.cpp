#include "populate/painting.h"

#include "library/glm.h"
#include "plugin/random.h"
#include "terrain/terrainlookup.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orovista {

namespace {

constexpr double pi = 3.141592653589793;
constexpr double degrees = 180.0 / pi;

/// asin of a normal component, safe against components a hair beyond ±1.
double asinOf(float c) { return std::asin(std::clamp(double(c), -1.0, 1.0)); }

}   // namespace

bool tooNear(const std::vector<PaintedItem> &items, double x, double y, double z, double minimum)
{
    const double cx = std::trunc(x), cy = std::trunc(y), cz = std::trunc(z);
    const double limit = minimum * minimum;
    for (const PaintedItem &item : items) {
        const double dx = cx - item.x, dy = cy - item.y, dz = cz - item.z;
        if (dx * dx + dy * dy + dz * dz < limit)
            return true;
    }
    return false;
}

bool maskBlocks(const QImage &mask, double fx, double fz, int terrainSize)
{
    if (mask.isNull() || terrainSize <= 0)
        return true;
    const double px = std::trunc(mask.width() * fx / terrainSize);
    const double pz = std::trunc(mask.height() * fz / terrainSize);
    if (!(px >= 0 && pz >= 0 && px < mask.width() && pz < mask.height()))
        return true;
    return qRed(mask.pixel(int(px), int(pz))) == 0;
}

const PaintedItem &createItem(std::vector<PaintedItem> &items, double x, double y, double z, const float n[3],
                              const PaintSettings &settings, const PropChoice &prop, bool customTerrain)
{
    PaintedItem item;
    item.file = prop.file;
    item.modelSlot = prop.modelSlot;
    item.id = int(items.size());
    item.x = float(x);
    item.y = float(y);
    item.z = float(z);

    const int a = settings.angleRandom;
    int rx = random::inRange(-a, a);
    int ry = random::inRange(-a, a);
    int rz = random::inRange(-a, a);
    if (settings.angleYOnly)
        rx = rz = 0;
    if (settings.angleYSnap) {
        rx = rz = 0;
        ry = random::inRange(0, 3) * 90;
    }
    const double b = settings.tilt();
    item.xRot = int(std::trunc(asinOf(n[2]) * b * degrees + rx));
    item.yRot = ry;
    item.zRot = customTerrain ? int(std::trunc((std::atan2(double(n[1]), double(n[0])) * degrees - 90.0) * b + rz))
                              : int(std::trunc(rz - asinOf(n[0]) * b * degrees));

    item.red = prop.tint[0];
    item.green = prop.tint[1];
    item.blue = prop.tint[2];

    const float m = float(settings.masterScale);
    const float s = m + float(random::inRange(-settings.scaleRandom, settings.scaleRandom)) * m * 0.01f;
    item.scale = item.scaleX = item.scaleY = item.scaleZ = s;
    if (settings.scaleYOnly)
        item.scaleX = item.scaleZ = 100.0f;

    item.minX = prop.bounds[0];
    item.minY = prop.bounds[1];
    item.minZ = prop.bounds[2];
    item.maxX = prop.bounds[3];
    item.maxY = prop.bounds[4];
    item.maxZ = prop.bounds[5];
    item.triangles = prop.triangles;
    items.push_back(item);
    return items.back();
}

QString paintRefusalText(PaintRefusal why)
{
    switch (why) {
    case PaintRefusal::None: break;
    case PaintRefusal::Masked: return QStringLiteral("nothing placed: the mask covers this spot");
    case PaintRefusal::OffTerrain: return QStringLiteral("nothing placed: the pointer is not over the terrain");
    case PaintRefusal::TooNear:
        return QStringLiteral("nothing placed: another item is nearer than the minimum distance");
    }
    return {};
}

bool paintItem(std::vector<PaintedItem> &items, const PaintPick &pick, const TerrainArrays &mesh, int terrainSize,
               const QImage &mask, const PaintSettings &settings, const PropChoice &prop, PaintRefusal *why)
{
    auto refuse = [why](PaintRefusal reason) {
        if (why)
            *why = reason;
        return false;
    };
    const int half = terrainSize / 2;
    const double fx = pick.x + half, fz = pick.z + half;
    if (settings.maskInfluence && maskBlocks(mask, fx, fz, terrainSize))
        return refuse(PaintRefusal::Masked);
    if (pick.depth >= 1.0f)
        return refuse(PaintRefusal::OffTerrain);
    const TerrainHit hit = terrainLookup(mesh, terrainSize, pick.x, pick.y, pick.z);
    if (!hit.overTerrain)
        return refuse(PaintRefusal::OffTerrain);
    const double y = settings.itemStack ? pick.y : double(hit.height);
    if (tooNear(items, pick.x, y, pick.z, settings.minimumDistance()))
        return refuse(PaintRefusal::TooNear);
    createItem(items, fx - half, y, fz - half, hit.normal, settings, prop, false);
    return true;
}

bool paintItemOnCustomTerrain(std::vector<PaintedItem> &items, const PaintPick &pick, const float pixel[3],
                              const GLMmodel &model, const PaintSettings &settings, const PropChoice &prop,
                              PaintRefusal *why)
{
    auto refuse = [why](PaintRefusal reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (settings.maskInfluence && pixel[0] <= 0.1f && pixel[1] <= 0.1f && pixel[2] <= 0.1f)
        return refuse(PaintRefusal::Masked);
    if (pick.depth >= 1.0f)
        return refuse(PaintRefusal::OffTerrain);
    if (tooNear(items, pick.x, pick.y, pick.z, settings.minimumDistance()))
        return refuse(PaintRefusal::TooNear);
    float normal[3] = {0.0f, 1.0f, 0.0f};
    double nearest = 2147483648.0;
    const std::size_t count = std::min<std::size_t>(model.numvertices, model.vertexNormals.size() / 3);
    for (std::size_t k = 1; k <= count; ++k) {
        const float *v = &model.vertices[3 * k];
        const double dx = v[0] - pick.x, dy = v[1] - pick.y, dz = v[2] - pick.z;
        const double d = dx * dx + dy * dy + dz * dz;
        if (d < nearest) {
            nearest = d;
            std::copy_n(&model.vertexNormals[3 * (k - 1)], 3, normal);
        }
    }
    createItem(items, pick.x, pick.y, pick.z, normal, settings, prop, true);
    return true;
}

ScatterResult paintItems(std::vector<PaintedItem> &items, const PaintPick &pick, const TerrainArrays &mesh,
                         int terrainSize, const QImage &mask, const PaintSettings &settings, const PropChoice &prop)
{
    ScatterResult result;
    const int k = settings.instances;
    if (k < 1)
        return result;
    const int S = terrainSize, half = S / 2;
    const double D = settings.diameter;
    const double fx0 = pick.x + half, fz0 = pick.z + half;
    // A brush square wholly off the terrain (or a pick at infinity) could never give a candidate
    // inside it: every candidate would be drawn again for ever.
    if (!std::isfinite(fx0) || !std::isfinite(fz0) || fx0 + D / 2 < 0 || fz0 + D / 2 < 0 || fx0 - D / 2 > S || fz0 - D / 2 > S) {
        result.outcome = ScatterResult::CompletelyMasked;
        return result;
    }
    while (result.placed < k) {
        double cx = 0, cz = 0;
        do {
            const double ox = random::inRange(0, int(std::trunc(D))) - D / 2;
            const double oz = random::inRange(0, int(std::trunc(D))) - D / 2;
            cx = fx0 + ox;
            cz = fz0 + oz;
        } while (cx < 0 || cx > S || cz < 0 || cz > S);

        const TerrainHit hit = terrainLookup(mesh, S, cx - half, pick.y, cz - half);
        if ((settings.maskInfluence && maskBlocks(mask, cx, cz, S)) || !hit.overTerrain || pick.depth >= 1.0f) {
            if (++result.failures > 512) {
                result.outcome = ScatterResult::CompletelyMasked;
                return result;
            }
            continue;
        }
        const double y = settings.itemStack ? pick.y : double(hit.height);
        if (tooNear(items, cx - half, y, cz - half, settings.minimumDistance())) {
            if (++result.failures >= 513) {
                result.outcome = ScatterResult::DistanceFailed;
                return result;
            }
            continue;
        }
        createItem(items, cx - half, y, cz - half, hit.normal, settings, prop, false);
        ++result.placed;
    }
    return result;
}

void repositionItems(std::vector<PaintedItem> &items, const TerrainArrays &mesh, int terrainSize, double tilt)
{
    for (PaintedItem &item : items) {
        const TerrainHit hit = terrainLookup(mesh, terrainSize, item.x, item.y, item.z);
        if (!hit.overTerrain)
            continue;
        const double b = tilt;
        item.xRot = int(std::trunc(asinOf(hit.normal[2]) * b * degrees));
        item.yRot = int(std::trunc(asinOf(hit.normal[1]) * b * degrees));
        item.zRot = int(std::trunc(-asinOf(hit.normal[0]) * b * degrees));
        const std::size_t v = std::size_t(hit.row) * std::size_t(mesh.gridSize) + std::size_t(hit.column);
        item.x = mesh.vertices[3 * v];
        item.z = mesh.vertices[3 * v + 2];
        item.y = hit.height;
    }
}

std::vector<float> groundUnderItems(const std::vector<PaintedItem> &items, const TerrainArrays &mesh, int terrainSize)
{
    std::vector<float> ground;
    ground.reserve(items.size());
    for (const PaintedItem &item : items) {
        const TerrainHit hit = terrainLookup(mesh, terrainSize, item.x, item.y, item.z);
        ground.push_back(hit.overTerrain ? hit.height : std::numeric_limits<float>::quiet_NaN());
    }
    return ground;
}

void reseatItems(std::vector<PaintedItem> &items, const std::vector<float> &oldGround, const TerrainArrays &mesh,
                 int terrainSize)
{
    for (std::size_t i = 0; i < items.size() && i < oldGround.size(); ++i) {
        if (std::isnan(oldGround[i]))
            continue;
        PaintedItem &item = items[i];
        const TerrainHit hit = terrainLookup(mesh, terrainSize, item.x, item.y, item.z);
        if (hit.overTerrain)
            item.y = hit.height + (item.y - oldGround[i]);
    }
}

QString scatterWarning(ScatterResult::Outcome outcome)
{
    switch (outcome) {
    case ScatterResult::CompletelyMasked:
        return QStringLiteral("The area where objects should be deployed seems to be completely masked. Try a larger "
                              "radius or choose a different spot.");
    case ScatterResult::DistanceFailed:
        return QStringLiteral("The distance check failed to comply within the specified distance. Try a larger radius "
                              "or choose a different spot, or choose a lower minimum distance");
    case ScatterResult::Done:
        break;
    }
    return {};
}

}   // namespace orovista
