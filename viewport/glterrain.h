#pragma once
// GLTerrain: the 3D preview of the POPULATE tab. Draws the terrain, the painted props and the sky
// dome, and takes the mouse, wheel and keys with which the user flies, sculpts, paints and edits.
#include "populate/edithistory.h"
#include "populate/painting.h"
#include "sky/skydome.h"
#include "sky/skymodel.h"

#include <QImage>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLWidget>
#include <QPointer>
#include <QSurfaceFormat>

#include <vector>

class QImage;
class QLabel;
class QSlider;
class QSpinBox;
class QTimer;

namespace orovista {
struct PaintedItem;
struct TerrainArrays;
}
using orovista::TerrainArrays;

class GLTerrain : public QOpenGLWidget, protected QOpenGLFunctions_2_1 {
    Q_OBJECT
public:
    explicit GLTerrain(const QSurfaceFormat &format, QWidget *parent = nullptr);
    ~GLTerrain() override;

    /// Repaints at once (not at the next event-loop pass): picking reads the fresh depth buffer.
    void updateGL();

    /// The viewport mode: 1 paint, 2 edit, 3 terrain, 4 sky.
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    /// Clears the selected item (none selected).
    void clearSelection() { m_selectedItem = -1; }
    int selectedItem() const { return m_selectedItem; }
    /// Selects item @a number (1-based; −1 or 0 for none).
    void setSelectedItem(int number) { m_selectedItem = number; }

    /// One compiled display list for each loaded prop model, indexed by an item's model slot.
    std::vector<GLuint> modelLists;
    /// The chosen prop's thumbnail, shown in paint mode (0 for none).
    GLuint thumbnailTexture = 0;
    /// Makes `image` the thumbnail texture (a null image removes it).
    void setThumbnail(const QImage &image);

    /// Copies the mesh into the vertex buffers (when vertex buffers are in use), creating them on
    /// first use: positions, normals, colours and texture coordinates one after another.
    void uploadTerrain(const TerrainArrays &mesh);

    /// Removes every painted item and every loaded prop model without asking; the undo history
    /// goes with them.
    void deleteAllObjectsSilent();
    /// Undo and redo of the sculpt strokes, painting and item edits done in this viewport. A new
    /// terrain clears it.
    orovista::EditHistory history;
    /// Deletes the prop display lists; no prop is chosen afterwards.
    void deletePropModels();

    /// Where the camera stands and looks (scene units, degrees).
    struct Camera {
        double x = 0.0, y = 0.0, z = 0.0;
        float yaw = 0.0f, pitch = 0.0f, roll = 0.0f;
    };
    Camera camera;
    float nearPlane = 1.0f;
    float farPlane = 1000.0f;   ///< 16 × the terrain size once a terrain is made
    QString terrainTexturePath;   ///< the colour texture drawn on the terrain

    /// Diffuse strength of both lights, 0 … 1.
    float lightIntensity() const { return m_lightIntensity; }
    void setLightIntensity(float intensity) { m_lightIntensity = intensity; }
    /// Directional light positions (x, y, z, 0); light 1 stays disabled.
    const float *light0Position() const { return m_light0; }
    const float *light1Position() const { return m_light1; }
    /// The captions the light sliders update.
    void setLightLabels(QLabel *pitch, QLabel *azimuth, QLabel *intensity);

    /// The user is navigating with the low-detail feature on: the decimated mesh is drawn.
    bool lowDetailNavigation = false;
    bool brushOn = true;
    float brushPosition[3] = {0.0f, 0.0f, 0.0f};
    bool altHeld = false;
    bool shiftHeld = false;

    float cameraSpeed = 5.0f;   ///< degrees (and pan steps) per mouse-move event
    int wheelStep = 0;          ///< the last zoom step, scene units
    bool leftButtonDown = false;
    /// The user's choice of drawing the decimated mesh while navigating.
    bool lowDetailFeature = false;
    bool paintBelowZero = false;   ///< sculpting may lower the terrain below zero
    bool itemStack = false;        ///< painted items may land on other items

