// Creating the host scene as a user does it: props painted on the terrain, the CREATE tab's
// choices and button, and what arrives in the host's scene and the maps folder.
#include "userpathfixture.h"

#include "dzcamera.h"
#include "dzcontentmgr.h"
#include "dzgltfexporter.h"
#include "dzimagemgr.h"
#include "dzmainwindow.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <tiny_gltf.h>

namespace {

class SceneCreation : public UserPath {
protected:
    void beforeWindow() override
    {
        dzApp->getContentMgr()->setPoserDirectories({QStringLiteral(OROVISTA_BINARY_DIR "/content")});
        host = new DzMainWindow;
        host->resize(900, 600);
        dzApp->setInterface(host);
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void TearDown() override
    {
        UserPath::TearDown();
        dzApp->getContentMgr()->setPoserDirectories({});
        dzApp->setInterface(nullptr);
        delete host;
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static QLabel *holdOn() { return find<QLabel>(QStringLiteral("createDAZHoldOnLabel")); }

    /// The CREATE tab's button, and the wait until the hold-on label has its last word.
    void create()
    {
        openTab(2);
        click(find<QPushButton>(QStringLiteral("createDAZTerrainButton")));
        QCoreApplication::processEvents();
    }

    static void choose(const char *comboName, const QString &text)
    {
        auto *combo = find<QComboBox>(QString::fromLatin1(comboName));
        ASSERT_NE(combo, nullptr);
        combo->setFocus();
        const int wanted = combo->findText(text);
        ASSERT_GE(wanted, 0) << "no " << text.toStdString() << " in " << comboName;
        while (combo->currentText() != text) {
            const int was = combo->currentIndex();
            QTest::keyClick(combo, wanted < was ? Qt::Key_Up : Qt::Key_Down);
            ASSERT_NE(combo->currentIndex(), was) << "no " << text.toStdString() << " in " << comboName;
        }
    }

    static DzFacetMesh *meshOf(const DzNode *node)
    {
        return node && node->getObject() ? qobject_cast<DzFacetMesh *>(node->getObject()->getCurrentGeometryForNode())
                                         : nullptr;
    }

    static int countNamed(const QString &name)
    {
        int n = 0;
        for (int i = 0; i < dzScene->getNumNodes(); ++i)
            n += dzScene->getNode(i)->getName() == name;
        return n;
    }

    static float highest(const DzFacetMesh *mesh)
    {
        float y = -1e30f;
        for (const DzVec3 &v : mesh->getVertices())
            y = std::max(y, v.y());
        return y;
    }

    /// One item painted near `at`: the terrain is random, so a spot the pointer misses (over
    /// the sky, too near another item) is tried again a little further in.
    void paintAt(QOpenGLWidget *gl, QPoint at, int expected)
    {
        const QString placed = QStringLiteral("added item # %1").arg(expected);
        for (int attempt = 0; attempt < 8 && statusLine() != placed; ++attempt) {
            const QPoint p = at + QPoint((attempt % 2 ? 25 : -25) * (attempt / 2), 15 * attempt);
            QTest::mouseClick(gl, Qt::LeftButton, {}, p);
        }
        EXPECT_EQ(statusLine(), placed);
    }

    static QJsonObject readJson(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
    }

    DzMainWindow *host = nullptr;
};

const QString terrain = QStringLiteral("my Terrain 1");

TEST_F(SceneCreation, PaintedPropsBecomeNodesUnderTheTexturedTerrainSeenThroughTheMainCamera)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    const QPoint middle(gl->width() / 2, gl->height() / 2);
    click(find<QPushButton>(QStringLiteral("glPaintButton")));
    // Three pines in a row, a cabin, one more pine (a new pick of the same prop: a new model).
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Trees"), QStringLiteral("pine.pp2")));
    paintAt(gl, middle, 1);
    paintAt(gl, middle + QPoint(-120, 0), 2);
    paintAt(gl, middle + QPoint(120, 0), 3);
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Buildings"), QStringLiteral("cabin.pp2")));
    paintAt(gl, middle + QPoint(0, -70), 4);
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Trees"), QStringLiteral("pine.pp2")));
    paintAt(gl, middle + QPoint(-200, -70), 5);

    openTab(2);
    ASSERT_NO_FATAL_FAILURE(choose("normalMapSizeComboBox", QStringLiteral("512")));
    ASSERT_NO_FATAL_FAILURE(choose("skyDomeMapSizeComboBox", QStringLiteral("4096")));
    // For other programs: a 16-bit heightmap of 1023 samples (every second one on a vertex), the
    // Unity files and the props as a list.
    ASSERT_NO_FATAL_FAILURE(choose("heightmapFormatComboBox", QStringLiteral("PNG 16-bit")));
    auto *samples = find<QSpinBox>(QStringLiteral("heightmapSizeSpinBox"));
    samples->setFocus();
    samples->selectAll();
    QTest::keyClicks(samples, QStringLiteral("1023"));
    QTest::keyClick(samples, Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(choose("engineComboBox", QStringLiteral("Unity")));
    click(find<QCheckBox>(QStringLiteral("instanceListCheckBox")));
    ASSERT_NO_FATAL_FAILURE(create());
    EXPECT_TRUE(shown.empty()) << shown.front().toStdString();
    EXPECT_TRUE(holdOn()->text().startsWith(QLatin1String("Studio scene created successfully.\nThe files created during "
                                                          "this process are located in:\n")))
        << holdOn()->text().toStdString();
    EXPECT_TRUE(holdOn()->text().endsWith(QLatin1String("/orovistaData/maps")));
    EXPECT_FALSE(find<QLabel>(QStringLiteral("createDAZHoldOnGifLabel"))->isVisible());
    EXPECT_EQ(statusLine(), QStringLiteral("Studio scene created: my Terrain 1")) << "the status line follows CREATE";

    // The files.
    EXPECT_EQ(QImageReader(maps("my Terrain 1.jpg")).size(), QSize(512, 512));
    EXPECT_EQ(QImageReader(maps("NormalMap_my Terrain 1.jpg")).size(), QSize(512, 512));
    EXPECT_EQ(QImageReader(maps("my Terrain 1_skyDome.jpg")).size(), QSize(4096, 4096));
    ASSERT_TRUE(QFile::exists(maps("my Terrain 1.obj")));
    EXPECT_EQ(QImageReader(maps("my Terrain 1_height.png")).size(), QSize(1023, 1023));
    EXPECT_TRUE(QFile::exists(maps("my Terrain 1_unity.raw")));
    EXPECT_EQ(readJson(maps("my Terrain 1_unity.json"))["size"].toInt(), 1025);
    const QJsonObject pictures = readJson(maps("my Terrain 1_texture.json"));
    EXPECT_GT(pictures["textureDeviation"].toDouble(), 0.0);
    EXPECT_LT(pictures["textureDeviation"].toDouble(), 0.01 * 15.0) << "under 1 % of the 15 m range";

    // The terrain: the whole mesh, its material with the texture and the normal map.
    QPointer<DzNode> ground = dzScene->findNode(terrain);
    ASSERT_NE(ground, nullptr);
    const DzFacetMesh *mesh = meshOf(ground);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNumVertices(), 512 * 512);
    EXPECT_EQ(mesh->getNumFacets(), 511 * 511);
    auto *material = qobject_cast<DzBrickMaterial *>(ground->getObject()->getCurrentShape()->getMaterial(0));
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->getLabel(), QStringLiteral("my Terrain 1 Default"));
    bool textured = false, normalMapped = false;
    for (int i = 0; i < material->getNumBricks(); ++i) {
        const DzShaderBrick *brick = material->getBrick(i);
        if (DzBrickParam *colour = brick->findParameterByArg(QStringLiteral("color")))
            if (auto *p = qobject_cast<DzColorProperty *>(colour->getProperty()); p && p->getMapValue())
                textured = p->getMapValue()->getFilename() == maps("my Terrain 1.jpg");
        if (DzBrickParam *normal = brick->findParameterByArg(QStringLiteral("normalmap")))
            if (auto *p = qobject_cast<DzImageProperty *>(normal->getProperty()); p && p->getValue())
                normalMapped = p->getValue()->getFilename() == maps("NormalMap_my Terrain 1.jpg");
    }
    EXPECT_TRUE(textured);
    EXPECT_TRUE(normalMapped);

