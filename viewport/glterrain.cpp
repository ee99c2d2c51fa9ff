#include "viewport/glterrain.h"

#include "dzglbuffers.h"
#include "library/glm.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/random.h"
#include "populate/painteditem.h"
#include "plugin/style.h"
#include "terrain/sculpt.h"
#include "terrain/terrainarrays.h"
#include "terrain/terrainlookup.h"
#include "viewport/drawrules.h"

#include <GL/glu.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QImage>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QWheelEvent>
#include <QSlider>
#include <QTimer>

#include <cmath>

namespace {

constexpr float degree = 3.14159265358979323846f / 180.0f;
const QString degreeSign = QString(QChar(0x00B0));

// The fixed lighting of the preview.
constexpr float materialSpecular[4] = {0.2f, 0.2f, 0.2f, 1.0f};
constexpr float lightAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr float lightSpecular[4] = {0.35f, 0.35f, 0.35f, 1.0f};

}   // namespace

GLTerrain::GLTerrain(const QSurfaceFormat &format, QWidget *parent) : QOpenGLWidget(parent)
{
    setFormat(format);
    setObjectName(QStringLiteral("GLTerrain"));
    setFocusPolicy(Qt::WheelFocus);
    setMouseTracking(true);   // the brush follows the pointer without a button held
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

GLTerrain::~GLTerrain()
{
    // The buffers live in this widget's context: gone with it, whichever way the window closes.
    orovista::ProgramState &s = orovista::state();
    if ((s.vertexBuffers[0] || s.vertexBuffers[1]) && context() && isValid()) {
        makeCurrent();
        __glewDeleteBuffersARB(2, s.vertexBuffers);
        doneCurrent();
    }
    s.vertexBuffers[0] = s.vertexBuffers[1] = 0;
}

void GLTerrain::updateGL()
{
    // Drawn here into the widget's framebuffer, not left to the next paint event: a repaint of
    // a widget inside a larger window may be deferred to the window's next flush.
    if (context() && isValid()) {
        makeCurrent();
        paintGL();
        doneCurrent();
    }
    update();
}

void GLTerrain::uploadTerrain(const TerrainArrays &mesh)
{
    orovista::ProgramState &s = orovista::state();
    if (!s.vboSupported || mesh.isEmpty() || !context())
        return;
    makeCurrent();
    const orovista::VertexBufferLayout layout = orovista::vertexBufferLayout(mesh.gridSize);
    if (!s.vertexBuffers[0]) {
        __glewGenBuffersARB(2, s.vertexBuffers);
        __glewBindBufferARB(GL_ARRAY_BUFFER, s.vertexBuffers[0]);
        __glewBufferDataARB(GL_ARRAY_BUFFER, layout.totalBytes, nullptr, GL_DYNAMIC_DRAW);
        __glewBindBufferARB(GL_ELEMENT_ARRAY_BUFFER, s.vertexBuffers[1]);
        __glewBufferDataARB(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(mesh.indices.size() * sizeof(std::uint32_t)),
                            mesh.indices.data(), GL_DYNAMIC_DRAW);
    }
    __glewBindBufferARB(GL_ARRAY_BUFFER, s.vertexBuffers[0]);
    auto put = [](long long offset, const std::vector<float> &data) {
        __glewBufferSubDataARB(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(data.size() * sizeof(float)), data.data());
    };
    put(layout.vertices, mesh.vertices);
    put(layout.normals, mesh.normals);
    put(layout.colors, mesh.colors);
    put(layout.texCoords, mesh.texCoords);
    __glewBindBufferARB(GL_ARRAY_BUFFER, 0);
    doneCurrent();
}


void GLTerrain::setThumbnail(const QImage &image)
{
    if (!image.isNull()) {
        thumbnailTexture = uploadTexture(image, thumbnailTexture);
        return;
    }
    if (thumbnailTexture) {
        makeCurrent();
        glDeleteTextures(1, &thumbnailTexture);
        doneCurrent();
    }
    thumbnailTexture = 0;
}

void GLTerrain::setGLFocus() { setFocus(Qt::OtherFocusReason); }
void GLTerrain::focusTerrainGL() { setFocus(Qt::OtherFocusReason); }

void GLTerrain::setLightLabels(QLabel *pitch, QLabel *azimuth, QLabel *intensity)
{
    m_lightLabels[0] = pitch;
    m_lightLabels[1] = azimuth;
    m_lightLabels[2] = intensity;
}

void GLTerrain::initializeGL()
{
    initializeOpenGLFunctions();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    // The preview redraws continuously: other parts change what it shows and leave the frame to
    // this timer.
    if (!m_repaintTimer) {
        m_repaintTimer = new QTimer(this);
        connect(m_repaintTimer, &QTimer::timeout, this, [this] { update(); });
        m_repaintTimer->start(60);
    }
    glClearColor(192 / 255.0f, 220 / 255.0f, 252 / 255.0f, 1.0f);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    if (QWidget *top = window())
        if (auto *speed = top->findChild<QSlider *>(QStringLiteral("glCameraSpeedSlider")))
            cameraSpeed = float(speed->value());
    m_sky.updateSun();
    buildSkyDome(true);
    camera = {};
}

void GLTerrain::applyProjection(int w, int h)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(w) / double(std::max(1, h)), nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    m_appliedFarPlane = farPlane;
}

