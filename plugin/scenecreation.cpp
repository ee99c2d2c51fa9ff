// The CREATE tab's last step: the terrain, its textures and material, the sky dome, the painted
// props and the cameras as nodes of the host's scene. The figures and the node building live in
// scene/ (shared with the command line); this file adds the window's part: the questions, the
// hold-on labels, the texture passes at the chosen resolution and the props.
#include "plugin/afirstpluginaction.h"

#include "dzapp.h"
#include "dzcamera.h"
#include "dzcontentmgr.h"
#include "dzimagemgr.h"
#include "dzmainwindow.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include "noise/outputfiles.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "presets/presetfile.h"
#include "scene/hostscene.h"
#include "scene/instancelist.h"
#include "presets/workfile.h"
#include "scene/sceneassembly.h"
#include "scene/surfaceoutputs.h"
#include "terrain/sedimentmarks.h"
#include "scene/terrainobj.h"
#include "sky/skytexture.h"
#include "graph/noisemachine.h"
#include "graph/nodesettings.h"
#include "terrain/heightmapimport.h"
#include "terrain/normalmap.h"
#include "viewport/glterrain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPointer>
#include <QSlider>
#include <QSpinBox>


using namespace orovista;

namespace {

/// The terrain node of the scene being made, and the prop node placed last (the source of the
/// next copy).
QPointer<DzNode> terrainNode;
QPointer<DzNode> lastPropNode;

QString mapsPath() { return state().workFolder + QStringLiteral("/maps"); }

QString terrainName()
{
    const ProgramState &s = state();
    return s.ui.terrainName ? s.ui.terrainName->text() : QStringLiteral("my Terrain 1");
}

/// The terrain's material as the CREATE tab asks for it: the colour texture, and the normal map
/// when a normal-map size is chosen.
scene::TerrainLook terrainLook()
{
    const ProgramState &s = state();
    const scene::SceneFiles files = scene::sceneFiles(mapsPath(), terrainName());
    scene::TerrainLook look;
    look.colourTexture = files.colourTexture;
    if (s.ui.normalMapSize && s.ui.normalMapSize->currentIndex() > 0)
        look.normalMap = files.normalMap;
    return look;
}

scene::LogSink logSink()
{
    return [](const QString &line) { runLog() << line; };
}

int morphPercentage()
{
    const QSlider *slider = state().ui.morphPercentage;
    return slider ? slider->value() : 0;
}

/// Stages a copy of the file from as the new content of to; empty, or why it failed.
QString stageCopy(const QString &from, const QString &to, files::Batch &batch)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return files::cannotWrite(to, source.errorString());
    const qint64 size = source.size();
    if (const uchar *bytes = size > 0 ? source.map(0, size) : nullptr)
        return files::writeFile(to, {QByteArrayView(bytes, size)}, &batch);
    const QByteArray all = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return files::cannotWrite(to, source.errorString());
    return files::writeFile(to, {QByteArrayView(all)}, &batch);
}

/// Puts the files staged in batch in place: all of them, or (the batch puts back what it had
/// replaced) none. Empty, or why not.
QString putInPlace(files::Batch &batch)
{
    try {
        batch.commit();
    } catch (const files::WriteError &e) {
        return e.message();
    }
    return {};
}

/// The 512 map of the terrain as the noise graph (or the imported heightmap) makes it, before
/// erosion and sculpting, row by row; empty when it cannot be made (the pictures then keep no
/// finer detail of their own).
std::vector<float> graphTerrainValues(const NoiseSettings &settings, const ImportedTerrain *imported,
                                      const QString &gradients)
{
    MachineRun run;
    run.size = 512;
    run.writePictures = false;
    MachineObserver quiet;   // erodes nothing
    const MachineFolders folders{mapsPath(), gradients};
    noise::utils::NoiseMap map;
    try {
        if (imported)
            runImportedHeightmap(*imported, settings, run, folders, map, noise::utils::ProgressReporter::Null(), quiet);
        else
            runNoiseMachine(settings, run, folders, map, noise::utils::ProgressReporter::Null(), quiet);
    } catch (...) {
        return {};
    }
    return mapValues(map);
}

