#include "graph/c1.h"

#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/random.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace orovista;

namespace {
const int imageIndex = int(NoiseType::Image);
}   // namespace

C1::C1() = default;

GeneratorControls C1::generator() const
{
    GeneratorControls g;
    g.type = C1NoiseType;
    g.sliders = {C1FrequencySlider,   C1LacunaritySlider,  C1QualitySlider,
                 C1OctavesSlider,     C1PersistenceSlider, C1DisplacementSlider};
    g.labels = {C1FrequencyLabel,   C1LacunarityLabel,  C1QualityLabel,
                C1OctavesLabel,     C1PersistenceLabel, C1DisplacementLabel};
    return g;
}

bool C1::usesControlNoise() const
{
    if (!C1TerrainType)
        return false;
    const auto type = CombinerType(C1TerrainType->currentIndex());
    return type == CombinerType::Blend || type == CombinerType::Select;
}

void C1::buildPanel(QWidget *terrainTab)
{
    m_ready = false;
    const QString name = QStringLiteral("C1Panel");
    m_panel = makeNodePanel(terrainTab, name, name + QStringLiteral("Page"), fullSize);
    // The controls keep their full size; collapsing the panel clips them.
    auto *content = new QWidget(m_panel->widget(0));
    content->setObjectName(QStringLiteral("C1Content"));
    content->setFixedSize(fullSize.width() - 4, fullSize.height() - 26);
    auto *columns = new QHBoxLayout(content);
    columns->setContentsMargins(5, 3, 5, 3);
    columns->setSpacing(10);

    C1PreviewLabel = panel::previewLabel(content, QStringLiteral("C1PreviewLabel"), 78);
    columns->addWidget(C1PreviewLabel, 0, Qt::AlignTop);

    auto *types = new QVBoxLayout;
    types->setSpacing(3);
    C1TerrainType = panel::comboBox(content, QStringLiteral("C1TerrainType"), combinerTypeNames);
    C1TerrainType->setToolTip(QStringLiteral("how the two branches are combined"));
    C1NoiseType = panel::comboBox(content, QStringLiteral("C1NoiseType"), noiseTypeNames);
    C1NoiseType->setToolTip(QStringLiteral("control noise of Blend and Select"));
    auto *buttons = new QHBoxLayout;
    C1SeedButton = panel::button(content, QStringLiteral("C1SeedButton"), QStringLiteral("reseed"),
                                 QStringLiteral("reseed noise map"));
    C1CollapseCheckBox = new QCheckBox(QStringLiteral("all controls"), content);
    C1CollapseCheckBox->setObjectName(QStringLiteral("C1CollapseCheckBox"));
    C1CollapseCheckBox->setToolTip(QStringLiteral("show or hide the control noise settings"));
    C1CollapseCheckBox->setFocusPolicy(Qt::NoFocus);
    C1CollapseCheckBox->setChecked(true);
    buttons->addWidget(C1SeedButton, 1);
    buttons->addWidget(C1CollapseCheckBox);
    types->addWidget(C1TerrainType);
    types->addWidget(C1NoiseType);
    types->addLayout(buttons);
    types->addStretch(1);
    auto *typeColumn = new QWidget(content);
    typeColumn->setLayout(types);
    types->setContentsMargins(0, 0, 0, 0);
    typeColumn->setFixedWidth(collapsedSize.width() - 78 - 26);
    columns->addWidget(typeColumn);

    const auto rows = GeneratorControls::makeRows(content, QStringLiteral("C1"), GeneratorControls::combinerRanges);
    C1FrequencySlider = rows[0].slider, C1FrequencyLabel = rows[0].label;
    C1LacunaritySlider = rows[1].slider, C1LacunarityLabel = rows[1].label;
    C1QualitySlider = rows[2].slider, C1QualityLabel = rows[2].label;
    C1OctavesSlider = rows[3].slider, C1OctavesLabel = rows[3].label;
    C1PersistenceSlider = rows[4].slider, C1PersistenceLabel = rows[4].label;
    C1DisplacementSlider = rows[5].slider, C1DisplacementLabel = rows[5].label;
    const panel::SliderRow falloff = panel::sliderRow(content, QStringLiteral("C1EdgeFalloffSlider"),
                                                      QStringLiteral("C1EdgeFalloffLabel"), QStringLiteral("falloff"),
                                                      -100, 100, 0, 0.01);
    C1EdgeFalloffSlider = falloff.slider, C1EdgeFalloffLabel = falloff.label;

    // Two columns of rows that keep their place when rows hide.
    QVBoxLayout *column[2];
    for (QVBoxLayout *&c : column) {
        auto *holder = new QWidget(content);
        holder->setFixedWidth(168);
        c = new QVBoxLayout(holder);
        c->setContentsMargins(0, 0, 0, 0);
        c->setSpacing(3);
        columns->addWidget(holder);
    }
    for (int i = 0; i < GeneratorControls::RowCount; ++i)
        column[i < 4 ? 0 : 1]->addLayout(rows[i].row);
    column[1]->addLayout(falloff.row);
    for (QVBoxLayout *c : column)
        c->addStretch(1);
    columns->addStretch(1);

    setControlsVisibility();
    panel::showPicture(C1PreviewLabel, panel::mapsFolder() + QStringLiteral("C1noisePreview.jpg"));
}

