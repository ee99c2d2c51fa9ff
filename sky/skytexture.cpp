#include "sky/skytexture.h"

#include "noise/onthreads.h"
#include "noise/outputfiles.h"
#include "noise/progressreporter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace orovista::sky {

namespace {

constexpr double pi = 3.14159265358979323846;

int channel(float value) { return int(value * 255.0f); }

/// Rows firstRow … firstRow + band.height() − 1 of the size × size picture into band. Rows are
/// handed out one at a time from a shared counter: every row is computed by one thread from its
/// own arguments, so the picture does not depend on who computed what.
void renderRows(const SkyColorModel &model, QImage &band, int size, int firstRow, int threads)
{
    // The pixels' address is taken once, here: QImage's non-const accessors may detach and
    // are not for several threads at once.
    uchar *const bits = band.bits();
    const qsizetype bytesPerLine = band.bytesPerLine();
    const int rows = band.height();
    forEachOnThreads(rows, threads, [&](int k) {
        auto *line = reinterpret_cast<QRgb *>(bits + qsizetype(k) * bytesPerLine);
        const int i = firstRow + k;
        const SkyColorModel::ElevationTerms row = model.elevationTerms(float(90.0 - double(i) * 180.0 / size));
        for (int j = 0; j < size; ++j) {
            const SkyRgb c = model.colour(row, float(double(j) * 360.0 / size));
            line[j] = qRgb(channel(c.r), channel(c.g), channel(c.b));
        }
    });
}

/// One pixel of the star layer: where, and its colour with alpha.
struct StarPixel {
    quint32 index;
    QRgb colour;
};

/// The stars' pixels as one layer would hold them, by place: where stars overlap, the star drawn
/// last owns the pixel, as on a layer painted star after star.
std::vector<StarPixel> starLayer(const SkyParameters &sky, const SkyDome &dome, int size, const RandomSource &random)
{
    std::vector<StarPixel> layer;
    const double intensity = sky.starIntensity * 0.01;
    const int margin = size / 16;
    for (const Star &star : dome.stars()) {
        const int r = int(size * star.size * 0.000244140625);
        const int x = random() % (size + 1);
        const int y = random() % (size + 1);
        const double w = std::cos(std::abs(y - size / 2.0) / size * pi) * r * 0.5;
        if (!(margin < y && y < size - margin))
            continue;
        for (int dy = int(-r); dy <= r; ++dy) {
            for (int dx = int(w - r); dx <= r - w; ++dx) {
                const int v = random() % 26 + 30 + 200;
                const int u = random() % 31;
                const QRgb tint = u < 10 ? qRgb(v, 200, 200) : u < 20 ? qRgb(200, 200, v) : qRgb(v, v, 200);
                // A star of radius 0 (small pictures) is one pixel at full brightness.
                const double fx = r > 0 ? std::cos(std::abs(dx) / double(r) * pi / 2.0) : 1.0;
                const double fy = r > 0 ? std::cos(std::abs(dy) / double(r) * pi / 2.0) : 1.0;
                const int alpha = std::clamp(int(intensity * (random() % 56 + 200) * fx * fy), 0, 255);
                const int px = x + dx, py = y + dy;
                if (px < 0 || px >= size || py < 0 || py >= size)
                    continue;   // off the picture
                layer.push_back({quint32(py) * quint32(size) + quint32(px), (tint & 0x00ffffffu) | (QRgb(alpha) << 24)});
            }
        }
    }
    std::stable_sort(layer.begin(), layer.end(), [](const StarPixel &a, const StarPixel &b) { return a.index < b.index; });
    std::vector<StarPixel> owned;
    owned.reserve(layer.size());
    for (std::size_t k = 0; k < layer.size(); ++k)
        if (k + 1 == layer.size() || layer[k + 1].index != layer[k].index)
            owned.push_back(layer[k]);
    return owned;
}

/// Lays the layer's pixels of rows firstRow … firstRow + band.height() − 1 over band (source
/// over); `from` is where the search in the layer starts and moves on past the band.
void compositeStars(const std::vector<StarPixel> &layer, std::size_t &from, QImage &band, int size, int firstRow)
{
    auto *pixels = reinterpret_cast<QRgb *>(band.bits());
    const qsizetype stride = band.bytesPerLine() / qsizetype(sizeof(QRgb));
    const quint32 end = quint32(firstRow + band.height()) * quint32(size);
    for (; from < layer.size() && layer[from].index < end; ++from) {
        const quint32 index = layer[from].index;
        const qsizetype row = qsizetype(index / quint32(size)) - firstRow;
        if (row < 0)
            continue;
        QRgb &dst = pixels[row * stride + qsizetype(index % quint32(size))];
        const QRgb src = layer[from].colour;
        const int a = qAlpha(src);
        auto over = [a](int s, int d) { return (s * a + d * (255 - a) + 127) / 255; };
        dst = qRgb(over(qRed(src), qRed(dst)), over(qGreen(src), qGreen(dst)), over(qBlue(src), qBlue(dst)));
    }
}

int threadCount(const SkyTextureOptions &options, int size)
{
    const int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, std::max(1, size));
}

}   // namespace

