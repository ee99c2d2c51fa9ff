#include "dzimagemgr.h"
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

DzTexture::DzTexture(const QString &filename, QObject *parent) : DzBase(parent), m_filename(filename)
{
    setName(QFileInfo(filename).fileName());
    refresh();
}

bool DzTexture::refresh()
{
    QImageReader reader(m_filename);
    m_size = reader.canRead() ? reader.size() : QSize();
    return isValid();
}

DzImageMgr::DzImageMgr(QObject *parent) : QObject(parent) {}

DzTexture *DzImageMgr::getImage(const QString &path)
{
    QString p = path.trimmed();
    if (p.isEmpty())
        return nullptr;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    p = QDir::cleanPath(QFileInfo(p).absoluteFilePath());
    DzTexture *&texture = m_textures[p];
    if (!texture)
        texture = new DzTexture(p, this);
    return texture;
}

void DzImageMgr::refresh()
{
    for (DzTexture *t : std::as_const(m_textures))
        t->refresh();
    emit imagesRefreshed();
}
