#pragma once
// Wavefront OBJ models: the reader, facet normals and smoothed vertex normals.
//
// A model is read in two sequential passes over the file's bytes: the first counts vertices,
// normals, texture coordinates and triangles (per group), the second fills the arrays. Faces
// with more than three corners become fans around their first corner. Every index a face uses
// is checked against the entries read so far, so a bad file is refused with a message that
// names the file, the line and the index; it never yields a model that reads out of bounds.
//
// Materials are not read: the name of an `mtllib` line is kept, `usemtl` lines are looked up
// in the (empty) material table and draw with material 0, so models draw in the caller's
// colour. Drawing is in glmdraw.h; nothing here needs a GL context.
//
// Statements of the format that the reader has no use for are skipped: parameter-space
// vertices (`vp`), points and lines (`p`, `l`), smoothing and merging groups (`s`, `mg`),
// object names (`o`), texture maps (`usemap`, `maplib`), free-form curves and surfaces with
// their attributes (`cstype`, `deg`, `curv`, `parm`, `surf`, `end`, …) and display attributes.
// A line ending in a backslash continues on the next one (not so for comments). A word that
// starts with `v` but is none of `v`, `vt`, `vn`, `vp` is refused, as are numbers that do not
// read as numbers.
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

/// Render mode flags of glmDraw.
enum : unsigned {
    GLM_NONE = 0,
    GLM_FLAT = 1,        ///< facet normals
    GLM_SMOOTH = 2,      ///< per-corner normals
    GLM_TEXTURE = 4,     ///< texture coordinates
    GLM_COLOR = 8,       ///< colour from the material's diffuse
    GLM_MATERIAL = 16,   ///< full materials
};

struct GLMtriangle {
    unsigned vindices[3] = {0, 0, 0};   ///< 1-based into vertices
    unsigned nindices[3] = {0, 0, 0};   ///< 1-based into normals, 0 = none
    unsigned tindices[3] = {0, 0, 0};   ///< 1-based into texcoords, 0 = none
    unsigned findex = 0;                ///< 1-based into facetnorms, 0 = none yet
};

struct GLMgroup {
    std::string name;
    unsigned numtriangles = 0;
    std::vector<unsigned> triangles;   ///< 0-based indices into the model's triangles
    unsigned material = 0;
};

struct GLMmaterial {
    std::string name;
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float emmissive[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 65.0f;
};

/// One loaded OBJ file. The 1-based arrays keep an unused entry 0, so that entry k of the file
/// sits at 3·k (2·k for texture coordinates).
struct GLMmodel {
    std::string pathname;
    std::string mtllibname;

    unsigned numvertices = 0;
    std::vector<float> vertices;     ///< 3 · (numvertices + 1)
    unsigned numnormals = 0;
    std::vector<float> normals;      ///< 3 · (numnormals + 1)
    unsigned numtexcoords = 0;
    std::vector<float> texcoords;    ///< 2 · (numtexcoords + 1)
    unsigned numfacetnorms = 0;
    std::vector<float> facetnorms;   ///< 3 · (numfacetnorms + 1)
    unsigned numtriangles = 0;
    std::vector<GLMtriangle> triangles;
    unsigned nummaterials = 0;
    std::vector<GLMmaterial> materials;
    /// Groups in list order: a group met for the first time is put at the front, as the head of
    /// a linked list would be. "default" exists from the start.
    std::vector<GLMgroup> groups;
    unsigned numgroups() const { return unsigned(groups.size()); }
    float position[3] = {0, 0, 0};
    /// One smoothed unit normal per vertex, vertex k at 3·(k − 1); filled by glmVertexNormals.
    std::vector<float> vertexNormals;

    /// minX, minY, minZ, maxX, maxY, maxZ over vertices 1 .. numvertices. Without vertices the
    /// running start values stay (±2147483648).
    float bounds[6] = {2147483648.0f, 2147483648.0f, 2147483648.0f,
                       -2147483648.0f, -2147483648.0f, -2147483648.0f};
};

/// Why a read gave no model.
struct GLMreadError {
    enum Kind { None, CannotOpen, Malformed, Stopped } kind = None;
    QString message;   ///< names the file (and the line for malformed files); "stopped" when stopped
};

/// Called now and then while a file is read (between chunks of a file that cannot be mapped,
/// and every few thousand lines of each pass), from the reading thread, with the fraction done
/// so far (0 … 1; 0 while the bytes of a pipe arrive, whose length is not known). Returning
/// false stops the read, which then gives no model and the error kind Stopped with the message
/// "stopped". Empty: the read runs to its end.
using GLMkeepGoing = std::function<bool(double fraction)>;

/// Reads an OBJ file. Returns null when the file cannot be opened or is malformed, or when
/// `keepGoing` stopped it; `error` (when given) says which and why. Warnings of the kind that do
/// not stop the read (unknown materials) go to the standard output.
std::unique_ptr<GLMmodel> glmReadOBJ(const QString &filename, GLMreadError *error = nullptr,
                                     const GLMkeepGoing &keepGoing = {});
/// The same over bytes already in memory (`filename` only names them in messages).
std::unique_ptr<GLMmodel> glmReadOBJFromBytes(const char *data, std::size_t size, const QString &filename,
                                              GLMreadError *error = nullptr, const GLMkeepGoing &keepGoing = {});

/// One unit normal per triangle: (p1 − p0) × (p2 − p0), normalised; a degenerate triangle gets
/// the zero vector. Sets each triangle's findex.
void glmFacetNormals(GLMmodel *model);

/// Smoothed vertex normals. For each vertex the reference facet is that of the last triangle
/// (in file order) using it; the facet normals within `angle` degrees of the reference (dot
/// product above cos(angle)) are summed and normalised into the vertex's normal. A corner whose
/// triangle lies outside the angle gets its triangle's facet normal. Replaces the model's
/// normals and every corner's nindices; needs glmFacetNormals first.
void glmVertexNormals(GLMmodel *model, float angle);

/// Looks a material up by name; writes the can't-find warning and answers 0 when there is none.
unsigned glmFindMaterial(GLMmodel *model, const char *name);

/// Frees a model (the reader's models are owned by unique_ptr; this is for symmetry).
inline void glmDelete(std::unique_ptr<GLMmodel> &model) { model.reset(); }
