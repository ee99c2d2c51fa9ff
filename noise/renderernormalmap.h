// renderernormalmap.h
//
// Turning a noise map into a tangent-space normal map.

#ifndef OROVISTA_NOISE_RENDERERNORMALMAP_H
#define OROVISTA_NOISE_RENDERERNORMALMAP_H

#include "noise/maprenderer.h"

namespace noise
{

  namespace utils
  {

    /// Renders the normals of a noise map into a colour image.
    ///
    /// For a cell of value c with right neighbour r and upper neighbour u
    /// (the next column and row), the normal is (vx, vy, 1) / len with
    /// vx = (c - r) * bumpHeight, vy = (c - u) * bumpHeight and
    /// len = sqrt(vx^2 + vy^2 + 1).  Each component n is stored as
    /// floor((n + 1) * 127.5) in red, green and blue; alpha is 0.  A flat
    /// map gives (127, 127, 255).
    ///
    /// At the last column and row the missing neighbour is the cell itself,
    /// or with wrapping on the first column or row, for maps that tile.
    class RendererNormalMap: public MapRenderer
    {

      public:

        /// Renders the map; see MapRenderer::Render().
        void Render () override;

        /// The colours of map row y into out (map width values): what
        /// Render() writes into row y of the image, for callers that want
        /// the picture a band of rows at a time.
        void RenderRow (const NoiseMap& map, int y, Color* out) const;

        /// Sets the factor of the height differences: the steepness of the
        /// bumps.
        void SetBumpHeight (double bumpHeight)
        {
          m_bumpHeight = bumpHeight;
        }

        double GetBumpHeight () const
        {
          return m_bumpHeight;
        }

        void EnableWrap (bool enable = true)
        {
          m_wrap = enable;
        }

        bool IsWrapEnabled () const
        {
          return m_wrap;
        }

      private:

        double m_bumpHeight = 1.0;
        bool m_wrap = false;

    };

  }

}

#endif
