// Normal maps: bump height, the re-run rules and the written pictures.

#include "terrain/normalmap.h"

#include "noise/image.h"
#include "noise/noisemap.h"
#include "noise/renderernormalmap.h"
#include "noise/writerjpeg.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using noise::utils::NoiseMap;
using orovista::NormalMapControls;
using orovista::NormalMapPlan;

namespace {

void expectPixel(QRgb pixel, int red, int green, int blue)
{
    EXPECT_LE(std::abs(qRed(pixel) - red), 1) << qRed(pixel);
    EXPECT_LE(std::abs(qGreen(pixel) - green), 1) << qGreen(pixel);
    EXPECT_LE(std::abs(qBlue(pixel) - blue), 1) << qBlue(pixel);
}

NormalMapControls controls(int sizeIndex, const char *size, const char *textureSize, int preview = 256)
{
    NormalMapControls c;
    c.sizeIndex = sizeIndex;
    c.sizeText = QString::fromLatin1(size);
    c.textureSizeText = QString::fromLatin1(textureSize);
    c.previewResolution = preview;
    return c;
}

}   // namespace

TEST(NormalMapBumpTest, SizeFactorKeepsTheReliefAcrossResolutions)
{
    EXPECT_EQ(orovista::normalMapBumpHeight(1000, 2048), 40.0);
    EXPECT_EQ(orovista::normalMapBumpHeight(1000, 512), 10.0);
    EXPECT_EQ(orovista::normalMapBumpHeight(1000, 16384), 320.0);
    EXPECT_EQ(orovista::normalMapBumpHeight(10, 1024), 0.2);
    EXPECT_EQ(orovista::normalMapBumpHeight(5000, 8192), 800.0);
    EXPECT_EQ(orovista::normalMapSizeFactor(4096), 8);
    EXPECT_EQ(orovista::normalMapSizeFactor(256), 1);   // any other size
    EXPECT_EQ(orovista::normalMapSizeFactor(3000), 1);
    EXPECT_FALSE(orovista::normalMapControlsVisible(0));
    EXPECT_TRUE(orovista::normalMapControlsVisible(1));
    EXPECT_TRUE(orovista::normalMapControlsVisible(6));
}

TEST(NormalMapPlanTest, ReRunRules)
{
    // Scene creation with the normal map at the texture size: the texture pass's map is used.
    NormalMapPlan plan = orovista::planNormalMap(true, false, controls(2, "1024", "1024"));
    EXPECT_TRUE(plan.run);
    EXPECT_TRUE(plan.isFinal);
    EXPECT_EQ(plan.resolution, 1024);
    EXPECT_FALSE(plan.rerunPipeline);
    EXPECT_TRUE(plan.logLine.isEmpty());

    // … at another size: the machine runs again at the normal map's size.
    plan = orovista::planNormalMap(true, false, controls(2, "1024", "512"));
    EXPECT_TRUE(plan.rerunPipeline);
    EXPECT_EQ(plan.resolution, 1024);
    EXPECT_EQ(plan.logLine, QStringLiteral("create normal map from scratch\n"));

    // The generate button always re-runs at the chosen size.
    plan = orovista::planNormalMap(true, true, controls(4, "4096", "4096"));
    EXPECT_TRUE(plan.rerunPipeline);
    EXPECT_EQ(plan.resolution, 4096);
    EXPECT_EQ(plan.logLine, QStringLiteral("manual updated of normal map\n"));

    // The thumbnail uses the preview resolution and the current map.
    plan = orovista::planNormalMap(false, false, controls(5, "8192", "512", 512));
    EXPECT_TRUE(plan.run);
    EXPECT_FALSE(plan.isFinal);
    EXPECT_EQ(plan.resolution, 512);
    EXPECT_FALSE(plan.rerunPipeline);

    // "no thanks" and sizes that are not positive stop.
    EXPECT_FALSE(orovista::planNormalMap(true, false, controls(0, "no thanks", "512")).run);
    EXPECT_FALSE(orovista::planNormalMap(true, true, controls(0, "no thanks", "512")).run);
    EXPECT_FALSE(orovista::planNormalMap(true, false, controls(3, "", "512")).run);
    EXPECT_FALSE(orovista::planNormalMap(false, false, controls(1, "512", "512", 0)).run);
}

class NormalMapFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
};

TEST_F(NormalMapFileTest, FlatMapIsOneTwoSevenOneTwoSevenTwoFiveFive)
{
    NoiseMap map(64, 64);
    map.Clear(0.4f);
    const QString path = dir.filePath(QStringLiteral("flat.jpg"));
    const orovista::NormalMapOutput out = orovista::writeNormalMap(map, 40.0, path);
    ASSERT_TRUE(out.written) << out.error.toStdString();
    const QImage picture(path);
    ASSERT_EQ(picture.size(), QSize(64, 64));
    expectPixel(picture.pixel(0, 0), 127, 127, 255);
    expectPixel(picture.pixel(33, 17), 127, 127, 255);
    expectPixel(picture.pixel(63, 63), 127, 127, 255);
}

