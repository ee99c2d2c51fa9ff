// Building the tool window: the window and its frame, the global controls and the six tabs.
#include "plugin/afirstpluginaction.h"

#include "graph/c1.h"
#include "graph/d1.h"
#include "graph/ff.h"
#include "graph/i1.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/screeninfo.h"
#include "plugin/statics.h"
#include "plugin/style.h"

#include <QCoreApplication>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QScrollBar>
#include <QTabWidget>

using namespace orovista;

namespace {

QPushButton *globalButton(QWidget *parent, const QString &text, int x, const QString &sheet)
{
    auto *b = new QPushButton(text, parent);
    b->setGeometry(x, H - 19, 50, 18);
    b->setFocusPolicy(Qt::NoFocus);
    b->setStyle(style::widgetStyle(QStringLiteral("Windows")));
    if (!sheet.isEmpty())
        b->setStyleSheet(sheet);
    return b;
}

QWidget *tabPage(const char *objectName, const QString &sheet)
{
    auto *page = new QWidget;
    page->setObjectName(QString::fromLatin1(objectName));
    page->setStyleSheet(sheet);
    return page;
}

}   // namespace

void DzOrovistaPluginAction::buildMainWindow()
{
    placeWindow();
    buildGlobalControls();
    buildTabs();
    buildWorkButtons();
}

void DzOrovistaPluginAction::placeWindow()
{
    ProgramState &s = state();
    const QSize desktop = screen::desktopSize();
    const int dw = desktop.width();
    const int dh = desktop.height();
    const int usableHeight = std::min(dh - 100, 1000);

    mainWindow->show();
    mainWindow->setWindowTitle(s.versionLabel);
    mainWindow->setMinimumSize(std::min(dw, 1200), usableHeight);
    mainWindow->setMaximumSize(W + 20, 2 * usableHeight);
    mainWindow->move(std::max(0, dw / 2 - W / 2), std::max(0, (dh - 100) / 2 - H / 2));
    QPalette palette = mainWindow->palette();
    palette.setColor(QPalette::Window, QColor(60, 60, 60, 255));
    mainWindow->setPalette(palette);
    mainWindow->setAutoFillBackground(true);
    mainWindow->setWindowModality(Qt::WindowModal);
    s.ui.mainWindow = mainWindow;

    mainFrame = new QFrame;
    mainFrame->setObjectName(QStringLiteral("ecoFrame"));
    mainFrame->setGeometry(0, 0, W, H);
    mainFrame->setStyleSheet(QStringLiteral("QFrame#ecoFrame { \nbackground-color: rgba(40,40,40,255);\n"
                                            "border-width: 1px;\nborder-style: solid;\nborder-color: rgba(128,128,128,255);\n}"));
    s.ui.mainFrame = mainFrame;

    s.windowFitsScreen = !(dw <= W || dh - 100 <= H);
    if (s.windowFitsScreen) {
        mainFrame->setParent(mainWindow);
        return;
    }
    runLog() << "plugin window to be resized\n";
    auto *layout = new QHBoxLayout(mainWindow);
    layout->setObjectName(QStringLiteral("ecoGridLayout"));
    layout->setSpacing(0);
    layout->setContentsMargins(1, 1, 1, 1);
    scrollArea = new QScrollArea(mainWindow);
    scrollArea->setWidget(mainFrame);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setFrameStyle(QFrame::NoFrame);
    if (s.platformName != QLatin1String("Windows"))
        scrollArea->setStyle(style::widgetStyle(QStringLiteral("Fusion")));
    connect(scrollArea->verticalScrollBar(), &QScrollBar::sliderReleased, this,
            &DzOrovistaPluginAction::m_focusTerrainGL);
    layout->addWidget(scrollArea);
    scrollArea->show();
}

