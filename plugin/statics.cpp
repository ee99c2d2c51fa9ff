#include "plugin/statics.h"

#include "dzversion.h"

namespace orovista {

Statics::Statics() : helpFilter(std::make_unique<PopulateLabelHelpFilter>())
{
    plugin.setAuthor(QStringLiteral("OROVISTA developers"));
    plugin.setVersion(DzVersion(1, 1, 0, 1));
    plugin.setDescription(
        QStringLiteral("<a href=\"https://orovista.org\">OROVISTA web site</a><br><br>"));
    plugin.addClassFactory(new DzOrovistaPluginActionFactory);
}

Statics::~Statics() = default;

Statics &statics()
{
    static Statics objects;
    return objects;
}

}   // namespace orovista