bool isSkyTextureSize(int size) { return size >= 256 && size <= 16384 && (size & (size - 1)) == 0; }

bool textureShowsStars(const SkyParameters &sky) { return sky.showsStars() && sky.starIntensity > 0; }

QImage renderSkyDomeImage(const SkyParameters &sky, const SkyDome &dome, int size, const SkyTextureOptions &options)
{
    if (size <= 0)
        return {};
    QImage image(size, size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    renderRows(SkyColorModel(sky), image, size, 0, threadCount(options, size));
    if (textureShowsStars(sky)) {
        const std::vector<StarPixel> layer = starLayer(sky, dome, size, options.random ? options.random : applicationRandom());
        std::size_t from = 0;
        compositeStars(layer, from, image, size, 0);
    }
    return image;
}

QString renderSkyDomeMap(const SkyParameters &sky, const SkyDome &dome, const QString &path, int size,
                         files::Batch *batch, const SkyTextureOptions &options)
{
    noise::utils::ProgressReporter &progress = options.progress ? *options.progress : noise::utils::ProgressReporter::Null();
    progress.SetPanelText(QStringLiteral("computing sky dome map... please wait"));
    progress.ProcessEvents();
    if (size <= 0)
        return files::cannotWrite(path, QStringLiteral("no picture size"));
    // The picture goes to the file a band of rows at a time: only the band, the star layer and
    // the encoder's buffers are in memory, whatever the size.
    try {
        const std::vector<StarPixel> layer =
            textureShowsStars(sky) ? starLayer(sky, dome, size, options.random ? options.random : applicationRandom())
                                   : std::vector<StarPixel>();
        const SkyColorModel model(sky);
        const int threads = threadCount(options, size);
        const int bandRows = std::clamp(int((qsizetype(16) << 20) / (qsizetype(size) * 4)), 1, size);
        QImage band(size, bandRows, QImage::Format_RGB32);
        if (band.isNull())
            return files::cannotWrite(path, QStringLiteral("not enough memory for a %1 × %1 picture").arg(size));
        files::JpegRows out(path, size, size, batch);
        std::size_t from = 0;
        for (int first = 0; first < size; first += bandRows) {
            const int rows = std::min(bandRows, size - first);
            QImage part = rows == bandRows ? band : band.copy(0, 0, size, rows);
            renderRows(model, part, size, first, threads);
            compositeStars(layer, from, part, size, first);
            out.write(part);
            progress.ProcessEvents();
        }
        out.finish();
    } catch (const files::WriteError &e) {
        return e.message();
    } catch (const std::bad_alloc &) {
        return files::cannotWrite(path, QStringLiteral("not enough memory for a %1 × %1 picture").arg(size));
    }
    progress.SetStatusText(QStringLiteral("sky dome map generated"));
    return {};
}

QString skyDomeTextureName(const QString &terrainName) { return terrainName + QStringLiteral("_skyDome.jpg"); }

}   // namespace orovista::sky
