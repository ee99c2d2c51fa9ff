#include "terrain/erosion.h"
#include "terrain/erosioncells.h"
#include "terrain/freecores.h"
#include "terrain/gatedthreads.h"
#include "terrain/thermalbands.h"

#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "noise/progressreporter.h"

#include <QDir>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <latch>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <thread>
#include <vector>

namespace orovista {

namespace {

using std::ptrdiff_t;
using erosioncells::kNoDrop;
using erosioncells::SteepestDrop;
using erosioncells::thermalCell;

/// The single-precision 0.01 of the erosion controls.
constexpr float kControlStep = 0.01f;

/// Smallest grid the automatic choice runs on several threads: on shorter rows the hand-over at
/// the end of every row (see the wavefront below) costs more than the second thread gains.
constexpr int kMinParallelSize = 256;

/// Grey level of a grid value: value × 255 truncated, clamped to 0 … 255 (NaN gives 0).
inline int greyLevel(float value)
{
    const float scaled = value * 255.0f;
    if (scaled >= 255.0f)
        return 255;
    return scaled > 0.0f ? int(scaled) : 0;
}

/// Per-cell part of a hydraulic pass, one sweep over both grids: the evaporation of the pass that
/// ends and/or the rain and dissolving of the pass that starts. Each cell's steps run in the order
/// of the passes, so fusing the sweeps gives the same values as running them one after the other.
/// Without evaporation (the first pass) the water is not read: it need not have been cleared.
template <bool Evaporate, bool Rain>
void settleCells(float *height, float *water, std::size_t count, const HydraulicParams &k)
{
    const float kr = k.rain, ks = k.solubility, ke = k.evaporation, kc = k.capacity;
    for (std::size_t i = 0; i < count; ++i) {
        float h = height[i];
        // Without evaporation this is the first rain, on water not yet set: 0 + rain, as on
        // cleared water (which is not rain itself for −0).
        float w = Evaporate ? water[i] : 0.0f;
        if constexpr (Evaporate) {
            const float e = w * ke;
            w -= e;
            h += e * kc;
            h = h < 0.0f ? 0.0f : h;
        }
        if constexpr (Rain) {
            w += kr;
            h -= ks * w;
            h = h < 0.0f ? 0.0f : h;
        }
        height[i] = h;
        water[i] = w;
    }
}

/// One smoothing step for a cell on the border of the grid: the neighbours outside count as 0.
/// The summation order is the one of the interior loop in ErosionGrid::smooth().
inline float smoothBorderCell(const float *g, int n, int r, int c)
{
    const auto cell = [&](int rr, int cc) {
        return rr < 0 || cc < 0 || rr >= n || cc >= n ? 0.0f
                                                      : g[std::size_t(rr) * std::size_t(n) + std::size_t(cc)];
    };
    float rest = 0.0f;
    rest += cell(r - 1, c - 1);
    rest += cell(r - 1, c + 1);
    rest += cell(r, c - 1);
    rest += cell(r, c);
    rest += cell(r, c + 1);
    rest += cell(r + 1, c - 1);
    rest += cell(r + 1, c);
    rest += cell(r + 1, c + 1);
    return (rest + cell(r - 1, c)) / 9.0f;
}

/// The sum of an interior cell's 3 × 3 cells but the one above, in the order of the smoothing.
/// The cell above, updated just before, is added last, so that this sum does not wait for it.
[[gnu::always_inline]] inline float smoothRest(const float *p, ptrdiff_t N)
{
    float rest = p[-N - 1];
    rest += p[-N + 1];
    rest += p[-1];
    rest += p[0];
    rest += p[1];
    rest += p[N - 1];
    rest += p[N];
    rest += p[N + 1];
    return rest;
}

/// One smoothing step for an interior cell whose cell above has been updated already.
[[gnu::always_inline]] inline void smoothInteriorCell(float *p, ptrdiff_t N)
{
    *p = (smoothRest(p, N) + p[-N]) / 9.0f;
}

// --- One cell of each erosion pass ---------------------------------------------------------------
//
// The sequential sweeps and the wavefront below share these, so that both do the very same
// arithmetic. Each one reads and writes only the 3 × 3 cells around p.

/// Improved thermal: levels the cell with its lowest neighbour when 0 < drop ≤ talus.
[[gnu::always_inline]] inline void improvedCell(float *p, ptrdiff_t N, float talus)
{
    const float h = *p;
    SteepestDrop drop;
    drop.offer(h - p[-N - 1], -N - 1);
    drop.offer(h - p[-N], -N);
    drop.offer(h - p[-N + 1], -N + 1);
    drop.offer(h - p[-1], -1);
    drop.offer(0.0f, 0);   // the cell itself
    drop.offer(h - p[1], 1);
    drop.offer(h - p[N - 1], N - 1);
    drop.offer(h - p[N], N);
    drop.offer(h - p[N + 1], N + 1);
    const float best = drop.best;
    if (best > 0.0f && best <= talus) {
        const float level = h - best * 0.5f;
        *p = level;
        p[drop.offset] = level;
    }
}

/// Hydraulic flow: the cell sends water to the neighbour with the lowest water level (heights
/// are only read, water is written in the cell and that neighbour).
[[gnu::always_inline]] inline void flowCell(const float *h, float *w, ptrdiff_t N)
{
    const float level = *h + *w;
    SteepestDrop drop;
    const auto offer = [&](ptrdiff_t at) { drop.offer(level - (h[at] + w[at]), at); };
    offer(-N - 1);
    offer(-N);
    offer(-N + 1);
    offer(-1);
    drop.offer(0.0f, 0);   // the cell itself
    offer(1);
    offer(N - 1);
    offer(N);
    offer(N + 1);
    const float best = drop.best;
    const ptrdiff_t chosen = drop.offset;
    if (best > 0.0f) {
        if (*w >= best) {
            const float half = best * 0.5f;
            w[chosen] += half;
            *w -= half;
        } else {
            w[chosen] += *w;
            *w = 0.0f;
        }
    }
}

// --- The wavefront -------------------------------------------------------------------------------
//
// A run of P passes over the interior rows 1 … N − 2 is a sequence of P × (N − 2) "row visits",
// visit u being row 1 + u mod (N − 2) of pass u div (N − 2); visit u goes to thread u mod T.
//
// Why a lag of three cells is enough and needed: every cell update reads and writes only the
// 3 × 3 block around the cell (thermal writes a diagonal neighbour, improved and the water flow
// any of the eight; at the grid edge the sweep simply skips row/column 0 and N − 1 as centres, so
// no wrap-around or clamping adds other cells). Two updates in columns c and c' therefore touch
// disjoint cells as soon as |c − c'| ≥ 3, whatever their rows and passes. So visit u may update
// column c once visit u − 1 has finished columns 1 … c + 2 (all of them near the right edge):
// - everything visit u − 1 still has to do lies in columns ≥ c + 3 and touches columns ≥ c + 2,
//   while visit u has touched (and touches now) only columns ≤ c + 1, so each pair of updates
//   that share a cell runs in the sequential order;
// - with a lag of two cells, cell c + 2 of visit u − 1 (centre (r − 1, c + 2)), still pending,
//   may write its neighbour (r, c + 1), which cell c of visit u (centre (r, c)) reads in improved
//   erosion and in the flow: the result could change, so three is the minimum there at column
//   granularity (the tests fail with two). Thermal erosion touches only the centre and the
//   diagonals, and (r − 1, c + 2)'s diagonals miss (r, c)'s, so two would do for it (one would
//   not: (r − 1, c + 1) is the centre of one and a diagonal of the other); it uses three all the
//   same, as the distance kept below is larger anyway.
// Visits further back need no check: visit u − 1 waited in the same way for u − 2 (three columns
// further ahead), and so on, and the last cell of a visit waits for its predecessor's last cell,
// so when a visit ends every earlier visit has ended. This holds across the pass boundary too
// (the last row of pass p followed by row 1 of pass p + 1), since it only uses columns; and for
// any number of threads, as each visit waits only for the one before it.
//
// The threads actually keep kVisitDistance (more than three) cells apart, so that they do not
// write into the same cache lines. Each thread publishes its progress in an atomic of its own
// cache line (release); the next thread reads it (acquire) and works up to the allowed column
// before reading again, yielding its core while it has to wait.

/// Progress of one thread, on a cache line of its own.
struct alignas(64) VisitProgress {
    std::atomic<std::int64_t> mark{-1};
};

/// Waits, yielding the core, until @a progress has reached @a mark.
inline void awaitMark(const VisitProgress &progress, std::int64_t mark)
{
    while (progress.mark.load(std::memory_order_acquire) < mark)
        std::this_thread::yield();
}

/// Cells a visit updates between two publications of its progress.
inline int wavefrontChunk(int cells)
{
    return std::clamp(cells / 8, 16, 256);
}

/// How far a visit stays behind the one before it: the three cells the lag argument needs, plus a
/// margin that keeps the two threads off each other's cache lines (a cell writes into the row of
/// the other visit; sharing a line there makes it bounce between the cores on every update).
constexpr int kVisitLag = 3;
constexpr int kCacheMargin = 29;
constexpr int kVisitDistance = kVisitLag + kCacheMargin;

/// How many visits a pass stays behind the pass before it in the pass pipeline and the bands:
/// Rows::kPassLag where the visits set one (at least kVisitLag), kVisitLag otherwise.
template <class Rows>
constexpr int passLag()
{
    if constexpr (requires { Rows::kPassLag; }) {
        static_assert(Rows::kPassLag >= kVisitLag);
        return Rows::kPassLag;
    } else {
        return kVisitLag;
    }
}

/// Thread @a thread's share of the visits. Rows provides begin(u) (work before the first cell;
/// returns whether partial progress may be published), cells(u, from, to) (cells [from, to) of the
/// visit, 0-based) and finish(u) (work after the last cell).
///
/// A visit's mark goes through u × (cells + 2) + k for k cells done, then + cells + 1 once it has
/// finished, that is after its finish() and after the visit before it has finished: so a finished
/// visit means that every earlier visit, finish() included, has finished, while the next visit
/// need not wait for finish() to update its last cells.
template <class Rows>
void sweepVisits(Rows &rows, int thread, int threads, std::int64_t visits, int cells, VisitProgress *progress)
{
    const std::int64_t stride = std::int64_t(cells) + 2;
    VisitProgress &own = progress[thread];
    const VisitProgress &previous = progress[(thread + threads - 1) % threads];
    const int chunk = wavefrontChunk(cells);
    for (std::int64_t u = thread; u < visits; u += threads) {
        const bool partial = rows.begin(u);
        const std::int64_t before = (u - 1) * stride;   // mark of visit u − 1 with 0 cells done
        int allowed = u == 0 ? cells : 0;               // cells [0, allowed) may be updated
        int done = 0;
        while (done < cells) {
            while (allowed <= done) {
                const std::int64_t ahead = previous.mark.load(std::memory_order_acquire) - before;
                // Cell i needs cells 0 … i + kVisitLag − 1 of visit u − 1, or all of them; with
                // cells [0, ahead) done it waits for i + kVisitDistance ≤ ahead (the larger
                // distance is for the caches only).
                allowed = ahead >= cells ? cells
                          : ahead >= kVisitDistance ? int(ahead) - (kVisitDistance - 1)
                                                    : 0;
                if (allowed <= done)
                    std::this_thread::yield();
            }
            const int to = std::min(allowed, done + chunk);
            rows.cells(u, done, to);
            done = to;
            if (partial)
                own.mark.store(u * stride + done, std::memory_order_release);
        }
        rows.finish(u);
        if (u > 0)
            awaitMark(previous, before + cells + 1);
        own.mark.store(u * stride + cells + 1, std::memory_order_release);
    }
}

// --- The pass pipeline ---------------------------------------------------------------------------
//
// With at least as many passes as threads the threads can share the work by whole passes instead:
// thread t sweeps passes t, t + T, t + 2T, …, each one row by row, a few rows behind the pass before
// it. Row r of pass p touches rows r − 1 … r + 1 only; the rows of pass p − 1 that are still to
// come after its row r + 2 touch rows r + 2 and below. So row r of pass p may start as soon as pass
// p − 1 has finished its rows 1 … r + 2 (the whole pass, near the bottom edge), and the updates that
// share a cell keep the sequential order. As in the wavefront, each pass waits only for the one
// before it, which waited for its own predecessor three rows further on, so every earlier pass is
// far enough ahead.
//
// Compared with the wavefront, the threads meet once per row instead of every few cells, never
// work in the same rows, and a row that one thread has just written is read by the other a few
// rows later while it is still in the caches. The cost is the balance: with P passes the slowest
// thread sweeps ceil(P / T) of them, and passes do not all cost the same (the first ones level
// the terrain, after which the steepest-neighbour branches are harder to predict and a pass
// takes up to half as long again). So the thread that sweeps the last but one pass, once it has
// finished, takes over every other one of the rows of the last pass that its owner has not yet
// started, as the wavefront does:
// - the owner claims each row of the last pass before sweeping it, by advancing a shared counter;
//   the helper marks that counter as shared, and the first row the owner can no longer claim is
//   where both agree the shared rows start (one atomic operation decides it, so neither can take
//   a row the other has);
// - the owner sweeps that row itself, after the row before it, so by then every earlier visit has
//   finished (the owner's own rows, and the whole pass before, which the helper finished before
//   coming): that is all the wavefront asks of the visits before its first one; from there on
//   each shared row waits, column by column, for the row before it, as in the wavefront.

/// Where the owner of the last pass and the helper meet (see above).
struct LastPassShare {
    /// Flag in next: the helper has come, rows from the value without it on are shared.
    static constexpr std::int64_t kShared = std::int64_t(1) << 62;
    /// The first visit of the last pass the owner has not claimed (| kShared).
    alignas(64) std::atomic<std::int64_t> next{0};
    /// Progress of the owner (0) and the helper (1) in the shared rows.
    VisitProgress progress[2];
};

/// The visits from @a first on, numbered from 0 (for sweepVisits over the shared rows).
template <class Rows>
struct LaterVisits {
    Rows &rows;
    std::int64_t first;