TEST_F(NormalMapFileTest, LastColumnAndRowCompareACellWithItself)
{
    // Falling to the right: red above 127 everywhere but in the last column.
    NoiseMap slope(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            slope.SetValue(x, y, (x < 62 ? -0.01f * x : -0.62f));
    const QString path = dir.filePath(QStringLiteral("slope.jpg"));
    ASSERT_TRUE(orovista::writeNormalMap(slope, 10.0, path).written);
    QImage picture(path);
    // 10 × 0.01 = 0.1: red = floor((0.1 / sqrt(1.01) + 1) × 127.5) = 140.
    expectPixel(picture.pixel(20, 30), 140, 127, 254);
    expectPixel(picture.pixel(63, 30), 127, 127, 255);

    // Falling upwards (map rows): the last map row is the top row of the picture.
    NoiseMap rising(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            rising.SetValue(x, y, y < 62 ? -0.01f * y : -0.62f);
    ASSERT_TRUE(orovista::writeNormalMap(rising, 10.0, path).written);
    picture = QImage(path);
    expectPixel(picture.pixel(30, 40), 127, 140, 254);
    expectPixel(picture.pixel(30, 0), 127, 127, 255);
}

TEST_F(NormalMapFileTest, ThumbnailAndFinalFile)
{
    NoiseMap map(32, 32);
    map.SetValue(5, 5, 1.0f);
    NormalMapPlan plan = orovista::planNormalMap(false, false, controls(1, "512", "512", 256));
    orovista::NormalMapOutput out = orovista::renderNormalMapFile(map, plan, 1000, dir.path(), QStringLiteral("my Terrain 1"));
    EXPECT_TRUE(out.written);
    EXPECT_EQ(out.path, dir.filePath(QStringLiteral("NMapFFnoisePreviewThumb.jpg")));
    EXPECT_EQ(out.thumbnailPath, out.path);
    EXPECT_EQ(out.bumpHeight, 10.0);
    EXPECT_EQ(QImage(out.path).size(), QSize(32, 32));

    plan = orovista::planNormalMap(true, false, controls(3, "2048", "2048"));
    out = orovista::renderNormalMapFile(map, plan, 1000, dir.path(), QStringLiteral("my Terrain 1"));
    EXPECT_TRUE(out.written);
    EXPECT_EQ(out.path, dir.filePath(QStringLiteral("NormalMap_my Terrain 1.jpg")));
    EXPECT_EQ(out.thumbnailPath, dir.filePath(QStringLiteral("NMapFFnoisePreviewThumb.jpg")));
    EXPECT_EQ(out.bumpHeight, 40.0);
    EXPECT_TRUE(QFile::exists(out.path));
}

TEST_F(NormalMapFileTest, BadInputIsReportedNotWritten)
{
    const NoiseMap empty;
    orovista::NormalMapOutput out = orovista::writeNormalMap(empty, 10.0, dir.filePath(QStringLiteral("e.jpg")));
    EXPECT_FALSE(out.written);
    EXPECT_FALSE(out.error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("e.jpg"))));

    NoiseMap map(8, 8);
    out = orovista::writeNormalMap(map, 10.0, dir.filePath(QStringLiteral("no/such/folder/n.jpg")));
    EXPECT_FALSE(out.written);
    EXPECT_FALSE(out.error.isEmpty());

    const NormalMapPlan plan = orovista::planNormalMap(true, false, controls(1, "512", "512"));
    out = orovista::renderNormalMapFile(map, plan, 1000, dir.path(), QStringLiteral("../escape"));
    EXPECT_FALSE(out.written);
    EXPECT_FALSE(out.error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("NormalMap_../escape.jpg"))));
}

// The file is written a band of rows at a time; its bytes are those of the whole picture rendered
// and compressed at once, for sizes that are and are not a multiple of the band.
TEST_F(NormalMapFileTest, TheBandedFileIsTheWholePictureByteForByte)
{
    for (int size : {97, 2100}) {
        NoiseMap map(size, size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                map.SetValue(x, y, float(std::sin(x * 0.05) * std::cos(y * 0.031) + 0.001 * ((x * 7919 + y * 104729) % 97)));
        noise::utils::Image image;
        noise::utils::RendererNormalMap renderer;
        renderer.SetSourceNoiseMap(map);
        renderer.SetDestImage(image);
        renderer.SetBumpHeight(3.5);
        renderer.Render();
        noise::utils::WriterJPEG writer;
        writer.SetSourceImage(image);
        writer.SetDestFilename(dir.filePath("whole.jpg"));
        ASSERT_TRUE(writer.WriteDestFile());

        const orovista::NormalMapOutput out = orovista::writeNormalMap(map, 3.5, dir.filePath("banded.jpg"));
        ASSERT_TRUE(out.written) << out.error.toStdString();
        QFile a(dir.filePath("whole.jpg")), b(dir.filePath("banded.jpg"));
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_TRUE(a.readAll() == b.readAll()) << size;
    }
}
