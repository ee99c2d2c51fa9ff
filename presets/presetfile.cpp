#include "presets/presetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

namespace orovista::presets {

namespace {

/// The C library's atoi: leading blanks, an optional sign, then digits; 0 without digits. Values
/// beyond the int range saturate instead of overflowing.
int atoiValue(const QByteArray &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\v' || text[i] == '\f' ||
                     text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 32);
    value = negative ? -value : value;
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

enum class Kind { Int, Flag, Text, Image };

struct Key {
    const char *name;
    Kind kind;
    int lo, hi;   ///< range of an Int
    std::function<int &(NoiseSettings &)> number;
    std::function<QString &(NoiseSettings &)> text;
    std::function<bool &(NoiseSettings &)> flag;
};

template <class F>
Key intKey(const char *name, int lo, int hi, F field)
{
    return {name, Kind::Int, lo, hi, field, {}, {}};
}

const std::vector<Key> &keys()
{
    static const std::vector<Key> table = [] {
        std::vector<Key> k;
        auto text = [](const char *name, Kind kind, std::function<QString &(NoiseSettings &)> f) {
            return Key{name, kind, 0, 0, {}, std::move(f), {}};
        };
        k.push_back(intKey("noiseSize", 1, 512, [](NoiseSettings &s) -> int & { return s.final.noiseSize; }));
        k.push_back(intKey("startX", -32, 32, [](NoiseSettings &s) -> int & { return s.final.startX; }));
        k.push_back(intKey("startY", -32, 32, [](NoiseSettings &s) -> int & { return s.final.startY; }));
        k.push_back(text("gradient1", Kind::Text, [](NoiseSettings &s) -> QString & { return s.final.leftGradient; }));
        k.push_back(text("gradient2", Kind::Text, [](NoiseSettings &s) -> QString & { return s.final.rightGradient; }));
        for (int i : {0, 1}) {
            const char *const names[13][2] = {
                {"I1Type", "I2Type"},
                {"I1seedNumber", "I2seedNumber"},
                {"I1frequency", "I2frequency"},
                {"I1lacunarity", "I2lacunarity"},
                {"I1quality", "I2quality"},
                {"I1octaves", "I2octaves"},
                {"I1persistence", "I2persistence"},
                {"I1displacement", "I2displacement"},
                {"I1NoiseImageFile", "I2NoiseImageFile"},
                {"I1MultiFractalOffset", "I2MultiFractalOffset"},
                {"I1MultiFractalGain", "I2MultiFractalGain"},
                {"I1MultiFractalWeight", "I2MultiFractalWeight"},
                {"I1GaborAnisotropic", "I2GaborAnisotropic"},
            };
            auto in = [i](auto member) {
                return [i, member](NoiseSettings &s) -> auto & { return s.input[i].*member; };
            };
            k.push_back(intKey(names[0][i], 0, 9, in(&GeneratorSettings::type)));
            k.push_back(intKey(names[1][i], INT_MIN, INT_MAX, in(&GeneratorSettings::seed)));
            k.push_back(intKey(names[2][i], 1, 100, in(&GeneratorSettings::frequency)));
            k.push_back(intKey(names[3][i], 15, 50, in(&GeneratorSettings::lacunarity)));
            k.push_back(intKey(names[4][i], 1, 3, in(&GeneratorSettings::quality)));
            k.push_back(intKey(names[5][i], 1, 30, in(&GeneratorSettings::octaves)));
            k.push_back(intKey(names[6][i], 1, 10, in(&GeneratorSettings::persistence)));
            k.push_back(intKey(names[7][i], 1, 100, in(&GeneratorSettings::displacement)));
            k.push_back(text(names[8][i], Kind::Image, in(&GeneratorSettings::imageFile)));
            k.push_back(intKey(names[9][i], -100, 100, in(&GeneratorSettings::multiFractalOffset)));
            k.push_back(intKey(names[10][i], -200, 200, in(&GeneratorSettings::multiFractalGain)));
            k.push_back(intKey(names[11][i], 0, 100, in(&GeneratorSettings::multiFractalWeight)));
            k.push_back(Key{names[12][i], Kind::Flag, 0, 0, {}, {}, in(&GeneratorSettings::gaborAnisotropic)});
        }
        for (int i : {0, 1}) {
            const char *const names[9][2] = {
                {"D1Type", "D2Type"},         {"D1ClampLow", "D2ClampLow"},
                {"D1ClampHigh", "D2ClampHigh"}, {"D1Curve", "D2Curve"},
                {"D1Exponent", "D2Exponent"}, {"D1RoundEdge", "D2RoundEdge"},
                {"D1ScaleBiasLow", "D2ScaleBiasLow"}, {"D1ScaleBiasHigh", "D2ScaleBiasHigh"},
                {"D1Terrace", "D2Terrace"},
            };
            auto de = [i](auto member) {
                return [i, member](NoiseSettings &s) -> int & { return s.deformer[i].*member; };
            };
            k.push_back(intKey(names[0][i], 0, 7, de(&DeformerSettings::type)));
            k.push_back(intKey(names[1][i], -100, 100, de(&DeformerSettings::clampLow)));
            k.push_back(intKey(names[2][i], -100, 100, de(&DeformerSettings::clampHigh)));
            k.push_back(intKey(names[3][i], 0, 16, de(&DeformerSettings::curveProfile)));
            k.push_back(intKey(names[4][i], 1, 100, de(&DeformerSettings::exponent)));
            // The deformer has no round-edge control: the key holds the noise size.
            k.push_back(intKey(names[5][i], 1, 512, [](NoiseSettings &s) -> int & { return s.final.noiseSize; }));
            k.push_back(intKey(names[6][i], -100, 100, de(&DeformerSettings::scaleBiasLow)));
            k.push_back(intKey(names[7][i], -500, 500, de(&DeformerSettings::scaleBiasHigh)));
            k.push_back(intKey(names[8][i], 0, 15, de(&DeformerSettings::terraceProfile)));
        }
        auto control = [](auto member) {
            return [member](NoiseSettings &s) -> auto & { return s.combiner.control.*member; };
        };
        k.push_back(intKey("C1TerrainType", 0, 6, [](NoiseSettings &s) -> int & { return s.combiner.type; }));
        k.push_back(intKey("C1NoiseType", 0, 9, control(&GeneratorSettings::type)));
        k.push_back(intKey("C1seedNumber", INT_MIN, INT_MAX, control(&GeneratorSettings::seed)));
        k.push_back(intKey("C1frequency", 1, 160, control(&GeneratorSettings::frequency)));
        k.push_back(intKey("C1lacunarity", 1, 50, control(&GeneratorSettings::lacunarity)));
        k.push_back(intKey("C1quality", 1, 3, control(&GeneratorSettings::quality)));
        k.push_back(intKey("C1octaves", 1, 30, control(&GeneratorSettings::octaves)));
        k.push_back(intKey("C1persistence", 1, 10, control(&GeneratorSettings::persistence)));
        k.push_back(intKey("C1displacement", 1, 100, control(&GeneratorSettings::displacement)));
        k.push_back(intKey("C1falloff", -100, 100, [](NoiseSettings &s) -> int & { return s.combiner.edgeFalloff; }));
        k.push_back(text("C1NoiseImageFile", Kind::Image, control(&GeneratorSettings::imageFile)));
        auto fin = [](auto member) { return [member](NoiseSettings &s) -> int & { return s.final.*member; }; };
        k.push_back(intKey("T1frequency", -100, 100, fin(&FinalSettings::turbulenceFrequency)));
        k.push_back(intKey("T1power", 0, 250, fin(&FinalSettings::turbulencePower)));
        k.push_back(intKey("T1roughness", 1, 30, fin(&FinalSettings::turbulenceRoughness)));
        k.push_back(intKey("T1seed", INT_MIN, INT_MAX, fin(&FinalSettings::turbulenceSeed)));
        k.push_back(intKey("erosionType", 0, 5, fin(&FinalSettings::erosionType)));
        k.push_back(intKey("erosionIterations", 0, 1000, fin(&FinalSettings::erosionIterations)));
        k.push_back(intKey("erosionRain", 1, 100, fin(&FinalSettings::erosionRain)));
        k.push_back(intKey("erosionSolubility", 1, 100, fin(&FinalSettings::erosionSolubility)));
        k.push_back(intKey("erosionEvaporation", 1, 150, fin(&FinalSettings::erosionEvaporation)));
        k.push_back(intKey("erosionCapacity", 1, 100, fin(&FinalSettings::erosionCapacity)));
        k.push_back(intKey("sedimentRain", 1, 1000, fin(&FinalSettings::sedimentRain)));
        k.push_back(intKey("sedimentErosion", 0, 1000, fin(&FinalSettings::sedimentErosion)));
        k.push_back(intKey("sedimentDeposition", 0, 100, fin(&FinalSettings::sedimentDeposition)));
        k.push_back(intKey("sedimentCapacity", 0, 1000, fin(&FinalSettings::sedimentCapacity)));
        k.push_back(intKey("sedimentEvaporation", 0, 1000, fin(&FinalSettings::sedimentEvaporation)));
        k.push_back(intKey("sedimentMinSlope", 0, 1000, fin(&FinalSettings::sedimentMinSlope)));
        k.push_back(intKey("sedimentSeed", 0, 99999, fin(&FinalSettings::sedimentSeed)));
        return k;
    }();
    return table;
}

const Key *findKey(const QByteArray &name)
{
    for (const Key &k : keys())
        if (name == k.name)
            return &k;
    return nullptr;
}

}   // namespace

ReadResult read(const QByteArray &text, NoiseSettings &s, const ReadOptions &options)
{
    ReadResult result;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        QList<QByteArray> fields = line.split('=');
        fields.removeAll(QByteArray());
        if (fields.isEmpty())
            continue;
        const Key *key = findKey(fields[0]);
        if (!key)
            continue;
        QByteArray value = fields.value(1);
        while (value.endsWith('\r'))
            value.chop(1);   // stray carriage returns are line endings, not part of a name
        ++result.keysRead;
        switch (key->kind) {
        case Kind::Int:
            key->number(s) = std::clamp(atoiValue(value), key->lo, key->hi);
            break;
        case Kind::Flag:
            key->flag(s) = atoiValue(value) != 0;
            break;
        case Kind::Text: {
            const QString name = QString::fromUtf8(value);
            key->text(s) = name;
            (qstrcmp(key->name, "gradient1") == 0 ? result.gradient1 : result.gradient2) = name;
            break;
        }
        case Kind::Image: {
            const QString path = QString::fromUtf8(value);
            if (path == QLatin1String("none") || path.isEmpty())
                break;
            key->text(s) = options.userPreset ? path : options.nativeFolder + QLatin1Char('/') + path;
            break;
        }
        }
    }
    return result;
}

