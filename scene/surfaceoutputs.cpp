#include "scene/surfaceoutputs.h"

#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "scene/engineexport.h"
#include "terrain/terrainarrays.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <optional>
#include <tuple>

namespace orovista {

RunSurface::RunSurface(const noise::utils::NoiseMap &surface, std::vector<float> graph, double low, double high,
                       bool imported, double base)
    : m_values(mapValues(surface)), m_graph(std::move(graph)), m_size(surface.GetWidth()), m_imported(imported)
{
    float lo = 0.0f, hi = 0.0f;
    if (!m_values.empty())
        std::tie(lo, hi) = std::pair{*std::min_element(m_values.begin(), m_values.end()),
                                     *std::max_element(m_values.begin(), m_values.end())};
    measure(elevationScale(lo, hi, low, high), base);
}

RunSurface::RunSurface(const TerrainArrays &mesh, std::vector<float> graph, bool imported, double base)
    : m_graph(std::move(graph)), m_size(mesh.gridSize), m_imported(imported)
{
    // The map's values back from the heights (mesh row r is map row n − 1 − r); a flat terrain's
    // scale is 0 and its values all the lowest.
    const ElevationScale &e = mesh.elevation;
    const int n = m_size;
    m_values.resize(std::size_t(n) * std::size_t(n));
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const float metres = mesh.vertices[3 * (std::size_t(r) * std::size_t(n) + std::size_t(c)) + 1];
            m_values[std::size_t(n - 1 - r) * std::size_t(n) + std::size_t(c)] =
                e.scale != 0.0f ? e.minimum + (metres - e.low) / e.scale : e.minimum;
        }
    measure(e, base);
    // The grid is the mesh's own heights, not their round trip through the values.
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            m_grid.metres[std::size_t(r) * std::size_t(n) + std::size_t(c)] =
                mesh.vertices[3 * (std::size_t(r) * std::size_t(n) + std::size_t(c)) + 1];
    const auto [lo, hi] = std::minmax_element(m_grid.metres.begin(), m_grid.metres.end());
    m_grid.lowest = *lo;
    m_grid.highest = *hi;
}

void RunSurface::measure(const ElevationScale &elevation, double base)
{
    if (m_graph.size() != m_values.size())
        m_graph = m_values;
    m_scale = elevation.scale;
    const int n = m_size;
    m_grid.size = n;
    m_grid.base = base;
    m_grid.metres.resize(m_values.size());
    if (m_values.empty())
        return;
    const auto [lo, hi] = std::minmax_element(m_values.begin(), m_values.end());
    m_range = *hi - *lo;
    // Grid row 0 is the terrain's −z edge: map row n − 1, as the mesh has it.
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            m_grid.metres[std::size_t(r) * std::size_t(n) + std::size_t(c)] =
                elevation.metres(m_values[std::size_t(n - 1 - r) * std::size_t(n) + std::size_t(c)]);
    const auto [low, high] = std::minmax_element(m_grid.metres.begin(), m_grid.metres.end());
    m_grid.lowest = *low;
    m_grid.highest = *high;
}

std::unique_ptr<SurfaceDetail> RunSurface::detail(double detailFraction) const
{
    return std::make_unique<SurfaceDetail>(m_values, m_graph, m_size, m_imported, float(detailFraction * m_range));
}

