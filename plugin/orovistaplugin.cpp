// The plug-in library's boundary with the host: the two exported entry points. Loading the library
// constructs its long-lived objects, the plug-in definition with its one class factory last.
#include "dzplugin.h"
#include "dzversion.h"
#include "plugin/statics.h"

extern "C" DZ_PLUGIN_EXPORT DzVersion getSDKVersion() { return DZ_SDK_VERSION; }

extern "C" DZ_PLUGIN_EXPORT DzPlugin *getPluginDefinition() { return &orovista::statics().plugin; }

namespace {
const bool constructedAtLoad = (orovista::statics(), true);
}
