// `orovista generate --scene`: the terrain scene as a glTF file that other programs open.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <map>
#include <tiny_gltf.h>

namespace {

const QString resources = QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData");
const QString validator = QStringLiteral(OROVISTA_SOURCE_DIR "/tools/gltf/validate.mjs");

struct Outcome {
    int status;
    QString out, err;
};

Outcome run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    EXPECT_TRUE(p.waitForFinished(600000));
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

class Scene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        for (const char *scene : {"scene.gltf", "scene.glb"}) {
            const Outcome r = run(QStringLiteral(OROVISTA_CLI),
                                  {"generate", "--preset", QStringLiteral(OROVISTA_SOURCE_DIR "/data/presets/") + firstPreset(),
                                   "--out", dir->filePath("out"), "--resources", resources, "--quiet", "--terrain-size",
                                   "1000", "--elevation", "0:15", "--normal-map", "512", "--sky", "256", "--scene",
                                   dir->filePath(QLatin1String("out/") + scene)});
            EXPECT_EQ(r.status, 0) << r.err.toStdString();
        }
    }
    static void TearDownTestSuite() { delete dir; }

    static QString firstPreset()
    {
        const QStringList all = QDir(QStringLiteral(OROVISTA_SOURCE_DIR "/data/presets")).entryList({"*.opf"}, QDir::Files, QDir::Name);
        return all.isEmpty() ? QString() : all.first();
    }

    static bool load(const char *file, tinygltf::Model &model)
    {
        tinygltf::TinyGLTF reader;
        std::string error, warning;
        const std::string path = dir->filePath(QLatin1String("out/") + file).toStdString();
        const bool ok = QByteArray(file).endsWith(".glb") ? reader.LoadBinaryFromFile(&model, &error, &warning, path)
                                                          : reader.LoadASCIIFromFile(&model, &error, &warning, path);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    static const tinygltf::Node *node(const tinygltf::Model &model, const std::string &name)
    {
        for (const tinygltf::Node &n : model.nodes)
            if (n.name == name)
                return &n;
        return nullptr;
    }

    static inline QTemporaryDir *dir = nullptr;
};

