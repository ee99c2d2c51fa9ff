#include "dzaction.h"
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>

DzAction::DzAction(const QString &text, const QString &description)
    : QAction(text), m_description(description)
{
    if (!description.isEmpty())
        setStatusTip(description);
}

DzAction::~DzAction() = default;

QString DzAction::getActionGroup() const { return QString(); }
QString DzAction::getDefaultMenuPath() const { return QString(); }
QString DzAction::getDefaultToolBar() const { return QString(); }
QKeySequence DzAction::getDefaultAccel() const { return QKeySequence(); }
void DzAction::init() {}
void DzAction::styleChange() {}
void DzAction::updateInlineHelp() {}
void DzAction::toggleAction(bool) {}

void DzAction::setIcon(const QString &imagePath)
{
    if (imagePath.isEmpty() || !QFileInfo(imagePath).isFile())
        return;
    QPixmap pixmap(imagePath);
    if (pixmap.isNull())
        return;
    QAction::setIcon(QIcon(pixmap));
}

DzCreateItemAction::DzCreateItemAction(const QString &text, const QString &description)
    : DzAction(text, description)
{
}

QString DzCreateItemAction::getActionGroup() const { return QStringLiteral("Create"); }
QString DzCreateItemAction::getDefaultMenuPath() const { return QStringLiteral("&Create"); }
