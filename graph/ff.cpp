#include "graph/ff.h"

#include "graph/nodepanel.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/random.h"
#include "plugin/statics.h"
#include "plugin/style.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QDir>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include <cmath>

using namespace orovista;

namespace {

const QString greyGradient = QStringLiteral("black and white.bmp");
const QChar degree(0x00B0);

const QString listSheet = QStringLiteral(
    "QListWidget { background: rgba(40,40,40,255); color: rgba(210,210,210,255); font-size: 10px; "
    "border: 1px solid rgba(128,128,128,255); }\n"
    "QListWidget::item:selected { background: rgba(71,120,247,255); color: rgb(255,255,255); }\n"
    "QListWidget:disabled { color: rgba(110,110,110,255); }");

QListWidget *gradientList(QWidget *page, const char *objectName, const QString &folder, const QRect &geometry)
{
    auto *list = new QListWidget(page);
    list->setObjectName(QString::fromLatin1(objectName));
    list->setGeometry(geometry);
    list->setIconSize(QSize(48, 14));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideRight);
    list->setStyleSheet(listSheet);
    list->setFocusPolicy(Qt::NoFocus);
    const QDir dir(folder);
    for (const QString &file : dir.entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name)) {
        const QString thumb = dir.filePath(QStringLiteral("thumbs/") + file);
        auto *item = new QListWidgetItem(file);
        if (QFileInfo::exists(thumb))
            item->setIcon(QIcon(thumb));
        list->addItem(item);
    }
    return list;
}

int lastRowOf(const QListWidget *list, const QString &text)
{
    for (int row = list->count() - 1; row >= 0; --row)
        if (list->item(row)->text() == text)
            return row;
    return -1;
}

/// Makes row current without announcing it; false when the list has no such row.
bool selectQuietly(QListWidget *list, int row)
{
    if (!list || row < 0 || row >= list->count())
        return false;
    const QSignalBlocker block(list);
    list->setCurrentRow(row);
    return true;
}

QString currentText(const QListWidget *list)
{
    return list && list->currentItem() ? list->currentItem()->text() : QString();
}

QString mapLabelStyle(const QString &objectName, bool active)
{
    if (active)
        return QStringLiteral("QLabel#") + objectName +
               QStringLiteral(" { \ncolor: rgba(255,255,255,255);\nbackground-color: rgba(71,120,247,255);\n"
                              "border: 1px solid rgba(128,128,128,255);\nfont-size:10px;\nfont-weight:bold;\n}");
    return QStringLiteral("QLabel#") + objectName +
           QStringLiteral(" { \ncolor: rgba(150,150,150,255);\nborder: 1px solid transparent;\nfont-size:10px;\n"
                          "font-weight:bold;\n}");
}

QString lightButtonStyle(bool on)
{
    const QString colours = on ? QStringLiteral("background-color: rgba(255,195,0,255);\ncolor: rgba(40,40,40,255);")
                               : QStringLiteral("background-color: rgba(95,95,95,255);\ncolor: rgba(210,210,210,255);");
    return QStringLiteral("QPushButton#FFSetLightButton { \n") + colours +
           QStringLiteral("\nborder: 1px solid rgba(128,128,128,255);\nfont-size:12px;\nfont-weight:bold;\n}");
}

/// A label, a spin box and, when buttonName is given, a "set" button on one line. The label is
/// named name + "Label", the spin box name + boxSuffix.
struct ValueRow {
    QLabel *label;
    QSpinBox *box;
    QPushButton *button;
};
ValueRow valueRow(QWidget *parent, int y, const QString &name, const QString &boxSuffix, const QString &text, int lo,
                  int hi, int value, const QString &toolTip = {}, const QString &buttonName = {})
{
    ValueRow r{};
    r.label = panel::label(parent, name + QStringLiteral("Label"), text);
    r.label->setGeometry(6, y, 140, 20);
    r.box = panel::spinBox(parent, name + boxSuffix, lo, hi, value, toolTip);
    r.box->setGeometry(150, y, 80, 20);
    if (!buttonName.isEmpty()) {
        r.button = panel::button(parent, buttonName, QStringLiteral("set"), QStringLiteral("apply and regenerate"));
        r.button->setGeometry(236, y, 50, 20);
    }
    return r;
}

}   // namespace

FF::FF() : turbulenceSeed(random::freshNodeSeed()) {}

QString FF::pictureName(bool texture)
{
    return texture ? QStringLiteral("TFFnoisePreview.jpg") : QStringLiteral("HFFnoisePreview.jpg");
}

int FF::terrainSize() const { return FFTerrainSizeLineEdit ? FFTerrainSizeLineEdit->text().toInt() : 0; }

