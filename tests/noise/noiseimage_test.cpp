// The image noise: pixel mapping, the red channel, the holders and bad files.

#include "noise/noiseimage.h"

#include <libnoise/exception.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using noise::module::NoiseImage;
using noise::module::NoiseImageHolder;

namespace {

class NoiseImageTest: public ::testing::Test
{
  protected:
    QString Path (const QString& name) const
    {
      return m_dir.filePath (name);
    }

    /// Saves a picture whose every pixel is @a color.
    QString SaveFilled (const QString& name, int width, int height, QColor color) const
    {
      QImage image (width, height, QImage::Format_RGB32);
      image.fill (color);
      EXPECT_TRUE (image.save (Path (name)));
      return Path (name);
    }

    /// Red = column, green = row (mod 256), blue 0: every pixel of a
    /// 256-wide picture tells where it is.
    QString SaveCoded (const QString& name, int width, int height) const
    {
      QImage image (width, height, QImage::Format_RGB32);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          image.setPixel (x, y, qRgb (x % 256, y % 256, 0));
        }
      }
      EXPECT_TRUE (image.save (Path (name)));
      return Path (name);
    }

    static std::unique_ptr<NoiseImage> Module (const QString& fileName, int slot = 0)
    {
      auto module = std::make_unique<NoiseImage> ();
      module->fileName = fileName;
      module->slot = slot;
      return module;
    }

    static float ExpectedValue (int red)
    {
      return 2.0f * (static_cast<float> (red) / 255.0f - 0.5f);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F (NoiseImageTest, BlackIsMinusOneAndWhiteIsPlusOne)
{
  const auto black = Module (SaveFilled ("black.png", 512, 512, Qt::black));
  EXPECT_EQ (black->GetValue (0.0, 0.0, 0.0), -1.0);
  EXPECT_EQ (black->GetValue (2.5, 0.0, 1.5), -1.0);
  const auto white = Module (SaveFilled ("white.png", 512, 512, Qt::white));
  EXPECT_EQ (white->GetValue (0.0, 0.0, 0.0), 1.0);
  EXPECT_EQ (white->GetValue (2.5, 0.0, 1.5), 1.0);
  const auto grey = Module (SaveFilled ("grey.png", 512, 512, QColor (128, 128, 128)));
  EXPECT_EQ (grey->GetValue (0.0, 0.0, 0.0), ExpectedValue (128));
  EXPECT_NEAR (grey->GetValue (0.0, 0.0, 0.0), 1.0 / 255.0, 1e-7);
}

TEST_F (NoiseImageTest, OnlyTheRedChannelCounts)
{
  const auto red = Module (SaveFilled ("red.png", 16, 16, QColor (255, 0, 0)));
  EXPECT_EQ (red->GetValue (0.0, 0.0, 0.0), 1.0);
  const auto cyan = Module (SaveFilled ("cyan.png", 16, 16, QColor (0, 255, 255)));
  EXPECT_EQ (cyan->GetValue (0.0, 0.0, 0.0), -1.0);
}

TEST_F (NoiseImageTest, OriginReadsTheBottomLeftPixelAndTheTopRowIsAtTheLargestZ)
{
  const auto module = Module (SaveCoded ("coded.png", 256, 256));
  // W = 256: 64 pixels per plane unit; row 255 is the bottom row.
  EXPECT_EQ (module->GetValue (0.0, 0.0, 0.0), ExpectedValue (0));
  // Column trunc(x * 64) reads red = column.
  EXPECT_EQ (module->GetValue (1.0, 0.0, 0.0), ExpectedValue (64));
  EXPECT_EQ (module->GetValue (3.99, 0.0, 0.0), ExpectedValue (255));
  EXPECT_EQ (module->GetValue (2.5 / 64.0, 0.0, 3.99), ExpectedValue (2));
  // Outside [0, 4) x [0, 4): black.
  EXPECT_EQ (module->GetValue (4.0, 0.0, 1.0), -1.0);
  EXPECT_EQ (module->GetValue (1.0, 0.0, 4.0), -1.0);
  EXPECT_EQ (module->GetValue (-0.1, 0.0, 1.0), -1.0);
  EXPECT_EQ (module->GetValue (1.0, 0.0, -0.1), -1.0);
  EXPECT_EQ (module->GetValue (NAN, 0.0, 1.0), -1.0);
  EXPECT_EQ (module->GetValue (1e300, 0.0, 1.0), -1.0);
}

TEST_F (NoiseImageTest, RowsCountFromTheBottom)
{
  // Green = picture row: check through a picture whose red is its row.
  QImage image (256, 256, QImage::Format_RGB32);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      image.setPixel (x, y, qRgb (y, 0, 0));
    }
  }
  ASSERT_TRUE (image.save (Path ("rows.png")));
  const auto module = Module (Path ("rows.png"));
  EXPECT_EQ (module->GetValue (0.0, 0.0, 0.0), ExpectedValue (255));
  EXPECT_EQ (module->GetValue (0.5, 0.0, 1.0), ExpectedValue (255 - 64));
  EXPECT_EQ (module->GetValue (0.5, 0.0, 3.99), ExpectedValue (0));
}

