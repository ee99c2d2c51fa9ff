#pragma once
#include "dzglobal.h"
#include <QObject>
#include <QString>
#include <QStringList>

/// The host's content manager: the user's Poser content folders (runtime roots), and opening
/// content files into the scene.
class DZCORE_API DzContentMgr : public QObject {
    Q_OBJECT
public:
    explicit DzContentMgr(QObject *parent = nullptr);

    int getNumPoserDirectories() const { return int(m_poserDirs.size()); }
    QString getPoserDirectory(int i) const { return m_poserDirs.value(i); }   ///< "/" separated

    /// Host side: the Poser content folders, in order.
    void setPoserDirectories(const QStringList &dirs);
    void addPoserDirectory(const QString &dir);

    /// Loads a content file into the scene (merge = false replaces the scene's nodes once the file
    /// has been read). A Poser prop ".pp2" becomes one node per prop, named after the prop and
    /// labelled with its "name" line, holding its geometry (an OBJ referenced from the Runtime
    /// folder, found beside the prop file or in the Poser directories, names matched without
    /// regard to case; or geometry embedded in the prop), its materials (colours from an mtllib
    /// beside the OBJ) and its morph targets (DzMorph, value 0). Poser units are read as 8 ft
    /// (243.84 cm). A prop of several geometry files gets one child node per further file.
    /// Afterwards the loaded prop is the scene's last node (its child nodes come before it).
    /// Returns false, leaving the scene as it was, when the file cannot be read, is malformed,
    /// its geometry is missing, or it refers to a file outside the Runtime folder.
    virtual bool openFile(const QString &path, bool merge = true);

private:
    QStringList m_poserDirs;
};
