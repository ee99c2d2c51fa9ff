// Work files: a round trip gives back every value bit for bit; other versions and damaged or
// hostile files are refused with one line; props resolve only inside their library.
#include "presets/workfile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace orovista;

namespace {

work::Work sample()
{
    work::Work w;
    w.nodes = "I1Type=3\nI1frequency=12\n";
    w.terrainSize = 1000;
    w.terrainSizeExponent = 3;
    w.elevationLow = -40;
    w.elevationHigh = 220;
    w.grid = 64;
    w.vertices.resize(64 * 64 * 3);
    for (std::size_t i = 0; i < w.vertices.size(); ++i)
        w.vertices[i] = float(std::sin(double(i) * 0.37) * 12.345678) + 1e-7f * float(i);
    for (int i = 0; i < 3; ++i) {
        work::Item item;
        item.prop = QStringLiteral("Runtime/Libraries/Props/Trees/pine.pp2");
        item.values.id = i;
        item.values.x = 1.0f / 3.0f + float(i);
        item.values.y = -0.1f;
        item.values.z = 7.25f;
        item.values.yRot = 63 + i;
        item.values.scaleY = 117.5f;
        item.values.red = 0.6f;
        w.items.push_back(item);
    }
    w.chosenProp = QStringLiteral("Runtime/Libraries/Props/Rocks/boulder.pp2");
    w.sky = {{QStringLiteral("glSunPitchSlider"), 12}, {QStringLiteral("TurbiditySlider"), 340}};
    w.camera = std::array<double, 6> {1.5, -2.25, 200.0, 30.0, 20.0, 0.0};
    w.light = std::array<int, 3> {45, 120, 80};
    w.textureLight = std::array<int, 5> {0, 7, 55, 300, 20};
    w.starSeed = 4000000000u;
    w.create = {{QStringLiteral("createDAZTerrainNameLineEdit"), QStringLiteral("valley 2")},
                {QStringLiteral("normalMapSizeComboBox"), 2}};
    return w;
}

QString problem(const QByteArray &bytes)
{
    QString error;
    EXPECT_FALSE(work::read(bytes, &error).has_value()) << bytes.left(200).toStdString();
    return error;
}

QByteArray edited(const std::function<void(QJsonObject &)> &edit)
{
    QJsonObject root = QJsonDocument::fromJson(work::write(sample())).object();
    edit(root);
    return QJsonDocument(root).toJson();
}

}   // namespace

