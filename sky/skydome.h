#pragma once
// The sky dome the viewport draws: a sphere of 128 rings × 128 columns around the terrain, each
// vertex coloured by the sky model, a haze value per ring and a table of stars.
//
// The arrays are plain floats, row-major by ring (ring 0 at the zenith, ring 127 just above the
// nadir); drawing them is the viewport's business. The sphere's lower half takes the horizon's
// colour, faded (see skyColor()), so that the dome has no hole when the camera looks down past
// the terrain's edge.
//
// Limits: 128 columns over 360° leave a visible facet edge of 2.8° on the sun's disc; the
// vertex colours are interpolated by the rasteriser, so the sun's glow is only as sharp as the
// mesh.
#include "sky/skymodel.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace orovista::sky {

/// Rings and columns of the dome.
inline constexpr int domeResolution = 128;

/// Entries of the sine and cosine tables.
inline constexpr int trigTableSize = 4096;

/// The table sine and cosine of an angle in radians: entry trunc(angle × 4096 / 2π) & 4095 of
/// 4096-entry tables filled on first use (entry i holds sin and cos of i × 360 / 4096 degrees).
/// Accurate to the table's step of 0.088°.
float tableSin(float radians);
float tableCos(float radians);

/// One star of the dome: a position on the dome's sphere and a size of 2, 3 or 4.
struct Star {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    int size = 2;
};

/// The source of random numbers for stars: each call gives a non-negative integer.
using RandomSource = std::function<int()>;

/// The program's own generator (orovista::random::next()).
RandomSource applicationRandom();
/// A generator of its own, started from @a seed: the same seed gives the same numbers, so a sky
/// kept with its seed gets the same stars again. @a stream picks one of several independent
/// sequences of one seed (the dome's star table, the texture's star places).
RandomSource seededRandom(std::uint32_t seed, std::uint32_t stream = 0);

/// The dome's mesh, ring haze and star table.
class SkyDome {
public:
    /// Rebuilds the vertex positions and colours for @a radius from @a sky (whose sun must be up
    /// to date) and the ring haze; with @a newStars also a fresh star table of
    /// sky.starPopulation stars drawn from @a random.
    void build(const SkyParameters &sky, float radius, bool newStars, const RandomSource &random = applicationRandom());

    float radius() const { return m_radius; }

    /// Vertex of ring @a ring and column @a column: index ring × 128 + column.
    static int index(int ring, int column) { return ring * domeResolution + column; }

    const std::vector<float> &x() const { return m_x; }
    const std::vector<float> &y() const { return m_y; }
    const std::vector<float> &z() const { return m_z; }
    const std::vector<float> &red() const { return m_red; }
    const std::vector<float> &green() const { return m_green; }
    const std::vector<float> &blue() const { return m_blue; }
    /// Haze of each ring: 1 − e^(−0.025 t), t the ring's angle from the zenith in degrees.
    const std::vector<float> &haze() const { return m_haze; }
    const std::vector<Star> &stars() const { return m_stars; }

    /// The brightness of ring @a ring seen from @a cameraHeight: 1 − (1 − H) × haze, with
    /// H = e^(−cameraHeight / 10000). High cameras see the lower rings darker.
    float ringBrightness(int ring, float cameraHeight) const;

private:
    float m_radius = 0.0f;
    std::vector<float> m_x, m_y, m_z, m_red, m_green, m_blue, m_haze;
    std::vector<Star> m_stars;
};

}   // namespace orovista::sky
