#include "dzgltfimporter.h"
#include "dzapp.h"
#include "dzcamera.h"
#include "dzimagemgr.h"
#include "dzlight.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtMath>

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

// Host lengths are centimetres, glTF lengths metres.
constexpr double kUnitsPerMetre = 100.0;
// The writer's 100 % of a distant light, in lux (see the exporter).
constexpr double kLuxAtFullIntensity = 3.0 * 683.0;
// The writer's sky dome model: a sphere of radius 50 units, scaled by the node.
constexpr double kDomeModelRadius = 50.0;

/// The reason a file is refused; thrown from deep in the reading and caught at the top.
struct Refusal {
    QString why;
};

[[noreturn]] void refuse(const QString &why) { throw Refusal{why}; }

QString qs(const std::string &s) { return QString::fromStdString(s); }

/// The first line of a message, trimmed.
QString firstLine(const std::string &text)
{
    const QString all = qs(text).trimmed();
    const qsizetype nl = all.indexOf(QLatin1Char('\n'));
    return (nl < 0 ? all : all.left(nl)).trimmed();
}

double linearToSrgb(double c)
{
    c = std::clamp(c, 0.0, 1.0);
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
}

/// An sRGB colour from a linear glTF factor (3 or 4 values; the fallback when malformed).
QColor srgbColour(const std::vector<double> &factor, const QColor &fallback = Qt::white)
{
    if (factor.size() < 3 || !std::all_of(factor.begin(), factor.begin() + 3, [](double v) { return std::isfinite(v); }))
        return fallback;
    return QColor::fromRgbF(float(linearToSrgb(factor[0])), float(linearToSrgb(factor[1])), float(linearToSrgb(factor[2])));
}

// The percent decoding tinygltf applies to a URI before it asks for the file ("+" is a space):
// the file callbacks below compare what it asks for with what this predicts.
std::string urlDecode(const std::string &s)
{
    auto hex = [](unsigned char c) -> unsigned char {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return 0;
    };
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && s.size() > i + 2) {
            out += char((hex(uchar(s[i + 1])) << 4) | hex(uchar(s[i + 2])));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isDataUri(const QString &uri) { return uri.startsWith(QLatin1String("data:"), Qt::CaseInsensitive); }

/// Why a URI of the file may not be opened as a file beside it; empty when it may.
QString uriProblem(const QString &uri)
{
    const QString decoded = qs(urlDecode(uri.toStdString()));
    if (decoded.isEmpty())
        return QStringLiteral("an empty file name");
    // A scheme ("http:", "file:", "c:") names something other than a file beside the scene.
    const qsizetype colon = uri.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool scheme = colon > 0 && uri[0].isLetter() && uri[0].unicode() < 128;
        for (qsizetype i = 1; scheme && i < colon; ++i)
            scheme = (uri[i].isLetterOrNumber() && uri[i].unicode() < 128) || uri[i] == QLatin1Char('+')
                     || uri[i] == QLatin1Char('-') || uri[i] == QLatin1Char('.');
        if (scheme || decoded.contains(QLatin1Char(':')))
            return QStringLiteral("\"%1\", which is not a file beside the scene").arg(uri.left(80));
    }
    if (decoded.contains(QChar(0)))
        return QStringLiteral("a file name with a null character");
    if (decoded.startsWith(QLatin1Char('/')) || decoded.startsWith(QLatin1Char('\\')))
        return QStringLiteral("the absolute path \"%1\"").arg(decoded.left(80));
    const QStringList parts = decoded.split(QRegularExpression(QStringLiteral("[/\\\\]")));
    if (parts.contains(QStringLiteral("..")))
        return QStringLiteral("\"%1\", which leads out of the scene's folder").arg(decoded.left(80));
    return {};
}

/// The file a relative URI names in folder when it stays inside it (through links too); empty
/// otherwise or when it does not exist.
QString confinedFile(const QString &folder, const QString &relative)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    if (canonicalFolder.isEmpty())
        return {};
    const QFileInfo file(folder + QLatin1Char('/') + relative);
    const QString canonical = file.canonicalFilePath();
    if (canonical.isEmpty() || !file.isFile())
        return {};
    const QString prefix = canonicalFolder.endsWith(QLatin1Char('/')) ? canonicalFolder : canonicalFolder + QLatin1Char('/');
    return canonical.startsWith(prefix) ? canonical : QString();
}

/// What the file callbacks may hand tinygltf: the buffers named by URI, each once.
struct FileGate {
    QString folder;
    std::set<std::string> allowed;   ///< paths as tinygltf asks for them
    std::set<std::string> read;
    QString problem;                 ///< why a file was refused
};

bool gateExists(const std::string &path, void *user)
{
    auto *gate = static_cast<FileGate *>(user);
    return gate->allowed.count(path) > 0;
}

std::string gateExpand(const std::string &path, void *) { return path; }

bool gateRead(std::vector<unsigned char> *out, std::string *err, const std::string &path, void *user)
{
    auto *gate = static_cast<FileGate *>(user);
    // Each buffer file is handed over once: a second request for it is an image naming a
    // buffer's file, which is read separately (see loadModel()).
    if (!gate->allowed.count(path) || !gate->read.insert(path).second) {
        if (err)
            *err = "not a buffer file of the scene";
        return false;
    }
    const QString name = QString::fromUtf8(path.data(), qsizetype(path.size()));
    const QString relative = name.mid(gate->folder.size() + 1);
    const QString file = confinedFile(gate->folder, relative);
    if (file.isEmpty()) {
        gate->problem = QStringLiteral("the buffer file \"%1\" is missing or lies outside the scene's folder").arg(relative.left(80));
        if (err)
            *err = "missing";
        return false;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > qint64(std::numeric_limits<int>::max())) {
        gate->problem = QStringLiteral("the buffer file \"%1\" cannot be read").arg(relative.left(80));
        return false;
    }
    out->resize(size_t(f.size()));
    if (f.size() > 0 && f.read(reinterpret_cast<char *>(out->data()), f.size()) != f.size()) {
        gate->problem = QStringLiteral("the buffer file \"%1\" cannot be read").arg(relative.left(80));
        return false;
    }
    return true;
}

bool gateWrite(std::string *, const std::string &, const std::vector<unsigned char> &, void *) { return false; }

// Images are not decoded here (the host reads its textures itself). Pictures from data: URIs are
// kept as bytes; those in buffer views are taken later, with their bounds checked.
bool keepImageBytes(tinygltf::Image *image, const int, std::string *, std::string *, int, int,
                    const unsigned char *bytes, int size, void *)
{
    image->image.clear();
    image->width = image->height = -1;
    if (image->bufferView < 0 && bytes && size > 0)
        image->image.assign(bytes, bytes + size);
    return true;
}

/// "image/jpeg" / "image/png" by content; empty for anything else.
QString imageKind(const unsigned char *bytes, size_t size)
{
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return QStringLiteral("jpg");
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size >= 8 && std::memcmp(bytes, png, 8) == 0)
        return QStringLiteral("png");
    return {};
}

