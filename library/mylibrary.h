#pragma once
// The prop library: browses the user's Poser content folders for prop files and loads the chosen
// prop's geometry for painting.
#include "plugin/afirstpluginaction.h"

#include <QItemSelection>
#include <QModelIndex>
#include <QPointer>
#include <QStringList>

class QFileSystemModel;
struct PropModel;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QTreeView;

class myLibrary : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    myLibrary();

    /// Working paths of the thumbnail choice: the selected file, its ".png" and ".jpg" variants,
    /// and the thumbnail finally used.
    QString selectedFile, pngThumbnail, jpgThumbnail, thumbnail;
    float tint[3] = {0.0f, 0.0f, 0.0f};   ///< colour of the chosen prop's items
    /// Display-list slot of the chosen prop; also the count of props loaded since the last
    /// delete-all (slot 0 is never used).
    int modelSlot = 0;
    QString propPath;   ///< the chosen ".pp2" file; empty = no prop chosen

    /// The content folders the browser lists, in order.
    QStringList folders;

    /// Fills the browser from the host's Poser content folders.
    void fillFromContentManager();
    /// Replaces the folder list (the SETUP tab's active libraries) and the list shown.
    void setFolders(const QStringList &list);

    /// Builds the browser's widgets into `parent` (once per window) and shows the first library.
    void setUp(QWidget *parent, const QString &resources, int top, int height);

    /// Reads a prop file into the geometry list: 0 ready, 1 no geometry reference, 2 a geometry
    /// file missing, 3 refused (the reason is in `lastMessage`).
    int readPropFile(const QString &pp2Path, int slot);
    QStringList geometry;   ///< the OBJ files of the prop being loaded
    QString lastMessage;

    /// Reads the prop file and compiles its geometry into the next display-list slot of the
    /// viewport. Returns the slot, or −1 (nothing taken) with one line in *error when the prop
    /// could not be loaded; an OBJ that could not be read has told the user already (*error
    /// empty).
    int loadPropModel(const QString &pp2Path, PropModel *model, QString *error);

    /// Makes the prop at @a pp2Path, loaded into @a slot as @a model, the one painting places,
    /// with a new random tint.
    void choose(const QString &pp2Path, int slot, const PropModel &model);

    /// The thumbnail of a prop file: its ".png", else its ".jpg", else the library's "none.jpg".
    /// A thumbnail that leads out of the library's Runtime folder is not taken; *refusal says so.
    QString thumbnailFor(const QString &pp2Path, QString *refusal = nullptr) const;
    /// No prop chosen and no slot taken (the display lists went with the viewport).
    void forgetLoadedProps();
    /// Plain prop frame again (the delete commands call it).
    void resetPropFrame();

    QPointer<QListWidget> libraryList;
    QPointer<QTreeView> libTree;
    QPointer<QFrame> propFrame;
    QPointer<QLabel> thumbnailLabel, propNameLabel, propFactsLabel;

public slots:
    void libraryRowChanged(int row);
    void libraryItemClicked(QListWidgetItem *item);
    void libTreeChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void libTreeDoubleClick(const QModelIndex &index);

private:
    QPointer<QFileSystemModel> m_model;
    QString m_resources;
};
