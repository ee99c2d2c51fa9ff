#include "graph/i1.h"

#include "graph/nodepanel.h"

#include <QComboBox>
#include <QSlider>
#include <QTabWidget>

I1::I1(int s) : slot(s) {}

void I1::buildPanel(QWidget *terrainTab)
{
    const QString name = slot == 0 ? QStringLiteral("I1Panel") : QStringLiteral("I2Panel");
    m_panel = orovista::makeNodePanel(terrainTab, name, name + QStringLiteral("Page"));
    QWidget *page = m_panel->widget(0);
    I1TerrainType = new QComboBox(page);
    I1TerrainType->setObjectName(QStringLiteral("I1TerrainType"));
    I1TerrainType->addItems({"Flat", "Billow", "CheckerBoard", "Cylinders", "MultiFractal", "Perlin", "Spheres",
                             "Voronoi", "Gabor Convolution", "Image"});
    I1TerrainType->setGeometry(10, 10, 150, 22);
    auto slider = [page](const char *objectName, int lo, int hi, int value, int y) {
        auto *s = new QSlider(Qt::Horizontal, page);
        s->setObjectName(QString::fromLatin1(objectName));
        s->setRange(lo, hi);
        s->setValue(value);
        s->setGeometry(10, y, 150, 16);
        return s;
    };
    I1FrequencySlider = slider("I1FrequencySlider", 1, 100, 10, 40);
    I1LacunaritySlider = slider("I1LacunaritySlider", 15, 50, 15, 60);
    I1QualitySlider = slider("I1QualitySlider", 1, 3, 2, 80);
    I1OctavesSlider = slider("I1OctavesSlider", 1, 30, 4, 100);
    I1PersistenceSlider = slider("I1PersistenceSlider", 1, 10, 5, 120);
    I1DisplacementSlider = slider("I1DisplacementSlider", 1, 100, 1, 140);
}

void I1::connectPanel() {}

void I1::hideGeneratorSliders()
{
    for (QSlider *s : {I1FrequencySlider.data(), I1LacunaritySlider.data(), I1QualitySlider.data(),
                       I1OctavesSlider.data(), I1PersistenceSlider.data(), I1DisplacementSlider.data()})
        if (s)
            s->hide();
}
