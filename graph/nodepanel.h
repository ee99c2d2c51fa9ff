#pragma once
// What the node panels share: the panel frame (a tab widget placed on the TERRAFORM page), the
// small styled controls they are built from, and the generator controls that an INPUT and the
// COMBINER's control noise have in common (type combo, six slider rows, visibility rules, image
// choice, reseeding rule).
#include "graph/noisesettings.h"

#include <QSize>
#include <QString>

#include <array>

class QComboBox;
class QDial;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QVBoxLayout;
class QTabWidget;
class QWidget;

namespace orovista {

/// Makes the panel of a node on parent: a tab widget with one page named pageName, of the given
/// size. More pages can be added by the caller.
QTabWidget *makeNodePanel(QWidget *parent, const QString &objectName, const QString &pageName, QSize size);
/// A further page of a node panel, with the panel's page look.
QWidget *addPanelPage(QTabWidget *panel, const QString &pageName, const QString &title);

namespace panel {

/// Light text colour of the labels of a panel, and the colour of a label whose row does not apply.
inline const QString labelColour = QStringLiteral("210,210,210,255");
inline const QString greyedColour = QStringLiteral("80,80,80,255");

/// A small panel label, keyed by its object name, in the given colour.
QString labelStyle(const QString &objectName, const QString &colour = labelColour);

QLabel *label(QWidget *parent, const QString &objectName, const QString &text);
QSlider *slider(QWidget *parent, const QString &objectName, int lo, int hi, int value,
                Qt::Orientation orientation = Qt::Horizontal);
QSpinBox *spinBox(QWidget *parent, const QString &objectName, int lo, int hi, int value,
                  const QString &toolTip = {});
QPushButton *button(QWidget *parent, const QString &objectName, const QString &text, const QString &toolTip = {});
QComboBox *comboBox(QWidget *parent, const QString &objectName, const QStringList &items);
/// The label that shows a node's picture: square, scaled contents, framed.
QLabel *previewLabel(QWidget *parent, const QString &objectName, int side);
QDial *dial(QWidget *parent, const QString &objectName, int lo, int hi, int value);

/// Shows the picture file in label (no picture when the file cannot be read). Read afresh every
/// time: the machine rewrites the files under the same names.
void showPicture(QLabel *label, const QString &file);
/// The folder the machine writes its pictures into, with a trailing "/".
QString mapsFolder();

/// Label and slider side by side in a row layout.
struct SliderRow {
    QLabel *label = nullptr;
    QSlider *slider = nullptr;
    QLabel *value = nullptr;   ///< the slider's value, always shown after it
    QHBoxLayout *row = nullptr;
};
/// A label showing @a slider's position × @a scale (decimals as in sliderRow()), kept up to date;
/// the slider's drag tool tip shows the same number.
QLabel *valueLabel(QWidget *parent, QSlider *slider, double scale = 1.0);
/// A caption, a slider and its value: the slider's position × @a scale, with as many decimals as
/// the scale has (0.1 shows 1.5, 0.01 shows -0.25). The drag tool tip shows the same number.
SliderRow sliderRow(QWidget *parent, const QString &sliderName, const QString &labelName, const QString &text,
                    int lo, int hi, int value, double scale = 1.0);

/// The top of an INPUT or DEFORMER page: the page's column layout with the type combo, then the
/// preview with button beside it. Returns the column for the rows below.
QVBoxLayout *nodeHead(QWidget *page, QComboBox *type, QLabel *preview, QPushButton *button);

/// Shows or hides a label together with its control.
/// Shows or hides a row's caption and control (and a slider row's value).
void setRowVisible(QWidget *label, QWidget *control, bool visible);

/// The sheets of the preset buttons of a deformer: plain, and the chosen one.
QString presetButtonStyle(bool chosen);

}   // namespace panel

/// The generator controls an INPUT and the COMBINER's control noise share. The pointers are the
/// node's own members; this is a view on them.
struct GeneratorControls {
    /// Slider rows in their order.
    enum Row { Frequency, Lacunarity, Quality, Octaves, Persistence, Displacement, RowCount };

    QComboBox *type = nullptr;
    std::array<QSlider *, RowCount> sliders{};
    std::array<QLabel *, RowCount> labels{};

    /// Ranges and start values of the six sliders.
    struct Range { int lo, hi, value; };
    using Ranges = std::array<Range, RowCount>;
    static const Ranges inputRanges;      ///< an INPUT
    static const Ranges combinerRanges;   ///< the COMBINER's control noise

    /// Makes the six slider rows with object names prefix + "FrequencySlider" / prefix +
    /// "FrequencyLabel" and so on, and the type combo prefix + typeName.
    static std::array<panel::SliderRow, RowCount> makeRows(QWidget *parent, const QString &prefix,
                                                           const Ranges &ranges);

    /// Which rows and frames a noise type shows.
    struct Visibility {
        std::array<bool, RowCount> rows{};
        bool multiFractalFrame = false;
        bool gaborFrame = false;
    };
    static Visibility visibilityFor(const QString &typeText);
    /// Hides or shows the rows for the current type; returns the visibility used.
    Visibility updateVisibility() const;

    /// Only these types use a seed; reseeding another type changes nothing.
    static bool typeTakesSeed(const QString &typeText);

    /// Type index and slider values into g (seed, image and the INPUT-only controls are the
    /// node's own business).
    void read(GeneratorSettings &g) const;
    /// The same back into the widgets, without signals.
    void apply(const GeneratorSettings &g) const;
    /// Every slider of the rows, for wiring.
    std::array<QSlider *, RowCount> allSliders() const { return sliders; }
};

/// Asks for the picture of the "Image" noise type; empty when cancelled.
QString chooseNoiseImage(QWidget *parent, const QString &previous);

}   // namespace orovista
