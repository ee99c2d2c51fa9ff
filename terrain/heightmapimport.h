#pragma once
// Heightmaps and elevation models as the terrain: a 16-bit grey PNG, a 32-bit float OpenEXR, a
// headerless 16-bit RAW, or an elevation raster GDAL reads (GeoTIFF, Esri ASCII grid, SRTM .hgt,
// …), turned into the final height map the rest of the program works on.
//
// What GDAL is allowed to do. Terrain files come from anywhere, and GDAL can do far more than
// read one file: a VRT names other files (/etc/passwd would become heights) or URLs, and the
// /vsicurl/, /vsis3/, … names fetch from the network. So a raster is opened only by the drivers
// that read the one file given, or a header beside it found by the file's own name, never a
// file or address written inside the content:
//   GTiff (GeoTIFF), AAIGrid (Esri ASCII grid), GRASSASCIIGrid, SRTMHGT (SRTM .hgt tiles),
//   EHdr (ESRI .bil/.bip/.bsq/.flt + .hdr), ENVI (raw + .hdr), USGSDEM, DTED (.dt0–.dt2),
//   BT (VTP Binary Terrain), GSAG, GSBG, GS7BG (Surfer grids).
// Left out on purpose: VRT and every format that names further files (HFA/Erdas .img with its
// .ige, netCDF, HDF, NITF, PDS, …), and the network drivers. A name starting "/vsi" (any case)
// or a URL is refused before anything is opened, and GDAL gets the file's absolute path, so no
// prefix of its own ("GTIFF_DIR:", …) can hide in a name.
// Files beside the raster: GDAL is shown only the raster and, by its name, a header (.hdr),
// projection (.prj), statistics (.stx), colour table (.clr) and world file (.tfw, .tifw, .wld).
// It never sees external overviews (.ovr, .aux, .rrd) and masks (.msk), which are rasters of
// any driver in their own right, nor .aux.xml: PAM is off, so nothing is read from or written
// beside the file either. GDAL never lists a folder (GDAL_DISABLE_READDIR_ON_OPEN=EMPTY_DIR).
// The network is off for the whole process once the first raster is read: the curl file
// systems allow no file name (CPL_VSIL_CURL_ALLOWED_EXTENSIONS), with one retry-less second as
// the HTTP time-out should anything still ask, and PROJ fetches no grids.
// Inside a GeoTIFF everything (tiles, compression, internal masks and overviews) is in the file.
//
// Row order: row 0 of every file is the terrain's −z edge (mesh row 0), column 0 its −x edge,
// as scene/heightmapexport.h writes them and as a north-up GeoTIFF stores its northern row
// first. South-up or east-to-west rasters are turned round to that order.
//
// Units: elevations are metres. A 16-bit PNG or RAW carries no unit: 0 and 65535 stand for the
// metres its sidecar NAME.json says (written beside it by the exporter: "metresAt0",
// "metresAt65535", "terrainSize", "size"), else for the metres the caller gives. An EXR holds
// metres. A GDAL raster holds metres after its band's scale and offset (a band whose unit is
// feet is converted).
//
// Terrain size (the metres the mesh spans from its first to its last vertex column): from the
// raster's extent when it is georeferenced, the distance between the first and last pixel
// centres; a projected CRS by its linear unit, a geographic one (degrees) approximately, on a
// sphere of the mean Earth radius 6 371 008.8 m with the east-west spacing shortened by the
// cosine of the raster's middle latitude; a geotransform without a CRS is read as metres.
// Otherwise from the sidecar, else from the caller. A raster whose ground is not square is cut
// to the largest centred square, so that metres stay metres in both directions.
//
// No-data cells (GDAL's no-data value or mask) are filled from their neighbours, from the edge of
// each hole inwards: each cell takes the mean of its already known 8 neighbours, ring by ring.
// NaN or infinite values that are not marked as no-data are refused.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace noise::utils {
class NoiseMap;
class ProgressReporter;
}   // namespace noise::utils

