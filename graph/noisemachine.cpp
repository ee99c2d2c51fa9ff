#include "graph/noisemachine.h"

#include "graph/noisegraph.h"
#include "noise/image.h"
#include "noise/noiseimage.h"
#include "noise/onthreads.h"
#include "noise/outputfiles.h"
#include "noise/parallelbuilder.h"
#include "noise/rowbatch.h"
#include "noise/rendererimage.h"
#include "noise/writerjpeg.h"
#include "plugin/runlog.h"

#include <QDir>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstring>
#include <chrono>
#include <thread>
#include <vector>

namespace orovista {

using noise::utils::NoiseMap;
using noise::utils::ProgressReporter;

MachineObserver::~MachineObserver() = default;
HeightShift::~HeightShift() = default;
PictureTint::~PictureTint() = default;
void MachineObserver::warning(const QString &) {}
void MachineObserver::unreadableImage(const QString &file, const QString &reason)
{
    warning(unreadableImageWarning(file, reason));
}
void MachineObserver::nodeDone(int, const NoiseMap &, const QString &, const QString &) {}
bool MachineObserver::wantsNodeMaps() const { return false; }
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
/// one computed there. Rows are shared among threads, each with its own graph. Row 0, which holds
/// the window's lower corner, must be sampled first and alone (a picture-backed module (re)reads
/// its picture there); only the calling thread reports progress, counted over all n rows.
class FusedSampler {
public:
    FusedSampler(const noise::utils::ModuleGraphFactory &factory, const std::vector<int> &outputs, int n,
                 const Window &w, int threadCount, bool batchNoise, ProgressReporter &reporter)
        : m_outputs(outputs), m_n(n), m_reporter(reporter), m_threads(std::clamp(threadCount, 1, std::max(n, 1)))
    {
        const int steps = w.samples > 0 ? w.samples : n;
        const double xStep = (w.upperX - w.lowerX) / steps;
        m_zStep = (w.upperZ - w.lowerZ) / steps;
        m_lowerZ = w.lowerZ;
        m_firstRow = w.firstRow;
        for (int t = 0; t < m_threads; ++t) {
            m_graphs.push_back(factory());
            m_batches.push_back(batchNoise ? std::make_unique<noise::utils::RowBatch>(*m_graphs.back()) : nullptr);
        }
        m_columns.resize(std::size_t(n));
        for (int x = 0; x < n; ++x)
            m_columns[std::size_t(x)] = w.lowerX + (w.firstColumn + x) * xStep;
    }

    /// Samples row y of every output on the calling thread; target(i, y) is where output i's row
    /// goes.
    template <class Target>
    void sampleRow(int t, int y, const Target &target)
    {
        const int count = int(m_outputs.size());
        const noise::utils::ModuleGraph &graph = *m_graphs[std::size_t(t)];
        noise::utils::RowBatch *batch = m_batches[std::size_t(t)].get();
        std::vector<const noise::module::Module *> modules(static_cast<std::size_t>(count));
        std::vector<float *> rows(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            modules[std::size_t(i)] = &graph.GetOutput(m_outputs[std::size_t(i)]);
            rows[std::size_t(i)] = target(i, y);
        }
        const int n = m_n;
        const double z = m_lowerZ + (m_firstRow + y) * m_zStep;
        if (batch)
            batch->BeginRow(m_columns.data(), 0.0, z, n);
        for (int x = 0; x < n; ++x) {
            const double xc = m_columns[std::size_t(x)];
            if (batch)
                batch->SetColumn(x);
            for (int i = 0; i < count; ++i)
                rows[std::size_t(i)][x] = static_cast<float>(modules[std::size_t(i)]->GetValue(xc, 0.0, z));
        }
        if (batch)
            batch->EndRow();
        ++m_rowsDone;
    }

