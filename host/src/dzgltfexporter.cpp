#include "dzgltfexporter.h"
#include "dzcamera.h"
#include "dzlight.h"
#include "dzimagemgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QUrl>
#include <QtMath>
#include <QtDebug>
#include <QtEndian>

#include <tiny_gltf.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <limits>
#include <map>
#include <tuple>
#include <vector>

namespace {

// Host lengths are centimetres, glTF lengths metres.
constexpr double kMetresPerUnit = 0.01;
// Clip planes of the exported cameras, in metres: terrains span a few kilometres and the
// cameras sit a few metres above the ground at the closest.
constexpr double kCameraNear = 1.0;
constexpr double kCameraFar = 100000.0;
constexpr uint32_t kNoIndex = std::numeric_limits<uint32_t>::max();

std::string utf8(const QString &s) { return s.toStdString(); }

QString displayName(const DzElement *e)
{
    return e->getLabel().isEmpty() ? e->getName() : e->getLabel();
}

tinygltf::Value nameExtras(const QString &name, bool hidden = false)
{
    tinygltf::Value::Object o;
    o["dzName"] = tinygltf::Value(utf8(name));
    if (hidden)
        o["visible"] = tinygltf::Value(false);
    return tinygltf::Value(std::move(o));
}

// glTF gives a directional light's intensity in lux. The host's 100 % is a clear day's sun as a
// renderer shows it well without exposure settings: 3 W/m² (Blender's sun strength 3), which at
// 683 lm/W, the importers' conversion, is 2049 lux.
constexpr double kLuxAtFullIntensity = 3.0 * 683.0;

double srgbToLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// glTF colour factors are linear; host colours are sRGB.
std::vector<double> linearFactor(const QColor &c, double scale = 1.0)
{
    auto ch = [scale](double v) { return std::clamp(srgbToLinear(v) * scale, 0.0, 1.0); };
    return {ch(c.redF()), ch(c.greenF()), ch(c.blueF()), 1.0};
}

// Roughness from the host's glossiness and specular strength (0 … 1 each), kept to the float
// precision they came with. The host's glossiness sets how tight a highlight is and its specular
// strength how bright: a glossy surface with a faint highlight (ground: glossiness 0.95, strength
// 0.25) looks matte, not polished. PBR has one value for both, so the glossiness counts as far as
// the highlight shows: roughness = 1 − glossiness × specular strength.
double roughnessOf(float glossiness, float specularStrength)
{
    const double shine = std::clamp(double(glossiness), 0.0, 1.0) * std::clamp(double(specularStrength), 0.0, 1.0);
    return std::round((1.0 - shine) * 1e6) / 1e6;
}

// "image/jpeg" or "image/png" from the first bytes of a file; empty for anything else.
std::string mimeOfHeader(const QByteArray &head)
{
    if (head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 && uchar(head[2]) == 0xFF)
        return "image/jpeg";
    static const char png[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (head.size() >= 8 && std::memcmp(head.constData(), png, 8) == 0)
        return "image/png";
    return {};
}

bool renameFile(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

Vec3d cross(const Vec3d &a, const Vec3d &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3d sub(const DzVec3 &a, const DzVec3 &b) { return {double(a.m_x) - b.m_x, double(a.m_y) - b.m_y, double(a.m_z) - b.m_z}; }

// Unit vector of v, or fallback when v has no usable direction.
Vec3d normalized(const Vec3d &v, const Vec3d &fallback)
{
    const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(len > 1e-30) || !std::isfinite(len))
        return fallback;
    return {v.x / len, v.y / len, v.z / len};
}

// The accessors made for one facet mesh, shared by every glTF mesh that shows it.
struct Geometry {
    bool empty = true;   ///< no facets: nothing to draw
    int position = -1, normal = -1, texcoord = -1;
    int tangent = -1;   ///< TANGENT (from the uvs) for normal-mapped materials; -1 without uvs
    struct Group {
        int materialGroup = 0;
        int indices = -1;
    };
    std::vector<Group> groups;
    std::vector<uint32_t> sourceVertex;   ///< host vertex of each glTF vertex (for morphs)
};

class Writer {
public:
    /// source: where a texture file is read (the file itself when null).
    Writer(bool binary, const QString &outDir, std::function<QString(const QString &)> source = {})
        : m_binary(binary), m_outDir(outDir), m_source(std::move(source))
    {
    }

    bool build(const DzScene *scene);
    tinygltf::Model &model() { return m_model; }
    /// A file written beside the scene: where its bytes are read, and its plain name there.
    struct Copy {
        QString from, name;
    };
    /// The textures a ".gltf" refers to that are not beside it under their plain names yet, and
    /// the sky dome's picture (see environmentName()).
    const std::vector<Copy> &copies() const { return m_copies; }
    /// The name the sky dome's picture takes beside a scene whose file is called baseName.
    static QString environmentName(const QString &baseName, const QString &picture)
    {
        return plainName(baseName + QStringLiteral("_sky.") + QFileInfo(picture).suffix().toLower());
    }
    void setBaseName(const QString &baseName) { m_baseName = baseName; }

    /// A file name every importer reads as it is in a URI: letters, digits, ".", "-" and "_";
    /// anything else becomes "_".
    static QString plainName(const QString &name)
    {
        QString plain = name;
        for (QChar &c : plain)
            if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('-'))
                c = QLatin1Char('_');
        return plain;
    }
    std::vector<unsigned char> &bin() { return m_bin; }
    QString error() const { return m_error; }

private:
    bool fail(const QString &what)
    {
        if (m_error.isEmpty())
            m_error = what;
        return false;
    }

    int addView(const void *data, size_t bytes, int target);
    int addAccessor(int view, int componentType, size_t count, int type,
                    std::vector<double> min = {}, std::vector<double> max = {});
    int addFloat3Accessor(const std::vector<float> &xyz, bool withBounds);

    const Geometry *geometryOf(const DzFacetMesh *mesh, const QString &meshName);
    int morphTargetOf(const DzFacetMesh *mesh, const Geometry &geometry, const DzMorphDeltas *deltas);
    int meshOf(const DzNode *node, std::vector<double> *weights);
    int materialOf(const DzMaterial *material, bool withUVs);
    int textureOf(const DzTexture *texture, const QString &materialName);
    int imageOf(const QString &file, const QString &materialName);

    bool m_binary;
    QString m_outDir;
    std::function<QString(const QString &)> m_source;
    QString m_error;
    tinygltf::Model m_model;
    std::vector<unsigned char> m_bin;
    bool m_unlitUsed = false;
    std::vector<Copy> m_copies;
    QSet<QString> m_names;   ///< plain names given beside the scene
    QString m_baseName;
    QString m_environment;   ///< the sky picture's name beside the scene; empty without one

    std::map<const DzFacetMesh *, Geometry> m_geometries;   // node-stable: callers hold pointers
    std::map<std::pair<const DzFacetMesh *, const DzMorphDeltas *>, int> m_targets;
    std::map<std::tuple<const DzFacetMesh *, std::vector<int>, std::vector<const DzMorphDeltas *>>, int> m_meshes;
    std::map<std::pair<const DzMaterial *, bool>, int> m_materials;   ///< by material and whether textured
    QHash<QString, int> m_textures;   ///< by absolute file; -1 for a file left out
};

int Writer::addView(const void *data, size_t bytes, int target)
{
    while (m_bin.size() % 4)
        m_bin.push_back(0);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = m_bin.size();
    view.byteLength = bytes;
    view.target = target;
    const auto *p = static_cast<const unsigned char *>(data);
    m_bin.insert(m_bin.end(), p, p + bytes);
    m_model.bufferViews.push_back(std::move(view));
    return int(m_model.bufferViews.size()) - 1;
}

int Writer::addAccessor(int view, int componentType, size_t count, int type, std::vector<double> min,
                        std::vector<double> max)
{
    tinygltf::Accessor a;
    a.bufferView = view;
    a.componentType = componentType;
    a.count = count;
    a.type = type;
    a.minValues = std::move(min);
    a.maxValues = std::move(max);
    m_model.accessors.push_back(std::move(a));
    return int(m_model.accessors.size()) - 1;
}

int Writer::addFloat3Accessor(const std::vector<float> &xyz, bool withBounds)
{
    const size_t count = xyz.size() / 3;
    std::vector<double> min, max;
    if (withBounds) {
        min.assign(3, std::numeric_limits<double>::infinity());
        max.assign(3, -std::numeric_limits<double>::infinity());
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < 3; ++c) {
                const double v = xyz[i * 3 + c];
                min[c] = std::min(min[c], v);
                max[c] = std::max(max[c], v);
            }
    }
    const int view = addView(xyz.data(), xyz.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
    return addAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, count, TINYGLTF_TYPE_VEC3, std::move(min), std::move(max));
}

// Per-vertex tangents (x, y, z, w) from the triangles' uvs (as written, v down the image): the
// direction of increasing u summed over the triangles around a vertex, made perpendicular to its
// normal, w the handedness of the uv frame (±1). A vertex whose uvs give no direction takes one
// perpendicular to its normal.
std::vector<float> tangents(const std::vector<float> &pos, const std::vector<float> &nrm, const std::vector<float> &uv,
                            const std::map<int, std::vector<uint32_t>> &groups)
{
    const size_t count = pos.size() / 3;
    std::vector<Vec3d> along(count, Vec3d{0, 0, 0}), across(count, Vec3d{0, 0, 0});
    auto at = [](const std::vector<float> &a, uint32_t i) { return Vec3d{a[i * 3], a[i * 3 + 1], a[i * 3 + 2]}; };
    for (const auto &[group, idx] : groups)
        for (size_t t = 0; t + 2 < idx.size(); t += 3) {
            const uint32_t i0 = idx[t], i1 = idx[t + 1], i2 = idx[t + 2];
            const Vec3d p0 = at(pos, i0), p1 = at(pos, i1), p2 = at(pos, i2);
            const double du1 = uv[i1 * 2] - uv[i0 * 2], dv1 = uv[i1 * 2 + 1] - uv[i0 * 2 + 1];
            const double du2 = uv[i2 * 2] - uv[i0 * 2], dv2 = uv[i2 * 2 + 1] - uv[i0 * 2 + 1];
            const double det = du1 * dv2 - du2 * dv1;
            if (!(std::fabs(det) > 1e-20))
                continue;
            const double r = 1.0 / det;
            const Vec3d e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z}, e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
            const Vec3d s{(e1.x * dv2 - e2.x * dv1) * r, (e1.y * dv2 - e2.y * dv1) * r, (e1.z * dv2 - e2.z * dv1) * r};
            const Vec3d u{(e2.x * du1 - e1.x * du2) * r, (e2.y * du1 - e1.y * du2) * r, (e2.z * du1 - e1.z * du2) * r};
            for (const uint32_t i : {i0, i1, i2}) {
                along[i] = {along[i].x + s.x, along[i].y + s.y, along[i].z + s.z};
                across[i] = {across[i].x + u.x, across[i].y + u.y, across[i].z + u.z};
            }
        }
    std::vector<float> out(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const Vec3d n = at(nrm, uint32_t(i)), s = along[i];
        const double d = n.x * s.x + n.y * s.y + n.z * s.z;
        // Any direction perpendicular to the normal when the uvs give none.
        const Vec3d fallback = normalized(std::fabs(n.x) < 0.9 ? cross(n, Vec3d{1, 0, 0}) : cross(n, Vec3d{0, 1, 0}), {1, 0, 0});
        const Vec3d t = normalized({s.x - n.x * d, s.y - n.y * d, s.z - n.z * d}, fallback);
        const Vec3d b = cross(n, t);
        const double w = b.x * across[i].x + b.y * across[i].y + b.z * across[i].z < 0.0 ? -1.0 : 1.0;
        out[i * 4 + 0] = float(t.x);
        out[i * 4 + 1] = float(t.y);
        out[i * 4 + 2] = float(t.z);
        out[i * 4 + 3] = float(w);
    }
    return out;
}

