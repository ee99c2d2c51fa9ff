// The CREATE tab (how the terrain becomes host scene objects) and the SETUP tab (prop library
// folders, vertex buffers).
#include "plugin/afirstpluginaction.h"

#include "dzcontentmgr.h"
#include "library/mylibrary.h"
#include "plugin/programstate.h"
#include "plugin/statics.h"
#include "plugin/style.h"
#include "terrain/normalmap.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

using namespace orovista;

namespace {

QLabel *styledLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setStyleSheet(style::label(l->objectName()));
    l->setGeometry(geometry);
    return l;
}

template <class Widget>
Widget *named(Widget *w, const char *name, const QRect &geometry)
{
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    w->setFocusPolicy(Qt::NoFocus);
    return w;
}

QComboBox *combo(QWidget *parent, const char *name, const QStringList &items, const QRect &geometry)
{
    auto *c = named(new QComboBox(parent), name, geometry);
    c->addItems(items);
    return c;
}

QPushButton *smallButton(QWidget *parent, const char *name, const QString &text, const QString &tip, const QRect &r)
{
    auto *b = named(new QPushButton(text, parent), name, r);
    b->setToolTip(tip);
    b->setStyleSheet(style::smallPushButton(b->objectName()));
    return b;
}

/// A label that shows @a slider's value as @a format makes it, kept up to date.
QLabel *sliderValue(QSlider *slider, const QRect &geometry, QString (*format)(int))
{
    auto *l = new QLabel(format(slider->value()), slider->parentWidget());
    l->setObjectName(slider->objectName() + QStringLiteral("Value"));
    l->setStyleSheet(style::label(l->objectName()));
    l->setGeometry(geometry);
    QObject::connect(slider, &QSlider::valueChanged, l, [l, format](int v) { l->setText(format(v)); });
    return l;
}

QListWidget *libraryList(QWidget *parent, const QRect &geometry)
{
    auto *list = new QListWidget(parent);
    list->setGeometry(geometry);
    list->setStyleSheet(QStringLiteral("border-width: 1px; border-style: solid; border-color: rgb(128,128,128); "
                                       "background-color:rgba(80,80,80,255); color:#ffffff;"));
    list->setStyle(style::widgetStyle(QStringLiteral("Fusion")));
    return list;
}

}   // namespace