QString plainName(const QString &name)
{
    QString plain = name.left(100);
    for (QChar &c : plain)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    while (plain.startsWith(QLatin1Char('.')))
        plain[0] = QLatin1Char('_');
    return plain;
}

/// The folder of this process's pictures taken out of scene files; removed at exit.
QString processImageFolder()
{
    static QMutex mutex;
    static std::unique_ptr<QTemporaryDir> dir;
    static int serial = 0;
    QMutexLocker lock(&mutex);
    if (!dir)
        dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/studio-scene-images-XXXXXX"));
    if (!dir->isValid())
        return {};
    return dir->filePath(QStringLiteral("scene-%1").arg(++serial));
}

// --- Reading the file -------------------------------------------------------------------------

/// The JSON of the file (for a ".glb" its JSON chunk), or a refusal.
QByteArray jsonOf(const QByteArray &bytes, bool binary)
{
    if (!binary)
        return bytes;
    if (bytes.size() < 20)
        refuse(QStringLiteral("the .glb file is truncated"));
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    if (u32(4) != 2)
        refuse(QStringLiteral("the file is glTF version %1; only version 2 is read").arg(u32(4)));
    const quint64 length = u32(8), jsonLength = u32(12);
    if (length > quint64(bytes.size()) || length < 20)
        refuse(QStringLiteral("the .glb file is truncated (it declares %1 bytes, holds %2)").arg(length).arg(bytes.size()));
    if (u32(16) != 0x4E4F534A || 20 + jsonLength > length)
        refuse(QStringLiteral("the .glb file has no valid JSON chunk"));
    return bytes.mid(20, qsizetype(jsonLength));
}

/// Loads the model with tinygltf, opening only the buffer files the JSON names beside it.
void loadModel(const QByteArray &bytes, const QString &folder, tinygltf::Model &model)
{
    const bool binary = bytes.startsWith("glTF");
    if (bytes.isEmpty())
        refuse(QStringLiteral("the file is empty"));
    if (quint64(bytes.size()) >= std::numeric_limits<unsigned int>::max())
        refuse(QStringLiteral("the file is too large (4 GiB at most)"));
    // The JSON is checked here first: its nesting depth is limited, and the buffer and image
    // URIs are known before tinygltf asks for any file.
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(jsonOf(bytes, binary), &parseError);
    if (!doc.isObject())
        refuse(doc.isNull() ? QStringLiteral("the file is neither glTF JSON nor a .glb (%1 at byte %2)")
                                  .arg(parseError.errorString()).arg(parseError.offset)
                            : QStringLiteral("the file's JSON is not a glTF object"));
    const QJsonObject root = doc.object();

    FileGate gate;
    gate.folder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    std::set<std::string> bufferFiles;
    for (const QJsonValue &b : root.value(QLatin1String("buffers")).toArray()) {
        const QJsonValue uriValue = b.toObject().value(QLatin1String("uri"));
        if (!uriValue.isString())
            continue;
        const QString uri = uriValue.toString();
        if (isDataUri(uri))
            continue;
        if (const QString problem = uriProblem(uri); !problem.isEmpty())
            refuse(QStringLiteral("a buffer names %1").arg(problem));
        const std::string decoded = urlDecode(uri.toStdString());
        bufferFiles.insert(decoded);
        gate.allowed.insert(gate.folder.toStdString() + '/' + decoded);
    }
    for (const QJsonValue &i : root.value(QLatin1String("images")).toArray()) {
        const QJsonValue uriValue = i.toObject().value(QLatin1String("uri"));
        if (!uriValue.isString() || isDataUri(uriValue.toString()))
            continue;
        if (const QString problem = uriProblem(uriValue.toString()); !problem.isEmpty())
            refuse(QStringLiteral("an image names %1").arg(problem));
        if (bufferFiles.count(urlDecode(uriValue.toString().toStdString())))
            refuse(QStringLiteral("an image names the buffer file \"%1\"").arg(uriValue.toString().left(80)));
    }

    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({gateExists, gateExpand, gateRead, gateWrite, &gate});
    loader.SetImageLoader(keepImageBytes, nullptr);
    std::string err, warn;
    const std::string base = gate.folder.toStdString();
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const bool ok = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, data, unsigned(bytes.size()), base)
                           : loader.LoadASCIIFromString(&model, &err, &warn, bytes.constData(), unsigned(bytes.size()), base);
    if (!gate.problem.isEmpty())
        refuse(gate.problem);
    if (!ok)
        refuse(QStringLiteral("the file is not valid glTF: %1").arg(firstLine(err).left(200)));
}

// --- Building the scene -----------------------------------------------------------------------

/// Builds the host's nodes from a loaded model. Every reference is checked before use.
class Builder {
public:
    Builder(const tinygltf::Model &model, const QString &folder, const DzGltfImporter::Options &options)
        : m_model(model), m_folder(folder), m_options(options)
    {
    }
    // The builder holds a reference to each mesh and material it made, so that one whose
    // holders go (a node refused half-way) stays valid here; the last holder deletes it.
    ~Builder()
    {
        for (auto &[index, m] : m_materials)
            m->unref();
        for (auto &[key, mesh] : m_meshes)
            mesh->unref();
    }

    /// The new nodes in file order; their parents are in parents (index into nodes, -1).
    void build();
    std::vector<std::unique_ptr<DzNode>> nodes;
    std::vector<int> parents;
    std::vector<std::vector<int>> children;
    QStringList skipped() const { return m_skipped; }

private:
    void skip(const QString &what)
    {
        if (!m_skipped.contains(what))
            m_skipped.append(what);
    }
    template <class T>
    const T &at(const std::vector<T> &list, int index, const char *what) const
    {
        if (index < 0 || size_t(index) >= list.size())
            refuse(QStringLiteral("%1 %2 does not exist").arg(QLatin1String(what)).arg(index));
        return list[size_t(index)];
    }

    std::vector<float> readFloats(int accessor, int type, bool normalizedIntegers, const char *what);
    std::vector<uint32_t> readIndices(int accessor, size_t vertexCount);
    const unsigned char *viewBytes(int viewIndex, size_t *size) const;
    std::unique_ptr<DzNode> makeNode(int index);
    void setTransform(const tinygltf::Node &in, DzNode *node);
    DzObject *makeObject(int meshIndex, const QString &nodeName);
    DzFacetMesh *geometryOf(const tinygltf::Mesh &mesh, const std::vector<int> &usable);
    DzMaterial *materialOf(int index);   ///< one per glTF material, shared
    DzMaterial *makeMaterial(int index);
    DzTexture *textureOf(int index, int texCoord, const char *what);
    void makeSkyDome();

