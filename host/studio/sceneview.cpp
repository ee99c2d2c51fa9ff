#include "sceneview.h"
#include "dzapp.h"
#include "dzcamera.h"
#include "dzlight.h"
#include "dzimagemgr.h"
#include "dzmainwindow.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLTexture>
#include <QSurfaceFormat>
#include <QWheelEvent>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {

constexpr float kOrbitFov = 45.0f;     // vertical field of view of the orbit camera
constexpr int kTextureLimit = 2048;    // colour maps are scaled down to this many pixels at most

// One vertex of a mesh buffer: position, normal, texture coordinates.
struct Vertex {
    float p[3];
    float n[3];
    float t[2];
};

struct CornerKey {
    int v, uv, n;
    bool operator==(const CornerKey &o) const { return v == o.v && uv == o.uv && n == o.n; }
};
struct CornerHash {
    size_t operator()(const CornerKey &k) const
    {
        return size_t(k.v) * 0x9E3779B97F4A7C15ull ^ size_t(k.uv) * 0xC2B2AE3D27D4EB4Full ^ size_t(k.n + 1);
    }
};

QVector3D toQ(const DzVec3 &v) { return {v.m_x, v.m_y, v.m_z}; }

// The world-space bounds of a local box under a transform.
SceneBounds transformedBox(const QMatrix4x4 &m, const QVector3D &lo, const QVector3D &hi)
{
    SceneBounds b;
    for (int i = 0; i < 8; ++i)
        b.add(m.map(QVector3D(i & 1 ? hi.x() : lo.x(), i & 2 ? hi.y() : lo.y(), i & 4 ? hi.z() : lo.z())));
    return b;
}

float distanceToBox(const QVector3D &p, const SceneBounds &b)
{
    const QVector3D d(std::max({b.min.x() - p.x(), 0.0f, p.x() - b.max.x()}),
                      std::max({b.min.y() - p.y(), 0.0f, p.y() - b.max.y()}),
                      std::max({b.min.z() - p.z(), 0.0f, p.z() - b.max.z()}));
    return d.length();
}

float farthestCorner(const QVector3D &p, const SceneBounds &b)
{
    float far = 0.0f;
    for (int i = 0; i < 8; ++i)
        far = std::max(far, (QVector3D(i & 1 ? b.max.x() : b.min.x(), i & 2 ? b.max.y() : b.min.y(),
                                       i & 4 ? b.max.z() : b.min.z()) - p).length());
    return far;
}

bool nodeVisible(const DzNode *node)
{
    const DzBoolProperty *visible = node->getVisibilityControl();
    return !visible || visible->getBoolValue();
}

} // namespace

// --- SceneBounds --------------------------------------------------------------------------

void SceneBounds::add(const QVector3D &p)
{
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || !std::isfinite(p.z()))
        return;
    if (!valid) {
        min = max = p;
        valid = true;
        return;
    }
    min = QVector3D(std::min(min.x(), p.x()), std::min(min.y(), p.y()), std::min(min.z(), p.z()));
    max = QVector3D(std::max(max.x(), p.x()), std::max(max.y(), p.y()), std::max(max.z(), p.z()));
}

void SceneBounds::add(const SceneBounds &b)
{
    if (b.valid) {
        add(b.min);
        add(b.max);
    }
}

// --- Mesh buffers -------------------------------------------------------------------------

