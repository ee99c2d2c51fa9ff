#include "scene/splatmap.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orovista {

SplatWeights splatWeights(double h, double slope, const SplatSettings &s, double streamRock, double depositSand)
{
    const double rock = std::max(
        smoothRamp(s.rockFromDegrees - s.rockRampDegrees, s.rockFromDegrees + s.rockRampDegrees, slope),
        std::clamp(streamRock, 0.0, 1.0));
    const double snow = (1.0 - rock) * smoothRamp(s.snowFrom - s.ramp, s.snowFrom + s.ramp, h);
    const double sand = (1.0 - rock - snow) * std::max(1.0 - smoothRamp(s.sandUpTo - s.ramp, s.sandUpTo + s.ramp, h),
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
    const SedimentMarks marks(erosion, {settings.streamRockFrom, settings.streamRockFull, settings.depositSandFrom,
                                        settings.depositSandFull});
    // The maps' cells per grid sample: both span the surface from edge to edge.
    const double scale = n > 1 && !marks.empty() ? double(erosion->size - 1) / double(n - 1) : 0.0;
    for (int r = 0; r < n; ++r) {
        uchar *line = image.scanLine(r);
        for (int c = 0; c < n; ++c) {
            const int c0 = std::max(0, c - 1), c1 = std::min(n - 1, c + 1);
            const int r0 = std::max(0, r - 1), r1 = std::min(n - 1, r + 1);
            const double dx = c1 > c0 ? (at(r, c1) - at(r, c0)) / ((c1 - c0) * spacing) : 0.0;
            const double dz = r1 > r0 ? (at(r1, c) - at(r0, c)) / ((r1 - r0) * spacing) : 0.0;
            const double slope = std::atan(std::sqrt(dx * dx + dz * dz)) * 180.0 / 3.14159265358979323846;
            const double h = range > 0.0 ? (at(r, c) - grid.lowest) / range : 0.0;
            const SedimentMarks::Shares shares = marks.at(c * scale, r * scale);
            const SplatWeights w = splatWeights(h, slope, settings, shares.stream, shares.deposit);
            line[4 * c + 0] = uchar(w.sand);
            line[4 * c + 1] = uchar(w.grass);
            line[4 * c + 2] = uchar(w.rock);
            line[4 * c + 3] = uchar(w.snow);
        }
    }
    return image;
}

}   // namespace orovista