void DzOrovistaPluginAction::buildCreateTab(QWidget *page)
{
    WindowWidgets &ui = state().ui;
    auto *f = new QFrame(page);
    f->setGeometry(400, 140, 700, 700);
    const char *labels[] = {"Enable terrain SubD: ", "Terrain texture size: ", "Terrain group name: ",
                            "bounding boxes: ", "add skydome: ", "morph percentage: ", "normal map: "};
    for (int i = 0; i < 7; ++i)
        styledLabel(f, "createDAZLabel", QString::fromLatin1(labels[i]), QRect(0, i * 30, 185, 20));

    ui.enableSubDivision = named(new QCheckBox(f), "enableDAZTerrainSubDivisionCheckBox", QRect(190, 0, 200, 20));
    ui.enableSubDivision->setToolTip(
        QStringLiteral("enable high resolution subdivision levels for OROVISTA-generated terrains in Studio"));
    ui.textureSize = combo(f, "createDAZTerrainTextureSizeComboBox", {"512", "1024", "2048", "4096", "8192", "16384"},
                           QRect(190, 30, 100, 20));
    ui.terrainName = named(new QLineEdit(QStringLiteral("my Terrain 1"), f), "createDAZTerrainNameLineEdit",
                           QRect(190, 60, 200, 20));
    ui.terrainName->setFocusPolicy(Qt::StrongFocus);   // typed into: it takes the keys when clicked
    ui.drawBoxStyle = named(new QCheckBox(f), "createDAZTerrainDrawBoxStyleCheckBox", QRect(190, 90, 200, 20));
    ui.drawBoxStyle->setToolTip(QStringLiteral("set the Studio view's draw style to \"Solid Bounding Boxes\""));

    ui.skyDomeMapSize = combo(f, "skyDomeMapSizeComboBox", {"no thanks", "4096", "8192", "16384"},
                              QRect(190, 120, 100, 20));
    connect(ui.skyDomeMapSize, &QComboBox::currentTextChanged, this, &DzOrovistaPluginAction::setSkydomeControls);
    ui.skyDomeTextureGenerateButton = smallButton(f, "skyDomeTextureGenerateButton", QStringLiteral("regen sky texture"),
                                                  QStringLiteral("Regenerate only the sky dome map"),
                                                  QRect(310, 118, 128, 24));
    ui.skyDomeTextureGenerateButton->hide();
    connect(ui.skyDomeTextureGenerateButton, &QPushButton::released, this,
            &DzOrovistaPluginAction::regenerateSkyDomeTexture);

    ui.morphPercentage = named(new QSlider(Qt::Horizontal, f), "morphPercentageSlider", QRect(190, 153, 100, 15));
    ui.morphPercentage->setRange(0, 100);
    ui.morphPercentage->setValue(0);
    ui.morphPercentage->setPageStep(5);
    ui.morphPercentage->setSingleStep(1);
    ui.morphPercentage->setTracking(true);
    ui.morphPercentage->setStyleSheet(style::horizontalSlider(true));
    sliderValue(ui.morphPercentage, QRect(300, 150, 60, 20), [](int v) { return QString::number(v) + QLatin1Char('%'); });

    ui.normalMapSize = combo(f, "normalMapSizeComboBox", {"no thanks", "512", "1024", "2048", "4096", "8192", "16384"},
                             QRect(190, 180, 100, 20));
    connect(ui.normalMapSize, &QComboBox::currentTextChanged, this,
            qOverload<const QString &>(&DzOrovistaPluginAction::setNormalMapControls));
    ui.normalMapBumpHeight = named(new QSlider(Qt::Horizontal, f), "normalMapBumpHeightSlider", QRect(310, 183, 100, 15));
    ui.normalMapBumpHeight->setRange(10, 5000);
    ui.normalMapBumpHeight->setValue(1000);
    ui.normalMapBumpHeight->setPageStep(10);
    ui.normalMapBumpHeight->setSingleStep(10);
    ui.normalMapBumpHeight->setTracking(true);
    ui.normalMapBumpHeight->setStyleSheet(style::horizontalSlider(true));
    sliderValue(ui.normalMapBumpHeight, QRect(310, 200, 110, 20),
                [](int v) { return QStringLiteral("bump: ") + QString::number(v); })
        ->setToolTip(QStringLiteral("the normal map's bump height (as --bump on the command line)"));
    connect(ui.normalMapBumpHeight, &QSlider::sliderReleased, this,
            qOverload<>(&DzOrovistaPluginAction::generateFinalNormalMap));
    ui.normalMapPreview = named(new QLabel(f), "normalMapPreviewLabel", QRect(430, 183, 128, 128));
    ui.normalMapPreview->setAlignment(Qt::AlignCenter);
    ui.normalMapPreview->setStyleSheet(
        QStringLiteral("* { background-color: rgba(128,127,255,255); border: 1px solid rgba(45,45,45,255); }"));
    ui.normalMapGenerateButton = smallButton(f, "normalMapGenerateButton", QStringLiteral("regen normal map"),
                                             QStringLiteral("Regenerate only the normal map"), QRect(430, 321, 128, 24));
    connect(ui.normalMapGenerateButton, &QPushButton::released, this,
            &DzOrovistaPluginAction::generateFinalNormalCustomSize);

    // The terrain for other programs: heightmaps, an engine's heightmap with its import values,
    // and the painted props as a list, all taken from the terrain as sculpted.
    styledLabel(f, "createDAZLabel", QStringLiteral("heightmaps: "), QRect(0, 210, 185, 20));
    ui.heightmapFormat = combo(f, "heightmapFormatComboBox",
                               {"no thanks", "PNG 16-bit", "RAW 16-bit", "OpenEXR float", "all three"},
                               QRect(190, 210, 120, 20));
    ui.heightmapFormat->setToolTip(QStringLiteral("the terrain's heights as NAME_height.png / .r16 / .exr with a .json "
                                                  "that says what the values stand for;\nafter sediment erosion also "
                                                  "where the water ran, wore and laid down:\nNAME_erosion_flow, _wear "
                                                  "and _deposit (.exr and .png)"));
    ui.heightmapSize = named(new QSpinBox(f), "heightmapSizeSpinBox", QRect(320, 210, 80, 20));
    ui.heightmapSize->setRange(2, 16384);
    ui.heightmapSize->setValue(1025);
    ui.heightmapSize->setToolTip(QStringLiteral("samples along a side of the heightmaps"));
    ui.heightmapSize->setFocusPolicy(Qt::StrongFocus);
    styledLabel(f, "createDAZLabel", QStringLiteral("game engine: "), QRect(0, 240, 185, 20));
    ui.engineChoice = combo(f, "engineComboBox", {"no thanks", "Unity", "Unreal"}, QRect(190, 240, 120, 20));
    ui.engineChoice->setToolTip(QStringLiteral("the engine's heightmap (Unity .raw, Unreal .png and .r16) and its "
                                               "import values in a .json, at the engine's size for the texture size"));
    styledLabel(f, "createDAZLabel", QStringLiteral("prop instance list: "), QRect(0, 270, 185, 20));
    ui.instanceList = named(new QCheckBox(f), "instanceListCheckBox", QRect(190, 270, 20, 20));
    ui.instanceList->setToolTip(QStringLiteral("the painted props as NAME_instances.json: prop, position in metres, "
                                               "rotation and scale of each"));

    ui.createSceneButton = named(new QPushButton(QStringLiteral("CREATE Studio SCENE !"), f), "createDAZTerrainButton",
                                 QRect(80, 390, 200, 40));
    ui.createSceneButton->setStyleSheet(style::actionButton());
    connect(ui.createSceneButton, &QPushButton::released, this, &DzOrovistaPluginAction::createDAZScene);

    ui.holdOnLabel = named(new QLabel(QStringLiteral("Studio scene being generated, please wait..."), f),
                           "createDAZHoldOnLabel", QRect(0, 470, 750, 80));
    ui.holdOnLabel->setStyleSheet(QStringLiteral("* { color: rgba(255,255,255,255); font-size:16px; }"));
    ui.holdOnGifLabel = named(new QLabel(f), "createDAZHoldOnGifLabel", QRect(140, 560, 64, 64));
    auto *wait = new QMovie(pluginsPath() + QStringLiteral("/orovistaData/resources/wait.gif"), QByteArray(),
                            ui.holdOnGifLabel);
    ui.holdOnGifLabel->setMovie(wait);
    ui.holdOnGifLabel->hide();
}

