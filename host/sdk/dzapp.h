#pragma once
#include "dzglobal.h"
#include <QList>
#include <QObject>
#include <QString>

class DzClassFactory;
class DzGuid;
class DzContentMgr;
class DzImportMgr;
class DzImageMgr;
class DzMainWindow;
class DzScene;

/// The host application object. One per process, reachable as dzApp once constructed.
class DZCORE_API DzApp : public QObject {
    Q_OBJECT
public:
    explicit DzApp(QObject *parent = nullptr);
    ~DzApp() override;

    QString getPluginsPath() const { return m_pluginsPath; }             ///< "/" separated
    QString getDocumentsPath() const { return m_documentsPath; }         ///< "/" separated
    QString getDocumentationPath() const { return m_documentationPath; } ///< "/" separated

    DzContentMgr *getContentMgr() const { return m_contentMgr; }
    DzImportMgr *getImportMgr() const { return m_importMgr; }
    DzImageMgr *getImageMgr() const { return m_imageMgr; }
    DzMainWindow *getInterface() const { return m_interface; }   ///< null without a window
    DzScene *getScene() const { return m_scene; }

    /// The class factory of a class the host knows (its own shader bricks and the classes of
    /// the plug-ins it registered); null when none.
    DzClassFactory *findClassFactory(const QString &className) const;
    DzClassFactory *findClassFactory(const DzGuid &classID) const;

    // Host side.
    void setPluginsPath(const QString &path) { m_pluginsPath = path; }
    void setDocumentsPath(const QString &path) { m_documentsPath = path; }
    void setDocumentationPath(const QString &path) { m_documentationPath = path; }
    void setInterface(DzMainWindow *window) { m_interface = window; }
    /// Makes a factory findable; the caller keeps ownership and keeps it alive while this
    /// object lives. A factory with the class name or class ID of one already known is refused.
    bool addClassFactory(DzClassFactory *factory);
    void removeClassFactory(DzClassFactory *factory);   ///< a factory being destroyed leaves

private:
    QString m_pluginsPath, m_documentsPath, m_documentationPath;
    DzContentMgr *m_contentMgr = nullptr;
    DzImportMgr *m_importMgr = nullptr;
    DzImageMgr *m_imageMgr = nullptr;
    DzMainWindow *m_interface = nullptr;
    DzScene *m_scene = nullptr;
    QList<DzClassFactory *> m_factories;      // known, not owned
    QList<DzClassFactory *> m_ownFactories;   // the host's own, owned
};

/// The application object and the scene, while a DzApp exists (null otherwise).
DZCORE_API extern DzApp *dzApp;
DZCORE_API extern DzScene *dzScene;
