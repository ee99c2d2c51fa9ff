// Sparse Gabor noise: cell keys, the generator, the impulse counts and the
// shape and scale of the noise.

#include "noise/pitted.h"

#include <libnoise/exception.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using noise::module::Pitted;
using noise::module::PittedRandom;

namespace {

std::unique_ptr<Pitted> MakePitted (float a, float impulsesPerKernel,
  std::uint8_t anisotropic = 0, std::uint32_t seed = 3)
{
  auto pitted = std::make_unique<Pitted> ();
  pitted->frequency = 1.0;
  pitted->seed = seed;
  pitted->a = a;
  pitted->impulsesPerKernel = impulsesPerKernel;
  pitted->anisotropic = anisotropic;
  return pitted;
}

double Mean (const std::vector<double>& values)
{
  double sum = 0.0;
  for (const double v : values) {
    sum += v;
  }
  return sum / values.size ();
}

double StandardDeviation (const std::vector<double>& values)
{
  const double mean = Mean (values);
  double sum = 0.0;
  for (const double v : values) {
    sum += (v - mean) * (v - mean);
  }
  return std::sqrt (sum / values.size ());
}

/// Values on a grid of @a side x @a side points @a step apart.
std::vector<double> Sample (const Pitted& noiseModule, int side, double step)
{
  std::vector<double> values;
  for (int j = 0; j < side; ++j) {
    for (int i = 0; i < side; ++i) {
      values.push_back (noiseModule.GetValue (0.013 + i * step, 0.0, 0.029 + j * step));
    }
  }
  return values;
}

} // namespace

TEST (PittedCellKey, InterleavesBitsAndAddsTheSeed)
{
  EXPECT_EQ (Pitted::CellKey (1, 0, 0), 1u);
  EXPECT_EQ (Pitted::CellKey (0, 1, 0), 2u);
  EXPECT_EQ (Pitted::CellKey (3, 0, 0), 5u);
  EXPECT_EQ (Pitted::CellKey (0, 3, 0), 10u);
  EXPECT_EQ (Pitted::CellKey (0xffff, 0xffff, 0), 0xffffffffu);
  // Bits 16 and up of the indices do not fit and are lost.
  EXPECT_EQ (Pitted::CellKey (0x10001, 0x20000, 0), 1u);
  EXPECT_EQ (Pitted::CellKey (-1, 0, 0), 0x55555555u);
  EXPECT_EQ (Pitted::CellKey (0, -1, 0), 0xaaaaaaaau);
  EXPECT_EQ (Pitted::CellKey (2, 1, 7), 4u + 2u + 7u);
}

TEST (PittedCellKey, ZeroKeyBecomesOne)
{
  EXPECT_EQ (Pitted::CellKey (0, 0, 0), 1u);
  EXPECT_EQ (Pitted::CellKey (1, 0, 0xffffffffu), 1u); // 1 + (2^32 - 1) wraps to 0
  EXPECT_EQ (Pitted::CellKey (0, 1, 0xfffffffeu), 1u); // 2 + (2^32 - 2) wraps to 0
}

TEST (PittedRandomTest, MultipliesTheStateAndDividesBy2To32)
{
  PittedRandom random (1);
  EXPECT_EQ (random.Uniform (), 3039177861.0 / 4294967296.0);
  // 3039177861^2 mod 2^32
  const std::uint32_t second = static_cast<std::uint32_t> (
    (3039177861ull * 3039177861ull) & 0xffffffffull);
  EXPECT_EQ (random.Uniform (), second / 4294967296.0);
}

TEST (PittedRandomTest, ExactUniformStaysBelowOneWhereSinglePrecisionReachesIt)
{
  // The state 2^32 - 1 (reached from the seed 2^32 - 1 times the inverse of
  // the multiplier) would round to 1.0 in single precision.
  std::uint32_t inverse = 1;
  for (int i = 0; i < 31; ++i) { // Newton iteration for the inverse mod 2^32
    inverse *= 2u - 3039177861u * inverse;
  }
  PittedRandom random (0xffffffffu * inverse);
  const double u = random.Uniform ();
  EXPECT_EQ (u, 4294967295.0 / 4294967296.0);
  EXPECT_LT (u, 1.0);
  EXPECT_EQ (static_cast<float> (u), 1.0f);
}