bool FF::lightOn() const { return FFSetLightButton && FFSetLightButton->text() == QLatin1String("Light ON"); }

void FF::buildPanel(QWidget *terrainTab, const QString &gradientsFolder)
{
    m_panel = makeNodePanel(terrainTab, QStringLiteral("FFPanel"), QStringLiteral("FFPanelPage"), expandedSize);
    m_panel->setTabText(0, QStringLiteral("FINAL"));
    buildFinalPage(m_panel->widget(0));
    buildColourPage(addPanelPage(m_panel, QStringLiteral("FFColourPage"), QStringLiteral("COLOURS")),
                    gradientsFolder);
    buildTurbulencePage(addPanelPage(m_panel, QStringLiteral("FFTurbulencePage"), QStringLiteral("TURBULENCE")));
    buildErosionPage(addPanelPage(m_panel, QStringLiteral("FFErosionPage"), QStringLiteral("EROSION")));
    m_panel->setCurrentIndex(0);
    dirty = false;
    showMapStyle(FFSetCurrentMapSlider->value(), false);
}

void FF::buildFinalPage(QWidget *page)
{
    FFCollapseCheckBox = new QCheckBox(page);
    FFCollapseCheckBox->setObjectName(QStringLiteral("FFCollapseCheckBox"));
    FFCollapseCheckBox->setToolTip(QStringLiteral("show all the final node's controls"));
    FFCollapseCheckBox->setFocusPolicy(Qt::NoFocus);
    FFCollapseCheckBox->setChecked(true);
    FFCollapseCheckBox->setGeometry(6, 4, 18, 18);

    FFReGenerateNoise = new QPushButton(QStringLiteral("REGENERATE"), page);
    FFReGenerateNoise->setObjectName(QStringLiteral("FFReGenerateNoise"));
    FFReGenerateNoise->setToolTip(QStringLiteral("settings changed: generate the noise maps again"));
    FFReGenerateNoise->setFocusPolicy(Qt::NoFocus);
    FFReGenerateNoise->setStyleSheet(QStringLiteral(
        "QPushButton#FFReGenerateNoise { \nbackground-color: rgba(255,195,0,255);\ncolor: rgba(25,25,25,255);\n"
        "border: 1px solid rgba(128,128,128,255);\nfont-size:12px;\nfont-weight:bold;\n}"));
    FFReGenerateNoise->setGeometry(28, 3, 142, 20);

    FFPreviewLabel = panel::previewLabel(page, QStringLiteral("FFPreviewLabel"), 140);
    FFPreviewLabel->move(6, 26);
    FFVSlider = panel::slider(page, QStringLiteral("FFVSlider"), -32, 32, 0, Qt::Vertical);
    FFVSlider->setToolTip(QStringLiteral("move the noise window along z"));
    FFVSlider->setGeometry(150, 26, 20, 140);
    FFHSlider = panel::slider(page, QStringLiteral("FFHSlider"), -32, 32, 0);
    FFHSlider->setToolTip(QStringLiteral("move the noise window along x"));
    FFHSlider->setGeometry(6, 170, 140, 18);

    FFHeightMapLabel = panel::label(page, QStringLiteral("FFHeightMapLabel"), QStringLiteral("HEIGHT MAP"));
    FFHeightMapLabel->setAlignment(Qt::AlignCenter);
    FFHeightMapLabel->setGeometry(6, 198, 78, 20);
    FFSetCurrentMapSlider = panel::slider(page, QStringLiteral("FFSetCurrentMapSlider"), 0, 1, 0);
    FFSetCurrentMapSlider->setGeometry(88, 199, 28, 18);
    FFTextureMapLabel = panel::label(page, QStringLiteral("FFTextureMapLabel"), QStringLiteral("TEXTURE MAP"));
    FFTextureMapLabel->setAlignment(Qt::AlignCenter);
    FFTextureMapLabel->setGeometry(120, 198, 84, 20);

    FFBoundsLabel = panel::label(page, QStringLiteral("FFBoundsLabel"), QStringLiteral("noise size"));
    FFBoundsLabel->setGeometry(190, 26, 160, 16);
    FFBoundsSpinBox = panel::spinBox(page, QStringLiteral("FFBoundsSpinBox"), 1, 512, 4,
                                     QStringLiteral("side of the sampled noise window"));
    FFBoundsSpinBox->setGeometry(190, 44, 80, 20);
    FFBoundsButton = panel::button(page, QStringLiteral("FFBoundsButton"), QStringLiteral("set"),
                                   QStringLiteral("apply and regenerate"));
    FFBoundsButton->setGeometry(276, 44, 50, 20);

    FFPreviewImageLabel = panel::label(page, QStringLiteral("FFPreviewImageLabel"), QStringLiteral("preview size"));
    FFPreviewImageLabel->setGeometry(190, 74, 160, 16);
    FFPreviewImageSlider = panel::slider(page, QStringLiteral("FFPreviewImageSlider"), 1, 2, 1);
    FFPreviewImageSlider->setToolTip(QStringLiteral("preview pictures of 256 or 512 pixels"));
    FFPreviewImageSlider->setGeometry(190, 92, 80, 18);
    FFPreviewButton = panel::button(page, QStringLiteral("FFPreviewButton"), QStringLiteral("set"),
                                    QStringLiteral("apply and regenerate"));
    FFPreviewButton->setGeometry(276, 92, 50, 20);

    FFTerrainSizeLabel = panel::label(page, QStringLiteral("FFTerrainSizeLabel"), QStringLiteral("terrain size"));
    FFTerrainSizeLabel->setGeometry(6, 230, 120, 16);
    FFTerrainSizeSlider = panel::slider(page, QStringLiteral("FFTerrainSizeSlider"), 1, 5, 2);
    FFTerrainSizeSlider->setToolTip(QStringLiteral("terrain size: 10, 100, 1000, 10000 or 100000 units"));
    FFTerrainSizeSlider->setGeometry(6, 250, 120, 18);
    FFTerrainSizeLineEdit = new QLineEdit(QStringLiteral("100"), page);
    FFTerrainSizeLineEdit->setObjectName(QStringLiteral("FFTerrainSizeLineEdit"));
    FFTerrainSizeLineEdit->setToolTip(QStringLiteral("terrain size in scene units"));
    FFTerrainSizeLineEdit->setStyleSheet(QStringLiteral(
        "QLineEdit#FFTerrainSizeLineEdit { background: rgba(150,150,150,255); color: rgba(255,255,255,255); }"));
    FFTerrainSizeLineEdit->setGeometry(132, 249, 72, 20);
    FFTerrainElevationLowLabel =
        panel::label(page, QStringLiteral("FFTerrainElevationLowLabel"), QStringLiteral("lowest elevation"));
    FFTerrainElevationLowLabel->setGeometry(6, 278, 110, 20);
    FFTerrainElevationLowSpinBox = panel::spinBox(page, QStringLiteral("FFTerrainElevationLowSpinBox"), -10000, 0, 0,
                                                  QStringLiteral("height of the lowest terrain point"));
    FFTerrainElevationLowSpinBox->setGeometry(122, 278, 82, 20);
    FFTerrainElevationUpLabel =
        panel::label(page, QStringLiteral("FFTerrainElevationUpLabel"), QStringLiteral("highest elevation"));
    FFTerrainElevationUpLabel->setGeometry(6, 304, 110, 20);
    FFTerrainElevationUpSpinBox = panel::spinBox(page, QStringLiteral("FFTerrainElevationUpSpinBox"), 0, 9000, 15,
                                                 QStringLiteral("height of the highest terrain point"));
    FFTerrainElevationUpSpinBox->setGeometry(122, 304, 82, 20);
}

