#pragma once
#include "dzglobal.h"
#include <QList>
#include <QObject>
#include <QString>

class DzProperty;

/// A named host object. The name is the object name.
class DZCORE_API DzBase : public QObject {
    Q_OBJECT
public:
    explicit DzBase(QObject *parent = nullptr);
    ~DzBase() override;

    QString getName() const { return objectName(); }
    void setName(const QString &name);

signals:
    void nameChanged(const QString &name);
};

/// A host object with a label and a list of properties (which it owns).
class DZCORE_API DzElement : public DzBase {
    Q_OBJECT
public:
    explicit DzElement(QObject *parent = nullptr);
    ~DzElement() override;

    QString getLabel() const { return m_label; }
    void setLabel(const QString &label);

    /// Takes ownership; refuses null and a property already held. A second property with the
    /// name of one held is allowed, but findProperty() finds the first.
    bool addProperty(DzProperty *property);
    /// Gives ownership back to the caller.
    bool removeProperty(DzProperty *property);
    int getNumProperties() const { return int(m_properties.size()); }
    DzProperty *getProperty(int i) const { return m_properties.value(i); }
    /// By name: an exact match first, then one that differs only in case; null when none.
    DzProperty *findProperty(const QString &name) const;
    DzProperty *findPropertyByLabel(const QString &label) const;

signals:
    void labelChanged(const QString &label);

private:
    QString m_label;
    QList<DzProperty *> m_properties;
};

/// Intrusive reference count for items that several holders share (meshes, materials, morph
/// deltas). A new item starts at 0; each holder calls ref() when it takes the item and unref()
/// when it lets go; the last unref() deletes the item. Shared items must have no QObject parent.
class DZCORE_API DzRefCountedItem {
public:
    void ref() { ++m_refCount; }
    void unref();
    int getRefCount() const { return m_refCount; }

protected:
    DzRefCountedItem() = default;
    virtual ~DzRefCountedItem();

private:
    DzRefCountedItem(const DzRefCountedItem &) = delete;
    DzRefCountedItem &operator=(const DzRefCountedItem &) = delete;
    int m_refCount = 0;
};

/// Makes slot hold item (which may be null): takes a reference to the new item, then lets go
/// of the old one.
template <class T>
void dzHoldShared(T *&slot, T *item)
{
    if (item == slot)
        return;
    if (item)
        item->ref();
    T *old = slot;
    slot = item;
    if (old)
        old->unref();
}
