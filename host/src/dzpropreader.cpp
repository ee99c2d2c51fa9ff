#include "dzpropreader.h"
#include "dzapp.h"
#include "dzimagemgr.h"
#include "dzimportmgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "../../library/poserpaths.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

namespace dzpropreader {

namespace {

// Files bigger than this are not prop files (the largest real ones with embedded geometry are
// a few tens of megabytes).
constexpr qint64 kMaxPropFileBytes = qint64(512) * 1024 * 1024;
// Deeper nesting than this is not something Poser writes.
constexpr int kMaxDepth = 200;

// --- The block structure ------------------------------------------------------------------

// One statement: the words of a line (or of the part of a line before a brace), and the block
// that follows it, if any. Views point into the file's text.
struct Stmt {
    std::vector<std::string_view> words;
    std::vector<const char *> starts;   // where each word starts in the text (its quote, if quoted)
    const char *end = nullptr;          // end of the statement's text
    std::vector<Stmt> block;
    bool hasBlock = false;
    int line = 0;

    std::string_view key() const { return words.empty() ? std::string_view() : words.front(); }
    // The text from word `from` to the end of the statement, trimmed, without surrounding quotes.
    std::string_view textFrom(size_t from) const
    {
        if (from >= words.size())
            return {};
        std::string_view s(starts[from], size_t(end - starts[from]));
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
            s.remove_suffix(1);
        if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
            s = s.substr(1, s.size() - 2);
        else if (!s.empty() && s.front() == '"')
            s.remove_prefix(1);   // an unterminated quote runs to the end of the line
        return s;
    }
};

QString str(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\0'; }

// Parses the whole text into root (an anonymous statement whose block is the file's top level).
// False with error set for unbalanced braces or too deep nesting.
bool parseBlocks(const QByteArray &text, Stmt &root, QString &error)
{
    const char *p = text.constData();
    const char *const e = p + text.size();
    root.hasBlock = true;
    std::vector<Stmt *> stack{&root};
    Stmt cur;
    int line = 1;

    auto flush = [&](const char *at) {
        if (cur.words.empty())
            return;
        cur.end = at;
        stack.back()->block.push_back(std::move(cur));
        cur = Stmt();
    };

    while (p < e) {
        const char c = *p;
        if (c == '\n') {
            flush(p);
            ++line;
            ++p;
        } else if (isSpace(c)) {
            ++p;
        } else if (c == '{') {
            flush(p);
            if (int(stack.size()) > kMaxDepth) {
                error = QStringLiteral("line %1: blocks nested too deeply").arg(line);
                return false;
            }
            std::vector<Stmt> &list = stack.back()->block;
            if (list.empty() || list.back().hasBlock) {
                Stmt anon;
                anon.line = line;
                list.push_back(std::move(anon));
            }
            list.back().hasBlock = true;
            stack.push_back(&list.back());
            ++p;
        } else if (c == '}') {
            flush(p);
            if (stack.size() <= 1) {
                error = QStringLiteral("line %1: \"}\" without a block to close").arg(line);
                return false;
            }
            stack.pop_back();
            ++p;
        } else {
            const char *start = p;
            std::string_view word;
            if (c == '"') {
                const char *q = p + 1;
                while (q < e && *q != '"' && *q != '\n')
                    ++q;
                word = std::string_view(p + 1, size_t(q - p - 1));
                p = (q < e && *q == '"') ? q + 1 : q;
            } else {
                const char *q = p;
                while (q < e && !isSpace(*q) && *q != '\n' && *q != '{' && *q != '}' && *q != '"')
                    ++q;
                word = std::string_view(p, size_t(q - p));
                p = q;
            }
            if (cur.words.empty())
                cur.line = line;
            cur.words.push_back(word);
            cur.starts.push_back(start);
        }
    }
    flush(e);
    if (stack.size() != 1) {
        error = QStringLiteral("the file ends inside a block (%1 not closed)").arg(stack.size() - 1);
        return false;
    }
    return true;
}

// --- Numbers ------------------------------------------------------------------------------

bool toDouble(std::string_view s, double &v)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

bool toInt(std::string_view s, long long &v)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool isInteger(std::string_view s)
{
    long long v = 0;
    return toInt(s, v);
}

// --- Paths --------------------------------------------------------------------------------

bool sameCaseBlind(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The folder that holds the innermost "Runtime" folder (any case) the file sits in; empty when
// there is none.
QString libraryOf(const QString &file)
{
    QDir dir = QFileInfo(file).absoluteDir();
    while (true) {
        if (sameCaseBlind(dir.dirName(), QStringLiteral("Runtime"))) {
            QDir up = dir;
            if (!up.cdUp())
                return {};
            return up.absolutePath();
        }
        if (!dir.cdUp())
            return {};
    }
}

enum class Lookup { Found, Missing, Refused };

// Splits a geometry reference into path components below the library folder (the first one
// being "Runtime"). Refused: absolute paths, drive letters, "..", anything not starting at
// Runtime.
Lookup splitReference(const QString &ref, QStringList &parts, QString &why)
{
    parts.clear();
    QString r = ref.trimmed();
    if (r.isEmpty()) {
        why = QStringLiteral("an empty geometry reference");
        return Lookup::Refused;
    }
    if (r.startsWith(QLatin1Char('/')) || r.startsWith(QLatin1Char('\\'))
        || (r.size() >= 2 && r[0].isLetter() && r[1] == QLatin1Char(':')
            && (r.size() == 2 || r[2] == QLatin1Char('\\') || r[2] == QLatin1Char('/')))) {
        why = QStringLiteral("\"%1\" is an absolute path").arg(ref);
        return Lookup::Refused;
    }
    static const QRegularExpression separators(QStringLiteral("[:/\\\\]"));
    const QStringList raw = r.split(separators, Qt::SkipEmptyParts);
    for (const QString &part : raw) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            why = QStringLiteral("\"%1\" leaves the Runtime folder").arg(ref);
            return Lookup::Refused;
        }
        parts.append(part);
    }
    if (parts.size() < 2 || !sameCaseBlind(parts.first(), QStringLiteral("Runtime"))) {
        why = QStringLiteral("\"%1\" does not start at the Runtime folder").arg(ref);
        return Lookup::Refused;
    }
    return Lookup::Found;
}

// Walks parts from folder by the rule every prop reader shares (library/poserpaths.h): each
// component matched case-blind when the exact name is missing, and the file found must really lie
// in folder/<parts[0]> (links that lead out of it are refused). runtime is that Runtime folder.
Lookup walk(const QString &folder, const QStringList &parts, QString &out, QString &runtime, QString &why)
{
    const orovista::poser::RuntimeFile found = orovista::poser::findInRuntime(folder, parts);
    if (found.kind == orovista::poser::RuntimeFile::Missing)
        return Lookup::Missing;
    if (found.kind == orovista::poser::RuntimeFile::Outside) {
        why = QStringLiteral("\"%1\" leads out of the Runtime folder").arg(found.path);
        return Lookup::Refused;
    }
    out = found.path;
    runtime = found.runtime;
    return Lookup::Found;
}

// A file named relative to a folder (for mtllib and map_Kd): every component case-blind, no way
// out of the folder; an absolute or escaping name falls back to its file name in the folder. A
// file that really lies outside the Runtime folder (through a link) counts as missing.
QString besideFile(const QString &folder, const QString &name, const QString &runtime)
{
    QString n = name.trimmed();
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (n.isEmpty())
        return {};
    QStringList parts = n.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    const bool escapes = n.startsWith(QLatin1Char('/')) || parts.contains(QStringLiteral(".."))
        || (n.size() >= 2 && n[1] == QLatin1Char(':'));
    if (escapes || parts.isEmpty())
        parts = QStringList{QFileInfo(n).fileName()};
    if (parts.isEmpty() || parts.first().isEmpty() || parts.first() == QLatin1String(".."))
        return {};
    QString cur = folder;
    for (const QString &p : std::as_const(parts)) {
        cur = findEntryCaseBlind(cur, p);
        if (cur.isEmpty())
            return {};
    }
    if (!QFileInfo(cur).isFile())
        return {};
    if (!orovista::poser::liesWithin(cur, runtime)) {
        qWarning("%s leads out of the Runtime folder; left out", qPrintable(cur));
        return {};
    }
    return cur;
}

// --- Materials ----------------------------------------------------------------------------

struct MtlEntry {
    bool hasKd = false;
    QColor kd;
    QString map;   // resolved path of map_Kd, empty when none
};

double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

std::vector<std::string_view> splitWords(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isSpace(line[i]))
            ++i;
        const size_t s = i;
        while (i < line.size() && !isSpace(line[i]))
            ++i;
        if (i > s)
            out.push_back(line.substr(s, i - s));
    }
    return out;
}

