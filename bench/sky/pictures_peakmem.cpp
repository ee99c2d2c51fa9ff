// Peak memory of writing the big pictures of a scene: the sky texture and the normal map, each
// written whole (the picture in memory, compressed at once: the earlier way) and a band of rows
// at a time (the way the program writes them now). Peak memory belongs to a process, so each
// run is a process of its own:
//
//   pictures_peakmem compare SIZE        runs the four below one after the other, prints a table
//   pictures_peakmem sky-whole SIZE      (and sky-bands, normal-whole, normal-bands)
//
// The normal map is made from a SIZE × SIZE height map, which counts in both of its figures.

#include "noise/image.h"
#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "noise/renderernormalmap.h"
#include "noise/writerjpeg.h"
#include "sky/skytexture.h"
#include "terrain/normalmap.h"

#include "../peakmem.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

int runOne(const std::string &what, int size)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.jpg"));
    QElapsedTimer timer;
    if (what.rfind("sky", 0) == 0) {
        using namespace orovista::sky;
        SkyParameters sky = SkyParameters::defaults();
        sky.updateSun();
        SkyDome dome;
        dome.build(sky, 50.0f, true);
        timer.start();
        if (what == "sky-whole") {
            const QString failure = orovista::files::writePicture(path, renderSkyDomeImage(sky, dome, size));
            if (!failure.isEmpty())
                return std::fprintf(stderr, "%s\n", qPrintable(failure)), 1;
        } else {
            const QString failure = renderSkyDomeMap(sky, dome, path, size);
            if (!failure.isEmpty())
                return std::fprintf(stderr, "%s\n", qPrintable(failure)), 1;
        }
    } else {
        noise::utils::NoiseMap map(size, size);
        for (int y = 0; y < size; ++y) {
            float *row = map.GetSlabPtr(y);
            for (int x = 0; x < size; ++x)
                row[x] = float(std::sin(x * 0.01) * std::cos(y * 0.013));
        }
        timer.start();
        if (what == "normal-whole") {
            noise::utils::Image image;
            noise::utils::RendererNormalMap renderer;
            renderer.SetSourceNoiseMap(map);
            renderer.SetDestImage(image);
            renderer.SetBumpHeight(2.0);
            renderer.Render();
            noise::utils::WriterJPEG writer;
            writer.SetSourceImage(image);
            writer.SetDestFilename(path);
            writer.WriteDestFile();
        } else {
            const orovista::NormalMapOutput out = orovista::writeNormalMap(map, 2.0, path);
            if (!out.written)
                return std::fprintf(stderr, "%s\n", qPrintable(out.error)), 1;
        }
    }
    std::printf("%s %d: %.1f s, peak %.1f MiB\n", what.c_str(), size, timer.elapsed() / 1000.0, peakmem::peakMiB());
    return 0;
}

}   // namespace

int main(int argc, char **argv)
{
    return peakmem::main(argc, argv, {"sky-whole", "sky-bands", "normal-whole", "normal-bands"}, runOne,
                         [](const std::vector<double> &peaks) {
                             if (peaks[1] > 0 && peaks[3] > 0)
                                 std::printf("peak memory, whole / bands: sky %.1f×, normal map %.1f×\n",
                                             peaks[0] / peaks[1], peaks[2] / peaks[3]);
                         });
}
