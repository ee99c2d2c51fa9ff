// The parallel map builder: the same bits as the sequential one for every
// kind of module, callbacks on the calling thread, errors from workers.

#include "noise/modules.h"
#include "noise/parallelbuilder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using noise::utils::ModuleGraph;
using noise::utils::ModuleGraphFactory;
using noise::utils::NoiseMap;
using noise::utils::NoiseMapBuilderPlane;
using noise::utils::ParallelNoiseMapBuilderPlane;
namespace module = noise::module;

namespace {

struct Window
{
  double lowerX, upperX, lowerZ, upperZ;
};

/// One graph whose output 0 is the given module made by @a configure.
template <class M>
ModuleGraphFactory Single (std::function<void (M&)> configure = {})
{
  return [configure] {
    auto graph = std::make_unique<ModuleGraph> ();
    M& made = graph->Add<M> ();
    if (configure) {
      configure (made);
    }
    graph->SetOutput (0, made);
    return graph;
  };
}

/// A graph in the shape of the noise machine's: two generators behind
/// caches, deformers, a blend with a control noise, and turbulence, which
/// it returns.
const module::Module& MachineLike (ModuleGraph& graph)
{
  auto& perlin = graph.Add<module::Perlin> ();
  perlin.SetOctaveCount (8);
  perlin.SetSeed (3);
  auto& cache1 = graph.Add<module::Cache> ();
  cache1.SetSourceModule (0, perlin);
  auto& ridged = graph.Add<module::RidgedMulti> ();
  ridged.SetOctaveCount (8);
  ridged.SetSeed (7);
  auto& cache2 = graph.Add<module::Cache> ();
  cache2.SetSourceModule (0, ridged);
  auto& curve = graph.Add<module::Curve> ();
  curve.SetSourceModule (0, cache1);
  curve.AddControlPoint (-1.0, -1.0);
  curve.AddControlPoint (-0.2, 0.1);
  curve.AddControlPoint (0.4, 0.3);
  curve.AddControlPoint (1.0, 1.0);
  auto& deformed1 = graph.Add<module::Cache> ();
  deformed1.SetSourceModule (0, curve);
  auto& terrace = graph.Add<module::Terrace> ();
  terrace.SetSourceModule (0, cache2);
  terrace.MakeControlPoints (5);
  auto& deformed2 = graph.Add<module::Cache> ();
  deformed2.SetSourceModule (0, terrace);
  auto& control = graph.Add<module::Perlin> ();
  control.SetSeed (1);
  auto& blend = graph.Add<module::Blend> ();
  blend.SetSourceModule (0, deformed1);
  blend.SetSourceModule (1, deformed2);
  blend.SetSourceModule (2, control);
  auto& select = graph.Add<module::Select> ();
  select.SetSourceModule (0, deformed1);
  select.SetSourceModule (1, deformed2);
  select.SetSourceModule (2, control);
  select.SetBounds (0.0, 1000.0);
  select.SetEdgeFalloff (0.3);
  auto& turbulence = graph.Add<module::Turbulence> ();
  turbulence.SetSourceModule (0, deformed1);
  turbulence.SetPower (0.3);
  turbulence.SetRoughness (4);
  graph.SetOutput (1, cache1);
  graph.SetOutput (2, blend);
  graph.SetOutput (3, select);
  return turbulence;
}

NoiseMap BuildSequential (const ModuleGraphFactory& factory, int output, int width,
  int height, const Window& window)
{
  const std::unique_ptr<ModuleGraph> graph = factory ();
  NoiseMap map;
  NoiseMapBuilderPlane builder;
  builder.SetSourceModule (graph->GetOutput (output));
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (width, height);
  builder.SetBounds (window.lowerX, window.upperX, window.lowerZ, window.upperZ);
  builder.Build ();
  return map;
}

NoiseMap BuildParallel (const ModuleGraphFactory& factory, int output, int threads,
  int width, int height, const Window& window)
{
  NoiseMap map;
  ParallelNoiseMapBuilderPlane builder;
  builder.SetGraphFactory (factory, output);
  builder.SetThreadCount (threads);
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (width, height);
  builder.SetBounds (window.lowerX, window.upperX, window.lowerZ, window.upperZ);
  builder.Build ();
  return map;
}

void ExpectSameBits (const NoiseMap& a, const NoiseMap& b, const std::string& what)
{
  ASSERT_EQ (a.GetWidth (), b.GetWidth ()) << what;
  ASSERT_EQ (a.GetHeight (), b.GetHeight ()) << what;
  for (int y = 0; y < a.GetHeight (); ++y) {
    ASSERT_EQ (std::memcmp (a.GetConstSlabPtr (y), b.GetConstSlabPtr (y),
      sizeof (float) * a.GetWidth ()), 0) << what << ", row " << y;
  }
}

/// Builds with 1, 2, 3 and 5 threads and compares with the sequential map.
void ExpectParallelMatches (const ModuleGraphFactory& factory, const std::string& what,
  int output = 0, const Window& window = {0.0, 4.0, 0.0, 4.0})
{
  const int width = 37;
  const int height = 29;
  const NoiseMap reference = BuildSequential (factory, output, width, height, window);
  for (const int threads : {1, 2, 3, 5}) {
    ExpectSameBits (reference, BuildParallel (factory, output, threads, width, height, window),
      what + " with " + std::to_string (threads) + " threads");
  }
}

} // namespace