void GLTerrain::resizeGL(int w, int h)
{
    glViewport(0, 0, w, h);
    applyProjection(w, h);
}

void GLTerrain::paintGL()
{
    // A new terrain brings a new far plane.
    if (m_appliedFarPlane != farPlane) {
        const qreal ratio = devicePixelRatioF();
        applyProjection(int(width() * ratio), int(height() * ratio));
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    drawScene(0);
}

void GLTerrain::setupLights()
{
    glMaterialfv(GL_FRONT, GL_SPECULAR, materialSpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    const float diffuse[4] = {m_lightIntensity, m_lightIntensity, m_lightIntensity, 1.0f};
    for (GLenum light : {GL_LIGHT0, GL_LIGHT1}) {
        glLightfv(light, GL_AMBIENT, lightAmbient);
        glLightfv(light, GL_DIFFUSE, diffuse);
        glLightfv(light, GL_SPECULAR, lightSpecular);
        glLightfv(light, GL_POSITION, light == GL_LIGHT0 ? m_light0 : m_light1);
    }
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glDisable(GL_LIGHT1);
}

void GLTerrain::rotateLikeCamera()
{
    glRotatef(camera.roll, 0.0f, 0.0f, 1.0f);
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yaw, 0.0f, 1.0f, 0.0f);
}

void GLTerrain::drawScene(int pass)
{
    const orovista::ProgramState &s = orovista::state();
    // The frame uses the camera of the previous frame: a change shows one frame later.
    glTranslatef(-m_drawnCamera[0], -m_drawnCamera[1], -m_drawnCamera[2]);
    rotateLikeCamera();
    setupLights();
    m_drawnCamera[0] = float(camera.x);
    m_drawnCamera[1] = float(camera.y);
    m_drawnCamera[2] = float(camera.z);

    if (m_mode == orovista::SkyMode)
        drawSkyDome(m_drawnCamera[1], 1.0f);
    glInitNames();
    if (s.terrainPresent && m_mode != orovista::SkyMode && pass != 2)
        drawTerrain(pass);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    if (m_mode != orovista::SkyMode)
        drawItems(pass);
    glDepthMask(GL_TRUE);
    if (pass != 0)
        return;
    drawBrush();
    drawAxisGizmo();
    drawPropThumbnail();
}

void GLTerrain::drawItems(int pass)
{
    const orovista::ProgramState &s = orovista::state();
    const int count = int(s.items.size());
    for (int index : orovista::itemDrawOrder(count, m_selectedItem)) {
        const orovista::PaintedItem &item = s.items[std::size_t(index)];
        const bool selected = index + 1 == m_selectedItem;
        glPushMatrix();
        glDisable(GL_TEXTURE_2D);
        glTranslatef(item.x, item.y, item.z);
        glRotatef(float(item.zRot), 0.0f, 0.0f, 1.0f);
        glRotatef(float(item.xRot), 1.0f, 0.0f, 0.0f);
        glRotatef(float(item.yRot), 0.0f, 1.0f, 0.0f);
        glScalef(item.scaleX * orovista::itemUnitScale, item.scaleY * orovista::itemUnitScale,
                 item.scaleZ * orovista::itemUnitScale);
        const float colour[3] = {selected ? 1.0f : item.red, selected ? 0.0f : item.green, selected ? 0.0f : item.blue};
        glColor4f(colour[0], colour[1], colour[2], selected ? 0.85f : 1.0f);
        glPushName(GLuint(index + 1));
        if (lowDetailNavigation) {
            glDisable(GL_LIGHTING);
            glDepthMask(GL_TRUE);
            drawProxyBox(item, colour);
        } else {
            orovista::DepthWriteCase rule;
            rule.glMode = m_mode;
            rule.leftButtonDown = leftButtonDown;
            rule.selected = selected;
            rule.customTerrain = s.customTerrain;
            rule.itemStack = itemStack;
            if (const std::optional<bool> depth = orovista::itemDepthWrite(rule))
                glDepthMask(*depth ? GL_TRUE : GL_FALSE);
            glEnable(GL_LIGHTING);
            const bool modelLoaded = item.modelSlot >= 0 && std::size_t(item.modelSlot) < modelLists.size();
            if (pass != 1 && modelLoaded)
                glCallList(modelLists[std::size_t(item.modelSlot)]);
        }
        glPopName();
        glPopMatrix();
    }
}

void GLTerrain::drawProxyBox(const orovista::PaintedItem &item, const float colour[3])
{
    const auto faces = orovista::proxyBoxFaces(item);
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(colour[0], colour[1], colour[2], 0.45f);
    glBegin(GL_QUADS);
    for (const orovista::ProxyFace &face : faces) {
        glNormal3fv(face.normal.data());
        for (const auto &corner : face.corners)
            glVertex3fv(corner.data());
    }
    glEnd();
    glColor4f(colour[0], colour[1], colour[2], 0.75f);
    for (const orovista::ProxyFace &face : faces) {
        glBegin(GL_LINE_LOOP);
        for (const auto &corner : face.corners)
            glVertex3fv(corner.data());
        glEnd();
    }
    glDisable(GL_BLEND);
}

void GLTerrain::drawPropThumbnail()
{
    const orovista::ProgramState &s = orovista::state();
    if (m_mode != orovista::PaintMode || s.chosenProp.file.isEmpty())
        return;
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(11.0f, -12.0f, -30.0f);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_QUADS);
    glVertex3f(-0.05f, -0.05f, 0.0f);
    glVertex3f(1.05f, -0.05f, 0.0f);
    glVertex3f(1.05f, 1.05f, 0.0f);
    glVertex3f(-0.05f, 1.05f, 0.0f);
    glEnd();
    if (thumbnailTexture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, thumbnailTexture);
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    const float corners[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    for (const auto &c : corners) {
        glTexCoord2f(c[0], c[1]);
        glVertex3f(c[0], c[1], 0.0f);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

GLuint GLTerrain::shownTerrainTexture() const
{
    if (referenceShown && referenceTexture)
        return referenceTexture;
    if (maskShown && maskTexture)
        return maskTexture;
    return 0;
}

void GLTerrain::drawCustomTerrain()
{
    const orovista::ProgramState &s = orovista::state();
    if (!s.customTerrainList)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT);
    glDisable(GL_CULL_FACE);   // an imported mesh may wind its faces either way
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);    // the scale below scales the normals too
    if (const GLuint texture = shownTerrainTexture()) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        const GLMmodel *model = s.customModel.get();
        if (model && model->numtexcoords == 0) {
            // A mesh without texture coordinates gets the image laid over its bounds from
            // above, the way a generated terrain takes it: columns along x, rows along z. The
            // plane equations work on the list's own (unscaled) coordinates.
            const float k = s.customTerrainScale > 0.0f ? 100.0f / s.customTerrainScale : 1.0f;
            const float minX = model->bounds[0] * k, minZ = model->bounds[2] * k;
            const float width = std::max(1e-6f, (model->bounds[3] - model->bounds[0]) * k);
            const float depth = std::max(1e-6f, (model->bounds[5] - model->bounds[2]) * k);
            const float sPlane[4] = {1.0f / width, 0.0f, 0.0f, -minX / width};
            const float tPlane[4] = {0.0f, 0.0f, -1.0f / depth, 1.0f + minZ / depth};
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
            glTexGenfv(GL_S, GL_OBJECT_PLANE, sPlane);
            glTexGenfv(GL_T, GL_OBJECT_PLANE, tPlane);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
        }
    } else {
        glDisable(GL_TEXTURE_2D);
        glColor4f(0.7f, 0.7f, 0.7f, 1.0f);
    }
    glPushMatrix();
    const float scale = s.customTerrainScale / 100.0f;
    glScalef(scale, scale, scale);
    glPushName(0);
    glCallList(s.customTerrainList);
    glPopName();
    glPopMatrix();
    glPopAttrib();
}

