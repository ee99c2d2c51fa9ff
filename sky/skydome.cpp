#include "sky/skydome.h"

#include "plugin/random.h"

#include <array>
#include <cmath>
#include <memory>
#include <random>

namespace orovista::sky {

namespace {

constexpr double pi = 3.14159265358979323846;

struct TrigTables {
    std::array<float, trigTableSize> sine {};
    std::array<float, trigTableSize> cosine {};
    TrigTables()
    {
        for (int i = 0; i < trigTableSize; ++i) {
            const double radians = double(i) * 360.0 / trigTableSize * pi / 180.0;
            sine[std::size_t(i)] = float(std::sin(radians));
            cosine[std::size_t(i)] = float(std::cos(radians));
        }
    }
};

const TrigTables &tables()
{
    static const TrigTables filled;   // on first use, thread-safe
    return filled;
}

std::size_t tableIndex(float radians)
{
    return std::size_t(int(radians * 651.8986f) & (trigTableSize - 1));
}

int starSize(int draw)
{
    const int s = draw % 101;
    return s <= 80 ? 2 : s <= 96 ? 3 : 4;
}

}   // namespace

float tableSin(float radians) { return tables().sine[tableIndex(radians)]; }
float tableCos(float radians) { return tables().cosine[tableIndex(radians)]; }

RandomSource applicationRandom()
{
    return [] { return orovista::random::next(); };
}

RandomSource seededRandom(std::uint32_t seed, std::uint32_t stream)
{
    // One std::minstd_rand per source, shared by its copies: 1 … 2147483646, never 0.
    std::seed_seq sequence {seed, stream};
    auto engine = std::make_shared<std::minstd_rand>(sequence);
    return [engine] { return int((*engine)()); };
}

void SkyDome::build(const SkyParameters &sky, float radius, bool newStars, const RandomSource &random)
{
    constexpr int n = domeResolution;
    m_radius = radius;
    for (std::vector<float> *array : {&m_x, &m_y, &m_z, &m_red, &m_green, &m_blue})
        array->assign(std::size_t(n * n), 0.0f);
    m_haze.assign(std::size_t(n), 0.0f);

    if (newStars) {
        m_stars.clear();
        m_stars.reserve(std::size_t(std::max(sky.starPopulation, 0)));
        const int high = int(radius), low = int(-radius);
        const int span = high - low + 1;
        for (int k = 0; k < sky.starPopulation; ++k) {
            int x = 0, z = 0;
            do {
                x = random() % span + low;
                z = random() % span + low;
            } while (double(x) * x + double(z) * z > double(radius) * radius);
            // On the sphere above or below the (x, z) point; a zero radius puts every star at
            // the centre instead of dividing by it.
            const double planar = radius > 0.0f ? std::sqrt(double(x / radius) * (x / radius) +
                                                            double(z / radius) * (z / radius))
                                                : 1.0;
            double y = radius * std::sin(std::acos(std::min(planar, 1.0)));
            if (random() % 201 - 100 < 0)
                y = -y;
            Star star;
            star.x = float(x);
            star.y = float(y);
            star.z = float(z);
            star.size = starSize(random());
            m_stars.push_back(star);
        }
    }

    const SkyColorModel model(sky);
    constexpr float degrees = float(pi / 180.0);
    for (int i = 0; i < n; ++i) {
        const float t = float(i) * 1.40625f;
        const float e = 90.0f - t;
        for (int j = 0; j < n; ++j) {
            const float phi = float(j) * 2.8125f;
            const float placed = phi >= 357.1875f ? 0.0f : phi;
            const float cosE = tableCos(e * degrees);
            const int v = index(i, j);
            m_x[std::size_t(v)] = cosE * tableSin(placed * degrees) * radius;
            m_y[std::size_t(v)] = tableSin(e * degrees) * radius;
            m_z[std::size_t(v)] = cosE * tableCos(placed * degrees) * radius;
            const SkyRgb c = model.colour(e, phi);
            m_red[std::size_t(v)] = c.r;
            m_green[std::size_t(v)] = c.g;
            m_blue[std::size_t(v)] = c.b;
        }
        m_haze[std::size_t(i)] = float(1.0 - std::exp(-0.025 * t));
    }
}

float SkyDome::ringBrightness(int ring, float cameraHeight) const
{
    const double h = std::exp(-double(cameraHeight) / 10000.0);
    return float(1.0 - (1.0 - h) * m_haze[std::size_t(ring)]);
}

}   // namespace orovista::sky
