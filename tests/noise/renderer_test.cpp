// Gradients, the gradient-and-light renderer and the normal-map renderer.

#include "noise/gradientcolor.h"
#include "noise/rendererimage.h"
#include "noise/renderernormalmap.h"

#include <libnoise/exception.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using noise::utils::Color;
using noise::utils::GradientColor;
using noise::utils::GradientPoint;
using noise::utils::Image;
using noise::utils::NoiseMap;
using noise::utils::RendererImage;
using noise::utils::RendererNormalMap;

namespace {

NoiseMap Filled (int width, int height, float value)
{
  NoiseMap map (width, height);
  map.Clear (value);
  return map;
}

/// A map rising by @a perColumn per column and @a perRow per row.
NoiseMap Ramp (int width, int height, float perColumn, float perRow)
{
  NoiseMap map (width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      map.SetValue (x, y, perColumn * x + perRow * y);
    }
  }
  return map;
}

/// Renders @a map with @a renderer and returns the image.
Image Render (RendererImage& renderer, const NoiseMap& map)
{
  Image image;
  renderer.SetSourceNoiseMap (map);
  renderer.SetDestImage (image);
  renderer.Render ();
  return image;
}

void UseFlatGradient (RendererImage& renderer, std::uint8_t level)
{
  renderer.ClearGradient ();
  renderer.AddGradientPoint (-10.0, Color (level, level, level, 255));
  renderer.AddGradientPoint (10.0, Color (level, level, level, 255));
}

} // namespace

TEST (GradientColorTest, PointsStaySortedAndPositionsAreUnique)
{
  GradientColor gradient;
  gradient.AddGradientPoint (0.5, Color (1, 1, 1, 255));
  gradient.AddGradientPoint (-0.5, Color (2, 2, 2, 255));
  gradient.AddGradientPoint (0.0, Color (3, 3, 3, 255));
  ASSERT_EQ (gradient.GetGradientPointCount (), 3);
  EXPECT_EQ (gradient.GetGradientPoints ()[0].pos, -0.5);
  EXPECT_EQ (gradient.GetGradientPoints ()[1].pos, 0.0);
  EXPECT_EQ (gradient.GetGradientPoints ()[2].pos, 0.5);
  EXPECT_THROW (gradient.AddGradientPoint (0.0, Color ()), noise::ExceptionInvalidParam);
  EXPECT_THROW (gradient.AddGradientPoint (NAN, Color ()), noise::ExceptionInvalidParam);
  EXPECT_EQ (gradient.GetGradientPointCount (), 3);
}

TEST (GradientColorTest, BlendTruncatesAndEndsExtendOutwards)
{
  GradientColor gradient;
  gradient.AddGradientPoint (-1.0, Color (0, 0, 0, 255));
  gradient.AddGradientPoint (0.0, Color (255, 0, 100, 255));
  gradient.AddGradientPoint (1.0, Color (255, 255, 255, 255));
  EXPECT_EQ (gradient.GetColor (-0.5), Color (127, 0, 50, 255));
  EXPECT_EQ (gradient.GetColor (-0.25), Color (191, 0, 75, 255));
  EXPECT_EQ (gradient.GetColor (0.0), Color (255, 0, 100, 255));
  EXPECT_EQ (gradient.GetColor (0.5), Color (255, 127, 177, 255));
  EXPECT_EQ (gradient.GetColor (-3.0), Color (0, 0, 0, 255));
  EXPECT_EQ (gradient.GetColor (1.0), Color (255, 255, 255, 255));
  EXPECT_EQ (gradient.GetColor (7.0), Color (255, 255, 255, 255));
  EXPECT_EQ (gradient.GetColor (NAN), Color (255, 255, 255, 255));
  EXPECT_EQ (GradientColor ().GetColor (0.0), Color ());
}

