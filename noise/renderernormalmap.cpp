// renderernormalmap.cpp

#include "noise/renderernormalmap.h"

#include <algorithm>
#include <cmath>

namespace noise
{

  namespace utils
  {

    namespace
    {

      /// A normal component (-1 ... +1) as a byte; NaN gives 0.
      std::uint8_t NormalByte (double component)
      {
        const double scaled = std::floor ((component + 1.0) * 127.5);
        return scaled > 0.0 ? static_cast<std::uint8_t> (std::min (scaled, 255.0)) : 0;
      }

    }

    void RendererNormalMap::Render ()
    {
      const NoiseMap& map = PrepareRender (true);
      for (int y = 0; y < map.GetHeight (); ++y) {
        RenderRow (map, y, DestImage ().GetSlabPtr (y));
      }
    }

    void RendererNormalMap::RenderRow (const NoiseMap& map, int y, Color* out) const
    {
      const int width = map.GetWidth ();
      const int height = map.GetHeight ();
      const float* row = map.GetConstSlabPtr (y);
      const float* above = y < height - 1 ? map.GetConstSlabPtr (y + 1)
        : (m_wrap ? map.GetConstSlabPtr (0) : row);
      for (int x = 0; x < width; ++x) {
        const double center = row[x];
        const double right = x < width - 1 ? row[x + 1] : (m_wrap ? row[0] : row[x]);
        const double vx = (center - right) * m_bumpHeight;
        const double vy = (center - above[x]) * m_bumpHeight;
        const double length = std::sqrt (vx * vx + vy * vy + 1.0);
        out[x] = Color (NormalByte (vx / length), NormalByte (vy / length),
          NormalByte (1.0 / length), 0);
      }
    }

  }

}
