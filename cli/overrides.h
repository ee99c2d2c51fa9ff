#pragma once
// Batch runs: changing a loaded preset from the command line, so that one preset gives many
// terrains and any result can be made again in the window.
#include "graph/noisesettings.h"

#include <QString>
#include <QStringList>

namespace orovista::cli {

/// Applies "KEY=VALUE" overrides in order, each read as a preset line is read (the same keys,
/// numbers and clamping). Returns an empty string, or the first override that is not of the
/// form KEY=VALUE or names no preset key.
QString applyOverrides(NoiseSettings &settings, const QStringList &overrides);

/// Gives every seeded node the seed n mod 17 (INPUT 1 and 2, the combiner's control noise and
/// the final node's turbulence), the range a node's seed box takes; a negative n counts back
/// from 17.
void setAllSeeds(NoiseSettings &settings, int n);

}   // namespace orovista::cli
