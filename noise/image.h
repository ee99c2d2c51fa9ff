// image.h
//
// The colour image produced by the renderers and saved by the writer.

#ifndef OROVISTA_NOISE_IMAGE_H
#define OROVISTA_NOISE_IMAGE_H

#include "noise/raster.h"

#include <cstdint>

namespace noise
{

  namespace utils
  {

    /// An 8-bit-per-channel colour with alpha.
    struct Color
    {

      Color () = default;

      Color (std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
        : red (r), green (g), blue (b), alpha (a)
      {
      }

      bool operator== (const Color&) const = default;

      std::uint8_t red = 0;
      std::uint8_t green = 0;
      std::uint8_t blue = 0;
      std::uint8_t alpha = 0;

    };

    /// A two-dimensional grid of colours, row 0 first.
    ///
    /// Rows are in map order: row 0 corresponds to row 0 of the noise map it
    /// was rendered from.  The picture writer turns it upside down when it
    /// saves it.  Reading outside the image returns the border colour
    /// (transparent black unless set).
    ///
    /// See Raster for the size rules and the memory layout.
    class Image: public Raster<Color>
    {

      public:

        using Raster<Color>::Raster;

    };

  }

}

#endif