    /// The sky shown in sky mode and rendered into the sky texture.
    const orovista::sky::SkyParameters &sky() const { return m_sky; }
    const orovista::sky::SkyDome &skyDome() const { return m_dome; }
    /// Rebuilds the dome for the current terrain size (radius S × 0.5); with newStars the stars
    /// are drawn anew from a fresh star seed.
    void buildSkyDome(bool newStars);
    /// The seed the stars were drawn from: the same seed gives the same star table, and the same
    /// stars in the sky texture (starTextureRandom()).
    std::uint32_t starSeed() const { return m_starSeed; }
    /// Draws the stars again from @a seed (a kept work's).
    void setStarSeed(std::uint32_t seed);
    orovista::sky::RandomSource starTextureRandom() const { return orovista::sky::seededRandom(m_starSeed, 1); }

    /// The world point under a pointer position, read from a fresh frame's depth buffer. A depth
    /// of 1 is the background (the clear colour or the sky).
    struct DepthPoint {
        double x = 0.0, y = 0.0, z = 0.0;
        float depth = 1.0f;
        float colour[3] = {0.0f, 0.0f, 0.0f};   ///< the drawn pixel, 0 … 1
    };
    DepthPoint depthPick(int x, int y);
    /// Selects the nearest item under the pointer in edit mode and fills the item controls; in
    /// any other mode, or over no item, clears the selection.
    void pickItem(int x, int y);
    /// Moves the brush to the terrain point under the pointer (it stays put off the terrain).
    void trackBrush(int x, int y);
    /// Edit mode: the selected item follows the pointer over the terrain.
    void dragSelectedItem(int x, int y);
    /// Terrain mode: one brush step raising (or, with Shift, lowering) the terrain under the pointer.
    void sculptTerrain(int x, int y);

    /// Paint mode: one item of the chosen prop at the pointer (on a generated or an imported
    /// terrain), or with `scatter` several in the brush square (generated terrain only). A single
    /// item that cannot be placed is explained on the status line when `tellWhyNot`.
    void paintAt(int x, int y, bool scatter, bool tellWhyNot = true);
    /// The painting controls as they stand.
    orovista::PaintSettings paintSettings() const;

    // Mask and reference textures laid over the terrain.
    QImage maskImage;              ///< the mask as loaded; painting reads its red channel
    GLuint maskTexture = 0;
    GLuint referenceTexture = 0;
    bool maskInfluence = false;    ///< the mask limits where items land
    bool maskShown = false;
    bool referenceShown = false;

    /// Draws one frame into the current matrices: pass 0 the normal frame, 1 without item models
    /// and overlays, 2 the selection pass (items only, with their names).
    void drawScene(int pass);

public slots:
    void setGLFocus();
    void focusTerrainGL();
    void wheelTimeout();
    void glCameraSpeedSliderReleased(int value);

    void itemXRot();
    void itemYRot();
    void itemZRot();
    void itemScaleX();
    void itemScaleY();
    void itemScaleZ();
    void itemYOffset();
    void itemXRot(int v);
    void itemYRot(int v);
    void itemZRot(int v);
    void itemScaleX(int v);
    void itemScaleY(int v);
    void itemScaleZ(int v);
    void itemYOffset(int v);

    void undo();
    void redo();

    void deleteCurrentObject();
    void deleteAllObjects();
    void deleteLastItem();
    void repositionItems();
    void setPaintBelowZero();
    void setItemStack();
    void switchBoundingAll();

    void loadReferenceTerrainTexture();
    void setReferenceTextureOnOffCheckBox(int state);
    void loadMaskTerrainTexture();
    void setmaskTextureDisplayOnOffCheckBox(int state);
    void setMaskTextureOnOffCheckBox(int state);

