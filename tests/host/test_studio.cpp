// The studio's plug-in loader, command line and outliner.
#include "dzaction.h"
#include "dzapp.h"
#include "dznode.h"
#include "dzplugin.h"
#include "dzscene.h"
#include "pluginloader.h"
#include "sceneoutliner.h"
#include "studiooptions.h"
#include "studiowindow.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJSEngine>
#include <QMenu>
#include <QTemporaryDir>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

// A plug-ins folder holding copies of the test libraries (and whatever else a test adds).
class PluginFolder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    DzApp app;
    QJSEngine engine;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char *lib : {"libgood_plugin.so", "libforeign_plugin.so", "libnot_a_plugin.so"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(HOST_TEST_PLUGIN_DIR "/") + QLatin1String(lib), dir.filePath(QLatin1String(lib))))
                << lib;
        app.setPluginsPath(dir.path());
    }

    void addFile(const QString &name, const QByteArray &contents)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }

    void addIcon()
    {
        QImage icon(24, 24, QImage::Format_ARGB32);
        icon.fill(Qt::green);
        ASSERT_TRUE(icon.save(dir.filePath(QStringLiteral("good.png"))));
    }

    static QString messageFor(const PluginLoader &loader, const QString &fileName)
    {
        for (const PluginLoader::Refusal &r : loader.refusals())
            if (QFileInfo(r.file).fileName() == fileName)
                return r.message;
        return QString();
    }
};

} // namespace

TEST_F(PluginFolder, ListsTheGoodActionAndRefusesTheOthersWithReasons)
{
    addIcon();
    addFile(QStringLiteral("libgarbage.so"), "this is not an ELF file");
    addFile(QStringLiteral("readme.txt"), "not a library at all");

    PluginLoader loader(&engine);
    EXPECT_EQ(loader.loadFolder(dir.path()), 1);
    ASSERT_EQ(loader.plugins().size(), 1);
    EXPECT_EQ(loader.plugins().first().plugin->getName(), QStringLiteral("Good"));
    EXPECT_EQ(loader.plugins().first().plugin->getVersion(), DzVersion(1, 2, 3, 4));

    ASSERT_EQ(loader.createActions().size(), 1);   // the helper class is no action
    DzCreateItemAction *action = loader.createActions().first();
    EXPECT_EQ(action->text(), QStringLiteral("Make Good Node"));
    EXPECT_FALSE(action->icon().isNull());
    EXPECT_EQ(action->objectName(), QStringLiteral("initialised"));   // init() was called
    EXPECT_EQ(loader.findAction(QStringLiteral("Make Good Node")), action);
    EXPECT_EQ(loader.findAction(QStringLiteral("Foreign Action")), nullptr);

    // Triggering runs executeAction().
    action->trigger();
    EXPECT_NE(dzScene->findNode(QStringLiteral("GoodNode")), nullptr);

    ASSERT_EQ(loader.refusals().size(), 3);
    const QString foreign = messageFor(loader, QStringLiteral("libforeign_plugin.so"));
    EXPECT_TRUE(foreign.contains(QLatin1String("5.0.0.0")) && foreign.contains(QLatin1String("4.5.0.100"))) << foreign.toStdString();
    const QString notPlugin = messageFor(loader, QStringLiteral("libnot_a_plugin.so"));
    EXPECT_TRUE(notPlugin.contains(QLatin1String("libnot_a_plugin.so is not a plug-in"))) << notPlugin.toStdString();
    const QString garbage = messageFor(loader, QStringLiteral("libgarbage.so"));
    EXPECT_TRUE(garbage.contains(QLatin1String("could not be loaded"))) << garbage.toStdString();

    // The classes are known to the host and to scripts.
    EXPECT_NE(dzApp->findClassFactory(QStringLiteral("GoodAction")), nullptr);
    const QJSValue helper = engine.evaluate(QStringLiteral("GoodHelper()"));
    ASSERT_TRUE(helper.isQObject());
    EXPECT_STREQ(helper.toQObject()->metaObject()->className(), "GoodHelper");
    EXPECT_EQ(helper.property(QStringLiteral("objectName")).toString(), QStringLiteral("good helper"));
    EXPECT_EQ(engine.evaluate(QStringLiteral("GoodHelper.Dark")).toInt(), 7);
    EXPECT_EQ(engine.evaluate(QStringLiteral("new GoodAction().text")).toString(), QStringLiteral("Make Good Node"));
    EXPECT_TRUE(engine.evaluate(QStringLiteral("typeof ForeignAction")).toString() == QStringLiteral("undefined"));

    // Loading the folder again adds nothing.
    loader.loadFolder(dir.path());
    EXPECT_EQ(loader.createActions().size(), 1);
}

