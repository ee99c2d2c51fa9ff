// Terrain lookup under the pointer, sculpting of the full mesh and the refresh of the decimated
// mesh from it.

#include "terrain/sculpt.h"
#include "terrain/terrainarrays.h"
#include "terrain/terrainlookup.h"

#include "noise/noisemap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

using orovista::SculptSettings;
using orovista::TerrainArrays;
using orovista::TerrainHit;

namespace {

constexpr int kSize = 1000;   // S
constexpr int kN = 512;

/// An n × n mesh laid out like the built one (centred on the origin, rows along +z, columns
/// along +x) with y = height(row, column, x, z); normals from recomputeTerrainNormals().
TerrainArrays gridMesh(int n, int size, const std::function<float(int, int, float, float)> &height)
{
    TerrainArrays a;
    a.gridSize = n;
    a.lastIndex = n - 1;
    a.spacing = float(double(size) / double(n - 1));
    const std::size_t count = std::size_t(n) * std::size_t(n);
    a.vertices.assign(3 * count, 0.0f);
    a.normals.assign(3 * count, 0.0f);
    const double centre = (n - 1) * 0.5;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            float *v = a.vertices.data() + 3 * (std::size_t(r) * n + c);
            v[0] = float((c - centre) * double(a.spacing));
            v[2] = float((r - centre) * double(a.spacing));
            v[1] = height(r, c, v[0], v[2]);
        }
    }
    orovista::recomputeTerrainNormals(a);
    return a;
}

TerrainArrays flatMesh(float y)
{
    return gridMesh(kN, kSize, [y](int, int, float, float) { return y; });
}

/// Heights with no structure at all, 0 … 50, so that every cell is bent along its diagonal.
TerrainArrays randomMesh(unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> height(0.0f, 50.0f);
    return gridMesh(kN, kSize, [&](int, int, float, float) { return height(random); });
}

const float *vertexAt(const TerrainArrays &a, int r, int c)
{
    return a.vertices.data() + 3 * (std::size_t(r) * a.gridSize + c);
}
float yAt(const TerrainArrays &a, int r, int c)
{
    return vertexAt(a, r, c)[1];
}

/// The world x (or z) of the point a fraction t of the way across cell @a cell.
double worldAt(const TerrainArrays &a, int cell, double t)
{
    return (cell + t) * double(a.spacing) - kSize / 2;
}

TerrainHit lookupInCell(const TerrainArrays &a, int column, int row, double tu, double tv)
{
    return orovista::terrainLookup(a, kSize, worldAt(a, column, tu), 0.0, worldAt(a, row, tv));
}

void expectUnitUpward(const TerrainHit &hit)
{
    const double length = std::hypot(hit.normal[0], hit.normal[1], hit.normal[2]);
    EXPECT_NEAR(length, 1.0, 1e-6);
    EXPECT_GT(hit.normal[1], 0.0f);
}

/// The height on the plane through three corners, interpolated barycentrically.
double triangleHeight(double y00, double ya, double yb, double sa, double sb)
{
    return y00 + sa * (ya - y00) + sb * (yb - ya);
}

}   // namespace

// ---------------------------------------------------------------------------------------------
// Terrain lookup

TEST(TerrainLookupTest, FlatMeshGivesTheVertexHeightAndAnUpwardNormal)
{
    const TerrainArrays mesh = flatMesh(12.5f);
    for (const auto &[column, row, tu, tv] : std::vector<std::tuple<int, int, double, double>> {
             {0, 0, 0.0, 0.0}, {17, 300, 0.5, 0.5}, {255, 256, 0.9, 0.1}, {510, 510, 0.99, 0.5}, {3, 509, 0.2, 0.8}}) {
        SCOPED_TRACE(testing::Message() << column << "," << row);
        const TerrainHit hit = lookupInCell(mesh, column, row, tu, tv);
        ASSERT_TRUE(hit.overTerrain);
        EXPECT_EQ(hit.column, column);
        EXPECT_EQ(hit.row, row);
        EXPECT_FLOAT_EQ(hit.height, 12.5f);
        EXPECT_EQ(hit.normal[0], 0.0f);
        EXPECT_EQ(hit.normal[1], 1.0f);
        EXPECT_EQ(hit.normal[2], 0.0f);
    }
}

