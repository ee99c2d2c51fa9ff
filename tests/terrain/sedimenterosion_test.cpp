// Sediment erosion on a cone: where the water cuts and where it lays down, the balance of what
// it moves, the same result on any number of threads, and a large map like a small one.
#include "terrain/sedimenterosion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

using orovista::SedimentBalance;
using orovista::SedimentMaps;
using orovista::SedimentSettings;

namespace {

constexpr double kSide = 100.0;   // metres

/// A cone of 25 m on a 100 m square, radius 40 m, with a few centimetres of roughness so that
/// the water has something to choose by.
std::vector<float> cone(int n)
{
    std::vector<float> h(std::size_t(n) * std::size_t(n));
    const double cell = kSide / (n - 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double dx = x * cell - 50.0, dy = y * cell - 50.0;
            const double r = std::sqrt(dx * dx + dy * dy);
            const double rough = 0.05 * std::sin(x * 1.7 + y * 0.3) * std::cos(y * 2.3 - x * 0.9);
            h[std::size_t(y) * std::size_t(n) + std::size_t(x)] = float(25.0 * std::max(0.0, 1.0 - r / 40.0) + rough);
        }
    return h;
}

SedimentSettings strong()
{
    SedimentSettings s;
    s.iterations = 30;
    s.erosion = 50.0f;
    s.seed = 7;
    return s;
}

/// Sum of a map over the cells whose distance from the centre lies in [r0, r1) metres.
double ring(const std::vector<float> &map, int n, double r0, double r1)
{
    const double cell = kSide / (n - 1);
    double sum = 0.0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double r = std::hypot(x * cell - 50.0, y * cell - 50.0);
            if (r >= r0 && r < r1)
                sum += map[std::size_t(y) * std::size_t(n) + std::size_t(x)];
        }
    return sum;
}

}   // namespace

TEST(SedimentErosionTest, ChannelsCutTheSlopesAndDepositsGatherAtTheFoot)
{
    const int n = 257;
    std::vector<float> h = cone(n);
    const std::vector<float> before = h;
    SedimentMaps maps;
    const SedimentBalance b = orovista::erodeSediment(h, n, kSide, strong(), &maps, 1);
    EXPECT_EQ(b.iterations, 30);
    ASSERT_GT(b.worn, 0.0);
    ASSERT_EQ(maps.size, n);

    // Wear on the slopes, deposit mostly at and beyond the foot (r = 40 m), little on the top.
    const double slopeWear = ring(maps.wear, n, 8.0, 36.0), footWear = ring(maps.wear, n, 42.0, 60.0);
    EXPECT_GT(slopeWear, 5.0 * footWear);
    const double footDeposit = ring(maps.deposit, n, 34.0, 50.0), upperDeposit = ring(maps.deposit, n, 0.0, 25.0);
    EXPECT_GT(footDeposit, upperDeposit);

    // Channels: on a ring round the mid slope the ground is cut much deeper in some places than
    // in others, and the water ran in few of the cells.
    const double cell = kSide / (n - 1);
    std::vector<double> cut;
    for (int k = 0; k < 720; ++k) {
        const double a = k * 3.141592653589793 / 360.0;
        const int x = int(std::lround((50.0 + 22.0 * std::cos(a)) / cell));
        const int y = int(std::lround((50.0 + 22.0 * std::sin(a)) / cell));
        const std::size_t i = std::size_t(y) * std::size_t(n) + std::size_t(x);
        cut.push_back(double(before[i]) - double(h[i]));
    }
    std::sort(cut.begin(), cut.end());
    const double median = cut[cut.size() / 2], deepest = cut[cut.size() * 95 / 100];
    EXPECT_GT(deepest, 3.0 * std::max(median, 1e-6)) << "median " << median << ", 95th percentile " << deepest;

    std::vector<float> flow = maps.flow;
    std::sort(flow.begin(), flow.end(), std::greater<>());
    const double total = std::accumulate(flow.begin(), flow.end(), 0.0);
    const double topTenth = std::accumulate(flow.begin(), flow.begin() + std::ptrdiff_t(flow.size() / 10), 0.0);
    EXPECT_GT(topTenth, 0.4 * total);
}