    const tinygltf::Model &m_model;
    QString m_folder;
    DzGltfImporter::Options m_options;
    QStringList m_skipped;
    std::map<std::vector<int>, DzFacetMesh *> m_meshes;   ///< by the accessors drawn
    std::map<int, DzMaterial *> m_materials;
    std::map<int, DzTexture *> m_images;
    QString m_imageFolder;
    QSet<QString> m_imageNames;
};

const unsigned char *Builder::viewBytes(int viewIndex, size_t *size) const
{
    const tinygltf::BufferView &view = at(m_model.bufferViews, viewIndex, "buffer view");
    const tinygltf::Buffer &buffer = at(m_model.buffers, view.buffer, "buffer");
    if (view.byteOffset > buffer.data.size() || view.byteLength > buffer.data.size() - view.byteOffset)
        refuse(QStringLiteral("buffer view %1 reaches beyond its buffer").arg(viewIndex));
    *size = view.byteLength;
    return buffer.data.data() + view.byteOffset;
}

std::vector<float> Builder::readFloats(int index, int type, bool normalizedIntegers, const char *what)
{
    const tinygltf::Accessor &a = at(m_model.accessors, index, "accessor");
    if (a.type != type)
        refuse(QStringLiteral("accessor %1 (%2) has the wrong type").arg(index).arg(QLatin1String(what)));
    if (a.sparse.isSparse)
        refuse(QStringLiteral("accessor %1 is sparse, which is not read").arg(index));
    const int comps = tinygltf::GetNumComponentsInType(uint32_t(type));
    int compSize = 0;
    switch (a.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: compSize = 4; break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: case TINYGLTF_COMPONENT_TYPE_BYTE: compSize = normalizedIntegers && a.normalized ? 1 : 0; break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: case TINYGLTF_COMPONENT_TYPE_SHORT: compSize = normalizedIntegers && a.normalized ? 2 : 0; break;
    default: break;
    }
    if (compSize == 0 || comps <= 0)
        refuse(QStringLiteral("accessor %1 (%2) has a component type that is not read").arg(index).arg(QLatin1String(what)));
    const size_t count = a.count;
    std::vector<float> out;
    if (a.bufferView < 0) {   // all zeros
        if (count > 1u << 24)
            refuse(QStringLiteral("accessor %1 is too large").arg(index));
        out.assign(count * size_t(comps), 0.0f);
        return out;
    }
    size_t size = 0;
    const unsigned char *base = viewBytes(a.bufferView, &size);
    const size_t element = size_t(compSize) * size_t(comps);
    const size_t declared = m_model.bufferViews[size_t(a.bufferView)].byteStride;
    const size_t stride = declared ? declared : element;
    if (stride < element)
        refuse(QStringLiteral("accessor %1 has a stride shorter than its elements").arg(index));
    if (count > 0 && (a.byteOffset > size || element > size - a.byteOffset
                      || (count - 1) > (size - a.byteOffset - element) / stride))
        refuse(QStringLiteral("accessor %1 reaches beyond its buffer view").arg(index));
    out.resize(count * size_t(comps));
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *p = base + a.byteOffset + i * stride;
        for (int c = 0; c < comps; ++c) {
            float v = 0;
            switch (a.componentType) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: std::memcpy(&v, p + c * 4, 4); break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: v = p[c] / 255.0f; break;
            case TINYGLTF_COMPONENT_TYPE_BYTE: v = std::max(float(int8_t(p[c])) / 127.0f, -1.0f); break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: v = qFromLittleEndian<quint16>(p + c * 2) / 65535.0f; break;
            case TINYGLTF_COMPONENT_TYPE_SHORT: v = std::max(float(qFromLittleEndian<qint16>(p + c * 2)) / 32767.0f, -1.0f); break;
            default: break;
            }
            if (!std::isfinite(v))
                refuse(QStringLiteral("accessor %1 (%2) holds a non-finite number").arg(index).arg(QLatin1String(what)));
            out[i * size_t(comps) + size_t(c)] = v;
        }
    }
    return out;
}

std::vector<uint32_t> Builder::readIndices(int index, size_t vertexCount)
{
    std::vector<uint32_t> out;
    if (index < 0) {   // unindexed: the vertices in order
        out.resize(vertexCount);
        for (size_t i = 0; i < vertexCount; ++i)
            out[i] = uint32_t(i);
        return out;
    }
    const tinygltf::Accessor &a = at(m_model.accessors, index, "accessor");
    if (a.type != TINYGLTF_TYPE_SCALAR || a.sparse.isSparse || a.bufferView < 0)
        refuse(QStringLiteral("accessor %1 is not an index list").arg(index));
    size_t element = 0;
    switch (a.componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: element = 1; break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: element = 2; break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: element = 4; break;
    default: refuse(QStringLiteral("accessor %1 has indices of a type that is not read").arg(index));
    }
    size_t size = 0;
    const unsigned char *base = viewBytes(a.bufferView, &size);
    const size_t declared = m_model.bufferViews[size_t(a.bufferView)].byteStride;
    const size_t stride = declared ? declared : element;
    if (stride < element)
        refuse(QStringLiteral("accessor %1 has a stride shorter than its elements").arg(index));
    const size_t count = a.count;
    if (count > 0 && (a.byteOffset > size || element > size - a.byteOffset
                      || (count - 1) > (size - a.byteOffset - element) / stride))
        refuse(QStringLiteral("accessor %1 reaches beyond its buffer view").arg(index));
    out.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *p = base + a.byteOffset + i * stride;
        const uint32_t v = element == 1 ? p[0] : element == 2 ? qFromLittleEndian<quint16>(p) : qFromLittleEndian<quint32>(p);
        if (v >= vertexCount)
            refuse(QStringLiteral("accessor %1 holds the vertex index %2 of %3 vertices").arg(index).arg(v).arg(vertexCount));
        out[i] = v;
    }
    return out;
}

