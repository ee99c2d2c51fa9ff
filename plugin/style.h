#pragma once
// The window's palette and the style-sheet templates its controls are built from.
#include <QString>

namespace orovista::style {

// Colour strings "red,green,blue,alpha", spliced into style sheets.
inline const QString greyControl = QStringLiteral("150,150,150,255");
inline const QString highlight = QStringLiteral("255,195,0,255");
inline const QString accent = QStringLiteral("71,120,247,255");
inline const QString darkButton = QStringLiteral("50,50,50,255");
inline const QString lightText = QStringLiteral("240,240,240,255");

/// Blue action button (LOAD .OBJ, SAVE PRESET, TERRAFORM!); bold unless told otherwise.
QString actionButton(bool bold = true);
/// A label with the light text colour, keyed by its object name.
QString label(const QString &objectName);
/// A small push button on the given background colour, keyed by its object name.
QString smallPushButton(const QString &objectName, const QString &colour = accent);
/// Horizontal slider; the thin variant has a lighter groove and a narrow handle.
QString horizontalSlider(bool thin = false);
QString verticalSlider();
QString spinBox();
/// Page background of a main tab, keyed by the page's object name.
QString tabPage(const QString &objectName);
/// Background image of a widget, keyed by object name and widget class ("QFrame", "QLabel", ...).
QString backgroundImage(const QString &widgetClass, const QString &objectName, const QString &imagePath);

/// A square tool button of the preview showing the icon at iconPath.
QString toolButton(const QString &objectName, const QString &iconPath);

/// The AUTO button's look when automatic noise updates are on or off.
QString autoButton(bool on);

/// The main tab widget's tab bar.
QString tabBar();
/// The status line and the triangle label.
QString statusLine();
/// The busy overlay on the TERRAFORM tab.
QString busyOverlay();

}   // namespace orovista::style

class QStyle;
namespace orovista::style {
/// A shared widget style by name ("Windows", "Fusion"); the application owns it.
QStyle *widgetStyle(const QString &name);
}   // namespace orovista::style
