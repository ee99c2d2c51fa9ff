// The POPULATE tab: the viewport with its pan sliders, mode buttons and tool bars; mode selection
// and the tab-change logic.
#include "plugin/afirstpluginaction.h"

#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/screeninfo.h"
#include "plugin/style.h"
#include "sky/skymodel.h"
#include "viewport/glterrain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QSpinBox>
#include <QTabWidget>

using namespace orovista;

namespace {

constexpr int viewportWidth = 802;

int viewportHeight()
{
    const ProgramState &s = state();
    return !s.windowFitsScreen && s.platformName != QLatin1String("Windows") ? 560 : 760;
}

QFrame *toolFrame(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *f = new QFrame(parent);
    if (name)
        f->setObjectName(QString::fromLatin1(name));
    f->setGeometry(x, y, w, h);
    return f;
}

QSlider *slider(QWidget *parent, const char *name, Qt::Orientation o, int lo, int hi, int value)
{
    auto *s = new QSlider(o, parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(lo, hi);
    s->setValue(value);
    s->setFocusPolicy(Qt::NoFocus);
    s->setStyleSheet(o == Qt::Horizontal ? style::horizontalSlider(true) : style::verticalSlider());
    return s;
}

QSpinBox *spinBox(QWidget *parent, const char *name, int lo, int hi, int value, const QRect &geometry)
{
    auto *b = new QSpinBox(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setRange(lo, hi);
    b->setValue(value);
    b->setGeometry(geometry);
    b->setStyleSheet(style::spinBox());
    b->setStyle(style::widgetStyle(QStringLiteral("Fusion")));
    return b;
}

QLabel *caption(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(geometry);
    l->setStyleSheet(QStringLiteral("* { color: rgba(") + style::lightText + QStringLiteral("); font-size:11px; }"));
    return l;
}

}   // namespace

void DzOrovistaPluginAction::buildPopulateTab()
{
    ProgramState &s = state();
    QWidget *page = s.ui.populateTab;
    const int h = viewportHeight();

    auto *frame = toolFrame(page, "glViewportFrame", 10, 10, viewportWidth + 20, h + 20);
    s.ui.viewportFrame = frame;

    QSlider *v = slider(frame, "glVSlider", Qt::Vertical, -100, 100, 0);
    v->setGeometry(viewportWidth + 2, 0, 18, h);
    QSlider *hs = slider(frame, "glHSlider", Qt::Horizontal, -100, 100, 0);
    hs->setGeometry(0, h + 2, viewportWidth, 18);
    for (QSlider *pan : {v, hs}) {
        pan->setSingleStep(1);
        pan->setPageStep(4);
        pan->setTracking(true);
    }
    connect(v, &QSlider::sliderReleased, this, &DzOrovistaPluginAction::panVerticalReset);
    connect(v, &QSlider::sliderMoved, this, &DzOrovistaPluginAction::panVertical);
    connect(v, &QSlider::valueChanged, this, &DzOrovistaPluginAction::panVerticalValueChanged);
    connect(hs, &QSlider::sliderReleased, this, &DzOrovistaPluginAction::panHorizontalReset);
    connect(hs, &QSlider::sliderMoved, this, &DzOrovistaPluginAction::panHorizontal);
    connect(hs, &QSlider::valueChanged, this, &DzOrovistaPluginAction::panHorizontalValueChanged);

    // The help balloon takes the viewport's place while the pointer rests on the help icon.
    auto *help = toolFrame(page, "HelpLabel", 10, 10, viewportWidth + 20, h + 20);
    // Drawn once in the middle of the frame, on the picture's own dark ground.
    help->setStyleSheet(QStringLiteral("QFrame#HelpLabel { background-image: url(") + resourcePath
                        + QStringLiteral("/resources/balloon.png); background-repeat: no-repeat; "
                                         "background-position: center; background-color: rgb(28,28,30); }"));
    help->hide();
    s.ui.helpLabel = help;
}

void DzOrovistaPluginAction::buildViewport()
{
    ProgramState &s = state();
    int depth = screen::colourDepth();
    runLog() << "Depth buffer precision: " << depth << "bit\n";
    if (depth < 24) {
        runLog() << "Poor depth buffer precision, defaulting to 24bit\n";
        depth = 24;
    }
    QSurfaceFormat format;
    format.setSwapInterval(0);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setDepthBufferSize(depth);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);

    auto *gl = new GLTerrain(format, s.ui.viewportFrame);
    gl->setMinimumSize(viewportWidth, 582 > viewportHeight() ? viewportHeight() : 582);
    gl->setGeometry(0, 0, viewportWidth, viewportHeight());
    s.ui.glTerrain = gl;
    // Ends the low-detail drawing shortly after the last wheel step, and brings the keyboard
    // focus back to the viewport.
    auto *wheel = new QTimer(gl);
    connect(wheel, &QTimer::timeout, gl, &GLTerrain::wheelTimeout);
    wheel->start(60);

    buildPopulateToolBars(s.ui.populateTab);
}

void DzOrovistaPluginAction::buildPopulateToolBars(QWidget *page)
{
    ProgramState &s = state();
    GLTerrain *gl = s.ui.glTerrain;
    const QString resources = resourcePath + QStringLiteral("/resources/");
    const int barY = viewportHeight() + 36;

    // Mode buttons and item tools under the viewport.
    QFrame *bar = toolFrame(page, "glToolBarFrame", 10, barY, 1130, 130);
    struct Mode { const char *name, *text, *tip; QPointer<QPushButton> WindowWidgets::*slot; };
    const Mode modes[] = {
        {"glTerrainButton", "TERRAIN MODE", "enter terrain Mode", &WindowWidgets::glTerrainButton},
        {"glPaintButton", "PAINT MODE", "enter paint Mode", &WindowWidgets::glPaintButton},
        {"glEditButton", "EDIT MODE", "enter edit Mode", &WindowWidgets::glEditButton},
        {"glSkyButton", "SKY DOME", "enter skydome Mode", &WindowWidgets::glSkyButton},
    };
    for (int i = 0; i < 4; ++i) {
        auto *b = new QPushButton(QString::fromLatin1(modes[i].text), bar);
        b->setObjectName(QString::fromLatin1(modes[i].name));
        b->setToolTip(QString::fromLatin1(modes[i].tip));
        b->setGeometry(0, i * 30, 112, 26);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, qOverload<>(&DzOrovistaPluginAction::setGLMode));
        s.ui.*modes[i].slot = b;
    }