void FF::buildColourPage(QWidget *page, const QString &gradientsFolder)
{
    FFGradientLeftLabel =
        panel::label(page, QStringLiteral("FFGradientLeftLabel"), QStringLiteral("INPUT 1 / DEFORMER 1"));
    FFGradientLeftLabel->setGeometry(6, 4, 170, 16);
    FFGradientRightLabel =
        panel::label(page, QStringLiteral("FFGradientRightLabel"), QStringLiteral("INPUT 2 / DEFORMER 2"));
    FFGradientRightLabel->setGeometry(182, 4, 170, 16);
    FFGradientTypeListViewLeft = gradientList(page, "FFGradientTypeListViewLeft", gradientsFolder, {6, 22, 170, 150});
    FFGradientTypeListViewRight =
        gradientList(page, "FFGradientTypeListViewRight", gradientsFolder, {182, 22, 170, 150});

    FFSetLightButton = new QPushButton(QStringLiteral("Light ON"), page);
    FFSetLightButton->setObjectName(QStringLiteral("FFSetLightButton"));
    FFSetLightButton->setToolTip(QStringLiteral("light the coloured pictures"));
    FFSetLightButton->setFocusPolicy(Qt::NoFocus);
    FFSetLightButton->setGeometry(6, 184, 90, 22);
    showLightState(true);

    FFLightContrastLabel = panel::label(page, QStringLiteral("FFLightContrastLabel"), QStringLiteral("contrast"));
    FFLightContrastLabel->setGeometry(6, 216, 60, 18);
    FFLightContrastSlider = panel::slider(page, QStringLiteral("FFLightContrastSlider"), 1, 10, 2);
    FFLightContrastSlider->setGeometry(66, 216, 82, 18);
    panel::valueLabel(page, FFLightContrastSlider)->setGeometry(148, 216, 30, 18);
    FFLightIntensityLabel = panel::label(page, QStringLiteral("FFLightIntensityLabel"), QStringLiteral("intensity"));
    FFLightIntensityLabel->setGeometry(6, 242, 60, 18);
    FFLightIntensitySlider = panel::slider(page, QStringLiteral("FFLightIntensitySlider"), 0, 100, 40);
    FFLightIntensitySlider->setGeometry(66, 242, 82, 18);
    // As the renderer takes it: twentieths.
    panel::valueLabel(page, FFLightIntensitySlider, 0.05)->setGeometry(148, 242, 30, 18);

    FFAzimuthDial = panel::dial(page, QStringLiteral("FFAzimuthDial"), 0, 360, 45);
    FFAzimuthDial->setToolTip(QStringLiteral("light azimuth"));
    FFAzimuthDial->setGeometry(196, 180, 70, 70);
    FFAzimuthLabel = panel::label(page, QStringLiteral("FFAzimuthLabel"), QString());
    FFAzimuthLabel->setAlignment(Qt::AlignCenter);
    FFAzimuthLabel->setGeometry(186, 252, 90, 16);
    FFElevationDial = panel::dial(page, QStringLiteral("FFElevationDial"), 0, 360, 45);
    FFElevationDial->setToolTip(QStringLiteral("light elevation"));
    FFElevationDial->setGeometry(276, 180, 70, 70);
    FFElevationLabel = panel::label(page, QStringLiteral("FFElevationLabel"), QString());
    FFElevationLabel->setAlignment(Qt::AlignCenter);
    FFElevationLabel->setGeometry(266, 252, 90, 16);
    setAzimuthDial();
    setElevationDial();
}

