#include "scene/heightmapexport.h"

#include "noise/noisemap.h"
#include "terrain/heightmapimport.h"
#include "terrain/terrainarrays.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QBuffer>
#include <QtEndian>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orovista {

namespace {
void fillGrid(ElevationGrid &grid, const noise::utils::NoiseMap &map, int n, const ElevationScale &elevation);
}

ElevationGrid elevationGrid(const noise::utils::NoiseMap &map, double low, double high)
{
    ElevationGrid grid;
    const int n = std::min(map.GetWidth(), map.GetHeight());
    if (n < 1)
        return grid;
    float minimum = map.GetValue(0, 0), maximum = minimum;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float v = map.GetValue(x, y);
            minimum = std::min(minimum, v);
            maximum = std::max(maximum, v);
        }
    // The terrain mesh's own rule, so the values equal the mesh's heights.
    const ElevationScale elevation = elevationScale(minimum, maximum, low, high);
    fillGrid(grid, map, n, elevation);
    return grid;
}

namespace {

void fillGrid(ElevationGrid &grid, const noise::utils::NoiseMap &map, int n, const ElevationScale &elevation)
{
    grid.size = n;
    grid.metres.resize(std::size_t(n) * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            grid.metres[std::size_t(r) * n + c] = elevation.metres(map.GetValue(c, n - 1 - r));
    const auto [lo, hi] = std::minmax_element(grid.metres.begin(), grid.metres.end());
    grid.lowest = *lo;
    grid.highest = *hi;
}

}   // namespace

ElevationGrid resampledGrid(const ElevationGrid &surface, int samples)
{
    return resampledWindow(surface, samples, 0, 0, samples);
}

ElevationGrid resampledWindow(const ElevationGrid &surface, int samples, int firstColumn, int firstRow, int size)
{
    ElevationGrid grid;
    grid.lowest = surface.lowest;
    grid.highest = surface.highest;
    grid.surfaceSamples = surface.surfaceSamples > 0 ? surface.surfaceSamples : surface.size;
    grid.deviation = surface.deviation;
    grid.base = surface.base;
    if (surface.size < 1 || samples < 1 || size < 1)
        return grid;
    grid.size = size;
    if (samples == surface.size && firstColumn == 0 && firstRow == 0 && size == samples) {
        grid.metres = surface.metres;
        return grid;
    }
    const int n = surface.size;
    grid.metres = resampleWindow(surface.metres.data(), n, n, {0.0, 0.0, double(n - 1), double(n - 1)}, samples,
                                 firstColumn, firstRow, size);
    for (float &v : grid.metres)
        v = std::clamp(v, surface.lowest, surface.highest);
    return grid;
}

quint16 heightmapValue(const ElevationGrid &grid, float metres)
{
    const float span = grid.highest - grid.lowest;
    if (!(span > 0.0f))
        return 0;
    const float t = std::clamp((metres - grid.lowest) / span, 0.0f, 1.0f);
    return quint16(std::lround(t * 65535.0f));
}

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool saveBytes(const QByteArray &bytes, const QString &path, QString *error, files::Batch *batch)
{
    const QString failure = files::writeFile(path, {bytes}, batch);
    return failure.isEmpty() || fail(error, failure);
}

}   // namespace

bool writeHeightmapPng16(const ElevationGrid &grid, const QString &path, QString *error, files::Batch *batch)
{
    QImage image(grid.size, grid.size, QImage::Format_Grayscale16);
    if (image.isNull())
        return fail(error, QStringLiteral("no memory for a %1 × %1 heightmap").arg(grid.size));
    for (int r = 0; r < grid.size; ++r) {
        auto *line = reinterpret_cast<quint16 *>(image.scanLine(r));
        for (int c = 0; c < grid.size; ++c)
            line[c] = heightmapValue(grid, grid.metres[std::size_t(r) * grid.size + c]);
    }
    const QByteArray bytes = files::encodePicture(image, "PNG");
    if (bytes.isEmpty())
        return fail(error, files::cannotWrite(path, QStringLiteral("the picture could not be compressed")));
    image = QImage();
    return saveBytes(bytes, path, error, batch);
}