    QFrame *tools = toolFrame(bar, "glItemToolsFrame", 120, 0, 360, 68);
    s.ui.itemToolsFrame = tools;
    struct Tool { const char *name, *icon, *tip; void (GLTerrain::*slot)(); };
    const Tool toolList[] = {
        {"glEditDeleteCurrentButton", "tool_delete.png", "delete selected item", &GLTerrain::deleteCurrentObject},
        {"glEditDeleteAllButton", "tool_delete_all.png", "delete all items", &GLTerrain::deleteAllObjects},
        {"glDeleteLastPaint", "tool_delete_last_batch.png", "delete last item in the stack", &GLTerrain::deleteLastItem},
        {"glRepositionItemsButton", "tool_reposition.png", "reposition items at the proper height", &GLTerrain::repositionItems},
        {"glDeformBelowZeroButton", "tool_below0.png", "paint below zero", &GLTerrain::setPaintBelowZero},
        {"glItemStackButton", "tool_stack.png", "stack items", &GLTerrain::setItemStack},
        {"glEnableBoundingBoxFeatureButton", "tool_bounding_all.png", "draw all items as boxes while moving",
         &GLTerrain::switchBoundingAll},
        {"glUndoButton", "tool_undo.png", "undo the last stroke, painting or item change (Ctrl+Z)", &GLTerrain::undo},
        {"glRedoButton", "tool_redo.png", "redo what was undone (Ctrl+Shift+Z)", &GLTerrain::redo},
    };
    for (int i = 0; i < 9; ++i) {
        auto *b = new QPushButton(tools);
        const QString name = QString::fromLatin1(toolList[i].name);
        b->setObjectName(name);
        b->setToolTip(QString::fromLatin1(toolList[i].tip));
        b->setGeometry(4 + i * 39, 16, 36, 36);
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet(style::toolButton(name, resources + QString::fromLatin1(toolList[i].icon)));
        connect(b, &QPushButton::clicked, gl, toolList[i].slot);
    }

