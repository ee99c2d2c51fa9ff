// The command line: argument checking with its messages and status, and a whole run's files.
#include "cli/generate.h"
#include "graph/noisemachine.h"
#include "noise/noisemap.h"
#include "presets/presetfile.h"
#include "sky/skymodel.h"

#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace orovista;

const QString resources = QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData");

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

/// A small, quick preset: two Perlin branches, thermal erosion, two gradients.
QString writePreset(const QTemporaryDir &dir)
{
    NoiseSettings s;
    s.input[0].type = int(NoiseType::Perlin);
    s.input[1].type = int(NoiseType::Billow);
    s.final.leftGradient = QStringLiteral("alpine.bmp");
    s.final.rightGradient = QStringLiteral("desert.bmp");
    s.final.erosionType = int(ErosionType::Thermal);
    s.final.erosionIterations = 5;
    const QString path = dir.filePath(QStringLiteral("quick.opf"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(presets::write(s));
    return path;
}

TEST(CommandLine, RefusesBadArgumentsWithAMessageAndStatus)
{
    QTemporaryDir dir;
    const QString preset = writePreset(dir);
    struct Case {
        QStringList args;
        int status;
        const char *says;
    };
    // Work files: one that opens, one that does not, options that cannot go with one.
    const QString workFile = dir.filePath(QStringLiteral("bare.orovista"));
    {
        QFile w(workFile);
        EXPECT_TRUE(w.open(QIODevice::WriteOnly));
        w.write("{\"format\": \"orovista-work\", \"version\": 1, \"nodes\": \"I1Type=3\\n\"}");
        QFile newer(dir.filePath(QStringLiteral("newer.orovista")));
        EXPECT_TRUE(newer.open(QIODevice::WriteOnly));
        newer.write("{\"format\": \"orovista-work\", \"version\": 2, \"nodes\": \"\"}");
    }
    const Case cases[] = {
        {{"generate", "--work", workFile, "--preset", preset}, 2, "--preset cannot be used with --work"},
        {{"generate", "--work", workFile, "--set", "I1octaves=3"}, 2, "--set cannot be used with --work"},
        {{"generate", "--work", workFile, "--elevation", "0:40"}, 2, "--elevation cannot be used with --work"},
        {{"generate", "--work", dir.filePath("missing.orovista")}, 1, "cannot open the work"},
        {{"generate", "--work", dir.filePath("newer.orovista")}, 1, "from a newer version of OROVISTA"},
        {{"generate", "--work", preset}, 1, "not a work file"},
        {{}, 2, "no command"},
        {{"fly"}, 2, "unknown command"},
        {{"generate", "--colour", "red"}, 2, "Unknown option"},
        {{"generate"}, 2, "no preset given"},
        {{"generate", "--preset", preset, "--texture-size", "333"}, 2, "--texture-size must be one of"},
        {{"generate", "--preset", preset, "--texture-size", "big"}, 2, "needs a whole number"},
        {{"generate", "--preset", preset, "--normal-map", "100"}, 2, "--normal-map must be one of"},
        {{"generate", "--preset", preset, "--elevation", "5:3"}, 2, "--elevation LOW:HIGH"},
        {{"generate", "--preset", preset, "--elevation", "10"}, 2, "--elevation needs LOW:HIGH"},
        {{"generate", "--preset", preset, "--terrain-size", "0"}, 2, "--terrain-size must lie"},
        {{"generate", "--preset", preset, "--bump", "9"}, 2, "--bump must lie"},
        {{"generate", "--preset", preset, "--heightmap", "png16,tiff"}, 2, "unknown heightmap format \"tiff\""},
        {{"generate", "--preset", preset, "--name", "a/b"}, 2, "bad terrain name"},
        {{"generate", "--preset", preset, "--sky", "3000"}, 2, "--sky must be 4096, 8192 or 16384"},
        {{"generate", "--preset", preset, "--sky", "128"}, 2, "--sky must be"},
        {{"generate", "--preset", preset, "--sky", "0"}, 2, "--sky must be"},
        {{"generate", "--preset", preset, "--sky", "huge"}, 2, "--sky needs a whole number"},
        {{"generate", "--preset", preset, "--sky", "256", "--sun-pitch", "91"}, 2, "--sun-pitch must lie between 0 and 90"},
        {{"generate", "--preset", preset, "--sun-azimuth", "-1"}, 2, "--sun-azimuth must lie between 0 and 360"},
        {{"generate", "--preset", preset, "--turbidity", "10.01"}, 2, "--turbidity must lie between 0 and 10, not 10.01"},
        {{"generate", "--preset", preset, "--turbidity", "200"}, 2, "--turbidity must lie between 0 and 10, not 200"},
        {{"generate", "--preset", preset, "--turbidity", "hazy"}, 2, "--turbidity needs a number between 0 and 10"},
        {{"generate", "--preset", dir.filePath("missing.opf"), "--out", dir.filePath("o")}, 1, "cannot read preset"},
        {{"generate", "--preset", dir.path(), "--out", dir.filePath("o")}, 1, "not a file"},
        {{"generate", "--preset", preset, "--out", preset + "/inside"}, 1, "cannot create the output folder"},
    };
    for (const Case &c : cases) {
        const Outcome r = orovista(c.args + QStringList{"--resources", resources});
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("orovista: ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << "one line: " << r.err.toStdString();
    }
    QFile blank(dir.filePath("blank.opf"));
    ASSERT_TRUE(blank.open(QIODevice::WriteOnly));
    blank.write("hello\nworld\n");
    blank.close();
    const Outcome empty = orovista({"generate", "--preset", blank.fileName(), "--out", dir.filePath("o"), "--resources", resources});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.err.contains("holds no preset settings")) << empty.err.toStdString();
    // A work without a terrain yet builds its graph's terrain, with the options given beside it.
    const Outcome bare = orovista({"generate", "--work", workFile, "--out", dir.filePath("w"), "--name", "bare", "--quiet",
                                   "--resources", resources});
    EXPECT_EQ(bare.status, 0) << bare.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("w/bare.obj")));
}

