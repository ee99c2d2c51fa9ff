// The round-edge fade.

#include "noise/roundedge.h"

#include <libnoise/exception.h>
#include <libnoise/module/const.h>

#include <gtest/gtest.h>

using noise::module::RoundEdge;

namespace {

struct Faded
{
  explicit Faded (double sourceValue, double edge)
  {
    source.SetConstValue (sourceValue);
    fade.SetSourceModule (0, source);
    fade.edge = edge;
  }

  noise::module::Const source;
  RoundEdge fade;
};

} // namespace

TEST (RoundEdgeTest, ZeroOnTheWindowBordersAndOneAtTheCentre)
{
  const Faded faded (1.0, 4.0);
  EXPECT_NEAR (faded.fade.GetValue (2.0, 0.0, 2.0), 1.0, 1e-13);
  for (const double t : {0.0, 0.5, 1.3, 2.0, 3.7, 4.0}) {
    EXPECT_EQ (faded.fade.GetValue (0.0, 0.0, t), 0.0) << t;
    EXPECT_EQ (faded.fade.GetValue (t, 0.0, 0.0), 0.0) << t;
    // sin(180 * 0.017453292) is 1e-7, not 0: cubed, it vanishes.
    EXPECT_NEAR (faded.fade.GetValue (4.0, 0.0, t), 0.0, 1e-20) << t;
    EXPECT_NEAR (faded.fade.GetValue (t, 0.0, 4.0), 0.0, 1e-20) << t;
  }
}

TEST (RoundEdgeTest, FadesWithTheCubeOfTheSineProduct)
{
  // The degree factor is cut to 0.017453292, so the angles fall short of
  // whole degrees by a relative 3e-8.
  const Faded faded (0.8, 4.0);
  // At (1, 1): sin(45 degrees)^2 = 0.5, cubed 0.125.
  EXPECT_NEAR (faded.fade.GetValue (1.0, 0.0, 1.0), 0.8 * 0.125, 1e-7);
  // At (1, 2): sin(45)^3 * sin(90)^3 = 0.35355.
  EXPECT_NEAR (faded.fade.GetValue (1.0, 0.0, 2.0), 0.8 * 0.3535533905932738, 1e-7);
  const Faded wide (0.8, 512.0);
  EXPECT_NEAR (wide.fade.GetValue (256.0, 0.0, 256.0), 0.8, 1e-12);
  EXPECT_NEAR (wide.fade.GetValue (128.0, 0.0, 128.0), 0.8 * 0.125, 1e-7);
}

TEST (RoundEdgeTest, OutputIsNeverNegative)
{
  const Faded negative (-0.6, 4.0);
  EXPECT_NEAR (negative.fade.GetValue (2.0, 0.0, 2.0), 0.6, 1e-13);
  // Outside the window the sines change sign; the output does not.
  const Faded positive (0.6, 4.0);
  EXPECT_NEAR (positive.fade.GetValue (6.0, 0.0, 2.0), 0.6, 1e-12);
  EXPECT_GT (positive.fade.GetValue (5.0, 0.0, 1.0), 0.0);
}

TEST (RoundEdgeTest, InvalidEdgeOrMissingSourceIsRefused)
{
  Faded faded (1.0, 0.0);
  EXPECT_THROW (faded.fade.GetValue (1.0, 0.0, 1.0), noise::ExceptionInvalidParam);
  faded.fade.edge = -4.0;
  EXPECT_THROW (faded.fade.GetValue (1.0, 0.0, 1.0), noise::ExceptionInvalidParam);
  const RoundEdge alone;
  EXPECT_THROW (alone.GetValue (1.0, 0.0, 1.0), noise::ExceptionNoModule);
  EXPECT_EQ (alone.GetSourceModuleCount (), 1);
}
