// Opening glTF scenes: what the studio saves comes back as it was (File > Save Scene, then File >
// Open Scene through the window's menus), malformed and hostile files are refused with one line
// and leave the scene alone, unsaved changes are asked about, recent files are kept, and the
// studio opens a scene named on its command line.
#include "dzapp.h"
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
#include "sceneoutliner.h"
#include "studiooptions.h"
#include "studiowindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMatrix4x4>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QQuaternion>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "gltftesting.h"
#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <functional>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

namespace {

// --- A scene as the plug-in builds one ---------------------------------------------------------

QString writeJpeg(const QString &path, const QColor &color)
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(color);
    EXPECT_TRUE(image.save(path, "JPG")) << path.toStdString();
    return path;
}


/// A terrain with two materials (a brick material with colour and normal maps, a textured
/// default material), a rock mesh shared by two nodes, a rotated and scaled child, a hidden
/// marker, a camera, the sun and the sky dome, built into scene.
struct SceneBuilder {
    QString colorFile, normalFile, skyFile;
    DzNode *terrain = nullptr, *rock1 = nullptr, *rock2 = nullptr, *child = nullptr;

    void build(DzScene *scene, const QString &textures)
    {
        QDir().mkpath(textures);
        colorFile = writeJpeg(textures + QStringLiteral("/ground colour.jpg"), QColor(120, 100, 60));
        normalFile = writeJpeg(textures + QStringLiteral("/ground normal.jpg"), QColor(128, 128, 255));
        skyFile = writeJpeg(textures + QStringLiteral("/sky.jpg"), QColor(90, 140, 220));
        DzImageMgr *images = dzApp->getImageMgr();

        auto *mesh = new DzFacetMesh;
        for (int z = 0; z < 3; ++z)
            for (int x = 0; x < 3; ++x) {
                mesh->addVertex(DzVec3(x * 200.0f, (x == 1 && z == 1) ? 50.0f : 0.0f, z * 200.0f));
                mesh->addUVPoint(QPointF(x / 2.0, z / 2.0));
            }
        mesh->addVertex(DzVec3(0, -300, 0));
        const int ground = mesh->addMaterialGroup(QStringLiteral("ground"));
        const int rock = mesh->addMaterialGroup(QStringLiteral("rock"));
        for (int z = 0; z < 2; ++z)
            for (int x = 0; x < 2; ++x) {
                DzFacet f;
                const int a = z * 3 + x;
                const int corners[4] = {a, a + 3, a + 4, a + 1};
                for (int k = 0; k < 4; ++k)
                    f.m_vertIdx[k] = f.m_uvwIdx[k] = corners[k];
                f.m_materialIdx = x == 1 ? rock : ground;
                EXPECT_TRUE(mesh->addFacet(f));
            }
        DzFacet tri;
        tri.m_vertIdx[0] = 0;
        tri.m_vertIdx[1] = 1;
        tri.m_vertIdx[2] = 9;
        tri.m_uvwIdx[0] = 0;
        tri.m_uvwIdx[1] = 1;
        tri.m_materialIdx = ground;
        EXPECT_TRUE(mesh->addFacet(tri));

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
            ->setMap(images->getImage(colorFile));
        qobject_cast<DzImageProperty *>(normal->findParameterByArg(QStringLiteral("normalmap"))->getProperty())
            ->setValue(images->getImage(normalFile));
        qobject_cast<DzFloatProperty *>(surface->findParameterByArg(QStringLiteral("Glossiness"))->getProperty())->setValue(0.3f);
        image->findParameterByArg(QStringLiteral("outColor"))->addConnection(surface->findParameterByArg(QStringLiteral("DiffuseColor")));
        surface->findParameterByArg(QStringLiteral("ColorOut"))->addConnection(root->findParameterByArg(QStringLiteral("c_in")));
        EXPECT_TRUE(brick->update());

        auto *rockMat = new DzDefaultMaterial;
        rockMat->setName(QStringLiteral("rock_mat"));
        rockMat->setLabel(QStringLiteral("Rock"));
        rockMat->setDiffuseColor(QColor(200, 30, 10));
        rockMat->setColorMap(images->getImage(colorFile));
        rockMat->setGlossinessStrength(0.8f);
        rockMat->setLightingModel(DzDefaultMaterial::Metallic);

        terrain = gltfread::meshNode(QStringLiteral("terrain"), QStringLiteral("Terrain"), mesh, {brick, rockMat});
        terrain->getXPosControl()->setValue(-100.0f);
        scene->addNode(terrain);

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
        scene->addNode(rock1);
        scene->addNode(rock2);

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
        child->getVisibilityControl()->setBoolValue(false);
        rock1->addNodeChild(child);
        scene->addNode(child);

        auto *camera = new DzBasicCamera(6, false);
        camera->setName(QStringLiteral("cam"));
        camera->setLabel(QStringLiteral("Camera 1"));
        camera->setFieldOfView(50.0f);
        camera->getYPosControl()->setValue(500.0f);
        camera->getXRotControl()->setValue(-20.0f);
        scene->addNode(camera);

        auto *sun = new DzDistantLight;
        sun->setName(QStringLiteral("terrain Sun"));
        sun->setLabel(QStringLiteral("terrain Sun"));
        sun->getXRotControl()->setValue(-35.0f);
        sun->getYRotControl()->setValue(120.0f);
        sun->setDiffuseColor(QColor(255, 220, 180));
        sun->setIntensity(0.8f);
        scene->addNode(sun);

        // The sky dome as the scene builder makes it: marked as the environment.
        auto *skyMat = new DzDefaultMaterial;
        skyMat->setName(QStringLiteral("Sky Default"));
        skyMat->setLightingModel(DzDefaultMaterial::Matte);
        skyMat->setDiffuseStrength(0.0f);
        skyMat->setAmbientStrength(1.0f);
        skyMat->setAmbientColor(Qt::white);
        skyMat->setAmbientColorMap(images->getImage(skyFile));
        auto *dome = new DzFacetMesh;
        dome->addVertex(DzVec3(-1000, 0, -1000));
        dome->addVertex(DzVec3(1000, 0, -1000));
        dome->addVertex(DzVec3(0, 1000, 0));
        DzFacet t;
        for (int k = 0; k < 3; ++k)
            t.m_vertIdx[k] = k;
        EXPECT_TRUE(dome->addFacet(t));
        DzNode *sky = gltfread::meshNode(QStringLiteral("skyDome"), QStringLiteral("skyDome"), dome, {skyMat});
        sky->setProperty("environment", true);
        scene->addNode(sky);
    }
};