    // The props under the terrain: the second and third pine are copies of the first, sharing its
    // mesh; the cabin and the last pine are loaded.
    ASSERT_EQ(ground->getNumNodeChildren(), 5);
    const DzNode *pine = ground->getNodeChild(0);
    const DzNode *copy2 = ground->getNodeChild(1);
    const DzNode *copy3 = ground->getNodeChild(2);
    ASSERT_NE(meshOf(pine), nullptr);
    EXPECT_EQ(meshOf(copy2), meshOf(pine));
    EXPECT_EQ(meshOf(copy3), meshOf(pine));
    EXPECT_EQ(copy2->getName(), QStringLiteral("pine__2"));
    EXPECT_EQ(copy2->getLabel(), QStringLiteral("pine_2"));
    EXPECT_EQ(copy3->getLabel(), QStringLiteral("pine_3"));
    EXPECT_GT(ground->getNodeChild(3)->getNumNodeChildren(), 0) << "the cabin's roof is a part of its own";
    EXPECT_NE(meshOf(ground->getNodeChild(4)), meshOf(pine)) << "loaded again after the cabin";
    // Where they were painted: on the ground, within the terrain (centimetres).
    for (int i = 0; i < 5; ++i) {
        const DzVec3 at = ground->getNodeChild(i)->getWSPos();
        EXPECT_LT(std::abs(at.x()), 5000.0f);
        EXPECT_LT(std::abs(at.z()), 5000.0f);
        EXPECT_GE(at.y(), -1.0f);
    }
    EXPECT_NE(copy2->getWSPos(), pine->getWSPos());
    // The same props in the instance list, in metres.
    const QJsonArray instances = readJson(maps("my Terrain 1_instances.json"))["instances"].toArray();
    ASSERT_EQ(instances.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const QJsonArray at = instances[i].toObject()["position"].toArray();
        const DzVec3 node = ground->getNodeChild(i)->getWSPos();
        EXPECT_NEAR(at[0].toDouble() * 100.0, node.x(), 0.01);
        EXPECT_NEAR(at[1].toDouble() * 100.0, node.y(), 0.01);
        EXPECT_NEAR(at[2].toDouble() * 100.0, node.z(), 0.01);
    }
    EXPECT_EQ(instances[3].toObject()["name"].toString(), QStringLiteral("cabin"));

