// libFuzzer target: the 16-bit PNG and RAW heightmap readers must take any bytes. A file that
// starts like a PNG goes to the PNG reader, anything else to the RAW reader (an odd length gives
// its last byte as the side, else the side comes from the length). What they accept must be a
// usable terrain: at least 2 × 2 finite heights, a square inside the raster, and a resampling
// of it that stays finite.
#include "fuzz/heightmapchecks.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    orovista::HeightmapReadOptions options;
    options.metresAt0 = -10.0;
    options.metresAt65535 = 300.0;
    const bool png = bytes.startsWith("\x89PNG");
    if (!png && bytes.size() % 2 == 1) {
        options.rawSize = quint8(bytes.back());
        bytes.chop(1);
    }
    orovista::Heightmap map;
    QString error;
    if (!orovista::readHeightmapBytes(bytes, png ? QStringLiteral("png") : QStringLiteral("raw"), options, &map, &error)) {
        fuzzcheck::refusal(error, false);
        return 0;
    }
    fuzzcheck::heightmap(map, -10.0f, 300.0f);

    // Holes where the heights are odd, filled from the rest: every cell known afterwards.
    std::vector<unsigned char> known(map.metres.size());
    for (std::size_t i = 0; i < known.size(); ++i)
        known[i] = (int(std::floor(map.metres[i] * 7.0f)) & 1) == 0;
    std::vector<float> values = map.metres;
    const int filled = orovista::fillNoData(values, known, map.width, map.height);
    for (std::size_t i = 0; i < known.size(); ++i)
        if ((filled >= 0 && known[i] != 1) || !std::isfinite(values[i]))
            std::abort();
    return 0;
}
