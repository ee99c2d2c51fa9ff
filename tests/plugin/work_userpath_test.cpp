// Keeping a piece of work: SAVE WORK after sculpting, painting, a sky and a name; the window
// closed and opened again; OPEN WORK gives back the same picture, items and choices. Damaged work
// files are refused and change nothing.
#include "userpathfixture.h"

#include "dzgltfexporter.h"
#include "dzgltfimporter.h"
#include "dznode.h"
#include "dzscene.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>

#include <map>

namespace {

class Work : public UserPathWithProps {
protected:
    /// The ground and items as paint mode shows them (no brush).
    static QImage paintView()
    {
        click(find<QPushButton>(QStringLiteral("glPaintButton")));
        return look(preview());
    }
    static QString triangles() { return triangleLabel()->text(); }

    /// A bump raised in the middle of the view.
    static void sculpt(QOpenGLWidget *gl, QPoint at)
    {
        click(find<QPushButton>(QStringLiteral("glTerrainButton")));
        QTest::mousePress(gl, Qt::LeftButton, {}, at);
        for (int i = 0; i < 10; ++i)
            dragTo(gl, at + QPoint(i % 2, 0));
        QTest::mouseRelease(gl, Qt::LeftButton, {}, at);
    }

    /// QUIT, and the window opened again from the studio's create action.
    void quitAndReopen()
    {
        answers.push_back({QStringLiteral("Yes"), {}});
        click(button(QStringLiteral("QUIT")));
        ASSERT_TRUE(waitFor([] { return !window(); }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        openWindow();
    }

    /// OPEN WORK of a file, answered in its dialog.
    void openWork(const QString &file)
    {
        answers.push_back({{}, file});
        click(find<QPushButton>(QStringLiteral("openWorkButton")));
        ASSERT_TRUE(waitFor([&] { return statusLine().startsWith(QLatin1String("work opened: ")); }))
            << statusLine().toStdString();
    }

    /// Every file of the terrain's name in a folder (its normal map too), by file name.
    static std::map<QString, QByteArray> filesOf(const QString &folder, const QString &name)
    {
        std::map<QString, QByteArray> files;
        const QStringList named {name + QLatin1Char('*'), QStringLiteral("NormalMap_") + name + QStringLiteral(".jpg")};
        for (const QFileInfo &info : QDir(folder).entryInfoList(named, QDir::Files)) {
            QFile f(info.filePath());
            if (f.open(QIODevice::ReadOnly))
                files[info.fileName()] = f.readAll();
        }
        return files;
    }

    /// The scene's nodes as the outliner lists them: each under its parent, sorted.
    static QStringList outline(const DzScene *scene)
    {
        QStringList lines;
        for (int i = 0; i < scene->getNumNodes(); ++i) {
            const DzNode *node = scene->getNode(i);
            lines << (node->getNodeParent() ? node->getNodeParent()->getName() + QStringLiteral(" / ") : QString())
                         + node->getName();
        }
        lines.sort();
        return lines;
    }

    /// CREATE Studio SCENE !, and the wait until the status line names the scene.
    static void create(const QString &name)
    {
        click(find<QPushButton>(QStringLiteral("createDAZTerrainButton")));
        ASSERT_TRUE(waitFor([&] { return statusLine() == QStringLiteral("Studio scene created: ") + name; }, 120000))
            << statusLine().toStdString();
    }

    /// `orovista generate --work` of a work file into a folder: every file but the work itself
    /// must be the bytes of the window's CREATE in expected.
    static void expectTheCommandLineMakes(const QString &work, const QString &out, const QString &name,
                                          const std::map<QString, QByteArray> &expected)
    {
        QProcess cli;
        cli.start(QStringLiteral(OROVISTA_CLI), {"generate", "--work", work, "--out", out, "--resources",
                                                 QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData"), "--quiet"});
        ASSERT_TRUE(cli.waitForFinished(300000));
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        const std::map<QString, QByteArray> made = filesOf(out, name);
        for (const auto &[file, bytes] : expected)
            if (!file.endsWith(QLatin1String(".orovista"))) {
                EXPECT_TRUE(made.count(file) && made.at(file) == bytes) << file.toStdString() << " differs on the command line";
            }
    }

    void TearDown() override
    {
        UserPathWithProps::TearDown();
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(Work, SavedWorkOpensAgainAsItWasAfterTheWindowClosed)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    const QPoint middle(gl->width() / 2, gl->height() / 2);

    // A sculpted bump, three rocks, a low sun, a name.
    sculpt(gl, middle);
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Rocks"), QStringLiteral("boulder.pp2")));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(gl, Qt::LeftButton, {}, middle + QPoint(60 * i - 60, 40));
    ASSERT_EQ(statusLine(), QStringLiteral("added item # 3"));
    find<QSlider>(QStringLiteral("glSunPitchSlider"))->setValue(12);
    openTab(2);
    QLineEdit *name = find<QLineEdit>(QStringLiteral("createDAZTerrainNameLineEdit"));
    name->setText(QStringLiteral("valley 2"));
    find<QComboBox>(QStringLiteral("normalMapSizeComboBox"))->setCurrentIndex(2);
    openTab(1);
    const QImage before = paintView();
    const QString trianglesBefore = triangles();

    const QString file = home.filePath("my valley.orovista");
    answers.push_back({{}, file});
    click(find<QPushButton>(QStringLiteral("saveWorkButton")));
    ASSERT_TRUE(waitFor([&] { return statusLine().startsWith(QLatin1String("work saved: ")); })) << statusLine().toStdString();
    ASSERT_TRUE(QFile::exists(file));

    // The window closes; a new one starts from nothing.
    ASSERT_NO_FATAL_FAILURE(quitAndReopen());
    EXPECT_FALSE(tabs()->isTabEnabled(1));

    ASSERT_NO_FATAL_FAILURE(openWork(file));
    EXPECT_EQ(tabs()->currentIndex(), 1) << "the terrain is back on POPULATE";
    EXPECT_EQ(paintView(), before) << "the same sculpted ground, rocks, view and chosen prop";
    EXPECT_EQ(triangles(), trianglesBefore);
    EXPECT_EQ(find<QSlider>(QStringLiteral("glSunPitchSlider"))->value(), 12);
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("createDAZTerrainNameLineEdit"))->text(), QStringLiteral("valley 2"));
    EXPECT_EQ(find<QComboBox>(QStringLiteral("normalMapSizeComboBox"))->currentIndex(), 2);

    // The history starts again with the opened work.
    QTest::keyClick(preview(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(statusLine(), QStringLiteral("nothing to undo"));
}

TEST_F(Work, CreateOfAReopenedWorkAndTheCommandLineGiveTheSameFiles)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    const QPoint middle(gl->width() / 2, gl->height() / 2);
    sculpt(gl, middle);

    // Two hundred pines, scattered fifty to a Shift-click.
    click(find<QPushButton>(QStringLiteral("glPaintButton")));
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Trees"), QStringLiteral("pine.pp2")));
    ASSERT_NO_FATAL_FAILURE(type("glEcoInstancesSpinBox", QStringLiteral("50")));
    ASSERT_NO_FATAL_FAILURE(type("itemDistanceSpinBox", QStringLiteral("10")));
    int items = 0;
    for (int attempt = 0; attempt < 24 && items < 200; ++attempt) {
        shiftClick(gl, middle + QPoint(50 * (attempt % 5 - 2), 25 * (attempt / 5)));
        if (statusLine().startsWith(QLatin1String("added items up to # ")))
            items = statusLine().mid(20).toInt();
    }
    ASSERT_GE(items, 200);

    // A sunset: the sun low in the west, a hazy sky, stars coming out.
    find<QSlider>(QStringLiteral("glSunPitchSlider"))->setValue(3);
    find<QSlider>(QStringLiteral("glSunAzimuthSlider"))->setValue(260);
    find<QSlider>(QStringLiteral("TurbiditySlider"))->setValue(450);
    const QString name = QStringLiteral("sunset valley");
    openTab(2);
    find<QLineEdit>(QStringLiteral("createDAZTerrainNameLineEdit"))->setText(name);
    find<QComboBox>(QStringLiteral("skyDomeMapSizeComboBox"))->setCurrentIndex(1);
    find<QComboBox>(QStringLiteral("normalMapSizeComboBox"))->setCurrentIndex(1);
    find<QComboBox>(QStringLiteral("heightmapFormatComboBox"))->setCurrentIndex(4);
    find<QComboBox>(QStringLiteral("engineComboBox"))->setCurrentIndex(1);
    find<QCheckBox>(QStringLiteral("instanceListCheckBox"))->setChecked(true);
    ASSERT_NO_FATAL_FAILURE(create(name));
    const QString folder = documents + "/orovistaData/maps";
    const std::map<QString, QByteArray> before = filesOf(folder, name);
    for (const char *file : {".obj", ".jpg", "_skyDome.jpg", "_height.png", "_height.r16", "_height.exr",
                             "_unity.raw", "_instances.json", ".orovista"})
        EXPECT_EQ(before.count(name + QLatin1String(file)), 1u) << file;
    EXPECT_EQ(before.count(QStringLiteral("NormalMap_") + name + QStringLiteral(".jpg")), 1u);
    ASSERT_EQ(before.size(), 13u);

    // The studio closes (its scene with it) and starts again; the work CREATE kept is opened.
    ASSERT_NO_FATAL_FAILURE(quitAndReopen());
    dzScene->clear();
    const QString work = home.filePath("sunset.orovista");
    ASSERT_TRUE(QFile::copy(folder + QLatin1Char('/') + name + QStringLiteral(".orovista"), work));
    ASSERT_NO_FATAL_FAILURE(openWork(work));
    openTab(2);
    answers.push_back({QStringLiteral("Yes"), {}});   // overwrite the files of that name
    ASSERT_NO_FATAL_FAILURE(create(name));
    const std::map<QString, QByteArray> after = filesOf(folder, name);
    ASSERT_EQ(after.size(), before.size());
    for (const auto &[file, bytes] : before)
        EXPECT_TRUE(after.at(file) == bytes) << file.toStdString() << " differs after reopening the work";

    // The command line makes the same files from the same work.
    QTemporaryDir out;
    ASSERT_NO_FATAL_FAILURE(expectTheCommandLineMakes(work, out.path(), name, before));

    // The scene: the studio's after CREATE, the same saved and opened again, and the command
    // line's with the props found in the content folder show the same outliner.
    const QStringList studio = outline(dzScene);
    EXPECT_GE(studio.filter(QStringLiteral("pine")).size(), 200) << studio.join(QLatin1Char('\n')).toStdString();
    const QString saved = home.filePath("sunset.glb");
    QString error;
    ASSERT_TRUE(DzGltfExporter::writeScene(dzScene, saved, &error)) << error.toStdString();
    DzScene reopened;
    ASSERT_TRUE(DzGltfImporter::readScene(saved, &reopened, &error)) << error.toStdString();
    EXPECT_EQ(outline(&reopened), studio);
    QProcess withScene;
    withScene.start(QStringLiteral(OROVISTA_CLI), {"generate", "--work", work, "--out", out.filePath("scene"), "--resources",
                                                   QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData"), "--quiet", "--scene",
                                                   out.filePath("scene/sunset.glb"), "--content",
                                                   QStringLiteral(OROVISTA_BINARY_DIR "/content")});
    ASSERT_TRUE(withScene.waitForFinished(300000));
    ASSERT_EQ(withScene.exitCode(), 0) << withScene.readAllStandardError().toStdString();
    DzScene fromCli;
    ASSERT_TRUE(DzGltfImporter::readScene(out.filePath("scene/sunset.glb"), &fromCli, &error)) << error.toStdString();
    EXPECT_EQ(outline(&fromCli), studio);
}

// Sediment erosion chosen in the window marks the texture CREATE writes with its streams and
// deposits, and its maps come beside the heightmaps: the same files as the command line makes
// from the work CREATE keeps.
TEST_F(Work, SedimentErosionMarksTheCreatedTextureAsOnTheCommandLine)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    openTab(0);
    ASSERT_NO_FATAL_FAILURE(chooseErosionType(QStringLiteral("sediment erosion")));
    ASSERT_NO_FATAL_FAILURE(typeInto("FFErosionIterationsSpinBox", QStringLiteral("20")));
    ASSERT_NO_FATAL_FAILURE(typeInto("FFSedimentErosionSpinBox", QStringLiteral("300")));
    ASSERT_NO_FATAL_FAILURE(terraformAgain(60000));

    openTab(2);
    const QString name = QStringLiteral("my Terrain 1");
    find<QComboBox>(QStringLiteral("heightmapFormatComboBox"))->setCurrentIndex(3);   // OpenEXR float
    ASSERT_NO_FATAL_FAILURE(create(name));
    const QString folder = documents + "/orovistaData/maps";
    const std::map<QString, QByteArray> created = filesOf(folder, name);
    for (const char *file : {".jpg", ".orovista", "_height.exr", "_erosion_flow.exr", "_erosion_wear.png", "_erosion_deposit.exr"})
        EXPECT_EQ(created.count(name + QLatin1String(file)), 1u) << file;

    QTemporaryDir out;
    ASSERT_NO_FATAL_FAILURE(
        expectTheCommandLineMakes(folder + QLatin1Char('/') + name + QStringLiteral(".orovista"), out.path(), name, created));
}

TEST_F(Work, AfterTheStudioWentDownTheWindowOffersTheKeptWork)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Rocks"), QStringLiteral("boulder.pp2")));
    QOpenGLWidget *gl = preview();
    QTest::mouseClick(gl, Qt::LeftButton, {}, QPoint(gl->width() / 2, gl->height() / 2 + 30));
    ASSERT_EQ(statusLine(), QStringLiteral("added item # 1"));
    const QImage before = paintView();

    // The work is kept within seconds; a studio that goes down leaves it and the open-window
    // marker behind (here: put back after a clean close, which removes both).
    const QString kept = documents + "/orovistaData/autosave.orovista", marker = documents + "/orovistaData/window-open";
    ASSERT_TRUE(waitFor([&] { return QFile::exists(kept); }, 20000));
    ASSERT_TRUE(waitFor([&] {
        QFile f(kept);
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("boulder.pp2");
    }, 20000));
    ASSERT_TRUE(QFile::copy(kept, kept + ".crash"));
    answers.push_back({QStringLiteral("Yes"), {}});
    click(button(QStringLiteral("QUIT")));
    ASSERT_TRUE(waitFor([] { return !window(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(QFile::exists(kept)) << "a clean close keeps nothing";
    EXPECT_FALSE(QFile::exists(marker));
    ASSERT_TRUE(QFile::rename(kept + ".crash", kept));
    QFile m(marker);
    ASSERT_TRUE(m.open(QIODevice::WriteOnly));
    m.close();

    shown.clear();
    answers.push_back({QStringLiteral("Yes"), {}});
    openWindow();
    ASSERT_TRUE(waitFor([&] { return statusLine().startsWith(QLatin1String("work restored from ")); }))
        << statusLine().toStdString();
    ASSERT_GE(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(QLatin1String("Warning: OROVISTA was not closed cleanly last time. Restore the work it kept on ")))
        << shown[0].toStdString();
    EXPECT_EQ(paintView(), before);
}

TEST_F(Work, ADamagedOrNewerWorkFileIsRefusedAndChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    const QImage before = paintView();
    const QString file = home.filePath("broken.orovista");
    for (const QByteArray &content : {QByteArray("{\"format\": \"orovista-work\", \"version\": 7, \"nodes\": \"\"}"),
                                      QByteArray("not json at all")}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        shown.clear();
        answers.push_back({{}, file});
        answers.push_back({QStringLiteral("OK"), {}});
        click(find<QPushButton>(QStringLiteral("openWorkButton")));
        ASSERT_TRUE(waitFor([&] { return shown.size() >= 2; }));
        EXPECT_TRUE(shown[1].startsWith(QLatin1String("Error: The work was not opened: "))) << shown[1].toStdString();
        EXPECT_EQ(paintView(), before);
    }
    EXPECT_TRUE(shown[1].contains(QLatin1String("not a work file"))) << shown[1].toStdString();
}

}   // namespace
