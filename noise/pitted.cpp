// pitted.cpp

#include "noise/pitted.h"

#include <libnoise/exception.h>

#include <cmath>

namespace noise
{

  namespace module
  {

    namespace
    {

      constexpr float PI_F = 3.14159265358979323846f;
      constexpr float TWO_PI_F = 6.2831854820251465f;

      /// sqrt(-ln 0.05 / pi): the kernel radius for a = 1.
      constexpr float RADIUS_FACTOR = 0.9765097f;

      /// Beyond this, a coordinate has no fractional part left; such points
      /// get no noise rather than an undefined cell.
      constexpr double MAX_CELL_COORD = 4611686018427387904.0; // 2^62

      /// Spreads the low 16 bits of @a v to the even bit positions.
      std::uint32_t SpreadBits (std::uint32_t v)
      {
        v &= 0x0000ffffu;
        v = (v | (v << 8)) & 0x00ff00ffu;
        v = (v | (v << 4)) & 0x0f0f0f0fu;
        v = (v | (v << 2)) & 0x33333333u;
        v = (v | (v << 1)) & 0x55555555u;
        return v;
      }

      /// The Gabor kernel of orientation (cos o, sin o) at (gx, gy).
      float Gabor (float a, float cosOrientation, float sinOrientation, float gx,
        float gy)
      {
        const float envelope = Pitted::KERNEL_MAGNITUDE
          * std::exp (-PI_F * (a * a) * (gx * gx + gy * gy));
        const float carrier = std::cos (TWO_PI_F * Pitted::KERNEL_FREQUENCY
          * (gx * cosOrientation + gy * sinOrientation));
        return envelope * carrier;
      }

    }

    namespace
    {

      const float COS_FIXED = std::cos (Pitted::ANISOTROPIC_ORIENTATION);
      const float SIN_FIXED = std::sin (Pitted::ANISOTROPIC_ORIENTATION);

    }

    Pitted::Pitted ()
      : Module (sourceModuleCount)
    {
    }

    std::uint32_t Pitted::CellKey (int i, int j, std::uint32_t seed)
    {
      const std::uint32_t morton = SpreadBits (static_cast<std::uint32_t> (i))
        | (SpreadBits (static_cast<std::uint32_t> (j)) << 1);
      const std::uint32_t key = morton + seed;
      return key == 0 ? 1u : key;
    }

    Pitted::Kernel Pitted::MakeKernel () const
    {
      if (!(a > 0.0f) || !(impulsesPerKernel > 0.0f)) {
        throw noise::ExceptionInvalidParam ();
      }
      Kernel kernel;
      kernel.radius = RADIUS_FACTOR / a;
      const float radiusSquared = kernel.radius * kernel.radius;
      kernel.density = impulsesPerKernel / (PI_F * radiusSquared);
      kernel.meanCount = kernel.density * radiusSquared;
      return kernel;
    }

    unsigned Pitted::GetImpulseCount (int i, int j) const
    {
      const Kernel kernel = MakeKernel ();
      PittedRandom random (CellKey (i, j, seed));
      return random.Poisson (kernel.meanCount);
    }

    float Pitted::CellSum (std::uint32_t key, const Kernel& kernel, float px,
      float py) const
    {
      PittedRandom random (key);
      const unsigned count = random.Poisson (kernel.meanCount);
      float sum = 0.0f;
      for (unsigned n = 0; n < count; ++n) {
        // All four draws happen for every impulse, used or not, so that the
        // next impulse does not depend on this one's position.
        const float xi = random.UniformFloat ();
        const float yi = random.UniformFloat ();
        const float weight = 2.0f * random.UniformFloat () - 1.0f;
        const float orientation = TWO_PI_F * random.UniformFloat ();
        const float dx = px - xi;
        const float dy = py - yi;
        if (dx * dx + dy * dy >= 1.0f) {
          continue;
        }
        if (anisotropic == 0) {
          sum += weight * Gabor (a, std::cos (orientation), std::sin (orientation),
            dx * kernel.radius, dy * kernel.radius);
        } else if (anisotropic == 1) {
          sum += weight * Gabor (a, COS_FIXED, SIN_FIXED, dx * kernel.radius,
            dy * kernel.radius);
        }
      }
      return sum;
    }

    double Pitted::GetValue (double x, double /*y*/, double z) const
    {
      const Kernel kernel = MakeKernel ();
      const double u = x * (frequency * 64.0) / kernel.radius;
      const double v = z * (frequency * 64.0) / kernel.radius;
      if (!(std::fabs (u) < MAX_CELL_COORD) || !(std::fabs (v) < MAX_CELL_COORD)) {
        return 0.0;
      }
      const double cellU = std::floor (u);
      const double cellV = std::floor (v);
      const double fu = u - cellU;
      const double fv = v - cellV;
      // Only the low 16 bits of a cell index reach its key, so the 64-bit
      // index may be cut to 32 bits with wrap-around.
      const auto i0 = static_cast<std::uint32_t> (static_cast<std::int64_t> (cellU));
      const auto j0 = static_cast<std::uint32_t> (static_cast<std::int64_t> (cellV));

      float sum = 0.0f;
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          const std::uint32_t key = CellKey (static_cast<int> (i0 + di),
            static_cast<int> (j0 + dj), seed);
          sum += CellSum (key, kernel, static_cast<float> (fu - di),
            static_cast<float> (fv - dj));
        }
      }

      const float K = KERNEL_MAGNITUDE;
      const float F0 = KERNEL_FREQUENCY;
      const float variance = kernel.density * (1.0f / 3.0f) * ((K * K) / (4.0f * (a * a)))
        * (1.0f + std::exp (-TWO_PI_F * (F0 * F0) / (a * a)));
      return static_cast<double> (sum) / (4.0 * std::sqrt (static_cast<double> (variance)));
    }

  }

}
