#include "plugin/windowprogress.h"

#include "plugin/programstate.h"

#include <QCoreApplication>
#include <QLabel>

namespace orovista {

void WindowProgress::SetStatusText(const QString &text)
{
    if (QLabel *l = state().ui.statusLine)
        l->setText(text);
}

void WindowProgress::SetPanelText(const QString &text)
{
    if (QLabel *l = state().ui.busyOverlay) {
        l->setText(text);
        l->setVisible(!text.isEmpty());
        l->raise();
    }
}

void WindowProgress::ProcessEvents() { QCoreApplication::processEvents(); }

bool WindowProgress::IsCancelled() { return state().cancelRequested; }

void WindowProgress::Hide() { SetPanelText(QString()); }

}   // namespace orovista