TEST (PittedRandomTest, PoissonMeanAndVarianceFollowTheMean)
{
  for (const double mean : {1.27, 20.4, 163.0, 652.0}) {
    std::vector<double> counts;
    for (std::uint32_t key = 1; key <= 3000; ++key) {
      PittedRandom random (key * 2654435761u);
      counts.push_back (random.Poisson (mean));
    }
    const double sd = StandardDeviation (counts);
    EXPECT_NEAR (Mean (counts), mean, 4.0 * std::sqrt (mean / 3000.0)) << mean;
    EXPECT_NEAR (sd * sd, mean, 0.1 * mean) << mean;
  }
}

TEST (PittedImpulses, MeanCountPerCellTracksImpulsesPerKernelOverPiOnEverySliderStep)
{
  // Slider steps 1 ... 10: 4 x 2^(step - 1) impulses per kernel.
  for (int step = 1; step <= 10; ++step) {
    const float perKernel = 4.0f * static_cast<float> (1 << (step - 1));
    const auto pitted = MakePitted (0.3f, perKernel);
    double total = 0.0;
    const int side = 60;
    for (int j = -side / 2; j < side / 2; ++j) {
      for (int i = -side / 2; i < side / 2; ++i) {
        total += pitted->GetImpulseCount (i, j);
      }
    }
    const double expected = perKernel / M_PI;
    const double cells = side * side;
    EXPECT_NEAR (total / cells, expected, 4.0 * std::sqrt (expected / cells) + 1e-9)
      << perKernel << " impulses per kernel";
  }
}

TEST (PittedValue, EqualParametersGiveEqualValues)
{
  const auto one = MakePitted (0.05f, 64.0f);
  const auto two = MakePitted (0.05f, 64.0f);
  for (int i = 0; i < 50; ++i) {
    const double x = -3.1 + i * 0.173;
    const double z = 2.7 - i * 0.091;
    EXPECT_EQ (one->GetValue (x, 0.0, z), two->GetValue (x, 0.0, z));
    EXPECT_EQ (one->GetValue (x, 0.0, z), one->GetValue (x, 0.0, z));
    EXPECT_EQ (one->GetValue (x, 5.0, z), one->GetValue (x, 0.0, z)); // y is ignored
  }
}

TEST (PittedValue, SeedChangeChangesTheNoise)
{
  const auto one = MakePitted (0.05f, 64.0f, 0, 3);
  const auto two = MakePitted (0.05f, 64.0f, 0, 4);
  int differing = 0;
  const int count = 200;
  for (int i = 0; i < count; ++i) {
    const double x = 0.05 + i * 0.137;
    const double z = 0.02 + i * 0.071;
    differing += one->GetValue (x, 0.0, z) != two->GetValue (x, 0.0, z) ? 1 : 0;
  }
  EXPECT_EQ (differing, count);
}

TEST (PittedValue, PinnedValues)
{
  const auto isotropic = MakePitted (0.05f, 64.0f, 0, 3);
  const auto anisotropic = MakePitted (0.3f, 512.0f, 1, 11);
  EXPECT_NEAR (isotropic->GetValue (0.0, 0.0, 0.0), -0.10085150812985781, 1e-9);
  EXPECT_NEAR (isotropic->GetValue (1.25, 0.0, 3.5), 0.18070651673869539, 1e-9);
  EXPECT_NEAR (isotropic->GetValue (-7.3, 0.0, 2.2), 0.28728084161863421, 1e-9);
  EXPECT_NEAR (anisotropic->GetValue (0.4, 0.0, 0.9), -0.043239975992237278, 1e-9);
  EXPECT_NEAR (anisotropic->GetValue (-2.6, 0.0, 1.1), -0.12608379801877681, 1e-9);
}

