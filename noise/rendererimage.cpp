// rendererimage.cpp

#include "noise/rendererimage.h"

#include <libnoise/exception.h>

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace noise
{

  namespace utils
  {

    namespace
    {

      constexpr double DEGREES_TO_RADIANS = std::numbers::pi / 180.0;

      /// @a channel (0 ... 255) times @a light, clamped and rounded.
      std::uint8_t LitChannel (std::uint8_t channel, double light)
      {
        double value = channel / 255.0 * light;
        value = value > 0.0 ? std::min (value, 1.0) : 0.0;
        return static_cast<std::uint8_t> (std::lround (value * 255.0));
      }

      /// channel / 255.0 for every channel value.
      const std::array<double, 256>& UnitChannels ()
      {
        static const std::array<double, 256> table = [] {
          std::array<double, 256> t {};
          for (int c = 0; c < 256; ++c) {
            t[static_cast<std::size_t> (c)] = c / 255.0;
          }
          return t;
        } ();
        return table;
      }

      /// LitChannel() without its division and its call of lround(): the
      /// same value, bit for bit.  unit is channel / 255.0.
      std::uint8_t LitUnit (double unit, double light)
      {
        // value > 0 ? min (value, 1) : 0 without a branch (NaN gives 0 both ways).
        const double value = std::max (0.0, std::min (unit * light, 1.0));
        // Rounded half away from zero, as lround() does: 0 <= x <= 255, so
        // the truncation and the remainder are exact.
        const double x = value * 255.0;
        const int whole = static_cast<int> (x);
        return static_cast<std::uint8_t> (whole + (x - whole >= 0.5 ? 1 : 0));
      }

    }

    RendererImage::RendererImage ()
    {
      BuildGrayscaleGradient ();
      UpdateLightFactors ();
    }

    void RendererImage::SetLightAzimuth (double azimuth)
    {
      m_lightAzimuth = azimuth;
      UpdateLightFactors ();
    }

    void RendererImage::SetLightElev (double elevation)
    {
      m_lightElevation = elevation;
      UpdateLightFactors ();
    }

    void RendererImage::SetLightContrast (double contrast)
    {
      if (!(contrast > 0.0)) {
        throw noise::ExceptionInvalidParam ();
      }
      m_lightContrast = contrast;
      UpdateLightFactors ();
    }

    void RendererImage::SetLightIntensity (double intensity)
    {
      if (!(intensity >= 0.0)) {
        throw noise::ExceptionInvalidParam ();
      }
      m_lightIntensity = intensity;
      UpdateLightFactors ();
    }

    void RendererImage::UpdateLightFactors ()
    {
      const double cosAzimuth = std::cos (m_lightAzimuth * DEGREES_TO_RADIANS);
      const double sinAzimuth = std::sin (m_lightAzimuth * DEGREES_TO_RADIANS);
      const double cosElevation = std::cos (m_lightElevation * DEGREES_TO_RADIANS);
      const double sinElevation = std::sin (m_lightElevation * DEGREES_TO_RADIANS);
      m_lightZ = std::numbers::sqrt2 * sinElevation / 2.0;
      m_lightX = (1.0 - m_lightZ) * m_lightContrast * std::numbers::sqrt2 * cosElevation
        * cosAzimuth;
      m_lightY = (1.0 - m_lightZ) * m_lightContrast * std::numbers::sqrt2 * cosElevation
        * sinAzimuth;
    }

    void RendererImage::BuildGrayscaleGradient ()
    {
      m_gradient.Clear ();
      m_gradient.AddGradientPoint (-1.0, Color (0, 0, 0, 255));
      m_gradient.AddGradientPoint (1.0, Color (255, 255, 255, 255));
    }

    bool RendererImage::LoadGradient (const QString& path)
    {
      const QImage picture (path);
      if (picture.isNull ()) {
        return false;
      }
      m_gradient.Clear ();
      for (int column = 0; column < GRADIENT_PICTURE_POINTS; ++column) {
        Color color (0, 0, 0, 255);
        if (column < picture.width ()) {
          const QRgb pixel = picture.pixel (column, 0);
          color = Color (static_cast<std::uint8_t> (qRed (pixel)),
            static_cast<std::uint8_t> (qGreen (pixel)),
            static_cast<std::uint8_t> (qBlue (pixel)), 255);
        }
        m_gradient.AddGradientPoint ((column + 1) / 1024.0 - 1.0, color);
      }
      return true;
    }

    void RendererImage::Render ()
    {
      RenderRows (0, RASTER_MAX_SIZE);
    }

    void RendererImage::RenderRows (int first, int last)
    {
      const NoiseMap& map = PrepareRender (m_gradient.GetGradientPointCount () >= 2);
      const int width = map.GetWidth ();
      const int height = map.GetHeight ();
      first = std::max (first, 0);
      last = std::min (last, height);
      if (!m_plainPath) {
        RenderRowsWithTables (map, first, last);
        return;
      }
      for (int y = first; y < last; ++y) {
        const float* row = map.GetConstSlabPtr (y);
        const float* below = y > 0 ? map.GetConstSlabPtr (y - 1) : row;
        const float* above = y < height - 1 ? map.GetConstSlabPtr (y + 1) : row;
        Color* out = DestImage ().GetSlabPtr (y);
        for (int x = 0; x < width; ++x) {
          const Color color = m_gradient.GetColor (row[x]);
          if (!m_lightEnabled) {
            out[x] = Color (color.red, color.green, color.blue, 255);
            continue;
          }
          const double left = x > 0 ? row[x - 1] : row[x];
          const double right = x < width - 1 ? row[x + 1] : row[x];
          double light = m_lightX * (left - right)
            + m_lightY * (static_cast<double> (below[x]) - above[x]) + m_lightZ;
          light = (light > 0.0 ? light : 0.0) * m_lightIntensity;
          out[x] = Color (LitChannel (color.red, light), LitChannel (color.green, light),
            LitChannel (color.blue, light), 255);
        }
      }
    }


    void RendererImage::RenderRowsWithTables (const NoiseMap& map, int first, int last)
    {
      const int width = map.GetWidth ();
      const int height = map.GetHeight ();
      const GradientColor::Lookup gradient (m_gradient);
      const std::array<double, 256>& unit = UnitChannels ();
      for (int y = first; y < last; ++y) {
        const float* row = map.GetConstSlabPtr (y);
        const float* below = y > 0 ? map.GetConstSlabPtr (y - 1) : row;
        const float* above = y < height - 1 ? map.GetConstSlabPtr (y + 1) : row;
        Color* out = DestImage ().GetSlabPtr (y);
        if (!m_lightEnabled) {
          for (int x = 0; x < width; ++x) {
            const Color color = gradient.GetColor (row[x]);
            out[x] = Color (color.red, color.green, color.blue, 255);
          }
          continue;
        }
        auto lit = [&] (int x, double left, double right) {
          const Color color = gradient.GetColor (row[x]);
          double light = m_lightX * (left - right)
            + m_lightY * (static_cast<double> (below[x]) - above[x]) + m_lightZ;
          light = (light > 0.0 ? light : 0.0) * m_lightIntensity;
          out[x] = Color (LitUnit (unit[color.red], light), LitUnit (unit[color.green], light),
            LitUnit (unit[color.blue], light), 255);
        };
        // The edges read their own value for the missing neighbour; the
        // pixels between them need no test.
        lit (0, row[0], width > 1 ? row[1] : row[0]);
        for (int x = 1; x < width - 1; ++x) {
          lit (x, row[x - 1], row[x + 1]);
        }
        if (width > 1) {
          lit (width - 1, row[width - 2], row[width - 1]);
        }
      }
    }

  }

}