ReadResult readFile(const QString &path, NoiseSettings &settings, const ReadOptions &options, bool *opened)
{
    // Only a regular file is read: a FIFO or a device would never end.
    QFile file(path);
    const bool ok = files::inputProblem(path).isEmpty() && file.open(QIODevice::ReadOnly);
    if (opened)
        *opened = ok;
    return read(ok ? file.readAll() : QByteArray(), settings, options);
}

QString setKey(NoiseSettings &s, const QString &name, const QString &value, const ReadOptions &options, bool *known)
{
    const Key *key = findKey(name.toUtf8());
    if (known)
        *known = key != nullptr;
    if (!key)
        return QStringLiteral("no preset key \"%1\"").arg(name);
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        return QStringLiteral("%1 must be one line").arg(name);
    switch (key->kind) {
    case Kind::Int:
    case Kind::Flag: {
        const int lo = key->kind == Kind::Flag ? 0 : key->lo, hi = key->kind == Kind::Flag ? 2 : key->hi;
        bool whole = false;
        const qlonglong number = value.trimmed().toLongLong(&whole);   // decimal digits with a sign, nothing else
        if (!whole)
            return QStringLiteral("%1 needs a whole number between %2 and %3").arg(name).arg(lo).arg(hi);
        if (number < lo || number > hi)
            return QStringLiteral("%1 must lie between %2 and %3").arg(name).arg(lo).arg(hi);
        if (key->kind == Kind::Flag)
            key->flag(s) = number != 0;
        else
            key->number(s) = int(number);
        return {};
    }
    case Kind::Text:
    case Kind::Image:
        read(name.toUtf8() + '=' + value.toUtf8() + '\n', s, options);
        return {};
    }
    return {};
}