bool writeHeightmapRaw16(const ElevationGrid &grid, const QString &path, QString *error, files::Batch *batch)
{
    QByteArray bytes(qsizetype(grid.metres.size()) * 2, Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(bytes.data());
    for (std::size_t i = 0; i < grid.metres.size(); ++i)
        qToLittleEndian(heightmapValue(grid, grid.metres[i]), out + 2 * i);
    return saveBytes(bytes, path, error, batch);
}

bool writeFloatExr(const float *values, int width, int height, const QString &path, QString *error, files::Batch *batch)
{
    if (!values || width < 1 || height < 1)
        return fail(error, QStringLiteral("no map to write"));
    // OpenEXR opens its file itself: it writes beside the target, under a name the batch removes
    // unless it puts the file in place.
    files::Batch own;
    files::Batch &staging = batch ? *batch : own;
    QString temporary;
    try {
        temporary = staging.reserve(path);
    } catch (const files::WriteError &e) {
        return fail(error, e.message());
    }
    try {
        Imf::Header header(width, height);
        header.channels().insert("Y", Imf::Channel(Imf::FLOAT));
        Imf::OutputFile file(QFile::encodeName(temporary).constData(), header);
        Imf::FrameBuffer frame;
        frame.insert("Y", Imf::Slice(Imf::FLOAT, reinterpret_cast<char *>(const_cast<float *>(values)), sizeof(float),
                                     sizeof(float) * std::size_t(width)));
        file.setFrameBuffer(frame);
        file.writePixels(height);
    } catch (const std::exception &e) {
        // OpenEXR's messages carry the system's reason ("… No space left on device").
        staging.remove(path);
        return fail(error, files::cannotWrite(path, QString::fromLocal8Bit(e.what())));
    }
    if (!batch) {
        try {
            own.commit();
        } catch (const files::WriteError &e) {
            return fail(error, e.message());
        }
    }
    return true;
}

bool writeFloatRaw(const float *values, int width, int height, const QString &path, QString *error, files::Batch *batch)
{
    if (!values || width < 1 || height < 1)
        return fail(error, QStringLiteral("no map to write"));
    const std::size_t count = std::size_t(width) * std::size_t(height);
    QByteArray bytes(qsizetype(count * 4), Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(bytes.data());
    for (std::size_t i = 0; i < count; ++i)
        qToLittleEndian(values[i], out + 4 * i);
    return saveBytes(bytes, path, error, batch);
}

bool writeHeightmapExr(const ElevationGrid &grid, const QString &path, QString *error, files::Batch *batch)
{
    if (grid.size < 1)
        return fail(error, QStringLiteral("no heightmap to write"));
    return writeFloatExr(grid.metres.data(), grid.size, grid.size, path, error, batch);
}

bool writeHeightmapSidecar(const ElevationGrid &grid, int terrainSize, const QStringList &files, const QString &path,
                           QString *error, files::Batch *batch, bool rowsFlipped)
{
    QJsonObject o;
    o[QStringLiteral("size")] = grid.size;
    o[QStringLiteral("files")] = QJsonArray::fromStringList(files);
    o[QStringLiteral("metresAt0")] = double(grid.lowest);
    o[QStringLiteral("metresAt65535")] = double(grid.highest);
    o[QStringLiteral("terrainSize")] = terrainSize;
    o[QStringLiteral("rowOrder")] = rowsFlipped ? QStringLiteral("row 0 is the terrain's +z edge (rows flipped), column 0 its -x edge")
                                                : QStringLiteral("row 0 is the terrain's -z edge, column 0 its -x edge");
    o[QStringLiteral("raw")] = QStringLiteral("16-bit unsigned, little-endian, no header");
    o[QStringLiteral("surfaceSamples")] = grid.surfaceSamples > 0 ? grid.surfaceSamples : grid.size;
    o[QStringLiteral("deviation")] = grid.deviation;
    o[QStringLiteral("baseHeight")] = grid.base;
    return saveBytes(QJsonDocument(o).toJson(), path, error, batch);
}

}   // namespace orovista
