// Erosion and smoothing: the grid algorithms one by one, then the whole erosion step on a height
// map with its grey picture.

#include "terrain/erosion.h"
#include "terrain/freecores.h"

#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "noise/progressreporter.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>

using noise::utils::NoiseMap;
using orovista::ErosionGrid;
using orovista::ErosionRequest;
using orovista::ErosionResult;
using orovista::ErosionType;
using orovista::HydraulicParams;

namespace {

constexpr int kSide = 512;

int countNonZero(const ErosionGrid &grid)
{
    return int(std::count_if(grid.cells().begin(), grid.cells().end(), [](float v) { return v != 0.0f; }));
}

/// A 512 × 512 grid of zeros with one raised cell at (r, c), after one pass of @a erode.
template <class Erode>
ErosionGrid oneRaisedCellAfter(int r, int c, float height, Erode erode)
{
    ErosionGrid grid(kSide);
    grid.at(r, c) = height;
    erode(grid);
    return grid;
}

/// A wavy map in −1 … 1 that every algorithm changes.
NoiseMap wavyMap(int side)
{
    NoiseMap map(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            map.SetValue(x, y, float(std::sin(x * 0.37) * std::cos(y * 0.23) + 0.1 * std::sin(x * y * 0.05)));
    return map;
}

std::vector<float> mapValues(const NoiseMap &map)
{
    std::vector<float> values;
    for (int y = 0; y < map.GetHeight(); ++y)
        for (int x = 0; x < map.GetWidth(); ++x)
            values.push_back(map.GetValue(x, y));
    return values;
}

/// A grey picture of the map's size, as the noise machine leaves it before erosion.
void writeGreyPicture(const QString &path, int side, int grey = 60)
{
    QImage picture(side, side, QImage::Format_RGB32);
    picture.fill(qRgb(grey, grey, grey));
    ASSERT_TRUE(picture.save(path, "JPG", 100));
}

struct RecordingReporter : noise::utils::ProgressReporter {
    void SetPanelText(const QString &text) override { panelTexts.push_back(text); }
    void ProcessEvents() override { ++eventPasses; }
    std::vector<QString> panelTexts;
    int eventPasses = 0;
};

}   // namespace

// --- Thermal erosion ---------------------------------------------------------------------------

TEST(ThermalErosionTest, RaisedCellLevelsWithItsFirstDiagonalNeighbour)
{
    const ErosionGrid grid = oneRaisedCellAfter(10, 10, 1.0f, [](ErosionGrid &g) { g.thermal(1); });
    EXPECT_EQ(grid.at(10, 10), 0.5f);
    EXPECT_EQ(grid.at(9, 9), 0.5f);
    EXPECT_EQ(grid.at(9, 10), 0.0f);
    EXPECT_EQ(grid.at(10, 9), 0.0f);
    EXPECT_EQ(grid.at(10, 11), 0.0f);
    EXPECT_EQ(grid.at(11, 10), 0.0f);
    EXPECT_EQ(countNonZero(grid), 2);
}

TEST(ThermalErosionTest, OnlyDiagonalDropsStrictlyAboveTheTalusCount)
{
    const float talus = float(4.0 / kSide);
    ErosionGrid grid(kSide);
    grid.at(20, 20) = talus;   // exactly at the talus: kept
    grid.thermal(1);
    EXPECT_EQ(grid.at(20, 20), talus);
    EXPECT_EQ(countNonZero(grid), 1);

    grid.at(20, 20) = talus * 1.5f;   // above it: levelled with (19, 19)
    grid.thermal(1);
    EXPECT_EQ(grid.at(20, 20), talus * 0.75f);
    EXPECT_EQ(grid.at(19, 19), talus * 0.75f);

    // The one interior cell of a 3 × 3 grid (talus 4 / 3), with its direct neighbours far below
    // and its diagonal neighbours level with it, stays.
    ErosionGrid cross(3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            cross.at(r, c) = (r + c) % 2 == 0 ? 10.0f : 0.0f;
    const std::vector<float> before = cross.cells();
    cross.thermal(1);
    EXPECT_EQ(cross.cells(), before);
    cross.at(2, 2) = 0.0f;
    cross.thermal(1);
    EXPECT_EQ(cross.at(1, 1), 5.0f);
    EXPECT_EQ(cross.at(2, 2), 5.0f);
}

TEST(ThermalErosionTest, NoPassesAndGridsWithoutInteriorDoNothing)
{
    ErosionGrid grid(kSide);
    grid.at(10, 10) = 1.0f;
    grid.thermal(0);
    grid.improved(-3);
    grid.hydraulic(0, HydraulicParams{});
    grid.smooth(0);
    EXPECT_EQ(grid.at(10, 10), 1.0f);
    EXPECT_EQ(countNonZero(grid), 1);

    ErosionGrid tiny(2);
    tiny.at(0, 0) = 1.0f;
    tiny.thermal(5);
    tiny.improved(5);
    EXPECT_EQ(tiny.at(0, 0), 1.0f);

    ErosionGrid empty(0);
    empty.thermal(3);
    empty.improved(3);
    empty.hydraulic(3, HydraulicParams{});
    empty.smooth(3);
    EXPECT_EQ(empty.size(), 0);
}

// --- Improved thermal erosion ------------------------------------------------------------------

TEST(ImprovedErosionTest, SteepSlopeIsLeftAlone)
{
    ErosionGrid grid(kSide);
    grid.at(100, 100) = 0.5f;   // far steeper than 12 / 512
    const std::vector<float> before = grid.cells();
    grid.improved(3);
    EXPECT_EQ(grid.cells(), before);
}

TEST(ImprovedErosionTest, GentleSlopeIsHalvedWithItsFirstLowestNeighbour)
{
    const ErosionGrid grid = oneRaisedCellAfter(100, 100, 0.01f, [](ErosionGrid &g) { g.improved(1); });
    EXPECT_EQ(grid.at(100, 100), 0.005f);
    EXPECT_EQ(grid.at(99, 99), 0.005f);
    EXPECT_EQ(countNonZero(grid), 2);

    // The largest drop wins, and of equal drops the first in the order (r−1, c−1) … (r+1, c+1).
    // Walls of 1.0 around the low cells are steeper than the talus and stay out of the way.
    ErosionGrid ordered(kSide);
    std::fill(ordered.cells().begin(), ordered.cells().end(), 1.0f);
    ordered.at(50, 50) = 0.01f;
    ordered.at(49, 49) = 0.006f;   // a smaller drop, earlier in the order
    ordered.at(50, 51) = 0.0f;     // the largest drop, (r, c+1) …
    ordered.at(51, 49) = 0.0f;     // … before the equal one at (r+1, c−1)
    ordered.improved(1);
    EXPECT_EQ(ordered.at(50, 50), 0.005f);
    EXPECT_EQ(ordered.at(50, 51), 0.005f);
    EXPECT_EQ(ordered.at(51, 49), 0.0f);
    EXPECT_EQ(ordered.at(49, 49), 0.006f);
    EXPECT_EQ(ordered.at(49, 50), 1.0f);
}

TEST(ImprovedErosionTest, DropAtTheTalusIsStillLevelled)
{
    const float talus = float(12.0 / kSide);
    ErosionGrid grid(kSide);
    grid.at(30, 30) = talus;
    grid.improved(1);
    EXPECT_EQ(grid.at(30, 30), talus * 0.5f);
    EXPECT_EQ(grid.at(29, 29), talus * 0.5f);
}

// --- Hydraulic erosion -------------------------------------------------------------------------

TEST(HydraulicErosionTest, WaterSmallerThanTheDropAllFlowsAway)
{
    ErosionGrid grid(3);
    grid.at(1, 1) = 0.5f;
    HydraulicParams k;
    k.rain = 0.1f;
    k.solubility = 0.1f;
    k.evaporation = 0.5f;
    k.capacity = 0.1f;
    grid.hydraulic(1, k);
    // Rain 0.1 everywhere; dissolving takes 0.01 (the border cells stop at 0). The centre's drop
    // to (0, 0) is 0.49 > its water, so all of it moves there: (0, 0) holds 0.2, the centre 0.
    // Evaporating half deposits 0.1 × 0.1 on (0, 0), 0.05 × 0.1 on the other border cells.
    EXPECT_NEAR(grid.at(1, 1), 0.49f, 1e-6);
    EXPECT_NEAR(grid.at(0, 0), 0.01f, 1e-6);
    EXPECT_NEAR(grid.at(0, 1), 0.005f, 1e-6);
    EXPECT_NEAR(grid.at(2, 2), 0.005f, 1e-6);
}

TEST(HydraulicErosionTest, WaterLargerThanTheDropMovesHalfTheDrop)
{
    ErosionGrid grid(3);
    grid.at(1, 1) = 0.05f;
    const HydraulicParams k = HydraulicParams::fromControls(100, 1, 50, 1);
    EXPECT_FLOAT_EQ(k.rain, 1.0f);
    EXPECT_FLOAT_EQ(k.solubility, 0.01f);
    EXPECT_FLOAT_EQ(k.evaporation, 0.5f);
    EXPECT_FLOAT_EQ(k.capacity, 0.01f);
    grid.hydraulic(1, k);
    // Water 1 everywhere, the centre dissolves to 0.04: drop 0.04 to (0, 0), which gains 0.02 of
    // water (1.02) while the centre keeps 0.98; half of each evaporates, depositing 1 %.
    EXPECT_NEAR(grid.at(0, 0), 0.0051f, 1e-6);
    EXPECT_NEAR(grid.at(1, 1), 0.0449f, 1e-6);
    EXPECT_NEAR(grid.at(2, 1), 0.005f, 1e-6);
}

TEST(HydraulicErosionTest, WaterStaysBetweenPassesOfOneCall)
{
    const HydraulicParams k = HydraulicParams::fromControls(10, 5, 50, 20);
    ErosionGrid twice(16), split(16);
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            twice.at(r, c) = split.at(r, c) = float((r * 7 + c * 3) % 11) / 10.0f;
    twice.hydraulic(2, k);
    split.hydraulic(1, k);
    split.hydraulic(1, k);   // starts with dry ground again
    EXPECT_NE(twice.cells(), split.cells());
}

// --- Smoothing ---------------------------------------------------------------------------------

TEST(SmoothingTest, ColumnsOuterInPlaceWithZeroOutside)
{
    ErosionGrid grid(kSide);
    std::fill(grid.cells().begin(), grid.cells().end(), 1.0f);
    grid.smooth(1);
    EXPECT_FLOAT_EQ(grid.at(0, 0), 4.0f / 9.0f);
    EXPECT_FLOAT_EQ(grid.at(1, 0), 49.0f / 81.0f);
    // (0, 1) comes after the whole first column: it sees the new (0, 0) and (1, 0).
    EXPECT_FLOAT_EQ(grid.at(0, 1), (4.0f / 9.0f + 49.0f / 81.0f + 4.0f) / 9.0f);
    EXPECT_EQ(grid.at(256, 256), 1.0f);

    const float corner = grid.at(0, 0);
    grid.smooth(1);
    EXPECT_LT(grid.at(0, 0), corner);   // the border keeps sinking
    EXPECT_EQ(grid.at(256, 256), 1.0f);
}

TEST(SmoothingTest, TinyGridsHaveOnlyBorderCells)
{
    ErosionGrid one(1);
    one.at(0, 0) = 9.0f;
    one.smooth(1);
    EXPECT_EQ(one.at(0, 0), 1.0f);

    ErosionGrid two(2);
    std::fill(two.cells().begin(), two.cells().end(), 1.0f);
    two.smooth(1);
    EXPECT_FLOAT_EQ(two.at(0, 0), 4.0f / 9.0f);
    EXPECT_FLOAT_EQ(two.at(1, 0), (4.0f / 9.0f + 3.0f) / 9.0f);
}

// --- The erosion step --------------------------------------------------------------------------

class ErodeHeightMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        picture = dir.filePath(QStringLiteral("HFFnoisePreview.jpg"));
        writeGreyPicture(picture, side);
    }

