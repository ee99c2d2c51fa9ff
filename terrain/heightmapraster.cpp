#include "terrain/heightmapraster.h"

#include <QtEndian>

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <thread>

namespace orovista {

namespace {

using heightmapdetail::Raw;

constexpr float implausibleMetres = 1.0e6f;

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

/// The taps of new samples first … first + count − 1 of a line of `samples` spread over `span`
/// source steps from `start`. A sample's position, start + k × span / (samples − 1), depends only
/// on k, so every window of a line has the same taps as the whole line there, and a position that
/// is a whole number gives that source sample exactly.
Taps axisTaps(double start, double span, int samples, int first, int count, int size)
{
    Taps taps;
    taps.first.reserve(std::size_t(count) + 1);
    const double step = samples > 1 ? span / (samples - 1) : 0.0;
    const double widen = std::max(1.0, step);
    const double radius = 2.0 * widen;
    for (int k = first; k < first + count; ++k) {
        taps.first.push_back(int(taps.index.size()));
        const double position = samples > 1 ? start + double(k) * span / double(samples - 1) : start + span / 2.0;
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
            for (std::size_t t = from; t < taps.weight.size(); ++t)
                taps.weight[t] = float(taps.weight[t] / sum);
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

ReadProgress ReadProgress::part(double a, double b) const
{
    ReadProgress p = *this;
    p.m_from = m_from + (m_to - m_from) * a;
    p.m_to = m_from + (m_to - m_from) * b;
    return p;
}

bool ReadProgress::at(double fraction) const
{
    State &s = *m_state;
    if (s.stopped)
        return false;
    if (!s.keepGoing)
        return true;
    const double whole = std::clamp(m_from + (m_to - m_from) * std::clamp(fraction, 0.0, 1.0), 0.0, 1.0);
    if (whole < s.last + 0.001 && !(whole >= 1.0 && s.last < 1.0))
        return true;
    s.last = whole;
    s.stopped = !s.keepGoing(whole);
    return !s.stopped;
}

QString shortNumber(double value, int decimals)
{
    if (std::isfinite(value) && std::abs(value) < 1e9)
        return QString::number(value, 'f', decimals);
    return QString::number(value, 'g', 3);
}

QString sizeProblem(long long width, long long height, long long maximumSamples)
{
    maximumSamples = std::clamp(maximumSamples, 4LL, maximumHeightmapSamples);
    if (width < 1 || height < 1)
        return QStringLiteral("the raster holds no samples");
    if (width < 2 || height < 2)
        return QStringLiteral("the raster is %1 × %2: a terrain needs at least 2 × 2 samples").arg(width).arg(height);
    if (width > maximumHeightmapSide || height > maximumHeightmapSide || width * height > maximumSamples)
        return QStringLiteral("the raster is %1 × %2: larger than the %3 × %3 samples this program reads")
            .arg(width)
            .arg(height)
            .arg(int(std::sqrt(double(maximumSamples))));
    return {};
}

bool finish(Raw &raw, const HeightmapReadOptions &options, const ReadProgress &progress, Heightmap *out,
            QString *error)
{
    if (!progress.at(0.0))
        return fail(error, stoppedError);
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
        return fail(error, QStringLiteral("%1 heights of %2 m: not elevations in metres")
                               .arg(raw.heightsFrom.isEmpty() ? QStringLiteral("it holds")
                                                              : raw.heightsFrom + QStringLiteral(" give"))
                               .arg(double(biggest), 0, 'g', 3));
    int filled = 0;
    if (!raw.known.empty()) {
        filled = fillNoData(raw.values, raw.known, raw.width, raw.height,
                            [&](double f) { return progress.part(0.1, 1.0).at(f); });
        if (filled == -2)
            return fail(error, stoppedError);
        if (filled < 0)
            return fail(error, QStringLiteral("it holds no heights: every cell is no-data"));
        raw.known = {};
    }
    if (!progress.at(1.0))
        return fail(error, stoppedError);

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
                           .arg(shortNumber(groundX), shortNumber(groundY), shortNumber(side));
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

namespace {

// libpng reports errors by longjmp. Everything between setjmp and the libpng calls that may jump
// lives in plain structs and C-style functions, so that no destructor is skipped; the rows are
// handed to the caller through a function pointer, between two libpng calls.

/// Deflate gives at most about 1032 bytes for one: a picture whose rows need more than this many
/// times the file's bytes cannot be in the file, however well it compresses.
constexpr double deflateLimit = 1040.0;

struct PngJob {
    const unsigned char *data = nullptr;
    std::size_t size = 0, position = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0, channels = 0, passes = 1;
    std::size_t rowBytes = 0;
    char message[160] = {};
    /// Row y of the picture, channels × bitDepth / 8 bytes a pixel; false: stop.
    bool (*row)(void *context, png_uint_32 y, const unsigned char *bytes) = nullptr;
    /// The fraction of the rows read; false: stop.
    bool (*progress)(void *context, double fraction) = nullptr;
    void *context = nullptr;
};

void pngRead(png_structp png, png_bytep out, std::size_t count)
{
    auto *job = static_cast<PngJob *>(png_get_io_ptr(png));
    if (count > job->size - job->position)
        png_error(png, "the file ends early");
    std::memcpy(out, job->data + job->position, count);
    job->position += count;
}

void pngError(png_structp png, png_const_charp message)
{
    auto *job = static_cast<PngJob *>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

/// The header, and the transformations to 8- or 16-bit grey or RGB without alpha.
bool pngHeader(PngJob *job)
{
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, pngError, pngWarning);
    if (!job->png)
        return false;
    job->info = png_create_info_struct(job->png);
    if (!job->info)
        return false;
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_set_read_fn(job->png, job, pngRead);
    png_read_info(job->png, job->info);
    job->width = png_get_image_width(job->png, job->info);
    job->height = png_get_image_height(job->png, job->info);
    job->bitDepth = png_get_bit_depth(job->png, job->info);
    job->colourType = png_get_color_type(job->png, job->info);
    job->interlace = png_get_interlace_type(job->png, job->info);
    if (job->colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(job->png);
    if (job->colourType == PNG_COLOR_TYPE_GRAY && job->bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(job->png);
    if (job->colourType & PNG_COLOR_MASK_ALPHA)
        png_set_strip_alpha(job->png);
    job->passes = png_set_interlace_handling(job->png);
    png_read_update_info(job->png, job->info);
    job->channels = png_get_channels(job->png, job->info);
    job->bitDepth = png_get_bit_depth(job->png, job->info);
    job->rowBytes = png_get_rowbytes(job->png, job->info);
    return true;
}

/// Reads the rows into buffer (one row, or the whole picture when interlaced) and hands each
/// finished row to job->row.
bool pngRows(PngJob *job, unsigned char *buffer)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    const png_uint_32 h = job->height;
    if (job->passes == 1) {
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(job->png, buffer, nullptr);
            if (!job->row(job->context, y, buffer) || !job->progress(job->context, double(y + 1) / h))
                return false;
        }
        return true;
    }
    for (int pass = 0; pass < job->passes; ++pass)
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(job->png, buffer + std::size_t(y) * job->rowBytes, nullptr);
            if (!job->progress(job->context, double(std::size_t(pass) * h + y + 1) / (double(job->passes) * h)))
                return false;
        }
    for (png_uint_32 y = 0; y < h; ++y)
        if (!job->row(job->context, y, buffer + std::size_t(y) * job->rowBytes))
            return false;
    return true;
}

/// Where the rows go: 16-bit grey samples straight to metres, anything else by its grey level.
struct PngSink {
    Raw *raw;
    double at0, step;
    int channels, bitDepth;
    ReadProgress progress;
};

bool pngSinkRow(void *context, png_uint_32 y, const unsigned char *bytes)
{
    auto *sink = static_cast<PngSink *>(context);
    Raw &raw = *sink->raw;
    const std::size_t width = std::size_t(raw.width);
    raw.values.resize((std::size_t(y) + 1) * width);
    float *out = raw.values.data() + std::size_t(y) * width;
    const int channels = sink->channels;
    auto sample = [&](std::size_t i) -> unsigned {
        return sink->bitDepth == 16 ? unsigned(bytes[2 * i]) << 8 | bytes[2 * i + 1] : unsigned(bytes[i]) * 257u;
    };
    for (std::size_t x = 0; x < width; ++x) {
        unsigned grey;
        if (channels == 1) {
            grey = sample(x);
        } else {   // the grey a picture viewer shows: 11/32 red, 16/32 green, 5/32 blue
            const std::size_t i = x * std::size_t(channels);
            grey = (11u * sample(i) + 16u * sample(i + 1) + 5u * sample(i + 2) + 16u) / 32u;
        }
        out[x] = float(sink->at0 + sink->step * grey);
    }
    return true;
}

bool pngSinkProgress(void *context, double fraction) { return static_cast<PngSink *>(context)->progress.at(fraction); }

}   // namespace

bool readPng(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar,
             const ReadProgress &progress, Heightmap *out, QString *error)
{
    static const char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (bytes.size() < 8 || std::memcmp(bytes.constData(), signature, 8) != 0)
        return fail(error, QStringLiteral("it is not a picture this program reads (no PNG)"));
    PngJob job;
    job.data = reinterpret_cast<const unsigned char *>(bytes.constData());
    job.size = std::size_t(bytes.size());
    struct Release {
        PngJob &job;
        ~Release() { png_destroy_read_struct(&job.png, &job.info, nullptr); }
    } release{job};
    if (!pngHeader(&job))
        return fail(error, QStringLiteral("it is not a picture this program reads (%1)")
                               .arg(QString::fromUtf8(job.message).left(120)));
    if (const QString problem = sizeProblem(job.width, job.height, options.maximumSamples); !problem.isEmpty())
        return fail(error, problem);
    const double rowsBytes = double(job.height) * double(job.rowBytes + 1);
    if (rowsBytes > double(bytes.size()) * deflateLimit)
        return fail(error, QStringLiteral("its %1 bytes cannot hold the %2 × %3 pixels its header gives")
                               .arg(bytes.size())
                               .arg(job.width)
                               .arg(job.height));
    Raw raw;
    raw.width = int(job.width);
    raw.height = int(job.height);
    const bool sixteenBitGrey = job.channels == 1 && job.bitDepth == 16;
    raw.format = sixteenBitGrey ? QStringLiteral("png16") : QStringLiteral("picture");
    if (!sixteenBitGrey)
        raw.notes << QStringLiteral("an 8-bit or colour picture: its grey levels are the heights");
    const double at0 = sidecar.present ? sidecar.metresAt0 : options.metresAt0;
    const double at65535 = sidecar.present ? sidecar.metresAt65535 : options.metresAt65535;
    PngSink sink{&raw, at0, (at65535 - at0) / 65535.0, job.channels, job.bitDepth, progress.part(0.0, 0.9)};
    reserveAnnounced(raw.values, std::size_t(raw.width) * std::size_t(raw.height), bytes.size());
    std::vector<unsigned char> buffer(job.rowBytes * (job.passes == 1 ? 1 : std::size_t(job.height)));
    job.row = pngSinkRow;
    job.progress = pngSinkProgress;
    job.context = &sink;
    if (!pngRows(&job, buffer.data())) {
        if (progress.stopped())
            return fail(error, stoppedError);
        return fail(error, QStringLiteral("the picture cannot be read: %1").arg(QString::fromUtf8(job.message).left(120)));
    }
    buffer = {};
    raw.sizeFromFile = sidecar.present ? sidecar.terrainSize : 0.0;
    if (sidecar.present)
        raw.heightsFrom = QStringLiteral("its sidecar's metres");
    return finish(raw, options, progress.part(0.9, 1.0), out, error);
}

bool readRaw16(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar,
               const ReadProgress &progress, Heightmap *out, QString *error)
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
    if (const QString problem = sizeProblem(side, side, options.maximumSamples); !problem.isEmpty())
        return fail(error, problem);
    if (side * side * 2 != length)
        return fail(error, QStringLiteral("it holds %1 bytes, not the %2 of %3 × %3 16-bit samples")
                               .arg(length)
                               .arg(side * side * 2)
                               .arg(side));
    Raw raw;
    raw.format = QStringLiteral("r16");
    raw.width = raw.height = int(side);
    raw.values.resize(std::size_t(side * side));
    const double at0 = sidecar.present ? sidecar.metresAt0 : options.metresAt0;
    const double step = ((sidecar.present ? sidecar.metresAt65535 : options.metresAt65535) - at0) / 65535.0;
    const auto *in = reinterpret_cast<const uchar *>(bytes.constData());
    const ReadProgress converting = progress.part(0.0, 0.9);
    for (long long y = 0; y < side; ++y) {
        float *row = raw.values.data() + std::size_t(y * side);
        const uchar *from = in + 2 * y * side;
        for (long long x = 0; x < side; ++x)
            row[x] = float(at0 + step * qFromLittleEndian<quint16>(from + 2 * x));
        if (!converting.at(double(y + 1) / double(side)))
            return fail(error, stoppedError);
    }
    raw.sizeFromFile = sidecar.present ? sidecar.terrainSize : 0.0;
    if (sidecar.present)
        raw.heightsFrom = QStringLiteral("its sidecar's metres");
    return finish(raw, options, progress.part(0.9, 1.0), out, error);
}

}   // namespace heightmapdetail

using namespace heightmapdetail;

int fillNoData(std::vector<float> &values, std::vector<unsigned char> &known, int width, int height,
               const std::function<bool(double)> &keepGoing)
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
    const std::size_t unknown = std::size_t(std::count(known.begin(), known.begin() + std::ptrdiff_t(count), 0)) +
                                ring.size();
    int filled = 0;
    std::vector<float> mean;
    while (!ring.empty()) {
        if (keepGoing && !keepGoing(double(filled) / double(unknown)))
            return -2;
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

std::vector<float> resampleWindow(const float *values, int width, int height, const ResampleSquare &square,
                                  int samples, int firstColumn, int firstRow, int count)
{
    return resampleBlock(values, width, height, square, samples, firstColumn, count, firstRow, count);
}

std::vector<float> resampleBlock(const float *values, int width, int height, const ResampleSquare &square, int samples,
                                 int firstColumn, int columnCount, int firstRow, int rowCount)
{
    if (!values || width < 1 || height < 1 || samples < 1 || columnCount < 1 || rowCount < 1)
        return {};
    const Taps columns = axisTaps(square.left, square.spanX, samples, firstColumn, columnCount, width);
    const Taps rows = axisTaps(square.top, square.spanY, samples, firstRow, rowCount, height);
    const int top = *std::min_element(rows.index.begin(), rows.index.end());
    const int bottom = *std::max_element(rows.index.begin(), rows.index.end());
    const int used = bottom - top + 1;
    const std::size_t stride = std::size_t(columnCount);
    // Along the rows first, for the source rows the output needs, then down the columns.
    std::vector<float> across(std::size_t(used) * stride);
    parallelRows(used, [&](int r) {
        const float *in = values + std::size_t(top + r) * std::size_t(width);
        float *out = across.data() + std::size_t(r) * stride;
        for (int c = 0; c < columnCount; ++c) {
            float sum = 0.0f;
            for (int k = columns.first[c]; k < columns.first[c + 1]; ++k)
                sum += columns.weight[k] * in[columns.index[k]];
            out[c] = sum;
        }
    });
    std::vector<float> result(std::size_t(rowCount) * stride);
    parallelRows(rowCount, [&](int r) {
        float *out = result.data() + std::size_t(r) * stride;
        std::fill(out, out + columnCount, 0.0f);
        for (int k = rows.first[r]; k < rows.first[r + 1]; ++k) {
            const float w = rows.weight[k];
            const float *in = across.data() + std::size_t(rows.index[k] - top) * stride;
            for (int c = 0; c < columnCount; ++c)
                out[c] += w * in[c];
        }
    });
    return result;
}

std::vector<float> resampleHeightmap(const Heightmap &map, int n)
{
    if (map.isEmpty() || n < 1)
        return {};
    return resampleWindow(map.metres.data(), map.width, map.height,
                          {map.squareLeft, map.squareTop, map.squareSpanX, map.squareSpanY}, n, 0, 0, n);
}

bool readHeightmapBytes(const QByteArray &bytes, const QString &kind, const HeightmapReadOptions &options,
                        Heightmap *out, QString *error)
{
    const ReadProgress progress(options.keepGoing);
    try {
        if (kind == QLatin1String("png"))
            return readPng(bytes, options, Sidecar(), progress, out, error);
        if (kind == QLatin1String("raw"))
            return readRaw16(bytes, options, Sidecar(), progress, out, error);
    } catch (const std::bad_alloc &) {
        return fail(error, QStringLiteral("not enough memory for it"));
    }
    return fail(error, QStringLiteral("unknown kind of heightmap \"%1\"").arg(kind));
}

}   // namespace orovista
