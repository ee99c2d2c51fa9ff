// The prop library as a user meets it on the POPULATE tab: the libraries of the host, the tree of
// props, thumbnails and file facts, and choosing a prop with a double-click; bad props are told
// and leave no prop chosen.
#include "userpathfixture.h"

#include "dzcontentmgr.h"

#include <QListWidget>

namespace {

class PropLibrary : public UserPath {
protected:
    void beforeWindow() override
    {
        sample = QStringLiteral(OROVISTA_BINARY_DIR "/content");
        broken = home.path() + QStringLiteral("/Broken Lib");
        bare = home.path() + QStringLiteral("/no runtime");
        QDir().mkpath(bare);
        const QString props = broken + QStringLiteral("/Runtime/Libraries/Props/Test/");
        QDir().mkpath(props);
        QDir().mkpath(broken + QStringLiteral("/Runtime/Geometries/test"));
        auto write = [](const QString &path, const QByteArray &text) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        auto prop = [&](const char *name, const QByteArray &lines) {
            write(props + QLatin1String(name) + QStringLiteral(".pp2"),
                  "{\nversion\n\t{\n\tnumber 4.01\n\t}\nprop " + QByteArray(name) + "\n\t{\n" + lines + "\t}\n}\n");
        };
        write(broken + QStringLiteral("/Runtime/Geometries/test/bad.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n");
        write(broken + QStringLiteral("/Runtime/Geometries/test/base.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
        write(broken + QStringLiteral("/Runtime/Geometries/test/top.obj"),
              "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 2 0\nf 1 2 3 4 5\n");
        prop("badindex", "\tobjFileGeom 0 0 :Runtime:Geometries:test:bad.obj\n");
        prop("missing", "\tobjFileGeom 0 0 :Runtime:Geometries:test:base.obj\n\tobjFileGeom 0 0 :Runtime:Geometries:test:gone.obj\n");
        prop("noref", "\tname noref\n");
        prop("escape", "\tobjFileGeom 0 0 :Runtime:..:..:..:etc:passwd\n");
        prop("twofiles", "\tobjFileGeom 0 0 :Runtime:Geometries:TEST:base.obj\n\tobjFileGeom 0 0 \":Runtime:Geometries:test:top.obj\"\n");
        // Only a JPEG beside this one.
        QImage jpeg(40, 30, QImage::Format_RGB32);
        jpeg.fill(QColor(200, 30, 30));
        jpeg.save(props + QStringLiteral("twofiles.jpg"));
        dzApp->getContentMgr()->setPoserDirectories({sample, broken, bare});
    }

    void TearDown() override
    {
        UserPath::TearDown();
        dzApp->getContentMgr()->setPoserDirectories({});
    }

    void chooseLibrary(int row)
    {
        auto *list = find<QListWidget>(QStringLiteral("libraryList"));
        ASSERT_NE(list, nullptr);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        ASSERT_EQ(list->currentRow(), row);
    }

    static QImage shownThumbnail()
    {
        auto *label = find<QLabel>(QStringLiteral("propThumbnailLabel"));
        return label ? label->pixmap().toImage() : QImage();
    }

    static bool paintModeOn()
    {
        return find<QPushButton>(QStringLiteral("glPaintButton"))->styleSheet().contains(QLatin1String("71,120,247"));
    }

    QString sample, broken, bare;
};

TEST_F(PropLibrary, BrowsingTheSampleLibraryAndChoosingATree)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    auto *list = find<QListWidget>(QStringLiteral("libraryList"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), sample);
    EXPECT_EQ(list->currentRow(), 0);
    ASSERT_TRUE(tree()->isVisible());
    for (const char *category : {"Plants", "Rocks", "Trees"})
        EXPECT_TRUE(entry(tree()->rootIndex(), QString::fromLatin1(category)).isValid()) << category;

    const QModelIndex trees = openFolder(QStringLiteral("Trees"));
    ASSERT_TRUE(trees.isValid());
    const QModelIndex pine = entry(trees, QStringLiteral("pine.pp2"));
    ASSERT_TRUE(pine.isValid());
    for (int r = 0; r < model()->rowCount(trees); ++r)
        EXPECT_TRUE(model()->index(r, 0, trees).data().toString().endsWith(QLatin1String(".pp2"))) << "only props are listed";

    // One click: the name, the prop's own thumbnail and its file facts.
    clickEntry(pine, false);
    EXPECT_EQ(find<QLabel>(QStringLiteral("propNameLabel"))->text(), QStringLiteral("pine.pp2"));
    const QString pp2 = sample + QStringLiteral("/Runtime/Libraries/Props/Trees/pine.pp2");
    EXPECT_EQ(shownThumbnail(), QImage(sample + QStringLiteral("/Runtime/Libraries/Props/Trees/pine.png")).convertToFormat(shownThumbnail().format()));
    const QString facts = find<QLabel>(QStringLiteral("propFactsLabel"))->text();
    EXPECT_TRUE(facts.startsWith(QStringLiteral("size: ") + QString::number(QFileInfo(pp2).size() / 1024) + QStringLiteral("Kb\ncreated: ")))
        << facts.toStdString();
    EXPECT_TRUE(facts.contains(QStringLiteral("\nmodified: ") + QFileInfo(pp2).lastModified().toString(QStringLiteral("dd MMMM yyyy, hh:mm"))));
    EXPECT_FALSE(paintModeOn());

    // A double-click loads it: paint mode, the status line, and its thumbnail in the viewport's
    // corner (the frame before it is seen in paint mode too, where no brush is drawn).
    QOpenGLWidget *gl = preview();
    click(find<QPushButton>(QStringLiteral("glPaintButton")));
    const QImage before = look(gl);
    click(find<QPushButton>(QStringLiteral("glTerrainButton")));
    clickEntry(pine, true);
    EXPECT_EQ(statusLine(), QStringLiteral("loaded prop: ") + pp2 + QStringLiteral(" in slot #1"));
    EXPECT_TRUE(paintModeOn());
    EXPECT_EQ(window()->focusWidget(), gl);
    const QImage after = look(gl);
    int changedInCorner = 0, changedElsewhere = 0;
    for (int y = 0; y < after.height(); y += 2)
        for (int x = 0; x < after.width(); x += 2)
            if (after.pixel(x, y) != before.pixel(x, y))
                ++(x > after.width() - 120 && y > after.height() - 120 ? changedInCorner : changedElsewhere);
    EXPECT_GT(changedInCorner, 150) << "the thumbnail overlay";
    EXPECT_EQ(changedElsewhere, 0);

    // The same prop again takes the next slot.
    clickEntry(pine, true);
    EXPECT_EQ(statusLine(), QStringLiteral("loaded prop: ") + pp2 + QStringLiteral(" in slot #2"));
}

TEST_F(PropLibrary, BadPropsAreToldAndLeaveNoPropChosen)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    ASSERT_NO_FATAL_FAILURE(chooseLibrary(1));
    const QModelIndex test = openFolder(QStringLiteral("Test"));
    ASSERT_TRUE(test.isValid());
    const QString geometries = broken + QStringLiteral("/Runtime/Geometries/test/");

    struct Case { const char *prop; QString told; };
    const Case cases[] = {
        {"badindex.pp2", QStringLiteral("Error: Error loading file: ") + geometries +
                             QStringLiteral("bad.obj, line 4: vertex index 9 is out of range (3 read so far)")},
        {"missing.pp2", QStringLiteral("Error: There was a problem loading this prop: one or more obj files not found.")},
        {"noref.pp2", QStringLiteral("Error: There was a problem loading this prop: no reference to external obj's found.")},
        {"escape.pp2", QStringLiteral("Error: There was a problem loading this prop: the geometry reference "
                                      "\":Runtime:..:..:..:etc:passwd\" leaves the library's Runtime folder.")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.prop);
        const QModelIndex prop = entry(test, QString::fromLatin1(c.prop));
        ASSERT_TRUE(prop.isValid());
        shown.clear();
        answers.push_back({QStringLiteral("OK"), {}});
        clickEntry(prop, true);
        ASSERT_TRUE(waitFor([&] { return !shown.empty(); }, 5000));
        EXPECT_EQ(shown.front(), c.told);
        EXPECT_FALSE(statusLine().startsWith(QLatin1String("loaded prop")));
        EXPECT_FALSE(paintModeOn()) << "back in edit mode";
    }
    // Without a thumbnail of its own the tree shows the library's "none" picture.
    EXPECT_EQ(shownThumbnail().size(), QImage(QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/resources/none.jpg")).size());

    // The failures gave back their slots; two OBJ files (one of them named in another case, one
    // in quotes) make one prop, shown with the JPEG beside it.
    const QModelIndex two = entry(test, QStringLiteral("twofiles.pp2"));
    clickEntry(two, true);
    EXPECT_EQ(statusLine(), QStringLiteral("loaded prop: ") + broken + QStringLiteral("/Runtime/Libraries/Props/Test/twofiles.pp2 in slot #1"));
    EXPECT_EQ(shownThumbnail().size(), QSize(40, 30));
    EXPECT_TRUE(paintModeOn());

    // A library without a Runtime folder hides the tree and says so.
    ASSERT_NO_FATAL_FAILURE(chooseLibrary(2));
    EXPECT_FALSE(tree()->isVisible());
    EXPECT_EQ(statusLine(), QStringLiteral("Warning: library ") + bare + QStringLiteral(" not found, or no Runtime folder in it!"));
}

}   // namespace
