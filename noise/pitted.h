// pitted.h
//
// Sparse Gabor convolution noise.

#ifndef OROVISTA_NOISE_PITTED_H
#define OROVISTA_NOISE_PITTED_H

#include <libnoise/module/modulebase.h>

#include <cmath>
#include <cstdint>

namespace noise
{

  namespace module
  {

    /// The pseudo-random generator of Pitted: a multiplicative congruential
    /// generator on a 32-bit state.
    ///
    /// Each draw multiplies the state by 3039177861 (modulo 2^32) and
    /// yields U = state / 2^32, held exactly in double precision, in
    /// [0, 1).  A nonzero seed never produces a zero state.
    class PittedRandom
    {

      public:

        explicit PittedRandom (std::uint32_t seed)
          : m_state (seed)
        {
        }

        /// The next U, exact.
        double Uniform ()
        {
          m_state *= 3039177861u;
          return static_cast<double> (m_state) * (1.0 / 4294967296.0);
        }

        /// The next U rounded to single precision (may round up to 1.0).
        float UniformFloat ()
        {
          return static_cast<float> (Uniform ());
        }

        /// A Poisson-distributed count of the given mean, by multiplying
        /// uniform draws until their product falls to exp(-mean) or below.
        ///
        /// The threshold and the running product are kept in double
        /// precision: in single precision exp(-mean) underflows to zero from
        /// a mean of about 104 up, and the count would then stop following
        /// the mean.  In double precision the count follows its mean up to
        /// about 700, well above the 652 that 2048 impulses per kernel give.
        unsigned Poisson (double mean)
        {
          const double threshold = std::exp (-mean);
          unsigned count = 0;
          double product = Uniform ();
          while (product > threshold) {
            ++count;
            product *= Uniform ();
          }
          return count;
        }

      private:

        std::uint32_t m_state;

    };

    /// Noise module that outputs sparse Gabor convolution noise.
    ///
    /// The plane is cut into square cells of the Gabor kernel's radius
    /// R = sqrt(-ln 0.05 / pi) / a, where the kernel has fallen to 5 % of
    /// its peak.  Each cell holds a Poisson-distributed number of random
    /// impulses (on average impulsesPerKernel / pi, that is
    /// impulsesPerKernel per kernel disc), drawn from a generator seeded
    /// with the cell's Morton key plus the seed, so a cell always holds the
    /// same impulses.  The value at a point is the sum, over the impulses
    /// of the point's cell and its eight neighbours that lie within one
    /// kernel radius, of the impulse weight times a Gabor kernel: a
    /// Gaussian of bandwidth @a a times a cosine wave of frequency
    /// F0 = 0.05.  The sum is divided by four standard deviations, so most
    /// values fall within -1 ... +1.
    ///
    /// When @a anisotropic is 0 each impulse has its own random
    /// orientation and the pattern looks like pits and bumps of one size;
    /// when it is 1 every impulse uses the orientation pi/4 and the pattern
    /// becomes stripes across the (x, z) plane at 45 degrees.  Any other
    /// value gives 0 everywhere.
    ///
    /// The noise only depends on x and z (y is ignored).  The kernel, cell
    /// and sum values are single-precision floats; the coordinates and the
    /// final division are double precision.
    ///
    /// The cost per sample is nine cells times impulsesPerKernel / pi
    /// impulses, about 5900 random impulses at 2048 per kernel.
    ///
    /// This noise module does not require any source modules.
    class Pitted: public Module
    {

      public:

        /// Constructor.
        Pitted ();

        /// Not copyable: a copy would share libnoise's table of source
        /// modules with the original.
        Pitted (const Pitted&) = delete;
        Pitted& operator= (const Pitted&) = delete;

        /// The source modules this module takes; a constant, because the base
        /// class needs it before the virtual GetSourceModuleCount() may be called.
        static constexpr int sourceModuleCount = 0;

        virtual int GetSourceModuleCount () const
        {
          return sourceModuleCount;
        }

        /// @throw noise::ExceptionInvalidParam @a a or
        /// @a impulsesPerKernel is not above 0.
        virtual double GetValue (double x, double y, double z) const;

        /// The number of impulses of cell (@a i, @a j) with the current
        /// parameters.
        unsigned GetImpulseCount (int i, int j) const;

        /// The key of cell (@a i, @a j): bit k of i goes to bit 2k, bit k of
        /// j to bit 2k + 1 (bits beyond 32 are lost), plus @a seed with
        /// 32-bit wrap-around; 0 becomes 1.
        static std::uint32_t CellKey (int i, int j, std::uint32_t seed);

        /// Scale of the input coordinates: the noise is evaluated at
        /// (x * frequency * 64, z * frequency * 64).
        double frequency = 1.0;

        /// Added to every cell key.
        std::uint32_t seed = 0;

        /// Gaussian bandwidth of the kernel; the kernel radius is
        /// 0.9765097 / a.  Must be above 0.
        float a = 0.05f;

        /// Mean number of impulses per kernel disc.  Must be above 0.
        float impulsesPerKernel = 64.0f;

        /// 0: isotropic, 1: every impulse oriented at pi/4.
        std::uint8_t anisotropic = 0;

        /// Kernel magnitude K.
        static constexpr float KERNEL_MAGNITUDE = 0.4f;

        /// Kernel frequency F0.
        static constexpr float KERNEL_FREQUENCY = 0.05f;

        /// Orientation of every impulse in the anisotropic mode (pi/4).
        static constexpr float ANISOTROPIC_ORIENTATION = 0.7853981852531433f;

      private:

        struct Kernel
        {
          float radius;    // R
          float density;   // impulses per unit area
          float meanCount; // mean impulses per cell
        };

        /// The kernel of the current parameters.
        /// @throw noise::ExceptionInvalidParam see GetValue().
        Kernel MakeKernel () const;

        float CellSum (std::uint32_t key, const Kernel& kernel, float px, float py) const;

    };

  }

}

#endif