TEST(WorkFile, ARoundTripGivesBackEveryValueBitForBit)
{
    const work::Work w = sample();
    QString error;
    const std::optional<work::Work> back = work::read(work::write(w), &error);
    ASSERT_TRUE(back.has_value()) << error.toStdString();
    EXPECT_EQ(back->nodes, w.nodes);
    EXPECT_EQ(back->terrainSize, 1000);
    EXPECT_EQ(back->terrainSizeExponent, 3);
    EXPECT_EQ(back->elevationLow, -40);
    EXPECT_EQ(back->elevationHigh, 220);
    EXPECT_EQ(back->grid, 64);
    ASSERT_EQ(back->vertices.size(), w.vertices.size());
    EXPECT_EQ(std::memcmp(back->vertices.data(), w.vertices.data(), w.vertices.size() * sizeof(float)), 0);
    ASSERT_EQ(back->items.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back->items[i].prop, w.items[i].prop);
        EXPECT_EQ(back->items[i].values, w.items[i].values) << "item " << i;
    }
    EXPECT_EQ(back->chosenProp, w.chosenProp);
    EXPECT_EQ(back->sky.value("TurbiditySlider").toInt(), 340);
    EXPECT_EQ(back->camera, w.camera);
    EXPECT_EQ(back->light, w.light);
    EXPECT_EQ(back->textureLight, w.textureLight);
    EXPECT_EQ(back->starSeed, w.starSeed);
    EXPECT_EQ(back->create.value("createDAZTerrainNameLineEdit").toString(), "valley 2");

    // What presets do not keep goes back into the final node's settings.
    FinalSettings f;
    work::applyKept(*back, f);
    EXPECT_EQ(f.terrainSize, 1000);
    EXPECT_EQ(f.terrainSizeExponent, 3);
    EXPECT_EQ(f.elevationLow, -40);
    EXPECT_FALSE(f.lightOn);
    EXPECT_EQ(f.lightContrast, 7);
    EXPECT_EQ(f.lightElevation, 20);

    // The CREATE choices as values: the controls' indexes mapped through their lists, the
    // window's start values where the work says nothing.
    const work::CreateChoices c = work::createChoices(*back);
    EXPECT_EQ(c.name, "valley 2");
    EXPECT_EQ(c.normalMapSize, 1024);
    EXPECT_EQ(c.textureSize, 512);
    EXPECT_EQ(c.skySize, 0);
    EXPECT_EQ(c.heightmapSize, 1025);
    work::Work chosen;
    chosen.create = {{"heightmapFormatComboBox", 4}, {"engineComboBox", 2}, {"skyDomeMapSizeComboBox", 3},
                     {"createDAZTerrainTextureSizeComboBox", 99}, {"normalMapBumpHeightSlider", 1e9}};
    const work::CreateChoices all = work::createChoices(chosen);
    EXPECT_EQ(all.heightmapFormats, QStringList({"png16", "r16", "exr"}));
    EXPECT_EQ(all.engine, "unreal");
    EXPECT_EQ(all.skySize, 16384);
    EXPECT_EQ(all.textureSize, 512) << "an index beyond the list";
    EXPECT_EQ(all.bumpSlider, 5000);

    // A work with no terrain and no items yet is a work file too.
    work::Work bare;
    bare.nodes = "I1Type=0\n";
    const auto empty = work::read(work::write(bare), &error);
    ASSERT_TRUE(empty.has_value()) << error.toStdString();
    EXPECT_EQ(empty->terrainSize, 0);
    EXPECT_TRUE(empty->items.empty());
    EXPECT_FALSE(empty->camera.has_value());
}

