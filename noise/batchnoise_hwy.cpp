// batchnoise_hwy.cpp
//
// The SIMD kernel of batch evaluation, compiled once per instruction set
// (Highway's dynamic dispatch picks the widest the processor has).
//
// Every lane repeats libnoise's scalar GradientCoherentNoise3D() exactly:
// the same double operations in the same order, which is why this file is
// compiled with -ffp-contract=off and never uses MulAdd.  The integer hash
// differs in form only: libnoise hashes a lattice point as
//   v = 1619 x + 31337 y + 6971 z + 1013 seed   (32-bit int, wrapping)
//   index = (v ^ (v >> 8)) & 0xff
// which depends on the low 16 bits of v alone, and those are the same
// whether v wraps at 32 bits or is computed exactly in 64-bit lanes as
// here.  The gradient vectors come from libnoise's own table: gathered
// lane by lane, or, with AVX2 and AVX-512, where that is slow, loaded a
// table row per lane and transposed; the bits are the table's either way.
//
// The tail of a row shorter than a vector is computed in a zero-padded
// vector; only its real lanes are stored.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "noise/batchnoise_hwy.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "noise/batchoctaves.h"

#include <cmath>
#include <cstdint>

#ifndef OROVISTA_NOISE_BATCHNOISE_TABLE
#define OROVISTA_NOISE_BATCHNOISE_TABLE
namespace noise
{
  // libnoise's table of 256 gradient vectors, (x, y, z, 0) each; the
  // library exports it (vectortable.h would define a copy).
  extern double g_randomVectors[256 * 4];
}
#endif

HWY_BEFORE_NAMESPACE ();

namespace noise
{

  namespace batch
  {

    namespace HWY_NAMESPACE
    {

      namespace hn = hwy::HWY_NAMESPACE;

      using D = hn::ScalableTag<double>;
      using DI = hn::RebindToSigned<D>;
      using DU = hn::RebindToUnsigned<D>;
      using V = hn::Vec<D>;
      using VU = hn::Vec<DU>;

      /// noise::MakeInt32Range: values beyond +-2^30 wrapped with fmod,
      /// which here is n - trunc(n / 2^30) 2^30, exact for such n.
      HWY_INLINE V MakeInt32Range (D d, V n)
      {
        const V limit = hn::Set (d, 1073741824.0);
        const V negLimit = hn::Set (d, -1073741824.0);
        const auto high = n >= limit;
        const auto low = n <= negLimit;
        if (hn::AllFalse (d, hn::Or (high, low))) {
          return n;
        }
        const V two = hn::Set (d, 2.0);
        const V remainder = n - hn::Trunc (n * hn::Set (d, 1.0 / 1073741824.0)) * limit;
        return hn::IfThenElse (high, two * remainder - limit,
          hn::IfThenElse (low, two * remainder + limit, n));
      }

      template <int Quality>
      HWY_INLINE V SCurve (D d, V a)
      {
        if constexpr (Quality == 0) {
          return a;
        } else if constexpr (Quality == 1) {
          return a * a * (hn::Set (d, 3.0) - hn::Set (d, 2.0) * a);
        } else {
          const V a3 = a * a * a;
          const V a4 = a3 * a;
          const V a5 = a4 * a;
          return (hn::Set (d, 6.0) * a5) - (hn::Set (d, 15.0) * a4)
            + (hn::Set (d, 10.0) * a3);
        }
      }

      /// noise::LinearInterp, with 1 - a computed by the caller.
      HWY_INLINE V Lerp (V n0, V n1, V a, V oneMinusA)
      {
        return (oneMinusA * n0) + (a * n1);
      }

