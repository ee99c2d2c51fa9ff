#include "terrain/heightmapraster.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <thread>

namespace orovista {

namespace {

using heightmapdetail::Raw;

constexpr float implausibleMetres = 1.0e6f;

/// 16-bit samples to metres between what 0 and 65535 stand for.
void sixteenBitToMetres(Raw &raw, const std::vector<quint16> &samples, double at0, double at65535)
{
    raw.values.resize(samples.size());
    const double step = (at65535 - at0) / 65535.0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        raw.values[i] = float(at0 + step * samples[i]);
}

/// Runs body(row) for rows 0 … count − 1 on the hardware threads.
template <class Body>
void parallelRows(int count, const Body &body)
{
    const int threads = std::clamp(int(std::thread::hardware_concurrency()), 1, 8);
    if (threads == 1 || count < 64) {
        for (int i = 0; i < count; ++i)
            body(i);
        return;
    }
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = t; i < count; i += threads)
                body(i);
        });
    for (std::thread &w : workers)
        w.join();
}

/// The taps of one axis: for output i, the source indices and normalised weights.
struct Taps {
    std::vector<int> first;   ///< offset into index/weight, count + 1 entries
    std::vector<int> index;
    std::vector<float> weight;
};

float catmullRom(double t)
{
    t = std::abs(t);
    if (t < 1.0)
        return float((1.5 * t - 2.5) * t * t + 1.0);
    if (t < 2.0)
        return float(((-0.5 * t + 2.5) * t - 4.0) * t + 2.0);
    return 0.0f;
}

Taps axisTaps(double start, double span, int n, int size)
{
    Taps taps;
    taps.first.reserve(std::size_t(n) + 1);
    const double step = n > 1 ? span / (n - 1) : 0.0;
    const double widen = std::max(1.0, step);
    const double radius = 2.0 * widen;
    for (int i = 0; i < n; ++i) {
        taps.first.push_back(int(taps.index.size()));
        const double position = n > 1 ? start + i * step : start + span / 2.0;
        const int lo = int(std::ceil(position - radius)), hi = int(std::floor(position + radius));
        double sum = 0.0;
        const std::size_t from = taps.index.size();
        for (int j = lo; j <= hi; ++j) {
            const float w = catmullRom((j - position) / widen);
            if (w == 0.0f)
                continue;
            taps.index.push_back(std::clamp(j, 0, size - 1));
            taps.weight.push_back(w);
            sum += w;
        }
        if (taps.index.size() == from) {   // never empty: the nearest sample
            taps.index.push_back(std::clamp(int(std::lround(position)), 0, size - 1));
            taps.weight.push_back(1.0f);
            sum = 1.0;
        }
        if (sum != 1.0)
            for (std::size_t k = from; k < taps.weight.size(); ++k)
                taps.weight[k] = float(taps.weight[k] / sum);
    }
    taps.first.push_back(int(taps.index.size()));
    return taps;
}

}   // namespace

namespace heightmapdetail {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

QString sizeProblem(long long width, long long height)
{
    if (width < 1 || height < 1)
        return QStringLiteral("the raster is empty (%1 × %2)").arg(width).arg(height);
    if (width < 2 || height < 2)
        return QStringLiteral("the raster is %1 × %2: a terrain needs at least 2 × 2 samples").arg(width).arg(height);
    if (width > maximumHeightmapSide || height > maximumHeightmapSide || width * height > maximumHeightmapSamples)
        return QStringLiteral("the raster is %1 × %2: larger than the %3 × %3 samples this program reads")
            .arg(width)
            .arg(height)
            .arg(int(std::sqrt(double(maximumHeightmapSamples))));
    return {};
}

bool finish(Raw &raw, const HeightmapReadOptions &options, Heightmap *out, QString *error)
{
    const std::size_t count = std::size_t(raw.width) * std::size_t(raw.height);
    std::size_t bad = 0;
    float biggest = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        if (!raw.known.empty() && !raw.known[i])
            continue;
        const float v = raw.values[i];
        if (!std::isfinite(v))
            ++bad;
        else
            biggest = std::max(biggest, std::abs(v));
    }
    if (bad > 0)
        return fail(error, QStringLiteral("%1 of its heights are NaN or infinite and not marked as no-data").arg(bad));
    if (biggest > implausibleMetres)
        return fail(error, QStringLiteral("it holds heights of %1 m: not elevations in metres").arg(double(biggest), 0, 'g', 3));
    int filled = 0;
    if (!raw.known.empty()) {
        filled = fillNoData(raw.values, raw.known, raw.width, raw.height);
        if (filled < 0)
            return fail(error, QStringLiteral("it holds no heights: every cell is no-data"));
        raw.known = {};
    }

