// orovista_presetthumbs: renders the thumbnail of every preset in a folder.
//
//   orovista_presetthumbs [--resources DIR] [--check] FOLDER
//
// For each FOLDER/*.opf it runs the same generation as `orovista generate` with a 512 × 512
// texture into a temporary folder and writes FOLDER/<name>.jpg from the final colour picture
// (maps/TFFnoisePreview.jpg), scaled to 128 × 128: the picture the window shows after loading the
// preset. It also reports presets that load with warnings (for example a gradient that does not
// exist) and files that are not in the exact form the program writes. With --check nothing is
// written; the presets are only loaded, generated and checked.
#include "cli/generate.h"
#include "presets/presetfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString defaultResources()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../plugins/orovistaData"));
}

void print(const QString &line, std::FILE *stream = stdout)
{
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

/// Whether the file holds exactly what the program itself would write for the settings it holds.
bool canonical(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    orovista::NoiseSettings settings;
    orovista::presets::read(text, settings, {});
    return orovista::presets::write(settings) == text;
}

}   // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orovista_presetthumbs"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Renders the 128 x 128 thumbnail <name>.jpg of every preset <name>.opf in FOLDER, as the program "
        "shows it after loading the preset."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The folder of the presets (data/presets)."));
    const QCommandLineOption resources(QStringLiteral("resources"),
                                       QStringLiteral("The program's resource folder (default: %1).").arg(defaultResources()),
                                       QStringLiteral("DIR"), defaultResources());
    const QCommandLineOption check(QStringLiteral("check"), QStringLiteral("Only load, generate and check; write nothing."));
    parser.addOptions({resources, check});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        print(QStringLiteral("orovista_presetthumbs: give one folder of presets (see --help)"), stderr);
        return 2;
    }
    const QDir folder(args.first());
    if (!folder.exists()) {
        print(QStringLiteral("orovista_presetthumbs: no folder %1").arg(folder.path()), stderr);
        return 2;
    }
    const QStringList files =
        folder.entryList({QStringLiteral("*.opf")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (files.isEmpty()) {
        print(QStringLiteral("orovista_presetthumbs: no presets (*.opf) in %1").arg(folder.path()), stderr);
        return 1;
    }

    int problems = 0;
    for (const QString &file : files) {
        // The program finds a thumbnail by the part of the file name before the first dot.
        const QString name = file.section(QLatin1Char('.'), 0, 0);
        const QString path = folder.filePath(file);
        if (name + QStringLiteral(".opf") != file) {
            print(QStringLiteral("%1: skipped, a preset name cannot hold a dot").arg(file));
            ++problems;
            continue;
        }
        QTemporaryDir work;
        if (!work.isValid()) {
            print(QStringLiteral("orovista_presetthumbs: cannot create a temporary folder"), stderr);
            return 1;
        }
        orovista::cli::GenerateOptions options;
        options.preset = path;
        options.outFolder = work.path();
        options.textureSize = 512;
        options.resourceFolder = parser.value(resources);
        QStringList warnings;
        orovista::cli::GenerateOutput output;
        output.warning = [&](const QString &text) { warnings << text; };

        QElapsedTimer clock;
        clock.start();
        const QString error = orovista::cli::generate(options, output);
        const double seconds = clock.elapsed() / 1000.0;
        if (!error.isEmpty()) {
            print(QStringLiteral("%1: FAILED: %2").arg(name, error));
            ++problems;
            continue;
        }
        QStringList notes;
        for (const QString &w : warnings)
            notes << QStringLiteral("warning: ") + w;
        if (!canonical(path))
            notes << QStringLiteral("not in the program's own format (read and written back it differs)");
        problems += notes.isEmpty() ? 0 : 1;

        QString result;
        if (parser.isSet(check)) {
            result = QStringLiteral("checked");
        } else if (orovista::presets::saveThumbnail(folder.path(), name,
                                                    work.filePath(QStringLiteral("maps/TFFnoisePreview.jpg")))) {
            result = QStringLiteral("thumbnail %1.jpg written").arg(name);
        } else {
            result = QStringLiteral("FAILED: thumbnail %1.jpg not written").arg(name);
            ++problems;
        }
        print(QStringLiteral("%1: %2 (%3 s)%4")
                  .arg(name, result, QString::number(seconds, 'f', 1),
                       notes.isEmpty() ? QString() : QStringLiteral("; ") + notes.join(QStringLiteral("; "))));
    }
    return problems == 0 ? 0 : 1;
}
