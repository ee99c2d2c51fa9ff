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

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

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
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s %d: %.1f s, peak %.1f MiB\n", whole ? "whole" : "bands", size, timer.elapsed() / 1000.0,
                usage.ru_maxrss / 1024.0);
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
    double peaks[2] = {};
    const char *modes[2] = {"whole", "bands"};
    for (int i = 0; i < 2; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(modes[i]), QString::number(size)});
        child.waitForFinished(-1);
        const QByteArray line = child.readAllStandardOutput().trimmed();
        std::printf("%s\n", line.constData());
        const int at = int(line.indexOf("peak "));
        peaks[i] = at >= 0 ? line.mid(at + 5).split(' ').value(0).toDouble() : 0.0;
    }
    if (peaks[1] > 0)
        std::printf("peak memory, whole / bands: %.2f×\n", peaks[0] / peaks[1]);
    return 0;
}
