// Scene, nodes, properties, geometry sharing, materials and shader bricks, images and content.
#include "dzapp.h"
#include "dzcamera.h"
#include "dzclassfactory.h"
#include "dzcontentmgr.h"
#include "dzimagemgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

namespace {

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

DzNode *namedNode(const QString &name)
{
    auto *n = new DzNode;
    n->setName(name);
    return n;
}

::testing::AssertionResult near(const DzVec3 &a, const DzVec3 &b, float eps = 1e-3f)
{
    if ((a - b).length() <= eps)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.m_x << ", " << a.m_y << ", " << a.m_z << ") vs ("
                                         << b.m_x << ", " << b.m_y << ", " << b.m_z << ")";
}

template <class T>
T *make(const char *className)
{
    DzClassFactory *f = dzApp->findClassFactory(QString::fromLatin1(className));
    return f ? qobject_cast<T *>(f->createInstance()) : nullptr;
}

} // namespace

TEST(DzScene, KeepsNodesInOrderAndSignalsChanges)
{
    DzScene scene;
    QSignalSpy added(&scene, &DzScene::nodeAdded);
    QSignalSpy removed(&scene, &DzScene::nodeRemoved);

    DzNode *a = namedNode(QStringLiteral("a"));
    DzNode *b = namedNode(QStringLiteral("b"));
    ASSERT_TRUE(scene.addNode(a));
    ASSERT_TRUE(scene.addNode(b));
    EXPECT_FALSE(scene.addNode(a));
    EXPECT_FALSE(scene.addNode(nullptr));
    EXPECT_EQ(added.count(), 2);
    EXPECT_EQ(scene.getNumNodes(), 2);
    EXPECT_EQ(scene.getNode(1), b);   // the last node is the one added last
    EXPECT_EQ(scene.getNode(2), nullptr);
    EXPECT_EQ(scene.findNode(QStringLiteral("a")), a);
    EXPECT_EQ(scene.findNode(QStringLiteral("zz")), nullptr);
    EXPECT_EQ(a->getScene(), &scene);

    DzScene other;
    EXPECT_FALSE(other.addNode(a));   // one scene at a time

    QPointer<DzNode> watch(a);
    ASSERT_TRUE(scene.removeNode(a));
    EXPECT_FALSE(scene.removeNode(a));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(scene.getNumNodes(), 1);
    EXPECT_TRUE(watch);                 // still valid for the caller until control returns
    runDeferredDeletes();
    EXPECT_FALSE(watch);

    // A node deleted by hand leaves the scene.
    delete b;
    EXPECT_EQ(scene.getNumNodes(), 0);
    EXPECT_EQ(removed.count(), 2);
}

TEST(DzScene, AddingAndRemovingTakeTheSubtree)
{
    DzScene scene;
    DzNode *root = namedNode(QStringLiteral("root"));
    DzNode *child = namedNode(QStringLiteral("child"));
    DzNode *grandChild = namedNode(QStringLiteral("grand"));
    ASSERT_TRUE(root->addNodeChild(child));
    ASSERT_TRUE(child->addNodeChild(grandChild));
    ASSERT_TRUE(scene.addNode(root));
    EXPECT_EQ(scene.getNumNodes(), 3);

    DzNode *keeper = namedNode(QStringLiteral("keeper"));
    scene.addNode(keeper);
    QPointer<DzNode> watchGrand(grandChild);
    ASSERT_TRUE(scene.removeNode(child));
    EXPECT_EQ(scene.getNumNodes(), 2);
    EXPECT_EQ(root->getNumNodeChildren(), 0);
    runDeferredDeletes();
    EXPECT_FALSE(watchGrand);
    EXPECT_EQ(scene.findNode(QStringLiteral("keeper")), keeper);
}

