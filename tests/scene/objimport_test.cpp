// The terrain OBJ as the host reads it: every vertex, texture coordinate and quadrilateral arrives.
#include "dzapp.h"
#include "dzimportmgr.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzscene.h"
#include "dzsettings.h"
#include "noise/noisemap.h"
#include "scene/terrainobj.h"
#include "terrain/terrainarrays.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(TerrainObjImport, TheHostReadsTheWholeMesh)
{
    auto *app = new DzApp(qApp);
    noise::utils::NoiseMap map;
    map.SetSize(512, 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            map.SetValue(x, y, float(x * y % 97) / 97.0f);
    orovista::TerrainSource source;
    source.heightMap = &map;
    source.terrainSize = 1000;
    source.elevationLow = -10;
    source.elevationHigh = 90;
    const orovista::TerrainArrays mesh = orovista::buildTerrainArrays(source);

    QTemporaryDir dir;
    const QString path = dir.filePath("my Terrain 1.obj");
    ASSERT_TRUE(orovista::writeTerrainObj(mesh, path));

    DzFileIOSettings settings;
    settings.setStringValue("Preset", "Lightwave (1 unit = 1m)");
    settings.setFloatValue("Scale", 100.0);
    settings.setBoolValue("SwapYZ", false);
    settings.setBoolValue("IncludeG", true);
    settings.setBoolValue("IncludeVT", true);
    settings.setBoolValue("IncludeUsemtl", true);
    settings.setBoolValue("IncludeMtllib", false);
    settings.setIntValue("RunSilent", 1);
    DzImporter *importer = app->getImportMgr()->findImporterByClassName("DzObjImporter");
    ASSERT_NE(importer, nullptr);
    ASSERT_EQ(importer->readGeometry(path, &settings), DZ_NO_ERROR);
    DzNode *node = dzScene->findNode("my Terrain 1");
    ASSERT_NE(node, nullptr);
    auto *shape = dynamic_cast<DzFacetShape *>(node->getObject()->getCurrentShape());
    ASSERT_NE(shape, nullptr);
    const DzFacetMesh *facets = shape->getFacetMesh();
    EXPECT_EQ(facets->getNumVertices(), 512 * 512);
    EXPECT_EQ(facets->getNumFacets(), 511 * 511);
    EXPECT_EQ(facets->getNumUVs(), 512 * 512);
    // One OBJ unit is a metre; the host works in centimetres.
    const DzVec3 first = facets->getVertices().first();
    EXPECT_FLOAT_EQ(first.x(), -50000.0f);
    EXPECT_FLOAT_EQ(first.z(), -50000.0f);
    EXPECT_NEAR(facets->getVertices()[513].y(), 100.0f * mesh.vertices[3 * 513 + 1], 0.1);
    delete app;
}

}   // namespace
