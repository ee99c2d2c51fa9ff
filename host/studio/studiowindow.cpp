#include "studiowindow.h"
#include "dzaction.h"
#include "dzapp.h"
#include "dzcamera.h"
#include "dzgltfexporter.h"
#include "dzgltfimporter.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include "dzversion.h"
#include "sceneoutliner.h"
#include "sceneview.h"
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QSettings>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

StudioWindow::StudioWindow(QWidget *parent) : DzMainWindow(parent)
{
    setObjectName(QStringLiteral("studioMainWindow"));
    setWindowTitle(QStringLiteral("Studio"));
    // Most of the screen (the 3D view and the outliner want room), never less than 1100 × 720.
    QSize size(1100, 720);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        size = size.expandedTo(QSize(available.width() * 85 / 100, available.height() * 85 / 100))
                   .boundedTo(available.size());
    }
    resize(size);

    Dz3DViewport *view = view3D();
    m_sceneView = new SceneView(view, dzScene);
    view->setRenderWidget(m_sceneView);

    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("fileMenu"));
    m_openScene = m_fileMenu->addAction(QStringLiteral("&Open Scene..."), QKeySequence::Open, this, &StudioWindow::openScene);
    m_openScene->setObjectName(QStringLiteral("openSceneAction"));
    m_openScene->setEnabled(dzScene != nullptr);
    m_recentMenu = m_fileMenu->addMenu(QStringLiteral("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("recentMenu"));
    rebuildRecentMenu();
    m_saveScene = m_fileMenu->addAction(QStringLiteral("&Save Scene..."), QKeySequence::Save, this, &StudioWindow::saveScene);
    m_saveScene->setObjectName(QStringLiteral("saveSceneAction"));
    m_saveScene->setEnabled(dzScene != nullptr);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, qApp, &QApplication::closeAllWindows);
    m_createMenu = menuBar()->addMenu(QStringLiteral("&Create"));
    m_createMenu->setObjectName(QStringLiteral("createMenu"));

    m_cameraMenu = menuBar()->addMenu(QStringLiteral("C&amera"));
    m_cameraMenu->setObjectName(QStringLiteral("cameraMenu"));
    rebuildCameraMenu();
    connect(view, &Dz3DViewport::activeCameraChanged, this, &StudioWindow::checkActiveCamera);
    if (dzScene) {
        connect(dzScene, &DzScene::nodeAdded, this, &StudioWindow::cameraNodeAdded);
        connect(dzScene, &DzScene::nodeRemoved, this, &StudioWindow::cameraNodeRemoved);
        for (int i = 0; i < dzScene->getNumNodes(); ++i)
            cameraNodeAdded(dzScene->getNode(i));
    }

    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu->setObjectName(QStringLiteral("viewMenu"));
    m_styleGroup = new QActionGroup(this);
    static const struct {
        Dz3DViewport::ShadeStyle style;
        const char *text;
    } styles[] = {{Dz3DViewport::Texture, "&Texture Shaded"},    {Dz3DViewport::WireTexture, "Wire Te&xture Shaded"},
                  {Dz3DViewport::SmoothShaded, "&Smooth Shaded"}, {Dz3DViewport::WireShaded, "Wire S&haded"},
                  {Dz3DViewport::LitWireFrame, "&Lit Wire Frame"}, {Dz3DViewport::HiddenLine, "Hidde&n Line"},
                  {Dz3DViewport::WireFrame, "&Wire Frame"},        {Dz3DViewport::SolidBox, "S&olid Bounding Box"},
                  {Dz3DViewport::WireBox, "Wire &Bounding Box"}};
    for (const auto &st : styles) {
        QAction *a = m_viewMenu->addAction(QString::fromLatin1(st.text));
        a->setCheckable(true);
        a->setData(int(st.style));
        m_styleGroup->addAction(a);
        const int style = st.style;
        connect(a, &QAction::triggered, this, [this, style] { view3D()->setShadeStyle(style); });
    }
    checkShadeStyle();
    connect(view, &Dz3DViewport::shadeStyleChanged, this, &StudioWindow::checkShadeStyle);
    m_viewMenu->addSeparator();
    QAction *frame = m_viewMenu->addAction(QStringLiteral("&Frame Scene"), QKeySequence(Qt::Key_F), m_sceneView,
                                           &SceneView::frameScene);
    // A plain letter: only while the view has the keyboard (not while typing in the outliner).
    frame->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_sceneView->addAction(frame);
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Plug-ins..."), this, &StudioWindow::showPluginsDialog);
    help->addAction(QStringLiteral("&About Studio"), this, [this] {
        QMessageBox::about(this, QStringLiteral("About Studio"),
                           QStringLiteral("Studio: a small 3D scene host for plug-ins (SDK %1).").arg(DZ_SDK_VERSION.toString()));
    });

    m_outliner = new SceneOutliner(dzScene, this);
    auto *outlinerDock = new QDockWidget(QStringLiteral("Scene"), this);
    outlinerDock->setObjectName(QStringLiteral("sceneDock"));
    outlinerDock->setWidget(m_outliner);
    addDockWidget(Qt::LeftDockWidgetArea, outlinerDock);

    m_properties = new QTreeWidget(this);
    m_properties->setObjectName(QStringLiteral("nodeProperties"));
    m_properties->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    m_properties->setRootIsDecorated(false);
    auto *propertiesDock = new QDockWidget(QStringLiteral("Properties"), this);
    propertiesDock->setObjectName(QStringLiteral("propertiesDock"));
    propertiesDock->setWidget(m_properties);
    addDockWidget(Qt::RightDockWidgetArea, propertiesDock);
    connect(m_outliner, &SceneOutliner::currentNodeChanged, this, &StudioWindow::showProperties);

    if (dzScene)
        connect(dzScene, &DzScene::modifiedChanged, this, &QWidget::setWindowModified);
    updateTitle();
}

