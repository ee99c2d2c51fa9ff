// Editing painted items: the item controls write into the selected item; the delete commands and
// repositioning keep the item count, the scene's triangles, the selection and the prop models in
// step.
#include "viewport/glterrain.h"

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

}   // namespace

// Each item control writes its value into the selected item (the controls are shown only while
// one is selected; without one they change nothing).
#define OROVISTA_ITEM_FIELD(slot, box, field, type)                                   \
    void GLTerrain::slot(int v)                                                       \
    {                                                                                 \
        std::vector<PaintedItem> &items = state().items;                              \
        if (m_selectedItem >= 1 && std::size_t(m_selectedItem) <= items.size()) {     \
            beginItemsStep();                                                         \
            items[std::size_t(m_selectedItem - 1)].field = type(v);                   \
            endItemsStep("item edit");                                                \
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
    beginItemsStep();
    s.items.erase(s.items.begin() + (m_selectedItem - 1));
    endItemsStep("delete");
    showTriangles();
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
    showStatus(QStringLiteral("object #") + QString::number(s.items.size()) + QStringLiteral(" deleted"));
    beginItemsStep();
    s.items.pop_back();
    endItemsStep("delete");
    showTriangles();
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
    beginItemsStep();
    s.items.clear();
    endItemsStep("delete all");
    // No prop stays chosen; the loaded models stay, for an undo to bring the items back.
    s.chosenProp = ProgramState::ChosenProp{};
    setThumbnail(QImage());
    statics().library.resetPropFrame();
    m_selectedItem = -1;
    hideItemControls();
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
    }
    if (statics().library.modelSlot > 0 || !modelLists.empty())
        deletePropModels();
    history.clear();
    m_itemsSteps = 0;
    m_pressMode = 0;
}

void GLTerrain::beginItemsStep()
{
    if (m_itemsSteps++ == 0)
        history.beginItems(state().items);
}

void GLTerrain::endItemsStep(const char *label)
{
    if (m_itemsSteps > 0 && --m_itemsSteps == 0)
        history.endItems(state().items, label);
}

void GLTerrain::undo() { stepHistory(false); }
void GLTerrain::redo() { stepHistory(true); }

void GLTerrain::stepHistory(bool forward)
{
    ProgramState &s = state();
    if (m_pressMode != 0)   // not in the middle of a stroke or a drag
        return;
    std::string label;
    const EditHistory::Change change =
        forward ? history.redo(s.items, s.fullMesh, &label) : history.undo(s.items, s.fullMesh, &label);
    if (change == EditHistory::Change::Nothing) {
        showStatus(forward ? QStringLiteral("nothing to redo") : QStringLiteral("nothing to undo"));
        return;
    }
    if (change == EditHistory::Change::Terrain) {
        recomputeTerrainNormals(s.fullMesh);
        terrainEdited();
    }
    m_selectedItem = -1;
    hideItemControls();
    showTriangles();
    showStatus((forward ? QStringLiteral("redone: ") : QStringLiteral("undone: ")) + QString::fromStdString(label));
    update();
    setFocus(Qt::OtherFocusReason);
}

void GLTerrain::repositionItems()
{
    ProgramState &s = state();
    if (s.customTerrain) {
        dialogs::error(this, QStringLiteral("This features is not needed with imported terrains!"));
        return;
    }
    double tilt = 0.2;
    if (auto *b = control<QSlider>("glPerpVsNormalSlider"))
        tilt = b->value() / 100.0;
    beginItemsStep();
    orovista::repositionItems(s.items, s.fullMesh, s.terrainSize, tilt);
    endItemsStep("reposition");
    recomputeTerrainNormals(s.fullMesh);
    update();
    setFocus(Qt::OtherFocusReason);
}
