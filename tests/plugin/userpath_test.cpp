// The tool window as a user drives it: the studio loads the plug-in library, its create action
// opens the window, and from then on only mouse clicks and key presses on the real widgets reach
// it. Message boxes and text dialogs are the real ones, answered by pressing their buttons.
#include "userpathfixture.h"

#include <cmath>

namespace {

TEST_F(UserPath, ANodeChangeUnlocksTerraformWhichBuildsTheTerrain)
{
    QPushButton *terraform = find<QPushButton>(QStringLiteral("terraformButton"));
    ASSERT_NE(terraform, nullptr);
    EXPECT_FALSE(terraform->isEnabled()) << "nothing to build before a node changes";
    EXPECT_FALSE(tabs()->isTabEnabled(1));
    EXPECT_FALSE(tabs()->isTabEnabled(2));

    chooseInput1Type(QStringLiteral("Perlin"));
    ASSERT_TRUE(waitFor([&] { return terraform->isEnabled() && !button(QStringLiteral("cancel")); }));
    click(terraform);
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    EXPECT_TRUE(tabs()->isTabEnabled(1));
    EXPECT_TRUE(tabs()->isTabEnabled(2));
    ASSERT_NE(triangleLabel(), nullptr);
    EXPECT_EQ(triangleLabel()->text(), "triangles: 522242");
    EXPECT_TRUE(triangleLabel()->isVisible());
    QFile log(documents + "/orovistaData/logFile.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("building terrain arrays"));

    // Back on TERRAFORM, the terrain can be built again at once.
    openTab(0);
    EXPECT_TRUE(terraform->isEnabled());
}

TEST_F(UserPath, APresetFromThePresetsTabThenTerraform)
{
    openTab(3);
    QToolButton *preset = presetButton(QStringLiteral("dunes"));
    ASSERT_NE(preset, nullptr) << "the shipped presets are listed by name";
    EXPECT_EQ(preset->toolTip(), QStringLiteral("dunes: a preset that comes with OROVISTA"));
    click(preset);
    EXPECT_TRUE(statusLine().startsWith("loaded preset: ")) << statusLine().toStdString();
    EXPECT_TRUE(statusLine().endsWith("dunes.opf"));
    EXPECT_EQ(tabs()->currentIndex(), 0) << "a loaded preset is shown on TERRAFORM";
    QPushButton *terraform = find<QPushButton>(QStringLiteral("terraformButton"));
    ASSERT_TRUE(waitFor([&] { return terraform->isEnabled() && !button(QStringLiteral("cancel")); }));
    click(terraform);
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    EXPECT_EQ(triangleLabel()->text(), "triangles: 522242");
}

TEST_F(UserPath, WithAutoOffTheRegenerateButtonRewritesTheMaps)
{
    click(button(QStringLiteral("AUTO")));
    const QByteArray before = digest(maps("HFFnoisePreview.jpg"));
    ASSERT_FALSE(before.isEmpty());
    chooseInput1Type(QStringLiteral("Billow"));
    auto *regenerate = find<QPushButton>(QStringLiteral("FFReGenerateNoise"));
    ASSERT_NE(regenerate, nullptr);
    ASSERT_TRUE(waitFor([&] { return regenerate->isVisible(); })) << "a change waits for the user";
    EXPECT_EQ(digest(maps("HFFnoisePreview.jpg")), before) << "nothing is computed while AUTO is off";
    click(regenerate);
    ASSERT_TRUE(waitFor([&] { return digest(maps("HFFnoisePreview.jpg")) != before; }));
    EXPECT_FALSE(regenerate->isVisible());
}

TEST_F(UserPath, ASavedPresetAppearsInThePanelAndLoadsBack)
{
    QComboBox *terrainType = input1Type();
    chooseInput1Type(QStringLiteral("Voronoi"));
    const int chosen = terrainType->currentIndex();

    answers.push_back({QStringLiteral("OK"), QStringLiteral("my valley")});
    click(find<QPushButton>(QStringLiteral("savePresetButton")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Save preset: type a name for you preset:");
    EXPECT_TRUE(QFile::exists(userPresets() + "my valley.opf"));
    EXPECT_TRUE(QFile::exists(userPresets() + "my valley.jpg"));
    EXPECT_EQ(statusLine(), "saved preset: " + userPresets() + "my valley.opf");

    // Another type, then the saved preset from the panel: the click asks before it replaces the
    // change; Cancel keeps it, Yes brings the saved one back.
    chooseInput1Type(QStringLiteral("Perlin"));
    const int perlin = terrainType->currentIndex();
    openTab(3);
    QToolButton *saved = presetButton(QStringLiteral("my valley"));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->toolTip(), "my valley: your preset, in " + QDir::toNativeSeparators(userPresets()));
    shown.clear();
    answers.push_back({QStringLiteral("Cancel"), {}});
    click(saved);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Warning: The node settings were changed and not saved as a preset. Replace them with the "
                        "preset \"my valley\"?");
    EXPECT_EQ(terrainType->currentIndex(), perlin);
    answers.push_back({QStringLiteral("Yes"), {}});
    click(saved);
    EXPECT_EQ(statusLine(), "loaded preset: " + userPresets() + "my valley.opf");
    EXPECT_EQ(terrainType->currentIndex(), chosen);

    // Nothing changed since: the next preset loads without a question.
    shown.clear();
    openTab(3);
    click(presetButton(QStringLiteral("dunes")));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(statusLine().endsWith("dunes.opf"));
}

TEST_F(UserPath, ResetAsksAndKeepsTheNodes)
{
    QComboBox *terrainType = input1Type();
    chooseInput1Type(QStringLiteral("Billow"));
    const int chosen = terrainType->currentIndex();

    answers.push_back({QStringLiteral("Cancel"), {}});
    click(button(QStringLiteral("RESET")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Warning: restart OROVISTA?");
    EXPECT_EQ(input1Type(), terrainType) << "cancelled: the same window";

    answers.push_back({QStringLiteral("Yes"), {}});
    click(button(QStringLiteral("RESET")));
    ASSERT_TRUE(waitFor([] { return window() != nullptr && button(QStringLiteral("AUTO")); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QComboBox *fresh = input1Type();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->currentIndex(), chosen) << "a restart keeps what the nodes were set to";
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("terraformButton"))->isEnabled());
}

TEST_F(UserPath, QuitAsksAndTheActionOpensTheWindowAgain)
{
    answers.push_back({QStringLiteral("Cancel"), {}});
    click(button(QStringLiteral("QUIT")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Warning: quit OROVISTA?");
    EXPECT_NE(window(), nullptr);

    answers.push_back({QStringLiteral("Yes"), {}});
    click(button(QStringLiteral("QUIT")));
    ASSERT_TRUE(waitFor([] { return !window(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    openWindow();
    QFile log(documents + "/orovistaData/logFile.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("OROVISTA started\n"));
    chooseInput1Type(QStringLiteral("Perlin"));
    EXPECT_TRUE(waitFor([] { return find<QPushButton>(QStringLiteral("terraformButton"))->isEnabled(); }));
}

TEST_F(UserPath, ACancelledRunLeavesThePicturesAsTheyWere)
{
    chooseInput1Type(QStringLiteral("Perlin"));
    const QStringList pictures = {"HI1noisePreview.jpg", "HI2noisePreview.jpg", "HFFnoisePreview.jpg"};
    std::vector<QByteArray> before;
    for (const QString &p : pictures)
        before.push_back(digest(maps(p.toLatin1().constData())));

    // The cancel button appears on the busy overlay during the run; the user presses it.
    bool pressed = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QPushButton *cancel = button(QStringLiteral("cancel")); cancel && !pressed) {
            pressed = true;
            QTest::mouseClick(cancel, Qt::LeftButton, {}, cancel->rect().center());
        }
    });
    watch.start(1);
    reseedInput1();
    ASSERT_TRUE(waitFor([&] { return pressed && !button(QStringLiteral("cancel")); }));
    watch.stop();
    EXPECT_EQ(statusLine(), "noise run cancelled: the maps are as before");
    for (int i = 0; i < pictures.size(); ++i)
        EXPECT_EQ(digest(maps(pictures[i].toLatin1().constData())), before[i]) << pictures[i].toStdString();
    QDir folder(documents + "/orovistaData/maps");
    EXPECT_TRUE(folder.entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty()) << "no temporary left";

    // The next change computes them again (another type: a fresh seed is one of only 17).
    chooseInput1Type(QStringLiteral("Billow"));
    ASSERT_TRUE(waitFor([&] { return digest(maps("HI1noisePreview.jpg")) != before[0]; }));
}

TEST_F(UserPath, SlidersTellTheirValueWhileDraggedAndLockedTabsLookIt)
{
    // Locked tabs are drawn in grey, open ones in white.
    QTabBar *bar = tabs()->tabBar();
    const QImage shot = bar->grab().toImage();
    auto whitePixels = [&](int tab) {
        int count = 0;
        const QRect r = bar->tabRect(tab).adjusted(3, 3, -3, -3);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                count += qGray(shot.pixel(x * shot.width() / bar->width(), y * shot.height() / bar->height())) > 200;
        return count;
    };
    EXPECT_GT(whitePixels(3), 50) << "PRESETS is open";
    EXPECT_LT(whitePixels(1), 5) << "POPULATE is locked";

    chooseInput1Type(QStringLiteral("Perlin"));
    auto *frequency = find<QTabWidget>(QStringLiteral("I1Panel"))->findChild<QSlider *>(QStringLiteral("I1FrequencySlider"));
    ASSERT_NE(frequency, nullptr);
    ASSERT_TRUE(frequency->isVisible());
    const int before = frequency->value();
    const double perPixel = double(frequency->maximum() - frequency->minimum()) / frequency->width();
    const QPoint handle(int((before - frequency->minimum()) / perPixel), frequency->height() / 2);
    QTest::mousePress(frequency, Qt::LeftButton, {}, handle);
    dragTo(frequency, handle + QPoint(30, 0));
    const int dragged = frequency->value();
    EXPECT_GT(dragged, before);
    EXPECT_TRUE(QToolTip::isVisible());
    const QString shown = QString::number(dragged * 0.1, 'f', 1);
    EXPECT_EQ(QToolTip::text(), "frequency: " + shown) << "the frequency the noise takes, in tenths";
    const QByteArray picture = digest(maps("HI1noisePreview.jpg"));
    QTest::mouseRelease(frequency, Qt::LeftButton, {}, handle + QPoint(30, 0));
    ASSERT_TRUE(waitFor([&] { return digest(maps("HI1noisePreview.jpg")) != picture; })) << "released: a new run";

    // After the drag the number stays beside every slider of the node; hidden rows hide theirs.
    auto value = [](const char *slider) {
        return find<QTabWidget>(QStringLiteral("I1Panel"))->findChild<QLabel *>(QLatin1String(slider) + QStringLiteral("Value"));
    };
    ASSERT_NE(value("I1FrequencySlider"), nullptr);
    EXPECT_TRUE(value("I1FrequencySlider")->isVisible());
    EXPECT_EQ(value("I1FrequencySlider")->text(), shown);
    EXPECT_EQ(value("I1LacunaritySlider")->text(), QStringLiteral("1.5"));
    EXPECT_EQ(value("I1OctavesSlider")->text(), QStringLiteral("4"));
    EXPECT_EQ(value("I1PersistenceSlider")->text(), QStringLiteral("0.5"));
    EXPECT_FALSE(value("I1DisplacementSlider")->isVisible()) << "Perlin has no displacement";
    // The final node's light, in the renderer's units.
    ASSERT_NE(find<QLabel>(QStringLiteral("FFLightIntensitySliderValue")), nullptr);
    EXPECT_EQ(find<QLabel>(QStringLiteral("FFLightIntensitySliderValue"))->text(), QStringLiteral("2.00"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("FFLightContrastSliderValue"))->text(), QStringLiteral("2"));
}

TEST_F(UserPath, AnUnreadableNoiseImageIsToldOnce)
{
    const QString notAPicture = home.filePath("notes.png");
    QFile f(notAPicture);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture\n");
    f.close();

    // A saved preset whose INPUT 1 reads that file as its image.
    answers.push_back({QStringLiteral("OK"), QStringLiteral("broken image")});
    click(find<QPushButton>(QStringLiteral("savePresetButton")));
    QFile preset(userPresets() + "broken image.opf");
    ASSERT_TRUE(preset.open(QIODevice::ReadOnly));
    QByteArray text = preset.readAll();
    preset.close();
    text.replace(QByteArray("I1Type=0\n"), "I1Type=9\n");
    text.replace(QByteArray("I1NoiseImageFile=none\n"), "I1NoiseImageFile=" + notAPicture.toUtf8() + "\n");
    ASSERT_TRUE(text.contains("I1Type=9\n"));
    ASSERT_TRUE(preset.open(QIODevice::WriteOnly | QIODevice::Truncate));
    preset.write(text);
    preset.close();

    answers.push_back({QStringLiteral("OK"), {}});
    openTab(3);
    QToolButton *saved = presetButton(QStringLiteral("broken image"));
    ASSERT_NE(saved, nullptr);
    click(saved);
    ASSERT_TRUE(waitFor([this] { return shown.size() >= 2 && !button(QStringLiteral("cancel")); }));
    EXPECT_TRUE(shown[1].startsWith("Warning: cannot read the noise image " + notAPicture + ": ")) << shown[1].toStdString();
    EXPECT_EQ(input1Type()->currentText(), "Image");

    // The next run says it on the status line only.
    chooseInput1Type(QStringLiteral("Perlin"), "I2Panel");
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_TRUE(statusLine().startsWith("cannot read the noise image " + notAPicture)) << statusLine().toStdString();
}

/// The mean grey of a square of side 2·r around p.
int meanGrey(const QImage &frame, QPoint p, int r)
{
    long long sum = 0, n = 0;
    for (int y = p.y() - r; y < p.y() + r; ++y)
        for (int x = p.x() - r; x < p.x() + r; ++x, ++n)
            sum += qGray(frame.pixel(x, y));
    return int(sum / std::max(1LL, n));
}

TEST_F(UserPath, TerraformShowsTheLitTerrainInThePreview)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    ASSERT_NE(gl, nullptr);
    ASSERT_TRUE(gl->isVisible());
    const QImage lit = look(gl);
    ASSERT_FALSE(lit.isNull());
    EXPECT_EQ(lit.pixelColor(3, 3), QColor(192, 220, 252)) << "the sky colour around the terrain";
    const QPoint centre(lit.width() / 2, lit.height() / 2);
    EXPECT_NE(lit.pixelColor(centre), QColor(192, 220, 252)) << "the terrain in the middle";
    const int litGrey = meanGrey(lit, centre, 20);

    // The light intensity slider dragged to 0: a darker terrain, the caption follows.
    auto *intensity = window()->findChild<QSlider *>(QStringLiteral("glLightIntensitySlider"));
    ASSERT_NE(intensity, nullptr);
    const QPoint handle(intensity->width() - 4, intensity->height() / 2);
    QTest::mousePress(intensity, Qt::LeftButton, {}, handle);
    for (int x = handle.x(); x >= -30; x -= 20)
        dragTo(intensity, QPoint(x, handle.y()));
    dragTo(intensity, QPoint(-30, handle.y()));
    QTest::mouseRelease(intensity, Qt::LeftButton, {}, QPoint(-30, handle.y()));
    EXPECT_EQ(intensity->value(), 0);
    bool captioned = false;
    for (QLabel *l : window()->findChildren<QLabel *>())
        captioned |= l->text() == "openGL light intensity: 0%";
    EXPECT_TRUE(captioned);
    const QImage dark = gl->grabFramebuffer();
    // Only the ambient part is left; how much darker depends on the slopes the seed made.
    EXPECT_LT(meanGrey(dark, centre, 20), litGrey * 3 / 4) << "lit " << litGrey;
    EXPECT_EQ(dark.pixelColor(3, 3), QColor(192, 220, 252));
}

/// How rough a grey picture is: the mean bend along its rows over a few pixels (second
/// differences 3 pixels apart), which a slope does not have and smoothing takes away. The border,
/// which smoothing pulls down to 0, is left out.
double roughness(const QImage &picture)
{
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    constexpr int margin = 64, step = 3;
    double sum = 0.0;
    long count = 0;
    for (int y = margin; y < grey.height() - margin; ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = margin; x < grey.width() - margin; ++x, ++count)
            sum += std::abs(int(row[x + step]) - 2 * int(row[x]) + int(row[x - step]));
    }
    return count > 0 ? sum / double(count) : 0.0;
}

TEST_F(UserPath, SmoothTerrainChosenOnTheErosionTabSmoothsTheHeightMap)
{
    // Voronoi cells: flat faces with sharp edges between them.
    // A few of the 17 seeds give cells too large to leave much to smooth: another seed then.
    chooseInput1Type(QStringLiteral("Voronoi"));
    double rough = 0.0;
    for (int attempt = 0; attempt < 24 && rough <= 1.5; ++attempt) {
        if (attempt > 0) {
            openTab(0);
            reseedInput1();
        }
        click(find<QPushButton>(QStringLiteral("terraformButton")));
        ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
        rough = roughness(QImage(maps("HFFnoisePreview.jpg")));
    }
    ASSERT_GT(rough, 1.5) << "the noise has some detail to smooth";

    openTab(0);
    EXPECT_EQ(find<QSlider>(QStringLiteral("FFSetCurrentMapSlider"))->value(), 0)
        << "the final node shows the height map, where smoothing acts";
    ASSERT_NO_FATAL_FAILURE(chooseErosionType(QStringLiteral("smooth terrain")));
    ASSERT_NO_FATAL_FAILURE(typeInto("FFErosionIterationsSpinBox", QStringLiteral("40")));
    EXPECT_EQ(find<QSpinBox>(QStringLiteral("FFErosionIterationsSpinBox"))->value(), 40);

    // 40 passes over the 512 × 512 map: enough work for the threads.
    ASSERT_NO_FATAL_FAILURE(terraformAgain());
    const double smoothed = roughness(QImage(maps("HFFnoisePreview.jpg")));
    EXPECT_LT(smoothed, rough / 2) << "before " << rough << ", after " << smoothed;
}

/// Mean absolute difference of two grey pictures of one size, in grey levels.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_Grayscale8), y = b.convertToFormat(QImage::Format_Grayscale8);
    if (x.size() != y.size() || x.isNull())
        return -1.0;
    double sum = 0.0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c)
            sum += std::abs(int(x.constScanLine(r)[c]) - int(y.constScanLine(r)[c]));
    return sum / double(x.width() * x.height());
}

TEST_F(UserPath, SedimentErosionChosenOnTheErosionTabCutsTheTerrain)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    const QImage plain(maps("HFFnoisePreview.jpg"));
    ASSERT_FALSE(plain.isNull());

    openTab(0);
    ASSERT_NO_FATAL_FAILURE(chooseErosionType(QStringLiteral("sediment erosion")));
    ASSERT_NO_FATAL_FAILURE(typeInto("FFErosionIterationsSpinBox", QStringLiteral("30")));
    ASSERT_NO_FATAL_FAILURE(typeInto("FFSedimentErosionSpinBox", QStringLiteral("300")));
    ASSERT_NO_FATAL_FAILURE(typeInto("FFSedimentRainSpinBox", QStringLiteral("40")));
    EXPECT_FALSE(find<QSpinBox>(QStringLiteral("FFErosionSolubilitySpinBox"))->isVisible());

    ASSERT_NO_FATAL_FAILURE(terraformAgain(60000));
    const QImage eroded(maps("HFFnoisePreview.jpg"));
    // The picture is the map normalised again: the cut streams and the filled hollows change it
    // by some grey levels on average.
    const double changed = meanDifference(plain, eroded);
    EXPECT_GT(changed, 1.0) << "mean grey change " << changed;
}

/// Pixels that are not the clear colour: how much of the view the terrain fills.
int terrainPixels(const QImage &frame)
{
    int n = 0;
    for (int y = 0; y < frame.height(); y += 2)
        for (int x = 0; x < frame.width(); x += 2)
            n += frame.pixelColor(x, y) != QColor(192, 220, 252);
    return n;
}

TEST_F(UserPath, FlyingRoundTheTerrainWithWheelKeysAndMouse)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    ASSERT_NE(gl, nullptr);
    const QImage framed = look(gl);
    const int framedSize = terrainPixels(framed);
    ASSERT_GT(framedSize, 1000);

    const QPoint middle(gl->width() / 2, gl->height() / 2);
    wheel(gl, 120);
    wheel(gl, 120);
    const int away = terrainPixels(look(gl));
    EXPECT_LT(away, framedSize) << "the wheel forward moves the eye away";

    gl->setFocus();
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(gl, Qt::Key_PageUp);
    EXPECT_GT(terrainPixels(look(gl)), framedSize) << "Page Up moves it closer";

    // Alt held, a left drag turns the world.
    click(find<QPushButton>(QStringLiteral("resetView")));
    EXPECT_EQ(look(gl), framed) << "reset view frames the terrain as after TERRAFORM !";
    QTest::keyPress(gl, Qt::Key_Alt);
    QTest::mousePress(gl, Qt::LeftButton, Qt::AltModifier, middle);
    for (int i = 1; i <= 6; ++i)
        QTest::mouseMove(gl, middle + QPoint(10 * i, 0));
    QTest::mouseRelease(gl, Qt::LeftButton, Qt::AltModifier, middle + QPoint(60, 0));
    QTest::keyRelease(gl, Qt::Key_Alt);
    const QImage turned = look(gl);
    EXPECT_NE(turned, framed);

    // The horizontal pan slider moves the eye and springs back to the middle.
    click(find<QPushButton>(QStringLiteral("resetView")));
    ASSERT_EQ(look(gl), framed);
    auto *pan = window()->findChild<QSlider *>(QStringLiteral("glHSlider"));
    ASSERT_NE(pan, nullptr);
    const QPoint centre(pan->width() / 2, pan->height() / 2);
    QTest::mousePress(pan, Qt::LeftButton, {}, centre);
    dragTo(pan, centre + QPoint(80, 0));
    EXPECT_GT(pan->value(), 0);
    QTest::mouseRelease(pan, Qt::LeftButton, {}, centre + QPoint(80, 0));
    EXPECT_EQ(pan->value(), 0) << "springs back";
    const QImage panned = look(gl);
    EXPECT_NE(panned, framed) << "and the camera stays where the drag put it";
    // The terrain moved left in the view: fewer terrain pixels on the right edge's side.
    auto rightHalf = [](const QImage &f) { return terrainPixels(f.copy(f.width() / 2, 0, f.width() / 2, f.height())); };
    EXPECT_LT(rightHalf(panned), rightHalf(framed));
}

TEST_F(UserPath, ToolTogglesShowTheirStateAndBoxesDrawTheCoarseMeshWhileMoving)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    for (const char *name : {"glDeformBelowZeroButton", "glItemStackButton", "glEnableBoundingBoxFeatureButton"}) {
        auto *b = find<QPushButton>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_FALSE(b->styleSheet().contains("_on.png")) << name;
        click(b);
        EXPECT_TRUE(b->styleSheet().contains("_on.png")) << name;
    }

    QOpenGLWidget *gl = preview();
    ASSERT_NE(gl, nullptr);
    wheel(gl, 120);
    const QImage moving = look(gl);
    QTest::qWait(150);   // the wheel timer ends the coarse drawing
    const QImage resting = look(gl);
    EXPECT_NE(moving, resting) << "the 128 mesh while moving, the 512 mesh at rest";

    // Off again: the wheel keeps the full mesh.
    click(find<QPushButton>(QStringLiteral("glEnableBoundingBoxFeatureButton")));
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("glEnableBoundingBoxFeatureButton"))->styleSheet().contains("_on.png"));
    wheel(gl, -120);
    wheel(gl, 120);
    EXPECT_EQ(look(gl), resting);
}

