#include "library/glm.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace {

/// Walks the bytes line by line and each line word by word. A line whose last character (spaces
/// aside) is a backslash goes on over the next one, and the backslash reads as a space; a
/// comment line does not go on (a path in a comment may well end in one).
class Lines {
public:
    Lines(const char *data, std::size_t size) : m_begin(data), m_at(data), m_end(data + size) {}

    /// Moves to the next line; false at the end of the bytes.
    bool next()
    {
        if (m_at >= m_end)
            return false;
        const char *start = m_at;
        m_number = m_physical + 1;
        const char *stop = start;
        for (;;) {
            stop = static_cast<const char *>(memchr(stop, '\n', std::size_t(m_end - stop)));
            ++m_physical;
            if (!stop) {
                stop = m_end;
                break;
            }
            if (!continues(start, stop) || stop + 1 >= m_end)
                break;
            ++stop;
        }
        m_at = stop < m_end ? stop + 1 : m_end;
        m_word = start;
        m_lineEnd = stop;
        return true;
    }

    /// The next word of the current line, or an empty view.
    std::string_view word()
    {
        while (m_word < m_lineEnd && (isSpace(*m_word) || continuation(m_word)))
            ++m_word;
        const char *start = m_word;
        while (m_word < m_lineEnd && !isSpace(*m_word) && !continuation(m_word))
            ++m_word;
        return {start, std::size_t(m_word - start)};
    }

    /// The number of the line's first physical line (1-based).
    std::size_t number() const { return m_number; }
    /// The bytes walked so far.
    std::size_t offset() const { return std::size_t(m_at - m_begin); }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n'; }
    static bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

    /// Whether the physical line ending at `newline` goes on in the next one.
    static bool continues(const char *start, const char *newline)
    {
        const char *last = newline;
        while (last > start && blank(last[-1]))
            --last;
        if (last == start || last[-1] != '\\')
            return false;
        while (start < last && blank(*start))
            ++start;
        return *start != '#';
    }

    /// A backslash with nothing but blanks after it up to the end of its physical line.
    bool continuation(const char *at) const
    {
        if (*at != '\\')
            return false;
        for (++at; at < m_lineEnd && *at != '\n'; ++at)
            if (!blank(*at))
                return false;
        return true;
    }

    const char *m_begin, *m_at, *m_end;
    const char *m_word = nullptr, *m_lineEnd = nullptr;
    std::size_t m_number = 0, m_physical = 0;
};

bool parseFloat(std::string_view w, float &out)
{
    if (w.size() > 1 && w.front() == '+' && w[1] != '-')
        w.remove_prefix(1);
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), out);
    return ec == std::errc() && end == w.data() + w.size() && std::isfinite(out);
}

bool parseInt(std::string_view w, long &out)
{
    if (w.size() > 1 && w.front() == '+' && w[1] != '-')
        w.remove_prefix(1);
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), out);
    return ec == std::errc() && end == w.data() + w.size();
}

/// The four corner forms of a face line, recognised on its first corner.
enum class Form { Vertex, VertexTexture, VertexNormal, VertexTextureNormal, Bad };

Form formOf(std::string_view corner)
{
    const std::size_t first = corner.find('/');
    if (first == std::string_view::npos)
        return Form::Vertex;
    const std::size_t second = corner.find('/', first + 1);
    if (second == std::string_view::npos)
        return Form::VertexTexture;
    if (corner.find('/', second + 1) != std::string_view::npos)
        return Form::Bad;
    return second == first + 1 ? Form::VertexNormal : Form::VertexTextureNormal;
}

struct Corner { long v = 0, t = 0, n = 0; };

bool parseCorner(std::string_view corner, Form form, Corner &c)
{
    if (formOf(corner) != form)
        return false;
    const std::size_t a = corner.find('/');
    switch (form) {
    case Form::Vertex:
        return parseInt(corner, c.v);
    case Form::VertexTexture:
        return parseInt(corner.substr(0, a), c.v) && parseInt(corner.substr(a + 1), c.t);
    case Form::VertexNormal:
        return parseInt(corner.substr(0, a), c.v) && parseInt(corner.substr(a + 2), c.n);
    case Form::VertexTextureNormal: {
        const std::size_t b = corner.find('/', a + 1);
        return parseInt(corner.substr(0, a), c.v) && parseInt(corner.substr(a + 1, b - a - 1), c.t) &&
               parseInt(corner.substr(b + 1), c.n);
    }
    case Form::Bad:
        break;
    }
    return false;
}

