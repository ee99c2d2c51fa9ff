#include "dzcontentmgr.h"
#include "dzapp.h"
#include "dzimportmgr.h"
#include "dzpropreader.h"
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

    const QString ext = info.suffix().toLower();
    if (ext == QLatin1String("pp2")) {
        // Everything is read before the scene is touched: a file that fails leaves it as it was.
        dzpropreader::Result read = dzpropreader::readPropFile(p, m_poserDirs);
        if (!read.ok) {
            qWarning("cannot open prop file %s: %s", qPrintable(path), qPrintable(read.error));
            return false;
        }
        if (!merge)
            dzScene->clear();
        // Children go in first so that the prop itself ends up the scene's last node.
        for (DzNode *node : std::as_const(read.nodes)) {
            QList<DzNode *> below;
            for (int i = 0; i < node->getNumNodeChildren(); ++i)
                below.append(node->getNodeChild(i));
            for (int i = 0; i < below.size(); ++i)
                for (int c = 0; c < below[i]->getNumNodeChildren(); ++c)
                    below.append(below[i]->getNodeChild(c));
            for (DzNode *child : std::as_const(below))
                dzScene->addNode(child);
            dzScene->addNode(node);
        }
        return true;
    }
    if (dzApp && dzApp->getImportMgr()->findImporter(p)) {
        DzImporter *importer = dzApp->getImportMgr()->findImporter(p);
        const DzFileIOSettings settings;
        if (importer->readGeometry(p, &settings) != DZ_NO_ERROR)
            return false;
        if (!merge) {
            // The scene is replaced only once the file has been read.
            DzNode *added = importer->getLastNode();
            const QList<DzNode *> old = [&] {
                QList<DzNode *> list;
                for (int i = 0; i < dzScene->getNumNodes(); ++i)
                    if (dzScene->getNode(i) != added && !dzScene->getNode(i)->getNodeParent())
                        list.append(dzScene->getNode(i));
                return list;
            }();
            for (DzNode *n : old)
                dzScene->removeNode(n);
        }
        return true;
    }
    return false;
}
