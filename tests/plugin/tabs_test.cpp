// Tab changes, viewport modes, AUTO, and the CREATE and SETUP tab controls.
#include "pluginfixture.h"

#include "library/mylibrary.h"
#include "plugin/statics.h"
#include "viewport/glterrain.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QSlider>
#include <QTabWidget>

namespace {

class Tabs : public PluginFixture {
protected:
    void SetUp() override
    {
        PluginFixture::SetUp();
        content = home.path() + "/content";
        dzApp->getContentMgr()->setPoserDirectories({content + "/A", content + "/B", content + "/C"});
        action->executeAction();
    }
    void TearDown() override
    {
        dzApp->getContentMgr()->setPoserDirectories({});
        PluginFixture::TearDown();
    }
    orovista::WindowWidgets &ui() { return orovista::state().ui; }
    QString content;
};

TEST_F(Tabs, HelpIconShowsOnlyOnPopulate)
{
    ui().mainController->setTabEnabled(1, true);
    ui().mainController->setCurrentIndex(1);
    EXPECT_EQ(ui().helpIcon->geometry(), QRect(982, 979, 16, 16));
    EXPECT_TRUE(ui().triangleLabel->isVisible());
    ui().mainController->setCurrentIndex(3);
    EXPECT_EQ(ui().helpIcon->geometry(), QRect(982, 979, 1, 1));
    EXPECT_FALSE(ui().triangleLabel->isVisible());
}

TEST_F(Tabs, HelpBalloonReplacesTheViewportWhileThePointerRests)
{
    QEvent enter(QEvent::Enter), leave(QEvent::Leave), other(QEvent::MouseMove);
    ui().mainController->setTabEnabled(1, true);
    ui().mainController->setCurrentIndex(1);
    EXPECT_TRUE(QCoreApplication::sendEvent(ui().helpIcon, &enter));
    EXPECT_TRUE(ui().helpLabel->isVisible());
    EXPECT_FALSE(ui().viewportFrame->isVisible());
    // The picture once, in the middle; around it the plain ground, no repeated or cut copy.
    const QImage shown = ui().helpLabel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize picture = QImage(orovista::state().pluginsPathNative + "/orovistaData/resources/balloon.png").size();
    ASSERT_FALSE(picture.isEmpty());
    const QPoint corner((shown.width() - picture.width()) / 2, (shown.height() - picture.height()) / 2);
    const QRgb ground = qRgb(28, 28, 30);
    for (const QPoint p : {QPoint(shown.width() - 2, shown.height() / 2), QPoint(shown.width() / 2, shown.height() - 2),
                           QPoint(shown.width() / 2, 1), QPoint(1, shown.height() / 2)})
        if (!QRect(corner, picture).contains(p)) {
            EXPECT_EQ(shown.pixel(p), ground) << p.x() << "," << p.y();
        }
    EXPECT_NE(shown.pixel(corner + QPoint(400, 40)), ground) << "the title band's line is drawn where the picture is";
    EXPECT_TRUE(QCoreApplication::sendEvent(ui().helpIcon, &leave));
    EXPECT_FALSE(ui().helpLabel->isVisible());
    EXPECT_TRUE(ui().viewportFrame->isVisible());
    EXPECT_FALSE(orovista::statics().helpFilter->eventFilter(ui().helpIcon, &other));
}

TEST_F(Tabs, PopulateOnASmallDesktopLiftsTheBottomRow)
{
    TearDown();
    PluginFixture::SetUp();
    orovista::screen::setDesktopSizeOverride(QSize(1280, 1024));
    action->executeAction();
    ui().mainController->setTabEnabled(1, true);
    ui().mainController->setCurrentIndex(1);
    EXPECT_EQ(action->mainFrame->geometry(), QRect(0, 0, 1198, 798));
    EXPECT_EQ(ui().populateTab->size(), QSize(1158, 731));
    EXPECT_EQ(ui().statusLine->pos(), QPoint(1, 777));
    EXPECT_EQ(ui().quitButton->pos(), QPoint(1128, 779));
    EXPECT_EQ(ui().helpIcon->pos(), QPoint(982, 779));
    ui().mainController->setCurrentIndex(0);
    EXPECT_EQ(action->mainFrame->geometry(), QRect(0, 0, 1198, 998));
    EXPECT_EQ(ui().statusLine->pos(), QPoint(1, 977));
    EXPECT_EQ(ui().quitButton->pos(), QPoint(1128, 979));
}

// A control is only of use if a click on it reaches it: no other frame may lie over it.
TEST_F(Tabs, EveryPopulateControlTakesTheClicksOnIt)
{
    ui().mainController->setTabEnabled(1, true);
    ui().mainController->setCurrentIndex(1);
    QWidget *page = ui().populateTab;
    auto reached = [page](QWidget *w) {
        QWidget *hit = page->childAt(w->mapTo(page, w->rect().center()));
        return hit && (hit == w || w->isAncestorOf(hit));
    };
    for (QPushButton *mode : {ui().glPaintButton.data(), ui().glTerrainButton.data(), ui().glSkyButton.data()}) {
        mode->click();
        SCOPED_TRACE(mode->objectName().toStdString());
        int checked = 0;
        for (QWidget *w : page->findChildren<QWidget *>()) {
            if (!w->isVisible() || !(qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractButton *>(w)
                                     || qobject_cast<QSlider *>(w)))
                continue;
            ++checked;
            EXPECT_TRUE(reached(w)) << w->objectName().toStdString() << " is covered";
        }
        EXPECT_GE(checked, 15);
    }
}

TEST_F(Tabs, ModeButtonsFollowTheModeTable)
{
    ui().mainController->setTabEnabled(1, true);
    ui().mainController->setCurrentIndex(1);
    QSlider *perp = ui().glPerpVsNormalSlider;
    GLTerrain *gl = ui().glTerrain;

    // Start-up selects terrain mode.
    EXPECT_EQ(orovista::state().glMode, 3);
    EXPECT_TRUE(ui().glTerrainButton->styleSheet().contains("rgba(71,120,247,255)"));
    EXPECT_TRUE(ui().glPaintButton->styleSheet().contains("rgba(50,50,50,255)"));

    ui().glSkyButton->click();
    EXPECT_EQ(gl->mode(), 4);
    EXPECT_TRUE(ui().skyFrame->isVisible());
    EXPECT_FALSE(ui().itemToolsFrame->isVisible());
    EXPECT_FALSE(ui().modifierToolsFrame->isVisible());
    EXPECT_TRUE(ui().glSkyButton->styleSheet().contains("rgba(71,120,247,255)"));
    EXPECT_TRUE(ui().glTerrainButton->styleSheet().contains("rgba(50,50,50,255)"));

    ui().editTransformFrame->show();
    ui().glEditButton->click();
    EXPECT_EQ(orovista::state().glMode, 2);
    EXPECT_TRUE(ui().editTransformFrame->isVisible()) << "edit mode leaves the transform frame alone";
    EXPECT_FALSE(ui().skyFrame->isVisible());
    EXPECT_TRUE(ui().itemToolsFrame->isVisible());

    perp->setValue(50);
    ui().glPaintButton->click();
    EXPECT_EQ(gl->mode(), 1);
    EXPECT_FALSE(ui().editTransformFrame->isVisible());
    EXPECT_EQ(gl->selectedItem(), -1);
    EXPECT_EQ(perp->value(), 50);

    ui().glTerrainButton->click();
    EXPECT_EQ(gl->mode(), 3);
    EXPECT_EQ(perp->value(), perp->minimum());
}

TEST_F(Tabs, AutoButtonTogglesItsLook)
{
    EXPECT_TRUE(orovista::state().autoNoiseUpdate);
    EXPECT_EQ(ui().autoButton->styleSheet(), "* { background-color:rgba(255,195,0,255); color:rgba(25,25,25,255)  }");
    ui().autoButton->click();
    EXPECT_FALSE(orovista::state().autoNoiseUpdate);
    EXPECT_EQ(ui().autoButton->styleSheet(), "* { background-color:rgb(95,95,95); color:rgba(255,255,255,255)  }");
    ui().autoButton->click();
    EXPECT_TRUE(orovista::state().autoNoiseUpdate);
}

TEST_F(Tabs, BoundingBoxesSwitchOnAboveAMillionTriangles)
{
    ui().mainController->setTabEnabled(2, true);
    orovista::state().sceneTriangles = 1000000;
    ui().mainController->setCurrentIndex(2);
    EXPECT_FALSE(ui().drawBoxStyle->isChecked());
    ui().mainController->setCurrentIndex(0);
    orovista::state().sceneTriangles = 1000001;
    ui().mainController->setCurrentIndex(2);
    EXPECT_TRUE(ui().drawBoxStyle->isChecked());
}

// The terrain's name is typed as in any text field: a click gives it the keys.
TEST_F(Tabs, TheTerrainNameTakesTheKeysWhenClicked)
{
    ui().mainController->setTabEnabled(2, true);
    ui().mainController->setCurrentIndex(2);
    QLineEdit *name = ui().terrainName;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(name->window()));
    name->window()->activateWindow();
    QTest::mouseClick(name, Qt::LeftButton, {}, QPoint(name->width() - 4, name->height() / 2));
    ASSERT_EQ(name->window()->focusWidget(), name);
    name->selectAll();
    QTest::keyClicks(name->window()->focusWidget(), QStringLiteral("valley 2"));
    EXPECT_EQ(name->text(), QStringLiteral("valley 2"));
}

