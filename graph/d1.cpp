#include "graph/d1.h"

#include "graph/nodepanel.h"
#include "plugin/programstate.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace orovista;

namespace {

const int presetColumns = 4;
const int presetButtonSide = 36;

/// The number after "_" in a preset button's object name; −1 when there is none.
int profileOf(const QObject *button)
{
    if (!button)
        return -1;
    const QString name = button->objectName();
    const int underscore = name.lastIndexOf(QLatin1Char('_'));
    bool ok = false;
    const int n = name.mid(underscore + 1).toInt(&ok);
    return underscore >= 0 && ok ? n : -1;
}

}   // namespace

D1::D1(int s) : slot(s) {}

QString D1::pictureName(bool texture) const
{
    return QString::fromLatin1(texture ? "TD%1noisePreview.jpg" : "HD%1noisePreview.jpg").arg(slot + 1);
}

QFrame *D1::typeFrame(QWidget *page, const char *name, const char *text, QPointer<QLabel> &label)
{
    auto *frame = new QFrame(page);
    frame->setObjectName(QLatin1String(name) + QStringLiteral("Frame"));
    auto *box = new QVBoxLayout(frame);
    box->setContentsMargins(0, 2, 0, 0);
    box->setSpacing(3);
    label = panel::label(frame, QLatin1String(name) + QStringLiteral("Label"), QLatin1String(text));
    box->addWidget(label);
    return frame;
}

QFrame *D1::profilesFrame(QWidget *parent, const char *frameName, const char *buttonPrefix, int count,
                          QList<QPointer<QToolButton>> &buttons)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(frameName));
    auto *box = new QVBoxLayout(frame);
    box->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(frame);
    scroll->setObjectName(QLatin1String(frameName) + QStringLiteral("ScrollArea"));
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: rgba(40,40,40,255); border: 1px solid "
                                         "rgba(80,80,80,255); }"));
    auto *grid = new QWidget;
    grid->setObjectName(QLatin1String(frameName) + QStringLiteral("Grid"));
    grid->setStyleSheet(QStringLiteral("QWidget#") + grid->objectName() +
                        QStringLiteral(" { background: rgba(40,40,40,255); }"));
    auto *layout = new QGridLayout(grid);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);
    buttons.clear();
    const QString pictures = resourcePath + QStringLiteral("/resources/");
    for (int n = 0; n < count; ++n) {
        auto *b = new QToolButton(grid);
        b->setObjectName(QLatin1String(buttonPrefix) + QString::number(n));
        b->setFixedSize(presetButtonSide, presetButtonSide);
        b->setFocusPolicy(Qt::NoFocus);
        const QString picture = pictures + QStringLiteral("curve_") + QString::number(n) + QStringLiteral(".jpg");
        if (QFileInfo::exists(picture)) {
            b->setIcon(QIcon(picture));
            b->setIconSize(QSize(presetButtonSide - 4, presetButtonSide - 4));
        }
        b->setToolTip(QStringLiteral("preset ") + QString::number(n));
        layout->addWidget(b, n / presetColumns, n % presetColumns);
        buttons.append(b);
    }
    scroll->setWidget(grid);
    box->addWidget(scroll);
    return frame;
}

void D1::highlight(const QList<QPointer<QToolButton>> &buttons, int chosen)
{
    for (const QPointer<QToolButton> &b : buttons)
        if (b)
            b->setStyleSheet(panel::presetButtonStyle(false));
    if (chosen >= 0 && chosen < buttons.size() && buttons[chosen])
        buttons[chosen]->setStyleSheet(panel::presetButtonStyle(true));
}