    ErosionRequest request(ErosionType type, int iterations)
    {
        ErosionRequest r;
        r.type = type;
        r.iterations = iterations;
        r.hydraulic = HydraulicParams::fromControls(20, 10, 90, 30);
        r.picturePath = picture;
        return r;
    }

    /// What the step must leave: the normalised grid, eroded by @a erode, scaled back to the map's values.
    template <class Erode>
    std::vector<float> expected(const NoiseMap &source, Erode erode)
    {
        const std::vector<float> v = mapValues(source);
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        const float range = *hi - *lo;
        ErosionGrid grid(side);
        grid.loadNormalised(source, *lo, range);
        erode(grid);
        NoiseMap out(side, side);
        grid.storeScaled(out, *lo, range);
        return mapValues(out);
    }

    const int side = 64;
    QTemporaryDir dir;
    QString picture;
};

TEST_F(ErodeHeightMapTest, EachTypeRunsItsFollowUpSmoothing)
{
    const NoiseMap source = wavyMap(side);
    const HydraulicParams k = request(ErosionType::Hydraulics, 0).hydraulic;
    struct Case {
        ErosionType type;
        int iterations;
        bool greyscale;
        std::function<void(ErosionGrid &)> erode;
    };
    const std::vector<Case> cases = {
        {ErosionType::Thermal, 16, true, [](ErosionGrid &g) { g.thermal(16); g.smooth(3); }},
        {ErosionType::ImprovedThermal, 7, true, [](ErosionGrid &g) { g.improved(7); g.smooth(1); }},
        {ErosionType::Hydraulics, 50, true, [&](ErosionGrid &g) { g.hydraulic(50, k); }},
        {ErosionType::Hydraulics, 51, true, [&](ErosionGrid &g) { g.hydraulic(51, k); g.smooth(1); }},
        {ErosionType::Smooth, 5, true, [](ErosionGrid &g) { g.smooth(5); }},
        {ErosionType::Smooth, 5, false, [](ErosionGrid &) {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.type) * 1000 + c.iterations + (c.greyscale ? 0 : 100000));
        NoiseMap map = source;
        ErosionRequest r = request(c.type, c.iterations);
        r.greyscaleMapMode = c.greyscale;
        const ErosionResult result = orovista::erodeHeightMap(map, r);
        EXPECT_EQ(result.outcome, ErosionResult::Outcome::Eroded);
        EXPECT_TRUE(result.pictureRewritten);
        EXPECT_EQ(mapValues(map), expected(source, c.erode));
    }
    // The 50 / 51 boundary is visible: 51 passes without the smoothing give another map.
    EXPECT_NE(expected(source, [&](ErosionGrid &g) { g.hydraulic(51, k); }),
              expected(source, [&](ErosionGrid &g) { g.hydraulic(51, k); g.smooth(1); }));
}