TEST_F(Scene, TerrainSkyAndCamerasInBothForms)
{
    for (const char *file : {"scene.gltf", "scene.glb"}) {
        SCOPED_TRACE(file);
        tinygltf::Model model;
        ASSERT_TRUE(load(file, model));
        EXPECT_EQ(model.nodes.size(), 7u) << "terrain, five cameras, the sun";
        EXPECT_EQ(model.meshes.size(), 1u);
        EXPECT_EQ(model.materials.size(), 1u);
        EXPECT_EQ(model.textures.size(), 2u) << "colour texture, normal map";
        EXPECT_EQ(model.cameras.size(), 5u);

        const tinygltf::Node *terrain = node(model, "my Terrain 1");
        ASSERT_NE(terrain, nullptr);
        ASSERT_GE(terrain->mesh, 0);
        const tinygltf::Primitive &ground = model.meshes[std::size_t(terrain->mesh)].primitives.at(0);
        for (const char *attribute : {"POSITION", "NORMAL", "TEXCOORD_0", "TANGENT"})
            EXPECT_EQ(ground.attributes.count(attribute), 1u) << attribute;
        const tinygltf::Accessor &positions = model.accessors[std::size_t(ground.attributes.at("POSITION"))];
        EXPECT_NEAR(positions.minValues.at(0), -500.0, 1e-3) << "metres: a 1000 m terrain";
        EXPECT_NEAR(positions.maxValues.at(2), 500.0, 1e-3);
        const tinygltf::Material &ground_material = model.materials[std::size_t(ground.material)];
        EXPECT_GE(ground_material.pbrMetallicRoughness.baseColorTexture.index, 0);
        EXPECT_GE(ground_material.normalTexture.index, 0);
        EXPECT_GT(ground_material.pbrMetallicRoughness.roughnessFactor, 0.7) << "matte ground";

        // No dome to enclose and shade the scene: its picture lies beside the file, named in
        // the scene's extras; the sun lights the scene from where the sky has it.
        EXPECT_EQ(node(model, "skyDome"), nullptr);
        const std::string environment = model.scenes.at(0).extras.Get("environment").Get<std::string>();
        EXPECT_EQ(environment, std::string(QFileInfo(file).completeBaseName().toStdString() + "_sky.jpg"));
        EXPECT_TRUE(QFileInfo::exists(dir->filePath(QStringLiteral("out/") + QString::fromStdString(environment))));
        ASSERT_EQ(model.lights.size(), 1u);
        EXPECT_EQ(model.lights[0].type, "directional");
        const tinygltf::Node *sun = node(model, "my Terrain 1 Sun");
        ASSERT_NE(sun, nullptr);
        EXPECT_EQ(sun->extensions.count("KHR_lights_punctual"), 1u);
        ASSERT_EQ(sun->rotation.size(), 4u);
        // The light travels down, away from the sun (default pitch: above the horizon).
        const double x = sun->rotation[0], y = sun->rotation[1], z = sun->rotation[2], w = sun->rotation[3];
        const double down = -(2.0 * (y * z - w * x)) * 1.0;   // y of the rotated (0, 0, -1)
        EXPECT_LT(down, -0.1);

        const tinygltf::Node *nw = node(model, "my Terrain 1 NW Camera");
        ASSERT_NE(nw, nullptr);
        ASSERT_GE(nw->camera, 0);
        ASSERT_EQ(nw->translation.size(), 3u);
        EXPECT_NEAR(nw->translation[0], -875.0, 1e-3);
        EXPECT_NEAR(nw->translation[1], 135.0, 1e-3);
        EXPECT_NEAR(nw->translation[2], -875.0, 1e-3);
        EXPECT_NE(node(model, "my Terrain 1 Main Camera"), nullptr);
    }
}

TEST_F(Scene, TheKhronosValidatorFindsNoErrors)
{
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty() ||
        !QFileInfo::exists(QStringLiteral(OROVISTA_SOURCE_DIR "/tools/gltf/node_modules/gltf-validator")))
        GTEST_SKIP() << "the glTF validator is not installed (./test.sh installs it)";
    for (const char *file : {"scene.gltf", "scene.glb"}) {
        const Outcome r = run(QStringLiteral("node"), {validator, dir->filePath(QLatin1String("out/") + file)});
        EXPECT_EQ(r.status, 0) << file << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QLatin1String(" 0 errors, 0 warnings"))) << r.out.toStdString();
    }
}