void GLTerrain::drawTerrain(int)
{
    const orovista::ProgramState &s = orovista::state();
    if (s.customTerrain) {
        drawCustomTerrain();
        return;
    }
    const TerrainArrays &mesh = lowDetailNavigation ? s.decimatedMesh : s.fullMesh;
    if (mesh.isEmpty())
        return;
    // A reference or mask texture replaces the terrain's colours; the light still shades it.
    const GLuint texture = shownTerrainTexture();
    const bool textured = texture && mesh.texCoords.size() == 2 * std::size_t(mesh.vertexCount());
    glDisable(GL_CULL_FACE);
    glPushMatrix();
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    } else {
        glDisable(GL_TEXTURE_2D);
        glEnableClientState(GL_COLOR_ARRAY);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    const bool buffers = !lowDetailNavigation && s.vboSupported && s.vertexBuffers[0] && s.vertexBuffers[1];
    if (buffers) {
        // Positions, normals, colours and texture coordinates lie one block after another.
        const orovista::VertexBufferLayout layout = orovista::vertexBufferLayout(mesh.gridSize);
        glBindBuffer(GL_ARRAY_BUFFER, s.vertexBuffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.vertexBuffers[1]);
        glVertexPointer(3, GL_FLOAT, 0, reinterpret_cast<const void *>(layout.vertices));
        glNormalPointer(GL_FLOAT, 0, reinterpret_cast<const void *>(layout.normals));
        glColorPointer(3, GL_FLOAT, 0, reinterpret_cast<const void *>(layout.colors));
        glTexCoordPointer(2, GL_FLOAT, 0, reinterpret_cast<const void *>(layout.texCoords));
        glPushName(0);
        glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_INT, nullptr);
        glPopName();
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    } else {
        glVertexPointer(3, GL_FLOAT, 0, mesh.vertices.data());
        glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
        glColorPointer(3, GL_FLOAT, 0, mesh.colors.data());
        if (textured)
            glTexCoordPointer(2, GL_FLOAT, 0, mesh.texCoords.data());
        glPushName(0);
        glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_INT, mesh.indices.data());
        glPopName();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

