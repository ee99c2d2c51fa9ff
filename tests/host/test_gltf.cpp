// The glTF writer: scenes built through the SDK, written, and read back with tinygltf (and,
// where node is installed, checked by the Khronos validator).
#include "dzcamera.h"
#include "dzgltfexporter.h"
#include "dzimagemgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMatrix4x4>
#include <QProcess>
#include <QQuaternion>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "gltftesting.h"
#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

// Reads without decoding images: the tests look at references and bytes, not pixels.
bool keepImageUndecoded(tinygltf::Image *, const int, std::string *, std::string *, int, int,
                        const unsigned char *, int, void *)
{
    return true;
}

bool load(const QString &path, tinygltf::Model &model, std::string *why = nullptr)
{
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(keepImageUndecoded, nullptr);
    std::string err, warn;
    const std::string file = QFile::encodeName(path).toStdString();
    const bool ok = path.endsWith(QLatin1String(".glb"), Qt::CaseInsensitive)
                        ? loader.LoadBinaryFromFile(&model, &err, &warn, file)
                        : loader.LoadASCIIFromFile(&model, &err, &warn, file);
    if (why)
        *why = err + warn;
    return ok;
}

QString writeJpeg(const QString &path, const QColor &color)
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(color);
    EXPECT_TRUE(image.save(path, "JPG")) << path.toStdString();
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int nodeNamed(const tinygltf::Model &m, const std::string &name)
{
    for (size_t i = 0; i < m.nodes.size(); ++i)
        if (m.nodes[i].name == name)
            return int(i);
    return -1;
}

std::string dzNameOf(const tinygltf::Value &extras)
{
    return extras.IsObject() && extras.Has("dzName") ? extras.Get("dzName").Get<std::string>() : std::string();
}

// The local matrix of a glTF node (TRS or matrix), in metres.
QMatrix4x4 localMatrix(const tinygltf::Node &n)
{
    QMatrix4x4 m;
    if (!n.matrix.empty()) {
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                m(r, c) = float(n.matrix[size_t(c * 4 + r)]);
        return m;
    }
    if (!n.translation.empty())
        m.translate(float(n.translation[0]), float(n.translation[1]), float(n.translation[2]));
    if (!n.rotation.empty())
        m.rotate(QQuaternion(float(n.rotation[3]), float(n.rotation[0]), float(n.rotation[1]), float(n.rotation[2])));
    if (!n.scale.empty())
        m.scale(float(n.scale[0]), float(n.scale[1]), float(n.scale[2]));
    return m;
}

QMatrix4x4 worldMatrix(const tinygltf::Model &m, int node)
{
    // Parents from the children lists.
    std::vector<int> parent(m.nodes.size(), -1);
    for (size_t i = 0; i < m.nodes.size(); ++i)
        for (int c : m.nodes[i].children)
            parent[size_t(c)] = int(i);
    QMatrix4x4 w = localMatrix(m.nodes[size_t(node)]);
    for (int p = parent[size_t(node)]; p >= 0; p = parent[size_t(p)])
        w = localMatrix(m.nodes[size_t(p)]) * w;
    return w;
}

// The host's world transform with its translation in metres.
QMatrix4x4 hostWorldInMetres(const DzNode *node)
{
    QMatrix4x4 w = node->getWSTransform();
    for (int r = 0; r < 3; ++r)
        w(r, 3) *= 0.01f;
    return w;
}

void expectNear(const QMatrix4x4 &a, const QMatrix4x4 &b, const char *what)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a(r, c), b(r, c), 1e-4) << what << " at (" << r << "," << c << ")";
}


// A scene with what a created terrain holds: a terrain with two material groups, uvs and a
// morph; a prop mesh shared by two nodes; a sky dome with an unlit material; a camera; and a
// rotated, scaled child.
struct TestScene {
    QTemporaryDir dir;
    DzScene scene;
    DzImageMgr images;
    QString colorFile, normalFile, skyFile, missingFile;
    DzNode *terrain = nullptr, *rock1 = nullptr, *rock2 = nullptr, *child = nullptr, *sky = nullptr;
    DzBasicCamera *camera = nullptr;
    DzFacetMesh *terrainMesh = nullptr;

