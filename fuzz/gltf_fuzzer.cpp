// libFuzzer target: the glTF scene reader (File > Open Scene) must take any bytes, as a .gltf or
// a .glb, without crashing, hanging or reading a file outside the scene's folder; what it reads
// must be a scene whose nodes form a tree of the scene's own nodes and whose meshes only hold
// facets inside their own arrays.
//
// The bytes are read as a scene in <tmp>/scene, which holds the buffer and the pictures the seed
// scenes name (scene.bin, ground.png, normal.png, scene_sky.png); beside that folder lies
// secret.bin, which no input may reach (the reader's file callbacks refuse it, and the check
// below would see its bytes in a mesh, and linked.bin in the scene folder points at it).
//
// Seeds: with GLTF_FUZZER_SEEDS=<folder> set, the first run writes scenes through the studio's
// own writer into that folder (a .glb and a .gltf of a small scene with every kind of thing the
// writer writes), as fuzz/run.sh asks it to.
#include "dzcamera.h"
#include "dzgltfexporter.h"
#include "dzgltfimporter.h"
#include "dzimagemgr.h"
#include "dzlight.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "gltf_fuzzer: %s\n", what);
    std::abort();
}

QString temporaryTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return (shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath()) + QStringLiteral("/gltf_fuzzer-XXXXXX");
}

DzNode *meshNode(const QString &name, DzFacetMesh *mesh, QList<DzMaterial *> materials)
{
    auto *shape = new DzFacetShape;
    shape->setFacetMesh(mesh);
    for (DzMaterial *m : materials)
        shape->addMaterial(m);
    auto *object = new DzObject;
    object->setName(name);
    object->addShape(shape);
    auto *node = new DzNode;
    node->setName(name);
    node->setLabel(name);
    node->setObject(object);
    return node;
}

/// A small scene with what the writer writes: two meshes (one shared), a brick material with
/// colour and normal maps, a plain one, an unlit sky, a child, a camera and the sun.
void buildScene(DzScene &scene, DzImageMgr &images, const QString &textures)
{
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    picture.save(textures + QStringLiteral("/ground.png"));
    picture.fill(QColor(128, 128, 255));
    picture.save(textures + QStringLiteral("/normal.png"));
    picture.fill(QColor(90, 140, 220));
    picture.save(textures + QStringLiteral("/sky.png"));

    auto *mesh = new DzFacetMesh;
    for (int z = 0; z < 2; ++z)
        for (int x = 0; x < 3; ++x) {
            mesh->addVertex(DzVec3(x * 100.0f, float(x * z) * 10.0f, z * 100.0f));
            mesh->addUVPoint(QPointF(x / 2.0, z));
        }
    mesh->addMaterialGroup(QStringLiteral("ground"));
    mesh->addMaterialGroup(QStringLiteral("rock"));
    for (int x = 0; x < 2; ++x) {
        DzFacet f;
        const int corners[4] = {x, x + 3, x + 4, x + 1};
        for (int k = 0; k < 4; ++k)
            f.m_vertIdx[k] = f.m_uvwIdx[k] = corners[k];
        f.m_materialIdx = x;
        mesh->addFacet(f);
    }
    auto *brick = new DzBrickMaterial;
    brick->setName(QStringLiteral("ground"));
    auto *surface = new DzDefaultMaterialBrick;
    auto *image = new DzImageBrick;
    auto *normal = new DzNormalMapBrick;
    auto *root = new DzSimpleSurfaceBrick;
    for (DzShaderBrick *b : {static_cast<DzShaderBrick *>(root), static_cast<DzShaderBrick *>(surface),
                             static_cast<DzShaderBrick *>(image), static_cast<DzShaderBrick *>(normal)})
        brick->addBrick(b);
    qobject_cast<DzColorProperty *>(image->findParameterByArg(QStringLiteral("color"))->getProperty())
        ->setMap(images.getImage(textures + QStringLiteral("/ground.png")));
    qobject_cast<DzImageProperty *>(normal->findParameterByArg(QStringLiteral("normalmap"))->getProperty())
        ->setValue(images.getImage(textures + QStringLiteral("/normal.png")));
    image->findParameterByArg(QStringLiteral("outColor"))->addConnection(surface->findParameterByArg(QStringLiteral("DiffuseColor")));
    surface->findParameterByArg(QStringLiteral("ColorOut"))->addConnection(root->findParameterByArg(QStringLiteral("c_in")));
    brick->update();
    auto *rock = new DzDefaultMaterial;
    rock->setName(QStringLiteral("rock"));
    rock->setDiffuseColor(QColor(200, 30, 10));
    rock->setLightingModel(DzDefaultMaterial::Metallic);
    DzNode *terrain = meshNode(QStringLiteral("terrain"), mesh, {brick, rock});
    scene.addNode(terrain);

    auto *prop = new DzFacetMesh;
    prop->addVertex(DzVec3(0, 0, 0));
    prop->addVertex(DzVec3(0, 0, 50));
    prop->addVertex(DzVec3(50, 0, 50));
    DzFacet t;
    for (int k = 0; k < 3; ++k)
        t.m_vertIdx[k] = k;
    prop->addFacet(t);
    DzNode *a = meshNode(QStringLiteral("rock1"), prop, {rock});
    DzNode *b = meshNode(QStringLiteral("rock2"), prop, {rock});
    a->getYRotControl()->setValue(90.0f);
    a->getScaleControl()->setValue(2.0f);
    b->getZPosControl()->setValue(-400.0f);
    terrain->addNodeChild(b);
    scene.addNode(a);
    scene.addNode(b);

    auto *camera = new DzBasicCamera;
    camera->setName(QStringLiteral("cam"));
    camera->getXRotControl()->setValue(-20.0f);
    scene.addNode(camera);
    auto *sun = new DzDistantLight;
    sun->setName(QStringLiteral("sun"));
    sun->setIntensity(0.7f);
    scene.addNode(sun);

    auto *sky = new DzDefaultMaterial;
    sky->setName(QStringLiteral("sky"));
    sky->setDiffuseStrength(0.0f);
    sky->setAmbientStrength(1.0f);
    sky->setAmbientColorMap(images.getImage(textures + QStringLiteral("/sky.png")));
    auto *domeMesh = new DzFacetMesh;
    domeMesh->addVertex(DzVec3(0, 0, 0));
    domeMesh->addVertex(DzVec3(1, 0, 0));
    domeMesh->addVertex(DzVec3(0, 1, 0));
    domeMesh->addFacet(t);
    DzNode *dome = meshNode(QStringLiteral("skyDome"), domeMesh, {sky});
    dome->setProperty("environment", true);
    scene.addNode(dome);
}