/// What a read that the caller stopped says.
void stopped(GLMreadError *error)
{
    if (error) {
        error->kind = GLMreadError::Stopped;
        error->message = QStringLiteral("stopped");
    }
}

QString word(std::string_view w) { return QString::fromUtf8(w.data(), qsizetype(w.size())); }

class Reader {
public:
    Reader(const char *data, std::size_t size, const QString &filename, GLMreadError *error,
           const GLMkeepGoing &keepGoing)
        : m_data(data), m_size(size), m_file(filename), m_error(error), m_keepGoing(keepGoing)
    {
    }

    std::unique_ptr<GLMmodel> read()
    {
        auto model = std::make_unique<GLMmodel>();
        model->pathname = m_file.toStdString();
        if (!firstPass(*model))
            return nullptr;
        allocate(*model);
        if (!secondPass(*model))
            return nullptr;
        computeBounds(*model);
        return model;
    }

private:
    /// Every so many lines the caller hears how far the pass has come (`pass` 0 or 1) and may
    /// stop the read.
    bool keepGoing(const Lines &lines, int pass)
    {
        if (!m_keepGoing || (++m_linesSinceReport & 4095) != 0)
            return true;
        const double fraction = 0.5 * (pass + double(lines.offset()) / double(std::max<std::size_t>(m_size, 1)));
        if (m_keepGoing(fraction))
            return true;
        stopped(m_error);
        return false;
    }

    bool fail(std::size_t line, const QString &what)
    {
        if (m_error) {
            m_error->kind = GLMreadError::Malformed;
            m_error->message = m_file + QStringLiteral(", line ") + QString::number(line) + QStringLiteral(": ") + what;
        }
        return false;
    }

    unsigned groupIndex(GLMmodel &m, std::string_view name)
    {
        const std::string key(name.empty() ? std::string_view("default") : name);
        const auto found = m_groupByName.find(key);
        if (found != m_groupByName.end())
            return found->second;
        const unsigned index = unsigned(m.groups.size());
        m.groups.push_back(GLMgroup{key, 0, {}, 0});
        m_groupByName.emplace(key, index);
        return index;
    }

    bool firstPass(GLMmodel &m)
    {
        unsigned current = groupIndex(m, "default");
        std::vector<unsigned> triangleCounts;
        Lines lines(m_data, m_size);
        while (lines.next()) {
            if (!keepGoing(lines, 0))
                return false;
            const std::string_view w = lines.word();
            if (w.empty())
                continue;
            switch (w.front()) {
            case 'v':
                if (w.size() == 1)
                    ++m.numvertices;
                else if (w == "vn")
                    ++m.numnormals;
                else if (w == "vt")
                    ++m.numtexcoords;
                else if (w != "vp") {   // parameter-space vertices serve curves and surfaces only
                    const std::string token(w);
                    std::printf("glmFirstPass(): Unknown token \"%s\".\n", token.c_str());
                    return fail(lines.number(), QStringLiteral("unknown token \"") + word(w) + QStringLiteral("\""));
                }
                break;
            case 'm':   // not the merging groups of `mg`, nor `maplib`
                if (w == "mtllib")
                    m.mtllibname = std::string(lines.word());
                break;
            case 'g':
                current = groupIndex(m, lines.word());
                break;
            case 'f': {
                std::size_t corners = 0;
                while (!lines.word().empty())
                    ++corners;
                if (corners < 3)
                    return fail(lines.number(), QStringLiteral("a face needs at least three corners"));
                if (m.numtriangles + corners - 2 > 0x3fffffffu)
                    return fail(lines.number(), QStringLiteral("too many triangles"));
                m.numtriangles += unsigned(corners - 2);
                m.groups[current].numtriangles += unsigned(corners - 2);
                break;
            }
            default:   // #, u, s, o, l, p, curves, surfaces and anything else: the line is skipped
                break;
            }
        }
        // A new group goes to the head of the list: the list order is the reverse of first use.
        std::reverse(m.groups.begin(), m.groups.end());
        const unsigned n = unsigned(m.groups.size());
        for (auto &entry : m_groupByName)
            entry.second = n - 1 - entry.second;
        return true;
    }

