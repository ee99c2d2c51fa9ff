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

    /// Loads a content file (a Poser prop ".pp2") into the scene; afterwards the loaded prop is the
    /// scene's last node. Returns false when the file cannot be read.
    virtual bool openFile(const QString &path, bool merge = true);

private:
    QStringList m_poserDirs;
};
