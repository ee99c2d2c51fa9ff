#pragma once
// The frame every node panel is built in: a one-page tab widget whose tab text is the node's title,
// placed on the TERRAFORM page.
#include <QString>

class QTabWidget;
class QWidget;

namespace orovista {

/// Makes the panel of a node on parent with the page object name pageName; the page is the
/// tab widget's only page.
QTabWidget *makeNodePanel(QWidget *parent, const QString &objectName, const QString &pageName);

}   // namespace orovista
