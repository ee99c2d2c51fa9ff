#include "graph/c1.h"

#include "graph/nodepanel.h"

#include <QTabWidget>

C1::C1() = default;

void C1::buildPanel(QWidget *terrainTab)
{
    const QString name = QStringLiteral("C1Panel");
    m_panel = orovista::makeNodePanel(terrainTab, name, name + QStringLiteral("Page"));
}

void C1::connectPanel() {}