    // The keys work anywhere on the tab but in a text field, which keeps its own undo.
    const std::pair<QKeySequence, void (GLTerrain::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), &GLTerrain::undo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &GLTerrain::redo},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), &GLTerrain::redo},
    };
    for (const auto &[key, slot] : keys) {
        auto *shortcut = new QShortcut(key, page);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, gl, slot);
    }

    // Item transform: shown in edit mode while an item is selected.
    QFrame *edit = toolFrame(bar, "glEditTransformFrame", 120, 70, 380, 60);
    edit->hide();
    s.ui.editTransformFrame = edit;
    struct Edit { const char *name, *label, *tip; int lo, hi; void (GLTerrain::*slot)(); };
    const Edit edits[] = {
        {"glXRotCurrentSpinBox", "x rot", "change selected item X-Rot angle", -359, 359, &GLTerrain::itemXRot},
        {"glYRotCurrentSpinBox", "y rot", "change selected item Y-Rot angle", -359, 359, &GLTerrain::itemYRot},
        {"glZRotCurrentSpinBox", "z rot", "change selected item Z-Rot angle", -359, 359, &GLTerrain::itemZRot},
        {"glscaleCurrentXSpinBox", "x scale", nullptr, -1000, 1000, &GLTerrain::itemScaleX},
        {"glscaleCurrentYSpinBox", "y scale", nullptr, -1000, 1000, &GLTerrain::itemScaleY},
        {"glscaleCurrentZSpinBox", "z scale", nullptr, -1000, 1000, &GLTerrain::itemScaleZ},
        {"glYOffsetSpinBox", "height", "offset the item on the Y axis", -999999, 999999, &GLTerrain::itemYOffset},
    };
    for (int i = 0; i < 7; ++i) {
        const int w = i == 6 ? 64 : 50;
        caption(edit, QString::fromLatin1(edits[i].label), QRect(i * 52, 4, w, 14));
        QSpinBox *b = spinBox(edit, edits[i].name, edits[i].lo, edits[i].hi, 0, QRect(i * 52, 22, w, 22));
        if (edits[i].tip)
            b->setToolTip(QString::fromLatin1(edits[i].tip));
        connect(b, &QSpinBox::editingFinished, gl, qOverload<>(edits[i].slot));
    }

    // Painting tools.
    QFrame *paint = toolFrame(bar, "glModifierToolsFrame", 520, 0, 610, 130);
    s.ui.modifierToolsFrame = paint;
    caption(paint, QStringLiteral("brush diameter"), QRect(0, 0, 90, 14));
    caption(paint, QStringLiteral("10/100"), QRect(90, 0, 60, 14))->setObjectName(QStringLiteral("glEcoDiameterLabel"));
    QSlider *diameter = slider(paint, "glEcoDiameterSlider", Qt::Horizontal, 1, 100, 10);
    diameter->setGeometry(0, 16, 140, 18);
    connect(diameter, &QSlider::sliderReleased, gl, &GLTerrain::EcoDiameterSliderReleased);
    caption(paint, QStringLiteral("vertical (Y axis)"), QRect(0, 40, 90, 14));
    caption(paint, QStringLiteral("normal"), QRect(104, 40, 40, 14));
    QSlider *perp = slider(paint, "glPerpVsNormalSlider", Qt::Horizontal, 0, 100, 20);
    perp->setGeometry(0, 56, 140, 18);
    s.ui.glPerpVsNormalSlider = perp;

    struct Spin { const char *name, *label, *tip; int lo, hi, value; };
    const Spin spins[] = {
        {"glEcoInstancesSpinBox", "instances per Shift-click", "set the number of instances to be deployed with each Shift-click", 1, 1000, 5},
        {"itemDistanceSpinBox", "distance", "set the minimum paint distance, in centimeters, from previous item", 0, 9999999, 100},
        {"ecoAngleRandomizationSpinBox", "eco angle", "set the angle randomization limits", 0, 359, 0},
        {"ecoScaleRandomizationSpinBox", "eco scale", "set the scale randomization limits", 0, 100, 0},
        {"ecoMxScaleSpinBox", "master scale", "force initial scale for selected prop", 0, 999999, 100},
    };
    const int spinX[] = {160, 305, 395, 460, 525};
    const int spinW[] = {60, 80, 55, 55, 74};
    for (int i = 0; i < 5; ++i) {
        QLabel *label = caption(paint, QString::fromLatin1(spins[i].label), QRect(spinX[i], 0, i == 0 ? 138 : spinW[i] + 8, 14));
        label->setObjectName(QString::fromLatin1(spins[i].name) + QStringLiteral("Label"));
        QSpinBox *b = spinBox(paint, spins[i].name, spins[i].lo, spins[i].hi, spins[i].value,
                              QRect(spinX[i], 16, spinW[i], 22));
        b->setToolTip(QString::fromLatin1(spins[i].tip));
        connect(b, &QSpinBox::editingFinished, gl, &GLTerrain::setGLFocus);
    }
    // Terrain mode shows the sculpting strength in the place of the instance count.
    caption(paint, QStringLiteral("sculpt strength"), QRect(spinX[0], 0, 138, 14))
        ->setObjectName(QStringLiteral("glBrushStrengthSpinBoxLabel"));
    QSpinBox *strength = spinBox(paint, "glBrushStrengthSpinBox", 1, 100000, 15, QRect(spinX[0], 16, spinW[0] + 20, 22));
    strength->setToolTip(QStringLiteral("how far a brush step raises (Shift: lowers) the ground at its centre, "
                                        "in sixteenths of a scene unit"));
    connect(strength, &QSpinBox::editingFinished, gl, &GLTerrain::setGLFocus);
    auto check = [](QWidget *parent, const char *name, const QString &text, const QRect &r) {
        auto *c = new QCheckBox(text, parent);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(r);
        c->setFocusPolicy(Qt::NoFocus);
        c->setStyleSheet(QStringLiteral("* { color: rgba(") + style::lightText + QStringLiteral("); }"));
        return c;
    };
    check(paint, "ecoAngleYOnlyCheckBox", QStringLiteral("rotate about y only"), QRect(160, 46, 150, 18))
        ->setToolTip(QStringLiteral("angle randomization applied only on Y axis"));
    check(paint, "ecoAngleYSnap", QStringLiteral("snap y angle"), QRect(160, 68, 150, 18))
        ->setToolTip(QStringLiteral("snap Y angles: 0-90-180-270"));
    check(paint, "ecoScaleYOnlyCheckBox", QStringLiteral("scale y only"), QRect(330, 46, 150, 18))
        ->setToolTip(QStringLiteral("scale transformations applied only on Y axis"));

    // Right column: light and camera, textures, sky.
    QFrame *side = toolFrame(page, "glSideToolsFrame", viewportWidth + 40, 10, 300, 880);
    struct Light { const char *name, *text; int lo, hi, value; void (GLTerrain::*slot)(int); };
    const QString degree = QString(QChar(0x00B0));
    const Light lights[] = {
        {"glLightPitchSlider", "openGL light pitch: 90", 0, 90, 90, &GLTerrain::glLightPitchSliderReleased},
        {"glLightAzimuthSlider", "openGL light azimuth: 45", 0, 360, 45, &GLTerrain::glLightAzimuthSliderReleased},
        {"glLightIntensitySlider", "openGL light intensity: 100", 0, 100, 100, &GLTerrain::glLightIntensitySliderReleased},
    };
    QLabel *lightCaptions[3];
    for (int i = 0; i < 3; ++i) {
        lightCaptions[i] = caption(side, QString::fromLatin1(lights[i].text) + (i < 2 ? degree : QStringLiteral("%")),
                                   QRect(0, i * 40, 290, 14));
        QSlider *l = slider(side, lights[i].name, Qt::Horizontal, lights[i].lo, lights[i].hi, lights[i].value);
        l->setGeometry(0, i * 40 + 16, 290, 18);
        connect(l, &QSlider::valueChanged, gl, lights[i].slot);
    }
    gl->setLightLabels(lightCaptions[0], lightCaptions[1], lightCaptions[2]);
    caption(side, QStringLiteral("camera speed: 5"), QRect(0, 120, 200, 14))->setObjectName(QStringLiteral("glCameraSpeedLabel"));
    QSlider *speed = slider(side, "glCameraSpeedSlider", Qt::Horizontal, 1, 20, 5);
    speed->setGeometry(0, 136, 200, 18);
    connect(speed, &QSlider::valueChanged, gl, &GLTerrain::glCameraSpeedSliderReleased);
    auto *resetViewButton = new QPushButton(QStringLiteral("reset view"), side);
    resetViewButton->setObjectName(QStringLiteral("resetView"));
    resetViewButton->setToolTip(QStringLiteral("reset camera or frame selected object"));
    resetViewButton->setGeometry(210, 132, 80, 24);
    resetViewButton->setFocusPolicy(Qt::NoFocus);
    resetViewButton->setStyleSheet(style::smallPushButton(QStringLiteral("resetView")));
    connect(resetViewButton, &QPushButton::released, this, &DzOrovistaPluginAction::resetView);

    auto textureButton = [&](const char *name, const QString &text, int y, void (GLTerrain::*slotFn)()) {
        auto *b = new QPushButton(text, side);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(0, y, 180, 24);
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet(style::smallPushButton(QString::fromLatin1(name)));
        connect(b, &QPushButton::clicked, gl, slotFn);
    };
    textureButton("glReferenceTerrainTexture", QStringLiteral("reference texture"), 175, &GLTerrain::loadReferenceTerrainTexture);
    connect(check(side, "referenceTextureOnOffCheckBox", QStringLiteral("show"), QRect(190, 178, 100, 18)),
            &QCheckBox::stateChanged, gl, &GLTerrain::setReferenceTextureOnOffCheckBox);
    textureButton("glMaskTerrainTexture", QStringLiteral("mask texture"), 210, &GLTerrain::loadMaskTerrainTexture);
    connect(check(side, "maskTextureDisplayOnOffCheckBox", QStringLiteral("show"), QRect(190, 213, 100, 18)),
            &QCheckBox::stateChanged, gl, &GLTerrain::setmaskTextureDisplayOnOffCheckBox);
    connect(check(side, "maskTextureOnOffCheckBox", QStringLiteral("use as mask"), QRect(190, 235, 100, 18)),
            &QCheckBox::stateChanged, gl, &GLTerrain::setMaskTextureOnOffCheckBox);

    QFrame *skyFrame = toolFrame(side, "glSkyFrame", 0, 270, 300, 600);
    skyFrame->hide();
    s.ui.skyFrame = skyFrame;
    // The sliders' names, ranges and labels come with the sky model.
    using SkySlot = void (GLTerrain::*)(int);
    const SkySlot skySlots[sky::skySliderCount] = {
        &GLTerrain::glSunPitchSliderReleased,        &GLTerrain::glSunAzimuthSliderReleased,
        &GLTerrain::glrSkyMxSliderReleased,          &GLTerrain::glgSkyMxSliderReleased,
        &GLTerrain::glbSkyMxSliderReleased,          &GLTerrain::TurbiditySliderReleased,
        &GLTerrain::glHorizonBrightnessSliderReleased, &GLTerrain::glHorizonLuminanceGradientSliderReleased,
        &GLTerrain::glSolarRegionIntensitySliderReleased, &GLTerrain::glSolarRegionWidthSliderReleased,
        &GLTerrain::glBackscatterLightSliderReleased, &GLTerrain::glStarIntensitySliderReleased,
        &GLTerrain::glStarPopulationSliderReleased,
    };
    for (int i = 0; i < sky::skySliderCount; ++i) {
        const sky::SkySliderInfo &info = sky::skySliders()[i];
        const QString label = sky::sliderLabel(info.slider, info.startValue);
        const QString name = QString::fromLatin1(info.objectName);
        QLabel *text = caption(skyFrame, label, QRect(0, i * 40, 290, 14));
        text->setObjectName(name + QStringLiteral("Label"));
        QSlider *k = slider(skyFrame, info.objectName, Qt::Horizontal, info.minimum, info.maximum, info.startValue);
        k->setGeometry(0, i * 40 + 16, 290, 18);
        connect(k, &QSlider::valueChanged, gl, skySlots[i]);
    }
    auto *skyReset = new QPushButton(QStringLiteral("reset sky"), skyFrame);
    skyReset->setObjectName(QStringLiteral("glSkyResetButton"));
    skyReset->setGeometry(0, 13 * 40 + 8, 100, 24);
    skyReset->setFocusPolicy(Qt::NoFocus);
    skyReset->setStyleSheet(style::smallPushButton(QStringLiteral("glSkyResetButton")));
    connect(skyReset, &QPushButton::released, gl, &GLTerrain::glSkyResetButtonClicked);
}

