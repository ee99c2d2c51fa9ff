// Preset files: the written form, the forgiving reader, and saving without losing a preset.
#include "presets/presetfile.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace {

using namespace orovista;
using presets::ReadOptions;

NoiseSettings readText(const char *text, NoiseSettings s = {}, ReadOptions options = {})
{
    presets::read(QByteArray(text), s, options);
    return s;
}

/// Settings with every field away from its default, inside the controls' ranges.
NoiseSettings unusualSettings()
{
    NoiseSettings s;
    s.final.noiseSize = 77;
    s.final.startX = -12;
    s.final.startY = 31;
    s.final.leftGradient = "alpine.bmp";
    s.final.rightGradient = "tropical coast.bmp";
    for (int i : {0, 1}) {
        GeneratorSettings &g = s.input[i];
        g = {8 - i, 11 + i, 55, 33, 3, 17 + i, 9, 42, -57, -130, 12, true, QString("/img/in%1.png").arg(i)};
        DeformerSettings &d = s.deformer[i];
        d = {6 - i, -40, 60, 33, -70, 250, 12 + i, 14 - i};
    }
    s.combiner.type = 6;
    s.combiner.control = {7, 4, 150, 44, 1, 29, 2, 99, 100, 200, 100, false, "/img/control.png"};
    s.combiner.edgeFalloff = -35;
    s.final.turbulenceFrequency = -80;
    s.final.turbulencePower = 230;
    s.final.turbulenceRoughness = 22;
    s.final.turbulenceSeed = 13;
    s.final.erosionType = 3;
    s.final.erosionIterations = 640;
    s.final.erosionRain = 55;
    s.final.erosionSolubility = 12;
    s.final.erosionEvaporation = 140;
    s.final.erosionCapacity = 70;
    return s;
}

void expectSameGraph(const NoiseSettings &a, const NoiseSettings &b)
{
    EXPECT_EQ(presets::write(a), presets::write(b));
}

TEST(PresetWriter, WritesTheSeventyKeysInOrder)
{
    const QList<QByteArray> lines = presets::write(NoiseSettings{}).split('\n');
    ASSERT_EQ(lines.size(), presets::keyCount + 1);
    EXPECT_TRUE(lines.last().isEmpty());
    EXPECT_EQ(lines[0], "noiseSize=4");
    EXPECT_EQ(lines[3], "gradient1=australia 2.bmp");
    EXPECT_EQ(lines[5], "I1Type=0");
    EXPECT_EQ(lines[13], "I1NoiseImageFile=none");
    EXPECT_EQ(lines[17], "I1GaborAnisotropic=0");
    EXPECT_EQ(lines[31], "D1Type=1");
    EXPECT_EQ(lines[36], "D1RoundEdge=4");
    EXPECT_EQ(lines[49], "C1TerrainType=0");
    EXPECT_EQ(lines[59], "C1NoiseImageFile=none");
    EXPECT_EQ(lines[60], "T1frequency=0");
    EXPECT_EQ(lines[69], "erosionCapacity=1");
    NoiseSettings s;
    s.input[1].gaborAnisotropic = true;
    s.final.startX = -5;
    const QByteArray text = presets::write(s);
    EXPECT_TRUE(text.contains("\nI2GaborAnisotropic=2\n"));
    EXPECT_TRUE(text.contains("\nstartX=-5\n"));
}

TEST(PresetWriter, RoundTripsEveryValue)
{
    const NoiseSettings s = unusualSettings();
    NoiseSettings back;
    const presets::ReadResult r = presets::read(presets::write(s), back, {});
    EXPECT_EQ(r.keysRead, presets::keyCount);
    expectSameGraph(back, s);
    EXPECT_EQ(back.input[1].imageFile, "/img/in1.png");
    EXPECT_EQ(r.gradient2.value_or(""), "tropical coast.bmp");
}

TEST(PresetWriter, SedimentErosionAddsItsKeysAndOlderPresetsReadWithTheirStartValues)
{
    NoiseSettings s = unusualSettings();
    s.final.erosionType = int(ErosionType::Sediment);
    s.final.sedimentRain = 250;
    s.final.sedimentErosion = 75;
    s.final.sedimentDeposition = 12;
    s.final.sedimentCapacity = 333;
    s.final.sedimentEvaporation = 42;
    s.final.sedimentMinSlope = 7;
    s.final.sedimentSeed = 4321;
    const QByteArray text = presets::write(s);
    EXPECT_EQ(text.count('\n'), presets::keyCount + presets::sedimentKeyCount);
    EXPECT_TRUE(text.endsWith("erosionCapacity=70\nsedimentRain=250\nsedimentErosion=75\nsedimentDeposition=12\n"
                              "sedimentCapacity=333\nsedimentEvaporation=42\nsedimentMinSlope=7\nsedimentSeed=4321\n"));
    NoiseSettings back;
    EXPECT_EQ(presets::read(text, back, {}).keysRead, presets::keyCount + presets::sedimentKeyCount);
    EXPECT_TRUE(back.final == s.final);

    // The same preset with another erosion type: the seventy keys only, and read fresh it gives
    // the sediment start values.
    s.final.erosionType = int(ErosionType::Hydraulics);
    const QByteArray older = presets::write(s);
    EXPECT_EQ(older.count('\n'), presets::keyCount);
    EXPECT_FALSE(older.contains("sediment"));
    NoiseSettings fresh;
    presets::read(older, fresh, {});
    EXPECT_EQ(fresh.final.sedimentRain, FinalSettings{}.sedimentRain);
    EXPECT_EQ(fresh.final.sedimentSeed, FinalSettings{}.sedimentSeed);
    // Values outside a control's range are clamped into it, as for every key.
    NoiseSettings bad;
    presets::read("erosionType=5\nsedimentDeposition=500\nsedimentSeed=-3\n", bad, {});
    EXPECT_EQ(bad.final.erosionType, int(ErosionType::Sediment));
    EXPECT_EQ(bad.final.sedimentDeposition, 100);
    EXPECT_EQ(bad.final.sedimentSeed, 0);
}

