// Batch evaluation of the generators against libnoise's own GetValue(), bit for bit, on every
// instruction set the kernel is compiled for that this processor runs.
#include "noise/batchnoise.h"
#include "noise/modules.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

namespace nm = noise::module;

/// Same bits, or both NaN (a NaN's sign and payload carry no value).
bool sameValue(double a, double b)
{
    if (std::isnan(a) && std::isnan(b))
        return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Points {
    std::vector<double> x, y, z;
    void add(double px, double py, double pz)
    {
        x.push_back(px);
        y.push_back(py);
        z.push_back(pz);
    }
    std::size_t size() const { return x.size(); }
};

/// Points of every kind that matters to the lattice and to MakeInt32Range: small and large,
/// negative, on and a hair beside integers, at and beyond +-2^30 and 2^31, signed zeros.
Points testPoints(std::uint64_t seed, int count)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> lattice(-200, 200);
    const double specials[] = {0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 1073741824.0, -1073741824.0,
                               1073741823.75, -1073741823.75, 2147483648.0, -2147483648.0,
                               4294967296.5, -4294967296.5, 1e9, -1e9, 1e12, -1e12, 1e15, -1e15,
                               1e18, -1e18, 1e300, -1e300, 5e-324, -5e-324};
    auto coordinate = [&]() -> double {
        switch (kind(random)) {
        case 0: return unit(random) * 4.0;
        case 1: return unit(random) * 1e4;
        case 2: return lattice(random);
        case 3: return std::nextafter(double(lattice(random)), 1e9);
        case 4: return std::nextafter(double(lattice(random)), -1e9);
        case 5: return lattice(random) + unit(random) * 1e-9;
        case 6: return unit(random) * 3e9;
        case 7: return unit(random) * 1e17;
        case 8: return specials[std::uniform_int_distribution<int>(0, std::size(specials) - 1)(random)];
        default: return unit(random) * 64.0;
        }
    };
    Points p;
    for (int i = 0; i < count; ++i)
        p.add(coordinate(), coordinate(), coordinate());
    return p;
}

/// Compares module's batch values with its GetValue() at the points; returns the number of
/// points compared and counts mismatches.
std::size_t compare(const nm::Module &module, const Points &p, int &mismatches, std::string &first,
                    const std::string &what)
{
    EXPECT_TRUE(noise::batch::CanBatch(module)) << what;
    std::vector<double> out(p.size());
    noise::batch::GetValues(module, p.x.data(), p.y.data(), p.z.data(), out.data(), p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        const double expected = module.GetValue(p.x[i], p.y[i], p.z[i]);
        if (!sameValue(out[i], expected)) {
            if (mismatches++ == 0) {
                char text[256];
                std::snprintf(text, sizeof text, " at (%.17g, %.17g, %.17g): batch %.17g, libnoise %.17g",
                              p.x[i], p.y[i], p.z[i], out[i], expected);
                first = what + text;
            }
        }
    }
    return p.size();
}

const int seeds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                     1000003, -1, -77, INT_MAX, INT_MAX - 5, INT_MIN, INT_MIN + 3};
const double lacunarities[] = {2.0, 1.5, 2.1, 3.7, 1.0 / 3.0, 2.0 + 1e-9};
const double persistences[] = {0.5, 0.25, 0.7, 1.3, 0.0, 1.0};
const double frequencies[] = {1.0, 0.1, 2.5, 1e-6, 37.0, 1.0 / 7.0};

