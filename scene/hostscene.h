#pragma once
// Building a terrain scene in the host: the terrain node from its OBJ file, the terrain's shader
// network, the textured sky dome, the cameras. These work on the host's scene through its SDK
// only and take everything else as plain values, so that the window's scene creation and the
// command line's scene file build the same nodes.
#include "populate/painteditem.h"
#include "scene/sceneassembly.h"
#include "sky/skymodel.h"

#include <QList>
#include <QString>

#include <functional>
#include <vector>

class DzBrickMaterial;
class DzCamera;
class DzDistantLight;
class DzFileIOSettings;
class DzNode;
class DzScene;

namespace orovista::scene {

/// Receives the lines of the run log.
using LogSink = std::function<void(const QString &)>;

/// The settings of every OBJ import the program makes: one unit a metre, no axis swap, groups,
/// texture coordinates and material references read, no material library, silent, "Scale" in
/// percent.
void fillObjImportSettings(DzFileIOSettings &settings, double scalePercent);

/// Reads an OBJ file with the host's importer "DzObjImporter" into a new node named and
/// labelled name, holding an object with the read shape. The node is not in any scene yet (the
/// caller owns it). Null, with the importer's reason in *error, when the file cannot be read.
DzNode *importObjNode(const QString &objPath, const QString &name, double scalePercent, QString *error = nullptr);

/// Builds the terrain's shader network into material: a simple surface root fed by a default
/// material brick whose diffuse colour is the colour texture (white), glossiness 0.95, specular
/// strength 0.25, lighting model 4, and a normal-map brick feeding a displacement brick (with
/// the normal map when look.normalMap is not empty). Image paths go to the host's image manager
/// as hostImagePath() gives them. Returns 0, or −1 after logging what was missing.
int buildTerrainShader(DzBrickMaterial *material, const TerrainLook &look, const QString &platformName,
                       const LogSink &log);

/// Puts a new brick material with the terrain shader in place of the terrain shape's first
/// material (or adds it when the shape has none) and names and labels it name + " Default"; its
/// property "color" is labelled "Diffuse Color". Returns buildTerrainShader()'s result; −1 also
/// when the node has no shape.
int dressTerrain(DzNode *terrain, const QString &name, const TerrainLook &look, const QString &platformName,
                 const LogSink &log);

/// The sky dome: the dome model read from domeObj (at scalePercent), in a node named and
/// labelled "skyDome" with scale control S × 10 / 100 and no shadow, its first material replaced
/// by the unlit "Sky Default" showing skyTexture. Logs "Sky Texture name: …". The node is not in
/// a scene yet; null with *error when the model cannot be read.
DzNode *makeSkyDome(const QString &domeObj, const QString &skyTexture, double terrainSize, double scalePercent,
                    const QString &platformName, const LogSink &log, QString *error = nullptr);

/// Adds the four corner cameras and then the main camera to scene (basic cameras of type 6); the
/// main camera's frame width is viewportWidth (kept as it is for 0: no view). Returns the main
/// camera.
DzCamera *addCameras(DzScene *scene, const QString &terrainName, double terrainSize, double elevationHigh,
                     const PreviewEye &eye, int viewportWidth);

/// Adds "NAME Sun", a distant light from where the sky's sun stands (its pitch and azimuth),
/// of the sun's colour. Returns it.
DzDistantLight *addSun(DzScene *scene, const QString &terrainName, const sky::SkyParameters &sky);

/// Removes the five cameras and the sun of a terrain named terrainName, when present.
void removeCameras(DzScene *scene, const QString &terrainName);

/// Every node of scene whose name is name.
QList<DzNode *> nodesNamed(const DzScene *scene, const QString &name);

/// Where a prop node stands: position in scene units (the host's centimetres are 100 of them),
/// rotations in whole degrees turned y first, then x, then z, axis scales as fractions.
struct PropPose {
    float x = 0, y = 0, z = 0;
    int xRot = 0, yRot = 0, zRot = 0;
    float scaleX = 1, scaleY = 1, scaleZ = 1;
};

/// The pose of a painted item (its axis scales are percentages).
PropPose poseOf(const PaintedItem &item);

/// Sets a prop node's position, rotations and scales.
void placeProp(DzNode *node, const PropPose &pose);

/// Gives each morph of the node's object the value random(0, percentage) / 100.
void randomiseMorphs(DzNode *node, int percentage);

/// Loads a prop file into the host's scene (dzScene) through its content manager and places it;
/// its parts come with it. Null, with the scene as it was, when nothing could be loaded.
DzNode *loadProp(const QString &file, const PropPose &pose, int morphPercentage);

/// A copy of source sharing its mesh, materials and morph deltas, added to scene under parent
/// (when given) and placed. Null when source has no mesh to share.
DzNode *duplicateProp(DzScene *scene, DzNode *source, DzNode *parent, const PropPose &pose, int morphPercentage);

/// How addProps() makes one item's node: load(i, item) loads its prop and places it (null when it
/// could not), duplicate(i, item, last) copies the node loaded or copied last for it and returns
/// the node to copy next. Empty ones use loadProp() and duplicateProp().
struct PropMakers {
    std::function<DzNode *(int, const PaintedItem &)> load;
    std::function<DzNode *(int, const PaintedItem &, DzNode *)> duplicate;
};

/// The painted items as prop nodes under terrain in the host's scene (dzScene): each file loaded
/// once and copied for the items after it that show the same model (scene::canDuplicate). Items
/// of the same file but another model slot load the file again. Returns how many could not be
/// loaded.
int addProps(DzNode *terrain, const std::vector<PaintedItem> &items, int morphPercentage, const LogSink &log,
             const PropMakers &makers = {});

}   // namespace orovista::scene
