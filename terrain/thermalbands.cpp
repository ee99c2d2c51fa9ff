// Compiled with AVX2 (see CMakeLists.txt): nothing here may run before available() said yes,
// which is why available() lives in erosion.cpp.
#include "terrain/thermalbands.h"
#include "terrain/erosioncells.h"
#include "terrain/gatedthreads.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace orovista::thermalbands {

namespace {

using std::ptrdiff_t;

// Lane j of a band holds grid row top + j; skewed column d holds grid column d − 2j in lane j.
// The cells are lanes 1 … 6; lanes 0 and 7 are the rows above and below.
constexpr int kCellRows = 6;
// Two bands run together, the lower one this many steps behind: it reads the band above's rows
// from the grid, so that band must have written them back (its skewed column d − 3 after step d,
// and row r + 5 / r + 6 of a column X lie in its skewed columns X + 12 / X + 14).
constexpr int kLowerBandLag = 20;

/// The constants of a pass and the loads and stores of skewed columns.
struct Kernel {
    ptrdiff_t N;
    int n;
    __m256i twoJ, gatherIndex, toRight, toLeft, cellLanes, one, two, three;
    __m256 talus, lowest, half;
    float scalarTalus;

    Kernel(ptrdiff_t size, float talusValue) : N(size), n(int(size)), scalarTalus(talusValue)
    {
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        twoJ = _mm256_add_epi32(lane, lane);
        gatherIndex = _mm256_mullo_epi32(lane, _mm256_set1_epi32(int(N - 2)));
        toRight = _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6);   // lane j takes lane j − 1
        toLeft = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7);    // lane j takes lane j + 1
        cellLanes = _mm256_setr_epi32(0, -1, -1, -1, -1, -1, -1, 0);
        one = _mm256_set1_epi32(1);
        two = _mm256_set1_epi32(2);
        three = _mm256_set1_epi32(3);
        talus = _mm256_set1_ps(talusValue);
        lowest = _mm256_set1_ps(erosioncells::kNoDrop);
        half = _mm256_set1_ps(0.5f);
    }

    /// Lanes whose column d − 2j lies in [low, high].
    __m256i columnsIn(int d, int low, int high) const
    {
        const __m256i c = _mm256_sub_epi32(_mm256_set1_epi32(d), twoJ);
        return _mm256_and_si256(_mm256_cmpgt_epi32(c, _mm256_set1_epi32(low - 1)),
                                _mm256_cmpgt_epi32(_mm256_set1_epi32(high + 1), c));
    }
    bool wholeColumn(int d) const { return d >= 14 && d <= n - 1; }

    __m256 load(const float *top, int d) const
    {
        if (wholeColumn(d))
            return _mm256_i32gather_ps(top + d, gatherIndex, 4);
        return _mm256_mask_i32gather_ps(_mm256_setzero_ps(), top + d, gatherIndex,
                                        _mm256_castsi256_ps(columnsIn(d, 0, n - 1)), 4);
    }
    void store(float *top, int d, __m256 column) const
    {
        alignas(32) float lanes[8];
        _mm256_store_ps(lanes, column);
        float *at = top + d;
        const ptrdiff_t step = N - 2;
        if (wholeColumn(d)) {
            for (int j = 0; j < 8; ++j)
                at[j * step] = lanes[j];
        } else {
            for (int j = 0; j < 8; ++j)
                if (d - 2 * j >= 0 && d - 2 * j < n)
                    at[j * step] = lanes[j];
        }
    }
};

/// Six rows sliding along: the skewed columns d − 3 … d + 3 around step d's cells.
struct Band {
    float *top;
    __m256 w0, w1, w2, w3, w4, w5, w6;

    /// The last step: column n − 2 of the lowest cell row (lane 6).
    static int lastStep(const Kernel &k) { return k.n - 2 + 2 * kCellRows; }

