// The plane map builder and the map it fills: sampling grid, size rules,
// progress texts, row callback and bad parameters.

#include "noise/noisemapbuilderplane.h"
#include "noise/image.h"

#include <libnoise/exception.h>
#include <libnoise/module/const.h>

#include <gtest/gtest.h>

#include <QStringList>

#include <vector>

using noise::utils::Color;
using noise::utils::Image;
using noise::utils::NoiseMap;
using noise::utils::NoiseMapBuilderPlane;
using noise::utils::ProgressReporter;

namespace {

/// A module that records where it was asked and returns x + 1000 z.
class RecordingModule: public noise::module::Module
{
  public:
    struct Point
    {
      double x, y, z;
    };

    RecordingModule ()
      : Module (0)
    {
    }

    int GetSourceModuleCount () const override
    {
      return 0;
    }

    double GetValue (double x, double y, double z) const override
    {
      points.push_back ({x, y, z});
      if (log != nullptr) {
        log->append (QStringLiteral ("sample"));
      }
      return x + 1000.0 * z;
    }

    mutable std::vector<Point> points;
    QStringList* log = nullptr;
};

/// Writes everything it is told into a list.
class LoggingReporter: public ProgressReporter
{
  public:
    void SetStatusText (const QString& text) override
    {
      log.append (QStringLiteral ("status:") + text);
    }

    void SetPanelText (const QString& text) override
    {
      log.append (QStringLiteral ("panel:") + text);
    }

    void ProcessEvents () override
    {
      log.append (QStringLiteral ("events"));
      if (onEvents) {
        onEvents ();
      }
    }

    QStringList log;
    std::function<void ()> onEvents;
};

/// Points @a builder at @a module and @a map: a @a width x @a height map of
/// the square window 0 ... @a upper.
void Aim (NoiseMapBuilderPlane& builder, const noise::module::Module& module, NoiseMap& map,
  int width, int height, double upper = 1.0)
{
  builder.SetSourceModule (module);
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (width, height);
  builder.SetBounds (0.0, upper, 0.0, upper);
}

} // namespace

TEST (NoiseMapTest, SizeRulesAndStride)
{
  NoiseMap map;
  EXPECT_THROW (map.SetSize (32768, 1), noise::ExceptionInvalidParam);
  EXPECT_THROW (map.SetSize (1, 32768), noise::ExceptionInvalidParam);
  EXPECT_THROW (map.SetSize (-1, 4), noise::ExceptionInvalidParam);
  EXPECT_EQ (map.GetWidth (), 0);
  map.SetSize (5, 3);
  EXPECT_EQ (map.GetWidth (), 5);
  EXPECT_EQ (map.GetHeight (), 3);
  EXPECT_EQ (map.GetStride (), 8);
  EXPECT_EQ (map.GetSlabPtr (2) - map.GetSlabPtr (), 16);
  map.SetSize (8, 3);
  EXPECT_EQ (map.GetStride (), 8);
  map.SetSize (32767, 1);
  EXPECT_EQ (map.GetStride (), 32768);
  map.SetSize (0, 5);
  EXPECT_EQ (map.GetWidth (), 0);
  EXPECT_EQ (map.GetHeight (), 0);
  EXPECT_EQ (map.GetSlabPtr (), nullptr);
}

TEST (NoiseMapTest, OutsideReadsTheBorderValueAndWritesAreIgnored)
{
  NoiseMap map (4, 4);
  map.Clear (0.5f);
  map.SetBorderValue (-7.0f);
  map.SetValue (4, 0, 9.0f);
  map.SetValue (-1, 2, 9.0f);
  map.SetValue (1, 2, 2.0f);
  EXPECT_EQ (map.GetValue (1, 2), 2.0f);
  EXPECT_EQ (map.GetValue (3, 3), 0.5f);
  EXPECT_EQ (map.GetValue (4, 0), -7.0f);
  EXPECT_EQ (map.GetValue (0, -1), -7.0f);
  EXPECT_EQ (map.GetSlabPtr (2)[1], 2.0f);
  // Resizing to the same size keeps the contents.
  map.SetSize (4, 4);
  EXPECT_EQ (map.GetValue (1, 2), 2.0f);
}

