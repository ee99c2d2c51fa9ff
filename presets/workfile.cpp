#include "presets/workfile.h"

#include "library/poserpaths.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace orovista::work {

namespace {

constexpr const char *formatName = "orovista-work";
/// A work file of the largest terrain and many items stays far below this.
constexpr qsizetype maximumFileBytes = qsizetype(1) << 30;

QJsonArray numbers(std::initializer_list<double> values)
{
    QJsonArray a;
    for (double v : values)
        a.append(v);
    return a;
}

QByteArray packVertices(const std::vector<float> &vertices)
{
    QByteArray raw(qsizetype(vertices.size() * sizeof(float)), Qt::Uninitialized);
    for (std::size_t i = 0; i < vertices.size(); ++i)
        qToLittleEndian(vertices[i], raw.data() + i * sizeof(float));
    return qCompress(raw, 6).toBase64();
}

/// Reads numbers[i] of an array of exactly @a count finite numbers.
bool finiteArray(const QJsonValue &value, int count, double *out)
{
    const QJsonArray a = value.toArray();
    if (!value.isArray() || a.size() != count)
        return false;
    for (int i = 0; i < count; ++i) {
        if (!a[i].isDouble() || !std::isfinite(a[i].toDouble()))
            return false;
        out[i] = a[i].toDouble();
    }
    return true;
}

bool finiteNumber(const QJsonObject &o, const char *key, double *out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        return false;
    *out = v.toDouble();
    return true;
}

/// A float of the file: finite and within float range.
bool toFloat(double d, float *out)
{
    if (!std::isfinite(d) || std::fabs(d) > 3.0e38)
        return false;
    *out = float(d);
    return true;
}

bool toInt(double d, std::int32_t *out)
{
    if (!std::isfinite(d) || d < -2147483648.0 || d > 2147483647.0 || d != std::trunc(d))
        return false;
    *out = std::int32_t(d);
    return true;
}

/// A plain relative path: no root, no "..", no scheme, no control characters.
bool plainRelative(const QString &path)
{
    if (path.isEmpty() || path.size() > 4096 || QDir::isAbsolutePath(path) || path.contains(QLatin1Char(':'))
        || path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')))
        return false;
    for (const QChar c : path)
        if (c.unicode() < 0x20)
            return false;
    for (const QString &part : path.split(QRegularExpression(QStringLiteral("[/\\\\]"))))
        if (part == QLatin1String(".."))
            return false;
    return true;
}

}   // namespace

QByteArray write(const Work &w)
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), QLatin1String(formatName));
    root.insert(QStringLiteral("version"), formatVersion);
    root.insert(QStringLiteral("nodes"), QString::fromUtf8(w.nodes));
    if (w.terrainSize > 0 && w.grid > 0) {
        QJsonObject t;
        t.insert(QStringLiteral("size"), w.terrainSize);
        t.insert(QStringLiteral("grid"), w.grid);
        t.insert(QStringLiteral("vertices"), QString::fromLatin1(packVertices(w.vertices)));
        root.insert(QStringLiteral("terrain"), t);
    }
    QJsonArray items;
    for (const Item &item : w.items) {
        const PaintedItem &v = item.values;
        QJsonObject o;
        o.insert(QStringLiteral("prop"), item.prop);
        o.insert(QStringLiteral("id"), v.id);
        o.insert(QStringLiteral("x"), double(v.x));
        o.insert(QStringLiteral("y"), double(v.y));
        o.insert(QStringLiteral("z"), double(v.z));
        o.insert(QStringLiteral("rot"), numbers({double(v.xRot), double(v.yRot), double(v.zRot)}));
        o.insert(QStringLiteral("scale"), double(v.scale));
        o.insert(QStringLiteral("scales"), numbers({double(v.scaleX), double(v.scaleY), double(v.scaleZ)}));
        o.insert(QStringLiteral("tint"), numbers({double(v.red), double(v.green), double(v.blue)}));
        items.append(o);
    }
    if (!items.isEmpty())
        root.insert(QStringLiteral("items"), items);
    if (!w.chosenProp.isEmpty())
        root.insert(QStringLiteral("chosenProp"), w.chosenProp);
    if (!w.sky.isEmpty())
        root.insert(QStringLiteral("sky"), QJsonObject::fromVariantMap(w.sky));
    if (w.camera) {
        const auto &c = *w.camera;
        root.insert(QStringLiteral("camera"), numbers({c[0], c[1], c[2], c[3], c[4], c[5]}));
    }
    if (w.light)
        root.insert(QStringLiteral("light"), numbers({double((*w.light)[0]), double((*w.light)[1]), double((*w.light)[2])}));
    if (!w.create.isEmpty())
        root.insert(QStringLiteral("create"), QJsonObject::fromVariantMap(w.create));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Work> read(const QByteArray &bytes, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::optional<Work>();
    };
    if (bytes.size() > maximumFileBytes)
        return fail(QStringLiteral("not a work file: larger than any work file can be"));
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject())
        return fail(QStringLiteral("not a work file: %1").arg(parse.error != QJsonParseError::NoError
                                                                   ? parse.errorString() + QStringLiteral(" at byte ")
                                                                         + QString::number(parse.offset)
                                                                   : QStringLiteral("no JSON object")));
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(formatName))
        return fail(QStringLiteral("not a work file: no \"format\": \"%1\"").arg(QLatin1String(formatName)));
    const QJsonValue versionValue = root.value(QStringLiteral("version"));
    const double version = versionValue.toDouble(-1.0);
    if (!versionValue.isDouble() || version != std::trunc(version) || version < 1.0 || version > 1.0e9)
        return fail(QStringLiteral("a work file without a valid version number"));
    if (version != formatVersion)
        return fail(QStringLiteral("a work file of format %1, from a %2 version of OROVISTA; this one reads format %3")
                        .arg(qint64(version))
                        .arg(version > formatVersion ? QStringLiteral("newer") : QStringLiteral("older"))
                        .arg(formatVersion));

    Work w;
    const QJsonValue nodes = root.value(QStringLiteral("nodes"));
    if (!nodes.isString())
        return fail(QStringLiteral("a work file without its node settings"));
    w.nodes = nodes.toString().toUtf8();

    if (root.contains(QStringLiteral("terrain"))) {
        const QJsonObject t = root.value(QStringLiteral("terrain")).toObject();
        double size = 0, grid = 0;
        if (!finiteNumber(t, "size", &size) || !finiteNumber(t, "grid", &grid) || size < 1 || size > 100000
            || size != std::trunc(size) || grid < 2 || grid > maximumGrid || grid != std::trunc(grid))
            return fail(QStringLiteral("the work file's terrain has no valid size and grid"));
        w.terrainSize = int(size);
        w.grid = int(grid);
        const QByteArray packed = QByteArray::fromBase64(t.value(QStringLiteral("vertices")).toString().toLatin1());
        const std::size_t count = std::size_t(w.grid) * std::size_t(w.grid) * 3;
        // qCompress starts with the unpacked size: check it before anything is allocated.
        if (packed.size() < 4 || qFromBigEndian<quint32>(packed.constData()) != count * sizeof(float))
            return fail(QStringLiteral("the work file's terrain heights are not %1 × %1 vertices").arg(w.grid));
        const QByteArray raw = qUncompress(packed);
        if (std::size_t(raw.size()) != count * sizeof(float))
            return fail(QStringLiteral("the work file's terrain heights are damaged"));
        w.vertices.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            w.vertices[i] = qFromLittleEndian<float>(raw.constData() + i * sizeof(float));
            if (!std::isfinite(w.vertices[i]))
                return fail(QStringLiteral("the work file's terrain holds a vertex that is not a number"));
        }
    }

    const QJsonArray items = root.value(QStringLiteral("items")).toArray();
    if (items.size() > maximumItems)
        return fail(QStringLiteral("the work file holds more than %1 items").arg(maximumItems));
    w.items.reserve(std::size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QJsonObject o = items[i].toObject();
        Item item;
        item.prop = o.value(QStringLiteral("prop")).toString();
        PaintedItem &v = item.values;
        double x, y, z, id, scale, rot[3], scales[3], tint[3];
        const bool ok = plainRelative(item.prop) && finiteNumber(o, "x", &x) && finiteNumber(o, "y", &y)
                        && finiteNumber(o, "z", &z) && finiteNumber(o, "id", &id) && finiteNumber(o, "scale", &scale)
                        && finiteArray(o.value(QStringLiteral("rot")), 3, rot)
                        && finiteArray(o.value(QStringLiteral("scales")), 3, scales)
                        && finiteArray(o.value(QStringLiteral("tint")), 3, tint) && toFloat(x, &v.x) && toFloat(y, &v.y)
                        && toFloat(z, &v.z) && toInt(id, &v.id) && toFloat(scale, &v.scale) && toInt(rot[0], &v.xRot)
                        && toInt(rot[1], &v.yRot) && toInt(rot[2], &v.zRot) && toFloat(scales[0], &v.scaleX)
                        && toFloat(scales[1], &v.scaleY) && toFloat(scales[2], &v.scaleZ) && toFloat(tint[0], &v.red)
                        && toFloat(tint[1], &v.green) && toFloat(tint[2], &v.blue);
        if (!ok)
            return fail(QStringLiteral("the work file's item %1 is damaged").arg(i + 1));
        w.items.push_back(std::move(item));
    }
    w.chosenProp = root.value(QStringLiteral("chosenProp")).toString();
    if (!w.chosenProp.isEmpty() && !plainRelative(w.chosenProp))
        w.chosenProp.clear();
    w.sky = root.value(QStringLiteral("sky")).toObject().toVariantMap();
    w.create = root.value(QStringLiteral("create")).toObject().toVariantMap();
    if (root.contains(QStringLiteral("camera"))) {
        std::array<double, 6> c {};
        if (!finiteArray(root.value(QStringLiteral("camera")), 6, c.data()))
            return fail(QStringLiteral("the work file's camera is damaged"));
        w.camera = c;
    }
    if (root.contains(QStringLiteral("light"))) {
        double l[3];
        std::array<std::int32_t, 3> light {};
        if (!finiteArray(root.value(QStringLiteral("light")), 3, l) || !toInt(l[0], &light[0]) || !toInt(l[1], &light[1])
            || !toInt(l[2], &light[2]))
            return fail(QStringLiteral("the work file's light is damaged"));
        w.light = std::array<int, 3> {light[0], light[1], light[2]};
    }
    return w;
}

QString relativeToLibrary(const QString &file, const QStringList &libraries)
{
    const QString real = QFileInfo(file).canonicalFilePath();
    for (const QString &library : libraries) {
        const QString root = QFileInfo(library).canonicalFilePath();
        if (!root.isEmpty() && !real.isEmpty() && poser::liesWithin(real, root))
            return QDir(root).relativeFilePath(real);
    }
    return {};
}

QString resolveInLibraries(const QString &relative, const QStringList &libraries)
{
    if (!plainRelative(relative))
        return {};
    for (const QString &library : libraries) {
        const QString path = QDir(library).filePath(relative);
        if (QFileInfo(path).isFile() && poser::liesWithin(path, library))
            return path;
    }
    return {};
}

}   // namespace orovista::work
