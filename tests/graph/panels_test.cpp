// The node panels worked as a user would: reseeding, the image choice, visibility per type, the
// deformer presets and reset, the final node's switches, and when the noise machine runs.
#include "panelstestsupport.h"

#include "graph/noisegraph.h"
#include "graph/nodesettings.h"
#include "plugin/random.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

#include <set>

namespace {

using orovista::state;

// --- Reseeding ---------------------------------------------------------------------------------

TEST(Reseeding, EveryMillisecondGivesTheSameSeedIn0To16)
{
    std::set<int> seen;
    for (int ms = 0; ms < 1000; ++ms) {
        const int seed = orovista::random::nodeSeedFromMilliseconds(ms);
        ASSERT_GE(seed, 0) << ms;
        ASSERT_LE(seed, 16) << ms;
        EXPECT_EQ(orovista::random::nodeSeedFromMilliseconds(ms), seed) << ms;
        seen.insert(seed);
    }
    EXPECT_EQ(seen.size(), 17u);   // every seed occurs
    for (int i = 0; i < 20; ++i) {
        const int fresh = orovista::random::freshNodeSeed();
        EXPECT_GE(fresh, 0);
        EXPECT_LE(fresh, 16);
    }
}

TEST(Reseeding, NewNodesStartWithTheirSeeds)
{
    EXPECT_EQ(C1().seed, 1);
    const I1 input(1);
    EXPECT_GE(input.seed, 0);
    EXPECT_LE(input.seed, 16);
    const FF final;
    EXPECT_GE(final.turbulenceSeed, 0);
    EXPECT_LE(final.turbulenceSeed, 16);
}

using Reseed = PanelsTest;

TEST_F(Reseed, InputReseedsSeededTypesOnlyAndResetsTheMultiFractalValues)
{
    open(false);
    I1 &in = input1();
    in.I1TerrainType->setCurrentText("MultiFractal");
    in.I1MultiFractalOffsetSpinBox->setValue(-5);
    in.I1MultiFractalGainSpinBox->setValue(7);
    in.I1MultiFractalWeightSpinBox->setValue(9);
    in.seed = 99;
    const int before = runs();
    emit in.I1SeedButton->released();
    EXPECT_GE(in.seed, 0);
    EXPECT_LE(in.seed, 16);
    EXPECT_EQ(in.I1MultiFractalOffsetSpinBox->value(), 100);
    EXPECT_EQ(in.I1MultiFractalGainSpinBox->value(), 200);
    EXPECT_EQ(in.I1MultiFractalWeightSpinBox->value(), 100);
    EXPECT_EQ(runs(), before + 1);   // runs whatever the AUTO mode

    // Spheres take no seed: nothing changes, nothing runs.
    in.I1TerrainType->setCurrentText("Spheres");
    in.seed = 99;
    in.I1MultiFractalOffsetSpinBox->setValue(-5);
    const int afterSpheres = runs();
    emit in.I1SeedButton->released();
    EXPECT_EQ(in.seed, 99);
    EXPECT_EQ(in.I1MultiFractalOffsetSpinBox->value(), -5);
    EXPECT_EQ(runs(), afterSpheres);
}

TEST_F(Reseed, ChoosingAnInputTypeDrawsAFreshSeed)
{
    open(false);
    I1 &in = input1();
    in.seed = 99;
    in.I1TerrainType->setCurrentText("Perlin");
    EXPECT_GE(in.seed, 0);
    EXPECT_LE(in.seed, 16);
}

TEST_F(Reseed, CombinerTestsTheControlNoiseTypeAndTurbulenceAlwaysReseeds)
{
    open(false);
    C1 &c = combiner();
    c.seed = 99;
    c.C1NoiseType->setCurrentText("Cylinders");
    emit c.C1SeedButton->released();
    EXPECT_EQ(c.seed, 99);
    c.C1NoiseType->setCurrentText("Voronoi");
    EXPECT_EQ(c.seed, 99);   // a new control type keeps its seed
    const int before = runs();
    emit c.C1SeedButton->released();
    EXPECT_GE(c.seed, 0);
    EXPECT_LE(c.seed, 16);
    EXPECT_EQ(runs(), before + 1);

    FF &f = finalNode();
    f.turbulenceSeed = 99;
    emit f.FFTurbulenceSeed->released();
    EXPECT_GE(f.turbulenceSeed, 0);
    EXPECT_LE(f.turbulenceSeed, 16);
    EXPECT_EQ(runs(), before + 2);
}

// --- The "Image" type ----------------------------------------------------------------------------

using ImageChoice = PanelsTest;

TEST_F(ImageChoice, CancelOnAnInputReturnsToThePreviousTypeWithItsSeed)
{
    open(false);
    I1 &in = input1();
    in.I1TerrainType->setCurrentText("Perlin");
    const int seed = in.seed;
    answerFiles(QString());
    in.I1TerrainType->setCurrentText("Image");
    emit in.I1TerrainType->textActivated("Image");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, orovista::dialogs::Request::OpenFile);
    EXPECT_EQ(asked[0].title, "Open File");
    EXPECT_EQ(asked[0].text, "Images (*.png *.xpm *.jpg *.bmp)");
    EXPECT_EQ(in.I1TerrainType->currentText(), "Perlin");
    EXPECT_EQ(in.seed, seed);
    EXPECT_FALSE(in.I1PersistenceSlider->isHidden());
    EXPECT_TRUE(errors().isEmpty());
}