    // Sky dome, five cameras, and the host's view through the main one.
    EXPECT_EQ(countNamed(QStringLiteral("skyDome")), 1);
    for (const char *suffix : {" Main Camera", " NW Camera", " NE Camera", " SE Camera", " SW Camera"})
        EXPECT_EQ(countNamed(terrain + QLatin1String(suffix)), 1) << suffix;
    auto *main = qobject_cast<DzCamera *>(dzScene->findNode(terrain + QStringLiteral(" Main Camera")));
    ASSERT_NE(main, nullptr);
    Dz3DViewport *view = host->getViewportMgr()->getActiveViewport()->get3DViewport();
    EXPECT_EQ(view->getCamera(), main);
    EXPECT_FLOAT_EQ(main->getFieldOfView(), 45.0f);
    EXPECT_FLOAT_EQ(main->getXRotControl()->getValue(), -20.0f) << "as the preview looks down";
    EXPECT_EQ(view->getShadeStyle(), Dz3DViewport::Texture) << "the bounding-box style is not ticked";

    // Saved for other programs: the copies instance one mesh; the sky texture made once.
    const QString saved = documents + QStringLiteral("/scene.glb");
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(dzScene, saved, &error)) << error.toStdString();
    tinygltf::Model model;
    tinygltf::TinyGLTF reader;
    std::string gltfError, gltfWarning;
    ASSERT_TRUE(reader.LoadBinaryFromFile(&model, &gltfError, &gltfWarning, saved.toStdString())) << gltfError;
    std::map<int, int> users;
    for (const tinygltf::Node &n : model.nodes)
        if (n.mesh >= 0)
            ++users[n.mesh];
    int pineMesh = -1;
    for (const tinygltf::Node &n : model.nodes)
        if (n.name == "pine_2")
            pineMesh = n.mesh;
    ASSERT_GE(pineMesh, 0);
    EXPECT_EQ(users[pineMesh], 3) << "the pine and its two copies";
    EXPECT_EQ(model.cameras.size(), 5u);
    // Lit by the sky's sun, and no dome in the file to shade the scene in other programs.
    ASSERT_EQ(model.lights.size(), 1u);
    EXPECT_EQ(model.lights[0].type, "directional");
    for (const tinygltf::Node &n : model.nodes)
        EXPECT_NE(n.name, "skyDome");
    EXPECT_TRUE(QFileInfo::exists(documents + QStringLiteral("/scene_sky.jpg")));
    const QDateTime skyMade = QFileInfo(maps("my Terrain 1_skyDome.jpg")).lastModified();