namespace orovista {

struct NoiseSettings;
struct MachineRun;
struct MachineFolders;
class MachineObserver;

/// Largest raster read: at most this many samples along a side …
inline constexpr int maximumHeightmapSide = 32768;
/// … and at most this many samples in all (1 GiB of float heights).
inline constexpr long long maximumHeightmapSamples = 1LL << 28;
/// Largest terrain an extent may give, in metres.
inline constexpr double maximumImportedTerrainSize = 1000000.0;

/// What the caller says where the file says nothing.
struct HeightmapReadOptions {
    int rawSize = 0;               ///< side of a headerless RAW; 0: from its sidecar or its length (square)
    double terrainSize = 100.0;    ///< metres, for a raster that is not georeferenced and has no sidecar
    double metresAt0 = 0.0;        ///< what 0 of a 16-bit file without sidecar stands for
    double metresAt65535 = 15.0;   ///< … and 65535
    /// Called now and then while the file is read, from the reading thread, with the fraction
    /// read so far (0 … 1, rising; about every thousandth and at the end); returning false stops
    /// the read, which then fails with the error "stopped" (that word alone, without the path).
    /// Empty: the read runs to its end.
    std::function<bool(double fraction)> keepGoing;
    /// Rasters with more samples than this are refused before they are read (never more than
    /// maximumHeightmapSamples); a caller that wants only small terrains lowers it.
    long long maximumSamples = maximumHeightmapSamples;
};

/// A raster read into memory, no-data filled, in the row order above.
struct Heightmap {
    int width = 0, height = 0;
    std::vector<float> metres;   ///< width × height, row by row
    /// The square the terrain is cut from, in pixels: left and top edge (pixel centres, may be
    /// fractional) and side (from the first to the last sample).
    double squareLeft = 0.0, squareTop = 0.0, squareSpanX = 0.0, squareSpanY = 0.0;
    double terrainSize = 0.0;    ///< metres the square spans
    QString sizeSource;          ///< "extent", "sidecar" or "option"
    int filledCells = 0;         ///< no-data cells filled
    QString format;              ///< "png16", "r16", "exr" or GDAL's driver name
    QStringList notes;           ///< what the user should know (cut to a square, degrees converted, …)