    bool begin(std::int64_t u) { return rows.begin(first + u); }
    void cells(std::int64_t u, int from, int to) { rows.cells(first + u, from, to); }
    void finish(std::int64_t u) { rows.finish(first + u); }
};

/// The owner's (@a side 0) or the helper's (1) share of the visits @a from … @a to − 1.
template <class Rows>
void sweepSharedRows(Rows &rows, int side, std::int64_t from, std::int64_t to, int cells, LastPassShare &share)
{
    LaterVisits<Rows> later{rows, from};
    sweepVisits(later, side, 2, to - from, cells, share.progress);
}

/// Thread @a thread's passes, each visit whole (begin, all its @a cells, finish), and its share of
/// the last pass's rows if it is the owner of that pass or the helper. Its mark is the number of
/// visits (in the order of the sequential sweep) up to and including its last finished one.
template <class Rows>
void sweepPasses(Rows &rows, int thread, int threads, int passes, int rowsPerPass, int cells,
                 VisitProgress *progress, LastPassShare &share)
{
    VisitProgress &own = progress[thread];
    const VisitProgress &previous = progress[(thread + threads - 1) % threads];
    const std::int64_t visits = std::int64_t(passes) * rowsPerPass;
    for (int pass = thread; pass < passes; pass += threads) {
        const std::int64_t first = std::int64_t(pass) * rowsPerPass;
        const bool last = pass + 1 == passes;
        for (int i = 0; i < rowsPerPass; ++i) {
            if (last) {
                std::int64_t claim = first + i;
                if (!share.next.compare_exchange_strong(claim, claim + 1, std::memory_order_acq_rel,
                                                        std::memory_order_acquire)) {
                    sweepSharedRows(rows, 0, first + i, visits, cells, share);
                    return;
                }
            }
            if (pass > 0) {
                // Rows 1 … r + 2 of the pass before, that is visits up to first − rowsPerPass + i + 2
                // (or further on, see passLag()).
                const std::int64_t needed = first - rowsPerPass + std::min(i + passLag<Rows>(), rowsPerPass);
                awaitMark(previous, needed);
            }
            rows.begin(first + i);
            rows.cells(first + i, 0, cells);
            rows.finish(first + i);
            own.mark.store(first + i + 1, std::memory_order_release);
        }
    }
    if (thread == (passes - 2) % threads) {   // the helper, done with the last but one pass
        const std::int64_t from = share.next.fetch_or(LastPassShare::kShared, std::memory_order_acq_rel);
        if (from < visits)
            sweepSharedRows(rows, 1, from, visits, cells, share);
    }
}

// --- The bands ----------------------------------------------------------------------------------
//
// With many passes the threads share every pass instead: thread t sweeps a band of rows of each
// pass, the bands in thread order from the top. Visit (p, r) may start once (p, r − 1) and
// (p − 1, min(r + 2, last row)) have finished: the first means that every earlier visit of pass p
// has finished, and the second that pass p − 1 is done up to the rows that visit (p, r) touches,
// as in the pass pipeline; visits of pass p + 1 that may already be running are, by the same
// rule, at least three rows higher up and touch none of its cells. Within its band a thread meets
// those conditions by itself except near the band's two ends, where it waits for the band above
// (the first row) or for the band below in the previous pass (the last two rows).
//
// Each thread keeps its band of the grid in its own caches, and only the rows at the band edges
// move between the cores. The bands need not be the same from one pass to the next, nor equal,
// because each thread sweeps its visits in the sequential order and waits only for earlier ones:
// thread 0 chooses the bands of a pass as it starts it, in proportion to the speed each thread
// measured on its last band (rows per second, waits left out), so that a core slowed down by
// the rest of the machine gets fewer rows and no thread waits long for another. The first pass
// gives thread 0 a short band, so that the others can start early. What remains is the end of
// the last pass, where the upper bands are idle: about half a pass more than the pass pipeline
// takes, which is why the bands are used with many passes only.

/// Whether the bands share out @a passes over rows of @a rowsPerPass cells: with at least 16
/// passes (so that the idle end of the last pass costs at most a few per cent) on grids up to
/// 768 cells a side. On larger grids a pass takes long enough for the pass pipeline to ride out
/// short interruptions of a core, and it was as fast or faster from 1024 cells on; at 512 the
/// bands were as fast when the machine was quiet and held up much better when it was not.
bool useBands(int passes, int rowsPerPass)
{
    return passes >= 16 && rowsPerPass <= 766;
}

/// A thread's measured speed, on a cache line of its own.
struct alignas(64) BandSpeed {
    std::atomic<double> rowsPerSecond{0.0};
};

/// The bands of every pass and the threads' speeds.
class BandPlan {
public:
    BandPlan(int passes, int threads, int rowsPerPass)
        : m_threads(threads), m_rows(rowsPerPass), m_starts(std::size_t(passes) * std::size_t(threads - 1)),
          m_speeds(std::size_t(threads)), m_weights(std::size_t(threads))
    {
        for (std::atomic<int> &start : m_starts)
            start.store(-1, std::memory_order_relaxed);
    }

