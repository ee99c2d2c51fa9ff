#pragma once
// INPUT node: a generator (Perlin, Billow, Voronoi, ...) feeding one branch of the graph. Two
// instances: slot 0 is INPUT 1, slot 1 INPUT 2; both panels carry the same widget names.
#include "graph/nodepanel.h"
#include "graph/noisesettings.h"
#include "plugin/afirstpluginaction.h"

#include <QPointer>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

class I1 : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    explicit I1(int slot = 0);

    /// Builds the panel's widgets on the TERRAFORM page; then connectPanel() wires them.
    void buildPanel(QWidget *terrainTab);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    /// Hides the generator rows and frames ("Flat" shows none).
    void hideGeneratorSliders();

    /// This node's part of the settings: widgets, seed and image file into s.input[slot].
    void readSettings(orovista::NoiseSettings &s) const;
    /// s.input[slot] back into the widgets and the node, without signals and without a run.
    void applySettings(const orovista::NoiseSettings &s);

    /// The node's pictures in "maps": the grey height picture, or the coloured one.
    QString pictureName(bool texture) const;
    /// The generator controls as a shared view.
    orovista::GeneratorControls generator() const;

    const int slot;   ///< 0 = INPUT 1, 1 = INPUT 2
    int seed = 0;     ///< 0 … 16; the constructor draws a fresh one
    QString imageFileName;

    QPointer<QComboBox> I1TerrainType;
    QPointer<QSlider> I1FrequencySlider, I1LacunaritySlider, I1QualitySlider, I1OctavesSlider,
        I1PersistenceSlider, I1DisplacementSlider;
    QPointer<QLabel> I1FrequencyLabel, I1LacunarityLabel, I1QualityLabel, I1OctavesLabel, I1PersistenceLabel,
        I1DisplacementLabel;
    QPointer<QFrame> I1MultiFractalFrame, I1GaborNoiseFrame;
    QPointer<QSpinBox> I1MultiFractalOffsetSpinBox, I1MultiFractalGainSpinBox, I1MultiFractalWeightSpinBox;
    QPointer<QLabel> I1MultiFractalOffsetLabel, I1MultiFractalGainLabel, I1MultiFractalWeightLabel;
    QPointer<QCheckBox> I1GaborAnisoCheckBox;
    QPointer<QPushButton> I1SeedButton, I1MultiFractalButton;
    QPointer<QLabel> I1PreviewLabel;

public slots:
    void I1ChooseNoise(const QString &type);
    void I1ActivateNoise(const QString &type);
    void I1ChooseNoise();
    void setControlsVisibility();
    void I1GaborAniso(int state);
    void I1ReSeed();

private:
    void buildMultiFractalFrame(QWidget *page);
    void buildGaborFrame(QWidget *page);

    QPointer<QTabWidget> m_panel;
    bool m_ready = false;          ///< set once the panel is wired; type changes before are ignored
    int m_lastNonImageIndex = 0;   ///< the type to return to when the image dialog is cancelled
};