std::function<QString(QWidget *, const QString &, const QString &)> StudioWindow::saveFileNameHook;
std::function<void(QWidget *, const QString &, const QString &)> StudioWindow::warningHook;
std::function<QString(QWidget *, const QString &, const QString &)> StudioWindow::openFileNameHook;
std::function<QMessageBox::StandardButton(QWidget *, const QString &, const QString &, QMessageBox::StandardButtons)>
    StudioWindow::questionHook;

Dz3DViewport *StudioWindow::view3D() const
{
    return getViewportMgr()->getActiveViewport()->get3DViewport();
}

// --- Camera and View menus ----------------------------------------------------------------

void StudioWindow::cameraNodeAdded(DzNode *node)
{
    auto *camera = qobject_cast<DzCamera *>(node);
    if (!camera)
        return;
    connect(camera, &DzElement::labelChanged, this, &StudioWindow::rebuildCameraMenu, Qt::UniqueConnection);
    connect(camera, &DzBase::nameChanged, this, &StudioWindow::rebuildCameraMenu, Qt::UniqueConnection);
    rebuildCameraMenu();
}

void StudioWindow::cameraNodeRemoved(DzNode *node)
{
    auto *camera = qobject_cast<DzCamera *>(node);
    if (!camera)
        return;
    disconnect(camera, nullptr, this, nullptr);
    // A camera that leaves the scene is on its way out; the view goes back to its own.
    if (view3D()->getCamera() == camera)
        view3D()->setCamera(nullptr);
    rebuildCameraMenu();
}

void StudioWindow::rebuildCameraMenu()
{
    m_cameraMenu->clear();
    delete m_cameraGroup;
    m_cameraGroup = new QActionGroup(this);
    auto add = [this](const QString &text, DzCamera *camera) {
        QAction *a = m_cameraMenu->addAction(text);
        a->setCheckable(true);
        m_cameraGroup->addAction(a);
        const QPointer<DzCamera> target(camera);
        connect(a, &QAction::triggered, this, [this, target, camera] {
            if (camera && !target)
                return;   // gone meanwhile
            view3D()->setCamera(target);
        });
        a->setData(QVariant::fromValue(static_cast<QObject *>(camera)));
    };
    add(QStringLiteral("&Default View"), nullptr);
    m_cameraMenu->addSeparator();
    if (dzScene)
        for (int i = 0; i < dzScene->getNumNodes(); ++i)
            if (auto *camera = qobject_cast<DzCamera *>(dzScene->getNode(i))) {
                QString text = camera->getLabel().isEmpty() ? camera->getName() : camera->getLabel();
                if (text.isEmpty())
                    text = QStringLiteral("(unnamed camera)");
                add(text.replace(QLatin1Char('&'), QStringLiteral("&&")), camera);
            }
    checkActiveCamera();
}

void StudioWindow::checkActiveCamera()
{
    QObject *active = view3D()->getCamera();
    for (QAction *a : m_cameraGroup->actions())
        a->setChecked(a->data().value<QObject *>() == active);
}