void D1::buildPanel(QWidget *terrainTab)
{
    resourcePath = pluginsPath() + QStringLiteral("/orovistaData");
    const QString name = slot == 0 ? QStringLiteral("D1Panel") : QStringLiteral("D2Panel");
    m_panel = makeNodePanel(terrainTab, name, name + QStringLiteral("Page"), QSize(190, 305));
    QWidget *page = m_panel->widget(0);
    D1TerrainType = panel::comboBox(page, QStringLiteral("D1TerrainType"), deformerTypeNames);
    D1TerrainType->setCurrentIndex(int(DeformerType::Clamp));
    D1PreviewLabel = panel::previewLabel(page, QStringLiteral("D1PreviewLabel"), 110);
    D1ResetButton = panel::button(page, QStringLiteral("D1ResetButton"), QStringLiteral("reset"),
                                  QStringLiteral("reset deformer"));
    QVBoxLayout *box = panel::nodeHead(page, D1TerrainType, D1PreviewLabel, D1ResetButton);

    // One frame per type that has settings; only the current type's frame shows.
    auto valueRow = [](QFrame *frame, std::initializer_list<QWidget *> widgets) {
        auto *row = new QHBoxLayout;
        row->setSpacing(4);
        for (QWidget *w : widgets)
            row->addWidget(w, 1);
        static_cast<QVBoxLayout *>(frame->layout())->addLayout(row);
        static_cast<QVBoxLayout *>(frame->layout())->addStretch(1);
    };

    D1ClampFrame = typeFrame(page, "D1Clamp", "bounds", D1ClampLabel);
    D1ClampLowerSpinBox = panel::spinBox(D1ClampFrame, QStringLiteral("D1ClampLowerSpinBox"), -100, 100, -100,
                                         QStringLiteral("lower bound"));
    D1ClampUpperSpinBox = panel::spinBox(D1ClampFrame, QStringLiteral("D1ClampUpperSpinBox"), -100, 100, 100,
                                         QStringLiteral("upper bound"));
    D1ClampButton = panel::button(D1ClampFrame, QStringLiteral("D1ClampButton"), QStringLiteral("set"),
                                  QStringLiteral("apply the bounds"));
    valueRow(D1ClampFrame, {D1ClampLowerSpinBox, D1ClampUpperSpinBox, D1ClampButton});

    D1CurveFrame = typeFrame(page, "D1Curve", "curve presets", D1CurveLabel);
    D1CurveProfilesFrame = profilesFrame(D1CurveFrame, "D1CurveProfilesFrame", "curve_", curveProfileCount,
                                         curveButtons);
    D1CurveFrame->layout()->addWidget(D1CurveProfilesFrame);
    D1CurvePointsSlider = panel::slider(D1CurveFrame, QStringLiteral("D1CurvePointsSlider"), 2, 10, 2);
    D1CurvePointsSlider->hide();

    D1ExponentFrame = typeFrame(page, "D1Exponent", "exponent", D1ExponentLabel);
    D1ExponentSpinBox = panel::spinBox(D1ExponentFrame, QStringLiteral("D1ExponentSpinBox"), 1, 100, 1);
    D1ExponentButton = panel::button(D1ExponentFrame, QStringLiteral("D1ExponentButton"), QStringLiteral("set"),
                                     QStringLiteral("apply the exponent"));
    valueRow(D1ExponentFrame, {D1ExponentSpinBox, D1ExponentButton});

    D1ScaleBiasFrame = typeFrame(page, "D1ScaleBias", "scale-bias", D1ScaleBiasLabel);
    D1ScaleBiasLowerSpinBox = panel::spinBox(D1ScaleBiasFrame, QStringLiteral("D1ScaleBiasLowerSpinBox"), -100, 100,
                                             10, QStringLiteral("scale (x 0.1)"));
    D1ScaleBiasUpperSpinBox = panel::spinBox(D1ScaleBiasFrame, QStringLiteral("D1ScaleBiasUpperSpinBox"), -500, 500,
                                             0, QStringLiteral("bias (x 0.01)"));
    D1ScaleBiasButton = panel::button(D1ScaleBiasFrame, QStringLiteral("D1ScaleBiasButton"), QStringLiteral("set"),
                                      QStringLiteral("apply scale and bias"));
    valueRow(D1ScaleBiasFrame, {D1ScaleBiasLowerSpinBox, D1ScaleBiasUpperSpinBox, D1ScaleBiasButton});

    D1TerraceFrame = typeFrame(page, "D1Terrace", "terrace presets", D1TerraceLabel);
    D1TerraceProfilesFrame = profilesFrame(D1TerraceFrame, "D1TerraceProfilesFrame", "terrace_",
                                           terraceProfileCount, terraceButtons);
    D1TerraceFrame->layout()->addWidget(D1TerraceProfilesFrame);
    D1TerracePointsSlider = panel::slider(D1TerraceFrame, QStringLiteral("D1TerracePointsSlider"), 2, 10, 2);
    D1TerracePointsSlider->hide();

    for (QFrame *f : {D1ClampFrame.data(), D1CurveFrame.data(), D1ExponentFrame.data(), D1ScaleBiasFrame.data(),
                      D1TerraceFrame.data()})
        box->addWidget(f, 1);

    // The node keeps its profiles across a rebuilt window.
    highlight(curveButtons, curveProfile);
    highlight(terraceButtons, terraceProfile);
    setControlsVisibility();
    panel::showPicture(D1PreviewLabel, panel::mapsFolder() + pictureName(!state().greyscaleMapMode));
}

