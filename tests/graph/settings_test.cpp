// The panels and the plain settings: start values and ranges of every control, and settings shown
// in the panels and read back unchanged.
#include "panelstestsupport.h"

#include "graph/nodesettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

namespace {

using orovista::NoiseSettings;

using Settings = PanelsTest;

struct Range {
    const char *name;
    int lo, hi, value;
};

template <class W>
void expectRanges(const std::vector<std::pair<W *, Range>> &controls)
{
    for (const auto &[w, r] : controls) {
        ASSERT_NE(w, nullptr) << r.name;
        EXPECT_EQ(w->objectName(), r.name);
        EXPECT_EQ(w->minimum(), r.lo) << r.name;
        EXPECT_EQ(w->maximum(), r.hi) << r.name;
        EXPECT_EQ(w->value(), r.value) << r.name;
    }
}

TEST_F(Settings, ControlsHaveTheirRangesAndStartValues)
{
    open(false);
    for (I1 *in : {&input1(), &nodes().input2}) {
        expectRanges<QAbstractSlider>({{in->I1FrequencySlider, {"I1FrequencySlider", 1, 100, 10}},
                                       {in->I1LacunaritySlider, {"I1LacunaritySlider", 15, 50, 15}},
                                       {in->I1QualitySlider, {"I1QualitySlider", 1, 3, 2}},
                                       {in->I1OctavesSlider, {"I1OctavesSlider", 1, 30, 4}},
                                       {in->I1PersistenceSlider, {"I1PersistenceSlider", 1, 10, 5}},
                                       {in->I1DisplacementSlider, {"I1DisplacementSlider", 1, 100, 1}}});
        expectRanges<QSpinBox>({{in->I1MultiFractalOffsetSpinBox, {"I1MultiFractalOffsetSpinBox", -100, 100, 100}},
                                {in->I1MultiFractalGainSpinBox, {"I1MultiFractalGainSpinBox", -200, 200, 200}},
                                {in->I1MultiFractalWeightSpinBox, {"I1MultiFractalWeightSpinBox", 0, 100, 100}}});
        EXPECT_EQ(in->I1MultiFractalOffsetSpinBox->toolTip(), "Set MultiFractal Offset: values between -100 and +100");
        EXPECT_EQ(in->I1MultiFractalGainSpinBox->toolTip(), "Set MultiFractal Gain: values between -200 and +200");
        EXPECT_EQ(in->I1MultiFractalWeightSpinBox->toolTip(),
                  "Set MultiFractal Octave Weight: values between 0 and 100");
        EXPECT_EQ(in->I1SeedButton->toolTip(), "reseed noise map");
        EXPECT_EQ(in->I1MultiFractalButton->toolTip(), "Regenerate the MultiFractal noise map");
        EXPECT_EQ(in->I1GaborAnisoCheckBox->text(), "anisotropic");
        EXPECT_FALSE(in->I1GaborAnisoCheckBox->isChecked());
        EXPECT_TRUE(in->I1PreviewLabel->hasScaledContents());
        EXPECT_EQ(in->I1FrequencyLabel->text(), "frequency");
        EXPECT_EQ(in->I1DisplacementLabel->text(), "displacement");
    }
    EXPECT_EQ(input1().panel()->objectName(), "I1Panel");
    EXPECT_EQ(nodes().input2.panel()->objectName(), "I2Panel");

    C1 &c = combiner();
    expectRanges<QAbstractSlider>({{c.C1FrequencySlider, {"C1FrequencySlider", 1, 160, 10}},
                                   {c.C1LacunaritySlider, {"C1LacunaritySlider", 1, 50, 20}},
                                   {c.C1QualitySlider, {"C1QualitySlider", 1, 3, 2}},
                                   {c.C1OctavesSlider, {"C1OctavesSlider", 1, 30, 4}},
                                   {c.C1PersistenceSlider, {"C1PersistenceSlider", 1, 10, 5}},
                                   {c.C1DisplacementSlider, {"C1DisplacementSlider", 1, 100, 1}},
                                   {c.C1EdgeFalloffSlider, {"C1EdgeFalloffSlider", -100, 100, 0}}});
    EXPECT_EQ(c.C1EdgeFalloffLabel->text(), "falloff");
    EXPECT_EQ(c.C1SeedButton->toolTip(), "reseed noise map");
    QStringList combinerTypes;
    for (int i = 0; i < c.C1TerrainType->count(); ++i)
        combinerTypes << c.C1TerrainType->itemText(i);
    EXPECT_EQ(combinerTypes, QStringList({"Add", "Max", "Min", "Multiply", "Pow", "Blend", "Select"}));
    EXPECT_EQ(c.C1NoiseType->count(), 10);
    EXPECT_EQ(c.C1NoiseType->itemText(8), "Gabor Convolution");

    D1 &d = deformer1();
    expectRanges<QSpinBox>({{d.D1ClampLowerSpinBox, {"D1ClampLowerSpinBox", -100, 100, -100}},
                            {d.D1ClampUpperSpinBox, {"D1ClampUpperSpinBox", -100, 100, 100}},
                            {d.D1ExponentSpinBox, {"D1ExponentSpinBox", 1, 100, 1}},
                            {d.D1ScaleBiasLowerSpinBox, {"D1ScaleBiasLowerSpinBox", -100, 100, 10}},
                            {d.D1ScaleBiasUpperSpinBox, {"D1ScaleBiasUpperSpinBox", -500, 500, 0}}});
    expectRanges<QAbstractSlider>({{d.D1CurvePointsSlider, {"D1CurvePointsSlider", 2, 10, 2}},
                                   {d.D1TerracePointsSlider, {"D1TerracePointsSlider", 2, 10, 2}}});
    EXPECT_EQ(d.D1ResetButton->toolTip(), "reset deformer");
    EXPECT_EQ(d.D1ClampLabel->text(), "bounds");
    EXPECT_EQ(d.D1CurveLabel->text(), "curve presets");
    EXPECT_EQ(d.D1ExponentLabel->text(), "exponent");
    EXPECT_EQ(d.D1ScaleBiasLabel->text(), "scale-bias");
    EXPECT_EQ(d.D1TerraceLabel->text(), "terrace presets");

    FF &f = finalNode();
    expectRanges<QSpinBox>({{f.FFBoundsSpinBox, {"FFBoundsSpinBox", 1, 512, 4}},
                            {f.FFTurbulenceFrequency, {"FFTurbulenceFrequency", -100, 100, 0}},
                            {f.FFTurbulencePower, {"FFTurbulencePower", 0, 250, 0}},
                            {f.FFTurbulenceRoughness, {"FFTurbulenceRoughness", 1, 30, 1}},
                            {f.FFTerrainElevationLowSpinBox, {"FFTerrainElevationLowSpinBox", -10000, 0, 0}},
                            {f.FFTerrainElevationUpSpinBox, {"FFTerrainElevationUpSpinBox", 0, 9000, 15}},
                            {f.FFErosionIterationsSpinBox, {"FFErosionIterationsSpinBox", 0, 1000, 0}},
                            {f.FFErosionRainAmountSpinBox, {"FFErosionRainAmountSpinBox", 1, 100, 1}},
                            {f.FFErosionSolubilitySpinBox, {"FFErosionSolubilitySpinBox", 1, 100, 1}},
                            {f.FFErosionEvaporationSpinBox, {"FFErosionEvaporationSpinBox", 1, 150, 90}},
                            {f.FFErosionCapacitySpinBox, {"FFErosionCapacitySpinBox", 1, 100, 1}}});
    expectRanges<QAbstractSlider>({{f.FFHSlider, {"FFHSlider", -32, 32, 0}},
                                   {f.FFVSlider, {"FFVSlider", -32, 32, 0}},
                                   {f.FFPreviewImageSlider, {"FFPreviewImageSlider", 1, 2, 1}},
                                   {f.FFSetCurrentMapSlider, {"FFSetCurrentMapSlider", 0, 1, 0}},
                                   {f.FFAzimuthDial, {"FFAzimuthDial", 0, 360, 45}},
                                   {f.FFElevationDial, {"FFElevationDial", 0, 360, 45}},
                                   {f.FFLightContrastSlider, {"FFLightContrastSlider", 1, 10, 2}},
                                   {f.FFLightIntensitySlider, {"FFLightIntensitySlider", 0, 100, 40}},
                                   {f.FFTerrainSizeSlider, {"FFTerrainSizeSlider", 1, 5, 2}}});
    EXPECT_EQ(f.FFTurbulenceSeed->text(), "refresh turbulence map");
    EXPECT_EQ(f.FFTurbulenceSeed->toolTip(), "reseed the turbulence noise map");
    EXPECT_EQ(f.FFErosionRainAmountSpinBox->toolTip(), "set the amount of rain dropped per pixel each iteration [1-100]");
    EXPECT_EQ(f.FFErosionSolubilitySpinBox->toolTip(), "set how much sediment a unit of water will erode [1-100]");
    EXPECT_EQ(f.FFErosionEvaporationSpinBox->toolTip(),
              "set how much water evaporates from each pixel each iteration [1-150]");
    EXPECT_EQ(f.FFErosionTypeComboBox->currentText(), "no erosion");
    EXPECT_EQ(f.FFErosionTypeLabel->text(), "erosion type");
    EXPECT_EQ(f.FFBoundsLabel->text(), "noise size");
    EXPECT_EQ(f.FFPreviewImageLabel->text(), "preview size");
    EXPECT_EQ(f.FFLightContrastLabel->text(), "contrast");
    EXPECT_EQ(f.FFLightIntensityLabel->text(), "intensity");
    EXPECT_EQ(f.FFTurbulenceFrequencyLabel->text(), "turbulence frequency");
    EXPECT_EQ(f.FFTurbulencePowerLabel->text(), "turbulence power");
    EXPECT_EQ(f.FFTurbulenceRoughnessLabel->text(), "turbulence roughness");
    EXPECT_EQ(f.FFHeightMapLabel->text(), "HEIGHT MAP");
    EXPECT_EQ(f.FFTextureMapLabel->text(), "TEXTURE MAP");
    EXPECT_TRUE(f.FFErosionFrame->isAncestorOf(f.FFErosionCapacitySpinBox));
}

TEST_F(Settings, StartValuesReadAsTheDefaultSettings)
{
    open(false);
    const NoiseSettings read = orovista::readNodeSettings();
    const NoiseSettings defaults;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(read.input[i].type, defaults.input[i].type);
        EXPECT_EQ(read.input[i].frequency, defaults.input[i].frequency);
        EXPECT_EQ(read.input[i].lacunarity, defaults.input[i].lacunarity);
        EXPECT_EQ(read.input[i].multiFractalGain, defaults.input[i].multiFractalGain);
        EXPECT_EQ(read.deformer[i].type, defaults.deformer[i].type);
        EXPECT_EQ(read.deformer[i].scaleBiasLow, defaults.deformer[i].scaleBiasLow);
    }
    EXPECT_EQ(read.combiner.type, defaults.combiner.type);
    EXPECT_EQ(read.combiner.control.lacunarity, 20);
    EXPECT_EQ(read.combiner.control.frequency, 10);
    EXPECT_EQ(read.final.noiseSize, 4);
    EXPECT_EQ(read.final.leftGradient, "australia 2.bmp");
    EXPECT_EQ(read.final.rightGradient, "australia 2.bmp");
    EXPECT_TRUE(read.final.lightOn);
    EXPECT_EQ(read.final.lightIntensity, 40);
    EXPECT_EQ(read.final.erosionEvaporation, 90);
    EXPECT_EQ(read.final.terrainSizeExponent, 2);
    EXPECT_EQ(read.final.terrainSize, 100);
    EXPECT_EQ(read.final.elevationHigh, 15);
    EXPECT_EQ(read.final.mapStyle, 0);
}

