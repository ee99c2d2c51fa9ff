#include "cli/generate.h"

#include "cli/overrides.h"
#include "cli/terminalprogress.h"
#include "graph/noisemachine.h"
#include "presets/presetfile.h"
#include "presets/workfile.h"
#include "scene/engineexport.h"
#include "scene/heightmapexport.h"
#include "scene/hostscene.h"
#include "scene/instancelist.h"
#include "scene/surfaceoutputs.h"
#include "scene/terrainobj.h"
#include "terrain/sedimentmarks.h"
#include "terrain/erosion.h"
#include "terrain/heightmapimport.h"
#include "terrain/normalmap.h"
#include "terrain/terrainarrays.h"
#include "noise/outputfiles.h"
#include "sky/skytexture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>

#include <libnoise/exception.h>

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzgltfexporter.h"
#include "dznode.h"
#include "dzscene.h"

#include <cerrno>
#include <climits>
#include <functional>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include <tuple>
#include <utility>

namespace orovista::cli {

using noise::utils::NoiseMap;
using noise::utils::ProgressReporter;

const QList<int> &pictureSizes()
{
    static const QList<int> sizes = {512, 1024, 2048, 4096, 8192, 16384};
    return sizes;
}

QStringList nativePresets(const QString &resourceFolder)
{
    QDir dir(resourceFolder + QStringLiteral("/presets"));
    QStringList paths;
    for (const QString &file : dir.entryList({QStringLiteral("*.opf")}, QDir::Files, QDir::Name | QDir::IgnoreCase))
        paths << dir.filePath(file);
    return paths;
}

QString optionRange(const QString &option)
{
    auto list = [](const QList<int> &sizes) {
        QStringList s;
        for (int size : sizes)
            s << QString::number(size);
        return QStringLiteral("one of ") + s.join(QStringLiteral(", "));
    };
    auto between = [](qint64 lo, qint64 hi) { return QStringLiteral("between %1 and %2").arg(lo).arg(hi); };
    using sky::SkySlider;
    auto slider = [&](SkySlider which) {
        const sky::SkySliderInfo &info = sky::skySliderInfo(which);
        return between(info.minimum, info.maximum);
    };
    const QHash<QString, std::function<QString()>> ranges = {
        {QStringLiteral("texture-size"), [&] { return list(pictureSizes()); }},
        {QStringLiteral("normal-map"), [&] { return list(pictureSizes()); }},
        {QStringLiteral("bump"), [&] { return between(10, 5000); }},
        {QStringLiteral("terrain-size"), [&] { return between(1, 100000) + QStringLiteral(" (metres)"); }},
        {QStringLiteral("heightmap-size"), [&] { return between(2, 16384); }},
        {QStringLiteral("raw-size"), [&] { return between(2, maximumHeightmapSide); }},
        {QStringLiteral("sky"), [] { return QStringLiteral("4096, 8192 or 16384, or a power of two from 256 for a preview"); }},
        {QStringLiteral("sun-pitch"), [&] { return slider(SkySlider::SunPitch); }},
        {QStringLiteral("sun-azimuth"), [&] { return slider(SkySlider::SunAzimuth); }},
        {QStringLiteral("turbidity"), [&] { return between(0, 10); }},
        {QStringLiteral("seed"), [&] { return between(INT_MIN, INT_MAX); }},
        {QStringLiteral("tiles"), [&] { return between(1, 64); }},
        {QStringLiteral("overlap"), [] { return QStringLiteral("between 0 and the tile size less one"); }},
        {QStringLiteral("engine-size"), [] { return QStringLiteral("one of the engine's sizes"); }},
    };
    const auto found = ranges.constFind(option);
    return found != ranges.constEnd() ? found.value()() : QString();
}

QString badValue(const QString &option, const QString &value, bool number)
{
    const QString range = optionRange(option);
    const bool between = range.startsWith(QLatin1String("between"));
    if (number)
        return between ? QStringLiteral("--%1 must lie %2, not %3").arg(option, range, value)
                       : QStringLiteral("--%1 must be %2, not %3").arg(option, range, value);
    return QStringLiteral("--%1 needs a whole number%2%3, not \"%4\"")
        .arg(option, QLatin1String(between ? " " : ", "), range, value);
}

QString checkOptions(const GenerateOptions &o)
{
    auto outside = [](const char *option, qint64 value) { return badValue(QLatin1String(option), QString::number(value), true); };
    if (!o.sceneFile.isEmpty() && !o.sceneFile.endsWith(QLatin1String(".gltf"), Qt::CaseInsensitive) &&
        !o.sceneFile.endsWith(QLatin1String(".glb"), Qt::CaseInsensitive))
        return QStringLiteral("--scene needs a file name ending .gltf or .glb");
    if (o.preset.isEmpty() && !o.work)
        return QStringLiteral("no preset given: use --preset FILE (or --work FILE)");
    {
        NoiseSettings scratch;   // the values alone: the preset is read later
        if (const QString problem = applyOverrides(scratch, o.overrides); !problem.isEmpty())
            return problem;
    }
    if (!o.engine.isEmpty()) {
        const std::optional<engine::Engine> e = engine::engineNamed(o.engine);
        if (!e)
            return QStringLiteral("unknown engine \"%1\": use unity or unreal").arg(o.engine);
        if (o.engineSize != 0 && !engine::isEngineSize(*e, o.engineSize)) {
            QStringList sizes;
            for (int size : engine::engineSizes(*e))
                sizes << QString::number(size);
            return QStringLiteral("--engine-size for %1 must be one of %2, not %3")
                .arg(engine::engineName(*e), sizes.join(QStringLiteral(", ")))
                .arg(o.engineSize);
        }
    } else if (o.engineSize != 0) {
        return QStringLiteral("--engine-size needs --engine unity or unreal");
    }
    if (o.tiles < 0 || o.tiles > 64)
        return outside("tiles", o.tiles);
    if (o.overlap < 0)
        return outside("overlap", o.overlap);
    if (o.tiles != 0) {
        const std::optional<engine::Engine> e = engine::engineNamed(o.engine);
        const int tileSize = !e ? o.heightmapSize
                                : (o.engineSize > 0 ? o.engineSize : engine::defaultEngineSize(*e, o.textureSize));
        if (o.overlap >= tileSize)
            return QStringLiteral("--overlap must lie between 0 and %1 (the tile size less one), not %2")
                .arg(tileSize - 1)
                .arg(o.overlap);
        if ((o.tileColumn >= 0) != (o.tileRow >= 0) || o.tileColumn >= o.tiles || o.tileRow >= o.tiles)
            return QStringLiteral("--tile I,J needs 0 ≤ I, J < --tiles, not %1,%2").arg(o.tileColumn).arg(o.tileRow);
        if (!o.heightmapIn.isEmpty())
            return QStringLiteral("--tiles samples the noise graph; it cannot split an imported heightmap");
    } else if (o.tileColumn >= 0) {
        return QStringLiteral("--tile needs --tiles N");
    }
    {
        const SplatSettings &sp = o.splatSettings;
        for (const auto &[value, option] : {std::pair{sp.sandUpTo, "--splat-sand"}, std::pair{sp.snowFrom, "--splat-snow"}})
            if (!(value >= 0.0 && value <= 1.0))
                return QStringLiteral("%1 is a fraction of the elevation range, between 0 and 1, not %2")
                    .arg(QLatin1String(option))
                    .arg(value);
        if (!(sp.rockFromDegrees >= 0.0 && sp.rockFromDegrees <= 90.0))
            return QStringLiteral("--splat-rock is a slope in degrees, between 0 and 90, not %1").arg(sp.rockFromDegrees);
    }
    if (const QString problem = presets::nameProblem(o.name); !problem.isEmpty())
        return QStringLiteral("bad terrain name: ") + problem;
    if (o.name.contains(QLatin1Char('#')))
        return QStringLiteral("bad terrain name: OBJ and MTL files read what follows \"#\" as a comment: %1").arg(o.name);
    if (!pictureSizes().contains(o.textureSize))
        return outside("texture-size", o.textureSize);
    if (o.normalMapSize != 0 && !pictureSizes().contains(o.normalMapSize))
        return outside("normal-map", o.normalMapSize);
    if (o.bumpSlider < 10 || o.bumpSlider > 5000)
        return outside("bump", o.bumpSlider);
    if (o.terrainSize < 1 || o.terrainSize > 100000)
        return outside("terrain-size", o.terrainSize);
    if (o.elevationLow < -10000 || o.elevationLow > 0 || o.elevationHigh < 0 || o.elevationHigh > 9000)
        return QStringLiteral("--elevation LOW:HIGH needs LOW between -10000 and 0 and HIGH between 0 and 9000, not %1:%2")
            .arg(o.elevationLow)
            .arg(o.elevationHigh);
    for (const QString &format : o.heightmapFormats)
        if (format != QLatin1String("png16") && format != QLatin1String("r16") && format != QLatin1String("exr"))
            return QStringLiteral("unknown heightmap format \"%1\": use png16, r16 or exr").arg(format);
    if (!o.nodeMaps.isEmpty() && o.nodeMaps != QLatin1String("exr") && o.nodeMaps != QLatin1String("raw"))
        return QStringLiteral("unknown node map format \"%1\": use exr or raw").arg(o.nodeMaps);
    if (o.heightmapSize < 2 || o.heightmapSize > 16384)
        return outside("heightmap-size", o.heightmapSize);
    if (o.rawSize != 0 && (o.rawSize < 2 || o.rawSize > maximumHeightmapSide))
        return outside("raw-size", o.rawSize);
    if (o.skySize != 0 && !sky::isSkyTextureSize(o.skySize))
        return outside("sky", o.skySize);
    using sky::SkySlider;
    for (const auto &[slider, value, option] :
         {std::tuple{SkySlider::SunPitch, o.sunPitchSlider, "sun-pitch"},
          std::tuple{SkySlider::SunAzimuth, o.sunAzimuthSlider, "sun-azimuth"},
          std::tuple{SkySlider::Turbidity, o.turbiditySlider, "turbidity"}}) {
        const sky::SkySliderInfo &info = sky::skySliderInfo(slider);
        if (value < info.minimum || value > info.maximum)
            return slider == SkySlider::Turbidity
                       ? badValue(QLatin1String(option), QString::number(value / 100.0), true)
                       : outside(option, value);
    }
    return {};
}

namespace {

/// The machine's warnings go to the user; erosion runs as in the window after a preset load.
class Observer : public MachineObserver {
public:
    Observer(const GenerateOutput &output, const FinalSettings &settings, const QString &maps)
        : m_output(output), m_settings(settings), m_maps(maps)
    {
    }
    void warning(const QString &text) override
    {
        if (m_output.warning)
            m_output.warning(text);
    }
    /// Node maps of the passes that make the outputs, written as floats beside maps/.
    struct NodeMaps {
        QString format;          ///< "exr" or "raw"; empty for none
        QDir folder;
        QString name;            ///< the terrain name
        files::Batch *batch = nullptr;
        QString prefix;          ///< "" for the terrain pass, "texture_" for the texture pass
        bool capturing = false;  ///< this pass's maps are written
        bool eroded = false;     ///< the pass wrote its map before erosion
        QStringList written;
        int size = 0;
    };
    NodeMaps nodeMaps;