void C1::connectPanel()
{
    const auto chooseType = qOverload<const QString &>(&C1::C1ChooseNoise);
    connect(C1TerrainType, &QComboBox::currentTextChanged, this, chooseType);
    connect(C1NoiseType, &QComboBox::textActivated, this, &C1::C1ActivateNoise);
    connect(C1NoiseType, &QComboBox::currentTextChanged, this, chooseType);
    connect(C1SeedButton, &QPushButton::released, this, &C1::C1ReSeed);
    for (QSlider *s : generator().allSliders())
        connect(s, &QSlider::sliderReleased, this, qOverload<>(&C1::C1ChooseNoise));
    connect(C1EdgeFalloffSlider, &QSlider::sliderReleased, this, qOverload<>(&C1::C1ChooseNoise));
    connect(C1CollapseCheckBox, &QCheckBox::stateChanged, this, &C1::C1Collapse);
    m_ready = true;
}

void C1::setControlsVisibility()
{
    if (!C1TerrainType)
        return;
    const GeneratorControls g = generator();
    g.updateVisibility();
    const QString colour = usesControlNoise() ? panel::labelColour : panel::greyedColour;
    for (QLabel *l : g.labels)
        l->setStyleSheet(panel::labelStyle(l->objectName(), colour));
    const bool select = CombinerType(C1TerrainType->currentIndex()) == CombinerType::Select;
    panel::setRowVisible(C1EdgeFalloffLabel, C1EdgeFalloffSlider, select);
}

void C1::C1ChooseNoise(const QString &type)
{
    if (!m_ready || type == noiseTypeNames[imageIndex])
        return;
    setControlsVisibility();
    noiseParameterChanged();
}

void C1::C1ChooseNoise()
{
    setControlsVisibility();
    noiseParameterChanged();
}

void C1::C1ActivateNoise(const QString &type)
{
    if (type != noiseTypeNames[imageIndex])
        return;
    const QString file = chooseNoiseImage(m_panel, imageFileName);
    if (file.isEmpty()) {
        dialogs::error(m_panel, QStringLiteral("no image chosen, selecting constant noise"));
        C1NoiseType->setCurrentIndex(int(NoiseType::Flat));   // runs through C1ChooseNoise(QString)
        return;
    }
    imageFileName = file;
    state().warnedNoiseImages.removeAll(file);   // a file chosen again is told about again
    setControlsVisibility();
    ProgramState &s = state();
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);
}

void C1::C1ReSeed()
{
    if (!C1NoiseType || !GeneratorControls::typeTakesSeed(C1NoiseType->currentText()))
        return;
    seed = random::freshNodeSeed();
    ProgramState &s = state();
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);
}

void C1::C1Collapse(int checkState)
{
    if (m_panel)
        m_panel->resize(checkState == Qt::Unchecked ? collapsedSize : fullSize);
}

void C1::readSettings(NoiseSettings &s) const
{
    CombinerSettings &c = s.combiner;
    c.control.seed = seed;
    c.control.imageFile = imageFileName;
    if (!C1TerrainType)
        return;
    c.type = C1TerrainType->currentIndex();
    generator().read(c.control);
    c.edgeFalloff = C1EdgeFalloffSlider->value();
}

void C1::applySettings(const NoiseSettings &s)
{
    const CombinerSettings &c = s.combiner;
    seed = c.control.seed;
    imageFileName = c.control.imageFile;
    if (!C1TerrainType)
        return;
    {
        const QSignalBlocker block(C1TerrainType);
        C1TerrainType->setCurrentIndex(c.type);
    }
    generator().apply(c.control);
    {
        const QSignalBlocker block(C1EdgeFalloffSlider);
        C1EdgeFalloffSlider->setValue(c.edgeFalloff);
    }
    setControlsVisibility();
}
