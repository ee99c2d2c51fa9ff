#include "plugin/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace orovista::dialogs {

namespace {
Responder &responder()
{
    static Responder r;
    return r;
}
}   // namespace

void setResponder(Responder r) { responder() = std::move(r); }

QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
                                    QMessageBox::StandardButtons buttons)
{
    if (responder())
        return QMessageBox::StandardButton(responder()({Request::Warning, title, text, {}}).toInt());
    return QMessageBox::warning(parent, title, text, buttons);
}

void message(QWidget *parent, const QString &title, const QString &text)
{
    if (responder()) {
        responder()({Request::Warning, title, text, {}});
        return;
    }
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("&OK"), QMessageBox::AcceptRole);
    box.exec();
}

void error(QWidget *parent, const QString &text) { message(parent, QStringLiteral("Error"), text); }

bool confirm(QWidget *parent, const QString &text)
{
    return warning(parent, QStringLiteral("Warning"), text, QMessageBox::Yes | QMessageBox::Cancel) ==
           QMessageBox::Yes;
}

QString openFile(QWidget *parent, const QString &title, const QString &folder, const QString &filter)
{
    if (responder())
        return responder()({Request::OpenFile, title, filter, folder});
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString saveFile(QWidget *parent, const QString &title, const QString &folder, const QString &filter)
{
    if (responder())
        return responder()({Request::SaveFile, title, filter, folder});
    return QFileDialog::getSaveFileName(parent, title, folder, filter);
}

QString text(QWidget *parent, const QString &title, const QString &label, const QString &initial)
{
    if (responder())
        return responder()({Request::Text, title, label, initial});
    bool ok = false;
    const QString result = QInputDialog::getText(parent, title, label, QLineEdit::Normal, initial, &ok);
    return ok ? result : QString();
}

double number(QWidget *parent, const QString &title, const QString &label, double value, double min, double max,
              int decimals, bool *ok)
{
    if (responder()) {
        const QString answer = responder()({Request::Number, title, label, QString::number(value, 'f', decimals)});
        bool read = false;
        const double n = answer.toDouble(&read);
        read = read && std::isfinite(n);
        if (ok)
            *ok = read;
        return read ? std::clamp(n, min, max) : value;
    }
    return QInputDialog::getDouble(parent, title, label, value, min, max, decimals, ok);
}

}   // namespace orovista::dialogs
