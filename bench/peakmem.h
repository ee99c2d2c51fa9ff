#pragma once
// What the peak-memory programs share. Peak memory belongs to a process, so such a program runs
// each case as a child process of its own and reads the peak from the line the child prints.
#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <sys/resource.h>

#include <cstdio>
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

}   // namespace peakmem
