// A terrain of the user's own: LOAD .OBJ on the TERRAFORM tab with the real file and scale
// dialogs, the imported mesh in the viewport, the errors of a missing or bad file, and the mask
// texture laid over the imported terrain.
#include "userpathfixture.h"

#include "dzcontentmgr.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCompleter>
#include <QPointer>

#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QRgb clearColour = 0xffc0dcfc;   // the viewport's empty sky blue

class CustomTerrain : public UserPath {
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

    QString write(const QString &name, const QByteArray &text) const
    {
        const QString path = home.path() + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    /// A flat n × n grid of quads from −half to half in x and z at height 0, optionally with
    /// texture coordinates u = (x + half) / 2half, v = 1 − (z + half) / 2half.
    QString grid(const QString &name, double half, int n = 4, bool texcoords = false) const
    {
        QByteArray obj = "# test terrain\n";
        for (int r = 0; r <= n; ++r)
            for (int c = 0; c <= n; ++c) {
                const double x = -half + 2.0 * half * c / n, z = -half + 2.0 * half * r / n;
                obj += "v " + QByteArray::number(x) + " 0 " + QByteArray::number(z) + "\n";
                if (texcoords)
                    obj += "vt " + QByteArray::number(double(c) / n) + " " + QByteArray::number(1.0 - double(r) / n) + "\n";
            }
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const int a = r * (n + 1) + c + 1, b = a + 1, d = a + n + 1, e = d + 1;
                if (texcoords)
                    obj += "f " + QByteArray::number(a) + "/" + QByteArray::number(a) + " " + QByteArray::number(d) + "/" +
                           QByteArray::number(d) + " " + QByteArray::number(e) + "/" + QByteArray::number(e) + " " +
                           QByteArray::number(b) + "/" + QByteArray::number(b) + "\n";
                else
                    obj += "f " + QByteArray::number(a) + " " + QByteArray::number(d) + " " + QByteArray::number(e) + " " +
                           QByteArray::number(b) + "\n";
            }
        return write(name, obj);
    }

    /// LOAD .OBJ with this file typed into the file dialog and the scale answered: `scale`
    /// typed and OK, or Cancel when `cancelScale`; `thenError`: an error box follows.
    void loadObj(const QString &path, const QString &scale, bool cancelScale = false, bool thenError = false)
    {
        std::deque<Answer> after{{cancelScale ? QStringLiteral("Cancel") : QStringLiteral("OK"), scale}};
        if (thenError)
            after.push_back({QStringLiteral("OK"), {}});
        answerNextFileDialog(path, after);
        click(button(QStringLiteral("LOAD .OBJ")));
    }

    /// Goes back to the TERRAFORM tab, where LOAD .OBJ is.
    static void backToTerraform() { tabs()->setCurrentIndex(0); }

    /// The extent of the drawn terrain on the middle row of the viewport, in pixels.
    static int middleRowFootprint(const QImage &frame)
    {
        const int y = frame.height() / 2;
        int left = -1, right = -1;
        for (int x = 0; x < frame.width(); ++x)
            if (frame.pixel(x, y) != clearColour) {
                if (left < 0)
                    left = x;
                right = x;
            }
        return left < 0 ? 0 : right - left + 1;
    }

    /// What a flat terrain of this half width shows on the middle row: the camera stands at
    /// 2 × S on the z axis, the view spans 45 degrees vertically.
    static double expectedFootprint(const QImage &frame, double half, int S)
    {
        return frame.height() * (half / (2.0 * S)) / std::tan(22.5 * 3.14159265358979 / 180.0);
    }

    static QRgb middle(const QImage &frame) { return frame.pixel(frame.width() / 2, frame.height() / 2); }

    /// The next file dialog gets this path and Return (Cancel for an empty path); the answers
    /// for the dialogs after it are queued once it has closed.
    void answerNextFileDialog(const QString &path, std::deque<Answer> after = {})
    {
        fileAnswer = path;
        fileAnswerPending = true;
        afterFile = std::move(after);
    }

    QCheckBox *box(const char *name) { return find<QCheckBox>(QString::fromLatin1(name)); }

    /// A pipe nobody writes to: a read of it waits as on a server that never answers.
    QString stalledFile(const QString &name) const
    {
        const QString path = home.path() + QLatin1Char('/') + name;
        EXPECT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        return path;
    }

    /// Lets a read still waiting on the pipe go on: a writer comes and goes without a byte.
    static void release(const QString &pipe)
    {
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }

    static QPushButton *cancelButton() { return find<QPushButton>(QStringLiteral("cancelRunButton")); }
    static QPushButton *loadButton() { return find<QPushButton>(QStringLiteral("loadTerrainObjButton")); }