    /// Starts a pass: its maps are written when @a capture is set, under @a prefix.
    void beginPass(bool capture, const QString &prefix, int size)
    {
        nodeMaps.capturing = capture && !nodeMaps.format.isEmpty();
        nodeMaps.prefix = prefix;
        nodeMaps.eroded = false;
        nodeMaps.size = size;
    }
    /// Ends a pass with its final map: the map before erosion (when no erosion ran) and after.
    void endPass(const NoiseMap &finalMap)
    {
        if (!nodeMaps.capturing)
            return;
        if (!nodeMaps.eroded)
            writeNodeMap(QStringLiteral("final_before_erosion"), finalMap);
        writeNodeMap(QStringLiteral("final"), finalMap);
        nodeMaps.capturing = false;
    }
    bool wantsNodeMaps() const override { return nodeMaps.capturing || wholeNodeMaps; }
    bool wholeNodeMaps = false;
    /// The terrain pass's map as the graph made it, before erosion (empty when none ran).
    bool keepBeforeErosion = false;
    std::vector<float> beforeErosion;
    /// Where sediment erosion puts its maps: set for the terrain pass only (none when null).
    SedimentMaps *sedimentMaps = nullptr;
    void nodeDone(int node, const NoiseMap &map, const QString &, const QString &) override
    {
        if (nodeMaps.capturing)
            writeNodeMap(QStringLiteral("node%1").arg(node), map);
    }
    void erode(NoiseMap &map, const QString &greyPicture) override
    {
        if (nodeMaps.capturing) {
            writeNodeMap(QStringLiteral("final_before_erosion"), map);
            nodeMaps.eroded = true;
        }
        if (keepBeforeErosion)
            beforeErosion = mapValues(map);
        ErosionRequest request = ErosionRequest::fromSettings(m_settings, false, m_maps);
        request.picturePath = greyPicture;
        request.sedimentMaps = sedimentMaps;
        const ErosionResult result = erodeHeightMap(map, request, m_output.progress);
        if (!result.writeError.isEmpty())
            throw files::WriteError(result.writeError);
    }

private:
    /// One map as rows in the order of the pictures (the map's last row first, as the height
    /// pictures show it), values as the machine made them.
    void writeNodeMap(const QString &part, const NoiseMap &map)
    {
        const int w = map.GetWidth(), h = map.GetHeight();
        std::vector<float> rows(std::size_t(w) * std::size_t(h));
        for (int y = 0; y < h; ++y)
            std::copy_n(map.GetConstSlabPtr(h - 1 - y), w, rows.begin() + std::ptrdiff_t(y) * w);
        const QString file = nodeMaps.prefix + nodeMaps.name + QLatin1Char('_') + part + QLatin1Char('.') + nodeMaps.format;
        QString error;
        const QString path = nodeMaps.folder.filePath(file);
        const bool ok = nodeMaps.format == QLatin1String("exr")
                            ? writeFloatExr(rows.data(), w, h, path, &error, nodeMaps.batch)
                            : writeFloatRaw(rows.data(), w, h, path, &error, nodeMaps.batch);
        if (!ok)
            throw files::WriteError(error);
        nodeMaps.written << file;
    }

