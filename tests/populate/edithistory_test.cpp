// Undo and redo of hand work: item splices, sculpt strokes kept as rectangles, the memory bound.
#include "populate/edithistory.h"

#include <gtest/gtest.h>

#include <random>

using namespace orovista;

namespace {

PaintedItem item(float x, int yRot = 0)
{
    PaintedItem i;
    i.x = x;
    i.yRot = yRot;
    i.file = QStringLiteral("/props/pine.pp2");
    i.triangles = 100;
    return i;
}

TerrainArrays randomMesh(int n)
{
    TerrainArrays a;
    a.gridSize = n;
    a.lastIndex = n - 1;
    a.spacing = 1.0f;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> height(0.0f, 50.0f);
    a.vertices.resize(3 * std::size_t(n) * std::size_t(n));
    for (std::size_t v = 0; v < a.vertices.size(); v += 3) {
        a.vertices[v] = float(v % 97);
        a.vertices[v + 1] = height(random);
        a.vertices[v + 2] = float(v % 89);
    }
    a.normals.assign(a.vertices.size(), 0.0f);
    return a;
}

/// One step of a stroke at (row, column) as the viewport makes it: the history hears of the
/// region first, then the step moves it.
void sculptAt(EditHistory &history, TerrainArrays &mesh, int row, int column, bool lower = false)
{
    TerrainHit hit;
    hit.overTerrain = true;
    hit.row = row;
    hit.column = column;
    hit.normal[0] = 0.3f, hit.normal[1] = 0.9f, hit.normal[2] = 0.1f;
    SculptSettings s;
    s.strength = 80;
    s.blendPercent = 50;
    s.brushDiameter = 20;
    s.terrainSize = 1000;
    s.lower = lower;
    s.paintBelowZero = false;
    history.sculptStepAt(mesh, sculptRegion(mesh.gridSize, hit, s));
    sculptStep(mesh, hit, s);
}

}   // namespace

TEST(EditHistory, ItemStepsAreSplicesThatUndoAndRedoExactly)
{
    EditHistory history;
    std::vector<PaintedItem> items;
    TerrainArrays mesh;

    history.beginItems(items);   // a click and a drag trail: one step
    for (int i = 0; i < 4; ++i)
        items.push_back(item(float(i)));
    EXPECT_TRUE(history.endItems(items, "painting"));
    const std::vector<PaintedItem> painted = items;

    history.beginItems(items);   // a press that changes nothing keeps nothing
    EXPECT_FALSE(history.endItems(items, "painting"));
    EXPECT_FALSE(history.endItems(items, "painting")) << "no step begun";

    history.beginItems(items);
    items[2].yRot = 45;
    EXPECT_TRUE(history.endItems(items, "item edit"));
    const std::vector<PaintedItem> edited = items;
    EXPECT_LT(history.bytes(), 8 * sizeof(PaintedItem) + 1024) << "an edit keeps the one record, not the list";

    history.beginItems(items);
    items.erase(items.begin() + 1);
    EXPECT_TRUE(history.endItems(items, "delete"));
    history.beginItems(items);
    items.clear();
    EXPECT_TRUE(history.endItems(items, "delete all"));
    EXPECT_EQ(history.steps(), 4u);

    std::string label;
    EXPECT_EQ(history.undo(items, mesh, &label), EditHistory::Change::Items);
    EXPECT_EQ(label, "delete all");
    EXPECT_EQ(items.size(), 3u);
    history.undo(items, mesh);
    EXPECT_EQ(items, edited);
    history.undo(items, mesh);
    EXPECT_EQ(items, painted);
    history.undo(items, mesh);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(history.undo(items, mesh), EditHistory::Change::Nothing);

    history.redo(items, mesh);
    history.redo(items, mesh);
    EXPECT_EQ(items, edited);
    // A new step drops what could have been redone.
    history.beginItems(items);
    items.push_back(item(9.0f));
    history.endItems(items, "painting");
    EXPECT_FALSE(history.canRedo());
    history.undo(items, mesh);
    EXPECT_EQ(items, edited);
}

TEST(EditHistory, AStrokeKeepsItsRectangleAndGivesTheMeshBackBitForBit)
{
    TerrainArrays mesh = randomMesh(256);
    const TerrainArrays original = mesh;
    EditHistory history;
    std::vector<PaintedItem> items;

    // A drag from the middle to past the corner (the square clipped there), back over itself.
    history.beginStroke();
    for (int t = 0; t < 30; ++t)
        sculptAt(history, mesh, 120 + 5 * t, 100 + 6 * t);
    sculptAt(history, mesh, 130, 110);
    ASSERT_TRUE(history.endStroke(mesh));
    const TerrainArrays stroked = mesh;
    ASSERT_NE(stroked.vertices, original.vertices);

    // A second stroke lowering where the first passed.
    history.beginStroke();
    sculptAt(history, mesh, 140, 120, true);
    sculptAt(history, mesh, 10, 10, true);
    ASSERT_TRUE(history.endStroke(mesh));
    EXPECT_LT(history.bytes(), 2 * mesh.vertices.size() * sizeof(float))
        << "the strokes keep their rectangles, not two whole meshes each";

    EXPECT_EQ(history.undo(items, mesh), EditHistory::Change::Terrain);
    EXPECT_EQ(mesh.vertices, stroked.vertices);
    history.undo(items, mesh);
    EXPECT_EQ(mesh.vertices, original.vertices);
    history.redo(items, mesh);
    EXPECT_EQ(mesh.vertices, stroked.vertices);

    history.beginStroke();   // a stroke off the terrain keeps nothing
    EXPECT_FALSE(history.endStroke(mesh));
}

TEST(EditHistory, MemoryIsBoundedByDroppingTheOldestSteps)
{
    EditHistory history;
    history.maxSteps = 5;
    std::vector<PaintedItem> items;
    TerrainArrays mesh;
    for (int i = 0; i < 12; ++i) {
        history.beginItems(items);
        items.push_back(item(float(i)));
        history.endItems(items, "painting");
    }
    EXPECT_EQ(history.steps(), 5u);
    while (history.canUndo())
        history.undo(items, mesh);
    EXPECT_EQ(items.size(), 7u) << "only the last five clicks can be taken back";

    TerrainArrays big = randomMesh(256);
    history.clear();
    history.maxBytes = big.vertices.size() * sizeof(float);   // about one whole-mesh stroke
    for (int i = 0; i < 4; ++i) {
        history.beginStroke();
        for (int r = 0; r < 256; r += 8)
            sculptAt(history, big, r, r);
        history.endStroke(big);
        EXPECT_LE(history.bytes(), std::max(history.maxBytes, 2 * big.vertices.size() * sizeof(float) + 4096));
    }
    EXPECT_GE(history.steps(), 1u) << "the newest step stays even beyond the bound";
    EXPECT_LT(history.steps(), 4u);
}