// --- What a glTF file says, for comparing two files -------------------------------------------

bool keepBytes(tinygltf::Image *image, const int, std::string *, std::string *, int, int, const unsigned char *bytes,
               int size, void *)
{
    if (image->bufferView < 0)
        image->image.assign(bytes, bytes + size);
    return true;
}

bool loadModel(const QString &path, tinygltf::Model &model)
{
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(keepBytes, nullptr);
    std::string err, warn;
    const std::string file = QFile::encodeName(path).toStdString();
    return path.endsWith(QLatin1String(".glb")) ? loader.LoadBinaryFromFile(&model, &err, &warn, file)
                                                : loader.LoadASCIIFromFile(&model, &err, &warn, file);
}

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

std::string num(double v, double step)
{
    std::ostringstream s;
    const double r = std::round(v / step) * step;
    s << (r == 0 ? 0.0 : r);
    return s.str();
}

QByteArray imageBytes(const tinygltf::Model &m, int texture, const QString &folder)
{
    if (texture < 0)
        return "none";
    const tinygltf::Image &image = m.images.at(size_t(m.textures.at(size_t(texture)).source));
    QByteArray bytes;
    if (image.bufferView >= 0) {
        const tinygltf::BufferView &v = m.bufferViews.at(size_t(image.bufferView));
        bytes = QByteArray(reinterpret_cast<const char *>(m.buffers.at(size_t(v.buffer)).data.data() + v.byteOffset), qsizetype(v.byteLength));
    } else {
        QFile f(folder + QLatin1Char('/') + QString::fromStdString(image.uri));
        bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
    }
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

std::string materialText(const tinygltf::Model &m, int index, const QString &folder)
{
    if (index < 0)
        return "no material";
    const tinygltf::Material &mat = m.materials.at(size_t(index));
    std::ostringstream s;
    s << mat.name << " dzName=" << (mat.extras.Has("dzName") ? mat.extras.Get("dzName").Get<std::string>() : "") << " colour=";
    for (double c : mat.pbrMetallicRoughness.baseColorFactor)
        s << num(c, 1e-3) << ',';
    s << " roughness=" << num(mat.pbrMetallicRoughness.roughnessFactor, 1e-5)
      << " metallic=" << mat.pbrMetallicRoughness.metallicFactor << " unlit=" << mat.extensions.count("KHR_materials_unlit")
      << " doubleSided=" << mat.doubleSided
      << " base=" << imageBytes(m, mat.pbrMetallicRoughness.baseColorTexture.index, folder).toStdString()
      << " normal=" << imageBytes(m, mat.normalTexture.index, folder).toStdString();
    return s.str();
}

/// Every triangle of a mesh, corner by corner (position, normal, uv), per primitive with its
/// material: the same text for the same surface whatever the order of the vertices.
std::string meshText(const tinygltf::Model &m, int index, const QString &folder)
{
    if (index < 0)
        return "no mesh";
    std::ostringstream s;
    const tinygltf::Mesh &mesh = m.meshes.at(size_t(index));
    s << mesh.name << ':';
    for (const tinygltf::Primitive &p : mesh.primitives) {
        const std::vector<float> pos = gltfread::floats(m, p.attributes.at("POSITION"));
        const std::vector<float> nrm = gltfread::floats(m, p.attributes.at("NORMAL"));
        const std::vector<float> uv = p.attributes.count("TEXCOORD_0") ? gltfread::floats(m, p.attributes.at("TEXCOORD_0")) : std::vector<float>();
        s << " [" << materialText(m, p.material, folder) << " tangents=" << p.attributes.count("TANGENT") << ']';
        for (uint32_t i : gltfread::indices(m, p.indices)) {
            s << " (" << num(pos[i * 3], 1e-5) << ' ' << num(pos[i * 3 + 1], 1e-5) << ' ' << num(pos[i * 3 + 2], 1e-5) << " n "
              << num(nrm[i * 3], 1e-4) << ' ' << num(nrm[i * 3 + 1], 1e-4) << ' ' << num(nrm[i * 3 + 2], 1e-4);
            if (!uv.empty())
                s << " uv " << num(uv[i * 2], 1e-5) << ' ' << num(uv[i * 2 + 1], 1e-5);
            s << ')';
        }
    }
    return s.str();
}

/// One line per node of a file: its names, visibility, parent, world transform, and what it
/// shows (mesh, camera, light); and the sky picture's name.
std::vector<std::string> describe(const QString &path)
{
    tinygltf::Model m;
    EXPECT_TRUE(loadModel(path, m)) << path.toStdString();
    const QString folder = QFileInfo(path).absolutePath();
    std::vector<int> parent(m.nodes.size(), -1);
    for (size_t i = 0; i < m.nodes.size(); ++i)
        for (int c : m.nodes[i].children)
            parent[size_t(c)] = int(i);
    std::vector<std::string> out;
    for (size_t i = 0; i < m.nodes.size(); ++i) {
        const tinygltf::Node &n = m.nodes[i];
        QMatrix4x4 w = localMatrix(n);
        for (int p = parent[i]; p >= 0; p = parent[size_t(p)])
            w = localMatrix(m.nodes[size_t(p)]) * w;
        std::ostringstream s;
        s << n.name << " dzName=" << n.extras.Get("dzName").Get<std::string>()
          << " hidden=" << (n.extras.Has("visible") && !n.extras.Get("visible").Get<bool>())
          << " parent=" << (parent[i] >= 0 ? m.nodes[size_t(parent[i])].name : "-") << " world=";
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                s << num(w(r, c), 1e-4) << ',';
        if (n.camera >= 0)
            s << " camera yfov=" << num(m.cameras[size_t(n.camera)].perspective.yfov, 1e-6);
        if (n.extensions.count("KHR_lights_punctual")) {
            const tinygltf::Light &l = m.lights.at(size_t(n.extensions.at("KHR_lights_punctual").Get("light").Get<int>()));
            s << " light " << l.type << " lux=" << num(l.intensity, 1e-2) << " colour=";
            for (double c : l.color)
                s << num(c, 1e-3) << ',';
        }
        s << " mesh " << meshText(m, n.mesh, folder);
        out.push_back(s.str());
    }
    std::string sky = "no sky";
    if (!m.scenes.empty() && m.scenes[0].extras.Has("environment")) {
        QFile f(folder + QLatin1Char('/') + QString::fromStdString(m.scenes[0].extras.Get("environment").Get<std::string>()));
        sky = "sky " + (f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex().toStdString() : "missing");
    }
    out.push_back(sky);
    return out;
}

void expectSameScene(const QString &first, const QString &second)
{
    const std::vector<std::string> a = describe(first), b = describe(second);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i], b[i]) << "node " << i;
}