void GLTerrain::drawBrush()
{
    const orovista::ProgramState &s = orovista::state();
    const bool wanted = (m_mode == orovista::TerrainMode && !altHeld) || (m_mode == orovista::PaintMode && shiftHeld);
    if (!brushOn || !wanted || s.customTerrain || !s.terrainPresent)
        return;
    // Looked up once: the brush is drawn every frame.
    if (!m_brushDiameter)
        m_brushDiameter = window()->findChild<QSlider *>(QStringLiteral("glEcoDiameterSlider"));
    QSlider *diameter = m_brushDiameter;
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glDepthMask(GL_FALSE);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.2f, 1.0f, 0.2f, 0.25f);
    glTranslatef(brushPosition[0], brushPosition[1], brushPosition[2]);
    GLUquadric *sphere = gluNewQuadric();
    gluSphere(sphere, (diameter ? diameter->value() : 10) * 0.5, 16, 16);
    gluDeleteQuadric(sphere);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glPopMatrix();
}

void GLTerrain::drawAxisGizmo()
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(-11.0f, -11.0f, -30.0f);
    rotateLikeCamera();
    glPointSize(6.0f);
    glLineWidth(2.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    struct Axis { float end[3]; float colour[3]; };
    const Axis axes[] = {{{0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}},
                         {{1.0f, 0.0f, 0.0f}, {0.2627451f, 0.7254902f, 0.2627451f}},
                         {{0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 1.0f}}};
    for (const Axis &a : axes) {
        glBegin(GL_LINES);
        glColor3f(1.0f, 1.0f, 1.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glColor3fv(a.colour);
        glVertex3fv(a.end);
        glEnd();
        glBegin(GL_POINTS);
        glVertex3fv(a.end);
        glEnd();
    }
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

// Navigation, item editing, painting, textures and sky controls: filled in with their features.
namespace {

/// The terrain size every camera step scales with.
int terrainScale() { return orovista::state().terrainSize; }

}   // namespace

void GLTerrain::keyPressEvent(QKeyEvent *event)
{
    const int S = terrainScale();
    switch (event->key()) {
    case Qt::Key_Shift: shiftHeld = true; break;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        altHeld = true;
        if (lowDetailFeature)
            lowDetailNavigation = true;
        break;
    case Qt::Key_Meta:
        if (lowDetailFeature)
            lowDetailNavigation = true;
        break;
    case Qt::Key_Delete: deleteCurrentObject(); break;
    // The tab's shortcuts do the same while the window is active; this is the viewport's own way.
    case Qt::Key_Z:
    case Qt::Key_Y:
        if (!(event->modifiers() & Qt::ControlModifier)) {
            QOpenGLWidget::keyPressEvent(event);
            return;
        }
        stepHistory(event->key() == Qt::Key_Y || (event->modifiers() & Qt::ShiftModifier));
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        wheelStep = std::max(1, int(S * 10 / 100.0));
        camera.z += event->key() == Qt::Key_PageUp ? -wheelStep : wheelStep;
        break;
    default: QOpenGLWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void GLTerrain::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Shift)
        shiftHeld = false;
    else if (event->key() == Qt::Key_Alt)
        altHeld = false;
    else {
        QOpenGLWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
}

void GLTerrain::wheelEvent(QWheelEvent *event)
{
    if (lowDetailFeature)
        lowDetailNavigation = true;
    const int d = event->angleDelta().y();
    const double f = shiftHeld ? 1.0 : 0.1;
    wheelStep = int(d * f * terrainScale() / 100.0);
    if (wheelStep == 0 && d != 0)
        wheelStep = d > 0 ? 1 : -1;
    camera.z += wheelStep;   // forward moves the eye away
    event->accept();
    m_wheelTicks = 0;
}

void GLTerrain::wheelTimeout()
{
    if (!altHeld)
        lowDetailNavigation = false;
    if (m_wheelTicks == 0)
        setFocus(Qt::OtherFocusReason);
    m_wheelTicks = (m_wheelTicks + 1) % 1000;
}

void GLTerrain::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || altHeld)
        return;
    leftButtonDown = true;
    const orovista::ProgramState &s = orovista::state();
    if (!s.terrainPresent)
        return;
    const QPoint p = event->position().toPoint();
    pickItem(p.x(), p.y());
    // A press and what follows until the release is one step of the history.
    endPressStep();
    m_pressMode = m_mode;
    if (m_mode == orovista::TerrainMode && !s.customTerrain) {
        history.beginStroke();
        sculptTerrain(p.x(), p.y());
    } else if (m_mode == orovista::PaintMode || m_mode == orovista::EditMode) {
        beginItemsStep();
        if (m_mode == orovista::PaintMode && !s.chosenProp.file.isEmpty())
            paintAt(p.x(), p.y(), shiftHeld);
    } else {
        m_pressMode = 0;
    }
}

void GLTerrain::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    leftButtonDown = false;
    endPressStep();
}

void GLTerrain::endPressStep()
{
    if (m_pressMode == orovista::TerrainMode)
        history.endStroke(orovista::state().fullMesh);
    else if (m_pressMode == orovista::PaintMode)
        endItemsStep("painting");
    else if (m_pressMode == orovista::EditMode)
        endItemsStep("item move");
    m_pressMode = 0;
}

