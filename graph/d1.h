#pragma once
// DEFORMER node: reshapes the height values of one branch (clamp, curve, exponent, ...). Two
// instances: slot 0 is DEFORMER 1 (over INPUT 1), slot 1 DEFORMER 2; both panels carry the same
// widget names.
#include "graph/noisesettings.h"
#include "plugin/afirstpluginaction.h"

#include <QList>
#include <QPointer>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

class D1 : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    explicit D1(int slot = 0);

    /// Builds the panel's widgets on the TERRAFORM page; then connectPanel() wires them.
    void buildPanel(QWidget *terrainTab);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    /// This node's part of the settings: widgets and profiles into s.deformer[slot].
    void readSettings(orovista::NoiseSettings &s) const;
    /// s.deformer[slot] back into the widgets and the node, without signals and without a run.
    void applySettings(const orovista::NoiseSettings &s);

    /// Chooses a curve (0 … 16) or terrace (0 … 15) profile and highlights its button; no run. A
    /// number outside the range chooses 0.
    void selectCurveProfile(int profile);
    void selectTerraceProfile(int profile);

    /// The node's pictures in "maps": the grey height picture, or the coloured one.
    QString pictureName(bool texture) const;

    static constexpr int curveProfileCount = 17;     ///< "curve_0" … "curve_16"
    static constexpr int terraceProfileCount = 16;   ///< "terrace_0" … "terrace_15"

    const int slot;   ///< 0 = DEFORMER 1, 1 = DEFORMER 2
    int curveProfile = 0;
    int terraceProfile = 0;

    QPointer<QComboBox> D1TerrainType;
    QPointer<QSpinBox> D1ClampLowerSpinBox, D1ClampUpperSpinBox, D1ExponentSpinBox, D1ScaleBiasLowerSpinBox,
        D1ScaleBiasUpperSpinBox;
    QPointer<QSlider> D1CurvePointsSlider, D1TerracePointsSlider;
    QPointer<QPushButton> D1ResetButton, D1ClampButton, D1ExponentButton, D1ScaleBiasButton;
    QPointer<QFrame> D1ClampFrame, D1CurveFrame, D1CurveProfilesFrame, D1ExponentFrame, D1ScaleBiasFrame,
        D1TerraceFrame, D1TerraceProfilesFrame;
    QPointer<QLabel> D1ClampLabel, D1CurveLabel, D1ExponentLabel, D1ScaleBiasLabel, D1TerraceLabel;
    QPointer<QLabel> D1PreviewLabel;
    QList<QPointer<QToolButton>> curveButtons;     ///< "curve_0" … "curve_16"
    QList<QPointer<QToolButton>> terraceButtons;   ///< "terrace_0" … "terrace_15"

public slots:
    void D1ChooseNoise(const QString &type);
    void D1ChooseNoise();
    void setControlsVisibility();
    void D1ResetAll();
    void curveItemClicked();
    void terraceItemClicked();

private:
    QFrame *typeFrame(QWidget *page, const char *name, const char *text, QPointer<QLabel> &label);
    QFrame *profilesFrame(QWidget *parent, const char *frameName, const char *buttonPrefix, int count,
                          QList<QPointer<QToolButton>> &buttons);
    /// A preset button of the curve or the terrace grid was clicked: choose its profile, then
    /// run (AUTO) or show the regenerate button.
    void presetClicked(bool curve);
    static void highlight(const QList<QPointer<QToolButton>> &buttons, int chosen);

    QPointer<QTabWidget> m_panel;
};
