#include "graph/nodesettings.h"

#include "plugin/statics.h"

namespace orovista {

namespace {
/// Calls f on each of the six nodes, in graph order.
template <class F>
void forEachNode(F f)
{
    Statics &o = statics();
    f(o.input1);
    f(o.input2);
    f(o.deformer1);
    f(o.deformer2);
    f(o.combiner);
    f(o.finalNode);
}
}   // namespace

NoiseSettings readNodeSettings()
{
    NoiseSettings s;
    forEachNode([&s](const auto &node) { node.readSettings(s); });
    return s;
}

void applyNodeSettings(const NoiseSettings &settings)
{
    forEachNode([&settings](auto &node) { node.applySettings(settings); });
}

}   // namespace orovista