TEST (GradientColorTest, LookupGivesExactlyTheColoursOfGetColor)
{
  GradientColor irregular;
  irregular.AddGradientPoint (-1.0, Color (0, 10, 20, 255));
  irregular.AddGradientPoint (-0.999, Color (200, 10, 20, 255));
  irregular.AddGradientPoint (-0.25, Color (5, 250, 20, 255));
  irregular.AddGradientPoint (0.1, Color (90, 90, 255, 255));
  irregular.AddGradientPoint (0.1000001, Color (255, 0, 0, 255));
  irregular.AddGradientPoint (3.0, Color (1, 2, 3, 255));
  GradientColor fine;
  for (int c = 0; c < 2048; ++c) {
    fine.AddGradientPoint ((c + 1) / 1024.0 - 1.0, Color (static_cast<std::uint8_t> (c % 256),
      static_cast<std::uint8_t> (c / 8), static_cast<std::uint8_t> ((c * 7) % 256), 255));
  }
  for (const GradientColor* gradient : {&irregular, &fine}) {
    const GradientColor::Lookup lookup (*gradient);
    for (int i = -5000; i <= 5000; ++i) {
      const double value = i * 0.000731;
      ASSERT_EQ (lookup.GetColor (value), gradient->GetColor (value)) << value;
    }
    for (const GradientPoint& point : gradient->GetGradientPoints ()) {
      ASSERT_EQ (lookup.GetColor (point.pos), gradient->GetColor (point.pos)) << point.pos;
      const double below = std::nextafter (point.pos, -INFINITY);
      ASSERT_EQ (lookup.GetColor (below), gradient->GetColor (below)) << below;
    }
    for (const double value : {-HUGE_VAL, HUGE_VAL, std::nan (""), -1e300, 1e300}) {
      EXPECT_EQ (lookup.GetColor (value), gradient->GetColor (value)) << value;
    }
  }
}

TEST (RendererImageTest, TheTablesGiveThePlainPathsBytes)
{
  // A rough map with every kind of value: steep neighbours for strong light, the gradient's
  // ends and beyond, its points exactly, NaN.
  NoiseMap map;
  map.SetSize (257, 129);
  std::uint32_t state = 12345;
  for (int y = 0; y < map.GetHeight (); ++y) {
    for (int x = 0; x < map.GetWidth (); ++x) {
      state = state * 1664525u + 1013904223u;
      float value = static_cast<float> (state >> 8) / 8388608.0f - 1.0f;   // -1 ... 1
      if (x % 17 == 0) {
        value *= 3.0f;
      }
      if (x % 29 == 0) {
        value = static_cast<float> (((x + y) % 2048 + 1) / 1024.0 - 1.0);
      }
      map.SetValue (x, y, (x == 100 && y == 50) ? std::nanf ("") : value);
    }
  }
  RendererImage renderer;
  renderer.ClearGradient ();
  for (int c = 0; c < RendererImage::GRADIENT_PICTURE_POINTS; ++c) {
    renderer.AddGradientPoint ((c + 1) / 1024.0 - 1.0, Color (static_cast<std::uint8_t> (c % 256),
      static_cast<std::uint8_t> (c / 8), static_cast<std::uint8_t> ((c * 7) % 256), 255));
  }
  for (const bool light : {false, true}) {
    for (const double contrast : {1.0, 2.0, 7.5}) {
      renderer.EnableLight (light);
      renderer.SetLightContrast (contrast);
      renderer.SetLightIntensity (contrast / 2.0);
      renderer.SetPlainPath (true);
      const Image plain = Render (renderer, map);
      renderer.SetPlainPath (false);
      const Image tables = Render (renderer, map);
      for (int y = 0; y < map.GetHeight (); ++y) {
        ASSERT_EQ (std::memcmp (plain.GetConstSlabPtr (y), tables.GetConstSlabPtr (y), sizeof (Color) * 257), 0)
          << "row " << y << ", light " << light << ", contrast " << contrast;
      }
    }
  }
}