void FF::buildTurbulencePage(QWidget *page)
{
    const ValueRow frequency = valueRow(page, 10, QStringLiteral("FFTurbulenceFrequency"), QString(),
                                        QStringLiteral("turbulence frequency"), -100, 100, 0,
                                        QStringLiteral("frequency x 0.01"), QStringLiteral("FFTurbulenceFrequencyButton"));
    FFTurbulenceFrequency = frequency.box, FFTurbulenceFrequencyLabel = frequency.label;
    FFTurbulenceFrequencyButton = frequency.button;
    const ValueRow power = valueRow(page, 40, QStringLiteral("FFTurbulencePower"), QString(), QStringLiteral("turbulence power"),
                                    0, 250, 0, QStringLiteral("power x 0.01"),
                                    QStringLiteral("FFTurbulencePowerButton"));
    FFTurbulencePower = power.box, FFTurbulencePowerLabel = power.label, FFTurbulencePowerButton = power.button;
    const ValueRow roughness = valueRow(page, 70, QStringLiteral("FFTurbulenceRoughness"), QString(),
                                        QStringLiteral("turbulence roughness"), 1, 30, 1,
                                        QStringLiteral("octaves of the turbulence"),
                                        QStringLiteral("FFTurbulenceRoughnessButton"));
    FFTurbulenceRoughness = roughness.box, FFTurbulenceRoughnessLabel = roughness.label;
    FFTurbulenceRoughnessButton = roughness.button;

    FFTurbulenceSeed = panel::button(page, QStringLiteral("FFTurbulenceSeed"), QStringLiteral("refresh turbulence map"),
                                     QStringLiteral("reseed the turbulence noise map"));
    FFTurbulenceSeed->setGeometry(6, 104, 224, 22);
    auto *note = panel::label(page, QStringLiteral("FFTurbulenceNoteLabel"),
                              QStringLiteral("The turbulence distorts the two coloured branches of the terrain "
                                             "texture; it is used when the two gradients differ."));
    note->setWordWrap(true);
    note->setGeometry(6, 140, 340, 48);
}

