// Exports for engines and other programs: engine sizes and import values, the splat map, the
// OBJ with normals and a material.
#include "dzapp.h"
#include "dzimportmgr.h"
#include "dzobject.h"
#include "dzsettings.h"
#include "noise/noisemap.h"
#include "scene/engineexport.h"
#include "scene/hostscene.h"
#include "scene/splatmap.h"
#include "scene/terrainobj.h"
#include "terrain/terrainarrays.h"

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace orovista;
using namespace orovista::engine;

ElevationGrid rampGrid(int n, float low, float high)
{
    ElevationGrid g;
    g.size = n;
    g.metres.resize(std::size_t(n) * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            g.metres[std::size_t(r) * n + c] = low + (high - low) * float(r) / float(n - 1);
    g.lowest = low;
    g.highest = high;
    return g;
}

TEST(EngineExport, SizesAndDefaults)
{
    EXPECT_EQ(engineNamed("Unity"), Engine::Unity);
    EXPECT_EQ(engineNamed("UNREAL"), Engine::Unreal);
    EXPECT_FALSE(engineNamed("godot"));
    for (int size : engineSizes(Engine::Unity)) {
        const int n = size - 1;
        EXPECT_EQ(n & (n - 1), 0) << size << " is 2^n + 1";
    }
    EXPECT_EQ(engineSizes(Engine::Unity).front(), 33);
    EXPECT_EQ(engineSizes(Engine::Unity).back(), 4097);
    EXPECT_TRUE(isEngineSize(Engine::Unreal, 1009));
    EXPECT_FALSE(isEngineSize(Engine::Unreal, 1025));
    EXPECT_EQ(defaultEngineSize(Engine::Unity, 512), 1025);
    EXPECT_EQ(defaultEngineSize(Engine::Unity, 2048), 2049);
    EXPECT_EQ(defaultEngineSize(Engine::Unity, 16384), 4097);
    EXPECT_EQ(defaultEngineSize(Engine::Unreal, 1009), 1009);
    EXPECT_EQ(defaultEngineSize(Engine::Unreal, 1024), 2017) << "the next size above a larger texture";
    EXPECT_EQ(defaultEngineSize(Engine::Unreal, 2048), 4033);
}

TEST(EngineExport, UnrealZScaleAndLocationFromTheRange)
{
    const ElevationGrid g = rampGrid(1009, 0.0f, 15.0f);
    const ImportValues v = importValues(Engine::Unreal, g, 1000.0, false);
    EXPECT_DOUBLE_EQ(v.scaleZ, 15.0 * 100.0 / 512.0);
    EXPECT_DOUBLE_EQ(v.scaleX, 1000.0 * 100.0 / 1008.0);
    EXPECT_DOUBLE_EQ(v.locationZ, 750.0);
    EXPECT_DOUBLE_EQ(v.locationX, -50000.0);
    // Sample value 0 and 65535 land at the lowest and highest elevation (centimetres).
    auto heightOf = [&](double value) { return v.locationZ + (value - 32768.0) / 128.0 * v.scaleZ; };
    EXPECT_NEAR(heightOf(0.0), 0.0, 0.01);
    EXPECT_NEAR(heightOf(65535.0), 1500.0, 0.05);

    const ElevationGrid below = rampGrid(505, -20.0f, 80.0f);
    const ImportValues u = importValues(Engine::Unreal, below, 500.0, false);
    EXPECT_NEAR(u.locationZ + (0.0 - 32768.0) / 128.0 * u.scaleZ, -2000.0, 0.01);
}

TEST(EngineExport, UnityValuesAndTheRowOrder)
{
    const ElevationGrid g = rampGrid(1025, -5.0f, 45.0f);
    const ImportValues v = importValues(Engine::Unity, g, 800.0, false);
    EXPECT_DOUBLE_EQ(v.terrainWidth, 800.0);
    EXPECT_DOUBLE_EQ(v.terrainLength, 800.0);
    EXPECT_DOUBLE_EQ(v.terrainHeight, 50.0);
    EXPECT_DOUBLE_EQ(v.positionY, -5.0);
    EXPECT_TRUE(v.flipVertically) << "our row 0 is the far edge in Unity";
    EXPECT_FALSE(importValues(Engine::Unity, flippedRows(g), 800.0, true).flipVertically);

    const ElevationGrid f = flippedRows(g);
    EXPECT_EQ(f.metres.front(), g.metres.back());
    EXPECT_EQ(flippedRows(f).metres, g.metres);
    const QJsonObject sidecar = importSidecar(Engine::Unity, g, 800.0, false, "t.raw");
    EXPECT_EQ(sidecar["import"].toObject()["Flip Vertically"].toBool(), true);
    EXPECT_EQ(sidecar["import"].toObject()["Terrain Height"].toDouble(), 50.0);
    EXPECT_TRUE(sidecar["rowOrder"].toString().contains("-z edge"));
    EXPECT_TRUE(importInstructions(Engine::Unity, g, 800.0, false, "t.raw").contains("Flip Vertically on"));
}

TEST(SplatMap, WeightsSumTo255AndFollowSlopeAndHeight)
{
    SplatSettings s;
    for (int i = 0; i < 20000; ++i) {
        const double h = QRandomGenerator::global()->generateDouble();
        const double slope = QRandomGenerator::global()->generateDouble() * 90.0;
        const SplatWeights w = splatWeights(h, slope, s);
        ASSERT_EQ(w.sand + w.grass + w.rock + w.snow, 255) << h << " " << slope;
        ASSERT_GE(std::min({w.sand, w.grass, w.rock, w.snow}), 0);
    }
    EXPECT_EQ(splatWeights(0.5, 45.0, s).rock, 255) << "a 45° slope is rock";
    EXPECT_EQ(splatWeights(0.95, 0.0, s).snow, 255);
    EXPECT_EQ(splatWeights(0.0, 0.0, s).sand, 255);
    EXPECT_EQ(splatWeights(0.4, 0.0, s).grass, 255);

    // A 45° ramp: 100 m up over 100 m.
    const ElevationGrid ramp = rampGrid(65, 0.0f, 100.0f);
    const QImage image = splatMap(ramp, 100.0);
    ASSERT_EQ(image.size(), QSize(65, 65));
    for (int y = 0; y < 65; y += 8)
        for (int x = 0; x < 65; x += 8) {
            const QColor c = image.pixelColor(x, y);
            EXPECT_EQ(c.red() + c.green() + c.blue() + c.alpha(), 255);
            EXPECT_GT(c.blue(), 200) << "rock dominates at " << x << "," << y;
        }
    // Flat ground: sand at the bottom, snow on top of a gentle, long slope.
    const ElevationGrid gentle = rampGrid(65, 0.0f, 10.0f);
    const QImage flat = splatMap(gentle, 1000.0);
    EXPECT_EQ(flat.pixelColor(10, 0).red(), 255);
    EXPECT_EQ(flat.pixelColor(10, 64).alpha(), 255);
    EXPECT_EQ(flat.pixelColor(10, 26).green(), 255);
    EXPECT_TRUE(splatMap(ElevationGrid{}, 100.0).isNull());
}

TEST(SplatMap, SedimentErosionTurnsStreamBedsToRockAndDepositsToSand)
{
    // A gentle ramp (all grass in the middle band) with erosion maps at a quarter of its size: a
    // stream down column 8 of the maps, 30 cm of deposit round (r, c) = (10, 4).
    const ElevationGrid gentle = rampGrid(65, 0.0f, 10.0f);
    orovista::SedimentMaps maps;
    maps.size = 17;
    maps.flow.assign(17 * 17, 1.0f);
    maps.deposit.assign(17 * 17, 0.0f);
    maps.wear.assign(17 * 17, 0.0f);
    for (int r = 0; r < 17; ++r)
        maps.flow[std::size_t(r) * 17 + 8] = 5000.0f;
    for (int r = 9; r <= 11; ++r)
        for (int c = 3; c <= 5; ++c)
            maps.deposit[std::size_t(r) * 17 + std::size_t(c)] = 0.3f;
    const QImage plain = splatMap(gentle, 1000.0), eroded = splatMap(gentle, 1000.0, {}, &maps);
    // Row 26 of the grid (row 6.5 of the maps) lies in the grass band.
    EXPECT_EQ(plain.pixelColor(32, 26).green(), 255);
    EXPECT_EQ(eroded.pixelColor(32, 26).blue(), 255) << "the stream bed is rock";
    EXPECT_EQ(eroded.pixelColor(56, 26).green(), 255) << "beside the stream, grass";
    EXPECT_EQ(eroded.pixelColor(16, 40).red(), 255) << "the deposit is sand";
    EXPECT_EQ(plain.pixelColor(16, 40).green(), 255);
    for (int y = 0; y < 65; y += 4)
        for (int x = 0; x < 65; x += 4) {
            const QColor c = eroded.pixelColor(x, y);
            EXPECT_EQ(c.red() + c.green() + c.blue() + c.alpha(), 255);
        }
    // Maps of the wrong size are left out.
    maps.flow.pop_back();
    EXPECT_EQ(splatMap(gentle, 1000.0, {}, &maps), plain);
}

class TexturedObj : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!dzApp)
            new DzApp(qApp);
        noise::utils::NoiseMap map;
        map.SetSize(16, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                map.SetValue(x, y, float(x * y) / 225.0f);
        TerrainSource source;
        source.heightMap = &map;
        source.terrainSize = 100;
        source.elevationLow = 0;
        source.elevationHigh = 20;
        mesh = buildTerrainArrays(source);
    }
    QList<QByteArray> lines(const QString &path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll().split('\n');
    }
    TerrainArrays mesh;
    QTemporaryDir dir;
};