struct SceneView::MeshBuffers {
    QOpenGLBuffer vertices{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer indices{QOpenGLBuffer::IndexBuffer};
    struct Range {
        int materialGroup;
        int first;   // index of the first index
        int count;
    };
    std::vector<Range> ranges;
    bool hasUVs = false;
    QVector3D min, max;   // local bounds
    bool hasBounds = false;
};

// --- SceneView ----------------------------------------------------------------------------

SceneView::SceneView(Dz3DViewport *viewport, DzScene *scene, QWidget *parent)
    : QOpenGLWidget(parent), m_viewport(viewport), m_scene(scene)
{
    setObjectName(QStringLiteral("sceneView"));
    setMinimumSize(160, 120);
    setFocusPolicy(Qt::StrongFocus);
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setSamples(4);
    setFormat(format);

    if (viewport) {
        connect(viewport, &Dz3DViewport::activeCameraChanged, this, [this](DzCamera *camera) {
            if (camera)
                watchNode(camera);   // a camera outside the scene still moves the view
            update();
        });
        connect(viewport, &Dz3DViewport::shadeStyleChanged, this, qOverload<>(&QWidget::update));
        if (viewport->getCamera())
            watchNode(viewport->getCamera());
    }
    if (scene) {
        connect(scene, &DzScene::nodeAdded, this, [this](DzNode *node) {
            watchNode(node);
            sceneChanged();
        });
        connect(scene, &DzScene::nodeRemoved, this, &SceneView::sceneChanged);
        for (int i = 0; i < scene->getNumNodes(); ++i)
            watchNode(scene->getNode(i));
    }
    if (dzApp && dzApp->getImageMgr())
        connect(dzApp->getImageMgr(), &DzImageMgr::imagesRefreshed, this, &SceneView::dropTextures);
}

SceneView::~SceneView()
{
    // The base class destroys the context after this object's members are gone.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
    if (m_glReady && context()) {
        makeCurrent();
        cleanup();
        doneCurrent();
    }
}

void SceneView::contextGoing()
{
    makeCurrent();
    cleanup();
    doneCurrent();
}

void SceneView::cleanup()
{
    // Runs with the context current.
    m_meshes.clear();
    m_meshTrash.clear();
    for (const CachedTexture &t : std::as_const(m_textures))
        delete t.texture;
    m_textures.clear();
    for (QOpenGLTexture *t : m_textureTrash)
        delete t;
    m_textureTrash.clear();
    m_glReady = false;
}

int SceneView::textureCount() const
{
    int n = 0;
    for (const CachedTexture &t : m_textures)
        n += t.texture ? 1 : 0;
    return n;
}

QSize SceneView::loadedTextureSize(const QString &file) const
{
    const QOpenGLTexture *t = m_textures.value(file).texture;
    return t ? QSize(t->width(), t->height()) : QSize();
}

// --- Following the scene ------------------------------------------------------------------

void SceneView::watchNode(DzNode *node)
{
    if (!node)
        return;
    // Transforms, visibility and a camera's field of view all repaint.
    for (int i = 0; i < node->getNumProperties(); ++i)
        connect(node->getProperty(i), &DzProperty::currentValueChanged, this, qOverload<>(&QWidget::update),
                Qt::UniqueConnection);
    connect(node, &DzNode::objectChanged, this, &SceneView::objectChanged, Qt::UniqueConnection);
    connect(node, &DzNode::childAdded, this, qOverload<>(&QWidget::update), Qt::UniqueConnection);
    connect(node, &DzNode::childRemoved, this, qOverload<>(&QWidget::update), Qt::UniqueConnection);
    watchShapes(node);
}

void SceneView::watchShapes(DzNode *node)
{
    const DzObject *object = node->getObject();
    if (!object)
        return;
    for (int s = 0; s < object->getNumShapes(); ++s) {
        DzShape *shape = object->getShape(s);
        connect(shape, &DzShape::materialListChanged, this, &SceneView::materialListChanged, Qt::UniqueConnection);
        for (int m = 0; m < shape->getNumMaterials(); ++m)
            watchMaterial(shape->getMaterial(m));
    }
}

void SceneView::watchMaterial(DzMaterial *material)
{
    if (!material || m_watchedMaterials.contains(material))
        return;
    m_watchedMaterials.insert(material);
    connect(material, &DzMaterial::materialChanged, this, qOverload<>(&QWidget::update));
    connect(material, &QObject::destroyed, this, [this, material] { m_watchedMaterials.remove(material); });
    // The properties of a brick material's bricks (an image brick's map) change the look too.
    if (const auto *bricks = qobject_cast<const DzBrickMaterial *>(material))
        for (int b = 0; b < bricks->getNumBricks(); ++b) {
            const DzShaderBrick *brick = bricks->getBrick(b);
            for (int i = 0; i < brick->getNumProperties(); ++i)
                connect(brick->getProperty(i), &DzProperty::currentValueChanged, this,
                        qOverload<>(&QWidget::update), Qt::UniqueConnection);
        }
}

void SceneView::objectChanged()
{
    if (auto *node = qobject_cast<DzNode *>(sender()))
        watchShapes(node);
    sceneChanged();
}

void SceneView::materialListChanged()
{
    if (const auto *shape = qobject_cast<const DzShape *>(sender()))
        for (int m = 0; m < shape->getNumMaterials(); ++m)
            watchMaterial(shape->getMaterial(m));
    update();
}

void SceneView::meshDestroyed(QObject *mesh)
{
    const auto it = m_meshes.find(static_cast<const DzFacetMesh *>(mesh));
    if (it == m_meshes.end())
        return;
    m_meshTrash.push_back(std::move(it->second));
    m_meshes.erase(it);
    update();
}

void SceneView::sceneChanged()
{
    m_needsGarbageCollection = true;
    update();
}

void SceneView::dropTextures()
{
    for (const CachedTexture &t : std::as_const(m_textures))
        if (t.texture)
            m_textureTrash.push_back(t.texture);
    m_textures.clear();
    update();
}

// --- Materials ----------------------------------------------------------------------------

SceneView::Look SceneView::lookOf(const DzMaterial *material)
{
    Look look;
    if (!material)
        return look;
    look.color = material->getDiffuseColor();
    look.map = material->getColorMap();
    if (const auto *bricks = qobject_cast<const DzBrickMaterial *>(material)) {
        // The colour comes from the network's colour image brick.
        for (int b = 0; b < bricks->getNumBricks(); ++b) {
            const auto *image = qobject_cast<const DzImageBrick *>(bricks->getBrick(b));
            if (!image)
                continue;
            const auto *type = qobject_cast<const DzStringProperty *>(image->findProperty(QStringLiteral("type")));
            if (type && !type->getValue().isEmpty() && type->getValue() != QLatin1String("color"))
                continue;
            const DzBrickParam *param = image->findParameterByArg(QStringLiteral("color"));
            const auto *color = param ? qobject_cast<const DzColorProperty *>(param->getProperty()) : nullptr;
            if (!color)
                continue;
            look.color = color->getColorValue();
            if (color->getMapValue())
                look.map = color->getMapValue();
            break;
        }
    } else if (const auto *plain = qobject_cast<const DzDefaultMaterial *>(material)) {
        if (plain->getDiffuseStrength() <= 0.0f && plain->getAmbientStrength() > 0.0f) {
            // No diffuse light, only its own ambient colour: a self-lit surface such as a sky.
            look.unlit = true;
            look.map = plain->getAmbientColorMap();
            QColor c = plain->getAmbientColor();
            if (look.map && c.red() == 0 && c.green() == 0 && c.blue() == 0)
                c = Qt::white;   // the map alone gives the colour
            const float s = std::clamp(plain->getAmbientStrength(), 0.0f, 1.0f);
            look.color = QColor::fromRgbF(float(c.redF()) * s, float(c.greenF()) * s, float(c.blueF()) * s);
        }
    }
    return look;
}

bool SceneView::isBackdrop(const DzShape *shape)
{
    if (!shape || shape->getNumMaterials() == 0)
        return false;
    for (int i = 0; i < shape->getNumMaterials(); ++i)
        if (!lookOf(shape->getMaterial(i)).unlit)
            return false;
    return true;
}

DzFacetMesh *SceneView::meshOf(const DzNode *node, DzShape **shapeOut)
{
    const DzObject *object = node ? node->getObject() : nullptr;
    DzShape *shape = object ? object->getCurrentShape() : nullptr;
    auto *mesh = shape ? qobject_cast<DzFacetMesh *>(shape->getGeometry()) : nullptr;
    if (shapeOut)
        *shapeOut = shape;
    return mesh && mesh->getNumFacets() > 0 ? mesh : nullptr;
}

// --- Cameras and bounds -------------------------------------------------------------------

SceneBounds SceneView::sceneBounds(bool withBackdrops) const
{
    SceneBounds bounds;
    if (!m_scene)
        return bounds;
    for (int i = 0; i < m_scene->getNumNodes(); ++i) {
        const DzNode *node = m_scene->getNode(i);
        DzShape *shape = nullptr;
        const DzFacetMesh *mesh = meshOf(node, &shape);
        if (!mesh || !nodeVisible(node) || (!withBackdrops && isBackdrop(shape)))
            continue;
        QVector3D lo, hi;
        if (!localBounds(mesh, lo, hi))
            continue;
        bounds.add(transformedBox(node->getWSTransform(), lo, hi));
    }
    return bounds;
}

bool SceneView::localBounds(const DzFacetMesh *mesh, QVector3D &lo, QVector3D &hi) const
{
    // Kept with the mesh's buffers once they exist; worked out from the vertices before.
    const auto it = m_meshes.find(mesh);
    if (it != m_meshes.end()) {
        lo = it->second->min;
        hi = it->second->max;
        return it->second->hasBounds;
    }
    DzVec3 a, b;
    if (!mesh->getBoundingBox(a, b))
        return false;
    lo = toQ(a);
    hi = toQ(b);
    return true;
}

float SceneView::aspect() const
{
    return height() > 0 ? float(width()) / float(height()) : 1.0f;
}

float SceneView::verticalFov() const
{
    const DzCamera *camera = m_viewport ? m_viewport->getCamera() : nullptr;
    return camera ? std::clamp(camera->getFieldOfView(), 1.0f, 179.0f) : kOrbitFov;
}

QVector3D SceneView::Orbit::eye() const
{
    const float yawR = qDegreesToRadians(yaw), pitchR = qDegreesToRadians(pitch);
    // Looking along -Z at yaw 0; pitch below 0 looks down.
    const QVector3D back(std::sin(yawR) * std::cos(pitchR), -std::sin(pitchR), std::cos(yawR) * std::cos(pitchR));
    return target + back * distance;
}

QMatrix4x4 SceneView::Orbit::viewMatrix() const
{
    QMatrix4x4 view;
    view.lookAt(eye(), target, QVector3D(0, 1, 0));
    return view;
}

SceneView::Orbit SceneView::orbit() const
{
    Orbit o = m_orbit;
    if (!m_followScene)
        return o;
    SceneBounds bounds = sceneBounds(false);
    if (!bounds.valid)
        bounds = sceneBounds(true);
    if (!bounds.valid) {
        o.target = QVector3D(0, 0, 0);
        o.distance = 500.0f;
        return o;
    }
    // Far enough for the bounding sphere to fit the narrower of the two fields of view.
    const float halfV = qDegreesToRadians(kOrbitFov * 0.5f);
    const float halfH = std::atan(std::tan(halfV) * aspect());
    const float radius = std::max(bounds.radius(), 1.0f);
    o.target = bounds.center();
    o.distance = radius / std::sin(std::min(halfV, halfH)) * 1.05f;
    return o;
}

bool SceneView::cameraViewMatrix(QMatrix4x4 &view) const
{
    const DzCamera *camera = m_viewport ? m_viewport->getCamera() : nullptr;
    if (!camera)
        return false;
    bool invertible = false;
    view = camera->getWSTransform().inverted(&invertible);
    return invertible;
}

QMatrix4x4 SceneView::viewMatrix() const
{
    QMatrix4x4 view;
    if (cameraViewMatrix(view))
        return view;
    return orbit().viewMatrix();
}

void SceneView::clipRange(float &nearPlane, float &farPlane) const
{
    const QVector3D eye = viewMatrix().inverted().map(QVector3D(0, 0, 0));
    float nearest = std::numeric_limits<float>::max(), farthest = 0.0f;
    if (m_scene)
        for (int i = 0; i < m_scene->getNumNodes(); ++i) {
            const DzNode *node = m_scene->getNode(i);
            DzShape *shape = nullptr;
            const DzFacetMesh *mesh = meshOf(node, &shape);
            QVector3D lo, hi;
            if (!mesh || !nodeVisible(node) || !localBounds(mesh, lo, hi))
                continue;
            const SceneBounds box = transformedBox(node->getWSTransform(), lo, hi);
            if (!box.valid)
                continue;
            farthest = std::max(farthest, farthestCorner(eye, box));
            const float d = distanceToBox(eye, box);
            // Seen from inside, a backdrop (a sky dome round the scene) is far away by its
            // nature and leaves the near plane to the rest; anything else may have a surface
            // right next to the eye.
            if (d <= 0.0f && isBackdrop(shape))
                continue;
            nearest = std::min(nearest, d);
        }
    if (farthest <= 0.0f) {
        // Nothing to see: room for a few metres around the eye.
        nearPlane = 1.0f;
        farPlane = 100000.0f;
        return;
    }
    farPlane = farthest * 1.02f + 1.0f;
    // Half the distance to the nearest box (whose points may lie at a slant), but never so close
    // that the depth buffer has no precision left for the far end.
    if (nearest == std::numeric_limits<float>::max())
        nearest = 0.0f;   // only backdrops round the eye
    nearPlane = std::max(nearest * 0.5f, farPlane * 1.0e-5f);
    nearPlane = std::min(nearPlane, farPlane * 0.5f);
}

QMatrix4x4 SceneView::projectionMatrix() const
{
    float nearPlane = 1.0f, farPlane = 1000.0f;
    clipRange(nearPlane, farPlane);
    QMatrix4x4 projection;
    projection.perspective(verticalFov(), aspect(), nearPlane, farPlane);
    return projection;
}

void SceneView::frameScene()
{
    m_followScene = true;
    update();
}

void SceneView::stopFollowing()
{
    if (m_followScene) {
        m_orbit = orbit();
        m_followScene = false;
    }
}

// --- GL resources -------------------------------------------------------------------------

void SceneView::initializeGL()
{
    initializeOpenGLFunctions();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    m_maxTextureSize = maxSize > 0 ? std::min<int>(kTextureLimit, maxSize) : kTextureLimit;
    // Buffers of an earlier context are gone with it.
    m_meshes.clear();
    m_meshTrash.clear();
    m_textures.clear();
    m_textureTrash.clear();
    m_glReady = true;
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &SceneView::contextGoing, Qt::UniqueConnection);
}

