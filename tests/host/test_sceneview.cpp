// The studio's 3D view: what it draws of the scene through the scene's cameras and its own,
// in the shade styles, as the scene changes; and File > Save Scene.
#include "dzapp.h"
#include "dzcamera.h"
#include "dzgltfexporter.h"
#include "dzimagemgr.h"
#include "dzlight.h"
#include "dzmainwindow.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include "sceneview.h"
#include "studiooptions.h"
#include "studiowindow.h"
#include <QAction>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QtMath>
#include <cmath>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <cmath>
#include <memory>

namespace {

// --- Building scenes ----------------------------------------------------------------------

// A square facing +Z, centred on the origin, with texture coordinates 0 … 1 across it.
DzFacetMesh *squareMesh(float half)
{
    auto *mesh = new DzFacetMesh;
    mesh->addVertex({-half, -half, 0});
    mesh->addVertex({half, -half, 0});
    mesh->addVertex({half, half, 0});
    mesh->addVertex({-half, half, 0});
    mesh->addUVPoint({0, 0});
    mesh->addUVPoint({1, 0});
    mesh->addUVPoint({1, 1});
    mesh->addUVPoint({0, 1});
    DzFacet f;
    for (int k = 0; k < 4; ++k)
        f.m_vertIdx[k] = f.m_uvwIdx[k] = k;
    EXPECT_TRUE(mesh->addFacet(f));
    return mesh;
}

// A unit hemisphere over the XZ plane (y up), open at the bottom.
DzFacetMesh *hemisphereMesh()
{
    auto *mesh = new DzFacetMesh;
    const int rings = 8, segments = 24;
    for (int j = 0; j <= rings; ++j)
        for (int i = 0; i <= segments; ++i) {
            const double up = M_PI / 2 * j / rings, round = 2 * M_PI * i / segments;
            mesh->addVertex({float(std::cos(up) * std::cos(round)), float(std::sin(up)), float(std::cos(up) * std::sin(round))});
            mesh->addUVPoint({double(i) / segments, double(j) / rings});
        }
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < segments; ++i) {
            DzFacet f;
            const int a = j * (segments + 1) + i;
            const int corners[4] = {a, a + 1, a + segments + 2, a + segments + 1};
            for (int k = 0; k < 4; ++k)
                f.m_vertIdx[k] = f.m_uvwIdx[k] = corners[k];
            EXPECT_TRUE(mesh->addFacet(f));
        }
    return mesh;
}

DzNode *meshNode(const QString &name, DzFacetMesh *mesh, DzMaterial *material, const QVector3D &pos = {})
{
    auto *shape = new DzFacetShape;
    shape->setFacetMesh(mesh);
    shape->addMaterial(material);
    auto *object = new DzObject;
    object->addShape(shape);
    auto *node = new DzNode;
    node->setName(name);
    node->setLabel(name);
    node->setObject(object);
    node->getXPosControl()->setValue(pos.x());
    node->getYPosControl()->setValue(pos.y());
    node->getZPosControl()->setValue(pos.z());
    return node;
}

// A brick material whose colour image brick holds the map (as the terrain's material does).
DzBrickMaterial *brickMaterial(DzTexture *map)
{
    auto *material = new DzBrickMaterial;
    auto *root = new DzSimpleSurfaceBrick;
    auto *image = new DzImageBrick;
    auto *normal = new DzNormalMapBrick;
    material->addBrick(root);
    material->addBrick(image);
    material->addBrick(normal);
    image->findParameterByArg(QStringLiteral("outColor"))->addConnection(root->findParameterByArg(QStringLiteral("c_in")));
    auto *color = qobject_cast<DzColorProperty *>(image->findParameterByArg(QStringLiteral("color"))->getProperty());
    EXPECT_NE(color, nullptr);
    if (color)
        color->setMap(map);
    EXPECT_TRUE(material->update());
    return material;
}

DzDefaultMaterial *plainMaterial(const QColor &color)
{
    auto *material = new DzDefaultMaterial;
    material->setDiffuseColor(color);
    return material;
}

DzBasicCamera *camera(const QString &name, const QVector3D &pos)
{
    auto *c = new DzBasicCamera;
    c->setName(name);
    c->setLabel(name);
    c->setFieldOfView(30.0f);
    c->getXPosControl()->setValue(pos.x());
    c->getYPosControl()->setValue(pos.y());
    c->getZPosControl()->setValue(pos.z());
    return c;
}

// A picture in four quarters: red top left, green top right, blue bottom left, yellow bottom
// right.
bool writeQuarters(const QString &path, bool swapped = false)
{
    QImage image(256, 256, QImage::Format_RGB32);
    const QColor red(220, 30, 30), green(30, 200, 30), blue(30, 30, 220), yellow(220, 220, 30);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            QColor c = y < 128 ? (x < 128 ? red : green) : (x < 128 ? blue : yellow);
            if (swapped)   // the same picture turned half round
                c = y < 128 ? (x < 128 ? yellow : blue) : (x < 128 ? green : red);
            image.setPixelColor(x, y, c);
        }
    return image.save(path, "JPG", 95);
}

