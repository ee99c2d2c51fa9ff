#include "dzbase.h"
#include "dzproperty.h"

DzBase::DzBase(QObject *parent) : QObject(parent) {}
DzBase::~DzBase() = default;

void DzBase::setName(const QString &name)
{
    if (name == objectName())
        return;
    setObjectName(name);
    emit nameChanged(name);
}

DzElement::DzElement(QObject *parent) : DzBase(parent) {}

DzElement::~DzElement()
{
    const QList<DzProperty *> props = m_properties;
    m_properties.clear();
    qDeleteAll(props);
}

void DzElement::setLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    emit labelChanged(label);
}

bool DzElement::addProperty(DzProperty *property)
{
    if (!property || m_properties.contains(property))
        return false;
    m_properties.append(property);
    return true;
}

bool DzElement::removeProperty(DzProperty *property)
{
    return m_properties.removeOne(property);
}

DzProperty *DzElement::findProperty(const QString &name) const
{
    for (DzProperty *p : m_properties)
        if (p->getName() == name)
            return p;
    for (DzProperty *p : m_properties)
        if (p->getName().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    return nullptr;
}

DzProperty *DzElement::findPropertyByLabel(const QString &label) const
{
    for (DzProperty *p : m_properties)
        if (p->getLabel() == label)
            return p;
    return nullptr;
}

DzRefCountedItem::~DzRefCountedItem() = default;

void DzRefCountedItem::unref()
{
    if (m_refCount <= 0)
        return;   // not held: whoever made it still owns it
    if (--m_refCount == 0)
        delete this;
}
