// noisemap.h
//
// The height field produced by the map builders.

#ifndef OROVISTA_NOISE_NOISEMAP_H
#define OROVISTA_NOISE_NOISEMAP_H

#include "noise/raster.h"

namespace noise
{

  namespace utils
  {

    /// A two-dimensional grid of 32-bit floating-point noise values.
    ///
    /// The values are raw module outputs (nominally -1.0 ... +1.0) and are
    /// never clamped.  Row 0 holds the samples of the lowest z coordinate of
    /// the plane window the map was built from.  Reading outside the map
    /// returns the border value (0.0 unless set).
    ///
    /// See Raster for the size rules and the memory layout.
    class NoiseMap: public Raster<float>
    {

      public:

        using Raster<float>::Raster;

    };

  }

}

#endif
