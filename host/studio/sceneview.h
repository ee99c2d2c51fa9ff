#pragma once
#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QVector3D>
#include <memory>
#include <unordered_map>
#include <vector>

class Dz3DViewport;
class DzFacetMesh;
class DzMaterial;
class DzNode;
class DzScene;
class DzShape;
class DzTexture;
class QOpenGLTexture;

/// Axis-aligned bounds in world space (centimetres); empty until a point is added.
struct SceneBounds {
    QVector3D min, max;
    bool valid = false;
    void add(const QVector3D &p);
    void add(const SceneBounds &b);
    QVector3D center() const { return (min + max) * 0.5f; }
    float radius() const { return valid ? (max - min).length() * 0.5f : 0.0f; }
};

/// The studio's 3D view: draws the scene's nodes (facet meshes with their world transforms,
/// smooth normals, one light, the materials' colour maps) in the shade style of the viewport it
/// belongs to, looking through the viewport's camera, or through its own orbit camera when the
/// viewport has none (drag: orbit, right or shift drag: pan, wheel: zoom, double-click: frame
/// the scene again).
///
/// Vertex and index buffers are made once per facet mesh (nodes sharing a mesh share them) and
/// dropped when the mesh goes; colour maps are read once per file, scaled down to at most
/// 2048 pixels (or the GL limit) and read again when the image manager refreshes.
class SceneView : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    /// The view follows viewport's camera and shade style and draws scene (both may be null).
    SceneView(Dz3DViewport *viewport, DzScene *scene, QWidget *parent = nullptr);
    ~SceneView() override;

    Dz3DViewport *viewport() const { return m_viewport; }
    static QColor backgroundColor() { return QColor(112, 112, 112); }
    /// The view's light: towards the first visible distant light of the scene (the sun) in its
    /// colour, else from above; the direction points at the light, unit length.
    struct Light {
        QVector3D towards;
        QColor colour;
    };
    static Light sceneLight(const DzScene *scene);

    /// What the next frame is drawn with, for the widget's current size.
    QMatrix4x4 viewMatrix() const;
    QMatrix4x4 projectionMatrix() const;
    /// The near and far clip distances that suit the scene as seen from the current eye.
    void clipRange(float &nearPlane, float &farPlane) const;
    /// World bounds of the visible geometry; withBackdrops false leaves out unlit backdrops
    /// (a sky dome) that would dwarf the rest.
    SceneBounds sceneBounds(bool withBackdrops = true) const;

    /// Mesh buffers held on the GPU (one per facet mesh drawn) and textures loaded.
    int meshBufferCount() const { return int(m_meshes.size()); }
    int textureCount() const;
    /// The size the file's picture was loaded at (invalid when not loaded or unreadable).
    QSize loadedTextureSize(const QString &file) const;

public slots:
    /// Puts the orbit camera back on the whole scene (and lets it follow the scene again).
    void frameScene();

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private slots:
    void objectChanged();
    void materialListChanged();
    void meshDestroyed(QObject *mesh);
    void contextGoing();

private:
    struct MeshBuffers;
    struct Look {
        QColor color = QColor(200, 200, 200);
        DzTexture *map = nullptr;
        bool unlit = false;
    };
    struct Style {
        bool boxes = false, fill = true, lit = true, textured = true, lines = false, litLines = false,
             overlay = false, hiddenLine = false;
    };

    static Style styleFor(int shadeStyle);
    static Look lookOf(const DzMaterial *material);
    static bool isBackdrop(const DzShape *shape);
    static DzFacetMesh *meshOf(const DzNode *node, DzShape **shape = nullptr);

    void watchNode(DzNode *node);
    void watchShapes(DzNode *node);
    void watchMaterial(DzMaterial *material);
    void sceneChanged();
    void dropTextures();
    void cleanup();

    struct Orbit {
        QVector3D target;
        float yaw = 35.0f, pitch = -25.0f, distance = 500.0f;
        QVector3D eye() const;
        QMatrix4x4 viewMatrix() const;
    };
    /// The orbit camera as it stands, framed on the scene while it follows the scene.
    Orbit orbit() const;
    bool cameraViewMatrix(QMatrix4x4 &view) const;
    bool localBounds(const DzFacetMesh *mesh, QVector3D &lo, QVector3D &hi) const;
    float verticalFov() const;
    float aspect() const;
    void stopFollowing();

    MeshBuffers *buffersFor(DzFacetMesh *mesh);
    QOpenGLTexture *textureFor(DzTexture *texture);
    void applyLook(const Look &look, const Style &style, bool hasUVs);
    void drawMesh(MeshBuffers &mesh, const DzShape *shape, const Style &style, bool asLines);
    void drawBox(const QVector3D &min, const QVector3D &max, bool solid);
    void collectGarbage();

    QPointer<Dz3DViewport> m_viewport;
    QPointer<DzScene> m_scene;
    std::unordered_map<const DzFacetMesh *, std::unique_ptr<MeshBuffers>> m_meshes;
    std::vector<std::unique_ptr<MeshBuffers>> m_meshTrash;   // waiting for a current context
    struct CachedTexture {
        QOpenGLTexture *texture = nullptr;   // null for a file that could not be read
        QDateTime modified;                  // of the file when it was read
        qint64 size = -1;
    };
    QHash<QString, CachedTexture> m_textures;   // by file
    std::vector<QOpenGLTexture *> m_textureTrash;
    QSet<const DzMaterial *> m_watchedMaterials;
    bool m_needsGarbageCollection = false;
    bool m_glReady = false;
    int m_maxTextureSize = 2048;

    // The orbit camera (used when the viewport has no camera).
    Orbit m_orbit;
    bool m_followScene = true;   // until the user moves the orbit camera
    QPoint m_lastMouse;
    Qt::MouseButton m_dragButton = Qt::NoButton;
};