SceneView::MeshBuffers *SceneView::buffersFor(DzFacetMesh *mesh)
{
    const auto found = m_meshes.find(mesh);
    if (found != m_meshes.end())
        return found->second.get();

    auto buffers = std::make_unique<MeshBuffers>();
    const QVector<DzVec3> &positions = mesh->getVertices();
    const QVector<DzFacet> &facets = mesh->getFacets();

    // Smooth normals: area-weighted face normals summed at each position (used where the mesh
    // gives none of its own).
    std::vector<QVector3D> smooth(size_t(positions.size()), QVector3D());
    for (const DzFacet &f : facets) {
        const QVector3D a = toQ(positions[f.m_vertIdx[0]]), b = toQ(positions[f.m_vertIdx[1]]),
                        c = toQ(positions[f.m_vertIdx[2]]);
        QVector3D n = QVector3D::crossProduct(b - a, c - a);
        if (f.isQuad())
            n += QVector3D::crossProduct(c - a, toQ(positions[f.m_vertIdx[3]]) - a);
        for (int k = 0; k < f.getNumVertices(); ++k)
            smooth[size_t(f.m_vertIdx[k])] += n;
    }
    for (QVector3D &n : smooth)
        n = n.lengthSquared() > 0.0f ? n.normalized() : QVector3D(0, 1, 0);

    // One buffer vertex per distinct (position, uv, normal) corner.
    std::vector<Vertex> vertices;
    vertices.reserve(size_t(positions.size()));
    std::unordered_map<CornerKey, uint32_t, CornerHash> corners;
    corners.reserve(size_t(positions.size()) * 2);
    const int groups = std::max(1, mesh->getNumMaterialGroups());
    std::vector<std::vector<uint32_t>> triangles(static_cast<size_t>(groups));
    bool anyUV = false;
    for (const DzFacet &f : facets) {
        uint32_t idx[4];
        for (int k = 0; k < f.getNumVertices(); ++k) {
            const CornerKey key{f.m_vertIdx[k], f.m_uvwIdx[k], f.m_normIdx[k]};
            auto [it, inserted] = corners.try_emplace(key, uint32_t(vertices.size()));
            if (inserted) {
                Vertex v{};
                const DzVec3 &p = positions[key.v];
                v.p[0] = p.m_x; v.p[1] = p.m_y; v.p[2] = p.m_z;
                QVector3D n = smooth[size_t(key.v)];
                if (key.n >= 0) {
                    const QVector3D given = toQ(mesh->getNormal(key.n));
                    if (given.lengthSquared() > 0.0f)
                        n = given.normalized();
                }
                v.n[0] = n.x(); v.n[1] = n.y(); v.n[2] = n.z();
                if (key.uv >= 0) {
                    const QPointF uv = mesh->getUV(key.uv);
                    v.t[0] = float(uv.x());
                    v.t[1] = float(uv.y());
                    anyUV = true;
                }
                vertices.push_back(v);
            }
            idx[k] = it->second;
        }
        std::vector<uint32_t> &out = triangles[size_t(std::clamp(f.m_materialIdx, 0, groups - 1))];
        out.insert(out.end(), {idx[0], idx[1], idx[2]});
        if (f.isQuad())
            out.insert(out.end(), {idx[0], idx[2], idx[3]});
    }
    std::vector<uint32_t> indices;
    for (int g = 0; g < groups; ++g) {
        const std::vector<uint32_t> &t = triangles[size_t(g)];
        if (t.empty())
            continue;
        buffers->ranges.push_back({g, int(indices.size()), int(t.size())});
        indices.insert(indices.end(), t.begin(), t.end());
    }
    buffers->hasUVs = anyUV;
    DzVec3 lo, hi;
    buffers->hasBounds = mesh->getBoundingBox(lo, hi);
    buffers->min = toQ(lo);
    buffers->max = toQ(hi);

    buffers->vertices.create();
    buffers->vertices.bind();
    buffers->vertices.allocate(vertices.data(), int(vertices.size() * sizeof(Vertex)));
    buffers->vertices.release();
    buffers->indices.create();
    buffers->indices.bind();
    buffers->indices.allocate(indices.data(), int(indices.size() * sizeof(uint32_t)));
    buffers->indices.release();

    // The buffers go with the mesh (the pointer may be reused by a later mesh).
    connect(mesh, &QObject::destroyed, this, &SceneView::meshDestroyed, Qt::UniqueConnection);
    MeshBuffers *raw = buffers.get();
    m_meshes.emplace(mesh, std::move(buffers));
    return raw;
}

