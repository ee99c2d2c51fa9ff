// writerjpeg.h
//
// Saving a colour image as a JPEG picture.

#ifndef OROVISTA_NOISE_WRITERJPEG_H
#define OROVISTA_NOISE_WRITERJPEG_H

#include "noise/image.h"

#include <QString>

namespace noise
{

  namespace utils
  {

    /// Writes an Image to a JPEG file at quality 100, opaque RGB.
    ///
    /// The picture is the image upside down: image row 0 (map row 0, the
    /// lowest z of the plane window) becomes the bottom row of the picture,
    /// so the picture shows the plane with z growing upwards.  Alpha is
    /// dropped.
    class WriterJPEG
    {

      public:

        /// Writes the file.
        ///
        /// @return false when the picture could not be made or written (an
        /// empty image, an unwritable path).
        /// @throw noise::ExceptionInvalidParam no source image is set.
        bool WriteDestFile ();

        /// Sets the image written.  The writer does not own it.
        void SetSourceImage (const Image& sourceImage)
        {
          m_sourceImage = &sourceImage;
        }

        void SetDestFilename (const QString& fileName)
        {
          m_destFilename = fileName;
        }

        QString GetDestFilename () const
        {
          return m_destFilename;
        }

      private:

        const Image* m_sourceImage = nullptr;
        QString m_destFilename;

    };

  }

}

#endif
