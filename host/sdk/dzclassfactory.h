#pragma once
#include "dzglobal.h"
#include "dzguid.h"
#include <QJSEngine>
#include <QJSValue>
#include <QMetaType>
#include <QObject>
#include <QString>

/// Makes instances of one plug-in class and registers that class with the host's script engine.
class DZCORE_API DzClassFactory {
public:
    DzClassFactory(const QString &className, const DzGuid &classID);
    virtual ~DzClassFactory();

    QString getClassName() const { return m_className; }
    DzGuid getClassID() const { return m_classID; }

    /// A new instance of the class; the caller owns it.
    virtual QObject *createInstance() const = 0;
    /// The class's static meta object.
    virtual const QMetaObject *getMetaObject() const = 0;
    /// Registers the class with the script engine: meta type, conversions, and a global
    /// constructor property under getClassName() that returns a new instance.
    virtual void registerClass(QJSEngine *engine) const;

    /// Publishes the enumerators of metaObject as properties of classObject.
    static void registerEnumsOnClass(const QMetaObject *metaObject, QJSValue &classObject);

protected:
    /// Publishes classObject (a callable) as the global property getClassName().
    void publishConstructor(QJSEngine *engine) const;

private:
    QString m_className;
    DzGuid m_classID;
};

/// Factory for a QObject class T with a default constructor.
template <class T>
class DzTCustomClassFactory : public DzClassFactory {
public:
    DzTCustomClassFactory(const QString &className, const DzGuid &classID)
        : DzClassFactory(className, classID) {}

    QObject *createInstance() const override { return new T(); }
    const QMetaObject *getMetaObject() const override { return &T::staticMetaObject; }

    void registerClass(QJSEngine *engine) const override
    {
        static int typeId = 0;   // once per process
        if (typeId == 0)
            typeId = qRegisterMetaType<T *>();
        DzClassFactory::registerClass(engine);
    }
};

template <class T>
class DzTClassFactory : public DzTCustomClassFactory<T> {
public:
    DzTClassFactory(const QString &className, const DzGuid &classID)
        : DzTCustomClassFactory<T>(className, classID) {}
};
