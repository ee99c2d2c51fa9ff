// Sediment erosion's marks on the colour texture: wet streams darker, deposits under silt, the
// rest untouched, each texture pixel read where the machine samples it.
#include "terrain/sedimentmarks.h"

#include <gtest/gtest.h>

#include <vector>

using noise::utils::Color;
using orovista::SedimentMaps;
using orovista::SedimentTint;

namespace {

/// An 8 × 8 map as erosion leaves it (row 0 is the texture's last row, the picture's first): a
/// trickle everywhere, one great stream at column 5, row 3, and a metre laid down at column 2,
/// row 6.
SedimentMaps marked()
{
    SedimentMaps maps;
    maps.size = 8;
    maps.flow.assign(64, 1.0f);
    maps.wear.assign(64, 0.0f);
    maps.deposit.assign(64, 0.0f);
    maps.flow[3 * 8 + 5] = 1e6f;
    maps.deposit[6 * 8 + 2] = 1.0f;
    return maps;
}

/// Row y of an n-pixel grey texture after the tint.
std::vector<Color> tinted(const SedimentTint &tint, int y, int n)
{
    std::vector<Color> row(std::size_t(n), Color(100, 100, 100, 255));
    tint.tintRow(y, n, row.data());
    return row;
}

}   // namespace

TEST(SedimentTintTest, StreamsDarkenDepositsTakeSiltTheRestStays)
{
    const SedimentMaps maps = marked();
    // The machine's samples lie at x · 8 / 16 of the maps; an imported heightmap's at x · 7 / 14.
    // Texture row y reads map row 7 − that.
    for (const auto &[imported, n] : {std::pair{false, 16}, std::pair{true, 15}}) {
        const SedimentTint tint(maps, imported);
        EXPECT_EQ(tinted(tint, 8, n)[10], Color(55, 55, 55, 255)) << imported;        // 100 × (1 − 0.45)
        EXPECT_EQ(tinted(tint, 2, n)[4], Color(127, 121, 109, 255)) << imported;     // 100 + 0.3 (silt − 100)
        const std::vector<Color> plain = tinted(tint, 14, n);
        for (const Color &c : plain)
            EXPECT_EQ(c, Color(100, 100, 100, 255)) << "a trickle is no stream";
    }

    // Maps that are missing or do not fit change nothing.
    SedimentMaps broken = maps;
    broken.deposit.pop_back();
    for (const SedimentMaps &none : {SedimentMaps{}, broken}) {
        const SedimentTint tint(none, false);
        for (const Color &c : tinted(tint, 2, 16))
            EXPECT_EQ(c, Color(100, 100, 100, 255));
    }
}
