#pragma once
#include "dzcamera.h"
#include "dzglobal.h"
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QWidget>

class DzViewportMgr;
class QVBoxLayout;

/// The 3D view of a viewport: the camera it looks through and its shading style. The drawing
/// itself is done by a render widget that the application installs (setRenderWidget); without
/// one the view only states what it would show.
class DZCORE_API Dz3DViewport : public QWidget {
    Q_OBJECT
public:
    enum ShadeStyle { WireBox = 0, SolidBox = 1, WireFrame = 2, HiddenLine = 3,
                      LitWireFrame = 4, SmoothShaded = 5, WireShaded = 6, WireTexture = 7, Texture = 8 };
    Q_ENUM(ShadeStyle)

    explicit Dz3DViewport(QWidget *parent = nullptr);

    DzCamera *getCamera() const { return m_camera; }
    /// Looks through the camera (null: the view's own default). The view forgets a camera
    /// that is deleted.
    void setCamera(DzCamera *camera);
    ShadeStyle getShadeStyle() const { return m_style; }
    void setShadeStyle(int style);   ///< ignores a value outside the styles

    /// The widget that draws the view, filling it; null when none. The view takes ownership
    /// and deletes the previous one.
    QWidget *getRenderWidget() const { return m_renderWidget; }
    void setRenderWidget(QWidget *widget);

signals:
    void activeCameraChanged(DzCamera *camera);
    void shadeStyleChanged(int style);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void cameraDestroyed(QObject *camera);

    QPointer<DzCamera> m_camera;
    ShadeStyle m_style = Texture;
    QVBoxLayout *m_layout;
    QPointer<QWidget> m_renderWidget;
};

/// A viewport of the interface, holding one 3D view.
class DZCORE_API DzViewport : public QWidget {
    Q_OBJECT
public:
    explicit DzViewport(QWidget *parent = nullptr);
    Dz3DViewport *get3DViewport() const { return m_view; }

private:
    Dz3DViewport *m_view;
};

/// The interface's viewports; one is active.
class DZCORE_API DzViewportMgr : public QObject {
    Q_OBJECT
public:
    explicit DzViewportMgr(QObject *parent = nullptr);

    /// Takes the viewport into the manager (the first becomes active); the widget's ownership
    /// stays with its widget parent.
    void addViewport(DzViewport *viewport);
    int getNumViewports() const { return int(m_viewports.size()); }
    DzViewport *getViewport(int i) const { return m_viewports.value(i); }
    DzViewport *getActiveViewport() const;
    void setActiveViewport(DzViewport *viewport);   ///< ignores one it does not hold

signals:
    void activeViewportChanged(DzViewport *viewport);

private:
    QList<QPointer<DzViewport>> m_viewports;
    QPointer<DzViewport> m_active;
};

/// The host's main window. Its central widget is one viewport.
class DZCORE_API DzMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DzMainWindow(QWidget *parent = nullptr);
    ~DzMainWindow() override;

    DzViewportMgr *getViewportMgr() const { return m_viewportMgr; }

private:
    DzViewportMgr *m_viewportMgr;
};
