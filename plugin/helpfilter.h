#pragma once
#include <QObject>

/// Shows the populate help balloon in place of the viewport while the pointer rests on the help
/// icon. Consumes the enter and leave events of the icon; passes everything else.
class PopulateLabelHelpFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override;
};