/// The outliner's tree as indented text.
QString treeText(const QTreeWidget *tree)
{
    QString out;
    std::function<void(const QTreeWidgetItem *, int)> walk = [&](const QTreeWidgetItem *item, int depth) {
        out += QString(depth * 2, QLatin1Char(' ')) + item->text(0) + QLatin1Char('\n');
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return out;
}

QStringList actionTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            texts << a->text();
    return texts;
}

QList<DzNode *> nodesOf(const DzScene *scene)
{
    QList<DzNode *> nodes;
    for (int i = 0; i < scene->getNumNodes(); ++i)
        nodes << scene->getNode(i);
    return nodes;
}

// --- The studio window, driven through its menus ----------------------------------------------

class StudioOpen : public ::testing::Test {
protected:
    DzApp app;
    QTemporaryDir dir;
    std::unique_ptr<StudioWindow> window;
    SceneBuilder built;
    QStringList warnings;
    QStringList asked;       ///< the questions shown, as "title: text"
    QList<QString> answers;  ///< the buttons pressed on them, in order
    QString fileToSave, fileToOpen;
    QTimer dialogWatch;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
        StudioWindow::saveFileNameHook = [this](QWidget *, const QString &, const QString &) { return fileToSave; };
        StudioWindow::openFileNameHook = [this](QWidget *, const QString &, const QString &) { return fileToOpen; };
        StudioWindow::warningHook = [this](QWidget *, const QString &title, const QString &text) {
            warnings << title + QStringLiteral(": ") + text;
        };
        // The question is the real message box, answered by pressing its buttons.
        QObject::connect(&dialogWatch, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            asked << box->windowTitle() + QStringLiteral(": ") + box->text();
            if (answers.isEmpty()) {
                ADD_FAILURE() << "unexpected question: " << asked.back().toStdString();
                return box->reject();
            }
            const QString answer = answers.takeFirst();
            for (QAbstractButton *b : box->buttons())
                if (b->text().remove(QLatin1Char('&')) == answer)
                    return QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
            ADD_FAILURE() << "no button " << answer.toStdString();
            box->reject();
        });
        dialogWatch.start(20);

        built.build(dzScene, dir.filePath(QStringLiteral("textures")));
        window = std::make_unique<StudioWindow>();
        app.setInterface(window.get());
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override
    {
        dialogWatch.stop();
        StudioWindow::saveFileNameHook = nullptr;
        StudioWindow::openFileNameHook = nullptr;
        StudioWindow::warningHook = nullptr;
        app.setInterface(nullptr);
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    /// Opens the menu from the menu bar and clicks the item, as the user does.
    void choose(QMenu *menu, QAction *item)
    {
        ASSERT_NE(item, nullptr);
        QMenuBar *bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        QTest::qWaitFor([menu] { return !menu->isVisible(); });
    }
    void fileMenu(QAction *item) { choose(window->fileMenu(), item); }
    void saveAs(const QString &path)
    {
        fileToSave = path;
        fileMenu(window->saveSceneAction());
    }
    void open(const QString &path)
    {
        fileToOpen = path;
        fileMenu(window->openSceneAction());
    }
    /// File > Open Recent > the entry for path.
    void openRecent(const QString &path)
    {
        QMenu *recent = window->recentMenu();
        QMenuBar *bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(window->fileMenu()->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->fileMenu()->isVisible(); }));
        QTest::mouseClick(window->fileMenu(), Qt::LeftButton, {}, window->fileMenu()->actionGeometry(recent->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitFor([recent] { return recent->isVisible(); }));
        QAction *entry = nullptr;
        for (QAction *a : recent->actions())
            if (a->data().toString() == path)
                entry = a;
        ASSERT_NE(entry, nullptr) << path.toStdString();
        QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(entry).center());
    }
    QString tree() const { return treeText(window->outliner()); }
    QString out(const QString &name) const { return dir.filePath(QStringLiteral("out/") + name); }
};

} // namespace

