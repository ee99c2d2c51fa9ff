#include "graph/nodepanel.h"

#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/style.h"

#include <QComboBox>
#include <QDial>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orovista {

namespace {

/// The name a slider's value tip gives its value.
constexpr char valueNameProperty[] = "orovistaValueName";
constexpr char valueScaleProperty[] = "orovistaValueScale";
constexpr char valueLabelProperty[] = "orovistaValueLabel";

// The look of a node panel: a framed tab widget with small bold tabs and light text.
const QString panelSheet = QStringLiteral(
    "QTabWidget::pane { border: 1px solid rgba(128,128,128,255); top: -1px; }\n"
    "QTabBar::tab { background: rgba(40,40,40,255); color: rgba(200,200,200,255); padding: 2px 9px; "
    "font-size: 11px; font-weight: bold; border: 1px solid rgba(128,128,128,255); border-bottom: 0px; }\n"
    "QTabBar::tab:selected { background: rgba(71,120,247,255); color: rgb(255,255,255); }\n"
    "QCheckBox { color: rgba(210,210,210,255); font-size: 11px; }\n"
    "QComboBox { font-size: 11px; }\n");

QString pageSheet(const QString &pageName)
{
    return QStringLiteral("QWidget#") + pageName + QStringLiteral(" { \nbackground-color: rgba(48,48,48,240);\n}");
}

}   // namespace

QTabWidget *makeNodePanel(QWidget *parent, const QString &objectName, const QString &pageName, QSize size)
{
    auto *panel = new QTabWidget(parent);
    panel->setObjectName(objectName);
    panel->setFocusPolicy(Qt::NoFocus);
    panel->setStyleSheet(panelSheet);
    addPanelPage(panel, pageName, QString());
    panel->resize(size);
    panel->show();
    return panel;
}

QWidget *addPanelPage(QTabWidget *panel, const QString &pageName, const QString &title)
{
    auto *page = new QWidget;
    page->setObjectName(pageName);
    page->setStyleSheet(pageSheet(pageName));
    page->setAttribute(Qt::WA_StyledBackground);
    panel->addTab(page, title);
    return page;
}

namespace panel {

QString labelStyle(const QString &objectName, const QString &colour)
{
    return QStringLiteral("QLabel#") + objectName + QStringLiteral(" { \nfont-size:11px;\ncolor:rgba(") + colour +
           QStringLiteral(");\n}");
}

QLabel *label(QWidget *parent, const QString &objectName, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(objectName);
    l->setStyleSheet(labelStyle(objectName));
    return l;
}

/// A slider's position as its row shows it (scaled, see sliderRow()).
QString shownValue(const QSlider *s, int value)
{
    const QVariant scale = s->property(valueScaleProperty);
    if (!scale.isValid())
        return QString::number(value);
    const double k = scale.toDouble();
    const int decimals = k >= 1.0 ? 0 : int(std::ceil(-std::log10(k) - 1e-9));
    return QString::number(value * k, 'f', decimals);
}

QSlider *slider(QWidget *parent, const QString &objectName, int lo, int hi, int value, Qt::Orientation orientation)
{
    auto *s = new QSlider(orientation, parent);
    s->setObjectName(objectName);
    s->setRange(lo, hi);
    s->setSingleStep(1);
    s->setPageStep(1);
    s->setValue(value);
    s->setFocusPolicy(Qt::NoFocus);
    s->setStyleSheet(orientation == Qt::Horizontal ? style::horizontalSlider(true) : style::verticalSlider());
    if (orientation == Qt::Horizontal)
        s->setFixedHeight(18);
    // While dragged, the slider tells its value beside the pointer.
    QObject::connect(s, &QSlider::sliderMoved, s, [s](int value) {
        const QString name = s->property(valueNameProperty).toString();
        const QString v = shownValue(s, value);
        const double along = double(value - s->minimum()) / std::max(1, s->maximum() - s->minimum());
        const QPoint at = s->orientation() == Qt::Horizontal ? QPoint(int(along * s->width()), -s->height())
                                                              : QPoint(s->width(), int((1.0 - along) * s->height()));
        QToolTip::showText(s->mapToGlobal(at), name.isEmpty() ? v : name + QStringLiteral(": ") + v, s);
    });
    return s;
}

QSpinBox *spinBox(QWidget *parent, const QString &objectName, int lo, int hi, int value, const QString &toolTip)
{
    auto *s = new QSpinBox(parent);
    s->setObjectName(objectName);
    s->setRange(lo, hi);
    s->setValue(value);
    s->setStyleSheet(style::spinBox());
    s->setFixedHeight(20);
    if (!toolTip.isEmpty())
        s->setToolTip(toolTip);
    return s;
}

QPushButton *button(QWidget *parent, const QString &objectName, const QString &text, const QString &toolTip)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setStyleSheet(style::smallPushButton(objectName));
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedHeight(20);
    if (!toolTip.isEmpty())
        b->setToolTip(toolTip);
    return b;
}