    /// Samples rows [from, to) on all threads.
    template <class Target>
    void sampleRows(int from, int to, const Target &target)
    {
        if (from >= to)
            return;
        const int count = int(m_outputs.size());
        std::atomic<int> nextRow{from};
        std::atomic<bool> failed{false};
        std::exception_ptr error;
        std::mutex errorLock;
        auto work = [&](int t, bool report) {
            auto lastEvents = std::chrono::steady_clock::now();
            try {
                for (int y; !failed && (y = nextRow.fetch_add(1)) < to;) {
                    sampleRow(t, y, target);
                    if (report) {
                        const int done = m_rowsDone.load();
                        const int step = std::min(count - 1, int(std::int64_t(done) * count / m_n));
                        if (step != m_shown) {
                            m_shown = step;
                            announce(m_reporter, m_outputs[std::size_t(step)]);
                            lastEvents = std::chrono::steady_clock::now();
                        } else if (std::chrono::steady_clock::now() - lastEvents >= eventInterval) {
                            m_reporter.ProcessEvents();
                            m_reporter.CheckCancelled();
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
        const int threads = std::min(m_threads, to - from);
        for (int t = 1; t < threads; ++t)
            workers.emplace_back(work, t, false);
        work(0, true);
        for (std::thread &t : workers)
            t.join();
        if (error)
            std::rethrow_exception(error);
    }

private:
    const std::vector<int> &m_outputs;
    const int m_n;
    ProgressReporter &m_reporter;
    const int m_threads;
    double m_zStep = 0.0, m_lowerZ = 0.0;
    int m_firstRow = 0;
    std::vector<std::unique_ptr<noise::utils::ModuleGraph>> m_graphs;
    std::vector<std::unique_ptr<noise::utils::RowBatch>> m_batches;   // the generators row by row
    std::vector<double> m_columns;
    std::atomic<int> m_rowsDone{0};
    int m_shown = -1;   // the node step the panel shows
};

/// Samples whole maps, one per output.
void buildFused(const noise::utils::ModuleGraphFactory &factory, const std::vector<int> &outputs,
                const std::vector<NoiseMap *> &maps, int n, const Window &w, int threadCount,
                bool batchNoise, ProgressReporter &reporter)
{
    for (NoiseMap *map : maps)
        map->SetSize(n, n);
    FusedSampler sampler(factory, outputs, n, w, threadCount, batchNoise, reporter);
    const auto target = [&](int i, int y) { return maps[std::size_t(i)]->GetSlabPtr(y); };
    sampler.sampleRow(0, 0, target);
    sampler.sampleRows(1, n, target);
}

/// How a picture is rendered from its map.
enum class Look {
    Grey,        ///< the grey gradient file, no light
    PlainGrey,   ///< the renderer's built-in black-to-white gradient, no light
    Colour,      ///< a gradient file with the light of the final node
    Blend,       ///< the colour texture blended from the three pictures before it (no map of its own)
};

/// One picture of a run, in the order the run renders them.
struct PictureJob {
    int node = 0;
    QString file;
    Look look = Look::Grey;
    QString gradient;           ///< for Look::Colour
    bool warnMissing = true;    ///< say so when the gradient file is missing
    int blendPart = -1;         ///< 0 … 2: the control, left or right part of the blend
};

/// Whether a job makes the colour texture (the final node's colour picture, blended or not).
bool isTexture(const PictureJob &job) { return job.file == colourPictureName(6) && job.look != Look::Grey; }

/// The pictures of nodes 1 … 9, node by node, grey before colour.
std::vector<PictureJob> pictureJobs(const FinalSettings &f, bool composite)
{
    std::vector<PictureJob> jobs;
    const auto grey = [&](int node, bool warn) { jobs.push_back({node, heightPictureName(node), Look::Grey, {}, warn, -1}); };
    const auto colour = [&](int node, const QString &file, const QString &gradient, int part) {
        jobs.push_back({node, file, Look::Colour, gradient, true, part});
    };
    for (int node = 1; node <= 4; ++node) {
        grey(node, true);
        colour(node, colourPictureName(node), node % 2 ? f.leftGradient : f.rightGradient, -1);
    }
    grey(5, false);
    grey(6, true);
    if (!composite) {
        colour(6, colourPictureName(6), f.leftGradient, -1);
        return jobs;
    }
    jobs.push_back({7, heightPictureName(7), Look::PlainGrey, {}, false, 0});
    colour(8, colourPictureName(8), f.leftGradient, 1);
    colour(9, colourPictureName(9), f.rightGradient, 2);
    jobs.push_back({9, colourPictureName(6), Look::Blend, {}, false, -1});
    return jobs;
}

/// Renders and writes the pictures of a run.
class Pictures {
public:
    Pictures(const NoiseSettings &s, const MachineFolders &folders, MachineObserver &observer, files::Batch &batch)
        : m_settings(s.final), m_folders(folders), m_observer(observer), m_batch(batch)
    {
        m_writer.SetBatch(&batch);
    }

    /// Sets the renderer up for a job. A gradient file that is missing leaves the gradient the
    /// renderer had (with a warning where the job asks for one).
    void configure(const PictureJob &job)
    {
        switch (job.look) {
        case Look::Grey:
            loadGradient(greyGradientName, job.warnMissing);
            m_renderer.EnableLight(false);
            break;
        case Look::PlainGrey:
            m_renderer.BuildGrayscaleGradient();
            m_renderer.EnableLight(false);
            break;
        case Look::Colour: {
            loadGradient(job.gradient, true);
            const FinalSettings &f = m_settings;
            m_renderer.EnableLight(f.lightOn);
            m_renderer.SetLightContrast(std::max(1, f.lightContrast));
            m_renderer.SetLightIntensity(std::max(0, f.lightIntensity) * 0.05);
            m_renderer.SetLightAzimuth(f.lightAzimuth);
            m_renderer.SetLightElev(f.lightElevation);
            break;
        }
        case Look::Blend:
            break;
        }
    }

    /// The renderer as the last configure() left it.
    const noise::utils::RendererImage &renderer() const { return m_renderer; }

    /// Renders a whole map as the last configure() set up, lets @a change alter the picture, and
    /// writes it; returns where the picture is until the run ends.
    QString render(const NoiseMap &map, const QString &file,
                   const std::function<void(noise::utils::Image &)> &change = {})
    {
        m_renderer.SetSourceNoiseMap(map);
        m_renderer.SetDestImage(m_image);
        m_renderer.Render();
        if (change)
            change(m_image);
        return write(m_image, file);
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

/// Rows per band of a banded run: about 8 MiB of rows for all outputs together, at least 16.
int automaticBandRows(int n, int outputs)
{
    const std::int64_t rowBytes = std::max<std::int64_t>(std::int64_t(n) * outputs * std::int64_t(sizeof(float)), 1);
    return int(std::clamp<std::int64_t>((std::int64_t(8) << 20) / rowBytes, 16, std::max(n, 16)));
}

/// Copies rows [y0, y1) of a rendered band whose first row is map row lo into a picture band,
/// the picture's way up (the map's last row first).
void pictureRows(const noise::utils::Image &rendered, int lo, int y0, int y1, QImage &rows)
{
    const int width = rendered.GetWidth();
    for (int y = y1 - 1; y >= y0; --y) {
        const noise::utils::Color *source = rendered.GetConstSlabPtr(y - lo);
        auto *line = reinterpret_cast<QRgb *>(rows.scanLine(y1 - 1 - y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(source[x].red, source[x].green, source[x].blue);
    }
}

/// A fused run whose pictures are made a band of rows at a time while the maps are sampled, from
/// the pictures' top row (the maps' last row) down. Each output's rows live only as long as their
/// band, with the row on either side that the light reads; only the output finalOutput is kept
/// whole, in result. Every row is sampled once, row 0 first (see FusedSampler). The pictures of a
/// band are coloured and compressed on the run's threads, each picture by one thread at a time
/// (its renderer, rows and file are its own), so every file gets its rows in order. The pictures
/// are byte for byte the ones rendered from whole maps. Returns where each job's picture is until
/// the run ends.
std::vector<QString> buildFusedBanded(FusedSampler &sampler, int count, const std::vector<PictureJob> &jobs,
                                      const std::vector<int> &jobOutput, int finalOutput, int n, int bandRows,
                                      Pictures &pictures, files::Batch &batch, NoiseMap &result,
                                      const HeightShift *shift, const std::vector<int> &shifted, int threads,
                                      const PictureTint *tint)
{
    struct Stream {
        noise::utils::RendererImage renderer;
        std::unique_ptr<files::JpegRows> jpeg;
        noise::utils::Image band;
        QImage rows;
    };
    std::vector<Stream> streams(jobs.size());
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        // Set up in the order of the whole-map run, so that the warnings and a renderer left
        // with the gradient before a missing one are the same.
        pictures.configure(jobs[j]);
        streams[j].renderer = pictures.renderer();
        streams[j].jpeg = std::make_unique<files::JpegRows>(pictures.path(jobs[j].file), n, n, &batch);
    }

    bandRows = std::clamp(bandRows, 1, n);
    result.SetSize(n, n);
    std::vector<std::vector<float>> rowZero(static_cast<std::size_t>(count), std::vector<float>(static_cast<std::size_t>(n)));
    sampler.sampleRow(0, 0, [&](int i, int) { return rowZero[std::size_t(i)].data(); });
    std::vector<float> shiftRows;
    if (shift) {
        shiftRows.resize(std::size_t(n));
        const std::vector<float> &final = rowZero[std::size_t(finalOutput)];
        for (const int i : shifted)   // replaceNonFinite() for the row the shift reads first
            for (float &v : rowZero[std::size_t(i)])
                if (!std::isfinite(v))
                    v = std::isnan(v) ? 0.0f : std::copysign(1.0f, v);
        std::vector<float> finalRow = final;
        shift->rowShift(0, 1, n, [&](int) { return finalRow.data(); }, shiftRows.data());
        for (const int i : shifted)
            for (int x = 0; x < n; ++x)
                rowZero[std::size_t(i)][std::size_t(x)] += shiftRows[std::size_t(x)];
    }

    std::vector<NoiseMap> window(static_cast<std::size_t>(count)), previous(static_cast<std::size_t>(count));
    int previousLo = 0;
    for (Stream &stream : streams) {
        stream.rows = QImage(n, bandRows, QImage::Format_RGB32);
        if (stream.rows.isNull())
            throw std::bad_alloc();
    }
    // The pictures of the nodes first, on the threads; the blend (the last job) then mixes the
    // three it is made of.
    std::vector<int> rendered, blends;
    const noise::utils::Image *parts[3] = {};
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        (jobs[j].look == Look::Blend ? blends : rendered).push_back(int(j));
        if (jobs[j].blendPart >= 0)
            parts[jobs[j].blendPart] = &streams[j].band;
    }
    const std::size_t rowBytes = std::size_t(n) * sizeof(float);
    for (int y1 = n; y1 > 0; y1 -= bandRows) {
        const int y0 = std::max(0, y1 - bandRows);
        const int lo = std::max(0, y0 - 1), hi = std::min(n, y1 + 1);
        int sampleFrom = lo, sampleTo = hi;
        for (int i = 0; i < count; ++i) {
            NoiseMap &map = window[std::size_t(i)];
            map.SetSize(n, hi - lo);
            if (y1 < n) {   // rows y1 and y1 − 1 were the band before's lowest row and the one below it
                for (int y : {y1, y1 - 1})
                    std::memcpy(map.GetSlabPtr(y - lo), previous[std::size_t(i)].GetConstSlabPtr(y - previousLo), rowBytes);
            }
            if (lo == 0)
                std::memcpy(map.GetSlabPtr(0), rowZero[std::size_t(i)].data(), rowBytes);
        }
        if (y1 < n)
            sampleTo = y1 - 1;
        if (lo == 0)
            sampleFrom = 1;
        sampler.sampleRows(sampleFrom, sampleTo,
                           [&](int i, int y) { return window[std::size_t(i)].GetSlabPtr(y - lo); });
        for (NoiseMap &map : window)
            replaceNonFinite(map);
        if (shift) {
            // The rows sampled for this band: those carried over from the band before were moved
            // there, row 0 when it was sampled.
            const int from = sampleFrom, to = sampleTo;
            if (to > from) {
                shiftRows.resize(std::size_t(to - from) * std::size_t(n));
                const NoiseMap &final = window[std::size_t(finalOutput)];
                shift->rowShift(from, to - from, n, [&](int y) { return final.GetConstSlabPtr(y - lo); },
                                shiftRows.data());
                for (int i : shifted)
                    for (int y = from; y < to; ++y) {
                        float *row = window[std::size_t(i)].GetSlabPtr(y - lo);
                        const float *add = shiftRows.data() + std::size_t(y - from) * std::size_t(n);
                        for (int x = 0; x < n; ++x)
                            row[x] += add[x];
                    }
            }
        }
        for (int y = y0; y < y1; ++y)
            std::memcpy(result.GetSlabPtr(y), window[std::size_t(finalOutput)].GetConstSlabPtr(y - lo), rowBytes);

        const auto write = [&](std::size_t j) {
            Stream &stream = streams[j];
            if (tint && isTexture(jobs[j]))
                for (int y = y0; y < y1; ++y)
                    tint->tintRow(y, n, stream.band.GetSlabPtr(y - lo));
            pictureRows(stream.band, lo, y0, y1, stream.rows);
            stream.jpeg->write(reinterpret_cast<const QRgb *>(stream.rows.constBits()), y1 - y0,
                               stream.rows.bytesPerLine() / qsizetype(sizeof(QRgb)));
        };
        forEachOnThreads(int(rendered.size()), threads, [&](int i) {
            const std::size_t j = std::size_t(rendered[std::size_t(i)]);
            Stream &stream = streams[j];
            stream.renderer.SetSourceNoiseMap(window[std::size_t(jobOutput[j])]);
            stream.renderer.SetDestImage(stream.band);
            stream.renderer.RenderRows(y0 - lo, y1 - lo);
            write(j);
        });
        for (const int j : blends) {
            Stream &stream = streams[std::size_t(j)];
            stream.band = blendComposite(*parts[0], *parts[1], *parts[2]);
            write(std::size_t(j));
        }
        std::swap(window, previous);
        previousLo = lo;
    }

    std::vector<QString> paths;
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        streams[j].jpeg->finish();
        paths.push_back(batch.current(pictures.path(jobs[j].file)));
    }
    return paths;
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
    files::Batch own;
    files::Batch &batch = run.batch ? *run.batch : own;

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

    const std::vector<PictureJob> jobs = pictureJobs(f, composite);
    const auto fileOf = [&](int node, const QString &name, const std::vector<QString> &paths) {
        for (std::size_t j = 0; j < jobs.size(); ++j)
            if (jobs[j].node == node && jobs[j].look != Look::Blend && jobs[j].file == name)
                return paths[j];
        return QString();
    };
    std::vector<int> outputs;   // the fused sweep's: every node but 6, which is node 5's module
    for (int node : nodes)
        if (node != 6)
            outputs.push_back(node);

    // The pictures a band of rows at a time unless the observer wants every node's whole map.
    if (fused && run.writePictures && !observer.wantsNodeMaps() && n >= 1) {
        std::vector<int> jobOutput;
        for (const PictureJob &job : jobs) {
            const int node = job.node == 6 ? 5 : job.node;
            jobOutput.push_back(int(std::find(outputs.begin(), outputs.end(), node) - outputs.begin()));
        }
        const int finalOutput = int(std::find(outputs.begin(), outputs.end(), 5) - outputs.begin());
        std::vector<int> shifted;   // the outputs with heights: node 5 (the final map) and the texture's 8 and 9
        for (std::size_t i = 0; i < outputs.size(); ++i)
            if (outputs[i] == 5 || outputs[i] == 8 || outputs[i] == 9)
                shifted.push_back(int(i));
        const int bandRows = run.pictureBandRows > 0 ? run.pictureBandRows : automaticBandRows(n, int(outputs.size()));
        std::vector<QString> paths;
        {
            Pictures pictures(s, folders, observer, batch);
            FusedSampler sampler(factory, outputs, n, window, threads, run.batchNoise, reporter);
            paths = buildFusedBanded(sampler, int(outputs.size()), jobs, jobOutput, finalOutput, n, bandRows,
                                     pictures, batch, result, run.shift, shifted, run.parallelPictures ? threads : 1,
                                     run.tint);
        }
        reporter.SetStatusText(QStringLiteral("noise maps generated"));
        const NoiseMap none;
        for (int node : nodes) {
            runLog() << "noise node " << node << " generated\n";
            observer.nodeDone(node, node >= 5 && node <= 6 ? result : none, fileOf(node, heightPictureName(node), paths),
                              fileOf(node, colourPictureName(node), paths));
        }
    } else {
        if (fused) {
            std::vector<NoiseMap *> targets;
            for (int node : outputs)
                targets.push_back(&mapOf(node));
            buildFused(factory, outputs, targets, n, window, threads, run.batchNoise, reporter);
            for (NoiseMap *map : targets)
                replaceNonFinite(*map);
            reporter.SetStatusText(QStringLiteral("noise maps generated"));
        }

        // The surface's shift, taken from the first final map built (node 5 comes before 6, 8
        // and 9), added to each of them once (node 5 and 6 share one map in a fused run).
        std::vector<float> shiftMap;
        std::vector<const NoiseMap *> shiftedMaps;
        auto applyShift = [&](int node, NoiseMap &map) {
            if (!run.shift || (node != 5 && node != 6 && node != 8 && node != 9) ||
                std::find(shiftedMaps.begin(), shiftedMaps.end(), &map) != shiftedMaps.end())
                return;
            const std::size_t width = std::size_t(n);
            if (shiftMap.empty()) {
                shiftMap.resize(width * width);
                run.shift->rowShift(0, n, n, [&](int y) { return map.GetConstSlabPtr(y); }, shiftMap.data());
            }
            for (int y = 0; y < n; ++y) {
                float *row = map.GetSlabPtr(y);
                const float *add = shiftMap.data() + std::size_t(y) * width;
                for (int x = 0; x < n; ++x)
                    row[x] += add[x];
            }
            shiftedMaps.push_back(&map);
        };

        // the pictures and their images are gone before erosion needs its grids
        Pictures pictures(s, folders, observer, batch);
        std::vector<QString> paths(jobs.size());
        noise::utils::Image blendParts[3];   // control, left and right turbulence pictures
        const auto tintTexture = [&](const PictureJob &job, noise::utils::Image &image) {
            if (run.tint && isTexture(job))
                for (int y = 0; y < image.GetHeight(); ++y)
                    run.tint->tintRow(y, image.GetWidth(), image.GetSlabPtr(y));
        };
        for (int node : nodes) {
            NoiseMap &map = mapOf(node);
            if (!fused) {
                builder.SetOutput(node);
                builder.SetDestNoiseMap(map);
                builder.Build(node);
                replaceNonFinite(map);
            }
            applyShift(node, map);
            runLog() << "noise node " << node << " generated\n";
            if (run.writePictures) {
                for (std::size_t j = 0; j < jobs.size(); ++j) {
                    const PictureJob &job = jobs[j];
                    if (job.node != node)
                        continue;
                    if (job.look == Look::Blend) {
                        noise::utils::Image blend = blendComposite(blendParts[0], blendParts[1], blendParts[2]);
                        tintTexture(job, blend);
                        paths[j] = pictures.write(blend, job.file);
                        for (noise::utils::Image &part : blendParts)
                            part.SetSize(0, 0);
                        continue;
                    }
                    pictures.configure(job);
                    paths[j] = pictures.render(map, job.file, [&](noise::utils::Image &image) { tintTexture(job, image); });
                    if (job.blendPart >= 0)
                        blendParts[job.blendPart] = pictures.image();
                }
            }
            observer.nodeDone(node, map, fileOf(node, heightPictureName(node), paths),
                              fileOf(node, colourPictureName(node), paths));
            if (&map != &result)
                map.SetSize(0, 0);
        }
    }

    reportUnreadableImages(s, observer);
    reporter.CheckCancelled();
    if (!run.shift && f.erosionIterations > 0 && f.erosion() != ErosionType::None) {
        const QString grey = QDir(folders.maps).filePath(heightPictureName(6));
        observer.erode(result, batch.current(grey));
        reporter.CheckCancelled();
    }
    if (!run.batch)
        own.commit();
    finalMap = std::move(result);
}

}   // namespace orovista
