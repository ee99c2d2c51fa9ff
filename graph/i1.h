#pragma once
// INPUT node: a generator (Perlin, Billow, Voronoi, ...) feeding one branch of the graph.
#include "plugin/afirstpluginaction.h"

#include <QPointer>

class QComboBox;
class QPushButton;
class QSlider;
#include <QTabWidget>

class I1 : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    explicit I1(int slot = 0);

    /// Builds the panel's widgets on the TERRAFORM page; then connects them.
    void buildPanel(QWidget *terrainTab);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    /// Hides the generator sliders until a noise type that uses them is chosen.
    void hideGeneratorSliders();

    const int slot;   ///< 0 = INPUT 1, 1 = INPUT 2
    int seed = 0;
    QString imageFileName;

    QPointer<QComboBox> I1TerrainType;
    QPointer<QSlider> I1FrequencySlider, I1LacunaritySlider, I1QualitySlider, I1OctavesSlider,
        I1PersistenceSlider, I1DisplacementSlider;

private:
    QPointer<QTabWidget> m_panel;
};