    void allocate(GLMmodel &m)
    {
        m.vertices.assign(3 * (std::size_t(m.numvertices) + 1), 0.0f);
        m.triangles.assign(m.numtriangles, GLMtriangle{});
        if (m.numnormals)
            m.normals.assign(3 * (std::size_t(m.numnormals) + 1), 0.0f);
        if (m.numtexcoords)
            m.texcoords.assign(2 * (std::size_t(m.numtexcoords) + 1), 0.0f);
        for (GLMgroup &g : m.groups)
            g.triangles.reserve(g.numtriangles);
    }

    /// Resolves a 1-based or negative (counting back) index against the entries read so far.
    bool resolve(long index, unsigned readSoFar, const char *what, std::size_t line, unsigned &out)
    {
        const long resolved = index < 0 ? long(readSoFar) + index + 1 : index;
        if (index == 0 || resolved < 1 || resolved > long(readSoFar))
            return fail(line, QStringLiteral("%1 index %2 is out of range (%3 read so far)")
                                  .arg(QLatin1String(what)).arg(index).arg(readSoFar));
        out = unsigned(resolved);
        return true;
    }

    bool readFloats(Lines &lines, float *out, int count, const char *what)
    {
        for (int i = 0; i < count; ++i)
            if (!parseFloat(lines.word(), out[i]))
                return fail(lines.number(), QStringLiteral("%1 needs %2 numbers").arg(QLatin1String(what)).arg(count));
        return true;
    }

    bool secondPass(GLMmodel &m)
    {
        unsigned v = 0, n = 0, t = 0, triangle = 0;
        GLMgroup *group = &m.groups[m_groupByName.at("default")];
        Lines lines(m_data, m_size);
        std::vector<Corner> corners;
        while (lines.next()) {
            if (!keepGoing(lines, 1))
                return false;
            const std::string_view w = lines.word();
            if (w.empty())
                continue;
            switch (w.front()) {
            case 'v':
                if (w.size() == 1) {
                    if (!readFloats(lines, &m.vertices[3 * std::size_t(++v)], 3, "a vertex"))
                        return false;
                } else if (w == "vn") {
                    if (!readFloats(lines, &m.normals[3 * std::size_t(++n)], 3, "a normal"))
                        return false;
                } else if (w == "vt") {
                    // u, then v and w when given (v defaults to 0, w is not used).
                    float *uv = &m.texcoords[2 * std::size_t(++t)];
                    const std::string_view u = lines.word(), v = lines.word();
                    if (!parseFloat(u, uv[0]) || (!v.empty() && !parseFloat(v, uv[1])))
                        return fail(lines.number(), QStringLiteral("a texture coordinate needs 1 to 3 numbers"));
                }
                break;
            case 'u':   // usemtl; usemap names a texture map, which is not read
                if (w == "usemtl") {
                    const std::string name(lines.word());
                    group->material = glmFindMaterial(&m, name.c_str());
                }
                break;
            case 'g': {
                const std::string_view name = lines.word();
                group = &m.groups[m_groupByName.at(std::string(name.empty() ? std::string_view("default") : name))];
                break;
            }
            case 'f': {
                corners.clear();
                Form form = Form::Bad;
                for (std::string_view c = lines.word(); !c.empty(); c = lines.word()) {
                    if (corners.empty())
                        form = formOf(c);
                    Corner parsed;
                    if (form == Form::Bad || !parseCorner(c, form, parsed))
                        return fail(lines.number(), QStringLiteral("face corner \"") + word(c) +
                                                        QStringLiteral("\" is not a vertex index in this line's form"));
                    corners.push_back(parsed);
                }
                // Resolve every corner once, then fan them out around the first.
                m_resolved.resize(corners.size());
                for (std::size_t i = 0; i < corners.size(); ++i) {
                    Resolved &r = m_resolved[i];
                    r = Resolved{};
                    if (!resolve(corners[i].v, v, "vertex", lines.number(), r.v))
                        return false;
                    if ((form == Form::VertexTexture || form == Form::VertexTextureNormal) &&
                        !resolve(corners[i].t, t, "texture coordinate", lines.number(), r.t))
                        return false;
                    if ((form == Form::VertexNormal || form == Form::VertexTextureNormal) &&
                        !resolve(corners[i].n, n, "normal", lines.number(), r.n))
                        return false;
                }
                for (std::size_t k = 2; k < m_resolved.size(); ++k) {
                    GLMtriangle &tri = m.triangles[triangle];
                    const Resolved *c[3] = {&m_resolved[0], &m_resolved[k - 1], &m_resolved[k]};
                    for (int j = 0; j < 3; ++j) {
                        tri.vindices[j] = c[j]->v;
                        tri.tindices[j] = c[j]->t;
                        tri.nindices[j] = c[j]->n;
                    }
                    group->triangles.push_back(triangle);
                    ++triangle;
                }
                break;
            }
            default:
                break;
            }
        }
        return true;
    }