DzFacetMesh *Builder::geometryOf(const tinygltf::Mesh &mesh, const std::vector<int> &usable)
{
    // The accessors drawn: meshes that draw the same ones share one host mesh.
    std::vector<int> key;
    auto attribute = [](const tinygltf::Primitive &p, const char *name) {
        const auto it = p.attributes.find(name);
        return it == p.attributes.end() ? -1 : it->second;
    };
    for (int i : usable) {
        const tinygltf::Primitive &p = mesh.primitives[size_t(i)];
        key.insert(key.end(), {attribute(p, "POSITION"), attribute(p, "NORMAL"), attribute(p, "TEXCOORD_0"), p.indices});
    }
    if (const auto found = m_meshes.find(key); found != m_meshes.end())
        return found->second;

    auto out = std::make_unique<DzFacetMesh>();
    // One block of host vertices (with their uvs and normals) per set of vertex accessors.
    struct Block {
        int vertex = 0, uv = -1, normal = -1;
        size_t count = 0;
    };
    std::map<std::tuple<int, int, int>, Block> blocks;
    for (size_t g = 0; g < usable.size(); ++g) {
        const int position = key[g * 4], normal = key[g * 4 + 1], uv = key[g * 4 + 2], indexAccessor = key[g * 4 + 3];
        Block &block = blocks[{position, normal, uv}];
        if (block.count == 0) {
            const std::vector<float> pos = readFloats(position, TINYGLTF_TYPE_VEC3, false, "POSITION");
            if (pos.size() / 3 > size_t(std::numeric_limits<int>::max() / 2) - size_t(out->getNumVertices()))
                refuse(QStringLiteral("the mesh \"%1\" is too large").arg(qs(mesh.name)));
            block.count = pos.size() / 3;
            block.vertex = out->getNumVertices();
            for (size_t i = 0; i < block.count; ++i) {
                const DzVec3 v(float(pos[i * 3] * kUnitsPerMetre), float(pos[i * 3 + 1] * kUnitsPerMetre),
                               float(pos[i * 3 + 2] * kUnitsPerMetre));
                if (!v.isFinite())
                    refuse(QStringLiteral("the mesh \"%1\" has a coordinate out of range").arg(qs(mesh.name).left(80)));
                out->addVertex(v);
            }
            if (normal >= 0) {
                const std::vector<float> n = readFloats(normal, TINYGLTF_TYPE_VEC3, true, "NORMAL");
                if (n.size() / 3 != block.count)
                    refuse(QStringLiteral("the mesh \"%1\" has %2 normals for %3 vertices").arg(qs(mesh.name)).arg(n.size() / 3).arg(block.count));
                block.normal = out->getNumNormals();
                for (size_t i = 0; i < block.count; ++i)
                    out->addNormal(DzVec3(n[i * 3], n[i * 3 + 1], n[i * 3 + 2]));
            }
            if (uv >= 0) {
                const std::vector<float> t = readFloats(uv, TINYGLTF_TYPE_VEC2, true, "TEXCOORD_0");
                if (t.size() / 2 != block.count)
                    refuse(QStringLiteral("the mesh \"%1\" has %2 texture coordinates for %3 vertices").arg(qs(mesh.name)).arg(t.size() / 2).arg(block.count));
                block.uv = out->getNumUVs();
                for (size_t i = 0; i < block.count; ++i)
                    out->addUVPoint(QPointF(t[i * 2], 1.0 - double(t[i * 2 + 1])));   // glTF's v runs down
            }
        }
        const std::vector<uint32_t> idx = readIndices(indexAccessor, block.count);
        if (idx.size() % 3)
            refuse(QStringLiteral("the mesh \"%1\" has an index count that is not a multiple of 3").arg(qs(mesh.name)));
        const tinygltf::Material *material =
            mesh.primitives[size_t(usable[g])].material >= 0 && size_t(mesh.primitives[size_t(usable[g])].material) < m_model.materials.size()
                ? &m_model.materials[size_t(mesh.primitives[size_t(usable[g])].material)]
                : nullptr;
        // One group per primitive, named after its material (numbered when the name is taken).
        const QString baseName = material && !material->name.empty() ? qs(material->name).left(100) : QStringLiteral("Surface");
        auto taken = [&](const QString &name) {
            for (int i = 0; i < out->getNumMaterialGroups(); ++i)
                if (out->getMaterialGroupName(i) == name)
                    return true;
            return false;
        };
        QString groupName = baseName;
        for (int n = 2; taken(groupName); ++n)
            groupName = baseName + QStringLiteral(" %1").arg(n);
        out->addMaterialGroup(groupName);
        const int group = out->getNumMaterialGroups() - 1;
        auto corner = [&](DzFacet &f, int k, uint32_t v) {
            f.m_vertIdx[k] = block.vertex + int(v);
            f.m_uvwIdx[k] = block.uv >= 0 ? block.uv + int(v) : -1;
            f.m_normIdx[k] = block.normal >= 0 ? block.normal + int(v) : -1;
        };
        for (size_t t = 0; t < idx.size(); t += 3) {
            DzFacet f;
            f.m_materialIdx = group;
            const uint32_t a = idx[t], b = idx[t + 1], c = idx[t + 2];
            // (a, b, c) followed by (a, c, d): the halves of the quad (a, b, c, d) as the writer
            // splits it; the quad splits the same way when written again.
            if (t + 5 < idx.size() && idx[t + 3] == a && idx[t + 4] == c) {
                const uint32_t d = idx[t + 5];
                if (a != b && a != c && a != d && b != c && b != d && c != d) {
                    corner(f, 0, a);
                    corner(f, 1, b);
                    corner(f, 2, c);
                    corner(f, 3, d);
                    out->addFacet(f);
                    t += 3;
                    continue;
                }
            }
            corner(f, 0, a);
            corner(f, 1, b);
            corner(f, 2, c);
            out->addFacet(f);
        }
    }
    DzFacetMesh *mesh_ = out.release();
    mesh_->ref();
    m_meshes.emplace(key, mesh_);
    return mesh_;
}

DzTexture *Builder::textureOf(int index, int texCoord, const char *what)
{
    if (index < 0)
        return nullptr;
    const tinygltf::Texture &texture = at(m_model.textures, index, "texture");
    if (texCoord != 0) {
        skip(QStringLiteral("textures on a second uv set"));
        return nullptr;
    }
    if (!texture.extensions.empty())
        for (const auto &[name, value] : texture.extensions)
            skip(QStringLiteral("texture extension %1").arg(qs(name)));
    if (texture.source < 0) {
        skip(QStringLiteral("textures without an image"));
        return nullptr;
    }
    const tinygltf::Image &image = at(m_model.images, texture.source, "image");
    if (const auto found = m_images.find(texture.source); found != m_images.end())
        return found->second;
    DzImageMgr *images = m_options.images ? m_options.images : dzApp ? dzApp->getImageMgr() : nullptr;
    DzTexture *result = nullptr;
    if (!images) {
        skip(QStringLiteral("textures (no image manager)"));
    } else if (image.bufferView < 0 && image.image.empty()) {
        // A file beside the scene.
        const QString uri = qs(image.uri);
        const QString problem = uriProblem(uri);
        if (!problem.isEmpty())
            refuse(QStringLiteral("an image names %1").arg(problem));
        const QString file = confinedFile(m_folder, qs(urlDecode(image.uri)));
        if (file.isEmpty()) {
            skip(QStringLiteral("missing %1 \"%2\"").arg(QLatin1String(what), uri.left(80)));
        } else {
            result = images->getImage(file);
            if (result)
                result->refresh();
        }
    } else {
        // Inside the file: written out, under the image's name, for the host to read.
        const unsigned char *bytes = image.image.data();
        size_t size = image.image.size();
        if (image.bufferView >= 0)
            bytes = viewBytes(image.bufferView, &size);
        const QString kind = imageKind(bytes, size);
        if (kind.isEmpty()) {
            skip(QStringLiteral("images that are neither JPEG nor PNG"));
        } else {
            if (m_imageFolder.isEmpty()) {
                m_imageFolder = m_options.imageFolder.isEmpty() ? processImageFolder() : m_options.imageFolder;
                if (m_imageFolder.isEmpty() || !QDir().mkpath(m_imageFolder))
                    refuse(QStringLiteral("cannot make a folder for the scene's pictures"));
            }
            QString base = plainName(image.name.empty() ? QStringLiteral("image_%1").arg(texture.source) : qs(image.name));
            if (base.isEmpty())
                base = QStringLiteral("image_%1").arg(texture.source);
            QString name = base + QLatin1Char('.') + kind;
            for (int n = 2; m_imageNames.contains(name.toLower()); ++n)
                name = base + QStringLiteral("_%1.").arg(n) + kind;
            m_imageNames.insert(name.toLower());
            const QString file = m_imageFolder + QLatin1Char('/') + name;
            QSaveFile out(file);
            if (!out.open(QIODevice::WriteOnly) || out.write(reinterpret_cast<const char *>(bytes), qint64(size)) != qint64(size)
                || !out.commit())
                refuse(QStringLiteral("cannot write the picture \"%1\"").arg(QDir::toNativeSeparators(file)));
            result = images->getImage(file);
            if (result)
                result->refresh();
        }
    }
    m_images.emplace(texture.source, result);
    return result;
}

