// The sky texture: its rows, stars when the sun is low, threads, and the written file.
#include "noise/outputfiles.h"
#include "noise/progressreporter.h"
#include "sky/skytexture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

using namespace orovista;
using namespace orovista::sky;

RandomSource seeded(std::uint32_t seed)
{
    auto state = std::make_shared<std::uint32_t>(seed);
    return [state] {
        *state = *state * 1103515245u + 12345u;
        return int((*state >> 1) & 0x7fffffff);
    };
}

SkyDome domeFor(const SkyParameters &sky)
{
    SkyDome dome;
    dome.build(sky, 50.0f, true, seeded(3));
    return dome;
}

SkyParameters lowSun(int pitch, int intensity)
{
    SkyParameters sky = SkyParameters::defaults();
    sky.sunPitch = float(pitch);
    sky.starIntensity = intensity;
    sky.updateSun();
    return sky;
}

QImage render(const SkyParameters &sky, const SkyDome &dome, int size, int threads, std::uint32_t seed = 11)
{
    SkyTextureOptions options;
    options.threads = threads;
    options.random = seeded(seed);
    return renderSkyDomeImage(sky, dome, size, options);
}

int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

TEST(SkyTexture, RowsFollowTheModelFromZenithToNadir)
{
    const SkyParameters sky = SkyParameters::defaults();
    const QImage image = render(sky, domeFor(sky), 256, 1);
    ASSERT_EQ(image.size(), QSize(256, 256));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    const QRgb zenith = image.pixel(0, 0);
    for (int x = 1; x < 256; ++x)
        ASSERT_EQ(image.pixel(x, 0), zenith) << x;
    for (const auto &[x, y] : {std::pair{0, 0}, std::pair{64, 100}, std::pair{200, 128}, std::pair{17, 250}}) {
        const SkyRgb c = skyColor(sky, float(90.0 - y * 180.0 / 256), float(x * 360.0 / 256));
        EXPECT_EQ(image.pixel(x, y), qRgb(int(c.r * 255), int(c.g * 255), int(c.b * 255))) << x << " " << y;
    }
    // Below the horizon the picture darkens towards the nadir.
    EXPECT_LT(qGray(image.pixel(40, 250)), qGray(image.pixel(40, 140)));
}

TEST(SkyTexture, StarsOnlyWithTheSunAtPitch20OrBelowAndAnIntensity)
{
    const SkyParameters high = lowSun(21, 100);
    const SkyDome dome = domeFor(high);
    EXPECT_EQ(render(high, dome, 512, 2), render(lowSun(21, 0), dome, 512, 2)) << "pitch 21: no stars";

    const QImage starless = render(lowSun(20, 0), dome, 512, 2);
    const QImage starry = render(lowSun(20, 100), dome, 512, 2);
    const int stars = differingPixels(starless, starry);
    EXPECT_GT(stars, 500) << "pitch 20: stars";
    EXPECT_LT(stars, 20000);

    // Intensity 0 is the plain sky, as the model gives it.
    const SkyParameters none = lowSun(20, 0);
    for (int y = 0; y < 512; y += 37) {
        const SkyRgb c = skyColor(none, float(90.0 - y * 180.0 / 512), 0.0f);
        EXPECT_EQ(starless.pixel(0, y), qRgb(int(c.r * 255), int(c.g * 255), int(c.b * 255)));
    }

    // No stars in the top and bottom sixteenth of the picture, and a weaker intensity gives
    // fainter stars at the same places.
    for (int y : {0, 10, 31, 481, 500, 511})
        for (int x = 0; x < 512; ++x)
            ASSERT_EQ(starry.pixel(x, y), starless.pixel(x, y)) << x << " " << y;
    const QImage faint = render(lowSun(20, 30), dome, 512, 2);
    long brightGain = 0, faintGain = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            brightGain += qGray(starry.pixel(x, y)) - qGray(starless.pixel(x, y));
            faintGain += qGray(faint.pixel(x, y)) - qGray(starless.pixel(x, y));
        }
    EXPECT_GT(faintGain, 0);
    EXPECT_LT(faintGain * 2, brightGain);
}

TEST(SkyTexture, LargeStarsAreSoftDotsWithinTheirRadius)
{
    SkyParameters sky = lowSun(5, 100);
    sky.starPopulation = 1;
    SkyDome dome = domeFor(sky);
    const QImage plain = render(lowSun(5, 0), dome, 2048, 2);
    for (std::uint32_t seed = 1; seed < 40; ++seed) {
        const QImage image = render(sky, dome, 2048, 2, seed);
        int lit = 0, minX = 2048, maxX = -1, minY = 2048, maxY = -1;
        for (int y = 0; y < 2048; ++y)
            for (int x = 0; x < 2048; ++x)
                if (image.pixel(x, y) != plain.pixel(x, y)) {
                    ++lit;
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
                    minY = std::min(minY, y), maxY = std::max(maxY, y);
                }
        if (lit == 0)
            continue;   // this seed put the star near a pole
        const int r = 2048 * dome.stars()[0].size / 4096;
        EXPECT_LE(maxY - minY, 2 * r) << seed;
        EXPECT_LE(maxX - minX, 2 * r) << seed;
        return;
    }
    FAIL() << "no seed drew the star";
}

TEST(SkyTexture, ThreadsGiveTheSamePicture)
{
    const SkyParameters sky = lowSun(12, 80);
    const SkyDome dome = domeFor(sky);
    const QImage one = render(sky, dome, 1024, 1);
    EXPECT_EQ(render(sky, dome, 1024, 2), one);
    EXPECT_EQ(render(sky, dome, 1024, 7), one);
    EXPECT_EQ(render(sky, dome, 1024, 0), one);
}

