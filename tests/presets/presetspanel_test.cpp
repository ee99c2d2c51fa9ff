// The PRESETS tab and saving and loading presets in the window.
#include "plugin/pluginfixture.h"

#include "graph/ff.h"
#include "graph/nodesettings.h"
#include "plugin/statics.h"
#include "presets/presetfile.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSlider>
#include <QToolButton>

namespace {

using namespace orovista;

/// The window with a plug-ins folder of its own: the real resources, and a native presets folder
/// the test fills.
class PresetsPanel : public PluginFixture {
protected:
    void SetUp() override
    {
        PluginFixture::SetUp();
        plugins = home.path() + "/plugins";
        QDir().mkpath(plugins + "/orovistaData/presets");
        QFile::link(QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/resources"), plugins + "/orovistaData/resources");
        QFile::link(QStringLiteral(OROVISTA_PLUGINS_DIR "/orovistaData/library"), plugins + "/orovistaData/library");
        dzApp->setPluginsPath(plugins);
        action = std::make_unique<DzOrovistaPluginAction>();
    }

    void addNativePresets(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(presets::save(plugins + "/orovistaData/presets", QString("native %1").arg(i), NoiseSettings{}));
    }

    QList<QToolButton *> buttons() const
    {
        QList<QToolButton *> found;
        if (auto *frame = orovista::state().ui.presetsTab->findChild<QWidget *>("presetsFrame"))
            found = frame->findChildren<QToolButton *>();
        return found;
    }
    QToolButton *button(const QString &objectName) const
    {
        for (QToolButton *b : buttons())
            if (b->objectName() == objectName)
                return b;
        return nullptr;
    }
    void answerText(const QString &text)
    {
        orovista::dialogs::setResponder([this, text](const orovista::dialogs::Request &r) {
            asked.push_back(r);
            return r.kind == orovista::dialogs::Request::Text ? text : QString::number(QMessageBox::Ok);
        });
    }
    FF &ff() { return orovista::statics().finalNode; }
    QString userFolder() const { return workFolder() + "/presets/"; }

    QString plugins;
};

TEST_F(PresetsPanel, NativePresetsFirstThenTheUsersSevenToARow)
{
    addNativePresets(8);
    action->executeAction();
    ASSERT_EQ(buttons().size(), 8);
    const QString nativeFolder = plugins + "/orovistaData/presets/";
    QToolButton *eighth = button("__native__" + nativeFolder + "native 7.opf");
    ASSERT_NE(eighth, nullptr);
    EXPECT_EQ(eighth->geometry(), QRect(20, 184, 132, 150)) << "a thumbnail with its name under it";
    EXPECT_EQ(eighth->text(), "native 7");
    EXPECT_EQ(eighth->toolTip(), "native 7: a preset that comes with OROVISTA");
    EXPECT_EQ(button("__native__" + nativeFolder + "native 6.opf")->pos(), QPoint(20 + 156 * 6, 14));

    answerText("mine");
    action->savePreset();
    ASSERT_EQ(buttons().size(), 9) << "the rebuild replaces the earlier buttons";
    QToolButton *mine = button("__user__" + userFolder() + "mine.opf");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->pos(), QPoint(176, 184));
    EXPECT_TRUE(logText().endsWith("preset saved\n"));
    EXPECT_TRUE(QFile::exists(userFolder() + "mine.jpg"));
}

TEST_F(PresetsPanel, ManyPresetsMakeTheFrameTaller)
{
    addNativePresets(100);
    action->executeAction();
    auto *frame = orovista::state().ui.presetsTab->findChild<QWidget *>("presetsFrame");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->width(), 1150);
    EXPECT_GE(frame->height(), 14 + 170 * 14 + 150) << "row 15 fits";
}

TEST_F(PresetsPanel, ANameWithADotShowsTheFallbackIcon)
{
    action->executeAction();
    answerText("v1.2 dunes");
    action->savePreset();
    EXPECT_TRUE(QFile::exists(userFolder() + "v1.2 dunes.opf"));
    QToolButton *b = button("__user__" + userFolder() + "v1.2 dunes.opf");
    ASSERT_NE(b, nullptr);
    const QImage shown = b->icon().pixmap(128, 128).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage fallback = QImage(plugins + "/orovistaData/library/none.jpg").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(fallback.isNull());
    EXPECT_EQ(shown.pixel(64, 64), fallback.scaled(shown.size()).pixel(64, 64));
}