void DzOrovistaPluginAction::setGLMode()
{
    const QString name = sender() ? sender()->objectName() : QString();
    const int mode = name == QLatin1String("glPaintButton")     ? PaintMode
                     : name == QLatin1String("glEditButton")    ? EditMode
                     : name == QLatin1String("glTerrainButton") ? TerrainMode
                     : name == QLatin1String("glSkyButton")     ? SkyMode
                                                                : 0;
    if (mode)
        selectGLMode(mode);
}

void DzOrovistaPluginAction::selectGLMode(int m)
{
    ProgramState &s = state();
    WindowWidgets &ui = s.ui;
    const QPointer<QPushButton> buttons[] = {ui.glPaintButton, ui.glEditButton, ui.glTerrainButton, ui.glSkyButton};
    for (const auto &b : buttons)
        if (b)
            b->setStyleSheet(style::smallPushButton(b->objectName(), style::darkButton));
    if (QPushButton *chosen = buttons[m - 1])
        chosen->setStyleSheet(style::smallPushButton(chosen->objectName(), style::accent));

    auto setVisible = [](QWidget *w, bool on) {
        if (w)
            w->setVisible(on);
    };
    if (m != EditMode) {
        setVisible(ui.editTransformFrame, false);
        if (ui.glTerrain)
            ui.glTerrain->clearSelection();
    }
    setVisible(ui.itemToolsFrame, m != SkyMode);
    setVisible(ui.modifierToolsFrame, m != SkyMode);
    setVisible(ui.skyFrame, m == SkyMode);
    setVisible(ui.libraryFrame, m != SkyMode);
    // The first number of the painting tools is the sculpt strength in terrain mode and the
    // instance count elsewhere.
    if (QWidget *tools = ui.modifierToolsFrame) {
        for (const char *name : {"glBrushStrengthSpinBox", "glBrushStrengthSpinBoxLabel"})
            if (QWidget *w = tools->findChild<QWidget *>(QString::fromLatin1(name)))
                w->setVisible(m == TerrainMode);
        for (const char *name : {"glEcoInstancesSpinBox", "glEcoInstancesSpinBoxLabel"})
            if (QWidget *w = tools->findChild<QWidget *>(QString::fromLatin1(name)))
                w->setVisible(m != TerrainMode);
    }
    // The right column reaches down beside the tool bar (the sky's reset button lies there); the
    // frame on top takes the clicks where they overlap: the bar's painting boxes, or in sky mode
    // the sky controls.
    if (QWidget *page = ui.populateTab) {
        QWidget *bar = page->findChild<QFrame *>(QStringLiteral("glToolBarFrame"));
        QWidget *side = page->findChild<QFrame *>(QStringLiteral("glSideToolsFrame"));
        if (QWidget *top = m == SkyMode ? side : bar)
            top->raise();
    }
    if (m == TerrainMode && ui.glPerpVsNormalSlider)
        ui.glPerpVsNormalSlider->setValue(ui.glPerpVsNormalSlider->minimum());

    s.glMode = m;
    if (ui.glTerrain) {
        ui.glTerrain->setMode(m);
        ui.glTerrain->setFocus(Qt::OtherFocusReason);
    }
}

