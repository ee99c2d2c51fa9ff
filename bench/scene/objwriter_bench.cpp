// Writing the terrain OBJ (about 25 MB) against copying a file of the same size, side by side:
// the writer should run near the disk's speed, not at text-stream speed.
#include "noise/noisemap.h"
#include "scene/terrainobj.h"
#include "terrain/terrainarrays.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using namespace orovista;

const TerrainArrays &mesh()
{
    static const TerrainArrays arrays = [] {
        static noise::utils::NoiseMap map;
        map.SetSize(512, 512);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x)
                map.SetValue(x, y, float(std::sin(x * 0.05) * std::cos(y * 0.031)));
        TerrainSource source;
        source.heightMap = &map;
        source.terrainSize = 1000;
        source.elevationLow = -20;
        source.elevationHigh = 300;
        return buildTerrainArrays(source);
    }();
    return arrays;
}

void setBytes(benchmark::State &state, const QString &path)
{
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}

void ObjWriter(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.obj");
    for (auto _ : state)
        writeTerrainObj(mesh(), path);
    setBytes(state, path);
}

/// The same file through a Qt text stream, number by number: what a straightforward writer costs.
void ObjTextStream(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.obj");
    const TerrainArrays &m = mesh();
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        QTextStream out(&file);
        for (int i = 0; i < m.vertexCount(); ++i)
            out << "v " << m.vertices[3 * i] << ' ' << m.vertices[3 * i + 1] << ' ' << m.vertices[3 * i + 2] << '\n';
        for (int r = 0; r < 512; ++r)
            for (int c = 0; c < 512; ++c)
                out << "vt " << float(c) / 511.0f << ' ' << 1.0 - double(r) / 511 << '\n';
        for (int r = 0; r < 511; ++r)
            for (int c = 0; c < 511; ++c) {
                const int a = r * 512 + c + 1;
                out << "f " << a << '/' << a << ' ' << a + 512 << '/' << a + 512 << ' ' << a + 513 << '/' << a + 513
                    << ' ' << a + 1 << '/' << a + 1 << '\n';
            }
    }
    setBytes(state, path);
}

/// A plain copy of a file of the same size, made as safely as the writer makes its file (a
/// temporary name, flushed to the disk, then renamed).
void PlainCopy(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("t.obj");
    writeTerrainObj(mesh(), source);
    const QString target = dir.filePath("copy.obj");
    for (auto _ : state) {
        QFile in(source);
        in.open(QIODevice::ReadOnly);
        QSaveFile out(target);
        out.open(QIODevice::WriteOnly);
        out.write(in.readAll());
        out.commit();
    }
    setBytes(state, target);
}

BENCHMARK(ObjWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ObjTextStream)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}   // namespace