    void glSunPitchSliderReleased(int value);
    void glSunAzimuthSliderReleased(int value);
    void glrSkyMxSliderReleased(int value);
    void glgSkyMxSliderReleased(int value);
    void glbSkyMxSliderReleased(int value);
    void TurbiditySliderReleased(int value);
    void glHorizonBrightnessSliderReleased(int value);
    void glHorizonLuminanceGradientSliderReleased(int value);
    void glSolarRegionIntensitySliderReleased(int value);
    void glSolarRegionWidthSliderReleased(int value);
    void glBackscatterLightSliderReleased(int value);
    void glStarIntensitySliderReleased(int value);
    void glStarPopulationSliderReleased(int value);
    void glSkyResetButtonClicked();

    void glLightPitchSliderReleased(int value);
    void glLightAzimuthSliderReleased(int value);
    void glLightIntensitySliderReleased(int value);

    void EcoDiameterSliderReleased();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void initializeGL() override;
    void setupLights();
    void drawTerrain(int pass);
    void drawBrush();
    void drawAxisGizmo();
    void drawItems(int pass);
    void drawProxyBox(const orovista::PaintedItem &item, const float colour[3]);
    void drawPropThumbnail();
    /// The camera's roll, pitch and yaw, in the order every frame applies them.
    void rotateLikeCamera();
    void drawSkyDome(float cameraHeight, float alpha);
    /// A sky slider moved: its parameter, its label, the sun and the dome.
    void skySliderMoved(orovista::sky::SkySlider slider, int value);
    void applyProjection(int w, int h);
    /// Inverts a toggle and shows its state on its tool button (icon NAME.png or NAME_on.png).
    void toggle(bool &flag, const char *buttonName, const char *icon);
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    int m_mode = 3;
    int m_selectedItem = -1;
    float m_lightIntensity = 1.0f;
    float m_light0[4] = {0.5f, 1.0f, 0.5f, 0.0f};
    float m_light1[4] = {-0.5f, 1.0f, -0.5f, 0.0f};
    float m_drawnCamera[3] = {0.0f, 0.0f, 0.0f};
    float m_appliedFarPlane = 0.0f;
    QPointer<QLabel> m_lightLabels[3];
    QTimer *m_repaintTimer = nullptr;
    orovista::sky::SkyParameters m_sky = orovista::sky::SkyParameters::defaults();
    orovista::sky::SkyDome m_dome;
    std::uint32_t m_starSeed = 0;
    QPoint m_lastMouse;
    QPointer<QSlider> m_brushDiameter;
    QPointer<QSpinBox> m_paintingBoxes[3];
    /// A widget of the window by object name, or null.
    template <class T>
    T *control(const char *name) const
    {
        QWidget *top = window();
        return top ? top->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    }
    /// Shows the selected item's values in the item controls.
    void showItemValues(const orovista::PaintedItem &item, bool withScales);
    /// Asks for an image file ("Open image") and reads it; a null image when none was chosen or it
    /// cannot be read (both said so).
    QImage chooseTextureImage();
    /// Makes `image` a 2D RGBA texture of this viewport in place of `replaced` (deleted when not
    /// 0); rows go bottom-up, as the terrain's and the models' texture coordinates expect.
    GLuint uploadTexture(const QImage &image, GLuint replaced);
    /// The texture laid over the terrain now: the reference one when shown, else the mask when
    /// shown; 0 for the terrain's own colours.
    GLuint shownTerrainTexture() const;
    /// Takes the newest step back (or redoes one) and shows the result.
    void stepHistory(bool forward);
    /// The full mesh's vertices changed: normals, vertex buffer and decimated mesh follow.
    void terrainEdited();
    /// Begins an items step of the history; the end keeps what changed under @a label.
    void beginItemsStep();
    void endItemsStep(const char *label);
    int m_pressMode = 0;   ///< the mode a press of the left button began a history step in (0 none)
    int m_itemsSteps = 0;  ///< items steps begun and not ended: a delete during a drag joins the drag's step
    /// Ends the step a press began (at the release, or at the next press if a release was lost).
    void endPressStep();
    /// Draws the imported terrain's list at the import's scale.
    void drawCustomTerrain();
    int m_wheelTicks = 0;
};