TEST_F(ErodeHeightMapTest, WriteBackKeepsTheMapsLevel)
{
    // The eroded map stays where the map was: a terrain cut into tiles shares one scale, and a
    // tile dropped by its own minimum would meet its neighbours in a cliff.
    const NoiseMap source = wavyMap(side);
    const std::vector<float> before = mapValues(source);
    const float minimum = *std::min_element(before.begin(), before.end());
    const float maximum = *std::max_element(before.begin(), before.end());
    ASSERT_LT(minimum, -0.5f);

    // "smooth terrain" outside the height view only normalises and writes back: the map again.
    NoiseMap same = source;
    ErosionRequest r = request(ErosionType::Smooth, 3);
    r.greyscaleMapMode = false;
    const ErosionResult result = orovista::erodeHeightMap(same, r);
    EXPECT_EQ(result.minimum, minimum);
    EXPECT_EQ(result.maximum, maximum);
    const std::vector<float> after = mapValues(same);
    for (std::size_t i = 0; i < after.size(); i += 97)
        EXPECT_NEAR(after[i], before[i], 1e-5);

    for (ErosionType type : {ErosionType::Thermal, ErosionType::ImprovedThermal, ErosionType::Hydraulics,
                             ErosionType::Smooth}) {
        NoiseMap map = source;
        ASSERT_TRUE(orovista::erodeHeightMap(map, request(type, 60)).eroded());
        const std::vector<float> v = mapValues(map);
        EXPECT_GE(*std::min_element(v.begin(), v.end()), minimum - 1e-5f) << int(type);
    }
}

