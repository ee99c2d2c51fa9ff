// Running the noise machine from the window: settings from the node panels, progress on the status
// line and the busy overlay, warnings as message boxes, pictures into the node previews.
#include "plugin/afirstpluginaction.h"

#include "graph/c1.h"
#include "graph/d1.h"
#include "graph/ff.h"
#include "graph/i1.h"
#include "graph/noisemachine.h"
#include "graph/nodepanel.h"
#include "graph/nodesettings.h"
#include "plugin/dialogs.h"
#include "populate/painting.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "plugin/windowprogress.h"
#include "terrain/heightmapimport.h"
#include "noise/outputfiles.h"
#include "viewport/glterrain.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <utility>

#include <libnoise/exception.h>

using namespace orovista;

namespace {

/// The loaded heightmap when it is the source of the final map; one left over from a terrain
/// that is gone (the window was reset, an OBJ was loaded) is dropped.
const ImportedTerrain *importedSource()
{
    ProgramState &s = state();
    if (s.importedHeightmap && (s.customTerrain || (!s.terrainPresent && !s.terrainCreated)))
        s.importedHeightmap.reset();
    return s.importedHeightmap.get();
}

void showPicture(QLabel *label, const QString &path)
{
    if (!path.isEmpty())
        panel::showPicture(label, path);
}

class WindowMachineObserver : public MachineObserver {
public:
    WindowMachineObserver(DzOrovistaPluginAction &action, int mapStyle) : m_action(action), m_mapStyle(mapStyle) {}

    void warning(const QString &text) override
    {
        dialogs::message(state().ui.mainWindow, QStringLiteral("Warning"), text);
    }

    void unreadableImage(const QString &file, const QString &reason) override
    {
        ProgramState &s = state();
        const QString text = unreadableImageWarning(file, reason);
        if (s.ui.statusLine)
            s.ui.statusLine->setText(text);
        if (s.warnedNoiseImages.contains(file))
            return;
        s.warnedNoiseImages << file;
        warning(text);
    }

    void nodeDone(int node, const noise::utils::NoiseMap &, const QString &height, const QString &colour) override
    {
        Statics &o = statics();
        const QString &shown = m_mapStyle == 0 ? height : colour;
        switch (node) {
        case 1: showPicture(o.input1.I1PreviewLabel, shown); break;
        case 2: showPicture(o.input2.I1PreviewLabel, shown); break;
        case 3: showPicture(o.deformer1.D1PreviewLabel, shown); break;
        case 4: showPicture(o.deformer2.D1PreviewLabel, shown); break;
        case 5: showPicture(o.combiner.C1PreviewLabel, height); break;
        default: break;
        }
    }

    void erode(noise::utils::NoiseMap &map, const QString &greyPicture) override
    {
        const QString failure = m_action.erodeMap(map, greyPicture, &sedimentMaps);
        if (!failure.isEmpty())
            throw files::WriteError(failure);
    }

    /// Sediment erosion's maps of the final map, when the run eroded it so.
    SedimentMaps sedimentMaps;

private:
    DzOrovistaPluginAction &m_action;
    int m_mapStyle;
};

}   // namespace

bool DzOrovistaPluginAction::generateNoiseMaps(bool terrainCreated, int size, bool fullOctaves)
{
    ProgramState &s = state();
    runLog() << "generating noise maps...\n";
    if (s.suppressNoise)
        return false;
    nodeControlChanged();
    // A request that arrives through the event processing of a run in progress is not started
    // inside it: the latest such request runs once the current run is over.
    if (s.noiseRunning) {
        s.pendingNoiseRun = ProgramState::NoiseRunRequest{terrainCreated, size, fullOctaves};
        return false;
    }
    s.noiseRunning = true;
    s.cancelRequested = false;
    bool done = runNoiseMachine(terrainCreated, size, fullOctaves);
    // A run that was stopped or failed takes the requests made meanwhile with it.
    while (done && s.pendingNoiseRun && !s.suppressNoise) {
        const ProgramState::NoiseRunRequest next = *std::exchange(s.pendingNoiseRun, std::nullopt);
        done = runNoiseMachine(next.terrainCreated, next.size, next.fullOctaves);
    }
    s.pendingNoiseRun.reset();
    s.noiseRunning = false;
    s.cancelRequested = false;
    return done;
}

