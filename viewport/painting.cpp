// Painting in the viewport: the pointer's depth pick handed to the painting rules, and what the
// user sees of the result (status line, triangle count, warnings).
#include "viewport/glterrain.h"

#include "library/glm.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/statics.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>

using namespace orovista;

PaintSettings GLTerrain::paintSettings() const
{
    PaintSettings p;
    auto spin = [this](const char *name, int &out) {
        if (auto *b = control<QSpinBox>(name))
            out = b->value();
    };
    auto check = [this](const char *name, bool &out) {
        if (auto *c = control<QCheckBox>(name))
            out = c->isChecked();
    };
    spin("glEcoInstancesSpinBox", p.instances);
    spin("itemDistanceSpinBox", p.distance);
    spin("ecoAngleRandomizationSpinBox", p.angleRandom);
    spin("ecoScaleRandomizationSpinBox", p.scaleRandom);
    spin("ecoMxScaleSpinBox", p.masterScale);
    check("ecoAngleYOnlyCheckBox", p.angleYOnly);
    check("ecoAngleYSnap", p.angleYSnap);
    check("ecoScaleYOnlyCheckBox", p.scaleYOnly);
    if (auto *d = control<QSlider>("glEcoDiameterSlider"))
        p.diameter = d->value();
    if (auto *b = control<QSlider>("glPerpVsNormalSlider"))
        p.blend = b->value();
    p.maskInfluence = maskInfluence;
    p.itemStack = itemStack;
    return p;
}

void GLTerrain::paintAt(int x, int y, bool scatter, bool tellWhyNot)
{
    ProgramState &s = state();
    if (!s.terrainPresent || s.chosenProp.file.isEmpty())
        return;
    if (scatter && s.customTerrain) {
        shiftHeld = false;
        dialogs::error(this, QStringLiteral("Multiple instances deployment is not allowed with custom .obj files!"));
        return;
    }
    const DepthPoint p = depthPick(x, y);
    const PaintPick pick{p.x, p.y, p.z, p.depth};
    const PaintSettings settings = paintSettings();

    if (scatter) {
        const ScatterResult result =
            paintItems(s.items, pick, s.fullMesh, s.terrainSize, maskImage, settings, s.chosenProp);
        if (result.placed > 0) {
            statics().action.updateTriangleLabel();
            showStatus(QStringLiteral("added items up to # ") + QString::number(s.items.size()));
        }
        update();
        if (result.outcome != ScatterResult::Done)
            dialogs::error(this, scatterWarning(result.outcome));
        return;
    }
    PaintRefusal why = PaintRefusal::None;
    const bool placed = s.customTerrain
                            ? (s.customModel && paintItemOnCustomTerrain(s.items, pick, p.colour, *s.customModel,
                                                                         settings, s.chosenProp, &why))
                            : paintItem(s.items, pick, s.fullMesh, s.terrainSize, maskImage, settings, s.chosenProp, &why);
    if (!placed) {
        // A click says why; the moves of a drag stay quiet (most land too near the last item).
        if (tellWhyNot && why != PaintRefusal::None)
            showStatus(paintRefusalText(why));
        return;
    }
    statics().action.updateTriangleLabel();
    showStatus(QStringLiteral("added item # ") + QString::number(s.items.size()));
    update();
}

void GLTerrain::EcoDiameterSliderReleased()
{
    if (auto *d = control<QSlider>("glEcoDiameterSlider"))
        if (auto *label = control<QLabel>("glEcoDiameterLabel"))
            label->setText(QString::number(d->value()) + QLatin1Char('/') + QString::number(d->maximum()));
    setFocus(Qt::OtherFocusReason);
}
