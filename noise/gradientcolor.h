// gradientcolor.h
//
// The value-to-colour map of the image renderer.

#ifndef OROVISTA_NOISE_GRADIENTCOLOR_H
#define OROVISTA_NOISE_GRADIENTCOLOR_H

#include "noise/image.h"

#include <algorithm>
#include <cstdint>
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
        /// the whole list, and each point's channels and each segment's
        /// length worked out once (the divisions a colour otherwise takes).
        /// Gives exactly GetColor()'s colours, bit for bit: the same
        /// operations in the same order on the same values.  The gradient
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
            /// Each point's red, green, blue and alpha divided by 255.
            std::vector<float> m_unit;
            /// Each segment's length: point i + 1's position less point i's.
            std::vector<double> m_span;

        };

      private:

        /// The colour of @a value, knowing that point @a above is the first
        /// whose position is above it (the point count if none is).
        Color ColorBelow (int above, double value) const;

        std::vector<GradientPoint> m_points;

    };

    // Inline: it is called once per pixel.
    [[gnu::always_inline]] inline Color GradientColor::Lookup::GetColor (double value) const
    {
      if (m_start.empty () || !(value >= m_first && value < m_last)) {
        return m_gradient.GetColor (value); // an end, NaN, or no index
      }
      const std::vector<GradientPoint>& points = m_gradient.m_points;
      const int count = static_cast<int> (points.size ());
      const int bucket = std::clamp (static_cast<int> ((value - m_first) * m_scale), 0,
        static_cast<int> (m_start.size ()) - 1);
      // Rounding may put the value into a neighbouring bucket: walk both
      // ways to the exact first point above it.
      int above = m_start[static_cast<std::size_t> (bucket)];
      while (above > 0 && value < points[static_cast<std::size_t> (above - 1)].pos) {
        --above;
      }
      while (above < count && !(value < points[static_cast<std::size_t> (above)].pos)) {
        ++above;
      }
      // Inside the gradient: first < value < last puts the value between
      // points above − 1 and above, both in the list.  ColorBelow()'s blend
      // with the divisions taken from the tables.
      const std::size_t index0 = static_cast<std::size_t> (above - 1);
      const float alpha = static_cast<float> ((value - points[index0].pos) / m_span[index0]);
      const float beta = 1.0f - alpha;
      const float* c0 = &m_unit[4 * index0];
      const float* c1 = c0 + 4;
      return Color (static_cast<std::uint8_t> ((c1[0] * alpha + c0[0] * beta) * 255.0f),
        static_cast<std::uint8_t> ((c1[1] * alpha + c0[1] * beta) * 255.0f),
        static_cast<std::uint8_t> ((c1[2] * alpha + c0[2] * beta) * 255.0f),
        static_cast<std::uint8_t> ((c1[3] * alpha + c0[3] * beta) * 255.0f));
    }
  }

}

#endif