TEST_F(PresetsPanel, SavingRefusesNamesThatLeaveTheFolder)
{
    action->executeAction();
    for (const char *name : {"../escape", "a/b", ".."}) {
        asked.clear();
        answerText(name);
        action->savePreset();
        ASSERT_EQ(asked.size(), 2u) << name;
        EXPECT_EQ(asked[1].title, "Error");
    }
    EXPECT_TRUE(QDir(userFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(workFolder() + "/escape.opf"));
    answerText("");
    action->savePreset();
    EXPECT_TRUE(QDir(userFolder()).entryList(QDir::Files).isEmpty()) << "cancel writes nothing";
}

TEST_F(PresetsPanel, HeightViewSavesTheStoredGradientNames)
{
    action->executeAction();
    ff().FFSetCurrentMapSlider->setValue(0);
    ff().leftGradientName = "alpine.bmp";
    ff().rightGradientName = "desert.bmp";
    ff().FFGradientTypeListViewLeft->setCurrentRow(0);
    answerText("stored");
    action->savePreset();
    NoiseSettings s;
    presets::readFile(userFolder() + "stored.opf", s, {});
    EXPECT_EQ(s.final.leftGradient, "alpine.bmp");
    EXPECT_EQ(s.final.rightGradient, "desert.bmp");
}

TEST_F(PresetsPanel, SaveThenLoadRestoresEveryValue)
{
    action->executeAction();
    NoiseSettings s = readNodeSettings();
    s.input[0].type = int(NoiseType::Perlin);
    s.input[0].octaves = 7;
    s.input[1].type = int(NoiseType::Voronoi);
    s.input[1].frequency = 33;
    s.deformer[0].type = int(DeformerType::Terrace);
    s.deformer[0].terraceProfile = 4;
    s.deformer[1].type = int(DeformerType::ScaleBias);
    s.deformer[1].scaleBiasLow = 14;
    s.combiner.type = int(CombinerType::Blend);
    s.combiner.control.type = int(NoiseType::Billow);
    s.final.noiseSize = 6;
    s.final.startX = -3;
    s.final.turbulencePower = 120;
    s.final.erosionType = int(ErosionType::Hydraulics);
    s.final.erosionIterations = 12;
    s.final.erosionEvaporation = 60;
    orovista::state().suppressNoise = true;
    applyNodeSettings(s);
    orovista::state().suppressNoise = false;
    answerText("round trip");
    action->savePreset();
    const QByteArray saved = presets::write(readNodeSettings());

    orovista::state().suppressNoise = true;
    applyNodeSettings(NoiseSettings{});
    orovista::state().suppressNoise = false;
    asked.clear();
    action->loadPreset(userFolder() + "round trip.opf", 1);
    EXPECT_TRUE(asked.empty()) << "no warning: " << asked.front().text.toStdString();
    EXPECT_EQ(presets::write(readNodeSettings()), saved);
    EXPECT_EQ(ff().FFSetCurrentMapSlider->value(), 1);
    EXPECT_EQ(orovista::state().ui.statusLine->text(), "loaded preset: " + userFolder() + "round trip.opf");
    EXPECT_TRUE(logText().contains("loading preset " + userFolder() + "round trip.opf\n"));
    EXPECT_TRUE(logText().endsWith("noise node 9 generated\n") || logText().endsWith("noise node 6 generated\n"));
}

TEST_F(PresetsPanel, AMissingGradientWarnsOnceAndTakesTheFirstRow)
{
    action->executeAction();
    QFile f(userFolder() + "odd.opf");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("gradient1=alpine.bmp\ngradient2=no such gradient.bmp\nerosionType=2\n");
    f.close();
    asked.clear();
    answer(QMessageBox::Ok);
    action->loadPreset(f.fileName(), 1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "Gradient file not found, defaulting to first one");
    EXPECT_EQ(ff().FFGradientTypeListViewLeft->currentItem()->text(), "alpine.bmp");
    EXPECT_EQ(ff().FFGradientTypeListViewRight->currentRow(), 0);
    EXPECT_EQ(ff().leftGradientName, "alpine.bmp");
    EXPECT_EQ(readNodeSettings().final.erosionType, 2);
}

}   // namespace