QComboBox *comboBox(QWidget *parent, const QString &objectName, const QStringList &items)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(objectName);
    c->addItems(items);
    c->setMaxVisibleItems(items.size());
    c->setFocusPolicy(Qt::NoFocus);
    c->setFixedHeight(22);
    return c;
}

QLabel *previewLabel(QWidget *parent, const QString &objectName, int side)
{
    auto *l = new QLabel(parent);
    l->setObjectName(objectName);
    l->setScaledContents(true);
    l->setFixedSize(side, side);
    l->setStyleSheet(QStringLiteral("QLabel#") + objectName +
                     QStringLiteral(" { \nbackground-color: rgba(30,30,30,255);\n"
                                    "border: 1px solid rgba(128,128,128,255);\n}"));
    return l;
}

QDial *dial(QWidget *parent, const QString &objectName, int lo, int hi, int value)
{
    auto *d = new QDial(parent);
    d->setObjectName(objectName);
    d->setRange(lo, hi);
    d->setValue(value);
    d->setWrapping(true);
    d->setNotchesVisible(true);
    d->setFocusPolicy(Qt::NoFocus);
    return d;
}

void showPicture(QLabel *label, const QString &file)
{
    if (!label)
        return;
    // A texture-size picture (up to 16384 pixels a side) is decoded straight at a size the
    // label can show, not whole: whole, it would take up to a gigabyte, beyond what the reader
    // allows.
    constexpr int kLargestShown = 1024;
    QImageReader reader(file);
    const QSize size = reader.size();
    if (size.width() > kLargestShown || size.height() > kLargestShown)
        reader.setScaledSize(size.scaled(kLargestShown, kLargestShown, Qt::KeepAspectRatio));
    const QImage picture = reader.read();
    if (picture.isNull())
        label->clear();
    else
        label->setPixmap(QPixmap::fromImage(picture));
}

QString mapsFolder() { return state().workFolder + QStringLiteral("/maps/"); }

QLabel *valueLabel(QWidget *parent, QSlider *slider, double scale)
{
    slider->setProperty(valueScaleProperty, scale);
    QLabel *shown = label(parent, slider->objectName() + QStringLiteral("Value"), shownValue(slider, slider->value()));
    shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    slider->setProperty(valueLabelProperty, QVariant::fromValue<QObject *>(shown));
    QObject::connect(slider, &QSlider::valueChanged, shown, [slider, shown](int v) { shown->setText(shownValue(slider, v)); });
    return shown;
}

SliderRow sliderRow(QWidget *parent, const QString &sliderName, const QString &labelName, const QString &text,
                    int lo, int hi, int value, double scale)
{
    SliderRow r;
    r.label = label(parent, labelName, text);
    r.label->setFixedWidth(74);
    r.slider = slider(parent, sliderName, lo, hi, value);
    r.slider->setProperty(valueNameProperty, text);
    r.value = valueLabel(parent, r.slider, scale);
    r.value->setFixedWidth(34);
    r.row = new QHBoxLayout;
    r.row->setSpacing(4);
    r.row->addWidget(r.label);
    r.row->addWidget(r.slider, 1);
    r.row->addWidget(r.value);
    return r;
}

QVBoxLayout *nodeHead(QWidget *page, QComboBox *type, QLabel *preview, QPushButton *button)
{
    auto *box = new QVBoxLayout(page);
    box->setContentsMargins(5, 5, 5, 5);
    box->setSpacing(4);
    box->addWidget(type);
    auto *top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(preview);
    auto *side = new QVBoxLayout;
    side->addWidget(button);
    side->addStretch(1);
    top->addLayout(side, 1);
    box->addLayout(top);
    return box;
}

void setRowVisible(QWidget *label, QWidget *control, bool visible)
{
    QWidget *value = control ? qobject_cast<QWidget *>(control->property(valueLabelProperty).value<QObject *>()) : nullptr;
    for (QWidget *w : {label, control, value})
        if (w)
            w->setVisible(visible);
}

QString presetButtonStyle(bool chosen)
{
    if (chosen)
        return QStringLiteral("* { \nborder-width: 2px;\nborder-style: solid;\nborder-color: rgba(") +
               style::highlight + QStringLiteral(");\nbackground-color: rgba(225,25,25,255);\n}");
    return QStringLiteral("* { \nborder-width: 1px;\nborder-style: solid;\nborder-color: rgba(35,35,35,255);\n"
                          "background-color: rgba(225,25,25,255);\n}");
}

}   // namespace panel