TEST (RendererImageTest, GreyGradientGivesBlackWhiteAndGrey127)
{
  RendererImage renderer;
  EXPECT_EQ (Render (renderer, Filled (3, 2, -1.0f)).GetValue (2, 1), Color (0, 0, 0, 255));
  EXPECT_EQ (Render (renderer, Filled (3, 2, 1.0f)).GetValue (0, 0), Color (255, 255, 255, 255));
  EXPECT_EQ (Render (renderer, Filled (3, 2, 0.0f)).GetValue (1, 1), Color (127, 127, 127, 255));
  EXPECT_EQ (Render (renderer, Filled (3, 2, 5.0f)).GetValue (1, 1), Color (255, 255, 255, 255));
  const Image image = Render (renderer, Filled (3, 2, 0.0f));
  EXPECT_EQ (image.GetWidth (), 3);
  EXPECT_EQ (image.GetHeight (), 2);
}

TEST (RendererImageTest, TransparentGradientColoursComeOutOpaque)
{
  RendererImage renderer;
  renderer.ClearGradient ();
  renderer.AddGradientPoint (-1.0, Color (10, 20, 30, 0));
  renderer.AddGradientPoint (1.0, Color (10, 20, 30, 0));
  EXPECT_EQ (Render (renderer, Filled (1, 1, 0.0f)).GetValue (0, 0), Color (10, 20, 30, 255));
}

TEST (RendererImageTest, LightOnAFlatMapHalvesEveryChannel)
{
  RendererImage renderer;
  renderer.EnableLight (true);
  EXPECT_EQ (renderer.GetLightAzimuth (), 45.0);
  EXPECT_EQ (renderer.GetLightElev (), 45.0);
  EXPECT_EQ (renderer.GetLightContrast (), 1.0);
  EXPECT_EQ (renderer.GetLightIntensity (), 1.0);
  // White: 255 * 0.5 = 127.5, rounded to the nearest.
  EXPECT_EQ (Render (renderer, Filled (4, 4, 1.0f)).GetValue (2, 2), Color (128, 128, 128, 255));
  UseFlatGradient (renderer, 200);
  EXPECT_EQ (Render (renderer, Filled (4, 4, 0.3f)).GetValue (0, 3), Color (100, 100, 100, 255));
  renderer.SetLightIntensity (1.5);
  EXPECT_EQ (Render (renderer, Filled (4, 4, 0.3f)).GetValue (0, 3), Color (150, 150, 150, 255));
  renderer.SetLightIntensity (4.0); // 200 / 255 * 2 is above 1: clamped
  EXPECT_EQ (Render (renderer, Filled (4, 4, 0.3f)).GetValue (0, 3), Color (255, 255, 255, 255));
  renderer.SetLightIntensity (0.0);
  EXPECT_EQ (Render (renderer, Filled (4, 4, 0.3f)).GetValue (0, 3), Color (0, 0, 0, 255));
}

TEST (RendererImageTest, LightFollowsTheSlopeWithTheCellItselfAtTheEdges)
{
  // Light from azimuth 0 (the right), elevation 45: io = 0.5, ix = 0.5,
  // iy = 0.  The map rises by 0.1 per column.
  RendererImage renderer;
  renderer.EnableLight ();
  renderer.SetLightAzimuth (0.0);
  UseFlatGradient (renderer, 255);
  const NoiseMap ramp = Ramp (4, 3, 0.1f, 0.0f);
  const Image image = Render (renderer, ramp);
  // Inside: 0.5 * (left - right) + 0.5 = 0.5 * -0.2 + 0.5 = 0.4 -> 102.
  EXPECT_EQ (image.GetValue (1, 1).red, 102);
  EXPECT_EQ (image.GetValue (2, 0).red, 102);
  // Edges: the missing neighbour is the cell itself, 0.5 * -0.1 + 0.5 -> 114.75.
  EXPECT_EQ (image.GetValue (0, 1).red, 115);
  EXPECT_EQ (image.GetValue (3, 2).red, 115);

  // Contrast scales the slope term: 0.75 * -0.2 + 0.5 = 0.35 -> 89.25.
  renderer.SetLightContrast (1.5);
  EXPECT_EQ (Render (renderer, ramp).GetValue (1, 1).red, 89);
  // A steep enough slope would go negative: it is black, not wrapped.
  renderer.SetLightContrast (10.0);
  EXPECT_EQ (Render (renderer, ramp).GetValue (1, 1).red, 0);

  // Light from azimuth 90 (the top) sees no slope along x.
  renderer.SetLightContrast (1.0);
  renderer.SetLightAzimuth (90.0);
  EXPECT_EQ (Render (renderer, ramp).GetValue (1, 1).red, 128);
}