// --- Reading pictures ---------------------------------------------------------------------

// The colour at a point given in half-heights from the middle of the picture (x to the right,
// y up), averaged over 3 × 3 pixels.
QColor colorAt(const QImage &image, double x, double y)
{
    const double half = image.height() * 0.5;
    const int cx = int(image.width() * 0.5 + x * half), cy = int(image.height() * 0.5 - y * half);
    int r = 0, g = 0, b = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = image.pixelColor(std::clamp(cx + dx, 0, image.width() - 1),
                                              std::clamp(cy + dy, 0, image.height() - 1));
            r += c.red();
            g += c.green();
            b += c.blue();
        }
    return QColor(r / 9, g / 9, b / 9);
}

// Names the colour roughly: "grey", "red", "green", "blue", "yellow", "magenta", "cyan",
// "orange" or "other". Lighting darkens colours; their balance stays.
std::string kind(const QColor &c)
{
    const int r = c.red(), g = c.green(), b = c.blue();
    const int hi = std::max({r, g, b}), lo = std::min({r, g, b});
    if (hi - lo < 20)
        return "grey";
    auto big = [&](int v) { return v > lo + (hi - lo) * 0.6; };
    const bool R = big(r), G = big(g), B = big(b);
    if (R && G && !B)
        return std::abs(r - g) < (hi - lo) * 0.3 ? "yellow" : r > g ? "orange" : "other";
    if (R && !G && B)
        return "magenta";
    if (!R && G && B)
        return "cyan";
    if (R && !G && !B)
        return g > lo + (hi - lo) * 0.25 ? "orange" : "red";
    if (G && !R && !B)
        return "green";
    if (B && !R && !G)
        return "blue";
    return "other";
}

bool isBackground(const QColor &c)
{
    const QColor bg = SceneView::backgroundColor();
    return std::abs(c.red() - bg.red()) <= 2 && std::abs(c.green() - bg.green()) <= 2 && std::abs(c.blue() - bg.blue()) <= 2;
}

int countNonBackground(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            n += isBackground(image.pixelColor(x, y)) ? 0 : 1;
    return n;
}

// Whether some point of the picture's middle band shows a colour of that kind.
bool shows(const QImage &image, const std::string &what)
{
    const double halfWidth = double(image.width()) / image.height();
    for (double x = -halfWidth + 0.02; x <= halfWidth - 0.02; x += 0.02)
        for (double y = -0.9; y <= 0.9; y += 0.03)
            if (kind(colorAt(image, x, y)) == what)
                return true;
    return false;
}

QAction *findAction(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text || QString(a->text()).remove(QLatin1Char('&')) == QString(text).remove(QLatin1Char('&')))
            return a;
    return nullptr;
}

QStringList actionTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            texts.append(a->text());
    return texts;
}

// --- The fixture: a textured square in front of a camera, a green square beside it -----------

class SceneViewTest : public ::testing::Test {
protected:
    DzApp app;
    QTemporaryDir dir;
    QString texturePath;
    DzNode *textured = nullptr;
    DzNode *side = nullptr;
    DzBasicCamera *front = nullptr, *sideCamera = nullptr;
    std::unique_ptr<StudioWindow> window;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        texturePath = dir.filePath(QStringLiteral("quarters.jpg"));
        ASSERT_TRUE(writeQuarters(texturePath));
        DzTexture *map = app.getImageMgr()->getImage(texturePath);
        ASSERT_TRUE(map && map->isValid());

        // The view sees the 200 cm square from 6 m away at 30°: it fills 62 % of the height.
        textured = meshNode(QStringLiteral("terrain"), squareMesh(100), brickMaterial(map));
        side = meshNode(QStringLiteral("side"), squareMesh(100), plainMaterial(QColor(40, 200, 40)), {5000, 0, 0});
        front = camera(QStringLiteral("Front Camera"), {0, 0, 600});
        sideCamera = camera(QStringLiteral("Side Camera"), {5000, 0, 600});
        for (DzNode *n : {static_cast<DzNode *>(textured), side, static_cast<DzNode *>(front), static_cast<DzNode *>(sideCamera)})
            ASSERT_TRUE(dzScene->addNode(n));

        window = std::make_unique<StudioWindow>();
        app.setInterface(window.get());
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        view()->setCamera(front);   // as the plug-in does once the scene is built
    }

    void TearDown() override
    {
        StudioWindow::saveFileNameHook = nullptr;
        StudioWindow::warningHook = nullptr;
        app.setInterface(nullptr);
        window.reset();
    }

    Dz3DViewport *view() const { return window->getViewportMgr()->getActiveViewport()->get3DViewport(); }
    QImage grab() const { return window->sceneView()->grabFramebuffer(); }
};

} // namespace

