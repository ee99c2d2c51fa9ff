#include "plugin/afirstpluginaction.h"

#include "dzapp.h"
#include "dzglbuffers.h"
#include "graph/ff.h"
#include "graph/i1.h"
#include "graph/nodesettings.h"
#include "library/glm.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "plugin/style.h"
#include "plugin/windowprogress.h"
#include "sky/skytexture.h"
#include "viewport/glterrain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <cmath>
#include <utility>

using namespace orovista;

namespace {
const QString actionText = QStringLiteral("New OROVISTA Scene Objects...");
const QString needTerrainTip = QStringLiteral("You need to create or load a terrain first...");

QString hostPluginsPath() { return dzApp ? dzApp->getPluginsPath() : QString(); }
}   // namespace

DzOrovistaPluginActionFactory::DzOrovistaPluginActionFactory()
    : DzTClassFactory<DzOrovistaPluginAction>(QStringLiteral("DzOrovistaPluginAction"),
                                              DzGuid::fromString(QStringLiteral("CD69D1EC-2478-47E0-B702-00D53565D476")))
{
}

DzOrovistaPluginAction::DzOrovistaPluginAction() : DzCreateItemAction(actionText, QString())
{
    resourcePathNative = hostPluginsPath() + QStringLiteral("/orovistaData");
    resourcePath = resourcePathNative;
    setIcon(resourcePathNative + QStringLiteral("/icon.png"));
}

DzOrovistaPluginAction::~DzOrovistaPluginAction() = default;

bool DzOrovistaPluginAction::eventFilter(QObject *, QEvent *) { return false; }

QString DzOrovistaPluginAction::pluginsPath() { return hostPluginsPath(); }

void DzOrovistaPluginAction::showRegenerateNoiseButton()
{
    if (FF &ff = statics().finalNode; ff.FFReGenerateNoise)
        ff.FFReGenerateNoise->show();
}

void DzOrovistaPluginAction::executeAction()
{
    ProgramState &s = state();
    RunLog &log = runLog();

    s.scratchBuffer.reset(new char[1024]());
    s.suppressNoise = true;
    s.platformName = QStringLiteral("Linux");

    s.contentManager = dzApp ? dzApp->getContentMgr() : nullptr;
    s.pluginsPathNative = hostPluginsPath();
    QString documents = dzApp ? dzApp->getDocumentsPath() : QString();
    documents.replace(QStringLiteral("Studio4"), QStringLiteral("Studio"));
    s.workFolder = documents + QStringLiteral("/orovistaData");

    mainWindow = new QWidget(nullptr);
    mainWindow->setObjectName(QStringLiteral("ecoWin"));

    // Without the documents folder there is nowhere to work. Say so and stop here; the host and
    // the user's scene stay as they are.
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) {
        dialogs::error(nullptr, QStringLiteral("The Studio documents folder\n") + documents +
                                    QStringLiteral("/content\nwas not found. Please create this folder and "
                                                   "start OROVISTA again."));
        delete mainWindow;
        mainWindow = nullptr;
        s.suppressNoise = false;
        return;
    }

    QDir().mkpath(s.workFolder);
    QDir().mkpath(s.workFolder + QStringLiteral("/maps"));
    QDir().mkpath(s.workFolder + QStringLiteral("/presets"));

    s.terrainCreated = false;
    s.normalMapDirty = true;

    log.open(s.workFolder + QStringLiteral("/logFile.txt"));
    log << "OROVISTA started\n";

    removeTempFiles(true);

    s.vboSupported = true;
    log << "GL_ARB_vertex_buffer_object: SUPPORTED\n";

    log << "building primary controls...\n";
    buildMainWindow();

    log << "building secondary controls...\n";
    buildNodePanels();

    log << "fill main controller tabs...\n";
    buildPopulateTab();

    log << "create openGL context\n";
    buildViewport();

    buildTerraformButton();
    log << "set initial height and terrain map resolution\n";
    FF &ff = statics().finalNode;
    s.previewSize = (ff.FFPreviewImageSlider ? ff.FFPreviewImageSlider->value() : 1) * 256;

    log << "set color gradients\n";
    ff.selectGreyGradient();
    ff.FFGradientTypeListViewLeft->setEnabled(false);
    ff.FFGradientTypeListViewRight->setEnabled(false);
    ff.leftGradientName = ff.rightGradientName = QStringLiteral("australia 2.bmp");
    ff.FFReGenerateNoise->hide();
    statics().input1.hideGeneratorSliders();
    statics().input2.hideGeneratorSliders();
    selectGLMode(TerrainMode);

    s.settledNodeSettings = readNodeSettings();
    // After a reset the panels show the values the nodes kept, and the first run computes them.
    if (s.keptNodeSettings) {
        applyNodeSettings(*std::exchange(s.keptNodeSettings, std::nullopt));
        ff.updateErosionControls();
    }

    log << "build presets library...\n";
    buildPresetsLibrary();

    connect(s.ui.mainController, &QTabWidget::currentChanged, this, &DzOrovistaPluginAction::updateTab);
    if (s.ui.glTerrain)
        s.ui.glTerrain->setLightIntensity(1.0f);
    s.ui.autoButton->show();
    s.ui.resetButton->show();

    log << "initialize noise machine...\n";
    s.suppressNoise = false;
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);

    log << "initialize library...\n";
    statics().library.fillFromContentManager();
    if (s.ui.populateTab)
        if (auto *side = s.ui.populateTab->findChild<QFrame *>(QStringLiteral("glSideToolsFrame"))) {
            // Under the light and texture controls, down to the tool bar under the viewport.
            const auto *bar = s.ui.populateTab->findChild<QFrame *>(QStringLiteral("glToolBarFrame"));
            const int top = 270;
            statics().library.setUp(side, resourcePath, top, (bar ? bar->y() - side->y() : side->height()) - top - 8);
            s.ui.libraryFrame = side->findChild<QFrame *>(QStringLiteral("LibraryFrame"));
        }
    s.ui.enableSubDivision->setEnabled(true);
    setNormalMapControls();

    if (s.vboSupported)
        s.ui.vboCheckBox->setChecked(true);

    for (int tab : {1, 2}) {
        s.ui.mainController->setTabEnabled(tab, false);
        s.ui.mainController->setTabToolTip(tab, needTerrainTip);
    }

    s.ui.statusLine->setText(QStringLiteral("Welcome to OROVISTA! Please load or generate a terrain..."));
    mainFrame->show();
    s.windowReady = true;
    startAutosave();
}

