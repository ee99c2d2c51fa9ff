// The checkerboard with a frequency and the ridged multifractal with offset,
// gain and weight, compared with libnoise's originals.

#include "noise/checkerboard.h"
#include "noise/ridgedmulti.h"
#include "stock_reference.h"

#include <libnoise/exception.h>
#include <libnoise/noisegen.h>

#include <gtest/gtest.h>

#include <cmath>

using noise::module::Checkerboard;
using noise::module::RidgedMulti;

namespace {

/// Points spread over positive and negative coordinates.
template <class F>
void ForSamplePoints (F&& f)
{
  for (int i = 0; i < 200; ++i) {
    f (-7.3 + i * 0.0731, 0.37 * (i % 5) - 0.7, 5.1 - i * 0.0577);
  }
}

} // namespace

TEST (CheckerboardTest, FrequencyOneIsTheLibraryCheckerboard)
{
  const Checkerboard board;
  EXPECT_EQ (board.frequency, 1.0);
  ForSamplePoints ([&] (double x, double y, double z) {
    EXPECT_EQ (board.GetValue (x, y, z), StockCheckerboardValue (x, y, z));
  });
}

TEST (CheckerboardTest, FrequencyScalesTheSquares)
{
  Checkerboard board;
  board.frequency = 2.0;
  EXPECT_EQ (board.GetValue (0.25, 0.0, 0.25), 1.0);
  EXPECT_EQ (board.GetValue (0.75, 0.0, 0.25), -1.0);
  EXPECT_EQ (board.GetValue (0.75, 0.0, 0.75), 1.0);
  EXPECT_EQ (board.GetValue (-0.25, 0.0, 0.25), -1.0);
  ForSamplePoints ([&] (double x, double y, double z) {
    EXPECT_EQ (board.GetValue (x, y, z), StockCheckerboardValue (2.0 * x, 2.0 * y, 2.0 * z));
  });
  board.frequency = NAN;
  EXPECT_EQ (board.GetValue (0.25, 0.0, 0.25), 1.0); // no undefined cell
}

TEST (RidgedMultiTest, DefaultsAreTheLibraryModuleBitForBit)
{
  const RidgedMulti ridged;
  EXPECT_EQ (ridged.offset, 1.0);
  EXPECT_EQ (ridged.gain, 2.0);
  EXPECT_EQ (ridged.weight, 1.0);
  EXPECT_EQ (ridged.GetOctaveCount (), 6);
  EXPECT_EQ (ridged.GetLacunarity (), 2.0);
  const StockRidgedSettings stock;
  ForSamplePoints ([&] (double x, double y, double z) {
    EXPECT_EQ (ridged.GetValue (x, y, z), StockRidgedValue (stock, x, y, z));
  });
}

TEST (RidgedMultiTest, LibrarySettingsAreTheLibraryModuleBitForBit)
{
  StockRidgedSettings stock;
  stock.frequency = 0.8;
  stock.lacunarity = 2.1;
  stock.quality = noise::QUALITY_BEST;
  stock.octaves = 30;
  stock.seed = 7;
  RidgedMulti ridged;
  ridged.SetFrequency (stock.frequency);
  ridged.SetLacunarity (stock.lacunarity);
  ridged.SetNoiseQuality (stock.quality);
  ridged.SetOctaveCount (stock.octaves);
  ridged.SetSeed (stock.seed);
  ForSamplePoints ([&] (double x, double y, double z) {
    EXPECT_EQ (ridged.GetValue (x, y, z), StockRidgedValue (stock, x, y, z));
  });
}

TEST (RidgedMultiTest, ZeroFirstWeightSilencesEveryOctave)
{
  RidgedMulti ridged;
  ridged.weight = 0.0;
  ForSamplePoints ([&] (double x, double y, double z) {
    EXPECT_EQ (ridged.GetValue (x, y, z), -1.0);
  });
}

TEST (RidgedMultiTest, ZeroGainKeepsOnlyTheFirstOctave)
{
  RidgedMulti ridged;
  ridged.gain = 0.0;
  ridged.offset = 0.7;
  ridged.weight = 0.5;
  ridged.SetSeed (3);
  ridged.SetFrequency (1.5);
  ForSamplePoints ([&] (double x, double y, double z) {
    const double noise = noise::GradientCoherentNoise3D (1.5 * x, 1.5 * y, 1.5 * z, 3,
      noise::QUALITY_STD);
    const double signal = (0.7 - std::fabs (noise)) * (0.7 - std::fabs (noise)) * 0.5;
    EXPECT_NEAR (ridged.GetValue (x, y, z), signal * 1.25 - 1.0, 1e-12);
  });
}

TEST (RidgedMultiTest, OffsetAndGainChangeTheRidges)
{
  RidgedMulti standard;
  RidgedMulti lowered;
  lowered.offset = 0.5;
  RidgedMulti negativeGain;
  negativeGain.gain = -2.0;
  int offsetChanges = 0;
  int gainChanges = 0;
  ForSamplePoints ([&] (double x, double y, double z) {
    offsetChanges += standard.GetValue (x, y, z) != lowered.GetValue (x, y, z) ? 1 : 0;
    gainChanges += standard.GetValue (x, y, z) != negativeGain.GetValue (x, y, z) ? 1 : 0;
    // A negative gain clamps every later weight to 0: the first octave alone.
    EXPECT_LE (negativeGain.GetValue (x, y, z), 0.25);
  });
  EXPECT_EQ (offsetChanges, 200);
  EXPECT_EQ (gainChanges, 200);
}

TEST (RidgedMultiTest, OctaveCountOutsideOneToThirtyIsRefused)
{
  RidgedMulti ridged;
  EXPECT_THROW (ridged.SetOctaveCount (0), noise::ExceptionInvalidParam);
  EXPECT_THROW (ridged.SetOctaveCount (31), noise::ExceptionInvalidParam);
  EXPECT_EQ (ridged.GetOctaveCount (), 6);
  ridged.SetOctaveCount (30);
  EXPECT_EQ (ridged.GetOctaveCount (), 30);
}
