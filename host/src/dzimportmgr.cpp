#include "dzimportmgr.h"
#include "dzapp.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzscene.h"
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>

// --- DzImporter ---------------------------------------------------------------------------

DzImporter::DzImporter(QObject *parent) : QObject(parent) {}

bool DzImporter::recognize(const QString &filename) const
{
    return getExtensions().contains(QFileInfo(filename).suffix().toLower());
}

DzError DzImporter::readGeometry(const QString &filename, const DzFileIOSettings *settings)
{
    m_lastNode = nullptr;
    clearError();
    if (!dzScene) {
        setError(DZ_NO_SCENE_ERROR, QStringLiteral("there is no scene to import into"));
        return DZ_NO_SCENE_ERROR;
    }
    DzFacetShape *shape = readShape(filename, settings);
    if (!shape)
        return lastErrorCode() == DZ_NO_ERROR ? DZ_FORMAT_ERROR : lastErrorCode();
    QString path = filename;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString base = QFileInfo(path).completeBaseName();
    auto *object = new DzObject;
    object->setName(base);
    object->addShape(shape);
    auto *node = new DzNode;
    node->setName(base);
    node->setLabel(base);
    node->setObject(object);
    dzScene->addNode(node);
    m_lastNode = node;
    return DZ_NO_ERROR;
}

// --- The OBJ reader -----------------------------------------------------------------------

namespace {

using Tokens = std::vector<std::string_view>;

void split(std::string_view line, Tokens &out)
{
    out.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
}

bool toFloat(std::string_view s, float &value)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(value);
}

bool toIndex(std::string_view s, long long &value)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

double unitOfPreset(const QString &preset, bool &known)
{
    known = true;
    if (preset.isEmpty() || preset == QLatin1String("DAZ Studio (1 unit = 1cm)")
        || preset == QLatin1String("Maya (1 unit = 1cm)"))
        return 1.0;
    if (preset == QLatin1String("Lightwave (1 unit = 1m)") || preset == QLatin1String("Blender (1 unit = 1m)"))
        return 100.0;
    if (preset == QLatin1String("Poser (1 unit = 8ft 4in)"))
        return 254.0;
    known = false;
    return 1.0;
}

class ObjReader {
public:
    double scale = 1.0;
    bool swapYZ = false, includeG = true, includeVT = true, includeUsemtl = true;
    QString error;

    // Reads the text into mesh; false with error set when it is malformed.
    bool read(const QByteArray &text, DzFacetMesh &mesh)
    {
        const std::string_view all(text.constData(), size_t(text.size()));
        Tokens tok;
        QString faceGroup = QStringLiteral("default"), materialGroup = QStringLiteral("default");
        size_t pos = 0;
        qsizetype lineNo = 0;
        while (pos < all.size()) {
            size_t end = all.find('\n', pos);
            if (end == std::string_view::npos)
                end = all.size();
            std::string_view line = all.substr(pos, end - pos);
            pos = end + 1;
            ++lineNo;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            split(line, tok);
            if (tok.empty() || tok[0].front() == '#')
                continue;
            const std::string_view key = tok[0];
            if (key == "v") {
                DzVec3 v;
                if (!readVec(tok, 3, v))
                    return fail(lineNo, QStringLiteral("a vertex needs three numbers"));
                mesh.addVertex(orient(v) * float(scale));
            } else if (key == "vn") {
                DzVec3 n;
                if (!readVec(tok, 3, n))
                    return fail(lineNo, QStringLiteral("a normal needs three numbers"));
                mesh.addNormal(orient(n));
            } else if (key == "vt") {
                if (!includeVT)
                    continue;
                float u = 0.0f, v = 0.0f;
                if (tok.size() < 2 || !toFloat(tok[1], u) || (tok.size() > 2 && !toFloat(tok[2], v)))
                    return fail(lineNo, QStringLiteral("a texture coordinate needs one or two numbers"));
                mesh.addUVPoint(QPointF(u, v));
            } else if (key == "f") {
                if (!readFace(tok, lineNo, mesh, faceGroup, materialGroup))
                    return false;
            } else if (key == "g") {
                if (includeG)
                    faceGroup = restOf(tok, QStringLiteral("default"));
            } else if (key == "usemtl") {
                if (includeUsemtl)
                    materialGroup = restOf(tok, QStringLiteral("default"));
            }
            // o, s, mtllib, l, p and anything else: not needed for the surface.
        }
        if (m_pending.isEmpty())
            return fail(0, QStringLiteral("the file holds no faces"));
        for (qsizetype i = 0; i < m_pending.size(); ++i)
            if (!mesh.addFacet(m_pending[i]))
                return fail(m_pendingLines[i], QStringLiteral("a face refers to a vertex, texture coordinate or normal that the file does not define"));
        return true;
    }

private:
    QVector<DzFacet> m_pending;
    QVector<qsizetype> m_pendingLines;