struct Setup {
    QTemporaryDir dir {temporaryTemplate()};
    QString folder, images;

    Setup()
    {
        if (!dir.isValid())
            std::abort();
        folder = dir.filePath(QStringLiteral("scene"));
        images = dir.filePath(QStringLiteral("images"));
        const QString textures = dir.filePath(QStringLiteral("textures"));
        QDir().mkpath(folder);
        QDir().mkpath(textures);
        QFile secret(dir.filePath(QStringLiteral("secret.bin")));
        if (!secret.open(QIODevice::WriteOnly))
            std::abort();
        const float marker = 7777.777f;   // 777777.7 cm once read
        for (int i = 0; i < 1024; ++i)
            secret.write(reinterpret_cast<const char *>(&marker), sizeof marker);
        secret.close();
        QFile::link(dir.filePath(QStringLiteral("secret.bin")), folder + QStringLiteral("/linked.bin"));

        // The seed scene, written into the scene folder (its .bin and pictures stay there for
        // the .gltf inputs) and, when asked, into the seed folder.
        DzImageMgr imageMgr;
        DzScene scene;
        buildScene(scene, imageMgr, textures);
        QString error;
        if (!DzGltfExporter::writeScene(&scene, folder + QStringLiteral("/scene.gltf"), &error)
            || !DzGltfExporter::writeScene(&scene, folder + QStringLiteral("/scene.glb"), &error)) {
            std::fprintf(stderr, "gltf_fuzzer: cannot write the seed scene: %s\n", qPrintable(error));
            std::abort();
        }
        const QString seeds = qEnvironmentVariable("GLTF_FUZZER_SEEDS");
        if (!seeds.isEmpty()) {
            QDir().mkpath(seeds);
            for (const char *name : {"scene.gltf", "scene.glb"})
                QFile::copy(folder + QLatin1Char('/') + QLatin1String(name), seeds + QStringLiteral("/seed_") + QLatin1String(name));
        }
    }
};

/// The nodes form a tree of the scene's own nodes, and each mesh's facets index its arrays.
void check(const DzScene &scene)
{
    for (int i = 0; i < scene.getNumNodes(); ++i) {
        const DzNode *node = scene.getNode(i);
        if (node->getNodeParent() && scene.findNodeIndex(node->getNodeParent()) < 0)
            fail("a node's parent is not in the scene");
        for (int c = 0; c < node->getNumNodeChildren(); ++c)
            if (node->getNodeChild(c)->getNodeParent() != node)
                fail("a child does not name its parent");
        const DzObject *object = node->getObject();
        const auto *mesh = object ? qobject_cast<const DzFacetMesh *>(object->getCurrentGeometryForNode()) : nullptr;
        if (!mesh)
            continue;
        for (const DzFacet &f : mesh->getFacets())
            for (int k = 0; k < f.getNumVertices(); ++k) {
                if (f.m_vertIdx[k] < 0 || f.m_vertIdx[k] >= mesh->getNumVertices())
                    fail("a facet's vertex is outside the mesh");
                if (f.m_uvwIdx[k] >= mesh->getNumUVs() || f.m_normIdx[k] >= mesh->getNumNormals())
                    fail("a facet's uv or normal is outside the mesh");
            }
        // The secret file's bytes reach no vertex.
        for (const DzVec3 &v : mesh->getVertices()) {
            if (v.m_x == 7777.777f * 100.0f && v.m_y == v.m_x && v.m_z == v.m_x)
                fail("a vertex holds the bytes of a file outside the scene's folder");
            if (!v.isFinite())
                fail("a vertex is not finite");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Setup setup;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        DzImageMgr images;   // after the scene, which refers to its textures
        DzScene scene;
        DzGltfImportOptions options;
        options.images = &images;
        options.imageFolder = setup.images;
        QString error, skipped;
        const bool ok = DzGltfImporter::readScene(bytes, setup.folder, &scene, &error, &skipped, options);
        if (ok)
            check(scene);
        else if (error.isEmpty() || error.contains(QLatin1Char('\n')))
            fail("a refusal without its one line");
        else if (scene.getNumNodes() != 0)
            fail("a refused file left nodes in the scene");
    }
    QDir(setup.images).removeRecursively();
    return 0;
}