TEST_F(ImageChoice, AChosenPictureIsKeptAndRunsEvenWithAutoOff)
{
    open(false);
    I1 &in = nodes().input2;
    answerFiles("/somewhere/rocks.png");
    const int before = runs();
    in.I1TerrainType->setCurrentText("Image");
    EXPECT_EQ(runs(), before);   // the type change alone waits for the picture
    emit in.I1TerrainType->textActivated("Image");
    EXPECT_EQ(in.imageFileName, "/somewhere/rocks.png");
    EXPECT_EQ(in.I1TerrainType->currentText(), "Image");
    EXPECT_TRUE(in.I1FrequencySlider->isHidden());
    EXPECT_EQ(runs(), before + 1);
    EXPECT_EQ(orovista::readNodeSettings().input[1].imageFile, "/somewhere/rocks.png");
}

TEST_F(ImageChoice, CancelOnTheCombinerSelectsFlatWithAnErrorBox)
{
    open(false);
    C1 &c = combiner();
    c.C1NoiseType->setCurrentText("Perlin");
    answerFiles(QString());
    c.C1NoiseType->setCurrentText("Image");
    emit c.C1NoiseType->textActivated("Image");
    EXPECT_EQ(errors(), QStringList{"no image chosen, selecting constant noise"});
    EXPECT_EQ(c.C1NoiseType->currentText(), "Flat");
}

// --- Visibility ----------------------------------------------------------------------------------

using Visibility = PanelsTest;

TEST_F(Visibility, InputRowsAndFramesFollowTheType)
{
    open(false);
    I1 &in = input1();
    // frequency, lacunarity, quality, octaves, persistence, displacement, MultiFractal, Gabor
    const std::map<QString, std::string> table = {
        {"Flat", "00000000"},        {"Billow", "11111000"},   {"CheckerBoard", "10000000"},
        {"Cylinders", "10000000"},   {"MultiFractal", "11110010"}, {"Perlin", "11111000"},
        {"Spheres", "10000000"},     {"Voronoi", "10000100"},  {"Gabor Convolution", "10001101"},
        {"Image", "00000000"}};
    ASSERT_EQ(in.I1TerrainType->count(), 10);
    for (int i = 0; i < in.I1TerrainType->count(); ++i) {
        const QString type = in.I1TerrainType->itemText(i);
        in.I1TerrainType->setCurrentIndex(i);
        in.setControlsVisibility();
        const QWidget *rows[] = {in.I1FrequencySlider,  in.I1LacunaritySlider,  in.I1QualitySlider,
                                 in.I1OctavesSlider,    in.I1PersistenceSlider, in.I1DisplacementSlider,
                                 in.I1MultiFractalFrame, in.I1GaborNoiseFrame};
        const QWidget *labels[] = {in.I1FrequencyLabel, in.I1LacunarityLabel,  in.I1QualityLabel,
                                   in.I1OctavesLabel,   in.I1PersistenceLabel, in.I1DisplacementLabel};
        std::string shown;
        for (const QWidget *w : rows)
            shown += w->isHidden() ? '0' : '1';
        EXPECT_EQ(shown, table.at(type)) << type.toStdString();
        for (int r = 0; r < 6; ++r)
            EXPECT_EQ(labels[r]->isHidden(), rows[r]->isHidden()) << type.toStdString() << r;
    }
}