    // A hill sculpted in the middle, and the scene made again under the same name: the old
    // terrain and cameras go (after asking), the new terrain carries the hill.
    const float before = highest(mesh);
    const QVector<DzVec3> flat = mesh->getVertices();
    const QImage textureBefore(maps("my Terrain 1.jpg")), normalBefore(maps("NormalMap_my Terrain 1.jpg"));
    openTab(1);
    click(find<QPushButton>(QStringLiteral("glTerrainButton")));
    auto *strength = find<QSpinBox>(QStringLiteral("glBrushStrengthSpinBox"));
    strength->setFocus();
    strength->selectAll();
    QTest::keyClicks(strength, QStringLiteral("60"));
    QTest::keyClick(strength, Qt::Key_Return);
    dragTo(gl, middle, Qt::NoButton);
    QTest::mousePress(gl, Qt::LeftButton, {}, middle);
    for (int i = 0; i < 12; ++i)
        dragTo(gl, middle + QPoint(i % 2, 0));
    QTest::mouseRelease(gl, Qt::LeftButton, {}, middle);

    answers.push_back({QStringLiteral("Yes"), {}});   // overwrite the files
    answers.push_back({QStringLiteral("Yes"), {}});   // delete the old terrain node
    shown.clear();
    ASSERT_NO_FATAL_FAILURE(create());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], QStringLiteral("Warning: There are already some files with this name: overwrite?"));
    EXPECT_TRUE(shown[1].startsWith(QLatin1String("Warning: There is already a node named like this, delete it?")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(ground.isNull()) << "the old terrain node is gone";
    EXPECT_EQ(countNamed(terrain), 1);
    for (const char *suffix : {" Main Camera", " NW Camera", " NE Camera", " SE Camera", " SW Camera"})
        EXPECT_EQ(countNamed(terrain + QLatin1String(suffix)), 1) << suffix;
    EXPECT_EQ(countNamed(QStringLiteral("skyDome")), 1) << "one dome per scene";
    EXPECT_EQ(QFileInfo(maps("my Terrain 1_skyDome.jpg")).lastModified(), skyMade) << "and no new sky texture";
    const DzFacetMesh *sculpted = meshOf(dzScene->findNode(terrain));
    ASSERT_NE(sculpted, nullptr);
    EXPECT_GT(highest(sculpted), before + 50.0f) << "the hill is in the created terrain";

    // The hill is in the pictures and the heightmap too: at its top the heightmap stands on the
    // mesh, and the texture and normal map changed there but not in the far corner.
    const QVector<DzVec3> hill = sculpted->getVertices();
    ASSERT_EQ(hill.size(), flat.size());
    qsizetype top = 0;
    for (qsizetype i = 0; i < hill.size(); ++i)
        if (hill[i].y() - flat[i].y() > hill[top].y() - flat[top].y())
            top = i;
    const int row = int(top / 512), column = int(top % 512);
    const QImage heightmap(maps("my Terrain 1_height.png"));
    const QJsonObject scale = readJson(maps("my Terrain 1_height.json"));
    const double low = scale["metresAt0"].toDouble(), high = scale["metresAt65535"].toDouble();
    const double metres = low + heightmap.pixelColor(2 * column, 2 * row).rgba64().red() / 65535.0 * (high - low);
    EXPECT_NEAR(metres, hill[top].y() / 100.0, (high - low) / 65535.0 + 0.01);
    auto change = [&](const QImage &was, const QImage &now, int x0, int y0) {
        double sum = 0.0;
        for (int y = std::max(0, y0 - 15); y <= std::min(511, y0 + 15); ++y)
            for (int x = std::max(0, x0 - 15); x <= std::min(511, x0 + 15); ++x) {
                const QColor a = was.pixelColor(x, y), b = now.pixelColor(x, y);
                sum += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
            }
        return sum;
    };
    const QImage textureAfter(maps("my Terrain 1.jpg")), normalAfter(maps("NormalMap_my Terrain 1.jpg"));
    // (The normal map's bumps are scaled by the height range, which the hill widens: it changes
    // a little everywhere, most on the hill's flanks.)
    const int farX = column < 256 ? 496 : 15, farY = row < 256 ? 496 : 15;
    EXPECT_GT(change(textureBefore, textureAfter, column, row), 10.0 * change(textureBefore, textureAfter, farX, farY) + 500.0);
    EXPECT_GT(change(normalBefore, normalAfter, column, row), 3.0 * change(normalBefore, normalAfter, farX, farY) + 500.0);
    EXPECT_EQ(dzScene->findNode(terrain)->getNumNodeChildren(), 5);
}

TEST_F(SceneCreation, ACreateThatCannotMakeOneFileLeavesTheEarlierScenesFilesAsTheyWere)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    openTab(2);
    ASSERT_NO_FATAL_FAILURE(choose("normalMapSizeComboBox", QStringLiteral("512")));
    ASSERT_NO_FATAL_FAILURE(choose("skyDomeMapSizeComboBox", QStringLiteral("4096")));
    ASSERT_NO_FATAL_FAILURE(create());
    ASSERT_TRUE(shown.empty()) << shown.front().toStdString();
    const QString obj = maps("my Terrain 1.obj"), colour = maps("my Terrain 1.jpg"),
                  sky = maps("my Terrain 1_skyDome.jpg"), normal = maps("NormalMap_my Terrain 1.jpg");
    const QByteArray objBefore = digest(obj), colourBefore = digest(colour), skyBefore = digest(sky);
    ASSERT_FALSE(objBefore.isEmpty());
    ASSERT_FALSE(colourBefore.isEmpty());
    ASSERT_FALSE(skyBefore.isEmpty());

    // Another terrain, the dome deleted in the host (so that CREATE makes a sky texture again),
    // and a folder where the normal map goes: the renames of the scene's files would stop there.
    openTab(0);
    ASSERT_NO_FATAL_FAILURE(chooseInput1Type(QStringLiteral("Billow")));
    click(find<QPushButton>(QStringLiteral("terraformButton")));
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    dzScene->removeNode(dzScene->findNode(QStringLiteral("skyDome")));
    ASSERT_TRUE(QFile::remove(normal));
    ASSERT_TRUE(QDir().mkpath(normal + QStringLiteral("/kept")));

    answers.push_back({QStringLiteral("Yes"), {}});   // overwrite the files
    answers.push_back({QStringLiteral("Yes"), {}});   // delete the old terrain node
    answers.push_back({QStringLiteral("OK"), {}});    // the scene is incomplete
    shown.clear();
    ASSERT_NO_FATAL_FAILURE(create());
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_TRUE(shown[2].startsWith(QLatin1String("Warning: The scene is incomplete:\n"))) << shown[2].toStdString();
    EXPECT_TRUE(shown[2].contains(normal)) << shown[2].toStdString();
    EXPECT_TRUE(holdOn()->text().startsWith(QLatin1String("The scene is incomplete:"))) << holdOn()->text().toStdString();
    EXPECT_EQ(digest(obj), objBefore);
    EXPECT_EQ(digest(colour), colourBefore);
    EXPECT_EQ(digest(sky), skyBefore);
    EXPECT_TRUE(QFileInfo(normal + QStringLiteral("/kept")).isDir());
    EXPECT_EQ(QDir(maps("")).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden), QStringList())
        << "no temporary file is left behind";
    EXPECT_EQ(countNamed(terrain), 0) << "no terrain was imported from the earlier scene's OBJ";
    ASSERT_FALSE(HasFailure()) << "the rest asks the questions of a scene without a terrain node";

    // With the folder gone the same CREATE replaces every file.
    ASSERT_TRUE(QDir(normal).removeRecursively());
    answers.push_back({QStringLiteral("Yes"), {}});
    shown.clear();
    ASSERT_NO_FATAL_FAILURE(create());
    ASSERT_EQ(shown.size(), 1u) << shown.back().toStdString();
    EXPECT_TRUE(holdOn()->text().startsWith(QLatin1String("Studio scene created successfully."))) << holdOn()->text().toStdString();
    EXPECT_NE(digest(obj), objBefore);
    EXPECT_NE(digest(colour), colourBefore);
    EXPECT_EQ(QImageReader(normal).size(), QSize(512, 512));
    EXPECT_EQ(countNamed(terrain), 1);
    EXPECT_EQ(countNamed(QStringLiteral("skyDome")), 1);

    // The terrain made again without a sky takes the earlier run's dome away with it.
    ASSERT_NO_FATAL_FAILURE(choose("skyDomeMapSizeComboBox", QStringLiteral("no thanks")));
    answers.push_back({QStringLiteral("Yes"), {}});   // overwrite the files
    answers.push_back({QStringLiteral("Yes"), {}});   // delete the old terrain node
    ASSERT_NO_FATAL_FAILURE(create());
    EXPECT_EQ(countNamed(terrain), 1);
    EXPECT_EQ(countNamed(QStringLiteral("skyDome")), 0) << "no dome of an earlier run is left";
}

