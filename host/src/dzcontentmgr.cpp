#include "dzcontentmgr.h"
#include "dzapp.h"
#include "dzimportmgr.h"
#include "dznode.h"
#include "dzscene.h"
#include <QDir>
#include <QFileInfo>

namespace {
QString normalizedFolder(const QString &dir)
{
    QString d = dir.trimmed();
    if (d.isEmpty())
        return d;
    d.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(d);
}
} // namespace

DzContentMgr::DzContentMgr(QObject *parent) : QObject(parent) {}

void DzContentMgr::setPoserDirectories(const QStringList &dirs)
{
    m_poserDirs.clear();
    for (const QString &d : dirs)
        addPoserDirectory(d);
}

void DzContentMgr::addPoserDirectory(const QString &dir)
{
    const QString d = normalizedFolder(dir);
    if (!d.isEmpty() && !m_poserDirs.contains(d))
        m_poserDirs.append(d);
}

bool DzContentMgr::openFile(const QString &path, bool merge)
{
    if (!dzScene || path.trimmed().isEmpty())
        return false;
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(p);
    if (!info.isFile() || !info.isReadable())
        return false;
    if (!merge)
        dzScene->clear();

    const QString ext = info.suffix().toLower();
    if (ext == QLatin1String("pp2")) {
        // A Poser prop: for now a node named after the file stands for it.
        auto *node = new DzNode;
        node->setName(info.completeBaseName());
        node->setLabel(info.completeBaseName());
        return dzScene->addNode(node);
    }
    if (dzApp && dzApp->getImportMgr()->findImporter(p)) {
        const DzFileIOSettings settings;
        return dzApp->getImportMgr()->readGeometry(p, &settings) == DZ_NO_ERROR;
    }
    return false;
}
