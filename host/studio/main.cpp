// studio: a small scene host. Loads the plug-ins of its plug-ins folder, lists their create
// actions in the Create menu and shows the scene they build.
#include "dzaction.h"
#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzimportmgr.h"
#include "dzplugin.h"
#include "pluginloader.h"
#include "studiooptions.h"
#include "studiowindow.h"
#include <QApplication>
#include <QDir>
#include <QJSEngine>
#include <QTimer>
#include <cstdio>

namespace {
void printErr(const QString &line)
{
    std::fprintf(stderr, "studio: %s\n", qPrintable(line));
    std::fflush(stderr);
}
} // namespace

int main(int argc, char **argv)
{
    // --help is answered before any window system is needed. The command line is checked
    // once QApplication has taken its own options (-platform and the like) out of it.
    StudioOptions options;
    QString error;
    bool help = false;
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments.append(QString::fromLocal8Bit(argv[i]));
    if (StudioOptions::parse(rawArguments, QString(), options, &error, &help) && help) {
        std::printf("%s", qPrintable(StudioOptions::helpText()));
        return 0;
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Studio"));
    QApplication::setOrganizationName(QStringLiteral("OROVISTA"));
    if (!StudioOptions::parse(QApplication::arguments(), QApplication::applicationDirPath(), options, &error, &help)) {
        printErr(error);
        std::fprintf(stderr, "%s", qPrintable(StudioOptions::helpText()));
        return 2;
    }
    if (help) {
        std::printf("%s", qPrintable(StudioOptions::helpText()));
        return 0;
    }

    if (options.documentsFromDefault && !QDir().mkpath(options.documentsDir))
        printErr(QStringLiteral("cannot create the documents folder %1").arg(options.documentsDir));
    else if (!QDir(options.documentsDir).exists())
        printErr(QStringLiteral("the documents folder %1 does not exist").arg(options.documentsDir));
    for (const QString &dir : std::as_const(options.contentDirs))
        if (!QDir(dir).exists())
            printErr(QStringLiteral("the content folder %1 does not exist").arg(dir));

    DzApp app;
    app.setPluginsPath(options.pluginsDir);
    app.setDocumentsPath(options.documentsDir);
    app.setDocumentationPath(QDir::cleanPath(QApplication::applicationDirPath() + QStringLiteral("/../documentation")));
    app.getContentMgr()->setPoserDirectories(options.contentDirs);

    StudioWindow window;
    app.setInterface(&window);

    QJSEngine engine;
    PluginLoader loader(&engine);
    loader.loadFolder(options.pluginsDir);
    QStringList loaded, refused;
    for (const QString &n : loader.notices()) {
        printErr(n);
        refused.append(n);
    }
    for (const PluginLoader::Refusal &r : loader.refusals()) {
        printErr(r.message);
        refused.append(r.message);
    }
    for (const PluginLoader::Loaded &p : loader.plugins())
        loaded.append(QStringLiteral("%1 %2 (%3)").arg(p.plugin->getName(), p.plugin->getVersion().toString(),
                                                       QDir::toNativeSeparators(p.file)));
    window.setPluginReport(loaded, refused);
    window.setCreateActions(loader.createActions());
    window.show();

    // The scene named on the command line first; one that cannot be read leaves an empty scene.
    if (!options.sceneFile.isEmpty()) {
        QString openError, skipped;
        if (!window.openSceneFile(options.sceneFile, &openError, &skipped))
            printErr(openError);
        else if (!skipped.isEmpty())
            printErr(QStringLiteral("%1: skipped %2").arg(QDir::toNativeSeparators(options.sceneFile), skipped));
    }

    // Geometry named on the command line goes into the scene before any action runs.
    for (const QString &file : std::as_const(options.openFiles)) {
        DzImporter *importer = app.getImportMgr()->findImporter(file);
        if (!importer) {
            printErr(QStringLiteral("cannot open %1: no importer reads this kind of file").arg(QDir::toNativeSeparators(file)));
            continue;
        }
        if (importer->readGeometry(file, nullptr) != DZ_NO_ERROR)
            printErr(QStringLiteral("cannot open %1: %2").arg(QDir::toNativeSeparators(file), importer->getLastError()));
    }

    if (!options.runAction.isEmpty()) {
        QTimer::singleShot(0, &window, [&loader, &options] {
            DzCreateItemAction *action = loader.findAction(options.runAction);
            if (!action) {
                QStringList known;
                for (const DzCreateItemAction *a : loader.createActions())
                    known.append(QLatin1Char('"') + a->text() + QLatin1Char('"'));
                printErr(QStringLiteral("no create action \"%1\" (known: %2)")
                             .arg(options.runAction, known.isEmpty() ? QStringLiteral("none") : known.join(QStringLiteral(", "))));
                QApplication::exit(2);
                return;
            }
            action->trigger();
        });
    }

    const int status = QApplication::exec();
    app.setInterface(nullptr);
    return status;
}
