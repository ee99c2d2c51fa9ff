#include "studiowindow.h"
#include "dzaction.h"
#include "dzapp.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include "dzversion.h"
#include "sceneoutliner.h"
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>

StudioWindow::StudioWindow(QWidget *parent) : DzMainWindow(parent)
{
    setObjectName(QStringLiteral("studioMainWindow"));
    setWindowTitle(QStringLiteral("Studio"));
    resize(1100, 720);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, qApp, &QApplication::closeAllWindows);
    m_createMenu = menuBar()->addMenu(QStringLiteral("&Create"));
    m_createMenu->setObjectName(QStringLiteral("createMenu"));
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Plug-ins..."), this, &StudioWindow::showPluginsDialog);
    help->addAction(QStringLiteral("&About Studio"), this, [this] {
        QMessageBox::about(this, QStringLiteral("About Studio"),
                           QStringLiteral("Studio: a small 3D scene host for plug-ins (SDK %1).").arg(DZ_SDK_VERSION.toString()));
    });

    m_outliner = new SceneOutliner(dzScene, this);
    auto *outlinerDock = new QDockWidget(QStringLiteral("Scene"), this);
    outlinerDock->setObjectName(QStringLiteral("sceneDock"));
    outlinerDock->setWidget(m_outliner);
    addDockWidget(Qt::LeftDockWidgetArea, outlinerDock);

    m_properties = new QTreeWidget(this);
    m_properties->setObjectName(QStringLiteral("nodeProperties"));
    m_properties->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    m_properties->setRootIsDecorated(false);
    auto *propertiesDock = new QDockWidget(QStringLiteral("Properties"), this);
    propertiesDock->setObjectName(QStringLiteral("propertiesDock"));
    propertiesDock->setWidget(m_properties);
    addDockWidget(Qt::RightDockWidgetArea, propertiesDock);
    connect(m_outliner, &SceneOutliner::currentNodeChanged, this, &StudioWindow::showProperties);
}

void StudioWindow::setCreateActions(const QList<DzCreateItemAction *> &actions)
{
    m_createMenu->clear();
    for (DzCreateItemAction *a : actions)
        m_createMenu->addAction(a);
    if (actions.isEmpty())
        m_createMenu->addAction(QStringLiteral("(no create actions)"))->setEnabled(false);
}

void StudioWindow::setPluginReport(const QStringList &loaded, const QStringList &refused)
{
    m_loaded = loaded;
    m_refused = refused;
}

void StudioWindow::showPluginsDialog()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Plug-ins"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QPlainTextEdit(&dialog);
    text->setReadOnly(true);
    QString report = QStringLiteral("Plug-ins folder: %1\n\nLoaded:\n").arg(dzApp ? dzApp->getPluginsPath() : QString());
    report += m_loaded.isEmpty() ? QStringLiteral("  (none)\n") : QStringLiteral("  ") + m_loaded.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    report += QStringLiteral("\nRefused:\n");
    report += m_refused.isEmpty() ? QStringLiteral("  (none)\n") : QStringLiteral("  ") + m_refused.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    text->setPlainText(report);
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(640, 360);
    dialog.exec();
}

void StudioWindow::showProperties(DzNode *node)
{
    m_properties->clear();
    if (!node)
        return;
    auto add = [this](const QString &key, const QString &value) {
        m_properties->addTopLevelItem(new QTreeWidgetItem(QStringList{key, value}));
    };
    add(QStringLiteral("Name"), node->getName());
    add(QStringLiteral("Label"), node->getLabel());
    add(QStringLiteral("Class"), QString::fromLatin1(node->metaObject()->className()));
    if (const DzObject *object = node->getObject())
        if (const DzShape *shape = object->getCurrentShape())
            if (const DzFacetMesh *mesh = qobject_cast<const DzFacetMesh *>(shape->getGeometry()))
                add(QStringLiteral("Geometry"), QStringLiteral("%1 vertices, %2 facets, %3 material(s)")
                                                    .arg(mesh->getNumVertices()).arg(mesh->getNumFacets()).arg(shape->getNumMaterials()));
    for (int i = 0; i < node->getNumProperties(); ++i) {
        const DzProperty *p = node->getProperty(i);
        add(p->getLabel(), p->getValueString());
    }
}