TEST_F(Visibility, TheWindowStartsWithFlatInputsAndNoRows)
{
    open(false);
    for (I1 *in : {&input1(), &nodes().input2}) {
        EXPECT_EQ(in->I1TerrainType->currentText(), "Flat");
        EXPECT_TRUE(in->I1FrequencySlider->isHidden());
        EXPECT_TRUE(in->I1FrequencyLabel->isHidden());
        EXPECT_TRUE(in->I1MultiFractalFrame->isHidden());
        EXPECT_TRUE(in->I1GaborNoiseFrame->isHidden());
    }
}

TEST_F(Visibility, CombinerGreysUnusedControlRowsAndShowsFalloffForSelectOnly)
{
    open(false);
    C1 &c = combiner();
    c.C1NoiseType->setCurrentText("Perlin");
    const QString light = "color:rgba(210,210,210,255);", grey = "color:rgba(80,80,80,255);";
    for (int i = 0; i < c.C1TerrainType->count(); ++i) {
        c.C1TerrainType->setCurrentIndex(i);
        const QString type = c.C1TerrainType->currentText();
        const bool used = type == "Blend" || type == "Select";
        EXPECT_TRUE(c.C1FrequencyLabel->styleSheet().contains(used ? light : grey)) << type.toStdString();
        EXPECT_TRUE(c.C1PersistenceLabel->styleSheet().contains(used ? light : grey)) << type.toStdString();
        EXPECT_EQ(c.C1EdgeFalloffSlider->isHidden(), type != "Select") << type.toStdString();
        EXPECT_EQ(c.C1EdgeFalloffLabel->isHidden(), type != "Select") << type.toStdString();
    }
    // The control rows follow the control noise type as an INPUT's do.
    c.C1NoiseType->setCurrentText("Voronoi");
    EXPECT_FALSE(c.C1DisplacementSlider->isHidden());
    EXPECT_TRUE(c.C1OctavesSlider->isHidden());
}

TEST_F(Visibility, DeformerShowsTheFrameOfItsTypeOnly)
{
    open(false);
    D1 &d = deformer1();
    const std::map<QString, QFrame *> frames = {{"Clamp", d.D1ClampFrame},         {"Curve", d.D1CurveFrame},
                                                {"Exponent", d.D1ExponentFrame},   {"ScaleBias", d.D1ScaleBiasFrame},
                                                {"Terrace", d.D1TerraceFrame}};
    EXPECT_EQ(d.D1TerrainType->currentText(), "Clamp");
    for (int i = 0; i < d.D1TerrainType->count(); ++i) {
        d.D1TerrainType->setCurrentIndex(i);
        const QString type = d.D1TerrainType->currentText();
        for (const auto &[owner, frame] : frames)
            EXPECT_EQ(frame->isHidden(), owner != type) << type.toStdString() << " " << owner.toStdString();
    }
    EXPECT_TRUE(d.D1CurvePointsSlider->isHidden());
    EXPECT_TRUE(d.D1TerracePointsSlider->isHidden());
}

