#pragma once
// The noise machine: turns the settings of the six nodes into up to nine height maps, their grey
// and coloured pictures in the "maps" folder, and the final height map the later stages read.
//
// One run, at resolution N over the plane window x in [H, H + B), z in [V, V + B):
//   nodes 1–6  INPUT 1, INPUT 2, DEFORMER 1, DEFORMER 2, the COMBINER, the final map;
//   nodes 7–9  only when the two gradients differ: the control noise and the two turbulent
//              deformer outputs, blended into the colour texture "TFFnoisePreview.jpg".
// Maps are sampled with every node evaluated in order at each point through the graph's Caches,
// rows shared among threads with one graph per thread (Evaluation::Fused); Evaluation::PerNode
// builds the nodes one after another, each with its own pass, and gives the same bits. The fused
// run renders and writes the pictures a band of rows at a time as it samples them, keeping only
// the final map whole (unless the observer asks for every map). Either
// way the generators are computed a row at a time (noise::utils::RowBatch) unless
// MachineRun::batchNoise is false; that too gives the same bits.
#include "graph/noisesettings.h"
#include "noise/image.h"
#include "noise/noisemap.h"
#include "noise/progressreporter.h"

#include <QString>

#include <functional>

namespace orovista {

namespace files {
class Batch;
}

/// What a run tells its caller on the way.
class MachineObserver {
public:
    virtual ~MachineObserver();
    /// A warning for the user (the caller shows it as a "Warning" box or prints it).
    virtual void warning(const QString &text);
    /// The noise image file of an "Image" node could not be read (reason says why); the run goes
    /// on with an empty picture. Told once per file and run; by default a warning naming it.
    virtual void unreadableImage(const QString &file, const QString &reason);
    /// Node 1 … 9 is built (map) and its pictures are written (either path may be empty). Unless
    /// wantsNodeMaps() says otherwise, map is empty for every node but 5 and 6 in a fused run that
    /// writes pictures: it makes them a band of rows at a time and keeps no other map whole.
    virtual void nodeDone(int node, const noise::utils::NoiseMap &map, const QString &heightPicture,
                          const QString &colourPicture);
    /// Whether nodeDone() needs every node's whole map (the memory of a map per node at once).
    virtual bool wantsNodeMaps() const;
    /// The final map is complete and erosion is asked for: erode finalMap now, and rewrite its
    /// grey picture, which until the run ends is the file greyPicture.
    virtual void erode(noise::utils::NoiseMap &finalMap, const QString &greyPicture);
};

/// Moves the height maps of a run onto a surface made elsewhere (a sculpted or eroded terrain):
/// the run adds the shift to its final map and to the maps coloured into the texture before it
/// draws any picture, and does not erode the result again (the surface carries its erosion).
class HeightShift {
public:
    virtual ~HeightShift();
    /// Rows [first, first + count) of an n × n run: finalRow(y) is the final map's row y as the
    /// graph made it; shift (count × n, row by row) receives what is added to the maps there.
    /// Called from one thread at a time.
    virtual void rowShift(int first, int count, int n, const std::function<const float *(int)> &finalRow,
                          float *shift) const = 0;
};

/// Changes the colour texture (the final node's colour picture) after the gradients and the light
/// coloured it and before it is compressed, a row at a time: the marks sediment erosion left, for
/// instance. Every other picture of the run stays as the graph makes it.
class PictureTint {
public:
    virtual ~PictureTint();
    /// Row y (map order: row 0 is the picture's last) of an n × n texture, n colours. Rows come in
    /// any order, one call at a time.
    virtual void tintRow(int y, int n, noise::utils::Color *row) const = 0;
};

struct MachineFolders {
    QString maps;        ///< where the pictures go
    QString gradients;   ///< the colour gradients
};

enum class Evaluation { Fused, PerNode };

struct MachineRun {
    int size = 256;                 ///< N
    bool fullOctaves = false;       ///< the two inputs at 30 octaves (the control noise keeps its own)
    Evaluation evaluation = Evaluation::Fused;
    int threads = 0;                ///< 0: one per hardware thread
    bool writePictures = true;      ///< false: only the maps (benchmarks)
    bool batchNoise = true;         ///< generators a row at a time (same bits; false: point by point)
    /// Rows per band of the pictures of a fused run (0: about 8 MiB of rows of all nodes).
    int pictureBandRows = 0;
    /// false: a band's pictures are coloured and compressed one after another on one thread, as
    /// before they shared the run's threads (the same files, slower); for side-by-side benchmarks.
    bool parallelPictures = true;
    /// A tile of a larger grid: the plane window is divided into windowSamples steps along each
    /// side (0: size), and the run samples size × size of them from column firstColumn and row
    /// firstRow on. A sample's coordinates depend only on its place in the larger grid, so tiles
    /// that share samples share their values bit for bit. Tiles are sampled by the fused
    /// evaluation; erosion still works on each tile's own map.
    int windowSamples = 0;
    int firstColumn = 0;
    int firstRow = 0;
    /// The batch of a larger job (not owned): the run stages its pictures there, reads its own
    /// earlier pictures through it, and leaves the commit to the job, so that the job's files
    /// change all together or not at all. Null: the run puts its pictures in place itself.
    files::Batch *batch = nullptr;
    /// The surface the maps are moved onto (not owned); null: the graph's maps as they are.
    const HeightShift *shift = nullptr;
    /// What changes the colour texture (not owned); null: the texture as coloured.
    const PictureTint *tint = nullptr;
};

/// Runs the machine once. finalMap receives node 6 (and then erosion, through the observer).
///
/// The run's pictures are written under temporary names and put in place together when it ends
/// (or, with MachineRun::batch, when the job commits that batch); finalMap changes only then. A run that fails or is cancelled leaves the pictures and finalMap
/// as they were and throws: noise::Exception for settings the modules refuse,
/// noise::utils::Cancelled when the reporter says the user stopped it (asked at every progress
/// point, at least every tenth of a second), orovista::files::WriteError for a picture that could
/// not be written. The observer has by then seen pictures by their temporary names.
void runNoiseMachine(const NoiseSettings &settings, const MachineRun &run, const MachineFolders &folders,
                     noise::utils::NoiseMap &finalMap, noise::utils::ProgressReporter &reporter,
                     MachineObserver &observer);

/// Replaces values no picture, erosion or mesh can use: NaN (a negative value to a fractional
/// power) becomes 0, +∞ and −∞ (zero to a negative power) become +1 and −1, the ends of the
/// nominal range.
void replaceNonFinite(noise::utils::NoiseMap &map);

/// The warning for a noise image that cannot be read.
QString unreadableImageWarning(const QString &file, const QString &reason);

/// The grey gradient every height picture uses.
inline const QString greyGradientName = QStringLiteral("black and white.bmp");
inline const QString gradientMissingWarning =
    QStringLiteral("Gradient file not found. Unpredictable behaviour may occur.");

/// The picture file names of nodes 1 … 9: height (grey) and colour; empty where a node has none.
QString heightPictureName(int node);
QString colourPictureName(int node);

}   // namespace orovista
