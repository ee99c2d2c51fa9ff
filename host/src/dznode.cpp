#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"

DzNode::DzNode(QObject *parent) : DzElement(parent)
{
    static const char *const axes[3] = {"X", "Y", "Z"};
    for (int a = 0; a < 3; ++a) {
        const QString axis = QString::fromLatin1(axes[a]);
        m_pos[a] = makeFloat(axis + QStringLiteral("Translate"), axis + QStringLiteral(" Translate"), 0.0f);
        m_rot[a] = makeFloat(axis + QStringLiteral("Rotate"), axis + QStringLiteral(" Rotate"), 0.0f);
        m_scale[a] = makeFloat(axis + QStringLiteral("Scale"), axis + QStringLiteral(" Scale"), 1.0f);
    }
    m_generalScale = makeFloat(QStringLiteral("Scale"), QStringLiteral("Scale"), 1.0f);
    m_visible = new DzBoolProperty(QStringLiteral("Visible"), QStringLiteral("Visible"), true);
    addProperty(m_visible);
    m_shadow = new DzBoolProperty(QStringLiteral("Cast Shadows"), QStringLiteral("Cast Shadows"), true);
    addProperty(m_shadow);
}

DzNode::~DzNode()
{
    if (m_scene)
        m_scene->detach(this);
    if (m_parent)
        m_parent->removeNodeChild(this);
    for (DzNode *child : std::as_const(m_children))
        child->m_parent = nullptr;
    m_children.clear();
    delete m_object;
    m_object = nullptr;
}

DzFloatProperty *DzNode::makeFloat(const QString &name, const QString &label, float value)
{
    auto *p = new DzFloatProperty(name, label, value);
    addProperty(p);
    return p;
}

QMatrix4x4 DzNode::getLocalTransform() const
{
    QMatrix4x4 m;
    m.translate(m_pos[0]->getValue(), m_pos[1]->getValue(), m_pos[2]->getValue());
    // Axis indices in the order the rotations apply to the node.
    static const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    static const QVector3D axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const int *order = orders[m_rotationOrder];
    // M = R_last · R_middle · R_first, so the first rotation is multiplied in last.
    for (int i = 2; i >= 0; --i)
        m.rotate(m_rot[order[i]]->getValue(), axes[order[i]]);
    const float g = m_generalScale->getValue();
    m.scale(m_scale[0]->getValue() * g, m_scale[1]->getValue() * g, m_scale[2]->getValue() * g);
    return m;
}

QMatrix4x4 DzNode::getWSTransform() const
{
    QMatrix4x4 m = getLocalTransform();
    for (const DzNode *p = m_parent; p; p = p->m_parent)
        m = p->getLocalTransform() * m;
    return m;
}

DzVec3 DzNode::getLocalPos() const
{
    return {m_pos[0]->getValue(), m_pos[1]->getValue(), m_pos[2]->getValue()};
}

DzVec3 DzNode::getWSPos() const
{
    return DzVec3::fromQVector3D(getWSTransform().map(QVector3D(0, 0, 0)));
}

void DzNode::setWSPos(const DzVec3 &pos)
{
    if (!pos.isFinite())
        return;
    QVector3D local = pos.toQVector3D();
    if (m_parent) {
        bool invertible = false;
        const QMatrix4x4 inverse = m_parent->getWSTransform().inverted(&invertible);
        if (!invertible)
            return;   // a parent scaled to nothing: no local position reaches pos
        local = inverse.map(local);
    }
    m_pos[0]->setValue(local.x());
    m_pos[1]->setValue(local.y());
    m_pos[2]->setValue(local.z());
}

bool DzNode::isNodeAncestorOf(const DzNode *node) const
{
    for (const DzNode *p = node ? node->m_parent : nullptr; p; p = p->m_parent)
        if (p == this)
            return true;
    return false;
}

bool DzNode::addNodeChild(DzNode *child, bool inPlace)
{
    if (!child || child == this || child->isNodeAncestorOf(this))
        return false;
    if (child->m_parent == this)
        return true;
    const DzVec3 ws = child->getWSPos();
    if (child->m_parent)
        child->m_parent->removeNodeChild(child);
    child->m_parent = this;
    m_children.append(child);
    if (inPlace)
        child->setWSPos(ws);
    emit childAdded(child);
    return true;
}

bool DzNode::removeNodeChild(DzNode *child, bool inPlace)
{
    if (!child || child->m_parent != this)
        return false;
    const DzVec3 ws = child->getWSPos();
    m_children.removeOne(child);
    child->m_parent = nullptr;
    if (inPlace)
        child->setWSPos(ws);
    emit childRemoved(child);
    return true;
}

void DzNode::setObject(DzObject *object)
{
    if (object == m_object)
        return;
    delete m_object;
    m_object = object;
    if (m_object)
        m_object->setParent(this);
    emit objectChanged();
}
