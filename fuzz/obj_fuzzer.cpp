// libFuzzer target: the OBJ reader must take any bytes, and a model it gives back must only hold
// indices inside its own arrays, before and after the facet and vertex normals are computed.
//
// The last byte of the input also picks the smoothing angle of glmVertexNormals (0 … 190.5
// degrees in steps of 0.75, with 254 and 255 standing for infinity and NaN), so the same bytes
// exercise the reader and the normals.
#include "library/glm.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

void fail(const char *what, unsigned triangle)
{
    std::fprintf(stderr, "obj_fuzzer: %s (triangle %u)\n", what, triangle);
    std::abort();
}

/// Every array has the size its count promises and every index of every triangle and group lies
/// inside the arrays. `normalsDone` also asks for the state glmVertexNormals leaves.
void check(const GLMmodel &m, bool normalsDone)
{
    if (m.vertices.size() != 3 * (std::size_t(m.numvertices) + 1))
        fail("vertex array size", 0);
    if (m.numnormals && m.normals.size() != 3 * (std::size_t(m.numnormals) + 1))
        fail("normal array size", 0);
    if (m.numtexcoords && m.texcoords.size() != 2 * (std::size_t(m.numtexcoords) + 1))
        fail("texture coordinate array size", 0);
    if (m.numfacetnorms && m.facetnorms.size() != 3 * (std::size_t(m.numfacetnorms) + 1))
        fail("facet normal array size", 0);
    if (m.triangles.size() != m.numtriangles)
        fail("triangle count", 0);
    for (unsigned i = 0; i < m.numtriangles; ++i) {
        const GLMtriangle &t = m.triangles[i];
        for (int j = 0; j < 3; ++j) {
            if (t.vindices[j] < 1 || t.vindices[j] > m.numvertices)
                fail("vertex index outside the vertices", i);
            if (t.nindices[j] > m.numnormals || (normalsDone && t.nindices[j] == 0))
                fail("normal index outside the normals", i);
            if (t.tindices[j] > m.numtexcoords)
                fail("texture coordinate index outside the texture coordinates", i);
        }
        if (t.findex > m.numfacetnorms || (normalsDone && t.findex == 0))
            fail("facet index outside the facet normals", i);
    }
    std::size_t grouped = 0;
    for (const GLMgroup &g : m.groups) {
        if (g.triangles.size() != g.numtriangles)
            fail("group triangle count", 0);
        for (unsigned i : g.triangles)
            if (i >= m.numtriangles)
                fail("group triangle outside the triangles", i);
        grouped += g.numtriangles;
    }
    if (grouped != m.numtriangles)
        fail("groups do not hold every triangle once", 0);
    if (normalsDone && m.vertexNormals.size() != 3 * std::size_t(m.numvertices))
        fail("vertex normal array size", 0);
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    GLMreadError error;
    std::unique_ptr<GLMmodel> model =
        glmReadOBJFromBytes(reinterpret_cast<const char *>(data), size, QStringLiteral("fuzz.obj"), &error);
    if (!model) {
        if (error.kind != GLMreadError::Malformed || error.message.isEmpty())
            fail("a refused read without a message", 0);
        return 0;
    }
    if (error.kind != GLMreadError::None)
        fail("a model together with an error", 0);
    check(*model, false);

    const std::uint8_t last = size ? data[size - 1] : 0;
    const float angle = last == 255   ? std::numeric_limits<float>::quiet_NaN()
                        : last == 254 ? std::numeric_limits<float>::infinity()
                                      : float(last) * 0.75f;
    glmFacetNormals(model.get());
    glmVertexNormals(model.get(), angle);
    check(*model, true);
    return 0;
}
