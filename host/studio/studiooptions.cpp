#include "studiooptions.h"
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption plugins{QStringLiteral("plugins"), QStringLiteral("Load plug-ins from <dir> (default: <appdir>/../plugins)."), QStringLiteral("dir")};
    QCommandLineOption documents{QStringLiteral("documents"), QStringLiteral("Use <dir> as the documents folder (default: ~/Documents/Studio, created when missing)."), QStringLiteral("dir")};
    QCommandLineOption content{QStringLiteral("content"), QStringLiteral("Add <dir> to the Poser content folders; repeatable (default: <appdir>/../content when present)."), QStringLiteral("dir")};
    QCommandLineOption runAction{QStringLiteral("run-action"), QStringLiteral("Trigger the create action with <text> once started."), QStringLiteral("text")};
    QCommandLineOption open{QStringLiteral("open"), QStringLiteral("Import the geometry file <file> (Wavefront OBJ) into the scene at start; repeatable."), QStringLiteral("file")};
    QCommandLineOption help;

    Parser() : help(parser.addHelpOption())
    {
        parser.setApplicationDescription(QStringLiteral("Studio: a small 3D scene host that loads plug-ins and shows the scene they build."));
        parser.addOptions({plugins, documents, content, runAction, open});
        parser.addPositionalArgument(QStringLiteral("scene"), QStringLiteral("A glTF scene (.gltf or .glb) to open at start."),
                                     QStringLiteral("[scene]"));
    }
};

} // namespace

QString StudioOptions::defaultDocumentsDir()
{
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::homePath() + QStringLiteral("/Documents");
    return QDir::cleanPath(docs + QStringLiteral("/Studio"));
}

QString StudioOptions::helpText()
{
    Parser p;
    return p.parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("studio"));
}

bool StudioOptions::parse(const QStringList &arguments, const QString &appDir, StudioOptions &out,
                          QString *error, bool *helpRequested)
{
    Parser p;
    if (helpRequested)
        *helpRequested = false;
    if (!p.parser.parse(arguments)) {
        if (error)
            *error = p.parser.errorText();
        return false;
    }
    // One scene, a .gltf or .glb file, may be named to open at start.
    const QStringList positional = p.parser.positionalArguments();
    for (const QString &arg : positional) {
        const QString suffix = QFileInfo(arg).suffix().toLower();
        if (suffix != QLatin1String("gltf") && suffix != QLatin1String("glb")) {
            if (error)
                *error = QStringLiteral("unexpected argument: %1 (a scene to open ends in .gltf or .glb)").arg(arg);
            return false;
        }
    }
    if (positional.size() > 1) {
        if (error)
            *error = QStringLiteral("only one scene can be opened at start (%1 given)").arg(positional.size());
        return false;
    }
    if (p.parser.isSet(p.help) && helpRequested)
        *helpRequested = true;

    for (const QCommandLineOption *o : {&p.plugins, &p.documents, &p.runAction})
        if (p.parser.values(*o).size() > 1 || (p.parser.isSet(*o) && p.parser.value(*o).trimmed().isEmpty())) {
            if (error)
                *error = QStringLiteral("--%1 takes one non-empty value").arg(o->names().first());
            return false;
        }

    StudioOptions o;
    o.pluginsDir = p.parser.isSet(p.plugins) ? absoluteClean(p.parser.value(p.plugins))
                                             : absoluteClean(appDir + QStringLiteral("/../plugins"));
    if (p.parser.isSet(p.documents)) {
        o.documentsDir = absoluteClean(p.parser.value(p.documents));
    } else {
        o.documentsDir = defaultDocumentsDir();
        o.documentsFromDefault = true;
    }
    if (p.parser.isSet(p.content)) {
        for (const QString &dir : p.parser.values(p.content))
            if (!dir.trimmed().isEmpty())
                o.contentDirs.append(absoluteClean(dir));
    } else {
        const QString sample = absoluteClean(appDir + QStringLiteral("/../content"));
        if (QFileInfo(sample).isDir())
            o.contentDirs.append(sample);
    }
    o.runAction = p.parser.value(p.runAction);
    for (const QString &file : p.parser.values(p.open)) {
        if (file.trimmed().isEmpty()) {
            if (error)
                *error = QStringLiteral("--open takes a file name");
            return false;
        }
        o.openFiles.append(absoluteClean(file));
    }
    if (!positional.isEmpty())
        o.sceneFile = absoluteClean(positional.first());
    out = o;
    return true;
}
