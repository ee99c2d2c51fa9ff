#include "graph/nodepanel.h"

#include <QTabWidget>

namespace orovista {

QTabWidget *makeNodePanel(QWidget *parent, const QString &objectName, const QString &pageName)
{
    auto *panel = new QTabWidget(parent);
    panel->setObjectName(objectName);
    panel->setFocusPolicy(Qt::NoFocus);
    auto *page = new QWidget;
    page->setObjectName(pageName);
    page->setStyleSheet(QStringLiteral("QWidget#") + pageName +
                        QStringLiteral(" { \nbackground-color: rgba(60,60,60,230);\n}"));
    panel->addTab(page, QString());
    panel->resize(300, 300);
    panel->show();
    return panel;
}

}   // namespace orovista