TEST (ParallelBuilderTest, SameBitsForEveryGenerator)
{
  ExpectParallelMatches (Single<module::Perlin> ([] (module::Perlin& m) {
    m.SetOctaveCount (30);
  }), "Perlin");
  ExpectParallelMatches (Single<module::Billow> (), "Billow");
  ExpectParallelMatches (Single<module::RidgedMulti> ([] (module::RidgedMulti& m) {
    m.offset = 0.8;
    m.gain = 1.5;
    m.weight = 0.6;
  }), "RidgedMulti");
  ExpectParallelMatches (Single<module::Voronoi> ([] (module::Voronoi& m) {
    m.EnableDistance (true);
    m.SetDisplacement (0.3);
  }), "Voronoi");
  ExpectParallelMatches (Single<module::Spheres> (), "Spheres");
  ExpectParallelMatches (Single<module::Cylinders> (), "Cylinders");
  ExpectParallelMatches (Single<module::Checkerboard> ([] (module::Checkerboard& m) {
    m.frequency = 3.0;
  }), "Checkerboard");
  ExpectParallelMatches (Single<module::Const> ([] (module::Const& m) {
    m.SetConstValue (0.125);
  }), "Const");
  ExpectParallelMatches (Single<module::Pitted> ([] (module::Pitted& m) {
    m.a = 0.1f;
    m.impulsesPerKernel = 64.0f;
    m.seed = 5;
  }), "Pitted isotropic");
  ExpectParallelMatches (Single<module::Pitted> ([] (module::Pitted& m) {
    m.a = 0.2f;
    m.impulsesPerKernel = 32.0f;
    m.anisotropic = 1;
  }), "Pitted anisotropic");
}

TEST (ParallelBuilderTest, SameBitsForModifiersAndCombinersThroughCaches)
{
  const ModuleGraphFactory factory = [] {
    auto graph = std::make_unique<ModuleGraph> ();
    const module::Module& root = MachineLike (*graph);
    graph->SetOutput (0, root);
    auto& fade = graph->Add<module::RoundEdge> ();
    fade.SetSourceModule (0, graph->GetOutput (2));
    fade.edge = 4.0;
    graph->SetOutput (4, fade);
    return graph;
  };
  for (int output = 0; output <= 4; ++output) {
    ExpectParallelMatches (factory, "machine-like graph", output);
  }
  ExpectParallelMatches (factory, "machine-like graph, shifted window", 0,
    {-32.0, 480.0, 17.0, 529.0});
}

