#include "terrain/surfacedetail.h"

#include <algorithm>
#include <cmath>

namespace orovista {

std::vector<float> mapValues(const noise::utils::NoiseMap &map)
{
    const int w = map.GetWidth(), h = map.GetHeight();
    std::vector<float> values(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        std::copy_n(map.GetConstSlabPtr(y), w, values.begin() + std::ptrdiff_t(y) * w);
    return values;
}

SurfaceDetail::SurfaceDetail(std::vector<float> surface, std::vector<float> graph, int size, bool imported, float bound)
    : m_surface(std::move(surface)), m_graph(std::move(graph)), m_size(size), m_imported(imported),
      m_bound(std::max(0.0f, bound))
{
}

void SurfaceDetail::rowShift(int first, int count, int n, const std::function<const float *(int)> &finalRow,
                             float *shift) const
{
    // Where the run's samples lie on the surface: the machine's at x · size / n, an imported
    // heightmap's from the first sample to the last.
    const double span = m_imported ? double(m_size - 1) : double(n - 1) * m_size / n;
    const ResampleSquare square{0.0, 0.0, span, span};
    const std::vector<float> surface = resampleBlock(m_surface.data(), m_size, m_size, square, n, 0, n, first, count);
    const std::vector<float> graph = resampleBlock(m_graph.data(), m_size, m_size, square, n, 0, n, first, count);
    float largest = m_deviation.load();
    for (int r = 0; r < count; ++r) {
        const float *values = finalRow(first + r);
        const std::size_t row = std::size_t(r) * std::size_t(n);
        for (int x = 0; x < n; ++x) {
            const float detail = std::clamp(values[x] - graph[row + x], -m_bound, m_bound);
            largest = std::max(largest, std::fabs(detail));
            shift[row + x] = surface[row + x] + detail - values[x];
        }
    }
    m_deviation.store(largest);
}

}   // namespace orovista
