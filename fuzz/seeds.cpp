// Seed corpora of the GDAL and EXR fuzzers, made with the libraries' own writers:
//   seeds GDAL_CORPUS EXR_CORPUS
// A GDAL seed is the fuzzer's kind byte, a byte that never stops the read, and the file (a
// header, a NUL and the data for the header + data kinds); an EXR seed the byte and the file.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <ImfTiledOutputFile.h>
#include <half.h>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void seed(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

GDALDatasetH grid(int side, const double *transform, int epsg, GDALDataType type)
{
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("MEM"), "", side, side, 1, type, nullptr);
    GDALSetGeoTransform(ds, const_cast<double *>(transform));
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, epsg);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    GDALSetSpatialRef(ds, srs);
    OSRDestroySpatialReference(srs);
    std::vector<float> cells(std::size_t(side) * side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            cells[std::size_t(y) * side + x] = float(100 + 3 * x + y + ((x * y) % 7));
    cells[side + 1] = -9999.0f;
    GDALRasterBandH band = GDALGetRasterBand(ds, 1);
    GDALSetRasterNoDataValue(band, -9999.0);
    if (GDALRasterIO(band, GF_Write, 0, 0, side, side, cells.data(), side, side, GDT_Float32, 0, 0) != CE_None)
        std::fprintf(stderr, "the seed grid was not written\n");
    return ds;
}

void gdalSeeds(const std::string &corpus)
{
    GDALAllRegister();
    const std::string work = corpus + "/.work";
    const double utm[6] = {500000.0, 30.0, 0.0, 5200000.0, 0.0, -30.0};
    const double cell = 1.0 / 120.0;
    const double degrees[6] = {6.0 - cell / 2, cell, 0.0, 46.0 + cell / 2, 0.0, -cell};
    GDALDatasetH small = grid(12, utm, 32633, GDT_Float32), shorts = grid(12, utm, 32633, GDT_Int16);
    GDALDatasetH tile = grid(121, degrees, 4326, GDT_Int16);
    struct Seed {
        int kind;
        const char *driver, *file, *header;
        GDALDatasetH from;
        const char *options;
    };
    // Kinds as in gdal_fuzzer.cpp.
    const Seed seeds[] = {
        {0, "GTiff", "a.tif", nullptr, small, nullptr},
        {0, "GTiff", "b.tif", nullptr, shorts, "COMPRESS=DEFLATE"},
        {0, "GTiff", "c.tif", nullptr, small, "TILED=YES,BLOCKXSIZE=16,BLOCKYSIZE=16,COMPRESS=LZW,PREDICTOR=3"},
        {0, "GTiff", "d.tif", nullptr, shorts, "COMPRESS=PACKBITS,INTERLEAVE=BAND"},
        {1, "AAIGrid", "e.asc", nullptr, small, nullptr},
        {2, "USGSDEM", "f.dem", nullptr, shorts, nullptr},
        {3, "BT", "g.bt", nullptr, small, nullptr},
        {4, "GSAG", "h.grd", nullptr, small, nullptr},
        {4, "GSBG", "i.grd", nullptr, small, nullptr},
        {4, "GS7BG", "j.grd", nullptr, small, nullptr},
        {5, "DTED", "n46.dt0", nullptr, tile, nullptr},
        {7, "EHdr", "k.bil", "k.hdr", shorts, nullptr},
        {8, "ENVI", "l.img", "l.hdr", small, nullptr},
        {9, "EHdr", "m.flt", "m.hdr", small, nullptr},
        {10, "GTiff", "o.tif", "o.tfw", shorts, "TFW=YES,PROFILE=BASELINE"},
    };
    std::system(("mkdir -p '" + work + "'").c_str());
    for (const Seed &s : seeds) {
        const std::string file = work + "/" + s.file;
        char **options = s.options ? CSLTokenizeString2(s.options, ",", 0) : nullptr;
        GDALDatasetH copy = GDALCreateCopy(GDALGetDriverByName(s.driver), file.c_str(), s.from, FALSE, options, nullptr, nullptr);
        CSLDestroy(options);
        if (!copy) {
            std::fprintf(stderr, "no %s seed: %s\n", s.driver, CPLGetLastErrorMsg());
            continue;
        }
        GDALClose(copy);
        std::string bytes{char(s.kind), char(0)};
        if (s.header)
            bytes += slurp(work + "/" + s.header) + std::string(1, '\0');
        bytes += slurp(file);
        seed(corpus + "/seed_" + s.file, bytes);
    }
    std::system(("rm -rf '" + work + "'").c_str());
}

void exrSeeds(const std::string &corpus)
{
    const int side = 24;
    std::vector<float> values(side * side);
    for (int i = 0; i < side * side; ++i)
        values[i] = float(10 + (i % side) * 0.5 + (i / side) * 0.25);
    const std::string work = corpus + "/.work.exr";
    struct Kind {
        const char *name;
        Imf::Compression compression;
        Imf::PixelType type;
        const char *channel;
        bool tiled;
    };
    const Kind kinds[] = {
        {"none", Imf::NO_COMPRESSION, Imf::FLOAT, "Y", false}, {"zip", Imf::ZIP_COMPRESSION, Imf::FLOAT, "Y", false},
        {"zips", Imf::ZIPS_COMPRESSION, Imf::HALF, "R", false}, {"piz", Imf::PIZ_COMPRESSION, Imf::HALF, "Y", false},
        {"rle", Imf::RLE_COMPRESSION, Imf::UINT, "Y", false},   {"pxr24", Imf::PXR24_COMPRESSION, Imf::FLOAT, "Y", false},
        {"b44", Imf::B44_COMPRESSION, Imf::HALF, "Y", false},   {"dwaa", Imf::DWAA_COMPRESSION, Imf::FLOAT, "Z", false},
        {"tiled", Imf::ZIP_COMPRESSION, Imf::FLOAT, "Y", true},
    };
    std::vector<unsigned> integers(values.begin(), values.end());
    std::vector<half> halves(values.begin(), values.end());
    for (const Kind &k : kinds) {
        Imf::Header header(side, side);
        header.compression() = k.compression;
        header.channels().insert(k.channel, Imf::Channel(k.type));
        if (k.tiled)
            header.setTileDescription(Imf::TileDescription(8, 8, Imf::ONE_LEVEL));
        Imf::FrameBuffer frame;
        char *base = k.type == Imf::UINT   ? reinterpret_cast<char *>(integers.data())
                     : k.type == Imf::HALF ? reinterpret_cast<char *>(halves.data())
                                           : reinterpret_cast<char *>(values.data());
        const std::size_t size = k.type == Imf::HALF ? 2 : 4;
        frame.insert(k.channel, Imf::Slice(k.type, base, size, size * side));
        if (k.tiled) {
            Imf::TiledOutputFile file(work.c_str(), header);
            file.setFrameBuffer(frame);
            file.writeTiles(0, file.numXTiles() - 1, 0, file.numYTiles() - 1);
        } else {
            Imf::OutputFile file(work.c_str(), header);
            file.setFrameBuffer(frame);
            file.writePixels(side);
        }
        seed(corpus + "/seed_" + k.name + ".exr", std::string(1, '\0') + slurp(work));
    }
    std::remove(work.c_str());
}

}   // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: seeds GDAL_CORPUS EXR_CORPUS\n");
        return 2;
    }
    gdalSeeds(argv[1]);
    exrSeeds(argv[2]);
    return 0;
}