TEST (ParallelBuilderTest, SameBitsForImageNoise)
{
  QTemporaryDir dir;
  QImage picture (64, 64, QImage::Format_RGB32);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      picture.setPixel (x, y, qRgb ((x * 7 + y * 3) % 256, 0, 0));
    }
  }
  const QString path = dir.filePath ("picture.png");
  ASSERT_TRUE (picture.save (path));
  const ModuleGraphFactory factory = Single<module::NoiseImage> ([path] (module::NoiseImage& m) {
    m.fileName = path;
    m.slot = 1;
  });
  ExpectParallelMatches (factory, "NoiseImage from the origin");
  ExpectParallelMatches (factory, "NoiseImage across the origin", 0, {-2.0, 2.0, -2.0, 2.0});
  ExpectParallelMatches (factory, "NoiseImage away from the origin", 0, {1.0, 3.0, 1.0, 3.0});
}

TEST (ParallelBuilderTest, CallbackRunsOnTheCallingThreadInRowOrder)
{
  NoiseMap map;
  ParallelNoiseMapBuilderPlane builder;
  builder.SetGraphFactory (Single<module::Perlin> ());
  builder.SetThreadCount (4);
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (16, 40);
  builder.SetBounds (0.0, 1.0, 0.0, 1.0);
  std::vector<int> rows;
  const std::thread::id caller = std::this_thread::get_id ();
  builder.SetCallback ([&] (int row) {
    EXPECT_EQ (std::this_thread::get_id (), caller);
    rows.push_back (row);
  });
  builder.Build (2);
  ASSERT_EQ (rows.size (), 40u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ (rows[i], i);
  }
}

TEST (ParallelBuilderTest, ErrorOnAWorkerThreadIsRethrown)
{
  // Rows above z = 0.5 fail wherever they run.
  class FailingAbove: public module::Module
  {
    public:
      FailingAbove ()
        : Module (0)
      {
      }
      int GetSourceModuleCount () const override
      {
        return 0;
      }
      double GetValue (double, double, double z) const override
      {
        if (z > 0.5) {
          throw noise::ExceptionInvalidParam ();
        }
        return 0.0;
      }
  };
  NoiseMap map;
  ParallelNoiseMapBuilderPlane builder;
  builder.SetGraphFactory (Single<FailingAbove> ());
  builder.SetThreadCount (3);
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (8, 64);
  builder.SetBounds (0.0, 1.0, 0.0, 1.0);
  EXPECT_THROW (builder.Build (), noise::ExceptionInvalidParam);
}

TEST (ParallelBuilderTest, BadFactoriesAndSettingsAreRefused)
{
  NoiseMap map;
  ParallelNoiseMapBuilderPlane builder;
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (8, 8);
  builder.SetBounds (0.0, 1.0, 0.0, 1.0);
  EXPECT_THROW (builder.Build (), noise::ExceptionInvalidParam); // no factory
  EXPECT_THROW (builder.SetThreadCount (0), noise::ExceptionInvalidParam);
  EXPECT_GE (ParallelNoiseMapBuilderPlane::DefaultThreadCount (), 1);
  EXPECT_EQ (builder.GetThreadCount (), ParallelNoiseMapBuilderPlane::DefaultThreadCount ());

  builder.SetGraphFactory ([] { return std::unique_ptr<ModuleGraph> (); });
  EXPECT_THROW (builder.Build (), noise::ExceptionNoModule);
  builder.SetGraphFactory (Single<module::Perlin> (), 3); // output 3 is not set
  EXPECT_THROW (builder.Build (), noise::ExceptionNoModule);
}

TEST (ParallelBuilderTest, ModuleGraphOutputs)
{
  ModuleGraph graph;
  auto& perlin = graph.Add<module::Perlin> ();
  auto& billow = graph.Add<module::Billow> ();
  graph.SetOutput (2, billow);
  graph.SetOutput (0, perlin);
  EXPECT_EQ (&graph.GetOutput (0), &perlin);
  EXPECT_EQ (&graph.GetOutput (2), &billow);
  EXPECT_EQ (graph.GetModuleCount (), 2);
  EXPECT_THROW (graph.GetOutput (1), noise::ExceptionNoModule);
  EXPECT_THROW (graph.GetOutput (3), noise::ExceptionNoModule);
  EXPECT_THROW (graph.SetOutput (-1, perlin), noise::ExceptionInvalidParam);
}
