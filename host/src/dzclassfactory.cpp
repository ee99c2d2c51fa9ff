#include "dzclassfactory.h"
#include "dzapp.h"
#include <QHash>
#include <QList>
#include <QMetaEnum>
#include <QPointer>

namespace {

// What a script's call of a class constructor reaches: it makes an instance through the
// factory. The bridge lives as long as the engine; the factory tells its bridges when it goes,
// after which calls yield undefined instead of touching a dead factory.
class DzFactoryBridge : public QObject {
    Q_OBJECT
public:
    DzFactoryBridge(const DzClassFactory *factory, QJSEngine *engine)
        : QObject(engine), m_factory(factory), m_engine(engine) {}

    void forgetFactory() { m_factory = nullptr; }

    Q_INVOKABLE QJSValue create()
    {
        if (!m_factory)
            return QJSValue(QJSValue::UndefinedValue);
        QObject *instance = m_factory->createInstance();
        if (!instance)
            return QJSValue(QJSValue::NullValue);
        // No parent: the script engine owns the instance and collects it.
        QJSEngine::setObjectOwnership(instance, QJSEngine::JavaScriptOwnership);
        return m_engine->newQObject(instance);
    }

private:
    const DzClassFactory *m_factory;
    QJSEngine *m_engine;
};

QHash<const DzClassFactory *, QList<QPointer<DzFactoryBridge>>> &bridgeRegistry()
{
    // Never destroyed: plug-in libraries stay loaded and destroy their factories at process exit,
    // after this library's own statics may be gone.
    static auto *registry = new QHash<const DzClassFactory *, QList<QPointer<DzFactoryBridge>>>;
    return *registry;
}

} // namespace

DzClassFactory::DzClassFactory(const QString &className, const DzGuid &classID)
    : m_className(className), m_classID(classID)
{
}

DzClassFactory::~DzClassFactory()
{
    const auto bridges = bridgeRegistry().take(this);
    for (const QPointer<DzFactoryBridge> &bridge : bridges)
        if (bridge)
            bridge->forgetFactory();
    if (dzApp)
        dzApp->removeClassFactory(this);
}

void DzClassFactory::registerClass(QJSEngine *engine) const
{
    if (!engine || m_className.isEmpty())
        return;
    publishConstructor(engine);
    QJSValue classObject = engine->globalObject().property(m_className);
    registerEnumsOnClass(getMetaObject(), classObject);
}

void DzClassFactory::publishConstructor(QJSEngine *engine) const
{
    auto *bridge = new DzFactoryBridge(this, engine);
    bridgeRegistry()[this].append(bridge);
    // A plain function, so that both "Name()" and "new Name()" give the instance.
    const QJSValue maker = engine->evaluate(QStringLiteral(
        "(function (bridge) { return function () { return bridge.create(); }; })"));
    const QJSValue constructor = maker.call({engine->newQObject(bridge)});
    engine->globalObject().setProperty(m_className, constructor);
}

void DzClassFactory::registerEnumsOnClass(const QMetaObject *metaObject, QJSValue &classObject)
{
    if (!metaObject || !classObject.isObject())
        return;
    for (int e = 0; e < metaObject->enumeratorCount(); ++e) {
        const QMetaEnum en = metaObject->enumerator(e);
        for (int k = 0; k < en.keyCount(); ++k)
            classObject.setProperty(QString::fromLatin1(en.key(k)), en.value(k));
    }
}

#include "dzclassfactory.moc"
