#include "graph/nodesettings.h"

#include "plugin/statics.h"

namespace orovista {

NoiseSettings readNodeSettings()
{
    Statics &o = statics();
    NoiseSettings s;
    o.input1.readSettings(s);
    o.input2.readSettings(s);
    o.deformer1.readSettings(s);
    o.deformer2.readSettings(s);
    o.combiner.readSettings(s);
    o.finalNode.readSettings(s);
    return s;
}

void applyNodeSettings(const NoiseSettings &settings)
{
    Statics &o = statics();
    o.input1.applySettings(settings);
    o.input2.applySettings(settings);
    o.deformer1.applySettings(settings);
    o.deformer2.applySettings(settings);
    o.combiner.applySettings(settings);
    o.finalNode.applySettings(settings);
}

}   // namespace orovista
