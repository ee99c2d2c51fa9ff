#pragma once
// The content manager's reader of Poser prop files (".pp2"). Internal to dzcore.
//
// A prop file is plain text of nested { } blocks. What is read of it:
//   prop NAME { … }           one or more blocks per prop (Poser writes two: the geometry, then
//                             the settings); blocks with the same NAME are one prop
//   objFileGeom 0 0 PATH      an OBJ file of the prop; PATH in Poser's colon form from the
//   figureResFile PATH        Runtime folder's parent (":Runtime:Geometries:trees:oak.obj"),
//                             optionally in double quotes; several lines give several files
//   geomCustom { v … vt … f … }   geometry written into the prop itself (OBJ lines)
//   name LABEL                the prop's display label (top level of a prop block)
//   material NAME { KdColor r g b a }   the prop's colour of a material ("Preview" is the one of
//                             faces without usemtl)
//   targetGeom NAME { … deltas { d INDEX dx dy dz … } }   a morph target: 0-based vertex index and
//                             offset, in file units
//
// Each prop becomes one DzNode (name = the prop's NAME, label = its name line) with a DzObject
// holding a DzFacetShape. A prop of several geometry files gets the first as its shape and one
// child node per further file, named NAME_FILEBASE. Materials are the OBJ's material groups; an
// mtllib beside the OBJ gives them their Kd colour and map_Kd colour map, and the prop's own
// material blocks colour those the library leaves alone.
//
// Units: Poser props here are in Poser units of 8 ft (2.4384 m), the size the plug-in's preview
// draws them at. The OBJ importer's Poser preset counts 8 ft 4 in (254 cm) to the unit, so it is
// used at 96 %: 254 cm × 0.96 = 243.84 cm per unit. Morph offsets get the same factor.
#include <QList>
#include <QString>
#include <QStringList>

class DzNode;

namespace dzpropreader {

/// Centimetres per prop file unit (see above).
constexpr double kPresetUnitCm = 254.0;          // "Poser (1 unit = 8ft 4in)"
constexpr double kPropScalePercent = 96.0;        // 8 ft / 8 ft 4 in
constexpr double kPropUnitCm = kPresetUnitCm * kPropScalePercent / 100.0;

struct Result {
    bool ok = false;
    QString error;            ///< what went wrong when !ok
    QList<DzNode *> nodes;    ///< one per prop, in file order; children hang below; caller owns
};

/// Reads the prop file at path. Geometry references are looked up from the Runtime folder that
/// holds the prop file, then in each of poserDirs (folders that hold a "Runtime" folder; a
/// Runtime folder itself stands for its parent), every
/// path component matched without regard to case when the exact name is missing. References
/// that would leave the Runtime folder are refused, by their text or because the file they reach
/// really lies elsewhere through a link (the rule of library/poserpaths.h, which the plug-in's
/// reader shares); material libraries and colour maps that do are left out. On failure no node
/// is left behind.
Result readPropFile(const QString &path, const QStringList &poserDirs);

/// name inside folder: the exact entry when it exists, else the first (by name) that matches it
/// without regard to case; empty when none.
QString findEntryCaseBlind(const QString &folder, const QString &name);

} // namespace dzpropreader
