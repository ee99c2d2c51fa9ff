// writerjpeg.cpp

#include "noise/writerjpeg.h"

#include <libnoise/exception.h>

#include <QImage>

namespace noise
{

  namespace utils
  {

    bool WriterJPEG::WriteDestFile ()
    {
      if (m_sourceImage == nullptr) {
        throw noise::ExceptionInvalidParam ();
      }
      const Image& image = *m_sourceImage;
      const int width = image.GetWidth ();
      const int height = image.GetHeight ();
      if (width < 1 || height < 1) {
        return false;
      }
      QImage picture (width, height, QImage::Format_RGB32);
      if (picture.isNull ()) {
        throw noise::ExceptionOutOfMemory ();
      }
      for (int y = 0; y < height; ++y) {
        const Color* source = image.GetConstSlabPtr (y);
        auto* line = reinterpret_cast<QRgb*> (picture.scanLine (height - 1 - y));
        for (int x = 0; x < width; ++x) {
          line[x] = qRgb (source[x].red, source[x].green, source[x].blue);
        }
      }
      const QString error = orovista::files::writePicture (m_destFilename, std::move (picture), m_batch);
      if (!error.isEmpty ()) {
        throw orovista::files::WriteError (error);
      }
      return true;
    }

  }

}