TEST_F(StudioOpen, SavedScenesOpenAsTheyWereInBothContainers)
{
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    QDir().mkpath(dir.filePath(QStringLiteral("again")));
    const QString before = tree();
    const QMatrix4x4 expected = built.child->getWSTransform();   // ZXY order, scaled, under a scaled parent
    ASSERT_TRUE(before.contains(QLatin1String("Rock 1\n  Marker\n"))) << before.toStdString();
    const QList<QString> openActions = {window->fileMenu()->actions()[0]->text(), window->fileMenu()->actions()[1]->text()};
    EXPECT_EQ(openActions, (QList<QString>{QStringLiteral("&Open Scene..."), QStringLiteral("Open &Recent")}));
    EXPECT_EQ(window->openSceneAction()->shortcut(), QKeySequence(QKeySequence::Open));

    for (const QString &name : {QStringLiteral("scene.glb"), QStringLiteral("scene.gltf")}) {
        SCOPED_TRACE(name.toStdString());
        saveAs(out(name));
        ASSERT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(dzScene->isModified());

        const QList<DzNode *> old = nodesOf(dzScene);
        open(out(name));
        EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(asked.isEmpty()) << "nothing changed since the save: no question";
        for (DzNode *n : old)
            EXPECT_FALSE(nodesOf(dzScene).contains(n)) << "the scene is replaced, not added to";
        EXPECT_EQ(tree(), before);
        EXPECT_FALSE(dzScene->isModified());
        EXPECT_EQ(window->sceneFile(), QFileInfo(out(name)).absoluteFilePath());

        // What the host holds again.
        DzNode *rock1 = dzScene->findNode(QStringLiteral("rock1"));
        DzNode *rock2 = dzScene->findNode(QStringLiteral("rock2"));
        DzNode *marker = dzScene->findNode(QStringLiteral("marker"));
        ASSERT_TRUE(rock1 && rock2 && marker);
        EXPECT_EQ(rock1->getLabel(), QStringLiteral("Rock 1"));
        EXPECT_EQ(marker->getNodeParent(), rock1);
        EXPECT_FALSE(marker->getVisibilityControl()->getBoolValue());
        const auto *shape1 = qobject_cast<DzFacetShape *>(rock1->getObject()->getCurrentShape());
        const auto *shape2 = qobject_cast<DzFacetShape *>(rock2->getObject()->getCurrentShape());
        ASSERT_TRUE(shape1 && shape2);
        EXPECT_EQ(shape1->getFacetMesh(), shape2->getFacetMesh()) << "the rock mesh stays shared";
        EXPECT_EQ(shape1->getFacetMesh()->getNumFacets(), 1) << "the quad comes back as a quad";
        EXPECT_EQ(shape1->getMaterial(0), shape2->getMaterial(0)) << "and so does its material";
        EXPECT_EQ(shape1->getMaterial(0)->getName(), QStringLiteral("rock_mat"));
        EXPECT_EQ(qobject_cast<DzDefaultMaterial *>(shape1->getMaterial(0))->getLightingModel(), DzDefaultMaterial::Metallic);
        const QMatrix4x4 got = marker->getWSTransform();
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(got(r, c), expected(r, c), 2e-3) << r << "," << c;

        const auto *terrain = qobject_cast<DzFacetShape *>(dzScene->findNode(QStringLiteral("terrain"))->getObject()->getCurrentShape());
        ASSERT_NE(terrain, nullptr);
        EXPECT_EQ(terrain->getFacetMesh()->getNumTriangles(), 9);
        const auto *ground = qobject_cast<DzBrickMaterial *>(terrain->getMaterial(0));
        ASSERT_NE(ground, nullptr) << "the normal-mapped material comes back as bricks";
        EXPECT_EQ(ground->getLabel(), QStringLiteral("Ground"));

        auto *camera = qobject_cast<DzCamera *>(dzScene->findNode(QStringLiteral("cam")));
        ASSERT_NE(camera, nullptr);
        EXPECT_NEAR(camera->getFieldOfView(), 50.0f, 1e-3);
        EXPECT_NE(actionTexts(window->cameraMenu()).indexOf(QStringLiteral("Camera 1")), -1);
        auto *sun = qobject_cast<DzDistantLight *>(dzScene->findNode(QStringLiteral("terrain Sun")));
        ASSERT_NE(sun, nullptr);
        EXPECT_NEAR(sun->getIntensity(), 0.8f, 1e-5);
        EXPECT_EQ(sun->getDiffuseColor().name(), QColor(255, 220, 180).name());

        DzNode *sky = dzScene->findNode(QStringLiteral("skyDome"));
        ASSERT_NE(sky, nullptr) << "the sky dome is made again from its picture";
        EXPECT_TRUE(sky->property("environment").toBool());

        // Saved again (into another folder): the same scene.
        const QString again = dir.filePath(QStringLiteral("again/") + name);
        saveAs(again);
        ASSERT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
        expectSameScene(out(name), again);
    }
    // Both files are the latest in File > Open Recent.
    EXPECT_EQ(StudioWindow::recentFiles().mid(0, 2),
              (QStringList{QFileInfo(dir.filePath(QStringLiteral("again/scene.gltf"))).absoluteFilePath(),
                           QFileInfo(out(QStringLiteral("scene.gltf"))).absoluteFilePath()}));
}

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

