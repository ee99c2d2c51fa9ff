#pragma once
#include "dzbase.h"
#include <QHash>
#include <QSize>

/// An image file known to the image manager. It may name a file that does not exist (yet);
/// refresh() reads it again.
class DZCORE_API DzTexture : public DzBase {
    Q_OBJECT
public:
    explicit DzTexture(const QString &filename, QObject *parent = nullptr);

    QString getFilename() const { return m_filename; }
    bool isValid() const { return m_size.isValid(); }   ///< the file is a readable image
    QSize getOriginalImageSize() const { return m_size; }
    /// Reads the file's header again; returns isValid().
    bool refresh();

private:
    QString m_filename;
    QSize m_size;
};

/// The host's image manager: one texture per file.
class DZCORE_API DzImageMgr : public QObject {
    Q_OBJECT
public:
    explicit DzImageMgr(QObject *parent = nullptr);

    /// The texture of a file, made on first request. Either separator is accepted ("\" is read
    /// as "/"); the path is cleaned so that one file gives one texture. Null for an empty path.
    DzTexture *getImage(const QString &path);
    int getNumImages() const { return int(m_textures.size()); }
    /// Reads every texture's file again.
    void refresh();

signals:
    void imagesRefreshed();

private:
    QHash<QString, DzTexture *> m_textures;
};
