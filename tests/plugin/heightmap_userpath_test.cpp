// A heightmap as the terrain, as a user brings it: LOAD .OBJ with the real file dialog, the
// terrain TERRAFORM ! would have built (POPULATE open, the 512 mesh, the final node's size and
// elevation from the file), TERRAFORM ! back to the noise graph, a file that is no raster, and
// the host scene created from the imported heights.
#include "userpathfixture.h"

#include "dzcontentmgr.h"
#include "dzmainwindow.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzscene.h"

#include <QCompleter>
#include <QImageReader>
#include <QPointer>

#include <cmath>

#include <unistd.h>

namespace {

constexpr QRgb clearColour = 0xffc0dcfc;   // the viewport's empty sky blue

class HeightmapTerrain : public UserPath {
protected:
    void SetUp() override
    {
        QObject::connect(&fileWatch, &QTimer::timeout, [this] { answerFileDialog(); });
        fileWatch.start(20);
        UserPath::SetUp();
    }

    void TearDown() override
    {
        fileWatch.stop();
        UserPath::TearDown();
        dzApp->getContentMgr()->setPoserDirectories({});
    }

    void beforeWindow() override
    {
        dzApp->getContentMgr()->setPoserDirectories({QStringLiteral(OROVISTA_BINARY_DIR "/content")});
    }

    /// A 64 × 64 16-bit heightmap as the exporter writes one: rising from the −z edge (row 0,
    /// −10 m) to the +z edge (row 63, 50 m), with a ripple across; its sidecar says 400 m.
    QString heightmap()
    {
        QImage image(64, 64, QImage::Format_Grayscale16);
        for (int r = 0; r < 64; ++r) {
            auto *line = reinterpret_cast<quint16 *>(image.scanLine(r));
            for (int c = 0; c < 64; ++c)
                line[c] = quint16(std::lround(65535.0 * (r / 63.0) * (0.9 + 0.1 * std::cos(c * 0.3))));
        }
        const QString path = home.path() + QStringLiteral("/valley_height.png");
        EXPECT_TRUE(image.save(path));
        QFile sidecar(home.path() + QStringLiteral("/valley_height.json"));
        EXPECT_TRUE(sidecar.open(QIODevice::WriteOnly));
        sidecar.write(R"({"size": 64, "metresAt0": -10, "metresAt65535": 50, "terrainSize": 400})");
        return path;
    }

    /// LOAD .OBJ with this file typed into the file dialog; `thenError`: an error box follows.
    void load(const QString &path, bool thenError = false)
    {
        fileAnswer = path;
        fileAnswerPending = true;
        if (thenError)
            afterFile.push_back({QStringLiteral("OK"), {}});
        click(button(QStringLiteral("LOAD .OBJ")));
    }

    static QSpinBox *spin(const char *name) { return find<QSpinBox>(QString::fromLatin1(name)); }
    static QString terrainSizeField() { return find<QLineEdit>(QStringLiteral("FFTerrainSizeLineEdit"))->text(); }

    /// The mean grey of a picture's row.
    static double rowGrey(const QImage &picture, int row)
    {
        double sum = 0.0;
        for (int x = 0; x < picture.width(); ++x)
            sum += qGray(picture.pixel(x, row));
        return sum / picture.width();
    }

    /// An elevation model whose data never comes: a VRT over a pipe nobody writes to, as one
    /// over a server that never answers.
    /// An elevation model that takes seconds to read: a 4096 × 4096 ASCII grid of 117 MB.
    QString slowModel()
    {
        const QString path = home.path() + QStringLiteral("/large.asc");
        QFile grid(path);
        EXPECT_TRUE(grid.open(QIODevice::WriteOnly));
        const int side = 4096;
        grid.write(QStringLiteral("ncols %1\nnrows %1\nxllcorner 0\nyllcorner 0\ncellsize 10\n").arg(side).toLatin1());
        QByteArray row;
        for (int x = 0; x < side; ++x)
            row += x % 2 ? "1234.5 " : "1250.5 ";
        row += '\n';
        for (int y = 0; y < side; ++y)
            grid.write(row);
        return path;
    }

    QString logText() const
    {
        QFile f(documents + QStringLiteral("/orovistaData/logFile.txt"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    void answerFileDialog()
    {
        if (filesAnswered && (!answeredFiles || !answeredFiles->isVisible())) {
            filesAnswered = false;
            for (const Answer &a : afterFile)
                answers.push_back(a);
            afterFile.clear();
        }
        auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!fileAnswerPending || !files || !files->isVisible())
            return;
        fileAnswerPending = false;
        answeredFiles = files;
        filesAnswered = true;
        shown.push_back(files->windowTitle() + QStringLiteral(": ") + files->nameFilters().join(QLatin1Char(';')));
        auto *edit = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        edit->setText(fileAnswer);
        if (QCompleter *completer = edit->completer(); completer && completer->popup()->isVisible())
            completer->popup()->hide();
        QTest::keyClick(edit, Qt::Key_Return);
    }

    QTimer fileWatch;
    QString fileAnswer;
    bool fileAnswerPending = false;
    std::deque<Answer> afterFile;
    QPointer<QFileDialog> answeredFiles;
    bool filesAnswered = false;
};

TEST_F(HeightmapTerrain, AHeightmapBecomesTheTerrainAsTerraformWouldBuildIt)
{
    ASSERT_FALSE(tabs()->isTabEnabled(1));
    load(heightmap());
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));

