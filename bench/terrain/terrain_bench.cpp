// Speed of heightfield processing: erosion passes, the two mesh builds and the normal map.
//
//   ms_per_100_passes  CPU milliseconds of 100 passes over a 512 x 512 grid
//   ms                 CPU milliseconds of one mesh build (colour picture decoding included)
//   MP/s               megapixels per second of the normal map at 4096 x 4096
//   seq_ms, par_ms     wall milliseconds of the sequential and the threaded erosion sweep on the
//                      same grid (BM_ErosionThreads), speedup = seq_ms / par_ms, threads used
//
// CPU time of the calling thread is used elsewhere: unlike wall time it does not grow when
// other processes share the cores. The threaded erosion cases need wall time (the work is spread
// over threads), so run them on an otherwise idle machine.

#include "terrain/erosion.h"
#include "terrain/sedimenterosion.h"
#include "terrain/sedimentmarks.h"
#include "terrain/normalmap.h"
#include "terrain/terrainarrays.h"

#include "noise/image.h"
#include "noise/noisemap.h"
#include "noise/rendererimage.h"
#include "noise/renderernormalmap.h"

#include "bench/sidebyside.h"
#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <libnoise/module/perlin.h>

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <functional>

using noise::utils::NoiseMap;
using orovista::ErosionGrid;