    Heightmap h;
    h.width = raw.width;
    h.height = raw.height;
    h.metres = std::move(raw.values);
    h.filledCells = filled;
    h.format = raw.format;
    h.notes = raw.notes;
    const double columns = raw.width - 1, rows = raw.height - 1;
    if (raw.georeferenced) {
        const double groundX = columns * raw.pixelX, groundY = rows * raw.pixelY;
        const double side = std::min(groundX, groundY);
        h.squareSpanX = side / raw.pixelX;
        h.squareSpanY = side / raw.pixelY;
        h.squareLeft = (columns - h.squareSpanX) / 2.0;
        h.squareTop = (rows - h.squareSpanY) / 2.0;
        h.terrainSize = side;
        h.sizeSource = QStringLiteral("extent");
        if (std::abs(groundX - groundY) > std::max(raw.pixelX, raw.pixelY))
            h.notes << QStringLiteral("the %1 × %2 m ground was cut to its centred %3 m square")
                           .arg(groundX, 0, 'f', 0)
                           .arg(groundY, 0, 'f', 0)
                           .arg(side, 0, 'f', 0);
    } else {
        const double side = std::min(columns, rows);
        h.squareSpanX = h.squareSpanY = side;
        h.squareLeft = std::floor((columns - side) / 2.0);
        h.squareTop = std::floor((rows - side) / 2.0);
        h.terrainSize = raw.sizeFromFile > 0.0 ? raw.sizeFromFile : options.terrainSize;
        h.sizeSource = raw.sizeFromFile > 0.0 ? QStringLiteral("sidecar") : QStringLiteral("option");
        if (raw.width != raw.height)
            h.notes << QStringLiteral("the %1 × %2 raster was cut to its centred %3 × %3 square")
                           .arg(raw.width)
                           .arg(raw.height)
                           .arg(int(side) + 1);
    }
    if (filled > 0)
        h.notes << QStringLiteral("%1 no-data cells filled from their neighbours").arg(filled);
    *out = std::move(h);
    return true;
}

bool readPng(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar, Heightmap *out,
             QString *error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return fail(error, QStringLiteral("it is not a picture this program reads"));
    const QSize size = reader.size();
    if (size.isValid())
        if (const QString problem = sizeProblem(size.width(), size.height()); !problem.isEmpty())
            return fail(error, problem);
    QImage image = reader.read();
    if (image.isNull())
        return fail(error, QStringLiteral("the picture cannot be read: %1").arg(reader.errorString()));
    if (const QString problem = sizeProblem(image.width(), image.height()); !problem.isEmpty())
        return fail(error, problem);
    Raw raw;
    raw.format = QStringLiteral("png16");
    if (image.format() != QImage::Format_Grayscale16) {
        raw.notes << QStringLiteral("an 8-bit or colour picture: its grey levels are the heights");
        raw.format = QStringLiteral("picture");
        image = image.convertToFormat(QImage::Format_Grayscale16);
        if (image.isNull())
            return fail(error, QStringLiteral("not enough memory for the picture"));
    }
    raw.width = image.width();
    raw.height = image.height();
    std::vector<quint16> samples(std::size_t(raw.width) * raw.height);
    for (int y = 0; y < raw.height; ++y) {
        const auto *line = reinterpret_cast<const quint16 *>(image.constScanLine(y));
        std::copy_n(line, raw.width, samples.begin() + std::ptrdiff_t(y) * raw.width);
    }
    image = QImage();
    sixteenBitToMetres(raw, samples, sidecar.present ? sidecar.metresAt0 : options.metresAt0,
                       sidecar.present ? sidecar.metresAt65535 : options.metresAt65535);
    raw.sizeFromFile = sidecar.present ? sidecar.terrainSize : 0.0;
    return finish(raw, options, out, error);
}

bool readRaw16(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar, Heightmap *out,
               QString *error)
{
    const long long length = bytes.size();
    if (length == 0)
        return fail(error, QStringLiteral("the file is empty"));
    if (length % 2 != 0)
        return fail(error, QStringLiteral("its %1 bytes are not a whole number of 16-bit samples").arg(length));
    long long side = options.rawSize > 0 ? options.rawSize : sidecar.size;
    if (side <= 0) {
        side = std::llround(std::sqrt(double(length / 2)));
        if (side * side * 2 != length)
            return fail(error, QStringLiteral("its %1 bytes are no square of 16-bit samples: give its size").arg(length));
    }
    if (const QString problem = sizeProblem(side, side); !problem.isEmpty())
        return fail(error, problem);
    if (side * side * 2 != length)
        return fail(error, QStringLiteral("it holds %1 bytes, not the %2 of %3 × %3 16-bit samples")
                               .arg(length)
                               .arg(side * side * 2)
                               .arg(side));
    Raw raw;
    raw.format = QStringLiteral("r16");
    raw.width = raw.height = int(side);
    std::vector<quint16> samples(std::size_t(side * side));
    const auto *in = reinterpret_cast<const uchar *>(bytes.constData());
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<quint16>(in + 2 * i);
    sixteenBitToMetres(raw, samples, sidecar.present ? sidecar.metresAt0 : options.metresAt0,
                       sidecar.present ? sidecar.metresAt65535 : options.metresAt65535);
    raw.sizeFromFile = sidecar.present ? sidecar.terrainSize : 0.0;
    return finish(raw, options, out, error);
}

}   // namespace heightmapdetail

