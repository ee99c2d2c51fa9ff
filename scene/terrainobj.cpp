#include "scene/terrainobj.h"

#include "terrain/terrainarrays.h"

#include <QSaveFile>

#include <charconv>
#include <string>

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

void appendPair(std::string &out, long long index)
{
    out += ' ';
    appendIndex(out, index);
    out += '/';
    appendIndex(out, index);
}

}   // namespace

void appendTerrainObj(const TerrainArrays &mesh, std::string &out)
{
    const int n = mesh.gridSize;
    const long long count = mesh.vertexCount();
    out.reserve(out.size() + std::size_t(count) * 96);
    for (long long i = 0; i < count; ++i) {
        out += "v ";
        appendNumber(out, mesh.vertices[3 * i]);
        out += ' ';
        appendNumber(out, mesh.vertices[3 * i + 1]);
        out += ' ';
        appendNumber(out, mesh.vertices[3 * i + 2]);
        out += '\n';
    }
    const int last = n - 1;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            out += "vt ";
            appendNumber(out, float(c) / float(last));
            out += ' ';
            appendNumber(out, 1.0 - double(r) / last);
            out += '\n';
        }
    for (int r = 0; r < last; ++r)
        for (int c = 0; c < last; ++c) {
            const long long a = (long long)r * n + c + 1;
            out += 'f';
            appendPair(out, a);
            appendPair(out, a + n);
            appendPair(out, a + n + 1);
            appendPair(out, a + 1);
            out += '\n';
        }
}

bool writeTerrainObj(const TerrainArrays &mesh, const QString &path, QString *error)
{
    std::string text;
    appendTerrainObj(mesh, text);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size()) ||
        !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}   // namespace orovista