    const GenerateOutput &m_output;
    const FinalSettings &m_settings;
    QString m_maps;
};

/// The sky of the run's options, its sun worked out.
sky::SkyParameters skyOf(const GenerateOptions &o)
{
    sky::SkyParameters sky = sky::SkyParameters::defaults();
    for (const sky::SkySliderInfo &info : sky::skySliders())
        if (const QVariant value = o.skySliders.value(QLatin1String(info.objectName)); value.isValid())
            sky::setSlider(sky, info.slider, value.toInt());
    sky::setSlider(sky, sky::SkySlider::SunPitch, o.sunPitchSlider);
    sky::setSlider(sky, sky::SkySlider::SunAzimuth, o.sunAzimuthSlider);
    sky::setSlider(sky, sky::SkySlider::Turbidity, o.turbiditySlider);
    sky.updateSun();
    return sky;
}

/// The files of the run taken from its surface, as the options ask for them.
SurfaceFiles surfaceFiles(const GenerateOptions &o)
{
    SurfaceFiles asked;
    asked.folder = o.outFolder;
    asked.name = o.name;
    asked.terrainSize = o.terrainSize;
    asked.heightmapFormats = o.heightmapFormats;
    asked.heightmapSize = o.heightmapSize;
    asked.engine = o.engine;
    asked.engineSize = o.engineSize;
    asked.textureSize = o.textureSize;
    asked.flipRows = o.flipRows;
    asked.tiles = o.tiles;
    asked.overlap = o.overlap;
    asked.tileColumn = o.tileColumn;
    asked.tileRow = o.tileRow;
    asked.splat = o.splat;
    asked.splatSettings = o.splatSettings;
    asked.erosionMaps = o.erosionMaps;
    return asked;
}

/// Stages a copy of a finished picture among the run's outputs.
void copyWhole(const QString &from, const QString &to, files::Batch &outputs)
{
    if (const QString problem = files::inputProblem(from); !problem.isEmpty())
        throw files::WriteError(QStringLiteral("cannot read %1: %2").arg(from, problem));
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw files::WriteError(QStringLiteral("cannot read %1: %2").arg(from, source.errorString()));
    const QByteArray content = source.readAll();
    if (content.size() != source.size())
        throw files::WriteError(QStringLiteral("cannot read %1: %2").arg(from, source.errorString()));
    outputs.write(to, {content});
}

QString chooseGradient(const QString &wanted, const QStringList &available, const GenerateOutput &output)
{
    if (available.contains(wanted))
        return wanted;
    if (output.warning)
        output.warning(QStringLiteral("Gradient file not found, defaulting to first one (\"%1\" asked for)").arg(wanted));
    return available.value(0);
}

}   // namespace

namespace {

/// Why the run may not replace the file at path, which it would otherwise do by renaming (which
/// needs only the folder's permission): a folder, or a file its owner may not write or made
/// read-only. Empty for a file that may be replaced and for a new one (the folder decides).
QString replaceProblem(const QString &path)
{
    struct stat info;
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &info) != 0)
        return {};
    if (S_ISDIR(info.st_mode))
        return files::cannotWrite(path, files::reason(EISDIR));
    if (::access(name.constData(), W_OK) != 0)
        return files::cannotWrite(path, files::reason(errno));
    if ((info.st_mode & 0222) == 0)
        return files::cannotWrite(path, files::reason(EACCES));
    return {};
}

