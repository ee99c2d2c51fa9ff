#include "terrain/sedimentmarks.h"
#include "terrain/bilinear.h"

#include <algorithm>
#include <cmath>

namespace orovista {

double smoothRamp(double from, double to, double x)
{
    if (to <= from)
        return x < from ? 0.0 : 1.0;
    const double t = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

SedimentMarks::SedimentMarks(const SedimentMaps *maps, const SedimentMarkRamps &ramps) : m_ramps(ramps)
{
    const std::size_t cells = maps ? std::size_t(maps->size) * std::size_t(maps->size) : 0;
    if (!maps || maps->size < 2 || maps->flow.size() != cells || maps->deposit.size() != cells)
        return;
    m_maps = maps;
    m_size = maps->size;
    // The flow's share on its log scale, once a cell: places between cells read it interpolated.
    const double top = std::log1p(double(std::max(0.0f, *std::max_element(maps->flow.begin(), maps->flow.end()))));
    m_flowShare.resize(cells);
    for (std::size_t i = 0; i < cells; ++i)
        m_flowShare[i] = top > 0.0 ? float(std::log1p(double(std::max(0.0f, maps->flow[i]))) / top) : 0.0f;
    // Interpolation never exceeds its largest corner: a square whose corners are all unmarked
    // holds no mark, which is most of the terrain.
    const int m = m_size;
    std::vector<std::uint8_t> marked(cells);
    for (std::size_t i = 0; i < cells; ++i)
        marked[i] = smoothRamp(ramps.streamFrom, ramps.streamFull, m_flowShare[i]) > 0.0 ||
                    smoothRamp(ramps.depositFrom, ramps.depositFull, maps->deposit[i]) > 0.0;
    m_squareMarked.assign(cells, 0);
    for (int y = 0; y + 1 < m; ++y)
        for (int x = 0; x + 1 < m; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(m) + std::size_t(x);
            m_squareMarked[i] = marked[i] | marked[i + 1] | marked[i + std::size_t(m)] | marked[i + std::size_t(m) + 1];
        }
}

SedimentMarks::Shares SedimentMarks::at(double column, double row) const
{
    if (empty())
        return {};
    const int m = m_size;
    const double x = std::clamp(column, 0.0, double(m - 1)), y = std::clamp(row, 0.0, double(m - 1));
    const int x0 = std::min(int(x), m - 2), y0 = std::min(int(y), m - 2);
    if (!m_squareMarked[std::size_t(y0) * std::size_t(m) + std::size_t(x0)])
        return {};
    return {smoothRamp(m_ramps.streamFrom, m_ramps.streamFull, bilinear(m_flowShare, m, x, y)),
            smoothRamp(m_ramps.depositFrom, m_ramps.depositFull, bilinear(m_maps->deposit, m, x, y))};
}

SedimentTint::SedimentTint(const SedimentMaps &maps, bool imported)
    : m_marks(&maps), m_size(maps.size), m_imported(imported)
{
}

double SedimentTint::place(int x, int n) const
{
    if (m_imported)
        return n > 1 ? double(x) * (m_size - 1) / (n - 1) : 0.0;
    return double(x) * m_size / n;
}

void SedimentTint::tintRow(int y, int n, noise::utils::Color *row) const
{
    if (m_marks.empty())
        return;
    constexpr double wetDarkening = 0.45, siltCover = 0.3;
    constexpr double silt[3] = {190.0, 170.0, 130.0};
    // The maps lie as erosion leaves them: their row 0 is the map's last row.
    const double r = double(m_size - 1) - place(y, n);
    const double step = place(1, n);
    for (int x = 0; x < n; ++x) {
        const SedimentMarks::Shares s = m_marks.at(x * step, r);
        if (s.stream <= 0.0 && s.deposit <= 0.0)
            continue;
        const double dark = 1.0 - wetDarkening * s.stream, cover = siltCover * s.deposit;
        std::uint8_t *channels[3] = {&row[x].red, &row[x].green, &row[x].blue};
        for (int c = 0; c < 3; ++c) {
            const double v = double(*channels[c]);
            *channels[c] = std::uint8_t(std::clamp(std::lround((v + cover * (silt[c] - v)) * dark), 0L, 255L));
        }
    }
}

}   // namespace orovista