    bool fail(qsizetype line, const QString &what)
    {
        error = line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(what) : what;
        return false;
    }

    static QString restOf(const Tokens &tok, const QString &def)
    {
        if (tok.size() < 2)
            return def;
        QString s;
        for (size_t i = 1; i < tok.size(); ++i) {
            if (i > 1)
                s += QLatin1Char(' ');
            s += QString::fromUtf8(tok[i].data(), qsizetype(tok[i].size()));
        }
        return s;
    }

    static bool readVec(const Tokens &tok, size_t n, DzVec3 &v)
    {
        float c[3] = {0, 0, 0};
        if (tok.size() < n + 1)
            return false;
        for (size_t i = 0; i < n; ++i)
            if (!toFloat(tok[i + 1], c[i]))
                return false;
        v = DzVec3(c[0], c[1], c[2]);
        return true;
    }

    // Z-up to Y-up as a rotation (x, y, z) → (x, z, −y), so that faces keep their winding.
    DzVec3 orient(const DzVec3 &v) const { return swapYZ ? DzVec3(v.m_x, v.m_z, -v.m_y) : v; }

    // One OBJ index to a 0-based one: 1 … n count from the start, -1 … -n back from the end of
    // what was read so far. Positive ones may point ahead; the mesh checks them at the end.
    static bool resolve(std::string_view s, qsizetype count, int &out)
    {
        long long i = 0;
        if (!toIndex(s, i) || i == 0)
            return false;
        const long long r = i > 0 ? i - 1 : count + i;
        if (r < 0 || r > 0x7fffffff)
            return false;
        out = int(r);
        return true;
    }

    struct Corner { int v = -1, t = -1, n = -1; };

    bool readFace(const Tokens &tok, qsizetype lineNo, DzFacetMesh &mesh, const QString &faceGroup,
                  const QString &materialGroup)
    {
        if (tok.size() < 4)
            return fail(lineNo, QStringLiteral("a face needs at least three corners"));
        std::vector<Corner> corners(tok.size() - 1);
        bool allUV = true, allNormals = true;
        for (size_t i = 1; i < tok.size(); ++i) {
            const std::string_view t = tok[i];
            const size_t s1 = t.find('/');
            const size_t s2 = s1 == std::string_view::npos ? s1 : t.find('/', s1 + 1);
            const std::string_view vs = t.substr(0, s1);
            std::string_view ts, ns;
            if (s1 != std::string_view::npos)
                ts = t.substr(s1 + 1, s2 == std::string_view::npos ? std::string_view::npos : s2 - s1 - 1);
            if (s2 != std::string_view::npos)
                ns = t.substr(s2 + 1);
            Corner &c = corners[i - 1];
            if (!resolve(vs, mesh.getNumVertices(), c.v)
                || (!ts.empty() && includeVT && !resolve(ts, mesh.getNumUVs(), c.t))
                || (!ns.empty() && !resolve(ns, mesh.getNumNormals(), c.n))
                || (s2 != std::string_view::npos && ns.empty()))
                return fail(lineNo, QStringLiteral("malformed face corner \"%1\"")
                                        .arg(QString::fromUtf8(t.data(), qsizetype(t.size()))));
            allUV = allUV && c.t >= 0;
            allNormals = allNormals && c.n >= 0;
        }
        const int fg = mesh.addFaceGroup(faceGroup);
        const int mg = mesh.addMaterialGroup(materialGroup);
        auto emitFacet = [&](std::initializer_list<size_t> idx) {
            DzFacet f;
            int k = 0;
            for (size_t i : idx) {
                f.m_vertIdx[k] = corners[i].v;
                f.m_uvwIdx[k] = allUV ? corners[i].t : -1;
                f.m_normIdx[k] = allNormals ? corners[i].n : -1;
                ++k;
            }
            f.m_faceGroupIdx = fg;
            f.m_materialIdx = mg;
            m_pending.append(f);
            m_pendingLines.append(lineNo);
        };
        if (corners.size() == 3)
            emitFacet({0, 1, 2});
        else if (corners.size() == 4)
            emitFacet({0, 1, 2, 3});
        else
            for (size_t i = 1; i + 1 < corners.size(); ++i)
                emitFacet({0, i, i + 1});
        return true;
    }
};

} // namespace

