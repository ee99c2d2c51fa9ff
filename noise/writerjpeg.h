// writerjpeg.h
//
// Saving a colour image as a JPEG picture.

#ifndef OROVISTA_NOISE_WRITERJPEG_H
#define OROVISTA_NOISE_WRITERJPEG_H

#include "noise/image.h"
#include "noise/outputfiles.h"

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

        /// Writes the file: in place once complete, or into the batch set
        /// with SetBatch(), which puts it in place later.
        ///
        /// @return false for an empty image (nothing is written).
        /// @throw noise::ExceptionInvalidParam no source image is set.
        /// @throw noise::ExceptionOutOfMemory no memory for the picture.
        /// @throw orovista::files::WriteError the file could not be written;
        /// the message gives the system's reason.
        bool WriteDestFile ();

        /// Stages the pictures written from now on in @a batch (null: write
        /// each in place at once).  The writer does not own it.
        void SetBatch (orovista::files::Batch* batch)
        {
          m_batch = batch;
        }

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
        orovista::files::Batch* m_batch = nullptr;

    };

  }

}

#endif
