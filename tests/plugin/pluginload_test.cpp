// The plug-in as the host sees it: a library in the plug-ins folder that the studio loads, whose
// create action opens the tool window.
#include "dzaction.h"
#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzplugin.h"
#include "pluginloader.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJSEngine>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(PluginLibrary, TheStudioLoadsItAndListsItsAction)
{
    auto *app = new DzApp(qApp);
    QTemporaryDir documents;
    app->setPluginsPath(QStringLiteral(OROVISTA_PLUGINS_DIR));
    app->setDocumentsPath(documents.path());

    QJSEngine engine;
    PluginLoader loader(&engine);
    EXPECT_EQ(loader.loadFolder(QStringLiteral(OROVISTA_PLUGINS_DIR)), 1);
    EXPECT_TRUE(loader.refusals().isEmpty());
    ASSERT_EQ(loader.plugins().size(), 1);
    DzPlugin *plugin = loader.plugins().first().plugin;
    EXPECT_EQ(plugin->getName(), "OROVISTA");
    EXPECT_EQ(plugin->getVersion(), DzVersion(1, 1, 0, 1));
    EXPECT_EQ(loader.plugins().first().sdkVersion, DzVersion(4, 5, 0, 100));
    EXPECT_TRUE(plugin->getDescription().contains("OROVISTA web site"));
    ASSERT_EQ(plugin->getNumClassFactories(), 1);
    DzClassFactory *factory = plugin->getClassFactory(0);
    EXPECT_EQ(factory->getClassName(), "DzOrovistaPluginAction");
    EXPECT_EQ(factory->getClassID().toString(), "CD69D1EC-2478-47E0-B702-00D53565D476");
    EXPECT_TRUE(engine.globalObject().hasProperty("DzOrovistaPluginAction"));

    DzCreateItemAction *action = loader.findAction(QStringLiteral("New OROVISTA Scene Objects..."));
    ASSERT_NE(action, nullptr);
    EXPECT_FALSE(action->icon().isNull());

    // Triggering it opens the window and starts the run log in the working folder.
    action->trigger();
    QFile log(documents.filePath("orovistaData/logFile.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("OROVISTA started\n"));
    QWidget *window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "ecoWin")
            window = w;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "OROVISTA 1.1");
    delete window;
}

}   // namespace
