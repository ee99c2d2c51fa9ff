// Painted items in the preview: drawn from their records, the selected one last and in red, as
// boxes while the camera moves, not at all in sky mode; reset view frames the selected item.
#include "pluginfixture.h"

#include "graph/nodesettings.h"
#include "library/glmdraw.h"
#include "scene/terrainobj.h"
#include "terrain/terrainlookup.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QOpenGLContext>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

using namespace orovista;

class ItemsDrawn : public PluginFixture {
protected:
    void SetUp() override
    {
        PluginFixture::SetUp();
        openWindowWithInputs(NoiseType::Perlin, NoiseType(readNodeSettings().input[1].type));
        action->generatePreviewTerrain();
        gl = state().ui.glTerrain;
        ASSERT_NE(gl, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(gl->window()));
        gl->grabFramebuffer();
        // A white cube of 4 model units (about 10 scene units at 100 %) as the prop model.
        gl->makeCurrent();
        const GLuint list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        glBegin(GL_QUADS);
        const float h = 2.0f;
        const float faces[6][4][3] = {
            {{-h, -h, h}, {h, -h, h}, {h, h, h}, {-h, h, h}},      {{-h, -h, -h}, {-h, h, -h}, {h, h, -h}, {h, -h, -h}},
            {{-h, h, -h}, {-h, h, h}, {h, h, h}, {h, h, -h}},      {{-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h}},
            {{h, -h, -h}, {h, h, -h}, {h, h, h}, {h, -h, h}},      {{-h, -h, -h}, {-h, -h, h}, {-h, h, h}, {-h, h, -h}}};
        const float normals[6][3] = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}};
        for (int f = 0; f < 6; ++f) {
            glNormal3fv(normals[f]);
            for (const auto &v : faces[f])
                glVertex3fv(v);
        }
        glEnd();
        glEndList();
        gl->modelLists = {list};
        gl->doneCurrent();
    }

    void TearDown() override
    {
        state().items.clear();
        PluginFixture::TearDown();
    }

    /// An item of the cube model at (x, terrain height + 5, z), tinted blue.
    static PaintedItem cubeAt(float x, float z)
    {
        PaintedItem item;
        item.id = int(state().items.size());
        item.x = x;
        item.z = z;
        item.y = 20.0f;
        item.modelSlot = 0;
        item.red = 0.1f, item.green = 0.2f, item.blue = 1.0f;
        item.minX = item.minY = item.minZ = -2.0f;
        item.maxX = item.maxY = item.maxZ = 2.0f;
        item.triangles = 12;
        return item;
    }

    /// Two frames: the camera of one frame shows in the next.
    QImage look() const
    {
        gl->grabFramebuffer();
        return gl->grabFramebuffer();
    }

    /// Pixels that pass the test, leaving out the axis gizmo in the lower left corner.
    static int count(const QImage &frame, const std::function<bool(QColor)> &test)
    {
        int n = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                n += (x > 120 || y < frame.height() - 120) && test(frame.pixelColor(x, y));
        return n;
    }
    static bool reddish(QColor c) { return c.red() > 2 * c.green() + 20 && c.red() > 2 * c.blue() + 20; }
    static bool bluish(QColor c) { return c.blue() > 2 * c.red() + 20 && c.blue() > c.green() + 20; }

    GLTerrain *gl = nullptr;
};

TEST_F(ItemsDrawn, TheSelectedItemIsRedAndOnTopTheOthersInTheirTint)
{
    const QImage bare = look();
    EXPECT_EQ(count(bare, bluish), 0);
    state().items = {cubeAt(-20.0f, 0.0f), cubeAt(20.0f, 0.0f)};
    const QImage two = look();
    const int blue = count(two, bluish);
    EXPECT_GT(blue, 400) << "both cubes in their tint";
    EXPECT_EQ(count(two, reddish), 0);

    gl->setSelectedItem(1);
    const QImage selected = look();
    EXPECT_GT(count(selected, reddish), blue / 4) << "the first cube in red";
    EXPECT_LT(count(selected, bluish), blue * 3 / 4) << "the second still blue";

    // The selection is by number, whatever the item's place in the array.
    gl->setSelectedItem(2);
    const QImage second = look();
    EXPECT_NEAR(count(second, reddish), count(selected, reddish), 50);
    EXPECT_NE(second, selected);

    // Sky mode draws neither the terrain nor the items.
    gl->setMode(SkyMode);
    const QImage sky = look();
    EXPECT_EQ(count(sky, reddish), 0);
    state().items.clear();
    EXPECT_EQ(look(), sky) << "the same sky without the items";
}

