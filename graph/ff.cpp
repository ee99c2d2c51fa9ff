#include "graph/ff.h"

#include "graph/nodepanel.h"

#include <QDir>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

namespace {
const QString greyGradient = QStringLiteral("black and white.bmp");

QListWidget *gradientList(QWidget *page, const char *objectName, const QString &folder, int x)
{
    auto *list = new QListWidget(page);
    list->setObjectName(QString::fromLatin1(objectName));
    list->setGeometry(x, 120, 130, 160);
    list->setIconSize(QSize(48, 12));
    const QDir dir(folder);
    for (const QString &file : dir.entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name)) {
        const QString thumb = dir.filePath(QStringLiteral("thumbs/") + file);
        list->addItem(new QListWidgetItem(QIcon(thumb), file));
    }
    return list;
}

int lastRowOf(const QListWidget *list, const QString &text)
{
    for (int row = list->count() - 1; row >= 0; --row)
        if (list->item(row)->text() == text)
            return row;
    return 0;
}
}   // namespace

FF::FF() = default;

void FF::buildPanel(QWidget *terrainTab, const QString &gradientsFolder)
{
    m_panel = orovista::makeNodePanel(terrainTab, QStringLiteral("FFPanel"), QStringLiteral("FFPanelPage"));
    QWidget *page = m_panel->widget(0);
    FFReGenerateNoise = new QPushButton(QStringLiteral("REGENERATE"), page);
    FFReGenerateNoise->setObjectName(QStringLiteral("FFReGenerateNoise"));
    FFReGenerateNoise->setGeometry(10, 10, 120, 24);
    FFPreviewImageSlider = new QSlider(Qt::Horizontal, page);
    FFPreviewImageSlider->setObjectName(QStringLiteral("FFPreviewImageSlider"));
    FFPreviewImageSlider->setRange(1, 2);
    FFPreviewImageSlider->setValue(1);
    FFPreviewImageSlider->setGeometry(10, 60, 60, 16);
    FFGradientTypeListViewLeft = gradientList(page, "FFGradientTypeListViewLeft", gradientsFolder, 10);
    FFGradientTypeListViewRight = gradientList(page, "FFGradientTypeListViewRight", gradientsFolder, 150);
}

void FF::connectPanel() {}

void FF::selectGreyGradient()
{
    // Both lists hold the same files: the row found in the left one serves for both.
    const int row = FFGradientTypeListViewLeft ? lastRowOf(FFGradientTypeListViewLeft, greyGradient) : 0;
    for (QListWidget *list : {FFGradientTypeListViewLeft.data(), FFGradientTypeListViewRight.data()})
        if (list)
            list->setCurrentRow(row);
}