using namespace heightmapdetail;

int fillNoData(std::vector<float> &values, std::vector<unsigned char> &known, int width, int height)
{
    const std::size_t count = std::size_t(width) * std::size_t(height);
    // 0 unknown, 1 known, 2 waiting in the next ring.
    for (std::size_t i = 0; i < count; ++i)
        known[i] = known[i] ? 1 : 0;
    if (std::find(known.begin(), known.begin() + std::ptrdiff_t(count), 1) == known.begin() + std::ptrdiff_t(count))
        return -1;
    std::vector<std::size_t> ring, next;
    auto neighbours = [&](std::size_t i, auto &&visit) {
        const int x = int(i % std::size_t(width)), y = int(i / std::size_t(width));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if ((dx || dy) && nx >= 0 && ny >= 0 && nx < width && ny < height)
                    visit(std::size_t(ny) * std::size_t(width) + std::size_t(nx));
            }
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (known[i])
            continue;
        bool edge = false;
        neighbours(i, [&](std::size_t j) { edge = edge || known[j] == 1; });
        if (edge) {
            known[i] = 2;
            ring.push_back(i);
        }
    }
    int filled = 0;
    std::vector<float> mean;
    while (!ring.empty()) {
        mean.assign(ring.size(), 0.0f);
        for (std::size_t k = 0; k < ring.size(); ++k) {
            double sum = 0.0;
            int n = 0;
            neighbours(ring[k], [&](std::size_t j) {
                if (known[j] == 1) {
                    sum += values[j];
                    ++n;
                }
            });
            mean[k] = float(sum / std::max(1, n));
        }
        for (std::size_t k = 0; k < ring.size(); ++k) {
            values[ring[k]] = mean[k];
            known[ring[k]] = 1;
        }
        filled += int(ring.size());
        next.clear();
        for (std::size_t i : ring)
            neighbours(i, [&](std::size_t j) {
                if (known[j] == 0) {
                    known[j] = 2;
                    next.push_back(j);
                }
            });
        ring.swap(next);
    }
    return filled;
}

std::vector<float> resampleHeightmap(const Heightmap &map, int n)
{
    if (map.isEmpty() || n < 1)
        return {};
    const Taps columns = axisTaps(map.squareLeft, map.squareSpanX, n, map.width);
    const Taps rows = axisTaps(map.squareTop, map.squareSpanY, n, map.height);
    const int top = *std::min_element(rows.index.begin(), rows.index.end());
    const int bottom = *std::max_element(rows.index.begin(), rows.index.end());
    const int used = bottom - top + 1;
    // Along the rows first, for the source rows the output needs, then down the columns.
    std::vector<float> across(std::size_t(used) * std::size_t(n));
    parallelRows(used, [&](int r) {
        const float *in = map.metres.data() + std::size_t(top + r) * std::size_t(map.width);
        float *out = across.data() + std::size_t(r) * std::size_t(n);
        for (int c = 0; c < n; ++c) {
            float sum = 0.0f;
            for (int k = columns.first[c]; k < columns.first[c + 1]; ++k)
                sum += columns.weight[k] * in[columns.index[k]];
            out[c] = sum;
        }
    });
    std::vector<float> result(std::size_t(n) * std::size_t(n));
    parallelRows(n, [&](int r) {
        float *out = result.data() + std::size_t(r) * std::size_t(n);
        std::fill(out, out + n, 0.0f);
        for (int k = rows.first[r]; k < rows.first[r + 1]; ++k) {
            const float w = rows.weight[k];
            const float *in = across.data() + std::size_t(rows.index[k] - top) * std::size_t(n);
            for (int c = 0; c < n; ++c)
                out[c] += w * in[c];
        }
    });
    return result;
}

bool readHeightmapBytes(const QByteArray &bytes, const QString &kind, const HeightmapReadOptions &options,
                        Heightmap *out, QString *error)
{
    try {
        if (kind == QLatin1String("png"))
            return readPng(bytes, options, Sidecar(), out, error);
        if (kind == QLatin1String("raw"))
            return readRaw16(bytes, options, Sidecar(), out, error);
    } catch (const std::bad_alloc &) {
        return fail(error, QStringLiteral("not enough memory for it"));
    }
    return fail(error, QStringLiteral("unknown kind of heightmap \"%1\"").arg(kind));
}

}   // namespace orovista