DzMaterial *Builder::materialOf(int index)
{
    if (const auto found = m_materials.find(index); found != m_materials.end())
        return found->second;
    DzMaterial *material = makeMaterial(index);
    material->ref();
    m_materials.emplace(index, material);
    return material;
}

DzMaterial *Builder::makeMaterial(int index)
{
    if (index < 0) {
        auto *plain = new DzDefaultMaterial;
        plain->setName(QStringLiteral("Default"));
        return plain;
    }
    const tinygltf::Material &in = at(m_model.materials, index, "material");
    const auto &pbr = in.pbrMetallicRoughness;
    const QColor colour = srgbColour(pbr.baseColorFactor);
    const double roughness = std::isfinite(pbr.roughnessFactor) ? std::clamp(pbr.roughnessFactor, 0.0, 1.0) : 1.0;
    const bool unlit = in.extensions.count("KHR_materials_unlit") > 0;
    for (const auto &[name, value] : in.extensions)
        if (name != "KHR_materials_unlit")
            skip(QStringLiteral("material extension %1").arg(qs(name)));
    if (in.emissiveTexture.index >= 0 || (in.emissiveFactor.size() >= 3 && (in.emissiveFactor[0] > 0 || in.emissiveFactor[1] > 0 || in.emissiveFactor[2] > 0)))
        skip(QStringLiteral("emission"));
    if (in.occlusionTexture.index >= 0)
        skip(QStringLiteral("occlusion textures"));
    if (pbr.metallicRoughnessTexture.index >= 0)
        skip(QStringLiteral("metal/roughness textures"));
    if (in.alphaMode != "OPAQUE" && !in.alphaMode.empty())
        skip(QStringLiteral("transparency"));

    DzTexture *base = textureOf(pbr.baseColorTexture.index, pbr.baseColorTexture.texCoord, "texture");
    DzTexture *normal = unlit ? nullptr : textureOf(in.normalTexture.index, in.normalTexture.texCoord, "normal map");

    DzMaterial *out = nullptr;
    if (unlit) {
        // Lit by its ambient colour alone, as the writer's sky material is.
        auto *m = new DzDefaultMaterial;
        m->setLightingModel(DzDefaultMaterial::Matte);
        m->setDiffuseStrength(0.0f);
        m->setAmbientStrength(1.0f);
        m->setAmbientColor(colour);
        m->setAmbientColorMap(base);
        m->setSpecularStrength(0.0f);
        out = m;
    } else if (normal) {
        // The brick network the terrain's material has: image → surface → root, normal map.
        auto *m = new DzBrickMaterial;
        auto *root = new DzSimpleSurfaceBrick;
        auto *surface = new DzDefaultMaterialBrick;
        auto *picture = new DzImageBrick;
        auto *normalBrick = new DzNormalMapBrick;
        for (DzShaderBrick *b : {static_cast<DzShaderBrick *>(surface), static_cast<DzShaderBrick *>(picture),
                                 static_cast<DzShaderBrick *>(normalBrick), static_cast<DzShaderBrick *>(root)})
            m->addBrick(b);
        if (auto *c = qobject_cast<DzColorProperty *>(picture->findParameterByArg(QStringLiteral("color"))->getProperty())) {
            c->setColorValue(colour);
            c->setMap(base);
        }
        if (auto *n = qobject_cast<DzImageProperty *>(normalBrick->findParameterByArg(QStringLiteral("normalmap"))->getProperty()))
            n->setValue(normal);
        if (auto *g = qobject_cast<DzFloatProperty *>(surface->findParameterByArg(QStringLiteral("Glossiness"))->getProperty()))
            g->setValue(float(1.0 - roughness));
        if (auto *s = qobject_cast<DzFloatProperty *>(surface->findParameterByArg(QStringLiteral("SpecularStrength"))->getProperty()))
            s->setValue(1.0f);
        picture->findParameterByArg(QStringLiteral("outColor"))->addConnection(surface->findParameterByArg(QStringLiteral("DiffuseColor")));
        surface->findParameterByArg(QStringLiteral("ColorOut"))->addConnection(root->findParameterByArg(QStringLiteral("c_in")));
        surface->findParameterByArg(QStringLiteral("OpacityOut"))->addConnection(root->findParameterByArg(QStringLiteral("o_in")));
        m->setDiffuseColor(colour);
        m->update();
        out = m;
    } else {
        auto *m = new DzDefaultMaterial;
        m->setDiffuseColor(colour);
        m->setColorMap(base);
        m->setGlossinessStrength(float(1.0 - roughness));
        m->setSpecularStrength(1.0f);
        const bool metal = std::isfinite(pbr.metallicFactor) && pbr.metallicFactor >= 0.5;
        m->setLightingModel(metal ? DzDefaultMaterial::Metallic : DzDefaultMaterial::Plastic);
        out = m;
    }
    const QString name = in.extras.IsObject() && in.extras.Has("dzName") && in.extras.Get("dzName").IsString()
                             ? qs(in.extras.Get("dzName").Get<std::string>())
                             : qs(in.name);
    out->setName(name);
    out->setLabel(qs(in.name));
    return out;
}