TEST_F(PluginFolder, ActionWithoutItsIconFileHasNoIcon)
{
    PluginLoader loader(nullptr);
    ASSERT_TRUE(loader.loadLibrary(dir.filePath(QStringLiteral("libgood_plugin.so"))));
    ASSERT_EQ(loader.createActions().size(), 1);
    EXPECT_TRUE(loader.createActions().first()->icon().isNull());
}

TEST_F(PluginFolder, MissingFolderOrFileIsANoticeNotACrash)
{
    PluginLoader loader(&engine);
    EXPECT_EQ(loader.loadFolder(dir.filePath(QStringLiteral("nowhere"))), 0);
    ASSERT_EQ(loader.notices().size(), 1);
    EXPECT_TRUE(loader.notices().first().contains(QLatin1String("does not exist")));
    EXPECT_FALSE(loader.loadLibrary(dir.filePath(QStringLiteral("libabsent.so"))));
    EXPECT_EQ(loader.refusals().size(), 1);
}

TEST(StudioOptions, DefaultsFollowTheExecutable)
{
    QTemporaryDir tree;
    ASSERT_TRUE(QDir(tree.path()).mkpath(QStringLiteral("bin")));
    const QString bin = tree.filePath(QStringLiteral("bin"));
    StudioOptions o;
    QString error;
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio")}, bin, o, &error)) << error.toStdString();
    EXPECT_EQ(o.pluginsDir, QDir::cleanPath(tree.filePath(QStringLiteral("plugins"))));
    EXPECT_TRUE(o.contentDirs.isEmpty());   // no <appdir>/../content here
    EXPECT_TRUE(o.documentsFromDefault);
    EXPECT_TRUE(o.documentsDir.endsWith(QLatin1String("/Studio")));
    EXPECT_TRUE(o.runAction.isEmpty());

    ASSERT_TRUE(QDir(tree.path()).mkpath(QStringLiteral("content")));
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio")}, bin, o, &error));
    EXPECT_EQ(o.contentDirs, QStringList{QDir::cleanPath(tree.filePath(QStringLiteral("content")))});
}

TEST(StudioOptions, CommandLineOverridesAndErrors)
{
    StudioOptions o;
    QString error;
    ASSERT_TRUE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("--plugins"), QStringLiteral("/p/../q"),
                                      QStringLiteral("--documents"), QStringLiteral("/d"), QStringLiteral("--content"),
                                      QStringLiteral("/c1"), QStringLiteral("--content"), QStringLiteral("/c2"),
                                      QStringLiteral("--run-action"), QStringLiteral("New Thing...")},
                                     QStringLiteral("/app/bin"), o, &error));
    EXPECT_EQ(o.pluginsDir, QStringLiteral("/q"));
    EXPECT_EQ(o.documentsDir, QStringLiteral("/d"));
    EXPECT_FALSE(o.documentsFromDefault);
    EXPECT_EQ(o.contentDirs, (QStringList{QStringLiteral("/c1"), QStringLiteral("/c2")}));
    EXPECT_EQ(o.runAction, QStringLiteral("New Thing..."));

    bool help = false;
    EXPECT_TRUE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("--help")}, QString(), o, &error, &help));
    EXPECT_TRUE(help);
    EXPECT_FALSE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("--frobnicate")}, QString(), o, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("--plugins")}, QString(), o, &error));
    EXPECT_FALSE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("--plugins"), QStringLiteral("/a"),
                                       QStringLiteral("--plugins"), QStringLiteral("/b")}, QString(), o, &error));
    EXPECT_FALSE(StudioOptions::parse({QStringLiteral("studio"), QStringLiteral("stray")}, QString(), o, &error));
}