/// Settings in which every field differs from its start value.
NoiseSettings unusualSettings()
{
    NoiseSettings s;
    for (int i = 0; i < 2; ++i) {
        orovista::GeneratorSettings &g = s.input[i];
        g.type = i == 0 ? int(orovista::NoiseType::MultiFractal) : int(orovista::NoiseType::Image);
        g.seed = 11 + i;
        g.frequency = 73 + i;
        g.lacunarity = 31 + i;
        g.quality = 3;
        g.octaves = 17 + i;
        g.persistence = 8 + i;
        g.displacement = 55 + i;
        g.multiFractalOffset = -37 - i;
        g.multiFractalGain = -150 + i;
        g.multiFractalWeight = 42 + i;
        g.gaborAnisotropic = true;
        g.imageFile = QStringLiteral("/pictures/input%1.png").arg(i + 1);
        orovista::DeformerSettings &d = s.deformer[i];
        d.type = i == 0 ? int(orovista::DeformerType::Terrace) : int(orovista::DeformerType::ScaleBias);
        d.clampLow = -12 - i;
        d.clampHigh = 64 + i;
        d.exponent = 7 + i;
        d.scaleBiasLow = -33 - i;
        d.scaleBiasHigh = 444 + i;
        d.curveProfile = 12 + i;
        d.terraceProfile = 5 + i;
    }
    orovista::CombinerSettings &c = s.combiner;
    c.type = int(orovista::CombinerType::Select);
    c.control.type = int(orovista::NoiseType::Voronoi);
    c.control.seed = 9;
    c.control.frequency = 150;
    c.control.lacunarity = 3;
    c.control.quality = 1;
    c.control.octaves = 29;
    c.control.persistence = 2;
    c.control.displacement = 99;
    c.control.imageFile = QStringLiteral("/pictures/control.png");
    c.edgeFalloff = -64;
    orovista::FinalSettings &f = s.final;
    f.noiseSize = 300;
    f.startX = -20;
    f.startY = 31;
    f.previewSize = 2;
    f.mapStyle = 1;
    f.leftGradient = QStringLiteral("desert.bmp");
    f.rightGradient = QStringLiteral("tundra.bmp");
    f.lightOn = false;
    f.lightContrast = 9;
    f.lightIntensity = 77;
    f.lightAzimuth = 300;
    f.lightElevation = 12;
    f.turbulenceFrequency = -45;
    f.turbulencePower = 210;
    f.turbulenceRoughness = 22;
    f.turbulenceSeed = 14;
    f.erosionType = int(orovista::ErosionType::Hydraulics);
    f.erosionIterations = 640;
    f.erosionRain = 66;
    f.erosionSolubility = 44;
    // Not the shown type's controls, but kept all the same.
    f.sedimentRain = 250;
    f.sedimentErosion = 75;
    f.sedimentDeposition = 12;
    f.sedimentCapacity = 333;
    f.sedimentEvaporation = 42;
    f.sedimentMinSlope = 7;
    f.sedimentSeed = 4321;
    f.erosionEvaporation = 140;
    f.erosionCapacity = 88;
    f.terrainSizeExponent = 4;
    f.terrainSize = 2500;
    f.elevationLow = -900;
    f.elevationHigh = 4321;
    return s;
}