/// A small valid .gltf: one triangle whose buffer is named by uri (a data: URI at first).
QByteArray triangleGltf(const QByteArray &bufferUri, const QByteArray &extra = QByteArray())
{
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
      "nodes":[{"name":"tri","mesh":0}],
      "meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],
      "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}],
      "bufferViews":[{"buffer":0,"byteLength":36}],
      "buffers":[{"byteLength":36,"uri":")" + bufferUri + R"("}])" + extra + "}";
}

const QByteArray triangleData = "data:application/octet-stream;base64,"
                                + QByteArray(reinterpret_cast<const char *>(std::array<float, 9>{0, 0, 0, 1, 0, 0, 0, 1, 0}.data()), 36).toBase64();

} // namespace

// Malformed and hostile files are refused with one line, through File > Open Scene, and the
// scene stays as it was.
TEST_F(StudioOpen, MalformedAndHostileFilesAreRefusedAndLeaveTheSceneAlone)
{
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    saveAs(out(QStringLiteral("good.glb")));
    saveAs(out(QStringLiteral("good.gltf")));
    ASSERT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    const QByteArray glb = readAll(out(QStringLiteral("good.glb")));
    const QByteArray gltf = readAll(out(QStringLiteral("good.gltf")));
    ASSERT_GT(glb.size(), 100);

    // A file outside the scene's folder that hostile URIs try to reach.
    const QString secret = dir.filePath(QStringLiteral("secret.bin"));
    writeFile(secret, QByteArray(36, 'x'));
    const QString evil = dir.filePath(QStringLiteral("out/evil"));
    QDir().mkpath(evil);
    ASSERT_TRUE(QFile::link(secret, evil + QStringLiteral("/linked.bin")));

    QByteArray garbage = gltf;
    garbage.replace("\"nodes\"", "\"nodes\" [{{");
    QByteArray outOfRange = gltf;
    outOfRange.replace(QRegularExpression(QStringLiteral("\"mesh\"\\s*:\\s*1")).match(QString::fromLatin1(gltf)).captured().toLatin1(), "\"mesh\": 99");
    QByteArray cycle = triangleGltf(triangleData);
    cycle.replace(R"("nodes":[{"name":"tri","mesh":0}])", R"("nodes":[{"name":"a","children":[1]},{"name":"b","children":[0]}])");
    QByteArray beyond = triangleGltf(triangleData);
    beyond.replace(R"("count":3)", R"("count":4)");
    QByteArray deep = QByteArray(5000, '[') + QByteArray(5000, ']');
    const struct {
        const char *name;
        QByteArray bytes;
        const char *why;
    } bad[] = {
        {"truncated.glb", glb.left(glb.size() / 2), "truncated"},
        {"garbage.gltf", garbage, "neither glTF JSON"},
        {"plain.gltf", "this is not a scene at all", "neither glTF JSON"},
        {"empty.glb", "", "empty"},
        {"deep.gltf", deep, "neither glTF JSON"},
        {"passwd.gltf", triangleGltf("/etc/passwd"), "absolute path"},
        {"web.gltf", triangleGltf("http://example.com/scene.bin"), "not a file beside the scene"},
        {"file.gltf", triangleGltf("file:///etc/passwd"), "not a file beside the scene"},
        {"up.gltf", triangleGltf("../secret.bin"), "leads out of the scene's folder"},
        {"encoded.gltf", triangleGltf("%2E%2E/secret.bin"), "leads out of the scene's folder"},
        {"evil/link.gltf", triangleGltf("linked.bin"), "outside the scene's folder"},
        {"image.gltf", triangleGltf(triangleData, R"(,"images":[{"uri":"https://example.com/x.png"}])"), "not a file beside the scene"},
        {"range.gltf", outOfRange, "does not exist"},
        {"cycle.gltf", cycle, "cycle"},
        {"beyond.gltf", beyond, "reaches beyond"},
    };
    const QString before = tree();
    const QList<DzNode *> nodes = nodesOf(dzScene);
    dzScene->setModified(false);
    for (const auto &b : bad) {
        SCOPED_TRACE(b.name);
        const QString path = out(QString::fromLatin1(b.name));
        writeFile(path, b.bytes);
        warnings.clear();
        open(path);
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_FALSE(warnings[0].contains(QLatin1Char('\n'))) << "one line: " << warnings[0].toStdString();
        EXPECT_TRUE(warnings[0].contains(QLatin1String(b.why))) << warnings[0].toStdString();
        EXPECT_TRUE(warnings[0].contains(QFileInfo(path).fileName())) << warnings[0].toStdString();
        EXPECT_EQ(nodesOf(dzScene), nodes);
        EXPECT_EQ(tree(), before);
        EXPECT_FALSE(dzScene->isModified());
    }
    EXPECT_TRUE(asked.isEmpty());

    // The same folder's own buffer is fine.
    writeFile(out(QStringLiteral("tri.bin")), QByteArray::fromBase64(triangleData.mid(triangleData.indexOf(',') + 1)));
    writeFile(out(QStringLiteral("tri.gltf")), triangleGltf("tri.bin"));
    warnings.clear();
    open(out(QStringLiteral("tri.gltf")));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(tree(), QStringLiteral("tri\n"));
}

// What the studio does not read is left out, and listed in one message.
TEST_F(StudioOpen, UnsupportedContentIsSkippedAndListed)
{
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    QByteArray extra = triangleGltf(triangleData,
        R"(,"extensionsUsed":["KHR_materials_unlit","EXT_future_thing"],
           "animations":[{"channels":[],"samplers":[]}],
           "skins":[{"joints":[0]}])");
    extra.replace(R"({"name":"tri","mesh":0})", R"({"name":"tri","mesh":0},{"name":"lamp","extensions":{"KHR_lights_punctual":{"light":0}}})");
    extra.replace(R"("nodes":[0]})", R"("nodes":[0,1]})");
    extra.replace(R"("asset")", R"("extensions":{"KHR_lights_punctual":{"lights":[{"type":"point","intensity":5}]}},"asset")");
    writeFile(out(QStringLiteral("extra.gltf")), extra);
    dzScene->setModified(false);
    open(out(QStringLiteral("extra.gltf")));
    ASSERT_EQ(warnings.size(), 1);
    for (const char *what : {"extension EXT_future_thing", "animations", "skins", "point and spot lights"})
        EXPECT_TRUE(warnings[0].contains(QLatin1String(what))) << what << " in " << warnings[0].toStdString();
    EXPECT_FALSE(warnings[0].contains(QLatin1String("KHR_materials_unlit")));
    EXPECT_EQ(tree(), QStringLiteral("tri\nlamp\n"));

    // An extension the file cannot be read without refuses it.
    QByteArray required = triangleGltf(triangleData, R"(,"extensionsUsed":["KHR_draco_mesh_compression"],"extensionsRequired":["KHR_draco_mesh_compression"])");
    writeFile(out(QStringLiteral("draco.gltf")), required);
    warnings.clear();
    open(out(QStringLiteral("draco.gltf")));
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QLatin1String("requires the extension KHR_draco_mesh_compression"))) << warnings[0].toStdString();
    EXPECT_EQ(tree(), QStringLiteral("tri\nlamp\n"));
}

