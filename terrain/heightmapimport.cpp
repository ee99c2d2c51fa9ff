#include "terrain/heightmapimport.h"
#include "terrain/heightmapraster.h"

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
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace orovista {

using noise::utils::NoiseMap;

namespace {

using namespace heightmapdetail;

constexpr double earthRadius = 6371008.8;   // mean radius, metres

/// What the exporter's sidecar beside a 16-bit or EXR heightmap says; none when it is missing
/// or holds no metres.
Sidecar readSidecar(const QString &path)
{
    Sidecar s;
    const QFileInfo info(path);
    const QString file = info.dir().filePath(info.completeBaseName() + QStringLiteral(".json"));
    if (!files::inputProblem(file).isEmpty())
        return s;
    QFile f(file);
    if (f.size() > (1 << 20) || !f.open(QIODevice::ReadOnly))
        return s;
    const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    const auto at0 = o.value(QStringLiteral("metresAt0")), at65535 = o.value(QStringLiteral("metresAt65535"));
    if (!at0.isDouble() || !at65535.isDouble())
        return s;
    s.present = true;
    s.metresAt0 = at0.toDouble();
    s.metresAt65535 = at65535.toDouble();
    s.terrainSize = o.value(QStringLiteral("terrainSize")).toDouble(0.0);
    s.size = o.value(QStringLiteral("size")).toInt(0);
    return s;
}


bool readExr(const QString &path, const HeightmapReadOptions &options, const Sidecar &sidecar, Heightmap *out,
             QString *error)
{
    Raw raw;
    raw.format = QStringLiteral("exr");
    try {
        Imf::InputFile file(QFile::encodeName(path).constData());
        const Imath::Box2i window = file.header().dataWindow();
        const long long width = (long long)window.max.x - window.min.x + 1;
        const long long height = (long long)window.max.y - window.min.y + 1;
        if (const QString problem = sizeProblem(width, height); !problem.isEmpty())
            return fail(error, problem);
        const Imf::ChannelList &channels = file.header().channels();
        const char *channel = channels.findChannel("Y") ? "Y" : channels.findChannel("R") ? "R" : nullptr;
        if (!channel && channels.begin() != channels.end())
            channel = channels.begin().name();
        if (!channel)
            return fail(error, QStringLiteral("the EXR holds no channel"));
        raw.width = int(width);
        raw.height = int(height);
        raw.values.assign(std::size_t(width * height), 0.0f);
        Imf::FrameBuffer frame;
        char *base = reinterpret_cast<char *>(raw.values.data()) -
                     (std::ptrdiff_t(window.min.x) + std::ptrdiff_t(window.min.y) * width) * std::ptrdiff_t(sizeof(float));
        frame.insert(channel, Imf::Slice(Imf::FLOAT, base, sizeof(float), sizeof(float) * std::size_t(width)));
        file.setFrameBuffer(frame);
        file.readPixels(window.min.y, window.max.y);
    } catch (const std::bad_alloc &) {
        return fail(error, QStringLiteral("not enough memory for it"));
    } catch (const std::exception &e) {
        return fail(error, QStringLiteral("it is not an EXR this program reads (%1)").arg(QString::fromLocal8Bit(e.what())));
    }
    raw.sizeFromFile = sidecar.present ? sidecar.terrainSize : 0.0;
    return finish(raw, options, out, error);
}

/// GDAL's messages are collected, not printed, while a raster is read.
struct QuietGdal {
    QuietGdal()
    {
        static std::once_flag registered;
        std::call_once(registered, [] { GDALAllRegister(); });
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    static QString last()
    {
        const QString message = QString::fromUtf8(CPLGetLastErrorMsg()).trimmed();
        return message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(message);
    }
};

bool readGdal(const QString &path, const HeightmapReadOptions &options, Heightmap *out, QString *error)
{
    const QuietGdal quiet;
    GDALDatasetH dataset = GDALOpenEx(QFile::encodeName(path).constData(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr,
                                      nullptr, nullptr);
    if (!dataset)
        return fail(error, QStringLiteral("it is not a raster GDAL reads") + QuietGdal::last());
    const std::unique_ptr<void, void (*)(void *)> closer(dataset, [](void *d) { GDALClose(d); });
    if (GDALGetRasterCount(dataset) < 1)
        return fail(error, QStringLiteral("it holds no raster band"));
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    const long long width = GDALGetRasterXSize(dataset), height = GDALGetRasterYSize(dataset);
    if (const QString problem = sizeProblem(width, height); !problem.isEmpty())
        return fail(error, problem);

    Raw raw;
    raw.format = QString::fromUtf8(GDALGetDriverShortName(GDALGetDatasetDriver(dataset)));
    raw.width = int(width);
    raw.height = int(height);
    try {
        raw.values.resize(std::size_t(width * height));
    } catch (const std::bad_alloc &) {
        return fail(error, QStringLiteral("not enough memory for its %1 × %2 samples").arg(width).arg(height));
    }
    if (GDALRasterIO(band, GF_Read, 0, 0, raw.width, raw.height, raw.values.data(), raw.width, raw.height, GDT_Float32, 0,
                     0) != CE_None)
        return fail(error, QStringLiteral("its heights cannot be read") + QuietGdal::last());
    if (!(GDALGetMaskFlags(band) & GMF_ALL_VALID)) {
        raw.known.resize(raw.values.size());
        if (GDALRasterIO(GDALGetMaskBand(band), GF_Read, 0, 0, raw.width, raw.height, raw.known.data(), raw.width,
                         raw.height, GDT_Byte, 0, 0) != CE_None)
            return fail(error, QStringLiteral("its no-data mask cannot be read") + QuietGdal::last());
    }
    // A no-data value of NaN marks the NaN cells; the mask says so already for most drivers.
    int hasNoData = 0;
    const double noData = GDALGetRasterNoDataValue(band, &hasNoData);
    if (hasNoData && std::isnan(noData)) {
        if (raw.known.empty())
            raw.known.assign(raw.values.size(), 1);
        for (std::size_t i = 0; i < raw.values.size(); ++i)
            if (std::isnan(raw.values[i]))
                raw.known[i] = 0;
    }

    // Metres: the band's scale and offset, and feet converted.
    int hasScale = 0, hasOffset = 0;
    const double scale = GDALGetRasterScale(band, &hasScale), offset = GDALGetRasterOffset(band, &hasOffset);
    const QString unit = QString::fromUtf8(GDALGetRasterUnitType(band)).trimmed().toLower();
    const double feet = unit == QLatin1String("ft") || unit == QLatin1String("foot") || unit == QLatin1String("feet")
                            ? 0.3048
                        : unit.contains(QLatin1String("us survey foot")) ? 1200.0 / 3937.0
                                                                         : 1.0;
    if (feet != 1.0)
        raw.notes << QStringLiteral("heights in feet converted to metres");
    const double k = (hasScale ? scale : 1.0) * feet, b = (hasOffset ? offset : 0.0) * feet;
    if (k != 1.0 || b != 0.0)
        for (float &v : raw.values)
            v = float(v * k + b);

    // The extent in metres, and the row order.
    double g[6];
    if (GDALGetGeoTransform(dataset, g) == CE_None && !(g[0] == 0 && g[1] == 1 && g[2] == 0 && g[3] == 0 && g[4] == 0 &&
                                                        std::abs(g[5]) == 1)) {
        double metresX = std::hypot(g[1], g[4]), metresY = std::hypot(g[2], g[5]);
        if (OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset)) {
            if (OSRIsGeographic(srs)) {
                const double radians = OSRGetAngularUnits(srs, nullptr);   // per unit (degree)
                const double middleLatitude = (g[3] + g[4] * width / 2.0 + g[5] * height / 2.0) * radians;
                metresX *= radians * earthRadius * std::cos(middleLatitude);
                metresY *= radians * earthRadius;
                raw.notes << QStringLiteral("degrees converted to metres at latitude %1°")
                                 .arg(middleLatitude / radians, 0, 'f', 2);
            } else {
                const double perUnit = OSRGetLinearUnits(srs, nullptr);
                metresX *= perUnit;
                metresY *= perUnit;
            }
        } else {
            raw.notes << QStringLiteral("no coordinate system: its cell size is taken as metres");
        }
        if (std::isfinite(metresX) && std::isfinite(metresY) && metresX > 0.0 && metresY > 0.0) {
            raw.georeferenced = true;
            raw.pixelX = metresX;
            raw.pixelY = metresY;
        }
        // North up, west left: a raster stored the other way round is turned.
        const bool flipRows = g[2] == 0.0 && g[4] == 0.0 && g[5] > 0.0;
        const bool flipColumns = g[2] == 0.0 && g[4] == 0.0 && g[1] < 0.0;
        auto flip = [&](auto &cells) {
            if (cells.empty())
                return;
            if (flipRows)
                for (int y = 0; y < raw.height / 2; ++y)
                    std::swap_ranges(cells.begin() + std::ptrdiff_t(y) * raw.width,
                                     cells.begin() + std::ptrdiff_t(y + 1) * raw.width,
                                     cells.begin() + std::ptrdiff_t(raw.height - 1 - y) * raw.width);
            if (flipColumns)
                for (int y = 0; y < raw.height; ++y)
                    std::reverse(cells.begin() + std::ptrdiff_t(y) * raw.width,
                                 cells.begin() + std::ptrdiff_t(y + 1) * raw.width);
        };
        flip(raw.values);
        flip(raw.known);
    }
    return finish(raw, options, out, error);
}

bool readWholeFile(const QString &path, QByteArray *bytes, QString *error)
{
    QFile f(path);
    if (f.size() > maximumHeightmapSamples * 4)
        return fail(error, QStringLiteral("the file is too large"));
    if (!f.open(QIODevice::ReadOnly))
        return fail(error, f.errorString());
    *bytes = f.readAll();
    if (bytes->size() != f.size())
        return fail(error, f.errorString());
    return true;
}

QString extension(const QString &path) { return QFileInfo(path).suffix().toLower(); }

}   // namespace


bool readHeightmap(const QString &path, const HeightmapReadOptions &options, Heightmap *out, QString *error)
{
    QString why;
    const bool ok = [&] {
        if (const QString problem = files::inputProblem(path); !problem.isEmpty())
            return fail(&why, problem);
        const QString ext = extension(path);
        try {
            if (ext == QLatin1String("png") || ext == QLatin1String("r16") || ext == QLatin1String("raw")) {
                QByteArray bytes;
                if (!readWholeFile(path, &bytes, &why))
                    return false;
                const Sidecar sidecar = readSidecar(path);
                return ext == QLatin1String("png") ? readPng(bytes, options, sidecar, out, &why)
                                                   : readRaw16(bytes, options, sidecar, out, &why);
            }
            if (ext == QLatin1String("exr"))
                return readExr(path, options, readSidecar(path), out, &why);
            return readGdal(path, options, out, &why);
        } catch (const std::bad_alloc &) {
            return fail(&why, QStringLiteral("not enough memory for it"));
        }
    }();
    if (!ok)
        return fail(error, QStringLiteral("cannot read the heightmap %1: %2").arg(path, why));
    return true;
}

bool importedTerrain(std::shared_ptr<const Heightmap> heights, const QString &path, ImportedTerrain *out, QString *error)
{
    if (!heights || heights->isEmpty())
        return fail(error, QStringLiteral("no heightmap"));
    const QString name = QFileInfo(path).fileName();
    if (!(heights->terrainSize >= 0.5))
        return fail(error, QStringLiteral("%1 spans %2 m: less than a metre").arg(name).arg(heights->terrainSize));
    if (heights->terrainSize > maximumImportedTerrainSize)
        return fail(error, QStringLiteral("%1 spans %2 km: more than the %3 km a terrain may span")
                               .arg(name)
                               .arg(heights->terrainSize / 1000.0, 0, 'f', 0)
                               .arg(maximumImportedTerrainSize / 1000.0, 0, 'f', 0));
    ImportedTerrain t;
    t.heights = heights;
    t.path = path;
    t.terrainSize = std::max(1, int(std::lround(heights->terrainSize)));
    // The range of the terrain mesh's own heights.
    const std::vector<float> preview = resampleHeightmap(*heights, 512);
    const auto [lo, hi] = std::minmax_element(preview.begin(), preview.end());
    t.lowest = *lo;
    t.highest = *hi;
    if (t.lowest > 0.0)
        t.shift = -t.lowest;
    else if (t.highest < 0.0)
        t.shift = -t.highest;
    const double low = t.lowest + t.shift, high = t.highest + t.shift;
    t.elevationLow = int(std::lround(low));
    t.elevationHigh = int(std::lround(high));
    if (t.elevationHigh == t.elevationLow && high > low) {   // relief under half a metre
        if (t.elevationHigh < 9000)
            ++t.elevationHigh;
        else
            --t.elevationLow;
    }
    if (t.elevationLow < -10000 || t.elevationHigh > 9000)
        return fail(error, QStringLiteral("%1 reaches from %2 to %3 m: more relief than a terrain takes (-10000 … 9000 m)")
                               .arg(name)
                               .arg(t.lowest, 0, 'f', 0)
                               .arg(t.highest, 0, 'f', 0));
    *out = std::move(t);
    return true;
}

QString heightmapFilePatterns()
{
    return QStringLiteral("*.png *.exr *.r16 *.raw *.tif *.tiff *.asc *.dem *.hgt *.bil *.bt *.flt *.img *.vrt *.grd");
}

bool isHeightmapFile(const QString &path) { return extension(path) != QLatin1String("obj"); }

QString importSummary(const ImportedTerrain &t)
{
    const Heightmap &h = *t.heights;
    QString line = QStringLiteral("%1: %2 × %3 %4, %5 m across, %6 … %7 m")
                       .arg(QFileInfo(t.path).fileName())
                       .arg(h.width)
                       .arg(h.height)
                       .arg(h.format)
                       .arg(t.terrainSize)
                       .arg(t.lowest, 0, 'f', 1)
                       .arg(t.highest, 0, 'f', 1);
    if (t.shift < 0.0)
        line += QStringLiteral(", lowered %1 m to stand on 0").arg(-t.shift, 0, 'f', 1);
    else if (t.shift > 0.0)
        line += QStringLiteral(", raised %1 m to reach 0").arg(t.shift, 0, 'f', 1);
    return line;
}

}   // namespace orovista
