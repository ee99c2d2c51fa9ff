#pragma once
// Work files (".orovista"): everything the window holds after the noise graph, so a piece of work
// can be closed and opened again: the node settings (as a preset holds them), the sculpted
// terrain, the painted items, the sky, the view and the CREATE tab's choices.
//
// One JSON document, UTF-8:
//
//     { "format": "orovista-work", "version": 1,
//       "nodes": "<the preset text, key=value lines>",
//       "terrain": { "size": S, "grid": N, "vertices": "<base64 of zlib of N·N·3 float32 LE>",
//                    "sizeExponent": e, "elevation": [low, high] },
//       "items": [ { "prop": "Runtime/Libraries/…/pine.pp2", "x": …, "y": …, "z": …,
//                    "rot": [x, y, z], "scale": s, "scales": [x, y, z], "tint": [r, g, b],
//                    "id": n } … ],
//       "chosenProp": "Runtime/…", "sky": { "<slider name>": value … }, "starSeed": n,
//       "camera": [x, y, z, yaw, pitch, roll], "light": [pitch, azimuth, intensity],
//       "textureLight": [on, contrast, intensity, azimuth, elevation],
//       "create": { "<control name>": value … } }
//
// The terrain is the full mesh as sculpted, every vertex (x, y, z) as it was in memory: a work
// file gives back the same surface bit for bit, which a picture could not. Prop files are kept
// relative to their content library, so a work file opens on another machine whose library
// holds the same props. A missing part (no terrain yet, no items) is simply left out. The star
// seed makes the sky's random stars (in the preview and in the sky texture) the same each time the
// work is opened or made into a scene.
//
// The reader takes any bytes and never trusts a size: the vertex block must unpack to exactly
// N·N·3 floats (N at most 4097, checked before anything is unpacked), every number must be
// finite, and a file or an item list beyond sane limits is refused. A format version other
// than this one's is refused with a message that says which versions differ; a newer minor
// addition (an unknown key) is ignored.
#include "graph/noisesettings.h"
#include "populate/painteditem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace orovista::work {

inline constexpr int formatVersion = 1;
inline constexpr const char *fileSuffix = ".orovista";
/// The largest terrain grid and item count a work file may hold.
inline constexpr int maximumGrid = 4097;
inline constexpr int maximumItems = 1000000;

/// A painted item as the work file keeps it: its prop relative to the content library; the
/// model's bounds and triangles come from the prop when the work is opened.
struct Item {
    QString prop;
    PaintedItem values;
};

struct Work {
    QByteArray nodes;                  ///< the preset text of the node settings
    int terrainSize = 0;               ///< 0: no terrain in the work
    int terrainSizeExponent = 2;       ///< the terrain-size slider (10^value)
    int elevationLow = 0, elevationHigh = 15;   ///< metres, as the final node sets them
    int grid = 0;
    std::vector<float> vertices;       ///< grid · grid · 3
    std::vector<Item> items;
    QString chosenProp;                ///< relative to its library; empty for none
    QVariantMap sky;                   ///< slider object name → value
    std::optional<std::uint32_t> starSeed;
    std::optional<std::array<double, 6>> camera;
    std::optional<std::array<int, 3>> light;   ///< the preview's light
    /// The final node's light on the colour texture (presets do not keep it): on (0 or 1),
    /// contrast, intensity, azimuth and elevation as its controls hold them.
    std::optional<std::array<int, 5>> textureLight;
    QVariantMap create;                ///< control object name → value (int, bool or text)
};

/// The file's bytes.
QByteArray write(const Work &work);
/// Reads a work file's bytes; on failure returns nothing and one line in *error.
std::optional<Work> read(const QByteArray &bytes, QString *error);
/// Sets in @a final what a work keeps beyond its preset text: the terrain's size and elevation
/// (when it has a terrain) and the texture's light (when it has one).
void applyKept(const Work &work, FinalSettings &final);

/// Reads a work file from disk: only a regular file, never one larger than a work file can be.
std::optional<Work> readFile(const QString &path, QString *error);

/// The CREATE tab's lists, as its controls offer them; a work keeps the index chosen in each.
inline constexpr int textureSizeChoices[] = {512, 1024, 2048, 4096, 8192, 16384};
inline constexpr int skySizeChoices[] = {0, 4096, 8192, 16384};               ///< 0: "no thanks"
inline constexpr int normalMapSizeChoices[] = {0, 512, 1024, 2048, 4096, 8192, 16384};
/// The heightmap formats of each choice: none, PNG, RAW, EXR, all three.
QStringList heightmapFormatChoice(int index);
/// "", "unity" or "unreal".
QString engineChoice(int index);

/// What a work's CREATE choices ask for, as values.
struct CreateChoices {
    QString name = QStringLiteral("my Terrain 1");
    int textureSize = 512;
    int skySize = 0;
    int normalMapSize = 0;
    int bumpSlider = 1000;
    QStringList heightmapFormats;
    int heightmapSize = 1025;
    QString engine;
    bool instanceList = false;
    int morphPercentage = 0;
};
CreateChoices createChoices(const Work &work);

/// The path of @a file relative to the first of @a libraries that holds it ("" when none does).
QString relativeToLibrary(const QString &file, const QStringList &libraries);
/// The first file named @a relative inside one of @a libraries that exists and does not lead out
/// of it (no "..", not absolute); empty when none.
QString resolveInLibraries(const QString &relative, const QStringList &libraries);

}   // namespace orovista::work