TEST(PresetReader, SplitsAtEqualsSigns)
{
    EXPECT_EQ(readText("noiseSize=12=3").final.noiseSize, 12);
    EXPECT_EQ(readText("=noiseSize=9").final.noiseSize, 9) << "empty fields are skipped";
    EXPECT_EQ(readText("noiseSize==9").final.noiseSize, 9);
    EXPECT_EQ(readText("noiseSize").final.noiseSize, 1) << "no value reads as 0, then the control's minimum";
    EXPECT_EQ(readText("noiseSize=7\r\nstartX=3\r\n").final.startX, 3);
    EXPECT_EQ(readText("NoiseSize=9").final.noiseSize, 4) << "keys are case-sensitive";
}

TEST(PresetReader, ReadsNumbersLikeAtoi)
{
    EXPECT_EQ(readText("startX=+7abc").final.startX, 7);
    EXPECT_EQ(readText("startX=-3x").final.startX, -3);
    EXPECT_EQ(readText("startX=  12").final.startX, 12);
    EXPECT_EQ(readText("startX=abc").final.startX, 0);
    EXPECT_EQ(readText("T1seed=99999999999999999999").final.turbulenceSeed, INT_MAX);
    EXPECT_EQ(readText("noiseSize=100000").final.noiseSize, 512) << "clamped like the spin box";
    EXPECT_EQ(readText("I1Type=42").input[0].type, 9);
    EXPECT_EQ(readText("D2Curve=-4").deformer[1].curveProfile, 0);
    EXPECT_TRUE(readText("I1GaborAnisotropic=7").input[0].gaborAnisotropic);
    EXPECT_FALSE(readText("I1GaborAnisotropic=0", unusualSettings()).input[0].gaborAnisotropic);
}

TEST(PresetReader, MissingKeysLeaveValuesAndTheLastDuplicateWins)
{
    const NoiseSettings before = unusualSettings();
    NoiseSettings s = readText("erosionType=0\n", before);
    EXPECT_EQ(s.final.erosionType, 0);
    s.final.erosionType = before.final.erosionType;
    expectSameGraph(s, before);

    EXPECT_EQ(readText("noiseSize=5\nD1RoundEdge=6\nD2RoundEdge=7\n").final.noiseSize, 7);
    EXPECT_EQ(readText("D2RoundEdge=7\nnoiseSize=5\nD1RoundEdge=6\n").final.noiseSize, 6);
    EXPECT_EQ(readText("startX=1\nstartX=2\n").final.startX, 2);
}

TEST(PresetReader, ResolvesImagePathsByPresetKind)
{
    NoiseSettings s = unusualSettings();
    presets::read("I1NoiseImageFile=rock.png\nI2NoiseImageFile=none\nC1NoiseImageFile=/home/me/c.png\n", s,
                  {false, "/opt/orovistaData/presets"});
    EXPECT_EQ(s.input[0].imageFile, "/opt/orovistaData/presets/rock.png");
    EXPECT_EQ(s.input[1].imageFile, "/img/in1.png") << "none leaves the path alone";
    presets::read("I1NoiseImageFile=/home/me/rock.png\n", s, {true, "/opt/orovistaData/presets"});
    EXPECT_EQ(s.input[0].imageFile, "/home/me/rock.png");
}

TEST(PresetReader, TakesAnyBytes)
{
    NoiseSettings s;
    EXPECT_EQ(presets::read({}, s, {}).keysRead, 0);
    std::mt19937 random(7);
    QByteArray garbage;
    for (int i = 0; i < 100000; ++i)
        garbage += char(random());
    presets::read(garbage, s, {});
    presets::read(QByteArray(1 << 20, '=') + "noiseSize=3", s, {});
    EXPECT_EQ(s.final.noiseSize, 3);
    presets::read("gradient1=" + QByteArray(200000, 'x'), s, {});
    EXPECT_EQ(s.final.leftGradient.size(), 200000);
    const presets::ReadResult r = presets::read("no equals here\n\n\n===\ngradient2=a=b", s, {});
    EXPECT_FALSE(r.gradient1.has_value());
    EXPECT_EQ(r.gradient2.value_or(""), "a");
}