    /// First row (0-based) of thread @a t's band in pass @a pass; waits until thread 0 has
    /// chosen the bands of that pass.
    int start(int pass, int t) const
    {
        if (t <= 0)
            return 0;
        if (t >= m_threads)
            return m_rows;
        const std::atomic<int> &start = m_starts[slot(pass, t)];
        int row;
        while ((row = start.load(std::memory_order_acquire)) < 0)
            std::this_thread::yield();
        return row;
    }

    /// The thread whose band holds row @a row in pass @a pass (whose bands are chosen).
    int owner(int pass, int row) const
    {
        int t = m_threads - 1;
        while (t > 0 && start(pass, t) > row)
            --t;
        return t;
    }

    /// Chooses the bands of pass @a pass (thread 0 only).
    void choose(int pass)
    {
        // Each band keeps at least an eighth of an even share, so that every thread goes on
        // measuring its speed.
        const int least = std::max(1, m_rows / (8 * m_threads));
        std::vector<double> &weight = m_weights;
        std::fill(weight.begin(), weight.end(), 1.0);
        if (pass == 0) {
            weight[0] = 0.5;
        } else {
            bool measured = true;
            for (int t = 0; t < m_threads; ++t) {
                weight[std::size_t(t)] = m_speeds[std::size_t(t)].rowsPerSecond.load(std::memory_order_relaxed);
                measured = measured && weight[std::size_t(t)] > 0.0;
            }
            if (!measured)
                std::fill(weight.begin(), weight.end(), 1.0);
        }
        double total = 0.0;
        for (double w : weight)
            total += w;
        const int spare = m_rows - least * m_threads;
        double before = 0.0;
        for (int t = 1; t < m_threads; ++t) {
            before += weight[std::size_t(t - 1)];
            const int row = spare > 0 ? least * t + int(std::lround(spare * (before / total))) : m_rows * t / m_threads;
            m_starts[slot(pass, t)].store(std::clamp(row, 0, m_rows), std::memory_order_release);
        }
    }