namespace {

using benchsupport::threadSeconds;
using benchsupport::wavyMap;

ErosionGrid normalisedGrid(const NoiseMap &map)
{
    float lo = map.GetValue(0, 0), hi = lo;
    for (int y = 0; y < map.GetHeight(); ++y)
        for (int x = 0; x < map.GetWidth(); ++x) {
            lo = std::min(lo, map.GetValue(x, y));
            hi = std::max(hi, map.GetValue(x, y));
        }
    ErosionGrid grid(map.GetWidth());
    grid.loadNormalised(map, lo, hi - lo);
    return grid;
}

void erosionPasses(benchmark::State &state, const std::function<void(ErosionGrid &)> &run100)
{
    const ErosionGrid start = normalisedGrid(wavyMap(512));
    double seconds = 0.0;
    for (auto _ : state) {
        ErosionGrid grid = start;
        const double t0 = threadSeconds();
        run100(grid);
        const double dt = threadSeconds() - t0;
        seconds += dt;
        benchmark::DoNotOptimize(grid.data());
        state.SetIterationTime(dt);
    }
    state.counters["ms_per_100_passes"] = seconds * 1000.0 / double(state.iterations());
}

void BM_Thermal(benchmark::State &state)
{
    erosionPasses(state, [](ErosionGrid &g) { g.thermal(100, 1); });
}
void BM_ImprovedThermal(benchmark::State &state)
{
    erosionPasses(state, [](ErosionGrid &g) { g.improved(100, 1); });
}
void BM_Hydraulic(benchmark::State &state)
{
    const orovista::HydraulicParams k = orovista::HydraulicParams::fromControls(1, 1, 90, 1);
    erosionPasses(state, [&](ErosionGrid &g) { g.hydraulic(100, k, 1); });
}
void BM_Smooth(benchmark::State &state)
{
    erosionPasses(state, [](ErosionGrid &g) { g.smooth(100, 1); });
}

/// Sequential against threaded erosion, side by side on copies of one grid: range(0) is the
/// algorithm (0 thermal, 1 improved, 2 hydraulic, 3 smoothing), range(1) the side, range(2) the
/// passes. The threaded run uses the automatic choice of threads; both results must agree bit
/// for bit.
void BM_ErosionThreads(benchmark::State &state)
{
    const int algorithm = int(state.range(0));
    const int side = int(state.range(1));
    const int passes = int(state.range(2));
    const orovista::HydraulicParams k = orovista::HydraulicParams::fromControls(1, 1, 90, 1);
    const auto run = [&](ErosionGrid &g, int threads) {
        switch (algorithm) {
        case 0:
            g.thermal(passes, threads);
            break;
        case 1:
            g.improved(passes, threads);
            break;
        case 2:
            g.hydraulic(passes, k, threads);
            break;
        default:
            g.smooth(passes, threads);
            break;
        }
    };
    const ErosionGrid start = normalisedGrid(wavyMap(side));
    {
        ErosionGrid a = start, b = start;
        run(a, 1);
        run(b, ErosionGrid::kAutomaticThreads);
        if (std::memcmp(a.data(), b.data(), a.cells().size() * sizeof(float)) != 0) {
            state.SkipWithError("threaded result differs from the sequential one");
            return;
        }
    }
    // One thread (before) against the threads the grid chooses (after), interleaved.
    ErosionGrid grid = start;
    sidebyside::run(
        state, [&] { run(grid, 1); }, [&] { run(grid, ErosionGrid::kAutomaticThreads); }, side > 1024 ? 3 : 5,
        [&] { grid = start; });
    state.counters["threads"] = ErosionGrid::automaticThreads(side, passes);
    static const char *const names[] = {"thermal", "improved", "hydraulic", "smooth"};
    state.SetLabel(names[std::clamp(algorithm, 0, 3)]);
}

/// A fractal terrain like the workload's first input: libnoise Perlin, 8 octaves over 4 units.
/// Its slopes vary from cell to cell, unlike wavyMap's, so that which cells the thermal talus
/// lets through is as unpredictable as on a real terrain.
NoiseMap perlinMap(int side)
{
    noise::module::Perlin perlin;
    perlin.SetOctaveCount(8);
    perlin.SetSeed(3);
    NoiseMap map(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            map.SetValue(x, y, float(perlin.GetValue(x * 4.0 / side, 0.0, y * 4.0 / side)));
    return map;
}

/// Thermal erosion by the plain cell-by-cell sweep (before) against the vector bands (after),
/// both on one thread, side by side on copies of one grid: range(0) the side, range(1) the
/// passes, range(2) the terrain (0 wavyMap, 1 perlinMap). Both results must agree bit for bit.
void BM_ThermalBandsVsPlain(benchmark::State &state)
{
    const int side = int(state.range(0));
    const int passes = int(state.range(1));
    const bool perlin = state.range(2) != 0;
    const ErosionGrid start = normalisedGrid(perlin ? perlinMap(side) : wavyMap(side));
    {
        ErosionGrid a = start, b = start;
        a.thermalPlain(passes);
        b.thermal(passes, 1);
        if (std::memcmp(a.data(), b.data(), a.cells().size() * sizeof(float)) != 0) {
            state.SkipWithError("the bands' result differs from the plain sweep's");
            return;
        }
    }
    ErosionGrid grid = start;
    sidebyside::run(
        state, [&] { grid.thermalPlain(passes); }, [&] { grid.thermal(passes, 1); }, side > 1024 ? 3 : 7,
        [&] { grid = start; });
    state.SetLabel(perlin ? "perlin" : "wavy");
}

/// Sediment erosion with the default settings (50 iterations on the 512 simulation grid) of a
/// 100 m terrain with 15 m of relief (perlinMap), range(0) × range(0) samples, one thread and the
/// automatic count side by side; both must give the same bytes.
///   cell_updates/s  simulation cells × iterations per second of the threaded run
void BM_SedimentErosion(benchmark::State &state)
{
    const int side = int(state.range(0));
    const NoiseMap map = perlinMap(side);
    std::vector<float> start(std::size_t(side) * std::size_t(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            start[std::size_t(y) * std::size_t(side) + std::size_t(x)] = (map.GetValue(x, y) + 1.0f) * 7.5f;
    const orovista::SedimentSettings settings;
    {
        std::vector<float> a = start, b = start;
        orovista::erodeSediment(a, side, 100.0, settings, nullptr, 1);
        orovista::erodeSediment(b, side, 100.0, settings, nullptr, 0);
        if (a != b) {
            state.SkipWithError("threads changed the result");
            return;
        }
    }
    std::vector<float> heights;
    sidebyside::run(
        state, [&] { orovista::erodeSediment(heights, side, 100.0, settings, nullptr, 1); },
        [&] { orovista::erodeSediment(heights, side, 100.0, settings, nullptr, 0); }, 3, [&] { heights = start; });
    const double m = std::min(side, orovista::kSimulationSize);
    state.counters["cell_updates/s"] = m * m * settings.iterations / (state.counters["after_ms"] * 1e-3);
}

/// Sediment erosion's marks on a colour texture of range(0) × range(0) pixels from the 512 maps
/// of a default run: the texture coloured and lit (before) against the same with the marks put
/// on every row (after), side by side on one thread.
///   tint_MP/s  megapixels a second the marks alone take (after − before)
void BM_SedimentTintOnTheTexture(benchmark::State &state)
{
    const int side = int(state.range(0));
    std::vector<float> heights(512 * 512);
    {
        const NoiseMap small = perlinMap(512);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x)
                heights[std::size_t(y) * 512 + std::size_t(x)] = (small.GetValue(x, y) + 1.0f) * 7.5f;
    }
    orovista::SedimentMaps maps;
    orovista::erodeSediment(heights, 512, 100.0, orovista::SedimentSettings{}, &maps, 0);
    const orovista::SedimentTint tint(maps, false);
    const NoiseMap map = perlinMap(side);
    noise::utils::Image image;
    noise::utils::RendererImage renderer;
    renderer.SetSourceNoiseMap(map);
    renderer.SetDestImage(image);
    renderer.BuildGrayscaleGradient();
    renderer.EnableLight(true);
    sidebyside::run(state, [&] { renderer.Render(); },
                    [&] {
                        renderer.Render();
                        for (int y = 0; y < side; ++y)
                            tint.tintRow(y, side, image.GetSlabPtr(y));
                    },
                    3);
    const double tintSeconds = (state.counters["after_ms"] - state.counters["before_ms"]) * 1e-3;
    state.counters["tint_MP/s"] = tintSeconds > 0.0 ? double(side) * side * 1e-6 / tintSeconds : 0.0;
}

/// One mesh build; range(0) = 1 rebuilds into the arrays of the previous build (what every
/// TERRAFORM! after the first one does), 0 builds into fresh arrays.
void meshBuild(benchmark::State &state, bool decimated)
{
    const bool rebuild = state.range(0) != 0;
    QTemporaryDir dir;
    const NoiseMap map = wavyMap(512);
    QImage colour(512, 512, QImage::Format_RGB32);
    colour.fill(qRgb(120, 160, 90));
    const QString path = dir.filePath(QStringLiteral("TFFnoisePreview.jpg"));
    colour.save(path, "JPG", 100);
    orovista::TerrainSource source;
    source.heightMap = &map;
    source.terrainSize = 1000;
    source.elevationLow = 0;
    source.elevationHigh = 150;
    source.colourPicturePath = path;
    orovista::TerrainArrays kept;
    double seconds = 0.0;
    for (auto _ : state) {
        orovista::TerrainArrays fresh;
        orovista::TerrainArrays &arrays = rebuild ? kept : fresh;
        const double t0 = threadSeconds();
        if (decimated)
            orovista::buildDecimatedTerrainArrays(source, arrays);
        else
            orovista::buildTerrainArrays(source, arrays);
        const double dt = threadSeconds() - t0;
        seconds += dt;
        benchmark::DoNotOptimize(arrays.vertices.data());
        state.SetIterationTime(dt);
    }
    state.counters["ms"] = seconds * 1000.0 / double(state.iterations());
}

void BM_BuildTerrainArrays(benchmark::State &state)
{
    meshBuild(state, false);
}
void BM_BuildDecimatedTerrainArrays(benchmark::State &state)
{
    meshBuild(state, true);
}

/// Rendering only, and rendering with the JPEG file, at 4096 x 4096.
void BM_NormalMap4096(benchmark::State &state)
{
    const bool withFile = state.range(0) != 0;
    const int side = 4096;
    const NoiseMap map = wavyMap(side);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("NormalMap_bench.jpg"));
    noise::utils::Image image;
    double seconds = 0.0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        if (withFile) {
            benchmark::DoNotOptimize(orovista::writeNormalMap(map, orovista::normalMapBumpHeight(1000, side), path));
        } else {
            noise::utils::RendererNormalMap renderer;
            renderer.SetSourceNoiseMap(map);
            renderer.SetDestImage(image);
            renderer.SetBumpHeight(orovista::normalMapBumpHeight(1000, side));
            renderer.Render();
            benchmark::DoNotOptimize(image.GetSlabPtr());
        }
        const double dt = threadSeconds() - t0;
        seconds += dt;
        state.SetIterationTime(dt);
    }
    state.counters["MP/s"] = double(side) * side * 1e-6 * double(state.iterations()) / seconds;
}

}   // namespace

BENCHMARK(BM_Thermal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ImprovedThermal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Hydraulic)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Smooth)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ErosionThreads)
    ->ArgNames({"algorithm", "side", "passes"})
    ->ArgsProduct({{0, 1, 2, 3}, {512}, {100}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_ErosionThreads)
    ->ArgNames({"algorithm", "side", "passes"})
    ->ArgsProduct({{0, 1, 2, 3}, {4096}, {4}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_ThermalBandsVsPlain)
    ->ArgNames({"side", "passes", "perlin"})
    ->ArgsProduct({{512, 4096}, {100}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_SedimentErosion)->ArgName("side")->Arg(1024)->Arg(4096)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SedimentTintOnTheTexture)->ArgName("side")->Arg(4096)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BuildTerrainArrays)->ArgName("rebuild")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_BuildDecimatedTerrainArrays)->ArgName("rebuild")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_NormalMap4096)->ArgName("file")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
