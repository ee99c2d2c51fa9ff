#include "dzobject.h"
#include "dzmaterial.h"
#include "dzproperty.h"
#include <algorithm>

// --- DzGeometry ---------------------------------------------------------------------------

DzGeometry::DzGeometry() = default;
DzGeometry::~DzGeometry() = default;

int DzGeometry::addVertex(const DzVec3 &v)
{
    m_vertices.append(v);
    return int(m_vertices.size()) - 1;
}

void DzGeometry::setVertex(int i, const DzVec3 &v)
{
    if (i >= 0 && i < m_vertices.size())
        m_vertices[i] = v;
}

int DzGeometry::addUVPoint(const QPointF &uv)
{
    m_uvs.append(uv);
    return int(m_uvs.size()) - 1;
}

int DzGeometry::addNormal(const DzVec3 &n)
{
    m_normals.append(n);
    return int(m_normals.size()) - 1;
}

bool DzGeometry::getBoundingBox(DzVec3 &min, DzVec3 &max) const
{
    if (m_vertices.isEmpty()) {
        min = max = DzVec3();
        return false;
    }
    min = max = m_vertices.first();
    for (const DzVec3 &v : m_vertices) {
        min.setValue(std::min(min.m_x, v.m_x), std::min(min.m_y, v.m_y), std::min(min.m_z, v.m_z));
        max.setValue(std::max(max.m_x, v.m_x), std::max(max.m_y, v.m_y), std::max(max.m_z, v.m_z));
    }
    return true;
}

// --- DzFacetMesh --------------------------------------------------------------------------

DzFacetMesh::DzFacetMesh() = default;

bool DzFacetMesh::addFacet(const DzFacet &f)
{
    auto inRange = [](int i, qsizetype n) { return i >= 0 && i < n; };
    auto groupOk = [](int i, qsizetype n) { return n == 0 ? i == 0 : (i >= 0 && i < n); };
    const int corners = f.getNumVertices();
    for (int c = 0; c < corners; ++c) {
        if (!inRange(f.m_vertIdx[c], m_vertices.size()))
            return false;
        if (f.m_uvwIdx[c] != -1 && !inRange(f.m_uvwIdx[c], m_uvs.size()))
            return false;
        if (f.m_normIdx[c] != -1 && !inRange(f.m_normIdx[c], m_normals.size()))
            return false;
    }
    if (!groupOk(f.m_materialIdx, m_materialGroups.size()) || !groupOk(f.m_faceGroupIdx, m_faceGroups.size()))
        return false;
    m_facets.append(f);
    return true;
}

int DzFacetMesh::getNumTriangles() const
{
    int n = 0;
    for (const DzFacet &f : m_facets)
        n += f.isQuad() ? 2 : 1;
    return n;
}

int DzFacetMesh::addFaceGroup(const QString &name)
{
    const qsizetype i = m_faceGroups.indexOf(name);
    if (i >= 0)
        return int(i);
    m_faceGroups.append(name);
    return int(m_faceGroups.size()) - 1;
}

int DzFacetMesh::addMaterialGroup(const QString &name)
{
    const qsizetype i = m_materialGroups.indexOf(name);
    if (i >= 0)
        return int(i);
    m_materialGroups.append(name);
    return int(m_materialGroups.size()) - 1;
}

void DzFacetMesh::enableSubDivision(bool onOff) { m_subdivision = onOff; }

// --- DzShape ------------------------------------------------------------------------------

DzShape::DzShape()
{
    m_lod = new DzEnumProperty(QStringLiteral("lodlevel"), QStringLiteral("Resolution Level"),
                               {QStringLiteral("Base"), QStringLiteral("High Resolution")}, 0);
    addProperty(m_lod);
}

DzShape::~DzShape()
{
    removeAllMaterials();
}

bool DzShape::addMaterial(DzMaterial *material)
{
    if (!material || m_materials.contains(material))
        return false;
    material->ref();
    m_materials.append(material);
    emit materialListChanged();
    return true;
}