      /// noise::GradientNoise3D at one lattice point: hash is the lattice
      /// point's 1619 x + 31337 y + 6971 z + 1013 seed.
      HWY_INLINE V Gradient (D d, VU hash, V px, V py, V pz)
      {
        const DU du;
        const DI di;
        const VU mixed = hn::And (hn::Xor (hash, hn::ShiftRight<8> (hash)),
          hn::Set (du, 0xffu));
        const auto index = hn::BitCast (di, hn::ShiftLeft<2> (mixed));
        const double* table = noise::g_randomVectors;
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
        // Eight gathers of eight lanes cost more than loading the eight
        // table rows (x, y, z, 0) whole and transposing them.
        HWY_ALIGN std::int64_t rows[8];
        hn::Store (index, di, rows);
        const __m512d r01 = _mm512_insertf64x4 (_mm512_castpd256_pd512 (
          _mm256_loadu_pd (table + rows[0])), _mm256_loadu_pd (table + rows[1]), 1);
        const __m512d r23 = _mm512_insertf64x4 (_mm512_castpd256_pd512 (
          _mm256_loadu_pd (table + rows[2])), _mm256_loadu_pd (table + rows[3]), 1);
        const __m512d r45 = _mm512_insertf64x4 (_mm512_castpd256_pd512 (
          _mm256_loadu_pd (table + rows[4])), _mm256_loadu_pd (table + rows[5]), 1);
        const __m512d r67 = _mm512_insertf64x4 (_mm512_castpd256_pd512 (
          _mm256_loadu_pd (table + rows[6])), _mm256_loadu_pd (table + rows[7]), 1);
        // x0 x1 x2 x3 y0 y1 y2 y3 from rows 0 ... 3, and so on.
        const __m512i xy = _mm512_setr_epi64 (0, 4, 8, 12, 1, 5, 9, 13);
        const __m512i zz = _mm512_setr_epi64 (2, 6, 10, 14, 2, 6, 10, 14);
        const __m512d xy03 = _mm512_permutex2var_pd (r01, xy, r23);
        const __m512d xy47 = _mm512_permutex2var_pd (r45, xy, r67);
        const __m512d z03 = _mm512_permutex2var_pd (r01, zz, r23);
        const __m512d z47 = _mm512_permutex2var_pd (r45, zz, r67);
        const V gx {_mm512_shuffle_f64x2 (xy03, xy47, _MM_SHUFFLE (1, 0, 1, 0))};
        const V gy {_mm512_shuffle_f64x2 (xy03, xy47, _MM_SHUFFLE (3, 2, 3, 2))};
        const V gz {_mm512_shuffle_f64x2 (z03, z47, _MM_SHUFFLE (1, 0, 1, 0))};
#elif HWY_TARGET == HWY_AVX2
        // The same with four rows.
        HWY_ALIGN std::int64_t rows[4];
        hn::Store (index, di, rows);
        const __m256d r0 = _mm256_loadu_pd (table + rows[0]);
        const __m256d r1 = _mm256_loadu_pd (table + rows[1]);
        const __m256d r2 = _mm256_loadu_pd (table + rows[2]);
        const __m256d r3 = _mm256_loadu_pd (table + rows[3]);
        const __m256d xz01 = _mm256_unpacklo_pd (r0, r1);  // x0 x1 z0 z1
        const __m256d y01 = _mm256_unpackhi_pd (r0, r1);   // y0 y1 0 0
        const __m256d xz23 = _mm256_unpacklo_pd (r2, r3);
        const __m256d y23 = _mm256_unpackhi_pd (r2, r3);
        const V gx {_mm256_permute2f128_pd (xz01, xz23, 0x20)};
        const V gy {_mm256_permute2f128_pd (y01, y23, 0x20)};
        const V gz {_mm256_permute2f128_pd (xz01, xz23, 0x31)};
#else
        const V gx = hn::GatherIndex (d, table, index);
        const V gy = hn::GatherIndex (d, table + 1, index);
        const V gz = hn::GatherIndex (d, table + 2, index);
#endif
        return ((gx * px) + (gy * py) + (gz * pz)) * hn::Set (d, 2.12);
      }

      /// The lattice coordinate below v as libnoise takes it,
      /// (v > 0 ? (int) v : (int) v - 1), as a double.
      HWY_INLINE V Lower (D d, V v)
      {
        const V t = hn::Trunc (v);
        return hn::IfThenElse (v > hn::Zero (d), t, t - hn::Set (d, 1.0));
      }

      /// The lattice coordinate times its hash factor, in 64-bit lanes
      /// (exact: |lattice| <= 2^30 + 1).
      HWY_INLINE VU HashPart (D d, V lattice, double factor)
      {
        return hn::BitCast (DU (), hn::ConvertTo (DI (), lattice * hn::Set (d, factor)));
      }