void DzOrovistaPluginAction::buildGlobalControls()
{
    ProgramState &s = state();
    auto *status = new QLabel(mainFrame);
    status->setGeometry(1, H - 21, 828, 20);
    status->setStyleSheet(style::statusLine());
    status->setStyle(style::widgetStyle(QStringLiteral("Windows")));
    s.ui.statusLine = status;

    auto *triangles = new QLabel(mainFrame);
    triangles->setGeometry(828, H - 21, 140, 20);
    triangles->setStyleSheet(style::statusLine());
    triangles->hide();
    s.ui.triangleLabel = triangles;

    s.ui.autoButton = globalButton(mainFrame, QStringLiteral("AUTO"), W - 190, style::autoButton(s.autoNoiseUpdate));
    s.ui.autoButton->setToolTip(QStringLiteral("Set automatic noise updates ON or OFF"));
    s.ui.autoButton->hide();   // shown once the window is ready
    connect(s.ui.autoButton, &QPushButton::clicked, this, &DzOrovistaPluginAction::setAutoNoiseMode);

    s.ui.resetButton = globalButton(mainFrame, QStringLiteral("RESET"), W - 130,
                                    QStringLiteral("* { background-color:rgb(77,116,255); color:rgba(200,200,200,255)  }"));
    s.ui.resetButton->hide();
    connect(s.ui.resetButton, &QPushButton::clicked, this, &DzOrovistaPluginAction::resetOrovista);

    s.ui.quitButton = globalButton(mainFrame, QStringLiteral("QUIT"), W - 70,
                                   QStringLiteral("* { background-color:rgb(165,26,28); color:rgba(200,200,200,255)  }"));
    connect(s.ui.quitButton, &QPushButton::clicked, this, &DzOrovistaPluginAction::quitOrovista);
}

void DzOrovistaPluginAction::buildTabs()
{
    ProgramState &s = state();
    auto *tabs = new QTabWidget(mainFrame);
    tabs->setObjectName(QStringLiteral("mainController"));
    tabs->setGeometry(20, 10, W - 40, H - 35);
    tabs->setTabShape(QTabWidget::Rounded);
    tabs->setFocusPolicy(Qt::NoFocus);
    QFont font(QStringLiteral("Helvetica"), s.platformName == QLatin1String("Windows") ? 11 : 14, QFont::Bold);
    tabs->setFont(font);
    s.ui.mainController = tabs;

    const QString resources = resourcePath + QStringLiteral("/resources/");
    s.ui.terrainTab = tabPage("terrainTab", style::backgroundImage(QStringLiteral("QWidget"), QStringLiteral("terrainTab"),
                                                                   resources + QStringLiteral("bg.jpg")));
    s.ui.populateTab = tabPage("populateTab", style::tabPage(QStringLiteral("populateTab")));
    s.ui.genesisTab = tabPage("genesisTab", style::tabPage(QStringLiteral("genesisTab")));
    s.ui.presetsTab = tabPage("presetsTab", style::tabPage(QStringLiteral("presetsTab")));
    s.ui.setupTab = tabPage("setupTab", style::tabPage(QStringLiteral("setupTab")));
    s.ui.aboutTab = tabPage("aboutTab", style::tabPage(QStringLiteral("aboutTab")));
    for (QWidget *page : {s.ui.terrainTab.data(), s.ui.populateTab.data(), s.ui.genesisTab.data(),
                          s.ui.presetsTab.data(), s.ui.setupTab.data(), s.ui.aboutTab.data()})
        tabs->addTab(page, QString());

    auto *help = new QLabel(mainFrame);
    help->setObjectName(QStringLiteral("triggerPopulateHelpLabel"));
    help->setGeometry(W - 216, H - 19, 1, 1);
    help->setStyleSheet(style::backgroundImage(QStringLiteral("QLabel"), QStringLiteral("triggerPopulateHelpLabel"),
                                               resources + QStringLiteral("help.png")));
    help->installEventFilter(statics().helpFilter.get());
    s.ui.helpIcon = help;

    buildTerraformTab(s.ui.terrainTab);
    buildCreateTab(s.ui.genesisTab);
    buildSetupTab(s.ui.setupTab);
    buildAboutTab(s.ui.aboutTab);
}

