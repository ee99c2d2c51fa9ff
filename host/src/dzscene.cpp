#include "dzscene.h"
#include "dznode.h"

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
        emit nodeRemoved(node);
    }
}
