// noiseimage.h
//
// A picture file used as a noise source.

#ifndef OROVISTA_NOISE_NOISEIMAGE_H
#define OROVISTA_NOISE_NOISEIMAGE_H

#include <libnoise/module/modulebase.h>

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace noise
{

  namespace module
  {

    /// The decoded picture kept by a NoiseImageHolder: the red channel of
    /// every pixel, row by row, top row first.
    struct NoiseImagePicture
    {
      /// The file it was read from (also kept when the read failed).
      QString fileName;
      int width = 0;
      int height = 0;
      std::vector<std::uint8_t> red;
      /// Why the file gave no picture (empty when it was read, or when no
      /// file was named).
      QString problem;
    };

    /// A process-wide store for the picture of a NoiseImage module, one per
    /// slot (0 for INPUT 1, 1 for INPUT 2, 2 for the COMBINER's control noise).
    ///
    /// The holders outlive the modules: a module built for a later map
    /// finds the picture its predecessor loaded.  A holder is reloaded
    /// whenever one of its modules is asked for the value at the origin,
    /// and when a module asks for a file other than the one it holds.
    ///
    /// The holders may be used from several threads: a reload swaps the
    /// whole picture under a lock, and modules keep their own reference to
    /// the picture they read, so a reload never changes a picture under a
    /// reader.
    class NoiseImageHolder
    {

      public:

        static constexpr int SLOT_COUNT = 3;

        /// The holder of @a slot.
        ///
        /// @throw noise::ExceptionInvalidParam @a slot is not 0 or 1.
        static NoiseImageHolder& ForSlot (int slot);

        /// Reads @a fileName; a file that cannot be read leaves an empty
        /// picture (which reads as black everywhere) that says why.  Only
        /// regular files are opened.
        void Load (const QString& fileName);

        /// The current picture; never null.
        std::shared_ptr<const NoiseImagePicture> GetPicture () const;

        /// The picture of @a fileName, read first when the holder holds
        /// another file; stores the holder's generation in @a generation.
        std::shared_ptr<const NoiseImagePicture> Acquire (const QString& fileName,
          std::uint64_t& generation);

        /// A number that changes whenever the picture is replaced.
        std::uint64_t GetGeneration () const
        {
          return m_generation.load (std::memory_order_acquire);
        }

      private:

        NoiseImageHolder ();

        void LoadLocked (const QString& fileName);

        mutable std::mutex m_mutex;
        std::shared_ptr<const NoiseImagePicture> m_picture;
        std::atomic<std::uint64_t> m_generation;

    };

    /// Noise module that outputs the pixels of a picture file.
    ///
    /// The picture is laid over the square [0, 4) x [0, 4) of the (x, z)
    /// plane, its top row at the largest z, and treated as W x W, W being
    /// its width: the pixel read at (x, z) is column trunc(x * W / 4), row
    /// W - 1 - trunc(z * W / 4).  The output is 2 * (red / 255 - 0.5) of
    /// that pixel, in single precision: black gives -1, white +1; only the
    /// red channel counts.  Points outside the picture, and every point of
    /// a picture that could not be read, give -1.
    ///
    /// This module is not a pure function of its input: it keeps the
    /// decoded picture in the process-wide holder of its @a slot, and
    /// reloads it from @a fileName when asked for the value at the origin
    /// (0, 0, 0).  The map builders sample a window's lower corner first,
    /// so a map whose window starts at the origin reads the file once, at
    /// its first sample.  A module whose @a fileName differs from the file
    /// its holder holds reads its file at its first sample, wherever that
    /// is.
    ///
    /// Like libnoise's Cache, one module must not be evaluated by two
    /// threads at once; modules of different threads may share a slot.
    ///
    /// This noise module does not require any source modules.
    class NoiseImage: public Module
    {

      public:

        /// Constructor.
        NoiseImage ();

        /// Not copyable: a copy would share libnoise's table of source
        /// modules with the original.
        NoiseImage (const NoiseImage&) = delete;
        NoiseImage& operator= (const NoiseImage&) = delete;

        /// The source modules this module takes; a constant, because the base
        /// class needs it before the virtual GetSourceModuleCount() may be called.
        static constexpr int sourceModuleCount = 0;

        virtual int GetSourceModuleCount () const
        {
          return sourceModuleCount;
        }

        /// @throw noise::ExceptionInvalidParam @a slot is not 0 or 1.
        virtual double GetValue (double x, double y, double z) const;

        /// Path of the picture file (any format the toolkit's image reader
        /// knows: png, xpm, jpg, bmp ...).
        QString fileName;

        /// Which holder keeps the picture: 0 for INPUT 1, 1 for INPUT 2.
        int slot = 0;

      private:

        void Refresh (NoiseImageHolder& holder) const;

        mutable std::shared_ptr<const NoiseImagePicture> m_picture;
        mutable const NoiseImageHolder* m_holder = nullptr;
        mutable std::uint64_t m_generation = 0;
        mutable QString m_acquiredName;

    };

  }

}

#endif
