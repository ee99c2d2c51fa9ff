#pragma once
#include "dzbase.h"
#include "dzvec3.h"
#include <QPointF>
#include <QVector>

class DzEnumProperty;
class DzFloatProperty;
class DzMaterial;

/// One polygon of a facet mesh: a triangle (index 3 unused, -1) or a quad. uvw and normal
/// indices are -1 when the facet has none.
struct DZCORE_API DzFacet {
    int m_vertIdx[4] = {-1, -1, -1, -1};
    int m_uvwIdx[4] = {-1, -1, -1, -1};
    int m_normIdx[4] = {-1, -1, -1, -1};
    int m_materialIdx = 0;   ///< index into the mesh's material groups
    int m_faceGroupIdx = 0;  ///< index into the mesh's face groups
    bool isQuad() const { return m_vertIdx[3] >= 0; }
    int getNumVertices() const { return isQuad() ? 4 : 3; }
};

/// Base of geometry: vertices, texture coordinates and normals. Shared between shapes through
/// its reference count (never give it a QObject parent).
class DZCORE_API DzGeometry : public QObject, public DzRefCountedItem {
    Q_OBJECT
public:
    DzGeometry();
    ~DzGeometry() override;

    int addVertex(const DzVec3 &v);   ///< returns its index
    int getNumVertices() const { return int(m_vertices.size()); }
    DzVec3 getVertex(int i) const { return m_vertices.value(i); }
    void setVertex(int i, const DzVec3 &v);   ///< ignores an index out of range
    const QVector<DzVec3> &getVertices() const { return m_vertices; }

    int addUVPoint(const QPointF &uv);
    int getNumUVs() const { return int(m_uvs.size()); }
    QPointF getUV(int i) const { return m_uvs.value(i); }

    int addNormal(const DzVec3 &n);
    int getNumNormals() const { return int(m_normals.size()); }
    DzVec3 getNormal(int i) const { return m_normals.value(i); }

    /// Axis-aligned bounds of the vertices; false (and zeros) when there are none.
    bool getBoundingBox(DzVec3 &min, DzVec3 &max) const;

protected:
    QVector<DzVec3> m_vertices;
    QVector<QPointF> m_uvs;
    QVector<DzVec3> m_normals;
};

/// A polygon mesh of triangles and quads, with face groups and material groups.
class DZCORE_API DzFacetMesh : public DzGeometry {
    Q_OBJECT
public:
    DzFacetMesh();

    /// Adds a facet after checking every index against the mesh (vertices, uvs, normals,
    /// groups); false when one is out of range or the facet has fewer than three vertices.
    bool addFacet(const DzFacet &facet);
    int getNumFacets() const { return int(m_facets.size()); }
    DzFacet getFacet(int i) const { return m_facets.value(i); }
    const QVector<DzFacet> &getFacets() const { return m_facets; }
    int getNumTriangles() const;   ///< a quad counts as two

    /// Groups: adding a name that exists returns its index. Both lists start empty; a facet's
    /// group index must name an existing group once any group exists.
    int addFaceGroup(const QString &name);
    int getNumFaceGroups() const { return int(m_faceGroups.size()); }
    QString getFaceGroupName(int i) const { return m_faceGroups.value(i); }
    int addMaterialGroup(const QString &name);
    int getNumMaterialGroups() const { return int(m_materialGroups.size()); }
    QString getMaterialGroupName(int i) const { return m_materialGroups.value(i); }

    void enableSubDivision(bool onOff);
    bool isSubDivisionEnabled() const { return m_subdivision; }

private:
    QVector<DzFacet> m_facets;
    QStringList m_faceGroups, m_materialGroups;
    bool m_subdivision = false;
};

/// The surface of an object: its materials (shared, reference counted) and level of detail.
class DZCORE_API DzShape : public DzElement {
    Q_OBJECT
public:
    DzShape();
    ~DzShape() override;   ///< lets go of its materials

    /// Level of detail: items "Base" and "High Resolution"; "Base" at first.
    DzEnumProperty *getLODControl() const { return m_lod; }

