// SAVE WORK and OPEN WORK: the window's whole state in a work file (presets/workfile.h) and back.
// Opening rebuilds the terrain from the node settings, puts the saved vertices in place (so the
// sculpting comes back exactly), loads each prop once and places the items as they were, then
// sets the sky, the view and the CREATE tab's choices.
#include "plugin/afirstpluginaction.h"

#include "graph/ff.h"
#include "graph/nodesettings.h"
#include "library/glmdraw.h"
#include "library/mylibrary.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "plugin/style.h"
#include "noise/outputfiles.h"
#include "presets/presetfile.h"
#include "presets/workfile.h"
#include "sky/skymodel.h"
#include "terrain/sculpt.h"
#include "viewport/glterrain.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QTimer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <map>

using namespace orovista;

namespace {

const QString workFilter = QStringLiteral("OROVISTA work (*.orovista)");

/// The CREATE tab's controls a work keeps, by object name.
template <class F>
void forEachCreateControl(F f)
{
    WindowWidgets &ui = state().ui;
    for (QComboBox *c : {ui.textureSize.data(), ui.skyDomeMapSize.data(), ui.normalMapSize.data(),
                         ui.heightmapFormat.data(), ui.engineChoice.data()})
        if (c)
            f(c);
    for (QCheckBox *c : {ui.enableSubDivision.data(), ui.drawBoxStyle.data(), ui.instanceList.data()})
        if (c)
            f(c);
    for (QSlider *c : {ui.morphPercentage.data(), ui.normalMapBumpHeight.data()})
        if (c)
            f(c);
    if (ui.heightmapSize)
        f(ui.heightmapSize.data());
    if (ui.terrainName)
        f(ui.terrainName.data());
}

QSlider *windowSlider(const char *name)
{
    QWidget *w = state().ui.mainWindow;
    return w ? w->findChild<QSlider *>(QString::fromLatin1(name)) : nullptr;
}

const char *const lightSliders[3] = {"glLightPitchSlider", "glLightAzimuthSlider", "glLightIntensitySlider"};

// While a window is open, its work is kept every few seconds in the working folder, and a marker
// says the window is open. A clean close removes both; a marker found at the next opening means
// the studio went down with the window open, and the kept work is offered back.
QString autosavePath() { return state().workFolder + QStringLiteral("/autosave.orovista"); }
QString openMarkerPath() { return state().workFolder + QStringLiteral("/window-open"); }
constexpr int autosaveIntervalMs = 5000;
QByteArray lastAutosaveHash;

}   // namespace

void DzOrovistaPluginAction::buildWorkButtons()
{
    auto button = [this](const char *name, const QString &text, int x, const QString &tip) {
        auto *b = new QPushButton(text, mainFrame);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 16, 100, 24);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet(style::smallPushButton(b->objectName()));
        b->raise();
        return b;
    };
    connect(button("saveWorkButton", QStringLiteral("SAVE WORK"), W - 236,
                   QStringLiteral("keep the whole work in a file: nodes, sculpted terrain, painted items, sky, view")),
            &QPushButton::clicked, this, &DzOrovistaPluginAction::saveWork);
    connect(button("openWorkButton", QStringLiteral("OPEN WORK"), W - 128,
                   QStringLiteral("open a work file saved with SAVE WORK")),
            &QPushButton::clicked, this, &DzOrovistaPluginAction::openWork);
}

