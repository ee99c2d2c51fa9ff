// Speed of the noise core: samples of each generator, the parallel build
// against the sequential one, gradient rendering with light and JPEG
// writing.
//
//   ns_per_sample      CPU nanoseconds per map cell of a sequential build
//   parallel/sequential  wall time of the parallel 512 x 512 build divided
//                        by the sequential one, measured side by side
//   MP/s               megapixels per second
//   scalar/batch       generator rows point by point divided by batch
//                      evaluation (noise::batch), side by side

#include "noise/batchnoise.h"
#include "noise/modules.h"
#include "noise/parallelbuilder.h"
#include "noise/rendererimage.h"
#include "noise/writerjpeg.h"
#include "bench/sidebyside.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

using noise::utils::Color;
using noise::utils::Image;
using noise::utils::ModuleGraph;
using noise::utils::ModuleGraphFactory;
using noise::utils::NoiseMap;
using noise::utils::NoiseMapBuilderPlane;
using noise::utils::ParallelNoiseMapBuilderPlane;
using noise::utils::RendererImage;
namespace module = noise::module;

namespace {

void BuildMap (const module::Module& source, NoiseMap& map, int side)
{
  NoiseMapBuilderPlane builder;
  builder.EnableBatch (false);  // libnoise's own speed, as these figures always were
  builder.SetSourceModule (source);
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (side, side);
  builder.SetBounds (0.0, 4.0, 0.0, 4.0);
  builder.Build ();
}

/// CPU time of the calling thread, in seconds: unlike the wall time it does
/// not grow when other processes share the cores.
double ThreadSeconds ()
{
  timespec now {};
  clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double> (now.tv_sec) + now.tv_nsec * 1e-9;
}

/// Times sequential builds of @a side x @a side maps of @a source.
void MeasureSamples (benchmark::State& state, const module::Module& source, int side)
{
  NoiseMap map;
  double seconds = 0.0;
  for (auto _ : state) {
    const double start = ThreadSeconds ();
    BuildMap (source, map, side);
    seconds += ThreadSeconds () - start;
    benchmark::DoNotOptimize (map.GetConstSlabPtr ());
  }
  const double samples = static_cast<double> (side) * side * state.iterations ();
  state.counters["ns_per_sample"] = seconds * 1e9 / samples;
}

/// The generator of INPUT 1 in the shared workload: Perlin, 8 octaves,
/// behind a cache, through a curve, a blend with a control noise and
/// turbulence, as the noise machine wires it.
std::unique_ptr<ModuleGraph> WorkloadGraph ()
{
  auto graph = std::make_unique<ModuleGraph> ();
  auto& perlin = graph->Add<module::Perlin> ();
  perlin.SetOctaveCount (8);
  perlin.SetSeed (3);
  auto& cache = graph->Add<module::Cache> ();
  cache.SetSourceModule (0, perlin);
  auto& curve = graph->Add<module::Curve> ();
  curve.SetSourceModule (0, cache);
  curve.AddControlPoint (-1.0, -1.0);
  curve.AddControlPoint (-0.3, 0.0);
  curve.AddControlPoint (0.3, 0.2);
  curve.AddControlPoint (1.0, 1.0);
  auto& ridged = graph->Add<module::RidgedMulti> ();
  ridged.SetOctaveCount (8);
  auto& control = graph->Add<module::Perlin> ();
  control.SetSeed (1);
  auto& blend = graph->Add<module::Blend> ();
  blend.SetSourceModule (0, curve);
  blend.SetSourceModule (1, ridged);
  blend.SetSourceModule (2, control);
  auto& turbulence = graph->Add<module::Turbulence> ();
  turbulence.SetSourceModule (0, blend);
  turbulence.SetPower (0.3);
  turbulence.SetRoughness (4);
  graph->SetOutput (0, turbulence);
  return graph;
}

} // namespace

static void BM_Perlin (benchmark::State& state)
{
  module::Perlin perlin;
  perlin.SetOctaveCount (static_cast<int> (state.range (0)));
  MeasureSamples (state, perlin, 256);
}
BENCHMARK (BM_Perlin)->Arg (4)->Arg (30)->Unit (benchmark::kMillisecond);

static void BM_RidgedMulti (benchmark::State& state)
{
  module::RidgedMulti ridged;
  ridged.SetOctaveCount (8);
  MeasureSamples (state, ridged, 256);
}
BENCHMARK (BM_RidgedMulti)->Unit (benchmark::kMillisecond);

static void BM_Voronoi (benchmark::State& state)
{
  module::Voronoi voronoi;
  voronoi.EnableDistance (true);
  MeasureSamples (state, voronoi, 256);
}
BENCHMARK (BM_Voronoi)->Unit (benchmark::kMillisecond);