// A changed scene is not thrown away without a question: on Open, Open Recent and closing.
TEST_F(StudioOpen, UnsavedChangesAreAskedAboutAndCancelKeepsTheScene)
{
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    saveAs(out(QStringLiteral("first.glb")));
    ASSERT_FALSE(dzScene->isModified());
    EXPECT_FALSE(window->isWindowModified());

    // A change: a node moved.
    built.rock2->getXPosControl()->setValue(-50.0f);
    EXPECT_TRUE(dzScene->isModified());
    EXPECT_TRUE(window->isWindowModified());
    const QList<DzNode *> nodes = nodesOf(dzScene);

    // Open: cancelled at the question, nothing asked further, the scene kept.
    bool askedForFile = false;
    StudioWindow::openFileNameHook = [&](QWidget *, const QString &, const QString &) {
        askedForFile = true;
        return out(QStringLiteral("first.glb"));
    };
    answers << QStringLiteral("Cancel");
    fileMenu(window->openSceneAction());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith(QLatin1String("Unsaved Changes: The scene has changes that are not saved."))) << asked[0].toStdString();
    EXPECT_FALSE(askedForFile);
    EXPECT_EQ(nodesOf(dzScene), nodes);
    EXPECT_FLOAT_EQ(built.rock2->getXPosControl()->getValue(), -50.0f);

    // Open Recent: cancelled too.
    answers << QStringLiteral("Cancel");
    openRecent(QFileInfo(out(QStringLiteral("first.glb"))).absoluteFilePath());
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(nodesOf(dzScene), nodes);

    // Closing the window: cancelled, the window stays.
    answers << QStringLiteral("Cancel");
    EXPECT_FALSE(window->close());
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(window->isVisible());

    // Other kinds of change count as well: a node added, a label, a child moved.
    for (const std::function<void()> &change : std::vector<std::function<void()>>{
             [] { dzScene->addNode(new DzNode); },
             [this] { built.rock1->setLabel(QStringLiteral("Big Rock")); },
             [this] { built.rock2->addNodeChild(built.child); },
             [this] { dzScene->removeNode(built.terrain); }}) {
        dzScene->setModified(false);
        change();
        EXPECT_TRUE(dzScene->isModified());
    }

    // Save first: the changed scene is written, then the other file opens.
    saveAs(out(QStringLiteral("second.gltf")));
    built.rock2->getXPosControl()->setValue(-70.0f);
    answers << QStringLiteral("Save");
    fileToSave = out(QStringLiteral("changed.glb"));
    fileMenu(window->openSceneAction());
    EXPECT_EQ(asked.size(), 4);
    EXPECT_TRUE(askedForFile);
    EXPECT_TRUE(QFileInfo::exists(out(QStringLiteral("changed.glb"))));
    EXPECT_EQ(window->sceneFile(), QFileInfo(out(QStringLiteral("first.glb"))).absoluteFilePath());
    EXPECT_FALSE(dzScene->isModified());
    EXPECT_FLOAT_EQ(dzScene->findNode(QStringLiteral("rock2"))->getXPosControl()->getValue(), 0.0f);

    // Discard: the changes go, the other file opens.
    dzScene->findNode(QStringLiteral("rock2"))->getXPosControl()->setValue(-90.0f);
    answers << QStringLiteral("Discard");
    openRecent(QFileInfo(out(QStringLiteral("changed.glb"))).absoluteFilePath());
    EXPECT_EQ(asked.size(), 5);
    EXPECT_FLOAT_EQ(dzScene->findNode(QStringLiteral("rock2"))->getXPosControl()->getValue(), -70.0f);
    EXPECT_FALSE(dzScene->isModified());

    // Unchanged: closing asks nothing.
    EXPECT_TRUE(window->close());
    EXPECT_EQ(asked.size(), 5);
}