bool DzOrovistaPluginAction::runNoiseMachine(bool terrainCreated, int size, bool fullOctaves)
{
    ProgramState &s = state();
    Statics &o = statics();
    if (o.finalNode.FFReGenerateNoise)
        o.finalNode.FFReGenerateNoise->hide();

    int n = size;
    if (!terrainCreated)
        n = s.previewSize;
    if (fullOctaves)
        n = size;

    // Curve, exponent and terrace deformers clamp their output to the full range.
    for (D1 *d : {&o.deformer1, &o.deformer2}) {
        const auto type = DeformerType(d->D1TerrainType ? d->D1TerrainType->currentIndex() : 0);
        if ((type == DeformerType::Curve || type == DeformerType::Exponent || type == DeformerType::Terrace) &&
            d->D1ClampLowerSpinBox && d->D1ClampUpperSpinBox) {
            d->D1ClampLowerSpinBox->setValue(-100);
            d->D1ClampUpperSpinBox->setValue(100);
        }
    }
    const NoiseSettings settings = readNodeSettings();

    MachineRun run;
    run.size = n;
    run.fullOctaves = fullOctaves;
    run.shift = s.runShift;
    run.tint = s.runTint;
    const MachineFolders folders{s.workFolder + QStringLiteral("/maps"),
                                 resourcePath + QStringLiteral("/resources/gradients")};
    WindowProgress progress;
    WindowMachineObserver observer(*this, settings.final.mapStyle);
    bool done = false;
    // The node previews show the pictures of a run as it goes; when it does not finish they show
    // the pictures that are still in place.
    auto showPicturesInPlace = [&] { o.finalNode.showNodePictures(settings.final.mapStyle == 1); };
    try {
        // With a heightmap loaded the final map is the file's. The runs of the node controls still
        // compute the graph first, so that the node previews show what the user edits.
        const ImportedTerrain *imported = importedSource();
        noise::utils::NoiseMap graphMap;
        if (!imported || (!terrainCreated && !fullOctaves))
            orovista::runNoiseMachine(settings, run, folders, imported ? graphMap : o.finalHeightMap, progress, observer);
        if (imported)
            runImportedHeightmap(*imported, settings, run, folders, o.finalHeightMap, progress, observer);
        // The final preview follows every run (also the ones of the node controls).
        showPicture(o.finalNode.FFPreviewLabel, s.workFolder + QStringLiteral("/maps/") +
                                                    (settings.final.mapStyle == 0 ? QStringLiteral("HFFnoisePreview.jpg")
                                                                                  : QStringLiteral("TFFnoisePreview.jpg")));
        // A run on a surface leaves the final map's erosion as it was.
        if (!run.shift)
            s.sedimentMaps = std::move(observer.sedimentMaps);
        done = true;
    } catch (const noise::utils::Cancelled &) {
        runLog() << "noise run cancelled\n";
        showPicturesInPlace();
        progress.SetStatusText(QStringLiteral("noise run cancelled: the maps are as before"));
    } catch (const files::WriteError &e) {
        runLog() << "noise run failed: " << e.message() << "\n";
        progress.Hide();
        showPicturesInPlace();
        progress.SetStatusText(e.message());
        dialogs::message(s.ui.mainWindow, QStringLiteral("Warning"), e.message());
    } catch (const noise::ExceptionOutOfMemory &) {
        progress.SetStatusText(QStringLiteral("not enough memory for noise maps of %1 × %1").arg(n));
    } catch (const noise::Exception &) {
        progress.SetStatusText(QStringLiteral("the noise settings could not be computed"));
    } catch (const std::bad_alloc &) {
        progress.SetStatusText(QStringLiteral("not enough memory for noise maps of %1 × %1").arg(n));
    }
    progress.Hide();
    return done;
}