// Every caption of the CREATE tab is read whole, and keeps clear of the control beside it.
TEST_F(Tabs, CreateCaptionsAreNotCutNorTouchTheirControls)
{
    ui().mainController->setTabEnabled(2, true);
    ui().mainController->setCurrentIndex(2);
    QWidget *frame = ui().terrainName->parentWidget();
    int captions = 0;
    for (QLabel *label : frame->findChildren<QLabel *>(QStringLiteral("createDAZLabel"))) {
        ++captions;
        const QString text = label->text();
        SCOPED_TRACE(text.toStdString());
        const int needed = label->fontMetrics().horizontalAdvance(text.trimmed());
        EXPECT_LE(needed, label->width()) << "cut";
        const QRect words(label->geometry().topLeft(), QSize(needed + 4, label->height()));
        for (QWidget *w : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (w != label && !qobject_cast<QLabel *>(w) && w->isVisible()) {
                EXPECT_FALSE(w->geometry().intersects(words)) << "touches " << w->objectName().toStdString();
            }
    }
    EXPECT_GE(captions, 10);
}

TEST_F(Tabs, NormalMapChoiceShowsItsControls)
{
    ui().mainController->setTabEnabled(2, true);
    ui().mainController->setCurrentIndex(2);
    EXPECT_FALSE(ui().normalMapBumpHeight->isVisible());
    auto *bump = ui().normalMapBumpHeight->parentWidget()->findChild<QLabel *>("normalMapBumpHeightSliderValue");
    ASSERT_NE(bump, nullptr);
    EXPECT_FALSE(bump->isVisible());
    ui().normalMapSize->setCurrentIndex(3);
    EXPECT_TRUE(ui().normalMapBumpHeight->isVisible());
    EXPECT_TRUE(bump->isVisible());
    ui().normalMapBumpHeight->setValue(250);
    EXPECT_EQ(bump->text(), "bump: 250") << "a slider tells its value";
    ui().morphPercentage->setValue(35);
    EXPECT_EQ(ui().morphPercentage->parentWidget()->findChild<QLabel *>("morphPercentageSliderValue")->text(), "35%");
    EXPECT_TRUE(ui().normalMapPreview->isVisible());
    EXPECT_TRUE(ui().normalMapGenerateButton->isVisible());
    ui().normalMapSize->setCurrentIndex(0);
    EXPECT_FALSE(ui().normalMapBumpHeight->isVisible());
    EXPECT_FALSE(ui().normalMapGenerateButton->isVisible());

    EXPECT_FALSE(ui().skyDomeTextureGenerateButton->isVisible());
    ui().skyDomeMapSize->setCurrentIndex(1);
    EXPECT_TRUE(ui().skyDomeTextureGenerateButton->isVisible());
}

TEST_F(Tabs, LibrariesMoveBetweenTheListsAndRefillTheBrowser)
{
    QStringList &folders = orovista::statics().library.folders;
    EXPECT_EQ(folders, QStringList({content + "/A", content + "/B", content + "/C"}));
    EXPECT_EQ(ui().activeLibraries->count(), 3);

    // Nothing selected: nothing happens.
    ui().activeLibraries->setCurrentRow(-1);
    action->discardPoserLibrary();
    EXPECT_EQ(ui().activeLibraries->count(), 3);

    ui().activeLibraries->setCurrentRow(0);
    action->discardPoserLibrary();
    EXPECT_EQ(folders, QStringList({content + "/B", content + "/C"}));
    EXPECT_EQ(ui().disabledLibraries->currentItem()->text(), content + "/A");

    action->addPoserLibrary();
    EXPECT_EQ(folders, QStringList({content + "/B", content + "/C", content + "/A"}));
    EXPECT_EQ(ui().disabledLibraries->count(), 0);
    EXPECT_EQ(ui().activeLibraries->currentRow(), 2);

    ui().vboCheckBox->setChecked(false);
    EXPECT_FALSE(orovista::state().vboSupported);
}

}   // namespace
