#pragma once
#include "dzglobal.h"
#include <QString>

class DzScene;

/// Writes a scene as a glTF 2.0 file that other 3D programs open: every node with its
/// transform and parent, one mesh per facet mesh (shared by the nodes that share it), the
/// materials (a brick material's image and normal-map bricks become a PBR material with a
/// base-colour and a normal texture; a default material whose colour comes from its ambient
/// map and that has no diffuse light becomes an unlit material), morphs as morph targets with
/// the node's values as weights, and the cameras as perspective cameras.
///
/// Units: the host works in centimetres, glTF in metres, y up in both; the writer scales.
/// A name ending in ".glb" gives the binary container with buffers and images inside; any
/// other name gives ".gltf" JSON with one ".bin" buffer beside it and the images referred to
/// by relative path.
class DZCORE_API DzGltfExporter {
public:
    /// Writes the scene to path. On failure returns false, leaves no partial file under path
    /// (an existing file stays as it was) and puts the reason in *error when given.
    static bool writeScene(const DzScene *scene, const QString &path, QString *error = nullptr);
};