TEST_F(SceneViewTest, TheViewIsInstalledInTheViewportAndDrawsWithGL)
{
    SceneView *sv = window->sceneView();
    ASSERT_NE(sv, nullptr);
    EXPECT_EQ(view()->getRenderWidget(), sv);
    EXPECT_EQ(sv->parentWidget(), view());
    EXPECT_TRUE(sv->isVisible());
    const QImage picture = grab();
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(picture.width(), 300);
    ASSERT_NE(sv->context(), nullptr);
    EXPECT_TRUE(sv->context()->isValid());
}

TEST_F(SceneViewTest, LooksThroughTheCameraAtTheTexturedMeshTheRightWayUp)
{
    const QImage picture = grab();
    // Each quarter of the picture where it belongs (v = 0 at the bottom of the image).
    EXPECT_EQ(kind(colorAt(picture, -0.2, 0.2)), "red");
    EXPECT_EQ(kind(colorAt(picture, 0.2, 0.2)), "green");
    EXPECT_EQ(kind(colorAt(picture, -0.2, -0.2)), "blue");
    EXPECT_EQ(kind(colorAt(picture, 0.2, -0.2)), "yellow");
    // Lit, not black.
    EXPECT_GT(colorAt(picture, -0.2, 0.2).red(), 90);
    // Outside the square: the neutral grey background (the square ends at 0.62 half-heights).
    EXPECT_TRUE(isBackground(colorAt(picture, 0.0, 0.8))) << colorAt(picture, 0.0, 0.8).name().toStdString();
    EXPECT_TRUE(isBackground(colorAt(picture, 0.0, -0.8)));
    EXPECT_FALSE(isBackground(colorAt(picture, 0.0, 0.55)));
    EXPECT_EQ(window->sceneView()->textureCount(), 1);

    // The field of view is the camera's: widening it makes the square smaller.
    front->setFieldOfView(60.0f);
    EXPECT_TRUE(isBackground(colorAt(grab(), 0.0, 0.55)));
    front->setFieldOfView(30.0f);

    // Moving the camera moves the picture: from 3 m up the square is out of sight.
    front->getYPosControl()->setValue(300.0f);
    EXPECT_EQ(countNonBackground(grab()), 0);
    front->getYPosControl()->setValue(0.0f);

    // The file written anew (a terrain made again) shows anew.
    ASSERT_TRUE(writeQuarters(texturePath, true));
    QImage after = grab();
    EXPECT_EQ(kind(colorAt(after, -0.2, 0.2)), "yellow");
    EXPECT_EQ(kind(colorAt(after, 0.2, -0.2)), "red");
    EXPECT_EQ(window->sceneView()->textureCount(), 1);

    // The image manager's refresh lets go of every texture; the next frame reads them again.
    app.getImageMgr()->refresh();
    EXPECT_EQ(window->sceneView()->textureCount(), 0);
    after = grab();
    EXPECT_EQ(window->sceneView()->textureCount(), 1);
    EXPECT_EQ(kind(colorAt(after, -0.2, 0.2)), "yellow");
}