int DzShape::findMaterialIndex(const DzMaterial *material) const
{
    return int(m_materials.indexOf(const_cast<DzMaterial *>(material)));
}

DzMaterial *DzShape::findMaterial(const QString &name) const
{
    for (DzMaterial *m : m_materials)
        if (m->getName() == name)
            return m;
    return nullptr;
}

bool DzShape::replaceMaterial(DzMaterial *oldMaterial, DzMaterial *newMaterial)
{
    const int i = findMaterialIndex(oldMaterial);
    if (i < 0 || !newMaterial || m_materials.contains(newMaterial))
        return false;
    newMaterial->ref();
    m_materials[i] = newMaterial;
    oldMaterial->unref();
    emit materialListChanged();
    return true;
}

bool DzShape::removeMaterial(DzMaterial *material)
{
    if (!m_materials.removeOne(material))
        return false;
    material->unref();
    emit materialListChanged();
    return true;
}

void DzShape::removeAllMaterials()
{
    const QList<DzMaterial *> materials = m_materials;
    m_materials.clear();
    for (DzMaterial *m : materials)
        m->unref();
    if (!materials.isEmpty())
        emit materialListChanged();
}

// --- DzFacetShape -------------------------------------------------------------------------

DzFacetShape::DzFacetShape() = default;

DzFacetShape::~DzFacetShape()
{
    setFacetMesh(nullptr);
}

void DzFacetShape::setFacetMesh(DzFacetMesh *mesh)
{
    dzHoldShared(m_mesh, mesh);
}

DzGeometry *DzFacetShape::getGeometry() const { return m_mesh; }

// --- Modifiers and morphs -----------------------------------------------------------------

DzModifier::DzModifier() = default;

DzMorphDeltas::DzMorphDeltas() = default;
DzMorphDeltas::~DzMorphDeltas() = default;

bool DzMorphDeltas::addDelta(int vertexIndex, const DzVec3 &delta)
{
    if (vertexIndex < 0 || !delta.isFinite())
        return false;
    const qsizetype i = m_indices.indexOf(vertexIndex);
    if (i >= 0) {
        m_deltas[i] = delta;
    } else {
        m_indices.append(vertexIndex);
        m_deltas.append(delta);
    }
    return true;
}

DzVec3 DzMorphDeltas::findDelta(int vertexIndex) const
{
    const qsizetype i = m_indices.indexOf(vertexIndex);
    return i >= 0 ? m_deltas[i] : DzVec3();
}

DzMorph::DzMorph()
{
    m_value = new DzFloatProperty(QStringLiteral("Value"), QStringLiteral("Value"), 0.0f);
    m_value->setMinMax(0.0f, 1.0f);
    addProperty(m_value);
}

DzMorph::~DzMorph()
{
    setDeltas(nullptr);
}

void DzMorph::setDeltas(DzMorphDeltas *deltas)
{
    dzHoldShared(m_deltas, deltas);
}

// --- DzObject -----------------------------------------------------------------------------

DzObject::DzObject() = default;

DzObject::~DzObject()
{
    // Modifiers first: they act on the shapes.
    qDeleteAll(m_modifiers);
    m_modifiers.clear();
    qDeleteAll(m_shapes);
    m_shapes.clear();
}

bool DzObject::addShape(DzShape *shape)
{
    if (!shape || m_shapes.contains(shape))
        return false;
    shape->setParent(this);
    m_shapes.append(shape);
    return true;
}

void DzObject::setCurrentShape(int i)
{
    if (i >= 0 && i < m_shapes.size())
        m_currentShape = i;
}

bool DzObject::addModifier(DzModifier *modifier)
{
    if (!modifier || m_modifiers.contains(modifier))
        return false;
    modifier->setParent(this);
    m_modifiers.append(modifier);
    return true;
}

DzGeometry *DzObject::getCurrentGeometryForNode() const
{
    const DzShape *shape = getCurrentShape();
    return shape ? shape->getGeometry() : nullptr;
}
