// LOAD .OBJ: a terrain mesh of the user's own in place of a generated one. The viewport draws
// it from a display list, painting and picking use the model kept in the program state, and
// scene creation imports the same file.
//
// The same button loads a heightmap or elevation model (terrain/heightmapimport.h). That one is
// no mesh of its own: its heights become the final height map, and from there on it is a
// terrain like a generated one (erosion, colours, normal map, painting, sculpting, the scene),
// until TERRAFORM ! builds from the noise graph again.
#include "plugin/afirstpluginaction.h"

#include "graph/nodesettings.h"
#include "library/glm.h"
#include "library/glmdraw.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "terrain/customterrain.h"
#include "terrain/heightmapimport.h"
#include "viewport/glterrain.h"

#include <GL/gl.h>

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace orovista;

namespace {
/// The folder of the last OBJ file chosen; the next dialog starts there.
QString lastObjFolder;
/// The viewport whose context holds state().customTerrainList: a window rebuilt by RESET has a
/// new context, where that number may name one of its own lists.
QPointer<GLTerrain> listOwner;

QString terrainFileFilter()
{
    const QString heightmaps = heightmapFilePatterns();
    return QStringLiteral("Terrains (*.obj %1);;OBJ meshes (*.obj);;Heightmaps and elevation models (%1);;All files (*)")
        .arg(heightmaps);
}

void applyFinalNode(const NoiseSettings &settings)
{
    ProgramState &s = state();
    const bool suppressed = std::exchange(s.suppressNoise, true);
    applyNodeSettings(settings);
    s.suppressNoise = suppressed;
}

/// A heightmap as the terrain: read it, set the final node's terrain size and elevation range to
/// what it holds, and build the terrain as TERRAFORM ! does, from its heights.
void loadHeightmapTerrain(DzOrovistaPluginAction &action, const QString &path)
{
    ProgramState &s = state();
    QWidget *parent = s.ui.mainWindow;
    const NoiseSettings before = readNodeSettings();
    HeightmapReadOptions read;
    read.terrainSize = before.final.terrainSize > 0 ? before.final.terrainSize : 100;
    read.metresAt0 = before.final.elevationLow;
    read.metresAt65535 = before.final.elevationHigh;

    showStatus(QStringLiteral("reading heightmap %1 ...").arg(QFileInfo(path).fileName()));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto heights = std::make_shared<Heightmap>();
    auto terrain = std::make_shared<ImportedTerrain>();
    QString error;
    bool usable = false;
    try {
        usable = readHeightmap(path, read, heights.get(), &error) && importedTerrain(heights, path, terrain.get(), &error);
    } catch (const std::bad_alloc &) {
        error = QStringLiteral("not enough memory for the heightmap %1").arg(path);
    }
    QApplication::restoreOverrideCursor();
    if (!usable) {
        // Nothing of the present terrain is given up for a file that cannot be used.
        runLog() << "heightmap not loaded: " << error << "\n";
        showStatus(error);
        dialogs::error(parent, error);
        return;
    }

    NoiseSettings next = before;
    next.final.terrainSize = terrain->terrainSize;
    next.final.terrainSizeExponent = std::clamp(int(std::lround(std::log10(double(terrain->terrainSize)))), 1, 5);
    next.final.elevationLow = terrain->elevationLow;
    next.final.elevationHigh = terrain->elevationHigh;
    applyFinalNode(next);
    const std::shared_ptr<const ImportedTerrain> previous = std::exchange(s.importedHeightmap, terrain);
    if (!action.buildTerrainFromMachine()) {
        // Stopped or failed: the terrain and the final node stay as they were.
        s.importedHeightmap = previous;
        applyFinalNode(before);
        return;
    }
    const QString summary = importSummary(*terrain);
    runLog() << "heightmap loaded: " << summary << "\n";
    for (const QString &note : heights->notes)
        runLog() << "  " << note << "\n";
    showStatus(QStringLiteral("heightmap loaded: ") + summary);
}

}   // namespace