TEST(DzNode, HierarchyRefusesCyclesAndMovesChildren)
{
    DzNode a, b, c;
    EXPECT_TRUE(a.addNodeChild(&b));
    EXPECT_TRUE(b.addNodeChild(&c));
    EXPECT_FALSE(c.addNodeChild(&a));   // would make a cycle
    EXPECT_FALSE(a.addNodeChild(&a));
    EXPECT_FALSE(a.addNodeChild(nullptr));
    EXPECT_TRUE(a.isNodeAncestorOf(&c));

    QSignalSpy removedFromB(&b, &DzNode::childRemoved);
    EXPECT_TRUE(a.addNodeChild(&c));   // moves c from b to a
    EXPECT_EQ(c.getNodeParent(), &a);
    EXPECT_EQ(b.getNumNodeChildren(), 0);
    EXPECT_EQ(a.getNumNodeChildren(), 2);
    EXPECT_EQ(removedFromB.count(), 1);
    {
        DzNode temp;
        temp.addNodeChild(&a);
    }
    EXPECT_EQ(a.getNodeParent(), nullptr);   // a deleted parent leaves no dangling pointer
}

TEST(DzNode, ControlsAreFloatPropertiesFoundByName)
{
    DzNode n;
    n.getXPosControl()->setValue(120.0f);
    EXPECT_EQ(n.findProperty(QStringLiteral("XTranslate")), n.getXPosControl());
    EXPECT_EQ(n.findProperty(QStringLiteral("yrotate")), n.getYRotControl());
    EXPECT_EQ(n.findProperty(QStringLiteral("Scale")), n.getScaleControl());
    EXPECT_FLOAT_EQ(n.getScaleControl()->getValue(), 1.0f);
    EXPECT_TRUE(n.getShadowControl()->getBoolValue());
    n.getShadowControl()->setBoolValue(false);
    EXPECT_FALSE(qobject_cast<DzBoolProperty *>(n.findProperty(QStringLiteral("Cast Shadows")))->getBoolValue());
    n.getXPosControl()->setValue(std::nanf(""));
    EXPECT_FLOAT_EQ(n.getXPosControl()->getValue(), 120.0f);
}

TEST(DzNode, RotationOrderDecidesWhichRotationAppliesFirst)
{
    DzNode n;
    n.getXRotControl()->setValue(90.0f);
    n.getYRotControl()->setValue(90.0f);
    n.setRotationOrder(DzNode::XYZ);   // X first: (0,1,0) → (0,0,1) → (1,0,0)
    EXPECT_TRUE(near(DzVec3::fromQVector3D(n.getLocalTransform().map(QVector3D(0, 1, 0))), DzVec3(1, 0, 0)));
    n.setRotationOrder(DzNode::ZYX);   // Y first: (0,1,0) stays, then X: (0,0,1)
    EXPECT_TRUE(near(DzVec3::fromQVector3D(n.getLocalTransform().map(QVector3D(0, 1, 0))), DzVec3(0, 0, 1)));
}

TEST(DzNode, WorldSpacePositionGoesThroughTheParent)
{
    DzNode parent, child;
    parent.getXPosControl()->setValue(100.0f);
    parent.getYRotControl()->setValue(90.0f);
    parent.getScaleControl()->setValue(2.0f);
    parent.addNodeChild(&child);

    child.setWSPos(DzVec3(10, 20, 30));
    EXPECT_TRUE(near(child.getWSPos(), DzVec3(10, 20, 30)));

    // Re-parenting in place keeps the world position; plainly keeps the local one.
    DzNode other;
    other.getZPosControl()->setValue(-50.0f);
    other.addNodeChild(&child, true);
    EXPECT_TRUE(near(child.getWSPos(), DzVec3(10, 20, 30)));
    const DzVec3 local = child.getLocalPos();
    parent.addNodeChild(&child);
    EXPECT_TRUE(near(child.getLocalPos(), local));

    child.setWSPos(DzVec3(std::nanf(""), 0, 0));
    EXPECT_TRUE(near(child.getLocalPos(), local));
}

