// batchoctaves.h
//
// The octave sum batch evaluation computes, with every parameter read out
// of the module beforehand.

#ifndef OROVISTA_NOISE_BATCHOCTAVES_H
#define OROVISTA_NOISE_BATCHOCTAVES_H

#include <cstddef>

namespace noise
{

  namespace batch
  {

    /// How an octave's gradient coherent noise is folded into the sum.
    enum class OctaveFold
    {
      Perlin,  ///< value += signal * persistence^octave
      Billow,  ///< value += (2 |signal| - 1) * persistence^octave; then + 0.5
      Ridged   ///< the program's RidgedMulti: weighted ridges, then * 1.25 - 1
    };

    /// Largest octave count of the batched generators (libnoise's 30).
    constexpr int BATCH_OCTAVE_LIMIT = 30;

    /// One generator's octave sum, as plain numbers: the seeds and weights
    /// of every octave are worked out once, with the module's own integer
    /// and floating-point operations, so the kernel only repeats them.
    struct OctaveSum
    {
      OctaveFold fold = OctaveFold::Perlin;
      int quality = 1;                          ///< noise::NoiseQuality
      int octaveCount = 1;
      double frequency = 1.0;
      double lacunarity = 2.0;
      int seeds[BATCH_OCTAVE_LIMIT] = {};      ///< each octave's seed
      double weights[BATCH_OCTAVE_LIMIT] = {}; ///< persistence^octave, or the spectral weight
      double offset = 1.0;                      ///< Ridged only
      double gain = 2.0;                        ///< Ridged only
      double weight = 1.0;                      ///< Ridged only
    };

    /// out[i] = the octave sum at (x[i], y[i], z[i]), with the widest SIMD
    /// the processor has.
    void SumOctaves (const OctaveSum& sum, const double* x, const double* y,
      const double* z, double* out, std::size_t count);

    /// The name of the instruction set SumOctaves() runs with.
    const char* SumOctavesTarget ();

  }

}

#endif