TEST_F(Visibility, ErosionRowsFollowTheErosionType)
{
    open(false);
    FF &f = finalNode();
    // iterations, the four hydraulic rows, the seven sediment rows
    const std::map<QString, std::string> table = {
        {"no erosion", "000000000000"},       {"thermal", "100000000000"},
        {"improved thermal", "100000000000"}, {"hydraulics", "111110000000"},
        {"smooth terrain", "100000000000"},   {"sediment erosion", "100001111111"}};
    ASSERT_EQ(f.FFErosionTypeComboBox->count(), 6);
    for (int i : {3, 0, 1, 5, 2, 4, 3, 5, 0}) {
        f.FFErosionTypeComboBox->setCurrentIndex(i);
        const QString type = f.FFErosionTypeComboBox->currentText();
        const std::pair<QWidget *, QWidget *> rows[] = {
            {f.FFErosionIterationsLabel, f.FFErosionIterationsSpinBox},
            {f.FFErosionRainAmountLabel, f.FFErosionRainAmountSpinBox},
            {f.FFErosionSolubilityLabel, f.FFErosionSolubilitySpinBox},
            {f.FFErosionEvaporationLabel, f.FFErosionEvaporationSpinBox},
            {f.FFErosionCapacityLabel, f.FFErosionCapacitySpinBox},
            {f.FFSedimentRainLabel, f.FFSedimentRainSpinBox},
            {f.FFSedimentErosionLabel, f.FFSedimentErosionSpinBox},
            {f.FFSedimentDepositionLabel, f.FFSedimentDepositionSpinBox},
            {f.FFSedimentCapacityLabel, f.FFSedimentCapacitySpinBox},
            {f.FFSedimentEvaporationLabel, f.FFSedimentEvaporationSpinBox},
            {f.FFSedimentMinSlopeLabel, f.FFSedimentMinSlopeSpinBox},
            {f.FFSedimentSeedLabel, f.FFSedimentSeedSpinBox}};
        std::string shown;
        for (const auto &[label, box] : rows) {
            EXPECT_EQ(label->isHidden(), box->isHidden());
            shown += box->isHidden() ? '0' : '1';
        }
        EXPECT_EQ(shown, table.at(type)) << type.toStdString();
        EXPECT_FALSE(f.FFReGenerateNoise->isHidden());
    }
    // The sediment rows lie inside the page, below the iterations, one under the other.
    f.FFErosionTypeComboBox->setCurrentIndex(int(orovista::ErosionType::Sediment));
    const QRect page = f.FFErosionFrame->rect();
    int last = f.FFErosionIterationsSpinBox->geometry().bottom();
    for (QSpinBox *box : {f.FFSedimentRainSpinBox.data(), f.FFSedimentErosionSpinBox.data(),
                          f.FFSedimentDepositionSpinBox.data(), f.FFSedimentCapacitySpinBox.data(),
                          f.FFSedimentEvaporationSpinBox.data(), f.FFSedimentMinSlopeSpinBox.data(),
                          f.FFSedimentSeedSpinBox.data()}) {
        EXPECT_TRUE(page.contains(box->geometry())) << box->objectName().toStdString();
        EXPECT_GT(box->geometry().top(), last) << box->objectName().toStdString();
        last = box->geometry().bottom();
    }
    // Settings applied without signals still show the right rows.
    orovista::NoiseSettings s = orovista::readNodeSettings();
    s.final.erosionType = int(orovista::ErosionType::Hydraulics);
    orovista::applyNodeSettings(s);
    EXPECT_FALSE(f.FFErosionCapacitySpinBox->isHidden());
    s.final.erosionType = int(orovista::ErosionType::None);
    orovista::applyNodeSettings(s);
    EXPECT_TRUE(f.FFErosionIterationsSpinBox->isHidden());
}

// --- AUTO mode and the regenerate button ---------------------------------------------------------

using Regenerate = PanelsTest;

TEST_F(Regenerate, WithAutoOffAReleasedSliderOnlyShowsTheButton)
{
    open(false);
    removePictures();
    FF &f = finalNode();
    ASSERT_TRUE(f.FFReGenerateNoise->isHidden());
    const int before = runs();
    release(input1().I1FrequencySlider, 40);
    EXPECT_FALSE(f.FFReGenerateNoise->isHidden());
    EXPECT_EQ(runs(), before);
    EXPECT_TRUE(pictures().isEmpty());

    // The other nodes' controls behave the same.
    f.FFReGenerateNoise->hide();
    release(combiner().C1OctavesSlider, 7);
    EXPECT_FALSE(f.FFReGenerateNoise->isHidden());
    f.FFReGenerateNoise->hide();
    emit deformer1().D1ExponentButton->released();
    EXPECT_FALSE(f.FFReGenerateNoise->isHidden());
    f.FFReGenerateNoise->hide();
    input1().I1GaborAnisoCheckBox->setChecked(true);
    EXPECT_FALSE(f.FFReGenerateNoise->isHidden());
    EXPECT_EQ(runs(), before);
    EXPECT_TRUE(pictures().isEmpty());
}

TEST_F(Regenerate, WithAutoOnAReleasedSliderRunsTheMachine)
{
    open(true);
    const int before = runs();
    release(input1().I1FrequencySlider, 40);
    EXPECT_EQ(runs(), before + 1);
    EXPECT_TRUE(finalNode().FFReGenerateNoise->isHidden());
}