TEST(DzProperty, RangesEnumsAndColours)
{
    DzFloatProperty f(QStringLiteral("f"));
    f.setMinMax(1.0f, 0.0f);   // reversed bounds are swapped
    f.setIsClamped(true);
    f.setValue(3.0f);
    EXPECT_FLOAT_EQ(f.getValue(), 1.0f);
    f.setValue(-3.0f);
    EXPECT_FLOAT_EQ(f.getValue(), 0.0f);

    DzEnumProperty e(QStringLiteral("e"), QString(), {QStringLiteral("Base"), QStringLiteral("High Resolution")});
    QSignalSpy changed(&e, &DzProperty::currentValueChanged);
    e.setValue(5);
    e.setValue(-1);
    EXPECT_EQ(e.getValue(), 0);
    EXPECT_FALSE(e.setStringValue(QStringLiteral("Ultra")));
    EXPECT_TRUE(e.setStringValue(QStringLiteral("High Resolution")));
    EXPECT_EQ(e.getValue(), 1);
    EXPECT_EQ(changed.count(), 1);

    DzColorProperty c(QStringLiteral("c"));
    c.setColorValue(QColor());   // invalid: ignored
    EXPECT_EQ(c.getColorValue(), QColor(Qt::white));
}

TEST(DzObject, SharedMeshMaterialsAndDeltasLiveAsLongAsAHolder)
{
    auto *mesh = new DzFacetMesh;
    QPointer<DzFacetMesh> meshWatch(mesh);
    auto *material = new DzDefaultMaterial;
    QPointer<DzMaterial> materialWatch(material);
    auto *deltas = new DzMorphDeltas;
    QPointer<DzMorphDeltas> deltasWatch(deltas);
    deltas->addDelta(3, DzVec3(0, 1, 0));
    deltas->addDelta(3, DzVec3(0, 2, 0));   // replaces
    EXPECT_FALSE(deltas->addDelta(-1, DzVec3()));
    EXPECT_EQ(deltas->getNumDeltas(), 1);
    EXPECT_TRUE(near(deltas->findDelta(3), DzVec3(0, 2, 0)));

    auto *first = new DzObject;
    auto *shape1 = new DzFacetShape;
    shape1->setFacetMesh(mesh);
    shape1->addMaterial(material);
    first->addShape(shape1);
    auto *morph1 = new DzMorph;
    morph1->setDeltas(deltas);
    first->addModifier(morph1);

    auto *second = new DzObject;   // a duplicate sharing mesh, material and deltas
    auto *shape2 = new DzFacetShape;
    shape2->setFacetMesh(shape1->getFacetMesh());
    shape2->addMaterial(shape1->getMaterial(0));
    second->addShape(shape2);
    auto *morph2 = new DzMorph;
    morph2->setDeltas(morph1->getDeltas());
    second->addModifier(morph2);
    EXPECT_EQ(second->getCurrentGeometryForNode(), mesh);

    delete first;
    EXPECT_TRUE(meshWatch && materialWatch && deltasWatch);
    delete second;
    EXPECT_FALSE(meshWatch);
    EXPECT_FALSE(materialWatch);
    EXPECT_FALSE(deltasWatch);
}

TEST(DzShape, ReplacingAMaterialKeepsItsPlace)
{
    DzFacetShape shape;
    auto *a = new DzDefaultMaterial;
    auto *b = new DzDefaultMaterial;
    auto *c = new DzBrickMaterial;
    QPointer<DzMaterial> aWatch(a);
    shape.addMaterial(a);
    shape.addMaterial(b);
    EXPECT_FALSE(shape.addMaterial(a));
    EXPECT_FALSE(shape.replaceMaterial(a, b));   // b is held already
    ASSERT_TRUE(shape.replaceMaterial(a, c));
    EXPECT_EQ(shape.getMaterial(0), c);
    EXPECT_EQ(shape.getMaterial(1), b);
    EXPECT_FALSE(aWatch);
    EXPECT_EQ(shape.getLODControl()->getStringValue(), QStringLiteral("Base"));
}

