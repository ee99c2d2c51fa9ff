#include "terrain/sedimenterosion.h"
#include "terrain/bilinear.h"
#include "terrain/freecores.h"

#include "noise/onthreads.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace orovista {

namespace {

/// The integer unit of worn and laid-down soil: 2^-30 m of height on one cell.
constexpr double kUnit = 1.0 / 1073741824.0;
/// How much a cell's rain varies with the seed: ± half of this.
constexpr double kRainVariation = 0.5;

/// splitmix64: a well-mixed 64-bit number from any 64-bit state.
std::uint64_t mix(std::uint64_t z)
{
    z += 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

/// Per-step share from a per-metre one: what is left after d metres is (1 − rate)^d.
double overDistance(double perMetre, double metres)
{
    const double rate = std::clamp(perMetre, 0.0, 1.0);
    return rate >= 1.0 ? 1.0 : 1.0 - std::pow(1.0 - rate, metres);
}

/// A per-metre share over a link: links are one cell long or one diagonal, so the two values are
/// worked out once per run rather than once per cell and iteration.
struct LinkShare {
    float straight, diagonal;
    double overStraight, overDiagonal;

    LinkShare(double perMetre, float straightLink, float diagonalLink)
        : straight(straightLink), diagonal(diagonalLink), overStraight(overDistance(perMetre, straightLink)),
          overDiagonal(overDistance(perMetre, diagonalLink))
    {
    }
    double over(float link) const { return link == straight ? overStraight : overDiagonal; }
};

/// Calls put(i, value) for every cell i of an n × n grid with the m × m grid g interpolated onto
/// it (corners on corners), rows on threads. No n × n copy is made: a 16384 map stays one map.
template <class T, class Put>
void resampleInto(const std::vector<T> &g, int m, int n, int threads, const Put &put)
{
    const double scale = n > 1 ? double(m - 1) / double(n - 1) : 0.0;
    forEachOnThreads(n, threads, [&](int y) {
        for (int x = 0; x < n; ++x)
            put(std::size_t(y) * std::size_t(n) + std::size_t(x), bilinear(g, m, x * scale, y * scale));
    });
}

/// The flow network of one iteration on the m × m simulation grid.
struct Network {
    int m = 0;
    std::vector<std::int32_t> receiver;   ///< the cell each cell drains to (itself: pit, flat, border)
    std::vector<float> distance;          ///< metres to the receiver
    std::vector<std::int32_t> order;      ///< every cell after the cell it drains to
    std::vector<std::int32_t> donorStart, donors;

    bool border(std::int32_t i) const
    {
        const int x = i % m, y = i / m;
        return x == 0 || y == 0 || x == m - 1 || y == m - 1;
    }

    /// Steepest lower neighbour of every cell, rows on threads; the first of equal slopes (in
    /// the order up-left, up, up-right, left, right, down-left, down, down-right) wins.
    void link(const std::vector<double> &h, double cell, int threads)
    {
        const double diagonal = cell * std::sqrt(2.0);
        forEachOnThreads(m, threads, [&](int y) {
            for (int x = 0; x < m; ++x) {
                const std::int32_t i = y * m + x;
                receiver[std::size_t(i)] = i;
                distance[std::size_t(i)] = 0.0f;
                if (x == 0 || y == 0 || x == m - 1 || y == m - 1)
                    continue;
                double best = 0.0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        if (dx == 0 && dy == 0)
                            continue;
                        const std::int32_t k = i + dy * m + dx;
                        const double d = dx != 0 && dy != 0 ? diagonal : cell;
                        const double slope = (h[std::size_t(i)] - h[std::size_t(k)]) / d;
                        if (slope > best) {
                            best = slope;
                            receiver[std::size_t(i)] = k;
                            distance[std::size_t(i)] = float(d);
                        }
                    }
            }
        });
    }

    /// The order: the outlets (cells draining to themselves) in index order, then, breadth
    /// first, the cells draining to cells already in it.
    void sort()
    {
        const std::size_t cells = receiver.size();
        std::fill(donorStart.begin(), donorStart.end(), 0);
        for (std::size_t i = 0; i < cells; ++i)
            if (receiver[i] != std::int32_t(i))
                ++donorStart[std::size_t(receiver[i]) + 1];
        for (std::size_t i = 0; i < cells; ++i)
            donorStart[i + 1] += donorStart[i];
        std::vector<std::int32_t> fill(donorStart.begin(), donorStart.end() - 1);
        for (std::size_t i = 0; i < cells; ++i)
            if (receiver[i] != std::int32_t(i))
                donors[std::size_t(fill[std::size_t(receiver[i])]++)] = std::int32_t(i);
        std::size_t size = 0;
        for (std::size_t i = 0; i < cells; ++i)
            if (receiver[i] == std::int32_t(i))
                order[size++] = std::int32_t(i);
        for (std::size_t p = 0; p < size; ++p) {
            const std::int32_t node = order[p];
            for (std::int32_t k = donorStart[std::size_t(node)]; k < donorStart[std::size_t(node) + 1]; ++k)
                order[size++] = donors[std::size_t(k)];
        }
    }
};

}   // namespace

