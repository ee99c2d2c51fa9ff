// Generators computed a row at a time under a module graph: the builders' and the noise machine's
// maps with batch evaluation on are the same bits as with it off.
#include "graph/noisemachine.h"
#include "noise/modules.h"
#include "noise/noisemapbuilderplane.h"
#include "noise/parallelbuilder.h"
#include "noise/rowbatch.h"
#include "presets/presetfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

namespace nm = noise::module;
using noise::utils::ModuleGraph;
using noise::utils::NoiseMap;

bool sameBits(const NoiseMap &a, const NoiseMap &b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(a.GetConstSlabPtr(y), b.GetConstSlabPtr(y), sizeof(float) * a.GetWidth()) != 0)
            return false;
    return true;
}

/// A graph with every case a row batch meets: cached generators, a generator read directly by two
/// modules and as an output, turbulence over a deformed generator and two turbulences of the same
/// settings, a generator under Select (asked for only where the control says), one under
/// ScalePoint (never at the row's points), and a module batch evaluation leaves alone.
std::unique_ptr<ModuleGraph> mixedGraph()
{
    auto graph = std::make_unique<ModuleGraph>();
    ModuleGraph &g = *graph;
    auto &perlin = g.Add<nm::Perlin>();
    perlin.SetOctaveCount(12);
    perlin.SetSeed(3);
    perlin.SetNoiseQuality(noise::QUALITY_BEST);
    auto &ridged = g.Add<nm::RidgedMulti>();
    ridged.SetOctaveCount(9);
    ridged.SetLacunarity(2.1);
    ridged.SetSeed(7);
    ridged.gain = 1.7;
    auto &billow = g.Add<nm::Billow>();
    billow.SetOctaveCount(5);
    billow.SetFrequency(1.3);
    billow.SetNoiseQuality(noise::QUALITY_FAST);
    auto &voronoi = g.Add<nm::Voronoi>();
    voronoi.SetFrequency(2.0);
    voronoi.EnableDistance(true);

    auto &cache1 = g.Add<nm::Cache>();
    cache1.SetSourceModule(0, perlin);
    auto &curve = g.Add<nm::Curve>();
    curve.SetSourceModule(0, cache1);
    for (double p : {-1.0, -0.3, 0.2, 1.0})
        curve.AddControlPoint(p, p * p - 0.5);
    auto &turbulence = g.Add<nm::Turbulence>();
    turbulence.SetSourceModule(0, curve);
    turbulence.SetFrequency(0.5);
    turbulence.SetPower(0.3);
    turbulence.SetRoughness(4);
    turbulence.SetSeed(2);
    auto &twin = g.Add<nm::Turbulence>();
    twin.SetSourceModule(0, ridged);
    twin.SetFrequency(0.5);
    twin.SetPower(0.3);
    twin.SetRoughness(4);
    twin.SetSeed(2);
    auto &select = g.Add<nm::Select>();
    select.SetSourceModule(0, ridged);
    select.SetSourceModule(1, voronoi);
    select.SetControlModule(billow);
    select.SetBounds(0.0, 10.0);
    auto &scaled = g.Add<nm::ScalePoint>();
    scaled.SetSourceModule(0, perlin);
    scaled.SetScale(1.5, 1.0, 0.75);
    auto &sum = g.Add<nm::Add>();
    sum.SetSourceModule(0, turbulence);
    sum.SetSourceModule(1, twin);
    auto &mixed = g.Add<nm::Blend>();
    mixed.SetSourceModule(0, sum);
    mixed.SetSourceModule(1, scaled);
    mixed.SetControlModule(select);
    g.SetOutput(0, mixed);
    g.SetOutput(1, perlin);
    g.SetOutput(2, select);
    g.SetOutput(3, scaled);
    return graph;
}

NoiseMap buildParallel(int output, bool batch, int threads, int width, int height)
{
    NoiseMap map;
    noise::utils::ParallelNoiseMapBuilderPlane builder;
    builder.SetGraphFactory(mixedGraph, output);
    builder.SetThreadCount(threads);
    builder.SetDestSize(width, height);
    builder.SetBounds(-1.5, 2.5, 0.25, 3.75);
    builder.EnableBatch(batch);
    builder.SetDestNoiseMap(map);
    builder.Build();
    return map;
}

TEST(RowBatch, ParallelBuilderMapsMatchPointByPoint)
{
    for (int output : {0, 1, 2, 3})
        for (int threads : {1, 2})
            for (auto [w, h] : {std::pair{37, 21}, std::pair{64, 64}, std::pair{1, 5}}) {
                const NoiseMap off = buildParallel(output, false, threads, w, h);
                const NoiseMap on = buildParallel(output, true, threads, w, h);
                EXPECT_TRUE(sameBits(off, on)) << "output " << output << " threads " << threads << " size " << w;
            }
}

