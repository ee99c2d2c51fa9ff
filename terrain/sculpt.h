#pragma once
// Terrain sculpting: a soft square brush that raises or lowers the full terrain mesh in place.
//
// The brush covers a square of E × E vertices, E = 2·(r + 1), whose first row and column lie r
// rows and r columns before the corner of the cell under the pointer. Each vertex (i, j) of the
// square is moved by d = w·k·0.0625 scene units along the terrain normal n found under the
// pointer, with the weight
//
//     w = (sin(a·j) · sin(a·i))³,   a = π / E,
//
// which is 0 on the square's first row and column, 1 at its middle (i = j = r + 1) and falls back
// toward 0 at its far side; the cube keeps the bump narrow and smooth. The blend b moves the
// vertex straight up or down (b = 0) or fully along n (b = 1): x and z move by b·d·n, y by d·ny.
//
// The square is clipped to the mesh: near an edge the vertices that would lie past it are
// skipped rather than wrapped into the neighbouring rows, so a brush at one edge never reaches
// the opposite one. Sculpting changes only vertices and normals of the full mesh; the decimated
// mesh is brought up to date afterwards with refreshDecimatedFromFull().
#include "terrain/terrainarrays.h"
#include "terrain/terrainlookup.h"

namespace orovista {

/// The controls a sculpt step reads.
struct SculptSettings {
    int strength = 0;         ///< k: displacement at the brush centre is k·0.0625 scene units per step
    int blendPercent = 0;     ///< p, 0 … 100: blend b = p·0.01 between vertical (0) and along the normal (1)
    int brushDiameter = 0;    ///< D, scene units; radius in grid steps r = trunc(D·512 / S)
    int terrainSize = 0;      ///< S, scene units; a step does nothing to the vertices unless S > 0
    int floor = 0;            ///< L: no vertex goes below it unless paintBelowZero is set
    bool paintBelowZero = false;   ///< allow vertices below the floor
    bool lower = false;       ///< lower instead of raise (Shift held)
};

/// The brush radius in grid steps for a diameter of @a brushDiameter on a terrain of
/// @a terrainSize units: trunc(D·512 / S) in integer arithmetic (0 when S ≤ 0 or D ≤ 0).
int sculptBrushRadius(int brushDiameter, int terrainSize);

/// The vertices a sculpt step may move: rows [rowBegin, rowEnd) and columns [columnBegin,
/// columnEnd) of the mesh, already clipped to it. Empty when the step moves nothing.
struct SculptRegion {
    int rowBegin = 0, rowEnd = 0, columnBegin = 0, columnEnd = 0;
    bool empty() const { return rowBegin >= rowEnd || columnBegin >= columnEnd; }
};

/// The brush square of a step on a mesh of @a gridSize vertices a side, clipped to the mesh
/// (empty off the terrain, with k = 0 or without a terrain size). Undo keeps these vertices.
SculptRegion sculptRegion(int gridSize, const TerrainHit &hit, const SculptSettings &settings);

/// One sculpt step on the full mesh @a full at the lookup result @a hit.
///
/// When @a hit is over the terrain and k ≠ 0, moves the vertices of the brush square around the
/// hit cell's corner (column, row) as described above, then, unless paint below zero is on,
/// raises every vertex of the square that lies below the floor L back to L. Vertices outside the
/// mesh's rows or columns are skipped. In every case the normals of @a full are recomputed
/// afterwards (recomputeTerrainNormals()); with k = 0, or off the terrain, no vertex changes.
void sculptStep(TerrainArrays &full, const TerrainHit &hit, const SculptSettings &settings);

/// Copies into every vertex (r′, c′) of @a decimated the vertex and the normal of @a full at row
/// f·r′, column f·c′, f = full N / decimated N (4 for the 512 and 128 meshes). Positions are
/// copied whole, x and z included, so sideways moves of sculpting show in the decimated mesh too.
/// Does nothing when either mesh is empty, the decimated one is larger, or an array is too short.
void refreshDecimatedFromFull(const TerrainArrays &full, TerrainArrays &decimated);

}   // namespace orovista
