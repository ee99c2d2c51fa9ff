// The noise machine: the maps and pictures of a run, the fused evaluation against the node-by-node
// one, and the module graph of each node type.
#include "graph/noisegraph.h"
#include "graph/noisemachine.h"
#include "noise/modules.h"
#include "plugin/runlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <sys/stat.h>
#include <cstring>
#include <map>

namespace {

using namespace orovista;
using noise::utils::NoiseMap;

/// Keeps a copy of every node's map and counts the warnings and erosion requests.
struct Recorder : MachineObserver {
    void warning(const QString &text) override { warnings << text; }
    void nodeDone(int node, const NoiseMap &map, const QString &h, const QString &c) override
    {
        maps[node] = map;
        order.push_back(node);
        heights[node] = h;
        colours[node] = c;
    }
    void erode(NoiseMap &, const QString &) override { ++erosions; }
    bool wantsNodeMaps() const override { return wholeMaps; }

    QStringList warnings;
    std::map<int, NoiseMap> maps;
    std::map<int, QString> heights, colours;
    std::vector<int> order;
    int erosions = 0;
    bool wholeMaps = false;   ///< every node's whole map (otherwise the pictures are made in bands)
};

/// A gradient picture running linearly from one colour to another.
void writeGradient(const QString &path, QColor from, QColor to)
{
    QImage image(2048, 4, QImage::Format_RGB32);
    for (int c = 0; c < 2048; ++c) {
        const double t = c / 2047.0;
        const QColor colour(int(from.red() + (to.red() - from.red()) * t + 0.5),
                            int(from.green() + (to.green() - from.green()) * t + 0.5),
                            int(from.blue() + (to.blue() - from.blue()) * t + 0.5));
        for (int r = 0; r < 4; ++r)
            image.setPixelColor(c, r, colour);
    }
    ASSERT_TRUE(image.save(path, "BMP"));
}

bool sameBits(const NoiseMap &a, const NoiseMap &b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(a.GetConstSlabPtr(y), b.GetConstSlabPtr(y), sizeof(float) * a.GetWidth()) != 0)
            return false;
    return true;
}