SedimentBalance erodeSediment(std::vector<float> &heights, int n, double terrainSize, const SedimentSettings &s,
                              SedimentMaps *maps, int threads, const std::function<bool(int, int)> &progress)
{
    SedimentBalance balance;
    if (n < 3 || heights.size() != std::size_t(n) * std::size_t(n) || !(terrainSize > 0.0) || s.iterations < 1)
        return balance;
    if (threads <= 0)
        threads = freeCores(8);
    const int m = std::min(n, kSimulationSize);
    balance.simulationSize = m;
    const std::size_t cells = std::size_t(m) * std::size_t(m);
    const double cell = terrainSize / double(m - 1), area = cell * cell;

    std::vector<double> h(cells);
    resampleInto(heights, n, m, threads, [&](std::size_t i, double v) { h[i] = v; });
    const std::vector<double> start = h;

    Network net;
    net.m = m;
    net.receiver.resize(cells);
    net.distance.resize(cells);
    net.order.resize(cells);
    net.donorStart.resize(cells + 1);
    net.donors.resize(cells);
    std::vector<double> discharge(cells);
    std::vector<std::int64_t> worn(cells), load(cells);
    std::vector<double> flowSum;
    std::vector<std::int64_t> wearSum, depositSum;
    if (maps) {
        flowSum.assign(cells, 0.0);
        wearSum.assign(cells, 0);
        depositSum.assign(cells, 0);
    }
    const double rainDepth = std::max(0.0, double(s.rain)) * 0.001;
    const double strength = std::max(0.0, double(s.erosion)) * 0.001;
    const double capacity = std::max(0.0, double(s.capacity));
    const double minSlope = std::max(0.0, double(s.minSlope));
    const float straightLink = float(cell), diagonalLink = float(cell * std::sqrt(2.0));
    const LinkShare evaporation(s.evaporation, straightLink, diagonalLink);
    const LinkShare deposition(s.deposition, straightLink, diagonalLink);

    for (int iteration = 0; iteration < s.iterations; ++iteration) {
        net.link(h, cell, threads);
        net.sort();

        // Rain, and the water gathering downstream (donors before their receivers).
        const std::uint64_t rainSeed = mix(std::uint64_t(std::uint32_t(s.seed)) << 32 | std::uint32_t(iteration));
        for (std::size_t i = 0; i < cells; ++i) {
            const double u = double(mix(rainSeed ^ (std::uint64_t(i) * 0xd1342543de82ef95ull)) >> 11) * 0x1p-53;
            discharge[i] = rainDepth * area * (1.0 + kRainVariation * (u - 0.5));
        }
        for (std::size_t p = cells; p-- > 0;) {
            const std::int32_t i = net.order[p], r = net.receiver[std::size_t(i)];
            if (r != i)
                discharge[std::size_t(r)] +=
                    discharge[std::size_t(i)] * (1.0 - evaporation.over(net.distance[std::size_t(i)]));
        }

        // Wear, receivers first: h_i' = (h_i + F h_r') / (1 + F), F = strength √Q / d, which
        // never takes a cell below the cell it drains to.
        for (std::size_t p = 0; p < cells; ++p) {
            const std::int32_t i = net.order[p], r = net.receiver[std::size_t(i)];
            worn[std::size_t(i)] = 0;
            if (r == i)   // pits, flats and the border
                continue;
            const double d = net.distance[std::size_t(i)];
            const double hi = h[std::size_t(i)], hr = h[std::size_t(r)];
            if (!((hi - hr) / d > minSlope))
                continue;
            const double f = strength * std::sqrt(discharge[std::size_t(i)]) / d;
            const double lowered = (hi + f * hr) / (1.0 + f);
            const std::int64_t units = std::int64_t(std::floor((hi - lowered) / kUnit));
            if (units <= 0)
                continue;
            worn[std::size_t(i)] = units;
            h[std::size_t(i)] = hi - double(units) * kUnit;
        }

        // The load, ridges first: what the flow cannot carry is laid down by the deposition
        // strength; pits and flats keep everything, the border lets it go.
        std::fill(load.begin(), load.end(), 0);
        for (std::size_t p = cells; p-- > 0;) {
            const std::int32_t i = net.order[p], r = net.receiver[std::size_t(i)];
            std::int64_t carried = load[std::size_t(i)] + worn[std::size_t(i)];
            balance.wornUnits += worn[std::size_t(i)];
            std::int64_t laid = 0;
            if (r == i) {
                if (net.border(i)) {
                    balance.outflowUnits += carried;
                    continue;
                }
                laid = carried;
            } else {
                const double d = net.distance[std::size_t(i)];
                const double slope = std::max(0.0, (h[std::size_t(i)] - h[std::size_t(r)]) / d);
                const double limit = capacity * discharge[std::size_t(i)] * slope / area / kUnit;
                if (double(carried) > limit)
                    laid = std::min(carried, std::int64_t(std::floor((double(carried) - limit) *
                                                                     deposition.over(net.distance[std::size_t(i)]))));
            }
            if (laid > 0) {
                h[std::size_t(i)] += double(laid) * kUnit;
                balance.depositedUnits += laid;
                if (maps)
                    depositSum[std::size_t(i)] += laid;
                carried -= laid;
            }
            if (r != i)
                load[std::size_t(r)] += carried;
        }
        if (maps)
            for (std::size_t i = 0; i < cells; ++i) {
                flowSum[i] += discharge[i];
                wearSum[i] += worn[i];
            }
        balance.iterations = iteration + 1;
        if (progress && !progress(iteration + 1, s.iterations))
            break;
    }
    balance.worn = double(balance.wornUnits) * kUnit * area;
    balance.deposited = double(balance.depositedUnits) * kUnit * area;
    balance.outflow = double(balance.outflowUnits) * kUnit * area;

    // The change back onto the caller's grid: as it is, or interpolated onto a larger one.
    std::vector<double> change(cells);
    for (std::size_t i = 0; i < cells; ++i)
        change[i] = h[i] - start[i];
    resampleInto(change, m, n, threads,
                 [&](std::size_t i, double v) { heights[i] = float(double(heights[i]) + v); });
    if (maps) {
        const auto toMap = [&](const std::vector<double> &values) {
            std::vector<float> full(std::size_t(n) * std::size_t(n));
            resampleInto(values, m, n, threads, [&](std::size_t i, double v) { full[i] = float(v); });
            return full;
        };
        const auto inMetres = [&](const std::vector<std::int64_t> &units) {
            std::vector<double> d(cells);
            for (std::size_t i = 0; i < cells; ++i)
                d[i] = double(units[i]) * kUnit;
            return d;
        };
        maps->size = n;
        maps->flow = toMap(flowSum);
        maps->wear = toMap(inMetres(wearSum));
        maps->deposit = toMap(inMetres(depositSum));
    }
    return balance;
}

}   // namespace orovista
