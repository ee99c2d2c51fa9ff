// batchnoise.cpp

#include "noise/batchnoise.h"

#include "noise/batchoctaves.h"
#include "noise/ridgedmulti.h"

#include <libnoise/module/billow.h>
#include <libnoise/module/perlin.h>

#include <vector>

namespace noise
{

  namespace batch
  {

    namespace
    {

      bool ValidQuality (noise::NoiseQuality quality)
      {
        return quality == noise::QUALITY_FAST || quality == noise::QUALITY_STD
          || quality == noise::QUALITY_BEST;
      }

      bool ValidOctaves (int octaveCount)
      {
        return octaveCount >= 1 && octaveCount <= BATCH_OCTAVE_LIMIT;
      }

      /// Perlin and Billow share their parameters and their sequences:
      /// seed (m_seed + octave) as a wrapping int, persistence multiplied
      /// up from 1.
      template <class Fractal>
      OctaveSum FractalSum (const Fractal& m, OctaveFold fold)
      {
        OctaveSum s;
        s.fold = fold;
        s.quality = m.GetNoiseQuality ();
        s.octaveCount = m.GetOctaveCount ();
        s.frequency = m.GetFrequency ();
        s.lacunarity = m.GetLacunarity ();
        double persistence = 1.0;
        for (int octave = 0; octave < s.octaveCount; ++octave) {
          s.seeds[octave] = static_cast<int> (static_cast<unsigned> (m.GetSeed ())
            + static_cast<unsigned> (octave));
          s.weights[octave] = persistence;
          persistence *= m.GetPersistence ();
        }
        return s;
      }

      OctaveSum RidgedSum (const noise::module::RidgedMulti& m)
      {
        OctaveSum s;
        s.fold = OctaveFold::Ridged;
        s.quality = m.GetNoiseQuality ();
        s.octaveCount = m.GetOctaveCount ();
        s.frequency = m.GetFrequency ();
        s.lacunarity = m.GetLacunarity ();
        for (int octave = 0; octave < s.octaveCount; ++octave) {
          s.seeds[octave] = static_cast<int> ((static_cast<unsigned> (m.GetSeed ())
            + static_cast<unsigned> (octave)) & 0x7fffffffu);
          s.weights[octave] = m.GetSpectralWeight (octave);
        }
        s.offset = m.offset;
        s.gain = m.gain;
        s.weight = m.weight;
        return s;
      }

      /// A Perlin module with the settings of one of Turbulence's three
      /// distortion modules (libnoise's defaults but for these).
      void SetDistortModule (noise::module::Perlin& p, const noise::module::Turbulence& t,
        int seedOffset)
      {
        p.SetFrequency (t.GetFrequency ());
        p.SetOctaveCount (t.GetRoughnessCount ());
        p.SetSeed (static_cast<int> (static_cast<unsigned> (t.GetSeed ())
          + static_cast<unsigned> (seedOffset)));
      }

    }

    bool CanBatch (const noise::module::Module& module)
    {
      if (const auto* p = dynamic_cast<const noise::module::Perlin*> (&module)) {
        return ValidQuality (p->GetNoiseQuality ()) && ValidOctaves (p->GetOctaveCount ());
      }
      if (const auto* b = dynamic_cast<const noise::module::Billow*> (&module)) {
        return ValidQuality (b->GetNoiseQuality ()) && ValidOctaves (b->GetOctaveCount ());
      }
      if (const auto* r = dynamic_cast<const noise::module::RidgedMulti*> (&module)) {
        return ValidQuality (r->GetNoiseQuality ()) && ValidOctaves (r->GetOctaveCount ());
      }
      return false;
    }

    void GetValues (const noise::module::Module& module, const double* x,
      const double* y, const double* z, double* out, std::size_t count)
    {
      if (const auto* p = dynamic_cast<const noise::module::Perlin*> (&module)) {
        SumOctaves (FractalSum (*p, OctaveFold::Perlin), x, y, z, out, count);
      } else if (const auto* b = dynamic_cast<const noise::module::Billow*> (&module)) {
        SumOctaves (FractalSum (*b, OctaveFold::Billow), x, y, z, out, count);
      } else if (const auto* r = dynamic_cast<const noise::module::RidgedMulti*> (&module)) {
        SumOctaves (RidgedSum (*r), x, y, z, out, count);
      } else {
        for (std::size_t i = 0; i < count; ++i) {
          out[i] = module.GetValue (x[i], y[i], z[i]);
        }
      }
    }

    void GetTurbulencePoints (const noise::module::Turbulence& turbulence,
      const double* x, const double* y, const double* z, double* outX,
      double* outY, double* outZ, std::size_t count)
    {
      // Turbulence::GetValue() samples each distortion module at the point
      // moved by its own fixed offset, then adds value * power.
      static const double offsets[3][3] = {
        {12414.0 / 65536.0, 65124.0 / 65536.0, 31337.0 / 65536.0},
        {26519.0 / 65536.0, 18128.0 / 65536.0, 60493.0 / 65536.0},
        {53820.0 / 65536.0, 11213.0 / 65536.0, 44845.0 / 65536.0}};
      std::vector<double> px (count), py (count), pz (count), value (count);
      const double power = turbulence.GetPower ();
      const double* source[3] = {x, y, z};
      double* target[3] = {outX, outY, outZ};
      for (int axis = 0; axis < 3; ++axis) {
        for (std::size_t i = 0; i < count; ++i) {
          px[i] = x[i] + offsets[axis][0];
          py[i] = y[i] + offsets[axis][1];
          pz[i] = z[i] + offsets[axis][2];
        }
        noise::module::Perlin distort;
        SetDistortModule (distort, turbulence, axis);
        if (CanBatch (distort)) {
          GetValues (distort, px.data (), py.data (), pz.data (), value.data (), count);
        } else {
          for (std::size_t i = 0; i < count; ++i) {
            value[i] = distort.GetValue (px[i], py[i], pz[i]);
          }
        }
        for (std::size_t i = 0; i < count; ++i) {
          target[axis][i] = source[axis][i] + (value[i] * power);
        }
      }
    }

    const char* TargetName ()
    {
      return SumOctavesTarget ();
    }

  }

}