TEST_F(ErodeHeightMapTest, PictureIsRewrittenFromTheGrid)
{
    // Left half low, right half high: after write-back the picture is black left, white right.
    NoiseMap map(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            map.SetValue(x, y, x < side / 2 ? -1.0f : 1.0f);
    ErosionRequest r = request(ErosionType::Smooth, 1);
    r.greyscaleMapMode = false;
    ASSERT_TRUE(orovista::erodeHeightMap(map, r).pictureRewritten);

    QImageReader reader(picture);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    const QImage result = reader.read();
    ASSERT_EQ(result.size(), QSize(side, side));
    EXPECT_LE(qRed(result.pixel(5, 20)), 2);
    EXPECT_GE(qRed(result.pixel(60, 20)), 253);
    EXPECT_EQ(qRed(result.pixel(60, 20)), qBlue(result.pixel(60, 20)));
}

TEST_F(ErodeHeightMapTest, GreyIsClampedWhenHydraulicsRaisesTheGridAboveOne)
{
    // Heavy rain and evaporation above 100 % deposit more than was dissolved: the grid ends above
    // 1, which must give white, not a wrapped-around dark grey.
    NoiseMap map(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            map.SetValue(x, y, x * 0.001f);
    ErosionRequest r = request(ErosionType::Hydraulics, 1);
    r.hydraulic = HydraulicParams::fromControls(100, 1, 150, 100);
    const ErosionResult result = orovista::erodeHeightMap(map, r);
    ASSERT_TRUE(result.pictureRewritten);
    const float range = result.maximum - result.minimum;
    ASSERT_GT(map.GetValue(20, 20), range * 1.2f);   // grid value above 1

    const QImage image(picture);
    for (int y = 8; y < side - 8; y += 8)
        for (int x = 8; x < side - 8; x += 8)
            EXPECT_GE(qGray(image.pixel(x, y)), 250) << x << "," << y;

    ErosionGrid grid(16);
    for (int r0 = 0; r0 < 16; ++r0)
        for (int c = 0; c < 16; ++c)
            grid.at(r0, c) = c < 8 ? (r0 < 8 ? 2.0f : 1.5f) : (r0 < 8 ? -0.5f : 0.5f);
    const QString small = dir.filePath(QStringLiteral("small.jpg"));
    writeGreyPicture(small, 16);
    ASSERT_TRUE(orovista::rewriteGreyPicture(small, grid));
    const QImage clamped(small);
    EXPECT_GE(qGreen(clamped.pixel(3, 3)), 253);
    EXPECT_GE(qGreen(clamped.pixel(3, 12)), 253);
    EXPECT_LE(qGreen(clamped.pixel(12, 3)), 2);
    EXPECT_NEAR(qGreen(clamped.pixel(12, 12)), 127, 2);
}

// The rewritten picture is written a band of rows at a time: the bytes must be those of the whole
// grey picture compressed at once, over more than one band and with values beyond 0 … 1; a
// one-channel picture keeps its format.
TEST_F(ErodeHeightMapTest, GreyPictureRowsAreTheWholePictureByteForByte)
{
    for (int n : {1, 63, 130}) {
        ErosionGrid grid(n);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                grid.at(r, c) = std::sin(r * 0.37f + c * 0.11f) * 0.7f + 0.45f;
        QImage expected(n, n, QImage::Format_RGB32);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const float v = grid.at(r, c) * 255.0f;
                const int level = v >= 255.0f ? 255 : v > 0.0f ? int(v) : 0;
                expected.setPixel(c, r, qRgb(level, level, level));
            }
        const QString whole = dir.filePath(QStringLiteral("whole.jpg"));
        ASSERT_TRUE(orovista::files::writePicture(whole, expected).isEmpty());
        const QString rows = dir.filePath(QStringLiteral("rows.jpg"));
        writeGreyPicture(rows, n);
        ASSERT_TRUE(orovista::rewriteGreyPicture(rows, grid));
        QFile a(whole), b(rows);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_TRUE(a.readAll() == b.readAll()) << n;
    }
    const QString grey = dir.filePath(QStringLiteral("grey.jpg"));
    QImage oneChannel(20, 20, QImage::Format_Grayscale8);
    oneChannel.fill(90);
    ASSERT_TRUE(oneChannel.save(grey, "JPG", 100));
    ErosionGrid grid(20);
    ASSERT_TRUE(orovista::rewriteGreyPicture(grey, grid));
    EXPECT_EQ(QImageReader(grey).imageFormat(), QImage::Format_Grayscale8);
    EXPECT_EQ(qGray(QImage(grey).pixel(5, 5)), 0);
}

TEST_F(ErodeHeightMapTest, ProgressTextAndOneEventPass)
{
    NoiseMap map = wavyMap(side);
    RecordingReporter reporter;
    orovista::erodeHeightMap(map, request(ErosionType::Thermal, 2), &reporter);
    ASSERT_EQ(reporter.panelTexts.size(), 2u);
    EXPECT_EQ(reporter.panelTexts[0], QStringLiteral("eroding terrain ...\n\n1/1"));
    EXPECT_EQ(reporter.panelTexts[1], QString());
    EXPECT_EQ(reporter.eventPasses, 1);
}

TEST_F(ErodeHeightMapTest, NothingHappensWithoutAnErosionType)
{
    NoiseMap map = wavyMap(side);
    const std::vector<float> before = mapValues(map);
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();

    RecordingReporter reporter;
    const ErosionResult result = orovista::erodeHeightMap(map, request(ErosionType::None, 100), &reporter);
    EXPECT_EQ(result.outcome, ErosionResult::Outcome::NotRequested);
    EXPECT_EQ(mapValues(map), before);
    EXPECT_TRUE(reporter.panelTexts.empty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);

    orovista::FinalSettings settings;
    EXPECT_FALSE(orovista::erosionRequested(settings));
    settings.erosionType = int(ErosionType::Thermal);
    EXPECT_FALSE(orovista::erosionRequested(settings));   // 0 iterations
    settings.erosionIterations = 1;
    EXPECT_TRUE(orovista::erosionRequested(settings));
    settings.erosionType = int(ErosionType::None);
    EXPECT_FALSE(orovista::erosionRequested(settings));
}

TEST_F(ErodeHeightMapTest, FlatEmptyAndNonSquareMapsAreSkipped)
{
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();

    NoiseMap flat(side, side);
    flat.Clear(0.25f);
    RecordingReporter reporter;
    const ErosionResult result = orovista::erodeHeightMap(flat, request(ErosionType::Thermal, 10), &reporter);
    EXPECT_EQ(result.outcome, ErosionResult::Outcome::SkippedFlat);
    EXPECT_FALSE(result.pictureRewritten);
    EXPECT_EQ(flat.GetValue(7, 9), 0.25f);
    EXPECT_EQ(reporter.panelTexts.back(), QString());   // the panel is cleared again
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);

    NoiseMap empty;
    EXPECT_EQ(orovista::erodeHeightMap(empty, request(ErosionType::Hydraulics, 10)).outcome,
              ErosionResult::Outcome::SkippedEmpty);
    NoiseMap wide(8, 4);
    wide.SetValue(1, 1, 1.0f);
    EXPECT_EQ(orovista::erodeHeightMap(wide, request(ErosionType::Smooth, 10)).outcome,
              ErosionResult::Outcome::SkippedEmpty);
    EXPECT_EQ(wide.GetValue(1, 1), 1.0f);
}