class Machine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folders.maps = dir.filePath("maps");
        folders.gradients = dir.filePath("gradients");
        QDir().mkpath(folders.maps);
        QDir().mkpath(folders.gradients);
        writeGradient(folders.gradients + "/black and white.bmp", Qt::black, Qt::white);
        writeGradient(folders.gradients + "/australia 2.bmp", QColor(120, 40, 10), QColor(240, 220, 160));
        writeGradient(folders.gradients + "/alpine.bmp", QColor(20, 60, 20), QColor(250, 250, 255));
        ASSERT_TRUE(runLog().open(dir.filePath("log.txt")));

        settings.input[0].type = int(NoiseType::Perlin);
        settings.input[0].seed = 3;
        settings.input[1].type = int(NoiseType::Voronoi);
        settings.input[1].seed = 7;
    }
    void TearDown() override { runLog().close(); }

    Recorder run(int size = 32, Evaluation evaluation = Evaluation::Fused, int threads = 2, bool wholeMaps = false,
                 int bandRows = 0)
    {
        Recorder recorder;
        recorder.wholeMaps = wholeMaps;
        MachineRun r;
        r.size = size;
        r.evaluation = evaluation;
        r.threads = threads;
        r.pictureBandRows = bandRows;
        r.shift = shift;
        runNoiseMachine(settings, r, folders, finalMap, noise::utils::ProgressReporter::Null(), recorder);
        return recorder;
    }

    QString log() const
    {
        QFile f(dir.filePath("log.txt"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString maps(const char *file) const { return folders.maps + '/' + file; }

    QTemporaryDir dir;
    MachineFolders folders;
    NoiseSettings settings;
    NoiseMap finalMap;
    const HeightShift *shift = nullptr;
};

/// Moves every value by an amount that depends on its row and on the value itself.
struct RowShift : HeightShift {
    void rowShift(int first, int count, int n, const std::function<const float *(int)> &finalRow,
                  float *out) const override
    {
        for (int r = 0; r < count; ++r)
            for (int x = 0; x < n; ++x)
                out[std::size_t(r) * n + x] = 0.25f * std::sin(float(first + r)) - 0.5f * finalRow(first + r)[x];
    }
};

TEST_F(Machine, EqualGradientsBuildSixNodesAndColourTheFinalMap)
{
    const Recorder r = run();
    EXPECT_EQ(log(), "noise node 1 generated\nnoise node 2 generated\nnoise node 3 generated\n"
                     "noise node 4 generated\nnoise node 5 generated\nnoise node 6 generated\n");
    EXPECT_EQ(r.order, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    for (const char *file : {"HI1noisePreview.jpg", "TI1noisePreview.jpg", "HI2noisePreview.jpg", "TI2noisePreview.jpg",
                             "HD1noisePreview.jpg", "TD1noisePreview.jpg", "HD2noisePreview.jpg", "TD2noisePreview.jpg",
                             "C1noisePreview.jpg", "HFFnoisePreview.jpg", "TFFnoisePreview.jpg"})
        EXPECT_EQ(QImage(maps(file)).size(), QSize(32, 32)) << file;
    for (const char *file : {"C1ControlMap.jpg", "TD1TurbulenceMap.jpg", "TD2TurbulenceMap.jpg"})
        EXPECT_FALSE(QFile::exists(maps(file))) << file;
    EXPECT_TRUE(r.warnings.isEmpty());
    EXPECT_TRUE(sameBits(finalMap, r.maps.at(5)));
    EXPECT_EQ(r.erosions, 0);
}

TEST_F(Machine, DifferentGradientsAddControlAndTurbulenceMaps)
{
    settings.final.rightGradient = "alpine.bmp";
    const Recorder r = run(48);
    EXPECT_TRUE(log().endsWith("noise node 6 generated\nnoise node 7 generated\nnoise node 8 generated\n"
                               "noise node 9 generated\n"));
    for (const char *file : {"C1ControlMap.jpg", "TD1TurbulenceMap.jpg", "TD2TurbulenceMap.jpg", "TFFnoisePreview.jpg"})
        EXPECT_EQ(QImage(maps(file)).size(), QSize(48, 48)) << file;
}

TEST_F(Machine, FusedEvaluationMatchesNodeByNodeBitForBit)
{
    // Every generator, deformer and combiner type, with the extra nodes of differing gradients.
    settings.final.rightGradient = "alpine.bmp";
    settings.final.turbulencePower = 80;
    settings.final.turbulenceFrequency = 150;
    settings.final.turbulenceRoughness = 3;
    for (int combiner = 0; combiner < 7; ++combiner) {
        settings.input[0].type = 1 + combiner % 9;
        settings.input[1].type = 1 + (combiner * 3 + 4) % 9;
        settings.deformer[0].type = combiner;
        settings.deformer[1].type = 7 - combiner;
        settings.deformer[0].curveProfile = 3;
        settings.deformer[1].terraceProfile = 5;
        settings.combiner.type = combiner;
        settings.combiner.control.type = int(NoiseType::Perlin);
        settings.combiner.edgeFalloff = 40;
        if (settings.input[0].type == int(NoiseType::Image))
            settings.input[0].type = int(NoiseType::Billow);
        if (settings.input[1].type == int(NoiseType::Image))
            settings.input[1].type = int(NoiseType::MultiFractal);

        const Recorder fused = run(24, Evaluation::Fused, 3, true);
        const Recorder perNode = run(24, Evaluation::PerNode, 1, true);
        ASSERT_EQ(fused.maps.size(), 9u);
        for (int node = 1; node <= 9; ++node)
            EXPECT_TRUE(sameBits(fused.maps.at(node), perNode.maps.at(node)))
                << "combiner " << combiner << " node " << node;
    }
}

TEST_F(Machine, CompositeFollowsTheControlNoise)
{
    settings.final.rightGradient = "alpine.bmp";
    settings.combiner.control.type = int(NoiseType::Image);
    for (QColor control : {QColor(Qt::black), QColor(Qt::white)}) {
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(control);
        const QString file = dir.filePath(control == Qt::black ? "black.png" : "white.png");
        ASSERT_TRUE(picture.save(file));
        settings.combiner.control.imageFile = file;
        run(32);
        QFile composite(maps("TFFnoisePreview.jpg"));
        QFile expected(maps(control == Qt::black ? "TD1TurbulenceMap.jpg" : "TD2TurbulenceMap.jpg"));
        ASSERT_TRUE(composite.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
        EXPECT_EQ(composite.readAll(), expected.readAll());
    }
    // Half grey blends the two halves.
    settings.combiner.control.type = int(NoiseType::Flat);
    run(32);
    const QImage blend(maps("TFFnoisePreview.jpg")), left(maps("TD1TurbulenceMap.jpg")), right(maps("TD2TurbulenceMap.jpg"));
    const QRgb b = blend.pixel(5, 5), l = left.pixel(5, 5), r = right.pixel(5, 5);
    EXPECT_NEAR(qGreen(b), (qGreen(l) * 128 + qGreen(r) * 127) / 255.0, 4.0);
}

TEST_F(Machine, MissingGreyGradientWarnsOncePerHeightPicture)
{
    QFile::remove(folders.gradients + "/black and white.bmp");
    const Recorder r = run();
    EXPECT_EQ(r.warnings.size(), 5);   // nodes 1 to 4 and 6; the COMBINER's picture is not checked
    EXPECT_EQ(r.warnings.value(0), "Gradient file not found. Unpredictable behaviour may occur.");
    EXPECT_TRUE(QFile::exists(maps("HI1noisePreview.jpg")));
    EXPECT_TRUE(QFile::exists(maps("HFFnoisePreview.jpg")));
}

TEST_F(Machine, AnUnreadableNoiseImageIsToldOnceAndReadsAsBlack)
{
    QFile notAPicture(dir.filePath("notes.png"));
    ASSERT_TRUE(notAPicture.open(QIODevice::WriteOnly));
    notAPicture.write("this is text\n");
    notAPicture.close();
    QFile(dir.filePath("empty.jpg")).open(QIODevice::WriteOnly);
    const QString fifo = dir.filePath("pipe.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString file;
        const char *reason;
    } cases[] = {{dir.filePath("missing.png"), "No such file or directory"},
                 {notAPicture.fileName(), ""},
                 {dir.filePath("empty.jpg"), ""},
                 {fifo, "not a regular file"},
                 {dir.path(), "it is a folder"}};
    for (const auto &c : cases) {
        // The same file in both inputs and the control noise: one warning.
        for (GeneratorSettings *g : {&settings.input[0], &settings.input[1], &settings.combiner.control}) {
            g->type = int(NoiseType::Image);
            g->imageFile = c.file;
        }
        settings.combiner.type = int(CombinerType::Blend);
        const Recorder r = run(16, Evaluation::Fused, 2, true);   // returns: a FIFO is never opened for reading
        ASSERT_EQ(r.warnings.size(), 1) << c.file.toStdString();
        EXPECT_TRUE(r.warnings[0].startsWith("cannot read the noise image " + c.file + ": " + c.reason))
            << r.warnings[0].toStdString();
        const NoiseMap &input = r.maps.at(1);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(input.GetValue(x, y), -1.0f);
    }

    // Two different files: one warning each; a readable one: none.
    settings.input[1].imageFile = dir.filePath("missing too.png");
    EXPECT_EQ(run(16).warnings.size(), 2);
    QImage grey(8, 8, QImage::Format_RGB32);
    grey.fill(QColor(128, 128, 128));
    ASSERT_TRUE(grey.save(dir.filePath("grey.png")));
    for (GeneratorSettings *g : {&settings.input[0], &settings.input[1], &settings.combiner.control})
        g->imageFile = dir.filePath("grey.png");
    EXPECT_TRUE(run(16).warnings.isEmpty());
}

TEST_F(Machine, ZeroTurbulencePowerLeavesTheDeformerPicture)
{
    settings.final.rightGradient = "alpine.bmp";
    settings.final.turbulencePower = 0;
    const Recorder r = run(32, Evaluation::Fused, 2, true);
    EXPECT_TRUE(sameBits(r.maps.at(8), r.maps.at(3)));
    EXPECT_TRUE(sameBits(r.maps.at(9), r.maps.at(4)));
    QFile a(maps("TD1TurbulenceMap.jpg")), b(maps("TD1noisePreview.jpg"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST_F(Machine, ErosionIsAskedForOnlyWithATypeAndIterations)
{
    settings.final.erosionType = int(ErosionType::Thermal);
    EXPECT_EQ(run().erosions, 0);
    settings.final.erosionIterations = 10;
    EXPECT_EQ(run().erosions, 1);
    settings.final.erosionType = int(ErosionType::None);
    EXPECT_EQ(run().erosions, 0);
}

TEST_F(Machine, PowersGiveOnlyFiniteHeights)
{
    // Zero (a flat INPUT 1) to the negative powers of INPUT 2, and negative values to fractional ones.
    settings.combiner.type = int(CombinerType::Pow);
    for (NoiseType first : {NoiseType::Flat, NoiseType::Perlin}) {
        settings.input[0].type = int(first);
        for (Evaluation e : {Evaluation::Fused, Evaluation::PerNode}) {
            const Recorder r = run(32, e);
            int replaced = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) {
                    const float v = finalMap.GetValue(x, y);
                    ASSERT_TRUE(std::isfinite(v));
                    replaced += v == 0.0f || std::abs(v) == 1.0f;
                }
            EXPECT_GT(replaced, 0);
            EXPECT_TRUE(sameBits(r.maps.at(5), finalMap));
        }
    }
}

TEST_F(Machine, ThePlaneWindowAndTheSizeAreHonoured)
{
    settings.final.startX = -3;
    settings.final.startY = 5;
    settings.final.noiseSize = 2;
    const Recorder r = run(16, Evaluation::Fused, 2, true);
    noise::module::Perlin perlin;
    perlin.SetSeed(3);
    perlin.SetFrequency(1.0);
    perlin.SetLacunarity(1.5);
    perlin.SetPersistence(0.5);
    perlin.SetOctaveCount(4);
    const NoiseMap &m = r.maps.at(1);
    EXPECT_EQ(m.GetWidth(), 16);
    EXPECT_FLOAT_EQ(m.GetValue(0, 0), float(perlin.GetValue(-3.0, 0.0, 5.0)));
    EXPECT_FLOAT_EQ(m.GetValue(5, 9), float(perlin.GetValue(-3.0 + 5 * 2.0 / 16, 0.0, 5.0 + 9 * 2.0 / 16)));
}

/// Every picture file of the maps folder by name.
std::map<QString, QByteArray> pictureBytes(const QString &folder)
{
    std::map<QString, QByteArray> bytes;
    for (const QFileInfo &info : QDir(folder).entryInfoList({"*.jpg"}, QDir::Files)) {
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            bytes[info.fileName()] = file.readAll();
    }
    return bytes;
}

// The fused run makes its pictures a band of rows at a time (without every node's map in memory
// at once): they must be the pictures rendered from whole maps byte for byte, whatever the band
// height (one row, a band that does not divide the size, several threads per band), with and
// without the light and the composite texture, and with a missing gradient (the renderer then
// keeps the gradient it had, and warns as often).
TEST_F(Machine, BandedPicturesAreTheWholeMapPicturesByteForByte)
{
    settings.combiner.type = int(CombinerType::Blend);
    settings.combiner.control.type = int(NoiseType::Perlin);
    settings.final.turbulencePower = 60;
    const auto clearPictures = [&] {
        for (const auto &[name, bytes] : pictureBytes(folders.maps))
            QFile::remove(maps(name.toUtf8().constData()));
    };
    int cases = 0;
    for (int variant = 0; variant < 4; ++variant) {
        settings.final.rightGradient = variant % 2 ? "alpine.bmp" : "australia 2.bmp";
        settings.final.lightOn = variant < 2;
        settings.final.lightContrast = 3;
        settings.final.lightIntensity = 30;
        if (variant == 3)
            QFile::remove(folders.gradients + "/alpine.bmp");
        for (int size : {1, 2, 33}) {
            clearPictures();
            const Recorder whole = run(size, Evaluation::Fused, 2, true);
            const std::map<QString, QByteArray> expected = pictureBytes(folders.maps);
            const NoiseMap expectedFinal = finalMap;
            for (int bandRows : {1, 2, 7, 0}) {
                clearPictures();
                const Recorder banded = run(size, Evaluation::Fused, 3, false, bandRows);
                const std::map<QString, QByteArray> pictures = pictureBytes(folders.maps);
                ASSERT_EQ(pictures.size(), expected.size()) << variant << " " << size << " " << bandRows;
                for (const auto &[name, bytes] : expected)
                    EXPECT_TRUE(pictures.at(name) == bytes)
                        << name.toStdString() << ": variant " << variant << " size " << size << " band " << bandRows;
                EXPECT_TRUE(sameBits(finalMap, expectedFinal));
                EXPECT_EQ(banded.warnings, whole.warnings);
                EXPECT_EQ(banded.order, whole.order);
                for (const auto &[node, path] : whole.heights)
                    EXPECT_EQ(banded.heights.at(node).isEmpty(), path.isEmpty()) << node;
                for (const auto &[node, path] : whole.colours)
                    EXPECT_EQ(banded.colours.at(node).isEmpty(), path.isEmpty()) << node;
                EXPECT_TRUE(sameBits(banded.maps.at(5), expectedFinal));
                EXPECT_EQ(banded.maps.at(1).GetWidth(), 0);   // no whole map of the other nodes
                ++cases;
            }
        }
    }
    EXPECT_EQ(cases, 48);
}

// A run moved onto a surface adds the surface's shift to its final map and to the maps the
// texture is coloured from, the same in bands as whole, and is not eroded again.
TEST_F(Machine, AShiftedRunMovesItsFinalMapAndTexture)
{
    settings.combiner.type = int(CombinerType::Blend);
    settings.combiner.control.type = int(NoiseType::Perlin);
    settings.final.rightGradient = "alpine.bmp";
    settings.final.erosionType = int(ErosionType::Thermal);
    settings.final.erosionIterations = 5;
    const RowShift moved;
    run(33, Evaluation::Fused, 2, true);
    const NoiseMap graph = finalMap;
    const std::map<QString, QByteArray> plain = pictureBytes(folders.maps);
    shift = &moved;
    const Recorder whole = run(33, Evaluation::Fused, 2, true);
    EXPECT_EQ(whole.erosions, 0);
    const std::map<QString, QByteArray> expected = pictureBytes(folders.maps);
    EXPECT_NE(expected.at("TFFnoisePreview.jpg"), plain.at("TFFnoisePreview.jpg"));
    EXPECT_EQ(expected.at("HI1noisePreview.jpg"), plain.at("HI1noisePreview.jpg"));   // the inputs stay
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 33; ++x)
            ASSERT_EQ(finalMap.GetValue(x, y),
                      graph.GetValue(x, y) + (0.25f * std::sin(float(y)) - 0.5f * graph.GetValue(x, y)));
    const NoiseMap expectedFinal = finalMap;
    for (const auto &[evaluation, bandRows] : {std::pair{Evaluation::Fused, 1}, std::pair{Evaluation::Fused, 7},
                                               std::pair{Evaluation::Fused, 0}, std::pair{Evaluation::PerNode, 0}}) {
        run(33, evaluation, 3, evaluation == Evaluation::PerNode, bandRows);
        EXPECT_TRUE(sameBits(finalMap, expectedFinal)) << bandRows;
        EXPECT_EQ(pictureBytes(folders.maps), expected) << bandRows;
    }
}

/// Paints the red of the map's first third full and counts the rows it is given.
struct StripeTint : PictureTint {
    void tintRow(int y, int n, noise::utils::Color *row) const override
    {
        rows += 1;
        if (y < n / 3)
            for (int x = 0; x < n; ++x)
                row[x].red = 255;
    }
    mutable std::atomic<int> rows{0};
};

// A tint changes the colour texture alone, blended or not, row by row once, the same in bands as
// whole.
TEST_F(Machine, ATintChangesOnlyTheColourTexture)
{
    settings.combiner.control.type = int(NoiseType::Perlin);
    for (const char *right : {"australia 2.bmp", "alpine.bmp"}) {
        settings.final.rightGradient = right;
        MachineRun plainRun;
        plainRun.size = 33;
        Recorder recorder;
        runNoiseMachine(settings, plainRun, folders, finalMap, noise::utils::ProgressReporter::Null(), recorder);
        const std::map<QString, QByteArray> plain = pictureBytes(folders.maps);
        std::map<QString, QByteArray> expected;
        for (const auto &[evaluation, bandRows] : {std::pair{Evaluation::PerNode, 0}, std::pair{Evaluation::Fused, 1},
                                                   std::pair{Evaluation::Fused, 7}, std::pair{Evaluation::Fused, 0}}) {
            StripeTint tint;
            MachineRun r = plainRun;
            r.evaluation = evaluation;
            r.pictureBandRows = bandRows;
            r.threads = 3;
            r.tint = &tint;
            recorder.wholeMaps = evaluation == Evaluation::PerNode;
            runNoiseMachine(settings, r, folders, finalMap, noise::utils::ProgressReporter::Null(), recorder);
            EXPECT_EQ(tint.rows.load(), 33) << right << " " << bandRows;
            const std::map<QString, QByteArray> tinted = pictureBytes(folders.maps);
            ASSERT_EQ(tinted.size(), plain.size());
            for (const auto &[name, bytes] : plain)
                EXPECT_EQ(tinted.at(name) == bytes, name != "TFFnoisePreview.jpg") << name.toStdString() << " " << right;
            if (expected.empty())
                expected = tinted;
            EXPECT_EQ(tinted, expected) << right << " " << bandRows;
        }
        const QImage texture(maps("TFFnoisePreview.jpg"));
        EXPECT_GT(texture.pixelColor(5, 30).red(), 240) << "row 0 of the map is the picture's last";
    }
}

// A tile samples its part of a larger grid: the same values as the whole grid there, bit for bit,
// so neighbouring tiles agree along the samples they share.
TEST_F(Machine, ATileIsItsPartOfTheLargerGridBitForBit)
{
    settings.final.leftGradient = QStringLiteral("alpine.bmp");   // composite: control and turbulence too
    run(48);
    const NoiseMap whole = finalMap;
    MachineRun tile;
    tile.size = 20;
    tile.threads = 2;
    tile.windowSamples = 48;
    tile.firstColumn = 28;
    tile.firstRow = 11;
    Recorder recorder;
    runNoiseMachine(settings, tile, folders, finalMap, noise::utils::ProgressReporter::Null(), recorder);
    ASSERT_EQ(finalMap.GetWidth(), 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(std::memcmp(&finalMap.GetConstSlabPtr(y)[x], &whole.GetConstSlabPtr(11 + y)[28 + x], sizeof(float)), 0)
                << x << "," << y;
    tile.evaluation = Evaluation::PerNode;
    EXPECT_THROW(runNoiseMachine(settings, tile, folders, finalMap, noise::utils::ProgressReporter::Null(), recorder),
                 noise::Exception);
}

// The module graph, node by node.
class Graph : public ::testing::Test {
protected:
    double value(int output, double x, double z, bool fullOctaves = false)
    {
        auto graph = buildNoiseGraph(settings, fullOctaves);
        return graph->GetOutput(output).GetValue(x, 0.0, z);
    }
    NoiseSettings settings;
};

TEST_F(Graph, FullOctavesRaiseTheInputsButNotTheControlNoise)
{
    for (GeneratorSettings *g : {&settings.input[0], &settings.input[1], &settings.combiner.control}) {
        g->type = int(NoiseType::Perlin);
        g->octaves = 4;
    }
    settings.input[1].seed = 5;
    settings.combiner.control.seed = 9;
    int inputsChanged = 0;
    for (int i = 0; i < 20; ++i) {
        const double x = 0.37 + i * 0.913, z = 1.21 - i * 0.577;
        inputsChanged += value(1, x, z, true) != value(1, x, z) && value(2, x, z, true) != value(2, x, z);
        EXPECT_EQ(value(7, x, z, true), value(7, x, z)) << "the control noise keeps its 4 octaves";
    }
    EXPECT_EQ(inputsChanged, 20) << "nodes 1 and 2 run at 30 octaves";
}

TEST_F(Graph, DeformersReshapeTheirInput)
{
    settings.input[0].type = int(NoiseType::Perlin);
    const double x = 0.37, z = 1.21;
    const double source = value(1, x, z);
    ASSERT_NE(source, 0.0);

    settings.deformer[0].type = int(DeformerType::Clamp);
    EXPECT_DOUBLE_EQ(value(3, x, z), source) << "bounds -100 … 100 change nothing";
    settings.deformer[0].clampLow = 0;
    EXPECT_DOUBLE_EQ(value(3, x, z), std::max(source, 0.0));
    settings.deformer[0].clampLow = 5;
    settings.deformer[0].clampHigh = 5;
    EXPECT_DOUBLE_EQ(value(3, x, z), 5.0) << "an empty range is that one value";
    settings.deformer[0].clampLow = 0;
    settings.deformer[0].clampHigh = -100;
    EXPECT_DOUBLE_EQ(value(3, x, z), std::min(source, 0.0)) << "bounds given the wrong way round are put in order";

    settings.deformer[0].type = int(DeformerType::ScaleBias);
    EXPECT_DOUBLE_EQ(value(3, x, z), source) << "scale 1.0, bias 0.0";
    settings.deformer[0].scaleBiasLow = 20;
    settings.deformer[0].scaleBiasHigh = -50;
    EXPECT_DOUBLE_EQ(value(3, x, z), source * 2.0 - 0.5);

    settings.deformer[0].type = int(DeformerType::Curve);
    settings.deformer[0].curveProfile = 0;
    EXPECT_DOUBLE_EQ(value(3, x, z), source) << "no curve chosen: the input passes";
    settings.deformer[0].curveProfile = 14;
    noise::module::Perlin p;
    p.SetLacunarity(1.5);
    p.SetOctaveCount(4);
    noise::module::Curve curve;
    curve.SetSourceModule(0, p);
    for (auto [in, out] : curveProfile(14))
        curve.AddControlPoint(in, out);
    EXPECT_NEAR(value(3, x, z), std::clamp(curve.GetValue(x, 0, z), -100.0, 100.0), 1e-12);

    settings.deformer[0].type = int(DeformerType::RoundEdge);
    settings.final.noiseSize = 4;
    EXPECT_DOUBLE_EQ(value(3, 0.0, 1.3), 0.0);
    EXPECT_DOUBLE_EQ(value(3, 2.1, 0.0), 0.0);
}

TEST_F(Graph, CombinersJoinTheTwoDeformers)
{
    settings.input[0].type = int(NoiseType::Perlin);
    settings.input[1].type = int(NoiseType::Billow);
    const double a = value(3, 0.7, 0.2), b = value(4, 0.7, 0.2);
    settings.combiner.type = int(CombinerType::Add);
    EXPECT_DOUBLE_EQ(value(5, 0.7, 0.2), a + b);
    settings.combiner.type = int(CombinerType::Max);
    EXPECT_DOUBLE_EQ(value(5, 0.7, 0.2), std::max(a, b));
    settings.combiner.type = int(CombinerType::Multiply);
    EXPECT_DOUBLE_EQ(value(6, 0.7, 0.2), a * b);
    settings.combiner.type = int(CombinerType::Blend);   // control noise "Flat": halfway
    EXPECT_DOUBLE_EQ(value(5, 0.7, 0.2), (a + b) / 2);
}

TEST(GraphTables, GaborImpulsesAndProfiles)
{
    EXPECT_EQ(gaborImpulsesPerKernel(1), 4);
    EXPECT_EQ(gaborImpulsesPerKernel(8), 512);
    EXPECT_EQ(gaborImpulsesPerKernel(10), 2048);
    EXPECT_TRUE(curveProfile(0).empty());
    EXPECT_TRUE(curveProfile(17).empty());
    EXPECT_EQ(curveProfile(1).size(), 17u);
    EXPECT_EQ(curveProfile(16).back(), std::make_pair(1.0, -1.0));
    EXPECT_TRUE(terraceProfile(0).empty());
    EXPECT_EQ(terraceProfile(10).size(), 10u);
    EXPECT_EQ(terraceProfile(15), (std::vector<double>{-1, -0.25, 0, 0.5, 1}));
}

}   // namespace