TEST(SceneOutliner, FollowsTheSceneAndItsHierarchy)
{
    DzScene scene;
    SceneOutliner outliner(&scene);
    auto *terrain = new DzNode;
    terrain->setName(QStringLiteral("terrain"));
    auto *prop = new DzNode;
    prop->setName(QStringLiteral("oak"));
    prop->setLabel(QStringLiteral("Oak 1"));
    scene.addNode(terrain);
    scene.addNode(prop);
    EXPECT_EQ(outliner.topLevelItemCount(), 2);
    EXPECT_EQ(outliner.itemForNode(prop)->text(0), QStringLiteral("Oak 1"));

    terrain->addNodeChild(prop);   // the prop moves under the terrain
    EXPECT_EQ(outliner.topLevelItemCount(), 1);
    EXPECT_EQ(outliner.itemForNode(prop)->parent(), outliner.itemForNode(terrain));

    prop->setLabel(QStringLiteral("Oak 2"));
    EXPECT_EQ(outliner.itemForNode(prop)->text(0), QStringLiteral("Oak 2"));

    // A child that reaches the scene before its parent is placed when the parent arrives.
    auto *sky = new DzNode;
    auto *star = new DzNode;
    sky->setName(QStringLiteral("sky"));
    star->setName(QStringLiteral("star"));
    sky->addNodeChild(star);
    scene.addNode(star);
    scene.addNode(sky);
    EXPECT_EQ(outliner.itemForNode(star)->parent(), outliner.itemForNode(sky));

    outliner.setCurrentItem(outliner.itemForNode(prop));
    EXPECT_EQ(outliner.currentNode(), prop);
    scene.removeNode(terrain);   // takes the prop along
    EXPECT_EQ(outliner.itemForNode(terrain), nullptr);
    EXPECT_EQ(outliner.itemForNode(prop), nullptr);
    EXPECT_EQ(outliner.topLevelItemCount(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    delete star;   // deleted by hand: its item goes too
    EXPECT_EQ(outliner.itemForNode(sky)->childCount(), 0);
}

TEST(StudioWindow, CreateMenuListsTheActions)
{
    DzApp app;
    StudioWindow window;
    // It opens on most of the screen, not in a corner of it.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_GE(window.width(), std::min(available.width(), std::max(1100, available.width() * 8 / 10)));
    EXPECT_GE(window.height(), std::min(available.height(), std::max(720, available.height() * 8 / 10)));
    EXPECT_EQ(window.getViewportMgr()->getNumViewports(), 1);
    ASSERT_NE(window.getViewportMgr()->getActiveViewport(), nullptr);
    Dz3DViewport *view = window.getViewportMgr()->getActiveViewport()->get3DViewport();
    view->setShadeStyle(Dz3DViewport::SolidBox);
    view->setShadeStyle(42);   // not a style: ignored
    EXPECT_EQ(view->getShadeStyle(), Dz3DViewport::SolidBox);
    {
        DzBasicCamera camera(6, false);
        view->setCamera(&camera);
        EXPECT_EQ(view->getCamera(), &camera);
    }
    EXPECT_EQ(view->getCamera(), nullptr);   // a deleted camera is forgotten

    class Act : public DzCreateItemAction {
    public:
        Act() : DzCreateItemAction(QStringLiteral("Act")) {}
        void executeAction() override {}
    } act;
    window.setCreateActions({&act});
    ASSERT_EQ(window.createMenu()->actions().size(), 1);
    EXPECT_EQ(window.createMenu()->actions().first(), &act);
}