// --- Generator controls ------------------------------------------------------------------------

const GeneratorControls::Ranges GeneratorControls::inputRanges = {
    {{1, 100, 10}, {15, 50, 15}, {1, 3, 2}, {1, 30, 4}, {1, 10, 5}, {1, 100, 1}}};
const GeneratorControls::Ranges GeneratorControls::combinerRanges = {
    {{1, 160, 10}, {1, 50, 20}, {1, 3, 2}, {1, 30, 4}, {1, 10, 5}, {1, 100, 1}}};

std::array<panel::SliderRow, GeneratorControls::RowCount>
GeneratorControls::makeRows(QWidget *parent, const QString &prefix, const Ranges &ranges)
{
    static const char *const names[RowCount] = {"Frequency",   "Lacunarity",  "Quality",
                                                 "Octaves",     "Persistence", "Displacement"};
    // As the noise modules take them: frequency, lacunarity, persistence and displacement in tenths.
    static const double scales[RowCount] = {0.1, 0.1, 1.0, 1.0, 0.1, 0.1};
    static const char *const texts[RowCount] = {"frequency",   "lacunarity",  "quality",
                                                "octaves",     "persistence", "displacement"};
    std::array<panel::SliderRow, RowCount> rows;
    for (int i = 0; i < RowCount; ++i) {
        const QString name = prefix + QLatin1String(names[i]);
        rows[i] = panel::sliderRow(parent, name + QStringLiteral("Slider"), name + QStringLiteral("Label"),
                                   QLatin1String(texts[i]), ranges[i].lo, ranges[i].hi, ranges[i].value, scales[i]);
    }
    return rows;
}

GeneratorControls::Visibility GeneratorControls::visibilityFor(const QString &t)
{
    Visibility v;
    auto show = [&v](std::initializer_list<Row> rows) {
        for (Row r : rows)
            v.rows[r] = true;
    };
    if (t == QLatin1String("Billow") || t == QLatin1String("Perlin")) {
        show({Frequency, Lacunarity, Quality, Octaves, Persistence});
    } else if (t == QLatin1String("MultiFractal")) {
        show({Frequency, Lacunarity, Quality, Octaves});
        v.multiFractalFrame = true;
    } else if (t == QLatin1String("CheckerBoard") || t == QLatin1String("Cylinders") ||
               t == QLatin1String("Spheres")) {
        show({Frequency});
    } else if (t == QLatin1String("Voronoi")) {
        show({Frequency, Displacement});
    } else if (t == QLatin1String("Gabor Convolution")) {
        show({Frequency, Persistence, Displacement});
        v.gaborFrame = true;
    }
    return v;
}

GeneratorControls::Visibility GeneratorControls::updateVisibility() const
{
    const Visibility v = visibilityFor(type ? type->currentText() : QString());
    for (int i = 0; i < RowCount; ++i)
        panel::setRowVisible(labels[i], sliders[i], v.rows[i]);
    return v;
}

bool GeneratorControls::typeTakesSeed(const QString &t)
{
    return t == QLatin1String("Billow") || t == QLatin1String("MultiFractal") || t == QLatin1String("Perlin") ||
           t == QLatin1String("Voronoi") || t == QLatin1String("Gabor Convolution");
}

void GeneratorControls::read(GeneratorSettings &g) const
{
    if (type)
        g.type = type->currentIndex();
    int *values[RowCount] = {&g.frequency,   &g.lacunarity,  &g.quality,
                             &g.octaves,     &g.persistence, &g.displacement};
    for (int i = 0; i < RowCount; ++i)
        if (sliders[i])
            *values[i] = sliders[i]->value();
}

void GeneratorControls::apply(const GeneratorSettings &g) const
{
    if (type) {
        const QSignalBlocker block(type);
        type->setCurrentIndex(g.type);
    }
    const int values[RowCount] = {g.frequency, g.lacunarity, g.quality, g.octaves, g.persistence, g.displacement};
    for (int i = 0; i < RowCount; ++i)
        if (sliders[i]) {
            const QSignalBlocker block(sliders[i]);
            sliders[i]->setValue(values[i]);
        }
}

QString chooseNoiseImage(QWidget *parent, const QString &previous)
{
    const QString folder = previous.isEmpty() ? QString() : QFileInfo(previous).absolutePath();
    return dialogs::openFile(parent, QStringLiteral("Open File"), folder,
                             QStringLiteral("Images (*.png *.xpm *.jpg *.bmp)"));
}

}   // namespace orovista