    /// Calls `during` once from the event loop while a read shows its overlay (LOAD .OBJ does
    /// not return before the read is over).
    void whileReading(std::function<void()> during)
    {
        readWatch.disconnect();
        QObject::connect(&readWatch, &QTimer::timeout, [this, during] {
            QPushButton *cancel = cancelButton();
            if (!cancel || !cancel->isVisible())
                return;
            readWatch.stop();
            during();
        });
        readWatch.start(20);
    }

    QTimer readWatch;

private:
    void answerFileDialog()
    {
        // The answers after the file dialog wait until it has closed.
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
        if (fileAnswer.isEmpty())
            return files->reject();
        // The path in the file name field and Return, as a user pastes it.
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

const QString objDialog = QStringLiteral("Open .obj File: Terrains (*.obj *.png *.exr *.r16 *.raw *.tif *.tiff *.asc *.dem *.hgt *.bil *.bt *.flt *.img *.grd *.dt0 *.dt1 *.dt2);OBJ meshes (*.obj);Heightmaps and elevation models (*.png *.exr *.r16 *.raw *.tif *.tiff *.asc *.dem *.hgt *.bil *.bt *.flt *.img *.grd *.dt0 *.dt1 *.dt2);All files (*)");
const QString scaleDialog = QStringLiteral("Warning: enter the scale percentage of your terrain::");
const QString loadError = QStringLiteral("Error: There was an error loading your custom terrain .obj file");

TEST_F(CustomTerrain, AnImportedMeshOpensPopulateAndIsFramed)
{
    const QString obj = grid(QStringLiteral("square.obj"), 50.0);
    ASSERT_FALSE(tabs()->isTabEnabled(1));
    loadObj(obj, QStringLiteral("100"));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], objDialog);
    EXPECT_EQ(shown[1], scaleDialog);
    EXPECT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    EXPECT_EQ(tabs()->currentIndex(), 1);
    for (int tab : {1, 2}) {
        EXPECT_TRUE(tabs()->isTabEnabled(tab)) << tab;
        EXPECT_TRUE(tabs()->tabToolTip(tab).isEmpty()) << tab;
    }
    ASSERT_NE(triangleLabel(), nullptr);
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 32"));
    EXPECT_EQ(window()->focusWidget(), preview());

    // S = trunc(√(100² + 100²)) = 141: the camera at 282 sees the 100 wide mesh as wide as this.
    const QImage frame = look(preview());
    EXPECT_NE(middle(frame), clearColour) << "the mesh is drawn in the middle";
    const QColor grey(middle(frame));
    EXPECT_LT(std::abs(grey.red() - grey.blue()), 8) << "neutral grey without a texture";
    EXPECT_NEAR(middleRowFootprint(frame), expectedFootprint(frame, 50.0, 141), 4.0);
}

TEST_F(CustomTerrain, AtHalfScaleTheMeshIsDrawnHalfAsLargeAndFramedTheSame)
{
    // S = 70 at 50 %: the half-size mesh from 140 fills what the full one fills from 282.
    loadObj(grid(QStringLiteral("square.obj"), 50.0), QStringLiteral("50"));
    ASSERT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    const QImage frame = look(preview());
    EXPECT_NEAR(middleRowFootprint(frame), expectedFootprint(frame, 25.0, 70), 4.0);
}

TEST_F(CustomTerrain, TheScaleReachesTheViewAndACancelledScaleIsOneHundred)
{
    // A 1.2 wide mesh: S is 1 at 100 % (a diagonal of 1.7) and at 50 % (0.85, raised to 1), so
    // the camera stands at 2 both times and only the drawn mesh shows the scale.
    const QString obj = grid(QStringLiteral("small.obj"), 0.6, 2);
    loadObj(obj, QStringLiteral("100"));
    const int full = middleRowFootprint(look(preview()));
    EXPECT_NEAR(full, expectedFootprint(look(preview()), 0.6, 1), 4.0);

    backToTerraform();
    loadObj(obj, QStringLiteral("50"));
    const QImage half = look(preview());
    EXPECT_NEAR(middleRowFootprint(half), expectedFootprint(half, 0.3, 1), 4.0);

    backToTerraform();
    shown.clear();
    loadObj(obj, QStringLiteral("50"), true);   // 50 typed, then Cancel
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], scaleDialog);
    EXPECT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    EXPECT_NEAR(middleRowFootprint(look(preview())), full, 2.0);
}