DzObject *Builder::makeObject(int meshIndex, const QString &nodeName)
{
    const tinygltf::Mesh &mesh = at(m_model.meshes, meshIndex, "mesh");
    std::vector<int> usable;
    for (size_t i = 0; i < mesh.primitives.size(); ++i) {
        const tinygltf::Primitive &p = mesh.primitives[i];
        if (!p.targets.empty())
            skip(QStringLiteral("morph targets"));
        if (p.mode != TINYGLTF_MODE_TRIANGLES && p.mode != -1) {
            skip(QStringLiteral("primitives that are not triangles"));
            continue;
        }
        if (!p.attributes.count("POSITION")) {
            skip(QStringLiteral("primitives without positions"));
            continue;
        }
        for (const auto &[name, accessor] : p.attributes)
            if (name != "POSITION" && name != "NORMAL" && name != "TEXCOORD_0" && name != "TANGENT")
                skip(QStringLiteral("vertex attribute %1").arg(qs(name).left(40)));
        for (const auto &[name, value] : p.extensions)
            skip(QStringLiteral("primitive extension %1").arg(qs(name)));
        usable.push_back(int(i));
    }
    if (!mesh.weights.empty())
        skip(QStringLiteral("morph targets"));
    if (usable.empty())
        return nullptr;
    DzFacetMesh *geometry = geometryOf(mesh, usable);
    auto shape = std::make_unique<DzFacetShape>();
    shape->setFacetMesh(geometry);
    for (int i : usable) {
        const int index = mesh.primitives[size_t(i)].material;
        // A material on two primitives of one mesh: the second group gets a copy of its own
        // (a shape holds a material once).
        DzMaterial *material = materialOf(index);
        if (shape->findMaterialIndex(material) >= 0)
            material = makeMaterial(index);
        shape->addMaterial(material);
    }
    auto object = std::make_unique<DzObject>();
    object->setName(mesh.name.empty() ? nodeName : qs(mesh.name));
    object->addShape(shape.release());
    return object.release();
}

void Builder::setTransform(const tinygltf::Node &in, DzNode *node)
{
    auto finite = [](const std::vector<double> &v) { return std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); }); };
    if (!finite(in.translation) || !finite(in.rotation) || !finite(in.scale) || !finite(in.matrix))
        refuse(QStringLiteral("the node \"%1\" has a non-finite transform").arg(qs(in.name).left(80)));
    double t[3] = {0, 0, 0}, s[3] = {1, 1, 1};
    double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};   // rotation matrix, r[row][column]
    if (in.matrix.size() == 16) {
        const auto m = [&](int row, int col) { return in.matrix[size_t(col * 4 + row)]; };
        if (m(3, 0) != 0 || m(3, 1) != 0 || m(3, 2) != 0 || m(3, 3) != 1)
            skip(QStringLiteral("projective transforms"));
        for (int i = 0; i < 3; ++i)
            t[i] = m(i, 3);
        double col[3][3];
        for (int c = 0; c < 3; ++c) {
            for (int row = 0; row < 3; ++row)
                col[c][row] = m(row, c);
            s[c] = std::sqrt(col[c][0] * col[c][0] + col[c][1] * col[c][1] + col[c][2] * col[c][2]);
        }
        const double det = col[0][0] * (col[1][1] * col[2][2] - col[1][2] * col[2][1])
                           - col[1][0] * (col[0][1] * col[2][2] - col[0][2] * col[2][1])
                           + col[2][0] * (col[0][1] * col[1][2] - col[0][2] * col[1][1]);
        if (det < 0)
            s[0] = -s[0];   // a mirror: on x
        if (s[0] != 0 && s[1] != 0 && s[2] != 0) {
            for (int c = 0; c < 3; ++c)
                for (int row = 0; row < 3; ++row)
                    r[row][c] = col[c][row] / s[c];
            // Columns that are not perpendicular: a shear, which the host's controls cannot hold.
            for (int a = 0; a < 3; ++a)
                for (int b = a + 1; b < 3; ++b)
                    if (std::fabs(r[0][a] * r[0][b] + r[1][a] * r[1][b] + r[2][a] * r[2][b]) > 1e-4)
                        skip(QStringLiteral("sheared transforms (kept without the shear)"));
        }
    } else if (!in.matrix.empty()) {
        refuse(QStringLiteral("the node \"%1\" has a matrix of %2 values").arg(qs(in.name).left(80)).arg(in.matrix.size()));
    } else {
        if (!in.translation.empty() && in.translation.size() != 3)
            refuse(QStringLiteral("the node \"%1\" has a malformed translation").arg(qs(in.name).left(80)));
        if (!in.scale.empty() && in.scale.size() != 3)
            refuse(QStringLiteral("the node \"%1\" has a malformed scale").arg(qs(in.name).left(80)));
        if (!in.rotation.empty() && in.rotation.size() != 4)
            refuse(QStringLiteral("the node \"%1\" has a malformed rotation").arg(qs(in.name).left(80)));
        for (int i = 0; i < 3 && !in.translation.empty(); ++i)
            t[i] = in.translation[size_t(i)];
        for (int i = 0; i < 3 && !in.scale.empty(); ++i)
            s[i] = in.scale[size_t(i)];
        if (!in.rotation.empty()) {
            double x = in.rotation[0], y = in.rotation[1], z = in.rotation[2], w = in.rotation[3];
            const double len = std::sqrt(x * x + y * y + z * z + w * w);
            if (!(len > 1e-12) || !std::isfinite(len))
                refuse(QStringLiteral("the node \"%1\" has a rotation of length 0").arg(qs(in.name).left(80)));
            x /= len, y /= len, z /= len, w /= len;
            r[0][0] = 1 - 2 * (y * y + z * z), r[0][1] = 2 * (x * y - z * w), r[0][2] = 2 * (x * z + y * w);
            r[1][0] = 2 * (x * y + z * w), r[1][1] = 1 - 2 * (x * x + z * z), r[1][2] = 2 * (y * z - x * w);
            r[2][0] = 2 * (x * z - y * w), r[2][1] = 2 * (y * z + x * w), r[2][2] = 1 - 2 * (x * x + y * y);
        }
    }
    // Rotations about X, then Y, then Z (the host's XYZ order): R = Rz(c) · Ry(b) · Rx(a).
    double a, b, c;
    const double sinB = std::clamp(-r[2][0], -1.0, 1.0);
    b = std::asin(sinB);
    if (std::fabs(sinB) < 0.9999999) {
        a = std::atan2(r[2][1], r[2][2]);
        c = std::atan2(r[1][0], r[0][0]);
    } else {   // straight up or down: only a + c or a − c is known; a = 0
        a = 0;
        c = std::atan2(-r[0][1], r[1][1]);
    }
    const double position[3] = {t[0] * kUnitsPerMetre, t[1] * kUnitsPerMetre, t[2] * kUnitsPerMetre};
    for (double v : {position[0], position[1], position[2], s[0], s[1], s[2]})
        if (!std::isfinite(float(v)))
            refuse(QStringLiteral("the node \"%1\" has a transform out of range").arg(qs(in.name).left(80)));
    node->setRotationOrder(DzNode::XYZ);
    node->getXPosControl()->setValue(float(position[0]));
    node->getYPosControl()->setValue(float(position[1]));
    node->getZPosControl()->setValue(float(position[2]));
    node->getXRotControl()->setValue(float(qRadiansToDegrees(a)));
    node->getYRotControl()->setValue(float(qRadiansToDegrees(b)));
    node->getZRotControl()->setValue(float(qRadiansToDegrees(c)));
    node->getXScaleControl()->setValue(float(s[0]));
    node->getYScaleControl()->setValue(float(s[1]));
    node->getZScaleControl()->setValue(float(s[2]));
}