/// Every batched generator type, quality, octave count 1 ... 30 and seed, with the lacunarity,
/// persistence and frequency varied from case to case, on one instruction set.
void checkGenerators(const std::string &target, std::size_t &points, int &cases)
{
    int mismatches = 0;
    std::string first;
    int index = 0;
    for (int quality = 0; quality < 3; ++quality)
        for (int octaves = 1; octaves <= 30; ++octaves)
            for (int seed : seeds) {
                ++index;
                const double lacunarity = lacunarities[index % std::size(lacunarities)];
                const double persistence = persistences[(index / 3) % std::size(persistences)];
                const double frequency = frequencies[(index / 7) % std::size(frequencies)];
                // 37 points: whole vectors and a partial one at every width; and the same points
                // on the plane y = 0 (both signed zeros), where the kernel skips half the lattice.
                const Points p = testPoints(std::uint64_t(index) * 7919u, 37);
                Points plane = p;
                for (std::size_t i = 0; i < plane.size(); ++i)
                    plane.y[i] = i % 3 == 1 ? -0.0 : 0.0;
                const std::string what = target + " quality " + std::to_string(quality) + " octaves " +
                                         std::to_string(octaves) + " seed " + std::to_string(seed);

                nm::Perlin perlin;
                perlin.SetNoiseQuality(noise::NoiseQuality(quality));
                perlin.SetOctaveCount(octaves);
                perlin.SetSeed(seed);
                perlin.SetLacunarity(lacunarity);
                perlin.SetPersistence(persistence);
                perlin.SetFrequency(frequency);
                points += compare(perlin, p, mismatches, first, "Perlin " + what);
                points += compare(perlin, plane, mismatches, first, "Perlin on y = 0 " + what);

                nm::Billow billow;
                billow.SetNoiseQuality(noise::NoiseQuality(quality));
                billow.SetOctaveCount(octaves);
                billow.SetSeed(seed);
                billow.SetLacunarity(lacunarity);
                billow.SetPersistence(persistence);
                billow.SetFrequency(frequency);
                points += compare(billow, p, mismatches, first, "Billow " + what);
                points += compare(billow, plane, mismatches, first, "Billow on y = 0 " + what);

                nm::RidgedMulti ridged;
                ridged.SetNoiseQuality(noise::NoiseQuality(quality));
                ridged.SetOctaveCount(octaves);
                ridged.SetSeed(seed);
                ridged.SetLacunarity(lacunarity);
                ridged.SetFrequency(frequency);
                if (index % 2) {
                    ridged.offset = 1.0 + 0.01 * (index % 50);
                    ridged.gain = 0.5 + 0.03 * (index % 70);
                    ridged.weight = 0.02 * (index % 60);
                }
                points += compare(ridged, p, mismatches, first, "RidgedMulti " + what);
                points += compare(ridged, plane, mismatches, first, "RidgedMulti on y = 0 " + what);
                cases += 3;
            }
    EXPECT_EQ(mismatches, 0) << first;
}

/// Runs f once per instruction set compiled in and supported here, then restores the choice.
template <class F>
void forEachTarget(F f)
{
    const std::vector<std::int64_t> targets = hwy::SupportedAndGeneratedTargets();
    ASSERT_FALSE(targets.empty());
    for (std::int64_t target : targets) {
        hwy::SetSupportedTargetsForTest(target);
        ASSERT_STREQ(noise::batch::TargetName(), hwy::TargetName(target));
        f(std::string(hwy::TargetName(target)));
    }
    hwy::SetSupportedTargetsForTest(0);
}

TEST(BatchNoise, GeneratorsGiveLibnoiseBitsOnEveryInstructionSet)
{
    std::size_t points = 0;
    int cases = 0, targets = 0;
    forEachTarget([&](const std::string &target) {
        checkGenerators(target, points, cases);
        ++targets;
    });
    std::printf("[          ] %zu points in %d cases on %d instruction sets (chosen: %s)\n", points, cases,
                targets, noise::batch::TargetName());
    EXPECT_GE(targets, 1);
}

/// Long rows at full octaves: the machine's own kind of work, on the chosen instruction set.
TEST(BatchNoise, LongRowsAtThirtyOctaves)
{
    int mismatches = 0;
    std::string first;
    std::size_t points = 0;
    for (int quality = 0; quality < 3; ++quality)
        for (int seed : {0, 3, 7, 16, INT_MAX}) {
            const Points p = testPoints(std::uint64_t(seed) + 17u * quality, 4099);
            nm::Perlin perlin;
            perlin.SetOctaveCount(30);
            perlin.SetNoiseQuality(noise::NoiseQuality(quality));
            perlin.SetSeed(seed);
            points += compare(perlin, p, mismatches, first, "Perlin");
            nm::Billow billow;
            billow.SetOctaveCount(30);
            billow.SetNoiseQuality(noise::NoiseQuality(quality));
            billow.SetSeed(seed);
            billow.SetFrequency(0.8);
            points += compare(billow, p, mismatches, first, "Billow");
            nm::RidgedMulti ridged;
            ridged.SetOctaveCount(30);
            ridged.SetNoiseQuality(noise::NoiseQuality(quality));
            ridged.SetSeed(seed);
            ridged.SetLacunarity(2.1);
            ridged.gain = 2.0;
            points += compare(ridged, p, mismatches, first, "RidgedMulti");
        }
    EXPECT_EQ(mismatches, 0) << first;
    std::printf("[          ] %zu points\n", points);
}