    static void computeBounds(GLMmodel &m)
    {
        for (unsigned k = 1; k <= m.numvertices; ++k)
            for (int axis = 0; axis < 3; ++axis) {
                const float x = m.vertices[3 * std::size_t(k) + std::size_t(axis)];
                if (x < m.bounds[axis])
                    m.bounds[axis] = x;
                if (x > m.bounds[axis + 3])
                    m.bounds[axis + 3] = x;
            }
    }

    struct Resolved { unsigned v = 0, t = 0, n = 0; };

    const char *m_data;
    std::size_t m_size;
    QString m_file;
    GLMreadError *m_error;
    const GLMkeepGoing &m_keepGoing;
    unsigned m_linesSinceReport = 0;
    std::unordered_map<std::string, unsigned> m_groupByName;
    std::vector<Resolved> m_resolved;
};

void normalise(float *n)
{
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0.0f) {
        n[0] /= length;
        n[1] /= length;
        n[2] /= length;
    } else {
        n[0] = n[1] = n[2] = 0.0f;
    }
}

float dot(const float *a, const float *b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}   // namespace

std::unique_ptr<GLMmodel> glmReadOBJFromBytes(const char *data, std::size_t size, const QString &filename,
                                              GLMreadError *error, const GLMkeepGoing &keepGoing)
{
    if (error)
        *error = GLMreadError{};
    return Reader(data, size, filename, error, keepGoing).read();
}

std::unique_ptr<GLMmodel> glmReadOBJ(const QString &filename, GLMreadError *error, const GLMkeepGoing &keepGoing)
{
    auto cannotRead = [&](const QString &message) -> std::unique_ptr<GLMmodel> {
        if (error) {
            error->kind = GLMreadError::CannotOpen;
            error->message = message;
        }
        return nullptr;
    };
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return cannotRead(filename);
    if (!file.isSequential()) {
        const qint64 size = file.size();
        if (size == 0)
            return glmReadOBJFromBytes("", 0, filename, error, keepGoing);
        // Both passes walk the mapped bytes.
        if (const uchar *mapped = file.map(0, size))
            return glmReadOBJFromBytes(reinterpret_cast<const char *>(mapped), std::size_t(size), filename, error,
                                       keepGoing);
    }
    // A pipe, or a file that cannot be mapped, is read into memory in small pieces, so that a
    // read can be stopped while slow bytes arrive (a read of a pipe waits until its piece is full
    // or the writer is done).
    constexpr std::size_t piece = 64 * 1024;
    std::vector<char> bytes;
    for (;;) {
        if (keepGoing && !keepGoing(0.0)) {
            stopped(error);
            return nullptr;
        }
        const std::size_t at = bytes.size();
        bytes.resize(at + piece);
        const qint64 got = file.read(bytes.data() + at, qint64(piece));
        if (got < 0)
            return cannotRead(filename + QStringLiteral(": ") + file.errorString());
        bytes.resize(at + std::size_t(got));
        if (got == 0)
            break;
    }
    return glmReadOBJFromBytes(bytes.data(), bytes.size(), filename, error, keepGoing);
}

