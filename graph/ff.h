#pragma once
// The final node: settings of the whole height field and its pictures (plane window, preview
// size, colour gradients, light, turbulence, erosion, terrain size) and the regenerate button.
#include "plugin/afirstpluginaction.h"

#include <QPointer>

class QListWidget;
class QPushButton;
class QSlider;
#include <QTabWidget>

class FF : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    FF();

    /// Builds the panel's widgets on the TERRAFORM page; then connects them.
    void buildPanel(QWidget *terrainTab, const QString &gradientsFolder);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    /// Selects "black and white.bmp" in both gradient lists (the last such entry; row 0 when
    /// there is none).
    void selectGreyGradient();

    QString leftGradientName;
    QString rightGradientName;

    QPointer<QPushButton> FFReGenerateNoise;
    QPointer<QSlider> FFPreviewImageSlider;
    QPointer<QListWidget> FFGradientTypeListViewLeft, FFGradientTypeListViewRight;

private:
    QPointer<QTabWidget> m_panel;
};
