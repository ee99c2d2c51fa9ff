// Keeping a piece of work: SAVE WORK after sculpting, painting, a sky and a name; the window
// closed and opened again; OPEN WORK gives back the same picture, items and choices. Damaged work
// files are refused and change nothing.
#include "userpathfixture.h"

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
};

TEST_F(Work, SavedWorkOpensAgainAsItWasAfterTheWindowClosed)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    QOpenGLWidget *gl = preview();
    const QPoint middle(gl->width() / 2, gl->height() / 2);

    // A sculpted bump, three rocks, a low sun, a name.
    click(find<QPushButton>(QStringLiteral("glTerrainButton")));
    QTest::mousePress(gl, Qt::LeftButton, {}, middle);
    for (int i = 0; i < 10; ++i)
        dragTo(gl, middle + QPoint(i % 2, 0));
    QTest::mouseRelease(gl, Qt::LeftButton, {}, middle);
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
    answers.push_back({QStringLiteral("Yes"), {}});
    click(button(QStringLiteral("QUIT")));
    ASSERT_TRUE(waitFor([] { return !window(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    openWindow();
    EXPECT_FALSE(tabs()->isTabEnabled(1));

    answers.push_back({{}, file});
    click(find<QPushButton>(QStringLiteral("openWorkButton")));
    ASSERT_TRUE(waitFor([&] { return statusLine().startsWith(QLatin1String("work opened: ")); })) << statusLine().toStdString();
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
