// LOAD .OBJ: a terrain mesh of the user's own in place of a generated one. The viewport draws
// it from a display list, painting and picking use the model kept in the program state, and
// scene creation imports the same file.
//
// The same button loads a heightmap or elevation model (terrain/heightmapimport.h). That one is
// no mesh of its own: its heights become the final height map, and from there on it is a
// terrain like a generated one (erosion, colours, normal map, painting, sculpting, the scene),
// until TERRAFORM ! builds from the noise graph again.
//
// Files are read on a thread of their own, so that a large file, a slow disk or a server that
// never answers does not hold the window: the status line and the busy overlay show how far the
// read has come, and the overlay's "cancel" (or Esc) gives the window back at once with the
// terrain, its items and its files as they were. Only what needs the window or the GL context
// (the display list, the noise machine's run over the heights) happens on the GUI thread, after
// the read.
#include "plugin/afirstpluginaction.h"

#include "graph/nodesettings.h"
#include "library/glm.h"
#include "library/glmdraw.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "plugin/windowprogress.h"
#include "terrain/customterrain.h"
#include "terrain/heightmapimport.h"
#include "viewport/glterrain.h"

#include <GL/gl.h>

#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

using namespace orovista;

namespace {
/// The folder of the last OBJ file chosen; the next dialog starts there.
QString lastObjFolder;
/// The viewport whose context holds state().customTerrainList: a window rebuilt by RESET has a
/// new context, where that number may name one of its own lists.
QPointer<GLTerrain> listOwner;

/// The reads still running on their threads. When the program ends they are asked to stop and
/// it waits a little for them; a read held up in the system (a pipe nobody writes to, a server
/// that never answers) is left to the end of the process. Never destroyed: a read that outlives
/// the wait still reports its end here.
class RunningReads {
public:
    void started()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_running;
    }
    void ended()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
        m_ended.notify_all();
    }
    bool closing() const { return m_closing; }
    void closeDown(std::chrono::milliseconds patience)
    {
        m_closing = true;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ended.wait_for(lock, patience, [this] { return m_running == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    int m_running = 0;
    std::atomic<bool> m_closing{false};
};

RunningReads &runningReads()
{
    static auto *reads = new RunningReads;
    return *reads;
}

struct WaitForReadsAtExit {
    ~WaitForReadsAtExit() { runningReads().closeDown(std::chrono::seconds(3)); }
} waitForReadsAtExit;

/// One read of LOAD .OBJ. The reading thread holds a share of the job and touches nothing of the
/// window; the window looks at `finished`, `fraction` and `step` from its event loop and takes
/// the result only when it still wants it. A read the user cancelled is asked to stop and runs
/// on until its reader notices (a reader that does not look runs to its end); what it read goes
/// with its last share.
struct BackgroundRead {
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::atomic<double> fraction{0.0};   ///< of the current step, 0 … 1; 0 while not known
    std::atomic<int> step{0};            ///< which step of the read is under way

    /// The readers' keepGoing: notes how far the read has come and says whether to go on.
    bool keepGoing(double done)
    {
        fraction = done;
        return !stop && !runningReads().closing();
    }
};

/// Runs `work` on a thread of its own (or here, when no thread can be had); `finished` is set
/// once it is done.
void startRead(const std::shared_ptr<BackgroundRead> &job, std::function<void()> work)
{
    runningReads().started();
    auto body = [job](std::function<void()> read) {
        try {
            read();
        } catch (...) {
            // A read that fails in an unforeseen way gives no result, which the window reports.
        }
        read = nullptr;   // the shares of the result go before the window is told
        job->finished = true;
        runningReads().ended();
    };
    try {
        std::thread(body, std::move(work)).detach();
    } catch (const std::system_error &) {
        body(std::move(work));
    }
}

enum class ReadEnd { Finished, Cancelled, WindowGone };

/// Waits in the event loop for the read, showing `doing(step)` and how far it has come on the
/// status line and `panel(step)` on the busy overlay, until it has finished, the user cancelled
/// it (the overlay's "cancel" or Esc) or the window went away (QUIT, RESET, the program ending).
/// The window stays as responsive as during a noise run; a run the user starts meanwhile has
/// the overlay and its cancel while it lasts.
ReadEnd waitForRead(BackgroundRead &job, const std::function<QString(int)> &doing,
                    const std::function<QString(int)> &panel)
{
    ProgramState &s = state();
    const QPointer<QWidget> window = s.ui.mainWindow;
    WindowProgress progress;
    QEventLoop loop;
    QTimer poll;
    bool over = false;
    ReadEnd end = ReadEnd::Finished;
    auto finish = [&](ReadEnd how) {
        end = how;
        over = true;
        loop.quit();
    };
    auto look = [&] {
        if (over)
            return;
        if (!window || s.ui.mainWindow != window)
            return finish(ReadEnd::WindowGone);
        if (s.noiseRunning)
            return;
        if (s.cancelRequested)
            return finish(ReadEnd::Cancelled);
        if (job.finished)
            return finish(ReadEnd::Finished);
        const double done = job.fraction;
        const int step = job.step;
        const QString percent = done > 0.0 ? QStringLiteral("%1 %").arg(int(done * 100.0)) : QString();
        progress.SetStatusText(doing(step) + QStringLiteral(" ...") + (percent.isEmpty() ? QString() : QStringLiteral(" ") + percent));
        progress.SetPanelText(panel(step) + QStringLiteral("\n\n") + percent);
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, look);
    poll.start(40);
    look();
    if (!over)
        loop.exec();
    // The program quitting ends every event loop, this one too.
    if (end == ReadEnd::Finished && !job.finished)
        end = ReadEnd::WindowGone;
    if (end != ReadEnd::Finished)
        job.stop = true;
    if (end != ReadEnd::WindowGone)
        progress.Hide();
    return end;
}

/// LOAD .OBJ while a read runs: the button is off, Esc cancels, and a cancel asked for before
/// the read started does not count.
class ReadingTerrain {
public:
    ReadingTerrain()
    {
        ProgramState &s = state();
        s.terrainReading = true;
        s.cancelRequested = false;
        if (QWidget *window = s.ui.mainWindow)
            m_button = window->findChild<QPushButton *>(QStringLiteral("loadTerrainObjButton"));
        if (m_button)
            m_button->setEnabled(false);
    }
    ~ReadingTerrain()
    {
        ProgramState &s = state();
        s.terrainReading = false;
        s.cancelRequested = false;
        if (m_button)
            m_button->setEnabled(true);
    }

private:
    QPointer<QPushButton> m_button;
};

/// Reads with `work` off the GUI thread (see waitForRead); true when the read finished and
/// the window still wants its result. A cancelled read leaves everything as it was and says so.
bool readOffTheWindow(const std::shared_ptr<BackgroundRead> &job, std::function<void()> work, const QString &path,
                      const std::function<QString(int)> &doing, const std::function<QString(int)> &panel)
{
    const ReadingTerrain reading;
    startRead(job, std::move(work));
    switch (waitForRead(*job, doing, panel)) {
    case ReadEnd::Finished:
        return true;
    case ReadEnd::Cancelled:
        runLog() << "loading " << path << " cancelled\n";
        showStatus(QStringLiteral("loading %1 cancelled: the terrain is as before").arg(QFileInfo(path).fileName()));
        return false;
    case ReadEnd::WindowGone:
        break;
    }
    return false;
}

QString terrainFileFilter()
{
    const QString heightmaps = heightmapFilePatterns();
    return QStringLiteral("Terrains (*.obj %1);;OBJ meshes (*.obj);;Heightmaps and elevation models (%1);;All files (*)")
        .arg(heightmaps);
}

void applyFinalNode(const NoiseSettings &settings)
{
    ProgramState &s = state();
    const bool suppressed = std::exchange(s.suppressNoise, true);
    applyNodeSettings(settings);
    s.suppressNoise = suppressed;
}

/// A heightmap as the terrain: read it, set the final node's terrain size and elevation range to
/// what it holds, and build the terrain as TERRAFORM ! does, from its heights.
void loadHeightmapTerrain(DzOrovistaPluginAction &action, const QString &path)
{
    ProgramState &s = state();
    QWidget *parent = s.ui.mainWindow;
    HeightmapReadOptions read;
    {
        const FinalSettings final = readNodeSettings().final;
        read.terrainSize = final.terrainSize > 0 ? final.terrainSize : 100;
        read.metresAt0 = final.elevationLow;
        read.metresAt65535 = final.elevationHigh;
    }

    // The read, the cut to a square and the resampling for the elevation range happen on the
    // reading thread; the terrain is built from the heights here.
    struct Read : BackgroundRead {
        std::shared_ptr<Heightmap> heights = std::make_shared<Heightmap>();
        std::shared_ptr<ImportedTerrain> terrain = std::make_shared<ImportedTerrain>();
        QString error;
        bool usable = false;
    };
    auto job = std::make_shared<Read>();
    auto work = [job, path, read]() mutable {
        read.keepGoing = [job = job.get()](double done) { return job->keepGoing(done); };
        try {
            job->usable = readHeightmap(path, read, job->heights.get(), &job->error) &&
                          importedTerrain(job->heights, path, job->terrain.get(), &job->error);
        } catch (const std::bad_alloc &) {
            job->error = QStringLiteral("not enough memory for the heightmap %1").arg(path);
        }
    };
    const QString name = QFileInfo(path).fileName();
    if (!readOffTheWindow(job, std::move(work), path, [&](int) { return QStringLiteral("reading heightmap %1").arg(name); },
                          [](int) { return QStringLiteral("reading heightmap"); }))
        return;
    const std::shared_ptr<Heightmap> heights = job->heights;
    const std::shared_ptr<ImportedTerrain> terrain = job->terrain;
    const QString error = job->error.isEmpty() ? QStringLiteral("cannot read the heightmap %1").arg(path) : job->error;
    if (!job->usable) {
        // Nothing of the present terrain is given up for a file that cannot be used.
        runLog() << "heightmap not loaded: " << error << "\n";
        showStatus(error);
        dialogs::error(parent, error);
        return;
    }

    // The node values as they are now: the user may have changed some while the file was read.
    const NoiseSettings before = readNodeSettings();
    NoiseSettings next = before;
    next.final.terrainSize = terrain->terrainSize;
    next.final.terrainSizeExponent = std::clamp(int(std::lround(std::log10(double(terrain->terrainSize)))), 1, 5);
    next.final.elevationLow = terrain->elevationLow;
    next.final.elevationHigh = terrain->elevationHigh;
    applyFinalNode(next);
    const std::shared_ptr<const ImportedTerrain> previous = std::exchange(s.importedHeightmap, terrain);
    if (!action.buildTerrainFromMachine()) {
        // Stopped or failed: the terrain and the final node stay as they were.
        s.importedHeightmap = previous;
        applyFinalNode(before);
        return;
    }
    const QString summary = importSummary(*terrain);
    runLog() << "heightmap loaded: " << summary << "\n";
    for (const QString &note : heights->notes)
        runLog() << "  " << note << "\n";
    showStatus(QStringLiteral("heightmap loaded: ") + summary);
}

}   // namespace

void DzOrovistaPluginAction::loadCustomTerrain()
{
    ProgramState &s = state();
    QWidget *parent = s.ui.mainWindow;
    // One read at a time, and none inside a noise run (whose overlay and cancel are busy).
    if (s.terrainReading || s.noiseRunning)
        return;

    const QString path = dialogs::openFile(parent, QStringLiteral("Open .obj File"), lastObjFolder, terrainFileFilter());
    if (path.isEmpty()) {
        dialogs::error(parent, QStringLiteral("no .obj file chosen!"));
        return;
    }
    lastObjFolder = QFileInfo(path).absolutePath();
    if (isHeightmapFile(path))
        return loadHeightmapTerrain(*this, path);

    bool accepted = false;
    const double answer = dialogs::number(parent, QStringLiteral("Warning"),
                                          QStringLiteral("enter the scale percentage of your terrain::"), 100.0, 0.1,
                                          10000.0, 2, &accepted);
    const double scale = customTerrainScale(accepted, answer);

    // The final node's gradient lists are filled from the gradients folder when its panel is
    // built and do not change while the window is open: nothing to refresh here.

    // Read the file before anything of the present terrain is given up: a file that cannot be
    // read, or a read the user cancels, leaves the terrain, its items and the file scene
    // creation imports as they were. The normals are computed on the reading thread too.
    struct Read : BackgroundRead {
        std::unique_ptr<GLMmodel> model;
        GLMreadError error;
    };
    auto job = std::make_shared<Read>();
    auto work = [job, path] {
        try {
            job->model = glmReadOBJ(path, &job->error, [job = job.get()](double done) { return job->keepGoing(done); });
            if (job->model && job->model->numtriangles == 0) {
                job->model.reset();
                job->error.message = QStringLiteral("%1 holds no faces").arg(path);
            }
            if (job->model && !job->stop) {
                job->fraction = 0.0;
                job->step = 1;
                glmFacetNormals(job->model.get());
                glmVertexNormals(job->model.get(), 90.0f);
            }
        } catch (const std::bad_alloc &) {
            job->model.reset();
            job->error.message = QStringLiteral("not enough memory for %1").arg(path);
        }
    };
    const QString name = QFileInfo(path).fileName();
    auto doing = [&](int step) {
        return step == 0 ? QStringLiteral("reading terrain OBJ %1").arg(name)
                         : QStringLiteral("computing the normals of %1").arg(name);
    };
    auto panel = [](int step) { return step == 0 ? QStringLiteral("reading terrain") : QStringLiteral("computing normals"); };
    if (!readOffTheWindow(job, std::move(work), path, doing, panel))
        return;
    std::unique_ptr<GLMmodel> model = std::move(job->model);
    if (!model) {
        runLog() << "custom terrain not loaded: " << job->error.message << "\n";
        dialogs::error(parent, QStringLiteral("There was an error loading your custom terrain .obj file"));
        return;
    }

    if (s.terrainPresent)
        if (GLTerrain *gl = s.ui.glTerrain)
            gl->deleteAllObjectsSilent();

    const int S = customTerrainSize(model->bounds, scale);
    const CustomTerrainCamera view = customTerrainCamera(model->bounds, scale, S);

    s.customObjPath = path;
    s.customTerrainScale = float(scale);
    s.customTerrain = true;
    s.importedHeightmap.reset();
    s.terrainPresent = true;
    s.terrainSize = S;
    runLog() << "custom terrain " << path << ": " << int(model->numtriangles) << " triangles, size " << S << "\n";

    if (QTabWidget *tabs = s.ui.mainController) {
        for (int tab : {1, 2}) {
            tabs->setTabEnabled(tab, true);
            tabs->setTabToolTip(tab, QString());
        }
        tabs->setCurrentIndex(1);
    }

    if (GLTerrain *gl = s.ui.glTerrain) {
        if (s.customTerrainList && listOwner == gl) {
            gl->makeCurrent();
            glDeleteLists(s.customTerrainList, 1);
            gl->doneCurrent();
        }
        listOwner = gl;
        gl->history.clear();
        s.customTerrainList = compileCustomTerrain(gl, model.get(), GLM_SMOOTH | GLM_TEXTURE | GLM_MATERIAL);
        gl->farPlane = customTerrainFarPlane(S);
        gl->setFocus(Qt::OtherFocusReason);
        gl->camera = {view.x, view.y, view.z, view.yaw, view.pitch, view.roll};
        if (gl->skyDome().radius() != S * 0.5f)
            gl->buildSkyDome(true);
    }
    // The list draws the file's coordinates scaled by the viewport; the kept model is in scene
    // units, as the points picked on it are.
    scaleCustomTerrainModel(*model, scale);
    s.customModel = std::shared_ptr<GLMmodel>(std::move(model));

    statics().action.selectGLMode(TerrainMode);
    statics().action.updateTriangleLabel();
    if (s.ui.statusLine)
        s.ui.statusLine->setText(QStringLiteral("custom terrain OBJ loaded"));
}
