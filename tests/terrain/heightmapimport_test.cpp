// Heightmaps and elevation models as the terrain: reading each format, the georeferenced extent,
// no-data filling, resampling, the mapping into the final height map, erosion on it, and the
// refusal of files that are no usable raster.
#include "terrain/heightmapimport.h"

#include "graph/noisemachine.h"
#include "graph/noisesettings.h"
#include "noise/noisemap.h"
#include "noise/progressreporter.h"
#include "scene/heightmapexport.h"
#include "terrain/erosion.h"
#include "terrain/terrainarrays.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <gtest/gtest.h>

#include "support/loopbacklistener.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

using namespace orovista;
using noise::utils::NoiseMap;

constexpr double pi = 3.14159265358979323846;

class HeightmapImport : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

    /// A one-band float GeoTIFF; epsg 0: no coordinate system; geotransform empty: none.
    QString geoTiff(const QString &name, int width, int height, const std::function<float(int, int)> &value,
                    std::vector<double> transform, int epsg, std::optional<double> noData = std::nullopt)
    {
        GDALAllRegister();
        const QString file = path(name);
        GDALDriverH driver = GDALGetDriverByName("GTiff");
        GDALDatasetH ds = GDALCreate(driver, QFile::encodeName(file).constData(), width, height, 1, GDT_Float32, nullptr);
        EXPECT_NE(ds, nullptr);
        if (!transform.empty())
            GDALSetGeoTransform(ds, transform.data());
        if (epsg) {
            OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
            OSRImportFromEPSG(srs, epsg);
            char *wkt = nullptr;
            OSRExportToWkt(srs, &wkt);
            GDALSetProjection(ds, wkt);
            CPLFree(wkt);
            OSRDestroySpatialReference(srs);
        }
        GDALRasterBandH band = GDALGetRasterBand(ds, 1);
        if (noData)
            GDALSetRasterNoDataValue(band, *noData);
        std::vector<float> cells(std::size_t(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                cells[std::size_t(y) * width + x] = value(x, y);
        EXPECT_EQ(GDALRasterIO(band, GF_Write, 0, 0, width, height, cells.data(), width, height, GDT_Float32, 0, 0),
                  CE_None);
        GDALClose(ds);
        return file;
    }

    QString writeBytes(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    Heightmap read(const QString &file, HeightmapReadOptions options = {})
    {
        Heightmap h;
        QString error;
        EXPECT_TRUE(readHeightmap(file, options, &h, &error)) << error.toStdString();
        return h;
    }

    QString refusal(const QString &file, HeightmapReadOptions options = {})
    {
        Heightmap h;
        QString error;
        EXPECT_FALSE(readHeightmap(file, options, &h, &error)) << file.toStdString();
        EXPECT_TRUE(h.isEmpty());
        return error;
    }

    static float at(const Heightmap &h, int x, int y) { return h.metres[std::size_t(y) * h.width + x]; }
};

quint32 crc32(const QByteArray &bytes)
{
    quint32 c = 0xffffffffu;
    for (char b : bytes) {
        c ^= quint8(b);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    return ~c;
}

/// A plane sloping east and south, in metres.
float plane(int x, int y) { return 400.0f + 2.0f * float(x) + 0.5f * float(y); }

TEST_F(HeightmapImport, AProjectedGeoTiffKeepsItsExtentAndFillsItsNoDataHole)
{
    // 64 × 64 cells of 30 m in UTM 33N, with a 6 × 6 hole of no-data near the middle.
    auto hole = [](int x, int y) { return x >= 30 && x < 36 && y >= 20 && y < 26; };
    const QString file = geoTiff(
        "utm.tif", 64, 64, [&](int x, int y) { return hole(x, y) ? -9999.0f : plane(x, y); },
        {500000.0, 30.0, 0.0, 5200000.0, 0.0, -30.0}, 32633, -9999.0);
    const Heightmap h = read(file);
    EXPECT_EQ(h.width, 64);
    EXPECT_EQ(h.height, 64);
    EXPECT_EQ(h.format, QStringLiteral("GTiff"));
    EXPECT_EQ(h.sizeSource, QStringLiteral("extent"));
    EXPECT_NEAR(h.terrainSize, 63 * 30.0, 1e-6) << "first to last pixel centre";
    EXPECT_EQ(h.filledCells, 36);
    // Every filled cell lies between the heights around the hole, near the plane through them.
    for (int y = 20; y < 26; ++y)
        for (int x = 30; x < 36; ++x) {
            const float v = at(h, x, y);
            EXPECT_GT(v, plane(29, 19)) << x << "," << y;
            EXPECT_LT(v, plane(36, 26)) << x << "," << y;
            EXPECT_NEAR(v, plane(x, y), 4.0f) << x << "," << y;
        }
    // The known cells are as written.
    EXPECT_EQ(at(h, 0, 0), plane(0, 0));
    EXPECT_EQ(at(h, 63, 63), plane(63, 63));

    ImportedTerrain t;
    QString error;
    ASSERT_TRUE(importedTerrain(std::make_shared<Heightmap>(h), file, &t, &error)) << error.toStdString();
    EXPECT_EQ(t.terrainSize, 1890);
    EXPECT_FLOAT_EQ(float(t.lowest), 400.0f);
    EXPECT_FLOAT_EQ(float(t.highest), plane(63, 63));
    EXPECT_EQ(t.shift, -400.0) << "all above sea level: the lowest point lies at 0";
    EXPECT_EQ(t.elevationLow, 0);
    EXPECT_EQ(t.elevationHigh, int(std::lround(plane(63, 63) - 400.0f)));
}

TEST_F(HeightmapImport, RowsRunFromTheNorthAndSouthUpRastersAreTurned)
{
    // Row 0 of a north-up raster is the terrain's −z edge; a south-up one stores it last.
    const auto north = [](int, int y) { return float(100 - y); };
    const Heightmap up = read(geoTiff("north.tif", 8, 8, north, {0.0, 10.0, 0.0, 80.0, 0.0, -10.0}, 32633));
    const Heightmap down =
        read(geoTiff("south.tif", 8, 8, [](int, int y) { return float(100 - (7 - y)); }, {0.0, 10.0, 0.0, 0.0, 0.0, 10.0}, 32633));
    EXPECT_EQ(up.metres, down.metres);
    EXPECT_EQ(at(up, 0, 0), 100.0f) << "the north row first";
    EXPECT_EQ(at(down, 0, 0), 100.0f);
}

TEST_F(HeightmapImport, GeographicDegreesBecomeMetresAndAreCutToAGroundSquare)
{
    // One arc second cells at 60° north: the east-west spacing is half the north-south one, so
    // a raster twice as wide as high covers a ground square.
    const double cell = 1.0 / 3600.0;
    const Heightmap h = read(geoTiff("wgs84.tif", 121, 61, [](int x, int) { return float(x); },
                                     {10.0, cell, 0.0, 60.0 + 30 * cell, 0.0, -cell}, 4326));
    const double metresPerDegree = 6371008.8 * pi / 180.0;
    const double northSouth = 60 * cell * metresPerDegree;
    const double eastWest = 120 * cell * metresPerDegree * std::cos(60.0 * pi / 180.0);
    EXPECT_NEAR(h.terrainSize, std::min(northSouth, eastWest), 0.05);
    EXPECT_NEAR(h.terrainSize, 1853.0, 1.0);
    // At 60° the 120 columns cover as much ground as the 60 rows: the square keeps every column.
    const std::vector<float> across = resampleHeightmap(h, 121);
    EXPECT_NEAR(across.front(), 0.0f, 0.05f);
    EXPECT_NEAR(across[120], 120.0f, 0.05f);
    ASSERT_FALSE(h.notes.isEmpty());
    EXPECT_TRUE(h.notes.join(' ').contains(QStringLiteral("degrees converted"))) << h.notes.join(' ').toStdString();

    // A raster wider than its ground is high keeps its middle: the same metres in both directions.
    const Heightmap wide = read(geoTiff("wide.tif", 201, 51, [](int x, int) { return float(x); },
                                        {0.0, 10.0, 0.0, 510.0, 0.0, -10.0}, 32633));
    EXPECT_NEAR(wide.terrainSize, 500.0, 1e-6);
    const std::vector<float> square = resampleHeightmap(wide, 51);
    EXPECT_NEAR(square.front(), 75.0f, 1e-3) << "the centred square starts at column 75";
    EXPECT_NEAR(square[50], 125.0f, 1e-3);
    EXPECT_TRUE(wide.notes.join(' ').contains(QStringLiteral("cut to its centred 500 m square")));
}

TEST_F(HeightmapImport, AnSrtmTileIsReadWithItsVoidsFilled)
{
    // A 3 arc second tile as users download it: 1201 × 1201 big-endian 16-bit metres, named for
    // its south-west corner, voids −32768.
    QByteArray tile(1201 * 1201 * 2, 0);
    for (int y = 0; y < 1201; ++y)
        for (int x = 0; x < 1201; ++x) {
            const bool voidCell = std::hypot(x - 600, y - 300) < 30.0;
            const qint16 v = voidCell ? qint16(-32768) : qint16(500 + x / 4 + y / 8);
            tile[2 * (y * 1201 + x)] = char(quint16(v) >> 8);
            tile[2 * (y * 1201 + x) + 1] = char(quint16(v) & 0xff);
        }
    const Heightmap h = read(writeBytes("N45E006.hgt", tile));
    EXPECT_EQ(h.format, QStringLiteral("SRTMHGT"));
    EXPECT_GT(h.filledCells, 2700);
    const double metresPerDegree = 6371008.8 * pi / 180.0;
    EXPECT_NEAR(h.terrainSize, metresPerDegree * std::cos(45.5 * pi / 180.0), 1.0) << "one degree east-west at 45.5°";
    // The void is filled from the ground around it (500 + x / 4 + y / 8 there).
    EXPECT_NEAR(at(h, 600, 300), 500 + 150 + 37, 6.0f);
    for (float v : h.metres)
        ASSERT_GT(v, 0.0f);
}

TEST_F(HeightmapImport, OurOwnPng16AndExrReadBackToTheSameHeights)
{
    // A terrain the exporter writes: −5 … 40 m over 300 m.
    NoiseMap map(512, 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            map.SetValue(x, y, float(std::sin(x * 0.03) * std::cos(y * 0.021) + 0.001 * y));
    const ElevationGrid grid = elevationGrid(map, -5, 40);
    QString error;
    ASSERT_TRUE(writeHeightmapPng16(grid, path("t_height.png"), &error));
    ASSERT_TRUE(writeHeightmapExr(grid, path("t_height.exr"), &error));
    ASSERT_TRUE(writeHeightmapRaw16(grid, path("t_height.r16"), &error));
    ASSERT_TRUE(writeHeightmapSidecar(grid, 300, {"t_height.png"}, path("t_height.json"), &error));

    const float step = (grid.highest - grid.lowest) / 65535.0f;
    for (const char *name : {"t_height.png", "t_height.r16", "t_height.exr"}) {
        SCOPED_TRACE(name);
        const Heightmap h = read(path(name));
        ASSERT_EQ(h.width, 512);
        EXPECT_EQ(h.sizeSource, QStringLiteral("sidecar"));
        EXPECT_EQ(h.terrainSize, 300.0);
        float worst = 0.0f;
        for (std::size_t i = 0; i < grid.metres.size(); ++i)
            worst = std::max(worst, std::abs(h.metres[i] - grid.metres[i]));
        EXPECT_LE(worst, 0.51f * step + 1e-4f);

        // … and the terrain mesh built from it stands at the exporter's heights, row for row.
        ImportedTerrain t;
        ASSERT_TRUE(importedTerrain(std::make_shared<Heightmap>(h), path(name), &t, &error)) << error.toStdString();
        EXPECT_EQ(t.elevationLow, -5);
        EXPECT_EQ(t.elevationHigh, 40);
        EXPECT_EQ(t.shift, 0.0);
        NoiseMap final;
        importedHeightMap(t, 512, final);
        TerrainSource source{&final, t.terrainSize, t.metresLow, t.metresHigh, QString()};
        const TerrainArrays mesh = buildTerrainArrays(source);
        ASSERT_EQ(mesh.gridSize, 512);
        float meshWorst = 0.0f;
        for (int r = 0; r < 512; ++r)
            for (int c = 0; c < 512; ++c)
                meshWorst = std::max(meshWorst, std::abs(mesh.vertices[3 * (std::size_t(r) * 512 + c) + 1] -
                                                         grid.metres[std::size_t(r) * 512 + c]));
        EXPECT_LE(meshWorst, 0.51f * step + 1e-3f);
    }

    // Without the sidecar the 16-bit values span the caller's elevation range and size.
    QFile::remove(path("t_height.json"));
    HeightmapReadOptions options;
    options.metresAt0 = 0.0;
    options.metresAt65535 = 100.0;
    options.terrainSize = 250.0;
    const Heightmap bare = read(path("t_height.png"), options);
    EXPECT_EQ(bare.sizeSource, QStringLiteral("option"));
    EXPECT_EQ(bare.terrainSize, 250.0);
    EXPECT_FLOAT_EQ(*std::min_element(bare.metres.begin(), bare.metres.end()), 0.0f);
    EXPECT_FLOAT_EQ(*std::max_element(bare.metres.begin(), bare.metres.end()), 100.0f);
}

TEST_F(HeightmapImport, ARawTakesItsSizeFromTheLengthOrTheCaller)
{
    QByteArray square(2 * 16 * 16, 0), oblong(2 * 8 * 30, 0);
    square[2 * (16 * 3 + 5)] = char(0xff);
    square[2 * (16 * 3 + 5) + 1] = char(0xff);   // little-endian 65535 at row 3, column 5
    HeightmapReadOptions options;
    options.metresAt65535 = 10.0;
    const Heightmap h = read(writeBytes("a.r16", square), options);
    EXPECT_EQ(h.width, 16);
    EXPECT_EQ(at(h, 5, 3), 10.0f);
    EXPECT_EQ(at(h, 4, 3), 0.0f);

    const QString odd = writeBytes("b.raw", oblong);
    EXPECT_TRUE(refusal(odd).contains(QStringLiteral("no square of 16-bit samples: give its size")));
    options.rawSize = 16;
    EXPECT_TRUE(refusal(odd, options).contains(QStringLiteral("it holds 480 bytes, not the 512 of 16 × 16")));
}

TEST_F(HeightmapImport, ResamplingIsExactAtTheSameSizeAndSmoothWhenShrinking)
{
    Heightmap h;
    h.width = h.height = 1024;
    h.metres.resize(1024 * 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            h.metres[std::size_t(y) * 1024 + x] = float(x + 3 * y) + ((x + y) % 2 ? 0.5f : -0.5f);   // ramp + checker
    h.squareSpanX = h.squareSpanY = 1023;
    const std::vector<float> same = resampleHeightmap(h, 1024);
    EXPECT_EQ(same, h.metres);

    // Halving: the checker averages out, the ramp stays (away from the clamped edges).
    const std::vector<float> half = resampleHeightmap(h, 512);
    ASSERT_EQ(half.size(), 512u * 512u);
    const double step = 1023.0 / 511.0;
    for (int r : {10, 100, 255, 400, 500})
        for (int c : {10, 200, 333, 501}) {
            const double x = c * step, y = r * step;
            EXPECT_NEAR(half[std::size_t(r) * 512 + c], x + 3 * y, 0.05) << r << "," << c;
        }
    // Growing a ramp: exact for the linear part between samples.
    Heightmap ramp;
    ramp.width = ramp.height = 5;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            ramp.metres.push_back(float(10 * x));
    ramp.squareSpanX = ramp.squareSpanY = 4;
    const std::vector<float> grown = resampleHeightmap(ramp, 9);
    EXPECT_NEAR(grown[4], 20.0f, 1e-4f);
    EXPECT_NEAR(grown[3], 15.0f, 1e-4f) << "halfway between two columns";
}

TEST_F(HeightmapImport, HoleFillingReachesEveryCellAndRefusesAnEmptyRaster)
{
    std::vector<float> values(10 * 10, 0.0f);
    std::vector<unsigned char> known(100, 0);
    EXPECT_EQ(fillNoData(values, known, 10, 10), -1);
    known[0] = 1;
    values[0] = 7.0f;
    EXPECT_EQ(fillNoData(values, known, 10, 10), 99);
    for (float v : values)
        EXPECT_EQ(v, 7.0f);
}

TEST_F(HeightmapImport, FilesThatAreNoUsableRasterAreRefusedWithTheReason)
{
    EXPECT_TRUE(refusal(writeBytes("notes.tif", "these are words, not a raster\n")).contains(QStringLiteral("not a raster GDAL reads")));
    EXPECT_TRUE(refusal(writeBytes("empty.png", {})).contains(QStringLiteral("not a picture")));
    EXPECT_TRUE(refusal(writeBytes("text.png", "hello")).contains(QStringLiteral("not a picture")));
    EXPECT_TRUE(refusal(writeBytes("empty.r16", {})).contains(QStringLiteral("empty")));
    EXPECT_TRUE(refusal(path("missing.tif")).contains(QStringLiteral("cannot read the heightmap")));
    // A RAW claiming more than the program reads.
    HeightmapReadOptions huge;
    huge.rawSize = 30000;
    EXPECT_TRUE(refusal(writeBytes("huge.r16", QByteArray(8, 0)), huge).contains(QStringLiteral("larger than")));
    // A PNG header claiming 40000 × 40000 pixels is refused before anything is decoded.
    QImage small(4, 4, QImage::Format_Grayscale16);
    small.fill(0);
    small.save(path("small.png"));
    QFile f(path("small.png"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray png = f.readAll();
    const char big[8] = {0, 0, char(0x9c), 0x40, 0, 0, char(0x9c), 0x40};   // IHDR width and height
    png.replace(16, 8, QByteArray(big, 8));
    const quint32 crc = crc32(png.mid(12, 17));   // "IHDR" and its 13 bytes
    const char sum[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    png.replace(29, 4, QByteArray(sum, 4));
    EXPECT_TRUE(refusal(writeBytes("big.png", png)).contains(QStringLiteral("40000 × 40000: larger than")));

    // All no-data, and NaN that is not marked as no-data.
    const QString none = geoTiff("none.tif", 8, 8, [](int, int) { return -9999.0f; }, {}, 0, -9999.0);
    EXPECT_TRUE(refusal(none).contains(QStringLiteral("every cell is no-data"))) << refusal(none).toStdString();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const QString nans = geoTiff("nan.tif", 8, 8, [&](int x, int) { return x == 3 ? nan : 1.0f; }, {}, 0);
    EXPECT_TRUE(refusal(nans).contains(QStringLiteral("8 of its heights are NaN or infinite")));
    std::vector<float> exr(16, 1.0f);
    exr[5] = std::numeric_limits<float>::infinity();
    QString error;
    ASSERT_TRUE(writeFloatExr(exr.data(), 4, 4, path("inf.exr"), &error));
    EXPECT_TRUE(refusal(path("inf.exr")).contains(QStringLiteral("NaN or infinite")));
    // An EXR whose header gives an attribute more bytes than the file holds is refused before
    // OpenEXR's reader allocates them (a few bytes could otherwise ask for 2 GB).
    {
        QFile good(path("inf.exr"));
        ASSERT_TRUE(good.open(QIODevice::ReadOnly));
        QByteArray bytes = good.readAll();
        // A first attribute "note" of a type OpenEXR does not know, 1.8 GB long by its header.
        bytes.insert(8, QByteArray("note\0opaque\0\x00\x00\x00\x70", 16));
        const QString why = refusal(writeBytes("huge-attribute.exr", bytes));
        EXPECT_TRUE(why.contains(QStringLiteral("its header's \"note\" claims 1879048192 bytes of a file of")))
            << why.toStdString();
    }
    // NaN declared as the no-data value is filled like any no-data.
    const QString marked = geoTiff("marked.tif", 8, 8, [&](int x, int) { return x == 3 ? nan : 1.0f; }, {}, 0, nan);
    EXPECT_EQ(read(marked).filledCells, 8);
    // A single row is no terrain.
    EXPECT_TRUE(refusal(geoTiff("row.tif", 8, 1, [](int, int) { return 1.0f; }, {}, 0)).contains(QStringLiteral("at least 2 × 2")));
}

TEST_F(HeightmapImport, AVrtIsRefusedAndTheFilesItNamesAreNeverRead)
{
    // The secret is a legal 8 × 8 byte raster: read through the VRT it would become heights.
    QByteArray secret(64, 0);
    for (int i = 0; i < 64; ++i)
        secret[i] = char(100 + i);
    const QString source = writeBytes("secret.bin", secret);
    for (const QString &name : {QStringLiteral("local.vrt"), QStringLiteral("local.tif"), QStringLiteral("local.asc")}) {
        SCOPED_TRACE(name.toStdString());
        const QString vrt = writeBytes(name, testsupport::rawVrt(source));
        const QString why = refusal(vrt);
        EXPECT_TRUE(why.startsWith(QStringLiteral("cannot read the heightmap ") + vrt + QStringLiteral(": VRT rasters name other files and are not read; use a GeoTIFF")))
            << why.toStdString();
        EXPECT_EQ(why.count('\n'), 0);
    }

    // Nor does a VRT reach the network, nor a name that is one of GDAL's network file systems.
    const testsupport::LoopbackListener listener;
    const QString remote = writeBytes("remote.vrt", testsupport::rawVrt(QStringLiteral("/vsicurl/") + listener.url("x.bin")));
    EXPECT_TRUE(refusal(remote).contains(QStringLiteral("VRT rasters name other files")));
    for (const QString &name : {QStringLiteral("/vsicurl/") + listener.url("dem.tif"), QStringLiteral("/VSICURL/") + listener.url("dem.tif"),
                                QStringLiteral("/vsicurl_streaming/") + listener.url("dem.tif"), listener.url("dem.tif")}) {
        SCOPED_TRACE(name.toStdString());
        const QString why = refusal(name);
        EXPECT_TRUE(why.contains(QStringLiteral("/vsi")) || why.contains(QStringLiteral("URL"))) << why.toStdString();
        EXPECT_TRUE(why.contains(QStringLiteral("use a GeoTIFF"))) << why.toStdString();
    }
    EXPECT_EQ(listener.connections(), 0);
}

TEST_F(HeightmapImport, OnlyTheGeoTiffItselfIsReadNothingBesideItAndNothingIsWritten)
{
    const QString file = geoTiff("dem.tif", 16, 16, plane, {0.0, 10.0, 0.0, 160.0, 0.0, -10.0}, 32633);
    const Heightmap clean = read(file);
    // Beside it: a mask that is a VRT on the network, and PAM metadata that would shift every
    // height by a kilometre. Neither is the file's own.
    const testsupport::LoopbackListener listener;
    writeBytes("dem.tif.msk", testsupport::rawVrt(QStringLiteral("/vsicurl/") + listener.url("mask.bin")));
    writeBytes("dem.tif.aux.xml", "<PAMDataset><PAMRasterBand band=\"1\"><Offset>1000</Offset><Scale>2</Scale>"
                                  "<NoDataValue>400</NoDataValue></PAMRasterBand></PAMDataset>\n");
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    const Heightmap h = read(file);
    EXPECT_EQ(h.metres, clean.metres);
    EXPECT_EQ(h.filledCells, 0);
    EXPECT_EQ(listener.connections(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before) << "nothing written beside it";
}

TEST_F(HeightmapImport, EachElevationFormatReadStillReadsASmallFile)
{
    // Made by GDAL's own writers from a grid of whole metres: 24 × 24 cells of 30 m in UTM 33N,
    // and a DTED level 0 tile (121 × 121 at 30 arc seconds) of the same heights.
    GDALAllRegister();
    // The writers of header + data pairs open what they wrote by listing the folder.
    CPLSetThreadLocalConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", "FALSE");
    auto grid = [](int side, const double *transform, int epsg) {
        GDALDatasetH ds = GDALCreate(GDALGetDriverByName("MEM"), "", side, side, 1, GDT_Int16, nullptr);
        GDALSetGeoTransform(ds, const_cast<double *>(transform));
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(srs, epsg);
        OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
        GDALSetSpatialRef(ds, srs);
        OSRDestroySpatialReference(srs);
        std::vector<qint16> cells(std::size_t(side) * side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                cells[std::size_t(y) * side + x] = qint16(plane(x, y) * 2.0f);
        EXPECT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, side, side, cells.data(), side, side, GDT_Int16,
                               0, 0),
                  CE_None);
        return ds;
    };
    const double utm[6] = {500000.0, 30.0, 0.0, 5200000.0, 0.0, -30.0};
    const double cell = 1.0 / 120.0;
    const double degrees[6] = {6.0 - cell / 2, cell, 0.0, 46.0 + cell / 2, 0.0, -cell};
    GDALDatasetH projected = grid(24, utm, 32633), geographic = grid(121, degrees, 4326);
    struct Format {
        const char *driver, *file;
        GDALDatasetH from;
    };
    for (const Format &f : {Format{"GTiff", "g.tif", projected}, Format{"AAIGrid", "a.asc", projected},
                            Format{"EHdr", "e.bil", projected}, Format{"ENVI", "v.img", projected},
                            Format{"BT", "b.bt", projected}, Format{"GSAG", "s.grd", projected},
                            Format{"GSBG", "t.grd", projected}, Format{"GS7BG", "u.grd", projected},
                            Format{"USGSDEM", "d.dem", projected}, Format{"DTED", "n46.dt0", geographic}}) {
        SCOPED_TRACE(f.driver);
        CPLPushErrorHandler(CPLQuietErrorHandler);
        GDALDatasetH copy = GDALCreateCopy(GDALGetDriverByName(f.driver), QFile::encodeName(path(f.file)).constData(),
                                           f.from, FALSE, nullptr, nullptr, nullptr);
        CPLPopErrorHandler();
        ASSERT_NE(copy, nullptr) << CPLGetLastErrorMsg();
        GDALClose(copy);
        QFile::remove(path(f.file) + ".aux.xml");
        const Heightmap h = read(path(f.file));
        EXPECT_EQ(h.format, QLatin1String(f.driver));
        const int side = GDALGetRasterXSize(f.from);
        if (QLatin1String(f.driver) == QLatin1String("USGSDEM")) {
            // Its writer resamples onto the DEM's own grid: the same ground, the same heights.
            EXPECT_NEAR(h.width, side, 1);
            EXPECT_NEAR(h.terrainSize, 23 * 30.0, 30.0);
            const auto [lo, hi] = std::minmax_element(h.metres.begin(), h.metres.end());
            EXPECT_NEAR(*lo, 2.0f * plane(0, 0), 2.0f);
            EXPECT_NEAR(*hi, 2.0f * plane(23, 23), 2.0f);
            continue;
        }
        ASSERT_EQ(h.width, side);
        ASSERT_EQ(h.height, side);
        if (f.from == projected) {
            EXPECT_NEAR(h.terrainSize, 23 * 30.0, 1e-6);
        }
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                ASSERT_EQ(at(h, x, y), float(qint16(plane(x, y) * 2.0f))) << x << "," << y;
    }
    GDALClose(projected);
    GDALClose(geographic);
    CPLSetThreadLocalConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", nullptr);
}

TEST_F(HeightmapImport, TheExportersLargest16BitPngReadsBackExactly)
{
    // 8192 × 8192 with every 16-bit value, in rows that are no two alike: beyond what a picture
    // loader reads by default (256 MB).
    constexpr int side = 8192;
    ElevationGrid grid;
    grid.size = side;
    grid.lowest = 0.0f;
    grid.highest = 65535.0f;
    grid.metres.resize(std::size_t(side) * side);
    auto value = [](std::size_t i) { return quint16((i * 40503u + (i >> 13) * 7u) & 0xffffu); };
    for (std::size_t i = 0; i < grid.metres.size(); ++i)
        grid.metres[i] = float(value(i));
    QString error;
    ASSERT_TRUE(writeHeightmapPng16(grid, path("big_height.png"), &error)) << error.toStdString();
    grid.metres = {};
    HeightmapReadOptions options;
    options.metresAt0 = 0.0;
    options.metresAt65535 = 65535.0;
    const Heightmap h = read(path("big_height.png"), options);
    ASSERT_EQ(h.width, side);
    ASSERT_EQ(h.height, side);
    EXPECT_EQ(h.format, QStringLiteral("png16"));
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < h.metres.size(); ++i)
        wrong += h.metres[i] != float(value(i));
    EXPECT_EQ(wrong, 0u);
}

TEST_F(HeightmapImport, AReadStopsWhenTheCallerSaysSo)
{
    // One file of each reader, 600 × 600 with a no-data hole for GDAL.
    QByteArray r16(600 * 600 * 2, 0);
    const QString raw = writeBytes("s.r16", r16);
    QImage picture(600, 600, QImage::Format_Grayscale16);
    picture.fill(1000);
    ASSERT_TRUE(picture.save(path("s.png")));
    std::vector<float> exr(600 * 600, 5.0f);
    QString error;
    ASSERT_TRUE(writeFloatExr(exr.data(), 600, 600, path("s.exr"), &error));
    const QString tif = geoTiff("s.tif", 600, 600, [](int x, int y) { return x < 300 && y < 300 ? -9999.0f : 1.0f; },
                                {}, 0, -9999.0);
    for (const QString &file : {raw, path("s.png"), path("s.exr"), tif}) {
        SCOPED_TRACE(file.toStdString());
        // A whole read: fractions rise to 1, often enough to stop a large read in time.
        std::vector<double> seen;
        HeightmapReadOptions options;
        options.keepGoing = [&](double f) {
            seen.push_back(f);
            return true;
        };
        read(file, options);
        ASSERT_GE(seen.size(), 10u);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(seen.back(), 1.0);
        EXPECT_GE(seen.front(), 0.0);

        // Stopped at once, and half way.
        for (const double stopAt : {0.0, 0.5}) {
            options.keepGoing = [stopAt](double f) { return f < stopAt; };
            Heightmap h;
            EXPECT_FALSE(readHeightmap(file, options, &h, &error));
            EXPECT_EQ(error, QStringLiteral("stopped"));
            EXPECT_TRUE(h.isEmpty());
        }
    }
}

TEST_F(HeightmapImport, MessagesGiveTheFilesOwnSaneNumbers)
{
    // A sidecar of absurd metres or size is refused by name, not turned into heights.
    QImage picture(4, 4, QImage::Format_Grayscale16);
    picture.fill(300);
    ASSERT_TRUE(picture.save(path("h.png")));
    writeBytes("h.json", R"({"metresAt0": 0, "metresAt65535": 1e300, "terrainSize": 100, "size": 4})");
    QString why = refusal(path("h.png"));
    EXPECT_TRUE(why.contains(QStringLiteral("its sidecar h.json gives 1e+300 m for a 16-bit value"))) << why.toStdString();
    writeBytes("h.json", R"({"metresAt0": 0, "metresAt65535": 100, "terrainSize": 1e300, "size": 4})");
    why = refusal(path("h.png"));
    EXPECT_TRUE(why.contains(QStringLiteral("terrain size of 1e+300 m"))) << why.toStdString();
    EXPECT_LT(why.size(), 200);

    // Georeferencing of absurd cells: a short number, not three hundred digits.
    const QString huge = geoTiff("huge.tif", 8, 8, plane, {0.0, 1e300, 0.0, 0.0, 0.0, -1e300}, 32633);
    why = refusal(huge);
    EXPECT_TRUE(why.contains(QStringLiteral("km across"))) << why.toStdString();
    EXPECT_LT(why.size(), 200) << why.toStdString();
    const QString polar = geoTiff("polar.tif", 8, 8, plane, {0.0, 1.0, 0.0, 5000.0, 0.0, -1.0}, 4326);
    why = refusal(polar);
    EXPECT_TRUE(why.contains(QStringLiteral("not on the Earth"))) << why.toStdString();

    // Heights made by the band's scale are said to come from it.
    const QString scaled = geoTiff("scaled.tif", 8, 8, plane, {}, 0);
    GDALDatasetH ds = GDALOpen(QFile::encodeName(scaled).constData(), GA_Update);
    GDALSetRasterScale(GDALGetRasterBand(ds, 1), 1e30);
    GDALClose(ds);
    QFile::remove(scaled + ".aux.xml");
    why = refusal(scaled);
    EXPECT_TRUE(why.contains(QStringLiteral("its band's scale and offset give heights of"))) << why.toStdString();

    // A terrain size beyond the limit, said in short.
    auto h = std::make_shared<Heightmap>();
    h->width = h->height = 2;
    h->metres = {0, 1, 0, 1};
    h->squareSpanX = h->squareSpanY = 1;
    h->terrainSize = 1e300;
    ImportedTerrain t;
    EXPECT_FALSE(importedTerrain(h, QStringLiteral("x.tif"), &t, &why));
    EXPECT_LT(why.size(), 100) << why.toStdString();
}

TEST_F(HeightmapImport, TheRangeFitsTheFinalNodeOrIsRefused)
{
    auto terrain = [&](float lo, float hi, ImportedTerrain *t, QString *error) {
        auto h = std::make_shared<Heightmap>();
        h->width = h->height = 2;
        h->metres = {lo, hi, lo, hi};
        h->squareSpanX = h->squareSpanY = 1;
        h->terrainSize = 100;
        return importedTerrain(h, QStringLiteral("x.tif"), t, error);
    };
    ImportedTerrain t;
    QString error;
    ASSERT_TRUE(terrain(-20.0f, 135.0f, &t, &error));
    EXPECT_EQ(t.elevationLow, -20);
    EXPECT_EQ(t.elevationHigh, 135);
    EXPECT_EQ(t.shift, 0.0) << "a range through sea level stays as it is";
    ASSERT_TRUE(terrain(-430.0f, -100.0f, &t, &error));
    EXPECT_EQ(t.elevationLow, -330);
    EXPECT_EQ(t.elevationHigh, 0);
    EXPECT_FALSE(terrain(-11000.0f, 100.0f, &t, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("more relief than a terrain takes")));
    EXPECT_FALSE(terrain(0.0f, 9500.0f, &t, &error));
}

/// Erodes as the machine asks, and remembers the outcome.
class ErodingObserver : public MachineObserver {
public:
    explicit ErodingObserver(const FinalSettings &f) : settings(f) {}
    void erode(NoiseMap &map, const QString &grey) override
    {
        ErosionRequest request = ErosionRequest::fromSettings(settings, false, QString());
        request.picturePath = grey;
        result = erodeHeightMap(map, request);
    }
    void nodeDone(int node, const NoiseMap &, const QString &height, const QString &colour) override
    {
        nodes.push_back(node);
        pictures << height << colour;
    }
    const FinalSettings &settings;
    ErosionResult result;
    std::vector<int> nodes;
    QStringList pictures;
};

TEST_F(HeightmapImport, TheMachineRunOnAnImportedMapWritesItsPicturesAndErodesIt)
{
    const QString file = geoTiff("hills.tif", 200, 200,
                                 [](int x, int y) { return float(300.0 + 80.0 * std::sin(x * 0.09) * std::cos(y * 0.07) + x); },
                                 {0.0, 5.0, 0.0, 1000.0, 0.0, -5.0}, 32633);
    ImportedTerrain t;
    QString error;
    ASSERT_TRUE(importedTerrain(std::make_shared<Heightmap>(read(file)), file, &t, &error)) << error.toStdString();
    NoiseMap plain;
    importedHeightMap(t, 256, plain);

    NoiseSettings settings;
    settings.final.erosionType = int(ErosionType::Thermal);
    settings.final.erosionIterations = 20;
    const QString maps = path("maps");
    QDir().mkpath(maps);
    const MachineFolders folders{maps, QStringLiteral(OROVISTA_SOURCE_DIR "/data/resources/gradients")};
    MachineRun run;
    run.size = 256;
    ErodingObserver observer(settings.final);
    NoiseMap final;
    runImportedHeightmap(t, settings, run, folders, final, noise::utils::ProgressReporter::Null(), observer);
    EXPECT_EQ(observer.nodes, std::vector<int>{6});
    EXPECT_TRUE(observer.result.eroded());
    EXPECT_TRUE(observer.result.pictureRewritten);
    ASSERT_EQ(final.GetWidth(), 256);
    // Erosion writes the map back without its former minimum.
    float plainLowest = 2.0f;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            plainLowest = std::min(plainLowest, plain.GetValue(x, y));
    int changed = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            changed += std::abs(final.GetValue(x, y) - (plain.GetValue(x, y) - plainLowest)) > 1e-4f;
    EXPECT_GT(changed, 1000) << "thermal erosion moved material";
    EXPECT_EQ(QImage(maps + "/HFFnoisePreview.jpg").size(), QSize(256, 256));
    const QImage colour(maps + "/TFFnoisePreview.jpg");
    ASSERT_EQ(colour.size(), QSize(256, 256));
    EXPECT_NE(colour.pixel(0, 0), colour.pixel(255, 0)) << "the gradient colours low and high ground apart";
    EXPECT_TRUE(QDir(maps).entryList({".*.part"}, QDir::Files | QDir::Hidden).isEmpty()) << "nothing left staged";

    // Without erosion the map is the imported heights, −1 … +1.
    settings.final.erosionType = int(ErosionType::None);
    runImportedHeightmap(t, settings, run, folders, final, noise::utils::ProgressReporter::Null(), observer);
    float lo = 2.0f, hi = -2.0f;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            lo = std::min(lo, final.GetValue(x, y));
            hi = std::max(hi, final.GetValue(x, y));
            ASSERT_EQ(final.GetValue(x, y), plain.GetValue(x, y));
        }
    EXPECT_NEAR(lo, -1.0f, 0.01f);
    EXPECT_NEAR(hi, 1.0f, 0.01f);
}

}   // namespace
