#pragma once
// The module graph of one noise-machine run, built from the node settings.
//
// Outputs are numbered by machine step:
//   1, 2  INPUT 1 and INPUT 2 (each generator behind a Cache)
//   3, 4  DEFORMER 1 and DEFORMER 2 over them (behind a Cache)
//   5, 6  the COMBINER over both deformers (6 is the same module: the final map)
//   7     the COMBINER's control noise on its own (behind a Cache)
//   8, 9  turbulence over DEFORMER 1 and DEFORMER 2
// The Caches let one sample evaluate each generator once when the outputs are sampled in order
// at the same point. A graph keeps state between calls (Cache, NoiseImage): one graph per thread.
#include "graph/noisesettings.h"
#include "noise/parallelbuilder.h"

#include <memory>

namespace orovista {

inline constexpr int nodeCount = 9;

/// How the two turbulence outputs are made. Both displace the plane with the same settings, so
/// Shared computes the displacement once per point (at output 8) and output 9 samples its deformer
/// at that same displaced point; the values are the same bits as Separate, where each output is a
/// turbulence module of its own. Shared pays off when 8 and 9 are sampled at each point in turn.
enum class Turbulence { Separate, Shared };

/// Builds the graph. fullOctaves raises the octave counts of the two inputs (nodes 1 and 2) to 30;
/// the combiner's control noise keeps its own.
std::unique_ptr<noise::utils::ModuleGraph> buildNoiseGraph(const NoiseSettings &settings, bool fullOctaves,
                                                           Turbulence turbulence = Turbulence::Separate);

/// A factory for the parallel builders: every call builds an identical graph.
noise::utils::ModuleGraphFactory noiseGraphFactory(const NoiseSettings &settings, bool fullOctaves,
                                                   Turbulence turbulence = Turbulence::Separate);

/// Gabor convolution impulses per kernel for a persistence slider value: 4 × 2^(value − 1).
int gaborImpulsesPerKernel(int persistence);

/// The control points of a curve profile (1 … 16; none for 0 and out-of-range numbers), as
/// (input, output) pairs in the order they are added.
const std::vector<std::pair<double, double>> &curveProfile(int profile);
/// The terrace points of a terrace profile (1 … 15; none otherwise).
const std::vector<double> &terraceProfile(int profile);

}   // namespace orovista
