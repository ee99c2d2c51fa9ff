#pragma once
// Sediment erosion: water that gathers into streams, cuts valleys where it runs steep and lays
// its load down where the ground flattens, giving gullies, branching drainage networks, fans and
// filled hollows.
//
// The model is a grid flow model (the stream power law with a transport capacity, as landscape
// evolution models use it). Each iteration:
//  1. every cell drains to its steepest lower neighbour of eight (a pit or a flat drains nowhere,
//     a border cell off the map);
//  2. rain falls on every cell and runs down these links, each cell passing on its water less the
//     share that evaporates: the discharge Q grows along the streams;
//  3. every cell is worn by erosion strength × √Q × slope, solved implicitly from the outlets
//     upwards, so that no cell is cut below the cell it drains to however strong the setting;
//  4. the worn soil travels with the water from the ridges down. Where the load exceeds the
//     capacity of the flow, capacity × Q × slope, the deposition strength sets how much of the
//     excess is laid down per metre; pits and flats keep all they receive, and what reaches the
//     border leaves the map ("outflow").
// A grid model was chosen over rain drops because its channels branch into networks by
// themselves, it needs no random walk to converge, it cannot over-cut (step 3 is unconditionally
// stable), and every step is an ordered sweep, so the result does not depend on the thread count.
//
// Units and scale: heights and the terrain side are in metres, rain in millimetres per
// iteration, slopes in metres per metre. The flow runs on a simulation grid of kSimulationSize
// cells a side (cells of terrain size / (M − 1) metres; a smaller map runs on its own grid). A
// larger height map is sampled down to it and the change is carried back up by bilinear
// interpolation: the map keeps its fine detail, and its valleys are the same at 512, 1024 or
// 4096 samples (streams on a finer grid would be narrower and wear less in all).
//
// Balance: worn and laid-down soil are counted in integer units of 2^-30 m of one cell, so
// worn = deposited + outflow holds to the unit; the rain's seed varies each cell's rain by up to
// ±25 % from iteration to iteration, which breaks the symmetry of regular terrains.
//
// Limits: water takes one path per cell (no spreading over flats); border cells drain off the map
// and are neither worn nor raised.
#include <cstdint>
#include <functional>
#include <vector>

namespace orovista {

/// The settings of sediment erosion.
struct SedimentSettings {
    int iterations = 50;          ///< rounds of rain, 1 … 1000
    float rain = 10.0f;           ///< millimetres of rain per iteration
    float erosion = 20.0f;        ///< erosion strength: metres worn per iteration per √(m³) of discharge at slope 1, × 0.001
    float deposition = 0.5f;      ///< 0 … 1: share of the load above capacity laid down per metre of flow
    float capacity = 1.0f;        ///< load the flow carries, m³ per m³ of discharge at slope 1
    float evaporation = 0.001f;   ///< 0 … 1: share of the water lost per metre of flow
    float minSlope = 0.0f;        ///< slopes below this (m/m) are not worn
    int seed = 1;                 ///< the rain's variation from cell to cell

    bool operator==(const SedimentSettings &) const = default;
};

/// Where the water ran and what it moved, per cell of the eroded grid.
struct SedimentMaps {
    int size = 0;
    std::vector<float> flow;      ///< discharge summed over the iterations, m³
    std::vector<float> wear;      ///< metres worn away
    std::vector<float> deposit;   ///< metres laid down
};

/// The totals of a run, in m³ of the simulation grid.
struct SedimentBalance {
    double worn = 0.0;
    double deposited = 0.0;
    double outflow = 0.0;   ///< carried off the map's edge
    std::int64_t wornUnits = 0, depositedUnits = 0, outflowUnits = 0;   ///< the same, in 2^-30 m of a cell
    int iterations = 0;     ///< iterations run (fewer when stopped)
    int simulationSize = 0;
};

/// Side of the simulation grid of maps at least this large.
constexpr int kSimulationSize = 512;

/// Erodes @a heights (n × n metres, row-major, row 0 one border) in place; @a terrainSize is the
/// side in metres. @a maps (when given) receives the flow, wear and deposit maps at n × n.
/// @a threads (0: one per free core) share the steps that go cell by cell; the result is the same
/// bytes for any count. @a progress (when given) is told each finished iteration and may return
/// false to stop after it. Throws nothing but std::bad_alloc.
SedimentBalance erodeSediment(std::vector<float> &heights, int n, double terrainSize, const SedimentSettings &settings,
                              SedimentMaps *maps = nullptr, int threads = 0,
                              const std::function<bool(int done, int total)> &progress = {});

}   // namespace orovista
