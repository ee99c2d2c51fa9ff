#include "scene/terrainobj.h"

#include "terrain/terrainarrays.h"

#include <QSaveFile>

#include <charconv>
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

void appendPair(std::string &out, long long index)
{
    out += ' ';
    appendIndex(out, index);
    out += '/';
    appendIndex(out, index);
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

}   // namespace

void appendTerrainObj(const TerrainArrays &mesh, std::string &out)
{
    const int n = mesh.gridSize;
    out.reserve(out.size() + std::size_t(mesh.vertexCount()) * 96);
    RepeatedNumbers xs(n), zs(n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const float *v = mesh.vertices.data() + 3 * (std::size_t(r) * n + c);
            out += "v ";
            xs.append(out, c, v[0]);
            out += ' ';
            appendNumber(out, v[1]);
            out += ' ';
            zs.append(out, r, v[2]);
            out += '\n';
        }
    const int last = n - 1;
    RepeatedNumbers us(n), vs(n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            out += "vt ";
            us.append(out, c, float(c) / float(last));
            out += ' ';
            vs.append(out, r, 1.0 - double(r) / last);
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
