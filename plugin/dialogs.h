#pragma once
// The one place where the plug-in asks the user something: message boxes and file or text
// dialogs. Tests install a responder that answers in place of the user.
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace orovista::dialogs {

/// What a dialog would show; handed to a test responder.
struct Request {
    enum Kind { Warning, OpenFile, SaveFile, Text, Number } kind = Warning;
    QString title;
    QString text;      ///< message text, or the filter of a file dialog, or the label of a text or number dialog
    QString initial;   ///< start folder, start text or start number
};

/// A responder returns the answer: for Warning the chosen QMessageBox::StandardButton as a number
/// in a string ("16384" for Yes), for the others the chosen path or text ("" = cancelled).
using Responder = std::function<QString(const Request &)>;
void setResponder(Responder responder);   ///< empty = real dialogs again

/// A warning box with the given buttons; returns the button pressed.
QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
                                    QMessageBox::StandardButtons buttons);
/// A message box with one "&OK" button.
void message(QWidget *parent, const QString &title, const QString &text);
/// The error box of the whole program: title "Error", one "&OK" button.
void error(QWidget *parent, const QString &text);
/// Asks Yes/Cancel in a box titled "Warning"; true only for Yes.
bool confirm(QWidget *parent, const QString &text);

QString openFile(QWidget *parent, const QString &title, const QString &folder, const QString &filter);
QString saveFile(QWidget *parent, const QString &title, const QString &folder, const QString &filter);
/// Asks for a line of text; an empty result means cancelled.
QString text(QWidget *parent, const QString &title, const QString &label, const QString &initial = {});
/// Asks for a number between min and max with `decimals` decimals; `ok` (when given) is false
/// when the user cancelled, and the result is then `value`. A responder's answer outside the
/// range is brought into it, as the real dialog's spin box would.
double number(QWidget *parent, const QString &title, const QString &label, double value, double min, double max,
              int decimals, bool *ok = nullptr);

}   // namespace orovista::dialogs