std::unique_ptr<DzNode> Builder::makeNode(int index)
{
    const tinygltf::Node &in = m_model.nodes[size_t(index)];
    const QString label = qs(in.name);
    QString name = label;
    bool hidden = false;
    if (in.extras.IsObject()) {
        if (in.extras.Has("dzName") && in.extras.Get("dzName").IsString())
            name = qs(in.extras.Get("dzName").Get<std::string>());
        if (in.extras.Has("visible") && in.extras.Get("visible").IsBool())
            hidden = !in.extras.Get("visible").Get<bool>();
    }

    int lightIndex = -1;
    for (const auto &[ext, value] : in.extensions) {
        if (ext == "KHR_lights_punctual" && value.IsObject() && value.Has("light") && value.Get("light").IsInt())
            lightIndex = value.Get("light").Get<int>();
        else
            skip(QStringLiteral("node extension %1").arg(qs(ext).left(40)));
    }

    std::unique_ptr<DzNode> node;
    if (in.camera >= 0) {
        const tinygltf::Camera &camera = at(m_model.cameras, in.camera, "camera");
        if (camera.type == "perspective") {
            auto cam = std::make_unique<DzBasicCamera>();
            const double yfov = camera.perspective.yfov;
            if (std::isfinite(yfov) && yfov > 0)
                cam->setFieldOfView(float(qRadiansToDegrees(yfov)));
            node = std::move(cam);
        } else {
            skip(QStringLiteral("orthographic cameras"));
        }
        if (lightIndex >= 0)
            skip(QStringLiteral("lights on camera nodes"));
    } else if (lightIndex >= 0) {
        const tinygltf::Light &light = at(m_model.lights, lightIndex, "light");
        if (light.type == "directional") {
            auto sun = std::make_unique<DzDistantLight>();
            sun->setDiffuseColor(srgbColour(light.color));
            if (std::isfinite(light.intensity))
                sun->setIntensity(float(light.intensity / kLuxAtFullIntensity));
            node = std::move(sun);
        } else {
            skip(QStringLiteral("point and spot lights"));
        }
    }
    if (!node)
        node = std::make_unique<DzNode>();
    node->setName(name);
    node->setLabel(label);
    node->getVisibilityControl()->setBoolValue(!hidden);
    setTransform(in, node.get());
    if (in.skin >= 0)
        skip(QStringLiteral("skins"));
    if (!in.weights.empty())
        skip(QStringLiteral("morph targets"));
    if (in.mesh >= 0)
        if (DzObject *object = makeObject(in.mesh, name))
            node->setObject(object);
    return node;
}

void Builder::build()
{
    for (const std::string &e : m_model.extensionsRequired)
        if (e != "KHR_lights_punctual" && e != "KHR_materials_unlit")
            refuse(QStringLiteral("the file requires the extension %1, which is not read here").arg(qs(e).left(60)));
    for (const std::string &e : m_model.extensionsUsed)
        if (e != "KHR_lights_punctual" && e != "KHR_materials_unlit")
            skip(QStringLiteral("extension %1").arg(qs(e).left(60)));
    if (!m_model.animations.empty())
        skip(QStringLiteral("animations"));
    if (!m_model.skins.empty())
        skip(QStringLiteral("skins"));

    // The hierarchy: every child named once, by one parent, without cycles.
    const size_t count = m_model.nodes.size();
    std::vector<int> parentOf(count, -1);
    for (size_t i = 0; i < count; ++i)
        for (int c : m_model.nodes[i].children) {
            if (c < 0 || size_t(c) >= count)
                refuse(QStringLiteral("node %1 has the child %2, which does not exist").arg(i).arg(c));
            if (parentOf[size_t(c)] >= 0 || size_t(c) == i)
                refuse(QStringLiteral("node %1 has more than one parent").arg(c));
            parentOf[size_t(c)] = int(i);
        }
    for (size_t i = 0; i < count; ++i) {
        size_t steps = 0;
        for (int p = parentOf[i]; p >= 0; p = parentOf[size_t(p)])
            if (++steps > count)
                refuse(QStringLiteral("the node hierarchy has a cycle"));
    }

    // The scene's roots (every root node when the file has no scene).
    std::vector<int> roots;
    const tinygltf::Scene *scene = nullptr;
    if (!m_model.scenes.empty()) {
        const int chosen = m_model.defaultScene >= 0 ? m_model.defaultScene : 0;
        scene = &at(m_model.scenes, chosen, "scene");
        if (m_model.scenes.size() > 1)
            skip(QStringLiteral("other scenes"));
        std::set<int> seen;
        for (int r : scene->nodes) {
            if (r < 0 || size_t(r) >= count)
                refuse(QStringLiteral("the scene names node %1, which does not exist").arg(r));
            if (parentOf[size_t(r)] >= 0 || !seen.insert(r).second)
                refuse(QStringLiteral("the scene names node %1, which is not a root").arg(r));
            roots.push_back(r);
        }
    } else {
        for (size_t i = 0; i < count; ++i)
            if (parentOf[i] < 0)
                roots.push_back(int(i));
    }
    std::vector<bool> wanted(count, false);
    std::vector<int> stack(roots.begin(), roots.end());
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        wanted[size_t(n)] = true;
        for (int c : m_model.nodes[size_t(n)].children)
            stack.push_back(c);
    }

    std::vector<int> newIndex(count, -1);
    for (size_t i = 0; i < count; ++i)
        if (wanted[i]) {
            newIndex[i] = int(nodes.size());
            nodes.push_back(makeNode(int(i)));
        }
    parents.assign(nodes.size(), -1);
    children.assign(nodes.size(), {});
    for (size_t i = 0; i < count; ++i)
        if (wanted[i]) {
            if (parentOf[i] >= 0)
                parents[size_t(newIndex[i])] = newIndex[size_t(parentOf[i])];
            for (int c : m_model.nodes[i].children)
                children[size_t(newIndex[i])].push_back(newIndex[size_t(c)]);
        }

    if (scene && scene->extras.IsObject() && scene->extras.Has("environment") && scene->extras.Get("environment").IsString())
        makeSkyDome();
}

