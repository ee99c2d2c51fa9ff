#pragma once
// DEFORMER node: reshapes the height values of one branch (clamp, curve, exponent, ...).
#include "plugin/afirstpluginaction.h"

#include <QPointer>

#include <QTabWidget>

class D1 : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    explicit D1(int slot = 0);

    /// Builds the panel's widgets on the TERRAFORM page; then connects them.
    void buildPanel(QWidget *terrainTab);
    void connectPanel();
    QTabWidget *panel() const { return m_panel; }

    const int slot;   ///< 0 = DEFORMER 1, 1 = DEFORMER 2

private:
    QPointer<QTabWidget> m_panel;
};