TEST (PittedValue, AmplitudeStaysTheSameAcrossTheSliderRange)
{
  // The value is the sum divided by four standard deviations: its spread
  // must not depend on the impulse count, also where a single-precision
  // Poisson draw would saturate (512 impulses per kernel and up).
  for (int step = 1; step <= 10; ++step) {
    const float perKernel = 4.0f * static_cast<float> (1 << (step - 1));
    const auto pitted = MakePitted (0.3f, perKernel);
    // a = 0.3: the kernel radius is 3.255 plane units / 64; sample widely.
    const std::vector<double> values = Sample (*pitted, step >= 9 ? 24 : 40, 0.37);
    const double sd = StandardDeviation (values);
    EXPECT_GT (sd, 0.2) << perKernel;
    EXPECT_LT (sd, 0.3) << perKernel;
  }
}

TEST (PittedValue, AnisotropicGivesStripesAt45Degrees)
{
  // F0 = 0.05: waves of 20 noise units; a = 0.02 keeps the Gaussian wide so
  // that the stripes are long.  A quarter wave across the stripes (along
  // (1, 1)) changes the value much more than the same step along them.
  const double quarterWave = 5.0 / 64.0;
  const double diagonal = quarterWave / std::sqrt (2.0);
  const auto meanSquaredChange = [&] (const Pitted& noiseModule, double dx, double dz) {
    double sum = 0.0;
    const int count = 400;
    for (int i = 0; i < count; ++i) {
      const double x = 0.031 + (i % 20) * 0.91;
      const double z = 0.017 + (i / 20) * 0.87;
      const double change = noiseModule.GetValue (x + dx, 0.0, z + dz)
        - noiseModule.GetValue (x, 0.0, z);
      sum += change * change;
    }
    return sum / count;
  };
  const auto striped = MakePitted (0.02f, 16.0f, 1);
  const double across = meanSquaredChange (*striped, diagonal, diagonal);
  const double along = meanSquaredChange (*striped, diagonal, -diagonal);
  EXPECT_GT (across, 20.0 * along);

  const auto isotropic = MakePitted (0.02f, 16.0f, 0);
  const double first = meanSquaredChange (*isotropic, diagonal, diagonal);
  const double second = meanSquaredChange (*isotropic, diagonal, -diagonal);
  EXPECT_LT (first / second, 1.5);
  EXPECT_GT (first / second, 1.0 / 1.5);
}

TEST (PittedValue, OtherOrientationModeAddsNothing)
{
  const auto pitted = MakePitted (0.05f, 64.0f, 2);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ (pitted->GetValue (0.3 * i, 0.0, 0.7 * i), 0.0);
  }
}

TEST (PittedValue, FrequencyScalesTheCoordinates)
{
  const auto slow = MakePitted (0.05f, 64.0f);
  const auto fast = MakePitted (0.05f, 64.0f);
  slow->frequency = 0.5;
  fast->frequency = 2.0;
  EXPECT_EQ (fast->GetValue (0.75, 0.0, 1.5), slow->GetValue (3.0, 0.0, 6.0));
}

TEST (PittedValue, InvalidParametersAreRefused)
{
  const auto pitted = MakePitted (0.0f, 64.0f);
  EXPECT_THROW (pitted->GetValue (0.5, 0.0, 0.5), noise::ExceptionInvalidParam);
  pitted->a = NAN;
  EXPECT_THROW (pitted->GetValue (0.5, 0.0, 0.5), noise::ExceptionInvalidParam);
  pitted->a = 0.05f;
  pitted->impulsesPerKernel = 0.0f;
  EXPECT_THROW (pitted->GetValue (0.5, 0.0, 0.5), noise::ExceptionInvalidParam);
  EXPECT_THROW (pitted->GetImpulseCount (0, 0), noise::ExceptionInvalidParam);
}

TEST (PittedValue, HugeOrMissingCoordinatesGiveZero)
{
  const auto pitted = MakePitted (0.05f, 64.0f);
  EXPECT_EQ (pitted->GetValue (1e300, 0.0, 0.5), 0.0);
  EXPECT_EQ (pitted->GetValue (0.5, 0.0, NAN), 0.0);
  EXPECT_EQ (pitted->GetValue (INFINITY, 0.0, 0.5), 0.0);
}
