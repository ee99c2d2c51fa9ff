#pragma once
// What the terrain benchmarks share: a synthetic height map and the calling thread's CPU clock.
#include "noise/noisemap.h"

#include <cmath>
#include <ctime>

namespace benchsupport {

/// CPU seconds of the calling thread: unlike wall time it does not grow when other processes
/// share the cores.
inline double threadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec * 1e-9;
}

/// A wavy height map in about −1 … 1, like a generated terrain.
inline noise::utils::NoiseMap wavyMap(int side)
{
    noise::utils::NoiseMap map(side, side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double u = x * 8.0 / side, v = y * 8.0 / side;
            map.SetValue(x, y, float(0.6 * std::sin(u * 1.3) * std::cos(v * 0.9) + 0.3 * std::sin(u * 5.1 + v * 3.7)
                                     + 0.1 * std::sin(u * 23.0) * std::sin(v * 19.0)));
        }
    }
    return map;
}

}   // namespace benchsupport
