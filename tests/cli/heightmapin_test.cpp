// `orovista generate --heightmap-in`: a heightmap or elevation model as the terrain on the command
// line. Our own 16-bit PNG reads back to the same heights, a GeoTIFF with a no-data hole gives
// its extent and every export, and a file that is no usable raster (or a VRT, or a network
// name) stops the run before anything is written or fetched.
#include "graph/noisesettings.h"
#include "presets/presetfile.h"
#include "support/loopbacklistener.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gdal.h>
#include <cpl_conv.h>
#include <ogr_srs_api.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using namespace orovista;

struct Outcome {
    int status;
    QString err;
};

Outcome orovista(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(OROVISTA_CLI), arguments);
    EXPECT_TRUE(p.waitForFinished(600000));
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

QString writePreset(const QTemporaryDir &dir, const QString &name, int erosionIterations)
{
    NoiseSettings s;
    s.input[0].type = int(NoiseType::Perlin);
    s.input[1].type = int(NoiseType::Billow);
    s.final.leftGradient = QStringLiteral("alpine.bmp");
    s.final.rightGradient = QStringLiteral("desert.bmp");
    s.final.erosionType = int(erosionIterations ? ErosionType::Thermal : ErosionType::None);
    s.final.erosionIterations = erosionIterations;
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(presets::write(s));
    return path;
}

QJsonObject json(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(f.readAll()).object();
}

std::vector<float> objHeights(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<float> y;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (line.startsWith("v "))
            y.push_back(line.split(' ').value(2).toFloat());
    }
    return y;
}

/// A float GeoTIFF in UTM 33N with 20 m cells and −9999 as no-data.
QString geoTiff(const QString &path, int width, int height, const std::function<float(int, int)> &value)
{
    GDALAllRegister();
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), QFile::encodeName(path).constData(), width, height, 1,
                                 GDT_Float32, nullptr);
    EXPECT_NE(ds, nullptr);
    double transform[6] = {400000.0, 20.0, 0.0, 5100000.0, 0.0, -20.0};
    GDALSetGeoTransform(ds, transform);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, 32633);
    char *wkt = nullptr;
    OSRExportToWkt(srs, &wkt);
    GDALSetProjection(ds, wkt);
    CPLFree(wkt);
    OSRDestroySpatialReference(srs);
    GDALRasterBandH band = GDALGetRasterBand(ds, 1);
    GDALSetRasterNoDataValue(band, -9999.0);
    std::vector<float> cells(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            cells[std::size_t(y) * width + x] = value(x, y);
    EXPECT_EQ(GDALRasterIO(band, GF_Write, 0, 0, width, height, cells.data(), width, height, GDT_Float32, 0, 0), CE_None);
    GDALClose(ds);
    return path;
}

const QString name = QStringLiteral("my Terrain 1");

