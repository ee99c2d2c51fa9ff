#include "sky/skytexture.h"

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

/// Rows are handed out one at a time from a shared counter: every row is computed by one
/// thread from its own arguments, so the picture does not depend on who computed what.
void renderRows(const SkyParameters &sky, QImage &image, int size, int threads)
{
    const SkyColorModel model(sky);
    // The pixels' address is taken once, here: QImage's non-const accessors may detach and
    // are not for several threads at once.
    uchar *const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    std::atomic<int> nextRow {0};
    auto work = [&] {
        for (int i = nextRow++; i < size; i = nextRow++) {
            auto *line = reinterpret_cast<QRgb *>(bits + qsizetype(i) * bytesPerLine);
            const float e = float(90.0 - double(i) * 180.0 / size);
            for (int j = 0; j < size; ++j) {
                const SkyRgb c = model.colour(e, float(double(j) * 360.0 / size));
                line[j] = qRgb(channel(c.r), channel(c.g), channel(c.b));
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
}

/// One pixel of the star layer: where, and its colour with alpha.
struct StarPixel {
    quint32 index;
    QRgb colour;
};

/// Draws the stars' pixels as one layer would hold them and lays that layer over the sky
/// (source over).
void drawStars(const SkyParameters &sky, const SkyDome &dome, QImage &image, int size, const RandomSource &random)
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
    // The last star drawn at a pixel owns it, as on a layer painted star after star.
    std::stable_sort(layer.begin(), layer.end(), [](const StarPixel &a, const StarPixel &b) { return a.index < b.index; });
    auto *pixels = reinterpret_cast<QRgb *>(image.bits());
    const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    for (std::size_t k = 0; k < layer.size(); ++k) {
        if (k + 1 < layer.size() && layer[k + 1].index == layer[k].index)
            continue;
        const quint32 index = layer[k].index;
        QRgb &dst = pixels[qsizetype(index / quint32(size)) * stride + qsizetype(index % quint32(size))];
        const QRgb src = layer[k].colour;
        const int a = qAlpha(src);
        auto over = [a](int s, int d) { return (s * a + d * (255 - a) + 127) / 255; };
        dst = qRgb(over(qRed(src), qRed(dst)), over(qGreen(src), qGreen(dst)), over(qBlue(src), qBlue(dst)));
    }
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
    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, size);
    renderRows(sky, image, size, threads);
    if (textureShowsStars(sky))
        drawStars(sky, dome, image, size, options.random ? options.random : applicationRandom());
    return image;
}

QString renderSkyDomeMap(const SkyParameters &sky, const SkyDome &dome, const QString &path, int size,
                         files::Batch *batch, const SkyTextureOptions &options)
{
    noise::utils::ProgressReporter &progress = options.progress ? *options.progress : noise::utils::ProgressReporter::Null();
    progress.SetPanelText(QStringLiteral("computing sky dome map... please wait"));
    progress.ProcessEvents();
    QImage image = renderSkyDomeImage(sky, dome, size, options);
    if (image.isNull())
        return files::cannotWrite(path, size > 0 ? QStringLiteral("not enough memory for a %1 × %1 picture").arg(size)
                                                 : QStringLiteral("no picture size"));
    const QString problem = files::writePicture(path, std::move(image), batch);
    if (problem.isEmpty())
        progress.SetStatusText(QStringLiteral("sky dome map generated"));
    return problem;
}

QString skyDomeTextureName(const QString &terrainName) { return terrainName + QStringLiteral("_skyDome.jpg"); }

}   // namespace orovista::sky
