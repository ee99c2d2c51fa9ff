#include "terrain/terrainarrays.h"

#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "terrain/normalmap.h"
#include "plugin/runlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace orovista {

namespace {

constexpr int kFullGridSize = 512;
constexpr int kDecimatedGridSize = 128;
constexpr int kDecimationStep = kFullGridSize / kDecimatedGridSize;

/// The colour picture as RGB32, or a null image (logged) when it is missing or unreadable.
QImage loadColourPicture(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        runLog() << "TFFnoisePreview.jpg file not found!\n";
        return {};
    }
    QImage picture(path);
    if (picture.isNull()) {
        runLog() << "TFFnoisePreview.jpg could not be read!\n";
        return {};
    }
    return picture.convertToFormat(QImage::Format_RGB32);
}

/// Builds an n × n mesh sampling every step-th height and colour into @a a, reusing its buffers
/// when they already have the right sizes (every element is overwritten).
}   // namespace

ElevationScale elevationScale(float minimum, float maximum, double low, double high)
{
    ElevationScale e;
    e.minimum = minimum;
    e.scale = maximum != minimum ? float(high - low) / (maximum - minimum) : 0.0f;
    e.low = float(low);
    return e;
}

namespace {

void buildMesh(const TerrainSource &source, int n, int step, TerrainArrays &a)
{
    if (source.heightMap == nullptr || source.terrainSize <= 0) {
        a = TerrainArrays();
        return;
    }
    const noise::utils::NoiseMap &map = *source.heightMap;
    const int needed = (n - 1) * step + 1;
    if (map.GetWidth() < needed || map.GetHeight() < needed) {
        runLog() << QStringLiteral("height map is %1 x %2, smaller than the mesh: missing samples read as %3\n")
                        .arg(map.GetWidth())
                        .arg(map.GetHeight())
                        .arg(double(map.GetBorderValue()));
    }

    const std::size_t count = std::size_t(n) * std::size_t(n);
    a.gridSize = n;
    a.lastIndex = n - 1;
    a.spacing = float(double(source.terrainSize) / double(n - 1));
    a.indexCount = 6 * (n - 1) * (n - 1);

    const QImage picture = loadColourPicture(source.colourPicturePath);

    a.indices.resize(std::size_t(a.indexCount));
    a.texCoords.resize(2 * count);
    a.normals.resize(3 * count);
    a.colors.resize(3 * count);
    a.whiteColors.resize(3 * count);
    std::fill(a.whiteColors.begin(), a.whiteColors.end(), 1.0f);
    a.vertices.resize(3 * count);

    // Heights first (into y), with the smallest and largest sample.
    float minimum = 2147483648.0f;
    float maximum = -2147483648.0f;
    for (int r = 0; r < n; ++r) {
        const int mapRow = step * (n - 1 - r);
        float *y = a.vertices.data() + 3 * std::size_t(r) * std::size_t(n) + 1;
        for (int c = 0; c < n; ++c, y += 3) {
            const float h = map.GetValue(step * c, mapRow);
            *y = h;
            if (h < minimum)
                minimum = h;
            if (h > maximum)
                maximum = h;
        }
    }
    const ElevationScale elevation = elevationScale(minimum, maximum, source.elevationLow, source.elevationHigh);
    a.heightScale = elevation.scale;
    a.elevation = elevation;
    const double centre = (n - 1) * 0.5;
    const double spacing = a.spacing;
    const float last = float(n - 1);
    std::uint32_t *index = a.indices.data();
    for (int r = 0; r < n; ++r) {
        const float z = float((r - centre) * spacing);
        const int pictureRow = step * r;
        const QRgb *line = pictureRow < picture.height() ? reinterpret_cast<const QRgb *>(picture.constScanLine(pictureRow))
                                                         : nullptr;
        for (int c = 0; c < n; ++c) {
            const std::size_t i = std::size_t(r) * std::size_t(n) + std::size_t(c);
            float *vertex = a.vertices.data() + 3 * i;
            vertex[0] = float((c - centre) * spacing);
            vertex[1] = elevation.metres(vertex[1]);
            vertex[2] = z;

            float *colour = a.colors.data() + 3 * i;
            const int pictureColumn = step * c;
            if (line != nullptr && pictureColumn < picture.width()) {
                const QRgb pixel = line[pictureColumn];
                colour[0] = float(qRed(pixel)) / 255.0f;
                colour[1] = float(qGreen(pixel)) / 255.0f;
                colour[2] = float(qBlue(pixel)) / 255.0f;
            } else {
                colour[0] = colour[1] = colour[2] = 1.0f;
            }

            a.texCoords[2 * i] = float(c) / last;
            a.texCoords[2 * i + 1] = 1.0f - float(r) / last;

            if (r < n - 1 && c < n - 1) {
                const auto k = std::uint32_t(i);
                const auto next = std::uint32_t(n);
                *index++ = k;
                *index++ = k + 1;
                *index++ = k + next;
                *index++ = k + 1;
                *index++ = k + next + 1;
                *index++ = k + next;
            }
        }
    }

    recomputeTerrainNormals(a);
}

}   // namespace