    void start(const Kernel &k, float *topRow)
    {
        top = topRow;
        w0 = k.load(top, 0);
        w1 = k.load(top, 1);
        w2 = k.load(top, 2);
        w3 = k.load(top, 3);
        w4 = k.load(top, 4);
        w5 = k.load(top, 5);
        w6 = k.load(top, 6);
    }

    /// Updates the cells of skewed column d (d = 3 … lastStep()), writes column d − 3 back and
    /// reads column d + 4.
    [[gnu::always_inline]] void step(const Kernel &k, int d)
    {
        const __m256i active = d >= 2 * kCellRows + 1 && d <= k.n - 2
                                   ? k.cellLanes
                                   : _mm256_and_si256(k.cellLanes, k.columnsIn(d, 1, k.n - 2));
        const __m256 h = w3;
        // The diagonal neighbours, in the order of the plain sweep: up-left, up-right,
        // down-left, down-right.
        const __m256 a = _mm256_sub_ps(h, _mm256_permutevar8x32_ps(w0, k.toRight));
        const __m256 b = _mm256_sub_ps(h, _mm256_permutevar8x32_ps(w2, k.toRight));
        const __m256 c = _mm256_sub_ps(h, _mm256_permutevar8x32_ps(w4, k.toLeft));
        const __m256 e = _mm256_sub_ps(h, _mm256_permutevar8x32_ps(w6, k.toLeft));
        // First strictly greater drop wins, from the most negative float (NaN never wins).
        __m256 best = _mm256_blendv_ps(k.lowest, a, _mm256_cmp_ps(a, k.lowest, _CMP_GT_OQ));
        __m256i chosen = _mm256_setzero_si256();
        __m256 greater = _mm256_cmp_ps(b, best, _CMP_GT_OQ);
        best = _mm256_blendv_ps(best, b, greater);
        chosen = _mm256_blendv_epi8(chosen, k.one, _mm256_castps_si256(greater));
        greater = _mm256_cmp_ps(c, best, _CMP_GT_OQ);
        best = _mm256_blendv_ps(best, c, greater);
        chosen = _mm256_blendv_epi8(chosen, k.two, _mm256_castps_si256(greater));
        greater = _mm256_cmp_ps(e, best, _CMP_GT_OQ);
        best = _mm256_blendv_ps(best, e, greater);
        chosen = _mm256_blendv_epi8(chosen, k.three, _mm256_castps_si256(greater));
        const __m256 level = _mm256_and_ps(_mm256_cmp_ps(best, k.talus, _CMP_GT_OQ), _mm256_castsi256_ps(active));
        const __m256 levelled = _mm256_sub_ps(h, _mm256_mul_ps(best, k.half));
        w3 = _mm256_blendv_ps(h, levelled, level);
        const auto to = [&](__m256i which) {
            return _mm256_and_ps(level, _mm256_castsi256_ps(_mm256_cmpeq_epi32(chosen, which)));
        };
        // A lane's diagonal write lands in the lane above (columns d − 3, d − 1) or below.
        const __m256 up = _mm256_permutevar8x32_ps(levelled, k.toLeft);
        const __m256 down = _mm256_permutevar8x32_ps(levelled, k.toRight);
        w0 = _mm256_blendv_ps(w0, up, _mm256_permutevar8x32_ps(to(_mm256_setzero_si256()), k.toLeft));
        w2 = _mm256_blendv_ps(w2, up, _mm256_permutevar8x32_ps(to(k.one), k.toLeft));
        w4 = _mm256_blendv_ps(w4, down, _mm256_permutevar8x32_ps(to(k.two), k.toRight));
        w6 = _mm256_blendv_ps(w6, down, _mm256_permutevar8x32_ps(to(k.three), k.toRight));
        k.store(top, d - 3, w0);
        w0 = w1;
        w1 = w2;
        w2 = w3;
        w3 = w4;
        w4 = w5;
        w5 = w6;
        w6 = k.load(top, d + 4);
    }

