#include "plugin/programstate.h"

#include <QLabel>

namespace orovista {

void ProgramState::resetWorkingFlags()
{
    terrainArraysReady = false;
    terrainPresent = false;
    customTerrain = false;
    terrainCreated = false;
    suppressNoise = false;
    normalMapDirty = true;
    autoNoiseUpdate = true;
    windowFitsScreen = false;
    glMode = TerrainMode;
    sceneTriangles = 0;
    windowReady = false;
    cancelRequested = false;
    importedHeightmap.reset();
}

void showStatus(const QString &text)
{
    if (QLabel *status = state().ui.statusLine)
        status->setText(text);
}

ProgramState &state()
{
    static ProgramState s;
    return s;
}

}   // namespace orovista