    TestScene()
    {
        const QString tex = dir.filePath(QStringLiteral("texture files"));
        QDir().mkpath(tex);
        QDir().mkpath(dir.filePath(QStringLiteral("out")));
        colorFile = writeJpeg(tex + QStringLiteral("/ground colour.jpg"), QColor(120, 100, 60));
        normalFile = writeJpeg(tex + QStringLiteral("/ground normal.jpg"), QColor(128, 128, 255));
        skyFile = writeJpeg(tex + QStringLiteral("/sky.jpg"), QColor(90, 140, 220));
        missingFile = tex + QStringLiteral("/gone.jpg");

        // Terrain: 3 × 3 vertices, 200 cm apart, four quads (the right column "rock"), one
        // triangle below; uvs per vertex; no normals.
        terrainMesh = new DzFacetMesh;
        for (int z = 0; z < 3; ++z)
            for (int x = 0; x < 3; ++x) {
                terrainMesh->addVertex(DzVec3(x * 200.0f, (x == 1 && z == 1) ? 50.0f : 0.0f, z * 200.0f));
                terrainMesh->addUVPoint(QPointF(x / 2.0, z / 2.0));
            }
        terrainMesh->addVertex(DzVec3(0, -300, 0));
        const int ground = terrainMesh->addMaterialGroup(QStringLiteral("ground"));
        const int rock = terrainMesh->addMaterialGroup(QStringLiteral("rock"));
        for (int z = 0; z < 2; ++z)
            for (int x = 0; x < 2; ++x) {
                DzFacet f;
                const int a = z * 3 + x;
                const int corners[4] = {a, a + 3, a + 4, a + 1};   // counter-clockwise seen from +y
                for (int k = 0; k < 4; ++k)
                    f.m_vertIdx[k] = f.m_uvwIdx[k] = corners[k];
                f.m_materialIdx = x == 1 ? rock : ground;
                EXPECT_TRUE(terrainMesh->addFacet(f));
            }
        DzFacet tri;
        tri.m_vertIdx[0] = 0;
        tri.m_vertIdx[1] = 1;
        tri.m_vertIdx[2] = 9;
        tri.m_uvwIdx[0] = 0;   // the hanging corner has no uv of its own
        tri.m_uvwIdx[1] = 1;
        tri.m_materialIdx = ground;
        EXPECT_TRUE(terrainMesh->addFacet(tri));

        auto *brick = new DzBrickMaterial;
        brick->setName(QStringLiteral("ground_mat"));
        brick->setLabel(QStringLiteral("Ground"));
        auto *surface = new DzDefaultMaterialBrick;
        auto *image = new DzImageBrick;
        auto *normal = new DzNormalMapBrick;
        auto *root = new DzSimpleSurfaceBrick;
        for (DzShaderBrick *b : {static_cast<DzShaderBrick *>(root), static_cast<DzShaderBrick *>(surface),
                                 static_cast<DzShaderBrick *>(image), static_cast<DzShaderBrick *>(normal)})
            brick->addBrick(b);
        qobject_cast<DzColorProperty *>(image->findParameterByArg(QStringLiteral("color"))->getProperty())
            ->setMap(images.getImage(colorFile));
        qobject_cast<DzImageProperty *>(normal->findParameterByArg(QStringLiteral("normalmap"))->getProperty())
            ->setValue(images.getImage(normalFile));
        qobject_cast<DzFloatProperty *>(surface->findParameterByArg(QStringLiteral("Glossiness"))->getProperty())
            ->setValue(0.3f);
        EXPECT_TRUE(image->findParameterByArg(QStringLiteral("outColor"))
                        ->addConnection(surface->findParameterByArg(QStringLiteral("DiffuseColor"))));
        EXPECT_TRUE(surface->findParameterByArg(QStringLiteral("ColorOut"))
                        ->addConnection(root->findParameterByArg(QStringLiteral("c_in"))));
        EXPECT_TRUE(brick->update());

        // The rock material uses the ground colour file too (one image for both), and is shared
        // with the props.
        auto *rockMat = new DzDefaultMaterial;
        rockMat->setName(QStringLiteral("rock_mat"));
        rockMat->setLabel(QStringLiteral("Rock"));
        rockMat->setDiffuseColor(QColor(255, 0, 0));
        rockMat->setColorMap(images.getImage(colorFile));
        rockMat->setGlossinessStrength(0.8f);

        terrain = gltfread::meshNode(QStringLiteral("terrain"), QStringLiteral("Terrain"), terrainMesh, {brick, rockMat});
        auto *morph = new DzMorph;
        morph->setName(QStringLiteral("raise"));
        morph->setLabel(QStringLiteral("Raise"));
        auto *deltas = new DzMorphDeltas;
        deltas->addDelta(4, DzVec3(0, 100, 0));
        deltas->addDelta(8, DzVec3(10, 0, -20));
        morph->setDeltas(deltas);
        morph->getValueChannel()->setValue(0.25f);
        terrain->getObject()->addModifier(morph);
        terrain->getXPosControl()->setValue(-100.0f);
        scene.addNode(terrain);

        // A prop: one quad, no uvs, no normals; two nodes show it.
        auto *prop = new DzFacetMesh;
        prop->addVertex(DzVec3(0, 0, 0));
        prop->addVertex(DzVec3(0, 0, 50));
        prop->addVertex(DzVec3(50, 0, 50));
        prop->addVertex(DzVec3(50, 0, 0));
        DzFacet q;
        for (int k = 0; k < 4; ++k)
            q.m_vertIdx[k] = k;
        EXPECT_TRUE(prop->addFacet(q));
        rock1 = gltfread::meshNode(QStringLiteral("rock1"), QStringLiteral("Rock 1"), prop, {rockMat});
        rock2 = gltfread::meshNode(QStringLiteral("rock2"), QStringLiteral("Rock 2"), prop, {rockMat});
        rock1->getXPosControl()->setValue(300.0f);
        rock1->getYRotControl()->setValue(90.0f);
        rock1->getScaleControl()->setValue(2.0f);
        rock2->getZPosControl()->setValue(-400.0f);
        scene.addNode(rock1);
        scene.addNode(rock2);

        child = new DzNode;
        child->setName(QStringLiteral("marker"));
        child->setLabel(QStringLiteral("Marker"));
        child->setRotationOrder(DzNode::ZXY);
        child->getXRotControl()->setValue(30.0f);
        child->getYRotControl()->setValue(-45.0f);
        child->getZRotControl()->setValue(60.0f);
        child->getXScaleControl()->setValue(1.5f);
        child->getScaleControl()->setValue(0.5f);
        child->getXPosControl()->setValue(10.0f);
        child->getYPosControl()->setValue(20.0f);
        child->getZPosControl()->setValue(30.0f);
        rock1->addNodeChild(child);
        scene.addNode(child);

        // The sky dome: lit only by its ambient colour map.
        auto *skyMat = new DzDefaultMaterial;
        skyMat->setName(QStringLiteral("sky_mat"));
        skyMat->setLabel(QStringLiteral("Sky"));
        skyMat->setDiffuseStrength(0.0f);
        skyMat->setAmbientStrength(1.0f);
        skyMat->setAmbientColor(Qt::white);
        skyMat->setAmbientColorMap(images.getImage(skyFile));
        auto *dome = new DzFacetMesh;
        dome->addVertex(DzVec3(-1000, 0, -1000));
        dome->addVertex(DzVec3(1000, 0, -1000));
        dome->addVertex(DzVec3(0, 1000, 0));
        dome->addUVPoint(QPointF(0, 0));
        dome->addUVPoint(QPointF(1, 0));
        dome->addUVPoint(QPointF(0.5, 1));
        DzFacet t;
        for (int k = 0; k < 3; ++k)
            t.m_vertIdx[k] = t.m_uvwIdx[k] = k;
        EXPECT_TRUE(dome->addFacet(t));
        sky = gltfread::meshNode(QStringLiteral("sky"), QStringLiteral("Sky Dome"), dome, {skyMat});
        scene.addNode(sky);

        camera = new DzBasicCamera;
        camera->setName(QStringLiteral("cam"));
        camera->setLabel(QStringLiteral("Camera 1"));
        camera->setFieldOfView(50.0f);
        camera->getYPosControl()->setValue(500.0f);
        camera->getXRotControl()->setValue(-20.0f);
        scene.addNode(camera);
    }