QOpenGLTexture *SceneView::textureFor(DzTexture *texture)
{
    if (!texture)
        return nullptr;
    const QString file = texture->getFilename();
    // A file written again since it was read (a terrain made anew) is read again.
    const QFileInfo info(file);
    const QDateTime modified = info.lastModified();
    const qint64 bytes = info.exists() ? info.size() : -1;
    const auto found = m_textures.find(file);
    if (found != m_textures.end()) {
        if (found->modified == modified && found->size == bytes)
            return found->texture;
        if (found->texture)
            m_textureTrash.push_back(found->texture);   // still bound by nothing; goes next frame
        m_textures.erase(found);
    }

    QImageReader reader(file);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > m_maxTextureSize || size.height() > m_maxTextureSize))
        reader.setScaledSize(size.scaled(m_maxTextureSize, m_maxTextureSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    QOpenGLTexture *gl = nullptr;
    if (!image.isNull()) {
        if (image.width() > m_maxTextureSize || image.height() > m_maxTextureSize)
            image = image.scaled(m_maxTextureSize, m_maxTextureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        // Texture coordinate v = 0 is the bottom of the picture.
        gl = new QOpenGLTexture(image.mirrored().convertToFormat(QImage::Format_RGBA8888));
        gl->setMinificationFilter(QOpenGLTexture::LinearMipMapLinear);
        gl->setMagnificationFilter(QOpenGLTexture::Linear);
        gl->setWrapMode(QOpenGLTexture::Repeat);
    } else {
        qWarning("studio: cannot read the texture %s: %s", qPrintable(file), qPrintable(reader.errorString()));
    }
    m_textures.insert(file, CachedTexture{gl, modified, bytes});   // an unreadable one waits for a change
    return gl;
}

void SceneView::collectGarbage()
{
    // Buffers of meshes that no node in the scene shows any more.
    std::unordered_set<const DzFacetMesh *> used;
    if (m_scene)
        for (int i = 0; i < m_scene->getNumNodes(); ++i)
            if (const DzFacetMesh *mesh = meshOf(m_scene->getNode(i)))
                used.insert(mesh);
    for (auto it = m_meshes.begin(); it != m_meshes.end();) {
        if (used.count(it->first)) {
            ++it;
        } else {
            m_meshTrash.push_back(std::move(it->second));
            it = m_meshes.erase(it);
        }
    }
    m_needsGarbageCollection = false;
}

// --- Drawing ------------------------------------------------------------------------------

SceneView::Light SceneView::sceneLight(const DzScene *scene)
{
    for (int i = 0; scene && i < scene->getNumNodes(); ++i)
        if (const auto *sun = qobject_cast<const DzDistantLight *>(scene->getNode(i)); sun && nodeVisible(sun)) {
            const QVector3D towards = -sun->getWSDirection();
            if (towards.lengthSquared() > 0.5f)
                return {towards, sun->getDiffuseColor()};
        }
    return {QVector3D(0.35f, 1.0f, 0.45f).normalized(), Qt::white};
}

SceneView::Style SceneView::styleFor(int shadeStyle)
{
    Style s;
    switch (shadeStyle) {
    case Dz3DViewport::WireBox:
        s.boxes = true; s.fill = false; s.lit = false; s.textured = false; s.lines = true;
        break;
    case Dz3DViewport::SolidBox:
        s.boxes = true; s.textured = false;
        break;
    case Dz3DViewport::WireFrame:
        s.fill = false; s.lit = false; s.textured = false; s.lines = true;
        break;
    case Dz3DViewport::HiddenLine:
        s.lit = false; s.textured = false; s.lines = true; s.overlay = true; s.hiddenLine = true;
        break;
    case Dz3DViewport::LitWireFrame:
        s.fill = false; s.textured = false; s.lines = true; s.litLines = true;
        break;
    case Dz3DViewport::SmoothShaded:
        s.textured = false;
        break;
    case Dz3DViewport::WireShaded:
        s.textured = false; s.lines = true; s.overlay = true;
        break;
    case Dz3DViewport::WireTexture:
        s.lines = true; s.overlay = true;
        break;
    case Dz3DViewport::Texture:
    default:
        break;
    }
    return s;
}

void SceneView::applyLook(const Look &look, const Style &style, bool hasUVs)
{
    if (style.lit && !look.unlit)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    QColor color = look.color;
    if (style.hiddenLine)
        color = backgroundColor();
    glColor4f(float(color.redF()), float(color.greenF()), float(color.blueF()), 1.0f);
    QOpenGLTexture *texture = style.textured && hasUVs ? textureFor(look.map) : nullptr;
    if (texture) {
        glEnable(GL_TEXTURE_2D);
        texture->bind();
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void SceneView::drawMesh(MeshBuffers &mesh, const DzShape *shape, const Style &style, bool asLines)
{
    mesh.vertices.bind();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vertex), reinterpret_cast<const void *>(offsetof(Vertex, p)));
    glNormalPointer(GL_FLOAT, sizeof(Vertex), reinterpret_cast<const void *>(offsetof(Vertex, n)));
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), reinterpret_cast<const void *>(offsetof(Vertex, t)));
    mesh.indices.bind();
    for (const MeshBuffers::Range &r : mesh.ranges) {
        const DzMaterial *material = nullptr;
        if (shape && shape->getNumMaterials() > 0)
            material = shape->getMaterial(r.materialGroup < shape->getNumMaterials() ? r.materialGroup : 0);
        const Look look = lookOf(material);
        if (asLines) {
            glDisable(GL_TEXTURE_2D);
            if (style.overlay) {
                glDisable(GL_LIGHTING);
                glColor4f(0.12f, 0.12f, 0.14f, 1.0f);
            } else {
                Style lineStyle = style;
                lineStyle.lit = style.litLines;
                lineStyle.textured = false;
                applyLook(look, lineStyle, false);
            }
        } else {
            applyLook(look, style, mesh.hasUVs);
        }
        glDrawElements(GL_TRIANGLES, r.count, GL_UNSIGNED_INT,
                       reinterpret_cast<const void *>(size_t(r.first) * sizeof(uint32_t)));
    }
    mesh.indices.release();
    mesh.vertices.release();
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void SceneView::drawBox(const QVector3D &lo, const QVector3D &hi, bool solid)
{
    const QVector3D c[8] = {{lo.x(), lo.y(), lo.z()}, {hi.x(), lo.y(), lo.z()}, {hi.x(), hi.y(), lo.z()},
                            {lo.x(), hi.y(), lo.z()}, {lo.x(), lo.y(), hi.z()}, {hi.x(), lo.y(), hi.z()},
                            {hi.x(), hi.y(), hi.z()}, {lo.x(), hi.y(), hi.z()}};
    if (solid) {
        static const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};
        static const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
        glBegin(GL_QUADS);
        for (int f = 0; f < 6; ++f) {
            glNormal3fv(normals[f]);
            for (int k = 0; k < 4; ++k)
                glVertex3f(c[faces[f][k]].x(), c[faces[f][k]].y(), c[faces[f][k]].z());
        }
        glEnd();
    } else {
        static const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                         {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
        glBegin(GL_LINES);
        for (const auto &e : edges)
            for (int k : e)
                glVertex3f(c[k].x(), c[k].y(), c[k].z());
        glEnd();
    }
}

void SceneView::paintGL()
{
    // Resources of meshes and images that went away since the last frame.
    if (m_needsGarbageCollection)
        collectGarbage();
    m_meshTrash.clear();
    for (QOpenGLTexture *t : m_textureTrash)
        delete t;
    m_textureTrash.clear();

    const QColor bg = backgroundColor();
    glClearColor(float(bg.redF()), float(bg.greenF()), float(bg.blueF()), 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);   // nodes are scaled
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    // Buffers first: they also keep the meshes' bounds for the clip planes.
    if (m_scene)
        for (int i = 0; i < m_scene->getNumNodes(); ++i) {
            const DzNode *node = m_scene->getNode(i);
            if (DzFacetMesh *mesh = meshOf(node); mesh && nodeVisible(node))
                buffersFor(mesh);
        }

    const qreal dpr = devicePixelRatioF();
    glViewport(0, 0, GLsizei(width() * dpr), GLsizei(height() * dpr));
    const QMatrix4x4 projection = projectionMatrix();
    const QMatrix4x4 view = viewMatrix();
    const QVector3D eye = view.inverted().map(QVector3D(0, 0, 0));
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection.constData());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view.constData());

    // One light fixed in the world, the scene's sun where it has one, and some ambient.
    const Light sun = sceneLight(m_scene);
    const GLfloat lightDir[4] = {sun.towards.x(), sun.towards.y(), sun.towards.z(), 0.0f};
    const GLfloat lightDiffuse[4] = {0.7f * float(sun.colour.redF()), 0.7f * float(sun.colour.greenF()),
                                     0.7f * float(sun.colour.blueF()), 1.0f};
    const GLfloat lightAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat sceneAmbient[4] = {0.28f, 0.28f, 0.28f, 1.0f};
    const GLfloat noSpecular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, lightDir);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, noSpecular);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, sceneAmbient);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);   // a dome is seen from inside
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, noSpecular);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);

    const Style style = styleFor(m_viewport ? int(m_viewport->getShadeStyle()) : int(Dz3DViewport::Texture));
    bool drewSomething = false;
    if (m_scene) {
        for (int i = 0; i < m_scene->getNumNodes(); ++i) {
            DzNode *node = m_scene->getNode(i);
            DzShape *shape = nullptr;
            DzFacetMesh *mesh = meshOf(node, &shape);
            if (!mesh || !nodeVisible(node))
                continue;
            MeshBuffers *buffers = buffersFor(mesh);
            if (!buffers || buffers->ranges.empty())
                continue;
            drewSomething = true;
            const QMatrix4x4 world = node->getWSTransform();
            glPushMatrix();
            glMultMatrixf(world.constData());
            if (style.boxes) {
                if (!buffers->hasBounds) {
                    glPopMatrix();
                    continue;
                }
                // A solid box round the eye (a sky dome's) would hide everything: its edges do.
                const QVector3D local = world.inverted().map(eye);
                const bool aroundEye = local.x() >= buffers->min.x() && local.x() <= buffers->max.x()
                                       && local.y() >= buffers->min.y() && local.y() <= buffers->max.y()
                                       && local.z() >= buffers->min.z() && local.z() <= buffers->max.z();
                Style boxStyle = style;
                boxStyle.textured = false;
                boxStyle.lit = style.lit && !aroundEye;
                applyLook(lookOf(shape && shape->getNumMaterials() ? shape->getMaterial(0) : nullptr), boxStyle, false);
                drawBox(buffers->min, buffers->max, style.fill && !aroundEye);
            } else {
                if (style.fill) {
                    if (style.overlay) {
                        glEnable(GL_POLYGON_OFFSET_FILL);
                        glPolygonOffset(1.0f, 1.0f);
                    }
                    drawMesh(*buffers, shape, style, false);
                    glDisable(GL_POLYGON_OFFSET_FILL);
                }
                if (style.lines) {
                    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
                    drawMesh(*buffers, shape, style, true);
                    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
                }
            }
            glPopMatrix();
        }
    }

    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    if (!drewSomething && !(m_viewport && m_viewport->getCamera())) {
        // An empty scene: a ground grid of ten metres shows where the floor is.
        glColor4f(0.55f, 0.55f, 0.57f, 1.0f);
        glBegin(GL_LINES);
        for (int k = -10; k <= 10; ++k) {
            const float x = float(k) * 50.0f;
            glVertex3f(x, 0.0f, -500.0f);
            glVertex3f(x, 0.0f, 500.0f);
            glVertex3f(-500.0f, 0.0f, x);
            glVertex3f(500.0f, 0.0f, x);
        }
        glEnd();
    }
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHT0);
    glDisable(GL_DEPTH_TEST);
}