TEST_F(SceneViewTest, TheCameraMenuListsTheCamerasAndSwitchesTheView)
{
    QMenu *menu = window->cameraMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(menu), (QStringList{QStringLiteral("&Default View"), QStringLiteral("Front Camera"),
                                              QStringLiteral("Side Camera")}));
    // The camera the plug-in chose is checked.
    EXPECT_TRUE(findAction(menu, QStringLiteral("Front Camera"))->isChecked());
    EXPECT_FALSE(findAction(menu, QStringLiteral("Default View"))->isChecked());
    const QImage frontPicture = grab();

    findAction(menu, QStringLiteral("Side Camera"))->trigger();
    EXPECT_EQ(view()->getCamera(), sideCamera);
    EXPECT_TRUE(findAction(menu, QStringLiteral("Side Camera"))->isChecked());
    EXPECT_FALSE(findAction(menu, QStringLiteral("Front Camera"))->isChecked());
    const QImage sidePicture = grab();
    EXPECT_EQ(kind(colorAt(sidePicture, 0.0, 0.0)), "green");
    EXPECT_EQ(kind(colorAt(sidePicture, -0.2, 0.2)), "green");   // not the texture

    // The default view frames the whole scene: both squares, small, side by side.
    findAction(menu, QStringLiteral("Default View"))->trigger();
    EXPECT_EQ(view()->getCamera(), nullptr);
    EXPECT_TRUE(findAction(menu, QStringLiteral("Default View"))->isChecked());
    const QImage overview = grab();
    EXPECT_NE(overview, frontPicture);
    EXPECT_NE(overview, sidePicture);
    EXPECT_GT(countNonBackground(overview), 100);
    EXPECT_TRUE(shows(overview, "green"));
    EXPECT_TRUE(shows(overview, "red") || shows(overview, "yellow"));

    // Cameras that come and go are listed; one removed while in use hands the view back.
    DzBasicCamera *extra = camera(QStringLiteral("Extra & Co"), {0, 0, 900});
    dzScene->addNode(extra);
    EXPECT_EQ(actionTexts(menu).size(), 4);
    EXPECT_NE(findAction(menu, QStringLiteral("Extra && Co")), nullptr);
    findAction(menu, QStringLiteral("Extra && Co"))->trigger();
    EXPECT_EQ(view()->getCamera(), extra);
    extra->setLabel(QStringLiteral("Far Camera"));
    EXPECT_TRUE(findAction(menu, QStringLiteral("Far Camera"))->isChecked());
    dzScene->removeNode(extra);
    EXPECT_EQ(view()->getCamera(), nullptr);
    EXPECT_EQ(findAction(menu, QStringLiteral("Far Camera")), nullptr);
    EXPECT_TRUE(findAction(menu, QStringLiteral("Default View"))->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_GT(countNonBackground(grab()), 100);

    // A camera outside the scene can be looked through too; deleted, the view lets go of it.
    const QImage defaultPicture = grab();
    {
        std::unique_ptr<DzBasicCamera> loose(camera(QStringLiteral("loose"), {5000, 0, 600}));
        view()->setCamera(loose.get());
        EXPECT_FALSE(findAction(menu, QStringLiteral("Default View"))->isChecked());
        EXPECT_EQ(kind(colorAt(grab(), 0.0, 0.0)), "green");
    }
    EXPECT_EQ(view()->getCamera(), nullptr);
    EXPECT_TRUE(findAction(menu, QStringLiteral("Default View"))->isChecked());
    EXPECT_EQ(grab(), defaultPicture);
}