void DzOrovistaPluginAction::buildTerraformTab(QWidget *page)
{
    ProgramState &s = state();
    auto *busy = new QLabel(page);
    busy->setGeometry(365, 360, 400, 160);
    busy->setAlignment(Qt::AlignCenter);
    busy->setStyleSheet(style::busyOverlay());
    busy->hide();
    s.ui.busyOverlay = busy;
    // A run in progress stops at its next progress point when asked, by this button or by Esc.
    auto *cancel = new QPushButton(QStringLiteral("cancel"), busy);
    cancel->setObjectName(QStringLiteral("cancelRunButton"));
    cancel->setGeometry(400 - 70, 160 - 28, 60, 20);
    cancel->setFocusPolicy(Qt::NoFocus);
    cancel->setToolTip(QStringLiteral("Stop this run or read: the maps and the terrain stay as they were (Esc)"));
    cancel->setStyleSheet(style::actionButton(false) + QStringLiteral("* { padding:0px; font-size:12px; }"));
    connect(cancel, &QPushButton::clicked, this, [] { state().cancelRequested = true; });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), mainWindow);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [] {
        if (state().noiseRunning || state().terrainReading)
            state().cancelRequested = true;
    });

    auto *frame = new QFrame(page);
    frame->setObjectName(QStringLiteral("customControlsFrame"));
    frame->setGeometry(10, 807, 188, 98);
    frame->setStyleSheet(QStringLiteral("QFrame#customControlsFrame { \nbackground-color: rgba(40,40,40,255);\n"
                                        "border-width: 1px;\nborder-style: solid;\nborder-color: rgba(128,128,128,255);\n}"));
    auto button = [frame](const char *name, const QString &text, int y) {
        auto *b = new QPushButton(text, frame);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(20, y, 150, 24);
        b->setStyleSheet(style::actionButton());
        b->setStyle(style::widgetStyle(QStringLiteral("Fusion")));
        return b;
    };
    connect(button("loadTerrainObjButton", QStringLiteral("LOAD .OBJ"), 18), &QPushButton::clicked, this,
            &DzOrovistaPluginAction::loadCustomTerrain);
    connect(button("savePresetButton", QStringLiteral("SAVE PRESET"), 60), &QPushButton::clicked, this,
            &DzOrovistaPluginAction::savePreset);
}

void DzOrovistaPluginAction::buildAboutTab(QWidget *page)
{
    auto *logo = new QLabel(page);
    logo->setObjectName(QStringLiteral("aboutLogoLabel"));
    logo->setPixmap(QPixmap(pluginsPath() + QStringLiteral("/orovistaData/resources/logo.png")));
    logo->setAlignment(Qt::AlignCenter);
    logo->setGeometry(0, 0, W - 40, H - 120);
}

void DzOrovistaPluginAction::buildNodePanels()
{
    Statics &o = statics();
    ProgramState &s = state();
    QWidget *page = s.ui.terrainTab;
    o.input1.buildPanel(page);
    o.input2.buildPanel(page);
    o.deformer1.buildPanel(page);
    o.deformer2.buildPanel(page);
    o.combiner.buildPanel(page);
    o.finalNode.buildPanel(page, resourcePath + QStringLiteral("/resources/gradients"));
    o.input1.connectPanel();
    o.input2.connectPanel();
    o.deformer1.connectPanel();
    o.deformer2.connectPanel();
    o.combiner.connectPanel();
    o.finalNode.connectPanel();

    QTabWidget *tabs = s.ui.mainController;
    const char *titles[] = {"TERRAFORM", "POPULATE", "CREATE", "PRESETS", "SETUP", "ABOUT"};
    for (int i = 0; i < 6; ++i)
        tabs->setTabText(i, QCoreApplication::translate("ecoFrame", titles[i]));
    tabs->setStyleSheet(style::tabBar());
    tabs->setStyle(style::widgetStyle(QStringLiteral("Windows")));
    mainWindow->setWindowTitle(s.versionLabel);

    auto place = [](QTabWidget *panel, int x, int y, const char *title) {
        panel->move(x, y);
        if (title)
            panel->setTabText(0, QString::fromLatin1(title));
    };
    place(o.input1.panel(), 10, 440, "INPUT 1");
    place(o.input2.panel(), 960, 440, "INPUT 2");
    place(o.deformer1.panel(), 10, 125, "DEFORMER 1");
    place(o.deformer2.panel(), 960, 125, "DEFORMER 2");
    place(o.combiner.panel(), 325, 10, "COMBINER");
    place(o.finalNode.panel(), 210, 125, nullptr);
}

void DzOrovistaPluginAction::buildTerraformButton()
{
    ProgramState &s = state();
    auto *b = new QPushButton(QStringLiteral("TERRAFORM !"), s.ui.terrainTab);
    b->setObjectName(QStringLiteral("terraformButton"));
    b->setGeometry(993, 873, 120, 24);
    b->setStyleSheet(style::actionButton());
    b->setEnabled(false);
    connect(b, &QPushButton::released, this, &DzOrovistaPluginAction::generatePreviewTerrain);
    s.ui.terraformButton = b;
}
