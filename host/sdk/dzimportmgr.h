#pragma once
#include "dzglobal.h"
#include "dzsettings.h"
#include <QList>
#include <QObject>
#include <QString>

class DzFacetShape;
class DzNode;

/// Error codes of file operations.
enum DzError {
    DZ_NO_ERROR = 0,
    DZ_OPEN_FILE_ERROR,      ///< the file is missing or cannot be read
    DZ_FORMAT_ERROR,         ///< the contents are malformed
    DZ_ILLEGAL_ARGUMENT,     ///< an unknown setting value
    DZ_NO_SCENE_ERROR,       ///< no scene to put the result in
    DZ_UNSUPPORTED_FILE_ERROR
};

/// A geometry importer.
class DZCORE_API DzImporter : public QObject {
    Q_OBJECT
public:
    explicit DzImporter(QObject *parent = nullptr);

    /// The file extensions it reads, lower case, without the dot.
    virtual QStringList getExtensions() const = 0;
    virtual QString getDescription() const = 0;
    bool recognize(const QString &filename) const;

    /// Reads the file into a new shape (the caller owns it); null on failure, with the reason
    /// in getLastError().
    virtual DzFacetShape *readShape(const QString &filename, const DzFileIOSettings *settings) = 0;
    /// Reads the file into a new node in dzScene, named and labelled after the file's base name
    /// (a node holding an object with the shape). On failure nothing is added.
    DzError readGeometry(const QString &filename, const DzFileIOSettings *settings);
    /// The node readGeometry() added last, null after a failure.
    DzNode *getLastNode() const { return m_lastNode; }
    QString getLastError() const { return m_lastError; }

protected:
    void setError(DzError code, const QString &message) { m_lastCode = code; m_lastError = message; }
    DzError lastErrorCode() const { return m_lastCode; }
    void clearError() { m_lastCode = DZ_NO_ERROR; m_lastError.clear(); }

private:
    DzNode *m_lastNode = nullptr;
    DzError m_lastCode = DZ_NO_ERROR;
    QString m_lastError;
};

/// Wavefront OBJ importer (class name "DzObjImporter").
///
/// Reads v, vt, vn and f (forms a, a/b, a//c, a/b/c; negative indices count back; polygons of
/// more than four corners become a fan of triangles), g, usemtl; o, s, mtllib, comments and
/// other statements are skipped. Settings:
///   "Preset"        unit of the file: "DAZ Studio (1 unit = 1cm)" (also the default),
///                   "Lightwave (1 unit = 1m)", "Poser (1 unit = 8ft 4in)", "Maya (1 unit = 1cm)",
///                   "Blender (1 unit = 1m)"; another name is refused (DZ_ILLEGAL_ARGUMENT)
///   "Scale"         percent, 100 by default; must be finite and above 0
///   "SwapYZ"        swap the y and z axes
///   "IncludeG"      keep "g" groups as face groups (true by default)
///   "IncludeVT"     read texture coordinates (true by default)
///   "IncludeUsemtl" keep "usemtl" names as material groups, one material each (true by default)
///   "IncludeMtllib", "RunSilent" accepted; this importer reads no material library and shows
///                   no dialog.
class DZCORE_API DzObjImporter : public DzImporter {
    Q_OBJECT
public:
    explicit DzObjImporter(QObject *parent = nullptr);
    QStringList getExtensions() const override { return {QStringLiteral("obj")}; }
    QString getDescription() const override { return QStringLiteral("Wavefront Object"); }
    DzFacetShape *readShape(const QString &filename, const DzFileIOSettings *settings) override;
};

/// The host's import manager; owns its importers.
class DZCORE_API DzImportMgr : public QObject {
    Q_OBJECT
public:
    explicit DzImportMgr(QObject *parent = nullptr);

    int getNumImporters() const { return int(m_importers.size()); }
    DzImporter *getImporter(int i) const { return m_importers.value(i); }
    /// By class name, e.g. "DzObjImporter"; null when none.
    DzImporter *findImporterByClassName(const QString &className) const;
    /// By the file's extension; null when none reads it.
    DzImporter *findImporter(const QString &filename) const;
    /// Reads the file with the importer for its extension (see DzImporter::readGeometry).
    DzError readGeometry(const QString &filename, const DzFileIOSettings *settings);

private:
    QList<DzImporter *> m_importers;
};
