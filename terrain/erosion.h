#pragma once
// Erosion and smoothing of the final height map.
//
// The erosion step copies the height map into a working grid normalised to 0 … 1, runs one of
// the grid algorithms on it, writes the result back (without the former minimum, so the map ends
// in 0 … max − min) and rewrites the grey picture "HFFnoisePreview.jpg" from the grid.
//
// Every algorithm works in single precision on a flat row-major array of N × N floats and updates
// it in place, so that a cell visited later sees the changes made by earlier ones. A pass is one
// sweep over that array: no allocation, no per-cell calls, no conversions.
//
// Every algorithm, smoothing included, can also run on several threads, each sweeping whole
// passes a few rows behind the pass before, or, with few passes, as a wavefront over the rows
// (smoothing: over strips of columns; see erosion.cpp); the result is bit for bit the one of the
// sequential sweep.
#include "graph/noisesettings.h"
#include "terrain/sedimenterosion.h"

#include <QString>

#include <cstddef>
#include <vector>

namespace noise::utils {
class NoiseMap;
class ProgressReporter;
}   // namespace noise::utils

namespace orovista {

/// Rain, solubility, evaporation and capacity of hydraulic erosion (Kr, Ks, Ke, Kc).
struct HydraulicParams {
    float rain = 0.01f;
    float solubility = 0.01f;
    float evaporation = 0.9f;
    float capacity = 0.01f;

    /// From the raw spin-box values: each one × 0.01 (single precision).
    static HydraulicParams fromControls(int rain, int solubility, int evaporation, int capacity);
    static HydraulicParams fromSettings(const FinalSettings &settings);
};

/// The normalised working grid: N rows of N floats, row r holding map row N − 1 − r.
class ErosionGrid {
public:
    /// An N × N grid of zeros; a negative size gives an empty grid.
    /// @throw std::bad_alloc when the grid cannot be allocated.
    explicit ErosionGrid(int size);

    int size() const { return m_size; }
    float *data() { return m_cells.data(); }
    const float *data() const { return m_cells.data(); }
    std::vector<float> &cells() { return m_cells; }
    const std::vector<float> &cells() const { return m_cells; }
    float &at(int row, int column) { return m_cells[index(row, column)]; }
    float at(int row, int column) const { return m_cells[index(row, column)]; }

    /// grid(r, c) = (map(x = c, y = N − 1 − r) − minimum) / range. The map must be N × N.
    void loadNormalised(const noise::utils::NoiseMap &map, float minimum, float range);
    /// map(x = c, y = N − 1 − r) = minimum + grid(r, c) × range: back in the map's own values,
    /// where the untouched parts of the map stay. The map must be N × N.
    void storeScaled(noise::utils::NoiseMap &map, float minimum, float range) const;

    /// The threads argument of the erosion algorithms: 0 lets the grid choose (see
    /// automaticThreads()), 1 runs on the calling thread alone (the plain sweep, or thermal
    /// erosion's vector bands), 2 or more use that many threads whatever the size. Every choice
    /// gives bit for bit the same grid.
    static constexpr int kAutomaticThreads = 0;
    /// The threads an erosion call with threads = 0 uses on an N × N grid for that many passes:
    /// 1 (sequential) for small work, otherwise one per core that is free now (at most 8; see
    /// terrain/freecores.h): the wavefront's threads wait for one another, so a thread without
    /// a core of its own would make the whole run slower than one thread.
    static int automaticThreads(int size, int iterations);

    /// Thermal erosion, talus 4 / N: a cell steeper than the talus towards one of its four
    /// diagonal neighbours levels with the lowest of them. On processors with AVX2 the rows are
    /// swept in vector bands (terrain/thermalbands.h), also with one thread; same grid.
    void thermal(int iterations, int threads = kAutomaticThreads);
    /// Thermal erosion by the plain row-by-row sweep, cell by cell on one thread: what every
    /// other way of running it must equal bit for bit.
    void thermalPlain(int iterations);
    /// Improved thermal erosion, talus 12 / N: a cell levels with the lowest of its eight
    /// neighbours when the drop is above 0 and at most the talus; steeper slopes are kept.
    void improved(int iterations, int threads = kAutomaticThreads);
    /// Hydraulic erosion: rain, dissolving, flow of water to the lowest neighbour, evaporation
    /// depositing sediment. The water grid lives for this call only; leftover water is dropped.
    /// @throw std::bad_alloc when the water grid cannot be allocated.
    void hydraulic(int iterations, const HydraulicParams &params, int threads = kAutomaticThreads);
    /// Box smoothing, columns outer and rows inner; cells outside the grid count as 0 with the
    /// divisor kept at 9, so the border sinks towards 0 with every pass. With several threads the
    /// columns are swept in strips, with bit for bit the same result.
    void smooth(int iterations, int threads = kAutomaticThreads);

private:
    std::size_t index(int row, int column) const
    {
        return std::size_t(row) * std::size_t(m_size) + std::size_t(column);
    }