void StudioWindow::checkShadeStyle()
{
    const int style = view3D()->getShadeStyle();
    for (QAction *a : m_styleGroup->actions())
        a->setChecked(a->data().toInt() == style);
}

// --- Saving -------------------------------------------------------------------------------

QString StudioWindow::askSaveFileName(const QString &caption, const QString &filter)
{
    if (saveFileNameHook)
        return saveFileNameHook(this, caption, filter);
    return QFileDialog::getSaveFileName(this, caption, dzApp ? dzApp->getDocumentsPath() : QString(), filter);
}

void StudioWindow::warn(const QString &title, const QString &text)
{
    if (warningHook)
        warningHook(this, title, text);
    else
        QMessageBox::warning(this, title, text);
}

bool StudioWindow::saveScene()
{
    const QString title = QStringLiteral("Save Scene");
    if (!dzScene) {
        warn(title, QStringLiteral("There is no scene to save."));
        return false;
    }
    QString path = askSaveFileName(title, QStringLiteral("glTF scene (*.gltf *.glb)"));
    if (path.isEmpty())
        return false;
    // The writer picks the container by the name; a name without either ending gets ".gltf".
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("gltf") && suffix != QLatin1String("glb"))
        path += QStringLiteral(".gltf");
    QString error;
    if (!DzGltfExporter::writeScene(dzScene, path, &error)) {
        warn(title, QStringLiteral("The scene could not be saved to %1:\n%2")
                        .arg(QDir::toNativeSeparators(path), error.isEmpty() ? QStringLiteral("no reason given") : error));
        return false;
    }
    dzScene->setModified(false);
    m_sceneFile = QFileInfo(path).absoluteFilePath();
    rememberFile(m_sceneFile);
    updateTitle();
    statusBar()->showMessage(QStringLiteral("Saved the scene to %1").arg(QDir::toNativeSeparators(path)), 8000);
    return true;
}

// --- Opening ------------------------------------------------------------------------------

bool StudioWindow::maybeKeepChanges()
{
    if (!dzScene || !dzScene->isModified())
        return true;
    const QString title = QStringLiteral("Unsaved Changes");
    const QString text = QStringLiteral("The scene has changes that are not saved. Save them first?");
    const QMessageBox::StandardButtons buttons = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    const QMessageBox::StandardButton answer =
        questionHook ? questionHook(this, title, text, buttons)
                     : QMessageBox::question(this, title, text, buttons, QMessageBox::Save);
    if (answer == QMessageBox::Discard)
        return true;
    if (answer == QMessageBox::Save)
        return saveScene();
    return false;   // Cancel, or the box closed
}

void StudioWindow::closeEvent(QCloseEvent *event)
{
    if (maybeKeepChanges())
        event->accept();
    else
        event->ignore();
}

bool StudioWindow::openSceneFile(const QString &path, QString *error, QString *skipped)
{
    if (!dzScene) {
        if (error)
            *error = QStringLiteral("there is no scene to open into");
        return false;
    }
    QString why, left;
    if (!DzGltfImporter::readScene(path, dzScene, &why, &left)) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    dzScene->setModified(false);
    m_sceneFile = QFileInfo(path).absoluteFilePath();
    rememberFile(m_sceneFile);
    updateTitle();
    if (skipped)
        *skipped = left;
    statusBar()->showMessage(QStringLiteral("Opened %1").arg(QDir::toNativeSeparators(path)), 8000);
    return true;
}

bool StudioWindow::openScene()
{
    const QString title = QStringLiteral("Open Scene");
    if (!dzScene || !maybeKeepChanges())
        return false;
    const QString filter = QStringLiteral("glTF scene (*.gltf *.glb)");
    const QString path = openFileNameHook
                             ? openFileNameHook(this, title, filter)
                             : QFileDialog::getOpenFileName(this, title, dzApp ? dzApp->getDocumentsPath() : QString(), filter);
    if (path.isEmpty())
        return false;
    QString error, skipped;
    if (!openSceneFile(path, &error, &skipped)) {
        warn(title, error);
        return false;
    }
    if (!skipped.isEmpty())
        warn(title, QStringLiteral("Opened %1 without what the studio does not read: %2.")
                        .arg(QFileInfo(path).fileName(), skipped));
    return true;
}