DzObjImporter::DzObjImporter(QObject *parent) : DzImporter(parent) {}

DzFacetShape *DzObjImporter::readShape(const QString &filename, const DzFileIOSettings *settings)
{
    clearError();
    const DzFileIOSettings none;
    if (!settings)
        settings = &none;

    ObjReader reader;
    bool knownPreset = false;
    const QString preset = settings->getStringValue(QStringLiteral("Preset"));
    const double unit = unitOfPreset(preset, knownPreset);
    if (!knownPreset) {
        setError(DZ_ILLEGAL_ARGUMENT, QStringLiteral("unknown preset \"%1\"").arg(preset));
        return nullptr;
    }
    const double percent = settings->getFloatValue(QStringLiteral("Scale"), 100.0);
    if (!std::isfinite(percent) || percent <= 0.0) {
        setError(DZ_ILLEGAL_ARGUMENT, QStringLiteral("the scale must be a positive percentage"));
        return nullptr;
    }
    reader.scale = unit * percent / 100.0;
    reader.swapYZ = settings->getBoolValue(QStringLiteral("SwapYZ"), false);
    reader.includeG = settings->getBoolValue(QStringLiteral("IncludeG"), true);
    reader.includeVT = settings->getBoolValue(QStringLiteral("IncludeVT"), true);
    reader.includeUsemtl = settings->getBoolValue(QStringLiteral("IncludeUsemtl"), true);

    QString path = filename;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        setError(DZ_OPEN_FILE_ERROR, QStringLiteral("cannot open \"%1\"").arg(filename));
        return nullptr;
    }
    const QByteArray text = file.readAll();

    auto *mesh = new DzFacetMesh;
    mesh->ref();   // held here until the shape takes it
    if (!reader.read(text, *mesh)) {
        mesh->unref();
        setError(DZ_FORMAT_ERROR, QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), reader.error));
        return nullptr;
    }
    auto *shape = new DzFacetShape;
    shape->setName(QFileInfo(path).completeBaseName());
    shape->setFacetMesh(mesh);
    mesh->unref();
    for (int i = 0; i < mesh->getNumMaterialGroups(); ++i) {
        auto *material = new DzDefaultMaterial;
        material->setName(mesh->getMaterialGroupName(i));
        material->setLabel(mesh->getMaterialGroupName(i));
        shape->addMaterial(material);
    }
    return shape;
}

// --- DzImportMgr --------------------------------------------------------------------------

DzImportMgr::DzImportMgr(QObject *parent) : QObject(parent)
{
    m_importers.append(new DzObjImporter(this));
}

DzImporter *DzImportMgr::findImporterByClassName(const QString &className) const
{
    for (DzImporter *imp : m_importers)
        if (QLatin1String(imp->metaObject()->className()) == className)
            return imp;
    return nullptr;
}

DzImporter *DzImportMgr::findImporter(const QString &filename) const
{
    QString path = filename;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    for (DzImporter *imp : m_importers)
        if (imp->recognize(path))
            return imp;
    return nullptr;
}

DzError DzImportMgr::readGeometry(const QString &filename, const DzFileIOSettings *settings)
{
    DzImporter *imp = findImporter(filename);
    return imp ? imp->readGeometry(filename, settings) : DZ_UNSUPPORTED_FILE_ERROR;
}