namespace {

std::optional<engine::Engine> engineOf(const SurfaceFiles &asked) { return engine::engineNamed(asked.engine); }

int engineSamples(engine::Engine which, const SurfaceFiles &asked)
{
    return asked.engineSize > 0 ? asked.engineSize : engine::defaultEngineSize(which, asked.textureSize);
}

QString writeHeightmaps(const ElevationGrid &surface, const SurfaceFiles &o, files::Batch &outputs)
{
    const QDir out(o.folder);
    ElevationGrid grid = resampledGrid(surface, o.heightmapSize);
    if (o.flipRows)
        grid = engine::flippedRows(grid);
    QStringList files;
    QString error;
    for (const QString &format : o.heightmapFormats) {
        const QString file =
            o.name + QStringLiteral("_height.") + (format == QLatin1String("png16") ? QStringLiteral("png") : format);
        const QString path = out.filePath(file);
        const bool ok = format == QLatin1String("png16") ? writeHeightmapPng16(grid, path, &error, &outputs)
                        : format == QLatin1String("r16") ? writeHeightmapRaw16(grid, path, &error, &outputs)
                                                         : writeHeightmapExr(grid, path, &error, &outputs);
        if (!ok)
            return error;
        files << file;
    }
    writeHeightmapSidecar(grid, o.terrainSize, files, out.filePath(o.name + QStringLiteral("_height.json")), &error,
                          &outputs, o.flipRows);
    return error;
}

/// The engine's heightmap: the surface at the engine's own sample count.
QString writeEngineHeightmap(const ElevationGrid &surface, const SurfaceFiles &o, engine::Engine which,
                             files::Batch &outputs, QString *report)
{
    const QDir out(o.folder);
    ElevationGrid grid = resampledGrid(surface, engineSamples(which, o));
    if (o.flipRows)
        grid = engine::flippedRows(grid);
    const bool unity = which == engine::Engine::Unity;
    const QString base = o.name + (unity ? QStringLiteral("_unity") : QStringLiteral("_unreal"));
    const QString file = base + (unity ? QStringLiteral(".raw") : QStringLiteral(".png"));
    QString error;
    const bool ok = unity ? writeHeightmapRaw16(grid, out.filePath(file), &error, &outputs)
                          : writeHeightmapPng16(grid, out.filePath(file), &error, &outputs) &&
                                writeHeightmapRaw16(grid, out.filePath(base + QStringLiteral(".r16")), &error, &outputs);
    if (!ok)
        return error;
    const QByteArray sidecar = QJsonDocument(engine::importSidecar(which, grid, o.terrainSize, o.flipRows, file)).toJson();
    if (report)
        *report = engine::importInstructions(which, grid, o.terrainSize, o.flipRows, file);
    return files::writeFile(out.filePath(base + QStringLiteral(".json")), {sidecar}, &outputs);
}

// Tiles: each one is its part of the run's surface resampled to the whole world's samples, so that
// shared samples agree bit for bit, a tile made in a process of its own is the same tile, and all
// of them share the surface's metres and 16-bit scale. Erosion shaped the surface before it was
// cut, so eroded tiles meet as exactly as the others.
QString writeTiles(const ElevationGrid &surface, const SurfaceFiles &o, files::Batch &outputs,
                   const std::function<void(const QString &)> &stage)
{
    const QDir out(o.folder);
    const std::optional<engine::Engine> which = engineOf(o);
    const int size = which ? engineSamples(*which, o) : o.heightmapSize;
    if (o.overlap >= size)
        return QStringLiteral("--overlap must be smaller than the tile size %1").arg(size);
    const int step = size - o.overlap;
    const int world = o.tiles * step + o.overlap;
    const QStringList formats =
        o.heightmapFormats.isEmpty() && !which ? QStringList{QStringLiteral("png16")} : o.heightmapFormats;
    const double spacing = double(o.terrainSize) / std::max(1, world - 1);
    QString error;
    QJsonArray list;
    for (int j = 0; j < o.tiles; ++j)
        for (int i = 0; i < o.tiles; ++i) {
            // Engine-style names: the engines' tiled importers read the tile's place from "_xI_yJ".
            const QString place = QStringLiteral("_x%1_y%2").arg(i).arg(j);
            QStringList files;
            for (const QString &format : formats)
                files << o.name + QStringLiteral("_height") + place + QLatin1Char('.') +
                             (format == QLatin1String("png16") ? QStringLiteral("png") : format);
            QString engineFile;
            if (which) {
                const bool unity = *which == engine::Engine::Unity;
                const QString engineBase = o.name + (unity ? QStringLiteral("_unity") : QStringLiteral("_unreal")) + place;
                engineFile = engineBase + (unity ? QStringLiteral(".raw") : QStringLiteral(".png"));
                files << engineFile;
                if (!unity)
                    files << engineBase + QStringLiteral(".r16");
                files << engineBase + QStringLiteral(".json");
            }
            QJsonObject entry;
            entry[QStringLiteral("column")] = i;
            entry[QStringLiteral("row")] = j;
            entry[QStringLiteral("firstSampleColumn")] = i * step;
            entry[QStringLiteral("firstSampleRow")] = j * step;
            entry[QStringLiteral("x")] = -o.terrainSize / 2.0 + i * step * spacing;
            entry[QStringLiteral("z")] = -o.terrainSize / 2.0 + j * step * spacing;
            entry[QStringLiteral("files")] = QJsonArray::fromStringList(files);
            list.append(entry);
            if (o.tileColumn >= 0 && (i != o.tileColumn || j != o.tileRow))
                continue;
            stage(QStringLiteral("tile %1,%2 of %3 × %3, %4 × %4").arg(i).arg(j).arg(o.tiles).arg(size));
            // Grid row 0 is the terrain's −z edge, as tile row 0 is.
            ElevationGrid grid = resampledWindow(surface, world, i * step, j * step, size);
            if (o.flipRows)
                grid = engine::flippedRows(grid);
            for (const QString &file : files) {
                const QString path = out.filePath(file);
                if (file.endsWith(QLatin1String(".json"))) {
                    // The tile's own import values: its ground, in the whole world's place.
                    const engine::Ground ground{(size - 1) * spacing, -o.terrainSize / 2.0 + i * step * spacing,
                                                -o.terrainSize / 2.0 + j * step * spacing};
                    const QByteArray sidecar =
                        QJsonDocument(engine::importSidecar(*which, grid, ground, o.flipRows, engineFile)).toJson();
                    if (error = files::writeFile(path, {sidecar}, &outputs); !error.isEmpty())
                        return error;
                    continue;
                }
                const bool ok = file.endsWith(QLatin1String(".png"))   ? writeHeightmapPng16(grid, path, &error, &outputs)
                                : file.endsWith(QLatin1String(".exr")) ? writeHeightmapExr(grid, path, &error, &outputs)
                                                                        : writeHeightmapRaw16(grid, path, &error, &outputs);
                if (!ok)
                    return error;
            }
        }
    QJsonObject manifest;
    manifest[QStringLiteral("tiles")] = o.tiles;
    manifest[QStringLiteral("overlap")] = o.overlap;
    manifest[QStringLiteral("tileSize")] = size;
    manifest[QStringLiteral("worldSamples")] = world;
    manifest[QStringLiteral("terrainSize")] = o.terrainSize;
    manifest[QStringLiteral("tileExtent")] = (size - 1) * spacing;
    manifest[QStringLiteral("metresAt0")] = double(surface.lowest);
    manifest[QStringLiteral("metresAt65535")] = double(surface.highest);
    manifest[QStringLiteral("surfaceSamples")] = surface.size;
    manifest[QStringLiteral("deviation")] = surface.deviation;
    manifest[QStringLiteral("seamError")] = 0.0;
    manifest[QStringLiteral("baseHeight")] = surface.base;
    manifest[QStringLiteral("rowOrder")] =
        o.flipRows ? QStringLiteral("in each tile row 0 is its +z edge (rows flipped); tile rows run along +z")
                   : QStringLiteral("in each tile row 0 is its -z edge; tile rows run along +z, tile columns along +x");
    manifest[QStringLiteral("seams")] =
        QStringLiteral("the tiles are cut from one surface: neighbouring tiles share their overlap samples exactly");
    manifest[QStringLiteral("list")] = list;
    return files::writeFile(out.filePath(o.name + QStringLiteral("_tiles.json")), {QJsonDocument(manifest).toJson()},
                            &outputs);
}

/// Beside the colour texture and the same way up: image row r is mesh row r.
QString writeSplat(const ElevationGrid &surface, const SurfaceFiles &o, files::Batch &outputs)
{
    const QString path = QDir(o.folder).filePath(o.name + QStringLiteral("_splat.png"));
    QImage splat = splatMap(resampledGrid(surface, o.textureSize), o.terrainSize, o.splatSettings, o.erosion);
    if (splat.isNull())
        return QStringLiteral("not enough memory for the splat map");
    const QByteArray bytes = files::encodePicture(splat, "PNG");
    if (bytes.isEmpty())
        return files::cannotWrite(path, QStringLiteral("the picture could not be compressed"));
    return files::writeFile(path, {bytes}, &outputs);
}

/// Sediment erosion's maps, each as 32-bit floats (NAME_erosion_KIND.exr: m³ of water for the
/// flow, metres for wear and deposit) and as a grey picture (NAME_erosion_KIND.png: white at the
/// map's largest value; the flow on a logarithmic scale, as it spans orders of magnitude). Rows
/// as the height pictures: the first is the map's last row.
QString writeErosionMaps(const SedimentMaps &maps, const SurfaceFiles &o, files::Batch &outputs)
{
    const int n = maps.size;
    const std::pair<QString, const std::vector<float> *> kinds[] = {
        {QStringLiteral("flow"), &maps.flow}, {QStringLiteral("wear"), &maps.wear}, {QStringLiteral("deposit"), &maps.deposit}};
    for (const auto &[kind, values] : kinds) {
        if (n < 1 || values->size() != std::size_t(n) * std::size_t(n))
            return QStringLiteral("sediment erosion made no %1 map").arg(kind);
        const QString base = QDir(o.folder).filePath(o.name + QStringLiteral("_erosion_") + kind);
        QString error;
        if (!writeFloatExr(values->data(), n, n, base + QStringLiteral(".exr"), &error, &outputs))
            return error;
        const bool logarithmic = kind == QLatin1String("flow");
        const auto scale = [logarithmic](float v) { return logarithmic ? std::log1p(double(std::max(v, 0.0f))) : double(v); };
        const double top = scale(*std::max_element(values->begin(), values->end()));
        QImage grey(n, n, QImage::Format_Grayscale8);
        for (int r = 0; r < n; ++r) {
            uchar *line = grey.scanLine(r);
            for (int c = 0; c < n; ++c) {
                const double t = top > 0.0 ? scale((*values)[std::size_t(r) * std::size_t(n) + std::size_t(c)]) / top : 0.0;
                line[c] = uchar(std::clamp(std::lround(t * 255.0), 0L, 255L));
            }
        }
        const QByteArray png = files::encodePicture(grey, "PNG");
        if (png.isEmpty())
            return files::cannotWrite(base + QStringLiteral(".png"), QStringLiteral("the picture could not be compressed"));
        error = files::writeFile(base + QStringLiteral(".png"), {png}, &outputs);
        if (!error.isEmpty())
            return error;
    }
    return QString();
}

}   // namespace

