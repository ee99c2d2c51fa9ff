#pragma once
// Where sediment erosion shows on the ground, and its colours in the texture.
//
// Sediment erosion leaves maps of the water's flow and of the soil it laid down
// (terrain/sedimenterosion.h). Read at a place of the surface they give two shares, 0 … 1:
//   stream:  log(1 + flow) / log(1 + the largest flow) (taken per cell, read between cells)
//            ramps smoothly from streamFrom to streamFull, so that only the gathered streams
//            count, not every wet slope;
//   deposit: the metres laid down ramp smoothly from depositFrom to depositFull.
// The splat map turns streams to rock and deposits to sand (scene/splatmap.h). SedimentTint puts
// the same shares on the colour texture after the gradients coloured it:
//   wet stream beds are darker: colour × (1 − 0.45 stream);
//   deposits are covered by silt: colour → colour + 0.3 deposit × (silt − colour), with silt the
//   pale brown (190, 170, 130).
// The light the texture was rendered with stays under the streams; on the deposits, which lie
// flat, it fades with the colour.
//
// Limits: the maps are sampled bilinearly, so at texture sizes above the maps' a stream is as
// wide as a cell of the maps (a terrain size / 511 metres on the usual 512 maps).
#include "graph/noisemachine.h"
#include "terrain/sedimenterosion.h"

#include <cstdint>
#include <vector>

namespace orovista {

/// A smooth ramp: 0 below @a from, 1 above @a to, Hermite between (a step when to ≤ from).
double smoothRamp(double from, double to, double x);

/// Where the two shares start and are whole.
struct SedimentMarkRamps {
    double streamFrom = 0.6;      ///< share of the largest flow, on a log scale
    double streamFull = 0.85;
    double depositFrom = 0.02;    ///< metres laid down
    double depositFull = 0.2;
};

class SedimentMarks {
public:
    /// @a maps may be null or empty: then every share is 0. The maps are read, not copied, and
    /// must outlive the object.
    explicit SedimentMarks(const SedimentMaps *maps, const SedimentMarkRamps &ramps = {});

    bool empty() const { return m_size < 2; }
    struct Shares {
        double stream = 0.0;
        double deposit = 0.0;
    };
    /// The shares at a place (column, row) of the maps' grid, in cells (fractions read between).
    Shares at(double column, double row) const;

private:
    const SedimentMaps *m_maps = nullptr;
    int m_size = 0;
    SedimentMarkRamps m_ramps;
    std::vector<float> m_flowShare;   ///< log(1 + flow) / log(1 + the largest flow), per cell
    std::vector<std::uint8_t> m_squareMarked;   ///< per cell: a corner of the square to its right and below has a mark
};

/// The colours of SedimentMarks on the colour texture of a machine run.
class SedimentTint : public PictureTint {
public:
    /// maps: as erosion leaves them (row 0 is the final map's last row, the terrain's −z edge).
    /// imported: the runs read an imported heightmap (samples edge to edge); otherwise sample x of
    /// an n-sample run lies at x · size / n of the maps, as the machine samples its plane.
    SedimentTint(const SedimentMaps &maps, bool imported);

    void tintRow(int y, int n, noise::utils::Color *row) const override;

private:
    double place(int x, int n) const;

    SedimentMarks m_marks;
    int m_size;
    bool m_imported;
};

}   // namespace orovista