TEST (RendererImageTest, LoadGradientFromABlackToWhitePicture)
{
  QTemporaryDir dir;
  QImage picture (2048, 1, QImage::Format_RGB32);
  for (int c = 0; c < 2048; ++c) {
    picture.setPixel (c, 0, qRgb (c / 8, c / 8, c / 8));
  }
  const QString path = dir.filePath ("black to white.bmp");
  ASSERT_TRUE (picture.save (path));

  RendererImage renderer;
  ASSERT_TRUE (renderer.LoadGradient (path));
  const GradientColor& gradient = renderer.GetGradient ();
  ASSERT_EQ (gradient.GetGradientPointCount (), 2048);
  EXPECT_EQ (gradient.GetGradientPoints ().front ().pos, -1.0 + 1.0 / 1024.0);
  EXPECT_EQ (gradient.GetGradientPoints ().back ().pos, 1.0);
  EXPECT_EQ (gradient.GetGradientPoints ()[1023].pos, 0.0);
  EXPECT_EQ (Render (renderer, Filled (2, 2, -1.0f)).GetValue (0, 0), Color (0, 0, 0, 255));
  EXPECT_EQ (Render (renderer, Filled (2, 2, 1.0f)).GetValue (0, 0), Color (255, 255, 255, 255));
  // Value 0 is column 1023's point: 1023 / 8 = 127.
  EXPECT_EQ (Render (renderer, Filled (2, 2, 0.0f)).GetValue (0, 0), Color (127, 127, 127, 255));
}

TEST (RendererImageTest, NarrowGradientPictureIsBlackBeyondItsWidth)
{
  QTemporaryDir dir;
  QImage picture (100, 3, QImage::Format_RGB32);
  picture.fill (qRgb (0, 200, 50));
  const QString path = dir.filePath ("narrow.png");
  ASSERT_TRUE (picture.save (path));
  RendererImage renderer;
  ASSERT_TRUE (renderer.LoadGradient (path));
  EXPECT_EQ (renderer.GetGradient ().GetGradientPointCount (), 2048);
  EXPECT_EQ (Render (renderer, Filled (1, 1, -0.99f)).GetValue (0, 0), Color (0, 200, 50, 255));
  EXPECT_EQ (Render (renderer, Filled (1, 1, 0.5f)).GetValue (0, 0), Color (0, 0, 0, 255));
  EXPECT_EQ (Render (renderer, Filled (1, 1, 1.0f)).GetValue (0, 0), Color (0, 0, 0, 255));
}

TEST (RendererImageTest, MissingOrUnreadableGradientKeepsThePreviousOne)
{
  QTemporaryDir dir;
  RendererImage renderer;
  UseFlatGradient (renderer, 90);
  EXPECT_FALSE (renderer.LoadGradient (dir.filePath ("no such gradient.bmp")));
  QFile garbage (dir.filePath ("garbage.bmp"));
  ASSERT_TRUE (garbage.open (QIODevice::WriteOnly));
  garbage.write ("BM not really");
  garbage.close ();
  EXPECT_FALSE (renderer.LoadGradient (garbage.fileName ()));
  EXPECT_EQ (renderer.GetGradient ().GetGradientPointCount (), 2);
  EXPECT_EQ (Render (renderer, Filled (1, 1, 0.0f)).GetValue (0, 0), Color (90, 90, 90, 255));
}