TEST(DzFacetMesh, RefusesFacetsOutsideTheMesh)
{
    DzFacetMesh mesh;
    for (int i = 0; i < 3; ++i)
        mesh.addVertex(DzVec3(float(i), 0, 0));
    DzFacet f;
    f.m_vertIdx[0] = 0; f.m_vertIdx[1] = 1; f.m_vertIdx[2] = 2;
    EXPECT_TRUE(mesh.addFacet(f));
    f.m_vertIdx[2] = 3;
    EXPECT_FALSE(mesh.addFacet(f));
    f.m_vertIdx[2] = 2;
    f.m_uvwIdx[0] = 0;   // no uvs in the mesh
    EXPECT_FALSE(mesh.addFacet(f));
    EXPECT_EQ(mesh.getNumFacets(), 1);
}

TEST(DzDefaultMaterial, SettersAndSurfaceType)
{
    DzDefaultMaterial m;
    m.setLightingModel(DzDefaultMaterial::Matte);
    m.setLightingModel(9);   // not a model: ignored
    EXPECT_EQ(m.getLightingModel(), 4);
    m.setAmbientStrength(1.0f);
    m.setDiffuseStrength(0.0f);
    m.setSpecularStrength(0.0f);
    m.setAmbientColor(QColor(255, 255, 255, 255));
    EXPECT_FLOAT_EQ(m.getAmbientStrength(), 1.0f);
    EXPECT_FLOAT_EQ(m.getDiffuseStrength(), 0.0f);
    EXPECT_EQ(m.getAmbientColor(), QColor(Qt::white));
    EXPECT_NE(m.findProperty(QStringLiteral("color")), nullptr);
}

TEST(DzBricks, TerrainNetworkConnectsOnlyMatchingParameters)
{
    DzApp app;
    auto *root = make<DzShaderBrick>("DzSimpleSurfaceBrick");
    auto *surface = make<DzShaderBrick>("DzDefaultMaterialBrick");
    auto *image = make<DzShaderBrick>("DzImageBrick");
    auto *displace = make<DzShaderBrick>("DzDisplaceBrick");
    auto *normal = make<DzShaderBrick>("DzNormalMapBrick");
    ASSERT_TRUE(root && surface && image && displace && normal);

    auto *model = qobject_cast<DzEnumProperty *>(surface->findProperty(QStringLiteral("Lighting Model")));
    ASSERT_NE(model, nullptr);
    model->setValue(4);
    EXPECT_EQ(model->getValue(), 4);
    auto *gloss = qobject_cast<DzFloatProperty *>(surface->findParameterByArg(QStringLiteral("Glossiness"))->getProperty());
    ASSERT_NE(gloss, nullptr);
    gloss->setValue(0.95f);
    ASSERT_NE(qobject_cast<DzImageProperty *>(normal->findParameterByArg(QStringLiteral("normalmap"))->getProperty()), nullptr);
    ASSERT_NE(qobject_cast<DzColorProperty *>(image->findParameterByArg(QStringLiteral("color"))->getProperty()), nullptr);
    EXPECT_EQ(surface->findParameterByArg(QStringLiteral("NoSuchArg")), nullptr);

    auto p = [](DzShaderBrick *b, const char *arg) { return b->findParameterByArg(QString::fromLatin1(arg)); };
    EXPECT_TRUE(p(root, "c_in")->addConnection(p(surface, "ColorOut")));
    EXPECT_TRUE(p(surface, "OpacityOut")->addConnection(p(root, "o_in")));   // either side may ask
    EXPECT_TRUE(p(surface, "DiffuseColor")->addConnection(p(image, "outColor")));
    EXPECT_TRUE(p(displace, "n")->addConnection(p(normal, "nout")));
    EXPECT_FALSE(p(root, "o_in")->addConnection(p(surface, "ColorOut")));    // colour into a float
    EXPECT_FALSE(p(root, "c_in")->addConnection(p(surface, "DiffuseColor"))); // input to input
    EXPECT_FALSE(p(image, "color")->addConnection(p(surface, "ColorOut")));   // would make a cycle
    EXPECT_EQ(p(root, "o_in")->getConnection(0), p(surface, "OpacityOut"));

    auto *material = new DzBrickMaterial;
    material->ref();
    for (DzShaderBrick *b : {surface, image, normal, displace})
        material->addBrick(b);
    EXPECT_FALSE(material->update());   // no root yet, and the root's inputs reach outside
    material->addBrick(root);
    EXPECT_TRUE(material->update());
    EXPECT_EQ(material->getRootBrick(), root);
    material->unref();
}

