#pragma once
#include "dzmainwindow.h"
#include <QStringList>

class DzCreateItemAction;
class DzNode;
class QMenu;
class QTreeWidget;
class SceneOutliner;

/// The studio's main window: File, Create and Help menus, the scene outliner on the left, the
/// viewport in the middle and the selected node's properties on the right.
class StudioWindow : public DzMainWindow {
    Q_OBJECT
public:
    explicit StudioWindow(QWidget *parent = nullptr);

    /// Lists the actions in the Create menu (text and icon as the actions give them).
    void setCreateActions(const QList<DzCreateItemAction *> &actions);
    /// What the Help → Plug-ins dialog reports.
    void setPluginReport(const QStringList &loaded, const QStringList &refused);

    QMenu *createMenu() const { return m_createMenu; }
    SceneOutliner *outliner() const { return m_outliner; }

public slots:
    void showPluginsDialog();

private:
    void showProperties(DzNode *node);

    QMenu *m_createMenu;
    SceneOutliner *m_outliner;
    QTreeWidget *m_properties;
    QStringList m_loaded, m_refused;
};