TEST_F(Regenerate, AFinalNodeValueShowsTheButtonAndARefreshRuns)
{
    open(true);
    removePictures();
    FF &f = finalNode();
    const int before = runs();
    f.FFBoundsSpinBox->setValue(8);
    f.FFLightIntensitySlider->setValue(60);
    EXPECT_FALSE(f.FFReGenerateNoise->isHidden());
    EXPECT_TRUE(f.dirty);
    EXPECT_EQ(runs(), before);   // never by itself, even with AUTO on
    EXPECT_TRUE(pictures().isEmpty());

    f.FFPreviewImageSlider->setValue(2);
    emit f.FFReGenerateNoise->released();
    EXPECT_TRUE(f.FFReGenerateNoise->isHidden());
    EXPECT_FALSE(f.dirty);
    EXPECT_EQ(f.previousPreviewSize, 256);
    EXPECT_EQ(state().previewSize, 512);
    EXPECT_EQ(runs(), before + 1);
}

TEST_F(Regenerate, StartUpRunsTheMachineOnce)
{
    open(true);
    EXPECT_EQ(runs(), 1);
    EXPECT_TRUE(finalNode().FFReGenerateNoise->isHidden());
}

// --- Deformer presets and reset --------------------------------------------------------------------

using Deformer = PanelsTest;

TEST_F(Deformer, PresetGridsHoldTheirButtonsWithTheCurvePictures)
{
    open(false);
    D1 &d = deformer1();
    ASSERT_EQ(d.curveButtons.size(), 17);
    ASSERT_EQ(d.terraceButtons.size(), 16);
    for (int n = 0; n < 17; ++n) {
        EXPECT_EQ(d.curveButtons[n]->objectName(), "curve_" + QString::number(n));
        EXPECT_TRUE(d.D1CurveProfilesFrame->isAncestorOf(d.curveButtons[n]));
    }
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(d.terraceButtons[n]->objectName(), "terrace_" + QString::number(n));
        EXPECT_TRUE(d.D1TerraceProfilesFrame->isAncestorOf(d.terraceButtons[n]));
    }
    // Both grids show the curve pictures where the resource folder has them.
    const QString resources = QStringLiteral(OROVISTA_PLUGINS_DIR) + "/orovistaData/resources/";
    for (int n : {0, 3, 15})
        if (QFile::exists(resources + "curve_" + QString::number(n) + ".jpg")) {
            EXPECT_FALSE(d.curveButtons[n]->icon().isNull()) << n;
            EXPECT_FALSE(d.terraceButtons[n]->icon().isNull()) << n;
        }
}

TEST_F(Deformer, ClickingCurveThreeTwiceKeepsProfileThreeAndRunsEachTime)
{
    open(true);
    D1 &d = deformer1();
    d.selectCurveProfile(0);
    const QString plain = "* { \nborder-width: 1px;\nborder-style: solid;\nborder-color: rgba(35,35,35,255);\n"
                          "background-color: rgba(225,25,25,255);\n}";
    const QString chosen = "* { \nborder-width: 2px;\nborder-style: solid;\nborder-color: rgba(255,195,0,255);\n"
                           "background-color: rgba(225,25,25,255);\n}";
    const int before = runs();
    d.curveButtons[3]->click();
    d.curveButtons[3]->click();
    EXPECT_EQ(d.curveProfile, 3);
    EXPECT_EQ(runs(), before + 2);
    for (int n = 0; n < 17; ++n)
        EXPECT_EQ(d.curveButtons[n]->styleSheet(), n == 3 ? chosen : plain) << n;
    EXPECT_EQ(orovista::readNodeSettings().deformer[0].curveProfile, 3);

    d.terraceButtons[15]->click();
    EXPECT_EQ(d.terraceProfile, 15);
    EXPECT_EQ(d.terraceButtons[15]->styleSheet(), chosen);
    EXPECT_EQ(d.terraceButtons[0]->styleSheet(), plain);
    EXPECT_EQ(d.curveProfile, 3);   // the grids are independent
}

TEST_F(Deformer, ProfileNumbersOutsideTheTablesMeanNone)
{
    open(false);
    D1 &d = nodes().deformer2;
    d.selectCurveProfile(17);
    EXPECT_EQ(d.curveProfile, 0);
    d.selectTerraceProfile(-1);
    EXPECT_EQ(d.terraceProfile, 0);
    d.selectTerraceProfile(15);
    EXPECT_EQ(d.terraceProfile, 15);
}

