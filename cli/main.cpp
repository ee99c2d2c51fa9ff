// orovista: the terrain generator on the command line.
//   orovista generate --preset FILE [--out DIR] [--sky SIZE] [...]
//   orovista generate --work FILE [--out DIR] [...]
//   orovista presets
#include "cli/generate.h"
#include "cli/terminalprogress.h"
#include "noise/outputfiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace {

using namespace orovista::cli;

constexpr int usageError = 2;
constexpr int failure = 1;

int fail(const QString &message, int status)
{
    std::fprintf(stderr, "orovista: %s\n", message.toLocal8Bit().constData());
    return status;
}

QString defaultResources()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../plugins/orovistaData"));
}

bool toInt(const QString &text, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

int runPresets(const QString &resources)
{
    const QStringList presets = nativePresets(resources);
    if (presets.isEmpty())
        return fail(QStringLiteral("no presets in %1/presets").arg(resources), failure);
    for (const QString &path : presets)
        std::printf("%-24s %s\n", QFileInfo(path).completeBaseName().toLocal8Bit().constData(),
                    QDir::cleanPath(path).toLocal8Bit().constData());
    return 0;
}

/// Ctrl+C or a kill while a run writes: the half-written files are removed before the
/// process ends, so what is left under the output names is the previous run's, whole.
/// The signals are blocked in every thread and taken by one watcher that may lock and
/// remove files, which a signal handler may not.
void watchForStopSignals()
{
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::thread([stops] {
        int signalNumber = 0;
        if (sigwait(&stops, &signalNumber) != 0)
            return;
        orovista::files::removeAllTemporaries();
        if (signalNumber == SIGINT)
            std::fputs("\norovista: stopped\n", stderr);
        _exit(128 + signalNumber);
    }).detach();
}

}   // namespace