TEST_F(SceneViewTest, TheOrbitCameraFollowsTheMouse)
{
    view()->setCamera(nullptr);
    SceneView *sv = window->sceneView();
    const QImage before = grab();
    const QMatrix4x4 viewBefore = sv->viewMatrix();

    const QPoint mid(sv->width() / 2, sv->height() / 2);
    QTest::mousePress(sv, Qt::LeftButton, Qt::NoModifier, mid);
    QTest::mouseMove(sv, mid + QPoint(80, 30));
    QTest::mouseRelease(sv, Qt::LeftButton, Qt::NoModifier, mid + QPoint(80, 30));
    const QMatrix4x4 orbited = sv->viewMatrix();
    EXPECT_NE(orbited, viewBefore);
    const QImage afterDrag = grab();
    EXPECT_NE(afterDrag, before);

    // Wheel forward: closer to what the view looks at (the middle of the scene).
    const QVector3D middle = sv->sceneBounds().center();
    const float framedDistance = (viewBefore.inverted().map(QVector3D()) - middle).length();
    const QVector3D eyeBefore = orbited.inverted().map(QVector3D()) - middle;
    QWheelEvent wheel(QPointF(mid), sv->mapToGlobal(QPointF(mid)), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(sv, &wheel);
    const QVector3D eyeAfter = sv->viewMatrix().inverted().map(QVector3D()) - middle;
    EXPECT_LT(eyeAfter.length(), eyeBefore.length() * 0.9f);
    EXPECT_NE(grab(), afterDrag);

    // Frame Scene keeps the direction and frames the scene again.
    QAction *frame = findAction(window->viewMenu(), QStringLiteral("&Frame Scene"));
    ASSERT_NE(frame, nullptr);
    frame->trigger();
    const QVector3D eyeFramed = sv->viewMatrix().inverted().map(QVector3D()) - middle;
    EXPECT_NEAR(eyeFramed.length(), framedDistance, framedDistance * 1e-3f);
    EXPECT_NEAR(QVector3D::dotProduct(eyeFramed.normalized(), eyeBefore.normalized()), 1.0f, 1e-3f);

    // With a scene camera the mouse leaves the scene's camera alone.
    view()->setCamera(front);
    QTest::mousePress(sv, Qt::LeftButton, Qt::NoModifier, mid);
    QTest::mouseMove(sv, mid + QPoint(80, 30));
    QTest::mouseRelease(sv, Qt::LeftButton, Qt::NoModifier, mid + QPoint(80, 30));
    EXPECT_EQ(front->getWSPos(), DzVec3(0, 0, 600));
}

TEST_F(SceneViewTest, NodesAddedAndRemovedWhileShowingAndChildrenFollowTheirParents)
{
    SceneView *sv = window->sceneView();
    grab();
    const int meshesBefore = sv->meshBufferCount();
    EXPECT_EQ(meshesBefore, 2);

    // A magenta square closer to the camera covers the middle.
    DzNode *cover = meshNode(QStringLiteral("cover"), squareMesh(50), plainMaterial(QColor(210, 40, 210)), {0, 0, 100});
    dzScene->addNode(cover);
    QImage picture = grab();
    EXPECT_EQ(kind(colorAt(picture, -0.2, 0.2)), "magenta");
    EXPECT_EQ(kind(colorAt(picture, 0.2, -0.2)), "magenta");
    EXPECT_EQ(kind(colorAt(picture, -0.2, 0.55)), "red");   // the texture still shows around it

    // Hidden, it is not drawn.
    cover->getVisibilityControl()->setBoolValue(false);
    EXPECT_EQ(kind(colorAt(grab(), -0.2, 0.2)), "red");
    cover->getVisibilityControl()->setBoolValue(true);
    EXPECT_EQ(kind(colorAt(grab(), -0.2, 0.2)), "magenta");

    // Removed, it is gone at once (before the node itself is deleted) and so are its buffers.
    dzScene->removeNode(cover);
    picture = grab();
    EXPECT_EQ(kind(colorAt(picture, -0.2, 0.2)), "red");
    EXPECT_EQ(kind(colorAt(picture, 0.2, -0.2)), "yellow");
    EXPECT_EQ(sv->meshBufferCount(), meshesBefore);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(kind(colorAt(grab(), -0.2, 0.2)), "red");

    // Props under the terrain share one mesh: one buffer for all of them, each placed through
    // the terrain's transform. The terrain moves 60 cm right and up, and 100 cm forward.
    DzFacetMesh *shared = squareMesh(15);
    DzMaterial *cyan = plainMaterial(QColor(30, 200, 210));
    DzNode *propA = meshNode(QStringLiteral("propA"), shared, cyan, {0, 0, 10});
    DzNode *propB = meshNode(QStringLiteral("propB"), shared, cyan, {-120, -120, 10});
    textured->addNodeChild(propA);
    textured->addNodeChild(propB);
    dzScene->addNode(propA);
    dzScene->addNode(propB);
    picture = grab();
    EXPECT_EQ(sv->meshBufferCount(), meshesBefore + 1);
    EXPECT_EQ(kind(colorAt(picture, 0.0, 0.0)), "cyan");
    textured->getXPosControl()->setValue(60.0f);
    textured->getYPosControl()->setValue(60.0f);
    textured->getZPosControl()->setValue(100.0f);
    picture = grab();
    // 60 cm at 5 m is 0.45 half-heights at 30°.
    EXPECT_EQ(kind(colorAt(picture, 0.45, 0.45)), "cyan");
    EXPECT_EQ(kind(colorAt(picture, -0.45, -0.45)), "cyan");   // propB, 120 cm down-left of it
    EXPECT_NE(kind(colorAt(picture, 0.0, 0.0)), "cyan");

    // A node's object replaced: its new mesh is drawn.
    side->setObject(nullptr);
    dzScene->removeNode(propB);
    picture = grab();
    EXPECT_EQ(sv->meshBufferCount(), meshesBefore);   // the side square's went; propA still shows the shared one
    textured->setObject(nullptr);
    grab();
    EXPECT_EQ(sv->meshBufferCount(), 1);
}

TEST_F(SceneViewTest, ShadeStylesFromTheViewMenu)
{
    // A right-angled orange wedge in front of the textured square: its box covers the corner
    // the wedge leaves out.
    auto *wedgeMesh = new DzFacetMesh;
    wedgeMesh->addVertex({-60, -60, 0});
    wedgeMesh->addVertex({60, -60, 0});
    wedgeMesh->addVertex({-60, 60, 0});
    DzFacet f;
    f.m_vertIdx[0] = 0;
    f.m_vertIdx[1] = 1;
    f.m_vertIdx[2] = 2;
    ASSERT_TRUE(wedgeMesh->addFacet(f));
    dzScene->addNode(meshNode(QStringLiteral("wedge"), wedgeMesh, plainMaterial(QColor(230, 130, 20)), {0, 0, 100}));

    QMenu *menu = window->viewMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(findAction(menu, QStringLiteral("&Texture Shaded"))->isChecked());   // the default style
    QImage picture = grab();
    EXPECT_EQ(kind(colorAt(picture, -0.3, -0.3)), "orange");
    EXPECT_EQ(kind(colorAt(picture, 0.3, 0.3)), "green");   // the corner the wedge leaves: the texture

    findAction(menu, QStringLiteral("S&olid Bounding Box"))->trigger();
    EXPECT_EQ(view()->getShadeStyle(), Dz3DViewport::SolidBox);
    EXPECT_TRUE(findAction(menu, QStringLiteral("S&olid Bounding Box"))->isChecked());
    EXPECT_FALSE(findAction(menu, QStringLiteral("&Texture Shaded"))->isChecked());
    picture = grab();
    EXPECT_EQ(kind(colorAt(picture, 0.3, 0.3)), "orange");    // the box, not the wedge
    EXPECT_EQ(kind(colorAt(picture, -0.3, -0.3)), "orange");
    EXPECT_EQ(kind(colorAt(picture, 0.0, 0.55)), "grey");     // the square's box is untextured

    // The style set elsewhere (the plug-in) is checked in the menu too.
    view()->setShadeStyle(Dz3DViewport::WireFrame);
    EXPECT_TRUE(findAction(menu, QStringLiteral("&Wire Frame"))->isChecked());
    picture = grab();
    // Only edges: away from them the background shows, yet something is drawn.
    EXPECT_TRUE(isBackground(colorAt(picture, 0.35, 0.15)));
    EXPECT_TRUE(isBackground(colorAt(picture, -0.3, 0.2)));
    const int wire = countNonBackground(picture);
    EXPECT_GT(wire, 50);
    EXPECT_LT(wire, picture.width() * picture.height() / 4 / 10);

    findAction(menu, QStringLiteral("Wire &Bounding Box"))->trigger();
    EXPECT_EQ(view()->getShadeStyle(), Dz3DViewport::WireBox);
    picture = grab();
    EXPECT_TRUE(isBackground(colorAt(picture, 0.3, 0.3)));
    EXPECT_GT(countNonBackground(picture), 50);

    findAction(menu, QStringLiteral("&Smooth Shaded"))->trigger();
    picture = grab();
    EXPECT_EQ(kind(colorAt(picture, -0.3, -0.3)), "orange");
    EXPECT_EQ(kind(colorAt(picture, 0.3, 0.3)), "grey");   // the square without its texture

    // Every style draws without trouble.
    for (int style = Dz3DViewport::WireBox; style <= Dz3DViewport::Texture; ++style) {
        view()->setShadeStyle(style);
        EXPECT_GT(countNonBackground(grab()), 50) << "style " << style;
    }
}

TEST_F(SceneViewTest, SkyDomeMaterialIsDrawnUnlitFromItsAmbientMap)
{
    // A sky material as the plug-in makes it: ambient map, no diffuse light.
    const QString skyPath = dir.filePath(QStringLiteral("sky.jpg"));
    QImage sky(64, 64, QImage::Format_RGB32);
    sky.fill(QColor(90, 150, 230));
    ASSERT_TRUE(sky.save(skyPath, "JPG", 95));
    auto *material = new DzDefaultMaterial;
    material->setName(QStringLiteral("Sky Default"));
    material->setAmbientColorMap(app.getImageMgr()->getImage(skyPath));
    material->setAmbientColor(Qt::white);
    material->setAmbientStrength(1.0f);
    material->setDiffuseStrength(0.0f);
    DzNode *dome = meshNode(QStringLiteral("skyDome"), hemisphereMesh(), material);
    dome->getScaleControl()->setValue(100000.0f);   // 1 km round the scene
    dzScene->addNode(dome);
    const QImage picture = grab();
    // The sky shows above the horizon round the square at its own colour (no light darkens
    // it); below the horizon the open dome shows the background.
    const QColor c = colorAt(picture, 0.0, 0.85);
    EXPECT_NEAR(c.red(), 90, 12);
    EXPECT_NEAR(c.green(), 150, 12);
    EXPECT_NEAR(c.blue(), 230, 12);
    EXPECT_EQ(kind(colorAt(picture, -0.2, 0.2)), "red");   // the square in front of it
    EXPECT_TRUE(isBackground(colorAt(picture, 0.0, -0.85)));

    // The default view frames the terrain, not the far larger sky.
    view()->setCamera(nullptr);
    const QImage overview = grab();
    EXPECT_TRUE(shows(overview, "green"));
    EXPECT_TRUE(shows(overview, "red") || shows(overview, "yellow"));
    const SceneBounds all = window->sceneView()->sceneBounds(true), ground = window->sceneView()->sceneBounds(false);
    EXPECT_GT(all.radius(), 20 * ground.radius());
    float nearPlane = 0, farPlane = 0;
    window->sceneView()->clipRange(nearPlane, farPlane);
    EXPECT_GT(farPlane, 100000.0f);   // the sky is inside the far plane

    // From inside the dome, the near plane still suits the things in front: the square 6 m away.
    view()->setCamera(front);
    window->sceneView()->clipRange(nearPlane, farPlane);
    EXPECT_GT(farPlane, 100000.0f);
    EXPECT_GT(nearPlane, 100.0f);
    EXPECT_LT(nearPlane, 600.0f);

    // In solid boxes, the dome's box round the camera shows as edges, not as a wall that hides
    // the rest.
    view()->setShadeStyle(Dz3DViewport::SolidBox);
    const QImage boxes = grab();
    EXPECT_TRUE(isBackground(colorAt(boxes, 0.0, 0.85)));
    EXPECT_TRUE(isBackground(colorAt(boxes, 0.0, -0.85)));
    EXPECT_EQ(kind(colorAt(boxes, -0.2, 0.2)), "grey");   // the square's box
    EXPECT_FALSE(isBackground(colorAt(boxes, -0.2, 0.2)));
}

TEST_F(SceneViewTest, BigTexturesAreScaledDownOnLoading)
{
    // Twice the size the view keeps, and not square.
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    QImage big(4096, 2048, QImage::Format_RGB32);
    big.fill(QColor(210, 40, 210));
    ASSERT_TRUE(big.save(path, "JPG", 90));
    auto *map = app.getImageMgr()->getImage(path);
    DzNode *cover = meshNode(QStringLiteral("cover"), squareMesh(50), brickMaterial(map), {0, 0, 100});
    dzScene->addNode(cover);
    const QImage picture = grab();
    EXPECT_EQ(kind(colorAt(picture, 0.0, 0.0)), "magenta");
    EXPECT_EQ(window->sceneView()->loadedTextureSize(map->getFilename()), QSize(2048, 1024));
    EXPECT_EQ(window->sceneView()->textureCount(), 2);

    // A map whose file cannot be read leaves the colour.
    DzNode *broken = meshNode(QStringLiteral("broken"), squareMesh(50),
                              brickMaterial(app.getImageMgr()->getImage(dir.filePath(QStringLiteral("missing.jpg")))),
                              {0, 0, 150});
    dzScene->addNode(broken);
    EXPECT_EQ(kind(colorAt(grab(), 0.0, 0.0)), "grey");
    EXPECT_EQ(window->sceneView()->textureCount(), 2);
}

TEST_F(SceneViewTest, SaveSceneAsksForAFileAndCallsTheExporter)
{
    QAction *save = window->saveSceneAction();
    ASSERT_NE(save, nullptr);
    const QList<QAction *> fileActions = window->fileMenu()->actions();
    const qsizetype saveAt = fileActions.indexOf(save);
    qsizetype quitAt = -1;
    for (qsizetype i = 0; i < fileActions.size(); ++i)
        if (fileActions[i]->text() == QStringLiteral("&Quit"))
            quitAt = i;
    EXPECT_EQ(save->text(), QStringLiteral("&Save Scene..."));
    EXPECT_GE(saveAt, 0);
    EXPECT_LT(saveAt, quitAt);
    EXPECT_EQ(save->shortcut(), QKeySequence(QKeySequence::Save));

    QStringList asked, warnings;
    QString answer;
    StudioWindow::saveFileNameHook = [&](QWidget *parent, const QString &caption, const QString &filter) {
        EXPECT_EQ(parent, window.get());
        asked.append(caption + QLatin1Char('|') + filter);
        return answer;
    };
    StudioWindow::warningHook = [&](QWidget *, const QString &title, const QString &text) {
        warnings.append(title + QLatin1Char('|') + text);
    };

    // Cancelled: nothing written, nothing to tell.
    save->trigger();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QLatin1String("*.gltf")) && asked[0].contains(QLatin1String("*.glb")));
    EXPECT_TRUE(warnings.isEmpty());

    // What the exporter makes of this scene, asked directly.
    QString directError;
    const bool directOk = DzGltfExporter::writeScene(dzScene, dir.filePath(QStringLiteral("direct.gltf")), &directError);

    answer = dir.filePath(QStringLiteral("scene"));   // no ending: it becomes scene.gltf
    save->trigger();
    EXPECT_EQ(asked.size(), 2);
    const QString written = dir.filePath(QStringLiteral("scene.gltf"));
    if (directOk) {
        EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(QFileInfo::exists(written));
    } else {
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_TRUE(warnings[0].contains(directError)) << warnings[0].toStdString();
        EXPECT_TRUE(warnings[0].contains(QLatin1String("scene.gltf"))) << warnings[0].toStdString();
        EXPECT_FALSE(QFileInfo::exists(written));
    }

    // A .glb name is kept as it is.
    warnings.clear();
    answer = dir.filePath(QStringLiteral("scene.glb"));
    EXPECT_EQ(window->saveScene(), directOk);
    if (!directOk) {
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_TRUE(warnings[0].contains(QLatin1String("scene.glb")) && !warnings[0].contains(QLatin1String("scene.glb.gltf")));
    }
}