      /// noise::GradientCoherentNoise3D.
      ///
      /// With YZero (every lane's y is 0, as on the plane the maps are
      /// sampled on) only the lattice plane y1 = 0 is evaluated: libnoise
      /// takes y0 = -1 there, so ys = SCurve (1) = 1 and the y interpolation
      /// (1 - 1) ix0 + 1 ix1 is ix1 itself, except that 0 ix0 + -0 gives +0
      /// where ix1 is -0 (ix0 is always finite). Such a signed zero changes
      /// no octave sum: Perlin adds it to a value that is never -0, Billow
      /// and the ridges take its absolute value. So the sums stay bit for
      /// bit libnoise's, at half the gradients.
      template <int Quality, bool YZero>
      HWY_INLINE V Coherent (D d, V x, V y, V z, VU seedPart)
      {
        const DU du;
        const V one = hn::Set (d, 1.0);
        const V x0 = Lower (d, x);
        const V z0 = Lower (d, z);
        const V x1 = x0 + one;
        const V z1 = z0 + one;
        const V xs = SCurve<Quality> (d, x - x0);
        const V zs = SCurve<Quality> (d, z - z0);
        const V xr = one - xs;
        const V zr = one - zs;

        const VU hx0 = HashPart (d, x0, 1619.0);
        const VU hx1 = hx0 + hn::Set (du, 1619u);
        const VU hz0 = HashPart (d, z0, 6971.0) + seedPart;
        const VU hz1 = hz0 + hn::Set (du, 6971u);

        const V px0 = x - x0, px1 = x - x1;
        const V pz0 = z - z0, pz1 = z - z1;

        if constexpr (YZero) {
          // y1 = 0: its hash part is 0 and y - y1 is y.
          V n0 = Gradient (d, hx0 + hz0, px0, y, pz0);
          V n1 = Gradient (d, hx1 + hz0, px1, y, pz0);
          const V iy0 = Lerp (n0, n1, xs, xr);
          n0 = Gradient (d, hx0 + hz1, px0, y, pz1);
          n1 = Gradient (d, hx1 + hz1, px1, y, pz1);
          const V iy1 = Lerp (n0, n1, xs, xr);
          return Lerp (iy0, iy1, zs, zr);
        } else {
          const V y0 = Lower (d, y);
          const V y1 = y0 + one;
          const V ys = SCurve<Quality> (d, y - y0);
          const V yr = one - ys;
          const VU hy0 = HashPart (d, y0, 31337.0);
          const VU hy1 = hy0 + hn::Set (du, 31337u);
          const V py0 = y - y0, py1 = y - y1;

          V n0 = Gradient (d, hx0 + hy0 + hz0, px0, py0, pz0);
          V n1 = Gradient (d, hx1 + hy0 + hz0, px1, py0, pz0);
          V ix0 = Lerp (n0, n1, xs, xr);
          n0 = Gradient (d, hx0 + hy1 + hz0, px0, py1, pz0);
          n1 = Gradient (d, hx1 + hy1 + hz0, px1, py1, pz0);
          V ix1 = Lerp (n0, n1, xs, xr);
          const V iy0 = Lerp (ix0, ix1, ys, yr);
          n0 = Gradient (d, hx0 + hy0 + hz1, px0, py0, pz1);
          n1 = Gradient (d, hx1 + hy0 + hz1, px1, py0, pz1);
          ix0 = Lerp (n0, n1, xs, xr);
          n0 = Gradient (d, hx0 + hy1 + hz1, px0, py1, pz1);
          n1 = Gradient (d, hx1 + hy1 + hz1, px1, py1, pz1);
          ix1 = Lerp (n0, n1, xs, xr);
          const V iy1 = Lerp (ix0, ix1, ys, yr);
          return Lerp (iy0, iy1, zs, zr);
        }
      }

      template <int Quality, bool YZero>
      HWY_INLINE V Sum (D d, const OctaveSum& s, V x, V y, V z)
      {
        const DU du;
        const V frequency = hn::Set (d, s.frequency);
        const V lacunarity = hn::Set (d, s.lacunarity);
        x = x * frequency;
        y = y * frequency;
        z = z * frequency;
        V value = hn::Zero (d);
        V octaveWeight = hn::Set (d, s.weight);
        const V zero = hn::Zero (d);
        const V one = hn::Set (d, 1.0);
        for (int octave = 0; octave < s.octaveCount; ++octave) {
          const V nx = MakeInt32Range (d, x);
          const V ny = MakeInt32Range (d, y);
          const V nz = MakeInt32Range (d, z);
          // Only the low 16 bits of 1013 seed matter (see above).
          const VU seedPart = hn::Set (du, static_cast<std::uint64_t> (
            static_cast<std::int64_t> (s.seeds[octave]) * 1013));
          V signal = Coherent<Quality, YZero> (d, nx, ny, nz, seedPart);
          const V weight = hn::Set (d, s.weights[octave]);
          switch (s.fold) {
            case OctaveFold::Perlin:
              value = value + signal * weight;
              break;
            case OctaveFold::Billow:
              signal = hn::Set (d, 2.0) * hn::Abs (signal) - one;
              value = value + signal * weight;
              break;
            case OctaveFold::Ridged: {
              signal = hn::Set (d, s.offset) - hn::Abs (signal);
              signal = signal * signal;
              signal = signal * octaveWeight;
              // std::clamp (signal * gain, 0.0, 1.0), NaN and -0 included.
              const V w = signal * hn::Set (d, s.gain);
              octaveWeight = hn::IfThenElse (w < zero, zero,
                hn::IfThenElse (one < w, one, w));
              value = value + signal * weight;
              break;
            }
          }
          x = x * lacunarity;
          y = y * lacunarity;
          z = z * lacunarity;
        }
        if (s.fold == OctaveFold::Billow) {
          value = value + hn::Set (d, 0.5);
        } else if (s.fold == OctaveFold::Ridged) {
          value = value * hn::Set (d, 1.25) - one;
        }
        return value;
      }

