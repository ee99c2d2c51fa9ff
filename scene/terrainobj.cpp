#include "scene/terrainobj.h"

#include "terrain/terrainarrays.h"


#include <charconv>
#include <future>
#include <string>
#include <vector>

namespace orovista {

namespace {

// "%g" with 6 significant digits, as a text stream writes numbers by default.
void appendNumber(std::string &out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    out.append(buffer, result.ptr);
}

void appendIndex(std::string &out, long long index)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, index);
    out.append(buffer, result.ptr);
}

void appendPair(std::string &out, long long index, bool withNormal = false)
{
    out += ' ';
    appendIndex(out, index);
    out += '/';
    appendIndex(out, index);
    if (withNormal) {
        out += '/';
        appendIndex(out, index);
    }
}

/// The text of numbers that repeat along the grid (x per column, z per row, u and v), made once.
/// A value that differs from the remembered one (an edited vertex) is formatted on its own.
class RepeatedNumbers {
public:
    explicit RepeatedNumbers(int count) : m_values(count), m_texts(count) {}

    void append(std::string &out, int slot, double value)
    {
        if (m_texts[slot].empty() || m_values[slot] != value) {
            if (!m_texts[slot].empty()) {
                appendNumber(out, value);
                return;
            }
            m_values[slot] = value;
            appendNumber(m_texts[slot], value);
        }
        out += m_texts[slot];
    }

private:
    std::vector<double> m_values;
    std::vector<std::string> m_texts;
};

void appendVertices(const TerrainArrays &mesh, std::string &out, double heightOffset)
{
    const int n = mesh.gridSize;
    out.reserve(out.size() + std::size_t(mesh.vertexCount()) * 40);
    RepeatedNumbers xs(n), zs(n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const float *v = mesh.vertices.data() + 3 * (std::size_t(r) * n + c);
            out += "v ";
            xs.append(out, c, v[0]);
            out += ' ';
            appendNumber(out, v[1] + heightOffset);
            out += ' ';
            zs.append(out, r, v[2]);
            out += '\n';
        }
}

void appendTexCoords(const TerrainArrays &mesh, std::string &out)
{
    const int n = mesh.gridSize;
    const int last = n - 1;
    out.reserve(out.size() + std::size_t(mesh.vertexCount()) * 24);
    RepeatedNumbers us(n), vs(n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            out += "vt ";
            us.append(out, c, float(c) / float(last));
            out += ' ';
            vs.append(out, r, 1.0 - double(r) / last);
            out += '\n';
        }
}

void appendNormals(const TerrainArrays &mesh, std::string &out)
{
    out.reserve(out.size() + std::size_t(mesh.vertexCount()) * 30);
    for (int i = 0; i < mesh.vertexCount(); ++i) {
        const float *v = mesh.normals.data() + 3 * std::size_t(i);
        out += "vn ";
        appendNumber(out, v[0]);
        out += ' ';
        appendNumber(out, v[1]);
        out += ' ';
        appendNumber(out, v[2]);
        out += '\n';
    }
}

void appendFaces(const TerrainArrays &mesh, std::string &out, bool withNormals = false)
{
    const int n = mesh.gridSize;
    const int last = n - 1;
    out.reserve(out.size() + std::size_t(mesh.vertexCount()) * (withNormals ? 72 : 48));
    for (int r = 0; r < last; ++r)
        for (int c = 0; c < last; ++c) {
            const long long a = (long long)r * n + c + 1;
            out += 'f';
            appendPair(out, a, withNormals);
            appendPair(out, a + n, withNormals);
            appendPair(out, a + n + 1, withNormals);
            appendPair(out, a + 1, withNormals);
            out += '\n';
        }
}

}   // namespace

void appendTerrainObj(const TerrainArrays &mesh, std::string &out)
{
    appendVertices(mesh, out, 0.0);
    appendTexCoords(mesh, out);
    appendFaces(mesh, out);
}

QString objLineName(const QString &name)
{
    QString word = name;
    for (QChar &c : word)
        if (c.isSpace())
            c = QLatin1Char('_');
    return word;
}

QString objLineProblem(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return QStringLiteral("a name in an OBJ or MTL line cannot hold a control character");
        if (c == QLatin1Char('#'))
            return QStringLiteral("a name in an OBJ or MTL line cannot hold \"#\"");
    }
    return {};
}

namespace {

/// The first of names that cannot go into a line, as the failure to write path.
bool refuseLineNames(const QString &path, std::initializer_list<QString> names, QString *error)
{
    for (const QString &name : names)
        if (const QString problem = objLineProblem(name); !problem.isEmpty()) {
            if (error)
                *error = files::cannotWrite(path, problem + QStringLiteral(": ") + name);
            return true;
        }
    return false;
}

}   // namespace

bool writeTerrainObj(const TerrainArrays &mesh, const QString &path, QString *error, files::Batch *batch,
                     const ObjExtras &extras)
{
    if (refuseLineNames(path, {extras.materialLibrary, extras.materialName}, error))
        return false;
    const bool withNormals = extras.normals && mesh.normals.size() == 3 * std::size_t(mesh.vertexCount());
    // The face lines are made on a second thread while this one makes the others.
    auto faces = std::async(std::launch::async, [&mesh, &extras, withNormals] {
        std::string text;
        if (!extras.materialName.isEmpty())
            text += "usemtl " + extras.materialName.toStdString() + '\n';
        appendFaces(mesh, text, withNormals);
        return text;
    });
    std::string text;
    if (!extras.materialLibrary.isEmpty())
        text += "mtllib " + extras.materialLibrary.toStdString() + '\n';
    appendVertices(mesh, text, extras.heightOffset);
    appendTexCoords(mesh, text);
    if (withNormals)
        appendNormals(mesh, text);
    const std::string faceText = faces.get();
    const QList<QByteArrayView> parts = {QByteArrayView(text.data(), qsizetype(text.size())),
                                         QByteArrayView(faceText.data(), qsizetype(faceText.size()))};
    const QString failure = files::writeFile(path, parts, batch);
    if (!failure.isEmpty() && error)
        *error = failure;
    return failure.isEmpty();
}

bool writeTerrainMtl(const QString &path, const QString &materialName, const QString &colourTexture,
                     const QString &normalMap, QString *error, files::Batch *batch)
{
    if (refuseLineNames(path, {materialName, colourTexture, normalMap}, error))
        return false;
    QByteArray text = "newmtl " + materialName.toUtf8() + "\nKa 1 1 1\nKd 1 1 1\nKs 0 0 0\nNs 10\nd 1\nillum 1\n";
    if (!colourTexture.isEmpty())
        text += "map_Kd " + colourTexture.toUtf8() + '\n';
    if (!normalMap.isEmpty())
        text += "norm " + normalMap.toUtf8() + "\nmap_Bump " + normalMap.toUtf8() + '\n';
    const QString failure = files::writeFile(path, {QByteArrayView(text)}, batch);
    if (!failure.isEmpty() && error)
        *error = failure;
    return failure.isEmpty();
}

}   // namespace orovista
