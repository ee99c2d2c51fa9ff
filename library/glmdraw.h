#pragma once
// Drawing OBJ models with fixed-function OpenGL, and compiling them into the viewport's display
// lists: one list per loaded prop (all of the prop's OBJ files in one list) and one for an
// imported terrain. Everything here needs the viewport's GL context current, except where said.
#include "library/glm.h"

#include <QString>
#include <QStringList>

class GLTerrain;
class QWidget;

/// Draws the model's groups as triangles. Flags the model cannot serve are dropped with a
/// warning on the standard output; without GLM_COLOR or GLM_MATERIAL the caller's colour applies.
void glmDraw(const GLMmodel *model, unsigned mode);

/// What compiling a prop gave.
struct PropModel {
    bool compiled = false;
    int triangles = 0;                         ///< of every file read
    float bounds[6] = {0, 0, 0, 0, 0, 0};      ///< of the last file read
};

/// Reads an OBJ file for drawing; a file that cannot be opened or read shows the "Error loading
/// file: " box (through the dialog seam, parent `parent`) and gives null.
std::unique_ptr<GLMmodel> readModelOrTell(const QString &path, QWidget *parent);

/// Compiles the OBJ files of a prop into the display list of `slot` (the table grows as needed).
/// Every file is read before anything is compiled: when one cannot be read the slot gets no list
/// and no earlier slot is touched. Makes the viewport's context current.
PropModel compilePropModel(GLTerrain *gl, int slot, const QStringList &geometry);

/// Compiles an imported terrain into a new display list and returns its name (logged as
/// "terrain DL stored in slot #N").
unsigned compileCustomTerrain(GLTerrain *gl, const GLMmodel *model, unsigned mode);