/// The scene of the run's files, built as the window builds it in the host and saved as glTF
/// among the run's outputs: it reads the files staged so far and names them by their own names.
QString writeSceneFile(const GenerateOptions &o, const QDir &out, files::Batch &outputs, double raise,
                       const std::function<void(const QString &)> &warn)
{
    std::unique_ptr<DzApp> app;
    if (!dzApp)
        app = std::make_unique<DzApp>();
    DzScene built;
    const scene::SceneFiles files = scene::sceneFiles(out.absolutePath(), o.name);
    const scene::LogSink quiet = [](const QString &) {};
    QString error;
    DzNode *terrain = scene::importObjNode(outputs.current(files.obj), o.name, 100.0, &error);
    if (!terrain)
        return QStringLiteral("cannot read back %1 for the scene: %2").arg(files.obj, error);
    built.addNode(terrain);
    scene::TerrainLook material;
    material.colourTexture = files.colourTexture;
    if (o.normalMapSize > 0)
        material.normalMap = files.normalMap;
    if (scene::dressTerrain(terrain, o.name, material, QString(), quiet) != 0)
        return QStringLiteral("the terrain's material could not be made");
    if (o.skySize > 0) {
        DzNode *dome = scene::makeSkyDome(o.resourceFolder + QStringLiteral("/resources/skydome.obj"), files.skyTexture,
                                          o.terrainSize, 100.0, QString(), quiet, &error);
        if (!dome)
            return QStringLiteral("cannot read the sky dome model: %1").arg(error);
        built.addNode(dome);
    }
    scene::PreviewEye eye = scene::defaultPreviewEye(o.terrainSize);
    if (o.work && o.work->camera) {
        // The view the work was saved with, as the window's CREATE takes it.
        const auto &c = *o.work->camera;
        eye.x = c[0], eye.y = c[1], eye.z = c[2], eye.yaw = float(c[3]), eye.pitch = float(c[4]);
    }
    scene::addCameras(&built, o.name, o.terrainSize, o.elevationHigh, eye, 0);
    scene::addSun(&built, o.name, skyOf(o));
    if (o.work && !o.work->items.empty()) {
        // The painted props under the terrain, each file found in the content folders once and
        // copied for the items after it, as the window's CREATE makes them.
        std::vector<PaintedItem> items;
        QHash<QString, QString> found;
        QHash<QString, int> modelSlots;
        QStringList missing;
        for (const work::Item &item : o.work->items) {
            auto path = found.constFind(item.prop);
            if (path == found.constEnd())
                path = found.insert(item.prop, work::resolveInLibraries(item.prop, o.contentFolders));
            if (path->isEmpty()) {
                if (!missing.contains(item.prop))
                    missing << item.prop;
                continue;
            }
            items.push_back(item.values);
            items.back().file = *path;
            auto slot = modelSlots.constFind(*path);
            if (slot == modelSlots.constEnd())
                slot = modelSlots.insert(*path, int(modelSlots.size()));
            items.back().modelSlot = *slot;
        }
        DzContentMgr *content = dzApp->getContentMgr();
        QStringList folders;
        for (int i = 0; i < content->getNumPoserDirectories(); ++i)
            folders << content->getPoserDirectory(i);
        content->setPoserDirectories(o.contentFolders);
        DzScene *const hostScene = std::exchange(dzScene, &built);
        const int unloaded = scene::addProps(terrain, items, o.morphPercentage, quiet);
        dzScene = hostScene;
        content->setPoserDirectories(folders);
        if (unloaded > 0)
            missing << QStringLiteral("%1 that could not be read").arg(unloaded);
        if (!missing.isEmpty() && warn)
            warn(QStringLiteral("the scene holds no props for: %1 (give the content folder that holds them with --content)")
                     .arg(missing.join(QStringLiteral(", "))));
    }
    // At the datum's heights the sky and the cameras rise with the terrain (whose OBJ is raised).
    if (raise != 0.0)
        for (int i = 0; i < built.getNumNodes(); ++i)
            if (DzNode *node = built.getNode(i); node != terrain && !node->getNodeParent())
                node->setWSPos(node->getWSPos() + DzVec3(0.0f, float(raise * 100.0), 0.0f));
    DzGltfFileSink sink;
    sink.source = [&outputs](const QString &path) { return outputs.current(path); };
    sink.write = [&outputs](const QString &path, const QList<QByteArrayView> &parts) {
        try {
            outputs.write(path, parts);
        } catch (const files::WriteError &e) {
            return e.message();
        }
        return QString();
    };
    if (!DzGltfExporter::writeScene(&built, o.sceneFile, sink, &error))
        return QStringLiteral("cannot write the scene %1: %2").arg(o.sceneFile, error);
    return {};
}

}   // namespace

