#pragma once
// COMBINER node: merges the two branches (add, max, blend, select, ...), with a control noise.
#include "plugin/afirstpluginaction.h"

#include <QPointer>

#include <QTabWidget>

class C1 : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    C1();

    /// Builds the panel's widgets on the TERRAFORM page; then connects them.
    void buildPanel(QWidget *terrainTab);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    int seed = 1;
    QString imageFileName;

private:
    QPointer<QTabWidget> m_panel;
};
