// LOAD .OBJ: a terrain mesh of the user's own in place of a generated one. The viewport draws
// it from a display list, painting and picking use the model kept in the program state, and
// scene creation imports the same file.
#include "plugin/afirstpluginaction.h"

#include "library/glm.h"
#include "library/glmdraw.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "terrain/customterrain.h"
#include "viewport/glterrain.h"

#include <GL/gl.h>

#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTabWidget>

using namespace orovista;

namespace {
/// The folder of the last OBJ file chosen; the next dialog starts there.
QString lastObjFolder;
/// The viewport whose context holds state().customTerrainList: a window rebuilt by RESET has a
/// new context, where that number may name one of its own lists.
QPointer<GLTerrain> listOwner;
}   // namespace

void DzOrovistaPluginAction::loadCustomTerrain()
{
    ProgramState &s = state();
    QWidget *parent = s.ui.mainWindow;

    const QString path = dialogs::openFile(parent, QStringLiteral("Open .obj File"), lastObjFolder,
                                           QStringLiteral("Images (*.obj)"));
    if (path.isEmpty()) {
        dialogs::error(parent, QStringLiteral("no .obj file chosen!"));
        return;
    }
    lastObjFolder = QFileInfo(path).absolutePath();

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
