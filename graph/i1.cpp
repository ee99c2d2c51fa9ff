#include "graph/i1.h"

#include "plugin/programstate.h"
#include "plugin/random.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace orovista;

namespace {
const int imageIndex = int(NoiseType::Image);
}   // namespace

I1::I1(int s) : slot(s), seed(random::freshNodeSeed()) {}

GeneratorControls I1::generator() const
{
    GeneratorControls g;
    g.type = I1TerrainType;
    g.sliders = {I1FrequencySlider,   I1LacunaritySlider,  I1QualitySlider,
                 I1OctavesSlider,     I1PersistenceSlider, I1DisplacementSlider};
    g.labels = {I1FrequencyLabel,   I1LacunarityLabel,  I1QualityLabel,
                I1OctavesLabel,     I1PersistenceLabel, I1DisplacementLabel};
    return g;
}

QString I1::pictureName(bool texture) const
{
    return QString::fromLatin1(texture ? "TI%1noisePreview.jpg" : "HI%1noisePreview.jpg").arg(slot + 1);
}

void I1::buildPanel(QWidget *terrainTab)
{
    m_ready = false;
    const QString name = slot == 0 ? QStringLiteral("I1Panel") : QStringLiteral("I2Panel");
    m_panel = makeNodePanel(terrainTab, name, name + QStringLiteral("Page"), QSize(190, 360));
    QWidget *page = m_panel->widget(0);
    I1TerrainType = panel::comboBox(page, QStringLiteral("I1TerrainType"), noiseTypeNames);
    I1PreviewLabel = panel::previewLabel(page, QStringLiteral("I1PreviewLabel"), 124);
    I1SeedButton = panel::button(page, QStringLiteral("I1SeedButton"), QStringLiteral("reseed"),
                                 QStringLiteral("reseed noise map"));
    QVBoxLayout *box = panel::nodeHead(page, I1TerrainType, I1PreviewLabel, I1SeedButton);

    const auto rows = GeneratorControls::makeRows(page, QStringLiteral("I1"), GeneratorControls::inputRanges);
    for (const panel::SliderRow &r : rows)
        box->addLayout(r.row);
    I1FrequencySlider = rows[0].slider, I1FrequencyLabel = rows[0].label;
    I1LacunaritySlider = rows[1].slider, I1LacunarityLabel = rows[1].label;
    I1QualitySlider = rows[2].slider, I1QualityLabel = rows[2].label;
    I1OctavesSlider = rows[3].slider, I1OctavesLabel = rows[3].label;
    I1PersistenceSlider = rows[4].slider, I1PersistenceLabel = rows[4].label;
    I1DisplacementSlider = rows[5].slider, I1DisplacementLabel = rows[5].label;

    buildMultiFractalFrame(page);
    box->addWidget(I1MultiFractalFrame);
    buildGaborFrame(page);
    box->addWidget(I1GaborNoiseFrame);
    box->addStretch(1);

    // The window is rebuilt from the start values; the node keeps its seed and image file.
    m_lastNonImageIndex = 0;
    hideGeneratorSliders();
    panel::showPicture(I1PreviewLabel, panel::mapsFolder() + pictureName(!state().greyscaleMapMode));
}