/// What the CREATE tab asks for beside the mesh and its pictures.
SurfaceFiles surfaceFilesAsked(const QString &folder, const QString &name, int terrainSize, int textureSize)
{
    const WindowWidgets &ui = state().ui;
    SurfaceFiles asked;
    asked.folder = folder;
    asked.name = name;
    asked.terrainSize = terrainSize;
    asked.textureSize = textureSize;
    if (ui.heightmapFormat)
        asked.heightmapFormats = work::heightmapFormatChoice(ui.heightmapFormat->currentIndex());
    asked.heightmapSize = ui.heightmapSize ? ui.heightmapSize->value() : 512;
    if (ui.engineChoice)
        asked.engine = work::engineChoice(ui.engineChoice->currentIndex());
    // Sediment erosion's flow, wear and deposit maps come beside the heightmaps.
    if (state().sedimentMaps.size > 0) {
        asked.erosion = &state().sedimentMaps;
        asked.erosionMaps = !asked.heightmapFormats.isEmpty();
    }
    return asked;
}

/// The host's active 3D view; null without one.
Dz3DViewport *hostView()
{
    DzMainWindow *window = dzApp ? dzApp->getInterface() : nullptr;
    DzViewport *viewport = window ? window->getViewportMgr()->getActiveViewport() : nullptr;
    return viewport ? viewport->get3DViewport() : nullptr;
}

}   // namespace

void DzOrovistaPluginAction::loadTerrainOBJ(float x, float y, float z, int xRot, int yRot, int zRot, float scale,
                                            QString name)
{
    terrainNode = nullptr;
    QString error;
    DzNode *node = scene::importObjNode(mapsPath() + QLatin1Char('/') + name + QStringLiteral(".obj"), name, scale, &error);
    if (!node) {
        runLog() << "terrain import failed: " << error << "\n";
        return;
    }
    dzScene->addNode(node);
    terrainNode = node;
    node->setWSPos(DzVec3(x, y, z));
    node->getXRotControl()->setValue(float(xRot));
    node->getYRotControl()->setValue(float(yRot));
    node->getZRotControl()->setValue(float(zRot));
    const ProgramState &s = state();
    if (s.ui.enableSubDivision && s.ui.enableSubDivision->isChecked())
        if (DzNode *named = dzScene->findNode(name); named && named->getObject()) {
            if (auto *mesh = qobject_cast<DzFacetMesh *>(named->getObject()->getCurrentGeometryForNode()))
                mesh->enableSubDivision(true);
            if (DzShape *shape = named->getObject()->getCurrentShape())
                shape->getLODControl()->setStringValue(QStringLiteral("Base"));
        }
}

int DzOrovistaPluginAction::buildTerrainShader(DzBrickMaterial *material)
{
    return scene::buildTerrainShader(material, terrainLook(), state().platformName, logSink());
}

void DzOrovistaPluginAction::loadPP2(float x, float y, float z, int xRot, int yRot, int zRot, float, float scaleX,
                                     float scaleY, float scaleZ, QString file)
{
    lastPropNode = scene::loadProp(file, {x, y, z, xRot, yRot, zRot, scaleX, scaleY, scaleZ}, morphPercentage());
    if (!lastPropNode)
        runLog() << "prop could not be loaded: " << file << "\n";
}

void DzOrovistaPluginAction::duplicateNode(int, float x, float y, float z, int xRot, int yRot, int zRot, float,
                                           float scaleX, float scaleY, float scaleZ)
{
    if (DzNode *copy = scene::duplicateProp(dzScene, lastPropNode, terrainNode, {x, y, z, xRot, yRot, zRot, scaleX, scaleY, scaleZ},
                                            morphPercentage()))
        lastPropNode = copy;
}

