#pragma once
// Poser prop files (".pp2"): finding the OBJ geometry a prop refers to or embeds.
//
// A geometry reference is a line with "objFileGeom" or "figureResFile" whose path is written
// in Poser's colon form from the library's Runtime folder on (":Runtime:Geometries:trees:oak.obj").
// The library root is the prop file's path up to its "Runtime" folder; the reference is walked
// from there one name at a time, each name matched without regard to case when the exact one is
// missing (Poser content is written on case-blind file systems). A reference that would leave
// the Runtime folder ("..", or a path without ":Runtime") is refused.
//
// Embedded geometry ("geomCustom" blocks) is copied into "tmpObjN.obj" files in a work folder as
// plain OBJ text, skipping the block's braces and count lines.
#include <QString>
#include <QStringList>

namespace orovista {

enum PropFileResult {
    PropGeometryReady = 0,     ///< the geometry list is ready
    PropNoGeometry = 1,        ///< no geometry reference in the file
    PropGeometryMissing = 2,   ///< a geometry file does not exist
    PropRefused = 3,           ///< unreadable prop, a reference outside the library, or an unwritable copy
};

struct PropFile {
    PropFileResult result = PropNoGeometry;
    QStringList geometry;   ///< OBJ paths in the order found
    QString message;        ///< for PropGeometryMissing and PropRefused: what went wrong
};

/// Reads `pp2Path`; embedded geometry is written into `mapsFolder`.
PropFile readPropFile(const QString &pp2Path, const QString &mapsFolder);

/// `name` inside `folder`: the exact name when it exists, else the first entry that matches it
/// without regard to case, else the name as given.
QString childOf(const QString &folder, const QString &name);

/// The library root of a prop file: its path before the first folder named "Runtime" (in any
/// case), or the whole path when there is none.
QString runtimeRoot(const QString &pp2Path);

}   // namespace orovista