void FF::buildErosionPage(QWidget *page)
{
    FFErosionFrame = new QFrame(page);
    FFErosionFrame->setObjectName(QStringLiteral("FFErosionFrame"));
    FFErosionFrame->setGeometry(0, 0, expandedSize.width() - 2, 260);
    FFErosionTypeLabel = panel::label(FFErosionFrame, QStringLiteral("FFErosionTypeLabel"), QStringLiteral("erosion type"));
    FFErosionTypeLabel->setGeometry(6, 10, 140, 20);
    FFErosionTypeComboBox = panel::comboBox(FFErosionFrame, QStringLiteral("FFErosionTypeComboBox"), erosionTypeNames);
    FFErosionTypeComboBox->setGeometry(150, 9, 150, 22);

    struct Row {
        QPointer<QSpinBox> &box;
        QPointer<QLabel> &label;
        const char *name, *text, *tip;
        int lo, hi, value;
    };
    const Row rows[] = {
        {FFErosionIterationsSpinBox, FFErosionIterationsLabel, "FFErosionIterations", "iterations", "", 0, 1000, 0},
        {FFErosionRainAmountSpinBox, FFErosionRainAmountLabel, "FFErosionRainAmount", "rain amount",
         "set the amount of rain dropped per pixel each iteration [1-100]", 1, 100, 1},
        {FFErosionSolubilitySpinBox, FFErosionSolubilityLabel, "FFErosionSolubility", "solubility",
         "set how much sediment a unit of water will erode [1-100]", 1, 100, 1},
        {FFErosionEvaporationSpinBox, FFErosionEvaporationLabel, "FFErosionEvaporation", "evaporation",
         "set how much water evaporates from each pixel each iteration [1-150]", 1, 150, 90},
        {FFErosionCapacitySpinBox, FFErosionCapacityLabel, "FFErosionCapacity", "capacity", "", 1, 100, 1},
    };
    // Sediment erosion's rows sit where the hydraulic ones do: only one set shows at a time.
    const Row sedimentRows[] = {
        {FFSedimentRainSpinBox, FFSedimentRainLabel, "FFSedimentRain", "rain (mm)",
         "millimetres of rain falling on the terrain in each iteration [1-1000]", 1, 1000, 10},
        {FFSedimentErosionSpinBox, FFSedimentErosionLabel, "FFSedimentErosion", "erosion strength",
         "how deep running water cuts; streams with more water and steeper beds cut deeper [0-1000]", 0, 1000, 20},
        {FFSedimentDepositionSpinBox, FFSedimentDepositionLabel, "FFSedimentDeposition", "deposition",
         "percent of the load the flow cannot carry that it lays down per metre [0-100]", 0, 100, 50},
        {FFSedimentCapacitySpinBox, FFSedimentCapacityLabel, "FFSedimentCapacity", "sediment capacity",
         "how much soil the flow carries, in hundredths of its water at slope 1 [0-1000]", 0, 1000, 100},
        {FFSedimentEvaporationSpinBox, FFSedimentEvaporationLabel, "FFSedimentEvaporation", "evaporation",
         "water lost per metre of flow, in ten-thousandths [0-1000]", 0, 1000, 10},
        {FFSedimentMinSlopeSpinBox, FFSedimentMinSlopeLabel, "FFSedimentMinSlope", "minimum slope",
         "slopes below this, in thousandths, are not worn [0-1000]", 0, 1000, 0},
        {FFSedimentSeedSpinBox, FFSedimentSeedLabel, "FFSedimentSeed", "rain seed",
         "varies where the rain falls heavier or lighter [0-99999]", 0, 99999, 1},
    };
    const auto place = [this](const auto &list, int y) {
        for (const Row &r : list) {
            const ValueRow made = valueRow(FFErosionFrame, y, QLatin1String(r.name), QStringLiteral("SpinBox"),
                                           QLatin1String(r.text), r.lo, r.hi, r.value, QLatin1String(r.tip));
            r.box = made.box;
            r.label = made.label;
            y += 26;
        }
    };
    place(rows, 40);
    place(sedimentRows, 66);
    updateErosionControls();
}