TEST (RendererImageTest, BadParametersAreRefused)
{
  RendererImage renderer;
  EXPECT_THROW (renderer.SetLightContrast (0.0), noise::ExceptionInvalidParam);
  EXPECT_THROW (renderer.SetLightContrast (NAN), noise::ExceptionInvalidParam);
  EXPECT_THROW (renderer.SetLightIntensity (-0.1), noise::ExceptionInvalidParam);
  EXPECT_EQ (renderer.GetLightContrast (), 1.0);
  EXPECT_EQ (renderer.GetLightIntensity (), 1.0);

  EXPECT_THROW (renderer.Render (), noise::ExceptionInvalidParam); // nothing set
  Image image;
  renderer.SetDestImage (image);
  NoiseMap empty;
  renderer.SetSourceNoiseMap (empty);
  EXPECT_THROW (renderer.Render (), noise::ExceptionInvalidParam);
  const NoiseMap map = Filled (2, 2, 0.0f);
  renderer.SetSourceNoiseMap (map);
  renderer.ClearGradient ();
  renderer.AddGradientPoint (0.0, Color (1, 2, 3, 255));
  EXPECT_THROW (renderer.Render (), noise::ExceptionInvalidParam); // one point
  renderer.BuildGrayscaleGradient ();
  renderer.Render ();
  EXPECT_EQ (image.GetValue (1, 1), Color (127, 127, 127, 255));
}

TEST (RendererNormalMapTest, FlatMapGivesStraightUpNormals)
{
  const NoiseMap map = Filled (5, 4, 0.3f);
  Image image;
  RendererNormalMap renderer;
  renderer.SetSourceNoiseMap (map);
  renderer.SetDestImage (image);
  renderer.SetBumpHeight (3.0);
  renderer.Render ();
  ASSERT_EQ (image.GetWidth (), 5);
  ASSERT_EQ (image.GetHeight (), 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ (image.GetValue (x, y), Color (127, 127, 255, 0));
    }
  }
}

TEST (RendererNormalMapTest, SlopesTiltTheNormalAndTheLastColumnUsesItselfOrWraps)
{
  // Rising by 0.5 per column: c - r = -0.5, len = sqrt(1.25).
  const NoiseMap ramp = Ramp (3, 2, 0.5f, 0.0f);
  Image image;
  RendererNormalMap renderer;
  renderer.SetSourceNoiseMap (ramp);
  renderer.SetDestImage (image);
  renderer.Render ();
  // red = floor((-0.5 / 1.118 + 1) * 127.5) = 70, blue = floor((0.894 + 1) * 127.5) = 241.
  EXPECT_EQ (image.GetValue (0, 0), Color (70, 127, 241, 0));
  EXPECT_EQ (image.GetValue (1, 1), Color (70, 127, 241, 0));
  EXPECT_EQ (image.GetValue (2, 0), Color (127, 127, 255, 0));

  // Wrapping: the last column's neighbour is column 0, 1.0 lower.
  // vx = 1: red = floor((1 / sqrt(2) + 1) * 127.5) = 217, blue = floor(217.65).
  renderer.EnableWrap ();
  renderer.Render ();
  EXPECT_EQ (image.GetValue (2, 0), Color (217, 127, 217, 0));
  EXPECT_EQ (image.GetValue (0, 0), Color (70, 127, 241, 0));

  // Bump height 2 doubles the slope: vx = -1.
  renderer.EnableWrap (false);
  renderer.SetBumpHeight (2.0);
  renderer.Render ();
  EXPECT_EQ (image.GetValue (0, 0), Color (37, 127, 217, 0));
}

TEST (RendererNormalMapTest, RowsUseTheUpperNeighbour)
{
  const NoiseMap ramp = Ramp (2, 3, 0.0f, 0.5f);
  Image image;
  RendererNormalMap renderer;
  renderer.SetSourceNoiseMap (ramp);
  renderer.SetDestImage (image);
  renderer.Render ();
  EXPECT_EQ (image.GetValue (1, 0), Color (127, 70, 241, 0));
  EXPECT_EQ (image.GetValue (1, 2), Color (127, 127, 255, 0));
}

TEST (RendererNormalMapTest, BadParametersAreRefused)
{
  RendererNormalMap renderer;
  EXPECT_THROW (renderer.Render (), noise::ExceptionInvalidParam);
  Image image;
  const NoiseMap empty;
  renderer.SetDestImage (image);
  renderer.SetSourceNoiseMap (empty);
  EXPECT_THROW (renderer.Render (), noise::ExceptionInvalidParam);
}