// Values the command line gives are taken whole or refused: never clamped, never read as 0, and
// nothing is written for a refused run.
TEST(CommandLine, RefusesValuesOutOfRangeOrNotNumbers)
{
    QTemporaryDir dir;
    const QString preset = writePreset(dir);
    const QString out = dir.filePath("o");
    const std::pair<QStringList, const char *> cases[] = {
        {{"--set", "I1octaves=1000"}, "--set I1octaves=1000: I1octaves must lie between 1 and 30"},
        {{"--set", "I1octaves=0"}, "--set I1octaves=0: I1octaves must lie between 1 and 30"},
        {{"--set", "I2frequency=nan"}, "--set I2frequency=nan: I2frequency needs a whole number between 1 and 100"},
        {{"--set", "C1quality=abc"}, "--set C1quality=abc: C1quality needs a whole number between 1 and 3"},
        {{"--set", "erosionIterations=2.5"}, "erosionIterations needs a whole number between 0 and 1000"},
        {{"--set", "I1octaves="}, "I1octaves needs a whole number between 1 and 30"},
        {{"--set", "I1GaborAnisotropic=5"}, "I1GaborAnisotropic must lie between 0 and 2"},
        {{"--set", "noSuchKey=3"}, "--set noSuchKey=3: no preset key \"noSuchKey\""},
        {{"--tiles", "0"}, "--tiles must lie between 1 and 64, not 0"},
        {{"--tiles", "65"}, "--tiles must lie between 1 and 64, not 65"},
        {{"--tiles", "2", "--overlap", "-1"}, "--overlap must lie between 0 and the tile size less one, not -1"},
        {{"--overlap", "-1"}, "--overlap must lie"},
        {{"--overlap", "x"}, "--overlap needs a whole number"},
        {{"--seed", "abc"}, "--seed needs a whole number between -2147483648 and 2147483647, not \"abc\""},
        {{"--seed", "99999999999"}, "--seed needs a whole number"},
        {{"--texture-size", "99999999999"}, "--texture-size needs a whole number, one of 512"},
        {{"--heightmap-size", "1000000"}, "--heightmap-size must lie between 2 and 16384, not 1000000"},
        {{"--terrain-size", "1e9"}, "--terrain-size needs a whole number between 1 and 100000"},
        {{"--normal-map", "0"}, "--normal-map must be one of"},
        {{"--engine", "unity", "--engine-size", "0"}, "--engine-size must be"},
        {{"--raw-size", "1"}, "--raw-size must lie between 2 and"},
        {{"--splat", "--splat-sand", "nan"}, "--splat-sand is a fraction of the elevation range, between 0 and 1, not nan"},
        {{"--splat", "--splat-rock", "inf"}, "--splat-rock is a slope in degrees, between 0 and 90, not inf"},
        {{"--name", "two\nlines"}, "bad terrain name: a name cannot contain a line break"},
        {{"--name", "a\tb"}, "bad terrain name"},
        {{"--name", "rock #2"}, "bad terrain name: OBJ and MTL files read what follows \"#\""},
    };
    for (const auto &[args, says] : cases) {
        const Outcome r = orovista(QStringList{"generate", "--preset", preset, "--out", out, "--resources", resources} + args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("orovista: "))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(says))) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << "one line: " << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out)) << args.join(' ').toStdString() << ": nothing is written";
    }
}