void DzOrovistaPluginAction::quitOrovista()
{
    if (!dialogs::confirm(state().ui.mainController, QStringLiteral("quit OROVISTA?")))
        return;
    runLog() << "closing OROVISTA\n";
    teardown(true);
}

void DzOrovistaPluginAction::resetOrovista()
{
    if (!dialogs::confirm(state().ui.mainController, QStringLiteral("restart OROVISTA?")))
        return;
    const NoiseSettings kept = readNodeSettings();
    teardown(false);
    state().keptNodeSettings = kept;
    executeAction();
}

void DzOrovistaPluginAction::teardown(bool closeLog)
{
    ProgramState &s = state();
    stopAutosave();
    QPointer<GLTerrain> viewport = s.ui.glTerrain;

    if (s.terrainArraysReady) {
        releaseTerrainArrays();
        s.scratchBuffer.reset();
    }
    if (viewport)
        viewport->deleteAllObjectsSilent();
    // The prop lists live in the viewport's context: a new window loads its props afresh.
    statics().library.forgetLoadedProps();
    s.resetWorkingFlags();

    // This runs inside a slot of one of the window's own buttons: close now, delete once the
    // signal has been delivered.
    if (viewport)
        viewport->close();
    if (mainWindow) {
        mainWindow->close();
        mainWindow->deleteLater();
    }
    mainWindow = nullptr;
    mainFrame = nullptr;
    scrollArea = nullptr;
    if (closeLog)
        runLog().close();

    if (viewport && (s.vertexBuffers[0] || s.vertexBuffers[1])) {
        viewport->makeCurrent();
        __glewDeleteBuffersARB(2, s.vertexBuffers);
        viewport->doneCurrent();
    }
    s.vertexBuffers[0] = s.vertexBuffers[1] = 0;
    s.ui = WindowWidgets();
}

void DzOrovistaPluginAction::nodeControlChanged()
{
    ProgramState &s = state();
    if (s.windowReady && !s.suppressNoise && s.ui.terraformButton)
        s.ui.terraformButton->setEnabled(true);
}

void DzOrovistaPluginAction::noiseParameterChanged()
{
    ProgramState &s = state();
    nodeControlChanged();
    if (s.autoNoiseUpdate)
        generateNoiseMaps(s.terrainCreated, s.previewSize, false);
    else
        showRegenerateNoiseButton();
}

void DzOrovistaPluginAction::setAutoNoiseMode()
{
    ProgramState &s = state();
    s.autoNoiseUpdate = !s.autoNoiseUpdate;
    if (s.ui.autoButton)
        s.ui.autoButton->setStyleSheet(style::autoButton(s.autoNoiseUpdate));
}

void DzOrovistaPluginAction::m_focusTerrainGL()
{
    if (GLTerrain *gl = state().ui.glTerrain)
        gl->setFocus(Qt::OtherFocusReason);
}

