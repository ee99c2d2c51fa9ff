#include "plugin/programstate.h"

#include <QListWidget>

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

QStringList activeLibraryFolders()
{
    QStringList folders;
    if (QListWidget *active = state().ui.activeLibraries)
        for (int i = 0; i < active->count(); ++i)
            folders << active->item(i)->text();
    return folders;
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