    /// Writes back the columns still held after the last step.
    void finish(const Kernel &k)
    {
        const int last = lastStep(k);
        k.store(top, last - 2, w0);
        k.store(top, last - 1, w1);
        k.store(top, last, w2);
        k.store(top, last + 1, w3);
        k.store(top, last + 2, w4);
        k.store(top, last + 3, w5);
    }
};

void oneBand(const Kernel &k, float *grid, int firstRow)
{
    Band band;
    band.start(k, grid + (firstRow - 1) * k.N);
    for (int d = 3, last = Band::lastStep(k); d <= last; ++d)
        band.step(k, d);
    band.finish(k);
}

void twoBands(const Kernel &k, float *grid, int firstRow)
{
    const int last = Band::lastStep(k);
    Band upper, lower;
    upper.start(k, grid + (firstRow - 1) * k.N);
    int d = 3;
    for (; d < 3 + kLowerBandLag && d <= last; ++d)
        upper.step(k, d);
    lower.start(k, grid + (firstRow + kCellRows - 1) * k.N);
    for (; d <= last; ++d) {
        upper.step(k, d);
        lower.step(k, d - kLowerBandLag);
    }
    upper.finish(k);
    for (int e = d - kLowerBandLag; e <= last; ++e)
        lower.step(k, e);
    lower.finish(k);
}

/// Rows a unit of work covers: two bands.
constexpr int kUnitRows = 2 * kCellRows;

int unitCount(int n) { return (n - 2 + kUnitRows - 1) / kUnitRows; }

/// Unit u of a pass: interior rows 1 + 12u …, as two bands, one band, or cell by cell for the
/// rows too few for a band.
void passUnit(const Kernel &k, float *grid, int unit)
{
    const int first = 1 + kUnitRows * unit;
    const int rows = std::min(kUnitRows, k.n - 1 - first);
    int r = first;
    if (rows == kUnitRows) {
        twoBands(k, grid, r);
        return;
    }
    if (rows >= kCellRows) {
        oneBand(k, grid, r);
        r += kCellRows;
    }
    for (; r < k.n - 1; ++r) {
        float *p = grid + r * k.N + 1;
        for (int c = 1; c < k.n - 1; ++c, ++p)
            erosioncells::thermalCell(p, k.N, k.scalarTalus);
    }
}

/// Progress of the thread sweeping a pass, on a cache line of its own: p × (units + 1) + k once
/// k units of pass p are done.
struct alignas(64) PassProgress {
    std::atomic<std::int64_t> mark{-1};
};

}   // namespace

bool run(float *grid, int n, float talus, int passes, int threads)
{
    const Kernel k(n, talus);
    const int units = unitCount(n);
    if (threads <= 1 || passes < 2) {
        for (int pass = 0; pass < passes; ++pass)
            for (int u = 0; u < units; ++u)
                passUnit(k, grid, u);
        return true;
    }
    // Pass p + 1's unit u touches rows 12u … 12u + 13; pass p's unit u + 1 touches rows up to
    // 12u + 25 and its unit u + 2 starts at row 12u + 24: so unit u of the next pass waits until
    // two more units of this pass are done, and what runs at the same time touches other rows.
    const std::int64_t stride = std::int64_t(units) + 1;
    std::vector<PassProgress> progress;
    const auto sweep = [&](int t) {
        PassProgress &own = progress[std::size_t(t)];
        const PassProgress &before = progress[std::size_t((t + threads - 1) % threads)];
        for (int pass = t; pass < passes; pass += threads) {
            for (int u = 0; u < units; ++u) {
                if (pass > 0) {
                    const std::int64_t needed = (pass - 1) * stride + std::min(u + 2, units);
                    while (before.mark.load(std::memory_order_acquire) < needed)
                        std::this_thread::yield();
                }
                passUnit(k, grid, u);
                own.mark.store(pass * stride + u + 1, std::memory_order_release);
            }
        }
    };
    return runGated(threads, [&] { progress = std::vector<PassProgress>(std::size_t(threads)); }, sweep);
}

}   // namespace orovista::thermalbands