void GLTerrain::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    const double dx = double(p.x() - m_lastMouse.x()) / std::max(1, width());
    const double dy = double(p.y() - m_lastMouse.y()) / std::max(1, height());
    // The painting spin boxes give the keys back to the viewport (looked up once: moves are many).
    const char *const boxNames[] = {"glEcoInstancesSpinBox", "ecoAngleRandomizationSpinBox", "ecoScaleRandomizationSpinBox"};
    for (int i = 0; i < 3; ++i) {
        if (!m_paintingBoxes[i])
            m_paintingBoxes[i] = window()->findChild<QSpinBox *>(QString::fromLatin1(boxNames[i]));
        if (m_paintingBoxes[i] && m_paintingBoxes[i]->hasFocus())
            m_paintingBoxes[i]->clearFocus();
    }
    const orovista::ProgramState &s = orovista::state();
    if (brushOn && s.terrainPresent
        && ((m_mode == orovista::TerrainMode && !altHeld) || (m_mode == orovista::PaintMode && shiftHeld)))
        trackBrush(p.x(), p.y());
    if ((event->buttons() & Qt::LeftButton) && !altHeld && s.terrainPresent) {
        if (m_mode == orovista::PaintMode && !s.chosenProp.file.isEmpty())
            paintAt(p.x(), p.y(), false, false);
        else if (m_mode == orovista::EditMode && m_selectedItem >= 1)
            dragSelectedItem(p.x(), p.y());
        else if (m_mode == orovista::TerrainMode && !s.customTerrain)
            sculptTerrain(p.x(), p.y());
    }
    if (altHeld) {
        // Fixed steps per event, whatever the distance moved; several buttons act together.
        const float v = cameraSpeed;
        const double k = terrainScale() / 200.0;
        const Qt::MouseButtons buttons = event->buttons();
        if (buttons & Qt::LeftButton) {
            camera.yaw += dx > 0 ? v : dx < 0 ? -v : 0.0f;
            camera.pitch += dy < 0 ? v : dy > 0 ? -v : 0.0f;
        }
        for (Qt::MouseButton pan : {Qt::MiddleButton, Qt::RightButton})
            if (buttons & pan) {
                camera.x += dx > 0 ? -v * k : dx < 0 ? v * k : 0.0;
                camera.y += dy > 0 ? v * k : dy < 0 ? -v * k : 0.0;
            }
    }
    m_lastMouse = p;
}