TEST_F(Deformer, ResetAllRestoresTheStartValuesAndRunsOnce)
{
    open(false);
    D1 &d = nodes().deformer2;
    d.D1TerrainType->setCurrentText("ScaleBias");
    d.D1ClampLowerSpinBox->setValue(-20);
    d.D1ClampUpperSpinBox->setValue(30);
    d.D1CurvePointsSlider->setValue(6);
    d.D1TerracePointsSlider->setValue(7);
    d.D1ExponentSpinBox->setValue(5);
    d.D1ScaleBiasLowerSpinBox->setValue(-40);
    d.D1ScaleBiasUpperSpinBox->setValue(250);
    d.curveButtons[4]->click();
    d.terraceButtons[9]->click();
    finalNode().FFReGenerateNoise->hide();
    const int before = runs();
    emit d.D1ResetButton->released();
    EXPECT_EQ(runs(), before + 1);   // whatever the AUTO mode, and only once
    EXPECT_EQ(d.D1TerrainType->currentIndex(), 1);
    EXPECT_EQ(d.D1TerrainType->currentText(), "Clamp");
    EXPECT_EQ(d.D1ClampLowerSpinBox->value(), -100);
    EXPECT_EQ(d.D1ClampUpperSpinBox->value(), 100);
    EXPECT_EQ(d.D1CurvePointsSlider->value(), 2);
    EXPECT_EQ(d.D1TerracePointsSlider->value(), 2);
    EXPECT_EQ(d.D1ExponentSpinBox->value(), 1);
    EXPECT_EQ(d.D1ScaleBiasLowerSpinBox->value(), 10);
    EXPECT_EQ(d.D1ScaleBiasUpperSpinBox->value(), 0);
    EXPECT_EQ(d.curveProfile, 0);
    EXPECT_EQ(d.terraceProfile, 0);
    EXPECT_TRUE(d.curveButtons[0]->styleSheet().contains("border-width: 2px"));
    EXPECT_TRUE(d.terraceButtons[0]->styleSheet().contains("border-width: 2px"));
    EXPECT_TRUE(d.curveButtons[4]->styleSheet().contains("border-width: 1px"));
    EXPECT_TRUE(d.terraceButtons[9]->styleSheet().contains("border-width: 1px"));
    EXPECT_FALSE(d.D1ClampFrame->isHidden());
    EXPECT_TRUE(d.D1ScaleBiasFrame->isHidden());
    // DEFORMER 1 is untouched.
    EXPECT_EQ(orovista::readNodeSettings().deformer[1].type, int(orovista::DeformerType::Clamp));
}

// --- Gabor convolution -----------------------------------------------------------------------------

using Gabor = PanelsTest;

TEST_F(Gabor, PersistenceOneGivesFourImpulsesAndTenGives2048)
{
    open(false);
    I1 &in = input1();
    in.I1TerrainType->setCurrentText("Gabor Convolution");
    in.I1PersistenceSlider->setValue(1);
    EXPECT_EQ(orovista::gaborImpulsesPerKernel(orovista::readNodeSettings().input[0].persistence), 4);
    in.I1PersistenceSlider->setValue(10);
    EXPECT_EQ(orovista::gaborImpulsesPerKernel(orovista::readNodeSettings().input[0].persistence), 2048);
    in.I1GaborAnisoCheckBox->setChecked(true);
    EXPECT_TRUE(orovista::readNodeSettings().input[0].gaborAnisotropic);
    EXPECT_FALSE(orovista::readNodeSettings().input[1].gaborAnisotropic);
}

// --- Final node ------------------------------------------------------------------------------------

using FinalNode = PanelsTest;

TEST_F(FinalNode, TerrainSizeSliderSetsTheFieldAndTheUpperElevation)
{
    open(false);
    FF &f = finalNode();
    EXPECT_EQ(f.FFTerrainSizeLineEdit->text(), "100");
    EXPECT_EQ(f.FFTerrainElevationUpSpinBox->value(), 15);
    f.FFTerrainSizeSlider->setValue(3);
    EXPECT_EQ(f.FFTerrainSizeLineEdit->text(), "1000");
    EXPECT_EQ(f.FFTerrainElevationUpSpinBox->value(), 100);
    f.FFTerrainSizeSlider->setValue(1);
    EXPECT_EQ(f.FFTerrainSizeLineEdit->text(), "10");
    EXPECT_EQ(f.FFTerrainElevationUpSpinBox->value(), 1);
    f.FFTerrainSizeSlider->setValue(5);
    EXPECT_EQ(f.FFTerrainSizeLineEdit->text(), "100000");
    EXPECT_EQ(f.FFTerrainElevationUpSpinBox->value(), 9000);   // the spin box's top
    EXPECT_EQ(orovista::readNodeSettings().final.terrainSize, 100000);
}