/// Impulses per kernel as the argument; a = 0.3 as in the Gabor workload.
static void BM_Pitted (benchmark::State& state)
{
  module::Pitted pitted;
  pitted.a = 0.3f;
  pitted.seed = 3;
  pitted.impulsesPerKernel = static_cast<float> (state.range (0));
  MeasureSamples (state, pitted, state.range (0) >= 1024 ? 32 : 128);
}
BENCHMARK (BM_Pitted)->Arg (4)->Arg (64)->Arg (2048)->Unit (benchmark::kMillisecond);

/// A 512 x 512 build of the workload graph, sequential then parallel, in
/// every iteration.
static void BM_ParallelVsSequential512 (benchmark::State& state)
{
  using Clock = std::chrono::steady_clock;
  const ModuleGraphFactory factory = WorkloadGraph;
  NoiseMap sequentialMap;
  NoiseMap parallelMap;
  double sequentialSeconds = 0.0;
  double parallelSeconds = 0.0;
  ParallelNoiseMapBuilderPlane parallel;
  parallel.EnableBatch (false);  // threads only, as the sequential build
  parallel.SetGraphFactory (factory);
  parallel.SetDestNoiseMap (parallelMap);
  parallel.SetDestSize (512, 512);
  parallel.SetBounds (0.0, 4.0, 0.0, 4.0);
  for (auto _ : state) {
    const Clock::time_point start = Clock::now ();
    const std::unique_ptr<ModuleGraph> graph = factory ();
    BuildMap (graph->GetOutput (0), sequentialMap, 512);
    const Clock::time_point middle = Clock::now ();
    parallel.Build ();
    const Clock::time_point end = Clock::now ();
    sequentialSeconds += std::chrono::duration<double> (middle - start).count ();
    parallelSeconds += std::chrono::duration<double> (end - middle).count ();
    benchmark::DoNotOptimize (parallelMap.GetConstSlabPtr ());
  }
  const double iterations = static_cast<double> (state.iterations ());
  state.counters["threads"] = parallel.GetThreadCount ();
  state.counters["sequential_ms"] = sequentialSeconds * 1e3 / iterations;
  state.counters["parallel_ms"] = parallelSeconds * 1e3 / iterations;
  state.counters["parallel/sequential"] = parallelSeconds / sequentialSeconds;
}
BENCHMARK (BM_ParallelVsSequential512)->Unit (benchmark::kMillisecond);

/// Rows of one generator at 30 octaves (the full-octave machine's inputs), 4096 points of a
/// plane row each: libnoise's GetValue() point by point against noise::batch::GetValues(), side
/// by side in every iteration, in CPU time of the calling thread.
///
///   scalar_ns, batch_ns   nanoseconds per point
///   scalar/batch          the speed-up
void MeasureRows (benchmark::State& state, const module::Module& generator)
{
  constexpr int count = 4096;
  std::vector<double> x (count), y (count, 0.0), z (count, 1.375), out (count);
  for (int i = 0; i < count; ++i) {
    x[i] = i * (4.0 / count);
  }
  double scalar = 0.0;
  double batch = 0.0;
  for (auto _ : state) {
    const double start = ThreadSeconds ();
    for (int i = 0; i < count; ++i) {
      out[i] = generator.GetValue (x[i], y[i], z[i]);
    }
    benchmark::DoNotOptimize (out.data ());
    const double middle = ThreadSeconds ();
    noise::batch::GetValues (generator, x.data (), y.data (), z.data (), out.data (), count);
    benchmark::DoNotOptimize (out.data ());
    const double end = ThreadSeconds ();
    scalar += middle - start;
    batch += end - middle;
  }
  const double points = static_cast<double> (count) * state.iterations ();
  state.counters["scalar_ns"] = scalar * 1e9 / points;
  state.counters["batch_ns"] = batch * 1e9 / points;
  state.counters["scalar/batch"] = scalar / batch;
  state.SetLabel (noise::batch::TargetName ());
}

static void BM_PerlinRow (benchmark::State& state)
{
  module::Perlin perlin;
  perlin.SetOctaveCount (30);
  perlin.SetNoiseQuality (noise::NoiseQuality (state.range (0)));
  perlin.SetSeed (3);
  MeasureRows (state, perlin);
}
BENCHMARK (BM_PerlinRow)->Arg (0)->Arg (1)->Arg (2)->Unit (benchmark::kMillisecond);

static void BM_BillowRow (benchmark::State& state)
{
  module::Billow billow;
  billow.SetOctaveCount (30);
  billow.SetNoiseQuality (noise::QUALITY_BEST);
  MeasureRows (state, billow);
}
BENCHMARK (BM_BillowRow)->Unit (benchmark::kMillisecond);

static void BM_RidgedMultiRow (benchmark::State& state)
{
  module::RidgedMulti ridged;
  ridged.SetOctaveCount (30);
  ridged.SetLacunarity (2.1);
  ridged.SetNoiseQuality (noise::QUALITY_BEST);
  ridged.SetSeed (7);
  MeasureRows (state, ridged);
}
BENCHMARK (BM_RidgedMultiRow)->Unit (benchmark::kMillisecond);