TEST_F(CustomTerrain, NoFileChosenIsToldAndNothingChanges)
{
    const QString welcome = statusLine();
    answerNextFileDialog({}, {{QStringLiteral("OK"), {}}});
    click(button(QStringLiteral("LOAD .OBJ")));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], objDialog);
    EXPECT_EQ(shown[1], QStringLiteral("Error: no .obj file chosen!"));
    EXPECT_EQ(statusLine(), welcome);
    EXPECT_FALSE(tabs()->isTabEnabled(1));
    EXPECT_EQ(tabs()->currentIndex(), 0);
}

TEST_F(CustomTerrain, BadFilesAreRefusedAndTheTerrainStays)
{
    const QString badIndex = write(QStringLiteral("bad.obj"), "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 9\n");
    const QString noFaces = write(QStringLiteral("points.obj"), "v 0 0 0\nv 1 0 0\nv 0 0 1\n");
    const QString garbage = write(QStringLiteral("garbage.obj"), QByteArray("\x00\xff\x13 v f f f \n f -7 x", 20));

    for (const QString &bad : {badIndex, noFaces, garbage}) {
        SCOPED_TRACE(bad.toStdString());
        shown.clear();
        loadObj(bad, QStringLiteral("100"), false, true);
        ASSERT_TRUE(waitFor([&] { return shown.size() >= 3; }, 5000));
        EXPECT_EQ(shown[2], loadError);
        EXPECT_FALSE(tabs()->isTabEnabled(1)) << "no terrain";
        EXPECT_EQ(tabs()->currentIndex(), 0);
    }

    // A good import, then a bad file: the imported terrain is still the one drawn and counted.
    loadObj(grid(QStringLiteral("square.obj"), 50.0), QStringLiteral("100"));
    ASSERT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    const QImage before = look(preview());
    backToTerraform();
    shown.clear();
    loadObj(badIndex, QStringLiteral("300"), false, true);
    ASSERT_TRUE(waitFor([&] { return shown.size() >= 3; }, 5000));
    EXPECT_EQ(shown[2], loadError);
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 32"));
    openTab(1);
    EXPECT_EQ(look(preview()), before);
}

TEST_F(CustomTerrain, ASecondImportReplacesTheFirstWithoutAQuestion)
{
    loadObj(grid(QStringLiteral("first.obj"), 50.0, 4), QStringLiteral("100"));
    ASSERT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 32"));
    backToTerraform();
    shown.clear();
    loadObj(grid(QStringLiteral("second.obj"), 10.0, 2), QStringLiteral("100"));
    ASSERT_EQ(shown.size(), 2u) << "the file and the scale only";
    EXPECT_EQ(shown[0], objDialog);
    EXPECT_EQ(shown[1], scaleDialog);
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 8"));
    const QImage frame = look(preview());
    EXPECT_NEAR(middleRowFootprint(frame), expectedFootprint(frame, 10.0, 28), 4.0);   // S = trunc(28.28)
}

TEST_F(CustomTerrain, AMaskLiesOverTheImportedTerrainAndHidingItWarns)
{
    // Red on the left half, blue on the right: the mask is laid with its columns along x.
    QImage mask(64, 32, QImage::Format_RGB32);
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 32; ++y)
            mask.setPixel(x, y, x < 32 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    const QString jpeg = home.path() + QStringLiteral("/mask.jpg");
    ASSERT_TRUE(mask.save(jpeg, "JPEG", 95));

    for (bool texcoords : {false, true}) {
        SCOPED_TRACE(texcoords ? "with texture coordinates" : "without texture coordinates");
        backToTerraform();
        loadObj(grid(QStringLiteral("square.obj"), 50.0, 4, texcoords), QStringLiteral("100"));
        ASSERT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
        QCheckBox *use = box("maskTextureOnOffCheckBox");
        QCheckBox *showMask = box("maskTextureDisplayOnOffCheckBox");
        ASSERT_NE(use, nullptr);
        ASSERT_NE(showMask, nullptr);

        shown.clear();
        answerNextFileDialog(jpeg);
        click(find<QPushButton>(QStringLiteral("glMaskTerrainTexture")));
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], QStringLiteral("Open image: Images (*.jpg *.bmp)"));
        EXPECT_TRUE(use->isChecked());
        EXPECT_TRUE(showMask->isChecked());
        EXPECT_EQ(statusLine(), QStringLiteral("mask texture loaded, width:64"));

        const QImage frame = look(preview());
        const int y = frame.height() / 2, x = frame.width() / 2;
        const QColor left(frame.pixel(x - 60, y)), right(frame.pixel(x + 60, y));
        EXPECT_GT(left.red(), left.blue() + 60) << "red on the left";
        EXPECT_GT(right.blue(), right.red() + 60) << "blue on the right";

        // Hiding the mask on an imported terrain says what it does, and hides it.
        shown.clear();
        answers.push_back({QStringLiteral("OK"), {}});
        click(showMask);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], QStringLiteral("Error: Hiding the mask when using a .obj file will actually disable the mask itself!"));
        EXPECT_FALSE(showMask->isChecked());
        EXPECT_TRUE(use->isChecked());
        const QColor hidden(middle(look(preview())));
        EXPECT_LT(std::abs(hidden.red() - hidden.blue()), 8) << "grey again";

        // Shown again: no warning; the mask stays until replaced.
        shown.clear();
        click(showMask);
        EXPECT_TRUE(shown.empty());
        const QColor back(look(preview()).pixel(x - 60, y));
        EXPECT_GT(back.red(), back.blue() + 60);
        click(use);   // the next round starts from clear boxes
        click(showMask);
        EXPECT_TRUE(shown.empty()) << "mask influence off: no warning";
    }
}