TEST(CommandLine, HelpVersionAndPresets)
{
    EXPECT_EQ(orovista({"--version"}).status, 0);
    QProcess p;
    p.start(QStringLiteral(OROVISTA_CLI), {"--help"});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().contains("--heightmap"));

    // A preset by the name the list gives it, in any case; a name it does not list is refused.
    QTemporaryDir out;
    const Outcome byName = orovista({"generate", "--preset", "Dunes", "--out", out.path(), "--resources", resources, "--quiet"});
    EXPECT_EQ(byName.status, 0) << byName.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(out.filePath("my Terrain 1.obj")));
    const Outcome unknown = orovista({"generate", "--preset", "no such land", "--out", out.path(), "--resources", resources});
    EXPECT_NE(unknown.status, 0);
    EXPECT_TRUE(unknown.err.contains("nor a name `orovista presets` lists")) << unknown.err.toStdString();
}

class Generate : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        cli::GenerateOptions o;
        o.preset = writePreset(*dir);
        o.outFolder = dir->filePath("out");
        o.resourceFolder = resources;
        o.terrainSize = 1000;
        o.elevationLow = -20;
        o.elevationHigh = 300;
        o.normalMapSize = 1024;
        o.heightmapFormats = {"png16", "r16", "exr"};
        o.nodeMaps = "exr";
        cli::GenerateOutput output;
        output.warning = [](const QString &w) { warnings << w; };
        problem = new QString(cli::generate(o, output));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        delete problem;
    }
    static QString out(const char *file) { return dir->filePath(QStringLiteral("out/") + file); }
    static QByteArray bytes(const char *file)
    {
        QFile f(out(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    /// The y of every "v" line, in order.
    static std::vector<float> objHeights()
    {
        std::vector<float> ys;
        for (const QByteArray &line : bytes("my Terrain 1.obj").split('\n'))
            if (line.startsWith("v "))
                ys.push_back(line.split(' ')[2].toFloat());
        return ys;
    }

    static inline QTemporaryDir *dir = nullptr;
    static inline QString *problem = nullptr;
    static inline QStringList warnings;
};

TEST_F(Generate, WritesEveryFile)
{
    ASSERT_TRUE(problem->isEmpty()) << problem->toStdString();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    for (const char *file : {"my Terrain 1.obj", "my Terrain 1.jpg", "NormalMap_my Terrain 1.jpg", "my Terrain 1_height.png",
                             "my Terrain 1_height.r16", "my Terrain 1_height.exr", "my Terrain 1_height.json",
                             "maps/HFFnoisePreview.jpg", "maps/TFFnoisePreview.jpg", "maps/C1ControlMap.jpg"})
        EXPECT_TRUE(QFile::exists(out(file))) << file;
    EXPECT_EQ(QImage(out("my Terrain 1.jpg")).size(), QSize(512, 512));
    EXPECT_EQ(QImage(out("NormalMap_my Terrain 1.jpg")).size(), QSize(1024, 1024));
    const QStringList leftovers = QDir(out("")).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression("part|XXXX|orovista-"));
    EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(' ').toStdString();
}

TEST_F(Generate, ObjSpansTheTerrain)
{
    const QList<QByteArray> lines = bytes("my Terrain 1.obj").split('\n');
    ASSERT_EQ(lines.size(), 512 * 512 * 2 + 511 * 511 + 1);
    EXPECT_TRUE(lines[0].startsWith("v -500 ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(" -500"));
    EXPECT_TRUE(lines[262143].startsWith("v 500 "));
    EXPECT_EQ(lines[262144], "vt 0 1");
    EXPECT_EQ(lines[524287], "vt 1 0");
    EXPECT_EQ(lines[524288], "f 1/1 513/513 514/514 2/2");
}

TEST_F(Generate, HeightmapsHoldTheMeshElevations)
{
    const std::vector<float> ys = objHeights();
    ASSERT_EQ(ys.size(), 512u * 512u);

    const QImage png(out("my Terrain 1_height.png"));
    EXPECT_EQ(png.format(), QImage::Format_Grayscale16);
    EXPECT_EQ(png.depth(), 16);
    quint16 lo = 65535, hi = 0;
    for (int y = 0; y < 512; ++y) {
        const auto *line = reinterpret_cast<const quint16 *>(png.constScanLine(y));
        for (int x = 0; x < 512; ++x) {
            lo = std::min(lo, line[x]);
            hi = std::max(hi, line[x]);
        }
    }
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 65535);

    const QByteArray raw = bytes("my Terrain 1_height.r16");
    ASSERT_EQ(raw.size(), 512 * 512 * 2);
    const auto *r16 = reinterpret_cast<const uchar *>(raw.constData());
    const auto *p = reinterpret_cast<const quint16 *>(png.constScanLine(7));
    EXPECT_EQ(qFromLittleEndian<quint16>(r16 + 2 * (7 * 512 + 33)), p[33]);

    Imf::InputFile exr(QFile::encodeName(out("my Terrain 1_height.exr")).constData());
    std::vector<float> metres(512 * 512);
    Imf::FrameBuffer frame;
    frame.insert("Y", Imf::Slice(Imf::FLOAT, reinterpret_cast<char *>(metres.data()), sizeof(float), sizeof(float) * 512));
    exr.setFrameBuffer(frame);
    exr.readPixels(0, 511);
    for (std::size_t i = 0; i < metres.size(); i += 997)
        EXPECT_NEAR(metres[i], ys[i], 5e-6f * std::max(1.0f, std::abs(ys[i]))) << i;   // the OBJ has 6 digits

    const QJsonObject json = QJsonDocument::fromJson(bytes("my Terrain 1_height.json")).object();
    EXPECT_EQ(json["size"].toInt(), 512);
    EXPECT_EQ(json["terrainSize"].toInt(), 1000);
    EXPECT_NEAR(json["metresAt0"].toDouble(), -20.0, 1e-4);
    EXPECT_NEAR(json["metresAt65535"].toDouble(), 300.0, 1e-3);
}

/// A float EXR's values, rows as stored.
std::vector<float> readFloatExr(const QString &path, int &size)
{
    Imf::InputFile exr(QFile::encodeName(path).constData());
    const Imath::Box2i window = exr.header().dataWindow();
    size = window.max.x - window.min.x + 1;
    std::vector<float> values(std::size_t(size) * std::size_t(size));
    Imf::FrameBuffer frame;
    frame.insert("Y", Imf::Slice(Imf::FLOAT, reinterpret_cast<char *>(values.data()), sizeof(float), sizeof(float) * size));
    exr.setFrameBuffer(frame);
    exr.readPixels(window.min.y, window.max.y);
    return values;
}

struct NodeRecorder : MachineObserver {
    void nodeDone(int node, const noise::utils::NoiseMap &map, const QString &, const QString &) override { maps[node] = map; }
    bool wantsNodeMaps() const override { return true; }
    void erode(noise::utils::NoiseMap &, const QString &) override {}
    std::map<int, noise::utils::NoiseMap> maps;
};

TEST_F(Generate, NodeMapsAreTheMachinesMapsValueForValue)
{
    // The machine run again on the same preset, at the terrain pass's size.
    NoiseSettings settings;
    QFile preset(dir->filePath("quick.opf"));
    ASSERT_TRUE(preset.open(QIODevice::ReadOnly));
    presets::read(preset.readAll(), settings, {});
    QTemporaryDir scratch;
    const MachineFolders folders{scratch.path(), resources + QStringLiteral("/resources/gradients")};
    MachineRun run;
    run.size = 512;
    noise::utils::NoiseMap finalMap;
    NodeRecorder recorder;
    runNoiseMachine(settings, run, folders, finalMap, noise::utils::ProgressReporter::Null(), recorder);
    ASSERT_FALSE(recorder.maps.empty());

    const QJsonObject json = QJsonDocument::fromJson(bytes("my Terrain 1_node_maps.json")).object();
    const QJsonArray files = json["files"].toArray();
    for (const auto &[node, map] : recorder.maps) {
        const QString file = QStringLiteral("my Terrain 1_node%1.exr").arg(node);
        EXPECT_TRUE(files.contains(file)) << node;
        int size = 0;
        const std::vector<float> values = readFloatExr(out(file.toUtf8().constData()), size);
        ASSERT_EQ(size, 512) << node;
        int differ = 0;
        for (int y = 0; y < 512; ++y)   // the pictures' row order: the map's last row first
            differ += std::memcmp(values.data() + std::size_t(y) * 512, map.GetConstSlabPtr(511 - y), 512 * sizeof(float)) != 0;
        EXPECT_EQ(differ, 0) << "node " << node;
    }
    int terrainPassFiles = 0;
    for (const auto &f : files)
        terrainPassFiles += !f.toString().startsWith("texture_");
    EXPECT_EQ(terrainPassFiles, int(recorder.maps.size()) + 2) << "the nodes the run builds and the two final maps";

    // Erosion runs between the two final maps; the texture pass has its own, at the texture size.
    int size = 0;
    const std::vector<float> before = readFloatExr(out("my Terrain 1_final_before_erosion.exr"), size);
    const std::vector<float> after = readFloatExr(out("my Terrain 1_final.exr"), size);
    EXPECT_NE(before, after);
    readFloatExr(out("texture_my Terrain 1_final.exr"), size);
    EXPECT_EQ(size, 512);
    EXPECT_EQ(json["texturePassSize"].toInt(), 512);
}

TEST(CommandLine, SedimentErosionWritesItsMapsAndRefusesThemWithoutIt)
{
    QTemporaryDir dir;
    const QString preset = writePreset(dir), out = dir.filePath("out");
    const QStringList base = {"generate", "--preset", preset, "--out", out, "--resources", resources, "--quiet"};

    // Thermal erosion makes no such maps: refused before anything is written.
    const Outcome refused = orovista(base + QStringList{"--erosion-maps"});
    EXPECT_NE(refused.status, 0);
    EXPECT_TRUE(refused.err.contains("--erosion-maps needs sediment erosion, but the terrain's erosion is \"thermal\""))
        << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out + "/my Terrain 1.obj"));

    const Outcome made = orovista(base + QStringList{"--set", "erosionType=5", "--set", "erosionIterations=20", "--set",
                                                     "sedimentErosion=200", "--terrain-size", "500", "--elevation",
                                                     "0:80", "--erosion-maps"});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    double sums[3] = {};
    const char *kinds[] = {"flow", "wear", "deposit"};
    for (int k = 0; k < 3; ++k) {
        int size = 0;
        const QString file = out + "/my Terrain 1_erosion_" + kinds[k];
        const std::vector<float> values = readFloatExr(file + ".exr", size);
        ASSERT_EQ(size, 512) << kinds[k];
        for (float v : values) {
            EXPECT_GE(v, 0.0f) << kinds[k];
            sums[k] += v;
        }
        const QImage grey(file + ".png");
        EXPECT_EQ(grey.size(), QSize(512, 512)) << kinds[k];
        EXPECT_TRUE(grey.isGrayscale()) << kinds[k];
    }
    EXPECT_GT(sums[0], 0.0);
    EXPECT_GT(sums[1], 0.0);
    // What was worn was laid down or ran off the edge: never more laid down than worn.
    EXPECT_GT(sums[2], 0.0);
    EXPECT_LE(sums[2], sums[1] * 1.0001);

    // The texture is darker along the great streams of the flow map (its rows lie as the map's)
    // than where the map turned upside down puts them.
    int size = 0;
    const std::vector<float> flow = readFloatExr(out + "/my Terrain 1_erosion_flow.exr", size);
    const QImage texture(out + "/my Terrain 1.jpg");
    ASSERT_EQ(texture.size(), QSize(size, size));
    const double top = std::log1p(double(*std::max_element(flow.begin(), flow.end())));
    const auto brightness = [&](bool flipped) {
        double sum = 0.0;
        int count = 0;
        for (int r = 0; r < size; ++r)
            for (int c = 0; c < size; ++c)
                if (std::log1p(double(flow[std::size_t(flipped ? size - 1 - r : r) * size + c])) >= 0.85 * top) {
                    sum += qGray(texture.pixel(c, r));
                    ++count;
                }
        return count > 100 ? sum / count : 0.0;
    };
    const double streams = brightness(false), elsewhere = brightness(true);
    EXPECT_GT(streams, 0.0);
    EXPECT_LT(streams, elsewhere * 0.8) << streams << " " << elsewhere;
}