work::Work DzOrovistaPluginAction::currentWork(QStringList *notKept)
{
    ProgramState &s = state();
    work::Work w;
    NoiseSettings settings = readNodeSettings();
    w.nodes = presets::write(settings);
    const FinalSettings &f = settings.final;
    w.textureLight = std::array<int, 5> {int(f.lightOn), f.lightContrast, f.lightIntensity, f.lightAzimuth, f.lightElevation};
    if (s.terrainPresent && !s.customTerrain && !s.fullMesh.isEmpty()) {
        w.terrainSize = s.terrainSize;
        w.terrainSizeExponent = settings.final.terrainSizeExponent;
        w.elevationLow = settings.final.elevationLow;
        w.elevationHigh = settings.final.elevationHigh;
        w.grid = s.fullMesh.gridSize;
        w.vertices = s.fullMesh.vertices;
    } else if (s.customTerrain && notKept) {
        *notKept << QStringLiteral("the imported .OBJ terrain (open it again with LOAD .OBJ)");
    }
    const QStringList libraries = activeLibraryFolders();
    int outside = 0;
    // Thousands of items share a few props: each file is looked up in the libraries once.
    QHash<QString, QString> relative;
    for (const PaintedItem &item : s.items) {
        auto found = relative.constFind(item.file);
        if (found == relative.constEnd())
            found = relative.insert(item.file, work::relativeToLibrary(item.file, libraries));
        const QString prop = found.value();
        if (prop.isEmpty()) {
            ++outside;
            continue;
        }
        w.items.push_back({prop, item});
    }
    if (outside > 0 && notKept)
        *notKept << QStringLiteral("%1 items whose prop lies in no active library").arg(outside);
    if (!s.chosenProp.file.isEmpty())
        w.chosenProp = work::relativeToLibrary(s.chosenProp.file, libraries);
    if (GLTerrain *gl = s.ui.glTerrain) {
        for (const sky::SkySliderInfo &info : sky::skySliders())
            w.sky.insert(QString::fromLatin1(info.objectName), sky::sliderValue(gl->sky(), info.slider));
        w.starSeed = gl->starSeed();
        w.camera = std::array<double, 6> {gl->camera.x, gl->camera.y, gl->camera.z, double(gl->camera.yaw),
                                          double(gl->camera.pitch), double(gl->camera.roll)};
    }
    std::array<int, 3> light {};
    bool lightFound = true;
    for (int i = 0; i < 3; ++i) {
        QSlider *slider = windowSlider(lightSliders[i]);
        lightFound = lightFound && slider;
        light[std::size_t(i)] = slider ? slider->value() : 0;
    }
    if (lightFound)
        w.light = light;
    forEachCreateControl([&w](QWidget *c) {
        QVariant value;
        if (auto *combo = qobject_cast<QComboBox *>(c))
            value = combo->currentIndex();
        else if (auto *check = qobject_cast<QCheckBox *>(c))
            value = check->isChecked();
        else if (auto *slider = qobject_cast<QSlider *>(c))
            value = slider->value();
        else if (auto *spin = qobject_cast<QSpinBox *>(c))
            value = spin->value();
        else if (auto *edit = qobject_cast<QLineEdit *>(c))
            value = edit->text();
        w.create.insert(c->objectName(), value);
    });
    return w;
}

void DzOrovistaPluginAction::saveWork()
{
    ProgramState &s = state();
    QString path = dialogs::saveFile(s.ui.mainWindow, QStringLiteral("Save work"), s.workFolder, workFilter);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(work::fileSuffix)))
        path += QLatin1String(work::fileSuffix);
    QStringList notKept;
    const QByteArray bytes = work::write(currentWork(&notKept));
    // Written whole beside the old file and renamed into place: a failure keeps the old work.
    if (const QString error = files::writeFile(path, {QByteArrayView(bytes)}); !error.isEmpty()) {
        dialogs::error(s.ui.mainWindow, QStringLiteral("The work was not saved: ") + error);
        return;
    }
    runLog() << "work saved: " << path << "\n";
    showStatus(QStringLiteral("work saved: ") + path
               + (notKept.isEmpty() ? QString() : QStringLiteral(" (not kept: ") + notKept.join(QStringLiteral("; ")) + QLatin1Char(')')));
}