    /// Records thread @a t's speed on its last band (blended with the one before, so that a
    /// single interruption does not swing the bands).
    void measured(int t, int rows, double seconds)
    {
        if (rows <= 0 || !(seconds > 0.0))
            return;
        std::atomic<double> &speed = m_speeds[std::size_t(t)].rowsPerSecond;
        const double now = double(rows) / seconds;
        const double before = speed.load(std::memory_order_relaxed);
        speed.store(before > 0.0 ? 0.5 * (before + now) : now, std::memory_order_relaxed);
    }

private:
    std::size_t slot(int pass, int t) const { return std::size_t(pass) * std::size_t(m_threads - 1) + std::size_t(t - 1); }

    int m_threads;
    int m_rows;
    std::vector<std::atomic<int>> m_starts;   // -1 until chosen
    std::vector<BandSpeed> m_speeds;
    std::vector<double> m_weights;   // choose()'s, kept to spare an allocation per pass
};

/// Thread @a thread's bands. Its mark is the number of visits (in the order of the sequential
/// sweep) up to and including its last finished one.
template <class Rows>
void sweepBands(Rows &rows, int thread, int passes, int rowsPerPass, int cells, VisitProgress *progress,
                BandPlan &plan)
{
    using Clock = std::chrono::steady_clock;
    VisitProgress &own = progress[thread];
    double waited = 0.0;   // seconds spent waiting in the current band
    const auto waitFor = [&](int t, std::int64_t mark) {
        if (t == thread || progress[t].mark.load(std::memory_order_acquire) >= mark)
            return;
        const Clock::time_point start = Clock::now();
        awaitMark(progress[t], mark);
        waited += std::chrono::duration<double>(Clock::now() - start).count();
    };
    for (int pass = 0; pass < passes; ++pass) {
        if (thread == 0)
            plan.choose(pass);
        const int from = plan.start(pass, thread);
        const int to = plan.start(pass, thread + 1);
        // This thread's band in the pass before: its rows need no waiting.
        const int ownFrom = pass > 0 ? plan.start(pass - 1, thread) : 0;
        const int ownTo = pass > 0 ? plan.start(pass - 1, thread + 1) : 0;
        const std::int64_t first = std::int64_t(pass) * rowsPerPass;
        waited = 0.0;
        const Clock::time_point begun = Clock::now();
        for (int i = from; i < to; ++i) {
            if (i == from && i > 0)
                waitFor(plan.owner(pass, i - 1), first + i);   // visit (p, r − 1) finished
            const int below = std::min(i + passLag<Rows>() - 1, rowsPerPass - 1);
            if (pass > 0 && (below < ownFrom || below >= ownTo))   // visit (p − 1, r + 2) finished
                waitFor(plan.owner(pass - 1, below), first - rowsPerPass + below + 1);
            rows.begin(first + i);
            rows.cells(first + i, 0, cells);
            rows.finish(first + i);
            own.mark.store(first + i + 1, std::memory_order_release);
        }
        plan.measured(thread, to - from, std::chrono::duration<double>(Clock::now() - begun).count() - waited);
    }
}

/// Whether @a passes are shared out by whole passes among @a threads: when each thread gets at
/// least one and the busiest sweeps at most a tenth more than an even share; otherwise the
/// wavefront over the rows balances better.
bool pipelinePasses(int passes, int threads)
{
    if (passes < threads)
        return false;
    const std::int64_t busiest = (std::int64_t(passes) + threads - 1) / threads;
    return busiest * threads * 10 <= std::int64_t(passes) * 11;
}

/// Runs the passes of @a rowsPerPass visits of @a cells cells each on @a threads threads (the
/// calling one included), shared out in bands (see useBands()), by whole passes or as the
/// wavefront over the rows (see pipelinePasses()). Returns false, having done nothing, when the
/// threads cannot be started.
template <class Rows>
bool runOnThreads(Rows &rows, int passes, int rowsPerPass, int cells, int threads)
{
    const std::int64_t visits = std::int64_t(passes) * rowsPerPass;
    const bool byBands = useBands(passes, rowsPerPass);
    const bool byPasses = !byBands && pipelinePasses(passes, threads);
    LastPassShare share;
    share.next.store(visits - rowsPerPass, std::memory_order_relaxed);
    std::optional<BandPlan> plan;
    const auto sweep = [&, byBands, byPasses](int t, VisitProgress *marks) {
        if (byBands)
            sweepBands(rows, t, passes, rowsPerPass, cells, marks, *plan);
        else if (byPasses)
            sweepPasses(rows, t, threads, passes, rowsPerPass, cells, marks, share);
        else
            sweepVisits(rows, t, threads, visits, cells, marks);
    };
    std::vector<VisitProgress> progress;
    // Rows with a whole-grid step before the sweep (prepare()) do it in shares, one per thread.
    constexpr bool kPrepare = requires { rows.prepare(0, 1); };
    std::latch prepared(threads);
    const auto work = [&](int t) {
        if constexpr (kPrepare) {
            rows.prepare(t, threads);
            prepared.arrive_and_wait();
        }
        sweep(t, progress.data());
    };
    const auto allocate = [&] {
        progress = std::vector<VisitProgress>(std::size_t(threads));
        if (byBands)
            plan.emplace(passes, threads, rowsPerPass);
    };
    return runGated(threads, allocate, work);
}

/// Visits of the two talus erosions, which differ only in the cell update.
template <void (*Cell)(float *, ptrdiff_t, float)>
struct TalusRows {
    float *grid;
    ptrdiff_t N;
    int rowsPerPass;
    float talus;