TEST (NoiseMapTest, ImageFollowsTheSameRules)
{
  Image image;
  EXPECT_THROW (image.SetSize (32768, 1), noise::ExceptionInvalidParam);
  image.SetSize (3, 2);
  EXPECT_EQ (image.GetStride (), 4);
  image.SetBorderValue (Color (1, 2, 3, 4));
  EXPECT_EQ (image.GetValue (3, 0), Color (1, 2, 3, 4));
  EXPECT_EQ (image.GetValue (0, 0), Color (0, 0, 0, 0));
  image.SetSize (0, 5);
  EXPECT_EQ (image.GetHeight (), 0);
}

TEST (NoiseMapBuilderPlaneTest, SamplesTheWindowFromItsLowerCornerAndNeverTheUpperBound)
{
  RecordingModule module;
  NoiseMap map;
  NoiseMapBuilderPlane builder;
  Aim (builder, module, map, 256, 256, 4.0);
  builder.Build ();

  ASSERT_EQ (module.points.size (), 256u * 256u);
  EXPECT_EQ (module.points.front ().x, 0.0);
  EXPECT_EQ (module.points.front ().z, 0.0);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ (module.points[i].x, i * (4.0 / 256.0));
    EXPECT_EQ (module.points[i].y, 0.0);
    EXPECT_EQ (module.points[i].z, 0.0);
    EXPECT_EQ (module.points[256 * i].z, i * (4.0 / 256.0));
  }
  EXPECT_EQ (module.points.back ().x, 4.0 - 4.0 / 256.0);
  EXPECT_EQ (module.points.back ().z, 4.0 - 4.0 / 256.0);
  // Row y, column x holds the value at (x step, y step), as a float.
  EXPECT_EQ (map.GetWidth (), 256);
  EXPECT_EQ (map.GetValue (3, 2), static_cast<float> (3 * 4.0 / 256.0 + 1000.0 * 2 * 4.0 / 256.0));
}

TEST (NoiseMapBuilderPlaneTest, OffsetRectangularWindow)
{
  RecordingModule module;
  NoiseMap map;
  NoiseMapBuilderPlane builder;
  builder.SetSourceModule (module);
  builder.SetDestNoiseMap (map);
  builder.SetDestSize (4, 2);
  builder.SetBounds (-32.0, -28.0, 5.0, 6.0);
  builder.Build ();
  EXPECT_EQ (map.GetWidth (), 4);
  EXPECT_EQ (map.GetHeight (), 2);
  EXPECT_EQ (map.GetValue (0, 0), -32.0f + 5000.0f);
  EXPECT_EQ (map.GetValue (3, 1), -29.0f + 5500.0f);
}

TEST (NoiseMapBuilderPlaneTest, ProgressTextsAndEventsComeBeforeTheFirstSample)
{
  RecordingModule module;
  LoggingReporter reporter;
  module.log = &reporter.log;
  NoiseMap map;
  NoiseMapBuilderPlane builder;
  Aim (builder, module, map, 1, 2, 4.0);
  builder.SetProgressReporter (&reporter);
  builder.Build (3);
  const QStringList expected {
    QStringLiteral ("panel:computing noise ... \n\nnode: 3/9"),
    QStringLiteral ("status:computing noise ... node: 3/9"),
    QStringLiteral ("events"),
    QStringLiteral ("sample"),
    QStringLiteral ("sample"),
    QStringLiteral ("status:noise maps generated")};
  EXPECT_EQ (reporter.log, expected);

  reporter.log.clear ();
  builder.Build ();
  EXPECT_EQ (reporter.log, QStringList ({QStringLiteral ("sample"), QStringLiteral ("sample")}));
}