VertexBufferLayout vertexBufferLayout(int gridSize)
{
    const long long count = (long long)gridSize * gridSize;
    VertexBufferLayout layout;
    layout.vertices = 0;
    layout.normals = 12 * count;
    layout.colors = 24 * count;
    layout.texCoords = 36 * count;
    layout.totalBytes = 44 * count;
    return layout;
}

void buildTerrainArrays(const TerrainSource &source, TerrainArrays &arrays)
{
    runLog() << "building terrain arrays\n";
    buildMesh(source, kFullGridSize, 1, arrays);
}

void buildDecimatedTerrainArrays(const TerrainSource &source, TerrainArrays &arrays)
{
    runLog() << "build decimated terrain arrays\n";
    buildMesh(source, kDecimatedGridSize, kDecimationStep, arrays);
}

TerrainArrays buildTerrainArrays(const TerrainSource &source)
{
    TerrainArrays arrays;
    buildTerrainArrays(source, arrays);
    return arrays;
}

TerrainArrays buildDecimatedTerrainArrays(const TerrainSource &source)
{
    TerrainArrays arrays;
    buildDecimatedTerrainArrays(source, arrays);
    return arrays;
}

void recomputeTerrainNormals(TerrainArrays &a)
{
    const int n = a.gridSize;
    const std::size_t count = std::size_t(n) * std::size_t(n);
    if (n < 1 || a.vertices.size() < 3 * count || a.normals.size() < 3 * count)
        return;
    const float *v = a.vertices.data();
    float *normal = a.normals.data();
    const auto at = [n](int r, int c) { return 3 * (std::size_t(r) * std::size_t(n) + std::size_t(c)); };

    for (int r = 0; r < n - 1; ++r) {
        for (int c = 0; c < n - 1; ++c) {
            const std::size_t i = at(r, c);
            const float *p0 = v + i;
            const float *p1 = p0 + 3;
            const float *p2 = p0 + 3 * std::size_t(n);
            const float ax = p0[0] - p1[0], ay = p0[1] - p1[1], az = p0[2] - p1[2];
            const float bx = p2[0] - p1[0], by = p2[1] - p1[1], bz = p2[2] - p1[2];
            const float nx = ay * bz - az * by;
            const float ny = az * bx - ax * bz;
            const float nz = ax * by - ay * bx;
            float length = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (length == 0.0f)
                length = 1.0f;
            normal[i] = nx / length;
            normal[i + 1] = ny / length;
            normal[i + 2] = nz / length;
        }
    }

    // The last column and row have no right or next-row neighbour: they copy the nearest normal.
    const auto copy = [&](std::size_t to, std::size_t from) {
        const bool zero = normal[from] == 0.0f && normal[from + 1] == 0.0f && normal[from + 2] == 0.0f;
        normal[to] = zero ? 0.0f : normal[from];
        normal[to + 1] = zero ? 1.0f : normal[from + 1];
        normal[to + 2] = zero ? 0.0f : normal[from + 2];
    };
    if (n == 1) {
        normal[0] = 0.0f;
        normal[1] = 1.0f;
        normal[2] = 0.0f;
        return;
    }
    for (int r = 0; r < n - 1; ++r)
        copy(at(r, n - 1), at(r, n - 2));
    for (int c = 0; c < n; ++c)
        copy(at(n - 1, c), at(n - 2, c < n - 1 ? c : n - 2));
}

BrushRange brushRangeForTerrain(int terrainSize)
{
    BrushRange brush;
    brush.maximum = terrainSize;
    brush.value = terrainSize / 6;
    brush.label = QString::number(brush.value) + QLatin1Char('/') + QString::number(brush.maximum);
    return brush;
}

const QStringList &temporaryPictureNames()
{
    static const QStringList names = {
        QStringLiteral("C1noisePreview.jpg"),   QStringLiteral("HD1noisePreview.jpg"),
        QStringLiteral("HD2noisePreview.jpg"),  QStringLiteral("HFFnoisePreview.jpg"),
        QStringLiteral("HI1noisePreview.jpg"),  QStringLiteral("HI2noisePreview.jpg"),
        QStringLiteral("TD1noisePreview.jpg"),  QStringLiteral("TD2noisePreview.jpg"),
        QStringLiteral("TFFnoisePreview.jpg"),  QStringLiteral("TI1noisePreview.jpg"),
        QStringLiteral("TI2noisePreview.jpg"),  QStringLiteral("C1ControlMap.jpg"),
        QStringLiteral("TD1TurbulenceMap.jpg"), QStringLiteral("TD2TurbulenceMap.jpg"),
    };
    return names;
}

int removeTempFiles(const QString &mapsFolder, bool includeNormalMapThumb)
{
    runLog() << "removing temp files...\n";
    if (mapsFolder.isEmpty())   // an empty path would mean the current folder
        return 0;
    const QDir folder(mapsFolder);
    // What a writer killed part-way left behind (never the files of one still writing).
    files::removeStaleTemporaries(mapsFolder);
    int removed = 0;
    for (const QString &name : temporaryPictureNames())
        removed += QFile::remove(folder.filePath(name)) ? 1 : 0;
    if (includeNormalMapThumb)
        removed += QFile::remove(folder.filePath(normalMapThumbnailName())) ? 1 : 0;
    return removed;
}

}   // namespace orovista
