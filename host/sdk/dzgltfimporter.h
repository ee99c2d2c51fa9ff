#pragma once
#include "dzglobal.h"
#include <QByteArray>
#include <QString>

class DzImageMgr;
class DzScene;

/// Where DzGltfImporter puts what it reads.
struct DzGltfImportOptions {
    /// Where textures are registered; null: dzApp's image manager.
    DzImageMgr *images = nullptr;
    /// Where pictures held inside the file are written; empty: a new folder in this process's
    /// temporary folder (removed when the process ends).
    QString imageFolder;
};

/// Reads a glTF 2.0 scene (".gltf" with its files beside it, or ".glb") into the host's scene:
/// the counterpart of DzGltfExporter, made so that a scene the studio saved comes back as it
/// was. The whole file is read and turned into new nodes first; only when that succeeds do the
/// new nodes replace the scene's, so a file that cannot be read leaves the scene untouched.
///
/// What comes back:
/// - Nodes of the file's default scene (its first when none is named; every root node when the
///   file has no scene), in file order, with their hierarchy. Name from extras "dzName" (the
///   glTF name when there is none), label = the glTF name, hidden when extras "visible" is
///   false. TRS or matrix transforms become position (centimetres), rotation (degrees, XYZ
///   order) and scale controls giving the same local transform; a sheared matrix keeps its
///   nearest rotation and scale.
/// - Meshes: triangles (two that split a quad the way the writer does become the quad again),
///   POSITION, NORMAL and TEXCOORD_0 (v flipped back); one material group per primitive. A glTF
///   mesh, and every mesh drawing the same accessors, is one shared DzFacetMesh.
/// - Materials: KHR_materials_unlit gives a material lit by its ambient colour alone (the
///   writer's sky material); a normal texture gives a brick material (image brick on the
///   diffuse colour, normal-map brick); anything else a default material (metallic when
///   metallicFactor ≥ 0.5, glossiness 1 − roughness). Base colour factors are linear in glTF
///   and sRGB here.
/// - Textures: an image file beside a ".gltf" is used where it lies; an image inside the file
///   (".glb", or a data: URI) is written, under the image's name, into a folder of this
///   process's temporary files (or options.imageFolder). Only JPEG and PNG are taken.
/// - Cameras: perspective cameras as DzBasicCamera with the vertical field of view.
/// - Lights: KHR_lights_punctual directional lights as DzDistantLight; the intensity in lux is
///   read back with the writer's 2049 lux for 100 %.
/// - The sky: the writer leaves the sky dome out and names its picture in the scene's extras
///   ("environment", an equirectangular picture beside the file). When that picture is there,
///   a new dome (a sphere seen from inside, its radius five times the width of the scene's meshes,
///   as the scene builder sizes it) is made with it; the dome's own size and place are not in
///   the file and are guessed that way.
///
/// Limits: skins, animations, morph targets, other scenes, point and spot lights, orthographic
/// cameras, extra uv sets, vertex colours, non-triangle primitives, sparse accessors,
/// emissive, occlusion and metal/roughness textures and extensions other than the two above
/// are skipped and listed in *skipped. A file that requires an extension not read here is
/// refused, as is anything malformed: out-of-range references, accessors beyond their
/// buffers, non-finite numbers, a node with two parents or a cycle.
///
/// Files: only files in the scene's folder (or below it) are opened: buffer and image URIs
/// with a scheme (http:, file:, …), absolute paths and ".." are refused, and a name reaching
/// outside the folder through a link is refused too. data: URIs are read.
class DZCORE_API DzGltfImporter {
public:
    using Options = DzGltfImportOptions;

    /// Replaces the nodes of scene with those of the glTF file at path. On failure returns
    /// false, leaves the scene as it was and puts the one-line reason in *error. On success
    /// *skipped gets one line listing what was left out ("" when nothing was).
    static bool readScene(const QString &path, DzScene *scene, QString *error = nullptr,
                          QString *skipped = nullptr, const Options &options = Options());
    /// The same from the bytes of a file whose folder is folder (for buffers and images beside
    /// it); a ".glb" is recognised by its content.
    static bool readScene(const QByteArray &bytes, const QString &folder, DzScene *scene,
                          QString *error = nullptr, QString *skipped = nullptr,
                          const Options &options = Options());
};