TEST_F (NoiseImageTest, NonSquarePicturesUseTheWidthForBothAxes)
{
  // 8 wide, 4 high: treated as 8 x 8, its missing lower half reads black.
  const auto wide = Module (SaveFilled ("wide.png", 8, 4, Qt::white));
  EXPECT_EQ (wide->GetValue (1.0, 0.0, 0.5), -1.0); // picture row 6: missing
  EXPECT_EQ (wide->GetValue (1.0, 0.0, 1.99), -1.0); // picture row 4: missing
  EXPECT_EQ (wide->GetValue (1.0, 0.0, 2.0), 1.0);  // picture row 3
  EXPECT_EQ (wide->GetValue (3.9, 0.0, 3.9), 1.0);  // picture row 0
  // 4 wide, 8 high: treated as 4 x 4, its lower rows are never read.
  QImage tall (4, 8, QImage::Format_RGB32);
  tall.fill (Qt::white);
  for (int x = 0; x < 4; ++x) {
    tall.setPixel (x, 7, qRgb (0, 0, 0));
  }
  ASSERT_TRUE (tall.save (Path ("tall.png")));
  const auto tallModule = Module (Path ("tall.png"));
  for (double z = 0.0; z < 4.0; z += 0.25) {
    EXPECT_EQ (tallModule->GetValue (0.0, 0.0, z), 1.0) << z;
  }
}

TEST_F (NoiseImageTest, TinyPictureCoversTheWholeSquare)
{
  const auto tiny = Module (SaveFilled ("tiny.png", 1, 1, Qt::white));
  EXPECT_EQ (tiny->GetValue (0.0, 0.0, 0.0), 1.0);
  EXPECT_EQ (tiny->GetValue (3.99, 0.0, 3.99), 1.0);
  EXPECT_EQ (tiny->GetValue (-4.5, 0.0, 1.0), -1.0);
}

TEST_F (NoiseImageTest, MissingOrUnreadableFilesReadAsBlack)
{
  const auto missing = Module (Path ("nothing here.png"));
  EXPECT_EQ (missing->GetValue (0.0, 0.0, 0.0), -1.0);
  EXPECT_EQ (missing->GetValue (1.0, 0.0, 1.0), -1.0);

  QFile garbage (Path ("garbage.png"));
  ASSERT_TRUE (garbage.open (QIODevice::WriteOnly));
  garbage.write ("\x89PNG this is not a picture");
  garbage.close ();
  const auto unreadable = Module (Path ("garbage.png"));
  EXPECT_EQ (unreadable->GetValue (0.0, 0.0, 0.0), -1.0);
  EXPECT_EQ (unreadable->GetValue (2.0, 0.0, 2.0), -1.0);

  const auto unnamed = Module (QString ());
  EXPECT_EQ (unnamed->GetValue (0.0, 0.0, 0.0), -1.0);
  EXPECT_EQ (unnamed->GetValue (2.0, 0.0, 2.0), -1.0);
}

TEST_F (NoiseImageTest, PictureIsReloadedAtTheOriginOnly)
{
  const QString path = SaveFilled ("changing.png", 64, 64, Qt::white);
  const auto module = Module (path);
  EXPECT_EQ (module->GetValue (0.0, 0.0, 0.0), 1.0);
  SaveFilled ("changing.png", 64, 64, Qt::black);
  EXPECT_EQ (module->GetValue (1.0, 0.0, 1.0), 1.0); // still the picture read at the origin
  // A new module of the same file and slot finds the holder's picture.
  const auto successor = Module (path);
  EXPECT_EQ (successor->GetValue (1.0, 0.0, 1.0), 1.0);
  EXPECT_EQ (successor->GetValue (0.0, 0.0, 0.0), -1.0); // reloaded
  EXPECT_EQ (module->GetValue (1.0, 0.0, 1.0), -1.0);    // the holder is shared
  EXPECT_EQ (NoiseImageHolder::ForSlot (0).GetPicture ()->fileName, path);
}

TEST_F (NoiseImageTest, ModuleWithAnotherFileReadsItAtItsFirstSample)
{
  const auto first = Module (SaveFilled ("first.png", 64, 64, Qt::white));
  EXPECT_EQ (first->GetValue (0.0, 0.0, 0.0), 1.0);
  // The window of this map does not start at the origin, yet it must not
  // show the previous file.
  const auto second = Module (SaveFilled ("second.png", 64, 64, Qt::black));
  EXPECT_EQ (second->GetValue (1.0, 0.0, 1.0), -1.0);
  // Changing the file name of a module takes effect at its next sample.
  const auto renamed = Module (Path ("second.png"));
  EXPECT_EQ (renamed->GetValue (1.0, 0.0, 1.0), -1.0);
  renamed->fileName = Path ("first.png");
  EXPECT_EQ (renamed->GetValue (1.0, 0.0, 1.0), 1.0);
}

TEST_F (NoiseImageTest, TheTwoSlotsHoldTheirOwnPictures)
{
  const auto one = Module (SaveFilled ("one.png", 32, 32, Qt::white), 0);
  const auto two = Module (SaveFilled ("two.png", 32, 32, Qt::black), 1);
  EXPECT_EQ (one->GetValue (0.0, 0.0, 0.0), 1.0);
  EXPECT_EQ (two->GetValue (0.0, 0.0, 0.0), -1.0);
  EXPECT_EQ (one->GetValue (1.0, 0.0, 1.0), 1.0);
  EXPECT_EQ (NoiseImageHolder::ForSlot (0).GetPicture ()->width, 32);
  EXPECT_EQ (NoiseImageHolder::ForSlot (1).GetPicture ()->fileName, Path ("two.png"));
}

TEST_F (NoiseImageTest, SlotOutsideTheThreeHoldersIsRefused)
{
  const auto module = Module (Path ("x.png"), 3);
  EXPECT_THROW (module->GetValue (1.0, 0.0, 1.0), noise::ExceptionInvalidParam);
  EXPECT_THROW (NoiseImageHolder::ForSlot (-1), noise::ExceptionInvalidParam);
}