TEST(CommandLine, SkyTextureWithTheSunWhereAsked)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const Outcome r = orovista({"generate", "--preset", writePreset(dir), "--out", out, "--resources", resources, "--quiet",
                                "--name", "dusk", "--sky", "256", "--sun-pitch", "10", "--sun-azimuth", "90",
                                "--turbidity", "3"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage sky(out + "/dusk_skyDome.jpg");
    ASSERT_EQ(sky.size(), QSize(256, 256));
    EXPECT_TRUE(QFile::exists(out + "/dusk.obj")) << "the terrain is written as well";

    // The zenith is the model's for the asked sun, not the default one (JPEG: a few levels off).
    sky::SkyParameters asked = sky::SkyParameters::defaults();
    asked.sunPitch = 10.0f;
    asked.sunAzimuth = 90.0f;
    asked.turbidity = 3.0f;
    asked.updateSun();
    const sky::SkyRgb zenith = sky::skyColor(asked, 90.0f, 0.0f);
    const QRgb pixel = sky.pixel(128, 0);
    EXPECT_NEAR(qRed(pixel), int(zenith.r * 255), 4);
    EXPECT_NEAR(qGreen(pixel), int(zenith.g * 255), 4);
    EXPECT_NEAR(qBlue(pixel), int(zenith.b * 255), 4);
    const sky::SkyRgb noon = sky::skyColor(sky::SkyParameters::defaults(), 90.0f, 0.0f);
    EXPECT_GT(std::abs(qBlue(pixel) - int(noon.b * 255)), 20) << "a low sun gives a darker sky";

    // Without --sky no sky texture.
    const QString plain = dir.filePath("plain");
    ASSERT_EQ(orovista({"generate", "--preset", writePreset(dir), "--out", plain, "--resources", resources, "--quiet"}).status, 0);
    EXPECT_FALSE(QFile::exists(plain + "/my Terrain 1_skyDome.jpg"));
}

// A run that cannot write, or that is stopped, leaves what the out folder held before.
class Interrupted : public ::testing::Test {
protected:
    void SetUp() override
    {
        preset = writePreset(dir);
        out = dir.filePath("out");
        const Outcome first = orovista(arguments());
        ASSERT_EQ(first.status, 0) << first.err.toStdString();
        before = texture();
        ASSERT_FALSE(before.isEmpty());
    }
    QStringList arguments() const
    {
        return {"generate", "--preset", preset, "--out", out, "--resources", resources, "--heightmap", "png16,r16"};
    }
    QByteArray texture() const
    {
        QFile f(out + "/my Terrain 1.jpg");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList temporaries() const
    {
        QStringList found;
        for (const QString &folder : {out, out + "/maps"})
            found += QDir(folder).entryList({"*.part"}, QDir::Files | QDir::Hidden);
        return found;
    }
    /// Every file under out/ (maps/ too) but the hidden temporaries, with its bytes.
    std::map<QString, QByteArray> everything() const
    {
        std::map<QString, QByteArray> files;
        QDirIterator it(out, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(".part"))
                continue;
            QFile f(path);
            files[QDir(out).relativeFilePath(path)] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
        return files;
    }
    /// The names of two maps: what changed between them.
    static QStringList differences(const std::map<QString, QByteArray> &a, const std::map<QString, QByteArray> &b)
    {
        QStringList changed;
        for (const auto &[name, bytes] : a)
            if (!b.count(name) || b.at(name) != bytes)
                changed << name;
        for (const auto &[name, bytes] : b)
            if (!a.count(name))
                changed << name + " (new)";
        return changed;
    }

    QTemporaryDir dir;
    QString preset, out;
    QByteArray before;
};

TEST_F(Interrupted, AFullDiskFailsTheRunAndKeepsTheEarlierFiles)
{
    QProcess p;
    // Files stop growing at 256 KiB: the pictures fit, the mesh does not.
    p.setChildProcessModifier([] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256 * 1024, 256 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(QStringLiteral(OROVISTA_CLI), arguments() << "--elevation" << "-50:400");
    ASSERT_TRUE(p.waitForFinished(600000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.contains("cannot write " + out)) << err.toStdString();
    EXPECT_TRUE(err.contains("File too large")) << err.toStdString();
    EXPECT_EQ(texture(), before) << "the texture of the earlier run is untouched";
    EXPECT_TRUE(temporaries().isEmpty()) << temporaries().join(' ').toStdString();
}

TEST_F(Interrupted, AStoppedRunLeavesNoTemporaries)
{
    for (const auto &[signal, status] : {std::pair{SIGTERM, 128 + SIGTERM}, std::pair{SIGINT, 128 + SIGINT}}) {
        QProcess p;
        p.start(QStringLiteral(OROVISTA_CLI), arguments() << "--texture-size" << "4096" << "--elevation" << "-50:400");
        ASSERT_TRUE(p.waitForStarted());
        // Stopped while the run's pictures are under way.
        for (int waited = 0; temporaries().isEmpty() && waited < 60000; waited += 5)
            QThread::msleep(5);
        ASSERT_FALSE(temporaries().isEmpty()) << "the run writes under temporary names";
        ::kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), status);
        EXPECT_TRUE(temporaries().isEmpty()) << temporaries().join(' ').toStdString();
        EXPECT_EQ(texture(), before);
    }
}

// Every output of a run lands together: a scene or preset that cannot be written costs the run
// all its files, the pictures in maps/ included, and the earlier run's stay byte for byte.
TEST_F(Interrupted, ALateFailureKeepsEveryEarlierFile)
{
    const QString sceneFolder = out + "/scene.gltf";
    ASSERT_TRUE(QDir().mkpath(sceneFolder));
    const std::map<QString, QByteArray> earlier = everything();
    ASSERT_GT(earlier.size(), 11u);
    const QStringList changed = {"--elevation", "-50:400", "--set", "I1octaves=3", "--normal-map", "512", "--sky", "256"};
    const std::pair<QStringList, QString> failures[] = {
        {{"--scene", sceneFolder}, "is a folder"},
        {{"--scene", out + "/missing/scene.glb"}, "does not exist"},
        {{"--save-preset", out + "/missing/saved.opf"}, "cannot write " + out + "/missing/saved.opf"},
    };
    for (const auto &[more, says] : failures) {
        const Outcome r = orovista(arguments() + changed + more);
        EXPECT_EQ(r.status, 1) << more.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(says)) << r.err.toStdString();
        EXPECT_EQ(differences(earlier, everything()), QStringList()) << more.join(' ').toStdString();
        EXPECT_TRUE(temporaries().isEmpty()) << temporaries().join(' ').toStdString();
    }
}

// A run killed outright (no chance to clean up) after its first pass: the earlier files stay whole,
// and the next run into the folder removes what the killed one left, but not what a run still
// going writes.
TEST_F(Interrupted, AKilledRunKeepsTheEarlierFilesAndTheNextRunClearsItsTemporaries)
{
    const std::map<QString, QByteArray> earlier = everything();
    QProcess p;
    p.start(QStringLiteral(OROVISTA_CLI), arguments() << "--texture-size" << "8192" << "--set" << "I1octaves=3");
    ASSERT_TRUE(p.waitForStarted());
    // Killed once the mesh is staged: the terrain pass and its pictures are through.
    auto meshStaged = [&] { return !QDir(out).entryList({".my Terrain 1.obj.*.part"}, QDir::Files | QDir::Hidden).isEmpty(); };
    for (int waited = 0; !meshStaged() && p.state() == QProcess::Running && waited < 120000; waited += 2)
        QThread::msleep(2);
    ASSERT_TRUE(meshStaged()) << "the run stages its mesh under a temporary name";
    ::kill(pid_t(p.processId()), SIGKILL);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(differences(earlier, everything()), QStringList()) << "maps/ included";
    const QStringList left = temporaries();
    ASSERT_FALSE(left.isEmpty()) << "a killed process cannot clean up";

    // A temporary named as one of a process still running (this test's) stays.
    const QString live = QString(left.first()).replace(QRegularExpression("-[0-9]+-([0-9a-f]{16})\\.part$"),
                                                       QStringLiteral("-%1-\\1.part").arg(::getpid()));
    ASSERT_NE(live, left.first());
    QFile running(QDir(out).filePath(live));
    ASSERT_TRUE(running.open(QIODevice::WriteOnly));
    running.close();

    const Outcome next = orovista(arguments());
    ASSERT_EQ(next.status, 0) << next.err.toStdString();
    EXPECT_EQ(temporaries(), QStringList{live});
}

}   // namespace