TEST_F(UserPath, SkyDomeModeShowsTheSkyAndTheSunSliderMovesIt)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    ASSERT_NE(gl, nullptr);
    const QImage terrain = look(gl);
    click(button(QStringLiteral("SKY DOME")));
    auto *sunPitch = window()->findChild<QSlider *>(QStringLiteral("glSunPitchSlider"));
    ASSERT_NE(sunPitch, nullptr);
    ASSERT_TRUE(sunPitch->isVisible()) << "the sky controls come with the mode";
    const QImage sky = look(gl);
    EXPECT_NE(sky, terrain) << "the dome instead of the terrain";
    const QColor top = sky.pixelColor(sky.width() / 2, sky.height() / 2 - sky.height() / 5);
    EXPECT_GT(top.blue(), top.red()) << "a blue daylight sky";
    EXPECT_NE(top, QColor(192, 220, 252));

    // The sun dragged down to the horizon: another sky, and the label follows.
    const QPoint handle(int(double(sunPitch->value() - sunPitch->minimum()) / (sunPitch->maximum() - sunPitch->minimum()) *
                            sunPitch->width()),
                        sunPitch->height() / 2);
    QTest::mousePress(sunPitch, Qt::LeftButton, {}, handle);
    for (int x = handle.x(); x >= -20; x -= 15)
        dragTo(sunPitch, QPoint(x, handle.y()));
    QTest::mouseRelease(sunPitch, Qt::LeftButton, {}, QPoint(-20, handle.y()));
    EXPECT_EQ(sunPitch->value(), 0);
    auto *label = window()->findChild<QLabel *>(QStringLiteral("glSunPitchSliderLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("sun pitch: 0") + QChar(0x00B0));
    const QImage low = look(gl);
    EXPECT_NE(low, sky);

    // reset sky brings the first sky back.
    click(find<QPushButton>(QStringLiteral("glSkyResetButton")));
    EXPECT_NE(sunPitch->value(), 0);
    EXPECT_NE(look(gl), low);
}

TEST_F(UserPath, TheCreateTabRendersTheSkyTexture)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    openTab(2);
    auto *size = find<QComboBox>(QStringLiteral("skyDomeMapSizeComboBox"));
    ASSERT_NE(size, nullptr);
    size->setFocus();
    QTest::keyClick(size, Qt::Key_Down);
    ASSERT_EQ(size->currentText(), "4096");
    auto *generate = find<QPushButton>(QStringLiteral("skyDomeTextureGenerateButton"));
    ASSERT_TRUE(waitFor([&] { return generate->isVisible(); }));
    click(generate);
    const QImage sky(maps("my Terrain 1_skyDome.jpg"));
    EXPECT_EQ(sky.size(), QSize(4096, 4096));
    EXPECT_TRUE(statusLine().contains("sky dome map generated")) << statusLine().toStdString();
    const QColor zenith = sky.pixelColor(2048, 0);
    EXPECT_GT(zenith.blue(), zenith.red()) << "a daylight zenith";
}