TEST(TerrainLookupTest, SlopedPlaneGivesThePlaneHeightAndNormalInBothTriangles)
{
    // y = 0.3·x − 0.2·z + 40 in world coordinates; its upward normal is (−0.3, 1, 0.2) normalised.
    const auto plane = [](double x, double z) { return 0.3 * x - 0.2 * z + 40.0; };
    const TerrainArrays mesh = gridMesh(kN, kSize, [&](int, int, float x, float z) { return float(plane(x, z)); });
    const double length = std::sqrt(0.09 + 1.0 + 0.04);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> cell(0, kN - 2);
    std::uniform_real_distribution<double> fraction(0.01, 0.99);
    int above = 0, below = 0, diagonal = 0;
    for (int k = 0; k < 3000; ++k) {
        const int column = cell(random);
        int row = cell(random);
        double tu = fraction(random), tv = fraction(random);
        if (k % 3 == 2) {   // on the diagonal: the same cell and fraction along both axes
            row = column;
            tv = tu;
        }
        const double X = worldAt(mesh, column, tu), Z = worldAt(mesh, row, tv);
        const TerrainHit hit = orovista::terrainLookup(mesh, kSize, X, 5.0, Z);
        ASSERT_TRUE(hit.overTerrain) << X << "," << Z;
        (tv > tu ? above : tv < tu ? below : diagonal)++;
        ASSERT_NEAR(hit.height, plane(X, Z), 2e-3) << X << "," << Z;
        ASSERT_NEAR(hit.normal[0], -0.3 / length, 1e-5);
        ASSERT_NEAR(hit.normal[1], 1.0 / length, 1e-5);
        ASSERT_NEAR(hit.normal[2], 0.2 / length, 1e-5);
        EXPECT_EQ(hit.x, X);
        EXPECT_EQ(hit.y, 5.0);
        EXPECT_EQ(hit.z, Z);
    }
    EXPECT_GT(above, 500);
    EXPECT_GT(below, 500);
    EXPECT_EQ(diagonal, 1000);
}

TEST(TerrainLookupTest, BentCellUsesTheTriangleOnThePointsSideOfTheDiagonal)
{
    const TerrainArrays mesh = randomMesh(11);
    const double s = mesh.spacing;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> cell(0, kN - 2);
    std::uniform_real_distribution<double> fraction(0.02, 0.98);
    for (int k = 0; k < 2000; ++k) {
        const int column = cell(random);
        const int row = k % 4 == 3 ? column : cell(random);
        const double tu = fraction(random);
        const double tv = row == column && k % 4 == 3 ? tu : fraction(random);
        const TerrainHit hit = lookupInCell(mesh, column, row, tu, tv);
        ASSERT_TRUE(hit.overTerrain);
        ASSERT_EQ(hit.column, column);
        ASSERT_EQ(hit.row, row);
        expectUnitUpward(hit);

        const double y00 = yAt(mesh, row, column), y10 = yAt(mesh, row, column + 1);
        const double y01 = yAt(mesh, row + 1, column), y11 = yAt(mesh, row + 1, column + 1);
        // The two edges of the expected triangle from the (0,0) corner, to test the normal against.
        double e1[3], e2[3];
        double expected;
        if (tv > tu) {   // (0,0), (0,1), (1,1)
            expected = triangleHeight(y00, y01, y11, tv, tu);
            const double a[3] = {0.0, y01 - y00, s}, b[3] = {s, y11 - y00, s};
            std::copy(a, a + 3, e1);
            std::copy(b, b + 3, e2);
        } else {   // (0,0), (1,0), (1,1), also on the diagonal
            expected = triangleHeight(y00, y10, y11, tu, tv);
            const double a[3] = {s, y10 - y00, 0.0}, b[3] = {s, y11 - y00, s};
            std::copy(a, a + 3, e1);
            std::copy(b, b + 3, e2);
        }
        SCOPED_TRACE(testing::Message() << "cell " << column << "," << row << " at " << tu << "," << tv);
        ASSERT_NEAR(hit.height, expected, 2e-3);
        for (const double *e : {e1, e2}) {
            const double dot = hit.normal[0] * e[0] + hit.normal[1] * e[1] + hit.normal[2] * e[2];
            const double length = std::hypot(e[0], e[1], e[2]);
            ASSERT_NEAR(dot / length, 0.0, 1e-5);
        }
    }
}