void expectSameGenerator(const orovista::GeneratorSettings &a, const orovista::GeneratorSettings &b, bool inputOnly,
                         const char *what)
{
    EXPECT_EQ(a.type, b.type) << what;
    EXPECT_EQ(a.seed, b.seed) << what;
    EXPECT_EQ(a.frequency, b.frequency) << what;
    EXPECT_EQ(a.lacunarity, b.lacunarity) << what;
    EXPECT_EQ(a.quality, b.quality) << what;
    EXPECT_EQ(a.octaves, b.octaves) << what;
    EXPECT_EQ(a.persistence, b.persistence) << what;
    EXPECT_EQ(a.displacement, b.displacement) << what;
    EXPECT_EQ(a.imageFile, b.imageFile) << what;
    if (inputOnly) {
        EXPECT_EQ(a.multiFractalOffset, b.multiFractalOffset) << what;
        EXPECT_EQ(a.multiFractalGain, b.multiFractalGain) << what;
        EXPECT_EQ(a.multiFractalWeight, b.multiFractalWeight) << what;
        EXPECT_EQ(a.gaborAnisotropic, b.gaborAnisotropic) << what;
    }
}

void expectSameSettings(const NoiseSettings &a, const NoiseSettings &b)
{
    expectSameGenerator(a.input[0], b.input[0], true, "INPUT 1");
    expectSameGenerator(a.input[1], b.input[1], true, "INPUT 2");
    for (int i = 0; i < 2; ++i) {
        const orovista::DeformerSettings &x = a.deformer[i], &y = b.deformer[i];
        EXPECT_EQ(x.type, y.type) << i;
        EXPECT_EQ(x.clampLow, y.clampLow) << i;
        EXPECT_EQ(x.clampHigh, y.clampHigh) << i;
        EXPECT_EQ(x.exponent, y.exponent) << i;
        EXPECT_EQ(x.scaleBiasLow, y.scaleBiasLow) << i;
        EXPECT_EQ(x.scaleBiasHigh, y.scaleBiasHigh) << i;
        EXPECT_EQ(x.curveProfile, y.curveProfile) << i;
        EXPECT_EQ(x.terraceProfile, y.terraceProfile) << i;
    }
    // The control noise has no MultiFractal or Gabor controls of its own.
    expectSameGenerator(a.combiner.control, b.combiner.control, false, "control noise");
    EXPECT_EQ(a.combiner.type, b.combiner.type);
    EXPECT_EQ(a.combiner.edgeFalloff, b.combiner.edgeFalloff);
    const orovista::FinalSettings &f = a.final, &g = b.final;
    EXPECT_EQ(f.noiseSize, g.noiseSize);
    EXPECT_EQ(f.startX, g.startX);
    EXPECT_EQ(f.startY, g.startY);
    EXPECT_EQ(f.previewSize, g.previewSize);
    EXPECT_EQ(f.mapStyle, g.mapStyle);
    EXPECT_EQ(f.leftGradient, g.leftGradient);
    EXPECT_EQ(f.rightGradient, g.rightGradient);
    EXPECT_EQ(f.lightOn, g.lightOn);
    EXPECT_EQ(f.lightContrast, g.lightContrast);
    EXPECT_EQ(f.lightIntensity, g.lightIntensity);
    EXPECT_EQ(f.lightAzimuth, g.lightAzimuth);
    EXPECT_EQ(f.lightElevation, g.lightElevation);
    EXPECT_EQ(f.turbulenceFrequency, g.turbulenceFrequency);
    EXPECT_EQ(f.turbulencePower, g.turbulencePower);
    EXPECT_EQ(f.turbulenceRoughness, g.turbulenceRoughness);
    EXPECT_EQ(f.turbulenceSeed, g.turbulenceSeed);
    EXPECT_EQ(f.erosionType, g.erosionType);
    EXPECT_EQ(f.erosionIterations, g.erosionIterations);
    EXPECT_EQ(f.erosionRain, g.erosionRain);
    EXPECT_EQ(f.erosionSolubility, g.erosionSolubility);
    EXPECT_EQ(f.erosionEvaporation, g.erosionEvaporation);
    EXPECT_EQ(f.erosionCapacity, g.erosionCapacity);
    EXPECT_EQ(f.sedimentRain, g.sedimentRain);
    EXPECT_EQ(f.sedimentErosion, g.sedimentErosion);
    EXPECT_EQ(f.sedimentDeposition, g.sedimentDeposition);
    EXPECT_EQ(f.sedimentCapacity, g.sedimentCapacity);
    EXPECT_EQ(f.sedimentEvaporation, g.sedimentEvaporation);
    EXPECT_EQ(f.sedimentMinSlope, g.sedimentMinSlope);
    EXPECT_EQ(f.sedimentSeed, g.sedimentSeed);
    EXPECT_EQ(f.terrainSizeExponent, g.terrainSizeExponent);
    EXPECT_EQ(f.terrainSize, g.terrainSize);
    EXPECT_EQ(f.elevationLow, g.elevationLow);
    EXPECT_EQ(f.elevationHigh, g.elevationHigh);
}