/// A studio window of 900 × 600 on an empty scene, shown.
class SceneViewEmpty : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(900, 600);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    DzApp app;
    StudioWindow window;
};

TEST_F(SceneViewEmpty, AnEmptySceneIsViewableAndTheDefaultViewFramesWhatArrives)
{
    SceneView *sv = window.sceneView();
    QImage picture = sv->grabFramebuffer();
    ASSERT_FALSE(picture.isNull());
    const QColor corner = colorAt(picture, -1.0, 0.95);
    EXPECT_TRUE(isBackground(corner)) << corner.name().toStdString();
    EXPECT_EQ(corner.red(), corner.blue());   // a neutral grey
    EXPECT_EQ(actionTexts(window.cameraMenu()), QStringList{QStringLiteral("&Default View")});
    EXPECT_TRUE(window.cameraMenu()->actions().first()->isChecked());

    // A mesh far from the origin and 40 m wide arrives: the view goes to it.
    DzNode *far = meshNode(QStringLiteral("far"), squareMesh(2000), plainMaterial(QColor(210, 40, 210)), {100000, 0, 0});
    dzScene->addNode(far);
    picture = sv->grabFramebuffer();
    EXPECT_EQ(kind(colorAt(picture, 0.0, 0.0)), "magenta");
    EXPECT_TRUE(isBackground(colorAt(picture, -1.0, 0.95)));
}