/// A plane row as the map builders sample it (y = 0, x on a grid), the workload's window.
TEST(BatchNoise, PlaneRowsOfTheMachine)
{
    int mismatches = 0;
    std::string first;
    for (int size : {7, 64, 1000}) {
        Points p;
        for (int i = 0; i < size; ++i)
            p.add(0.0 + i * (4.0 / size), 0.0, 3.0 - 0.25 * size / 1000.0);
        for (int octaves : {1, 8, 30}) {
            nm::Perlin perlin;
            perlin.SetOctaveCount(octaves);
            perlin.SetLacunarity(2.0);
            perlin.SetPersistence(0.5);
            perlin.SetNoiseQuality(noise::QUALITY_BEST);
            perlin.SetSeed(3);
            compare(perlin, p, mismatches, first, "Perlin row");
            nm::RidgedMulti ridged;
            ridged.SetOctaveCount(octaves);
            ridged.SetLacunarity(2.1);
            ridged.SetFrequency(0.8);
            ridged.SetNoiseQuality(noise::QUALITY_BEST);
            ridged.SetSeed(7);
            compare(ridged, p, mismatches, first, "RidgedMulti row");
        }
    }
    EXPECT_EQ(mismatches, 0) << first;
}

TEST(BatchNoise, OnlyTheBatchedGeneratorsQualify)
{
    nm::Voronoi voronoi;
    nm::Const constant;
    nm::Perlin perlin;
    EXPECT_FALSE(noise::batch::CanBatch(voronoi));
    EXPECT_FALSE(noise::batch::CanBatch(constant));
    EXPECT_TRUE(noise::batch::CanBatch(perlin));
    nm::Cache cache;
    cache.SetSourceModule(0, perlin);
    EXPECT_FALSE(noise::batch::CanBatch(cache));
}

/// Returns 0 and remembers where it was asked: the point a Turbulence module displaced to.
class Probe : public nm::Module {
public:
    Probe() : Module(0) {}
    int GetSourceModuleCount() const override { return 0; }
    double GetValue(double x, double y, double z) const override
    {
        px = x;
        py = y;
        pz = z;
        return 0.0;
    }
    mutable double px = 0.0, py = 0.0, pz = 0.0;
};

TEST(BatchNoise, TurbulencePointsAreLibnoisesDisplacement)
{
    int mismatches = 0;
    std::size_t points = 0;
    std::string first;
    forEachTarget([&](const std::string &target) {
        int index = 0;
        for (double frequency : {0.5, 1.0, 3.3})
            for (double power : {0.0, 0.3, 1.0 / 3.0, 7.5})
                for (int roughness : {1, 3, 4, 12, 30})
                    for (int seed : {0, 2, 16, INT_MAX, -5}) {
                        Probe probe;
                        nm::Turbulence turbulence;
                        turbulence.SetSourceModule(0, probe);
                        turbulence.SetFrequency(frequency);
                        turbulence.SetPower(power);
                        turbulence.SetRoughness(roughness);
                        turbulence.SetSeed(seed);
                        const Points p = testPoints(std::uint64_t(++index), 21);
                        std::vector<double> x(p.size()), y(p.size()), z(p.size());
                        noise::batch::GetTurbulencePoints(turbulence, p.x.data(), p.y.data(), p.z.data(), x.data(),
                                                          y.data(), z.data(), p.size());
                        for (std::size_t i = 0; i < p.size(); ++i) {
                            turbulence.GetValue(p.x[i], p.y[i], p.z[i]);
                            ++points;
                            if (!sameValue(x[i], probe.px) || !sameValue(y[i], probe.py) ||
                                !sameValue(z[i], probe.pz)) {
                                if (mismatches++ == 0)
                                    first = target + " roughness " + std::to_string(roughness) + " seed " +
                                            std::to_string(seed);
                            }
                        }
                    }
    });
    EXPECT_EQ(mismatches, 0) << first;
    std::printf("[          ] %zu points\n", points);
}

}   // namespace