    // The dialog offered heightmaps beside OBJ files, and nothing more was asked (no scale).
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(QLatin1String("Open .obj File: Terrains (*.obj *.png *.exr *.r16 *.raw *.tif *.tiff")))
        << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(QLatin1String("*.hgt"))) << shown[0].toStdString();
    EXPECT_TRUE(statusLine().startsWith(QStringLiteral("heightmap loaded: valley_height.png: 64 × 64 png16, 400 m across, -10.0 … 50.0 m")))
        << statusLine().toStdString();

    // TERRAFORM !'s state: POPULATE open on the 512 × 512 mesh, both tabs enabled.
    for (int tab : {1, 2}) {
        EXPECT_TRUE(tabs()->isTabEnabled(tab)) << tab;
        EXPECT_TRUE(tabs()->tabToolTip(tab).isEmpty()) << tab;
    }
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 522242"));
    EXPECT_EQ(window()->focusWidget(), preview());
    const QImage frame = look(preview());
    EXPECT_NE(frame.pixel(frame.width() / 2, frame.height() / 2), clearColour) << "the terrain is drawn";

    // The final node holds what the file says: 400 m across, −10 … 50 m.
    EXPECT_EQ(terrainSizeField(), QStringLiteral("400"));
    EXPECT_EQ(spin("FFTerrainElevationLowSpinBox")->value(), -10);
    EXPECT_EQ(spin("FFTerrainElevationUpSpinBox")->value(), 50);

    // The final map is the file's heights at 512: its grey picture runs from dark (row 0, the
    // −z edge, low) to bright (the +z edge), as the file's rows do.
    const QImage grey(maps("HFFnoisePreview.jpg"));
    ASSERT_EQ(grey.size(), QSize(512, 512));
    EXPECT_LT(rowGrey(grey, 2), 20.0);
    EXPECT_GT(rowGrey(grey, 509), 200.0);
    EXPECT_LT(rowGrey(grey, 100), rowGrey(grey, 300));
    EXPECT_EQ(QImageReader(maps("TFFnoisePreview.jpg")).size(), QSize(512, 512)) << "the colour texture follows";
    EXPECT_TRUE(logText().contains(QStringLiteral("resampled to 512 x 512")));

    // A node change runs the graph for the node previews, and the final map at the preview size
    // is still the file's heights …
    const QByteArray imported = digest(maps("HFFnoisePreview.jpg"));
    const QByteArray flatInput = digest(maps("HI1noisePreview.jpg"));
    ASSERT_FALSE(flatInput.isEmpty());
    openTab(0);
    ASSERT_NO_FATAL_FAILURE(chooseInput1Type(QStringLiteral("Perlin")));
    EXPECT_NE(digest(maps("HI1noisePreview.jpg")), flatInput) << "INPUT 1 shows its new noise";
    EXPECT_TRUE(logText().contains(QStringLiteral("resampled to 256 x 256")));
    const QImage previewGrey(maps("HFFnoisePreview.jpg"));
    EXPECT_EQ(previewGrey.size(), QSize(256, 256));
    EXPECT_LT(rowGrey(previewGrey, 1), 20.0);
    EXPECT_GT(rowGrey(previewGrey, 254), 200.0);

    // … until TERRAFORM ! builds from the noise graph again.
    click(find<QPushButton>(QStringLiteral("terraformButton")));
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    const QImage generated(maps("HFFnoisePreview.jpg"));
    EXPECT_EQ(generated.size(), QSize(512, 512));
    EXPECT_NE(digest(maps("HFFnoisePreview.jpg")), imported);
    EXPECT_FALSE(rowGrey(generated, 2) < 20.0 && rowGrey(generated, 509) > 200.0) << "no longer the file's ramp";
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 522242"));
}

TEST_F(HeightmapTerrain, AFileThatIsNoRasterLeavesTheWindowAsItWas)
{
    const QString bad = home.path() + QStringLiteral("/notes.tif");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no elevations in here\n");
    f.close();
    load(bad, true);
    ASSERT_TRUE(waitFor([this] { return shown.size() == 2; }));
    EXPECT_TRUE(shown[1].startsWith(QStringLiteral("Error: cannot read the heightmap ") + bad +
                                    QStringLiteral(": it is not a raster GDAL reads")))
        << shown[1].toStdString();
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_FALSE(tabs()->isTabEnabled(1));
    EXPECT_EQ(terrainSizeField(), QStringLiteral("100"));
    EXPECT_EQ(spin("FFTerrainElevationUpSpinBox")->value(), 15);
}

