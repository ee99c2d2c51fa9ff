// checkerboard.cpp

#include "noise/checkerboard.h"

#include <libnoise/noisegen.h>

#include <cmath>

namespace noise
{

  namespace module
  {

    inline namespace orovista
    {

      namespace
      {

        /// The parity of the unit cell holding @a n.
        int CellParity (double n)
        {
          double cell = std::floor (MakeInt32Range (n));
          if (std::isnan (cell)) {
            cell = 0.0;
          }
          return static_cast<int> (cell) & 1;
        }

      }

      Checkerboard::Checkerboard ()
        : Module (sourceModuleCount)
      {
      }

      double Checkerboard::GetValue (double x, double y, double z) const
      {
        const int parity = CellParity (x * frequency) ^ CellParity (y * frequency)
          ^ CellParity (z * frequency);
        return parity ? -1.0 : 1.0;
      }

    }

  }

}
