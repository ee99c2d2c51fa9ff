#pragma once
// COMBINER node: merges the two branches (add, max, blend, select, ...); "Blend" and "Select" are
// steered by a control noise whose controls are those of an INPUT.
#include "graph/nodepanel.h"
#include "graph/noisesettings.h"
#include "plugin/afirstpluginaction.h"

#include <QPointer>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QWidget>

class C1 : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    C1();

    /// Builds the panel's widgets on the TERRAFORM page; then connectPanel() wires them.
    void buildPanel(QWidget *terrainTab);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    /// This node's part of the settings: s.combiner (the control noise's MultiFractal and Gabor
    /// values have no controls here and are left as they are).
    void readSettings(orovista::NoiseSettings &s) const;
    /// s.combiner back into the widgets and the node, without signals and without a run.
    void applySettings(const orovista::NoiseSettings &s);

    /// The control-noise controls as a shared view.
    orovista::GeneratorControls generator() const;
    /// True for the combiner types that use the control noise ("Blend", "Select").
    bool usesControlNoise() const;

    static constexpr QSize fullSize{620, 110};
    static constexpr QSize collapsedSize{250, 110};

    int seed = 1;   ///< the control noise's seed, 0 … 16
    QString imageFileName;

    QPointer<QComboBox> C1TerrainType, C1NoiseType;
    QPointer<QSlider> C1FrequencySlider, C1LacunaritySlider, C1QualitySlider, C1OctavesSlider,
        C1PersistenceSlider, C1DisplacementSlider, C1EdgeFalloffSlider;
    QPointer<QLabel> C1FrequencyLabel, C1LacunarityLabel, C1QualityLabel, C1OctavesLabel, C1PersistenceLabel,
        C1DisplacementLabel, C1EdgeFalloffLabel;
    QPointer<QPushButton> C1SeedButton;
    QPointer<QCheckBox> C1CollapseCheckBox;
    QPointer<QLabel> C1PreviewLabel;

public slots:
    void C1ChooseNoise(const QString &type);
    void C1ChooseNoise();
    void setControlsVisibility();
    void C1ActivateNoise(const QString &type);
    void C1ReSeed();
    /// The collapse check box: checked shows every control, unchecked only the preview and the
    /// type choice.
    void C1Collapse(int state);

private:
    QPointer<QTabWidget> m_panel;
    bool m_ready = false;   ///< set once the panel is wired; type changes before are ignored
};