    bool begin(std::int64_t) { return true; }
    void cells(std::int64_t u, int from, int to)
    {
        const ptrdiff_t r = 1 + ptrdiff_t(u % rowsPerPass);
        float *p = grid + r * N + 1 + from;
        for (int i = from; i < to; ++i, ++p)
            Cell(p, N, talus);
    }
    void finish(std::int64_t) {}
};
using ThermalRows = TalusRows<thermalCell>;
using ImprovedRows = TalusRows<improvedCell>;

/// Visits of hydraulic erosion. Besides the flow, the whole-grid steps of the sequential sweep
/// (the first rain, and after each pass the evaporation with the next pass's rain) are done row
/// by row, each cell's step running after every flow update of its pass that touches it and
/// before every one of the next pass:
/// - the first rain is done before any flow, each thread raining on its share of the rows
///   (prepare()); this also spreads the first writes to the fresh water grid over the threads;
/// - row r − 1 is settled when visit (p, r) has finished its flow: the rows touching it,
///   r − 2 … r, are then all done, and the visits that may still be running, (p, r + 1) and
///   later ones of the pass, touch rows r … N − 1 only (they wait for the flow of (p, r), not for
///   its settling); the last visit of a pass also settles rows N − 2 and N − 1. That visit
///   publishes no partial progress, so row 1 of the next pass, which touches rows 0 … 2 and waits
///   for it to finish, starts only when the whole pass, settling included, has finished.
struct HydraulicRows {
    float *height;
    float *water;
    ptrdiff_t N;
    int rowsPerPass;
    int passes;
    HydraulicParams params;

    void settle(ptrdiff_t r, bool lastPass)
    {
        if (lastPass)
            settleCells<true, false>(height + r * N, water + r * N, std::size_t(N), params);
        else
            settleCells<true, true>(height + r * N, water + r * N, std::size_t(N), params);
    }

    void prepare(int thread, int threads)
    {
        const ptrdiff_t from = N * thread / threads, to = N * (thread + 1) / threads;
        settleCells<false, true>(height + from * N, water + from * N, std::size_t((to - from) * N), params);
    }
    bool begin(std::int64_t u) { return 1 + u % rowsPerPass != rowsPerPass; }
    void cells(std::int64_t u, int from, int to)
    {
        const ptrdiff_t r = 1 + ptrdiff_t(u % rowsPerPass);
        const ptrdiff_t start = r * N + 1 + from;
        const float *h = height + start;
        float *w = water + start;
        for (int i = from; i < to; ++i, ++h, ++w)
            flowCell(h, w, N);
    }
    void finish(std::int64_t u)
    {
        const ptrdiff_t r = 1 + ptrdiff_t(u % rowsPerPass);
        const bool lastPass = u / rowsPerPass + 1 == passes;
        settle(r - 1, lastPass);
        if (r == rowsPerPass) {
            settle(r, lastPass);
            settle(r + 1, lastPass);
        }
    }
};

/// Visits of the smoothing, whose sweep runs down one column after the other: a visit is a strip
/// of kWidth columns (the last one may be narrower), and its cells are the steps of a skewed
/// sweep down the strip. Step t updates row t − j of the strip's column j, for j from left to
/// right, so that every cell still finds the values the column-by-column sweep gives it:
/// - (r − 1, c), (r, c − 1) and (r − 1, c − 1) were updated in earlier steps, and (r + 1, c − 1)
///   earlier in the same step;
/// - (r + 1, c) and (r ± 1, c + 1) are still those of the pass before: column j + 1 is a row
///   behind column j, and (r − 1, c + 1) comes later in the same step.
/// Step t of the strip to the right needs steps 0 … t + kWidth of this one: the lag, kWidth + 1
/// steps, is within the wavefront's distance between visits.
///
/// A step touches a few cache lines of a few consecutive rows, where the column-by-column sweep
/// touches a line per row of the grid: with a row stride of a power of two those all fall into
/// the same few cache sets and keep evicting one another, so on large grids the strips are faster
/// even on one thread. The row that the strip reaches a few steps later is prefetched.
struct SmoothStrips {
    static constexpr int kWidth = 8;
    /// Steps between a prefetch and the step that first reads that row.
    static constexpr int kAhead = 8;
    /// Two visits more than the pass pipeline needs, so that the two passes' strips stay a few
    /// cache lines apart.
    static constexpr int kPassLag = kVisitLag + 2;
    static_assert(kWidth + 1 <= kVisitDistance);