void glmFacetNormals(GLMmodel *model)
{
    GLMmodel &m = *model;
    m.numfacetnorms = m.numtriangles;
    m.facetnorms.assign(3 * (std::size_t(m.numfacetnorms) + 1), 0.0f);
    for (unsigned i = 0; i < m.numtriangles; ++i) {
        GLMtriangle &t = m.triangles[i];
        const float *p0 = &m.vertices[3 * std::size_t(t.vindices[0])];
        const float *p1 = &m.vertices[3 * std::size_t(t.vindices[1])];
        const float *p2 = &m.vertices[3 * std::size_t(t.vindices[2])];
        const float u[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const float v[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        float *n = &m.facetnorms[3 * (std::size_t(i) + 1)];
        n[0] = u[1] * v[2] - u[2] * v[1];
        n[1] = u[2] * v[0] - u[0] * v[2];
        n[2] = u[0] * v[1] - u[1] * v[0];
        normalise(n);
        t.findex = i + 1;
    }
}

void glmVertexNormals(GLMmodel *model, float angle)
{
    GLMmodel &m = *model;
    if (m.facetnorms.empty())
        glmFacetNormals(model);
    const float c = float(std::cos(double(angle) * M_PI / 180.0));
    const std::size_t nv = m.numvertices;

    // The triangles of each vertex, in file order.
    std::vector<unsigned> start(nv + 2, 0);
    for (const GLMtriangle &t : m.triangles)
        for (unsigned v : t.vindices)
            ++start[v + 1];
    for (std::size_t k = 1; k < start.size(); ++k)
        start[k] += start[k - 1];
    std::vector<unsigned> uses(start.back());
    std::vector<unsigned> fill(start.begin(), start.end() - 1);
    for (unsigned i = 0; i < m.numtriangles; ++i)
        for (unsigned v : m.triangles[i].vindices)
            uses[fill[v]++] = i;

    auto facet = [&](unsigned triangle) { return &m.facetnorms[3 * (std::size_t(triangle) + 1)]; };

    // Entries 1 .. numvertices are the smoothed normals; facet normals of corners outside the
    // angle follow, one per triangle that needs it.
    std::vector<float> normals(3 * (nv + 1), 0.0f);
    m.vertexNormals.assign(3 * nv, 0.0f);
    std::vector<const float *> reference(nv + 1, nullptr);
    for (std::size_t k = 1; k <= nv; ++k) {
        float *out = &normals[3 * k];
        if (start[k] == start[k + 1]) {
            out[1] = 1.0f;   // unused vertex
        } else {
            const float *ref = facet(uses[start[k + 1] - 1]);
            reference[k] = ref;
            for (unsigned u = start[k]; u < start[k + 1]; ++u) {
                const float *f = facet(uses[u]);
                if (dot(f, ref) > c)
                    for (int a = 0; a < 3; ++a)
                        out[a] += f[a];
            }
            normalise(out);
            if (out[0] == 0.0f && out[1] == 0.0f && out[2] == 0.0f)
                out[1] = 1.0f;   // only degenerate triangles meet here
        }
        std::copy(out, out + 3, &m.vertexNormals[3 * (k - 1)]);
    }
    std::vector<unsigned> ownFacet(m.numtriangles, 0);
    for (unsigned i = 0; i < m.numtriangles; ++i) {
        GLMtriangle &t = m.triangles[i];
        for (int j = 0; j < 3; ++j) {
            const unsigned v = t.vindices[j];
            if (dot(facet(i), reference[v]) > c) {
                t.nindices[j] = v;
                continue;
            }
            if (!ownFacet[i]) {
                const float *f = facet(i);
                normals.insert(normals.end(), f, f + 3);
                ownFacet[i] = unsigned(normals.size() / 3 - 1);
            }
            t.nindices[j] = ownFacet[i];
        }
    }
    m.normals = std::move(normals);
    m.numnormals = unsigned(m.normals.size() / 3 - 1);
}

unsigned glmFindMaterial(GLMmodel *model, const char *name)
{
    for (unsigned i = 0; i < model->nummaterials && i < model->materials.size(); ++i)
        if (model->materials[i].name == name)
            return i;
    std::printf("glmFindMaterial():  can't find material \"%s\".\n", name);
    return 0;
}