    /// The geometry the shape shows; null when none.
    virtual DzGeometry *getGeometry() const { return nullptr; }

    bool addMaterial(DzMaterial *material);   ///< refuses null and a material already held
    int getNumMaterials() const { return int(m_materials.size()); }
    DzMaterial *getMaterial(int i) const { return m_materials.value(i); }
    int findMaterialIndex(const DzMaterial *material) const;
    DzMaterial *findMaterial(const QString &name) const;
    /// Puts newMaterial in oldMaterial's place (same index, so facets keep pointing at it);
    /// false when oldMaterial is not held or newMaterial is null or already held.
    bool replaceMaterial(DzMaterial *oldMaterial, DzMaterial *newMaterial);
    bool removeMaterial(DzMaterial *material);
    void removeAllMaterials();

signals:
    void materialListChanged();

private:
    DzEnumProperty *m_lod = nullptr;
    QList<DzMaterial *> m_materials;
};

/// A shape made of a facet mesh (shared, reference counted).
class DZCORE_API DzFacetShape : public DzShape {
    Q_OBJECT
public:
    DzFacetShape();
    ~DzFacetShape() override;

    DzFacetMesh *getFacetMesh() const { return m_mesh; }
    /// Holds the mesh (shared with any other holder) and lets go of the previous one.
    void setFacetMesh(DzFacetMesh *mesh);
    DzGeometry *getGeometry() const override;

private:
    DzFacetMesh *m_mesh = nullptr;
};

/// Something that changes an object's geometry.
class DZCORE_API DzModifier : public DzElement {
    Q_OBJECT
public:
    DzModifier();
};

/// Per-vertex offsets of a morph. Shared through its reference count.
class DZCORE_API DzMorphDeltas : public QObject, public DzRefCountedItem {
    Q_OBJECT
public:
    DzMorphDeltas();
    ~DzMorphDeltas() override;

    /// Sets the offset of one vertex (replacing any earlier offset of it); false for a negative
    /// index or a non-finite offset.
    bool addDelta(int vertexIndex, const DzVec3 &delta);
    int getNumDeltas() const { return int(m_indices.size()); }
    int getDeltaIndex(int i) const { return m_indices.value(i, -1); }
    DzVec3 getDelta(int i) const { return m_deltas.value(i); }
    /// The offset of a vertex (zero when it has none).
    DzVec3 findDelta(int vertexIndex) const;

private:
    QVector<int> m_indices;
    QVector<DzVec3> m_deltas;
};

/// A morph: deltas scaled by the value channel (property "Value", 0 … 1 at first).
class DZCORE_API DzMorph : public DzModifier {
    Q_OBJECT
public:
    DzMorph();
    ~DzMorph() override;

    DzFloatProperty *getValueChannel() const { return m_value; }
    DzMorphDeltas *getDeltas() const { return m_deltas; }
    /// Holds the deltas (shared with any other holder) and lets go of the previous ones.
    void setDeltas(DzMorphDeltas *deltas);

private:
    DzFloatProperty *m_value = nullptr;
    DzMorphDeltas *m_deltas = nullptr;
};

/// What a node shows: its shapes (owned; the first one added is current) and modifiers (owned).
class DZCORE_API DzObject : public DzElement {
    Q_OBJECT
public:
    DzObject();
    ~DzObject() override;

    bool addShape(DzShape *shape);   ///< takes ownership
    int getNumShapes() const { return int(m_shapes.size()); }
    DzShape *getShape(int i) const { return m_shapes.value(i); }
    DzShape *getCurrentShape() const { return m_shapes.value(m_currentShape); }
    void setCurrentShape(int i);   ///< ignores an index out of range

    bool addModifier(DzModifier *modifier);   ///< takes ownership
    int getNumModifiers() const { return int(m_modifiers.size()); }
    DzModifier *getModifier(int i) const { return m_modifiers.value(i); }

    /// The geometry of the current shape (for a facet shape its DzFacetMesh); null when none.
    DzGeometry *getCurrentGeometryForNode() const;

private:
    QList<DzShape *> m_shapes;
    QList<DzModifier *> m_modifiers;
    int m_currentShape = 0;
};