TEST(DzImageMgr, OneTexturePerFileWhicheverSeparator)
{
    DzImageMgr mgr;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sky.jpg"));
    DzTexture *t = mgr.getImage(path);
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->isValid());   // not written yet
    QString backslashed = path;
    backslashed.replace(QLatin1Char('/'), QLatin1Char('\\'));
    EXPECT_EQ(mgr.getImage(backslashed), t);
    EXPECT_EQ(mgr.getImage(QString()), nullptr);

    QImage img(8, 4, QImage::Format_RGB32);
    img.fill(Qt::blue);
    ASSERT_TRUE(img.save(path));
    mgr.refresh();
    EXPECT_TRUE(t->isValid());
    EXPECT_EQ(t->getOriginalImageSize(), QSize(8, 4));
}

TEST(DzContentMgr, FoldersAndOpeningProps)
{
    DzApp app;
    DzContentMgr *content = app.getContentMgr();
    content->setPoserDirectories({QStringLiteral("/lib/a/"), QStringLiteral("C:\\Poser"), QStringLiteral("/lib/a"), QString()});
    ASSERT_EQ(content->getNumPoserDirectories(), 2);
    EXPECT_EQ(content->getPoserDirectory(0), QStringLiteral("/lib/a"));
    EXPECT_EQ(content->getPoserDirectory(1), QStringLiteral("C:/Poser"));
    EXPECT_EQ(content->getPoserDirectory(2), QString());

    QTemporaryDir dir;
    EXPECT_FALSE(content->openFile(dir.filePath(QStringLiteral("missing.pp2"))));
    EXPECT_FALSE(content->openFile(dir.path()));   // a folder is not a file
    QFile prop(dir.filePath(QStringLiteral("oak_1.pp2")));
    ASSERT_TRUE(prop.open(QIODevice::WriteOnly));
    prop.write("{\nversion\n}\n");
    prop.close();
    dzScene->addNode(namedNode(QStringLiteral("terrain")));
    // A file without a prop in it loads nothing and leaves the scene as it was.
    EXPECT_FALSE(content->openFile(prop.fileName()));
    ASSERT_EQ(dzScene->getNumNodes(), 1);
    // A prop of the sample library becomes the scene's last node.
    ASSERT_TRUE(content->openFile(QStringLiteral(OROVISTA_SOURCE_DIR "/data/content/Runtime/Libraries/Props/Trees/oak.pp2")));
    ASSERT_EQ(dzScene->getNumNodes(), 2);
    EXPECT_EQ(dzScene->getNode(1)->getName(), QStringLiteral("oak"));
}

TEST(DzCamera, BasicCameraKeepsTypeAndClampsFieldOfView)
{
    DzBasicCamera cam(6, false);
    EXPECT_EQ(cam.getCameraType(), 6);
    EXPECT_FALSE(cam.isDefaultCamera());
    cam.setFieldOfView(30.0f);
    EXPECT_FLOAT_EQ(cam.getFieldOfView(), 30.0f);
    cam.setFieldOfView(500.0f);
    EXPECT_FLOAT_EQ(cam.getFieldOfView(), 179.0f);
}
