#pragma once
// DzOrovistaPluginAction: the create action the host lists as "New OROVISTA Scene Objects...".
// Triggering it opens the OROVISTA tool window; the action owns that window and the slots of
// its global controls. The node panels, the prop library and a second, never registered action
// object derive from it and share the program-wide state (programstate.h).
#include "dzaction.h"
#include "dzclassfactory.h"

#include <QString>

namespace noise::utils {
class NoiseMap;
}
namespace orovista::files {
class Batch;
}
namespace orovista::work {
struct Work;
}
namespace orovista {
struct SedimentMaps;
}

class DzBrickMaterial;
class QFrame;
class QListWidget;
class QScrollArea;
class QWidget;

class DzOrovistaPluginAction : public DzCreateItemAction {
    Q_OBJECT
public:
    DzOrovistaPluginAction();
    ~DzOrovistaPluginAction() override;

    bool eventFilter(QObject *watched, QEvent *event) override;   ///< filters nothing

    virtual QString pluginsPath();
    virtual void showRegenerateNoiseButton();
    virtual void buildPresetsLibrary();
    virtual void buildTerrainArrays();
    virtual void buildDecimatedTerrainArrays();

    QString resourcePathNative;   ///< host plug-ins folder + "/orovistaData"
    QString resourcePath;         ///< the same, "/" separated, for style sheets
    QWidget *mainWindow = nullptr;
    QFrame *mainFrame = nullptr;
    QScrollArea *scrollArea = nullptr;

public slots:
    void executeAction() override;
    void quitOrovista();
    void resetOrovista();

    void setAutoNoiseMode();
    void setGLMode();
    void m_focusTerrainGL();
    void updateTab(int index);
    void selectedTab(const QString &text);

    // TERRAFORM
    void generatePreviewTerrain();
    void erodeTerrain();
    void loadCustomTerrain();
    void savePreset();
    void loadPreset(const QString &path, int userPreset);
    void saveWork();
    void openWork();
    /// Keeps the work in the working folder when it changed (see startAutosave()).
    void autosaveWork();
    void presetItemClicked();

    // POPULATE: panning and framing the view
    void panHorizontal(int value);
    void panHorizontalValueChanged(int value);
    void panHorizontalReset();
    void panVertical(int value);
    void panVerticalValueChanged(int value);
    void panVerticalReset();
    void resetView();

    // CREATE
    void setSkydomeControls(const QString &text);
    void setNormalMapControls();
    void setNormalMapControls(const QString &text);
    void regenerateSkyDomeTexture();
    void generateFinalNormalMap(bool isFinal, bool manualUpdate);
    void generateFinalNormalMap();
    void generateFinalNormalCustomSize();
    void createDAZScene();
    void loadTerrainOBJ(float x, float y, float z, int xRot, int yRot, int zRot, float scale, QString name);
    void loadPP2(float x, float y, float z, int xRot, int yRot, int zRot, float scale, float scaleX, float scaleY,
                 float scaleZ, QString file);
    void duplicateNode(int item, float x, float y, float z, int xRot, int yRot, int zRot, float scale, float scaleX,
                       float scaleY, float scaleZ);

    // SETUP
    void discardPoserLibrary();
    void addPoserLibrary();
    void setVBOState(int state);

public:
    /// Runs the noise machine on the current node settings: the nine maps, their pictures and the
    /// node previews. A request made while a run is in progress is not started inside it.
    /// Returns whether the run (and the ones asked for meanwhile) went through; false when it
    /// was cancelled, failed, or is left to the run in progress.
    bool generateNoiseMaps(bool terrainCreated, int size, bool fullOctaves);
    /// What TERRAFORM ! does after it has chosen the source of the final map: runs the machine at
    /// 512 (the graph, or the imported heightmap while one is loaded), builds both meshes and
    /// opens POPULATE on them. Returns false when the run was stopped or failed (the terrain
    /// stays what it was) or the terrain size is not above 0.
    bool buildTerrainFromMachine();
    /// Erodes map as the final node's settings say and rewrites its grey picture greyPicture.
    /// Returns why the picture could not be written (empty when it was, or needed not be).
    /// Sediment erosion puts its maps in @a sedimentMaps (when given).
    QString erodeMap(noise::utils::NoiseMap &map, const QString &greyPicture, orovista::SedimentMaps *sedimentMaps = nullptr);
    /// What a node does after one of its parameters changed: run the machine at once in AUTO
    /// mode (at the preview resolution), else show the final node's regenerate button.
    void noiseParameterChanged();
    /// A node control changed: from now on TERRAFORM ! can build a terrain.
    void nodeControlChanged();

    /// generateFinalNormalMap(isFinal, manualUpdate) with the file staged in batch, which the
    /// caller puts in place.
    void generateFinalNormalMap(bool isFinal, bool manualUpdate, orovista::files::Batch *batch);

    /// Selects viewport mode m (1 paint, 2 edit, 3 terrain, 4 sky) on the open window.
    void selectGLMode(int m);
    /// Builds the terrain's shader network into material from the CREATE tab's choices: 0, or
    /// −1 when a brick, parameter or property was missing.
    int buildTerrainShader(DzBrickMaterial *material);

    /// The scene triangle count label text.
    void updateTriangleLabel();

    /// Deletes the previous run's preview pictures in "maps" (with the normal-map thumbnail when
    /// asked).
    void removeTempFiles(bool withThumbnail);

    /// The window's whole work as a work file holds it; what cannot be kept is named in *notKept.
    orovista::work::Work currentWork(QStringList *notKept = nullptr);
    /// Puts a work in the window (a new terrain, the items, sky, view, CREATE choices); returns
    /// what could not be restored, one phrase each.
    QStringList applyWork(const orovista::work::Work &work);
    /// Puts a preset's text into the node panels (gradients chosen from the lists) and runs the
    /// machine, as a preset click does.
    void applyNodeText(const QByteArray &text, bool userPreset);

private:
    void buildWorkButtons();
    /// Marks the window open, keeps its work every few seconds, and offers the kept work back
    /// when the last window was not closed cleanly.
    void startAutosave();
    /// A clean close: no marker, no kept work.
    void stopAutosave();
    bool runNoiseMachine(bool terrainCreated, int size, bool fullOctaves);
    void teardown(bool closeLog);
    /// Renders the sky texture of the CREATE tab's size to path (or stages it in batch); empty, or
    /// why it was not written.
    QString renderSkyTexture(const QString &path, orovista::files::Batch *batch = nullptr);
    void releaseTerrainArrays();

    // Building the window, in start-up order.
    void buildMainWindow();
    void placeWindow();
    void buildGlobalControls();
    void buildTabs();
    void buildTerraformTab(QWidget *page);
    void buildCreateTab(QWidget *page);
    void buildSetupTab(QWidget *page);
    void buildAboutTab(QWidget *page);
    void buildNodePanels();
    void buildPopulateTab();
    void buildViewport();
    void buildPopulateToolBars(QWidget *page);
    void buildTerraformButton();

    void refillPropLibraryFolders();
    void moveLibrary(QListWidget *from, QListWidget *to);
};

class DzOrovistaPluginActionFactory : public DzTClassFactory<DzOrovistaPluginAction> {
public:
    DzOrovistaPluginActionFactory();
};
