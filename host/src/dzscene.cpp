#include "dzscene.h"
#include "dznode.h"
#include "dzproperty.h"

DzScene::DzScene(QObject *parent) : QObject(parent) {}

DzScene::~DzScene()
{
    const QList<DzNode *> nodes = m_nodes;
    m_nodes.clear();
    for (DzNode *n : nodes)
        n->m_scene = nullptr;
    qDeleteAll(nodes);
}

int DzScene::findNodeIndex(const DzNode *node) const
{
    return int(m_nodes.indexOf(const_cast<DzNode *>(node)));
}

DzNode *DzScene::findNode(const QString &name) const
{
    for (DzNode *n : m_nodes)
        if (n->getName() == name)
            return n;
    return nullptr;
}

DzNode *DzScene::findNodeByLabel(const QString &label) const
{
    for (DzNode *n : m_nodes)
        if (n->getLabel() == label)
            return n;
    return nullptr;
}

bool DzScene::addNode(DzNode *node)
{
    if (!node || node->m_scene)
        return false;
    node->m_scene = this;
    node->setParent(this);
    m_nodes.append(node);
    watch(node);
    emit nodeAdded(node);
    for (int i = 0; i < node->getNumNodeChildren(); ++i)
        addNode(node->getNodeChild(i));   // refuses those in a scene already
    return true;
}

bool DzScene::removeNode(DzNode *node)
{
    if (!node || node->m_scene != this)
        return false;
    if (node->getNodeParent())
        node->getNodeParent()->removeNodeChild(node);
    // The node first, then its descendants that are in this scene.
    QList<DzNode *> doomed{node};
    for (int i = 0; i < doomed.size(); ++i)
        for (int c = 0; c < doomed[i]->getNumNodeChildren(); ++c) {
            DzNode *child = doomed[i]->getNodeChild(c);
            if (child->m_scene == this && !doomed.contains(child))
                doomed.append(child);
        }
    for (DzNode *n : doomed) {
        m_nodes.removeOne(n);
        n->m_scene = nullptr;
        unwatch(n);
        emit nodeRemoved(n);
        n->deleteLater();
    }
    return true;
}

void DzScene::clear()
{
    while (!m_nodes.isEmpty())
        removeNode(m_nodes.constFirst());
}

void DzScene::detach(DzNode *node)
{
    if (m_nodes.removeOne(node)) {
        node->m_scene = nullptr;
        unwatch(node);
        emit nodeRemoved(node);
    }
}

void DzScene::setModified(bool modified)
{
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void DzScene::watch(DzNode *node)
{
    setModified(true);
    connect(node, &DzBase::nameChanged, this, &DzScene::markModified);
    connect(node, &DzElement::labelChanged, this, &DzScene::markModified);
    connect(node, &DzNode::childAdded, this, &DzScene::markModified);
    connect(node, &DzNode::childRemoved, this, &DzScene::markModified);
    connect(node, &DzNode::objectChanged, this, &DzScene::markModified);
    for (int i = 0; i < node->getNumProperties(); ++i)
        connect(node->getProperty(i), &DzProperty::currentValueChanged, this, &DzScene::markModified);
}

void DzScene::unwatch(DzNode *node)
{
    setModified(true);
    disconnect(node, nullptr, this, nullptr);
    for (int i = 0; i < node->getNumProperties(); ++i)
        disconnect(node->getProperty(i), nullptr, this, nullptr);
}