// --- Mouse --------------------------------------------------------------------------------

void SceneView::mousePressEvent(QMouseEvent *event)
{
    m_lastMouse = event->position().toPoint();
    m_dragButton = event->button();
    event->accept();
}

void SceneView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QPoint delta = pos - m_lastMouse;
    m_lastMouse = pos;
    // A scene camera is moved through its own controls; the mouse drives the view's own camera.
    if (m_dragButton == Qt::NoButton || (m_viewport && m_viewport->getCamera()))
        return;
    stopFollowing();
    const bool pan = m_dragButton == Qt::RightButton || m_dragButton == Qt::MiddleButton
                     || (event->modifiers() & Qt::ShiftModifier);
    if (pan) {
        const QMatrix4x4 toWorld = m_orbit.viewMatrix().inverted();
        const QVector3D right = toWorld.mapVector(QVector3D(1, 0, 0)).normalized();
        const QVector3D up = toWorld.mapVector(QVector3D(0, 1, 0)).normalized();
        const float perPixel = 2.0f * m_orbit.distance * std::tan(qDegreesToRadians(kOrbitFov * 0.5f))
                               / float(std::max(1, height()));
        m_orbit.target += (-right * float(delta.x()) + up * float(delta.y())) * perPixel;
    } else {
        m_orbit.yaw -= float(delta.x()) * 0.4f;
        m_orbit.pitch = std::clamp(m_orbit.pitch - float(delta.y()) * 0.4f, -89.0f, 89.0f);
    }
    update();
}

void SceneView::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragButton = Qt::NoButton;
    event->accept();
}

void SceneView::mouseDoubleClickEvent(QMouseEvent *event)
{
    frameScene();
    event->accept();
}

void SceneView::wheelEvent(QWheelEvent *event)
{
    if (m_viewport && m_viewport->getCamera())
        return;
    stopFollowing();
    const float steps = float(event->angleDelta().y()) / 120.0f;
    m_orbit.distance = std::clamp(m_orbit.distance * std::pow(0.85f, steps), 1.0f, 1.0e9f);
    update();
    event->accept();
}
