#pragma once
// What the peak-memory programs share. Peak memory belongs to a process, so such a program runs
// each case as a child process of its own and reads the peak from the line the child prints.
#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace peakmem {

/// The high-water mark of this process's resident memory, in MiB.
inline double peakMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

/// Runs this program once per mode with the arguments (mode, size), echoes each child's line and
/// returns the "peak N" figure of each (0 where a child printed none).
inline std::vector<double> runChildren(const std::vector<const char *> &modes, int size)
{
    std::vector<double> peaks;
    for (const char *mode : modes) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode), QString::number(size)});
        child.waitForFinished(-1);
        const QByteArray line = child.readAllStandardOutput().trimmed();
        std::printf("%s\n", line.constData());
        const int at = int(line.indexOf("peak "));
        peaks.push_back(at >= 0 ? line.mid(at + 5).split(' ').value(0).toDouble() : 0.0);
    }
    return peaks;
}

/// The main of a peak-memory program: "MODE SIZE" runs one case, runOne(mode, size), in this
/// process; "compare SIZE" runs every mode in a child process of its own and hands the peaks, in
/// the order of the modes, to summary.
template <class RunOne, class Summary>
int main(int argc, char **argv, const std::vector<const char *> &modes, RunOne runOne, Summary summary)
{
    QCoreApplication app(argc, argv);
    const auto usage = [&] {
        std::string list = "compare";
        for (const char *mode : modes)
            list += std::string("|") + mode;
        std::fprintf(stderr, "usage: %s %s SIZE\n", argv[0], list.c_str());
        return 2;
    };
    if (argc != 3)
        return usage();
    const std::string what = argv[1];
    const int size = std::atoi(argv[2]);
    if (size < 1)
        return usage();
    if (what == "compare") {
        summary(runChildren(modes, size));
        return 0;
    }
    for (const char *mode : modes)
        if (what == mode)
            return runOne(what, size);
    return usage();
}

}   // namespace peakmem
