#include "scene/sceneassembly.h"

#include <QDir>

#include <cmath>

namespace orovista::scene {

SceneFiles sceneFiles(const QString &mapsFolder, const QString &name)
{
    const QDir maps(mapsFolder);
    return {maps.filePath(name + QStringLiteral(".obj")), maps.filePath(name + QStringLiteral(".jpg")),
            maps.filePath(QStringLiteral("NormalMap_") + name + QStringLiteral(".jpg")),
            maps.filePath(name + QStringLiteral("_skyDome.jpg"))};
}

QString hostImagePath(const QString &path, const QString &platformName)
{
    QString p = path;
    if (platformName == QLatin1String("Windows"))
        p.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return p;
}

std::array<CameraPlacement, 4> cornerCameras(const QString &terrainName, double terrainSize, double elevationHigh)
{
    const float d = float(terrainSize * 175.0 * 0.5);
    const float h = float(elevationHigh * 900.0);
    auto camera = [&](const char *suffix, float x, float z, float yRot) {
        CameraPlacement c;
        c.name = terrainName + QLatin1String(suffix);
        c.position = {x, h, z};
        c.rotation = {-25.0f, yRot, 0.0f};
        c.fieldOfView = 30.0f;
        return c;
    };
    return {camera(" NW Camera", -d, -d, -135.0f), camera(" NE Camera", d, -d, 135.0f),
            camera(" SE Camera", d, d, 45.0f), camera(" SW Camera", -d, d, -45.0f)};
}

namespace {

constexpr double degrees = 3.14159265358979323846 / 180.0;

// v rotated by angle (degrees) about one axis.
void rotateX(double a, double v[3])
{
    const double c = std::cos(a * degrees), s = std::sin(a * degrees);
    const double y = c * v[1] - s * v[2], z = s * v[1] + c * v[2];
    v[1] = y;
    v[2] = z;
}
void rotateY(double a, double v[3])
{
    const double c = std::cos(a * degrees), s = std::sin(a * degrees);
    const double x = c * v[0] + s * v[2], z = -s * v[0] + c * v[2];
    v[0] = x;
    v[2] = z;
}

}   // namespace

CameraPlacement mainCamera(const QString &terrainName, const PreviewEye &eye)
{
    // The world goes through R = Rx(pitch) · Ry(yaw), then −(x, y, z): the eye is
    // R⁻¹ · (x, y, z) = Ry(−yaw) · Rx(−pitch) · (x, y, z). A camera node rotated about x
    // first and then about y has exactly the orientation R⁻¹.
    double p[3] = {eye.x, eye.y, eye.z};
    rotateX(-eye.pitch, p);
    rotateY(-eye.yaw, p);
    CameraPlacement c;
    c.name = terrainName + QStringLiteral(" Main Camera");
    c.position = {float(p[0] * 100.0), float(p[1] * 100.0), float(p[2] * 100.0)};
    c.rotation = {-eye.pitch, -eye.yaw, 0.0f};
    c.fieldOfView = eye.fieldOfView;
    return c;
}

PreviewEye defaultPreviewEye(double terrainSize)
{
    PreviewEye eye;
    eye.z = 2.0 * terrainSize;
    eye.pitch = 20.0f;
    return eye;
}

CopyName copyName(const QString &sourceLabel)
{
    const int cut = int(sourceLabel.lastIndexOf(QLatin1Char('_')));
    bool number = false;
    const int n = cut >= 0 ? sourceLabel.mid(cut + 1).toInt(&number) : 0;
    QString base = sourceLabel;
    int next = 2;
    if (cut >= 0 && number && n >= 0 && n < 2147483647) {
        base = sourceLabel.left(cut);
        next = n + 1;
    }
    return {base + QLatin1Char('_') + QString::number(next), base + QStringLiteral("__") + QString::number(next)};
}

}   // namespace orovista::scene
