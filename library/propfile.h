#pragma once
// Poser prop files (".pp2"): finding the OBJ geometry a prop refers to or embeds.
//
// A geometry reference is a line with "objFileGeom" or "figureResFile" whose path is written
// in Poser's colon form from the library's Runtime folder on (":Runtime:Geometries:trees:oak.obj").
// The library root is the prop file's path up to its "Runtime" folder; the reference is walked
// from there one name at a time, each name matched without regard to case when the exact one is
// missing (Poser content is written on case-blind file systems). A reference that would leave
// the Runtime folder is refused: by its text ("..", or a path without ":Runtime"), or because the
// file it reaches really lies elsewhere, through a link (library/poserpaths.h has the rule).
//
// Embedded geometry ("geomCustom" blocks) is copied into "tmpObjN.obj" files in a work folder as
// plain OBJ text, skipping the block's braces and count lines. The copies are written like every
// other file of the program (noise/outputfiles.h): under temporary names, put in place together
// once the whole prop has been read, and a link standing at a copy's name is replaced, never
// written through.
#include <QString>
#include <QStringList>

namespace orovista {

enum PropFileResult {
    PropGeometryReady = 0,     ///< the geometry list is ready
    PropNoGeometry = 1,        ///< no geometry reference in the file
    PropGeometryMissing = 2,   ///< a geometry file does not exist
    PropRefused = 3,           ///< unreadable prop, a reference or thumbnail outside the library, or an unwritable copy
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

/// The thumbnail beside a prop file: its ".png", else its ".jpg".
struct PropThumbnail {
    QString path;      ///< empty when there is none, or when it was refused
    QString refusal;   ///< why the thumbnail is not taken: it really lies outside the Runtime folder
};
PropThumbnail propThumbnail(const QString &pp2Path);

/// The library root of a prop file: its path before the first folder named "Runtime" (in any
/// case), or the whole path when there is none.
QString runtimeRoot(const QString &pp2Path);

}   // namespace orovista
