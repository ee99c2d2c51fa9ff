// The painting rules on plain meshes: one item at a pick, the random rotation and scale ranges,
// the distance and mask tests, the scatter and its two ways of giving up, repositioning.
#include "populate/painting.h"

#include "library/glm.h"
#include "plugin/random.h"
#include "terrain/terrainlookup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

using namespace orovista;

namespace {

constexpr int S = 100;

/// A 64 × 64 mesh of side S centred on the origin, height y(x, z).
TerrainArrays mesh(const std::function<float(float, float)> &height)
{
    TerrainArrays a;
    const int n = 64;
    a.gridSize = n;
    a.lastIndex = n - 1;
    a.spacing = float(double(S) / (n - 1));
    a.vertices.assign(3 * std::size_t(n) * n, 0.0f);
    a.normals.assign(a.vertices.size(), 0.0f);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            float *v = &a.vertices[3 * (std::size_t(r) * n + c)];
            v[0] = float((c - (n - 1) * 0.5) * a.spacing);
            v[2] = float((r - (n - 1) * 0.5) * a.spacing);
            v[1] = height(v[0], v[2]);
        }
    recomputeTerrainNormals(a);
    return a;
}

PropChoice tree()
{
    PropChoice p;
    p.file = QStringLiteral("/lib/Runtime/Libraries/Props/Trees/pine.pp2");
    p.modelSlot = 3;
    p.tint[0] = 0.7f, p.tint[1] = 0.8f, p.tint[2] = 0.9f;
    p.triangles = 562;
    const float b[6] = {-1, 0, -1, 1, 5, 1};
    std::copy(b, b + 6, p.bounds);
    return p;
}

PaintPick at(double x, double y, double z) { return PaintPick{x, y, z, 0.5f}; }

}   // namespace

TEST(Painting, AClickPlacesOneItemOnTheGroundWithThePropsRecord)
{
    random::seed(7);
    const TerrainArrays flat = mesh([](float, float) { return 3.0f; });
    std::vector<PaintedItem> items;
    PaintSettings s;
    s.distance = 0;
    ASSERT_TRUE(paintItem(items, at(10.4, 40.0, -5.2), flat, S, {}, s, tree()));
    ASSERT_EQ(items.size(), 1u);
    const PaintedItem &i = items[0];
    EXPECT_FLOAT_EQ(i.x, 10.4f);
    EXPECT_FLOAT_EQ(i.z, -5.2f);
    EXPECT_FLOAT_EQ(i.y, 3.0f) << "on the ground, not at the picked height";
    EXPECT_EQ(i.id, 0);
    EXPECT_EQ(i.modelSlot, 3);
    EXPECT_EQ(i.file, tree().file);
    EXPECT_EQ(i.triangles, 562);
    EXPECT_FLOAT_EQ(i.maxY, 5.0f);
    EXPECT_FLOAT_EQ(i.green, 0.8f);
    EXPECT_EQ(i.xRot, 0);
    EXPECT_EQ(i.zRot, 0);
    EXPECT_FLOAT_EQ(i.scale, 100.0f);

    // With item stack on it takes the picked height (another item under the pointer).
    s.itemStack = true;
    ASSERT_TRUE(paintItem(items, at(0, 40.0, 0), flat, S, {}, s, tree()));
    EXPECT_FLOAT_EQ(items[1].y, 40.0f);
    EXPECT_EQ(items[1].id, 1);

    // The background, and points off the terrain, place nothing.
    PaintPick sky = at(0, 0, 0);
    sky.depth = 1.0f;
    EXPECT_FALSE(paintItem(items, sky, flat, S, {}, s, tree()));
    EXPECT_FALSE(paintItem(items, at(80, 0, 0), flat, S, {}, s, tree()));
    EXPECT_EQ(items.size(), 2u);
}