TEST_F(FinalNode, LightButtonTogglesAndRunsEachTime)
{
    open(false);
    FF &f = finalNode();
    ASSERT_EQ(f.FFSetLightButton->text(), "Light ON");
    const int before = runs();
    emit f.FFSetLightButton->released();
    EXPECT_EQ(f.FFSetLightButton->text(), "Light OFF");
    EXPECT_TRUE(f.FFSetLightButton->styleSheet().contains("background-color: rgba(95,95,95,255);"));
    EXPECT_TRUE(f.FFSetLightButton->styleSheet().contains("color: rgba(210,210,210,255);"));
    EXPECT_FALSE(orovista::readNodeSettings().final.lightOn);
    emit f.FFSetLightButton->released();
    EXPECT_EQ(f.FFSetLightButton->text(), "Light ON");
    EXPECT_TRUE(f.FFSetLightButton->styleSheet().contains("background-color: rgba(255,195,0,255);"));
    EXPECT_TRUE(f.FFSetLightButton->styleSheet().contains("color: rgba(40,40,40,255);"));
    EXPECT_TRUE(orovista::readNodeSettings().final.lightOn);
    EXPECT_EQ(runs(), before + 2);
}

TEST_F(FinalNode, DialsShowTheirAngles)
{
    open(false);
    FF &f = finalNode();
    EXPECT_EQ(f.FFAzimuthLabel->text(), QString("azimuth: 45") + QChar(0x00B0));
    EXPECT_EQ(f.FFElevationLabel->text(), QString("pitch: 45") + QChar(0x00B0));
    f.FFAzimuthDial->setValue(270);
    emit f.FFAzimuthDial->sliderReleased();
    f.FFElevationDial->setValue(30);
    emit f.FFElevationDial->sliderReleased();
    EXPECT_EQ(f.FFAzimuthLabel->text(), QString("azimuth: 270") + QChar(0x00B0));
    EXPECT_EQ(f.FFElevationLabel->text(), QString("pitch: 30") + QChar(0x00B0));
    const orovista::FinalSettings s = orovista::readNodeSettings().final;
    EXPECT_EQ(s.lightAzimuth, 270);
    EXPECT_EQ(s.lightElevation, 30);
}

TEST_F(FinalNode, CollapseSwitchesBetweenTheTwoSizes)
{
    open(false);
    FF &f = finalNode();
    QTabWidget *panel = f.panel();
    EXPECT_EQ(panel->size(), QSize(360, 360));
    panel->setCurrentIndex(2);
    f.FFCollapseCheckBox->setChecked(false);
    EXPECT_EQ(panel->size(), QSize(180, 190));
    EXPECT_EQ(panel->currentIndex(), 0);
    EXPECT_FALSE(panel->isTabVisible(1));
    f.FFCollapseCheckBox->setChecked(true);
    EXPECT_EQ(panel->size(), QSize(360, 360));
    EXPECT_TRUE(panel->isTabVisible(3));

    C1 &c = combiner();
    const QSize full = c.panel()->size();
    c.C1CollapseCheckBox->setChecked(false);
    EXPECT_LT(c.panel()->width(), full.width());
    c.C1CollapseCheckBox->setChecked(true);
    EXPECT_EQ(c.panel()->size(), full);
}

