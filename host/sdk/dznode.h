#pragma once
#include "dzbase.h"
#include "dzvec3.h"
#include <QMatrix4x4>

class DzBoolProperty;
class DzFloatProperty;
class DzObject;
class DzScene;

/// A node of the scene: a transform (position, rotation and scale controls per axis plus a
/// general scale), an optional object (its geometry), and child nodes.
///
/// Units: positions in centimetres, rotations in degrees, scales as fractions (1 = 100 %).
/// The node hierarchy is independent of ownership: the scene owns the nodes added to it; a node
/// not in a scene is owned by whoever made it. Deleting a node detaches it from its parent, its
/// children and its scene.
class DZCORE_API DzNode : public DzElement {
    Q_OBJECT
public:
    /// The order in which the three rotations apply to the node: for XYZ the rotation about X
    /// applies first, then Y, then Z.
    enum RotationOrder { XYZ, XZY, YXZ, YZX, ZXY, ZYX };
    Q_ENUM(RotationOrder)

    explicit DzNode(QObject *parent = nullptr);
    ~DzNode() override;

    // Controls (float properties; also found by findProperty under "XTranslate", "YTranslate",
    // "ZTranslate", "XRotate", "YRotate", "ZRotate", "XScale", "YScale", "ZScale", "Scale",
    // and the bool properties "Visible" and "Cast Shadows").
    DzFloatProperty *getXPosControl() const { return m_pos[0]; }
    DzFloatProperty *getYPosControl() const { return m_pos[1]; }
    DzFloatProperty *getZPosControl() const { return m_pos[2]; }
    DzFloatProperty *getXRotControl() const { return m_rot[0]; }
    DzFloatProperty *getYRotControl() const { return m_rot[1]; }
    DzFloatProperty *getZRotControl() const { return m_rot[2]; }
    DzFloatProperty *getXScaleControl() const { return m_scale[0]; }
    DzFloatProperty *getYScaleControl() const { return m_scale[1]; }
    DzFloatProperty *getZScaleControl() const { return m_scale[2]; }
    DzFloatProperty *getScaleControl() const { return m_generalScale; }   ///< general (uniform) scale
    DzBoolProperty *getShadowControl() const { return m_shadow; }        ///< casts shadows
    DzBoolProperty *getVisibilityControl() const { return m_visible; }

    RotationOrder getRotationOrder() const { return m_rotationOrder; }
    void setRotationOrder(RotationOrder order) { m_rotationOrder = order; }

    /// Local transform: translate · rotate (in the rotation order) · scale.
    QMatrix4x4 getLocalTransform() const;
    /// The local transforms of the node and its ancestors, composed.
    QMatrix4x4 getWSTransform() const;
    DzVec3 getLocalPos() const;
    DzVec3 getWSPos() const;
    /// Sets the position controls so that the node's origin lands at pos in world space
    /// (through the parent's transform when there is one). Non-finite input is ignored.
    void setWSPos(const DzVec3 &pos);

    // Hierarchy.
    DzNode *getNodeParent() const { return m_parent; }
    int getNumNodeChildren() const { return int(m_children.size()); }
    DzNode *getNodeChild(int i) const { return m_children.value(i); }
    /// Makes child a child of this node (taking it from a previous parent). Refuses null, the
    /// node itself and any ancestor (which would make a cycle). With inPlace the child keeps its
    /// world-space position.
    bool addNodeChild(DzNode *child, bool inPlace = false);
    bool removeNodeChild(DzNode *child, bool inPlace = false);
    bool isNodeAncestorOf(const DzNode *node) const;

    /// The object (geometry) of the node; the node owns it.
    DzObject *getObject() const { return m_object; }
    /// Replaces (and deletes) the previous object; null removes it.
    void setObject(DzObject *object);

    /// The scene that holds the node, null when none.
    DzScene *getScene() const { return m_scene; }

signals:
    void childAdded(DzNode *child);
    void childRemoved(DzNode *child);
    void objectChanged();

private:
    friend class DzScene;
    DzFloatProperty *makeFloat(const QString &name, const QString &label, float value);

    DzFloatProperty *m_pos[3] = {};
    DzFloatProperty *m_rot[3] = {};
    DzFloatProperty *m_scale[3] = {};
    DzFloatProperty *m_generalScale = nullptr;
    DzBoolProperty *m_shadow = nullptr;
    DzBoolProperty *m_visible = nullptr;
    RotationOrder m_rotationOrder = XYZ;
    DzNode *m_parent = nullptr;
    QList<DzNode *> m_children;
    DzObject *m_object = nullptr;
    DzScene *m_scene = nullptr;
};
