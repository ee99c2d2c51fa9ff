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

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: generate_peakmem compare|whole|bands SIZE\n");
    return 2;
}

int runOne(bool whole, int size)
{
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
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return usage();
    const std::string what = argv[1];
    const int size = std::atoi(argv[2]);
    if (size < 1)
        return usage();
    if (what == "whole" || what == "bands")
        return runOne(what == "whole", size);
    if (what != "compare")
        return usage();
    const std::vector<double> peaks = peakmem::runChildren({"whole", "bands"}, size);
    if (peaks[1] > 0)
        std::printf("peak memory, whole / bands: %.2f×\n", peaks[0] / peaks[1]);
    return 0;
}
