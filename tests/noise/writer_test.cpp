// The JPEG writer: upside down, opaque RGB, quality 100, bad input.

#include "noise/outputfiles.h"
#include "noise/writerjpeg.h"

#include <libnoise/exception.h>

#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using noise::utils::Color;
using noise::utils::Image;
using noise::utils::WriterJPEG;

namespace {

void ExpectNear (QRgb pixel, int red, int green, int blue)
{
  EXPECT_LE (std::abs (qRed (pixel) - red), 3) << qRed (pixel);
  EXPECT_LE (std::abs (qGreen (pixel) - green), 3) << qGreen (pixel);
  EXPECT_LE (std::abs (qBlue (pixel) - blue), 3) << qBlue (pixel);
}

} // namespace

TEST (WriterJPEGTest, FirstMapRowIsTheBottomOfThePicture)
{
  // Rows 0 ... 7 red, 8 ... 15 blue (blocks of one colour survive JPEG).
  Image image (16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      image.SetValue (x, y, y < 8 ? Color (255, 0, 0, 0) : Color (0, 0, 255, 0));
    }
  }
  QTemporaryDir dir;
  WriterJPEG writer;
  writer.SetSourceImage (image);
  writer.SetDestFilename (dir.filePath ("picture.jpg"));
  ASSERT_TRUE (writer.WriteDestFile ());

  QImageReader reader (dir.filePath ("picture.jpg"));
  EXPECT_EQ (reader.format (), QByteArray ("jpeg"));
  const QImage picture = reader.read ();
  ASSERT_FALSE (picture.isNull ());
  EXPECT_EQ (picture.size (), QSize (16, 16));
  EXPECT_FALSE (picture.hasAlphaChannel ());
  ExpectNear (picture.pixel (4, 12), 255, 0, 0);
  ExpectNear (picture.pixel (12, 2), 0, 0, 255);
}

TEST (WriterJPEGTest, QualityOneHundredKeepsFlatGreysExact)
{
  Image image (24, 8);
  image.Clear (Color (127, 127, 127, 255));
  QTemporaryDir dir;
  WriterJPEG writer;
  writer.SetSourceImage (image);
  writer.SetDestFilename (dir.filePath ("grey.jpg"));
  ASSERT_TRUE (writer.WriteDestFile ());
  const QImage picture (dir.filePath ("grey.jpg"));
  EXPECT_EQ (picture.size (), QSize (24, 8));
  EXPECT_EQ (qRed (picture.pixel (11, 3)), 127);
  EXPECT_EQ (qGreen (picture.pixel (23, 7)), 127);
}

TEST (WriterJPEGTest, BadInputIsRefusedOrReported)
{
  WriterJPEG writer;
  writer.SetDestFilename (QStringLiteral ("unused.jpg"));
  EXPECT_THROW (writer.WriteDestFile (), noise::ExceptionInvalidParam);

  const Image empty;
  writer.SetSourceImage (empty);
  EXPECT_FALSE (writer.WriteDestFile ());

  QTemporaryDir dir;
  const Image image (4, 4);
  writer.SetSourceImage (image);
  writer.SetDestFilename (dir.filePath ("no such folder/picture.jpg"));
  try {
    writer.WriteDestFile ();
    ADD_FAILURE () << "a picture written into a missing folder";
  } catch (const orovista::files::WriteError& e) {
    EXPECT_EQ (e.message (), "cannot write " + dir.filePath ("no such folder/picture.jpg")
      + ": No such file or directory");
  }
  EXPECT_EQ (writer.GetDestFilename (), dir.filePath ("no such folder/picture.jpg"));
}
