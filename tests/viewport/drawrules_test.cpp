// The order of painted items and their depth writes while the user paints or drags.
#include "viewport/drawrules.h"

#include <gtest/gtest.h>

namespace {

using namespace orovista;

TEST(ItemDrawOrder, TheSelectedItemComesLast)
{
    EXPECT_TRUE(itemDrawOrder(0, -1).empty());
    EXPECT_TRUE(itemDrawOrder(0, 1).empty()) << "a selection without items";
    EXPECT_EQ(itemDrawOrder(4, -1), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(itemDrawOrder(4, 0), (std::vector<int>{0, 1, 2, 3})) << "0 means none";
    EXPECT_EQ(itemDrawOrder(4, 1), (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(itemDrawOrder(4, 3), (std::vector<int>{0, 1, 3, 2}));
    EXPECT_EQ(itemDrawOrder(4, 4), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(itemDrawOrder(4, 9), (std::vector<int>{0, 1, 2, 3})) << "a stale selection draws nothing twice";
}

TEST(ItemDepthWrite, FollowsModeButtonAndSelection)
{
    constexpr int paint = 1, edit = 2, terrain = 3, sky = 4;
    struct Row {
        DepthWriteCase c;
        std::optional<bool> expected;
    };
    const Row rows[] = {
        {{paint, true, true}, false},
        {{paint, true, false}, std::nullopt},
        {{paint, false, true}, std::nullopt},
        {{edit, false, true}, true},
        {{edit, false, false}, true},
        {{edit, true, true}, false},
        {{edit, true, false}, true},
        {{terrain, true, true}, std::nullopt},
        {{sky, false, false}, std::nullopt},
        // An imported terrain: the others write depth only with item stack on.
        {{paint, true, true, true, true}, false},
        {{paint, true, false, true, false}, false},
        {{paint, true, false, true, true}, true},
        {{edit, true, false, true, false}, false},
        {{edit, false, false, true, false}, true},
        {{terrain, true, false, true, true}, std::nullopt},
    };
    for (const Row &r : rows)
        EXPECT_EQ(itemDepthWrite(r.c), r.expected)
            << "mode " << r.c.glMode << " down " << r.c.leftButtonDown << " selected " << r.c.selected << " custom "
            << r.c.customTerrain << " stack " << r.c.itemStack;
}

}   // namespace