// The view lights the scene by its sun (a distant light) where it has one: a wall facing a sun low
// over the horizon is brighter than under a sun overhead.
TEST_F(SceneViewEmpty, TheViewIsLitByTheScenesSun)
{
    SceneView *sv = window.sceneView();
    dzScene->addNode(meshNode(QStringLiteral("wall"), squareMesh(2000), plainMaterial(QColor(200, 200, 200)), {0, 0, 0}));
    auto *sun = new DzDistantLight;
    sun->setName(QStringLiteral("Sun"));
    sun->setRotationOrder(DzNode::XYZ);
    sun->getXRotControl()->setValue(-30.0f);   // 30° above the horizon, from +x (azimuth 90°)
    sun->getYRotControl()->setValue(90.0f);
    sun->setDiffuseColor(QColor(255, 200, 150));
    dzScene->addNode(sun);
    const SceneView::Light light = SceneView::sceneLight(dzScene);
    EXPECT_NEAR(light.towards.x(), std::cos(qDegreesToRadians(30.0)), 1e-5);
    EXPECT_NEAR(light.towards.y(), 0.5, 1e-5);
    EXPECT_NEAR(light.towards.z(), 0.0, 1e-5);
    EXPECT_EQ(light.colour, QColor(255, 200, 150));

    auto brightness = [&] {
        const QColor c = colorAt(sv->grabFramebuffer(), 0.0, 0.0);
        return c.red() + c.green() + c.blue();
    };
    // The wall faces +z: the sun at azimuth 0.
    sun->getYRotControl()->setValue(0.0f);
    sun->getXRotControl()->setValue(-5.0f);
    const int low = brightness();
    sun->getXRotControl()->setValue(-89.0f);
    const int overhead = brightness();
    EXPECT_GT(low, overhead + 60);
}