// Expands the mesh into glTF vertices (one per distinct vertex, uv and normal of a corner),
// splits quads into two triangles and writes the attributes and one index list per material
// group. Null (with the error set) when the mesh cannot be written.
const Geometry *Writer::geometryOf(const DzFacetMesh *mesh, const QString &meshName)
{
    auto found = m_geometries.find(mesh);
    if (found != m_geometries.end())
        return &found->second;

    Geometry g;
    const QVector<DzVec3> &verts = mesh->getVertices();
    const QVector<DzFacet> &facets = mesh->getFacets();
    if (facets.isEmpty())
        return &m_geometries.emplace(mesh, std::move(g)).first->second;
    g.empty = false;

    for (const DzVec3 &v : verts)
        if (!v.isFinite()) {
            fail(QStringLiteral("the mesh \"%1\" has a vertex with a non-finite coordinate").arg(meshName));
            return nullptr;
        }

    // Which attributes the corners carry.
    const int numUVs = mesh->getNumUVs(), numNormals = mesh->getNumNormals();
    bool anyUV = false, needSmooth = false;
    std::vector<Vec3d> given(static_cast<size_t>(numNormals));
    std::vector<bool> givenOk(static_cast<size_t>(numNormals), false);
    for (int i = 0; i < numNormals; ++i) {
        const DzVec3 n = mesh->getNormal(i);
        given[size_t(i)] = normalized({n.m_x, n.m_y, n.m_z}, {0, 0, 0});
        givenOk[size_t(i)] = n.isFinite() && (given[size_t(i)].x != 0 || given[size_t(i)].y != 0 || given[size_t(i)].z != 0);
    }
    for (const DzFacet &f : facets)
        for (int c = 0; c < f.getNumVertices(); ++c) {
            anyUV = anyUV || f.m_uvwIdx[c] >= 0;
            const int n = f.m_normIdx[c];
            needSmooth = needSmooth || n < 0 || n >= numNormals || !givenOk[size_t(n)];
        }

    // Smooth normals (area weighted face normals summed per vertex) for corners without one.
    std::vector<Vec3d> smooth;
    if (needSmooth) {
        std::vector<Vec3d> sum(static_cast<size_t>(verts.size()));
        for (const DzFacet &f : facets) {
            const DzVec3 &a = verts[f.m_vertIdx[0]], &b = verts[f.m_vertIdx[1]], &c = verts[f.m_vertIdx[2]];
            // For a quad the cross product of the diagonals: twice its (vector) area.
            const Vec3d n = f.isQuad() ? cross(sub(c, a), sub(verts[f.m_vertIdx[3]], b)) : cross(sub(b, a), sub(c, a));
            for (int k = 0; k < f.getNumVertices(); ++k) {
                Vec3d &s = sum[size_t(f.m_vertIdx[k])];
                s.x += n.x;
                s.y += n.y;
                s.z += n.z;
            }
        }
        smooth.resize(sum.size());
        for (size_t i = 0; i < sum.size(); ++i)
            smooth[i] = normalized(sum[i], {0, 1, 0});
    }

    // Corner → glTF vertex. The vertices made for one host vertex form a short chain, so the
    // lookup stays linear in the number of corners.
    std::vector<uint32_t> head(static_cast<size_t>(verts.size()), kNoIndex);
    std::vector<uint32_t> next;
    std::vector<int> cornerUV, cornerNormal;
    const size_t estimate = size_t(verts.size()) + size_t(verts.size()) / 8;
    g.sourceVertex.reserve(estimate);
    next.reserve(estimate);
    cornerUV.reserve(estimate);
    cornerNormal.reserve(estimate);
    auto vertexOf = [&](int v, int uv, int n) -> uint32_t {
        if (uv >= numUVs)
            uv = -1;
        if (n >= numNormals || (n >= 0 && !givenOk[size_t(n)]))
            n = -1;
        for (uint32_t e = head[size_t(v)]; e != kNoIndex; e = next[e])
            if (cornerUV[e] == uv && cornerNormal[e] == n)
                return e;
        // Indices run up to count - 1 and the largest 32-bit value is reserved.
        if (g.sourceVertex.size() >= size_t(kNoIndex))
            return kNoIndex;
        const auto e = uint32_t(g.sourceVertex.size());
        g.sourceVertex.push_back(uint32_t(v));
        cornerUV.push_back(uv);
        cornerNormal.push_back(n);
        next.push_back(head[size_t(v)]);
        head[size_t(v)] = e;
        return e;
    };

    std::map<int, std::vector<uint32_t>> groupIndices;
    for (const DzFacet &f : facets) {
        uint32_t c[4] = {};
        for (int k = 0; k < f.getNumVertices(); ++k) {
            c[k] = vertexOf(f.m_vertIdx[k], f.m_uvwIdx[k], f.m_normIdx[k]);
            if (c[k] == kNoIndex) {
                fail(QStringLiteral("the mesh \"%1\" has too many vertices for 32-bit indices").arg(meshName));
                return nullptr;
            }
        }
        std::vector<uint32_t> &idx = groupIndices[f.m_materialIdx];
        idx.insert(idx.end(), {c[0], c[1], c[2]});
        if (f.isQuad())
            idx.insert(idx.end(), {c[0], c[2], c[3]});
    }
    head.clear();
    head.shrink_to_fit();
    next.clear();
    next.shrink_to_fit();

    const size_t count = g.sourceVertex.size();
    std::vector<float> pos(count * 3), nrm(count * 3), uv;
    if (anyUV)
        uv.resize(count * 2);
    for (size_t e = 0; e < count; ++e) {
        const DzVec3 &v = verts[int(g.sourceVertex[e])];
        pos[e * 3 + 0] = float(v.m_x * kMetresPerUnit);
        pos[e * 3 + 1] = float(v.m_y * kMetresPerUnit);
        pos[e * 3 + 2] = float(v.m_z * kMetresPerUnit);
        const Vec3d &n = cornerNormal[e] >= 0 ? given[size_t(cornerNormal[e])] : smooth[g.sourceVertex[e]];
        nrm[e * 3 + 0] = float(n.x);
        nrm[e * 3 + 1] = float(n.y);
        nrm[e * 3 + 2] = float(n.z);
        if (anyUV) {
            const QPointF t = cornerUV[e] >= 0 ? mesh->getUV(cornerUV[e]) : QPointF(0, 0);
            if (!std::isfinite(t.x()) || !std::isfinite(t.y())) {
                fail(QStringLiteral("the mesh \"%1\" has a non-finite texture coordinate").arg(meshName));
                return nullptr;
            }
            uv[e * 2 + 0] = float(t.x());
            uv[e * 2 + 1] = float(1.0 - t.y());   // glTF's v runs down the image
        }
    }

    g.position = addFloat3Accessor(pos, true);
    g.normal = addFloat3Accessor(nrm, false);
    if (anyUV) {
        const int view = addView(uv.data(), uv.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
        g.texcoord = addAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, count, TINYGLTF_TYPE_VEC2);
        const std::vector<float> tan = tangents(pos, nrm, uv, groupIndices);
        const int tangentView = addView(tan.data(), tan.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
        g.tangent = addAccessor(tangentView, TINYGLTF_COMPONENT_TYPE_FLOAT, count, TINYGLTF_TYPE_VEC4);
    }
    // Short indices while every index fits below the reserved 0xFFFF.
    const bool shortIndices = count < 0xFFFF;
    for (auto &[group, idx] : groupIndices) {
        int view;
        if (shortIndices) {
            std::vector<uint16_t> s(idx.begin(), idx.end());
            view = addView(s.data(), s.size() * sizeof(uint16_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        } else {
            view = addView(idx.data(), idx.size() * sizeof(uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        }
        const int acc = addAccessor(view, shortIndices ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT
                                                       : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                                    idx.size(), TINYGLTF_TYPE_SCALAR);
        g.groups.push_back({group, acc});
    }
    return &m_geometries.emplace(mesh, std::move(g)).first->second;
}

// The POSITION offsets of a morph on the expanded vertices of a mesh.
int Writer::morphTargetOf(const DzFacetMesh *mesh, const Geometry &geometry, const DzMorphDeltas *deltas)
{
    const auto key = std::make_pair(mesh, deltas);
    auto found = m_targets.find(key);
    if (found != m_targets.end())
        return found->second;
    const int numVerts = mesh->getNumVertices();
    std::vector<DzVec3> dense(static_cast<size_t>(numVerts));
    for (int i = 0; i < deltas->getNumDeltas(); ++i) {
        const int v = deltas->getDeltaIndex(i);
        if (v >= 0 && v < numVerts)
            dense[size_t(v)] = deltas->getDelta(i);
    }
    const size_t count = geometry.sourceVertex.size();
    std::vector<float> xyz(count * 3);
    for (size_t e = 0; e < count; ++e) {
        const DzVec3 &d = dense[geometry.sourceVertex[e]];
        xyz[e * 3 + 0] = float(d.m_x * kMetresPerUnit);
        xyz[e * 3 + 1] = float(d.m_y * kMetresPerUnit);
        xyz[e * 3 + 2] = float(d.m_z * kMetresPerUnit);
    }
    const int acc = addFloat3Accessor(xyz, true);
    m_targets.emplace(key, acc);
    return acc;
}

// The glTF mesh of a node's current facet shape with its materials and morphs; -1 when the
// node shows none (or on an error, which is then set). weights gets the node's morph values.
int Writer::meshOf(const DzNode *node, std::vector<double> *weights)
{
    const DzObject *object = node->getObject();
    if (!object)
        return -1;
    const auto *shape = qobject_cast<const DzFacetShape *>(object->getCurrentShape());
    const DzFacetMesh *mesh = shape ? shape->getFacetMesh() : nullptr;
    if (!mesh)
        return -1;
    const QString meshName = object->getName().isEmpty() ? displayName(node) : object->getName();
    const Geometry *g = geometryOf(mesh, meshName);
    if (!g || g->empty)
        return -1;

    std::vector<int> materials;
    for (const Geometry::Group &group : g->groups) {
        const int m = materialOf(shape->getMaterial(group.materialGroup), g->texcoord >= 0);
        if (!m_error.isEmpty())
            return -1;
        materials.push_back(m);
    }
    std::vector<const DzMorph *> morphs;
    std::vector<const DzMorphDeltas *> deltas;
    for (int i = 0; i < object->getNumModifiers(); ++i) {
        const auto *morph = qobject_cast<const DzMorph *>(object->getModifier(i));
        if (morph && morph->getDeltas()) {
            morphs.push_back(morph);
            deltas.push_back(morph->getDeltas());
        }
    }
    for (const DzMorph *morph : morphs)
        weights->push_back(double(morph->getValueChannel()->getValue()));

    const auto key = std::make_tuple(mesh, materials, deltas);
    auto found = m_meshes.find(key);
    if (found != m_meshes.end())
        return found->second;

    tinygltf::Mesh out;
    out.name = utf8(meshName);
    std::vector<std::map<std::string, int>> targets;
    tinygltf::Value::Array targetNames;
    for (size_t i = 0; i < morphs.size(); ++i) {
        targets.push_back({{"POSITION", morphTargetOf(mesh, *g, deltas[i])}});
        targetNames.push_back(tinygltf::Value(utf8(displayName(morphs[i]))));
    }
    for (size_t i = 0; i < g->groups.size(); ++i) {
        tinygltf::Primitive p;
        p.mode = TINYGLTF_MODE_TRIANGLES;
        p.attributes["POSITION"] = g->position;
        p.attributes["NORMAL"] = g->normal;
        if (g->texcoord >= 0)
            p.attributes["TEXCOORD_0"] = g->texcoord;
        // A normal map is read in the tangent space of the uvs: written with it, so that every
        // program reads the map the same way.
        if (g->tangent >= 0 && materials[i] >= 0 && m_model.materials[size_t(materials[i])].normalTexture.index >= 0)
            p.attributes["TANGENT"] = g->tangent;
        p.indices = g->groups[i].indices;
        p.material = materials[i];
        p.targets = targets;
        out.primitives.push_back(std::move(p));
    }
    if (!morphs.empty()) {
        out.weights = *weights;
        // Blender names the shape keys after these.
        tinygltf::Value::Object extras;
        extras["targetNames"] = tinygltf::Value(std::move(targetNames));
        out.extras = tinygltf::Value(std::move(extras));
    }
    m_model.meshes.push_back(std::move(out));
    const int index = int(m_model.meshes.size()) - 1;
    m_meshes.emplace(key, index);
    return index;
}

int Writer::imageOf(const QString &file, const QString &materialName)
{
    const QString abs = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    auto found = m_textures.constFind(abs);
    if (found != m_textures.constEnd())
        return found.value();

    int index = -1;
    // The scene names the file by its own name; its bytes may still be elsewhere (staged).
    QFile f(m_source ? m_source(abs) : abs);
    if (!f.open(QIODevice::ReadOnly)) {
        qWarning("glTF export: the texture \"%s\" of material \"%s\" cannot be read (%s); the material is written without it",
                 qPrintable(QDir::toNativeSeparators(abs)), qPrintable(materialName), qPrintable(f.errorString()));
    } else {
        const std::string mime = mimeOfHeader(f.peek(8));
        if (mime.empty()) {
            qWarning("glTF export: the texture \"%s\" of material \"%s\" is neither JPEG nor PNG; the material is written without it",
                     qPrintable(QDir::toNativeSeparators(abs)), qPrintable(materialName));
        } else {
            tinygltf::Image image;
            image.name = utf8(QFileInfo(abs).completeBaseName());
            bool ok = true;
            if (m_binary) {
                // Straight into the buffer: these files can be hundreds of megabytes.
                const qint64 size = f.size();
                while (m_bin.size() % 4)
                    m_bin.push_back(0);
                const size_t offset = m_bin.size();
                ok = size > 0;
                if (ok) {
                    m_bin.resize(offset + size_t(size));
                    ok = f.read(reinterpret_cast<char *>(m_bin.data() + offset), size) == size;
                }
                if (ok) {
                    tinygltf::BufferView view;
                    view.buffer = 0;
                    view.byteOffset = offset;
                    view.byteLength = size_t(size);
                    m_model.bufferViews.push_back(std::move(view));
                    image.bufferView = int(m_model.bufferViews.size()) - 1;
                    image.mimeType = mime;
                } else {
                    m_bin.resize(offset);
                    qWarning("glTF export: the texture \"%s\" of material \"%s\" could not be read whole; the material is written without it",
                             qPrintable(QDir::toNativeSeparators(abs)), qPrintable(materialName));
                }
            } else {
                // Beside the scene under a plain name, so that the folder can be moved and every
                // importer finds it: a copy unless it lies there under that name already.
                QString name = plainName(QFileInfo(abs).fileName());
                for (int n = 2; m_names.contains(name.toLower()); ++n)
                    name = plainName(QFileInfo(abs).completeBaseName() + QStringLiteral("_%1.").arg(n) +
                                     QFileInfo(abs).suffix());
                m_names.insert(name.toLower());
                if (QDir::cleanPath(m_outDir + QLatin1Char('/') + name) != abs)
                    m_copies.push_back({f.fileName(), name});
                image.uri = name.toStdString();
            }
            if (ok) {
                m_model.images.push_back(std::move(image));
                tinygltf::Texture texture;
                texture.source = int(m_model.images.size()) - 1;
                m_model.textures.push_back(std::move(texture));
                index = int(m_model.textures.size()) - 1;
            }
        }
    }
    m_textures.insert(abs, index);
    return index;
}

int Writer::textureOf(const DzTexture *texture, const QString &materialName)
{
    if (!texture || texture->getFilename().trimmed().isEmpty())
        return -1;
    return imageOf(texture->getFilename(), materialName);
}

namespace {
DzTexture *imageBrickMap(const DzShaderBrick *brick)
{
    const DzBrickParam *p = brick->findParameterByArg(QStringLiteral("color"));
    const auto *color = p ? qobject_cast<const DzColorProperty *>(p->getProperty()) : nullptr;
    return color ? color->getMapValue() : nullptr;
}

bool isColorImageBrick(const DzShaderBrick *brick)
{
    const auto *type = qobject_cast<const DzStringProperty *>(brick->findProperty(QStringLiteral("type")));
    return !type || type->getValue() == QLatin1String("color");
}

// Whether the image brick's output feeds the diffuse colour of a default-material brick.
bool feedsDiffuse(const DzShaderBrick *imageBrick)
{
    const DzBrickParam *out = imageBrick->findParameterByArg(QStringLiteral("outColor"));
    if (!out)
        return false;
    for (int i = 0; i < out->getNumConnections(); ++i) {
        const DzBrickParam *in = out->getConnection(i);
        if (in->getArgName() == QLatin1String("DiffuseColor") && qobject_cast<const DzDefaultMaterialBrick *>(in->getBrick()))
            return true;
    }
    return false;
}
} // namespace

// A material as glTF wants it, with the textures still as the host's.
struct MaterialPlan {
    tinygltf::Material material;
    const DzTexture *baseColor = nullptr;
    const DzTexture *normal = nullptr;
};

MaterialPlan planMaterial(const DzMaterial *material)
{
    MaterialPlan plan;
    tinygltf::Material &out = plan.material;
    out.name = utf8(displayName(material));
    out.extras = nameExtras(material->getName());
    auto &pbr = out.pbrMetallicRoughness;
    pbr.metallicFactor = 0.0;
    pbr.roughnessFactor = 1.0;

    if (const auto *brick = qobject_cast<const DzBrickMaterial *>(material)) {
        // The colour texture: the image brick that feeds the surface's diffuse colour, else the
        // first colour image brick with a map.
        const DzShaderBrick *image = nullptr, *fallback = nullptr;
        const DzShaderBrick *surface = nullptr;
        for (int i = 0; i < brick->getNumBricks(); ++i) {
            const DzShaderBrick *b = brick->getBrick(i);
            if (qobject_cast<const DzImageBrick *>(b) && isColorImageBrick(b) && imageBrickMap(b)) {
                if (!image && feedsDiffuse(b))
                    image = b;
                if (!fallback)
                    fallback = b;
            } else if (qobject_cast<const DzNormalMapBrick *>(b) && !plan.normal) {
                const DzBrickParam *p = b->findParameterByArg(QStringLiteral("normalmap"));
                if (const auto *prop = p ? qobject_cast<const DzImageProperty *>(p->getProperty()) : nullptr)
                    plan.normal = prop->getValue();
            } else if (qobject_cast<const DzDefaultMaterialBrick *>(b) && !surface) {
                surface = b;
            }
        }
        if (!image)
            image = fallback;
        if (image) {
            const auto *color = qobject_cast<const DzColorProperty *>(image->findParameterByArg(QStringLiteral("color"))->getProperty());
            pbr.baseColorFactor = linearFactor(color->getColorValue());
            plan.baseColor = color->getMapValue();
        } else {
            const DzBrickParam *diffuse = surface ? surface->findParameterByArg(QStringLiteral("DiffuseColor")) : nullptr;
            const auto *color = diffuse ? qobject_cast<const DzColorProperty *>(diffuse->getProperty()) : nullptr;
            pbr.baseColorFactor = linearFactor(color ? color->getColorValue() : material->getDiffuseColor());
            plan.baseColor = material->getColorMap();
        }
        if (surface) {
            auto value = [surface](const char *arg) -> const DzFloatProperty * {
                const DzBrickParam *p = surface->findParameterByArg(QString::fromLatin1(arg));
                return p ? qobject_cast<const DzFloatProperty *>(p->getProperty()) : nullptr;
            };
            const DzFloatProperty *gloss = value("Glossiness"), *strength = value("SpecularStrength");
            if (gloss)
                pbr.roughnessFactor = roughnessOf(gloss->getValue(), strength ? strength->getValue() : 1.0f);
        }
    } else if (const auto *def = qobject_cast<const DzDefaultMaterial *>(material)) {
        if (def->getDiffuseStrength() <= 0.0f && def->getAmbientStrength() > 0.0f) {
            // Lit by its ambient colour alone (the sky dome): shown as it is, from both sides
            // since it is seen from inside.
            out.extensions["KHR_materials_unlit"] = tinygltf::Value(tinygltf::Value::Object());
            out.doubleSided = true;
            pbr.baseColorFactor = linearFactor(def->getAmbientColor(), def->getAmbientStrength());
            plan.baseColor = def->getAmbientColorMap();
        } else {
            pbr.baseColorFactor = linearFactor(def->getDiffuseColor());
            plan.baseColor = def->getColorMap();
            pbr.roughnessFactor = roughnessOf(def->getGlossinessStrength(), def->getSpecularStrength());
            const int model = def->getLightingModel();
            pbr.metallicFactor = model == DzDefaultMaterial::Metallic || model == DzDefaultMaterial::GlossyMetallic ? 1.0 : 0.0;
        }
    } else {
        pbr.baseColorFactor = linearFactor(material->getDiffuseColor());
        plan.baseColor = material->getColorMap();
    }
    return plan;
}

// The glTF material of a host material. A surface without texture coordinates cannot show
// textures (glTF refuses the binding), so it gets the material without them.
int Writer::materialOf(const DzMaterial *material, bool withUVs)
{
    if (!material)
        return -1;
    MaterialPlan plan = planMaterial(material);
    const bool textured = withUVs && (plan.baseColor || plan.normal);
    const auto key = std::make_pair(material, textured);
    auto found = m_materials.find(key);
    if (found != m_materials.end())
        return found->second;

    if (textured) {
        const QString name = displayName(material);
        plan.material.pbrMetallicRoughness.baseColorTexture.index = textureOf(plan.baseColor, name);
        plan.material.normalTexture.index = textureOf(plan.normal, name);
    }
    if (plan.material.extensions.count("KHR_materials_unlit"))
        m_unlitUsed = true;
    m_model.materials.push_back(std::move(plan.material));
    const int index = int(m_model.materials.size()) - 1;
    m_materials.emplace(key, index);
    return index;
}

// Translation (metres), rotation and scale of a node's local transform: the same
// translate · rotate (in the rotation order) · scale as DzNode::getLocalTransform().
void setTransform(const DzNode *node, tinygltf::Node &out)
{
    const double t[3] = {node->getXPosControl()->getValue() * kMetresPerUnit,
                         node->getYPosControl()->getValue() * kMetresPerUnit,
                         node->getZPosControl()->getValue() * kMetresPerUnit};
    if (t[0] != 0 || t[1] != 0 || t[2] != 0)
        out.translation = {t[0], t[1], t[2]};

    static const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    const DzFloatProperty *rot[3] = {node->getXRotControl(), node->getYRotControl(), node->getZRotControl()};
    const int *order = orders[node->getRotationOrder()];
    // The first rotation applies to the node first: q = q_last · q_middle · q_first. In double
    // precision, as (x, y, z, w).
    double q[4] = {0, 0, 0, 1};
    for (int i = 0; i < 3; ++i) {
        const int axis = order[i];
        const double half = qDegreesToRadians(double(rot[axis]->getValue())) * 0.5;
        double r[4] = {0, 0, 0, std::cos(half)};
        r[axis] = std::sin(half);
        const double p[4] = {q[0], q[1], q[2], q[3]};
        q[0] = r[3] * p[0] + r[0] * p[3] + r[1] * p[2] - r[2] * p[1];
        q[1] = r[3] * p[1] - r[0] * p[2] + r[1] * p[3] + r[2] * p[0];
        q[2] = r[3] * p[2] + r[0] * p[1] - r[1] * p[0] + r[2] * p[3];
        q[3] = r[3] * p[3] - r[0] * p[0] - r[1] * p[1] - r[2] * p[2];
    }
    const double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    const double sign = q[3] < 0 ? -1.0 : 1.0;
    for (double &c : q)
        c *= sign / len;
    if (q[0] != 0 || q[1] != 0 || q[2] != 0)
        out.rotation = {q[0], q[1], q[2], q[3]};

    const double g = node->getScaleControl()->getValue();
    const double s[3] = {node->getXScaleControl()->getValue() * g, node->getYScaleControl()->getValue() * g,
                         node->getZScaleControl()->getValue() * g};
    if (s[0] != 1 || s[1] != 1 || s[2] != 1)
        out.scale = {s[0], s[1], s[2]};
}

bool finite(const std::vector<double> &v)
{
    return std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); });
}

bool Writer::build(const DzScene *scene)
{
    m_model.asset.version = "2.0";
    m_model.asset.generator = "OROVISTA studio";

    // The sky dome (a node marked "environment") is left out: in the programs that import the
    // file it would enclose everything and shade it. Its picture goes beside the file instead.
    auto environment = [](const DzNode *node) {
        for (; node; node = node->getNodeParent())
            if (node->property("environment").toBool())
                return true;
        return false;
    };
    std::vector<const DzNode *> written;
    QHash<const DzNode *, int> indexOf;
    for (int i = 0; i < scene->getNumNodes(); ++i) {
        const DzNode *node = scene->getNode(i);
        if (environment(node)) {
            const DzObject *object = node->getObject();
            const DzShape *shape = object ? object->getCurrentShape() : nullptr;
            const auto *sky = shape && shape->getNumMaterials() > 0
                                  ? qobject_cast<const DzDefaultMaterial *>(shape->getMaterial(0))
                                  : nullptr;
            const DzTexture *picture = sky ? sky->getAmbientColorMap() : nullptr;
            if (picture && !picture->getFilename().isEmpty() && m_environment.isEmpty()) {
                const QString abs = QDir::cleanPath(QFileInfo(picture->getFilename()).absoluteFilePath());
                const QString from = m_source ? m_source(abs) : abs;
                if (QFileInfo(from).isFile()) {
                    m_environment = environmentName(m_baseName, abs);
                    m_names.insert(m_environment.toLower());
                    m_copies.push_back({from, m_environment});
                }
            }
            continue;
        }
        indexOf.insert(node, int(written.size()));
        written.push_back(node);
    }

    tinygltf::Scene outScene;
    for (int i = 0; i < int(written.size()); ++i) {
        const DzNode *node = written[std::size_t(i)];
        tinygltf::Node out;
        out.name = utf8(displayName(node));
        out.extras = nameExtras(node->getName(), !node->getVisibilityControl()->getBoolValue());

        const DzNode *parent = node->getNodeParent();
        const bool parentWritten = parent && indexOf.contains(parent);
        if (parent && !parentWritten) {
            // The parent is not in the scene: keep where the node is in the world.
            const QMatrix4x4 m = node->getWSTransform();
            for (int c = 0; c < 4; ++c)
                for (int r = 0; r < 4; ++r)
                    out.matrix.push_back(double(m(r, c)) * (r < 3 && c == 3 ? kMetresPerUnit : 1.0));
        } else {
            setTransform(node, out);
        }
        if (!parentWritten)
            outScene.nodes.push_back(i);
        if (!finite(out.translation) || !finite(out.rotation) || !finite(out.scale) || !finite(out.matrix))
            return fail(QStringLiteral("the node \"%1\" has a non-finite transform").arg(displayName(node)));
        for (int c = 0; c < node->getNumNodeChildren(); ++c) {
            const auto child = indexOf.constFind(node->getNodeChild(c));
            if (child != indexOf.constEnd())
                out.children.push_back(child.value());
        }

        if (const auto *camera = qobject_cast<const DzCamera *>(node)) {
            tinygltf::Camera cam;
            cam.type = "perspective";
            cam.name = out.name;
            cam.perspective.yfov = qDegreesToRadians(double(camera->getFieldOfView()));
            cam.perspective.znear = kCameraNear;
            cam.perspective.zfar = kCameraFar;
            m_model.cameras.push_back(std::move(cam));
            out.camera = int(m_model.cameras.size()) - 1;
        }

        if (const auto *light = qobject_cast<const DzDistantLight *>(node)) {
            tinygltf::Light sun;
            sun.type = "directional";
            sun.name = out.name;
            sun.color = linearFactor(light->getDiffuseColor());
            sun.color.resize(3);
            sun.intensity = double(light->getIntensity()) * kLuxAtFullIntensity;
            m_model.lights.push_back(std::move(sun));
            tinygltf::Value::Object reference;
            reference["light"] = tinygltf::Value(int(m_model.lights.size()) - 1);
            out.extensions["KHR_lights_punctual"] = tinygltf::Value(std::move(reference));
        }

        out.mesh = meshOf(node, &out.weights);
        if (!m_error.isEmpty())
            return false;
        if (out.mesh < 0)
            out.weights.clear();
        m_model.nodes.push_back(std::move(out));
    }
    // A scene without nodes is left out: glTF has no empty scene object, and a file without
    // scenes is valid.
    if (!outScene.nodes.empty()) {
        m_model.scenes.push_back(std::move(outScene));
        m_model.defaultScene = 0;
    }
    if (m_unlitUsed)
        m_model.extensionsUsed.push_back("KHR_materials_unlit");
    if (!m_environment.isEmpty()) {
        tinygltf::Value::Object extras;
        extras["environment"] = tinygltf::Value(m_environment.toStdString());
        extras["environmentProjection"] =
            tinygltf::Value(std::string("equirectangular: top row the zenith, bottom row the nadir"));
        if (!m_model.scenes.empty())
            m_model.scenes[0].extras = tinygltf::Value(std::move(extras));
    }
    return true;
}

} // namespace

namespace {

/// What every way of writing a scene checks and builds first.
struct Prepared {
    QString targetPath, dir, binName, binPath;
    bool binary = false;
};

bool prepare(const DzScene *scene, const QString &path, Prepared *p, QString *problem)
{
    auto fail = [problem](const QString &what) {
        *problem = what;
        return false;
    };
    if (!scene)
        return fail(QStringLiteral("there is no scene to write"));
    if (path.trimmed().isEmpty())
        return fail(QStringLiteral("no file name given"));
    const QFileInfo target(QFileInfo(path).absoluteFilePath());
    p->targetPath = target.absoluteFilePath();
    p->dir = target.absolutePath();
    p->binary = target.suffix().compare(QLatin1String("glb"), Qt::CaseInsensitive) == 0;
    if (target.isDir())
        return fail(QStringLiteral("\"%1\" is a folder").arg(QDir::toNativeSeparators(p->targetPath)));
    if (!QFileInfo(p->dir).isDir())
        return fail(QStringLiteral("the folder \"%1\" does not exist").arg(QDir::toNativeSeparators(p->dir)));
    p->binName = target.completeBaseName() + QStringLiteral(".bin");
    p->binPath = p->dir + QLatin1Char('/') + p->binName;
    if (!p->binary && QDir::cleanPath(p->binPath) == QDir::cleanPath(p->targetPath))
        return fail(QStringLiteral("the buffer file \"%1\" would replace the scene file; choose a name ending in .gltf or .glb")
                        .arg(p->binName));
    return true;
}

/// The size limit of a .glb: its length is held in 32 bits, and JSON takes a little of that.
bool tooLargeForGlb(size_t binBytes)
{
    return binBytes > size_t(0xFFFFFFFFu) - (size_t(64) << 20);
}
const QString glbTooLarge = QStringLiteral("the scene is too large for a .glb file (4 GiB at most); write a .gltf instead");

/// The JSON text of the model, its one buffer declared by its length (and uri for a .gltf): the
/// text the library writes into a file. Its stream writer would put the buffer's bytes into the
/// text as base64, so it is handed an empty buffer, whose entry ({"byteLength": 0, "uri": an
/// empty data URI}, the only data URI in the file) is then completed by hand.
std::string sceneJson(tinygltf::Model &model, size_t binBytes, const std::string &binUri, bool pretty)
{
    std::vector<tinygltf::Buffer> buffers(binBytes > 0 ? 1 : 0);
    buffers.swap(model.buffers);
    tinygltf::TinyGLTF gltf;
    gltf.SetImageWriter(nullptr, nullptr);   // images are referred to or embedded as they are
    std::ostringstream stream;
    gltf.WriteGltfSceneToStream(&model, stream, pretty, false);
    buffers.swap(model.buffers);
    std::string text = stream.str();
    if (!pretty && !text.empty() && text.back() == '\n')
        text.pop_back();   // the stream writer ends the text with a line; a .glb's chunk does not
    if (binBytes == 0)
        return text;
    const std::string marker = "\"data:application/octet-stream;base64,\"";
    const size_t uri = text.find(marker);
    const size_t length = uri == std::string::npos ? uri : text.rfind("\"byteLength\":", uri);
    if (length == std::string::npos)
        return {};
    if (binUri.empty()) {
        const size_t key = text.rfind(',', uri);   // ,"uri":"data:…"
        text.erase(key, uri + marker.size() - key);
    } else {
        text.replace(uri, marker.size(), '"' + binUri + '"');
    }
    const size_t zero = text.find('0', length);
    text.replace(zero, 1, std::to_string(binBytes));
    return text;
}

QByteArray littleEndian32(std::initializer_list<quint32> values)
{
    QByteArray bytes;
    for (quint32 v : values) {
        const quint32 le = qToLittleEndian(v);
        bytes.append(reinterpret_cast<const char *>(&le), sizeof le);
    }
    return bytes;
}

}   // namespace

bool DzGltfExporter::writeScene(const DzScene *scene, const QString &path, const DzGltfFileSink &sink, QString *error)
{
    auto fail = [error](const QString &what) {
        if (error)
            *error = what;
        return false;
    };
    if (!sink.write)
        return fail(QStringLiteral("no way to write the files given"));
    Prepared p;
    QString problem;
    if (!prepare(scene, path, &p, &problem))
        return fail(problem);
    Writer writer(p.binary, p.dir, sink.source);
    writer.setBaseName(QFileInfo(p.targetPath).completeBaseName());
    if (!writer.build(scene))
        return fail(writer.error());
    // The files beside the scene first: textures under their plain names, the sky's picture.
    for (const Writer::Copy &copy : writer.copies()) {
        QFile from(copy.from);
        if (!from.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read \"%1\": %2").arg(QDir::toNativeSeparators(copy.from), from.errorString()));
        const uchar *bytes = from.size() > 0 ? from.map(0, from.size()) : nullptr;
        if (!bytes)
            return fail(QStringLiteral("cannot read \"%1\"").arg(QDir::toNativeSeparators(copy.from)));
        if (const QString failed = sink.write(p.dir + QLatin1Char('/') + copy.name, {QByteArrayView(bytes, from.size())});
            !failed.isEmpty())
            return fail(failed);
    }
    tinygltf::Model &model = writer.model();
    const std::vector<unsigned char> &bin = writer.bin();
    const QByteArrayView binView(reinterpret_cast<const char *>(bin.data()), qsizetype(bin.size()));
    QString failure;
    if (p.binary) {
        if (tooLargeForGlb(bin.size()))
            return fail(glbTooLarge);
        // The container written by hand, so that the buffer's bytes are not copied again.
        QByteArray json = QByteArray::fromStdString(sceneJson(model, bin.size(), std::string(), false));
        if (json.isEmpty())
            return fail(QStringLiteral("the scene's JSON could not be made"));
        json.append(QByteArray((4 - json.size() % 4) % 4, ' '));
        const qsizetype binPadding = (4 - qsizetype(bin.size()) % 4) % 4;
        const quint64 length = 12 + 8 + quint64(json.size()) + (bin.empty() ? 0 : 8 + bin.size() + quint64(binPadding));
        const QByteArray head = QByteArray("glTF") + littleEndian32({2, quint32(length), quint32(json.size()), 0x4E4F534A});
        QList<QByteArrayView> parts = {head, json};
        const QByteArray binHead = littleEndian32({quint32(bin.size() + size_t(binPadding)), 0x004E4942});
        const QByteArray binPad(binPadding, '\0');
        if (!bin.empty())
            parts << binHead << binView << binPad;
        failure = sink.write(p.targetPath, parts);
    } else {
        const std::string binUri = QUrl::toPercentEncoding(p.binName).toStdString();
        const QByteArray json = QByteArray::fromStdString(sceneJson(model, bin.size(), binUri, true));
        if (json.isEmpty())
            return fail(QStringLiteral("the scene's JSON could not be made"));
        if (!bin.empty())
            failure = sink.write(p.binPath, {binView});
        if (failure.isEmpty())
            failure = sink.write(p.targetPath, {json});
    }
    if (!failure.isEmpty())
        return fail(failure);
    if (error)
        error->clear();
    return true;
}

