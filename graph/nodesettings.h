#pragma once
// The bridge between the six node panels and the plain settings of the noise graph: read every
// node's widgets into one NoiseSettings, or show one in the widgets.
#include "graph/noisesettings.h"

namespace orovista {

/// The settings the panels show now (INPUT 1 and 2, DEFORMER 1 and 2, COMBINER, final node).
NoiseSettings readNodeSettings();
/// Shows settings in all six panels and stores their seeds, profiles, image files and gradient
/// names in the nodes. Nothing runs and no slot fires; a run afterwards uses the new values.
void applyNodeSettings(const NoiseSettings &settings);

}   // namespace orovista
