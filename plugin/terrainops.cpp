// The terrain steps of the window: erosion after a noise run, the mesh arrays, temporary pictures
// and normal maps. The work itself is in terrain/; this file reads the controls and shows results.
#include "plugin/afirstpluginaction.h"

#include "graph/ff.h"
#include "graph/nodepanel.h"
#include "graph/nodesettings.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "terrain/heightmapimport.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "plugin/windowprogress.h"
#include "terrain/erosion.h"
#include "terrain/normalmap.h"
#include "terrain/terrainarrays.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QSlider>

using namespace orovista;

namespace {

QString mapsFolder() { return state().workFolder + QStringLiteral("/maps"); }

TerrainSource terrainSource()
{
    const NoiseSettings settings = readNodeSettings();
    TerrainSource source;
    source.heightMap = &statics().finalHeightMap;
    source.terrainSize = state().terrainSize;
    source.elevationLow = settings.final.elevationLow;
    source.elevationHigh = settings.final.elevationHigh;
    // An elevation model keeps its metres, which the whole-metre controls would round.
    const ProgramState &s = state();
    if (s.importedHeightmap && !s.customTerrain) {
        source.elevationLow = s.importedHeightmap->metresLow;
        source.elevationHigh = s.importedHeightmap->metresHigh;
    }
    source.colourPicturePath = mapsFolder() + QStringLiteral("/TFFnoisePreview.jpg");
    return source;
}

}   // namespace

void DzOrovistaPluginAction::erodeTerrain()
{
    SedimentMaps maps;
    const QString failure =
        erodeMap(statics().finalHeightMap, QDir(mapsFolder()).filePath(QStringLiteral("HFFnoisePreview.jpg")), &maps);
    state().sedimentMaps = std::move(maps);
    if (!failure.isEmpty())
        dialogs::message(state().ui.mainWindow, QStringLiteral("Warning"), failure);
}

QString DzOrovistaPluginAction::erodeMap(noise::utils::NoiseMap &map, const QString &greyPicture,
                                         orovista::SedimentMaps *sedimentMaps)
{
    ProgramState &s = state();
    const NoiseSettings settings = readNodeSettings();
    ErosionRequest request = ErosionRequest::fromSettings(settings.final, s.greyscaleMapMode, mapsFolder());
    request.picturePath = greyPicture;
    request.sedimentMaps = sedimentMaps;
    WindowProgress progress;
    const ErosionResult result = erodeHeightMap(map, request, &progress);
    if (result.eroded() && result.writeError.isEmpty() && !s.terrainCreated && settings.final.mapStyle == 0)
        panel::showPicture(statics().finalNode.FFPreviewLabel, request.picturePath);
    progress.Hide();
    return result.writeError;
}

void DzOrovistaPluginAction::buildTerrainArrays()
{
    ProgramState &s = state();
    const TerrainSource source = terrainSource();
    const BrushRange brush = brushRangeForTerrain(source.terrainSize);
    if (s.ui.mainWindow)
        if (auto *diameter = s.ui.mainWindow->findChild<QSlider *>(QStringLiteral("glEcoDiameterSlider"))) {
            diameter->setMaximum(std::max(1, brush.maximum));
            diameter->setValue(brush.value);
            if (auto *label = s.ui.mainWindow->findChild<QLabel *>(QStringLiteral("glEcoDiameterLabel")))
                label->setText(QString::number(diameter->value()) + QLatin1Char('/') + QString::number(diameter->maximum()));
        }
    orovista::buildTerrainArrays(source, s.fullMesh);
    s.terrainArraysReady = !s.fullMesh.isEmpty();
}

void DzOrovistaPluginAction::buildDecimatedTerrainArrays()
{
    orovista::buildDecimatedTerrainArrays(terrainSource(), state().decimatedMesh);
}

void DzOrovistaPluginAction::releaseTerrainArrays()
{
    ProgramState &s = state();
    s.fullMesh = TerrainArrays();
    s.decimatedMesh = TerrainArrays();
}

void DzOrovistaPluginAction::removeTempFiles(bool withThumbnail)
{
    orovista::removeTempFiles(mapsFolder(), withThumbnail);
}

void DzOrovistaPluginAction::generateFinalNormalMap() { generateFinalNormalMap(false, false); }

void DzOrovistaPluginAction::generateFinalNormalCustomSize() { generateFinalNormalMap(true, true); }

void DzOrovistaPluginAction::generateFinalNormalMap(bool isFinal, bool manualUpdate)
{
    generateFinalNormalMap(isFinal, manualUpdate, nullptr);
}

void DzOrovistaPluginAction::generateFinalNormalMap(bool isFinal, bool manualUpdate, orovista::files::Batch *batch)
{
    ProgramState &s = state();
    WindowWidgets &ui = s.ui;
    if (!ui.normalMapSize || !ui.textureSize)
        return;
    const bool greyscale = s.greyscaleMapMode;
    s.greyscaleMapMode = true;
    NormalMapControls controls;
    controls.sizeIndex = ui.normalMapSize->currentIndex();
    controls.sizeText = ui.normalMapSize->currentText();
    controls.textureSizeText = ui.textureSize->currentText();
    controls.previewResolution = s.previewSize;
    const NormalMapPlan plan = planNormalMap(isFinal, manualUpdate, controls);
    if (!plan.run) {
        s.greyscaleMapMode = greyscale;
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString name = ui.terrainName ? ui.terrainName->text() : QStringLiteral("my Terrain 1");
    if (ui.normalMapPreview)
        ui.normalMapPreview->setText(QStringLiteral("computing normal map\n\nplease wait"));
    QCoreApplication::processEvents();
    if (plan.rerunPipeline) {
        runLog() << plan.logLine;
        generateNoiseMaps(false, plan.resolution, true);
    }
    s.greyscaleMapMode = greyscale;
    const NormalMapOutput out =
        renderNormalMapFile(statics().finalHeightMap, plan, ui.normalMapBumpHeight ? ui.normalMapBumpHeight->value() : 1000,
                            mapsFolder(), name, batch);
    s.normalMapDirty = !out.written;
    if (QLabel *preview = ui.normalMapPreview) {
        preview->setScaledContents(true);
        preview->setText(QString());
        preview->setPixmap(QPixmap(out.thumbnailPath));
    }
    if (!out.error.isEmpty() && ui.statusLine)
        ui.statusLine->setText(out.error);
    QApplication::restoreOverrideCursor();
}
