#include "scene/engineexport.h"

#include <QJsonArray>

#include <algorithm>

namespace orovista::engine {

std::optional<Engine> engineNamed(const QString &name)
{
    if (name.compare(QLatin1String("unity"), Qt::CaseInsensitive) == 0)
        return Engine::Unity;
    if (name.compare(QLatin1String("unreal"), Qt::CaseInsensitive) == 0)
        return Engine::Unreal;
    return std::nullopt;
}

QString engineName(Engine engine) { return engine == Engine::Unity ? QStringLiteral("Unity") : QStringLiteral("Unreal"); }

const QList<int> &engineSizes(Engine engine)
{
    static const QList<int> unity = {33, 65, 129, 257, 513, 1025, 2049, 4097};
    static const QList<int> unreal = {127, 253, 505, 1009, 2017, 4033, 8129};
    return engine == Engine::Unity ? unity : unreal;
}

bool isEngineSize(Engine engine, int samples) { return engineSizes(engine).contains(samples); }

int defaultEngineSize(Engine engine, int textureSize)
{
    const int usual = engine == Engine::Unity ? 1025 : 1009;
    if (textureSize <= usual)
        return usual;
    for (int size : engineSizes(engine))
        if (size >= textureSize)
            return size;
    return engineSizes(engine).constLast();
}

ElevationGrid flippedRows(const ElevationGrid &grid)
{
    ElevationGrid flipped = grid;
    const std::size_t n = std::size_t(grid.size);
    for (std::size_t r = 0; r < n; ++r)
        std::copy_n(grid.metres.begin() + std::ptrdiff_t((n - 1 - r) * n), n, flipped.metres.begin() + std::ptrdiff_t(r * n));
    return flipped;
}

ImportValues importValues(Engine engine, const ElevationGrid &grid, double terrainSize, bool rowsFlipped)
{
    return importValues(engine, grid, Ground::centred(terrainSize), rowsFlipped);
}

ImportValues importValues(Engine engine, const ElevationGrid &grid, const Ground &ground, bool rowsFlipped)
{
    ImportValues v;
    v.samples = grid.size;
    const double range = double(grid.highest) - double(grid.lowest);
    if (engine == Engine::Unity) {
        v.terrainWidth = v.terrainLength = ground.extent;
        v.terrainHeight = range;
        // Unity's terrain grows from its corner, and its Z is our −z: the corner that goes to
        // (x, lowest, Z) is our −x, +z one (for a whole terrain (−S/2, lowest, −S/2)).
        v.positionX = ground.cornerX;
        v.positionZ = -(ground.cornerZ + ground.extent);
        v.positionY = grid.lowest + grid.base;
        v.flipVertically = !rowsFlipped;
    } else {
        const int quads = std::max(1, grid.size - 1);
        v.scaleX = v.scaleY = ground.extent * 100.0 / quads;
        v.scaleZ = range * 100.0 / 512.0;
        // Unreal's X is our x and its Y our z: the landscape's first sample is our −x, −z corner.
        v.locationX = ground.cornerX * 100.0;
        v.locationY = ground.cornerZ * 100.0;
        v.locationZ = ((double(grid.lowest) + double(grid.highest)) / 2.0 + grid.base) * 100.0;
    }
    return v;
}

namespace {

QString rowOrder(bool rowsFlipped)
{
    return rowsFlipped ? QStringLiteral("row 0 is the terrain's +z edge (rows flipped), column 0 its -x edge")
                       : QStringLiteral("row 0 is the terrain's -z edge, column 0 its -x edge");
}

}   // namespace

QJsonObject importSidecar(Engine engine, const ElevationGrid &grid, double terrainSize, bool rowsFlipped,
                          const QString &file)
{
    return importSidecar(engine, grid, Ground::centred(terrainSize), rowsFlipped, file);
}

QJsonObject importSidecar(Engine engine, const ElevationGrid &grid, const Ground &ground, bool rowsFlipped,
                          const QString &file)
{
    const ImportValues v = importValues(engine, grid, ground, rowsFlipped);
    QJsonObject o;
    o[QStringLiteral("engine")] = engineName(engine);
    o[QStringLiteral("file")] = file;
    o[QStringLiteral("size")] = grid.size;
    o[QStringLiteral("format")] = engine == Engine::Unity ? QStringLiteral("16-bit unsigned RAW, little-endian (Windows byte order), no header")
                                                          : QStringLiteral("16-bit grey PNG");
    o[QStringLiteral("rowOrder")] = rowOrder(rowsFlipped);
    o[QStringLiteral("metresAt0")] = double(grid.lowest);
    o[QStringLiteral("metresAt65535")] = double(grid.highest);
    o[QStringLiteral("terrainSize")] = ground.extent;
    o[QStringLiteral("surfaceSamples")] = grid.surfaceSamples > 0 ? grid.surfaceSamples : grid.size;
    o[QStringLiteral("deviation")] = grid.deviation;
    o[QStringLiteral("baseHeight")] = grid.base;
    QJsonObject import;
    if (engine == Engine::Unity) {
        import[QStringLiteral("Depth")] = QStringLiteral("Bit 16");
        import[QStringLiteral("Resolution")] = grid.size;
        import[QStringLiteral("Byte Order")] = QStringLiteral("Windows");
        import[QStringLiteral("Flip Vertically")] = v.flipVertically;
        import[QStringLiteral("Terrain Width")] = v.terrainWidth;
        import[QStringLiteral("Terrain Length")] = v.terrainLength;
        import[QStringLiteral("Terrain Height")] = v.terrainHeight;
        import[QStringLiteral("Position")] = QJsonArray{v.positionX, v.positionY, v.positionZ};
    } else {
        import[QStringLiteral("Scale")] = QJsonArray{v.scaleX, v.scaleY, v.scaleZ};
        import[QStringLiteral("Location")] = QJsonArray{v.locationX, v.locationY, v.locationZ};
    }
    o[QStringLiteral("import")] = import;
    return o;
}

QString importInstructions(Engine engine, const ElevationGrid &grid, double terrainSize, bool rowsFlipped,
                           const QString &file)
{
    const ImportValues v = importValues(engine, grid, terrainSize, rowsFlipped);
    auto n = [](double x) { return QString::number(x, 'g', 10); };
    QStringList lines;
    lines << QStringLiteral("%1 heightmap: %2 (%3 × %3 samples)").arg(engineName(engine), file).arg(grid.size);
    if (engine == Engine::Unity) {
        lines << QStringLiteral("  Import Raw: Depth Bit 16, Resolution %1, Byte Order Windows, Flip Vertically %2")
                     .arg(grid.size)
                     .arg(v.flipVertically ? QStringLiteral("on") : QStringLiteral("off"));
        lines << QStringLiteral("  Terrain Width %1, Terrain Length %2, Terrain Height %3 (metres)")
                     .arg(n(v.terrainWidth), n(v.terrainLength), n(v.terrainHeight));
        lines << QStringLiteral("  Terrain position (%1, %2, %3)").arg(n(v.positionX), n(v.positionY), n(v.positionZ));
    } else {
        lines << QStringLiteral("  Landscape Scale X %1, Y %2, Z %3").arg(n(v.scaleX), n(v.scaleY), n(v.scaleZ));
        lines << QStringLiteral("  Landscape Location X %1, Y %2, Z %3 (centimetres)")
                     .arg(n(v.locationX), n(v.locationY), n(v.locationZ));
    }
    lines << QStringLiteral("  ") + rowOrder(rowsFlipped);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}   // namespace orovista::engine