TEST(PresetNames, RefusesPathsAndAcceptsUnusualNames)
{
    for (const char *bad : {"", ".", "..", "a/b", "../up", "/abs", "back\\slash", "two\nlines", "car\rriage", "tab\there",
                            "bell\a", "del\x7f", "next\u0085line", "line\u2028separator"})
        EXPECT_FALSE(presets::nameProblem(QString::fromUtf8(bad)).isEmpty()) << bad;
    for (const char *good : {"my preset", "v1.2 dunes", "Größe Höhe", "...dots", ".hidden"})
        EXPECT_TRUE(presets::nameProblem(QString::fromUtf8(good)).isEmpty()) << good;
}

// The command line's KEY=VALUE: the reader's keys and ranges, but nothing clamped or guessed.
TEST(PresetKeys, ASingleValueIsTakenWholeOrRefused)
{
    NoiseSettings s;
    s.input[0].octaves = 6;
    bool known = false;
    EXPECT_EQ(presets::setKey(s, "I1octaves", "30", {}, &known), "");
    EXPECT_TRUE(known);
    EXPECT_EQ(s.input[0].octaves, 30);
    EXPECT_EQ(presets::setKey(s, "I1octaves", " +7 ", {}), "");
    EXPECT_EQ(s.input[0].octaves, 7);
    for (const char *bad : {"1000", "31", "0", "-5"})
        EXPECT_EQ(presets::setKey(s, "I1octaves", bad, {}), "I1octaves must lie between 1 and 30") << bad;
    for (const char *bad : {"nan", "inf", "abc", "3.5", "", "7x", "0x10", "1e3", "99999999999999999999"})
        EXPECT_EQ(presets::setKey(s, "I1octaves", bad, {}), "I1octaves needs a whole number between 1 and 30") << bad;
    EXPECT_EQ(s.input[0].octaves, 7) << "a refused value changes nothing";

    EXPECT_EQ(presets::setKey(s, "T1seed", "-2147483648", {}), "");
    EXPECT_EQ(s.final.turbulenceSeed, INT_MIN);
    EXPECT_EQ(presets::setKey(s, "T1seed", "2147483648", {}), "T1seed must lie between -2147483648 and 2147483647");
    EXPECT_EQ(presets::setKey(s, "I2GaborAnisotropic", "2", {}), "");
    EXPECT_TRUE(s.input[1].gaborAnisotropic);
    EXPECT_EQ(presets::setKey(s, "I2GaborAnisotropic", "3", {}), "I2GaborAnisotropic must lie between 0 and 2");
    EXPECT_EQ(presets::setKey(s, "gradient1", "desert.bmp", {}), "");
    EXPECT_EQ(s.final.leftGradient, "desert.bmp");
    EXPECT_EQ(presets::setKey(s, "gradient1", "two\nlines", {}), "gradient1 must be one line");
    EXPECT_EQ(presets::setKey(s, "I3octaves", "3", {}, &known), "no preset key \"I3octaves\"");
    EXPECT_FALSE(known);

    // The file reader stays as forgiving as stored presets need.
    EXPECT_EQ(readText("I1octaves=1000\n").input[0].octaves, 30);
    EXPECT_EQ(readText("I1octaves=abc\n").input[0].octaves, 1);
}

class PresetSaving : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

TEST_F(PresetSaving, SavesAndLoadsBackWithAThumbnail)
{
    const NoiseSettings s = unusualSettings();
    QString error;
    ASSERT_TRUE(presets::save(dir.path(), QString::fromUtf8("Größe v1.2"), s, &error)) << error.toStdString();
    NoiseSettings back;
    bool opened = false;
    presets::readFile(dir.filePath(QString::fromUtf8("Größe v1.2.opf")), back, {}, &opened);
    EXPECT_TRUE(opened);
    expectSameGraph(back, s);

    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(dir.filePath("TFF.jpg")));
    ASSERT_TRUE(presets::saveThumbnail(dir.path(), "dunes", dir.filePath("TFF.jpg")));
    EXPECT_EQ(QImage(dir.filePath("dunes.jpg")).size(), QSize(128, 128));
    EXPECT_FALSE(presets::saveThumbnail(dir.path(), "dunes", dir.filePath("missing.jpg")));
}

TEST_F(PresetSaving, AFailedSaveKeepsTheOldPreset)
{
    ASSERT_TRUE(presets::save(dir.path(), "keep", NoiseSettings{}));
    const QString path = dir.filePath("keep.opf");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();

    QString error;
    EXPECT_FALSE(presets::save(dir.path(), "../keep", unusualSettings(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(presets::save(dir.filePath("no such folder"), "keep", unusualSettings(), &error));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.opf"}) << "no temporary file left";
}

TEST(PresetReader, UnreadableFileReadsAsEmpty)
{
    NoiseSettings s = unusualSettings();
    bool opened = true;
    EXPECT_EQ(presets::readFile("/no/such/preset.opf", s, {}, &opened).keysRead, 0);
    EXPECT_FALSE(opened);
    expectSameGraph(s, unusualSettings());
}

}   // namespace
