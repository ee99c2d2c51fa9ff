#pragma once
// The terrain meshes built from the final height map: the full 512 × 512 mesh the viewport draws,
// picks and paints on, and the decimated 128 × 128 mesh it draws while the user zooms.
//
// Vertex (row r, column c) is stored at r·N + c in every per-vertex array. Rows run along +z,
// columns along +x, y is up; the mesh spans S × S scene units centred on the origin. Mesh row r
// samples the height map upside down (map row N − 1 − r) while the colour comes from the colour
// picture's row r.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace noise::utils {
class NoiseMap;
}

namespace orovista {

/// How height-map values become elevations in metres: the lowest value lies at the low elevation,
/// the highest at the high one (a flat map lies at the low one).
struct ElevationScale {
    float minimum = 0.0f;
    float scale = 0.0f;
    float low = 0.0f;
    float metres(float value) const { return (value - minimum) * scale + low; }
};
ElevationScale elevationScale(float minimum, float maximum, double low, double high);

struct TerrainArrays {
    int gridSize = 0;          ///< vertices along one side (N): 512 or 128
    int lastIndex = 0;         ///< N − 1
    float spacing = 0.0f;      ///< S / (N − 1): distance between neighbouring vertices
    float heightScale = 0.0f;  ///< (H − L) / (max − min), or 0 for a flat map
    ElevationScale elevation;  ///< how the map's values became the vertices' heights
    std::vector<float> vertices;       ///< 3·N²: x, y, z
    std::vector<float> normals;        ///< 3·N²: unit normals
    std::vector<float> colors;         ///< 3·N²: r, g, b in 0 … 1 from the colour picture
    std::vector<float> whiteColors;    ///< 3·N²: all 1.0 (used under mask and reference textures)
    std::vector<float> texCoords;      ///< 2·N²: u = c / (N − 1), v = 1 − r / (N − 1)
    std::vector<std::uint32_t> indices;   ///< 6·(N − 1)²: two triangles per grid cell
    int indexCount = 0;        ///< 6·(N − 1)²

    bool isEmpty() const { return gridSize == 0; }
    int vertexCount() const { return gridSize * gridSize; }
    int triangleCount() const { return indexCount / 3; }
};

/// Byte offsets of the arrays in the viewport's vertex buffer (whiteColors is not copied).

struct VertexBufferLayout {
    long long vertices = 0;    ///< 0
    long long normals = 0;     ///< 12·N²
    long long colors = 0;      ///< 24·N²
    long long texCoords = 0;   ///< 36·N²
    long long totalBytes = 0;  ///< 44·N²
};
VertexBufferLayout vertexBufferLayout(int gridSize);

/// Inputs of a mesh build.
struct TerrainSource {
    const noise::utils::NoiseMap *heightMap = nullptr;   ///< the final height map (512 × 512)
    int terrainSize = 0;       ///< S, scene units; must be above 0
    double elevationLow = 0;   ///< L, metres (an elevation model's need not be whole)
    double elevationHigh = 0;  ///< H
    QString colourPicturePath; ///< "TFFnoisePreview.jpg" in the maps folder
};

/// Builds the full 512 × 512 mesh. Logs "building terrain arrays\n", and
/// "TFFnoisePreview.jpg file not found!\n" when the colour picture is missing (the mesh is then
/// white). Height samples outside a map smaller than 512 × 512 read as the map's border value.
/// Returns an empty record (gridSize 0) when there is no height map or S is not above 0.
TerrainArrays buildTerrainArrays(const TerrainSource &source);

/// Rebuilds @a arrays in place: the buffers of the previous build are reused when their sizes fit
/// (no fresh pages to fault in), every element is overwritten. Otherwise as above.
void buildTerrainArrays(const TerrainSource &source, TerrainArrays &arrays);

/// Builds the decimated 128 × 128 mesh from every fourth sample (column 4c, row 4(127 − r)) and
/// every fourth colour pixel (4c, 4r); min, max and the height scale come from those samples only.
/// Logs "build decimated terrain arrays\n". Otherwise as buildTerrainArrays().
TerrainArrays buildDecimatedTerrainArrays(const TerrainSource &source);
void buildDecimatedTerrainArrays(const TerrainSource &source, TerrainArrays &arrays);

/// Recomputes every normal from the current vertices (after sculpting or moving items).
///
/// For r < N − 1 and c < N − 1: n = (p0 − p1) × (p2 − p1) normalised, with p0 the vertex,
/// p1 its right neighbour and p2 the one in the next row (a zero vector stays zero). The last
/// column copies the normal of the column before it, the last row the normal of the row before
/// it (so the far corner copies (N − 2, N − 2)); a copied zero vector becomes (0, 1, 0), so the
/// last row and column always hold unit vectors.
void recomputeTerrainNormals(TerrainArrays &arrays);

/// The painting brush range set up by the full build: the diameter slider's maximum is S, its
/// value S / 6 (integer division), and the label beside it reads "value/maximum".
struct BrushRange {
    int maximum = 0;
    int value = 0;
    QString label;
};
BrushRange brushRangeForTerrain(int terrainSize);

/// The temporary preview pictures of the maps folder, in deletion order.
const QStringList &temporaryPictureNames();

/// Deletes the temporary preview pictures from @a mapsFolder, and also
/// "NMapFFnoisePreviewThumb.jpg" when @a includeNormalMapThumb is set. Logs
/// "removing temp files...\n"; missing or undeletable files are skipped silently.
/// Returns how many pictures were deleted. The hidden temporaries that a writer killed
/// part-way left in the folder go too (files::removeStaleTemporaries()).
int removeTempFiles(const QString &mapsFolder, bool includeNormalMapThumb);

}   // namespace orovista
