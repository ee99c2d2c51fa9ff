// modules.h
//
// Every noise module the program uses, in one include: libnoise's stock
// modules, with this program's own Checkerboard and RidgedMulti in place of
// the library's, and the program's Pitted, NoiseImage and RoundEdge.
//
// Include this instead of <libnoise/noise.h>, which would bring in the
// library's Checkerboard and RidgedMulti and make those names ambiguous.

#ifndef OROVISTA_NOISE_MODULES_H
#define OROVISTA_NOISE_MODULES_H

#include <libnoise/exception.h>
#include <libnoise/noisegen.h>

#include <libnoise/module/abs.h>
#include <libnoise/module/add.h>
#include <libnoise/module/billow.h>
#include <libnoise/module/blend.h>
#include <libnoise/module/cache.h>
#include <libnoise/module/clamp.h>
#include <libnoise/module/const.h>
#include <libnoise/module/curve.h>
#include <libnoise/module/cylinders.h>
#include <libnoise/module/displace.h>
#include <libnoise/module/exponent.h>
#include <libnoise/module/invert.h>
#include <libnoise/module/max.h>
#include <libnoise/module/min.h>
#include <libnoise/module/multiply.h>
#include <libnoise/module/perlin.h>
#include <libnoise/module/power.h>
#include <libnoise/module/rotatepoint.h>
#include <libnoise/module/scalebias.h>
#include <libnoise/module/scalepoint.h>
#include <libnoise/module/select.h>
#include <libnoise/module/spheres.h>
#include <libnoise/module/terrace.h>
#include <libnoise/module/translatepoint.h>
#include <libnoise/module/turbulence.h>
#include <libnoise/module/voronoi.h>

#include "noise/checkerboard.h"
#include "noise/noiseimage.h"
#include "noise/pitted.h"
#include "noise/ridgedmulti.h"
#include "noise/roundedge.h"

#endif
