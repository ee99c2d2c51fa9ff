#pragma once
// The files a run takes from its surface: heightmaps, an engine's heightmap with its import
// values, tiles with their manifest, the splat map, and the sidecar of the pictures.
//
// A run (the command line's generate, the window's CREATE) has one surface: the 512 × 512 terrain
// its mesh is built from, eroded and sculpted, in metres (RunSurface). Every file here is that
// surface resampled (resampledGrid(): a sample on a mesh vertex is the vertex), so the files agree
// with the mesh and with each other wherever they share a place; they share one 16-bit scale, the
// surface's lowest … highest. The colour texture and the normal map are made by the noise machine
// at their own size and moved onto the surface (SurfaceDetail); the pictures' sidecar says by how
// much at most their heights depart from it.
#include "scene/heightmapexport.h"
#include "scene/splatmap.h"
#include "terrain/surfacedetail.h"
#include "terrain/terrainarrays.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace noise::utils {
class NoiseMap;
}

namespace orovista {

namespace files {
class Batch;
}

/// The surface of one run, in the machine's values and in metres.
class RunSurface {
public:
    /// surface: the 512 map after erosion and sculpting; graph: the same map as the noise graph
    /// (or the imported heightmap) gave it, before either (empty: the surface is the graph's).
    /// low and high: the elevation range; base: metres the terrain was moved down (imports).
    RunSurface(const noise::utils::NoiseMap &surface, std::vector<float> graph, double low, double high, bool imported,
               double base = 0.0);
    /// The surface of a terrain mesh (sculpted or not), its heights as they are.
    RunSurface(const TerrainArrays &mesh, std::vector<float> graph, bool imported, double base = 0.0);

    const ElevationGrid &grid() const { return m_grid; }
    /// Moves picture runs onto the surface, keeping their detail up to detailFraction of the range.
    std::unique_ptr<SurfaceDetail> detail(double detailFraction = defaultDetailFraction) const;
    /// A difference of map values in metres.
    double metres(float values) const { return double(values) * m_scale; }
    static constexpr double defaultDetailFraction = 0.005;

private:
    void measure(const ElevationScale &elevation, double base);

    std::vector<float> m_values, m_graph;
    int m_size = 0;
    bool m_imported = false;
    float m_range = 0.0f;
    double m_scale = 0.0;
    ElevationGrid m_grid;
};

/// What a run writes from its surface.
struct SurfaceFiles {
    QString folder;                ///< where the files go
    QString name;                  ///< the terrain name, the files' prefix
    int terrainSize = 100;         ///< metres from the first to the last sample
    QStringList heightmapFormats;  ///< of "png16", "r16", "exr"
    int heightmapSize = 512;
    QString engine;                ///< "unity", "unreal" or ""
    int engineSize = 0;            ///< 0: the engine's default for textureSize
    int textureSize = 512;
    bool flipRows = false;
    int tiles = 0;                 ///< 0: no tiles; else tiles × tiles
    int overlap = 1;
    int tileColumn = -1, tileRow = -1;   ///< only this tile (both ≥ 0)
    bool splat = false;            ///< NAME_splat.png at the texture size
    SplatSettings splatSettings;
    /// Sediment erosion's maps of the surface (streams to rock, deposits to sand in the splat
    /// map); none when null.
    const SedimentMaps *erosion = nullptr;
    /// NAME_erosion_flow, _wear and _deposit, each .exr (32-bit floats: m³ of water, metres) and
    /// .png (grey, white at the largest value; the flow on a log scale); needs erosion.
    bool erosionMaps = false;
};

/// The heightmaps, engine files, tiles and splat map asked for, staged in outputs. stage(text) is
/// told each long step. Returns the first error (empty when all were written); engineReport
/// receives the engine's import instructions.
QString writeSurfaceFiles(const RunSurface &surface, const SurfaceFiles &asked, files::Batch &outputs,
                          const std::function<void(const QString &)> &stage, QString *engineReport = nullptr);

/// The steps writeSurfaceFiles() reports for these choices.
int surfaceFileStages(const SurfaceFiles &asked);

/// NAME_texture.json: the colour texture's and the normal map's size and their deviation from
/// the surface in metres (a normalMapSize of 0: none).
QString writePicturesSidecar(const RunSurface &surface, const SurfaceFiles &asked, double textureDeviation,
                             int normalMapSize, double normalMapDeviation, files::Batch &outputs);

}   // namespace orovista
