#include "sceneoutliner.h"
#include "dznode.h"
#include "dzscene.h"

SceneOutliner::SceneOutliner(DzScene *scene, QWidget *parent) : QTreeWidget(parent), m_scene(scene)
{
    setObjectName(QStringLiteral("sceneOutliner"));
    setHeaderLabel(QStringLiteral("Scene"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { emit currentNodeChanged(nodeForItem(item)); });
    if (!scene)
        return;
    connect(scene, &DzScene::nodeAdded, this, &SceneOutliner::addNode);
    connect(scene, &DzScene::nodeRemoved, this, &SceneOutliner::removeNode);
    for (int i = 0; i < scene->getNumNodes(); ++i)
        addNode(scene->getNode(i));
}

QString SceneOutliner::textFor(const DzNode *node)
{
    return node->getLabel().isEmpty() ? node->getName() : node->getLabel();
}

QTreeWidgetItem *SceneOutliner::itemForNode(const DzNode *node) const
{
    return m_items.value(node);
}

DzNode *SceneOutliner::nodeForItem(const QTreeWidgetItem *item) const
{
    if (!item)
        return nullptr;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        if (it.value() == item)
            return const_cast<DzNode *>(it.key());
    return nullptr;
}

DzNode *SceneOutliner::currentNode() const
{
    return nodeForItem(currentItem());
}

void SceneOutliner::detachItem(QTreeWidgetItem *item)
{
    if (QTreeWidgetItem *parent = item->parent())
        parent->removeChild(item);
    else if (const int i = indexOfTopLevelItem(item); i >= 0)
        takeTopLevelItem(i);
}

void SceneOutliner::place(DzNode *node)
{
    QTreeWidgetItem *item = m_items.value(node);
    if (!item)
        return;
    detachItem(item);
    QTreeWidgetItem *parentItem = m_items.value(node->getNodeParent());
    if (parentItem) {
        parentItem->addChild(item);
        parentItem->setExpanded(true);
    } else {
        addTopLevelItem(item);
    }
}

void SceneOutliner::addNode(DzNode *node)
{
    if (!node || m_items.contains(node))
        return;
    auto *item = new QTreeWidgetItem(QStringList{textFor(node)});
    item->setToolTip(0, node->getName());
    m_items.insert(node, item);
    place(node);
    // Children that reached the scene before this node move under it.
    for (int i = 0; i < node->getNumNodeChildren(); ++i)
        place(node->getNodeChild(i));

    connect(node, &DzNode::childAdded, this, &SceneOutliner::place);
    connect(node, &DzNode::childRemoved, this, &SceneOutliner::place);
    auto retitle = [this, node] {
        if (QTreeWidgetItem *it = m_items.value(node)) {
            it->setText(0, textFor(node));
            it->setToolTip(0, node->getName());
        }
    };
    connect(node, &DzBase::nameChanged, this, retitle);
    connect(node, &DzElement::labelChanged, this, retitle);
}

void SceneOutliner::removeNode(DzNode *node)
{
    QTreeWidgetItem *item = m_items.take(node);
    if (!item)
        return;
    disconnect(node, nullptr, this, nullptr);
    // Child items of nodes still listed go to the top level rather than die with this item.
    const QList<QTreeWidgetItem *> children = item->takeChildren();
    for (QTreeWidgetItem *child : children)
        addTopLevelItem(child);
    detachItem(item);
    delete item;
}