    int m_size = 0;
    std::vector<float> m_cells;
};

/// The sediment erosion settings of the final node's controls.
SedimentSettings sedimentSettings(const FinalSettings &settings);

/// One erosion step as the final node sets it up.
struct ErosionRequest {
    ErosionType type = ErosionType::None;
    int iterations = 0;
    HydraulicParams hydraulic;
    /// Sediment erosion: its settings (iterations above), and the terrain it runs on in metres:
    /// the side and the height of the working grid's 0 … 1.
    SedimentSettings sediment;
    double terrainSize = 100.0;
    double elevationRange = 15.0;
    /// Where sediment erosion puts its flow, wear and deposit maps (in the working grid's rows,
    /// row 0 the map's last row); none when null.
    SedimentMaps *sedimentMaps = nullptr;
    /// The greyscale map flag: "smooth terrain" acts only while it is set.
    bool greyscaleMapMode = true;
    /// The grey picture rewritten from the grid ("HFFnoisePreview.jpg"); empty for none.
    QString picturePath;
    /// Threads of the erosion algorithm (ErosionGrid::kAutomaticThreads, 1 = sequential, …).
    int threads = ErosionGrid::kAutomaticThreads;

    /// The request for the final node's settings; picture = mapsFolder/"HFFnoisePreview.jpg".
    static ErosionRequest fromSettings(const FinalSettings &settings, bool greyscaleMapMode,
                                       const QString &mapsFolder);
};

/// The noise machine's condition for the erosion step: a type other than "no erosion" and more
/// than 0 iterations.
bool erosionRequested(const FinalSettings &settings);

struct ErosionResult {
    enum class Outcome {
        NotRequested,   ///< type "no erosion": nothing was done
        Eroded,         ///< the map was normalised, eroded and written back
        SkippedFlat,    ///< every value equal (or the range not finite): map left as it was
        SkippedEmpty,   ///< empty or non-square map: left as it was
        OutOfMemory,    ///< the working or water grid could not be allocated: map left as it was
    };
    Outcome outcome = Outcome::NotRequested;
    /// The grey picture was rewritten (false when it is missing, unreadable or unwritable).
    bool pictureRewritten = false;
    /// Why the picture could not be written (with the system's reason); empty otherwise.
    QString writeError;
    float minimum = 0.0f;   ///< smallest value before erosion
    float maximum = 0.0f;   ///< largest value before erosion

    bool eroded() const { return outcome == Outcome::Eroded; }
};

/// Runs the chosen algorithm on a loaded grid, with the follow-up smoothing of each type:
/// thermal and improved thermal are followed by I / 8 + 1 smoothing passes, hydraulics by one
/// pass when I > 50; "smooth terrain" runs I passes while the greyscale map flag is set;
/// sediment erosion runs on the grid in metres (× elevationRange) and has no smoothing.
/// @a progress (when given) hears of each sediment iteration and can stop the run (Cancelled).
void runErosion(ErosionGrid &grid, const ErosionRequest &request, noise::utils::ProgressReporter *progress = nullptr);

/// The whole erosion step on the final height map.
///
/// Does nothing for "no erosion". Otherwise shows "eroding terrain ...\n\n1/1" in the reporter's
/// panel and lets it process events once, normalises, erodes, writes back at the map's own
/// level (the minimum added back) and rewrites the grey picture at quality 100 (grey = grid ×
/// 255 truncated, clamped to 0 … 255), then clears the panel text. A flat, empty or non-square map is left untouched.
/// Never throws.
ErosionResult erodeHeightMap(noise::utils::NoiseMap &map, const ErosionRequest &request,
                             noise::utils::ProgressReporter *reporter = nullptr);

/// Rewrites an existing grey picture from the grid: pixel (x = c, y = r) becomes the opaque grey
/// grid(r, c) × 255 truncated and clamped to 0 … 255; saved as JPG at quality 100. Returns false
/// (and writes nothing) when the picture is missing or unreadable or cannot be saved.
bool rewriteGreyPicture(const QString &path, const ErosionGrid &grid, QString *writeError = nullptr);

}   // namespace orovista
