#pragma once
// The cell update of thermal erosion and the steepest-drop search the erosion passes share, so
// that the plain sweep, the threads and the vector bands do the very same arithmetic.
#include <cfloat>
#include <cstddef>

namespace orovista::erosioncells {

using std::ptrdiff_t;

/// Starting value of the "largest drop" searches: the most negative float.
constexpr float kNoDrop = -FLT_MAX;

/// Keeps the largest drop and the offset of the neighbour giving it. Drops are offered in the
/// visiting order and taken only when strictly greater than the one kept, so the first of equal
/// drops wins; the search starts at the most negative float. (Plain compare-and-branch: the
/// steepest direction changes little from one cell to the next, which the branch predictor
/// exploits; a branchless max-then-find is markedly slower here.)
struct SteepestDrop {
    float best = kNoDrop;
    ptrdiff_t offset = 0;

    [[gnu::always_inline]] void offer(float drop, ptrdiff_t at)
    {
        if (drop > best) {
            best = drop;
            offset = at;
        }
    }
};

/// Thermal: levels the cell with its lowest diagonal neighbour when the drop exceeds the talus.
[[gnu::always_inline]] inline void thermalCell(float *p, ptrdiff_t N, float talus)
{
    const float h = *p;
    SteepestDrop drop;
    drop.offer(h - p[-N - 1], -N - 1);
    drop.offer(h - p[-N + 1], -N + 1);
    drop.offer(h - p[N - 1], N - 1);
    drop.offer(h - p[N + 1], N + 1);
    const float best = drop.best;
    if (best > talus) {
        const float level = h - best * 0.5f;
        *p = level;
        p[drop.offset] = level;
    }
}

}   // namespace orovista::erosioncells