class Panel : public noise::utils::ProgressReporter {
public:
    void SetPanelText(const QString &text) override { texts << text; }
    void SetStatusText(const QString &text) override { texts << text; }
    QStringList texts;
};

TEST(SkyTexture, MapIsWrittenAsJpegAndFailuresAreReported)
{
    QTemporaryDir dir;
    const SkyParameters sky = SkyParameters::defaults();
    const SkyDome dome = domeFor(sky);
    Panel panel;
    SkyTextureOptions options;
    options.progress = &panel;
    const QString path = dir.filePath(skyDomeTextureName("my Terrain 1"));
    EXPECT_TRUE(path.endsWith("/my Terrain 1_skyDome.jpg"));
    EXPECT_EQ(renderSkyDomeMap(sky, dome, path, 256, nullptr, options), QString());
    EXPECT_EQ(QImage(path).size(), QSize(256, 256));
    EXPECT_EQ(panel.texts, (QStringList{"computing sky dome map... please wait", "sky dome map generated"}));

    // Staged in a batch: nothing under the name until commit.
    const QString staged = dir.filePath("b_skyDome.jpg");
    {
        files::Batch batch;
        EXPECT_EQ(renderSkyDomeMap(sky, dome, staged, 256, &batch), QString());
        EXPECT_FALSE(QFile::exists(staged));
        batch.commit();
    }
    EXPECT_TRUE(QFile::exists(staged));

    panel.texts.clear();
    const QString problem = renderSkyDomeMap(sky, dome, dir.filePath("missing/folder/x.jpg"), 256, nullptr, options);
    EXPECT_TRUE(problem.startsWith("cannot write")) << problem.toStdString();
    EXPECT_FALSE(panel.texts.contains("sky dome map generated")) << "a failed write is not reported as done";
}

// The file is written a band of rows at a time; its bytes are those of the whole picture
// compressed at once, stars and all, for sizes that are and are not a multiple of the band.
TEST(SkyTexture, TheBandedFileIsTheWholePictureByteForByte)
{
    QTemporaryDir dir;
    const SkyParameters sky = lowSun(12, 80);
    const SkyDome dome = domeFor(sky);
    for (int size : {256, 2048}) {
        const QString whole = dir.filePath(QStringLiteral("whole%1.jpg").arg(size));
        ASSERT_EQ(files::writePicture(whole, render(sky, dome, size, 2, 5)), QString());
        const QString banded = dir.filePath(QStringLiteral("banded%1.jpg").arg(size));
        SkyTextureOptions options;
        options.threads = 2;
        options.random = seeded(5);
        ASSERT_EQ(renderSkyDomeMap(sky, dome, banded, size, nullptr, options), QString());
        QFile a(whole), b(banded);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_TRUE(a.readAll() == b.readAll()) << size;
    }
}

TEST(JpegRows, TheBytesOfTheToolkitsWriterAndNoFileWhenIncomplete)
{
    QTemporaryDir dir;
    QImage picture(301, 77, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 7 + y) % 256, (x * y) % 256, (y * 3) % 256));
    ASSERT_EQ(files::writePicture(dir.filePath("qt.jpg"), picture), QString());
    {
        files::JpegRows rows(dir.filePath("rows.jpg"), 301, 77);
        rows.write(picture.copy(0, 0, 301, 40));
        rows.write(picture.copy(0, 40, 301, 37));
        EXPECT_EQ(rows.rowsWritten(), 77);
        rows.finish();
    }
    QFile a(dir.filePath("qt.jpg")), b(dir.filePath("rows.jpg"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_TRUE(a.readAll() == b.readAll());

    // Too few rows: an error, and neither the file nor a temporary stays.
    {
        files::JpegRows rows(dir.filePath("short.jpg"), 301, 77);
        rows.write(picture.copy(0, 0, 301, 10));
        EXPECT_THROW(rows.finish(), files::WriteError);
    }
    {
        files::JpegRows abandoned(dir.filePath("abandoned.jpg"), 301, 77);
        abandoned.write(picture.copy(0, 0, 301, 10));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"qt.jpg", "rows.jpg"}));
    EXPECT_THROW(files::JpegRows(dir.filePath("no/such/folder/x.jpg"), 10, 10), files::WriteError);
    EXPECT_THROW(files::JpegRows(dir.filePath("zero.jpg"), 0, 10), files::WriteError);
}

TEST(JpegRows, AWriteThatFailsIsReportedWithTheSystemsReason)
{
    // A file size limit stands for a full disk: writes past it fail (EFBIG) instead of the
    // process receiving SIGXFSZ, which is ignored here.
    QTemporaryDir dir;
    QImage picture(512, 512, QImage::Format_RGB32);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            picture.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y * 13) % 256, (y * 71 + x) % 256));
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 30000;
    setrlimit(RLIMIT_FSIZE, &small);
    QString message;
    try {
        files::JpegRows rows(dir.filePath("big.jpg"), 512, 512);
        rows.write(picture);
        rows.finish();
    } catch (const files::WriteError &e) {
        message = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(message.startsWith("cannot write")) << message.toStdString();
    EXPECT_TRUE(message.contains("too large")) << message.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "no file, no temporary";
}

TEST(SkyTexture, Sizes)
{
    for (int size : {256, 512, 2048, 4096, 8192, 16384})
        EXPECT_TRUE(isSkyTextureSize(size)) << size;
    for (int size : {0, -4096, 128, 300, 4095, 32768})
        EXPECT_FALSE(isSkyTextureSize(size)) << size;
    EXPECT_TRUE(render(SkyParameters::defaults(), SkyDome(), 0, 1).isNull());
}

}   // namespace