TEST (NoiseMapBuilderPlaneTest, WithoutReporterBuildWithProgressRunsSilently)
{
  noise::module::Const module;
  module.SetConstValue (0.25);
  NoiseMap map;
  NoiseMapBuilderPlane builder;
  Aim (builder, module, map, 3, 3);
  builder.Build (9);
  EXPECT_EQ (map.GetValue (2, 2), 0.25f);
}

TEST (NoiseMapBuilderPlaneTest, CallbackFollowsEachFinishedRow)
{
  RecordingModule module;
  NoiseMap map;
  NoiseMapBuilderPlane builder;
  std::vector<int> rows;
  builder.SetCallback ([&] (int row) {
    EXPECT_EQ (module.points.size (), static_cast<std::size_t> ((row + 1) * 5));
    rows.push_back (row);
  });
  Aim (builder, module, map, 5, 4);
  builder.Build ();
  EXPECT_EQ (rows, std::vector<int> ({0, 1, 2, 3}));
}

TEST (NoiseMapBuilderPlaneTest, BadParametersAreRefusedBeforeAnyProgress)
{
  noise::module::Const module;
  NoiseMap map;
  LoggingReporter reporter;
  NoiseMapBuilderPlane builder;
  builder.SetProgressReporter (&reporter);
  EXPECT_THROW (builder.SetBounds (1.0, 1.0, 0.0, 1.0), noise::ExceptionInvalidParam);
  EXPECT_THROW (builder.SetBounds (0.0, 1.0, 2.0, 1.0), noise::ExceptionInvalidParam);
  EXPECT_THROW (builder.SetBounds (0.0, NAN, 0.0, 1.0), noise::ExceptionInvalidParam);
  EXPECT_THROW (builder.SetBounds (0.0, INFINITY, 0.0, 1.0), noise::ExceptionInvalidParam);
  EXPECT_THROW (builder.SetDestSize (-1, 4), noise::ExceptionInvalidParam);

  // Nothing set: no window, no size, no source, no map.
  EXPECT_THROW (builder.Build (1), noise::ExceptionInvalidParam);
  builder.SetBounds (0.0, 1.0, 0.0, 1.0);
  builder.SetDestSize (4, 4);
  builder.SetDestNoiseMap (map);
  EXPECT_THROW (builder.Build (1), noise::ExceptionInvalidParam); // no source
  builder.SetSourceModule (module);
  builder.SetDestSize (0, 4);
  EXPECT_THROW (builder.Build (1), noise::ExceptionInvalidParam);
  builder.SetDestSize (32768, 4);
  EXPECT_THROW (builder.Build (1), noise::ExceptionInvalidParam);
  EXPECT_TRUE (reporter.log.isEmpty ());
  EXPECT_EQ (map.GetWidth (), 0);

  NoiseMapBuilderPlane mapless;
  mapless.SetSourceModule (module);
  mapless.SetBounds (0.0, 1.0, 0.0, 1.0);
  mapless.SetDestSize (4, 4);
  EXPECT_THROW (mapless.Build (), noise::ExceptionInvalidParam);
}

TEST (NoiseMapBuilderPlaneTest, ChangesMadeWhileEventsAreProcessedAreHonoured)
{
  noise::module::Const module;
  module.SetConstValue (0.5);
  NoiseMap map;
  LoggingReporter reporter;
  NoiseMapBuilderPlane builder;
  Aim (builder, module, map, 4, 4);
  builder.SetProgressReporter (&reporter);

  // User-interface code run from the event processing resizes the build:
  // the map gets the new size, consistently.
  reporter.onEvents = [&] { builder.SetDestSize (7, 3); };
  builder.Build (6);
  EXPECT_EQ (map.GetWidth (), 7);
  EXPECT_EQ (map.GetHeight (), 3);
  EXPECT_EQ (map.GetValue (6, 2), 0.5f);

  // ... or makes it invalid: refused, nothing written.
  reporter.onEvents = [&] { builder.SetDestSize (0, 0); };
  EXPECT_THROW (builder.Build (6), noise::ExceptionInvalidParam);
  EXPECT_EQ (map.GetWidth (), 7);
}
