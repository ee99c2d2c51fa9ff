#pragma once
#include "dzglobal.h"
#include <QList>
#include <QObject>
#include <QString>

class DzNode;

/// The scene: a flat list of every node in it, in the order they were added (a node's place
/// in the hierarchy is its own business, see DzNode). The scene owns its nodes.
class DZCORE_API DzScene : public QObject {
    Q_OBJECT
public:
    explicit DzScene(QObject *parent = nullptr);
    ~DzScene() override;   ///< deletes every node

    int getNumNodes() const { return int(m_nodes.size()); }
    DzNode *getNode(int i) const { return m_nodes.value(i); }
    int findNodeIndex(const DzNode *node) const;
    /// The first node with that name; null when none.
    DzNode *findNode(const QString &name) const;
    DzNode *findNodeByLabel(const QString &label) const;

    /// Adds the node, and those of its descendants not yet in the scene, at the end; the scene
    /// takes ownership. Refuses null and a node that is already in a scene.
    bool addNode(DzNode *node);
    /// Removes the node and its descendants from the scene and detaches the node from its
    /// parent. The removed nodes are deleted once control returns to the event loop (so the
    /// caller's pointer stays valid until then). Refuses a node that is not in this scene.
    bool removeNode(DzNode *node);
    /// Removes every node.
    void clear();

    /// Whether the scene changed since it was last saved or opened: a node added or removed,
    /// or a node's name, label, property, object or children changed. Whoever saves or opens
    /// the scene sets it back with setModified(false).
    bool isModified() const { return m_modified; }
    void setModified(bool modified);

signals:
    void modifiedChanged(bool modified);
    void nodeAdded(DzNode *node);
    /// Emitted while the node is still alive, after it left the scene's list.
    void nodeRemoved(DzNode *node);

private:
    friend class DzNode;
    void detach(DzNode *node);   ///< a node being destroyed leaves the list
    void watch(DzNode *node);    ///< a change of the node marks the scene modified
    void unwatch(DzNode *node);
    void markModified() { setModified(true); }
    QList<DzNode *> m_nodes;
    bool m_modified = false;
};
