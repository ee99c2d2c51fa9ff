#include "terrain/terrainlookup.h"

#include <cmath>

namespace orovista {

namespace {

/// trunc(value / spacing) as a cell index when it lies in 0 … cells − 1, else −1. Works in
/// floating point first so that huge or non-finite values never reach an integer conversion.
int cellIndex(float value, float spacing, int cells)
{
    const float cell = std::trunc(value / spacing);
    if (!(cell >= 0.0f) || !(cell < float(cells)))
        return -1;
    return int(cell);
}

}   // namespace

TerrainHit terrainLookup(const TerrainArrays &mesh, int terrainSize, double X, double Y, double Z)
{
    TerrainHit hit;
    hit.x = X;
    hit.y = Y;
    hit.z = Z;

    const int n = mesh.gridSize;
    const int cells = mesh.lastIndex;   // cells along one side
    if (n < 2 || cells != n - 1 || !(mesh.spacing > 0.0f)
        || mesh.vertices.size() < 3 * std::size_t(n) * std::size_t(n))
        return hit;

    const int h = terrainSize / 2;
    const float fx = float(X + h);
    const float fz = float(Z + h);
    const float spacing = mesh.spacing;
    const int column = cellIndex(fx, spacing, cells);
    const int row = cellIndex(fz, spacing, cells);
    if (column < 0 || row < 0)
        return hit;

    const float x0 = float(column) * spacing;
    const float z0 = float(row) * spacing;
    const float u = fx - x0;
    const float v = fz - z0;
    const std::size_t i = std::size_t(row) * std::size_t(n) + std::size_t(column);
    const float *vertex = mesh.vertices.data();
    const double y00 = vertex[3 * i + 1];
    const double y10 = vertex[3 * (i + 1) + 1];
    const double y01 = vertex[3 * (i + n) + 1];
    const double y11 = vertex[3 * (i + n + 1) + 1];
    const double s = spacing;

    // Cross product of two edges from the (0,0) corner, written out and turned to point up.
    double nx, ny, nz;
    if (v > u) {
        // (x0, y00, z0), (x0, y01, z1), (x1, y11, z1)
        nx = s * (y01 - y11);
        ny = s * s;
        nz = -s * (y01 - y00);
    } else {
        // (x0, y00, z0), (x1, y10, z0), (x1, y11, z1)
        nx = -s * (y10 - y00);
        ny = s * s;
        nz = -s * (y11 - y10);
    }
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    nx /= length;
    ny /= length;
    nz /= length;

    hit.column = column;
    hit.row = row;
    hit.overTerrain = true;
    hit.normal[0] = float(nx);
    hit.normal[1] = float(ny);
    hit.normal[2] = float(nz);
    hit.height = float(y00 - (nx * double(u) + nz * double(v)) / ny);
    return hit;
}

}   // namespace orovista