TEST_F(ErodeHeightMapTest, MissingPictureStillErodesTheMap)
{
    NoiseMap map = wavyMap(side);
    const std::vector<float> before = mapValues(map);
    ErosionRequest r = request(ErosionType::Thermal, 4);
    r.picturePath = dir.filePath(QStringLiteral("missing/HFFnoisePreview.jpg"));
    const ErosionResult result = orovista::erodeHeightMap(map, r);
    EXPECT_TRUE(result.eroded());
    EXPECT_FALSE(result.pictureRewritten);
    EXPECT_NE(mapValues(map), before);
    EXPECT_FALSE(QFile::exists(r.picturePath));

    // An unreadable picture is left as it is.
    const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    r.picturePath = broken;
    EXPECT_FALSE(orovista::erodeHeightMap(map, r).pictureRewritten);
    EXPECT_EQ(QFileInfo(broken).size(), 13);
}

TEST_F(ErodeHeightMapTest, PictureOfAnotherSizeKeepsItsSize)
{
    writeGreyPicture(picture, side / 2, 200);
    NoiseMap map = wavyMap(side);
    ASSERT_TRUE(orovista::erodeHeightMap(map, request(ErosionType::Thermal, 1)).pictureRewritten);
    EXPECT_EQ(QImage(picture).size(), QSize(side / 2, side / 2));
}

