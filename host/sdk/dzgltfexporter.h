#pragma once
#include "dzglobal.h"
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

class DzScene;

/// Where the files of a scene go when the caller writes them together with other files of one
/// job (staged, and put in place by the caller), and where the files the scene refers to can be
/// read until then.
struct DzGltfFileSink {
    /// Where the file that the scene names path is to be read now (path itself when it is in
    /// place); null: path itself.
    std::function<QString(const QString &path)> source;
    /// Writes the parts, one after another, as the new content of path. Returns an empty string,
    /// or the one-line reason it failed (naming the file).
    std::function<QString(const QString &path, const QList<QByteArrayView> &parts)> write;
};

/// Writes a scene as a glTF 2.0 file that other 3D programs open: every node with its
/// transform and parent, one mesh per facet mesh (shared by the nodes that share it), the
/// materials (a brick material's image and normal-map bricks become a PBR material with a
/// base-colour and a normal texture; a default material whose colour comes from its ambient
/// map and that has no diffuse light becomes an unlit material), morphs as morph targets with
/// the node's values as weights, and the cameras as perspective cameras.
///
/// Units: the host works in centimetres, glTF in metres, y up in both; the writer scales
/// positions, translations and morph offsets by 0.01.
/// A name ending in ".glb" (in any case) gives the binary container with buffers and images
/// inside; any other name gives ".gltf" JSON with one buffer file beside it (the file's base
/// name + ".bin") and the images referred to by relative, percent-encoded path.
///
/// What the file holds:
/// - Nodes: glTF name = the node's label (its name when it has no label), extras
///   {"dzName": name} (and "visible": false for a hidden node); translation, rotation
///   (a quaternion of the three rotations in the node's rotation order) and scale (general
///   × axis), the same transform as DzNode::getLocalTransform(). Nodes without a parent in
///   the scene are the roots of the file's one scene (an empty scene writes no scene).
/// - Meshes: quads split in two triangles, one glTF vertex per distinct vertex, uv and normal
///   of a corner; smooth normals where the mesh has none; TEXCOORD_0 with v flipped (glTF's v
///   runs down the image); one primitive per material group. A textured material on a mesh
///   without uvs is written a second time without its textures for that mesh.
/// - Textures: one image per file; only JPEG and PNG files (recognised by content) can be
///   written. A texture file that is missing, unreadable or of another format is left out of
///   its material with a warning on the log, and the scene is written without it.
/// - Cameras: perspective, yfov = the vertical field of view, znear 1 m, zfar 100 km.
class DZCORE_API DzGltfExporter {
public:
    /// Writes the scene to path. On failure returns false, leaves no partial file under path
    /// (an existing file, and for ".gltf" its ".bin", stays as it was) and puts the reason in
    /// *error when given. Fails for: no scene, no path, a folder that does not exist or cannot
    /// be written, a ".gltf" whose buffer file would take its own name, a mesh with non-finite
    /// coordinates or texture coordinates, a mesh too large for 32-bit indices, a ".glb"
    /// beyond 4 GiB.
    static bool writeScene(const DzScene *scene, const QString &path, QString *error = nullptr);
    /// The same file (or files: a ".gltf" and its ".bin"), handed to sink.write() instead of put
    /// in place here; the textures are read through sink.source() but named in the scene by
    /// their own names (relative to the scene's folder). Fails as above, or with the reason
    /// sink.write() gives.
    static bool writeScene(const DzScene *scene, const QString &path, const DzGltfFileSink &sink,
                           QString *error = nullptr);
};
