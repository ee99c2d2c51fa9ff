// ridgedmulti.cpp

#include "noise/ridgedmulti.h"

#include <libnoise/exception.h>
#include <libnoise/noisegen.h>

#include <algorithm>
#include <cmath>

namespace noise
{

  namespace module
  {

    inline namespace orovista
    {

      RidgedMulti::RidgedMulti ()
        : Module (sourceModuleCount)
      {
        SetLacunarity (m_lacunarity);
      }

      void RidgedMulti::SetLacunarity (double lacunarity)
      {
        m_lacunarity = lacunarity;
        double frequency = 1.0;
        for (double& spectralWeight : m_spectralWeights) {
          spectralWeight = std::pow (frequency, -1.0);
          frequency *= m_lacunarity;
        }
      }

      void RidgedMulti::SetOctaveCount (int octaveCount)
      {
        if (octaveCount < 1 || octaveCount > RIDGED_OCTAVE_LIMIT) {
          throw noise::ExceptionInvalidParam ();
        }
        m_octaveCount = octaveCount;
      }

      double RidgedMulti::GetValue (double x, double y, double z) const
      {
        x *= m_frequency;
        y *= m_frequency;
        z *= m_frequency;

        double value = 0.0;
        double octaveWeight = weight;
        for (int octave = 0; octave < m_octaveCount; ++octave) {
          const int seed = static_cast<int> ((static_cast<unsigned> (m_seed)
            + static_cast<unsigned> (octave)) & 0x7fffffffu);
          double signal = GradientCoherentNoise3D (MakeInt32Range (x),
            MakeInt32Range (y), MakeInt32Range (z), seed, m_noiseQuality);
          signal = offset - std::fabs (signal);
          signal *= signal;
          signal *= octaveWeight;
          octaveWeight = std::clamp (signal * gain, 0.0, 1.0);
          value += signal * m_spectralWeights[octave];
          x *= m_lacunarity;
          y *= m_lacunarity;
          z *= m_lacunarity;
        }
        return value * 1.25 - 1.0;
      }

    }

  }

}
