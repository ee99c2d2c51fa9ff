#pragma once
// What a created scene is made of, independent of any host: the files of a terrain in the maps
// folder, where the cameras stand, how big the sky dome is, what the terrain's material holds
// and how copies of a prop are named. Both the window's scene creation and the command line's
// scene file are assembled from these figures, so the two give the same scene.
//
// Units: the host scene is in centimetres (y up); the preview and the files are in scene units
// (metres). Rotations in degrees, applied about x first, then y, then z.
#include <QString>

#include <array>

namespace orovista::scene {

/// The files a terrain named name leaves in the maps folder.
struct SceneFiles {
    QString obj;             ///< name + ".obj": the terrain mesh
    QString colourTexture;   ///< name + ".jpg"
    QString normalMap;       ///< "NormalMap_" + name + ".jpg"
    QString skyTexture;      ///< name + "_skyDome.jpg"
};
SceneFiles sceneFiles(const QString &mapsFolder, const QString &name);

/// A path as the host's image manager takes it: "\" separated on Windows, else as it is.
QString hostImagePath(const QString &path, const QString &platformName);

/// A camera of the scene: its node name, position (centimetres), rotation and vertical field of
/// view (degrees).
struct CameraPlacement {
    QString name;
    std::array<float, 3> position{};
    std::array<float, 3> rotation{};
    float fieldOfView = 30.0f;
};

/// The four corner cameras " NW Camera", " NE Camera", " SE Camera" and " SW Camera", in that
/// order: 1.75 half terrain sizes out on the diagonals (d = S × 175 × 0.5 cm), at h = H × 900 cm,
/// looking 25° down towards the middle, field of view 30.
std::array<CameraPlacement, 4> cornerCameras(const QString &terrainName, double terrainSize, double elevationHigh);

/// Where the preview's eye is: the modelview of the preview translates by −(x, y, z) after
/// rotating the world about x by pitch and y by yaw (the preview never rolls), so the eye
/// stands at R⁻¹ · (x, y, z) in scene units.
struct PreviewEye {
    double x = 0.0, y = 0.0, z = 0.0;
    float yaw = 0.0f, pitch = 0.0f;
    float fieldOfView = 45.0f;
};

/// The main camera " Main Camera": rotation (−pitch, −yaw, 0) and the preview's field of
/// view, standing where the preview's eye stands (in centimetres), so that it shows what the
/// preview showed.
CameraPlacement mainCamera(const QString &terrainName, const PreviewEye &eye);

/// The preview's eye when nobody moved it: twice the terrain size in front of the middle,
/// looking 20° down.
PreviewEye defaultPreviewEye(double terrainSize);

/// Scale of the sky dome node: the dome model is made for a terrain of 10 units, so S × 10 %.
inline float skyDomeScale(double terrainSize) { return float(terrainSize * 10.0 / 100.0); }

/// The terrain material: the colour texture on the diffuse colour, glossiness 0.95, specular
/// strength 0.25, lighting model 4, and the normal map when there is one (empty otherwise).
struct TerrainLook {
    QString colourTexture;
    QString normalMap;
    float glossiness = 0.95f;
    float specularStrength = 0.25f;
    int lightingModel = 4;
};

/// The name and label of one more copy of a node labelled label: base = the label up to its
/// last "_", n = the number after it + 1; label base_n, name base__n. A label without "_", or
/// whose tail is not a number, counts as copy 1 of itself: the copy is label_2 (name label__2).
struct CopyName {
    QString label;
    QString name;
};
CopyName copyName(const QString &sourceLabel);

/// A prop item can reuse the previous item's node (duplicate it) instead of loading its file
/// again when it shows the same model and the node loaded last has no child nodes.
inline bool canDuplicate(int modelSlot, int previousModelSlot, bool lastLoadedHasChildren)
{
    return modelSlot == previousModelSlot && !lastLoadedHasChildren;
}

}   // namespace orovista::scene