void FF::connectPanel()
{
    for (QListWidget *list : {FFGradientTypeListViewLeft.data(), FFGradientTypeListViewRight.data()})
        connect(list, &QListWidget::currentRowChanged, this, qOverload<int>(&FF::refreshNoise));
    for (QPushButton *b : {FFTurbulenceFrequencyButton.data(), FFTurbulencePowerButton.data(),
                           FFTurbulenceRoughnessButton.data(), FFBoundsButton.data(), FFPreviewButton.data(),
                           FFReGenerateNoise.data()})
        connect(b, &QPushButton::released, this, qOverload<>(&FF::refreshNoise));
    for (QSlider *s : {FFHSlider.data(), FFVSlider.data(), FFPreviewImageSlider.data()})
        connect(s, &QSlider::sliderReleased, this, qOverload<>(&FF::refreshNoise));
    connect(FFTurbulenceSeed, &QPushButton::released, this, &FF::FFReSeed);
    connect(FFSetLightButton, &QPushButton::released, this, &FF::setLightState);
    connect(FFAzimuthDial, &QDial::sliderReleased, this, &FF::setAzimuthDial);
    connect(FFElevationDial, &QDial::sliderReleased, this, &FF::setElevationDial);
    // The dial texts also follow changes made with the wheel or the keyboard.
    connect(FFAzimuthDial, &QDial::valueChanged, this, &FF::setAzimuthDial);
    connect(FFElevationDial, &QDial::valueChanged, this, &FF::setElevationDial);
    connect(FFTerrainSizeSlider, &QSlider::valueChanged, this, &FF::setTerrainSize);
    connect(FFSetCurrentMapSlider, &QSlider::valueChanged, this, &FF::setCurrentMapStyles);
    const auto changed = qOverload<int>(&FF::setRefreshButton);
    for (QSpinBox *b : {FFBoundsSpinBox.data(), FFTurbulenceFrequency.data(), FFTurbulencePower.data(),
                        FFTurbulenceRoughness.data(), FFErosionIterationsSpinBox.data(),
                        FFErosionRainAmountSpinBox.data(), FFErosionSolubilitySpinBox.data(),
                        FFErosionEvaporationSpinBox.data(), FFErosionCapacitySpinBox.data(),
                        FFSedimentRainSpinBox.data(), FFSedimentErosionSpinBox.data(),
                        FFSedimentDepositionSpinBox.data(), FFSedimentCapacitySpinBox.data(),
                        FFSedimentEvaporationSpinBox.data(), FFSedimentMinSlopeSpinBox.data(),
                        FFSedimentSeedSpinBox.data()})
        connect(b, &QSpinBox::valueChanged, this, changed);
    for (QAbstractSlider *s : std::initializer_list<QAbstractSlider *>{FFAzimuthDial, FFElevationDial,
                                                                       FFLightIntensitySlider, FFLightContrastSlider})
        connect(s, &QAbstractSlider::valueChanged, this, changed);
    connect(FFErosionTypeComboBox, &QComboBox::currentIndexChanged, this, changed);
    connect(FFCollapseCheckBox, &QCheckBox::stateChanged, this, &FF::FFCollapse);
}

void FF::selectGreyGradient()
{
    for (QListWidget *list : {FFGradientTypeListViewLeft.data(), FFGradientTypeListViewRight.data()})
        if (list)
            selectQuietly(list, std::max(0, lastRowOf(list, greyGradient)));
}

void FF::updateErosionControls()
{
    if (!FFErosionTypeComboBox)
        return;
    const QString type = FFErosionTypeComboBox->currentText();
    const bool any = type != erosionTypeNames[int(ErosionType::None)];
    const bool hydraulics = type == erosionTypeNames[int(ErosionType::Hydraulics)];
    panel::setRowVisible(FFErosionIterationsLabel, FFErosionIterationsSpinBox, any);
    panel::setRowVisible(FFErosionRainAmountLabel, FFErosionRainAmountSpinBox, hydraulics);
    panel::setRowVisible(FFErosionSolubilityLabel, FFErosionSolubilitySpinBox, hydraulics);
    panel::setRowVisible(FFErosionEvaporationLabel, FFErosionEvaporationSpinBox, hydraulics);
    panel::setRowVisible(FFErosionCapacityLabel, FFErosionCapacitySpinBox, hydraulics);
    const bool sediment = type == erosionTypeNames[int(ErosionType::Sediment)];
    panel::setRowVisible(FFSedimentRainLabel, FFSedimentRainSpinBox, sediment);
    panel::setRowVisible(FFSedimentErosionLabel, FFSedimentErosionSpinBox, sediment);
    panel::setRowVisible(FFSedimentDepositionLabel, FFSedimentDepositionSpinBox, sediment);
    panel::setRowVisible(FFSedimentCapacityLabel, FFSedimentCapacitySpinBox, sediment);
    panel::setRowVisible(FFSedimentEvaporationLabel, FFSedimentEvaporationSpinBox, sediment);
    panel::setRowVisible(FFSedimentMinSlopeLabel, FFSedimentMinSlopeSpinBox, sediment);
    panel::setRowVisible(FFSedimentSeedLabel, FFSedimentSeedSpinBox, sediment);
}

// --- Slots ---------------------------------------------------------------------------------------

void FF::FFCollapse(int checkState)
{
    if (!m_panel)
        return;
    const bool expanded = checkState != Qt::Unchecked;
    if (!expanded)
        m_panel->setCurrentIndex(0);
    for (int page = 1; page < m_panel->count(); ++page)
        m_panel->setTabVisible(page, expanded);
    m_panel->resize(expanded ? expandedSize : collapsedSize);
}

void FF::refreshNoise()
{
    previousPreviewSize = state().previewSize;
    refresh();
}

void FF::refreshNoise(int row)
{
    // A list that loses its rows (the window closing) has nothing new to show.
    if (row < 0)
        return;
    refresh();
}

void FF::refresh()
{
    if (FFReGenerateNoise)
        FFReGenerateNoise->hide();
    dirty = false;
    if (FFSetCurrentMapSlider && FFSetCurrentMapSlider->value() == 1) {
        leftGradientName = currentText(FFGradientTypeListViewLeft);
        rightGradientName = currentText(FFGradientTypeListViewRight);
    }
    runAtPreviewSize();
}

