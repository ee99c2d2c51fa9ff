#include "terrain/sculpt.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orovista {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kStepPerStrength = 0.0625;
/// The brush radius is measured in steps of the 512-vertex grid, whatever mesh is sculpted.
constexpr long long kRadiusGrid = 512;

}   // namespace

int sculptBrushRadius(int brushDiameter, int terrainSize)
{
    if (terrainSize <= 0 || brushDiameter <= 0)
        return 0;
    return int((long long)brushDiameter * kRadiusGrid / terrainSize);
}

SculptRegion sculptRegion(int gridSize, const TerrainHit &hit, const SculptSettings &s)
{
    SculptRegion region;
    if (gridSize < 1 || !hit.overTerrain || s.strength == 0 || s.terrainSize <= 0)
        return region;
    const int r = sculptBrushRadius(s.brushDiameter, s.terrainSize);
    const long long side = 2LL * (r + 1);   // E
    const long long firstRow = (long long)hit.row - r;
    const long long firstColumn = (long long)hit.column - r;
    region.rowBegin = int(std::clamp<long long>(firstRow, 0, gridSize));
    region.rowEnd = int(std::clamp<long long>(firstRow + side, 0, gridSize));
    region.columnBegin = int(std::clamp<long long>(firstColumn, 0, gridSize));
    region.columnEnd = int(std::clamp<long long>(firstColumn + side, 0, gridSize));
    return region;
}

void sculptStep(TerrainArrays &full, const TerrainHit &hit, const SculptSettings &s)
{
    const int n = full.gridSize;
    const std::size_t count = std::size_t(std::max(n, 0)) * std::size_t(std::max(n, 0));
    if (n < 1 || full.vertices.size() < 3 * count)
        return;

    const SculptRegion region = sculptRegion(n, hit, s);
    if (!region.empty()) {
        const int r = sculptBrushRadius(s.brushDiameter, s.terrainSize);
        const int side = 2 * (r + 1);   // E
        const double a = 180.0 / side * kPi / 180.0;
        const double b = s.blendPercent * 0.01;
        const double n0 = hit.normal[0], n1 = hit.normal[1], n2 = hit.normal[2];
        const double strength = double(s.strength) * kStepPerStrength * (s.lower ? -1.0 : 1.0);
        const float floorY = float(s.floor);

        // The square's first row and column; i and j run over the part inside the mesh.
        const long long firstRow = (long long)hit.row - r;
        const long long firstColumn = (long long)hit.column - r;
        const int iBegin = int(region.rowBegin - firstRow), iEnd = int(region.rowEnd - firstRow);
        const int jBegin = int(region.columnBegin - firstColumn), jEnd = int(region.columnEnd - firstColumn);

        // sin(a·t) is shared by rows and columns.
        std::vector<double> sine(static_cast<std::size_t>(side));
        for (int t = 0; t < side; ++t)
            sine[std::size_t(t)] = std::sin(a * t);

        float *vertices = full.vertices.data();
        for (int i = iBegin; i < iEnd; ++i) {
            const double si = sine[std::size_t(i)];
            float *vertex = vertices + 3 * (std::size_t(firstRow + i) * std::size_t(n) + std::size_t(firstColumn + jBegin));
            for (int j = jBegin; j < jEnd; ++j, vertex += 3) {
                const double product = sine[std::size_t(j)] * si;
                const double d = product * product * product * strength;
                vertex[0] = float(vertex[0] + b * (d * n0));
                vertex[1] = float(vertex[1] + d * n1);
                vertex[2] = float(vertex[2] + b * (d * n2));
                if (!s.paintBelowZero && floorY > vertex[1])
                    vertex[1] = floorY;
            }
        }
    }

    recomputeTerrainNormals(full);
}

void refreshDecimatedFromFull(const TerrainArrays &full, TerrainArrays &decimated)
{
    const int fn = full.gridSize;
    const int dn = decimated.gridSize;
    if (fn < 1 || dn < 1 || dn > fn)
        return;
    const std::size_t fullCount = std::size_t(fn) * std::size_t(fn);
    const std::size_t decimatedCount = std::size_t(dn) * std::size_t(dn);
    if (full.vertices.size() < 3 * fullCount || full.normals.size() < 3 * fullCount
        || decimated.vertices.size() < 3 * decimatedCount || decimated.normals.size() < 3 * decimatedCount)
        return;

    const int step = fn / dn;
    for (int r = 0; r < dn; ++r) {
        for (int c = 0; c < dn; ++c) {
            const std::size_t from = 3 * (std::size_t(step * r) * std::size_t(fn) + std::size_t(step * c));
            const std::size_t to = 3 * (std::size_t(r) * std::size_t(dn) + std::size_t(c));
            std::copy_n(full.vertices.data() + from, 3, decimated.vertices.data() + to);
            std::copy_n(full.normals.data() + from, 3, decimated.normals.data() + to);
        }
    }
}

}   // namespace orovista