TEST(HeightmapIn, OurOwnPng16ReadsBackToTheSameHeightsAndFiles)
{
    QTemporaryDir dir;
    const QString preset = writePreset(dir, QStringLiteral("plain.opf"), 0);
    const QString first = dir.filePath(QStringLiteral("first")), second = dir.filePath(QStringLiteral("second"));
    Outcome o = orovista({"generate", "--preset", preset, "--out", first, "--heightmap", "png16", "--elevation", "-5:40",
                          "--terrain-size", "300", "--quiet"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QString png = first + "/" + name + "_height.png";
    o = orovista({"generate", "--preset", preset, "--out", second, "--heightmap-in", png, "--heightmap", "png16"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(QStringLiteral("my Terrain 1_height.png: 512 × 512 png16, 300 m across, -5.0 … 40.0 m")))
        << o.err.toStdString();

    // The heightmap written again is the one read, value for value, and says the same metres.
    const QImage a(png), b(second + "/" + name + "_height.png");
    ASSERT_EQ(a.format(), QImage::Format_Grayscale16);
    ASSERT_EQ(b.format(), QImage::Format_Grayscale16);
    EXPECT_EQ(a, b);
    const QJsonObject before = json(first + "/" + name + "_height.json"), after = json(second + "/" + name + "_height.json");
    for (const char *key : {"metresAt0", "metresAt65535", "terrainSize", "size"})
        EXPECT_EQ(before.value(key), after.value(key)) << key;

    // The mesh stands where it stood, to the 16-bit step (45 m / 65535).
    const std::vector<float> was = objHeights(first + "/" + name + ".obj"), is = objHeights(second + "/" + name + ".obj");
    ASSERT_EQ(was.size(), 512u * 512u);
    ASSERT_EQ(is.size(), was.size());
    float worst = 0.0f;
    for (std::size_t i = 0; i < was.size(); ++i)
        worst = std::max(worst, std::abs(was[i] - is[i]));
    EXPECT_LT(worst, 0.002f);
}

TEST(HeightmapIn, AGeoTiffGivesItsExtentFilledHeightsAndEveryExport)
{
    QTemporaryDir dir;
    // 101 × 101 cells of 20 m: 2000 m across; a ridge from 812 to 1190 m with a no-data hole.
    auto height = [](int x, int y) { return float(812.0 + 3.0 * x + 60.0 * std::sin(y * 0.1) + 60.0); };
    const QString tif = geoTiff(dir.filePath(QStringLiteral("dem.tif")), 101, 101, [&](int x, int y) {
        return x >= 40 && x < 50 && y >= 40 && y < 46 ? -9999.0f : height(x, y);
    });
    const QString eroding = writePreset(dir, QStringLiteral("eroding.opf"), 10);
    const QString out = dir.filePath(QStringLiteral("dem"));
    const QString scene = dir.filePath(QStringLiteral("dem.gltf"));
    Outcome o = orovista({"generate", "--preset", eroding, "--out", out, "--heightmap-in", tif, "--heightmap", "png16,exr",
                          "--normal-map", "512", "--texture-size", "1024", "--scene", scene});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(QStringLiteral("60 no-data cells filled from their neighbours"))) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(QStringLiteral("2000 m across"))) << o.err.toStdString();

    for (const QString &file : {name + ".obj", name + ".jpg", "NormalMap_" + name + ".jpg", name + "_height.png",
                                name + "_height.exr", name + "_height.json"})
        EXPECT_TRUE(QFile::exists(out + "/" + file)) << file.toStdString();
    EXPECT_TRUE(QFile::exists(scene));
    EXPECT_EQ(QImage(out + "/" + name + ".jpg").size(), QSize(1024, 1024));

    // The extent and the relief in metres; the lowest point lies at 0.
    const QJsonObject sidecar = json(out + "/" + name + "_height.json");
    EXPECT_EQ(sidecar.value("terrainSize").toInt(), 2000);
    EXPECT_EQ(sidecar.value("metresAt0").toDouble(), 0.0);
    const double relief = sidecar.value("metresAt65535").toDouble();
    EXPECT_GT(relief, 370.0);
    EXPECT_LE(relief, 421.0);
    const std::vector<float> eroded = objHeights(out + "/" + name + ".obj");
    ASSERT_EQ(eroded.size(), 512u * 512u);
    EXPECT_EQ(*std::min_element(eroded.begin(), eroded.end()), 0.0f);
    // The relief as the model has it, not rounded to whole metres (to the OBJ's printed millimetre).
    EXPECT_NE(relief, std::round(relief));
    EXPECT_NEAR(*std::max_element(eroded.begin(), eroded.end()), relief, 0.0006);

    // The preset's erosion ran on the imported heights: without it the ground differs.
    const QString plain = writePreset(dir, QStringLiteral("plain.opf"), 0);
    o = orovista({"generate", "--preset", plain, "--out", dir.filePath("plain"), "--heightmap-in", tif, "--heightmap",
                  "png16", "--engine", "unity", "--quiet"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    // The ground stands on 0, and the files say how high it really lies: the valley floor at
    // about 812 m is the base height, and Unity's terrain is placed at it.
    const double base = json(dir.filePath("plain") + "/" + name + "_height.json").value("baseHeight").toDouble();
    EXPECT_GT(base, 805.0);
    EXPECT_LT(base, 820.0);
    const QJsonObject unity = json(dir.filePath("plain") + "/" + name + "_unity.json");
    EXPECT_EQ(unity.value("baseHeight").toDouble(), base);
    EXPECT_NEAR(unity.value("import").toObject().value("Position").toArray()[1].toDouble(),
                unity.value("metresAt0").toDouble() + base, 1e-9);
    const std::vector<float> uneroded = objHeights(dir.filePath("plain") + "/" + name + ".obj");
    ASSERT_EQ(uneroded.size(), eroded.size());
    std::size_t moved = 0;
    for (std::size_t i = 0; i < eroded.size(); ++i)
        moved += std::abs(eroded[i] - uneroded[i]) > 0.01f;
    EXPECT_GT(moved, eroded.size() / 10);

    // --datum: the mesh and the scene at the model's own heights, the cameras risen with them.
    const QString datumScene = dir.filePath(QStringLiteral("datum.gltf"));
    o = orovista({"generate", "--preset", eroding, "--out", dir.filePath("datum"), "--heightmap-in", tif, "--datum",
                  "--scene", datumScene, "--normal-map", "512", "--texture-size", "1024", "--quiet"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const std::vector<float> raised = objHeights(dir.filePath("datum") + "/" + name + ".obj");
    ASSERT_EQ(raised.size(), eroded.size());
    EXPECT_NEAR(*std::min_element(raised.begin(), raised.end()), base, 0.01);
    EXPECT_NEAR(raised[1000] - eroded[1000], base, 0.01);
    auto cameraHeight = [&](const QString &gltf) {
        for (const QJsonValue &node : json(gltf).value("nodes").toArray())
            if (node.toObject().value("name").toString() == name + " Main Camera")
                return node.toObject().value("translation").toArray()[1].toDouble();
        return -1e9;
    };
    EXPECT_NEAR(cameraHeight(datumScene) - cameraHeight(scene), base, 0.01);

    // --terrain-size given wins over the extent.
    o = orovista({"generate", "--preset", plain, "--out", dir.filePath("sized"), "--heightmap-in", tif, "--terrain-size",
                  "500", "--heightmap", "png16", "--quiet"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(json(dir.filePath("sized") + "/" + name + "_height.json").value("terrainSize").toInt(), 500);
}

TEST(HeightmapIn, AFileThatIsNoUsableRasterStopsTheRunBeforeAnythingIsWritten)
{
    QTemporaryDir dir;
    const QString preset = writePreset(dir, QStringLiteral("plain.opf"), 0);
    auto write = [&](const QString &file, const QByteArray &bytes) {
        QFile f(dir.filePath(file));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QString holes = geoTiff(dir.filePath("holes.tif"), 8, 8, [](int, int) { return -9999.0f; });
    // A file of 64 bytes a VRT would read as an 8 × 8 raster, and a server that is never
    // answered (connections are closed at once, so that no run hangs on it): neither is read.
    QByteArray secret(64, 0);
    for (int i = 0; i < 64; ++i)
        secret[i] = char(60 + i);
    const QString local = write("passwords", secret);
    const testsupport::LoopbackListener listener;
    struct Case {
        QString file;
        const char *says;
    };
    const Case cases[] = {
        {write("words.tif", "not a raster at all\n"), "it is not a raster GDAL reads"},
        {write("empty.png", {}), "it is not a picture this program reads"},
        {write("odd.r16", QByteArray(6, 0)), "no square of 16-bit samples"},
        {holes, "every cell is no-data"},
        {dir.filePath("missing.tif"), "cannot read the heightmap"},
        {write("local.vrt", testsupport::rawVrt(local)), ": VRT rasters name other files and are not read; use a GeoTIFF"},
        {write("remote.vrt", testsupport::rawVrt("/vsicurl/" + listener.url("x.bin"))), ": VRT rasters name other files"},
        {"/vsicurl/" + listener.url("dem.tif"), ": GDAL's virtual file names (/vsi"},
        {listener.url("dem.tif"), ": it is a URL"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const QString out = dir.filePath("out");
        const Outcome o = orovista({"generate", "--preset", preset, "--out", out, "--heightmap-in", c.file, "--quiet"});
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(o.err.startsWith(QStringLiteral("orovista: cannot read the heightmap ") + c.file)) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(QLatin1String(c.says))) << o.err.toStdString();
        EXPECT_EQ(o.err.count('\n'), 1) << "one line";
        EXPECT_FALSE(QDir(out).exists()) << "nothing written";
    }
    EXPECT_EQ(listener.connections(), 0);
    const Outcome o = orovista({"generate", "--preset", preset, "--heightmap-in", holes, "--raw-size", "x"});
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(o.err.contains(QStringLiteral("--raw-size needs a whole number"))) << o.err.toStdString();
}

}   // namespace
