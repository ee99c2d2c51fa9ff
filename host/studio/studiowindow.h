#pragma once
#include "dzmainwindow.h"
#include <QStringList>
#include <functional>

class DzCamera;
class DzCreateItemAction;
class DzNode;
class QAction;
class QActionGroup;
class QMenu;
class QTreeWidget;
class SceneOutliner;
class SceneView;

/// The studio's main window: File, Create, Camera, View and Help menus, the scene outliner on
/// the left, the 3D view in the middle and the selected node's properties on the right.
class StudioWindow : public DzMainWindow {
    Q_OBJECT
public:
    explicit StudioWindow(QWidget *parent = nullptr);

    /// What the window asks the user through dialogs. Tests (and scripted runs) answer here;
    /// when unset, a file dialog and a message box ask.
    /// The file to save to (caption, name filter); empty when the user cancels.
    static std::function<QString(QWidget *parent, const QString &caption, const QString &filter)> saveFileNameHook;
    /// Tells the user that something failed.
    static std::function<void(QWidget *parent, const QString &title, const QString &text)> warningHook;

    /// Lists the actions in the Create menu (text and icon as the actions give them).
    void setCreateActions(const QList<DzCreateItemAction *> &actions);
    /// What the Help → Plug-ins dialog reports.
    void setPluginReport(const QStringList &loaded, const QStringList &refused);

    QMenu *fileMenu() const { return m_fileMenu; }
    QMenu *createMenu() const { return m_createMenu; }
    /// "Default View" and one entry per camera of the scene; the one the view looks through
    /// is checked.
    QMenu *cameraMenu() const { return m_cameraMenu; }
    /// The shade styles of the view, then "Frame Scene".
    QMenu *viewMenu() const { return m_viewMenu; }
    QAction *saveSceneAction() const { return m_saveScene; }
    SceneOutliner *outliner() const { return m_outliner; }
    SceneView *sceneView() const { return m_sceneView; }
    Dz3DViewport *view3D() const;

public slots:
    void showPluginsDialog();
    /// Asks for a file and writes the scene there as glTF; false when cancelled or failed (the
    /// user is told why).
    bool saveScene();

private:
    void showProperties(DzNode *node);
    void rebuildCameraMenu();
    void checkActiveCamera();
    void checkShadeStyle();
    void cameraNodeAdded(DzNode *node);
    void cameraNodeRemoved(DzNode *node);
    QString askSaveFileName(const QString &caption, const QString &filter);
    void warn(const QString &title, const QString &text);

    QMenu *m_fileMenu;
    QMenu *m_createMenu;
    QMenu *m_cameraMenu;
    QMenu *m_viewMenu;
    QAction *m_saveScene;
    QActionGroup *m_cameraGroup = nullptr;
    QActionGroup *m_styleGroup;
    SceneView *m_sceneView;
    SceneOutliner *m_outliner;
    QTreeWidget *m_properties;
    QStringList m_loaded, m_refused;
};