bool DzGltfExporter::writeScene(const DzScene *scene, const QString &path, QString *error)
{
    auto fail = [error](const QString &what) {
        if (error)
            *error = what;
        return false;
    };
    Prepared p;
    QString problem;
    if (!prepare(scene, path, &p, &problem))
        return fail(problem);
    const QString targetPath = p.targetPath, dir = p.dir, binName = p.binName, binPath = p.binPath;
    const bool binary = p.binary;

    Writer writer(binary, dir);
    writer.setBaseName(QFileInfo(targetPath).completeBaseName());
    if (!writer.build(scene))
        return fail(writer.error());

    // Everything is written into a folder beside the target first and moved into place at the
    // end, so that a failure leaves the existing files as they were.
    QTemporaryDir temp(dir + QStringLiteral("/.gltf-export-XXXXXX"));
    if (!temp.isValid())
        return fail(QStringLiteral("cannot write in the folder \"%1\": %2")
                        .arg(QDir::toNativeSeparators(dir), temp.errorString()));

    // The files beside the scene (textures under plain names, the sky's picture) are put in
    // place first; the scene that refers to them last.
    for (const Writer::Copy &copy : writer.copies()) {
        const QString staged = temp.filePath(QStringLiteral("copy-") + copy.name);
        if (!QFile::copy(copy.from, staged))
            return fail(QStringLiteral("cannot copy \"%1\" beside the scene").arg(QDir::toNativeSeparators(copy.from)));
        if (!renameFile(staged, dir + QLatin1Char('/') + copy.name))
            return fail(QStringLiteral("cannot write \"%1\": %2")
                            .arg(QDir::toNativeSeparators(dir + QLatin1Char('/') + copy.name),
                                 QString::fromLocal8Bit(std::strerror(errno))));
    }

    tinygltf::Model &model = writer.model();
    std::vector<unsigned char> &bin = writer.bin();
    if (!bin.empty()) {
        // A .glb holds its length in 32 bits; JSON takes a little of that as well.
        if (binary && tooLargeForGlb(bin.size()))
            return fail(glbTooLarge);
        tinygltf::Buffer buffer;
        if (!binary)
            buffer.uri = QUrl::toPercentEncoding(binName).toStdString();
        buffer.data = std::move(bin);
        model.buffers.push_back(std::move(buffer));
    }

    tinygltf::TinyGLTF gltf;
    gltf.SetImageWriter(nullptr, nullptr);   // images are referred to or embedded as they are
    const QString tempFile = temp.filePath(binary ? QStringLiteral("scene.glb") : QStringLiteral("scene.gltf"));
    const std::string tempName = QFile::encodeName(tempFile).toStdString();
    const QString writeError = QStringLiteral("cannot write \"%1\"").arg(QDir::toNativeSeparators(targetPath));
    QString tempBin;
    if (binary) {
        std::ofstream out(tempName, std::ios::binary | std::ios::trunc);
        if (!out.is_open())
            return fail(writeError);
        gltf.WriteGltfSceneToStream(&model, out, false, true);
        out.flush();
        if (!out.good())
            return fail(writeError + QStringLiteral(" (is the disk full?)"));
        out.close();
        if (out.fail())
            return fail(writeError + QStringLiteral(" (is the disk full?)"));
    } else {
        if (!gltf.WriteGltfSceneToFile(&model, tempName, false, false, true, false))
            return fail(writeError);
        // The library does not check its writes: check that both files are whole.
        QFile json(tempFile);
        QJsonParseError parseError;
        if (!json.open(QIODevice::ReadOnly) || QJsonDocument::fromJson(json.readAll(), &parseError).isNull())
            return fail(writeError + QStringLiteral(" (is the disk full?)"));
        if (!model.buffers.empty()) {
            tempBin = temp.filePath(QString::fromStdString(model.buffers[0].uri));
            if (QFileInfo(tempBin).size() != qint64(model.buffers[0].data.size()))
                return fail(QStringLiteral("cannot write \"%1\" (is the disk full?)").arg(QDir::toNativeSeparators(binPath)));
        }
    }

    if (!tempBin.isEmpty()) {
        // The buffer first, keeping the one it replaces until the scene file is in place.
        const QString previousBin = temp.filePath(QStringLiteral("previous.bin"));
        const bool hadBin = QFileInfo::exists(binPath);
        if (hadBin && !renameFile(binPath, previousBin))
            return fail(QStringLiteral("cannot replace \"%1\": %2").arg(QDir::toNativeSeparators(binPath), QString::fromLocal8Bit(std::strerror(errno))));
        if (!renameFile(tempBin, binPath)) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            if (hadBin)
                renameFile(previousBin, binPath);
            return fail(QStringLiteral("cannot write \"%1\": %2").arg(QDir::toNativeSeparators(binPath), why));
        }
        if (!renameFile(tempFile, targetPath)) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            QFile::remove(binPath);
            if (hadBin)
                renameFile(previousBin, binPath);
            return fail(QStringLiteral("cannot write \"%1\": %2").arg(QDir::toNativeSeparators(targetPath), why));
        }
    } else if (!renameFile(tempFile, targetPath)) {
        return fail(QStringLiteral("cannot write \"%1\": %2")
                        .arg(QDir::toNativeSeparators(targetPath), QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (error)
        error->clear();
    return true;
}