      template <int Quality, bool YZero>
      void SumRowsOf (const OctaveSum& s, const double* HWY_RESTRICT x,
        const double* HWY_RESTRICT y, const double* HWY_RESTRICT z,
        double* HWY_RESTRICT out, std::size_t count)
      {
        const D d;
        const std::size_t lanes = hn::Lanes (d);
        std::size_t i = 0;
        for (; i + lanes <= count; i += lanes) {
          const V v = Sum<Quality, YZero> (d, s, hn::LoadU (d, x + i), hn::LoadU (d, y + i),
            hn::LoadU (d, z + i));
          hn::StoreU (v, d, out + i);
        }
        if (i < count) {
          // The last, partial vector: padded with zeros, which cost nothing
          // special, and only the real lanes stored.
          HWY_ALIGN double px[HWY_MAX_BYTES / sizeof (double)] = {};
          HWY_ALIGN double py[HWY_MAX_BYTES / sizeof (double)] = {};
          HWY_ALIGN double pz[HWY_MAX_BYTES / sizeof (double)] = {};
          HWY_ALIGN double po[HWY_MAX_BYTES / sizeof (double)] = {};
          const std::size_t rest = count - i;
          for (std::size_t j = 0; j < rest; ++j) {
            px[j] = x[i + j];
            py[j] = y[i + j];
            pz[j] = z[i + j];
          }
          hn::Store (Sum<Quality, YZero> (d, s, hn::Load (d, px), hn::Load (d, py),
            hn::Load (d, pz)), d, po);
          for (std::size_t j = 0; j < rest; ++j) {
            out[i + j] = po[j];
          }
        }
      }

      /// Rows on the plane y = 0 (every map the machine samples, away from
      /// a turbulence) take the half-lattice kernel.
      template <int Quality>
      void SumRows (const OctaveSum& s, const double* HWY_RESTRICT x,
        const double* HWY_RESTRICT y, const double* HWY_RESTRICT z,
        double* HWY_RESTRICT out, std::size_t count)
      {
        // y stays 0 through the octaves only with finite factors.
        bool yZero = std::isfinite (s.frequency) && std::isfinite (s.lacunarity);
        for (std::size_t i = 0; i < count && yZero; ++i) {
          yZero = y[i] == 0.0;
        }
        if (yZero) {
          SumRowsOf<Quality, true> (s, x, y, z, out, count);
        } else {
          SumRowsOf<Quality, false> (s, x, y, z, out, count);
        }
      }

      void SumOctavesHwy (const OctaveSum& s, const double* x, const double* y,
        const double* z, double* out, std::size_t count)
      {
        switch (s.quality) {
          case 0:
            SumRows<0> (s, x, y, z, out, count);
            break;
          case 2:
            SumRows<2> (s, x, y, z, out, count);
            break;
          default:
            SumRows<1> (s, x, y, z, out, count);
            break;
        }
      }

      const char* TargetNameHwy ()
      {
        return hwy::TargetName (HWY_TARGET);
      }

    }

  }

}

HWY_AFTER_NAMESPACE ();

#if HWY_ONCE

namespace noise
{

  namespace batch
  {

    HWY_EXPORT (SumOctavesHwy);
    HWY_EXPORT (TargetNameHwy);

    void SumOctaves (const OctaveSum& sum, const double* x, const double* y,
      const double* z, double* out, std::size_t count)
    {
      HWY_DYNAMIC_DISPATCH (SumOctavesHwy) (sum, x, y, z, out, count);
    }

    const char* SumOctavesTarget ()
    {
      return HWY_DYNAMIC_DISPATCH (TargetNameHwy) ();
    }

  }

}

#endif