TEST_F(ItemsDrawn, WhileMovingWithBoxesOnItemsAreTranslucentBoxes)
{
    state().items = {cubeAt(0.0f, 0.0f)};
    const QImage solid = look();
    gl->switchBoundingAll();
    QPoint middle(gl->width() / 2, gl->height() / 2);
    QWheelEvent notch(middle, gl->mapToGlobal(middle), QPoint(), QPoint(0, 1), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(gl, &notch);
    ASSERT_TRUE(gl->lowDetailNavigation);
    const QImage boxed = look();
    // The box is see-through: fewer pure-tint pixels than the lit solid cube, and the terrain
    // shows through it.
    EXPECT_GT(count(boxed, bluish), 0);
    EXPECT_NE(boxed, solid);
}

TEST_F(ItemsDrawn, ResetViewFramesTheSelectedItem)
{
    PaintedItem far = cubeAt(40.0f, -40.0f);
    state().items = {cubeAt(0.0f, 0.0f), far};
    gl->setSelectedItem(2);
    QTest::mouseClick(find<QPushButton>("resetView"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(gl->camera.x, 40.0);
    EXPECT_DOUBLE_EQ(gl->camera.y, 20.0 + 1.5 * 4.0);
    EXPECT_DOUBLE_EQ(gl->camera.z, -40.0 + 6.0 * 4.0);
    EXPECT_EQ(gl->camera.pitch, 20.0f);
    gl->setSelectedItem(-1);
    QTest::mouseClick(find<QPushButton>("resetView"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(gl->camera.z, 2.0 * state().terrainSize);
    EXPECT_DOUBLE_EQ(gl->camera.x, 0.0);
}

/// Where a world point shows in the preview, in widget pixels, with the camera the preview draws.
QPoint onScreen(GLTerrain *gl, float x, float y, float z)
{
    gl->updateGL();
    gl->makeCurrent();
    GLdouble modelView[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(x, y, z, modelView, projection, viewport, &wx, &wy, &wz);
    gl->doneCurrent();
    return QPoint(int(wx), int(viewport[3] - wy));
}

float groundHeight(float x, float z)
{
    return terrainLookup(state().fullMesh, state().terrainSize, x, 0.0, z).height;
}

TEST_F(ItemsDrawn, AClickInEditModePicksTheNearestItemAndFillsTheControls)
{
    PaintedItem back = cubeAt(0.0f, -10.0f), front = cubeAt(0.0f, 10.0f);
    back.xRot = 7, back.yRot = 33, back.zRot = -5, back.scaleX = 150.5f, back.y = 24.7f;
    front.yRot = 90;
    state().items = {back, front, cubeAt(-40.0f, 30.0f)};
    QTest::mouseClick(find<QPushButton>("glEditButton"), Qt::LeftButton);
    ASSERT_EQ(gl->mode(), EditMode);
    look();

    // The two cubes overlap on screen; the click on both picks the one nearer the eye.
    const QPoint both = onScreen(gl, 0.0f, 20.0f, 10.0f);
    QTest::mouseClick(gl, Qt::LeftButton, {}, both);
    EXPECT_EQ(gl->selectedItem(), 2);
    EXPECT_EQ(state().ui.statusLine->text(), "picked object #2");
    EXPECT_TRUE(state().ui.editTransformFrame->isVisible());
    EXPECT_EQ(find<QSpinBox>("glYRotCurrentSpinBox")->value(), 90);

    // The back cube's top shows above the front one.
    const QPoint backTop = onScreen(gl, 0.0f, 20.0f + 2.3f * 2.0f, -10.0f);
    QTest::mouseClick(gl, Qt::LeftButton, {}, backTop);
    EXPECT_EQ(gl->selectedItem(), 1);
    EXPECT_EQ(find<QSpinBox>("glXRotCurrentSpinBox")->value(), 7);
    EXPECT_EQ(find<QSpinBox>("glYRotCurrentSpinBox")->value(), 33);
    EXPECT_EQ(find<QSpinBox>("glZRotCurrentSpinBox")->value(), -5);
    EXPECT_EQ(find<QSpinBox>("glscaleCurrentXSpinBox")->value(), 150);
    EXPECT_EQ(find<QSpinBox>("glYOffsetSpinBox")->value(), 24);
    EXPECT_FLOAT_EQ(state().items[0].y, 24.7f) << "showing the values changes nothing";

    // A click on bare terrain deselects.
    QTest::mouseClick(gl, Qt::LeftButton, {}, onScreen(gl, 30.0f, 5.0f, -30.0f));
    EXPECT_EQ(gl->selectedItem(), -1);
    EXPECT_EQ(state().ui.statusLine->text(), "");
    EXPECT_FALSE(state().ui.editTransformFrame->isVisible());

    // In terrain mode a click on an item selects nothing.
    gl->setSelectedItem(2);
    QTest::mouseClick(find<QPushButton>("glTerrainButton"), Qt::LeftButton);
    QTest::mouseClick(gl, Qt::LeftButton, {}, both);
    EXPECT_EQ(gl->selectedItem(), -1);
}

TEST_F(ItemsDrawn, DraggingTheSelectedItemSeatsItOnTheTerrain)
{
    PaintedItem item = cubeAt(0.0f, 0.0f);
    item.xRot = 30, item.yRot = 45, item.zRot = 30;
    state().items = {item};
    QTest::mouseClick(find<QPushButton>("glEditButton"), Qt::LeftButton);
    look();
    const QPoint start = onScreen(gl, 0.0f, 20.0f, 0.0f);
    QTest::mousePress(gl, Qt::LeftButton, {}, start);
    ASSERT_EQ(gl->selectedItem(), 1);
    const QPoint to = onScreen(gl, 25.0f, groundHeight(25.0f, 25.0f), 25.0f);
    for (int i = 1; i <= 4; ++i) {
        const QPoint p = start + (to - start) * i / 4;
        QMouseEvent move(QEvent::MouseMove, p, gl->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(gl, &move);
    }
    QTest::mouseRelease(gl, Qt::LeftButton, {}, to);
    const PaintedItem &moved = state().items[0];
    EXPECT_GT(moved.x, 10.0f);
    EXPECT_GT(moved.z, 10.0f);
    // With the perpendicular/normal slider at 0 the item stands upright on the ground under it.
    EXPECT_EQ(moved.xRot, 0);
    EXPECT_EQ(moved.zRot, 0);
    EXPECT_EQ(moved.yRot, 45);
    const TerrainHit ground = terrainLookup(state().fullMesh, state().terrainSize, moved.x, moved.y, moved.z);
    ASSERT_TRUE(ground.overTerrain);
    EXPECT_NEAR(moved.y, ground.height, 1e-3);
    EXPECT_EQ(find<QSpinBox>("glYOffsetSpinBox")->value(), int(moved.y));
}

TEST_F(ItemsDrawn, SculptingChangesTheMeshTheSceneIsMadeFrom)
{
    const std::vector<float> before = state().fullMesh.vertices;
    const std::vector<float> coarseBefore = state().decimatedMesh.vertices;
    const QPoint centre = onScreen(gl, 0.0f, groundHeight(0.0f, 0.0f), 0.0f);
    ASSERT_EQ(gl->mode(), TerrainMode);
    QTest::mouseClick(gl, Qt::LeftButton, {}, centre);
    const TerrainArrays &mesh = state().fullMesh;
    int raised = 0, lowered = 0;
    for (std::size_t i = 1; i < before.size(); i += 3) {
        raised += mesh.vertices[i] > before[i];
        lowered += mesh.vertices[i] < before[i];
    }
    EXPECT_GT(raised, 100);
    EXPECT_EQ(lowered, 0);
    EXPECT_NE(state().decimatedMesh.vertices, coarseBefore) << "the coarse mesh follows";
    EXPECT_EQ(state().decimatedMesh.vertices[(64 * 128 + 64) * 3 + 1], mesh.vertices[(256 * 512 + 256) * 3 + 1]);

    // The terrain file the scene is made from carries the hill: its vertex lines are the
    // sculpted vertices.
    QTemporaryDir dir;
    const QString path = dir.filePath("sculpted.obj");
    ASSERT_TRUE(writeTerrainObj(mesh, path));
    QFile obj(path);
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly | QIODevice::Text));
    std::size_t highest = 0;
    float highestRise = 0.0f;
    for (std::size_t i = 1; i < before.size(); i += 3)
        if (mesh.vertices[i] - before[i] > highestRise)
            highestRise = mesh.vertices[i] - before[i], highest = i / 3;
    QByteArray line;
    for (std::size_t v = 0; v <= highest; ++v)
        line = obj.readLine();
    const QList<QByteArray> fields = line.trimmed().split(' ');
    ASSERT_EQ(fields.size(), 4);
    EXPECT_NEAR(fields[2].toFloat(), mesh.vertices[highest * 3 + 1], 1e-3);
    EXPECT_GT(fields[2].toFloat(), before[highest * 3 + 1] + highestRise / 2);
}

TEST_F(ItemsDrawn, AnObjPropCompiledIntoItsSlotDrawsForItsItems)
{
    // The sample cabin: two OBJ files in one list, in a slot past the table's end (it grows).
    const QString geometries = QStringLiteral(OROVISTA_SOURCE_DIR "/data/content/Runtime/Geometries/buildings/");
    const PropModel cabin = compilePropModel(gl, 300, {geometries + "cabin_walls.obj", geometries + "cabin_roof.obj"});
    ASSERT_TRUE(cabin.compiled);
    ASSERT_EQ(gl->modelLists.size(), 301u);
    EXPECT_NE(gl->modelLists[300], 0u);
    EXPECT_GT(cabin.triangles, 1000);
    EXPECT_GT(cabin.bounds[4], cabin.bounds[1]) << "the roof's bounds, the last file read";

    PaintedItem item = cubeAt(0.0f, 0.0f);
    item.modelSlot = 300;
    item.scale = 400.0f;
    state().items = {item};
    EXPECT_GT(count(look(), bluish), 400) << "the cabin in its tint";

    // A prop with a file that cannot be read gets no list, and the slot before it keeps its own.
    std::vector<QString> told;
    dialogs::setResponder([&](const dialogs::Request &r) {
        told.push_back(r.title + QStringLiteral(": ") + r.text);
        return QString::number(int(QMessageBox::Ok));
    });
    const PropModel broken = compilePropModel(gl, 301, {geometries + "cabin_walls.obj", geometries + "gone.obj"});
    dialogs::setResponder({});
    EXPECT_FALSE(broken.compiled);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], QStringLiteral("Error: Error loading file: ") + geometries + QStringLiteral("gone.obj"));
    EXPECT_EQ(gl->modelLists.size(), 301u);
    EXPECT_GT(count(look(), bluish), 400);
}

TEST_F(ItemsDrawn, DrawingDropsTheModesAModelCannotServeWithAWarning)
{
    const std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl bark\nf 1 2 3\n";
    testing::internal::CaptureStdout();
    auto model = glmReadOBJFromBytes(text.data(), text.size(), QStringLiteral("tri.obj"));
    ASSERT_TRUE(model);
    gl->makeCurrent();
    glmDraw(model.get(), GLM_SMOOTH | GLM_TEXTURE | GLM_COLOR | GLM_MATERIAL);
    glmDraw(model.get(), GLM_FLAT);
    gl->doneCurrent();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "glmFindMaterial():  can't find material \"bark\".\n"
              "glmDraw() warning: smooth render mode requested with no normals defined.\n"
              "glmDraw() warning: texture render mode requested with no texture coordinates defined.\n"
              "glmDraw() warning: color render mode requested with no materials defined.\n"
              "glmDraw() warning: material render mode requested with no materials defined.\n"
              "glmDraw() warning: flat render mode requested with no facet normals defined.\n");
}

}   // namespace