// The scene is staged with the run's other files, yet names them (and embeds them) as they are
// once in place.
TEST_F(Scene, TexturesAreTheRunsFilesByTheirOwnNames)
{
    const QStringList textures = {"my Terrain 1.jpg", "NormalMap_my Terrain 1.jpg"};
    tinygltf::Model gltf;
    ASSERT_TRUE(load("scene.gltf", gltf));
    // Copies beside the .gltf under plain names (no spaces to escape, no way out of the folder),
    // each the run's file byte for byte.
    QStringList uris;
    for (const tinygltf::Image &image : gltf.images)
        uris << QString::fromStdString(image.uri);
    uris.sort();
    EXPECT_EQ(uris, (QStringList{"NormalMap_my_Terrain_1.jpg", "my_Terrain_1.jpg"}));
    for (const auto &[uri, file] : {std::pair{"my_Terrain_1.jpg", "my Terrain 1.jpg"},
                                    std::pair{"NormalMap_my_Terrain_1.jpg", "NormalMap_my Terrain 1.jpg"}}) {
        QFile copy(dir->filePath(QStringLiteral("out/") + uri)), original(dir->filePath(QStringLiteral("out/") + file));
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << uri;
        ASSERT_TRUE(original.open(QIODevice::ReadOnly)) << file;
        EXPECT_EQ(copy.readAll(), original.readAll()) << uri;
    }
    ASSERT_EQ(gltf.buffers.size(), 1u);
    EXPECT_EQ(gltf.buffers[0].uri, "scene.bin");

    // The folder moved elsewhere still has everything: the scene loads with every picture.
    const QString moved = dir->filePath(QStringLiteral("elsewhere/deeper"));
    ASSERT_TRUE(QDir().mkpath(moved));
    for (const QString &file : uris + QStringList{"scene.gltf", "scene.bin"})
        ASSERT_TRUE(QFile::copy(dir->filePath("out/" + file), moved + "/" + file)) << file.toStdString();
    tinygltf::Model there;
    tinygltf::TinyGLTF reader;
    std::string error, warning;
    ASSERT_TRUE(reader.LoadASCIIFromFile(&there, &error, &warning, (moved + "/scene.gltf").toStdString())) << error;
    ASSERT_EQ(there.images.size(), 2u);
    for (const tinygltf::Image &image : there.images)
        EXPECT_GT(image.width, 0) << image.uri;

    tinygltf::Model glb;
    ASSERT_TRUE(load("scene.glb", glb));
    QList<QByteArray> embedded;
    for (const tinygltf::Image &image : glb.images) {
        ASSERT_GE(image.bufferView, 0);
        const tinygltf::BufferView &view = glb.bufferViews[std::size_t(image.bufferView)];
        embedded << QByteArray(reinterpret_cast<const char *>(glb.buffers[0].data.data() + view.byteOffset),
                               qsizetype(view.byteLength));
    }
    for (const QString &file : textures) {
        QFile f(dir->filePath("out/" + file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
        EXPECT_TRUE(embedded.contains(f.readAll())) << file.toStdString();
    }
    EXPECT_TRUE(QDir(dir->filePath("out")).entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty());
}

// A scene whose buffer cannot be put in place (a folder has its name) fails the run, and the run
// changes nothing: not the earlier scene, mesh or textures, not the pictures in maps/.
TEST(SceneOption, ASceneThatCannotBePutInPlaceLeavesEveryEarlierFile)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const QString preset = QStringLiteral(OROVISTA_SOURCE_DIR "/data/presets/") +
                           QDir(QStringLiteral(OROVISTA_SOURCE_DIR "/data/presets")).entryList({"*.opf"}, QDir::Files, QDir::Name).value(0);
    const QStringList common = {"generate", "--preset", preset, "--out", out, "--resources", resources, "--quiet",
                                "--normal-map", "512", "--scene", out + "/scene.gltf"};
    ASSERT_EQ(run(QStringLiteral(OROVISTA_CLI), common).status, 0);
    auto everything = [&] {
        std::map<QString, QByteArray> files;
        QDirIterator it(out, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            files[f.fileName()] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }
        return files;
    };
    const std::map<QString, QByteArray> earlier = everything();
    ASSERT_TRUE(QFile::remove(out + "/scene.bin"));
    ASSERT_TRUE(QDir().mkpath(out + "/scene.bin/taken"));
    std::map<QString, QByteArray> expected = everything();

    const Outcome r = run(QStringLiteral(OROVISTA_CLI), common + QStringList{"--elevation", "-40:200", "--terrain-size", "700"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("cannot write " + out + "/scene.bin: Is a directory")) << r.err.toStdString();
    EXPECT_TRUE(everything() == expected) << "every earlier file byte for byte";
    EXPECT_EQ(expected.size() + 1, earlier.size());
}

TEST(SceneOption, AFileThatIsNotGltfIsRefused)
{
    QTemporaryDir dir;
    const Outcome r = run(QStringLiteral(OROVISTA_CLI), {"generate", "--preset", "x.opf", "--out", dir.path(), "--scene",
                                                         dir.filePath("scene.obj")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(QLatin1String("--scene needs a file name ending .gltf or .glb"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("scene.obj")));
}

}   // namespace
