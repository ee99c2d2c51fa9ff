#include "dzplugin.h"
#include "dzclassfactory.h"

DzPlugin::DzPlugin(const QString &name) : m_name(name) {}

DzPlugin::~DzPlugin()
{
    qDeleteAll(m_factories);
}

void DzPlugin::addClassFactory(DzClassFactory *factory)
{
    if (factory && !m_factories.contains(factory))
        m_factories.append(factory);
}