TEST_F(CustomTerrain, PaintingOnAnImportedTerrainKeepsToTheLightPartOfTheMask)
{
    // Black on the left half of the mask, white on the right.
    QImage mask(64, 64, QImage::Format_RGB32);
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 64; ++y)
            mask.setPixel(x, y, x < 32 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    const QString jpeg = home.path() + QStringLiteral("/halves.jpg");
    ASSERT_TRUE(mask.save(jpeg, "JPEG", 95));
    loadObj(grid(QStringLiteral("field.obj"), 50.0, 8, true), QStringLiteral("100"));
    ASSERT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    answerNextFileDialog(jpeg);
    click(find<QPushButton>(QStringLiteral("glMaskTerrainTexture")));
    ASSERT_TRUE(box("maskTextureOnOffCheckBox")->isChecked());

    const QModelIndex trees = openFolder(QStringLiteral("Trees"));
    ASSERT_TRUE(trees.isValid());
    clickEntry(entry(trees, QStringLiteral("pine.pp2")), true);
    ASSERT_TRUE(statusLine().startsWith(QLatin1String("loaded prop: ")));
    QOpenGLWidget *gl = preview();
    const QImage before = look(gl);

    // A drag across the whole terrain, left to right, a little below the middle.
    const int y = gl->height() / 2 + 20, x0 = gl->width() / 2 - 150;
    QTest::mousePress(gl, Qt::LeftButton, {}, QPoint(x0, y));
    for (int i = 1; i <= 30; ++i)
        dragTo(gl, QPoint(x0 + 10 * i, y));
    QTest::mouseRelease(gl, Qt::LeftButton, {}, QPoint(x0 + 300, y));
    ASSERT_TRUE(statusLine().startsWith(QLatin1String("added item # "))) << statusLine().toStdString();
    const int placed = statusLine().mid(13).toInt();
    EXPECT_GT(placed, 3);
    EXPECT_LT(placed, 25) << "the dark half took none";

    const QImage after = look(gl);
    int changedLeft = 0, changedRight = 0;
    for (int py = 0; py < after.height(); ++py)
        for (int px = 0; px < after.width() - 120; ++px)   // the corner thumbnail aside
            if (after.pixel(px, py) != before.pixel(px, py))
                ++(px < gl->width() / 2 - 10 ? changedLeft : changedRight);
    EXPECT_GT(changedRight, 200) << "trees on the light half";
    EXPECT_LT(changedLeft, changedRight / 10) << "hardly any on the dark half (tree tops may lean over)";
}