TEST_F(Settings, EveryFieldSurvivesApplyAndRead)
{
    open(true);
    const int runsBefore = runs();
    const NoiseSettings wanted = unusualSettings();
    orovista::state().suppressNoise = true;
    orovista::applyNodeSettings(wanted);
    orovista::state().suppressNoise = false;
    expectSameSettings(orovista::readNodeSettings(), wanted);
    // Nothing ran, nothing asked to run, no type change drew a new seed.
    EXPECT_EQ(runs(), runsBefore);
    EXPECT_TRUE(finalNode().FFReGenerateNoise->isHidden());
    EXPECT_TRUE(asked.empty());

    // The widgets show it: visibility, lists, light, map style.
    EXPECT_FALSE(input1().I1MultiFractalFrame->isHidden());
    EXPECT_TRUE(nodes().input2.I1FrequencySlider->isHidden());
    EXPECT_FALSE(deformer1().D1TerraceFrame->isHidden());
    EXPECT_TRUE(deformer1().terraceButtons[5]->styleSheet().contains("border-width: 2px"));
    EXPECT_TRUE(nodes().deformer2.curveButtons[13]->styleSheet().contains("border-width: 2px"));
    EXPECT_FALSE(combiner().C1EdgeFalloffSlider->isHidden());
    FF &f = finalNode();
    EXPECT_EQ(f.FFSetLightButton->text(), "Light OFF");
    EXPECT_EQ(f.FFTerrainSizeLineEdit->text(), "2500");
    EXPECT_EQ(f.FFAzimuthLabel->text(), QString("azimuth: 300") + QChar(0x00B0));
    EXPECT_FALSE(orovista::state().greyscaleMapMode);
    EXPECT_TRUE(f.FFGradientTypeListViewLeft->isEnabled());
    ASSERT_NE(f.FFGradientTypeListViewLeft->currentItem(), nullptr);
    EXPECT_EQ(f.FFGradientTypeListViewLeft->currentItem()->text(), "desert.bmp");
    EXPECT_EQ(f.FFGradientTypeListViewRight->currentItem()->text(), "tundra.bmp");
    EXPECT_FALSE(f.FFErosionCapacitySpinBox->isHidden());

    // And the start values come back the same way.
    orovista::applyNodeSettings(NoiseSettings());
    expectSameSettings(orovista::readNodeSettings(), NoiseSettings());
    EXPECT_TRUE(orovista::state().greyscaleMapMode);
    EXPECT_EQ(runs(), runsBefore);
}

}   // namespace
