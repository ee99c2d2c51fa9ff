#pragma once
#include "dzmainwindow.h"
#include <QMessageBox>
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
    /// The file to open (caption, name filter); empty when the user cancels.
    static std::function<QString(QWidget *parent, const QString &caption, const QString &filter)> openFileNameHook;
    /// Asks a question with the given buttons; returns the one chosen (Cancel when closed).
    static std::function<QMessageBox::StandardButton(QWidget *parent, const QString &title, const QString &text,
                                                     QMessageBox::StandardButtons buttons)>
        questionHook;

    /// How many scene files File → Open Recent keeps.
    static constexpr int kMaxRecentFiles = 8;

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
    QAction *openSceneAction() const { return m_openScene; }
    /// File → Open Recent: the scenes last opened or saved, the newest first.
    QMenu *recentMenu() const { return m_recentMenu; }
    /// The scene files last opened or saved, the newest first (kept in the user's settings).
    static QStringList recentFiles();
    /// The file the scene was last opened from or saved to; empty when none.
    QString sceneFile() const { return m_sceneFile; }
    SceneOutliner *outliner() const { return m_outliner; }
    SceneView *sceneView() const { return m_sceneView; }
    Dz3DViewport *view3D() const;

public slots:
    void showPluginsDialog();
    /// Asks for a file and writes the scene there as glTF; false when cancelled or failed (the
    /// user is told why).
    bool saveScene();
    /// Asks whether to save a changed scene, then for a file, and opens it in place of the
    /// scene; false when cancelled or failed (the user is told why).
    bool openScene();
    /// Opens the scene file at path in place of the scene, without asking anything; false with
    /// the one-line reason in *error when it cannot be read (the scene is then untouched).
    /// *skipped lists what the file holds that the studio does not read.
    bool openSceneFile(const QString &path, QString *error, QString *skipped = nullptr);
    /// When the scene has unsaved changes, asks whether to save them first. False when the
    /// user cancels (or saving fails): whatever was about to replace the scene must not.
    bool maybeKeepChanges();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showProperties(DzNode *node);
    void rebuildCameraMenu();
    void checkActiveCamera();
    void checkShadeStyle();
    void cameraNodeAdded(DzNode *node);
    void cameraNodeRemoved(DzNode *node);
    QString askSaveFileName(const QString &caption, const QString &filter);
    void warn(const QString &title, const QString &text);
    void openRecent(const QString &path);
    void rememberFile(const QString &path);
    void rebuildRecentMenu();
    void updateTitle();

    QMenu *m_fileMenu;
    QMenu *m_createMenu;
    QMenu *m_cameraMenu;
    QMenu *m_viewMenu;
    QAction *m_saveScene;
    QAction *m_openScene;
    QMenu *m_recentMenu;
    QString m_sceneFile;
    QActionGroup *m_cameraGroup = nullptr;
    QActionGroup *m_styleGroup;
    SceneView *m_sceneView;
    SceneOutliner *m_outliner;
    QTreeWidget *m_properties;
    QStringList m_loaded, m_refused;
};