TEST_F(UserPath, TheSkyDomeSpansALargeTerrain)
{
    // A first terrain of the default size 100 starts the preview; then one ten times as large.
    ASSERT_NO_FATAL_FAILURE(terraform());
    preview()->grabFramebuffer();   // starts the preview at the first size
    openTab(0);
    auto *size = find<QLineEdit>(QStringLiteral("FFTerrainSizeLineEdit"));
    ASSERT_NE(size, nullptr);
    size->setFocus();
    size->selectAll();
    QTest::keyClicks(size, QStringLiteral("1000"));
    QTest::keyClick(size, Qt::Key_Return);
    ASSERT_EQ(size->text(), "1000");
    click(find<QPushButton>(QStringLiteral("terraformButton")));
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    click(button(QStringLiteral("SKY DOME")));
    const QImage sky = look(preview());
    // Seen from the framing distance 2 S, a dome of radius S / 2 fills a good part of the view.
    EXPECT_GT(terrainPixels(sky), sky.width() * sky.height() / 4 / 10);
}

}   // namespace

namespace {

/// Pixels that differ between two frames, within r of p and beyond it.
std::pair<int, int> changedNearAndFar(const QImage &a, const QImage &b, QPoint p, int r)
{
    int near = 0, far = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                ++((QPoint(x, y) - p).manhattanLength() <= r ? near : far);
    return {near, far};
}

TEST_F(UserPath, DraggingOnTheTerrainRaisesItShiftLowersItAndCtrlZTakesItBack)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    ASSERT_NE(gl, nullptr);
    // Terrain mode shows its own strength, starting at the relief (15 units: a step of 0.94 at
    // the centre); paint mode shows the instance count in its place.
    auto *strength = find<QSpinBox>(QStringLiteral("glBrushStrengthSpinBox"));
    auto *instances = find<QSpinBox>(QStringLiteral("glEcoInstancesSpinBox"));
    ASSERT_NE(strength, nullptr);
    click(find<QPushButton>(QStringLiteral("glTerrainButton")));
    EXPECT_TRUE(strength->isVisible());
    EXPECT_FALSE(instances->isVisible());
    EXPECT_EQ(find<QLabel>(QStringLiteral("glBrushStrengthSpinBoxLabel"))->text(), QStringLiteral("sculpt strength"));
    EXPECT_GE(strength->value(), 14);
    click(find<QPushButton>(QStringLiteral("glPaintButton")));
    EXPECT_FALSE(strength->isVisible());
    EXPECT_TRUE(instances->isVisible());
    EXPECT_EQ(find<QLabel>(QStringLiteral("glEcoInstancesSpinBoxLabel"))->text(), QStringLiteral("instances per Shift-click"));
    click(find<QPushButton>(QStringLiteral("glTerrainButton")));

