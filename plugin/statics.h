#pragma once
// The objects that live as long as the plug-in library: constructed in this order when the library
// is loaded, destroyed in reverse order when it is unloaded.
#include "dzplugin.h"
#include "graph/c1.h"
#include "graph/d1.h"
#include "graph/ff.h"
#include "graph/i1.h"
#include "library/mylibrary.h"
#include "noise/noisemap.h"
#include "plugin/afirstpluginaction.h"
#include "plugin/helpfilter.h"

#include <memory>

namespace orovista {

struct Statics {
    Statics();
    ~Statics();

    DzOrovistaPluginAction action;   ///< never registered; reaches the window's program-wide operations
    C1 combiner;
    myLibrary library;
    noise::utils::NoiseMap finalHeightMap;   ///< left by the last noise-machine run
    std::unique_ptr<PopulateLabelHelpFilter> helpFilter;
    I1 input1{0};
    I1 input2{1};
    D1 deformer1{0};
    D1 deformer2{1};
    FF finalNode;
    DzPlugin plugin{QStringLiteral("OROVISTA")};
};

/// The library's long-lived objects (made on first use; the plug-in entry makes them at load).
Statics &statics();

}   // namespace orovista
