#include "library/mylibrary.h"

#include "dzcontentmgr.h"
#include "library/glmdraw.h"
#include "library/propfile.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/random.h"
#include "plugin/runlog.h"
#include "plugin/statics.h"
#include "viewport/glterrain.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTreeView>

using namespace orovista;

namespace {

const char *const propFrameStyle =
    "QFrame#propFrame { \nborder-width: 1px;\nborder-style: solid;\ncolor:#ffffff;\nborder-color: "
    "rgba(127,127,127,255);\nbackground-color: rgba(105,105,105,255);\n}";
const char *const plainPropFrameStyle =
    "QFrame#propFrame { \nborder-width: 2px;\nborder-style: solid;\nborder-color: rgba(95,95,95,255);\n"
    "background-color: rgba(95,95,95,255);\n}";
const char *const propTextStyle = "background-color:transparent; color:#ffffff;";

}   // namespace

myLibrary::myLibrary() = default;

void myLibrary::fillFromContentManager()
{
    QStringList list;
    if (DzContentMgr *content = state().contentManager)
        for (int i = 0; i < content->getNumPoserDirectories(); ++i)
            list << content->getPoserDirectory(i);
    setFolders(list);
}

void myLibrary::setFolders(const QStringList &list)
{
    folders = list;
    if (!libraryList)
        return;
    const QSignalBlocker quiet(libraryList);
    libraryList->clear();
    libraryList->addItems(folders);
}

void myLibrary::setUp(QWidget *parent, const QString &resources, int top, int height)
{
    m_resources = resources;
    auto *frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("LibraryFrame"));
    frame->setStyleSheet(QStringLiteral("background-color:rgb(95,95,95)"));
    frame->setGeometry(0, top, 300, height);
    const int listHeight = height > 400 ? 86 : 56, propHeight = 111;
    const int treeHeight = height - listHeight - propHeight - 12;

    libraryList = new QListWidget(frame);
    libraryList->setObjectName(QStringLiteral("libraryList"));
    libraryList->setGeometry(0, 0, 300, listHeight);
    libraryList->setStyleSheet(QStringLiteral("QListWidget { background: rgba(150,150,150,255); color: white; }"));
    libraryList->setFocusPolicy(Qt::NoFocus);
    libraryList->addItems(folders);

    m_model = new QFileSystemModel(frame);
    m_model->setFilter(QDir::Dirs | QDir::Files | QDir::Drives | QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setNameFilters({QStringLiteral("*.pp2")});
    m_model->setNameFilterDisables(false);

    libTree = new QTreeView(frame);
    libTree->setObjectName(QStringLiteral("libTree"));
    libTree->setGeometry(0, listHeight + 6, 300, treeHeight);
    libTree->setModel(m_model);
    libTree->setItemsExpandable(true);
    for (int column : {1, 2, 3})
        libTree->setColumnHidden(column, true);
    libTree->header()->hide();
    libTree->setFocusPolicy(Qt::NoFocus);
    libTree->setStyleSheet(QStringLiteral("QTreeView { background: rgba(150,150,150,255); color: white; }"));

    propFrame = new QFrame(frame);
    propFrame->setObjectName(QStringLiteral("propFrame"));
    propFrame->setGeometry(0, height - propHeight, 300, propHeight);
    propFrame->setStyleSheet(QString::fromLatin1(propFrameStyle));
    thumbnailLabel = new QLabel(propFrame);
    thumbnailLabel->setObjectName(QStringLiteral("propThumbnailLabel"));
    thumbnailLabel->setGeometry(10, 10, 91, 91);
    thumbnailLabel->setScaledContents(true);
    propNameLabel = new QLabel(propFrame);
    propNameLabel->setObjectName(QStringLiteral("propNameLabel"));
    propNameLabel->setGeometry(108, 10, 190, 20);
    propFactsLabel = new QLabel(propFrame);
    propFactsLabel->setObjectName(QStringLiteral("propFactsLabel"));
    propFactsLabel->setGeometry(108, 34, 190, 66);
    propFactsLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = propFactsLabel->font();
    small.setPixelSize(10);   // a date line fits the frame's width
    propFactsLabel->setFont(small);
    for (QLabel *l : {thumbnailLabel.data(), propNameLabel.data(), propFactsLabel.data()})
        l->setStyleSheet(QString::fromLatin1(propTextStyle));

    connect(libraryList, &QListWidget::currentRowChanged, this, &myLibrary::libraryRowChanged);
    connect(libTree->selectionModel(), &QItemSelectionModel::selectionChanged, this, &myLibrary::libTreeChanged);
    connect(libTree, &QTreeView::doubleClicked, this, &myLibrary::libTreeDoubleClick);

    if (!folders.isEmpty())
        m_model->setRootPath(folders.first());
    libraryList->setCurrentRow(0);
}

void myLibrary::libraryRowChanged(int row)
{
    if (row < 0 || !libraryList || !libTree || row >= libraryList->count())
        return;
    const QString text = libraryList->item(row)->text();
    QString props = text;
    for (const char *name : {"Runtime", "Libraries", "Props"})
        props = childOf(props, QLatin1String(name));
    if (!QFileInfo(props).isDir()) {
        libTree->hide();
        const QString warning = QStringLiteral("Warning: library ") + text + QStringLiteral(" not found, or no Runtime folder in it!");
        showStatus(warning);
        runLog() << warning << "\n";
        return;
    }
    libTree->setRootIndex(m_model->setRootPath(props));
    libTree->show();
    showStatus(QString());
}

void myLibrary::libraryItemClicked(QListWidgetItem *item)
{
    if (!item || !libTree)
        return;
    const QString folder = item->text();
    if (!QFileInfo(folder).isDir()) {
        dialogs::error(libTree, QStringLiteral("Library ") + folder + QStringLiteral(" not found!"));
        return;
    }
    libTree->setRootIndex(m_model->setRootPath(folder));
}

