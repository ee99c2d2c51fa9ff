#include "graph/d1.h"

#include "graph/nodepanel.h"

#include <QTabWidget>

D1::D1(int s) : slot(s) {}

void D1::buildPanel(QWidget *terrainTab)
{
    const QString name = slot == 0 ? QStringLiteral("D1Panel") : QStringLiteral("D2Panel");
    m_panel = orovista::makeNodePanel(terrainTab, name, name + QStringLiteral("Page"));
}

void D1::connectPanel() {}