// File > Open Recent lists the scenes last opened or saved, newest first, and forgets the ones
// that are gone; the list is kept in the user's settings.
TEST_F(StudioOpen, RecentFilesAreKeptAndOpened)
{
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    QSettings(QStringLiteral("OROVISTA"), QStringLiteral("Studio")).remove(QStringLiteral("recentFiles"));
    for (int i = 0; i < StudioWindow::kMaxRecentFiles + 2; ++i)
        saveAs(out(QStringLiteral("scene%1.glb").arg(i)));
    const QStringList recent = StudioWindow::recentFiles();
    ASSERT_EQ(recent.size(), StudioWindow::kMaxRecentFiles);
    EXPECT_EQ(recent.first(), QFileInfo(out(QStringLiteral("scene%1.glb").arg(StudioWindow::kMaxRecentFiles + 1))).absoluteFilePath());
    EXPECT_EQ(actionTexts(window->recentMenu()).first(), QStringLiteral("&1 scene%1.glb").arg(StudioWindow::kMaxRecentFiles + 1));

    // Opening an older one brings it to the top.
    const QString older = QFileInfo(out(QStringLiteral("scene3.glb"))).absoluteFilePath();
    dzScene->clear();
    dzScene->setModified(false);
    openRecent(older);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(StudioWindow::recentFiles().first(), older);
    EXPECT_NE(dzScene->findNode(QStringLiteral("rock1")), nullptr);

    // A new window (the next run) lists the same.
    StudioWindow second;
    EXPECT_EQ(actionTexts(second.recentMenu()), actionTexts(window->recentMenu()));

    // A file that is gone: told, and taken off the list.
    const QString gone = StudioWindow::recentFiles().at(1);
    ASSERT_TRUE(QFile::remove(gone));
    openRecent(gone);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QLatin1String("does not exist"))) << warnings[0].toStdString();
    EXPECT_FALSE(StudioWindow::recentFiles().contains(gone));
}

