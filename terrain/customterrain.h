#pragma once
// An imported terrain mesh (an OBJ file the user brings instead of a generated height field):
// the scene size it stands for, the viewport's far plane and the camera that first frames it,
// and the mesh in scene units. Plain arithmetic on the model; nothing here needs a GL context.
#include "library/glm.h"

namespace orovista {

/// The scale percentage an import uses: the user's answer when the dialog was accepted with a
/// value above 0, otherwise 100.
double customTerrainScale(bool accepted, double answer);

/// Largest terrain size an import gives: camera steps and the far plane multiply it.
inline constexpr int maximumCustomTerrainSize = 100000000;

/// The terrain size S of an imported mesh: the horizontal diagonal of its bounds (minX, minY,
/// minZ, maxX, maxY, maxZ) times scale / 100, truncated. Never below 1 (later steps divide by
/// it), never above maximumCustomTerrainSize; bounds that are not finite give 1.
int customTerrainSize(const float bounds[6], double scalePercent);

/// The viewport's far plane for a terrain of size S: 16 × S.
float customTerrainFarPlane(int terrainSize);

/// The camera that frames an imported terrain: on the z axis at 2 × S, at the mesh's middle
/// height (in scene units), looking down by 20 degrees.
struct CustomTerrainCamera {
    double x = 0.0, y = 0.0, z = 0.0;
    float yaw = 0.0f, pitch = 20.0f, roll = 0.0f;
};
CustomTerrainCamera customTerrainCamera(const float bounds[6], double scalePercent, int terrainSize);

/// Scales the model's vertices and bounds by scale / 100 about the origin, so that the model
/// lies where the viewport draws it (normals keep their direction under a uniform scale).
void scaleCustomTerrainModel(GLMmodel &model, double scalePercent);

}   // namespace orovista
