// noiseimage.cpp

#include "noise/noiseimage.h"
#include "noise/outputfiles.h"

#include <libnoise/exception.h>

#include <QImage>
#include <QImageReader>

#include <cmath>

namespace noise
{

  namespace module
  {

    namespace
    {

      std::shared_ptr<const NoiseImagePicture> ReadPicture (const QString& fileName)
      {
        auto picture = std::make_shared<NoiseImagePicture> ();
        picture->fileName = fileName;
        if (fileName.isEmpty ()) {
          return picture;
        }
        // A FIFO or a device named like a picture would block the reader.
        picture->problem = orovista::files::inputProblem (fileName);
        if (!picture->problem.isEmpty ()) {
          return picture;
        }
        QImageReader reader (fileName);
        QImage image = reader.read ();
        if (image.isNull ()) {
          picture->problem = reader.errorString ();
          return picture;
        }
        image = image.convertToFormat (QImage::Format_ARGB32);
        if (image.isNull () || image.width () == 0 || image.height () == 0) {
          picture->problem = QStringLiteral ("not enough memory for the picture");
          return picture;
        }
        picture->width = image.width ();
        picture->height = image.height ();
        picture->red.resize (static_cast<std::size_t> (picture->width)
          * static_cast<std::size_t> (picture->height));
        std::uint8_t* out = picture->red.data ();
        for (int row = 0; row < picture->height; ++row) {
          const auto* line = reinterpret_cast<const QRgb*> (image.constScanLine (row));
          for (int column = 0; column < picture->width; ++column) {
            *out++ = static_cast<std::uint8_t> (qRed (line[column]));
          }
        }
        return picture;
      }

      /// True when @a a and @a b share their text (a cheap test that may
      /// say no for equal strings).
      bool SameText (const QString& a, const QString& b)
      {
        return a.constData () == b.constData () && a.size () == b.size ();
      }

    }

    NoiseImageHolder::NoiseImageHolder ()
      : m_picture (std::make_shared<NoiseImagePicture> ()), m_generation (1)
    {
    }

    NoiseImageHolder& NoiseImageHolder::ForSlot (int slot)
    {
      static NoiseImageHolder holders[SLOT_COUNT];
      if (slot < 0 || slot >= SLOT_COUNT) {
        throw noise::ExceptionInvalidParam ();
      }
      return holders[slot];
    }

    void NoiseImageHolder::LoadLocked (const QString& fileName)
    {
      m_picture = ReadPicture (fileName);
      m_generation.fetch_add (1, std::memory_order_release);
    }

    void NoiseImageHolder::Load (const QString& fileName)
    {
      const std::lock_guard<std::mutex> lock (m_mutex);
      LoadLocked (fileName);
    }

    std::shared_ptr<const NoiseImagePicture> NoiseImageHolder::GetPicture () const
    {
      const std::lock_guard<std::mutex> lock (m_mutex);
      return m_picture;
    }

    std::shared_ptr<const NoiseImagePicture> NoiseImageHolder::Acquire (
      const QString& fileName, std::uint64_t& generation)
    {
      const std::lock_guard<std::mutex> lock (m_mutex);
      if (m_picture->fileName != fileName) {
        LoadLocked (fileName);
      }
      generation = m_generation.load (std::memory_order_relaxed);
      return m_picture;
    }

    NoiseImage::NoiseImage ()
      : Module (sourceModuleCount)
    {
    }

    void NoiseImage::Refresh (NoiseImageHolder& holder) const
    {
      m_picture = holder.Acquire (fileName, m_generation);
      m_holder = &holder;
      m_acquiredName = fileName;
    }

    double NoiseImage::GetValue (double x, double y, double z) const
    {
      NoiseImageHolder& holder = NoiseImageHolder::ForSlot (slot);
      if (x == 0.0 && y == 0.0 && z == 0.0) {
        holder.Load (fileName);
      }
      if (m_holder != &holder || holder.GetGeneration () != m_generation
        || !SameText (fileName, m_acquiredName)) {
        Refresh (holder);
      }

      const NoiseImagePicture& picture = *m_picture;
      const double width = picture.width;
      const double column = std::trunc (x * width * 0.25);
      const double row = width - std::trunc (z * width * 0.25) - 1.0;
      // Comparing as doubles also rejects NaN and huge coordinates.
      if (!(column >= 0.0 && column < width && row >= 0.0 && row < picture.height)) {
        return -1.0;
      }
      const std::uint8_t red = picture.red[static_cast<std::size_t> (row) * picture.width
        + static_cast<std::size_t> (column)];
      return 2.0f * (static_cast<float> (red) / 255.0f - 0.5f);
    }

  }

}