GLTerrain::DepthPoint GLTerrain::depthPick(int x, int y)
{
    // A fresh frame, so that the depth buffer shows the current camera and depth rules.
    updateGL();
    makeCurrent();
    GLdouble modelView[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const double ratio = devicePixelRatioF();
    const double wx = x * ratio, wy = viewport[3] - y * ratio;
    DepthPoint point;
    glReadPixels(GLint(wx), GLint(wy), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &point.depth);
    glReadPixels(GLint(wx), GLint(wy), 1, 1, GL_RGB, GL_FLOAT, point.colour);
    gluUnProject(wx, wy, point.depth, modelView, projection, viewport, &point.x, &point.y, &point.z);
    doneCurrent();
    return point;
}

void GLTerrain::trackBrush(int x, int y)
{
    const orovista::ProgramState &s = orovista::state();
    const DepthPoint p = depthPick(x, y);
    // On an imported mesh whatever the depth buffer holds in front of the background is ground.
    const bool onGround = s.customTerrain ? p.depth < 1.0f
                                          : orovista::terrainLookup(s.fullMesh, s.terrainSize, p.x, p.y, p.z).overTerrain;
    if (!onGround)
        return;
    brushPosition[0] = float(p.x);
    brushPosition[1] = float(p.y);
    brushPosition[2] = float(p.z);
}

void GLTerrain::showItemValues(const orovista::PaintedItem &item, bool withScales)
{
    auto set = [this](const char *name, int value) {
        if (auto *box = control<QSpinBox>(name))
            box->setValue(value);
    };
    set("glXRotCurrentSpinBox", item.xRot);
    set("glYRotCurrentSpinBox", item.yRot);
    set("glZRotCurrentSpinBox", item.zRot);
    if (withScales) {
        set("glscaleCurrentXSpinBox", int(item.scaleX));
        set("glscaleCurrentYSpinBox", int(item.scaleY));
        set("glscaleCurrentZSpinBox", int(item.scaleZ));
    }
    set("glYOffsetSpinBox", int(item.y));
}

void GLTerrain::pickItem(int x, int y)
{
    orovista::ProgramState &s = orovista::state();
    makeCurrent();
    // The pick looks through the projection the frames are drawn with (the viewport is not
    // always square: 802 × 760, or 802 × 560 on a small screen).
    const qreal ratio = devicePixelRatioF();
    GLint viewport[4] = {0, 0, GLint(width() * ratio), GLint(height() * ratio)};
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    GLuint buffer[64] = {};
    glSelectBuffer(64, buffer);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glRenderMode(GL_SELECT);
    glLoadIdentity();
    gluPickMatrix(x * ratio, viewport[3] - y * ratio, 1.0, 1.0, viewport);
    gluPerspective(45.0, double(viewport[2]) / double(std::max(1, viewport[3])), nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    drawScene(2);
    const GLint hits = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    doneCurrent();

    QFrame *editFrame = s.ui.editTransformFrame;
    if (hits > 0 && m_mode == orovista::EditMode) {
        // The record nearest the eye; depths compare as unsigned numbers over the whole range.
        GLuint nearest = 4294967295u;
        int picked = m_selectedItem;
        const GLuint *record = buffer;
        const GLuint *const end = buffer + 64;
        for (GLint h = 0; h < hits && record + 3 <= end; ++h) {
            const GLuint names = record[0];
            if (record + 3 + names > end)
                break;
            if (record[1] < nearest) {
                nearest = record[1];
                if (names == 1)
                    picked = int(record[3]);
            }
            record += 3 + names;
        }
        m_selectedItem = picked;
        if (m_selectedItem >= 1 && m_selectedItem <= int(s.items.size())) {
            if (editFrame)
                editFrame->show();
            showItemValues(s.items[std::size_t(m_selectedItem - 1)], true);
            if (s.ui.statusLine)
                s.ui.statusLine->setText(QStringLiteral("picked object #") + QString::number(m_selectedItem));
        } else if (editFrame) {
            editFrame->hide();
        }
        return;
    }
    if (s.ui.statusLine)
        s.ui.statusLine->clear();
    m_selectedItem = -1;
    if (editFrame)
        editFrame->hide();
}

void GLTerrain::dragSelectedItem(int x, int y)
{
    orovista::ProgramState &s = orovista::state();
    if (m_selectedItem < 1 || m_selectedItem > int(s.items.size()))
        return;
    // The selected item writes no depth while the button is down: the point lies behind it.
    const DepthPoint p = depthPick(x, y);
    orovista::PaintedItem &item = s.items[std::size_t(m_selectedItem - 1)];
    if (s.customTerrain) {
        // Off the mesh (the background under the pointer) the item stays where it was.
        if (p.depth < 1.0f) {
            item.x = float(p.x);
            item.y = float(p.y);
            item.z = float(p.z);
        }
        showItemValues(item, false);
        return;
    }
    item.x = float(p.x);
    item.z = float(p.z);
    const auto *perp = s.ui.glPerpVsNormalSlider.data();
    const double b = (perp ? perp->value() : 0) / 100.0;
    constexpr double pi = 3.141592653589793;
    {
        const orovista::TerrainHit hit = orovista::terrainLookup(s.fullMesh, s.terrainSize, p.x, p.y, p.z);
        if (hit.overTerrain) {
            item.xRot = int(std::asin(hit.normal[2]) * b * 180.0 / pi);
            item.zRot = int(-std::asin(hit.normal[0]) * b * 180.0 / pi);
            item.y = itemStack ? float(p.y) : hit.height;
        }
    }
    showItemValues(item, false);
}

void GLTerrain::sculptTerrain(int x, int y)
{
    orovista::ProgramState &s = orovista::state();
    if (s.customTerrain || s.fullMesh.isEmpty())
        return;
    const DepthPoint p = depthPick(x, y);
    const orovista::TerrainHit hit = orovista::terrainLookup(s.fullMesh, s.terrainSize, p.x, p.y, p.z);
    orovista::SculptSettings settings;
    if (auto *k = control<QSpinBox>("glBrushStrengthSpinBox"))
        settings.strength = k->value();
    if (QSlider *perp = s.ui.glPerpVsNormalSlider)
        settings.blendPercent = perp->value();
    if (auto *d = control<QSlider>("glEcoDiameterSlider"))
        settings.brushDiameter = d->value();
    if (auto *low = control<QSpinBox>("FFTerrainElevationLowSpinBox"))
        settings.floor = low->value();
    settings.terrainSize = s.terrainSize;
    settings.paintBelowZero = paintBelowZero;
    settings.lower = shiftHeld;
    history.sculptStepAt(s.fullMesh, orovista::sculptRegion(s.fullMesh.gridSize, hit, settings));
    orovista::sculptStep(s.fullMesh, hit, settings);
    terrainEdited();
}

void GLTerrain::terrainEdited()
{
    orovista::ProgramState &s = orovista::state();
    if (s.vboSupported && s.vertexBuffers[0] && context()) {
        makeCurrent();
        const orovista::VertexBufferLayout layout = orovista::vertexBufferLayout(s.fullMesh.gridSize);
        __glewBindBufferARB(GL_ARRAY_BUFFER, s.vertexBuffers[0]);
        __glewBufferSubDataARB(GL_ARRAY_BUFFER, GLintptr(layout.vertices),
                               GLsizeiptr(s.fullMesh.vertices.size() * sizeof(float)), s.fullMesh.vertices.data());
        __glewBufferSubDataARB(GL_ARRAY_BUFFER, GLintptr(layout.normals),
                               GLsizeiptr(s.fullMesh.normals.size() * sizeof(float)), s.fullMesh.normals.data());
        __glewBindBufferARB(GL_ARRAY_BUFFER, 0);
        doneCurrent();
    }
    orovista::refreshDecimatedFromFull(s.fullMesh, s.decimatedMesh);
}

void GLTerrain::glCameraSpeedSliderReleased(int v)
{
    cameraSpeed = float(v);
    if (QWidget *top = window())
        if (auto *label = top->findChild<QLabel *>(QStringLiteral("glCameraSpeedLabel")))
            label->setText(QStringLiteral("camera speed: ") + QString::number(v));
    setFocus(Qt::OtherFocusReason);
}
void GLTerrain::toggle(bool &flag, const char *buttonName, const char *icon)
{
    flag = !flag;
    QWidget *top = window();
    auto *button = top ? top->findChild<QPushButton *>(QString::fromLatin1(buttonName)) : nullptr;
    if (!button)
        return;
    const QString file = QString::fromLatin1(icon) + (flag ? QStringLiteral("_on.png") : QStringLiteral(".png"));
    button->setStyleSheet(orovista::style::toolButton(
        button->objectName(), orovista::state().pluginsPathNative + QStringLiteral("/orovistaData/resources/") + file));
}

void GLTerrain::setPaintBelowZero() { toggle(paintBelowZero, "glDeformBelowZeroButton", "tool_below0"); }
void GLTerrain::setItemStack() { toggle(itemStack, "glItemStackButton", "tool_stack"); }
void GLTerrain::switchBoundingAll() { toggle(lowDetailFeature, "glEnableBoundingBoxFeatureButton", "tool_bounding_all"); }

namespace {
/// The folder of the last image chosen for a terrain texture; the next dialog starts there.
QString lastTextureFolder;

}   // namespace

QImage GLTerrain::chooseTextureImage()
{
    const QString path = orovista::dialogs::openFile(this, QStringLiteral("Open image"), lastTextureFolder,
                                                     QStringLiteral("Images (*.jpg *.bmp)"));
    if (path.isEmpty()) {
        orovista::dialogs::error(this, QStringLiteral("no image selected"));
        return {};
    }
    lastTextureFolder = QFileInfo(path).absolutePath();
    const QImage image(path);
    if (image.isNull())
        orovista::dialogs::error(this, QStringLiteral("cannot read image ") + path);
    return image;
}

GLuint GLTerrain::uploadTexture(const QImage &image, GLuint replaced)
{
    makeCurrent();
    if (replaced)
        glDeleteTextures(1, &replaced);
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888).mirrored();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rgba.width(), rgba.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.constBits());
    glBindTexture(GL_TEXTURE_2D, 0);
    doneCurrent();
    return texture;
}

