// The window's size, placement and frame on desktops of different sizes.
#include "pluginfixture.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>

namespace {

using Window = PluginFixture;

TEST_F(Window, FitsALargeDesktopWithoutScrolling)
{
    action->executeAction();
    QWidget *w = action->mainWindow;
    EXPECT_EQ(w->objectName(), "ecoWin");
    EXPECT_EQ(w->windowTitle(), "OROVISTA 1.1");
    EXPECT_EQ(w->minimumSize(), QSize(1200, 1000));
    EXPECT_EQ(w->maximumSize(), QSize(1218, 2000));
    EXPECT_TRUE(orovista::state().windowFitsScreen);
    EXPECT_EQ(action->scrollArea, nullptr);
    EXPECT_EQ(action->mainFrame->parentWidget(), w);
    EXPECT_EQ(action->mainFrame->geometry(), QRect(0, 0, 1198, 998));
    EXPECT_FALSE(logText().contains("plugin window to be resized"));
    EXPECT_EQ(orovista::state().ui.glTerrain->height(), 760);
}

TEST_F(Window, ScrollsOnA1280By1024Desktop)
{
    orovista::screen::setDesktopSizeOverride(QSize(1280, 1024));
    action->executeAction();
    QWidget *w = action->mainWindow;
    EXPECT_FALSE(orovista::state().windowFitsScreen);
    EXPECT_TRUE(logText().contains("building primary controls...\nplugin window to be resized\n"
                                   "building secondary controls...\n"));
    ASSERT_NE(action->scrollArea, nullptr);
    EXPECT_EQ(action->scrollArea->widget(), action->mainFrame);
    auto *layout = w->findChild<QHBoxLayout *>("ecoGridLayout");
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->spacing(), 0);
    EXPECT_EQ(w->minimumSize(), QSize(1200, 924));
    EXPECT_EQ(w->maximumSize(), QSize(1218, 1848));
    EXPECT_EQ(w->pos(), QPoint(640 - 599, 0));
    // Not Windows: the viewport is shorter so the populate tools stay reachable.
    EXPECT_EQ(orovista::state().ui.glTerrain->height(), 560);
}

TEST_F(Window, GlobalControlsSitOnTheBottomRow)
{
    action->executeAction();
    auto &ui = orovista::state().ui;
    EXPECT_EQ(ui.statusLine->geometry(), QRect(1, 977, 828, 20));
    EXPECT_EQ(ui.statusLine->text(), "Welcome to OROVISTA! Please load or generate a terrain...");
    EXPECT_EQ(ui.autoButton->geometry(), QRect(1008, 979, 50, 18));
    EXPECT_EQ(ui.resetButton->geometry(), QRect(1068, 979, 50, 18));
    EXPECT_EQ(ui.quitButton->geometry(), QRect(1128, 979, 50, 18));
    EXPECT_TRUE(ui.autoButton->isVisible());
    EXPECT_TRUE(ui.resetButton->isVisible());
    EXPECT_FALSE(ui.triangleLabel->isVisible());
    EXPECT_EQ(ui.mainController->geometry(), QRect(20, 10, 1158, 963));
}

TEST_F(Window, TabsAndTheirStartState)
{
    action->executeAction();
    QTabWidget *tabs = orovista::state().ui.mainController;
    const QStringList texts = {"TERRAFORM", "POPULATE", "CREATE", "PRESETS", "SETUP", "ABOUT"};
    const QStringList pages = {"terrainTab", "populateTab", "genesisTab", "presetsTab", "setupTab", "aboutTab"};
    ASSERT_EQ(tabs->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tabs->tabText(i), texts[i]);
        EXPECT_EQ(tabs->widget(i)->objectName(), pages[i]);
    }
    for (int i : {1, 2}) {
        EXPECT_FALSE(tabs->isTabEnabled(i));
        EXPECT_EQ(tabs->tabToolTip(i), "You need to create or load a terrain first...");
    }
    EXPECT_TRUE(tabs->isTabEnabled(0));
    EXPECT_FALSE(find<QPushButton>("terraformButton")->isEnabled());
    EXPECT_TRUE(find<QWidget>("vboCheckBox")->property("checked").toBool());
}

TEST_F(Window, NodePanelsArePlacedAndTitled)
{
    action->executeAction();
    struct Panel { const char *name; QPoint pos; const char *title; };
    const Panel panels[] = {{"I1Panel", {10, 440}, "INPUT 1"},     {"I2Panel", {960, 440}, "INPUT 2"},
                            {"D1Panel", {10, 125}, "DEFORMER 1"},  {"D2Panel", {960, 125}, "DEFORMER 2"},
                            {"C1Panel", {325, 10}, "COMBINER"},    {"FFPanel", {210, 125}, nullptr}};
    for (const Panel &p : panels) {
        auto *panel = find<QTabWidget>(p.name);
        ASSERT_NE(panel, nullptr) << p.name;
        EXPECT_EQ(panel->pos(), p.pos) << p.name;
        if (p.title) {
            EXPECT_EQ(panel->tabText(0), p.title);
        }
    }
    EXPECT_FALSE(find<QWidget>("FFReGenerateNoise")->isVisible());
    EXPECT_FALSE(find<QWidget>("FFGradientTypeListViewLeft")->isEnabled());
}

}   // namespace
