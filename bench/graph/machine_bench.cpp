// The noise machine on the shared workloads: every node evaluated in order at each point through
// the graph's caches (fused) against the nodes built one after another, side by side; and the
// full-octave machine with the generators computed a row at a time against point by point.
#include "bench/sidebyside.h"
#include "graph/noisemachine.h"
#include "noise/batchnoise.h"
#include "presets/presetfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

#include <sys/resource.h>

namespace {

using namespace orovista;

NoiseSettings workload(const char *file)
{
    NoiseSettings s;
    presets::readFile(QStringLiteral(OROVISTA_BENCH_WORKLOADS "/") + file, s, {});
    return s;
}

void machine(benchmark::State &state, const char *file, Evaluation evaluation, bool pictures = true)
{
    const NoiseSettings settings = workload(file);
    QTemporaryDir dir;
    MachineFolders folders{dir.path(), QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/resources/gradients")};
    MachineRun run;
    run.size = int(state.range(0));
    run.evaluation = evaluation;
    run.threads = int(state.range(1));
    run.writePictures = pictures;
    run.fullOctaves = state.range(0) > 512;
    MachineObserver observer;   // no erosion: the machine alone
    noise::utils::NoiseMap finalMap;
    for (auto _ : state)
        runNoiseMachine(settings, run, folders, finalMap, noise::utils::ProgressReporter::Null(), observer);
}

void PerNode(benchmark::State &state) { machine(state, "workload.opf", Evaluation::PerNode); }
void Fused(benchmark::State &state) { machine(state, "workload.opf", Evaluation::Fused); }
void PerNodeMapsOnly(benchmark::State &state) { machine(state, "workload.opf", Evaluation::PerNode, false); }
void FusedMapsOnly(benchmark::State &state) { machine(state, "workload.opf", Evaluation::Fused, false); }
void PerNodeGabor(benchmark::State &state) { machine(state, "workload-gabor.opf", Evaluation::PerNode); }
void FusedGabor(benchmark::State &state) { machine(state, "workload-gabor.opf", Evaluation::Fused); }

/// The full-octave machine on `workload.opf` in interleaved pairs (bench/sidebyside.h): change(run,
/// false) sets the run up for the first half, change(run, true) for the second. range(0) is the
/// map size, range(1) the threads, range(2) 1 with the pictures, 0 for the maps alone.
void fullOctavesSideBySide(benchmark::State &state, const std::function<void(MachineRun &, bool)> &change)
{
    const NoiseSettings settings = workload("workload.opf");
    QTemporaryDir dir;
    MachineFolders folders{dir.path(), QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/resources/gradients")};
    MachineRun run;
    run.size = int(state.range(0));
    run.threads = int(state.range(1));
    run.fullOctaves = true;
    run.writePictures = state.range(2) != 0;
    MachineObserver observer;
    noise::utils::NoiseMap finalMap;
    const auto machine = [&](bool second) {
        return [&, second] {
            change(run, second);
            runNoiseMachine(settings, run, folders, finalMap, noise::utils::ProgressReporter::Null(), observer);
        };
    };
    sidebyside::run(state, machine(false), machine(true), 3);
}

/// The generators point by point (libnoise's way, the fused path as it was: before) and a row at
/// a time with SIMD (noise::batch: after), with or without the pictures. Also reports the
/// process's high-water mark after them (the point-by-point run alone sets it: batch evaluation
/// adds a few rows of doubles per thread).
void FullOctavesBatchVsPointwise(benchmark::State &state)
{
    fullOctavesSideBySide(state, [](MachineRun &run, bool batch) { run.batchNoise = batch; });
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
    state.SetLabel(noise::batch::TargetName());
}

/// The pictures coloured and compressed one after another on one thread (before) and on the
/// run's threads (after): the same files.
void PicturesOnThreads(benchmark::State &state)
{
    fullOctavesSideBySide(state, [](MachineRun &run, bool parallel) { run.parallelPictures = parallel; });
}

/// Memory of the largest run: the same maps and pictures at 16384 with generators that cost
/// nothing, so that only the sizes count. Reports the process's high-water mark.
void PeakMemory16384(benchmark::State &state)
{
    NoiseSettings s;
    s.final.rightGradient = QStringLiteral("alpine.bmp");   // all nine maps
    QTemporaryDir dir;
    MachineFolders folders{dir.path(), QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/resources/gradients")};
    MachineRun run;
    run.size = 16384;
    run.fullOctaves = true;
    MachineObserver observer;
    noise::utils::NoiseMap finalMap;
    for (auto _ : state)
        runNoiseMachine(s, run, folders, finalMap, noise::utils::ProgressReporter::Null(), observer);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

// Arguments: map size, threads. The straightforward baseline is PerNode with one thread; each
// pair runs side by side in one process.
BENCHMARK(PerNode)->Args({512, 1})->Args({512, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Fused)->Args({512, 1})->Args({512, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PerNodeMapsOnly)->Args({512, 1})->Args({512, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FusedMapsOnly)->Args({512, 1})->Args({512, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PerNodeGabor)->Args({512, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(FusedGabor)->Args({512, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(Fused)->Name("FusedFullOctaves")->Args({4096, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
// Arguments: map size, threads, pictures (1: written, as in a real run; 0: the maps only).
BENCHMARK(FullOctavesBatchVsPointwise)->Args({1024, 2, 1})->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(FullOctavesBatchVsPointwise)->Args({4096, 2, 1})->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(FullOctavesBatchVsPointwise)->Args({4096, 2, 0})->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(PicturesOnThreads)->Args({4096, 2, 1})->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(PeakMemory16384)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}   // namespace