TEST(TerrainLookupTest, PointsOnOrPastTheHighEdgesAreNotOverTheTerrain)
{
    // The vectors hold exactly N² vertices: a lookup that read the cell past the last row or column
    // would read past their ends.
    const TerrainArrays mesh = randomMesh(5);
    ASSERT_EQ(mesh.vertices.size(), std::size_t(3 * kN * kN));
    const double half = kSize / 2;
    const double s = mesh.spacing;
    const double inside = 0.0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto &[X, Z] : std::vector<std::pair<double, double>> {
             {half, inside},            // column 511: no cell to its right
             {half + 0.5 * s, inside},
             {inside, half},            // row 511
             {-half + 0.5 * s, half + 0.5 * s},   // row 511, column 0: the last "cell" index of all
             {half + 0.5 * s, half + 0.5 * s},
             {half + 3 * s, inside},
             {-half - 3 * s, -half + 5.5 * s},    // left of the mesh in row 5: not a cell of row 4
             {inside, -half - 3 * s},
             {nan, inside}, {inside, nan}, {inf, inside}, {-inf, inside}, {1e30, inside}, {inside, -1e30}}) {
        SCOPED_TRACE(testing::Message() << X << "," << Z);
        const TerrainHit hit = orovista::terrainLookup(mesh, kSize, X, 1.0, Z);
        EXPECT_FALSE(hit.overTerrain);
        EXPECT_EQ(hit.column, -1);
        EXPECT_EQ(hit.row, -1);
    }

    // Just inside the high edges is the last cell, whose far corners are the mesh's last vertices.
    const TerrainHit corner = orovista::terrainLookup(mesh, kSize, half - 0.001, 0.0, half - 0.001);
    ASSERT_TRUE(corner.overTerrain);
    EXPECT_EQ(corner.column, kN - 2);
    EXPECT_EQ(corner.row, kN - 2);
    EXPECT_NEAR(corner.height, yAt(mesh, kN - 1, kN - 1), 0.05);
}

TEST(TerrainLookupTest, LessThanOneSpacingBeforeTheLowEdgesReadsTheFirstCell)
{
    // Truncation toward zero: the first cell also answers for the sliver just outside it.
    const TerrainArrays mesh = flatMesh(3.0f);
    const TerrainHit hit = orovista::terrainLookup(mesh, kSize, -kSize / 2 - 0.4 * mesh.spacing, 0.0,
                                                   -kSize / 2 - 0.4 * mesh.spacing);
    ASSERT_TRUE(hit.overTerrain);
    EXPECT_EQ(hit.column, 0);
    EXPECT_EQ(hit.row, 0);
    EXPECT_FLOAT_EQ(hit.height, 3.0f);
}