    bool isEmpty() const { return width == 0; }
};

/// Reads @a path (chosen by its extension: .png, .exr, .r16 or .raw; anything else through
/// GDAL as above). Returns false and says why in one line, "cannot read the heightmap PATH: …",
/// for a file that is not a raster read here, an empty or too large one, one that is all no-data
/// or holds NaN or infinite heights; "stopped" when keepGoing said so. Safe to call on any
/// thread, one read at a time per options object.
bool readHeightmap(const QString &path, const HeightmapReadOptions &options, Heightmap *out, QString *error);

/// The PNG or RAW path from bytes in memory (what the fuzzer feeds): kind "png" or "raw".
bool readHeightmapBytes(const QByteArray &bytes, const QString &kind, const HeightmapReadOptions &options,
                        Heightmap *out, QString *error);

/// Fills the cells where known is 0 from their neighbours (see above); returns how many were
/// filled, or −1 when no cell is known. keepGoing, when given, is asked before each ring with the
/// fraction filled; when it says stop, the filling ends there and −2 is returned.
int fillNoData(std::vector<float> &values, std::vector<unsigned char> &known, int width, int height,
               const std::function<bool(double fraction)> &keepGoing = {});

/// The heights of the terrain's square resampled to n × n vertices, row 0 first: separable
/// bicubic (Catmull-Rom) interpolation on the pixel centres, the first and last vertex on the
/// square's edges; when there is more than one source pixel per vertex the kernel widens by that
/// factor, so the samples average rather than alias. An n equal to the square's side with whole
/// offsets gives the source values exactly.
std::vector<float> resampleHeightmap(const Heightmap &map, int n);

/// The square a resampled grid spans, in source samples: its left and top edge (sample centres,
/// may be fractional) and its span from the first to the last sample along each axis.
struct ResampleSquare {
    double left = 0.0, top = 0.0, spanX = 0.0, spanY = 0.0;
};
/// The count × count part, from (firstColumn, firstRow), of width × height values resampled as
/// resampleHeightmap() does to samples × samples over the square, row 0 first. New sample k of
/// an axis stands at left + k × span / (samples − 1) whatever part is asked for, so a part has
/// the very values of the whole grid there (tiles agree bit for bit), and a position that is a
/// whole number gives that source value exactly.
std::vector<float> resampleWindow(const float *values, int width, int height, const ResampleSquare &square,
                                  int samples, int firstColumn, int firstRow, int count);
/// The same for a block of columnCount × rowCount values from (firstColumn, firstRow).
std::vector<float> resampleBlock(const float *values, int width, int height, const ResampleSquare &square, int samples,
                                 int firstColumn, int columnCount, int firstRow, int rowCount);

/// A heightmap as the final height map. The metres are mapped linearly into the machine's value
/// range, the lowest height of the 512 × 512 terrain to −1 and the highest to +1, so that the
/// colour gradients, the normal map and erosion see it as they see a generated map. The final
/// node's elevation range is set to those heights in whole metres (its controls take no more);
/// the terrain mesh and every file use the range as it is (metresLow … metresHigh), so that they
/// give back the file's metres.
/// When the heights do not reach 0 the terrain is moved vertically so that they do (the lowest
/// point at 0 above sea level, the highest at 0 below it), as the final node's range is
/// LOW ≤ 0 ≤ HIGH; the relief is kept.
struct ImportedTerrain {
    std::shared_ptr<const Heightmap> heights;
    QString path;
    double lowest = 0.0, highest = 0.0;   ///< metres of the file that −1 and +1 stand for
    int elevationLow = 0, elevationHigh = 0;   ///< the range in whole metres, for the final node's controls
    double metresLow = 0.0, metresHigh = 0.0;  ///< the range as it is: what the mesh and every file use
    int terrainSize = 0;                  ///< metres, whole
    double shift = 0.0;                   ///< metres added to the file's heights (0 when none)
};

/// The imported terrain of a heightmap; false (with the reason) when its heights do not fit the
/// final node's range (LOW −10000 … 0, HIGH 0 … 9000) or its size is not usable.
bool importedTerrain(std::shared_ptr<const Heightmap> heights, const QString &path, ImportedTerrain *out,
                     QString *error);

/// The imported heights as an n × n map in the machine's units and row order (map row y is mesh
/// row n − 1 − y). @throw std::bad_alloc
void importedHeightMap(const ImportedTerrain &terrain, int n, noise::utils::NoiseMap &map);

/// The noise machine's run with the imported heights as the final map: the map at run.size, its
/// grey picture "HFFnoisePreview.jpg" and its colour texture "TFFnoisePreview.jpg" (the final
/// node's left gradient and light over the heights), then erosion through the observer as the
/// machine asks for it. Pictures are staged and put in place together at the end; finalMap
/// changes only then. Throws as runNoiseMachine() does.
void runImportedHeightmap(const ImportedTerrain &terrain, const NoiseSettings &settings, const MachineRun &run,
                          const MachineFolders &folders, noise::utils::NoiseMap &finalMap,
                          noise::utils::ProgressReporter &reporter, MachineObserver &observer);

/// The file dialog's pattern of every heightmap the import reads.
QString heightmapFilePatterns();
/// Whether a file is read as a heightmap (by its extension) rather than as an OBJ mesh.
bool isHeightmapFile(const QString &path);

/// One line for the user: "NAME: 1024 × 1024 GTiff, 3000 m across, 412.0 … 1873.0 m, lowered
/// 412.0 m to stand on 0".
QString importSummary(const ImportedTerrain &terrain);

}   // namespace orovista
