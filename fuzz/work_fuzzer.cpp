// libFuzzer target: the work-file reader must take any bytes, and a work it reads must write and
// read back to the same bytes.
#include "presets/workfile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<orovista::work::Work> work = orovista::work::read(bytes, &error);
    if (!work) {
        if (error.isEmpty() || error.contains(QLatin1Char('\n')))
            std::abort();   // a refusal is one line
        return 0;
    }
    const QByteArray written = orovista::work::write(*work);
    const std::optional<orovista::work::Work> again = orovista::work::read(written, &error);
    if (!again || orovista::work::write(*again) != written)
        std::abort();
    return 0;
}
