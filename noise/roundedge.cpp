// roundedge.cpp

#include "noise/roundedge.h"

#include <libnoise/exception.h>

#include <cmath>

namespace noise
{

  namespace module
  {

    RoundEdge::RoundEdge ()
      : Module (sourceModuleCount)
    {
    }

    double RoundEdge::GetValue (double x, double y, double z) const
    {
      if (!(edge > 0.0)) {
        throw noise::ExceptionInvalidParam ();
      }
      if (m_pSourceModule[0] == nullptr) {
        throw noise::ExceptionNoModule ();
      }
      const double k = (180.0 / edge) * 0.017453292;
      const double s = std::sin (k * x) * std::sin (k * z);
      return std::fabs (m_pSourceModule[0]->GetValue (x, y, z) * (s * s * s));
    }

  }

}