void DzOrovistaPluginAction::generatePreviewTerrain()
{
    // TERRAFORM ! builds the terrain from the noise graph again.
    state().importedHeightmap.reset();
    buildTerrainFromMachine();
}

bool DzOrovistaPluginAction::buildTerrainFromMachine()
{
    ProgramState &s = state();
    const NoiseSettings settings = readNodeSettings();
    s.terrainSize = settings.final.terrainSize;
    if (s.terrainSize <= 0) {
        dialogs::error(s.ui.mainWindow, QStringLiteral("nice try... please enter a terrain size higher than 0"));
        return false;
    }
    if (s.customTerrain && s.terrainPresent && s.ui.glTerrain)
        s.ui.glTerrain->deleteAllObjectsSilent();
    s.customTerrain = false;

    s.terrainCreated = true;
    if (!generateNoiseMaps(true, 512, false)) {
        // Stopped or failed: the terrain stays what it was.
        s.terrainCreated = false;
        return false;
    }

    WindowProgress progress;
    progress.SetPanelText(QStringLiteral("creating terrain ...\n\n1/2"));
    progress.ProcessEvents();

    // Painted items stay on the ground of the new terrain.
    const int oldSize = int(std::lround(double(s.fullMesh.spacing) * std::max(0, s.fullMesh.gridSize - 1)));
    const std::vector<float> oldGround = groundUnderItems(s.items, s.fullMesh, oldSize);
    buildTerrainArrays();
    buildDecimatedTerrainArrays();
    reseatItems(s.items, oldGround, s.fullMesh, s.terrainSize);

    s.terrainPresent = true;
    if (QTabWidget *tabs = s.ui.mainController) {
        for (int tab : {1, 2}) {
            tabs->setTabEnabled(tab, true);
            tabs->setTabToolTip(tab, QString());
        }
        tabs->setCurrentIndex(1);
    }
    progress.Hide();
    s.terrainCreated = false;
    GLTerrain *gl = s.ui.glTerrain;
    if (gl) {
        gl->farPlane = 16.0f * float(s.terrainSize);
        gl->resize(gl->size());
        gl->setFocus(Qt::OtherFocusReason);
        gl->uploadTerrain(s.fullMesh);
        gl->camera = {0.0, 0.0, 2.0 * s.terrainSize, 0.0f, 20.0f, 0.0f};
        // The sky dome spans the terrain it is shown with.
        if (gl->skyDome().radius() != s.terrainSize * 0.5f)
            gl->buildSkyDome(true);
        gl->terrainTexturePath = s.workFolder + QStringLiteral("/maps/TFFnoisePreview.jpg");
    }
    if (gl)
        gl->history.clear();
    if (s.ui.mainWindow) {
        if (auto *instances = s.ui.mainWindow->findChild<QSpinBox *>(QStringLiteral("glEcoInstancesSpinBox")))
            instances->setValue(std::max(1, s.terrainSize / 20));
        // A stroke's step at the centre (strength · 1/16 unit) starts at a sixteenth of the
        // terrain's relief, so that a first stroke shows.
        if (auto *strength = s.ui.mainWindow->findChild<QSpinBox *>(QStringLiteral("glBrushStrengthSpinBox"))) {
            float low = 0.0f, high = 0.0f;
            for (std::size_t v = 1; v < s.fullMesh.vertices.size(); v += 3) {
                low = v == 1 ? s.fullMesh.vertices[v] : std::min(low, s.fullMesh.vertices[v]);
                high = v == 1 ? s.fullMesh.vertices[v] : std::max(high, s.fullMesh.vertices[v]);
            }
            strength->setValue(std::clamp(int(std::lround(high - low)), 1, strength->maximum()));
        }
    }
    updateTriangleLabel();
    showStatus(QStringLiteral("terrain generated"));
    return true;
}

