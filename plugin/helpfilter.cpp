#include "plugin/helpfilter.h"

#include "plugin/programstate.h"

#include <QEvent>
#include <QFrame>

bool PopulateLabelHelpFilter::eventFilter(QObject *, QEvent *event)
{
    const bool enter = event->type() == QEvent::Enter;
    if (!enter && event->type() != QEvent::Leave)
        return false;
    auto &ui = orovista::state().ui;
    if (ui.helpLabel)
        ui.helpLabel->setVisible(enter);
    if (ui.viewportFrame)
        ui.viewportFrame->setVisible(!enter);
    return true;
}
