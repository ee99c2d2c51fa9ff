// Peak memory of erosion and normal maps at large sizes, one run per process.
//
//   terrain_peakmem erosion <thermal|improved|hydraulics|smooth> <side> <iterations>
//   terrain_peakmem normalmap <side>
//
// Builds a side x side height map (and, for erosion, the grey picture it rewrites) in a temporary
// folder, runs the step as the program does, and prints the wall time and the peak resident set
// size of the process. At 16384 the map alone is 1 GiB.

#include "terrain/erosion.h"
#include "terrain/normalmap.h"

#include "noise/noisemap.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

long peakKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void fillMap(noise::utils::NoiseMap &map)
{
    const int side = map.GetWidth();
    for (int y = 0; y < side; ++y) {
        float *row = map.GetSlabPtr(y);
        for (int x = 0; x < side; ++x)
            row[x] = float(std::sin(x * 24.0 / side) * std::cos(y * 17.0 / side) + 0.1 * std::sin(x * 0.3 + y * 0.2));
    }
}

int usage()
{
    std::fprintf(stderr, "usage: terrain_peakmem erosion <thermal|improved|hydraulics|smooth> <side> <iterations>\n"
                         "       terrain_peakmem normalmap <side>\n");
    return 2;
}

}   // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    const std::string what = argv[1];
    QTemporaryDir dir;
    QElapsedTimer timer;

    if (what == "erosion" && argc == 5) {
        const std::string type = argv[2];
        const int side = std::atoi(argv[3]);
        orovista::ErosionRequest request;
        request.iterations = std::atoi(argv[4]);
        request.type = type == "thermal"      ? orovista::ErosionType::Thermal
                       : type == "improved"   ? orovista::ErosionType::ImprovedThermal
                       : type == "hydraulics" ? orovista::ErosionType::Hydraulics
                       : type == "smooth"     ? orovista::ErosionType::Smooth
                                              : orovista::ErosionType::None;
        if (request.type == orovista::ErosionType::None || side < 1)
            return usage();
        request.picturePath = dir.filePath(QStringLiteral("HFFnoisePreview.jpg"));
        {
            QImage picture(side, side, QImage::Format_RGB32);
            picture.fill(qRgb(128, 128, 128));
            picture.save(request.picturePath, "JPG", 100);
        }
        noise::utils::NoiseMap map(side, side);
        fillMap(map);
        const long before = peakKiB();
        timer.start();
        const orovista::ErosionResult result = orovista::erodeHeightMap(map, request);
        std::printf("erosion %s %d x %d, %d iterations: outcome %d, picture %s, %.1f s, peak RSS %.2f GiB "
                    "(%.2f GiB before the step)\n",
                    type.c_str(), side, side, request.iterations, int(result.outcome),
                    result.pictureRewritten ? "rewritten" : "NOT rewritten", timer.elapsed() / 1000.0,
                    peakKiB() / 1048576.0, before / 1048576.0);
        return result.eroded() ? 0 : 1;
    }
    if (what == "normalmap" && argc == 3) {
        const int side = std::atoi(argv[2]);
        if (side < 1)
            return usage();
        noise::utils::NoiseMap map(side, side);
        fillMap(map);
        const long before = peakKiB();
        timer.start();
        const orovista::NormalMapOutput out = orovista::writeNormalMap(
            map, orovista::normalMapBumpHeight(1000, side), dir.filePath(QStringLiteral("NormalMap_peak.jpg")));
        std::printf("normal map %d x %d: %s, %.1f s, peak RSS %.2f GiB (%.2f GiB before)\n", side, side,
                    out.written ? "written" : qPrintable(out.error), timer.elapsed() / 1000.0, peakKiB() / 1048576.0,
                    before / 1048576.0);
        return out.written ? 0 : 1;
    }
    return usage();
}