void GLTerrain::loadReferenceTerrainTexture()
{
    const QImage image = chooseTextureImage();
    if (image.isNull())
        return;
    referenceTexture = uploadTexture(image, referenceTexture);
    if (auto *box = control<QCheckBox>("referenceTextureOnOffCheckBox"))
        box->setChecked(true);
    orovista::showStatus(QStringLiteral("reference texture loaded"));
    update();
}

void GLTerrain::setReferenceTextureOnOffCheckBox(int state) { referenceShown = state != 0; }

void GLTerrain::loadMaskTerrainTexture()
{
    const QImage image = chooseTextureImage();
    if (image.isNull())
        return;
    maskImage = image;
    maskTexture = uploadTexture(image, maskTexture);
    if (auto *box = control<QCheckBox>("maskTextureOnOffCheckBox"))
        box->setChecked(true);
    if (auto *box = control<QCheckBox>("maskTextureDisplayOnOffCheckBox"))
        box->setChecked(true);
    orovista::showStatus(QStringLiteral("mask texture loaded, width:") + QString::number(maskImage.width()));
    update();
}

void GLTerrain::setmaskTextureDisplayOnOffCheckBox(int state)
{
    maskShown = state != 0;
    // On an imported mesh the mask acts through the colour drawn under the pointer.
    if (!maskShown && orovista::state().customTerrain && maskInfluence)
        orovista::dialogs::error(this,
                                 QStringLiteral("Hiding the mask when using a .obj file will actually disable the mask itself!"));
}

void GLTerrain::setMaskTextureOnOffCheckBox(int state) { maskInfluence = state != 0; }
void GLTerrain::buildSkyDome(bool newStars)
{
    if (newStars)
        m_starSeed = std::uint32_t(orovista::random::next());
    m_dome.build(m_sky, orovista::state().terrainSize * 0.5f, newStars, orovista::sky::seededRandom(m_starSeed));
}

void GLTerrain::setStarSeed(std::uint32_t seed)
{
    m_starSeed = seed;
    m_dome.build(m_sky, orovista::state().terrainSize * 0.5f, true, orovista::sky::seededRandom(m_starSeed));
}

void GLTerrain::skySliderMoved(orovista::sky::SkySlider slider, int value)
{
    using namespace orovista::sky;
    setSlider(m_sky, slider, value);
    const SkySliderInfo &info = skySliderInfo(slider);
    const QString text = sliderLabel(slider, value);
    if (QWidget *top = window(); top && !text.isEmpty())
        if (auto *label = top->findChild<QLabel *>(QString::fromLatin1(info.objectName) + QStringLiteral("Label")))
            label->setText(text);
    m_sky.updateSun();
    buildSkyDome(slider == SkySlider::StarPopulation);
}

