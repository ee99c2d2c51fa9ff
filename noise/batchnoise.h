// batchnoise.h
//
// Evaluating a generator module at many points at once.

#ifndef OROVISTA_NOISE_BATCHNOISE_H
#define OROVISTA_NOISE_BATCHNOISE_H

#include <libnoise/module/modulebase.h>
#include <libnoise/module/turbulence.h>

#include <cstddef>

namespace noise
{

  namespace batch
  {

    /// True when GetValues() can evaluate @a module: libnoise's Perlin and
    /// Billow and the program's RidgedMulti.
    ///
    /// These spend their time in the octaves of gradient coherent noise;
    /// batch evaluation computes a whole row of points with SIMD (as wide
    /// as the processor allows, chosen when the program runs) and gives
    /// for every point the very double the module's own GetValue() gives:
    /// the same operations in the same order, no fused multiply-add, the
    /// same integer hashing into libnoise's own table of gradient vectors,
    /// the same seed, lacunarity and persistence sequence per octave.
    bool CanBatch (const noise::module::Module& module);

    /// Writes @a module's value at point (x[i], y[i], z[i]) to out[i] for
    /// i in 0 ... count - 1, bit for bit what module.GetValue() returns.
    /// The module's parameters are read here, through its getters.
    ///
    /// @pre CanBatch (@a module).
    void GetValues (const noise::module::Module& module, const double* x,
      const double* y, const double* z, double* out, std::size_t count);

    /// Writes the point @a turbulence samples its source at, for the point
    /// (x[i], y[i], z[i]), to (outX[i], outY[i], outZ[i]): the displacement
    /// of libnoise's Turbulence::GetValue(), computed in batches.
    void GetTurbulencePoints (const noise::module::Turbulence& turbulence,
      const double* x, const double* y, const double* z, double* outX,
      double* outY, double* outZ, std::size_t count);

    /// The instruction set batch evaluation runs with (e.g. "AVX3").
    const char* TargetName ();

  }

}

#endif