int surfaceFileStages(const SurfaceFiles &asked)
{
    if (asked.tiles > 0)
        return asked.tileColumn >= 0 ? 1 : asked.tiles * asked.tiles;
    return asked.engine.isEmpty() ? 0 : 1;
}

QString writeSurfaceFiles(const RunSurface &surface, const SurfaceFiles &asked, files::Batch &outputs,
                          const std::function<void(const QString &)> &stage, QString *engineReport)
{
    const ElevationGrid &grid = surface.grid();
    QString error;
    if (!asked.heightmapFormats.isEmpty() && asked.tiles == 0)
        if (error = writeHeightmaps(grid, asked, outputs); !error.isEmpty())
            return error;
    if (asked.tiles > 0) {
        if (error = writeTiles(grid, asked, outputs, stage); !error.isEmpty())
            return error;
    } else if (const std::optional<engine::Engine> which = engineOf(asked)) {
        stage(QStringLiteral("%1 heightmap %2 × %2").arg(engine::engineName(*which)).arg(engineSamples(*which, asked)));
        if (error = writeEngineHeightmap(grid, asked, *which, outputs, engineReport); !error.isEmpty())
            return error;
    }
    if (asked.splat)
        if (error = writeSplat(grid, asked, outputs); !error.isEmpty())
            return error;
    if (asked.erosionMaps) {
        if (!asked.erosion)
            return QStringLiteral("no sediment erosion ran, so there are no erosion maps");
        if (error = writeErosionMaps(*asked.erosion, asked, outputs); !error.isEmpty())
            return error;
    }
    return {};
}

QString writePicturesSidecar(const RunSurface &surface, const SurfaceFiles &asked, double textureDeviation,
                             int normalMapSize, double normalMapDeviation, files::Batch &outputs)
{
    QJsonObject json;
    json[QStringLiteral("surfaceSamples")] = surface.grid().size;
    json[QStringLiteral("textureSize")] = asked.textureSize;
    json[QStringLiteral("textureDeviation")] = textureDeviation;
    if (normalMapSize > 0) {
        json[QStringLiteral("normalMapSize")] = normalMapSize;
        json[QStringLiteral("normalMapDeviation")] = normalMapDeviation;
    }
    json[QStringLiteral("detailBound")] =
        RunSurface::defaultDetailFraction * double(surface.grid().highest - surface.grid().lowest);
    json[QStringLiteral("rule")] =
        QStringLiteral("the pictures show the surface of the mesh (erosion and sculpting included) plus the noise's finer "
                       "detail up to detailBound metres; textureDeviation and normalMapDeviation are the most their "
                       "heights depart from the mesh's surface anywhere, in metres");
    return files::writeFile(QDir(asked.folder).filePath(asked.name + QStringLiteral("_texture.json")),
                            {QJsonDocument(json).toJson()}, &outputs);
}

}   // namespace orovista
