// Frame times of the preview on the shared workload: the 512 mesh from vertex buffers, the same
// mesh from client arrays, and the 128 mesh drawn while navigating, side by side in one process;
// the same frame with 1000 painted trees against the bare terrain, 10000 trees drawn as boxes while
// navigating, and the time of a 1000-item scatter with the largest brush.
// Needs an X display with GL (xvfb-run gives Mesa's llvmpipe).
#include "bench/sidebyside.h"
#include "graph/noisemachine.h"
#include "library/glmdraw.h"
#include "plugin/random.h"
#include "populate/painting.h"
#include "plugin/programstate.h"
#include "presets/presetfile.h"
#include "terrain/terrainarrays.h"
#include "viewport/glterrain.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace orovista;

/// The preview with the workload's terrain, framed as after TERRAFORM !.
struct Preview {
    Preview()
    {
        NoiseSettings settings;
        presets::readFile(QStringLiteral(OROVISTA_BENCH_WORKLOADS "/workload.opf"), settings, {});
        MachineFolders folders{maps.path(), QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/resources/gradients")};
        MachineRun run;
        run.size = 512;
        MachineObserver observer;
        noise::utils::NoiseMap map;
        runNoiseMachine(settings, run, folders, map, noise::utils::ProgressReporter::Null(), observer);
        TerrainSource source{&map, settings.final.terrainSize, double(settings.final.elevationLow), double(settings.final.elevationHigh),
                             maps.filePath(QStringLiteral("TFFnoisePreview.jpg"))};
        ProgramState &s = state();
        s.fullMesh = buildTerrainArrays(source);
        s.decimatedMesh = buildDecimatedTerrainArrays(source);
        s.terrainSize = settings.final.terrainSize;
        s.terrainPresent = true;
        s.vboSupported = true;

        QSurfaceFormat format;
        format.setDepthBufferSize(24);
        format.setSwapInterval(0);
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        gl = std::make_unique<GLTerrain>(format);
        gl->resize(760, 760);
        gl->show();
        // Only an exposed widget draws when asked.
        for (int i = 0; i < 500 && !(gl->windowHandle() && gl->windowHandle()->isExposed()); ++i) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        gl->grabFramebuffer();   // makes the context, so that the mesh can go into the buffers
        gl->uploadTerrain(s.fullMesh);
        if (!s.vertexBuffers[0])
            qFatal("the vertex buffers were not made");
        gl->farPlane = 16.0f * float(s.terrainSize);
        gl->camera = {0.0, 0.0, 2.0 * s.terrainSize, 0.0f, 20.0f, 0.0f};
    }

    /// One frame, drawn into the widget's framebuffer and read back (the read-back of 760 × 760
    /// pixels is the same in every case; it also makes sure the frame is finished).
    void frame() { benchmark::DoNotOptimize(gl->grabFramebuffer()); }

    QTemporaryDir maps;
    std::unique_ptr<GLTerrain> gl;
};

Preview &preview()
{
    static Preview p;
    return p;
}

void draw(benchmark::State &bench, bool buffers, bool coarse)
{
    Preview &p = preview();
    state().vboSupported = buffers;
    p.gl->lowDetailNavigation = coarse;
    // Untimed frames first: the first frames of a context (and of a case) pay for compiling
    // its shaders and filling caches, which made the first case look slower than it is.
    for (int i = 0; i < 5; ++i)
        p.frame();
    for (auto _ : bench)
        p.frame();
    p.gl->lowDetailNavigation = false;
    state().vboSupported = true;
    bench.counters["triangles"] = double((coarse ? state().decimatedMesh : state().fullMesh).triangleCount());
}

void VertexBuffers(benchmark::State &s) { draw(s, true, false); }
void ClientArrays(benchmark::State &s) { draw(s, false, false); }
void DecimatedWhileNavigating(benchmark::State &s) { draw(s, false, true); }

/// The sample pine as the chosen prop, compiled into slot 1 of the preview.
PropChoice pine()
{
    static PropChoice prop = [] {
        PropChoice p;
        p.file = QStringLiteral("pine.pp2");
        p.modelSlot = 1;
        const PropModel model = compilePropModel(
            preview().gl.get(), 1, {QStringLiteral(OROVISTA_SOURCE_DIR "/data/content/Runtime/Geometries/trees/pine.obj")});
        if (!model.compiled)
            qFatal("the sample pine did not load");
        p.triangles = model.triangles;
        std::copy(model.bounds, model.bounds + 6, p.bounds);
        return p;
    }();
    return prop;
}

/// Scatters `count` trees with the largest brush (the whole terrain) around its centre, at
/// `scale` percent.
void scatter(int count, int scale = 400)
{
    ProgramState &s = state();
    s.items.clear();
    PaintSettings settings;
    settings.instances = count;
    settings.diameter = s.terrainSize;
    settings.distance = 0;
    settings.masterScale = scale;
    random::seed(1);
    paintItems(s.items, PaintPick{0.0, 0.0, 0.0, 0.5f}, s.fullMesh, s.terrainSize, {}, settings, pine());
}

void BareTerrain(benchmark::State &bench)
{
    state().items.clear();
    draw(bench, true, false);
}

void ThousandTrees(benchmark::State &bench)
{
    preview();
    scatter(1000);
    draw(bench, true, false);
    bench.counters["items"] = double(state().items.size());
    bench.counters["item_triangles"] = double(state().items.size()) * pine().triangles;
    state().items.clear();
}

void ScatterThousandTrees(benchmark::State &bench)
{
    preview();
    pine();
    for (auto _ : bench)
        scatter(1000);
    bench.counters["items"] = double(state().items.size());
    state().items.clear();
}

/// Frames with 10000 trees while the user navigates with the low-detail feature on: the decimated
/// terrain and one translucent box per tree.
void TenThousandBoxesWhileNavigating(benchmark::State &bench)
{
    preview();
    scatter(10000);
    draw(bench, true, true);
    bench.counters["items"] = double(state().items.size());
    state().items.clear();
}

/// Frames with `items` (before) against frames of the bare terrain (after), ten frames a half in
/// interleaved pairs. The ratio is the frame with the items in bare frames (1 would cost nothing).
void againstBare(benchmark::State &bench, std::vector<PaintedItem> items)
{
    Preview &p = preview();
    std::vector<PaintedItem> none;
    state().items.clear();
    const auto frames = [&p](std::vector<PaintedItem> &drawn) {
        return [&p, &drawn] {
            state().items.swap(drawn);
            for (int i = 0; i < 10; ++i)
                p.frame();
            state().items.swap(drawn);
        };
    };
    sidebyside::run(bench, frames(items), frames(none), 5);
    bench.counters["items"] = double(items.size());
}

/// What a thousand trees cost against the bare terrain.
void ThousandTreesAgainstBare(benchmark::State &bench)
{
    preview();
    scatter(1000);
    againstBare(bench, state().items);
}

/// What the per-item work costs without triangles: 1000 items whose display list is empty,
/// drawn one by one (matrix, colour, name, list call each), against the bare terrain, as
/// ThousandTreesAgainstBare measures the trees.
void ThousandEmptyItemsAgainstBare(benchmark::State &bench)
{
    Preview &p = preview();
    scatter(1000);
    p.gl->makeCurrent();
    const GLuint empty = glGenLists(1);
    glNewList(empty, GL_COMPILE);
    glEndList();
    p.gl->doneCurrent();
    const std::size_t slot = p.gl->modelLists.size();
    p.gl->modelLists.push_back(empty);   // a list given no triangles: drawn item by item
    std::vector<PaintedItem> items = state().items;
    for (PaintedItem &item : items)
        item.modelSlot = int(slot);
    againstBare(bench, items);
    p.gl->modelLists.pop_back();
    p.gl->makeCurrent();
    glDeleteLists(empty, 1);
    p.gl->doneCurrent();
}

BENCHMARK(BareTerrain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ThousandTreesAgainstBare)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(ThousandTrees)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TenThousandBoxesWhileNavigating)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ThousandEmptyItemsAgainstBare)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(ScatterThousandTrees)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VertexBuffers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ClientArrays)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DecimatedWhileNavigating)->Unit(benchmark::kMillisecond)->UseRealTime();

}   // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    preview().gl.reset();
    benchmark::Shutdown();
    return 0;
}