    // Just in front of the far edge: a hill there rises into the sky behind the terrain.
    const QImage before = look(gl);
    // The first terrain row from the top in column x.
    auto skyline = [](const QImage &frame, int x) {
        int y = 0;
        while (y < frame.height() && frame.pixelColor(x, y) == QColor(192, 220, 252))
            ++y;
        return y;
    };
    const QPoint nearFarEdge(gl->width() / 2, skyline(before, gl->width() / 2) + 12);
    const QPoint alongTheEdge(gl->width() * 3 / 4, skyline(before, gl->width() * 3 / 4) + 12);
    dragTo(gl, nearFarEdge, Qt::NoButton);
    const QImage hovered = look(gl);
    const auto [near, far] = changedNearAndFar(before, hovered, nearFarEdge, 150);
    EXPECT_GT(near, 200) << "the brush sphere under the pointer";
    EXPECT_EQ(far, 0);

    // Seen in paint mode, where no brush is drawn: what the strokes did to the ground.
    auto ground = [&] {
        click(find<QPushButton>(QStringLiteral("glPaintButton")));
        const QImage frame = look(gl);
        click(find<QPushButton>(QStringLiteral("glTerrainButton")));
        return frame;
    };
    auto stroke = [&](Qt::KeyboardModifiers modifiers, QPoint at) {
        dragTo(gl, at, Qt::NoButton);
        QTest::mousePress(gl, Qt::LeftButton, modifiers, at);
        for (int i = 0; i < 8; ++i)
            dragTo(gl, at + QPoint(i % 2, 0));
        QTest::mouseRelease(gl, Qt::LeftButton, modifiers, at);
    };
    // Shift with the left button lowers the ground, below zero once that is allowed. (Strokes
    // follow the surface under the pointer, so the two strokes are made apart.)
    click(find<QPushButton>(QStringLiteral("glDeformBelowZeroButton")));
    const QImage untouched = ground();
    gl->setFocus();
    QTest::keyPress(gl, Qt::Key_Shift);
    stroke(Qt::ShiftModifier, nearFarEdge);
    QTest::keyRelease(gl, Qt::Key_Shift);
    const QImage lowered = ground();
    EXPECT_GT(changedNearAndFar(untouched, lowered, nearFarEdge, 200).first, 200) << "the ground changed there";
    EXPECT_GE(skyline(lowered, nearFarEdge.x()), skyline(untouched, nearFarEdge.x())) << "and went down";

