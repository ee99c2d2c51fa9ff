#include "scene/splatmap.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orovista {

namespace {

double smoothstep(double edge0, double edge1, double x)
{
    if (edge1 <= edge0)
        return x < edge0 ? 0.0 : 1.0;
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

}   // namespace

SplatWeights splatWeights(double h, double slope, const SplatSettings &s, double streamRock, double depositSand)
{
    const double rock = std::max(
        smoothstep(s.rockFromDegrees - s.rockRampDegrees, s.rockFromDegrees + s.rockRampDegrees, slope),
        std::clamp(streamRock, 0.0, 1.0));
    const double snow = (1.0 - rock) * smoothstep(s.snowFrom - s.ramp, s.snowFrom + s.ramp, h);
    const double sand = (1.0 - rock - snow) * std::max(1.0 - smoothstep(s.sandUpTo - s.ramp, s.sandUpTo + s.ramp, h),
                                                       std::clamp(depositSand, 0.0, 1.0));
    const double grass = std::max(0.0, 1.0 - rock - snow - sand);
    // Whole numbers that sum to 255: floors, then the largest remainders get the rest.
    const std::array<double, 4> share = {sand * 255.0, grass * 255.0, rock * 255.0, snow * 255.0};
    std::array<int, 4> whole{};
    int total = 0;
    for (int i = 0; i < 4; ++i) {
        whole[i] = int(std::floor(share[i]));
        total += whole[i];
    }
    std::array<int, 4> order = {0, 1, 2, 3};
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return share[a] - whole[a] > share[b] - whole[b]; });
    for (int k = 0; total < 255; k = (k + 1) % 4, ++total)
        ++whole[order[k]];
    return {whole[0], whole[1], whole[2], whole[3]};
}

namespace {

/// Bilinear value of an m × m map at sample (r, c) of an n × n grid over the same surface.
double mapAt(const std::vector<float> &map, int m, int n, int r, int c)
{
    const double scale = n > 1 ? double(m - 1) / double(n - 1) : 0.0;
    const double y = r * scale, x = c * scale;
    const int x0 = std::clamp(int(x), 0, std::max(m - 2, 0)), y0 = std::clamp(int(y), 0, std::max(m - 2, 0));
    const int x1 = std::min(x0 + 1, m - 1), y1 = std::min(y0 + 1, m - 1);
    const double u = x - x0, v = y - y0;
    const auto at = [&](int cx, int cy) { return double(map[std::size_t(cy) * std::size_t(m) + std::size_t(cx)]); };
    return at(x0, y0) * (1 - u) * (1 - v) + at(x1, y0) * u * (1 - v) + at(x0, y1) * (1 - u) * v + at(x1, y1) * u * v;
}

}   // namespace

QImage splatMap(const ElevationGrid &grid, double terrainSize, const SplatSettings &settings,
                const SedimentMaps *erosion)
{
    const int n = grid.size;
    if (n < 1 || grid.metres.size() != std::size_t(n) * std::size_t(n))
        return {};
    QImage image(n, n, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    const double range = double(grid.highest) - double(grid.lowest);
    const double spacing = n > 1 ? terrainSize / (n - 1) : 1.0;
    auto at = [&](int r, int c) { return double(grid.metres[std::size_t(r) * n + c]); };
    const int m = erosion ? erosion->size : 0;
    const bool eroded = m > 1 && erosion->flow.size() == std::size_t(m) * std::size_t(m)
                        && erosion->deposit.size() == erosion->flow.size();
    const double topFlow =
        eroded ? std::log1p(double(std::max(0.0f, *std::max_element(erosion->flow.begin(), erosion->flow.end())))) : 0.0;
    for (int r = 0; r < n; ++r) {
        uchar *line = image.scanLine(r);
        for (int c = 0; c < n; ++c) {
            const int c0 = std::max(0, c - 1), c1 = std::min(n - 1, c + 1);
            const int r0 = std::max(0, r - 1), r1 = std::min(n - 1, r + 1);
            const double dx = c1 > c0 ? (at(r, c1) - at(r, c0)) / ((c1 - c0) * spacing) : 0.0;
            const double dz = r1 > r0 ? (at(r1, c) - at(r0, c)) / ((r1 - r0) * spacing) : 0.0;
            const double slope = std::atan(std::sqrt(dx * dx + dz * dz)) * 180.0 / 3.14159265358979323846;
            const double h = range > 0.0 ? (at(r, c) - grid.lowest) / range : 0.0;
            double streamRock = 0.0, depositSand = 0.0;
            if (eroded) {
                const double flow = topFlow > 0.0 ? std::log1p(std::max(0.0, mapAt(erosion->flow, m, n, r, c))) / topFlow : 0.0;
                streamRock = smoothstep(settings.streamRockFrom, settings.streamRockFull, flow);
                depositSand = smoothstep(settings.depositSandFrom, settings.depositSandFull,
                                         mapAt(erosion->deposit, m, n, r, c));
            }
            const SplatWeights w = splatWeights(h, slope, settings, streamRock, depositSand);
            line[4 * c + 0] = uchar(w.sand);
            line[4 * c + 1] = uchar(w.grass);
            line[4 * c + 2] = uchar(w.rock);
            line[4 * c + 3] = uchar(w.snow);
        }
    }
    return image;
}

}   // namespace orovista
