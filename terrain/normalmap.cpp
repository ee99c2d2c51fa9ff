#include "terrain/normalmap.h"

#include "noise/image.h"
#include "noise/noisemap.h"
#include "noise/outputfiles.h"
#include "noise/renderernormalmap.h"

#include <libnoise/exception.h>

#include <QDir>

#include <QImage>

#include <algorithm>
#include <new>
#include <vector>

namespace orovista {

int normalMapSizeFactor(int resolution)
{
    switch (resolution) {
    case 512:
        return 1;
    case 1024:
        return 2;
    case 2048:
        return 4;
    case 4096:
        return 8;
    case 8192:
        return 16;
    case 16384:
        return 32;
    default:
        return 1;
    }
}

double normalMapBumpHeight(int sliderValue, int resolution)
{
    return sliderValue / 100.0 * normalMapSizeFactor(resolution);
}

bool normalMapControlsVisible(int sizeIndex)
{
    return sizeIndex >= 1;
}

QString normalMapThumbnailName()
{
    return QStringLiteral("NMapFFnoisePreviewThumb.jpg");
}

QString finalNormalMapName(const QString &terrainName)
{
    return QStringLiteral("NormalMap_") + terrainName + QStringLiteral(".jpg");
}

NormalMapPlan planNormalMap(bool isFinal, bool manualUpdate, const NormalMapControls &controls)
{
    NormalMapPlan plan;
    plan.isFinal = isFinal;
    if (isFinal) {
        if (controls.sizeIndex <= 0)
            return plan;
        plan.resolution = controls.sizeText.trimmed().toInt();
    } else {
        plan.resolution = controls.previewResolution;
    }
    if (plan.resolution <= 0)
        return plan;
    plan.run = true;

    const int textureSize = controls.textureSizeText.trimmed().toInt();
    if (manualUpdate) {
        plan.rerunPipeline = true;
        plan.logLine = QStringLiteral("manual updated of normal map\n");
    } else if (isFinal && plan.resolution != textureSize) {
        plan.rerunPipeline = true;
        plan.logLine = QStringLiteral("create normal map from scratch\n");
    }
    return plan;
}

NormalMapOutput writeNormalMap(const noise::utils::NoiseMap &map, double bumpHeight, const QString &path,
                               files::Batch *batch)
{
    NormalMapOutput output;
    output.path = path;
    output.bumpHeight = bumpHeight;
    if (map.GetWidth() < 1 || map.GetHeight() < 1) {
        output.error = QStringLiteral("the height map is empty");
        return output;
    }
    try {
        // The picture is the map upside down (its first row is the map's last), written a band
        // of rows at a time: only the band is in memory besides the map.
        noise::utils::RendererNormalMap renderer;
        renderer.SetBumpHeight(bumpHeight);
        const int width = map.GetWidth(), height = map.GetHeight();
        const int bandRows = std::clamp(int((qsizetype(16) << 20) / (qsizetype(width) * 4)), 1, height);
        QImage band(width, bandRows, QImage::Format_RGB32);
        std::vector<noise::utils::Color> colours(static_cast<std::size_t>(width));
        if (band.isNull())
            throw std::bad_alloc();
        files::JpegRows out(path, width, height, batch);
        for (int first = 0; first < height; first += bandRows) {
            const int rows = std::min(bandRows, height - first);
            for (int k = 0; k < rows; ++k) {
                renderer.RenderRow(map, height - 1 - (first + k), colours.data());
                auto *line = reinterpret_cast<QRgb *>(band.scanLine(k));
                for (int x = 0; x < width; ++x)
                    line[x] = qRgb(colours[std::size_t(x)].red, colours[std::size_t(x)].green, colours[std::size_t(x)].blue);
            }
            out.write(reinterpret_cast<const QRgb *>(band.constBits()), rows, band.bytesPerLine() / qsizetype(sizeof(QRgb)));
        }
        out.finish();
        output.written = true;
    } catch (const files::WriteError &e) {
        output.error = e.message();
    } catch (const noise::ExceptionOutOfMemory &) {
        output.error = QStringLiteral("not enough memory for the normal map");
    } catch (const std::bad_alloc &) {
        output.error = QStringLiteral("not enough memory for the normal map");
    } catch (const noise::Exception &) {
        output.error = QStringLiteral("the normal map could not be rendered");
    }
    return output;
}

NormalMapOutput renderNormalMapFile(const noise::utils::NoiseMap &map, const NormalMapPlan &plan, int bumpSlider,
                                    const QString &mapsFolder, const QString &terrainName, files::Batch *batch)
{
    const QDir folder(mapsFolder);
    const QString thumbnail = folder.filePath(normalMapThumbnailName());
    const double bump = normalMapBumpHeight(bumpSlider, plan.resolution);
    NormalMapOutput output;
    if (plan.isFinal && (terrainName.contains(QLatin1Char('/')) || terrainName.contains(QLatin1Char('\\')))) {
        output.path = folder.filePath(finalNormalMapName(terrainName));
        output.bumpHeight = bump;
        output.error = QStringLiteral("the terrain name must not contain / or \\");
    } else {
        output = writeNormalMap(map, bump, plan.isFinal ? folder.filePath(finalNormalMapName(terrainName)) : thumbnail,
                                batch);
    }
    output.thumbnailPath = thumbnail;
    return output;
}

}   // namespace orovista
