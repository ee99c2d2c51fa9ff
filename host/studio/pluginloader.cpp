#include "pluginloader.h"
#include "dzaction.h"
#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzplugin.h"
#include <QDir>
#include <QFileInfo>
#include <QJSEngine>
#include <QLibrary>
#include <exception>

PluginLoader::PluginLoader(QJSEngine *engine, QObject *parent) : QObject(parent), m_engine(engine) {}

PluginLoader::~PluginLoader()
{
    // The actions' code lives in the libraries, which stay loaded, so deleting them is safe.
    qDeleteAll(m_actions);
}

int PluginLoader::loadFolder(const QString &dir)
{
    const QDir folder(dir);
    if (dir.isEmpty() || !folder.exists()) {
        m_notices.append(QStringLiteral("The plug-ins folder \"%1\" does not exist; no plug-ins were loaded.").arg(dir));
        return 0;
    }
    int accepted = 0;
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo &entry : entries)
        if (QLibrary::isLibrary(entry.fileName()) && loadLibrary(entry.absoluteFilePath()))
            ++accepted;
    return accepted;
}

void PluginLoader::refuse(QLibrary *library, const QString &file, const QString &message)
{
    if (library) {
        library->unload();
        delete library;
    }
    m_refusals.append({file, message});
    emit refused(file, message);
}

bool PluginLoader::loadLibrary(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty()) {
        refuse(nullptr, path, QStringLiteral("%1: the file does not exist").arg(path));
        return false;
    }
    if (m_loadedFiles.contains(canonical))
        return true;

    auto *library = new QLibrary(canonical);
    library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!library->load()) {
        refuse(library, path, QStringLiteral("%1 could not be loaded: %2").arg(name, library->errorString()));
        return false;
    }
    const auto getVersion = reinterpret_cast<DzGetSDKVersionFn>(library->resolve("getSDKVersion"));
    const auto getDefinition = reinterpret_cast<DzGetPluginDefinitionFn>(library->resolve("getPluginDefinition"));
    if (!getVersion || !getDefinition) {
        refuse(library, path, QStringLiteral("%1 is not a plug-in: it does not export %2.")
                                  .arg(name, !getVersion && !getDefinition ? QStringLiteral("getSDKVersion and getPluginDefinition")
                                             : !getVersion ? QStringLiteral("getSDKVersion")
                                                           : QStringLiteral("getPluginDefinition")));
        return false;
    }

    DzVersion version;
    DzPlugin *plugin = nullptr;
    try {
        version = getVersion();
        if (version.major == DZ_SDK_VERSION.major)
            plugin = getDefinition();
    } catch (const std::exception &e) {
        refuse(library, path, QStringLiteral("%1 failed while starting: %2").arg(name, QString::fromLocal8Bit(e.what())));
        return false;
    } catch (...) {
        refuse(library, path, QStringLiteral("%1 failed while starting").arg(name));
        return false;
    }
    if (version.major != DZ_SDK_VERSION.major) {
        refuse(library, path, QStringLiteral("%1 was built for SDK version %2, but this host provides SDK version %3; "
                                             "the major versions must match.")
                                  .arg(name, version.toString(), DZ_SDK_VERSION.toString()));
        return false;
    }
    if (!plugin) {
        refuse(library, path, QStringLiteral("%1 gave no plug-in definition.").arg(name));
        return false;
    }

    // Loaded for good: the QLibrary object may go, the library stays mapped.
    delete library;
    m_loadedFiles.append(canonical);
    m_plugins.append({path, plugin, version});
    adopt(plugin);
    return true;
}

void PluginLoader::adopt(DzPlugin *plugin)
{
    for (int i = 0; i < plugin->getNumClassFactories(); ++i) {
        DzClassFactory *factory = plugin->getClassFactory(i);
        if (!factory)
            continue;
        if (dzApp)
            dzApp->addClassFactory(factory);
        if (m_engine)
            factory->registerClass(m_engine);

        const QMetaObject *meta = factory->getMetaObject();
        if (!meta || !meta->inherits(&DzCreateItemAction::staticMetaObject))
            continue;
        QObject *instance = factory->createInstance();
        auto *action = qobject_cast<DzCreateItemAction *>(instance);
        if (!action) {
            delete instance;
            continue;
        }
        action->init();
        connect(action, &QAction::triggered, action, &DzAction::executeAction, Qt::UniqueConnection);
        connect(action, &QAction::toggled, action, &DzAction::toggleAction, Qt::UniqueConnection);
        m_actions.append(action);
    }
}

DzCreateItemAction *PluginLoader::findAction(const QString &text) const
{
    auto plain = [](QString s) { return s.remove(QLatin1Char('&')); };
    for (DzCreateItemAction *a : m_actions)
        if (a->text() == text || plain(a->text()) == plain(text))
            return a;
    return nullptr;
}