void DzOrovistaPluginAction::buildSetupTab(QWidget *page)
{
    ProgramState &s = state();
    WindowWidgets &ui = s.ui;
    auto *f = new QFrame(page);
    f->setGeometry(20, 10, 700, 700);
    styledLabel(f, "activeLibrariesLabel", QStringLiteral(" active libraries"), QRect(0, 0, 200, 20));
    styledLabel(f, "disabledLibrariesLabel", QStringLiteral(" disabled libraries"), QRect(360, 0, 200, 20));
    ui.activeLibraries = libraryList(f, QRect(0, 22, 300, 400));
    ui.activeLibraries->setObjectName(QStringLiteral("activeLibrariesList"));
    ui.disabledLibraries = libraryList(f, QRect(360, 22, 300, 400));
    ui.disabledLibraries->setObjectName(QStringLiteral("disabledLibrariesList"));
    if (DzContentMgr *content = s.contentManager)
        for (int i = 0; i < content->getNumPoserDirectories(); ++i)
            ui.activeLibraries->addItem(content->getPoserDirectory(i));

    auto arrow = [f](const QString &text, const QString &tip, int y) {
        auto *b = new QPushButton(text, f);
        b->setGeometry(310, y, 40, 16);
        b->setToolTip(tip);
        b->setStyleSheet(style::actionButton(false));
        return b;
    };
    connect(arrow(QStringLiteral(">>>"), QStringLiteral("discard selected library"), 170), &QPushButton::released, this,
            &DzOrovistaPluginAction::discardPoserLibrary);
    connect(arrow(QStringLiteral("<<<"), QStringLiteral("include selected library"), 240), &QPushButton::released, this,
            &DzOrovistaPluginAction::addPoserLibrary);

    auto *vbo = new QFrame(page);
    vbo->setObjectName(QStringLiteral("vboFrame"));
    vbo->setGeometry(765, 35, 235, 30);
    styledLabel(vbo, "vboLabel", QStringLiteral("use Vertex Buffer Objects: "), QRect(0, 5, 205, 20));
    ui.vboCheckBox = new QCheckBox(vbo);
    ui.vboCheckBox->setObjectName(QStringLiteral("vboCheckBox"));
    ui.vboCheckBox->setGeometry(210, 5, 20, 20);
    connect(ui.vboCheckBox, &QCheckBox::stateChanged, this, &DzOrovistaPluginAction::setVBOState);
}

void DzOrovistaPluginAction::setSkydomeControls(const QString &)
{
    WindowWidgets &ui = state().ui;
    if (ui.skyDomeTextureGenerateButton && ui.skyDomeMapSize)
        ui.skyDomeTextureGenerateButton->setVisible(ui.skyDomeMapSize->currentIndex() > 0);
}

void DzOrovistaPluginAction::setNormalMapControls()
{
    WindowWidgets &ui = state().ui;
    if (!ui.normalMapSize)
        return;
    const bool on = normalMapControlsVisible(ui.normalMapSize->currentIndex());
    ui.normalMapBumpHeight->setVisible(on);
    if (auto *value = ui.normalMapBumpHeight->parentWidget()->findChild<QLabel *>(QStringLiteral("normalMapBumpHeightSliderValue")))
        value->setVisible(on);
    ui.normalMapPreview->setVisible(on);
    ui.normalMapGenerateButton->setVisible(on);
}

void DzOrovistaPluginAction::setNormalMapControls(const QString &)
{
    setNormalMapControls();
    if (state().ui.normalMapSize->currentIndex() > 0)
        generateFinalNormalMap(false, false);
}

void DzOrovistaPluginAction::moveLibrary(QListWidget *from, QListWidget *to)
{
    QListWidgetItem *item = from ? from->currentItem() : nullptr;
    if (!item || !to)
        return;
    to->addItem(item->clone());
    to->setCurrentRow(to->count() - 1);
    delete from->takeItem(from->row(item));
    refillPropLibraryFolders();
}

void DzOrovistaPluginAction::discardPoserLibrary()
{
    moveLibrary(state().ui.activeLibraries, state().ui.disabledLibraries);
}

void DzOrovistaPluginAction::addPoserLibrary()
{
    moveLibrary(state().ui.disabledLibraries, state().ui.activeLibraries);
}

void DzOrovistaPluginAction::refillPropLibraryFolders()
{
    statics().library.setFolders(activeLibraryFolders());
}

void DzOrovistaPluginAction::setVBOState(int checkState) { state().vboSupported = checkState != 0; }
