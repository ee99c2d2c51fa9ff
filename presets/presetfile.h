#pragma once
// Preset files (".opf"): the whole noise graph as lines of key=value, with a 128 × 128 thumbnail
// of the same base name beside it.
//
// The writer always writes the same 70 keys in the same order. The reader takes the keys in any
// order, ignores unknown ones, leaves the settings of missing ones alone, reads numbers by the C
// library's atoi rules and takes any bytes without failing: a damaged file loads what it can.
// Values are clamped to the ranges of their controls, as the controls themselves would.
#include "noise/outputfiles.h"
#include "graph/noisesettings.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace orovista::presets {

/// How image paths in a preset are read: a user preset holds full paths; a native one holds file
/// names in the program's own presets folder.
struct ReadOptions {
    bool userPreset = true;
    QString nativeFolder;   ///< the program's presets folder, for native presets
};

/// What a read found beyond the settings themselves.
struct ReadResult {
    std::optional<QString> gradient1;   ///< the "gradient1" value, when the file has one
    std::optional<QString> gradient2;
    int keysRead = 0;                   ///< known keys applied
};

/// Applies the preset text to settings.
ReadResult read(const QByteArray &text, NoiseSettings &settings, const ReadOptions &options);
/// Reads a preset file; a file that cannot be opened reads as empty (opened = false).
ReadResult readFile(const QString &path, NoiseSettings &settings, const ReadOptions &options, bool *opened = nullptr);

/// Sets one key from a value given on its own (a command line's KEY=VALUE), strictly where read()
/// is lenient: a number must be a whole decimal number within the key's range ("1000", "nan",
/// "abc" or "3.5" for octaves are refused, never clamped or read as 0); a flag 0 (off), 1 or 2
/// (on); a text one line. Returns an empty string when set, else one line naming the key and its
/// range ("I1octaves must lie between 1 and 30"); *known says whether the key exists.
QString setKey(NoiseSettings &settings, const QString &key, const QString &value, const ReadOptions &options,
               bool *known = nullptr);

/// The preset text of settings: 70 lines in the fixed order; "gradient1" and "gradient2" are the
/// left and right gradient names of the settings.
QByteArray write(const NoiseSettings &settings);

/// Why name cannot name a preset in a folder, or a terrain's files (empty when it can): a name
/// must not hold a path separator or a control character (a line break), be "." or "..", or lead
/// out of the folder. Spaces, dots and non-ASCII are fine.
QString nameProblem(const QString &name);

/// Writes folder/name.opf, replacing an existing preset only once the new file is complete (or
/// stages it in batch, which puts it in place). On failure returns false with a message in *error
/// (with the system's reason) and leaves any earlier file as it was.
bool save(const QString &folder, const QString &name, const NoiseSettings &settings, QString *error = nullptr,
          files::Batch *batch = nullptr);

/// Writes the thumbnail folder/name.jpg from picture (scaled to exactly 128 × 128), the same way.
/// Returns false when the picture cannot be read (*error stays empty) or the file cannot be
/// written (*error says why).
bool saveThumbnail(const QString &folder, const QString &name, const QString &picture, QString *error = nullptr,
                   files::Batch *batch = nullptr);

/// The number of keys every preset holds.
inline constexpr int keyCount = 70;
/// The keys of sediment erosion, written after those only when it is the erosion type; a preset
/// without them reads with their start values.
inline constexpr int sedimentKeyCount = 7;

}   // namespace orovista::presets