class HeightmapScene : public HeightmapTerrain {
protected:
    void beforeWindow() override
    {
        HeightmapTerrain::beforeWindow();
        host = new DzMainWindow;
        host->resize(900, 600);
        dzApp->setInterface(host);
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void TearDown() override
    {
        HeightmapTerrain::TearDown();
        dzApp->setInterface(nullptr);
        delete host;
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    DzMainWindow *host = nullptr;
};

TEST_F(HeightmapScene, TheSceneIsMadeFromTheImportedHeightsAtTheTextureSize)
{
    load(heightmap());
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    const QImage preview512(maps("TFFnoisePreview.jpg"));
    ASSERT_EQ(preview512.size(), QSize(512, 512));

    openTab(2);
    auto *size = find<QComboBox>(QStringLiteral("createDAZTerrainTextureSizeComboBox"));
    ASSERT_NE(size, nullptr);
    size->setFocus();
    while (size->currentText() != QLatin1String("1024"))
        QTest::keyClick(size, Qt::Key_Down);
    click(find<QPushButton>(QStringLiteral("createDAZTerrainButton")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown.size() == 1u) << shown.back().toStdString();

    // The texture pass ran on the file's heights at 1024: the same picture as at 512, larger.
    const QImage texture(maps("my Terrain 1.jpg"));
    ASSERT_EQ(texture.size(), QSize(1024, 1024));
    const QImage shrunk = texture.scaled(512, 512, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double difference = 0.0;
    for (int y = 0; y < 512; y += 4)
        for (int x = 0; x < 512; x += 4)
            difference += std::abs(qGray(shrunk.pixel(x, y)) - qGray(preview512.pixel(x, y)));
    EXPECT_LT(difference / (128 * 128), 8.0);

    // The terrain node stands at the file's heights: 60 m of relief over 400 m.
    const DzNode *ground = dzScene->findNode(QStringLiteral("my Terrain 1"));
    ASSERT_NE(ground, nullptr);
    const auto *mesh = qobject_cast<DzFacetMesh *>(ground->getObject()->getCurrentGeometryForNode());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNumVertices(), 512 * 512);
    float lowX = 1e30f, highX = -1e30f, lowY = 1e30f, highY = -1e30f;
    for (const DzVec3 &v : mesh->getVertices()) {
        lowX = std::min(lowX, v.x());
        highX = std::max(highX, v.x());
        lowY = std::min(lowY, v.y());
        highY = std::max(highY, v.y());
    }
    const float perMetre = (highX - lowX) / 400.0f;
    EXPECT_NEAR(lowY / perMetre, -10.0f, 0.01f);
    EXPECT_NEAR(highY / perMetre, 50.0f, 0.01f);
}

TEST_F(HeightmapTerrain, ALongReadIsCancelledWithEscAndTheTerrainStays)
{
    load(heightmap());
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    const QByteArray imported = digest(maps("HFFnoisePreview.jpg"));
    const QImage before = look(preview());
    openTab(0);

    QString status;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *cancel = find<QPushButton>(QStringLiteral("cancelRunButton"));
        if (!cancel || !cancel->isVisible())
            return;
        watch.stop();
        status = statusLine();
        window()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window()));
        QTest::keyClick(window(), Qt::Key_Escape);
        // Should Esc not reach the read, its cancel button ends it and the test fails. The
        // timer belongs to this test's watch, so it never fires into a later test.
        QTimer::singleShot(2000, &watch, [] {
            auto *cancel = find<QPushButton>(QStringLiteral("cancelRunButton"));
            if (cancel && cancel->isVisible()) {
                ADD_FAILURE() << "Esc did not cancel the read";
                click(cancel);
            }
        });
    });
    watch.start(20);
    shown.clear();
    alarm(20);   // a window that waits for the read itself would not come back in time: end the test
    load(slowModel());   // returns once cancelled
    alarm(0);
    EXPECT_TRUE(status.startsWith(QStringLiteral("reading heightmap large.asc ..."))) << status.toStdString();
    EXPECT_EQ(statusLine(), QStringLiteral("loading large.asc cancelled: the terrain is as before"));
    EXPECT_EQ(shown.size(), 1u) << "the file dialog only";
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("cancelRunButton"))->isVisible());

    // Nothing of the stopped read turns up later.
    QTest::qWait(300);
    EXPECT_EQ(statusLine(), QStringLiteral("loading large.asc cancelled: the terrain is as before"));
    EXPECT_EQ(terrainSizeField(), QStringLiteral("400"));
    EXPECT_EQ(spin("FFTerrainElevationLowSpinBox")->value(), -10);
    EXPECT_EQ(digest(maps("HFFnoisePreview.jpg")), imported);
    EXPECT_EQ(tabs()->currentIndex(), 0);
    openTab(1);
    EXPECT_EQ(look(preview()), before);
}

}   // namespace
