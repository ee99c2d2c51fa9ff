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
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <openexr.h>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace orovista {

using noise::utils::NoiseMap;

namespace {

using namespace heightmapdetail;

constexpr double earthRadius = 6371008.8;   // mean radius, metres
constexpr double pi = 3.14159265358979323846;

/// What the exporter's sidecar beside a 16-bit or EXR heightmap says; none when it is missing
/// or holds no metres. False (with the reason) when it gives metres or a size no terrain has.
bool readSidecar(const QString &path, Sidecar *out, QString *error)
{
    Sidecar s;
    const QFileInfo info(path);
    const QString file = info.dir().filePath(info.completeBaseName() + QStringLiteral(".json"));
    *out = s;
    if (!files::inputProblem(file).isEmpty())
        return true;
    QFile f(file);
    if (f.size() > (1 << 20) || !f.open(QIODevice::ReadOnly))
        return true;
    const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    const auto at0 = o.value(QStringLiteral("metresAt0")), at65535 = o.value(QStringLiteral("metresAt65535"));
    if (!at0.isDouble() || !at65535.isDouble())
        return true;
    s.present = true;
    s.metresAt0 = at0.toDouble();
    s.metresAt65535 = at65535.toDouble();
    s.terrainSize = o.value(QStringLiteral("terrainSize")).toDouble(0.0);
    s.size = o.value(QStringLiteral("size")).toInt(0);
    const QString name = QFileInfo(file).fileName();
    for (const double metres : {s.metresAt0, s.metresAt65535})
        if (!(std::abs(metres) <= 1.0e6))
            return fail(error, QStringLiteral("its sidecar %1 gives %2 m for a 16-bit value: not elevations in metres")
                                   .arg(name, shortNumber(metres)));
    if (!(s.terrainSize >= 0.0 && s.terrainSize <= maximumImportedTerrainSize))
        return fail(error, QStringLiteral("its sidecar %1 gives a terrain size of %2 m: more than the %3 km a terrain may span")
                               .arg(name, shortNumber(s.terrainSize), shortNumber(maximumImportedTerrainSize / 1000.0)));
    *out = s;
    return true;
}


/// A message of a library as part of one line.
QString oneLine(const QString &message)
{
    QString line = message.simplified();
    if (line.size() > 160)
        line = line.left(157) + QStringLiteral("...");
    return line;
}

/// Rows read at a time: about a hundredth of the raster (so that progress moves smoothly) and
/// at most a million samples, in whole blocks of blockRows (so that no block is decoded twice).
int bandRows(int width, int height, int blockRows)
{
    const int block = std::clamp(blockRows, 1, std::max(1, height));
    const int rows = std::max(1, std::min((1 << 20) / std::max(1, width), (height + 99) / 100));
    return (rows + block - 1) / block * block;
}

/// Largest block of pixels an EXR may ask to be unpacked at once (a DWAB block of 256 rows of
/// 32768 RGBA floats is 128 MB).
constexpr std::uint64_t largestExrBlock = std::uint64_t(256) << 20;

/// OpenEXR's C++ reader takes each header attribute's size from the file and allocates that much
/// before it reads a byte of it, so twenty bytes may ask for 2 GB; and it reads the attributes it
/// knows by their own length, not the one the file gives, so a file whose lengths disagree is
/// one header to OpenEXR's checks (the C API, exrProblem()) and another to the reader, which then
/// sizes its buffers from values nobody checked. Why the file's headers are not read the same
/// way by both: an attribute that does not lie inside the file, a known type whose length is not
/// its own, a channel list or preview that does not fill its length exactly, or a missing
/// attribute every image has. Empty when the headers are sound.
QString exrAttributeProblem(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return f.errorString();
    // Mapped, not read: only the pages of the headers are touched, however large the pixels.
    const qint64 size = f.size();
    const uchar *bytes = size > 0 ? f.map(0, size) : nullptr;
    if (size > 0 && !bytes)
        return f.errorString();
    const QString cutOff = QStringLiteral("it is not an EXR this program reads (its header is cut off)");
    if (size < 8)
        return cutOff;
    const bool multipart = bytes[5] & 0x10, tiled = bytes[5] & 0x02;
    qint64 at = 8;
    auto word = [&](QByteArray *out) {   // up to a NUL, at most 255 bytes
        const qint64 end = std::min(size, at + 256);
        const auto *nul = static_cast<const uchar *>(std::memchr(bytes + at, 0, std::size_t(std::max<qint64>(0, end - at))));
        if (!nul)
            return false;
        *out = QByteArray(reinterpret_cast<const char *>(bytes + at), nul - (bytes + at));
        at = (nul - bytes) + 1;
        return true;
    };
    static const QHash<QByteArray, int> fixed = {
        {"box2i", 16},  {"box2f", 16},         {"compression", 1}, {"lineOrder", 1}, {"float", 4},  {"int", 4},
        {"double", 8},  {"v2i", 8},            {"v2f", 8},         {"v2d", 16},      {"v3i", 12},   {"v3f", 12},
        {"v3d", 24},    {"chromaticities", 32}, {"envmap", 1},     {"keycode", 28},  {"m33f", 36},  {"m33d", 72},
        {"m44f", 64},   {"m44d", 128},         {"rational", 8},    {"tiledesc", 9},  {"timecode", 8},
        {"deepImageState", 1}};
    auto shown = [](const QByteArray &name) {
        QString text = QString::fromLatin1(name.left(40));
        for (QChar &c : text)
            if (!c.isPrint())
                c = QLatin1Char('?');
        return text;
    };
    QByteArray name, type;
    for (int headers = 0;; ++headers) {
        QSet<QByteArray> seen;
        for (int attributes = 0;; ++attributes) {
            if (!word(&name) || attributes > 10000)
                return cutOff;
            if (name.isEmpty())
                break;
            if (!word(&type) || at + 4 > size)
                return cutOff;
            const qint32 length = qFromLittleEndian<qint32>(bytes + at);
            at += 4;
            if (length < 0 || length > size - at)
                return QStringLiteral("its header's \"%1\" claims %2 bytes of a file of %3")
                    .arg(shown(name))
                    .arg(length)
                    .arg(size);
            bool sound = true;
            if (const auto known = fixed.constFind(type); known != fixed.constEnd()) {
                sound = length == known.value();
            } else if (type == "chlist") {
                qint64 entry = at;
                QByteArray channel;
                const qint64 saved = at;
                for (;;) {
                    at = entry;
                    if (!word(&channel) || (!channel.isEmpty() && at + 16 > saved + length)) {
                        sound = false;
                        break;
                    }
                    if (channel.isEmpty())
                        break;
                    entry = at + 16;
                }
                sound = sound && at == saved + length;
                at = saved;
            } else if (type == "preview") {
                // Width and height of 32 bits each: their product fits in 64, four times it need not.
                sound = length >= 8 && (length - 8) % 4 == 0 &&
                        quint64(qFromLittleEndian<quint32>(bytes + at)) * qFromLittleEndian<quint32>(bytes + at + 4) ==
                            quint64(length - 8) / 4;
            }
            if (!sound)
                return QStringLiteral("its header's \"%1\" (%2) is not %3 bytes long")
                    .arg(shown(name), shown(type))
                    .arg(length);
            seen.insert(name);
            at += length;
        }
        for (const char *required : {"channels", "compression", "dataWindow", "displayWindow", "lineOrder",
                                     "pixelAspectRatio", "screenWindowCenter", "screenWindowWidth"})
            if (!seen.contains(required) || (tiled && !multipart && !seen.contains("tiles")))
                return QStringLiteral("it is not an EXR this program reads (its header has no \"%1\")")
                    .arg(QLatin1String(seen.contains(required) ? "tiles" : required));
        if (!multipart || headers > 10000 || at >= size || bytes[at] == 0)
            return {};
    }
}

/// Why an EXR is not opened, from its header alone (OpenEXR's reader takes its line buffers as
/// the header says before anything can be checked); empty when it may be.
QString exrProblem(const QString &path, long long maximumSamples)
{
    exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
    init.error_handler_fn = [](exr_const_context_t, exr_result_t, const char *) {};
    exr_context_t context = nullptr;
    const exr_result_t started = exr_start_read(&context, QFile::encodeName(path).constData(), &init);
    const std::unique_ptr<exr_context_t, void (*)(exr_context_t *)> finisher(&context, [](exr_context_t *c) {
        exr_finish(c);
    });
    if (started != EXR_ERR_SUCCESS)
        return QStringLiteral("it is not an EXR this program reads (%1)").arg(QString::fromUtf8(exr_get_default_error_message(started)));
    exr_attr_box2i_t window{};
    std::uint64_t block = 0;
    int32_t chunks = 0;
    if (exr_get_data_window(context, 0, &window) != EXR_ERR_SUCCESS ||
        exr_get_chunk_unpacked_size(context, 0, &block) != EXR_ERR_SUCCESS ||
        exr_get_chunk_count(context, 0, &chunks) != EXR_ERR_SUCCESS)
        return QStringLiteral("it is not an EXR this program reads (no image in its header)");
    if (const QString problem = sizeProblem((long long)window.max.x - window.min.x + 1,
                                            (long long)window.max.y - window.min.y + 1, maximumSamples);
        !problem.isEmpty())
        return problem;
    if (block > largestExrBlock)
        return QStringLiteral("its blocks of %1 MB are more than a heightmap needs").arg(block >> 20);
    if (qint64(chunks) * 8 > QFileInfo(path).size())
        return QStringLiteral("its %1 bytes cannot hold the %2 blocks its header gives").arg(QFileInfo(path).size()).arg(chunks);
    return exrAttributeProblem(path);
}

bool readExr(const QString &path, const HeightmapReadOptions &options, const Sidecar &sidecar,
             const ReadProgress &progress, Heightmap *out, QString *error)
{
    if (const QString problem = exrProblem(path, options.maximumSamples); !problem.isEmpty())
        return fail(error, problem);
    Raw raw;
    raw.format = QStringLiteral("exr");
    try {
        Imf::InputFile file(QFile::encodeName(path).constData());
        const Imath::Box2i window = file.header().dataWindow();
        const long long width = (long long)window.max.x - window.min.x + 1;
        const long long height = (long long)window.max.y - window.min.y + 1;
        if (const QString problem = sizeProblem(width, height, options.maximumSamples); !problem.isEmpty())
            return fail(error, problem);
        const Imf::ChannelList &channels = file.header().channels();
        const char *channel = channels.findChannel("Y") ? "Y" : channels.findChannel("R") ? "R" : nullptr;
        if (!channel && channels.begin() != channels.end())
            channel = channels.begin().name();
        if (!channel)
            return fail(error, QStringLiteral("the EXR holds no channel"));
        raw.width = int(width);
        raw.height = int(height);
        reserveAnnounced(raw.values, std::size_t(width * height), QFileInfo(path).size());
        const int band = bandRows(raw.width, raw.height, 32);
        const ReadProgress reading = progress.part(0.0, 0.9);
        for (int y = 0; y < raw.height; y += band) {
            const int rows = std::min(band, raw.height - y);
            raw.values.resize(std::size_t(y + rows) * std::size_t(width));
            Imf::FrameBuffer frame;
            frame.insert(channel, Imf::Slice::Make(Imf::FLOAT, raw.values.data(), window, sizeof(float),
                                                   sizeof(float) * std::size_t(width)));
            file.setFrameBuffer(frame);
            file.readPixels(window.min.y + y, window.min.y + y + rows - 1);
            if (!reading.at(double(y + rows) / raw.height))
                return fail(error, stoppedError);
        }
    } catch (const std::bad_alloc &) {
        return fail(error, QStringLiteral("not enough memory for it"));
    } catch (const std::exception &e) {
        return fail(error, QStringLiteral("it is not an EXR this program reads (%1)").arg(oneLine(QString::fromLocal8Bit(e.what()))));
    }
    raw.sizeFromFile = sidecar.present ? sidecar.terrainSize : 0.0;
    return finish(raw, options, progress.part(0.9, 1.0), out, error);
}

/// What is read, for the refusals.
const QString accepted = QStringLiteral(
    "use a GeoTIFF, an Esri ASCII grid (.asc), an SRTM tile (.hgt), a USGS DEM (.dem), a DTED tile, an ESRI .bil/.flt "
    "or ENVI raster with its .hdr, a Binary Terrain (.bt) or Surfer grid (.grd), a 16-bit PNG, an EXR or a RAW");

/// The raster drivers an elevation model is opened with (see the header).
const char *const allowedDrivers[] = {"GTiff", "AAIGrid", "GRASSASCIIGrid", "SRTMHGT", "EHdr",  "ENVI", "USGSDEM",
                                      "DTED",  "BT",      "GSAG",           "GSBG",    "GS7BG", nullptr};

/// The files beside a raster that these drivers may read, by the raster's name with this
/// extension instead of its own or after it: headers, projections, statistics, colour tables
/// and world files. Nothing else beside it is shown to GDAL.
const char *const siblingExtensions[] = {"hdr", "prj", "stx", "clr", "tfw", "tifw", "tiffw", "wld"};

/// GDAL set up once for the whole process: every driver registered (only those above are ever
/// asked), nothing written beside the files read (no .aux.xml), no folder listed behind our back,
/// and no network: the curl file systems (/vsicurl/, /vsis3/, …) open no name, and PROJ fetches
/// no grids.
void setUpGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        CPLSetConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", "EMPTY_DIR");
        // No URL ends in a control character: the curl file systems allow no file at all.
        CPLSetConfigOption("CPL_VSIL_CURL_ALLOWED_EXTENSIONS", "\x01");
        CPLSetConfigOption("CPL_VSIL_CURL_ALLOWED_FILENAME", "\x01");
        CPLSetConfigOption("GDAL_HTTP_MAX_RETRY", "0");
        CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "1");
        CPLSetConfigOption("GDAL_HTTP_CONNECTTIMEOUT", "1");
        CPLSetConfigOption("PROJ_NETWORK", "OFF");
        OSRSetPROJEnableNetwork(FALSE);
    });
}

