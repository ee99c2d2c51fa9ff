#include "graph/noisemachine.h"

#include "graph/noisegraph.h"
#include "noise/image.h"
#include "noise/noiseimage.h"
#include "noise/outputfiles.h"
#include "noise/parallelbuilder.h"
#include "noise/rowbatch.h"
#include "noise/rendererimage.h"
#include "noise/writerjpeg.h"
#include "plugin/runlog.h"

#include <QDir>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace orovista {

using noise::utils::NoiseMap;
using noise::utils::ProgressReporter;

MachineObserver::~MachineObserver() = default;
void MachineObserver::warning(const QString &) {}
void MachineObserver::unreadableImage(const QString &file, const QString &reason)
{
    warning(unreadableImageWarning(file, reason));
}
void MachineObserver::nodeDone(int, const NoiseMap &, const QString &, const QString &) {}
void MachineObserver::erode(NoiseMap &, const QString &) {}

QString unreadableImageWarning(const QString &file, const QString &reason)
{
    return QStringLiteral("cannot read the noise image %1: %2; the node reads as black").arg(file, reason);
}

QString heightPictureName(int node)
{
    static const char *const names[] = {"",
                                        "HI1noisePreview.jpg",
                                        "HI2noisePreview.jpg",
                                        "HD1noisePreview.jpg",
                                        "HD2noisePreview.jpg",
                                        "C1noisePreview.jpg",
                                        "HFFnoisePreview.jpg",
                                        "C1ControlMap.jpg",
                                        "",
                                        ""};
    return node >= 1 && node <= nodeCount ? QString::fromLatin1(names[node]) : QString();
}

QString colourPictureName(int node)
{
    static const char *const names[] = {"",
                                        "TI1noisePreview.jpg",
                                        "TI2noisePreview.jpg",
                                        "TD1noisePreview.jpg",
                                        "TD2noisePreview.jpg",
                                        "",
                                        "TFFnoisePreview.jpg",
                                        "",
                                        "TD1TurbulenceMap.jpg",
                                        "TD2TurbulenceMap.jpg"};
    return node >= 1 && node <= nodeCount ? QString::fromLatin1(names[node]) : QString();
}

void replaceNonFinite(NoiseMap &map)
{
    for (int y = 0; y < map.GetHeight(); ++y) {
        float *row = map.GetSlabPtr(y);
        for (int x = 0; x < map.GetWidth(); ++x)
            if (!std::isfinite(row[x]))
                row[x] = std::isnan(row[x]) ? 0.0f : std::copysign(1.0f, row[x]);
    }
}

