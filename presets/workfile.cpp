#include "presets/workfile.h"

#include "library/poserpaths.h"
#include "noise/outputfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <iterator>
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
        t.insert(QStringLiteral("sizeExponent"), w.terrainSizeExponent);
        t.insert(QStringLiteral("elevation"), numbers({double(w.elevationLow), double(w.elevationHigh)}));
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
    if (w.starSeed)
        root.insert(QStringLiteral("starSeed"), double(*w.starSeed));
    if (w.camera) {
        const auto &c = *w.camera;
        root.insert(QStringLiteral("camera"), numbers({c[0], c[1], c[2], c[3], c[4], c[5]}));
    }
    if (w.light)
        root.insert(QStringLiteral("light"), numbers({double((*w.light)[0]), double((*w.light)[1]), double((*w.light)[2])}));
    if (w.textureLight) {
        const auto &l = *w.textureLight;
        root.insert(QStringLiteral("textureLight"),
                    numbers({double(l[0]), double(l[1]), double(l[2]), double(l[3]), double(l[4])}));
    }
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
        // Files without them came from the window's start values.
        if (t.contains(QStringLiteral("sizeExponent"))) {
            double e = 0;
            if (!finiteNumber(t, "sizeExponent", &e) || e < 1 || e > 5 || e != std::trunc(e))
                return fail(QStringLiteral("the work file's terrain has no valid size exponent"));
            w.terrainSizeExponent = int(e);
        }
        if (t.contains(QStringLiteral("elevation"))) {
            double e[2];
            if (!finiteArray(t.value(QStringLiteral("elevation")), 2, e) || e[0] != std::trunc(e[0])
                || e[1] != std::trunc(e[1]) || e[0] < -10000 || e[0] > 0 || e[1] < 0 || e[1] > 9000)
                return fail(QStringLiteral("the work file's elevation range is damaged"));
            w.elevationLow = int(e[0]);
            w.elevationHigh = int(e[1]);
        }
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
    if (root.contains(QStringLiteral("starSeed"))) {
        double seed = -1;
        if (!finiteNumber(root, "starSeed", &seed) || seed < 0 || seed > 4294967295.0 || seed != std::trunc(seed))
            return fail(QStringLiteral("the work file's star seed is damaged"));
        w.starSeed = std::uint32_t(seed);
    }
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
    if (root.contains(QStringLiteral("textureLight"))) {
        // As the final node's controls take them: on or off, contrast 1 … 10, intensity 0 … 100,
        // angles in degrees.
        double l[5];
        if (!finiteArray(root.value(QStringLiteral("textureLight")), 5, l))
            return fail(QStringLiteral("the work file's texture light is damaged"));
        constexpr double lowest[5] = {0, 1, 0, 0, 0}, highest[5] = {1, 10, 100, 360, 360};
        std::array<int, 5> light {};
        for (int i = 0; i < 5; ++i) {
            if (l[i] != std::trunc(l[i]) || l[i] < lowest[i] || l[i] > highest[i])
                return fail(QStringLiteral("the work file's texture light is damaged"));
            light[std::size_t(i)] = int(l[i]);
        }
        w.textureLight = light;
    }
    return w;
}

void applyKept(const Work &w, FinalSettings &f)
{
    if (w.terrainSize > 0) {
        f.terrainSize = w.terrainSize;
        f.terrainSizeExponent = w.terrainSizeExponent;
        f.elevationLow = w.elevationLow;
        f.elevationHigh = w.elevationHigh;
    }
    if (w.textureLight) {
        const auto &l = *w.textureLight;
        f.lightOn = l[0] != 0;
        f.lightContrast = l[1];
        f.lightIntensity = l[2];
        f.lightAzimuth = l[3];
        f.lightElevation = l[4];
    }
}

std::optional<Work> readFile(const QString &path, QString *error)
{
    QFile file(path);
    QString why = files::inputProblem(path);
    if (why.isEmpty() && file.size() > maximumFileBytes)
        why = QStringLiteral("%1 is not a work file: larger than any work file can be").arg(path);
    if (why.isEmpty() && !file.open(QIODevice::ReadOnly))
        why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    if (why.isEmpty())
        return read(file.read(maximumFileBytes + 1), error);
    if (error)
        *error = why;
    return std::nullopt;
}

QStringList heightmapFormatChoice(int index)
{
    static const QStringList formats[] = {{}, {QStringLiteral("png16")}, {QStringLiteral("r16")}, {QStringLiteral("exr")},
                                          {QStringLiteral("png16"), QStringLiteral("r16"), QStringLiteral("exr")}};
    return index >= 0 && index < 5 ? formats[index] : QStringList();
}

QString engineChoice(int index)
{
    return index == 1 ? QStringLiteral("unity") : index == 2 ? QStringLiteral("unreal") : QString();
}

CreateChoices createChoices(const Work &w)
{
    CreateChoices c;
    auto index = [&](const char *name, int fallback) {
        const QVariant v = w.create.value(QLatin1String(name));
        return v.isValid() ? v.toInt() : fallback;
    };
    auto pick = [](const auto &list, int i, int fallback) {
        const int n = int(std::size(list));
        return i >= 0 && i < n ? list[i] : fallback;
    };
    c.textureSize = pick(textureSizeChoices, index("createDAZTerrainTextureSizeComboBox", 0), 512);
    c.skySize = pick(skySizeChoices, index("skyDomeMapSizeComboBox", 0), 0);
    c.normalMapSize = pick(normalMapSizeChoices, index("normalMapSizeComboBox", 0), 0);
    c.bumpSlider = std::clamp(index("normalMapBumpHeightSlider", 1000), 10, 5000);
    c.heightmapFormats = heightmapFormatChoice(index("heightmapFormatComboBox", 0));
    c.heightmapSize = std::clamp(index("heightmapSizeSpinBox", 1025), 2, 16384);
    c.engine = engineChoice(index("engineComboBox", 0));
    c.instanceList = w.create.value(QStringLiteral("instanceListCheckBox")).toBool();
    c.morphPercentage = std::clamp(index("morphPercentageSlider", 0), 0, 100);
    const QVariant name = w.create.value(QStringLiteral("createDAZTerrainNameLineEdit"));
    if (name.isValid())
        c.name = name.toString().left(200);
    return c;
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