std::string_view restAfterKey(std::string_view line)
{
    size_t i = 0;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    while (i < line.size() && !isSpace(line[i]))
        ++i;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    std::string_view r = line.substr(i);
    while (!r.empty() && isSpace(r.back()))
        r.remove_suffix(1);
    return r;
}

template <class F>
void forEachLine(const QByteArray &text, F &&f)
{
    const std::string_view all(text.constData(), size_t(text.size()));
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string_view::npos)
            end = all.size();
        f(all.substr(pos, end - pos));
        pos = end + 1;
    }
}

// Reads a material library; materials without a name are skipped.
void readMtl(const QString &path, const QString &runtime, QHash<QString, MtlEntry> &out)
{
    QFile file(path);
    if (file.size() > kMaxPropFileBytes || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray text = file.readAll();
    const QString folder = QFileInfo(path).absolutePath();
    QString current;
    forEachLine(text, [&](std::string_view line) {
        const auto w = splitWords(line);
        if (w.empty() || w[0].front() == '#')
            return;
        if (w[0] == "newmtl") {
            current = str(restAfterKey(line));
            if (!current.isEmpty() && !out.contains(current))
                out.insert(current, MtlEntry());
        } else if (current.isEmpty()) {
            return;
        } else if (w[0] == "Kd" && w.size() >= 4) {
            double c[3];
            if (toDouble(w[1], c[0]) && toDouble(w[2], c[1]) && toDouble(w[3], c[2])) {
                MtlEntry &m = out[current];
                m.hasKd = true;
                m.kd = QColor::fromRgbF(float(clamp01(c[0])), float(clamp01(c[1])), float(clamp01(c[2])));
            }
        } else if (w[0] == "map_Kd" && w.size() >= 2) {
            // The whole rest first (a name with spaces), then the last word (after options
            // such as "-s 1 1 1").
            QString found = besideFile(folder, str(restAfterKey(line)), runtime);
            if (found.isEmpty())
                found = besideFile(folder, str(w.back()), runtime);
            if (!found.isEmpty())
                out[current].map = found;
        }
    });
}

// The material libraries an OBJ names that exist beside it, read in order (a material named in
// two libraries keeps the first one's settings). Only files in the Runtime folder are read.
QHash<QString, MtlEntry> materialsOfObj(const QString &objPath, const QString &runtime)
{
    QHash<QString, MtlEntry> mats;
    QFile file(objPath);
    if (!file.open(QIODevice::ReadOnly))
        return mats;
    const QByteArray text = file.readAll();
    const QString folder = QFileInfo(objPath).absolutePath();
    QStringList libs;
    forEachLine(text, [&](std::string_view line) {
        const auto w = splitWords(line);
        if (w.size() < 2 || w[0] != "mtllib")
            return;
        const QString whole = besideFile(folder, str(restAfterKey(line)), runtime);
        if (!whole.isEmpty()) {
            libs.append(whole);
            return;
        }
        for (size_t i = 1; i < w.size(); ++i) {
            const QString one = besideFile(folder, str(w[i]), runtime);
            if (!one.isEmpty())
                libs.append(one);
        }
    });
    libs.removeDuplicates();
    for (const QString &lib : std::as_const(libs)) {
        QHash<QString, MtlEntry> more;
        readMtl(lib, runtime, more);
        for (auto it = more.cbegin(); it != more.cend(); ++it)
            if (!mats.contains(it.key()))
                mats.insert(it.key(), it.value());
    }
    return mats;
}

// Colours the shape's materials: the OBJ's libraries first, then the prop's own colours for
// the materials those leave alone. The OBJ reader calls the material of faces without usemtl
// "default"; Poser calls it "Preview".
void applyMaterials(DzFacetShape *shape, const QHash<QString, MtlEntry> &library,
                    const QHash<QString, QColor> &propColours)
{
    for (int i = 0; i < shape->getNumMaterials(); ++i) {
        DzMaterial *m = shape->getMaterial(i);
        const QString name = m->getName();
        const auto it = library.constFind(name);
        bool coloured = false;
        if (it != library.cend()) {
            if (it->hasKd) {
                m->setDiffuseColor(it->kd);
                coloured = true;
            }
            if (!it->map.isEmpty() && dzApp)
                if (DzTexture *t = dzApp->getImageMgr()->getImage(it->map))
                    m->setColorMap(t);
        }
        if (coloured)
            continue;
        auto own = propColours.constFind(name);
        if (own == propColours.cend() && name == QLatin1String("default"))
            own = propColours.constFind(QStringLiteral("Preview"));
        if (own != propColours.cend())
            m->setDiffuseColor(*own);
    }
}

// --- Geometry -----------------------------------------------------------------------------

DzFileIOSettings objSettings()
{
    DzFileIOSettings s;
    s.setStringValue(QStringLiteral("Preset"), QStringLiteral("Poser (1 unit = 8ft 4in)"));
    s.setFloatValue(QStringLiteral("Scale"), kPropScalePercent);
    s.setBoolValue(QStringLiteral("SwapYZ"), false);
    s.setBoolValue(QStringLiteral("IncludeG"), true);
    s.setBoolValue(QStringLiteral("IncludeVT"), true);
    s.setBoolValue(QStringLiteral("IncludeUsemtl"), true);
    return s;
}

std::unique_ptr<DzFacetShape> readObj(const QString &path, QString &error)
{
    DzObjImporter importer;
    const DzFileIOSettings settings = objSettings();
    std::unique_ptr<DzFacetShape> shape(importer.readShape(path, &settings));
    if (!shape)
        error = importer.getLastError();
    return shape;
}

// geomCustom: its v, vt, vn, f, g and usemtl lines are OBJ; the count lines (numbVerts …) and
// anything else are left out. Read through the OBJ importer from a temporary file.
std::unique_ptr<DzFacetShape> readEmbedded(const Stmt &geom, const QString &propName, QString &error)
{
    QByteArray obj;
    std::vector<int> sourceLines;   // the prop file's line of each OBJ line
    for (const Stmt &s : geom.block) {
        const std::string_view k = s.key();
        if (k != "v" && k != "vt" && k != "vn" && k != "f" && k != "g" && k != "usemtl")
            continue;
        sourceLines.push_back(s.line);
        for (size_t i = 0; i < s.words.size(); ++i) {
            if (i)
                obj += ' ';
            obj.append(s.words[i].data(), qsizetype(s.words[i].size()));
        }
        obj += '\n';
    }
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/dzprop-XXXXXX.obj"));
    if (!file.open() || file.write(obj) != obj.size() || !file.flush()) {
        error = QStringLiteral("cannot stage the embedded geometry of %1").arg(propName);
        return nullptr;
    }
    file.close();
    auto shape = readObj(file.fileName(), error);
    if (!shape) {
        // The importer names the staged file and its line; name the prop file's line instead.
        const QString staged = QFileInfo(file.fileName()).fileName() + QStringLiteral(": ");
        if (error.startsWith(staged))
            error = error.mid(staged.size());
        static const QRegularExpression lineNo(QStringLiteral("^line (\\d+): "));
        const QRegularExpressionMatch m = lineNo.match(error);
        if (m.hasMatch()) {
            const qsizetype n = m.captured(1).toLongLong();
            if (n >= 1 && n <= qsizetype(sourceLines.size()))
                error = QStringLiteral("line %1: ").arg(sourceLines[size_t(n - 1)]) + error.mid(m.capturedLength());
        }
        error = QStringLiteral("the embedded geometry of %1: %2").arg(propName, error);
    }
    else
        shape->setName(propName);
    return shape;
}

// --- Props --------------------------------------------------------------------------------

struct GeometryRef {
    const Stmt *embedded = nullptr;   // geomCustom
    QString reference;                // objFileGeom / figureResFile
    int line = 0;
};

struct PropInfo {
    QString name;
    QString label;
    std::vector<GeometryRef> geometry;
    QHash<QString, QColor> colours;
    std::vector<const Stmt *> targets;
};

// targetGeom statements anywhere below the block (they sit in "channels").
void collectTargets(const std::vector<Stmt> &block, std::vector<const Stmt *> &out, int depth = 0)
{
    if (depth > kMaxDepth)
        return;
    for (const Stmt &s : block) {
        if (s.key() == "targetGeom" && s.hasBlock)
            out.push_back(&s);
        else if (s.hasBlock)
            collectTargets(s.block, out, depth + 1);
    }
}

void readPropBlock(const Stmt &prop, PropInfo &info)
{
    for (const Stmt &s : prop.block) {
        const std::string_view k = s.key();
        if (k == "objFileGeom" || k == "figureResFile") {
            // objFileGeom has two numbers before the path.
            size_t from = 1;
            if (k == "objFileGeom" && s.words.size() > 3 && isInteger(s.words[1]) && isInteger(s.words[2]))
                from = 3;
            GeometryRef ref;
            ref.reference = str(s.textFrom(from));
            ref.line = s.line;
            info.geometry.push_back(ref);
        } else if (k == "geomCustom" && s.hasBlock) {
            GeometryRef ref;
            ref.embedded = &s;
            ref.line = s.line;
            info.geometry.push_back(ref);
        } else if (k == "name" && info.label.isEmpty() && !s.hasBlock) {
            const QString label = str(s.textFrom(1)).trimmed();
            // Localised names ("GetStringRes(1024,3)") point into Poser's string tables.
            if (!label.startsWith(QLatin1String("GetStringRes")))
                info.label = label;
        } else if (k == "material" && s.hasBlock && s.words.size() >= 2) {
            const QString material = str(s.textFrom(1));
            for (const Stmt &m : s.block) {
                double c[3];
                if (m.key() == "KdColor" && m.words.size() >= 4 && toDouble(m.words[1], c[0])
                    && toDouble(m.words[2], c[1]) && toDouble(m.words[3], c[2]) && !info.colours.contains(material))
                    info.colours.insert(material, QColor::fromRgbF(float(clamp01(c[0])), float(clamp01(c[1])),
                                                                   float(clamp01(c[2]))));
            }
        }
    }
    collectTargets(prop.block, info.targets);
}

// The morphs of a target list against a mesh of vertexCount vertices. A delta line that is not
// "d INDEX dx dy dz" makes the file malformed; an index the mesh does not have is dropped.
bool makeMorphs(const std::vector<const Stmt *> &targets, int vertexCount, DzObject &object, QString &error)
{
    for (const Stmt *t : targets) {
        const Stmt *deltas = nullptr;
        for (const Stmt &s : t->block)
            if (s.key() == "deltas" && s.hasBlock) {
                deltas = &s;
                break;
            }
        if (!deltas)
            continue;
        const QString name = t->words.size() >= 2 ? str(t->textFrom(1)) : QStringLiteral("morph");
        auto *md = new DzMorphDeltas;
        md->ref();
        int dropped = 0;
        for (const Stmt &d : deltas->block) {
            if (d.key() != "d")
                continue;
            long long index = 0;
            double v[3];
            if (d.words.size() < 5 || !toInt(d.words[1], index) || !toDouble(d.words[2], v[0])
                || !toDouble(d.words[3], v[1]) || !toDouble(d.words[4], v[2])) {
                error = QStringLiteral("line %1: a delta of %2 is not \"d INDEX dx dy dz\"").arg(d.line).arg(name);
                md->unref();
                return false;
            }
            const DzVec3 off(float(v[0] * kPropUnitCm), float(v[1] * kPropUnitCm), float(v[2] * kPropUnitCm));
            if (index < 0 || index >= vertexCount || !md->addDelta(int(index), off))
                ++dropped;
        }
        if (dropped)
            qWarning("prop morph %s: %d deltas name vertices the mesh does not have; dropped",
                     qPrintable(name), dropped);
        if (md->getNumDeltas() > 0) {
            auto *morph = new DzMorph;
            morph->setName(name);
            morph->setLabel(name);
            morph->getValueChannel()->setValue(0.0f);
            morph->setDeltas(md);
            object.addModifier(morph);
        }
        md->unref();
    }
    return true;
}

std::unique_ptr<DzNode> nodeWithShape(const QString &name, const QString &label, std::unique_ptr<DzFacetShape> shape)
{
    auto node = std::make_unique<DzNode>();
    node->setName(name);
    node->setLabel(label);
    auto *object = new DzObject;
    object->setName(name);
    object->addShape(shape.release());
    node->setObject(object);
    return node;
}

// Resolves a geometry reference; out is the file and runtime its Runtime folder on Found, why the
// reason on Refused.
Lookup resolveReference(const QString &ref, const QStringList &roots, QString &out, QString &runtime, QString &why)
{
    QStringList parts;
    const Lookup split = splitReference(ref, parts, why);
    if (split != Lookup::Found)
        return split;
    for (const QString &root : roots) {
        const Lookup l = walk(root, parts, out, runtime, why);
        if (l != Lookup::Missing)
            return l;
    }
    why = QStringLiteral("\"%1\" is not in any content folder").arg(ref);
    return Lookup::Missing;
}

} // namespace