TEST_F(FinalNode, MapStyleSwitchesListsFlagAndGradientNames)
{
    open(false);
    FF &f = finalNode();
    QListWidget *left = f.FFGradientTypeListViewLeft, *right = f.FFGradientTypeListViewRight;
    ASSERT_GT(left->count(), 2) << "the gradients are missing from the resource folder";
    ASSERT_TRUE(state().greyscaleMapMode);
    EXPECT_EQ(left->currentItem()->text(), "black and white.bmp");
    EXPECT_EQ(right->currentItem()->text(), "black and white.bmp");
    EXPECT_FALSE(left->isEnabled());

    f.FFSetCurrentMapSlider->setValue(1);
    EXPECT_FALSE(state().greyscaleMapMode);
    EXPECT_TRUE(left->isEnabled());
    EXPECT_TRUE(right->isEnabled());
    EXPECT_EQ(left->currentItem()->text(), "australia 2.bmp");
    EXPECT_EQ(f.leftGradientName, "australia 2.bmp");
    EXPECT_TRUE(f.FFTextureMapLabel->styleSheet().contains("background-color: rgba(71,120,247,255);"));
    EXPECT_FALSE(f.FFHeightMapLabel->styleSheet().contains("71,120,247"));

    // In the texture view the lists choose the gradients.
    const int runsBefore = runs();
    left->setCurrentRow(0);
    EXPECT_EQ(f.leftGradientName, left->item(0)->text());
    EXPECT_EQ(f.rightGradientName, "australia 2.bmp");
    EXPECT_EQ(runs(), runsBefore + 1);
    const QString chosen = f.leftGradientName;

    // Back to the height view: grey in the lists, the names stay, also through a refresh.
    f.FFSetCurrentMapSlider->setValue(0);
    EXPECT_TRUE(state().greyscaleMapMode);
    EXPECT_FALSE(left->isEnabled());
    EXPECT_EQ(left->currentItem()->text(), "black and white.bmp");
    EXPECT_EQ(f.leftGradientName, chosen);
    emit f.FFReGenerateNoise->released();
    EXPECT_EQ(f.leftGradientName, chosen);
    EXPECT_EQ(f.rightGradientName, "australia 2.bmp");
    EXPECT_TRUE(f.FFHeightMapLabel->styleSheet().contains("background-color: rgba(71,120,247,255);"));
    EXPECT_TRUE(errors().isEmpty());

    // And to the texture view again: the lists show the names in use.
    f.FFSetCurrentMapSlider->setValue(1);
    EXPECT_EQ(left->currentItem()->text(), chosen);
    EXPECT_EQ(orovista::readNodeSettings().final.leftGradient, chosen);
}

TEST_F(FinalNode, HeightMapWithoutTheGreyGradientShowsTheErrorBox)
{
    QTemporaryDir plugins;
    const QString gradients = plugins.path() + "/orovistaData/resources/gradients";
    QDir().mkpath(gradients);
    // Two real gradients, without the grey one.
    const QString shipped = QStringLiteral(OROVISTA_PLUGINS_DIR) + "/orovistaData/resources/gradients/";
    for (const char *name : {"desert.bmp", "tundra.bmp"})
        ASSERT_TRUE(QFile::copy(shipped + name, gradients + "/" + name)) << name;
    action->resourcePath = plugins.path() + "/orovistaData";
    open(false);
    FF &f = finalNode();
    ASSERT_EQ(f.FFGradientTypeListViewLeft->count(), 2);
    answerFiles(QString());
    f.FFSetCurrentMapSlider->setValue(1);
    EXPECT_TRUE(errors().isEmpty());
    f.FFSetCurrentMapSlider->setValue(0);
    EXPECT_EQ(errors(), QStringList{"Missing standard black/white gradient !"});
    EXPECT_TRUE(state().greyscaleMapMode);
    EXPECT_FALSE(f.FFGradientTypeListViewLeft->isEnabled());
}

TEST_F(FinalNode, MapStyleShowsEachNodesPicture)
{
    open(false);
    // Pictures of a recognisable colour under every name the panels show.
    const QString maps = workFolder() + "/maps/";
    for (const char *n : {"I1", "I2", "D1", "D2", "FF"}) {
        QImage height(8, 8, QImage::Format_RGB32), colour(8, 8, QImage::Format_RGB32);
        height.fill(Qt::white);
        colour.fill(Qt::red);
        ASSERT_TRUE(height.save(maps + "H" + QLatin1String(n) + "noisePreview.jpg"));
        ASSERT_TRUE(colour.save(maps + "T" + QLatin1String(n) + "noisePreview.jpg"));
    }
    FF &f = finalNode();
    auto centre = [](QLabel *l) { return l->pixmap().toImage().pixelColor(4, 4); };
    f.FFSetCurrentMapSlider->setValue(1);
    for (QLabel *l : {nodes().input1.I1PreviewLabel.data(), nodes().input2.I1PreviewLabel.data(),
                      nodes().deformer1.D1PreviewLabel.data(), nodes().deformer2.D1PreviewLabel.data(),
                      f.FFPreviewLabel.data()}) {
        ASSERT_FALSE(l->pixmap().isNull());
        EXPECT_GT(centre(l).red(), 200);
        EXPECT_LT(centre(l).green(), 60);
    }
    f.FFSetCurrentMapSlider->setValue(0);
    for (QLabel *l : {nodes().input1.I1PreviewLabel.data(), nodes().deformer2.D1PreviewLabel.data(),
                      f.FFPreviewLabel.data()})
        EXPECT_GT(centre(l).green(), 200);
}

}   // namespace
