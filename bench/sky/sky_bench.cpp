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
#include "sky/skymodel.h"

#include "bench/sidebyside.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

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

/// The sky's colours a pixel at a time (before: every pixel works out its elevation's terms)
/// against a row at a time (after: the terms once per row), 512 rows of 4096 on one thread,
/// side by side. The colours must be the same bits.
void SkyRowsVsPixels(benchmark::State &state)
{
    SkyParameters sky = SkyParameters::defaults();
    sky.sunPitch = 15.0f;
    sky.updateSun();
    const SkyColorModel model(sky);
    constexpr int width = 4096, rows = 512;
    std::vector<SkyRgb> a(width), b(width);
    double sum = 0.0;
    const auto elevation = [](int i) { return float(90.0 - double(i) * 180.0 / rows); };
    const auto azimuth = [](int j) { return float(double(j) * 360.0 / width); };
    for (int i = 0; i < rows; i += 37) {
        const SkyColorModel::ElevationTerms terms = model.elevationTerms(elevation(i));
        for (int j = 0; j < width; ++j) {
            const SkyRgb p = model.colour(elevation(i), azimuth(j)), q = model.colour(terms, azimuth(j));
            if (p.r != q.r || p.g != q.g || p.b != q.b) {
                state.SkipWithError("a row's colours differ from the pixels' ones");
                return;
            }
        }
    }
    sidebyside::run(
        state,
        [&] {
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < width; ++j)
                    sum += model.colour(elevation(i), azimuth(j)).g;
        },
        [&] {
            for (int i = 0; i < rows; ++i) {
                const SkyColorModel::ElevationTerms terms = model.elevationTerms(elevation(i));
                for (int j = 0; j < width; ++j)
                    sum += model.colour(terms, azimuth(j)).g;
            }
        },
        5);
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(SkyRowsVsPixels)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}   // namespace
