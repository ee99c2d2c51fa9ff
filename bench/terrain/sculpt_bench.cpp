// Speed of one sculpting brush stroke on the full 512 × 512 mesh, S = 1000.
//
//   ms   CPU milliseconds of one step: the brush itself, the recomputation of every normal, the
//        refresh of the decimated mesh and a 24·N² byte copy standing in for the vertex-buffer
//        upload of vertices and normals
//
// The mesh is built by buildTerrainArrays() from a synthetic wavy height map (like the terrain
// benchmark's), not from the workload preset: the brush cost depends on the mesh size and the
// brush radius, not on the shape of the ground. radius = 20 is a typical brush (D = 40), 512 the
// largest one (D = S), which covers the whole mesh from any cell.
//
// CPU time of the calling thread is used: unlike wall time it does not grow when other processes
// share the cores.

#include "terrain/sculpt.h"
#include "terrain/terrainarrays.h"
#include "terrain/terrainlookup.h"

#include "noise/noisemap.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

using noise::utils::NoiseMap;

namespace {

constexpr int kTerrainSize = 1000;

using benchsupport::threadSeconds;
using benchsupport::wavyMap;

/// range(0) = brush radius in grid steps (20 or 512).
void BM_SculptStroke(benchmark::State &state)
{
    const int radius = int(state.range(0));
    const NoiseMap map = wavyMap(512);
    orovista::TerrainSource source;
    source.heightMap = &map;
    source.terrainSize = kTerrainSize;
    source.elevationLow = 0;
    source.elevationHigh = 150;
    const orovista::TerrainArrays startFull = orovista::buildTerrainArrays(source);
    orovista::TerrainArrays decimated = orovista::buildDecimatedTerrainArrays(source);
    const int n = startFull.gridSize;
    std::vector<char> vertexBuffer(std::size_t(44) * n * n);

    orovista::SculptSettings settings;
    settings.strength = 10;
    settings.blendPercent = 50;
    settings.brushDiameter = radius == 512 ? kTerrainSize : (radius * kTerrainSize + 511) / 512;
    settings.terrainSize = kTerrainSize;
    settings.floor = 0;
    if (orovista::sculptBrushRadius(settings.brushDiameter, kTerrainSize) != radius) {
        state.SkipWithError("brush diameter does not give the wanted radius");
        return;
    }

    orovista::TerrainArrays full = startFull;
    double seconds = 0.0;
    for (auto _ : state) {
        full.vertices = startFull.vertices;   // every stroke starts from the same ground (not timed)
        const double t0 = threadSeconds();
        const orovista::TerrainHit hit = orovista::terrainLookup(full, kTerrainSize, 12.3, 0.0, -45.6);
        orovista::sculptStep(full, hit, settings);
        orovista::refreshDecimatedFromFull(full, decimated);
        const std::size_t bytes = std::size_t(12) * n * n;
        std::memcpy(vertexBuffer.data(), full.vertices.data(), bytes);
        std::memcpy(vertexBuffer.data() + bytes, full.normals.data(), bytes);
        const double dt = threadSeconds() - t0;
        seconds += dt;
        benchmark::DoNotOptimize(vertexBuffer.data());
        benchmark::DoNotOptimize(decimated.vertices.data());
        benchmark::ClobberMemory();
        state.SetIterationTime(dt);
    }
    state.counters["ms"] = seconds * 1000.0 / double(state.iterations());
}

}   // namespace

BENCHMARK(BM_SculptStroke)->ArgName("radius")->Arg(20)->Arg(512)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