/// GDAL's messages are collected, not printed, while a raster is read.
struct QuietGdal {
    QuietGdal()
    {
        setUpGdal();
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    static QString last()
    {
        const QString message = oneLine(QString::fromUtf8(CPLGetLastErrorMsg()));
        return message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(message);
    }
};

/// Why a name is not opened at all: GDAL's virtual file systems and URLs. Empty when it may be.
QString namingProblem(const QString &path)
{
    const QString name = QDir::fromNativeSeparators(path.trimmed());
    static const QRegularExpression url(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:/"));
    if (name.startsWith(QLatin1String("/vsi"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1String("//vsi"), Qt::CaseInsensitive))
        return QStringLiteral("GDAL's virtual file names (/vsi…) are not read; give a file on disk and %1").arg(accepted);
    if (url.match(name).hasMatch())
        return QStringLiteral("it is a URL: heightmaps are read from files on disk only; %1").arg(accepted);
    return {};
}

/// The files beside path that its driver may read (see siblingExtensions), and path itself.
CPLStringList siblingFiles(const QFileInfo &file)
{
    CPLStringList list;
    list.AddString(QFile::encodeName(file.fileName()).constData());
    QStringList names;
    for (const char *extension : siblingExtensions)
        names << file.completeBaseName() + QLatin1Char('.') + QLatin1String(extension)
              << file.fileName() + QLatin1Char('.') + QLatin1String(extension);
    const QStringList present = file.dir().entryList(QDir::Files);
    for (const QString &entry : present)
        if (names.contains(entry, Qt::CaseInsensitive))
            list.AddString(QFile::encodeName(entry).constData());
    return list;
}

/// Why GDAL did not open path, as the user should hear it.
QString notOpened(const QString &path)
{
    QFile f(path);
    const QByteArray start = f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
    if (start.contains("<VRTDataset") || QFileInfo(path).suffix().compare(QLatin1String("vrt"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("VRT rasters name other files and are not read; %1").arg(accepted);
    return QStringLiteral("it is not a raster GDAL reads%1; %2").arg(QuietGdal::last(), accepted);
}

bool readGdal(const QString &path, const HeightmapReadOptions &options, const ReadProgress &progress, Heightmap *out,
              QString *error)
{
    const QuietGdal quiet;
    // An absolute name: GDAL sees no prefix of its own ("GTIFF_DIR:", "HDF5:", …) in it.
    const QFileInfo file(QFileInfo(path).absoluteFilePath());
    if (const QString problem = namingProblem(file.filePath()); !problem.isEmpty())
        return fail(error, problem);
    const CPLStringList siblings = siblingFiles(file);
    GDALDatasetH dataset = GDALOpenEx(QFile::encodeName(file.filePath()).constData(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                                      allowedDrivers, nullptr, siblings.List());
    if (!dataset)
        return fail(error, notOpened(path));
    const std::unique_ptr<void, void (*)(void *)> closer(dataset, [](void *d) { GDALClose(d); });
    if (GDALGetRasterCount(dataset) < 1)
        return fail(error, QStringLiteral("it holds no raster band"));
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    const long long width = GDALGetRasterXSize(dataset), height = GDALGetRasterYSize(dataset);
    if (const QString problem = sizeProblem(width, height, options.maximumSamples); !problem.isEmpty())
        return fail(error, problem);

    Raw raw;
    raw.format = QString::fromUtf8(GDALGetDriverShortName(GDALGetDatasetDriver(dataset)));
    raw.width = int(width);
    raw.height = int(height);
    const bool masked = !(GDALGetMaskFlags(band) & GMF_ALL_VALID);
    try {
        const long long fileBytes = file.size();
        reserveAnnounced(raw.values, std::size_t(width * height), fileBytes);
        if (masked)
            reserveAnnounced(raw.known, std::size_t(width * height), fileBytes);
    } catch (const std::bad_alloc &) {
        return fail(error, QStringLiteral("not enough memory for its %1 × %2 samples").arg(width).arg(height));
    }
    int blockWidth = 0, blockHeight = 0;
    GDALGetBlockSize(band, &blockWidth, &blockHeight);
    const int rowsAtOnce = bandRows(raw.width, raw.height, blockHeight);
    const ReadProgress reading = progress.part(0.0, 0.9);
    for (int y = 0; y < raw.height; y += rowsAtOnce) {
        const int rows = std::min(rowsAtOnce, raw.height - y);
        const std::size_t offset = std::size_t(y) * std::size_t(width);
        raw.values.resize(offset + std::size_t(rows) * std::size_t(width));
        if (GDALRasterIO(band, GF_Read, 0, y, raw.width, rows, raw.values.data() + offset, raw.width, rows, GDT_Float32,
                         0, 0) != CE_None)
            return fail(error, QStringLiteral("its heights cannot be read") + QuietGdal::last());
        if (masked) {
            raw.known.resize(raw.values.size());
            if (GDALRasterIO(GDALGetMaskBand(band), GF_Read, 0, y, raw.width, rows, raw.known.data() + offset, raw.width,
                             rows, GDT_Byte, 0, 0) != CE_None)
                return fail(error, QStringLiteral("its no-data mask cannot be read") + QuietGdal::last());
        }
        if (!reading.at(double(y + rows) / raw.height))
            return fail(error, stoppedError);
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
    if (!std::isfinite(k) || !std::isfinite(b) || k == 0.0)
        return fail(error, QStringLiteral("its band's scale %1 and offset %2 give no heights")
                               .arg(scale, 0, 'g', 3)
                               .arg(offset, 0, 'g', 3));
    if (k != 1.0 || b != 0.0) {
        raw.heightsFrom = QStringLiteral("its band's scale and offset");
        for (float &v : raw.values)
            v = float(std::clamp(v * k + b, -1.0e30, 1.0e30));
    }

    // The extent in metres, and the row order.
    double g[6];
    if (GDALGetGeoTransform(dataset, g) == CE_None && !(g[0] == 0 && g[1] == 1 && g[2] == 0 && g[3] == 0 && g[4] == 0 &&
                                                        std::abs(g[5]) == 1)) {
        double metresX = std::hypot(g[1], g[4]), metresY = std::hypot(g[2], g[5]);
        if (OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset)) {
            if (OSRIsGeographic(srs)) {
                const double radians = OSRGetAngularUnits(srs, nullptr);   // per unit (degree)
                const double middleLatitude = (g[3] + g[4] * width / 2.0 + g[5] * height / 2.0) * radians;
                if (!(std::abs(middleLatitude) <= pi / 2))
                    return fail(error, QStringLiteral("its georeferencing puts it at latitude %1°: not on the Earth")
                                           .arg(radians > 0.0 ? middleLatitude / radians : middleLatitude, 0, 'g', 4));
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
            const double across = std::min(metresX * double(width - 1), metresY * double(height - 1));
            if (across > maximumImportedTerrainSize)
                return fail(error, QStringLiteral("its georeferencing makes it %1 km across: a terrain spans at most %2 km")
                                       .arg(shortNumber(across / 1000.0), shortNumber(maximumImportedTerrainSize / 1000.0)));
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
    return finish(raw, options, progress.part(0.9, 1.0), out, error);
}

bool readWholeFile(const QString &path, const ReadProgress &progress, QByteArray *bytes, QString *error)
{
    QFile f(path);
    const qint64 size = f.size();
    if (size > maximumHeightmapSamples * 4)
        return fail(error, QStringLiteral("the file is too large"));
    if (!f.open(QIODevice::ReadOnly))
        return fail(error, f.errorString());
    bytes->resize(qsizetype(size));
    constexpr qint64 chunk = qint64(1) << 24;
    for (qint64 done = 0; done < size;) {
        const qint64 got = f.read(bytes->data() + done, std::min(chunk, size - done));
        if (got <= 0)
            return fail(error, got < 0 ? f.errorString() : QStringLiteral("the file ended while it was read"));
        done += got;
        if (!progress.at(double(done) / double(size)))
            return fail(error, stoppedError);
    }
    return true;
}

QString extension(const QString &path) { return QFileInfo(path).suffix().toLower(); }

}   // namespace


bool readHeightmap(const QString &path, const HeightmapReadOptions &options, Heightmap *out, QString *error)
{
    const ReadProgress progress(options.keepGoing);
    QString why;
    const bool ok = [&] {
        if (const QString problem = namingProblem(path); !problem.isEmpty())
            return fail(&why, problem);
        if (const QString problem = files::inputProblem(path); !problem.isEmpty())
            return fail(&why, problem);
        if (!progress.at(0.0))
            return fail(&why, stoppedError);
        const QString ext = extension(path);
        try {
            if (ext == QLatin1String("png") || ext == QLatin1String("r16") || ext == QLatin1String("raw") ||
                ext == QLatin1String("exr")) {
                Sidecar sidecar;
                if (!readSidecar(path, &sidecar, &why))
                    return false;
                if (ext == QLatin1String("exr"))
                    return readExr(path, options, sidecar, progress, out, &why);
                QByteArray bytes;
                if (!readWholeFile(path, progress.part(0.0, 0.2), &bytes, &why))
                    return false;
                return ext == QLatin1String("png") ? readPng(bytes, options, sidecar, progress.part(0.2, 1.0), out, &why)
                                                   : readRaw16(bytes, options, sidecar, progress.part(0.2, 1.0), out, &why);
            }
            return readGdal(path, options, progress, out, &why);
        } catch (const std::bad_alloc &) {
            return fail(&why, QStringLiteral("not enough memory for it"));
        }
    }();
    if (!ok) {
        if (progress.stopped())
            return fail(error, stoppedError);
        return fail(error, QStringLiteral("cannot read the heightmap %1: %2").arg(path, why));
    }
    return true;
}

bool importedTerrain(std::shared_ptr<const Heightmap> heights, const QString &path, ImportedTerrain *out, QString *error)
{
    if (!heights || heights->isEmpty())
        return fail(error, QStringLiteral("no heightmap"));
    const QString name = QFileInfo(path).fileName();
    if (!(heights->terrainSize >= 0.5))
        return fail(error, QStringLiteral("%1 spans %2 m: less than a metre").arg(name, shortNumber(heights->terrainSize, 2)));
    if (heights->terrainSize > maximumImportedTerrainSize)
        return fail(error, QStringLiteral("%1 spans %2 km: more than the %3 km a terrain may span")
                               .arg(name, shortNumber(heights->terrainSize / 1000.0),
                                    shortNumber(maximumImportedTerrainSize / 1000.0)));
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
    t.metresLow = low;
    t.metresHigh = high;
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
    return QStringLiteral(
        "*.png *.exr *.r16 *.raw *.tif *.tiff *.asc *.dem *.hgt *.bil *.bt *.flt *.img *.grd *.dt0 *.dt1 *.dt2");
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
