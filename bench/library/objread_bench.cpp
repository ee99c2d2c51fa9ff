// Speed of the OBJ reader against the disk read it starts from, and of loading the sample props.
//
//   MB/s       megabytes (10⁶ bytes) of the grid model's file per CPU second, for reading the file
//              into memory (QFile::readAll) and for glmReadOBJ of it, so the two compare side by
//              side; the same figure is in the bytes_per_second column
//   ms         CPU milliseconds of one run
//   Mtri/s     million triangles per CPU second
//
// The model is a 708 × 708 grid of quads (1,002,528 triangles, about 90 MB of text) written once
// into a temporary folder; after the first run it is in the page cache, so the disk read measures
// the copy out of the cache, the floor under any reader. BM_LoadSampleProps reads every prop under
// data/content as the library tab does: readPropFile, then glmReadOBJ and glmFacetNormals of each
// geometry file.
//
// CPU time of the calling thread (user and system) is used throughout: unlike wall time it does
// not grow when other processes share the cores. Peak memory: objread_peakmem.

#include "library/glm.h"
#include "library/propfile.h"

#include "objgrid.h"

#include <benchmark/benchmark.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

namespace {

using objbench::threadSeconds;

/// Runs `once` per iteration on the grid model and reports bytes of the file per CPU second.
void overGrid(benchmark::State &state, const std::function<bool(const QString &)> &once)
{
    const QString path = objbench::gridObjPath();
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the grid model");
        return;
    }
    const qint64 bytes = QFileInfo(path).size();
    double seconds = 0.0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        const bool ok = once(path);
        const double dt = threadSeconds() - t0;
        if (!ok) {
            state.SkipWithError("the grid model did not read");
            return;
        }
        seconds += dt;
        state.SetIterationTime(dt);
    }
    const double n = double(state.iterations());
    state.SetBytesProcessed(std::int64_t(bytes) * state.iterations());
    state.counters["MB/s"] = double(bytes) * 1e-6 * n / seconds;
    state.counters["ms"] = seconds * 1000.0 / n;
}

void BM_ReadFileBytes(benchmark::State &state)
{
    overGrid(state, [](const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.constData());
        return !bytes.isEmpty();
    });
}

void BM_ReadOBJ(benchmark::State &state)
{
    overGrid(state, [](const QString &path) {
        const std::unique_ptr<GLMmodel> model = glmReadOBJ(path);
        benchmark::DoNotOptimize(model.get());
        return model && model->numtriangles == 2u * objbench::kGridQuads * objbench::kGridQuads;
    });
}

void BM_ReadOBJWithNormals(benchmark::State &state)
{
    overGrid(state, [](const QString &path) {
        const std::unique_ptr<GLMmodel> model = glmReadOBJ(path);
        if (!model)
            return false;
        glmFacetNormals(model.get());
        glmVertexNormals(model.get(), 90.0f);
        benchmark::DoNotOptimize(model->normals.data());
        return true;
    });
    state.counters["Mtri/s"] = 2.0 * objbench::kGridQuads * objbench::kGridQuads * 1e-6 / (state.counters["ms"] / 1000.0);
}

/// Every .pp2 under data/content, found afresh at each start (sample props come and go).
void BM_LoadSampleProps(benchmark::State &state)
{
    QStringList props;
    QDirIterator it(QStringLiteral(OROVISTA_SOURCE_DIR "/data/content"), {QStringLiteral("*.pp2")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        props << it.next();
    props.sort();
    if (props.isEmpty()) {
        state.SkipWithError("no sample props under data/content");
        return;
    }
    QTemporaryDir maps;
    double seconds = 0.0;
    double geometries = 0, triangles = 0, failed = 0;
    for (auto _ : state) {
        geometries = triangles = failed = 0;
        const double t0 = threadSeconds();
        for (const QString &pp2 : props) {
            const orovista::PropFile prop = orovista::readPropFile(pp2, maps.path());
            if (prop.result != orovista::PropGeometryReady) {
                ++failed;
                continue;
            }
            for (const QString &obj : prop.geometry) {
                const std::unique_ptr<GLMmodel> model = glmReadOBJ(obj);
                if (!model) {
                    ++failed;
                    continue;
                }
                glmFacetNormals(model.get());
                ++geometries;
                triangles += model->numtriangles;
                benchmark::DoNotOptimize(model->facetnorms.data());
            }
        }
        const double dt = threadSeconds() - t0;
        seconds += dt;
        state.SetIterationTime(dt);
    }
    state.counters["props"] = double(props.size());
    state.counters["geometries"] = geometries;
    state.counters["triangles"] = triangles;
    state.counters["failed"] = failed;
    state.counters["ms"] = seconds * 1000.0 / double(state.iterations());
}

}   // namespace

BENCHMARK(BM_ReadFileBytes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadOBJ)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadOBJWithNormals)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadSampleProps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
