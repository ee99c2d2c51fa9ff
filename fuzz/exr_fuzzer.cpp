// libFuzzer target: the OpenEXR heightmap reader as the import calls it, on a file on disk. The
// first byte, when its high bit is set, stops the read through keepGoing after that many
// questions. What is refused says why in one line; what is read is a usable terrain of finite
// heights.
#include "fuzz/heightmapchecks.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {
QString file;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char name[] = "/dev/shm/exr_fuzzer_XXXXXX";
    const char *made = mkdtemp(name);
    if (!made)
        std::abort();
    file = QString::fromLocal8Bit(made) + QStringLiteral("/height.exr");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int stopAfter = data[0] & 0x80 ? data[0] & 0x7f : -1;
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1)) != qint64(size - 1))
            std::abort();
    }
    fuzzcheck::readAndCheck(file, stopAfter);
    return 0;
}
