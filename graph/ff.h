#pragma once
// The final node: settings of the whole height field and its pictures (plane window, preview
// size, colour gradients, light, turbulence, erosion, terrain size) and the regenerate button.
#include "graph/noisesettings.h"
#include "plugin/afirstpluginaction.h"

#include <QPointer>
#include <QSize>

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

class FF : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    FF();

    /// Builds the panel's widgets on the TERRAFORM page, with the gradient lists filled from
    /// gradientsFolder; then connectPanel() wires them.
    void buildPanel(QWidget *terrainTab, const QString &gradientsFolder);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    /// Selects "black and white.bmp" in both gradient lists (the last such entry; row 0 when
    /// there is none), quietly: the stored gradient names stay as they are and nothing runs.
    void selectGreyGradient();
    /// Shows the erosion rows the chosen erosion type uses: none for "no erosion", the
    /// iterations for every other type, and the four hydraulic rows for "hydraulics".
    void updateErosionControls();

    /// This node's part of the settings: widgets, gradient names and turbulence seed into s.final.
    void readSettings(orovista::NoiseSettings &s) const;
    /// s.final back into the widgets and the node, without signals and without a run: the map
    /// style is shown as the switch says (pictures, list state, greyscale flag), the erosion rows
    /// follow the type; the preview resolution of the machine is left to refreshNoise().
    void applySettings(const orovista::NoiseSettings &s);

    /// The final node's pictures in "maps".
    static QString pictureName(bool texture);
    /// The terrain size the text field holds (0 when it holds no number).
    int terrainSize() const;
    /// True while the light button reads "Light ON".
    bool lightOn() const;

    static constexpr QSize expandedSize{360, 360};
    static constexpr QSize collapsedSize{180, 190};

    QString leftGradientName;    ///< gradient of the INPUT 1 / DEFORMER 1 branch, used by the machine
    QString rightGradientName;   ///< gradient of the INPUT 2 / DEFORMER 2 branch
    int turbulenceSeed = 0;      ///< 0 … 16; the constructor draws a fresh one
    int previousPreviewSize = 256;
    bool dirty = false;          ///< a value of this node changed since the last refresh

    // Plane window and preview
    QPointer<QSpinBox> FFBoundsSpinBox;
    QPointer<QPushButton> FFBoundsButton, FFPreviewButton, FFReGenerateNoise;
    QPointer<QSlider> FFHSlider, FFVSlider, FFPreviewImageSlider, FFSetCurrentMapSlider;
    QPointer<QLabel> FFBoundsLabel, FFPreviewImageLabel, FFHeightMapLabel, FFTextureMapLabel, FFPreviewLabel;
    QPointer<QCheckBox> FFCollapseCheckBox;
    // Gradients and light
    QPointer<QListWidget> FFGradientTypeListViewLeft, FFGradientTypeListViewRight;
    QPointer<QLabel> FFGradientLeftLabel, FFGradientRightLabel;
    QPointer<QDial> FFAzimuthDial, FFElevationDial;
    QPointer<QLabel> FFAzimuthLabel, FFElevationLabel;
    QPointer<QSlider> FFLightContrastSlider, FFLightIntensitySlider;
    QPointer<QLabel> FFLightContrastLabel, FFLightIntensityLabel;
    QPointer<QPushButton> FFSetLightButton;
    // Turbulence
    QPointer<QSpinBox> FFTurbulenceFrequency, FFTurbulencePower, FFTurbulenceRoughness;
    QPointer<QLabel> FFTurbulenceFrequencyLabel, FFTurbulencePowerLabel, FFTurbulenceRoughnessLabel;
    QPointer<QPushButton> FFTurbulenceFrequencyButton, FFTurbulencePowerButton, FFTurbulenceRoughnessButton,
        FFTurbulenceSeed;
    // Erosion
    QPointer<QFrame> FFErosionFrame;
    QPointer<QComboBox> FFErosionTypeComboBox;
    QPointer<QSpinBox> FFErosionIterationsSpinBox, FFErosionRainAmountSpinBox, FFErosionSolubilitySpinBox,
        FFErosionEvaporationSpinBox, FFErosionCapacitySpinBox;
    QPointer<QLabel> FFErosionTypeLabel, FFErosionIterationsLabel, FFErosionRainAmountLabel,
        FFErosionSolubilityLabel, FFErosionEvaporationLabel, FFErosionCapacityLabel;
    // Sediment erosion's controls, shown in place of the hydraulic ones.
    QPointer<QSpinBox> FFSedimentRainSpinBox, FFSedimentErosionSpinBox, FFSedimentDepositionSpinBox,
        FFSedimentCapacitySpinBox, FFSedimentEvaporationSpinBox, FFSedimentMinSlopeSpinBox, FFSedimentSeedSpinBox;
    QPointer<QLabel> FFSedimentRainLabel, FFSedimentErosionLabel, FFSedimentDepositionLabel, FFSedimentCapacityLabel,
        FFSedimentEvaporationLabel, FFSedimentMinSlopeLabel, FFSedimentSeedLabel;
    // Terrain size
    QPointer<QSlider> FFTerrainSizeSlider;
    QPointer<QLineEdit> FFTerrainSizeLineEdit;
    QPointer<QSpinBox> FFTerrainElevationLowSpinBox, FFTerrainElevationUpSpinBox;
    QPointer<QLabel> FFTerrainSizeLabel, FFTerrainElevationLowLabel, FFTerrainElevationUpLabel;

public slots:
    void FFCollapse(int state);
    void refreshNoise(int row);
    void refreshNoise();
    void setRefreshButton(int value);
    void setRefreshButton();
    void FFReSeed();
    void setLightState();
    void setAzimuthDial();
    void setElevationDial();
    void setTerrainSize(int exponent);
    void setCurrentMapStyles(int style);
    /// Shows every node's picture as it is on disc now (grey maps, or textures).
    void showNodePictures(bool texture);

private:
    void buildFinalPage(QWidget *page);
    void buildColourPage(QWidget *page, const QString &gradientsFolder);
    void buildTurbulencePage(QWidget *page);
    void buildErosionPage(QWidget *page);
    /// A refresh: hide the regenerate button, take the gradients from the lists in the texture
    /// view, and run at the preview resolution of the slider.
    void refresh();
    void runAtPreviewSize();
    /// The map-style switch's look, list state, greyscale flag and preview pictures; reports a
    /// missing grey gradient when asked.
    void showMapStyle(int style, bool reportMissingGrey);
    void showLightState(bool on);

    QPointer<QTabWidget> m_panel;
};
