#pragma once
// `orovista generate`: a terrain from a preset, without a window. The same core as the window:
// preset → settings → noise machine (with erosion) → mesh → files.
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "scene/splatmap.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace noise::utils {
class ProgressReporter;
}

namespace orovista::work {
struct Work;
}

namespace orovista::cli {

struct GenerateOptions {
    QString preset;
    /// A work file's content in place of the preset (loadWork()): its node settings, its terrain
    /// as sculpted, its painted items, its sky and its view.
    std::shared_ptr<const work::Work> work;
    QString workFile;               ///< the work file's path, for messages
    bool instanceList = false;      ///< NAME_instances.json of the work's painted items
    QVariantMap skySliders;         ///< every sky slider of a work, by object name
    int morphPercentage = 0;        ///< a work's props' morphs: random(0, this) / 100 each
    /// Poser content folders (each holding a Runtime folder) where a work's props are found for
    /// the scene file; props are looked for only inside them.
    QStringList contentFolders;
    QString outFolder = QStringLiteral("out");
    QString name = QStringLiteral("my Terrain 1");
    int textureSize = 512;
    int normalMapSize = 0;          ///< 0: no normal map
    int bumpSlider = 1000;          ///< as the window's bump-height slider
    int terrainSize = 100;
    int elevationLow = 0;
    int elevationHigh = 15;
    QStringList heightmapFormats;   ///< of "png16", "r16", "exr"
    int heightmapSize = 512;
    /// "exr" or "raw": every node's map of the terrain and texture passes as 32-bit floats in raw
    /// noise units ("" for none).
    QString nodeMaps;
    QString resourceFolder;         ///< the program's resource folder ("orovistaData")
    int skySize = 0;                ///< 0: no sky texture; else NAME_skyDome.jpg of skySize × skySize
    int sunPitchSlider = 60;        ///< the sky sliders' units: degrees, 0 … 90
    int sunAzimuthSlider = 0;       ///< degrees, 0 … 360
    int turbiditySlider = 200;      ///< turbidity × 100, 0 … 1000
    /// A glTF scene of the terrain (".gltf" or ".glb"): the terrain with its textures, the sky
    /// dome when there is a sky texture, and the five cameras; "" for none.
    QString sceneFile;
    /// A heightmap or elevation model whose heights replace the noise graph's final map ("" for
    /// none): see terrain/heightmapimport.h. Its extent (or sidecar) sets the terrain size unless
    /// terrainSizeGiven; its heights set the elevation range. elevationLow and elevationHigh are
    /// then what 0 and 65535 of a 16-bit file without sidecar stand for.
    QString heightmapIn;
    int rawSize = 0;                ///< side of a headerless RAW; 0: from its sidecar or length
    bool terrainSizeGiven = false;  ///< --terrain-size was given: it wins over the file's extent

    // Batch runs.
    QStringList overrides;          ///< "KEY=VALUE" preset lines applied after the preset
    std::optional<int> seed;        ///< every seeded node's seed (n mod 17)
    QString savePreset;             ///< the settings of the run, written as a preset file

    // Engines and other programs.
    QString engine;                 ///< "unity" or "unreal": a heightmap the engine imports as it is
    int engineSize = 0;             ///< its samples along a side; 0: the engine's default
    bool flipRows = false;          ///< heightmaps with row 0 at the terrain's +z edge
    bool splat = false;             ///< NAME_splat.png at the texture size
    SplatSettings splatSettings;
    bool objNormals = false;        ///< "vn" lines in NAME.obj
    /// NAME.obj and the scene at the heights above an imported elevation model's datum (raised by
    /// the base height the model was moved down by); without it the lowest point stands at 0.
    bool datum = false;
    bool objMaterial = false;       ///< NAME.mtl with the textures, and its lines in NAME.obj

    // Tiles (0: none; else 1 … 64): the plane window split into tiles × tiles heightmaps of the
    // heightmap size (or the engine size), neighbours sharing `overlap` rows or columns of
    // samples, with a manifest.
    int tiles = 0;
    int overlap = 1;
    int tileColumn = -1, tileRow = -1;   ///< only this tile (both ≥ 0), for runs spread over machines

    /// false: the generators point by point, as before they were evaluated a row at a time (the
    /// same bits, slower); for side-by-side benchmarks.
    bool batchNoise = true;
    /// true: the machine keeps every node's whole map while it makes their pictures, as before it
    /// made them a band of rows at a time (the same files, more memory); for benchmarks.
    bool wholeNodeMaps = false;
    /// With sediment erosion: where the water ran, what it wore away and what it laid down on the
    /// terrain pass's map, as NAME_erosion_flow|wear|deposit.exr and .png.
    bool erosionMaps = false;
};

/// Messages for the user on the way (warnings) and the progress of the work.
struct GenerateOutput {
    noise::utils::ProgressReporter *progress = nullptr;
    std::function<void(const QString &)> warning;
    /// What the user should know that is no warning (what a heightmap read gave).
    std::function<void(const QString &)> note;
    /// Results meant for standard output: how to import the engine heightmap.
    std::function<void(const QString &)> report;
};

/// Checks options that do not need the file system (the --set values too). Empty when they are
/// fine, else one line naming the option, the values it takes and the value given.
QString checkOptions(const GenerateOptions &options);

/// The values a whole-number option takes, as a message says them ("between 10 and 5000", "one
/// of 512, 1024, …"); empty for an option without a range. option without its "--".
QString optionRange(const QString &option);

/// The one line for a value option does not take: out of its range (number) or not a whole
/// number at all, e.g. "--tiles must lie between 1 and 64, not 0".
QString badValue(const QString &option, const QString &value, bool number);

/// Runs the whole job. Returns an empty string on success, else the one-line reason it stopped.
/// Every file is written under a temporary name and renamed when complete.
QString generate(const GenerateOptions &options, const GenerateOutput &output);

/// Reads the work file at path into o.work and takes its CREATE choices, terrain size, elevation
/// and sky for every option not in given (the options the user gave, without "--"). Returns an
/// empty string, or one line: the file cannot be read, or an option that cannot go with a work
/// (a preset, a heightmap, overrides, a seed, a terrain size or elevation) was given.
QString loadWork(const QString &path, GenerateOptions &o, const QSet<QString> &given);

/// The sizes a texture or normal map may have.
const QList<int> &pictureSizes();

/// The native presets shipped in the resource folder, by file path.
QStringList nativePresets(const QString &resourceFolder);

}   // namespace orovista::cli
