// roundedge.h
//
// Fading a noise to zero towards the borders of the plane window.

#ifndef OROVISTA_NOISE_ROUNDEDGE_H
#define OROVISTA_NOISE_ROUNDEDGE_H

#include <libnoise/module/modulebase.h>

namespace noise
{

  namespace module
  {

    /// Noise module that fades the output of its source module to zero at
    /// the borders of the square window 0 ... edge of the (x, z) plane.
    ///
    /// The output is |source * s^3| with s = sin(k x) * sin(k z) and
    /// k = (180 / edge) * 0.017453292 (a degrees-to-radians factor cut to
    /// nine digits), so that one half period of the sine spans the window.
    /// The result is never negative: it is 0 on the lines x = 0, x = edge,
    /// z = 0 and z = edge and keeps the source's magnitude near the
    /// window's centre.  It is what makes a terrain an island.
    ///
    /// Outside the window the sines repeat, so the pattern tiles.
    ///
    /// This noise module requires one source module.
    class RoundEdge: public Module
    {

      public:

        /// Constructor.
        RoundEdge ();

        /// Not copyable: a copy would share libnoise's table of source
        /// modules with the original.
        RoundEdge (const RoundEdge&) = delete;
        RoundEdge& operator= (const RoundEdge&) = delete;

        /// The source modules this module takes; a constant, because the base
        /// class needs it before the virtual GetSourceModuleCount() may be called.
        static constexpr int sourceModuleCount = 1;

        virtual int GetSourceModuleCount () const
        {
          return sourceModuleCount;
        }

        /// @throw noise::ExceptionInvalidParam @a edge is not above 0.
        /// @throw noise::ExceptionNoModule no source module is set.
        virtual double GetValue (double x, double y, double z) const;

        /// Side of the window: the noise size of the map.  Must be above 0.
        double edge = 1.0;

    };

  }

}

#endif
