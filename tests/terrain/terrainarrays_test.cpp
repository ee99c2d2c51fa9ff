// The terrain meshes (full and decimated), their normals, and the removal of the temporary
// preview pictures.

#include "terrain/terrainarrays.h"

#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "plugin/runlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

using noise::utils::NoiseMap;
using orovista::TerrainArrays;
using orovista::TerrainSource;

namespace {

/// A bumpy 512 × 512 map in about −1 … 1.
NoiseMap bumpyMap()
{
    NoiseMap map(512, 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            map.SetValue(x, y, float(std::sin(x * 0.05) * std::cos(y * 0.031) + 0.01 * ((x * 31 + y * 17) % 13)));
    return map;
}

float yOf(const TerrainArrays &a, int r, int c)
{
    return a.vertices[3 * std::size_t(r * a.gridSize + c) + 1];
}

class TerrainArraysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(orovista::runLog().open(dir.filePath(QStringLiteral("logFile.txt"))));
        source.terrainSize = 1000;
        source.elevationLow = 0;
        source.elevationHigh = 100;
        source.colourPicturePath = dir.filePath(QStringLiteral("TFFnoisePreview.jpg"));
    }
    void TearDown() override { orovista::runLog().close(); }

    QString log() const
    {
        QFile file(dir.filePath(QStringLiteral("logFile.txt")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir dir;
    TerrainSource source;
};

}   // namespace

TEST_F(TerrainArraysTest, FlatMapGivesFlatMeshAtTheLowElevationWithUpwardNormals)
{
    NoiseMap map(512, 512);
    map.Clear(0.3f);
    source.heightMap = &map;
    source.elevationLow = 7;
    source.elevationHigh = 20;
    for (const TerrainArrays &a : {orovista::buildTerrainArrays(source), orovista::buildDecimatedTerrainArrays(source)}) {
        SCOPED_TRACE(a.gridSize);
        EXPECT_EQ(a.heightScale, 0.0f);
        for (int i = 0; i < a.vertexCount(); ++i) {
            ASSERT_EQ(a.vertices[3 * i + 1], 7.0f) << i;
            ASSERT_EQ(a.normals[3 * i], 0.0f) << i;
            ASSERT_EQ(a.normals[3 * i + 1], 1.0f) << i;
            ASSERT_EQ(a.normals[3 * i + 2], 0.0f) << i;
        }
    }
}

TEST_F(TerrainArraysTest, LowAndHighElevationSpanBothMeshes)
{
    const NoiseMap map = bumpyMap();
    source.heightMap = &map;
    for (const TerrainArrays &a : {orovista::buildTerrainArrays(source), orovista::buildDecimatedTerrainArrays(source)}) {
        SCOPED_TRACE(a.gridSize);
        float lowest = 1e9f, highest = -1e9f;
        for (int i = 0; i < a.vertexCount(); ++i) {
            lowest = std::min(lowest, a.vertices[3 * i + 1]);
            highest = std::max(highest, a.vertices[3 * i + 1]);
        }
        EXPECT_EQ(lowest, 0.0f);
        EXPECT_NEAR(highest, 100.0f, 1e-4);
    }
}

TEST_F(TerrainArraysTest, SizesCornersAndTextureCoordinates)
{
    const NoiseMap map = bumpyMap();
    source.heightMap = &map;
    const TerrainArrays full = orovista::buildTerrainArrays(source);
    const TerrainArrays decimated = orovista::buildDecimatedTerrainArrays(source);

    EXPECT_EQ(full.gridSize, 512);
    EXPECT_EQ(full.lastIndex, 511);
    EXPECT_EQ(full.spacing, float(1000 / 511.0));
    EXPECT_EQ(full.indexCount, 1566726);
    EXPECT_EQ(full.triangleCount(), 522242);
    EXPECT_EQ(decimated.gridSize, 128);
    EXPECT_EQ(decimated.lastIndex, 127);
    EXPECT_EQ(decimated.spacing, float(1000 / 127.0));
    EXPECT_EQ(decimated.indexCount, 96774);

    for (const TerrainArrays *a : {&full, &decimated}) {
        SCOPED_TRACE(a->gridSize);
        const std::size_t n2 = std::size_t(a->vertexCount());
        EXPECT_EQ(a->vertices.size(), 3 * n2);
        EXPECT_EQ(a->normals.size(), 3 * n2);
        EXPECT_EQ(a->colors.size(), 3 * n2);
        EXPECT_EQ(a->whiteColors.size(), 3 * n2);
        EXPECT_EQ(a->texCoords.size(), 2 * n2);
        EXPECT_EQ(a->indices.size(), std::size_t(a->indexCount));

        const std::size_t last = n2 - 1;
        EXPECT_NEAR(a->vertices[0], -500.0f, 1e-3);
        EXPECT_NEAR(a->vertices[2], -500.0f, 1e-3);
        EXPECT_NEAR(a->vertices[3 * last], 500.0f, 1e-3);
        EXPECT_NEAR(a->vertices[3 * last + 2], 500.0f, 1e-3);
        EXPECT_EQ(a->texCoords[0], 0.0f);
        EXPECT_EQ(a->texCoords[1], 1.0f);
        EXPECT_EQ(a->texCoords[2 * last], 1.0f);
        EXPECT_EQ(a->texCoords[2 * last + 1], 0.0f);
        // Columns run along +x, rows along +z.
        EXPECT_GT(a->vertices[3], a->vertices[0]);
        EXPECT_GT(a->vertices[3 * std::size_t(a->gridSize) + 2], a->vertices[2]);
    }

    const orovista::VertexBufferLayout layout = orovista::vertexBufferLayout(512);
    EXPECT_EQ(layout.normals, 12LL * 512 * 512);
    EXPECT_EQ(layout.colors, 24LL * 512 * 512);
    EXPECT_EQ(layout.texCoords, 36LL * 512 * 512);
    EXPECT_EQ(layout.totalBytes, 44LL * 512 * 512);
}

TEST_F(TerrainArraysTest, TwoTrianglesPerCell)
{
    const NoiseMap map = bumpyMap();
    source.heightMap = &map;
    const TerrainArrays full = orovista::buildTerrainArrays(source);
    const std::vector<std::uint32_t> first(full.indices.begin(), full.indices.begin() + 6);
    EXPECT_EQ(first, (std::vector<std::uint32_t>{0, 1, 512, 1, 513, 512}));
    const std::vector<std::uint32_t> second(full.indices.begin() + 6, full.indices.begin() + 12);
    EXPECT_EQ(second, (std::vector<std::uint32_t>{1, 2, 513, 2, 514, 513}));
    // The last cell of the first row is followed by the first cell of the second.
    const std::vector<std::uint32_t> nextRow(full.indices.begin() + 6 * 511, full.indices.begin() + 6 * 511 + 6);
    EXPECT_EQ(nextRow, (std::vector<std::uint32_t>{512, 513, 1024, 513, 1025, 1024}));
    EXPECT_EQ(full.indices.back(), 512u * 512u - 2u);

    const TerrainArrays decimated = orovista::buildDecimatedTerrainArrays(source);
    const std::vector<std::uint32_t> firstDecimated(decimated.indices.begin(), decimated.indices.begin() + 6);
    EXPECT_EQ(firstDecimated, (std::vector<std::uint32_t>{0, 1, 128, 1, 129, 128}));
}

TEST_F(TerrainArraysTest, MeshRowsReadTheMapUpsideDownAndTheDecimatedMeshEveryFourth)
{
    NoiseMap map(512, 512);
    map.SetValue(3, 511, 1.0f);    // full mesh row 0, column 3
    map.SetValue(8, 500, 1.0f);    // decimated row 2 (500 = 4 · (127 − 2)), column 2
    map.SetValue(9, 500, -1.0f);   // not on the decimated grid
    source.heightMap = &map;
    const TerrainArrays full = orovista::buildTerrainArrays(source);
    EXPECT_EQ(yOf(full, 0, 3), 100.0f);
    EXPECT_EQ(yOf(full, 11, 9), 0.0f);
    EXPECT_EQ(yOf(full, 5, 5), 50.0f);

    const TerrainArrays decimated = orovista::buildDecimatedTerrainArrays(source);
    EXPECT_EQ(yOf(decimated, 2, 2), 100.0f);   // the −1 was never sampled: the range is 0 … 1
    EXPECT_EQ(yOf(decimated, 0, 0), 0.0f);
}

TEST_F(TerrainArraysTest, ColoursComeFromTheColourPictureRowByRow)
{
    QImage picture(512, 512, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, qRgb(255, 0, 0));   // top-left corner of the picture
    ASSERT_TRUE(picture.save(source.colourPicturePath, "JPG", 100));
    const NoiseMap map = bumpyMap();
    source.heightMap = &map;

    const TerrainArrays full = orovista::buildTerrainArrays(source);
    const auto colour = [](const TerrainArrays &a, int r, int c) { return &a.colors[3 * std::size_t(r * a.gridSize + c)]; };
    EXPECT_NEAR(colour(full, 10, 10)[0], 1.0f, 0.02);
    EXPECT_NEAR(colour(full, 10, 10)[2], 0.0f, 0.02);
    EXPECT_NEAR(colour(full, 400, 10)[0], 0.0f, 0.02);
    EXPECT_NEAR(colour(full, 400, 10)[2], 1.0f, 0.02);
    EXPECT_TRUE(std::all_of(full.whiteColors.begin(), full.whiteColors.end(), [](float v) { return v == 1.0f; }));

    const TerrainArrays decimated = orovista::buildDecimatedTerrainArrays(source);
    EXPECT_NEAR(colour(decimated, 10, 10)[0], 1.0f, 0.02);   // pixel (40, 40)
    EXPECT_NEAR(colour(decimated, 20, 10)[2], 1.0f, 0.02);   // pixel (40, 80)
    EXPECT_FALSE(log().contains(QStringLiteral("not found")));
}

TEST_F(TerrainArraysTest, WithoutTheColourPictureTheMeshIsWhite)
{
    const NoiseMap map = bumpyMap();
    source.heightMap = &map;
    const TerrainArrays full = orovista::buildTerrainArrays(source);
    const TerrainArrays decimated = orovista::buildDecimatedTerrainArrays(source);
    EXPECT_TRUE(std::all_of(full.colors.begin(), full.colors.end(), [](float v) { return v == 1.0f; }));
    EXPECT_TRUE(std::all_of(decimated.colors.begin(), decimated.colors.end(), [](float v) { return v == 1.0f; }));
    EXPECT_EQ(log(), QStringLiteral("building terrain arrays\nTFFnoisePreview.jpg file not found!\n"
                                    "build decimated terrain arrays\nTFFnoisePreview.jpg file not found!\n"));

    // A picture that is there but cannot be read gives the white mesh too.
    QFile file(source.colourPicturePath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("garbage");
    file.close();
    const TerrainArrays unreadable = orovista::buildTerrainArrays(source);
    EXPECT_TRUE(std::all_of(unreadable.colors.begin(), unreadable.colors.end(), [](float v) { return v == 1.0f; }));
    EXPECT_TRUE(log().endsWith(QStringLiteral("TFFnoisePreview.jpg could not be read!\n")));
}

TEST_F(TerrainArraysTest, NormalsAreUnitVectorsAndTheLastRowAndColumnCopyTheirNeighbours)
{
    const NoiseMap map = bumpyMap();
    source.heightMap = &map;
    source.elevationHigh = 300;
    for (const TerrainArrays &a : {orovista::buildTerrainArrays(source), orovista::buildDecimatedTerrainArrays(source)}) {
        SCOPED_TRACE(a.gridSize);
        const int n = a.gridSize;
        for (int i = 0; i < a.vertexCount(); ++i) {
            const float *v = &a.normals[3 * std::size_t(i)];
            ASSERT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 1.0f, 1e-5) << i;
            ASSERT_GT(v[1], 0.0f) << i;   // the terrain faces up
        }
        const auto normal = [&](int r, int c) { return &a.normals[3 * std::size_t(r * n + c)]; };
        EXPECT_TRUE(std::equal(normal(7, n - 1), normal(7, n - 1) + 3, normal(7, n - 2)));
        EXPECT_TRUE(std::equal(normal(n - 1, 9), normal(n - 1, 9) + 3, normal(n - 2, 9)));
        EXPECT_TRUE(std::equal(normal(n - 1, n - 1), normal(n - 1, n - 1) + 3, normal(n - 2, n - 2)));
    }
}

TEST_F(TerrainArraysTest, RecomputedNormalsFollowEditedVertices)
{
    NoiseMap map(512, 512);
    source.heightMap = &map;
    TerrainArrays a = orovista::buildTerrainArrays(source);
    // A slope rising along +x at 45 degrees leans every normal towards −x.
    for (int i = 0; i < a.vertexCount(); ++i)
        a.vertices[3 * std::size_t(i) + 1] = a.vertices[3 * std::size_t(i)];
    orovista::recomputeTerrainNormals(a);
    const float half = std::sqrt(0.5f);
    for (int i : {0, 1000, 511, 512 * 511, 512 * 512 - 1}) {
        EXPECT_NEAR(a.normals[3 * std::size_t(i)], -half, 1e-5) << i;
        EXPECT_NEAR(a.normals[3 * std::size_t(i) + 1], half, 1e-5) << i;
        EXPECT_NEAR(a.normals[3 * std::size_t(i) + 2], 0.0f, 1e-5) << i;
    }

    TerrainArrays empty;
    orovista::recomputeTerrainNormals(empty);   // nothing to do, no crash
    EXPECT_TRUE(empty.isEmpty());
}

TEST_F(TerrainArraysTest, RebuildingInPlaceLeavesNothingOfTheOldMesh)
{
    QImage picture(512, 512, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 30));
    ASSERT_TRUE(picture.save(source.colourPicturePath, "JPG", 100));
    NoiseMap flat(512, 512);
    source.heightMap = &flat;
    TerrainArrays kept = orovista::buildTerrainArrays(source);
    TerrainArrays keptDecimated = orovista::buildTerrainArrays(source);   // full size, rebuilt smaller

    QFile::remove(source.colourPicturePath);
    const NoiseMap map = bumpyMap();
    source.heightMap = &map;
    source.terrainSize = 333;
    orovista::buildTerrainArrays(source, kept);
    orovista::buildDecimatedTerrainArrays(source, keptDecimated);
    for (const auto &[rebuilt, fresh] : {std::pair(&kept, orovista::buildTerrainArrays(source)),
                                         std::pair(&keptDecimated, orovista::buildDecimatedTerrainArrays(source))}) {
        SCOPED_TRACE(fresh.gridSize);
        EXPECT_EQ(rebuilt->gridSize, fresh.gridSize);
        EXPECT_EQ(rebuilt->spacing, fresh.spacing);
        EXPECT_EQ(rebuilt->heightScale, fresh.heightScale);
        EXPECT_EQ(rebuilt->indexCount, fresh.indexCount);
        EXPECT_EQ(rebuilt->vertices, fresh.vertices);
        EXPECT_EQ(rebuilt->normals, fresh.normals);
        EXPECT_EQ(rebuilt->colors, fresh.colors);
        EXPECT_EQ(rebuilt->whiteColors, fresh.whiteColors);
        EXPECT_EQ(rebuilt->texCoords, fresh.texCoords);
        EXPECT_EQ(rebuilt->indices, fresh.indices);
    }
}

TEST_F(TerrainArraysTest, MissingMapOrSizeGivesNoMeshAndSmallMapsReadTheBorder)
{
    EXPECT_TRUE(orovista::buildTerrainArrays(source).isEmpty());   // no height map
    NoiseMap map(512, 512);
    source.heightMap = &map;
    source.terrainSize = 0;
    EXPECT_TRUE(orovista::buildTerrainArrays(source).isEmpty());
    EXPECT_TRUE(orovista::buildDecimatedTerrainArrays(source).isEmpty());

    NoiseMap small(16, 16);
    small.Clear(1.0f);
    source.heightMap = &small;
    source.terrainSize = 100;
    const TerrainArrays a = orovista::buildTerrainArrays(source);
    ASSERT_EQ(a.gridSize, 512);
    EXPECT_EQ(yOf(a, 511, 0), 100.0f);   // map row 0: inside the small map
    EXPECT_EQ(yOf(a, 0, 0), 0.0f);       // map row 511: outside, reads 0
    EXPECT_TRUE(log().contains(QStringLiteral("height map is 16 x 16, smaller than the mesh")));
}

TEST(BrushRangeTest, DiameterSliderFollowsTheTerrainSize)
{
    const orovista::BrushRange brush = orovista::brushRangeForTerrain(1000);
    EXPECT_EQ(brush.maximum, 1000);
    EXPECT_EQ(brush.value, 166);
    EXPECT_EQ(brush.label, QStringLiteral("166/1000"));
    EXPECT_EQ(orovista::brushRangeForTerrain(5).label, QStringLiteral("0/5"));
}

TEST(RemoveTempFilesTest, PreviewPicturesGoAndTheThumbnailOnlyWhenAsked)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto touch = [&](const QString &name) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    };
    const QString thumb = QStringLiteral("NMapFFnoisePreviewThumb.jpg");
    const QStringList names = orovista::temporaryPictureNames();
    ASSERT_EQ(names.size(), 14);
    EXPECT_EQ(names.first(), QStringLiteral("C1noisePreview.jpg"));
    EXPECT_EQ(names.last(), QStringLiteral("TD2TurbulenceMap.jpg"));
    for (const QString &name : names)
        touch(name);
    touch(thumb);
    touch(QStringLiteral("NormalMap_my Terrain 1.jpg"));
    touch(QStringLiteral("my Terrain 1.obj"));

    EXPECT_EQ(orovista::removeTempFiles(dir.path(), false), 14);
    for (const QString &name : names)
        EXPECT_FALSE(QFile::exists(dir.filePath(name))) << name.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(thumb)));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("NormalMap_my Terrain 1.jpg"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("my Terrain 1.obj"))));

    // Missing pictures are skipped silently; the thumbnail goes when asked.
    touch(QStringLiteral("HFFnoisePreview.jpg"));
    EXPECT_EQ(orovista::removeTempFiles(dir.path(), true), 2);
    EXPECT_FALSE(QFile::exists(dir.filePath(thumb)));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("my Terrain 1.obj"))));
    EXPECT_EQ(orovista::removeTempFiles(dir.path(), true), 0);
    EXPECT_EQ(orovista::removeTempFiles(QString(), true), 0);   // never the current folder

    // The hidden temporary of a writer that was killed goes too; this process's own stays.
    orovista::files::Batch batch;
    const QString own = batch.write(dir.filePath(QStringLiteral("my Terrain 1.obj")), {"new"});
    const QRegularExpressionMatch owner =
        QRegularExpression(QStringLiteral("\\.([0-9a-f]+)-([0-9]+)-[0-9a-f]+\\.part$")).match(own);
    ASSERT_TRUE(owner.hasMatch()) << own.toStdString();
    const pid_t gone = ::fork();
    if (gone == 0)
        std::_Exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const QString stale =
        dir.filePath(QStringLiteral(".HFFnoisePreview.jpg.%1-%2-0000000000000007.part").arg(owner.captured(1)).arg(gone));
    touch(QFileInfo(stale).fileName());
    orovista::removeTempFiles(dir.path(), false);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(own));
}
