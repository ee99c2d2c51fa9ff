#include "dzmainwindow.h"
#include "dzapp.h"
#include "dzcamera.h"
#include "dzscene.h"
#include <QMetaEnum>
#include <QPainter>
#include <QVBoxLayout>

// --- Dz3DViewport -------------------------------------------------------------------------

Dz3DViewport::Dz3DViewport(QWidget *parent) : QWidget(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    setMinimumSize(160, 120);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(60, 60, 66));
    pal.setColor(QPalette::WindowText, QColor(220, 220, 220));
    setPalette(pal);
}

void Dz3DViewport::setCamera(DzCamera *camera)
{
    if (camera == m_camera)
        return;
    if (m_camera)
        disconnect(m_camera, &QObject::destroyed, this, &Dz3DViewport::cameraDestroyed);
    m_camera = camera;
    if (camera)
        connect(camera, &QObject::destroyed, this, &Dz3DViewport::cameraDestroyed);
    emit activeCameraChanged(camera);
    update();
}

void Dz3DViewport::cameraDestroyed(QObject *)
{
    // The pointer is already cleared; whoever follows the view learns that it looks through
    // its own default again.
    m_camera = nullptr;
    emit activeCameraChanged(nullptr);
    update();
}

void Dz3DViewport::setRenderWidget(QWidget *widget)
{
    if (widget == m_renderWidget)
        return;
    delete m_renderWidget;
    m_renderWidget = widget;
    if (widget) {
        widget->setParent(this);
        m_layout->addWidget(widget);
        widget->show();
    }
    update();
}

void Dz3DViewport::setShadeStyle(int style)
{
    if (style < WireBox || style > Texture || style == m_style)
        return;
    m_style = ShadeStyle(style);
    emit shadeStyleChanged(style);
    update();
}

void Dz3DViewport::paintEvent(QPaintEvent *)
{
    // Without a renderer the view states what it would show.
    if (m_renderWidget)
        return;
    QPainter p(this);
    const QString camera = m_camera ? m_camera->getLabel().isEmpty() ? m_camera->getName() : m_camera->getLabel()
                                    : QStringLiteral("Perspective View");
    const int nodes = dzScene ? dzScene->getNumNodes() : 0;
    const QString text = QStringLiteral("%1\n%2 · %3 node(s) in the scene")
                             .arg(camera, QString::fromLatin1(QMetaEnum::fromType<ShadeStyle>().valueToKey(m_style)))
                             .arg(nodes);
    p.drawText(rect(), Qt::AlignCenter, text);
}

// --- DzViewport, DzViewportMgr ------------------------------------------------------------

DzViewport::DzViewport(QWidget *parent) : QWidget(parent), m_view(new Dz3DViewport(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

DzViewportMgr::DzViewportMgr(QObject *parent) : QObject(parent) {}

void DzViewportMgr::addViewport(DzViewport *viewport)
{
    if (!viewport || m_viewports.contains(viewport))
        return;
    m_viewports.append(viewport);
    if (!m_active)
        setActiveViewport(viewport);
}

DzViewport *DzViewportMgr::getActiveViewport() const
{
    return m_active;
}

void DzViewportMgr::setActiveViewport(DzViewport *viewport)
{
    if (!viewport || !m_viewports.contains(viewport) || viewport == m_active)
        return;
    m_active = viewport;
    emit activeViewportChanged(viewport);
}

// --- DzMainWindow -------------------------------------------------------------------------

DzMainWindow::DzMainWindow(QWidget *parent) : QMainWindow(parent), m_viewportMgr(new DzViewportMgr(this))
{
    auto *viewport = new DzViewport(this);
    setCentralWidget(viewport);
    m_viewportMgr->addViewport(viewport);
    if (dzScene) {
        connect(dzScene, &DzScene::nodeAdded, viewport->get3DViewport(), qOverload<>(&QWidget::update));
        connect(dzScene, &DzScene::nodeRemoved, viewport->get3DViewport(), qOverload<>(&QWidget::update));
    }
}

DzMainWindow::~DzMainWindow()
{
    if (dzApp && dzApp->getInterface() == this)
        dzApp->setInterface(nullptr);
}