void DzOrovistaPluginAction::openWork()
{
    ProgramState &s = state();
    const QString path = dialogs::openFile(s.ui.mainWindow, QStringLiteral("Open work"), s.workFolder, workFilter);
    if (path.isEmpty())
        return;
    QString error;
    const std::optional<work::Work> w = work::readFile(path, &error);
    if (!w) {
        dialogs::error(s.ui.mainWindow, QStringLiteral("The work was not opened: ") + error);
        return;
    }
    const QStringList problems = applyWork(*w);
    runLog() << "work opened: " << path << "\n";
    if (!problems.isEmpty())
        dialogs::error(s.ui.mainWindow, QStringLiteral("The work was opened without: ") + problems.join(QStringLiteral("; ")));
    showStatus(QStringLiteral("work opened: ") + path);
}

QStringList DzOrovistaPluginAction::applyWork(const work::Work &w)
{
    ProgramState &s = state();
    QStringList problems;
    GLTerrain *gl = s.ui.glTerrain;
    // A clean start: no items, no prop models, no history.
    if (gl)
        gl->deleteAllObjectsSilent();
    s.importedHeightmap.reset();

    applyNodeText(w.nodes, true);
    {
        // What presets do not keep: the terrain's size and heights, the texture's light.
        NoiseSettings kept = readNodeSettings();
        work::applyKept(w, kept.final);
        applyNodeSettings(kept);
    }
    s.settledNodeSettings = readNodeSettings();

    if (w.terrainSize > 0) {
        if (!buildTerrainFromMachine())
            return problems << QStringLiteral("the terrain (its build was stopped)");
        if (s.fullMesh.gridSize != w.grid || s.fullMesh.vertices.size() != w.vertices.size()) {
            problems << QStringLiteral("the sculpted terrain (a %1 × %1 grid, not %2 × %2)").arg(w.grid).arg(s.fullMesh.gridSize);
        } else {
            s.fullMesh.vertices = w.vertices;
            recomputeTerrainNormals(s.fullMesh);
            refreshDecimatedFromFull(s.fullMesh, s.decimatedMesh);
            if (gl)
                gl->uploadTerrain(s.fullMesh);
        }
    }

    // Each prop once; its items take the model's slot, triangles and bounds.
    const QStringList libraries = activeLibraryFolders();
    myLibrary &library = statics().library;
    struct Loaded { int slot = -1; PropModel model; QString path; };
    std::map<QString, Loaded> props;
    QStringList missing;
    auto load = [&](const QString &prop) -> const Loaded & {
        auto found = props.find(prop);
        if (found == props.end()) {
            Loaded loaded;
            loaded.path = work::resolveInLibraries(prop, libraries);
            QString why;
            if (!loaded.path.isEmpty() && gl)
                loaded.slot = library.loadPropModel(loaded.path, &loaded.model, &why);
            if (loaded.slot < 0)
                missing << prop;
            found = props.emplace(prop, loaded).first;
        }
        return found->second;
    };
    for (const work::Item &item : w.items) {
        const Loaded &loaded = load(item.prop);
        if (loaded.slot < 0)
            continue;
        PaintedItem v = item.values;
        v.file = loaded.path;
        v.modelSlot = loaded.slot;
        v.triangles = loaded.model.triangles;
        v.minX = loaded.model.bounds[0], v.minY = loaded.model.bounds[1], v.minZ = loaded.model.bounds[2];
        v.maxX = loaded.model.bounds[3], v.maxY = loaded.model.bounds[4], v.maxZ = loaded.model.bounds[5];
        s.items.push_back(v);
    }
    // The prop chosen for painting, chosen again (its thumbnail in the view's corner).
    if (!w.chosenProp.isEmpty() && gl)
        if (const Loaded &loaded = load(w.chosenProp); loaded.slot >= 0) {
            library.choose(loaded.path, loaded.slot, loaded.model);
            gl->setThumbnail(QImage(library.thumbnailFor(loaded.path)));
        }
    if (!missing.isEmpty())
        problems << QStringLiteral("the props not found in the active libraries: ") + missing.join(QStringLiteral(", "));

    if (gl) {
        for (const sky::SkySliderInfo &info : sky::skySliders())
            if (QSlider *slider = windowSlider(info.objectName); slider && w.sky.contains(QString::fromLatin1(info.objectName)))
                slider->setValue(w.sky.value(QString::fromLatin1(info.objectName)).toInt());
        if (w.starSeed)
            gl->setStarSeed(*w.starSeed);
        if (w.camera) {
            const auto &c = *w.camera;
            gl->camera = {c[0], c[1], c[2], float(c[3]), float(c[4]), float(c[5])};
        }
    }
    if (w.light)
        for (int i = 0; i < 3; ++i)
            if (QSlider *slider = windowSlider(lightSliders[i]))
                slider->setValue((*w.light)[std::size_t(i)]);
    forEachCreateControl([&w](QWidget *c) {
        if (!w.create.contains(c->objectName()))
            return;
        const QVariant value = w.create.value(c->objectName());
        if (auto *combo = qobject_cast<QComboBox *>(c))
            combo->setCurrentIndex(std::clamp(value.toInt(), 0, combo->count() - 1));
        else if (auto *check = qobject_cast<QCheckBox *>(c))
            check->setChecked(value.toBool());
        else if (auto *slider = qobject_cast<QSlider *>(c))
            slider->setValue(value.toInt());
        else if (auto *spin = qobject_cast<QSpinBox *>(c))
            spin->setValue(value.toInt());
        else if (auto *edit = qobject_cast<QLineEdit *>(c))
            edit->setText(value.toString().left(200));
    });
    updateTriangleLabel();
    if (gl)
        gl->update();
    return problems;
}