TEST(SedimentErosionTest, WhatTheWaterTakesItCarriesOrLeaves)
{
    const int n = 97;
    std::vector<float> h = cone(n);
    const std::vector<float> before = h;
    SedimentMaps maps;
    const SedimentBalance b = orovista::erodeSediment(h, n, kSide, strong(), &maps, 2);
    // In the integer units the drops count in, exactly.
    EXPECT_EQ(b.wornUnits, b.depositedUnits + b.outflowUnits);
    EXPECT_GT(b.depositedUnits, 0);
    // In metres: the ground lost what ran off the edge, and the maps agree with the totals.
    const double cellArea = (kSide / (n - 1)) * (kSide / (n - 1));
    double change = 0.0, wear = 0.0, deposit = 0.0;
    for (std::size_t i = 0; i < h.size(); ++i) {
        change += (double(h[i]) - double(before[i])) * cellArea;
        wear += double(maps.wear[i]) * cellArea;
        deposit += double(maps.deposit[i]) * cellArea;
    }
    const double tolerance = 1e-5 * b.worn + 1e-6;
    EXPECT_NEAR(change, -b.outflow, tolerance);
    EXPECT_NEAR(wear, b.worn, tolerance);
    EXPECT_NEAR(deposit, b.deposited, tolerance);
}

TEST(SedimentErosionTest, AnyThreadCountGivesTheSameBytes)
{
    for (int n : {64, 150}) {
        std::vector<float> one = cone(n);
        SedimentMaps mapsOne;
        orovista::erodeSediment(one, n, kSide, strong(), &mapsOne, 1);
        for (int threads : {2, 4}) {
            std::vector<float> many = cone(n);
            SedimentMaps mapsMany;
            orovista::erodeSediment(many, n, kSide, strong(), &mapsMany, threads);
            EXPECT_EQ(0, std::memcmp(one.data(), many.data(), one.size() * sizeof(float))) << n << " " << threads;
            EXPECT_EQ(mapsOne.flow, mapsMany.flow);
            EXPECT_EQ(mapsOne.wear, mapsMany.wear);
            EXPECT_EQ(mapsOne.deposit, mapsMany.deposit);
        }
    }
    // Another seed, another rain; stopping after an iteration stops.
    std::vector<float> stopped = cone(64);
    const SedimentBalance partial = orovista::erodeSediment(stopped, 64, kSide, strong(), nullptr, 1,
                                                            [](int done, int) { return done < 3; });
    EXPECT_EQ(partial.iterations, 3);
    std::vector<float> a = cone(64), b = cone(64);
    SedimentSettings other = strong();
    other.seed = 8;
    orovista::erodeSediment(a, 64, kSide, strong(), nullptr, 1);
    orovista::erodeSediment(b, 64, kSide, other, nullptr, 1);
    EXPECT_NE(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)));
}

TEST(SedimentErosionTest, ALargeMapGetsTheValleysOfTheSimulationGrid)
{
    // A 1100 map runs on the 512 grid: its change is the 512 map's change, interpolated.
    const int small = orovista::kSimulationSize, large = 1100;
    std::vector<float> a = cone(small), b = cone(large);
    const std::vector<float> a0 = a, b0 = b;
    const SedimentBalance sa = orovista::erodeSediment(a, small, kSide, strong(), nullptr, 2);
    const SedimentBalance sb = orovista::erodeSediment(b, large, kSide, strong(), nullptr, 2);
    EXPECT_EQ(sb.simulationSize, small);
    EXPECT_NEAR(sb.worn, sa.worn, 0.1 * sa.worn);
    // Mean change over the slope ring of each, per cell.
    const auto meanCut = [](const std::vector<float> &before, const std::vector<float> &after, int n) {
        const double cell = kSide / (n - 1);
        double sum = 0.0;
        int count = 0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const double r = std::hypot(x * cell - 50.0, y * cell - 50.0);
                if (r >= 10.0 && r < 35.0) {
                    const std::size_t i = std::size_t(y) * std::size_t(n) + std::size_t(x);
                    sum += double(before[i]) - double(after[i]);
                    ++count;
                }
            }
        return sum / count;
    };
    EXPECT_NEAR(meanCut(b0, b, large), meanCut(a0, a, small), 0.15 * meanCut(a0, a, small));
}