TEST(RowBatch, SequentialBuilderOfOneGenerator)
{
    nm::RidgedMulti ridged;
    ridged.SetOctaveCount(30);
    ridged.SetSeed(16);
    NoiseMap maps[2];
    for (int batch = 0; batch < 2; ++batch) {
        noise::utils::NoiseMapBuilderPlane builder;
        builder.SetSourceModule(ridged);
        builder.SetDestSize(53, 17);
        builder.SetBounds(-1e6, 1e6 + 3.0, -2.0, 2.0);
        builder.EnableBatch(batch == 1);
        builder.SetDestNoiseMap(maps[batch]);
        builder.Build();
    }
    EXPECT_TRUE(sameBits(maps[0], maps[1]));
}

/// Asked out of column order and at other points, the stand-ins pass the request on.
TEST(RowBatch, PointsOutsideTheRowAreComputedAsUsual)
{
    auto batched = mixedGraph();
    auto plain = mixedGraph();
    noise::utils::RowBatch batch(*batched);
    EXPECT_FALSE(batch.IsEmpty());
    const double xs[] = {0.0, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.25, 2.5};
    const int n = int(std::size(xs));
    for (int row = 0; row < 3; ++row) {
        const double z = 0.3 * row;
        batch.BeginRow(xs, 0.0, z, n);
        for (int output : {0, 1, 2, 3})
            for (int c = 0; c < n; ++c) {
                const int column = (c * 7) % n;
                batch.SetColumn(column);
                const double at = batched->GetOutput(output).GetValue(xs[column], 0.0, z);
                EXPECT_EQ(at, plain->GetOutput(output).GetValue(xs[column], 0.0, z));
                // The column says one point, the request is for another.
                batch.SetColumn((column + 1) % n);
                const double off = batched->GetOutput(output).GetValue(xs[column], 0.5, z);
                EXPECT_EQ(off, plain->GetOutput(output).GetValue(xs[column], 0.5, z));
            }
        batch.EndRow();
        EXPECT_EQ(batched->GetOutput(0).GetValue(0.1, 0.2, 0.3), plain->GetOutput(0).GetValue(0.1, 0.2, 0.3));
    }
}

TEST(RowBatch, GraphWithoutGeneratorsIsEmpty)
{
    ModuleGraph g;
    auto &c = g.Add<nm::Const>();
    g.SetOutput(0, c);
    noise::utils::RowBatch batch(g);
    EXPECT_TRUE(batch.IsEmpty());
}

/// Keeps a copy of every node's map.
struct Recorder : orovista::MachineObserver {
    void nodeDone(int node, const NoiseMap &map, const QString &, const QString &) override { maps[node] = map; }
    bool wantsNodeMaps() const override { return true; }
    std::map<int, NoiseMap> maps;
};

/// Every shipped preset, with its own gradients and with two different ones (nodes 7 to 9:
/// turbulence), fused and node by node, at the presets' octaves and at full octaves: every node's
/// map and the final map with batch evaluation on are the same bits as with it off.
TEST(RowBatch, MachineMapsOfThePresetsMatchPointByPoint)
{
    using namespace orovista;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    MachineFolders folders{dir.path(), dir.path()};
    const QDir presets(QStringLiteral(OROVISTA_SOURCE_DIR "/data/presets"));
    const QStringList files = presets.entryList({QStringLiteral("*.opf")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 10);
    int runs = 0;
    for (const QString &file : files) {
        NoiseSettings base;
        presets::readFile(presets.filePath(file), base, {});
        for (bool composite : {false, true}) {
            NoiseSettings s = base;
            if (composite)
                s.final.rightGradient = s.final.leftGradient + QStringLiteral(" other");
            for (Evaluation evaluation : {Evaluation::Fused, Evaluation::PerNode})
                for (bool full : {false, true}) {
                    Recorder recorders[2];
                    NoiseMap finals[2];
                    for (int batch = 0; batch < 2; ++batch) {
                        MachineRun run;
                        run.size = 45;
                        run.fullOctaves = full;
                        run.evaluation = evaluation;
                        run.threads = 2;
                        run.writePictures = false;
                        run.batchNoise = batch == 1;
                        runNoiseMachine(s, run, folders, finals[batch], noise::utils::ProgressReporter::Null(),
                                        recorders[batch]);
                    }
                    const QString what = file + (composite ? " composite" : "") +
                                         (evaluation == Evaluation::Fused ? " fused" : " per node") +
                                         (full ? " full octaves" : "");
                    ASSERT_EQ(recorders[0].maps.size(), recorders[1].maps.size()) << what.toStdString();
                    for (const auto &[node, map] : recorders[0].maps)
                        EXPECT_TRUE(sameBits(map, recorders[1].maps[node]))
                            << what.toStdString() << " node " << node;
                    EXPECT_TRUE(sameBits(finals[0], finals[1])) << what.toStdString();
                    ++runs;
                }
        }
    }
    std::printf("[          ] %d preset runs compared\n", runs);
}

}   // namespace