TEST(ErosionRequestTest, FromTheFinalNodeSettings)
{
    orovista::FinalSettings settings;
    settings.erosionType = int(ErosionType::Hydraulics);
    settings.erosionIterations = 120;
    settings.erosionRain = 3;
    settings.erosionSolubility = 7;
    settings.erosionEvaporation = 150;
    settings.erosionCapacity = 100;
    const ErosionRequest r = ErosionRequest::fromSettings(settings, false, QStringLiteral("/tmp/maps"));
    EXPECT_EQ(r.type, ErosionType::Hydraulics);
    EXPECT_EQ(r.iterations, 120);
    EXPECT_EQ(r.hydraulic.rain, 3.0f * 0.01f);
    EXPECT_EQ(r.hydraulic.solubility, 7.0f * 0.01f);
    EXPECT_EQ(r.hydraulic.evaporation, 150.0f * 0.01f);
    EXPECT_EQ(r.hydraulic.capacity, 100.0f * 0.01f);
    EXPECT_FALSE(r.greyscaleMapMode);
    EXPECT_EQ(r.picturePath, QStringLiteral("/tmp/maps/HFFnoisePreview.jpg"));
}

// --- Erosion on several threads ----------------------------------------------------------------
//
// The threaded sweeps must give the sequential grid bit for bit, whatever the size, the number of
// passes, the parameters and the number of threads (more threads than cores included: the
// threads are then interrupted at arbitrary points, which shakes the hand-over between rows).
// On grids up to 768 cells a side, 16 passes and more are shared in bands of rows whose bounds
// follow the threads' measured speeds, so they differ from run to run (100 passes). Otherwise
// the threads share whole passes when the passes divide evenly enough among them (2 and 12
// passes on 2 or 3 threads, and 20 on the grid of 1030), the last one row by row once a thread
// is done with its own, or else run the wavefront over the rows (1 and 7 passes; 2 on 3
// threads): the pass counts below take all three ways. Smoothing shares strips of 8 columns in
// the same ways, so its sizes include widths that leave a narrow last strip.

namespace {

enum class Algorithm { Thermal, Improved, Hydraulic, Smooth };

const char *algorithmName(Algorithm a)
{
    switch (a) {
    case Algorithm::Thermal:
        return "thermal";
    case Algorithm::Improved:
        return "improved";
    case Algorithm::Hydraulic:
        return "hydraulic";
    case Algorithm::Smooth:
        return "smooth";
    }
    return "?";
}

/// A reproducible grid: a smooth slope with a pseudo-random roughness of @a amplitude (relative
/// to 1 / side, the scale of the talus), plus a few plateaus that give equal drops.
ErosionGrid roughGrid(int side, float amplitude, unsigned seed)
{
    ErosionGrid grid(side);
    std::uint32_t state = seed * 2654435761u + 12345u;
    const auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return float(state & 0xffffff) / float(0x1000000);
    };
    const float step = side > 0 ? 1.0f / float(side) : 1.0f;
    for (int r = 0; r < side; ++r) {
        for (int c = 0; c < side; ++c) {
            float v = 0.5f + 0.3f * std::sin(r * 0.11f) * std::cos(c * 0.07f) + amplitude * step * next();
            if ((r / 5 + c / 7) % 9 == 0)
                v = 0.25f;   // plateau
            grid.at(r, c) = v;
        }
    }
    return grid;
}