void GLTerrain::glSunPitchSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::SunPitch, v); }
void GLTerrain::glSunAzimuthSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::SunAzimuth, v); }
void GLTerrain::glrSkyMxSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::RedGain, v); }
void GLTerrain::glgSkyMxSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::GreenGain, v); }
void GLTerrain::glbSkyMxSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::BlueGain, v); }
void GLTerrain::TurbiditySliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::Turbidity, v); }
void GLTerrain::glHorizonBrightnessSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::HorizonBrightness, v); }
void GLTerrain::glHorizonLuminanceGradientSliderReleased(int v)
{
    skySliderMoved(orovista::sky::SkySlider::HorizonLuminanceGradient, v);
}
void GLTerrain::glSolarRegionIntensitySliderReleased(int v)
{
    skySliderMoved(orovista::sky::SkySlider::SolarRegionIntensity, v);
}
void GLTerrain::glSolarRegionWidthSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::SolarRegionWidth, v); }
void GLTerrain::glBackscatterLightSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::BackscatterLight, v); }
void GLTerrain::glStarIntensitySliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::StarIntensity, v); }
void GLTerrain::glStarPopulationSliderReleased(int v) { skySliderMoved(orovista::sky::SkySlider::StarPopulation, v); }

void GLTerrain::glSkyResetButtonClicked()
{
    using namespace orovista::sky;
    m_sky = SkyParameters::resetValues();
    if (QWidget *top = window())
        for (const SkySliderInfo &info : skySliders()) {
            const QString name = QString::fromLatin1(info.objectName);
            if (auto *slider = top->findChild<QSlider *>(name)) {
                const QSignalBlocker quiet(slider);
                slider->setValue(info.resetValue);
            }
            const QString text = sliderResetLabel(info.slider);
            if (auto *label = top->findChild<QLabel *>(name + QStringLiteral("Label")); label && !text.isEmpty())
                label->setText(text);
        }
    buildSkyDome(true);
}

void GLTerrain::drawSkyDome(float cameraHeight, float alpha)
{
    using orovista::sky::domeResolution;
    const orovista::sky::SkyDome &d = m_dome;
    if (d.x().empty())
        return;
    glDepthMask(GL_TRUE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    float brightness[domeResolution];
    for (int ring = 0; ring < domeResolution; ++ring)
        brightness[ring] = d.ringBrightness(ring, cameraHeight);
    auto vertex = [&](int ring, int column) {
        const int i = orovista::sky::SkyDome::index(ring, column % domeResolution);
        const float b = brightness[ring];
        glColor4f(d.red()[i] * b, d.green()[i] * b, d.blue()[i] * b, alpha);
        glVertex3f(d.x()[i], d.y()[i], d.z()[i]);
    };
    // The last ring lies just above the nadir: a fan closes the dome there.
    glBegin(GL_TRIANGLE_FAN);
    {
        const int last = domeResolution - 1;
        const float b = brightness[last];
        const int i = orovista::sky::SkyDome::index(last, 0);
        glColor4f(d.red()[i] * b, d.green()[i] * b, d.blue()[i] * b, alpha);
        glVertex3f(0.0f, -d.radius(), 0.0f);
        for (int column = 0; column <= domeResolution; ++column)
            vertex(last, column);
    }
    glEnd();
    for (int ring = 0; ring + 1 < domeResolution; ++ring) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int column = 0; column <= domeResolution; ++column) {
            vertex(ring, column);
            vertex(ring + 1, column);
        }
        glEnd();
    }
    if (m_sky.showsStars()) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glPointSize(0.25f);
        glColor4f(1.0f, 1.0f, 1.0f, m_sky.starIntensity / 100.0f);
        glBegin(GL_POINTS);
        for (const orovista::sky::Star &star : d.stars())
            glVertex3f(star.x, star.y, star.z);
        glEnd();
        glDisable(GL_BLEND);
    }
}
void GLTerrain::glLightPitchSliderReleased(int p)
{
    m_light0[1] = m_light1[1] = std::sin(p * degree);
    if (m_lightLabels[0])
        m_lightLabels[0]->setText(QStringLiteral("openGL light pitch: ") + QString::number(p) + degreeSign);
    setFocus(Qt::OtherFocusReason);
}

void GLTerrain::glLightAzimuthSliderReleased(int a)
{
    m_light0[0] = std::sin(a * degree);
    m_light0[2] = std::cos(a * degree);
    if (m_lightLabels[1])
        m_lightLabels[1]->setText(QStringLiteral("openGL light azimuth: ") + QString::number(a) + degreeSign);
    setFocus(Qt::OtherFocusReason);
}

void GLTerrain::glLightIntensitySliderReleased(int value)
{
    m_lightIntensity = value * 0.01f;
    if (m_lightLabels[2])
        m_lightLabels[2]->setText(QStringLiteral("openGL light intensity: ") + QString::number(value) + QStringLiteral("%"));
    setFocus(Qt::OtherFocusReason);
}

