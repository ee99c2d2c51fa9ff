#pragma once
// Heightmaps for game engines and other terrain tools: the terrain's elevations as a 16-bit grey
// PNG, a little-endian 16-bit RAW (what a Unity terrain imports), and a 32-bit float OpenEXR in
// metres, with a JSON sidecar that says what the 16-bit values stand for.
//
// Row r, column c of every file is mesh vertex (r, c): the height map read upside down, as the
// terrain mesh reads it. The 16-bit forms span the lowest to the highest elevation.
#include "noise/outputfiles.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace noise::utils {
class NoiseMap;
}

namespace orovista {

struct ElevationGrid {
    int size = 0;
    std::vector<float> metres;   ///< size × size, row by row
    float lowest = 0.0f;         ///< what 0 stands for
    float highest = 0.0f;        ///< what 65535 stands for
    /// The samples along a side of the surface this grid was taken from (the run's terrain), and
    /// the most it departs from that surface anywhere, in metres; 0: the grid is that surface.
    int surfaceSamples = 0;
    double deviation = 0.0;
    /// Metres to add to a height for its height above the datum of the elevation model the
    /// terrain was read from (which was moved to stand on 0); 0 for a generated terrain.
    double base = 0.0;
};

/// Elevations of the mesh built from map between low and high metres (a flat map lies at low).
ElevationGrid elevationGrid(const noise::utils::NoiseMap &map, double low, double high);

/// One run, one surface: every heightmap of a run is taken from the run's terrain (the grid the
/// mesh is built from), whatever its size, so that the mesh, the heightmaps, the engine's files and
/// the tiles agree wherever they have a sample at the same place.
///
/// The surface resampled to samples × samples over the same ground (corner samples on its corner
/// samples): Catmull-Rom through the surface's samples, widened into a low-pass filter where the
/// new grid is coarser. A new sample that falls on one of the surface's is that sample, exactly
/// (at 1023 samples every second one is a mesh vertex). Values are kept within the surface's
/// lowest … highest, which stay the 16-bit scale, so that every grid of the run shares one.
ElevationGrid resampledGrid(const ElevationGrid &surface, int samples);
/// The size × size part of that resampled grid whose first sample is (firstColumn, firstRow):
/// a tile of a world of samples × samples. Bit for bit the same values as cutting the whole
/// grid, so that neighbouring tiles agree exactly where they overlap, and a tile made alone (in
/// a process of its own) equals the same tile of a whole run.
ElevationGrid resampledWindow(const ElevationGrid &surface, int samples, int firstColumn, int firstRow, int size);

/// The 16-bit value of an elevation: 0 … 65535 across lowest … highest (0 for a flat grid).
quint16 heightmapValue(const ElevationGrid &grid, float metres);

// Each writer replaces path only with a complete file, or stages it in batch, which puts it in
// place; on failure it returns false and says why (with the system's reason).
bool writeHeightmapPng16(const ElevationGrid &grid, const QString &path, QString *error = nullptr,
                         files::Batch *batch = nullptr);
bool writeHeightmapRaw16(const ElevationGrid &grid, const QString &path, QString *error = nullptr,
                         files::Batch *batch = nullptr);
/// A single-channel ("Y") 32-bit float OpenEXR of width × height values, rows top to bottom.
bool writeFloatExr(const float *values, int width, int height, const QString &path, QString *error = nullptr,
                   files::Batch *batch = nullptr);
/// The same values as little-endian float32 without a header.
bool writeFloatRaw(const float *values, int width, int height, const QString &path, QString *error = nullptr,
                   files::Batch *batch = nullptr);
bool writeHeightmapExr(const ElevationGrid &grid, const QString &path, QString *error = nullptr,
                       files::Batch *batch = nullptr);
/// {"size", "formats", "metresAt0", "metresAt65535", "terrainSize", "rowOrder", "raw"}; rowsFlipped
/// says that the files hold the rows in the opposite order (row 0 the terrain's +z edge).
bool writeHeightmapSidecar(const ElevationGrid &grid, int terrainSize, const QStringList &files, const QString &path,
                           QString *error = nullptr, files::Batch *batch = nullptr, bool rowsFlipped = false);

}   // namespace orovista