void DzOrovistaPluginAction::selectedTab(const QString &) {}

void DzOrovistaPluginAction::updateTriangleLabel()
{
    ProgramState &s = state();
    // Counted afresh: the terrain's own triangles (two per cell of the 512 mesh, or the imported
    // model's) and every item's, whatever changed them.
    long long count = !s.terrainPresent ? 0
                      : s.customTerrain ? (s.customModel ? (long long)s.customModel->numtriangles : 0)
                                        : 2LL * 511 * 511;
    for (const PaintedItem &item : s.items)
        count += item.triangles;
    s.sceneTriangles = count;
    if (s.ui.triangleLabel)
        s.ui.triangleLabel->setText(QStringLiteral("triangles: ") + QString::number(s.sceneTriangles));
}

namespace {

QSlider *panSlider(const char *name)
{
    QWidget *w = state().ui.mainWindow;
    return w ? w->findChild<QSlider *>(QString::fromLatin1(name)) : nullptr;
}

/// A pan slider moves the camera by its change in percent of the terrain size; released, it
/// springs back to the middle without moving it.
void panMoved(int axis, const char *name)
{
    if (QSlider *s = panSlider(name))
        state().panReference[axis] = s->value();
}

void panChanged(int axis, const char *name)
{
    ProgramState &s = state();
    QSlider *slider = panSlider(name);
    GLTerrain *gl = s.ui.glTerrain;
    if (!slider || !gl)
        return;
    const int v = slider->value();
    if (v == 0)
        return;
    (axis == 0 ? gl->camera.x : gl->camera.y) += (v - s.panReference[axis]) * s.terrainSize * 0.01;
    s.panReference[axis] = v;
}

void panReset(const char *name)
{
    if (QSlider *s = panSlider(name))
        s->setValue(0);
}

}   // namespace

void DzOrovistaPluginAction::panHorizontal(int) { panMoved(0, "glHSlider"); }
void DzOrovistaPluginAction::panHorizontalValueChanged(int) { panChanged(0, "glHSlider"); }
void DzOrovistaPluginAction::panHorizontalReset() { panReset("glHSlider"); }
void DzOrovistaPluginAction::panVertical(int) { panMoved(1, "glVSlider"); }
void DzOrovistaPluginAction::panVerticalValueChanged(int) { panChanged(1, "glVSlider"); }
void DzOrovistaPluginAction::panVerticalReset() { panReset("glVSlider"); }

void DzOrovistaPluginAction::resetView()
{
    ProgramState &s = state();
    GLTerrain *gl = s.ui.glTerrain;
    if (!gl)
        return;
    const int selected = gl->selectedItem();
    if (selected >= 1 && selected <= int(s.items.size())) {
        // Frame the selected item: above and in front of it by its own size.
        const PaintedItem &item = s.items[std::size_t(selected - 1)];
        gl->camera = {item.x, item.y + 1.5 * std::fabs(item.maxY - item.minY),
                      item.z + 6.0 * std::fabs(item.maxZ - item.minZ), 0.0f, 20.0f, 0.0f};
    } else {
        gl->camera = {0.0, 0.0, 2.0 * s.terrainSize, 0.0f, 20.0f, 0.0f};
    }
    gl->setFocus(Qt::OtherFocusReason);
    gl->updateGL();
}
void DzOrovistaPluginAction::regenerateSkyDomeTexture()
{
    ProgramState &s = state();
    QComboBox *size = s.ui.skyDomeMapSize;
    if (!size || size->currentIndex() <= 0 || !s.ui.glTerrain)
        return;
    const QString name = s.ui.terrainName ? s.ui.terrainName->text() : QStringLiteral("my Terrain 1");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString failure = renderSkyTexture(s.workFolder + QStringLiteral("/maps/") + sky::skyDomeTextureName(name));
    QApplication::restoreOverrideCursor();
    if (!failure.isEmpty()) {
        if (s.ui.statusLine)
            s.ui.statusLine->setText(failure);
        dialogs::message(s.ui.mainWindow, QStringLiteral("Warning"), failure);
    }
}

QString DzOrovistaPluginAction::renderSkyTexture(const QString &path, orovista::files::Batch *batch)
{
    ProgramState &s = state();
    GLTerrain *gl = s.ui.glTerrain;
    QComboBox *size = s.ui.skyDomeMapSize;
    if (!gl || !size)
        return QStringLiteral("the sky texture needs the viewport's sky");
    WindowProgress progress;
    sky::SkyTextureOptions options;
    options.progress = &progress;
    options.random = gl->starTextureRandom();
    const QString failure = sky::renderSkyDomeMap(gl->sky(), gl->skyDome(), path, size->currentText().toInt(), batch, options);
    progress.Hide();
    return failure;
}