void I1::buildMultiFractalFrame(QWidget *page)
{
    I1MultiFractalFrame = new QFrame(page);
    I1MultiFractalFrame->setObjectName(QStringLiteral("I1MultiFractalFrame"));
    auto *grid = new QGridLayout(I1MultiFractalFrame);
    grid->setContentsMargins(0, 2, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    struct Spin {
        QPointer<QSpinBox> &box;
        QPointer<QLabel> &label;
        const char *name, *text, *tip;
        int lo, hi;
    };
    const Spin spins[] = {
        {I1MultiFractalOffsetSpinBox, I1MultiFractalOffsetLabel, "I1MultiFractalOffset", "offset",
         "Set MultiFractal Offset: values between -100 and +100", -100, 100},
        {I1MultiFractalGainSpinBox, I1MultiFractalGainLabel, "I1MultiFractalGain", "gain",
         "Set MultiFractal Gain: values between -200 and +200", -200, 200},
        {I1MultiFractalWeightSpinBox, I1MultiFractalWeightLabel, "I1MultiFractalWeight", "weight",
         "Set MultiFractal Octave Weight: values between 0 and 100", 0, 100},
    };
    int column = 0;
    for (const Spin &s : spins) {
        const QString name = QLatin1String(s.name);
        s.label = panel::label(I1MultiFractalFrame, name + QStringLiteral("Label"), QLatin1String(s.text));
        s.box = panel::spinBox(I1MultiFractalFrame, name + QStringLiteral("SpinBox"), s.lo, s.hi, s.hi,
                               QLatin1String(s.tip));
        grid->addWidget(s.label, 0, column);
        grid->addWidget(s.box, 1, column);
        ++column;
    }
    I1MultiFractalButton = panel::button(I1MultiFractalFrame, QStringLiteral("I1MultiFractalButton"),
                                         QStringLiteral("apply"),
                                         QStringLiteral("Regenerate the MultiFractal noise map"));
    grid->addWidget(I1MultiFractalButton, 2, 0, 1, 3);
}

void I1::buildGaborFrame(QWidget *page)
{
    I1GaborNoiseFrame = new QFrame(page);
    I1GaborNoiseFrame->setObjectName(QStringLiteral("I1GaborNoiseFrame"));
    auto *row = new QHBoxLayout(I1GaborNoiseFrame);
    row->setContentsMargins(0, 2, 0, 0);
    I1GaborAnisoCheckBox = new QCheckBox(QStringLiteral("anisotropic"), I1GaborNoiseFrame);
    I1GaborAnisoCheckBox->setObjectName(QStringLiteral("I1GaborAnisoCheckBox"));
    I1GaborAnisoCheckBox->setFocusPolicy(Qt::NoFocus);
    row->addWidget(I1GaborAnisoCheckBox);
}

void I1::connectPanel()
{
    connect(I1TerrainType, &QComboBox::currentTextChanged, this, qOverload<const QString &>(&I1::I1ChooseNoise));
    connect(I1TerrainType, &QComboBox::textActivated, this, &I1::I1ActivateNoise);
    connect(I1SeedButton, &QPushButton::released, this, &I1::I1ReSeed);
    for (QSlider *s : generator().allSliders())
        connect(s, &QSlider::sliderReleased, this, qOverload<>(&I1::I1ChooseNoise));
    connect(I1MultiFractalButton, &QPushButton::released, this, qOverload<>(&I1::I1ChooseNoise));
    connect(I1GaborAnisoCheckBox, &QCheckBox::stateChanged, this, &I1::I1GaborAniso);
    m_ready = true;
}

void I1::hideGeneratorSliders()
{
    const GeneratorControls g = generator();
    for (int i = 0; i < GeneratorControls::RowCount; ++i)
        panel::setRowVisible(g.labels[i], g.sliders[i], false);
    for (QFrame *f : {I1MultiFractalFrame.data(), I1GaborNoiseFrame.data()})
        if (f)
            f->hide();
}

void I1::setControlsVisibility()
{
    hideGeneratorSliders();
    const GeneratorControls::Visibility v = generator().updateVisibility();
    if (I1MultiFractalFrame)
        I1MultiFractalFrame->setVisible(v.multiFractalFrame);
    if (I1GaborNoiseFrame)
        I1GaborNoiseFrame->setVisible(v.gaborFrame);
}

void I1::I1ChooseNoise(const QString &type)
{
    if (!m_ready || type == noiseTypeNames[imageIndex])
        return;
    m_lastNonImageIndex = I1TerrainType->currentIndex();
    seed = random::freshNodeSeed();
    setControlsVisibility();
    noiseParameterChanged();
}

void I1::I1ActivateNoise(const QString &type)
{
    if (type != noiseTypeNames[imageIndex])
        return;
    const QString file = chooseNoiseImage(m_panel, imageFileName);
    if (!file.isEmpty()) {
        imageFileName = file;
        state().warnedNoiseImages.removeAll(file);   // a file chosen again is told about again
        setControlsVisibility();
        ProgramState &s = state();
        generateNoiseMaps(s.terrainCreated, s.previewSize, false);
        return;
    }
    // Cancelled: back to the type shown before, with the seed it had.
    {
        const QSignalBlocker block(I1TerrainType);
        I1TerrainType->setCurrentIndex(m_lastNonImageIndex);
    }
    setControlsVisibility();
    noiseParameterChanged();
}

void I1::I1ChooseNoise()
{
    setControlsVisibility();
    noiseParameterChanged();
}

void I1::I1GaborAniso(int)
{
    setControlsVisibility();
    noiseParameterChanged();
}

void I1::I1ReSeed()
{
    if (!I1TerrainType || !GeneratorControls::typeTakesSeed(I1TerrainType->currentText()))
        return;
    seed = random::freshNodeSeed();
    I1MultiFractalOffsetSpinBox->setValue(100);
    I1MultiFractalGainSpinBox->setValue(200);
    I1MultiFractalWeightSpinBox->setValue(100);
    ProgramState &s = state();
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);
}

void I1::readSettings(NoiseSettings &s) const
{
    GeneratorSettings &g = s.input[slot];
    generator().read(g);
    g.seed = seed;
    g.imageFile = imageFileName;
    if (I1MultiFractalOffsetSpinBox) {
        g.multiFractalOffset = I1MultiFractalOffsetSpinBox->value();
        g.multiFractalGain = I1MultiFractalGainSpinBox->value();
        g.multiFractalWeight = I1MultiFractalWeightSpinBox->value();
        g.gaborAnisotropic = I1GaborAnisoCheckBox->isChecked();
    }
}

void I1::applySettings(const NoiseSettings &s)
{
    const GeneratorSettings &g = s.input[slot];
    seed = g.seed;
    imageFileName = g.imageFile;
    if (!I1TerrainType)
        return;
    generator().apply(g);
    if (g.type != imageIndex)
        m_lastNonImageIndex = g.type;
    const std::pair<QSpinBox *, int> spins[] = {{I1MultiFractalOffsetSpinBox, g.multiFractalOffset},
                                                {I1MultiFractalGainSpinBox, g.multiFractalGain},
                                                {I1MultiFractalWeightSpinBox, g.multiFractalWeight}};
    for (const auto &[box, value] : spins) {
        const QSignalBlocker block(box);
        box->setValue(value);
    }
    {
        const QSignalBlocker block(I1GaborAnisoCheckBox);
        I1GaborAnisoCheckBox->setChecked(g.gaborAnisotropic);
    }
    setControlsVisibility();
}
