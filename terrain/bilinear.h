#pragma once
// Bilinear reading of a square grid between its cells.
#include <algorithm>
#include <cstddef>
#include <vector>

namespace orovista {

/// The m × m grid g (row by row) at (x, y), in cells: the four cells around it weighted by
/// nearness. Places within one cell beyond the last row or column read the last square's slope
/// on (clamp them first where that is not wanted).
template <class T>
double bilinear(const std::vector<T> &g, int m, double x, double y)
{
    const int x0 = std::clamp(int(x), 0, std::max(m - 2, 0)), y0 = std::clamp(int(y), 0, std::max(m - 2, 0));
    const int x1 = std::min(x0 + 1, m - 1), y1 = std::min(y0 + 1, m - 1);
    const double u = x - x0, v = y - y0;
    const auto at = [&](int cx, int cy) { return double(g[std::size_t(cy) * std::size_t(m) + std::size_t(cx)]); };
    return at(x0, y0) * (1 - u) * (1 - v) + at(x1, y0) * u * (1 - v) + at(x0, y1) * (1 - u) * v + at(x1, y1) * u * v;
}

}   // namespace orovista