TEST(Painting, RotationsAndScalesStayInTheirRanges)
{
    random::seed(11);
    const TerrainArrays flat = mesh([](float, float) { return 0.0f; });
    const float up[3] = {0, 1, 0};
    PaintSettings s;
    s.angleRandom = 30;
    s.masterScale = 200;
    s.scaleRandom = 50;
    std::vector<PaintedItem> items;
    std::set<int> angles;
    for (int k = 0; k < 400; ++k) {
        const PaintedItem &i = createItem(items, 0, 0, 0, up, s, tree(), false);
        for (int r : {i.xRot, i.yRot, i.zRot}) {
            EXPECT_GE(r, -30);
            EXPECT_LE(r, 30);
            angles.insert(r);
        }
        EXPECT_GE(i.scale, 100.0f);
        EXPECT_LE(i.scale, 300.0f);
        EXPECT_FLOAT_EQ(std::fmod(i.scale, 2.0f), 0.0f) << "steps of 2 %";
        EXPECT_EQ(i.scaleX, i.scale);
    }
    EXPECT_TRUE(angles.count(-30) && angles.count(30)) << "both ends can be drawn";

    s.angleYSnap = true;
    s.scaleYOnly = true;
    s.scaleRandom = 0;
    s.masterScale = 100;
    std::set<int> snapped;
    for (int k = 0; k < 100; ++k) {
        const PaintedItem &i = createItem(items, 0, 0, 0, up, s, tree(), false);
        EXPECT_EQ(i.xRot, 0);
        EXPECT_EQ(i.zRot, 0);
        snapped.insert(i.yRot);
        EXPECT_EQ(i.scaleX, 100.0f);
        EXPECT_EQ(i.scaleY, 100.0f);
        EXPECT_EQ(i.scaleZ, 100.0f);
    }
    EXPECT_EQ(snapped, (std::set<int>{0, 90, 180, 270}));
}

TEST(Painting, OnASlopeTheBlendTiltsTheItem)
{
    // Rising along +x: the normal leans towards −x.
    const TerrainArrays slope = mesh([](float x, float) { return x * 0.5f; });
    PaintSettings s;
    s.distance = 0;
    std::vector<PaintedItem> items;
    s.blend = 100;
    ASSERT_TRUE(paintItem(items, at(5, 0, 5), slope, S, {}, s, tree()));
    const TerrainHit hit = terrainLookup(slope, S, 5, 0, 5);
    EXPECT_EQ(items[0].zRot, int(std::trunc(-std::asin(hit.normal[0]) * 180.0 / 3.141592653589793)));
    EXPECT_GT(items[0].zRot, 20);
    EXPECT_EQ(items[0].xRot, 0);
    s.blend = 0;
    ASSERT_TRUE(paintItem(items, at(-5, 0, 5), slope, S, {}, s, tree()));
    EXPECT_EQ(items[1].zRot, 0) << "upright whatever the slope";
}

TEST(Painting, TheDistanceTestComparesWholeNumberPositions)
{
    std::vector<PaintedItem> items(1);
    items[0].x = 10, items[0].y = 0, items[0].z = 10;
    EXPECT_FALSE(tooNear(items, 12.9, 0, 10, 0.0)) << "m = 0 never rejects";
    EXPECT_TRUE(tooNear(items, 12.9, 0, 10, 2.5)) << "12.9 counts as 12: 2 < 2.5";
    EXPECT_FALSE(tooNear(items, 13.0, 0, 10, 2.5));
    EXPECT_FALSE(tooNear({}, 0, 0, 0, 1e9));
}

