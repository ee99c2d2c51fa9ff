#include "library/propfile.h"

#include "library/poserpaths.h"
#include "noise/outputfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace orovista {

namespace {

/// The names of one geometry line from its Runtime folder on ("runtime", "geometries", …), or
/// why it cannot be read as a reference into the Runtime folder.
bool referenceNames(const QString &line, QStringList &names, QString &why)
{
    // The reference starts at the first ":Runtime" that is a whole name: ":RuntimeOld:oak.obj"
    // names a folder beside the Runtime folder, not one inside it.
    const QRegularExpression separators(QStringLiteral("[:/]"));
    QString rest;
    names.clear();
    for (int p = line.indexOf(QLatin1String(":runtime"), 0, Qt::CaseInsensitive); p >= 0;
         p = line.indexOf(QLatin1String(":runtime"), p + 1, Qt::CaseInsensitive)) {
        rest = line.mid(p);
        rest.remove(QLatin1Char('"'));
        rest = rest.simplified();
        names = rest.split(separators, Qt::SkipEmptyParts);
        if (names.first().compare(QLatin1String("runtime"), Qt::CaseInsensitive) == 0)
            break;
        names.clear();
    }
    if (names.isEmpty()) {
        why = QStringLiteral("the geometry reference \"") + line.simplified() +
              QStringLiteral("\" does not lie in the library's Runtime folder");
        return false;
    }
    for (const QString &name : std::as_const(names))
        if (name == QLatin1String("..") || name == QLatin1String(".")) {
            why = QStringLiteral("the geometry reference \"") + rest +
                  QStringLiteral("\" leaves the library's Runtime folder");
            return false;
        }
    return true;
}

/// "tmpObjN.obj" text of a geomCustom block whose first line is `line`; reads the block's
/// following lines from `in` unless the first line closes it.
QByteArray embeddedObj(const QString &line, QTextStream &in, int n)
{
    QByteArray text = "o tmpObj" + QByteArray::number(n) + "\ng default\n";
    if (line.contains(QLatin1Char('}')))
        return text;
    static const char *const counts[] = {"numbVerts", "numbTVerts", "numbTSets", "numbElems", "numbSets"};
    QString body;
    while (in.readLineInto(&body) && !body.contains(QLatin1Char('}'))) {
        if (body.contains(QLatin1Char('{')))
            continue;
        bool count = false;
        for (const char *c : counts)
            count = count || body.contains(QLatin1String(c));
        if (count)
            continue;
        body.remove(QLatin1Char('\t'));
        text += body.toUtf8() + '\n';
    }
    return text;
}

}   // namespace

QString childOf(const QString &folder, const QString &name)
{
    const QString found = poser::entryCaseBlind(folder, name);
    return found.isEmpty() ? folder + QLatin1Char('/') + name : found;
}

QString runtimeRoot(const QString &pp2Path)
{
    // Searched without regard to case in the path itself: a lower-cased copy can be longer than
    // the path ("İ" lowers to two code units), and its offsets would cut the path in the wrong place.
    for (int from = 0;;) {
        const int at = pp2Path.indexOf(QLatin1String("/runtime"), from, Qt::CaseInsensitive);
        if (at < 0)
            return pp2Path;
        const int after = at + 8;
        if (after == pp2Path.size() || pp2Path.at(after) == QLatin1Char('/'))
            return pp2Path.left(at);
        from = at + 1;
    }
}

PropThumbnail propThumbnail(const QString &pp2Path)
{
    PropThumbnail out;
    QString base = pp2Path;
    if (base.endsWith(QLatin1String(".pp2"), Qt::CaseInsensitive))
        base.chop(4);
    const QString root = runtimeRoot(pp2Path);
    // The Runtime folder as the prop's own path names it.
    const QString runtime = root == pp2Path ? QString() : pp2Path.left(root.size() + 8);
    for (const char *suffix : {".png", ".jpg"}) {
        const QString candidate = base + QLatin1String(suffix);
        if (!QFileInfo(candidate).isFile())
            continue;
        if (poser::liesWithin(candidate, runtime))
            out.path = candidate;
        else
            out.refusal = QStringLiteral("the thumbnail ") + candidate + QStringLiteral(" of ") + pp2Path +
                          QStringLiteral(" leads out of the library's Runtime folder");
        break;
    }
    return out;
}

PropFile readPropFile(const QString &pp2Path, const QString &mapsFolder)
{
    PropFile out;
    QFile file(pp2Path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        out.result = PropRefused;
        out.message = QStringLiteral("cannot read ") + pp2Path + QStringLiteral(": ") + file.errorString();
        return out;
    }
    QString root = runtimeRoot(pp2Path);
    if (root.isEmpty())
        root = QStringLiteral("/");
    // The copies of embedded geometry are put in place together once the whole file has been read.
    files::Batch copies;
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        if (line.contains(QLatin1String("objFileGeom")) || line.contains(QLatin1String("figureResFile"))) {
            QStringList names;
            if (!referenceNames(line, names, out.message)) {
                out.result = PropRefused;
                return out;
            }
            const poser::RuntimeFile found = poser::findInRuntime(root, names);
            if (found.kind == poser::RuntimeFile::Outside) {
                out.result = PropRefused;
                out.message = QStringLiteral("the geometry file ") + found.path + QStringLiteral(" of ") + pp2Path +
                              QStringLiteral(" leads out of the library's Runtime folder");
                return out;
            }
            out.geometry << found.path;
            if (found.kind == poser::RuntimeFile::Missing) {
                out.result = PropGeometryMissing;
                out.message = found.path + QStringLiteral(" not found");
                return out;
            }
        } else if (line.contains(QLatin1String("geomCustom"))) {
            const int n = int(out.geometry.size()) + 1;
            const QString path = mapsFolder + QStringLiteral("/tmpObj") + QString::number(n) + QStringLiteral(".obj");
            const QByteArray text = embeddedObj(line, in, n);
            const QString failure = files::writeFile(path, {QByteArrayView(text)}, &copies);
            if (!failure.isEmpty()) {
                out.result = PropRefused;
                out.message = failure;
                return out;
            }
            out.geometry << path;
        }
    }
    out.result = out.geometry.isEmpty() ? PropNoGeometry : PropGeometryReady;
    try {
        copies.commit();
    } catch (const files::WriteError &e) {
        out.result = PropRefused;
        out.message = e.message();
    }
    return out;
}

}   // namespace orovista
