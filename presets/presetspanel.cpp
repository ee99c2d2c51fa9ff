// The PRESETS tab and the window's side of preset files: saving the current graph, loading a preset
// into the node panels, and the grid of thumbnails.
#include "plugin/afirstpluginaction.h"

#include "graph/ff.h"
#include "graph/nodesettings.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "plugin/style.h"
#include "presets/presetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

using namespace orovista;

namespace {

constexpr int columns = 7;
constexpr int rowHeight = 170;   ///< a thumbnail, its name and the gap
const QString nativeMarker = QStringLiteral("__native__");
const QString userMarker = QStringLiteral("__user__");

QString nativePresetFolder() { return state().pluginsPathNative + QStringLiteral("/orovistaData/presets/"); }
QString userPresetFolder() { return state().workFolder + QStringLiteral("/presets/"); }

QStringList presetFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.opf")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

/// The node settings differ from those a preset last gave (the preview's size and map style are
/// views of the settings, not changes to them).
bool nodeSettingsEdited()
{
    const ProgramState &s = state();
    if (!s.settledNodeSettings)
        return false;
    NoiseSettings now = readNodeSettings();
    now.final.previewSize = s.settledNodeSettings->final.previewSize;
    now.final.mapStyle = s.settledNodeSettings->final.mapStyle;
    return now != *s.settledNodeSettings;
}

/// Makes the row of the first item named name current; row 0 and false when there is none.
bool selectGradient(QListWidget *list, const QString &name)
{
    if (!list)
        return true;
    const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
    list->setCurrentRow(found.isEmpty() ? 0 : list->row(found.first()));
    return !found.isEmpty();
}

}   // namespace

void DzOrovistaPluginAction::buildPresetsLibrary()
{
    ProgramState &s = state();
    QWidget *page = s.ui.presetsTab;
    if (!page)
        return;
    // A rebuild starts from an empty panel.
    if (QScrollArea *old = page->findChild<QScrollArea *>(QStringLiteral("presetsScrollArea")))
        delete old;
    auto *layout = qobject_cast<QHBoxLayout *>(page->layout());
    if (!layout) {
        layout = new QHBoxLayout(page);
        layout->setObjectName(QStringLiteral("PresetsGridLayout"));
        layout->setSpacing(6);
        layout->setContentsMargins(9, 9, 9, 9);
    }
    auto *scroll = new QScrollArea(page);
    scroll->setObjectName(QStringLiteral("presetsScrollArea"));
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setFrameStyle(QFrame::NoFrame);
    if (s.platformName != QLatin1String("Windows"))
        scroll->setStyle(style::widgetStyle(QStringLiteral("Fusion")));
    auto *frame = new QFrame;
    frame->setObjectName(QStringLiteral("presetsFrame"));
    frame->setStyleSheet(QStringLiteral("background-color:rgba(95,95,95,255); border: 0px solid rgba(128,128,128,255); "));

    const QString fallback = resourcePathNative + QStringLiteral("/library/none.jpg");
    int k = 0;
    for (const auto &[marker, folder] : {std::pair{nativeMarker, nativePresetFolder()}, std::pair{userMarker, userPresetFolder()}}) {
        for (const QString &entry : presetFiles(folder)) {
            // The thumbnail with the preset's name under it, as `orovista presets` lists it.
            const QString name = QFileInfo(entry).completeBaseName();
            auto *button = new QToolButton(frame);
            button->setGeometry(20 + 156 * (k % columns), 14 + rowHeight * (k / columns), 132, 150);
            ++k;
            const QString thumbnail = folder + entry.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".jpg");
            button->setIcon(QIcon(files::inputProblem(thumbnail).isEmpty() ? thumbnail : fallback));
            button->setIconSize(QSize(128, 128));
            button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
            button->setText(button->fontMetrics().elidedText(name, Qt::ElideMiddle, 128));
            button->setStyleSheet(QStringLiteral("* { \nborder-width: 2px;\nborder-style: solid;\nborder-color: rgba(25,25,25,255);\n"
                                                 "color: rgba(") + style::lightText + QStringLiteral(");\n}"));
            button->setObjectName(marker + folder + entry);
            button->setToolTip(marker == nativeMarker ? name + QStringLiteral(": a preset that comes with OROVISTA")
                                                      : name + QStringLiteral(": your preset, in ") + QDir::toNativeSeparators(folder));
            connect(button, &QToolButton::clicked, this, &DzOrovistaPluginAction::presetItemClicked);
        }
    }
    // The panel grows with the presets instead of cutting rows off.
    const int rows = (k + columns - 1) / columns;
    frame->setFixedSize(1150, std::max(2000, 14 + rowHeight * rows + 14));
    scroll->setWidget(frame);
    layout->addWidget(scroll);
}

