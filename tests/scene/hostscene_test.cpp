// The nodes scene creation makes in the host: the terrain from its OBJ file, the terrain's shader
// network, the sky dome, the cameras.
#include "scene/hostscene.h"

#include "dzapp.h"
#include "dzcamera.h"
#include "dzimagemgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include "dzsettings.h"
#include "dzclassfactory.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace orovista::scene;

class HostScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!dzApp)
            new DzApp(qApp);
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString writeObj(const char *name, const QByteArray &text)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    LogSink collect()
    {
        return [this](const QString &line) { log += line; };
    }

    static DzBrickParam *param(DzBrickMaterial *m, const char *className, const char *arg)
    {
        for (int i = 0; i < m->getNumBricks(); ++i)
            if (QLatin1String(m->getBrick(i)->metaObject()->className()) == QLatin1String(className))
                return m->getBrick(i)->findParameterByArg(QLatin1String(arg));
        return nullptr;
    }

    QTemporaryDir dir;
    QString log;
};

const QByteArray square = "v -1 0 -1\nv -1 0 1\nv 1 0 1\nv 1 0 -1\nvt 0 1\nvt 0 0\nvt 1 0\nvt 1 1\n"
                          "usemtl ground\nf 1/1 2/2 3/3 4/4\n";

TEST_F(HostScene, TheTerrainNodeIsNamedAfterTheTerrainAndReadInMetres)
{
    const QString obj = writeObj("file name.obj", square);
    QString error;
    std::unique_ptr<DzNode> node(importObjNode(obj, QStringLiteral("my Terrain 1"), 100.0, &error));
    ASSERT_TRUE(node) << error.toStdString();
    EXPECT_EQ(node->getName(), QStringLiteral("my Terrain 1"));
    EXPECT_EQ(node->getLabel(), QStringLiteral("my Terrain 1"));
    EXPECT_EQ(dzScene->getNumNodes(), 0) << "the caller adds it";
    auto *mesh = qobject_cast<DzFacetMesh *>(node->getObject()->getCurrentGeometryForNode());
    ASSERT_NE(mesh, nullptr);
    EXPECT_FLOAT_EQ(mesh->getVertex(0).x(), -100.0f) << "one unit is a metre, the host works in centimetres";
    EXPECT_EQ(mesh->getNumUVs(), 4);
    std::unique_ptr<DzNode> half(importObjNode(obj, QStringLiteral("half"), 50.0));
    EXPECT_FLOAT_EQ(qobject_cast<DzFacetMesh *>(half->getObject()->getCurrentGeometryForNode())->getVertex(0).x(), -50.0f);

    EXPECT_EQ(importObjNode(dir.filePath("missing.obj"), QStringLiteral("x"), 100.0, &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(importObjNode(writeObj("bad.obj", "v 0 0 0\nf 1 2 7\n"), QStringLiteral("x"), 100.0, &error), nullptr);
}

TEST_F(HostScene, TheTerrainShaderNetwork)
{
    for (bool withNormalMap : {true, false}) {
        log.clear();
        DzBrickMaterial material;
        TerrainLook look;
        look.colourTexture = dir.filePath("T.jpg");
        if (withNormalMap)
            look.normalMap = dir.filePath("NormalMap_T.jpg");
        ASSERT_EQ(buildTerrainShader(&material, look, QStringLiteral("xcb"), collect()), 0);
        EXPECT_EQ(log, QStringLiteral("creating terrain procedural shader\n"));
        ASSERT_EQ(material.getNumBricks(), 5);
        const char *order[] = {"DzDefaultMaterialBrick", "DzImageBrick", "DzNormalMapBrick", "DzDisplaceBrick",
                               "DzSimpleSurfaceBrick"};
        for (int i = 0; i < 5; ++i)
            EXPECT_STREQ(material.getBrick(i)->metaObject()->className(), order[i]);
        EXPECT_TRUE(material.getRootBrick()->getSettings()->getBoolValue(QStringLiteral("AutoArrange")));

        auto connected = [&](const char *inBrick, const char *in, const char *outBrick, const char *out) {
            DzBrickParam *i = param(&material, inBrick, in);
            return i && i->getNumConnections() == 1 && i->getConnection(0) == param(&material, outBrick, out);
        };
        EXPECT_TRUE(connected("DzSimpleSurfaceBrick", "c_in", "DzDefaultMaterialBrick", "ColorOut"));
        EXPECT_TRUE(connected("DzSimpleSurfaceBrick", "o_in", "DzDefaultMaterialBrick", "OpacityOut"));
        EXPECT_TRUE(connected("DzDefaultMaterialBrick", "DiffuseColor", "DzImageBrick", "outColor"));
        EXPECT_TRUE(connected("DzDisplaceBrick", "n", "DzNormalMapBrick", "nout")) << "also without a normal map";

        auto *gloss = qobject_cast<DzFloatProperty *>(param(&material, "DzDefaultMaterialBrick", "Glossiness")->getProperty());
        auto *specular =
            qobject_cast<DzFloatProperty *>(param(&material, "DzDefaultMaterialBrick", "SpecularStrength")->getProperty());
        EXPECT_FLOAT_EQ(gloss->getValue(), 0.95f);
        EXPECT_FLOAT_EQ(specular->getValue(), 0.25f);
        auto *colour = qobject_cast<DzColorProperty *>(param(&material, "DzImageBrick", "color")->getProperty());
        ASSERT_NE(colour->getMapValue(), nullptr);
        EXPECT_EQ(colour->getMapValue()->getFilename(), look.colourTexture) << "forward slashes on this platform";
        EXPECT_EQ(colour->getColorValue(), QColor(255, 255, 255, 255));
        auto *normal = qobject_cast<DzImageProperty *>(param(&material, "DzNormalMapBrick", "normalmap")->getProperty());
        EXPECT_EQ(normal->getValue() != nullptr, withNormalMap);
        if (withNormalMap) {
            EXPECT_EQ(normal->getValue()->getFilename(), look.normalMap);
        }
    }
}

TEST_F(HostScene, AMissingBrickEndsTheBuildWithItsLogLine)
{
    DzClassFactory *imageBricks = dzApp->findClassFactory(QStringLiteral("DzImageBrick"));
    ASSERT_NE(imageBricks, nullptr);
    dzApp->removeClassFactory(imageBricks);
    DzBrickMaterial material;
    EXPECT_EQ(buildTerrainShader(&material, {}, QString(), collect()), -1);
    dzApp->addClassFactory(imageBricks);
    EXPECT_EQ(log, QStringLiteral("creating terrain procedural shader\nerror creating a shader brick\n"));
    EXPECT_EQ(material.getNumBricks(), 0);
}

TEST_F(HostScene, DressingTheTerrainReplacesItsFirstMaterial)
{
    std::unique_ptr<DzNode> node(importObjNode(writeObj("t.obj", square), QStringLiteral("T"), 100.0));
    ASSERT_TRUE(node);
    DzShape *shape = node->getObject()->getCurrentShape();
    ASSERT_EQ(shape->getNumMaterials(), 1);
    EXPECT_EQ(dressTerrain(node.get(), QStringLiteral("T"), {}, QString(), collect()), 0);
    ASSERT_EQ(shape->getNumMaterials(), 1);
    auto *material = qobject_cast<DzBrickMaterial *>(shape->getMaterial(0));
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->getName(), QStringLiteral("T Default"));
    EXPECT_EQ(material->getLabel(), QStringLiteral("T Default"));
    EXPECT_EQ(material->findProperty(QStringLiteral("color"))->getLabel(), QStringLiteral("Diffuse Color"));
    DzNode bare;
    EXPECT_EQ(dressTerrain(&bare, QStringLiteral("T"), {}, QString(), collect()), -1);
}

TEST_F(HostScene, TheSkyDome)
{
    const QString obj = writeObj("skydome.obj", square);
    const QString texture = dir.filePath("T_skyDome.jpg");
    std::unique_ptr<DzNode> dome(makeSkyDome(obj, texture, 1000.0, 100.0, QStringLiteral("xcb"), collect()));
    ASSERT_TRUE(dome);
    EXPECT_EQ(dome->getName(), QStringLiteral("skyDome"));
    EXPECT_EQ(dome->getLabel(), QStringLiteral("skyDome"));
    EXPECT_FLOAT_EQ(dome->getScaleControl()->getValue(), 100.0f);
    EXPECT_FALSE(dome->getShadowControl()->getBoolValue());
    EXPECT_EQ(log, QStringLiteral("Sky Texture name: ") + texture + QLatin1Char('\n'));
    auto *sky = qobject_cast<DzDefaultMaterial *>(dome->getObject()->getCurrentShape()->getMaterial(0));
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->getName(), QStringLiteral("Sky Default"));
    EXPECT_EQ(sky->getLightingModel(), 4);
    ASSERT_NE(sky->getAmbientColorMap(), nullptr);
    EXPECT_EQ(sky->getAmbientColorMap()->getFilename(), texture);
    EXPECT_FLOAT_EQ(sky->getDiffuseStrength(), 0.0f);
    EXPECT_FLOAT_EQ(sky->getAmbientStrength(), 1.0f);
    EXPECT_FLOAT_EQ(sky->getSpecularStrength(), 0.0f);
    EXPECT_EQ(sky->getDiffuseColor(), QColor(255, 255, 255));
    EXPECT_EQ(sky->getAmbientColor(), QColor(255, 255, 255));

    QString error;
    EXPECT_EQ(makeSkyDome(dir.filePath("none.obj"), texture, 1000.0, 100.0, QString(), collect(), &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(HostScene, FiveCamerasAddedAndRemovedByName)
{
    auto *other = new DzNode;
    other->setName(QStringLiteral("Other Main Camera"));
    dzScene->addNode(other);
    DzCamera *main = addCameras(dzScene, QStringLiteral("T"), 1000.0, 15.0, defaultPreviewEye(1000.0), 802);
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(dzScene->getNumNodes(), 6);
    EXPECT_EQ(dzScene->getNode(5), main) << "the main camera comes last";
    EXPECT_EQ(main->getName(), QStringLiteral("T Main Camera"));
    EXPECT_FLOAT_EQ(main->getFrameWidth(), 802.0f);
    EXPECT_FLOAT_EQ(main->getFieldOfView(), 45.0f);
    auto *nw = qobject_cast<DzBasicCamera *>(dzScene->findNode(QStringLiteral("T NW Camera")));
    ASSERT_NE(nw, nullptr);
    EXPECT_EQ(nw->getCameraType(), 6);
    EXPECT_FALSE(nw->isDefaultCamera());
    EXPECT_EQ(nw->getWSPos(), DzVec3(-87500.0f, 13500.0f, -87500.0f));
    EXPECT_FLOAT_EQ(nw->getXRotControl()->getValue(), -25.0f);
    EXPECT_FLOAT_EQ(nw->getYRotControl()->getValue(), -135.0f);
    EXPECT_FLOAT_EQ(nw->getFieldOfView(), 30.0f);

    removeCameras(dzScene, QStringLiteral("T"));
    ASSERT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_EQ(dzScene->getNode(0), other) << "another terrain's cameras stay";
}

}   // namespace
