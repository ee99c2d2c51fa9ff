// Editing painted items: the item controls write into the selected item; the delete commands and
// repositioning keep the item count, the scene's triangles, the selection and the prop models in
// step.
#include "viewport/glterrain.h"

#include "library/glm.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/statics.h"

#include <QFrame>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>

using namespace orovista;

namespace {

void showTriangles() { statics().action.updateTriangleLabel(); }

/// After a delete nothing is selected: the item controls go.
void hideItemControls()
{
    if (QWidget *frame = state().ui.editTransformFrame)
        frame->hide();
}

/// The terrain's own triangles: two per cell of the generated mesh, or the imported model's.
long long terrainTriangles()
{
    const ProgramState &s = state();
    if (s.customTerrain)
        return s.customModel ? s.customModel->numtriangles : 0;
    return 2LL * 511 * 511;
}

}   // namespace

// Each item control writes its value into the selected item (the controls are shown only while
// one is selected; without one they change nothing).
#define OROVISTA_ITEM_FIELD(slot, box, field, type)                                   \
    void GLTerrain::slot(int v)                                                       \
    {                                                                                 \
        std::vector<PaintedItem> &items = state().items;                              \
        if (m_selectedItem >= 1 && std::size_t(m_selectedItem) <= items.size()) {     \
            items[std::size_t(m_selectedItem - 1)].field = type(v);                   \
            update();                                                                 \
        }                                                                             \
        setFocus(Qt::OtherFocusReason);                                               \
    }                                                                                 \
    void GLTerrain::slot()                                                            \
    {                                                                                 \
        if (auto *b = control<QSpinBox>(box))                                         \
            slot(b->value());                                                         \
    }

OROVISTA_ITEM_FIELD(itemXRot, "glXRotCurrentSpinBox", xRot, int)
OROVISTA_ITEM_FIELD(itemYRot, "glYRotCurrentSpinBox", yRot, int)
OROVISTA_ITEM_FIELD(itemZRot, "glZRotCurrentSpinBox", zRot, int)
OROVISTA_ITEM_FIELD(itemScaleX, "glscaleCurrentXSpinBox", scaleX, float)
OROVISTA_ITEM_FIELD(itemScaleY, "glscaleCurrentYSpinBox", scaleY, float)
OROVISTA_ITEM_FIELD(itemScaleZ, "glscaleCurrentZSpinBox", scaleZ, float)
OROVISTA_ITEM_FIELD(itemYOffset, "glYOffsetSpinBox", y, float)
#undef OROVISTA_ITEM_FIELD

void GLTerrain::deleteCurrentObject()
{
    ProgramState &s = state();
    if (m_selectedItem < 1 || std::size_t(m_selectedItem) > s.items.size())
        return;
    const auto at = s.items.begin() + (m_selectedItem - 1);
    s.sceneTriangles -= at->triangles;
    showTriangles();
    s.items.erase(at);
    m_selectedItem = -1;
    hideItemControls();
    statics().library.resetPropFrame();
    statics().action.selectGLMode(EditMode);
    showStatus(QStringLiteral("object deleted"));
    update();
}

void GLTerrain::deleteLastItem()
{
    ProgramState &s = state();
    if (s.items.empty())
        return;
    s.sceneTriangles -= s.items.back().triangles;
    showTriangles();
    showStatus(QStringLiteral("object #") + QString::number(s.items.size()) + QStringLiteral(" deleted"));
    s.items.pop_back();
    m_selectedItem = -1;
    hideItemControls();
    statics().library.resetPropFrame();
    update();
}

void GLTerrain::deletePropModels()
{
    makeCurrent();
    for (GLuint list : modelLists)
        if (list)
            glDeleteLists(list, 1);
    doneCurrent();
    modelLists.clear();
    setThumbnail(QImage());
    statics().library.forgetLoadedProps();
    statics().library.resetPropFrame();
}

void GLTerrain::deleteAllObjects()
{
    if (!dialogs::confirm(this, QStringLiteral("delete all the items?")))
        return;
    ProgramState &s = state();
    s.items.clear();
    deletePropModels();
    m_selectedItem = -1;
    hideItemControls();
    s.sceneTriangles = terrainTriangles();
    showTriangles();
    showStatus(QStringLiteral("all objects deleted"));
    update();
}

void GLTerrain::deleteAllObjectsSilent()
{
    ProgramState &s = state();
    if (!s.items.empty()) {
        s.items.clear();
        m_selectedItem = -1;
        s.sceneTriangles = 0;
    }
    if (statics().library.modelSlot > 0 || !modelLists.empty())
        deletePropModels();
}

void GLTerrain::repositionItems()
{
    ProgramState &s = state();
    if (s.customTerrain) {
        dialogs::error(this, QStringLiteral("This features is not needed with imported terrains!"));
        return;
    }
    float tilt = 0.2f;
    if (auto *b = control<QSlider>("glPerpVsNormalSlider"))
        tilt = float(b->value()) / 100.0f;
    orovista::repositionItems(s.items, s.fullMesh, s.terrainSize, tilt);
    recomputeTerrainNormals(s.fullMesh);
    update();
    setFocus(Qt::OtherFocusReason);
}
