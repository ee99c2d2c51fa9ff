// A well-formed plug-in: one create action and one plain scriptable class.
#include "dzaction.h"
#include "dzapp.h"
#include "dzclassfactory.h"
#include "dznode.h"
#include "dzplugin.h"
#include "dzscene.h"

class GoodAction : public DzCreateItemAction {
    Q_OBJECT
public:
    GoodAction() : DzCreateItemAction(QStringLiteral("Make Good Node"), QStringLiteral("Adds a node named GoodNode"))
    {
        if (dzApp)
            setIcon(dzApp->getPluginsPath() + QStringLiteral("/good.png"));
    }
    void init() override { setObjectName(QStringLiteral("initialised")); }

public slots:
    void executeAction() override
    {
        auto *node = new DzNode;
        node->setName(QStringLiteral("GoodNode"));
        if (!dzScene || !dzScene->addNode(node))
            delete node;
    }
};

class GoodHelper : public QObject {
    Q_OBJECT
public:
    enum Shade { Light = 1, Dark = 7 };
    Q_ENUM(Shade)
    GoodHelper() { setObjectName(QStringLiteral("good helper")); }
};

static DzPlugin *definition()
{
    static DzPlugin *plugin = [] {
        auto *p = new DzPlugin(QStringLiteral("Good"));
        p->setVersion(DzVersion(1, 2, 3, 4));
        p->addClassFactory(new DzTClassFactory<GoodAction>(QStringLiteral("GoodAction"),
            DzGuid::fromString(QStringLiteral("0B5E7C2A-1111-4A4A-8B8B-000000000001"))));
        p->addClassFactory(new DzTClassFactory<GoodHelper>(QStringLiteral("GoodHelper"),
            DzGuid::fromString(QStringLiteral("0B5E7C2A-1111-4A4A-8B8B-000000000002"))));
        return p;
    }();
    return plugin;
}

extern "C" DZ_PLUGIN_EXPORT DzVersion getSDKVersion() { return DZ_SDK_VERSION; }
extern "C" DZ_PLUGIN_EXPORT DzPlugin *getPluginDefinition() { return definition(); }

#include "good_plugin.moc"