void DzOrovistaPluginAction::loadCustomTerrain()
{
    ProgramState &s = state();
    QWidget *parent = s.ui.mainWindow;

    const QString path = dialogs::openFile(parent, QStringLiteral("Open .obj File"), lastObjFolder, terrainFileFilter());
    if (path.isEmpty()) {
        dialogs::error(parent, QStringLiteral("no .obj file chosen!"));
        return;
    }
    lastObjFolder = QFileInfo(path).absolutePath();
    if (isHeightmapFile(path))
        return loadHeightmapTerrain(*this, path);

    bool accepted = false;
    const double answer = dialogs::number(parent, QStringLiteral("Warning"),
                                          QStringLiteral("enter the scale percentage of your terrain::"), 100.0, 0.1,
                                          10000.0, 2, &accepted);
    const double scale = customTerrainScale(accepted, answer);

    // The final node's gradient lists are filled from the gradients folder when its panel is
    // built and do not change while the window is open: nothing to refresh here.

    // Read the file before anything of the present terrain is given up: a file that cannot be
    // read leaves the terrain, its items and the file scene creation imports as they were.
    GLMreadError readError;
    std::unique_ptr<GLMmodel> model = glmReadOBJ(path, &readError);
    if (model && model->numtriangles == 0) {
        model.reset();
        readError.message = QStringLiteral("%1 holds no faces").arg(path);
    }
    if (!model) {
        runLog() << "custom terrain not loaded: " << readError.message << "\n";
        dialogs::error(parent, QStringLiteral("There was an error loading your custom terrain .obj file"));
        return;
    }

    if (s.terrainPresent)
        if (GLTerrain *gl = s.ui.glTerrain)
            gl->deleteAllObjectsSilent();

    glmFacetNormals(model.get());
    glmVertexNormals(model.get(), 90.0f);

    const int S = customTerrainSize(model->bounds, scale);
    const CustomTerrainCamera view = customTerrainCamera(model->bounds, scale, S);

    s.customObjPath = path;
    s.customTerrainScale = float(scale);
    s.customTerrain = true;
    s.importedHeightmap.reset();
    s.terrainPresent = true;
    s.terrainSize = S;
    s.sceneTriangles = model->numtriangles;
    runLog() << "custom terrain " << path << ": " << int(model->numtriangles) << " triangles, size " << S << "\n";

    if (QTabWidget *tabs = s.ui.mainController) {
        for (int tab : {1, 2}) {
            tabs->setTabEnabled(tab, true);
            tabs->setTabToolTip(tab, QString());
        }
        tabs->setCurrentIndex(1);
    }

    if (GLTerrain *gl = s.ui.glTerrain) {
        if (s.customTerrainList && listOwner == gl) {
            gl->makeCurrent();
            glDeleteLists(s.customTerrainList, 1);
            gl->doneCurrent();
        }
        listOwner = gl;
        s.customTerrainList = compileCustomTerrain(gl, model.get(), GLM_SMOOTH | GLM_TEXTURE | GLM_MATERIAL);
        gl->farPlane = customTerrainFarPlane(S);
        gl->setFocus(Qt::OtherFocusReason);
        gl->camera = {view.x, view.y, view.z, view.yaw, view.pitch, view.roll};
        if (gl->skyDome().radius() != S * 0.5f)
            gl->buildSkyDome(true);
    }
    // The list draws the file's coordinates scaled by the viewport; the kept model is in scene
    // units, as the points picked on it are.
    scaleCustomTerrainModel(*model, scale);
    s.customModel = std::shared_ptr<GLMmodel>(std::move(model));

    statics().action.selectGLMode(TerrainMode);
    statics().action.updateTriangleLabel();
    if (s.ui.statusLine)
        s.ui.statusLine->setText(QStringLiteral("custom terrain OBJ loaded"));
}