QByteArray write(const NoiseSettings &settings)
{
    NoiseSettings s = settings;   // the accessors hand out references
    QByteArray out;
    // Sediment erosion's keys follow the others, and only when it is chosen: every other preset
    // keeps the form other programs read.
    const int written = s.final.erosion() == ErosionType::Sediment ? keyCount + sedimentKeyCount : keyCount;
    for (int i = 0; i < written; ++i) {
        const Key &k = keys()[std::size_t(i)];
        out += k.name;
        out += '=';
        switch (k.kind) {
        case Kind::Int:
            out += QByteArray::number(k.number(s));
            break;
        case Kind::Flag:
            out += k.flag(s) ? "2" : "0";
            break;
        case Kind::Text:
            out += k.text(s).toUtf8();
            break;
        case Kind::Image:
            out += k.text(s).isEmpty() ? QByteArray("none") : k.text(s).toUtf8();
            break;
        }
        out += '\n';
    }
    return out;
}

QString nameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("a preset needs a name");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" cannot name a preset").arg(name);
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return QStringLiteral("a preset name cannot contain \"/\" or \"\\\": %1").arg(name);
    // A line break or another control character would split the lines that list or name the
    // file (the preset list, a log, an OBJ's "mtllib" line).
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return QStringLiteral("a name cannot contain a line break or another control character (U+%1)")
                .arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return {};
}

bool save(const QString &folder, const QString &name, const NoiseSettings &settings, QString *error,
          files::Batch *batch)
{
    if (const QString problem = nameProblem(name); !problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    const QString path = QDir(folder).filePath(name + QStringLiteral(".opf"));
    const QByteArray text = write(settings);
    const QString failure = files::writeFile(path, {text}, batch);
    if (!failure.isEmpty() && error)
        *error = failure;
    return failure.isEmpty();
}

bool saveThumbnail(const QString &folder, const QString &name, const QString &picture, QString *error,
                   files::Batch *batch)
{
    if (!files::inputProblem(picture).isEmpty() || !nameProblem(name).isEmpty())
        return false;
    const QImage source(picture);
    if (source.isNull())
        return false;
    const QString failure =
        files::writePicture(QDir(folder).filePath(name + QStringLiteral(".jpg")),
                            source.scaled(128, 128, Qt::IgnoreAspectRatio, Qt::FastTransformation), batch);
    if (!failure.isEmpty() && error)
        *error = failure;
    return failure.isEmpty();
}

}   // namespace orovista::presets
