#pragma once
// The sky texture: the sky model unrolled into a square equirectangular picture for the host
// scene's sky dome, with stars when the sun is low.
//
// Row i looks at t = i × 180 / size degrees from the zenith, column j at azimuth
// j × 360 / size, so the picture's top row is the zenith and its bottom the nadir. Stars are
// soft dots of the sizes in the dome's star table, at fresh random places every time; in the
// picture's top and bottom sixteenths (the poles, where the projection stretches most) there
// are none, and towards the poles they are drawn wider so that they look round on the dome.
//
// Memory: the rows are written straight into the picture, a band of rows per thread; no
// channel arrays of floats are kept. Stars are composited in place: their pixels are collected
// first (a later star's pixel replaces an earlier one's, as on one star layer) and then laid
// over the sky once. Peak memory is the 32-bit picture (1 GiB at 16384) plus its compressed
// copy while it is written.
#include "sky/skydome.h"

#include <QImage>
#include <QString>

namespace noise::utils {
class ProgressReporter;
}

namespace orovista::files {
class Batch;
}

namespace orovista::sky {

/// The sizes the sky texture of a scene may have.
inline constexpr int sceneSkySizes[] = {4096, 8192, 16384};

/// Whether @a size is a texture size this program renders: a power of two from 256 (previews)
/// to 16384.
bool isSkyTextureSize(int size);

/// Whether the texture gets stars: stars show (sun at or below the threshold, a population)
/// and the star intensity is above 0.
bool textureShowsStars(const SkyParameters &sky);

/// How renderSkyDomeImage() works.
struct SkyTextureOptions {
    int threads = 0;                      ///< 0: one per core
    RandomSource random = applicationRandom();   ///< star places, tints and brightness
    noise::utils::ProgressReporter *progress = nullptr;
};

/// The size × size sky picture (RGB32) for @a sky (sun up to date), with stars of the sizes in
/// @a dome's star table when textureShowsStars(). The sky's pixels are the same for any thread
/// count; the stars use options.random from the calling thread only.
/// Returns a null image when @a size is not positive or the picture does not fit in memory.
QImage renderSkyDomeImage(const SkyParameters &sky, const SkyDome &dome, int size,
                          const SkyTextureOptions &options = {});

/// Renders the sky texture and writes it to @a path as a JPEG of quality 100 (staged in
/// @a batch when given). Shows "computing sky dome map... please wait" on the progress panel
/// first and "sky dome map generated" once the file is written. Returns an empty string, or
/// why nothing was written.
QString renderSkyDomeMap(const SkyParameters &sky, const SkyDome &dome, const QString &path, int size,
                         files::Batch *batch = nullptr, const SkyTextureOptions &options = {});

/// The texture's file name for a terrain: name + "_skyDome.jpg".
QString skyDomeTextureName(const QString &terrainName);

}   // namespace orovista::sky
