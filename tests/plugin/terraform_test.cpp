// TERRAFORM!: from the noise graph to the terrain meshes, and the normal maps of the CREATE tab.
#include "pluginfixture.h"

#include "graph/ff.h"
#include "graph/nodesettings.h"
#include "plugin/statics.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

namespace {

using namespace orovista;

class Terraform : public PluginFixture {
protected:
    void SetUp() override
    {
        PluginFixture::SetUp();
        openWindowWithInputs(NoiseType::Perlin, NoiseType::Billow);
    }
    FF &ff() { return statics().finalNode; }
    QString maps(const char *file) const { return workFolder() + "/maps/" + file; }
};

TEST_F(Terraform, ATerrainSizeOfZeroIsRefused)
{
    ff().FFTerrainSizeLineEdit->setText("0");
    asked.clear();
    action->generatePreviewTerrain();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Error");
    EXPECT_EQ(asked[0].text, "nice try... please enter a terrain size higher than 0");
    EXPECT_FALSE(state().ui.mainController->isTabEnabled(1));
    EXPECT_FALSE(state().terrainArraysReady);
}

TEST_F(Terraform, BuildsBothMeshesAndOpensPopulate)
{
    action->generatePreviewTerrain();
    const ProgramState &s = state();
    EXPECT_TRUE(s.terrainArraysReady);
    EXPECT_TRUE(s.terrainPresent);
    EXPECT_FALSE(s.terrainCreated);
    EXPECT_EQ(s.fullMesh.gridSize, 512);
    EXPECT_EQ(s.decimatedMesh.gridSize, 128);
    EXPECT_EQ(s.terrainSize, 100);
    for (int tab : {1, 2}) {
        EXPECT_TRUE(s.ui.mainController->isTabEnabled(tab));
        EXPECT_TRUE(s.ui.mainController->tabToolTip(tab).isEmpty());
    }
    EXPECT_EQ(s.ui.mainController->currentIndex(), 1);
    EXPECT_EQ(s.ui.triangleLabel->text(), "triangles: 522242");
    EXPECT_EQ(find<QSpinBox>("glEcoInstancesSpinBox")->value(), 5);
    EXPECT_EQ(s.ui.glTerrain->camera.z, 200.0);
    EXPECT_EQ(s.ui.glTerrain->camera.pitch, 20.0f);
    EXPECT_EQ(s.ui.glTerrain->farPlane, 1600.0f);
    EXPECT_EQ(s.ui.glTerrain->terrainTexturePath, maps("TFFnoisePreview.jpg"));
    EXPECT_EQ(QImage(maps("HFFnoisePreview.jpg")).size(), QSize(512, 512)) << "the terrain comes from a 512 map";
    EXPECT_TRUE(logText().contains("building terrain arrays"));
    EXPECT_NE(s.vertexBuffers[0], 0u) << "the mesh went into the vertex buffer";
    // The mesh spans the elevation range of the final node (0 … 15).
    float lo = 1e9f, hi = -1e9f;
    for (std::size_t i = 1; i < s.fullMesh.vertices.size(); i += 3) {
        lo = std::min(lo, s.fullMesh.vertices[i]);
        hi = std::max(hi, s.fullMesh.vertices[i]);
    }
    EXPECT_FLOAT_EQ(lo, 0.0f);
    EXPECT_FLOAT_EQ(hi, 15.0f);
}

TEST_F(Terraform, ErosionRunsAfterTheMachine)
{
    auto run = [&](int iterations) {
        NoiseSettings s = readNodeSettings();
        s.final.erosionType = int(ErosionType::Thermal);
        s.final.erosionIterations = iterations;
        state().suppressNoise = true;
        applyNodeSettings(s);
        state().suppressNoise = false;
        action->generateNoiseMaps(false, 256, false);
        const noise::utils::NoiseMap &m = statics().finalHeightMap;
        std::vector<float> values;
        for (int y = 0; y < m.GetHeight(); ++y)
            for (int x = 0; x < m.GetWidth(); ++x)
                values.push_back(m.GetValue(x, y));
        return values;
    };
    const std::vector<float> plain = run(0), eroded = run(20);
    ASSERT_EQ(plain.size(), eroded.size());
    EXPECT_NE(plain, eroded) << "erosion changed the map";
    // … and left it where it was: the eroded map does not drop below the map it was made from.
    EXPECT_GE(*std::min_element(eroded.begin(), eroded.end()), *std::min_element(plain.begin(), plain.end()) - 1e-5f);
    EXPECT_FALSE(state().ui.busyOverlay->isVisible());
}

TEST_F(Terraform, NormalMapsFollowTheCreateTab)
{
    action->generatePreviewTerrain();
    QComboBox *size = state().ui.normalMapSize;
    const bool greyscale = state().greyscaleMapMode;
    size->setCurrentIndex(1);   // 512: the thumbnail from the current map
    EXPECT_TRUE(QFile::exists(maps("NMapFFnoisePreviewThumb.jpg")));
    EXPECT_FALSE(state().ui.normalMapPreview->pixmap().isNull());
    EXPECT_EQ(state().greyscaleMapMode, greyscale);

    size->setCurrentIndex(0);   // "no thanks"
    EXPECT_FALSE(state().ui.normalMapBumpHeight->isVisible());
    EXPECT_FALSE(state().ui.normalMapGenerateButton->isVisible());
    EXPECT_EQ(state().greyscaleMapMode, greyscale);

    size->setCurrentIndex(2);   // 1024, then the generate button: a fresh map at that size
    action->generateFinalNormalCustomSize();
    EXPECT_TRUE(logText().contains("manual updated of normal map\n"));
    EXPECT_EQ(QImage(maps("NormalMap_my Terrain 1.jpg")).size(), QSize(1024, 1024));
}

}   // namespace

namespace {

TEST_F(Terraform, ARunAskedForDuringARunComesAfterIt)
{
    const int before = logText().count("noise node 1 generated\n");
    int finishedWhenAsked = -1;
    QTimer::singleShot(0, [&] {
        finishedWhenAsked = logText().count("noise node 6 generated\n");
        action->generateNoiseMaps(false, 256, false);
    });
    action->generateNoiseMaps(false, 256, false);
    const QString log = logText();
    EXPECT_EQ(log.count("noise node 1 generated\n"), before + 2) << "queued, then run once";
    // The second run starts only after the first has finished all its nodes.
    const int lastStart = log.lastIndexOf("noise node 1 generated\n");
    EXPECT_GT(lastStart, log.lastIndexOf("noise node 6 generated\n", lastStart));
    EXPECT_EQ(log.mid(lastStart).count("noise node 6 generated\n"), 1);
    EXPECT_FALSE(state().noiseRunning);
    EXPECT_EQ(finishedWhenAsked, before) << "asked while the first run was under way";
}

}   // namespace