TEST(WorkFile, OtherVersionsAndDamagedFilesAreRefusedWithOneLine)
{
    EXPECT_EQ(problem(edited([](QJsonObject &o) { o["version"] = 2; })),
              "a work file of format 2, from a newer version of OROVISTA; this one reads format 1");
    EXPECT_TRUE(problem(edited([](QJsonObject &o) { o["version"] = 0; })).startsWith("a work file without a valid version"));
    EXPECT_TRUE(problem(edited([](QJsonObject &o) { o["version"] = 1.5; })).startsWith("a work file without a valid version"));
    EXPECT_TRUE(problem(edited([](QJsonObject &o) { o["version"] = 1e86; })).startsWith("a work file without a valid version"));
    EXPECT_TRUE(problem(edited([](QJsonObject &o) { o["format"] = "something else"; })).startsWith("not a work file"));
    EXPECT_TRUE(problem("{\"format\": \"orovista-work\", \"version\": 1,").startsWith("not a work file: "));
    EXPECT_TRUE(problem(QByteArray("\x89PNG\r\n\x1a\n", 8)).startsWith("not a work file: "));
    EXPECT_TRUE(problem(edited([](QJsonObject &o) { o.remove("nodes"); })).contains("node settings"));

    // The terrain block: a grid it cannot hold, a size header that lies (checked before anything
    // is unpacked, so a claimed gigabyte allocates nothing), cut or non-finite heights.
    auto terrain = [](const std::function<void(QJsonObject &)> &edit) {
        return edited([&](QJsonObject &o) {
            QJsonObject t = o["terrain"].toObject();
            edit(t);
            o["terrain"] = t;
        });
    };
    EXPECT_TRUE(problem(terrain([](QJsonObject &t) { t["grid"] = 5000; })).contains("no valid size and grid"));
    EXPECT_TRUE(problem(terrain([](QJsonObject &t) { t["grid"] = 65; })).contains("are not 65 × 65 vertices"));
    EXPECT_TRUE(problem(terrain([](QJsonObject &t) { t["sizeExponent"] = 9; })).contains("size exponent"));
    EXPECT_TRUE(problem(terrain([](QJsonObject &t) { t["elevation"] = QJsonArray {5, 10}; })).contains("elevation range"));
    EXPECT_TRUE(problem(edited([](QJsonObject &o) { o["starSeed"] = -1; })).contains("star seed"));
    EXPECT_TRUE(problem(edited([](QJsonObject &o) { o["textureLight"] = QJsonArray {1, 0, 40, 45, 45}; }))
                    .contains("texture light"));
    QByteArray bomb(4, '\0');
    qToBigEndian<quint32>(64 * 64 * 3 * 4, bomb.data());
    bomb += QByteArray(100, 'x');
    EXPECT_TRUE(problem(terrain([&](QJsonObject &t) { t["vertices"] = QString::fromLatin1(bomb.toBase64()); }))
                    .contains("damaged"));
    std::vector<float> nan(64 * 64 * 3, 1.0f);
    nan[77] = std::numeric_limits<float>::quiet_NaN();
    QByteArray raw(reinterpret_cast<const char *>(nan.data()), qsizetype(nan.size() * 4));
    EXPECT_TRUE(problem(terrain([&](QJsonObject &t) { t["vertices"] = QString::fromLatin1(qCompress(raw).toBase64()); }))
                    .contains("not a number"));

    // Items: a prop outside its library, a number that is not one.
    auto item = [](const char *key, const QJsonValue &value) {
        return edited([&](QJsonObject &o) {
            QJsonArray items = o["items"].toArray();
            QJsonObject first = items[0].toObject();
            first[QLatin1String(key)] = value;
            items[0] = first;
            o["items"] = items;
        });
    };
    EXPECT_EQ(problem(item("prop", "../../etc/passwd")), "the work file's item 1 is damaged");
    EXPECT_EQ(problem(item("prop", "/etc/passwd")), "the work file's item 1 is damaged");
    EXPECT_EQ(problem(item("prop", "http://example.com/pine.pp2")), "the work file's item 1 is damaged");
    EXPECT_EQ(problem(item("x", "12")), "the work file's item 1 is damaged");
    EXPECT_EQ(problem(item("rot", QJsonArray {1, 2})), "the work file's item 1 is damaged");
    EXPECT_EQ(problem(item("scale", 1e39)), "the work file's item 1 is damaged");
}

TEST(WorkFile, PropsResolveOnlyInsideTheirLibrary)
{
    QTemporaryDir home;
    const QString library = home.filePath("library"), other = home.filePath("other");
    ASSERT_TRUE(QDir().mkpath(library + "/Runtime/Libraries/Props"));
    ASSERT_TRUE(QDir().mkpath(other));
    for (const QString &file : {library + "/Runtime/Libraries/Props/pine.pp2", other + "/secret.pp2"}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(other + "/secret.pp2", library + "/Runtime/Libraries/Props/link.pp2"));

    const QStringList libraries {home.filePath("empty"), library};
    EXPECT_EQ(work::relativeToLibrary(library + "/Runtime/Libraries/Props/pine.pp2", libraries),
              "Runtime/Libraries/Props/pine.pp2");
    EXPECT_EQ(work::relativeToLibrary(other + "/secret.pp2", libraries), QString()) << "in no library";
    EXPECT_EQ(work::resolveInLibraries("Runtime/Libraries/Props/pine.pp2", libraries),
              QDir(library).filePath("Runtime/Libraries/Props/pine.pp2"));
    EXPECT_EQ(work::resolveInLibraries("Runtime/Libraries/Props/missing.pp2", libraries), QString());
    EXPECT_EQ(work::resolveInLibraries("Runtime/Libraries/Props/link.pp2", libraries), QString()) << "leads out";
    EXPECT_EQ(work::resolveInLibraries("../other/secret.pp2", libraries), QString());
}