// The importer without a window: scenes from other writers (matrix transforms, no extras), and
// a scene it cannot read leaves the one given untouched.
TEST(GltfImport, MatricesAndPlainFiles)
{
    DzApp app;
    QTemporaryDir dir;
    const float c = std::cos(qDegreesToRadians(30.0f)), s = std::sin(qDegreesToRadians(30.0f));
    // A rotation of 30° about z, scaled by (2, 3, 4), moved by (1, 2, 3) m; under it a child
    // turned 90° about y without a name of its own.
    const QByteArray matrix = QStringLiteral("[%1,%2,0,0, %3,%4,0,0, 0,0,4,0, 1,2,3,1]")
                                  .arg(2 * c).arg(2 * s).arg(-3 * s).arg(3 * c).toLatin1();
    QByteArray file = triangleGltf(triangleData);
    file.replace(R"({"name":"tri","mesh":0})", R"({"name":"parent","matrix":)" + matrix + R"(,"children":[1]},{"mesh":0,"rotation":[0,0.7071068,0,0.7071068]})");
    writeFile(dir.filePath(QStringLiteral("plain.gltf")), file);

    DzScene scene;
    QString error, skipped;
    ASSERT_TRUE(DzGltfImporter::readScene(dir.filePath(QStringLiteral("plain.gltf")), &scene, &error, &skipped)) << error.toStdString();
    EXPECT_TRUE(skipped.isEmpty()) << skipped.toStdString();
    ASSERT_EQ(scene.getNumNodes(), 2);
    DzNode *parent = scene.getNode(0), *child = scene.getNode(1);
    EXPECT_EQ(parent->getName(), QStringLiteral("parent"));
    EXPECT_EQ(child->getNodeParent(), parent);
    QMatrix4x4 expected(2 * c, -3 * s, 0, 100, 2 * s, 3 * c, 0, 200, 0, 0, 4, 300, 0, 0, 0, 1);
    const QMatrix4x4 got = parent->getLocalTransform();
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(got(r, k), expected(r, k), 1e-4) << r << "," << k;
    EXPECT_NEAR(child->getYRotControl()->getValue(), 90.0f, 1e-3);
    const auto *mesh = qobject_cast<DzFacetMesh *>(child->getObject()->getCurrentGeometryForNode());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNumFacets(), 1);
    EXPECT_FLOAT_EQ(mesh->getVertex(1).m_x, 100.0f);   // metres to centimetres

    // Refused: the scene keeps what it has.
    writeFile(dir.filePath(QStringLiteral("bad.gltf")), "{\"asset\":{\"version\":\"2.0\"},\"nodes\":[{\"mesh\":3}]}");
    EXPECT_FALSE(DzGltfImporter::readScene(dir.filePath(QStringLiteral("bad.gltf")), &scene, &error));
    EXPECT_TRUE(error.contains(QLatin1String("mesh 3 does not exist"))) << error.toStdString();
    EXPECT_EQ(scene.getNumNodes(), 2);
    EXPECT_EQ(scene.getNode(0), parent);
}

TEST(StudioOptions, ASceneFileOnTheCommandLine)
{
    StudioOptions o;
    QString error;
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("/a/../scene.GLB")}, QStringLiteral("/app/bin"), o, &error))
        << error.toStdString();
    EXPECT_EQ(o.sceneFile, QStringLiteral("/scene.GLB"));
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("/s.gltf")}, QStringLiteral("/app/bin"), o, &error));
    EXPECT_EQ(o.sceneFile, QStringLiteral("/s.gltf"));
    EXPECT_FALSE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("a.glb"), QStringLiteral("b.glb")}, QString(), o, &error));
    EXPECT_TRUE(error.contains(QLatin1String("only one scene"))) << error.toStdString();
    EXPECT_FALSE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("notes.txt")}, QString(), o, &error));
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio")}, QString(), o, &error));
    EXPECT_TRUE(o.sceneFile.isEmpty());
}

// The studio itself, started with a scene: a good one opens without a word; one it cannot read
// gets one line on the error output, and the studio goes on (here to the create action it is
// asked for, which does not exist, and which ends it).
TEST(StudioCommandLine, OpensTheSceneOrSaysWhyInOneLine)
{
    DzApp app;
    QTemporaryDir dir;
    DzScene *scene = dzScene;
    SceneBuilder built;
    built.build(scene, dir.filePath(QStringLiteral("textures")));
    const QString good = dir.filePath(QStringLiteral("good.glb"));
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(scene, good, &error)) << error.toStdString();
    const QString bad = dir.filePath(QStringLiteral("bad.gltf"));
    writeFile(bad, triangleGltf("http://example.com/x.bin"));

    auto run = [&](const QString &file) {
        QProcess studio;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        studio.setProcessEnvironment(env);
        studio.start(QStringLiteral(OROVISTA_BINARY_DIR "/bin/studio"),
                     {QStringLiteral("--plugins"), dir.path(), QStringLiteral("--documents"), dir.path(),
                      QStringLiteral("--run-action"), QStringLiteral("No Such Action"), file});
        EXPECT_TRUE(studio.waitForFinished(60000));
        EXPECT_EQ(studio.exitCode(), 2);
        QStringList lines;
        for (const QString &line : QString::fromLocal8Bit(studio.readAllStandardError()).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("studio: ")))
                lines << line;
        return lines;
    };
    const QStringList goodLines = run(good);
    for (const QString &line : goodLines)
        EXPECT_FALSE(line.contains(QLatin1String("good.glb"))) << line.toStdString();
    EXPECT_TRUE(goodLines.last().contains(QLatin1String("no create action"))) << goodLines.join(QLatin1Char('\n')).toStdString();

    const QStringList badLines = run(bad);
    QStringList about;
    for (const QString &line : badLines)
        if (line.contains(QLatin1String("bad.gltf")))
            about << line;
    ASSERT_EQ(about.size(), 1) << badLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(about[0].startsWith(QLatin1String("studio: cannot open "))) << about[0].toStdString();
    EXPECT_TRUE(about[0].contains(QLatin1String("not a file beside the scene"))) << about[0].toStdString();
    EXPECT_TRUE(badLines.last().contains(QLatin1String("no create action"))) << "the studio went on";
}