void erode(ErosionGrid &grid, Algorithm a, int passes, const HydraulicParams &k, int threads)
{
    switch (a) {
    case Algorithm::Thermal:
        grid.thermal(passes, threads);
        break;
    case Algorithm::Improved:
        grid.improved(passes, threads);
        break;
    case Algorithm::Hydraulic:
        grid.hydraulic(passes, k, threads);
        break;
    case Algorithm::Smooth:
        grid.smooth(passes, threads);
        break;
    }
}

bool sameBits(const ErosionGrid &a, const ErosionGrid &b)
{
    return a.size() == b.size()
           && std::memcmp(a.data(), b.data(), a.cells().size() * sizeof(float)) == 0;
}

/// Index of the first differing cell, for the failure message.
std::ptrdiff_t firstDifference(const ErosionGrid &a, const ErosionGrid &b)
{
    const auto where = std::mismatch(a.cells().begin(), a.cells().end(), b.cells().begin(),
                                     [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; });
    return where.first - a.cells().begin();
}

const std::vector<HydraulicParams> &hydraulicParamSets()
{
    static const std::vector<HydraulicParams> sets = {
        HydraulicParams{},
        HydraulicParams::fromControls(20, 10, 90, 30),
        HydraulicParams::fromControls(100, 1, 150, 100),   // deposits more than it dissolves
        HydraulicParams::fromControls(1, 1, 90, 1),
        HydraulicParams::fromControls(50, 40, 10, 0),
    };
    return sets;
}

/// Sequential against @a threads threads for one case; returns whether the erosion changed the
/// grid at all (so that the cases are known to exercise the algorithm).
bool expectThreadedEqualsSequential(Algorithm a, int side, int passes, float amplitude, const HydraulicParams &k,
                                    int threads, unsigned seed)
{
    const ErosionGrid start = roughGrid(side, amplitude, seed);
    ErosionGrid sequential = start;
    if (a == Algorithm::Thermal)
        sequential.thermalPlain(passes);   // the vector bands run with one thread as well
    else
        erode(sequential, a, passes, k, 1);
    ErosionGrid threaded = start;
    erode(threaded, a, passes, k, threads);
    EXPECT_TRUE(sameBits(sequential, threaded))
        << algorithmName(a) << " side " << side << " passes " << passes << " amplitude " << amplitude
        << " threads " << threads << ": first difference at cell " << firstDifference(sequential, threaded);
    return !sameBits(start, sequential);
}

}   // namespace

class ThreadedErosionTest : public ::testing::TestWithParam<Algorithm> {};

TEST_P(ThreadedErosionTest, SmallAndOddSizesEqualTheSequentialSweep)
{
    const Algorithm a = GetParam();
    int changed = 0, cases = 0;
    for (int side : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 16, 17, 20, 26, 31, 64, 65, 129}) {
        for (int passes : {1, 2, 7, 12, 100}) {
            for (int threads : {1, 2, 3}) {
                if (threads == 1 && a != Algorithm::Thermal)
                    continue;
                for (float amplitude : {0.5f, 3.0f, 20.0f}) {
                    const HydraulicParams &k = hydraulicParamSets()[std::size_t(cases) % hydraulicParamSets().size()];
                    changed += expectThreadedEqualsSequential(a, side, passes, amplitude, k, threads,
                                                              unsigned(side * 131 + passes));
                    ++cases;
                }
            }
        }
    }
    EXPECT_GT(changed, cases / 2);   // most cases really erode
}

TEST_P(ThreadedErosionTest, Grid512EqualsTheSequentialSweep)
{
    const Algorithm a = GetParam();
    for (int passes : {1, 2, 7, 11, 100}) {
        const HydraulicParams &k = hydraulicParamSets()[std::size_t(passes) % hydraulicParamSets().size()];
        EXPECT_TRUE(expectThreadedEqualsSequential(a, 512, passes, 4.0f, k, 2, unsigned(passes)));
    }
    // Automatic choice (several threads on a multi-core machine) and more threads than cores.
    EXPECT_TRUE(expectThreadedEqualsSequential(a, 512, 5, 4.0f, HydraulicParams{}, ErosionGrid::kAutomaticThreads, 9));
    EXPECT_TRUE(expectThreadedEqualsSequential(a, 257, 3, 4.0f, HydraulicParams::fromControls(20, 10, 90, 30), 4, 10));
    // Many whole passes on a grid too large for the bands.
    EXPECT_TRUE(expectThreadedEqualsSequential(a, 1030, 20, 4.0f, HydraulicParams{}, 2, 11));
}

