#pragma once
#include "dzglobal.h"
#include "dzversion.h"
#include <QList>
#include <QString>

class DzClassFactory;

/// What a plug-in library tells the host about itself: name, author, version, description, and
/// the class factories of the classes it adds.
class DZCORE_API DzPlugin {
public:
    explicit DzPlugin(const QString &name);
    virtual ~DzPlugin();   ///< deletes the factories

    void setAuthor(const QString &author) { m_author = author; }
    void setVersion(const DzVersion &version) { m_version = version; }
    void setDescription(const QString &description) { m_description = description; }
    void addClassFactory(DzClassFactory *factory);   ///< takes ownership

    QString getName() const { return m_name; }
    QString getAuthor() const { return m_author; }
    DzVersion getVersion() const { return m_version; }
    QString getDescription() const { return m_description; }
    int getNumClassFactories() const { return int(m_factories.size()); }
    DzClassFactory *getClassFactory(int i) const { return m_factories.value(i); }

private:
    DzPlugin(const DzPlugin &) = delete;
    DzPlugin &operator=(const DzPlugin &) = delete;
    QString m_name, m_author, m_description;
    DzVersion m_version;
    QList<DzClassFactory *> m_factories;
};

// Every plug-in library exports these two functions with C linkage:
//   extern "C" DZ_PLUGIN_EXPORT DzVersion getSDKVersion();
//   extern "C" DZ_PLUGIN_EXPORT DzPlugin *getPluginDefinition();
#define DZ_PLUGIN_EXPORT Q_DECL_EXPORT
using DzGetSDKVersionFn = DzVersion (*)();
using DzGetPluginDefinitionFn = DzPlugin *(*)();
