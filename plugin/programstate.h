#pragma once
// Program-wide working state: the flags, folders and widget pointers shared by the action, the
// node panels, the viewport and the painting code. One instance lives as long as the library.
#include "graph/noisesettings.h"
#include "populate/painteditem.h"
#include "populate/painting.h"
#include "terrain/sedimenterosion.h"
#include "terrain/terrainarrays.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class DzContentMgr;
struct GLMmodel;
class GLTerrain;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace orovista {

struct ImportedTerrain;
class HeightShift;
class PictureTint;

/// Nominal size of the tool window.
inline constexpr int W = 1198;
inline constexpr int H = 998;

/// Viewport modes.
enum GLMode { PaintMode = 1, EditMode = 2, TerrainMode = 3, SkyMode = 4 };

/// Widgets of the open window that code outside the window builder reaches. Guarded pointers:
/// they read null once the window is gone.
struct WindowWidgets {
    QPointer<QWidget> mainWindow;
    QPointer<QFrame> mainFrame;
    QPointer<QTabWidget> mainController;
    QPointer<QLabel> statusLine;
    QPointer<QLabel> triangleLabel;
    QPointer<QPushButton> autoButton, resetButton, quitButton;
    QPointer<QLabel> helpIcon;
    QPointer<QLabel> busyOverlay;
    QPointer<QPushButton> terraformButton;
    QPointer<QWidget> terrainTab, populateTab, genesisTab, presetsTab, setupTab, aboutTab;

    // POPULATE
    QPointer<QFrame> viewportFrame;
    QPointer<GLTerrain> glTerrain;
    QPointer<QPushButton> glTerrainButton, glPaintButton, glEditButton, glSkyButton;
    QPointer<QFrame> editTransformFrame, itemToolsFrame, modifierToolsFrame, skyFrame;
    QPointer<QSlider> glPerpVsNormalSlider;
    QPointer<QFrame> helpLabel;
    QPointer<QFrame> libraryFrame;   ///< the prop library browser

    // CREATE
    QPointer<QCheckBox> enableSubDivision, drawBoxStyle;
    QPointer<QComboBox> textureSize, skyDomeMapSize, normalMapSize;
    QPointer<QComboBox> heightmapFormat, engineChoice;   ///< heightmaps and an engine's files beside the OBJ
    QPointer<QSpinBox> heightmapSize;
    QPointer<QCheckBox> instanceList;                    ///< the painted props as NAME_instances.json
    QPointer<QLineEdit> terrainName;
    QPointer<QPushButton> skyDomeTextureGenerateButton, normalMapGenerateButton, createSceneButton;
    QPointer<QSlider> morphPercentage, normalMapBumpHeight;
    QPointer<QLabel> normalMapPreview, holdOnLabel, holdOnGifLabel;

    // SETUP
    QPointer<QListWidget> activeLibraries, disabledLibraries;
    QPointer<QCheckBox> vboCheckBox;
};

struct ProgramState {
    QString platformName;          ///< compared with "Windows" and "macintosh"
    QString pluginsPathNative;     ///< host plug-ins folder
    QString workFolder;            ///< the user's working folder
    DzContentMgr *contentManager = nullptr;
    const QString versionLabel = QStringLiteral("OROVISTA 1.1");
    std::unique_ptr<char[]> scratchBuffer;   ///< work buffer of the model loader

    bool vboSupported = false;
    bool autoNoiseUpdate = true;
    bool suppressNoise = false;     ///< noise-generation requests do nothing while set
    bool terrainCreated = false;
    bool terrainArraysReady = false;
    bool windowFitsScreen = false;
    bool normalMapDirty = true;
    bool customTerrain = false;     ///< the terrain came from an OBJ file, not from the noise graph
    /// The imported terrain: its model (kept for painting and picking), file, scale and list.
    std::shared_ptr<GLMmodel> customModel;
    QString customObjPath;
    float customTerrainScale = 100.0f;
    unsigned customTerrainList = 0;
    /// A heightmap loaded with LOAD .OBJ: while a terrain stands on it (terrainPresent or
    /// terrainCreated, not an OBJ terrain), every noise-machine run takes its heights as the final
    /// map instead of the graph's; null for a generated terrain. TERRAFORM ! clears it.
    std::shared_ptr<const ImportedTerrain> importedHeightmap;
    unsigned vertexBuffers[2] = {0, 0};
    int glMode = TerrainMode;
    int previewSize = 256;          ///< resolution of ordinary noise-machine runs
    bool noiseRunning = false;      ///< a noise-machine run is in progress
    bool windowReady = false;       ///< the window is built and has made its first run
    bool cancelRequested = false;   ///< the user asked to stop the run in progress
    bool terrainReading = false;    ///< LOAD .OBJ is reading a file on a thread of its own
    /// Noise images the user was told cannot be read; each is told once, until chosen again.
    QStringList warnedNoiseImages;
    /// The node values a reset carries over into the rebuilt panels.
    std::optional<NoiseSettings> keptNodeSettings;
    /// The node settings as a preset last gave them (loaded or saved), or as the window opened:
    /// a preset click asks before it replaces settings that differ from these.
    std::optional<NoiseSettings> settledNodeSettings;
    /// A run asked for during a run, to make once that one is over (the latest request wins).
    struct NoiseRunRequest {
        bool terrainCreated;
        int size;
        bool fullOctaves;
    };
    std::optional<NoiseRunRequest> pendingNoiseRun;
    /// CREATE's picture runs are moved onto the terrain the user made (not owned; null otherwise).
    const HeightShift *runShift = nullptr;
    /// … and their colour texture takes the marks of sediment erosion (not owned; null: none).
    const PictureTint *runTint = nullptr;
    /// Sediment erosion's maps of the final map the last run made (size 0: it was not eroded so).
    SedimentMaps sedimentMaps;
    int panReference[2] = {0, 0};   ///< last value of the horizontal and vertical pan sliders
    int terrainSize = 100;          ///< scene units of the current terrain
    bool greyscaleMapMode = true;   ///< the final node shows height maps, not textures
    bool terrainPresent = false;    ///< a terrain (generated or imported) is in the viewport
    TerrainArrays fullMesh;         ///< 512 × 512
    TerrainArrays decimatedMesh;    ///< 128 × 128, drawn while the camera moves
    long long sceneTriangles = 0;   ///< terrain triangles plus every painted item's
    std::vector<PaintedItem> items; ///< prop instances painted on the terrain, in placement order
    /// The prop painting places, chosen in the prop library (an empty file means none).
    using ChosenProp = PropChoice;
    ChosenProp chosenProp;
    QString currentPresetPath;      ///< the preset clicked last

    WindowWidgets ui;

    /// Back to the start values that quit and reset leave behind.
    void resetWorkingFlags();
};

ProgramState &state();

/// Shows `text` in the window's status line (nothing without a window).
void showStatus(const QString &text);

/// The content library folders the SETUP tab lists as active (none without a window).
QStringList activeLibraryFolders();

}   // namespace orovista