QString loadWork(const QString &path, GenerateOptions &o, const QSet<QString> &given)
{
    // What the work itself decides: the terrain as it was made.
    for (const char *option : {"preset", "heightmap-in", "raw-size", "set", "seed", "terrain-size", "elevation", "datum"})
        if (given.contains(QLatin1String(option)))
            return QStringLiteral("--%1 cannot be used with --work: the work's terrain is made as it was saved")
                .arg(QLatin1String(option));
    QString error;
    std::optional<work::Work> w = work::readFile(path, &error);
    if (!w)
        return QStringLiteral("cannot open the work %1: %2").arg(path, error);
    const work::CreateChoices c = work::createChoices(*w);
    auto take = [&given](const char *option, auto &to, const auto &value) {
        if (!given.contains(QLatin1String(option)))
            to = value;
    };
    take("name", o.name, c.name);
    take("texture-size", o.textureSize, c.textureSize);
    take("normal-map", o.normalMapSize, c.normalMapSize);
    take("bump", o.bumpSlider, c.bumpSlider);
    take("sky", o.skySize, c.skySize);
    take("heightmap", o.heightmapFormats, c.heightmapFormats);
    if (!c.heightmapFormats.isEmpty())
        take("heightmap-size", o.heightmapSize, c.heightmapSize);
    take("engine", o.engine, c.engine);
    o.instanceList = c.instanceList;
    o.morphPercentage = c.morphPercentage;
    o.skySliders = w->sky;
    auto slider = [&w](sky::SkySlider which, int fallback) {
        const QVariant v = w->sky.value(QLatin1String(sky::skySliderInfo(which).objectName));
        return v.isValid() ? v.toInt() : fallback;
    };
    take("sun-pitch", o.sunPitchSlider, slider(sky::SkySlider::SunPitch, o.sunPitchSlider));
    take("sun-azimuth", o.sunAzimuthSlider, slider(sky::SkySlider::SunAzimuth, o.sunAzimuthSlider));
    take("turbidity", o.turbiditySlider, slider(sky::SkySlider::Turbidity, o.turbiditySlider));
    if (w->terrainSize > 0) {
        o.terrainSize = w->terrainSize;
        o.elevationLow = w->elevationLow;
        o.elevationHigh = w->elevationHigh;
    }
    o.workFile = path;
    o.preset.clear();
    o.work = std::make_shared<const work::Work>(std::move(*w));
    return {};
}