    float *grid;
    int n;

    static int stripsFor(int n) { return (n + kWidth - 1) / kWidth; }
    int steps() const { return n + kWidth - 1; }

    bool begin(std::int64_t) { return true; }
    void cells(std::int64_t u, int from, int to)
    {
        const ptrdiff_t N = n;
        const int c0 = int(u % stripsFor(n)) * kWidth;
        const int w = std::min(kWidth, n - c0);
        const bool interiorColumns = c0 > 0 && c0 + kWidth < n;
        for (int t = from; t < to; ++t) {
            if (t + kAhead < n) {
                const float *row = grid + ptrdiff_t(t + kAhead) * N;
                __builtin_prefetch(row + std::max(c0 - 1, 0));
                __builtin_prefetch(row + std::min(c0 + kWidth, n - 1));
            }
            if (interiorColumns && t >= kWidth && t < n - 1) {   // rows t − kWidth + 1 … t: all interior
                float *p = grid + t * N + c0;
                for (int j = 0; j < kWidth; ++j, p += 1 - N)
                    smoothInteriorCell(p, N);
                continue;
            }
            for (int j = 0; j < w; ++j) {
                const int r = t - j, c = c0 + j;
                if (r < 0)
                    break;
                if (r >= n)
                    continue;
                if (r == 0 || r == n - 1 || c == 0 || c == n - 1)
                    grid[r * N + c] = smoothBorderCell(grid, n, r, c);
                else
                    smoothInteriorCell(grid + r * N + c, N);
            }
        }
    }
    void finish(std::int64_t) {}
};

}   // namespace

HydraulicParams HydraulicParams::fromControls(int rain, int solubility, int evaporation, int capacity)
{
    HydraulicParams p;
    p.rain = float(rain) * kControlStep;
    p.solubility = float(solubility) * kControlStep;
    p.evaporation = float(evaporation) * kControlStep;
    p.capacity = float(capacity) * kControlStep;
    return p;
}

HydraulicParams HydraulicParams::fromSettings(const FinalSettings &settings)
{
    return fromControls(settings.erosionRain, settings.erosionSolubility, settings.erosionEvaporation,
                        settings.erosionCapacity);
}

ErosionGrid::ErosionGrid(int size) : m_size(std::max(size, 0)), m_cells(std::size_t(m_size) * std::size_t(m_size))
{
}

void ErosionGrid::loadNormalised(const noise::utils::NoiseMap &map, float minimum, float range)
{
    const int n = m_size;
    for (int r = 0; r < n; ++r) {
        const float *source = map.GetConstSlabPtr(n - 1 - r);
        float *target = m_cells.data() + index(r, 0);
        for (int c = 0; c < n; ++c)
            target[c] = (source[c] - minimum) / range;
    }
}

void ErosionGrid::storeScaled(noise::utils::NoiseMap &map, float minimum, float range) const
{
    const int n = m_size;
    for (int r = 0; r < n; ++r) {
        const float *source = m_cells.data() + index(r, 0);
        float *target = map.GetSlabPtr(n - 1 - r);
        for (int c = 0; c < n; ++c)
            target[c] = minimum + source[c] * range;
    }
}

bool thermalbands::available()
{
    return __builtin_cpu_supports("avx2");
}

int ErosionGrid::automaticThreads(int size, int iterations)
{
    // Starting a thread and the hand-over of every row cost some tens of microseconds per call;
    // below about a million cell updates (a few milliseconds) the plain sweep is as fast.
    constexpr double kParallelWork = 1 << 20;
    const double interior = double(std::max(size - 2, 0));
    if (size < kMinParallelSize || interior * interior * double(std::max(iterations, 0)) < kParallelWork)
        return 1;
    return freeCores(8);
}

void ErosionGrid::thermal(int iterations, int threads)
{
    const int n = m_size;
    if (iterations < 1 || n < 3)
        return;
    const float talus = float(4.0 / n);
    const ptrdiff_t N = n;
    float *const g = m_cells.data();
    if (threads == kAutomaticThreads)
        threads = automaticThreads(n, iterations);
    if (thermalbands::available()) {
        if (threads <= 1 || !thermalbands::run(g, n, talus, iterations, threads))
            thermalbands::run(g, n, talus, iterations, 1);
        return;
    }
    if (threads > 1) {
        ThermalRows rows{g, N, n - 2, talus};
        if (runOnThreads(rows, iterations, n - 2, n - 2, threads))
            return;
    }
    thermalPlain(iterations);
}

void ErosionGrid::thermalPlain(int iterations)
{
    const int n = m_size;
    const float talus = float(4.0 / n);
    const ptrdiff_t N = n;
    float *const g = m_cells.data();
    for (int pass = 0; pass < iterations; ++pass) {
        for (int r = 1; r < n - 1; ++r) {
            float *p = g + r * N + 1;
            for (int c = 1; c < n - 1; ++c, ++p)
                thermalCell(p, N, talus);
        }
    }
}

void ErosionGrid::improved(int iterations, int threads)
{
    const int n = m_size;
    if (iterations < 1 || n < 3)
        return;
    const float talus = float(12.0 / n);
    const ptrdiff_t N = n;
    float *const g = m_cells.data();
    if (threads == kAutomaticThreads)
        threads = automaticThreads(n, iterations);
    if (threads > 1) {
        ImprovedRows rows{g, N, n - 2, talus};
        if (runOnThreads(rows, iterations, n - 2, n - 2, threads))
            return;
    }
    for (int pass = 0; pass < iterations; ++pass) {
        for (int r = 1; r < n - 1; ++r) {
            float *p = g + r * N + 1;
            for (int c = 1; c < n - 1; ++c, ++p)
                improvedCell(p, N, talus);
        }
    }
}

void ErosionGrid::hydraulic(int iterations, const HydraulicParams &params, int threads)
{
    const int n = m_size;
    if (iterations < 1 || n < 1)
        return;
    const std::size_t count = m_cells.size();
    // Every cell's water is first set by the first rain (settleCells<false, true>).
    const auto waterGrid = std::make_unique_for_overwrite<float[]>(count);
    float *const H = m_cells.data();
    float *const W = waterGrid.get();
    const ptrdiff_t N = n;

    if (threads == kAutomaticThreads)
        threads = automaticThreads(n, iterations);
    if (threads > 1 && n >= 3) {
        HydraulicRows rows{H, W, N, n - 2, iterations, params};
        if (runOnThreads(rows, iterations, n - 2, n - 2, threads))
            return;
    }

    settleCells<false, true>(H, W, count, params);
    for (int pass = 0; pass < iterations; ++pass) {
        // Flow: each interior cell sends water to the neighbour with the lowest water level.
        for (int r = 1; r < n - 1; ++r) {
            const ptrdiff_t rowStart = r * N + 1;
            float *h = H + rowStart;
            float *w = W + rowStart;
            for (int c = 1; c < n - 1; ++c, ++h, ++w)
                flowCell(h, w, N);
        }
        if (pass + 1 < iterations)
            settleCells<true, true>(H, W, count, params);
        else
            settleCells<true, false>(H, W, count, params);
    }
}

void ErosionGrid::smooth(int iterations, int threads)
{
    const int n = m_size;
    if (iterations < 1 || n < 1)
        return;
    const ptrdiff_t N = n;
    float *const g = m_cells.data();
    if (threads == kAutomaticThreads)
        threads = automaticThreads(n, iterations);
    if (threads > 1) {
        SmoothStrips strips{g, n};
        if (runOnThreads(strips, iterations, SmoothStrips::stripsFor(n), strips.steps(), threads))
            return;
    }
    for (int pass = 0; pass < iterations; ++pass) {
        for (int c = 0; c < n; ++c) {
            if (c == 0 || c == n - 1 || n < 3) {
                for (int r = 0; r < n; ++r)
                    g[r * N + c] = smoothBorderCell(g, n, r, c);
                continue;
            }
            g[c] = smoothBorderCell(g, n, 0, c);
            float above = g[c];   // kept in a register from one row to the next
            float *p = g + N + c;
            for (int r = 1; r < n - 1; ++r, p += N) {
                above = (smoothRest(p, N) + above) / 9.0f;
                *p = above;
            }
            g[(n - 1) * N + c] = smoothBorderCell(g, n, n - 1, c);
        }
    }
}

SedimentSettings sedimentSettings(const FinalSettings &f)
{
    SedimentSettings s;
    s.iterations = f.erosionIterations;
    s.rain = float(f.sedimentRain);
    s.erosion = float(f.sedimentErosion);
    s.deposition = float(f.sedimentDeposition) * kControlStep;
    s.capacity = float(f.sedimentCapacity) * kControlStep;
    s.evaporation = float(double(f.sedimentEvaporation) * 0.0001);
    s.minSlope = float(double(f.sedimentMinSlope) * 0.001);
    s.seed = f.sedimentSeed;
    return s;
}

ErosionRequest ErosionRequest::fromSettings(const FinalSettings &settings, bool greyscaleMapMode,
                                            const QString &mapsFolder)
{
    ErosionRequest request;
    request.type = settings.erosion();
    request.iterations = settings.erosionIterations;
    request.hydraulic = HydraulicParams::fromSettings(settings);
    request.sediment = sedimentSettings(settings);
    request.terrainSize = settings.terrainSize;
    request.elevationRange = double(settings.elevationHigh) - double(settings.elevationLow);
    request.greyscaleMapMode = greyscaleMapMode;
    request.picturePath = QDir(mapsFolder).filePath(QStringLiteral("HFFnoisePreview.jpg"));
    return request;
}

bool erosionRequested(const FinalSettings &settings)
{
    return settings.erosion() != ErosionType::None && settings.erosionIterations > 0;
}

namespace {

/// Sediment erosion of the normalised grid: in metres, and back.
void sedimentOnGrid(ErosionGrid &grid, const ErosionRequest &request, noise::utils::ProgressReporter *progress)
{
    const double range = request.elevationRange;
    const int n = grid.size();
    if (!(range > 0.0) || !(request.terrainSize > 0.0) || n < 3)
        return;
    std::vector<float> &cells = grid.cells();
    for (float &v : cells)
        v = float(double(v) * range);
    SedimentSettings settings = request.sediment;
    settings.iterations = request.iterations;
    const int threads = request.threads == ErosionGrid::kAutomaticThreads ? 0 : request.threads;
    bool cancelled = false;
    erodeSediment(cells, n, request.terrainSize, settings, request.sedimentMaps, threads, [&](int done, int total) {
        if (!progress)
            return true;
        progress->SetPanelText(QStringLiteral("eroding terrain ...\n\n%1/%2").arg(done).arg(total));
        progress->ProcessEvents();
        cancelled = progress->IsCancelled();
        return !cancelled;
    });
    for (float &v : cells)
        v = float(double(v) / range);
    if (cancelled)
        progress->CheckCancelled();
}

}   // namespace

void runErosion(ErosionGrid &grid, const ErosionRequest &request, noise::utils::ProgressReporter *progress)
{
    const int iterations = request.iterations;
    switch (request.type) {
    case ErosionType::Thermal:
        grid.thermal(iterations, request.threads);
        grid.smooth(iterations / 8 + 1, request.threads);
        break;
    case ErosionType::ImprovedThermal:
        grid.improved(iterations, request.threads);
        grid.smooth(iterations / 8 + 1, request.threads);
        break;
    case ErosionType::Hydraulics:
        grid.hydraulic(iterations, request.hydraulic, request.threads);
        if (iterations > 50)
            grid.smooth(1, request.threads);
        break;
    case ErosionType::Smooth:
        if (request.greyscaleMapMode)
            grid.smooth(iterations, request.threads);
        break;
    case ErosionType::Sediment:
        sedimentOnGrid(grid, request, progress);
        break;
    case ErosionType::None:
        break;
    }
}

namespace {

/// Writes the grey picture of the grid as a colour JPEG a band of rows at a time (the bytes the
/// whole picture would give), without the picture in memory.
bool writeGreyRows(const QString &path, const ErosionGrid &grid, QString *writeError)
{
    const int n = grid.size();
    constexpr int kBand = 64;
    try {
        files::JpegRows out(path, n, n);
        std::vector<QRgb> rows(std::size_t(n) * kBand);
        for (int top = 0; top < n; top += kBand) {
            const int count = std::min(kBand, n - top);
            for (int r = 0; r < count; ++r) {
                const float *source = grid.data() + std::size_t(top + r) * std::size_t(n);
                QRgb *line = rows.data() + std::size_t(r) * std::size_t(n);
                for (int c = 0; c < n; ++c) {
                    const int level = greyLevel(source[c]);
                    line[c] = qRgb(level, level, level);
                }
            }
            out.write(rows.data(), count, n);
        }
        out.finish();
    } catch (const files::WriteError &e) {
        if (writeError)
            *writeError = e.message();
        return false;
    }
    return true;
}

}   // namespace

bool rewriteGreyPicture(const QString &path, const ErosionGrid &grid, QString *writeError)
{
    if (path.isEmpty() || !files::inputProblem(path).isEmpty())
        return false;
    const int n = grid.size();
    QImage picture;
    {
        // The reader is closed again before the picture is saved over its file.
        QImageReader reader(path);
        if (!reader.canRead())
            return false;
        if (reader.size() == QSize(n, n)) {
            // Every pixel is replaced: no need to decode the old picture (which at large sizes
            // would be another full-size image in memory). A colour picture is written in bands.
            if (reader.imageFormat() != QImage::Format_Grayscale8) {
                reader.setFileName(QString());
                return writeGreyRows(path, grid, writeError);
            }
            picture = QImage(n, n, QImage::Format_Grayscale8);
        } else {
            reader.setAllocationLimit(0);
            picture = reader.read();
            if (!picture.isNull() && picture.format() != QImage::Format_Grayscale8)
                picture = picture.convertToFormat(QImage::Format_RGB32);
        }
    }
    if (picture.isNull())
        return false;

    const int rows = std::min(n, picture.height());
    const int columns = std::min(n, picture.width());
    const bool grey = picture.format() == QImage::Format_Grayscale8;
    for (int r = 0; r < rows; ++r) {
        const float *source = grid.data() + std::size_t(r) * std::size_t(n);
        uchar *line = picture.scanLine(r);
        if (grey) {
            for (int c = 0; c < columns; ++c)
                line[c] = uchar(greyLevel(source[c]));
        } else {
            auto *pixels = reinterpret_cast<QRgb *>(line);
            for (int c = 0; c < columns; ++c) {
                const int level = greyLevel(source[c]);
                pixels[c] = qRgb(level, level, level);
            }
        }
    }
    const QString failure = files::writePicture(path, std::move(picture));
    if (!failure.isEmpty() && writeError)
        *writeError = failure;
    return failure.isEmpty();
}

ErosionResult erodeHeightMap(noise::utils::NoiseMap &map, const ErosionRequest &request,
                             noise::utils::ProgressReporter *reporter)
{
    ErosionResult result;
    switch (request.type) {
    case ErosionType::Thermal:
    case ErosionType::ImprovedThermal:
    case ErosionType::Hydraulics:
    case ErosionType::Smooth:
    case ErosionType::Sediment:
        break;
    default:
        return result;
    }

    noise::utils::ProgressReporter &progress = reporter ? *reporter : noise::utils::ProgressReporter::Null();
    progress.SetPanelText(QStringLiteral("eroding terrain ...\n\n1/1"));
    progress.ProcessEvents();
    const auto finish = [&](ErosionResult::Outcome outcome) {
        progress.SetPanelText(QString());
        result.outcome = outcome;
        return result;
    };

    const int n = map.GetWidth();
    if (n < 1 || map.GetHeight() != n)
        return finish(ErosionResult::Outcome::SkippedEmpty);

    float minimum = std::numeric_limits<float>::infinity();
    float maximum = -std::numeric_limits<float>::infinity();
    for (int y = 0; y < n; ++y) {
        const float *row = map.GetConstSlabPtr(y);
        for (int x = 0; x < n; ++x) {
            minimum = row[x] < minimum ? row[x] : minimum;
            maximum = row[x] > maximum ? row[x] : maximum;
        }
    }
    result.minimum = minimum;
    result.maximum = maximum;
    const float range = maximum - minimum;
    // A flat map would divide by zero; an infinite range would turn the grid into NaN.
    if (!(range > 0.0f) || !std::isfinite(range))
        return finish(ErosionResult::Outcome::SkippedFlat);

    try {
        ErosionGrid grid(n);
        grid.loadNormalised(map, minimum, range);
        runErosion(grid, request, &progress);
        grid.storeScaled(map, minimum, range);
        result.pictureRewritten = rewriteGreyPicture(request.picturePath, grid, &result.writeError);
    } catch (const std::bad_alloc &) {
        return finish(ErosionResult::Outcome::OutOfMemory);
    }
    return finish(ErosionResult::Outcome::Eroded);
}

}   // namespace orovista
