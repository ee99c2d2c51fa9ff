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
//
// After sediment erosion its maps (terrain/sedimenterosion.h) add two rules: the beds of the
// streams are rock ("wet rock": from streamRockFrom to streamRockFull of the largest flow, on a
// logarithmic scale, rock ramps from 0 to all), and laid-down soil is sand (from
// depositSandFrom to depositSandFull metres of deposit, sand ramps to all that rock and snow
// leave). A stream's rock counts like a slope's: the larger of the two.
#include "scene/heightmapexport.h"
#include "terrain/sedimentmarks.h"

#include <QImage>

namespace orovista {

struct SplatSettings {
    double sandUpTo = 0.08;        ///< sand below this fraction of the range
    double snowFrom = 0.75;        ///< snow above this fraction of the range
    double rockFromDegrees = 35.0; ///< rock on slopes steeper than this
    double ramp = 0.04;            ///< half width of the elevation ramps (fraction of the range)
    double rockRampDegrees = 5.0;  ///< half width of the slope ramp
    double streamRockFrom = 0.6;   ///< sediment erosion: rock in streams from this share of the largest flow (log scale) …
    double streamRockFull = 0.85;  ///< … to all rock at this share
    double depositSandFrom = 0.02; ///< sediment erosion: sand on deposits from this depth (m) …
    double depositSandFull = 0.2;   ///< … to all sand at this depth
};

/// The four weights of one sample, 0 … 255 each, summing to 255.
struct SplatWeights {
    int sand = 0, grass = 255, rock = 0, snow = 0;
};
/// @a streamRock and @a depositSand are sediment erosion's shares (0 … 1) at the sample.
SplatWeights splatWeights(double elevationFraction, double slopeDegrees, const SplatSettings &settings,
                          double streamRock = 0.0, double depositSand = 0.0);

/// The splat map of a grid spread over terrainSize metres, row r and column c of the image being
/// sample (r, c) of the grid (RGBA8888). A null image when the grid is empty or too large.
/// @a erosion (when given) is sediment erosion's maps of the same surface, in the grid's row
/// order at any size (interpolated to the grid's).
QImage splatMap(const ElevationGrid &grid, double terrainSize, const SplatSettings &settings = {},
                const SedimentMaps *erosion = nullptr);

}   // namespace orovista