namespace {

struct Window {
    double lowerX, upperX, lowerZ, upperZ;
    int samples = 0;                  ///< steps along a side; 0: the map's size
    int firstColumn = 0, firstRow = 0;   ///< the map's place among them
};

QString stepText(int node) { return QString::number(node) + QStringLiteral("/9"); }

void announce(ProgressReporter &reporter, int node)
{
    reporter.SetPanelText(QStringLiteral("computing noise ... \n\nnode: ") + stepText(node));
    reporter.SetStatusText(QStringLiteral("computing noise ... node: ") + stepText(node));
    reporter.ProcessEvents();
    reporter.CheckCancelled();
}

/// How often the reporting thread lets the window process events between progress steps.
constexpr auto eventInterval = std::chrono::milliseconds(100);

/// Samples several outputs of the graph at once: at every point of the window the outputs are
/// evaluated in the given order, so the graph's Caches hand each later node the values an earlier
/// one computed there. Rows are shared among threads, each with its own graph; the calling thread
/// samples the window's lower corner first and alone, and is the only one to report progress.
void buildFused(const noise::utils::ModuleGraphFactory &factory, const std::vector<int> &outputs,
                const std::vector<NoiseMap *> &maps, int n, const Window &w, int threadCount,
                bool batchNoise, ProgressReporter &reporter)
{
    const int count = int(outputs.size());
    for (NoiseMap *map : maps)
        map->SetSize(n, n);
    const int steps = w.samples > 0 ? w.samples : n;
    const double xStep = (w.upperX - w.lowerX) / steps;
    const double zStep = (w.upperZ - w.lowerZ) / steps;

    std::vector<std::unique_ptr<noise::utils::ModuleGraph>> graphs;
    std::vector<std::unique_ptr<noise::utils::RowBatch>> batches;   // the generators row by row
    threadCount = std::clamp(threadCount, 1, n);
    for (int t = 0; t < threadCount; ++t) {
        graphs.push_back(factory());
        batches.push_back(batchNoise ? std::make_unique<noise::utils::RowBatch>(*graphs.back()) : nullptr);
    }
    std::vector<double> columns(n);
    for (int x = 0; x < n; ++x)
        columns[x] = w.lowerX + (w.firstColumn + x) * xStep;

    auto sampleRow = [&](int t, int y, int firstColumn) {
        const noise::utils::ModuleGraph &graph = *graphs[t];
        noise::utils::RowBatch *batch = batches[t].get();
        std::vector<const noise::module::Module *> modules(count);
        std::vector<float *> rows(count);
        for (int i = 0; i < count; ++i) {
            modules[i] = &graph.GetOutput(outputs[i]);
            rows[i] = maps[i]->GetSlabPtr(y);
        }
        const double z = w.lowerZ + (w.firstRow + y) * zStep;
        if (batch)
            batch->BeginRow(columns.data(), 0.0, z, n);
        for (int x = firstColumn; x < n; ++x) {
            const double xc = columns[x];
            if (batch)
                batch->SetColumn(x);
            for (int i = 0; i < count; ++i)
                rows[i][x] = static_cast<float>(modules[i]->GetValue(xc, 0.0, z));
        }
        if (batch)
            batch->EndRow();
    };

    // The lower corner first: a picture-backed module (re)reads its picture there.
    sampleRow(0, 0, 0);

    std::atomic<int> nextRow{1};
    std::atomic<int> rowsDone{1};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex errorLock;
    auto work = [&](int t, bool report) {
        int shown = -1;
        auto lastEvents = std::chrono::steady_clock::now();
        try {
            for (int y; !failed && (y = nextRow.fetch_add(1)) < n;) {
                sampleRow(t, y, 0);
                const int done = rowsDone.fetch_add(1) + 1;
                if (report) {
                    const int step = std::min(count - 1, int(std::int64_t(done) * count / n));
                    if (step != shown) {
                        shown = step;
                        announce(reporter, outputs[step]);
                        lastEvents = std::chrono::steady_clock::now();
                    } else if (std::chrono::steady_clock::now() - lastEvents >= eventInterval) {
                        reporter.ProcessEvents();
                        reporter.CheckCancelled();
                        lastEvents = std::chrono::steady_clock::now();
                    }
                }
            }
        } catch (...) {
            std::lock_guard lock(errorLock);
            if (!error)
                error = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threadCount; ++t)
        workers.emplace_back(work, t, false);
    work(0, true);
    for (std::thread &t : workers)
        t.join();
    if (error)
        std::rethrow_exception(error);
}

/// Renders and writes the pictures of a run.
class Pictures {
public:
    Pictures(const NoiseSettings &s, const MachineFolders &folders, MachineObserver &observer, files::Batch &batch)
        : m_settings(s.final), m_folders(folders), m_observer(observer), m_batch(batch)
    {
        m_writer.SetBatch(&batch);
    }

    /// The grey picture of a map; missingWarning: say so when the grey gradient is missing.
    QString grey(const NoiseMap &map, int node, bool missingWarning)
    {
        loadGradient(greyGradientName, missingWarning);
        m_renderer.EnableLight(false);
        return render(map, heightPictureName(node));
    }

    /// The grey picture of the control noise: the renderer's built-in black-to-white gradient.
    QString plainGrey(const NoiseMap &map, int node)
    {
        m_renderer.BuildGrayscaleGradient();
        m_renderer.EnableLight(false);
        return render(map, heightPictureName(node));
    }

    /// The coloured picture of a map with the given gradient and the light of the final node.
    QString colour(const NoiseMap &map, const QString &file, const QString &gradient)
    {
        loadGradient(gradient, true);
        const FinalSettings &f = m_settings;
        m_renderer.EnableLight(f.lightOn);
        m_renderer.SetLightContrast(std::max(1, f.lightContrast));
        m_renderer.SetLightIntensity(std::max(0, f.lightIntensity) * 0.05);
        m_renderer.SetLightAzimuth(f.lightAzimuth);
        m_renderer.SetLightElev(f.lightElevation);
        return render(map, file);
    }

    QString path(const QString &file) const { return m_folders.maps + QLatin1Char('/') + file; }
    /// The picture rendered last.
    const noise::utils::Image &image() const { return m_image; }

    /// Writes a picture made elsewhere; returns where it is until the run ends.
    QString write(const noise::utils::Image &image, const QString &file)
    {
        m_writer.SetSourceImage(image);
        m_writer.SetDestFilename(path(file));
        m_writer.WriteDestFile();
        return m_batch.current(path(file));
    }

private:
    void loadGradient(const QString &name, bool missingWarning)
    {
        const QString file = m_folders.gradients + QLatin1Char('/') + name;
        // Only a regular file is read (a FIFO named like a gradient would never end); otherwise
        // the renderer keeps its current gradient.
        if (files::inputProblem(file).isEmpty())
            m_renderer.LoadGradient(file);
        else if (missingWarning)
            m_observer.warning(gradientMissingWarning);
    }

    QString render(const NoiseMap &map, const QString &file)
    {
        m_renderer.SetSourceNoiseMap(map);
        m_renderer.SetDestImage(m_image);
        m_renderer.Render();
        return write(m_image, file);
    }

    const FinalSettings &m_settings;
    const MachineFolders &m_folders;
    MachineObserver &m_observer;
    files::Batch &m_batch;
    noise::utils::RendererImage m_renderer;
    noise::utils::Image m_image;
    noise::utils::WriterJPEG m_writer;
};

/// The colour texture where the two branches have different gradients: the turbulent deformer
/// pictures blended by the control noise, a = red(control) / 255, per channel in single precision.
/// The pictures are blended as rendered, before compression, so a black or white control noise
/// gives exactly the one picture or the other.
noise::utils::Image blendComposite(const noise::utils::Image &control, const noise::utils::Image &left,
                              const noise::utils::Image &right)
{
    using noise::utils::Color;
    const int w = control.GetWidth(), h = control.GetHeight();
    noise::utils::Image out(w, h);
    for (int y = 0; y < h; ++y) {
        const Color *c = control.GetConstSlabPtr(y);
        const Color *l = left.GetConstSlabPtr(y);
        const Color *r = right.GetConstSlabPtr(y);
        Color *o = out.GetSlabPtr(y);
        for (int x = 0; x < w; ++x) {
            const float a = c[x].red / 255.0f;
            auto blend = [a](std::uint8_t from, std::uint8_t to) {
                return std::uint8_t((from / 255.0f * (1.0f - a) + to / 255.0f * a) * 255.0f);
            };
            o[x] = Color(blend(l[x].red, r[x].red), blend(l[x].green, r[x].green), blend(l[x].blue, r[x].blue), 255);
        }
    }
    return out;
}

/// Tells the observer of every "Image" node whose file the run could not read.
void reportUnreadableImages(const NoiseSettings &s, MachineObserver &observer)
{
    const GeneratorSettings *generators[noise::module::NoiseImageHolder::SLOT_COUNT] = {&s.input[0], &s.input[1], &s.combiner.control};
    QStringList told;
    for (int slot = 0; slot < noise::module::NoiseImageHolder::SLOT_COUNT; ++slot) {
        const GeneratorSettings &g = *generators[slot];
        if (NoiseType(g.type) != NoiseType::Image || g.imageFile.isEmpty() || told.contains(g.imageFile))
            continue;
        const auto picture = noise::module::NoiseImageHolder::ForSlot(slot).GetPicture();
        if (picture->fileName == g.imageFile && !picture->problem.isEmpty()) {
            observer.unreadableImage(g.imageFile, picture->problem);
            told << g.imageFile;
        }
    }
}

}   // namespace

void runNoiseMachine(const NoiseSettings &s, const MachineRun &run, const MachineFolders &folders,
                     NoiseMap &finalMap, ProgressReporter &reporter, MachineObserver &observer)
{
    const int n = run.size;
    const FinalSettings &f = s.final;
    const Window window{double(f.startX), double(f.startX + f.noiseSize), double(f.startY),
                        double(f.startY + f.noiseSize), run.windowSamples, run.firstColumn, run.firstRow};
    if (run.windowSamples > 0 && run.evaluation != Evaluation::Fused)
        throw noise::ExceptionInvalidParam();   // tiles are sampled by the fused evaluation only
    const bool composite = f.leftGradient != f.rightGradient;
    const int threads = run.threads > 0 ? run.threads : noise::utils::ParallelNoiseMapBuilderPlane::DefaultThreadCount();
    const auto factory = noiseGraphFactory(
        s, run.fullOctaves, run.evaluation == Evaluation::Fused ? Turbulence::Shared : Turbulence::Separate);

    // Node 6 samples the same module as node 5: the fused pass writes node 5 straight into the
    // final map. Every other map is released once its pictures are written. The caller's map
    // changes only when the run is through.
    const bool fused = run.evaluation == Evaluation::Fused;
    NoiseMap result;
    NoiseMap maps[nodeCount + 1];
    auto mapOf = [&](int node) -> NoiseMap & { return node == 6 || (node == 5 && fused) ? result : maps[node]; };
    files::Batch batch;

    std::vector<int> nodes = {1, 2, 3, 4, 5, 6};
    if (composite)
        nodes.insert(nodes.end(), {7, 8, 9});

    noise::utils::ParallelNoiseMapBuilderPlane builder;
    builder.SetGraphFactory(factory);
    builder.SetThreadCount(threads);
    builder.SetDestSize(n, n);
    builder.SetBounds(window.lowerX, window.upperX, window.lowerZ, window.upperZ);
    builder.SetProgressReporter(&reporter);
    builder.EnableBatch(run.batchNoise);

    if (fused) {
        std::vector<int> outputs;
        std::vector<NoiseMap *> targets;
        for (int node : nodes)
            if (node != 6) {
                outputs.push_back(node);
                targets.push_back(&mapOf(node));
            }
        buildFused(factory, outputs, targets, n, window, threads, run.batchNoise, reporter);
        for (NoiseMap *map : targets)
            replaceNonFinite(*map);
        reporter.SetStatusText(QStringLiteral("noise maps generated"));
    }

    {   // the pictures and their images are gone before erosion needs its grids
        Pictures pictures(s, folders, observer, batch);
        noise::utils::Image blendParts[3];   // control, left and right turbulence pictures
        for (int node : nodes) {
            NoiseMap &map = mapOf(node);
            if (!fused) {
                builder.SetOutput(node);
                builder.SetDestNoiseMap(map);
                builder.Build(node);
                replaceNonFinite(map);
            }
            runLog() << "noise node " << node << " generated\n";
            QString height, colour;
            if (run.writePictures) {
                switch (node) {
                case 1: case 2: case 3: case 4: {
                    const QString &gradient = node % 2 ? f.leftGradient : f.rightGradient;
                    height = pictures.grey(map, node, true);
                    colour = pictures.colour(map, colourPictureName(node), gradient);
                    break;
                }
                case 5:
                    height = pictures.grey(map, node, false);
                    break;
                case 6:
                    height = pictures.grey(map, node, true);
                    if (!composite)
                        colour = pictures.colour(map, colourPictureName(6), f.leftGradient);
                    break;
                case 7:
                    height = pictures.plainGrey(map, node);
                    blendParts[0] = pictures.image();
                    break;
                case 8: case 9:
                    colour = pictures.colour(map, colourPictureName(node), node == 8 ? f.leftGradient : f.rightGradient);
                    blendParts[node - 7] = pictures.image();
                    if (node == 9) {
                        pictures.write(blendComposite(blendParts[0], blendParts[1], blendParts[2]), colourPictureName(6));
                        for (noise::utils::Image &part : blendParts)
                            part.SetSize(0, 0);
                    }
                    break;
                }
            }
            observer.nodeDone(node, map, height, colour);
            if (&map != &result)
                map.SetSize(0, 0);
        }
    }

    reportUnreadableImages(s, observer);
    reporter.CheckCancelled();
    if (f.erosionIterations > 0 && f.erosion() != ErosionType::None) {
        const QString grey = QDir(folders.maps).filePath(heightPictureName(6));
        observer.erode(result, batch.current(grey));
        reporter.CheckCancelled();
    }
    batch.commit();
    finalMap = std::move(result);
}

}   // namespace orovista
