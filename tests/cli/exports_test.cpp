// `orovista generate` for engines and batch runs: engine heightmaps and their import values,
// flipped rows, the splat map, the textured OBJ, --set, --seed and --save-preset.
#include "graph/noisesettings.h"
#include "presets/presetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using namespace orovista;

const QString resources = QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData");

struct Outcome {
    int status;
    QString out, err;
};

class Exports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        NoiseSettings s;
        s.input[0].type = int(NoiseType::Perlin);
        s.input[1].type = int(NoiseType::Billow);
        s.final.leftGradient = QStringLiteral("alpine.bmp");
        s.final.rightGradient = QStringLiteral("desert.bmp");
        preset = writePreset("quick.opf", s);
    }

    QString writePreset(const char *name, const NoiseSettings &s)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(presets::write(s));
        return path;
    }

    /// A run into out/FOLDER with the quick preset (or another) and more arguments.
    Outcome run(const QString &folder, const QStringList &more, const QString &with = QString())
    {
        QProcess p;
        p.start(QStringLiteral(OROVISTA_CLI), QStringList{"generate", "--preset", with.isEmpty() ? preset : with, "--out",
                                                          dir.filePath(folder), "--resources", resources, "--quiet"} + more);
        EXPECT_TRUE(p.waitForFinished(600000));
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
    }

    QByteArray bytes(const QString &folder, const QString &file)
    {
        QFile f(dir.filePath(folder + QLatin1Char('/') + file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QJsonObject json(const QString &folder, const QString &file)
    {
        return QJsonDocument::fromJson(bytes(folder, file)).object();
    }

    QTemporaryDir dir;
    QString preset;
};

TEST_F(Exports, UnityRawAndItsImportValues)
{
    const Outcome r = run("unity", {"--engine", "unity", "--terrain-size", "800", "--elevation", "0:40"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(bytes("unity", "my Terrain 1_unity.raw").size(), 2 * 1025 * 1025);
    const QJsonObject sidecar = json("unity", "my Terrain 1_unity.json");
    EXPECT_EQ(sidecar["size"].toInt(), 1025);
    const QJsonObject import = sidecar["import"].toObject();
    EXPECT_EQ(import["Terrain Width"].toDouble(), 800.0);
    EXPECT_EQ(import["Byte Order"].toString(), QStringLiteral("Windows"));
    EXPECT_TRUE(import["Flip Vertically"].toBool());
    EXPECT_NEAR(import["Terrain Height"].toDouble(), sidecar["metresAt65535"].toDouble() - sidecar["metresAt0"].toDouble(), 1e-9);
    EXPECT_TRUE(r.out.contains("Import Raw: Depth Bit 16, Resolution 1025, Byte Order Windows, Flip Vertically on"))
        << r.out.toStdString();

    // Flipped rows: the same samples, rows the other way round, and no flip asked of Unity.
    const Outcome f = run("flipped", {"--engine", "unity", "--terrain-size", "800", "--elevation", "0:40", "--flip-rows"});
    ASSERT_EQ(f.status, 0) << f.err.toStdString();
    const QByteArray plain = bytes("unity", "my Terrain 1_unity.raw"), flipped = bytes("flipped", "my Terrain 1_unity.raw");
    ASSERT_EQ(plain.size(), flipped.size());
    const int row = 2 * 1025;
    EXPECT_EQ(flipped.left(row), plain.right(row));
    EXPECT_EQ(flipped.right(row), plain.left(row));
    EXPECT_FALSE(json("flipped", "my Terrain 1_unity.json")["import"].toObject()["Flip Vertically"].toBool());
    EXPECT_TRUE(json("flipped", "my Terrain 1_unity.json")["rowOrder"].toString().contains("+z edge"));
}

TEST_F(Exports, UnrealSizesAndTheirImportValues)
{
    const Outcome r = run("unreal", {"--engine", "unreal", "--engine-size", "505", "--heightmap", "png16", "--heightmap-size",
                                     "505", "--elevation", "0:15", "--terrain-size", "1000"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage png = QImage::fromData(bytes("unreal", "my Terrain 1_unreal.png"));
    EXPECT_EQ(png.size(), QSize(505, 505));
    EXPECT_EQ(png.format(), QImage::Format_Grayscale16);
    EXPECT_EQ(bytes("unreal", "my Terrain 1_unreal.r16").size(), 2 * 505 * 505);
    // The engine's file is the run's surface at its count: the same heights as the heightmap of
    // that size.
    EXPECT_EQ(bytes("unreal", "my Terrain 1_unreal.png"), bytes("unreal", "my Terrain 1_height.png"));
    const QJsonObject import = json("unreal", "my Terrain 1_unreal.json")["import"].toObject();
    const double range = json("unreal", "my Terrain 1_unreal.json")["metresAt65535"].toDouble() -
                         json("unreal", "my Terrain 1_unreal.json")["metresAt0"].toDouble();
    EXPECT_NEAR(import["Scale"].toArray()[2].toDouble(), range * 100.0 / 512.0, 1e-9);
    EXPECT_NEAR(import["Scale"].toArray()[0].toDouble(), 1000.0 * 100.0 / 504.0, 1e-9);
    EXPECT_TRUE(r.out.contains("Landscape Scale")) << r.out.toStdString();

    const Outcome bad = run("bad", {"--engine", "unreal", "--engine-size", "1025"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains("--engine-size for Unreal must be one of 127, 253, 505, 1009, 2017, 4033, 8129"))
        << bad.err.toStdString();
    EXPECT_EQ(run("bad", {"--engine", "godot"}).status, 2);
}

TEST_F(Exports, SplatMapAndTexturedObj)
{
    const Outcome r = run("obj", {"--splat", "--obj-normals", "--obj-material", "--normal-map", "512"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage splat = QImage::fromData(bytes("obj", "my Terrain 1_splat.png"));
    ASSERT_EQ(splat.size(), QSize(512, 512));
    for (int y = 0; y < 512; y += 7)
        for (int x = 0; x < 512; x += 7) {
            const QRgb p = splat.pixel(x, y);
            ASSERT_EQ(qRed(p) + qGreen(p) + qBlue(p) + qAlpha(p), 255) << x << "," << y;
        }
    const QList<QByteArray> obj = bytes("obj", "my Terrain 1.obj").split('\n');
    EXPECT_EQ(obj[0], "mtllib my_Terrain_1.mtl");
    EXPECT_TRUE(obj.contains("usemtl my_Terrain_1"));
    EXPECT_TRUE(obj[1 + 2 * 512 * 512].startsWith("vn "));
    const QByteArray mtl = bytes("obj", "my_Terrain_1.mtl");
    EXPECT_TRUE(mtl.contains("map_Kd my Terrain 1.jpg"));
    EXPECT_TRUE(mtl.contains("norm NormalMap_my Terrain 1.jpg"));
}

TEST_F(Exports, SetSeedAndSavePresetMakeTheSameTerrainAgain)
{
    // --set I1octaves=3 is the preset with that value.
    NoiseSettings three;
    three.input[0].type = int(NoiseType::Perlin);
    three.input[1].type = int(NoiseType::Billow);
    three.input[0].octaves = 3;
    three.final.leftGradient = QStringLiteral("alpine.bmp");
    three.final.rightGradient = QStringLiteral("desert.bmp");
    ASSERT_EQ(run("set", {"--set", "I1octaves=3"}).status, 0);
    ASSERT_EQ(run("three", {}, writePreset("three.opf", three)).status, 0);
    EXPECT_EQ(bytes("set", "my Terrain 1.obj"), bytes("three", "my Terrain 1.obj"));
    EXPECT_NE(bytes("set", "my Terrain 1.obj"), QByteArray());

    // --seed reseeds every seeded node; the saved preset holds it and makes the same terrain.
    const QString saved = dir.filePath("saved.opf");
    ASSERT_EQ(run("seed", {"--seed", "40", "--save-preset", saved}).status, 0);
    NoiseSettings read;
    ASSERT_GT(presets::readFile(saved, read, {}).keysRead, 60);
    EXPECT_EQ(read.input[0].seed, 6);
    EXPECT_EQ(read.input[1].seed, 6);
    EXPECT_EQ(read.combiner.control.seed, 6);
    EXPECT_EQ(read.final.turbulenceSeed, 6);
    EXPECT_NE(bytes("seed", "my Terrain 1.obj"), bytes("set", "my Terrain 1.obj"));
    ASSERT_EQ(run("again", {}, saved).status, 0);
    EXPECT_EQ(bytes("again", "my Terrain 1.obj"), bytes("seed", "my Terrain 1.obj"));

    const Outcome bad = run("bad", {"--set", "noSuchKey=3"});
    EXPECT_EQ(bad.status, 2) << "a bad argument";
    EXPECT_TRUE(bad.err.contains("no preset key \"noSuchKey\"")) << bad.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("bad/my Terrain 1.obj")));
}

// A preset the user made read-only is not replaced (renaming over it would need only the folder's
// permission), and the run writes nothing; a writable one is replaced only by a run that succeeds.
TEST_F(Exports, SavePresetRespectsAReadOnlyFileAndAFailedRun)
{
    const QString saved = dir.filePath("kept.opf");
    auto content = [&] {
        QFile f(saved);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    {
        QFile f(saved);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("I1octaves=7\n");
    }
    ASSERT_TRUE(QFile::setPermissions(saved, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const Outcome refused = run("readonly", {"--save-preset", saved});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "orovista: cannot write " + saved + ": Permission denied\n");
    EXPECT_EQ(content(), "I1octaves=7\n");
    EXPECT_EQ(QFileInfo(saved).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0)
        << "still read-only";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("readonly/my Terrain 1.obj")));

    ASSERT_TRUE(QFile::setPermissions(saved, QFile::ReadOwner | QFile::WriteOwner));
    const Outcome sceneless = run("failed", {"--save-preset", saved, "--scene", dir.filePath("no/such/folder/s.gltf")});
    EXPECT_EQ(sceneless.status, 1) << sceneless.err.toStdString();
    EXPECT_EQ(content(), "I1octaves=7\n") << "the run failed: the preset is not written";
    ASSERT_EQ(run("saved", {"--save-preset", saved}).status, 0);
    NoiseSettings read;
    EXPECT_GT(presets::readFile(saved, read, {}).keysRead, 60);
}

// A name with spaces still makes a textured OBJ whose "mtllib" line names one file.
TEST_F(Exports, TerrainNamesWithSpacesKeepTheirMaterialLines)
{
    const Outcome r = run("named", {"--obj-material", "--name", "north  ridge é"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QList<QByteArray> obj = bytes("named", "north  ridge é.obj").split('\n');
    EXPECT_EQ(obj.value(0), QString("mtllib north__ridge_é.mtl").toUtf8());
    EXPECT_TRUE(obj.contains(QString("usemtl north__ridge_é").toUtf8()));
    EXPECT_TRUE(bytes("named", "north__ridge_é.mtl").contains(QString("map_Kd north  ridge é.jpg").toUtf8()));
}

// A 4 × 4 world: neighbours share their overlap samples exactly, in value and in metres; one tile
// made alone (as a job runner would) is the same file; the manifest places every tile.
TEST_F(Exports, TiledWorldsHaveNoSeams)
{
    const Outcome r = run("tiles", {"--tiles", "4", "--overlap", "1", "--heightmap", "png16", "--heightmap-size", "65",
                                    "--terrain-size", "1000"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    auto tile = [&](const char *folder, int i, int j) {
        return QImage::fromData(bytes(folder, QStringLiteral("my Terrain 1_height_x%1_y%2.png").arg(i).arg(j)));
    };
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            const QImage t = tile("tiles", i, j);
            ASSERT_EQ(t.size(), QSize(65, 65)) << i << "," << j;
            if (i < 3) {
                const QImage right = tile("tiles", i + 1, j);
                for (int y = 0; y < 65; ++y)
                    ASSERT_EQ(t.pixelColor(64, y).rgba64(), right.pixelColor(0, y).rgba64()) << i << "," << j << " row " << y;
            }
            if (j < 3) {
                const QImage next = tile("tiles", i, j + 1);
                for (int x = 0; x < 65; ++x)
                    ASSERT_EQ(t.pixelColor(x, 64).rgba64(), next.pixelColor(x, 0).rgba64()) << i << "," << j << " column " << x;
            }
        }
    // Not one flat tile: the world has relief in every tile row.
    EXPECT_NE(tile("tiles", 0, 0), tile("tiles", 3, 3));

    const QJsonObject manifest = json("tiles", "my Terrain 1_tiles.json");
    EXPECT_EQ(manifest["worldSamples"].toInt(), 4 * 64 + 1);
    EXPECT_EQ(manifest["list"].toArray().size(), 16);
    const QJsonObject last = manifest["list"].toArray()[15].toObject();
    EXPECT_EQ(last["column"].toInt(), 3);
    EXPECT_EQ(last["firstSampleRow"].toInt(), 192);
    EXPECT_NEAR(last["x"].toDouble(), -500.0 + 192 * 1000.0 / 256, 1e-9);
    EXPECT_TRUE(manifest["seams"].toString().contains("exactly"));

    const Outcome alone = run("alone", {"--tiles", "4", "--tile", "2,1", "--heightmap", "png16", "--heightmap-size", "65",
                                        "--terrain-size", "1000"});
    ASSERT_EQ(alone.status, 0) << alone.err.toStdString();
    EXPECT_EQ(bytes("alone", "my Terrain 1_height_x2_y1.png"), bytes("tiles", "my Terrain 1_height_x2_y1.png"));
    EXPECT_FALSE(QFile::exists(dir.filePath("alone/my Terrain 1_height_x0_y0.png")));
    EXPECT_EQ(run("bad", {"--tiles", "4", "--tile", "4,0"}).status, 2);

    // Engine tiles: the engine's files under the names its tiled importer reads, each with the
    // import values that put it in its place (Unreal also gets its .r16).
    const Outcome unreal = run("unreal-tiles", {"--tiles", "2", "--engine", "unreal", "--engine-size", "127",
                                                "--terrain-size", "1000", "--elevation", "0:300"});
    ASSERT_EQ(unreal.status, 0) << unreal.err.toStdString();
    const double spacing = 1000.0 / (2 * 126);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const QString base = QStringLiteral("my Terrain 1_unreal_x%1_y%2").arg(i).arg(j);
            EXPECT_EQ(QImage::fromData(bytes("unreal-tiles", base + ".png")).size(), QSize(127, 127));
            EXPECT_EQ(bytes("unreal-tiles", base + ".r16").size(), 2 * 127 * 127);
            const QJsonObject import = json("unreal-tiles", base + ".json")["import"].toObject();
            EXPECT_NEAR(import["Location"].toArray()[0].toDouble(), (-500.0 + i * 126 * spacing) * 100.0, 1e-6);
            EXPECT_NEAR(import["Location"].toArray()[1].toDouble(), (-500.0 + j * 126 * spacing) * 100.0, 1e-6);
            EXPECT_NEAR(import["Scale"].toArray()[0].toDouble(), spacing * 100.0, 1e-9);
        }
    const Outcome unity = run("unity-tiles", {"--tiles", "2", "--engine", "unity", "--engine-size", "129",
                                              "--terrain-size", "1000"});
    ASSERT_EQ(unity.status, 0) << unity.err.toStdString();
    // Unity's Z is our −z: tile row 0 (our −z edge) lies at Unity's far side.
    const QJsonObject first = json("unity-tiles", "my Terrain 1_unity_x1_y0.json")["import"].toObject();
    EXPECT_NEAR(first["Position"].toArray()[0].toDouble(), -500.0 + 128 * 1000.0 / 256, 1e-6);
    EXPECT_NEAR(first["Position"].toArray()[2].toDouble(), 0.0, 1e-6);
    EXPECT_EQ(first["Terrain Width"].toDouble(), 500.0);
}

TEST_F(Exports, EveryHeightmapOfARunIsTheMeshsSurface)
{
    // One run, one surface: heightmaps of any size, engine files and tiles are all the terrain the
    // mesh is built from, in one metre scale, with erosion as without.
    for (const ErosionType erosion : {ErosionType::Hydraulics, ErosionType::Thermal}) {
        SCOPED_TRACE(int(erosion));
        NoiseSettings s;
        s.input[0].type = int(NoiseType::MultiFractal);
        s.input[1].type = int(NoiseType::Billow);
        s.final.leftGradient = QStringLiteral("alpine.bmp");
        s.final.rightGradient = QStringLiteral("desert.bmp");
        s.final.erosionType = int(erosion);
        s.final.erosionIterations = 40;
        s.final.erosionRain = 30;
        const QString eroded = writePreset("eroded.opf", s);
        auto heights = [&](const QString &folder, const QString &file) {
            const QImage image = QImage::fromData(bytes(folder, file));
            std::vector<quint16> v;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    v.push_back(image.pixelColor(x, y).rgba64().red());
            return std::pair{image.width(), v};
        };
        const QStringList common{"--heightmap", "png16", "--terrain-size", "2000", "--elevation", "0:800"};
        ASSERT_EQ(run("mesh", common, eroded).status, 0);
        ASSERT_EQ(run("fine", common + QStringList{"--heightmap-size", "1023", "--engine", "unreal", "--engine-size", "1009",
                                                   "--texture-size", "1024", "--normal-map", "2048", "--node-maps", "raw"},
                      eroded).status, 0);
        ASSERT_EQ(run("world", common + QStringList{"--heightmap-size", "1024"}, eroded).status, 0);
        ASSERT_EQ(run("tiles", common + QStringList{"--heightmap-size", "342", "--tiles", "3"}, eroded).status, 0);
        ASSERT_EQ(run("tile", common + QStringList{"--heightmap-size", "342", "--tiles", "3", "--tile", "1,2"}, eroded).status, 0);

        // The 512 heightmap is the mesh; at 1023 every second sample is a mesh vertex, the same value.
        const auto [n, mesh] = heights("mesh", "my Terrain 1_height.png");
        const auto [m, fine] = heights("fine", "my Terrain 1_height.png");
        ASSERT_EQ(n, 512);
        ASSERT_EQ(m, 1023);
        int different = 0;
        for (int r = 0; r < 512; ++r)
            for (int c = 0; c < 512; ++c)
                different += mesh[std::size_t(r) * 512 + c] != fine[std::size_t(2 * r) * 1023 + 2 * c];
        EXPECT_EQ(different, 0);
        // One scale for every file of the run: the surface's lowest and highest.
        const QJsonObject sidecar = json("fine", "my Terrain 1_height.json");
        for (const QJsonObject &other : {json("mesh", "my Terrain 1_height.json"), json("fine", "my Terrain 1_unreal.json"),
                                         json("tiles", "my Terrain 1_tiles.json")}) {
            EXPECT_EQ(other["metresAt0"].toDouble(), sidecar["metresAt0"].toDouble());
            EXPECT_EQ(other["metresAt65535"].toDouble(), sidecar["metresAt65535"].toDouble());
            EXPECT_EQ(other["surfaceSamples"].toInt(), 512);
            EXPECT_EQ(other["deviation"].toDouble(), 0.0);
        }
        EXPECT_NEAR(sidecar["metresAt65535"].toDouble() - sidecar["metresAt0"].toDouble(), 800.0, 1.0);

        // The 3 × 3 tiles of 342 samples, sharing a row and a column, are the 1024 world cut up,
        // and a tile made in a run of its own is the same tile.
        const auto [w, world] = heights("world", "my Terrain 1_height.png");
        ASSERT_EQ(w, 1024);
        different = 0;
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i) {
                const auto [t, tile] = heights("tiles", QStringLiteral("my Terrain 1_height_x%1_y%2.png").arg(i).arg(j));
                ASSERT_EQ(t, 342);
                for (int r = 0; r < 342; ++r)
                    for (int c = 0; c < 342; ++c)
                        different += tile[std::size_t(r) * 342 + c] != world[std::size_t(j * 341 + r) * 1024 + i * 341 + c];
            }
        EXPECT_EQ(different, 0);
        EXPECT_EQ(bytes("tile", "my Terrain 1_height_x1_y2.png"), bytes("tiles", "my Terrain 1_height_x1_y2.png"));
        EXPECT_EQ(json("tiles", "my Terrain 1_tiles.json")["seamError"].toDouble(), 0.0);

        // The texture and the normal map stand on the eroded surface: the texture pass's heights
        // (every second one lies on a mesh vertex) depart from it by at most the deviation stated,
        // under 1 % of the range.
        auto floats = [&](const QString &file) {
            const QByteArray raw = bytes("fine", file);
            std::vector<float> v(std::size_t(raw.size()) / sizeof(float));
            std::memcpy(v.data(), raw.constData(), v.size() * sizeof(float));
            return v;
        };
        const std::vector<float> surface = floats("my Terrain 1_final.raw");
        const std::vector<float> texture = floats("texture_my Terrain 1_final.raw");
        ASSERT_EQ(surface.size(), 512u * 512u);
        ASSERT_EQ(texture.size(), 1024u * 1024u);
        const QJsonObject pictures = json("fine", "my Terrain 1_texture.json");
        const double deviation = pictures["textureDeviation"].toDouble();
        EXPECT_GT(deviation, 0.0);
        EXPECT_LT(deviation, 8.0);
        EXPECT_LT(pictures["normalMapDeviation"].toDouble(), 8.0);
        const auto [lo, hi] = std::minmax_element(surface.begin(), surface.end());
        const double metresPerValue = 800.0 / (*hi - *lo);
        double largest = 0.0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x)
                largest = std::max(largest, std::fabs(double(texture[std::size_t(1023 - 2 * y) * 1024 + 2 * x]) -
                                                      surface[std::size_t(511 - y) * 512 + x]) *
                                                metresPerValue);
        EXPECT_LE(largest, deviation + 0.01);
    }
}

TEST_F(Exports, EveryNativePresetsHeightmapStandsOnItsMesh)
{
    // Each native preset as it comes (some erode): the 1023 heightmap's every second sample is a
    // vertex of the OBJ, at the vertex's height within one 16-bit step and the OBJ's printed digits,
    // and the texture departs from that surface by less than 1 % of the range.
    const QStringList presets =
        QDir(resources + QStringLiteral("/presets")).entryList({QStringLiteral("*.opf")}, QDir::Files, QDir::Name);
    ASSERT_GE(presets.size(), 10);
    for (const QString &file : presets) {
        SCOPED_TRACE(file.toStdString());
        const Outcome r = run("native", {"--heightmap", "png16", "--heightmap-size", "1023", "--terrain-size", "1500",
                                         "--elevation", "-50:600"},
                              resources + QStringLiteral("/presets/") + file);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        const QImage png = QImage::fromData(bytes("native", "my Terrain 1_height.png"));
        ASSERT_EQ(png.size(), QSize(1023, 1023));
        const QJsonObject sidecar = json("native", "my Terrain 1_height.json");
        const double low = sidecar["metresAt0"].toDouble(), high = sidecar["metresAt65535"].toDouble();
        const double step = (high - low) / 65535.0;
        QFile obj(dir.filePath("native/my Terrain 1.obj"));
        ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
        int vertex = 0, worse = 0;
        double worst = 0.0;
        while (!obj.atEnd()) {
            const QByteArray line = obj.readLine();
            if (!line.startsWith("v "))
                continue;
            const int row = vertex / 512, column = vertex % 512;
            ++vertex;
            const double y = line.split(' ').value(2).toDouble();
            const double sample = low + step * png.pixelColor(2 * column, 2 * row).rgba64().red();
            worst = std::max(worst, std::abs(sample - y));
            worse += std::abs(sample - y) > step + 0.001;
        }
        EXPECT_EQ(vertex, 512 * 512);
        EXPECT_EQ(worse, 0) << "worst " << worst << " m, one step " << step << " m";
        // The texture stands on the same surface, its finer detail within 1 % of the range.
        const QJsonObject pictures = json("native", "my Terrain 1_texture.json");
        EXPECT_LE(pictures["textureDeviation"].toDouble(), 0.01 * (high - low));
    }
}

}   // namespace