TEST(Painting, TheMaskBlocksWhereItsRedIsZero)
{
    // Left half black, right half white; the mask covers the terrain's corner frame 0 … S.
    QImage mask(10, 10, QImage::Format_RGB32);
    mask.fill(Qt::white);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 5; ++x)
            mask.setPixel(x, y, qRgb(0, 255, 255));
    EXPECT_TRUE(maskBlocks(mask, 10, 50, S));
    EXPECT_FALSE(maskBlocks(mask, 60, 50, S));
    EXPECT_TRUE(maskBlocks(mask, 100, 50, S)) << "the far edge is off the image";
    EXPECT_TRUE(maskBlocks(QImage(), 60, 50, S)) << "no mask loaded: influence blocks all";

    const TerrainArrays flat = mesh([](float, float) { return 0.0f; });
    PaintSettings s;
    s.maskInfluence = true;
    s.distance = 0;
    std::vector<PaintedItem> items;
    EXPECT_FALSE(paintItem(items, at(-40, 0, 0), flat, S, mask, s, tree()));
    EXPECT_TRUE(paintItem(items, at(20, 0, 0), flat, S, mask, s, tree()));

    // A scatter over the black half gives up as completely masked.
    s.instances = 10;
    s.diameter = 20;
    const ScatterResult masked = paintItems(items, at(-30, 0, 0), flat, S, mask, s, tree());
    EXPECT_EQ(masked.outcome, ScatterResult::CompletelyMasked);
    EXPECT_EQ(masked.placed, 0);
    EXPECT_EQ(masked.failures, 513);
}

TEST(Painting, TheScatterPlacesItsInstancesInTheBrushOrGivesUp)
{
    random::seed(3);
    const TerrainArrays flat = mesh([](float, float) { return 1.0f; });
    PaintSettings s;
    s.instances = 40;
    s.diameter = 20;
    s.distance = 0;
    std::vector<PaintedItem> items;
    const ScatterResult done = paintItems(items, at(10, 0, 10), flat, S, {}, s, tree());
    EXPECT_EQ(done.outcome, ScatterResult::Done);
    EXPECT_EQ(done.placed, 40);
    for (const PaintedItem &i : items) {
        EXPECT_GE(i.x, 0.0f);
        EXPECT_LE(i.x, 20.0f);
        EXPECT_GE(i.z, 0.0f);
        EXPECT_LE(i.z, 20.0f);
        EXPECT_FLOAT_EQ(i.y, 1.0f);
    }

    // A minimum distance larger than the brush: one item, then the distance warning.
    items.clear();
    s.distance = 5000;   // 50 scene units
    const ScatterResult crowded = paintItems(items, at(10, 0, 10), flat, S, {}, s, tree());
    EXPECT_EQ(crowded.outcome, ScatterResult::DistanceFailed);
    EXPECT_EQ(crowded.placed, 1);
    EXPECT_EQ(items.size(), 1u);

    // Over the sky (depth 1) every candidate fails; a pick far off the terrain gives up at once.
    PaintPick sky = at(10, 0, 10);
    sky.depth = 1.0f;
    EXPECT_EQ(paintItems(items, sky, flat, S, {}, s, tree()).outcome, ScatterResult::CompletelyMasked);
    EXPECT_EQ(paintItems(items, at(1e6, 0, 1e6), flat, S, {}, s, tree()).outcome, ScatterResult::CompletelyMasked);
    EXPECT_EQ(paintItems(items, at(NAN, 0, 0), flat, S, {}, s, tree()).outcome, ScatterResult::CompletelyMasked);
    EXPECT_EQ(items.size(), 1u);
    EXPECT_TRUE(scatterWarning(ScatterResult::CompletelyMasked).startsWith(QStringLiteral("The area where objects")));
}