void DzOrovistaPluginAction::updateTab(int index)
{
    ProgramState &s = state();
    WindowWidgets &ui = s.ui;
    if (!ui.mainFrame)
        return;
    const bool populate = index == 1;
    if (ui.holdOnLabel)
        ui.holdOnLabel->clear();

    ui.helpIcon->setGeometry(W - 216, H - 19, populate ? 16 : 1, populate ? 16 : 1);
    if (populate && !s.windowFitsScreen && scrollArea && ui.viewportFrame)
        scrollArea->ensureWidgetVisible(ui.viewportFrame);

    QWidget *const bottomRow[] = {ui.statusLine, ui.autoButton, ui.resetButton, ui.quitButton, ui.helpIcon};
    const int xs[] = {1, W - 190, W - 130, W - 70, W - 216};
    if (populate && !s.windowFitsScreen && s.platformName != QLatin1String("Windows")) {
        ui.mainFrame->setGeometry(0, 0, W, H - 200);
        ui.populateTab->resize(W - 40, H - 267);
        for (int i = 0; i < 5; ++i) {
            bottomRow[i]->move(xs[i], i == 0 ? H - 221 : H - 219);
            bottomRow[i]->raise();
        }
    } else {
        ui.mainFrame->setGeometry(0, 0, W, H);
        for (int i = 0; i < 5; ++i)
            bottomRow[i]->move(xs[i], i == 0 ? H - 21 : H - 19);
    }

    if (index == 2) {
        const bool generated = !s.customTerrain;
        ui.textureSize->setEnabled(generated);
        if (generated && ui.normalMapSize->currentIndex() > 0)
            generateFinalNormalMap(false, false);
        ui.drawBoxStyle->setChecked(s.sceneTriangles > 1000000);
        ui.enableSubDivision->setEnabled(generated);
    }
    ui.triangleLabel->setVisible(populate || index == 2);
}
