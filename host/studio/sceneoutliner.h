#pragma once
#include "dzscene.h"
#include <QHash>
#include <QPointer>
#include <QTreeWidget>

class DzNode;

/// A tree of the scene's nodes that follows the scene: nodes added and removed, children
/// attached and detached, names and labels changed. A node whose parent is not in the scene
/// shows at the top level.
class SceneOutliner : public QTreeWidget {
    Q_OBJECT
public:
    explicit SceneOutliner(DzScene *scene, QWidget *parent = nullptr);

    /// The item showing node, null when none.
    QTreeWidgetItem *itemForNode(const DzNode *node) const;
    DzNode *nodeForItem(const QTreeWidgetItem *item) const;
    DzNode *currentNode() const;

signals:
    void currentNodeChanged(DzNode *node);

private:
    void addNode(DzNode *node);
    void removeNode(DzNode *node);
    void place(DzNode *node);   // puts the node's item under its parent's item or at the top
    void detachItem(QTreeWidgetItem *item);
    static QString textFor(const DzNode *node);

    QPointer<DzScene> m_scene;
    QHash<const DzNode *, QTreeWidgetItem *> m_items;
};
