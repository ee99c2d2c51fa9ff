// gradientcolor.cpp

#include "noise/gradientcolor.h"

#include <libnoise/exception.h>

#include <algorithm>
#include <cmath>

namespace noise
{

  namespace utils
  {

    namespace
    {

      bool PositionLess (const GradientPoint& point, double position)
      {
        return point.pos < position;
      }

      bool ValueLess (double value, const GradientPoint& point)
      {
        return value < point.pos;
      }

      std::uint8_t BlendChannel (std::uint8_t channel0, std::uint8_t channel1,
        float alpha)
      {
        const float c0 = static_cast<float> (channel0) / 255.0f;
        const float c1 = static_cast<float> (channel1) / 255.0f;
        return static_cast<std::uint8_t> ((c1 * alpha + c0 * (1.0f - alpha)) * 255.0f);
      }

    }

    void GradientColor::AddGradientPoint (double position, const Color& color)
    {
      if (!std::isfinite (position)) {
        throw noise::ExceptionInvalidParam ();
      }
      const auto at = std::lower_bound (m_points.begin (), m_points.end (),
        position, PositionLess);
      if (at != m_points.end () && at->pos == position) {
        throw noise::ExceptionInvalidParam ();
      }
      m_points.insert (at, GradientPoint {position, color});
    }

    Color GradientColor::GetColor (double value) const
    {
      const int above = static_cast<int> (std::upper_bound (m_points.begin (),
        m_points.end (), value, ValueLess) - m_points.begin ());
      return ColorBelow (above, value);
    }

    Color GradientColor::ColorBelow (int above, double value) const
    {
      const int count = GetGradientPointCount ();
      if (count == 0) {
        return Color ();
      }
      // The point before the first one above the value is the lower end of
      // the segment.  Both are clamped to the list, which makes values
      // outside the gradient (and NaN, which compares above nothing) take
      // the colour of the nearest end.
      const int index0 = std::clamp (above - 1, 0, count - 1);
      const int index1 = std::clamp (above, 0, count - 1);
      const GradientPoint& p0 = m_points[index0];
      const GradientPoint& p1 = m_points[index1];
      if (index0 == index1) {
        return p1.color;
      }
      const float alpha = static_cast<float> ((value - p0.pos) / (p1.pos - p0.pos));
      return Color (BlendChannel (p0.color.red, p1.color.red, alpha),
        BlendChannel (p0.color.green, p1.color.green, alpha),
        BlendChannel (p0.color.blue, p1.color.blue, alpha),
        BlendChannel (p0.color.alpha, p1.color.alpha, alpha));
    }

    namespace
    {

      /// Buckets per point of a lookup.  With several to a segment most
      /// buckets lie inside one segment, so a value's bucket names its
      /// segment straight away and the walk rarely steps: a step is a
      /// branch the processor cannot foresee.
      constexpr int LOOKUP_BUCKETS_PER_POINT = 8;

    }

    GradientColor::Lookup::Lookup (const GradientColor& gradient)
      : m_gradient (gradient)
    {
      const std::vector<GradientPoint>& points = gradient.m_points;
      if (points.size () < 2) {
        return;
      }
      m_first = points.front ().pos;
      m_last = points.back ().pos;
      m_unit.reserve (4 * points.size ());
      for (const GradientPoint& point : points) {
        for (const std::uint8_t channel : {point.color.red, point.color.green, point.color.blue, point.color.alpha}) {
          m_unit.push_back (static_cast<float> (channel) / 255.0f);
        }
      }
      m_span.reserve (points.size () - 1);
      for (std::size_t i = 0; i + 1 < points.size (); ++i) {
        m_span.push_back (points[i + 1].pos - points[i].pos);
      }
      const int buckets = LOOKUP_BUCKETS_PER_POINT * static_cast<int> (points.size ());
      m_scale = buckets / (m_last - m_first);
      if (!std::isfinite (m_scale)) {
        return; // positions too close for buckets: GetColor() searches
      }
      // m_start[b]: the first point above the lower end of bucket b.  The
      // lower ends rise with b, so one walk along the points finds them all
      // (a renderer makes a lookup for every band of rows it colours).
      m_start.resize (static_cast<std::size_t> (buckets));
      const int count = static_cast<int> (points.size ());
      int above = 0;
      for (int b = 0; b < buckets; ++b) {
        const double bucketStart = m_first + b / m_scale;
        while (above < count && !ValueLess (bucketStart, points[static_cast<std::size_t> (above)])) {
          ++above;
        }
        m_start[static_cast<std::size_t> (b)] = above;
      }
    }


  }

}
