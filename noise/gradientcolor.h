// gradientcolor.h
//
// The value-to-colour map of the image renderer.

#ifndef OROVISTA_NOISE_GRADIENTCOLOR_H
#define OROVISTA_NOISE_GRADIENTCOLOR_H

#include "noise/image.h"

#include <vector>

namespace noise
{

  namespace utils
  {

    /// One point of a colour gradient.
    struct GradientPoint
    {
      double pos = 0.0;
      Color color;
    };

    /// A colour gradient: a list of points, each a position and a colour,
    /// kept sorted by increasing position.
    ///
    /// GetColor() blends linearly between the two points around a value.
    /// Each channel is blended in single precision as
    /// trunc(((c1 / 255) * alpha + (c0 / 255) * (1 - alpha)) * 255), so the
    /// midpoint between black and white is 127, not 128.  Values below the
    /// first point take the first colour, values above the last point (and
    /// NaN) take the last colour.
    class GradientColor
    {

      public:

        /// Inserts a point so that the positions stay increasing.
        ///
        /// @throw noise::ExceptionInvalidParam a point already has this
        /// position, or the position is not a finite number.
        void AddGradientPoint (double position, const Color& color);

        /// Removes every point.
        void Clear ()
        {
          m_points.clear ();
        }

        /// The colour of @a value.  The gradient needs at least one point;
        /// an empty gradient gives transparent black.
        Color GetColor (double value) const;

        int GetGradientPointCount () const
        {
          return static_cast<int> (m_points.size ());
        }

        /// The points, sorted by position.
        const std::vector<GradientPoint>& GetGradientPoints () const
        {
          return m_points;
        }

        /// GetColor() for many values: the points indexed by value once, so
        /// that each lookup starts next to its segment instead of searching
        /// the whole list.  Gives exactly GetColor()'s colours.  The gradient
        /// must outlive it and not change while it is used.
        class Lookup
        {

          public:

            explicit Lookup (const GradientColor& gradient);

            Color GetColor (double value) const;

          private:

            const GradientColor& m_gradient;
            double m_first = 0.0;
            double m_last = 0.0;
            double m_scale = 0.0;
            std::vector<int> m_start;

        };

      private:

        /// The colour of @a value, knowing that point @a above is the first
        /// whose position is above it (the point count if none is).
        Color ColorBelow (int above, double value) const;

        std::vector<GradientPoint> m_points;

    };

  }

}

#endif