void DzOrovistaPluginAction::createDAZScene()
{
    ProgramState &s = state();
    WindowWidgets &ui = s.ui;
    if (!dzScene || !dzApp)
        return;
    const QString name = terrainName();
    // The name becomes file names and the OBJ's group line: a slash, a line break or "#" would
    // put files elsewhere or cut the line.
    QString nameFault = presets::nameProblem(name);
    if (nameFault.isEmpty())
        nameFault = objLineProblem(name);
    if (!name.isEmpty() && !nameFault.isEmpty()) {
        dialogs::error(ui.mainWindow, QStringLiteral("bad terrain name: ") + nameFault);
        return;
    }
    const QString maps = mapsPath();
    const scene::SceneFiles files = scene::sceneFiles(maps, name);
    const double terrainSize = s.terrainSize;
    QStringList failures;   // what could not be made; the scene is then not reported as created
    // The scene's files are made beside those of an earlier scene of the same name and replace
    // them together, only when every one of them was made.
    files::Batch made;
    bool filesMade = true;

    // 1. The files and nodes of an earlier scene of the same name.
    bool cancelled = false, overwrite = false;
    if (!name.isEmpty() && QFile::exists(files.obj)) {
        if (dialogs::confirm(ui.mainWindow, QStringLiteral("There are already some files with this name: overwrite?"))) {
            // The files stay until the new ones replace them.
            overwrite = true;
            for (DzNode *old : scene::nodesNamed(dzScene, name))
                if (dialogs::confirm(ui.mainWindow,
                                     QStringLiteral("There is already a node named like this, delete it?\nIf you don't, you "
                                                    "will probably get multiple terrain instances saving to a Studio scene.")))
                    dzScene->removeNode(old);
            scene::removeCameras(dzScene, name);
        } else {
            cancelled = true;
        }
    }

    // 2. The sky dome, one per scene. A terrain made anew replaces the dome an earlier CREATE left
    // (sized for that terrain, it could cut through this one), or removes it when no sky is asked
    // for; the sky texture is rendered once per scene and reused while it is there.
    const bool wantSky = ui.skyDomeMapSize && ui.skyDomeMapSize->currentIndex() > 0;
    DzNode *oldDome = dzScene->findNode(QStringLiteral("skyDome"));
    bool renderSky = wantSky && !oldDome;
    if (oldDome && !cancelled && !name.isEmpty()) {
        renderSky = wantSky && !QFile::exists(files.skyTexture);
        dzScene->removeNode(oldDome);
        oldDome = nullptr;
    }
    if (wantSky && !oldDome) {
        QString skyFailure;
        if (renderSky) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            skyFailure = renderSkyTexture(files.skyTexture, &made);
            QApplication::restoreOverrideCursor();
        }
        if (!skyFailure.isEmpty()) {
            failures << skyFailure;
            filesMade = false;
        }
        QString error;
        const QString domeModel = pluginsPath() + QStringLiteral("/orovistaData/resources/skydome.obj");
        if (DzNode *dome = scene::makeSkyDome(domeModel, files.skyTexture, terrainSize, s.customTerrainScale,
                                              s.platformName, logSink(), &error))
            dzScene->addNode(dome);
        else
            failures << QStringLiteral("the sky dome could not be made: ") + error;
    }

    // Without a generated terrain the sky texture is the only file.
    if (cancelled || name.isEmpty() || s.customTerrain)
        if (const QString placed = putInPlace(made); !placed.isEmpty())
            failures << placed;

    bool created = false;
    if (!cancelled && name.isEmpty()) {
        dialogs::error(ui.mainWindow, QStringLiteral("Please enter a terrain group name"));
    } else if (!cancelled) {
        // 4. Under way.
        if (ui.holdOnLabel)
            ui.holdOnLabel->setText(QStringLiteral("Studio scene being generated, please wait..."));
        runLog() << "start creating DAZ scene\n";
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (ui.holdOnLabel)
            ui.holdOnLabel->show();
        if (ui.holdOnGifLabel) {
            ui.holdOnGifLabel->show();
            if (QMovie *movie = ui.holdOnGifLabel->movie())
                movie->start();
        }
        QCoreApplication::processEvents();
        removeTempFiles(false);

        terrainNode = nullptr;
        if (!s.customTerrain) {
            // 6. The generated terrain: textures at the chosen resolution, normal map, mesh. Once
            // one of the files cannot be made the others are not made either.
            s.greyscaleMapMode = false;
            s.terrainCreated = true;
            const int textureSize = ui.textureSize ? ui.textureSize->currentText().toInt() : 512;
            auto fail = [&](const QString &why) {
                failures << why;
                filesMade = false;
            };
            // The terrain as the user made it, sculpted and eroded: every file is taken from it
            // or, for the pictures, moved onto it.
            const ImportedTerrain *imported = s.importedHeightmap.get();
            const RunSurface surface(s.fullMesh, graphTerrainValues(readNodeSettings(), imported, resourcePath + QStringLiteral("/resources/gradients")),
                                     imported != nullptr,
                                     imported ? -imported->shift : 0.0);
            const std::unique_ptr<SurfaceDetail> detail = surface.detail();
            // Sediment erosion's streams and deposits on the texture, as the command line colours it.
            std::unique_ptr<SedimentTint> tint;
            if (s.sedimentMaps.size > 0)
                tint = std::make_unique<SedimentTint>(s.sedimentMaps, imported != nullptr);
            struct Moved {
                Moved(const HeightShift *shift, const PictureTint *tint)
                {
                    state().runShift = shift;
                    state().runTint = tint;
                }
                ~Moved()
                {
                    state().runShift = nullptr;
                    state().runTint = nullptr;
                }
            } moved(detail.get(), tint.get());
            if (filesMade && !generateNoiseMaps(true, textureSize, true))
                fail(QStringLiteral("the %1 × %1 texture could not be computed").arg(textureSize));
            if (filesMade)
                if (const QString copied = stageCopy(maps + QStringLiteral("/TFFnoisePreview.jpg"), files.colourTexture, made);
                    !copied.isEmpty())
                    fail(copied);
            const bool normalMap = ui.normalMapSize && ui.normalMapSize->currentIndex() > 0;
            if (filesMade && normalMap) {
                generateFinalNormalMap(true, false, &made);
                if (s.normalMapDirty || made.current(files.normalMap) == files.normalMap)
                    fail(QStringLiteral("the normal map %1 could not be written").arg(files.normalMap));
            }
            if (filesMade) {
                runLog() << "create terrain OBJ\n";
                QString error;
                if (!writeTerrainObj(s.fullMesh, files.obj, &error, &made))
                    fail(error);
            }
            // Heightmaps, the engine's files, the pictures' sidecar and the props for other programs.
            const SurfaceFiles asked = surfaceFilesAsked(maps, name, s.terrainSize, textureSize);
            auto stage = [&](const QString &text) {
                if (ui.holdOnLabel)
                    ui.holdOnLabel->setText(text);
                QCoreApplication::processEvents();
            };
            if (filesMade)
                if (const QString problem = writeSurfaceFiles(surface, asked, made, stage); !problem.isEmpty())
                    fail(problem);
            if (filesMade) {
                const double deviation = surface.metres(detail->deviation());
                if (const QString problem = writePicturesSidecar(surface, asked, deviation,
                                                                 normalMap ? ui.normalMapSize->currentText().toInt() : 0,
                                                                 deviation, made);
                    !problem.isEmpty())
                    fail(problem);
            }
            if (filesMade && ui.instanceList && ui.instanceList->isChecked())
                if (const QString problem =
                        files::writeFile(maps + QLatin1Char('/') + name + QStringLiteral("_instances.json"),
                                         {instanceList(s.items, name, surface.grid().base, activeLibraryFolders())}, &made);
                    !problem.isEmpty())
                    fail(problem);
            // The work itself beside its files: `orovista generate --work` makes them again.
            if (filesMade)
                if (const QString problem = files::writeFile(maps + QLatin1Char('/') + name + QLatin1String(work::fileSuffix),
                                                             {work::write(currentWork())}, &made);
                    !problem.isEmpty())
                    fail(problem);
            if (filesMade)
                if (const QString placed = putInPlace(made); !placed.isEmpty())
                    fail(placed);
            if (filesMade) {
                if (ui.holdOnLabel)
                    ui.holdOnLabel->setText(QStringLiteral("terrain geometry generated"));
                runLog() << "terrain geometry generated\n";
                runLog() << "load terrain in DAZ\n";
                loadTerrainOBJ(0.0f, 0.0f, 0.0f, 0, 0, 0, 100.0f, name);
            } else {
                made.discard();
                s.normalMapDirty = true;
                failures << QStringLiteral("no file of the scene was written; those of an earlier scene stay as they were");
            }
        } else {
            // 7. The imported terrain, as the user gave it.
            QString error;
            if (DzNode *node = scene::importObjNode(s.customObjPath, name, s.customTerrainScale, &error)) {
                dzScene->addNode(node);
                terrainNode = node;
                // The generated terrain's files the user agreed to overwrite: this scene has none.
                if (overwrite) {
                    QFile::remove(files.obj);
                    QFile::remove(files.colourTexture);
                }
            }
        }
        if (!terrainNode && (s.customTerrain || filesMade))
            failures << QStringLiteral("the terrain could not be imported into the scene");

        // 8. The painted props under the terrain, copies where the same model repeats.
        if (terrainNode && !s.items.empty()) {
            // Through the two slots, which a script may call as well.
            scene::PropMakers makers;
            makers.load = [this](int, const PaintedItem &item) -> DzNode * {
                loadPP2(item.x, item.y, item.z, item.xRot, item.yRot, item.zRot, item.scale, item.scaleX * 0.01f,
                        item.scaleY * 0.01f, item.scaleZ * 0.01f, item.file);
                return lastPropNode;
            };
            makers.duplicate = [this](int i, const PaintedItem &item, DzNode *) -> DzNode * {
                duplicateNode(i, item.x, item.y, item.z, item.xRot, item.yRot, item.zRot, item.scale, item.scaleX * 0.01f,
                              item.scaleY * 0.01f, item.scaleZ * 0.01f);
                return lastPropNode;
            };
            if (const int unloaded = scene::addProps(terrainNode, s.items, morphPercentage(), logSink(), makers); unloaded > 0)
                failures << QStringLiteral("%1 prop(s) could not be loaded").arg(unloaded);
        }

        // 9. The terrain's material.
        if (terrainNode && scene::dressTerrain(terrainNode, name, terrainLook(), s.platformName, logSink()) != 0)
            dialogs::error(ui.mainWindow, QStringLiteral("Terrain shader could not be created!"));

        // 10. Cameras, the main one looking as the preview does.
        runLog() << "add cameras\n";
        scene::PreviewEye eye = scene::defaultPreviewEye(terrainSize);
        if (GLTerrain *gl = ui.glTerrain) {
            eye.x = gl->camera.x;
            eye.y = gl->camera.y;
            eye.z = gl->camera.z;
            eye.pitch = gl->camera.pitch;
            eye.yaw = gl->camera.yaw;
        }
        Dz3DViewport *view = hostView();
        const QSpinBox *up = statics().finalNode.FFTerrainElevationUpSpinBox;
        const double high = up ? up->value() : 15;
        DzCamera *main = scene::addCameras(dzScene, name, terrainSize, high, eye, view ? view->width() : 0);
        if (GLTerrain *gl = ui.glTerrain)
            scene::addSun(dzScene, name, gl->sky());
        if (view) {
            view->setCamera(main);
            if (ui.drawBoxStyle && ui.drawBoxStyle->isChecked())
                view->setShadeStyle(1);
        }

        // 11. Done, or not.
        s.terrainCreated = false;
        created = true;
        if (failures.isEmpty()) {
            if (ui.holdOnLabel)
                ui.holdOnLabel->setText(QStringLiteral("Studio scene created successfully.\nThe files created during this "
                                                       "process are located in:\n") +
                                        s.workFolder + QLatin1Char('/') + QStringLiteral("maps"));
            runLog() << "DAZ scene generated\n";
            showStatus(QStringLiteral("Studio scene created: ") + name);
        }
    }
    if (!created && ui.holdOnLabel)
        ui.holdOnLabel->setText(QString());
    if (!failures.isEmpty()) {
        const QString report = QStringLiteral("The scene is incomplete:\n") + failures.join(QLatin1Char('\n'));
        runLog() << report << "\n";
        if (ui.holdOnLabel)
            ui.holdOnLabel->setText(report);
        showStatus(QStringLiteral("the scene is incomplete: ") + failures.join(QStringLiteral("; ")));
    }

    // 13. The end.
    if (ui.holdOnGifLabel) {
        ui.holdOnGifLabel->hide();
        if (QMovie *movie = ui.holdOnGifLabel->movie())
            movie->stop();
    }
    if (created)
        QApplication::restoreOverrideCursor();
    dzApp->getImageMgr()->refresh();
    if (!failures.isEmpty())
        dialogs::message(ui.mainWindow, QStringLiteral("Warning"),
                         QStringLiteral("The scene is incomplete:\n") + failures.join(QLatin1Char('\n')));
}