QString myLibrary::thumbnailFor(const QString &pp2Path, QString *refusal) const
{
    const PropThumbnail own = propThumbnail(pp2Path);
    if (refusal)
        *refusal = own.refusal;
    return own.path.isEmpty() ? m_resources + QStringLiteral("/resources/none.jpg") : own.path;
}

void myLibrary::libTreeChanged(const QItemSelection &, const QItemSelection &)
{
    if (!libTree || !m_model)
        return;
    const QModelIndex index = libTree->currentIndex();
    if (!index.isValid())
        return;
    selectedFile = m_model->filePath(index);
    propNameLabel->setText(index.data().toString());
    QString refusal;
    thumbnail = thumbnailFor(selectedFile, &refusal);
    if (!refusal.isEmpty())
        showStatus(refusal);
    pngThumbnail = selectedFile.chopped(selectedFile.endsWith(QLatin1String(".pp2")) ? 4 : 0) + QStringLiteral(".png");
    jpgThumbnail = pngThumbnail.chopped(4) + QStringLiteral(".jpg");
    thumbnailLabel->setPixmap(QPixmap(thumbnail));
    if (selectedFile.contains(QLatin1String(".pp2"))) {
        const QFileInfo info(selectedFile);
        const QString format = QStringLiteral("dd MMMM yyyy, hh:mm");
        const QDateTime created = info.birthTime().isValid() ? info.birthTime() : info.metadataChangeTime();
        propFactsLabel->setText(QStringLiteral("size: ") + QString::number(info.size() / 1024) + QStringLiteral("Kb\n") +
                                QStringLiteral("created: ") + created.toString(format) + QLatin1Char('\n') +
                                QStringLiteral("modified: ") + info.lastModified().toString(format));
    }
}

int myLibrary::readPropFile(const QString &pp2Path, int)
{
    const QString maps = state().workFolder + QStringLiteral("/maps");
    QDir().mkpath(maps);
    const PropFile prop = orovista::readPropFile(pp2Path, maps);
    geometry = prop.geometry;
    lastMessage = prop.message;
    return prop.result;
}

void myLibrary::libTreeDoubleClick(const QModelIndex &index)
{
    ProgramState &s = state();
    GLTerrain *gl = s.ui.glTerrain;
    if (!m_model || !gl || !index.isValid() || !m_model->fileName(index).endsWith(QLatin1String(".pp2")))
        return;
    const QString path = m_model->filePath(index);
    // A thumbnail that leads out of the library refuses the prop as its geometry would.
    QString refusal;
    thumbnail = thumbnailFor(path, &refusal);
    gl->setThumbnail(refusal.isEmpty() ? QImage(thumbnail) : QImage());

    propPath = path;
    statics().action.selectGLMode(PaintMode);
    QApplication::setOverrideCursor(Qt::WaitCursor);

    PropModel model;
    QString error = refusal.isEmpty() ? QString() : QStringLiteral("There was a problem loading this prop: ") + refusal + QLatin1Char('.');
    if (refusal.isEmpty())
        loadPropModel(propPath, &model, &error);
    if (!model.compiled) {
        QApplication::restoreOverrideCursor();
        if (!error.isEmpty())
            dialogs::error(gl, error);
        statics().action.selectGLMode(EditMode);
        propPath.clear();
        s.chosenProp = ProgramState::ChosenProp{};
        gl->setThumbnail(QImage());
        gl->setFocus(Qt::OtherFocusReason);
        return;
    }
    choose(propPath, modelSlot, model);
    showStatus(QStringLiteral("loaded prop: ") + propPath + QStringLiteral(" in slot #") + QString::number(modelSlot));
    gl->setFocus(Qt::OtherFocusReason);
    gl->update();
    QApplication::restoreOverrideCursor();
}

void myLibrary::choose(const QString &pp2Path, int slot, const PropModel &model)
{
    for (float &c : tint)
        c = float(150 + random::next() % 106) / 255.0f;
    ProgramState::ChosenProp &chosen = state().chosenProp;
    chosen.file = propPath = pp2Path;
    chosen.modelSlot = slot;
    std::copy(tint, tint + 3, chosen.tint);
    chosen.triangles = model.triangles;
    std::copy(model.bounds, model.bounds + 6, chosen.bounds);
}

int myLibrary::loadPropModel(const QString &pp2Path, PropModel *model, QString *error)
{
    GLTerrain *gl = state().ui.glTerrain;
    *model = PropModel();
    if (!gl)
        return -1;
    modelSlot += 1;
    const int result = readPropFile(pp2Path, modelSlot);
    if (result == PropGeometryReady)
        *model = compilePropModel(gl, modelSlot, geometry);
    if (result == PropGeometryReady && model->compiled)
        return modelSlot;
    modelSlot -= 1;
    if (result == PropNoGeometry)
        *error = QStringLiteral("There was a problem loading this prop: no reference to external obj's found.");
    else if (result == PropGeometryMissing)
        *error = QStringLiteral("There was a problem loading this prop: one or more obj files not found.");
    else if (result == PropRefused)
        *error = QStringLiteral("There was a problem loading this prop: ") + lastMessage + QLatin1Char('.');
    else
        error->clear();   // the OBJ reader has told the user
    return -1;
}

void myLibrary::forgetLoadedProps()
{
    modelSlot = 0;
    propPath.clear();
    std::fill(tint, tint + 3, 0.0f);
    state().chosenProp = ProgramState::ChosenProp{};
}

void myLibrary::resetPropFrame()
{
    if (propFrame)
        propFrame->setStyleSheet(QString::fromLatin1(plainPropFrameStyle));
}
