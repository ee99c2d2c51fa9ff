// ridgedmulti.h
//
// The ridged multifractal with adjustable offset, gain and weight.
//
// libnoise has a noise::module::RidgedMulti of its own, which hard-wires
// these three values.  This one replaces it under the same name: it lives
// in the inline namespace noise::module::orovista, so code writes
// noise::module::RidgedMulti, while its symbols differ from the library's
// and the two never clash at link time.  Do not include
// <libnoise/module/ridgedmulti.h> (or <libnoise/noise.h>, which includes
// it) in a file that includes this header: the name would be ambiguous.
// "noise/modules.h" includes every module the program uses without that
// conflict.

#ifndef OROVISTA_NOISE_RIDGEDMULTI_H
#define OROVISTA_NOISE_RIDGEDMULTI_H

#include <libnoise/module/modulebase.h>

namespace noise
{

  namespace module
  {

    inline namespace orovista
    {

      /// Largest octave count of RidgedMulti (libnoise's value).
      constexpr int RIDGED_OCTAVE_LIMIT = 30;

      /// Noise module that outputs 3-dimensional ridged-multifractal noise.
      ///
      /// Each octave takes libnoise's gradient coherent noise and folds it
      /// into ridges: signal = (offset - |noise|)^2 * w, where w, the
      /// octave's weight, is the previous octave's signal * gain clamped to
      /// 0 ... 1 (the first octave uses @a weight).  Large signals thus
      /// strengthen the next octave, which sharpens the ridge tops while the
      /// valleys stay smooth.  The octaves are added with the spectral
      /// weights lacunarity^(-octave) and the sum is mapped as
      /// value * 1.25 - 1.
      ///
      /// With offset 1, gain 2 and weight 1 (the defaults) the output equals
      /// libnoise's RidgedMulti bit for bit.  The other parameters and their
      /// defaults are libnoise's: frequency 1, lacunarity 2, standard
      /// quality, 6 octaves, seed 0.
      ///
      /// This noise module does not require any source modules.
      class RidgedMulti: public Module
      {

        public:

          /// Constructor.
          RidgedMulti ();

          /// Not copyable: a copy would share libnoise's table of source
          /// modules with the original.
          RidgedMulti (const RidgedMulti&) = delete;
          RidgedMulti& operator= (const RidgedMulti&) = delete;

          double GetFrequency () const
          {
            return m_frequency;
          }

          double GetLacunarity () const
          {
            return m_lacunarity;
          }

          noise::NoiseQuality GetNoiseQuality () const
          {
            return m_noiseQuality;
          }

          int GetOctaveCount () const
          {
            return m_octaveCount;
          }

          int GetSeed () const
          {
            return m_seed;
          }

          /// The source modules this module takes; a constant, because the base
          /// class needs it before the virtual GetSourceModuleCount() may be called.
          static constexpr int sourceModuleCount = 0;

          virtual int GetSourceModuleCount () const
          {
            return sourceModuleCount;
          }

          /// The weight of octave @a octave (0 ... RIDGED_OCTAVE_LIMIT - 1)
          /// in the sum: lacunarity^(-octave), as SetLacunarity() works it
          /// out.
          double GetSpectralWeight (int octave) const
          {
            return m_spectralWeights[octave];
          }

          virtual double GetValue (double x, double y, double z) const;

          void SetFrequency (double frequency)
          {
            m_frequency = frequency;
          }

          /// Sets the frequency multiplier between octaves and recomputes
          /// the spectral weights.
          void SetLacunarity (double lacunarity);

          void SetNoiseQuality (noise::NoiseQuality noiseQuality)
          {
            m_noiseQuality = noiseQuality;
          }

          /// @throw noise::ExceptionInvalidParam @a octaveCount is outside
          /// 1 ... RIDGED_OCTAVE_LIMIT.
          void SetOctaveCount (int octaveCount);

          void SetSeed (int seed)
          {
            m_seed = seed;
          }

          /// Height the absolute noise is subtracted from.
          double offset = 1.0;

          /// Multiplies a signal to give the next octave's weight.
          double gain = 2.0;

          /// Weight of the first octave.
          double weight = 1.0;

        private:

          double m_frequency = 1.0;
          double m_lacunarity = 2.0;
          noise::NoiseQuality m_noiseQuality = noise::QUALITY_STD;
          int m_octaveCount = 6;
          int m_seed = 0;
          double m_spectralWeights[RIDGED_OCTAVE_LIMIT] = {};

      };

    }

  }

}

#endif
