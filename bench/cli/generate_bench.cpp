// The whole `orovista generate` of the shared workload: terrain, OBJ, texture. Peak memory is the
// process's high-water mark after the run (run the texture sizes in increasing order, or one per
// process with --benchmark_filter, to read each size's own peak).
#include "bench/sidebyside.h"
#include "cli/generate.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>

namespace {

void Generate(benchmark::State &state)
{
    QTemporaryDir dir;
    orovista::cli::GenerateOptions o;
    o.preset = QStringLiteral(OROVISTA_BENCH_WORKLOADS "/workload.opf");
    o.outFolder = dir.path();
    o.resourceFolder = QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData");
    o.textureSize = int(state.range(0));
    for (auto _ : state) {
        const QString problem = orovista::cli::generate(o, {});
        if (!problem.isEmpty())
            state.SkipWithError(problem.toUtf8().constData());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

BENCHMARK(Generate)->Arg(512)->Arg(4096)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

/// The whole run with the generators point by point (as before they were evaluated a row at a
/// time, before) and a row at a time (after), in interleaved pairs (bench/sidebyside.h).
void GenerateBatchVsPointwise(benchmark::State &state)
{
    orovista::cli::GenerateOptions o;
    o.preset = QStringLiteral(OROVISTA_BENCH_WORKLOADS "/workload.opf");
    o.resourceFolder = QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData");
    o.textureSize = int(state.range(0));
    QTemporaryDir dir;
    o.outFolder = dir.path();
    const auto generate = [&](bool batch) {
        return [&, batch] {
            o.batchNoise = batch;
            if (const QString problem = orovista::cli::generate(o, {}); !problem.isEmpty())
                state.SkipWithError(problem.toUtf8().constData());
        };
    };
    sidebyside::run(state, generate(false), generate(true), 3);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

BENCHMARK(GenerateBatchVsPointwise)->Arg(4096)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

}   // namespace