void FF::runAtPreviewSize()
{
    ProgramState &s = state();
    if (FFPreviewImageSlider)
        s.previewSize = FFPreviewImageSlider->value() * 256;
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);
}

void FF::setRefreshButton(int)
{
    if (sender() && sender() == FFErosionTypeComboBox)
        updateErosionControls();
    setRefreshButton();
}

void FF::setRefreshButton()
{
    nodeControlChanged();
    dirty = true;
    if (FFReGenerateNoise)
        FFReGenerateNoise->show();
}

void FF::FFReSeed()
{
    turbulenceSeed = random::freshNodeSeed();
    ProgramState &s = state();
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);
}

void FF::showLightState(bool on)
{
    FFSetLightButton->setText(on ? QStringLiteral("Light ON") : QStringLiteral("Light OFF"));
    FFSetLightButton->setStyleSheet(lightButtonStyle(on));
}

void FF::setLightState()
{
    if (!FFSetLightButton)
        return;
    showLightState(!lightOn());
    ProgramState &s = state();
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);
}

void FF::setAzimuthDial()
{
    if (FFAzimuthDial && FFAzimuthLabel)
        FFAzimuthLabel->setText(QStringLiteral("azimuth: ") + QString::number(FFAzimuthDial->value()) + degree);
}

void FF::setElevationDial()
{
    if (FFElevationDial && FFElevationLabel)
        FFElevationLabel->setText(QStringLiteral("pitch: ") + QString::number(FFElevationDial->value()) + degree);
}

void FF::setTerrainSize(int exponent)
{
    if (!FFTerrainSizeLineEdit)
        return;
    nodeControlChanged();
    FFTerrainSizeLineEdit->setText(QString::number(std::pow(10.0, exponent), 'g', 6));
    const int upper = terrainSize() / 10;
    FFTerrainElevationUpSpinBox->setValue(upper == 0 ? 1 : upper);
}

void FF::showNodePictures(bool texture)
{
    Statics &o = statics();
    const QString maps = panel::mapsFolder();
    panel::showPicture(o.input1.I1PreviewLabel, maps + o.input1.pictureName(texture));
    panel::showPicture(o.input2.I1PreviewLabel, maps + o.input2.pictureName(texture));
    panel::showPicture(o.deformer1.D1PreviewLabel, maps + o.deformer1.pictureName(texture));
    panel::showPicture(o.deformer2.D1PreviewLabel, maps + o.deformer2.pictureName(texture));
    panel::showPicture(FFPreviewLabel, maps + pictureName(texture));
}

void FF::showMapStyle(int mapStyle, bool reportMissingGrey)
{
    const bool texture = mapStyle == 1;
    if (FFHeightMapLabel) {
        FFHeightMapLabel->setStyleSheet(mapLabelStyle(FFHeightMapLabel->objectName(), !texture));
        FFTextureMapLabel->setStyleSheet(mapLabelStyle(FFTextureMapLabel->objectName(), texture));
    }
    state().greyscaleMapMode = !texture;
    const std::pair<QListWidget *, const QString *> lists[] = {{FFGradientTypeListViewLeft, &leftGradientName},
                                                               {FFGradientTypeListViewRight, &rightGradientName}};
    bool greyMissing = false;
    for (const auto &[list, name] : lists) {
        if (!list)
            continue;
        list->setEnabled(texture);
        if (texture) {
            // Back to the gradients the machine uses.
            selectQuietly(list, lastRowOf(list, *name));
        } else {
            const int grey = lastRowOf(list, greyGradient);
            greyMissing = greyMissing || grey < 0;
            selectQuietly(list, grey);
        }
    }
    if (greyMissing && reportMissingGrey)
        dialogs::error(m_panel, QStringLiteral("Missing standard black/white gradient !"));
    showNodePictures(texture);
}

void FF::setCurrentMapStyles(int mapStyle)
{
    showMapStyle(mapStyle, true);
    if (mapStyle != 1)
        return;
    // The lists now choose the gradients; when that changes them, the pictures follow.
    const QString left = currentText(FFGradientTypeListViewLeft), right = currentText(FFGradientTypeListViewRight);
    if (left != leftGradientName || right != rightGradientName)
        refresh();
}

// --- Settings ------------------------------------------------------------------------------------

