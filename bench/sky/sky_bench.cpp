// Speed of the sky texture at 4096 x 4096: one thread and all threads, side by side in one
// process so that the two figures share the machine's state.
//
//   MP/s_1thread   megapixels per second of wall time on one thread
//   MP/s_all       the same on one thread per core
//   threads        the thread count of the second figure
//   speedup        MP/s_all / MP/s_1thread
//
// The sun is at pitch 15 so that the star pass runs too.

#include "sky/skytexture.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

namespace {

using namespace orovista::sky;

double megapixelsPerSecond(const SkyParameters &sky, const SkyDome &dome, int size, int threads)
{
    SkyTextureOptions options;
    options.threads = threads;
    const auto start = std::chrono::steady_clock::now();
    const QImage image = renderSkyDomeImage(sky, dome, size, options);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    benchmark::DoNotOptimize(image.constBits());
    return double(size) * size / 1e6 / seconds.count();
}

void SkyTexture4096(benchmark::State &state)
{
    SkyParameters sky = SkyParameters::defaults();
    sky.sunPitch = 15.0f;
    sky.updateSun();
    SkyDome dome;
    dome.build(sky, 50.0f, true);
    const int all = std::max(1, int(std::thread::hardware_concurrency()));
    double one = 0.0, many = 0.0;
    for (auto _ : state) {
        one += megapixelsPerSecond(sky, dome, 4096, 1);
        many += megapixelsPerSecond(sky, dome, 4096, all);
    }
    const double n = double(state.iterations());
    state.counters["MP/s_1thread"] = one / n;
    state.counters["MP/s_all"] = many / n;
    state.counters["threads"] = all;
    state.counters["speedup"] = many / one;
}
BENCHMARK(SkyTexture4096)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

}   // namespace