TEST_F(CustomTerrain, TextureDialogsSayWhatWentWrong)
{
    loadObj(grid(QStringLiteral("square.obj"), 50.0), QStringLiteral("100"));
    ASSERT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));

    shown.clear();
    answerNextFileDialog({}, {{QStringLiteral("OK"), {}}});
    click(find<QPushButton>(QStringLiteral("glMaskTerrainTexture")));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], QStringLiteral("Error: no image selected"));
    EXPECT_FALSE(box("maskTextureOnOffCheckBox")->isChecked());

    const QString broken = write(QStringLiteral("broken.jpg"), "not a picture");
    shown.clear();
    answerNextFileDialog(broken, {{QStringLiteral("OK"), {}}});
    click(find<QPushButton>(QStringLiteral("glMaskTerrainTexture")));
    ASSERT_TRUE(waitFor([&] { return shown.size() >= 2; }, 5000));
    EXPECT_EQ(shown[1], QStringLiteral("Error: cannot read image ") + broken);
    EXPECT_FALSE(box("maskTextureOnOffCheckBox")->isChecked());
    EXPECT_FALSE(box("maskTextureDisplayOnOffCheckBox")->isChecked());
    EXPECT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));

    // The reference texture: ticked and shown over the terrain.
    QImage green(16, 16, QImage::Format_RGB32);
    green.fill(qRgb(0, 255, 0));
    const QString jpeg = home.path() + QStringLiteral("/reference.jpg");
    ASSERT_TRUE(green.save(jpeg, "JPEG", 95));
    shown.clear();
    answerNextFileDialog(jpeg);
    click(find<QPushButton>(QStringLiteral("glReferenceTerrainTexture")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], QStringLiteral("Open image: Images (*.jpg *.bmp)"));
    EXPECT_TRUE(box("referenceTextureOnOffCheckBox")->isChecked());
    EXPECT_EQ(statusLine(), QStringLiteral("reference texture loaded"));
    const QColor shownColour(middle(look(preview())));
    EXPECT_GT(shownColour.green(), shownColour.red() + 60);
    click(box("referenceTextureOnOffCheckBox"));
    const QColor off(middle(look(preview())));
    EXPECT_LT(std::abs(off.red() - off.green()), 8) << "grey once the reference is off";
}

TEST_F(CustomTerrain, AReadShowsItsProgressAndACancelGivesTheWindowBackAsItWas)
{
    const QString obj = grid(QStringLiteral("square.obj"), 50.0);
    loadObj(obj, QStringLiteral("100"));
    ASSERT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    const QImage before = look(preview());
    backToTerraform();

    const QString stalled = stalledFile(QStringLiteral("stalled.obj"));
    QString status, panel;
    bool loadWasOff = false;
    std::size_t dialogsDuring = 0;
    whileReading([&] {
        status = statusLine();
        panel = cancelButton()->parentWidget()->property("text").toString();
        // The window answers meanwhile: another tab opens and the TERRAFORM tab comes back, and
        // a second LOAD .OBJ starts no second read.
        openTab(4);
        openTab(0);
        loadWasOff = !loadButton()->isEnabled();
        QTest::mouseClick(loadButton(), Qt::LeftButton);
        QTest::qWait(50);
        dialogsDuring = shown.size();
        click(cancelButton());
    });
    shown.clear();
    alarm(20);   // a window that waits on the pipe itself would never come back: end the test
    loadObj(stalled, QStringLiteral("100"));
    alarm(0);
    ASSERT_FALSE(status.isEmpty()) << "the read was seen under way";
    EXPECT_EQ(status, QStringLiteral("reading terrain OBJ stalled.obj ..."));
    EXPECT_TRUE(panel.startsWith(QLatin1String("reading terrain"))) << panel.toStdString();
    EXPECT_TRUE(loadWasOff);
    EXPECT_EQ(dialogsDuring, 2u) << "the file and the scale of the first LOAD .OBJ only";

    // Cancelled: the window is back at once with the terrain, its count and its picture as before.
    EXPECT_EQ(statusLine(), QStringLiteral("loading stalled.obj cancelled: the terrain is as before"));
    EXPECT_FALSE(cancelButton()->isVisible()) << "the overlay is gone";
    EXPECT_TRUE(loadButton()->isEnabled());
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 32"));

    // The read that was left waiting ends without touching the window.
    release(stalled);
    QTest::qWait(200);
    EXPECT_EQ(statusLine(), QStringLiteral("loading stalled.obj cancelled: the terrain is as before"));
    openTab(1);
    EXPECT_EQ(look(preview()), before);

    // A file after the cancel loads as ever, and is large enough to be read in steps.
    backToTerraform();
    loadObj(grid(QStringLiteral("large.obj"), 20.0, 300), QStringLiteral("100"));
    EXPECT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 180000"));
    EXPECT_NE(look(preview()), before);
}

TEST_F(CustomTerrain, QuitWhileAReadWaitsClosesTheWindowAndTheReadEndsOnItsOwn)
{
    const QString stalled = stalledFile(QStringLiteral("stalled.obj"));
    whileReading([&] {
        answers.push_back({QStringLiteral("Yes"), {}});
        click(button(QStringLiteral("QUIT")));
    });
    alarm(20);
    loadObj(stalled, QStringLiteral("100"));
    alarm(0);
    ASSERT_TRUE(waitFor([] { return !window(); }, 5000));
    release(stalled);
    QTest::qWait(100);

    // A new window loads a terrain as ever.
    openWindow();
    loadObj(grid(QStringLiteral("square.obj"), 50.0), QStringLiteral("100"));
    EXPECT_EQ(statusLine(), QStringLiteral("custom terrain OBJ loaded"));
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 32"));
}

}   // namespace
