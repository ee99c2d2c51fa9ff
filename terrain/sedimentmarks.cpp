#include "terrain/sedimentmarks.h"

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
    m_topFlow = std::log1p(double(std::max(0.0f, *std::max_element(maps->flow.begin(), maps->flow.end()))));
}

double SedimentMarks::read(const std::vector<float> &map, double column, double row) const
{
    const int m = m_size;
    const double x = std::clamp(column, 0.0, double(m - 1)), y = std::clamp(row, 0.0, double(m - 1));
    const int x0 = std::min(int(x), m - 2), y0 = std::min(int(y), m - 2);
    const double u = x - x0, v = y - y0;
    const auto at = [&](int cx, int cy) { return double(map[std::size_t(cy) * std::size_t(m) + std::size_t(cx)]); };
    return at(x0, y0) * (1 - u) * (1 - v) + at(x0 + 1, y0) * u * (1 - v) + at(x0, y0 + 1) * (1 - u) * v +
           at(x0 + 1, y0 + 1) * u * v;
}

SedimentMarks::Shares SedimentMarks::at(double column, double row) const
{
    if (empty())
        return {};
    const double flow = m_topFlow > 0.0 ? std::log1p(std::max(0.0, read(m_maps->flow, column, row))) / m_topFlow : 0.0;
    return {smoothRamp(m_ramps.streamFrom, m_ramps.streamFull, flow),
            smoothRamp(m_ramps.depositFrom, m_ramps.depositFull, read(m_maps->deposit, column, row))};
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
    for (int x = 0; x < n; ++x) {
        const SedimentMarks::Shares s = m_marks.at(place(x, n), r);
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
