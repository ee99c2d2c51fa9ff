// Opening, resetting and quitting the tool window, and its run log.
#include "pluginfixture.h"

#include "plugin/runlog.h"
#include "plugin/statics.h"

#include <QDir>
#include <QTabWidget>

namespace {

const char *const startupLines =
    "OROVISTA started\n"
    "GL_ARB_vertex_buffer_object: SUPPORTED\n"
    "building primary controls...\n"
    "building secondary controls...\n"
    "fill main controller tabs...\n"
    "create openGL context\n"
    "Depth buffer precision: 24bit\n"
    "set initial height and terrain map resolution\n"
    "set color gradients\n"
    "build presets library...\n"
    "initialize noise machine...\n"
    "initialize library...\n";

using Lifecycle = PluginFixture;

TEST_F(Lifecycle, StartUpWritesTheLogLinesInOrderAndMakesTheWorkingFolders)
{
    action->executeAction();
    EXPECT_TRUE(logText().startsWith("OROVISTA started\n"));
    EXPECT_EQ(logLinesAmong(startupLines), QString::fromLatin1(startupLines));
    EXPECT_TRUE(logText().contains("initialize noise machine...\ngenerating noise maps...\nnoise node 1 generated\n"));
    EXPECT_TRUE(QDir(workFolder() + "/maps").exists());
    EXPECT_TRUE(QDir(workFolder() + "/presets").exists());
    EXPECT_EQ(orovista::state().workFolder, workFolder());
    EXPECT_FALSE(orovista::state().suppressNoise);
    EXPECT_TRUE(orovista::state().vboSupported);
    EXPECT_EQ(orovista::statics().finalNode.leftGradientName, "australia 2.bmp");
    EXPECT_EQ(orovista::statics().finalNode.rightGradientName, "australia 2.bmp");
}

TEST_F(Lifecycle, ShallowColourDepthFallsBackToA24BitDepthBuffer)
{
    orovista::screen::setColourDepthOverride(16);
    action->executeAction();
    EXPECT_TRUE(logText().contains("create openGL context\nDepth buffer precision: 16bit\n"
                                   "Poor depth buffer precision, defaulting to 24bit\n"
                                   "set initial height"));
    EXPECT_EQ(orovista::state().ui.glTerrain->format().depthBufferSize(), 24);
}

TEST_F(Lifecycle, Studio4DocumentsPathWorksInStudio)
{
    const QString studio4 = home.path() + "/Studio4";
    QDir().mkpath(studio4);
    dzApp->setDocumentsPath(studio4);
    action->executeAction();
    EXPECT_EQ(orovista::state().workFolder, documents + "/orovistaData");
    EXPECT_TRUE(logText().startsWith("OROVISTA started\n"));
}

TEST_F(Lifecycle, MissingDocumentsFolderShowsAnErrorAndLeavesTheHostRunning)
{
    dzApp->setDocumentsPath(home.path() + "/nowhere");
    bool quitRequested = false;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&] { quitRequested = true; });
    action->executeAction();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Error");
    EXPECT_TRUE(asked[0].text.contains(home.path() + "/nowhere/content"));
    EXPECT_EQ(action->mainWindow, nullptr);
    EXPECT_FALSE(orovista::state().ui.mainWindow);
    EXPECT_FALSE(QDir(home.path() + "/nowhere").exists());
    QCoreApplication::processEvents();
    EXPECT_FALSE(quitRequested);
}

TEST_F(Lifecycle, QuitAsksFirstAndCancelLeavesEverything)
{
    action->executeAction();
    answer(QMessageBox::Cancel);
    action->quitOrovista();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Warning");
    EXPECT_EQ(asked[0].text, "quit OROVISTA?");
    EXPECT_TRUE(orovista::state().ui.mainWindow);
    EXPECT_TRUE(orovista::runLog().isOpen());
}

TEST_F(Lifecycle, QuitBeforeAnyTerrainClosesTheWindowAndTheLog)
{
    action->executeAction();
    QPointer<QWidget> window = action->mainWindow;
    QPointer<QWidget> viewport = orovista::state().ui.glTerrain.data();
    orovista::state().autoNoiseUpdate = false;

    action->quitOrovista();
    EXPECT_TRUE(logText().endsWith("initialize library...\nclosing OROVISTA\n"));
    EXPECT_FALSE(orovista::runLog().isOpen());
    EXPECT_TRUE(orovista::state().autoNoiseUpdate);
    EXPECT_FALSE(orovista::state().terrainArraysReady);
    // Deleted once control is back in the event loop, not inside the button's signal.
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    EXPECT_FALSE(viewport);
}

TEST_F(Lifecycle, QuitFromItsOwnButtonDoesNotDeleteTheButtonUnderTheSignal)
{
    action->executeAction();
    QPointer<QPushButton> quit = orovista::state().ui.quitButton.data();
    ASSERT_TRUE(quit);
    quit->click();   // would crash if the window were deleted inside the click
    EXPECT_TRUE(logText().endsWith("closing OROVISTA\n"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(quit);
}

TEST_F(Lifecycle, ResetTruncatesTheLogAndRebuildsTheWindow)
{
    action->executeAction();
    QPointer<QWidget> first = action->mainWindow;
    orovista::state().ui.resetButton->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "restart OROVISTA?");
    EXPECT_TRUE(logText().startsWith("OROVISTA started\n"));
    EXPECT_EQ(logLinesAmong(startupLines), QString::fromLatin1(startupLines)) << "once, from the start";
    EXPECT_NE(action->mainWindow, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    EXPECT_TRUE(orovista::state().ui.mainWindow);
    EXPECT_EQ(orovista::state().ui.mainWindow.data(), action->mainWindow);
}

}   // namespace
