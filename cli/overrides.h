#pragma once
// Batch runs: changing a loaded preset from the command line, so that one preset gives many
// terrains and any result can be made again in the window.
#include "graph/noisesettings.h"

#include <QString>
#include <QStringList>

namespace orovista::cli {

/// Applies "KEY=VALUE" overrides in order: the keys of a preset file, but values read strictly
/// (presets::setKey(): a number outside its key's range, or no number at all, is refused rather
/// than clamped). Returns an empty string, or one line for the first override that is not of the
/// form KEY=VALUE, names no preset key or gives a value the key does not take.
QString applyOverrides(NoiseSettings &settings, const QStringList &overrides);

/// Gives every seeded node the seed n mod 17 (INPUT 1 and 2, the combiner's control noise and
/// the final node's turbulence and rain), the range a node's seed box takes; a negative n counts back
/// from 17.
void setAllSeeds(NoiseSettings &settings, int n);

}   // namespace orovista::cli