TEST_F(SceneCreation, AnEmptyNameIsRefusedAndNoThanksMakesNoDome)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    openTab(2);
    auto *name = find<QLineEdit>(QStringLiteral("createDAZTerrainNameLineEdit"));
    name->setFocus();
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace);
    answers.push_back({QStringLiteral("OK"), {}});
    ASSERT_NO_FATAL_FAILURE(create());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], QStringLiteral("Error: Please enter a terrain group name"));
    EXPECT_EQ(dzScene->getNumNodes(), 0);
    EXPECT_EQ(holdOn()->text(), QString());

    QTest::keyClicks(name, QStringLiteral("plain"));
    ASSERT_NO_FATAL_FAILURE(create());
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_NE(dzScene->findNode(QStringLiteral("plain")), nullptr);
    EXPECT_EQ(dzScene->findNode(QStringLiteral("skyDome")), nullptr);
    EXPECT_FALSE(QFile::exists(maps("plain_skyDome.jpg")));
    EXPECT_FALSE(QFile::exists(maps("NormalMap_plain.jpg")));
    EXPECT_EQ(dzScene->getNumNodes(), 7) << "the terrain, five cameras and the sun";
    EXPECT_NE(dzScene->findNode(QStringLiteral("plain Sun")), nullptr);
}

}   // namespace
