#pragma once
// Heightmaps sized and described for game engines: the sample counts an engine takes without
// resampling, and the values its terrain importer wants, so that the terrain comes in at the
// size, height and place it has here.
//
// Unity takes a square 16-bit little-endian RAW of 2^n + 1 samples (33 … 4097) and stretches
// it over "Terrain Width/Length" × "Terrain Height". Unreal takes a 16-bit PNG (or r16) of whole
// landscape components (127, 253, 505, 1009, 2017, 4033, 8129 samples); a sample value v stands
// for (v − 32768) / 128 × Z scale centimetres above the actor, so a range of R metres spread
// over the full 16 bits needs Z scale R × 100 / 512, and the actor stands at the range's middle.
//
// Axes: this program's scene is right-handed with y up; mesh row r runs along +z, column c along
// +x, and row 0 is the terrain's −z edge. Unreal (left-handed, z up) puts columns along +X and
// rows along +Y: our rows read in file order land the right way round. Unity (left-handed, y up)
// needs z mirrored to keep the terrain unmirrored, so our row 0 belongs at its far (+Z) edge:
// unless the rows are written flipped, the sidecar asks for "Flip Vertically".
#include "scene/heightmapexport.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace orovista::engine {

enum class Engine { Unity, Unreal };

/// "unity" or "unreal" (any case); nothing for another name.
std::optional<Engine> engineNamed(const QString &name);
QString engineName(Engine engine);

/// The sample counts an engine imports as they are, smallest first.
const QList<int> &engineSizes(Engine engine);
bool isEngineSize(Engine engine, int samples);
/// The size to use when none is asked for: 1025 (Unity) or 1009 (Unreal), or the smallest
/// engine size at or above the texture size when that is larger (the largest when none is).
int defaultEngineSize(Engine engine, int textureSize);

/// The grid with its rows in the opposite order (row 0 becomes the terrain's +z edge).
ElevationGrid flippedRows(const ElevationGrid &grid);

/// What the engine's importer needs, all in the engine's own units.
struct ImportValues {
    int samples = 0;
    // Unity (metres)
    double terrainWidth = 0.0, terrainLength = 0.0, terrainHeight = 0.0;
    double positionX = 0.0, positionY = 0.0, positionZ = 0.0;
    bool flipVertically = false;
    // Unreal (centimetres; scales in the landscape's units, 100 = 1 m per quad or per 512 m of Z)
    double scaleX = 0.0, scaleY = 0.0, scaleZ = 0.0;
    double locationX = 0.0, locationY = 0.0, locationZ = 0.0;
};

/// The ground a grid covers in this program's scene: its side in metres and its −x, −z corner. A
/// whole terrain is centred on the origin; a tile of one lies where the tile lies.
struct Ground {
    double extent = 0.0;
    double cornerX = 0.0, cornerZ = 0.0;
    static Ground centred(double side) { return {side, -side / 2.0, -side / 2.0}; }
};

/// Import values for a grid spread over a terrain of terrainSize metres (or over the ground
/// given); rowsFlipped says whether the file's rows were written with flippedRows().
ImportValues importValues(Engine engine, const ElevationGrid &grid, double terrainSize, bool rowsFlipped);
ImportValues importValues(Engine engine, const ElevationGrid &grid, const Ground &ground, bool rowsFlipped);

/// The sidecar's JSON: the engine, file, size, byte order, row order, the import values and the
/// metres that 0 and 65535 stand for; also printed on standard output by the command line.
QJsonObject importSidecar(Engine engine, const ElevationGrid &grid, double terrainSize, bool rowsFlipped,
                          const QString &file);
QJsonObject importSidecar(Engine engine, const ElevationGrid &grid, const Ground &ground, bool rowsFlipped,
                          const QString &file);
/// The same as lines of "Name: value" for people.
QString importInstructions(Engine engine, const ElevationGrid &grid, double terrainSize, bool rowsFlipped,
                           const QString &file);

}   // namespace orovista::engine