    QString out(const QString &name) const { return dir.filePath(QStringLiteral("out/") + name); }
};

const tinygltf::Material *materialNamed(const tinygltf::Model &m, const std::string &name)
{
    for (const tinygltf::Material &mat : m.materials)
        if (mat.name == name)
            return &mat;
    return nullptr;
}

TEST(GltfExport, NodesHierarchyMeshesAndCameras)
{
    TestScene s;
    const QString path = s.out(QStringLiteral("scene.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, path, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(s.out(QStringLiteral("scene.bin"))));
    // Nothing left behind but the two files and the textures' copies beside them, by plain names.
    EXPECT_EQ(QDir(s.out(QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"ground_colour.jpg", "ground_normal.jpg", "scene.bin", "scene.gltf", "sky.jpg"}));

    tinygltf::Model m;
    std::string why;
    ASSERT_TRUE(load(path, m, &why)) << why;
    EXPECT_EQ(m.asset.version, "2.0");
    EXPECT_EQ(m.asset.generator, "OROVISTA studio");
    ASSERT_EQ(m.nodes.size(), size_t(s.scene.getNumNodes()));
    for (int i = 0; i < s.scene.getNumNodes(); ++i) {
        EXPECT_EQ(m.nodes[size_t(i)].name, s.scene.getNode(i)->getLabel().toStdString());
        EXPECT_EQ(dzNameOf(m.nodes[size_t(i)].extras), s.scene.getNode(i)->getName().toStdString());
    }

    // Hierarchy: the marker hangs under Rock 1; every other node is a root of the scene.
    const int terrain = nodeNamed(m, "Terrain"), rock1 = nodeNamed(m, "Rock 1"), rock2 = nodeNamed(m, "Rock 2");
    const int marker = nodeNamed(m, "Marker"), sky = nodeNamed(m, "Sky Dome"), cam = nodeNamed(m, "Camera 1");
    ASSERT_EQ(m.scenes.size(), 1u);
    EXPECT_EQ(m.defaultScene, 0);
    EXPECT_EQ(m.scenes[0].nodes, std::vector<int>({terrain, rock1, rock2, sky, cam}));
    EXPECT_EQ(m.nodes[size_t(rock1)].children, std::vector<int>({marker}));
    EXPECT_TRUE(m.nodes[size_t(marker)].children.empty());

    // Meshes: terrain, prop (shared by both rocks), sky dome.
    ASSERT_EQ(m.meshes.size(), 3u);
    EXPECT_GE(m.nodes[size_t(rock1)].mesh, 0);
    EXPECT_EQ(m.nodes[size_t(rock1)].mesh, m.nodes[size_t(rock2)].mesh);
    EXPECT_NE(m.nodes[size_t(terrain)].mesh, m.nodes[size_t(rock1)].mesh);
    EXPECT_EQ(m.nodes[size_t(marker)].mesh, -1);
    EXPECT_EQ(m.nodes[size_t(cam)].mesh, -1);

    // Camera: vertical field of view in radians, sensible clip planes in metres.
    ASSERT_EQ(m.cameras.size(), 1u);
    EXPECT_EQ(m.nodes[size_t(cam)].camera, 0);
    EXPECT_EQ(m.cameras[0].type, "perspective");
    EXPECT_NEAR(m.cameras[0].perspective.yfov, 50.0 * M_PI / 180.0, 1e-6);
    EXPECT_GT(m.cameras[0].perspective.znear, 0.0);
    EXPECT_GT(m.cameras[0].perspective.zfar, 10000.0);
    for (size_t i = 0; i < m.nodes.size(); ++i) {
        if (int(i) != cam) {
            EXPECT_EQ(m.nodes[i].camera, -1) << m.nodes[i].name;
        }
    }
}

TEST(GltfExport, TerrainGeometryInMetres)
{
    TestScene s;
    const QString path = s.out(QStringLiteral("scene.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, path, &error)) << error.toStdString();
    tinygltf::Model m;
    ASSERT_TRUE(load(path, m));
    const tinygltf::Mesh &mesh = m.meshes.at(size_t(m.nodes.at(size_t(nodeNamed(m, "Terrain"))).mesh));
    EXPECT_EQ(mesh.name, "terrain_object");

    // One primitive per material group: ground (two quads and the triangle) and rock.
    ASSERT_EQ(mesh.primitives.size(), 2u);
    const tinygltf::Primitive &ground = mesh.primitives[0], &rock = mesh.primitives[1];
    EXPECT_EQ(m.materials.at(size_t(ground.material)).name, "Ground");
    EXPECT_EQ(m.materials.at(size_t(rock.material)).name, "Rock");
    for (const tinygltf::Primitive *p : {&ground, &rock}) {
        EXPECT_TRUE(p->mode == TINYGLTF_MODE_TRIANGLES || p->mode == -1);
        EXPECT_EQ(p->attributes.at("POSITION"), ground.attributes.at("POSITION"));
        ASSERT_TRUE(p->attributes.count("NORMAL"));
        ASSERT_TRUE(p->attributes.count("TEXCOORD_0"));
    }
    const std::vector<uint32_t> gi = gltfread::indices(m, ground.indices), ri = gltfread::indices(m, rock.indices);
    EXPECT_EQ(gi.size(), size_t(2 * 6 + 3));
    EXPECT_EQ(ri.size(), size_t(2 * 6));

    const int posAcc = ground.attributes.at("POSITION");
    const std::vector<float> pos = gltfread::floats(m, posAcc);
    const std::vector<float> nrm = gltfread::floats(m, ground.attributes.at("NORMAL"));
    const std::vector<float> uv = gltfread::floats(m, ground.attributes.at("TEXCOORD_0"));
    const size_t count = pos.size() / 3;
    EXPECT_EQ(count, 10u);   // every host vertex once: one uv per vertex and smooth normals
    ASSERT_EQ(nrm.size(), count * 3);
    ASSERT_EQ(uv.size(), count * 2);

    // Bounds in metres, as the accessor declares them.
    const tinygltf::Accessor &pa = m.accessors[size_t(posAcc)];
    ASSERT_EQ(pa.minValues.size(), 3u);
    ASSERT_EQ(pa.maxValues.size(), 3u);
    EXPECT_NEAR(pa.minValues[0], 0.0, 1e-6);
    EXPECT_NEAR(pa.minValues[1], -3.0, 1e-6);
    EXPECT_NEAR(pa.maxValues[0], 4.0, 1e-6);
    EXPECT_NEAR(pa.maxValues[1], 0.5, 1e-6);
    EXPECT_NEAR(pa.maxValues[2], 4.0, 1e-6);

    // Each glTF vertex is a host vertex in metres with its uv (v flipped), and unit normals.
    auto hostIndexOf = [&](size_t e) {
        for (int v = 0; v < s.terrainMesh->getNumVertices(); ++v) {
            const DzVec3 h = s.terrainMesh->getVertex(v);
            if (std::abs(h.m_x * 0.01f - pos[e * 3]) < 1e-5f && std::abs(h.m_y * 0.01f - pos[e * 3 + 1]) < 1e-5f
                && std::abs(h.m_z * 0.01f - pos[e * 3 + 2]) < 1e-5f)
                return v;
        }
        return -1;
    };
    for (size_t e = 0; e < count; ++e) {
        const int v = hostIndexOf(e);
        ASSERT_GE(v, 0) << "glTF vertex " << e << " is no host vertex in metres";
        if (v < 9) {
            const QPointF t = s.terrainMesh->getUV(v);
            EXPECT_NEAR(uv[e * 2], t.x(), 1e-6);
            EXPECT_NEAR(uv[e * 2 + 1], 1.0 - t.y(), 1e-6);
        }
        const double len = std::sqrt(double(nrm[e * 3]) * nrm[e * 3] + double(nrm[e * 3 + 1]) * nrm[e * 3 + 1]
                                     + double(nrm[e * 3 + 2]) * nrm[e * 3 + 2]);
        EXPECT_NEAR(len, 1.0, 1e-5);
        if (v == 4) {   // the raised centre, with its neighbours all around: straight up
            EXPECT_NEAR(nrm[e * 3 + 1], 1.0f, 1e-5f);
        }
    }
    // Triangles keep the winding of the quads: their normals point up.
    for (const std::vector<uint32_t> *idx : {&gi, &ri})
        for (size_t t = 0; t < idx->size(); t += 3) {
            const float *a = &pos[(*idx)[t] * 3], *b = &pos[(*idx)[t + 1] * 3], *c = &pos[(*idx)[t + 2] * 3];
            if (std::abs(a[1] + 3.0f) < 1e-5f || std::abs(b[1] + 3.0f) < 1e-5f || std::abs(c[1] + 3.0f) < 1e-5f)
                continue;   // the hanging triangle stands upright
            const float ux = b[0] - a[0], uz = b[2] - a[2], vx = c[0] - a[0], vz = c[2] - a[2];
            EXPECT_GT(uz * vx - ux * vz, 0.0f) << "triangle " << t / 3 << " faces down";
        }

    // The shared prop had no uvs: no TEXCOORD_0, and its computed normals are unit length.
    const tinygltf::Mesh &prop = m.meshes.at(size_t(m.nodes.at(size_t(nodeNamed(m, "Rock 1"))).mesh));
    ASSERT_EQ(prop.primitives.size(), 1u);
    EXPECT_FALSE(prop.primitives[0].attributes.count("TEXCOORD_0"));
    EXPECT_EQ(gltfread::indices(m, prop.primitives[0].indices).size(), 6u);
    const std::vector<float> pn = gltfread::floats(m, prop.primitives[0].attributes.at("NORMAL"));
    for (size_t i = 0; i < pn.size(); i += 3) {
        EXPECT_NEAR(pn[i], 0.0f, 1e-6f);
        EXPECT_NEAR(std::abs(pn[i + 1]), 1.0f, 1e-6f);
        EXPECT_NEAR(pn[i + 2], 0.0f, 1e-6f);
    }
}

TEST(GltfExport, TransformsAgreeWithTheHost)
{
    TestScene s;
    // A node for every rotation order, under the rotated, scaled rock.
    for (int order = DzNode::XYZ; order <= DzNode::ZYX; ++order) {
        auto *n = new DzNode;
        n->setName(QStringLiteral("order%1").arg(order));
        n->setLabel(n->getName());
        n->setRotationOrder(DzNode::RotationOrder(order));
        n->getXRotControl()->setValue(25.0f + order);
        n->getYRotControl()->setValue(-70.0f);
        n->getZRotControl()->setValue(110.0f - 3 * order);
        n->getYScaleControl()->setValue(0.75f);
        n->getZPosControl()->setValue(123.0f);
        s.child->addNodeChild(n);
        s.scene.addNode(n);
    }
    const QString path = s.out(QStringLiteral("scene.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, path, &error)) << error.toStdString();
    tinygltf::Model m;
    ASSERT_TRUE(load(path, m));
    ASSERT_EQ(m.nodes.size(), size_t(s.scene.getNumNodes()));
    for (int i = 0; i < s.scene.getNumNodes(); ++i) {
        const DzNode *host = s.scene.getNode(i);
        const tinygltf::Node &n = m.nodes[size_t(i)];
        EXPECT_TRUE(n.matrix.empty()) << n.name << ": TRS expected";
        expectNear(worldMatrix(m, i), hostWorldInMetres(host), host->getName().toUtf8().constData());
        if (!n.rotation.empty()) {
            const double len = std::sqrt(n.rotation[0] * n.rotation[0] + n.rotation[1] * n.rotation[1]
                                         + n.rotation[2] * n.rotation[2] + n.rotation[3] * n.rotation[3]);
            EXPECT_NEAR(len, 1.0, 1e-6);
        }
    }
    // The marker itself: translation in metres, scale = general × axis.
    const tinygltf::Node &marker = m.nodes.at(size_t(nodeNamed(m, "Marker")));
    ASSERT_EQ(marker.translation.size(), 3u);
    EXPECT_NEAR(marker.translation[0], 0.1, 1e-6);
    EXPECT_NEAR(marker.translation[1], 0.2, 1e-6);
    EXPECT_NEAR(marker.translation[2], 0.3, 1e-6);
    ASSERT_EQ(marker.scale.size(), 3u);
    EXPECT_NEAR(marker.scale[0], 0.75, 1e-6);
    EXPECT_NEAR(marker.scale[1], 0.5, 1e-6);
    EXPECT_NEAR(marker.scale[2], 0.5, 1e-6);
    // An untransformed node writes no transform at all.
    const tinygltf::Node &sky = m.nodes.at(size_t(nodeNamed(m, "Sky Dome")));
    EXPECT_TRUE(sky.translation.empty() && sky.rotation.empty() && sky.scale.empty());
}

TEST(GltfExport, NodeUnderAParentOutsideTheSceneKeepsItsPlace)
{
    DzScene scene;
    DzNode outside;   // not in the scene: not written
    outside.getXPosControl()->setValue(500.0f);
    outside.getZRotControl()->setValue(30.0f);
    outside.getScaleControl()->setValue(3.0f);
    auto *node = new DzNode;
    node->setName(QStringLiteral("orphan"));
    node->getYPosControl()->setValue(40.0f);
    node->getYRotControl()->setValue(15.0f);
    node->getVisibilityControl()->setBoolValue(false);
    ASSERT_TRUE(outside.addNodeChild(node));
    ASSERT_TRUE(scene.addNode(node));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orphan.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&scene, path, &error)) << error.toStdString();
    tinygltf::Model m;
    ASSERT_TRUE(load(path, m));
    ASSERT_EQ(m.nodes.size(), 1u);
    EXPECT_EQ(m.scenes.at(0).nodes, std::vector<int>({0}));
    EXPECT_EQ(m.nodes[0].name, "orphan");   // no label: the name
    expectNear(worldMatrix(m, 0), hostWorldInMetres(node), "orphan");
    // A hidden node says so.
    ASSERT_TRUE(m.nodes[0].extras.Has("visible"));
    EXPECT_FALSE(m.nodes[0].extras.Get("visible").Get<bool>());
}

TEST(GltfExport, MorphBecomesTargetWithWeight)
{
    TestScene s;
    const QString path = s.out(QStringLiteral("scene.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, path, &error)) << error.toStdString();
    tinygltf::Model m;
    ASSERT_TRUE(load(path, m));
    const tinygltf::Node &terrain = m.nodes.at(size_t(nodeNamed(m, "Terrain")));
    EXPECT_EQ(terrain.weights, std::vector<double>({0.25}));
    const tinygltf::Mesh &mesh = m.meshes.at(size_t(terrain.mesh));
    ASSERT_EQ(mesh.weights.size(), 1u);
    ASSERT_TRUE(mesh.extras.Has("targetNames"));
    EXPECT_EQ(mesh.extras.Get("targetNames").Get(0).Get<std::string>(), "Raise");
    for (const tinygltf::Primitive &p : mesh.primitives) {
        ASSERT_EQ(p.targets.size(), 1u);
        EXPECT_EQ(p.targets[0].at("POSITION"), mesh.primitives[0].targets[0].at("POSITION"));
    }
    const std::vector<float> pos = gltfread::floats(m, mesh.primitives[0].attributes.at("POSITION"));
    const int targetAcc = mesh.primitives[0].targets[0].at("POSITION");
    const std::vector<float> d = gltfread::floats(m, targetAcc);
    ASSERT_EQ(d.size(), pos.size());
    EXPECT_EQ(m.accessors[size_t(targetAcc)].minValues.size(), 3u);
    int moved = 0;
    for (size_t e = 0; e < pos.size() / 3; ++e) {
        const bool centre = std::abs(pos[e * 3] - 2.0f) < 1e-5f && std::abs(pos[e * 3 + 2] - 2.0f) < 1e-5f;
        const bool corner = std::abs(pos[e * 3] - 4.0f) < 1e-5f && std::abs(pos[e * 3 + 2] - 4.0f) < 1e-5f;
        const float ex = corner ? 0.1f : 0.0f, ey = centre ? 1.0f : 0.0f, ez = corner ? -0.2f : 0.0f;
        EXPECT_NEAR(d[e * 3], ex, 1e-6f);
        EXPECT_NEAR(d[e * 3 + 1], ey, 1e-6f);
        EXPECT_NEAR(d[e * 3 + 2], ez, 1e-6f);
        moved += (centre || corner) ? 1 : 0;
    }
    EXPECT_EQ(moved, 2);
    // Nodes without morphs carry no weights.
    EXPECT_TRUE(m.nodes.at(size_t(nodeNamed(m, "Rock 1"))).weights.empty());
}

TEST(GltfExport, MaterialsAndTextures)
{
    TestScene s;
    const QString path = s.out(QStringLiteral("scene.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, path, &error)) << error.toStdString();
    tinygltf::Model m;
    ASSERT_TRUE(load(path, m));

    // Ground (bricks), Rock (the terrain's rock group), Sky, and Rock once more without its
    // texture for the props, which have no uvs to show it with (shared by both).
    ASSERT_EQ(m.materials.size(), 4u);
    const tinygltf::Mesh &terrainMesh = m.meshes.at(size_t(m.nodes.at(size_t(nodeNamed(m, "Terrain"))).mesh));
    const tinygltf::Mesh &propMesh = m.meshes.at(size_t(m.nodes.at(size_t(nodeNamed(m, "Rock 1"))).mesh));
    ASSERT_EQ(terrainMesh.primitives.size(), 2u);
    const tinygltf::Material *ground = &m.materials.at(size_t(terrainMesh.primitives[0].material));
    const tinygltf::Material *rock = &m.materials.at(size_t(terrainMesh.primitives[1].material));
    const tinygltf::Material *propRock = &m.materials.at(size_t(propMesh.primitives.at(0).material));
    const tinygltf::Material *sky = materialNamed(m, "Sky");
    ASSERT_TRUE(sky);
    EXPECT_EQ(ground->name, "Ground");
    EXPECT_EQ(rock->name, "Rock");
    EXPECT_EQ(propRock->name, "Rock");
    EXPECT_NE(propRock, rock);
    EXPECT_EQ(propRock->pbrMetallicRoughness.baseColorTexture.index, -1);
    EXPECT_EQ(propRock->pbrMetallicRoughness.baseColorFactor, rock->pbrMetallicRoughness.baseColorFactor);
    EXPECT_EQ(dzNameOf(propRock->extras), "rock_mat");
    EXPECT_EQ(dzNameOf(ground->extras), "ground_mat");

    // One image per file: the colour file serves Ground and Rock.
    ASSERT_EQ(m.images.size(), 3u);
    ASSERT_EQ(m.textures.size(), 3u);
    auto uriOf = [&](int texture) { return m.images.at(size_t(m.textures.at(size_t(texture)).source)).uri; };
    ASSERT_GE(ground->pbrMetallicRoughness.baseColorTexture.index, 0);
    EXPECT_EQ(uriOf(ground->pbrMetallicRoughness.baseColorTexture.index), "ground_colour.jpg");
    ASSERT_GE(ground->normalTexture.index, 0);
    EXPECT_EQ(uriOf(ground->normalTexture.index), "ground_normal.jpg");
    EXPECT_DOUBLE_EQ(ground->pbrMetallicRoughness.metallicFactor, 0.0);
    EXPECT_NEAR(ground->pbrMetallicRoughness.roughnessFactor, 0.7, 1e-6);
    EXPECT_FALSE(ground->doubleSided);
    EXPECT_FALSE(ground->extensions.count("KHR_materials_unlit"));
    // The loader resolved the references to the files.
    for (const tinygltf::Image &img : m.images)
        EXPECT_EQ(img.bufferView, -1);

    EXPECT_EQ(rock->pbrMetallicRoughness.baseColorTexture.index, ground->pbrMetallicRoughness.baseColorTexture.index);
    ASSERT_EQ(rock->pbrMetallicRoughness.baseColorFactor.size(), 4u);
    EXPECT_NEAR(rock->pbrMetallicRoughness.baseColorFactor[0], 1.0, 1e-9);
    EXPECT_NEAR(rock->pbrMetallicRoughness.baseColorFactor[1], 0.0, 1e-9);
    EXPECT_NEAR(rock->pbrMetallicRoughness.roughnessFactor, 0.2, 1e-6);
    EXPECT_EQ(rock->normalTexture.index, -1);

    // The sky dome: unlit with its ambient map.
    EXPECT_TRUE(sky->extensions.count("KHR_materials_unlit"));
    EXPECT_EQ(std::count(m.extensionsUsed.begin(), m.extensionsUsed.end(), "KHR_materials_unlit"), 1);
    ASSERT_GE(sky->pbrMetallicRoughness.baseColorTexture.index, 0);
    EXPECT_EQ(uriOf(sky->pbrMetallicRoughness.baseColorTexture.index), "sky.jpg");
    EXPECT_TRUE(m.extensionsRequired.empty());
}

TEST(GltfExport, MissingTextureIsLeftOut)
{
    TestScene s;
    auto *mat = new DzDefaultMaterial;
    mat->setLabel(QStringLiteral("Lost"));
    mat->setColorMap(s.images.getImage(s.missingFile));
    auto *notImage = new DzDefaultMaterial;
    notImage->setLabel(QStringLiteral("Text"));
    const QString textFile = s.dir.filePath(QStringLiteral("notes.jpg"));
    {
        QFile f(textFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not an image");
    }
    notImage->setColorMap(s.images.getImage(textFile));
    auto *mesh = new DzFacetMesh;
    for (int i = 0; i < 3; ++i) {
        mesh->addVertex(DzVec3(float(i), float(i * i), 1));
        mesh->addUVPoint(QPointF(i / 2.0, 0.5));
    }
    mesh->addMaterialGroup(QStringLiteral("a"));
    mesh->addMaterialGroup(QStringLiteral("b"));
    DzFacet f;
    for (int k = 0; k < 3; ++k)
        f.m_vertIdx[k] = f.m_uvwIdx[k] = k;
    EXPECT_TRUE(mesh->addFacet(f));
    f.m_materialIdx = 1;
    EXPECT_TRUE(mesh->addFacet(f));
    s.scene.addNode(gltfread::meshNode(QStringLiteral("lost"), QStringLiteral("Lost"), mesh, {mat, notImage}));

    for (const QString &name : {QStringLiteral("scene.gltf"), QStringLiteral("scene.glb")}) {
        const QString path = s.out(name);
        QString error;
        ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, path, &error)) << error.toStdString();
        tinygltf::Model m;
        std::string why;
        ASSERT_TRUE(load(path, m, &why)) << why;
        const tinygltf::Material *lost = materialNamed(m, "Lost"), *text = materialNamed(m, "Text");
        ASSERT_TRUE(lost && text);
        EXPECT_EQ(lost->pbrMetallicRoughness.baseColorTexture.index, -1);
        EXPECT_EQ(text->pbrMetallicRoughness.baseColorTexture.index, -1);
        EXPECT_EQ(m.images.size(), 3u);
    }
}

TEST(GltfExport, GlbEmbedsBuffersAndImages)
{
    TestScene s;
    const QString path = s.out(QStringLiteral("Scene.GLB"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, path, &error)) << error.toStdString();
    EXPECT_EQ(QDir(s.out(QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("Scene.GLB")}));
    EXPECT_EQ(readAll(path).left(4), QByteArray("glTF"));

    tinygltf::Model m;
    std::string why;
    ASSERT_TRUE(load(path, m, &why)) << why;
    ASSERT_EQ(m.buffers.size(), 1u);
    EXPECT_TRUE(m.buffers[0].uri.empty());
    ASSERT_EQ(m.images.size(), 3u);
    const QStringList files = {s.colorFile, s.normalFile, s.skyFile};
    int matched = 0;
    for (const tinygltf::Image &img : m.images) {
        EXPECT_TRUE(img.uri.empty());
        EXPECT_EQ(img.mimeType, "image/jpeg");
        ASSERT_GE(img.bufferView, 0);
        const tinygltf::BufferView &v = m.bufferViews.at(size_t(img.bufferView));
        const QByteArray bytes(reinterpret_cast<const char *>(m.buffers[0].data.data() + v.byteOffset), qsizetype(v.byteLength));
        for (const QString &f : files)
            matched += bytes == readAll(f) ? 1 : 0;
    }
    EXPECT_EQ(matched, 3);
    // The same scene as the .gltf: nodes, the shared mesh, the weights, the unlit sky.
    EXPECT_EQ(m.nodes.size(), size_t(s.scene.getNumNodes()));
    EXPECT_EQ(m.meshes.size(), 3u);
    EXPECT_EQ(m.nodes.at(size_t(nodeNamed(m, "Rock 1"))).mesh, m.nodes.at(size_t(nodeNamed(m, "Rock 2"))).mesh);
    EXPECT_EQ(m.nodes.at(size_t(nodeNamed(m, "Terrain"))).weights, std::vector<double>({0.25}));
    const tinygltf::Material *sky = materialNamed(m, "Sky");
    ASSERT_TRUE(sky);
    EXPECT_TRUE(sky->extensions.count("KHR_materials_unlit"));
    const tinygltf::Material *ground = materialNamed(m, "Ground");
    ASSERT_TRUE(ground);
    EXPECT_GE(ground->normalTexture.index, 0);
    EXPECT_GE(ground->pbrMetallicRoughness.baseColorTexture.index, 0);
}

TEST(GltfExport, LargeTerrainUsesWideIndices)
{
    // The size of a generated terrain: 512 × 512 vertices, one uv each.
    constexpr int n = 512;
    DzScene scene;
    auto *mesh = new DzFacetMesh;
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            mesh->addVertex(DzVec3(x * 1000.0f, std::sin(x * 0.05f) * std::cos(z * 0.07f) * 20000.0f, z * 1000.0f));
            mesh->addUVPoint(QPointF(x / double(n - 1), z / double(n - 1)));
        }
    for (int z = 0; z + 1 < n; ++z)
        for (int x = 0; x + 1 < n; ++x) {
            DzFacet f;
            const int a = z * n + x;
            const int c[4] = {a, a + n, a + n + 1, a + 1};
            for (int k = 0; k < 4; ++k)
                f.m_vertIdx[k] = f.m_uvwIdx[k] = c[k];
            mesh->addFacet(f);
        }
    auto *mat = new DzDefaultMaterial;
    mat->setLabel(QStringLiteral("Terrain"));
    scene.addNode(gltfread::meshNode(QStringLiteral("terrain"), QStringLiteral("Terrain"), mesh, {mat}));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&scene, path, &error)) << error.toStdString();
    tinygltf::Model m;
    ASSERT_TRUE(load(path, m));
    ASSERT_EQ(m.meshes.size(), 1u);
    const tinygltf::Primitive &p = m.meshes[0].primitives.at(0);
    EXPECT_EQ(m.accessors.at(size_t(p.attributes.at("POSITION"))).count, size_t(n * n));
    const tinygltf::Accessor &idx = m.accessors.at(size_t(p.indices));
    EXPECT_EQ(idx.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    EXPECT_EQ(idx.count, size_t((n - 1) * (n - 1) * 6));
    const std::vector<uint32_t> ii = gltfread::indices(m, p.indices);
    EXPECT_EQ(*std::max_element(ii.begin(), ii.end()), uint32_t(n * n - 1));
    const tinygltf::Accessor &pos = m.accessors.at(size_t(p.attributes.at("POSITION")));
    EXPECT_NEAR(pos.maxValues[0], (n - 1) * 10.0, 1e-3);
}

TEST(GltfExport, FailuresLeaveExistingFilesAlone)
{
    TestScene s;
    QString error;
    EXPECT_FALSE(DzGltfExporter::writeScene(nullptr, s.out(QStringLiteral("x.gltf")), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, QString(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, QString()));   // no error wanted: no crash

    // A folder that does not exist, a "folder" that is a file, a target that is a folder.
    error.clear();
    EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, s.dir.filePath(QStringLiteral("nowhere/x.gltf")), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, s.colorFile + QStringLiteral("/x.glb"), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, s.out(QString()), &error));
    EXPECT_FALSE(error.isEmpty());
    // A folder nobody may write in.
    error.clear();
    EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, QStringLiteral("/proc/orovista-test.gltf"), &error));
    EXPECT_FALSE(error.isEmpty());
    // A JSON file whose buffer file would take its own name.
    error.clear();
    EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, s.out(QStringLiteral("data.bin")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral(".bin"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(s.out(QStringLiteral("data.bin"))));

    // Good files first; then a scene that cannot be written must leave them as they were.
    const QString gltf = s.out(QStringLiteral("keep.gltf")), bin = s.out(QStringLiteral("keep.bin"));
    const QString glb = s.out(QStringLiteral("keep.glb"));
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, gltf));
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, glb));
    const QByteArray gltfBefore = readAll(gltf), binBefore = readAll(bin), glbBefore = readAll(glb);
    ASSERT_FALSE(gltfBefore.isEmpty());
    ASSERT_FALSE(binBefore.isEmpty());
    s.terrainMesh->setVertex(3, DzVec3(0, std::nanf(""), 0));
    for (const QString &path : {gltf, glb}) {
        error.clear();
        EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, path, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("non-finite"))) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("terrain"))) << error.toStdString();
    }
    EXPECT_EQ(readAll(gltf), gltfBefore);
    EXPECT_EQ(readAll(bin), binBefore);
    EXPECT_EQ(readAll(glb), glbBefore);
    EXPECT_EQ(QDir(s.out(QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"ground_colour.jpg", "ground_normal.jpg", "keep.bin", "keep.glb", "keep.gltf", "sky.jpg"}));

    // Writing over the files with a good scene replaces them (and the buffer with them).
    s.terrainMesh->setVertex(3, DzVec3(0, 7000, 0));
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, gltf, &error)) << error.toStdString();
    EXPECT_NE(readAll(bin), binBefore);
    tinygltf::Model m;
    ASSERT_TRUE(load(gltf, m));
    EXPECT_NEAR(m.accessors.at(size_t(m.meshes.at(size_t(m.nodes.at(0).mesh)).primitives[0].attributes.at("POSITION")))
                    .maxValues[1],
                70.0, 1e-4);

    // Where permissions hold (not as root), a read-only folder refuses and keeps its file.
    if (geteuid() != 0) {
        const QString locked = s.dir.filePath(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkpath(locked));
        const QString file = locked + QStringLiteral("/old.glb");
        ASSERT_TRUE(QFile::copy(glb, file));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        error.clear();
        EXPECT_FALSE(DzGltfExporter::writeScene(&s.scene, file, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(readAll(file), glbBefore);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

TEST(GltfExport, EmptySceneIsValid)
{
    DzScene scene;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.gltf"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&scene, path, &error)) << error.toStdString();
    tinygltf::Model m;
    ASSERT_TRUE(load(path, m));
    EXPECT_TRUE(m.nodes.empty());
    EXPECT_TRUE(m.buffers.empty());
    EXPECT_TRUE(m.scenes.empty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("empty.bin"))));
}

// The Khronos validator on what the writer makes: no errors in the .gltf (with its buffer and
// images beside it) or the .glb; and it does report a broken file, so a pass means something.
TEST(GltfExport, KhronosValidatorFindsNoErrors)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    const QString tools = QStringLiteral(OROVISTA_SOURCE_DIR "/tools/gltf");
    if (node.isEmpty() || !QFileInfo::exists(tools + QStringLiteral("/node_modules/gltf-validator")))
        GTEST_SKIP() << "node or tools/gltf/node_modules missing (./test.sh installs them)";

    auto validate = [&](const QString &file, QString *output) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(node, {tools + QStringLiteral("/validate.mjs"), file});
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            *output = QStringLiteral("validator did not finish");
            return -1;
        }
        *output = QString::fromUtf8(p.readAll());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };

    TestScene s;
    const QString gltf = s.out(QStringLiteral("valid scene.gltf")), glb = s.out(QStringLiteral("valid.glb"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, gltf, &error)) << error.toStdString();
    ASSERT_TRUE(DzGltfExporter::writeScene(&s.scene, glb, &error)) << error.toStdString();
    DzScene empty;
    const QString emptyFile = s.out(QStringLiteral("empty.gltf"));
    ASSERT_TRUE(DzGltfExporter::writeScene(&empty, emptyFile, &error)) << error.toStdString();
    for (const QString &file : {gltf, glb, emptyFile}) {
        QString out;
        EXPECT_EQ(validate(file, &out), 0) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral(": 0 errors"))) << out.toStdString();
        std::cout << out.toStdString() << std::flush;
    }

    // The same .gltf with its buffer cut short must fail.
    QFile bin(s.out(QStringLiteral("valid scene.bin")));
    ASSERT_TRUE(bin.resize(bin.size() / 2));
    QString out;
    EXPECT_EQ(validate(gltf, &out), 1) << out.toStdString();
}

} // namespace
