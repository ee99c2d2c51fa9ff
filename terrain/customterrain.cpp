#include "terrain/customterrain.h"

#include <cmath>

namespace orovista {

double customTerrainScale(bool accepted, double answer)
{
    return accepted && std::isfinite(answer) && answer > 0.0 ? answer : 100.0;
}

int customTerrainSize(const float bounds[6], double scalePercent)
{
    const double dx = double(bounds[3]) - double(bounds[0]);
    const double dz = double(bounds[5]) - double(bounds[2]);
    const double size = std::trunc(std::sqrt(dx * dx + dz * dz) * scalePercent / 100.0);
    if (!std::isfinite(size) || size < 1.0)
        return 1;
    if (size > double(maximumCustomTerrainSize))
        return maximumCustomTerrainSize;
    return int(size);
}

float customTerrainFarPlane(int terrainSize) { return 16.0f * float(terrainSize); }

CustomTerrainCamera customTerrainCamera(const float bounds[6], double scalePercent, int terrainSize)
{
    CustomTerrainCamera c;
    const double middle = (double(bounds[1]) + double(bounds[4])) * 0.5 * scalePercent / 100.0;
    c.y = std::isfinite(middle) ? middle : 0.0;
    c.z = 2.0 * terrainSize;
    return c;
}

void scaleCustomTerrainModel(GLMmodel &model, double scalePercent)
{
    const float k = float(scalePercent / 100.0);
    // Entry 0 is unused; scaling it too keeps the loop simple.
    for (float &v : model.vertices)
        v *= k;
    if (model.numvertices > 0)
        for (float &b : model.bounds)
            b *= k;
}

}   // namespace orovista