int main(int argc, char **argv)
{
    watchForStopSignals();   // before any thread starts, so that all inherit the mask
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orovista"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1.0.1"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "OROVISTA terrain generator.\n\nCommands:\n"
        "  generate   build a terrain from a preset and write its mesh, textures and heightmaps\n"
        "  presets    list the presets that ship with the program"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("generate or presets"));
    const QCommandLineOption resources(QStringLiteral("resources"),
                                       QStringLiteral("The program's resource folder (default: %1).").arg(defaultResources()),
                                       QStringLiteral("DIR"), defaultResources());
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Print no progress."));
    const QCommandLineOption preset(QStringLiteral("preset"), QStringLiteral("The preset to build: a .opf file, or a name `orovista presets` lists (e.g. dunes)."), QStringLiteral("FILE"));
    const QCommandLineOption workOption(QStringLiteral("work"),
                                        QStringLiteral("Build the scene of a work file (SAVE WORK in the window, or the NAME.orovista "
                                                       "a CREATE writes) in place of a preset: its sculpted terrain, "
                                                       "sky, view, painted props (--scene, and NAME_instances.json when "
                                                       "the work asks for it) and CREATE choices, which the options given "
                                                       "here override. The files are those the window's CREATE writes."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption contentOption(QStringLiteral("content"),
                                           QStringLiteral("With --work and --scene: a Poser content folder (holding a "
                                                          "Runtime folder) where the work's props are found; repeat for "
                                                          "several."),
                                           QStringLiteral("DIR"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Output folder (default: ./out)."), QStringLiteral("DIR"),
                                 QStringLiteral("out"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Terrain name (default: \"my Terrain 1\")."),
                                  QStringLiteral("NAME"), QStringLiteral("my Terrain 1"));
    const QCommandLineOption texture(QStringLiteral("texture-size"),
                                     QStringLiteral("Colour texture size: 512 … 16384 (default 512)."), QStringLiteral("T"),
                                     QStringLiteral("512"));
    const QCommandLineOption normal(QStringLiteral("normal-map"), QStringLiteral("Also write a normal map of this size."),
                                    QStringLiteral("N"));
    const QCommandLineOption bump(QStringLiteral("bump"), QStringLiteral("Normal-map bump height, 10 … 5000 (default 1000)."),
                                  QStringLiteral("V"), QStringLiteral("1000"));
    const QCommandLineOption terrainSize(QStringLiteral("terrain-size"),
                                         QStringLiteral("Terrain side in metres (default 100)."), QStringLiteral("S"),
                                         QStringLiteral("100"));
    const QCommandLineOption elevation(QStringLiteral("elevation"),
                                       QStringLiteral("Lowest and highest elevation in metres (default 0:15)."),
                                       QStringLiteral("LOW:HIGH"), QStringLiteral("0:15"));
    const QCommandLineOption heightmap(QStringLiteral("heightmap"),
                                       QStringLiteral("Heightmap formats, comma separated: png16, r16, exr."),
                                       QStringLiteral("FORMATS"));
    const QCommandLineOption nodeMaps(QStringLiteral("node-maps"),
                                      QStringLiteral("Also write every node's map of the terrain and texture passes as 32-bit "
                                                     "floats in raw noise units: exr (OpenEXR) or raw (little-endian float32)."),
                                      QStringLiteral("FORMAT"));
    const QCommandLineOption erosionMaps(QStringLiteral("erosion-maps"),
                                         QStringLiteral("With sediment erosion: also write where the water ran, what it "
                                                        "wore away and what it laid down, as NAME_erosion_flow, _wear and "
                                                        "_deposit .exr (32-bit floats: m³ of water, metres) and .png (grey)."));
    const QCommandLineOption heightmapSize(QStringLiteral("heightmap-size"),
                                           QStringLiteral("Heightmap size (default 512, the mesh's)."), QStringLiteral("N"),
                                           QStringLiteral("512"));
    const QCommandLineOption skyOption(QStringLiteral("sky"),
                                       QStringLiteral("Also write the sky dome texture NAME_skyDome.jpg of this size: 4096, "
                                                      "8192, 16384 (or a power of two from 256 for a preview)."),
                                       QStringLiteral("SIZE"));
    const QCommandLineOption sunPitch(QStringLiteral("sun-pitch"),
                                      QStringLiteral("Sun pitch of the sky, degrees 0 … 90 (default 60)."),
                                      QStringLiteral("DEG"), QStringLiteral("60"));
    const QCommandLineOption sunAzimuth(QStringLiteral("sun-azimuth"),
                                        QStringLiteral("Sun azimuth of the sky, degrees 0 … 360 (default 0)."),
                                        QStringLiteral("DEG"), QStringLiteral("0"));
    const QCommandLineOption turbidity(QStringLiteral("turbidity"),
                                       QStringLiteral("Turbidity of the sky, 0 … 10 in hundredths (default 2; "
                                                      "hazier above, as the window's turbidity slider)."),
                                       QStringLiteral("T"), QStringLiteral("2"));
    const QCommandLineOption sceneOption(QStringLiteral("scene"),
                                         QStringLiteral("Also write a glTF 2.0 scene (.gltf, or .glb with everything "
                                                        "inside): the terrain with its texture and normal map, the sky "
                                                        "dome with --sky, and five cameras."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption heightmapIn(QStringLiteral("heightmap-in"),
                                         QStringLiteral("Use this heightmap or elevation model as the terrain: a 16-bit "
                                                        "PNG, an EXR in metres, a RAW r16, or an elevation model (GeoTIFF, "
                                                        "ASCII grid, SRTM .hgt, USGS DEM, DTED, EHdr/ENVI, BT, Surfer "
                                                        "grid); formats that name other files (VRT) and URLs are refused. Its extent gives the terrain size (unless "
                                                        "--terrain-size is given), its heights the elevation range; "
                                                        "erosion and colours come from the preset."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption rawSize(QStringLiteral("raw-size"),
                                     QStringLiteral("Side of a headerless RAW given to --heightmap-in (default: from its "
                                                    "sidecar or its length)."),
                                     QStringLiteral("N"));
    const QCommandLineOption setOption(QStringLiteral("set"),
                                       QStringLiteral("Override one preset key after loading, as a preset line names it "
                                                      "(e.g. I1octaves=3; a value outside the key's range is "
                                                      "refused); repeat for several."),
                                       QStringLiteral("KEY=VALUE"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Give every seeded node the seed N mod 17 (the seeds the nodes take)."),
                                        QStringLiteral("N"));
    const QCommandLineOption savePreset(QStringLiteral("save-preset"),
                                        QStringLiteral("Write the run's settings as a preset file, to make the same terrain "
                                                       "in the window."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption engineOption(QStringLiteral("engine"),
                                          QStringLiteral("Also write a heightmap the engine imports as it is, with a sidecar "
                                                         "NAME_ENGINE.json and the import values on standard output: unity "
                                                         "(16-bit RAW, 2^n + 1 samples) or unreal (16-bit PNG and r16, whole "
                                                         "landscape components)."),
                                          QStringLiteral("unity|unreal"));
    const QCommandLineOption engineSize(QStringLiteral("engine-size"),
                                        QStringLiteral("Samples along a side of the engine heightmap (Unity 33 … 4097, "
                                                       "Unreal 127, 253, 505, 1009, 2017, 4033, 8129; default 1025 or 1009, "
                                                       "or the next above the texture size)."),
                                        QStringLiteral("N"));
    const QCommandLineOption flipRows(QStringLiteral("flip-rows"),
                                      QStringLiteral("Write heightmap rows in the other order (row 0 at the terrain's +z "
                                                     "edge); the sidecars say which."));
    const QCommandLineOption splat(QStringLiteral("splat"),
                                   QStringLiteral("Also write NAME_splat.png at the texture size: RGBA weights of sand, "
                                                  "grass, rock and snow, summing to 255."));
    const QCommandLineOption splatSand(QStringLiteral("splat-sand"),
                                       QStringLiteral("Sand below this fraction of the elevation range (default 0.08)."),
                                       QStringLiteral("F"));
    const QCommandLineOption splatSnow(QStringLiteral("splat-snow"),
                                       QStringLiteral("Snow above this fraction of the elevation range (default 0.75)."),
                                       QStringLiteral("F"));
    const QCommandLineOption splatRock(QStringLiteral("splat-rock"),
                                       QStringLiteral("Rock on slopes steeper than this, degrees (default 35)."),
                                       QStringLiteral("DEG"));
    const QCommandLineOption objNormals(QStringLiteral("obj-normals"), QStringLiteral("Write vertex normals into NAME.obj."));
    const QCommandLineOption datum(QStringLiteral("datum"),
                                   QStringLiteral("With --heightmap-in: NAME.obj and the --scene at the elevation model's own "
                                                  "heights (its datum at y 0) instead of its lowest point at 0."));
    const QCommandLineOption objMaterial(QStringLiteral("obj-material"),
                                         QStringLiteral("Write a material library with the colour texture and normal map "
                                                        "and refer to it from NAME.obj, so that 3D programs show the "
                                                        "textured terrain on import."));
    const QCommandLineOption tilesOption(QStringLiteral("tiles"),
                                         QStringLiteral("Split the terrain into N × N (1 … 64) heightmap tiles of the heightmap size "
                                                        "(or the engine size), written as NAME_height_xI_yJ.* with a manifest "
                                                        "NAME_tiles.json. The tiles are cut from the run's one terrain, so "
                                                        "neighbours match exactly along their seams."),
                                         QStringLiteral("N"));
    const QCommandLineOption overlapOption(QStringLiteral("overlap"),
                                           QStringLiteral("Samples neighbouring tiles share along their seams (default 1)."),
                                           QStringLiteral("K"), QStringLiteral("1"));
    const QCommandLineOption tileOption(QStringLiteral("tile"),
                                        QStringLiteral("Make only tile I,J of --tiles (column, row from 0), so that a job "
                                                       "runner can spread a large world over machines."),
                                        QStringLiteral("I,J"));
    parser.addOptions({tilesOption, overlapOption, tileOption});
    parser.addOptions({resources, quiet, preset, workOption, contentOption, out, name, texture, normal, bump, terrainSize, elevation, heightmap, nodeMaps, erosionMaps,
                       heightmapSize, skyOption, sunPitch, sunAzimuth, turbidity, sceneOption, heightmapIn, rawSize,
                       setOption, seedOption, savePreset, engineOption, engineSize, flipRows, splat, splatSand, splatSnow,
                       splatRock, objNormals, objMaterial, datum});

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText() + QStringLiteral(" (see orovista --help)"), usageError);
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("orovista 1.1.0.1\n");
        return 0;
    }
    const QStringList commands = parser.positionalArguments();
    if (commands.size() != 1)
        return fail(commands.isEmpty() ? QStringLiteral("no command: use generate or presets (see orovista --help)")
                                       : QStringLiteral("one command at a time: ") + commands.join(QLatin1Char(' ')),
                    usageError);
    const QString command = commands.first();
    if (command == QLatin1String("presets"))
        return runPresets(parser.value(resources));
    if (command != QLatin1String("generate"))
        return fail(QStringLiteral("unknown command \"%1\": use generate or presets").arg(command), usageError);

    GenerateOptions o;
    o.preset = parser.value(preset);
    o.outFolder = parser.value(out);
    o.name = parser.value(name);
    o.resourceFolder = parser.value(resources);
    // Every number is read whole and checked against its range: nothing is clamped or guessed.
    auto number = [&](const QCommandLineOption &option, int *value) {
        if (toInt(parser.value(option), value))
            return QString();
        return badValue(option.names().first(), parser.value(option), false);
    };
    struct Number { const QCommandLineOption &option; int *value; bool given; };
    for (const Number &n : {Number{texture, &o.textureSize, true}, Number{bump, &o.bumpSlider, true},
                            Number{terrainSize, &o.terrainSize, true}, Number{heightmapSize, &o.heightmapSize, true},
                            Number{sunPitch, &o.sunPitchSlider, true}, Number{sunAzimuth, &o.sunAzimuthSlider, true},
                            Number{normal, &o.normalMapSize, parser.isSet(normal)},
                            Number{skyOption, &o.skySize, parser.isSet(skyOption)},
                            Number{rawSize, &o.rawSize, parser.isSet(rawSize)},
                            Number{engineSize, &o.engineSize, parser.isSet(engineSize)},
                            Number{tilesOption, &o.tiles, parser.isSet(tilesOption)},
                            Number{overlapOption, &o.overlap, true}}) {
        if (!n.given)
            continue;
        if (const QString problem = number(n.option, n.value); !problem.isEmpty())
            return fail(problem, usageError);
    }
    {
        // The turbidity the window shows (its slider holds hundredths).
        bool ok = false;
        const double t = parser.value(turbidity).toDouble(&ok);
        if (!ok || !std::isfinite(t))
            return fail(QStringLiteral("--turbidity needs a number between 0 and 10, not \"%1\"").arg(parser.value(turbidity)),
                        usageError);
        const double hundredths = std::round(t * 100.0);
        if (hundredths < 0.0 || hundredths > 1000.0)
            return fail(badValue(QStringLiteral("turbidity"), parser.value(turbidity), true), usageError);
        o.turbiditySlider = int(hundredths);
    }
    // 0 stands for "none" inside; given on the command line it is a value like any other.
    for (const Number &n : {Number{normal, &o.normalMapSize, parser.isSet(normal)},
                            Number{skyOption, &o.skySize, parser.isSet(skyOption)},
                            Number{rawSize, &o.rawSize, parser.isSet(rawSize)},
                            Number{engineSize, &o.engineSize, parser.isSet(engineSize)},
                            Number{tilesOption, &o.tiles, parser.isSet(tilesOption)}})
        if (n.given && *n.value <= 0)
            return fail(badValue(n.option.names().first(), parser.value(n.option), true), usageError);
    const QStringList range = parser.value(elevation).split(QLatin1Char(':'));
    if (range.size() != 2 || !toInt(range[0], &o.elevationLow) || !toInt(range[1], &o.elevationHigh))
        return fail(QStringLiteral("--elevation needs LOW:HIGH in whole metres, LOW between -10000 and 0 and HIGH between "
                                   "0 and 9000, not \"%1\"").arg(parser.value(elevation)),
                    usageError);
    if (parser.isSet(nodeMaps))
        o.nodeMaps = parser.value(nodeMaps);
    o.erosionMaps = parser.isSet(erosionMaps);
    if (parser.isSet(sceneOption))
        o.sceneFile = parser.value(sceneOption);
    if (parser.isSet(heightmapIn))
        o.heightmapIn = parser.value(heightmapIn);
    o.terrainSizeGiven = parser.isSet(terrainSize);
    if (parser.isSet(heightmap))
        o.heightmapFormats = parser.value(heightmap).split(QLatin1Char(','), Qt::SkipEmptyParts);
    o.overrides = parser.values(setOption);
    if (parser.isSet(seedOption)) {
        int seed = 0;
        if (const QString problem = number(seedOption, &seed); !problem.isEmpty())
            return fail(problem, usageError);
        o.seed = seed;
    }
    o.savePreset = parser.value(savePreset);
    o.engine = parser.value(engineOption);
    o.flipRows = parser.isSet(flipRows);
    o.splat = parser.isSet(splat);
    struct Fraction { const QCommandLineOption &option; double *value; const char *range; };
    for (const Fraction &f : {Fraction{splatSand, &o.splatSettings.sandUpTo, "between 0 and 1"},
                              Fraction{splatSnow, &o.splatSettings.snowFrom, "between 0 and 1"},
                              Fraction{splatRock, &o.splatSettings.rockFromDegrees, "between 0 and 90"}}) {
        if (!parser.isSet(f.option))
            continue;
        bool ok = false;
        *f.value = parser.value(f.option).toDouble(&ok);   // "nan" and "inf" are numbers here; their range refuses them
        if (!ok)
            return fail(QStringLiteral("--%1 needs a number %2, not \"%3\"")
                            .arg(f.option.names().first(), QLatin1String(f.range), parser.value(f.option)),
                        usageError);
    }
    if (parser.isSet(tileOption)) {
        const QStringList ij = parser.value(tileOption).split(QLatin1Char(','));
        if (ij.size() != 2 || !toInt(ij[0], &o.tileColumn) || !toInt(ij[1], &o.tileRow) || o.tileColumn < 0 || o.tileRow < 0)
            return fail(QStringLiteral("--tile needs I,J (whole numbers from 0 below --tiles), not \"%1\"")
                            .arg(parser.value(tileOption)),
                        usageError);
    }
    o.objNormals = parser.isSet(objNormals);
    o.datum = parser.isSet(datum);
    o.objMaterial = parser.isSet(objMaterial);
    o.contentFolders = parser.values(contentOption);
    if (parser.isSet(workOption)) {
        const QStringList names = parser.optionNames();
        if (const QString problem = loadWork(parser.value(workOption), o, QSet<QString>(names.begin(), names.end()));
            !problem.isEmpty())
            return fail(problem, problem.startsWith(QLatin1String("--")) ? usageError : failure);
    }
    if (const QString problem = checkOptions(o); !problem.isEmpty())
        return fail(problem, usageError);

    TerminalProgress progress(parser.isSet(quiet));
    GenerateOutput output;
    output.progress = &progress;
    output.warning = [&](const QString &text) {
        progress.Finish();
        std::fprintf(stderr, "orovista: warning: %s\n", text.toLocal8Bit().constData());
    };
    output.note = [&](const QString &text) {
        if (parser.isSet(quiet))
            return;
        progress.Finish();
        std::fprintf(stderr, "orovista: %s\n", text.toLocal8Bit().constData());
    };
    output.report = [&](const QString &text) {
        progress.Finish();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    };
    const QString problem = generate(o, output);
    progress.Finish();
    if (!problem.isEmpty())
        return fail(problem, failure);
    return 0;
}
