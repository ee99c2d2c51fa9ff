#include "library/propfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace orovista {

namespace {


/// Maps one geometry line to a path under `root`, or says why it cannot.
bool geometryPath(const QString &line, const QString &root, QString &path, QString &why)
{
    // The reference starts at the first ":Runtime" that is a whole name: ":RuntimeOld:oak.obj"
    // names a folder beside the Runtime folder, not one inside it.
    const QRegularExpression separators(QStringLiteral("[:/]"));
    QString rest;
    QStringList names;
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
    path = root;
    for (const QString &name : names) {
        if (name == QLatin1String("..") || name == QLatin1String(".")) {
            why = QStringLiteral("the geometry reference \"") + rest +
                  QStringLiteral("\" leaves the library's Runtime folder");
            return false;
        }
        path = childOf(path, name);
    }
    return true;
}

}   // namespace

QString childOf(const QString &folder, const QString &name)
{
    const QString exact = folder + QLatin1Char('/') + name;
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + QLatin1Char('/') + entry;
    return exact;
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

PropFile readPropFile(const QString &pp2Path, const QString &mapsFolder)
{
    PropFile out;
    QFile file(pp2Path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        out.result = PropRefused;
        out.message = QStringLiteral("cannot read ") + pp2Path + QStringLiteral(": ") + file.errorString();
        return out;
    }
    const QString root = runtimeRoot(pp2Path);
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        if (line.contains(QLatin1String("objFileGeom")) || line.contains(QLatin1String("figureResFile"))) {
            QString path, why;
            if (!geometryPath(line, root, path, why)) {
                out.result = PropRefused;
                out.message = why;
                return out;
            }
            out.geometry << path;
            if (!QFileInfo(path).isFile()) {
                out.result = PropGeometryMissing;
                out.message = path + QStringLiteral(" not found");
                return out;
            }
        } else if (line.contains(QLatin1String("geomCustom"))) {
            const int n = int(out.geometry.size()) + 1;
            const QString path = mapsFolder + QStringLiteral("/tmpObj") + QString::number(n) + QStringLiteral(".obj");
            QFile obj(path);
            bool written = obj.open(QIODevice::WriteOnly | QIODevice::Truncate);
            QByteArray text = "o tmpObj" + QByteArray::number(n) + "\ng default\n";
            if (!line.contains(QLatin1Char('}'))) {
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
            }
            written = written && obj.write(text) == text.size();
            written = obj.flush() && written;
            obj.close();
            written = written && obj.error() == QFileDevice::NoError;
            if (!written) {
                out.result = PropRefused;
                out.message = QStringLiteral("cannot write ") + path + QStringLiteral(": ") + obj.errorString();
                return out;
            }
            out.geometry << path;
        }
    }
    out.result = out.geometry.isEmpty() ? PropNoGeometry : PropGeometryReady;
    return out;
}

}   // namespace orovista
