#pragma once
#include "dzversion.h"
#include <QList>
#include <QObject>
#include <QString>

class DzCreateItemAction;
class DzPlugin;
class QJSEngine;
class QLibrary;

/// Loads plug-in libraries, registers their classes and makes their create actions.
///
/// A library is refused (with a message, never fatally) when it cannot be loaded, lacks the
/// entry points getSDKVersion/getPluginDefinition, reports another SDK major version than the
/// host's, or gives no plug-in definition. Loaded libraries stay loaded for the life of the
/// process: their objects (static ones included) may be referenced anywhere.
class PluginLoader : public QObject {
    Q_OBJECT
public:
    struct Loaded {
        QString file;
        DzPlugin *plugin = nullptr;   ///< owned by the library
        DzVersion sdkVersion;
    };
    struct Refusal {
        QString file;
        QString message;   ///< one line naming the file and the reason
    };

    /// engine: the script engine the plug-ins' classes are registered with (may be null).
    explicit PluginLoader(QJSEngine *engine, QObject *parent = nullptr);
    ~PluginLoader() override;   ///< deletes the actions it made

    /// Loads every shared library in dir (in name order). Returns how many were accepted.
    int loadFolder(const QString &dir);
    /// Loads one library; false when it is refused (see refusals()).
    bool loadLibrary(const QString &path);

    QList<Loaded> plugins() const { return m_plugins; }
    QList<Refusal> refusals() const { return m_refusals; }
    /// Messages about the folder itself (a missing plug-ins folder, for example).
    QStringList notices() const { return m_notices; }
    /// The create actions made from the accepted plug-ins' classes, initialised and wired:
    /// triggering one runs its executeAction().
    QList<DzCreateItemAction *> createActions() const { return m_actions; }
    DzCreateItemAction *findAction(const QString &text) const;   ///< by text, '&' ignored

signals:
    void refused(const QString &file, const QString &message);

private:
    void refuse(QLibrary *library, const QString &file, const QString &message);
    void adopt(DzPlugin *plugin);

    QJSEngine *m_engine;
    QList<Loaded> m_plugins;
    QList<Refusal> m_refusals;
    QStringList m_notices;
    QList<DzCreateItemAction *> m_actions;
    QStringList m_loadedFiles;   // canonical paths, so that a library loads once
};