void D1::connectPanel()
{
    connect(D1TerrainType, &QComboBox::currentTextChanged, this, qOverload<const QString &>(&D1::D1ChooseNoise));
    for (QPushButton *b : {D1ClampButton.data(), D1ExponentButton.data(), D1ScaleBiasButton.data()})
        connect(b, &QPushButton::released, this, qOverload<>(&D1::D1ChooseNoise));
    for (QSlider *s : {D1CurvePointsSlider.data(), D1TerracePointsSlider.data()})
        connect(s, &QSlider::sliderReleased, this, qOverload<>(&D1::D1ChooseNoise));
    connect(D1ResetButton, &QPushButton::released, this, &D1::D1ResetAll);
    for (const QPointer<QToolButton> &b : curveButtons)
        connect(b, &QToolButton::clicked, this, &D1::curveItemClicked);
    for (const QPointer<QToolButton> &b : terraceButtons)
        connect(b, &QToolButton::clicked, this, &D1::terraceItemClicked);
}

void D1::setControlsVisibility()
{
    if (!D1TerrainType)
        return;
    const DeformerType type = DeformerType(D1TerrainType->currentIndex());
    const std::pair<QFrame *, DeformerType> frames[] = {{D1ClampFrame, DeformerType::Clamp},
                                                        {D1CurveFrame, DeformerType::Curve},
                                                        {D1ExponentFrame, DeformerType::Exponent},
                                                        {D1ScaleBiasFrame, DeformerType::ScaleBias},
                                                        {D1TerraceFrame, DeformerType::Terrace}};
    for (const auto &[frame, owner] : frames)
        frame->setVisible(owner == type);
}

void D1::D1ChooseNoise(const QString &)
{
    setControlsVisibility();
    noiseParameterChanged();
}

void D1::D1ChooseNoise()
{
    setControlsVisibility();
    noiseParameterChanged();
}

void D1::selectCurveProfile(int profile)
{
    // A number outside the table (a hand-edited preset) means no preset.
    if (profile < 0 || profile >= curveProfileCount)
        profile = 0;
    curveProfile = profile;
    highlight(curveButtons, profile);
}

void D1::selectTerraceProfile(int profile)
{
    if (profile < 0 || profile >= terraceProfileCount)
        profile = 0;
    terraceProfile = profile;
    highlight(terraceButtons, profile);
}

void D1::presetClicked(bool curve)
{
    const int n = profileOf(sender());
    if (n < 0 || n >= (curve ? curveProfileCount : terraceProfileCount))
        return;
    if (curve)
        selectCurveProfile(n);
    else
        selectTerraceProfile(n);
    noiseParameterChanged();
}

void D1::curveItemClicked() { presetClicked(true); }

void D1::terraceItemClicked() { presetClicked(false); }

void D1::D1ResetAll()
{
    NoiseSettings s;
    s.deformer[slot] = DeformerSettings();   // "Clamp", −100 … 100, exponent 1, scale 10, bias 0, profiles 0
    applySettings(s);
    for (QSlider *points : {D1CurvePointsSlider.data(), D1TerracePointsSlider.data()}) {
        const QSignalBlocker block(points);
        points->setValue(2);
    }
    ProgramState &st = state();
    generateNoiseMaps(st.terrainCreated, st.previewSize, false);
}

void D1::readSettings(NoiseSettings &s) const
{
    DeformerSettings &d = s.deformer[slot];
    d.curveProfile = curveProfile;
    d.terraceProfile = terraceProfile;
    if (!D1TerrainType)
        return;
    d.type = D1TerrainType->currentIndex();
    d.clampLow = D1ClampLowerSpinBox->value();
    d.clampHigh = D1ClampUpperSpinBox->value();
    d.exponent = D1ExponentSpinBox->value();
    d.scaleBiasLow = D1ScaleBiasLowerSpinBox->value();
    d.scaleBiasHigh = D1ScaleBiasUpperSpinBox->value();
}

void D1::applySettings(const NoiseSettings &s)
{
    const DeformerSettings &d = s.deformer[slot];
    selectCurveProfile(d.curveProfile);
    selectTerraceProfile(d.terraceProfile);
    if (!D1TerrainType)
        return;
    {
        const QSignalBlocker block(D1TerrainType);
        D1TerrainType->setCurrentIndex(d.type);
    }
    const std::pair<QSpinBox *, int> spins[] = {{D1ClampLowerSpinBox, d.clampLow},
                                                {D1ClampUpperSpinBox, d.clampHigh},
                                                {D1ExponentSpinBox, d.exponent},
                                                {D1ScaleBiasLowerSpinBox, d.scaleBiasLow},
                                                {D1ScaleBiasUpperSpinBox, d.scaleBiasHigh}};
    for (const auto &[box, value] : spins) {
        const QSignalBlocker block(box);
        box->setValue(value);
    }
    setControlsVisibility();
}
