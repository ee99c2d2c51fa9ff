// libFuzzer target: the prop-file reader must take any bytes, and every geometry path it hands
// back must lie inside the library's Runtime folder or the maps folder.
//
// The bytes are written as <tmp>/lib/Runtime/Libraries/Props/x.pp2 in a small library made once
// per process: a few geometry files under Runtime/Geometries (one of them only reachable without
// regard to case), and files just outside Runtime that an escaping reference would find.
#include "library/propfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

/// In memory when the system has a tmpfs at /dev/shm: rewriting a truncated file on ext4 waits
/// for the disk at every close, which holds the fuzzer to a few hundred runs a second.
QString temporaryTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return (shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath()) + QStringLiteral("/pp2_fuzzer-XXXXXX");
}

struct Library {
    QTemporaryDir dir {temporaryTemplate()};
    QString runtime, maps, pp2;

    Library()
    {
        if (!dir.isValid())
            std::abort();
        const QString lib = dir.path() + QStringLiteral("/lib");
        runtime = lib + QStringLiteral("/Runtime");
        maps = dir.path() + QStringLiteral("/maps");
        pp2 = runtime + QStringLiteral("/Libraries/Props/x.pp2");
        for (const QString &folder : {runtime + QStringLiteral("/Libraries/Props"), runtime + QStringLiteral("/Geometries/trees"),
                                      runtime + QStringLiteral("/Geometries/Rocks"), lib + QStringLiteral("/RuntimeX/Geometries"),
                                      lib + QStringLiteral("/Geometries"), maps})
            QDir().mkpath(folder);
        for (const QString &file : {runtime + QStringLiteral("/Geometries/trees/oak.obj"),
                                    runtime + QStringLiteral("/Geometries/trees/pine.obj"),
                                    runtime + QStringLiteral("/Geometries/Rocks/Boulder.obj"),
                                    runtime + QStringLiteral("/Geometries/plain.obj"),
                                    lib + QStringLiteral("/RuntimeX/Geometries/oak.obj"),
                                    lib + QStringLiteral("/Geometries/oak.obj"), lib + QStringLiteral("/secret.obj"),
                                    dir.path() + QStringLiteral("/secret.obj")}) {
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly) || f.write("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n") != 32)
                std::abort();
        }
    }

    /// Inside the Runtime folder (the folder itself counts only for a missing reference, which
    /// names what was looked for) or directly inside the maps folder.
    bool allowed(const QString &path, bool missing) const
    {
        const QString clean = QDir::cleanPath(path);
        if (clean != path)
            return false;
        if (clean.startsWith(runtime + QLatin1Char('/')) || (missing && clean == runtime))
            return true;
        return clean.startsWith(maps + QLatin1Char('/')) && !clean.mid(maps.size() + 1).contains(QLatin1Char('/'));
    }
};

}   // namespace

/// Qt warns about every file name with a NUL in it ("Broken filename passed to function"); at
/// thousands of runs a second that is all the output would hold.
static void dropQtMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(dropQtMessages);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const Library lib;
    {
        QFile f(lib.pp2);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    const orovista::PropFile prop = orovista::readPropFile(lib.pp2, lib.maps);
    // A refused file may have found geometry before the line that stopped it; the other results
    // say whether there is any.
    if (prop.result != orovista::PropRefused &&
        (prop.result == orovista::PropGeometryReady || prop.result == orovista::PropGeometryMissing) ==
            prop.geometry.isEmpty()) {
        std::fprintf(stderr, "pp2_fuzzer: result %d with %d geometry paths\n", int(prop.result),
                     int(prop.geometry.size()));
        std::abort();
    }
    for (qsizetype i = 0; i < prop.geometry.size(); ++i) {
        const bool missing = prop.result == orovista::PropGeometryMissing && i == prop.geometry.size() - 1;
        if (!lib.allowed(prop.geometry[i], missing)) {
            std::fprintf(stderr, "pp2_fuzzer: geometry path outside the library: %s\n",
                         qPrintable(prop.geometry[i]));
            std::abort();
        }
    }
    return 0;
}