    // Without Shift, further along the edge, the default brush raises it: a hill stands out
    // against the sky.
    stroke({}, alongTheEdge);
    const QImage raised = ground();
    EXPECT_LT(skyline(raised, alongTheEdge.x()), skyline(lowered, alongTheEdge.x()) - 3);

    // Ctrl+Z takes the strokes back one at a time, to the same picture; Ctrl+Shift+Z
    // and the redo icon bring them again.
    QTest::keyClick(gl, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(statusLine(), QStringLiteral("undone: sculpt stroke"));
    EXPECT_EQ(ground(), lowered);
    click(find<QPushButton>(QStringLiteral("glUndoButton")));
    EXPECT_EQ(ground(), untouched);
    QTest::keyClick(gl, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(statusLine(), QStringLiteral("nothing to undo"));
    QTest::keyClick(gl, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    click(find<QPushButton>(QStringLiteral("glRedoButton")));
    EXPECT_EQ(statusLine(), QStringLiteral("redone: sculpt stroke"));
    EXPECT_EQ(ground(), raised);

    // A new TERRAFORM ! starts a new history.
    openTab(0);
    ASSERT_NO_FATAL_FAILURE(reseedInput1());
    click(find<QPushButton>(QStringLiteral("terraformButton")));
    ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
    QTest::keyClick(preview(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(statusLine(), QStringLiteral("nothing to undo"));
}

TEST_F(UserPath, AClickInEditModeOnBareTerrainSelectsNothing)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    click(find<QPushButton>(QStringLiteral("glEditButton")));
    QOpenGLWidget *gl = preview();
    QTest::mouseClick(gl, Qt::LeftButton, {}, QPoint(gl->width() / 2, gl->height() / 2));
    EXPECT_EQ(statusLine(), QString());
    EXPECT_FALSE(find<QFrame>(QStringLiteral("glEditTransformFrame"))->isVisible());
}

}   // namespace
