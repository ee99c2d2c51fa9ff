#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzcontentmgr.h"
#include "dzimagemgr.h"
#include "dzimportmgr.h"
#include "dzmaterial.h"
#include "dzscene.h"

DzApp *dzApp = nullptr;
DzScene *dzScene = nullptr;

DzApp::DzApp(QObject *parent) : QObject(parent)
{
    m_contentMgr = new DzContentMgr(this);
    m_importMgr = new DzImportMgr(this);
    m_imageMgr = new DzImageMgr(this);
    m_scene = new DzScene(this);

    // The shader bricks the host provides, created by class name.
    m_ownFactories = {
        new DzTClassFactory<DzSimpleSurfaceBrick>(QStringLiteral("DzSimpleSurfaceBrick"),
            DzGuid::fromString(QStringLiteral("6F1C2B10-3A51-4E0B-9C3D-2A1B5D7E0001"))),
        new DzTClassFactory<DzDefaultMaterialBrick>(QStringLiteral("DzDefaultMaterialBrick"),
            DzGuid::fromString(QStringLiteral("6F1C2B10-3A51-4E0B-9C3D-2A1B5D7E0002"))),
        new DzTClassFactory<DzImageBrick>(QStringLiteral("DzImageBrick"),
            DzGuid::fromString(QStringLiteral("6F1C2B10-3A51-4E0B-9C3D-2A1B5D7E0003"))),
        new DzTClassFactory<DzNormalMapBrick>(QStringLiteral("DzNormalMapBrick"),
            DzGuid::fromString(QStringLiteral("6F1C2B10-3A51-4E0B-9C3D-2A1B5D7E0004"))),
        new DzTClassFactory<DzDisplaceBrick>(QStringLiteral("DzDisplaceBrick"),
            DzGuid::fromString(QStringLiteral("6F1C2B10-3A51-4E0B-9C3D-2A1B5D7E0005"))),
    };
    m_factories = m_ownFactories;

    if (dzApp) {
        qWarning("DzApp: an application object exists already; dzApp keeps pointing at it");
        return;
    }
    dzApp = this;
    dzScene = m_scene;
}

DzApp::~DzApp()
{
    // The scene goes first: its nodes may refer to textures and materials.
    if (dzScene == m_scene)
        dzScene = nullptr;
    delete m_scene;
    m_scene = nullptr;
    const QList<DzClassFactory *> own = m_ownFactories;
    m_ownFactories.clear();
    m_factories.clear();
    qDeleteAll(own);
    if (dzApp == this)
        dzApp = nullptr;
}

DzClassFactory *DzApp::findClassFactory(const QString &className) const
{
    for (DzClassFactory *f : m_factories)
        if (f->getClassName() == className)
            return f;
    return nullptr;
}

DzClassFactory *DzApp::findClassFactory(const DzGuid &classID) const
{
    if (classID.isNull())
        return nullptr;
    for (DzClassFactory *f : m_factories)
        if (f->getClassID() == classID)
            return f;
    return nullptr;
}

bool DzApp::addClassFactory(DzClassFactory *factory)
{
    if (!factory || m_factories.contains(factory) || findClassFactory(factory->getClassName())
        || findClassFactory(factory->getClassID()))
        return false;
    m_factories.append(factory);
    return true;
}

void DzApp::removeClassFactory(DzClassFactory *factory)
{
    m_factories.removeAll(factory);
    m_ownFactories.removeAll(factory);
}
