#include "terrain/erosion.h"

#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "noise/progressreporter.h"

#include <QDir>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <new>

namespace orovista {

namespace {

using std::ptrdiff_t;

/// Starting value of the "largest drop" searches: the most negative float.
constexpr float kNoDrop = -FLT_MAX;

/// The single-precision 0.01 of the erosion controls.
constexpr float kControlStep = 0.01f;

/// Keeps the largest drop and the offset of the neighbour giving it. Drops are offered in the
/// visiting order and taken only when strictly greater than the one kept, so the first of equal
/// drops wins; the search starts at the most negative float. (Plain compare-and-branch: the
/// steepest direction changes little from one cell to the next, which the branch predictor
/// exploits; a branchless max-then-find is markedly slower here.)
struct SteepestDrop {
    float best = kNoDrop;
    ptrdiff_t offset = 0;

    [[gnu::always_inline]] void offer(float drop, ptrdiff_t at)
    {
        if (drop > best) {
            best = drop;
            offset = at;
        }
    }
};

/// Grey level of a grid value: value × 255 truncated, clamped to 0 … 255 (NaN gives 0).
inline int greyLevel(float value)
{
    const float scaled = value * 255.0f;
    if (scaled >= 255.0f)
        return 255;
    return scaled > 0.0f ? int(scaled) : 0;
}

/// Per-cell part of a hydraulic pass, one sweep over both grids: the evaporation of the pass that
/// ends and/or the rain and dissolving of the pass that starts. Each cell's steps run in the order
/// of the passes, so fusing the sweeps gives the same values as running them one after the other.
template <bool Evaporate, bool Rain>
void settleCells(float *height, float *water, std::size_t count, const HydraulicParams &k)
{
    const float kr = k.rain, ks = k.solubility, ke = k.evaporation, kc = k.capacity;
    for (std::size_t i = 0; i < count; ++i) {
        float h = height[i];
        float w = water[i];
        if constexpr (Evaporate) {
            const float e = w * ke;
            w -= e;
            h += e * kc;
            h = h < 0.0f ? 0.0f : h;
        }
        if constexpr (Rain) {
            w += kr;
            h -= ks * w;
            h = h < 0.0f ? 0.0f : h;
        }
        height[i] = h;
        water[i] = w;
    }
}

/// One smoothing step for a cell on the border of the grid: the neighbours outside count as 0.
/// The summation order is the one of the interior loop in ErosionGrid::smooth().
inline float smoothBorderCell(const float *g, int n, int r, int c)
{
    const auto cell = [&](int rr, int cc) {
        return rr < 0 || cc < 0 || rr >= n || cc >= n ? 0.0f
                                                      : g[std::size_t(rr) * std::size_t(n) + std::size_t(cc)];
    };
    float rest = 0.0f;
    rest += cell(r - 1, c - 1);
    rest += cell(r - 1, c + 1);
    rest += cell(r, c - 1);
    rest += cell(r, c);
    rest += cell(r, c + 1);
    rest += cell(r + 1, c - 1);
    rest += cell(r + 1, c);
    rest += cell(r + 1, c + 1);
    return (rest + cell(r - 1, c)) / 9.0f;
}

}   // namespace

HydraulicParams HydraulicParams::fromControls(int rain, int solubility, int evaporation, int capacity)
{
    HydraulicParams p;
    p.rain = float(rain) * kControlStep;
    p.solubility = float(solubility) * kControlStep;
    p.evaporation = float(evaporation) * kControlStep;
    p.capacity = float(capacity) * kControlStep;
    return p;
}

HydraulicParams HydraulicParams::fromSettings(const FinalSettings &settings)
{
    return fromControls(settings.erosionRain, settings.erosionSolubility, settings.erosionEvaporation,
                        settings.erosionCapacity);
}

ErosionGrid::ErosionGrid(int size) : m_size(std::max(size, 0)), m_cells(std::size_t(m_size) * std::size_t(m_size))
{
}

void ErosionGrid::loadNormalised(const noise::utils::NoiseMap &map, float minimum, float range)
{
    const int n = m_size;
    for (int r = 0; r < n; ++r) {
        const float *source = map.GetConstSlabPtr(n - 1 - r);
        float *target = m_cells.data() + index(r, 0);
        for (int c = 0; c < n; ++c)
            target[c] = (source[c] - minimum) / range;
    }
}

void ErosionGrid::storeScaled(noise::utils::NoiseMap &map, float range) const
{
    const int n = m_size;
    for (int r = 0; r < n; ++r) {
        const float *source = m_cells.data() + index(r, 0);
        float *target = map.GetSlabPtr(n - 1 - r);
        for (int c = 0; c < n; ++c)
            target[c] = source[c] * range;
    }
}

void ErosionGrid::thermal(int iterations)
{
    const int n = m_size;
    if (iterations < 1 || n < 3)
        return;
    const float talus = float(4.0 / n);
    const ptrdiff_t N = n;
    float *const g = m_cells.data();
    for (int pass = 0; pass < iterations; ++pass) {
        for (int r = 1; r < n - 1; ++r) {
            float *p = g + r * N + 1;
            for (int c = 1; c < n - 1; ++c, ++p) {
                const float h = *p;
                SteepestDrop drop;
                drop.offer(h - p[-N - 1], -N - 1);
                drop.offer(h - p[-N + 1], -N + 1);
                drop.offer(h - p[N - 1], N - 1);
                drop.offer(h - p[N + 1], N + 1);
                const float best = drop.best;
                if (best > talus) {
                    const float level = h - best * 0.5f;
                    *p = level;
                    p[drop.offset] = level;
                }
            }
        }
    }
}

void ErosionGrid::improved(int iterations)
{
    const int n = m_size;
    if (iterations < 1 || n < 3)
        return;
    const float talus = float(12.0 / n);
    const ptrdiff_t N = n;
    float *const g = m_cells.data();
    for (int pass = 0; pass < iterations; ++pass) {
        for (int r = 1; r < n - 1; ++r) {
            float *p = g + r * N + 1;
            for (int c = 1; c < n - 1; ++c, ++p) {
                const float h = *p;
                SteepestDrop drop;
                drop.offer(h - p[-N - 1], -N - 1);
                drop.offer(h - p[-N], -N);
                drop.offer(h - p[-N + 1], -N + 1);
                drop.offer(h - p[-1], -1);
                drop.offer(0.0f, 0);   // the cell itself
                drop.offer(h - p[1], 1);
                drop.offer(h - p[N - 1], N - 1);
                drop.offer(h - p[N], N);
                drop.offer(h - p[N + 1], N + 1);
                const float best = drop.best;
                if (best > 0.0f && best <= talus) {
                    const float level = h - best * 0.5f;
                    *p = level;
                    p[drop.offset] = level;
                }
            }
        }
    }
}

void ErosionGrid::hydraulic(int iterations, const HydraulicParams &params)
{
    const int n = m_size;
    if (iterations < 1 || n < 1)
        return;
    const std::size_t count = m_cells.size();
    std::vector<float> waterGrid(count, 0.0f);
    float *const H = m_cells.data();
    float *const W = waterGrid.data();
    const ptrdiff_t N = n;

    settleCells<false, true>(H, W, count, params);
    for (int pass = 0; pass < iterations; ++pass) {
        // Flow: each interior cell sends water to the neighbour with the lowest water level.
        for (int r = 1; r < n - 1; ++r) {
            const ptrdiff_t rowStart = r * N + 1;
            float *h = H + rowStart;
            float *w = W + rowStart;
            for (int c = 1; c < n - 1; ++c, ++h, ++w) {
                const float level = *h + *w;
                SteepestDrop drop;
                const auto offer = [&](ptrdiff_t at) { drop.offer(level - (h[at] + w[at]), at); };
                offer(-N - 1);
                offer(-N);
                offer(-N + 1);
                offer(-1);
                drop.offer(0.0f, 0);   // the cell itself
                offer(1);
                offer(N - 1);
                offer(N);
                offer(N + 1);
                const float best = drop.best;
                const ptrdiff_t chosen = drop.offset;
                if (best > 0.0f) {
                    if (*w >= best) {
                        const float half = best * 0.5f;
                        w[chosen] += half;
                        *w -= half;
                    } else {
                        w[chosen] += *w;
                        *w = 0.0f;
                    }
                }
            }
        }
        if (pass + 1 < iterations)
            settleCells<true, true>(H, W, count, params);
        else
            settleCells<true, false>(H, W, count, params);
    }
}

void ErosionGrid::smooth(int iterations)
{
    const int n = m_size;
    if (iterations < 1 || n < 1)
        return;
    const ptrdiff_t N = n;
    float *const g = m_cells.data();
    for (int pass = 0; pass < iterations; ++pass) {
        for (int c = 0; c < n; ++c) {
            if (c == 0 || c == n - 1 || n < 3) {
                for (int r = 0; r < n; ++r)
                    g[r * N + c] = smoothBorderCell(g, n, r, c);
                continue;
            }
            g[c] = smoothBorderCell(g, n, 0, c);
            // The cell above was updated just before: it is added last, so that the sum of the
            // eight other cells does not wait for it.
            float above = g[c];
            float *p = g + N + c;
            for (int r = 1; r < n - 1; ++r, p += N) {
                float rest = p[-N - 1];
                rest += p[-N + 1];
                rest += p[-1];
                rest += p[0];
                rest += p[1];
                rest += p[N - 1];
                rest += p[N];
                rest += p[N + 1];
                above = (rest + above) / 9.0f;
                *p = above;
            }
            g[(n - 1) * N + c] = smoothBorderCell(g, n, n - 1, c);
        }
    }
}

ErosionRequest ErosionRequest::fromSettings(const FinalSettings &settings, bool greyscaleMapMode,
                                            const QString &mapsFolder)
{
    ErosionRequest request;
    request.type = settings.erosion();
    request.iterations = settings.erosionIterations;
    request.hydraulic = HydraulicParams::fromSettings(settings);
    request.greyscaleMapMode = greyscaleMapMode;
    request.picturePath = QDir(mapsFolder).filePath(QStringLiteral("HFFnoisePreview.jpg"));
    return request;
}

bool erosionRequested(const FinalSettings &settings)
{
    return settings.erosion() != ErosionType::None && settings.erosionIterations > 0;
}

void runErosion(ErosionGrid &grid, const ErosionRequest &request)
{
    const int iterations = request.iterations;
    switch (request.type) {
    case ErosionType::Thermal:
        grid.thermal(iterations);
        grid.smooth(iterations / 8 + 1);
        break;
    case ErosionType::ImprovedThermal:
        grid.improved(iterations);
        grid.smooth(iterations / 8 + 1);
        break;
    case ErosionType::Hydraulics:
        grid.hydraulic(iterations, request.hydraulic);
        if (iterations > 50)
            grid.smooth(1);
        break;
    case ErosionType::Smooth:
        if (request.greyscaleMapMode)
            grid.smooth(iterations);
        break;
    case ErosionType::None:
        break;
    }
}

bool rewriteGreyPicture(const QString &path, const ErosionGrid &grid, QString *writeError)
{
    if (path.isEmpty() || !files::inputProblem(path).isEmpty())
        return false;
    const int n = grid.size();
    QImage picture;
    {
        // The reader is closed again before the picture is saved over its file.
        QImageReader reader(path);
        if (!reader.canRead())
            return false;
        if (reader.size() == QSize(n, n)) {
            // Every pixel is replaced: no need to decode the old picture (which at large sizes
            // would be another full-size image in memory).
            picture = QImage(n, n, reader.imageFormat() == QImage::Format_Grayscale8 ? QImage::Format_Grayscale8
                                                                                     : QImage::Format_RGB32);
        } else {
            reader.setAllocationLimit(0);
            picture = reader.read();
            if (!picture.isNull() && picture.format() != QImage::Format_Grayscale8)
                picture = picture.convertToFormat(QImage::Format_RGB32);
        }
    }
    if (picture.isNull())
        return false;

    const int rows = std::min(n, picture.height());
    const int columns = std::min(n, picture.width());
    const bool grey = picture.format() == QImage::Format_Grayscale8;
    for (int r = 0; r < rows; ++r) {
        const float *source = grid.data() + std::size_t(r) * std::size_t(n);
        uchar *line = picture.scanLine(r);
        if (grey) {
            for (int c = 0; c < columns; ++c)
                line[c] = uchar(greyLevel(source[c]));
        } else {
            auto *pixels = reinterpret_cast<QRgb *>(line);
            for (int c = 0; c < columns; ++c) {
                const int level = greyLevel(source[c]);
                pixels[c] = qRgb(level, level, level);
            }
        }
    }
    const QString failure = files::writePicture(path, std::move(picture));
    if (!failure.isEmpty() && writeError)
        *writeError = failure;
    return failure.isEmpty();
}

ErosionResult erodeHeightMap(noise::utils::NoiseMap &map, const ErosionRequest &request,
                             noise::utils::ProgressReporter *reporter)
{
    ErosionResult result;
    switch (request.type) {
    case ErosionType::Thermal:
    case ErosionType::ImprovedThermal:
    case ErosionType::Hydraulics:
    case ErosionType::Smooth:
        break;
    default:
        return result;
    }

    noise::utils::ProgressReporter &progress = reporter ? *reporter : noise::utils::ProgressReporter::Null();
    progress.SetPanelText(QStringLiteral("eroding terrain ...\n\n1/1"));
    progress.ProcessEvents();
    const auto finish = [&](ErosionResult::Outcome outcome) {
        progress.SetPanelText(QString());
        result.outcome = outcome;
        return result;
    };

    const int n = map.GetWidth();
    if (n < 1 || map.GetHeight() != n)
        return finish(ErosionResult::Outcome::SkippedEmpty);

    float minimum = std::numeric_limits<float>::infinity();
    float maximum = -std::numeric_limits<float>::infinity();
    for (int y = 0; y < n; ++y) {
        const float *row = map.GetConstSlabPtr(y);
        for (int x = 0; x < n; ++x) {
            minimum = row[x] < minimum ? row[x] : minimum;
            maximum = row[x] > maximum ? row[x] : maximum;
        }
    }
    result.minimum = minimum;
    result.maximum = maximum;
    const float range = maximum - minimum;
    // A flat map would divide by zero; an infinite range would turn the grid into NaN.
    if (!(range > 0.0f) || !std::isfinite(range))
        return finish(ErosionResult::Outcome::SkippedFlat);

    try {
        ErosionGrid grid(n);
        grid.loadNormalised(map, minimum, range);
        runErosion(grid, request);
        grid.storeScaled(map, range);
        result.pictureRewritten = rewriteGreyPicture(request.picturePath, grid, &result.writeError);
    } catch (const std::bad_alloc &) {
        return finish(ErosionResult::Outcome::OutOfMemory);
    }
    return finish(ErosionResult::Outcome::Eroded);
}

}   // namespace orovista