void StudioWindow::openRecent(const QString &path)
{
    const QString title = QStringLiteral("Open Recent");
    if (!maybeKeepChanges())
        return;
    QString error, skipped;
    if (!openSceneFile(path, &error, &skipped)) {
        // A file that is gone leaves the list; one that cannot be read stays to be tried again.
        if (!QFileInfo::exists(path)) {
            QSettings settings(QStringLiteral("OROVISTA"), QStringLiteral("Studio"));
            QStringList files = recentFiles();
            files.removeAll(path);
            settings.setValue(QStringLiteral("recentFiles"), files);
            rebuildRecentMenu();
        }
        warn(title, error);
        return;
    }
    if (!skipped.isEmpty())
        warn(title, QStringLiteral("Opened %1 without what the studio does not read: %2.")
                        .arg(QFileInfo(path).fileName(), skipped));
}

QStringList StudioWindow::recentFiles()
{
    const QSettings settings(QStringLiteral("OROVISTA"), QStringLiteral("Studio"));
    QStringList files = settings.value(QStringLiteral("recentFiles")).toStringList();
    files.removeAll(QString());
    files.removeDuplicates();
    return files.mid(0, kMaxRecentFiles);
}

void StudioWindow::rememberFile(const QString &path)
{
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    QSettings settings(QStringLiteral("OROVISTA"), QStringLiteral("Studio"));
    settings.setValue(QStringLiteral("recentFiles"), files.mid(0, kMaxRecentFiles));
    rebuildRecentMenu();
}

void StudioWindow::rebuildRecentMenu()
{
    m_recentMenu->clear();
    const QStringList files = recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QString name = QFileInfo(path).fileName();
        QAction *a = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name.replace(QLatin1Char('&'), QStringLiteral("&&"))));
        a->setData(path);
        a->setToolTip(QDir::toNativeSeparators(path));
        a->setStatusTip(QDir::toNativeSeparators(path));
        connect(a, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    if (files.isEmpty())
        m_recentMenu->addAction(QStringLiteral("(no recent scenes)"))->setEnabled(false);
}

void StudioWindow::updateTitle()
{
    // "[*]" shows the unsaved-changes mark.
    setWindowTitle(m_sceneFile.isEmpty() ? QStringLiteral("Studio[*]")
                                         : QStringLiteral("%1[*] - Studio").arg(QFileInfo(m_sceneFile).fileName()));
    setWindowModified(dzScene && dzScene->isModified());
}

// --- Create menu, plug-ins ----------------------------------------------------------------

void StudioWindow::setCreateActions(const QList<DzCreateItemAction *> &actions)
{
    m_createMenu->clear();
    for (DzCreateItemAction *a : actions)
        m_createMenu->addAction(a);
    if (actions.isEmpty())
        m_createMenu->addAction(QStringLiteral("(no create actions)"))->setEnabled(false);
}

void StudioWindow::setPluginReport(const QStringList &loaded, const QStringList &refused)
{
    m_loaded = loaded;
    m_refused = refused;
}

void StudioWindow::showPluginsDialog()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Plug-ins"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QPlainTextEdit(&dialog);
    text->setReadOnly(true);
    QString report = QStringLiteral("Plug-ins folder: %1\n\nLoaded:\n").arg(dzApp ? dzApp->getPluginsPath() : QString());
    report += m_loaded.isEmpty() ? QStringLiteral("  (none)\n") : QStringLiteral("  ") + m_loaded.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    report += QStringLiteral("\nRefused:\n");
    report += m_refused.isEmpty() ? QStringLiteral("  (none)\n") : QStringLiteral("  ") + m_refused.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    text->setPlainText(report);
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(640, 360);
    dialog.exec();
}

void StudioWindow::showProperties(DzNode *node)
{
    m_properties->clear();
    if (!node)
        return;
    auto add = [this](const QString &key, const QString &value) {
        m_properties->addTopLevelItem(new QTreeWidgetItem(QStringList{key, value}));
    };
    add(QStringLiteral("Name"), node->getName());
    add(QStringLiteral("Label"), node->getLabel());
    add(QStringLiteral("Class"), QString::fromLatin1(node->metaObject()->className()));
    if (const DzObject *object = node->getObject())
        if (const DzShape *shape = object->getCurrentShape())
            if (const DzFacetMesh *mesh = qobject_cast<const DzFacetMesh *>(shape->getGeometry()))
                add(QStringLiteral("Geometry"), QStringLiteral("%1 vertices, %2 facets, %3 material(s)")
                                                    .arg(mesh->getNumVertices()).arg(mesh->getNumFacets()).arg(shape->getNumMaterials()));
    for (int i = 0; i < node->getNumProperties(); ++i) {
        const DzProperty *p = node->getProperty(i);
        add(p->getLabel(), p->getValueString());
    }
}
