#include "plugin/programstate.h"

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
}

ProgramState &state()
{
    static ProgramState s;
    return s;
}

}   // namespace orovista