QString generate(const GenerateOptions &options, const GenerateOutput &output)
{
    // An imported heightmap sets the terrain size and elevation range of the run.
    GenerateOptions o = options;
    if (const QString problem = checkOptions(o); !problem.isEmpty())
        return problem;
    ProgressReporter &progress = output.progress ? *output.progress : ProgressReporter::Null();
    auto *terminal = dynamic_cast<TerminalProgress *>(output.progress);
    const int tileStages = surfaceFileStages(surfaceFiles(o));
    auto stage = [&, count = 0, stages = 2 + (o.normalMapSize > 0) + (o.skySize > 0) + tileStages](const QString &text) mutable {
        if (terminal)
            terminal->SetStage(++count, stages, text);
        else
            progress.SetStatusText(text);
    };

    const QString gradients = o.resourceFolder + QStringLiteral("/resources/gradients");
    const QStringList available =
        QDir(gradients).entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (available.isEmpty())
        return QStringLiteral("no colour gradients in %1 (use --resources DIR)").arg(gradients);

    NoiseSettings settings;
    if (o.work) {
        // A work's node settings are read as the window reads them: as a user's preset.
        if (presets::read(o.work->nodes, settings, {true, o.resourceFolder + QStringLiteral("/presets")}).keysRead == 0)
            return QStringLiteral("the work %1 holds no node settings").arg(o.workFile);
    } else {
        // The preset: a file, or a name `orovista presets` lists. One in the program's own presets
        // folder names its images relative to it.
        if (!QFileInfo::exists(o.preset) && !o.preset.contains(QLatin1Char('/')))
            for (const QString &path : nativePresets(o.resourceFolder))
                if (QFileInfo(path).completeBaseName().compare(o.preset, Qt::CaseInsensitive) == 0 ||
                    QFileInfo(path).fileName().compare(o.preset, Qt::CaseInsensitive) == 0) {
                    o.preset = path;
                    break;
                }
        QFile presetFile(o.preset);
        if (!QFileInfo::exists(o.preset))
            return QStringLiteral("cannot read preset %1: no such file, nor a name `orovista presets` lists").arg(o.preset);
        if (!QFileInfo(o.preset).isFile())
            return QStringLiteral("cannot read preset %1: not a file").arg(o.preset);
        if (!presetFile.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read preset %1: %2").arg(o.preset, presetFile.errorString());
        const QString presetFolder = QFileInfo(o.preset).absolutePath();
        const bool native = presetFolder == QFileInfo(o.resourceFolder + QStringLiteral("/presets")).absoluteFilePath();
        if (presets::read(presetFile.readAll(), settings, {!native, presetFolder}).keysRead == 0)
            return QStringLiteral("%1 holds no preset settings").arg(o.preset);
    }
    if (const QString problem = applyOverrides(settings, o.overrides); !problem.isEmpty())
        return problem;
    if (!o.savePreset.isEmpty())
        if (const QString problem = replaceProblem(o.savePreset); !problem.isEmpty())
            return problem;
    if (o.seed)
        setAllSeeds(settings, *o.seed);
    FinalSettings &f = settings.final;
    f.leftGradient = chooseGradient(f.leftGradient, available, output);
    f.rightGradient = chooseGradient(f.rightGradient, available, output);
    f.mapStyle = 1;   // as after loading a preset in the window: texture pictures
    if (o.work)
        work::applyKept(*o.work, f);
    f.terrainSize = o.terrainSize;
    f.elevationLow = o.elevationLow;
    f.elevationHigh = o.elevationHigh;
    const bool sedimentEroded = f.erosion() == ErosionType::Sediment && erosionRequested(f);
    // A work's heightmaps come with sediment erosion's maps, as CREATE in the window writes them.
    if (o.work && sedimentEroded && !o.heightmapFormats.isEmpty())
        o.erosionMaps = true;
    if (o.erosionMaps && !sedimentEroded)
        return QStringLiteral("--erosion-maps needs sediment erosion, but the terrain's erosion is \"%1\" with %2 "
                              "iterations (set erosionType=%3 and erosionIterations)")
            .arg(erosionTypeNames.value(f.erosionType))
            .arg(f.erosionIterations)
            .arg(int(ErosionType::Sediment));

    // The heightmap in place of the graph's final map, read before anything is written.
    std::optional<ImportedTerrain> imported;
    if (!o.heightmapIn.isEmpty()) {
        HeightmapReadOptions read;
        read.rawSize = o.rawSize;
        read.terrainSize = o.terrainSize;
        read.metresAt0 = o.elevationLow;
        read.metresAt65535 = o.elevationHigh;
        auto heights = std::make_shared<Heightmap>();
        QString problem;
        try {
            if (!readHeightmap(o.heightmapIn, read, heights.get(), &problem))
                return problem;
            imported.emplace();
            if (!importedTerrain(std::move(heights), o.heightmapIn, &*imported, &problem))
                return problem;
        } catch (const std::bad_alloc &) {
            return QStringLiteral("not enough memory for the heightmap %1").arg(o.heightmapIn);
        }
        if (o.terrainSizeGiven)
            imported->terrainSize = o.terrainSize;
        else if (imported->terrainSize > 100000 && output.warning)
            output.warning(QStringLiteral("the heightmap spans %1 m: a terrain this large may need a farther camera")
                               .arg(imported->terrainSize));
        o.terrainSize = f.terrainSize = imported->terrainSize;
        o.elevationLow = f.elevationLow = imported->elevationLow;
        o.elevationHigh = f.elevationHigh = imported->elevationHigh;
        if (output.note) {
            output.note(importSummary(*imported));
            for (const QString &line : imported->heights->notes)
                output.note(line);
        }
    }

    // The output folder, and proof that it takes files.
    const QDir out(o.outFolder);
    const QString maps = out.filePath(QStringLiteral("maps"));
    if (!QDir().mkpath(maps))
        return QStringLiteral("cannot create the output folder %1").arg(maps);
    {
        QTemporaryFile probe(out.filePath(QStringLiteral(".orovista-XXXXXX")));
        if (!probe.open())
            return QStringLiteral("cannot write into %1").arg(out.absolutePath());
    }
    // What earlier runs that were killed left half-written; never what a run still going writes.
    QStringList folders{out.absolutePath(), QDir(maps).absolutePath()};
    if (!o.sceneFile.isEmpty())
        folders << QFileInfo(o.sceneFile).absolutePath();
    if (!o.savePreset.isEmpty())
        folders << QFileInfo(o.savePreset).absolutePath();
    folders.removeDuplicates();
    for (const QString &folder : folders)
        files::removeStaleTemporaries(folder);

    const MachineFolders machineFolders{maps, gradients};
    NoiseMap finalMap;
    Observer observer(output, f, maps);
    // Everything the run makes is staged and put in place only at its end: a run that fails
    // half-way leaves the previous run's outputs as they were, never a mix.
    files::Batch outputs;
    observer.nodeMaps.format = o.nodeMaps;
    observer.nodeMaps.folder = out;
    observer.nodeMaps.name = o.name;
    observer.nodeMaps.batch = &outputs;
    observer.wholeNodeMaps = o.wholeNodeMaps;
    SedimentMaps sedimentMaps;
    std::unique_ptr<SedimentTint> textureTint;
    auto runMachine = [&](int size, bool fullOctaves, bool nodeMaps = false, const QString &prefix = QString(),
                          const HeightShift *shift = nullptr) {
        MachineRun run;
        run.shift = shift;
        run.tint = shift ? textureTint.get() : nullptr;   // the pictures on the surface take its marks
        run.size = size;
        run.fullOctaves = fullOctaves;
        run.batchNoise = o.batchNoise;
        run.batch = &outputs;
        observer.beginPass(nodeMaps, prefix, size);
        if (imported)
            runImportedHeightmap(*imported, settings, run, machineFolders, finalMap, progress, observer);
        else
            runNoiseMachine(settings, run, machineFolders, finalMap, progress, observer);
        observer.endPass(finalMap);
    };
    QString error;
    auto writeNodeMapSidecar = [&]() -> bool {
        if (o.nodeMaps.isEmpty())
            return true;
        QJsonObject json;
        json[QStringLiteral("format")] = o.nodeMaps == QLatin1String("exr") ? QStringLiteral("OpenEXR, one 32-bit float channel Y")
                                                                            : QStringLiteral("little-endian float32, no header");
        json[QStringLiteral("units")] = QStringLiteral("raw noise values, not metres");
        json[QStringLiteral("rowOrder")] = QStringLiteral("as the height pictures: the first row written is the map's last row");
        json[QStringLiteral("terrainPassSize")] = 512;
        json[QStringLiteral("texturePassSize")] = o.textureSize;
        json[QStringLiteral("files")] = QJsonArray::fromStringList(observer.nodeMaps.written);
        const QByteArray bytes = QJsonDocument(json).toJson();
        error = files::writeFile(out.filePath(o.name + QStringLiteral("_node_maps.json")), {bytes}, &outputs);
        return error.isEmpty();
    };
    try {
        stage(QStringLiteral("terrain 512 × 512"));
        observer.keepBeforeErosion = true;
        // Kept whenever sediment erosion runs: the splat map takes its streams and deposits.
        observer.sedimentMaps = f.erosion() == ErosionType::Sediment ? &sedimentMaps : nullptr;
        runMachine(512, false, true);
        observer.keepBeforeErosion = false;
        observer.sedimentMaps = nullptr;
        // The run's one surface: the terrain the mesh is built from. Every other output is taken
        // from it or moved onto it.
        // An elevation model's range as it is; the options hold it in whole metres.
        const double low = imported ? imported->metresLow : o.elevationLow;
        const double high = imported ? imported->metresHigh : o.elevationHigh;
        TerrainSource source;
        source.heightMap = &finalMap;
        source.terrainSize = o.terrainSize;
        source.elevationLow = low;
        source.elevationHigh = high;
        source.colourPicturePath = outputs.current(maps + QStringLiteral("/TFFnoisePreview.jpg"));
        TerrainArrays mesh = buildTerrainArrays(source);
        // A work's terrain as it was sculpted: its vertices in place of the graph's.
        const bool sculpted = o.work && o.work->terrainSize > 0;
        if (sculpted) {
            if (mesh.gridSize != o.work->grid || mesh.vertices.size() != o.work->vertices.size())
                return QStringLiteral("the work's terrain is a %1 × %1 grid, not the %2 × %2 this version builds")
                    .arg(o.work->grid)
                    .arg(mesh.gridSize);
            mesh.vertices = o.work->vertices;
            recomputeTerrainNormals(mesh);
        }
        // The graph's map before erosion: a sculpted surface keeps the graph's finer detail
        // relative to it (without erosion the final map is the graph's).
        if (sculpted && observer.beforeErosion.empty())
            observer.beforeErosion = mapValues(finalMap);
        const RunSurface surface = sculpted ? RunSurface(mesh, std::move(observer.beforeErosion), false)
                                            : RunSurface(finalMap, std::move(observer.beforeErosion), low, high,
                                                         imported.has_value(), imported ? -imported->shift : 0.0);
        progress.SetStatusText(QStringLiteral("writing %1.obj").arg(o.name));
        ObjExtras extras;
        extras.normals = o.objNormals;
        if (o.datum)
            extras.heightOffset = surface.grid().base;
        if (o.objMaterial) {
            // One name without blanks for the library: an "mtllib" line lists file names.
            extras.materialName = objLineName(o.name);
            extras.materialLibrary = extras.materialName + QStringLiteral(".mtl");
            if (!writeTerrainMtl(out.filePath(extras.materialLibrary), extras.materialName, o.name + QStringLiteral(".jpg"),
                                 o.normalMapSize > 0 ? finalNormalMapName(o.name) : QString(), &error, &outputs))
                return error;
        }
        if (!writeTerrainObj(mesh, out.filePath(o.name + QStringLiteral(".obj")), &error, &outputs, extras))
            return error;
        SurfaceFiles asked = surfaceFiles(o);
        if (sedimentMaps.size > 0) {
            asked.erosion = &sedimentMaps;
            textureTint = std::make_unique<SedimentTint>(sedimentMaps, imported.has_value());
        }
        QString engineReport;
        if (const QString problem = writeSurfaceFiles(surface, asked, outputs, [&](const QString &text) { stage(text); }, &engineReport); !problem.isEmpty())
            return problem;

        // The pictures: sampled at their size and moved onto the surface.
        stage(QStringLiteral("texture %1 × %1").arg(o.textureSize));
        const std::unique_ptr<SurfaceDetail> textureDetail = surface.detail();
        runMachine(o.textureSize, true, true, QStringLiteral("texture_"), textureDetail.get());
        if (!writeNodeMapSidecar())
            return error;
        copyWhole(outputs.current(maps + QStringLiteral("/TFFnoisePreview.jpg")), out.filePath(o.name + QStringLiteral(".jpg")),
                  outputs);
        double normalDeviation = 0.0;
        if (o.normalMapSize > 0) {
            stage(QStringLiteral("normal map %1 × %1").arg(o.normalMapSize));
            NormalMapControls controls;
            controls.sizeIndex = int(pictureSizes().indexOf(o.normalMapSize)) + 1;
            controls.sizeText = QString::number(o.normalMapSize);
            controls.textureSizeText = QString::number(o.textureSize);
            const NormalMapPlan plan = planNormalMap(true, false, controls);
            std::unique_ptr<SurfaceDetail> normalDetail;
            if (plan.rerunPipeline) {
                normalDetail = surface.detail();
                runMachine(plan.resolution, true, false, QString(), normalDetail.get());
            }
            normalDeviation = surface.metres((normalDetail ? normalDetail : textureDetail)->deviation());
            // Written where the window keeps it, in maps/, but staged with the rest of the run.
            const QString inMaps = QDir(maps).filePath(finalNormalMapName(o.name));
            const QString staged = outputs.reserve(inMaps);
            const NormalMapOutput normal =
                writeNormalMap(finalMap, normalMapBumpHeight(o.bumpSlider, plan.resolution), staged);
            if (!normal.written)
                return QString(normal.error).replace(staged, inMaps);
            copyWhole(staged, out.filePath(finalNormalMapName(o.name)), outputs);
        }
        if (const QString problem = writePicturesSidecar(surface, asked, surface.metres(textureDetail->deviation()),
                                                         o.normalMapSize, normalDeviation, outputs);
            !problem.isEmpty())
            return problem;
        if (o.skySize > 0) {
            stage(QStringLiteral("sky dome %1 × %1").arg(o.skySize));
            const sky::SkyParameters skyParameters = skyOf(o);
            // A work's stars come from its seed, as in the window; otherwise they are drawn anew.
            sky::SkyDome dome;
            sky::SkyTextureOptions options;
            if (o.work && o.work->starSeed) {
                dome.build(skyParameters, float(o.terrainSize) * 0.5f, true, sky::seededRandom(*o.work->starSeed));
                options.random = sky::seededRandom(*o.work->starSeed, 1);
            } else {
                dome.build(skyParameters, float(o.terrainSize) * 0.5f, true);
            }
            const QString problem = sky::renderSkyDomeMap(skyParameters, dome,
                                                          out.filePath(sky::skyDomeTextureName(o.name)), o.skySize,
                                                          &outputs, options);
            if (!problem.isEmpty())
                return problem;
        }
        if (o.work && o.instanceList) {
            std::vector<PaintedItem> items;
            items.reserve(o.work->items.size());
            for (const work::Item &item : o.work->items) {
                items.push_back(item.values);
                items.back().file = item.prop;
            }
            error = files::writeFile(out.filePath(o.name + QStringLiteral("_instances.json")),
                                     {instanceList(items, o.name, surface.grid().base, {})}, &outputs);
            if (!error.isEmpty())
                return error;
        }
        if (!o.sceneFile.isEmpty()) {
            progress.SetStatusText(QStringLiteral("writing the scene %1").arg(o.sceneFile));
            if (const QString problem = writeSceneFile(o, out, outputs, o.datum ? surface.grid().base : 0.0, output.warning);
                !problem.isEmpty())
                return problem;
        }
        if (!o.savePreset.isEmpty()) {
            error = files::writeFile(o.savePreset, {presets::write(settings)}, &outputs);
            if (!error.isEmpty())
                return error;
        }
        // The one moment the run's files change: all of them, or (on any failure) none.
        progress.SetStatusText(QStringLiteral("putting the files in place"));
        outputs.commit();
        if (!engineReport.isEmpty() && output.report)
            output.report(engineReport);
    } catch (const files::WriteError &failure) {
        return failure.message();
    } catch (const noise::utils::Cancelled &) {
        return QStringLiteral("stopped");
    } catch (const noise::ExceptionOutOfMemory &) {
        return QStringLiteral("not enough memory for these sizes");
    } catch (const noise::Exception &) {
        return QStringLiteral("the preset's noise settings could not be computed");
    } catch (const std::bad_alloc &) {
        return QStringLiteral("not enough memory for these sizes");
    }
    progress.SetStatusText(QStringLiteral("done: %1").arg(out.absolutePath()));
    return {};
}

}   // namespace orovista::cli