TEST_F(TexturedObj, NormalsAndMaterialLinesAndTheHostReadsThem)
{
    const int n = mesh.gridSize;
    ASSERT_GT(n, 1);
    const QString plain = dir.filePath("plain.obj"), textured = dir.filePath("T.obj");
    ASSERT_TRUE(writeTerrainObj(mesh, plain));
    ObjExtras extras;
    extras.normals = true;
    extras.materialLibrary = "T.mtl";
    extras.materialName = "T";
    ASSERT_TRUE(writeTerrainObj(mesh, textured, nullptr, nullptr, extras));
    ASSERT_TRUE(writeTerrainMtl(dir.filePath("T.mtl"), "T", "T.jpg", "NormalMap_T.jpg"));

    const QList<QByteArray> a = lines(plain), b = lines(textured);
    EXPECT_TRUE(a[0].startsWith("v ")) << "the plain file is as before";
    EXPECT_EQ(b[0], "mtllib T.mtl");
    const int vn = int(b.indexOf(b.value(1 + 2 * n * n)));
    EXPECT_TRUE(b[1 + 2 * n * n].startsWith("vn ")) << b[1 + 2 * n * n].toStdString();
    EXPECT_EQ(vn, 1 + 2 * n * n);
    EXPECT_EQ(b[1 + 3 * n * n], "usemtl T");
    EXPECT_EQ(b[2 + 3 * n * n], QStringLiteral("f 1/1/1 %1/%1/%1 %2/%2/%2 2/2/2").arg(n + 1).arg(n + 2).toLatin1());
    EXPECT_EQ(b.size(), a.size() + n * n + 2);
    // A normal line is the mesh's unit normal.
    const QList<QByteArray> first = b[1 + 2 * n * n].split(' ');
    EXPECT_NEAR(first[1].toFloat(), mesh.normals[0], 1e-5);
    EXPECT_NEAR(first[2].toFloat(), mesh.normals[1], 1e-5);

    const QList<QByteArray> mtl = lines(dir.filePath("T.mtl"));
    EXPECT_TRUE(mtl.contains("newmtl T"));
    EXPECT_TRUE(mtl.contains("map_Kd T.jpg"));
    EXPECT_TRUE(mtl.contains("norm NormalMap_T.jpg"));
    EXPECT_TRUE(mtl.contains("map_Bump NormalMap_T.jpg"));

    // The host's importer keeps the material reference and reads the normals.
    DzFileIOSettings settings;
    scene::fillObjImportSettings(settings, 100.0);
    DzImporter *importer = dzApp->getImportMgr()->findImporterByClassName("DzObjImporter");
    std::unique_ptr<DzFacetShape> shape(importer->readShape(textured, &settings));
    ASSERT_TRUE(shape) << importer->getLastError().toStdString();
    DzFacetMesh *read = shape->getFacetMesh();
    EXPECT_EQ(read->getNumVertices(), n * n);
    EXPECT_EQ(read->getNumNormals(), n * n);
    ASSERT_EQ(read->getNumMaterialGroups(), 1);
    EXPECT_EQ(read->getMaterialGroupName(0), "T");
    EXPECT_EQ(shape->getNumMaterials(), 1);
}

}   // namespace