/// What the plane y = 0 saves: a 30-octave row of 4096 points just off the plane (y = 1e-300,
/// the whole lattice cell to evaluate) before, the same row on the plane after, side by side.
/// range(0): 0 Perlin, 1 RidgedMulti.
static void BM_PlaneRowsVsOffPlane (benchmark::State& state)
{
  module::Perlin perlin;
  perlin.SetOctaveCount (30);
  perlin.SetNoiseQuality (noise::QUALITY_STD);
  perlin.SetSeed (3);
  module::RidgedMulti ridged;
  ridged.SetOctaveCount (30);
  ridged.SetLacunarity (2.1);
  ridged.SetNoiseQuality (noise::QUALITY_STD);
  ridged.SetSeed (7);
  const module::Module& generator = state.range (0) == 0
    ? static_cast<const module::Module&> (perlin) : ridged;
  constexpr int count = 4096;
  std::vector<double> x (count), on (count, 0.0), off (count, 1e-300), z (count, 1.375), out (count);
  for (int i = 0; i < count; ++i) {
    x[i] = i * (4.0 / count);
  }
  const auto rows = [&] (const std::vector<double>& y) {
    return [&] {
      for (int r = 0; r < 16; ++r) {
        noise::batch::GetValues (generator, x.data (), y.data (), z.data (), out.data (), count);
        benchmark::DoNotOptimize (out.data ());
      }
    };
  };
  sidebyside::run (state, rows (off), rows (on), 9);
  state.SetLabel (state.range (0) == 0 ? "Perlin" : "RidgedMulti");
}
BENCHMARK (BM_PlaneRowsVsOffPlane)->Arg (0)->Arg (1)->Unit (benchmark::kMillisecond)->UseManualTime ()->Iterations (1);

/// A 512 x 512 Perlin map and a renderer aimed at it.
struct PerlinPicture
{
  PerlinPicture ()
  {
    const module::Perlin perlin;
    BuildMap (perlin, map, 512);
    renderer.SetSourceNoiseMap (map);
    renderer.SetDestImage (image);
  }

  /// A gradient of as many points as a gradient picture gives.
  void UseFineGradient ()
  {
    renderer.ClearGradient ();
    for (int c = 0; c < RendererImage::GRADIENT_PICTURE_POINTS; ++c) {
      renderer.AddGradientPoint ((c + 1) / 1024.0 - 1.0,
        Color (static_cast<std::uint8_t> (c / 8), static_cast<std::uint8_t> (255 - c / 8), 90, 255));
    }
  }

  static constexpr double MEGAPIXELS = 512 * 512 * 1e-6;

  NoiseMap map;
  Image image;
  RendererImage renderer;
};

/// The map through a 2048-point gradient, light on.
static void BM_RenderGradientWithLight (benchmark::State& state)
{
  PerlinPicture picture;
  picture.UseFineGradient ();
  picture.renderer.EnableLight (true);
  picture.renderer.SetLightContrast (2.0);
  for (auto _ : state) {
    picture.renderer.Render ();
    benchmark::DoNotOptimize (picture.image.GetConstSlabPtr ());
  }
  state.counters["MP/s"] = benchmark::Counter (PerlinPicture::MEGAPIXELS,
    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK (BM_RenderGradientWithLight)->Unit (benchmark::kMillisecond);

/// The same picture each pixel through the gradient's search and the light's divisions (before)
/// and through the tables (after), interleaved on one core: the colouring's speed-up. The
/// pictures are the same bytes (tests/noise/renderer_test.cpp checks it).
static void BM_RenderTablesVsPlain (benchmark::State& state)
{
  PerlinPicture picture;
  picture.UseFineGradient ();
  picture.renderer.EnableLight (state.range (0) != 0);
  picture.renderer.SetLightContrast (2.0);
  auto render = [&picture] (bool plain) {
    return [&picture, plain] {
      picture.renderer.SetPlainPath (plain);
      picture.renderer.Render ();
      benchmark::DoNotOptimize (picture.image.GetConstSlabPtr ());
    };
  };
  sidebyside::run (state, render (true), render (false), 9);
}
BENCHMARK (BM_RenderTablesVsPlain)->Arg (1)->Arg (0)->Unit (benchmark::kMillisecond)->UseManualTime ()->Iterations (1);

/// The rendered picture written as JPEG, quality 100.
static void BM_WriteJPEG (benchmark::State& state)
{
  PerlinPicture picture;
  picture.renderer.Render ();
  QTemporaryDir dir;
  noise::utils::WriterJPEG writer;
  writer.SetSourceImage (picture.image);
  writer.SetDestFilename (dir.filePath ("bench.jpg"));
  for (auto _ : state) {
    if (!writer.WriteDestFile ()) {
      state.SkipWithError ("the picture could not be written");
      break;
    }
  }
  state.counters["MP/s"] = benchmark::Counter (PerlinPicture::MEGAPIXELS,
    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK (BM_WriteJPEG)->Unit (benchmark::kMillisecond);