void DzOrovistaPluginAction::startAutosave()
{
    ProgramState &s = state();
    const bool leftOpen = QFileInfo::exists(openMarkerPath()) && QFileInfo::exists(autosavePath());
    files::writeFile(openMarkerPath(), {QByteArrayView("OROVISTA window open\n")});
    lastAutosaveHash.clear();
    auto *timer = new QTimer(mainFrame);
    connect(timer, &QTimer::timeout, this, &DzOrovistaPluginAction::autosaveWork);
    timer->start(autosaveIntervalMs);
    if (!leftOpen)
        return;
    const QString kept = QFileInfo(autosavePath()).lastModified().toString(QStringLiteral("d MMM yyyy, HH:mm"));
    // Asked once the window shows.
    QTimer::singleShot(0, this, [this, kept] {
        ProgramState &st = state();
        if (!dialogs::confirm(st.ui.mainWindow, QStringLiteral("OROVISTA was not closed cleanly last time. Restore the work "
                                                               "it kept on %1?")
                                                    .arg(kept))) {
            QFile::remove(autosavePath());
            return;
        }
        QString error;
        const std::optional<work::Work> w = work::readFile(autosavePath(), &error);
        if (!w) {
            dialogs::error(st.ui.mainWindow, QStringLiteral("The kept work could not be restored: ") + error);
            return;
        }
        const QStringList problems = applyWork(*w);
        if (!problems.isEmpty())
            dialogs::error(st.ui.mainWindow, QStringLiteral("The work was restored without: ") + problems.join(QStringLiteral("; ")));
        showStatus(QStringLiteral("work restored from ") + kept);
    });
    (void)s;
}

void DzOrovistaPluginAction::autosaveWork()
{
    ProgramState &s = state();
    // Not in the middle of a run, a read or a stroke.
    if (!s.windowReady || s.noiseRunning || s.terrainReading || s.terrainCreated || !s.terrainPresent
        || (s.ui.glTerrain && s.ui.glTerrain->leftButtonDown))
        return;
    const QByteArray bytes = work::write(currentWork());
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
    if (hash == lastAutosaveHash)
        return;
    if (files::writeFile(autosavePath(), {QByteArrayView(bytes)}).isEmpty())
        lastAutosaveHash = hash;
}

void DzOrovistaPluginAction::stopAutosave()
{
    QFile::remove(autosavePath());
    QFile::remove(openMarkerPath());
    lastAutosaveHash.clear();
}