void DzOrovistaPluginAction::presetItemClicked()
{
    QString path = sender() ? sender()->objectName() : QString();
    const bool user = path.contains(userMarker);
    path.remove(user ? userMarker : nativeMarker);
    // One click would replace the user's own changes: ask first.
    if (nodeSettingsEdited()
        && !dialogs::confirm(state().ui.mainWindow,
                             QStringLiteral("The node settings were changed and not saved as a preset. Replace them "
                                            "with the preset \"%1\"?")
                                 .arg(QFileInfo(path).completeBaseName())))
        return;
    state().currentPresetPath = path;
    loadPreset(path, user ? 1 : 0);
}

void DzOrovistaPluginAction::loadPreset(const QString &path, int userPreset)
{
    runLog() << "loading preset " << path << "\n";
    QFile file(path);
    // Only a regular file is read: a FIFO or a device would never end.
    const bool readable = files::inputProblem(path).isEmpty() && file.open(QIODevice::ReadOnly);
    applyNodeText(readable ? file.readAll() : QByteArray(), userPreset != 0);
    if (QLabel *status = state().ui.statusLine)
        status->setText(QStringLiteral("loaded preset: ") + path);
}

void DzOrovistaPluginAction::applyNodeText(const QByteArray &text, bool userPreset)
{
    ProgramState &s = state();
    FF &ff = statics().finalNode;
    if (ff.FFSetCurrentMapSlider)
        ff.FFSetCurrentMapSlider->setValue(1);
    s.suppressNoise = true;

    NoiseSettings settings = readNodeSettings();
    const presets::ReadResult read = presets::read(text, settings, {userPreset, nativePresetFolder().chopped(1)});
    applyNodeSettings(settings);
    // Gradients are chosen among the files the lists hold.
    const struct {
        const std::optional<QString> &name;
        QListWidget *list;
        QString &stored;
    } gradients[] = {{read.gradient1, ff.FFGradientTypeListViewLeft, ff.leftGradientName},
                     {read.gradient2, ff.FFGradientTypeListViewRight, ff.rightGradientName}};
    for (const auto &g : gradients) {
        if (!g.name)
            continue;
        if (!selectGradient(g.list, *g.name))
            dialogs::error(s.ui.mainWindow, QStringLiteral("Gradient file not found, defaulting to first one"));
        if (g.list && g.list->currentItem())
            g.stored = g.list->currentItem()->text();
    }
    ff.updateErosionControls();

    s.suppressNoise = false;
    if (s.ui.mainController)
        s.ui.mainController->setCurrentIndex(0);
    s.settledNodeSettings = readNodeSettings();
    generateNoiseMaps(s.terrainCreated, s.previewSize, false);
}

void DzOrovistaPluginAction::savePreset()
{
    ProgramState &s = state();
    FF &ff = statics().finalNode;
    NoiseSettings settings = readNodeSettings();
    const bool heightView = ff.FFSetCurrentMapSlider && ff.FFSetCurrentMapSlider->value() == 0;
    auto listed = [](QListWidget *list, const QString &otherwise) {
        return list && list->currentItem() ? list->currentItem()->text() : otherwise;
    };
    settings.final.leftGradient = heightView ? ff.leftGradientName : listed(ff.FFGradientTypeListViewLeft, ff.leftGradientName);
    settings.final.rightGradient =
        heightView ? ff.rightGradientName : listed(ff.FFGradientTypeListViewRight, ff.rightGradientName);

    const QString name = dialogs::text(s.ui.mainWindow, QStringLiteral("Save preset"), QStringLiteral("type a name for you preset:"));
    if (name.isEmpty())
        return;
    // The name becomes a file name: one that would leave the presets folder is refused.
    if (const QString problem = presets::nameProblem(name); !problem.isEmpty()) {
        dialogs::error(s.ui.mainWindow, problem);
        return;
    }
    // The preset and its thumbnail land together, or neither does.
    const QString folder = userPresetFolder();
    QString error;
    files::Batch batch;
    bool saved = presets::save(folder, name, settings, &error, &batch);
    if (saved && !presets::saveThumbnail(folder, name, s.workFolder + QStringLiteral("/maps/TFFnoisePreview.jpg"), &error,
                                         &batch))
        saved = error.isEmpty();   // no picture to make a thumbnail of: the preset goes without
    if (saved) {
        try {
            batch.commit();
        } catch (const files::WriteError &e) {
            error = e.message();
            saved = false;
        }
    }
    if (!saved) {
        dialogs::error(s.ui.mainWindow, error);
        return;
    }
    s.settledNodeSettings = readNodeSettings();
    if (s.ui.statusLine)
        s.ui.statusLine->setText(QStringLiteral("saved preset: ") + folder + name + QStringLiteral(".opf"));
    runLog() << "preset saved\n";
    buildPresetsLibrary();
}