TEST(TerrainLookupTest, EmptyOrInconsistentMeshIsNeverHit)
{
    EXPECT_FALSE(orovista::terrainLookup(TerrainArrays(), kSize, 0.0, 0.0, 0.0).overTerrain);
    TerrainArrays shortArrays = flatMesh(0.0f);
    shortArrays.vertices.resize(shortArrays.vertices.size() / 2);
    EXPECT_FALSE(orovista::terrainLookup(shortArrays, kSize, 0.0, 0.0, 0.0).overTerrain);
    TerrainArrays noSpacing = flatMesh(0.0f);
    noSpacing.spacing = 0.0f;
    EXPECT_FALSE(orovista::terrainLookup(noSpacing, kSize, 0.0, 0.0, 0.0).overTerrain);
}

TEST(TerrainLookupTest, AgreesWithTheBuiltMesh)
{
    noise::utils::NoiseMap map(kN, kN);
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x)
            map.SetValue(x, y, float(std::sin(x * 0.05) * std::cos(y * 0.031) + 0.01 * ((x * 31 + y * 17) % 13)));
    orovista::TerrainSource source;
    source.heightMap = &map;
    source.terrainSize = kSize;
    source.elevationLow = 0;
    source.elevationHigh = 100;
    const TerrainArrays mesh = orovista::buildTerrainArrays(source);
    ASSERT_EQ(mesh.gridSize, kN);

    for (int r = 0; r < kN - 1; r += 37) {
        for (int c = 0; c < kN - 1; c += 29) {
            SCOPED_TRACE(testing::Message() << r << "," << c);
            // At a vertex the surface passes through it, whichever cell the rounding picks.
            const float *v = vertexAt(mesh, r, c);
            const TerrainHit atVertex = orovista::terrainLookup(mesh, kSize, v[0] + 1e-4, 0.0, v[2] + 1e-4);
            ASSERT_TRUE(atVertex.overTerrain);
            EXPECT_NEAR(atVertex.height, v[1], 0.02);
            // Halfway between two vertices the point lies in their cell.
            const float *next = vertexAt(mesh, r + 1, c + 1);
            const TerrainHit centre = orovista::terrainLookup(mesh, kSize, 0.5 * (v[0] + next[0]), 0.0,
                                                              0.25 * v[2] + 0.75 * next[2]);
            ASSERT_TRUE(centre.overTerrain);
            EXPECT_EQ(centre.column, c);
            EXPECT_EQ(centre.row, r);
            EXPECT_NEAR(centre.height, triangleHeight(v[1], yAt(mesh, r + 1, c), next[1], 0.75, 0.5), 0.02);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Sculpting

namespace {

SculptSettings settings(int strength, int diameter)
{
    SculptSettings s;
    s.strength = strength;
    s.brushDiameter = diameter;
    s.terrainSize = kSize;
    return s;
}

/// A hit in the cell (column, row) with an upward normal, as the lookup gives on flat ground.
TerrainHit hitAt(const TerrainArrays &mesh, int column, int row)
{
    const TerrainHit hit = lookupInCell(mesh, column, row, 0.4, 0.3);
    EXPECT_TRUE(hit.overTerrain);
    return hit;
}

/// The (row, column) of every vertex whose position differs between @a before and @a after.
std::vector<std::pair<int, int>> movedVertices(const TerrainArrays &before, const TerrainArrays &after)
{
    std::vector<std::pair<int, int>> moved;
    for (int r = 0; r < before.gridSize; ++r)
        for (int c = 0; c < before.gridSize; ++c)
            for (int k = 0; k < 3; ++k)
                if (vertexAt(before, r, c)[k] != vertexAt(after, r, c)[k]) {
                    moved.emplace_back(r, c);
                    break;
                }
    return moved;
}

constexpr int kDiameterForRadius20 = 40;   // 40·512 / 1000 = 20.48
constexpr int kDiameterForRadius0 = 1;     // 512 / 1000 = 0

}   // namespace

TEST(SculptTest, BrushRadiusIsMeasuredInStepsOfThe512Grid)
{
    EXPECT_EQ(orovista::sculptBrushRadius(kDiameterForRadius20, kSize), 20);
    EXPECT_EQ(orovista::sculptBrushRadius(kDiameterForRadius0, kSize), 0);
    EXPECT_EQ(orovista::sculptBrushRadius(kSize, kSize), 512);
    EXPECT_EQ(orovista::sculptBrushRadius(166, kSize), 84);
    EXPECT_EQ(orovista::sculptBrushRadius(4000000, 4000000), 512);   // no overflow of D·512
    EXPECT_EQ(orovista::sculptBrushRadius(100, 0), 0);
}

TEST(SculptTest, NothingMovesWithZeroStrengthOrOffTheTerrain)
{
    // Some vertices lie below the floor: a zero-strength step must not lift them either.
    const TerrainArrays start = randomMesh(21);
    SculptSettings s = settings(0, kDiameterForRadius20);
    s.floor = 25;
    s.blendPercent = 100;
    TerrainArrays mesh = start;
    orovista::sculptStep(mesh, hitAt(mesh, 100, 200), s);
    EXPECT_EQ(mesh.vertices, start.vertices);

    s.strength = 40;
    TerrainHit off = hitAt(mesh, 100, 200);
    off.overTerrain = false;
    orovista::sculptStep(mesh, off, s);
    EXPECT_EQ(mesh.vertices, start.vertices);
}

TEST(SculptTest, ZeroRadiusMovesOnlyTheVertexOneRowAndColumnPastTheCorner)
{
    for (const auto &[column, row] : std::vector<std::pair<int, int>> {{200, 300}, {0, 0}, {kN - 2, kN - 2}}) {
        for (const bool lower : {false, true}) {
            SCOPED_TRACE(testing::Message() << column << "," << row << (lower ? " lower" : " raise"));
            const TerrainArrays start = flatMesh(0.0f);
            TerrainArrays mesh = start;
            SculptSettings s = settings(8, kDiameterForRadius0);
            s.lower = lower;
            s.paintBelowZero = true;
            s.floor = 0;
            orovista::sculptStep(mesh, hitAt(mesh, column, row), s);
            const auto moved = movedVertices(start, mesh);
            ASSERT_EQ(moved.size(), 1u);
            EXPECT_EQ(moved[0], std::make_pair(row + 1, column + 1));
            EXPECT_FLOAT_EQ(yAt(mesh, row + 1, column + 1), lower ? -0.5f : 0.5f);
        }
    }
}

TEST(SculptTest, BumpPeaksAtTheSquaresMiddleAndIsSymmetric)
{
    const TerrainArrays start = flatMesh(0.0f);
    TerrainArrays mesh = start;
    const int column = 200, row = 260, r = 20;
    orovista::sculptStep(mesh, hitAt(mesh, column, row), settings(16, kDiameterForRadius20));   // peak 1.0

    const int cr = row + 1, cc = column + 1;   // the middle of the square
    EXPECT_NEAR(yAt(mesh, cr, cc), 1.0f, 1e-6);
    for (int t = 0; t <= r + 2; ++t) {
        for (int q = 0; q <= r + 2; ++q) {
            SCOPED_TRACE(testing::Message() << t << "," << q);
            const float y = yAt(mesh, cr + t, cc + q);
            ASSERT_NEAR(yAt(mesh, cr - t, cc + q), y, 1e-6);
            ASSERT_NEAR(yAt(mesh, cr + t, cc - q), y, 1e-6);
            ASSERT_NEAR(yAt(mesh, cr + q, cc + t), y, 1e-6);
            if (t <= r && q < r) {
                ASSERT_GT(y, yAt(mesh, cr + t, cc + q + 1));   // falls off away from the middle
            }
            if (t > r || q > r) {
                ASSERT_EQ(y, 0.0f);   // the first row and column of the square and beyond
            }
        }
    }
    // The square spans rows and columns corner − r … corner + r + 1; nothing outside moves.
    for (const auto &[vr, vc] : movedVertices(start, mesh)) {
        ASSERT_GE(vr, row - r + 1);
        ASSERT_LE(vr, row + r + 1);
        ASSERT_GE(vc, column - r + 1);
        ASSERT_LE(vc, column + r + 1);
    }
    // The normals follow the new shape.
    const float *flank = mesh.normals.data() + 3 * (std::size_t(cr) * kN + cc - 8);
    EXPECT_LT(flank[0], -0.01f);
    EXPECT_NEAR(std::hypot(flank[0], flank[1], flank[2]), 1.0, 1e-5);
}

TEST(SculptTest, BlendDecidesBetweenVerticalAndAlongTheNormal)
{
    // A slope rising along +x: its normal leans toward −x.
    const TerrainArrays start = gridMesh(kN, kSize, [](int, int, float x, float) { return 0.5f * x + 300.0f; });
    const TerrainHit hit = hitAt(start, 250, 250);
    ASSERT_LT(hit.normal[0], -0.4f);
    const int cr = 251, cc = 251;

    TerrainArrays vertical = start;
    SculptSettings s = settings(16, kDiameterForRadius20);
    s.blendPercent = 0;
    orovista::sculptStep(vertical, hit, s);
    ASSERT_FALSE(movedVertices(start, vertical).empty());
    for (std::size_t i = 0; i < start.vertices.size(); i += 3) {
        ASSERT_EQ(vertical.vertices[i], start.vertices[i]);
        ASSERT_EQ(vertical.vertices[i + 2], start.vertices[i + 2]);
    }
    EXPECT_NEAR(yAt(vertical, cr, cc) - yAt(start, cr, cc), hit.normal[1], 1e-4);   // d = 1 along n, y part

    TerrainArrays along = start;
    s.blendPercent = 100;
    orovista::sculptStep(along, hit, s);
    const float *before = vertexAt(start, cr, cc);
    const float *after = vertexAt(along, cr, cc);
    EXPECT_NEAR(after[0] - before[0], hit.normal[0], 1e-4);
    EXPECT_NEAR(after[1] - before[1], hit.normal[1], 1e-4);
    EXPECT_NEAR(after[2] - before[2], hit.normal[2], 1e-4);

    TerrainArrays half = start;
    s.blendPercent = 50;
    orovista::sculptStep(half, hit, s);
    EXPECT_NEAR(vertexAt(half, cr, cc)[0] - before[0], 0.5 * hit.normal[0], 1e-4);
    EXPECT_NEAR(vertexAt(half, cr, cc)[1] - before[1], hit.normal[1], 1e-4);
}

TEST(SculptTest, FloorHoldsLoweredGroundUnlessPaintingBelowZero)
{
    const float floor = 5.0f;
    const TerrainArrays start = flatMesh(floor);
    SculptSettings s = settings(16, kDiameterForRadius20);
    s.floor = int(floor);
    s.lower = true;

    TerrainArrays held = start;
    for (int k = 0; k < 3; ++k)
        orovista::sculptStep(held, hitAt(held, 100, 100), s);
    EXPECT_EQ(held.vertices, start.vertices);

    TerrainArrays below = start;
    s.paintBelowZero = true;
    orovista::sculptStep(below, hitAt(below, 100, 100), s);
    EXPECT_NEAR(yAt(below, 101, 101), floor - 1.0f, 1e-6);

    // Raising is never held back by the floor.
    TerrainArrays raised = start;
    s.lower = false;
    s.paintBelowZero = false;
    orovista::sculptStep(raised, hitAt(raised, 100, 100), s);
    EXPECT_NEAR(yAt(raised, 101, 101), floor + 1.0f, 1e-6);
}

TEST(SculptTest, BrushAtAnEdgeIsClippedAndDoesNotWrapToTheOppositeEdge)
{
    const int r = 20;
    for (const auto &[column, row] : std::vector<std::pair<int, int>> {
             {0, 200}, {kN - 2, 200}, {200, 0}, {200, kN - 2}, {0, 0}, {kN - 2, kN - 2}}) {
        SCOPED_TRACE(testing::Message() << column << "," << row);
        const TerrainArrays start = flatMesh(0.0f);
        TerrainArrays mesh = start;
        orovista::sculptStep(mesh, hitAt(mesh, column, row), settings(16, kDiameterForRadius20));
        const auto moved = movedVertices(start, mesh);
        ASSERT_FALSE(moved.empty());
        EXPECT_FLOAT_EQ(yAt(mesh, row + 1, column + 1), 1.0f);
        for (const auto &[vr, vc] : moved) {
            ASSERT_LE(std::abs(vc - (column + 1)), r) << vr << "," << vc;
            ASSERT_LE(std::abs(vr - (row + 1)), r) << vr << "," << vc;
        }
    }
}

TEST(SculptTest, LargestBrushCoversTheMeshFromAnyCell)
{
    for (const auto &[column, row] : std::vector<std::pair<int, int>> {{255, 255}, {0, 0}, {kN - 2, 7}}) {
        SCOPED_TRACE(testing::Message() << column << "," << row);
        TerrainArrays mesh = flatMesh(0.0f);
        orovista::sculptStep(mesh, hitAt(mesh, column, row), settings(16, kSize));   // r = 512
        EXPECT_NEAR(yAt(mesh, row + 1, column + 1), 1.0f, 1e-6);
        for (std::size_t i = 1; i < mesh.vertices.size(); i += 3)
            ASSERT_TRUE(mesh.vertices[i] >= 0.0f && mesh.vertices[i] <= 1.0f) << i / 3;
    }
}

// ---------------------------------------------------------------------------------------------
// Decimated mesh refresh

TEST(DecimatedRefreshTest, CopiesEveryFourthVertexAndNormalOfTheFullMesh)
{
    TerrainArrays full = randomMesh(9);
    // Distinct normals everywhere, so that a wrong source index shows.
    for (std::size_t i = 0; i < full.normals.size(); ++i)
        full.normals[i] = float(i) * 1e-6f;
    TerrainArrays decimated = gridMesh(128, kSize, [](int, int, float, float) { return -7.0f; });

    orovista::refreshDecimatedFromFull(full, decimated);
    for (int r = 0; r < 128; ++r) {
        for (int c = 0; c < 128; ++c) {
            const std::size_t to = 3 * (std::size_t(r) * 128 + c);
            const std::size_t from = 3 * (std::size_t(4 * r) * kN + 4 * c);
            for (int k = 0; k < 3; ++k) {
                ASSERT_EQ(decimated.vertices[to + k], full.vertices[from + k]) << r << "," << c;
                ASSERT_EQ(decimated.normals[to + k], full.normals[from + k]) << r << "," << c;
            }
        }
    }
}

TEST(DecimatedRefreshTest, MismatchedOrEmptyMeshesAreLeftAlone)
{
    const TerrainArrays full = randomMesh(4);
    const TerrainArrays decimatedStart = gridMesh(128, kSize, [](int, int, float, float) { return -7.0f; });

    TerrainArrays decimated = decimatedStart;
    orovista::refreshDecimatedFromFull(TerrainArrays(), decimated);
    EXPECT_EQ(decimated.vertices, decimatedStart.vertices);

    TerrainArrays empty;
    orovista::refreshDecimatedFromFull(full, empty);
    EXPECT_TRUE(empty.vertices.empty());

    // A "decimated" mesh larger than the full one.
    TerrainArrays larger = full;
    TerrainArrays small = decimatedStart;
    orovista::refreshDecimatedFromFull(small, larger);
    EXPECT_EQ(larger.vertices, full.vertices);

    // Arrays shorter than the grid size claims.
    TerrainArrays truncated = full;
    truncated.normals.resize(truncated.normals.size() / 2);
    decimated = decimatedStart;
    orovista::refreshDecimatedFromFull(truncated, decimated);
    EXPECT_EQ(decimated.vertices, decimatedStart.vertices);
}
