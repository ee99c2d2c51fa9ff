#pragma once
// The terrain as a Wavefront OBJ file: the form in which the terrain reaches the host's importer and
// other 3D programs. Vertices row by row ("v x y z"), then texture coordinates in the same order
// ("vt u v", u = c / (N − 1), v = 1 − r / (N − 1)), then one quadrilateral per grid cell
// ("f a/a b/b d/d e/e"). Numbers in the shortest general form with 6 significant digits; no
// normals, groups or materials.
#include "noise/outputfiles.h"

#include <QString>

namespace orovista {

struct TerrainArrays;

/// The OBJ text of a mesh's vertices and grid, appended to out.
void appendTerrainObj(const TerrainArrays &mesh, std::string &out);

/// What other 3D programs like to find in a terrain OBJ beyond the plain form: the mesh's
/// normals ("vn" lines after the texture coordinates, faces "f a/a/a …") and a material (a
/// "mtllib" line first and a "usemtl" line before the faces). The default adds nothing.
struct ObjExtras {
    bool normals = false;
    double heightOffset = 0.0;   ///< metres added to every height (an elevation model's datum)
    QString materialLibrary;   ///< file name of the .mtl beside the OBJ
    QString materialName;
};

/// A name as one word of an OBJ or MTL line ("mtllib", "usemtl", "newmtl"): blanks become "_".
QString objLineName(const QString &name);

/// Why text cannot go into an OBJ or MTL line as a name: a control character (a line break would
/// start a line of its own) or "#" (the rest of the line would be a comment). Empty when it can.
QString objLineProblem(const QString &text);

/// Writes the mesh to path; an existing file is replaced only once the new one is complete (or
/// stages it in batch, which puts it in place). Returns false with a message giving the system's
/// reason in *error when the file cannot be written, or the objLineProblem() of a material name.
bool writeTerrainObj(const TerrainArrays &mesh, const QString &path, QString *error = nullptr,
                     files::Batch *batch = nullptr, const ObjExtras &extras = {});

/// A material library with one material: white, unlit by specular light, the colour texture as
/// "map_Kd" and the normal map as "norm" and "map_Bump" (each left out when empty; file names
/// relative to the library). Names with an objLineProblem() are refused, as in writeTerrainObj().
bool writeTerrainMtl(const QString &path, const QString &materialName, const QString &colourTexture,
                     const QString &normalMap, QString *error = nullptr, files::Batch *batch = nullptr);

}   // namespace orovista