void FF::readSettings(NoiseSettings &s) const
{
    FinalSettings &f = s.final;
    f.leftGradient = leftGradientName;
    f.rightGradient = rightGradientName;
    f.turbulenceSeed = turbulenceSeed;
    if (!FFBoundsSpinBox)
        return;
    f.noiseSize = FFBoundsSpinBox->value();
    f.startX = FFHSlider->value();
    f.startY = FFVSlider->value();
    f.previewSize = FFPreviewImageSlider->value();
    f.mapStyle = FFSetCurrentMapSlider->value();
    f.lightOn = lightOn();
    f.lightContrast = FFLightContrastSlider->value();
    f.lightIntensity = FFLightIntensitySlider->value();
    f.lightAzimuth = FFAzimuthDial->value();
    f.lightElevation = FFElevationDial->value();
    f.turbulenceFrequency = FFTurbulenceFrequency->value();
    f.turbulencePower = FFTurbulencePower->value();
    f.turbulenceRoughness = FFTurbulenceRoughness->value();
    f.erosionType = FFErosionTypeComboBox->currentIndex();
    f.erosionIterations = FFErosionIterationsSpinBox->value();
    f.erosionRain = FFErosionRainAmountSpinBox->value();
    f.erosionSolubility = FFErosionSolubilitySpinBox->value();
    f.erosionEvaporation = FFErosionEvaporationSpinBox->value();
    f.erosionCapacity = FFErosionCapacitySpinBox->value();
    f.sedimentRain = FFSedimentRainSpinBox->value();
    f.sedimentErosion = FFSedimentErosionSpinBox->value();
    f.sedimentDeposition = FFSedimentDepositionSpinBox->value();
    f.sedimentCapacity = FFSedimentCapacitySpinBox->value();
    f.sedimentEvaporation = FFSedimentEvaporationSpinBox->value();
    f.sedimentMinSlope = FFSedimentMinSlopeSpinBox->value();
    f.sedimentSeed = FFSedimentSeedSpinBox->value();
    f.terrainSizeExponent = FFTerrainSizeSlider->value();
    f.terrainSize = terrainSize();
    f.elevationLow = FFTerrainElevationLowSpinBox->value();
    f.elevationHigh = FFTerrainElevationUpSpinBox->value();
}

void FF::applySettings(const NoiseSettings &s)
{
    const FinalSettings &f = s.final;
    leftGradientName = f.leftGradient;
    rightGradientName = f.rightGradient;
    turbulenceSeed = f.turbulenceSeed;
    if (!FFBoundsSpinBox)
        return;
    const std::pair<QAbstractSlider *, int> sliders[] = {
        {FFHSlider, f.startX},
        {FFVSlider, f.startY},
        {FFPreviewImageSlider, f.previewSize},
        {FFSetCurrentMapSlider, f.mapStyle},
        {FFLightContrastSlider, f.lightContrast},
        {FFLightIntensitySlider, f.lightIntensity},
        {FFAzimuthDial, f.lightAzimuth},
        {FFElevationDial, f.lightElevation},
        {FFTerrainSizeSlider, f.terrainSizeExponent}};
    for (const auto &[slider, value] : sliders) {
        const QSignalBlocker block(slider);
        slider->setValue(value);
    }
    const std::pair<QSpinBox *, int> spins[] = {{FFBoundsSpinBox, f.noiseSize},
                                                {FFTurbulenceFrequency, f.turbulenceFrequency},
                                                {FFTurbulencePower, f.turbulencePower},
                                                {FFTurbulenceRoughness, f.turbulenceRoughness},
                                                {FFErosionIterationsSpinBox, f.erosionIterations},
                                                {FFErosionRainAmountSpinBox, f.erosionRain},
                                                {FFErosionSolubilitySpinBox, f.erosionSolubility},
                                                {FFErosionEvaporationSpinBox, f.erosionEvaporation},
                                                {FFErosionCapacitySpinBox, f.erosionCapacity},
                                                {FFSedimentRainSpinBox, f.sedimentRain},
                                                {FFSedimentErosionSpinBox, f.sedimentErosion},
                                                {FFSedimentDepositionSpinBox, f.sedimentDeposition},
                                                {FFSedimentCapacitySpinBox, f.sedimentCapacity},
                                                {FFSedimentEvaporationSpinBox, f.sedimentEvaporation},
                                                {FFSedimentMinSlopeSpinBox, f.sedimentMinSlope},
                                                {FFSedimentSeedSpinBox, f.sedimentSeed},
                                                {FFTerrainElevationLowSpinBox, f.elevationLow},
                                                {FFTerrainElevationUpSpinBox, f.elevationHigh}};
    for (const auto &[box, value] : spins) {
        const QSignalBlocker block(box);
        box->setValue(value);
    }
    {
        const QSignalBlocker block(FFErosionTypeComboBox);
        FFErosionTypeComboBox->setCurrentIndex(f.erosionType);
    }
    FFTerrainSizeLineEdit->setText(QString::number(f.terrainSize));
    showLightState(f.lightOn);
    setAzimuthDial();
    setElevationDial();
    updateErosionControls();
    showMapStyle(f.mapStyle, false);
}
