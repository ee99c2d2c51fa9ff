// libFuzzer target: the preset reader must take any bytes, and what it reads must write and read
// back to the same settings.
#include "presets/presetfile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    orovista::NoiseSettings settings;
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    orovista::presets::read(text, settings, {size % 2 == 0, QStringLiteral("/native")});

    const QByteArray written = orovista::presets::write(settings);
    orovista::NoiseSettings again;
    orovista::presets::read(written, again, {true, {}});
    if (orovista::presets::write(again) != written)
        std::abort();
    return 0;
}
