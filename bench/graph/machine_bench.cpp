// The noise machine on the shared workloads: every node evaluated in order at each point through
// the graph's caches (fused) against the nodes built one after another, side by side.
#include "graph/noisemachine.h"
#include "presets/presetfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace orovista;

NoiseSettings workload(const char *file)
{
    NoiseSettings s;
    presets::readFile(QStringLiteral(OROVISTA_BENCH_WORKLOADS "/") + file, s, {});
    return s;
}

void machine(benchmark::State &state, const char *file, Evaluation evaluation)
{
    const NoiseSettings settings = workload(file);
    QTemporaryDir dir;
    MachineFolders folders{dir.path(), QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/resources/gradients")};
    MachineRun run;
    run.size = int(state.range(0));
    run.evaluation = evaluation;
    run.threads = int(state.range(1));
    MachineObserver observer;   // no erosion: the machine alone
    noise::utils::NoiseMap finalMap;
    for (auto _ : state)
        runNoiseMachine(settings, run, folders, finalMap, noise::utils::ProgressReporter::Null(), observer);
}

void Fused(benchmark::State &state) { machine(state, "workload.opf", Evaluation::Fused); }
void PerNode(benchmark::State &state) { machine(state, "workload.opf", Evaluation::PerNode); }
void FusedGabor(benchmark::State &state) { machine(state, "workload-gabor.opf", Evaluation::Fused); }
void PerNodeGabor(benchmark::State &state) { machine(state, "workload-gabor.opf", Evaluation::PerNode); }

// Arguments: map size, threads. Run as pairs so the ratio is measured side by side.
BENCHMARK(PerNode)->Args({512, 1})->Args({512, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Fused)->Args({512, 1})->Args({512, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PerNodeGabor)->Args({256, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(FusedGabor)->Args({256, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}   // namespace
