// The imported heights as the machine's final map: resampled to the run's size, pictured and
// eroded as a generated map is.
#include "terrain/heightmapimport.h"

#include "graph/noisemachine.h"
#include "graph/noisesettings.h"
#include "noise/image.h"
#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "noise/progressreporter.h"
#include "noise/rendererimage.h"
#include "noise/writerjpeg.h"
#include "plugin/runlog.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace orovista {

using noise::utils::NoiseMap;

void importedHeightMap(const ImportedTerrain &terrain, int n, NoiseMap &map)
{
    const std::vector<float> metres = resampleHeightmap(*terrain.heights, n);
    const double span = terrain.highest - terrain.lowest;
    map.SetSize(n, n);
    for (int r = 0; r < n; ++r) {
        float *row = map.GetSlabPtr(n - 1 - r);
        const float *in = metres.data() + std::size_t(r) * std::size_t(n);
        for (int c = 0; c < n; ++c)
            row[c] = span > 0.0 ? float(-1.0 + 2.0 * (in[c] - terrain.lowest) / span) : 0.0f;
    }
}

void runImportedHeightmap(const ImportedTerrain &terrain, const NoiseSettings &settings, const MachineRun &run,
                          const MachineFolders &folders, NoiseMap &finalMap, noise::utils::ProgressReporter &reporter,
                          MachineObserver &observer)
{
    const FinalSettings &f = settings.final;
    const int n = run.size;
    reporter.SetPanelText(QStringLiteral("reading heightmap ... \n\n%1 × %1").arg(n));
    reporter.SetStatusText(QStringLiteral("heightmap %1 at %2 × %2").arg(QFileInfo(terrain.path).fileName()).arg(n));
    reporter.ProcessEvents();
    reporter.CheckCancelled();

    NoiseMap result;
    importedHeightMap(terrain, n, result);
    if (run.shift) {
        std::vector<float> shift(std::size_t(n) * std::size_t(n));
        run.shift->rowShift(0, n, n, [&](int y) { return result.GetConstSlabPtr(y); }, shift.data());
        for (int y = 0; y < n; ++y) {
            float *row = result.GetSlabPtr(y);
            for (int x = 0; x < n; ++x)
                row[x] += shift[std::size_t(y) * std::size_t(n) + std::size_t(x)];
        }
    }
    runLog() << "heightmap " << terrain.path << " resampled to " << n << " x " << n << "\n";
    reporter.CheckCancelled();

    files::Batch own;
    files::Batch &batch = run.batch ? *run.batch : own;
    const QString grey = QDir(folders.maps).filePath(heightPictureName(6));
    QString height, colour;
    if (run.writePictures) {
        noise::utils::RendererImage renderer;
        noise::utils::Image image;
        noise::utils::WriterJPEG writer;
        writer.SetBatch(&batch);
        auto gradient = [&](const QString &name) {
            const QString file = folders.gradients + QLatin1Char('/') + name;
            if (files::inputProblem(file).isEmpty())
                renderer.LoadGradient(file);
            else
                observer.warning(gradientMissingWarning);
        };
        auto render = [&](const QString &file) {
            renderer.SetSourceNoiseMap(result);
            renderer.SetDestImage(image);
            renderer.Render();
            const QString path = QDir(folders.maps).filePath(file);
            writer.SetSourceImage(image);
            writer.SetDestFilename(path);
            writer.WriteDestFile();
            return batch.current(path);
        };
        gradient(greyGradientName);
        renderer.EnableLight(false);
        height = render(heightPictureName(6));
        gradient(f.leftGradient);
        renderer.EnableLight(f.lightOn);
        renderer.SetLightContrast(std::max(1, f.lightContrast));
        renderer.SetLightIntensity(std::max(0, f.lightIntensity) * 0.05);
        renderer.SetLightAzimuth(f.lightAzimuth);
        renderer.SetLightElev(f.lightElevation);
        colour = render(colourPictureName(6));
    }
    observer.nodeDone(6, result, height, colour);
    reporter.CheckCancelled();
    if (!run.shift && f.erosionIterations > 0 && f.erosion() != ErosionType::None) {
        observer.erode(result, batch.current(grey));
        reporter.CheckCancelled();
    }
    if (!run.batch)
        own.commit();
    finalMap = std::move(result);
    reporter.SetStatusText(QStringLiteral("heightmap ready"));
}

}   // namespace orovista