// The writer leaves the sky dome out and puts its picture beside the file: a dome is made again
// around what the file holds, the size of the one the scene builder makes (a radius of five
// times the terrain's width).
void Builder::makeSkyDome()
{
    const tinygltf::Value &extras = m_model.scenes[size_t(m_model.defaultScene >= 0 ? m_model.defaultScene : 0)].extras;
    const QString picture = qs(extras.Get("environment").Get<std::string>());
    if (!uriProblem(picture).isEmpty() || isDataUri(picture)) {
        skip(QStringLiteral("the sky picture (not a file beside the scene)"));
        return;
    }
    const QString file = confinedFile(m_folder, picture);
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        skip(QStringLiteral("the sky (its picture \"%1\" is missing)").arg(picture.left(80)));
        return;
    }
    const QByteArray head = f.read(8);
    if (imageKind(reinterpret_cast<const unsigned char *>(head.constData()), size_t(head.size())).isEmpty()) {
        skip(QStringLiteral("the sky (its picture is neither JPEG nor PNG)"));
        return;
    }
    DzImageMgr *images = m_options.images ? m_options.images : dzApp ? dzApp->getImageMgr() : nullptr;
    if (!images)
        return;

    // The width of what the scene shows, from the world-space bounds of its meshes.
    std::vector<QMatrix4x4> world(nodes.size());
    double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    double hi[3] = {-lo[0], -lo[1], -lo[2]};
    for (size_t i = 0; i < nodes.size(); ++i) {
        QMatrix4x4 m = nodes[i]->getLocalTransform();
        for (int p = parents[i]; p >= 0; p = parents[size_t(p)])
            m = nodes[size_t(p)]->getLocalTransform() * m;
        const DzObject *object = nodes[i]->getObject();
        const auto *mesh = object ? qobject_cast<const DzFacetMesh *>(object->getCurrentGeometryForNode()) : nullptr;
        if (!mesh)
            continue;
        DzVec3 bmin, bmax;
        if (!mesh->getBoundingBox(bmin, bmax))
            continue;
        for (int k = 0; k < 8; ++k) {
            const QVector3D v = m.map(QVector3D(k & 1 ? bmax.m_x : bmin.m_x, k & 2 ? bmax.m_y : bmin.m_y, k & 4 ? bmax.m_z : bmin.m_z));
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], double(v[a]));
                hi[a] = std::max(hi[a], double(v[a]));
            }
        }
    }
    double width = 0, centre[3] = {0, 0, 0};
    if (lo[0] <= hi[0]) {
        width = std::max(hi[0] - lo[0], hi[2] - lo[2]);
        centre[0] = (lo[0] + hi[0]) / 2;
        centre[2] = (lo[2] + hi[2]) / 2;
        centre[1] = lo[1];
    }
    const double radius = std::max(5.0 * width, 10000.0);   // ≥ 100 m
    if (!std::isfinite(radius) || radius > 1e9 || !std::isfinite(centre[0] + centre[1] + centre[2]))
        return;

    // A sphere seen from inside, equirectangular: v = 1 at the zenith, 0 at the nadir.
    auto *mesh = new DzFacetMesh;
    const int rings = 16, segments = 32;
    for (int j = 0; j <= rings; ++j)
        for (int i = 0; i <= segments; ++i) {
            const double polar = M_PI * j / rings, azimuth = 2 * M_PI * i / segments;
            mesh->addVertex(DzVec3(float(kDomeModelRadius * std::sin(polar) * std::sin(azimuth)),
                                   float(kDomeModelRadius * std::cos(polar)),
                                   float(kDomeModelRadius * std::sin(polar) * std::cos(azimuth))));
            mesh->addUVPoint(QPointF(double(i) / segments, 1.0 - double(j) / rings));
        }
    mesh->addMaterialGroup(QStringLiteral("skyDome"));
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < segments; ++i) {
            const int a = j * (segments + 1) + i;
            DzFacet f;
            const int corners[4] = {a, a + 1, a + segments + 2, a + segments + 1};   // facing inwards
            for (int k = 0; k < 4; ++k)
                f.m_vertIdx[k] = f.m_uvwIdx[k] = corners[k];
            mesh->addFacet(f);
        }
    auto *sky = new DzDefaultMaterial;
    sky->setName(QStringLiteral("Sky Default"));
    sky->setLabel(QStringLiteral("Sky Default"));
    sky->setLightingModel(DzDefaultMaterial::Matte);
    DzTexture *texture = images->getImage(file);
    if (texture)
        texture->refresh();
    sky->setAmbientColorMap(texture);
    sky->setDiffuseStrength(0.0f);
    sky->setAmbientStrength(1.0f);
    sky->setAmbientColor(Qt::white);
    sky->setSpecularStrength(0.0f);
    auto *shape = new DzFacetShape;
    shape->setFacetMesh(mesh);
    shape->addMaterial(sky);
    auto *object = new DzObject;
    object->setName(QStringLiteral("skyDome"));
    object->addShape(shape);
    auto dome = std::make_unique<DzNode>();
    dome->setName(QStringLiteral("skyDome"));
    dome->setLabel(QStringLiteral("skyDome"));
    dome->setObject(object);
    dome->getScaleControl()->setValue(float(radius / kDomeModelRadius));
    dome->getXPosControl()->setValue(float(centre[0]));
    dome->getYPosControl()->setValue(float(centre[1]));
    dome->getZPosControl()->setValue(float(centre[2]));
    dome->getShadowControl()->setBoolValue(false);
    dome->setProperty("environment", true);
    nodes.push_back(std::move(dome));
    parents.push_back(-1);
    children.emplace_back();
}

} // namespace

bool DzGltfImporter::readScene(const QByteArray &bytes, const QString &folder, DzScene *scene, QString *error,
                               QString *skipped, const Options &options)
{
    if (!scene) {
        if (error)
            *error = QStringLiteral("there is no scene to read into");
        return false;
    }
    try {
        tinygltf::Model model;
        loadModel(bytes, folder, model);
        Builder builder(model, QDir::cleanPath(QFileInfo(folder).absoluteFilePath()), options);
        builder.build();
        // Everything is read: the new nodes replace the scene's, in file order, then take their
        // places in the hierarchy (adding a parent first would add its children with it).
        scene->clear();
        std::vector<DzNode *> added;
        for (std::unique_ptr<DzNode> &node : builder.nodes) {
            added.push_back(node.get());
            scene->addNode(node.release());
        }
        for (size_t i = 0; i < added.size(); ++i)
            for (int c : builder.children[i])
                added[i]->addNodeChild(added[size_t(c)]);
        if (skipped)
            *skipped = builder.skipped().join(QStringLiteral(", "));
        if (error)
            error->clear();
        return true;
    } catch (const Refusal &r) {
        if (error)
            *error = r.why;
        return false;
    } catch (const std::exception &e) {
        // tinygltf's JSON parser throws on some input it cannot take.
        if (error)
            *error = QStringLiteral("the file is not valid glTF: %1").arg(QString::fromLocal8Bit(e.what()).left(200));
        return false;
    }
}

bool DzGltfImporter::readScene(const QString &path, DzScene *scene, QString *error, QString *skipped, const Options &options)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("the file does not exist"));
    if (!info.isFile())
        return fail(QStringLiteral("it is not a file"));
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("it cannot be read (%1)").arg(file.errorString()));
    if (file.size() >= qint64(std::numeric_limits<unsigned int>::max()))
        return fail(QStringLiteral("the file is too large (4 GiB at most)"));
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        return fail(QStringLiteral("it cannot be read whole"));
    return readScene(bytes, info.absolutePath(), scene, error, skipped, options);
}
