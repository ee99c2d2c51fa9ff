// Peak memory of the whole `orovista generate` of the shared workload with a texture, normal map
// and sky texture of SIZE: the machine keeping every node's map while it renders their pictures
// (the earlier way) against the pictures made a band of rows at a time. Peak memory belongs to
// a process, so each run is a process of its own:
//
//   generate_peakmem compare SIZE     runs the two below one after the other, prints their ratio
//   generate_peakmem whole SIZE       (and bands SIZE)
//
// The sky texture needs a SIZE of 4096, 8192 or 16384, or a power of two from 256.

#include "cli/generate.h"

#include "../peakmem.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

int runOne(const std::string &mode, int size)
{
    const bool whole = mode == "whole";
    QTemporaryDir dir;
    orovista::cli::GenerateOptions o;
    o.preset = QStringLiteral(OROVISTA_BENCH_WORKLOADS "/workload.opf");
    o.outFolder = dir.path();
    o.resourceFolder = QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData");
    o.textureSize = size;
    o.normalMapSize = size;
    o.skySize = size;
    o.wholeNodeMaps = whole;
    QElapsedTimer timer;
    timer.start();
    const QString problem = orovista::cli::generate(o, {});
    if (!problem.isEmpty())
        return std::fprintf(stderr, "%s\n", qPrintable(problem)), 1;
    std::printf("%s %d: %.1f s, peak %.1f MiB\n", whole ? "whole" : "bands", size, timer.elapsed() / 1000.0,
                peakmem::peakMiB());
    return 0;
}

}   // namespace

int main(int argc, char **argv)
{
    return peakmem::main(argc, argv, {"whole", "bands"}, runOne, [](const std::vector<double> &peaks) {
        if (peaks[1] > 0)
            std::printf("peak memory, whole / bands: %.2f×\n", peaks[0] / peaks[1]);
    });
}