TEST(ThermalBandsTest, NaNInfinitiesAndEqualDropsAsThePlainSweep)
{
    // Comparisons with NaN are false, infinities make infinite drops and inf − inf levels to NaN:
    // the bands must take exactly the plain sweep's branches for all of them.
    for (int side : {14, 27, 40}) {
        ErosionGrid start = roughGrid(side, 8.0f, unsigned(side));
        for (int i = 0; i < side * side; i += 7) {
            float &cell = start.cells()[std::size_t(i)];
            switch (i % 5) {
            case 0: cell = std::numeric_limits<float>::quiet_NaN(); break;
            case 1: cell = std::numeric_limits<float>::infinity(); break;
            case 2: cell = -std::numeric_limits<float>::infinity(); break;
            case 3: cell = -0.0f; break;
            default: cell = std::numeric_limits<float>::max(); break;
            }
        }
        ErosionGrid plain = start;
        plain.thermalPlain(6);
        for (int threads : {1, 2}) {
            ErosionGrid banded = start;
            banded.thermal(6, threads);
            EXPECT_TRUE(sameBits(plain, banded)) << "side " << side << " threads " << threads
                                                 << ": first difference at cell " << firstDifference(plain, banded);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllAlgorithms, ThreadedErosionTest,
                         ::testing::Values(Algorithm::Thermal, Algorithm::Improved, Algorithm::Hydraulic,
                                           Algorithm::Smooth),
                         [](const ::testing::TestParamInfo<Algorithm> &info) {
                             return std::string(algorithmName(info.param));
                         });

TEST(ThreadedHydraulicErosionTest, EveryParameterSetEqualsTheSequentialSweep)
{
    for (const HydraulicParams &k : hydraulicParamSets())
        for (int side : {3, 6, 100})
            for (int passes : {1, 2, 7, 100})
                EXPECT_TRUE(expectThreadedEqualsSequential(Algorithm::Hydraulic, side, passes, 2.0f, k, 2,
                                                           unsigned(side + passes)));
}

TEST(ThreadedErosionTest, AutomaticChoiceKeepsSmallWorkSequential)
{
    EXPECT_EQ(ErosionGrid::automaticThreads(0, 100), 1);
    EXPECT_EQ(ErosionGrid::automaticThreads(16, 1000), 1);
    EXPECT_EQ(ErosionGrid::automaticThreads(128, 1000), 1);
    EXPECT_EQ(ErosionGrid::automaticThreads(512, 1), 1);
    EXPECT_EQ(ErosionGrid::automaticThreads(512, 0), 1);
    const int big = ErosionGrid::automaticThreads(4096, 1);
    EXPECT_GE(big, 1);
    EXPECT_LE(big, 8);
}

TEST(ThreadedErosionTest, AThreadThatKeepsACoreBusyLeavesOneCoreFewer)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    const int allowed = CPU_COUNT(&set);
    EXPECT_EQ(orovista::freeCores(1), 1);
    EXPECT_GE(orovista::freeCores(64), 1);
    EXPECT_LE(orovista::freeCores(64), allowed);
    // A busy thread (as another program would be) is counted: the wavefront would wait for it.
    std::atomic<bool> stop {false};
    std::thread busy([&] {
        while (!stop.load(std::memory_order_relaxed)) {
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int free = orovista::freeCores(64);
    stop = true;
    busy.join();
    EXPECT_LE(free, std::max(1, allowed - 1));
}

TEST_F(ErodeHeightMapTest, ThreadedStepGivesTheSequentialMap)
{
    const NoiseMap source = wavyMap(side);
    for (ErosionType type : {ErosionType::Thermal, ErosionType::ImprovedThermal, ErosionType::Hydraulics,
                             ErosionType::Smooth}) {
        for (int iterations : {1, 7, 60}) {
            NoiseMap sequential = source, threaded = source;
            ErosionRequest r = request(type, iterations);
            r.threads = 1;
            ASSERT_TRUE(orovista::erodeHeightMap(sequential, r).eroded());
            r.threads = 2;
            RecordingReporter reporter;
            ASSERT_TRUE(orovista::erodeHeightMap(threaded, r, &reporter).eroded());
            EXPECT_EQ(mapValues(threaded), mapValues(sequential)) << int(type) << " " << iterations;
            // The progress behaviour is the same as with one thread.
            ASSERT_EQ(reporter.panelTexts.size(), 2u);
            EXPECT_EQ(reporter.eventPasses, 1);
        }
    }
}
