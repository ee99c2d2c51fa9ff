#pragma once
#include <QString>
#include <QStringList>

/// The studio's start-up options, from its command line and its defaults.
struct StudioOptions {
    QString pluginsDir;     ///< where plug-in libraries are loaded from
    QString documentsDir;   ///< the user's documents folder handed to plug-ins
    QStringList contentDirs;///< Poser content folders, in order
    QString runAction;      ///< create action to trigger once running ("" = none)
    QStringList openFiles;  ///< geometry files (OBJ) to import into the scene at start, in order
    QString sceneFile;      ///< a glTF scene (.gltf, .glb) to open at start ("" = none)
    bool documentsFromDefault = false;

    /// Parses arguments (arguments[0] is the program). Defaults are relative to appDir (the
    /// executable's folder): plug-ins in appDir/../plugins, content in appDir/../content when
    /// that folder exists, documents in homeDocuments (see defaultDocumentsDir()). False with
    /// *error set on a bad command line; --help and --version are handled by the caller through
    /// helpText().
    static bool parse(const QStringList &arguments, const QString &appDir, StudioOptions &out,
                      QString *error, bool *helpRequested = nullptr);
    static QString helpText();
    /// ~/Documents/Studio (the documents location of the platform, + "Studio").
    static QString defaultDocumentsDir();
};
