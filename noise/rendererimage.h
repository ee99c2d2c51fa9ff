// rendererimage.h
//
// Colouring a noise map through a gradient, optionally lit.

#ifndef OROVISTA_NOISE_RENDERERIMAGE_H
#define OROVISTA_NOISE_RENDERERIMAGE_H

#include "noise/gradientcolor.h"
#include "noise/maprenderer.h"

#include <QString>

namespace noise
{

  namespace utils
  {

    /// Renders a noise map into a colour image: each value is looked up in
    /// a colour gradient, and with the light enabled the colour is shaded
    /// by the slope of the map.
    ///
    /// The light comes from @a azimuth degrees round the map (0 from the
    /// right, 90 from the top) and @a elevation degrees above it.  A cell
    /// is lit by max(0, ix * (left - right) + iy * (down - up) + io) *
    /// intensity, with io = sqrt(2) sin(elevation) / 2 and
    /// (ix, iy) = (1 - io) * contrast * sqrt(2) cos(elevation)
    /// (cos(azimuth), sin(azimuth)), left, right, down and up being the
    /// neighbouring values (the cell itself at the map's edges).  With the
    /// default azimuth and elevation of 45 degrees a flat map is lit at
    /// exactly 0.5.
    ///
    /// Each channel of the output is the gradient colour times the light,
    /// clamped to 0 ... 1 and rounded to the nearest of 0 ... 255; alpha is
    /// always 255.  The gradient colours are taken as opaque.
    ///
    /// The default gradient is grey: opaque black at -1, opaque white at +1.
    class RendererImage: public MapRenderer
    {

      public:

        RendererImage ();

        /// Renders the map; see MapRenderer::Render().  The gradient needs
        /// at least two points.
        void Render () override;

        /// Renders rows [first, last) of the map into the same rows of the
        /// destination image (which gets the map's size; its other rows are
        /// left as they are when the size does not change).  The light still
        /// reads the rows just outside the range, so a band of a larger map
        /// with one more row on either side renders as it does in the whole
        /// map.
        void RenderRows (int first, int last);

        /// true: every pixel through GradientColor::GetColor() and the
        /// light's divisions one by one, as before the tables (the same
        /// bytes, slower); for side-by-side benchmarks and tests.
        void SetPlainPath (bool plain)
        {
          m_plainPath = plain;
        }

        void EnableLight (bool enable = true)
        {
          m_lightEnabled = enable;
        }

        bool IsLightEnabled () const
        {
          return m_lightEnabled;
        }

        /// Sets the direction the light comes from, in degrees.
        void SetLightAzimuth (double azimuth);

        /// Sets the height of the light above the map, in degrees.
        void SetLightElev (double elevation);

        /// Sets how strongly slopes are shaded.
        ///
        /// @throw noise::ExceptionInvalidParam @a contrast is not above 0.
        void SetLightContrast (double contrast);

        /// Sets the factor of the light value.
        ///
        /// @throw noise::ExceptionInvalidParam @a intensity is below 0.
        void SetLightIntensity (double intensity);

        double GetLightAzimuth () const
        {
          return m_lightAzimuth;
        }

        double GetLightElev () const
        {
          return m_lightElevation;
        }

        double GetLightContrast () const
        {
          return m_lightContrast;
        }

        double GetLightIntensity () const
        {
          return m_lightIntensity;
        }

        /// Removes every gradient point.
        void ClearGradient ()
        {
          m_gradient.Clear ();
        }

        /// Adds a gradient point; see GradientColor::AddGradientPoint().
        void AddGradientPoint (double position, const Color& color)
        {
          m_gradient.AddGradientPoint (position, color);
        }

        /// Replaces the gradient by the grey one (black at -1, white at +1).
        void BuildGrayscaleGradient ();

        /// Replaces the gradient by the one stored in a gradient picture:
        /// the first row's columns 0 ... 2047 give 2048 opaque points at
        /// positions (column + 1) / 1024 - 1, that is from -1 + 1/1024 to
        /// exactly +1.  Columns the picture lacks are black.
        ///
        /// @return false, with the gradient unchanged, when the picture
        /// cannot be read.
        bool LoadGradient (const QString& path);

        const GradientColor& GetGradient () const
        {
          return m_gradient;
        }

        /// Number of points of a gradient picture.
        static constexpr int GRADIENT_PICTURE_POINTS = 2048;

      private:

        void UpdateLightFactors ();
        void RenderRowsWithTables (const NoiseMap& map, int first, int last);

        GradientColor m_gradient;
        bool m_plainPath = false;
        bool m_lightEnabled = false;
        double m_lightAzimuth = 45.0;
        double m_lightContrast = 1.0;
        double m_lightElevation = 45.0;
        double m_lightIntensity = 1.0;
        // Factors of the light formula, recomputed by every light setter.
        double m_lightX = 0.0;
        double m_lightY = 0.0;
        double m_lightZ = 0.0;

    };

  }

}

#endif
