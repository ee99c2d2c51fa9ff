// checkerboard.h
//
// The checkerboard with a frequency.
//
// libnoise has a noise::module::Checkerboard of its own, without a
// frequency.  This one replaces it under the same name: it lives in the
// inline namespace noise::module::orovista, so code writes
// noise::module::Checkerboard, while its symbols differ from the library's
// and the two never clash at link time.  Do not include
// <libnoise/module/checkerboard.h> (or <libnoise/noise.h>, which includes
// it) in a file that includes this header: the name would be ambiguous.
// "noise/modules.h" includes every module the program uses without that
// conflict.

#ifndef OROVISTA_NOISE_CHECKERBOARD_H
#define OROVISTA_NOISE_CHECKERBOARD_H

#include <libnoise/module/modulebase.h>

namespace noise
{

  namespace module
  {

    inline namespace orovista
    {

      /// Noise module that outputs a checkerboard pattern.
      ///
      /// The input coordinates are multiplied by @a frequency, then the
      /// space is cut into unit cubes that alternate between -1.0 and +1.0,
      /// exactly as libnoise's own checkerboard (which is this module with
      /// frequency 1).  Higher frequencies make smaller squares.
      ///
      /// This noise module does not require any source modules.
      class Checkerboard: public Module
      {

        public:

          /// Constructor.
          Checkerboard ();

          /// Not copyable: a copy would share libnoise's table of source
          /// modules with the original.
          Checkerboard (const Checkerboard&) = delete;
          Checkerboard& operator= (const Checkerboard&) = delete;

          /// The source modules this module takes; a constant, because the base
          /// class needs it before the virtual GetSourceModuleCount() may be called.
          static constexpr int sourceModuleCount = 0;

          virtual int GetSourceModuleCount () const
          {
            return sourceModuleCount;
          }

          virtual double GetValue (double x, double y, double z) const;

          /// Scale of the input coordinates.
          double frequency = 1.0;

      };

    }

  }

}

#endif