TEST(Dz3DViewport, HoldsOneRenderWidgetAndForgetsADeletedCamera)
{
    Dz3DViewport view;
    EXPECT_EQ(view.getRenderWidget(), nullptr);
    QPointer<QWidget> first = new QWidget;
    view.setRenderWidget(first);
    EXPECT_EQ(view.getRenderWidget(), first.data());
    EXPECT_EQ(first->parentWidget(), &view);
    auto *second = new QWidget;
    view.setRenderWidget(second);   // the first one goes
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(view.getRenderWidget(), second);
    view.setRenderWidget(nullptr);
    EXPECT_EQ(view.getRenderWidget(), nullptr);

    QList<DzCamera *> told;
    QObject::connect(&view, &Dz3DViewport::activeCameraChanged, [&](DzCamera *c) { told.append(c); });
    auto *camera = new DzBasicCamera;
    view.setCamera(camera);
    delete camera;
    EXPECT_EQ(view.getCamera(), nullptr);
    EXPECT_EQ(told, (QList<DzCamera *>{camera, nullptr}));
    // A camera let go of earlier says nothing when it goes.
    auto *other = new DzBasicCamera;
    view.setCamera(other);
    view.setCamera(nullptr);
    delete other;
    EXPECT_EQ(told.size(), 4);
}

TEST(StudioOptions, OpenTakesFilesInOrder)
{
    StudioOptions o;
    QString error;
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("--open"), QStringLiteral("/a/../terrain.obj"),
                                      QStringLiteral("--open"), QStringLiteral("/b/prop.obj")},
                                     QStringLiteral("/app/bin"), o, &error))
        << error.toStdString();
    EXPECT_EQ(o.openFiles, (QStringList{QStringLiteral("/terrain.obj"), QStringLiteral("/b/prop.obj")}));
    EXPECT_FALSE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("--open"), QStringLiteral(" ")},
                                      QStringLiteral("/app/bin"), o, &error));
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio")}, QStringLiteral("/app/bin"), o, &error));
    EXPECT_TRUE(o.openFiles.isEmpty());
    EXPECT_TRUE(StudioOptions::helpText().contains(QLatin1String("--open")));
}
