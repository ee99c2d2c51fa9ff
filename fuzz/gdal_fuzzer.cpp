// libFuzzer target: elevation models through GDAL as the import reads them, from files on disk
// with the names the allowed drivers look for. The first byte chooses the kind of file (a few
// are a header and its data: the bytes up to the first NUL are the header); the second, when
// its high bit is set, stops the read through keepGoing after that many questions. What is
// refused says why in one line; what is read is a usable terrain of finite heights.
#include "fuzz/heightmapchecks.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Kind {
    const char *data;
    const char *header;   // nullptr: a single file
};

const Kind kinds[] = {
    {"dem.tif", nullptr}, {"dem.asc", nullptr},     {"dem.dem", nullptr},     {"dem.bt", nullptr},
    {"dem.grd", nullptr}, {"n46.dt0", nullptr},     {"N45E006.hgt", nullptr}, {"dem.bil", "dem.hdr"},
    {"dem.img", "dem.hdr"}, {"dem.flt", "dem.hdr"}, {"dem.tif", "dem.tfw"},
};

QString folder;

void write(const QString &name, const char *data, std::size_t size)
{
    QFile f(folder + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(data, qint64(size)) != qint64(size))
        std::abort();
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char name[] = "/dev/shm/gdal_fuzzer_XXXXXX";
    const char *made = mkdtemp(name);
    if (!made)
        std::abort();
    folder = QString::fromLocal8Bit(made);
    // PROJ without its database: a coordinate system named by an EPSG code is then unknown, as on
    // a machine without proj.db, and the read goes on without one. Looking codes up in SQLite
    // under the sanitizers is four fifths of a run's time; the georeferencing arithmetic is still
    // reached through the systems spelled out in full (WKT in .prj files and headers).
    const QByteArray empty = QFile::encodeName(folder + QStringLiteral("/no-proj"));
    QDir().mkpath(folder + QStringLiteral("/no-proj"));
    setenv("PROJ_DATA", empty.constData(), 1);
    setenv("PROJ_LIB", empty.constData(), 1);
    setenv("PROJ_DEBUG", "0", 1);   // nor a line on every open saying so
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const Kind &kind = kinds[data[0] % (sizeof kinds / sizeof kinds[0])];
    const int stopAfter = data[1] & 0x80 ? data[1] & 0x7f : -1;
    const char *body = reinterpret_cast<const char *>(data + 2);
    std::size_t length = size - 2;
    if (kind.header) {
        const void *nul = std::memchr(body, 0, length);
        const std::size_t header = nul ? std::size_t(static_cast<const char *>(nul) - body) : length;
        write(QString::fromLatin1(kind.header), body, header);
        body += std::min(length, header + 1);
        length -= std::min(length, header + 1);
    }
    write(QString::fromLatin1(kind.data), body, length);

    fuzzcheck::readAndCheck(folder + QLatin1Char('/') + QLatin1String(kind.data), stopAfter);
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(folder + QLatin1Char('/') + name);
    return 0;
}