QString findEntryCaseBlind(const QString &folder, const QString &name)
{
    return orovista::poser::entryCaseBlind(folder, name);
}

Result readPropFile(const QString &path, const QStringList &poserDirs)
{
    Result result;
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QFile file(p);
    if (!QFileInfo(p).isFile() || !file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("cannot open \"%1\"").arg(path);
        return result;
    }
    if (file.size() > kMaxPropFileBytes) {
        result.error = QStringLiteral("\"%1\" is too big for a prop file").arg(path);
        return result;
    }
    const QByteArray text = file.readAll();
    file.close();

    Stmt root;
    if (!parseBlocks(text, root, result.error))
        return result;

    // Props sit in the file's outer block; files without one are read at their top level.
    std::vector<const Stmt *> propStmts;
    auto scan = [&](const std::vector<Stmt> &list) {
        for (const Stmt &s : list)
            if (s.key() == "prop" && s.hasBlock && s.words.size() >= 2)
                propStmts.push_back(&s);
    };
    scan(root.block);
    for (const Stmt &s : root.block)
        if (s.words.empty() && s.hasBlock)
            scan(s.block);

    std::vector<PropInfo> props;
    for (const Stmt *s : propStmts) {
        const QString name = str(s->textFrom(1)).trimmed();
        if (name.isEmpty())
            continue;
        auto it = std::find_if(props.begin(), props.end(), [&](const PropInfo &pi) { return pi.name == name; });
        if (it == props.end()) {
            props.emplace_back();
            props.back().name = name;
            it = props.end() - 1;
        }
        readPropBlock(*s, *it);
    }
    if (props.empty()) {
        result.error = QStringLiteral("\"%1\" holds no prop").arg(path);
        return result;
    }

    QStringList roots;
    const QString own = libraryOf(QFileInfo(p).absoluteFilePath());
    if (!own.isEmpty())
        roots.append(own);
    for (const QString &d : poserDirs) {
        if (d.isEmpty())
            continue;
        // A Poser directory is the folder that holds "Runtime"; one given as the Runtime folder
        // itself stands for its parent.
        QString base = d;
        if (sameCaseBlind(QFileInfo(d).fileName(), QStringLiteral("Runtime"))
            && findEntryCaseBlind(d, QStringLiteral("Runtime")).isEmpty())
            base = QFileInfo(d).absolutePath();
        if (!roots.contains(base))
            roots.append(base);
    }

    std::vector<std::unique_ptr<DzNode>> made;
    for (const PropInfo &prop : props) {
        if (prop.geometry.empty()) {
            result.error = QStringLiteral("prop %1 has no geometry").arg(prop.name);
            return result;
        }
        const QString label = prop.label.isEmpty() ? prop.name : prop.label;
        std::unique_ptr<DzNode> node;
        for (const GeometryRef &g : prop.geometry) {
            std::unique_ptr<DzFacetShape> shape;
            QString error, geomFile, runtime;
            if (g.embedded) {
                shape = readEmbedded(*g.embedded, prop.name, error);
            } else {
                const Lookup l = resolveReference(g.reference, roots, geomFile, runtime, error);
                if (l == Lookup::Found)
                    shape = readObj(geomFile, error);
            }
            if (!shape) {
                result.error = QStringLiteral("prop %1, line %2: %3").arg(prop.name).arg(g.line).arg(error);
                return result;
            }
            applyMaterials(shape.get(), geomFile.isEmpty() ? QHash<QString, MtlEntry>() : materialsOfObj(geomFile, runtime),
                           prop.colours);
            if (!node) {
                const int vertices = shape->getFacetMesh() ? shape->getFacetMesh()->getNumVertices() : 0;
                node = nodeWithShape(prop.name, label, std::move(shape));
                if (!makeMorphs(prop.targets, vertices, *node->getObject(), error)) {
                    result.error = QStringLiteral("prop %1: %2").arg(prop.name, error);
                    return result;
                }
            } else {
                const QString base = geomFile.isEmpty() ? QStringLiteral("geometry") : QFileInfo(geomFile).completeBaseName();
                const QString childName = prop.name + QLatin1Char('_') + base;
                std::unique_ptr<DzNode> child = nodeWithShape(childName, childName, std::move(shape));
                // The node owns the child (as its QObject parent) until a scene takes them.
                child->setParent(node.get());
                node->addNodeChild(child.release());
            }
        }
        made.push_back(std::move(node));
    }
    for (auto &n : made)
        result.nodes.append(n.release());
    result.ok = true;
    return result;
}

} // namespace dzpropreader
