// A plug-in built against another SDK major version; the host must not use its definition.
#include "dzaction.h"
#include "dzclassfactory.h"
#include "dzplugin.h"

class ForeignAction : public DzCreateItemAction {
    Q_OBJECT
public:
    ForeignAction() : DzCreateItemAction(QStringLiteral("Foreign Action")) {}
public slots:
    void executeAction() override {}
};

extern "C" DZ_PLUGIN_EXPORT DzVersion getSDKVersion() { return DzVersion(5, 0, 0, 0); }
extern "C" DZ_PLUGIN_EXPORT DzPlugin *getPluginDefinition()
{
    static DzPlugin *plugin = [] {
        auto *p = new DzPlugin(QStringLiteral("Foreign"));
        p->addClassFactory(new DzTClassFactory<ForeignAction>(QStringLiteral("ForeignAction"),
            DzGuid::fromString(QStringLiteral("0B5E7C2A-2222-4A4A-8B8B-000000000001"))));
        return p;
    }();
    return plugin;
}

#include "foreign_plugin.moc"