TEST(Painting, OnAnImportedTerrainTheNearestVertexNormalTiltsTheItem)
{
    // Two triangles of a roof leaning towards +x on one side and −x on the other.
    const std::string text = "v -1 0 -1\nv 0 1 -1\nv 0 1 1\nv -1 0 1\nv 1 0 -1\nv 1 0 1\n"
                             "f 1 4 3 2\nf 2 3 6 5\n";
    auto model = glmReadOBJFromBytes(text.data(), text.size(), QStringLiteral("roof.obj"));
    ASSERT_TRUE(model);
    glmFacetNormals(model.get());
    glmVertexNormals(model.get(), 30.0f);
    PaintSettings s;
    s.blend = 100;
    s.distance = 0;
    std::vector<PaintedItem> items;
    const float lit[3] = {0.5f, 0.5f, 0.5f}, dark[3] = {0.05f, 0.1f, 0.0f};
    ASSERT_TRUE(paintItemOnCustomTerrain(items, at(-0.9, 0.1, 0.9), lit, *model, s, tree()));
    EXPECT_FLOAT_EQ(items[0].y, 0.1f) << "at the picked point";
    // The normal of vertex 4 leans to −x: atan2(ny, nx) is above 90 degrees.
    const float *n = &model->vertexNormals[3 * 3];
    EXPECT_EQ(items[0].zRot, int(std::trunc(std::atan2(n[1], n[0]) * 180.0 / 3.141592653589793 - 90.0)));
    EXPECT_GT(items[0].zRot, 0);

    s.maskInfluence = true;
    EXPECT_FALSE(paintItemOnCustomTerrain(items, at(0.9, 0.1, 0.9), dark, *model, s, tree())) << "a dark pixel masks";
    EXPECT_TRUE(paintItemOnCustomTerrain(items, at(0.9, 0.1, 0.9), lit, *model, s, tree()));
    EXPECT_LT(items[1].zRot, 0);
}

TEST(Painting, RepositionPutsItemsBackOnTheSurfaceAtTheirCellCorner)
{
    const TerrainArrays flat = mesh([](float, float) { return 4.0f; });
    std::vector<PaintedItem> items(2);
    items[0].x = 10.3f, items[0].y = 50.0f, items[0].z = -7.7f, items[0].yRot = 77;
    items[1].x = 500.0f, items[1].y = 9.0f;
    for (const auto &[percent, yRot] : {std::pair{70, 63}, std::pair{90, 81}}) {
        std::vector<PaintedItem> one(1);
        repositionItems(one, flat, S, percent / 100.0);
        EXPECT_EQ(one[0].yRot, yRot) << "the slider's percent taken exactly, not through a float";
    }
    repositionItems(items, flat, S, 0.2);
    EXPECT_FLOAT_EQ(items[0].y, 4.0f);
    EXPECT_EQ(items[0].yRot, 18) << "trunc(90 · 0.2) on flat ground";
    EXPECT_EQ(items[0].xRot, 0);
    EXPECT_EQ(items[0].zRot, 0);
    const TerrainHit hit = terrainLookup(flat, S, 10.3, 0, -7.7);
    const float *corner = &flat.vertices[3 * (std::size_t(hit.row) * 64 + std::size_t(hit.column))];
    EXPECT_FLOAT_EQ(items[0].x, corner[0]);
    EXPECT_FLOAT_EQ(items[0].z, corner[2]);
    EXPECT_LE(items[0].x, 10.3f);
    EXPECT_FLOAT_EQ(items[1].x, 500.0f) << "off the terrain: left alone";
    EXPECT_FLOAT_EQ(items[1].y, 9.0f);
}

TEST(Painting, ANewTerrainKeepsItemsAtTheirHeightAboveTheGround)
{
    const TerrainArrays low = mesh([](float, float) { return 2.0f; });
    const TerrainArrays high = mesh([](float x, float) { return 10.0f + x; });
    std::vector<PaintedItem> items(3);
    items[0].x = 5, items[0].y = 2.0f;           // on the ground
    items[1].x = -5, items[1].y = 7.0f;          // lifted 5 above it
    items[2].x = 400, items[2].y = 1.0f;         // off the terrain
    const std::vector<float> ground = groundUnderItems(items, low, S);
    EXPECT_TRUE(std::isnan(ground[2]));
    reseatItems(items, ground, high, S);
    EXPECT_NEAR(items[0].y, terrainLookup(high, S, 5, 0, 0).height, 1e-5);
    EXPECT_NEAR(items[1].y, terrainLookup(high, S, -5, 0, 0).height + 5.0f, 1e-5);
    EXPECT_FLOAT_EQ(items[2].y, 1.0f);
}
