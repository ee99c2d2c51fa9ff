#pragma once
// Terrain lookup: from a world point (usually the point under the pointer, found by a depth pick)
// to the grid cell of the full terrain mesh that lies under it, the terrain height there and the
// upward normal of the terrain surface.
//
// The mesh is a regular grid of N × N vertices, spacing S / (N − 1) apart, centred on the origin
// in x and z (see terrainarrays.h). Each grid cell is drawn as two triangles split along the
// diagonal from its (column, row) corner to its (column + 1, row + 1) corner; the lookup finds
// which of the two triangles holds the point and answers with that triangle's plane, so that the
// height agrees with the surface that is drawn, not with a bilinear blend of the four corners.
//
// The lookup uses only x and z of the point; y is kept in the result for callers that place
// things on whatever the pick hit (which may be an item standing on the terrain).
#include "terrain/terrainarrays.h"

namespace orovista {

/// The result of a terrain lookup.
struct TerrainHit {
    double x = 0.0, y = 0.0, z = 0.0;   ///< the world point that was looked up
    int column = -1;                    ///< cell column (the cell's lower-x corner), −1 when not over the terrain
    int row = -1;                       ///< cell row (the cell's lower-z corner), −1 when not over the terrain
    bool overTerrain = false;           ///< the point lies over a cell of the mesh
    float height = 0.0f;                ///< terrain height at (x, z); 0 when not over the terrain
    float normal[3] = {0.0f, 1.0f, 0.0f};   ///< unit normal of the triangle under the point, y > 0
};

/// Looks the world point (@a X, @a Y, @a Z) up in @a mesh, a terrain of @a terrainSize (S) scene
/// units on a side.
///
/// The point is moved to the mesh's corner frame with h = S / 2 (integer division):
/// fx = X + h, fz = Z + h; the cell is column = trunc(fx / spacing), row = trunc(fz / spacing).
/// The point is over the terrain when 0 ≤ column < N − 1 and 0 ≤ row < N − 1, so that all four
/// corners of the cell exist. Truncation goes toward zero, so a point less than one spacing
/// outside the low-x or low-z edge still reads cell 0 (its height then extends the edge
/// triangle's plane); a point on or past the high edges is not over the terrain.
///
/// With u = fx − column·spacing and v = fz − row·spacing, the point lies in the triangle
/// (0,0)–(0,1)–(1,1) of the cell when v > u and in (0,0)–(1,0)–(1,1) otherwise (also on the
/// diagonal). The normal is that triangle's unit normal turned to point up, and the height
/// is that triangle's plane at the point: y00 − (nx·u + nz·v) / ny.
///
/// An empty or inconsistent mesh (fewer than 2 × 2 vertices, spacing not above 0, arrays too
/// short) and a non-finite point are never over the terrain.
TerrainHit terrainLookup(const TerrainArrays &mesh, int terrainSize, double X, double Y, double Z);

}   // namespace orovista
