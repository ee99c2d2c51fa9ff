// The figures of a created scene: files, cameras, the preview's eye, copy names.
#include "scene/sceneassembly.h"

#include <QMatrix4x4>
#include <QVector3D>
#include <gtest/gtest.h>

namespace {

using namespace orovista::scene;

TEST(SceneAssembly, FilesAndHostPaths)
{
    const SceneFiles f = sceneFiles(QStringLiteral("/w/maps"), QStringLiteral("my Terrain 1"));
    EXPECT_EQ(f.obj, QStringLiteral("/w/maps/my Terrain 1.obj"));
    EXPECT_EQ(f.colourTexture, QStringLiteral("/w/maps/my Terrain 1.jpg"));
    EXPECT_EQ(f.normalMap, QStringLiteral("/w/maps/NormalMap_my Terrain 1.jpg"));
    EXPECT_EQ(f.skyTexture, QStringLiteral("/w/maps/my Terrain 1_skyDome.jpg"));
    EXPECT_EQ(hostImagePath(f.obj, QStringLiteral("Windows")), QStringLiteral("\\w\\maps\\my Terrain 1.obj"));
    EXPECT_EQ(hostImagePath(f.obj, QStringLiteral("xcb")), f.obj) << "backslashes only on Windows";
    EXPECT_FLOAT_EQ(skyDomeScale(1000.0), 100.0f);
}

TEST(SceneAssembly, CornerCamerasStandOnTheDiagonalsLookingIn)
{
    const auto cameras = cornerCameras(QStringLiteral("T"), 1000.0, 15.0);
    const char *names[] = {"T NW Camera", "T NE Camera", "T SE Camera", "T SW Camera"};
    const float yRot[] = {-135.0f, 135.0f, 45.0f, -45.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cameras[i].name, QLatin1String(names[i]));
        EXPECT_EQ(cameras[i].rotation[0], -25.0f);
        EXPECT_EQ(cameras[i].rotation[1], yRot[i]);
        EXPECT_EQ(cameras[i].fieldOfView, 30.0f);
        // Each looks (down its −z, turned about y) towards the terrain's middle.
        QMatrix4x4 turn;
        turn.rotate(cameras[i].rotation[1], 0, 1, 0);
        const QVector3D look = turn.map(QVector3D(0, 0, -1));
        const QVector3D toMiddle = QVector3D(-cameras[i].position[0], 0, -cameras[i].position[2]).normalized();
        EXPECT_NEAR(QVector3D::dotProduct(look, toMiddle), 1.0f, 1e-5f) << names[i];
    }
    EXPECT_EQ(cameras[0].position, (std::array<float, 3>{-87500.0f, 13500.0f, -87500.0f}));
    EXPECT_EQ(cameras[2].position, (std::array<float, 3>{87500.0f, 13500.0f, 87500.0f}));
}

// The preview draws with modelview T(−c) · Rx(pitch) · Ry(yaw); a camera node at the main camera's
// place has the world transform T(p) · Ry(ry) · Rx(rx) (x first). Looking through it must give the
// same eye coordinates for every point (in centimetres instead of metres).
TEST(SceneAssembly, TheMainCameraSeesWhatThePreviewSees)
{
    PreviewEye eye;
    eye.x = 12.5;
    eye.y = -3.0;
    eye.z = 180.0;
    eye.yaw = 33.0f;
    eye.pitch = 21.0f;
    eye.fieldOfView = 40.0f;
    const CameraPlacement c = mainCamera(QStringLiteral("T"), eye);
    EXPECT_EQ(c.name, QStringLiteral("T Main Camera"));
    EXPECT_EQ(c.rotation, (std::array<float, 3>{-21.0f, -33.0f, 0.0f}));
    EXPECT_EQ(c.fieldOfView, 40.0f);

    QMatrix4x4 preview;
    preview.translate(-float(eye.x), -float(eye.y), -float(eye.z));
    preview.rotate(eye.pitch, 1, 0, 0);
    preview.rotate(eye.yaw, 0, 1, 0);
    QMatrix4x4 cameraNode;
    cameraNode.translate(c.position[0], c.position[1], c.position[2]);
    cameraNode.rotate(c.rotation[1], 0, 1, 0);
    cameraNode.rotate(c.rotation[0], 1, 0, 0);
    const QMatrix4x4 view = cameraNode.inverted();
    for (const QVector3D p : {QVector3D(0, 0, 0), QVector3D(50, 7, -20), QVector3D(-40, 0, 45)}) {
        const QVector3D inPreview = preview.map(p) * 100.0f;
        const QVector3D inHost = view.map(p * 100.0f);
        EXPECT_NEAR((inPreview - inHost).length(), 0.0f, 0.05f);
    }

    const PreviewEye start = defaultPreviewEye(100.0);
    const CameraPlacement first = mainCamera(QStringLiteral("T"), start);
    EXPECT_NEAR(first.position[1], 200.0f * 100.0f * std::sin(20.0f * 3.14159265f / 180.0f), 1.0f)
        << "looking 20° down from above the terrain";
}

TEST(SceneAssembly, CopyNamesCountOnFromTheLastUnderscore)
{
    auto check = [](const char *from, const char *label, const char *name) {
        const CopyName n = copyName(QLatin1String(from));
        EXPECT_EQ(n.label, QLatin1String(label)) << from;
        EXPECT_EQ(n.name, QLatin1String(name)) << from;
    };
    check("pine_1", "pine_2", "pine__2");
    check("old_pine_9", "old_pine_10", "old_pine__10");
    check("pine", "pine_2", "pine__2");
    check("pine_tree", "pine_tree_2", "pine_tree__2");
    check("pine_", "pine__2", "pine___2");
    check("", "_2", "__2");
    EXPECT_TRUE(canDuplicate(3, 3, false));
    EXPECT_FALSE(canDuplicate(3, 3, true)) << "a prop with parts is loaded anew";
    EXPECT_FALSE(canDuplicate(3, 4, false));
}

}   // namespace
