#pragma once
// What every heightmap fuzzer asks of a read: a refusal says why in one line (and "stopped"
// only when it was asked to stop); a heightmap read is a usable terrain of finite heights in
// [lowest, highest], its square inside the raster, and resamples to finite heights.
#include "terrain/heightmapimport.h"

#include <cmath>
#include <cstdlib>

namespace fuzzcheck {

/// Rasters above 128 × 128 samples are refused by the fuzzers' reads: a few hundred bytes of
/// compressed TIFF can ask for a 16384² raster, and reading and resampling that under the
/// sanitizers takes a second a run. Larger sizes are refused by the same check, so that path
/// is still taken; what a large read does differently (bands, progress) the tests cover.
inline constexpr long long largestRaster = 128 * 128;

/// keepGoing that checks its fractions and says stop after stopAfter questions (never when < 0).
inline std::function<bool(double)> stoppingAfter(int stopAfter, int &asked)
{
    if (stopAfter < 0)
        return {};
    return [stopAfter, &asked](double f) {
        if (!(f >= 0.0 && f <= 1.0))
            std::abort();
        return asked++ < stopAfter;
    };
}

inline void refusal(const QString &error, bool mayStop)
{
    if (error.isEmpty() || error.contains(QLatin1Char('\n')) || error.size() > 600)
        std::abort();
    if (!mayStop && error == QLatin1String("stopped"))
        std::abort();
}

inline void heightmap(const orovista::Heightmap &map, float lowest = -1.0e6f, float highest = 1.0e6f)
{
    if (map.width < 2 || map.height < 2 || map.metres.size() != std::size_t(map.width) * std::size_t(map.height))
        std::abort();
    for (float v : map.metres)
        if (!std::isfinite(v) || v < lowest - 1e-3f || v > highest + 1e-3f)
            std::abort();
    if (map.squareLeft < -1e-9 || map.squareTop < -1e-9 || map.squareLeft + map.squareSpanX > map.width - 1 + 1e-6 ||
        map.squareTop + map.squareSpanY > map.height - 1 + 1e-6 || !(map.terrainSize > 0.0) ||
        !std::isfinite(map.terrainSize))
        std::abort();
    for (int n : {33})
        for (float v : orovista::resampleHeightmap(map, n))
            if (!std::isfinite(v))
                std::abort();
}

/// The import's read of path, told to stop after stopAfter questions (never when < 0), limited
/// to largestRaster samples, and its outcome checked as above.
inline void readAndCheck(const QString &path, int stopAfter)
{
    orovista::HeightmapReadOptions options;
    int asked = 0;
    options.keepGoing = stoppingAfter(stopAfter, asked);
    options.maximumSamples = largestRaster;
    orovista::Heightmap map;
    QString error;
    if (!orovista::readHeightmap(path, options, &map, &error))
        refusal(error, stopAfter >= 0);
    else
        heightmap(map);
}

}   // namespace fuzzcheck
