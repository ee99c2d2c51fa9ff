#pragma once
// A splat map: how much of four ground layers each terrain sample shows, for engines that paint
// terrain layers by weight (Unity's alpha maps, Unreal's weight-blended layers).
//
// Channels: red sand (near the lowest band), green grass (everything else), blue rock (steep
// slopes), alpha snow (high up). Rock takes what the slope asks for first; snow takes its share
// of the rest by elevation, then sand, and grass what remains. Each change of layer is a smooth
// ramp, so borders blend. The four 8-bit weights of a sample sum to exactly 255.
//
// Elevations are fractions of the range between the lowest and highest sample; slopes are the
// angle of the surface in degrees, from central differences over the sample spacing (one-sided
// at the edges).
#include "scene/heightmapexport.h"

#include <QImage>

namespace orovista {

struct SplatSettings {
    double sandUpTo = 0.08;        ///< sand below this fraction of the range
    double snowFrom = 0.75;        ///< snow above this fraction of the range
    double rockFromDegrees = 35.0; ///< rock on slopes steeper than this
    double ramp = 0.04;            ///< half width of the elevation ramps (fraction of the range)
    double rockRampDegrees = 5.0;  ///< half width of the slope ramp
};

/// The four weights of one sample, 0 … 255 each, summing to 255.
struct SplatWeights {
    int sand = 0, grass = 255, rock = 0, snow = 0;
};
SplatWeights splatWeights(double elevationFraction, double slopeDegrees, const SplatSettings &settings);

/// The splat map of a grid spread over terrainSize metres, row r and column c of the image being
/// sample (r, c) of the grid (RGBA8888). A null image when the grid is empty or too large.
QImage splatMap(const ElevationGrid &grid, double terrainSize, const SplatSettings &settings = {});

}   // namespace orovista
